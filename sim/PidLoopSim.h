#pragma once
// One PID loop of the controller as the simulator runs it: the loop's
// parameter block as it lies in controller memory and the process (plant)
// that the loop's output drives. The PID law itself is the program's own
// (pid/PidLaw.h).

#include "pid/PidLaw.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tuvik::sim {

// Offsets inside the 72-byte parameter block in controller memory.
namespace Block {
inline constexpr int kMode = 0;  // 0x02 automatic, 0x08 automatic setpoint
inline constexpr int kEnable = 1;
inline constexpr int kMeasurePort = 2;
inline constexpr int kForwardPort = 3;
inline constexpr int kInverted = 4;  // bit 0x01
inline constexpr int kRemoteSetpoint = 5;
inline constexpr int kRemoteSetpointPort = 6;
inline constexpr int kManualVal = 8;
inline constexpr int kSetpoint = 12;
inline constexpr int kK = 16;
inline constexpr int kTi = 20;
inline constexpr int kTd = 24;
inline constexpr int kForwardK = 28;
inline constexpr int kTt = 32;
inline constexpr int kN = 36;
inline constexpr int kB = 40;
inline constexpr int kMinContr = 44;
inline constexpr int kMaxContr = 48;
inline constexpr int kTm = 52;
inline constexpr int kH = 56;
inline constexpr int kMeasureScale = 60;
inline constexpr int kForwardScale = 64;
inline constexpr int kSetpointScale = 68;
inline constexpr int kSize = 72;
}  // namespace Block

// Offsets inside the 88-byte status record (the same as the block up to 55).
namespace Status {
inline constexpr int kYfw = 56;
inline constexpr int kMeasurement = 60;
inline constexpr int kH = 64;
inline constexpr int kP = 68;
inline constexpr int kI = 72;
inline constexpr int kD = 76;
inline constexpr int kFeedFw = 80;
inline constexpr int kOutput = 84;
inline constexpr int kSize = 88;
}  // namespace Status

// The parameter block decoded.
struct PidParams {
    uint8_t mode = 0;
    bool enable = false;
    uint8_t measurePort = 0;
    uint8_t forwardPort = 0;
    bool inverted = false;
    bool remoteSetpoint = false;
    uint8_t remoteSetpointPort = 0;
    float manualVal = 0, setpoint = 0, K = 0, Ti = 0, Td = 0, forwardK = 0, tt = 0, N = 0, b = 0,
          minContr = 0, maxContr = 0, Tm = 0, h = 0, measureScale = 1, forwardScale = 1,
          setpointScale = 1;

    bool AutoMode() const { return (mode & 0x02) != 0; }
    // The settings as the controller's PID law takes them.
    PidLawSettings LawSettings() const;
    static PidParams Decode(std::span<const uint8_t> block);  // block.size() >= 72
    void Encode(std::span<uint8_t> block) const;              // writes 72 bytes (byte 7 = 0)
};

// A first-order lag with dead time: the output moves towards
// base + gain * u(t - deadTime) with the given time constant.
struct PlantModel {
    double base = 0;
    double gain = 1;
    double timeConstant = 1;  // s
    double deadTime = 0;      // s
    double noise = 0;         // standard deviation of the sensor noise
};

class Plant {
  public:
    static constexpr double kStep = 0.01;  // s; the plant always integrates in this step

    explicit Plant(const PlantModel& m);
    void Step(double u);  // one kStep with input u
    double Output() const { return y_; }
    const PlantModel& model() const { return model_; }

  private:
    PlantModel model_;
    double alpha_;
    std::vector<float> delay_;  // ring of past inputs, one per step
    size_t head_ = 0;
    double y_;
};

}  // namespace tuvik::sim
