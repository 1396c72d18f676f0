#pragma once
// What the burner window asks for on each tick of its 500 ms timer: the
// measurements every tick, the usage counters every 20th tick (10 s) when
// the firmware knows them (newer than 1.501). Nothing is asked while the
// link is not connected.

#include <cstdint>
#include <vector>

namespace tuvik {

class DeviceLink;

class BurnerPolling {
  public:
    static constexpr int kTickMs = 500;
    static constexpr int16_t kPollCountAtLoad = 15;
    static constexpr int16_t kUsageEvery = 20;
    // Firmware of this version or older has no usage counters.
    static constexpr float kUsageMinVersion = 1.501f;

    // The window's load: the first usage request goes out on the 5th tick.
    void Load() { pollCount_ = kPollCountAtLoad; }

    // One tick: the request commands to send, in order (each without data).
    std::vector<uint8_t> Tick(bool linkConnected, float burnerHwVersion);

  private:
    int16_t pollCount_ = 0;
};

// Sends each request without data (command, 0x00, trailer) on the link.
void SendPolls(DeviceLink& link, const std::vector<uint8_t>& commands);

}  // namespace tuvik
