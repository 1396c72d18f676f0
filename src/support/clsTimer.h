#pragma once
// A windowless periodic timer: raises Timer at every period (a handler can
// stop it by clearing KeepRunning) and announces its starts and stops. Built
// on the event loop's own timers; one shared callback finds the object a
// timer id belongs to through the registry of running timers.

#include <QObject>

#include <cstdint>

namespace tuvik {

class clsTimer : public QObject {
    Q_OBJECT
public:
    explicit clsTimer(QObject* parent = nullptr) : QObject(parent) {}
    ~clsTimer() override;

    int32_t Interval() const { return interval_; }
    // Ignored when equal to the current value or negative; a running timer
    // restarts at once with the new period (0 stops it for good).
    void setInterval(int32_t lNewInterval);

    // True when the timer now runs; false when it already ran, the interval
    // is not above 0, or the event loop refused the timer.
    bool StartTimer();
    void StopTimer();
    bool isRunning() const { return running_; }

    // Called by the shared callback at every period.
    void TimerElapsed(int32_t lTicks);
    int TimerID() const { return timerId_; }

signals:
    // KeepRunning is true on entry; a handler that sets it false stops the timer.
    void Timer(int32_t lTicks, bool* KeepRunning);
    void TimerStarted();
    void TimerStopped();

protected:
    // The platform's timer facility: returns the new timer's id, 0 when refused.
    virtual int StartSystemTimer(int32_t intervalMs);
    virtual void KillSystemTimer(int id);
    void timerEvent(QTimerEvent* e) override;

private:
    int timerId_ = 0;
    int32_t interval_ = 0;
    bool running_ = false;
};

// The shared callback and the registry of running timers. The registry exists
// only while at least one timer runs.
namespace modTimerCallBack {
void Register(clsTimer* t);
void Unregister(clsTimer* t);
// Hands a tick to the first registered timer with this id; unknown ids are ignored.
void TimerProc(int timerId, int32_t ticks);
bool RegistryExists();
int RegisteredCount();
}  // namespace modTimerCallBack

}  // namespace tuvik
