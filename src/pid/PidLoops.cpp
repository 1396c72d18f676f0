#include "pid/PidLoops.h"

namespace tuvik {

void PidLoops::InitialiseStartupLoops() {
    loops_[0].Alusta(0, QStringLiteral("LAMBDA PID "), 100, nullptr);
    loops_[1].Alusta(1, QStringLiteral("Temperature PID"), 200, nullptr);
}

}  // namespace tuvik
