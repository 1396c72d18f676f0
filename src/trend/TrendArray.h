#pragma once
// Table of trend cells indexed (series, point): point 0 the series name, point
// 1 its unit text, point 2 the newest sample, higher points older samples up
// to point 400. The samples of each series sit in a ring, so appending a new
// newest sample is O(1) while every reader still sees the indexes above.
// A table may also carry the moment each point's sample was taken, so that a
// chart can tell real time whatever rate the samples came at.

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "support/Clock.h"

namespace tuvik {

// The trend sample of a value: its single hundredfold rounded to a whole
// number (halves to even), over 100, held at ceiling. The two feeds differ
// only at the extremes: with ceilingFirst (the analog inputs) v is held at the
// ceiling before rounding and any finite result is a sample; otherwise (the
// loops) the hundredfold must fit 32 bits and the ceiling holds afterwards.
// Nothing when there is no sample.
std::optional<double> TrendSampleOf(float v, double ceiling, bool ceilingFirst);

class TrendCell {
  public:
    enum class Kind : uint8_t { Empty, Number, Text };

    TrendCell() = default;
    TrendCell(double v) : kind_(Kind::Number), num_(v) {}          // NOLINT(implicit)
    TrendCell(const QString& t) : kind_(Kind::Text), text_(t) {}   // NOLINT(implicit)
    TrendCell(const char* t) : TrendCell(QString::fromUtf8(t)) {}  // NOLINT(implicit)
    TrendCell(const TrendCell&) = default;
    TrendCell(TrendCell&&) noexcept = default;
    TrendCell& operator=(TrendCell&&) noexcept = default;
    // Whole tables are copied with every redraw, and most cells are numbers
    // without a text: a null text over a null text is left as it is.
    TrendCell& operator=(const TrendCell& o) {
        kind_ = o.kind_;
        num_ = o.num_;
        if (!text_.isNull() || !o.text_.isNull()) {
            text_ = o.text_;
        }
        return *this;
    }

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isNumber() const { return kind_ == Kind::Number; }
    bool isText() const { return kind_ == Kind::Text; }
    double number() const { return num_; }
    const QString& text() const { return text_; }

    // The value as a number: empty counts as 0; a text counts when it reads as
    // a number; anything else gives nothing.
    std::optional<double> toNumber() const;
    // Empty, or a text that is empty.
    bool isBlank() const {
        return kind_ == Kind::Empty || (kind_ == Kind::Text && text_.isEmpty());
    }

    bool operator==(const TrendCell& o) const;

  private:
    Kind kind_ = Kind::Empty;
    double num_ = 0.0;
    QString text_;
};

class TrendArray {
  public:
    static constexpr int kLastPoint = 400;
    static constexpr int kPoints = kLastPoint + 1;
    static constexpr int kFirstSample = 2;

    explicit TrendArray(int series = 5);

    int seriesCount() const { return static_cast<int>(series_.size()); }

    // Out-of-range indexes read as an empty cell and are ignored on write.
    const TrendCell& at(int series, int point) const;
    void set(int series, int point, const TrendCell& cell);
    bool inRange(int series, int point) const {
        return series >= 0 && series < seriesCount() && point >= 0 && point <= kLastPoint;
    }

    // Moves every sample of the series one point older (point 400's value is
    // lost) and stores v as the newest sample at point 2. O(1).
    void PushSample(int series, const TrendCell& v);
    // Only the shift of PushSample: point 2 keeps its value, now also at point 3.
    void Shift(int series);
    // Pushes v as a sample (TrendSampleOf), or only shifts when it is none.
    void PushValue(int series, float v, double ceiling, bool ceilingFirst);

    // Moves every time stamp one point older, as PushSample moves a series,
    // and stamps point 2 with t (seconds on the trend clock). O(1).
    void PushTime(double t);
    // The stamp of a sample point; NaN when it has none (a table nobody
    // stamped, a point outside 2..400).
    double timeAt(int point) const;
    void setTime(int point, double t);
    // Whether the newest sample is stamped: a chart then labels real time.
    bool stamped() const;

    // Empties every cell and stamp.
    void Clear();
    // Empties the samples and their stamps; names and units stay.
    void ClearSamples();

  private:
    static constexpr int kRing = kPoints - kFirstSample;  // 399 samples
    static int RingIndex(int head, int point) {
        const int i = head + (point - kFirstSample);
        return i >= kRing ? i - kRing : i;
    }

    struct Series {
        TrendCell name;
        TrendCell unit;
        std::vector<TrendCell> ring = std::vector<TrendCell>(kRing);
        int head = 0;  // ring index of point 2
    };
    TrendCell& cellRef(Series& s, int point);
    const TrendCell& cellRef(const Series& s, int point) const;

    std::vector<Series> series_;
    // Empty until the first stamp: most tables (tests, database charts) never
    // carry any.
    std::vector<double> times_;
    int timeHead_ = 0;
};

// Seconds trend samples are stamped with: the trend clock's TrendSeconds
// (the monotonic clock, or the recorded time while a recording is replayed).
double TrendNow();
// The clock trend samples are stamped by (the session's); null puts the
// system's back. Not owned.
void UseTrendClock(const Clock* clock);

}  // namespace tuvik
