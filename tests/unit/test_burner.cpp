// The burner's identification and polling, single-parameter reads and writes,
// and the histogram read.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/BurnerIdentity.h"
#include "burner/BurnerPolling.h"
#include "burner/Histogram.h"
#include "burner/SingleParam.h"
#include "support/ExchangeGuard.h"

using namespace tuvik;
using tuvik::test::WaitUntil;

TEST(BurnerIdentity, FieldsTheReplyHoldsAndNoOthers) {
    BurnerIdentity id;
    ApplyIdentification(id, std::vector<uint8_t>{0xE2, 0x05, 3, 100, 0x2C, 0x01});
    EXPECT_EQ(IdentificationTitle(id), "FlamoraBurner, hw_ver 1506 feat 3 devType:100");
    EXPECT_FLOAT_EQ(id.BurnerHwVersion, 1.506f);
    // Three bytes: the device type keeps its value; one byte changes nothing.
    for (const std::vector<uint8_t>& reply : {std::vector<uint8_t>{0xDD, 0x05, 7}, {0x01}}) {
        ApplyIdentification(id, reply);
        EXPECT_EQ(IdentificationTitle(id), "FlamoraBurner, hw_ver 1501 feat 7 devType:100");
    }
    // The version word is signed; feature and type bytes are not.
    BurnerIdentity neg;
    ApplyIdentification(neg, std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(IdentificationTitle(neg), "FlamoraBurner, hw_ver -1 feat 255 devType:255");
}

TEST(BurnerPolling, MeasurementsEveryTickUsageEveryTwentiethFromTheFifth) {
    auto usageTicks = [](float version, int ticks, bool connected = true) {
        BurnerPolling p;
        p.Load();
        test::RecordingLink link;
        std::vector<int> at;
        for (int t = 1; t <= ticks; ++t) {
            SendPolls(link, p.Tick(connected, version));
            at.push_back(link.HexPackets().value(link.packets.size() - 1) == "5B 00 A4" ? t : 0);
            EXPECT_EQ(link.HexPackets().count("98 00 67"), connected ? t : 0);
        }
        std::erase(at, 0);
        return at;
    };
    EXPECT_EQ(usageTicks(1.502f, 65), (std::vector<int>{5, 25, 45, 65}));
    EXPECT_TRUE(usageTicks(1.501f, 100).empty() && usageTicks(1.506f, 30, false).empty());
    BurnerPolling old;  // the counter does not run over on a long session
    for (int i = 0; i < 40000; ++i) {
        old.Tick(true, 1.5f);
    }
    EXPECT_EQ(old.Tick(true, 1.502f), (std::vector<uint8_t>{0x98, 0x5B}))
        << "still due, not wrapped";
}

TEST(SingleParam, RequestsByteForByteAddressesRoundDownValuesHalfToEven) {
    EXPECT_EQ(AddressFromComboText(QStringLiteral("P") + QString(49, u' ') + QStringLiteral("#17")),
              QStringLiteral("17"));
    test::RecordingLink link;
    EXPECT_EQ(ReadParam16(link, QStringLiteral("300")), std::nullopt);
    EXPECT_EQ(ReadParam(link, QStringLiteral("12.9")), std::nullopt);
    ReadParam16(link, QStringLiteral("-0.5"));
    WriteParam(link, QStringLiteral("300"), QStringLiteral("255"));
    WriteParam16(link, QStringLiteral("300"), QStringLiteral("-2"));
    WriteParam(link, QStringLiteral("7"), QStringLiteral("2.5"));
    WriteParam(link, QStringLiteral("7"), QStringLiteral("3.5"));
    WriteParam16(link, QStringLiteral("7"), QStringLiteral("-32768"));
    WriteParam(link, QStringLiteral("65535"), QStringLiteral("&HFF"));
    EXPECT_EQ(link.HexPackets(),
              (QStringList{"55 02 2C 01 AA", "8A 02 0C 00 75", "55 02 FF FF AA",
                           "85 03 2C 01 FF 7A", "85 04 2C 01 FE FF 7A", "85 03 07 00 02 7A",
                           "85 03 07 00 04 7A", "85 04 07 00 00 80 7A", "85 03 FF FF FF 7A"}));
}

TEST(SingleParam, OutOfRangeIsRefusedWithTheAllowedRange) {
    test::RecordingLink link;
    const std::pair<std::optional<QString>, const char*> refused[] = {
        {WriteParam(link, QStringLiteral("300"), QStringLiteral("256")), "0-255"},
        {WriteParam(link, QStringLiteral("300"), QStringLiteral("-0.6")), "0-255"},
        {WriteParam16(link, QStringLiteral("300"), QStringLiteral("32768")), "-32768 to 32767"},
        {ReadParam(link, QStringLiteral("32768")), "-32768 to 32767"},
        {ReadParam16(link, QStringLiteral("-32769")), "-32768 to 32767"},
        {WriteParam(link, QStringLiteral("65536"), QStringLiteral("1")), "-32768 to 65535"},
        {WriteParam(link, QStringLiteral("300"), QString()), "not a number"},
        {WriteParam16(link, QStringLiteral("x"), QStringLiteral("1")), "not a number"}};
    for (const auto& [error, range] : refused) {
        ASSERT_TRUE(error.has_value()) << range;
        EXPECT_TRUE(error->contains(QLatin1String(range))) << error->toStdString();
    }
    EXPECT_TRUE(link.packets.isEmpty());
    EXPECT_EQ(WriteParam(link, QStringLiteral("300"), QStringLiteral("-0.4")), std::nullopt);
    link.open = false;
    EXPECT_EQ(ReadParam16(link, QStringLiteral("1")), NotSentMessage());
    EXPECT_EQ(WriteParam(link, QStringLiteral("1"), QStringLiteral("1")), NotSentMessage());
    EXPECT_EQ(link.packets.size(), 1);
}

// The burner answers every read at once; the read waits its spacing between
// two requests, which the test notes before moving the clock on by it.
TEST(Histogram, ReadsEveryCellOneSpacingApartAndListsTheReplies) {
    Clock clock{Clock::ByHand{}};
    Histogram h;
    h.setClock(clock);
    test::RecordingLink link;
    link.onPacket = [&h](const QByteArray& p) {
        const int address = static_cast<uint8_t>(p[2]) | (static_cast<uint8_t>(p[3]) << 8);
        h.addHistogramEntry(static_cast<uint16_t>(address - 1000), address);
    };
    QSignalSpy finished(&h, &Histogram::readFinished);
    ASSERT_EQ(h.ReadHistogram(&link), std::nullopt);
    EXPECT_TRUE(ExchangeGuard::Busy());
    std::vector<qint64> spacing;
    for (int i = 0; i < 200 && h.reading(); ++i) {
        ASSERT_EQ(link.packets.size(), i + 1);
        spacing.push_back(clock.NextDueMs());
        clock.Advance(spacing.back());
    }
    EXPECT_EQ(spacing, std::vector<qint64>(121, 5));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_TRUE(finished.at(0).at(0).toBool() && !ExchangeGuard::Busy());
    const QStringList sent = link.HexPackets();
    ASSERT_EQ(sent.size(), 122);
    EXPECT_EQ(QStringList({sent[0], sent[2], sent[121]}),
              QStringList({"55 02 A0 06 AA", "55 02 A4 06 AA", "55 02 92 07 AA"}));
    const QStringList lines = h.text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 123);
    EXPECT_EQ(QStringList({lines[1], lines[2], lines[3], lines[4], lines[122]}),
              QStringList({"IRavg: 69.6 oso 1696",  // tenths up to 1699
                           "IRavg: 69.8 oso 1698", "Temperature: 200 value: 700 oso 1700",
                           "Temperature: 205 value: 702 oso 1702",
                           "Temperature: 795 value: 938 oso 1938"}));
    h.Clear();
    EXPECT_TRUE(h.text().isEmpty());

    link.Clear();  // the port closes after ten requests: the read stops there and says so
    link.onPacket = [&link](const QByteArray&) { link.open = link.packets.size() < 10; };
    ASSERT_EQ(h.ReadHistogram(&link), std::nullopt);
    EXPECT_TRUE(h.ReadHistogram(&link).has_value()) << "one read at a time";
    clock.Advance(1000);  // every spacing that starts meanwhile ends too
    EXPECT_EQ(std::tuple(finished.count(), finished.last().at(0).toBool(), link.packets.size()),
              std::tuple(qsizetype{2}, false, qsizetype{10}));
    EXPECT_FALSE(ExchangeGuard::Busy());
}
