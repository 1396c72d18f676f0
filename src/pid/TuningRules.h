#pragma once
// Loop settings suggested from an identified process, and the closed loop's
// predicted answer to a setpoint step, run with the controller's own PID law.

#include "pid/FopdtFit.h"
#include "pid/PidLaw.h"

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

struct ResponsePoint {
    double t = 0, setpoint = 0, y = 0, u = 0;
};

// The loop's settings (K, Ti and Td already set to the tuning to try; N, b,
// Tt, limits and inverted as the loop has them) against the process m,
// started at rest at y0 with the output that holds it there, then a
// setpoint step of `step` at t = 0; sampled every h.
std::vector<ResponsePoint> PredictSetpointStep(const FopdtModel& m, const PidLawSettings& loop,
                                               double h, double y0, double step, double duration);

struct ResponseFigures {
    double overshoot = 0;      // share of the step, 0.1 = 10%
    double settlingTime = -1;  // s until it stays within 5% of the step; -1 = never
};

ResponseFigures MeasureResponse(const std::vector<ResponsePoint>& p);

}  // namespace tuvik
