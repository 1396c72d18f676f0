#pragma once
// A log line that could repeat (a refused connection, a broker that keeps
// refusing the password) is said at most once per interval for each key:
// the first time at once, then again only once the interval has passed.

#include <QHash>
#include <QString>

namespace tuvik {

class LineThrottle {
  public:
    static constexpr qint64 kMinuteMs = 60 * 1000;
    // Past this many keys, those whose interval has passed are forgotten.
    static constexpr qsizetype kMaxKeys = 4096;

    explicit LineThrottle(qint64 intervalMs = kMinuteMs) : intervalMs_(intervalMs) {}

    // Whether the line for `key` may be said at nowMs (monotonic); when it
    // may, it counts as said then.
    bool Allow(const QString& key, qint64 nowMs);

  private:
    qint64 intervalMs_;
    QHash<QString, qint64> said_;  // when each key's line was last said
};

}  // namespace tuvik
