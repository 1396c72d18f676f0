#include "link/ReplyLayouts.h"

#include "link/Packet.h"

namespace tuvik {

namespace {

bool Has(std::span<const uint8_t> d, size_t count) {
    return count <= d.size();
}

}  // namespace

std::optional<float> LiveSingle(std::span<const uint8_t> d, size_t i) {
    return Has(d, 4 * i + 4) ? std::optional<float>(GetSingle(d, 4 * i)) : std::nullopt;
}

std::optional<MemoryValue> DecodeByteValue(std::span<const uint8_t> d) {
    return Has(d, 3) ? std::optional<MemoryValue>({d[0], U16(d, 1)}) : std::nullopt;
}

std::optional<MemoryValue> DecodeWordValue(std::span<const uint8_t> d) {
    return Has(d, 4) ? std::optional<MemoryValue>({U16(d, 0), U16(d, 2)}) : std::nullopt;
}

std::optional<std::array<uint16_t, kAnalogInputs>> DecodeAnalogInputs(std::span<const uint8_t> d) {
    if (!Has(d, 2 * kAnalogInputs)) {
        return std::nullopt;
    }
    std::array<uint16_t, kAnalogInputs> v{};
    for (size_t k = 0; k < kAnalogInputs; ++k) {
        v[k] = U16(d, 2 * k);
    }
    return v;
}

std::optional<ActuatorReport> DecodeActuatorReport(std::span<const uint8_t> d) {
    if (!Has(d, 5) || d[0] >= kActuators) {
        return std::nullopt;
    }
    return ActuatorReport{d[0], (d[1] & 0x80) != 0, static_cast<uint8_t>(d[1] & 0x7F),
                          static_cast<uint32_t>(d[2] | (d[3] << 8) | (d[4] << 16))};
}

}  // namespace tuvik
