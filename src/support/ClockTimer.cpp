#include "support/ClockTimer.h"

#include "support/Clock.h"

namespace tuvik {

ClockTimer::ClockTimer(QObject* parent) : QObject(parent), clock_(&Clock::System()) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ClockTimer::timeout);
}

ClockTimer::~ClockTimer() {
    stop();
}

void ClockTimer::setClock(const Clock& clock) {
    stop();
    clock_ = &clock;
}

void ClockTimer::start(int ms) {
    stop();
    if (clock_->byHand()) {
        clock_->Schedule(this, ms);
        scheduled_ = true;
    } else {
        timer_.start(ms);
    }
}

void ClockTimer::stop() {
    timer_.stop();
    if (scheduled_) {
        clock_->Unschedule(this);
        scheduled_ = false;
    }
}

bool ClockTimer::isActive() const {
    return scheduled_ || timer_.isActive();
}

void ClockTimer::Fire() {
    scheduled_ = false;
    emit timeout();
}

}  // namespace tuvik
