// The history window: the live values a session received, drawn from the
// database with their marks; the tools query again.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QLabel>
#include <QTest>
#include <QWheelEvent>

#include <cstring>

#include "BurnerFixture.h"
#include "TestUtil.h"
#include "trend/ui/TrendChartWidget.h"
#include "trend/ui/frmHistory.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

std::vector<uint8_t> Singles(float out, float meas, float sp, float fw) {
    std::vector<uint8_t> d(16);
    for (int i = 0; const float v : {out, meas, sp, fw}) {
        std::memcpy(d.data() + 4 * i++, &v, 4);
    }
    return d;
}

}  // namespace

TEST(HistoryWindow, DrawsTheReceivedSecondsWithMarksAndItsToolsQueryAgain) {
    BurnerSession s("");
    s.session->loops().SetSelectedIndex(1);
    qint64 nowMs = (QDateTime::currentSecsSinceEpoch() - 120) * 1000;
    s.session->history().setClock([&] { return nowMs; });
    for (const float meas : {20.5f, 21.5f, 40.f}) {
        s.feeder->Reply(Cmd::LiveValues, Singles(30, meas, 25, 0));
        nowMs += 400;
    }
    s.feeder->Reply(Cmd::Alarm, {1});
    nowMs += 3000;
    frmHistory w(*s.session);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    TrendChartWidget* chart = w.chart();
    int filled = 0;
    for (const HistoryView::Row& row : w.view().rows()) {
        if (!std::isnan(row.v[0])) {
            ++filled;
            EXPECT_EQ(row.v[1], 20.5);  // the first second: 20.5, 21.5, 40
            EXPECT_EQ(row.v[2], 40.0);
            EXPECT_DOUBLE_EQ(row.v[0], 82.0 / 3);
            EXPECT_EQ(row.v[6], 30.0);
        }
    }
    EXPECT_EQ(filled, 1) << "one second at this width";
    ASSERT_EQ(w.view().Marks().size(), 1u);
    const int x = static_cast<int>(chart->XAt(w.view().Marks()[0].fraction));
    QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(x + 2, chart->height() / 2));
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("lblHistoryStatus"))
                    ->text()
                    .contains(QStringLiteral("Alarm: Controller alarm on")));
    EXPECT_FALSE(chart->ReadoutAt(x).isEmpty());
    // The wheel zooms around the pointer and queries the narrower span.
    const qint64 span = w.view().t1() - w.view().t0();
    QWheelEvent wheel(QPointF(x, 50), chart->mapToGlobal(QPointF(x, 50)), {}, {0, 120},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_LT(w.view().t1() - w.view().t0(), span);
    EXPECT_TRUE(chart->VisibleCsv().startsWith("time,Measurement,Measmin,Measmax"));
}
