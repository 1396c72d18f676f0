#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStringList>

#include <vector>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/DeviceAnswers.h"
#include "burner/Histogram.h"
#include "burner/ParamSet.h"
#include "burner/ParamSetUpload.h"
#include "support/ExchangeGuard.h"

using namespace tuvik;

namespace {

// A full set that passes every check: box i holds i, box 0 holds 300, and
// boxes 6 to 16 texts as the upload takes them (a word's low 16 bits, &H,
// halves to even in a word, a byte's fraction dropped).
QStringList GoodSet() {
    QStringList t{QStringLiteral("300")};
    for (int i = 1; i < kParamBoxCount; ++i) {
        t << QString::number(i);
    }
    for (const auto& [box, text] : {std::pair(6, "70000"),
                                    {7, "-1"},
                                    {8, "&H10"},
                                    {9, "2.5"},
                                    {10, "7.9"},
                                    {13, "255"},
                                    {16, "3.5"}}) {
        t[box] = QString::fromLatin1(text);
    }
    return t;
}

}  // namespace

TEST(ParamSet, ReplyFillsTheBoxesItHolds) {
    QStringList texts{QStringLiteral("0")};
    ApplyParamSet(test::Bytes(test::Hex(
                      "00 00 00 00 FF FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                      "FF 00 00 00 00 00 00 00 00 00 2C 01")),
                  texts);
    ASSERT_EQ(texts.size(), kParamBoxCount);
    // Words are signed, bytes are not; box 0 is at 4, box 10 at 24, box 18 at 34.
    EXPECT_EQ(QStringList({texts[0], texts[10], texts[18]}), QStringList({"-1", "255", "300"}));
    texts = GoodSet();  // 25 bytes end with box 10's byte; box 11 keeps its text
    ApplyParamSet(std::vector<uint8_t>(25, 0x01), texts);
    EXPECT_EQ(QStringList({texts[9], texts[10], texts[11]}), QStringList({"257", "1", "11"}));
    EXPECT_FALSE(DecodeParamSet(std::vector<uint8_t>(35, 2))[18].has_value());
}

// The blocks' bytes are pinned on the wire by the upload below.
TEST(ParamSet, TheFirstBadBoxIsNamedAndAnUnreadSetIsSeen) {
    const std::tuple<int, const char*, const char*> bad[] = {{11, "256", "\"VFD START mode\""},
                                                             {2, "12abc", "\"Heater time\""},
                                                             {2, "9999999999", "\"Heater time\""},
                                                             {14, "-0.5", "0 to 255"}};
    for (const auto& [box, text, named] : bad) {
        QStringList s = GoodSet();
        s[box] = QString::fromLatin1(text);
        const auto b = std::get<BadBox>(BuildUploadBlock(box < 6 ? 0 : box < 14 ? 1 : 2, s));
        EXPECT_EQ(b.box, box) << text;
        EXPECT_TRUE(b.message.contains(QString::fromLatin1(named))) << b.message.toStdString();
    }
    QStringList t =
        QStringList(9, QStringLiteral("0")) + GoodSet().mid(9);  // more than nine exact zeros
    t[9] = QStringLiteral("0.0");
    EXPECT_FALSE(ParamSetLooksUnread(t));
    t[9] = QStringLiteral("0");
    EXPECT_TRUE(ParamSetLooksUnread(t));
}

namespace {

class UploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        upload.setClock(clock);
        QObject::connect(&upload, &ParamSetUpload::finished,
                         [this](bool ok, const QString& m) { results.append(qMakePair(ok, m)); });
        // The burner acknowledges the first `acks` writes while the upload waits.
        link.onPacket = [this](const QByteArray& p) {
            if (p.at(0) == char(0x85) && acks > 0) {
                --acks;
                emit answers.writeAcknowledged(true);
            }
        };
    }
    Clock clock{Clock::ByHand{}};
    test::RecordingLink link;
    int acks = 3;
    DeviceAnswers answers;
    ParamSetUpload upload{&answers};
    QList<QPair<bool, QString>> results;
};

}  // namespace

// Every pause the upload waits is noted, then the clock moved on by it.
TEST_F(UploadTest, ThreeBlocksWithTheirPausesThenInitParams) {
    ASSERT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Started);
    EXPECT_TRUE(ExchangeGuard::Busy());
    std::vector<std::tuple<qint64, qsizetype, bool>> pauses;  // ms, packets sent, polling on
    for (int i = 0; i < 10 && upload.running(); ++i) {
        pauses.emplace_back(clock.NextDueMs(), link.packets.size(), link.refreshOn);
        clock.Advance(std::get<0>(pauses.back()));
    }
    EXPECT_EQ(pauses, (std::vector<std::tuple<qint64, qsizetype, bool>>{
                          {700, 1, false}, {700, 3, false}, {700, 3, true}, {700, 3, true}}));
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0], qMakePair(true, QStringLiteral("Flamora parameters upload OK")));
    EXPECT_EQ(link.HexPackets(),
              (QStringList{"85 0E 04 00 2C 01 01 00 02 00 03 00 04 00 05 00 7A",
                           "85 0E 10 00 70 11 FF FF 10 00 02 00 07 0B 0C FF 7A",
                           "85 0A 1C 00 0E 0F 04 00 11 00 12 00 7A", "34 00 CB"}));
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_FALSE(ExchangeGuard::Busy());
}

// Two acknowledgements of three fail after the third block; a lost link
// fails at once, after the first.
TEST_F(UploadTest, TwoAcknowledgementsOrALostLinkFailAndNothingFollows) {
    acks = 2;
    for (const bool lose : {false, true}) {
        link.Clear();
        results.clear();
        ASSERT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Started);
        if (lose) {
            link.Lose();
        }
        clock.Advance(lose ? 0 : 2800);
        ASSERT_EQ(results.size(), 1) << "a lost link ends it at once";
        EXPECT_EQ(results,
                  (QList{qMakePair(false, QStringLiteral("Parameters upload FAILLED!!"))}));
        EXPECT_EQ(std::tuple(link.packets.size(), link.refreshCalls),
                  std::tuple(qsizetype{lose ? 1 : 3}, QList<bool>{false, true}));
    }
    EXPECT_FALSE(ExchangeGuard::Busy() || clock.NextDueMs() >= 0);
}

// The count stops at 32767 rather than wrapping round into a failure.
TEST_F(UploadTest, AcknowledgementsPastTheCountsEndStillCount) {
    link.onPacket = [this](const QByteArray&) {
        for (int i = 0; i < (link.packets.size() == 1 ? 32768 : 0); ++i) {
            emit answers.writeAcknowledged(true);
        }
    };
    ASSERT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Started);
    clock.Advance(2800);
    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].first);
}

TEST_F(UploadTest, UnreadOrBadSetsAndBusyOrClosedLinksSendNothing) {
    EXPECT_EQ(upload.start(&link, QStringList(10, "0") + GoodSet().mid(10)),
              ParamSetUpload::Start::GetInstead);
    EXPECT_EQ(link.HexPackets(), QStringList{"83 00 7C"});
    link.Clear();
    QStringList t = GoodSet();
    t[12] = QStringLiteral("abc");
    QString why;
    EXPECT_EQ(upload.start(&link, t, &why), ParamSetUpload::Start::Refused);
    EXPECT_TRUE(why.contains(QStringLiteral("\"Water setpoint\""))) << why.toStdString();
    {
        ExchangeLock pid(QStringLiteral("PID settings send"));
        EXPECT_EQ(upload.start(&link, GoodSet(), &why), ParamSetUpload::Start::Refused);
        EXPECT_TRUE(why.contains(QStringLiteral("PID settings send"))) << why.toStdString();
    }
    link.open = false;
    EXPECT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Refused);
    EXPECT_TRUE(link.packets.isEmpty() && link.refreshCalls.isEmpty());
    link.open = true;  // while it runs, nothing else may start
    ASSERT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Started);
    EXPECT_TRUE(Histogram().ReadHistogram(&link).has_value());
    EXPECT_EQ(upload.start(&link, GoodSet()), ParamSetUpload::Start::Refused);
}
