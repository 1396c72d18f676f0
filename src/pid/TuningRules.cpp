#include "pid/TuningRules.h"

#include <algorithm>
#include <cmath>

namespace tuvik {

namespace {
constexpr double kPlantStep = 0.01;       // s; the model process integrates in this step or finer
constexpr long kMaxPlantSteps = 5000000;  // bounds a prediction whatever it is asked for
constexpr double kSettleBand = 0.05;
// The model process runs in whole sub-steps of one controller sample.
long SubSteps(double h) {
    return std::max(1L, static_cast<long>(std::ceil(std::min(h / kPlantStep, 1e9) - 1e-9)));
}

double DelaySteps(const FopdtModel& m, double h) {
    return m.deadTime > 0 ? m.deadTime / (h / static_cast<double>(SubSteps(h))) : 0.0;
}

}  // namespace

std::optional<QString> PredictionRefusal(const FopdtModel& m, double h) {
    if (!(h > 0) || !std::isfinite(h) || DelaySteps(m, h) <= kMaxDelaySteps) {
        return std::nullopt;
    }
    return QStringLiteral(
               "No prediction: the dead time of %1 s is too long for the loop's cycle of %2 s.")
        .arg(m.deadTime, 0, 'f', 0)
        .arg(h, 0, 'g', 3);
}

PidTuning SuggestTuning(TuningRule rule, const FopdtModel& m, double tauC) {
    const double k = m.gain, tau = std::max(0.0, m.timeConstant), theta = std::max(0.0, m.deadTime);
    PidTuning t;
    if (!(std::fabs(k) > 0) || !std::isfinite(k) || !(tauC > 0)) {
        return t;
    }
    switch (rule) {
        case TuningRule::Simc:
            // Skogestad's SIMC PI for a first order with dead time.
            t.K = tau / (k * (tauC + theta));
            t.Ti = std::min(tau, 4.0 * (tauC + theta));
            break;
        case TuningRule::Lambda:
            // Lambda (IMC) tuning in its PID form: the dead time replaced by a
            // first-order Pade approximation, giving the ideal-form settings
            // K = (tau + theta/2) / (k (lambda + theta/2)), Ti = tau + theta/2,
            // Td = tau theta / (2 tau + theta), with lambda = tauC.
            t.K = (tau + theta / 2) / (k * (tauC + theta / 2));
            t.Ti = tau + theta / 2;
            t.Td = (tau + theta) > 0 ? tau * theta / (2 * tau + theta) : 0.0;
            break;
    }
    if (!(t.Ti > 0)) {
        t.Ti = 0;  // a pure gain: the law then has no integral action
    }
    return t;
}

double ClosedLoopTime(const FopdtModel& m, double knob) {
    const double tau = std::max(0.0, m.timeConstant), theta = std::max(0.0, m.deadTime);
    knob = std::clamp(std::isfinite(knob) ? knob : 0.5, 0.0, 1.0);
    // Fast: SIMC's tight choice, tauC = dead time, but never below a tenth of
    // the time constant (a loop without dead time would get an endless gain).
    const double fast = std::max({theta, 0.1 * tau, 1e-3});
    const double robust = std::max(fast, 3.0 * std::max(theta, tau));
    return fast * std::pow(robust / fast, knob);
}

std::vector<ResponsePoint> PredictSetpointStep(const FopdtModel& m, const PidLawSettings& loop,
                                               double h, double y0, double step, double duration) {
    std::vector<ResponsePoint> out;
    if (!(h > 0) || !std::isfinite(h) || !(duration > 0) || !std::isfinite(duration) ||
        !std::isfinite(y0) || !std::isfinite(step) || PredictionRefusal(m, h)) {
        return out;
    }
    const long sub = SubSteps(h);
    const double dt = h / static_cast<double>(sub);
    const long samples =
        std::min(static_cast<long>(std::floor(duration / h + 1e-9)), kMaxPlantSteps / sub);
    const double gain = std::isfinite(m.gain) ? m.gain : 0.0;
    const double alpha = m.timeConstant > 0 ? 1.0 - std::exp(-dt / m.timeConstant) : 1.0;
    const auto delaySteps = static_cast<size_t>(std::llround(DelaySteps(m, h)));

    // At rest: the output the caller gave as the loop's manual value (the
    // operating point) holds the measurement at y0.
    double lo = std::isfinite(loop.minOut) ? loop.minOut : 0.0;
    double hi = std::isfinite(loop.maxOut) ? loop.maxOut : 100.0;
    if (lo > hi) {
        std::swap(lo, hi);
    }
    const double u0 = std::clamp(std::isfinite(loop.manual) ? loop.manual : lo, lo, hi);
    const double base = y0 - gain * u0;
    std::vector<double> delay(delaySteps + 1, u0);
    size_t head = 0;
    double y = y0;

    PidLaw law;
    PidLawSettings s = loop;
    s.enable = true;
    s.automatic = false;
    s.manual = u0;
    law.Step(s, y0, y0, 0.0, h);  // manual at rest presets the integral: bumpless start
    s.automatic = true;
    const double sp = y0 + step;
    out.reserve(static_cast<size_t>(samples) + 1);
    for (long i = 0; i <= samples; ++i) {
        const double u = law.Step(s, sp, y, 0.0, h).out;
        out.push_back({i * h, sp, y, u});
        for (long k = 0; k < sub; ++k) {
            delay[head] = u;
            head = (head + 1) % delay.size();
            y += (base + gain * delay[head] - y) * alpha;
        }
    }
    return out;
}

ResponseFigures MeasureResponse(const std::vector<ResponsePoint>& p) {
    ResponseFigures f;
    if (p.empty()) {
        return f;
    }
    const double target = p.back().setpoint;
    const double step = target - p.front().y;
    if (!(std::fabs(step) > 0)) {
        return f;
    }
    const double dir = step > 0 ? 1.0 : -1.0;
    double peak = 0;
    for (const ResponsePoint& q : p) {
        peak = std::max(peak, dir * (q.y - target));
    }
    f.overshoot = peak / std::fabs(step);
    // The first point from which the measurement stays inside the band.
    size_t inside = p.size();
    for (size_t i = p.size(); i-- > 0;) {
        if (!(std::fabs(p[i].y - target) <= kSettleBand * std::fabs(step))) {
            break;
        }
        inside = i;
    }
    if (inside < p.size()) {
        f.settlingTime = p[inside].t - p.front().t;
    }
    return f;
}

}  // namespace tuvik
