#pragma once
// The live chart's kept background and what a new table repaints.
//
// The live chart is drawn twenty times a second, but the calls that draw its
// grid, axis labels and frame change only with the scale, the size or the
// settings. They are worked out once (the labels' texts included) and
// replayed while those stay the same; the legend and the curves are drawn
// over them every time, as the whole chart would draw them. While the
// background holds, a new table repaints only the plot and the legend column,
// and of the legend only its value lines while the names on screen are the
// table's.

#include <QRect>
#include <QRegion>
#include <QSize>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "trend/PainterSurface.h"
#include "trend/RecordingSurface.h"
#include "trend/TrendArray.h"
#include "trend/cTrendline.h"

namespace tuvik {

// A chart of some size in pixels at some resolution, as the widget shows it.
struct ChartPixels {
    QSize size;
    double dpiX = 0;
    double dpiY = 0;

    cTrendline::Geometry Geometry(const cTrendline& chart) const;
    // Where a pixel column is across the plot: 0 at the newest edge, 1 at
    // the oldest; outside the plot below 0 or above 1.
    double FractionAt(const cTrendline& chart, double xPixels) const;
    // The series whose legend entry is at a point right of the plot (-1 on
    // none); nullopt for a point over the plot.
    std::optional<int> LegendSeriesAt(const cTrendline& chart, const TrendArray& arr,
                                      double xPixels, double yPixels) const;
    // The share of the view's width a drag from one column to another pans
    // by (positive towards older samples); nullopt on a plot without width.
    std::optional<double> PanShare(const cTrendline& chart, double fromX, double toX) const;
};

class LiveBackground {
  public:
    // The time grid of a live table as the screen shows it: each line's pixel
    // column, its label's, and the label.
    using ShownTimeGrid = std::vector<std::tuple<int, int, QString>>;
    static ShownTimeGrid TimeGridShown(const cTrendline& chart, const TrendArray& arr,
                                       const ChartPixels& at);

    // What a new table repaints of a chart of the given rectangle: all of it
    // while the view is not the live one (held, zoomed, series hidden, a
    // cursor shown) or the background no longer holds.
    QRegion Dirty(const QRect& all, bool liveView, const ChartPixels& at, bool percentAxis,
                  const cTrendline& chart, const TrendArray& arr) const;

    // Works the background's calls out afresh unless they still hold for
    // this chart and table; true when they were.
    bool Prepare(const ChartPixels& at, bool percentAxis, const cTrendline& chart,
                 const TrendArray& arr);
    const RecordingSurface& calls() const { return *calls_; }
    // Where the legend column starts, in twips.
    double legendX() const { return legendX_; }

    // After a live paint of the region visible: what the legend on screen now
    // shows; texts: the fonts the legend was painted with.
    void Painted(const QRegion& visible, const cTrendline& chart, const TrendArray& arr,
                 PainterTextCache& texts);
    // The screen shows no live legend now.
    void LegendGone() { legendShown_.reset(); }
    // The screen shows something else: the next live table repaints all.
    void Forget() { calls_.reset(); }

    // How often the background's calls were worked out afresh.
    int draws() const { return draws_; }

  private:
    using LegendNames = std::array<TrendCell, cTrendline::kSeries>;
    bool Matches(const ChartPixels& at, bool percentAxis, const cTrendline& chart) const;
    bool LegendShows(const TrendArray& arr) const;
    void KeepRegions(const ChartPixels& at);
    QRegion LegendValueLines(const cTrendline& chart, const TrendArray& arr, double dpiY,
                             PainterTextCache& texts) const;

    // The calls, and what they were worked out from.
    std::unique_ptr<RecordingSurface> calls_;
    double legendX_ = 0;
    ChartPixels at_;
    bool percentAxis_ = false;
    cTrendline chart_;
    ShownTimeGrid timeGrid_;
    // What a new table repaints while all of the above holds: the plot, and
    // the legend's column or some of it.
    cTrendline::Geometry geometry_;  // twips
    QRegion plot_;
    QRect legend_;
    // The legend names the screen shows, when it shows one whole live legend.
    std::optional<LegendNames> legendShown_;
    QRect valuesDirty_;  // the plot and the value lines of that legend
    int draws_ = 0;
};

}  // namespace tuvik
