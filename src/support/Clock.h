#pragma once
// The session's clock. Monotonic time measures intervals; wall time stamps
// what is kept (the history's seconds, the device's events in the message
// log, the captions). While a recording is replayed the wall time reads the
// recorded time, so that everything the replay shows and keeps is stamped as
// when it happened; the machine's own time still names the day's files and
// stamps the program's own notes, and the monotonic time stays real (the
// replay paces itself on it).

#include <QDateTime>
#include <QTime>

#include <functional>
#include <vector>

namespace tuvik {

class ClockTimer;

class Clock {
  public:
    using Source = std::function<qint64()>;

    // The system's clocks.
    Clock();
    // A clock whose monotonic time is driven by hand from the start (DriveByHand).
    struct ByHand {};
    explicit Clock(ByHand);
    // Its sources may refer to the clock itself.
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    qint64 MonotonicUs() const { return mono_(); }
    // This machine's time, UTC ms, and the same in local time.
    qint64 SystemMs() const { return system_(); }
    QDateTime SystemNow() const { return QDateTime::fromMSecsSinceEpoch(SystemMs()); }
    // The recorded time while a recording is replayed, the machine's time otherwise.
    qint64 WallMs() const { return recorded_ ? recorded_() : system_(); }
    QDateTime Now() const { return QDateTime::fromMSecsSinceEpoch(WallMs()); }
    QTime TimeOfDay() const { return Now().time(); }
    // Seconds trend samples are stamped with: monotonic, or while a
    // recording is replayed the recorded time (at 20x a two-minute swing
    // still spans two minutes of the chart).
    double TrendSeconds() const { return recorded_ ? recorded_() / 1000.0 : mono_() / 1e6; }

    // Tests give their own sources; an empty one puts the system's back.
    void setMonotonic(Source us);
    void setSystem(Source utcMs);
    // The recorded time (UTC ms) while a recording is replayed; empty when
    // none is.
    void setRecorded(Source utcMs) { recorded_ = std::move(utcMs); }

    // The clock of a part used on its own, without a session.
    static const Clock& System();

    // Tests drive the monotonic time by hand: it stands still from here on
    // and the waits of ClockTimer end only as Advance moves it.
    void DriveByHand();
    bool byHand() const { return byHand_; }
    // Moves the time on by ms, firing every wait that ends meanwhile in the
    // order they end (those that end together in the order they were started),
    // each at its own end's time; waits started by a firing one count too.
    void Advance(qint64 ms);
    // How long until the next wait ends; -1 when none waits.
    qint64 NextDueMs() const;

  private:
    friend class ClockTimer;
    struct Wait {
        qint64 dueUs;
        ClockTimer* timer;
    };
    void Schedule(ClockTimer* timer, qint64 ms) const;
    void Unschedule(ClockTimer* timer) const;

    bool byHand_ = false;
    qint64 handUs_ = 0;
    // Kept in the order they end; the clock is handed to parts as const.
    mutable std::vector<Wait> waits_;
    Source mono_;
    Source system_;
    Source recorded_;
};

}  // namespace tuvik
