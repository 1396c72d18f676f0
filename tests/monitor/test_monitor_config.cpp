// The monitor's configuration: every refusal names its key (one table, a
// few rows also through the real program's --check-config and its exit
// status 2) with the relay's listening forms taken, the password never printed, and
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
    p.start(
        QStringLiteral(TUVIK_MONITOR_EXE),
        QStringList{QStringLiteral("--config"), file, QStringLiteral("--check-config")} + extra);
    p.waitForFinished(20000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
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

// A row's text starting with "--set " is a command-line override on top of kBase.
TEST(MonitorConfig, EveryRefusalNamesItsKey) {
    QTemporaryDir dir;
    const QByteArray open = dir.filePath("open-password").toUtf8();
    ASSERT_TRUE(WriteFile(open, "secret\n"));
    QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    struct Row {
        QByteArray ini;
        const char *key, *what;
        bool viaProgram = false;
    };
    const Row rows[] = {
        {"[mqtt]\nprot = 1883", "mqtt.prot", "unknown key", true},
        {"--set link.sped=9600", "link.sped", "unknown key"},
        {"--set link.speed", "link.speed", "not section.name=value"},
        {"[link\n", "", "not a [section] line"},
        {"[link]\nloop", "", "not a name = value line"},
        {"[link]\nserial = /dev/ttyS0", "link.serial", "given twice"},
        {"[link]\nrefresh_ms = 2", "link.refresh_ms", "from 5 to 60000"},
        {"[link]\nloop = 2", "link.loop", "from 0 to 1"},
        {"[link]\ntcp = 127.0.0.1:10001", "link.serial", "both set"},
        {"--set link.tcp=relay:70000", "link.tcp", "no port from 1 to 65535"},
        {"[monitor]\ndevice_id = a b", "monitor.device_id", "characters other"},
        {"--set data.dir=relative/dir", "data.dir", "not an absolute path"},
        {"[history]\nkeep_days = -1", "history.keep_days", "from 0 to"},
        {"[recordings]\nlimit_mb = 0", "recordings.limit_mb", "from 1 to"},
        {"[files]\nmeasurements = maybe", "files.measurements", "neither on nor off"},
        {"[mqtt]\nport = 0", "mqtt.port", "from 1 to 65535"},
        {"[mqtt]\nclient_id = a/b", "mqtt.client_id", "+, # or /"},
        {"[mqtt]\nca_file = /nonexistent/ca.pem", "mqtt.ca_file", "cannot be read"},
        {"[mqtt]\ncert_file = /dev/null", "mqtt.key_file", "go together"},
        {"[mqtt]\ncert_file = /dev/null\nkey_file = /dev/null", "mqtt.ca_file", "needs TLS"},
        {"[mqtt]\npassword_file = " + open, "mqtt.password_file", "without mqtt.user"},
        {"[mqtt]\nuser = u\npassword_file = " + open, "mqtt.password_file", "chmod 600", true},
        {"[mqtt]\nuser = u\npassword_file = /nonexistent", "mqtt.password_file", "not a file"},
        {"[mqtt]\ndiscovery_prefix = ha/#", "mqtt.discovery_prefix", "not a topic"},
        {"[relay]\nlisten = 0.0.0.0:10001", "relay.listen", "needs relay.allow", true},
        {"[relay]\nlisten = [::ffff:10.0.0.1]:1", "relay.listen", "needs relay.allow"},
        {"[relay]\nlisten = localhost:10001", "relay.listen", "not an IP address"},
        {"[relay]\nlisten = on\nallow = 10.0.0.0/33", "relay.allow", "prefix length"},
        {"[relay]\nallow = 10.0.0.300", "relay.allow", "10.0.0.300"},
        // Taken, as the relay's listening address it shows.
        {"[relay]\nlisten = off", nullptr, "off"},
        {"[relay]\nlisten = on", nullptr, "127.0.0.1:10001"},
        {"[relay]\nlisten = :10005", nullptr, "127.0.0.1:10005"},
        {"[relay]\nlisten = [::ffff:127.0.0.1]:8", nullptr, "[::ffff:127.0.0.1]:8"},
        {"[relay]\nlisten = 0.0.0.0:1\nallow = 10.1.2.3, fd00::/8", nullptr, "0.0.0.0:1"},
    };
    // Before any section, and no link at all: against the whole file.
    MonitorConfig c;
    EXPECT_EQ(ReadAll("speed = 1\n" + kBase, {}, c)->key, "speed");
    EXPECT_EQ(ReadAll("[data]\ndir = /tmp\n", {}, c)->what,
              "neither link.serial nor link.tcp is set");
    ASSERT_EQ(ReadAll(kBase, {}, c), std::nullopt);
    for (const Row& row : rows) {
        const bool set = row.ini.startsWith("--set ");
        const QByteArray ini = set ? kBase : kBase + row.ini + "\n";
        MonitorConfig c;
        const auto e = ReadAll(ini, set ? QString::fromUtf8(row.ini.mid(6)) : QString(), c);
        if (!row.key) {
            EXPECT_EQ(e, std::nullopt) << row.ini.toStdString() << e->Text().toStdString();
            EXPECT_TRUE(MonitorConfigReader::Describe(c).contains(
                QStringLiteral("relay.listen = ") + QLatin1String(row.what) + u'\n'));
            continue;
        }
        ASSERT_TRUE(e.has_value()) << row.ini.toStdString();
        EXPECT_EQ(e->key, QString::fromLatin1(row.key)) << e->Text().toStdString();
        EXPECT_TRUE(e->what.contains(QLatin1String(row.what))) << e->Text().toStdString();
        if (row.viaProgram) {
            ASSERT_TRUE(WriteFile(dir.filePath("bad.conf"), ini));
            const ProgramRun r = CheckConfig(dir.filePath("bad.conf"));
            EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QLatin1String(row.key) + u':') && r.out.isEmpty())
                << r.err.toStdString();
        }
    }
}

// The password, from its file or from systemd's credential, is never printed.
TEST(MonitorConfig, CheckConfigMasksThePassword) {
    QTemporaryDir dir;
    const QString password = dir.filePath("password");
    ASSERT_TRUE(WriteFile(password, "hunter2-not-shown\n"));
    QFile::setPermissions(password, QFile::ReadOwner | QFile::WriteOwner);
    const QString conf = dir.filePath("monitor.conf");
    ASSERT_TRUE(WriteFile(conf, kBase + "[mqtt]\nhost = 127.0.0.1\nuser = burner\n"));
    const auto masked = [](const ProgramRun& r, const QString& file) {
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("mqtt.password_file = " + file + "\n") &&
                    r.out.contains("mqtt.password = (set, not shown)\n") &&
                    !(r.out + r.err).contains("hunter2"))
            << r.out.toStdString();
    };
    masked(CheckConfig(conf, {"--set", "mqtt.password_file=" + password}), password);
    const QString credentials = dir.filePath("credentials");
    ASSERT_TRUE(QDir().mkpath(credentials));
    ASSERT_TRUE(QFile::copy(password, credentials + "/mqtt-password"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CREDENTIALS_DIRECTORY", credentials);
    masked(CheckConfig(conf, {}, env), credentials + "/mqtt-password");
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
