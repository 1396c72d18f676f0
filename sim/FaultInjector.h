#pragma once
// Named ways for the simulated device to misbehave, and the step that turns a
// device's reply packets into the bytes that go on the line. Tests and the
// command line switch the faults; the transports only carry out what comes out.

#include "SimRandom.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <vector>

namespace tuvik::sim {

struct SimReply {
    uint8_t cmd;
    std::vector<uint8_t> data;
};

enum class Fault {
    DropReply,       // a reply packet is not sent
    CorruptTrailer,  // a reply packet goes out with a wrong trailer
    NakWrite,        // a memory write is refused (not written, acknowledged with 0)
    ExtraAck,        // a write acknowledgement is followed by a second, positive one
    Garbage,         // stray bytes go out in front of a reply packet
    Close,           // the connection is closed after a response
    ForgetWrite,     // a memory write is acknowledged (1) but not stored
    MisStore,        // a memory write is acknowledged (1) but its last byte is stored one higher
};
inline constexpr int kFaultCount = 8;

// How often a fault strikes: the next `next` chances always, after that each
// chance with the given probability.
struct FaultRate {
    double probability = 0.0;
    int next = 0;
};

class FaultInjector {
  public:
    struct Transmission {
        QByteArray bytes;
        int delayMs = 0;
        bool close = false;
    };
    struct Counts {
        std::array<uint64_t, kFaultCount> hits{};
        uint64_t silenced = 0;  // requests left unanswered while stopped
    };

    explicit FaultInjector(uint64_t seed = 1) : rng_(seed ^ 0xFA017ull) {}

    void Set(Fault f, FaultRate r) { rates_[Index(f)] = r; }
    void SetProbability(Fault f, double p) { rates_[Index(f)].probability = p; }
    void SetNext(Fault f, int n) { rates_[Index(f)].next = n; }
    FaultRate Get(Fault f) const { return rates_[Index(f)]; }

    // Every reply waits this long before it goes out.
    void SetDelay(int ms) { delayMs_ = ms > 0 ? ms : 0; }
    int Delay() const { return delayMs_; }

    // Stopped: requests are taken off the line and nothing at all is sent.
    void SetStopped(bool on) {
        stopped_ = on;
        stopAfter_ = -1;
    }
    // Answers this many more requests, then stops.
    void StopAfter(int requests) { stopAfter_ = requests; }
    bool Stopped() const { return stopped_; }

    void ClearAll();

    // Consumes one chance of the fault; true when it strikes.
    bool Hit(Fault f);
    // Called for every request: false when the device does not answer it.
    bool TakeRequest();

    // The bytes for a set of replies. `response` is true for the answer to a
    // request (a close may follow it), false for messages the device sends
    // on its own.
    Transmission Encode(const std::vector<SimReply>& replies, bool response);

    const Counts& counts() const { return counts_; }
    uint64_t Hits(Fault f) const { return counts_.hits[Index(f)]; }

    // Stray bytes are never bytes that could start a reply, so the line stays
    // framable: the receiver has to skip them and nothing more.
    static bool IsGarbageByte(uint8_t b);

  private:
    static int Index(Fault f) { return static_cast<int>(f); }

    std::array<FaultRate, kFaultCount> rates_{};
    int delayMs_ = 0;
    bool stopped_ = false;
    int stopAfter_ = -1;
    SimRandom rng_;
    Counts counts_;
};

}  // namespace tuvik::sim
