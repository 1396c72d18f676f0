#pragma once
// The main window: the connection panel, the shell buttons, the live values
// of the selected loop with their trend chart, and the PID editor panel. Its
// start-up (Form_Load) builds the loops and the chart, restores the
// connection settings and ends with Main_new; closing it disconnects first
// and closes every other window before the program ends.
//
// The burner and analog-input windows are written elsewhere; the main window
// only knows them as widgets it creates through factories and shows:
//
//   setBurnerWindowFactory(f)  Main_new calls f once to create the burner
//                              window object (hidden); or setBurnerWindow(w)
//   loadBurnerWindow           called after every connect ("loaded, not shown")
//   setAnalogWindowFactory(f)  bntADinputs creates the window on first use
//
// With none of them set the buttons do nothing.

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "shell/DispatchTargets.h"
#include "link/LinkStatus.h"
#include "shell/AppContext.h"
#include "shell/ConnectionSettings.h"
#include "shell/ui/frmMainNew.h"
#include "support/FrameThrottle.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace tuvik {

class PidEditorWidget;
class Session;
class frmStepTest;
class TrendChartWidget;
class UserDialogs;

struct MainWindowOptions {
    // The settings store; the platform's own under "VUD_OV" when empty.
    SettingsOpener openSettings;
    // Message boxes and file dialogs; modal boxes over the window when null.
    UserDialogs* dialogs = nullptr;
    // Adjusts each new TCP link window before it connects (tests point it at
    // their own relay).
    std::function<void(frmClient&)> prepareClient;
};

class frmPID : public QWidget, public MainWindowTarget, public LinkSettingsSource {
    Q_OBJECT
  public:
    static constexpr int kTimer1Ms = 500;
    static constexpr int kTimerExitMs = 500;
    // Live values refresh the chart and the value labels at most this often
    // (20 times a second, smooth for a strip chart), however fast the
    // replies come.
    static constexpr int kLiveFrameMs = 50;
    using Options = MainWindowOptions;

    explicit frmPID(Session& session, Options options = {}, QWidget* parent = nullptr);
    ~frmPID() override;

    // The start-up steps, in order; the window is shown by its last step.
    void Form_Load();

    // "PID settings, ver " + major + "." + minor + revision.
    static QString VersionCaption();

    // MainWindowTarget
    void SetCaption(const QString& text) override;
    void SetAlarm(bool on) override;
    // Live values arrive hundreds of times a second; the chart and the value
    // labels follow at most once per screen refresh, the newest state always
    // shown.
    void TrendRefresh() override;
    // Shows the selected loop's live values and trend now.
    void ShowLiveValues();

    // LinkSettingsSource: the three connection boxes.
    QString ComPortText() const override;
    QString SpeedText() const override;
    QString RefreshText() const override;

    // Hooks for the windows written elsewhere.
    void setBurnerWindowFactory(std::function<QWidget*()> f) { burnerFactory_ = std::move(f); }
    void setBurnerWindow(QWidget* w);
    std::function<void()> loadBurnerWindow;
    void setAnalogWindowFactory(std::function<QWidget*()> f) { analogFactory_ = std::move(f); }
    // Main_new's step: the burner window object from its factory.
    void CreateBurnerWindow();

    ShellWindows& shell() { return shell_; }
    PidEditorWidget& editor() { return *editor_; }
    TrendChartWidget& chart() { return *Picture1_; }
    QTimer& Timer1() { return timer1_; }
    QTimer& TimerExit() { return timerExit_; }
    UserDialogs& dialogs() { return *dialogs_; }
    // The step test window, created by the editor's btnStepTest; null before.
    frmStepTest* stepTest() const { return stepTest_; }
    void OpenStepTest();

  signals:
    // The main window has been unloaded: the program ends.
    void unloaded();
    // The other windows are being closed; windows the main window does not
    // know (all parameters, histogram) close themselves on this.
    void unloadingWindows();
    // The window has been painted for the first time.
    void firstPainted();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QWidget* BuildConnectionPanel();
    QWidget* BuildShellButtons();
    QWidget* BuildLivePanel();
    void FillPortMenu();

    void btnCon_Click();
    void UpdateConnectCaption();
    void btnBoot_Click();
    void bntADinputs_Click();
    void btnFlamora_Click();
    void Command6_Click();
    void Timer1_Tick();
    void UnloadOtherWindows(bool processEvents);

    Session& session_;
    SettingsOpener openSettings_;
    std::unique_ptr<UserDialogs> ownDialogs_;
    UserDialogs* dialogs_;
    ShellWindows shell_;
    std::function<QWidget*()> burnerFactory_;
    std::function<QWidget*()> analogFactory_;
    std::function<void(frmClient&)> prepareClient_;

    QTimer timer1_;
    QTimer timerExit_;
    FrameThrottle liveRefresh_;
    // The link status line.
    void WatchLink(DeviceLink* link);
    void LinkConnectedChanged(bool connected);
    void UpdateLinkStatus();
    LinkStatus linkStatus_;
    QTimer statusTimer_;
    QList<QMetaObject::Connection> linkWatch_;
    QLabel* lblLinkStatus_ = nullptr;
    bool alarm_ = false;
    bool linkWarning_ = false;
    bool exitPending_ = false;
    bool painted_ = false;

    PidEditorWidget* editor_ = nullptr;
    frmStepTest* stepTest_ = nullptr;
    TrendChartWidget* Picture1_ = nullptr;
    QFrame* Frame1_ = nullptr;
    QGroupBox* Frame9_ = nullptr;
    QLineEdit* txtComPort_ = nullptr;
    QToolButton* cmdPortList_ = nullptr;
    QLineEdit* txtSpeed_ = nullptr;
    QLineEdit* txtRefresh_ = nullptr;
    QCheckBox* chkUseTCP_ = nullptr;
    QPushButton* btnCon_ = nullptr;
    QLabel* LabelMode_ = nullptr;
    QLabel* LabelControl_ = nullptr;
    QLabel* LabelMeasurement_ = nullptr;
    QLabel* LabelY_FW_ = nullptr;
};

}  // namespace tuvik
