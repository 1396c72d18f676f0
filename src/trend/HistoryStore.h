#pragma once
// The history as the rest of the program sees it: live values go in as they
// arrive and are summed per UTC second per loop on the caller's thread (a
// few additions per reply); completed seconds, events and burner rows are
// handed every kCommitMs to a writer on its own thread, which commits them
// in one transaction and drops rows past the retention in small batches.
//
// The first failure (a locked, full or damaged file, a newer format) stops
// the history: failed() carries the reason once, later input is dropped, and
// the rest of the program is not disturbed. UseDatabase points the history at
// another file and tries again.

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "support/BackgroundWriter.h"
#include "support/Clock.h"
#include "trend/HistoryDb.h"

namespace tuvik {

class HistoryStore : public QObject {
    Q_OBJECT
  public:
    // How often the writer commits: what a killed program can lose.
    static constexpr int kCommitMs = 2000;
    static constexpr int kDefaultRetentionDays = 400;
    // Rows per table deleted in one transaction past the retention.
    static constexpr int kPruneBatch = 10000;
    // How often old rows are looked for; while a batch comes back full, the
    // next commit goes on deleting.
    static constexpr int kPruneEveryMs = 60000;

    // The clock guard (setClockGuard): a machine time before this (2024-01-01
    // 00:00 UTC) is a clock never set; a board without a real-time clock
    // starts in 1970.
    static constexpr qint64 kEarliestTrustedMs = 1704067200000;
    // The machine's time moved this much more or less than the monotonic
    // clock between two looks: a jump.
    static constexpr qint64 kClockJumpMs = 2000;
    // After a jump, the machine's time is trusted again once it has kept
    // step with the monotonic clock this long.
    static constexpr qint64 kClockSteadyMs = 10000;

    explicit HistoryStore(QObject* parent = nullptr);
    // Hands what is left to the writer and waits until it is committed.
    ~HistoryStore() override;

    // Stops writing to the present file (after committing what it has) and
    // goes on in the given one; a failed history tries again.
    void UseDatabase(const QString& path);
    QString databasePath() const { return path_; }

    // On while there is something to keep (a link is up); switching off
    // closes the open seconds and commits them.
    void setRecording(bool on);
    bool recording() const { return recording_; }
    bool stopped() const { return !failure_.isEmpty(); }
    QString failure() const { return failure_; }

    void setRetentionDays(int days) { retentionDays_ = days; }
    int retentionDays() const { return retentionDays_; }
    // Stamps by the clock's wall time (a replay's position while one plays).
    // Not owned; the system's clock until set.
    void setClock(const Clock& clock) { clock_ = &clock; }
    // The time the history stamps with now, UTC milliseconds.
    qint64 nowMs() const { return clock_->WallMs(); }
    // Keeps every row whatever its age: a replay's rows are as old as the
    // recording and go with it, not with the retention.
    void setKeepAll(bool on) { keepAll_ = on; }
    // With the guard on, while the machine's time is before
    // kEarliestTrustedMs or has jumped against the monotonic clock (until
    // it has been steady for kClockSteadyMs), what comes in is dropped (it
    // cannot be dated), what was taken before waits, and nothing is pruned.
    // A replay's history (keepAll) goes by the recorded time and is not held.
    void setClockGuard(bool on) { clockGuard_ = on; }
    bool clockHeld() const { return held_; }
    // From now on no prune starts: the end of the program, whose last
    // commit must not wait for a batch of deletions.
    void holdPruning() { pruneHeld_ = true; }

    // One live-value reply of a loop, in the order of kHistoryStems.
    void AddLive(int loop, const std::array<float, kHistoryValues>& values, int mode, int alarm);
    void AddEvent(int loop, const QString& kind, const QString& text);
    void AddBurnerRow(const QString& row);

    // Closes the seconds before the present one and hands everything
    // pending to the writer (what the timer does).
    void Commit();
    // Commit, then wait until the writer has finished all it was given.
    void Sync();

  signals:
    // The clock guard started (true) or stopped (false) holding the history.
    void clockHeldChanged(bool held);
    // The history stopped; the reason, once.
    void failed(const QString& reason);
    // The writer committed a batch (with that many seconds).
    void committed(int seconds);
    // A live-value reply was summed into the loop's second t (UTC seconds),
    // as AddLive took it: what follows the history's seconds outside it
    // (the monitor's per-second values) sums the same samples.
    void liveAdded(int loop, qint64 t, const std::array<float, kHistoryValues>& values);

  private:
    qint64 NowMs() const { return clock_->WallMs(); }
    void CloseSecondsBefore(qint64 t);
    // Looks at the machine's clock for the guard; true while it holds.
    bool Held();
    void Fail(const QString& reason);
    void Send(HistoryBatch batch, bool prune);

    // Runs the job on the writer's thread, after those before it.
    void Post(std::function<void()> job);

    BackgroundWriter<std::vector<std::function<void()>>> writer_;
    // Used on the writer's thread only.
    std::shared_ptr<HistoryDb> db_;
    QTimer commitTimer_;
    const Clock* clock_ = &Clock::System();
    QString path_;
    QString failure_;
    bool recording_ = false;
    bool keepAll_ = false;
    int retentionDays_ = kDefaultRetentionDays;
    int generation_ = 0;                 // a failure from an earlier file is not this one's
    std::map<int, HistorySecond> open_;  // per loop, the second being summed
    HistoryBatch pending_;
    qint64 lastPruneMs_ = 0;
    bool pruneBacklog_ = false;
    bool pruneHeld_ = false;
    bool clockGuard_ = false;
    bool held_ = false;
    bool offsetKnown_ = false;
    qint64 offsetMs_ = 0;       // machine time minus monotonic time at the last look
    qint64 steadySinceMs_ = 0;  // monotonic; since the last jump
    bool jumped_ = false;
};

}  // namespace tuvik
