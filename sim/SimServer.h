#pragma once
// Carries the simulated device onto real transports: a pseudo-terminal that
// stands in for the serial port, and a TCP relay server on loopback. Drives
// the device's clock from a timer and executes what the fault injector
// decided (delays, closed connections).

#include "SimDevice.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace tuvik::sim {

struct SimServerOptions {
    SimConfig device;
    bool pty = true;
    QString ptyLink;   // symbolic link to the pseudo-terminal's slave; empty = none
    int tcpPort = -1;  // -1 = no TCP relay, 0 = any free port
    QHostAddress listen = QHostAddress(QHostAddress::LocalHost);
    double speed = 1.0;  // simulated time per real time
    int tickMs = 20;     // period of the simulation step in real milliseconds
    bool trace = false;  // every request and response in hex on stderr
};

class Endpoint;

class SimServer : public QObject {
    Q_OBJECT
  public:
    explicit SimServer(const SimServerOptions& options = {}, QObject* parent = nullptr);
    ~SimServer() override;

    // Opens the transports that the options name and starts the clock.
    bool Start(QString* error = nullptr);
    void Stop();

    QString PtyPath() const;  // the slave device, e.g. /dev/pts/4; empty without a pty
    QString PtyLink() const { return options_.ptyLink; }
    quint16 TcpPort() const;  // the port actually listened on; 0 without TCP
    bool PtyClientPresent() const;
    bool TcpClientConnected() const;

    SimDevice& device() { return device_; }
    FaultInjector& faults() { return device_.faults(); }

    void SetSpeed(double speed) { options_.speed = speed > 0 ? speed : 1.0; }
    double Speed() const { return options_.speed; }
    void SetTickInterval(int ms);
    // With the clock stopped, simulated time moves only by device().Advance.
    void SetClockRunning(bool running);
    void SetTrace(bool on) { options_.trace = on; }
    // Sees every request as it arrives, before the device handles it.
    using RequestObserver = std::function<void(uint8_t cmd, std::span<const uint8_t> data)>;
    void SetRequestObserver(RequestObserver observer) { requestObserver_ = std::move(observer); }
    // Sees every byte a client sends, as it arrives, before the framing.
    using ByteObserver = std::function<void(std::span<const uint8_t> bytes)>;
    void SetByteObserver(ByteObserver observer) { byteObserver_ = std::move(observer); }

    // Sends one packet exactly as given to every connected client, past all faults.
    void PushReply(uint8_t cmd, std::span<const uint8_t> data);
    // Sends raw bytes to every connected client.
    void PushRaw(const QByteArray& bytes);
    // Closes the connection of every transport now (the pty is hung up and
    // replaced by a fresh one behind the same link).
    void CloseConnections();

    struct Stats {
        uint64_t bytesIn = 0;
        uint64_t bytesOut = 0;
        uint64_t brokenRequests = 0;
        uint64_t connections = 0;
        uint64_t closes = 0;
    };
    const Stats& stats() const { return stats_; }

  signals:
    // The pty was replaced after a close; path is the new slave.
    void ptyReopened(const QString& path);

  private:
    friend class Endpoint;
    friend class PtyEndpoint;
    friend class TcpEndpoint;
    void OnRequest(Endpoint& from, uint8_t cmd, std::span<const uint8_t> data);
    void Tick();
    void Broadcast(const FaultInjector::Transmission& t);
    void Trace(const char* dir, const QString& where, const QByteArray& bytes) const;

    SimServerOptions options_;
    SimDevice device_;
    std::unique_ptr<Endpoint> pty_;
    std::unique_ptr<Endpoint> tcp_;
    QTimer tick_;
    QElapsedTimer clock_;
    qint64 lastTickNs_ = 0;
    Stats stats_;
    RequestObserver requestObserver_;
    ByteObserver byteObserver_;
};

}  // namespace tuvik::sim
