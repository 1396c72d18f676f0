#include "trend/ui/TrendChartWidget.h"

// The chart tools: pause, zoom and pan, the legend's switches, the cursor
// read-out and the exports.

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>

namespace tuvik {

void TrendChartWidget::setPaused(bool on) {
    if (on && !view_.paused()) {
        frozen_ = data_;
    }
    view_.setPaused(on);
    ViewChanged();
}

void TrendChartWidget::ResetView() {
    view_.Reset();
    shown_ = chart_;
    shown_.setPicBox(nullptr);
    ViewChanged();
}

void TrendChartWidget::ViewChanged() {
    const QSignalBlocker quiet(pauseButton_);
    pauseButton_->setChecked(view_.paused());
    pauseButton_->setText(view_.paused() ? QStringLiteral("Live") : QStringLiteral("Pause"));
    pauseButton_->adjustSize();
    ShowPauseButton();
    update();
}

double TrendChartWidget::FractionAt(double xPixels) const {
    return Pixels().FractionAt(shown_, xPixels);
}

QStringList TrendChartWidget::ReadoutAt(double xPixels) const {
    if (DatabaseTools()) {
        const double f = FractionAt(xPixels);
        return f >= 0 && f <= 1 ? dbTools_->Readout(f) : QStringList();
    }
    if (content_ != Content::Trend) {
        return {};
    }
    return view_.ReadoutOn(shown_, ShownTable(), FractionAt(xPixels));
}

QByteArray TrendChartWidget::VisibleCsv() const {
    if (DatabaseTools()) {
        return dbTools_->Csv();
    }
    return view_.VisibleCsv(shown_, ShownTable());
}

bool TrendChartWidget::ExportCsv() {
    const QString path =
        saveDialog_(QStringLiteral("Export visible span"), QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) {
        return false;
    }
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(VisibleCsv()) >= 0 && f.commit();
}

bool TrendChartWidget::ExportPng() {
    const QString path =
        saveDialog_(QStringLiteral("Save chart as picture"), QStringLiteral("PNG images (*.png)"));
    if (path.isEmpty()) {
        return false;
    }
    const double cursor = cursorX_;
    cursorX_ = -1;  // the picture shows the chart, not the pointer
    const bool buttonShown = pauseButton_->isVisible();
    pauseButton_->hide();
    const QPixmap picture = grab();
    pauseButton_->setVisible(buttonShown);
    cursorX_ = cursor;
    return picture.save(path, "PNG");
}

void TrendChartWidget::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    const double f = FractionAt(event->position().x());
    if (!ToolsOn() || delta == 0 || f < 0 || f > 1) {
        event->ignore();
        return;
    }
    if (DatabaseTools()) {
        dbTools_->ZoomAt(f, delta > 0 ? 0.8 : 1.25);
        event->accept();
        return;
    }
    if (!view_.paused() && f > 0 && view_.offset() == 0) {
        // Zooming around an older point takes the newest out of view.
        frozen_ = data_;
    }
    view_.ZoomAt(f, delta > 0 ? 0.8 : 1.25);
    if (!view_.paused()) {
        frozen_ = data_;
    }
    ViewChanged();
    event->accept();
}

void TrendChartWidget::mousePressEvent(QMouseEvent* event) {
    if (!ToolsOn() || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (DatabaseTools()) {
        const double x = event->position().x();
        const double tolerance = std::abs(FractionAt(x + kMarkHitPixels) - FractionAt(x));
        const QString text = dbTools_->MarkTextAt(FractionAt(x), tolerance);
        if (!text.isEmpty()) {
            QToolTip::showText(event->globalPosition().toPoint(), text, this);
            emit markClicked(text);
            return;
        }
        dragX_ = x;
        return;
    }
    if (const std::optional<int> series = Pixels().LegendSeriesAt(
            shown_, ShownTable(), event->position().x(), event->position().y())) {
        if (*series >= 0) {
            view_.toggleSeries(*series);
            ViewChanged();
        }
        return;
    }
    dragX_ = event->position().x();
    dragView_ = view_;
    if (!view_.paused()) {
        frozen_ = data_;
    }
}

void TrendChartWidget::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (!hovered_) {
        hovered_ = true;
        ShowPauseButton();
    }
    if (DatabaseTools() && dragX_ >= 0 && (event->buttons() & Qt::LeftButton)) {
        if (const std::optional<double> share = Pixels().PanShare(shown_, dragX_, x)) {
            dragX_ = x;
            dbTools_->Pan(*share);
        }
    } else if (dragX_ >= 0 && (event->buttons() & Qt::LeftButton)) {
        if (const std::optional<double> share = Pixels().PanShare(shown_, dragX_, x)) {
            const bool wasPaused = view_.paused();
            view_ = dragView_;
            view_.Pan(*share);
            if (!wasPaused && view_.paused()) {
                frozen_ = data_;
            }
            ViewChanged();
        }
    }
    const double f = FractionAt(x);
    const double newCursor = ToolsOn() && f >= 0 && f <= 1 ? x : -1;
    if (newCursor != cursorX_) {
        cursorX_ = newCursor;
        update();
    }
}

void TrendChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    dragX_ = -1;
    QWidget::mouseReleaseEvent(event);
}

void TrendChartWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (DatabaseTools() && event->button() == Qt::LeftButton) {
        dbTools_->Reset();
    } else if (content_ == Content::Trend && event->button() == Qt::LeftButton) {
        ResetView();
    }
}

void TrendChartWidget::leaveEvent(QEvent* event) {
    if (cursorX_ >= 0) {
        cursorX_ = -1;
        update();
    }
    hovered_ = false;
    ShowPauseButton();
    QWidget::leaveEvent(event);
}

void TrendChartWidget::ShowPauseButton() {
    const bool inside = hovered_ && (underMouse() || pauseButton_->underMouse());
    pauseButton_->setVisible(content_ == Content::Trend && (inside || view_.paused()));
}

void TrendChartWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && content_ == Content::Trend) {
        if (view_.paused()) {
            ResetView();
        } else {
            setPaused(true);
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void TrendChartWidget::contextMenuEvent(QContextMenuEvent* event) {
    if (!ToolsOn()) {
        return;
    }
    QMenu menu(this);
    QAction* pause = DatabaseTools() ? nullptr
                                     : menu.addAction(view_.paused() ? QStringLiteral("&Live")
                                                                     : QStringLiteral("&Pause"));
    QAction* csv = menu.addAction(QStringLiteral("Export visible span as &CSV..."));
    QAction* png = menu.addAction(QStringLiteral("Save chart as P&NG..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == nullptr) {
        return;
    }
    if (chosen == pause) {
        pauseButton_->toggle();
    } else if (chosen == csv) {
        ExportCsv();
    } else if (chosen == png) {
        ExportPng();
    }
}

double TrendChartWidget::XAt(double fraction) const {
    const cTrendline::Geometry g = Pixels().Geometry(shown_);
    const double twips = static_cast<double>(g.W) - fraction * (static_cast<double>(g.W) - g.X0);
    return twips * logicalDpiX() / 1440.0;  // twips per inch
}

void TrendChartWidget::PaintMarks(QPainter& painter) {
    const QFontMetrics fm = painter.fontMetrics();
    int row = 0;
    for (const DatabaseChartTools::Mark& mark : dbTools_->Marks()) {
        if (mark.fraction < 0 || mark.fraction > 1) {
            continue;
        }
        const double x = XAt(mark.fraction);
        painter.setPen(QPen(QColor(255, 165, 0), 1));
        painter.drawLine(QPointF(x, 0), QPointF(x, height() - fm.height() - 4));
        // Labels step down so that neighbouring marks stay readable.
        painter.drawText(QPointF(x + 3, fm.ascent() + 2 + (row++ % 4) * fm.height()), mark.label);
    }
}

void TrendChartWidget::PaintCursor(QPainter& painter) {
    if (cursorX_ < 0) {
        return;
    }
    const QStringList lines = ReadoutAt(cursorX_);
    if (lines.isEmpty()) {
        return;
    }
    painter.setPen(QPen(QColor(255, 255, 255, 180), 1, Qt::DashLine));
    painter.drawLine(QPointF(cursorX_, 0), QPointF(cursorX_, height()));
    const QFontMetrics fm = painter.fontMetrics();
    int w = 0;
    for (const QString& l : lines) {
        w = std::max(w, fm.horizontalAdvance(l));
    }
    const int h = fm.height() * static_cast<int>(lines.size());
    double x = cursorX_ + 6;
    if (x + w + 8 > width()) {
        x = cursorX_ - w - 14;
    }
    const QRectF box(x, 4, w + 8, h + 4);
    painter.fillRect(box, QColor(0, 0, 0, 200));
    painter.setPen(Qt::white);
    painter.drawText(box.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop,
                     lines.join(QLatin1Char('\n')));
}

}  // namespace tuvik
