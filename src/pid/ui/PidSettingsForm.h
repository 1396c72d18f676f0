#pragma once
// The settings part of the PID editor: the mode row (PID MODE, Enable,
// Remote setpoint), the eighteen parameter boxes with their key filter, and
// the manual and setpoint sliders. It fills them, reads them, and tints the
// values that differ from the controller's. The three parts are laid out by
// the editor panel.

#include <QObject>

#include <array>

#include "pid/PidEditorModel.h"
#include "pid/PidWriteCheck.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QWidget;

namespace tuvik {

class PidSettingsForm : public QObject {
    Q_OBJECT
  public:
    // The parts are made as children of parent, in this order.
    explicit PidSettingsForm(QWidget* parent);

    QWidget* modeRow() const { return modeRow_; }
    QWidget* boxes() const { return boxes_; }
    QWidget* sliders() const { return sliders_; }

    // The editor's state as the controls hold it.
    PidEditorValues Values() const;
    void SetBoxes(const PidBoxTexts& boxes);
    // Filled from a loop; the sliders at the given positions.
    void Fill(const LoopSettingsView& loop, int manualSlider, int setpointSlider);
    void SetManualOutput(int output);
    void SetTuning(double K, double Ti, double Td);
    // Tints each control whose field has a tip (the controller's value).
    void ShowMarks(const PidFieldMarks& tips);
    // The manual slider's label follows its value.
    void SliderManualChanged();

  signals:
    // A value changed other than by Fill: the marks are to be shown again.
    void edited();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMode(QWidget* parent);
    void BuildBoxes(QWidget* parent);
    void BuildSliders(QWidget* parent);
    void SliderSetpointChanged();
    void Edited();

    bool filling_ = false;  // the editor is being filled from a loop
    std::array<QString, PidBox::kCount> boxTips_{};

    QWidget* modeRow_ = nullptr;
    QWidget* boxes_ = nullptr;
    QWidget* sliders_ = nullptr;
    QGroupBox* frameMode_ = nullptr;
    QGroupBox* frameManual_ = nullptr;
    std::array<QRadioButton*, 2> OptionPIDmode_{};
    std::array<QLineEdit*, PidBox::kCount> TextAutoPID_{};
    QCheckBox* chkEnable_ = nullptr;
    QCheckBox* chkRemoteSetpoint_ = nullptr;
    QSlider* SliderManual_ = nullptr;
    QLabel* LabelManualValue_ = nullptr;
    QSlider* SliderSetpoint_ = nullptr;
    QLabel* LabelSetpointValue_ = nullptr;
};

}  // namespace tuvik
