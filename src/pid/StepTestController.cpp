#include "pid/StepTestController.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <utility>

#include "pid/PidEditorController.h"
#include "pid/PidLoops.h"
#include "pid/PidWriteCheck.h"
#include "support/ExchangeGuard.h"
#include "support/MessageLog.h"
#include "support/UserDialogs.h"

namespace tuvik {

namespace {

const QString kTitle = QStringLiteral("Step test");
const QString kFilter = QStringLiteral("Step test (*.csv)");

// Manual as the editor last sent it and as the controller last reported it.
bool InManual(const clsPID& L) {
    const auto reported = PidStatusSettings(L.StatusBytes());
    return !L.Settings().AutoMode && reported && !reported->AutoMode;
}

// The output a step starts from: the manual value, or the live output while
// the loop is not in manual.
double StepFrom(const clsPID& L, bool manual) {
    return std::round(manual ? L.Settings().ManualVal : L.LiveValues().ControllerOut);
}

}  // namespace

double StepTarget(const PidSettings& s, double from, int step) {
    return std::clamp<double>(from + step, std::max<float>(0, s.MinContr),
                              std::min<float>(kManualSliderMax, s.MaxContr));
}

StepTestController::StepTestController(PidLoops& loops, PidEditorController& editor,
                                       UserDialogs& dialogs, MessageLog& log,
                                       std::function<bool()> linkConnected, QObject* parent)
    : QObject(parent),
      loops_(loops),
      editor_(editor),
      dialogs_(dialogs),
      log_(log),
      linkConnected_(std::move(linkConnected)) {
    clock_.start();
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, &StepTestController::Tick);
    connect(&editor_.safeSend(), &PidSafeSend::progress, this,
            [this](int done, int) { SendProgress(done); });
    connect(&editor_.safeSend(), &PidSafeSend::ended, this, &StepTestController::ApplyEnded);
    connect(&editor_, &PidEditorController::selectedLoopChanged, this,
            &StepTestController::LoopChanged);
}

void StepTestController::LoopChanged() {
    if (run_.running()) {
        run_.End(StepTestRun::State::Cancelled);
        Finish();
    }
    run_ = StepTestRun();  // no baseline from the other loop
    Changed();
    DefaultStep();
}

void StepTestController::Shown() {
    if (!run_.running()) {
        DefaultStep();
    }
    tick_.start();
    Tick();
}

void StepTestController::setStep(int percent) {
    step_ = percent;
    Changed();
}

void StepTestController::setLimit(int seconds) {
    limitS_ = seconds;
}

void StepTestController::DefaultStep() {
    const clsPID* L = loops_.Selected();
    if (L == nullptr) {
        return;
    }
    const PidSettings& s = L->Settings();
    const double lo = std::max<double>(0, s.MinContr);
    const double hi = std::min<double>(kManualSliderMax, s.MaxContr);
    const int step = static_cast<int>(std::lround(kDefaultStepShare * std::max(0.0, hi - lo)));
    // Upwards unless that runs into the limit.
    const double from = StepFrom(*L, InManual(*L));
    step_ = from + step <= hi ? step : -step;
    emit stepChosen(step_);
    Changed();
}

StepTestController::View StepTestController::view() const {
    View v;
    const double elapsed = run_.Elapsed(Now());
    v.progressMax = static_cast<int>(run_.limit() > 0 ? run_.limit() : limitS_);
    v.progressValue = static_cast<int>(elapsed);
    v.progressText = QStringLiteral("%1 s of %2 s")
                         .arg(QString::number(elapsed, 'f', 0), QString::number(v.progressMax));
    v.samples = QStringLiteral("%1 samples after the step").arg(run_.Samples());
    v.recording = run_.state() == StepTestRun::State::Recording;
    v.canStop = v.recording;
    v.canCancel = run_.running();
    const clsPID* L = loops_.at(loops_.selectedIndex());
    if (L == nullptr) {
        return v;
    }
    v.hasLoop = true;
    v.loop = QStringLiteral("Loop: %1 (%2)").arg(L->GetDesc(), L->GetName());
    const bool manual = InManual(*L);
    const PidSettings& s = L->Settings();
    v.mode = manual
                 ? QStringLiteral("Manual, output %1 %").arg(QString::number(s.ManualVal, 'f', 0))
                 : QStringLiteral("Automatic: put the loop in manual first");
    // Until the loop is in manual the step starts from its live output.
    const double from = StepFrom(*L, manual);
    const StepRecord& r = run_.record();
    const QString step = QStringLiteral("%1 output %2 % to %3 %");
    v.stepTo = run_.running()
                   ? step.arg(QStringLiteral("manual")).arg(r.outputBefore).arg(r.outputAfter)
                   : step.arg(manual ? QStringLiteral("manual") : QStringLiteral("live"))
                         .arg(from)
                         .arg(StepTarget(s, from, step_));
    const bool idle = !run_.running() && waiting_ == Waiting::None;
    v.canPutInManual = idle && !manual;
    v.canStart = idle && manual;
    return v;
}

QString StepTestController::LiveWork() const {
    const StepRecord& r = run_.record();
    const QString step = QStringLiteral("from %1 % to %2 %").arg(r.outputBefore).arg(r.outputAfter);
    QString what;
    if (run_.state() == StepTestRun::State::Recording) {
        what = QStringLiteral("the response of %1 to the step %2 is being recorded")
                   .arg(r.loopName, step);
    } else if (run_.running() || waiting_ == Waiting::Step) {
        what = QStringLiteral("the step of %1 %2 is being sent").arg(r.loopName, step);
    } else if (returnPending_ || waiting_ == Waiting::Return) {
        what = QStringLiteral("the output of %1 is still to be returned to %2 %")
                   .arg(r.loopName)
                   .arg(r.outputBefore);
    } else if (waiting_ == Waiting::Manual) {
        what = QStringLiteral("the loop is being put in manual");
    } else {
        return {};
    }
    return QStringLiteral("A step test is running: ") + what +
           QStringLiteral(". Let it end, or stop it, first.");
}

void StepTestController::Changed() {
    // The tested loop stays selected until its output is back or the
    // return was declined.
    editor_.HoldLoop(run_.running() || returnPending_ || waiting_ == Waiting::Step ||
                     waiting_ == Waiting::Return);
    emit changed();
}

void StepTestController::PutInManual() {
    const clsPID* L = loops_.Selected();
    if (L == nullptr) {
        return;
    }
    // At the present output, so that the switch does not move the process.
    const int output = std::clamp(static_cast<int>(std::lround(L->LiveValues().ControllerOut)), 0,
                                  kManualSliderMax);
    waiting_ = Waiting::Manual;
    editor_.ApplyManualOutput(output);
}

void StepTestController::Start() {
    const clsPID* L = loops_.Selected();
    if (L == nullptr || run_.running() || waiting_ != Waiting::None) {
        return;
    }
    if (!linkConnected_()) {
        Status(QStringLiteral("Not connected: the step test needs the live values."), false);
        return;
    }
    // Told before the run begins: the step could never go out.
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        dialogs_.Message(AppTitle(), why);
        return;
    }
    const double from = std::round(L->Settings().ManualVal);
    const double to = StepTarget(L->Settings(), from, step_);
    if (to == from) {
        Status(QStringLiteral("The step is zero within the loop's output limits."), false);
        return;
    }
    run_.Begin(loops_.selectedIndex(), L->GetName(), from, to, limitS_);
    waiting_ = Waiting::Step;
    Changed();
    Status(StepTestRun::StateText(run_.state()), false);
    editor_.ApplyManualOutput(static_cast<int>(to));
}

void StepTestController::Stop() {
    run_.End(StepTestRun::State::Stopped);
    Finish();
}

void StepTestController::Cancel() {
    run_.End(StepTestRun::State::Cancelled);
    Finish();
}

void StepTestController::SendProgress(int done) {
    // The first write carries the manual value: the step is out.
    if (done == 1 && waiting_ == Waiting::Step && run_.state() == StepTestRun::State::Stepping) {
        run_.StepSent(Now(), QDateTime::currentDateTime());
        const StepRecord& r = run_.record();
        const QString text =
            QStringLiteral("Step test of %1: manual output stepped from %2 % to %3 %.")
                .arg(r.loopName)
                .arg(r.outputBefore)
                .arg(r.outputAfter);
        Status(text, true);
        emit marked(r.loop, text);
    }
}

void StepTestController::ApplyEnded(SafeWrite::Outcome end) {
    const Waiting was = std::exchange(waiting_, Waiting::None);
    const bool sent = end == SafeWrite::Outcome::Sent;
    if (was == Waiting::Step) {
        if (run_.state() == StepTestRun::State::Stepping) {
            run_.StepNotSent();
            editor_.ShowManualOutput(static_cast<int>(run_.record().outputBefore));
            Status(QStringLiteral("The step was not sent."), false);
        } else if (end == SafeWrite::Outcome::Failed && run_.running()) {
            run_.End(StepTestRun::State::LinkLost);
            Finish();
        }
        if (returnPending_) {
            ReturnOutput();
        }
    } else if (was != Waiting::Return && !run_.running()) {
        DefaultStep();  // from the output just sent
    } else if (was == Waiting::Return) {
        const StepRecord& r = run_.record();
        Status(sent ? QStringLiteral("Output returned to %1 %.").arg(r.outputBefore)
                    : QStringLiteral("The return to %1 % was not sent: the loop is left at %2 %.")
                          .arg(r.outputBefore)
                          .arg(r.outputAfter),
               true);
    }
    Changed();
}

void StepTestController::LiveSample() {
    const clsPID* L = loops_.Selected();
    if (L == nullptr || (run_.running() && loops_.selectedIndex() != run_.record().loop)) {
        return;
    }
    const PidLiveValues& v = L->LiveValues();
    if (run_.AddSample(Now(), v.ControllerOut, v.Measurement)) {
        Finish();
    }
}

void StepTestController::Tick() {
    if (run_.running() && !linkConnected_()) {
        run_.End(StepTestRun::State::LinkLost);
        Finish();
    } else if (run_.Tick(Now())) {
        Finish();
    }
    Changed();
}

void StepTestController::Finish() {
    const StepTestRun::State s = run_.state();
    if (s == StepTestRun::State::Idle || run_.running()) {
        return;
    }
    Status(StepTestRun::StateText(s), true);
    emit marked(run_.record().loop, StepTestRun::StateText(s));
    if (run_.analysable()) {
        Analyse(run_.record());
        // The operator expects the process back where it was: the return is
        // one more ordinary write, confirmed like the step.
        if (waiting_ == Waiting::Step) {
            returnPending_ = true;  // after the step's own send and read-back
        } else {
            ReturnOutput();
        }
    }
    Tick();
}

void StepTestController::ReturnOutput() {
    returnPending_ = false;
    const StepRecord& r = run_.record();
    if (loops_.selectedIndex() != r.loop) {
        Status(QStringLiteral("The return to %1 % was not sent: %2 is left at %3 %.")
                   .arg(r.outputBefore)
                   .arg(r.loopName)
                   .arg(r.outputAfter),
               true);
        return;
    }
    waiting_ = Waiting::Return;
    Status(QStringLiteral("Returning the output to %1 %...").arg(r.outputBefore), false);
    editor_.ApplyManualOutput(static_cast<int>(r.outputBefore));
}

void StepTestController::Status(const QString& text, bool log) {
    emit status(text);
    if (log) {
        log_.AddMessage(QStringLiteral("Step test: ") + text);
    }
}

// ---- the analysis -----------------------------------------------------------

void StepTestController::Analyse(const StepRecord& r) {
    analysis_.Analyse(r);
    emit analysed();
}

void StepTestController::UseSuggestion(TuningRule rule) {
    if (!analysis_.fit().ok) {
        return;
    }
    const StepRecord& r = analysis_.record();
    // The editor shows the selected loop: suggestions for another stay out of it.
    if (loops_.selectedIndex() != r.loop) {
        Status(QStringLiteral("These settings are for loop %1 (%2): select that loop first.")
                   .arg(r.loop + 1)
                   .arg(r.loopName),
               false);
        return;
    }
    const PidTuning t = analysis_.Suggested(rule);
    editor_.ShowTuning(Significant(t.K), Significant(t.Ti), Significant(t.Td));
    Status(QStringLiteral("The %1 settings are in the editor: click Apply changes there to send "
                          "them.")
               .arg(rule == TuningRule::Simc ? QStringLiteral("SIMC") : QStringLiteral("lambda")),
           false);
}

void StepTestController::SaveTest() {
    const StepRecord& r = analysis_.record();
    if (r.samples.empty()) {
        dialogs_.Message(kTitle, QStringLiteral("No step test to save."));
        return;
    }
    const QString path = dialogs_.SaveFileName(QStringLiteral("Save step test"), kFilter);
    if (path.isEmpty()) {
        return;
    }
    if (const std::optional<QString> error = WriteStepRecordFile(path, r)) {
        dialogs_.Message(kTitle, QStringLiteral("Could not write %1: %2").arg(path, *error),
                         UserDialogs::Icon::Warning);
    }
}

void StepTestController::LoadTest() {
    const QString path = dialogs_.OpenFileName(QStringLiteral("Load step test"), kFilter);
    if (path.isEmpty()) {
        return;
    }
    QString error;
    const std::optional<StepRecord> r = ReadStepRecordFile(path, &error);
    if (!r) {
        dialogs_.Message(kTitle, QStringLiteral("Could not load %1: %2").arg(path, error),
                         UserDialogs::Icon::Warning);
        return;
    }
    Analyse(*r);
    Status(QStringLiteral("Loaded %1.").arg(path), false);
}

}  // namespace tuvik
