#include "link/RxState.h"

#include "link/Packet.h"

#include <algorithm>

namespace tuvik {

RxState::RxState(AcceptFn accept) : accept_(accept ? accept : &IsAcceptedReply) {}

void RxState::Reset() {
    count = 0;
    command = 0;
    trailerIndex = 0;
    length = 0;
    complete = false;
}

void RxState::Feed(std::span<const uint8_t> bytes, RxSink& sink) {
    const uint8_t* p = bytes.data();
    const uint8_t* const end = p + bytes.size();
    while (p != end) {
        if (count == 0) {
            // Hunting: skip everything that cannot start a packet in one go.
            while (p != end && !accept_(*p)) {
                ++p;
            }
            command = 0;
            complete = false;
            if (p == end) {
                break;
            }
            command = *p++;
            count = 1;
            trailerIndex = 20;
            continue;
        }
        const uint8_t b = *p++;
        if (count == 1) {
            length = b;
            count = 2;
            trailerIndex = static_cast<int16_t>(length + 2);
            std::fill_n(data_.begin(), DataSize(), uint8_t{0});
        } else if (count == trailerIndex) {
            if (b == Trailer(command)) {
                complete = true;
                count = 0;
            } else {
                const uint8_t cmd = command;
                const int len = length;
                count = 0;
                command = 0;
                length = 0;
                sink.OnBrokenPacket(cmd, len, b);
                continue;
            }
        } else {
            // Bulk-copy the data bytes that are already here.
            const size_t at = static_cast<size_t>(count - 2);
            const size_t want = static_cast<size_t>(trailerIndex - count);
            const size_t avail = static_cast<size_t>(end - p) + 1;
            const size_t n = std::min(want, avail);
            data_[at] = b;
            if (n > 1) {
                std::copy_n(p, n - 1, data_.begin() + static_cast<long>(at) + 1);
                p += n - 1;
            }
            count += static_cast<int32_t>(n);
        }
        if (complete) {
            const uint8_t cmd = command;
            command = 0;
            complete = false;
            const std::span<const uint8_t> d(data_.data(), DataSize());
            length = 0;
            sink.OnPacket(cmd, d);
        }
    }
}

}  // namespace tuvik
