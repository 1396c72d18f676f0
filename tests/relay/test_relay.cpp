// The monitor's relay for the desktop tool, against the simulator over the
// pseudo-terminal: the newest desktop wins; strangers get nothing; who counts
// as a stranger. The desktop's windows through the relay are an end-to-end
// test.
#include <gtest/gtest.h>

#include <QTcpSocket>
#include <QTemporaryDir>

#include "ScratchSession.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "link/DeviceRead.h"
#include "link/Packet.h"
#include "monitor/RelayServer.h"
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
        monitor = SerialSession(dir.filePath("monitor"), sim->PtyLink());
        ASSERT_TRUE(WaitUntil([&] { return monitor->ctx().LinkConnected(); }, 10s));
    }
    void Listen(const RelayConfig& config) {
        relay = std::make_unique<RelayServer>(*monitor, config);
        relay->setLog([this](const QString& line) { log << line; });
        relay->setQuietLine(50, 500);
        ASSERT_EQ(relay->Start(), std::nullopt);
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimServer> sim;
    std::unique_ptr<Session> monitor;
    std::unique_ptr<RelayServer> relay;
    QStringList log;
};

}  // namespace

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
