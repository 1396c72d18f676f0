#pragma once
// The burner's histogram: 122 16-bit counters at addresses 1696 to 1938 of
// its non-volatile memory (two infrared averages, then one counter per
// 5-degree temperature class from 200 to 795), read one word at a time and
// listed as lines of text in the order the replies arrive.

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

#include "link/LinkExchangeLock.h"
#include "support/ClockTimer.h"

namespace tuvik {

class DeviceLink;

// The line for one cell (without its line end). Addresses 1696..1699 hold the
// infrared average in tenths; every other address a temperature class count.
// The value is the word as an unsigned number.
QString HistogramLine(uint16_t value, int32_t address);

// The same cells as numbers, for the bar chart: one count per temperature
// class (200 + 5k degrees, k = 0..119) and the two infrared averages.
struct HistogramBars {
    static constexpr int kClasses = 120;
    static constexpr int kFirstClass = 200;  // degrees
    static constexpr int kClassWidth = 5;
    std::array<std::optional<uint16_t>, kClasses> counts{};
    std::array<std::optional<double>, 2> irAverage{};  // addresses 1696 and 1698
    bool empty() const;
    // The highest count read, 0 when none.
    int peak() const;
    // A round top for the count axis at or above the peak, and its step.
    static int AxisTop(int peak);
    // Takes one cell; addresses that are no cell of the chart change nothing.
    void Add(uint16_t value, int32_t address);
};

class Histogram : public QObject {
    Q_OBJECT
  public:
    static constexpr int32_t kFirstAddress = 1696;
    static constexpr int32_t kLastAddress = 1938;
    static constexpr int kReadCount = 122;
    // Spacing between two read requests, so the burner is not flooded.
    static constexpr int kSpacingMs = 5;
    static const QString kExchangeName;

    explicit Histogram(QObject* parent = nullptr);
    ~Histogram() override = default;

    void setSpacingMs(int ms) { spacingMs_ = ms; }
    // The clock the spacing is timed by (the system's unless a session gives its own).
    void setClock(const Clock& clock) { timer_.setClock(clock); }

    // Every line so far, each preceded by CR LF.
    const QString& text() const { return text_; }
    const HistogramBars& bars() const { return bars_; }
    void Clear();
    // One reply of a histogram cell: appends CR LF and its line.
    void addHistogramEntry(uint16_t value, int32_t address);

    // Sends the 122 word reads, the first at once and the others one spacing
    // apart. Nothing when a read runs already or another exchange holds the
    // guard: the reason is returned.
    std::optional<QString> ReadHistogram(DeviceLink* link);
    bool reading() const { return next_ >= 0; }

  signals:
    void textChanged(const QString& text);
    void progress(int sent, int total);
    // ok: all 122 requests went out; otherwise the message says why not.
    void readFinished(bool ok, const QString& message);

  private:
    void SendNext();
    void Stop(bool ok, const QString& message);

    QString text_;
    HistogramBars bars_;
    QPointer<DeviceLink> link_;
    LinkExchangeLock lock_;
    ClockTimer timer_;
    int spacingMs_ = kSpacingMs;
    int next_ = -1;  // index of the next request, -1 when no read runs
    int sent_ = 0;
};

}  // namespace tuvik
