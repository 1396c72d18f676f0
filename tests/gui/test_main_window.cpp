// The main window offscreen: start-up, the connection panel, the shell
// buttons, the editor's controls and the end of the program. Controls are
// found by their object names; message boxes are answered by a recorder.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "PtyPeer.h"
#include "RecordingDialogs.h"
#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "link/W32_speed_api.h"
#include "pid/PidEditorWidget.h"
#include "shell/Session.h"
#include "shell/frmPID.h"
#include "support/EventLog.h"
#include "support/Numbers.h"
#include "support/WriteCheck.h"
#include "trend/TrendChartWidget.h"

using namespace tuvik;
using namespace std::chrono_literals;
using tuvik::test::Hex;
using tuvik::test::Pump;
using tuvik::test::RecordingDialogs;
using tuvik::test::RecordingLink;
using tuvik::test::SeparatorGuard;
using tuvik::test::WaitUntil;

namespace {

class MainWindow : public ::testing::Test {
  protected:
    void TearDown() override {
        w.reset();
        session.reset();
    }

    QString ini() const { return dir.filePath("store.ini"); }

    void Start(const QStringList& dataDirs = {}) {
        session = std::make_unique<Session>(AppPaths(dir.path(), dir.path(), dataDirs));
        frmPID::Options o;
        o.openSettings = [this] {
            return std::make_unique<QSettings>(ini(), QSettings::IniFormat);
        };
        o.dialogs = &dialogs;
        o.prepareClient = [this](frmClient& c) {
            if (relayPort != 0) {
                c.link().SetRemotePort(relayPort);
            }
        };
        w = std::make_unique<frmPID>(*session, std::move(o));
        w->Form_Load();
    }

    template <typename T>
    T* Find(const QString& name) {
        T* c = w->findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    QLineEdit* Box(int i) { return Find<QLineEdit>(QStringLiteral("TextAutoPID_%1").arg(i)); }
    void Click(const char* name) {
        QPushButton* b = Find<QPushButton>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QString Text(const char* name) {
        if (auto* l = w->findChild<QLabel*>(QString::fromLatin1(name))) {
            return l->text();
        }
        if (auto* e = w->findChild<QLineEdit*>(QString::fromLatin1(name))) {
            return e->text();
        }
        if (auto* b = w->findChild<QPushButton*>(QString::fromLatin1(name))) {
            return b->text();
        }
        ADD_FAILURE() << name;
        return {};
    }
    AppContext& ctx() { return session->ctx(); }

    QTemporaryDir dir;
    RecordingDialogs dialogs;
    RecordingEventLog events;
    ScopedEventLog scopedLog{events};
    SeparatorGuard separator;
    quint16 relayPort = 0;
    std::unique_ptr<Session> session;
    std::unique_ptr<frmPID> w;
};

}  // namespace

TEST_F(MainWindow, EveryControlWithItsCaptionAndToolTip) {
    Start();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("PID settings, ver %1.%2%3")
                                    .arg(TUVIK_VERSION_MAJOR)
                                    .arg(TUVIK_VERSION_MINOR)
                                    .arg(TUVIK_VERSION_PATCH));
    EXPECT_EQ(Find<QGroupBox>("Frame9")->title(), QStringLiteral("Com settings"));
    EXPECT_EQ(Find<QLineEdit>("txtComPort")->toolTip(), QStringLiteral("Com Port number"));
    EXPECT_EQ(Find<QLineEdit>("txtSpeed")->toolTip(),
              QStringLiteral("Port speed: 38400, 57600,76800"));
    EXPECT_EQ(Find<QCheckBox>("chkUseTCP")->text(), QStringLiteral("use TCP connection"));
    const std::pair<const char*, const char*> buttons[] = {
        {"btnCon", "Connect"},
        {"btnFlamora", "Flamora"},
        {"Command6", "Msg"},
        {"bntADinputs", "ADinputs"},
        {"btnBoot", "Boot device"},
        {"Command1", "Command1"},
        {"Command2", "+"},
        {"Command3", "-"},
        {"Command4", "e"},
        {"Command5", "dis"},
        {"btnGetCurrentValues", "Get current values"},
        {"cmdOK", "Apply changes"},
        {"cmdCancel", "Quit"},
        {"cmdDefaults", "Load defaults"},
        {"cmdLoadSettings", "Load settings"},
        {"cmdSaveSettings", "Save settings"}};
    for (const auto& [name, text] : buttons) {
        EXPECT_EQ(Text(name), QString::fromLatin1(text)) << name;
    }
    EXPECT_EQ(Find<QPushButton>("cmdOK")->toolTip(), QStringLiteral("Send new settings to PLC"));
    EXPECT_EQ(Find<QPushButton>("btnGetCurrentValues")->toolTip(),
              QStringLiteral("Get actual values from PLC"));
    EXPECT_EQ(Find<QPushButton>("cmdSaveSettings")->toolTip(),
              QStringLiteral("Save your own settings to disk"));
    EXPECT_EQ(Find<QPushButton>("cmdLoadSettings")->toolTip(),
              QStringLiteral("Load your own setting from disk"));
    EXPECT_EQ(Find<QPushButton>("cmdDefaults")->toolTip(), QStringLiteral("Load factory setting"));
    EXPECT_NE(Find<QWidget>("Frame1"), nullptr);
    EXPECT_NE(Find<TrendChartWidget>("Picture1"), nullptr);
    EXPECT_EQ(Find<QRadioButton>("OptionPID_0")->text(), QStringLiteral("TICZA-107"));
    EXPECT_TRUE(Find<QRadioButton>("OptionPID_0")->isChecked());
    EXPECT_EQ(Find<QRadioButton>("OptionPID_1")->text(), QStringLiteral("PICZA-209"));
    EXPECT_EQ(Find<QRadioButton>("OptionPIDmode_0")->text(), QStringLiteral("Automatic"));
    EXPECT_EQ(Find<QRadioButton>("OptionPIDmode_1")->text(), QStringLiteral("Manual"));
    EXPECT_EQ(Find<QCheckBox>("chkEnable")->text(), QStringLiteral("Enable"));
    EXPECT_EQ(Find<QCheckBox>("chkRemoteSetpoint")->text(), QStringLiteral("Remote setpoint"));
    EXPECT_EQ(Find<QSlider>("SliderManual")->maximum(), 100);
    EXPECT_EQ(Find<QSlider>("SliderSetpoint")->maximum(), 350);
    const QStringList captions = {"Setpoint value",
                                  "Max controller out (%)",
                                  "Min controller out (%)",
                                  "K",
                                  "Ti",
                                  "Td",
                                  "Tt",
                                  "N",
                                  "b",
                                  "forward connection K",
                                  "Tm",
                                  "PID cycle h",
                                  "Measure port",
                                  "Forward port",
                                  "Setpoint port",
                                  "Measure scale",
                                  "Forward scale",
                                  "Setpoint scale"};
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(Find<QLabel>(QStringLiteral("Label2_%1").arg(i))->text(), captions[i]);
        EXPECT_NE(Box(i), nullptr);
    }
    EXPECT_EQ(Box(3)->toolTip(), QStringLiteral("PID gain"));
    EXPECT_EQ(Box(5)->toolTip(), QStringLiteral("PID derivative time"));
    QStringList texts;
    for (auto* l : w->findChildren<QLabel*>()) {
        texts << l->text();
    }
    for (const char* t :
         {"- 100%", "- 50%", "- 0%", "Current mode:", "Control signal", "Measurement", "Y_fw"}) {
        EXPECT_TRUE(texts.contains(QString::fromLatin1(t))) << t;
    }
    QStringList frames;
    for (auto* g : w->findChildren<QGroupBox*>()) {
        frames << g->title();
    }
    for (const char* t : {"Select PID loop", "PID MODE", "Automatic mode settings", "Manual",
                          "Setpoint", "PID status"}) {
        EXPECT_TRUE(frames.contains(QString::fromLatin1(t))) << t;
    }
    // The description label is blue and bold; the selector holds loops 0 and 1.
    auto* desc = Find<QLabel>("lblPIDdesc");
    EXPECT_EQ(desc->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(desc->font().bold());
    EXPECT_EQ(desc->text(), QStringLiteral("LAMBDA PID "));
    auto* combo = Find<QComboBox>("comboPID");
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Temperature PID"));
    EXPECT_EQ(combo->currentIndex(), 0);
    // After start-up the serial link is the active link, not open.
    ASSERT_NE(w->shell().serial, nullptr);
    EXPECT_EQ(ctx().activeLink(), &w->shell().serial->link());
    EXPECT_FALSE(ctx().activeLink()->PortOpen());
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->shell().message->isVisible());
    EXPECT_FALSE(w->shell().leds.LedGreen.isNull());
}

TEST_F(MainWindow, FirstStartShowsTheDefaultsAndWritesNothing) {
    Start();
    EXPECT_EQ(Text("txtComPort"), QStringLiteral("2"));
    EXPECT_EQ(Text("txtSpeed"), QStringLiteral("57600"));
    EXPECT_EQ(Text("txtRefresh"), QStringLiteral("333"));
    EXPECT_FALSE(QFile::exists(ini()));
}

TEST_F(MainWindow, StoredTextsAreShownAndAnEmptyOneGivesItsDefault) {
    {
        QSettings store(ini(), QSettings::IniFormat);
        store.setValue("Settings/ComPort", "");
        store.setValue("Settings/ComSpeed", "38400");
        store.setValue("Settings/RefreshRate", "500");
    }
    Start();
    EXPECT_EQ(Text("txtComPort"), QStringLiteral("2"));
    EXPECT_EQ(Text("txtSpeed"), QStringLiteral("38400"));
    EXPECT_EQ(Text("txtRefresh"), QStringLiteral("500"));
}

TEST_F(MainWindow, SerialConnectStoresTheLeadingNumbersAndTheButtonFollowsTheLink) {
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    Start();
    int loads = 0;
    w->loadBurnerWindow = [&] { ++loads; };
    Find<QLineEdit>("txtComPort")->setText(pty.path());
    Find<QLineEdit>("txtSpeed")->setText("57600 baud");
    Find<QLineEdit>("txtRefresh")->setText(" 250ms");
    Click("btnCon");
    EXPECT_TRUE(ctx().LinkConnected());
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Disconnect"));
    EXPECT_EQ(loads, 1);
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.lastText().toStdString();
    {
        QSettings store(ini(), QSettings::IniFormat);
        EXPECT_EQ(store.value("Settings/ComPort").toString(), pty.path());
        EXPECT_EQ(store.value("Settings/ComSpeed").toString(), QStringLiteral("57600"));
        EXPECT_EQ(store.value("Settings/RefreshRate").toString(), QStringLiteral("250"));
    }
    // Polling runs over the port.
    QByteArray got;
    ASSERT_TRUE(WaitUntil([&] {
        got += pty.Take();
        return got.contains(Hex("91 00 6E"));
    }));
    Click("btnCon");
    EXPECT_FALSE(ctx().LinkConnected());
    EXPECT_FALSE(w->shell().serial->link().PortOpen());
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Connect"));

    // The caption follows the flag, whoever changes it.
    ctx().setLinkConnected(true);
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Disconnect"));
    ctx().setLinkConnected(false);
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Connect"));
}

TEST_F(MainWindow, APortThatCannotOpenIsReportedAndLeftClosed) {
    Start();
    Find<QLineEdit>("txtComPort")->setText(" 3x");
    Find<QLineEdit>("txtComPort")->setText("/dev/tuvik-no-such-port");
    Click("btnCon");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("VUD_OV"));
    EXPECT_TRUE(dialogs.lastText().startsWith(QStringLiteral("Error OpenPort: ")));
    EXPECT_TRUE(dialogs.lastText().contains(QStringLiteral("/dev/tuvik-no-such-port")));
    EXPECT_FALSE(ctx().LinkConnected());
    EXPECT_FALSE(w->shell().serial->link().PortOpen());
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Connect"));

    // A speed the port cannot take closes it again.
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    dialogs.clear();
    Find<QLineEdit>("txtComPort")->setText(pty.path());
    Find<QLineEdit>("txtSpeed")->setText("0");
    Click("btnCon");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Error OpenPort: ") + kTextCannotSetRate +
                                      QStringLiteral(" (") + pty.path() + QStringLiteral(")"));
    EXPECT_FALSE(w->shell().serial->link().PortOpen());
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Connect"));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindow, ClosingWhileConnectedDisconnectsFirstAndEndsHalfASecondLater) {
    test::Pty pty;
    ASSERT_TRUE(pty.ok());
    Start();
    Find<QLineEdit>("txtComPort")->setText(pty.path());
    Click("btnCon");
    ASSERT_TRUE(ctx().LinkConnected());
    QSignalSpy unloaded(w.get(), &frmPID::unloaded);
    EXPECT_FALSE(w->close()) << "the first close only disconnects";
    EXPECT_FALSE(ctx().LinkConnected());
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->TimerExit().isActive());
    EXPECT_EQ(unloaded.count(), 0);
    ASSERT_TRUE(WaitUntil([&] { return unloaded.count() == 1; }, 3000ms));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->shell().serial, nullptr);
    EXPECT_EQ(w->shell().message, nullptr);
    EXPECT_EQ(ctx().activeLink(), nullptr);
}

TEST_F(MainWindow, ClosingWhenNotConnectedEndsAtOnceAndQuitDoesTheSame) {
    Start();
    QSignalSpy unloaded(w.get(), &frmPID::unloaded);
    Click("cmdCancel");
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->TimerExit().isActive());
}

TEST_F(MainWindow, EveryTcpConnectMakesANewClientWindow) {
    QTcpServer relay;
    ASSERT_TRUE(relay.listen(QHostAddress::LocalHost, 0));
    relayPort = relay.serverPort();
    Start();
    Find<QCheckBox>("chkUseTCP")->setChecked(true);
    Click("btnCon");
    ASSERT_NE(w->shell().client, nullptr);
    const QPointer<frmClient> first = w->shell().client.get();
    EXPECT_EQ(ctx().activeLink(), &first->link());
    EXPECT_TRUE(first->isVisible());
    ASSERT_TRUE(WaitUntil([&] { return ctx().LinkConnected(); }));
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Disconnect"));
    Click("btnCon");
    EXPECT_FALSE(ctx().LinkConnected());
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Connect"));
    // The operator typed another relay address into the TCP window.
    first->findChild<QLineEdit*>("txtRemoteIpAddress")->setText(QStringLiteral("localhost"));
    Click("btnCon");
    EXPECT_TRUE(first.isNull()) << "the previous window is dropped";
    ASSERT_NE(w->shell().client, nullptr);
    EXPECT_EQ(ctx().activeLink(), &w->shell().client->link());
    EXPECT_EQ(w->shell().client->findChild<QLineEdit*>("txtRemoteIpAddress")->text(),
              QStringLiteral("localhost"));
    EXPECT_EQ(w->shell().client->link().RemoteHost(), QStringLiteral("localhost"));
}

TEST_F(MainWindow, ShellButtonsSendTheirPacketsAndShowTheirWindows) {
    Start();
    RecordingLink link;
    ctx().setActiveLink(&link);
    Click("btnBoot");
    Click("Command2");
    Click("Command3");
    Click("Command4");
    Click("Command5");
    EXPECT_EQ(link.bytes, Hex("99 00 66 2B 00 D4 2D 00 D2 65 00 9A 77 00 88"));
    link.Clear();
    Find<QComboBox>("comboPID")->setCurrentIndex(1);
    EXPECT_EQ(link.bytes, Hex("80 01 01 7F"));
    EXPECT_EQ(Text("lblPIDdesc"), QStringLiteral("Temperature PID"));
    EXPECT_EQ(session->loops().selectedIndex(), 1);

    Click("Command1");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.lastText().startsWith(
        QStringLiteral("sName : PID 1\r\n\r\nsDesc: Temperature PID")));

    // Without their windows the buttons do nothing.
    Click("btnFlamora");
    Click("bntADinputs");
    Click("Command6");
    EXPECT_TRUE(w->shell().message->isVisible());

    QWidget burner;
    w->setBurnerWindow(&burner);
    Click("btnFlamora");
    EXPECT_TRUE(burner.isVisible());
    w->setBurnerWindow(nullptr);

    int made = 0;
    w->setAnalogWindowFactory([&] {
        ++made;
        return new QWidget;
    });
    Click("bntADinputs");
    Click("bntADinputs");
    EXPECT_EQ(made, 1);
    ASSERT_NE(w->shell().analog, nullptr);
    EXPECT_TRUE(w->shell().analog->isVisible());
    const QPointer<QWidget> analog = w->shell().analog;
    w->close();
    EXPECT_TRUE(analog.isNull()) << "closed with the program";
}

TEST_F(MainWindow, AlarmColoursFrame1AndCaptionsReachTheTitle) {
    Start();
    auto* frame = Find<QWidget>("Frame1");
    w->SetAlarm(true);
    EXPECT_EQ(frame->palette().color(QPalette::Window), QColor(255, 0, 0));
    w->SetAlarm(false);
    EXPECT_NE(frame->palette().color(QPalette::Window), QColor(255, 0, 0));
    ctx().setMainCaption(QStringLiteral("PID luku onnistui 12:00:00"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("PID luku onnistui 12:00:00"));
    ctx().notifyUser(QStringLiteral("disk full"));
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("disk full"));
}

TEST_F(MainWindow, KeyFilterAndSliders) {
    Start();
    QLineEdit* k = Box(3);
    k->clear();
    QTest::keyClicks(k, QStringLiteral("1,5a-x2"));
    EXPECT_EQ(k->text(), QStringLiteral("1.5-2"));
    QTest::keyClick(k, Qt::Key_Backspace);
    EXPECT_EQ(k->text(), QStringLiteral("1.5-"));

    auto* manual = Find<QSlider>("SliderManual");
    manual->setValue(30);
    EXPECT_EQ(Text("LabelManualValue"), QStringLiteral("30  %"));
    auto* setpoint = Find<QSlider>("SliderSetpoint");
    setpoint->setValue(120);
    EXPECT_EQ(Text("LabelSetpointValue"), QStringLiteral("120  %"));
    EXPECT_EQ(Box(0)->text(), QStringLiteral("120"));

    // Filling the editor from a loop keeps the setpoint's decimals in its box
    // and puts the sliders at the rounded values.
    clsPID& loop = session->loops()[0];
    ASSERT_TRUE(loop.Setpoint(QStringLiteral("6.5")).ok());
    ASSERT_TRUE(loop.ManualVal(QStringLiteral("42.5")).ok());
    loop.Enable(1);
    w->editor().ShowLoopSettings();
    EXPECT_EQ(Box(0)->text(), QStringLiteral("6.5"));
    EXPECT_EQ(setpoint->value(), 6);
    EXPECT_EQ(manual->value(), 42);
    EXPECT_TRUE(Find<QCheckBox>("chkEnable")->isChecked());

    // A setpoint beyond the slider: the slider stops at its end, the rest of
    // the editor is still filled, and the event log says why.
    ASSERT_TRUE(loop.Setpoint(QStringLiteral("1200")).ok());
    loop.Enable(0);
    w->editor().ShowLoopSettings();
    EXPECT_EQ(Box(0)->text(), QStringLiteral("1200"));
    EXPECT_EQ(setpoint->value(), 350);
    EXPECT_FALSE(Find<QCheckBox>("chkEnable")->isChecked());
    EXPECT_TRUE(
        events.texts().contains(QStringLiteral("Error TextRefresh Invalid property value")));
}

TEST_F(MainWindow, ValidationShowsItsMessageAndKeepsDotsUnderACommaLocale) {
    Start();
    SetDecimalSeparator(QLatin1Char(','));
    Find<QComboBox>("comboPID")->setCurrentIndex(1);
    const QStringList good = {"50", "90", "10", "2", "3", "0.5", "1", "3", "0.8", "0", "1"};
    for (int i = 0; i < good.size(); ++i) {
        Box(i)->setText(good[i]);
    }
    EXPECT_EQ(w->editor().ValidateSettings(), QStringLiteral("OK"));
    EXPECT_EQ(Box(5)->text(), QStringLiteral("0.5"));
    EXPECT_EQ(session->loops()[1].Settings().Td, 0.5f);

    Box(0)->setText("700");
    Box(3)->setText("11");
    EXPECT_EQ(w->editor().ValidateSettings(), QStringLiteral("Error"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("VUD_OV"));
    EXPECT_EQ(dialogs.lastText(), QStringLiteral(" Error on PID setting: \r\n K must be 0-10!"));
    EXPECT_EQ(session->loops()[1].Setpoint(), QStringLiteral("700"));
    EXPECT_EQ(Box(5)->text(), QStringLiteral("0.5"));

    Box(4)->clear();
    Box(3)->setText("1");
    EXPECT_EQ(w->editor().ValidateSettings(), QStringLiteral("Error"));
    EXPECT_EQ(dialogs.lastText(), QStringLiteral(" Error on PID setting: Type mismatch\r\n"));
}

TEST_F(MainWindow, GetCurrentValuesReadsAndPollsAgainAfterTheTimer) {
    Start();
    RecordingLink link;
    ctx().setActiveLink(&link);
    auto* btn = Find<QPushButton>("btnGetCurrentValues");
    Click("btnGetCurrentValues");
    EXPECT_EQ(link.bytes, Hex("81 00 7E"));
    EXPECT_EQ(link.refreshCalls, QList<bool>{false});
    EXPECT_FALSE(btn->isEnabled());
    // The status reply arrives meanwhile.
    std::array<uint8_t, 88> record{};
    record[0] = 0x02;
    PutSingle(record, 16, 2.5f);
    ASSERT_TRUE(session->loops()[0].SetStatusData(record));
    ASSERT_TRUE(WaitUntil([&] { return btn->isEnabled(); }, 2000ms));
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_EQ(Box(3)->text(), QStringLiteral("2.5"));
    EXPECT_EQ(Box(15)->text(), QStringLiteral("1"));

    // With the link closed only the polling stops.
    link.Clear();
    link.open = false;
    Click("btnGetCurrentValues");
    EXPECT_TRUE(link.bytes.isEmpty());
    EXPECT_TRUE(btn->isEnabled());
    EXPECT_EQ(link.refreshCalls, QList<bool>{false});
}

TEST_F(MainWindow, ApplyAsksFirstAndCancelWritesNothing) {
    Start(QStringList{QStringLiteral(TUVIK_SOURCE_DATA_DIR)});
    RecordingLink link;
    ctx().setActiveLink(&link);
    // The start-up loop's zeros are refused before anything is asked.
    Click("cmdOK");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, QStringLiteral("message"));
    dialogs.clear();

    Click("cmdDefaults");
    for (int i = 11; i <= 17; ++i) {
        Box(i)->setText("1");
    }
    dialogs.confirmAnswers = {false};
    Click("cmdOK");
    // The box opens once the status read before it is over (unanswered here).
    ASSERT_TRUE(WaitUntil([&] { return !dialogs.shown.empty(); }, 2000ms));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, QStringLiteral("confirm"));
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("PID control settings confirmation."));
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("    Confirm current settings ! \nYou are now changing systems "
                             "PID-regulation settings!"));
    EXPECT_TRUE(dialogs.details.last().startsWith(SafeWriteText::NotRead()));
    EXPECT_TRUE(link.packets.isEmpty());
    EXPECT_EQ(link.bytes, Hex("81 00 7E")) << "only the status read";
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true})) << "polling left off";
}

TEST_F(MainWindow, SaveLoadAndDefaults) {
    Start(QStringList{QStringLiteral(TUVIK_SOURCE_DATA_DIR)});
    const QString file = dir.filePath("mine.PID");

    // Validation fails: no file name asked, no file written.
    dialogs.files = {file};
    Click("cmdSaveSettings");
    EXPECT_TRUE(dialogs.fileTitles.isEmpty());
    EXPECT_FALSE(QFile::exists(file));

    // Defaults: h, ports and scales 0, the description of a fresh loop.
    dialogs.clear();
    Click("cmdDefaults");
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.lastText().toStdString();
    EXPECT_EQ(Text("lblPIDdesc"), QStringLiteral("initDesc"));
    for (int i = 11; i <= 17; ++i) {
        EXPECT_EQ(Box(i)->text(), QStringLiteral("0")) << i;
    }
    EXPECT_EQ(Box(0)->text(), QStringLiteral("6.5"));

    for (int i = 11; i <= 17; ++i) {
        Box(i)->setText("1");
    }
    Box(3)->setText("7.25");
    Click("cmdSaveSettings");
    EXPECT_EQ(dialogs.fileTitles, QStringList{"Save"});
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.lastText().toStdString();

    // Loading it back into loop 1 (also named "PID 1") works.
    Find<QComboBox>("comboPID")->setCurrentIndex(1);
    dialogs.files = {file};
    Click("cmdLoadSettings");
    EXPECT_EQ(dialogs.fileTitles.last(), QStringLiteral("Load PID settings"));
    EXPECT_EQ(Box(3)->text(), QStringLiteral("7.25"));
    EXPECT_EQ(session->loops()[1].K(), QStringLiteral("7.25"));

    // A file of another loop is refused with its name.
    QFile other(dir.filePath("other.PID"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("TICZA116\r\n 0 \r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n");
    other.close();
    dialogs.files = {other.fileName()};
    Click("cmdLoadSettings");
    EXPECT_EQ(dialogs.lastText(),
              QStringLiteral(" Loading TICZA116 settings to your \ncurrent PID is not allowed!"));
    EXPECT_EQ(session->loops()[1].K(), QStringLiteral("7.25"));

    // A cancelled dialog loads nothing and says nothing.
    dialogs.clear();
    Click("cmdLoadSettings");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainWindow, AMissingDefaultFileIsNamed) {
    Start();
    Click("cmdDefaults");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.lastText(),
              QStringLiteral(" Error loading PID settings! \r\nFile not found: ") +
                  QDir(dir.path()).filePath("Settings/PID_def.PID"));
    EXPECT_EQ(Text("lblPIDdesc"), QStringLiteral("LAMBDA PID "));
}
