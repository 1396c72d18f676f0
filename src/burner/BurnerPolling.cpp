#include "burner/BurnerPolling.h"

#include "link/DeviceLink.h"
#include "link/Packet.h"

namespace tuvik {

std::vector<uint8_t> BurnerPolling::Tick(bool linkConnected, float burnerHwVersion) {
    std::vector<uint8_t> out;
    if (!linkConnected) {
        return out;
    }
    if (pollCount_ < INT16_MAX) {
        ++pollCount_;
    }
    out.push_back(Cmd::MeasRequest);
    // Compared as singles: version 1501 arrives as 1.501f, which must not
    // count as newer than 1.501.
    if (burnerHwVersion > kUsageMinVersion && pollCount_ >= kUsageEvery) {
        out.push_back(Cmd::UsageRequest);
        pollCount_ = 0;
    }
    return out;
}

void SendPolls(DeviceLink& link, const std::vector<uint8_t>& commands) {
    for (uint8_t cmd : commands) {
        link.SendPacket(cmd);
    }
}

}  // namespace tuvik
