#include "support/FrameThrottle.h"

#include <algorithm>

namespace tuvik {

FrameThrottle::FrameThrottle(std::function<void()> action, QObject* parent)
    : QObject(parent), action_(std::move(action)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &FrameThrottle::Run);
}

void FrameThrottle::setInterval(int ms) {
    intervalMs_ = std::max(1, ms);
}

void FrameThrottle::Request() {
    if (timer_.isActive()) {
        return;  // folded into the run already scheduled
    }
    const qint64 since = lastRun_.isValid() ? lastRun_.elapsed() : intervalMs_;
    if (since >= intervalMs_) {
        Run();
    } else {
        timer_.start(static_cast<int>(intervalMs_ - since));
    }
}

void FrameThrottle::Flush() {
    if (timer_.isActive()) {
        timer_.stop();
        Run();
    }
}

void FrameThrottle::Run() {
    if (!stampedByCaller_) {
        lastRun_.start();
    }
    if (action_) {
        action_();
    }
}

}  // namespace tuvik
