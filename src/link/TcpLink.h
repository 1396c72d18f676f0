#pragma once
// The TCP link: one connection to the relay server that passes the
// controller's byte stream on. It connects, reads what arrives into the
// receive loop, writes and reports a connection that went away; besides, a
// watcher reports the connection once it is made (and tells the operator
// when it never is), and a status timer shows the socket's state and cleans
// up a failed socket. The framing, the periodic request and the reports are
// DeviceLink's.

#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include "link/DeviceLink.h"

namespace tuvik {

// What the TCP link connects with: the relay's address and port, the
// period of the data request in ms (0 or less: none) and how often the
// connection watcher looks.
struct TcpSettings {
    static constexpr quint16 kRelayPort = 10001;
    static constexpr int kConnectionWatchMs = 5000;

    QString host = QStringLiteral("127.0.0.1");
    quint16 port = kRelayPort;
    int refreshMs = 0;
    int watchMs = kConnectionWatchMs;
};

class TcpLink : public DeviceLink {
    Q_OBJECT
  public:
    static constexpr int kRequestMs = 500;  // until a period is given
    static constexpr int kStatusMs = 1000;
    static constexpr int kMaxRetries = 11;  // the watcher gives up after these

    explicit TcpLink(QObject* parent = nullptr);
    ~TcpLink() override;

    // DeviceLink
    bool PortOpen() const override;  // connected
    void Disconnect() override;
    bool Send(int value, bool invert = false) override;  // only while connected

    // Starts the connection watcher (at the settings' period), then opens
    // as Open does.
    void Connect(const TcpSettings& settings);
    // Takes the request period and starts the request timer; when the socket
    // is closed, starts connecting to the relay. A reconnect after a loss
    // uses the same settings.
    void Open(const TcpSettings& settings);
    // The relay's own refresh command, D and G in one send.
    bool SendRelayRefresh();

    QAbstractSocket::SocketState socketState() const { return socket_.state(); }
    // The last attempt or connection failed (until the next attempt).
    bool errored() const { return errored_; }
    const TcpSettings& settings() const { return settings_; }

    QString Endpoint() const override {
        return settings_.host + QLatin1Char(':') + QString::number(settings_.port);
    }

    RecordingInfo ConnectionInfo() const override;
    bool relayed() const override { return true; }

    // Seam: tests count the watcher's ticks, which the operator sees only as one "not found" box.
    QTimer& TimerConnectionMaker() { return watcher_; }

  signals:
    // True when the watcher sees the connection made, false when the server closed it.
    // Seam: tests see each look of the watcher; the program follows connectionChanged.
    void ConnectionStateChanged(bool connected);
    // Every status tick: the socket state, whether it failed, and the remote port.
    void socketStatus(QAbstractSocket::SocketState state, bool errored, quint16 remotePort);
    // The watcher gave up on a connection that was asked for.
    void relayNotFound();
    // The remote host as the socket reports it once a connection was started.
    void remoteHostNameChanged(const QString& name);

  protected:
    // The whole packet in one send; nothing unless connected.
    bool WritePacket(const QByteArray& bytes) override;
    bool WriteThrough(const QByteArray& bytes) override {
        return Write(bytes.constData(), bytes.size(), true);
    }
    void TryReopen() override;
    void OnRequestTick() override;

  private:
    // Hands the bytes to the socket and tells the tap what it took; through:
    // a borrower's bytes, which go while the link is lent out.
    bool Write(const char* bytes, qint64 n, bool through = false);
    void CloseSocket(bool flush);
    void OnWatcherTick();
    void OnStatusTick();
    void OnConnected();
    void OnDisconnected();
    void OnSocketError(QAbstractSocket::SocketError error);
    // False when a reply handler destroyed the link.
    bool OnReadyRead();

    QTcpSocket socket_;
    QTimer watcher_;
    QTimer statusTimer_;
    TcpSettings settings_;
    int retryCount_ = 0;        // the watcher's count; reset when it sees the connection
    bool tellNoRelay_ = false;  // a connect was asked for and not yet given up
    bool errored_ = false;      // the last attempt or connection failed
    bool closingByUs_ = false;  // our own close, not the peer's
};

}  // namespace tuvik
