#include "pid/DecimalText.h"

#include "support/Numbers.h"

namespace tuvik {

QString ToDot(const QString& text) {
    const QChar sep = DecimalSeparator();
    if (sep == QLatin1Char('.') || !text.contains(sep)) {
        return text;
    }
    QString out = text;
    out.replace(sep, QLatin1Char('.'));
    return out;
}

QString ToDecimalSeparator(const QString& text) {
    const QChar sep = DecimalSeparator();
    if (sep == QLatin1Char('.') || !text.contains(QLatin1Char('.'))) {
        return text;
    }
    QString out = text;
    out.replace(QLatin1Char('.'), sep);
    return out;
}

}  // namespace tuvik
