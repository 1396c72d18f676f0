#pragma once
// One connection to an MQTT broker (3.1.1) through libmosquitto. The
// library's own network thread runs the socket, TLS and keep-alive; the
// name look-up and the connect of each attempt run on a thread of this
// class; neither ever runs on the thread that owns the object. What they
// report reaches that thread through queued calls only. Attempts are timed
// here (1 s, doubling to 60 s, back to 1 s after a connection), never by the
// library, so Stop() never waits for a back-off.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "support/LineThrottle.h"

struct mosquitto;
struct mosquitto_message;

namespace tuvik::monitor {

struct MqttClientOptions {
    QString host;
    int port = 1883;
    QString clientId;
    int keepAliveS = 30;
    QString user;
    std::optional<QString> password;  // the program decides where it comes from
    QString caFile;                   // set: TLS
    QString certFile;
    QString keyFile;
    bool tlsInsecure = false;  // no host-name check
    // The last will, set before the first connect (retained, QoS 1).
    QString willTopic;
    QByteArray willPayload;
};

// The first line of a password file, without its line end; empty with
// *error set when it cannot be read.
QString ReadPasswordLine(const QString& path, QString* error);

class MqttClient : public QObject {
    Q_OBJECT
  public:
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLastRetryMs = 60000;
    static constexpr int kStopWaitMs = 500;

    explicit MqttClient(MqttClientOptions options, QObject* parent = nullptr);
    // Stop() without a farewell message when still running.
    ~MqttClient() override;

    // Starts connecting; false with *error when the library refuses the
    // options (a CA file it cannot take, say).
    bool Start(QString* error = nullptr);
    // Publishes the farewell (retained, QoS 1) while connected and waits at
    // most kStopWaitMs for the broker to take it, then disconnects and ends
    // the network thread.
    void Stop(const QString& topic = {}, const QByteArray& payload = {});

    bool connected() const { return connected_; }
    // Only while connected; false otherwise or when the library refuses.
    bool Publish(const QString& topic, const QByteArray& payload, int qos, bool retain);
    bool Subscribe(const QString& topic, int qos);

    // Where the connection's log lines go (qWarning until set): a refused
    // password or a failed TLS handshake at most once a minute each.
    void setLog(std::function<void(const QString&)> log) { log_ = std::move(log); }
    // The retry delay that comes next (tests and the log).
    int retryMs() const { return retryMs_; }
    const MqttClientOptions& options() const { return options_; }

  signals:
    void connectedChanged(bool connected);
    void messageArrived(const QString& topic, const QByteArray& payload);

  private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* m);
    static void OnPublish(mosquitto*, void* self, int mid);
    static void OnLog(mosquitto*, void* self, int level, const char* text);

    void Attempt();        // on the owner's thread: hands one attempt to the connector
    void ConnectorMain();  // the connector thread
    void Connected(int rc);
    void Disconnected(int rc);
    void AttemptFailed(const QString& reason);
    // A failed handshake ends the attempt here: the library reports it only in its log.
    void GiveUpAttempt();
    void ScheduleRetry();
    void Problem(const QString& key, const QString& line);
    QString Where() const;

    MqttClientOptions options_;
    mosquitto* mosq_ = nullptr;
    QTimer retry_;
    int retryMs_ = kFirstRetryMs;
    bool running_ = false;
    bool connected_ = false;
    bool attempting_ = false;
    bool reported_ = false;  // this attempt's failure has had its line
    LineThrottle throttle_;
    QElapsedTimer sinceStart_;
    std::function<void(const QString&)> log_;

    // Shared with the connector and the network thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool attemptDue_ = false;
    bool haltDue_ = false;  // end the network thread of an attempt given up
    bool quit_ = false;
    bool loopRunning_ = false;  // the connector's view: a loop thread to join first
    bool loopEnded_ = false;    // the network thread saw the disconnect and ends
    std::optional<int> awaitedMid_;
    bool awaitedDone_ = false;
    std::thread connector_;
};

}  // namespace tuvik::monitor
