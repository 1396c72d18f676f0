#pragma once
// The burner's text files lay their fields out in 14-column print zones:
// every field but the last is followed by blanks up to the start of the next
// zone (columns 1, 15, 29, ...). A field that ends exactly on a zone border
// still moves on to the next zone.

#include <QString>

#include <initializer_list>

namespace tuvik {

inline constexpr int kPrintZoneWidth = 14;

inline QString PrintZones(std::initializer_list<QString> fields) {
    QString line;
    qsizetype i = 0;
    for (const QString& f : fields) {
        line += f;
        if (++i < static_cast<qsizetype>(fields.size())) {
            line += QString(kPrintZoneWidth - line.size() % kPrintZoneWidth, QLatin1Char(' '));
        }
    }
    return line;
}

}  // namespace tuvik
