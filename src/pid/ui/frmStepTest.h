#pragma once
// The step test of the selected loop: with the loop in manual, the manual
// output is stepped through the editor's "Apply changes" (its read,
// confirmation, backup and read-back), the loop's live values are recorded
// until the measurement settles, the operator stops, the time limit is
// reached, the test is cancelled or the link is lost, and the output is then
// returned through the same path. The recorded response is fitted with a
// first-order-plus-dead-time model; the suggested settings of two rules are
// shown beside the loop's own with the predicted closed-loop responses, and
// "Use these settings" fills the editor's K, Ti and Td. A test can be saved
// and loaded again to be analysed without a link.
//
// The window only drives StepTestRun (the test's states) and the core
// analysis; every write is the editor's.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <array>

#include "pid/FopdtFit.h"
#include "pid/ui/PidEditorWidget.h"
#include "pid/StepTestRun.h"
#include "pid/TuningRules.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace tuvik {

class Session;
class StepChartWidget;
class UserDialogs;

class frmStepTest : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 200;
    static constexpr int kDefaultLimitS = 300;
    // The default step: this share of the loop's output range.
    static constexpr double kDefaultStepShare = 0.1;
    static constexpr int kDefaultKnob = 40;  // of 0 (fast) .. 100 (robust)

    frmStepTest(Session& session, PidEditorWidget& editor, UserDialogs& dialogs,
                QWidget* parent = nullptr);

    // A live reply of the selected loop has been taken.
    void LiveSample();
    // Fits a record (just recorded or loaded) and shows the analysis.
    void Analyse(const StepRecord& r);

    const StepTestRun& run() const { return run_; }
    const FopdtFit& fit() const { return fit_; }
    // The suggestions shown, by rule.
    PidTuning Suggested(TuningRule rule) const {
        return suggested_[rule == TuningRule::Simc ? 0 : 1];
    }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* BuildTest();
    QWidget* BuildAnalysis();
    double Now() const { return clock_.nsecsElapsed() / 1e9; }
    void ShowLoop();
    bool InManual(const clsPID& L) const;
    // The output a step starts from: the manual value, or the live output
    // while the loop is not in manual.
    double StepFrom(const clsPID& L, bool manual) const;
    // The cycle of the analysed record's loop, which the prediction runs at.
    double LoopCycle() const;
    void DefaultStep();
    void PutInManual();
    void Start();
    void Finish();
    void ReturnOutput();
    void SendProgress(int done);
    void ApplyEnded(PidEditorWidget::ApplyEnd end);
    void Tick();
    void Status(const QString& text, bool log);
    void ShowSuggestions();
    void UseSettings();
    void SaveTest();
    void LoadTest();

    // Which write of the editor the dialog waits for.
    enum class Waiting { None, Manual, Step, Return };

    Session& session_;
    PidEditorWidget& editor_;
    UserDialogs& dialogs_;
    QElapsedTimer clock_;
    QTimer tick_;
    StepTestRun run_;
    Waiting waiting_ = Waiting::None;
    bool returnPending_ = false;
    StepRecord record_;  // the record analysed
    FopdtFit fit_;
    std::array<PidTuning, 2> suggested_{};

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
    std::array<std::array<QLabel*, 5>, 3> table_{};
    StepChartWidget* chartPrediction_ = nullptr;
    QPushButton* btnUse_ = nullptr;
};

}  // namespace tuvik
