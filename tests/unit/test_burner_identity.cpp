#include <gtest/gtest.h>

#include <QStringList>

#include <vector>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/BurnerIdentity.h"
#include "burner/BurnerPolling.h"
#include "link/Packet.h"

using namespace tuvik;

TEST(BurnerIdentity, FullAndShortReplies) {
    BurnerIdentity id;
    const std::vector<uint8_t> full = {0xE2, 0x05, 3, 100, 0x2C, 0x01};  // 1506
    EXPECT_EQ(ApplyIdentification(id, full),
              QStringLiteral("FlamoraBurner, hw_ver 1506 feat 3 devType:100"));
    EXPECT_FLOAT_EQ(id.BurnerHwVersion, 1.506f);
    EXPECT_EQ(id.FlamoraFeatures, 3);
    EXPECT_EQ(id.BurnerDevType, 100);

    // Three bytes: the device type is not there and keeps its value.
    const std::vector<uint8_t> three = {0xDD, 0x05, 7};  // 1501
    EXPECT_EQ(ApplyIdentification(id, three),
              QStringLiteral("FlamoraBurner, hw_ver 1501 feat 7 devType:100"));
    EXPECT_EQ(id.FlamoraFeatures, 7);

    // One byte: no field fits, nothing changes.
    const std::vector<uint8_t> one = {0x01};
    EXPECT_EQ(ApplyIdentification(id, one),
              QStringLiteral("FlamoraBurner, hw_ver 1501 feat 7 devType:100"));
    EXPECT_FLOAT_EQ(id.BurnerHwVersion, 1.501f);

    // The version word is signed; feature and type bytes are not.
    BurnerIdentity neg;
    const std::vector<uint8_t> ff = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ApplyIdentification(neg, ff),
              QStringLiteral("FlamoraBurner, hw_ver -1 feat 255 devType:255"));
    EXPECT_FLOAT_EQ(neg.BurnerHwVersion, -0.001f);
}

namespace {

// The ticks (1-based) on which a usage request went out.
std::vector<int> UsageTicks(BurnerPolling& p, int ticks, float version) {
    std::vector<int> at;
    for (int t = 1; t <= ticks; ++t) {
        const std::vector<uint8_t> sent = p.Tick(true, version);
        EXPECT_FALSE(sent.empty());
        EXPECT_EQ(sent.front(), Cmd::MeasRequest);
        if (sent.size() == 2 && sent[1] == Cmd::UsageRequest) {
            at.push_back(t);
        }
    }
    return at;
}

float VersionOf(uint8_t lo, uint8_t hi) {
    BurnerIdentity id;
    const std::vector<uint8_t> d = {lo, hi, 0, 0};
    ApplyIdentification(id, d);
    return id.BurnerHwVersion;
}

}  // namespace

TEST(BurnerPolling, UsageEveryTwentiethTickFromTheFifth) {
    BurnerPolling p;
    p.Load();
    EXPECT_EQ(UsageTicks(p, 65, VersionOf(0xDE, 0x05)), (std::vector<int>{5, 25, 45, 65}));

    // Firmware 1.501 and older is never asked, however long it runs.
    BurnerPolling old;
    old.Load();
    EXPECT_TRUE(UsageTicks(old, 100, VersionOf(0xDD, 0x05)).empty());
    BurnerPolling unknown;
    unknown.Load();
    EXPECT_TRUE(UsageTicks(unknown, 40, 0.0f).empty());
    // The counter does not run over on a long session with old firmware.
    for (int i = 0; i < 40000; ++i) {
        old.Tick(true, 1.5f);
    }
    EXPECT_EQ(old.pollCount(), INT16_MAX);
}

TEST(BurnerPolling, NothingWithoutConnectionAndThinSender) {
    BurnerPolling p;
    p.Load();
    for (int i = 0; i < 30; ++i) {
        EXPECT_TRUE(p.Tick(false, 1.506f).empty());
    }
    EXPECT_EQ(p.pollCount(), 15);

    test::RecordingLink link;
    for (int i = 0; i < 5; ++i) {
        SendPolls(link, p.Tick(true, 1.506f));
    }
    EXPECT_EQ(link.HexPackets(), (QStringList{"98 00 67", "98 00 67", "98 00 67", "98 00 67",
                                              "98 00 67", "5B 00 A4"}));
}
