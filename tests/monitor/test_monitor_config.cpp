// The monitor's configuration: every refusal names its key (one table, a
// few rows also through the real program's --check-config and its exit
// status 2), the relay's listening forms, the password never printed, and
// the device id.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "TestUtil.h"
#include "monitor/DeviceId.h"
#include "monitor/MonitorConfigReader.h"

using namespace tuvik;
using namespace tuvik::monitor;
using namespace tuvik::test;

namespace {

const QByteArray kBase = "[link]\nserial = /dev/null\n[data]\ndir = /tmp/tuvik-monitor-test\n";

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

ProgramRun CheckConfig(const QString& file, const QStringList& extra = {},
                const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TUVIK_MONITOR_EXE),
            QStringList{QStringLiteral("--config"), file, QStringLiteral("--check-config")} + extra);
    p.waitForFinished(20000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

std::optional<ConfigError> ReadAll(const QByteArray& ini, const QString& set, MonitorConfig& c) {
    auto e = MonitorConfigReader::Read(ini, c);
    if (!e && !set.isEmpty()) {
        e = MonitorConfigReader::SetAssignment(set, c);
    }
    if (!e) {
        e = MonitorConfigReader::Validate(c);
    }
    return e ? e : MonitorConfigReader::ReadSecrets(c);
}

}  // namespace

TEST(MonitorConfig, EveryRefusalNamesItsKey) {
    QTemporaryDir dir;
    const QString open = dir.filePath("open-password");
    ASSERT_TRUE(WriteFile(open, "secret\n"));
    QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    struct Row {
        QByteArray ini;
        QString set;  // a --set on top
        const char* key;
        const char* what;
        bool viaProgram;
    };
    const Row rows[] = {
        {kBase + "[mqtt]\nprot = 1883\n", {}, "mqtt.prot", "unknown key", true},
        {kBase, "link.sped=9600", "link.sped", "unknown key", false},
        {kBase, "link.speed", "link.speed", "not section.name=value", false},
        {"speed = 1\n" + kBase, {}, "speed", "outside a [section]", false},
        {kBase + "[link\n", {}, "", "not a [section] line", false},
        {kBase + "[link]\nloop\n", {}, "", "not a name = value line", false},
        {kBase + "[link]\nserial = /dev/ttyS0\n", {}, "link.serial", "given twice", false},
        {kBase + "[link]\nrefresh_ms = 2\n", {}, "link.refresh_ms", "from 5 to 60000", false},
        {kBase + "[link]\nloop = 2\n", {}, "link.loop", "from 0 to 1", false},
        {kBase + "[link]\ntcp = 127.0.0.1:10001\n", {}, "link.serial", "both set", false},
        {kBase, "link.tcp=relay:70000", "link.tcp", "no port from 1 to 65535", false},
        {"[data]\ndir = /tmp\n", {}, "link.serial", "neither", true},
        {kBase + "[monitor]\ndevice_id = a b\n", {}, "monitor.device_id", "characters other", false},
        {kBase, "data.dir=relative/dir", "data.dir", "not an absolute path", false},
        {kBase + "[history]\nkeep_days = -1\n", {}, "history.keep_days", "from 0 to", false},
        {kBase + "[recordings]\nlimit_mb = 0\n", {}, "recordings.limit_mb", "from 1 to", false},
        {kBase + "[files]\nmeasurements = maybe\n", {}, "files.measurements", "neither on nor off", false},
        {kBase + "[mqtt]\nport = 0\n", {}, "mqtt.port", "from 1 to 65535", false},
        {kBase + "[mqtt]\nclient_id = a/b\n", {}, "mqtt.client_id", "+, # or /", false},
        {kBase + "[mqtt]\nca_file = /nonexistent/ca.pem\n", {}, "mqtt.ca_file", "cannot be read", false},
        {kBase + "[mqtt]\ncert_file = /dev/null\n", {}, "mqtt.key_file", "go together", false},
        {kBase + "[mqtt]\ncert_file = /dev/null\nkey_file = /dev/null\n", {}, "mqtt.ca_file",
         "needs TLS", false},
        {kBase + "[mqtt]\npassword_file = " + open.toUtf8() + "\n", {}, "mqtt.password_file",
         "without mqtt.user", false},
        {kBase + "[mqtt]\nuser = u\npassword_file = " + open.toUtf8() + "\n", {},
         "mqtt.password_file", "chmod 600", true},
        {kBase + "[mqtt]\nuser = u\npassword_file = /nonexistent\n", {}, "mqtt.password_file",
         "not a file", false},
        {kBase + "[mqtt]\ndiscovery_prefix = ha/#\n", {}, "mqtt.discovery_prefix", "not a topic", false},
        {kBase + "[relay]\nlisten = 0.0.0.0:10001\n", {}, "relay.listen", "needs relay.allow", true},
        {kBase + "[relay]\nlisten = [::ffff:10.0.0.1]:1\n", {}, "relay.listen", "needs relay.allow", false},
        {kBase + "[relay]\nlisten = localhost:10001\n", {}, "relay.listen", "not an IP address", false},
        {kBase + "[relay]\nlisten = on\nallow = 10.0.0.0/33\n", {}, "relay.allow", "neither an IP", false},
        {kBase + "[relay]\nallow = 10.0.0.300\n", {}, "relay.allow", "neither an IP", false},
    };
    MonitorConfig good;
    ASSERT_EQ(ReadAll(kBase, {}, good), std::nullopt);
    for (const Row& row : rows) {
        MonitorConfig c;
        const auto e = ReadAll(row.ini, row.set, c);
        ASSERT_TRUE(e.has_value()) << row.ini.toStdString() << row.set.toStdString();
        EXPECT_EQ(e->key, QString::fromLatin1(row.key)) << e->Text().toStdString();
        EXPECT_TRUE(e->what.contains(QLatin1String(row.what))) << e->Text().toStdString();
        if (row.viaProgram) {
            const QString file = dir.filePath("bad.conf");
            ASSERT_TRUE(WriteFile(file, row.ini));
            const ProgramRun r = CheckConfig(file);
            EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QLatin1String(row.key) + QStringLiteral(": ")))
                << r.err.toStdString();
            EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        }
    }
}

TEST(MonitorConfig, RelayListenForms) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "off"},
        {"off", "off"},
        {"on", "127.0.0.1:10001"},
        {"yes", "127.0.0.1:10001"},
        {":10005", "127.0.0.1:10005"},
        {"127.0.0.2:10006", "127.0.0.2:10006"},
        {"[::1]:10007", "[::1]:10007"},
        {"[::ffff:127.0.0.1]:10008", "[::ffff:127.0.0.1]:10008"},
    };
    for (const auto& [listen, shown] : rows) {
        MonitorConfig c;
        const auto e = ReadAll(kBase + "[relay]\nlisten = " + listen + "\n", {}, c);
        ASSERT_EQ(e, std::nullopt) << listen << ": " << e->Text().toStdString();
        EXPECT_TRUE(MonitorConfigReader::Describe(c).contains(
            QStringLiteral("relay.listen = ") + QLatin1String(shown) + u'\n'))
            << listen;
    }
    // Elsewhere with an allow list of addresses and ranges.
    MonitorConfig c;
    EXPECT_EQ(ReadAll(kBase + "[relay]\nlisten = 0.0.0.0:10001\nallow = 192.168.1.0/24, "
                              "10.1.2.3 fd00::/8\n",
                      {}, c),
              std::nullopt);
    EXPECT_EQ(c.relay.allow, QStringList({"192.168.1.0/24", "10.1.2.3", "fd00::/8"}));
}

// The password, from its file or from systemd's credential, is never printed.
TEST(MonitorConfig, CheckConfigMasksThePassword) {
    QTemporaryDir dir;
    const QString password = dir.filePath("password");
    ASSERT_TRUE(WriteFile(password, "hunter2-not-shown\n"));
    QFile::setPermissions(password, QFile::ReadOwner | QFile::WriteOwner);
    const QString conf = dir.filePath("monitor.conf");
    ASSERT_TRUE(WriteFile(conf, kBase + "[mqtt]\nhost = 127.0.0.1\nuser = burner\n"));
    ProgramRun r = CheckConfig(conf, {"--set", "mqtt.password_file=" + password});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("mqtt.user = burner\n") &&
                r.out.contains("mqtt.password = (set, not shown)\n"))
        << r.out.toStdString();
    EXPECT_FALSE((r.out + r.err).contains("hunter2")) << r.out.toStdString();

    const QString credentials = dir.filePath("credentials");
    ASSERT_TRUE(QDir().mkpath(credentials));
    ASSERT_TRUE(QFile::copy(password, credentials + "/mqtt-password"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CREDENTIALS_DIRECTORY", credentials);
    r = CheckConfig(conf, {}, env);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("mqtt.password_file = " + credentials + "/mqtt-password\n") &&
                r.out.contains("mqtt.password = (set, not shown)\n"))
        << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("hunter2"));
}

TEST(MonitorConfig, DeviceIdFromHostAndStablePortName) {
    EXPECT_EQ(ReduceDeviceId(QStringLiteral("boiler.local-usb-FTDI_FT232R_A1b2-if00:port0 ä/x")),
              QStringLiteral("boiler_local-usb-FTDI_FT232R_A1b2-if00_port0___x"));

    QTemporaryDir dir;
    const QString port = dir.filePath("ttyUSB7");
    const QString byId = dir.filePath("by-id");
    ASSERT_TRUE(WriteFile(port, {}) && QDir().mkpath(byId));
    ASSERT_TRUE(QFile::link(dir.filePath("ttyUSB6"), byId + "/usb-Other-if00-port0"));
    ASSERT_TRUE(QFile::link("../ttyUSB7", byId + "/usb-FTDI_A1-if00-port0"));
    MonitorConfig c;
    c.link.serial = port;
    EXPECT_EQ(DeviceIdFor(c, "boiler.local", byId), "boiler_local-usb-FTDI_A1-if00-port0");
    c.link.serial = byId + "/usb-FTDI_A1-if00-port0";
    EXPECT_EQ(DeviceIdFor(c, "boiler", byId), "boiler-usb-FTDI_A1-if00-port0");
    c.link.serial = dir.filePath("ttyACM0");  // not in by-id
    EXPECT_EQ(DeviceIdFor(c, "boiler", byId), "boiler-ttyACM0");
    c.link.serial.clear();
    c.link.tcp = "relay.lan:10001";
    EXPECT_EQ(DeviceIdFor(c, "boiler", byId), "boiler-relay_lan_10001");
    c.deviceId = "house-2";
    EXPECT_EQ(DeviceIdFor(c, "boiler", byId), "house-2");
}
