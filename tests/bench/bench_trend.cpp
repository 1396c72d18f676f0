// One full redraw of the main window's chart (5 series of 357 segments,
// maxX 360) onto an 800 x 400 image, and the cost of asking the chart widget
// for a redraw (what every live-value reply pays).
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cmath>

#include "trend/PainterSurface.h"
#include "trend/ui/TrendChartWidget.h"
#include "trend/cTrendline.h"

namespace {

tuvik::TrendArray FiveSeries() {
    tuvik::TrendArray a(5);
    const char* names[] = {"Measurement", "Control output", "Setpoint", "FeedForward", "Spare"};
    for (int s = 0; s < 5; ++s) {
        a.set(s, 0, names[s]);
        a.set(s, 1, "");
    }
    for (int t = 0; t < 399; ++t) {
        a.PushSample(0, std::round((60 + 15 * std::sin(t / 25.0)) * 100) / 100);
        a.PushSample(1, std::round((50 + 40 * std::cos(t / 13.0)) * 100) / 100);
        a.PushSample(2, t < 200 ? 60.0 : 80.0);
        a.PushSample(3, std::round((20 + 3 * std::sin(t / 70.0)) * 100) / 100);
        a.PushSample(4, static_cast<double>(t % 90));
        a.PushTime(t * 0.333);  // the time axis from the stamps, as live
    }
    return a;
}

void MainWindowSettings(tuvik::cTrendline& c) {
    c.setMaxY(500);
    c.setMaxX(360);
    c.setAutoScale(true);
    c.setMinY(0);
    c.setResolution(6);
}

// state.range(0): 1 keeps laid-out texts from one redraw to the next, as the
// chart widget does; 0 lays every text out afresh.
void BM_TrendRedrawPainter(benchmark::State& state) {
    const tuvik::TrendArray a = FiveSeries();
    tuvik::PainterTextCache texts;
    QImage img(800, 400, QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);  // 96 dots per inch: 15 twips per pixel
    img.setDotsPerMeterY(3780);
    tuvik::cTrendline chart;
    for (auto _ : state) {
        QPainter p(&img);
        tuvik::PainterSurface surface(p, img.size(), 96, 96,
                                      state.range(0) != 0 ? &texts : nullptr);
        chart.setPicBox(&surface);
        MainWindowSettings(chart);
        chart.DrawTrend(a, true);
        chart.setPicBox(nullptr);
    }
    benchmark::DoNotOptimize(img.constBits());
}
BENCHMARK(BM_TrendRedrawPainter)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_TrendWidgetRedrawRequest(benchmark::State& state) {
    const tuvik::TrendArray a = FiveSeries();
    tuvik::TrendChartWidget w;
    w.resize(800, 400);
    for (auto _ : state) {
        MainWindowSettings(w.chart());
        w.DrawTrend(a, true);
    }
    benchmark::DoNotOptimize(w.chart().maxY());
}
BENCHMARK(BM_TrendWidgetRedrawRequest)->Unit(benchmark::kMicrosecond);

}  // namespace
