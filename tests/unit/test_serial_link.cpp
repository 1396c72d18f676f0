// The serial link against a pseudo-terminal: the link opens the slave side by
// its path, the test plays the controller on the master side.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTimer>

#include <array>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "PtyPeer.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "link/SerialLink.h"
#include "link/W32_speed_api.h"
#include "shell/AppContext.h"
#include "support/LocaleText.h"

using namespace tuvik;
using namespace std::chrono_literals;
using tuvik::test::Hex;
using tuvik::test::Pump;
using tuvik::test::RecordingReceiver;
using tuvik::test::Pty;
using tuvik::test::LiveValues;
using tuvik::test::WaitUntil;

namespace {


int CountRequests(const QByteArray& b) {
    return static_cast<int>(b.count(Hex("91 00 6E")));
}

// Only whole periodic requests, nothing else.
bool OnlyRequests(const QByteArray& b) {
    return b.size() % 3 == 0 && CountRequests(b) * 3 == b.size();
}


struct SerialFixture : ::testing::Test {
    AppContext ctx;
    FixedLinkSettings settings;
    Pty pty;
    std::unique_ptr<SerialLink> link;
    RecordingReceiver rec;

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        settings.comPort = pty.path();
        settings.speed = QStringLiteral("76800");
        settings.refresh = QStringLiteral("50");
        ctx.setLinkSettings(&settings);
        link = std::make_unique<SerialLink>(ctx);
        link->SetReceiver(&rec);
    }
    void TearDown() override { link.reset(); }

    void OpenQuiet() {
        ASSERT_FALSE(link->OpenPort().has_value());
        link->SetRefreshTimer(false);
        Pump(20ms);
        pty.Take();
    }
};

}  // namespace

TEST_F(SerialFixture, StartsIdle) {
    EXPECT_FALSE(link->PortOpen());
    EXPECT_FALSE(link->TimerRequestData().isActive());
    EXPECT_EQ(link->TimerRequestData().interval(), 50);
    EXPECT_FALSE(link->StartLogging());
    EXPECT_FALSE(link->Send(0x41));
    EXPECT_FALSE(link->SendPacket(0x83));
}

TEST_F(SerialFixture, OpensSetsTheTypedSpeedAndPollsUntilDisconnect) {
    QSignalSpy connected(link.get(), &DeviceLink::connectionChanged);
    ASSERT_FALSE(link->OpenPort().has_value());
    EXPECT_TRUE(link->PortOpen());
    EXPECT_TRUE(ctx.LinkConnected());
    EXPECT_EQ(link->windowCaption(), QStringLiteral("Connect True"));
    EXPECT_EQ(link->SettingsText(), QStringLiteral("57600,n,8,1"));
    EXPECT_EQ(link->BaudRate(), 57600);
    const auto rate = GetPortBaudRate(link->port());
    ASSERT_FALSE(rate.error.has_value());
    EXPECT_EQ(rate.rate, 76800);
    ASSERT_EQ(connected.count(), 1);
    EXPECT_TRUE(connected.at(0).at(0).toBool());

    // Periodic requests at the refresh period.
    EXPECT_EQ(link->TimerRequestData().interval(), 50);
    EXPECT_TRUE(link->TimerRequestData().isActive());
    ASSERT_TRUE(pty.WaitFor(9));
    pty.Take();
    Pump(1000ms);
    const QByteArray second = pty.Take();
    EXPECT_TRUE(OnlyRequests(second)) << second.toHex(' ').toStdString();
    EXPECT_GE(CountRequests(second), 4);
    EXPECT_LE(CountRequests(second), 21);

    // Disconnect stops them; switching the timer on again writes nothing.
    link->Disconnect();
    EXPECT_FALSE(link->PortOpen());
    EXPECT_FALSE(ctx.LinkConnected());
    EXPECT_FALSE(link->TimerRequestData().isActive());
    Pump(30ms);
    pty.Take();
    link->SetRefreshTimer(true);
    EXPECT_TRUE(link->TimerRequestData().isActive());
    Pump(300ms);
    EXPECT_TRUE(pty.Take().isEmpty());
    EXPECT_FALSE(link->Send(0x41));
}

TEST_F(SerialFixture, RepliesReachTheReceiverAndBrokenOnesTheCaption) {
    OpenQuiet();
    link->SetClock([] { return QTime(12, 0, 0); });
    QStringList captions;
    QObject::connect(&ctx, &AppContext::mainCaptionRequested,
                     [&](const QString& s) { captions << s; });

    pty.Write(Hex("00 41") + LiveValues(0x6D) + Hex("8B 03 07 2C 01 74") +
              Hex("55 04 34 12 A0 06 AA") + Hex("91 00 6E"));
    ASSERT_TRUE(WaitUntil([&] { return rec.replies.size() >= 4; }));
    ASSERT_EQ(rec.replies.size(), 4u);
    EXPECT_EQ(rec.replies[0].first, 0x92);
    ASSERT_EQ(rec.replies[0].second.size(), 16u);
    EXPECT_EQ(rec.replies[0].second[15], 16);
    EXPECT_EQ(rec.replies[1].first, 0x8B);
    EXPECT_EQ(rec.replies[1].second, (std::vector<uint8_t>{7, 0x2C, 1}));
    EXPECT_EQ(rec.replies[2].first, 0x55);
    EXPECT_EQ(rec.replies[3].second, std::vector<uint8_t>{0});
    EXPECT_TRUE(captions.isEmpty());

    pty.Write(LiveValues(0x6C));
    ASSERT_TRUE(WaitUntil([&] { return !captions.isEmpty(); }));
    EXPECT_EQ(captions.front(),
              TimeText(QTime(12, 0, 0)) + QStringLiteral(" Broken packet: 92 16 end ~FF93"));
    EXPECT_EQ(rec.replies.size(), 4u);
    EXPECT_EQ(link->rxState().count, 0);
}

TEST_F(SerialFixture, QuietTimeHoldsSendButNotTheTimerNorTheWordRead) {
    ASSERT_FALSE(link->OpenPort().has_value());
    QTime wall(12, 0, 0);
    link->SetClock([&] { return wall; });
    link->quietTime().SetClocks([&] { return wall; }, [] { return int64_t{5000}; });

    pty.Write(LiveValues(0x6C));
    ASSERT_TRUE(WaitUntil([&] { return link->quietTime().Holding(); }));
    pty.Take();

    QByteArray duringHold;
    QTimer::singleShot(300, link.get(), [&] {
        link->ReadEE_16bit(300);  // written at once, not held
        Pump(50ms);
        duringHold = pty.Take();
        wall = QTime(12, 0, 1);
    });
    EXPECT_TRUE(link->Send(0x41));
    Pump(30ms);
    const QByteArray after = pty.Take();

    EXPECT_FALSE(duringHold.contains('\x41')) << duringHold.toHex(' ').toStdString();
    EXPECT_GE(CountRequests(duringHold), 1) << "the timer keeps polling during the hold";
    EXPECT_TRUE(duringHold.contains(Hex("55 02 2C 01 AA")));
    EXPECT_TRUE(after.contains('\x41')) << after.toHex(' ').toStdString();

    // The same for a packet.
    wall = QTime(12, 0, 2);
    pty.Write(LiveValues(0x6C));
    ASSERT_TRUE(WaitUntil([&] { return link->quietTime().Holding(); }));
    QByteArray held;
    QTimer::singleShot(200, link.get(), [&] {
        Pump(20ms);
        held = pty.Take();
        wall = QTime(12, 0, 3);
    });
    EXPECT_TRUE(link->SendPacket(0x83));
    Pump(30ms);
    EXPECT_FALSE(held.contains(Hex("83 00 7C")));
    EXPECT_TRUE(pty.Take().contains(Hex("83 00 7C")));
}

TEST_F(SerialFixture, RefusedWritesLeaveTheLineUntouched) {
    OpenQuiet();
    EXPECT_FALSE(link->ReadEE_16bit(300, true));
    std::vector<int> tooMany(256, 1);
    EXPECT_FALSE(link->SendPacket(0x85, std::span<const int>(tooMany)));
    const std::array<int, 3> outOfRange{1, 256, 3};
    EXPECT_FALSE(link->SendPacket(0x85, std::span<const int>(outOfRange)));
    EXPECT_FALSE(link->Send(256));
    EXPECT_FALSE(link->Send(-1));
    // A marker shows the line carries nothing before it.
    EXPECT_TRUE(link->Send(0x41));
    ASSERT_TRUE(pty.WaitFor(1));
    EXPECT_EQ(pty.Take(), Hex("41"));

    // And the accepted forms, byte-exact.
    EXPECT_TRUE(link->Send(0x80));
    EXPECT_TRUE(link->Send(0x80, true));
    EXPECT_TRUE(link->SendRequest(0x81));
    const std::array<uint8_t, 1> seven{7};
    EXPECT_TRUE(link->AdsSyncWriteReq(16416, 300, 1, seven));
    EXPECT_TRUE(link->ReadEE(300));
    EXPECT_TRUE(link->ReadEE_16bit(300));
    const QByteArray want = Hex("80 7F 81 00 7E 85 03 2C 01 07 7A 8A 02 2C 01 75 55 02 2C 01 AA");
    ASSERT_TRUE(pty.WaitFor(want.size()));
    EXPECT_EQ(pty.Take(), want);
}

TEST_F(SerialFixture, VanishedPeerIsDetectedAndTheLinkCanOpenAgain) {
    ASSERT_FALSE(link->OpenPort().has_value());
    link->SetRefreshTimer(false);  // nothing is written: the read side must notice
    QSignalSpy lost(link.get(), &DeviceLink::linkLost);
    QSignalSpy changed(link.get(), &DeviceLink::connectionChanged);
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return lost.count() > 0; }));
    EXPECT_EQ(lost.count(), 1);
    EXPECT_FALSE(link->PortOpen());
    EXPECT_FALSE(ctx.LinkConnected());
    EXPECT_FALSE(link->TimerRequestData().isActive());
    ASSERT_GE(changed.count(), 1);
    EXPECT_FALSE(changed.last().at(0).toBool());
    Pump(100ms);
    EXPECT_EQ(lost.count(), 1) << "reported once";
    EXPECT_FALSE(link->Send(0x41));

    Pty again;
    ASSERT_TRUE(again.ok());
    settings.comPort = again.path();
    ASSERT_FALSE(link->OpenPort().has_value());
    EXPECT_TRUE(ctx.LinkConnected());
    ASSERT_TRUE(again.WaitFor(3));
    EXPECT_TRUE(again.Take().startsWith(Hex("91 00 6E")));
}

TEST_F(SerialFixture, PortThatCannotOpenIsReportedAndLeftClosed) {
    link->SetClock([] { return QTime(10, 20, 30); });
    settings.comPort = QStringLiteral("/dev/tuvik-no-such-port");
    const auto err = link->OpenPort();
    ASSERT_TRUE(err.has_value());
    EXPECT_FALSE(err->description.isEmpty());
    EXPECT_EQ(link->windowCaption(),
              TimeText(QTime(10, 20, 30)) + QStringLiteral("  Error ") + err->description);
    EXPECT_FALSE(link->PortOpen());
    EXPECT_FALSE(ctx.LinkConnected());
    EXPECT_FALSE(link->TimerRequestData().isActive());

    // A speed the port cannot take: reported, port closed.
    settings.comPort = pty.path();
    settings.speed = QStringLiteral("fast");
    const auto speedErr = link->OpenPort();
    ASSERT_TRUE(speedErr.has_value());
    EXPECT_EQ(speedErr->number, 8015);
    EXPECT_EQ(speedErr->description, QStringLiteral("Could not set port to specified baud rate"));
    EXPECT_EQ(speedErr->source, QStringLiteral("MSComm1"));
    EXPECT_FALSE(link->PortOpen());
    EXPECT_FALSE(ctx.LinkConnected());
    EXPECT_FALSE(link->TimerRequestData().isActive());

    // An open port that is opened again is closed first, then reopened.
    settings.speed = QStringLiteral("38400");
    ASSERT_FALSE(link->OpenPort().has_value());
    ASSERT_FALSE(link->OpenPort().has_value());
    EXPECT_TRUE(link->PortOpen());
    EXPECT_EQ(GetPortBaudRate(link->port()).rate, 38400);
}

TEST_F(SerialFixture, SpeedAndPortChangesReopenAnOpenPort) {
    OpenQuiet();
    EXPECT_FALSE(link->BaudRate(38400).has_value());
    EXPECT_TRUE(link->PortOpen());
    EXPECT_EQ(link->SettingsText(), QStringLiteral("38400,n,8,1"));
    EXPECT_EQ(GetPortBaudRate(link->port()).rate, 38400);

    link->Disconnect();
    EXPECT_FALSE(link->BaudRate(57600).has_value());
    EXPECT_EQ(link->SettingsText(), QStringLiteral("57600,n,8,1"));
    EXPECT_FALSE(link->PortOpen());

    // A closed port only takes the new number.
    EXPECT_FALSE(link->comPort(3).has_value());
    EXPECT_EQ(link->comPort(), 3);
    EXPECT_FALSE(link->PortOpen());
    EXPECT_EQ(link->portName(), SerialLink::PortNameFor(QStringLiteral("3")).section(u'/', -1));
}
