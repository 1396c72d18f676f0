#include "monitor/MqttClient.h"

#include <QFile>
#include <QtDebug>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace tuvik::monitor {

namespace {

// An attempt that has neither connected nor failed by then is given up.
constexpr int kAttemptTimeoutMs = 30000;

void InitLibrary() {
    static const int once = [] { return mosquitto_lib_init(); }();
    (void)once;
}

QByteArray Bytes(const QString& s) {
    return s.toUtf8();
}

const char* OrNull(const QByteArray& b) {
    return b.isEmpty() ? nullptr : b.constData();
}

}  // namespace

QString ReadPasswordLine(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        }
        return {};
    }
    QByteArray line = f.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r')) {
        line.chop(1);
    }
    return QString::fromUtf8(line);
}

MqttClient::MqttClient(MqttClientOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      log_([](const QString& line) { qWarning().noquote() << line; }) {
    sinceStart_.start();
    InitLibrary();
    mosq_ = mosquitto_new(Bytes(options_.clientId).constData(), true, this);
    if (mosq_) {
        mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_connect_callback_set(mosq_, &MqttClient::OnConnect);
        mosquitto_disconnect_callback_set(mosq_, &MqttClient::OnDisconnect);
        mosquitto_message_callback_set(mosq_, &MqttClient::OnMessage);
        mosquitto_publish_callback_set(mosq_, &MqttClient::OnPublish);
        mosquitto_log_callback_set(mosq_, &MqttClient::OnLog);
    }
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (attempting_) {
            // The attempt hung (a handshake that never ends): count it as failed.
            AttemptFailed(QStringLiteral("no answer"));
            return;
        }
        Attempt();
    });
}

MqttClient::~MqttClient() {
    Stop();
    if (mosq_) {
        mosquitto_destroy(mosq_);
    }
}

QString MqttClient::Where() const {
    return QStringLiteral("%1:%2").arg(options_.host).arg(options_.port);
}

bool MqttClient::Start(QString* error) {
    auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    if (!mosq_) {
        return fail(QStringLiteral("the MQTT library could not make a client"));
    }
    if (running_) {
        return true;
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (!options_.willTopic.isEmpty()) {
        rc = mosquitto_will_set(mosq_, Bytes(options_.willTopic).constData(),
                                static_cast<int>(options_.willPayload.size()),
                                options_.willPayload.constData(), 1, true);
        if (rc != MOSQ_ERR_SUCCESS) {
            return fail(QStringLiteral("last will: %1").arg(mosquitto_strerror(rc)));
        }
    }
    if (!options_.user.isEmpty()) {
        const QByteArray user = Bytes(options_.user);
        const QByteArray password = options_.password ? Bytes(*options_.password) : QByteArray();
        rc = mosquitto_username_pw_set(mosq_, user.constData(),
                                       options_.password ? password.constData() : nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            return fail(QStringLiteral("user name: %1").arg(mosquitto_strerror(rc)));
        }
    }
    if (!options_.caFile.isEmpty()) {
        const QByteArray ca = Bytes(options_.caFile);
        const QByteArray cert = Bytes(options_.certFile);
        const QByteArray key = Bytes(options_.keyFile);
        rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr, OrNull(cert), OrNull(key), nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            return fail(QStringLiteral("TLS files (%1): %2")
                            .arg(options_.caFile, QString::fromUtf8(mosquitto_strerror(rc))));
        }
        mosquitto_tls_insecure_set(mosq_, options_.tlsInsecure);
    }
    running_ = true;
    quit_ = false;
    connector_ = std::thread([this] { ConnectorMain(); });
    Attempt();
    return true;
}

void MqttClient::Attempt() {
    if (!running_ || connected_ || attempting_) {
        return;
    }
    attempting_ = true;
    reported_ = false;
    retry_.start(kAttemptTimeoutMs);
    {
        std::lock_guard lock(mutex_);
        attemptDue_ = true;
    }
    wake_.notify_all();
}

void MqttClient::ConnectorMain() {
    const QByteArray host = Bytes(options_.host);
    for (;;) {
        bool ended = false;
        bool attempt = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return attemptDue_ || haltDue_ || quit_; });
            if (quit_) {
                return;
            }
            attempt = std::exchange(attemptDue_, false);
            haltDue_ = false;
            ended = loopEnded_;
            loopEnded_ = false;
        }
        if (loopRunning_) {
            // The last attempt's network thread: ended on its own after a
            // disconnect, or in an attempt given up (a failed handshake,
            // after which the library would go on trying by itself).
            if (!ended) {
                mosquitto_disconnect(mosq_);
            }
            mosquitto_loop_stop(mosq_, !ended);
            loopRunning_ = false;
        }
        if (!attempt) {
            continue;
        }
        // The name look-up and the connect's first step happen here.
        const int rc =
            mosquitto_connect_async(mosq_, host.constData(), options_.port, options_.keepAliveS);
        if (rc != MOSQ_ERR_SUCCESS) {
            const QString reason = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(strerror(errno))
                                                        : QString::fromUtf8(mosquitto_strerror(rc));
            QMetaObject::invokeMethod(
                this, [this, reason] { AttemptFailed(reason); }, Qt::QueuedConnection);
            continue;
        }
        const int loop = mosquitto_loop_start(mosq_);
        if (loop != MOSQ_ERR_SUCCESS) {
            const QString reason = QString::fromUtf8(mosquitto_strerror(loop));
            QMetaObject::invokeMethod(
                this, [this, reason] { AttemptFailed(reason); }, Qt::QueuedConnection);
            continue;
        }
        loopRunning_ = true;
    }
}

void MqttClient::OnConnect(mosquitto* m, void* self, int rc) {
    auto* c = static_cast<MqttClient*>(self);
    if (rc != 0) {
        mosquitto_disconnect(m);  // the library would try again on its own
    }
    QMetaObject::invokeMethod(
        c, [c, rc] { c->Connected(rc); }, Qt::QueuedConnection);
}

void MqttClient::OnDisconnect(mosquitto* m, void* self, int rc) {
    auto* c = static_cast<MqttClient*>(self);
    // The library's own reconnect stops here: the next attempt is ours.
    mosquitto_disconnect(m);
    {
        std::lock_guard lock(c->mutex_);
        c->loopEnded_ = true;
    }
    QMetaObject::invokeMethod(
        c, [c, rc] { c->Disconnected(rc); }, Qt::QueuedConnection);
}

void MqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* m) {
    auto* c = static_cast<MqttClient*>(self);
    const QString topic = QString::fromUtf8(m->topic);
    const QByteArray payload(static_cast<const char*>(m->payload), m->payloadlen);
    QMetaObject::invokeMethod(
        c, [c, topic, payload] { emit c->messageArrived(topic, payload); }, Qt::QueuedConnection);
}

void MqttClient::OnPublish(mosquitto*, void* self, int mid) {
    auto* c = static_cast<MqttClient*>(self);
    std::lock_guard lock(c->mutex_);
    if (c->awaitedMid_ == mid) {
        c->awaitedDone_ = true;
        c->wake_.notify_all();
    }
}

void MqttClient::OnLog(mosquitto*, void* self, int level, const char* text) {
    const QString line = QString::fromUtf8(text);
    // A failed handshake shows only here: the library's own OpenSSL lines.
    if (!(level & MOSQ_LOG_ERR) && !line.contains(QLatin1String("OpenSSL"))) {
        return;
    }
    auto* c = static_cast<MqttClient*>(self);
    const bool tls = line.contains(QLatin1String("OpenSSL")) ||
                     line.contains(QLatin1String("TLS"), Qt::CaseInsensitive) ||
                     line.contains(QLatin1String("verification"), Qt::CaseInsensitive) ||
                     line.contains(QLatin1String("certificate"), Qt::CaseInsensitive);
    QMetaObject::invokeMethod(
        c,
        [c, line, tls] {
            if (tls) {
                c->GiveUpAttempt();
                c->Problem(QStringLiteral("tls"),
                           QStringLiteral("MQTT: TLS handshake with %1 failed: %2 "
                                          "(check mqtt.ca_file and that the broker's certificate "
                                          "names this host)")
                               .arg(c->Where(), line));
            } else {
                c->Problem(QStringLiteral("library"), QStringLiteral("MQTT: %1").arg(line));
            }
        },
        Qt::QueuedConnection);
}

void MqttClient::Connected(int rc) {
    if (!running_) {
        return;
    }
    if (rc == 0) {
        connected_ = true;
        attempting_ = false;
        retry_.stop();
        retryMs_ = kFirstRetryMs;
        qInfo().noquote() << QStringLiteral("MQTT: connected to %1").arg(Where());
        emit connectedChanged(true);
        return;
    }
    const QString why = QString::fromUtf8(mosquitto_connack_string(rc));
    if (rc == 4 || rc == 5) {
        Problem(QStringLiteral("auth"),
                QStringLiteral("MQTT: broker %1 refused the login of user \"%2\" (%3); "
                               "check mqtt.user and the password file")
                    .arg(Where(), options_.user, why));
    } else {
        Problem(QStringLiteral("refused"),
                QStringLiteral("MQTT: broker %1 refused the connection (%2)").arg(Where(), why));
    }
}

void MqttClient::Disconnected(int rc) {
    const bool was = std::exchange(connected_, false);
    if (!running_ || (!was && !attempting_)) {
        return;  // stopped, or an attempt already given up
    }
    attempting_ = false;
    if (was) {
        qInfo().noquote() << QStringLiteral("MQTT: connection to %1 lost (%2)")
                                 .arg(Where(), QString::fromUtf8(mosquitto_strerror(rc)));
        emit connectedChanged(false);
    } else if (!reported_) {
        Problem(QStringLiteral("unreachable"),
                QStringLiteral("MQTT: broker %1 not reached (%2)")
                    .arg(Where(), QString::fromUtf8(mosquitto_strerror(rc))));
    }
    ScheduleRetry();
}

void MqttClient::GiveUpAttempt() {
    if (!attempting_ || connected_) {
        return;
    }
    attempting_ = false;
    {
        std::lock_guard lock(mutex_);
        haltDue_ = true;
    }
    wake_.notify_all();
    ScheduleRetry();
}

void MqttClient::AttemptFailed(const QString& reason) {
    if (!running_ || connected_ || !attempting_) {
        return;  // stopped, or given up already (a failed handshake says so first)
    }
    attempting_ = false;
    if (!reported_) {
        Problem(QStringLiteral("unreachable"),
                QStringLiteral("MQTT: broker %1 not reached (%2)").arg(Where(), reason));
    }
    ScheduleRetry();
}

void MqttClient::ScheduleRetry() {
    retry_.start(retryMs_);
    retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
}

void MqttClient::Problem(const QString& key, const QString& line) {
    reported_ = true;  // the attempt's end needs no second line
    if (throttle_.Allow(key, sinceStart_.elapsed()) && log_) {
        log_(line);
    }
}

bool MqttClient::Publish(const QString& topic, const QByteArray& payload, int qos, bool retain) {
    if (!connected_) {
        return false;
    }
    return mosquitto_publish(mosq_, nullptr, Bytes(topic).constData(),
                             static_cast<int>(payload.size()), payload.constData(), qos,
                             retain) == MOSQ_ERR_SUCCESS;
}

bool MqttClient::Subscribe(const QString& topic, int qos) {
    if (!connected_) {
        return false;
    }
    return mosquitto_subscribe(mosq_, nullptr, Bytes(topic).constData(), qos) == MOSQ_ERR_SUCCESS;
}

void MqttClient::Stop(const QString& topic, const QByteArray& payload) {
    if (!running_) {
        return;
    }
    running_ = false;
    retry_.stop();
    if (connected_ && !topic.isEmpty()) {
        std::unique_lock lock(mutex_);
        int mid = 0;
        awaitedDone_ = false;
        if (mosquitto_publish(mosq_, &mid, Bytes(topic).constData(),
                              static_cast<int>(payload.size()), payload.constData(), 1,
                              true) == MOSQ_ERR_SUCCESS) {
            awaitedMid_ = mid;
            wake_.wait_for(lock, std::chrono::milliseconds(kStopWaitMs),
                           [this] { return awaitedDone_; });
        }
        awaitedMid_.reset();
    }
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (connector_.joinable()) {
        connector_.join();
    }
    if (loopRunning_) {
        bool ended = false;
        {
            std::lock_guard lock(mutex_);
            ended = loopEnded_;
        }
        mosquitto_disconnect(mosq_);
        // A live connection ends at once with its DISCONNECT, an ended one
        // is only joined; an attempt still under way is not waited for.
        mosquitto_loop_stop(mosq_, !connected_ && !ended);
        loopRunning_ = false;
    }
    connected_ = false;
    attempting_ = false;
}

}  // namespace tuvik::monitor
