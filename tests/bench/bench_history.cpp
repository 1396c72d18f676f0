// Drawing a span of a year of one-second history for two loops: the one
// query (one row per pixel column) and the chart's database drawing onto a
// 960 x 400 picture, as the history window does. The database is made once
// by scripts/history-gen.sh (scripts/bench.sh does it when it is missing);
// TUVIK_HISTORY_DB names another one.
#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSqlQuery>

#include "trend/HistoryView.h"
#include "trend/PainterSurface.h"
#include "trend/SqlRecordSet.h"

namespace {

QString YearDatabase() {
    const QString env = qEnvironmentVariable("TUVIK_HISTORY_DB");
    return env.isEmpty() ? QStringLiteral(TUVIK_SOURCE_DIR "/build/history-year.sqlite") : env;
}

void BM_HistoryDraw(benchmark::State& state) {
    const QString path = YearDatabase();
    if (!QFileInfo::exists(path)) {
        state.SkipWithError(("no history database at " + path.toStdString() +
                             "; make it with scripts/history-gen.sh " + path.toStdString())
                                .c_str());
        return;
    }
    tuvik::HistoryDb db(QStringLiteral("bench-history"));
    db.OpenForReading(path);
    QSqlQuery last(db.database());
    last.exec(QStringLiteral("SELECT MAX(t) FROM hour1 WHERE loop = 0"));
    last.next();
    const qint64 end = last.value(0).toLongLong() + 3600;
    QImage img(960, 400, QImage::Format_RGB32);
    tuvik::PainterTextCache texts;
    tuvik::HistoryView view;
    view.setColumns(740);  // the plot's width in pixels on that picture
    view.Choose(0, end - state.range(0), end);
    tuvik::cTrendline chart;
    chart.setMaxX(static_cast<int16_t>(view.ChartMaxX()));
    chart.setMaxY(100);
    chart.setClockAxis(view.Axis());
    for (auto _ : state) {
        QString error;
        tuvik::SqlRecordSet rs(view.Run(db.database(), &error));
        QPainter p(&img);
        tuvik::PainterSurface surface(p, img.size(), 96, 96, &texts);
        chart.setPicBox(&surface);
        QStringList names = tuvik::HistoryView::DrawnSeries();
        chart.DrawSQLTrend(rs, names, true);
        chart.setPicBox(nullptr);
    }
}

}  // namespace

BENCHMARK(BM_HistoryDraw)
    ->Arg(3600)
    ->Arg(86400)
    ->Arg(7 * 86400)
    ->Arg(30 * 86400)
    ->Arg(364 * 86400)
    ->Unit(benchmark::kMillisecond);
