#include "link/QuietTime.h"

#include <chrono>
#include <utility>

namespace tuvik {

namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int SecondOfDay(const QTime& t) {
    return t.isValid() ? t.msecsSinceStartOfDay() / 1000 : -1;
}

}  // namespace

QuietTime::QuietTime() : QuietTime(&QTime::currentTime, &SteadyMs) {}

QuietTime::QuietTime(WallClock wall, MonoClock mono) {
    SetClocks(std::move(wall), std::move(mono));
}

void QuietTime::SetClocks(WallClock wall, MonoClock mono) {
    wall_ = wall ? std::move(wall) : WallClock(&QTime::currentTime);
    mono_ = mono ? std::move(mono) : MonoClock(&SteadyMs);
}

void QuietTime::SetWallClock(WallClock wall) {
    SetClocks(std::move(wall), mono_);
}

void QuietTime::MarkBroken() {
    brokenSecond_ = SecondOfDay(wall_());
    brokenAtMs_ = mono_();
}

bool QuietTime::Holding() const {
    if (brokenSecond_ < 0) {
        return false;
    }
    const int64_t elapsed = mono_() - brokenAtMs_;
    if (elapsed < 0 || elapsed >= kMaxHoldMs) {
        return false;
    }
    return SecondOfDay(wall_()) == brokenSecond_;
}

}  // namespace tuvik
