#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cmath>

#include "shell/GlobalTables.h"
#include "support/Numbers.h"
#include "trend/TrendArray.h"

using namespace tuvik;

TEST(TextToNumber, AwkwardInputs) {
    EXPECT_EQ(TextToNumber(" 1 2"), 12);
    EXPECT_EQ(TextToNumber("&H10"), 16);
    EXPECT_EQ(TextToNumber("&o17"), 15);
    EXPECT_EQ(TextToNumber("&HFFFF"), -1);
    EXPECT_EQ(TextToNumber("1e3x"), 1000);
    EXPECT_EQ(TextToNumber("2.5D1"), 25);
    EXPECT_EQ(TextToNumber(""), 0);
    EXPECT_EQ(TextToNumber("abc"), 0);
    EXPECT_EQ(TextToNumber("-0.5"), -0.5);
    EXPECT_EQ(TextToNumber("0x10"), 0);
    EXPECT_EQ(TextToNumber("12abc"), 12);
    EXPECT_EQ(TextToNumber("1.2.3"), 1.2);
    EXPECT_EQ(TextToNumber("7e"), 7);
    EXPECT_EQ(TextToNumber("\t250 // max"), 250);
}

TEST(Rounding, HalvesGoToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundToInt16(32767.4).value(), 32767);
    EXPECT_FALSE(RoundToInt16(32767.5).has_value());
    EXPECT_FALSE(RoundToInt16(40000).has_value());
    EXPECT_EQ(RoundToInt16(-32768.5).value(), -32768);
    EXPECT_FALSE(RoundToInt32(1e10).has_value());
    EXPECT_FALSE(RoundToInt32(std::nan("")).has_value());
}

TEST(SingleText, ShortestThatReadsBack) {
    EXPECT_EQ(SingleText(1.5f, '.'), "1.5");
    EXPECT_EQ(SingleText(1.5f, ','), "1,5");
    EXPECT_EQ(SingleText(0.1f, '.'), "0.1");
    EXPECT_EQ(SingleText(100000.f, '.'), "100000");
    EXPECT_EQ(SingleText(1234567.f, '.'), "1234567");
    EXPECT_EQ(SingleText(12345678.f, '.'), "1.234568E+07");
    EXPECT_EQ(SingleText(-0.0f, '.'), "0");
    EXPECT_EQ(SingleText(0.000012f, '.'), "1.2E-05");
    EXPECT_EQ(SingleText(-273.15f, '.'), "-273.15");
    EXPECT_EQ(SingleText(0.0001f, '.'), "0.0001");
    // Singles that need more than 7 digits are cut to 7.
    EXPECT_EQ(SingleText(3.1415927f, '.'), "3.141593");
    for (float v : {0.3f, 1e-3f, 123.456f, 65535.f, 2.2e-5f, 0.125f}) {
        const QString s = SingleText(v, '.');
        EXPECT_EQ(s.toFloat(), v) << s.toStdString();
        EXPECT_LE(s.count(QRegularExpression("[0-9]")) - (s.contains('E') ? 2 : 0), 8);
    }
    EXPECT_EQ(DoubleText(23.45, '.'), "23.45");
    EXPECT_EQ(DoubleText(0.5, ','), "0,5");
    EXPECT_EQ(DoubleText(512, '.'), "512");
}

TEST(LocaleText, SeparatorDetectionAndReading) {
    EXPECT_EQ(DetectDecimalSeparator(QLocale(QLocale::Finnish, QLocale::Finland)), ',');
    EXPECT_EQ(DetectDecimalSeparator(QLocale(QLocale::English, QLocale::UnitedStates)), '.');
    EXPECT_EQ(LocaleTextToSingle("1,5", ',').value(), 1.5f);
    EXPECT_FALSE(LocaleTextToSingle("1.5", ',').has_value());
    EXPECT_EQ(LocaleTextToSingle(" 1.5 ", '.').value(), 1.5f);
    EXPECT_FALSE(LocaleTextToSingle("abc", '.').has_value());
    EXPECT_FALSE(LocaleTextToSingle("", '.').has_value());
    EXPECT_FALSE(LocaleTextToSingle("1e39", '.').has_value());
}

TEST(GlobalTables, StateAndActivityNames) {
    EXPECT_EQ(StateNames()[31], " Idle->run ");
    EXPECT_EQ(StateNames()[31].size(), 11);
    EXPECT_EQ(StateNames()[20], " Running     ");
    EXPECT_EQ(StateNames()[12], "12");
    EXPECT_EQ(StateNames()[256], "256");
    for (int i : {0, 9, 10, 11, 19, 20, 30, 32, 40, 60, 61, 99}) {
        EXPECT_EQ(StateNames()[static_cast<size_t>(i)].size(), 13) << i;
    }
    EXPECT_EQ(StateNameAt(257), nullptr);
    EXPECT_EQ(ActivityNames()[1], "Fuel   ");
    EXPECT_TRUE(ActivityNames()[10].isEmpty());
    EXPECT_EQ(BitMask[15], 0x8000);
    EXPECT_EQ(static_cast<int16_t>(BitMask[15]), -32768);
}

TEST(TrendArray, RingKeepsTheIndexesOfAPlainTable) {
    TrendArray a(5);
    a.set(0, 0, "Measurement");
    a.set(0, 1, "");
    // Compare against a naive shifted table over more pushes than the ring holds.
    std::vector<TrendCell> naive(401);
    for (int n = 0; n < 1000; ++n) {
        for (int p = 399; p >= 2; --p) {
            naive[static_cast<size_t>(p + 1)] = naive[static_cast<size_t>(p)];
        }
        naive[2] = TrendCell(double(n));
        a.PushSample(0, double(n));
        if (n % 97 == 0 || n > 990) {
            for (int p = 2; p <= 400; ++p) {
                ASSERT_EQ(a.at(0, p), naive[static_cast<size_t>(p)]) << n << " " << p;
            }
        }
    }
    EXPECT_EQ(a.at(0, 0).text(), "Measurement");
    EXPECT_TRUE(a.at(0, 1).isText());
    EXPECT_TRUE(a.at(1, 2).isEmpty());
    EXPECT_TRUE(a.at(0, 401).isEmpty());
    EXPECT_TRUE(a.at(5, 2).isEmpty());
    a.Shift(0);
    EXPECT_EQ(a.at(0, 2).number(), 999);
    EXPECT_EQ(a.at(0, 3).number(), 999);
    EXPECT_EQ(a.at(0, 4).number(), 998);
}
