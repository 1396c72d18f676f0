#pragma once
// A picture box that shows one strip chart. The window sets the chart's
// settings and calls DrawTrend as often as its data change; the widget keeps
// the last table and settings and paints them at most once per screen
// refresh, and again whenever it is resized or uncovered.

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <memory>

#include "trend/PainterSurface.h"
#include "trend/RecordSet.h"
#include "trend/RecordingSurface.h"
#include "trend/TrendArray.h"
#include "trend/cTrendline.h"

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
    // (the default) takes one refresh of the widget's screen.
    void setMinFrameInterval(int ms) { frameMsOverride_ = ms; }
    int frameInterval() const;

    // Paint events handled so far.
    int paintCount() const { return paints_; }
    // The size of the widget in twips, as the chart sees it.
    QSizeF sizeInTwips() const;

    QSize sizeHint() const override { return {621, 161}; }
    QSize minimumSizeHint() const override { return {120, 60}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void RequestRepaint();

    enum class Content { Nothing, Trend, Recording };

    cTrendline chart_;
    cTrendline shown_;  // settings as of the last DrawTrend
    TrendArray data_;
    bool percentAxis_ = false;
    Content content_ = Content::Nothing;
    std::unique_ptr<RecordingSurface> recording_;
    PainterTextCache texts_;

    QTimer frameTimer_;
    QElapsedTimer lastPaint_;
    int frameMsOverride_ = 0;
    int paints_ = 0;
    UserNotifier* notifier_ = nullptr;
};

}  // namespace tuvik
