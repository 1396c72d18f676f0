#include "trend/TrendArray.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "support/Numbers.h"

namespace tuvik {

std::optional<double> TrendSampleOf(float v, double ceiling, bool ceilingFirst) {
    if (ceilingFirst && v > static_cast<float>(ceiling)) {
        v = static_cast<float>(ceiling);
    }
    const double hundredths = RoundHalfEven(static_cast<double>(v * 100.0f));
    if (!std::isfinite(hundredths) ||
        (!ceilingFirst && !RoundToInt32(static_cast<double>(v * 100.0f)))) {
        return std::nullopt;
    }
    return std::min(hundredths / 100.0, ceiling);
}

void TrendArray::PushValue(int series, float v, double ceiling, bool ceilingFirst) {
    if (const auto sample = TrendSampleOf(v, ceiling, ceilingFirst)) {
        PushSample(series, TrendCell(*sample));
    } else {
        Shift(series);
    }
}

namespace {
const TrendCell kEmptyCell;
constexpr double kNoTime = std::numeric_limits<double>::quiet_NaN();

const Clock*& TrendClock() {
    static const Clock* clock = &Clock::System();
    return clock;
}
}  // namespace

double TrendNow() {
    return TrendClock()->TrendSeconds();
}

void UseTrendClock(const Clock* clock) {
    TrendClock() = clock ? clock : &Clock::System();
}

std::optional<double> TrendCell::toNumber() const {
    switch (kind_) {
        case Kind::Empty:
            return 0.0;
        case Kind::Number:
            return num_;
        case Kind::Text: {
            bool ok = false;
            const double v = text_.trimmed().toDouble(&ok);
            if (ok) {
                return v;
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool TrendCell::operator==(const TrendCell& o) const {
    if (kind_ != o.kind_) {
        return false;
    }
    switch (kind_) {
        case Kind::Empty:
            return true;
        case Kind::Number:
            return num_ == o.num_;
        case Kind::Text:
            return text_ == o.text_;
    }
    return false;
}

TrendArray::TrendArray(int series) : series_(static_cast<size_t>(series > 0 ? series : 0)) {}

TrendCell& TrendArray::cellRef(Series& s, int point) {
    if (point == 0) {
        return s.name;
    }
    if (point == 1) {
        return s.unit;
    }
    return s.ring[static_cast<size_t>(RingIndex(s.head, point))];
}

const TrendCell& TrendArray::cellRef(const Series& s, int point) const {
    return const_cast<TrendArray*>(this)->cellRef(const_cast<Series&>(s), point);
}

const TrendCell& TrendArray::at(int series, int point) const {
    if (!inRange(series, point)) {
        return kEmptyCell;
    }
    return cellRef(series_[static_cast<size_t>(series)], point);
}

void TrendArray::set(int series, int point, const TrendCell& cell) {
    if (inRange(series, point)) {
        cellRef(series_[static_cast<size_t>(series)], point) = cell;
    }
}

void TrendArray::Shift(int series) {
    if (series < 0 || series >= seriesCount()) {
        return;
    }
    Series& s = series_[static_cast<size_t>(series)];
    // The slot of the oldest sample (point 400) becomes point 2, holding a
    // copy of the previous newest sample, which now also sits at point 3.
    const int newHead = s.head == 0 ? kRing - 1 : s.head - 1;
    s.ring[static_cast<size_t>(newHead)] = s.ring[static_cast<size_t>(s.head)];
    s.head = newHead;
}

void TrendArray::PushSample(int series, const TrendCell& v) {
    if (series < 0 || series >= seriesCount()) {
        return;
    }
    Series& s = series_[static_cast<size_t>(series)];
    s.head = s.head == 0 ? kRing - 1 : s.head - 1;
    s.ring[static_cast<size_t>(s.head)] = v;
}

void TrendArray::PushTime(double t) {
    if (times_.empty()) {
        times_.assign(kRing, kNoTime);
    }
    timeHead_ = timeHead_ == 0 ? kRing - 1 : timeHead_ - 1;
    times_[static_cast<size_t>(timeHead_)] = t;
}

double TrendArray::timeAt(int point) const {
    if (times_.empty() || point < kFirstSample || point > kLastPoint) {
        return kNoTime;
    }
    return times_[static_cast<size_t>(RingIndex(timeHead_, point))];
}

void TrendArray::setTime(int point, double t) {
    if (point < kFirstSample || point > kLastPoint) {
        return;
    }
    if (times_.empty()) {
        times_.assign(kRing, kNoTime);
    }
    times_[static_cast<size_t>(RingIndex(timeHead_, point))] = t;
}

bool TrendArray::stamped() const {
    return std::isfinite(timeAt(kFirstSample));
}

void TrendArray::Clear() {
    for (auto& s : series_) {
        s = Series{};
    }
    times_.clear();
    timeHead_ = 0;
}

void TrendArray::ClearSamples() {
    for (auto& s : series_) {
        Series fresh;
        fresh.name = std::move(s.name);
        fresh.unit = std::move(s.unit);
        s = std::move(fresh);
    }
    times_.clear();
    timeHead_ = 0;
}

}  // namespace tuvik
