// The main window offscreen: its wiring to the settings store, the links,
// the device and the editor. Rules and byte layouts are pinned in the unit
// tests; here a control's click sends its request, a reply lands in its
// control, and a failure shows its message box.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include "PtyPeer.h"
#include "RecordingDialogs.h"
#include "RecordingLink.h"
#include "TestUtil.h"
#include "pid/ui/PidEditorWidget.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"
#include "support/EventLog.h"
#include "support/WriteCheck.h"

using namespace tuvik;
using namespace std::chrono_literals;
using tuvik::test::Hex;
using tuvik::test::RecordingDialogs;
using tuvik::test::RecordingLink;
using tuvik::test::WaitUntil;

namespace {

class MainWindow : public ::testing::Test {
  protected:
    QString ini() const { return dir.filePath("store.ini"); }
    void Start(const QStringList& dataDirs = {}) {
        w.reset();
        session = std::make_unique<Session>(AppPaths(dir.path(), dir.path(), dataDirs));
        frmPID::Options o;
        o.openSettings = [this] {
            return std::make_unique<QSettings>(ini(), QSettings::IniFormat);
        };
        o.dialogs = &dialogs;
        w = std::make_unique<frmPID>(*session, std::move(o));
        w->Form_Load();
    }
    template <typename T>
    T* Find(const char* name) {
        return test::Find<T>(w.get(), QString::fromLatin1(name));
    }
    QLineEdit* Box(int i) {
        return w->findChild<QLineEdit*>(QStringLiteral("TextAutoPID_%1").arg(i));
    }
    void Click(const char* name) { QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton); }
    QString Text(const char* name) {
        auto* l = w->findChild<QLabel*>(QString::fromLatin1(name));
        return l ? l->text() : Find<QPushButton>(name)->text();
    }
    void SetText(const char* name, const QString& t) { Find<QLineEdit>(name)->setText(t); }
    AppContext& ctx() { return session->ctx(); }

    QTemporaryDir dir;
    RecordingDialogs dialogs;
    RecordingEventLog events;
    ScopedEventLog scopedLog{events};
    std::unique_ptr<Session> session;
    std::unique_ptr<frmPID> w;
};

}  // namespace

// The connection panel drives the link (the store reached, the port polled,
// the button's caption shown). The status line's text reaches screen
// readers, and a long one is cut instead of widening the window.
TEST_F(MainWindow, SerialConnectStoresTheBoxesPollsAndTheButtonFollowsTheLink) {
    test::Pty pty;
    const QString port = dir.filePath(QString(150, QLatin1Char('p')));
    ASSERT_TRUE(QFile::link(pty.path(), port));
    Start();
    w->show();
    QCoreApplication::processEvents();
    const int width = w->width();
    SetText("txtComPort", port);
    SetText("txtRefresh", "250");
    Click("btnCon");
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Disconnect"));
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.lastText().toStdString();

    auto* status = Find<QLabel>("lblLinkStatus");
    ASSERT_TRUE(WaitUntil([&] {  // the label's box has taken the new text's size
        return status->text().contains(port) &&
               status->parentWidget()->sizeHint() == status->sizeHint();
    }));
    EXPECT_LE(w->minimumSizeHint().width(), width);
    EXPECT_EQ(w->width(), width);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(status);
    EXPECT_EQ(QStringList({a->text(QAccessible::Name), a->text(QAccessible::Description)}),
              QStringList({"Link status", status->text()}));

    QByteArray got;
    ASSERT_TRUE(WaitUntil([&] { return (got += pty.Take()).contains(Hex("91 00 6E")); }));
    EXPECT_EQ(w->windows().serial()->windowTitle(), "Connect True");
    Click("btnCon");
    EXPECT_FALSE(session->connection().serialLink()->PortOpen());
    EXPECT_EQ(Text("btnCon"), QStringLiteral("Connect"));
}

TEST_F(MainWindow, QuitWhenNotConnectedEndsAtOnce) {
    Start();
    QSignalSpy unloaded(w.get(), &frmPID::unloaded);
    Click("cmdCancel");
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->TimerExit().isActive());
}

TEST_F(MainWindow, ShellButtonsSendTheirPacketsAndShowTheirWindows) {
    Start();
    RecordingLink link;
    ctx().setActiveLink(&link);
    for (const char* b : {"btnBoot", "Command2", "Command3", "Command4", "Command5"}) {
        Click(b);
    }
    EXPECT_EQ(link.bytes, Hex("99 00 66 2B 00 D4 2D 00 D2 65 00 9A 77 00 88"));
    link.Clear();
    Find<QComboBox>("comboPID")->setCurrentIndex(1);
    EXPECT_EQ(link.bytes, Hex("80 01 01 7F"));
    EXPECT_EQ(Text("lblPIDdesc"), QStringLiteral("Temperature PID"));
    Click("Command1");
    EXPECT_TRUE(dialogs.lastText().startsWith(
        QStringLiteral("sName : PID 1\r\n\r\nsDesc: Temperature PID")));

    Click("Command6");
    EXPECT_TRUE(w->windows().message()->isVisible());
    QWidget burner;
    w->windows().setBurnerWindow(&burner);
    Click("btnFlamora");
    EXPECT_TRUE(burner.isVisible());
    w->windows().setBurnerWindow(nullptr);
    int made = 0;
    w->windows().setAnalogWindowFactory([&] {
        ++made;
        return new QWidget;
    });
    Click("bntADinputs");
    Click("bntADinputs");
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(w->windows().analog()->isVisible());
    const QPointer<QWidget> analog = w->windows().analog();
    // The history chooses among the selector's loops, under its names.
    Click("cmdHistory");
    auto* chooser = Find<QComboBox>("cboHistoryLoop");
    auto* selector = Find<QComboBox>("comboPID");
    ASSERT_EQ(chooser->count(), selector->count());
    for (int i = 0; i < selector->count(); ++i) {
        EXPECT_EQ(chooser->itemText(i), selector->itemText(i));
    }
    w->close();
    EXPECT_TRUE(analog.isNull()) << "closed with the program";
    ctx().notifyUser(QStringLiteral("disk full"));
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("disk full"));
    EXPECT_EQ(dialogs.shown.back().title, QStringLiteral("VUD_OV"));
}

TEST_F(MainWindow, EditorBoxesSlidersAndTheirLoop) {
    Start();
    Box(3)->clear();
    QTest::keyClicks(Box(3), QStringLiteral("1,5a-x2"));
    EXPECT_EQ(Box(3)->text(), QStringLiteral("1.5-2")) << "typed through the key filter";
    auto* manual = Find<QSlider>("SliderManual");
    auto* setpoint = Find<QSlider>("SliderSetpoint");
    setpoint->setValue(120);
    EXPECT_EQ(Text("LabelSetpointValue"), QStringLiteral("120  %"));
    EXPECT_EQ(Box(0)->text(), QStringLiteral("120"));

    clsPID& loop = session->loops()[0];
    ASSERT_TRUE(loop.Setpoint(QStringLiteral("6.5")).ok());
    ASSERT_TRUE(loop.ManualVal(QStringLiteral("42.5")).ok());
    loop.Enable(1);
    w->editor().ShowLoopSettings();
    EXPECT_EQ(Box(0)->text(), QStringLiteral("6.5"));
    EXPECT_EQ(setpoint->value(), 6);
    EXPECT_EQ(manual->value(), 42);
    EXPECT_TRUE(Find<QCheckBox>("chkEnable")->isChecked());
    // A setpoint beyond the slider: the rest is still filled, the event log says why.
    ASSERT_TRUE(loop.Setpoint(QStringLiteral("1200")).ok());
    loop.Enable(0);
    w->editor().ShowLoopSettings();
    EXPECT_EQ(Box(0)->text(), QStringLiteral("1200"));
    EXPECT_EQ(setpoint->value(), 350);
    EXPECT_TRUE(
        events.texts().contains(QStringLiteral("Error TextRefresh Invalid property value")));
}

TEST_F(MainWindow, SaveAndDefaultsReportWhatStopsThem) {
    Start();
    dialogs.files = {dir.filePath("mine.PID")};
    Click("cmdSaveSettings");
    EXPECT_TRUE(dialogs.fileTitles.isEmpty()) << "invalid: no file name asked";
    EXPECT_FALSE(QFile::exists(dir.filePath("mine.PID")));
    dialogs.clear();
    Click("cmdDefaults");
    EXPECT_EQ(dialogs.lastText(),
              QStringLiteral(" Error loading PID settings! \r\nFile not found: ") +
                  QDir(dir.path()).filePath("Settings/PID_def.PID"));
}
