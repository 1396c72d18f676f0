#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStringList>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/Histogram.h"
#include "link/Packet.h"
#include "support/ExchangeGuard.h"

using namespace tuvik;
using namespace std::chrono_literals;

TEST(Histogram, LineTexts) {
    EXPECT_EQ(HistogramLine(125, 1696), QStringLiteral("IRavg: 12.5 oso 1696"));
    EXPECT_EQ(HistogramLine(120, 1698), QStringLiteral("IRavg: 12 oso 1698"));
    EXPECT_EQ(HistogramLine(17, 1702), QStringLiteral("Temperature: 205 value: 17 oso 1702"));
    EXPECT_EQ(HistogramLine(0, 1938), QStringLiteral("Temperature: 795 value: 0 oso 1938"));
    // Words above 32767 are counts like any other.
    EXPECT_EQ(HistogramLine(40000, 1700), QStringLiteral("Temperature: 200 value: 40000 oso 1700"));
    EXPECT_EQ(HistogramLine(65535, 1699), QStringLiteral("IRavg: 6553.5 oso 1699"));
    EXPECT_EQ(HistogramLine(1, 1701), QStringLiteral("Temperature: 202.5 value: 1 oso 1701"));
}

TEST(Histogram, ReadsAllCellsInOrderAndListsTheReplies) {
    Histogram h;
    h.setSpacingMs(0);
    h.addHistogramEntry(1, 1700);
    h.Clear();
    EXPECT_TRUE(h.text().isEmpty());

    // The burner answers every read at once, as the dispatcher would pass it on.
    test::RecordingLink link;
    link.onPacket = [&h](const QByteArray& p) {
        const auto* b = reinterpret_cast<const uint8_t*>(p.constData());
        const int address = b[2] | (b[3] << 8);
        h.addHistogramEntry(static_cast<uint16_t>(address - 1000), address);
    };
    QSignalSpy finished(&h, &Histogram::readFinished);
    ASSERT_EQ(h.ReadHistogram(&link), std::nullopt);
    EXPECT_TRUE(ExchangeGuard::Busy());
    ASSERT_TRUE(test::WaitUntil([&] { return !finished.isEmpty(); }));
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    EXPECT_FALSE(ExchangeGuard::Busy());

    ASSERT_EQ(link.packets.size(), 122);
    for (int i = 0; i < 122; ++i) {
        EXPECT_EQ(link.packets[i], EncodeReadWord(static_cast<uint16_t>(1696 + 2 * i))) << i;
    }
    EXPECT_EQ(link.HexPackets().first(), QStringLiteral("55 02 A0 06 AA"));
    EXPECT_EQ(link.HexPackets().last(), QStringLiteral("55 02 92 07 AA"));

    const QStringList lines = h.text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 123);
    EXPECT_TRUE(lines[0].isEmpty());
    EXPECT_EQ(lines[1], QStringLiteral("IRavg: 69.6 oso 1696"));
    EXPECT_EQ(lines[2], QStringLiteral("IRavg: 69.8 oso 1698"));
    EXPECT_EQ(lines[3], QStringLiteral("Temperature: 200 value: 700 oso 1700"));
    EXPECT_EQ(lines[122], QStringLiteral("Temperature: 795 value: 938 oso 1938"));
}

TEST(Histogram, RefusedOrStoppedWithoutALink) {
    Histogram h;
    h.setSpacingMs(1);
    test::RecordingLink link;
    {
        ExchangeLock other(QStringLiteral("parameter set upload"));
        const auto why = h.ReadHistogram(&link);
        ASSERT_TRUE(why.has_value());
        EXPECT_TRUE(why->contains(QStringLiteral("parameter set upload"))) << why->toStdString();
    }
    link.open = false;
    EXPECT_TRUE(h.ReadHistogram(&link).has_value());
    EXPECT_TRUE(h.ReadHistogram(nullptr).has_value());
    EXPECT_TRUE(link.packets.isEmpty());

    // The port closes after ten requests: the read stops there.
    link.open = true;
    link.onPacket = [&link](const QByteArray&) { link.open = link.packets.size() < 10; };
    QSignalSpy finished(&h, &Histogram::readFinished);
    ASSERT_EQ(h.ReadHistogram(&link), std::nullopt);
    EXPECT_TRUE(h.ReadHistogram(&link).has_value()) << "one read at a time";
    ASSERT_TRUE(test::WaitUntil([&] { return !finished.isEmpty(); }));
    EXPECT_FALSE(finished.at(0).at(0).toBool());
    EXPECT_FALSE(finished.at(0).at(1).toString().isEmpty());
    EXPECT_EQ(link.packets.size(), 10);
    EXPECT_FALSE(ExchangeGuard::Busy());
    EXPECT_FALSE(h.reading());
}
