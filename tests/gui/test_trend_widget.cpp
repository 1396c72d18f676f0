// The chart widget: coalesced repaints, settings taken at the call, repaint
// after resize and expose, the two uses in the program's windows, the
// message box of a failed database drawing, and a rendering of a PID loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "TestUtil.h"
#include "trend/PainterSurface.h"
#include "trend/TrendChartWidget.h"

using namespace tuvik;
using tuvik::test::Pump;
using tuvik::test::WaitUntil;
using namespace std::chrono_literals;

namespace {

// The main window's chart as the window sets it up and before each redraw.
void MainWindowChart(TrendChartWidget& w) {
    cTrendline& c = w.chart();
    c.setMaxX(300);
    c.setMaxY(500);
    c.setMinY(0);
    c.setResolution(5);
}
void BeforeMainRedraw(TrendChartWidget& w) {
    cTrendline& c = w.chart();
    c.setMaxX(360);
    c.setAutoScale(true);
    c.setMinY(0);
    c.setResolution(6);
}

// A temperature loop: the setpoint steps from 60 to 80, a PI controller
// drives a first-order process with a little noise, and a slowly drifting
// feed-forward input. Samples rounded to two decimals, newest at point 2.
TrendArray PidLoopTable() {
    TrendArray a(5);
    const char* names[] = {"Measurement", "Control output", "Setpoint", "FeedForward"};
    for (int s = 0; s < 4; ++s) {
        a.set(s, 0, names[s]);
        a.set(s, 1, "");
    }
    double y = 58.0;
    double integral = 45.0;
    uint32_t seed = 12345;
    auto noise = [&] {
        seed = seed * 1103515245u + 12345u;
        return ((seed >> 16) % 1000) / 1000.0 - 0.5;
    };
    auto round2 = [](double v) { return std::nearbyint(v * 100) / 100; };
    for (int t = 0; t < 399; ++t) {
        const double sp = t < 160 ? 60.0 : 80.0;
        const double ff = 20.0 + 4.0 * std::sin(t / 70.0);
        const double e = sp - y;
        integral += e * 2.2 / 35.0;
        integral = std::clamp(integral, 0.0, 100.0);
        const double u = std::clamp(2.2 * e + integral, 0.0, 100.0);
        // Heating raises the temperature, losses pull it towards the feed-forward input.
        y += (0.9 * u + 0.6 * ff - 0.75 * y) / 18.0 + 0.12 * noise();
        a.PushSample(0, round2(y));
        a.PushSample(1, round2(u));
        a.PushSample(2, round2(sp));
        a.PushSample(3, round2(ff));
    }
    return a;
}

QImage Render(const TrendChartWidget& w) {
    return const_cast<TrendChartWidget&>(w).grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int CountColour(const QImage& img, const QRect& r, QRgb c) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += (img.pixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF) ? 1 : 0;
        }
    }
    return n;
}

// The column of the frame's right edge along a row inside the plot.
int FrameRightEdge(const QImage& img, int row) {
    const QRgb face = QGuiApplication::palette().color(QPalette::Button).rgb() & 0xFFFFFF;
    for (int x = img.width() - 1; x >= 0; --x) {
        if ((img.pixel(x, row) & 0xFFFFFF) == face) {
            return x;
        }
    }
    return -1;
}

struct ThrowingRecordSet : RecordSet {
    void MoveFirst() override {}
    void MoveNext() override {}
    QVariant Fields(const QString&) override {
        throw RecordSetError(RecordSetError::kItemNotFound,
                             QStringLiteral("Item not found in this collection."));
    }
};

}  // namespace

TEST(TrendChartWidget, ManyRedrawsMakeOnePaintPerFrame) {
    TrendChartWidget w;
    w.setObjectName(QStringLiteral("Picture1"));
    w.resize(400, 200);
    w.setMinFrameInterval(40);
    w.show();
    ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > 0; }));
    Pump(60ms);
    const TrendArray a = PidLoopTable();

    // A burst between two passes of the event loop: one paint.
    int before = w.paintCount();
    for (int i = 0; i < 200; ++i) {
        BeforeMainRedraw(w);
        w.DrawTrend(a, true);
    }
    ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > before; }));
    Pump(100ms);
    EXPECT_EQ(w.paintCount() - before, 1);

    // Redraws with the event loop running in between: at most one paint per
    // interval, however many redraws there were.
    before = w.paintCount();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 80; ++i) {
        w.DrawTrend(a, true);
        Pump(3ms);
    }
    Pump(50ms);  // the last requested paint
    const qint64 elapsed = clock.elapsed();
    const int paints = w.paintCount() - before;
    EXPECT_GE(paints, 1);
    // 80 redraws; the paints are bounded by the time they took, not by their number.
    EXPECT_LE(paints, elapsed / 40 + 2) << paints << " paints in " << elapsed << " ms";
}

TEST(TrendChartWidget, SettingsAreTakenWhenTheRedrawIsAsked) {
    TrendChartWidget w;
    w.resize(400, 200);
    w.chart().setMaxY(500);
    w.chart().setAutoScale(true);
    TrendArray a(5);
    a.set(0, 0, "Measurement");
    a.set(0, 10, 97.0);
    w.DrawTrend(a, false);  // not shown: no paint in between
    EXPECT_EQ(w.chart().maxY(), 107);
    a.set(0, 10, 100.0);
    w.DrawTrend(a, false);
    EXPECT_EQ(w.chart().maxY(), 107);  // each call scales, painted or not
    a.set(0, 10, 103.0);
    w.DrawTrend(a, false);
    EXPECT_EQ(w.chart().maxY(), 113);

    // Changes after the call wait for the next redraw: the paint uses the
    // settings of the call (a flat curve at 50 spanning 300 samples).
    TrendArray flat(5);
    flat.set(0, 0, "Measurement");
    for (int p = 2; p <= 400; ++p) {
        flat.set(0, p, 50.0);
    }
    w.chart().setAutoScale(false);
    w.chart().setMaxY(100);
    w.DrawTrend(flat, false);
    w.chart().setMaxY(50);        // would put the curve on the top edge
    w.chart().setMaxX(900);       // would end it a third of the way across
    w.chart().setResolution(-1);  // would leave out the value grid
    const QImage img = Render(w);
    EXPECT_GT(CountColour(img, QRect(36, 93, 280, 1), 0xFFFFFF), 270);    // row of 50 on 173 rows
    EXPECT_GT(CountColour(img, QRect(34, 0, 286, 200), 0x808080), 1000);  // grid still there
}

TEST(TrendChartWidget, RepaintsAfterResizeAndExpose) {
    TrendChartWidget w;
    w.resize(400, 200);
    MainWindowChart(w);
    w.show();
    BeforeMainRedraw(w);
    w.DrawTrend(PidLoopTable(), true);
    ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > 0; }));
    EXPECT_EQ(FrameRightEdge(Render(w), 100), 320);

    int before = w.paintCount();
    w.resize(600, 300);
    ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > before; }));
    const QImage resized = Render(w);
    EXPECT_EQ(resized.size(), QSize(600, 300));
    EXPECT_EQ(FrameRightEdge(resized, 150), 480);

    // The same picture as the chart drawn directly at that size.
    QImage direct(600, 300, QImage::Format_RGB32);
    direct.setDotsPerMeterX(static_cast<int>(std::lround(w.logicalDpiX() / 0.0254)));
    direct.setDotsPerMeterY(static_cast<int>(std::lround(w.logicalDpiY() / 0.0254)));
    {
        QPainter p(&direct);
        PainterSurface s(p, direct.size(), w.logicalDpiX(), w.logicalDpiY());
        cTrendline c = w.chart();
        c.setPicBox(&s);
        c.PaintTrend(PidLoopTable(), true);
    }
    EXPECT_EQ(resized, direct);

    // Uncovered again: painted again, the same.
    w.hide();
    before = w.paintCount();
    w.show();
    ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > before; }));
    EXPECT_EQ(Render(w), resized);
}

TEST(TrendChartWidget, TwoAnalogChartsScaleDownOnEmptySamples) {
    QWidget window;
    TrendChartWidget upper(&window);
    TrendChartWidget lower(&window);
    upper.setObjectName(QStringLiteral("Picture1"));
    lower.setObjectName(QStringLiteral("Picture2"));
    upper.setGeometry(0, 0, 621, 161);  // 9315 x 2415 twips
    lower.setGeometry(0, 164, 621, 161);
    TrendArray ad1(6);
    TrendArray ad2(6);
    for (int k = 0; k < 4; ++k) {
        ad1.set(k, 0, QStringLiteral("AD%1").arg(k));
        ad2.set(k, 0, QStringLiteral("AD%1").arg(k + 4));
        ad1.set(k, 1, " #");
        ad2.set(k, 1, " #");
    }
    for (TrendChartWidget* w : {&upper, &lower}) {
        cTrendline& c = w->chart();
        c.setMaxX(300);
        c.setMaxY(500);
        c.setMinY(0);
        c.setResolution(5);
        c.setAutoScale(true);
    }
    window.show();
    upper.DrawTrend(ad1, false);
    lower.DrawTrend(ad2, false);
    EXPECT_EQ(upper.chart().maxY(), 10);
    EXPECT_EQ(lower.chart().maxY(), 10);
    EXPECT_NEAR(upper.sizeInTwips().width(), 9315, 15);
    ASSERT_TRUE(WaitUntil([&] { return upper.paintCount() > 0 && lower.paintCount() > 0; }));
    // Flat curves on the zero line: the last series (cyan) drawn along the bottom edge.
    const QImage img = Render(lower);
    const int bottom = static_cast<int>(std::lround((161 * 15 - 300) / 15.0));
    EXPECT_GT(CountColour(img, QRect(40, bottom, 400, 1), 0x00FFFF), 380);
}

TEST(TrendChartWidget, DatabaseFailureIsShownInAMessageBox) {
    TrendChartWidget w;
    w.resize(400, 200);
    w.show();
    QString shown;
    int polls = 0;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        ++polls;
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
        if (polls > 500) {
            closer.stop();  // give up; the assertion below reports it
            if (QWidget* m = QApplication::activeModalWidget()) {
                m->close();
            }
        }
    });
    closer.start();
    ThrowingRecordSet rs;
    QStringList names{"O2", "", "", "", ""};
    w.DrawSQLTrend(rs, names, false);
    closer.stop();
    EXPECT_EQ(shown, "Error: cDrawSQLTrend Item not found in this collection.3265");

    // With a notifier set, the message goes there instead.
    struct Sink : UserNotifier {
        QStringList got;
        void ShowMessage(const QString& t) override { got << t; }
    } sink;
    w.setNotifier(&sink);
    w.DrawSQLTrend(rs, names, false);
    EXPECT_EQ(sink.got, QStringList({shown}));
    // What was drawn before the failure is painted.
    const int before = w.paintCount();
    ASSERT_TRUE(WaitUntil([&] { return w.paintCount() > before; }));
    EXPECT_GT(CountColour(Render(w), QRect(0, 0, 400, 200), 0x808080), 500);
}

TEST(TrendChartWidget, PidLoopRendering) {
    TrendChartWidget w;
    w.setObjectName(QStringLiteral("Picture1"));
    w.resize(800, 400);
    MainWindowChart(w);
    BeforeMainRedraw(w);
    w.DrawTrend(PidLoopTable(), true);
    EXPECT_GT(w.chart().maxY(), 80);  // scaled to the data
    EXPECT_LT(w.chart().maxY(), 110);
    const QImage img = Render(w);
    // Plot 33..640 x 7..380 px; legend right of 640.
    const QRect plot(35, 8, 600, 370);
    EXPECT_GT(CountColour(img, plot, 0xFFFFFF), 300);  // measurement
    EXPECT_GT(CountColour(img, plot, 0xFFFF00), 300);  // controller output
    EXPECT_GT(CountColour(img, plot, 0xFF0000), 300);  // setpoint
    EXPECT_GT(CountColour(img, plot, 0x00FFFF), 300);  // feed-forward
    // Legend text inside the surface, and nothing of it cut at the right edge.
    const QRect legend(667, 0, 128, 200);
    EXPECT_GT(legend.width() * legend.height() - CountColour(img, legend, 0x000000), 200);
    EXPECT_EQ(CountColour(img, QRect(795, 0, 5, 400), 0x000000), 5 * 400);

    const QByteArray dir = qgetenv("TUVIK_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(dir));
        EXPECT_TRUE(img.save(
            QDir(QString::fromLocal8Bit(dir)).filePath(QStringLiteral("trend-chart.png"))));
    }
}
