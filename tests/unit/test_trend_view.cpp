// The look-closer tools without widgets: zoom and pan arithmetic, the cursor
// lookup, the CSV of the visible span, the histogram's bars and the link
// status line.
#include <gtest/gtest.h>

#include "burner/Histogram.h"
#include "shell/LinkStatus.h"
#include "trend/TrendView.h"

using namespace tuvik;

namespace {

// Two series; sample k (0 = newest) of series 0 is k, of series 1 is 1000 + k;
// stamped a quarter of a second apart, or not at all.
TrendArray Table(bool stamped) {
    TrendArray t(5);
    t.set(0, 0, "Meas");
    t.set(0, 1, "C");
    t.set(1, 0, "Out, raw");
    for (int k = 398; k >= 0; --k) {
        t.PushSample(0, TrendCell(double(k)));
        t.PushSample(1, TrendCell(1000.0 + k));
        if (stamped) {
            t.PushTime(100 - 0.25 * k);
        }
    }
    return t;
}

}  // namespace

TEST(TrendView, ZoomPanAndResetKeepTheViewInsideTheTable) {
    TrendView v;
    v.setLiveSpan(300);
    EXPECT_FALSE(v.zoomed());
    // Zoom in at the newest edge: the newest sample stays in view, live.
    auto view = [&] { return std::tuple(v.span(), v.offset(), v.paused()); };
    v.ZoomAt(0.0, 0.5);
    EXPECT_EQ(view(), std::tuple(150, 0, false));
    // Zoom in around the middle: the sample under the pointer (75) stays there,
    // at 75 - 0.5 * 75 rounded; the newest samples left the view.
    v.ZoomAt(0.5, 0.5);
    EXPECT_EQ(view(), std::tuple(75, 38, true));
    // Pan towards older samples, past the table's end: held at point 400.
    v.Pan(10.0);
    EXPECT_EQ(v.offset(), TrendArray::kLastPoint - 75);
    v.Pan(-100.0);
    EXPECT_EQ(v.offset(), 0);
    // Zooming far out stops at the table, far in at the smallest span.
    v.ZoomAt(0.3, 100.0);
    EXPECT_EQ(std::tuple(v.span(), v.offset()), std::tuple(TrendView::kMaxReach, 0));
    v.ZoomAt(0.3, 0.0001);
    EXPECT_EQ(v.span(), TrendView::kMinSpan);
    v.Reset();
    EXPECT_EQ(std::tuple(v.zoomed(), view()), std::tuple(false, std::tuple(300, 0, false)));
}

TEST(TrendView, SliceCursorAndCsvFollowTheVisibleSpan) {
    const TrendArray t = Table(true);
    TrendView v;
    v.setLiveSpan(12);
    v.Pan(0.5);  // offset 6
    ASSERT_EQ(v.offset(), 6);
    const TrendArray s = v.Slice(t);
    // Point 2 of the slice holds sample offset + 0.
    EXPECT_EQ(std::tuple(s.at(0, 0).text(), s.at(0, 2).number(), s.at(1, 5).number(), s.timeAt(5)),
              std::tuple(QString("Meas"), 6.0, 1009.0, 97.75));
    cTrendline aged;
    aged.setMaxX(12);
    aged.setXTitleOffset(1.5);  // its age in seconds
    EXPECT_EQ(v.ChartFor(cTrendline(), t, s), aged);

    // Drawn points 2..span-1; the fraction k / span lands on point k.
    for (const auto& [fraction, sample] : {std::pair{0.0, -1},
                                           {2.0 / 12, 6},
                                           {5.0 / 12, 9},
                                           {11.0 / 12, 15},
                                           {1.0, -1},
                                           {-0.1, -1}}) {
        EXPECT_EQ(v.SampleAt(fraction), sample) << fraction;
    }
    // The age of the sample: from its stamp, or without stamps its count.
    EXPECT_EQ(v.Readout(t, 5.0 / 12, 1, " s"),
              (QStringList{"-2.25 s", "Meas: 9C", "Out, raw: 1009"}));
    v.toggleSeries(0);
    EXPECT_EQ(v.Readout(Table(false), 5.0 / 12, 60, " min"),
              (QStringList{"-0.15 min", "Out, raw: 1009"}));
    v.toggleSeries(0);

    // Oldest visible point first: points 11..2 hold samples 15..6.
    const QList<QByteArray> lines = v.Csv(t, 1, " s").split('\n');
    ASSERT_EQ(lines.size(), 12);  // header, ten points, nothing after the last line end
    EXPECT_EQ(QList<QByteArray>({lines[0], lines[1], lines[10], lines[11]}),
              QList<QByteArray>(
                  {"time (s),Meas (C),\"Out, raw\"\r", "-3.75,15,1015\r", "-1.5,6,1006\r", ""}));
}

TEST(HistogramBars, CellsBecomeClassesAndTheAxisRoundsUp) {
    HistogramBars b;
    EXPECT_TRUE(b.empty());
    b.Add(125, 1696);
    b.Add(17, 1702);  // class 205
    b.Add(40, 1938);  // class 795, the last
    b.Add(99, 1701);  // odd address: no class
    b.Add(99, 1940);  // past the table
    EXPECT_EQ(std::tuple(b.irAverage[0], b.irAverage[1], b.counts[0], b.counts[1], b.counts[119]),
              std::tuple(12.5, std::nullopt, std::nullopt, 17, 40));
    EXPECT_EQ(b.peak(), 40);
    for (auto [peak, top] :
         {std::pair{0, 1}, {1, 1}, {3, 5}, {40, 50}, {101, 200}, {65535, 100000}}) {
        EXPECT_EQ(HistogramBars::AxisTop(peak), top) << peak;
    }
}

TEST(LinkStatus, RatesSilenceReconnectingAndAlarm) {
    LinkStatus s;
    s.Restart(1000);
    LinkTraffic t;
    using State = LinkStatus::State;
    const QString warn = " (warning)";  // a line shown as a warning ends so here
    auto line = [&](State st, bool alarm, qint64 now) {
        const auto l = s.Update(st, "Serial port", "/dev/ttyUSB0", t, alarm, now);
        return l.text + (l.warning ? warn : QString());
    };
    EXPECT_EQ(line(State::Connected, false, 1500),
              "Serial port /dev/ttyUSB0 | 0 replies/s | 0 B/s | 0 broken | no reply yet");
    EXPECT_TRUE(line(State::Connected, false, 3000).endsWith(warn))
        << "no reply 2 s after connecting";
    t = {2150, 215, 1, 3400};  // half a second later
    EXPECT_EQ(
        line(State::Connected, false, 3500),
        "Serial port /dev/ttyUSB0 | 430 replies/s | 4300 B/s | 1 broken | last reply 0.1 s ago");
    EXPECT_FALSE(line(State::Connected, false, 5399).endsWith(warn));
    EXPECT_TRUE(line(State::Connected, false, 5400).endsWith(warn)) << "2 s without a reply";
    EXPECT_TRUE(
        line(State::Connected, true, 5500).endsWith(" | " + LinkStatus::AlarmText() + warn));
    EXPECT_EQ(line(State::Reconnecting, false, 6000),
              "Serial port /dev/ttyUSB0: connection lost, reconnecting..." + warn);
    EXPECT_EQ(line(State::Disconnected, true, 6500), "Not connected") << "no stale alarm";
}
