#include "link/QuietTime.h"

namespace tuvik {

namespace {

int64_t MonotonicMs(const Clock& clock) {
    return clock.MonotonicUs() / 1000;
}

int SecondOfDay(const QTime& t) {
    return t.isValid() ? t.msecsSinceStartOfDay() / 1000 : -1;
}

}  // namespace

void QuietTime::MarkBroken(const Clock& clock) {
    brokenSecond_ = SecondOfDay(clock.TimeOfDay());
    brokenAtMs_ = MonotonicMs(clock);
}

bool QuietTime::Holding(const Clock& clock) const {
    if (brokenSecond_ < 0) {
        return false;
    }
    const int64_t elapsed = MonotonicMs(clock) - brokenAtMs_;
    if (elapsed < 0 || elapsed >= kMaxHoldMs) {
        return false;
    }
    return SecondOfDay(clock.TimeOfDay()) == brokenSecond_;
}

}  // namespace tuvik
