#pragma once
// Times of day as the user's locale writes them, for status lines and captions.

#include <QLocale>
#include <QString>
#include <QTime>

namespace tuvik {

// Hours, minutes and seconds in the locale's long time format, without the
// time zone that Qt's long format appends ("12:00:00", "12.00.00", "12:00:00 PM").
QString LocaleTimeOfDay(const QTime& t, const QLocale& locale);
// The same in the system locale.
QString LocaleTimeOfDay(const QTime& t);
// The current time of day in the system locale.
QString LocaleTimeOfDayNow();

}  // namespace tuvik
