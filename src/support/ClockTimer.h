#pragma once
// A single-shot wait timed by a session's clock. Under the system's clock it
// is a plain single-shot QTimer; under a clock driven by hand it fires only
// when the clock is advanced past its end (Clock::Advance).

#include <QObject>
#include <QTimer>

#include "support/Clock.h"

namespace tuvik {

class ClockTimer : public QObject {
    Q_OBJECT
  public:
    explicit ClockTimer(QObject* parent = nullptr);
    ~ClockTimer() override;

    // A waiting timer is stopped first.
    void setClock(const Clock& clock);
    // Restarts a waiting timer.
    void start(int ms);
    void stop();
    bool isActive() const;

  signals:
    void timeout();

  private:
    friend class Clock;
    void Fire();

    const Clock* clock_;
    QTimer timer_;
    bool scheduled_ = false;  // waiting on a clock driven by hand
};

}  // namespace tuvik
