// The strip chart drawn onto a recording surface: settings, automatic scale,
// geometry, grids, legend and curves, and the settings that must not hang it.
#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <cmath>

#include "TestUtil.h"
#include "support/Numbers.h"
#include "trend/RecordingSurface.h"
#include "trend/cTrendline.h"

using namespace tuvik;
using Rec = RecordingSurface;

namespace {

// The main window's chart: settings made at creation and before each redraw.
void MainWindowSettings(cTrendline& c) {
    c.setMaxX(300);
    c.setMaxY(500);
    c.setMinY(0);
    c.setResolution(5);
    c.setMaxX(360);
    c.setAutoScale(true);
    c.setMinY(0);
    c.setResolution(6);
}

TrendArray PidTable() {
    TrendArray a(5);
    const char* names[] = {"Measurement", "Control output", "Setpoint", "FeedForward"};
    for (int s = 0; s < 4; ++s) {
        a.set(s, 0, names[s]);
        a.set(s, 1, "");
    }
    return a;
}

// Fills points 2.. of a series with f(point).
template <typename F>
void Fill(TrendArray& a, int s, F f) {
    for (int p = 2; p <= TrendArray::kLastPoint; ++p) {
        a.set(s, p, f(p));
    }
}

std::vector<Rec::DrawnLine> LinesOf(const Rec& r, SurfaceColor c,
                                    LineForm form = LineForm::Segment) {
    std::vector<Rec::DrawnLine> out;
    for (const auto& l : r.lines()) {
        if (l.color == c && l.form == form) {
            out.push_back(l);
        }
    }
    return out;
}

std::vector<Rec::DrawnLine> HorizontalGrid(const Rec& r) {
    auto g = LinesOf(r, kGrey);
    std::erase_if(g, [](const auto& l) { return l.y1 != l.y2 || l.x1 == l.x2; });
    return g;
}

std::vector<Rec::DrawnLine> VerticalGrid(const Rec& r) {
    auto g = LinesOf(r, kGrey);
    std::erase_if(g, [](const auto& l) { return l.x1 != l.x2; });
    return g;
}

std::vector<Rec::PrintedText> PrintsAt(const Rec& r, double x) {
    std::vector<Rec::PrintedText> out;
    for (const auto& p : r.prints()) {
        if (std::fabs(p.x - x) < 1e-6) {
            out.push_back(p);
        }
    }
    return out;
}

QStringList Texts(const std::vector<Rec::PrintedText>& ps) {
    QStringList t;
    for (const auto& p : ps) {
        t << p.text;
    }
    return t;
}

const Rec::PrintedText* FindPrint(const Rec& r, const QString& text) {
    for (const auto& p : r.prints()) {
        if (p.text == text) {
            return &p;
        }
    }
    return nullptr;
}

struct Chart : ::testing::Test {
    Rec surface{6000, 3000};
    cTrendline chart;
    void SetUp() override { chart.setPicBox(&surface); }
};

}  // namespace

TEST(TrendSettings, NewChartAndReplacementOfZero) {
    cTrendline c;
    EXPECT_EQ(c.DrawPoints(), 300);
    EXPECT_EQ(c.maxY(), 100);
    EXPECT_EQ(c.minY(), 0);
    EXPECT_EQ(c.Resolution(), 10);
    EXPECT_EQ(c.maxX(), 300);
    EXPECT_TRUE(c.ShowValue());
    EXPECT_FALSE(c.AutoScale());
    EXPECT_FALSE(c.ToRight());
    EXPECT_FALSE(c.ShowLimits());
    EXPECT_TRUE(c.XTitleShow());
    EXPECT_EQ(c.XTitleScale(), 60);
    EXPECT_EQ(c.XTitleEnd(), " min");
    EXPECT_EQ(c.PicBox(), nullptr);

    // Any value is stored; 0 is replaced by the next redraw, with or without a surface.
    c.setMaxY(0);
    c.setResolution(0);
    c.setMaxX(0);
    c.setDrawPoints(-7);
    EXPECT_EQ(c.maxY(), 0);
    c.DrawTrend(TrendArray(5), false);
    EXPECT_EQ(c.maxY(), 100);
    EXPECT_EQ(c.Resolution(), 10);
    EXPECT_EQ(c.maxX(), 600);
    EXPECT_EQ(c.DrawPoints(), -7);

    Rec r(6000, 3000);
    c.setPicBox(&r);
    c.setMaxX(0);
    c.setMaxY(0);
    c.DrawTrend(PidTable(), false);
    EXPECT_EQ(c.maxX(), 600);
    EXPECT_EQ(c.maxY(), 100);
    // Eleven value lines, so the replacement was in force for the drawing too.
    EXPECT_EQ(HorizontalGrid(r).size(), 11u);
}

TEST(TrendAutoScale, DeadBandAroundThePeak) {
    cTrendline c;
    c.setMaxY(500);
    TrendArray a = PidTable();
    auto peakOf = [&](double peak) {
        Fill(a, 0, [](int p) { return TrendCell(double(p % 7)); });
        a.set(0, 57, peak);
        c.AutoScaleY(a);
        return c.maxY();
    };
    EXPECT_EQ(peakOf(97), 107);
    EXPECT_EQ(peakOf(100), 107);  // 105 < 107 and 100 >= 92
    EXPECT_EQ(peakOf(103), 113);
    EXPECT_EQ(peakOf(80), 90);
    c.setMaxY(500);
    EXPECT_EQ(peakOf(96.5), 106);  // rounded half to even: 96
    c.setMaxY(500);
    EXPECT_EQ(peakOf(97.5), 108);  // 98

    // No named series: the peak stays 0.
    TrendArray unnamed(5);
    Fill(unnamed, 0, [](int) { return TrendCell(250.0); });
    for (auto [from, to] :
         {std::pair{20, 10}, {12, 12}, {3, 10}, {16, 10}, {15, 15}, {-32760, 10}}) {
        c.setMaxY(static_cast<int16_t>(from));
        c.AutoScaleY(unnamed);
        EXPECT_EQ(c.maxY(), to) << from;
    }
    // A name of empty text is no name, however large the samples.
    unnamed.set(0, 0, "");
    c.setMaxY(20);
    c.AutoScaleY(unnamed);
    EXPECT_EQ(c.maxY(), 10);
}

TEST(TrendAutoScale, ScanRangeAndSamplesThatAbandonIt) {
    cTrendline c;
    c.setMaxX(100);
    TrendArray a = PidTable();
    a.set(3, 1, "900");  // unit cells are not samples
    auto scaled = [&](int16_t from) {
        c.setMaxY(from);
        c.AutoScaleY(a);
        return c.maxY();
    };
    a.set(1, 99, 300.0);  // point maxX - 1: beyond the scan
    EXPECT_EQ(scaled(500), 10);
    a.set(1, 98, 300.0);  // point maxX - 2: the last one scanned
    EXPECT_EQ(scaled(500), 310);
    a.set(2, 40, -40000.0);  // far below the peak: never rounded, harmless
    EXPECT_EQ(scaled(500), 310);
    a.set(2, 41, "150");  // a text that reads as a number counts as that number
    a.set(1, 98, 0.0);
    EXPECT_EQ(scaled(500), 160);

    a.set(2, 42, "high");
    EXPECT_EQ(scaled(500), 500);  // not a number: scale kept
    a.set(2, 42, 40000.0);
    EXPECT_EQ(scaled(500), 500);  // beyond the Integer range
    a.set(2, 42, 32760.0);
    EXPECT_EQ(scaled(500), 500);  // peak + 10 does not fit an Integer
    a.set(2, 42, 32757.0);
    EXPECT_EQ(scaled(500), 32767);
    a.set(2, 42, 1.0);
    a.set(1, 99, 0.0);

    // A scan past the end of the table abandons too, and so does the redraw's scan.
    c.setMaxX(500);
    EXPECT_EQ(scaled(500), 500);
    c.setMaxX(360);
    c.setAutoScale(true);
    c.setMaxY(500);
    c.DrawTrend(a, true);
    EXPECT_EQ(c.maxY(), 160);
    c.setAutoScale(false);
    c.setMaxY(500);
    c.DrawTrend(a, true);
    EXPECT_EQ(c.maxY(), 500);
}

TEST_F(Chart, MainWindowGeometryAndTimeAxis) {
    MainWindowSettings(chart);
    const auto g = cTrendline::ComputeGeometry(surface, chart.minY());
    EXPECT_EQ(g.W, 4800.0f);
    EXPECT_EQ(g.B, 2700.0f);
    EXPECT_EQ(g.H, 2600);
    EXPECT_EQ(g.P, -4300);
    EXPECT_EQ(g.Z, 0);
    EXPECT_EQ(g.X0, 500);
    EXPECT_EQ(g.T, 100);

    chart.DrawTrend(PidTable(), true);
    const auto v = VerticalGrid(surface);
    const double xs[] = {4800, 4083.33, 3366.67, 2650, 1933.33, 1216.67, 500};
    ASSERT_EQ(v.size(), 7u);
    for (size_t k = 0; k < 7; ++k) {
        EXPECT_NEAR(v[k].x1, xs[k], 0.01) << k;
        EXPECT_EQ(v[k].y1, 2700);  // from the bottom edge up
        EXPECT_EQ(v[k].y2, 100);
        const auto* label = FindPrint(surface, QString::number(k) + " min");
        ASSERT_NE(label, nullptr) << k;
        EXPECT_NEAR(label->x, xs[k] - 85, 0.01);
        EXPECT_EQ(label->y, 2785);
        EXPECT_EQ(label->color, kWhite);
        EXPECT_FALSE(label->bold);
    }
    const auto h = HorizontalGrid(surface);
    ASSERT_FALSE(h.empty());
    EXPECT_EQ(h[0].y1, 2700);
    EXPECT_EQ(h[0].x1, 500);
    EXPECT_EQ(h[0].x2, 4800);
    const auto labels = PrintsAt(surface, 50);
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels[0].text, " 0 ");
    EXPECT_EQ(labels[0].y, 2615);

    // The frame over the grid, in the button-face colour.
    const auto frame = LinesOf(surface, kButtonFace, LineForm::Box);
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0].x1, 500);
    EXPECT_EQ(frame[0].y1, 2700);
    EXPECT_EQ(frame[0].x2, 4800);
    EXPECT_EQ(frame[0].y2, 100);
}

TEST_F(Chart, ValueGridCountsLabelsAndSinglePrecisionSum) {
    chart.DrawTrend(TrendArray(5), false);
    auto h = HorizontalGrid(surface);
    ASSERT_EQ(h.size(), 11u);
    for (size_t k = 0; k < h.size(); ++k) {
        EXPECT_NEAR(h[k].y1, 2700 - 260.0 * static_cast<double>(k), 1e-3);
    }
    EXPECT_EQ(Texts(PrintsAt(surface, 50)),
              QStringList({" 0 ", " 10 ", " 20 ", " 30 ", " 40 ", " 50 ", " 60 ", " 70 ", " 80 ",
                           " 90 ", " 100 "}));

    // 0.1 summed ten times in single precision lands just above 1: no line at
    // maxY (a double sum would land below it and draw eleven lines).
    surface.clear();
    chart.setMaxY(1);
    chart.DrawTrend(TrendArray(5), false);
    EXPECT_EQ(HorizontalGrid(surface).size(), 10u);
    EXPECT_EQ(Texts(PrintsAt(surface, 50)).count(" 0 "), 10);  // whole part, rounded down

    surface.clear();
    chart.setMaxY(13);
    chart.setResolution(6);
    chart.DrawTrend(TrendArray(5), false);
    EXPECT_EQ(HorizontalGrid(surface).size(), 6u);
    EXPECT_EQ(Texts(PrintsAt(surface, 50)),
              QStringList({" 0 ", " 2 ", " 4 ", " 6 ", " 8 ", " 10 "}));
}

TEST_F(Chart, NegativeMinYLiftsTheZeroLine) {
    chart.setMinY(-1);
    chart.DrawTrend(TrendArray(5), false);
    EXPECT_EQ(cTrendline::ComputeGeometry(surface, -1).Z, -260);
    const auto h = HorizontalGrid(surface);
    ASSERT_EQ(h.size(), 12u);
    EXPECT_EQ(h[0].y1, 2700);  // B + Z + 260
    EXPECT_EQ(h[1].y1, 2440);  // the zero line
    const auto labels = Texts(PrintsAt(surface, 50));
    EXPECT_EQ(labels.first(), "-10 ");
    EXPECT_EQ(labels.at(1), " 0 ");
    EXPECT_EQ(labels.last(), " 100 ");
    // Value 100 lies H above the zero line, that is above the top edge.
    EXPECT_NEAR(h.back().y1, 2440 - 2600, 1e-3);
}

TEST_F(Chart, PercentAxisAndLegendOffset) {
    MainWindowSettings(chart);
    chart.setAutoScale(false);
    chart.setMaxY(600);  // 100 apart: the value grid reaches maxY
    TrendArray a = PidTable();
    chart.DrawTrend(a, true);
    const auto pct = PrintsAt(surface, 4810);
    EXPECT_EQ(Texts(pct), QStringList({" 0 ", " 17 ", " 33 ", " 50 ", " 67 ", " 83 ", " 100 "}));
    const auto h = HorizontalGrid(surface);
    ASSERT_EQ(h.size(), 7u);
    for (size_t k = 0; k < pct.size(); ++k) {
        EXPECT_NEAR(pct[k].y, h[k].y1 - 85, 1e-3) << k;  // level with the value lines
        EXPECT_EQ(pct[k].color, kYellow);
        EXPECT_FALSE(pct[k].bold);
    }
    EXPECT_EQ(FindPrint(surface, "Measurement")->x, 5200);
    // The label colour is set before and reset to white after each label.
    const auto& calls = surface.calls();
    const auto printIdx = std::find_if(calls.begin(), calls.end(), [](const Rec::Call& c) {
        return c.op == Rec::Op::CurrentX && c.x1 == 4810;
    });
    ASSERT_NE(printIdx, calls.end());
    EXPECT_EQ((printIdx - 1)->op, Rec::Op::ForeColor);
    EXPECT_EQ((printIdx - 1)->color, kYellow);
    EXPECT_EQ((printIdx + 3)->op, Rec::Op::ForeColor);
    EXPECT_EQ((printIdx + 3)->color, kWhite);

    surface.clear();
    chart.DrawTrend(a, false);
    EXPECT_TRUE(PrintsAt(surface, 4810).empty());
    EXPECT_EQ(FindPrint(surface, "Measurement")->x, 4850);

    // Under the other colour scheme the axis takes series 1's red.
    surface.clear();
    chart.setShowLimits(true);
    chart.DrawTrend(a, true);
    EXPECT_EQ(PrintsAt(surface, 4810).front().color, kRed);
}

TEST_F(Chart, LegendPositionsValuesAndAbsentSeries) {
    TrendArray a(6);
    const char* names[] = {"Measurement", "Control output", "Setpoint", "FeedForward", "AD4",
                           "AD5"};
    for (int s = 0; s < 6; ++s) {
        a.set(s, 0, names[s]);
    }
    a.set(0, 2, 23.45);
    a.set(4, 2, 512.0);
    a.set(4, 1, " #");
    a.set(2, 2, "n/a");
    chart.DrawTrend(a, false);
    const SurfaceColor colours[] = {kWhite, kYellow, kRed, kCyan, kMagenta};
    for (int s = 0; s < 5; ++s) {
        const auto* n = FindPrint(surface, names[s]);
        ASSERT_NE(n, nullptr) << s;
        EXPECT_EQ(n->x, 4850);
        EXPECT_EQ(n->y, 230 + 350 * s);  // T + H * 5 / 100, then 150 + 200 per series
        EXPECT_EQ(n->color, colours[s]);
        EXPECT_TRUE(n->bold);
    }
    EXPECT_EQ(FindPrint(surface, "AD5"), nullptr);  // rows past 4 are ignored
    EXPECT_EQ(FindPrint(surface, " ( 23.45 )")->y, 380);
    EXPECT_EQ(FindPrint(surface, " ( 512 # )")->y, 230 + 350 * 4 + 150);
    EXPECT_NE(FindPrint(surface, " ( n/a )"), nullptr);
    EXPECT_NE(FindPrint(surface, " (  )"), nullptr);  // an empty newest sample
    EXPECT_FALSE(surface.fontBold());
    EXPECT_EQ(surface.calls().back().op, Rec::Op::FontBold);

    // Series 0 and 2 absent: series 1 starts at 200, series 3 comes 200 below
    // series 1's value line.
    a.set(0, 0, TrendCell());
    a.set(2, 0, "");
    surface.clear();
    chart.DrawTrend(a, false);
    EXPECT_EQ(FindPrint(surface, "Control output")->y, 200);
    EXPECT_EQ(FindPrint(surface, "FeedForward")->y, 550);
    EXPECT_EQ(FindPrint(surface, "Setpoint"), nullptr);
    EXPECT_TRUE(LinesOf(surface, kWhite).empty());
    EXPECT_TRUE(LinesOf(surface, kRed).empty());

    // Without values the value line stays empty but keeps its place.
    chart.setShowValue(false);
    surface.clear();
    chart.DrawTrend(a, false);
    EXPECT_EQ(FindPrint(surface, "FeedForward")->y, 550);
    for (const auto& p : surface.prints()) {
        EXPECT_FALSE(p.text.startsWith(" (")) << p.text.toStdString();
    }
}

TEST_F(Chart, CurvesClampRoundAndRunFromTheEdge) {
    MainWindowSettings(chart);
    chart.setAutoScale(false);
    chart.setMaxY(104);  // 25 twips per unit
    TrendArray a = PidTable();
    Fill(a, 0, [](int p) { return TrendCell(p == 10 ? 1000.0 : 52.0); });
    Fill(a, 1, [](int) { return TrendCell(-50.0); });
    Fill(a, 2, [](int p) { return TrendCell(p == 2 ? 0.5 : 1.5); });  // 12.5 and 37.5 twips up
    Fill(a, 3, [](int) { return TrendCell(52.0); });
    chart.DrawTrend(a, true);

    const auto s0 = LinesOf(surface, kWhite);
    ASSERT_EQ(s0.size(), 357u);
    const double step = -4300.0 / 360.0;
    EXPECT_NEAR(s0.front().x1, 4800 + 2 * step, 1e-9);   // point 2, two places in from the right
    EXPECT_NEAR(s0.back().x2, 4800 + 359 * step, 1e-9);  // the last point drawn is maxX - 1
    EXPECT_EQ(s0.front().y1, 1400);
    EXPECT_EQ(s0[7].y2, 100);  // 1000 is drawn along the top edge
    EXPECT_EQ(s0[8].y1, 100);

    // Series 1 is a percentage: -50 % lies below the plot and runs along B.
    for (const auto& l : LinesOf(surface, kYellow)) {
        ASSERT_EQ(l.y1, 2700);
    }
    // Halves go to the even neighbour: 2687.5 to 2688, 2662.5 to 2662.
    EXPECT_EQ(LinesOf(surface, kRed).front().y1, 2688);
    EXPECT_EQ(LinesOf(surface, kRed).front().y2, 2662);
    // Only series 1 is on the percent scale (52 % would be at 1348).
    EXPECT_EQ(LinesOf(surface, kCyan).front().y1, 1400);

    // Time running to the right: point 2 near the left edge, labels from there.
    surface.clear();
    chart.setToRight(true);
    chart.DrawTrend(a, true);
    const auto r0 = LinesOf(surface, kWhite);
    EXPECT_NEAR(r0.front().x1, 500 - 2 * step, 1e-9);
    EXPECT_LT(r0.front().x1, r0.front().x2);
    const auto v = VerticalGrid(surface);
    ASSERT_EQ(v.size(), 7u);
    EXPECT_EQ(v.front().x1, 500);
    EXPECT_EQ(FindPrint(surface, "0 min")->x, 415);
    EXPECT_NEAR(FindPrint(surface, "6 min")->x, 4715, 1e-9);
}

TEST_F(Chart, PointsThatCannotBeDrawnTakeTheLastHeight) {
    chart.setMaxX(420);  // points past 400 are beyond the table
    TrendArray a = PidTable();
    Fill(a, 0, [](int p) { return TrendCell(double(p % 50)); });
    a.set(0, 20, "broken");
    a.set(0, 21, TrendCell());  // empty: drawn as 0
    chart.DrawTrend(a, false);
    const auto s0 = LinesOf(surface, kWhite);
    ASSERT_EQ(s0.size(), 417u);
    const auto heightOf = [](int p) { return 2700 - 26.0 * (p % 50); };
    EXPECT_EQ(s0[17].y1, heightOf(19));  // segment from point 19 to point 20
    EXPECT_EQ(s0[17].y2, heightOf(19));  // point 20 keeps point 19's height
    EXPECT_EQ(s0[18].y1, heightOf(19));
    EXPECT_EQ(s0[18].y2, 2700);  // point 21 on the zero line
    EXPECT_EQ(s0[397].y1, heightOf(399));
    EXPECT_EQ(s0[398].y2, heightOf(400));
    for (size_t k = 399; k < s0.size(); ++k) {  // points 401 to 418: flat at point 400
        EXPECT_EQ(s0[k].y2, heightOf(400)) << k;
    }
    // The drawing went on after the failures: the other series are complete.
    EXPECT_EQ(LinesOf(surface, kCyan).size(), 417u);
}

TEST_F(Chart, CallOrderOfOneRedraw) {
    chart.DrawTrend(PidTable(), true);
    const auto& c = surface.calls();
    ASSERT_GE(c.size(), 4u);
    EXPECT_EQ(c[0].op, Rec::Op::BackColor);
    EXPECT_EQ(c[0].color, kBlack);
    EXPECT_EQ(c[1].op, Rec::Op::ForeColor);
    EXPECT_EQ(c[1].color, kWhite);
    EXPECT_EQ(c[2].op, Rec::Op::Cls);
    auto index = [&](auto pred) { return std::find_if(c.begin(), c.end(), pred) - c.begin(); };
    const auto frame =
        index([](const Rec::Call& x) { return x.op == Rec::Op::Line && x.form == LineForm::Box; });
    const auto bold = index([](const Rec::Call& x) { return x.op == Rec::Op::FontBold && x.on; });
    const auto lastGrid =
        c.rend() -
        std::find_if(c.rbegin(), c.rend(),
                     [](const Rec::Call& x) { return x.op == Rec::Op::Line && x.color == kGrey; }) -
        1;
    const auto firstCurve =
        index([](const Rec::Call& x) { return x.op == Rec::Op::Line && x.color == kWhite; });
    EXPECT_LT(lastGrid, frame);
    EXPECT_EQ(frame + 1, bold);
    EXPECT_LT(bold, firstCurve);
    EXPECT_EQ(c.back().op, Rec::Op::FontBold);
    EXPECT_FALSE(c.back().on);
}

TEST_F(Chart, GridsThatWouldNeverEndAreLeftOut) {
    TrendArray a = PidTable();
    Fill(a, 0, [](int) { return TrendCell(40.0); });
    auto drawn = [&] {
        surface.clear();
        chart.DrawTrend(a, true);
        return std::pair{HorizontalGrid(surface).size(), VerticalGrid(surface).size()};
    };
    chart.setResolution(-5);  // steps downwards from 0 towards maxY 100
    EXPECT_EQ(drawn(), std::pair(size_t{0}, size_t{6}));
    EXPECT_TRUE(PrintsAt(surface, 4810).empty());      // the percent axis steps the same way
    EXPECT_EQ(LinesOf(surface, kWhite).size(), 297u);  // the rest is drawn
    EXPECT_EQ(FindPrint(surface, "Measurement")->x, 5200);
    chart.setResolution(10);

    for (double scale : {0.0, 0.4, 0.5, std::nan("")}) {
        chart.setXTitleScale(scale);
        EXPECT_EQ(drawn(), std::pair(size_t{11}, size_t{0})) << scale;
    }
    chart.setXTitleScale(0.6);  // rounds to steps of one sample
    EXPECT_EQ(drawn().second, 301u);
    chart.setToRight(true);
    chart.setXTitleScale(-60);
    EXPECT_EQ(drawn().second, 0u);
    chart.setToRight(false);  // from the right edge |i| grows either way: that ends
    EXPECT_EQ(drawn().second, 6u);
    chart.setXTitleScale(60);

    // Percent axis with maxY not above minY.
    chart.setMinY(100);
    EXPECT_EQ(drawn().first, 11u);
    EXPECT_TRUE(PrintsAt(surface, 4810).empty());
    chart.setMinY(120);
    drawn();
    EXPECT_TRUE(PrintsAt(surface, 4810).empty());
    // A percent step so fine that the labels would run into the billions.
    chart.setMinY(-32768);
    chart.setMaxY(1);
    chart.setResolution(32767);
    drawn();
    EXPECT_TRUE(PrintsAt(surface, 4810).empty());
    EXPECT_EQ(HorizontalGrid(surface).size(), 32769u);  // dense, but it ends
    EXPECT_EQ(LinesOf(surface, kWhite).size(), 297u);
}

TEST(TrendText, NumbersAndTheDecimalSeparator) {
    EXPECT_EQ(PrintedNumber(20), " 20 ");
    EXPECT_EQ(PrintedNumber(-10), "-10 ");
    EXPECT_EQ(PrintedNumber(0), " 0 ");
    EXPECT_EQ(PrintedNumber(-0.0), " 0 ");

    const QChar saved = DecimalSeparator();
    SetDecimalSeparator(QLatin1Char(','));
    Rec r(6000, 3000);
    cTrendline c;
    c.setPicBox(&r);
    c.setXTitleScale(1.5);  // steps of 2 samples after rounding: labels 2 / 1.5 ...
    c.setXTitleEnd(" s");
    c.setMaxX(4);
    TrendArray a(5);
    a.set(0, 0, "x");
    a.set(0, 2, 0.25);
    c.DrawTrend(a, false);
    SetDecimalSeparator(saved);
    EXPECT_NE(FindPrint(r, "0 s"), nullptr);
    EXPECT_NE(FindPrint(r, "1,33333333333333 s"), nullptr);
    EXPECT_NE(FindPrint(r, "2,66666666666667 s"), nullptr);
    EXPECT_NE(FindPrint(r, " ( 0,25 )"), nullptr);

    // XTitleShow off: the lines stay, the labels go.
    r.clear();
    c.setXTitleShow(false);
    c.DrawTrend(a, false);
    EXPECT_EQ(VerticalGrid(r).size(), 3u);
    EXPECT_EQ(FindPrint(r, "0 s"), nullptr);
}
