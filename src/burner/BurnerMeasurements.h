#pragma once
// The burner's measurement (0x97) and usage-counter (0x5C) replies in the
// burner's own numbers, and the texts the burner window, the measurement file
// and the message log make of them. A reply that is too short for a field
// stops the decoding there: what was decoded before is set, the rest is
// absent.

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "burner/BurnerIdentity.h"

namespace tuvik {

struct LogReadings;

enum class LedState : uint8_t { Grey, Green, Red };

struct BurnerMeasurements {
    static constexpr int kLeds = 10;  // imgDev 0..9; 10 and 11 are never driven

    // Older firmware sends Tgas and lambda as singles; 1.506 and later on
    // device type 100 send Tgas and the heater temperature as words and lambda
    // as a byte of tenths. A word is exact in a single and a tenth shows the
    // same as a single as it does as a double, so one number serves both.
    std::optional<float> tgas;
    std::optional<uint16_t> heaterTemp;  // the words' layout only
    std::optional<float> lambda;
    std::optional<uint32_t> twaterTenths;
    std::optional<uint8_t> vfd;
    std::optional<uint8_t> tdevice;  // d[11], shown under the caption Tdevice
    std::optional<uint16_t> irSignal;
    std::optional<uint16_t> deviceState;  // one bit per actuator LED
    std::optional<uint8_t> progState;     // index into StateNames
    // The whole reply was read: a measurement row is due.
    bool complete = false;

    // The fields a newer reply holds replace these; the others stay as the
    // last reply that held them left them.
    void Merge(const BurnerMeasurements& newer);
    // The LEDs the device state lights: green for bits 0..8, red for bit 9.
    std::optional<std::array<LedState, kLeds>> Leds() const;
};

BurnerMeasurements DecodeBurnerMeasurements(std::span<const uint8_t> d, const BurnerIdentity& id);

// The readings in the order of the measurement file's columns 1 to 9.
enum class BurnerReading : uint8_t {
    Tgas,
    Lambda,
    Twater,
    Vfd,
    Tdevice,
    IrSignal,
    ProgState,
    DevState,
    Heater
};
inline constexpr int kBurnerReadings = 9;
using BurnerReadingTexts = std::array<QString, kBurnerReadings>;

// The text of one reading as the window's label, the measurement file and the
// message log show it; empty while no reply has held it.
QString ReadingText(const BurnerMeasurements& m, BurnerReading r);
// Every reading's text, indexed by BurnerReading.
BurnerReadingTexts ReadingTexts(const BurnerMeasurements& m);
// The four readings every message log line carries.
LogReadings MessageLogReadings(const BurnerMeasurements& m);

struct BurnerUsageTimes {
    static constexpr int kCounters = 5;  // power-on, startup, run, idle, off
    std::array<std::optional<int32_t>, kCounters> minutes;
};

BurnerUsageTimes DecodeBurnerUsageTimes(std::span<const uint8_t> d);
// 3050 -> "2 d 2:50"; no padding.
QString UsageTimeCaption(int32_t minutes);
// The minutes in decimal.
QString UsageTimeTooltip(int32_t minutes);

}  // namespace tuvik
