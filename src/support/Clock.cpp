#include "support/Clock.h"

#include <algorithm>
#include <chrono>

#include "support/ClockTimer.h"

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

Clock::Clock(ByHand) : Clock() {
    DriveByHand();
}

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

void Clock::DriveByHand() {
    byHand_ = true;
    handUs_ = mono_();
    mono_ = [this] { return handUs_; };
}

void Clock::Schedule(ClockTimer* timer, qint64 ms) const {
    const qint64 due = handUs_ + std::max<qint64>(ms, 0) * 1000;
    const auto at = std::upper_bound(waits_.begin(), waits_.end(), due,
                                     [](qint64 d, const Wait& w) { return d < w.dueUs; });
    waits_.insert(at, Wait{due, timer});
}

void Clock::Unschedule(ClockTimer* timer) const {
    std::erase_if(waits_, [timer](const Wait& w) { return w.timer == timer; });
}

void Clock::Advance(qint64 ms) {
    const qint64 end = handUs_ + ms * 1000;
    while (!waits_.empty() && waits_.front().dueUs <= end) {
        const Wait w = waits_.front();
        waits_.erase(waits_.begin());
        handUs_ = w.dueUs;
        w.timer->Fire();
    }
    handUs_ = end;
}

qint64 Clock::NextDueMs() const {
    return waits_.empty() ? -1 : (waits_.front().dueUs - handUs_) / 1000;
}

}  // namespace tuvik
