#include "burner/BurnerIdentity.h"

#include <cmath>

namespace tuvik {

void ApplyIdentification(BurnerIdentity& id, std::span<const uint8_t> d) {
    if (d.size() >= 2) {
        const auto v = static_cast<int16_t>(d[0] | (d[1] << 8));
        id.BurnerHwVersion = static_cast<float>(v) / 1000.0f;
    }
    if (d.size() >= 3) {
        id.FlamoraFeatures = d[2];
    }
    if (d.size() >= 4) {
        id.BurnerDevType = d[3];
    }
}

QString IdentificationTitle(const BurnerIdentity& id) {
    // The version is kept divided by 1000; the title shows the number the
    // burner sent.
    const long v = std::lround(static_cast<double>(id.BurnerHwVersion) * 1000.0);
    return QStringLiteral("FlamoraBurner, hw_ver ") + QString::number(v) +
           QStringLiteral(" feat ") + QString::number(id.FlamoraFeatures) +
           QStringLiteral(" devType:") + QString::number(id.BurnerDevType);
}

}  // namespace tuvik
