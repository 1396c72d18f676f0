#pragma once
// Identification of a first-order-plus-dead-time process from a recorded
// step of the manual output: gain, time constant and dead time, with the
// fit's quality, or a refusal that says why no fit can be trusted.

#include "pid/StepTest.h"

#include <QString>

#include <vector>

namespace tuvik {

// gain in measurement units per output unit; times in s.
struct FopdtModel {
    double gain = 0, timeConstant = 0, deadTime = 0;
};

struct FopdtFit {
    bool ok = false;
    QString refusal;  // when !ok: why, in words an operator understands
    FopdtModel model;
    double baseline = 0;     // measurement level before the step (at t = 0)
    double drift = 0;        // baseline drift taken out of the fit, units per s
    double rmsResidual = 0;  // measurement units
    double explained = 0;    // share of the response's variance the model explains, 0..1
};

FopdtFit FitFopdt(const StepRecord& r);

// The model's measurement at each sample time (baseline and drift included),
// for drawing over the record.
std::vector<StepSample> FopdtResponse(const FopdtModel& m, const StepRecord& r,
                                      const FopdtFit& fit);

}  // namespace tuvik
