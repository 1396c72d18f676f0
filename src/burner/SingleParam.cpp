#include "burner/SingleParam.h"

#include <cmath>

#include "burner/NumberText.h"
#include "link/DeviceLink.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

template <typename T>
const QString* ErrorOf(const Checked<T>& c) {
    return std::get_if<QString>(&c);
}

}  // namespace

QString AddressFromComboText(const QString& comboText) {
    const qsizetype hash = comboText.indexOf(QLatin1Char('#'));
    return hash < 0 ? comboText : comboText.mid(hash + 1);
}

Checked<int16_t> ReadAddress(const QString& addressText) {
    const double a = std::floor(TextToNumber(addressText));
    if (!(a >= -32768.0 && a <= 32767.0)) {
        return QStringLiteral("Address must be a number from -32768 to 32767!");
    }
    return static_cast<int16_t>(a);
}

Checked<int32_t> WriteAddress(const QString& addressText) {
    if (!IsNumberText(addressText)) {
        return QStringLiteral("Address is not a number!");
    }
    const double a = std::floor(TextToNumber(addressText));
    if (!(a >= -32768.0 && a <= 65535.0)) {
        return QStringLiteral("Address must be a number from -32768 to 65535!");
    }
    return static_cast<int32_t>(a);
}

Checked<uint8_t> ByteValue(const QString& valueText) {
    if (!IsNumberText(valueText)) {
        return QStringLiteral("Value is not a number!");
    }
    const double v = RoundHalfEven(TextToNumber(valueText));
    if (!(v >= 0.0 && v <= 255.0)) {
        return QStringLiteral("Value must be 0-255 for a byte write!");
    }
    return static_cast<uint8_t>(v);
}

Checked<int16_t> WordValue(const QString& valueText) {
    if (!IsNumberText(valueText)) {
        return QStringLiteral("Value is not a number!");
    }
    const std::optional<int16_t> v = RoundToInt16(TextToNumber(valueText));
    if (!v) {
        return QStringLiteral("Value must be -32768 to 32767 for a 16-bit write!");
    }
    return *v;
}

QString NotSentMessage() {
    return QStringLiteral("The request was not sent: the link is not open.");
}

std::optional<QString> ReadParam(DeviceLink& link, const QString& addressText) {
    const Checked<int16_t> a = ReadAddress(addressText);
    if (const QString* e = ErrorOf(a)) {
        return *e;
    }
    if (!link.ReadEE(std::get<int16_t>(a))) {
        return NotSentMessage();
    }
    return std::nullopt;
}

std::optional<QString> ReadParam16(DeviceLink& link, const QString& addressText) {
    const Checked<int16_t> a = ReadAddress(addressText);
    if (const QString* e = ErrorOf(a)) {
        return *e;
    }
    if (!link.ReadEE_16bit(std::get<int16_t>(a), false)) {
        return NotSentMessage();
    }
    return std::nullopt;
}

std::optional<QString> WriteParam(DeviceLink& link, const QString& addressText,
                                  const QString& valueText) {
    const Checked<uint8_t> v = ByteValue(valueText);
    if (const QString* e = ErrorOf(v)) {
        return *e;
    }
    const Checked<int32_t> a = WriteAddress(addressText);
    if (const QString* e = ErrorOf(a)) {
        return *e;
    }
    const uint8_t buf[1] = {std::get<uint8_t>(v)};
    if (!link.WriteMemory(std::get<int32_t>(a), buf)) {
        return NotSentMessage();
    }
    return std::nullopt;
}

std::optional<QString> WriteParam16(DeviceLink& link, const QString& addressText,
                                    const QString& valueText) {
    const Checked<int16_t> v = WordValue(valueText);
    if (const QString* e = ErrorOf(v)) {
        return *e;
    }
    const Checked<int32_t> a = WriteAddress(addressText);
    if (const QString* e = ErrorOf(a)) {
        return *e;
    }
    const auto w = static_cast<uint16_t>(std::get<int16_t>(v));
    const uint8_t buf[2] = {static_cast<uint8_t>(w & 0xFF), static_cast<uint8_t>(w >> 8)};
    if (!link.WriteMemory(std::get<int32_t>(a), buf)) {
        return NotSentMessage();
    }
    return std::nullopt;
}

}  // namespace tuvik
