#include "pid/PidLaw.h"

#include <algorithm>
#include <cmath>

namespace tuvik {

namespace {
// A value the law can work with: settings written by hand may hold NaN or
// infinities, which must never reach the output.
double Finite(double v, double fallback = 0.0) {
    return std::isfinite(v) ? v : fallback;
}
}  // namespace

void PidLaw::Reset() {
    t_ = Terms{};
    yOld_ = 0;
    primed_ = false;
}

const PidLaw::Terms& PidLaw::Step(const PidLawSettings& s, double ysp, double y, double yfw,
                                  double h) {
    double lo = Finite(s.minOut);
    double hi = Finite(s.maxOut, 100.0);
    if (lo > hi) {
        std::swap(lo, hi);
    }
    if (!s.enable) {
        Reset();
        return t_;
    }
    if (!primed_) {
        yOld_ = y;
        primed_ = true;
    }
    const double sign = s.inverted ? -1.0 : 1.0;
    const double K = sign * Finite(s.K);
    const double Ti = Finite(s.Ti);
    const double Td = std::max(0.0, Finite(s.Td));
    const double N = Finite(s.N);
    const double Tt = Finite(s.Tt);
    const double b = Finite(s.b, 1.0);

    const double bi = Ti > 0 ? K * h / Ti : 0.0;
    const double denom = Td + N * h;
    const double ad = (Td > 0 && N > 0 && denom > 0) ? Td / denom : 0.0;
    const double bd = (Td > 0 && N > 0 && denom > 0) ? K * Td * N / denom : 0.0;
    const double ao = Tt > 0 ? std::min(1.0, h / Tt) : 0.0;

    t_.P = K * (b * ysp - y);
    t_.D = ad * t_.D - bd * (y - yOld_);
    t_.feedFw = Finite(s.forwardK) * yfw;
    const double v = t_.P + t_.I + t_.D + t_.feedFw;
    if (s.automatic) {
        t_.out = std::clamp(v, lo, hi);
        if (ao > 0) {
            t_.I += bi * (ysp - y) + ao * (t_.out - v);
        } else if (t_.out == v) {
            t_.I += bi * (ysp - y);  // no tracking time: integrate only while unsaturated
        }
    } else {
        t_.out = std::clamp(Finite(s.manual), lo, hi);
        t_.I = t_.out - t_.P - t_.D - t_.feedFw;  // bumpless return to automatic
    }
    if (!std::isfinite(t_.out) || !std::isfinite(t_.I) || !std::isfinite(t_.D)) {
        Reset();
        t_.out = lo;
    }
    yOld_ = y;
    return t_;
}

}  // namespace tuvik
