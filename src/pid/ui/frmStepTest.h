#pragma once
// The step test dialog of the selected loop: the test's controls on the
// left, the analysis (the fit, the suggested settings with their predicted
// responses, "Use these settings", saving and loading a test) on the right.
// StepTestController runs the test and drives the PID safe send; this
// window only shows it and passes the operator's clicks on.

#include <QWidget>

#include <array>
#include <functional>

#include "pid/StepTestController.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace tuvik {

class MessageLog;
class PidEditorController;
class PidLoops;
class StepChartWidget;
class UserDialogs;

class frmStepTest : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDefaultKnob = 40;  // of 0 (fast) .. 100 (robust)

    // The test of the selected loop of `loops`, sent through the editor;
    // linkConnected: whether a link is connected (a test ends without one).
    // The live samples are handed to controller().LiveSample.
    frmStepTest(PidLoops& loops, PidEditorController& editor, UserDialogs& dialogs, MessageLog& log,
                std::function<bool()> linkConnected, QWidget* parent = nullptr);

    StepTestController& controller() { return controller_; }
    const StepTestRun& run() const { return controller_.run(); }
    const FopdtFit& fit() const { return controller_.analysis().fit(); }
    // The suggestions shown, by rule.
    PidTuning Suggested(TuningRule rule) const { return controller_.analysis().Suggested(rule); }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* BuildTest();
    QWidget* BuildAnalysis();
    void ShowTest();
    void ShowAnalysis();
    void ShowSuggestions();

    PidLoops& loops_;
    StepTestController controller_;

    QLabel* lblLoop_ = nullptr;
    QLabel* lblMode_ = nullptr;
    QSpinBox* spinStep_ = nullptr;
    QLabel* lblStepTo_ = nullptr;
    QSpinBox* spinLimit_ = nullptr;
    QPushButton* btnManual_ = nullptr;
    QPushButton* btnStart_ = nullptr;
    QPushButton* btnStop_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
    QProgressBar* prgTest_ = nullptr;
    QLabel* lblSamples_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QLabel* lblFit_ = nullptr;
    StepChartWidget* chartRecord_ = nullptr;
    QSlider* sliderKnob_ = nullptr;
    QLabel* lblTauC_ = nullptr;
    QRadioButton* radioSimc_ = nullptr;
    QRadioButton* radioLambda_ = nullptr;
    // Rows current, SIMC, lambda; columns K, Ti, Td, overshoot, settling.
    std::array<std::array<QLabel*, StepTestAnalysis::kColumns>, StepTestAnalysis::kRows> table_{};
    StepChartWidget* chartPrediction_ = nullptr;
    QPushButton* btnUse_ = nullptr;
};

}  // namespace tuvik
