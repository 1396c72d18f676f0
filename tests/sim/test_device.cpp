// The simulated device's answers to every request, byte by byte, without any
// transport in between.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "BurnerParams.h"
#include "SimDevice.h"
#include "link/Packet.h"

using namespace tuvik;
using namespace tuvik::sim;

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<SimReply> Ask(SimDevice& d, uint8_t cmd, Bytes data = {0}) {
    return d.HandleRequest(cmd, data);
}

std::vector<uint8_t> Cmds(const std::vector<SimReply>& r) {
    std::vector<uint8_t> c;
    for (const SimReply& x : r) {
        c.push_back(x.cmd);
    }
    return c;
}

Bytes Write(int address, const Bytes& bytes) {
    Bytes d;
    d.reserve(bytes.size() + 2);
    d.push_back(static_cast<uint8_t>(address & 0xFF));
    d.push_back(static_cast<uint8_t>(address >> 8));
    for (uint8_t b : bytes) {
        d.push_back(b);
    }
    return d;
}

Bytes Single(float v) {
    Bytes b(4);
    PutSingle(b, 0, v);
    return b;
}

uint16_t U16At(const Bytes& d, size_t i) {
    return static_cast<uint16_t>(d[i] | (d[i + 1] << 8));
}

}  // namespace

TEST(DeviceRequests, DataRequestGivesLiveValuesQuietValuesNowAndThenAndTheAlarm) {
    SimDevice d;
    d.Advance(2000);
    auto r = Ask(d, Cmd::DataRequest);
    ASSERT_GE(r.size(), 2u);
    EXPECT_EQ(r[0].cmd, Cmd::DataRequest);
    EXPECT_TRUE(r[0].data.empty());
    ASSERT_EQ(r[1].cmd, Cmd::LiveValues);
    ASSERT_EQ(r[1].data.size(), 16u);
    const auto& live = d.controller().LiveOf(0);
    EXPECT_FLOAT_EQ(GetSingle(r[1].data, 0), static_cast<float>(live.terms.out));
    EXPECT_FLOAT_EQ(GetSingle(r[1].data, 4), static_cast<float>(live.measurement));
    EXPECT_FLOAT_EQ(GetSingle(r[1].data, 8), static_cast<float>(live.setpoint));
    EXPECT_FLOAT_EQ(GetSingle(r[1].data, 12), static_cast<float>(live.yfw));
    // The first data request reports the alarm state; it is then repeated only
    // when it changes or now and then.
    ASSERT_EQ(r.back().cmd, Cmd::Alarm);
    size_t quiet = 0, alarms = 0;
    for (int i = 0; i < 49; ++i) {
        for (const SimReply& x : Ask(d, Cmd::DataRequest)) {
            quiet += x.cmd == Cmd::LiveValuesQuiet;
            alarms += x.cmd == Cmd::Alarm;
            if (x.cmd == Cmd::LiveValuesQuiet) {
                EXPECT_EQ(x.data.size(), 16u);
            }
        }
    }
    EXPECT_EQ(quiet, 5u);  // every tenth of 50 requests
    EXPECT_GE(alarms, 1u);
    EXPECT_LE(alarms, 4u);
}

TEST(DeviceRequests, AlarmFollowsTheBandAroundTheSetpoint) {
    SimDevice d;
    d.Advance(600'000);
    Ask(d, Cmd::DataRequest);  // reported state: no alarm
    // A setpoint far from the process raises it at the next request.
    auto w = Ask(d, Cmd::MemWrite, Write(700 + 12, Single(15)));
    d.Advance(200);
    const auto r = Ask(d, Cmd::DataRequest);
    ASSERT_EQ(r.back().cmd, Cmd::Alarm);
    EXPECT_EQ(r.back().data, Bytes{1});
    Ask(d, Cmd::MemWrite, Write(700 + 12, Single(6.5f)));
    d.Advance(60'000);
    const auto back = Ask(d, Cmd::DataRequest);
    ASSERT_EQ(back.back().cmd, Cmd::Alarm);
    EXPECT_EQ(back.back().data, Bytes{0});
}

TEST(DeviceRequests, SelectAndStatusRecord) {
    SimDevice d;
    d.Advance(5000);
    auto sel = Ask(d, Cmd::SelectLoop, {2});
    ASSERT_EQ(sel.size(), 1u);
    EXPECT_EQ(sel[0].data, Bytes{2});
    EXPECT_TRUE(Ask(d, Cmd::SelectLoop, {4}).empty()) << "no fifth loop";
    EXPECT_EQ(d.controller().Selected(), 2);

    const auto r = Ask(d, Cmd::ReadStatus);
    ASSERT_EQ(Cmds(r), (std::vector<uint8_t>{Cmd::ReadStatus, Cmd::StatusRecord}));
    const Bytes& s = r[1].data;
    ASSERT_EQ(s.size(), 88u);
    const auto block = d.controller().BlockOf(2);
    // Flags, ports and the parameters up to Tm are the block's own bytes.
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + 7, s.begin()));
    EXPECT_EQ(s[7], 0);
    EXPECT_TRUE(std::equal(block.begin() + 8, block.begin() + 56, s.begin() + 8));
    // From 56 on the record differs from the block: live values, then h.
    const auto& live = d.controller().LiveOf(2);
    EXPECT_FLOAT_EQ(GetSingle(s, 56), static_cast<float>(live.yfw));
    EXPECT_FLOAT_EQ(GetSingle(s, 60), static_cast<float>(live.measurement));
    EXPECT_FLOAT_EQ(GetSingle(s, 64), GetSingle(block, 56));
    EXPECT_FLOAT_EQ(GetSingle(s, 68), static_cast<float>(live.terms.P));
    EXPECT_FLOAT_EQ(GetSingle(s, 72), static_cast<float>(live.terms.I));
    EXPECT_FLOAT_EQ(GetSingle(s, 76), static_cast<float>(live.terms.D));
    EXPECT_FLOAT_EQ(GetSingle(s, 80), static_cast<float>(live.terms.feedFw));
    EXPECT_FLOAT_EQ(GetSingle(s, 84), static_cast<float>(live.terms.out));
    EXPECT_EQ(s[0] & 0x02, 0x02) << "automatic mode";
    EXPECT_EQ(s[2], 3) << "loop 2 measures input 3";
}

TEST(DeviceRequests, ControllerWriteIsAcknowledgedAndShowsInTheStatusRecord) {
    SimDevice d;
    Ask(d, Cmd::SelectLoop, {1});
    // The tool's five writes of a settings send, at base 800.
    Bytes first;
    for (float v : {10.0f, 150.0f, 2.5f, 45.0f, 3.0f, 0.0f}) {
        const Bytes b = Single(v);
        first.insert(first.end(), b.begin(), b.end());
    }
    auto ack = Ask(d, Cmd::MemWrite, Write(808, first));
    ASSERT_EQ(ack.size(), 1u);
    EXPECT_EQ(ack[0].cmd, Cmd::WriteAck);
    EXPECT_EQ(ack[0].data, Bytes{1});
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(856, Single(0.5f)))[0].data, Bytes{1});  // h
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(800, {0x02, 1, 2, 1, 1, 0, 3}))[0].data, Bytes{1});
    // In controller memory...
    const auto mem = d.ControllerMemory();
    EXPECT_FLOAT_EQ(GetSingle(mem, 808), 10.0f);
    EXPECT_FLOAT_EQ(GetSingle(mem, 816), 2.5f);
    EXPECT_EQ(mem[804], 1);
    // ...and in the next status record.
    d.Advance(2000);
    const Bytes s = Ask(d, Cmd::ReadStatus)[1].data;
    EXPECT_FLOAT_EQ(GetSingle(s, 8), 10.0f);    // ManualVal
    EXPECT_FLOAT_EQ(GetSingle(s, 12), 150.0f);  // Setpoint
    EXPECT_FLOAT_EQ(GetSingle(s, 16), 2.5f);    // K
    EXPECT_FLOAT_EQ(GetSingle(s, 20), 45.0f);   // Ti
    EXPECT_FLOAT_EQ(GetSingle(s, 64), 0.5f);    // h sits at 64 in the record
    EXPECT_EQ(s[4] & 1, 1);                     // inverted
    // The other loops are untouched.
    EXPECT_FLOAT_EQ(GetSingle(d.ControllerMemory(), 700 + 16), 4.0f);
}

TEST(DeviceRequests, WritesThatCannotBeDoneAreRefused) {
    SimDevice d;
    const Bytes idBefore(d.BurnerMemory().begin(), d.BurnerMemory().begin() + 4);
    // The identification is read only.
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(2, {7}))[0].data, Bytes{0});
    EXPECT_TRUE(std::equal(idBefore.begin(), idBefore.end(), d.BurnerMemory().begin()));
    // A write with no bytes, or none at all.
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(300, {}))[0].data, Bytes{0});
    EXPECT_EQ(Ask(d, Cmd::MemWrite, {0})[0].data, Bytes{0});
    // Half inside the last loop's block, half outside it.
    const Bytes tail(d.ControllerMemory().begin() + 1068, d.ControllerMemory().begin() + 1072);
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(1070, {1, 2, 3, 4}))[0].data, Bytes{0});
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), d.ControllerMemory().begin() + 1068));
    EXPECT_EQ(d.BurnerMemory()[1072], 0xFF) << "nor did any of it reach the burner";
    // Past the end of the address space.
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(0xFFFF, {1, 2}))[0].data, Bytes{0});
    EXPECT_EQ(d.stats().writes, 0u);
}

TEST(DeviceRequests, BurnerWriteShowsInEveryRead) {
    SimDevice d;
    // A byte of the main block: VFD RUN mode at 24.
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(24, {55}))[0].data, Bytes{1});
    EXPECT_EQ(d.BurnerMemory()[24], 55);
    const auto set = Ask(d, Cmd::ReadParamSet);
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(set[0].data[24], 55);
    EXPECT_EQ(Ask(d, Cmd::ReadByte, {24, 0})[0].data, (Bytes{55, 24, 0}));
    // A word: Fuelfeed temperature at 4, written low byte first.
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(4, {0x2C, 0x01}))[0].data, Bytes{1});
    EXPECT_EQ(Ask(d, Cmd::ReadParamSet)[0].data[4], 0x2C);
    EXPECT_EQ(Ask(d, Cmd::ReadWord, {4, 0})[0].data, (Bytes{0x2C, 0x01, 4, 0}));
    // An address far away from everything defined.
    EXPECT_EQ(Ask(d, Cmd::MemWrite, Write(30000, {0xAB}))[0].data, Bytes{1});
    const auto rb = Ask(d, Cmd::ReadByte, {0x30, 0x75});
    ASSERT_EQ(rb.size(), 1u);
    EXPECT_EQ(rb[0].cmd, Cmd::ByteValue);
    EXPECT_EQ(rb[0].data, (Bytes{0xAB, 0x30, 0x75}));
    EXPECT_EQ(d.stats().writes, 3u);
}

TEST(DeviceRequests, ParameterSetCarriesIdentificationAndMainBlock) {
    SimDevice d;
    const auto r = Ask(d, Cmd::ReadParamSet);
    ASSERT_EQ(Cmds(r), std::vector<uint8_t>{Cmd::ParamSet});
    const Bytes& p = r[0].data;
    ASSERT_EQ(p.size(), 36u);
    EXPECT_EQ(U16At(p, 0), 1506);
    EXPECT_EQ(p[2], 3);
    EXPECT_EQ(p[3], 100);
    // Every main parameter sits at its address with its factory value.
    for (const BurnerParam& bp : BurnerParams()) {
        if (bp.address >= 4 && bp.address < 36) {
            const int v =
                bp.width == 1 ? p[bp.address] : static_cast<int16_t>(U16At(p, bp.address));
            EXPECT_EQ(v, bp.init) << bp.name;
        }
    }
    SimDevice old(SimConfig{1, 1499});
    EXPECT_EQ(U16At(Ask(old, Cmd::ReadParamSet)[0].data, 0), 1499);
}

TEST(DeviceRequests, MeasurementsNewAndOldLayout) {
    SimDevice d;
    d.Advance(300'000);
    const auto& b = d.burner();
    const Bytes m = Ask(d, Cmd::MeasRequest)[0].data;
    ASSERT_EQ(m.size(), 17u);
    EXPECT_EQ(U16At(m, 0), static_cast<uint16_t>(std::lround(b.GasTemp())));
    EXPECT_EQ(U16At(m, 2), static_cast<uint16_t>(std::lround(b.HeaterTemp())));
    EXPECT_EQ(m[7], static_cast<uint8_t>(std::lround(b.O2() * 10)));
    EXPECT_EQ(U16At(m, 8), static_cast<uint16_t>(std::lround(b.WaterTemp() * 10)));
    EXPECT_EQ(m[10], b.FanDrive());
    EXPECT_EQ(U16At(m, 12), static_cast<uint16_t>(std::lround(b.IrSignal())));
    EXPECT_EQ(U16At(m, 14), b.DeviceStateWord());
    EXPECT_EQ(m[16], b.ProgramState());
    EXPECT_EQ(m[16], BurnerSim::Running);
    EXPECT_EQ(m[10], 70) << "VFD RUN mode while running";
    EXPECT_NE(U16At(m, 14) & BurnerSim::kStateLed, 0);

    SimDevice old(SimConfig{1, 1499});
    old.Advance(300'000);
    const Bytes o = Ask(old, Cmd::MeasRequest)[0].data;
    ASSERT_EQ(o.size(), 17u);
    EXPECT_FLOAT_EQ(GetSingle(o, 0), static_cast<float>(old.burner().GasTemp()));
    EXPECT_FLOAT_EQ(GetSingle(o, 4), static_cast<float>(old.burner().O2()));
    EXPECT_EQ(U16At(o, 8), static_cast<uint16_t>(std::lround(old.burner().WaterTemp() * 10)));
}

TEST(DeviceRequests, UsageCountersAdvanceWithSimulatedTime) {
    SimDevice d;
    auto counters = [&d] {
        const Bytes u = Ask(d, Cmd::UsageRequest)[0].data;
        EXPECT_EQ(u.size(), 20u);
        std::array<int32_t, 5> c{};
        for (int i = 0; i < 5; ++i) {
            c[i] = static_cast<int32_t>(u[4 * i] | (u[4 * i + 1] << 8) | (u[4 * i + 2] << 16) |
                                        (u[4 * i + 3] << 24));
        }
        return c;
    };
    const auto before = counters();
    EXPECT_EQ(before[0], 593280);
    d.Advance(30 * 60'000.0);
    const auto after = counters();
    EXPECT_EQ(after[0] - before[0], 30) << "power-on minutes";
    EXPECT_EQ((after[1] - before[1]) + (after[2] - before[2]) + (after[3] - before[3]) +
                  (after[4] - before[4]),
              30)
        << "every minute lands in exactly one state counter";
    EXPECT_GT(after[2], before[2]) << "it has been running";
}

TEST(DeviceRequests, AnalogInputsAndBoot) {
    SimDevice d;
    d.Advance(120'000);
    const auto r = Ask(d, Cmd::AnalogRequest);
    ASSERT_EQ(Cmds(r), (std::vector<uint8_t>{Cmd::AnalogRequest, Cmd::AnalogValues}));
    const Bytes& a = r[1].data;
    ASSERT_EQ(a.size(), 16u);
    EXPECT_NEAR(U16At(a, 2), d.controller().PlantOutput(1) * 10, 10) << "AD1 is input 2";
    EXPECT_NEAR(U16At(a, 12), d.burner().WaterTemp() * 10, 2) << "AD6 is the boiler water";
    EXPECT_NEAR(U16At(a, 10), 2400, 40) << "AD5 is the supply";

    Ask(d, Cmd::SelectLoop, {3});
    auto b1 = Ask(d, Cmd::Boot);
    ASSERT_EQ(b1.size(), 1u);
    EXPECT_EQ(b1[0].cmd, Cmd::DeviceStarted);
    EXPECT_EQ(b1[0].data, Bytes{1});
    EXPECT_EQ(Ask(d, Cmd::Boot)[0].data, Bytes{2});
    EXPECT_EQ(d.controller().Selected(), 0) << "a restart selects the first loop";
}

TEST(DeviceRequests, SingleLetterCommandsAndUnknownRequests) {
    SimDevice d;
    Ask(d, Cmd::SelectLoop, {1});
    const float sp = GetSingle(d.ControllerMemory(), 812);
    EXPECT_TRUE(Ask(d, Cmd::Plus).empty());
    Ask(d, Cmd::Plus);
    EXPECT_FLOAT_EQ(GetSingle(d.ControllerMemory(), 812), sp + 2);
    Ask(d, Cmd::Minus);
    EXPECT_FLOAT_EQ(GetSingle(d.ControllerMemory(), 812), sp + 1);
    EXPECT_TRUE(Ask(d, Cmd::LetterW).empty());
    EXPECT_EQ(d.ControllerMemory()[801], 0);
    d.Advance(1000);
    EXPECT_DOUBLE_EQ(d.controller().LiveOf(1).terms.out, 0) << "a disabled loop drives nothing";
    Ask(d, Cmd::LetterE);
    EXPECT_EQ(d.ControllerMemory()[801], 1);
    EXPECT_TRUE(Ask(d, Cmd::Commit).empty());
    EXPECT_TRUE(Ask(d, Cmd::CalLambda).empty());
    for (uint8_t unknown : {0x00, 0x42, 0x92, 0xAA, 0xFF}) {
        EXPECT_TRUE(Ask(d, unknown).empty()) << int(unknown);
        EXPECT_FALSE(SimDevice::IsRequest(unknown));
    }
    EXPECT_TRUE(Ask(d, Cmd::ReadByte, {5}).empty()) << "an address needs two bytes";
}

TEST(DeviceRequests, SameSeedSameBytes) {
    SimDevice a(SimConfig{5}), b(SimConfig{5});
    for (int i = 0; i < 50; ++i) {
        a.Advance(333);
        b.Advance(333);
        for (uint8_t c : {Cmd::DataRequest, Cmd::MeasRequest, Cmd::AnalogRequest}) {
            const auto ra = Ask(a, c), rb = Ask(b, c);
            ASSERT_EQ(ra.size(), rb.size());
            for (size_t k = 0; k < ra.size(); ++k) {
                EXPECT_EQ(ra[k].data, rb[k].data);
            }
        }
    }
}
