#pragma once
// After a broken packet the serial link stays quiet for a moment, so that the
// controller's burst of bytes can end before the next request goes out. The
// hold lasts until the wall clock's second has moved on from the second in
// which the packet was discarded, and never longer than one second of
// monotonic time (so a clock set back, or midnight, cannot stretch it).

#include <cstdint>

#include "support/Clock.h"

namespace tuvik {

class QuietTime {
  public:
    static constexpr int64_t kMaxHoldMs = 1000;

    // A packet was discarded now, by the clock's time of day and monotonic time.
    void MarkBroken(const Clock& clock);
    // Whether writes must still wait.
    bool Holding(const Clock& clock) const;

  private:
    int brokenSecond_ = -1;  // second of the day of the last discarded packet; -1 = none
    int64_t brokenAtMs_ = 0;
};

}  // namespace tuvik
