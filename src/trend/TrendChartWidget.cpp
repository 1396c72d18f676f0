#include "trend/TrendChartWidget.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>

#include <cmath>

#include "trend/PainterSurface.h"

namespace tuvik {

namespace {

constexpr double kTwipsPerInch = 1440.0;

class MessageBoxNotifier : public UserNotifier {
  public:
    explicit MessageBoxNotifier(QWidget* parent) : parent_(parent) {}
    void ShowMessage(const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text,
                        QMessageBox::Ok, parent_ ? parent_->window() : nullptr);
        box.exec();
    }

  private:
    QWidget* parent_;
};

}  // namespace

TrendChartWidget::TrendChartWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] { update(); });
}

TrendChartWidget::~TrendChartWidget() = default;

int TrendChartWidget::frameInterval() const {
    if (frameMsOverride_ > 0) {
        return frameMsOverride_;
    }
    const QScreen* s = screen();
    const double hz = s != nullptr && s->refreshRate() >= 1.0 ? s->refreshRate() : 60.0;
    return std::max(1, static_cast<int>(std::ceil(1000.0 / hz)));
}

QSizeF TrendChartWidget::sizeInTwips() const {
    return {width() * kTwipsPerInch / logicalDpiX(), height() * kTwipsPerInch / logicalDpiY()};
}

void TrendChartWidget::RequestRepaint() {
    if (frameTimer_.isActive()) {
        return;  // a repaint is already due with the next frame
    }
    const int frame = frameInterval();
    const qint64 since = lastPaint_.isValid() ? lastPaint_.elapsed() : frame;
    if (since >= frame) {
        update();  // several before the paint event still make one paint
    } else {
        frameTimer_.start(static_cast<int>(frame - since));
    }
}

void TrendChartWidget::DrawTrend(const TrendArray& arr, bool PercentAxis) {
    chart_.PrepareRedraw(arr);
    shown_ = chart_;
    shown_.setPicBox(nullptr);
    data_ = arr;
    percentAxis_ = PercentAxis;
    content_ = Content::Trend;
    recording_.reset();
    RequestRepaint();
}

void TrendChartWidget::DrawSQLTrend(RecordSet& rs, QStringList& FieldNames, bool PercentAxis) {
    const QSizeF tw = sizeInTwips();
    auto rec = std::make_unique<RecordingSurface>(static_cast<float>(tw.width()),
                                                  static_cast<float>(tw.height()));
    MessageBoxNotifier box(this);
    DrawSurface* oldBox = chart_.PicBox();
    UserNotifier* oldNotifier = chart_.notifier();
    chart_.setPicBox(rec.get());
    chart_.setNotifier(notifier_ != nullptr ? notifier_ : &box);
    chart_.DrawSQLTrend(rs, FieldNames, PercentAxis);
    chart_.setPicBox(oldBox);
    chart_.setNotifier(oldNotifier);
    recording_ = std::move(rec);
    content_ = Content::Recording;
    RequestRepaint();
}

void TrendChartWidget::paintEvent(QPaintEvent*) {
    ++paints_;
    lastPaint_.start();
    QPainter painter(this);
    PainterSurface surface(painter, size(), logicalDpiX(), logicalDpiY(), &texts_);
    switch (content_) {
        case Content::Nothing:
            painter.fillRect(rect(), Qt::black);
            break;
        case Content::Trend:
            shown_.setPicBox(&surface);
            shown_.PaintTrend(data_, percentAxis_);
            shown_.setPicBox(nullptr);
            break;
        case Content::Recording:
            // A drawing that failed early may not have cleared the surface.
            painter.fillRect(rect(), Qt::black);
            recording_->Replay(surface);
            break;
    }
}

}  // namespace tuvik
