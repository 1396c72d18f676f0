// The strip chart drawn onto a recording surface (6000 x 3000 twips).
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>
#include <cmath>

#include "TestUtil.h"
#include "trend/RecordingSurface.h"
#include "trend/SqlRecordSet.h"
#include "trend/cTrendline.h"

using namespace tuvik;
using Rec = RecordingSurface;

namespace {

TrendArray PidTable() {
    TrendArray a(5);
    const char* names[] = {"Measurement", "Control output", "Setpoint", "FeedForward"};
    for (int s = 0; s < 4; ++s) {
        a.set(s, 0, names[s]);
        a.set(s, 1, "");
    }
    return a;
}

template <typename F>
void Fill(TrendArray& a, int s, F f) {
    for (int p = 2; p <= TrendArray::kLastPoint; ++p) {
        a.set(s, p, f(p));
    }
}

struct Chart : ::testing::Test {
    Rec surface{6000, 3000};
    cTrendline chart;
    void SetUp() override { chart.setPicBox(&surface); }
    void Redraw(const TrendArray& a, bool percent) {
        surface.clear();
        chart.DrawTrend(a, percent);
    }
    // Segments of a colour; grid 1 keeps the horizontal (value) ones, 2 the vertical (time) ones.
    std::vector<Rec::DrawnLine> Lines(SurfaceColor c, int grid = 0) const {
        std::vector<Rec::DrawnLine> out;
        std::copy_if(
            surface.lines().begin(), surface.lines().end(), std::back_inserter(out),
            [&](const auto& l) {
                return l.color == c && l.form == LineForm::Segment &&
                       (grid == 0 || (grid == 1 ? l.y1 == l.y2 && l.x1 != l.x2 : l.x1 == l.x2));
            });
        return out;
    }
    QStringList TextsAt(double x) const {
        QStringList t;
        for (const auto& p : surface.prints()) {
            t << (std::fabs(p.x - x) < 1e-6 ? p.text : QString());
        }
        t.removeAll(QString());
        return t;
    }
    const Rec::PrintedText* Find(const QString& text) const {
        const auto it = std::find_if(surface.prints().begin(), surface.prints().end(),
                                     [&](const auto& p) { return p.text == text; });
        return it == surface.prints().end() ? nullptr : &*it;
    }
};

}  // namespace

TEST(TrendAutoScale, DeadBandAroundThePeakAndTheScanRange) {
    cTrendline c;
    c.setMaxY(500);
    TrendArray a = PidTable();
    auto peakOf = [&](double peak) {
        Fill(a, 0, [](int p) { return TrendCell(double(p % 7)); });
        a.set(0, 57, peak);
        c.AutoScaleY(a);
        return c.maxY();
    };
    // 100 keeps 107: 105 < 107 and 100 >= 92; 96.5 rounds to the even 96.
    const std::pair<double, int> peaks[] = {{97, 107}, {100, 107}, {103, 113}, {96.5, 106}};
    for (const auto& [peak, maxY] : peaks) {
        EXPECT_EQ(peakOf(peak), maxY) << peak;
    }
    c.setMaxX(100);
    a = PidTable();
    auto scaled = [&](int p, TrendCell v) {
        a.set(1, p, v);
        c.setMaxY(500);
        c.AutoScaleY(a);
        return c.maxY();
    };
    EXPECT_EQ(scaled(99, 300.0), 10);     // point maxX - 1: beyond the scan
    EXPECT_EQ(scaled(98, 300.0), 310);    // point maxX - 2: the last one scanned
    EXPECT_EQ(scaled(98, "150"), 160);    // a text that reads as a number counts
    EXPECT_EQ(scaled(42, "high"), 500);   // not a number: the scale is kept
    EXPECT_EQ(scaled(42, 32760.0), 500);  // no room for the margin in an Integer
    EXPECT_EQ(scaled(42, 32757.0), 32767);
}

TEST_F(Chart, GeometryGridsAndLabelsOfTheMainWindowsChart) {
    chart.setMaxX(360);
    chart.setResolution(6);
    const auto g = cTrendline::ComputeGeometry(surface, 0);
    EXPECT_EQ(std::tuple(g.W, g.B, g.H, g.P, g.Z, g.X0, g.T),
              std::tuple(4800.0f, 2700.0f, 2600, -4300, 0, 500, 100));
    chart.setMaxY(600);
    Redraw(PidTable(), true);
    const auto h = Lines(kGrey, 1);
    ASSERT_EQ(h.size(), 7u);  // 100 apart from 0 to 600
    EXPECT_EQ(std::tuple(h[0].x1, h[0].y1, h[0].x2, h[6].y1),
              std::tuple(500.0, 2700.0, 4800.0, 100.0));
    EXPECT_EQ(TextsAt(50),
              QStringList({" 0 ", " 100 ", " 200 ", " 300 ", " 400 ", " 500 ", " 600 "}));
    EXPECT_EQ(TextsAt(4810), QStringList({" 0 ", " 17 ", " 33 ", " 50 ", " 67 ", " 83 ", " 100 "}));
    EXPECT_NEAR(Find(" 17 ")->y, h[1].y1 - 85, 1e-3);
    EXPECT_EQ(Find(" 17 ")->color, kYellow);
    EXPECT_EQ(Find("Measurement")->x, 5200);  // the legend moves for the percent axis
    // 0.1 summed ten times in single precision lands just above 1: no line at maxY.
    chart.setMaxY(1);
    chart.setResolution(10);
    Redraw(PidTable(), false);
    EXPECT_EQ(std::tuple(Lines(kGrey, 1).size(), Find("Measurement")->x), std::tuple(10u, 4850.0));
    chart.setMaxY(100);
    chart.setMinY(-1);  // a negative minY lifts the zero line by one step
    Redraw(PidTable(), false);
    EXPECT_EQ(Lines(kGrey, 1).size(), 12u);
    EXPECT_EQ(Lines(kGrey, 1)[1].y1, 2440);
    EXPECT_EQ(TextsAt(50).first(), "-10 ");
}

TEST_F(Chart, CurvesClampRoundAndRunFromEitherEdge) {
    chart.setMaxX(360);
    chart.setMaxY(104);  // 25 twips per unit
    TrendArray a = PidTable();
    Fill(a, 0, [](int p) {
        return TrendCell(p == 10 ? 1000.0 : p == 20 ? TrendCell(QStringLiteral("x")) : 52.0);
    });
    Fill(a, 1, [](int) { return TrendCell(-50.0); });
    Fill(a, 2, [](int p) { return TrendCell(p == 2 ? 0.5 : 1.5); });  // 12.5 and 37.5 twips up
    Fill(a, 3, [](int) { return TrendCell(52.0); });
    Redraw(a, true);
    const auto s0 = Lines(kWhite);
    ASSERT_EQ(s0.size(), 357u);
    const double step = -4300.0 / 360.0;
    EXPECT_NEAR(s0.front().x1, 4800 + 2 * step, 1e-9);   // point 2, two places in from the right
    EXPECT_NEAR(s0.back().x2, 4800 + 359 * step, 1e-9);  // the last point drawn is maxX - 1
    EXPECT_EQ(std::tuple(s0[0].y1, s0[7].y2, s0[17].y2),
              std::tuple(1400.0, 100.0, 1400.0));  // top edge; "x" keeps 52
    // Only series 1 is a percentage: -50 % runs along the bottom; halves round to even.
    EXPECT_EQ(std::tuple(Lines(kYellow).front().y1, Lines(kRed).front().y1, Lines(kRed).front().y2,
                         Lines(kCyan).front().y1),
              std::tuple(2700.0, 2688.0, 2662.0, 1400.0));
    chart.setToRight(true);
    Redraw(a, true);
    EXPECT_NEAR(Lines(kWhite).front().x1, 500 - 2 * step, 1e-9);
    EXPECT_EQ(Find("0 min")->x, 415);

    chart.setToRight(false);
    chart.setMaxX(420);  // points past 400 are beyond the table: flat at point 400
    Fill(a, 0, [](int p) { return TrendCell(double(p % 47)); });
    Redraw(a, false);
    const auto far = Lines(kWhite);
    ASSERT_EQ(far.size(), 417u);
    EXPECT_EQ(far[398].y2, 2700 - 25.0 * (400 % 47));
    EXPECT_EQ(far.back().y2, far[398].y2);
}

// Samples come one per reply: the time lines stand where the age (from the
// newest stamp, plus the age of a view of older samples) is a whole step,
// between samples where it falls between them; past the oldest stamp at the
// rate the stamps show. Without stamps a minute is 60 points from the edge.
TEST_F(Chart, StampedSamplesLabelTheTimeAxisInRealTime) {
    chart.setMaxX(360);
    const struct {
        double interval;  // seconds between stamps
        int stamped;      // newest samples stamped
        double offset;    // age of the newest sample drawn
        double firstPoint, pointsPerStep;
        QStringList labels;
    } rows[] = {
        {1.0, 0, 0, 0, 60, {"0 min", "1 min", "2 min", "3 min", "4 min", "5 min", "6 min"}},
        {1.0, 399, 0, 2, 60, {"0 min", "1 min", "2 min", "3 min", "4 min", "5 min"}},
        {1.0 / 3, 399, 0, 2, 60, {"0 s", "20 s", "40 s", "60 s", "80 s", "100 s"}},
        {0.3, 399, 0, 2, 20 / 0.3, {"0 s", "20 s", "40 s", "60 s", "80 s", "100 s"}},
        {0.1, 399, 0, 2, 100, {"0 s", "10 s", "20 s", "30 s"}},
        {0.1, 150, 0, 2, 100, {"0 s", "10 s", "20 s", "30 s"}},  // on at that rate
        {0.25, 399, 35, 42, 60, {"45 s", "60 s", "75 s", "90 s", "105 s", "120 s"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.labels.join(' ').toStdString());
        TrendArray a = PidTable();
        for (int k = r.stamped - 1; k >= 0; --k) {
            a.PushTime(1000 - k * r.interval);
        }
        chart.setXTitleOffset(r.offset);
        Redraw(a, false);
        const auto v = Lines(kGrey, 2);
        ASSERT_EQ(v.size(), size_t(r.labels.size()));
        for (size_t k = 0; k < v.size(); ++k) {
            EXPECT_NEAR(v[k].x1, 4800 - (r.firstPoint + k * r.pointsPerStep) * 4300 / 360, 1e-6);
            const auto* label = Find(r.labels[int(k)]);
            ASSERT_NE(label, nullptr) << k;
            EXPECT_EQ(std::tuple(label->x, label->y, v[k].y1, v[k].y2),
                      std::tuple(v[k].x1 - 85, 2785.0, 2700.0, 100.0));
        }
    }
}

// The database drawing: record k at point k + 2, every series from the same
// records, the column found without the name's hyphens; running out of
// records ends the drawing quietly where it is (later series undrawn, bold
// left on), a column the result lacks with a message.
TEST_F(Chart, DatabaseDrawingWalksTheRecordsAndEndsQuietlyAtTheLast) {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "trend");
    db.setDatabaseName(":memory:");
    ASSERT_TRUE(db.open());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec("CREATE TABLE t (O2 REAL, Tgas REAL)"));
    db.transaction();
    for (int k = 0; k < 1000; ++k) {
        q.exec(QString("INSERT INTO t VALUES (%1, %1)").arg(k % 100));
    }
    db.commit();
    struct : UserNotifier {
        QStringList got;
        void ShowMessage(const QString& t) override { got << t; }
    } sink;
    chart.setNotifier(&sink);
    const struct {
        int records;
        QStringList names, legend, namesAfter;
        size_t white, yellow;
        bool bold;
    } rows[] = {{1000, {"O2", "T-gas"}, {"O2", "T-gas"}, {"O2", "Tgas"}, 297, 297, false},
                {50, {"O2", "T-gas"}, {"O2"}, {"O2", "T-gas"}, 49, 0, true},
                {0, {"O2", "T-gas"}, {"O2"}, {"O2", "T-gas"}, 0, 0, true},
                {9, {"CO2", "T-gas"}, {"CO2"}, {"CO2", "T-gas"}, 0, 0, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.records);
        QStringList names = r.names + QStringList{"", "", ""};
        SqlRecordSet rs(QSqlQuery(QString("SELECT * FROM t LIMIT %1").arg(r.records), db));
        surface.clear();
        chart.DrawSQLTrend(rs, names, false);
        const auto white = Lines(kWhite), yellow = Lines(kYellow);
        EXPECT_EQ(std::tuple(white.size(), yellow.size(), surface.fontBold()),
                  std::tuple(r.white, r.yellow, r.bold));
        EXPECT_EQ(std::tuple(names.mid(0, 2), TextsAt(4850)), std::tuple(r.namesAfter, r.legend));
        EXPECT_EQ(TextsAt(4715), QStringList({" 0 "})) << "record counts from the right edge";
        if (!white.empty()) {  // segment 10 runs from record 10 (point 12) on, in every series
            EXPECT_EQ(std::tuple(white[10].x1, white[10].y1, white.back().y2),
                      std::tuple(4800 - 12 * 4300.0 / 300, 2440.0, 2700 - 26.0 * (r.white % 100)));
            EXPECT_EQ(yellow.empty() ? 2440.0 : yellow[10].y1, 2440.0);
        }
    }
    EXPECT_EQ(sink.got, QStringList{"Error: cDrawSQLTrend Item not found in this collection.3265"});
}
