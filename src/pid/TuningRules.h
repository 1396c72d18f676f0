#pragma once
// Loop settings suggested from an identified process, and the closed loop's
// predicted answer to a setpoint step, run with the controller's own PID law.

#include "pid/FopdtFit.h"
#include "pid/PidLaw.h"

#include <QString>

#include <optional>
#include <vector>

namespace tuvik {

struct PidTuning {
    double K = 0, Ti = 0, Td = 0;
};

enum class TuningRule { Simc, Lambda };

// tauC: the closed-loop time constant (the operator's knob, s). A negative
// process gain gives a negative K; whether to enter it as is or to set the
// loop's inverted mode with a positive K is the operator's choice.
PidTuning SuggestTuning(TuningRule rule, const FopdtModel& m, double tauC);

// The knob: 0 = fast ... 1 = robust, mapped to tauC (0 -> the dead time, at
// least a small floor; 1 -> a few times max(deadTime, timeConstant)).
double ClosedLoopTime(const FopdtModel& m, double knob);

// The most model steps a prediction's dead time may span: a longer one would
// need a delay line of that many values.
inline constexpr double kMaxDelaySteps = 1e6;

// Why the closed loop of model m at cycle h cannot be predicted (its dead time
// too long for the delay line); nothing when it can.
std::optional<QString> PredictionRefusal(const FopdtModel& m, double h);

struct ResponsePoint {
    double t = 0, setpoint = 0, y = 0, u = 0;
};

// The loop's settings (K, Ti and Td already set to the tuning to try; N, b,
// Tt, limits and inverted as the loop has them) against the process m,
// started at rest at y0 with the output that holds it there, then a
// setpoint step of `step` at t = 0; sampled every h. Empty for a model that
// PredictionRefusal refuses.
std::vector<ResponsePoint> PredictSetpointStep(const FopdtModel& m, const PidLawSettings& loop,
                                               double h, double y0, double step, double duration);

struct ResponseFigures {
    double overshoot = 0;      // share of the step, 0.1 = 10%
    double settlingTime = -1;  // s until it stays within 5% of the step; -1 = never
};

ResponseFigures MeasureResponse(const std::vector<ResponsePoint>& p);

}  // namespace tuvik
