#pragma once
// A small line chart for the step test: a few named series over a shared
// time axis, the axes scaled to hold them all, a legend in the corner. It
// draws the recorded response with the model over it, and the predicted
// closed-loop responses.

#include <QString>
#include <QWidget>

#include <vector>

#include "pid/StepTestAnalysis.h"

namespace tuvik {

class StepChartWidget : public QWidget {
    Q_OBJECT
  public:
    explicit StepChartWidget(const QString& empty, QWidget* parent = nullptr);

    void SetSeries(std::vector<ChartSeries> series);
    const std::vector<ChartSeries>& series() const { return series_; }

    QSize sizeHint() const override { return {360, 180}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString empty_;  // the caption while there is nothing to draw
    std::vector<ChartSeries> series_;
};

}  // namespace tuvik
