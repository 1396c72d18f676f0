#include "PidLoopSim.h"

#include "link/Packet.h"

#include <algorithm>
#include <cmath>

namespace tuvik::sim {

namespace {
// A value the loop can work with: settings written by hand may hold NaN or
// infinities, which must never reach the plant.
double Finite(float v, double fallback = 0.0) {
    return std::isfinite(v) ? static_cast<double>(v) : fallback;
}
}  // namespace

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

void PidLaw::Reset() {
    t_ = Terms{};
    yOld_ = 0;
    primed_ = false;
}

const PidLaw::Terms& PidLaw::Step(const PidParams& p, double ysp, double y, double yfw, double h) {
    double lo = Finite(p.minContr);
    double hi = Finite(p.maxContr, 100.0);
    if (lo > hi) {
        std::swap(lo, hi);
    }
    if (!p.enable) {
        Reset();
        return t_;
    }
    if (!primed_) {
        yOld_ = y;
        primed_ = true;
    }
    const double sign = p.inverted ? -1.0 : 1.0;
    const double K = sign * Finite(p.K);
    const double Ti = Finite(p.Ti);
    const double Td = std::max(0.0, Finite(p.Td));
    const double N = Finite(p.N);
    const double Tt = Finite(p.tt);
    const double b = Finite(p.b, 1.0);

    const double bi = Ti > 0 ? K * h / Ti : 0.0;
    const double denom = Td + N * h;
    const double ad = (Td > 0 && N > 0 && denom > 0) ? Td / denom : 0.0;
    const double bd = (Td > 0 && N > 0 && denom > 0) ? K * Td * N / denom : 0.0;
    const double ao = Tt > 0 ? std::min(1.0, h / Tt) : 0.0;

    t_.P = K * (b * ysp - y);
    t_.D = ad * t_.D - bd * (y - yOld_);
    t_.feedFw = Finite(p.forwardK) * yfw;
    const double v = t_.P + t_.I + t_.D + t_.feedFw;
    if (p.AutoMode()) {
        t_.out = std::clamp(v, lo, hi);
        if (ao > 0) {
            t_.I += bi * (ysp - y) + ao * (t_.out - v);
        } else if (t_.out == v) {
            t_.I += bi * (ysp - y);  // no tracking time: integrate only while unsaturated
        }
    } else {
        t_.out = std::clamp(Finite(p.manualVal), lo, hi);
        t_.I = t_.out - t_.P - t_.D - t_.feedFw;  // bumpless return to automatic
    }
    if (!std::isfinite(t_.out) || !std::isfinite(t_.I) || !std::isfinite(t_.D)) {
        Reset();
        t_.out = lo;
    }
    yOld_ = y;
    return t_;
}

}  // namespace tuvik::sim
