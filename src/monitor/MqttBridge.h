#pragma once
// What the session knows, published to an MQTT broker under
// tuvik/<device id>/, with Home Assistant's discovery configs beside it.
// Retained topics (status, link, state, mode, LEDs, actuators, alarm,
// counters, identity, configs) go at QoS 1 and only on a change; the loops'
// per-second means and the burner's readings at QoS 0, not retained. After
// every (re)connect the current state goes out again, never a backlog. The
// one subscription is Home Assistant's status topic: when it says "online"
// the configs and the state are published again. Nothing that arrives is
// ever sent to the controller.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <array>
#include <map>
#include <memory>
#include <optional>

#include "monitor/MonitorConfig.h"
#include "monitor/MqttClient.h"
#include "trend/HistoryDb.h"

namespace tuvik {
class Session;
struct BurnerUsageTimes;
}  // namespace tuvik

namespace tuvik::monitor {

// A number as the C locale writes it, in the shortest form that reads back
// to the same value; "null" for what JSON cannot hold.
QByteArray NumberPayload(double v);
QByteArray NumberPayload(float v);

class MqttBridge : public QObject {
    Q_OBJECT
  public:
    // The file in the data folder that lists the discovery configs published.
    static constexpr const char* kConfigListFile = "mqtt-discovery.list";

    MqttBridge(Session& session, const MonitorConfig& config, const QString& deviceId,
               const QString& dataDir, QObject* parent = nullptr);
    // Stop() when still running.
    ~MqttBridge() override;

    // The password for mqtt.user (none: the user alone); set before Start().
    void setPassword(std::optional<QString> password) { password_ = std::move(password); }
    // Starts connecting (nothing without mqtt.host); false with *error when
    // the client refuses its options.
    bool Start(QString* error = nullptr);
    // "offline" (waited for at most half a second), then the disconnect.
    void Stop();

    QString topic(const QString& sub) const { return base_ + sub; }
    // The client while started (the log sink, the state of the connection).
    MqttClient* client() const { return client_.get(); }
    // The discovery config topics with their payloads as they stand.
    std::map<QString, QByteArray> DiscoveryConfigs() const;

  private:
    void Connected(bool on);
    void Message(const QString& topic, const QByteArray& payload);
    void PublishCurrent();
    void PublishConfigs();
    void Retain(const QString& sub, const QByteArray& payload);
    void Reading(const QString& sub, const QByteArray& payload);
    void LiveAdded(int loop, qint64 t, const std::array<float, kHistoryValues>& values);
    void CloseSecondsBefore(qint64 t);
    void ScheduleClose();
    void PublishSecond(const HistorySecond& s);
    void LoopSampled(int loop);
    void ReadingsChanged();
    void ActuatorEvent(const QString& device, const QString& activity);
    void UsageCounters(const BurnerUsageTimes& u);
    void IdentityChanged();
    void Alarm(bool on);
    QString ConfigListPath() const;

    Session& session_;
    MqttConfig mqtt_;
    int watchedLoop_;  // 1..4, the loop the entities are made for
    QString deviceId_;
    QString dataDir_;
    QString base_;  // "tuvik/<device id>/"
    std::optional<QString> password_;
    std::unique_ptr<MqttClient> client_;
    // Retained topics (below base_) as they stand; all sent again after a reconnect.
    std::map<QString, QByteArray> retained_;
    // The readings as last sent (QoS 0); sent again after a reconnect.
    std::map<QString, QByteArray> readings_;
    std::map<int, HistorySecond> open_;  // per loop, the second being summed
    // Per loop, whether it was last seen in automatic mode: every reply
    // reports the mode, and the topic is only built when it changes.
    std::map<int, bool> autoMode_;
    QTimer closeTimer_;
    bool identityKnown_ = false;
};

}  // namespace tuvik::monitor
