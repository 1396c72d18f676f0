#include "trend/LiveBackground.h"

#include <algorithm>
#include <cmath>

#include "trend/PainterSurface.h"

namespace tuvik {

namespace {

constexpr double kTwipsPerInch = 1440.0;

}  // namespace

cTrendline::Geometry ChartPixels::Geometry(const cTrendline& chart) const {
    return cTrendline::ComputeGeometry(static_cast<float>(size.width() * kTwipsPerInch / dpiX),
                                       static_cast<float>(size.height() * kTwipsPerInch / dpiY),
                                       chart.minY());
}

double ChartPixels::FractionAt(const cTrendline& chart, double xPixels) const {
    const cTrendline::Geometry g = Geometry(chart);
    const double x = xPixels * kTwipsPerInch / dpiX;
    const double width = static_cast<double>(g.W) - g.X0;
    if (width <= 0) {
        return -1;
    }
    return chart.ToRight() ? (x - g.X0) / width : (static_cast<double>(g.W) - x) / width;
}

std::optional<int> ChartPixels::LegendSeriesAt(const cTrendline& chart, const TrendArray& arr,
                                               double xPixels, double yPixels) const {
    const cTrendline::Geometry g = Geometry(chart);
    if (xPixels * kTwipsPerInch / dpiX <= g.W) {
        return std::nullopt;
    }
    return cTrendline::LegendSeriesAt(arr, g, yPixels * kTwipsPerInch / dpiY);
}

std::optional<double> ChartPixels::PanShare(const cTrendline& chart, double fromX,
                                            double toX) const {
    const cTrendline::Geometry g = Geometry(chart);
    const double widthPx = (static_cast<double>(g.W) - g.X0) * dpiX / kTwipsPerInch;
    if (widthPx <= 0) {
        return std::nullopt;
    }
    return (toX - fromX) / widthPx * (chart.ToRight() ? -1 : 1);
}

LiveBackground::ShownTimeGrid LiveBackground::TimeGridShown(const cTrendline& chart,
                                                            const TrendArray& arr,
                                                            const ChartPixels& at) {
    ShownTimeGrid shown;
    if (!arr.stamped()) {
        return shown;
    }
    const cTrendline::Geometry g = cTrendline::ComputeGeometry(
        PainterSurface::TwipsFor(at.size.width(), at.dpiX),
        PainterSurface::TwipsFor(at.size.height(), at.dpiY), chart.minY());
    for (cTrendline::TimeLine& l : chart.TimeGrid(arr, g)) {
        shown.emplace_back(PainterSurface::PixelFor(l.x, at.dpiX),
                           PainterSurface::PixelFor(l.x - cTrendline::kTimeLabelOffset, at.dpiX),
                           std::move(l.label));
    }
    return shown;
}

bool LiveBackground::Matches(const ChartPixels& at, bool percentAxis,
                             const cTrendline& chart) const {
    return calls_ && at_.size == at.size && at_.dpiX == at.dpiX && at_.dpiY == at.dpiY &&
           percentAxis_ == percentAxis && chart_ == chart;
}

// The axis labels left of and below the plot and the percent axis keep their
// pixels while the background holds; anything else repaints the whole chart.
QRegion LiveBackground::Dirty(const QRect& all, bool liveView, const ChartPixels& at,
                              bool percentAxis, const cTrendline& chart,
                              const TrendArray& arr) const {
    if (!liveView || !Matches(at, percentAxis, chart) ||
        timeGrid_ != TimeGridShown(chart, arr, at)) {
        return QRegion(all);
    }
    if (LegendShows(arr)) {
        return QRegion(valuesDirty_);
    }
    return plot_ + QRegion(legend_);
}

bool LiveBackground::Prepare(const ChartPixels& at, bool percentAxis, const cTrendline& chart,
                             const TrendArray& arr) {
    ShownTimeGrid timeGrid = TimeGridShown(chart, arr, at);
    if (Matches(at, percentAxis, chart) && timeGrid_ == timeGrid) {
        return false;
    }
    calls_ =
        std::make_unique<RecordingSurface>(PainterSurface::TwipsFor(at.size.width(), at.dpiX),
                                           PainterSurface::TwipsFor(at.size.height(), at.dpiY));
    legendX_ = chart.PaintBackground(*calls_, arr, percentAxis);
    timeGrid_ = std::move(timeGrid);
    at_ = at;
    percentAxis_ = percentAxis;
    chart_ = chart;
    KeepRegions(at);
    ++draws_;
    return true;
}

bool LiveBackground::LegendShows(const TrendArray& arr) const {
    if (!legendShown_) {
        return false;
    }
    for (int s = 0; s < cTrendline::kSeries; ++s) {
        if (!((*legendShown_)[static_cast<size_t>(s)] == arr.at(s, 0))) {
            return false;
        }
    }
    return true;
}

void LiveBackground::KeepRegions(const ChartPixels& at) {
    geometry_ = cTrendline::ComputeGeometry(PainterSurface::TwipsFor(at.size.width(), at.dpiX),
                                            PainterSurface::TwipsFor(at.size.height(), at.dpiY),
                                            chart_.minY());
    const cTrendline::Geometry& g = geometry_;
    auto px = [](double twips, double dpi) {
        return static_cast<int>(std::floor(twips * dpi / kTwipsPerInch));
    };
    const QRect all(QPoint(0, 0), at.size);
    // Two pixels of margin: the frame and the curves along the plot's edges.
    const QRect plot =
        QRect(QPoint(px(std::min<double>(g.X0, g.W), at.dpiX) - 2, px(g.T, at.dpiY) - 2),
              QPoint(px(std::max<double>(g.X0, g.W), at.dpiX) + 3, px(g.B, at.dpiY) + 3));
    plot_ = QRegion(plot.intersected(all));
    legend_ = QRect(QPoint(px(legendX_, at.dpiX) - 2, 0),
                    QPoint(at.size.width() - 1, at.size.height() - 1))
                  .intersected(all);
}

// The legend's value lines, each with half a line to spare above and below:
// a new value's text and the old one's ink both lie within.
QRegion LiveBackground::LegendValueLines(const cTrendline& chart, const TrendArray& arr,
                                         double dpiY, PainterTextCache& texts) const {
    QRegion lines;
    if (!chart.ShowValue()) {
        return lines;
    }
    const int line = texts.FontsFor(dpiY).lineHeight;
    const QRect& column = legend_;
    for (const std::optional<double>& top : cTrendline::LegendNameTops(arr, geometry_)) {
        if (top) {
            const int y = static_cast<int>(
                std::floor((*top + cTrendline::LegendValueLine()) * dpiY / kTwipsPerInch));
            lines += QRect(QPoint(column.left(), y - line / 2 - 1),
                           QPoint(column.right(), y + line + line / 2 + 1))
                         .intersected(column);
        }
    }
    return lines;
}

// While the legend on screen shows this table's names, a new table repaints
// the plot and the value lines as one rectangle: painting clipped to a
// rectangle costs far less than clipped to a region of several (twice the
// paint's time here). Its names are unknown when only some of it was painted
// with other names.
void LiveBackground::Painted(const QRegion& visible, const cTrendline& chart, const TrendArray& arr,
                             PainterTextCache& texts) {
    const bool wholeLegend = visible.rectCount() == 1 ? visible.boundingRect().contains(legend_)
                                                      : (QRegion(legend_) - visible).isEmpty();
    if (wholeLegend) {
        if (!LegendShows(arr)) {
            LegendNames names;
            for (int s = 0; s < cTrendline::kSeries; ++s) {
                names[static_cast<size_t>(s)] = arr.at(s, 0);
            }
            legendShown_ = names;
        }
        valuesDirty_ = (plot_ + LegendValueLines(chart, arr, at_.dpiY, texts)).boundingRect();
    } else if (!LegendShows(arr) && visible.intersects(legend_)) {
        legendShown_.reset();
    }
}

}  // namespace tuvik
