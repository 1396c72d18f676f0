#include "shell/AppContext.h"

namespace tuvik {

void AppContext::setActiveLink(DeviceLink* link) {
    if (activeLink_ == link) {
        return;
    }
    // Only the active link's replies are the program's: one left behind
    // (still connecting, or a replay's live link) must not reach the windows.
    if (activeLink_) {
        activeLink_->SetReceiver(nullptr);
    }
    activeLink_ = link;
    if (link) {
        link->SetReceiver(receiver_);
    }
    emit activeLinkChanged(link);
}

void AppContext::setLinkConnected(bool on) {
    if (linkConnected_ == on) {
        return;
    }
    linkConnected_ = on;
    emit linkConnectedChanged(on);
}

void AppContext::setReplyReceiver(ReplyReceiver* r) {
    receiver_ = r;
    if (activeLink_) {
        activeLink_->SetReceiver(r);
    }
}

}  // namespace tuvik
