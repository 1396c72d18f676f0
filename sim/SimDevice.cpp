#include "SimDevice.h"

#include "link/Packet.h"

#include <algorithm>
#include <cmath>

namespace tuvik::sim {

namespace {

template <size_t N>
SimReply Reply(uint8_t cmd, const std::array<uint8_t, N>& d) {
    return SimReply{cmd, std::vector<uint8_t>(d.begin(), d.end())};
}
SimReply Reply(uint8_t cmd, std::initializer_list<uint8_t> d) {
    return SimReply{cmd, d};
}
SimReply Empty(uint8_t cmd) {
    return SimReply{cmd, {}};
}

}  // namespace

SimDevice::SimDevice(const SimConfig& config)
    : controller_(config.seed, config.plants),
      burner_(config.seed, config.hwVersion),
      faults_(config.seed) {}

bool SimDevice::IsRequest(uint8_t b) {
    return tuvik::IsRequest(b);
}

void SimDevice::Advance(double ms) {
    if (!(ms > 0)) {
        return;
    }
    timeMs_ += ms;
    burner_.Advance(ms / 1000.0);
    controller_.SetAuxInputs(
        static_cast<uint16_t>(std::clamp(burner_.WaterTemp() * 10.0, 0.0, 65535.0)),
        static_cast<uint16_t>(std::clamp(burner_.IrSignal(), 0.0, 65535.0)));
    controller_.Advance(ms / 1000.0);
}

FaultInjector::Transmission SimDevice::Respond(uint8_t cmd, std::span<const uint8_t> data) {
    if (!faults_.TakeRequest()) {
        return {};
    }
    return faults_.Encode(HandleRequest(cmd, data), true);
}

std::vector<SimReply> SimDevice::TakeUnsolicitedReplies() {
    std::vector<SimReply> out;
    for (const BurnerSim::Event& e : burner_.TakeEvents()) {
        const uint8_t s = static_cast<uint8_t>((e.started ? 0x80 : 0x00) | (e.state & 0x7F));
        out.push_back(
            Reply(Cmd::ActuatorEvent, {e.activity, s, static_cast<uint8_t>(e.clockTenths & 0xFF),
                                       static_cast<uint8_t>((e.clockTenths >> 8) & 0xFF),
                                       static_cast<uint8_t>((e.clockTenths >> 16) & 0xFF)}));
    }
    stats_.replies += out.size();
    return out;
}

FaultInjector::Transmission SimDevice::TakeUnsolicited() {
    const auto replies = TakeUnsolicitedReplies();
    if (replies.empty()) {
        return {};
    }
    return faults_.Encode(replies, false);
}

std::vector<SimReply> SimDevice::HandleRequest(uint8_t cmd, std::span<const uint8_t> data) {
    ++stats_.requests;
    ++stats_.perCommand[cmd];
    std::vector<SimReply> out;
    auto addr = [&data]() { return static_cast<int>(data[0] | (data[1] << 8)); };
    switch (cmd) {
        case Cmd::DataRequest:
            DataRequest(out);
            break;
        case Cmd::SelectLoop:
            if (!data.empty() && controller_.Select(data[0])) {
                out.push_back(Reply(Cmd::SelectLoop, {data[0]}));
            }
            break;
        case Cmd::ReadStatus:
            out.push_back(Empty(Cmd::ReadStatus));
            out.push_back(
                Reply(Cmd::StatusRecord, controller_.StatusRecord(controller_.Selected())));
            break;
        case Cmd::MemWrite:
            MemoryWrite(data, out);
            break;
        case Cmd::AnalogRequest:
            out.push_back(Empty(Cmd::AnalogRequest));
            out.push_back(Reply(Cmd::AnalogValues, controller_.AnalogInputs()));
            break;
        case Cmd::Boot:
            out.push_back(
                Reply(Cmd::DeviceStarted, {static_cast<uint8_t>(controller_.Boot() & 0xFF)}));
            lastAlarmSent_ = -1;
            break;
        case Cmd::Plus:
            controller_.StepSetpoint(+1);
            break;
        case Cmd::Minus:
            controller_.StepSetpoint(-1);
            break;
        case Cmd::LetterE:
            controller_.SetEnabled(true);
            break;
        case Cmd::LetterW:
            controller_.SetEnabled(false);
            break;
        case Cmd::CalLambda:
            burner_.CalibrateLambda();
            break;
        case Cmd::Commit:
            burner_.InitParams();
            break;
        case Cmd::ReadParamSet:
            out.push_back(Reply(Cmd::ParamSet, burner_.ParamSet()));
            break;
        case Cmd::ReadByte:
            if (data.size() >= 2) {
                const int a = addr();
                out.push_back(Reply(Cmd::ByteValue, {burner_.Byte(a), data[0], data[1]}));
            }
            break;
        case Cmd::ReadWord:
            if (data.size() >= 2) {
                const uint16_t v = burner_.Word(addr());
                out.push_back(
                    Reply(Cmd::ReadWord, {static_cast<uint8_t>(v & 0xFF),
                                          static_cast<uint8_t>(v >> 8), data[0], data[1]}));
            }
            break;
        case Cmd::MeasRequest:
            out.push_back(Reply(Cmd::Measurements, burner_.Measurement()));
            break;
        case Cmd::UsageRequest:
            out.push_back(Reply(Cmd::UsageReply, burner_.UsageCounters()));
            break;
        default:
            break;  // not ours: ignored
    }
    stats_.replies += out.size();
    return out;
}

void SimDevice::DataRequest(std::vector<SimReply>& out) {
    ++dataRequests_;
    const int loop = controller_.Selected();
    const auto live = controller_.LiveValues(loop);
    out.push_back(Empty(Cmd::DataRequest));
    out.push_back(Reply(Cmd::LiveValues, live));
    if (dataRequests_ % kQuietValuesEvery == 0) {
        out.push_back(Reply(Cmd::LiveValuesQuiet, live));
    }
    const int alarm = controller_.Alarm(loop) ? 1 : 0;
    if (alarm != lastAlarmSent_ || dataRequests_ % kAlarmRepeatEvery == 0) {
        out.push_back(Reply(Cmd::Alarm, {static_cast<uint8_t>(alarm)}));
        lastAlarmSent_ = alarm;
    }
}

void SimDevice::MemoryWrite(std::span<const uint8_t> data, std::vector<SimReply>& out) {
    bool ok = false;
    if (data.size() >= 3 && !faults_.Hit(Fault::NakWrite)) {
        const int a = static_cast<int>(data[0] | (data[1] << 8));
        std::vector<uint8_t> bytes(data.begin() + 2, data.end());
        if (faults_.Hit(Fault::ForgetWrite)) {
            ok = true;  // acknowledged, memory untouched
        } else {
            if (faults_.Hit(Fault::MisStore)) {
                ++bytes.back();
            }
            ok = ControllerSim::Overlaps(a, static_cast<int>(bytes.size()))
                     ? controller_.Write(a, bytes)
                     : burner_.Write(a, bytes);
        }
    }
    if (ok) {
        ++stats_.writes;
    }
    out.push_back(Reply(Cmd::WriteAck, {static_cast<uint8_t>(ok ? 1 : 0)}));
    if (faults_.Hit(Fault::ExtraAck)) {
        out.push_back(Reply(Cmd::WriteAck, {1}));
    }
}

}  // namespace tuvik::sim
