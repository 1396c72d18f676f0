#include "burner/BurnerMeasurements.h"

#include <cmath>

#include "burner/BurnerTables.h"
#include "link/Packet.h"
#include "support/MessageLog.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

bool Has(std::span<const uint8_t> d, size_t first, size_t count) {
    return first + count <= d.size();
}

// The value in tenths with one decimal, as the "0.0" pattern shows it.
QString TenthsText(uint32_t tenths) {
    return QString::number(tenths / 10) + DecimalSeparator() + QString::number(tenths % 10);
}

template <class T>
void Take(std::optional<T>& field, const std::optional<T>& newer) {
    if (newer) {
        field = newer;
    }
}

template <class T>
QString Decimal(const std::optional<T>& v) {
    return v ? QString::number(*v) : QString();
}

}  // namespace

BurnerMeasurements DecodeBurnerMeasurements(std::span<const uint8_t> d, const BurnerIdentity& id) {
    BurnerMeasurements m;
    if (id.UsesNewMeasurementLayout()) {
        if (!Has(d, 0, 2)) {
            return m;
        }
        m.tgas = static_cast<float>(U16(d, 0));
        if (!Has(d, 2, 2)) {
            return m;
        }
        m.heaterTemp = U16(d, 2);
        if (!Has(d, 7, 1)) {
            return m;
        }
        m.lambda = static_cast<float>(d[7]) / 10.0f;
    } else {
        if (!Has(d, 0, 4)) {
            return m;
        }
        m.tgas = GetSingle(d, 0);
        if (!Has(d, 4, 4)) {
            return m;
        }
        m.lambda = GetSingle(d, 4);
    }
    if (!Has(d, 8, 2)) {
        return m;
    }
    const uint32_t water = U16(d, 8);
    m.twaterTenths = id.WaterInTenths() ? water : water * 10;

    const size_t upper = d.size() - 1;
    // A reply that ends at d[10] has no fan pair: it skips the rest and still
    // counts as a whole measurement.
    if (upper > 10) {
        m.vfd = d[10];
        m.tdevice = d[11];
    }
    if (upper > 12) {
        m.irSignal = U16(d, 12);
    }
    if (upper >= 15) {
        m.deviceState = U16(d, 14);
    }
    if (upper >= 16) {
        m.progState = d[16];
    }
    m.complete = true;
    return m;
}

void BurnerMeasurements::Merge(const BurnerMeasurements& newer) {
    Take(tgas, newer.tgas);
    Take(heaterTemp, newer.heaterTemp);
    Take(lambda, newer.lambda);
    Take(twaterTenths, newer.twaterTenths);
    Take(vfd, newer.vfd);
    Take(tdevice, newer.tdevice);
    Take(irSignal, newer.irSignal);
    Take(deviceState, newer.deviceState);
    Take(progState, newer.progState);
}

std::optional<std::array<LedState, BurnerMeasurements::kLeds>> BurnerMeasurements::Leds() const {
    if (!deviceState) {
        return std::nullopt;
    }
    const uint16_t w = *deviceState;
    std::array<LedState, kLeds> leds{};
    for (size_t i = 0; i < 9; ++i) {
        leds[i] = (w & BitMask[i]) ? LedState::Green : LedState::Grey;
    }
    leds[9] = (w & BitMask[9]) ? LedState::Red : LedState::Grey;
    return leds;
}

QString ReadingText(const BurnerMeasurements& m, BurnerReading r) {
    switch (r) {
        case BurnerReading::Tgas:
            return m.tgas ? SingleText(*m.tgas) : QString();
        case BurnerReading::Lambda:
            return m.lambda ? SingleText(*m.lambda) : QString();
        case BurnerReading::Twater:
            return m.twaterTenths ? TenthsText(*m.twaterTenths) : QString();
        case BurnerReading::Vfd:
            return Decimal(m.vfd);
        case BurnerReading::Tdevice:
            return Decimal(m.tdevice);
        case BurnerReading::IrSignal:
            return Decimal(m.irSignal);
        case BurnerReading::ProgState:
            return m.progState ? StateNames()[*m.progState] : QString();
        case BurnerReading::DevState:
            return Decimal(m.deviceState);
        case BurnerReading::Heater:
            return Decimal(m.heaterTemp);
    }
    return {};
}

BurnerReadingTexts ReadingTexts(const BurnerMeasurements& m) {
    BurnerReadingTexts texts;
    for (int i = 0; i < kBurnerReadings; ++i) {
        texts[static_cast<size_t>(i)] = ReadingText(m, static_cast<BurnerReading>(i));
    }
    return texts;
}

LogReadings MessageLogReadings(const BurnerMeasurements& m) {
    return {ReadingText(m, BurnerReading::Tgas), ReadingText(m, BurnerReading::Twater),
            ReadingText(m, BurnerReading::IrSignal), ReadingText(m, BurnerReading::Vfd)};
}

QString UsageTimeCaption(int32_t minutes) {
    const int64_t m = minutes;
    const int64_t days = static_cast<int64_t>(std::floor(static_cast<double>(m) / 1440.0));
    const int64_t r = m - 1440 * days;
    const int64_t hours = r / 60;
    const int64_t mins = r - 60 * hours;
    return QString::number(days) + QStringLiteral(" d ") + QString::number(hours) +
           QLatin1Char(':') + QString::number(mins);
}

QString UsageTimeTooltip(int32_t minutes) {
    return QString::number(minutes);
}

BurnerUsageTimes DecodeBurnerUsageTimes(std::span<const uint8_t> d) {
    BurnerUsageTimes u;
    for (size_t i = 0; i < BurnerUsageTimes::kCounters; ++i) {
        if (!Has(d, 4 * i, 4)) {
            break;
        }
        const uint32_t raw = static_cast<uint32_t>(d[4 * i]) |
                             (static_cast<uint32_t>(d[4 * i + 1]) << 8) |
                             (static_cast<uint32_t>(d[4 * i + 2]) << 16) |
                             (static_cast<uint32_t>(d[4 * i + 3]) << 24);
        u.minutes[i] = static_cast<int32_t>(raw);
    }
    return u;
}

}  // namespace tuvik
