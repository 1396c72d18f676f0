#pragma once
// The histogram as a bar chart: one bar per 5-degree temperature class from
// 200 to 795, the count axis rounded up to 1, 2 or 5 times a power of ten,
// and the two infrared averages in the caption. It draws whatever the
// histogram holds, so a read shows as it arrives and Clear empties it.

#include <QWidget>

namespace tuvik {

struct HistogramBars;

class HistogramChartWidget : public QWidget {
    Q_OBJECT
  public:
    explicit HistogramChartWidget(const HistogramBars& bars, QWidget* parent = nullptr);

    // The caption line under the chart ("IR average ...", or what to do).
    QString Caption() const;
    // The bar's rectangle for class k in this widget's coordinates (empty
    // when the class was not read).
    QRectF BarRect(int k) const;

    QSize sizeHint() const override { return {420, 220}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRectF Plot() const;

    const HistogramBars& bars_;
};

}  // namespace tuvik
