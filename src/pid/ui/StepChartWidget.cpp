#include "pid/ui/StepChartWidget.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tuvik {

namespace {
constexpr int kLeft = 48;
constexpr int kRight = 18;
constexpr int kTop = 8;
constexpr int kBottom = 22;  // the time labels
constexpr int kTicks = 4;

QString Label(double v, double span) {
    const int decimals = span >= 20 ? 0 : span >= 2 ? 1 : span >= 0.2 ? 2 : 3;
    return QString::number(v, 'f', decimals);
}
}  // namespace

StepChartWidget::StepChartWidget(const QString& empty, QWidget* parent)
    : QWidget(parent), empty_(empty) {
    setMinimumSize(240, 140);
}

void StepChartWidget::SetSeries(std::vector<ChartSeries> series) {
    series_ = std::move(series);
    update();
}

void StepChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QRectF p(kLeft, kTop, std::max(1, width() - kLeft - kRight),
                   std::max(1, height() - kTop - kBottom));
    double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
    for (const ChartSeries& s : series_) {
        for (const QPointF& q : s.points) {
            if (std::isfinite(q.x()) && std::isfinite(q.y())) {
                x0 = std::min(x0, q.x());
                x1 = std::max(x1, q.x());
                y0 = std::min(y0, q.y());
                y1 = std::max(y1, q.y());
            }
        }
    }
    painter.setPen(Qt::white);
    if (!(x1 > x0)) {
        painter.drawRect(p);
        painter.drawText(p, Qt::AlignCenter | Qt::TextWordWrap, empty_);
        return;
    }
    const double pad = y1 > y0 ? (y1 - y0) * 0.08 : std::max(1.0, std::fabs(y0) * 0.1);
    y0 -= pad;
    y1 += pad;
    auto map = [&](const QPointF& q) {
        return QPointF(p.left() + (q.x() - x0) / (x1 - x0) * p.width(),
                       p.bottom() - (q.y() - y0) / (y1 - y0) * p.height());
    };
    const QFontMetrics fm = painter.fontMetrics();
    for (int i = 0; i <= kTicks; ++i) {
        const double y = p.bottom() - p.height() * i / kTicks;
        const double x = p.left() + p.width() * i / kTicks;
        painter.setPen(QColor(90, 90, 90));
        painter.drawLine(QPointF(p.left(), y), QPointF(p.right(), y));
        painter.drawLine(QPointF(x, p.top()), QPointF(x, p.bottom()));
        painter.setPen(Qt::white);
        painter.drawText(QRectF(0, y - fm.height() / 2.0, kLeft - 4, fm.height()),
                         Qt::AlignRight | Qt::AlignVCenter,
                         Label(y0 + (y1 - y0) * i / kTicks, y1 - y0));
        painter.drawText(QRectF(x - 30, p.bottom() + 2, 60, fm.height()), Qt::AlignCenter,
                         Label(x0 + (x1 - x0) * i / kTicks, x1 - x0) + QStringLiteral(" s"));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    int row = 0;
    for (const ChartSeries& s : series_) {
        painter.setPen(QPen(s.colour, s.dots ? 3 : 1.5));
        if (s.dots) {
            for (const QPointF& q : s.points) {
                painter.drawPoint(map(q));
            }
        } else if (!s.points.empty()) {
            QPainterPath path(map(s.points.front()));
            for (const QPointF& q : s.points) {
                path.lineTo(map(q));
            }
            painter.drawPath(path);
        }
    }
    // The legend over every line.
    for (const ChartSeries& s : series_) {
        painter.setPen(s.colour);
        if (!s.name.isEmpty()) {
            const double y = p.top() + 4 + row++ * (fm.height() + 1);
            painter.fillRect(QRectF(p.right() - 122, y, 120, fm.height() + 1), Qt::black);
            painter.fillRect(QRectF(p.right() - 118, y + fm.height() / 2.0 - 1, 12, 3), s.colour);
            painter.drawText(QRectF(p.right() - 102, y, 100, fm.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, s.name);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::white);
    painter.drawRect(p);
}

}  // namespace tuvik
