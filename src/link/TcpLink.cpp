#include "link/TcpLink.h"

#include <QPointer>

#include "link/Packet.h"
#include "shell/AppContext.h"
#include "support/LocaleText.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

std::span<const uint8_t> Bytes(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

}  // namespace

TcpLink::TcpLink(AppContext& ctx, QObject* parent)
    : DeviceLink(parent),
      ctx_(ctx),
      socket_(this),
      reqTimer_(this),
      watcher_(this),
      statusTimer_(this),
      clock_(&QTime::currentTime) {
    setObjectName(QStringLiteral("frmClient"));
    socket_.setObjectName(QStringLiteral("tcpClient"));
    reqTimer_.setObjectName(QStringLiteral("TimerReqData"));
    watcher_.setObjectName(QStringLiteral("TimerConnectionMaker"));
    statusTimer_.setObjectName(QStringLiteral("Timer1"));

    reqTimer_.setInterval(kRequestMs);
    watcher_.setInterval(kConnectionWatchMs);
    statusTimer_.setInterval(kStatusMs);

    connect(&reqTimer_, &QTimer::timeout, this, &TcpLink::OnRequestTick);
    connect(&watcher_, &QTimer::timeout, this, &TcpLink::OnWatcherTick);
    connect(&statusTimer_, &QTimer::timeout, this, &TcpLink::OnStatusTick);
    connect(&socket_, &QTcpSocket::connected, this, &TcpLink::OnConnected);
    connect(&socket_, &QTcpSocket::disconnected, this, &TcpLink::OnDisconnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &TcpLink::OnSocketError);
    connect(&socket_, &QTcpSocket::readyRead, this, &TcpLink::OnReadyRead);
    connect(this, &DeviceLink::captionRequested, &ctx_, &AppContext::setMainCaption);

    // The watcher and the status display run from the start.
    watcher_.start();
    statusTimer_.start();
}

TcpLink::~TcpLink() {
    disconnect(&socket_, nullptr, this, nullptr);
    reqTimer_.stop();
    watcher_.stop();
    statusTimer_.stop();
    socket_.abort();
}

void TcpLink::SetClock(std::function<QTime()> clock) {
    clock_ = clock ? std::move(clock) : std::function<QTime()>(&QTime::currentTime);
}

// ---- state ------------------------------------------------------------------

int TcpLink::StateNumber(QAbstractSocket::SocketState state, bool errored) {
    switch (state) {
        case QAbstractSocket::UnconnectedState:
            return errored ? kStateError : kStateClosed;
        case QAbstractSocket::HostLookupState:
            return kStateResolving;
        case QAbstractSocket::ConnectingState:
            return kStateConnecting;
        case QAbstractSocket::ConnectedState:
            return kStateConnected;
        case QAbstractSocket::BoundState:
            return kStateOpen;
        case QAbstractSocket::ListeningState:
            return kStateListening;
        case QAbstractSocket::ClosingState:
            return kStateClosing;
    }
    return kStateClosed;
}

QString TcpLink::NoRelayText(const QString& host, quint16 port) {
    const QString text = QStringLiteral("No connection to the TCP relay at %1:%2. ") +
                         QStringLiteral("Check the relay and connect again.");
    return text.arg(host).arg(port);
}

int TcpLink::State() const {
    return StateNumber(socket_.state(), errored_);
}

bool TcpLink::PortOpen() const {
    return State() == kStateConnected;
}

// ---- request timer ----------------------------------------------------------

void TcpLink::TakeRefreshPeriod() {
    if (const LinkSettingsSource* s = ctx_.linkSettings()) {
        requestIntervalMs_ = TextToWholeNumber(s->RefreshText());
        reqTimer_.setInterval(requestIntervalMs_ > 0 ? requestIntervalMs_ : kRequestMs);
    }
}

// A period of 0 or less means the timer never ticks, as with a stopped timer.
void TcpLink::ArmRequestTimer() {
    if (refreshEnabled_ && requestIntervalMs_ > 0) {
        if (!reqTimer_.isActive()) {
            reqTimer_.start();
        }
    } else {
        reqTimer_.stop();
    }
}

void TcpLink::SetRefreshTimer(bool enabled) {
    refreshEnabled_ = enabled;
    ArmRequestTimer();
}

bool TcpLink::RefreshTimerEnabled() const {
    return refreshEnabled_;
}

void TcpLink::OnRequestTick() {
    if (State() != kStateConnected) {
        return;
    }
    // Handed to the socket now rather than on a later pass of the event loop.
    socket_.write(EncodeRequest(Cmd::DataRequest));
    socket_.flush();
}

// ---- connecting -------------------------------------------------------------

void TcpLink::Connect() {
    watcher_.start();
    cmdConnect();
}

void TcpLink::cmdConnect() {
    TakeRefreshPeriod();
    SetRefreshTimer(true);
    if (State() != kStateClosed) {
        return;
    }
    connectRequested_ = true;
    tellNoRelay_ = true;
    closingByUs_ = false;
    errored_ = false;
    socket_.connectToHost(remoteHost_, remotePort_);
    remoteHostName_ = socket_.peerName();
    emit remoteHostNameChanged(remoteHostName_);
    TakeRefreshPeriod();
    SetRefreshTimer(true);
}

void TcpLink::OnConnected() {
    StopReconnecting();
    ctx_.setLinkConnected(true);
    emit connectionChanged(true);
}

void TcpLink::OnWatcherTick() {
    switch (State()) {
        case kStateConnected:
            watcher_.stop();
            connected_ = true;
            emit ConnectionStateChanged(true);
            retryCount_ = 0;
            break;
        case kStateConnecting:
            ++retryCount_;
            break;
        default:
            if (retryCount_ >= kMaxRetries) {
                watcher_.stop();
                // Otherwise the operator is left looking at a link that
                // silently never came up.
                if (tellNoRelay_) {
                    tellNoRelay_ = false;
                    ctx_.notifyUser(NoRelayText(remoteHost_, remotePort_));
                }
            }
            ++retryCount_;
            break;
    }
}

void TcpLink::OnStatusTick() {
    const int state = State();
    emit socketStatus(state, remotePort_);
    if (state == kStateError || state == kStateClosing) {
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
    TakeRefreshPeriod();
    SetRefreshTimer(false);
    const bool wasConnected = State() == kStateConnected;
    tellNoRelay_ = false;  // the operator gave up first
    if (State() != kStateClosed) {
        CloseSocket(true);
    }
    connected_ = false;
    ctx_.setLinkConnected(false);
    if (wasConnected) {
        emit connectionChanged(false);
    }
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
    OnReadyRead();  // what the server sent before closing still counts
    CloseSocket(false);
    emit ConnectionStateChanged(false);
    connected_ = false;
    ctx_.setLinkConnected(false);
    emit linkLost(why);
    emit connectionChanged(false);
    StartReconnecting();
}

void TcpLink::TryReopen() {
    if (socket_.state() == QAbstractSocket::UnconnectedState) {
        closingByUs_ = false;
        errored_ = false;
        socket_.connectToHost(remoteHost_, remotePort_);
    }
}

// ---- writing ----------------------------------------------------------------

bool TcpLink::Send(int value, bool invert) {
    if (value < 0 || value > 255 || State() != kStateConnected) {
        return false;
    }
    const char c = static_cast<char>(invert ? value ^ 0xFF : value);
    return socket_.write(&c, 1) == 1;
}

bool TcpLink::WritePacket(const QByteArray& bytes) {
    if (State() != kStateConnected) {
        return false;
    }
    return socket_.write(bytes) == bytes.size();
}

bool TcpLink::cmdSendString() {
    if (State() != kStateConnected) {
        return false;
    }
    const char dg[2] = {static_cast<char>(Cmd::RelayRefreshD),
                        static_cast<char>(Cmd::RelayRefreshG)};
    return socket_.write(dg, 2) == 2;
}

// ---- receiving --------------------------------------------------------------

void TcpLink::OnReadyRead() {
    if (inReceive_) {
        return;  // the outer loop takes these bytes when the handler returns
    }
    inReceive_ = true;
    QPointer<TcpLink> self(this);
    while (socket_.bytesAvailable() > 0) {
        rxBuffer_ = socket_.readAll();
        CountBytes(rxBuffer_.size());
        rx_.Feed(Bytes(rxBuffer_), *this);
        if (!self) {
            return;
        }
    }
    inReceive_ = false;
}

void TcpLink::OnPacket(uint8_t command, std::span<const uint8_t> data) {
    CountReply();
    if (receiver_) {
        receiver_->HandleReply(command, data);
    }
}

void TcpLink::OnBrokenPacket(uint8_t command, int length, uint8_t trailer) {
    CountBroken();
    emit captionRequested(TimeText(clock_()) + QStringLiteral(" Broken packet: ") +
                          QString::number(command, 16).toUpper() + u' ' + QString::number(length) +
                          u' ' + QString::number(trailer, 16).toUpper());
}

}  // namespace tuvik
