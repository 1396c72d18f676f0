#include "trend/HistoryView.h"

#include <QDateTime>
#include <QSqlError>
#include <QTime>
#include <QVariant>

#include <algorithm>
#include <limits>

#include "support/CsvWriter.h"

namespace tuvik {

namespace {

constexpr double kNoData = std::numeric_limits<double>::quiet_NaN();

QString Number(double v) {
    return std::isnan(v) ? QString() : QString::number(v, 'g', 9);
}

}  // namespace

// With the clock's offset from UTC: the hour repeated when the clocks go
// back reads as two different times.
QString LocalDateTimeWithOffset(qint64 t, const QTimeZone& zone) {
    const QDateTime local = QDateTime::fromSecsSinceEpoch(t, zone);
    const int offset = local.offsetFromUtc();
    return local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QTime(0, 0).addSecs(std::abs(offset)).toString(QStringLiteral("HH:mm"));
}

const HistoryDb::Tier& HistoryTierFor(qint64 span, int columns) {
    const HistoryDb::Tier* chosen = &HistoryDb::kTiers[0];
    for (const HistoryDb::Tier& tier : HistoryDb::kTiers) {
        if (span / tier.seconds >= columns) {
            chosen = &tier;
        }
    }
    return *chosen;
}

const QStringList& HistoryView::ResultColumns() {
    static const QStringList names = {
        QStringLiteral("Measurement"), QStringLiteral("Measmin"), QStringLiteral("Measmax"),
        QStringLiteral("Setpoint"),    QStringLiteral("Spmin"),   QStringLiteral("Spmax"),
        QStringLiteral("Output"),      QStringLiteral("Outmin"),  QStringLiteral("Outmax"),
        QStringLiteral("yfw"),         QStringLiteral("yfwmin"),  QStringLiteral("yfwmax")};
    return names;
}

QStringList HistoryView::DrawnSeries() {
    return {QStringLiteral("Measurement"), QStringLiteral("Output"), QStringLiteral("Setpoint"),
            QStringLiteral("Meas-min"), QStringLiteral("Meas-max")};
}

QString HistorySql(int loop, qint64 t0, qint64 t1, int columns) {
    const qint64 span = std::max<qint64>(1, t1 - t0);
    const HistoryDb::Tier& tier = HistoryTierFor(span, columns);
    const bool seconds = tier.seconds == 1;
    QStringList values;
    const QStringList& names = HistoryView::ResultColumns();
    for (int v = 0; v < kHistoryValues; ++v) {
        const QString stem = QLatin1String(kHistoryStems[static_cast<size_t>(v)]);
        // Every tier averages the per-second means, so a column reads the
        // same mean whichever table it comes from.
        values << (seconds ? QStringLiteral("AVG(%1_avg) AS %2")
                           : QStringLiteral("SUM(%1_sum) / SUM(n) AS %2"))
                      .arg(stem, names[3 * v])
               << QStringLiteral("MIN(%1_min) AS %2").arg(stem, names[3 * v + 1])
               << QStringLiteral("MAX(%1_max) AS %2").arg(stem, names[3 * v + 2]);
    }
    if (span < qint64(columns) * tier.seconds) {
        // Fewer seconds than columns: a column shows the second it starts in,
        // so that a curve without missing seconds is drawn without holes.
        QStringList picked;
        for (int v = 0; v < kHistoryValues; ++v) {
            const QString stem = QLatin1String(kHistoryStems[static_cast<size_t>(v)]);
            int k = 3 * v;
            for (const char* part : {"avg", "min", "max"}) {
                picked
                    << QStringLiteral("sec.%1_%2 AS %3").arg(stem, QLatin1String(part), names[k++]);
            }
        }
        return QStringLiteral(
                   "WITH RECURSIVE cols(c) AS (SELECT 0 UNION ALL SELECT c + 1 FROM cols WHERE c + "
                   "1 < %1) SELECT cols.c AS col, %2 + cols.c * %3 / %1 AS t, %4 FROM cols LEFT "
                   "JOIN sec ON sec.loop = %5 AND sec.t = %2 + cols.c * %3 / %1 ORDER BY cols.c "
                   "DESC")
            .arg(columns)
            .arg(t0)
            .arg(span)
            .arg(picked.join(QStringLiteral(", ")))
            .arg(loop);
    }
    QStringList picked;
    for (const QString& name : names) {
        picked << QStringLiteral("agg.") + name;
    }
    return QStringLiteral(
               "WITH RECURSIVE cols(c) AS (SELECT 0 UNION ALL SELECT c + 1 FROM cols WHERE c + 1 "
               "< %1), agg AS (SELECT (t - %2) * %1 / %3 AS c, %4 FROM %5 WHERE loop = %6 AND t "
               ">= %2 AND t < %7 GROUP BY c) SELECT cols.c AS col, %2 + cols.c * %3 / %1 AS t, "
               "%8 FROM cols LEFT JOIN agg ON agg.c = cols.c ORDER BY cols.c DESC")
        .arg(columns)
        .arg(t0)
        .arg(span)
        .arg(values.join(QStringLiteral(", ")), QLatin1String(tier.table))
        .arg(loop)
        .arg(t1)
        .arg(picked.join(QStringLiteral(", ")));
}

void HistoryView::Choose(int loop, qint64 t0, qint64 t1) {
    loop_ = loop;
    SetRange(t0, t1);
    chosen0_ = t0_;
    chosen1_ = t1_;
}

void HistoryView::SetRange(qint64 t0, qint64 t1) {
    const qint64 span = std::clamp(t1 - t0, kMinSpan, kMaxSpan);
    t1_ = t1;
    t0_ = t1 - span;
}

cTrendline::ClockAxis HistoryView::Axis() const {
    return {t1_, static_cast<double>(t1_ - t0_) / columns_, zone_};
}

double HistoryView::FractionOf(qint64 t) const {
    const cTrendline::ClockAxis a = Axis();
    return ((static_cast<double>(a.end - t) / a.secondsPerRecord) + 1) / ChartMaxX();
}

double HistoryView::TimeAt(double fraction) const {
    const cTrendline::ClockAxis a = Axis();
    return static_cast<double>(a.end) - (fraction * ChartMaxX() - 1) * a.secondsPerRecord;
}

QSqlQuery HistoryView::Run(const QSqlDatabase& db, QString* error) {
    rows_.clear();
    events_.clear();
    QSqlQuery q(db);
    if (!q.exec(HistorySql(loop_, t0_, t1_, columns_))) {
        *error = q.lastError().text();
        return q;
    }
    while (q.next()) {
        Row row;
        row.t = q.value(1).toLongLong();
        for (int v = 0; v < kValues; ++v) {
            const QVariant value = q.value(2 + v);
            row.v[static_cast<size_t>(v)] = value.isNull() ? kNoData : value.toDouble();
        }
        rows_.push_back(row);
    }
    QSqlQuery e(db);
    if (e.exec(QStringLiteral("SELECT t, loop, kind, text FROM events WHERE t >= %1 AND t < %2 "
                              "AND loop IN (%3, -1) ORDER BY t")
                   .arg(t0_)
                   .arg(t1_)
                   .arg(loop_))) {
        while (e.next()) {
            events_.push_back({e.value(0).toLongLong(), e.value(1).toInt(), e.value(2).toString(),
                               e.value(3).toString()});
        }
    }
    error->clear();
    return q;
}

std::pair<double, double> HistoryView::ValueRange() const {
    double low = 0;
    double high = 10;
    for (const Row& row : rows_) {
        for (size_t v = 0; v < 6; ++v) {  // the measurement and setpoint columns
            if (!std::isnan(row.v[v])) {
                low = std::min(low, row.v[v]);
                high = std::max(high, row.v[v]);
            }
        }
    }
    return {low, high};
}

void HistoryView::ZoomAt(double fraction, double factor) {
    const double anchor = TimeAt(fraction);
    const qint64 span =
        std::clamp(static_cast<qint64>(std::llround((t1_ - t0_) * factor)), kMinSpan, kMaxSpan);
    const double spr = static_cast<double>(span) / columns_;
    const qint64 t1 = std::llround(anchor + (fraction * ChartMaxX() - 1) * spr);
    SetRange(t1 - span, t1);
    Changed();
}

void HistoryView::Pan(double share) {
    const qint64 shift = std::llround(share * static_cast<double>(t1_ - t0_));
    if (shift != 0) {
        SetRange(t0_ - shift, t1_ - shift);
        Changed();
    }
}

void HistoryView::Reset() {
    SetRange(chosen0_, chosen1_);
    Changed();
}

QStringList HistoryView::Readout(double fraction) const {
    const int k = static_cast<int>(std::lround(fraction * ChartMaxX())) - 2;
    if (k < 0 || k >= static_cast<int>(rows_.size())) {
        return {};
    }
    const Row& row = rows_[static_cast<size_t>(k)];
    QStringList lines{LocalDateTimeWithOffset(row.t, zone_)};
    static const char* kLabels[] = {"Measurement", "Setpoint", "Output", "y_fw"};
    for (int v = 0; v < kHistoryValues; ++v) {
        const double mean = row.v[static_cast<size_t>(3 * v)];
        if (std::isnan(mean)) {
            continue;
        }
        lines << QStringLiteral("%1: %2 (%3 .. %4)")
                     .arg(QLatin1String(kLabels[v]), QString::number(mean, 'f', 2),
                          QString::number(row.v[static_cast<size_t>(3 * v + 1)], 'f', 2),
                          QString::number(row.v[static_cast<size_t>(3 * v + 2)], 'f', 2));
    }
    if (lines.size() == 1) {
        lines << QStringLiteral("no data");
    }
    return lines;
}

QByteArray HistoryView::Csv() const {
    // Times, numbers and column names: nothing to quote.
    CsvWriter csv(QLatin1Char(','), CsvQuoting::None);
    csv.Add(QStringList{QStringLiteral("time")} + ResultColumns());
    for (auto it = rows_.rbegin(); it != rows_.rend(); ++it) {
        QStringList fields{LocalDateTimeWithOffset(it->t, zone_)};
        for (double v : it->v) {
            fields << Number(v);
        }
        csv.Add(fields);
    }
    return csv.text().toUtf8();
}

QString HistoryView::KindCaption(const QString& kind) {
    if (kind == QLatin1String("send")) {
        return QStringLiteral("Send");
    }
    if (kind == QLatin1String("steptest")) {
        return QStringLiteral("Step test");
    }
    if (kind == QLatin1String("alarm")) {
        return QStringLiteral("Alarm");
    }
    if (kind == QLatin1String("reconnect")) {
        return QStringLiteral("Reconnect");
    }
    if (kind == QLatin1String("loop")) {
        return QStringLiteral("Loop");
    }
    return kind;
}

std::vector<DatabaseChartTools::Mark> HistoryView::Marks() const {
    std::vector<Mark> marks;
    for (const HistoryEvent& e : events_) {
        marks.push_back({FractionOf(e.t), KindCaption(e.kind)});
    }
    return marks;
}

QString HistoryView::MarkTextAt(double fraction, double tolerance) const {
    const HistoryEvent* best = nullptr;
    double bestDistance = tolerance;
    for (const HistoryEvent& e : events_) {
        const double d = std::abs(FractionOf(e.t) - fraction);
        if (d < bestDistance || (best == nullptr && d <= tolerance)) {
            bestDistance = d;
            best = &e;
        }
    }
    if (best == nullptr) {
        return {};
    }
    return LocalDateTimeWithOffset(best->t, zone_) + QStringLiteral("  ") +
           KindCaption(best->kind) + QStringLiteral(": ") + best->text;
}

}  // namespace tuvik
