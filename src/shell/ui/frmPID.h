#pragma once
// The main window lays out its parts: the PID editor, the connection panel,
// the shell buttons, the live values of the selected loop with their trend
// chart, and the link status line. Its start-up (Form_Load) builds the loops
// and the chart, restores the connection settings and ends with Main_new;
// closing it disconnects first and closes every other window (the window
// registry's) before the program ends.

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "shell/ConnectionSettings.h"
#include "shell/ui/WindowRegistry.h"
#include "support/FrameThrottle.h"

class QFrame;

namespace tuvik {

class ConnectionPanel;
class LinkStatusBar;
class LivePanel;
class ReplayPanel;
class PidEditorWidget;
class Session;
class TrendChartWidget;
class UserDialogs;

struct MainWindowOptions {
    // The settings store; the platform's own under "VUD_OV" when empty.
    SettingsOpener openSettings;
    // Message boxes and file dialogs; modal boxes over the window when null.
    UserDialogs* dialogs = nullptr;
};

class frmPID : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kFirstDrawMs = 500;
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

    // The title bar line.
    void SetCaption(const QString& text);
    // Frame1 red while the controller reports an alarm, the normal colour otherwise.
    void SetAlarm(bool on);
    // Shows the selected loop's live values and trend now.
    void ShowLiveValues();

    // The other windows of the program, from start-up to the end.
    WindowRegistry& windows() { return windows_; }
    PidEditorWidget& editor() { return *editor_; }
    TrendChartWidget& chart() { return *Picture1_; }
    // Seam: tests see that a quit while not connected leaves no delayed exit behind.
    QTimer& TimerExit() { return timerExit_; }
    UserDialogs& dialogs() { return *dialogs_; }

  signals:
    // The main window has been unloaded: the program ends.
    void unloaded();
    // The window has been painted for the first time.
    void firstPainted();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QWidget* BuildShellButtons();
    QWidget* BuildLivePanel();

    void SendBoot();
    void FirstDraw();
    // Live values arrive hundreds of times a second; the chart and the value
    // labels follow at most once per screen refresh, the newest state always
    // shown.
    void LiveUpdated();

    Session& session_;
    std::unique_ptr<UserDialogs> ownDialogs_;
    UserDialogs* dialogs_;
    WindowRegistry windows_;

    QTimer firstDraw_;
    QTimer timerExit_;
    FrameThrottle liveRefresh_;
    bool exitPending_ = false;
    bool painted_ = false;

    PidEditorWidget* editor_ = nullptr;
    ConnectionPanel* connectionPanel_ = nullptr;
    LinkStatusBar* linkStatus_ = nullptr;
    TrendChartWidget* Picture1_ = nullptr;
    QFrame* Frame1_ = nullptr;
    LivePanel* livePanel_ = nullptr;
    ReplayPanel* replayPanel_ = nullptr;
};

}  // namespace tuvik
