#include <gtest/gtest.h>

#include <QByteArray>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "TestUtil.h"
#include "link/Packet.h"
#include "pid/DecimalText.h"
#include "pid/PidLoops.h"
#include "pid/clsPID.h"
#include "support/EventLog.h"
#include "support/Numbers.h"

using namespace tuvik;
using tuvik::test::Hex;
using tuvik::test::SeparatorGuard;

namespace {

// A link that keeps what would go on the wire.
class CapturingLink : public DeviceLink {
  public:
    QByteArray written;
    bool PortOpen() const override { return true; }
    void Disconnect() override {}
    void SetRefreshTimer(bool) override {}
    bool RefreshTimerEnabled() const override { return false; }
    bool Send(int value, bool invert) override {
        written.append(static_cast<char>(invert ? value ^ 0xFF : value));
        return true;
    }

  protected:
    bool WritePacket(const QByteArray& bytes) override {
        written.append(bytes);
        return true;
    }
};

// A status record whose single at offset n holds n + 0.5 (offset 84: 84.5),
// with the given mode, inverted and flag bytes.
std::vector<uint8_t> Record(uint8_t mode = 0x0A, uint8_t inverted = 0x01) {
    std::vector<uint8_t> r(88, 0);
    r[0] = mode;
    r[1] = 5;
    r[2] = 3;
    r[3] = 4;
    r[4] = inverted;
    r[5] = 1;
    r[6] = 7;
    for (size_t off = 8; off < 88; off += 4) {
        PutSingle(r, off, static_cast<float>(off) + 0.5f);
    }
    return r;
}

double Sample(const clsPID& p, int series, int point) {
    const TrendCell& c = p.getTrendData().at(series, point);
    EXPECT_TRUE(c.isNumber()) << "series " << series << " point " << point;
    return c.number();
}

class PidLoopTest : public ::testing::Test {
  protected:
    RecordingEventLog log;
    ScopedEventLog scoped{log};
    SeparatorGuard dot{QLatin1Char('.')};
};

}  // namespace

TEST_F(PidLoopTest, FreshObjectAndAlusta) {
    clsPID p;
    EXPECT_EQ(p.GetName(), "initPID");
    EXPECT_EQ(p.GetDesc(), "initDesc");
    EXPECT_EQ(p.Offset(), 0);
    EXPECT_EQ(p.K(), "0");
    const TrendArray& t = p.getTrendData();
    EXPECT_EQ(t.at(0, 0).text(), "Measurement");
    EXPECT_EQ(t.at(1, 0).text(), "Control output");
    EXPECT_EQ(t.at(2, 0).text(), "Setpoint");
    EXPECT_EQ(t.at(3, 0).text(), "FeedForward");
    for (int s = 0; s < 4; ++s) {
        EXPECT_TRUE(t.at(s, 1).isText());
        EXPECT_TRUE(t.at(s, 1).text().isEmpty());
        EXPECT_TRUE(t.at(s, 2).isEmpty());
    }
    EXPECT_TRUE(t.at(4, 0).isEmpty());

    CapturingLink link;
    p.UseDisabled(true);
    p.Alusta(1, QStringLiteral("Temperature PID"), 200, nullptr, &link);
    EXPECT_EQ(p.GetName(), "PID 1");
    EXPECT_EQ(p.name(), "PID 1");
    EXPECT_EQ(p.GetDesc(), "Temperature PID");
    EXPECT_EQ(p.name_ID(), 1);
    EXPECT_EQ(p.Offset(), 200);
    EXPECT_EQ(p.link(), &link);
    EXPECT_FALSE(p.UseDisabled());
    p.name(QStringLiteral("Boiler"));
    EXPECT_EQ(p.GetName(), "Boiler");
}

TEST_F(PidLoopTest, FlagAndPortProperties) {
    clsPID p;
    p.Enable(7);
    EXPECT_EQ(p.Enable(), 1);
    p.Enable(0);
    EXPECT_EQ(p.Enable(), 0);
    p.RemoteSetpoint(255);
    EXPECT_EQ(p.RemoteSetpoint(), 1);
    p.AutoMode(2);
    EXPECT_EQ(p.AutoMode(), 1);
    p.AutoSetPoint(9);  // no link: only the flag
    EXPECT_EQ(p.AutoSetPoint(), 1);
    p.MeasurePort(200);
    p.forwardPort(0);
    p.RemoteSetpointPort(17);
    EXPECT_EQ(p.MeasurePort(), 200);
    EXPECT_EQ(p.forwardPort(), 0);
    EXPECT_EQ(p.RemoteSetpointPort(), 17);
}

TEST_F(PidLoopTest, AutoSetPointWritesTheModeByte) {
    CapturingLink link;
    clsPID p;
    p.Alusta(0, QStringLiteral("LAMBDA PID "), 300, nullptr, &link);
    ASSERT_TRUE(p.SetStatusData(Record(0x02)));
    p.AutoSetPoint(1);
    EXPECT_EQ(link.written, Hex("85 03 2C 01 0A 7A"));
    link.written.clear();
    ASSERT_TRUE(p.SetStatusData(Record(0x0A | 0x40)));
    p.AutoSetPoint(0);
    EXPECT_EQ(link.written, Hex("85 03 2C 01 42 7A"));
    EXPECT_EQ(p.AutoSetPoint(), 0);
}

TEST_F(PidLoopTest, TextWritersReportOrIgnoreBadText) {
    clsPID p;
    ASSERT_TRUE(p.Setpoint(QStringLiteral("21.5")));
    EXPECT_EQ(p.Setpoint(), "21.5");

    const ConversionResult bad = p.Setpoint(QStringLiteral("abc"));
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.description(), "Type mismatch");
    EXPECT_EQ(p.Setpoint(), "21.5");

    const ConversionResult big = p.K(QStringLiteral("1e39"));
    EXPECT_FALSE(big);
    EXPECT_EQ(big.description(), "Overflow");
    EXPECT_FALSE(p.Ti(QString()));
    EXPECT_FALSE(p.h(QStringLiteral("nan")));
    EXPECT_EQ(p.K(), "0");

    // Every reporting writer shares the rule.
    using Writer = ConversionResult (clsPID::*)(const QString&);
    const Writer writers[] = {
        &clsPID::Setpoint, &clsPID::MaxContr,     &clsPID::MinContr,     &clsPID::K,
        &clsPID::Ti,       &clsPID::Td,           &clsPID::tt,           &clsPID::N,
        &clsPID::b,        &clsPID::ForwardK,     &clsPID::ManualVal,    &clsPID::Tm,
        &clsPID::h,        &clsPID::MeasureScale, &clsPID::ForwardScale, &clsPID::SetpointScale};
    for (Writer w : writers) {
        EXPECT_FALSE((p.*w)(QStringLiteral("x1")));
        EXPECT_TRUE((p.*w)(QStringLiteral("-0.25")));
    }
    EXPECT_EQ(p.MaxContr(), "-0.25");
    EXPECT_EQ(p.SetpointScale(), "-0.25");

    // The live values ignore what is not a number.
    p.Measurement(QStringLiteral("12.5"));
    p.ControllerOut(QStringLiteral("40"));
    p.y_fw(QStringLiteral("-3"));
    p.Measurement(QStringLiteral("abc"));
    p.ControllerOut(QStringLiteral("1e40"));
    p.y_fw(QString());
    EXPECT_EQ(p.Measurement(), "12.5");
    EXPECT_EQ(p.ControllerOut(), "40");
    EXPECT_EQ(p.y_fw(), "-3");
    p.SetActiveConrollerOut(0.1f);
    EXPECT_EQ(p.LiveValues().ControllerOut, 0.1f);
    EXPECT_EQ(p.ControllerOut(), "0.1");
}

TEST_F(PidLoopTest, DecimalCommaRoundTrips) {
    SeparatorGuard comma(QLatin1Char(','));
    clsPID p;
    ASSERT_TRUE(p.K(QStringLiteral("1.5")));
    EXPECT_EQ(p.Settings().K, 1.5f);
    EXPECT_EQ(p.K(), "1.5");
    ASSERT_TRUE(p.Ti(QStringLiteral("2,25")));  // already in the locale's form
    EXPECT_EQ(p.Ti(), "2.25");
    EXPECT_EQ(clsPID::DecimToDot(QStringLiteral("1,5")), "1.5");
    EXPECT_EQ(clsPID::DotToDecim(QStringLiteral("1.5")), "1,5");
    EXPECT_EQ(ToDot(QStringLiteral("1,5;2,5")), "1.5;2.5");
    EXPECT_EQ(ToDecimalSeparator(QStringLiteral("7")), "7");
    EXPECT_TRUE(p.info().contains(QStringLiteral("K: 1,5\r\n")));
    {
        SeparatorGuard dot(QLatin1Char('.'));
        EXPECT_EQ(clsPID::DecimToDot(QStringLiteral("1,5")), "1,5");
        EXPECT_EQ(clsPID::DotToDecim(QStringLiteral("1.5")), "1.5");
        EXPECT_EQ(p.K(), "1.5");
    }
}

TEST_F(PidLoopTest, DecodesEveryFieldOfTheStatusRecord) {
    clsPID p;
    p.Alusta(0, QStringLiteral("LAMBDA PID "), 100, nullptr, nullptr);
    ASSERT_TRUE(p.SetStatusData(Record(0x0A, 0x03)));
    EXPECT_EQ(p.AutoMode(), 1);
    EXPECT_EQ(p.AutoSetPoint(), 1);
    EXPECT_TRUE(p.InvertedMode());
    EXPECT_EQ(p.Enable(), 1);
    EXPECT_EQ(p.MeasurePort(), 3);
    EXPECT_EQ(p.forwardPort(), 4);
    EXPECT_EQ(p.RemoteSetpoint(), 1);
    EXPECT_EQ(p.RemoteSetpointPort(), 7);
    EXPECT_EQ(p.ManualVal(), "8.5");
    EXPECT_EQ(p.Setpoint(), "12.5");
    EXPECT_EQ(p.K(), "16.5");
    EXPECT_EQ(p.Ti(), "20.5");
    EXPECT_EQ(p.Td(), "24.5");
    EXPECT_EQ(p.ForwardK(), "28.5");
    EXPECT_EQ(p.tt(), "32.5");
    EXPECT_EQ(p.N(), "36.5");
    EXPECT_EQ(p.b(), "40.5");
    EXPECT_EQ(p.MinContr(), "44.5");
    EXPECT_EQ(p.MaxContr(), "48.5");
    EXPECT_EQ(p.Tm(), "52.5");
    EXPECT_EQ(p.y_fw(), "56.5");
    EXPECT_EQ(p.Measurement(), "60.5");
    EXPECT_EQ(p.h(), "64.5");
    const PidLiveValues& live = p.LiveValues();
    EXPECT_EQ(live.P, 68.5f);
    EXPECT_EQ(live.I, 72.5f);
    EXPECT_EQ(live.D, 76.5f);
    EXPECT_EQ(live.Feed_fw, 80.5f);
    EXPECT_EQ(live.PIDControllerOut, 84.5f);
    EXPECT_EQ(p.ControllerOut(), "84.5");
    EXPECT_EQ(p.MeasureScale(), "1");
    EXPECT_EQ(p.ForwardScale(), "1");
    EXPECT_EQ(p.SetpointScale(), "1");
    EXPECT_EQ(p.StatusBytes()[2], 3);
    EXPECT_TRUE(log.entries.empty());

    // Only bits 0x02 and 0x08 of the mode byte, only bit 0x01 of byte 4.
    ASSERT_TRUE(p.SetStatusData(Record(0x02, 0x02)));
    EXPECT_EQ(p.AutoMode(), 1);
    EXPECT_EQ(p.AutoSetPoint(), 0);
    EXPECT_FALSE(p.InvertedMode());
    ASSERT_TRUE(p.SetStatusData(Record(0xF5, 0xFE)));
    EXPECT_EQ(p.AutoMode(), 0);
    EXPECT_EQ(p.AutoSetPoint(), 0);
    EXPECT_FALSE(p.InvertedMode());

    // A longer record: the first 88 bytes count.
    auto longer = Record(0x08);
    longer.resize(120, 0xFF);
    ASSERT_TRUE(p.SetStatusData(longer));
    EXPECT_EQ(p.AutoSetPoint(), 1);
    EXPECT_EQ(p.ControllerOut(), "84.5");
}

TEST_F(PidLoopTest, ShortRecordIsRefusedAndLeavesTheLoopAlone) {
    clsPID p;
    p.Alusta(0, QStringLiteral("LAMBDA PID "), 100, nullptr, nullptr);
    ASSERT_TRUE(p.SetStatusData(Record()));
    const PidSettings before = p.Settings();
    const PidLiveValues liveBefore = p.LiveValues();
    std::vector<uint8_t> shortRec(87, 0x55);
    EXPECT_FALSE(p.SetStatusData(shortRec));
    EXPECT_FALSE(p.SetStatusData({}));
    EXPECT_EQ(p.Settings(), before);
    EXPECT_EQ(p.LiveValues(), liveBefore);
    EXPECT_EQ(p.StatusBytes()[1], 5);
    EXPECT_TRUE(p.getTrendData().at(0, 3).isEmpty()) << "no trend sample for a refused record";
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.entries[0].text, "PIDstatus error: PID 1 status record of 87 bytes, 88 expected");
}

TEST_F(PidLoopTest, NonFiniteFieldStopsTheDecodeThere) {
    clsPID p;
    p.Alusta(1, QStringLiteral("Temperature PID"), 200, nullptr, nullptr);
    ASSERT_TRUE(p.K(QStringLiteral("99")));
    ASSERT_TRUE(p.N(QStringLiteral("98")));
    ASSERT_TRUE(p.h(QStringLiteral("97")));
    ASSERT_TRUE(p.MeasureScale(QStringLiteral("3")));
    auto r = Record(0x02);
    PutSingle(r, 36, std::numeric_limits<float>::quiet_NaN());  // N
    ASSERT_TRUE(p.SetStatusData(r));
    EXPECT_EQ(p.AutoMode(), 1);
    EXPECT_EQ(p.K(), "16.5");
    EXPECT_EQ(p.tt(), "32.5");
    EXPECT_EQ(p.N(), "98");
    EXPECT_EQ(p.h(), "97");
    EXPECT_EQ(p.MeasureScale(), "3");
    ASSERT_EQ(log.texts(), QStringList{"PIDstatus error: PID 1 invalid number at offset 36 (N)"});
    // The trend sample is still taken, from the values as they now stand.
    EXPECT_DOUBLE_EQ(Sample(p, 2, 2), 12.5);

    log.clear();
    r = Record();
    PutSingle(r, 84, -std::numeric_limits<float>::infinity());
    ASSERT_TRUE(p.SetStatusData(r));
    EXPECT_EQ(p.N(), "36.5");
    EXPECT_EQ(p.Measurement(), "60.5");
    EXPECT_EQ(p.LiveValues().Feed_fw, 80.5f);
    EXPECT_EQ(p.MeasureScale(), "3");
    EXPECT_EQ(log.texts(),
              QStringList{"PIDstatus error: PID 1 invalid number at offset 84 (PIDControllerOut)"});
}

TEST_F(PidLoopTest, TrendSamplesRoundHoldAndAge) {
    clsPID p;
    const auto sample = [&p](const char* meas) {
        p.Measurement(QString::fromLatin1(meas));
        p.AddTrendSample();
        return Sample(p, 0, 2);
    };
    EXPECT_DOUBLE_EQ(sample("0.125"), 0.12);
    EXPECT_DOUBLE_EQ(sample("0.375"), 0.38);
    EXPECT_DOUBLE_EQ(sample("-0.125"), -0.12);
    EXPECT_DOUBLE_EQ(sample("30000"), 30000);
    EXPECT_DOUBLE_EQ(sample("30000.5"), 30000);
    EXPECT_DOUBLE_EQ(sample("1e6"), 30000);
    EXPECT_DOUBLE_EQ(sample("-30001"), -30001);
    EXPECT_DOUBLE_EQ(sample("-1e6"), -1e6);
    // A hundredfold beyond 32 bits cannot be rounded: the previous sample repeats.
    EXPECT_DOUBLE_EQ(sample("3e7"), -1e6);
    EXPECT_DOUBLE_EQ(Sample(p, 0, 3), -1e6);

    // The other three series take ControllerOut, Setpoint and y_fw.
    p.ControllerOut(QStringLiteral("45.678"));
    ASSERT_TRUE(p.Setpoint(QStringLiteral("7.005")));
    p.y_fw(QStringLiteral("-2"));
    p.AddTrendSample();
    EXPECT_DOUBLE_EQ(Sample(p, 1, 2), 45.68);
    EXPECT_DOUBLE_EQ(Sample(p, 2, 2), 7.0);
    EXPECT_DOUBLE_EQ(Sample(p, 3, 2), -2);
    EXPECT_TRUE(p.getTrendData().at(4, 2).isEmpty());

    // 400 samples: the newest at point 2, the oldest kept at 400, the first dropped.
    clsPID q;
    for (int i = 1; i <= 400; ++i) {
        q.Measurement(QString::number(i));
        q.AddTrendSample();
    }
    EXPECT_DOUBLE_EQ(Sample(q, 0, 2), 400);
    EXPECT_DOUBLE_EQ(Sample(q, 0, 3), 399);
    EXPECT_DOUBLE_EQ(Sample(q, 0, 400), 2);
    EXPECT_EQ(q.getTrendData().at(0, 0).text(), "Measurement");
    EXPECT_TRUE(q.getTrendData().at(0, 1).text().isEmpty());
}

TEST_F(PidLoopTest, TrendHandOver) {
    clsPID p;
    p.ControllerOut(QStringLiteral("5"));
    p.AddTrendSample();
    p.ControllerOut(QStringLiteral("6"));
    p.AddTrendSample();

    TrendArray whole(2);
    EXPECT_TRUE(p.getTrendData(whole, true, 0));
    EXPECT_EQ(whole.seriesCount(), 5);
    EXPECT_EQ(whole.at(1, 0).text(), "Control output");
    EXPECT_DOUBLE_EQ(whole.at(1, 2).number(), 6);

    TrendArray one(3);
    EXPECT_TRUE(p.getTrendData(one, false, 2));  // Item 99: the controller output
    EXPECT_EQ(one.at(2, 0).text(), "Control output");
    EXPECT_DOUBLE_EQ(one.at(2, 3).number(), 5);
    EXPECT_TRUE(p.getTrendData(one, false, 0, 0));
    EXPECT_EQ(one.at(0, 0).text(), "Measurement");
    EXPECT_TRUE(log.entries.empty());

    EXPECT_FALSE(p.getTrendData(one, false, 1, 5));
    EXPECT_FALSE(p.getTrendData(one, false, 3, 1));
    EXPECT_TRUE(one.at(1, 0).isEmpty());
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_TRUE(log.entries[0].text.startsWith("error getTrendData:"));
}

TEST_F(PidLoopTest, UpdateDataTakesTheRegisteredRecordUnlessDisabled) {
    clsPID p;
    clsPID::StatusRecord shared{};
    const auto r = Record(0x02);
    std::copy(r.begin(), r.end(), shared.begin());
    p.UpdateData();  // nothing registered yet
    EXPECT_EQ(p.K(), "0");

    p.SetPointer(&shared);
    EXPECT_EQ(p.MemoryOffset(), &shared);
    p.UseDisabled(true);
    p.UpdateData();
    EXPECT_EQ(p.K(), "0");
    EXPECT_EQ(p.AutoMode(), 0);
    EXPECT_TRUE(p.getTrendData().at(0, 2).isEmpty());

    p.UseDisabled(false);
    p.UpdateData();
    EXPECT_EQ(p.K(), "16.5");
    EXPECT_EQ(p.AutoMode(), 1);
    EXPECT_DOUBLE_EQ(Sample(p, 0, 2), 60.5);
}

TEST_F(PidLoopTest, InfoLists28Lines) {
    clsPID p;
    p.Alusta(0, QStringLiteral("LAMBDA PID "), 100, nullptr, nullptr);
    ASSERT_TRUE(p.SetStatusData(Record(0x0A, 0x00)));
    const QStringList lines = p.info().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 28);
    EXPECT_EQ(lines[0], "sName : PID 1");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "sDesc: LAMBDA PID ");
    EXPECT_EQ(lines[3], "InvertedMode: False");
    EXPECT_EQ(lines[4], "AutomMode: True");
    EXPECT_EQ(lines[5], "AutoSetPoint: True");
    EXPECT_EQ(lines[6], "Setpoint: 12.5");
    EXPECT_EQ(lines[10], "ControllerOut: 84.5");
    EXPECT_EQ(lines[11], "PIDControllerOut: 84.5");
    EXPECT_EQ(lines[15], "Tt: 32.5");
    EXPECT_EQ(lines[19], "Feed_fw: 80.5");
    EXPECT_EQ(lines[22], "Tm: 52.5");
    EXPECT_EQ(lines[23], "");
    EXPECT_EQ(lines[24], "P: 68.5");
    EXPECT_EQ(lines[26], "D: 76.5");
    EXPECT_EQ(lines[27], "H: 64.5");
}

TEST_F(PidLoopTest, SettingsCopyBetweenLoops) {
    clsPID a;
    ASSERT_TRUE(a.SetStatusData(Record(0x02, 0x01)));
    clsPID b;
    b.SetSettings(a.Settings());
    EXPECT_TRUE(b.InvertedMode());
    EXPECT_EQ(b.K(), "16.5");
    EXPECT_EQ(b.MeasureScale(), "1");
    EXPECT_EQ(b.Measurement(), "0") << "live values are not settings";
}

TEST(PidLoops, StartupEntriesAndSelection) {
    PidLoops loops;
    loops.InitialiseStartupLoops();
    EXPECT_EQ(loops[0].GetDesc(), "LAMBDA PID ");
    EXPECT_EQ(loops[0].Offset(), 100);
    EXPECT_EQ(loops[0].GetName(), "PID 1");
    EXPECT_EQ(loops[1].GetDesc(), "Temperature PID");
    EXPECT_EQ(loops[1].Offset(), 200);
    EXPECT_EQ(loops[1].name_ID(), 1);
    EXPECT_EQ(loops[1].link(), nullptr);
    EXPECT_EQ(loops[2].GetName(), "initPID");
    EXPECT_EQ(loops[3].GetDesc(), "initDesc");

    EXPECT_EQ(loops.selectedIndex(), PidLoops::kNone);
    EXPECT_EQ(loops.Selected(), nullptr);
    loops.SetSelectedIndex(1);
    EXPECT_EQ(loops.Selected(), &loops[1]);
    loops.SetSelectedIndex(4);
    EXPECT_EQ(loops.Selected(), nullptr);

    // Loading settings replaces an entry in place.
    loops.SetSelectedIndex(0);
    clsPID fresh;
    ASSERT_TRUE(fresh.K(QStringLiteral("3")));
    loops[0] = fresh;
    EXPECT_EQ(loops.Selected()->K(), "3");
    EXPECT_EQ(loops.Selected()->GetName(), "initPID");
}

TEST(EventLogTest, ScopedLogCollectsAndRestores) {
    EventLog* const before = &CurrentEventLog();
    RecordingEventLog outer;
    {
        ScopedEventLog a(outer);
        RecordingEventLog inner;
        {
            ScopedEventLog b(inner);
            WriteEventLog(QStringLiteral("one"));
            CurrentEventLog().Warning(QStringLiteral("two"));
        }
        WriteEventLog(QStringLiteral("three"));
        ASSERT_EQ(inner.entries.size(), 2u);
        EXPECT_EQ(inner.entries[1].level, RecordingEventLog::Level::Warning);
        EXPECT_EQ(inner.texts(), (QStringList{"one", "two"}));
    }
    EXPECT_EQ(outer.texts(), QStringList{"three"});
    EXPECT_EQ(&CurrentEventLog(), before);
}

TEST_F(PidLoopTest, LiveSingleMatchesWritingItsText) {
    // Values whose shortest text is short, ones that need 8 or 9 digits,
    // extremes, signed zero and the non-numbers.
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 1.0f / 3.0f,
                                 16777217.0f,
                                 123456789.0f,
                                 0.1f,
                                 37.26f,
                                 -1.0e-40f,
                                 std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::lowest(),
                                 std::numeric_limits<float>::denorm_min(),
                                 std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity()};
    for (int k = -149; k <= 127; ++k) {
        values.push_back(std::ldexp(1.0f, k));
        values.push_back(-std::ldexp(1.0f, k));
    }
    for (float tie : {7874876.5f, 1234567.5f, 0.5f, 2.5f, 1e-7f}) {
        values.push_back(tie);
        values.push_back(-tie);
    }
    uint32_t bits = 0x12345678u;
    for (int i = 0; i < 20000; ++i) {
        bits = bits * 1664525u + 1013904223u;  // every exponent and mantissa
        float f;
        std::memcpy(&f, &bits, 4);
        values.push_back(f);
    }
    for (QChar sep : {QLatin1Char('.'), QLatin1Char(',')}) {
        SeparatorGuard guard(sep);
        for (float v : values) {
            clsPID viaText;
            clsPID direct;
            const QString text = SingleText(v);
            viaText.ControllerOut(text);
            viaText.Measurement(text);
            const bool setpointTaken = viaText.Setpoint(text).ok();
            viaText.y_fw(text);
            EXPECT_TRUE(direct.WriteLiveSingle(clsPID::LiveField::ControllerOut, v));
            EXPECT_TRUE(direct.WriteLiveSingle(clsPID::LiveField::Measurement, v));
            EXPECT_EQ(direct.WriteLiveSingle(clsPID::LiveField::Setpoint, v), setpointTaken)
                << text.toStdString();
            EXPECT_TRUE(direct.WriteLiveSingle(clsPID::LiveField::y_fw, v));
            const auto same = [](float a, float b) { return std::memcmp(&a, &b, 4) == 0; };
            ASSERT_TRUE(same(direct.LiveValues().ControllerOut, viaText.LiveValues().ControllerOut))
                << text.toStdString();
            ASSERT_TRUE(same(direct.LiveValues().Measurement, viaText.LiveValues().Measurement));
            ASSERT_TRUE(same(direct.Settings().Setpoint, viaText.Settings().Setpoint));
            ASSERT_TRUE(same(direct.LiveValues().y_fw, viaText.LiveValues().y_fw));
        }
    }
}
