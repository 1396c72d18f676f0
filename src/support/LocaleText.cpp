#include "support/LocaleText.h"

namespace tuvik {

namespace {

// Drops the time-zone letters (t, tt, ttt, tttt) outside quoted literals and
// the blanks left around them.
QString WithoutZone(const QString& format) {
    QString out;
    out.reserve(format.size());
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        }
        if (!quoted && c == u't') {
            continue;
        }
        out.append(c);
    }
    return out.simplified();
}

}  // namespace

QString LocaleTimeOfDay(const QTime& t, const QLocale& locale) {
    return locale.toString(t, WithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString LocaleTimeOfDay(const QTime& t) {
    return LocaleTimeOfDay(t, QLocale::system());
}

QString LocaleTimeOfDayNow() {
    return LocaleTimeOfDay(QTime::currentTime());
}

}  // namespace tuvik
