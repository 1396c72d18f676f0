#pragma once
// A log line that may repeat (a broker refusing us, a stranger knocking)
// goes out at most once per interval per key; the lines held back meanwhile
// are counted and the next line that goes out says how many there were.

#include <QElapsedTimer>
#include <QHash>
#include <QString>

#include <functional>

namespace tuvik::monitor {

class LogThrottle {
  public:
    using Sink = std::function<void(const QString&)>;
    static constexpr int kDefaultIntervalMs = 60000;

    explicit LogThrottle(Sink sink, int intervalMs = kDefaultIntervalMs)
        : sink_(std::move(sink)), intervalMs_(intervalMs) {}

    // True when the line went out.
    bool Log(const QString& key, const QString& line);
    void setSink(Sink sink) { sink_ = std::move(sink); }

  private:
    struct Entry {
        QElapsedTimer last;
        int held = 0;
    };
    Sink sink_;
    int intervalMs_;
    QHash<QString, Entry> entries_;
};

}  // namespace tuvik::monitor
