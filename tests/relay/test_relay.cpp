// The monitor's relay for the desktop tool, against the simulator over the
// pseudo-terminal: the desktop (a second session over its TCP link) reads and
// writes a loop through the monitor and alone reaches the controller until
// it leaves; the newest desktop wins; strangers get nothing; who counts as a
// stranger.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>

#include "FakeEditor.h"
#include "RecordingDialogs.h"
#include "ScratchSession.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "link/DeviceRead.h"
#include "link/Packet.h"
#include "link/RecordingReader.h"
#include "monitor/RelayServer.h"
#include "pid/PidEditorController.h"
#include "shell/Session.h"

using namespace tuvik;
using namespace tuvik::monitor;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

struct Relay : ::testing::Test {
    void SetUp() override {
        sim::SimServerOptions o;
        o.ptyLink = dir.filePath("tty");
        o.tickMs = 10;
        sim = std::make_unique<sim::SimServer>(o);
        ASSERT_TRUE(sim->Start());
        sim->SetByteObserver([this](std::span<const uint8_t> b) {
            seen.append(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
        });
        monitor = MakeSession("monitor");
        monitor->connection().setTexts({sim->PtyLink(), "57600", "50"});
        monitor->connection().Toggle();
        ASSERT_TRUE(WaitUntil([&] { return monitor->ctx().LinkConnected(); }, 10s));
    }
    std::unique_ptr<Session> MakeSession(const QString& name) {
        const QString p = dir.filePath(name);
        auto s = ScratchSession(p);
        s->Start();
        s->loops().InitialiseStartupLoops();
        s->loops().SetSelectedIndex(0);
        return s;
    }
    void Listen(const RelayConfig& config) {
        relay = std::make_unique<RelayServer>(*monitor, config);
        relay->setLog([this](const QString& line) { log << line; });
        relay->setQuietLine(50, 500);
        ASSERT_EQ(relay->Start(), std::nullopt);
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimServer> sim;
    QByteArray seen;  // every byte the controller got
    std::unique_ptr<Session> monitor;
    std::unique_ptr<RelayServer> relay;
    QStringList log;
};

}  // namespace

TEST_F(Relay, TheDesktopAloneWritesUntilItLeavesAndTheMonitorFollowsItsLoop) {
    Listen({.on = true, .host = "127.0.0.1", .port = 0, .allow = {}});
    const std::unique_ptr<Session> desktop = MakeSession("desktop");
    ConnectionController& c = desktop->connection();
    c.setTexts({QString(), "57600", "100"});
    c.setUseTcp(true);
    c.setRelay({.port = relay->port(), .watchMs = 20});
    QSignalSpy filed(&monitor->dispatcher(), &ReplyDispatcher::liveSampled);
    c.Toggle();
    ASSERT_TRUE(WaitUntil([&] { return desktop->ctx().LinkConnected() && relay->lending(); }));

    FakeEditor view;
    RecordingDialogs dialogs;
    PidEditorController editor(
        {.loops = desktop->loops(),
         .dialogs = dialogs,
         .log = desktop->log(),
         .answers = &desktop->dispatcher(),
         .link = [&] { return desktop->ctx().activeLink(); },
         .caption = [] { return QString(); },
         .setCaption = [](const QString&) {},
         .backupDir = [&] { return desktop->paths().DailyDir(); },
         .findDataFile = [](const QString& p) { return QString(TUVIK_SOURCE_DATA_DIR "/") + p; }},
        view);
    QSignalSpy read(&desktop->dispatcher(), &DeviceAnswers::statusRecordTaken);
    ASSERT_TRUE(editor.SelectLoop(1));
    editor.GetCurrentValues();
    ASSERT_TRUE(
        WaitUntil([&] { return !read.empty() && !editor.currentValuesTimer().isActive(); }));
    view.v.boxes[PidBox::Setpoint] = "55";
    QSignalSpy ended(&editor.safeSend(), &PidSafeSend::ended);
    editor.Apply();
    ASSERT_TRUE(WaitUntil([&] { return !ended.empty(); }, 20s));
    EXPECT_EQ(ended[0][0].value<SafeWrite::Outcome>(), SafeWrite::Outcome::Sent);
    EXPECT_EQ(sim->device().controller().Params(1).setpoint, 55.0f);
    // The monitor files the controller's live values under the desktop's loop.
    EXPECT_TRUE(WaitUntil([&] { return filed.contains(QVariantList{1}); }));
    c.RefreshRelay();
    c.Toggle();
    ASSERT_TRUE(WaitUntil([&] { return !relay->lending() && !desktop->recorder().recording(); }));

    // Everything the desktop sent but "DG", in one piece; the monitor's own
    // requests before it and after: its loop again, then its polling.
    const QList<RecordingEntry> recordings = desktop->recorder().folder().Entries();
    ASSERT_EQ(recordings.size(), 1);
    QString error;
    const auto reader = RecordingReader::Open(recordings[0].path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    QByteArray sent;
    int relayCommands = 0;
    for (RecordedChunk chunk; reader->Next(chunk);) {
        if (chunk.direction == ChunkDirection::Sent) {
            (chunk.bytes == "DG" ? ++relayCommands : (sent += chunk.bytes, 0));
        }
    }
    ASSERT_EQ(relayCommands, 1);
    ASSERT_TRUE(WaitUntil(
        [&] { return seen.mid(seen.indexOf(sent) + sent.size()).count(Hex("91 00 6E")) > 2; }));
    const qsizetype at = seen.indexOf(sent);
    ASSERT_GT(at, 0) << sent.toHex(' ').toStdString();
    EXPECT_TRUE(seen.mid(at + sent.size()).startsWith(Hex("80 01 00 7F")));
    EXPECT_EQ(monitor->loops().selectedIndex(), 0);
}

TEST_F(Relay, TheNewestDesktopWinsAndStrangersGetNoByte) {
    Listen({.on = true, .host = "0.0.0.0", .port = 0, .allow = {"127.0.0.1/32"}});
    for (int i = 0; i < 2; ++i) {
        QTcpSocket stranger;
        ASSERT_TRUE(stranger.bind(QHostAddress("127.0.0.2")));
        stranger.connectToHost(QHostAddress::LocalHost, relay->port());
        stranger.write(Hex("91 00 6E"));
        ASSERT_TRUE(
            WaitUntil([&] { return stranger.state() == QAbstractSocket::UnconnectedState; }));
        EXPECT_EQ(stranger.readAll(), QByteArray());
    }
    EXPECT_EQ(log.filter("refused a connection from 127.0.0.2").size(), 1)
        << log.join('\n').toStdString();
    EXPECT_FALSE(relay->lending());

    QTcpSocket first;
    QTcpSocket second;
    // A read of the monitor's own that waits for its answer ends first.
    DeviceRead read("read");
    ASSERT_TRUE(read.Start(monitor->ctx().activeLink(), 1, 300,
                           [](DeviceLink& l) { return l.SendPacket(Cmd::ReadStatus); }));
    first.connectToHost(QHostAddress::LocalHost, relay->port());
    ASSERT_TRUE(WaitUntil([&] { return relay->lending(); }));
    EXPECT_FALSE(read.pending());
    first.write(Hex("91 00 6E"));
    ASSERT_TRUE(WaitUntil([&] { return first.bytesAvailable() > 0; }));
    const quint16 firstPort = first.localPort();
    second.connectToHost(QHostAddress::LocalHost, relay->port());
    ASSERT_TRUE(WaitUntil([&] { return first.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(log.filter(QString("closed the desktop at 127.0.0.1:%1").arg(firstPort)).size(), 1);
    second.write(Hex("91 00 6E"));
    EXPECT_TRUE(WaitUntil([&] { return second.bytesAvailable() > 0; }));
}

// An empty list is loopback; a configured one replaces it; mapped
// addresses count as IPv4 on either side; a bad entry lets nobody in.
TEST(AllowList, MatchesAddressesAndRangesAndNamesABadEntry) {
    // entries|peer|allowed
    for (const char* row :
         {"|127.8.9.10|1", "|::1|1", "|::ffff:127.0.0.1|1", "|10.0.0.1|0", "|::2|0",
          "127.0.0.1/32|127.0.0.1|1", "127.0.0.1/32|127.0.0.2|0", "127.0.0.1/32|::1|0",
          "127.0.0.1/32|::ffff:127.0.0.1|1", " 10.0.0.0/8 |10.255.0.1|1", "10.0.0.0/8|11.0.0.1|0",
          "192.168.1.20|192.168.1.21|0", "::ffff:192.168.1.0/120|192.168.1.7|1",
          "::ffff:192.168.1.0/120|192.168.2.7|0", "fd00::/8,192.168.1.20|fd12::1|1",
          "fd00::/8|fe80::1|0", "0.0.0.0/0|203.0.113.5|1"}) {
        const QStringList f = QString(row).split('|');
        AllowList list;
        ASSERT_EQ(list.Parse(f[0].isEmpty() ? QStringList() : f[0].split(',')), std::nullopt)
            << row;
        EXPECT_EQ(list.Allows(QHostAddress(f[1])), f[2] == "1") << row;
    }
    for (const char* bad : {"10.0.0.0/33", "fd00::/129", "10.1", "boiler-pc", "10.0.0.0/",
                            "1.2.3.4/+8", "::ffff:1.2.3.4/90", "", "fe80::1%eth0"}) {
        AllowList list;
        const auto error = list.Parse({"127.0.0.1", bad});
        ASSERT_TRUE(error) << bad;
        EXPECT_TRUE(error->startsWith(QString("\"%1\": ").arg(bad))) << error->toStdString();
        EXPECT_FALSE(list.Allows(QHostAddress("127.0.0.1"))) << bad;
    }
    EXPECT_FALSE(AllowList::IsLoopback(QHostAddress("0.0.0.0")) ||
                 AllowList::IsLoopback(QHostAddress("::")));
}
