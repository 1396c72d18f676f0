#pragma once
// Byte-by-byte receive framing, shared by the serial and the TCP link and by
// the simulator. No I/O inside: bytes go in, packets and broken packets come
// out through a sink, in order, before the next byte is taken.

#include <array>
#include <cstdint>
#include <span>

namespace tuvik {

class RxSink {
public:
    virtual ~RxSink() = default;
    // A complete packet with a good trailer. data has at least one element: a
    // zero-length packet gives one element holding 0.
    virtual void OnPacket(uint8_t command, std::span<const uint8_t> data) = 0;
    // A packet whose trailer did not match; it has been discarded.
    virtual void OnBrokenPacket(uint8_t command, int length, uint8_t trailer) = 0;
};

// Which command bytes start a packet while hunting.
using AcceptFn = bool (*)(uint8_t);

class RxState {
public:
    explicit RxState(AcceptFn accept = nullptr);

    void Feed(std::span<const uint8_t> bytes, RxSink& sink);
    void Feed(uint8_t b, RxSink& sink) { Feed(std::span<const uint8_t>(&b, 1), sink); }
    void Reset();

    // The record's fields, readable for tests and for the window that shows them.
    int32_t count = 0;         // bytes of the current packet so far; 0 = hunting
    uint8_t command = 0;       // command byte of the packet being assembled
    int16_t trailerIndex = 0;  // value of count at which the next byte is the trailer
    int16_t length = 0;        // length byte of the current packet
    bool complete = false;

    std::span<const uint8_t> data() const { return {data_.data(), DataSize()}; }

private:
    size_t DataSize() const { return length == 0 ? 1 : static_cast<size_t>(length); }

    AcceptFn accept_;
    std::array<uint8_t, 256> data_{};
};

}  // namespace tuvik
