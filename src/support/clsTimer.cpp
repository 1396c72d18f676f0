#include "support/clsTimer.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimerEvent>

#include <algorithm>
#include <memory>
#include <vector>

namespace tuvik {

namespace modTimerCallBack {
namespace {
std::unique_ptr<std::vector<clsTimer*>> g_registry;
}

void Register(clsTimer* t) {
    if (!g_registry) {
        g_registry = std::make_unique<std::vector<clsTimer*>>();
    }
    g_registry->push_back(t);
}

void Unregister(clsTimer* t) {
    if (!g_registry) {
        return;
    }
    auto it = std::find(g_registry->begin(), g_registry->end(), t);
    if (it != g_registry->end()) {
        g_registry->erase(it);
    }
    if (g_registry->empty()) {
        g_registry.reset();
    }
}

void TimerProc(int timerId, int32_t ticks) {
    if (!g_registry) {
        return;
    }
    for (clsTimer* t : *g_registry) {
        if (t->TimerID() == timerId) {
            t->TimerElapsed(ticks);
            return;
        }
    }
}

bool RegistryExists() { return static_cast<bool>(g_registry); }
int RegisteredCount() { return g_registry ? static_cast<int>(g_registry->size()) : 0; }
}  // namespace modTimerCallBack

clsTimer::~clsTimer() { StopTimer(); }

void clsTimer::setInterval(int32_t lNewInterval) {
    if (lNewInterval == interval_ || lNewInterval < 0) {
        return;
    }
    interval_ = lNewInterval;
    if (running_) {
        StopTimer();
        StartTimer();
    }
}

bool clsTimer::StartTimer() {
    if (running_ || interval_ <= 0) {
        return false;
    }
    const int id = StartSystemTimer(interval_);
    if (id == 0) {
        return false;
    }
    timerId_ = id;
    modTimerCallBack::Register(this);
    running_ = true;
    emit TimerStarted();
    return true;
}

void clsTimer::StopTimer() {
    if (!running_ || timerId_ == 0) {
        return;
    }
    KillSystemTimer(timerId_);
    modTimerCallBack::Unregister(this);
    timerId_ = 0;
    running_ = false;
    emit TimerStopped();
}

void clsTimer::TimerElapsed(int32_t lTicks) {
    bool keepRunning = true;
    // A handler may delete the timer it is handling; its destructor has
    // stopped it then, and nothing of it may be touched afterwards.
    QPointer<clsTimer> self(this);
    emit Timer(lTicks, &keepRunning);
    if (self && !keepRunning) {
        StopTimer();
    }
}

int clsTimer::StartSystemTimer(int32_t intervalMs) { return startTimer(intervalMs); }

void clsTimer::KillSystemTimer(int id) { killTimer(id); }

void clsTimer::timerEvent(QTimerEvent* e) {
    // The tick count the callback passes on: milliseconds of the monotonic clock.
    static QElapsedTimer since;
    if (!since.isValid()) {
        since.start();
    }
    modTimerCallBack::TimerProc(e->timerId(), static_cast<int32_t>(since.elapsed()));
}

}  // namespace tuvik
