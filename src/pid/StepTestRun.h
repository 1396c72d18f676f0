#pragma once
// One step test as it runs: the live samples before the step (its
// baseline), the moment the step went out, the samples after it, and how the
// recording ended. The dialog feeds it the live values and its clock; this
// class decides when the response has settled and builds the record. It
// sends nothing: the step and the return are the editor's ordinary writes.
//
//   Idle --Begin--> Stepping --StepSent--> Recording --> Settled | TimedOut
//                      |                        |    --End--> Stopped | Cancelled | LinkLost
//                      +--StepNotSent--> Idle

#include <QDateTime>
#include <QString>

#include <deque>

#include "pid/StepTest.h"

namespace tuvik {

class StepTestRun {
  public:
    // Seconds of live values kept from before the step as its baseline.
    static constexpr double kBaselineS = 10.0;
    // The response counts as settled when the mean of the newest quarter of
    // the recording differs from the quarter before it by less than this
    // share of the response, each quarter holding at least kWindowSamples.
    static constexpr double kFlatShare = 0.03;
    static constexpr int kWindowSamples = 10;
    // A response within this many baseline noise deviations is no response.
    static constexpr double kNoiseFactor = 4.0;

    enum class State { Idle, Stepping, Recording, Settled, TimedOut, Stopped, Cancelled, LinkLost };

    // The operator started a step of the manual output; limitS bounds the
    // recording after the step.
    void Begin(int loop, const QString& loopName, double outputBefore, double outputAfter,
               double limitS);
    // The write carrying the new manual value went out at `now` (seconds on
    // the caller's clock; `wall` the same moment on the wall clock).
    void StepSent(double now, const QDateTime& wall);
    // The step was declined or could not be sent: nothing changed.
    void StepNotSent();
    // A live sample of the loop. Returns true when it ended the recording.
    bool AddSample(double now, double output, double measurement);
    // The limit is checked on samples and on this clock tick; true when it ended.
    bool Tick(double now);
    // Ends a running test: Stopped, Cancelled or LinkLost.
    void End(State how);

    State state() const { return state_; }
    bool running() const { return state_ == State::Stepping || state_ == State::Recording; }
    // Ended with a response worth analysing (settled, stopped, at the limit).
    bool analysable() const {
        return state_ == State::Settled || state_ == State::TimedOut || state_ == State::Stopped;
    }
    double Elapsed(double now) const { return state_ == State::Recording ? now - stepAt_ : 0; }
    double limit() const { return limitS_; }
    // Samples recorded after the step.
    int Samples() const { return static_cast<int>(record_.samples.size()) - baselineCount_; }
    // The baseline and the samples after the step, t from the step.
    const StepRecord& record() const { return record_; }

    // What the dialog and the message log say about a state.
    static QString StateText(State s);

  private:
    bool Flat() const;

    State state_ = State::Idle;
    std::deque<StepSample> before_;  // t on the caller's clock
    StepRecord record_;
    int baselineCount_ = 0;
    double stepAt_ = 0;
    double limitS_ = 0;
    double baseline_ = 0;
    double noise_ = 0;
};

}  // namespace tuvik
