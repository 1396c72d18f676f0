// The controller's PID law, its plant and the closed loop they make.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "ControllerSim.h"
#include "PidLoopSim.h"
#include "link/Packet.h"

using namespace tuvik;
using namespace tuvik::sim;

namespace {

PidParams Auto(float K, float Ti = 0, float Td = 0) {
    PidParams p;
    p.mode = 0x02;
    p.enable = true;
    p.K = K;
    p.Ti = Ti;
    p.Td = Td;
    p.N = 5;
    p.b = 1;
    p.tt = 1;
    p.minContr = 0;
    p.maxContr = 100;
    return p;
}

void WriteSingle(ControllerSim& c, int loop, int offset, float v) {
    std::array<uint8_t, 4> b{};
    PutSingle(b, 0, v);
    ASSERT_TRUE(c.Write(ControllerSim::kBase[loop] + offset, b));
}

}  // namespace

TEST(PidBlock, LayoutIsTheControllerMemoryLayout) {
    PidParams p = Auto(1.25f, 3.5f, 0.75f);
    p.mode = 0x0A;
    p.measurePort = 2;
    p.forwardPort = 3;
    p.inverted = true;
    p.remoteSetpoint = true;
    p.remoteSetpointPort = 4;
    p.manualVal = 12;
    p.setpoint = 55;
    p.forwardK = -2;
    p.tt = 7;
    p.b = 0.5f;
    p.minContr = 5;
    p.maxContr = 95;
    p.Tm = 0.4f;
    p.h = 0.25f;
    p.measureScale = 2;
    p.forwardScale = 3;
    p.setpointScale = 4;
    std::array<uint8_t, Block::kSize> b{};
    b.fill(0xEE);
    p.Encode(b);
    EXPECT_EQ(b[0], 0x0A);
    EXPECT_EQ(b[1], 1);
    EXPECT_EQ(b[2], 2);
    EXPECT_EQ(b[3], 3);
    EXPECT_EQ(b[4], 1);
    EXPECT_EQ(b[5], 1);
    EXPECT_EQ(b[6], 4);
    EXPECT_EQ(b[7], 0);
    const std::array<std::pair<int, float>, 16> singles = {{{8, 12},
                                                            {12, 55},
                                                            {16, 1.25f},
                                                            {20, 3.5f},
                                                            {24, 0.75f},
                                                            {28, -2},
                                                            {32, 7},
                                                            {36, 5},
                                                            {40, 0.5f},
                                                            {44, 5},
                                                            {48, 95},
                                                            {52, 0.4f},
                                                            {56, 0.25f},
                                                            {60, 2},
                                                            {64, 3},
                                                            {68, 4}}};
    for (const auto& [off, v] : singles) {
        EXPECT_EQ(GetSingle(b, off), v) << "offset " << off;
    }
    const PidParams back = PidParams::Decode(b);
    EXPECT_TRUE(back.AutoMode());
    EXPECT_TRUE(back.inverted);
    EXPECT_EQ(back.h, 0.25f);
    EXPECT_EQ(back.setpointScale, 4.0f);
    // Only bit 0 of the inverted byte counts.
    b[4] = 0x02;
    EXPECT_FALSE(PidParams::Decode(b).inverted);
}

TEST(PidLaw, ProportionalManualDisabledAndInverted) {
    PidLaw law;
    // P only: 2 * (50 - 40) = 20, no integral without Ti.
    auto t = law.Step(Auto(2), 50, 40, 0, 0.1);
    EXPECT_DOUBLE_EQ(t.P, 20);
    EXPECT_DOUBLE_EQ(t.out, 20);
    // Setpoint weighting b acts on the proportional part only.
    PidParams weighted = Auto(2);
    weighted.b = 0.5f;
    law.Reset();
    EXPECT_DOUBLE_EQ(law.Step(weighted, 50, 40, 0, 0.1).P, 2 * (25 - 40));
    // Limits clamp the output.
    law.Reset();
    EXPECT_DOUBLE_EQ(law.Step(Auto(100), 50, 0, 0, 0.1).out, 100);
    EXPECT_DOUBLE_EQ(law.Step(Auto(100), 0, 50, 0, 0.1).out, 0);
    // Inverted acting turns the sign of the gain.
    PidParams inv = Auto(2);
    inv.inverted = true;
    inv.minContr = -100;
    law.Reset();
    EXPECT_DOUBLE_EQ(law.Step(inv, 50, 40, 0, 0.1).out, -20);
    // Feed-forward adds ForwardK times the input.
    PidParams ff = Auto(0);
    ff.forwardK = 1.5f;
    law.Reset();
    EXPECT_DOUBLE_EQ(law.Step(ff, 0, 0, 10, 0.1).out, 15);
    // Manual mode gives the manual value within the limits.
    PidParams man = Auto(2);
    man.mode = 0x00;
    man.manualVal = 33;
    EXPECT_DOUBLE_EQ(law.Step(man, 50, 40, 0, 0.1).out, 33);
    man.manualVal = 150;
    EXPECT_DOUBLE_EQ(law.Step(man, 50, 40, 0, 0.1).out, 100);
    // A disabled loop drives nothing.
    PidParams off = Auto(2, 1);
    off.enable = false;
    EXPECT_DOUBLE_EQ(law.Step(off, 50, 40, 0, 0.1).out, 0);
}

TEST(PidLaw, IntegralWindsUpOnlyAsFarAsTrackingAllows) {
    PidLaw law;
    PidParams p = Auto(1, 1);
    p.maxContr = 10;
    p.tt = 0.5f;
    for (int i = 0; i < 2000; ++i) {
        law.Step(p, 100, 0, 0, 0.1);  // a large error that the output cannot follow
    }
    EXPECT_DOUBLE_EQ(law.terms().out, 10);
    // With tracking the integral stays near the limit instead of growing for ever.
    EXPECT_LT(law.terms().I, 100.0);
    // Once the error turns, the output leaves the limit at once.
    law.Step(p, 0, 100, 0, 0.1);
    EXPECT_LT(law.terms().out, 10);
}

TEST(PidLaw, SwitchingFromManualToAutomaticIsBumpless) {
    PidLaw law;
    PidParams p = Auto(2, 5);
    p.mode = 0;
    p.manualVal = 42;
    law.Step(p, 50, 48, 0, 0.1);
    p.mode = 0x02;
    const double out = law.Step(p, 50, 48, 0, 0.1).out;
    EXPECT_NEAR(out, 42, 0.5);
}

TEST(PidLaw, ValuesThatAreNotNumbersNeverReachThePlant) {
    PidLaw law;
    PidParams p = Auto(std::numeric_limits<float>::quiet_NaN(), 1);
    p.maxContr = std::numeric_limits<float>::infinity();
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(std::isfinite(law.Step(p, 10, 0, 0, 0.1).out));
    }
    p = Auto(1, 0.0f, std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isfinite(law.Step(p, 10, 0, 0, 0.1).out));
}

TEST(Plant, DeadTimeThenFirstOrderLag) {
    Plant plant(PlantModel{10.0, 2.0, 1.0, 0.5, 0.0});
    EXPECT_DOUBLE_EQ(plant.Output(), 10.0);
    for (int i = 0; i < 49; ++i) {
        plant.Step(5.0);  // steps of 10 ms
    }
    EXPECT_DOUBLE_EQ(plant.Output(), 10.0) << "nothing before the dead time has passed";
    for (int i = 0; i < 101; ++i) {
        plant.Step(5.0);
    }
    // One time constant after the dead time: about 63 % of the way to 20.
    EXPECT_NEAR(plant.Output(), 10.0 + 10.0 * (1 - std::exp(-1.0)), 0.15);
}

TEST(ControllerLoops, EveryLoopSettlesAtItsSetpoint) {
    ControllerSim c(7);
    c.Advance(900);  // 15 simulated minutes
    for (int i = 0; i < ControllerSim::kLoops; ++i) {
        const double sp = ControllerSim::Defaults()[i].params.setpoint;
        EXPECT_NEAR(c.LiveOf(i).measurement, sp, 0.05 * sp + 0.2) << "loop " << i;
        EXPECT_FALSE(c.Alarm(i)) << "loop " << i;
    }
}

TEST(ControllerLoops, SettingsWrittenToMemoryChangeTheLoop) {
    ControllerSim c(7);
    c.Advance(300);
    // A new setpoint is followed.
    WriteSingle(c, 2, Block::kSetpoint, 3.5f);
    c.Advance(120);
    EXPECT_NEAR(c.LiveOf(2).measurement, 3.5, 0.1);
    EXPECT_NEAR(c.LiveOf(2).setpoint, 3.5, 1e-6);
    // Manual mode holds the manual value; the process goes where that takes it.
    const std::array<uint8_t, 1> manual{0x00};
    ASSERT_TRUE(c.Write(ControllerSim::kBase[2] + Block::kMode, manual));
    WriteSingle(c, 2, Block::kManualVal, 25);
    c.Advance(60);
    EXPECT_DOUBLE_EQ(c.LiveOf(2).terms.out, 25);
    EXPECT_NEAR(c.PlantOutput(2), 25 * 0.04, 0.02);
    // Lower output limit: the loop cannot go below it even when it should.
    ASSERT_TRUE(c.Write(ControllerSim::kBase[2] + Block::kMode, std::array<uint8_t, 1>{0x02}));
    WriteSingle(c, 2, Block::kSetpoint, 0.5f);
    WriteSingle(c, 2, Block::kMinContr, 40);
    c.Advance(120);
    EXPECT_DOUBLE_EQ(c.LiveOf(2).terms.out, 40);
    EXPECT_TRUE(c.Alarm(2)) << "measurement far outside the band around the setpoint";
    // Gain zero and no integral: the output stays where the limits put it.
    WriteSingle(c, 1, Block::kK, 0);
    c.Advance(10);
    EXPECT_DOUBLE_EQ(c.LiveOf(1).terms.P, 0);
}

TEST(ControllerLoops, ScalesAndInputPortsShapeWhatTheLoopSees) {
    ControllerSim c(3);
    c.Advance(60);
    WriteSingle(c, 0, Block::kMeasureScale, 2);
    WriteSingle(c, 0, Block::kTm, 0);
    ASSERT_TRUE(c.Write(ControllerSim::kBase[0] + Block::kMode, std::array<uint8_t, 1>{0x00}));
    c.Advance(1);
    EXPECT_NEAR(c.LiveOf(0).measurement, 2 * c.PlantOutput(0), 0.3);
    // Remote setpoint from input 2 (loop 1's process) times the setpoint scale.
    ASSERT_TRUE(
        c.Write(ControllerSim::kBase[0] + Block::kRemoteSetpoint, std::array<uint8_t, 2>{1, 2}));
    WriteSingle(c, 0, Block::kSetpointScale, 0.5f);
    c.Advance(1);
    EXPECT_NEAR(c.LiveOf(0).setpoint, 0.5 * c.PlantOutput(1), 0.5);
    // A zero scale is taken as 1 rather than wiping out the signal.
    WriteSingle(c, 0, Block::kMeasureScale, 0);
    c.Advance(1);
    EXPECT_NEAR(c.LiveOf(0).measurement, c.PlantOutput(0), 0.2);
    // An input number outside 1..4 reads 0.
    ASSERT_TRUE(c.Write(ControllerSim::kBase[0] + Block::kForwardPort, std::array<uint8_t, 1>{9}));
    c.Advance(1);
    EXPECT_DOUBLE_EQ(c.LiveOf(0).yfw, 0);
}

TEST(ControllerLoops, SameSeedSameRun) {
    ControllerSim a(11), b(11), other(12);
    a.Advance(120);
    b.Advance(120);
    other.Advance(120);
    EXPECT_EQ(a.StatusRecord(1), b.StatusRecord(1));
    EXPECT_NE(a.StatusRecord(1), other.StatusRecord(1));
}
