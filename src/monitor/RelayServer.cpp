#include "monitor/RelayServer.h"

#include <QTcpSocket>

#include <cstdio>

#include "link/Packet.h"
#include "shell/Session.h"

namespace tuvik::monitor {

namespace {

QHostAddress ListenAddress(const QString& host) {
    if (host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        return QHostAddress(QHostAddress::LocalHost);
    }
    return QHostAddress(host);
}

}  // namespace

RelayServer::RelayServer(Session& session, const RelayConfig& config, QObject* parent)
    : QObject(parent), session_(session), config_(config), framer_(&IsRequest) {
    allowError_ = allow_.Parse(config_.allow);
    lendRetry_.setInterval(kLendRetryMs);
    lendRetry_.setSingleShot(true);
    connect(&lendRetry_, &QTimer::timeout, this, &RelayServer::TryLend);
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, &RelayServer::GiveBack);
    connect(&server_, &QTcpServer::newConnection, this, &RelayServer::OnNewConnections);
    connect(&session_.ctx(), &AppContext::activeLinkChanged, this,
            &RelayServer::OnActiveLinkChanged);
}

RelayServer::~RelayServer() {
    DropDesktop();
    if (lent_) {
        lent_->Lend(nullptr);
    }
}

std::optional<QString> RelayServer::Start() {
    const QHostAddress address = ListenAddress(config_.host);
    if (address.isNull()) {
        return QStringLiteral("relay.listen: \"%1\" is not an IP address").arg(config_.host);
    }
    if (allowError_) {
        return QStringLiteral("relay.allow: ") + *allowError_;
    }
    // Whoever reaches the port can write to the controller.
    if (config_.allow.isEmpty() && !AllowList::IsLoopback(address)) {
        return QStringLiteral(
                   "relay.listen: %1 is not a loopback address; relay.allow must say "
                   "who may connect")
            .arg(address.toString());
    }
    if (!server_.listen(address, config_.port)) {
        return QStringLiteral("relay: cannot listen on %1:%2: %3")
            .arg(address.toString())
            .arg(config_.port)
            .arg(server_.errorString());
    }
    Log(QStringLiteral("relay: listening on %1:%2").arg(address.toString()).arg(port()));
    return std::nullopt;
}

void RelayServer::Log(const QString& line) const {
    if (log_) {
        log_(line);
    } else {
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    }
}

QString RelayServer::PeerText(const QTcpSocket& socket) const {
    return AllowList::Unmapped(socket.peerAddress()).toString() + QLatin1Char(':') +
           QString::number(socket.peerPort());
}

// ---- desktops -----------------------------------------------------------------

void RelayServer::OnNewConnections() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        // Nothing has been read from it yet: the event loop has not run
        // since the server made it.
        const QString peer = AllowList::Unmapped(socket->peerAddress()).toString();
        if (!allow_.Allows(socket->peerAddress())) {
            if (refusedLines_.Allow(peer, session_.clock().MonotonicUs() / 1000)) {
                Log(QStringLiteral("relay: refused a connection from %1: not in relay.allow")
                        .arg(peer));
            }
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (desktop_) {
            Log(QStringLiteral("relay: closed the desktop at %1: a new connection from %2 takes "
                               "its place")
                    .arg(PeerText(*desktop_), PeerText(*socket)));
            DropDesktop();
        }
        Take(socket);
    }
}

void RelayServer::Take(QTcpSocket* socket) {
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    desktop_ = socket;
    connect(socket, &QTcpSocket::readyRead, this, &RelayServer::OnDesktopBytes);
    connect(socket, &QTcpSocket::disconnected, this, [this, peer = PeerText(*socket)] {
        Leave(QStringLiteral("relay: the desktop at %1 left").arg(peer));
    });
    Log(QStringLiteral("relay: desktop connected from %1").arg(PeerText(*socket)));
    // A desktop coming back while the line settles takes the link as it is.
    quiet_.stop();
    emit desktopChanged(true);
    if (!lent_) {
        TryLend();
    } else {
        Drain();
    }
}

// Whatever the desktop left half sent never reaches the controller, so the
// next desktop starts on a packet boundary.
void RelayServer::DropDesktop() {
    if (QTcpSocket* socket = desktop_) {
        desktop_.clear();
        disconnect(socket, nullptr, this, nullptr);
        socket->abort();
        socket->deleteLater();
    }
    queue_.clear();
    unit_.clear();
    framer_.Reset();
    heldD_ = false;
}

void RelayServer::OnDesktopBytes() {
    if (!desktop_) {
        return;
    }
    queue_ += desktop_->readAll();
    if (queue_.size() > kMaxQueued) {
        Leave(QStringLiteral("relay: closed the desktop at %1: more than %2 bytes waiting")
                  .arg(PeerText(*desktop_))
                  .arg(kMaxQueued));
        return;
    }
    Drain();
}

void RelayServer::Leave(const QString& line) {
    if (!desktop_) {
        return;
    }
    Log(line);
    DropDesktop();
    lendRetry_.stop();
    emit desktopChanged(false);
    if (lent_) {
        quietSince_.start();
        quiet_.start(quietMs_);
    }
}

// ---- the link ------------------------------------------------------------------

// A write of the monitor's under way (an acknowledged write run, a read
// waiting for its answers, a write held by the quiet time) finishes first.
void RelayServer::TryLend() {
    DeviceLink* link = session_.ctx().activeLink();
    if (!desktop_ || lent_) {
        return;
    }
    if (!link || !link->Idle()) {
        lendRetry_.start();
        return;
    }
    ownLoop_ = session_.loops().selectedIndex();
    lent_ = link;
    link->Lend(this);
    emit lendingChanged(true);
    Drain();
}

// The desktop's bytes go as whole packets (bytes between packets as they
// come), all that is ready in one write, never through anything that waits.
void RelayServer::Drain() {
    if (!lent_ || queue_.isEmpty()) {
        return;
    }
    QByteArray out;
    for (const char c : std::exchange(queue_, {})) {
        const auto b = static_cast<uint8_t>(c);
        if (framer_.count == 0) {
            if (heldD_) {
                heldD_ = false;
                if (b == Cmd::RelayRefreshG) {
                    continue;  // "DG": the relay's own refresh command, nothing to pass on
                }
                out += static_cast<char>(Cmd::RelayRefreshD);
            }
            if (b == Cmd::RelayRefreshD) {
                heldD_ = true;
                continue;
            }
        }
        unit_ += c;
        framer_.Feed(b, *this);
        if (framer_.count == 0) {
            out += unit_;
            unit_.clear();
        }
    }
    if (!out.isEmpty()) {
        // A link that is down drops them, as a line without a controller would.
        lent_->Forward(
            {reinterpret_cast<const uint8_t*>(out.constData()), static_cast<size_t>(out.size())});
    }
}

void RelayServer::OnPacket(uint8_t command, std::span<const uint8_t> data) {
    // 80 01 index 7F: the controller reports that loop from now on, and the
    // session files what comes under it.
    if (command == Cmd::SelectLoop && session_.loops().at(data[0])) {
        session_.loops().SetSelectedIndex(data[0]);
    }
}

void RelayServer::FromDevice(std::span<const uint8_t> bytes) {
    if (desktop_) {
        desktop_->write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qint64>(bytes.size()));
    } else if (quiet_.isActive() && quietSince_.elapsed() < quietMaxMs_) {
        quiet_.start(quietMs_);  // the controller is still answering the desktop
    }
}

void RelayServer::GiveBack() {
    DeviceLink* link = lent_;
    if (link && link->WritesHeld()) {
        quiet_.start(quietMs_);  // the select would wait for the hold
        return;
    }
    lent_.clear();
    if (link) {
        link->Lend(nullptr);
        if (session_.loops().at(ownLoop_)) {
            session_.loops().SetSelectedIndex(ownLoop_);
            const uint8_t index = static_cast<uint8_t>(ownLoop_);
            link->SendPacket(Cmd::SelectLoop, std::span<const uint8_t>(&index, 1));
        }
    }
    Log(QStringLiteral("relay: the link is back with the monitor"));
    emit lendingChanged(false);
}

// The monitor's link was replaced: the desktop goes on with the new one once
// it is free; the old one is given back as it is.
void RelayServer::OnActiveLinkChanged(DeviceLink* link) {
    if (!lent_ || lent_ == link) {
        return;
    }
    lent_->Lend(nullptr);
    lent_.clear();
    quiet_.stop();
    framer_.Reset();
    unit_.clear();
    emit lendingChanged(false);
    TryLend();
}

}  // namespace tuvik::monitor
