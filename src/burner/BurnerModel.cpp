#include "burner/BurnerModel.h"

#include <utility>

#include "burner/SingleParam.h"
#include "link/DeviceLink.h"
#include "support/ExchangeGuard.h"
#include "support/MessageLog.h"

namespace tuvik {

BurnerModel::BurnerModel(const QString& dailyDir, MessageLog& log, LinkSource link,
                         const DeviceAnswers* answers, QObject* parent)
    : QObject(parent),
      dailyDir_(dailyDir),
      log_(log),
      link_(std::move(link)),
      answers_(answers),
      measLog_(dailyDir) {
    pollTimer_.setObjectName(QStringLiteral("Timer1"));
    pollTimer_.setInterval(BurnerPolling::kTickMs);
    connect(&pollTimer_, &QTimer::timeout, this, &BurnerModel::Poll);
}

void BurnerModel::Load() {
    if (loaded_) {
        return;
    }
    RequestParamSet(false);
    polling_.Load();
    pollTimer_.start();
    loaded_ = true;
}

QString BurnerModel::RequestParamSet(bool overwrite) {
    if (QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        return why;
    }
    return edits_.Request(link(), overwrite) ? QString() : NotSentMessage();
}

void BurnerModel::LinkConnectedChanged(bool connected) {
    linkConnected_ = connected;
    // A TCP link connects only after the load has run, so the parameter-set
    // request of the load found no link; the burner's identification decides
    // how its measurements are read, so it is asked for once the link is up.
    if (!connected) {
        edits_.ForgetOverwrite();
    } else if (loaded_) {
        RequestParamSet(false);
    }
}

void BurnerModel::Poll() {
    // A link lent to a desktop tool carries only the desktop's requests; the
    // count goes on from where it was once the link is back.
    if (const DeviceLink* l = link(); l && l->lentOut()) {
        return;
    }
    const std::vector<uint8_t> polls = polling_.Tick(linkConnected_, identity_.BurnerHwVersion);
    if (DeviceLink* l = link(); l && !polls.empty()) {
        SendPolls(*l, polls);
    }
}

void BurnerModel::Measurements(std::span<const uint8_t> d) {
    const BurnerMeasurements m = DecodeBurnerMeasurements(d, identity_);
    readings_.Merge(m);
    log_.setReadings(MessageLogReadings(readings_));
    emit readingsChanged();
    if (!m.complete) {
        return;
    }
    // A replayed row is stamped as its history second is: in the recorded
    // time, which the session's clock reads while a replay plays.
    measLog_.MeasuresUpdated(ReadingTexts(readings_));
}

void BurnerModel::UsageCounters(const BurnerUsageTimes& u) {
    for (size_t i = 0; i < u.minutes.size(); ++i) {
        if (u.minutes[i]) {
            usage_.minutes[i] = u.minutes[i];
        }
    }
    emit usageChanged();
}

void BurnerModel::ParameterSet(std::span<const uint8_t> d) {
    // A reply too short for the version leaves the identification as it was.
    if (d.size() >= 2) {
        ApplyIdentification(identity_, d);
        identified_ = true;
        emit identityChanged();
    }
    // The read of a send's check is not shown in the boxes.
    if (!paramSetRead_ || !paramSetRead_->OfferParamSet(d)) {
        emit paramSetShown(d);
    }
}

void BurnerModel::MemoryValue(int32_t value, int32_t address, bool word) {
    // The old value or the read-back of a write is not shown in the value box.
    if (!valueRead_ || !valueRead_->OfferValue(value, address, word)) {
        emit valueShown(value);
    }
    // The reads around a grid send go to its check, not into the grid.
    if (!word && gridOpen_ && (!gridRead_ || !gridRead_->OfferValue(value, address, false))) {
        grid_.DataUpdate(value, address);
    }
}

void BurnerModel::HistogramPart(int32_t value, int32_t address) {
    histogram_.addHistogramEntry(static_cast<uint16_t>(value), address);
}

void BurnerModel::ReplayingChanged(bool on) {
    // Replaying yesterday adds nothing to today's measurement file.
    measLog_.setHeld(on);
    if (on) {
        if (!live_) {
            live_ = Live{identity_, identified_, readings_, log_.readings(), usage_,
                         edits_.lastRead()};
            grid_.HoldValues();
            emit replayingChanged(true);
        }
        return;
    }
    if (!live_) {
        return;
    }
    const Live live = *std::exchange(live_, std::nullopt);
    identity_ = live.identity;
    identified_ = live.identified;
    readings_ = live.readings;
    log_.setReadings(live.logReadings);
    usage_ = live.usage;
    edits_.setLastRead(live.lastRead);
    grid_.RestoreValues();
    emit identityChanged();
    emit readingsChanged();
    emit usageChanged();
    emit replayingChanged(false);
}

}  // namespace tuvik
