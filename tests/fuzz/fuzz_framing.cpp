// Arbitrary bytes through the receive framing, fed in arbitrary chunks, checked
// against a plain byte-at-a-time model of the same rules: every packet and
// every discarded packet must come out the same, in the same order, and the
// state left behind must match.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "link/Packet.h"
#include "link/RxState.h"

namespace {

struct Event {
    bool broken = false;
    uint8_t command = 0;
    int length = 0;
    uint8_t trailer = 0;
    std::vector<uint8_t> data;
    bool operator==(const Event&) const = default;
};

struct CheckingSink : tuvik::RxSink {
    std::vector<Event> events;
    void OnPacket(uint8_t command, std::span<const uint8_t> data) override {
        // A packet starts with an accepted byte and carries its length's worth
        // of data, or the single 0 of an empty packet.
        if (!tuvik::IsAcceptedReply(command) || data.empty() || data.size() > 255) {
            std::abort();
        }
        events.push_back({false, command, 0, 0, {data.begin(), data.end()}});
    }
    void OnBrokenPacket(uint8_t command, int length, uint8_t trailer) override {
        if (!tuvik::IsAcceptedReply(command) || length < 0 || length > 255 ||
            trailer == tuvik::Trailer(command)) {
            std::abort();
        }
        events.push_back({true, command, length, trailer, {}});
    }
};

// The framing rules, one byte at a time, with nothing clever.
struct Model {
    int count = 0;
    uint8_t command = 0;
    int trailerIndex = 0;
    int length = 0;
    std::vector<uint8_t> data;
    bool complete = false;
    std::vector<Event> events;

    void Step(uint8_t b) {
        if (count == 0) {
            command = b;
            if (!tuvik::IsAcceptedReply(b)) {
                command = 0;
            } else {
                count = 1;
                trailerIndex = 20;
            }
            complete = false;
        } else if (count == 1) {
            length = b;
            count = 2;
            trailerIndex = length + 2;
            data.assign(length == 0 ? 1 : static_cast<size_t>(length), 0);
        } else if (count == trailerIndex) {
            if (b == tuvik::Trailer(command)) {
                complete = true;
                count = 0;
            } else {
                events.push_back({true, command, length, b, {}});
                count = 0;
                command = 0;
                length = 0;
            }
        } else {
            data.at(static_cast<size_t>(count - 2)) = b;
            ++count;
        }
        if (complete) {
            events.push_back({false, command, 0, 0, data});
            command = 0;
            length = 0;
            complete = false;
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte picks how the stream is cut into reads.
    const size_t step = static_cast<size_t>(bytes[0] % 16) + 1;
    const std::span<const uint8_t> stream(bytes + 1, size - 1);

    tuvik::RxState rx;
    CheckingSink sink;
    size_t cut = step;
    for (size_t i = 0; i < stream.size();) {
        const size_t n = std::min(cut, stream.size() - i);
        rx.Feed(stream.subspan(i, n), sink);
        i += n;
        cut = cut * 7 % 37 + 1;  // vary the chunk sizes
    }

    Model model;
    for (uint8_t b : stream) {
        model.Step(b);
    }
    if (sink.events != model.events) {
        std::abort();
    }
    if (rx.count != model.count || rx.command != model.command || rx.length != model.length ||
        rx.complete) {
        std::abort();
    }
    if (rx.count > 0 && rx.trailerIndex != model.trailerIndex) {
        std::abort();
    }
    return 0;
}
