#include "FaultInjector.h"

#include "link/Packet.h"

namespace tuvik::sim {

void FaultInjector::ClearAll() {
    rates_ = {};
    delayMs_ = 0;
    stopped_ = false;
    stopAfter_ = -1;
}

bool FaultInjector::Hit(Fault f) {
    FaultRate& r = rates_[Index(f)];
    bool hit = false;
    if (r.next > 0) {
        --r.next;
        hit = true;
    } else {
        hit = rng_.Chance(r.probability);
    }
    if (hit) {
        ++counts_.hits[Index(f)];
    }
    return hit;
}

bool FaultInjector::TakeRequest() {
    if (stopAfter_ == 0) {
        stopped_ = true;
        stopAfter_ = -1;
    } else if (stopAfter_ > 0) {
        --stopAfter_;
    }
    if (stopped_) {
        ++counts_.silenced;
        return false;
    }
    return true;
}

bool FaultInjector::IsGarbageByte(uint8_t b) {
    return !IsAcceptedReply(b);
}

FaultInjector::Transmission FaultInjector::Encode(const std::vector<SimReply>& replies,
                                                  bool response) {
    Transmission t;
    t.delayMs = delayMs_;
    if (stopped_) {
        return t;
    }
    for (const SimReply& r : replies) {
        if (Hit(Fault::DropReply)) {
            continue;
        }
        if (Hit(Fault::Garbage)) {
            const int n = rng_.Between(1, 4);
            for (int i = 0; i < n; ++i) {
                uint8_t b;
                do {
                    b = static_cast<uint8_t>(rng_.Between(0, 255));
                } while (!IsGarbageByte(b));
                t.bytes.append(static_cast<char>(b));
            }
        }
        t.bytes += EncodePacket(r.cmd, std::span<const uint8_t>(r.data));
        if (Hit(Fault::CorruptTrailer)) {
            t.bytes[t.bytes.size() - 1] = static_cast<char>(t.bytes.back() ^ 0x01);
        }
    }
    if (response) {
        t.close = Hit(Fault::Close);
    }
    return t;
}

}  // namespace tuvik::sim
