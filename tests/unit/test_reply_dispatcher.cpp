#include <gtest/gtest.h>

#include <QByteArray>

#include <limits>
#include <stdexcept>
#include <vector>

#include "RecordingTargets.h"
#include "TestUtil.h"
#include "burner/BurnerMeasurements.h"
#include "link/Packet.h"
#include "link/ReplyDispatcher.h"
#include "link/RxState.h"
#include "support/EventLog.h"
#include "support/Numbers.h"
#include "support/LocaleText.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

// Hands framed packets to the dispatcher, as a link's receive handler does.
struct DispatchSink : RxSink {
    ReplyReceiver* receiver = nullptr;
    int broken = 0;
    void OnPacket(uint8_t c, std::span<const uint8_t> d) override { receiver->HandleReply(c, d); }
    void OnBrokenPacket(uint8_t, int, uint8_t) override { ++broken; }
};

std::vector<uint8_t> Singles(std::initializer_list<float> values) {
    std::vector<uint8_t> d(values.size() * 4);
    size_t i = 0;
    for (float v : values) {
        PutSingle(d, i, v);
        i += 4;
    }
    return d;
}

std::vector<uint8_t> Words(std::initializer_list<int> values) {
    std::vector<uint8_t> d;
    for (int v : values) {
        d.push_back(static_cast<uint8_t>(v & 0xFF));
        d.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
    return d;
}

class DispatcherTest : public ::testing::Test {
  protected:
    DispatcherTest() {
        loops.InitialiseStartupLoops();
        loops.SetSelectedIndex(0);
        dispatcher.SetMainWindow(&main);
        dispatcher.SetBurnerWindow(&burner);
        dispatcher.SetAllParams(&allParams);
        dispatcher.SetHistogram(&histogram);
        dispatcher.SetMessageLog(&messages);
        dispatcher.SetTimeTextSource([] { return QStringLiteral("12:34:56"); });
        sink.receiver = &dispatcher;
        SetDecimalSeparator(QLatin1Char('.'));
    }
    ~DispatcherTest() override { SetDecimalSeparator(savedSeparator); }

    void Feed(const QByteArray& bytes) {
        rx.Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                         static_cast<size_t>(bytes.size())),
                sink);
    }
    void Reply(uint8_t cmd, const std::vector<uint8_t>& data) { Feed(EncodePacket(cmd, data)); }

    clsPID& loop0() { return loops[0]; }

    QChar savedSeparator = DecimalSeparator();
    RecordingEventLog log;
    ScopedEventLog scopedLog{log};
    PidLoops loops;
    DispatchState state;
    ReplyDispatcher dispatcher{loops, state};
    RecordingMainWindow main;
    RecordingBurnerWindow burner;
    RecordingAllParams allParams;
    RecordingHistogram histogram;
    RecordingMessageLog messages;
    RxState rx;
    DispatchSink sink;
};

}  // namespace

TEST_F(DispatcherTest, LiveValuesGoToTheSelectedLoopAndItsTrend) {
    Reply(0x92, Singles({1.5f, 2.25f, 3.0f, -4.125f}));
    EXPECT_EQ(loop0().ControllerOut(), "1.5");
    EXPECT_EQ(loop0().Measurement(), "2.25");
    EXPECT_EQ(loop0().Setpoint(), "3");
    EXPECT_EQ(loop0().y_fw(), "-4.125");
    const TrendArray& t = loop0().getTrendData();
    EXPECT_DOUBLE_EQ(t.at(0, 2).number(), 2.25);
    EXPECT_DOUBLE_EQ(t.at(1, 2).number(), 1.5);
    EXPECT_DOUBLE_EQ(t.at(2, 2).number(), 3.0);
    EXPECT_DOUBLE_EQ(t.at(3, 2).number(), -4.12);
    EXPECT_EQ(main.trendRefreshes, 1);
    EXPECT_EQ(loops[1].Measurement(), "0");

    // 0x96: the same without the redraw, into whichever loop is selected now.
    loops.SetSelectedIndex(1);
    Reply(0x96, Singles({40000.0f, 0.125f, 7.0f, 0.0f}));
    EXPECT_EQ(loops[1].ControllerOut(), "40000");
    EXPECT_DOUBLE_EQ(loops[1].getTrendData().at(1, 2).number(), 30000);
    EXPECT_DOUBLE_EQ(loops[1].getTrendData().at(0, 2).number(), 0.12);
    EXPECT_EQ(main.trendRefreshes, 1);
    EXPECT_TRUE(loop0().getTrendData().at(0, 3).isEmpty());
}

TEST_F(DispatcherTest, ShortOrUnreadableLiveValuesStopEarly) {
    auto six = Singles({5.5f, 6.5f});
    six.resize(6);
    Reply(0x92, six);
    EXPECT_EQ(loop0().ControllerOut(), "5.5");
    EXPECT_EQ(loop0().Measurement(), "0");
    EXPECT_TRUE(loop0().getTrendData().at(1, 2).isEmpty());
    EXPECT_EQ(main.trendRefreshes, 0);

    auto fourteen = Singles({1, 2, 3, 4});
    fourteen.resize(14);
    Reply(0x92, fourteen);
    EXPECT_EQ(loop0().Measurement(), "2");
    EXPECT_EQ(loop0().Setpoint(), "3");
    EXPECT_EQ(loop0().y_fw(), "0");
    EXPECT_TRUE(loop0().getTrendData().at(1, 2).isEmpty());
    EXPECT_EQ(main.trendRefreshes, 0);

    // A setpoint that is not a number ends the reply: no y_fw, no sample.
    Reply(0x92, Singles({7, 8, std::numeric_limits<float>::quiet_NaN(), 9}));
    EXPECT_EQ(loop0().Measurement(), "8");
    EXPECT_EQ(loop0().Setpoint(), "3");
    EXPECT_EQ(loop0().y_fw(), "0");
    EXPECT_TRUE(loop0().getTrendData().at(1, 2).isEmpty());
    EXPECT_EQ(main.trendRefreshes, 0);

    // A measurement that is not a number is passed over quietly.
    Reply(0x92, Singles({7, std::numeric_limits<float>::infinity(), 10, 11}));
    EXPECT_EQ(loop0().Measurement(), "8");
    EXPECT_EQ(loop0().y_fw(), "11");
    EXPECT_DOUBLE_EQ(loop0().getTrendData().at(0, 2).number(), 8);
    EXPECT_EQ(main.trendRefreshes, 1);
}

TEST_F(DispatcherTest, NothingSelected) {
    loops.SetSelectedIndex(PidLoops::kNone);
    Reply(0x92, Singles({1, 2, 3, 4}));
    std::vector<uint8_t> record(88, 0);
    record[1] = 1;
    Reply(0x82, record);
    EXPECT_EQ(main.trendRefreshes, 0);
    EXPECT_EQ(main.captions, QStringList{"PID luku onnistui 12:34:56"});
    for (int i = 0; i < PidLoops::kCount; ++i) {
        EXPECT_EQ(loops[i].ControllerOut(), "0");
        EXPECT_EQ(loops[i].Enable(), 0);
    }
}

TEST_F(DispatcherTest, StatusRecordSetsCaptionAndLoop) {
    std::vector<uint8_t> record(88, 0);
    record[0] = 0x0A;
    record[1] = 1;
    PutSingle(record, 16, 2.5f);
    PutSingle(record, 60, 0.375f);
    Reply(0x82, record);
    EXPECT_EQ(main.captions, QStringList{"PID luku onnistui 12:34:56"});
    EXPECT_EQ(loop0().AutoSetPoint(), 1);
    EXPECT_EQ(loop0().K(), "2.5");
    EXPECT_DOUBLE_EQ(loop0().getTrendData().at(0, 2).number(), 0.38);

    // A cut-off record: the caption still changes, the loop does not.
    std::vector<uint8_t> cut(record.begin(), record.begin() + 40);
    PutSingle(cut, 16, 9.0f);
    Reply(0x82, cut);
    EXPECT_EQ(main.captions.size(), 2);
    EXPECT_EQ(loop0().K(), "2.5");
    EXPECT_TRUE(loop0().getTrendData().at(0, 3).isEmpty());
    EXPECT_EQ(log.texts(),
              QStringList{"PIDstatus error: PID 1 status record of 40 bytes, 88 expected"});
}

TEST_F(DispatcherTest, WriteAcknowledgementsCountOnlyPositiveOnes) {
    Reply(0x86, {0});
    Feed(Hex("86 00 79"));  // no data: read as a single 0
    EXPECT_EQ(state.WriteAckCount, 0);
    for (int i = 0; i < 6; ++i) {
        Reply(0x86, {1});
    }
    EXPECT_EQ(state.WriteAckCount, 6);
    Reply(0x86, {0xFF, 0});
    EXPECT_EQ(state.WriteAckCount, 7);
    state.WriteAckCount = std::numeric_limits<int16_t>::max();
    Reply(0x86, {1});
    EXPECT_EQ(state.WriteAckCount, std::numeric_limits<int16_t>::max());
}

TEST_F(DispatcherTest, ByteReadGoesToValueBoxAndOpenAllParams) {
    Reply(0x8B, {200, 0x2C, 0x01});
    EXPECT_EQ(burner.valueTexts, QStringList{"200"});
    EXPECT_TRUE(allParams.updates.empty());

    allParams.open = true;
    Reply(0x8B, {7, 0x2C, 0x01});
    EXPECT_EQ(burner.valueTexts, (QStringList{"200", "7"}));
    ASSERT_EQ(allParams.updates.size(), 1u);
    EXPECT_EQ(allParams.updates[0], std::make_pair(7, 300));

    Reply(0x8B, {9, 0x2C});  // no room for the address
    EXPECT_EQ(burner.valueTexts.size(), 2);
    EXPECT_EQ(allParams.updates.size(), 1u);
}

TEST_F(DispatcherTest, WordReadReachesTheHistogramInsideItsRange) {
    for (int address : {1695, 1696, 1939, 1940}) {
        Reply(0x55, Words({125, address}));
    }
    EXPECT_EQ(burner.valueTexts, (QStringList{"125", "125", "125", "125"}));
    ASSERT_EQ(histogram.entries.size(), 2u);
    EXPECT_EQ(histogram.entries[0], std::make_pair(125, 1696));
    EXPECT_EQ(histogram.entries[1], std::make_pair(125, 1939));

    // A counter above 32767 arrives as read.
    Reply(0x55, Words({40000, 1700}));
    EXPECT_EQ(burner.valueTexts.last(), "40000");
    ASSERT_EQ(histogram.entries.size(), 3u);
    EXPECT_EQ(histogram.entries[2], std::make_pair(40000, 1700));

    Reply(0x55, {1, 2, 3});
    EXPECT_EQ(burner.valueTexts.size(), 5);
    EXPECT_EQ(histogram.entries.size(), 3u);
}

TEST_F(DispatcherTest, AnalogInputsFillBothTrends) {
    Reply(0x89, Words({40000, 1234, 0, 3, 4, 5, 6, 65535}));
    EXPECT_DOUBLE_EQ(state.AnalogTrend1.at(0, 2).number(), 30000);
    EXPECT_DOUBLE_EQ(state.AnalogTrend1.at(1, 2).number(), 1234);
    EXPECT_DOUBLE_EQ(state.AnalogTrend1.at(3, 2).number(), 3);
    EXPECT_DOUBLE_EQ(state.AnalogTrend2.at(0, 2).number(), 4);
    EXPECT_DOUBLE_EQ(state.AnalogTrend2.at(3, 2).number(), 30000);
    EXPECT_TRUE(state.AnalogTrend1.at(4, 2).isEmpty());

    Reply(0x89, Words({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_DOUBLE_EQ(state.AnalogTrend1.at(0, 2).number(), 1);
    EXPECT_DOUBLE_EQ(state.AnalogTrend1.at(0, 3).number(), 30000);
    EXPECT_DOUBLE_EQ(state.AnalogTrend2.at(3, 3).number(), 30000);

    // A reply without all eight readings is not taken.
    auto fifteen = Words({9, 9, 9, 9, 9, 9, 9, 9});
    fifteen.resize(15);
    Reply(0x89, fifteen);
    EXPECT_DOUBLE_EQ(state.AnalogTrend1.at(0, 2).number(), 1);
}

TEST(PushTrendValue, HoldsRoundsAndAges) {
    TrendArray arr(6);
    arr.set(2, 0, TrendCell(QStringLiteral("AD2")));
    PushTrendValue(0.125f, arr, 2);
    PushTrendValue(-30001.0f, arr, 2);
    PushTrendValue(30000.5f, arr, 2);
    EXPECT_EQ(arr.at(2, 0).text(), "AD2");
    EXPECT_DOUBLE_EQ(arr.at(2, 2).number(), 30000);
    EXPECT_DOUBLE_EQ(arr.at(2, 3).number(), -30001);
    EXPECT_DOUBLE_EQ(arr.at(2, 4).number(), 0.12);
    for (int i = 0; i < 400; ++i) {
        PushTrendValue(static_cast<float>(i), arr, 2);
    }
    EXPECT_DOUBLE_EQ(arr.at(2, 2).number(), 399);
    EXPECT_DOUBLE_EQ(arr.at(2, 400).number(), 1);
}

TEST_F(DispatcherTest, ActuatorEventsBecomeMessages) {
    Reply(0x8C, {1, 0x94, 123, 0, 0});
    Reply(0x8C, {4, 0x14, 0x10, 0x27, 0});  // 10000 tenths
    Reply(0x8C, {11, 0x94, 1, 0, 0});
    Reply(0x8C, {10, 0x63, 5, 0, 0});
    Reply(0x8C, {1, 0x94, 123, 0});  // cut short
    EXPECT_EQ(messages.messages, (QStringList{"Fuel   ; started ;12.3; Running     ",
                                              "Air    ; stopped ;1000; Running     ",
                                              "; stopped ;0.5; Error_state "}));
    SetDecimalSeparator(QLatin1Char(','));
    Reply(0x8C, {0, 0x80 | 21, 0x39, 0x30, 0});  // 12345
    SetDecimalSeparator(QLatin1Char('.'));
    EXPECT_EQ(messages.messages.last(), "Grate  ; started ;1234,5;21");
}

TEST_F(DispatcherTest, CaptionsAndAlarm) {
    Reply(0xAA, {5});
    Reply(0x94, {1});
    Reply(0x94, {0});
    Feed(Hex("94 00 6B"));
    EXPECT_EQ(main.captions, QStringList{"Device started (5) 12:34:56"});
    EXPECT_EQ(main.alarms, (std::vector<bool>{true, false, false}));
}

TEST_F(DispatcherTest, MeasurementsOldLayout) {
    std::vector<uint8_t> d = Singles({21.5f, 3.25f});
    const auto rest = Words({655});
    d.insert(d.end(), rest.begin(), rest.end());  // 10 bytes
    Reply(0x97, d);
    ASSERT_EQ(burner.measurements.size(), 1u);
    const BurnerMeasurements& m = burner.measurements[0];
    EXPECT_EQ(m.lblTgas, "21.5");
    EXPECT_EQ(m.lblLambda, "3.25");
    EXPECT_EQ(m.lblTwater, "655.0");
    EXPECT_FALSE(m.lblTempKTYPE1);
    EXPECT_FALSE(m.lblVFD);
    EXPECT_FALSE(m.imgDev);
    EXPECT_EQ(burner.measuresUpdated, 1);

    // 17 bytes: everything.
    d.insert(d.end(), {30, 41, 0x10, 0x27, 0x01, 0x02, 99});
    Reply(0x97, d);
    const BurnerMeasurements& full = burner.measurements.back();
    EXPECT_EQ(full.lblVFD, "30");
    EXPECT_EQ(full.lblBAfan, "41");
    EXPECT_EQ(full.lblIRsig, "10000");
    EXPECT_EQ(full.lblDevState, "513");
    EXPECT_EQ(full.lblProgState, " Error_state ");
    ASSERT_TRUE(full.imgDev);
    for (int i = 0; i < BurnerMeasurements::kLeds; ++i) {
        const LedState want = i == 0 ? LedState::Green : i == 9 ? LedState::Red : LedState::Grey;
        EXPECT_EQ((*full.imgDev)[static_cast<size_t>(i)], want) << "LED " << i;
    }
    EXPECT_EQ(burner.measuresUpdated, 2);

    // 16 bytes: LEDs and device state, no program state.
    d.pop_back();
    Reply(0x97, d);
    EXPECT_TRUE(burner.measurements.back().imgDev);
    EXPECT_EQ(burner.measurements.back().lblDevState, "513");
    EXPECT_FALSE(burner.measurements.back().lblProgState);
    EXPECT_EQ(burner.measuresUpdated, 3);

    // 11 bytes: too short for the fan pair, which is skipped with the rest;
    // the row is still stored.
    d.resize(11);
    Reply(0x97, d);
    EXPECT_FALSE(burner.measurements.back().lblVFD);
    EXPECT_FALSE(burner.measurements.back().lblBAfan);
    EXPECT_EQ(burner.measurements.back().lblTwater, "655.0");
    EXPECT_EQ(burner.measuresUpdated, 4);

    // 6 bytes: Tgas only.
    d.resize(6);
    Reply(0x97, d);
    EXPECT_EQ(burner.measurements.back().lblTgas, "21.5");
    EXPECT_FALSE(burner.measurements.back().lblLambda);
    EXPECT_EQ(burner.measuresUpdated, 4) << "a reply without the water word stores no row";
}

TEST_F(DispatcherTest, MeasurementsNewLayoutFollowsTheIdentification) {
    // As the identification sets them: version number 1506, device type 100.
    state.burner.BurnerHwVersion = static_cast<float>(1506 / 1000.0);
    state.burner.BurnerDevType = 100;
    const std::vector<uint8_t> d = {0x2C, 0x01, 0x58, 0x02, 1, 2,    3,    215, 0x8F,
                                    0x02, 55,   31,   0,    0, 0x00, 0x00, 21};
    Reply(0x97, d);
    BurnerMeasurements m = burner.measurements.back();
    EXPECT_EQ(m.lblTgas, "300");
    EXPECT_EQ(m.lblTempKTYPE1, "600");
    EXPECT_EQ(m.lblLambda, "21.5");
    EXPECT_EQ(m.lblTwater, "65.5");
    EXPECT_EQ(m.lblProgState, "21");
    EXPECT_EQ(m.imgDev->at(9), LedState::Grey);

    // The same bytes from another device type or older firmware: singles.
    state.burner.BurnerDevType = 99;
    Reply(0x97, d);
    m = burner.measurements.back();
    EXPECT_EQ(m.lblTgas, SingleText(GetSingle(d, 0)));
    EXPECT_FALSE(m.lblTempKTYPE1);
    EXPECT_EQ(m.lblTwater, "65.5") << "tenths from 1.499 on, whatever the device";

    state.burner.BurnerDevType = 100;
    state.burner.BurnerHwVersion = static_cast<float>(1505 / 1000.0);
    Reply(0x97, d);
    EXPECT_FALSE(burner.measurements.back().lblTempKTYPE1);

    state.burner.BurnerHwVersion = static_cast<float>(1499 / 1000.0);
    Reply(0x97, d);
    EXPECT_EQ(burner.measurements.back().lblTwater, "65.5");
    state.burner.BurnerHwVersion = static_cast<float>(1498 / 1000.0);
    Reply(0x97, d);
    EXPECT_EQ(burner.measurements.back().lblTwater, "655.0");

    // Texts follow the user's decimal separator.
    state.burner.BurnerHwVersion = 1.506f;
    SetDecimalSeparator(QLatin1Char(','));
    Reply(0x97, d);
    SetDecimalSeparator(QLatin1Char('.'));
    EXPECT_EQ(burner.measurements.back().lblLambda, "21,5");
    EXPECT_EQ(burner.measurements.back().lblTwater, "65,5");

    // New layout cut off before d[7].
    Reply(0x97, {0x2C, 0x01, 0x58, 0x02, 1});
    EXPECT_EQ(burner.measurements.back().lblTempKTYPE1, "600");
    EXPECT_FALSE(burner.measurements.back().lblLambda);
}

TEST_F(DispatcherTest, UsageCounters) {
    std::vector<uint8_t> d;
    for (int32_t m : {3050, 1439, 1440, 0, -1}) {
        const auto u = static_cast<uint32_t>(m);
        for (int k = 0; k < 4; ++k) {
            d.push_back(static_cast<uint8_t>(u >> (8 * k)));
        }
    }
    Reply(0x5C, d);
    ASSERT_EQ(burner.usageTimes.size(), 1u);
    const auto& u = burner.usageTimes[0].lblUsageTime;
    EXPECT_EQ(u[0]->caption, "2 d 2:50");
    EXPECT_EQ(u[0]->tooltip, "3050");
    EXPECT_EQ(u[1]->caption, "0 d 23:59");
    EXPECT_EQ(u[2]->caption, "1 d 0:0");
    EXPECT_EQ(u[3]->caption, "0 d 0:0");
    EXPECT_EQ(u[4]->caption, "-1 d 23:59");
    EXPECT_EQ(u[4]->tooltip, "-1");

    d.resize(9);
    Reply(0x5C, d);
    const auto& cut = burner.usageTimes[1].lblUsageTime;
    EXPECT_TRUE(cut[1]);
    EXPECT_FALSE(cut[2]);
}

TEST_F(DispatcherTest, ParameterSetGoesWholeToTheBurnerWindow) {
    std::vector<uint8_t> d(36);
    for (size_t i = 0; i < d.size(); ++i) {
        d[i] = static_cast<uint8_t>(i * 7);
    }
    Reply(0x84, d);
    ASSERT_EQ(burner.paramSets.size(), 1u);
    EXPECT_EQ(burner.paramSets[0], d);
}

TEST_F(DispatcherTest, AcceptedRepliesWithoutActionChangeNothing) {
    for (uint8_t c : {0x80, 0x81, 0x85, 0x88, 0x8E, 0x8F, 0x91, 0x93, 0x95, 0x99, 0x83, 0x8A}) {
        Reply(c, Singles({1, 2, 3, 4}));
    }
    // Not a reply at all: dropped by the framing before the dispatcher.
    Feed(Hex("41 00 BE"));
    EXPECT_TRUE(main.captions.isEmpty());
    EXPECT_TRUE(main.alarms.empty());
    EXPECT_EQ(main.trendRefreshes, 0);
    EXPECT_TRUE(burner.valueTexts.isEmpty());
    EXPECT_TRUE(burner.measurements.empty());
    EXPECT_TRUE(burner.paramSets.empty());
    EXPECT_TRUE(histogram.entries.empty());
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(state.WriteAckCount, 0);
    EXPECT_EQ(loop0().ControllerOut(), "0");
    EXPECT_TRUE(state.AnalogTrend1.at(0, 2).isEmpty());
    EXPECT_EQ(sink.broken, 0);
}

TEST_F(DispatcherTest, MissingWindowsAreSkipped) {
    ReplyDispatcher bare(loops, state);
    sink.receiver = &bare;
    Reply(0x92, Singles({1, 2, 3, 4}));
    Reply(0x82, std::vector<uint8_t>(88, 0));
    for (uint8_t c : {0x8B, 0x55, 0x8C, 0xAA, 0x94, 0x97, 0x5C, 0x84}) {
        Reply(c, std::vector<uint8_t>(20, 1));
    }
    Reply(0x86, {1});
    EXPECT_EQ(state.WriteAckCount, 1);
    EXPECT_DOUBLE_EQ(loop0().getTrendData().at(0, 3).number(), 2);
}

namespace {
struct ThrowingMainWindow : RecordingMainWindow {
    void SetCaption(const QString&) override { throw std::runtime_error("window gone"); }
};
}  // namespace

TEST_F(DispatcherTest, AFailingWindowDoesNotUnwindTheLink) {
    ThrowingMainWindow throwing;
    dispatcher.SetMainWindow(&throwing);
    std::vector<uint8_t> record(88, 0);
    record[1] = 1;
    EXPECT_NO_THROW(Reply(0x82, record));
    EXPECT_EQ(loop0().Enable(), 0) << "the case ends where the window failed";
    Reply(0x86, {1});
    EXPECT_EQ(state.WriteAckCount, 1);
}

TEST(TimeTextTest, LocaleTimeWithoutZone) {
    const QString t = TimeText(QTime(14, 5, 9));
    EXPECT_TRUE(t.contains(QStringLiteral("05"))) << t.toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("09"))) << t.toStdString();
    EXPECT_FALSE(t.contains(QStringLiteral("UTC")));
}

TEST_F(DispatcherTest, AFailingWindowIsLoggedOncePerReplyKindAndTheLinkGoesOn) {
    struct ThrowingBurner : RecordingBurnerWindow {
        void ShowUsageTimes(const BurnerUsageTimes&) override { throw std::runtime_error("boom"); }
        void SetValueText(const QString&) override { throw 1; }
    } failing;
    dispatcher.SetBurnerWindow(&failing);
    Reply(0x5C, std::vector<uint8_t>(20, 0));
    Reply(0x5C, std::vector<uint8_t>(20, 0));
    Reply(0x55, {1, 0, 0xA0, 0x06});
    Reply(0x92, Singles({1.5f, 2.25f, 3.0f, -4.125f}));
    EXPECT_EQ(log.texts(),
              (QStringList{"Handling of reply 0x5C failed (boom); later failures of this reply "
                           "are not reported.",
                           "Handling of reply 0x55 failed (unknown error); later failures of this "
                           "reply are not reported."}));
    EXPECT_EQ(loop0().Measurement(), "2.25") << "replies after a failure are still handled";
}
