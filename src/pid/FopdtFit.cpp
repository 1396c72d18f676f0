#include "pid/FopdtFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

// The fit: measurement = y0 + drift * t + gain * du * g(t), with
// g(t) = 1 - exp(-(t - deadTime) / timeConstant) after the dead time and 0
// before it. Given the two times, the model is linear in y0, drift and gain,
// which least squares give directly; the two times are searched on a grid
// and then refined by a Nelder-Mead simplex. The drift is only fitted when
// the record has a baseline long enough to show it; otherwise it is taken as
// none, so that it cannot trade places with a slow response.

namespace tuvik {

namespace {

constexpr int kMinSamplesAfter = 10;
constexpr int kMinBaselineForDrift = 10;
constexpr double kMinBaselineShare = 0.1;  // baseline span against the span after the step
constexpr int kSearchPoints = 3000;        // longer records are averaged down for the search
constexpr double kMinSignalToNoise = 3.0;
constexpr double kMinExplained = 0.8;
// The record must reach the dead time plus this many time constants (86%).
constexpr double kSettleTimeConstants = 2.0;

struct Point {
    double t, y;
};

double Shape(double t, double tau, double theta) {
    return t <= theta ? 0.0 : 1.0 - std::exp(-(t - theta) / tau);
}

// Least squares of y against up to three columns (1, t, g) given the times.
struct Solution {
    double y0 = 0, drift = 0, slope = 0;  // slope: response per unit of g
    double ss = 0;
    bool ok = false;
};

// Solves the n x n system a x = b in place (n <= 3); false when singular.
bool SolveSmall(std::array<std::array<double, 3>, 3>& a, std::array<double, 3>& b, int n) {
    for (int c = 0; c < n; ++c) {
        int piv = c;
        for (int r = c + 1; r < n; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[piv][c])) {
                piv = r;
            }
        }
        if (std::fabs(a[piv][c]) < 1e-300) {
            return false;
        }
        std::swap(a[c], a[piv]);
        std::swap(b[c], b[piv]);
        for (int r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (int k = c; k < n; ++k) {
                a[r][k] -= f * a[c][k];
            }
            b[r] -= f * b[c];
        }
    }
    for (int c = n - 1; c >= 0; --c) {
        for (int k = c + 1; k < n; ++k) {
            b[c] -= a[c][k] * b[k];
        }
        b[c] /= a[c][c];
    }
    return true;
}

class Fitter {
  public:
    Fitter(const std::vector<Point>& pts, bool withDrift) : pts_(pts), drift_(withDrift) {
        for (const Point& p : pts_) {
            tMean_ += p.t;
            yMean_ += p.y;
        }
        tMean_ /= static_cast<double>(pts_.size());
        yMean_ /= static_cast<double>(pts_.size());
    }

    Solution Solve(double tau, double theta) const {
        // Columns: 1, t - tMean (with drift), g; the measurement centred too,
        // so that the sums keep their precision.
        const int n = drift_ ? 3 : 2;
        std::array<std::array<double, 3>, 3> a{};
        std::array<double, 3> b{};
        double yy = 0;
        for (const Point& p : pts_) {
            const double x[3] = {1.0, p.t - tMean_, Shape(p.t, tau, theta)};
            const double y = p.y - yMean_;
            const int cols[3] = {0, drift_ ? 1 : 2, 2};
            for (int i = 0; i < n; ++i) {
                for (int j = 0; j < n; ++j) {
                    a[i][j] += x[cols[i]] * x[cols[j]];
                }
                b[i] += x[cols[i]] * y;
            }
            yy += y * y;
        }
        Solution s;
        std::array<double, 3> rhs = b;
        if (!SolveSmall(a, rhs, n)) {
            s.ss = yy;
            return s;
        }
        double fitted = 0;
        for (int i = 0; i < n; ++i) {
            fitted += rhs[i] * b[i];
        }
        s.ok = true;
        s.ss = std::max(0.0, yy - fitted);
        s.slope = rhs[n - 1];
        s.drift = drift_ ? rhs[1] : 0.0;
        s.y0 = yMean_ + rhs[0] - s.drift * tMean_;  // the level at t = 0
        return s;
    }

  private:
    const std::vector<Point>& pts_;
    bool drift_;
    double tMean_ = 0, yMean_ = 0;
};

// Consecutive samples averaged into at most `count` points.
std::vector<Point> Reduce(const std::vector<Point>& pts, int count) {
    if (static_cast<int>(pts.size()) <= count) {
        return pts;
    }
    std::vector<Point> out;
    out.reserve(static_cast<size_t>(count));
    const double per = static_cast<double>(pts.size()) / count;
    for (int i = 0; i < count; ++i) {
        const size_t from = static_cast<size_t>(i * per);
        const size_t to = std::min(pts.size(), static_cast<size_t>((i + 1) * per));
        Point p{0, 0};
        for (size_t k = from; k < to; ++k) {
            p.t += pts[k].t;
            p.y += pts[k].y;
        }
        const double m = static_cast<double>(to - from);
        out.push_back({p.t / m, p.y / m});
    }
    return out;
}

// Minimises f over two parameters from a starting simplex.
template <typename F>
std::array<double, 2> NelderMead(F f, std::array<double, 2> x0, std::array<double, 2> step) {
    std::array<std::array<double, 2>, 3> s = {x0, x0, x0};
    s[1][0] += step[0];
    s[2][1] += step[1];
    std::array<double, 3> v = {f(s[0]), f(s[1]), f(s[2])};
    for (int iter = 0; iter < 400; ++iter) {
        std::array<int, 3> o = {0, 1, 2};
        std::sort(o.begin(), o.end(), [&](int a, int b) { return v[a] < v[b]; });
        const auto best = s[o[0]], mid = s[o[1]], worst = s[o[2]];
        const double vb = v[o[0]], vm = v[o[1]], vw = v[o[2]];
        const double size = std::max(std::fabs(worst[0] - best[0]) + std::fabs(mid[0] - best[0]),
                                     std::fabs(worst[1] - best[1]) + std::fabs(mid[1] - best[1]));
        if (size < 1e-7) {
            break;
        }
        const std::array<double, 2> c = {(best[0] + mid[0]) / 2, (best[1] + mid[1]) / 2};
        auto along = [&](double k) {
            return std::array<double, 2>{c[0] + k * (worst[0] - c[0]),
                                         c[1] + k * (worst[1] - c[1])};
        };
        const auto r = along(-1.0);
        const double vr = f(r);
        if (vr < vb) {
            const auto e = along(-2.0);
            const double ve = f(e);
            s[o[2]] = ve < vr ? e : r;
            v[o[2]] = std::min(ve, vr);
        } else if (vr < vm) {
            s[o[2]] = r;
            v[o[2]] = vr;
        } else {
            const auto k = vr < vw ? along(-0.5) : along(0.5);
            const double vk = f(k);
            if (vk < std::min(vr, vw)) {
                s[o[2]] = k;
                v[o[2]] = vk;
            } else {
                for (int i : {o[1], o[2]}) {
                    s[i] = {(s[i][0] + best[0]) / 2, (s[i][1] + best[1]) / 2};
                    v[i] = f(s[i]);
                }
            }
        }
    }
    const int b = static_cast<int>(std::min_element(v.begin(), v.end()) - v.begin());
    return s[b];
}

QString Fmt(double v) {
    return QString::number(v, 'g', 3);
}

}  // namespace

FopdtFit FitFopdt(const StepRecord& r) {
    FopdtFit fit;
    const double du = r.outputAfter - r.outputBefore;
    const double scale = std::max({1.0, std::fabs(r.outputBefore), std::fabs(r.outputAfter)});
    if (!std::isfinite(du) || std::fabs(du) < 1e-6 * scale) {
        fit.refusal = QStringLiteral("The output did not change: there is no step to fit.");
        return fit;
    }
    std::vector<Point> pts;
    pts.reserve(r.samples.size());
    for (const StepSample& s : r.samples) {
        if (std::isfinite(s.t) && std::isfinite(s.measurement)) {
            pts.push_back({s.t, s.measurement});
        }
    }
    std::stable_sort(pts.begin(), pts.end(),
                     [](const Point& a, const Point& b) { return a.t < b.t; });
    const auto firstAfter = std::lower_bound(pts.begin(), pts.end(), 0.0,
                                             [](const Point& p, double t) { return p.t < t; });
    const int before = static_cast<int>(firstAfter - pts.begin());
    const int after = static_cast<int>(pts.end() - firstAfter);
    if (after < kMinSamplesAfter || !(pts.back().t > 0)) {
        fit.refusal = QStringLiteral(
                          "The record holds %1 samples after the step; a fit needs at "
                          "least %2.")
                          .arg(after)
                          .arg(kMinSamplesAfter);
        return fit;
    }
    const double span = pts.back().t;
    const bool withDrift =
        before >= kMinBaselineForDrift && -pts.front().t >= kMinBaselineShare * span;

    // Search on a grid of log time constant and dead time, then refine.
    const std::vector<Point> reduced = Reduce(pts, kSearchPoints);
    const Fitter coarse(reduced, withDrift);
    const double tauLo = 1e-3 * span, tauHi = 3.0 * span, thetaHi = 0.95 * span;
    auto cost = [&](const std::array<double, 2>& x) {
        const double tau = std::exp(std::clamp(x[0], std::log(tauLo), std::log(tauHi)));
        const double theta = std::clamp(x[1], 0.0, 1.0) * thetaHi;
        return coarse.Solve(tau, theta).ss;
    };
    constexpr int kTauSteps = 36, kThetaSteps = 48;
    std::array<double, 2> best = {std::log(tauLo), 0.0};
    double bestCost = HUGE_VAL;
    for (int i = 0; i <= kTauSteps; ++i) {
        for (int j = 0; j <= kThetaSteps; ++j) {
            const std::array<double, 2> x = {
                std::log(tauLo) + (std::log(tauHi) - std::log(tauLo)) * i / kTauSteps,
                static_cast<double>(j) / kThetaSteps};
            const double c = cost(x);
            if (c < bestCost) {
                bestCost = c;
                best = x;
            }
        }
    }
    const std::array<double, 2> step = {(std::log(tauHi) - std::log(tauLo)) / kTauSteps,
                                        1.0 / kThetaSteps};
    best = NelderMead(cost, best, step);
    const double tau = std::exp(std::clamp(best[0], std::log(tauLo), std::log(tauHi)));
    const double theta = std::clamp(best[1], 0.0, 1.0) * thetaHi;

    // The figures on every sample.
    const Fitter full(pts, withDrift);
    const Solution s = full.Solve(tau, theta);
    if (!s.ok || !std::isfinite(s.slope) || !std::isfinite(s.y0) || !std::isfinite(s.drift)) {
        fit.refusal = QStringLiteral("No response to the step could be found in the record.");
        return fit;
    }
    fit.model = {s.slope / du, tau, theta};
    fit.baseline = s.y0;
    fit.drift = s.drift;
    double ssAll = 0, ssAfter = 0, sumAfter = 0, sum2After = 0;
    for (const Point& p : pts) {
        const double detrended = p.y - s.y0 - s.drift * p.t;
        const double e = detrended - s.slope * Shape(p.t, tau, theta);
        ssAll += e * e;
        if (p.t >= 0) {
            ssAfter += e * e;
            sumAfter += detrended;
            sum2After += detrended * detrended;
        }
    }
    fit.rmsResidual = std::sqrt(ssAll / static_cast<double>(pts.size()));
    const double ssTot = sum2After - sumAfter * sumAfter / after;
    fit.explained = ssTot > 0 ? std::clamp(1.0 - ssAfter / ssTot, 0.0, 1.0) : 0.0;

    const double change = std::fabs(s.slope);
    if (change < kMinSignalToNoise * fit.rmsResidual) {
        fit.refusal = QStringLiteral(
                          "The measurement moved too little for a fit: it changed by "
                          "about %1 against noise of about %2. Repeat the test with a "
                          "larger step.")
                          .arg(Fmt(change), Fmt(fit.rmsResidual));
        return fit;
    }
    if (theta + kSettleTimeConstants * tau > span) {
        fit.refusal = QStringLiteral(
                          "The record is too short: the measurement was still moving "
                          "when it ended. Record for at least %1 s.")
                          .arg(Fmt(theta + 4.0 * tau));
        return fit;
    }
    if (fit.explained < kMinExplained) {
        fit.refusal = QStringLiteral(
                          "The model explains only %1% of the measurement's movement: "
                          "the response is too noisy or disturbed for a fit. Repeat "
                          "the test, perhaps with a larger step.")
                          .arg(qRound(100 * fit.explained));
        return fit;
    }
    fit.ok = true;
    return fit;
}

std::vector<StepSample> FopdtResponse(const FopdtModel& m, const StepRecord& r,
                                      const FopdtFit& fit) {
    const double du = r.outputAfter - r.outputBefore;
    const double tau = std::max(m.timeConstant, 1e-9);
    std::vector<StepSample> out;
    out.reserve(r.samples.size());
    for (const StepSample& s : r.samples) {
        const double g = s.t < 0 ? 0.0 : Shape(s.t, tau, m.deadTime);
        out.push_back({s.t, s.t < 0 ? r.outputBefore : r.outputAfter,
                       fit.baseline + fit.drift * s.t + m.gain * du * g});
    }
    return out;
}

}  // namespace tuvik
