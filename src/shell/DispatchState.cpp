#include "shell/DispatchState.h"

namespace tuvik {

void DispatchState::PushAnalog(const std::array<uint16_t, kAnalogInputs>& inputs) {
    for (int k = 0; k < 8; ++k) {
        const auto v = static_cast<float>(inputs[static_cast<size_t>(k)]);
        TrendArray& arr = k < 4 ? AnalogTrend1 : AnalogTrend2;
        arr.PushValue(k % 4, v, kAnalogCeiling, true);
    }
    const double now = TrendNow();
    AnalogTrend1.PushTime(now);
    AnalogTrend2.PushTime(now);
}

}  // namespace tuvik
