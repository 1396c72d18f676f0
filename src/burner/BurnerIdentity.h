#pragma once
// The burner's identification: the first four bytes of its parameter-set
// reply (0x84) carry the firmware version, a feature byte and the device
// type. The version chooses the layout of the measurement reply and whether
// the usage counters can be asked for.

#include <QString>

#include <cstdint>
#include <span>

namespace tuvik {

struct BurnerIdentity {
    // The 16-bit version number divided by 1000 (1506 is 1.506); 0 until
    // the burner has identified itself.
    float BurnerHwVersion = 0.0f;
    // Device type byte; 0 until identified.
    int32_t BurnerDevType = 0;
    int32_t FlamoraFeatures = 0;

    // Versions are compared as singles, the precision they are kept in, so
    // that the identification's 1506 and 1499 count as 1.506 and 1.499.
    static constexpr float kNewLayoutVersion = 1.506f;
    static constexpr int32_t kNewLayoutDevType = 100;
    static constexpr float kTenthsWaterVersion = 1.499f;

    bool UsesNewMeasurementLayout() const {
        return BurnerHwVersion >= kNewLayoutVersion && BurnerDevType == kNewLayoutDevType;
    }
    bool WaterInTenths() const { return BurnerHwVersion >= kTenthsWaterVersion; }
};

// Takes the identification from the start of a 0x84 reply, field by field:
// a field the reply is too short to hold keeps its earlier value.
void ApplyIdentification(BurnerIdentity& id, std::span<const uint8_t> d);

// The burner window's title for an identification as it stands, for example
// "FlamoraBurner, hw_ver 1506 feat 3 devType:100".
QString IdentificationTitle(const BurnerIdentity& id);

}  // namespace tuvik
