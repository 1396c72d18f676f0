#include <gtest/gtest.h>

#include <QStringList>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/SingleParam.h"

using namespace tuvik;

TEST(SingleParam, AddressFromListItem) {
    const QString item =
        QStringLiteral("P") + QString(49, QLatin1Char(' ')) + QStringLiteral("#17");
    EXPECT_EQ(AddressFromComboText(item), QStringLiteral("17"));
    EXPECT_EQ(AddressFromComboText(QStringLiteral("123")), QStringLiteral("123"));
    EXPECT_EQ(AddressFromComboText(QStringLiteral("A#1#2")), QStringLiteral("1#2"));
    EXPECT_EQ(AddressFromComboText(QString()), QString());
}

TEST(SingleParam, RequestsByteForByte) {
    test::RecordingLink link;
    EXPECT_EQ(ReadParam16(link, QStringLiteral("300")), std::nullopt);
    EXPECT_EQ(ReadParam(link, QStringLiteral("300")), std::nullopt);
    EXPECT_EQ(WriteParam(link, QStringLiteral("300"), QStringLiteral("255")), std::nullopt);
    EXPECT_EQ(WriteParam16(link, QStringLiteral("300"), QStringLiteral("-2")), std::nullopt);
    EXPECT_EQ(link.HexPackets(), (QStringList{"55 02 2C 01 AA", "8A 02 2C 01 75",
                                              "85 03 2C 01 FF 7A", "85 04 2C 01 FE FF 7A"}));
}

TEST(SingleParam, AddressesRoundDownValuesRoundHalfToEven) {
    test::RecordingLink link;
    ReadParam(link, QStringLiteral("12.9"));
    ReadParam16(link, QStringLiteral("-0.5"));
    ReadParam(link, QString());  // no number: address 0
    WriteParam(link, QStringLiteral("7"), QStringLiteral("2.5"));
    WriteParam(link, QStringLiteral("7"), QStringLiteral("3.5"));
    WriteParam16(link, QStringLiteral("7"), QStringLiteral("-32768"));
    WriteParam(link, QStringLiteral("65535"), QStringLiteral("&HFF"));
    EXPECT_EQ(link.HexPackets(), (QStringList{"8A 02 0C 00 75", "55 02 FF FF AA", "8A 02 00 00 75",
                                              "85 03 07 00 02 7A", "85 03 07 00 04 7A",
                                              "85 04 07 00 00 80 7A", "85 03 FF FF FF 7A"}));
}

TEST(SingleParam, OutOfRangeIsRefusedWithTheAllowedRange) {
    test::RecordingLink link;
    auto refused = [&](std::optional<QString> e, const char* range) {
        ASSERT_TRUE(e.has_value());
        EXPECT_TRUE(e->contains(QLatin1String(range))) << e->toStdString();
    };
    refused(WriteParam(link, QStringLiteral("300"), QStringLiteral("256")), "0-255");
    refused(WriteParam(link, QStringLiteral("300"), QStringLiteral("-0.6")), "0-255");
    refused(WriteParam16(link, QStringLiteral("300"), QStringLiteral("32768")), "-32768 to 32767");
    refused(ReadParam(link, QStringLiteral("32768")), "-32768 to 32767");
    refused(ReadParam16(link, QStringLiteral("-32769")), "-32768 to 32767");
    refused(WriteParam(link, QStringLiteral("65536"), QStringLiteral("1")), "-32768 to 65535");
    // A write never goes to address 0 or writes 0 because a box held no number.
    refused(WriteParam(link, QStringLiteral("300"), QString()), "not a number");
    refused(WriteParam16(link, QStringLiteral("x"), QStringLiteral("1")), "not a number");
    EXPECT_TRUE(link.packets.isEmpty()) << link.HexPackets().join(QLatin1Char('|')).toStdString();

    // -0.4 rounds to 0, which is in range.
    EXPECT_EQ(WriteParam(link, QStringLiteral("300"), QStringLiteral("-0.4")), std::nullopt);
    link.open = false;
    EXPECT_EQ(ReadParam16(link, QStringLiteral("1")), NotSentMessage());
    EXPECT_EQ(WriteParam(link, QStringLiteral("1"), QStringLiteral("1")), NotSentMessage());
    EXPECT_EQ(link.packets.size(), 1);
}
