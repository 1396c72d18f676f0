#pragma once
// The pellet burner behind the controller: its non-volatile memory, a
// state machine over the burner's program states, and a small combustion and
// boiler model that the measurements come from. No I/O and no clock.

#include "SimRandom.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace tuvik::sim {

class BurnerSim {
  public:
    static constexpr int kMemorySize = 65536;
    static constexpr double kStep = 0.1;  // s
    static constexpr int kNewLayoutVersion = 1506;
    static constexpr int kDeviceType = 100;
    static constexpr int kMeasurementSize = 17;
    static constexpr size_t kMaxQueuedEvents = 512;

    // Program states as the burner reports them.
    enum State : uint8_t {
        Initialize = 0,
        Startup = 9,
        StartupHot = 10,
        RunningInit = 19,
        Running = 20,
        Idle = 30,
        IdleToRun = 31,
        IdleToRun2 = 32,
        OffMode = 40,
        CleanFanOff = 60,
        CleanFanOn = 61,
        ErrorState = 99,
    };
    // Actuators, numbered as in the actuator events.
    enum Actuator { Grate = 0, Fuel = 1, Ignition = 2, Heater = 3, Air = 4, kActuators = 5 };
    // Device state word bits beyond the actuators.
    static constexpr uint16_t kStateLed = 0x0100;
    static constexpr uint16_t kErrorLed = 0x0200;

    struct Event {
        uint8_t activity;
        bool started;
        uint8_t state;
        uint32_t clockTenths;  // 24 bits on the wire
    };

    BurnerSim(uint64_t seed, int hwVersion);

    // Memory writes from the link; the identification (addresses 0..3) is read only.
    bool Write(int address, std::span<const uint8_t> bytes);
    std::span<const uint8_t> Memory() const { return memory_; }
    uint8_t Byte(int address) const { return memory_[static_cast<uint16_t>(address)]; }
    uint16_t Word(int address) const;

    void Advance(double seconds);
    double Time() const { return time_; }

    // Reply bodies.
    std::array<uint8_t, 36> ParamSet() const;
    std::array<uint8_t, kMeasurementSize> Measurement() const;
    std::array<uint8_t, 20> UsageCounters() const;
    std::vector<Event> TakeEvents();

    void CalibrateLambda();
    // Parameters taken over again: a burner in the error state starts over.
    void InitParams();

    int HwVersion() const { return hwVersion_; }
    uint8_t ProgramState() const { return state_; }
    uint16_t DeviceStateWord() const;
    int FanDrive() const { return fan_; }
    bool ActuatorOn(Actuator a) const { return (actuators_ >> a) & 1; }
    bool Burning() const { return ignited_; }
    double GasTemp() const { return gas_; }
    double WaterTemp() const { return water_; }
    double O2() const { return o2_ + o2Offset_; }
    double IrSignal() const { return ir_; }
    double HeaterTemp() const { return heaterTemp_; }

  private:
    int16_t S16(int a) const { return static_cast<int16_t>(Word(a)); }
    void PutWord(int a, uint16_t v);
    void Bump32(int a);
    void Step();
    void RunStateMachine(uint8_t& act, int& fan);
    void Enter(State s);
    void StartOrRestart();
    void FeedCycle(double onSec, double pauseSec, uint8_t& act);
    void Physics(uint8_t act, int fan);

    std::vector<uint8_t> memory_;
    SimRandom rng_;
    int hwVersion_;
    double time_ = 0;
    double pending_ = 0;

    State state_ = Initialize;
    double stateTime_ = 0;
    uint8_t actuators_ = 0;
    int fan_ = 0;

    // startup bookkeeping
    bool secondFeedStarted_ = false;
    double secondFeedAt_ = 0;
    double ignitedAt_ = -1;
    int retries_ = 0;
    // feed cycle
    double cycleTime_ = 0;
    // flame watch and timers
    double lowFlameTime_ = 0;
    double burnMinutes_ = 0;  // since the last cleaning
    double histTimer_ = 0;
    double usageSeconds_ = 0;

    // physics
    double bed_ = 0;  // g of fuel on the grate
    bool ignited_ = false;
    double ignition_ = 0;
    double gas_ = 20, heaterTemp_ = 20, water_ = 45, o2_ = 20.9, ir_ = 0;
    double o2Offset_ = 0.4;  // sensor drift until the first calibration
    double burnRate_ = 0;

    std::vector<Event> events_;
};

}  // namespace tuvik::sim
