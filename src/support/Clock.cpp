#include "support/Clock.h"

#include <chrono>

namespace tuvik {

namespace {

qint64 SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

qint64 SystemUtcMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace

Clock::Clock() : mono_(&SteadyUs), system_(&SystemUtcMs) {}

void Clock::setMonotonic(Source us) {
    mono_ = us ? std::move(us) : Source(&SteadyUs);
}

void Clock::setSystem(Source utcMs) {
    system_ = utcMs ? std::move(utcMs) : Source(&SystemUtcMs);
}

const Clock& Clock::System() {
    static const Clock clock;
    return clock;
}

}  // namespace tuvik
