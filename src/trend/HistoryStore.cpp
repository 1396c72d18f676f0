#include "trend/HistoryStore.h"

#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace tuvik {

namespace {

QString NextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("tuvik-history-writer-%1").arg(++counter);
}

qint64 FloorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b) < 0 ? 1 : 0);
}

}  // namespace

HistoryStore::HistoryStore(QObject* parent)
    : QObject(parent),
      db_(std::make_shared<HistoryDb>(NextConnectionName())) {
    // The jobs come in their own time (the commit timer is here), so the
    // writer takes them as they come.
    writer_.Start("history writer", std::chrono::milliseconds(0),
                  [](std::vector<std::function<void()>>& jobs) {
                      for (const std::function<void()>& job : jobs) {
                          job();
                      }
                      return true;
                  });
    commitTimer_.setInterval(kCommitMs);
    connect(&commitTimer_, &QTimer::timeout, this, &HistoryStore::Commit);
}

HistoryStore::~HistoryStore() {
    recording_ = false;
    open_.clear();  // a second not yet complete is not written as if it were
    Sync();
    Post([db = db_] { db->Close(); });
    writer_.Stop();
}

void HistoryStore::Post(std::function<void()> job) {
    writer_.Put([&job](std::vector<std::function<void()>>& jobs) {
        jobs.push_back(std::move(job));
        return true;
    });
}

void HistoryStore::UseDatabase(const QString& path) {
    Commit();
    path_ = path;
    failure_.clear();
    const int generation = ++generation_;
    Post([this, db = db_, path, generation] {
        const QString error = db->Open(path);
        if (!error.isEmpty()) {
            QMetaObject::invokeMethod(
                this,
                [this, error, generation] {
                    if (generation == generation_) {
                        Fail(error);
                    }
                },
                Qt::QueuedConnection);
        }
    });
    commitTimer_.start();
}

void HistoryStore::setRecording(bool on) {
    if (on == recording_) {
        return;
    }
    recording_ = on;
    if (!on) {
        // The link went: the seconds being summed are complete.
        for (auto& [loop, second] : open_) {
            if (second.n > 0) {
                pending_.seconds.push_back(second);
            }
        }
        open_.clear();
        Commit();
    }
}

bool HistoryStore::Held() {
    if (!clockGuard_ || keepAll_) {
        return false;
    }
    const qint64 wall = clock_->SystemMs();
    const qint64 mono = clock_->MonotonicUs() / 1000;
    const qint64 offset = wall - mono;
    if (!offsetKnown_ || std::abs(offset - offsetMs_) > kClockJumpMs) {
        if (offsetKnown_) {
            jumped_ = true;
            steadySinceMs_ = mono;
            open_.clear();  // summed under the time before the jump
        }
        offsetKnown_ = true;
    }
    offsetMs_ = offset;
    const bool held =
        wall < kEarliestTrustedMs || (jumped_ && mono - steadySinceMs_ < kClockSteadyMs);
    if (held != held_) {
        held_ = held;
        emit clockHeldChanged(held);
    }
    return held;
}

void HistoryStore::AddLive(int loop, const std::array<float, kHistoryValues>& values, int mode,
                           int alarm) {
    if (!recording_ || stopped() || path_.isEmpty() || Held()) {
        return;
    }
    const qint64 t = FloorDiv(NowMs(), 1000);
    HistorySecond& s = open_[loop];
    if (s.n > 0 && s.t != t) {
        pending_.seconds.push_back(s);
        s = HistorySecond{};
    }
    if (s.n == 0) {
        s.t = t;
        s.loop = loop;
    }
    s.mode = mode;
    s.alarm = std::max(s.alarm, alarm);  // an alarm anywhere in the second counts
    s.Add(values);
    emit liveAdded(loop, t, values);
}

void HistoryStore::AddEvent(int loop, const QString& kind, const QString& text) {
    if (stopped() || path_.isEmpty() || Held()) {
        return;
    }
    pending_.events.push_back({FloorDiv(NowMs(), 1000), loop, kind, text});
}

void HistoryStore::AddBurnerRow(const QString& row) {
    if (!recording_ || stopped() || path_.isEmpty() || Held()) {
        return;
    }
    pending_.burner.push_back({FloorDiv(NowMs(), 1000), row});
}

void HistoryStore::CloseSecondsBefore(qint64 t) {
    for (auto it = open_.begin(); it != open_.end();) {
        if (it->second.n > 0 && it->second.t < t) {
            pending_.seconds.push_back(it->second);
            it = open_.erase(it);
        } else {
            ++it;
        }
    }
}

void HistoryStore::Commit() {
    const bool held = Held();
    if (!held) {
        CloseSecondsBefore(FloorDiv(NowMs(), 1000));
    }
    if (stopped() || path_.isEmpty()) {
        pending_ = HistoryBatch{};
        return;
    }
    if (held) {
        return;  // what was taken waits for a clock that can be trusted
    }
    const bool prune = !keepAll_ && !pruneHeld_ && retentionDays_ > 0 &&
                       (pruneBacklog_ || NowMs() - lastPruneMs_ >= kPruneEveryMs);
    if (pending_.empty() && !prune) {
        return;
    }
    if (prune) {
        lastPruneMs_ = NowMs();
    }
    Send(std::exchange(pending_, HistoryBatch{}), prune);
}

void HistoryStore::Send(HistoryBatch batch, bool prune) {
    const int generation = generation_;
    const qint64 before = FloorDiv(NowMs(), 1000) - qint64(retentionDays_) * 86400;
    Post([this, db = db_, batch = std::move(batch), prune, before, generation] {
        if (!db->isOpen()) {
            return;  // the open failed and said so
        }
        QString error = batch.empty() ? QString() : db->Write(batch);
        int deleted = 0;
        if (error.isEmpty() && prune) {
            error = db->Prune(before, kPruneBatch, &deleted);
        }
        const int seconds = static_cast<int>(batch.seconds.size());
        QMetaObject::invokeMethod(
            this,
            [this, error, generation, seconds, backlog = deleted >= kPruneBatch] {
                if (generation != generation_) {
                    return;
                }
                pruneBacklog_ = backlog;
                if (!error.isEmpty()) {
                    Fail(error);
                } else {
                    emit committed(seconds);
                }
            },
            Qt::QueuedConnection);
    });
}

void HistoryStore::Sync() {
    Commit();
    writer_.Drain();
    // The writer's answers are waiting in this thread's queue: take them now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void HistoryStore::Fail(const QString& reason) {
    if (stopped()) {
        return;
    }
    failure_ = reason;
    open_.clear();
    pending_ = HistoryBatch{};
    commitTimer_.stop();
    emit failed(reason);
}

}  // namespace tuvik
