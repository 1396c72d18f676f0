#include "monitor/LogThrottle.h"

namespace tuvik::monitor {

bool LogThrottle::Log(const QString& key, const QString& line) {
    Entry& e = entries_[key];
    if (e.last.isValid() && e.last.elapsed() < intervalMs_) {
        ++e.held;
        return false;
    }
    e.last.start();
    const int held = std::exchange(e.held, 0);
    if (sink_) {
        sink_(held > 0 ? QStringLiteral("%1 (%2 more since the last such line)").arg(line).arg(held)
                       : line);
    }
    return true;
}

}  // namespace tuvik::monitor
