#include "burner/NumberText.h"

#include <QRegularExpression>

#include <cmath>

#include "support/Numbers.h"

namespace tuvik {

bool IsNumberText(const QString& text) {
    static const QRegularExpression kNumber(
        QStringLiteral("^[ \\t]*(?:[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eEdD][+-]?[0-9]+)?"
                       "|&[hH][0-9a-fA-F]+|&[oO][0-7]+)[ \\t]*$"));
    return kNumber.match(text).hasMatch();
}

std::optional<double> StrictNumber(const QString& text) {
    if (!IsNumberText(text)) {
        return std::nullopt;
    }
    // A number too large for a double would read as 0: that is no number.
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('&'))) {
        QString c = t;
        c.replace(QLatin1Char('d'), QLatin1Char('e')).replace(QLatin1Char('D'), QLatin1Char('e'));
        bool ok = false;
        const double v = c.toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            return std::nullopt;
        }
    }
    return TextToNumber(text);
}

}  // namespace tuvik
