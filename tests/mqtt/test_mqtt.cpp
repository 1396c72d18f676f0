// The MQTT side against Debian's mosquitto, started here on free loopback
// ports (a password listener, a TLS one with a certificate for 127.0.0.1 and
// one with a wrong name), with the session polling tuvik-sim over a
// pseudo-terminal and mosquitto_sub (a persistent QoS 1 session) collecting
// what the broker passes on.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <pwd.h>
#include <unistd.h>

#include <memory>

#include "BurnerParams.h"
#include "ScratchSession.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "monitor/MqttBridge.h"
#include "shell/Session.h"

using namespace tuvik;
using namespace tuvik::monitor;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

const QString kId = QStringLiteral("boiler-1");
const QString kUser = QStringLiteral("tuvik"), kPassword = QStringLiteral("s3cret pass");

bool RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(20000) && p.exitCode() == 0;
}

struct Message {
    QString topic;
    QByteArray payload;
};

class Mqtt : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFile(dir.filePath("PARAMS.h"), sim::ParamsHeaderText()));
        MakeBroker();
        StartBroker();
        collector.setProgram(QStringLiteral("mosquitto_sub"));
        collector.setArguments({"-h", "127.0.0.1", "-p", QString::number(ports[0]), "-u", kUser,
                                "-P", kPassword, "-c", "-i", "collector", "-q", "1", "-t", "#",
                                "-F", "%t|%p"});
        QObject::connect(&collector, &QProcess::readyReadStandardOutput, [this] {
            while (collector.canReadLine()) {
                const QByteArray line = collector.readLine().chopped(1);
                const qsizetype bar = line.indexOf('|');
                got.push_back({QString::fromUtf8(line.left(bar)), line.mid(bar + 1)});
            }
        });
        collector.start();
        ASSERT_TRUE(collector.waitForStarted());

        sim::SimServerOptions o;
        o.ptyLink = dir.filePath("tty");
        o.tickMs = 10;
        sim = std::make_unique<sim::SimServer>(o);
        ASSERT_TRUE(sim->Start());
        session = ScratchSession(dir.path());
        session->Start();
        session->loops().InitialiseStartupLoops();
        session->loops().SetSelectedIndex(0);
        session->connection().setTexts(
            {sim->PtyLink(), QStringLiteral("57600"), QStringLiteral("50")});
        config.mqtt.host = QStringLiteral("127.0.0.1");
        config.mqtt.port = ports[0];
        config.mqtt.user = kUser;
    }
    void TearDown() override {
        bridge.reset();
        session.reset();
        collector.kill();
        collector.waitForFinished();
        broker.kill();
        broker.waitForFinished();
    }
    // Ports: the password listener, TLS with the right name, TLS with a wrong one.
    void MakeBroker() {
        QTcpServer probes[3];
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(probes[i].listen(QHostAddress::LocalHost));
            ports[i] = probes[i].serverPort();
        }
        const QString ssl = QStringLiteral("openssl");
        const QStringList ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                "-nodes"};
        ASSERT_TRUE(RunTool(
            ssl, QStringList{"req", "-x509", "-days", "2", "-subj", "/CN=test CA", "-keyout",
                             dir.filePath("ca.key"), "-out", dir.filePath("ca.crt")} +
                     ec));
        for (const auto& [name, san] :
             {std::pair("good", "IP:127.0.0.1"), std::pair("wrong", "DNS:wrong.example")}) {
            const QString base = dir.filePath(QLatin1String(name));
            ASSERT_TRUE(WriteFile(base + ".ext", QByteArray("subjectAltName=") + san));
            ASSERT_TRUE(RunTool(ssl, QStringList{"req", "-subj", "/CN=broker", "-keyout",
                                                 base + ".key", "-out", base + ".csr"} +
                                         ec));
            ASSERT_TRUE(RunTool(
                ssl, {"x509", "-req", "-days", "2", "-in", base + ".csr", "-CA",
                      dir.filePath("ca.crt"), "-CAkey", dir.filePath("ca.key"), "-CAcreateserial",
                      "-extfile", base + ".ext", "-out", base + ".crt"}));
        }
        ASSERT_TRUE(
            RunTool("mosquitto_passwd", {"-c", "-b", dir.filePath("passwd"), kUser, kPassword}));
        const QString conf = QStringLiteral(
            "per_listener_settings true\npersistence false\nlog_type error\nlog_type warning\nuser "
            "%1\n"
            "listener %2 127.0.0.1\nallow_anonymous false\npassword_file %5/passwd\n"
            "listener %3 127.0.0.1\nallow_anonymous true\ncafile %5/ca.crt\ncertfile "
            "%5/good.crt\nkeyfile %5/good.key\n"
            "listener %4 127.0.0.1\nallow_anonymous true\ncafile %5/ca.crt\ncertfile "
            "%5/wrong.crt\nkeyfile %5/wrong.key\n");
        ASSERT_TRUE(WriteFile(dir.filePath("mosquitto.conf"),
                              conf.arg(QString::fromLocal8Bit(getpwuid(geteuid())->pw_name))
                                  .arg(ports[0])
                                  .arg(ports[1])
                                  .arg(ports[2])
                                  .arg(dir.path())
                                  .toUtf8()));
    }
    void StartBroker() {
        broker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        broker.start(QStringLiteral("/usr/sbin/mosquitto"), {"-c", dir.filePath("mosquitto.conf")});
        ASSERT_TRUE(broker.waitForStarted());
        ASSERT_TRUE(WaitUntil([this] {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, ports[0]);
            return s.waitForConnected(200);
        }));
    }
    void StartBridge(const QString& password) {
        bridge = std::make_unique<MqttBridge>(*session, config, kId, dir.path());
        bridge->setPassword(password);
        QString error;
        ASSERT_TRUE(bridge->Start(&error)) << error.toStdString();
        bridge->client()->setLog([this](const QString& line) { lines << line; });
    }
    // A topic below tuvik/<id>/, or one given whole.
    static QString Full(const QString& topic) {
        const bool whole = topic.startsWith("homeassistant/") || topic.startsWith("tuvik/");
        return whole ? topic : "tuvik/" + kId + '/' + topic;
    }
    // The last payload that arrived on the topic; none yet: empty.
    std::optional<QByteArray> Last(const QString& topic) const {
        const auto it = std::find_if(got.rbegin(), got.rend(),
                                     [t = Full(topic)](const Message& m) { return m.topic == t; });
        return it == got.rend() ? std::nullopt : std::optional(it->payload);
    }
    // The payload on the topic in a message from index `from` on (a pushed
    // change may be polled back before it is looked for).
    bool Arrives(const QString& topic, const QByteArray& payload, size_t from = 0) {
        return WaitUntil(
            [&, t = Full(topic)] {
                return std::any_of(got.begin() + qsizetype(from), got.end(), [&](const Message& m) {
                    return m.topic == t && m.payload == payload;
                });
            },
            20s);
    }

    QTemporaryDir dir;
    quint16 ports[3] = {};
    QProcess broker, collector;
    std::vector<Message> got;
    std::unique_ptr<sim::SimServer> sim;
    std::unique_ptr<Session> session;
    MonitorConfig config;
    std::unique_ptr<MqttBridge> bridge;
    QStringList lines;
};

}  // namespace

TEST_F(Mqtt, PublishesTheBurnerWithDiscoveryAndComesBackAfterTheBrokerRestarts) {
    const SeparatorGuard comma(QLatin1Char(','));
    StartBridge(kPassword);
    session->connection().Toggle();
    ASSERT_TRUE(Arrives("link", "up"));
    ASSERT_TRUE(WaitUntil([&] { return Last("identity") && Last("burner/usage/run"); }, 30s));
    const std::map<QString, QByteArray> configs = bridge->DiscoveryConfigs();
    // Every config as published, valid, and pointing at a topic that carries values.
    struct Expect {
        const char *key, *deviceClass, *unit, *stateClass;
    };
    const Expect kinds[] = {{"tgas", "temperature", "°C", "measurement"},
                            {"loop1_measurement", "", "", "measurement"},
                            {"ir_signal", "", "", "measurement"},
                            {"usage_run", "duration", "min", "total_increasing"},
                            {"alarm", "problem", "", ""},
                            {"state", "enum", "", ""}};
    int checked = 0;
    for (const auto& [topic, payload] : configs) {
        ASSERT_TRUE(Arrives(topic, payload)) << topic.toStdString();
        const QJsonObject c = QJsonDocument::fromJson(payload).object();
        const QString key = c["unique_id"].toString().mid(kId.size() + 1);
        EXPECT_EQ(c["unique_id"].toString(), kId + '_' + key);
        EXPECT_FALSE(c["name"].toString().isEmpty());
        EXPECT_EQ(c["availability_mode"].toString(), "all");
        EXPECT_EQ(c["availability"].toArray().size(), 2);
        EXPECT_EQ(c["device"]["identifiers"].toArray().size(), 1);
        EXPECT_EQ(c["device"]["sw_version"].toString(), "1.506");
        const QString state = c["state_topic"].toString();
        EXPECT_TRUE(WaitUntil([&] { return Last(state).has_value(); }, 15s)) << state.toStdString();
        // Numbers in the C locale, whatever the program's decimal separator.
        const QByteArray value = Last(state).value_or("");
        bool number = true;
        if (c.contains("value_template")) {
            number = QJsonDocument::fromJson(value)["v"].isDouble();
        } else if (c.contains("state_class")) {
            value.toDouble(&number);
        }
        EXPECT_TRUE(number && !value.isEmpty()) << state.toStdString() << " " << value.data();
        for (const Expect& e : kinds) {
            if (key == e.key) {
                ++checked;
                EXPECT_EQ(c["device_class"].toString(), e.deviceClass) << e.key;
                EXPECT_EQ(c["unit_of_measurement"].toString(), e.unit) << e.key;
                EXPECT_EQ(c["state_class"].toString(), e.stateClass) << e.key;
            }
        }
        if (key == "state") {
            EXPECT_TRUE(c["options"].toArray().contains(QString::fromUtf8(value)));
            EXPECT_TRUE(c["options"].toArray().contains("Error_state"));
        }
    }
    EXPECT_EQ(checked, std::size(kinds));

    // Pushed by the device: the alarm, an actuator, then a measurement with
    // the error state, the grate and the error LED.
    size_t from = got.size();
    sim->PushReply(0x94, std::vector<uint8_t>{1});
    EXPECT_TRUE(Arrives("alarm", "ON", from) && Arrives("alarm/text", "Controller alarm on", from));
    const bool air = Last("burner/actuator/air_blower") == "ON";
    from = got.size();
    sim->PushReply(0x8C, std::vector<uint8_t>{4, uint8_t(air ? 0x00 : 0x80), 1, 0, 0});
    EXPECT_TRUE(Arrives("burner/actuator/air_blower", air ? "OFF" : "ON", from));
    std::vector<uint8_t> m(17, 0);
    m[14] = 0x01, m[15] = 0x02, m[16] = 99;
    from = got.size();
    sim->PushReply(0x97, m);
    EXPECT_TRUE(Arrives("burner/state", "Error_state", from) &&
                Arrives("burner/led/error_led", "ON", from));

    // Each second's means are the history's row for that second, exactly.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return std::count_if(got.begin(), got.end(), [](const Message& m) {
                       return m.topic.endsWith("/loop/1/forward");
                   }) >= 5;
        },
        20s));
    session->history().Sync();
    HistoryDb reader(QStringLiteral("mqtt"));
    ASSERT_EQ(reader.OpenForReading(session->history().databasePath()), QString());
    QSqlQuery q(reader.database());
    const std::map<QString, QString> columns = {
        {"measurement", "meas"}, {"setpoint", "sp"}, {"output", "out"}, {"forward", "fw"}};
    int seconds = 0;
    for (const Message& msg : got) {
        const auto column = columns.find(msg.topic.section('/', -1));
        if (!msg.topic.startsWith(Full("loop/1/")) || column == columns.end()) {
            continue;
        }
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT %1_avg FROM sec WHERE loop = 0 AND t = %2")
                               .arg(column->second)
                               .arg(QJsonDocument::fromJson(msg.payload)["t"].toInteger())));
        ASSERT_TRUE(q.next()) << msg.payload.toStdString();
        EXPECT_EQ(std::strtod(msg.payload.mid(msg.payload.indexOf("\"v\":") + 4).data(), nullptr),
                  q.value(0).toDouble())
            << msg.payload.toStdString();
        ++seconds;
    }
    EXPECT_GE(seconds, 4 * 5);

    // Retained: the state and the configs, never the per-second values or the readings.
    QProcess retained;
    retained.start("mosquitto_sub",
                   {"-h", "127.0.0.1", "-p", QString::number(ports[0]), "-u", kUser, "-P",
                    kPassword, "-t", "#", "--retained-only", "-W", "2", "-F", "%t"});
    ASSERT_TRUE(retained.waitForFinished(10000));
    const QString kept = QString::fromUtf8(retained.readAllStandardOutput());
    for (const char* t :
         {"/status\n", "/link\n", "/alarm/text\n", "/burner/state\n", "/burner/led/error_led\n",
          "/burner/usage/run\n", "/loop/1/mode\n", "/identity\n", "/tgas/config\n"}) {
        EXPECT_TRUE(kept.contains(t)) << t;
    }
    EXPECT_FALSE(kept.contains("/loop/1/measurement\n") || kept.contains("/burner/tgas\n"));

    // Home Assistant restarted: the configs again.
    got.clear();
    ASSERT_TRUE(
        RunTool("mosquitto_pub", {"-h", "127.0.0.1", "-p", QString::number(ports[0]), "-u", kUser,
                                  "-P", kPassword, "-t", "homeassistant/status", "-m", "online"}));
    EXPECT_TRUE(Arrives(configs.begin()->first, configs.begin()->second));

    // The broker loses everything: the configs and the state come back.
    broker.kill();
    broker.waitForFinished();
    got.clear();
    StartBroker();
    for (const auto& [topic, payload] : configs) {
        EXPECT_TRUE(Arrives(topic, payload)) << topic.toStdString();
    }
    EXPECT_TRUE(Arrives("status", "online") && Arrives("link", "up") && Arrives("alarm", "ON") &&
                Last("burner/state") && Last("identity") && Last("burner/usage/run"));

    // A clean stop says "offline"; a monitor with discovery off removes the configs.
    bridge->Stop();
    EXPECT_TRUE(Arrives("status", "offline"));
    config.mqtt.discovery = false;
    StartBridge(kPassword);
    for (const auto& [topic, payload] : configs) {
        EXPECT_TRUE(Arrives(topic, "")) << topic.toStdString();
    }
    EXPECT_EQ(ReadFile(dir.filePath(MqttBridge::kConfigListFile)), "");
}

// A refused password or a certificate of another name: one clear line, tried
// again slowly, the history still written; the right certificate connects.
TEST_F(Mqtt, AWrongPasswordOrCertificateNameGivesOneClearLine) {
    session->connection().Toggle();
    const struct {
        int port;
        const char* password;
        bool tls, insecure;
        const char* line;  // empty: connects
    } cases[] = {{0, "wrong", false, false, "refused the login of user \"tuvik\""},
                 {2, "", true, false, "TLS handshake with 127.0.0.1"},
                 {1, "", true, false, ""},
                 {2, "", true, true, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        config.mqtt.port = ports[c.port];
        config.mqtt.caFile = c.tls ? dir.filePath("ca.crt") : QString();
        config.mqtt.tlsInsecure = c.insecure;
        config.mqtt.user = c.tls ? QString() : kUser;
        lines.clear();
        StartBridge(QString::fromLatin1(c.password));
        if (*c.line) {
            // Three attempts (1 s and 2 s apart), one line.
            ASSERT_TRUE(WaitUntil([&] { return bridge->client()->retryMs() >= 8000; }, 20s));
            ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
            EXPECT_TRUE(lines[0].contains(c.line)) << lines[0].toStdString();
            EXPECT_FALSE(*c.password && lines[0].contains(c.password)) << "a secret in the log";
        } else {
            EXPECT_TRUE(WaitUntil([&] { return bridge->client()->connected(); }, 20s));
            EXPECT_TRUE(lines.isEmpty()) << lines.join('\n').toStdString();
        }
        bridge.reset();
    }
    session->history().Sync();
    EXPECT_FALSE(HistoryRows(session->history().databasePath(), "SELECT t FROM sec").isEmpty());
}

TEST_F(Mqtt, TheProgramGoesOfflineByItsWillWhenKilledAndByItselfWhenStopped) {
    const QString pass = dir.filePath("mqtt-pass");
    ASSERT_TRUE(WriteFile(pass, kPassword.toUtf8() + '\n'));
    QFile::setPermissions(pass, QFile::ReadOwner | QFile::WriteOwner);
    const QString conf = QStringLiteral(
        "[link]\nserial = %1\n[monitor]\ndevice_id = %2\n[data]\ndir = %3\n"
        "[mqtt]\nhost = 127.0.0.1\nport = %4\nuser = %5\npassword_file = %6\n");
    ASSERT_TRUE(
        WriteFile(dir.filePath("monitor.conf"), conf.arg(sim->PtyLink(), kId, dir.filePath("data"))
                                                    .arg(ports[0])
                                                    .arg(kUser, pass)
                                                    .toUtf8()));
    for (const bool kill : {true, false}) {
        SCOPED_TRACE(kill ? "SIGKILL" : "SIGTERM");
        const size_t from = got.size();
        QProcess monitor;
        monitor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        monitor.start(QStringLiteral(TUVIK_MONITOR_EXE), {"--config", dir.filePath("monitor.conf"),
                                                          "--params", dir.filePath("PARAMS.h")});
        ASSERT_TRUE(Arrives("status", "online", from));
        ASSERT_TRUE(Arrives("link", "up", from));
        const size_t online = got.size();
        kill ? monitor.kill() : monitor.terminate();
        EXPECT_TRUE(Arrives("status", "offline", online));
        // Arrives runs the event loop, which may have seen the end already.
        ASSERT_TRUE(monitor.state() == QProcess::NotRunning || monitor.waitForFinished(10000));
        if (!kill) {
            EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(monitor.exitCode(), 0);
        }
    }
}
