#include "support/TimeText.h"

#include <QLocale>

namespace tuvik {

QString TimeText(const QTime& t) {
    const QLocale locale = QLocale::system();
    const QString longFormat = locale.timeFormat(QLocale::LongFormat);
    // A status line has no use for the zone name that some long formats carry:
    // drop the unquoted t fields.
    QString format;
    bool quoted = false;
    for (const QChar c : longFormat) {
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('t')) {
            continue;
        }
        format += c;
    }
    return locale.toString(t, format.trimmed());
}

}  // namespace tuvik
