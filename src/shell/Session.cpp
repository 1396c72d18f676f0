#include "shell/Session.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include "shell/LinkTexts.h"
#include "support/LocaleText.h"
#include "support/Numbers.h"

namespace tuvik {

// What a replay overwrites with recorded values; none of them may reach a
// write or a file once the live link is back.
struct Session::LiveState {
    std::array<clsPID, PidLoops::kCount> loops;
    TrendArray analog1;
    TrendArray analog2;
    bool alarm = false;
};

Session::Session(const AppPaths& paths, QObject* parent)
    : QObject(parent),
      paths_(paths),
      log_(std::make_unique<MessageLog>(paths.DailyDir())),
      connection_(std::make_unique<ConnectionController>(ctx_, *log_, clock_)),
      replay_(std::make_unique<ReplayController>(ctx_, *connection_)),
      recorder_(std::make_unique<SessionRecorder>(
          ctx_, *log_, paths.DailyFilePath(QStringLiteral("recordings")))) {
    log_->setClock(clock_);
    history_.setClock(clock_);
    dispatcher_.setClock(clock_);
    UseTrendClock(&clock_);
    connect(log_.get(), &MessageLog::userNotice, &ctx_, &AppContext::notifyUser);
    connect(&dispatcher_, &ReplyDispatcher::liveSampled, this, &Session::KeepLive);
    connect(&dispatcher_, &ReplyDispatcher::loopSelected, this, &Session::LoopAcknowledged);
    connect(&dispatcher_, &ReplyDispatcher::analogSamples, this,
            [this](const auto& inputs) { state_.PushAnalog(inputs); });
    connect(&dispatcher_, &ReplyDispatcher::deviceStarted, this, [this](int code) {
        ctx_.setMainCaption(LinkTexts::DeviceStartedCaption(code, clock_.TimeOfDay()));
    });
    connect(&dispatcher_, &ReplyDispatcher::alarmChanged, this, [this](bool on) {
        if (on) {
            history_.AddEvent(-1, QStringLiteral("alarm"), QStringLiteral("Controller alarm on"));
        }
    });
    connect(&ctx_, &AppContext::linkConnectedChanged, &history_, &HistoryStore::setRecording);
    connect(&ctx_, &AppContext::activeLinkChanged, this, &Session::WatchLink);
    // A history that stops says why once in the message log; the rest of the
    // program goes on without it.
    connect(&history_, &HistoryStore::failed, log_.get(), &MessageLog::AddMessage);
    connect(replay_.get(), &ReplayController::replayingChanged, this, &Session::ReplayingChanged);
    connect(&history_, &HistoryStore::failed, this, [this] {
        ctx_.setStatusNote(QStringLiteral("history"), QStringLiteral("history off"));
    });
    WireBurner();
}

BurnerScope Session::burnerScope() {
    return {
        *burner_, params_, [this] { return paths_.ParamsHeaderPath(); },
        [this] { return paths_.HasParamsHeader() ? QString() : NoParamsHeaderMessage(paths_); }};
}

void Session::WireBurner() {
    burner_ = std::make_unique<BurnerModel>(
        paths_.DailyDir(), *log_, [this] { return ctx_.activeLink(); }, &dispatcher_);
    BurnerModel* b = burner_.get();
    b->measLog().setClock(clock_);
    b->edits().setClock(clock_);
    b->histogram().setClock(clock_);
    connect(connection_.get(), &ConnectionController::burnerLoading, b, &BurnerModel::Load);
    connect(&ctx_, &AppContext::linkConnectedChanged, b, &BurnerModel::LinkConnectedChanged);
    connect(&b->measLog(), &MeasLog::userNotice, &ctx_, &AppContext::notifyUser);
    // The history keeps the same rows, with the loops' seconds.
    connect(&b->measLog(), &MeasLog::rowStored, &history_, &HistoryStore::AddBurnerRow);
    connect(&dispatcher_, &ReplyDispatcher::burnerMeasurements, b, &BurnerModel::Measurements);
    connect(&dispatcher_, &ReplyDispatcher::usageCounters, b, &BurnerModel::UsageCounters);
    connect(&dispatcher_, &ReplyDispatcher::parameterSet, b, &BurnerModel::ParameterSet);
    connect(&dispatcher_, &ReplyDispatcher::memoryValue, b, &BurnerModel::MemoryValue);
    connect(&dispatcher_, &ReplyDispatcher::histogramPart, b, &BurnerModel::HistogramPart);
}

void Session::ReplayingChanged(bool on) {
    // A replay's events are shown, but they did not happen today.
    log_->setHoldDeviceEventsFromFile(on);
    // A replay keeps its own history, stamped with the recorded time, so that
    // the live history holds only what happened live. It lives with the
    // recordings (the recording may be a read-only copy) and goes when the
    // recording is pruned, never with the retention: its rows are as old as
    // the recording. The replayed recording is not pruned meanwhile.
    if (on) {
        history_.setKeepAll(true);
    }
    // The file changes first: what the old one still waits for is written
    // to it under the clock it was taken with.
    recorder_->setReplayed(on ? replay_->path() : QString());
    if (on) {
        HoldLiveState();
        const QString& path = replay_->path();
        QString history;
        if (!path.isEmpty()) {
            history = recorder_->folder().ReplayHistoryPath(path);
            QDir().mkpath(QFileInfo(history).path());
        }
        UseHistory(history);
        // From here on the session's wall time is the recorded time.
        clock_.setRecorded([this] {
            const ReplayLink* link = replay_->link();
            return link ? link->recordedMs() : clock_.SystemMs();
        });
    } else {
        UseHistory(paths_.HistoryPath());
        clock_.setRecorded({});
        history_.setKeepAll(false);
        RestoreLiveState();
    }
    burner_->ReplayingChanged(on);
}

void Session::HoldLiveState() {
    if (live_) {
        return;  // a replay in place of a replay: the live state is the first one's
    }
    live_ = std::make_unique<LiveState>();
    for (int i = 0; i < PidLoops::kCount; ++i) {
        live_->loops[static_cast<size_t>(i)] = loops_[i];
        // The replay's samples carry another clock: they do not continue these.
        loops_[i].ClearTrend();
    }
    live_->analog1 = state_.AnalogTrend1;
    live_->analog2 = state_.AnalogTrend2;
    live_->alarm = dispatcher_.alarm();
    state_.AnalogTrend1.ClearSamples();
    state_.AnalogTrend2.ClearSamples();
}

void Session::RestoreLiveState() {
    const std::unique_ptr<LiveState> live = std::move(live_);
    if (!live) {
        return;
    }
    for (int i = 0; i < PidLoops::kCount; ++i) {
        loops_[i] = live->loops[static_cast<size_t>(i)];
    }
    state_.AnalogTrend1 = live->analog1;
    state_.AnalogTrend2 = live->analog2;
    dispatcher_.PutBackAlarm(live->alarm);
}

void Session::LoopChanged(int index) {
    const bool first = historyLoop_ == PidLoops::kNone;
    historyLoop_ = index;
    const clsPID* loop = loops_.at(index);
    if (first || !loop) {
        return;  // nothing came before: the values are this loop's
    }
    const DeviceLink* link = ctx_.activeLink();
    const int period = link && link->requestTimer().interval() > 0 ? link->requestTimer().interval()
                                                                   : kLoopSettleDefaultPeriodMs;
    settleUntilMs_ = history_.nowMs() + qint64(kLoopSettlePeriods) * period;
    history_.AddEvent(-1, QStringLiteral("loop"),
                      QStringLiteral("Loop selected: ") + loop->GetDesc());
}

void Session::LoopAcknowledged(int index) {
    if (index != loops_.selectedIndex()) {
        return;  // the answer to an earlier selection
    }
    if (index != historyLoop_) {
        LoopChanged(index);
    }
    settleUntilMs_.reset();
}

void Session::KeepLive(int index) {
    const clsPID* loop = loops_.at(index);
    if (!loop) {
        return;
    }
    if (index != historyLoop_) {
        LoopChanged(index);
    }
    if (settleUntilMs_) {
        if (history_.nowMs() < *settleUntilMs_) {
            return;  // may still be the previous loop's
        }
        settleUntilMs_.reset();
    }
    const PidLiveValues& v = loop->LiveValues();
    history_.AddLive(index, {v.Measurement, loop->Settings().Setpoint, v.ControllerOut, v.y_fw},
                     loop->AutoMode(), dispatcher_.alarm() ? 1 : 0);
}

void Session::WatchLink(DeviceLink* link) {
    for (const QMetaObject::Connection& c : linkWatch_) {
        disconnect(c);
    }
    linkWatch_.clear();
    if (!link) {
        return;
    }
    linkWatch_ << connect(link, &DeviceLink::linkLost, this, [this](const QString& reason) {
        history_.AddEvent(-1, QStringLiteral("reconnect"), QStringLiteral("Link lost: ") + reason);
    });
    linkWatch_ << connect(link, &DeviceLink::reconnectingChanged, this, [this, link](bool on) {
        if (!on) {
            history_.AddEvent(-1, QStringLiteral("reconnect"),
                              link->PortOpen() ? QStringLiteral("Link back")
                                               : QStringLiteral("Reconnecting given up"));
        }
    });
}

Session::~Session() {
    // Stopped while the controller is whole: the stop is told to the
    // history, whose replay clock asks the controller.
    replay_->Stop();
    replay_.reset();
    UseTrendClock(nullptr);
}

void Session::Start() {
    SetDecimalSeparator(DetectDecimalSeparator(QLocale::system()));
    params_.LoadParamTable(paths_.ParamsHeaderPath());
    if (!paths_.HasParamsHeader()) {
        log_->AddMessage(NoParamsHeaderMessage(paths_));
    }
    // Actuator events become log messages from now on.
    connect(&dispatcher_, &ReplyDispatcher::actuatorEvent, log_.get(),
            &MessageLog::AddActuatorEvent, Qt::UniqueConnection);
    ctx_.setReplyReceiver(&dispatcher_);
    if (paths_.HasParamsHeader()) {
        recorder_->setParamsFile(paths_.ParamsHeaderPath());
    }
    recorder_->Prune();
    UseHistory(paths_.HistoryPath());
}

void Session::UseHistory(const QString& path) {
    ctx_.setStatusNote(QStringLiteral("history"), {});
    history_.UseDatabase(path);
}

}  // namespace tuvik
