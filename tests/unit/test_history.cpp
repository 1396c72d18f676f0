// The history: per-second aggregation, its tables and rollups, the one-row-
// per-column query, the clock axis, marks, retention and refused files.

#include <QDateTime>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "TestUtil.h"
#include "shell/Session.h"
#include "trend/HistoryStore.h"
#include "trend/HistoryView.h"

using namespace tuvik;
using tuvik::test::ReadFile;
using tuvik::test::SecondStats;
using tuvik::test::StatsOf;
using tuvik::test::WriteFile;

namespace {

struct HistoryFixture : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("history.sqlite"));
    qint64 nowMs = 1'700'000'000'000;
    HistoryStore store;
    void SetUp() override {
        store.setClock([this] { return nowMs; });
        store.UseDatabase(path);
        store.setRecording(true);
    }
    HistoryDb reader{QStringLiteral("reader")};
    QSqlDatabase Reader() {
        EXPECT_EQ(reader.isOpen() ? QString() : reader.OpenForReading(path), QString());
        return reader.database();
    }
};

}  // namespace

TEST_F(HistoryFixture, EachSecondKeepsMeanMinMaxOfItsSamplesPerLoopAndRollsUp) {
    // Two loops, three seconds, uneven samples; floats chosen so a float sum
    // would differ from the double sum.
    const float samples[][2] = {{0.1f, 7.f}, {16777216.f, 1.f}, {1.f, -3.5f}, {0.3f, 2.f}};
    std::map<std::pair<int, int>, std::vector<float>> got;  // (loop, second): measurements
    for (int sec = 0; sec < 3; ++sec) {
        for (int i = 0; i <= sec + 1 && i < 4; ++i) {
            nowMs = 1'700'000'000'000 + sec * 1000 + i * 200;
            for (int loop = 0; loop < 2; ++loop) {
                const float v = samples[i][loop] + static_cast<float>(sec);
                store.AddLive(loop, {v, -v, v * 2, 1.f}, loop, sec == 1 && i == 0);
                got[{loop, sec}].push_back(v);
            }
        }
    }
    nowMs += 5000;
    store.Sync();
    ASSERT_FALSE(store.stopped()) << store.failure().toStdString();
    QSqlQuery q(Reader());
    ASSERT_TRUE(
        q.exec("SELECT loop, t, meas_avg, meas_min, meas_max, mode, "
               "alarm FROM sec ORDER BY loop, t"));
    int rows = 0;
    std::vector<float> minute;  // loop 1's measurements
    double sumOfMeans = 0;
    while (q.next()) {
        const int loop = q.value(0).toInt();
        const int sec = static_cast<int>(q.value(1).toLongLong() - 1'700'000'000);
        const std::vector<float>& v = got.at({loop, sec});
        const SecondStats meas = StatsOf(v);
        EXPECT_EQ(q.value(2).toDouble(), meas.mean);
        EXPECT_EQ(q.value(3).toDouble(), meas.min);
        EXPECT_EQ(q.value(4).toDouble(), meas.max);
        EXPECT_EQ(q.value(5).toInt(), loop);
        EXPECT_EQ(q.value(6).toInt(), sec == 1 ? 1 : 0);
        if (loop == 1) {
            minute.insert(minute.end(), v.begin(), v.end());
            sumOfMeans += meas.mean;
        }
        ++rows;
    }
    EXPECT_EQ(rows, 6);
    // The minute holding the three seconds: count, extremes, sum of means.
    ASSERT_TRUE(q.exec("SELECT n, meas_min, meas_max, meas_sum FROM min1 WHERE loop = 1"));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 3);
    EXPECT_EQ(q.value(1).toDouble(), StatsOf(minute).min);
    EXPECT_EQ(q.value(2).toDouble(), StatsOf(minute).max);
    EXPECT_DOUBLE_EQ(q.value(3).toDouble(), sumOfMeans);
}

TEST_F(HistoryFixture, QueryReturnsOneRowPerColumnFromTheCoarsestTierThatFills) {
    // Tier choice: span / seconds per row must reach the columns.
    EXPECT_STREQ(HistoryTierFor(3600, 600).table, "sec");
    EXPECT_STREQ(HistoryTierFor(86400, 600).table, "min1");
    EXPECT_STREQ(HistoryTierFor(30 * 86400, 800).table, "min1");
    EXPECT_STREQ(HistoryTierFor(365 * 86400, 600).table, "hour1");

    // Two hours of a ramp on loop 2, second by second.
    const qint64 t0 = 1'700'002'800;  // a whole hour
    for (qint64 t = t0; t < t0 + 7200; ++t) {
        nowMs = t * 1000;
        const float v = static_cast<float>(t - t0);
        store.AddLive(2, {v, 0, 50, 0}, 1, 0);
    }
    nowMs += 2000;
    store.Sync();
    ASSERT_FALSE(store.stopped()) << store.failure().toStdString();
    for (int columns : {120, 600}) {  // minute rows, then second rows
        HistoryView view;
        view.setColumns(columns);
        view.Choose(2, t0, t0 + 7200);
        QString error;
        QSqlQuery q = view.Run(Reader(), &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        ASSERT_EQ(view.rows().size(), size_t(columns));
        const qint64 width = 7200 / columns;
        for (int k = 0; k < columns; ++k) {
            // Newest first: record k covers seconds [start, start + width).
            const HistoryView::Row& row = view.rows()[size_t(k)];
            const qint64 start = (columns - 1 - k) * width;
            EXPECT_EQ(row.t, t0 + start);
            EXPECT_EQ(row.v[1], double(start)) << columns << " " << k;
            EXPECT_EQ(row.v[2], double(start + width - 1));
            EXPECT_DOUBLE_EQ(row.v[0], start + (width - 1) / 2.0);
        }
    }
    // A span with no data gives empty columns, not fewer rows.
    HistoryView empty;
    empty.setColumns(50);
    empty.Choose(2, t0 - 86400, t0 - 3600);
    QString error;
    empty.Run(Reader(), &error);
    ASSERT_EQ(empty.rows().size(), 50u);
    EXPECT_TRUE(std::isnan(empty.rows()[0].v[0]));
}

TEST_F(HistoryFixture, EventsBecomeMarksWhoseTextAClickNearThemFinds) {
    const qint64 t0 = 1'700'000'000;
    nowMs = (t0 + 1800) * 1000;
    store.AddEvent(0, QStringLiteral("send"), QStringLiteral("K 1.5 -> 2"));
    store.AddEvent(-1, QStringLiteral("reconnect"), QStringLiteral("link back"));
    store.AddEvent(1, QStringLiteral("alarm"), QStringLiteral("other loop"));
    store.Sync();
    HistoryView view;
    view.setColumns(100);
    view.Choose(0, t0, t0 + 3600);
    QString error;
    view.Run(Reader(), &error);
    ASSERT_EQ(view.Marks().size(), 2u);  // this loop's and the controller's, not loop 1's
    const double at = view.Marks()[0].fraction;
    EXPECT_NEAR(at, 0.5, 0.02);
    EXPECT_NEAR(view.TimeAt(at), t0 + 1800, 1);
    EXPECT_TRUE(view.MarkTextAt(at + 0.01, 0.02).contains(QStringLiteral("Send: K 1.5 -> 2")));
    EXPECT_EQ(view.MarkTextAt(at + 0.05, 0.02), QString());
}

TEST_F(HistoryFixture, RowsPastTheRetentionAreDeleted) {
    const qint64 day = 86400;
    const qint64 t0 = 1'700'000'000;
    for (qint64 d : {0, 10, 20}) {
        nowMs = (t0 + d * day) * 1000;
        store.AddLive(0, {1, 2, 3, 4}, 0, 0);
        store.AddEvent(0, QStringLiteral("send"), QStringLiteral("x"));
    }
    store.setRetentionDays(15);
    nowMs = (t0 + 20 * day + 5) * 1000;
    store.Sync();
    QSqlQuery q(Reader());
    for (const char* table : {"sec", "min1", "hour1", "events"}) {
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT MIN(t) FROM %1").arg(table)));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toLongLong() / 3600, (t0 + 10 * day) / 3600) << table;  // day 10 kept
    }
}

TEST(History, ANewerOrDamagedFileStopsTheHistoryWithOneReason) {
    QTemporaryDir dir;
    const QString newer = dir.filePath(QStringLiteral("newer.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("w"));
        db.setDatabaseName(newer);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = 7"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("w"));
    const QString damaged = dir.filePath(QStringLiteral("damaged.sqlite"));
    ASSERT_TRUE(WriteFile(damaged, QByteArray(8192, '\x5a')));
    const struct {
        QString path;
        const char* reason;
    } cases[] = {{newer, "newer version of the program (history format 7"},
                 {damaged, "not a history database"}};
    for (const auto& c : cases) {
        // The session tells the message log; the history says why once.
        Session session(AppPaths(dir.path(), dir.path(), {dir.path()}));
        HistoryStore& store = session.history();
        session.UseHistory(c.path);
        store.setRecording(true);
        store.Sync();
        store.AddLive(0, {1, 2, 3, 4}, 0, 0);
        store.Sync();
        const QString log = session.log().logText();
        EXPECT_EQ(log.count(QStringLiteral("History stopped")), 1) << c.reason;
        EXPECT_TRUE(log.contains(QLatin1String(c.reason))) << log.toStdString();
        EXPECT_TRUE(store.stopped());
        EXPECT_EQ(session.ctx().statusNote(), QStringLiteral("history off"));
        // Another file starts it again, and the note goes.
        session.UseHistory(dir.filePath(QStringLiteral("fresh.sqlite")));
        store.Sync();
        EXPECT_FALSE(store.stopped());
        EXPECT_EQ(session.ctx().statusNote(), QString());
    }
    EXPECT_EQ(ReadFile(damaged), QByteArray(8192, '\x5a'));  // never written over
}

TEST(History, ClockAxisLinesStandAtRoundLocalTimes) {
    const cTrendline::Geometry g{8000, 100, 500, 3000, 0, 2900, -7500};
    const QDateTime end(QDate(2026, 3, 10), QTime(14, 23, 17));
    const std::tuple<qint64, qint64, const char*> cases[] = {
        {3600, 600, "HH:mm"}, {86400, 10800, "HH:mm"}, {30 * 86400, 345600, "d.M."}};
    for (const auto& [span, step, format] : cases) {
        const int maxX = 602;
        const cTrendline::ClockAxis axis{end.toSecsSinceEpoch(), double(span) / 600};
        const auto lines = cTrendline::ClockGrid(axis, g, maxX);
        ASSERT_GE(lines.size(), 3u) << span;
        ASSERT_LE(lines.size(), 8u) << span;
        for (const auto& line : lines) {
            // x back to a time: point = (end - t) / secondsPerRecord + 1.
            const double point = (line.x - g.W) * maxX / g.P;
            const qint64 t = std::llround(axis.end - (point - 1) * axis.secondsPerRecord);
            const QDateTime local = QDateTime::fromSecsSinceEpoch(t);
            EXPECT_EQ((local.toSecsSinceEpoch() + local.offsetFromUtc()) % step, 0) << span;
            if (step < 86400 && local.time() != QTime(0, 0)) {
                EXPECT_EQ(line.label, local.toString(QLatin1String(format)));
            }
        }
    }
}
