#pragma once
// Where the fields of each reply lie: one decoder per reply that carries
// numbers, used by the reply dispatcher and by the recording dump alike. A
// reply too short for its fields decodes to nothing (the live values field
// by field: the fields it holds are there).

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace tuvik {

// 0x92 and 0x96: four singles, in the order clsPID::kLiveReplyOrder names.
inline constexpr size_t kLiveSingles = 4;
std::optional<float> LiveSingle(std::span<const uint8_t> d, size_t i);

// 0x8B (a byte: the value, then the address's word) and 0x55 (a word: the
// value's word, then the address's).
struct MemoryValue {
    int32_t value = 0;
    int32_t address = 0;
};
std::optional<MemoryValue> DecodeByteValue(std::span<const uint8_t> d);
std::optional<MemoryValue> DecodeWordValue(std::span<const uint8_t> d);

// 0x89: the eight analog inputs as words, AD0 first.
inline constexpr size_t kAnalogInputs = 8;
std::optional<std::array<uint16_t, kAnalogInputs>> DecodeAnalogInputs(std::span<const uint8_t> d);

// 0x8C: an actuator's report: its number, started (bit 7 of the second
// byte) or stopped, the program state (the other bits) and its clock in
// tenths of a second (three bytes, low first). Numbers at or above
// kActuators are not events we know.
inline constexpr int kActuators = 11;
struct ActuatorReport {
    uint8_t actuator = 0;
    bool started = false;
    uint8_t state = 0;
    uint32_t tenths = 0;
};
std::optional<ActuatorReport> DecodeActuatorReport(std::span<const uint8_t> d);

// The one-byte replies: 0x86 (0 refuses the write), 0x94 (the alarm), 0xAA
// (the device started, with its reason).
inline bool WriteAccepted(std::span<const uint8_t> d) {
    return d[0] != 0;
}
inline bool AlarmOn(std::span<const uint8_t> d) {
    return d[0] != 0;
}

}  // namespace tuvik
