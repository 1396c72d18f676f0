#pragma once
// What the analog-input replies feed and the analog window reads: the two
// trends of the eight inputs. One object lives for the whole run.

#include "trend/TrendArray.h"

namespace tuvik {

struct DispatchState {
    // Series 0..3 hold four inputs each; rows 4 and 5 stay empty.
    static constexpr int kAnalogRows = 6;

    TrendArray AnalogTrend1{kAnalogRows};  // AD0..AD3
    TrendArray AnalogTrend2{kAnalogRows};  // AD4..AD7
};

}  // namespace tuvik
