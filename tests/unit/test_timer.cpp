#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "TestUtil.h"
#include "support/FrameThrottle.h"
#include "support/clsTimer.h"

using namespace tuvik;
using namespace std::chrono_literals;

namespace {

struct Events {
    int ticks = 0, started = 0, stopped = 0;
    explicit Events(clsTimer& t) {
        QObject::connect(&t, &clsTimer::Timer, [this](int32_t, bool*) { ++ticks; });
        QObject::connect(&t, &clsTimer::TimerStarted, [this] { ++started; });
        QObject::connect(&t, &clsTimer::TimerStopped, [this] { ++stopped; });
    }
};

class RefusingTimer : public clsTimer {
protected:
    int StartSystemTimer(int32_t) override { return 0; }
};

}  // namespace

TEST(clsTimer, StartRulesAndEvents) {
    clsTimer t;
    Events ev(t);
    EXPECT_FALSE(t.StartTimer());  // interval 0
    EXPECT_EQ(ev.started, 0);
    t.setInterval(-5);
    EXPECT_EQ(t.Interval(), 0);
    t.setInterval(10);
    EXPECT_TRUE(t.StartTimer());
    EXPECT_FALSE(t.StartTimer());  // already running
    EXPECT_EQ(ev.started, 1);
    ASSERT_TRUE(test::WaitUntil([&] { return ev.ticks >= 3; }));
    t.setInterval(10);  // same value: no restart
    EXPECT_EQ(ev.started, 1);
    EXPECT_EQ(ev.stopped, 0);
    t.setInterval(20);  // new value: stop and start
    EXPECT_EQ(ev.stopped, 1);
    EXPECT_EQ(ev.started, 2);
    EXPECT_TRUE(t.isRunning());
    t.setInterval(0);  // stops for good
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(ev.stopped, 2);
    EXPECT_FALSE(modTimerCallBack::RegistryExists());
}

TEST(clsTimer, HandlerClearingKeepRunningStopsWithinTheTick) {
    clsTimer t;
    Events ev(t);
    int stoppedDuringTick = -1;
    QObject::connect(&t, &clsTimer::Timer, [&](int32_t, bool* keep) {
        *keep = false;
        stoppedDuringTick = ev.stopped;
    });
    t.setInterval(5);
    ASSERT_TRUE(t.StartTimer());
    ASSERT_TRUE(test::WaitUntil([&] { return ev.stopped == 1; }));
    test::Pump(60ms);
    EXPECT_EQ(ev.ticks, 1);
    EXPECT_EQ(stoppedDuringTick, 0);
    EXPECT_FALSE(t.isRunning());
}

TEST(clsTimer, RegistryLivesOnlyWhileTimersRun) {
    EXPECT_FALSE(modTimerCallBack::RegistryExists());
    {
        clsTimer a, b;
        a.setInterval(1000);
        b.setInterval(1000);
        a.StartTimer();
        b.StartTimer();
        EXPECT_EQ(modTimerCallBack::RegisteredCount(), 2);
        a.StopTimer();
        EXPECT_EQ(modTimerCallBack::RegisteredCount(), 1);
        // b is stopped by its destructor
    }
    EXPECT_FALSE(modTimerCallBack::RegistryExists());
    clsTimer c;
    c.setInterval(1000);
    EXPECT_TRUE(c.StartTimer());
    EXPECT_TRUE(modTimerCallBack::RegistryExists());
    modTimerCallBack::TimerProc(c.TimerID() + 12345, 0);  // unknown id: ignored
    c.StopTimer();
    EXPECT_FALSE(modTimerCallBack::RegistryExists());
}

TEST(clsTimer, RefusedStartLeavesItStopped) {
    RefusingTimer t;
    Events ev(t);
    t.setInterval(10);
    EXPECT_FALSE(t.StartTimer());
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(ev.started, 0);
    EXPECT_FALSE(modTimerCallBack::RegistryExists());
    t.StopTimer();
    EXPECT_EQ(ev.stopped, 0);
}

TEST(clsTimer, HandlerMayDeleteTheTimerItHandles) {
    auto* t = new clsTimer;
    int stopped = 0;
    int ticks = 0;
    QObject::connect(t, &clsTimer::TimerStopped, [&] { ++stopped; });
    QObject::connect(t, &clsTimer::Timer, [&](int32_t, bool* keep) {
        ++ticks;
        *keep = false;  // and done with it altogether
        delete t;
    });
    t->setInterval(5);
    ASSERT_TRUE(t->StartTimer());
    ASSERT_TRUE(test::WaitUntil([&] { return ticks == 1; }));
    test::Pump(30ms);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(stopped, 1);  // by the destruction, not a second time after it
    EXPECT_FALSE(modTimerCallBack::RegistryExists());
}

// A burst of requests runs the action once at once and once more at the end
// of the interval, and that last run sees the newest state.
TEST(FrameThrottle, BurstRunsNowAndOnceMoreWithTheNewestState) {
    int state = 0;
    std::vector<int> seen;
    FrameThrottle throttle([&] { seen.push_back(state); });
    throttle.setInterval(30);

    for (state = 1; state <= 50; ++state) {
        throttle.Request();
    }
    --state;  // 50, the newest
    ASSERT_EQ(seen, std::vector<int>({1}));
    EXPECT_TRUE(throttle.pending());
    ASSERT_TRUE(test::WaitUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen.back(), 50);
    test::Pump(60ms);
    EXPECT_EQ(seen.size(), 2u) << "no run without a request";
    EXPECT_FALSE(throttle.pending());

    // After a quiet interval a request runs at once again.
    state = 51;
    throttle.Request();
    EXPECT_EQ(seen.back(), 51);

    // Flush runs a scheduled run now, and nothing when none is due.
    state = 52;
    throttle.Request();
    ASSERT_TRUE(throttle.pending());
    throttle.Flush();
    EXPECT_EQ(seen.back(), 52);
    EXPECT_FALSE(throttle.pending());
    const size_t runs = seen.size();
    throttle.Flush();
    EXPECT_EQ(seen.size(), runs);

    throttle.setInterval(0);
    EXPECT_EQ(throttle.interval(), 1) << "an interval of 0 would spin";
}
