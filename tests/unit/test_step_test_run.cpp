// The step test's states without a window: the baseline window before the
// step, the settling rule (not during the dead time, not on noise, once the
// response is flat), the time limit, a step that was not sent, and the ends
// that leave nothing to analyse.
#include <gtest/gtest.h>

#include <cmath>

#include "pid/StepTestRun.h"

using namespace tuvik;
using State = StepTestRun::State;

namespace {

// A response of `size` with time constant 2 s after 1 s of dead time, with
// alternating noise of `noise`, sampled every 0.1 s from t = -20 s on (the
// step at t = 0 on a clock starting at 100 s) until the run ends or `until`.
double Feed(StepTestRun& run, double size, double noise, double until) {
    double t = -20;
    for (int i = 0; run.running() && t < until; ++i, t = -20 + i * 0.1) {
        if (run.state() == State::Stepping && t >= 0) {
            run.StepSent(100 + t, QDateTime());
        }
        const double y = t < 1 ? 0 : size * (1 - std::exp(-(t - 1) / 2));
        run.AddSample(100 + t, t < 0 ? 40 : 50, 5 + y + (i % 2 ? noise : -noise));
    }
    return t;
}

}  // namespace

TEST(StepTestRun, SettlesOnceFlatAndKeepsOnlyTheBaselineWindow) {
    struct Case {
        const char* name;
        double size, noise, limit;
        State end;
        double earliest, latest;  // when it may end, s after the step
    };
    const Case cases[] = {
        {"clean", 2, 0, 300, State::Settled, 8, 25},
        {"noisy", 2, 0.05, 300, State::Settled, 8, 30},
        {"no response: runs to the limit", 0, 0.05, 40, State::TimedOut, 40, 40.25},
        {"limit before settling", 2, 0, 5, State::TimedOut, 5, 5.25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StepTestRun run;
        run.Begin(1, "PID 2", 40, 50, c.limit);
        EXPECT_TRUE(run.running());
        const double end = Feed(run, c.size, c.noise, 1000);
        const StepRecord& r = run.record();
        EXPECT_EQ(std::tuple(run.state(), run.analysable(), r.loop, r.outputAfter),
                  std::tuple(c.end, true, 1, 50.0));
        EXPECT_TRUE(end >= c.earliest && end <= c.latest) << end;
        ASSERT_FALSE(r.samples.empty());
        EXPECT_NEAR(r.samples.front().t, -StepTestRun::kBaselineS, 0.11);
        EXPECT_EQ(run.Samples(), std::count_if(r.samples.begin(), r.samples.end(),
                                               [](const StepSample& s) { return s.t >= 0; }));
    }
}

TEST(StepTestRun, ANotSentStepAndTheEndsThatStopTheRecording) {
    StepTestRun run;
    run.Begin(0, "PID 1", 40, 50, 300);
    run.StepNotSent();
    EXPECT_EQ(run.state(), State::Idle);
    for (State how : {State::Stopped, State::Cancelled, State::LinkLost}) {
        run.Begin(0, "PID 1", 40, 50, 300);
        Feed(run, 2, 0, 3);
        ASSERT_EQ(run.state(), State::Recording);
        run.End(how);
        EXPECT_EQ(run.state(), how);
        EXPECT_EQ(run.analysable(), how == State::Stopped);
        run.End(State::Cancelled);  // an ended test stays as it ended
        EXPECT_EQ(run.state(), how);
    }
}
