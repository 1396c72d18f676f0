#include <gtest/gtest.h>

#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/Histogram.h"
#include "burner/NumberText.h"
#include "burner/ParamSet.h"
#include "burner/ParamSetUpload.h"
#include "support/ExchangeGuard.h"

using namespace tuvik;
using namespace std::chrono_literals;

namespace {

QStringList Boxes(std::initializer_list<const char*> texts) {
    QStringList out;
    for (const char* t : texts) {
        out.append(QString::fromUtf8(t));
    }
    return out;
}

// A full set that passes every check.
QStringList GoodSet() {
    return Boxes({"300", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14",
                  "15", "16", "17", "18"});
}

QByteArray Bytes(const UploadBlock& b) {
    return QByteArray(reinterpret_cast<const char*>(b.bytes.data()),
                      static_cast<qsizetype>(b.bytes.size()));
}

}  // namespace

TEST(ParamSet, BoxTableAndReplyDecoding) {
    const auto& boxes = ParamBoxes();
    EXPECT_EQ(boxes[0].address, 4);
    EXPECT_EQ(boxes[0].label, QStringLiteral("Fuelfeed temperature"));
    EXPECT_EQ(boxes[6].tooltip, QString::fromUtf8("Aika, joka odotetaan tokasyöttölämmön jälkeen "
                                                  "ennen kuin annetaan lisää pellettiä"));
    EXPECT_EQ(boxes[10].address, 24);
    EXPECT_EQ(boxes[10].width, 8);
    EXPECT_EQ(boxes[15].label, QStringLiteral("VFD OFF MODE"));
    EXPECT_EQ(boxes[16].address, 30);
    EXPECT_EQ(boxes[16].width, 16);
    EXPECT_EQ(boxes[18].address, 34);

    std::vector<uint8_t> d(36, 0);
    d[4] = 0xFF;
    d[5] = 0xFF;
    d[24] = 0xFF;
    d[34] = 0x2C;
    d[35] = 0x01;
    QStringList texts = Boxes({"0"});
    ApplyParamSet(d, texts);
    ASSERT_EQ(texts.size(), kParamBoxCount);
    EXPECT_EQ(texts[0], QStringLiteral("-1"));
    EXPECT_EQ(texts[10], QStringLiteral("255"));
    EXPECT_EQ(texts[18], QStringLiteral("300"));

    // A short reply fills only the boxes whose bytes it holds: 25 bytes end
    // with box 10's byte; box 9's word needs d[22..23].
    texts = GoodSet();
    std::vector<uint8_t> shortReply(25, 0x01);
    ApplyParamSet(shortReply, texts);
    EXPECT_EQ(texts[9], QStringLiteral("257"));
    EXPECT_EQ(texts[10], QStringLiteral("1"));
    EXPECT_EQ(texts[11], QStringLiteral("11"));
    std::vector<uint8_t> oneShort(35, 0x02);
    EXPECT_TRUE(DecodeParamSet(oneShort)[17].has_value());
    EXPECT_FALSE(DecodeParamSet(oneShort)[18].has_value());
}

TEST(ParamSet, UnreadSetNeedsMoreThanNineExactZeros) {
    QStringList texts = GoodSet();
    for (int i = 0; i < 9; ++i) {
        texts[i] = QStringLiteral("0");
    }
    EXPECT_FALSE(ParamSetLooksUnread(texts));
    texts[9] = QStringLiteral("0.0");
    EXPECT_FALSE(ParamSetLooksUnread(texts));
    texts[9] = QStringLiteral("0");
    EXPECT_TRUE(ParamSetLooksUnread(texts));
}

TEST(ParamSet, BlockLayouts) {
    QStringList t = GoodSet();
    t[6] = QStringLiteral("70000");
    t[7] = QStringLiteral("-1");
    t[8] = QStringLiteral("&H10");
    t[9] = QStringLiteral("2.5");
    t[10] = QStringLiteral("7.9");
    t[13] = QStringLiteral("255");
    t[16] = QStringLiteral("3.5");

    const auto b0 = std::get<UploadBlock>(BuildUploadBlock(0, t));
    EXPECT_EQ(b0.address, 4);
    EXPECT_EQ(Bytes(b0), test::Hex("2C 01 01 00 02 00 03 00 04 00 05 00"));
    const auto b1 = std::get<UploadBlock>(BuildUploadBlock(1, t));
    EXPECT_EQ(b1.address, 16);
    EXPECT_EQ(Bytes(b1), test::Hex("70 11 FF FF 10 00 02 00 07 0B 0C FF"));
    const auto b2 = std::get<UploadBlock>(BuildUploadBlock(2, t));
    EXPECT_EQ(b2.address, 28);
    EXPECT_EQ(Bytes(b2), test::Hex("0E 0F 04 00 11 00 12 00"));
}

TEST(ParamSet, BadBoxIsNamed) {
    QStringList t = GoodSet();
    t[11] = QStringLiteral("256");
    auto bad = std::get<BadBox>(BuildUploadBlock(1, t));
    EXPECT_EQ(bad.box, 11);
    EXPECT_TRUE(bad.message.contains(QStringLiteral("\"VFD START mode\"")))
        << bad.message.toStdString();
    EXPECT_TRUE(bad.message.contains(QStringLiteral("0 to 255"))) << bad.message.toStdString();

    t = GoodSet();
    t[2] = QStringLiteral("12abc");
    bad = std::get<BadBox>(BuildUploadBlock(0, t));
    EXPECT_EQ(bad.box, 2);
    EXPECT_TRUE(bad.message.contains(QStringLiteral("\"Heater time\"")))
        << bad.message.toStdString();
    t[2] = QStringLiteral("9999999999");  // does not fit 32 bits
    EXPECT_EQ(std::get<BadBox>(BuildUploadBlock(0, t)).box, 2);
    t = GoodSet();
    t[14] = QStringLiteral("-0.5");  // rounds down to -1
    EXPECT_EQ(std::get<BadBox>(BuildUploadBlock(2, t)).box, 14);
}

TEST(NumberText, WholeTextMustBeANumber) {
    for (const char* yes : {"0", " 12 ", "-3.5", "+.5", "1.", "1E3", "2d-1", "&HfF", "&o17"}) {
        EXPECT_TRUE(IsNumberText(QString::fromLatin1(yes))) << yes;
    }
    for (const char* no : {"", " ", "-", ".", "12abc", "1 2", "&H", "&O8", "e5", "1e", "abc"}) {
        EXPECT_FALSE(IsNumberText(QString::fromLatin1(no))) << no;
    }
    EXPECT_EQ(StrictNumber(QStringLiteral("1e999")), std::nullopt);
    EXPECT_EQ(StrictNumber(QStringLiteral("&HFFFF")), -1.0);
}

namespace {

class UploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        upload.setPauseMs(15);
        QObject::connect(&upload, &ParamSetUpload::finished,
                         [this](bool ok, const QString& m) { results.append(qMakePair(ok, m)); });
    }
    // The dispatcher's side: every memory write is acknowledged a little later.
    void AckWrites(int howMany) {
        link.onPacket = [this, howMany](const QByteArray& p) {
            if (static_cast<uint8_t>(p.at(0)) == 0x85 && acksGiven < howMany) {
                ++acksGiven;
                QTimer::singleShot(1, &upload, [this] { ++writeAckCount; });
            }
        };
    }
    bool Finished() {
        return test::WaitUntil([this] { return !results.isEmpty(); }, 5s);
    }

    test::RecordingLink link;
    int16_t writeAckCount = 5;
    int acksGiven = 0;
    ParamSetUpload upload{&writeAckCount};
    QList<QPair<bool, QString>> results;
};

}  // namespace

TEST_F(UploadTest, ThreeAcknowledgedBlocksThenInitParams) {
    AckWrites(3);
    bool refreshOffWhileWriting = true;
    link.onPacket = [this, inner = link.onPacket, &refreshOffWhileWriting](const QByteArray& p) {
        refreshOffWhileWriting =
            refreshOffWhileWriting && (p.at(0) != char(0x85) || !link.refreshOn);
        inner(p);
    };
    ASSERT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Started);
    EXPECT_TRUE(ExchangeGuard::Busy());
    EXPECT_EQ(writeAckCount, 0) << "the counter starts from 0";
    ASSERT_TRUE(Finished());

    EXPECT_EQ(results[0], qMakePair(true, QStringLiteral("Flamora parameters upload OK")));
    EXPECT_EQ(link.HexPackets(),
              (QStringList{"85 0E 04 00 2C 01 01 00 02 00 03 00 04 00 05 00 7A",
                           "85 0E 10 00 06 00 07 00 08 00 09 00 0A 0B 0C 0D 7A",
                           "85 0A 1C 00 0E 0F 10 00 11 00 12 00 7A", "34 00 CB"}));
    EXPECT_TRUE(refreshOffWhileWriting);
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_FALSE(ExchangeGuard::Busy());
    EXPECT_FALSE(upload.running());
}

TEST_F(UploadTest, TwoAcknowledgementsFail) {
    AckWrites(2);
    ASSERT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Started);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(results[0], qMakePair(false, QStringLiteral("Parameters upload FAILLED!!")));
    EXPECT_EQ(link.packets.size(), 3) << "no InitParams after a failure";
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
}

TEST_F(UploadTest, UnreadSetAsksForTheSetInstead) {
    QStringList t = GoodSet();
    for (int i = 0; i < 10; ++i) {
        t[i] = QStringLiteral("0");
    }
    EXPECT_EQ(upload.start(&link, t), ParamSetUpload::Start::GetInstead);
    EXPECT_EQ(link.HexPackets(), QStringList{"83 00 7C"});
    EXPECT_TRUE(link.refreshCalls.isEmpty());
    test::Pump(50ms);
    EXPECT_TRUE(results.isEmpty());
}

TEST_F(UploadTest, BadBoxSendsNothingAndLeavesPollingOn) {
    QStringList t = GoodSet();
    t[12] = QStringLiteral("abc");  // in the second block
    QString why;
    EXPECT_EQ(upload.start(&link, t, &why), ParamSetUpload::Start::Refused);
    EXPECT_TRUE(why.contains(QStringLiteral("\"Water setpoint\""))) << why.toStdString();
    EXPECT_TRUE(link.packets.isEmpty());
    EXPECT_TRUE(link.refreshOn);
    EXPECT_FALSE(ExchangeGuard::Busy());
    EXPECT_EQ(writeAckCount, 5);
}

TEST_F(UploadTest, OneExchangeAtATime) {
    {
        ExchangeLock pid(QStringLiteral("PID settings send"));
        ASSERT_TRUE(pid.owns());
        QString why;
        EXPECT_EQ(upload.start(&link, GoodSet(), &why), ParamSetUpload::Start::Refused);
        EXPECT_TRUE(why.contains(QStringLiteral("PID settings send"))) << why.toStdString();
        EXPECT_TRUE(link.packets.isEmpty());
    }
    EXPECT_FALSE(ExchangeGuard::Busy());

    AckWrites(3);
    ASSERT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Started);
    Histogram histogram;
    ASSERT_TRUE(histogram.ReadHistogram(&link).has_value());
    EXPECT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Refused);
    ASSERT_TRUE(Finished());
    EXPECT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].first);

    link.open = false;
    QString why;
    EXPECT_EQ(upload.start(&link, GoodSet(), &why), ParamSetUpload::Start::Refused);
    EXPECT_FALSE(why.isEmpty());
}

TEST_F(UploadTest, LinkLostOrDestroyedEndsTheUpload) {
    AckWrites(3);
    ASSERT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Started);
    link.Lose();
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0], qMakePair(false, QStringLiteral("Parameters upload FAILLED!!")));
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_FALSE(ExchangeGuard::Busy());
    test::Pump(100ms);
    EXPECT_EQ(link.packets.size(), 1) << "nothing after the link was lost";

    auto gone = std::make_unique<test::RecordingLink>();
    ASSERT_EQ(upload.start(gone.get(), GoodSet()), ParamSetUpload::Start::Started);
    gone.reset();
    ASSERT_EQ(results.size(), 2);
    EXPECT_FALSE(results[1].first);
    EXPECT_FALSE(ExchangeGuard::Busy());
    test::Pump(100ms);
    EXPECT_EQ(results.size(), 2);
}
