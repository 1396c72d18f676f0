// The QPainter surface: twips to pixels, one-pixel lines, the box form, text
// placement and the line advance of Print.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "trend/PainterSurface.h"
#include "trend/cTrendline.h"

using namespace tuvik;

namespace {

constexpr int kDotsPerMeter96 = 3780;  // 96 dots per inch

QImage Canvas(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.setDotsPerMeterX(kDotsPerMeter96);
    img.setDotsPerMeterY(kDotsPerMeter96);
    img.fill(Qt::green);
    return img;
}

// Pixels in the rectangle whose colour differs from c.
int CountOther(const QImage& img, const QRect& r, QRgb c) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            n += (img.pixel(x, y) & 0xFFFFFF) != (c & 0xFFFFFF) ? 1 : 0;
        }
    }
    return n;
}

}  // namespace

TEST(PainterSurface, TwipsLinesAndBoxes) {
    QImage img = Canvas(400, 200);
    {
        QPainter p(&img);
        PainterSurface s(p, img.size(), 96, 96);
        EXPECT_FLOAT_EQ(s.ScaleWidth(), 6000);
        EXPECT_FLOAT_EQ(s.ScaleHeight(), 3000);
        s.setBackColor(kBlack);
        s.Cls();
        s.Line(500, 2700, 4800, 2700, kGrey, LineForm::Segment);
        s.Line(1500, 300, 1500, 1500, kYellow, LineForm::Segment);
        s.setButtonFace(QColor(0x12, 0x34, 0x56));
        s.Line(3000, 1500, 4500, 600, kButtonFace, LineForm::Box);
    }
    // Everything the drawing did not touch is black: Cls covered the canvas.
    EXPECT_EQ(CountOther(img, QRect(0, 0, 400, 20), 0x000000), 0);
    // Horizontal grey line: row 180, columns 33 to 320, one pixel high.
    EXPECT_EQ(CountOther(img, QRect(34, 180, 286, 1), 0x808080), 0);
    EXPECT_EQ(CountOther(img, QRect(34, 179, 286, 1), 0x000000), 0);
    EXPECT_EQ(CountOther(img, QRect(34, 181, 286, 1), 0x000000), 0);
    // Vertical yellow line at column 100 from row 20 to 100.
    EXPECT_EQ(CountOther(img, QRect(100, 21, 1, 78), 0xFFFF00), 0);
    EXPECT_EQ(CountOther(img, QRect(101, 21, 1, 78), 0x000000), 0);
    // Box: outline from (200, 40) to (300, 100) in the button face, inside black.
    EXPECT_EQ(CountOther(img, QRect(200, 40, 101, 1), 0x123456), 0);
    EXPECT_EQ(CountOther(img, QRect(200, 100, 101, 1), 0x123456), 0);
    EXPECT_EQ(CountOther(img, QRect(200, 40, 1, 61), 0x123456), 0);
    EXPECT_EQ(CountOther(img, QRect(300, 40, 1, 61), 0x123456), 0);
    EXPECT_EQ(CountOther(img, QRect(201, 41, 99, 59), 0x000000), 0);
}

TEST(PainterSurface, PrintPlacesTextAndAdvancesALine) {
    QImage img = Canvas(400, 200);
    double line = 0;
    {
        QPainter p(&img);
        PainterSurface s(p, img.size(), 96, 96);
        line = s.lineHeight();
        s.setBackColor(kBlack);
        s.Cls();
        s.setForeColor(kWhite);
        s.setCurrentX(1500);
        s.setCurrentY(750);
        s.Print(QStringLiteral("Measurement"));
        s.setFontBold(true);
        s.Print(QStringLiteral("Bold"));  // at x 0, one line further down
    }
    // An 8 point font at 96 dpi: a line of 11 to 20 pixels.
    EXPECT_GE(line, 11 * 15);
    EXPECT_LE(line, 20 * 15);
    const int top = 50;
    const int lineRows = static_cast<int>(line / 15);
    // The first text lies right of x 100 and inside its line.
    EXPECT_GT(CountOther(img, QRect(100, top, 100, lineRows), 0x000000), 20);
    EXPECT_EQ(CountOther(img, QRect(0, 0, 400, top), 0x000000), 0);
    EXPECT_EQ(CountOther(img, QRect(0, top, 99, lineRows), 0x000000), 0);
    // The second starts at the left edge on the next line.
    EXPECT_GT(CountOther(img, QRect(0, top + lineRows, 40, lineRows), 0x000000), 10);
    EXPECT_EQ(CountOther(img, QRect(0, top + 2 * lineRows + 1, 400, 200 - top - 2 * lineRows - 1),
                         0x000000),
              0);
}

TEST(PainterSurface, AWholeChartStaysInsideItsAreas) {
    QImage img = Canvas(400, 200);
    TrendArray a(5);
    a.set(0, 0, "Measurement");
    a.set(1, 0, "Control output");
    for (int p = 2; p <= 400; ++p) {
        a.set(0, p, 40.0 + (p % 20));
        a.set(1, p, 75.0);
    }
    {
        QPainter p(&img);
        PainterSurface s(p, img.size(), 96, 96);
        s.setButtonFace(QColor(0xC0, 0xC0, 0xC0));
        cTrendline c;
        c.setPicBox(&s);
        c.setMaxX(360);
        c.setResolution(6);
        c.DrawTrend(a, true);
    }
    // Nothing green is left: the whole canvas was cleared.
    int green = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 400; ++x) {
            green += img.pixel(x, y) == QColor(Qt::green).rgb() ? 1 : 0;
        }
    }
    EXPECT_EQ(green, 0);
    // Frame: left edge at column 33, right edge at column 320, rows 7 to 180.
    EXPECT_EQ(img.pixel(33, 100) & 0xFFFFFF, 0xC0C0C0u);
    EXPECT_EQ(img.pixel(320, 100) & 0xFFFFFF, 0xC0C0C0u);
    EXPECT_EQ(img.pixel(200, 7) & 0xFFFFFF, 0xC0C0C0u);
    // The yellow percentage at 75 % sits at row 180 - 0.75 * 173.
    int yellow = 0;
    for (int x = 40; x < 310; ++x) {
        yellow += (img.pixel(x, 50) & 0xFFFFFF) == 0xFFFF00 ? 1 : 0;
    }
    EXPECT_GT(yellow, 250);
}

TEST(PainterSurface, JoinedSegmentsPaintLikeSeparateLines) {
    // A zigzag in two colours with a colour change in the middle, a level
    // run and an upright step: the surface joins and fills where it can, and
    // must leave the same pixels as one QPainter line per segment.
    struct Seg {
        int x1, y1, x2, y2;
        SurfaceColor c;
    };
    std::vector<Seg> segs;
    int y = 1500;
    for (int k = 0; k < 60; ++k) {
        const int ny = k % 7 == 0 ? y : (k % 11 == 0 ? y + 600 : 1500 + ((k * 37) % 900) - 450);
        segs.push_back({5400 - 75 * k, y, 5400 - 75 * (k + 1), ny, k < 30 ? kYellow : kCyan});
        y = ny;
    }
    segs.push_back({600, 600, 600, 2400, kGrey});   // upright
    segs.push_back({600, 2400, 5000, 2400, kGrey});  // level, joined to the one above
    segs.push_back({700, 700, 1700, 700, kGrey});    // level, alone

    QImage viaSurface = Canvas(400, 200);
    QImage direct = Canvas(400, 200);
    {
        QPainter p(&viaSurface);
        PainterSurface s(p, viaSurface.size(), 96, 96);
        for (const Seg& g : segs) {
            s.Line(g.x1, g.y1, g.x2, g.y2, g.c, LineForm::Segment);
        }
    }
    {
        QPainter p(&direct);
        for (const Seg& g : segs) {
            p.setPen(QPen(QColor::fromRgb(g.c), 0));
            p.drawLine(QPoint(std::lround(g.x1 / 15.0), std::lround(g.y1 / 15.0)),
                       QPoint(std::lround(g.x2 / 15.0), std::lround(g.y2 / 15.0)));
        }
    }
    EXPECT_EQ(viaSurface, direct);
}
