// The chart widget: redraws between two passes of the event loop make one
// paint, and the widget paints what the chart draws directly (its kept
// background included).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPainter>
#include <QScreen>

#include <cmath>

#include "TestUtil.h"
#include "trend/PainterSurface.h"
#include "trend/ui/TrendChartWidget.h"

using namespace tuvik;
using tuvik::test::WaitUntil;

namespace {

TrendArray Ramp() {
    TrendArray a(5);
    a.set(0, 0, "Measurement");
    for (int p = 2; p <= 300; ++p) {
        a.set(0, p, 50.0 + 40.0 * std::sin(p / 20.0));
    }
    return a;
}

}  // namespace

// The live chart keeps the calls that draw its background (grid, labels,
// frame) between paints and, while they stay the same, repaints only the plot
// and the legend: what the screen shows must stay what the chart draws
// directly, after a resize, a new scale and new samples alike.
TEST(TrendChartWidget, ShowsWhatTheChartDrawsAfterResizeRescaleAndNewSamples) {
    TrendChartWidget w;
    w.resize(400, 200);
    w.chart().setMaxX(360);
    w.chart().setAutoScale(true);
    w.show();
    w.DrawTrend(Ramp(), true);
    ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > 0; }));
    int before = w.paintCount();
    w.resize(600, 300);
    ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > before; }));

    TrendArray higher = Ramp();  // the automatic scale moves up
    higher.set(0, 10, 480.0);
    TrendArray moved = higher;  // the same scale, other samples
    moved.set(0, 20, 300.0);
    moved.set(0, 358, 200.0);    // along the plot's far edge
    moved.set(0, 2, 123.0);      // the legend's value too
    TrendArray renamed = moved;  // a new name and a second entry in the legend
    renamed.set(0, 0, "Flow");
    renamed.set(2, 0, "Output");
    renamed.set(2, 2, 31.0);
    TrendArray revalued = renamed;  // the same names: only the value lines change
    revalued.set(0, 2, 7.0);
    revalued.set(2, 2, 45.5);
    TrendArray stamped = revalued;  // a time axis from the stamps, part of the background
    TrendArray later = revalued;    // the same axis a little later: the grid stays
    for (int p = 2; p <= 400; ++p) {
        stamped.setTime(p, 100 - 0.25 * p);
        later.setTime(p, 100.1 - 0.25 * p);
    }
    const struct {
        const TrendArray* table;
        bool wholeChart;  // a new background: everything repainted
        bool wholeLegend;
    } steps[] = {{nullptr, true, true},   {&higher, true, true},     {&moved, false, false},
                 {&renamed, false, true}, {&revalued, false, false}, {&stamped, true, true},
                 {&later, false, false}};
    for (const auto& step : steps) {
        const int draws = w.backgroundDraws();
        if (step.table != nullptr) {
            before = w.paintCount();
            for (int i = 0; i < 3; ++i) {
                w.DrawTrend(*step.table, true);
            }
            EXPECT_EQ(w.paintCount(), before) << "painted later, not at each call";
            ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > before; }));
            QCoreApplication::processEvents();
            EXPECT_EQ(w.paintCount(), before + 1) << "a burst of redraws is one paint";
            EXPECT_EQ(w.backgroundDraws() > draws, step.wholeChart);
            EXPECT_EQ(w.lastPaintRegion().contains(QRect(0, 0, 2, 2)), step.wholeChart);
            // The legend column's foot, below every entry.
            EXPECT_EQ(w.lastPaintRegion().contains(QRect(597, 297, 1, 1)), step.wholeLegend);
        }
        // The screen's pixels, not a fresh rendering of the widget.
        const QImage shown =
            w.screen()->grabWindow(w.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        QImage direct(600, 300, QImage::Format_RGB32);
        direct.setDotsPerMeterX(static_cast<int>(std::lround(w.logicalDpiX() / 0.0254)));
        direct.setDotsPerMeterY(static_cast<int>(std::lround(w.logicalDpiY() / 0.0254)));
        {
            QPainter p(&direct);
            PainterSurface s(p, direct.size(), w.logicalDpiX(), w.logicalDpiY());
            cTrendline c = w.chart();
            c.setPicBox(&s);
            c.PaintTrend(step.table != nullptr ? *step.table : Ramp(), true);
        }
        EXPECT_EQ(shown, direct);
    }
}

// A kept text is skipped when its ink misses the repainted region: the ink it
// is given must hold every pixel it draws, below the baseline too.
TEST(PainterTextCache, AKeptTextIsLaidOutTheSecondTimeAndItsInkHoldsItsPixels) {
    PainterTextCache cache;
    const PainterTextCache::Fonts& fonts = cache.FontsFor(96);
    const QPoint at(20, 20);
    for (const bool bold : {false, true}) {
        for (const char* t : {"Measurement", " ( 12.5 % )", "gjpqy|", "\xC3\x84W"}) {
            const QString text = QString::fromUtf8(t);
            ASSERT_EQ(cache.Get(text, bold), nullptr) << t << " drawn directly the first time";
            const PainterTextCache::Text* kept = cache.Get(text, bold);
            ASSERT_NE(kept, nullptr) << t;
            QImage img(300, 80, QImage::Format_RGB32);
            img.fill(Qt::black);
            QPainter p(&img);
            p.setPen(Qt::white);
            p.setFont(bold ? fonts.bold : fonts.normal);
            p.drawStaticText(at, kept->text);
            p.end();
            QRect inked;
            for (int i = 0; i < img.width() * img.height(); ++i) {
                const QPoint px(i % img.width(), i / img.width());
                inked |= img.pixel(px) != qRgb(0, 0, 0) ? QRect(px, px) : QRect();
            }
            ASSERT_FALSE(inked.isEmpty()) << t;
            EXPECT_TRUE(kept->ink.translated(at).contains(inked)) << t << (bold ? " bold" : "");
        }
    }
}
