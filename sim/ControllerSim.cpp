#include "ControllerSim.h"

#include "link/Packet.h"

#include <algorithm>
#include <cmath>

namespace tuvik::sim {

namespace {

PidParams MakeParams(uint8_t measurePort, uint8_t forwardPort, uint8_t remotePort, float manual,
                     float setpoint, float K, float Ti, float Td, float tt, float b, float minC,
                     float maxC, float Tm, float h) {
    PidParams p;
    p.mode = 0x02;
    p.enable = true;
    p.measurePort = measurePort;
    p.forwardPort = forwardPort;
    p.remoteSetpointPort = remotePort;
    p.manualVal = manual;
    p.setpoint = setpoint;
    p.K = K;
    p.Ti = Ti;
    p.Td = Td;
    p.forwardK = 0;
    p.tt = tt;
    p.N = 5;
    p.b = b;
    p.minContr = minC;
    p.maxContr = maxC;
    p.Tm = Tm;
    p.h = h;
    return p;
}

const std::array<LoopDefaults, ControllerSim::kLoops> kDefaults = {{
    // Flue gas O2 (%) trimmed by the combustion air fan.
    {"PID 1", "PID_def.PID", MakeParams(1, 2, 3, 40, 6.5f, 4, 3, 0.2f, 2, 1, 10, 100, 0.3f, 0.1f),
     PlantModel{1.0, 0.12, 3.0, 0.5, 0.03}, 1.0, 0.1f},
    // Boiler temperature (C) by the burner power.
    {"PID 1", "PICZA303_def.PID", MakeParams(2, 1, 3, 30, 180, 1.5f, 60, 4, 15, 0.8f, 0, 100, 2, 1),
     PlantModel{20.0, 2.2, 90.0, 8.0, 0.2}, 15.0, 1.0f},
    // Line pressure (bar) by the pump drive.
    {"PICZA304", "PICZA304_def.PID",
     MakeParams(3, 4, 4, 50, 2.5f, 6, 2.5f, 0, 2, 1, 0, 100, 0.2f, 0.2f),
     PlantModel{0.0, 0.04, 4.0, 0.3, 0.01}, 0.3, 0.1f},
    // Hot water tank temperature (C) by the mixing valve.
    {"TICZA116", "TICZA116_def.PID", MakeParams(4, 1, 1, 20, 60, 2, 120, 8, 20, 0.7f, 0, 100, 2, 1),
     PlantModel{12.0, 0.9, 120.0, 10.0, 0.15}, 5.0, 1.0f},
}};

double ScaleOrOne(float s) {
    return (std::isfinite(s) && s != 0.0f) ? s : 1.0;
}

uint16_t ToWord(double v) {
    if (!(v > 0)) {
        return 0;
    }
    return static_cast<uint16_t>(std::min(65535.0, std::round(v)));
}

}  // namespace

const std::array<LoopDefaults, ControllerSim::kLoops>& ControllerSim::Defaults() {
    return kDefaults;
}

ControllerSim::ControllerSim(uint64_t seed,
                             const std::array<std::optional<PlantModel>, kLoops>& plants)
    : memory_(kMemorySize, 0), rng_(seed ^ 0xC0417A11ull) {
    for (int i = 0; i < kLoops; ++i) {
        PidParams p = kDefaults[i].params;
        p.Encode(std::span<uint8_t>(memory_).subspan(kBase[i], Block::kSize));
        plants_.emplace_back(plants[i].value_or(kDefaults[i].plant));
    }
}

void ControllerSim::SetPlant(int loop, const PlantModel& m) {
    if (loop >= 0 && loop < kLoops) {
        plants_[loop] = Plant(m);
    }
}

bool ControllerSim::Owns(int address, int len) {
    return address >= kFirstAddress && len >= 0 && address + len <= kEndAddress;
}

bool ControllerSim::Write(int address, std::span<const uint8_t> bytes) {
    if (!Owns(address, static_cast<int>(bytes.size()))) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), memory_.begin() + address);
    return true;
}

bool ControllerSim::Select(int loop) {
    if (loop < 0 || loop >= kLoops) {
        return false;
    }
    selected_ = loop;
    return true;
}

void ControllerSim::Advance(double seconds) {
    if (!(seconds > 0)) {
        return;
    }
    pending_ += seconds;
    while (pending_ >= kStep) {
        pending_ -= kStep;
        Step();
    }
}

void ControllerSim::Step() {
    time_ += kStep;
    for (int i = 0; i < kLoops; ++i) {
        plants_[i].Step(loops_[i].live.terms.out);
    }
    for (int i = 0; i < kLoops; ++i) {
        Loop& l = loops_[i];
        l.sinceSample += kStep;
        const float hSet = GetSingle(BlockOf(i), Block::kH);
        // A cycle time shorter than the plant step runs once per step.
        const double h = (std::isfinite(hSet) && hSet > kStep) ? hSet : kStep;
        if (l.sinceSample + 1e-9 >= h) {
            Sample(i, std::min(l.sinceSample, 3600.0));
            l.sinceSample = 0;
        }
    }
}

double ControllerSim::Input(int port) {
    if (port < 1 || port > kLoops) {
        return 0.0;
    }
    const Plant& p = plants_[port - 1];
    return p.Output() + p.model().noise * rng_.Gauss();
}

void ControllerSim::Sample(int i, double h) {
    Loop& l = loops_[i];
    const PidParams p = Params(i);
    const double raw = Input(p.measurePort) * ScaleOrOne(p.measureScale);
    const double Tm = std::isfinite(p.Tm) ? p.Tm : 0.0;
    if (!l.filterPrimed || Tm <= 0) {
        l.filtered = raw;
        l.filterPrimed = true;
    } else {
        l.filtered += (raw - l.filtered) * h / (Tm + h);
    }
    l.live.measurement = l.filtered;
    l.live.setpoint = p.remoteSetpoint ? Input(p.remoteSetpointPort) * ScaleOrOne(p.setpointScale)
                                       : (std::isfinite(p.setpoint) ? p.setpoint : 0.0);
    l.live.yfw = Input(p.forwardPort) * ScaleOrOne(p.forwardScale);
    l.live.terms = l.law.Step(p.LawSettings(), l.live.setpoint, l.live.measurement, l.live.yfw, h);

    const double dev = std::fabs(l.live.measurement - l.live.setpoint);
    const double band = kDefaults[i].alarmBand;
    if (!p.enable) {
        l.live.alarm = false;
    } else if (dev > band) {
        l.live.alarm = true;
    } else if (dev < 0.8 * band) {
        l.live.alarm = false;
    }
}

std::array<uint8_t, Status::kSize> ControllerSim::StatusRecord(int loop) const {
    std::array<uint8_t, Status::kSize> s{};
    const auto block = BlockOf(loop);
    std::copy(block.begin(), block.begin() + Block::kH, s.begin());
    s[7] = 0;
    const Live& v = loops_[loop].live;
    // The working setpoint: the loop's own as written while remote setpoint is
    // off, the remote input's as last sampled while it is on.
    if (s[Block::kRemoteSetpoint] != 0) {
        PutSingle(s, Block::kSetpoint, static_cast<float>(v.setpoint));
    }
    PutSingle(s, Status::kYfw, static_cast<float>(v.yfw));
    PutSingle(s, Status::kMeasurement, static_cast<float>(v.measurement));
    PutSingle(s, Status::kH, GetSingle(block, Block::kH));
    PutSingle(s, Status::kP, static_cast<float>(v.terms.P));
    PutSingle(s, Status::kI, static_cast<float>(v.terms.I));
    PutSingle(s, Status::kD, static_cast<float>(v.terms.D));
    PutSingle(s, Status::kFeedFw, static_cast<float>(v.terms.feedFw));
    PutSingle(s, Status::kOutput, static_cast<float>(v.terms.out));
    return s;
}

std::array<uint8_t, 16> ControllerSim::LiveValues(int loop) const {
    std::array<uint8_t, 16> d{};
    const Live& v = loops_[loop].live;
    PutSingle(d, 0, static_cast<float>(v.terms.out));
    PutSingle(d, 4, static_cast<float>(v.measurement));
    PutSingle(d, 8, static_cast<float>(v.setpoint));
    PutSingle(d, 12, static_cast<float>(v.yfw));
    return d;
}

std::array<uint16_t, 8> ControllerSim::AnalogWords() {
    std::array<uint16_t, 8> w{};
    for (int k = 0; k < kLoops; ++k) {
        w[k] = ToWord(Input(k + 1) * 10.0);  // inputs in tenths of their unit
    }
    // AD4: outdoor temperature sensor, 500 counts at 0 C, 10 counts per degree.
    const double outdoor = 5.0 + 8.0 * std::sin(time_ * 2.0 * 3.14159265358979 / 3600.0);
    w[4] = ToWord(500.0 + 10.0 * outdoor + rng_.Gauss());
    // AD5: 24 V supply in hundredths of a volt.
    w[5] = ToWord(2400.0 + 4.0 * rng_.Gauss());
    w[6] = aux6_;
    w[7] = aux7_;
    return w;
}

std::array<uint8_t, 16> ControllerSim::AnalogInputs() {
    std::array<uint8_t, 16> d{};
    const auto w = AnalogWords();
    for (int k = 0; k < 8; ++k) {
        d[2 * k] = static_cast<uint8_t>(w[k] & 0xFF);
        d[2 * k + 1] = static_cast<uint8_t>(w[k] >> 8);
    }
    return d;
}

void ControllerSim::StepSetpoint(int direction) {
    const int base = kBase[selected_];
    const float sp = GetSingle(memory_, base + Block::kSetpoint);
    const float next = (std::isfinite(sp) ? sp : 0.0f) +
                       static_cast<float>(direction) * kDefaults[selected_].setpointStep;
    PutSingle(memory_, base + Block::kSetpoint, next);
}

void ControllerSim::SetEnabled(bool on) {
    memory_[kBase[selected_] + Block::kEnable] = on ? 1 : 0;
}

int ControllerSim::Boot() {
    ++boots_;
    for (Loop& l : loops_) {
        l.law.Reset();
        l.live = Live{};
        l.filterPrimed = false;
        l.sinceSample = 1e9;
    }
    selected_ = 0;
    return boots_;
}

}  // namespace tuvik::sim
