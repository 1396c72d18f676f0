#pragma once
// The analysis of a step test, recorded or loaded: the fitted process with
// the line that describes it, the record with the model drawn over it, and
// for a closed-loop time constant (the operator's knob) the settings of both
// rules beside the loop's own, each with its predicted answer to a setpoint
// step and that answer's overshoot and settling time.

#include <QColor>
#include <QPointF>
#include <QString>

#include <array>
#include <optional>
#include <vector>

#include "pid/FopdtFit.h"
#include "pid/StepTest.h"
#include "pid/TuningRules.h"

namespace tuvik {

class PidLoops;

// One named line (or dots) of the step test's charts.
struct ChartSeries {
    QString name;
    QColor colour;
    std::vector<QPointF> points;  // x in seconds
    bool dots = false;            // samples as dots, not a line
};

// Suggestions are shown and filled in to three significant digits.
double Significant(double v);
QString SignificantText(double v);

// The measured response of a record, as dots.
ChartSeries MeasuredSeries(const StepRecord& r);

class StepTestAnalysis {
  public:
    // Rows of the suggestions table: the loop's own settings, SIMC, lambda;
    // columns K, Ti, Td, overshoot, settling.
    static constexpr int kRows = 3;
    static constexpr int kColumns = 5;
    using Table = std::array<std::array<QString, kColumns>, kRows>;

    struct Suggestions {
        bool usable = false;  // settings to use: a fit, its loop, a prediction
        QString closedLoop;   // "closed loop <tauC> s", empty when not usable
        Table table;          // "-" everywhere when not usable
        std::vector<ChartSeries> prediction;
    };

    // Fits the record.
    void Analyse(const StepRecord& r);
    const StepRecord& record() const { return record_; }
    const FopdtFit& fit() const { return fit_; }
    // What the fit found, or why it suggests nothing, in one line.
    QString FitText(const PidLoops& loops) const;
    // The record with the model over it (when there is one).
    std::vector<ChartSeries> RecordSeries() const;

    // The suggestions for knob 0 (fast) .. 100 (robust), on the settings of
    // the record's loop. They are kept for Suggested().
    Suggestions Suggest(const PidLoops& loops, int knob);
    PidTuning Suggested(TuningRule rule) const {
        return suggested_[rule == TuningRule::Simc ? 0 : 1];
    }

  private:
    // The cycle of the record's loop, which the prediction runs at.
    double LoopCycle(const PidLoops& loops) const;

    StepRecord record_;
    FopdtFit fit_;
    std::array<PidTuning, 2> suggested_{};
};

}  // namespace tuvik
