// The main window against the simulated controller, in-process, over a
// pseudo-terminal and over the loopback TCP relay: sending a loop's settings
// to every loop, and every way a send can fail. (Live values and reading a
// loop's settings are part of the operator walk-through.)
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <functional>

#include "E2E.h"
#include "FaultModes.h"
#include "RecordingDialogs.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "pid/PidEditorWidget.h"
#include "pid/PidSettingsSend.h"
#include "shell/Session.h"
#include "shell/frmPID.h"
#include "support/EventLog.h"
#include "support/ExchangeGuard.h"

using namespace tuvik;
using namespace tuvik::sim;
using namespace std::chrono_literals;
using tuvik::test::Expect;
using tuvik::test::FaultMode;
using tuvik::test::FaultModes;
using tuvik::test::Pump;
using tuvik::test::RecordingDialogs;
using tuvik::test::Via;
using tuvik::test::ViaParamName;
using tuvik::test::WaitUntil;

namespace {

const QString kNotSuccessful = QStringLiteral("PID settings upload not successfull!");
const QString kSendError = QStringLiteral(
    "ERROR sending parameters! Please try again. False parameters may drive the system unstable!");

// Editor values for a loop, each different so that a misplaced byte shows.
struct LoopValues {
    QStringList boxes;
    bool automatic;
    int manual;
};

LoopValues ValuesFor(int index) {
    if (index == 0) {
        return {{"2100.5", "450", "20", "150.25", "0.5", "1.5", "2", "4", "0.75", "-3.5", "1.25",
                 "0.05", "2", "3", "4", "1.5", "2.5", "3.5"},
                true,
                33};
    }
    const QString i = QString::number(index);
    return {{"500." + i, "90", "4" + i, "2.5", "1.5", "0.25", "0.5", "3", "0.6", "1." + i, "0.4",
             "0.01", "1", "1", "1", "1", "1", "1"},
            index != 2,
            10 + index};
}

class MainWindowE2E : public ::testing::TestWithParam<Via> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SimServerOptions o;
        o.pty = true;
        o.ptyLink = dir.filePath("tty");
        o.tcpPort = 0;
        o.tickMs = 10;
        sim = std::make_unique<SimServer>(o);
        QString error;
        ASSERT_TRUE(sim->Start(&error)) << error.toStdString();

        session = std::make_unique<Session>(
            AppPaths(dir.path(), dir.path(), {QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
        frmPID::Options opts;
        opts.openSettings = [this] {
            return std::make_unique<QSettings>(dir.filePath("store.ini"), QSettings::IniFormat);
        };
        opts.dialogs = &dialogs;
        opts.prepareClient = [this](frmClient& c) {
            c.link().SetRemotePort(relayPort != 0 ? relayPort : sim->TcpPort());
        };
        w = std::make_unique<frmPID>(*session, std::move(opts));
        w->Form_Load();
        w->editor().sender().setPauses(20, 200, 100);
        Find<QLineEdit>("txtRefresh")->setText("100");
    }
    void TearDown() override {
        w.reset();
        session.reset();
        sim.reset();
    }

    template <typename T>
    T* Find(const char* name) {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QLineEdit* Box(int i) {
        return w->findChild<QLineEdit*>(QStringLiteral("TextAutoPID_%1").arg(i));
    }
    void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }

    bool Connect() {
        if (GetParam() == Via::Pty) {
            Find<QLineEdit>("txtComPort")->setText(sim->PtyLink());
        } else {
            Find<QCheckBox>("chkUseTCP")->setChecked(true);
        }
        Click("btnCon");
        return WaitUntil([this] {
            return session->ctx().LinkConnected() &&
                   (GetParam() == Via::Pty ? sim->PtyClientPresent() : sim->TcpClientConnected());
        });
    }
    DeviceLink* link() { return session->ctx().activeLink(); }
    uint64_t Commits() { return sim->device().stats().perCommand[Cmd::Commit]; }
    std::vector<uint8_t> Memory() {
        const auto m = sim->device().ControllerMemory();
        return {m.begin(), m.end()};
    }
    bool SendFinished() {
        return !w->editor().sender().running() && Find<QPushButton>("cmdOK")->isEnabled();
    }
    void Fill(const LoopValues& v) {
        for (int i = 0; i < v.boxes.size(); ++i) {
            Box(i)->setText(v.boxes[i]);
        }
        w->findChild<QWidget*>("OptionPIDmode_0")->setProperty("checked", v.automatic);
        w->findChild<QWidget*>("OptionPIDmode_1")->setProperty("checked", !v.automatic);
        w->findChild<QWidget*>("SliderManual")->setProperty("value", v.manual);
        Find<QCheckBox>("chkEnable")->setChecked(true);
        Find<QCheckBox>("chkRemoteSetpoint")->setChecked(false);
    }

    bool SentOk() {
        return w->windowTitle().endsWith(QStringLiteral(" PID settings sent successfully!"));
    }
    // Reads the loop's settings; true when the read was taken as a success.
    bool GetCurrentValues(const std::function<void()>& meanwhile = {}) {
        w->setWindowTitle(QString());
        Click("btnGetCurrentValues");
        if (meanwhile) {
            meanwhile();
        }
        auto* btn = Find<QPushButton>("btnGetCurrentValues");
        EXPECT_TRUE(WaitUntil([&] { return btn->isEnabled(); }));
        Pump(50ms);
        return w->windowTitle().startsWith(QStringLiteral("PID luku onnistui "));
    }

    QTemporaryDir dir;
    quint16 relayPort = 0;  // another relay than the simulator's, when set
    RecordingDialogs dialogs;
    RecordingEventLog events;
    ScopedEventLog scopedLog{events};
    std::unique_ptr<SimServer> sim;
    std::unique_ptr<Session> session;
    std::unique_ptr<frmPID> w;
};

}  // namespace

TEST_P(MainWindowE2E, AConfirmedSendLandsInTheControllerForEveryLoop) {
    ASSERT_TRUE(Connect());
    auto* combo = Find<QComboBox>("comboPID");
    combo->addItem(session->loops()[2].GetDesc());
    combo->addItem(session->loops()[3].GetDesc());
    const int bases[] = {700, 800, 900, 1000};
    for (int index = 0; index < 4; ++index) {
        SCOPED_TRACE(index);
        combo->setCurrentIndex(index);
        const LoopValues v = ValuesFor(index);
        Fill(v);
        const std::vector<uint8_t> before = Memory();
        const uint64_t commits = Commits();
        dialogs.clear();
        Click("cmdOK");
        ASSERT_TRUE(WaitUntil([&] { return !dialogs.shown.empty(); }));
        EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("PID control settings confirmation."));
        EXPECT_FALSE(link()->RefreshTimerEnabled()) << "no polling during the send";
        ASSERT_TRUE(WaitUntil([&] { return SendFinished(); }));
        ASSERT_EQ(dialogs.shown.size(), 1u) << dialogs.lastText().toStdString();
        EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral(" PID settings sent successfully!")));
        ASSERT_TRUE(WaitUntil([&] { return Commits() == commits + 1; })) << "34 00 CB";
        EXPECT_TRUE(link()->RefreshTimerEnabled());

        const std::vector<uint8_t> after = Memory();
        const int base = bases[index];
        for (size_t a = 0; a < after.size(); ++a) {
            const bool inBlock =
                a >= size_t(base) && a < size_t(base + 72) && a != size_t(base + 7);
            if (!inBlock) {
                ASSERT_EQ(after[a], before[a]) << "address " << a;
            }
        }
        const PidParams p = PidParams::Decode(std::span<const uint8_t>(after).subspan(base, 72));
        const auto f = [&](int box) { return v.boxes[box].toFloat(); };
        EXPECT_EQ(p.mode, v.automatic ? 0x02 : 0x00);
        EXPECT_TRUE(p.enable);
        EXPECT_FALSE(p.remoteSetpoint);
        EXPECT_FALSE(p.inverted);
        EXPECT_EQ(p.measurePort, uint8_t(f(12)));
        EXPECT_EQ(p.forwardPort, uint8_t(f(13)));
        EXPECT_EQ(p.remoteSetpointPort, uint8_t(f(14)));
        EXPECT_EQ(p.manualVal, float(v.manual));
        EXPECT_EQ(p.setpoint, f(0));
        EXPECT_EQ(p.maxContr, f(1));
        EXPECT_EQ(p.minContr, f(2));
        EXPECT_EQ(p.K, f(3));
        EXPECT_EQ(p.Ti, f(4));
        EXPECT_EQ(p.Td, f(5));
        EXPECT_EQ(p.tt, f(6));
        EXPECT_EQ(p.N, f(7));
        EXPECT_EQ(p.b, f(8));
        EXPECT_EQ(p.forwardK, f(9));
        EXPECT_EQ(p.Tm, f(10));
        EXPECT_EQ(p.h, f(11));
        EXPECT_EQ(p.measureScale, f(15));
        EXPECT_EQ(p.forwardScale, f(16));
        EXPECT_EQ(p.setpointScale, f(17));
    }
}

TEST_P(MainWindowE2E, ARefusedWriteIsReportedAndNothingIsCommitted) {
    ASSERT_TRUE(Connect());
    Fill(ValuesFor(0));
    const uint64_t commits = Commits();
    sim->faults().SetNext(Fault::NakWrite, 1);
    Click("cmdOK");
    ASSERT_TRUE(WaitUntil([&] { return SendFinished(); }));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].title, QStringLiteral("PID error"));
    EXPECT_EQ(dialogs.shown[1].text, kNotSuccessful);
    EXPECT_EQ(dialogs.shown[1].icon, UserDialogs::Icon::Critical);
    Pump(200ms);
    EXPECT_EQ(Commits(), commits);
    EXPECT_TRUE(link()->RefreshTimerEnabled());
    EXPECT_FALSE(ExchangeGuard::Busy());
}

TEST_P(MainWindowE2E, ADroppedAcknowledgementIsNotSuccess) {
    ASSERT_TRUE(Connect());
    Fill(ValuesFor(0));
    // Quiet line first, so that the dropped reply is an acknowledgement.
    link()->SetRefreshTimer(false);
    Pump(300ms);
    const uint64_t commits = Commits();
    // Once the confirmation is open: the status read before it is answered.
    dialogs.onConfirm = [&] { sim->faults().SetNext(Fault::DropReply, 1); };
    Click("cmdOK");
    ASSERT_TRUE(WaitUntil([&] { return SendFinished(); }));
    EXPECT_EQ(dialogs.lastText(), kNotSuccessful);
    EXPECT_EQ(sim->faults().Hits(Fault::DropReply), 1u);
    Pump(200ms);
    EXPECT_EQ(Commits(), commits);
}

TEST_P(MainWindowE2E, CancelWritesNothingAndPollingGoesOn) {
    ASSERT_TRUE(Connect());
    Fill(ValuesFor(0));
    const uint64_t writes = sim->device().stats().writes;
    const std::vector<uint8_t> before = Memory();
    dialogs.confirmAnswers = {false};
    Click("cmdOK");
    EXPECT_FALSE(w->editor().sender().running());
    Pump(300ms);
    EXPECT_EQ(sim->device().stats().writes, writes);
    EXPECT_EQ(Memory(), before);
    EXPECT_TRUE(link()->RefreshTimerEnabled());
}

TEST_P(MainWindowE2E, AVanishedDeviceEndsTheSendWithTheFailureReport) {
    ASSERT_TRUE(Connect());
    Fill(ValuesFor(1));
    Find<QComboBox>("comboPID")->setCurrentIndex(1);
    Fill(ValuesFor(1));
    w->editor().sender().setPauses(150, 3000, 100);
    DeviceLink* active = link();
    const uint64_t writes = sim->device().stats().writes;
    Click("cmdOK");
    ASSERT_TRUE(WaitUntil([&] { return sim->device().stats().writes >= writes + 2; }));
    sim->CloseConnections();
    ASSERT_TRUE(WaitUntil([&] { return SendFinished(); }, 6000ms));
    EXPECT_EQ(dialogs.shown.back().kind, QStringLiteral("confirm"));
    EXPECT_EQ(dialogs.lastText(), kSendError);
    EXPECT_TRUE(events.texts().last().startsWith(QStringLiteral("Error Sendpid: ")));
    EXPECT_LT(sim->device().stats().writes, writes + 6) << "the send stopped";
    // The link object is still there: its polling is switched back on.
    ASSERT_EQ(link(), active);
    EXPECT_TRUE(active->RefreshTimerEnabled());
    EXPECT_FALSE(ExchangeGuard::Busy());
    EXPECT_EQ(Find<QPushButton>("btnCon")->text(), QStringLiteral("Connect"));
}

// Every fault mode of the simulator during a send: either a failure report
// with nothing committed, or success with the values in the controller.
TEST_P(MainWindowE2E, SendUnderEveryFaultModeNeverClaimsAFalseSuccess) {
    int setpoint = 100;
    for (const FaultMode& mode : FaultModes(Expect::Fails)) {
        SCOPED_TRACE(mode.name);
        if (!link() || !link()->PortOpen()) {
            ASSERT_TRUE(Connect());
        }
        Fill(ValuesFor(0));
        Box(PidBox::Setpoint)->setText(QString::number(++setpoint));
        const uint64_t commits = Commits();
        dialogs.clear();
        w->setWindowTitle(QString());
        mode.set(sim->faults());
        Click("cmdOK");
        ASSERT_TRUE(WaitUntil([&] { return SendFinished(); }, 15s));
        const int delay = sim->faults().Delay();
        sim->faults().ClearAll();
        Pump(std::chrono::milliseconds(300 + delay));  // late replies, a commit, are in
        const PidParams p = PidParams::Decode(std::span<const uint8_t>(Memory()).subspan(700, 72));
        if (SentOk()) {
            EXPECT_NE(mode.expect, Expect::Fails);
            EXPECT_EQ(dialogs.shown.size(), 1u) << "only the confirmation";
            EXPECT_EQ(p.setpoint, float(setpoint)) << "success with the values in the controller";
            EXPECT_EQ(Commits(), commits + 1);
        } else {
            EXPECT_NE(mode.expect, Expect::Succeeds);
            ASSERT_EQ(dialogs.shown.size(), 2u);
            EXPECT_TRUE(dialogs.lastText() == kNotSuccessful || dialogs.lastText() == kSendError)
                << dialogs.lastText().toStdString();
            EXPECT_EQ(Commits(), commits);
        }
        EXPECT_FALSE(ExchangeGuard::Busy());
    }
}

// A peer that takes the connection and never answers: the loopback relay of
// the test, or the simulator with its replies switched off on the pty.
TEST_P(MainWindowE2E, ASilentPeerFailsTheSendAndTheRead) {
    QTcpServer relay;
    std::vector<std::unique_ptr<QTcpSocket>> held;
    if (GetParam() == Via::Tcp) {
        ASSERT_TRUE(relay.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&relay, &QTcpServer::newConnection, [&] {
            while (relay.hasPendingConnections()) {
                held.emplace_back(relay.nextPendingConnection());
            }
        });
        relayPort = relay.serverPort();
        Find<QCheckBox>("chkUseTCP")->setChecked(true);
        Click("btnCon");
        ASSERT_TRUE(WaitUntil([&] { return !held.empty() && session->ctx().LinkConnected(); }));
    } else {
        ASSERT_TRUE(Connect());
        sim->faults().SetStopped(true);
    }
    EXPECT_FALSE(GetCurrentValues());
    ASSERT_FALSE(dialogs.messages.empty()) << "the user is told";
    EXPECT_EQ(dialogs.messages.last().text, PidEditorWidget::kNoStatusText);
    EXPECT_TRUE(link()->RefreshTimerEnabled());

    Fill(ValuesFor(0));
    dialogs.clear();
    Click("cmdOK");
    ASSERT_TRUE(WaitUntil([&] { return SendFinished(); }, 10s));
    EXPECT_FALSE(SentOk());
    EXPECT_EQ(dialogs.lastText(), kNotSuccessful);
    EXPECT_TRUE(link()->RefreshTimerEnabled());
    EXPECT_FALSE(ExchangeGuard::Busy());
}

TEST_P(MainWindowE2E, GetCurrentValuesFromAVanishingDeviceIsNoReadAndTheLinkComesBack) {
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(GetCurrentValues([&] { sim->CloseConnections(); }));
    EXPECT_EQ(dialogs.messages.last().text, PidEditorWidget::kNoStatusText);
    ASSERT_TRUE(WaitUntil([&] { return !session->ctx().LinkConnected(); }));
    EXPECT_TRUE(link()->RefreshTimerEnabled());
    ASSERT_TRUE(Connect());
    dialogs.clear();
    EXPECT_TRUE(GetCurrentValues());
    EXPECT_TRUE(dialogs.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Links, MainWindowE2E, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);

// With TUVIK_SCREENSHOT_DIR set, a picture of the main window after a few
// seconds of live data goes there as main-window.png.
TEST(MainWindowScreenshot, WrittenWhenAskedFor) {
    const QString out = qEnvironmentVariable("TUVIK_SCREENSHOT_DIR");
    if (out.isEmpty()) {
        GTEST_SKIP() << "TUVIK_SCREENSHOT_DIR not set";
    }
    QTemporaryDir dir;
    SimServerOptions o;
    o.ptyLink = dir.filePath("tty");
    o.tickMs = 10;
    SimServer sim(o);
    ASSERT_TRUE(sim.Start());
    RecordingDialogs dialogs;
    Session session(AppPaths(dir.path(), dir.path(), {QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
    frmPID::Options opts;
    opts.openSettings = [&] {
        return std::make_unique<QSettings>(dir.filePath("store.ini"), QSettings::IniFormat);
    };
    opts.dialogs = &dialogs;
    frmPID w(session, std::move(opts));
    w.Form_Load();
    w.resize(1280, 720);
    w.findChild<QLineEdit*>("txtComPort")->setText(sim.PtyLink());
    w.findChild<QLineEdit*>("txtRefresh")->setText("100");
    QTest::mouseClick(w.findChild<QPushButton*>("btnCon"), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return sim.PtyClientPresent(); }));
    Pump(1500ms);
    // Read the loop's settings into the editor and move the setpoint, so
    // that the trend shows the loop answering.
    QTest::mouseClick(w.findChild<QPushButton*>("btnGetCurrentValues"), Qt::LeftButton);
    Pump(600ms);
    for (int i = 0; i < 6; ++i) {
        QTest::mouseClick(w.findChild<QPushButton*>("Command2"), Qt::LeftButton);
        Pump(50ms);
    }
    Pump(6000ms);
    QDir().mkpath(out);
    ASSERT_TRUE(w.grab().save(QDir(out).filePath("main-window.png")));
}
