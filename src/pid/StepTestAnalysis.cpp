#include "pid/StepTestAnalysis.h"

#include <cmath>

#include "pid/PidLaw.h"
#include "pid/PidLoops.h"

namespace tuvik {

namespace {

const QColor kColours[] = {QColor(160, 160, 160), QColor(255, 122, 26), QColor(80, 200, 255)};

// The loop's settings as the controller's PID law takes them.
PidLawSettings LawSettings(const PidSettings& s) {
    PidLawSettings law;
    law.inverted = s.InvertedMode;
    law.K = s.K;
    law.Ti = s.Ti;
    law.Td = s.Td;
    law.N = s.N;
    law.b = s.b;
    law.Tt = s.tt;
    law.minOut = s.MinContr;
    law.maxOut = s.MaxContr;
    return law;
}

}  // namespace

double Significant(double v) {
    if (v == 0 || !std::isfinite(v)) {
        return v;
    }
    const double scale = std::pow(10.0, 2 - std::floor(std::log10(std::fabs(v))));
    return std::round(v * scale) / scale;
}

QString SignificantText(double v) {
    return QString::number(Significant(v), 'g', 3);
}

ChartSeries MeasuredSeries(const StepRecord& r) {
    ChartSeries out{QStringLiteral("Measured"), QColor(120, 255, 120), {}, true};
    for (const StepSample& s : r.samples) {
        out.points.emplace_back(s.t, s.measurement);
    }
    return out;
}

void StepTestAnalysis::Analyse(const StepRecord& r) {
    record_ = r;
    fit_ = FitFopdt(r);
}

double StepTestAnalysis::LoopCycle(const PidLoops& loops) const {
    const clsPID* L =
        record_.loop >= 0 && record_.loop < PidLoops::kCount ? &loops[record_.loop] : nullptr;
    return L != nullptr && L->Settings().h > 0 ? L->Settings().h : 0.1;
}

QString StepTestAnalysis::FitText(const PidLoops& loops) const {
    if (!fit_.ok) {
        return QStringLiteral("%1: no settings suggested. %2").arg(record_.loopName, fit_.refusal);
    }
    const FopdtModel& m = fit_.model;
    const auto refusal = PredictionRefusal(m, LoopCycle(loops));
    return QStringLiteral(
               "%1: gain %2 per output unit, time constant %3 s, dead time %4 s; rms "
               "residual %5, %6 % of the response explained.")
               .arg(record_.loopName, SignificantText(m.gain), SignificantText(m.timeConstant),
                    SignificantText(m.deadTime), SignificantText(fit_.rmsResidual),
                    QString::number(100 * fit_.explained, 'f', 1)) +
           (refusal ? QLatin1Char(' ') + *refusal : QString());
}

std::vector<ChartSeries> StepTestAnalysis::RecordSeries() const {
    std::vector<ChartSeries> series = {MeasuredSeries(record_)};
    if (fit_.ok) {
        series.push_back({QStringLiteral("Model"), kColours[1], {}, false});
        for (const StepSample& s : FopdtResponse(fit_.model, record_, fit_)) {
            series[1].points.emplace_back(s.t, s.measurement);
        }
    }
    return series;
}

StepTestAnalysis::Suggestions StepTestAnalysis::Suggest(const PidLoops& loops, int knob) {
    Suggestions out;
    const clsPID* L =
        record_.loop >= 0 && record_.loop < PidLoops::kCount ? &loops[record_.loop] : nullptr;
    const double h = LoopCycle(loops);
    const bool refused = fit_.ok && PredictionRefusal(fit_.model, h);
    out.usable = fit_.ok && L != nullptr && !refused;
    if (!out.usable) {
        for (auto& row : out.table) {
            row.fill(QStringLiteral("-"));
        }
        return out;
    }
    const FopdtModel& m = fit_.model;
    const double tauC = ClosedLoopTime(m, knob / 100.0);
    out.closedLoop = QStringLiteral("closed loop %1 s").arg(SignificantText(tauC));
    const PidSettings& s = L->Settings();
    suggested_[0] = SuggestTuning(TuningRule::Simc, m, tauC);
    suggested_[1] = SuggestTuning(TuningRule::Lambda, m, tauC);
    const std::array<PidTuning, kRows> rows = {PidTuning{s.K, s.Ti, s.Td}, suggested_[0],
                                               suggested_[1]};
    const double step = std::fabs(m.gain * (record_.outputAfter - record_.outputBefore));
    const double duration = 5 * (m.timeConstant + m.deadTime) + 4 * tauC;
    for (int r = 0; r < kRows; ++r) {
        PidLawSettings law = LawSettings(s);
        law.K = rows[r].K;
        law.Ti = rows[r].Ti;
        law.Td = rows[r].Td;
        const auto p = PredictSetpointStep(m, law, h, fit_.baseline, step > 0 ? step : 1, duration);
        const ResponseFigures f = MeasureResponse(p);
        out.table[r] = {
            SignificantText(rows[r].K),
            SignificantText(rows[r].Ti),
            SignificantText(rows[r].Td),
            QString::number(100 * f.overshoot, 'f', 1) + QStringLiteral(" %"),
            f.settlingTime < 0
                ? QStringLiteral("not within %1 s").arg(QString::number(duration, 'f', 0))
                : SignificantText(f.settlingTime) + QStringLiteral(" s"),
        };
        if (r == 0) {
            out.prediction.push_back({QStringLiteral("Setpoint"), Qt::white, {}, false});
            for (const ResponsePoint& q : p) {
                out.prediction[0].points.emplace_back(q.t, q.setpoint);
            }
        }
        out.prediction.push_back({QString::fromLatin1(r == 0   ? "Current"
                                                      : r == 1 ? "SIMC"
                                                               : "Lambda"),
                                  kColours[r],
                                  {},
                                  false});
        for (const ResponsePoint& q : p) {
            out.prediction.back().points.emplace_back(q.t, q.y);
        }
    }
    return out;
}

}  // namespace tuvik
