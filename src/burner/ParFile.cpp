#include "burner/ParFile.h"

#include "support/Numbers.h"
#include "support/TextLines.h"

namespace tuvik {

std::optional<ParFields> ParseParLine(const QString& raw) {
    const QString line = TrimBlanks(raw);
    const qsizetype s1 = line.indexOf(QLatin1Char(' '));
    if (s1 < 0) {
        return std::nullopt;
    }
    const std::optional<int32_t> address = RoundToInt32(TextToNumber(line.left(s1 + 1)));
    const QString rest = TrimBlanks(line.mid(s1 + 1));
    const qsizetype s2 = rest.indexOf(QLatin1Char(' '));
    if (!address || s2 < 0) {
        return std::nullopt;
    }
    const QString valueField = TrimBlanks(rest.mid(s2 + 1));
    const qsizetype s3 = valueField.indexOf(QLatin1Char(' '));
    const std::optional<int32_t> value =
        RoundToInt32(TextToNumber(s3 < 0 ? valueField : valueField.left(s3)));
    if (!value) {
        return std::nullopt;
    }
    return ParFields{*address, rest.left(s2), *value};
}

ParFileRead ReadParData(const QByteArray& bytes) {
    ParFileRead data;
    int number = 0;
    for (const TextLine<QByteArrayView>& line : SplitLines(bytes)) {
        ++number;
        // An 8-bit file; every byte is one character.
        const QString text = QString::fromLatin1(line.text);
        if (std::optional<ParFields> f = ParseParLine(text)) {
            data.lines.push_back(std::move(*f));
        } else if (!TrimBlanks(text).isEmpty()) {
            data.skipped.append(number);
        }
    }
    return data;
}

}  // namespace tuvik
