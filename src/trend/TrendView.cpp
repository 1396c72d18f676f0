#include "trend/TrendView.h"

#include <algorithm>
#include <cmath>

#include "support/CsvWriter.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {

QString CellText(const TrendCell& c) {
    if (c.isNumber()) {
        return DoubleText(c.number(), QLatin1Char('.'));
    }
    return c.isText() ? c.text().trimmed() : QString();
}

// The legend's unit text: point 1 of the series, trimmed.
QString SeriesTitle(const TrendArray& arr, int s) {
    const QString name = CellText(arr.at(s, 0));
    const QString unit = CellText(arr.at(s, 1));
    return unit.isEmpty() ? name : name + QStringLiteral(" (") + unit + QLatin1Char(')');
}

}  // namespace

void TrendView::setLiveSpan(int span) {
    liveSpan_ = std::clamp(span, kMinSpan, kMaxReach);
    Clamp();
}

void TrendView::Reset() {
    paused_ = false;
    span_ = 0;
    offset_ = 0;
}

void TrendView::Clamp() {
    int s = std::clamp(span(), kMinSpan, kMaxReach);
    span_ = s == liveSpan_ ? 0 : s;
    // The view's oldest drawn point (offset + span) stays inside the table.
    offset_ = std::clamp(offset_, 0, kMaxReach - s);
}

void TrendView::ZoomAt(double fraction, double factor) {
    if (!std::isfinite(fraction) || !std::isfinite(factor) || factor <= 0) {
        return;
    }
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int oldSpan = span();
    const double anchor = offset_ + fraction * oldSpan;  // sample under the pointer
    const int newSpan =
        std::clamp(static_cast<int>(std::lround(oldSpan * factor)), kMinSpan, kMaxReach);
    span_ = newSpan;
    offset_ = static_cast<int>(std::lround(anchor - fraction * newSpan));
    Clamp();
    if (offset_ > 0) {
        paused_ = true;  // the newest samples are out of view: hold it still
    }
}

void TrendView::Pan(double shareOfSpan) {
    if (!std::isfinite(shareOfSpan)) {
        return;
    }
    offset_ += static_cast<int>(std::lround(shareOfSpan * span()));
    Clamp();
    if (offset_ > 0) {
        paused_ = true;
    }
}

void TrendView::toggleSeries(int series) {
    if (series >= 0 && series < 8) {
        hidden_ ^= static_cast<uint8_t>(1u << series);
    }
}

int TrendView::SampleAt(double fraction) const {
    if (!std::isfinite(fraction) || fraction < 0.0 || fraction > 1.0) {
        return -1;
    }
    // The chart draws points 2..span: sample k of the view sits at k + 2
    // spans-parts from the right edge.
    const int point = static_cast<int>(std::lround(fraction * span()));
    if (point < TrendArray::kFirstSample || point > span() - 1) {
        return -1;
    }
    return offset_ + point - TrendArray::kFirstSample;
}

TrendArray TrendView::Slice(const TrendArray& arr) const {
    TrendArray out(arr.seriesCount());
    for (int s = 0; s < arr.seriesCount(); ++s) {
        out.set(s, 0, arr.at(s, 0));
        out.set(s, 1, arr.at(s, 1));
        for (int p = TrendArray::kFirstSample; p <= TrendArray::kLastPoint; ++p) {
            const int from = p + offset_;
            if (from > TrendArray::kLastPoint) {
                break;
            }
            out.set(s, p, arr.at(s, from));
        }
    }
    if (arr.stamped()) {
        for (int p = TrendArray::kFirstSample; p + offset_ <= TrendArray::kLastPoint; ++p) {
            out.setTime(p, arr.timeAt(p + offset_));
        }
    }
    return out;
}

cTrendline TrendView::ChartFor(const cTrendline& live, const TrendArray& arr,
                               const TrendArray& slice) const {
    cTrendline c = live;
    if (zoomed()) {
        c.setMaxX(static_cast<int16_t>(span()));
        c.setXTitleOffset(Age(arr, offset_));
        if (c.AutoScale()) {
            c.AutoScaleY(slice);
        }
    }
    c.setHiddenSeries(hidden_);
    return c;
}

double TrendView::Age(const TrendArray& arr, int k) {
    if (!arr.stamped()) {
        return k;
    }
    return arr.timeAt(TrendArray::kFirstSample) - arr.timeAt(TrendArray::kFirstSample + k);
}

QStringList TrendView::Readout(const TrendArray& arr, double fraction, double perUnit,
                               const QString& unitText) const {
    const int k = SampleAt(fraction);
    if (k < 0 || perUnit <= 0) {
        return {};
    }
    const double age = Age(arr, k);
    QStringList lines;
    lines << (std::isfinite(age)
                  ? QStringLiteral("-") + DoubleText(RoundHalfEven(age / perUnit * 100) / 100) +
                        unitText
                  : QStringLiteral("-"));
    for (int s = 0; s < arr.seriesCount(); ++s) {
        if (arr.at(s, 0).isBlank() || hidden(s)) {
            continue;
        }
        lines << CellText(arr.at(s, 0)) + QStringLiteral(": ") +
                     CellText(arr.at(s, TrendArray::kFirstSample + k)) + CellText(arr.at(s, 1));
    }
    return lines;
}

QByteArray TrendView::Csv(const TrendArray& arr, double perUnit, const QString& unitText) const {
    QStringList header{QStringLiteral("time (") + unitText.trimmed() + QLatin1Char(')')};
    QList<int> series;
    for (int s = 0; s < arr.seriesCount(); ++s) {
        if (!arr.at(s, 0).isBlank() && !hidden(s)) {
            series << s;
            header << SeriesTitle(arr, s);
        }
    }
    // A legend's title may hold a comma.
    CsvWriter csv(QLatin1Char(','), CsvQuoting::WhenNeeded);
    csv.Add(header);
    const int last = std::min(span() - 1, TrendArray::kLastPoint - offset_);
    for (int p = last; p >= TrendArray::kFirstSample; --p) {
        const int k = offset_ + p - TrendArray::kFirstSample;
        double time = -Age(arr, k) / (perUnit > 0 ? perUnit : 1.0);
        if (arr.stamped()) {
            time = RoundHalfEven(time * 1000) / 1000 + 0.0;  // never "-0"
        }
        QStringList fields{std::isfinite(time) ? DoubleText(time, QLatin1Char('.')) : QString()};
        for (int s : series) {
            fields << CellText(arr.at(s, TrendArray::kFirstSample + k));
        }
        csv.Add(fields);
    }
    return csv.text().toUtf8();
}

std::pair<double, QString> TrendView::TimeUnit(const cTrendline& live,
                                               const TrendArray& arr) const {
    if (!arr.stamped()) {
        return {live.XTitleScale(), live.XTitleEnd()};
    }
    const cTrendline::TimeAxis axis = cTrendline::TimeAxisOf(
        arr, TrendArray::kFirstSample + offset(), zoomed() ? span() : live.maxX());
    return {axis.unit, axis.suffix};
}

QStringList TrendView::ReadoutOn(const cTrendline& live, const TrendArray& arr,
                                 double fraction) const {
    const auto [perUnit, suffix] = TimeUnit(live, arr);
    return Readout(arr, fraction, perUnit, suffix);
}

QByteArray TrendView::VisibleCsv(const cTrendline& live, const TrendArray& arr) const {
    if (arr.stamped()) {
        return Csv(arr, 1, QStringLiteral(" s"));
    }
    return Csv(arr, live.XTitleScale(), live.XTitleEnd());
}

}  // namespace tuvik
