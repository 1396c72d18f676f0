// The history: per-second aggregation, its tables and rollups, the one-row-
// per-column query, the clock axis, marks, retention and refused files.

#include <QDateTime>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "TestUtil.h"
#include "link/Packet.h"
#include "shell/Session.h"
#include "trend/HistoryStore.h"
#include "trend/HistoryRetention.h"
#include "trend/HistoryView.h"
#include "trend/RecordingSurface.h"
#include "trend/SqlRecordSet.h"

using namespace tuvik;
using tuvik::test::LiveSingles;
const auto Rows = tuvik::test::HistoryRows;
using tuvik::test::ReadFile;
using tuvik::test::SecondStats;
using tuvik::test::StatsOf;
using tuvik::test::WriteFile;

namespace {

struct HistoryFixture : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("history.sqlite"));
    qint64 nowMs = 1'700'000'000'000;
    Clock clock;
    HistoryStore store;
    void SetUp() override {
        clock.setSystem([this] { return nowMs; });
        store.setClock(clock);
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
    // A double as its shortest exact text, as the rows give it.
    const auto text = [](double v) { return QVariant(v).toString(); };
    QStringList seconds;
    std::vector<float> minute;  // loop 1's measurements
    double sumOfMeans = 0;
    for (const auto& [key, v] : got) {  // in the order of loop, then second
        const SecondStats meas = StatsOf(v);
        seconds << QStringLiteral("%1 %2 %3 %4 %5 %1 %6")
                       .arg(key.first)
                       .arg(key.second)
                       .arg(text(meas.mean), text(meas.min), text(meas.max))
                       .arg(key.second == 1 ? 1 : 0);
        if (key.first == 1) {
            minute.insert(minute.end(), v.begin(), v.end());
            sumOfMeans += meas.mean;
        }
    }
    EXPECT_EQ(Rows(path,
                   "SELECT loop, t - 1700000000, meas_avg, meas_min, meas_max, mode, alarm "
                   "FROM sec ORDER BY loop, t"),
              seconds);
    // The minute holding the three seconds: count, extremes, sum of means.
    EXPECT_EQ(Rows(path, "SELECT n, meas_min, meas_max FROM min1 WHERE loop = 1"),
              QStringList{QStringLiteral("3 %1 %2").arg(text(StatsOf(minute).min),
                                                        text(StatsOf(minute).max))});
    EXPECT_DOUBLE_EQ(Rows(path, "SELECT meas_sum FROM min1 WHERE loop = 1").value(0).toDouble(),
                     sumOfMeans);
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

TEST_F(HistoryFixture, RetentionRemovesOnlyRowsWhollyPastItFromEveryLoop) {
    // Pruned at 10:30:30 a day later: the 10:30 minute and the 10:00 hour
    // still hold kept seconds.
    const qint64 h = 1'700'002'800, before = h + 1830;
    const std::pair<int, qint64> seconds[] = {{0, -3600}, {0, 1740},  {0, 1810},
                                              {0, 1840},  {1, -3600}, {1, 1840}};
    for (const auto& [loop, t] : seconds) {
        nowMs = (h + t) * 1000;
        store.AddLive(loop, {1, 2, 3, 4}, 0, 0);
        store.AddEvent(loop, QStringLiteral("send"), QStringLiteral("x"));
    }
    store.setRetentionDays(1);
    nowMs += 1000;
    store.Sync();
    {  // loop 1's rollups gone (as older versions pruned them before its seconds)
        HistoryDb writer(QStringLiteral("writer"));
        ASSERT_EQ(writer.Open(path), QString());
        ASSERT_TRUE(QSqlQuery(writer.database()).exec("DELETE FROM hour1 WHERE loop = 1"));
    }
    nowMs = (before + 86400) * 1000 + 999;
    store.Sync();
    const std::pair<const char*, QStringList> kept[] = {{"sec", {"0 1840", "1 1840"}},
                                                        {"min1", {"0 1800", "1 1800"}},
                                                        {"hour1", {"0 0"}},
                                                        {"events", {"0 1840", "1 1840"}}};
    for (const auto& [table, rows] : kept) {
        EXPECT_EQ(
            Rows(path,
                 QStringLiteral("SELECT loop, t - %1 FROM %2 ORDER BY loop, t").arg(h).arg(table)),
            rows)
            << table;
    }
}

TEST(History, BothLiveRepliesCountForTheSelectedLoopOnceTheyAreItsOwn) {
    QTemporaryDir dir;
    Session session(AppPaths(dir.path(), dir.path(), {dir.path()}));
    session.Start();
    const qint64 t0 = 1'700'000'000;
    qint64 nowMs = t0 * 1000;
    session.clock().setSystem([&] { return nowMs; });
    session.ctx().setLinkConnected(true);
    session.loops().SetSelectedIndex(0);
    enum Kind { Live, Quiet, Ack, Select };
    // Loop 1 is acknowledged; the return to loop 0 is not and settles after
    // kLoopSettlePeriods refresh periods (500 ms without a link).
    const std::tuple<int, Kind, int> steps[] = {
        {0, Live, 10},     {200, Quiet, 30}, {900, Select, 1},  {1000, Live, 10},
        {1100, Quiet, 10}, {1200, Ack, 1},   {1400, Live, 50},  {1500, Quiet, 60},
        {2900, Select, 0}, {3000, Live, 70}, {4000, Quiet, 70}, {4600, Live, 80}};
    for (const auto& [ms, kind, value] : steps) {
        nowMs = t0 * 1000 + ms;
        if (kind == Select) {
            session.loops().SetSelectedIndex(value);
        } else if (kind == Ack) {
            session.dispatcher().HandleReply(Cmd::SelectLoop, std::vector<uint8_t>{uint8_t(value)});
        } else {
            session.dispatcher().HandleReply(kind == Live ? Cmd::LiveValues : Cmd::LiveValuesQuiet,
                                             LiveSingles(5, float(value), 2, 3));
        }
    }
    nowMs += 2000;
    session.history().Sync();
    const QString path = session.history().databasePath();
    EXPECT_EQ(Rows(path, QStringLiteral("SELECT loop, t - %1, meas_min, meas_max, meas_avg FROM "
                                        "sec ORDER BY t")
                             .arg(t0)),
              QStringList({"0 0 10 30 20", "1 1 50 60 55", "0 4 80 80 80"}));
    EXPECT_EQ(Rows(path, QStringLiteral("SELECT t - %1, loop, kind FROM events").arg(t0)),
              QStringList({"1 -1 loop", "3 -1 loop"}));
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

TEST(History, ClockLinesStandOnLocalMidnightsAndHoursOnBothSidesOfAChange) {
    const cTrendline::Geometry g{8000, 100, 500, 3000, 0, 2900, -7500};
    const QTimeZone helsinki("Europe/Helsinki"), newYork("America/New_York");
    ASSERT_TRUE(helsinki.isValid() && newYork.isValid()) << "tzdata missing";
    const qint64 week = 7 * 86400;
    // Zone, local end, span, the labels (4-day steps count days from 1970).
    const std::tuple<QTimeZone, const char*, qint64, const char*> cases[] = {
        {helsinki, "2025-04-02T12:00", week, "27.3. 28.3. 29.3. 30.3. 31.3. 1.4. 2.4."},
        {helsinki, "2025-03-30T10:00", 43200, "22:00 30.3. 02:00 04:00 06:00 08:00 10:00"},
        {helsinki, "2025-10-29T12:00", week, "23.10. 24.10. 25.10. 26.10. 27.10. 28.10. 29.10."},
        {helsinki, "2025-10-26T06:30", 21600, "02:00 03:00 03:00 04:00 05:00 06:00"},
        {newYork, "2025-03-12T12:00", week, "6.3. 7.3. 8.3. 9.3. 10.3. 11.3. 12.3."},
        {newYork, "2025-11-05T12:00", week, "30.10. 31.10. 1.11. 2.11. 3.11. 4.11. 5.11."},
        {helsinki, "2025-04-15T12:00", 30 * 86400, "17.3. 21.3. 25.3. 29.3. 2.4. 6.4. 10.4. 14.4."},
    };
    for (const auto& [zone, localEnd, span, labels] : cases) {
        const int maxX = 602;
        QDateTime end = QDateTime::fromString(QLatin1String(localEnd), Qt::ISODate);
        end.setTimeZone(zone);
        const cTrendline::ClockAxis axis{end.toSecsSinceEpoch(), double(span) / 600, zone};
        const auto lines = cTrendline::ClockGrid(axis, g, maxX);
        QStringList got;
        for (const auto& line : lines) {
            // x back to a time: point = (end - t) / secondsPerRecord + 1.
            const double point = (line.x - g.W) * maxX / g.P;
            const qint64 t = std::llround(axis.end - (point - 1) * axis.secondsPerRecord);
            const QDateTime local = QDateTime::fromSecsSinceEpoch(t, zone);
            EXPECT_EQ((t + local.offsetFromUtc()) % (span > 43200 ? 86400 : span / 6), 0)
                << local.toString(Qt::ISODate).toStdString();
            got << line.label;
        }
        EXPECT_EQ(got.join(' '), QLatin1String(labels));
    }
}

TEST_F(HistoryFixture, TheCurveIsDrawnAtEverySpanWithGapsOnlyWhereNoRowsWereKept) {
    const qint64 t0 = 1'700'002'800, t1 = t0 + 3600;
    // No rows kept in the hole but for one second alone in it.
    const qint64 hole0 = t0 + 3300, hole1 = t0 + 3420, alone = hole0 + 60;
    auto kept = [&](qint64 t) {
        return t >= t0 && t < t1 && (t < hole0 || t >= hole1 || t == alone);
    };
    for (qint64 t = t0; t < t1; ++t) {
        if (kept(t)) {
            nowMs = t * 1000;
            store.AddLive(0, {float(t % 7), 0, 50, 0}, 1, 0);
        }
    }
    nowMs = (t1 + 2) * 1000;
    store.Sync();
    RecordingSurface surface(9000, 3000);
    const cTrendline::Geometry g = cTrendline::ComputeGeometry(surface, 0);
    const int columns = 600;
    for (const qint64 span : {HistoryView::kMinSpan, qint64(240), qint64(360), qint64(3600)}) {
        HistoryView view;
        view.setColumns(columns);
        view.Choose(0, t1 - span, t1);
        QString error;
        SqlRecordSet rs(view.Run(Reader(), &error));
        cTrendline chart;
        chart.setPicBox(&surface);
        chart.setMaxX(int16_t(view.ChartMaxX()));
        chart.setClockAxis(view.Axis());
        QStringList names = HistoryView::DrawnSeries();
        surface.clear();
        chart.DrawSQLTrend(rs, names, true);
        auto drawn = [&](int k) {  // the measurement's curve passes column k (newest first)
            const double x = g.W + (k + 2.0) * g.P / view.ChartMaxX();
            return std::any_of(surface.lines().begin(), surface.lines().end(), [&](auto& l) {
                return l.color == kWhite && l.form == LineForm::Segment &&
                       std::min(l.x1, l.x2) <= x + 1e-6 && x - 1e-6 <= std::max(l.x1, l.x2);
            });
        };
        int missing = 0, bridged = 0;  // columns drawn wrongly
        for (int k = 0; k < columns; ++k) {
            // The seconds the column overlaps: all kept, or none.
            const double a = double(t1 - span) + double(columns - 1 - k) * span / columns;
            int keptSeconds = 0, seconds = 0;
            for (qint64 t = qint64(std::floor(a)); t < a + double(span) / columns; ++t, ++seconds) {
                keptSeconds += kept(t);
            }
            missing += keptSeconds == seconds && !drawn(k);
            bridged += keptSeconds == 0 && drawn(k);
        }
        EXPECT_EQ(missing, 0) << span << " s";
        EXPECT_EQ(bridged, 0) << span << " s";
        if (span == 3600) {  // six seconds a column: the lone one's among five missing
            EXPECT_TRUE(drawn(columns - 1 - int((alone - t0) * columns / span)));
        }
    }
}

TEST_F(HistoryFixture, ReadoutAndCsvGiveEveryValueColumnWithTheTimesOffset) {
    // The hour repeated when Helsinki's clocks go back: 03:xx at +03:00,
    // then again at +02:00. Two samples a second, each column its own values.
    const qint64 first =
        QDateTime(QDate(2025, 10, 26), QTime(0, 30), QTimeZone::utc()).toSecsSinceEpoch();
    for (const qint64 t : {first, first + 3600}) {
        for (const float step : {0.f, 2.f}) {
            nowMs = t * 1000 + qint64(step) * 100;
            const float base = (t - first) / 3600.f * 100;
            store.AddLive(
                0, {base + 10 + step, base + 20 + step, base + 30 + step, base + 40 + step}, 1, 0);
        }
    }
    nowMs = (first + 7200) * 1000;
    store.Sync();
    HistoryView view;
    view.setTimeZone(QTimeZone("Europe/Helsinki"));
    view.setColumns(2);
    view.Choose(0, first - 1800, first + 5400);
    QString error;
    view.Run(Reader(), &error);
    ASSERT_EQ(error, QString());
    const QStringList newest = {
        "2025-10-26 03:00:00+02:00", "Measurement: 111.00 (110.00 .. 112.00)",
        "Setpoint: 121.00 (120.00 .. 122.00)", "Output: 131.00 (130.00 .. 132.00)",
        "y_fw: 141.00 (140.00 .. 142.00)"};
    EXPECT_EQ(view.Readout(2.0 / view.ChartMaxX()), newest);
    EXPECT_EQ(view.Readout(3.0 / view.ChartMaxX())[0], QStringLiteral("2025-10-26 03:00:00+03:00"));
    EXPECT_EQ(
        view.Csv(),
        "time,Measurement,Measmin,Measmax,Setpoint,Spmin,Spmax,Output,Outmin,Outmax,yfw,yfwmin,"
        "yfwmax\r\n2025-10-26 03:00:00+03:00,11,10,12,21,20,22,31,30,32,41,40,42\r\n"
        "2025-10-26 03:00:00+02:00,111,110,112,121,120,122,131,130,132,141,140,142\r\n");
}

// Lowering the retention asks first, naming the day from which the history
// goes; a retention that removes nothing asks nothing.
TEST(HistoryRetentionTest, AsksOnlyWhenARowWouldGoAndSaysFromWhichDay) {
    // Noon UTC: the same day in the test machine's zone.
    const qint64 now = QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 day = 86400;
    const struct {
        HistoryBatch stored;
        int days;
        const char* question;  // after "Remove the history older than "; none when empty
    } cases[] = {
        {{}, 1, ""},
        {{{{now - 40 * day, 2, 1}}, {}, {}}, 30, "30 days (before 8 Nov 2026)?"},
        {{{{now - 40 * day, 2, 1}}, {}, {}}, 40, ""},  // its second ends after the cutoff
        {{{{now, 0, 1}}, {{now - 50 * day, -1, "alarm", "on"}}, {}},
         45,
         "45 days (before 24 Oct 2026)?"},
        {{{}, {}, {{now - day - 1, "burner row"}}}, 1, "1 day (before 7 Dec 2026)?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.question);
        QTemporaryDir dir;
        HistoryDb db(QStringLiteral("retention"));
        ASSERT_EQ(db.Open(dir.filePath(QStringLiteral("h.sqlite"))), QString());
        ASSERT_EQ(db.Write(c.stored), QString());
        const QString q = RetentionQuestion(c.days, HistoryOldestEnd(db.database()), now)
                              .value_or(QStringLiteral("Remove the history older than "));
        EXPECT_EQ(q, QStringLiteral("Remove the history older than ") + c.question);
    }
}
