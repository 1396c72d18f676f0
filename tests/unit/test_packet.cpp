#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "TestUtil.h"
#include "link/Packet.h"
#include "link/RxState.h"

using namespace tuvik;
using tuvik::test::Hex;

namespace {

struct Sink : RxSink {
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> packets;
    std::vector<std::tuple<uint8_t, int, uint8_t>> broken;
    void OnPacket(uint8_t c, std::span<const uint8_t> d) override {
        packets.emplace_back(c, std::vector<uint8_t>(d.begin(), d.end()));
    }
    void OnBrokenPacket(uint8_t c, int len, uint8_t t) override { broken.emplace_back(c, len, t); }
};

std::span<const uint8_t> Bytes(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

}  // namespace

TEST(PacketEncoding, RequestsAreByteExact) {
    EXPECT_EQ(EncodeRequest(0x91), Hex("91 00 6E"));
    EXPECT_EQ(EncodeRequest(0x83), Hex("83 00 7C"));
    EXPECT_EQ(EncodeRequest(0x98), Hex("98 00 67"));
    EXPECT_EQ(EncodeRequest(0x99), Hex("99 00 66"));
    const std::array<int, 3> three{1, 2, 3};
    EXPECT_EQ(EncodePacket(0x85, three).value(), Hex("85 03 01 02 03 7A"));
    const std::array<uint8_t, 1> seven{7};
    EXPECT_EQ(EncodeMemWrite(300, 1, seven).value(), Hex("85 03 2C 01 07 7A"));
    // Upper bits of the offset are dropped.
    EXPECT_EQ(EncodeMemWrite(0x1012C, 1, seven).value(), Hex("85 03 2C 01 07 7A"));
    EXPECT_EQ(EncodeReadByte(300), Hex("8A 02 2C 01 75"));
    EXPECT_EQ(EncodeReadWord(300), Hex("55 02 2C 01 AA"));
}

TEST(PacketEncoding, RefusesWhatDoesNotFit) {
    std::vector<int> big(256, 1);
    EXPECT_FALSE(EncodePacket(0x85, big).has_value());
    big.resize(255);
    const auto ok = EncodePacket(0x85, big);
    ASSERT_TRUE(ok.has_value());
    EXPECT_EQ(ok->size(), 258);
    EXPECT_EQ(static_cast<uint8_t>(ok->at(1)), 255);
    const std::array<int, 2> over{1, 256};
    EXPECT_FALSE(EncodePacket(0x85, over).has_value());
    const std::array<int, 2> neg{-1, 2};
    EXPECT_FALSE(EncodePacket(0x85, neg).has_value());
    const std::array<uint8_t, 2> two{1, 2};
    EXPECT_FALSE(EncodeMemWrite(300, 3, two).has_value());
}

TEST(PacketEncoding, AcceptListHasTwentyFiveReplies) {
    int n = 0;
    for (int b = 0; b < 256; ++b) {
        n += IsAcceptedReply(static_cast<uint8_t>(b)) ? 1 : 0;
    }
    EXPECT_EQ(n, 25);
    for (uint8_t b : {0x55, 0x5C, 0x8A, 0x8B, 0x92, 0xAA, 0x84}) {
        EXPECT_TRUE(IsAcceptedReply(b)) << int(b);
    }
    for (uint8_t b : {0x00, 0x41, 0x87, 0x90, 0x98, 0xFF}) {
        EXPECT_FALSE(IsAcceptedReply(b)) << int(b);
    }
}

TEST(Framing, WholeSplitMergedAndStray) {
    QByteArray live = Hex("92 10");
    for (int i = 0; i < 16; ++i) {
        live.append(char(i + 1));
    }
    live.append(char(0x6D));

    // Split at every possible point, with stray bytes in front and between.
    for (int cut = 0; cut <= live.size(); ++cut) {
        RxState rx;
        Sink sink;
        const QByteArray stream = Hex("00 41") + live + Hex("41") + Hex("86 01 01 79");
        rx.Feed(Bytes(stream.left(cut + 2)), sink);
        rx.Feed(Bytes(stream.mid(cut + 2)), sink);
        ASSERT_EQ(sink.packets.size(), 2u) << "cut " << cut;
        EXPECT_EQ(sink.packets[0].first, 0x92);
        ASSERT_EQ(sink.packets[0].second.size(), 16u);
        EXPECT_EQ(sink.packets[0].second[15], 16);
        EXPECT_EQ(sink.packets[1].first, 0x86);
        EXPECT_EQ(sink.packets[1].second, std::vector<uint8_t>{1});
        EXPECT_TRUE(sink.broken.empty());
        EXPECT_EQ(rx.count, 0);
    }
}

TEST(Framing, ZeroLengthAndFullLength) {
    RxState rx;
    Sink sink;
    rx.Feed(Bytes(Hex("91 00 6E")), sink);
    ASSERT_EQ(sink.packets.size(), 1u);
    EXPECT_EQ(sink.packets[0].second, std::vector<uint8_t>{0});

    QByteArray big = Hex("84 FF");
    for (int i = 0; i < 255; ++i) {
        big.append(char(i));
    }
    big.append(char(0x7B));
    for (char c : big) {  // byte by byte, as the serial link reads
        rx.Feed(static_cast<uint8_t>(c), sink);
    }
    ASSERT_EQ(sink.packets.size(), 2u);
    ASSERT_EQ(sink.packets[1].second.size(), 255u);
    EXPECT_EQ(sink.packets[1].second[254], 254);
}

TEST(Framing, BadTrailerIsDiscardedAndFramingRecovers) {
    RxState rx;
    Sink sink;
    QByteArray bad = Hex("92 10") + QByteArray(16, '\x01') + Hex("6C");
    rx.Feed(Bytes(bad + Hex("94 01 00 6B")), sink);
    ASSERT_EQ(sink.broken.size(), 1u);
    EXPECT_EQ(std::get<0>(sink.broken[0]), 0x92);
    EXPECT_EQ(std::get<1>(sink.broken[0]), 16);
    EXPECT_EQ(std::get<2>(sink.broken[0]), 0x6C);
    ASSERT_EQ(sink.packets.size(), 1u);
    EXPECT_EQ(sink.packets[0].first, 0x94);
    EXPECT_EQ(rx.command, 0);
}

TEST(Framing, CutPacketContinuesWithNextBytes) {
    // No time-out: a cut packet takes the next bytes as its continuation.
    RxState rx;
    Sink sink;
    rx.Feed(Bytes(Hex("92 04 01 02")), sink);
    EXPECT_EQ(rx.count, 4);
    rx.Feed(Bytes(Hex("86 01 01 79")), sink);  // 86 01 become data, 01 is a bad trailer
    EXPECT_TRUE(sink.packets.empty());
    ASSERT_EQ(sink.broken.size(), 1u);
    EXPECT_EQ(std::get<2>(sink.broken[0]), 0x01);
}
