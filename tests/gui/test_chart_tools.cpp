// The chart tools' wiring: wheel, legend click, space bar, pause holding the
// picture still, export through the file dialog.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "TestUtil.h"
#include "trend/ui/TrendChartWidget.h"

using namespace tuvik;
using namespace std::chrono_literals;

namespace {

// Sample k (0 = newest) of series 0 is start + k, stamped 333 ms apart.
TrendArray Ramp(double start) {
    TrendArray t(5);
    t.set(0, 0, "Measurement");
    t.set(1, 0, "Output");
    for (int k = 398; k >= 0; --k) {
        t.PushSample(0, TrendCell(start + k));
        t.PushSample(1, TrendCell(50.0));
        t.PushTime(1000 - 0.333 * k);
    }
    return t;
}

struct Chart {
    Chart() {
        w.resize(600, 200);
        w.chart().setMaxX(300);
        w.chart().setMaxY(500);
        w.setMinFrameInterval(1);
        w.show();
        w.DrawTrend(Ramp(0), false);
        test::WaitUntil([&] { return w.paintCount() > 0; });
    }
    // The pixel column at a fraction across the plot.
    double X(double fraction) const {
        for (int x = 0; x < w.width(); ++x) {
            if (w.FractionAt(x) <= fraction) {
                return x;
            }
        }
        return -1;
    }
    TrendChartWidget w;
};

}  // namespace

TEST(ChartTools, WheelLegendSpaceAndPauseDriveTheView) {
    Chart c;
    QWheelEvent in(QPointF(c.X(0.5), 100), c.w.mapToGlobal(QPointF(c.X(0.5), 100)), {}, {0, 120},
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&c.w, &in);
    EXPECT_EQ(c.w.view().span(), 240);
    EXPECT_TRUE(c.w.view().paused()) << "zoomed away from the newest samples";
    EXPECT_EQ(c.w.ReadoutAt(c.X(0.5)).value(0), "-49.28 s") << "sample 148, 333 ms apart";
    // The zoomed view with the cursor's read-out: every curve in its own
    // colour (the flat second series is yellow), the read-out drawn last.
    QTest::mouseMove(&c.w, QPoint(int(c.X(0.5)), 100));
    const QImage shot = c.w.grab().toImage();
    ASSERT_LT(c.X(0.8) + 50, c.X(0.2));
    int yellow = 0;
    for (int x = int(c.X(0.8)); x <= int(c.X(0.2)); ++x) {
        for (int y = 0; y < shot.height(); ++y) {
            yellow += shot.pixel(x, y) == qRgb(255, 255, 0) ? 1 : 0;
        }
    }
    EXPECT_GT(yellow, int(c.X(0.2) - c.X(0.8)) / 2);

    // New samples are recorded but a paused chart is not redrawn for them: a
    // repaint asked for would have come before a timer of two frames.
    auto framesPassed = [&] {
        bool passed = false;
        QTimer::singleShot(2 * c.w.frameInterval(), [&] { passed = true; });
        ASSERT_TRUE(test::WaitUntil([&] { return passed; }));
        QCoreApplication::sendPostedEvents();
    };
    framesPassed();
    const int paints = c.w.paintCount();
    c.w.DrawTrend(Ramp(1000), false);
    framesPassed();
    EXPECT_EQ(c.w.paintCount(), paints);
    EXPECT_TRUE(c.w.VisibleCsv().contains(",150,")) << "still the table it was paused on";

    // Double click: live again, the chart's own span, the new samples.
    QTest::mouseDClick(&c.w, Qt::LeftButton, {}, QPoint(int(c.X(0.5)), 100));
    EXPECT_FALSE(c.w.view().zoomed());
    EXPECT_FALSE(c.w.view().paused());
    EXPECT_TRUE(c.w.VisibleCsv().contains(",1150,"));

    // Space pauses and resumes.
    c.w.setFocus();
    QTest::keyClick(&c.w, Qt::Key_Space);
    EXPECT_TRUE(c.w.view().paused());
    QTest::keyClick(&c.w, Qt::Key_Space);
    EXPECT_FALSE(c.w.view().paused());

    // A click on the second legend entry hides that series and back.
    const cTrendline::Geometry g = cTrendline::ComputeGeometry(
        float(c.w.sizeInTwips().width()), float(c.w.sizeInTwips().height()), 0);
    // A few pixels into its name line.
    const int y = int(*cTrendline::LegendNameTops(Ramp(0), g)[1] * c.w.logicalDpiY() / 1440) + 3;
    const int legendX = int(g.W * c.w.logicalDpiX() / 1440.0) + 20;
    QTest::mouseClick(&c.w, Qt::LeftButton, {}, QPoint(legendX, y));
    EXPECT_TRUE(c.w.view().hidden(1));
    EXPECT_TRUE(c.w.VisibleCsv().startsWith("time (s),Measurement\r\n"));
    QTest::mouseClick(&c.w, Qt::LeftButton, {}, QPoint(legendX, y));
    EXPECT_FALSE(c.w.view().hidden(1));
}

TEST(ChartTools, ExportsWriteTheVisibleSpanAndThePicture) {
    Chart c;
    QTemporaryDir dir;
    QStringList asked;
    QString next;
    c.w.setSaveDialog([&](const QString& title, const QString& filter) {
        asked << title + "|" + filter;
        return next;
    });
    EXPECT_FALSE(c.w.ExportCsv()) << "cancelled";
    next = dir.filePath("span.csv");
    c.w.chart().setMaxX(12);  // points 2..11: the ten newest samples
    c.w.DrawTrend(Ramp(0), false);
    ASSERT_TRUE(c.w.ExportCsv());
    QFile f(next);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              "time (s),Measurement,Output\r\n-2.997,9,50\r\n-2.664,8,50\r\n-2.331,7,50\r\n"
              "-1.998,6,50\r\n-1.665,5,50\r\n-1.332,4,50\r\n-0.999,3,50\r\n-0.666,2,50\r\n"
              "-0.333,1,50\r\n0,0,50\r\n");
    next = dir.filePath("chart.png");
    ASSERT_TRUE(c.w.ExportPng());
    EXPECT_EQ(QImage(next).size(), c.w.size());
    EXPECT_EQ(asked.size(), 3);
    EXPECT_TRUE(asked.last().contains("*.png"));
}
