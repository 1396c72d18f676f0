#pragma once
// The whole simulated device as one object without I/O or clock: the
// controller with its PID loops and the burner behind it. A request goes in,
// the reply packets come out; time moves only by Advance.

#include "BurnerSim.h"
#include "ControllerSim.h"
#include "FaultInjector.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tuvik::sim {

struct SimConfig {
    uint64_t seed = 1;
    int hwVersion = BurnerSim::kNewLayoutVersion;
    // The process behind each loop (index 0-3); empty = the loop's default.
    std::array<std::optional<PlantModel>, ControllerSim::kLoops> plants{};
};

class SimDevice {
  public:
    // Every n-th data request also carries the quiet live-values reply.
    static constexpr int kQuietValuesEvery = 10;
    // The alarm state is repeated on every n-th data request even when unchanged.
    static constexpr int kAlarmRepeatEvery = 25;

    explicit SimDevice(const SimConfig& config = {});

    // Command bytes the device takes as the start of a request.
    static bool IsRequest(uint8_t b);

    // The replies to one request, before any transmission fault; an unknown
    // request gives none. A refused write (fault) is decided here too.
    std::vector<SimReply> HandleRequest(uint8_t cmd, std::span<const uint8_t> data);
    // A request all the way to the bytes on the line, faults included.
    FaultInjector::Transmission Respond(uint8_t cmd, std::span<const uint8_t> data);
    // Messages the device sends on its own (actuator events) since the last call.
    FaultInjector::Transmission TakeUnsolicited();
    std::vector<SimReply> TakeUnsolicitedReplies();

    // Simulated time in milliseconds.
    void Advance(double ms);
    double TimeMs() const { return timeMs_; }

    ControllerSim& controller() { return controller_; }
    const ControllerSim& controller() const { return controller_; }
    BurnerSim& burner() { return burner_; }
    const BurnerSim& burner() const { return burner_; }
    FaultInjector& faults() { return faults_; }

    std::span<const uint8_t> ControllerMemory() const { return controller_.Memory(); }
    std::span<const uint8_t> BurnerMemory() const { return burner_.Memory(); }

    struct Stats {
        uint64_t requests = 0;
        std::array<uint64_t, 256> perCommand{};
        uint64_t replies = 0;  // reply packets built (before faults)
        uint64_t writes = 0;   // memory writes carried out
    };
    const Stats& stats() const { return stats_; }

  private:
    void DataRequest(std::vector<SimReply>& out);
    void MemoryWrite(std::span<const uint8_t> data, std::vector<SimReply>& out);

    ControllerSim controller_;
    BurnerSim burner_;
    FaultInjector faults_;
    double timeMs_ = 0;
    uint64_t dataRequests_ = 0;
    int lastAlarmSent_ = -1;  // -1 = never sent
    Stats stats_;
};

}  // namespace tuvik::sim
