#pragma once
// What the burner told us about itself in the identification at the start of
// its parameter-set reply. It decides how the measurement reply is laid out.

#include <cstdint>

namespace tuvik {

struct BurnerIdentity {
    // Firmware version number / 1000 (1506 is 1.506); 0 until identified.
    float BurnerHwVersion = 0.0f;
    // Device type byte; 0 until identified.
    int32_t BurnerDevType = 0;

    // Versions are compared as singles, the precision they are kept in, so
    // that the identification's 1506 and 1499 count as 1.506 and 1.499.
    static constexpr float kNewLayoutVersion = 1.506f;
    static constexpr int32_t kNewLayoutDevType = 100;
    static constexpr float kTenthsWaterVersion = 1.499f;
    static constexpr float kUsageCounterVersion = 1.501f;

    bool UsesNewMeasurementLayout() const {
        return BurnerHwVersion >= kNewLayoutVersion && BurnerDevType == kNewLayoutDevType;
    }
    bool WaterInTenths() const { return BurnerHwVersion >= kTenthsWaterVersion; }
};

}  // namespace tuvik
