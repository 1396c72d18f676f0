// The serial link against a pseudo-terminal (the test plays the controller on
// the master side) and the TCP link against a loopback server standing in for
// the relay; the quiet time after a broken packet; times and port names; the
// connect button's decisions.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include "PtyPeer.h"
#include "TestUtil.h"
#include "link/QuietTime.h"
#include "link/SerialLink.h"
#include "link/SerialSpeed.h"
#include "link/TcpLink.h"
#include "shell/AppContext.h"
#include "shell/ConnectionController.h"
#include "shell/LinkTexts.h"
#include "support/LocaleText.h"
#include "support/MessageLog.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

const QByteArray kRequest = Hex("91 00 6E");

struct RecordingReceiver : ReplyReceiver {
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> replies;
    void HandleReply(uint8_t command, std::span<const uint8_t> data) override {
        replies.emplace_back(command, std::vector<uint8_t>(data.begin(), data.end()));
    }
};

// What both links' tests share: the replies handed on, the title-bar lines
// and whether the link last reported itself connected.
template <class Link>
struct LinkFixture : ::testing::Test {
    // The wall clock stands at 12:00:00 until a test moves it.
    qint64 wallMs = QDateTime(QDate(2026, 12, 5), QTime(12, 0, 0)).toMSecsSinceEpoch();
    Clock clock;
    std::unique_ptr<Link> link;
    RecordingReceiver rec;
    QStringList captions;
    bool connected = false;

    void Make() {
        clock.setSystem([this] { return wallMs; });
        link = std::make_unique<Link>();
        link->SetReceiver(&rec);
        link->setClock(clock);
        QObject::connect(link.get(), &DeviceLink::captionRequested,
                         [this](const QString& s) { captions << s; });
        QObject::connect(link.get(), &DeviceLink::connectionChanged,
                         [this](bool on) { connected = on; });
    }
};

struct SerialFixture : LinkFixture<SerialLink> {
    Pty pty;
    SerialSettings settings;
    std::pair<bool, QString> portState;  // as last told

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        settings = {pty.path(), 76800, 50};
        Make();
        QObject::connect(link.get(), &SerialLink::portStateChanged,
                         [this](bool open, const QString& error) {
                             portState = {open, error};
                         });
    }
    std::optional<LinkError> Open() { return link->OpenPort(settings); }
    bool Closed() const {
        return !link->PortOpen() && !connected && !link->requestTimer().isActive();
    }
    int Speed() { return GetPortBaudRate(link->port()).value_or(0); }
};

}  // namespace

TEST_F(SerialFixture, OpensAtTheTypedSpeedPollsWritesByteExactAndFramesReplies) {
    ASSERT_FALSE(Open().has_value());
    EXPECT_TRUE(link->PortOpen() && connected);
    EXPECT_EQ(portState, std::pair(true, QString()));
    // A pseudo-terminal ignores these; the port object holds what was applied.
    const QSerialPort& port = link->port();
    EXPECT_EQ(std::tuple(port.dataBits(), port.parity(), port.stopBits(), port.flowControl()),
              std::tuple(QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop,
                         QSerialPort::NoFlowControl));
    EXPECT_EQ(std::tuple(Speed(), link->requestTimer().interval()), std::tuple(76800, 50));
    ASSERT_TRUE(pty.WaitFor(9));
    const QByteArray polled = pty.Take();
    EXPECT_EQ(polled.count(kRequest) * 3, polled.size()) << polled.toHex(' ').toStdString();

    link->SetRefreshTimer(false);
    pty.Take();  // a request is written whole or not at all
    EXPECT_FALSE(link->ReadEE_16bit(300, true) || link->Send(256) || link->Send(-1) ||
                 link->SendPacket(0x85, std::span<const int>(std::vector<int>(256, 1))));
    const std::array<uint8_t, 1> seven{7};
    EXPECT_TRUE(link->Send(0x80) && link->Send(0x80, true) && link->SendRequest(0x81) &&
                link->WriteMemory(300, seven) && link->ReadEE(300) && link->ReadEE_16bit(300));
    const QByteArray want = Hex("80 7F 81 00 7E 85 03 2C 01 07 7A 8A 02 2C 01 75 55 02 2C 01 AA");
    ASSERT_TRUE(pty.WaitFor(want.size()));
    EXPECT_EQ(pty.Take(), want);

    pty.Write(Hex("00 41") + LiveValues(0x6D) + Hex("8B 03 07 2C 01 74") + LiveValues(0x6C));
    ASSERT_TRUE(WaitUntil([&] { return !captions.isEmpty(); }));
    ASSERT_EQ(rec.replies.size(), 2u);
    EXPECT_EQ(rec.replies[0].second.size(), 16u);
    EXPECT_EQ(rec.replies[1], std::make_pair(uint8_t{0x8B}, std::vector<uint8_t>{7, 0x2C, 1}));
    EXPECT_EQ(captions,
              QStringList{LocaleTimeOfDay(QTime(12, 0, 0)) + " Broken packet: 92 16 end ~FF93"});
    link->Disconnect();
    EXPECT_TRUE(Closed() && !link->Send(0x41));
}

// After a broken packet a write waits until the clock's second moves on; the
// periodic request and the word read go out meanwhile.
TEST_F(SerialFixture, QuietTimeHoldsWritesButNotTheTimerNorTheWordRead) {
    ASSERT_FALSE(Open().has_value());
    clock.setMonotonic([] { return qint64{5'000'000}; });
    const std::pair<std::function<bool()>, QByteArray> writes[] = {
        {[&] { return link->Send(0x41); }, Hex("41")},
        {[&] { return link->SendPacket(0x83); }, Hex("83 00 7C")}};
    for (const auto& [write, bytes] : writes) {
        pty.Write(LiveValues(0x6C));
        ASSERT_TRUE(WaitUntil([&] { return link->quietTime().Holding(clock); }));
        pty.Take();
        QByteArray held;
        QTimer::singleShot(0, link.get(), [&] {  // runs inside the write's wait
            link->ReadEE_16bit(300);
            WaitUntil([&] {
                held += pty.Take();
                return held.contains(Hex("55 02 2C 01 AA")) && held.contains(kRequest);
            });
            wallMs += 1000;
        });
        EXPECT_TRUE(write());
        ASSERT_TRUE(pty.WaitFor(bytes.size()));
        EXPECT_TRUE(held.contains(Hex("55 02 2C 01 AA")) && held.contains(kRequest));
        EXPECT_FALSE(held.contains(bytes));
        EXPECT_TRUE(pty.Take().contains(bytes));
    }
}

// At a short request period the replies are taken off the port at the
// request ticks: framed and in order still, a packet split across ticks
// included; an exchange (the periodic request stopped) reads them as they
// come.
TEST_F(SerialFixture, AtAShortPeriodRepliesAreTakenAtTheTicksInOrder) {
    settings.refreshMs = 5;
    ASSERT_FALSE(Open().has_value());
    ASSERT_TRUE(WaitUntil([&] { return link->readsAtTicks(); }));
    const QByteArray live = LiveValues(0x6D);
    const QByteArray ack = Hex("8B 03 07 2C 01 74");
    pty.Write(live.left(7));
    ASSERT_TRUE(WaitUntil([&] { return link->rxState().count == 7; }));
    pty.Write(live.mid(7) + ack);
    ASSERT_TRUE(WaitUntil([&] { return rec.replies.size() >= 2; }))
        << captions.join("/").toStdString();
    EXPECT_EQ(std::pair(rec.replies[0].first, rec.replies[0].second.size()),
              std::pair(uint8_t{0x92}, size_t{16}));
    EXPECT_EQ(rec.replies[1], std::make_pair(uint8_t{0x8B}, std::vector<uint8_t>{7, 0x2C, 1}));

    link->SetRefreshTimer(false);
    EXPECT_FALSE(link->readsAtTicks());
    pty.Write(ack);
    ASSERT_TRUE(WaitUntil([&] { return rec.replies.size() == 3; }));
    link->SetRefreshTimer(true);
    EXPECT_TRUE(link->readsAtTicks() && captions.isEmpty());
}

TEST_F(SerialFixture, AFailedOpenLeavesThePortClosed) {
    settings.port = QStringLiteral("/dev/tuvik-no-such-port");
    const auto err = Open();
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(portState, std::pair(false, err->description));
    EXPECT_TRUE(Closed());
    Pty again;
    settings = {again.path(), 0, 50};
    EXPECT_EQ(Open().value_or(LinkError{}).description, kTextCannotSetRate);
    EXPECT_TRUE(Closed()) << "not left open at a speed nobody asked for";

    settings.speed = 57600;  // a speed change reopens an open port
    ASSERT_FALSE(Open().has_value());
    EXPECT_FALSE(link->BaudRate(38400).has_value());
    EXPECT_TRUE(link->PortOpen() && again.WaitFor(3));
    EXPECT_EQ(Speed(), 38400);
}

// A vanished peer is noticed, with nothing written and while replies are
// taken at the request ticks; the reconnect leaves the periodic request as it
// was at the loss, or as it was set while the link was down (the analog
// inputs window opened or closed).
TEST_F(SerialFixture, AVanishedPeerIsToldOnceAndAReconnectKeepsThePeriodicRequest) {
    QTemporaryDir dir;
    const QString tty = dir.filePath(QStringLiteral("tty"));
    ASSERT_TRUE(QFile::link(pty.path(), tty));
    settings = {tty, 76800, 5};
    link->setAutoReconnect(true);
    ASSERT_FALSE(Open().has_value());
    const struct {
        bool atLoss;
        std::optional<bool> whileDown;
    } rows[] = {{true, false}, {false, {}}, {false, true}};
    ASSERT_TRUE(WaitUntil([&] { return link->readsAtTicks(); }));  // the first loss meets it
    Pty* device = &pty;
    std::vector<std::unique_ptr<Pty>> next;
    QSignalSpy lost(link.get(), &DeviceLink::linkLost);
    for (const auto& row : rows) {
        link->SetRefreshTimer(row.atLoss);
        device->CloseMaster();
        ASSERT_TRUE(WaitUntil([&] { return link->reconnecting(); }));
        EXPECT_TRUE(Closed() && !link->readsAtTicks());
        if (row.whileDown) {
            link->SetRefreshTimer(*row.whileDown);
        }
        device = next.emplace_back(std::make_unique<Pty>()).get();
        ASSERT_TRUE(QFile::remove(tty) && QFile::link(device->path(), tty));
        ASSERT_TRUE(WaitUntil([&] { return link->PortOpen(); }));
        const bool polling = row.whileDown.value_or(row.atLoss);
        EXPECT_EQ(link->requestTimer().isActive(), polling) << row.atLoss;
        EXPECT_EQ(link->RefreshTimerEnabled(), polling);
        if (polling) {
            EXPECT_TRUE(device->WaitFor(kRequest.size()));
        }
    }
    EXPECT_EQ(lost.count(), std::ssize(rows));
}

namespace {

struct TcpFixture : LinkFixture<TcpLink> {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray got;
    TcpSettings settings;

    void SetUp() override {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        Make();
        EXPECT_EQ(link->Endpoint() + ' ' + QString::number(link->TimerConnectionMaker().interval()),
                  "127.0.0.1:10001 5000");
        settings.port = server.serverPort();
        settings.refreshMs = 40;
        settings.watchMs = 20;
    }
    void ConnectAndAccept() {
        link->Connect(settings);
        ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections(); }));
        peer = server.nextPendingConnection();
        ASSERT_TRUE(WaitUntil([&] { return link->PortOpen(); }));
    }
    QByteArray TakeAtLeast(qsizetype n) {
        WaitUntil([&] { return (got += peer->readAll()).size() >= n; });
        return std::exchange(got, QByteArray());
    }
};

}  // namespace

TEST_F(TcpFixture, ConnectsPollsWritesByteExactAndFramesAcrossArrivals) {
    QSignalSpy state(link.get(), &TcpLink::ConnectionStateChanged);
    ConnectAndAccept();
    ASSERT_TRUE(WaitUntil([&] { return state.count() > 0; }));  // the watcher reports, then stops
    EXPECT_TRUE(state.at(0).at(0).toBool() && !link->TimerConnectionMaker().isActive());
    EXPECT_EQ(std::tuple(LinkTexts::SocketStateNumber(link->socketState(), link->errored()),
                         link->requestTimer().interval()),
              std::tuple(7, 40));
    const QByteArray polled = TakeAtLeast(9);
    EXPECT_EQ(polled.count(kRequest) * 3, polled.size()) << polled.toHex(' ').toStdString();
    link->Connect(settings);  // again while connected: no second connection
    link->SetRefreshTimer(false);
    ASSERT_TRUE(WaitUntil([&] { return state.count() == 2; }));  // the watcher looked again
    EXPECT_FALSE(server.hasPendingConnections());
    TakeAtLeast(0);
    EXPECT_TRUE(link->Send(0x80, true) && link->SendRelayRefresh() && link->SendPacket(0x98) &&
                link->ReadEE(300) && link->ReadEE_16bit(300) && !link->ReadEE_16bit(300, true));
    const QByteArray want = Hex("7F 44 47 98 00 67 8A 02 2C 01 75 55 02 2C 01 AA");
    const QByteArray got = TakeAtLeast(want.size());  // after a request still on its way, if any
    EXPECT_TRUE(got.endsWith(want) &&
                got.chopped(want.size()).count(kRequest) * 3 + want.size() == got.size())
        << got.toHex(' ').toStdString();

    const QByteArray live = LiveValues(0x6D);
    peer->write(live.left(7));
    peer->flush();
    ASSERT_TRUE(WaitUntil([&] { return link->rxState().count == 7; }));
    peer->write(live.mid(7) + Hex("55 04 34 12 A0 06 AA") + LiveValues(0x6C));
    peer->flush();
    ASSERT_TRUE(WaitUntil([&] { return !captions.isEmpty(); }));
    ASSERT_EQ(rec.replies.size(), 2u);
    EXPECT_EQ(rec.replies[1].second, (std::vector<uint8_t>{0x34, 0x12, 0xA0, 0x06}));
    EXPECT_EQ(captions, QStringList{LocaleTimeOfDay(QTime(12, 0, 0)) + " Broken packet: 92 16 6C"});
}

TEST_F(TcpFixture, PeerCloseEndsTheConnectionOwnDisconnectIsNoPeerCloseTheWatcherGivesUp) {
    link->setAutoReconnect(true);
    ConnectAndAccept();
    QSignalSpy state(link.get(), &TcpLink::ConnectionStateChanged);
    QSignalSpy lost(link.get(), &DeviceLink::linkLost);
    ASSERT_TRUE(WaitUntil([&] { return state.count() == 1; }));
    link->SetRefreshTimer(false);
    peer->write(Hex("94 01 00 6B"));  // a last reply right before the close still arrives
    peer->close();
    ASSERT_TRUE(WaitUntil([&] { return state.count() == 2; }));
    EXPECT_FALSE(state.at(1).at(0).toBool() || connected || link->PortOpen());
    EXPECT_EQ(
        std::tuple(lost.count(), LinkTexts::SocketStateNumber(link->socketState(), link->errored()),
                   rec.replies.size()),
        std::tuple(qsizetype{1}, 0, size_t{1}));
    // Back by itself, polling still off as it was at the loss.
    ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections() && connected; }));
    EXPECT_FALSE(link->RefreshTimerEnabled() || link->requestTimer().isActive());
    peer = server.nextPendingConnection();
    QSignalSpy status(link.get(), &TcpLink::socketStatus);
    link->Disconnect();
    EXPECT_FALSE(connected || link->requestTimer().isActive());
    ASSERT_TRUE(WaitUntil([&] {  // the server saw the close, and a status tick came after
        return peer->state() == QAbstractSocket::UnconnectedState && status.count() > 1;
    }));
    EXPECT_EQ(std::tuple(state.count(), lost.count()), std::tuple(qsizetype{2}, qsizetype{1}));

    // Nothing listens: the watcher counts eleven ticks, gives up on the
    // twelfth and says so once.
    server.close();
    QSignalSpy told(link.get(), &TcpLink::relayNotFound);
    QSignalSpy watched(&link->TimerConnectionMaker(), &QTimer::timeout);
    link->Connect(settings);
    ASSERT_TRUE(WaitUntil([&] { return !link->TimerConnectionMaker().isActive(); }));
    EXPECT_EQ(std::tuple(watched.count(), told.count()), std::tuple(qsizetype{12}, qsizetype{1}));
}

namespace {

// The windows, as the connect button's controller sees them.
struct LinkWindows : ConnectionWindows {
    QStringList relayHosts;  // shown in each new TCP window
    int burnerLoads = 0;
    void ShowTcpLink(TcpLink&, const QString& host) override { relayHosts << host; }
    void LoadBurnerWindow() override { ++burnerLoads; }
};

}  // namespace

// The connect button: the link the check box chooses, made active and opened
// with the boxes' values; the serial boxes stored first; an open error told
// with the port's name and the port left closed; the burner window loaded
// after every connect; the caption following LinkConnected.
TEST(ConnectionController, OpensTheChosenLinkWithTheBoxesAndTheCaptionFollows) {
    QTemporaryDir dir;
    AppContext ctx;
    MessageLog log(dir.path());
    ConnectionController c(ctx, log, Clock::System());
    LinkWindows w;
    c.setWindows(&w);
    SerialLink& serial = *c.serialLink();
    const QString ini = dir.filePath("store.ini");
    c.setSettingsOpener([&] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); });
    QStringList told;
    QObject::connect(&ctx, &AppContext::userNotice, [&](const QString& t) { told << t; });
    Pty pty;
    c.setTexts({"/dev/tuvik-no-such-port", "57600", "250"});
    c.Toggle();
    c.setTexts({pty.path(), "0", "250"});  // a speed the port cannot take closes it again
    c.Toggle();
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[0].startsWith("Error OpenPort: ") &&
                told[0].contains("/dev/tuvik-no-such-port"));
    EXPECT_EQ(told[1], "Error OpenPort: " + kTextCannotSetRate + " (" + pty.path() + ")");
    EXPECT_FALSE(ctx.LinkConnected() || serial.PortOpen());
    EXPECT_EQ(c.buttonCaption(), "Connect");

    c.setTexts({pty.path(), "57600 baud", " 250ms"});
    c.Toggle();
    EXPECT_TRUE(ctx.activeLink() == &serial && ctx.LinkConnected() && told.size() == 2);
    EXPECT_EQ(std::tuple(c.buttonCaption(), w.burnerLoads, serial.requestTimer().interval()),
              std::tuple(QString("Disconnect"), 3, 250));
    QSettings store(ini, QSettings::IniFormat);
    EXPECT_EQ(QStringList({store.value("Settings/ComPort").toString(),
                           store.value("Settings/ComSpeed").toString(),
                           store.value("Settings/RefreshRate").toString()}),
              QStringList({pty.path(), "57600", "250"}));
    c.Toggle();
    EXPECT_FALSE(ctx.LinkConnected() || serial.PortOpen());
    EXPECT_EQ(c.buttonCaption(), "Connect");

    // Over TCP: a new window showing the relay typed before (the default once
    // emptied), made active and connected with the refresh period.
    QTcpServer relay;
    ASSERT_TRUE(relay.listen(QHostAddress::LocalHost, 0));
    TcpSettings relaySettings;
    relaySettings.port = relay.serverPort();
    c.setRelay(relaySettings);
    c.setRelayHost("");
    c.setUseTcp(true);
    c.Toggle();
    ASSERT_EQ(w.relayHosts, QStringList{"127.0.0.1"});
    ASSERT_NE(c.tcpLink(), nullptr);
    EXPECT_EQ(ctx.activeLink(), c.tcpLink());
    EXPECT_EQ(c.tcpLink()->Endpoint(), "127.0.0.1:" + QString::number(relay.serverPort()));
    EXPECT_EQ(std::tuple(c.tcpLink()->requestTimer().interval(), w.burnerLoads),
              std::tuple(250, 4));
    EXPECT_TRUE(WaitUntil([&] { return c.buttonCaption() == "Disconnect"; }));
}

TEST(QuietTime, HoldsUntilTheSecondMovesOnAndNeverBeyondOneSecond) {
    QDateTime wall(QDate(2026, 12, 5), QTime(12, 0, 0, 100));
    int64_t mono = 100000;
    Clock c;
    c.setSystem([&] { return wall.toMSecsSinceEpoch(); });
    c.setMonotonic([&] { return mono * 1000; });
    QuietTime q;
    EXPECT_FALSE(q.Holding(c)) << "nothing discarded yet";
    q.MarkBroken(c);
    wall.setTime(QTime(12, 0, 0, 999));
    EXPECT_TRUE(q.Holding(c)) << "same second";
    wall = QDateTime(QDate(2026, 12, 6), QTime(0, 0, 0, 0));
    EXPECT_FALSE(q.Holding(c)) << "midnight moves the second on too";
    q.MarkBroken(c);  // a wall clock that stands still: the monotonic limit ends the hold
    mono += QuietTime::kMaxHoldMs - 1;
    EXPECT_TRUE(q.Holding(c));
    mono += 1;
    EXPECT_FALSE(q.Holding(c));
}

TEST(LinkTexts, TimesWithoutTheZonePortNamesAndWhatTheLinkWindowsShow) {
    const QTime t(13, 5, 7);
    for (const QLocale& l : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        const QString text = LocaleTimeOfDay(t, l);
        const QString withZone = l.toString(t, QLocale::LongFormat);
        EXPECT_TRUE(text.contains(QStringLiteral("05:07")) && withZone.startsWith(text) &&
                    withZone.size() > text.size())
            << text.toStdString() << " / " << withZone.toStdString();
    }
    EXPECT_EQ(SerialLink::PortNameFor(QStringLiteral(" 2 ")), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(
        QStringList({LinkTexts::SerialCaption(true, {}, t), LinkTexts::SerialCaption(false, {}, t),
                     LinkTexts::SerialCaption(false, "gone", t), LinkTexts::DeviceStartedCaption(5, t),
                     LinkTexts::NoRelayText("127.0.0.1", 10001)}),
        QStringList({"Connect True", "Connect False", LocaleTimeOfDay(t) + "  Error gone",
                     "Device started (5) " + LocaleTimeOfDay(t),
                     "No connection to the TCP relay at 127.0.0.1:10001. Check the relay "
                     "and connect again."}));
    using S = QAbstractSocket;
    const std::tuple<S::SocketState, bool, int> states[] = {
        {S::UnconnectedState, false, 0}, {S::UnconnectedState, true, 9},
        {S::BoundState, false, 1},       {S::ListeningState, false, 2},
        {S::HostLookupState, false, 4},  {S::ConnectingState, false, 6},
        {S::ConnectedState, false, 7},   {S::ClosingState, false, 8}};
    for (const auto& [state, errored, number] : states) {
        EXPECT_EQ(LinkTexts::SocketStateNumber(state, errored), number) << state;
    }
}
