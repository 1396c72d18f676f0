#pragma once
// What the analog-input replies feed and the analog window reads: the two
// trends of the eight inputs. One object lives for the whole run.

#include <array>
#include <cstdint>

#include "link/ReplyLayouts.h"
#include "trend/TrendArray.h"

namespace tuvik {

struct DispatchState {
    // Series 0..3 hold four inputs each; rows 4 and 5 stay empty.
    static constexpr int kAnalogRows = 6;
    static constexpr double kAnalogCeiling = 30000.0;

    TrendArray AnalogTrend1{kAnalogRows};  // AD0..AD3
    TrendArray AnalogTrend2{kAnalogRows};  // AD4..AD7

    // One analog-inputs reply: each input held at the ceiling, both charts
    // stamped with the one time.
    void PushAnalog(const std::array<uint16_t, kAnalogInputs>& inputs);
};

}  // namespace tuvik
