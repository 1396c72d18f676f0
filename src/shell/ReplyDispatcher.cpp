#include "shell/ReplyDispatcher.h"

#include <exception>

#include "burner/BurnerTables.h"
#include "link/Packet.h"
#include "link/ReplyLayouts.h"
#include "support/EventLog.h"
#include "support/LocaleText.h"
#include "support/Numbers.h"

namespace tuvik {

static_assert(kActuators == kActivityNameCount, "every actuator has its name");

ReplyDispatcher::ReplyDispatcher(PidLoops& loops) : loops_(loops) {}

void ReplyDispatcher::HandleReply(uint8_t command, std::span<const uint8_t> data) {
    // The framing runs inside the link's receive event: whatever a window
    // does wrong must not unwind through it.
    QString what;
    try {
        Dispatch(command, data);
        return;
    } catch (const std::exception& e) {
        what = QString::fromLocal8Bit(e.what());
    } catch (...) {
        what = QStringLiteral("unknown error");
    }
    if (!failedKinds_.test(command)) {
        failedKinds_.set(command);
        const QString hex =
            QString::number(command, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        WriteEventLog(QStringLiteral("Handling of reply 0x") + hex + QStringLiteral(" failed (") +
                      what + QStringLiteral("); later failures of this reply are not reported."));
    }
}

void ReplyDispatcher::Dispatch(uint8_t command, std::span<const uint8_t> d) {
    if (d.empty()) {
        return;  // the framing always hands on at least one byte
    }
    switch (command) {
        case Cmd::StatusRecord:
            StatusRecord(d);
            break;
        case Cmd::LiveValues:
            LiveValues(d, true);
            break;
        case Cmd::LiveValuesQuiet:
            LiveValues(d, false);
            break;
        case Cmd::SelectLoop:
            emit loopSelected(d[0]);
            break;
        case Cmd::WriteAck:
            emit writeAcknowledged(WriteAccepted(d));
            break;
        case Cmd::ByteValue:
            if (const auto v = DecodeByteValue(d)) {
                emit memoryValue(v->value, v->address, false);
            }
            break;
        case Cmd::ReadWord:
            WordRead(d);
            break;
        case Cmd::AnalogValues:
            if (const auto inputs = DecodeAnalogInputs(d)) {
                emit analogSamples(*inputs);
            }
            break;
        case Cmd::ActuatorEvent:
            ActuatorEvent(d);
            break;
        case Cmd::DeviceStarted:
            emit deviceStarted(d[0]);
            break;
        case Cmd::Alarm:
            emit alarmShown(AlarmOn(d));
            if (AlarmOn(d) != alarm_) {
                alarm_ = AlarmOn(d);
                emit alarmChanged(alarm_);
            }
            break;
        case Cmd::Measurements:
            emit burnerMeasurements(d);
            break;
        case Cmd::UsageReply:
            emit usageCounters(DecodeBurnerUsageTimes(d));
            break;
        case Cmd::ParamSet:
            emit parameterSet(d);
            break;
        default:
            // 0x81, 0x85, 0x88, 0x8E, 0x8F, 0x91, 0x93, 0x95, 0x99 are
            // accepted without action; 0x83 and 0x8A have no handler.
            break;
    }
}

void ReplyDispatcher::StatusRecord(std::span<const uint8_t> d) {
    emit captionLine(QStringLiteral("PID luku onnistui ") + LocaleTimeOfDay(clock_->TimeOfDay()));
    // A refused record answers no read: the loop still holds the previous one.
    if (clsPID* loop = loops_.Selected(); loop && loop->SetStatusData(d)) {
        emit statusRecordTaken(loops_.selectedIndex());
    }
}

void ReplyDispatcher::LiveValues(std::span<const uint8_t> d, bool refresh) {
    const auto& kOrder = clsPID::kLiveReplyOrder;
    static_assert(clsPID::kLiveReplyOrder.size() == kLiveSingles);
    for (size_t i = 0; i < kOrder.size(); ++i) {
        // The selected loop is looked up again before every step.
        clsPID* loop = loops_.Selected();
        const std::optional<float> v = LiveSingle(d, i);
        if (!loop || !v || !loop->WriteLiveSingle(kOrder[i], *v)) {
            return;
        }
    }
    clsPID* loop = loops_.Selected();
    if (!loop) {
        return;
    }
    loop->AddTrendSample();
    emit liveSampled(loops_.selectedIndex());
    if (refresh) {
        emit liveUpdated(loops_.selectedIndex());
    }
}

void ReplyDispatcher::WordRead(std::span<const uint8_t> d) {
    const auto v = DecodeWordValue(d);
    if (!v) {
        return;
    }
    emit memoryValue(v->value, v->address, true);
    // Counters above 32767 are passed on as read rather than lost.
    if (v->address >= kHistogramFirst && v->address < kHistogramEnd) {
        emit histogramPart(v->value, v->address);
    }
}

void ReplyDispatcher::ActuatorEvent(std::span<const uint8_t> d) {
    const auto r = DecodeActuatorReport(d);
    if (!r) {
        return;
    }
    const auto value = static_cast<float>(r->tenths / 10.0);
    emit actuatorEvent(ActivityNames()[r->actuator],
                       r->started ? QStringLiteral(" started ") : QStringLiteral(" stopped "),
                       SingleText(value), StateNames()[r->state]);
}

}  // namespace tuvik
