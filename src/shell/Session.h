#pragma once
// Everything the program keeps for the whole run that is not a window: the
// application context (active link, LinkConnected), the connection
// controller, the four loops, the burner model, the reply dispatcher with the
// state replies feed, the parameter table, the folders and the message log. The windows
// are given a Session and hook themselves onto it; tests build one without
// any window.

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

#include "burner/BurnerModel.h"
#include "burner/ParamTable.h"
#include "pid/PidLoops.h"
#include "shell/AppContext.h"
#include "shell/AppPaths.h"
#include "shell/ConnectionController.h"
#include "shell/DispatchState.h"
#include "shell/ReplayController.h"
#include "shell/ReplyDispatcher.h"
#include "shell/SessionRecorder.h"
#include "support/Clock.h"
#include "support/MessageLog.h"
#include "trend/HistoryStore.h"

namespace tuvik {

class Session : public QObject {
    Q_OBJECT
  public:
    explicit Session(const AppPaths& paths, QObject* parent = nullptr);
    ~Session() override;

    // The start-up steps that need no window: decimal separator, the
    // parameter table from PARAMS.h, replies routed to the dispatcher, the
    // message log writing into the daily-files folder, the recordings folder
    // kept within its limit.
    void Start();

    AppContext& ctx() { return ctx_; }
    // The one clock of the session: the history, the message log, the
    // trends and the captions go by it.
    Clock& clock() { return clock_; }
    ConnectionController& connection() { return *connection_; }
    // A recording played in place of the live link.
    ReplayController& replay() { return *replay_; }
    const AppPaths& paths() const { return paths_; }
    PidLoops& loops() { return loops_; }
    DispatchState& state() { return state_; }
    ReplyDispatcher& dispatcher() { return dispatcher_; }
    BurnerModel& burner() { return *burner_; }
    // What the burner windows show and read.
    BurnerScope burnerScope();
    ParamTable& params() { return params_; }
    MessageLog& log() { return *log_; }
    SessionRecorder& recorder() { return *recorder_; }
    // The history of the loops' live values and of the events worth marking,
    // kept while a link is up, in paths().HistoryPath() from Start() on.
    HistoryStore& history() { return history_; }
    // Keeps the history in that file from now on (a replay keeps its own);
    // a note of an earlier failure goes.
    void UseHistory(const QString& path);
    // While a recording is replayed: its history beside it, its device
    // events on the screen only, the trends, captions and the message log's
    // lines in the recorded time; what the replay changes of the loops, the
    // burner model, the analog inputs, the alarm and the log's readings is
    // put back as it was when the replay stops.
    void ReplayingChanged(bool on);
    // Settings key (group "Settings") of the history's retention in days.
    static constexpr const char* kHistoryDaysKey = "HistoryDays";
    // After the loop selection changes, live values still on their way are
    // the old loop's: the history takes the new loop's from the controller's
    // acknowledgement on, or, without one, after this many refresh periods.
    static constexpr int kLoopSettlePeriods = 3;
    // The period counted when the link has no request timer running.
    static constexpr int kLoopSettleDefaultPeriodMs = 500;

  private:
    struct LiveState;
    void HoldLiveState();
    void RestoreLiveState();
    void KeepLive(int loop);
    void LoopAcknowledged(int index);
    void LoopChanged(int index);
    void WatchLink(DeviceLink* link);
    void WireBurner();

    AppPaths paths_;
    Clock clock_;
    AppContext ctx_;
    PidLoops loops_;
    DispatchState state_;
    ReplyDispatcher dispatcher_{loops_};
    ParamTable params_;
    std::unique_ptr<MessageLog> log_;
    std::unique_ptr<ConnectionController> connection_;
    std::unique_ptr<ReplayController> replay_;
    std::unique_ptr<SessionRecorder> recorder_;
    HistoryStore history_;
    std::unique_ptr<BurnerModel> burner_;
    QList<QMetaObject::Connection> linkWatch_;
    int historyLoop_ = PidLoops::kNone;    // whose live values the history takes
    std::optional<qint64> settleUntilMs_;  // in the history's time; none: settled
    std::unique_ptr<LiveState> live_;      // as it was before the replay
};

}  // namespace tuvik
