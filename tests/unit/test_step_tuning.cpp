// Tuning from a step test: the fit of a first order with dead time against
// synthetic responses of known process, the suggested settings and the
// predicted closed loop, and the step test's CSV file; the step test's states
// without a window: the baseline window before the step, the settling rule
// (not during the dead time, not on noise, once the response is flat), the
// time limit, a step that was not sent, and the ends that leave nothing to
// analyse.
#include <gtest/gtest.h>

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>
#include <random>

#include "TestUtil.h"
#include "pid/FopdtFit.h"
#include "pid/StepTest.h"
#include "pid/StepTestRun.h"
#include "pid/TuningRules.h"

using namespace tuvik;

namespace {

struct Synthetic {
    const char* name;
    FopdtModel truth;
    double du, noise, drift, baseline, length, dt;
    const char* refusal = nullptr;  // a part of the reason, or nullptr: the fit must succeed
    bool jitter = false;            // sample spacing between 0.2 dt and 1.8 dt
};

// The true response at the sample times, 50 before the step, with noise.
StepRecord Make(const Synthetic& c, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_real_distribution<double> spacing(0.2, 1.8);
    StepRecord r;
    r.outputBefore = 40;
    r.outputAfter = 40 + c.du;
    const FopdtModel& m = c.truth;
    for (double t = -c.baseline; t <= c.length; t += c.dt * (c.jitter ? spacing(rng) : 1.0)) {
        const double g = t > m.deadTime ? 1 - std::exp(-(t - m.deadTime) / m.timeConstant) : 0;
        r.samples.push_back({t, t < 0 ? r.outputBefore : r.outputAfter,
                             50 + c.drift * t + m.gain * c.du * g + c.noise * noise(rng)});
    }
    return r;
}

}  // namespace

TEST(StepTuning, FitFindsTheKnownProcessOrRefuses) {
    const Synthetic cases[] = {
        {"clean", {2, 10, 2}, 10, 0, 0, 10, 80, 0.1},
        {"noise 2.5% of the response", {0.12, 3, 0.5}, 10, 0.03, 0, 5, 25, 0.05},
        {"drifting baseline", {1.5, 20, 4}, 5, 0.05, 0.01, 30, 150, 0.25},
        {"dead time 2.4 x time constant", {0.8, 5, 12}, 10, 0.04, 0, 10, 60, 0.1},
        {"negative gain and step", {-0.5, 8, 1}, -20, 0.1, 0, 5, 60, 0.1},
        {"uneven spacing, no baseline", {2.2, 90, 8}, 10, 0.2, 0, 0, 500, 0.8, nullptr, true},
        {"too small against the noise", {0.01, 5, 1}, 10, 0.1, 0, 5, 40, 0.1, "too little"},
        {"no step", {1, 5, 1}, 0, 0.01, 0, 5, 40, 0.1, "no step"},
        {"too short to settle", {1, 20, 2}, 10, 0.02, 0, 5, 14, 0.1, "too short"},
    };
    for (unsigned seed = 8; const Synthetic& c : cases) {
        SCOPED_TRACE(c.name);
        const StepRecord record = Make(c, seed++);
        const FopdtFit fit = FitFopdt(record);
        if (c.refusal) {
            EXPECT_FALSE(fit.ok);
            EXPECT_TRUE(fit.refusal.contains(QLatin1String(c.refusal))) << qPrintable(fit.refusal);
            continue;
        }
        ASSERT_TRUE(fit.ok) << qPrintable(fit.refusal);
        const FopdtModel& t = c.truth;
        const double e[3] = {fit.model.gain / t.gain - 1,
                             fit.model.timeConstant / t.timeConstant - 1,
                             fit.model.deadTime / t.deadTime - 1};
        for (double err : e) {
            EXPECT_LT(std::fabs(err), 0.1);
        }
        // Baseline and drift off by less than 2% of the response over the record.
        const double response = std::fabs(t.gain * c.du);
        EXPECT_NEAR(fit.baseline, 50, 0.02 * response);
        EXPECT_NEAR(fit.drift * c.length, c.drift * c.length, 0.02 * response);
        EXPECT_GT(fit.explained, c.noise > 0 ? 0.9 : 0.999999);
        // The drawn model ends where the truth does.
        const auto drawn = FopdtResponse(fit.model, record, fit);
        EXPECT_NEAR(drawn.back().measurement, 50 + c.drift * c.length + t.gain * c.du,
                    0.02 * response);
    }
}

TEST(StepTuning, RulesAndThePredictedClosedLoop) {
    const FopdtModel m{2, 10, 2};
    // Known values at tauC = dead time, SIMC's tight choice and the knob's fast end.
    EXPECT_DOUBLE_EQ(ClosedLoopTime(m, 0), 2);
    EXPECT_DOUBLE_EQ(ClosedLoopTime(m, 1), 30);
    EXPECT_DOUBLE_EQ(ClosedLoopTime({1, 10, 0}, 0), 1);  // a pure lag: a tenth of its lag
    // SIMC: K = 10 / (2 (2 + 2)), Ti = min(10, 4 (2 + 2)); a slow process hits the limit.
    const PidTuning simc = SuggestTuning(TuningRule::Simc, m, 2);
    const PidTuning slow = SuggestTuning(TuningRule::Simc, {-2, 40, 2}, 2);
    EXPECT_EQ(std::tuple(simc.K, simc.Ti, slow.K, slow.Ti), std::tuple(1.25, 10.0, -5.0, 16.0));
    const PidTuning lambda = SuggestTuning(TuningRule::Lambda, m, 2);  // K = (10 + 1) / (2 (2 + 1))
    EXPECT_EQ(std::tuple(lambda.K, lambda.Ti, lambda.Td), std::tuple(11.0 / 6, 11.0, 20.0 / 22));
    for (TuningRule rule : {TuningRule::Simc, TuningRule::Lambda}) {
        double previous = HUGE_VAL;
        for (double knob = 0; knob <= 1; knob += 0.25) {
            const double K = SuggestTuning(rule, m, ClosedLoopTime(m, knob)).K;
            EXPECT_LT(K, previous) << knob;  // towards robust: ever gentler
            previous = K;
        }
    }

    // The closed loop at rest at 50 with the output at 40, a setpoint step of +5.
    PidLawSettings loop;
    loop.N = 5;
    loop.Tt = 3;
    loop.manual = 40;
    // Bumpless: the first output is the P kick, scaled by the setpoint weight b.
    auto run = [&](const FopdtModel& process, PidTuning t, bool inverted, double b = 1) {
        PidLawSettings s = loop;
        std::tie(s.K, s.Ti, s.Td, s.inverted, s.b) = std::tuple(t.K, t.Ti, t.Td, inverted, b);
        const auto p = PredictSetpointStep(process, s, 0.1, 50, 5, 120);
        EXPECT_DOUBLE_EQ(p.front().u, 40 + (inverted ? -5 : 5) * b * t.K);
        return MeasureResponse(p);
    };
    // A dead time the prediction cannot follow at the loop's cycle is refused
    // before its delay line is allocated (at 0.01 s: a million steps at most).
    EXPECT_TRUE(PredictSetpointStep({2, 10, 1e6}, loop, 0.001, 50, 5, 1).empty());
    EXPECT_TRUE(PredictionRefusal({2, 10, 10001}, 0.01)
                    ->contains("dead time of 10001 s is too long for the loop's cycle of 0.01 s"));
    EXPECT_FALSE(PredictionRefusal({2, 10, 9999}, 0.01));
    run(m, simc, false, 0.4);
    for (const PidTuning& t : {simc, lambda}) {
        const ResponseFigures f = run(m, t, false);
        EXPECT_LT(f.overshoot, 0.1);
        EXPECT_GT(f.settlingTime, 2);  // not before the dead time has passed
        EXPECT_LT(f.settlingTime, 60);
    }
    // A reverse-acting process: a negative K, or a positive K with the loop
    // inverted, gives the same closed loop as the direct one.
    const ResponseFigures direct = run(m, simc, false);
    for (bool inverted : {false, true}) {
        const ResponseFigures f = run({-2, 10, 2}, {inverted ? 1.25 : -1.25, 10, 0}, inverted);
        EXPECT_NEAR(f.overshoot, direct.overshoot, 1e-9);
        EXPECT_NEAR(f.settlingTime, direct.settlingTime, 1e-9);
    }
    const ResponseFigures aggressive = run(m, {2 * simc.K, simc.Ti / 2, 0}, false);
    EXPECT_GT(aggressive.overshoot, 0.3);
    EXPECT_GT(aggressive.settlingTime, direct.settlingTime);

    // The figures: the peak beyond the target, and the first moment from
    // which the measurement stays within 5% of the step.
    std::vector<ResponsePoint> p;
    for (double y : {0.0, 0.5, 1.2, 0.9, 0.97, 1.04, 1.0}) {
        p.push_back({static_cast<double>(p.size()), 1, y, 0});
    }
    EXPECT_DOUBLE_EQ(MeasureResponse(p).overshoot, 0.2);
    EXPECT_EQ(MeasureResponse(p).settlingTime, 4);
    p.back().y = 0.9;
    EXPECT_EQ(MeasureResponse(p).settlingTime, -1);
}

TEST(StepTuning, CsvRoundTripAndMalformedFiles) {
    const tuvik::test::SeparatorGuard comma{QLatin1Char(',')};
    QLocale::setDefault(QLocale(QLocale::German));
    StepRecord r = Make({"", {-0.7, 4, 1.5}, 12.5, 0.05, 0, 3, 20, 0.1, nullptr, true}, 3);
    r.loop = 2;
    r.loopName = QStringLiteral("PICZA304; pump\n2");
    r.started = QDateTime(QDate(2024, 3, 5), QTime(7, 7, 8, 9), QTimeZone(3600));
    const QString csv = StepRecordToCsv(r);
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(
        csv.startsWith("tuvik step test;1\nloop;3\nname;PICZA304; pump 2\n"
                       "started;2024-03-05T06:07:08.009Z\noutput before;40\n"
                       "output after;52.5\nt;output;measurement\n-3;40;"))
        << qPrintable(csv.left(200));
    // Read and written again to the same text: every number exactly as it was,
    // so the analysis redone gives the same result.
    QString error;
    const auto back = StepRecordFromCsv(csv, &error);
    ASSERT_TRUE(back) << qPrintable(error);
    EXPECT_EQ(StepRecordToCsv(*back), csv);
    EXPECT_TRUE(StepRecordFromCsv(QString(csv).replace("\n", "\r\n"), &error));

    const QString head = csv.left(csv.indexOf("t;output") + 21);
    const std::pair<QString, const char*> broken[] = {
        {"", "not a step test file"},
        {QString(csv).replace("loop;3", "loop;0"), "Line 2"},
        {QString(csv).remove(QRegularExpression("name;[^\n]*\n")), "Line 3"},
        {QString(csv).replace("after;52.5", "after;52,5"), "Lines 5-6"},
        {QString(csv).replace("t;output;measurement", "t;measurement"), "Line 7"},
        {head, "no samples"},
        {head + "0;40\n", "Line 8: expected three numbers"},
        {head + "1;40;1\n0.5;40;1\n", "Line 9: the time goes backwards"},
    };
    for (const auto& [text, reason] : broken) {
        error.clear();
        EXPECT_FALSE(StepRecordFromCsv(text, &error)) << reason;
        EXPECT_TRUE(error.contains(QLatin1String(reason))) << qPrintable(error);
    }
}

namespace {

using State = StepTestRun::State;

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
