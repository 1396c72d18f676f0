#pragma once
// The burner's measurement (0x97) and usage-counter (0x5C) replies turned
// into the texts and LED states its window shows. A reply that is too short
// for a field stops the decoding there: what was decoded before stays set,
// the rest is left out.

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "burner/BurnerIdentity.h"

namespace tuvik {

enum class LedState : uint8_t { Grey, Green, Red };

struct BurnerMeasurements {
    static constexpr int kLeds = 10;  // imgDev 0..9; 10 and 11 are never driven

    std::optional<QString> lblTgas;
    std::optional<QString> lblTempKTYPE1;
    std::optional<QString> lblLambda;
    std::optional<QString> lblTwater;
    std::optional<QString> lblVFD;
    std::optional<QString> lblBAfan;
    std::optional<QString> lblIRsig;
    std::optional<QString> lblDevState;
    std::optional<QString> lblProgState;
    std::optional<std::array<LedState, kLeds>> imgDev;
    // The whole reply was read: the window then stores a measurement row.
    bool complete = false;

    // Calls f(objectName, text) for every label that got a text.
    template <class F>
    void ForEachLabel(F&& f) const {
        const std::pair<const char16_t*, const std::optional<QString>*> labels[] = {
            {u"lblTgas", &lblTgas},
            {u"lblTempKTYPE1", &lblTempKTYPE1},
            {u"lblLambda", &lblLambda},
            {u"lblTwater", &lblTwater},
            {u"lblVFD", &lblVFD},
            {u"lblBAfan", &lblBAfan},
            {u"lblIRsig", &lblIRsig},
            {u"lblDevState", &lblDevState},
            {u"lblProgState", &lblProgState},
        };
        for (const auto& [name, text] : labels) {
            if (*text) {
                f(QStringView(name), **text);
            }
        }
    }
};

BurnerMeasurements DecodeBurnerMeasurements(std::span<const uint8_t> d, const BurnerIdentity& id);

struct BurnerUsageTime {
    QString caption;  // "days d hours:minutes"
    QString tooltip;  // the minutes
};

struct BurnerUsageTimes {
    static constexpr int kCounters = 5;  // power-on, startup, run, idle, off
    std::array<std::optional<BurnerUsageTime>, kCounters> lblUsageTime;
};

BurnerUsageTimes DecodeBurnerUsageTimes(std::span<const uint8_t> d);
// 3050 -> "2 d 2:50"; no padding.
QString UsageTimeCaption(int32_t minutes);

}  // namespace tuvik
