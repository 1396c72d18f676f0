#include "support/LineThrottle.h"

namespace tuvik {

bool LineThrottle::Allow(const QString& key, qint64 nowMs) {
    const auto it = said_.constFind(key);
    if (it != said_.constEnd() && nowMs - *it < intervalMs_ && nowMs >= *it) {
        return false;
    }
    if (said_.size() >= kMaxKeys) {
        // Many callers (a scan of the port): forget those whose time has come anyway.
        said_.removeIf([&](const auto& e) { return nowMs - e.value() >= intervalMs_; });
    }
    said_.insert(key, nowMs);
    return true;
}

}  // namespace tuvik
