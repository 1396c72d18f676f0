// The analog inputs window: it takes the polling over from the link while
// open, asks for the inputs at the refresh period, draws what the replies
// bring every second, and gives the polling back when it closes.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <cmath>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "link/RxState.h"
#include "shell/Session.h"
#include "support/frmADinputs.h"
#include "trend/TrendChartWidget.h"

using namespace tuvik;
using tuvik::test::Hex;
using tuvik::test::Pump;
using tuvik::test::RecordingLink;
using tuvik::test::WaitUntil;
using namespace std::chrono_literals;

namespace {

// Replies reach the dispatcher the way a link hands them on: through the framing.
struct ToDispatcher : RxSink {
    ReplyDispatcher* d = nullptr;
    void OnPacket(uint8_t c, std::span<const uint8_t> data) override { d->HandleReply(c, data); }
    void OnBrokenPacket(uint8_t, int, uint8_t) override {}
};

QRgb Rgb(const QImage& img, int x, int y) {
    return img.pixel(x, y) & 0xFFFFFF;
}

int CountColour(const QImage& img, const QRect& r, QRgb c) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += Rgb(img, x, y) == c ? 1 : 0;
        }
    }
    return n;
}

// The row of the plot area where a colour runs furthest.
int RowOfMost(const QImage& img, int plotRight, QRgb c) {
    int best = -1;
    int most = 0;
    for (int y = 0; y < img.height(); ++y) {
        const int n = CountColour(img, QRect(0, y, plotRight, 1), c);
        if (n > most) {
            most = n;
            best = y;
        }
    }
    return best;
}

struct AnalogWindow : ::testing::Test {
    QTemporaryDir dir;
    std::unique_ptr<Session> session;
    FixedLinkSettings settings;
    RecordingLink link;
    RxState rx;
    ToDispatcher sink;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        session = std::make_unique<Session>(AppPaths(dir.path(), dir.path(), {}));
        session->ctx().setLinkSettings(&settings);
        session->ctx().setActiveLink(&link);
        sink.d = &session->dispatcher();
    }

    // One 0x89 reply with the eight readings, fed through the framing.
    void Reply(const std::array<uint16_t, 8>& v) {
        std::array<uint8_t, 16> d{};
        for (int k = 0; k < 8; ++k) {
            d[2 * k] = static_cast<uint8_t>(v[k] & 0xFF);
            d[2 * k + 1] = static_cast<uint8_t>(v[k] >> 8);
        }
        const QByteArray p = EncodePacket(Cmd::AnalogValues, std::span<const uint8_t>(d));
        rx.Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(p.constData()),
                                         static_cast<size_t>(p.size())),
                sink);
    }

    static int Requests(const QByteArray& bytes) {
        return static_cast<int>(bytes.count(Hex("88 00 77")));
    }
    static bool OnlyRequests(const QByteArray& bytes) {
        return Requests(bytes) * 3 == bytes.size();
    }

    static TrendChartWidget* Chart(QWidget& w, const char* name) {
        return w.findChild<TrendChartWidget*>(QString::fromLatin1(name));
    }
    static QTimer* Timer(QWidget& w, const char* name) {
        return w.findChild<QTimer*>(QString::fromLatin1(name));
    }
};

}  // namespace

TEST_F(AnalogWindow, OpeningTakesThePollingOverAtTheRefreshPeriod) {
    settings.refresh = QStringLiteral("250");
    QWidget main;
    QPixmap px(16, 16);
    px.fill(Qt::green);
    main.setWindowIcon(QIcon(px));
    frmADinputs w(*session, &main);
    EXPECT_TRUE(link.refreshCalls.isEmpty());  // nothing happens before it is shown
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ADinput[]"));
    TrendChartWidget* upper = Chart(w, "Picture1");
    TrendChartWidget* lower = Chart(w, "Picture2");
    ASSERT_NE(upper, nullptr);
    ASSERT_NE(lower, nullptr);

    w.show();
    EXPECT_TRUE(w.isLoaded());
    EXPECT_EQ(link.refreshCalls, QList<bool>{false});
    EXPECT_EQ(w.windowIcon().cacheKey(), main.windowIcon().cacheKey());
    EXPECT_EQ(Timer(w, "Timer2")->interval(), 250);
    EXPECT_EQ(Timer(w, "Timer1")->interval(), 1000);
    EXPECT_TRUE(Timer(w, "Timer1")->isActive());
    // Stacked: the lower chart below the upper one, both the window's width.
    EXPECT_GT(lower->geometry().top(), upper->geometry().bottom());
    EXPECT_EQ(upper->width(), w.width());
    EXPECT_NEAR(upper->sizeInTwips().width(), 9315, 15);
    EXPECT_NEAR(upper->sizeInTwips().height(), 2415, 15);

    // Requests only, one every 250 ms: count them over a stretch of time.
    QElapsedTimer clock;
    clock.start();
    Pump(1300ms);
    const QByteArray sent = link.bytes;
    const qint64 elapsed = clock.elapsed();
    EXPECT_TRUE(OnlyRequests(sent)) << sent.toHex(' ').toStdString();
    EXPECT_GE(Requests(sent), 2);
    EXPECT_LE(Requests(sent), elapsed / 250 + 1) << Requests(sent) << " in " << elapsed << " ms";
    EXPECT_TRUE(link.packets.isEmpty());

    // Resizable: the charts follow the window.
    w.resize(900, 500);
    ASSERT_TRUE(WaitUntil([&] { return upper->width() == 900; }));
    EXPECT_GT(upper->height(), 200);
    EXPECT_GT(lower->height(), 200);
}

TEST_F(AnalogWindow, RefreshWithoutAPositiveNumberSendsNothing) {
    for (const char* text : {"0", "x", "", "-250", "0.4"}) {
        SCOPED_TRACE(text);
        settings.refresh = QString::fromLatin1(text);
        link.Clear();
        frmADinputs w(*session);
        w.show();
        EXPECT_EQ(link.refreshCalls, QList<bool>{false});
        // A timer with no period would fire whenever the event loop is idle.
        EXPECT_FALSE(Timer(w, "Timer2")->isActive());
        EXPECT_TRUE(Timer(w, "Timer1")->isActive());
        Pump(150ms);
        EXPECT_TRUE(link.bytes.isEmpty());
        w.close();
        EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    }
}

TEST_F(AnalogWindow, FirstDrawingShowsNamesAndFlatCurvesScaledDown) {
    frmADinputs w(*session);
    w.show();
    const DispatchState& st = session->state();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(st.AnalogTrend1.at(k, 0), TrendCell(QStringLiteral("AD%1").arg(k)));
        EXPECT_EQ(st.AnalogTrend2.at(k, 0), TrendCell(QStringLiteral("AD%1").arg(k + 4)));
        EXPECT_EQ(st.AnalogTrend1.at(k, 1), TrendCell(" #"));
        EXPECT_EQ(st.AnalogTrend2.at(k, 1), TrendCell(" #"));
    }
    EXPECT_TRUE(st.AnalogTrend1.at(4, 0).isEmpty());
    EXPECT_TRUE(st.AnalogTrend2.at(5, 0).isEmpty());

    for (const char* name : {"Picture1", "Picture2"}) {
        SCOPED_TRACE(name);
        TrendChartWidget* c = Chart(w, name);
        EXPECT_EQ(c->chart().maxY(), 10);  // pulled down from 500 at the first drawing
        EXPECT_EQ(c->chart().maxX(), 300);
        EXPECT_EQ(c->chart().minY(), 0);
        EXPECT_EQ(c->chart().Resolution(), 5);
        EXPECT_TRUE(c->chart().AutoScale());
        ASSERT_TRUE(WaitUntil([&] { return c->paintCount() > 0; }));
        const QImage img = c->grab().toImage();
        const int plotRight = c->width() * 4 / 5;
        // The last series is drawn on top: cyan along the bottom edge, all the way across.
        const int bottom = RowOfMost(img, plotRight, 0x00FFFF);
        EXPECT_NEAR(bottom,
                    std::lround((c->sizeInTwips().height() - 300) * c->height() /
                                c->sizeInTwips().height()),
                    1);
        EXPECT_GT(CountColour(img, QRect(0, bottom, plotRight, 1), 0x00FFFF), plotRight * 2 / 3);
        // The legend names each series in its colour.
        const QRect legend(plotRight + 1, 0, c->width() - plotRight - 1, c->height());
        for (QRgb colour : {0xFFFFFFu, 0xFFFF00u, 0xFF0000u, 0x00FFFFu}) {
            EXPECT_GT(CountColour(img, legend, colour), 20) << std::hex << colour;
        }
    }
}

TEST_F(AnalogWindow, RepliesFillTheTablesAndTheChartsAtTheNextRedraw) {
    settings.refresh = QStringLiteral("0");
    frmADinputs w(*session);
    w.show();
    TrendChartWidget* upper = Chart(w, "Picture1");
    TrendChartWidget* lower = Chart(w, "Picture2");

    for (int i = 0; i < 60; ++i) {
        Reply({100, 200, 300, 400, 500, 600, 700, 40000});
    }
    const DispatchState& st = session->state();
    EXPECT_EQ(st.AnalogTrend1.at(0, 2), TrendCell(100.0));
    EXPECT_EQ(st.AnalogTrend1.at(3, 61), TrendCell(400.0));
    EXPECT_TRUE(st.AnalogTrend1.at(3, 62).isEmpty());
    EXPECT_EQ(st.AnalogTrend2.at(0, 2), TrendCell(500.0));
    EXPECT_EQ(st.AnalogTrend2.at(3, 2), TrendCell(30000.0));  // held at the ceiling
    EXPECT_EQ(st.AnalogTrend2.at(3, 0), TrendCell("AD7"));    // names untouched

    // Charts change only with the next redraw of the window's own timer.
    EXPECT_EQ(upper->chart().maxY(), 10);
    ASSERT_TRUE(WaitUntil([&] { return upper->chart().maxY() != 10; }, 5000ms));
    EXPECT_EQ(upper->chart().maxY(), 410);
    EXPECT_EQ(lower->chart().maxY(), 30010);

    const int before = upper->paintCount();
    ASSERT_TRUE(WaitUntil([&] { return upper->paintCount() > before; }));
    const QImage img = upper->grab().toImage();
    const int plotRight = upper->width() * 4 / 5;
    // AD3 (cyan, drawn last) runs level at 400 of 410 over its 60 samples,
    // then drops to the zero line where no samples are held.
    const double pxPerTwip = upper->height() / upper->sizeInTwips().height();
    const double B = upper->sizeInTwips().height() - 300;
    const double H = B - 100;
    const int row400 = static_cast<int>(std::lround((B - 400.0 * H / 410.0) * pxPerTwip));
    const int run = CountColour(img, QRect(0, row400 - 1, plotRight, 3), 0x00FFFF);
    const double samplesWide = (plotRight - 500 * pxPerTwip) * 58.0 / 300.0;
    EXPECT_GT(run, samplesWide * 0.8) << "row " << row400;
    EXPECT_LT(run, samplesWide * 1.5) << "row " << row400;
}

TEST_F(AnalogWindow, ClosingGivesThePollingBackAndReopeningKeepsTheSamples) {
    settings.refresh = QStringLiteral("20");
    auto w = std::make_unique<frmADinputs>(*session);
    w->show();
    ASSERT_TRUE(WaitUntil([&] { return Requests(link.bytes) >= 2; }));
    for (int i = 0; i < 30; ++i) {
        Reply({1, 2, 3, 4, 5, 6, 7, static_cast<uint16_t>(1000 + i)});
    }

    EXPECT_TRUE(w->close());
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->isLoaded());
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_FALSE(Timer(*w, "Timer1")->isActive());
    EXPECT_FALSE(Timer(*w, "Timer2")->isActive());
    Pump(100ms);
    link.bytes.clear();
    Pump(150ms);
    EXPECT_TRUE(link.bytes.isEmpty());

    // Shown again: a fresh load, drawing at once from the samples held.
    w->show();
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true, false}));
    const DispatchState& st = session->state();
    EXPECT_EQ(st.AnalogTrend2.at(3, 2), TrendCell(1029.0));
    EXPECT_EQ(st.AnalogTrend2.at(3, 31), TrendCell(1000.0));
    EXPECT_EQ(Chart(*w, "Picture2")->chart().maxY(), 1039);
    EXPECT_EQ(Chart(*w, "Picture1")->chart().maxY(),
              14);  // from 500 down to 10 above the peak of 4
    ASSERT_TRUE(WaitUntil([&] { return Requests(link.bytes) >= 2; }));

    // A window restored after being minimised is not loaded a second time.
    w->showMinimized();
    w->showNormal();
    EXPECT_EQ(link.refreshCalls.size(), 3);

    // Destroyed while open: the polling goes back to the link too.
    w.reset();
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true, false, true}));
}
