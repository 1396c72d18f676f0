#include "burner/ui/HistogramChartWidget.h"

#include <QPainter>

#include "burner/Histogram.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {
constexpr int kLeft = 44;
constexpr int kRight = 10;
constexpr int kTop = 8;
constexpr int kBottom = 40;  // the temperature labels and the caption
}  // namespace

HistogramChartWidget::HistogramChartWidget(const HistogramBars& bars, QWidget* parent)
    : QWidget(parent), bars_(bars) {
    setObjectName(QStringLiteral("chartHistogram"));
    setAccessibleName(QStringLiteral("Histogram chart"));
    setToolTip(QStringLiteral("Counts per flue gas temperature class (5 degrees each)"));
    setMinimumHeight(160);
}

QString HistogramChartWidget::Caption() const {
    if (bars_.empty()) {
        return QStringLiteral("No histogram read: click Read Histogram.");
    }
    auto ir = [](const std::optional<double>& v) {
        return v ? DoubleText(*v, QLatin1Char('.')) : QStringLiteral("-");
    };
    return QStringLiteral("IR average: %1 (1696), %2 (1698)")
        .arg(ir(bars_.irAverage[0]), ir(bars_.irAverage[1]));
}

QRectF HistogramChartWidget::Plot() const {
    return QRectF(kLeft, kTop, std::max(1, width() - kLeft - kRight),
                  std::max(1, height() - kTop - kBottom));
}

QRectF HistogramChartWidget::BarRect(int k) const {
    if (k < 0 || k >= HistogramBars::kClasses || !bars_.counts[static_cast<size_t>(k)]) {
        return {};
    }
    const QRectF p = Plot();
    const double w = p.width() / HistogramBars::kClasses;
    const double top = HistogramBars::AxisTop(bars_.peak());
    const double h = p.height() * *bars_.counts[static_cast<size_t>(k)] / top;
    return QRectF(p.left() + k * w, p.bottom() - h, std::max(1.0, w - 1.0), h);
}

void HistogramChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QRectF p = Plot();
    const int top = HistogramBars::AxisTop(bars_.peak());
    const QFontMetrics fm = painter.fontMetrics();

    // Count axis: five steps.
    painter.setPen(QColor(90, 90, 90));
    for (int i = 0; i <= 5; ++i) {
        const double y = p.bottom() - p.height() * i / 5.0;
        painter.drawLine(QPointF(p.left(), y), QPointF(p.right(), y));
        const QString label = DoubleText(top * i / 5.0, QLatin1Char('.'));
        painter.setPen(Qt::white);
        painter.drawText(QRectF(0, y - fm.height() / 2.0, kLeft - 4, fm.height()),
                         Qt::AlignRight | Qt::AlignVCenter, label);
        painter.setPen(QColor(90, 90, 90));
    }
    // Temperature axis: a label every 100 degrees.
    const double w = p.width() / HistogramBars::kClasses;
    for (int t = HistogramBars::kFirstClass; t <= 800; t += 100) {
        const double x = p.left() + (t - HistogramBars::kFirstClass) /
                                        static_cast<double>(HistogramBars::kClassWidth) * w;
        painter.setPen(QColor(90, 90, 90));
        painter.drawLine(QPointF(x, p.top()), QPointF(x, p.bottom()));
        painter.setPen(Qt::white);
        painter.drawText(QRectF(x - 30, p.bottom() + 2, 60, fm.height()), Qt::AlignCenter,
                         QString::number(t));
    }
    for (int k = 0; k < HistogramBars::kClasses; ++k) {
        const QRectF bar = BarRect(k);
        if (!bar.isEmpty()) {
            painter.fillRect(bar, QColor(255, 122, 26));
        }
    }
    painter.setPen(Qt::white);
    painter.drawRect(p);
    painter.drawText(QRectF(kLeft, p.bottom() + fm.height() + 2, p.width(), fm.height() + 2),
                     Qt::AlignLeft | Qt::AlignVCenter, Caption());
}

}  // namespace tuvik
