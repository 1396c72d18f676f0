// The packet codec, the receive framing and every reply case of the
// dispatcher, all against literal bytes as they are on the wire.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <stdexcept>

#include "RecordingTargets.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "shell/DispatchState.h"
#include "shell/ReplyDispatcher.h"
#include "support/EventLog.h"
#include "support/LocaleText.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

struct Sink : RxSink {
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> packets;
    std::vector<std::tuple<uint8_t, int, uint8_t>> broken;
    void OnPacket(uint8_t c, std::span<const uint8_t> d) override {
        packets.emplace_back(c, std::vector<uint8_t>(d.begin(), d.end()));
    }
    void OnBrokenPacket(uint8_t c, int len, uint8_t t) override { broken.emplace_back(c, len, t); }
};

}  // namespace

TEST(Packets, RequestsAreByteExactAndWhatDoesNotFitIsRefused) {
    const std::array<int, 3> three{1, 2, 3};
    const std::array<uint8_t, 2> two{7, 8};
    EXPECT_EQ(EncodeRequest(0x91), Hex("91 00 6E"));
    EXPECT_EQ(EncodePacket(0x85, three).value(), Hex("85 03 01 02 03 7A"));
    EXPECT_EQ(EncodeMemWrite(0x1012C, 1, two).value(), Hex("85 03 2C 01 07 7A"));
    std::vector<int> big(255, 1);
    EXPECT_EQ(EncodePacket(0x84, big).value().left(2), Hex("84 FF"));
    big.push_back(1);
    EXPECT_FALSE(EncodePacket(0x85, big) || EncodePacket(0x85, std::array{1, 256}) ||
                 EncodePacket(0x85, std::array{-1, 2}) || EncodeMemWrite(300, 3, two));
    const std::set<int> accepted = {0x55, 0x5C, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86,
                                    0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8E, 0x8F, 0x91, 0x92,
                                    0x93, 0x94, 0x95, 0x96, 0x97, 0x99, 0xAA};
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(IsAcceptedReply(static_cast<uint8_t>(b)), accepted.count(b) == 1) << b;
    }
}

TEST(Framing, PacketsCutAnywhereWithStrayBytesBetween) {
    const QByteArray live = LiveValues(0x6D);
    const QByteArray stream = Hex("00 41") + live + Hex("41 86 01 01 79 91 00 6E");
    for (int cut = 0; cut <= stream.size(); ++cut) {
        RxState rx;
        Sink sink;
        rx.Feed(Bytes(stream.left(cut)), sink);
        rx.Feed(Bytes(stream.mid(cut)), sink);
        ASSERT_EQ(sink.packets.size(), 3u) << "cut " << cut;
        EXPECT_EQ(sink.packets[0].second, std::vector<uint8_t>(live.begin() + 2, live.end() - 1));
        EXPECT_EQ(sink.packets[1], std::make_pair(uint8_t{0x86}, std::vector<uint8_t>{1}));
        EXPECT_EQ(sink.packets[2].second, std::vector<uint8_t>{0});  // a lone 0 for no data
        EXPECT_TRUE(sink.broken.empty());
    }
}

TEST(Framing, BadTrailerIsDiscardedAndACutPacketTakesTheNextBytes) {
    RxState rx;
    Sink sink;
    rx.Feed(Bytes(LiveValues(0x6C) + Hex("94 01 00 6B")), sink);
    ASSERT_EQ(sink.broken.size(), 1u);
    EXPECT_EQ(sink.broken[0], std::make_tuple(uint8_t{0x92}, 16, uint8_t{0x6C}));
    ASSERT_EQ(sink.packets.size(), 1u);
    EXPECT_EQ(sink.packets[0].first, 0x94);
    rx.Feed(Bytes(Hex("92 04 01 02 86 01 01 79")), sink);  // no time-out: 86 01 become data
    EXPECT_EQ(sink.packets.size(), 1u);
    ASSERT_EQ(sink.broken.size(), 2u);
    EXPECT_EQ(std::get<2>(sink.broken[1]), 0x01);
}

namespace {

class DispatcherTest : public ::testing::Test {
  protected:
    DispatcherTest() {
        loops.InitialiseStartupLoops();
        loops.SetSelectedIndex(0);
        clock.setSystem(
            [] { return QDateTime(QDate(2026, 12, 5), QTime(12, 34, 56)).toMSecsSinceEpoch(); });
        d.setClock(clock);
        QObject::connect(&d, &ReplyDispatcher::liveUpdated,
                         [this](int loop) { live.push_back(loop); });
    }
    void Reply(uint8_t cmd, const char* hex) { d.HandleReply(cmd, Bytes(Hex(hex))); }
    void Reply(uint8_t cmd, const std::vector<uint8_t>& data) { d.HandleReply(cmd, data); }
    const BurnerMeasurements& Meas() const { return rec.measurements.back(); }
    QString Text(BurnerReading r) const { return ReadingText(Meas(), r); }

    SeparatorGuard dot{QLatin1Char('.')};
    RecordingEventLog log;
    ScopedEventLog scopedLog{log};
    PidLoops loops;
    DispatchState state;
    Clock clock;
    ReplyDispatcher d{loops};
    DispatchRecorder rec{d};
    QMetaObject::Connection toTrends = QObject::connect(
        &d, &ReplyDispatcher::analogSamples, [this](const auto& in) { state.PushAnalog(in); });
    std::vector<int> live;  // the liveUpdated announcements
};

}  // namespace

TEST_F(DispatcherTest, LiveValuesGoToTheSelectedLoopAndItsTrend) {
    Reply(0x92, "00 00 C0 3F 00 00 10 40 00 00 40 40 00 00 84 C0");  // 1.5 2.25 3 -4.125
    const clsPID& p = loops[0];
    EXPECT_EQ(QStringList({p.ControllerOut(), p.Measurement(), p.Setpoint(), p.y_fw()}),
              QStringList({"1.5", "2.25", "3", "-4.125"}));
    const TrendArray& t = p.getTrendData();  // hundredths, half to even
    EXPECT_EQ(std::tuple(t.at(0, 2).number(), t.at(1, 2).number(), t.at(2, 2).number(),
                         t.at(3, 2).number(), live),
              std::tuple(2.25, 1.5, 3.0, -4.12, std::vector<int>{0}));
    // 0x96: the same without the redraw, into whichever loop is selected now.
    loops.SetSelectedIndex(1);
    Reply(0x96, "00 40 1C 47 00 00 00 3E 00 00 E0 40 00 00 00 00");  // 40000 0.125 7 0
    EXPECT_EQ(std::tuple(loops[1].ControllerOut(), loops[1].getTrendData().at(1, 2).number(),
                         live.size(), t.at(0, 3).isEmpty()),
              std::tuple(QString("40000"), 30000.0, size_t{1}, true));
    Reply(0x92, "00 40 1C 47 00 00 00 3E 00 00 E0 40 00 00 00 00");
    EXPECT_EQ(live, (std::vector<int>{0, 1})) << "announced with the loop that took it";
    loops.SetSelectedIndex(PidLoops::kNone);
    Reply(0x92, "00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 40");  // no loop: not announced

    loops.SetSelectedIndex(2);  // a short reply, or a setpoint that is no number, stops there
    Reply(0x92, "00 00 B0 40 00 00");
    Reply(0x92, "00 00 E0 40 00 00 00 41 00 00 C0 7F 00 00 10 41");  // 7 8 NaN 9
    EXPECT_EQ(QStringList({loops[2].ControllerOut(), loops[2].Measurement(), loops[2].y_fw()}),
              QStringList({"7", "8", "0"}));
    EXPECT_EQ(live.size(), 2u);
}

TEST_F(DispatcherTest, StatusRecordsAcknowledgementsAndMemoryReads) {
    std::vector<uint8_t> record(88, 0);
    record[0] = 0x0A;
    PutSingle(record, 16, 2.5f);
    Reply(0x82, record);
    record.resize(40);  // cut off: the caption still changes, the loop does not
    PutSingle(record, 16, 9.0f);
    Reply(0x82, record);
    EXPECT_EQ(std::tuple(loops[0].K(), loops[0].AutoSetPoint()), std::tuple(QString("2.5"), 1));
    EXPECT_EQ(rec.captions,
              QStringList(2, "PID luku onnistui " + LocaleTimeOfDay(QTime(12, 34, 56))));
    EXPECT_EQ(rec.statusRecords, std::vector<int>{0}) << "the refused record answers no read";
    EXPECT_EQ(log.texts(),
              QStringList{"PIDstatus error: PID 1 status record of 40 bytes, 88 expected"});

    for (const char* ack : {"00", "01", "01", "FF 00"}) {
        Reply(0x86, ack);
    }
    EXPECT_EQ(std::tuple(rec.acks, rec.refused), std::tuple(3, 1));

    Reply(0x8B, "C8 2C 01");  // 200 at 300
    Reply(0x8B, "07 2C 01");
    Reply(0x8B, "09 2C");
    for (const char* word :
         {"7D 00 9F 06", "7D 00 A0 06", "40 9C 93 07", "7D 00 94 07", "01 02 03"}) {
        Reply(0x55, word);  // 125 at 1695, 1696, 40000 at 1939, 125 at 1940, too short
    }
    using Values = std::vector<std::tuple<int32_t, int32_t, bool>>;
    EXPECT_EQ(rec.values, (Values{{200, 300, false}, {7, 300, false}, {125, 1695, true},
                                  {125, 1696, true}, {40000, 1939, true}, {125, 1940, true}}));
    EXPECT_EQ(rec.histogram,
              (std::vector<std::pair<int32_t, int32_t>>{{125, 1696}, {40000, 1939}}));
}

TEST_F(DispatcherTest, AnalogInputsFillBothTrendsHeldAtTheCeiling) {
    clock.setMonotonic([t = qint64{0}]() mutable { return t += 500'000; });
    UseTrendClock(&clock);
    Reply(0x89, "40 9C D2 04 00 00 03 00 04 00 05 00 06 00 FF FF");
    Reply(0x89, "01 00 02 00 03 00 04 00 05 00 06 00 07");  // not all eight: not taken
    UseTrendClock(nullptr);
    EXPECT_EQ(std::tuple(state.AnalogTrend1.timeAt(2), state.AnalogTrend2.timeAt(2)),
              std::tuple(0.5, 0.5))
        << "one stamp a reply, for both charts";
    EXPECT_TRUE(std::isnan(state.AnalogTrend2.timeAt(3)));
    const double want[] = {30000, 1234, 0, 3, 4, 5, 6, 30000};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ((k < 4 ? state.AnalogTrend1 : state.AnalogTrend2).at(k % 4, 2).number(), want[k]);
    }
    EXPECT_TRUE(state.AnalogTrend1.at(0, 3).isEmpty());
}

TEST_F(DispatcherTest, ActuatorEventsCaptionsAndAlarm) {
    Reply(0x8C, "01 94 7B 00 00");
    Reply(0x8C, "04 14 10 27 00");  // 10000 tenths
    Reply(0x8C, "0B 94 01 00 00");  // no such actuator
    Reply(0x8C, "0A 63 05 00 00");
    Reply(0x8C, "01 94 7B 00");  // cut short
    SetDecimalSeparator(QLatin1Char(','));
    Reply(0x8C, "00 95 39 30 00");  // 12345 tenths, state 21
    EXPECT_EQ(
        rec.messages,
        (QStringList{"Fuel   ; started ;12.3; Running     ", "Air    ; stopped ;1000; Running     ",
                     "; stopped ;0.5; Error_state ", "Grate  ; started ;1234,5;21"}));
    Reply(0xAA, "05");
    Reply(0x94, "01");
    Reply(0x94, "00");
    EXPECT_EQ(std::tuple(rec.captions, rec.started), std::tuple(QStringList(), std::vector<int>{5}));
    EXPECT_EQ(rec.alarms, (std::vector<bool>{true, false}));
}

TEST_F(DispatcherTest, MeasurementsInTheOldLayoutTakeWhatTheReplyHolds) {
    // Tgas 21.5, lambda 3.25, Twater 655 (whole degrees before 1.499), VFD 30,
    // fan 41, IR 10000, device state 0x0201, program state 99.
    const QByteArray full = Hex("00 00 AC 41 00 00 50 40 8F 02 1E 29 10 27 01 02 63");
    d.HandleReply(0x97, Bytes(full));
    // In the measurement file's order; no heater temperature in this layout.
    const BurnerReadingTexts texts{"21.5",  "3.25",          "655.0", "30", "41",
                                   "10000", " Error_state ", "513",   ""};
    EXPECT_EQ(ReadingTexts(Meas()), texts);
    EXPECT_EQ(std::tuple(Meas().Leds()->at(0), Meas().Leds()->at(1), Meas().Leds()->at(9)),
              std::tuple(LedState::Green, LedState::Grey, LedState::Red));
    BurnerMeasurements readings = Meas();
    // Bytes held: device state, program state, fan, lambda, a whole row (an
    // 11-byte reply skips the fan pair and still stores its row).
    // clang-format off
    const std::tuple<int, bool, bool, bool, bool, bool> cuts[] = {
        {16, true, false, true, true, true}, {11, false, false, false, true, true},
        {10, false, false, false, true, true}, {6, false, false, false, false, false}};
    // clang-format on
    for (const auto& [size, dev, prog, fan, lambda, complete] : cuts) {
        d.HandleReply(0x97, Bytes(full.left(size)));
        EXPECT_EQ(
            std::tuple(Meas().deviceState.has_value(), Meas().progState.has_value(),
                       Meas().tdevice.has_value(), Meas().lambda.has_value(), Meas().complete),
            std::tuple(dev, prog, fan, lambda, complete))
            << size;
        readings.Merge(Meas());  // what a short reply leaves out stays as it was
        EXPECT_EQ(ReadingTexts(readings), texts) << size;
    }
    EXPECT_EQ(std::ranges::count(rec.measurements, true, &BurnerMeasurements::complete), 4);
    readings = {};
    readings.Merge(Meas());
    EXPECT_EQ(ReadingText(readings, BurnerReading::Tgas), texts[0]);
    EXPECT_TRUE(ReadingText(readings, BurnerReading::Lambda).isEmpty()) << "never sent: empty";
}

TEST_F(DispatcherTest, MeasurementsNewLayoutFollowsTheIdentification) {
    const char* reply = "2C 01 58 02 01 02 03 D7 8F 02 37 1F 00 00 00 00 15";
    // Version, device type, whether the layout of words applies, Twater.
    // clang-format off
    const std::tuple<float, int, bool, const char*> cases[] = {
        {1.506f, 100, true, "65.5"}, {1.506f, 99, false, "65.5"}, {1.505f, 100, false, "65.5"},
        {1.499f, 100, false, "65.5"}, {1.498f, 100, false, "655.0"}};
    // clang-format on
    for (const auto& [version, type, words, twater] : cases) {
        rec.identity.BurnerHwVersion = version;
        rec.identity.BurnerDevType = static_cast<uint8_t>(type);
        Reply(0x97, reply);
        EXPECT_EQ(Text(BurnerReading::Twater), twater) << version;
        EXPECT_EQ(Text(BurnerReading::Tgas),
                  words ? "300" : "1.586951E-37");  // the bytes as a single
        EXPECT_EQ(Text(BurnerReading::Heater), words ? "600" : "");
    }
    rec.identity.BurnerHwVersion = 1.506f;
    SetDecimalSeparator(QLatin1Char(','));
    Reply(0x97, reply);
    EXPECT_EQ(QStringList({Text(BurnerReading::Lambda), Text(BurnerReading::Twater),
                           Text(BurnerReading::ProgState)}),
              QStringList({"21,5", "65,5", "21"}));
    Reply(0x97, "2C 01 58 02 01");  // cut before the lambda byte
    EXPECT_EQ(Text(BurnerReading::Heater), "600");
    EXPECT_FALSE(Meas().lambda);
    Reply(0x97, "FF FF 00 00 00 00 00 FF");  // Tgas a word, lambda a byte's tenths
    EXPECT_EQ(std::tuple(Text(BurnerReading::Tgas), Text(BurnerReading::Lambda)),
              std::tuple(QString("65535"), QString("25,5")));
}

TEST_F(DispatcherTest, UsageCountersAndTheParameterSet) {
    // Minutes 3050, 1439, 1440, 0, -1; then a reply cut inside the third.
    Reply(0x5C, "EA 0B 00 00 9F 05 00 00 A0 05 00 00 00 00 00 00 FF FF FF FF");
    Reply(0x5C, "EA 0B 00 00 9F 05 00 00 A0");
    QStringList captions;
    for (const auto& minutes : rec.usageTimes.at(0).minutes) {
        captions << UsageTimeCaption(*minutes);
    }
    EXPECT_EQ(captions, QStringList({"2 d 2:50", "0 d 23:59", "1 d 0:0", "0 d 0:0", "-1 d 23:59"}));
    EXPECT_EQ(UsageTimeTooltip(*rec.usageTimes[0].minutes[4]), QStringLiteral("-1"));
    EXPECT_TRUE(rec.usageTimes.at(1).minutes[1] && !rec.usageTimes[1].minutes[2]);
    const std::vector<uint8_t> set(36, 7);
    Reply(0x84, set);
    EXPECT_EQ(rec.paramSets, std::vector<std::vector<uint8_t>>{set});
}

TEST_F(DispatcherTest, RepliesWithoutActionAndFailingListeners) {
    for (uint8_t c : {0x80, 0x81, 0x85, 0x88, 0x8E, 0x8F, 0x91, 0x93, 0x95, 0x99, 0x83, 0x8A}) {
        Reply(c, "00 00 80 3F 00 00 00 40 00 00 40 40 00 00 80 40");
    }
    EXPECT_TRUE(rec.captions.isEmpty() && rec.values.empty() && rec.histogram.empty());
    EXPECT_EQ(loops[0].ControllerOut(), "0");
    QObject::connect(&d, &ReplyDispatcher::captionLine,
                     [](const QString&) { throw std::runtime_error("window gone"); });
    EXPECT_NO_THROW(Reply(0x82, std::vector<uint8_t>(88, 1)));
    EXPECT_EQ(loops[0].Enable(), 0) << "the case ends where the listener failed";
    // The first failure of each reply kind is logged with its command byte.
    QObject::connect(&d, &ReplyDispatcher::memoryValue, [](int32_t, int32_t, bool) { throw 1; });
    Reply(0x82, std::vector<uint8_t>(88, 1));
    Reply(0x55, {1, 0, 0xA0, 0x06});
    EXPECT_EQ(log.texts(),
              (QStringList{"Handling of reply 0x82 failed (window gone); later failures of this "
                           "reply are not reported.",
                           "Handling of reply 0x55 failed (unknown error); later failures of this "
                           "reply are not reported."}));
}
