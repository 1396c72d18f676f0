#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>

#include "shell/LedWidget.h"

using namespace tuvik;

TEST(LedPictures, ThreeColouredLedsByNameInAnyCase) {
    const LedPictures leds = LoadLedPictures();
    struct Case {
        const QPixmap* pixmap;
        const char* name;
    };
    for (const Case& c :
         {Case{&leds.LedGrey, "grey"}, Case{&leds.LedGreen, "GREEN"}, Case{&leds.LedRed, "Red"}}) {
        ASSERT_FALSE(c.pixmap->isNull()) << c.name;
        EXPECT_EQ(c.pixmap->size(), QSize(16, 16));
        EXPECT_EQ(LedPicture(QString::fromLatin1(c.name)).toImage(), c.pixmap->toImage()) << c.name;
    }
    EXPECT_TRUE(LedPicture(QStringLiteral("blue")).isNull());

    // The colours match the names; the corners are see-through.
    auto body = [](const QPixmap& p) { return p.toImage().pixelColor(9, 10); };
    const QColor grey = body(leds.LedGrey);
    const QColor green = body(leds.LedGreen);
    const QColor red = body(leds.LedRed);
    EXPECT_LT(std::abs(grey.red() - grey.green()) + std::abs(grey.green() - grey.blue()), 10);
    EXPECT_GT(green.green(), green.red() + 60);
    EXPECT_GT(green.green(), green.blue() + 60);
    EXPECT_GT(red.red(), red.green() + 60);
    EXPECT_GT(red.red(), red.blue() + 60);
    EXPECT_EQ(leds.LedRed.toImage().pixelColor(0, 0).alpha(), 0);

    EXPECT_TRUE(PictureFromBytes(QByteArray("not an image")).isNull());

    LedWidget led;
    EXPECT_EQ(led.size(), QSize(16, 16));
    led.setPicture(leds.LedGreen);
    EXPECT_EQ(led.picture().cacheKey(), leds.LedGreen.cacheKey());
    EXPECT_EQ(led.pixmap().toImage(), leds.LedGreen.toImage());
}
