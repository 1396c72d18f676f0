#pragma once
// What the always-on monitor runs with: the INI file's keys (section.name),
// each with its default, after the command line has overridden them. The
// reader (MonitorConfigReader) fills it and names the first key that is
// wrong; nothing here opens a port or a connection.

#include <QString>
#include <QStringList>

#include <optional>

namespace tuvik::monitor {

struct LinkConfig {
    QString serial;      // link.serial: a port name or /dev/serial/by-id/...; empty: none
    int speed = 57600;   // link.speed
    QString tcp;         // link.tcp: host:port of a relay; empty: the serial port
    int refreshMs = 50;  // link.refresh_ms
    int loop = 1;        // link.loop: the controller's loop index (0 lambda, 1 temperature)
};

struct MqttConfig {
    QString host;              // mqtt.host; empty: no broker
    int port = 1883;           // mqtt.port (8883 is the usual TLS port; not implied)
    QString clientId;          // mqtt.client_id; empty: "tuvik-<device id>"
    int keepAliveS = 30;       // mqtt.keepalive (seconds)
    QString user;              // mqtt.user
    QString passwordFile;      // mqtt.password_file (owner-only), or the systemd credential's file
    QString password;          // read from passwordFile by the reader; never printed
    QString caFile;            // mqtt.ca_file; set: TLS
    QString certFile;          // mqtt.cert_file
    QString keyFile;           // mqtt.key_file
    bool tlsInsecure = false;  // mqtt.tls_insecure: no host-name check
    bool discovery = true;     // mqtt.discovery
    QString discoveryPrefix = QStringLiteral("homeassistant");  // mqtt.discovery_prefix
};

struct RelayConfig {
    bool on = false;  // relay.listen set
    QString host;     // from relay.listen; "127.0.0.1" when switched on bare
    quint16 port = 10001;
    QStringList allow;  // relay.allow: addresses and CIDR ranges; empty: loopback
};

struct MonitorConfig {
    static constexpr const char* kDefaultDataDir = "/var/lib/tuvik-monitor";
    LinkConfig link;
    QString deviceId;              // monitor.device_id; empty: derived (DeviceId.h)
    QString dataDir;               // data.dir; empty: $STATE_DIRECTORY, else kDefaultDataDir
    QString paramsFile;            // --params; empty: found as the desktop finds it
    int historyKeepDays = 400;     // history.keep_days
    int recordingsLimitMb = 500;   // recordings.limit_mb
    bool measurementsFile = true;  // files.measurements
    MqttConfig mqtt;
    RelayConfig relay;
};

}  // namespace tuvik::monitor
