#pragma once
// Whether a typed text is a number at all. TextToNumber reads the leading
// number of anything and gives 0 for "abc"; before a value is written into
// the burner's memory the whole text must be a number, or the write is
// refused instead of sending 0.

#include <QString>

#include <optional>

namespace tuvik {

// True when the text, blanks at both ends aside, is one number in a form
// TextToNumber reads: an optional sign, digits with an optional decimal
// point and an optional exponent (E or D), or &H hexadecimal / &O octal.
bool IsNumberText(const QString& text);

// TextToNumber of a text that IsNumberText accepts; nothing otherwise.
std::optional<double> StrictNumber(const QString& text);

}  // namespace tuvik
