#pragma once
// The PID part of the main window: the loop selector, the editor of the
// selected loop's settings with its checks, the sliders, the command buttons,
// reading the loop's settings from the controller, sending them to it, and
// the *.PID file buttons. The logic lives in core (PidEditorModel,
// PidValidation, PidSettingsSend, PidFiles); this panel owns the controls.

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "pid/PidEditorModel.h"
#include "pid/PidSettingsSend.h"
#include "pid/PidStatusRead.h"
#include "pid/PidValidation.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;

namespace tuvik {

class Session;
class UserDialogs;

class PidEditorWidget : public QWidget {
    Q_OBJECT
  public:
    // Told when a read of the loop's settings got no status record back: the
    // editor then shows what the program held, not what the controller has.
    static const QString kNoStatusText;

    PidEditorWidget(Session& session, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~PidEditorWidget() override;

    // comboPID gets the descriptions of loops 0 and 1; loop 0 is selected.
    void FillLoopSelector();
    // Fills the editor from the selected loop.
    void ShowLoopSettings();
    // Checks the editor, stores what passes into the selected loop and tells
    // the user about the first failure. Returns "OK" or "Error".
    QString ValidateSettings();
    // The editor's state as the controls hold it.
    PidEditorValues values() const;
    // Runs the manual slider's change handling (its label).
    void SliderManualChanged();

    // The shared tint of a value that differs from the controller's.
    // How long the reads before and after a send wait for the status record.
    void setDeviceReadTimes(int readMs, int tcpExtraMs) {
        statusRead_.setTimes(readMs, tcpExtraMs);
    }
    // The backup written before the last send; empty when none was written.
    QString lastBackup() const { return lastBackup_; }

    // Whether the send goes over the TCP relay (it waits longer then).
    void setUseTcpSource(std::function<bool()> f) { useTcp_ = std::move(f); }

    // The window is closing: timers stop, a running send is abandoned.
    void Unload();

    // For the step test, which writes only through this editor: the mode and
    // the manual output (whole percent) put into the controls, nothing sent.
    void SetManualOutput(bool manual, int output);
    // K, Ti and Td put into their boxes as the editor shows numbers.
    void SetTuning(double K, double Ti, double Td);
    // "Apply changes" as if clicked: the read, the confirmation, the
    // backup, the send and the read-back. applyEnded tells how it ended.
    void ApplyChanges() { cmdOK_Click(); }
    // The step test keeps its loop selected until the output is returned:
    // the list and the two loading buttons are locked meanwhile.
    void HoldLoop(bool hold);
    // Another loop cannot be chosen or loaded now.
    bool LoopFixed() const;
    enum class ApplyEnd { NotSent, Sent, NotAcknowledged, Failed };
    Q_ENUM(ApplyEnd)

    QTimer& TimerGetCurrentValues() { return timerGetCurrentValues_; }
    PidSettingsSend& sender() { return send_; }
    QComboBox* comboPID() const { return comboPID_; }

  signals:
    // Another loop was selected, or the selected loop was replaced.
    void selectedLoopChanged();
    // cmdCancel: the user wants the program to end.
    void quitRequested();
    // btnStepTest: the step test dialog for the selected loop.
    void stepTestRequested();
    // An "Apply changes" ended: declined or refused before anything went out
    // (NotSent), or the send's outcome once its read-back is over.
    void applyEnded(tuvik::PidEditorWidget::ApplyEnd end);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* BuildSelector();
    QWidget* BuildMode();
    QWidget* BuildSettings();
    QWidget* BuildSliders();
    QWidget* BuildButtons();
    void SetSlider(QSlider* slider, double value);

    void comboPID_Click(int index);
    void SliderSetpointChanged();
    void cmdOK_Click();
    void ConfirmAndSend(const std::optional<PidSettings>& device);
    // The controller's values saved before the send; false when the send
    // must not go out (no backup, and the operator said no).
    bool WriteBackup(int index, const std::optional<PidSettings>& device);
    void EndApply(ApplyEnd end);
    void SendPIDSettings();
    void SendFinished(PidSettingsSend::Outcome outcome, const QString& detail);
    void btnGetCurrentValues_Click();
    void TimerGetCurrentValues_Tick();
    void SendCommand(uint8_t cmd);
    void cmdDefaults_Click();
    void cmdLoadSettings_Click();
    void cmdSaveSettings_Click();

    // The status-record reads just before the confirmation and after a send.
    enum class DeviceRead { None, BeforeSend, AfterSend };
    bool StartDeviceRead(DeviceRead which);
    void DeviceReadFinished(const std::optional<PidSettings>& device);
    void ReportReadBack(const std::optional<PidSettings>& device);
    void ShowReading(bool on);
    // Enables the controls for what runs: during a read, a send or its
    // read-back the editor, the list and the loading buttons are locked.
    void UpdateLocks();
    // The marks of the values that differ from the controller's.
    void UpdateMarks();

    Session& session_;
    UserDialogs& dialogs_;
    std::function<bool()> useTcp_;
    PidSettingsSend send_;
    QTimer timerGetCurrentValues_;
    // Status records taken when the running read started; empty when none runs.
    std::optional<uint64_t> statusRecordsAtRead_;
    bool filling_ = false;   // the editor is being filled from a loop
    bool applying_ = false;  // from "Apply changes" to the end of its read-back
    bool loopHeld_ = false;

    PidStatusRead statusRead_;
    DeviceRead deviceRead_ = DeviceRead::None;
    int deviceReadIndex_ = 0;
    QString captionAtDeviceRead_;
    // What the running send carries, from the confirmation to the read-back.
    std::optional<PidSettings> sent_;
    bool lastSendOk_ = false;
    ApplyEnd sendEnd_ = ApplyEnd::NotSent;  // told once the read-back is over
    QString lastBackup_;
    // The controller's settings as last read, by loop selector entry.
    std::array<std::optional<PidSettings>, 4> deviceValues_{};
    std::array<QString, PidBox::kCount> boxTips_{};

    QComboBox* comboPID_ = nullptr;
    std::array<QRadioButton*, 2> OptionPID_{};
    QLabel* lblPIDdesc_ = nullptr;
    std::array<QRadioButton*, 2> OptionPIDmode_{};
    std::array<QLineEdit*, PidBox::kCount> TextAutoPID_{};
    QCheckBox* chkEnable_ = nullptr;
    QCheckBox* chkRemoteSetpoint_ = nullptr;
    QSlider* SliderManual_ = nullptr;
    QLabel* LabelManualValue_ = nullptr;
    QSlider* SliderSetpoint_ = nullptr;
    QLabel* LabelSetpointValue_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdDefaults_ = nullptr;
    QPushButton* cmdLoadSettings_ = nullptr;
    std::array<QWidget*, 3> editorParts_{};  // mode row, boxes, sliders
    QPushButton* btnGetCurrentValues_ = nullptr;
    QProgressBar* prgSend_ = nullptr;
    QLabel* lblWriteCheck_ = nullptr;
    QGroupBox* frameMode_ = nullptr;
    QWidget* frameManual_ = nullptr;
};

}  // namespace tuvik
