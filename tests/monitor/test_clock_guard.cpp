// The history's clock guard, with the clocks given by the test: a machine
// time before 2024 keeps nothing; a jump holds the writes and the prune
// until the time has kept step with the monotonic clock for a while.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "TestUtil.h"
#include "trend/HistoryStore.h"

using namespace tuvik;
using namespace tuvik::test;

TEST(HistoryClockGuard, HoldsWritesAndPruneWhileTheClockIsWrong) {
    QTemporaryDir dir;
    Clock clock;
    qint64 wallMs = QDateTime(QDate(2023, 12, 31), QTime(23, 0), Qt::UTC).toMSecsSinceEpoch();
    qint64 monoMs = 1000;
    clock.setSystem([&] { return wallMs; });
    clock.setMonotonic([&] { return monoMs * 1000; });
    auto advance = [&](qint64 ms) { wallMs += ms, monoMs += ms; };
    HistoryStore h;
    h.setClock(clock);
    h.setClockGuard(true);
    QSignalSpy held(&h, &HistoryStore::clockHeldChanged);
    h.UseDatabase(dir.filePath("history.sqlite"));
    h.setRecording(true);
    const auto seconds = [&] { return HistoryRows(h.databasePath(), "SELECT t FROM sec"); };
    const auto second = [&] {
        h.AddLive(1, {1, 2, 3, 4}, 1, 0);
        advance(1000);
        h.AddLive(1, {1, 2, 3, 4}, 1, 0);  // closes the second before
        h.Sync();
    };

    second();  // 2023: not kept
    EXPECT_EQ(seconds(), QStringList());
    wallMs += qint64(3) * 86400 * 1000;  // set right: a jump forward to 2024
    second();
    EXPECT_EQ(seconds(), QStringList());  // steady not long enough yet
    advance(HistoryStore::kClockSteadyMs);
    second();
    const QStringList kept = seconds();
    ASSERT_EQ(kept.size(), 1);

    // A jump 500 days on, past the retention: held, and the row kept there
    // is not pruned by it.
    wallMs += qint64(500) * 86400 * 1000;
    second();
    EXPECT_TRUE(h.clockHeld() && seconds() == kept);
    // Steady again: the clock is taken as right, and the retention applies.
    advance(HistoryStore::kClockSteadyMs);
    second();
    EXPECT_FALSE(h.clockHeld());
    EXPECT_TRUE(seconds().size() == 1 && seconds() != kept) << seconds().join(',').toStdString();
    EXPECT_EQ(held.count(), 4);  // on in 2023, off, on at the jump, off
}
