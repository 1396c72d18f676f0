#include "PidLoopSim.h"

#include "link/Packet.h"

#include <algorithm>
#include <cmath>

namespace tuvik::sim {

PidParams PidParams::Decode(std::span<const uint8_t> b) {
    PidParams p;
    p.mode = b[Block::kMode];
    p.enable = b[Block::kEnable] != 0;
    p.measurePort = b[Block::kMeasurePort];
    p.forwardPort = b[Block::kForwardPort];
    p.inverted = (b[Block::kInverted] & 0x01) != 0;
    p.remoteSetpoint = b[Block::kRemoteSetpoint] != 0;
    p.remoteSetpointPort = b[Block::kRemoteSetpointPort];
    p.manualVal = GetSingle(b, Block::kManualVal);
    p.setpoint = GetSingle(b, Block::kSetpoint);
    p.K = GetSingle(b, Block::kK);
    p.Ti = GetSingle(b, Block::kTi);
    p.Td = GetSingle(b, Block::kTd);
    p.forwardK = GetSingle(b, Block::kForwardK);
    p.tt = GetSingle(b, Block::kTt);
    p.N = GetSingle(b, Block::kN);
    p.b = GetSingle(b, Block::kB);
    p.minContr = GetSingle(b, Block::kMinContr);
    p.maxContr = GetSingle(b, Block::kMaxContr);
    p.Tm = GetSingle(b, Block::kTm);
    p.h = GetSingle(b, Block::kH);
    p.measureScale = GetSingle(b, Block::kMeasureScale);
    p.forwardScale = GetSingle(b, Block::kForwardScale);
    p.setpointScale = GetSingle(b, Block::kSetpointScale);
    return p;
}

void PidParams::Encode(std::span<uint8_t> b) const {
    b[Block::kMode] = mode;
    b[Block::kEnable] = enable ? 1 : 0;
    b[Block::kMeasurePort] = measurePort;
    b[Block::kForwardPort] = forwardPort;
    b[Block::kInverted] = inverted ? 1 : 0;
    b[Block::kRemoteSetpoint] = remoteSetpoint ? 1 : 0;
    b[Block::kRemoteSetpointPort] = remoteSetpointPort;
    b[7] = 0;
    PutSingle(b, Block::kManualVal, manualVal);
    PutSingle(b, Block::kSetpoint, setpoint);
    PutSingle(b, Block::kK, K);
    PutSingle(b, Block::kTi, Ti);
    PutSingle(b, Block::kTd, Td);
    PutSingle(b, Block::kForwardK, forwardK);
    PutSingle(b, Block::kTt, tt);
    PutSingle(b, Block::kN, N);
    PutSingle(b, Block::kB, this->b);
    PutSingle(b, Block::kMinContr, minContr);
    PutSingle(b, Block::kMaxContr, maxContr);
    PutSingle(b, Block::kTm, Tm);
    PutSingle(b, Block::kH, h);
    PutSingle(b, Block::kMeasureScale, measureScale);
    PutSingle(b, Block::kForwardScale, forwardScale);
    PutSingle(b, Block::kSetpointScale, setpointScale);
}

PidLawSettings PidParams::LawSettings() const {
    // Floats widen to doubles as they are, NaN and infinities included: the
    // law itself replaces them.
    PidLawSettings s;
    s.enable = enable;
    s.automatic = AutoMode();
    s.inverted = inverted;
    s.manual = manualVal;
    s.K = K;
    s.Ti = Ti;
    s.Td = Td;
    s.N = N;
    s.b = b;
    s.Tt = tt;
    s.forwardK = forwardK;
    s.minOut = minContr;
    s.maxOut = maxContr;
    return s;
}

Plant::Plant(const PlantModel& m) : model_(m), y_(m.base) {
    const double T = std::max(m.timeConstant, kStep);
    alpha_ = 1.0 - std::exp(-kStep / T);
    const size_t n = static_cast<size_t>(std::max(0.0, std::round(m.deadTime / kStep)));
    delay_.assign(n + 1, 0.0f);
}

void Plant::Step(double u) {
    delay_[head_] = static_cast<float>(u);
    head_ = (head_ + 1) % delay_.size();
    const double delayed = delay_[head_];  // the oldest input in the ring
    const double target = model_.base + model_.gain * delayed;
    y_ += (target - y_) * alpha_;
}

}  // namespace tuvik::sim
