#include "support/Numbers.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>

namespace tuvik {

namespace {

QChar g_decimalSeparator = QLatin1Char('.');

bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

double ReadRadixInteger(const QString& t, int i, int radix) {
    double v = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (IsBlank(c)) {
            continue;
        }
        const int d = c.isDigit() ? c.digitValue()
                      : (radix == 16 && c.toUpper() >= QLatin1Char('A') && c.toUpper() <= QLatin1Char('F'))
                          ? c.toUpper().unicode() - 'A' + 10
                          : -1;
        if (d < 0 || d >= radix) {
            break;
        }
        v = v * radix + d;
    }
    // &H and &O read as 16-bit values: &HFFFF is -1, as the firmware headers mean it.
    if (v <= 65535 && v > 32767) {
        v -= 65536;
    }
    return v;
}

// The decimal exponent of v rounded to p significant digits (9.96 to two
// digits is 1.0e+01: exponent 1). Rounding can move the exponent only through
// a carry out of all nines, which ties to even and away from zero both take.
int DecimalExponent(double v, int p) {
    char buf[64];
    const auto written =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, p - 1);
    const char* e = std::find(buf, written.ptr, 'e');
    int exp = 0;
    if (e != written.ptr) {
        const char* digits = e + 1;
        if (digits != written.ptr && *digits == '+') {
            ++digits;  // from_chars takes a minus sign only
        }
        std::from_chars(digits, written.ptr, exp);
    }
    return exp;
}

// The significant digits of v's shortest text that reads back as v.
int ShortestSingleDigits(float v) {
    char buf[32];
    const char* const end =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific).ptr;
    int n = 0;
    for (const char* q = buf; q < end && *q != 'e'; ++q) {
        n += *q >= '0' && *q <= '9' ? 1 : 0;
    }
    return n;
}

// Formats with p significant digits; fixed notation within the usual range.
// Whether v, written with p significant digits (correctly rounded, as the
// 'e' format writes it), reads back as v; as a single when single is set.
// Works on a stack buffer: the number texts are worked out for every live
// value shown.
bool ReadsBackWithDigits(double v, int p, bool single) {
    char buf[64];
    const auto written =
        std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, p - 1);
    double back = 0;
    std::from_chars(buf, written.ptr, back);
    return single ? static_cast<float>(back) == static_cast<float>(v) : back == v;
}

// d rounded to p significant digits as FormatSignificant writes it (a tie
// goes away from zero), as a number: the digits are worked out on a stack
// buffer, no text is built.
double RoundSignificant(double d, int p) {
    char buf[64];
    // One digit more than wanted tells which way to round.
    char* const end = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific, p).ptr;
    const char* q = buf;
    const bool negative = *q == '-';
    if (negative) {
        ++q;
    }
    int64_t mantissa = 0;
    int digits = 0;
    char last = '0';
    for (; q < end && *q != 'e'; ++q) {
        if (*q == '.') {
            continue;
        }
        if (digits < p) {
            mantissa = mantissa * 10 + (*q - '0');
        } else {
            last = *q;
        }
        ++digits;
    }
    int exponent = 0;
    if (q < end) {
        ++q;  // 'e'
        if (q < end && *q == '+') {
            ++q;
        }
        std::from_chars(q, end, exponent);
    }
    bool up = last > '5';
    if (last == '5') {
        double written = 0;
        std::from_chars(buf, end, written);
        if (written != d) {
            // The extra digit was itself rounded: no tie, let the library decide.
            char* const e2 =
                std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific, p - 1).ptr;
            double r = 0;
            std::from_chars(buf, e2, r);
            return r;
        }
        up = true;
    }
    if (up) {
        ++mantissa;
    }
    char out[48];
    char* o = out;
    if (negative) {
        *o++ = '-';
    }
    // At most 8 digits, a sign and a 3-digit exponent: out is large enough.
    o = std::to_chars(o, out + 20, mantissa).ptr;
    *o++ = 'e';
    o = std::to_chars(o, out + sizeof out, exponent - p + 1).ptr;
    double r = 0;
    std::from_chars(out, o, r);
    return r;
}

QString FormatSignificant(double v, int p, int fixedLimit, QChar sep) {
    if (v == 0) {
        return QStringLiteral("0");
    }
    const int exp = DecimalExponent(v, p);
    QString s;
    if (exp >= -4 && exp < fixedLimit) {
        s = QString::number(v, 'f', std::max(0, p - 1 - exp));
        if (s.contains(QLatin1Char('.'))) {
            while (s.endsWith(QLatin1Char('0'))) {
                s.chop(1);
            }
            if (s.endsWith(QLatin1Char('.'))) {
                s.chop(1);
            }
        }
    } else {
        s = QString::number(v, 'E', p - 1);
        // Mantissa without trailing zeros: 1E+07, 1.5E-06.
        const int ePos = s.indexOf(QLatin1Char('E'));
        QString mant = s.left(ePos);
        if (mant.contains(QLatin1Char('.'))) {
            while (mant.endsWith(QLatin1Char('0'))) {
                mant.chop(1);
            }
            if (mant.endsWith(QLatin1Char('.'))) {
                mant.chop(1);
            }
        }
        s = mant + s.mid(ePos);
    }
    if (s == QLatin1String("-0")) {
        s = QStringLiteral("0");
    }
    if (sep != QLatin1Char('.')) {
        s.replace(QLatin1Char('.'), sep);
    }
    return s;
}

}  // namespace

double TextToNumber(const QString& text) {
    const int n = static_cast<int>(text.size());
    int i = 0;
    auto skip = [&] {
        while (i < n && IsBlank(text.at(i))) {
            ++i;
        }
    };
    skip();
    if (i + 1 < n && text.at(i) == QLatin1Char('&')) {
        const QChar r = text.at(i + 1).toUpper();
        if (r == QLatin1Char('H')) {
            return ReadRadixInteger(text, i + 2, 16);
        }
        if (r == QLatin1Char('O')) {
            return ReadRadixInteger(text, i + 2, 8);
        }
        return 0;
    }
    QByteArray num;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        num.append(static_cast<char>(text.at(i).unicode()));
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (IsBlank(c)) {
            continue;
        }
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            num.append(static_cast<char>(c.unicode()));
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            num.append('.');
            point = true;
        } else {
            break;
        }
    }
    if (!digits) {
        return 0;
    }
    // Optional exponent: E or D, optional sign, at least one digit.
    if (i < n && (text.at(i).toUpper() == QLatin1Char('E') || text.at(i).toUpper() == QLatin1Char('D'))) {
        int j = i + 1;
        QByteArray ex("e");
        while (j < n && IsBlank(text.at(j))) {
            ++j;
        }
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-'))) {
            ex.append(static_cast<char>(text.at(j).unicode()));
            ++j;
        }
        bool expDigits = false;
        for (; j < n; ++j) {
            const QChar c = text.at(j);
            if (IsBlank(c)) {
                continue;
            }
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
                ex.append(static_cast<char>(c.unicode()));
                expDigits = true;
            } else {
                break;
            }
        }
        if (expDigits) {
            num.append(ex);
        }
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

int TextToWholeNumber(const QString& text) {
    const double r = std::nearbyint(TextToNumber(text));
    if (r >= 2147483647.0) {
        return 2147483647;
    }
    if (r <= -2147483648.0) {
        return -2147483647 - 1;
    }
    return static_cast<int>(r);
}

QString TrimBlanks(const QString& s) {
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' ')) {
        ++b;
    }
    while (e > b && s.at(e - 1) == QLatin1Char(' ')) {
        --e;
    }
    return s.mid(b, e - b);
}

double RoundHalfEven(double v) { return std::nearbyint(v); }

std::optional<int16_t> RoundToInt16(double v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    const double r = std::nearbyint(v);
    if (r < -32768.0 || r > 32767.0) {
        return std::nullopt;
    }
    return static_cast<int16_t>(r);
}

std::optional<int32_t> RoundToInt32(double v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    const double r = std::nearbyint(v);
    if (r < -2147483648.0 || r > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<int32_t>(r);
}

QChar DecimalSeparator() { return g_decimalSeparator; }
void SetDecimalSeparator(QChar sep) { g_decimalSeparator = sep; }

QChar DetectDecimalSeparator(const QLocale& locale) {
    bool ok = false;
    locale.toFloat(QStringLiteral("0.5"), &ok);
    return ok ? QLatin1Char('.') : QLatin1Char(',');
}

QString SingleText(float v, QChar sep) {
    if (std::isnan(v)) {
        return QStringLiteral("NaN");
    }
    if (std::isinf(v)) {
        return v > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    }
    for (int p = 1; p < 7; ++p) {
        if (ReadsBackWithDigits(static_cast<double>(v), p, true)) {
            return FormatSignificant(static_cast<double>(v), p, 7, sep);
        }
    }
    return FormatSignificant(static_cast<double>(v), 7, 7, sep);
}

std::optional<double> SingleTextValue(float v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    if (v == 0.0f) {
        return 0.0;  // the text of -0 is "0"
    }
    // The digits SingleText chooses, by the same test. No text with fewer
    // significant digits than the single's shortest round-trip text reads
    // back as the single, so the search starts there: one or two tries
    // instead of up to seven, for every live value of every reply.
    const double d = v;
    for (int p = ShortestSingleDigits(v); p < 7; ++p) {
        if (ReadsBackWithDigits(d, p, true)) {
            return RoundSignificant(d, p);
        }
    }
    return RoundSignificant(d, 7);
}

std::optional<float> SingleTextSingle(float v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    if (v == 0.0f) {
        return 0.0f;  // the text of -0 is "0"
    }
    const double d = v;
    const auto r7 = static_cast<float>(RoundSignificant(d, 7));
    if (r7 == v) {
        return v;
    }
    // The 7-digit rounding is the closest 7-digit decimal; a shorter one can
    // still read back as v only where the gap below v is half the gap above,
    // at a power of two.
    if ((std::bit_cast<uint32_t>(v) & 0x7FFFFFu) == 0) {
        return static_cast<float>(*SingleTextValue(v));
    }
    return r7;
}

QString DoubleText(double v, QChar sep) {
    if (!std::isfinite(v)) {
        return std::isnan(v) ? QStringLiteral("NaN")
                             : (v > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity"));
    }
    for (int p = 1; p < 15; ++p) {
        if (ReadsBackWithDigits(v, p, false)) {
            return FormatSignificant(v, p, 15, sep);
        }
    }
    return FormatSignificant(v, 15, 15, sep);
}

std::optional<float> LocaleTextToSingle(const QString& text, QChar sep) {
    QString t = text.trimmed();
    if (sep != QLatin1Char('.')) {
        if (t.contains(QLatin1Char('.'))) {
            return std::nullopt;  // a "." is not a decimal point under this locale
        }
        t.replace(sep, QLatin1Char('.'));
    }
    if (t.isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > static_cast<double>(FLT_MAX)) {
        return std::nullopt;
    }
    return static_cast<float>(d);
}

}  // namespace tuvik
