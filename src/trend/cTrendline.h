#pragma once
// A strip chart: up to five series of a trend table (or of a database result)
// drawn onto a drawing surface, with a value grid, an optional percent axis
// for series 1, a time grid, a frame and a legend with the newest values.
// The chart keeps only its settings; every redraw is given the data again and
// repaints everything.

#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "trend/DrawSurface.h"
#include "trend/RecordSet.h"
#include "trend/TrendArray.h"

namespace tuvik {

class cTrendline {
  public:
    static constexpr int kSeries = 5;

    // Settings. A setter stores any value unchanged; 0 in maxY, Resolution and
    // maxX is replaced (by 100, 10 and 600) at the next redraw.
    bool AutoScale() const { return autoScale_; }
    void setAutoScale(bool v) { autoScale_ = v; }
    int16_t maxY() const { return maxY_; }
    void setMaxY(int16_t v) { maxY_ = v; }
    int16_t minY() const { return minY_; }  // only its sign matters
    void setMinY(int16_t v) { minY_ = v; }
    int16_t Resolution() const { return resolution_; }
    void setResolution(int16_t v) { resolution_ = v; }
    int16_t maxX() const { return maxX_; }
    void setMaxX(int16_t v) { maxX_ = v; }
    bool ShowLimits() const { return showLimits_; }
    void setShowLimits(bool v) { showLimits_ = v; }
    bool ToRight() const { return toRight_; }
    void setToRight(bool v) { toRight_ = v; }
    bool ShowValue() const { return showValue_; }
    void setShowValue(bool v) { showValue_ = v; }
    void setXTitleShow(bool v) { xTitleShow_ = v; }
    void setXTitleScale(double v) { xTitleScale_ = v; }
    void setXTitleEnd(const QString& v) { xTitleEnd_ = v; }
    bool XTitleShow() const { return xTitleShow_; }
    double XTitleScale() const { return xTitleScale_; }
    const QString& XTitleEnd() const { return xTitleEnd_; }
    // Chart tools: series whose line is not drawn (bit s for series s; the
    // legend still names them), and the age of the newest point drawn, added
    // to the time labels of a chart showing an older span: in samples, or in
    // seconds for a table with time stamps.
    void setHiddenSeries(uint8_t mask) { hidden_ = mask; }
    void setXTitleOffset(double samples) { xTitleOffset_ = samples; }

    // A database drawing whose records are spans of clock time, newest
    // first: the record k starts secondsPerRecord * (k + 1) before `end`
    // (UTC seconds). With one set, DrawSQLTrend puts its time grid at round
    // times of the zone's clock labelled with the time of day or the date,
    // and an empty (NULL) value leaves a gap in its curve: no data in that
    // span.
    struct ClockAxis {
        qint64 end = 0;
        double secondsPerRecord = 1;
        QTimeZone zone = QTimeZone::systemTimeZone();
        bool operator==(const ClockAxis&) const = default;
    };
    void setClockAxis(std::optional<ClockAxis> axis) { clockAxis_ = axis; }

    // The surface drawn on; owned by whoever set it.
    DrawSurface* PicBox() const { return picBox_; }
    void setPicBox(DrawSurface* s) { picBox_ = s; }
    // Where DrawSQLTrend reports a failure; without one the message is dropped.
    void setNotifier(UserNotifier* n) { notifier_ = n; }
    UserNotifier* notifier() const { return notifier_; }

    // Redraws the whole chart from the table onto PicBox. PercentAxis: series
    // 1 is a percentage, drawn against a 0..100 axis right of the plot. A step
    // that cannot be carried out is left out; nothing is reported.
    void DrawTrend(const TrendArray& arr, bool PercentAxis);

    // The two halves of DrawTrend, for a caller that paints later than it is
    // asked to redraw: PrepareRedraw changes the settings as a redraw does
    // (automatic scale, replacement of 0); PaintTrend then draws with the
    // settings as they stand, changing none of them.
    void PrepareRedraw(const TrendArray& arr);
    void PaintTrend(const TrendArray& arr, bool PercentAxis) const;
    // PaintTrend in two layers onto any surface: the background (grid, axes'
    // labels, frame), which depends on the settings, the size and the table's
    // time stamps only, and then the series (legend and curves).
    // PaintBackground returns the legend's left edge, which PaintSeries takes.
    double PaintBackground(DrawSurface& s, const TrendArray& arr, bool PercentAxis) const;
    void PaintSeries(DrawSurface& s, const TrendArray& arr, bool PercentAxis, double legendX) const;

    // Redraws from consecutive records of a result: FieldNames[s] names the
    // column of series s (an empty entry: no series s). Each used entry is
    // rewritten without its hyphens, and the column found under that name.
    // The first failure ends the drawing; running out of records does so
    // quietly, any other failure is reported through the notifier.
    void DrawSQLTrend(RecordSet& rs, QStringList& FieldNames, bool PercentAxis);

    // Keeps maxY a little above the highest sample of the named series, with
    // a dead band. Run by DrawTrend when AutoScale is set.
    void AutoScaleY(const TrendArray& arr);

    // The same settings (and the same surface and notifier).
    bool operator==(const cTrendline&) const = default;

    // Colour of series s under the given colour scheme.
    static SurfaceColor SeriesColor(int s, bool showLimits);

    // Layout of one redraw, in twips.
    struct Geometry {
        float W = 0;   // right edge of the plot; the legend lies right of it
        int T = 100;   // top edge
        int X0 = 500;  // left edge
        float B = 0;   // bottom edge; the time labels lie below it
        int Z = 0;     // offset of the zero line (negative lifts it)
        int H = 0;     // plot height
        int P = 0;     // signed plot width (X0 - W)
    };
    static Geometry ComputeGeometry(const DrawSurface& s, int16_t minY);
    // The same from a surface's size in twips (for mapping mouse positions).
    static Geometry ComputeGeometry(float width, float height, int16_t minY);
    // The series whose legend entry (name and value lines) lies at height y
    // (twips) of a chart drawn from arr, or -1.
    static int LegendSeriesAt(const TrendArray& arr, const Geometry& g, double y);
    // Top of each series' legend name line (twips), none for a blank series;
    // its value line hangs LegendValueLine() lower.
    using LegendTops = std::array<std::optional<double>, kSeries>;
    static LegendTops LegendNameTops(const TrendArray& arr, const Geometry& g);
    static double LegendValueLine();

    // The time axis of a table with time stamps. Samples come one per reply,
    // so the axis is laid out from the stamps: grid lines stand where the age
    // (from the newest sample) is a whole step, interpolated between samples,
    // and are labelled in seconds when the span shown is short, in minutes
    // otherwise. A table without stamps keeps the count of samples
    // (XTitleScale a step, labelled with XTitleEnd).
    struct TimeAxis {
        double step = 1;  // seconds between grid lines
        double unit = 1;  // seconds per label unit
        QString suffix;   // " s" or " min"
    };
    // The axis of arr drawn maxX points wide with point `from` as its newest
    // point: chosen from the time the width spans at the rate the stamps show.
    static TimeAxis TimeAxisOf(const TrendArray& arr, int from, int maxX);
    // Time labels stand this far left of their line (twips).
    static constexpr double kTimeLabelOffset = 85;
    // One line of the time grid: where it stands (twips) and its label.
    struct TimeLine {
        double x;
        QString label;
    };
    // The grid a redraw of the stamped table arr puts down (none without
    // stamps).
    std::vector<TimeLine> TimeGrid(const TrendArray& arr, const Geometry& g) const;

    // The clock-time grid of a database drawing maxX points wide with that
    // axis: round times of the axis's clock, about six lines across, on
    // both sides of a change of its offset (daylight saving).
    static std::vector<TimeLine> ClockGrid(const ClockAxis& axis, const Geometry& g, int maxX);

  private:
    enum class Mode { Lenient, Strict };
    // Steps shared by both drawing operations: background, grid, percent
    // axis. Returns the legend offset. In strict mode a failure is thrown.
    double PaintGrid(DrawSurface& s, const Geometry& g, bool percentAxis, Mode mode) const;
    void PaintTimeGrid(DrawSurface& s, const Geometry& g, const TrendArray& arr) const;
    void ReplaceZeroSettings();
    void DrawSQLTrendSteps(RecordSet& rs, QStringList& FieldNames, bool PercentAxis);

    bool autoScale_ = false;
    int16_t maxY_ = 100;
    int16_t minY_ = 0;
    int16_t resolution_ = 10;
    int16_t maxX_ = 300;
    bool showLimits_ = false;
    bool toRight_ = false;
    bool showValue_ = true;
    bool xTitleShow_ = true;
    double xTitleScale_ = 60;
    QString xTitleEnd_ = QStringLiteral(" min");
    DrawSurface* picBox_ = nullptr;
    UserNotifier* notifier_ = nullptr;
    uint8_t hidden_ = 0;
    double xTitleOffset_ = 0;
    std::optional<ClockAxis> clockAxis_;
};

// A number printed on its own: a space (or the minus sign) before it and a
// space after it: " 20 ", "-10 ".
QString PrintedNumber(double v);

}  // namespace tuvik
