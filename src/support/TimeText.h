#pragma once
// The time of day as the user's locale writes it, for status lines.

#include <QString>
#include <QTime>

namespace tuvik {

// The locale's long time format without a time-zone part (for example 14:05:09).
QString TimeText(const QTime& t);
inline QString TimeText() {
    return TimeText(QTime::currentTime());
}

}  // namespace tuvik
