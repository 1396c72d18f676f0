#include "support/FrameThrottle.h"

#include <algorithm>
#include <vector>

namespace tuvik {

namespace {
bool g_suspended = false;
std::vector<FrameThrottle*> g_throttles;  // every live one, on the GUI thread
}  // namespace

FrameThrottle::~FrameThrottle() {
    std::erase(g_throttles, this);
}

void FrameThrottle::SetSuspended(bool on) {
    if (on == g_suspended) {
        return;
    }
    g_suspended = on;
    if (!on) {
        const std::vector<FrameThrottle*> all = g_throttles;  // an action may make or end one
        for (FrameThrottle* t : all) {
            if (t->owed_ &&
                std::find(g_throttles.begin(), g_throttles.end(), t) != g_throttles.end()) {
                t->owed_ = false;
                t->Run();
            }
        }
    }
}

bool FrameThrottle::suspended() {
    return g_suspended;
}

FrameThrottle::FrameThrottle(std::function<void()> action, QObject* parent)
    : QObject(parent), action_(std::move(action)) {
    g_throttles.push_back(this);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &FrameThrottle::Run);
}

void FrameThrottle::setInterval(int ms) {
    intervalMs_ = std::max(1, ms);
}

void FrameThrottle::Request() {
    if (g_suspended) {
        owed_ = true;
        return;
    }
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
    if (g_suspended) {
        owed_ = true;  // a run scheduled before the suspension
        return;
    }
    if (!stampedByCaller_) {
        lastRun_.start();
    }
    if (action_) {
        action_();
    }
}

}  // namespace tuvik
