#pragma once
// The burner window's single-parameter panel: one value of the burner's
// non-volatile memory read or written at a time, as a byte or a 16-bit word.
// The panel keeps only two texts (address and value); these functions turn
// them into requests and refuse what cannot be sent as typed.

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace tuvik {

class DeviceLink;

// The address part of a parameter list item: the text after the first "#",
// or the whole text when it has none.
QString AddressFromComboText(const QString& comboText);

// A number taken from a typed text, or why it cannot be used.
template <typename T>
using Checked = std::variant<T, QString>;

// Read address: TextToNumber rounded down, -32768..32767. An empty text or
// one without a number is address 0.
Checked<int16_t> ReadAddress(const QString& addressText);
// Write address: rounded down likewise; -32768..65535, the addresses that 16
// bits can name. A larger address is refused rather than cut to its low 16
// bits, which would write somewhere else; a text without a number is refused
// rather than written to address 0.
Checked<int32_t> WriteAddress(const QString& addressText);
// Byte value: TextToNumber rounded to the nearest whole number (halves to
// the even neighbour), 0..255. The text must be a number (an empty box is
// not 0).
Checked<uint8_t> ByteValue(const QString& valueText);
// Word value: a number, rounded likewise, -32768..32767.
Checked<int16_t> WordValue(const QString& valueText);

// The four panel operations. Each sends its request on the link and returns
// nothing, or returns why nothing was sent.
std::optional<QString> ReadParam(DeviceLink& link, const QString& addressText);
std::optional<QString> ReadParam16(DeviceLink& link, const QString& addressText);
std::optional<QString> WriteParam(DeviceLink& link, const QString& addressText,
                                  const QString& valueText);
std::optional<QString> WriteParam16(DeviceLink& link, const QString& addressText,
                                    const QString& valueText);

// What the panel says when the link would not take a request.
QString NotSentMessage();

}  // namespace tuvik
