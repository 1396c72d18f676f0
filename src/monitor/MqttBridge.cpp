#include "monitor/MqttBridge.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QtDebug>

#include <charconv>
#include <cmath>

#include "burner/BurnerIdentity.h"
#include "burner/BurnerMeasurements.h"
#include "burner/BurnerTables.h"
#include "shell/Session.h"

namespace tuvik::monitor {

namespace {

template <class T>
QByteArray Shortest(T v) {
    if (!std::isfinite(v)) {
        return QByteArrayLiteral("null");
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QByteArray(buf, static_cast<int>(r.ptr - buf));
}

QByteArray OnOff(bool on) {
    return on ? QByteArrayLiteral("ON") : QByteArrayLiteral("OFF");
}

// How Home Assistant is told to take an entity.
enum class Kind { Temperature, Measurement, Plain, Duration, Binary, Problem, Enum, PerSecond };

struct Entity {
    QString key;  // unique_id is <device id>_<key>
    QString name;
    QString topic;  // below tuvik/<device id>/
    Kind kind;
};

constexpr int kLeds = BurnerMeasurements::kLeds;
constexpr int kActuators = 5;  // LEDs 0..4 are the actuators of the burner's events

struct LedName {
    const char* key;
    const char* name;
};
constexpr std::array<LedName, kLeds> kLedNames = {{{"grate", "Grate"},
                                                   {"fuel_auger", "Fuel auger"},
                                                   {"ignition", "Flame ignition"},
                                                   {"startup_heater", "Startup heater"},
                                                   {"air_blower", "Air blower"},
                                                   {"led_5", "LED 5"},
                                                   {"led_6", "LED 6"},
                                                   {"led_7", "LED 7"},
                                                   {"state_led", "State LED"},
                                                   {"error_led", "Error LED"}}};

QString LedTopic(int i) {
    return QStringLiteral("burner/%1/%2")
        .arg(i < kActuators ? QStringLiteral("actuator") : QStringLiteral("led"),
             QLatin1String(kLedNames[static_cast<size_t>(i)].key));
}

constexpr std::array<const char*, BurnerUsageTimes::kCounters> kUsageKeys = {"power_on", "startup",
                                                                             "run", "idle", "off"};
constexpr std::array<const char*, BurnerUsageTimes::kCounters> kUsageNames = {
    "Power on time", "Startup time", "Run time", "Idle time", "OFF time"};

// The loop values in the history's column order, as topic and name.
constexpr std::array<const char*, kHistoryValues> kLoopTopics = {"measurement", "setpoint",
                                                                 "output", "forward"};
constexpr std::array<const char*, kHistoryValues> kLoopNames = {"measurement", "setpoint", "output",
                                                                "forward"};

QString LoopTopic(int loop, const char* value) {
    return QStringLiteral("loop/%1/%2").arg(loop + 1).arg(QLatin1String(value));
}

std::vector<Entity> Entities(int watchedLoop) {
    std::vector<Entity> e;
    const int index = watchedLoop - 1;
    for (int v = 0; v < kHistoryValues; ++v) {
        e.push_back({QStringLiteral("loop%1_%2").arg(watchedLoop).arg(kLoopTopics[v]),
                     QStringLiteral("Loop %1 %2").arg(watchedLoop).arg(kLoopNames[v]),
                     LoopTopic(index, kLoopTopics[v]), Kind::PerSecond});
    }
    e.push_back({QStringLiteral("loop%1_mode").arg(watchedLoop),
                 QStringLiteral("Loop %1 mode").arg(watchedLoop), LoopTopic(index, "mode"),
                 Kind::Plain});
    const auto reading = [&e](const char* key, const char* name, Kind kind) {
        e.push_back({QLatin1String(key), QLatin1String(name),
                     QStringLiteral("burner/") + QLatin1String(key), kind});
    };
    reading("tgas", "Tgas", Kind::Temperature);
    reading("lambda", "O2", Kind::Measurement);
    reading("heater", "Theater", Kind::Temperature);
    reading("twater", "Twater", Kind::Temperature);
    reading("vfd", "VFD", Kind::Measurement);
    reading("tdevice", "Tdevice", Kind::Measurement);
    reading("ir_signal", "IR signal", Kind::Measurement);
    reading("device_state", "Device state", Kind::Plain);
    reading("state", "Program state", Kind::Enum);
    for (int i = 0; i < kLeds; ++i) {
        e.push_back({QLatin1String(kLedNames[static_cast<size_t>(i)].key),
                     QLatin1String(kLedNames[static_cast<size_t>(i)].name), LedTopic(i),
                     Kind::Binary});
    }
    for (size_t k = 0; k < kUsageKeys.size(); ++k) {
        e.push_back(
            {QStringLiteral("usage_") + QLatin1String(kUsageKeys[k]), QLatin1String(kUsageNames[k]),
             QStringLiteral("burner/usage/") + QLatin1String(kUsageKeys[k]), Kind::Duration});
    }
    e.push_back(
        {QStringLiteral("alarm"), QStringLiteral("Alarm"), QStringLiteral("alarm"), Kind::Problem});
    e.push_back({QStringLiteral("alarm_text"), QStringLiteral("Alarm text"),
                 QStringLiteral("alarm/text"), Kind::Plain});
    e.push_back({QStringLiteral("identity"), QStringLiteral("Identity"), QStringLiteral("identity"),
                 Kind::Plain});
    return e;
}

// The program states a state byte can name, trimmed, each once.
QJsonArray StateOptions() {
    QJsonArray options;
    QSet<QString> seen;
    for (int i = 0; i < 256; ++i) {
        const QString name = StateNames()[static_cast<size_t>(i)].trimmed();
        if (!seen.contains(name)) {
            seen.insert(name);
            options.append(name);
        }
    }
    return options;
}

QByteArray StateText(uint8_t state) {
    return StateNames()[state].trimmed().toUtf8();
}

const QByteArray kAlarmOnText = QByteArrayLiteral("Controller alarm on");
const QByteArray kAlarmOffText = QByteArrayLiteral("No alarm");

}  // namespace

QByteArray NumberPayload(double v) {
    return Shortest(v);
}

QByteArray NumberPayload(float v) {
    return Shortest(v);
}

MqttBridge::MqttBridge(Session& session, const MonitorConfig& config, const QString& deviceId,
                       const QString& dataDir, QObject* parent)
    : QObject(parent),
      session_(session),
      mqtt_(config.mqtt),
      watchedLoop_(config.link.loop),
      deviceId_(deviceId),
      dataDir_(dataDir),
      base_(QStringLiteral("tuvik/%1/").arg(deviceId)) {
    closeTimer_.setSingleShot(true);
    connect(&closeTimer_, &QTimer::timeout, this, [this] {
        CloseSecondsBefore(session_.history().nowMs() / 1000);
        ScheduleClose();
    });
    connect(&session_.history(), &HistoryStore::liveAdded, this, &MqttBridge::LiveAdded);
    ReplyDispatcher& d = session_.dispatcher();
    connect(&d, &ReplyDispatcher::liveSampled, this, &MqttBridge::LoopSampled);
    connect(&d, &ReplyDispatcher::alarmShown, this, &MqttBridge::Alarm);
    connect(&d, &ReplyDispatcher::usageCounters, this, &MqttBridge::UsageCounters);
    connect(&d, &ReplyDispatcher::actuatorEvent, this,
            [this](const QString& device, const QString& activity, const QString&, const QString&) {
                ActuatorEvent(device, activity);
            });
    BurnerModel& burner = session_.burner();
    connect(&burner, &BurnerModel::readingsChanged, this, &MqttBridge::ReadingsChanged);
    connect(&burner, &BurnerModel::identityChanged, this, &MqttBridge::IdentityChanged);
    connect(&session_.ctx(), &AppContext::linkConnectedChanged, this, [this](bool up) {
        Retain(QStringLiteral("link"), up ? QByteArrayLiteral("up") : QByteArrayLiteral("down"));
    });
    Retain(QStringLiteral("link"),
           session_.ctx().LinkConnected() ? QByteArrayLiteral("up") : QByteArrayLiteral("down"));
    Retain(QStringLiteral("alarm"), OnOff(d.alarm()));
    Retain(QStringLiteral("alarm/text"), d.alarm() ? kAlarmOnText : kAlarmOffText);
    IdentityChanged();
    ReadingsChanged();
}

MqttBridge::~MqttBridge() {
    Stop();
}

bool MqttBridge::Start(QString* error) {
    if (mqtt_.host.isEmpty() || client_) {
        return true;
    }
    MqttClientOptions o;
    o.host = mqtt_.host;
    o.port = mqtt_.port;
    o.clientId = mqtt_.clientId.isEmpty() ? QStringLiteral("tuvik-") + deviceId_ : mqtt_.clientId;
    o.keepAliveS = mqtt_.keepAliveS;
    o.user = mqtt_.user;
    o.password = password_;
    o.caFile = mqtt_.caFile;
    o.certFile = mqtt_.certFile;
    o.keyFile = mqtt_.keyFile;
    o.tlsInsecure = mqtt_.tlsInsecure;
    o.willTopic = topic(QStringLiteral("status"));
    o.willPayload = QByteArrayLiteral("offline");
    client_ = std::make_unique<MqttClient>(std::move(o));
    connect(client_.get(), &MqttClient::connectedChanged, this, &MqttBridge::Connected);
    connect(client_.get(), &MqttClient::messageArrived, this, &MqttBridge::Message);
    if (!client_->Start(error)) {
        client_.reset();
        return false;
    }
    return true;
}

void MqttBridge::Stop() {
    if (!client_) {
        return;
    }
    client_->Stop(topic(QStringLiteral("status")), QByteArrayLiteral("offline"));
    client_.reset();
}

void MqttBridge::Connected(bool on) {
    if (!on) {
        return;
    }
    client_->Publish(topic(QStringLiteral("status")), QByteArrayLiteral("online"), 1, true);
    PublishConfigs();
    if (mqtt_.discovery) {
        client_->Subscribe(mqtt_.discoveryPrefix + QStringLiteral("/status"), 1);
    }
    PublishCurrent();
}

void MqttBridge::Message(const QString& topic, const QByteArray& payload) {
    // Home Assistant (re)started: it takes the configs and the state again.
    if (mqtt_.discovery && topic == mqtt_.discoveryPrefix + QStringLiteral("/status") &&
        payload.trimmed() == "online") {
        PublishConfigs();
        PublishCurrent();
    }
}

void MqttBridge::PublishCurrent() {
    for (const auto& [sub, payload] : retained_) {
        client_->Publish(topic(sub), payload, 1, true);
    }
    for (const auto& [sub, payload] : readings_) {
        client_->Publish(topic(sub), payload, 0, false);
    }
}

std::map<QString, QByteArray> MqttBridge::DiscoveryConfigs() const {
    std::map<QString, QByteArray> configs;
    QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("tuvik_") + deviceId_}},
        {QStringLiteral("name"), QStringLiteral("Flamora burner ") + deviceId_},
        {QStringLiteral("manufacturer"), QStringLiteral("Emberkin")}};
    const BurnerIdentity& id = session_.burner().identity();
    if (identityKnown_) {
        device[QStringLiteral("model")] =
            QStringLiteral("FlamoraBurner devType:%1").arg(id.BurnerDevType);
        device[QStringLiteral("sw_version")] = QString::fromUtf8(NumberPayload(id.BurnerHwVersion));
        device[QStringLiteral("hw_version")] = QStringLiteral("feat %1").arg(id.FlamoraFeatures);
    }
    const QJsonArray availability{
        QJsonObject{{QStringLiteral("topic"), topic(QStringLiteral("status"))},
                    {QStringLiteral("payload_available"), QStringLiteral("online")},
                    {QStringLiteral("payload_not_available"), QStringLiteral("offline")}},
        QJsonObject{{QStringLiteral("topic"), topic(QStringLiteral("link"))},
                    {QStringLiteral("payload_available"), QStringLiteral("up")},
                    {QStringLiteral("payload_not_available"), QStringLiteral("down")}}};
    for (const Entity& e : Entities(watchedLoop_)) {
        QJsonObject c{{QStringLiteral("name"), e.name},
                      {QStringLiteral("unique_id"), deviceId_ + QLatin1Char('_') + e.key},
                      {QStringLiteral("state_topic"), topic(e.topic)},
                      {QStringLiteral("availability"), availability},
                      {QStringLiteral("availability_mode"), QStringLiteral("all")},
                      {QStringLiteral("device"), device}};
        const bool binary = e.kind == Kind::Binary || e.kind == Kind::Problem;
        switch (e.kind) {
            case Kind::Temperature:
                c[QStringLiteral("device_class")] = QStringLiteral("temperature");
                c[QStringLiteral("unit_of_measurement")] = QStringLiteral("°C");
                c[QStringLiteral("state_class")] = QStringLiteral("measurement");
                break;
            case Kind::PerSecond:
                c[QStringLiteral("value_template")] = QStringLiteral("{{ value_json.v }}");
                c[QStringLiteral("state_class")] = QStringLiteral("measurement");
                break;
            case Kind::Measurement:
                c[QStringLiteral("state_class")] = QStringLiteral("measurement");
                break;
            case Kind::Duration:
                c[QStringLiteral("device_class")] = QStringLiteral("duration");
                c[QStringLiteral("unit_of_measurement")] = QStringLiteral("min");
                c[QStringLiteral("state_class")] = QStringLiteral("total_increasing");
                break;
            case Kind::Problem:
                c[QStringLiteral("device_class")] = QStringLiteral("problem");
                break;
            case Kind::Enum:
                c[QStringLiteral("device_class")] = QStringLiteral("enum");
                c[QStringLiteral("options")] = StateOptions();
                break;
            case Kind::Binary:
            case Kind::Plain:
                break;
        }
        if (binary) {
            c[QStringLiteral("payload_on")] = QStringLiteral("ON");
            c[QStringLiteral("payload_off")] = QStringLiteral("OFF");
        }
        const QString config =
            QStringLiteral("%1/%2/%3/%4/config")
                .arg(mqtt_.discoveryPrefix,
                     binary ? QStringLiteral("binary_sensor") : QStringLiteral("sensor"), deviceId_,
                     e.key);
        configs[config] = QJsonDocument(c).toJson(QJsonDocument::Compact);
    }
    return configs;
}

QString MqttBridge::ConfigListPath() const {
    return QDir(dataDir_).filePath(QLatin1String(kConfigListFile));
}

void MqttBridge::PublishConfigs() {
    if (!client_ || !client_->connected()) {
        return;
    }
    const std::map<QString, QByteArray> configs =
        mqtt_.discovery ? DiscoveryConfigs() : std::map<QString, QByteArray>{};
    QStringList listed;
    {
        QFile f(ConfigListPath());
        if (f.open(QIODevice::ReadOnly)) {
            listed = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
    }
    // What an earlier run published and this one does not goes away.
    for (const QString& old : listed) {
        if (!configs.count(old)) {
            client_->Publish(old, QByteArray(), 1, true);
        }
    }
    QByteArray list;
    for (const auto& [t, payload] : configs) {
        client_->Publish(t, payload, 1, true);
        list += t.toUtf8() + '\n';
    }
    QSaveFile f(ConfigListPath());
    if (!f.open(QIODevice::WriteOnly) || f.write(list) != list.size() || !f.commit()) {
        qWarning().noquote() << QStringLiteral(
                                    "MQTT: cannot keep the list of discovery configs in %1")
                                    .arg(ConfigListPath());
    }
}

void MqttBridge::Retain(const QString& sub, const QByteArray& payload) {
    auto it = retained_.find(sub);
    if (it != retained_.end() && it->second == payload) {
        return;
    }
    retained_[sub] = payload;
    if (client_) {
        client_->Publish(topic(sub), payload, 1, true);
    }
}

void MqttBridge::Reading(const QString& sub, const QByteArray& payload) {
    auto it = readings_.find(sub);
    if (it != readings_.end() && it->second == payload) {
        return;
    }
    readings_[sub] = payload;
    if (client_) {
        client_->Publish(topic(sub), payload, 0, false);
    }
}

void MqttBridge::LiveAdded(int loop, qint64 t, const std::array<float, kHistoryValues>& values) {
    // The same one-second close as the history's: a sample of a later second
    // closes the one open, and so does the timer once its second is over.
    HistorySecond& s = open_[loop];
    if (s.n > 0 && s.t != t) {
        PublishSecond(s);
        s = HistorySecond{};
    }
    if (s.n == 0) {
        s.t = t;
        s.loop = loop;
    }
    s.Add(values);
    if (!closeTimer_.isActive()) {
        ScheduleClose();
    }
}

void MqttBridge::ScheduleClose() {
    if (open_.empty()) {
        return;
    }
    const qint64 now = session_.history().nowMs();
    closeTimer_.start(static_cast<int>(1000 - ((now % 1000) + 1000) % 1000) + 5);
}

void MqttBridge::CloseSecondsBefore(qint64 t) {
    for (auto it = open_.begin(); it != open_.end();) {
        if (it->second.n > 0 && it->second.t < t) {
            PublishSecond(it->second);
            it = open_.erase(it);
        } else {
            ++it;
        }
    }
}

void MqttBridge::PublishSecond(const HistorySecond& s) {
    if (!client_ || s.n == 0) {
        return;
    }
    for (int v = 0; v < kHistoryValues; ++v) {
        const QByteArray json =
            "{\"t\":" + QByteArray::number(s.t) + ",\"v\":" + NumberPayload(s.Mean(v)) + '}';
        client_->Publish(topic(LoopTopic(s.loop, kLoopTopics[static_cast<size_t>(v)])), json, 0,
                         false);
    }
}

void MqttBridge::LoopSampled(int loop) {
    const clsPID* l = session_.loops().at(loop);
    if (!l) {
        return;
    }
    const bool automatic = l->AutoMode();
    const auto [it, added] = autoMode_.try_emplace(loop, automatic);
    if (!added && it->second == automatic) {
        return;
    }
    it->second = automatic;
    Retain(LoopTopic(loop, "mode"),
           automatic ? QByteArrayLiteral("auto") : QByteArrayLiteral("manual"));
}

void MqttBridge::ReadingsChanged() {
    const BurnerMeasurements& m = session_.burner().readings();
    const auto reading = [this](const char* key, const QByteArray& payload) {
        Reading(QStringLiteral("burner/") + QLatin1String(key), payload);
    };
    if (m.tgas) {
        reading("tgas", NumberPayload(*m.tgas));
    }
    if (m.lambda) {
        reading("lambda", NumberPayload(*m.lambda));
    }
    if (m.heaterTemp) {
        reading("heater", QByteArray::number(*m.heaterTemp));
    }
    if (m.twaterTenths) {
        reading("twater", NumberPayload(*m.twaterTenths / 10.0));
    }
    if (m.vfd) {
        reading("vfd", QByteArray::number(*m.vfd));
    }
    if (m.tdevice) {
        reading("tdevice", QByteArray::number(*m.tdevice));
    }
    if (m.irSignal) {
        reading("ir_signal", QByteArray::number(*m.irSignal));
    }
    if (m.deviceState) {
        reading("device_state", QByteArray::number(*m.deviceState));
    }
    if (m.progState) {
        Retain(QStringLiteral("burner/state"), StateText(*m.progState));
    }
    if (const auto leds = m.Leds()) {
        for (int i = 0; i < kLeds; ++i) {
            Retain(LedTopic(i), OnOff((*leds)[static_cast<size_t>(i)] != LedState::Grey));
        }
    }
}

void MqttBridge::ActuatorEvent(const QString& device, const QString& activity) {
    // Pushed by the burner as it happens, ahead of the next measurement poll.
    for (int i = 0; i < kActuators; ++i) {
        if (device == ActivityNames()[static_cast<size_t>(i)]) {
            Retain(LedTopic(i), OnOff(activity.trimmed() == QLatin1String("started")));
            return;
        }
    }
}

void MqttBridge::UsageCounters(const BurnerUsageTimes& u) {
    // A reply cut short, or a counter of 0, would read as a meter reset.
    for (const auto& minutes : u.minutes) {
        if (!minutes) {
            return;
        }
    }
    for (size_t k = 0; k < u.minutes.size(); ++k) {
        if (*u.minutes[k] > 0) {
            Retain(QStringLiteral("burner/usage/") + QLatin1String(kUsageKeys[k]),
                   QByteArray::number(*u.minutes[k]));
        }
    }
}

void MqttBridge::IdentityChanged() {
    const BurnerModel& burner = session_.burner();
    if (!burner.identified()) {
        return;
    }
    const QByteArray title = IdentificationTitle(burner.identity()).toUtf8();
    const bool changed = !identityKnown_ || retained_[QStringLiteral("identity")] != title;
    identityKnown_ = true;
    Retain(QStringLiteral("identity"), title);
    if (changed) {
        PublishConfigs();  // the device block names the model and versions now
    }
}

void MqttBridge::Alarm(bool on) {
    Retain(QStringLiteral("alarm"), OnOff(on));
    Retain(QStringLiteral("alarm/text"), on ? kAlarmOnText : kAlarmOffText);
}

}  // namespace tuvik::monitor
