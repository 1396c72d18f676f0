#pragma once
// The step test of the selected loop as it runs: with the loop in manual,
// the manual output is stepped through the PID safe send ("Apply changes":
// its read, confirmation, backup and read-back), the loop's live values are
// recorded (StepTestRun) until the measurement settles, the operator stops,
// the time limit is reached, the test is cancelled or the link is lost, and
// the output is then returned through the same path. The record is then
// analysed (StepTestAnalysis); a suggestion can be put into the editor, and
// a test saved and loaded again to be analysed without a link.
//
// The dialog shows view(), status() and the analysis, and passes the
// operator's clicks on. The tested loop stays selected (the editor's loop
// list locked) until its output is back or the return was declined.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

#include "pid/PidSafeSend.h"
#include "pid/StepTestAnalysis.h"
#include "pid/StepTestRun.h"

namespace tuvik {

class MessageLog;
class PidEditorController;
class PidLoops;
class UserDialogs;
struct PidSettings;

// The output a step of `step` percent from `from` reaches: within the loop's
// output limits and the manual slider's range.
double StepTarget(const PidSettings& s, double from, int step);

class StepTestController : public QObject {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 200;
    static constexpr int kDefaultLimitS = 300;
    // The default step: this share of the loop's output range.
    static constexpr double kDefaultStepShare = 0.1;

    // What the dialog shows of the test.
    struct View {
        bool hasLoop = false;  // without a selected loop the loop lines stay as they were
        QString loop;          // "Loop: <desc> (<name>)"
        QString mode;          // manual at which output, or automatic
        QString stepTo;        // where the step goes, from where
        bool canPutInManual = false;
        bool canStart = false;
        bool canStop = false;
        bool canCancel = false;
        int progressMax = 0;
        int progressValue = 0;
        QString progressText;  // "<elapsed> s of <max> s"
        QString samples;       // "<n> samples after the step"
        bool recording = false;
    };

    StepTestController(PidLoops& loops, PidEditorController& editor, UserDialogs& dialogs,
                       MessageLog& log, std::function<bool()> linkConnected,
                       QObject* parent = nullptr);

    // The dialog came up: the default step (unless a test runs), and the
    // clock ticks from now on.
    void Shown();
    // The step (percent) and the time limit (s) as the operator set them.
    void setStep(int percent);
    void setLimit(int seconds);

    // Manual mode at the present output, sent with "Apply changes".
    void PutInManual();
    void Start();
    void Stop();
    void Cancel();
    // A live reply of the selected loop has been taken.
    void LiveSample();

    // A record just recorded or loaded: fitted, and analysed() follows.
    void Analyse(const StepRecord& r);
    // The suggestion of `rule` into the editor's K, Ti and Td, nothing sent;
    // only for the record's loop.
    void UseSuggestion(TuningRule rule);
    void SaveTest();
    void LoadTest();

    View view() const;
    // What of the test still works with the live loop, in words: the
    // recording, the step or the return still being sent, a return that
    // waits for the step's send. Empty when nothing does.
    QString LiveWork() const;
    const StepTestRun& run() const { return run_; }
    StepTestAnalysis& analysis() { return analysis_; }
    const StepTestAnalysis& analysis() const { return analysis_; }

  signals:
    // view() has changed.
    void changed();
    // The default step for the step box.
    void stepChosen(int percent);
    // The status line.
    void status(const QString& text);
    // analysis() holds a new record.
    void analysed();
    // A moment of the test worth marking in the history: the step going out
    // and the end of the recording, with the loop's index.
    void marked(int loop, const QString& text);

  private:
    double Now() const { return clock_.nsecsElapsed() / 1e9; }
    void DefaultStep();
    void Changed();
    void SendProgress(int done);
    void ApplyEnded(SafeWrite::Outcome end);
    void Tick();
    void Finish();
    void ReturnOutput();
    void Status(const QString& text, bool log);
    void LoopChanged();

    // Which send of the safe send the test waits for.
    enum class Waiting { None, Manual, Step, Return };

    PidLoops& loops_;
    PidEditorController& editor_;
    UserDialogs& dialogs_;
    MessageLog& log_;
    std::function<bool()> linkConnected_;
    QElapsedTimer clock_;
    QTimer tick_;
    StepTestRun run_;
    StepTestAnalysis analysis_;
    Waiting waiting_ = Waiting::None;
    bool returnPending_ = false;
    int step_ = 0;
    int limitS_ = kDefaultLimitS;
};

}  // namespace tuvik
