#pragma once
// The TCP link: one connection to the relay server that passes the
// controller's byte stream on. Same member set as the serial link, plus the
// connection handling: a watcher that reports the connection once it is made,
// a status timer that cleans up a failed socket, and the peer's close.

#include <QByteArray>
#include <QString>
#include <QTcpSocket>
#include <QTime>
#include <QTimer>

#include <functional>

#include "link/DeviceLink.h"
#include "link/RxState.h"

namespace tuvik {

class AppContext;

class TcpLink : public DeviceLink, private RxSink {
    Q_OBJECT
  public:
    static constexpr quint16 kRelayPort = 10001;
    static constexpr int kRequestMs = 500;  // until the refresh text is taken
    static constexpr int kConnectionWatchMs = 5000;
    static constexpr int kStatusMs = 1000;
    static constexpr int kMaxRetries = 11;  // the watcher gives up after these

    // Socket states as shown to the operator.
    static constexpr int kStateClosed = 0;
    static constexpr int kStateOpen = 1;
    static constexpr int kStateListening = 2;
    static constexpr int kStateResolving = 4;
    static constexpr int kStateConnecting = 6;
    static constexpr int kStateConnected = 7;
    static constexpr int kStateClosing = 8;
    static constexpr int kStateError = 9;

    explicit TcpLink(AppContext& ctx, QObject* parent = nullptr);
    ~TcpLink() override;

    // DeviceLink
    bool PortOpen() const override;  // connected
    void Disconnect() override;
    void SetRefreshTimer(bool enabled) override;
    bool RefreshTimerEnabled() const override;
    bool Send(int value, bool invert = false) override;  // only while connected

    // Starts the connection watcher, then does what the connect button does.
    void Connect();
    // Takes the refresh period, starts the request timer and, when the socket
    // is closed, starts connecting to RemoteHost() on RemotePort().
    void cmdConnect();
    // The relay's own refresh command, D and G in one send.
    bool cmdSendString();
    // Offered for symmetry; it has no effect on this link.
    void WriteArray(int32_t, int32_t, int, std::span<const uint8_t>) {}

    int State() const;  // kStateClosed .. kStateError
    static int StateNumber(QAbstractSocket::SocketState state, bool errored);
    // Told once the watcher gives up on a connection that was asked for.
    static QString NoRelayText(const QString& host, quint16 port);

    QString RemoteHost() const { return remoteHost_; }
    QString Endpoint() const override {
        return remoteHost_ + QLatin1Char(':') + QString::number(remotePort_);
    }

  protected:
    void TryReopen() override;

  public:
    void SetRemoteHost(const QString& host) { remoteHost_ = host; }
    quint16 RemotePort() const { return remotePort_; }
    void SetRemotePort(quint16 port) { remotePort_ = port; }
    // The host as the socket reports it once a connection was started.
    QString RemoteHostName() const { return remoteHostName_; }

    int retryCount() const { return retryCount_; }
    bool connectRequested() const { return connectRequested_; }
    bool connected() const { return connected_; }

    // Timers, reachable so that tests and the window can shorten or read them.
    QTimer& TimerReqData() { return reqTimer_; }
    QTimer& TimerConnectionMaker() { return watcher_; }
    QTimer& Timer1() { return statusTimer_; }
    const RxState& rxState() const { return rx_; }
    QByteArray rxBuffer() const { return rxBuffer_; }

    // Time of day used for captions; tests fix it.
    void SetClock(std::function<QTime()> clock);

  signals:
    // True when the watcher sees the connection made, false when the server closed it.
    void ConnectionStateChanged(bool connected);
    // Every status tick: the socket state and the remote port.
    void socketStatus(int state, quint16 remotePort);
    void remoteHostNameChanged(const QString& name);

  protected:
    // The whole packet in one send; nothing unless connected.
    bool WritePacket(const QByteArray& bytes) override;

  private:
    void OnPacket(uint8_t command, std::span<const uint8_t> data) override;
    void OnBrokenPacket(uint8_t command, int length, uint8_t trailer) override;

    void TakeRefreshPeriod();
    void ArmRequestTimer();
    void CloseSocket(bool flush);
    void OnRequestTick();
    void OnWatcherTick();
    void OnStatusTick();
    void OnConnected();
    void OnDisconnected();
    void OnSocketError(QAbstractSocket::SocketError error);
    void OnReadyRead();

    AppContext& ctx_;
    QTcpSocket socket_;
    QTimer reqTimer_;
    QTimer watcher_;
    QTimer statusTimer_;
    RxState rx_;
    QByteArray rxBuffer_;
    std::function<QTime()> clock_;
    QString remoteHost_ = QStringLiteral("127.0.0.1");
    quint16 remotePort_ = kRelayPort;
    QString remoteHostName_;
    int retryCount_ = 0;
    int requestIntervalMs_ = kRequestMs;
    bool refreshEnabled_ = false;
    bool connectRequested_ = false;
    bool tellNoRelay_ = false;  // a connect was asked for and not yet given up
    bool connected_ = false;
    bool errored_ = false;      // the last attempt or connection failed; shown as state 9
    bool closingByUs_ = false;  // our own close, not the peer's
    bool inReceive_ = false;
};

}  // namespace tuvik
