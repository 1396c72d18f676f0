#pragma once
// The controller side of the simulated device: controller memory with the four
// loops' parameter blocks, the loops themselves, their plants, the analog
// inputs and the loop alarm. No I/O and no clock: time moves only by Advance.

#include "PidLoopSim.h"
#include "SimRandom.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tuvik::sim {

// Factory settings of one loop and the process it drives.
struct LoopDefaults {
    const char* tag;           // name used in the default settings file
    const char* settingsFile;  // default settings file beside the tool
    PidParams params;
    PlantModel plant;
    double alarmBand;    // |measurement - setpoint| beyond which the alarm is raised
    float setpointStep;  // what "+" and "-" change the setpoint by
};

class ControllerSim {
  public:
    static constexpr int kLoops = 4;
    static constexpr int kMemorySize = 2048;
    static constexpr std::array<int, kLoops> kBase = {700, 800, 900, 1000};
    static constexpr int kFirstAddress = 700;
    static constexpr int kEndAddress = 1000 + Block::kSize;  // one past the last loop byte
    static constexpr double kStep = Plant::kStep;

    static const std::array<LoopDefaults, kLoops>& Defaults();

    // plants: the process behind each loop; empty = the loop's default.
    explicit ControllerSim(uint64_t seed = 1,
                           const std::array<std::optional<PlantModel>, kLoops>& plants = {});
    // Replaces the process behind a loop; it starts over at rest at its base.
    void SetPlant(int loop, const PlantModel& m);

    // True when [address, address + len) lies in the loops' parameter area:
    // memory writes there go to the controller, everything else to the burner.
    static bool Owns(int address, int len);
    // True when [address, address + len) touches the loop area at all.
    static bool Overlaps(int address, int len) {
        return address < kEndAddress && address + len > kFirstAddress;
    }
    // Writes into controller memory; false (nothing written) outside the loop area.
    bool Write(int address, std::span<const uint8_t> bytes);
    std::span<const uint8_t> Memory() const { return memory_; }
    std::span<const uint8_t> BlockOf(int loop) const {
        return std::span<const uint8_t>(memory_).subspan(kBase[loop], Block::kSize);
    }
    PidParams Params(int loop) const { return PidParams::Decode(BlockOf(loop)); }

    void Advance(double seconds);
    double Time() const { return time_; }

    int Selected() const { return selected_; }
    bool Select(int loop);

    std::array<uint8_t, Status::kSize> StatusRecord(int loop) const;
    // Output, measurement, setpoint and feed-forward input as four singles.
    std::array<uint8_t, 16> LiveValues(int loop) const;
    // AD0..AD7 as eight 16-bit words.
    std::array<uint8_t, 16> AnalogInputs();
    std::array<uint16_t, 8> AnalogWords();
    bool Alarm(int loop) const { return loops_[loop].live.alarm; }

    // Single-letter commands on the selected loop.
    void StepSetpoint(int direction);
    void SetEnabled(bool on);
    // Restart of the controller program: loop states start over, loop 0 selected.
    int Boot();
    int BootCount() const { return boots_; }

    // AD6 and AD7 carry signals from the burner (water temperature, flame).
    void SetAuxInputs(uint16_t ad6, uint16_t ad7) {
        aux6_ = ad6;
        aux7_ = ad7;
    }

    struct Live {
        double measurement = 0, setpoint = 0, yfw = 0;
        PidLaw::Terms terms;
        bool alarm = false;
    };
    const Live& LiveOf(int loop) const { return loops_[loop].live; }
    double PlantOutput(int loop) const { return plants_[loop].Output(); }

  private:
    struct Loop {
        PidLaw law;
        Live live;
        double filtered = 0;
        bool filterPrimed = false;
        double sinceSample = 1e9;  // run the first sample at once
    };

    void Step();
    void Sample(int i, double h);
    double Input(int port);  // controller input 1..4, with sensor noise; 0 for any other

    std::vector<uint8_t> memory_;
    std::array<Loop, kLoops> loops_;
    std::vector<Plant> plants_;
    SimRandom rng_;
    double time_ = 0;
    double pending_ = 0;
    int selected_ = 0;
    int boots_ = 0;
    uint16_t aux6_ = 0, aux7_ = 0;
};

}  // namespace tuvik::sim
