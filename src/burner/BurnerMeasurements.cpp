#include "burner/BurnerMeasurements.h"

#include <cmath>

#include "link/Packet.h"
#include "burner/BurnerTables.h"
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

}  // namespace

BurnerMeasurements DecodeBurnerMeasurements(std::span<const uint8_t> d, const BurnerIdentity& id) {
    BurnerMeasurements m;
    if (id.UsesNewMeasurementLayout()) {
        if (!Has(d, 0, 2)) {
            return m;
        }
        m.lblTgas = QString::number(U16(d, 0));
        if (!Has(d, 2, 2)) {
            return m;
        }
        m.lblTempKTYPE1 = QString::number(U16(d, 2));
        if (!Has(d, 7, 1)) {
            return m;
        }
        m.lblLambda = DoubleText(d[7] / 10.0);
    } else {
        if (!Has(d, 0, 4)) {
            return m;
        }
        m.lblTgas = SingleText(GetSingle(d, 0));
        if (!Has(d, 4, 4)) {
            return m;
        }
        m.lblLambda = SingleText(GetSingle(d, 4));
    }
    if (!Has(d, 8, 2)) {
        return m;
    }
    const uint32_t water = U16(d, 8);
    m.lblTwater = TenthsText(id.WaterInTenths() ? water : water * 10);

    const size_t upper = d.size() - 1;
    // A reply that ends at d[10] has no fan pair: it skips the rest and still
    // counts as a whole measurement.
    if (upper > 10) {
        m.lblVFD = QString::number(d[10]);
        m.lblBAfan = QString::number(d[11]);
    }
    if (upper > 12) {
        m.lblIRsig = QString::number(U16(d, 12));
    }
    if (upper >= 15) {
        const uint16_t w = U16(d, 14);
        m.lblDevState = QString::number(w);
        std::array<LedState, BurnerMeasurements::kLeds> leds{};
        for (int i = 0; i < 9; ++i) {
            leds[static_cast<size_t>(i)] =
                (w & BitMask[static_cast<size_t>(i)]) ? LedState::Green : LedState::Grey;
        }
        leds[9] = (w & BitMask[9]) ? LedState::Red : LedState::Grey;
        m.imgDev = leds;
    }
    if (upper >= 16) {
        m.lblProgState = StateNames()[d[16]];
    }
    m.complete = true;
    return m;
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
        const auto minutes = static_cast<int32_t>(raw);
        u.lblUsageTime[i] = BurnerUsageTime{UsageTimeCaption(minutes), QString::number(minutes)};
    }
    return u;
}

}  // namespace tuvik
