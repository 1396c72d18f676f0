// The burner model: its program states, actuator events and what its
// parameters do to it.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "BurnerParams.h"
#include "BurnerSim.h"
#include "SimDevice.h"
#include "link/Packet.h"

using namespace tuvik;
using namespace tuvik::sim;

namespace {

// Runs the burner in steps of a second until pred() or the time is up; the
// states passed through are collected.
template <typename Pred>
bool RunUntil(BurnerSim& b, double seconds, Pred pred, std::vector<int>* states = nullptr) {
    for (double t = 0; t < seconds; t += 1.0) {
        b.Advance(1.0);
        if (states && (states->empty() || states->back() != b.ProgramState())) {
            states->push_back(b.ProgramState());
        }
        if (pred()) {
            return true;
        }
    }
    return false;
}

void Put(BurnerSim& b, int address, std::vector<uint8_t> bytes) {
    ASSERT_TRUE(b.Write(address, bytes));
}

}  // namespace

TEST(Burner, ColdStartGoesThroughStartupIntoRunningAndThenIdle) {
    BurnerSim b(1, 1506);
    EXPECT_EQ(b.ProgramState(), BurnerSim::Initialize);
    std::vector<int> states;
    ASSERT_TRUE(RunUntil(
        b, 600, [&] { return b.ProgramState() == BurnerSim::Running; }, &states));
    EXPECT_EQ(states, (std::vector<int>{BurnerSim::Initialize, BurnerSim::Startup,
                                        BurnerSim::RunningInit, BurnerSim::Running}));
    EXPECT_TRUE(b.Burning());
    EXPECT_GT(b.IrSignal(), 300);
    // The boiler warms up to setpoint + hysteresis, then the burner idles.
    ASSERT_TRUE(RunUntil(b, 3600, [&] { return b.ProgramState() == BurnerSim::Idle; }));
    EXPECT_GT(b.WaterTemp(), 74.5);
    EXPECT_EQ(b.FanDrive(), 30) << "VFD IDLE MODE";
    // Cooling below setpoint - hysteresis brings it back through the two steps.
    states.clear();
    ASSERT_TRUE(RunUntil(
        b, 3600, [&] { return b.ProgramState() == BurnerSim::Running; }, &states));
    EXPECT_EQ(states, (std::vector<int>{BurnerSim::Idle, BurnerSim::IdleToRun,
                                        BurnerSim::IdleToRun2, BurnerSim::Running}));
    EXPECT_LT(b.WaterTemp(), 66.0);
}

TEST(Burner, MainParametersDriveTheBurner) {
    BurnerSim b(1, 1506);
    ASSERT_TRUE(RunUntil(b, 600, [&] { return b.ProgramState() == BurnerSim::Running; }));
    b.Advance(15);
    EXPECT_EQ(b.FanDrive(), 70);
    Put(b, Addr::kVfdRun, {55});
    b.Advance(1);
    EXPECT_EQ(b.FanDrive(), 55) << "VFD RUN mode is the fan drive while running";
    // Feeding: on for FUEL_TIME_RUN, off for (about) FUEL_TIME_PAUSE, in tenths.
    Put(b, Addr::kFuelTimeRun, {50, 0});
    int on = 0;
    for (int i = 0; i < 600; ++i) {  // one minute in 0.1 s steps
        b.Advance(0.1);
        on += b.ActuatorOn(BurnerSim::Fuel);
    }
    EXPECT_GT(on, 100);  // about 5 s of every 17 s
    EXPECT_LT(on, 300);
    // A water setpoint of 0 switches the burner off.
    Put(b, Addr::kWaterSetpoint, {0});
    b.Advance(1);
    EXPECT_EQ(b.ProgramState(), BurnerSim::OffMode);
    ASSERT_TRUE(RunUntil(b, 1800, [&] { return !b.Burning(); }));
    b.Advance(1);
    EXPECT_EQ(b.FanDrive(), 0) << "VFD OFF MODE once the grate has burnt out";
}

TEST(Burner, StartupWithoutFlameEndsInTheErrorStateUntilParametersAreTakenAgain) {
    BurnerSim b(1, 1506);
    Put(b, Addr::kIrTrigLevel, {0xE8, 0x03});  // 1000: a flame signal never reached
    Put(b, Addr::kStartupTimeout, {2});        // minutes
    Put(b, Addr::kIgnitionRetries, {1});
    ASSERT_TRUE(RunUntil(b, 900, [&] { return b.ProgramState() == BurnerSim::ErrorState; }));
    // Initialize, then two startups of two minutes each (one retry).
    EXPECT_GE(b.Time(), 3 + 2 * 120);
    EXPECT_LT(b.Time(), 3 + 3 * 120);
    EXPECT_EQ(b.Byte(Addr::kErrorLast), 1);
    EXPECT_EQ(b.Byte(Addr::kErrorCount), 1);
    EXPECT_EQ(b.DeviceStateWord() & BurnerSim::kErrorLed, BurnerSim::kErrorLed);
    EXPECT_EQ(b.DeviceStateWord() & 0x1F, 0) << "everything off";
    b.Advance(30);
    EXPECT_EQ(b.ProgramState(), BurnerSim::ErrorState);
    b.InitParams();
    EXPECT_EQ(b.ProgramState(), BurnerSim::Initialize);
}

TEST(Burner, ActuatorEventsCarryActivityStateAndClock) {
    SimDevice d;
    d.Advance(30'000);
    const auto events = d.TakeUnsolicitedReplies();
    ASSERT_FALSE(events.empty());
    std::set<int> activities;
    uint32_t lastClock = 0;
    for (const SimReply& e : events) {
        ASSERT_EQ(e.cmd, Cmd::ActuatorEvent);
        ASSERT_EQ(e.data.size(), 5u);
        EXPECT_LE(e.data[0], 4);
        activities.insert(e.data[0]);
        const uint32_t clock = e.data[2] | (e.data[3] << 8) | (e.data[4] << 16);
        EXPECT_GE(clock, lastClock);
        EXPECT_LE(clock, 300u) << "tenths of a second since power-on";
        lastClock = clock;
    }
    // The first one: the grate starts at the beginning of the startup (state 9).
    EXPECT_EQ(events[0].data[0], BurnerSim::Grate);
    EXPECT_EQ(events[0].data[1], 0x80 | BurnerSim::Startup);
    EXPECT_EQ(events[0].data[2] | (events[0].data[3] << 8), 31);
    EXPECT_TRUE(activities.count(BurnerSim::Fuel));
    EXPECT_TRUE(activities.count(BurnerSim::Heater));
    EXPECT_TRUE(activities.count(BurnerSim::Air));
    // A stop has bit 7 clear.
    bool stopped = false;
    for (const SimReply& e : events) {
        stopped |= (e.data[1] & 0x80) == 0;
    }
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(d.TakeUnsolicitedReplies().empty()) << "each event is sent once";
}

TEST(Burner, HistogramAndFlameAveragesGrowWhileBurning) {
    SimDevice d;
    int total = 0;
    for (int k = 0; k < 120; ++k) {
        total += d.burner().Word(Addr::kHistTemp + 2 * k);
    }
    EXPECT_GT(d.burner().Word(Addr::kHistTemp + 2 * 10), 32767) << "a well-used class";
    const uint16_t irRun = d.burner().Word(Addr::kHistIrRun);
    d.Advance(3600'000.0);
    int after = 0;
    for (int k = 0; k < 120; ++k) {
        after += d.burner().Word(Addr::kHistTemp + 2 * k);
    }
    EXPECT_GT(after, total);
    EXPECT_LE(after - total, 60) << "one count per burning minute at most";
    EXPECT_NE(d.burner().Word(Addr::kHistIrRun), irRun);
    // The 16-bit read gives the same words.
    const std::vector<uint8_t> a = {0xA4, 0x06};  // 1700
    const auto r = d.HandleRequest(Cmd::ReadWord, a);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].data[0] | (r[0].data[1] << 8), d.burner().Word(1700));
}

TEST(Burner, LambdaCalibrationOnlyInAir) {
    BurnerSim b(1, 1506);
    b.Advance(1);
    EXPECT_NEAR(b.O2(), 21.3, 0.05) << "an uncalibrated probe reads high";
    b.CalibrateLambda();
    EXPECT_NEAR(b.O2(), 20.9, 0.01);
    ASSERT_TRUE(RunUntil(b, 600, [&] { return b.ProgramState() == BurnerSim::Running; }));
    const double before = b.O2();
    b.CalibrateLambda();
    EXPECT_DOUBLE_EQ(b.O2(), before) << "no calibration with a flame";
}

TEST(Burner, CleaningCycleAfterTheSetBurningTime) {
    BurnerSim b(1, 1506);
    Put(b, Addr::kCleanInterval, {3, 0});  // minutes of burning
    std::vector<int> states;
    ASSERT_TRUE(RunUntil(
        b, 900, [&] { return b.ProgramState() == BurnerSim::CleanFanOn; }, &states));
    EXPECT_EQ(states.back(), BurnerSim::CleanFanOn);
    EXPECT_EQ(states[states.size() - 2], BurnerSim::CleanFanOff);
    EXPECT_EQ(b.Word(Addr::kCleanCount), 413);
    EXPECT_TRUE(b.ActuatorOn(BurnerSim::Grate)) << "the grate is moved to shake off the ash";
    ASSERT_TRUE(RunUntil(b, 120, [&] { return b.ProgramState() != BurnerSim::CleanFanOn; }));
    EXPECT_EQ(b.ProgramState(), BurnerSim::Running);
}
