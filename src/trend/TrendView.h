#pragma once
// What part of a trend table a chart shows, for the chart tools: pause,
// zoom and pan on the time axis, series switched off, the cursor read-out and
// the export of the visible span. It works on the samples the table keeps
// (points 2..400, newest first) and never on pixels: the widget maps mouse
// positions to fractions of the plot's width and asks this model.
//
// The view is `span` points wide (the chart's maxX while live) and starts
// `offset` samples before the newest one. Live, unzoomed: offset 0 and the
// chart's own span, so the chart draws exactly what it draws without tools.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>

#include "trend/TrendArray.h"
#include "trend/cTrendline.h"

namespace tuvik {

class TrendView {
  public:
    static constexpr int kMinSpan = 10;
    // Points 2..400 hold samples: a view can reach point 400.
    static constexpr int kMaxReach = TrendArray::kLastPoint;

    // The chart's own span (its maxX); the view returns to it on Reset.
    void setLiveSpan(int span);
    int span() const { return span_ > 0 ? span_ : liveSpan_; }
    int offset() const { return offset_; }
    bool zoomed() const { return offset_ != 0 || span() != liveSpan_; }

    // Paused: the widget keeps showing the table as it was when paused while
    // samples go on being recorded. Panning into older samples pauses too.
    bool paused() const { return paused_; }
    void setPaused(bool on) { paused_ = on; }
    // Back to the scrolling view: not paused, the chart's own span, newest
    // sample at the right edge.
    void Reset();

    // fraction: where the pointer is across the plot, 0 at the newest edge
    // (right), 1 at the oldest (left). factor < 1 zooms in, > 1 out; the
    // sample under the pointer stays under it where the table allows.
    void ZoomAt(double fraction, double factor);
    // Moves the view by a share of its width: positive towards older samples.
    void Pan(double shareOfSpan);

    bool hidden(int series) const { return (hidden_ & (1u << series)) != 0; }
    void toggleSeries(int series);
    uint8_t hiddenMask() const { return hidden_; }

    // The sample index (0 = newest) at a fraction across the plot, or -1
    // outside the samples a chart of this span draws.
    int SampleAt(double fraction) const;

    // The table a chart of span() points draws for this view: names and
    // units as they are, point 2 + k holding sample offset + k.
    TrendArray Slice(const TrendArray& arr) const;

    // The chart that draws Slice(arr) for this view, from the live chart's
    // settings: the view's span, the age of its newest sample on the time
    // axis, the scale of what it shows, its hidden series.
    cTrendline ChartFor(const cTrendline& live, const TrendArray& arr,
                        const TrendArray& slice) const;

    // The age of sample k: in seconds from the newest sample's time stamp
    // when the table has stamps (NaN for a sample without one), otherwise k,
    // in samples.
    static double Age(const TrendArray& arr, int k);

    // The cursor read-out at a fraction across the plot: the age of the
    // sample in the time axis's unit (perUnit samples a unit, e.g. 60 a
    // minute, or perUnit seconds for a table with stamps; unitText e.g.
    // " min") and the value of each visible series.
    QStringList Readout(const TrendArray& arr, double fraction, double perUnit,
                        const QString& unitText) const;

    // The visible span as CSV: a header ("time" with the axis unit, then each
    // visible series' name and unit as the legend shows them), then one line
    // per sample, oldest first; "." as decimal point, "," between fields.
    // perUnit as for Readout; stamped times to the millisecond.
    QByteArray Csv(const TrendArray& arr, double perUnit, const QString& unitText) const;

    // On a chart with the live chart's settings: the time axis's unit as
    // this view labels it (samples or seconds a unit, and the suffix), the
    // cursor read-out, and the visible span as the export writes it (stamped
    // times in seconds, whatever unit the axis shows).
    std::pair<double, QString> TimeUnit(const cTrendline& live, const TrendArray& arr) const;
    QStringList ReadoutOn(const cTrendline& live, const TrendArray& arr, double fraction) const;
    QByteArray VisibleCsv(const cTrendline& live, const TrendArray& arr) const;

  private:
    void Clamp();

    int liveSpan_ = 300;
    int span_ = 0;  // 0: the live span
    int offset_ = 0;
    bool paused_ = false;
    uint8_t hidden_ = 0;
};

}  // namespace tuvik
