#include "trend/ui/TrendChartWidget.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>
#include <ctime>

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

// What a new table changes on the live chart: while the background (grid,
// axis labels, frame) stays as last painted, only the plot and the legend
// column; the axis labels left of and below the plot and the percent axis
// keep their pixels. While the screen shows this table's legend names, only
// the value lines of the legend change. Anything else repaints the whole chart.
QRegion TrendChartWidget::LiveDirty() {
    const BackgroundCalls& b = background_;
    if (cursorX_ >= 0 || view_.paused() || view_.zoomed() || view_.hiddenMask() != 0 || !b.calls ||
        b.size != size() || b.dpiX != logicalDpiX() || b.dpiY != logicalDpiY() ||
        b.percentAxis != percentAxis_ || !(b.chart == shown_) ||
        b.timeGrid != TimeGridShown(data_, b.dpiX, b.dpiY)) {
        return QRegion(rect());
    }
    if (LegendShows(data_)) {
        return QRegion(valuesDirty_);
    }
    return b.plot + QRegion(b.legend);
}

TrendChartWidget::LegendNames TrendChartWidget::NamesOf(const TrendArray& arr) {
    LegendNames names;
    for (int s = 0; s < cTrendline::kSeries; ++s) {
        names[static_cast<size_t>(s)] = arr.at(s, 0);
    }
    return names;
}

bool TrendChartWidget::LegendShows(const TrendArray& arr) const {
    if (!legendShown_) {
        return false;
    }
    for (int s = 0; s < cTrendline::kSeries; ++s) {
        if (!((*legendShown_)[static_cast<size_t>(s)] == arr.at(s, 0))) {
            return false;
        }
    }
    return true;
}

void TrendChartWidget::KeepLiveRegions(double dpiX, double dpiY) {
    BackgroundCalls& b = background_;
    b.geometry =
        cTrendline::ComputeGeometry(PainterSurface::TwipsFor(width(), dpiX),
                                    PainterSurface::TwipsFor(height(), dpiY), shown_.minY());
    const cTrendline::Geometry& g = b.geometry;
    auto px = [](double twips, double dpi) {
        return static_cast<int>(std::floor(twips * dpi / kTwipsPerInch));
    };
    // Two pixels of margin: the frame and the curves along the plot's edges.
    const QRect plot = QRect(QPoint(px(std::min<double>(g.X0, g.W), dpiX) - 2, px(g.T, dpiY) - 2),
                             QPoint(px(std::max<double>(g.X0, g.W), dpiX) + 3, px(g.B, dpiY) + 3));
    b.plot = QRegion(plot.intersected(rect()));
    b.legend = QRect(QPoint(px(b.legendX, dpiX) - 2, 0), QPoint(width() - 1, height() - 1))
                   .intersected(rect());
}

// The legend's value lines, each with half a line to spare above and below:
// a new value's text and the old one's ink both lie within.
QRegion TrendChartWidget::LegendValueLines(double dpiY) {
    QRegion lines;
    if (!shown_.ShowValue()) {
        return lines;
    }
    const int line = texts_.FontsFor(dpiY).lineHeight;
    const QRect& column = background_.legend;
    for (const std::optional<double>& top :
         cTrendline::LegendNameTops(data_, background_.geometry)) {
        if (top) {
            const int y = static_cast<int>(
                std::floor((*top + cTrendline::LegendValueLine()) * dpiY / kTwipsPerInch));
            lines += QRect(QPoint(column.left(), y - line / 2 - 1),
                           QPoint(column.right(), y + line + line / 2 + 1))
                         .intersected(column);
        }
    }
    return lines;
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
    RequestRepaint(LiveDirty());
}

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
    emit viewChanged();
}

cTrendline::Geometry TrendChartWidget::GeometryTwips() const {
    const QSizeF tw = sizeInTwips();
    return cTrendline::ComputeGeometry(static_cast<float>(tw.width()),
                                       static_cast<float>(tw.height()), shown_.minY());
}

double TrendChartWidget::FractionAt(double xPixels) const {
    const cTrendline::Geometry g = GeometryTwips();
    const double x = xPixels * kTwipsPerInch / logicalDpiX();
    const double width = static_cast<double>(g.W) - g.X0;
    if (width <= 0) {
        return -1;
    }
    return shown_.ToRight() ? (x - g.X0) / width : (static_cast<double>(g.W) - x) / width;
}

TrendChartWidget::ShownTimeGrid TrendChartWidget::TimeGridShown(const TrendArray& arr, double dpiX,
                                                                double dpiY) const {
    ShownTimeGrid shown;
    if (!arr.stamped()) {
        return shown;
    }
    const cTrendline::Geometry g =
        cTrendline::ComputeGeometry(PainterSurface::TwipsFor(width(), dpiX),
                                    PainterSurface::TwipsFor(height(), dpiY), shown_.minY());
    for (cTrendline::TimeLine& l : shown_.TimeGrid(arr, g)) {
        shown.emplace_back(PainterSurface::PixelFor(l.x, dpiX),
                           PainterSurface::PixelFor(l.x - cTrendline::kTimeLabelOffset, dpiX),
                           std::move(l.label));
    }
    return shown;
}

std::pair<double, QString> TrendChartWidget::TimeUnit() const {
    const TrendArray& arr = ShownTable();
    if (!arr.stamped()) {
        return {shown_.XTitleScale(), shown_.XTitleEnd()};
    }
    const cTrendline::TimeAxis axis =
        cTrendline::TimeAxisOf(arr, TrendArray::kFirstSample + view_.offset(),
                               view_.zoomed() ? view_.span() : shown_.maxX());
    return {axis.unit, axis.suffix};
}

QStringList TrendChartWidget::ReadoutAt(double xPixels) const {
    if (content_ != Content::Trend) {
        return {};
    }
    const auto [perUnit, suffix] = TimeUnit();
    return view_.Readout(ShownTable(), FractionAt(xPixels), perUnit, suffix);
}

QByteArray TrendChartWidget::VisibleCsv() const {
    // Time stamps are exported in seconds, whatever unit the axis shows.
    if (ShownTable().stamped()) {
        return view_.Csv(ShownTable(), 1, QStringLiteral(" s"));
    }
    return view_.Csv(ShownTable(), shown_.XTitleScale(), shown_.XTitleEnd());
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
    if (content_ != Content::Trend || delta == 0 || f < 0 || f > 1) {
        event->ignore();
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
    if (content_ != Content::Trend || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const cTrendline::Geometry g = GeometryTwips();
    const double xt = event->position().x() * kTwipsPerInch / logicalDpiX();
    if (xt > g.W) {
        const double yt = event->position().y() * kTwipsPerInch / logicalDpiY();
        const int series = cTrendline::LegendSeriesAt(ShownTable(), g, yt);
        if (series >= 0) {
            view_.toggleSeries(series);
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
    if (dragX_ >= 0 && (event->buttons() & Qt::LeftButton)) {
        const cTrendline::Geometry g = GeometryTwips();
        const double widthPx = (static_cast<double>(g.W) - g.X0) * logicalDpiX() / kTwipsPerInch;
        if (widthPx > 0) {
            const double share = (x - dragX_) / widthPx * (shown_.ToRight() ? -1 : 1);
            const bool wasPaused = view_.paused();
            view_ = dragView_;
            view_.Pan(share);
            if (!wasPaused && view_.paused()) {
                frozen_ = data_;
            }
            ViewChanged();
        }
    }
    const double f = FractionAt(x);
    const double newCursor = content_ == Content::Trend && f >= 0 && f <= 1 ? x : -1;
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
    if (content_ == Content::Trend && event->button() == Qt::LeftButton) {
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
    if (content_ != Content::Trend) {
        return;
    }
    QMenu menu(this);
    QAction* pause =
        menu.addAction(view_.paused() ? QStringLiteral("&Live") : QStringLiteral("&Pause"));
    QAction* csv = menu.addAction(QStringLiteral("Export visible span as &CSV..."));
    QAction* png = menu.addAction(QStringLiteral("Save chart as P&NG..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == pause) {
        pauseButton_->toggle();
    } else if (chosen == csv) {
        ExportCsv();
    } else if (chosen == png) {
        ExportPng();
    }
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
    background_.calls.reset();  // the next live table repaints all the recording covered
    RequestRepaint();
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
        legendShown_.reset();  // the screen shows no live legend now
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
            break;
        }
    }
}

// The live chart is drawn twenty times a second, but the calls that draw its
// grid, axis labels and frame change only with the scale, the size or the
// settings. They are worked out once (the labels' texts included) and
// replayed onto the painter while those stay the same; the legend and the
// curves are drawn over them every time, as the whole chart would draw them.
void TrendChartWidget::PaintLive(QPainter& painter, const QRegion& visible) {
    const double dpiX = logicalDpiX();
    const double dpiY = logicalDpiY();
    BackgroundCalls& b = background_;
    ShownTimeGrid timeGrid = TimeGridShown(data_, dpiX, dpiY);
    if (!b.calls || b.size != size() || b.dpiX != dpiX || b.dpiY != dpiY ||
        b.percentAxis != percentAxis_ || !(b.chart == shown_) || b.timeGrid != timeGrid) {
        b.calls = std::make_unique<RecordingSurface>(PainterSurface::TwipsFor(width(), dpiX),
                                                     PainterSurface::TwipsFor(height(), dpiY));
        b.legendX = shown_.PaintBackground(*b.calls, data_, percentAxis_);
        b.timeGrid = std::move(timeGrid);
        b.size = size();
        b.dpiX = dpiX;
        b.dpiY = dpiY;
        b.percentAxis = percentAxis_;
        b.chart = shown_;
        KeepLiveRegions(dpiX, dpiY);
        ++backgroundDraws_;
    }
    PainterSurface surface(painter, size(), dpiX, dpiY, &texts_);
    surface.setVisibleRegion(visible);
    b.calls->Replay(surface);
    shown_.PaintSeries(surface, data_, percentAxis_, b.legendX);
    // What the legend on screen now shows: these names when all of it was
    // painted; unknown when only some of it was painted with other names.
    // While it shows them, a new table repaints the plot and the value lines
    // as one rectangle: painting clipped to a rectangle costs far less than
    // clipped to a region of several (twice the paint's time here).
    const bool wholeLegend = visible.rectCount() == 1 ? visible.boundingRect().contains(b.legend)
                                                      : (QRegion(b.legend) - visible).isEmpty();
    if (wholeLegend) {
        if (!LegendShows(data_)) {
            legendShown_ = NamesOf(data_);
        }
        valuesDirty_ = (b.plot + LegendValueLines(dpiY)).boundingRect();
    } else if (!LegendShows(data_) && visible.intersects(b.legend)) {
        legendShown_.reset();
    }
}

}  // namespace tuvik
