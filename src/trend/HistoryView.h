#pragma once
// What the history chart shows: one loop over a span of clock time, drawn
// from one query that returns one row per pixel column (the mean, minimum
// and maximum of each value over the column, computed in SQL from the
// coarsest table that still has a row per column), and the events in that
// span as marks. Zoom and pan change the span and query again; the cursor
// and the CSV export read the rows of the last query.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <array>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "trend/DatabaseChartTools.h"
#include "trend/HistoryDb.h"
#include "trend/cTrendline.h"

namespace tuvik {

// The tier a drawing of `span` seconds over `columns` columns reads: the
// coarsest with at least one row per column.
const HistoryDb::Tier& HistoryTierFor(qint64 span, int columns);
// The query: one row per column, newest first, with the columns "col", "t"
// and HistoryView::ResultColumns() (NULL where the column has no data).
QString HistorySql(int loop, qint64 t0, qint64 t1, int columns);
// A time as the read-out, the CSV and the marks give it: local date and time
// with the offset from UTC ("2025-10-26 03:30:00+02:00").
QString LocalDateTimeWithOffset(qint64 t, const QTimeZone& zone);

class HistoryView : public DatabaseChartTools {
  public:
    static constexpr qint64 kMinSpan = 60;
    static constexpr qint64 kMaxSpan = 20LL * 366 * 86400;
    static constexpr int kValues = 3 * kHistoryValues;

    // Names of the query's value columns, three per live value (mean,
    // minimum, maximum).
    static const QStringList& ResultColumns();
    // The five series the chart draws (a hyphen is left out of the column
    // name): measurement, output on the percent axis, setpoint, and the
    // measurement's minimum and maximum around its mean.
    static QStringList DrawnSeries();

    // The span chosen in the window; Reset comes back to it.
    void Choose(int loop, qint64 t0, qint64 t1);
    void setColumns(int columns) { columns_ = columns > 1 ? columns : 2; }
    int loop() const { return loop_; }
    qint64 t0() const { return t0_; }
    qint64 t1() const { return t1_; }
    // Neither zoomed nor panned from the chosen span.
    bool atChosen() const { return t0_ == chosen0_ && t1_ == chosen1_; }
    int columns() const { return columns_; }
    // The clock the times are read in (the system's; tests fix one).
    void setTimeZone(const QTimeZone& zone) { zone_ = zone; }
    // The chart's maxX: the records lie at points 2 .. columns + 1.
    int ChartMaxX() const { return columns_ + 2; }
    cTrendline::ClockAxis Axis() const;
    double FractionOf(qint64 t) const;
    double TimeAt(double fraction) const;

    // Runs the query and the events' query for the present span; keeps the
    // rows and events. The returned query stands before its first row.
    QSqlQuery Run(const QSqlDatabase& db, QString* error);
    // Called after zoom, pan or reset, to query and draw again.
    void setOnChanged(std::function<void()> fn) { onChanged_ = std::move(fn); }

    struct Row {
        qint64 t = 0;                     // start of the column
        std::array<double, kValues> v{};  // NaN: no data
    };
    const std::vector<Row>& rows() const { return rows_; }
    const std::vector<HistoryEvent>& events() const { return events_; }
    // The value axis the rows need: the measurement's and the setpoint's
    // lowest and highest values, widened to take in 0 to 10.
    std::pair<double, double> ValueRange() const;

    void ZoomAt(double fraction, double factor) override;
    void Pan(double share) override;
    void Reset() override;
    QStringList Readout(double fraction) const override;
    QByteArray Csv() const override;
    std::vector<Mark> Marks() const override;
    QString MarkTextAt(double fraction, double tolerance) const override;

    // The caption of an event kind on its mark.
    static QString KindCaption(const QString& kind);

  private:
    void SetRange(qint64 t0, qint64 t1);
    void Changed() {
        if (onChanged_) {
            onChanged_();
        }
    }

    int loop_ = 0;
    qint64 t0_ = 0;
    qint64 t1_ = 3600;
    qint64 chosen0_ = 0;
    qint64 chosen1_ = 3600;
    int columns_ = 600;
    QTimeZone zone_ = QTimeZone::systemTimeZone();
    std::vector<Row> rows_;
    std::vector<HistoryEvent> events_;
    std::function<void()> onChanged_;
};

}  // namespace tuvik
