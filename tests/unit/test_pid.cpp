// A loop object: the status record, the flag write and the trend samples; and
// the editor's validation of a loop's settings.
#include <gtest/gtest.h>

#include <limits>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "pid/PidEditorModel.h"
#include "pid/PidLoops.h"
#include "pid/PidValidation.h"
#include "support/EventLog.h"

using namespace tuvik;
using tuvik::test::SeparatorGuard;

namespace {

// A status record whose single at offset n holds n + 0.5 (offset 84: 84.5),
// with the given mode and inverted bytes.
std::vector<uint8_t> Record(uint8_t mode = 0x0A, uint8_t inverted = 0x01) {
    std::vector<uint8_t> r = {mode, 5, 3, 4, inverted, 1, 7, 0};
    r.resize(88);
    for (size_t off = 8; off < 88; off += 4) {
        PutSingle(r, off, static_cast<float>(off) + 0.5f);
    }
    return r;
}

double Sample(const clsPID& p, int series, int point = 2) {
    return p.getTrendData().at(series, point).number();
}

class PidLoopTest : public ::testing::Test {
  protected:
    RecordingEventLog log;
    ScopedEventLog scoped{log};
    SeparatorGuard dot{QLatin1Char('.')};
};

}  // namespace

TEST_F(PidLoopTest, DecodesEveryFieldOfTheStatusRecord) {
    PidLoops loops;
    loops.InitialiseStartupLoops();
    EXPECT_EQ(std::tuple(loops[0].GetDesc(), loops[0].Offset(), loops[1].Offset()),
              std::tuple(QString("LAMBDA PID "), 100, 200));
    clsPID& p = loops[0];
    ASSERT_TRUE(p.SetStatusData(Record(0x0A, 0x03)));
    EXPECT_EQ(std::tuple(p.AutoMode(), p.AutoSetPoint(), p.InvertedMode(), p.Enable()),
              std::tuple(1, 1, true, 1));
    EXPECT_EQ(
        std::tuple(p.MeasurePort(), p.forwardPort(), p.RemoteSetpoint(), p.RemoteSetpointPort()),
        std::tuple(3, 4, 1, 7));
    // The settings' offsets are pinned with the editor's field names; here the live values.
    const PidLiveValues& live = p.LiveValues();
    EXPECT_EQ(std::tuple(p.y_fw(), p.Measurement(), live.P, live.I, live.D, live.Feed_fw),
              std::tuple(QString("56.5"), QString("60.5"), 68.5f, 72.5f, 76.5f, 80.5f));
    EXPECT_EQ(p.ControllerOut(), "84.5");
    EXPECT_EQ(p.MeasureScale(), "1") << "the scales are not in the record";
    // Only bits 0x02 and 0x08 of the mode byte, only bit 0x01 of byte 4.
    ASSERT_TRUE(p.SetStatusData(Record(0xF5, 0xFE)));
    EXPECT_EQ(std::tuple(p.AutoMode(), p.AutoSetPoint(), p.InvertedMode()),
              std::tuple(0, 0, false));
    auto longer = Record(0x02);  // the first 88 bytes count
    longer.resize(120, 0xFF);
    ASSERT_TRUE(p.SetStatusData(longer));
    EXPECT_EQ(std::tuple(p.AutoMode(), p.AutoSetPoint()), std::tuple(1, 0));
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(PidLoopTest, ShortRecordIsRefusedAndANonFiniteFieldStopsTheDecodeThere) {
    clsPID p;
    p.Alusta(1, QStringLiteral("Temperature PID"), 200, nullptr);
    ASSERT_TRUE(p.SetStatusData(Record()));
    const PidSettings before = p.Settings();
    EXPECT_FALSE(p.SetStatusData(std::vector<uint8_t>(87, 0x55)));
    EXPECT_EQ(p.Settings(), before);
    EXPECT_TRUE(p.getTrendData().at(0, 3).isEmpty()) << "no trend sample for a refused record";
    ASSERT_TRUE(p.N(QStringLiteral("98")));
    ASSERT_TRUE(p.h(QStringLiteral("97")));
    auto r = Record(0x02);
    PutSingle(r, 16, 9.0f);
    PutSingle(r, 36, std::numeric_limits<float>::quiet_NaN());  // N
    ASSERT_TRUE(p.SetStatusData(r));
    EXPECT_EQ(QStringList({p.K(), p.tt(), p.N(), p.h()}), QStringList({"9", "32.5", "98", "97"}));
    EXPECT_EQ(log.texts(),
              QStringList({"PIDstatus error: PID 1 status record of 87 bytes, 88 expected",
                           "PIDstatus error: PID 1 invalid number at offset 36 (N)"}));
    EXPECT_EQ(Sample(p, 2), 12.5) << "the sample is still taken";
}

TEST_F(PidLoopTest, AutoSetPointWritesTheModeByteToTheLoopsOffset) {
    test::RecordingLink link;
    clsPID p;
    p.Alusta(0, QStringLiteral("LAMBDA PID "), 300, &link);
    ASSERT_TRUE(p.SetStatusData(Record(0x02)));
    p.AutoSetPoint(1);
    ASSERT_TRUE(p.SetStatusData(Record(0x0A | 0x40)));
    p.AutoSetPoint(0);
    EXPECT_EQ(link.HexPackets(), (QStringList{"85 03 2C 01 0A 7A", "85 03 2C 01 42 7A"}));
    EXPECT_EQ(p.AutoSetPoint(), 0);
}

TEST_F(PidLoopTest, TrendSamplesRoundHoldAgeAndAreHandedOver) {
    clsPID p;
    p.Measurement(QStringLiteral("-1e6"));
    p.AddTrendSample();
    p.Measurement(QStringLiteral("3e7"));  // a hundredfold past 32 bits repeats the last sample
    p.ControllerOut(QStringLiteral("45.678"));
    ASSERT_TRUE(p.Setpoint(QStringLiteral("7.005")));
    p.y_fw(QStringLiteral("-2"));
    p.AddTrendSample();
    EXPECT_EQ(std::tuple(Sample(p, 0), Sample(p, 1), Sample(p, 2), Sample(p, 3)),
              std::tuple(-1e6, 45.68, 7.0, -2.0));

    clsPID q;
    Clock clock;
    clock.setMonotonic([t = qint64{0}]() mutable { return t += 500'000; });
    UseTrendClock(&clock);  // each sample half a second on
    for (int i = 1; i <= 400; ++i) {
        q.Measurement(QString::number(i));
        q.AddTrendSample();
    }
    UseTrendClock(nullptr);
    EXPECT_EQ(Sample(q, 0, 400), 2);
    EXPECT_EQ(std::tuple(q.getTrendData().timeAt(2), q.getTrendData().timeAt(400)),
              std::tuple(200.0, 1.0));
    EXPECT_EQ(q.getTrendData().at(3, 0).text(), "FeedForward");
}

namespace {

// Values every rule set accepts.
PidEditorValues Good() {
    PidEditorValues v;
    v.boxes = {"50", "90", "10",  "2", "3", "0.5", "1", "3", "0.8",
               "0",  "1",  "0.1", "1", "2", "3",   "1", "1", "1"};
    v.automatic = true;
    v.enable = 1;
    v.remoteSetpoint = 0;
    v.manual = 40;
    return v;
}

// A box's accepted and refused texts and the message a refused one gives.
struct Rule {
    int box;
    std::vector<const char*> ok, bad;
    const char* message;
};

void Check(int listIndex, const Rule& r) {
    SeparatorGuard sep(QLatin1Char('.'));
    for (const bool ok : {true, false}) {
        for (const char* text : ok ? r.ok : r.bad) {
            PidEditorValues v = Good();
            v.boxes[static_cast<size_t>(r.box)] = QString::fromLatin1(text);
            clsPID loop;
            const ValidationOutcome out = ValidateSettings(&loop, listIndex, v);
            EXPECT_EQ(std::pair(out.result(), out.messageText),
                      ok ? std::pair(QString("OK"), QString())
                         : std::pair(QString("Error"),
                                     QStringLiteral(" Error on PID setting: \r\n") + r.message))
                << listIndex << " " << text;
        }
    }
}

}  // namespace

TEST(PidValidation, LambdaLoopBoundsAreInclusiveAndEveryMessageIsExact) {
    const Rule rules[] = {{0, {"0", "3000"}, {"3000.5", "-0.5"}, "Setpoint must be 0-3000!"},
                          {1, {"500"}, {"500.01", "-0.01"}, "MaxControll must be 0-500!"},
                          {2, {"0", "500"}, {"500.5", "-1"}, " MinControll must be 0-500!"},
                          {3, {"0", "200"}, {"200.1", "-0.1"}, " K must be 0-200!"},
                          {4, {"0.01"}, {"0.0099"}, " Ti must be at least 0.01!"},
                          {5, {"0"}, {"-0.001"}, " Td must be at least 0!"},
                          {6, {"0.05"}, {"0.049"}, " Tt must be at least 0.05!"},
                          {7, {"1", "5"}, {"0.99", "5.01"}, " N must be 1-5!"},
                          {8, {"0.05", "1"}, {"0.049", "1.01"}, " b must be 0.05-1!"},
                          {9, {"-10", "10"}, {"-10.1", "10.1"}, " Forward K must be -10-10!"},
                          {10, {"0.2"}, {"0.19"}, " Tm must be at least 0.2!"},
                          {11, {"0.00099"}, {"0.00098"}, " h must be at least 0.00099!"},
                          {12, {"4"}, {"5", "0"}, " Port must be between 1 and 4!"},
                          {13, {"1"}, {"5"}, " Port must be between 1 and 4!"},
                          {14, {"4"}, {"0"}, " Port must be between 1 and 4!"},
                          {15, {"-2"}, {"0"}, " Measurement scale can not be 0!"},
                          {16, {"0.001"}, {"0"}, " Forward scale can not be 0!"},
                          {17, {}, {"0"}, " Setpoint scale can not be 0!"}};
    for (const Rule& r : rules) {
        Check(0, r);
    }
}

TEST(PidValidation, OtherLoopsHaveTighterBoundsAndSkipTheRest) {
    const Rule rules[] = {{0, {"1000"}, {"1000.5"}, "Setpoint must be 0-1000!"},
                          {1, {"100"}, {"100.5"}, "MaxControll must be 0-100!"},
                          {3, {"10"}, {"10.5"}, " K must be 0-10!"},
                          {4, {"0.2"}, {"0.19"}, " Ti must be at least 0.2!"},
                          {5, {}, {"-1"}, " Td must be at least 0!"},
                          {6, {}, {"0.04"}, " Tt must be at least 0.05!"},
                          {7, {}, {"6"}, " N must be 1-5!"},
                          {8, {}, {"0.01"}, " b must be 0.05-1!"},
                          {9, {"0", "10"}, {"-0.1"}, " Forward K must be 0-10!"},
                          {10, {}, {"0.1"}, " Tm must be at least 0.2!"},
                          {11, {"0"}, {}, ""},  // the cycle time, ports and scales are not checked
                          {12, {"99"}, {}, ""},
                          {17, {"x"}, {}, ""}};
    for (int loop = 1; loop <= 3; ++loop) {
        for (const Rule& r : rules) {
            Check(loop, r);
        }
        Check(loop, loop < 3 ? Rule{2, {"100"}, {"100.1"}, " MinControll must be 0-100!"}
                             : Rule{2, {"49"}, {"49.5"}, " MinControll must be 0-49!"});
    }
}

TEST(PidValidation, RowsAreStoredUpToTheFirstFailureAndNoLoopMeansNoCheck) {
    SeparatorGuard sep(QLatin1Char('.'));
    clsPID loop;
    PidEditorValues v = Good();
    v.automatic = false;
    v.remoteSetpoint = 1;
    v.boxes[PidBox::Setpoint] = "750";
    v.boxes[PidBox::K] = "11";             // too large for loop 1
    v.boxes[PidBox::MeasurePort] = "3.6";  // a byte: rounded
    EXPECT_EQ(ValidateSettings(&loop, 1, v).messageText,
              QStringLiteral(" Error on PID setting: \r\n K must be 0-10!"));
    EXPECT_EQ(QStringList({loop.Setpoint(), loop.MinContr(), loop.K()}),
              QStringList({"750", "10", "0"}));
    ASSERT_TRUE(ValidateSettings(&loop, 0, v).ok);
    EXPECT_EQ(std::tuple(loop.AutoMode(), loop.RemoteSetpoint(), loop.MeasurePort(), loop.K()),
              std::tuple(0, 1, 4, QString("11")));
    v.manual = 101;
    v.boxes[PidBox::K] = "2";
    EXPECT_EQ(ValidateSettings(&loop, 2, v).messageText,
              QStringLiteral(" Error on PID setting: \r\n Manual controll must be 0-100!"));
    clsPID untouched;
    EXPECT_TRUE(ValidateSettings(&untouched, -1, v).ok && ValidateSettings(nullptr, 4, v).ok);
    EXPECT_EQ(untouched.Settings(), clsPID().Settings());
    for (const auto& [box, text, why] :
         {std::tuple(PidBox::Ti, "", "Type mismatch"), std::tuple(PidBox::Td, "1e39", "Overflow"),
          std::tuple(PidBox::MeasurePort, "256", "Overflow")}) {
        PidEditorValues bad = Good();
        bad.boxes[static_cast<size_t>(box)] = QString::fromLatin1(text);
        EXPECT_EQ(ValidateSettings(&loop, 0, bad).messageText,
                  QStringLiteral(" Error on PID setting: ") + why + QStringLiteral("\r\n"));
    }
}
