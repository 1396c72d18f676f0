// The TCP link against a loopback server standing in for the relay.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <vector>

#include "TestUtil.h"
#include "link/TcpLink.h"
#include "shell/AppContext.h"
#include "support/LocaleText.h"

using namespace tuvik;
using namespace std::chrono_literals;
using tuvik::test::Hex;
using tuvik::test::Pump;
using tuvik::test::RecordingReceiver;
using tuvik::test::LiveValues;
using tuvik::test::WaitUntil;

namespace {


struct TcpFixture : ::testing::Test {
    AppContext ctx;
    FixedLinkSettings settings;
    QTcpServer server;
    std::unique_ptr<TcpLink> link;
    RecordingReceiver rec;
    QTcpSocket* peer = nullptr;
    QByteArray got;

    void SetUp() override {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        settings.refresh = QStringLiteral("40");
        ctx.setLinkSettings(&settings);
        link = std::make_unique<TcpLink>(ctx);
        link->SetReceiver(&rec);
        link->SetRemotePort(server.serverPort());
        link->TimerConnectionMaker().setInterval(20);
        link->Timer1().setInterval(10);
    }
    void TearDown() override { link.reset(); }

    void ConnectAndAccept() {
        link->Connect();
        ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections(); }));
        peer = server.nextPendingConnection();
        ASSERT_NE(peer, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return link->PortOpen(); }));
    }
    QByteArray Take() {
        got += peer->readAll();
        QByteArray out = got;
        got.clear();
        return out;
    }
    bool WaitFor(qsizetype n) {
        return WaitUntil([&] {
            got += peer->readAll();
            return got.size() >= n;
        });
    }
    void Serve(const QByteArray& b) {
        peer->write(b);
        peer->flush();
    }
};

}  // namespace

TEST(TcpLinkStates, SocketStatesAreNumberedForTheOperator) {
    EXPECT_EQ(TcpLink::StateNumber(QAbstractSocket::UnconnectedState, false), 0);
    EXPECT_EQ(TcpLink::StateNumber(QAbstractSocket::UnconnectedState, true), 9);
    EXPECT_EQ(TcpLink::StateNumber(QAbstractSocket::ConnectingState, false), 6);
    EXPECT_EQ(TcpLink::StateNumber(QAbstractSocket::ConnectedState, false), 7);
    EXPECT_EQ(TcpLink::StateNumber(QAbstractSocket::ClosingState, false), 8);
}

TEST_F(TcpFixture, StartsWithTheRelayDefaults) {
    TcpLink fresh(ctx);
    EXPECT_EQ(fresh.RemoteHost(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(fresh.RemotePort(), 10001);
    EXPECT_EQ(fresh.TimerReqData().interval(), 500);
    EXPECT_FALSE(fresh.TimerReqData().isActive());
    EXPECT_EQ(fresh.TimerConnectionMaker().interval(), 5000);
    EXPECT_TRUE(fresh.TimerConnectionMaker().isActive());
    EXPECT_EQ(fresh.Timer1().interval(), 1000);
    EXPECT_TRUE(fresh.Timer1().isActive());
    EXPECT_EQ(fresh.State(), 0);
    EXPECT_FALSE(fresh.PortOpen());
    EXPECT_FALSE(fresh.connectRequested());
    EXPECT_FALSE(fresh.Send(0x41));
    EXPECT_FALSE(fresh.SendPacket(0x98));
}

TEST_F(TcpFixture, ConnectsPollsAndFollowsTheConnection) {
    QSignalSpy state(link.get(), &TcpLink::ConnectionStateChanged);
    ConnectAndAccept();
    EXPECT_TRUE(ctx.LinkConnected());
    EXPECT_TRUE(link->connectRequested());
    EXPECT_EQ(link->RemoteHostName(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(link->State(), 7);

    // The watcher reports the connection and stops.
    ASSERT_TRUE(WaitUntil([&] { return state.count() > 0; }));
    EXPECT_TRUE(state.at(0).at(0).toBool());
    EXPECT_TRUE(link->connected());
    EXPECT_EQ(link->retryCount(), 0);
    EXPECT_FALSE(link->TimerConnectionMaker().isActive());

    // Periodic requests at the refresh period.
    EXPECT_EQ(link->TimerReqData().interval(), 40);
    ASSERT_TRUE(WaitFor(9));
    const QByteArray polled = Take();
    EXPECT_EQ(polled.size() % 3, 0);
    EXPECT_EQ(polled.count(Hex("91 00 6E")) * 3, polled.size()) << polled.toHex(' ').toStdString();

    // Connect again while connected: no second connection, timer still running.
    link->Connect();
    Pump(100ms);
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_TRUE(link->TimerReqData().isActive());
    EXPECT_TRUE(link->PortOpen());

    // Writes: one byte, the relay's refresh letters, whole packets.
    link->SetRefreshTimer(false);
    Pump(60ms);
    Take();
    EXPECT_TRUE(link->Send(0x80));
    EXPECT_TRUE(link->Send(0x80, true));
    EXPECT_TRUE(link->cmdSendString());
    EXPECT_TRUE(link->SendPacket(0x98));
    EXPECT_TRUE(link->ReadEE(300));
    EXPECT_TRUE(link->ReadEE_16bit(300));
    EXPECT_FALSE(link->ReadEE_16bit(300, true));
    std::vector<int> tooMany(256, 1);
    EXPECT_FALSE(link->SendPacket(0x85, std::span<const int>(tooMany)));
    const QByteArray want = Hex("80 7F 44 47 98 00 67 8A 02 2C 01 75 55 02 2C 01 AA");
    ASSERT_TRUE(WaitFor(want.size()));
    Pump(30ms);
    EXPECT_EQ(Take(), want);
}

TEST_F(TcpFixture, FramesSplitMergedAndEveryReply) {
    ConnectAndAccept();
    link->SetRefreshTimer(false);
    const QByteArray live = LiveValues(0x6D);
    Serve(live.left(7));
    ASSERT_TRUE(WaitUntil([&] { return link->rxState().count == 7; }));
    EXPECT_TRUE(rec.replies.empty());
    Serve(live.mid(7));
    ASSERT_TRUE(WaitUntil([&] { return rec.replies.size() == 1; }));
    EXPECT_EQ(rec.replies[0].first, 0x92);
    EXPECT_EQ(rec.replies[0].second.size(), 16u);

    // Two packets and the memory-read replies in one arrival, in order.
    Serve(Hex("86 01 01 79") + Hex("8B 03 07 2C 01 74") + Hex("55 04 34 12 A0 06 AA") +
          Hex("5C 00 A3"));
    ASSERT_TRUE(WaitUntil([&] { return rec.replies.size() == 5; }));
    EXPECT_EQ(rec.replies[1].first, 0x86);
    EXPECT_EQ(rec.replies[2].first, 0x8B);
    EXPECT_EQ(rec.replies[2].second, (std::vector<uint8_t>{7, 0x2C, 1}));
    EXPECT_EQ(rec.replies[3].first, 0x55);
    EXPECT_EQ(rec.replies[3].second, (std::vector<uint8_t>{0x34, 0x12, 0xA0, 0x06}));
    EXPECT_EQ(rec.replies[4].first, 0x5C);
}

TEST_F(TcpFixture, BrokenPacketCaption) {
    ConnectAndAccept();
    link->SetClock([] { return QTime(12, 0, 0); });
    QStringList captions;
    QObject::connect(&ctx, &AppContext::mainCaptionRequested,
                     [&](const QString& s) { captions << s; });
    Serve(LiveValues(0x6C) + Hex("94 01 00 6B"));
    ASSERT_TRUE(WaitUntil([&] { return rec.replies.size() == 1; }));
    ASSERT_EQ(captions.size(), 1);
    EXPECT_EQ(captions[0], TimeText(QTime(12, 0, 0)) + QStringLiteral(" Broken packet: 92 16 6C"));
    EXPECT_EQ(rec.replies[0].first, 0x94);

    captions.clear();
    Serve(Hex("86 01 01 05"));
    ASSERT_TRUE(WaitUntil([&] { return !captions.isEmpty(); }));
    EXPECT_EQ(captions[0], TimeText(QTime(12, 0, 0)) + QStringLiteral(" Broken packet: 86 1 5"));
}

TEST_F(TcpFixture, PeerCloseEndsTheConnection) {
    ConnectAndAccept();
    QSignalSpy state(link.get(), &TcpLink::ConnectionStateChanged);
    QSignalSpy lost(link.get(), &DeviceLink::linkLost);
    ASSERT_TRUE(WaitUntil([&] { return state.count() == 1; }));  // watcher: connected

    // A last reply right before the close still arrives.
    Serve(Hex("94 01 00 6B"));
    peer->close();
    ASSERT_TRUE(WaitUntil([&] { return state.count() == 2; }));
    EXPECT_FALSE(state.at(1).at(0).toBool());
    EXPECT_FALSE(ctx.LinkConnected());
    EXPECT_FALSE(link->connected());
    EXPECT_FALSE(link->PortOpen());
    EXPECT_EQ(lost.count(), 1);
    EXPECT_EQ(link->State(), 0);
    ASSERT_EQ(rec.replies.size(), 1u);
    EXPECT_EQ(rec.replies[0].first, 0x94);

    // The button connects again.
    link->cmdConnect();
    ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections(); }));
    ASSERT_TRUE(WaitUntil([&] { return ctx.LinkConnected(); }));
}

TEST_F(TcpFixture, OwnDisconnectIsNotAPeerClose) {
    ConnectAndAccept();
    QSignalSpy state(link.get(), &TcpLink::ConnectionStateChanged);
    QSignalSpy changed(link.get(), &DeviceLink::connectionChanged);
    link->Disconnect();
    Pump(50ms);
    EXPECT_FALSE(ctx.LinkConnected());
    EXPECT_FALSE(link->TimerReqData().isActive());
    EXPECT_EQ(link->TimerReqData().interval(), 40);
    EXPECT_EQ(link->State(), 0);
    EXPECT_EQ(state.count(), 0);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_FALSE(changed.at(0).at(0).toBool());
    ASSERT_TRUE(WaitUntil([&] { return peer->state() != QAbstractSocket::ConnectedState; }));
}

TEST_F(TcpFixture, WatcherGivesUpWhenNobodyListens) {
    const quint16 deadPort = server.serverPort();
    server.close();  // nobody listens there now
    link->SetRemotePort(deadPort);
    QList<int> states;
    QObject::connect(link.get(), &TcpLink::socketStatus, [&](int s, quint16) { states << s; });
    QStringList notices;
    QObject::connect(&ctx, &AppContext::userNotice, [&](const QString& t) { notices << t; });

    link->Connect();
    ASSERT_TRUE(WaitUntil([&] { return !link->TimerConnectionMaker().isActive(); }, 10000ms));
    EXPECT_EQ(link->retryCount(), TcpLink::kMaxRetries + 1);
    EXPECT_FALSE(ctx.LinkConnected());
    EXPECT_FALSE(link->connected());
    EXPECT_TRUE(states.contains(9)) << "the refused attempt shows as an error";
    ASSERT_TRUE(WaitUntil([&] { return link->State() == 0; }));
    const int atStop = link->retryCount();
    Pump(100ms);
    EXPECT_EQ(link->retryCount(), atStop) << "stopped watching";
    EXPECT_EQ(notices, QStringList{TcpLink::NoRelayText("127.0.0.1", deadPort)}) << "told once";
}
