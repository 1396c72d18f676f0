#include "trend/cTrendline.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>

#include "support/Numbers.h"

namespace tuvik {

namespace {

constexpr SurfaceColor kColours[2][cTrendline::kSeries] = {
    {kWhite, kYellow, kRed, kCyan, kMagenta},
    {kWhite, kRed, kMagenta, kRed, kMagenta},
};

// Labels sit this far left of / above the line they belong to.
constexpr double kLabelOffset = cTrendline::kTimeLabelOffset;
constexpr double kValueLabelX = 50;
constexpr double kPercentLabelGap = 10;
constexpr double kLegendGap = 200;
constexpr double kLegendValueLine = 150;
constexpr double kLegendOffset = 50;
constexpr double kLegendOffsetPercent = 400;
// Records between the lines of the database chart's time grid.
constexpr int kSqlTimeStep = 600;

// Grid steps of a time axis, in seconds; past the last, whole hours.
constexpr double kTimeSteps[] = {1, 2, 5, 10, 15, 20, 30, 60, 120, 300, 600, 900, 1200, 1800, 3600};
// A time axis has about as many steps as the default count of samples gives
// a full main-window chart (360 points, 60 a step), the half a step to spare
// keeping a steady rate on one side of a boundary.
constexpr double kTimeStepsAcross = 6.5;
constexpr int kMaxTimeLines = 64;

// No valid Integer setting needs more grid lines than this on one axis; a
// grid that would need more (or never reaches its end) is not drawn.
constexpr double kMaxGridLines = 65536;

// Whether "g := start; while g <= end: ...; g := g + step", with g held in
// single precision, comes to an end within kMaxGridLines passes.
bool SingleSumEnds(float start, double end, double step) {
    if (!(static_cast<double>(start) <= end)) {
        return true;  // not even one pass
    }
    if (!std::isfinite(step) || !(step > 0) || !std::isfinite(end)) {
        return false;
    }
    if ((end - static_cast<double>(start)) / step > kMaxGridLines) {
        return false;
    }
    // The spacing of singles grows with magnitude: if the step still moves
    // the largest value the loop adds to, it moves every smaller one.
    const float top = std::max(std::fabs(start), std::fabs(static_cast<float>(end)));
    return static_cast<float>(static_cast<double>(top) + step) > top;
}

// A cell joined into a text: a number in its shortest form with the user's
// decimal separator, a text unchanged, an empty cell as nothing.
QString JoinedText(const TrendCell& c) {
    switch (c.kind()) {
        case TrendCell::Kind::Number:
            return DoubleText(c.number());
        case TrendCell::Kind::Text:
            return c.text();
        case TrendCell::Kind::Empty:
            break;
    }
    return {};
}

// A cell printed on its own.
QString PrintedCell(const TrendCell& c) {
    if (c.isNumber()) {
        return PrintedNumber(c.number());
    }
    return c.isText() ? c.text() : QString();
}

// Height of a value: clamped to the top edge, rounded, clamped to the bottom
// edge. Nothing when it cannot be worked out.
std::optional<double> Height(double value, const cTrendline::Geometry& g, double divisor) {
    if (divisor == 0) {
        return std::nullopt;
    }
    double v = static_cast<double>(g.B) + g.Z - value * g.H / divisor;
    if (std::isnan(v)) {
        return std::nullopt;
    }
    if (v < g.T) {
        v = g.T;
    }
    v = RoundHalfEven(v);
    if (v > static_cast<double>(g.B)) {
        v = static_cast<double>(g.B);
    }
    return v;
}

struct Failure {
    int number;
    QString description;
};

// A database value as a number, or the failure of taking it as one.
double FieldNumber(const QVariant& v) {
    if (v.isNull()) {
        throw Failure{94, QStringLiteral("Invalid use of Null")};
    }
    bool ok = false;
    double d = 0;
    if (v.typeId() == QMetaType::QString) {
        QString t = v.toString().trimmed();
        d = t.toDouble(&ok);
        if (!ok && DecimalSeparator() != QLatin1Char('.') && !t.contains(QLatin1Char('.'))) {
            d = t.replace(DecimalSeparator(), QLatin1Char('.')).toDouble(&ok);
        }
    } else if (v.typeId() != QMetaType::QByteArray) {
        d = v.toDouble(&ok);
    }
    if (!ok) {
        throw Failure{13, QStringLiteral("Type mismatch")};
    }
    return d;
}

struct Effective {
    int maxY;
    int resolution;
    int maxX;
};

}  // namespace

QString PrintedNumber(double v) {
    const QString t = DoubleText(v);
    if (t.startsWith(QLatin1Char('-'))) {
        return t + QLatin1Char(' ');
    }
    return QLatin1Char(' ') + t + QLatin1Char(' ');
}

SurfaceColor cTrendline::SeriesColor(int s, bool showLimits) {
    if (s < 0 || s >= kSeries) {
        return kWhite;
    }
    return kColours[showLimits ? 1 : 0][s];
}

cTrendline::Geometry cTrendline::ComputeGeometry(const DrawSurface& s, int16_t minY) {
    return ComputeGeometry(s.ScaleWidth(), s.ScaleHeight(), minY);
}

cTrendline::Geometry cTrendline::ComputeGeometry(float width, float height, int16_t minY) {
    Geometry g;
    g.W = width * 4.0f / 5.0f;
    g.B = height - 300.0f;
    // Sizes held in 32 bits: a large window must not turn the plot flat.
    if (minY < 0) {
        g.Z = RoundToInt32((static_cast<float>(g.T) - g.B) / 10.0f).value_or(0);
    }
    g.H = RoundToInt32(g.B - static_cast<float>(g.T)).value_or(0);
    g.P = RoundToInt32(static_cast<float>(g.X0) - g.W).value_or(0);
    return g;
}

void cTrendline::AutoScaleY(const TrendArray& arr) {
    int peak = 0;
    const int last = maxX_ - 2;
    for (int s = 0; s < kSeries; ++s) {
        if (arr.at(s, 0).isBlank()) {
            continue;
        }
        for (int j = 2; j <= last; ++j) {
            // A point the table does not have, a sample that is not a number
            // or one too large for the scale: leave the scale as it is.
            if (!arr.inRange(s, j)) {
                return;
            }
            const std::optional<double> v = arr.at(s, j).toNumber();
            if (!v) {
                return;
            }
            if (*v > peak) {
                const std::optional<int16_t> r = RoundToInt16(*v);
                if (!r) {
                    return;
                }
                peak = *r;
            }
        }
    }
    // The scale is an Integer: a sum that does not fit leaves it unchanged.
    if (peak + 5 > INT16_MAX) {
        return;
    }
    // (maxY - 15 is only worked out when maxY is above 5, so it always fits.)
    if (peak + 5 >= maxY_ || peak < maxY_ - 15) {
        if (peak + 10 > INT16_MAX) {
            return;
        }
        maxY_ = static_cast<int16_t>(peak + 10);
    }
}

void cTrendline::ReplaceZeroSettings() {
    if (maxY_ == 0) {
        maxY_ = 100;
    }
    if (resolution_ == 0) {
        resolution_ = 10;
    }
    if (maxX_ == 0) {
        maxX_ = 600;
    }
}

void cTrendline::PrepareRedraw(const TrendArray& arr) {
    if (autoScale_) {
        AutoScaleY(arr);
    }
    ReplaceZeroSettings();
}

void cTrendline::DrawTrend(const TrendArray& arr, bool PercentAxis) {
    PrepareRedraw(arr);
    PaintTrend(arr, PercentAxis);
}

namespace {
Effective EffectiveSettings(int16_t maxY, int16_t resolution, int16_t maxX) {
    return {maxY != 0 ? maxY : 100, resolution != 0 ? resolution : 10, maxX != 0 ? maxX : 600};
}
}  // namespace

double cTrendline::PaintGrid(DrawSurface& s, const Geometry& g, bool percentAxis, Mode mode) const {
    const Effective e = EffectiveSettings(maxY_, resolution_, maxX_);
    s.setForeColor(kWhite);
    s.Cls();

    // Value grid, from 0 (or one step below it when the zero line is lifted).
    const double step = static_cast<double>(e.maxY) / e.resolution;
    const float start = g.Z != 0 ? static_cast<float>(-step) : 0.0f;
    if (SingleSumEnds(start, e.maxY, step)) {
        for (float v = start; v <= static_cast<float>(e.maxY);
             v = static_cast<float>(static_cast<double>(v) + step)) {
            const double y =
                static_cast<double>(g.B) + g.Z - (static_cast<double>(v) / e.maxY) * g.H;
            s.Line(g.X0, y, g.W, y, kGrey, LineForm::Segment);
            s.setCurrentX(kValueLabelX);
            s.setCurrentY(y - kLabelOffset);
            s.Print(PrintedNumber(std::floor(static_cast<double>(v))));
        }
    }

    if (!percentAxis) {
        return kLegendOffset;
    }
    // Percent axis for series 1, level with the value grid when minY is 0.
    const SurfaceColor colour = SeriesColor(1, showLimits_);
    auto label = [&](float v) {
        s.setForeColor(colour);
        s.setCurrentX(static_cast<double>(g.W) + kPercentLabelGap);
        s.setCurrentY(static_cast<double>(g.B) + g.Z - (static_cast<double>(v) / 100.0) * g.H -
                      kLabelOffset);
        s.Print(PrintedNumber(RoundHalfEven(v)));
        s.setForeColor(kWhite);
    };
    const int span = e.maxY - minY_;
    if (span == 0) {
        // The step cannot be worked out. Drawing from the table leaves the
        // axis out; drawing from a database stops after the first label.
        if (mode == Mode::Strict) {
            if (start <= 100.0f) {
                label(start);
            }
            throw Failure{11, QStringLiteral("Division by zero")};
        }
        return kLegendOffsetPercent;
    }
    const double pstep = 100.0 * step / span;
    if (SingleSumEnds(start, 100.0, pstep)) {
        for (float v = start; v <= 100.0f; v = static_cast<float>(static_cast<double>(v) + pstep)) {
            label(v);
        }
    }
    return kLegendOffsetPercent;
}

namespace {
// The oldest point up to reach whose stamp, like every newer one from `from`
// on, is there.
int LastStamped(const TrendArray& arr, int from, int reach) {
    int last = from;
    while (last < reach && std::isfinite(arr.timeAt(last + 1))) {
        ++last;
    }
    return last;
}
}  // namespace

cTrendline::TimeAxis cTrendline::TimeAxisOf(const TrendArray& arr, int from, int maxX) {
    const double newest = arr.timeAt(from);
    const int last = LastStamped(
        arr, from, std::min(from + maxX - TrendArray::kFirstSample, TrendArray::kLastPoint));
    // The seconds the whole width spans at the rate the stamps show.
    const double span = last > from ? (newest - arr.timeAt(last)) * maxX / (last - from) : 0.0;
    TimeAxis axis;
    axis.step = std::ceil(span / kTimeStepsAcross / 3600) * 3600;
    for (const double step : kTimeSteps) {
        if (span <= step * kTimeStepsAcross) {
            axis.step = step;
            break;
        }
    }
    if (!(axis.step >= 1)) {
        axis.step = 1;  // no span worked out: the newest sample's line alone
    }
    const bool minutes = axis.step >= 60;
    axis.unit = minutes ? 60 : 1;
    axis.suffix = minutes ? QStringLiteral(" min") : QStringLiteral(" s");
    return axis;
}

std::vector<cTrendline::TimeLine> cTrendline::TimeGrid(const TrendArray& arr,
                                                       const Geometry& g) const {
    std::vector<TimeLine> lines;
    const Effective e = EffectiveSettings(maxY_, resolution_, maxX_);
    if (!arr.stamped() || e.maxX < TrendArray::kFirstSample) {
        return lines;  // no sample drawn, no time to tell
    }
    const TimeAxis axis = TimeAxisOf(arr, TrendArray::kFirstSample, e.maxX);
    const double newest = arr.timeAt(TrendArray::kFirstSample);
    auto age = [&](int p) { return xTitleOffset_ + (newest - arr.timeAt(p)); };
    const int last =
        LastStamped(arr, TrendArray::kFirstSample, std::min<int>(e.maxX, TrendArray::kLastPoint));
    // A view of older samples starts at the first whole step it shows.
    const double first = std::ceil(age(TrendArray::kFirstSample) / axis.step - 1e-9) * axis.step;
    // Past the oldest stamp (a table still filling) the lines go on at the
    // rate the stamps show, as far as the plot reaches.
    const double interval =
        last > TrendArray::kFirstSample
            ? (age(last) - age(TrendArray::kFirstSample)) / (last - TrendArray::kFirstSample)
            : 0.0;
    int p = TrendArray::kFirstSample;
    for (int n = 0; n < kMaxTimeLines; ++n) {
        const double a = first + n * axis.step;
        double point = 0;
        if (a <= age(last)) {
            while (p < last && age(p + 1) < a) {
                ++p;
            }
            point = p;
            if (p < last && age(p + 1) > age(p)) {
                point += std::clamp((a - age(p)) / (age(p + 1) - age(p)), 0.0, 1.0);
            }
        } else if (interval > 0 && last + (a - age(last)) / interval <= e.maxX) {
            point = last + (a - age(last)) / interval;
        } else {
            break;
        }
        const double x = toRight_ ? g.X0 - point * g.P / e.maxX
                                  : static_cast<double>(g.W) + point * g.P / e.maxX;
        lines.push_back({x, DoubleText(a / axis.unit) + axis.suffix});
    }
    return lines;
}

void cTrendline::PaintTimeGrid(DrawSurface& s, const Geometry& g, const TrendArray& arr) const {
    if (arr.stamped()) {
        for (const TimeLine& l : TimeGrid(arr, g)) {
            s.Line(l.x, g.B, l.x, g.T, kGrey, LineForm::Segment);
            s.setCurrentX(l.x - kLabelOffset);
            s.setCurrentY(static_cast<double>(g.B) + kLabelOffset);
            if (xTitleShow_) {
                s.Print(l.label);
            }
        }
        return;
    }
    const Effective e = EffectiveSettings(maxY_, resolution_, maxX_);
    const double scale = xTitleScale_;
    // i is rounded after every step, so a step of half a sample or less never
    // moves it; from the right edge |i| grows whichever way it steps.
    const bool ends = std::isfinite(scale) && (toRight_ ? scale > 0.5 : std::fabs(scale) > 0.5);
    if (!ends) {
        return;
    }
    auto line = [&](double i, double x) {
        s.Line(x, g.B, x, g.T, kGrey, LineForm::Segment);
        s.setCurrentX(x - kLabelOffset);
        s.setCurrentY(static_cast<double>(g.B) + kLabelOffset);
        if (xTitleShow_) {
            // A view of older samples labels their age to two decimals.
            const double age = (std::fabs(i) + xTitleOffset_) / scale;
            s.Print(DoubleText(xTitleOffset_ != 0 ? RoundHalfEven(age * 100) / 100 : age) +
                    xTitleEnd_);
        }
    };
    if (!toRight_) {
        for (double i = 0; std::fabs(i) <= e.maxX; i = RoundHalfEven(i - scale)) {
            line(i, static_cast<double>(g.W) - (i / e.maxX) * g.P);
        }
    } else {
        for (double i = 0; i <= e.maxX; i = RoundHalfEven(i + scale)) {
            line(i, g.X0 - (i / e.maxX) * g.P);
        }
    }
}

void cTrendline::PaintTrend(const TrendArray& arr, bool PercentAxis) const {
    DrawSurface* surface = picBox_;
    if (surface == nullptr) {
        return;
    }
    const double legendX = PaintBackground(*surface, arr, PercentAxis);
    PaintSeries(*surface, arr, PercentAxis, legendX);
}

double cTrendline::PaintBackground(DrawSurface& s, const TrendArray& arr, bool PercentAxis) const {
    s.setBackColor(kBlack);
    const Geometry g = ComputeGeometry(s, minY_);
    const double legendX = static_cast<double>(g.W) + PaintGrid(s, g, PercentAxis, Mode::Lenient);
    PaintTimeGrid(s, g, arr);
    s.Line(g.X0, g.B, g.W, g.T, kButtonFace, LineForm::Box);
    return legendX;
}

namespace {

// The legend's walk: a name line, then its value line; the next name follows
// a gap below that. Before any shown series the walk starts from 0, not from
// the plot's top.
class LegendWalk {
  public:
    explicit LegendWalk(const cTrendline::Geometry& g) : g_(g) {}
    // The top of the next shown series' name line (text hangs below its
    // current y); its value line is kLegendValueLine lower.
    double Next(int series) {
        r_ = series == 0 ? RoundHalfEven(g_.T + g_.H * 5.0 / 100.0) : r_ + kLegendGap;
        const double top = r_;
        r_ += kLegendValueLine;
        return top;
    }

  private:
    const cTrendline::Geometry& g_;
    double r_ = 0;
};

}  // namespace

void cTrendline::PaintSeries(DrawSurface& s, const TrendArray& arr, bool PercentAxis,
                             double legendX) const {
    const Effective e = EffectiveSettings(maxY_, resolution_, maxX_);
    const Geometry g = ComputeGeometry(s, minY_);
    s.setFontBold(true);

    auto pointX = [&](int k) {
        return toRight_ ? g.X0 - static_cast<double>(k) * g.P / e.maxX
                        : static_cast<double>(g.W) + static_cast<double>(k) * g.P / e.maxX;
    };
    // A point whose height cannot be worked out takes the last one that
    // could; before any, the zero line.
    double lastHeight = Height(0, g, 1).value_or(g.B);
    // The legend is walked in this loop: taken from an array of its tops the
    // curves below drew measurably slower.
    LegendWalk legend(g);
    for (int series = 0; series < kSeries; ++series) {
        const TrendCell& name = arr.at(series, 0);
        if (name.isBlank()) {
            continue;
        }
        const SurfaceColor colour = SeriesColor(series, showLimits_);
        const double top = legend.Next(series);
        s.setCurrentX(legendX);
        s.setCurrentY(top);
        s.setForeColor(colour);
        s.Print(PrintedCell(name));
        s.setCurrentX(legendX);
        s.setCurrentY(top + kLegendValueLine);
        if (showValue_) {
            s.Print(QStringLiteral(" ( ") + JoinedText(arr.at(series, 2)) +
                    JoinedText(arr.at(series, 1)) + QStringLiteral(" )"));
        }

        const double divisor = (series == 1 && PercentAxis) ? 100.0 : e.maxY;
        auto heightOf = [&](int k) {
            if (arr.inRange(series, k)) {
                if (const std::optional<double> v = arr.at(series, k).toNumber()) {
                    if (const std::optional<double> h = Height(*v, g, divisor)) {
                        lastHeight = *h;
                    }
                }
            }
            return lastHeight;
        };
        if (e.maxX - 2 < 2 || (hidden_ & (1u << series)) != 0) {
            continue;
        }
        double x1 = pointX(2);
        double y1 = heightOf(2);
        for (int j = 2; j <= e.maxX - 2; ++j) {
            const double x2 = pointX(j + 1);
            const double y2 = heightOf(j + 1);
            s.Line(x1, y1, x2, y2, colour, LineForm::Segment);
            x1 = x2;
            y1 = y2;
        }
    }
    s.setFontBold(false);
}

cTrendline::LegendTops cTrendline::LegendNameTops(const TrendArray& arr, const Geometry& g) {
    LegendTops tops;
    LegendWalk legend(g);
    for (int series = 0; series < kSeries; ++series) {
        if (!arr.at(series, 0).isBlank()) {
            tops[series] = legend.Next(series);
        }
    }
    return tops;
}

double cTrendline::LegendValueLine() {
    return kLegendValueLine;
}

int cTrendline::LegendSeriesAt(const TrendArray& arr, const Geometry& g, double y) {
    const LegendTops tops = LegendNameTops(arr, g);
    for (int series = 0; series < kSeries; ++series) {
        if (tops[series] && y >= *tops[series] &&
            y < *tops[series] + kLegendValueLine + kLegendGap) {
            return series;
        }
    }
    return -1;
}

void cTrendline::DrawSQLTrend(RecordSet& rs, QStringList& FieldNames, bool PercentAxis) {
    QString message;
    try {
        DrawSQLTrendSteps(rs, FieldNames, PercentAxis);
        return;
    } catch (const RecordSetError& e) {
        if (e.number() == RecordSetError::kNoCurrentRecord) {
            return;  // out of records: the drawing simply ends here
        }
        message = e.description() + QString::number(e.number());
    } catch (const Failure& f) {
        message = f.description + QString::number(f.number);
    }
    if (notifier_ != nullptr) {
        notifier_->ShowMessage(QStringLiteral("Error: cDrawSQLTrend ") + message);
    }
}

void cTrendline::DrawSQLTrendSteps(RecordSet& rs, QStringList& FieldNames, bool PercentAxis) {
    if (picBox_ == nullptr) {
        throw Failure{91, QStringLiteral("Object variable or With block variable not set")};
    }
    DrawSurface& s = *picBox_;
    s.setBackColor(kBlack);
    const Geometry g = ComputeGeometry(s, minY_);
    ReplaceZeroSettings();
    const double legendX = static_cast<double>(g.W) + PaintGrid(s, g, PercentAxis, Mode::Strict);

    if (clockAxis_) {
        for (const TimeLine& line : ClockGrid(*clockAxis_, g, maxX_)) {
            s.Line(line.x, g.B, line.x, g.T, kGrey, LineForm::Segment);
            s.setCurrentX(line.x - kLabelOffset);
            s.setCurrentY(static_cast<double>(g.B) + kLabelOffset);
            s.Print(line.label);
        }
    }
    // Time grid from the right edge, labelled with record counts.
    for (int i = 0; !clockAxis_ && std::abs(i) <= maxX_; i -= kSqlTimeStep) {
        const double x = static_cast<double>(g.W) - (static_cast<double>(i) / maxX_) * g.P;
        s.Line(x, g.B, x, g.T, kGrey, LineForm::Segment);
        s.setCurrentX(x - kLabelOffset);
        s.setCurrentY(static_cast<double>(g.B) + kLabelOffset);
        s.Print(PrintedNumber(std::abs(i)));
    }
    s.Line(g.X0, g.B, g.W, g.T, kButtonFace, LineForm::Box);
    s.setFontBold(true);

    auto heightOf = [&](const QVariant& value, double divisor) {
        const std::optional<double> h = Height(FieldNumber(value), g, divisor);
        if (!h) {
            throw Failure{6, QStringLiteral("Overflow")};
        }
        return *h;
    };
    auto pointX = [&](int k) {
        return static_cast<double>(g.W) + static_cast<double>(k) * g.P / maxX_;
    };

    LegendWalk legend(g);
    for (int series = 0; series < kSeries; ++series) {
        if (series >= FieldNames.size()) {
            throw Failure{9, QStringLiteral("Subscript out of range")};
        }
        const QString name = FieldNames[series];
        if (name.isEmpty()) {
            continue;
        }
        const SurfaceColor colour = SeriesColor(series, showLimits_);
        const double top = legend.Next(series);
        s.setCurrentX(legendX);
        s.setCurrentY(top);
        s.setForeColor(colour);
        s.Print(name);
        s.setCurrentX(legendX);
        s.setCurrentY(top + kLegendValueLine);

        QString column = name;
        column.remove(QLatin1Char('-'));
        FieldNames[series] = column;
        rs.MoveFirst();
        const double divisor = (series == 1 && PercentAxis) ? 100.0 : maxY_;
        bool before = false;  // the record before `a` has a value
        for (int j = 2; j <= maxX_ - 2; ++j) {
            const QVariant a = rs.Fields(column);
            rs.MoveNext();
            const QVariant b = rs.Fields(column);
            if (clockAxis_ && (a.isNull() || b.isNull())) {
                // A span without data stays empty; a value alone between
                // two such spans is drawn across its own column.
                if (!a.isNull() && !before) {
                    const double y = heightOf(a, divisor);
                    const double half = 0.5 * g.P / maxX_;
                    s.Line(pointX(j) - half, y, pointX(j) + half, y, colour, LineForm::Segment);
                }
                before = !a.isNull();
                continue;
            }
            before = true;
            s.Line(pointX(j), heightOf(a, divisor), pointX(j + 1), heightOf(b, divisor), colour,
                   LineForm::Segment);
        }
    }
    s.setFontBold(false);
}

}  // namespace tuvik

namespace tuvik {

namespace {
qint64 CeilDiv(qint64 a, qint64 b) {
    return a / b + ((a % b) > 0 ? 1 : 0);
}
}  // namespace

std::vector<cTrendline::TimeLine> cTrendline::ClockGrid(const ClockAxis& axis, const Geometry& g,
                                                        int maxX) {
    std::vector<TimeLine> lines;
    if (maxX <= 0 || !(axis.secondsPerRecord > 0)) {
        return lines;
    }
    // A time t stands at point (end - t) / secondsPerRecord + 1.
    const double span = axis.secondsPerRecord * maxX;
    const qint64 oldest =
        axis.end - static_cast<qint64>(span) + static_cast<qint64>(axis.secondsPerRecord);
    static constexpr qint64 kSteps[] = {60,     120,     300,     600,     900,    1800,   3600,
                                        7200,   10800,   21600,   43200,   86400,  172800, 345600,
                                        604800, 1209600, 2419200, 4838400, 7862400};
    qint64 step = kSteps[std::size(kSteps) - 1];
    for (qint64 candidate : kSteps) {
        if (span / candidate <= 8) {
            step = candidate;
            break;
        }
    }
    // Round times of the clock: where the clock's time (UTC plus its offset
    // then) is a whole step, counted from 1970 as UTC is. Each stretch
    // between two changes of the offset is rounded with its own offset, so
    // that midnights and whole hours stay whole on both sides of a change.
    struct Stretch {
        qint64 from;  // first second with this offset
        int offset;
    };
    std::vector<Stretch> stretches{
        {oldest + 1, QDateTime::fromSecsSinceEpoch(oldest + 1, axis.zone).offsetFromUtc()}};
    if (axis.zone.hasTransitions()) {
        for (const QTimeZone::OffsetData& change :
             axis.zone.transitions(QDateTime::fromSecsSinceEpoch(oldest + 1, QTimeZone::utc()),
                                   QDateTime::fromSecsSinceEpoch(axis.end, QTimeZone::utc()))) {
            const qint64 at = change.atUtc.toSecsSinceEpoch();
            if (at > stretches.back().from) {
                stretches.push_back({at, change.offsetFromUtc});
            }
        }
    }
    for (size_t i = 0; i < stretches.size() && lines.size() < 16; ++i) {
        const qint64 from = stretches[i].from;
        const qint64 to = i + 1 < stretches.size() ? stretches[i + 1].from : axis.end + 1;
        const qint64 offset = stretches[i].offset;
        qint64 t = CeilDiv(from + offset, step) * step - offset;
        for (; t < to && lines.size() < 16; t += step) {
            const double point = static_cast<double>(axis.end - t) / axis.secondsPerRecord + 1;
            const QDateTime local = QDateTime::fromSecsSinceEpoch(t, axis.zone);
            const bool midnight = local.time() == QTime(0, 0);
            const QString label = step >= 86400 || midnight
                                      ? local.toString(QStringLiteral("d.M."))
                                      : local.toString(QStringLiteral("HH:mm"));
            lines.push_back({static_cast<double>(g.W) + point * g.P / maxX, label});
        }
    }
    return lines;
}

}  // namespace tuvik
