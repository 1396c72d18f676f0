#pragma once
// Number and text helpers shared by the whole program: the lenient reader of
// typed numbers, rounding with halves to the even neighbour, the text forms
// of singles and doubles, and the user's decimal separator.

#include <QChar>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace tuvik {

// Reads the leading number of a text: blanks anywhere are skipped, then an
// optional sign, digits, an optional decimal point and an optional exponent
// (E or D); "&H" and "&O" read a hexadecimal or octal integer. Reading stops
// at the first character that cannot continue the number; nothing readable
// gives 0.
double TextToNumber(const QString& text);

// TextToNumber rounded to a whole number (a half to the even neighbour),
// kept within the int range: how the speed and refresh boxes are read.
int TextToWholeNumber(const QString& text);

// Trims blanks (spaces only) from both ends; tabs and other control
// characters stay part of the text, as the device's files are written.
QString TrimBlanks(const QString& s);

// Rounds to the nearest whole number, a half going to the even neighbour.
double RoundHalfEven(double v);
// The same, failing when the result does not fit (or v is not finite).
std::optional<int16_t> RoundToInt16(double v);
std::optional<int32_t> RoundToInt32(double v);

// The decimal separator of the user's locale: "." when "0.5" reads as a
// number under the locale, "," otherwise. Set once at start-up.
QChar DecimalSeparator();
void SetDecimalSeparator(QChar sep);
QChar DetectDecimalSeparator(const QLocale& locale);

// Shortest text (at most 7 significant digits) that reads back to the same
// single; the given decimal separator; exponent form only for magnitudes of
// 1E+07 and above or below 1E-04.
QString SingleText(float v, QChar sep);
inline QString SingleText(float v) {
    return SingleText(v, DecimalSeparator());
}
// The number SingleText(v) writes, worked out without the text: the double
// that text reads back as. A single that came as it is written and read back
// is float(*SingleTextValue(v)). Nothing for NaN and infinities.
std::optional<double> SingleTextValue(float v);
// float(*SingleTextValue(v)) the quick way: v itself whenever its text reads
// back as v, which one 7-digit rounding tells but at a power of two.
std::optional<float> SingleTextSingle(float v);
// Shortest text of a double, up to 15 significant digits.
QString DoubleText(double v, QChar sep);
inline QString DoubleText(double v) {
    return DoubleText(v, DecimalSeparator());
}

// A text in the user's form ("1,5" under a decimal comma) as a single: fails
// on anything that is not wholly a number or does not fit a single.
std::optional<float> LocaleTextToSingle(const QString& text, QChar sep);
inline std::optional<float> LocaleTextToSingle(const QString& text) {
    return LocaleTextToSingle(text, DecimalSeparator());
}

}  // namespace tuvik
