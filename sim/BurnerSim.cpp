#include "BurnerSim.h"

#include "BurnerParams.h"
#include "link/Packet.h"

#include <algorithm>
#include <cmath>

namespace tuvik::sim {

namespace {
constexpr double kAmbient = 20.0;
constexpr double kWaterLoad = 0.08;      // kW per degree above the return temperature
constexpr double kWaterReturn = 15.0;    // C
constexpr double kWaterCapacity = 80.0;  // kJ per degree
constexpr double kBoilerEfficiency = 0.85;

uint16_t ClampWord(double v) {
    if (!(v > 0)) {
        return 0;
    }
    return static_cast<uint16_t>(std::min(65535.0, std::round(v)));
}
uint8_t ClampByte(double v) {
    if (!(v > 0)) {
        return 0;
    }
    return static_cast<uint8_t>(std::min(255.0, std::round(v)));
}
}  // namespace

BurnerSim::BurnerSim(uint64_t seed, int hwVersion)
    : memory_(kMemorySize, 0xFF), rng_(seed ^ 0xB0A7E5ull), hwVersion_(hwVersion) {
    for (const BurnerParam& p : BurnerParams()) {
        for (int i = 0; i < p.width; ++i) {
            memory_[p.address + i] =
                static_cast<uint8_t>((static_cast<uint32_t>(p.init) >> (8 * i)) & 0xFF);
        }
    }
    PutWord(Addr::kVersion, static_cast<uint16_t>(hwVersion));
    // A season's worth of flue gas temperature history.
    for (int k = 0; k < 120; ++k) {
        const double T = 200.0 + 5.0 * k;
        const double main = 42000.0 * std::exp(-std::pow((T - 250.0) / 28.0, 2));
        const double tail = 1500.0 * std::exp(-std::pow((T - 330.0) / 40.0, 2));
        PutWord(Addr::kHistTemp + 2 * k, ClampWord(main + tail));
    }
}

uint16_t BurnerSim::Word(int a) const {
    return static_cast<uint16_t>(Byte(a) | (Byte(a + 1) << 8));
}

void BurnerSim::PutWord(int a, uint16_t v) {
    memory_[static_cast<uint16_t>(a)] = static_cast<uint8_t>(v & 0xFF);
    memory_[static_cast<uint16_t>(a + 1)] = static_cast<uint8_t>(v >> 8);
}

void BurnerSim::Bump32(int a) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | Byte(a + i);
    }
    ++v;
    for (int i = 0; i < 4; ++i) {
        memory_[a + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

bool BurnerSim::Write(int address, std::span<const uint8_t> bytes) {
    if (address < Addr::kFirstWritable || bytes.empty() ||
        address + static_cast<int>(bytes.size()) > kMemorySize) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), memory_.begin() + address);
    return true;
}

void BurnerSim::Advance(double seconds) {
    if (!(seconds > 0)) {
        return;
    }
    pending_ += seconds;
    while (pending_ >= kStep) {
        pending_ -= kStep;
        Step();
    }
}

void BurnerSim::Enter(State s) {
    state_ = s;
    stateTime_ = 0;
    cycleTime_ = 0;
    lowFlameTime_ = 0;
    if (s == Startup || s == StartupHot) {
        secondFeedStarted_ = false;
        ignitedAt_ = -1;
    }
    if (s == RunningInit) {
        // running average of the flame signal at the end of startups, in tenths
        const int old = Word(Addr::kHistIrStartup);
        PutWord(Addr::kHistIrStartup, ClampWord((old * 7.0 + ir_ * 10.0) / 8.0));
        PutWord(Addr::kStartCount, static_cast<uint16_t>(Word(Addr::kStartCount) + 1));
        retries_ = 0;
    }
}

void BurnerSim::StartOrRestart() {
    Enter(gas_ >= S16(Addr::kFuelRampTemp) && bed_ > 1.0 ? StartupHot : Startup);
}

void BurnerSim::FeedCycle(double onSec, double pauseSec, uint8_t& act) {
    onSec = std::max(0.0, onSec);
    pauseSec = std::max(0.0, pauseSec);
    if (onSec + pauseSec <= 0) {
        return;
    }
    cycleTime_ += kStep;
    if (cycleTime_ >= onSec + pauseSec) {
        cycleTime_ = 0;
    }
    if (cycleTime_ < onSec && gas_ < S16(Addr::kGasTempMax)) {
        act |= 1 << Fuel;
    }
}

void BurnerSim::RunStateMachine(uint8_t& act, int& fan) {
    const double t = stateTime_;
    const int sp = Byte(Addr::kWaterSetpoint);
    const int hyst = Byte(Addr::kWaterHysteresis);
    const bool demand = sp > 0 && water_ < sp - hyst;
    const double gu = std::max<int16_t>(0, S16(Addr::kGrateUptime));
    const int rampTemp = S16(Addr::kFuelRampTemp);
    const bool flame = ir_ >= S16(Addr::kIrTrigLevel);
    const double heaterMax = S16(Addr::kHeaterMaxTemp);

    switch (state_) {
        case Initialize:
            if (t >= 3.0) {
                if (demand) {
                    StartOrRestart();
                } else {
                    Enter(OffMode);
                }
            }
            break;
        case Startup: {
            fan = Byte(Addr::kVfdStart);
            if (t < gu) {
                act |= 1 << Grate;
            }
            const double firstEnd = gu + S16(Addr::kFuelTimeFirst);
            if (t >= gu && t < firstEnd) {
                act |= 1 << Fuel;
            }
            if (t >= gu && t < gu + Byte(Addr::kIgnitionSparkTime) && !ignited_) {
                act |= 1 << Ignition;
            }
            if (ignited_ && ignitedAt_ < 0) {
                ignitedAt_ = t;
            }
            const bool heaterDone = ignitedAt_ >= 0 && t >= ignitedAt_ + S16(Addr::kHeaterTime);
            if (!heaterDone && !flame && heaterTemp_ < heaterMax) {
                act |= 1 << Heater;
            }
            if (!secondFeedStarted_ && t >= firstEnd && gas_ >= rampTemp) {
                secondFeedStarted_ = true;
                secondFeedAt_ = t;
            }
            if (secondFeedStarted_ && t < secondFeedAt_ + S16(Addr::kFuelTimeSecond)) {
                act |= 1 << Fuel;
            }
            if (secondFeedStarted_ && flame) {
                Enter(RunningInit);
            } else if (t >= 60.0 * Byte(Addr::kStartupTimeout)) {
                if (++retries_ > Byte(Addr::kIgnitionRetries)) {
                    memory_[Addr::kErrorLast] = 1;
                    memory_[Addr::kErrorCount] =
                        static_cast<uint8_t>(memory_[Addr::kErrorCount] + 1);
                    Enter(ErrorState);
                } else {
                    Enter(Startup);
                }
            }
            break;
        }
        case StartupHot:
            fan = Byte(Addr::kVfdStart);
            if (t < gu) {
                act |= 1 << Grate;
            } else if (t < gu + S16(Addr::kFuelTimeSecond)) {
                act |= 1 << Fuel;
            }
            if (flame && t >= gu) {
                Enter(RunningInit);
            } else if (t >= 300.0) {
                Enter(Startup);  // the embers were not enough
            }
            break;
        case RunningInit: {
            const double len = std::max<double>(1.0, Byte(Addr::kRunInitTime));
            const double f = std::min(1.0, t / len);
            fan = static_cast<int>(std::lround(Byte(Addr::kVfdStart) +
                                               f * (Byte(Addr::kVfdRun) - Byte(Addr::kVfdStart))));
            if (t >= len) {
                Enter(Running);
            }
            break;
        }
        case Running:
        case IdleToRun:
        case IdleToRun2: {
            fan = Byte(Addr::kVfdRun);
            if (Byte(Addr::kLambdaEnable) != 0 && ignited_) {
                const double dev = O2() - Byte(Addr::kLambdaSetpoint) / 10.0;
                const double trimmed = fan - dev * Byte(Addr::kLambdaGain) / 10.0;
                fan = static_cast<int>(std::lround(std::clamp<double>(
                    trimmed, Byte(Addr::kLambdaVfdMin),
                    std::max(Byte(Addr::kLambdaVfdMin), Byte(Addr::kLambdaVfdMax)))));
            }
            const double target = S16(Addr::kFuelfeedTemp);
            const double corr = std::clamp(
                1.0 + (gas_ - target) / 10.0 * Byte(Addr::kFeedTempGain) / 100.0, 0.5, 2.5);
            if (state_ == IdleToRun && t < S16(Addr::kFuelTimeSecond)) {
                act |= 1 << Fuel;  // a bigger bite to bring the flame up
            } else {
                FeedCycle(S16(Addr::kFuelTimeRun) / 10.0, S16(Addr::kFuelTimePause) / 10.0 * corr,
                          act);
            }
            if (state_ == IdleToRun || state_ == IdleToRun2) {
                if (t >= std::max<int>(1, Byte(Addr::kIdleRunTime))) {
                    Enter(state_ == IdleToRun ? IdleToRun2 : Running);
                }
                break;
            }
            lowFlameTime_ = ir_ < S16(Addr::kFlameLostLevel) ? lowFlameTime_ + kStep : 0.0;
            if (sp == 0) {
                Enter(OffMode);
            } else if (water_ >= Byte(Addr::kWaterMaxTemp)) {
                memory_[Addr::kErrorLast] = 3;
                memory_[Addr::kErrorCount] = static_cast<uint8_t>(memory_[Addr::kErrorCount] + 1);
                Enter(ErrorState);
            } else if (lowFlameTime_ >= Byte(Addr::kFlameLostTime)) {
                memory_[Addr::kErrorLast] = 2;
                StartOrRestart();
            } else if (water_ >= sp + hyst) {
                Enter(Idle);
            } else if (S16(Addr::kCleanInterval) > 0 && burnMinutes_ >= S16(Addr::kCleanInterval)) {
                burnMinutes_ = 0;
                PutWord(Addr::kCleanCount, static_cast<uint16_t>(Word(Addr::kCleanCount) + 1));
                Enter(CleanFanOff);
            }
            break;
        }
        case Idle: {
            fan = Byte(Addr::kVfdIdle);
            FeedCycle(S16(Addr::kFuelTimeIdle) / 10.0, S16(Addr::kFuelPauseIdle) / 10.0, act);
            if (sp == 0 || t >= 60.0 * Byte(Addr::kIdleMaxTime) || !ignited_) {
                Enter(OffMode);
            } else if (water_ < sp - hyst) {
                Enter(IdleToRun);
            }
            break;
        }
        case OffMode:
            // The fan runs on while what is left on the grate burns out.
            fan = ignited_ ? std::max<int>(Byte(Addr::kVfdOff), Byte(Addr::kVfdIdle))
                           : Byte(Addr::kVfdOff);
            if (demand) {
                StartOrRestart();
            }
            break;
        case CleanFanOff:
            fan = Byte(Addr::kCleanFanVfd);
            if (t >= Byte(Addr::kCleanFanTime)) {
                Enter(CleanFanOn);
            }
            break;
        case CleanFanOn: {
            fan = Byte(Addr::kVfdStart);
            const double down = std::max<int16_t>(0, S16(Addr::kGrateDownTime));
            if (t < down + gu) {
                act |= 1 << Grate;
            } else if (ignited_) {
                Enter(Running);
            } else {
                StartOrRestart();
            }
            break;
        }
        case ErrorState:
            fan = Byte(Addr::kVfdOff);
            if (Byte(Addr::kErrorRetryTime) > 0 && t >= 60.0 * Byte(Addr::kErrorRetryTime)) {
                retries_ = 0;
                Enter(Initialize);
            }
            break;
    }
    fan = std::clamp(fan, 0, 100);
}

void BurnerSim::Physics(uint8_t act, int fan) {
    const double dt = kStep;
    const double air = fan / 100.0;
    if (act & (1 << Fuel)) {
        bed_ += Byte(Addr::kAugerRate) / 10.0 * dt;
    }
    if (!ignited_) {
        const bool hotEnough = heaterTemp_ > 450.0 || gas_ > 140.0;
        ignition_ = (bed_ > 3.0 && hotEnough) ? ignition_ + dt : std::max(0.0, ignition_ - dt);
        if (ignition_ >= 8.0) {
            ignited_ = true;
            ignition_ = 0;
        }
    }
    burnRate_ = ignited_ ? bed_ * (0.004 + 0.02 * air) : 0.0;
    bed_ = std::max(0.0, bed_ - burnRate_ * dt);
    if (ignited_ && bed_ < 0.3) {
        ignited_ = false;
    }
    const double kWhPerKg = Byte(Addr::kFuelHeatValue) / 10.0;
    const double power = burnRate_ * kWhPerKg * 3.6;  // g/s * kJ/g = kW

    const bool heater = act & (1 << Heater);
    heaterTemp_ += ((heater ? 850.0 : gas_) - heaterTemp_) * dt / (heater ? 40.0 : 90.0);
    const double gasTarget = kAmbient + 42.0 * power * (1.0 - 0.3 * air) + (heater ? 40.0 : 0.0);
    gas_ += (gasTarget - gas_) * dt / 25.0;
    const double o2Target =
        ignited_ ? 20.9 - 15.0 * std::clamp(burnRate_ / (0.0075 * fan + 0.02), 0.0, 1.0) +
                       0.15 * rng_.Gauss()
                 : 20.9;
    o2_ += (o2Target - o2_) * dt / 3.0;
    const double irTarget = ignited_ ? 1000.0 * (1.0 - std::exp(-power / 5.0)) + 15.0 * rng_.Gauss()
                                     : std::max(0.0, (heaterTemp_ - 500.0) * 0.1);
    ir_ += (irTarget - ir_) * dt / 2.0;
    water_ +=
        (kBoilerEfficiency * power - kWaterLoad * (water_ - kWaterReturn)) * dt / kWaterCapacity;
}

void BurnerSim::Step() {
    time_ += kStep;
    stateTime_ += kStep;
    uint8_t act = 0;
    int fan = 0;
    RunStateMachine(act, fan);
    Physics(act, fan);
    if (fan > 0) {
        act |= 1 << Air;
    }
    const uint8_t changed = act ^ actuators_;
    if (changed != 0) {
        const uint32_t clock = static_cast<uint32_t>(std::llround(time_ * 10.0)) & 0xFFFFFF;
        for (int k = 0; k < kActuators; ++k) {
            if (changed & (1 << k)) {
                if (events_.size() >= kMaxQueuedEvents) {
                    events_.erase(events_.begin());
                }
                events_.push_back({static_cast<uint8_t>(k), ((act >> k) & 1) != 0, state_, clock});
            }
        }
    }
    actuators_ = act;
    fan_ = fan;

    // usage counters: power-on, startup, run, idle, off
    int cat = 4;
    switch (state_) {
        case Startup:
        case StartupHot:
        case RunningInit:
            cat = 1;
            break;
        case Running:
        case IdleToRun:
        case IdleToRun2:
        case CleanFanOff:
        case CleanFanOn:
            cat = 2;
            break;
        case Idle:
            cat = 3;
            break;
        default:
            break;
    }
    // Each whole minute of power-on time also goes to the state the burner is in.
    usageSeconds_ += kStep;
    if (usageSeconds_ >= 60.0) {
        usageSeconds_ -= 60.0;
        Bump32(Addr::kUsage);
        Bump32(Addr::kUsage + 4 * cat);
    }

    if (ignited_) {
        burnMinutes_ += kStep / 60.0;
        histTimer_ += kStep;
        if (histTimer_ >= 60.0) {
            histTimer_ -= 60.0;
            const int k = static_cast<int>(std::floor((gas_ - 200.0) / 5.0));
            if (k >= 0) {
                const int a = Addr::kHistTemp + 2 * std::min(k, 119);
                if (Word(a) < 0xFFFF) {
                    PutWord(a, static_cast<uint16_t>(Word(a) + 1));
                }
            }
            if (state_ == Running) {
                const int old = Word(Addr::kHistIrRun);
                PutWord(Addr::kHistIrRun, ClampWord((old * 15.0 + ir_ * 10.0) / 16.0));
            }
        }
    }
}

uint16_t BurnerSim::DeviceStateWord() const {
    uint16_t w = actuators_ & 0x1F;
    if (state_ >= RunningInit && state_ <= CleanFanOn && state_ != OffMode) {
        w |= kStateLed;
    }
    if (state_ == ErrorState) {
        w |= kErrorLed;
    }
    return w;
}

std::array<uint8_t, 36> BurnerSim::ParamSet() const {
    std::array<uint8_t, 36> d{};
    std::copy(memory_.begin(), memory_.begin() + 36, d.begin());
    return d;
}

std::array<uint8_t, 20> BurnerSim::UsageCounters() const {
    std::array<uint8_t, 20> d{};
    std::copy(memory_.begin() + Addr::kUsage, memory_.begin() + Addr::kUsage + 20, d.begin());
    return d;
}

std::array<uint8_t, BurnerSim::kMeasurementSize> BurnerSim::Measurement() const {
    std::array<uint8_t, kMeasurementSize> d{};
    auto put16 = [&d](int i, uint16_t v) {
        d[i] = static_cast<uint8_t>(v & 0xFF);
        d[i + 1] = static_cast<uint8_t>(v >> 8);
    };
    const double o2 = std::clamp(O2(), 0.0, 25.5);
    if (hwVersion_ >= kNewLayoutVersion) {
        put16(0, ClampWord(gas_));
        put16(2, ClampWord(heaterTemp_));
        put16(4, ClampWord(1000.0 - 40.0 * o2));  // probe voltage, mV
        d[6] = Byte(Addr::kErrorLast);
        d[7] = ClampByte(o2 * 10.0);
    } else {
        PutSingle(d, 0, static_cast<float>(gas_));
        PutSingle(d, 4, static_cast<float>(o2));
    }
    put16(8, ClampWord(water_ * 10.0));
    d[10] = static_cast<uint8_t>(fan_);
    d[11] = ClampByte(22.0 + 0.03 * (gas_ - kAmbient));  // electronics temperature, C
    put16(12, ClampWord(ir_));
    put16(14, DeviceStateWord());
    d[16] = state_;
    return d;
}

std::vector<BurnerSim::Event> BurnerSim::TakeEvents() {
    std::vector<Event> out;
    out.swap(events_);
    return out;
}

void BurnerSim::CalibrateLambda() {
    // Only meaningful in air: with a flame the probe does not see 20.9 %.
    if (!ignited_ && o2_ > 20.0) {
        o2Offset_ = Byte(Addr::kLambdaCalO2) / 10.0 - o2_;
    }
}

void BurnerSim::InitParams() {
    if (state_ == ErrorState) {
        retries_ = 0;
        Enter(Initialize);
    }
}

}  // namespace tuvik::sim
