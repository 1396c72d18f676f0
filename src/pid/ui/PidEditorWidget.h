#pragma once
// The PID part of the main window: the loop selector, the settings form
// (PidSettingsForm), the command buttons, the progress of a send and the
// line under the buttons. What the buttons do lives in core
// (PidEditorController and the safe send it drives); this panel owns the
// controls, shows what the controller reports and is its PidEditorView.

#include <QWidget>

#include <array>
#include <memory>

#include "pid/PidEditorController.h"
#include "pid/PidEditorView.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tuvik {

class PidSettingsForm;

class PidEditorWidget : public QWidget, public PidEditorView {
    Q_OBJECT
  public:
    // context: the loops, the dialogs and the rest of the running program
    // the editor's flows work with.
    explicit PidEditorWidget(const PidEditorContext& context, QWidget* parent = nullptr);
    ~PidEditorWidget() override;

    // comboPID gets the descriptions of loops 0 and 1; loop 0 is selected.
    void FillLoopSelector();
    // Fills the editor from the selected loop.
    void ShowLoopSettings() { controller_->ShowLoopSettings(); }
    // The editor's state as the controls hold it.
    PidEditorValues values() const { return EditorValues(); }
    // Runs the manual slider's change handling (its label).
    void SliderManualChanged();

    // How long the reads before and after a send wait for the status record.
    void setDeviceReadTimes(int readMs, int tcpExtraMs) {
        controller_->safeSend().setDeviceReadTimes(readMs, tcpExtraMs);
    }

    // The window is closing: timers stop, a running send is abandoned.
    void Unload() { controller_->Unload(); }

    PidEditorController& controller() { return *controller_; }
    PidSettingsSend& sender() { return controller_->safeSend().sender(); }
    QTimer& TimerGetCurrentValues() { return controller_->currentValuesTimer(); }

    // PidEditorView
    PidEditorValues EditorValues() const override;
    void ShowBoxes(const PidBoxTexts& boxes) override;
    void ShowLoop(const LoopSettingsView& loop, int manualSlider, int setpointSlider) override;
    void ShowManualOutput(int output) override;
    void ShowTuning(double K, double Ti, double Td) override;

  signals:
    // Another loop was selected, or the selected loop was replaced.
    void selectedLoopChanged();
    // cmdCancel: the user wants the program to end.
    void quitRequested();
    // btnStepTest: the step test dialog for the selected loop.
    void stepTestRequested();

  private:
    QWidget* BuildSelector();
    QWidget* BuildButtons();
    void LoopChosen(int index);
    void UpdateLocks();
    void UpdateMarks();

    PidLoops& loops_;
    PidSettingsForm* form_ = nullptr;
    std::unique_ptr<PidEditorController> controller_;

    QComboBox* comboPID_ = nullptr;
    std::array<QRadioButton*, 2> OptionPID_{};
    QLabel* lblPIDdesc_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdDefaults_ = nullptr;
    QPushButton* cmdLoadSettings_ = nullptr;
    QPushButton* btnGetCurrentValues_ = nullptr;
    QProgressBar* prgSend_ = nullptr;
    QLabel* lblWriteCheck_ = nullptr;
};

}  // namespace tuvik
