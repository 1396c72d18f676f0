#pragma once
// After a broken packet the serial link stays quiet for a moment, so that the
// controller's burst of bytes can end before the next request goes out. The
// hold lasts until the wall clock's second has moved on from the second in
// which the packet was discarded, and never longer than one second of
// monotonic time (so a clock set back, or midnight, cannot stretch it).

#include <QTime>

#include <cstdint>
#include <functional>

namespace tuvik {

class QuietTime {
  public:
    using WallClock = std::function<QTime()>;    // time of day
    using MonoClock = std::function<int64_t()>;  // milliseconds, never going back

    static constexpr int64_t kMaxHoldMs = 1000;

    QuietTime();  // the system clocks
    QuietTime(WallClock wall, MonoClock mono);

    void SetClocks(WallClock wall, MonoClock mono);
    void SetWallClock(WallClock wall);

    // A packet was discarded now.
    void MarkBroken();
    // Whether writes must still wait.
    bool Holding() const;

  private:
    WallClock wall_;
    MonoClock mono_;
    int brokenSecond_ = -1;  // second of the day of the last discarded packet; -1 = none
    int64_t brokenAtMs_ = 0;
};

}  // namespace tuvik
