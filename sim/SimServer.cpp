#include "SimServer.h"

#include "link/Packet.h"
#include "link/RxState.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace tuvik::sim {

// One transport with at most one client: frames the client's requests and
// sends the device's bytes back, honouring delays and closes.
class Endpoint : public QObject, public RxSink {
  public:
    Endpoint(SimServer& server, const QString& name)
        : server_(server), name_(name), rx_(&SimDevice::IsRequest) {
        delay_.setSingleShot(true);
        connect(&delay_, &QTimer::timeout, this, [this] { FlushDue(); });
        clock_.start();
    }

    const QString& name() const { return name_; }
    virtual bool Present() const = 0;
    // Ends the current client's connection now.
    virtual void Close() = 0;
    // Time between a response and the close that the close fault asks for.
    virtual int CloseGraceMs() const { return 0; }

    void Deliver(const FaultInjector::Transmission& t) {
        if (!Present() || closing_) {
            return;
        }
        if (t.delayMs <= 0 && queue_.empty()) {
            if (!t.bytes.isEmpty()) {
                Send(t.bytes);
            }
            if (t.close) {
                ScheduleClose();
            }
            return;
        }
        queue_.push_back({clock_.elapsed() + t.delayMs, t.bytes, t.close});
        Arm();
    }

    void OnPacket(uint8_t command, std::span<const uint8_t> data) override {
        if (!closing_) {
            server_.OnRequest(*this, command, data);
        }
    }
    void OnBrokenPacket(uint8_t, int, uint8_t) override { ++server_.stats_.brokenRequests; }

  protected:
    virtual void Write(const QByteArray& bytes) = 0;

    void Feed(const char* p, qint64 n) {
        server_.stats_.bytesIn += static_cast<uint64_t>(n);
        const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(p),
                                             static_cast<size_t>(n));
        if (server_.byteObserver_) {
            server_.byteObserver_(bytes);
        }
        rx_.Feed(bytes, *this);
    }
    // A new client starts with a clean line.
    void ResetSession() {
        rx_.Reset();
        queue_.clear();
        delay_.stop();
        closing_ = false;
    }
    void Connected() {
        ResetSession();
        ++server_.stats_.connections;
    }
    void Disconnected() { ResetSession(); }

    SimServer& server_;

  private:
    struct Pending {
        qint64 due;
        QByteArray bytes;
        bool close;
    };

    void Send(const QByteArray& bytes) {
        server_.stats_.bytesOut += static_cast<uint64_t>(bytes.size());
        Write(bytes);
    }
    void ScheduleClose() {
        closing_ = true;
        ++server_.stats_.closes;
        QTimer::singleShot(CloseGraceMs(), this, [this] {
            if (closing_) {
                Close();
            }
        });
    }
    void Arm() {
        if (!queue_.empty()) {
            delay_.start(
                static_cast<int>(std::max<qint64>(0, queue_.front().due - clock_.elapsed())));
        }
    }
    void FlushDue() {
        const qint64 now = clock_.elapsed();
        while (!queue_.empty() && queue_.front().due <= now && Present() && !closing_) {
            Pending p = std::move(queue_.front());
            queue_.pop_front();
            if (!p.bytes.isEmpty()) {
                Send(p.bytes);
            }
            if (p.close) {
                queue_.clear();
                ScheduleClose();
            }
        }
        Arm();
    }

    QString name_;
    RxState rx_;
    std::deque<Pending> queue_;
    QTimer delay_;
    QElapsedTimer clock_;
    bool closing_ = false;
};

// The pseudo-terminal. A client is present while someone holds the slave
// open; the master then stops reporting a hang-up.
class PtyEndpoint : public Endpoint {
  public:
    static constexpr int kPresencePollMs = 50;
    static constexpr qsizetype kMaxBacklog = 64 * 1024;
    // A hang-up throws away what the client has not read yet; give it the
    // time to read the response that came before the close.
    static constexpr int kHangUpGraceMs = 200;

    PtyEndpoint(SimServer& server, const QString& link) : Endpoint(server, "pty"), link_(link) {
        presence_.setInterval(kPresencePollMs);
        connect(&presence_, &QTimer::timeout, this, [this] { CheckPresence(); });
    }
    ~PtyEndpoint() override {
        CloseMaster();
        RemoveLink();
    }

    bool Open(QString* error) {
        // Not inherited: a program the test starts must not keep the line up.
        fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0) {
            return Fail(error,
                        QStringLiteral("cannot create a pseudo-terminal: %1").arg(strerror(errno)));
        }
        const char* name = ::ptsname(fd_);
        if (name == nullptr) {
            return Fail(error, QStringLiteral("no slave name for the pseudo-terminal"));
        }
        path_ = QString::fromLocal8Bit(name);
        // Raw mode before anyone opens it: a fresh terminal echoes and
        // translates, which would turn our own replies into requests.
        const int s = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (s >= 0) {
            termios t{};
            if (::tcgetattr(s, &t) == 0) {
                ::cfmakeraw(&t);
                ::cfsetispeed(&t, B38400);
                ::cfsetospeed(&t, B38400);
                ::tcsetattr(s, TCSANOW, &t);
            }
            ::close(s);
        }
        read_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        connect(read_.get(), &QSocketNotifier::activated, this, [this] { OnReadable(); });
        write_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
        write_->setEnabled(false);
        connect(write_.get(), &QSocketNotifier::activated, this, [this] { OnWritable(); });
        read_->setEnabled(false);
        present_ = false;
        presence_.start();
        return MakeLink(error);
    }

    const QString& path() const { return path_; }
    bool Present() const override { return present_; }
    int CloseGraceMs() const override { return kHangUpGraceMs; }

    // Hangs up: the client sees the device vanish; a fresh terminal takes
    // its place behind the same link so that the client can come back.
    void Close() override {
        const bool was = present_;
        CloseMaster();
        if (was) {
            Disconnected();
        }
        QString error;
        if (Open(&error)) {
            emit server_.ptyReopened(path_);
        } else {
            std::fprintf(stderr, "tuvik-sim: %s\n", qPrintable(error));
        }
    }

  protected:
    void Write(const QByteArray& bytes) override {
        if (!out_.isEmpty()) {
            if (out_.size() + bytes.size() <= kMaxBacklog) {
                out_ += bytes;
            }
            return;
        }
        const ssize_t n = ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (n == bytes.size()) {
            return;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            Gone();
            return;
        }
        out_ = bytes.mid(n < 0 ? 0 : n);
        write_->setEnabled(true);
    }

  private:
    static bool Fail(QString* error, const QString& text) {
        if (error) {
            *error = text;
        }
        return false;
    }

    bool MakeLink(QString* error) {
        if (link_.isEmpty()) {
            return true;
        }
        const QFileInfo info(link_);
        if (info.exists() || info.isSymLink()) {
            if (!info.isSymLink()) {
                return Fail(error,
                            QStringLiteral("%1 exists and is not a symbolic link").arg(link_));
            }
            QFile::remove(link_);
        }
        if (!QFile::link(path_, link_)) {
            return Fail(error, QStringLiteral("cannot create the link %1").arg(link_));
        }
        return true;
    }
    void RemoveLink() {
        if (!link_.isEmpty() && QFileInfo(link_).isSymLink() &&
            QFileInfo(link_).symLinkTarget() == path_) {
            QFile::remove(link_);
        }
    }
    void CloseMaster() {
        presence_.stop();
        read_.reset();
        write_.reset();
        out_.clear();
        present_ = false;
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    void CheckPresence() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0) {
            present_ = true;
            presence_.stop();
            read_->setEnabled(true);
            Connected();
        }
    }
    void Gone() {
        out_.clear();
        write_->setEnabled(false);
        read_->setEnabled(false);
        if (present_) {
            present_ = false;
            Disconnected();
        }
        presence_.start();
    }
    void OnReadable() {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0) {
                Feed(buf, n);
                if (fd_ < 0 || !present_) {
                    return;  // a close while handling the requests
                }
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                return;
            }
            Gone();  // EIO: the last holder of the slave closed it
            return;
        }
    }
    void OnWritable() {
        if (out_.isEmpty()) {
            write_->setEnabled(false);
            return;
        }
        const ssize_t n = ::write(fd_, out_.constData(), static_cast<size_t>(out_.size()));
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            Gone();
            return;
        }
        if (n > 0) {
            out_.remove(0, n);
        }
        write_->setEnabled(!out_.isEmpty());
    }

    QString link_;
    QString path_;
    int fd_ = -1;
    bool present_ = false;
    std::unique_ptr<QSocketNotifier> read_;
    std::unique_ptr<QSocketNotifier> write_;
    QTimer presence_;
    QByteArray out_;
};

// The TCP relay: one client at a time; a new client takes the place of the
// previous one, so that a tool that reconnects is always served.
class TcpEndpoint : public Endpoint {
  public:
    explicit TcpEndpoint(SimServer& server) : Endpoint(server, "tcp") {
        connect(&listener_, &QTcpServer::newConnection, this, [this] { OnNewConnection(); });
    }
    ~TcpEndpoint() override {
        if (client_) {
            client_->disconnect(this);
            client_->abort();
            delete client_.data();
        }
    }

    bool Listen(const QHostAddress& address, int port, QString* error) {
        if (!listener_.listen(address, static_cast<quint16>(port))) {
            if (error) {
                *error = QStringLiteral("cannot listen on %1:%2: %3")
                             .arg(address.toString())
                             .arg(port)
                             .arg(listener_.errorString());
            }
            return false;
        }
        return true;
    }
    quint16 port() const { return listener_.serverPort(); }
    bool Present() const override {
        return client_ && client_->state() == QAbstractSocket::ConnectedState;
    }
    void Close() override {
        if (client_) {
            client_->disconnectFromHost();
        }
    }

  protected:
    void Write(const QByteArray& bytes) override { client_->write(bytes); }

  private:
    void OnNewConnection() {
        while (QTcpSocket* s = listener_.nextPendingConnection()) {
            if (client_) {
                QTcpSocket* old = client_;
                old->disconnect(this);
                old->abort();
                old->deleteLater();
                client_ = nullptr;
                Disconnected();
            }
            client_ = s;
            s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                while (client_ == s && s->bytesAvailable() > 0) {
                    const QByteArray b = s->read(4096);
                    Feed(b.constData(), b.size());
                }
            });
            connect(s, &QTcpSocket::disconnected, this, [this, s] {
                s->deleteLater();
                if (client_ == s) {
                    client_ = nullptr;
                    Disconnected();
                }
            });
            Connected();
        }
    }

    QTcpServer listener_;
    QPointer<QTcpSocket> client_;
};

SimServer::SimServer(const SimServerOptions& options, QObject* parent)
    : QObject(parent), options_(options), device_(options.device) {
    connect(&tick_, &QTimer::timeout, this, [this] { Tick(); });
    tick_.setTimerType(Qt::PreciseTimer);
}

SimServer::~SimServer() {
    Stop();
}

bool SimServer::Start(QString* error) {
    Stop();
    if (options_.pty) {
        auto p = std::make_unique<PtyEndpoint>(*this, options_.ptyLink);
        if (!p->Open(error)) {
            return false;
        }
        pty_ = std::move(p);
    }
    if (options_.tcpPort >= 0) {
        auto t = std::make_unique<TcpEndpoint>(*this);
        if (!t->Listen(options_.listen, options_.tcpPort, error)) {
            pty_.reset();
            return false;
        }
        tcp_ = std::move(t);
    }
    clock_.start();
    lastTickNs_ = 0;
    if (options_.tickMs > 0) {
        tick_.start(options_.tickMs);
    }
    return true;
}

void SimServer::Stop() {
    tick_.stop();
    pty_.reset();
    tcp_.reset();
}

QString SimServer::PtyPath() const {
    return pty_ ? static_cast<const PtyEndpoint&>(*pty_).path() : QString();
}

quint16 SimServer::TcpPort() const {
    return tcp_ ? static_cast<const TcpEndpoint&>(*tcp_).port() : 0;
}

bool SimServer::PtyClientPresent() const {
    return pty_ && pty_->Present();
}
bool SimServer::TcpClientConnected() const {
    return tcp_ && tcp_->Present();
}

void SimServer::SetTickInterval(int ms) {
    options_.tickMs = ms;
    if (tick_.isActive()) {
        tick_.start(ms);
    }
}

void SimServer::SetClockRunning(bool running) {
    if (running && options_.tickMs > 0) {
        if (!clock_.isValid()) {
            clock_.start();
        }
        lastTickNs_ = clock_.nsecsElapsed();
        tick_.start(options_.tickMs);
    } else {
        tick_.stop();
    }
}

void SimServer::Tick() {
    const qint64 now = clock_.nsecsElapsed();
    // A process that was stopped for a while does not make the device jump.
    const double realMs = std::min<double>((now - lastTickNs_) / 1e6, 1000.0);
    lastTickNs_ = now;
    device_.Advance(realMs * options_.speed);
    const auto t = device_.TakeUnsolicited();
    if (!t.bytes.isEmpty()) {
        Broadcast(t);
    }
}

void SimServer::Broadcast(const FaultInjector::Transmission& t) {
    for (Endpoint* e : {pty_.get(), tcp_.get()}) {
        if (e && e->Present()) {
            Trace("->", e->name(), t.bytes);
            e->Deliver(t);
        }
    }
}

void SimServer::OnRequest(Endpoint& from, uint8_t cmd, std::span<const uint8_t> data) {
    if (options_.trace) {
        QByteArray req(1, static_cast<char>(cmd));
        req.append(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
        Trace("<-", from.name(), req);
    }
    if (requestObserver_) {
        requestObserver_(cmd, data);
    }
    const auto t = device_.Respond(cmd, data);
    Trace("->", from.name(), t.bytes);
    from.Deliver(t);
}

void SimServer::PushReply(uint8_t cmd, std::span<const uint8_t> data) {
    PushRaw(EncodePacket(cmd, data));
}

void SimServer::PushRaw(const QByteArray& bytes) {
    Broadcast({bytes, 0, false});
}

void SimServer::CloseConnections() {
    for (Endpoint* e : {pty_.get(), tcp_.get()}) {
        if (e && e->Present()) {
            ++stats_.closes;
            e->Close();
        }
    }
}

void SimServer::Trace(const char* dir, const QString& where, const QByteArray& bytes) const {
    if (options_.trace && !bytes.isEmpty()) {
        std::fprintf(stderr, "%s %s %s\n", qPrintable(where), dir,
                     bytes.toHex(' ').toUpper().constData());
    }
}

}  // namespace tuvik::sim
