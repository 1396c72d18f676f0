#include "link/LinkExchangeLock.h"

namespace tuvik {

bool LinkExchangeLock::acquire(const QString& name, DeviceLink* link) {
    if (lock_) {
        return true;
    }
    if (!lock_.acquire(name)) {
        return false;
    }
    link_ = link;
    if (link_) {
        ++link_->exchanges_;
    }
    return true;
}

void LinkExchangeLock::release() {
    if (!lock_) {
        return;
    }
    if (link_ && link_->exchanges_ > 0) {
        --link_->exchanges_;
    }
    link_.clear();
    lock_.release();
}

}  // namespace tuvik
