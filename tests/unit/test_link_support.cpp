#include <gtest/gtest.h>

#include <QLocale>
#include <QSerialPort>
#include <QTime>

#include "support/Numbers.h"
#include "link/QuietTime.h"
#include "link/SerialLink.h"
#include "link/W32_speed_api.h"
#include "support/LocaleText.h"

using namespace tuvik;

namespace {

struct FakeClocks {
    QTime wall{12, 0, 0};
    int64_t mono = 100000;
    QuietTime Make() {
        return QuietTime([this] { return wall; }, [this] { return mono; });
    }
};

}  // namespace

TEST(QuietTime, HoldsUntilTheSecondMovesOn) {
    FakeClocks c;
    QuietTime q = c.Make();
    EXPECT_FALSE(q.Holding()) << "nothing discarded yet";

    c.wall = QTime(12, 0, 0, 100);
    q.MarkBroken();
    EXPECT_TRUE(q.Holding());
    c.wall = QTime(12, 0, 0, 999);
    c.mono += 899;
    EXPECT_TRUE(q.Holding()) << "same second";
    c.wall = QTime(12, 0, 1, 0);
    c.mono += 1;
    EXPECT_FALSE(q.Holding()) << "the clock reads 12:00:01";

    // A discard late in a second holds only for the rest of it.
    c.wall = QTime(12, 0, 5, 990);
    q.MarkBroken();
    EXPECT_TRUE(q.Holding());
    c.wall = QTime(12, 0, 6, 0);
    c.mono += 10;
    EXPECT_FALSE(q.Holding());
}

TEST(QuietTime, MidnightAndClockJumpsNeverHoldBeyondOneSecond) {
    FakeClocks c;
    QuietTime q = c.Make();
    c.wall = QTime(23, 59, 59, 500);
    q.MarkBroken();
    EXPECT_TRUE(q.Holding());
    c.wall = QTime(0, 0, 0, 0);
    c.mono += 500;
    EXPECT_FALSE(q.Holding()) << "midnight moves the second on";

    // The wall clock stands still (or is set back onto the same second): the
    // monotonic limit ends the hold after one second.
    c.wall = QTime(8, 30, 0);
    q.MarkBroken();
    c.mono += QuietTime::kMaxHoldMs - 1;
    EXPECT_TRUE(q.Holding());
    c.mono += 1;
    EXPECT_FALSE(q.Holding());
    c.mono += 24LL * 3600 * 1000;  // the same second a day later
    EXPECT_FALSE(q.Holding());
}

TEST(LocaleText, TimeTextHasNoZone) {
    EXPECT_EQ(TimeText(QTime(12, 0, 0), QLocale::c()), QStringLiteral("12:00:00"));
    EXPECT_EQ(TimeText(QTime(9, 5, 7), QLocale(QLocale::Finnish, QLocale::Finland)),
              QStringLiteral("9.05.07"));
    EXPECT_EQ(TimeText(QTime(13, 5, 7), QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("1:05:07 PM"));
}

TEST(TextToWholeNumber, ReadsTheNumberATextStartsWith) {
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("76800")), 76800);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral(" 333 ms")), 333);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("7 68 00")), 76800);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("abc")), 0);
    EXPECT_EQ(TextToWholeNumber(QString()), 0);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("2.5")), 2);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("3.5")), 4);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("-12x")), -12);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("1e3")), 1000);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("1e")), 1);
    EXPECT_EQ(TextToWholeNumber(QStringLiteral("9e99")), std::numeric_limits<int>::max());
    EXPECT_DOUBLE_EQ(TextToNumber(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(TextToNumber(QStringLiteral("-.")), 0.0);
}

TEST(SpeedApi, ClosedPortIsRefusedWithItsName) {
    QSerialPort port;
    port.setObjectName(QStringLiteral("MSComm1"));
    const auto set = SetPortBaudRate(port, 76800);
    ASSERT_TRUE(set.has_value());
    EXPECT_EQ(set->number, 8018);
    EXPECT_EQ(set->description, QStringLiteral("Operation valid only when the port is open"));
    EXPECT_EQ(set->source, QStringLiteral("MSComm1"));

    const auto get = GetPortBaudRate(port);
    ASSERT_TRUE(get.error.has_value());
    EXPECT_EQ(get.error->number, 8018);
    EXPECT_EQ(get.error->description, QStringLiteral("Operation valid only when the port is open"));
    EXPECT_EQ(get.error->source, QStringLiteral("MSComm1"));

    // Without an object name the port's own name stands for it.
    QSerialPort unnamed;
    unnamed.setPortName(QStringLiteral("/dev/ttyS7"));
    EXPECT_EQ(SetPortBaudRate(unnamed, 9600)->source, QStringLiteral("ttyS7"));
}

TEST(SerialPortNames, NumbersArePlatformPortsOtherTextIsAPath) {
#ifdef Q_OS_WIN
    EXPECT_EQ(SerialLink::PortNameFor(QStringLiteral("2")), QStringLiteral("COM2"));
#else
    EXPECT_EQ(SerialLink::PortNameFor(QStringLiteral("2")), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(SerialLink::PortNameFor(QStringLiteral(" 1 ")), QStringLiteral("/dev/ttyS0"));
#endif
    EXPECT_EQ(SerialLink::PortNameFor(QStringLiteral("/dev/pts/7")), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(SerialLink::PortNameFor(QStringLiteral("/dev/ttyUSB0")),
              QStringLiteral("/dev/ttyUSB0"));
}
