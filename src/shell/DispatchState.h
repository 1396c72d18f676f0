#pragma once
// Values that replies feed and other parts of the program read: the count of
// positive write acknowledgements (reset and judged by whoever sends), the
// analog input history, and the burner's identification. One object lives for
// the whole run.

#include <cstdint>

#include "burner/BurnerIdentity.h"
#include "trend/TrendArray.h"

namespace tuvik {

struct DispatchState {
    // Series 0..3 hold four inputs each; rows 4 and 5 stay empty.
    static constexpr int kAnalogRows = 6;

    // Positive write acknowledgements; stays at 32767 rather than wrapping.
    int16_t WriteAckCount = 0;
    // Refused write acknowledgements (first byte 0). A stray positive
    // acknowledgement can make up the count of a refused write, so the
    // exchanges that count acknowledgements also fail on any refusal.
    int16_t WriteRefusedCount = 0;
    TrendArray AnalogTrend1{kAnalogRows};  // AD0..AD3
    TrendArray AnalogTrend2{kAnalogRows};  // AD4..AD7
    BurnerIdentity burner;
};

}  // namespace tuvik
