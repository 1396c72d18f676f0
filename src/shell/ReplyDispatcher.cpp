#include "shell/ReplyDispatcher.h"

#include <exception>
#include <limits>

#include "burner/BurnerTables.h"
#include "link/Packet.h"
#include "support/EventLog.h"
#include "support/LocaleText.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

bool Has(std::span<const uint8_t> d, size_t first, size_t count) {
    return first + count <= d.size();
}

}  // namespace

ReplyDispatcher::ReplyDispatcher(PidLoops& loops, DispatchState& state)
    : loops_(loops), state_(state) {}

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
            if (d[0] != 0 && state_.WriteAckCount < std::numeric_limits<int16_t>::max()) {
                ++state_.WriteAckCount;
            } else if (d[0] == 0 &&
                       state_.WriteRefusedCount < std::numeric_limits<int16_t>::max()) {
                ++state_.WriteRefusedCount;
            }
            break;
        case Cmd::ByteValue:
            ByteRead(d);
            break;
        case Cmd::ReadWord:
            WordRead(d);
            break;
        case Cmd::AnalogValues:
            AnalogInputs(d);
            break;
        case Cmd::ActuatorEvent:
            ActuatorEvent(d);
            break;
        case Cmd::DeviceStarted:
            Caption(QStringLiteral("Device started (") + QString::number(d[0]) +
                    QStringLiteral(") ") + TimeText(clock_->TimeOfDay()));
            break;
        case Cmd::Alarm:
            if (main_) {
                main_->SetAlarm(d[0] != 0);
            }
            if ((d[0] != 0) != alarm_) {
                alarm_ = d[0] != 0;
                emit alarmChanged(alarm_);
            }
            break;
        case Cmd::Measurements:
            if (burner_) {
                const BurnerMeasurements m = DecodeBurnerMeasurements(d, state_.burner);
                burner_->ShowMeasurements(m);
                if (m.complete) {
                    burner_->MeasuresUpdated();
                }
            }
            break;
        case Cmd::UsageReply:
            if (burner_) {
                burner_->ShowUsageTimes(DecodeBurnerUsageTimes(d));
            }
            break;
        case Cmd::ParamSet:
            if (burner_) {
                burner_->ParamSetReceived(d);
            }
            break;
        default:
            // 0x81, 0x85, 0x88, 0x8E, 0x8F, 0x91, 0x93, 0x95, 0x99 are
            // accepted without action; 0x83 and 0x8A have no handler.
            break;
    }
}

void ReplyDispatcher::Caption(const QString& text) {
    if (main_) {
        main_->SetCaption(text);
    }
}

void ReplyDispatcher::StatusRecord(std::span<const uint8_t> d) {
    Caption(QStringLiteral("PID luku onnistui ") + TimeText(clock_->TimeOfDay()));
    // A refused record answers no read: the loop still holds the previous one.
    if (clsPID* loop = loops_.Selected(); loop && loop->SetStatusData(d)) {
        ++statusRecords_;
    }
}

void ReplyDispatcher::LiveValues(std::span<const uint8_t> d, bool refresh) {
    const auto& kOrder = clsPID::kLiveReplyOrder;
    for (size_t i = 0; i < kOrder.size(); ++i) {
        // The selected loop is looked up again before every step.
        clsPID* loop = loops_.Selected();
        if (!loop || !Has(d, 4 * i, 4) || !loop->WriteLiveSingle(kOrder[i], GetSingle(d, 4 * i))) {
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

void ReplyDispatcher::ByteRead(std::span<const uint8_t> d) {
    if (!Has(d, 0, 3)) {
        return;
    }
    const int32_t value = d[0];
    const int32_t address = U16(d, 1);
    if (burner_) {
        burner_->ValueRead(value, address, false);
    }
    if (allParams_ && allParams_->AllParamsOpen()) {
        allParams_->DataUpdate(value, address);
    }
}

void ReplyDispatcher::WordRead(std::span<const uint8_t> d) {
    if (!Has(d, 0, 4)) {
        return;
    }
    const int32_t value = U16(d, 0);
    const int32_t address = U16(d, 2);
    if (burner_) {
        burner_->ValueRead(value, address, true);
    }
    // Counters above 32767 are passed on as read rather than lost.
    if (histogram_ && address >= kHistogramFirst && address < kHistogramEnd) {
        histogram_->addHistogramEntry(value, address);
    }
}

void ReplyDispatcher::AnalogInputs(std::span<const uint8_t> d) {
    if (!Has(d, 0, 16)) {
        return;
    }
    for (int k = 0; k < 8; ++k) {
        const auto v = static_cast<float>(U16(d, static_cast<size_t>(2 * k)));
        TrendArray& arr = k < 4 ? state_.AnalogTrend1 : state_.AnalogTrend2;
        arr.PushValue(k % 4, v, kAnalogCeiling, true);
    }
    const double now = TrendNow();
    state_.AnalogTrend1.PushTime(now);
    state_.AnalogTrend2.PushTime(now);
}

void ReplyDispatcher::ActuatorEvent(std::span<const uint8_t> d) {
    if (!Has(d, 0, 5) || d[0] >= kActivityCount || !messages_) {
        return;
    }
    const uint8_t s = d[1];
    const uint32_t u24 = d[2] | (d[3] << 8) | (d[4] << 16);
    const auto value = static_cast<float>(u24 / 10.0);
    messages_->ActuatorEvent(
        ActivityNames()[d[0]],
        ((s & 0x80) ? QStringLiteral(" started ") : QStringLiteral(" stopped ")), SingleText(value),
        StateNames()[s & 0x7F]);
}

}  // namespace tuvik
