#include "trend/ui/TrendChartWidget.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QToolButton>

#include <cmath>
#include <ctime>

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

// CPU time of the calling thread: what painting costs, whatever else the
// machine runs meanwhile.
qint64 ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

TrendChartWidget::TrendChartWidget(QWidget* parent)
    : QWidget(parent), repaint_([this] {
          update(pendingDirty_);  // several before the paint event still make one paint
          pendingDirty_ = QRegion();
      }) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    repaint_.setStampedByCaller(true);

    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Trend chart"));
    setToolTip(
        QStringLiteral("Space: pause or live. Wheel: zoom the time axis. Drag: pan. "
                       "Double click: live view. Click a legend entry: hide or show "
                       "the series. Right click: export."));
    pauseButton_ = new QToolButton(this);
    pauseButton_->setObjectName(QStringLiteral("btnPause"));
    pauseButton_->setCheckable(true);
    pauseButton_->setText(QStringLiteral("Pause"));
    pauseButton_->setToolTip(
        QStringLiteral("Hold the chart still (space bar); samples go on "
                       "being recorded"));
    pauseButton_->setAccessibleName(QStringLiteral("Pause or live"));
    pauseButton_->setFocusPolicy(Qt::TabFocus);
    pauseButton_->setAutoRaise(true);
    pauseButton_->move(2, 2);
    // Shown once the pointer moves over the chart, and while the view is
    // held (the space bar is the keyboard's way): the live picture stays
    // exactly the chart's own.
    pauseButton_->hide();
    connect(pauseButton_, &QToolButton::toggled, this, [this](bool on) {
        if (on != view_.paused()) {
            if (on) {
                setPaused(true);
            } else {
                ResetView();
            }
        }
    });
    saveDialog_ = [this](const QString& title, const QString& filter) {
        return QFileDialog::getSaveFileName(this, title, QString(), filter);
    };
}

TrendChartWidget::~TrendChartWidget() = default;

int TrendChartWidget::frameInterval() const {
    if (frameMsOverride_ > 0) {
        return frameMsOverride_;
    }
    if (screenFrameMs_ == 0) {
        const QScreen* s = screen();
        const double hz = s != nullptr && s->refreshRate() >= 1.0 ? s->refreshRate() : 60.0;
        screenFrameMs_ = std::max(1, static_cast<int>(std::ceil(1000.0 / hz)));
        QObject::disconnect(screenRateWatch_);
        if (s != nullptr) {
            screenRateWatch_ =
                connect(s, &QScreen::refreshRateChanged, this, [this] { screenFrameMs_ = 0; });
        }
    }
    return screenFrameMs_;
}

bool TrendChartWidget::event(QEvent* event) {
    if (event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::Show) {
        screenFrameMs_ = 0;  // perhaps another screen now
    }
    return QWidget::event(event);
}

QSizeF TrendChartWidget::sizeInTwips() const {
    return {width() * kTwipsPerInch / logicalDpiX(), height() * kTwipsPerInch / logicalDpiY()};
}

void TrendChartWidget::RequestRepaint(const QRegion& dirty) {
    pendingDirty_ += dirty;
    if (!repaint_.pending()) {  // else a repaint is already due with the next frame
        repaint_.setInterval(frameInterval());
        repaint_.Request();
    }
}

void TrendChartWidget::DrawTrend(const TrendArray& arr, bool PercentAxis) {
    chart_.PrepareRedraw(arr);
    data_ = arr;
    percentAxis_ = PercentAxis;
    content_ = Content::Trend;
    recording_.reset();
    view_.setLiveSpan(chart_.maxX());
    if (view_.paused()) {
        return;  // recorded; a paused view shows the table it was paused on
    }
    shown_ = chart_;
    shown_.setPicBox(nullptr);
    const bool liveView =
        cursorX_ < 0 && !view_.paused() && !view_.zoomed() && view_.hiddenMask() == 0;
    RequestRepaint(live_.Dirty(rect(), liveView, Pixels(), percentAxis_, shown_, data_));
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
    shown_ = chart_;  // the tools map the pointer with the drawing's settings
    shown_.setPicBox(nullptr);
    recording_ = std::move(rec);
    content_ = Content::Recording;
    live_.Forget();  // the next live table repaints all the recording covered
    RequestRepaint();
}

void TrendChartWidget::paintEvent(QPaintEvent* event) {
    ++paints_;
    lastPaintRegion_ = event->region();
    repaint_.Stamp();
    struct Clock {
        qint64& total;
        const qint64 from = ThreadCpuNs();
        ~Clock() { total += ThreadCpuNs() - from; }
    } clock{paintNs_};
    QPainter painter(this);
    const bool live =
        content_ == Content::Trend && !view_.paused() && !view_.zoomed() && view_.hiddenMask() == 0;
    if (!live) {
        live_.LegendGone();
    }
    switch (content_) {
        case Content::Nothing:
            painter.fillRect(rect(), Qt::black);
            break;
        case Content::Trend:
            if (live) {
                PaintLive(painter, event->region());
            } else {
                // The tools' view: the visible span as a table of its own,
                // drawn by a copy of the chart with that span.
                PainterSurface surface(painter, size(), logicalDpiX(), logicalDpiY(), &texts_);
                const TrendArray slice = view_.Slice(ShownTable());
                cTrendline c = view_.ChartFor(shown_, ShownTable(), slice);
                c.setPicBox(&surface);
                c.PaintTrend(slice, percentAxis_);
            }
            PaintCursor(painter);
            break;
        case Content::Recording: {
            // A drawing that failed early may not have cleared the surface.
            painter.fillRect(rect(), Qt::black);
            PainterSurface surface(painter, size(), logicalDpiX(), logicalDpiY(), &texts_);
            recording_->Replay(surface);
            if (DatabaseTools()) {
                PaintMarks(painter);
                PaintCursor(painter);
            }
            break;
        }
    }
}

// The background's calls are replayed onto the painter; the legend and the
// curves are drawn over them every time.
void TrendChartWidget::PaintLive(QPainter& painter, const QRegion& visible) {
    const ChartPixels at = Pixels();
    live_.Prepare(at, percentAxis_, shown_, data_);
    PainterSurface surface(painter, size(), at.dpiX, at.dpiY, &texts_);
    surface.setVisibleRegion(visible);
    live_.calls().Replay(surface);
    shown_.PaintSeries(surface, data_, percentAxis_, live_.legendX());
    live_.Painted(visible, shown_, data_, texts_);
}

}  // namespace tuvik
