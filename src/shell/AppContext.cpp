#include "shell/AppContext.h"

namespace tuvik {

void AppContext::setActiveLink(DeviceLink* link) {
    if (activeLink_ == link) {
        return;
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
