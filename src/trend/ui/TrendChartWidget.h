#pragma once
// A picture box that shows one strip chart. The window sets the chart's
// settings and calls DrawTrend as often as its data change; the widget keeps
// the last table and settings and paints them at most once per screen
// refresh, and again whenever it is resized or uncovered.
//
// Chart tools on top of that: the space bar or the corner button pauses the
// view (samples go on being recorded); the wheel zooms the time axis around
// the pointer, dragging pans, a double click returns to the live view;
// hovering shows a cursor line with the time and values there; a click on a
// legend entry hides or shows its series; the context menu exports the
// visible span as CSV or the chart as PNG. Live and untouched, the chart
// draws exactly what it draws without them.

#include <QRegion>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

#include "support/FrameThrottle.h"
#include "trend/DatabaseChartTools.h"
#include "trend/LiveBackground.h"
#include "trend/PainterSurface.h"
#include "trend/RecordSet.h"
#include "trend/RecordingSurface.h"
#include "trend/TrendArray.h"
#include "trend/TrendView.h"
#include "trend/cTrendline.h"

class QPainter;
class QToolButton;

namespace tuvik {

class TrendChartWidget : public QWidget {
    Q_OBJECT
  public:
    explicit TrendChartWidget(QWidget* parent = nullptr);
    ~TrendChartWidget() override;

    // The chart's settings, read by the next DrawTrend. The widget paints on
    // itself; the chart's PicBox is not used.
    cTrendline& chart() { return chart_; }
    const cTrendline& chart() const { return chart_; }

    // Redraws from the table (copied): the settings change at once as a
    // redraw changes them (automatic scale, 0 replaced); the painting follows
    // with the next frame.
    void DrawTrend(const TrendArray& arr, bool PercentAxis);
    // Draws from a database result at once, onto the widget's present size;
    // a failure goes to the notifier (a message box unless one is set).
    void DrawSQLTrend(RecordSet& rs, QStringList& FieldNames, bool PercentAxis);

    // Where failures go; nullptr restores the message box.
    void setNotifier(UserNotifier* n) { notifier_ = n; }

    // Shortest time between two repaints requested by DrawTrend, in ms; 0
    // (the default) takes one refresh of the widget's screen. Tests fix it,
    // so that their frames do not depend on the screen.
    void setMinFrameInterval(int ms) { frameMsOverride_ = ms; }
    int frameInterval() const;

    // Paint events handled so far.
    int paintCount() const { return paints_; }
    // The region the last paint event covered.
    // Seam: tests see how much a tick repaints, which the pixels do not tell.
    const QRegion& lastPaintRegion() const { return lastPaintRegion_; }
    // How often the calls that draw the live chart's background were worked
    // out afresh.
    int backgroundDraws() const { return live_.draws(); }
    // CPU time spent in this widget's paint events, in ns.
    qint64 paintNanoseconds() const { return paintNs_; }
    // The size of the widget in twips, as the chart sees it.
    QSizeF sizeInTwips() const;

    QSize sizeHint() const override { return {621, 161}; }
    QSize minimumSizeHint() const override { return {120, 60}; }

    // Chart tools.
    TrendView& view() { return view_; }
    const TrendView& view() const { return view_; }
    void setPaused(bool on);
    void ResetView();
    // Where the pointer is across the plot: 0 at the newest edge, 1 at the
    // oldest; outside the plot below 0 or above 1.
    double FractionAt(double xPixels) const;
    // The cursor read-out lines at a pixel column (empty outside the samples).
    QStringList ReadoutAt(double xPixels) const;
    // The visible span as CSV, and the two exports (false when the file
    // could not be written or the dialog was cancelled).
    QByteArray VisibleCsv() const;
    bool ExportCsv();
    bool ExportPng();
    // The file dialog the exports use (the system's unless a test answers):
    // title and filter in, the chosen path or "" out.
    using SaveDialog = std::function<QString(const QString& title, const QString& filter)>;
    void setSaveDialog(SaveDialog d) { saveDialog_ = std::move(d); }
    // A database drawing the tools steer (zoom and pan query again, the
    // cursor and the export read its rows, its marks are drawn and can be
    // clicked); nullptr: a database drawing is a still picture.
    void setDatabaseTools(DatabaseChartTools* tools) { dbTools_ = tools; }
    // How near a click must be to a mark to show its text, in pixels.
    static constexpr double kMarkHitPixels = 5;
    // The pixel column of a fraction across the plot.
    double XAt(double fraction) const;

  signals:
    // A mark of a database drawing was clicked; its full text.
    void markClicked(const QString& text);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void RequestRepaint(const QRegion& dirty);
    void RequestRepaint() { RequestRepaint(QRegion(rect())); }
    // The widget as the chart sees it: its size in pixels and resolution.
    ChartPixels Pixels() const { return {size(), double(logicalDpiX()), double(logicalDpiY())}; }
    void ViewChanged();
    const TrendArray& ShownTable() const { return view_.paused() ? frozen_ : data_; }
    void PaintCursor(QPainter& painter);
    void PaintLive(QPainter& painter, const QRegion& visible);
    void ShowPauseButton();
    bool DatabaseTools() const { return content_ == Content::Recording && dbTools_ != nullptr; }
    bool ToolsOn() const { return content_ == Content::Trend || DatabaseTools(); }
    void PaintMarks(QPainter& painter);

    enum class Content { Nothing, Trend, Recording };

    cTrendline chart_;
    cTrendline shown_;  // settings as of the last DrawTrend
    TrendArray data_;
    bool percentAxis_ = false;
    Content content_ = Content::Nothing;
    std::unique_ptr<RecordingSurface> recording_;
    PainterTextCache texts_;
    LiveBackground live_;

    QRegion pendingDirty_;   // what the next frame repaints
    FrameThrottle repaint_;  // counted from the last paint
    QRegion lastPaintRegion_;
    int frameMsOverride_ = 0;
    // The screen's frame interval, asked for with every reply: worked out
    // once per screen (0: not yet).
    mutable int screenFrameMs_ = 0;
    mutable QMetaObject::Connection screenRateWatch_;
    int paints_ = 0;
    qint64 paintNs_ = 0;
    UserNotifier* notifier_ = nullptr;

    TrendView view_;
    TrendArray frozen_;  // the table as it was when the view was paused
    QToolButton* pauseButton_ = nullptr;
    double cursorX_ = -1;   // pixel column of the cursor line, -1 none
    double dragX_ = -1;     // where a pan drag started
    bool hovered_ = false;  // the pointer has moved over the chart
    TrendView dragView_;    // the view when the drag started
    SaveDialog saveDialog_;
    DatabaseChartTools* dbTools_ = nullptr;
};

}  // namespace tuvik
