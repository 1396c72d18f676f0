#include "link/TcpLink.h"

#include "link/Packet.h"

namespace tuvik {

namespace {

std::span<const uint8_t> Bytes(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

}  // namespace

TcpLink::TcpLink(QObject* parent)
    : DeviceLink(parent), socket_(this), watcher_(this), statusTimer_(this) {
    setObjectName(QStringLiteral("tcpLink"));
    socket_.setObjectName(QStringLiteral("tcpClient"));
    SetDefaultRequestPeriod(kRequestMs, QStringLiteral("TimerReqData"));
    SetBrokenPacketText(BrokenPacketText::TcpTrailer);
    watcher_.setObjectName(QStringLiteral("TimerConnectionMaker"));
    statusTimer_.setObjectName(QStringLiteral("Timer1"));

    watcher_.setInterval(TcpSettings::kConnectionWatchMs);
    statusTimer_.setInterval(kStatusMs);

    connect(&watcher_, &QTimer::timeout, this, &TcpLink::OnWatcherTick);
    connect(&statusTimer_, &QTimer::timeout, this, &TcpLink::OnStatusTick);
    connect(&socket_, &QTcpSocket::connected, this, &TcpLink::OnConnected);
    connect(&socket_, &QTcpSocket::disconnected, this, &TcpLink::OnDisconnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &TcpLink::OnSocketError);
    connect(&socket_, &QTcpSocket::readyRead, this, &TcpLink::OnReadyRead);

    // The watcher and the status display run from the start.
    watcher_.start();
    statusTimer_.start();
}

TcpLink::~TcpLink() {
    disconnect(&socket_, nullptr, this, nullptr);
    watcher_.stop();
    statusTimer_.stop();
    socket_.abort();
}

// ---- state ------------------------------------------------------------------

bool TcpLink::PortOpen() const {
    return socket_.state() == QAbstractSocket::ConnectedState;
}

void TcpLink::OnRequestTick() {
    if (!PortOpen()) {
        return;
    }
    // Handed to the socket now rather than on a later pass of the event loop.
    const QByteArray request = EncodeRequest(Cmd::DataRequest);
    Write(request.constData(), request.size());
    socket_.flush();
}

// ---- connecting -------------------------------------------------------------

void TcpLink::Connect(const TcpSettings& settings) {
    watcher_.setInterval(settings.watchMs);
    watcher_.start();
    Open(settings);
}

void TcpLink::Open(const TcpSettings& settings) {
    settings_ = settings;
    SetRequestPeriod(settings_.refreshMs);
    SetRefreshTimer(true);
    if (socket_.state() != QAbstractSocket::UnconnectedState || errored_) {
        return;
    }
    tellNoRelay_ = true;
    closingByUs_ = false;
    errored_ = false;
    socket_.connectToHost(settings_.host, settings_.port);
    emit remoteHostNameChanged(socket_.peerName());
}

void TcpLink::OnConnected() {
    StopReconnecting();
    ReportConnected(true);
}

void TcpLink::OnWatcherTick() {
    switch (socket_.state()) {
        case QAbstractSocket::ConnectedState:
            watcher_.stop();
            emit ConnectionStateChanged(true);
            retryCount_ = 0;
            break;
        case QAbstractSocket::ConnectingState:
            ++retryCount_;
            break;
        default:
            if (retryCount_ >= kMaxRetries) {
                watcher_.stop();
                // Otherwise the operator is left looking at a link that
                // silently never came up.
                if (tellNoRelay_) {
                    tellNoRelay_ = false;
                    emit relayNotFound();
                }
            }
            ++retryCount_;
            break;
    }
}

void TcpLink::OnStatusTick() {
    const QAbstractSocket::SocketState state = socket_.state();
    emit socketStatus(state, errored_, settings_.port);
    if ((state == QAbstractSocket::UnconnectedState && errored_) ||
        state == QAbstractSocket::ClosingState) {
        CloseSocket(false);
    }
}

void TcpLink::CloseSocket(bool flush) {
    closingByUs_ = true;
    errored_ = false;
    if (flush && socket_.state() == QAbstractSocket::ConnectedState) {
        socket_.close();  // pending bytes still go out
    } else {
        socket_.abort();
    }
}

void TcpLink::Disconnect() {
    StopReconnecting();
    SetRequestPeriod(settings_.refreshMs);
    SetRefreshTimer(false);
    tellNoRelay_ = false;  // the operator gave up first
    if (socket_.state() != QAbstractSocket::UnconnectedState || errored_) {
        CloseSocket(true);
    }
    ReportConnected(false);
}

void TcpLink::OnSocketError(QAbstractSocket::SocketError error) {
    if (error != QAbstractSocket::RemoteHostClosedError && !closingByUs_) {
        errored_ = true;
    }
}

// The server closed the connection (or it broke): close our side and tell.
void TcpLink::OnDisconnected() {
    if (closingByUs_) {
        return;
    }
    const QString why = socket_.errorString();
    if (!OnReadyRead()) {  // what the server sent before closing still counts
        return;
    }
    CloseSocket(false);
    emit ConnectionStateChanged(false);
    ReportConnected(false);
    emit linkLost(why);
    StartReconnecting();
}

void TcpLink::TryReopen() {
    if (socket_.state() == QAbstractSocket::UnconnectedState) {
        closingByUs_ = false;
        errored_ = false;
        socket_.connectToHost(settings_.host, settings_.port);
    }
}

// ---- writing ----------------------------------------------------------------

bool TcpLink::Send(int value, bool invert) {
    if (value < 0 || value > 255 || !PortOpen()) {
        return false;
    }
    const char c = static_cast<char>(invert ? value ^ 0xFF : value);
    return Write(&c, 1);
}

bool TcpLink::WritePacket(const QByteArray& bytes) {
    if (!PortOpen()) {
        return false;
    }
    return Write(bytes.constData(), bytes.size());
}

bool TcpLink::SendRelayRefresh() {
    if (!PortOpen()) {
        return false;
    }
    const char dg[2] = {static_cast<char>(Cmd::RelayRefreshD),
                        static_cast<char>(Cmd::RelayRefreshG)};
    return Write(dg, 2);
}

bool TcpLink::Write(const char* bytes, qint64 n, bool through) {
    if (lentOut() && !through) {
        return false;
    }
    const qint64 written = socket_.write(bytes, n);
    if (written > 0) {
        TapSent(bytes, written);
    }
    return written == n;
}

// ---- reading ----------------------------------------------------------------

bool TcpLink::OnReadyRead() {
    QByteArray chunk;
    return ReceiveLoop([&]() -> std::span<const uint8_t> {
        if (socket_.bytesAvailable() <= 0) {
            return {};
        }
        chunk = socket_.readAll();
        return Bytes(chunk);
    });
}

RecordingInfo TcpLink::ConnectionInfo() const {
    RecordingInfo info;
    info.linkKind = QStringLiteral("tcp");
    info.endpoint = Endpoint();
    info.refreshMs = settings_.refreshMs;
    return info;
}

}  // namespace tuvik
