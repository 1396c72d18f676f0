// Numbers and their texts, the trend table's ring, the analog-input polling, the
// timer service and the connection settings store.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/BurnerTables.h"
#include "shell/AppContext.h"
#include "shell/ConnectionSettings.h"
#include "shell/DispatchState.h"
#include "support/Numbers.h"
#include "support/clsTimer.h"
#include "trend/AnalogPolling.h"
#include "trend/TrendArray.h"

using namespace tuvik;

TEST(Numbers, TheNumberATextStartsWithRoundedHalfToEven) {
    const std::pair<const char*, double> cases[] = {
        {" 1 2", 12},   {"&H10", 16},  {"&o17", 15}, {"&HFFFF", -1},
        {"1e3x", 1000}, {"2.5D1", 25}, {"abc", 0},   {"0x10", 0},
        {"1.2.3", 1.2}, {"7e", 7},     {".5", 0.5},  {"\t250 // max", 250}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(TextToNumber(QString::fromLatin1(text)), value) << text;
    }
    const std::pair<const char*, int> whole[] = {
        {"7 68 00", 76800}, {"2.5", 2}, {"3.5", 4}, {"-12x", -12}, {"9e99", INT_MAX}};
    for (const auto& [text, value] : whole) {
        EXPECT_EQ(TextToWholeNumber(QString::fromLatin1(text)), value) << text;
    }
    EXPECT_EQ(std::tuple(RoundHalfEven(2.5), RoundHalfEven(3.5), RoundHalfEven(-2.5)),
              std::tuple(2.0, 4.0, -2.0));
    EXPECT_EQ(std::tuple(*RoundToInt16(32767.4), *RoundToInt16(-32768.5)),
              std::tuple(32767, -32768));
    EXPECT_FALSE(RoundToInt16(32767.5) || RoundToInt32(1e10) || RoundToInt32(std::nan("")));
}

TEST(Numbers, SinglesShortestThatReadsBackInTheUsersSeparator) {
    const std::pair<float, const char*> cases[] = {
        {0.1f, "0.1"},          {1234567.f, "1234567"}, {12345678.f, "1.234568E+07"}, {-0.0f, "0"},
        {0.000012f, "1.2E-05"}, {-273.15f, "-273.15"},  {3.1415927f, "3.141593"}};
    for (const auto& [v, text] : cases) {
        EXPECT_EQ(SingleText(v, '.'), text);
    }
    // Its value without the text: ties at the 7th digit, the extremes, a sweep.
    for (uint32_t bits = 1; bits < 0x7F800000u; bits += 65521) {
        const float b = std::bit_cast<float>(bits);
        for (const float v : {b, -b, 33554436.f, 8388609.f, 1.2345675e-5f, 0.1f, FLT_MAX}) {
            ASSERT_EQ(SingleTextValue(v).value(), TextToNumber(SingleText(v, '.'))) << v;
            ASSERT_EQ(SingleTextSingle(v).value(), static_cast<float>(*SingleTextValue(v))) << v;
        }
    }
    EXPECT_FALSE(SingleTextValue(NAN) || SingleTextValue(-INFINITY) || SingleTextSingle(NAN));
    EXPECT_EQ(SingleText(1.5f, ',') + ' ' + DoubleText(0.5, ','), "1,5 0,5");
    EXPECT_EQ(DetectDecimalSeparator(QLocale(QLocale::Finnish, QLocale::Finland)), ',');
    EXPECT_EQ(LocaleTextToSingle("1,5", ',').value(), 1.5f);
    EXPECT_FALSE(LocaleTextToSingle("1.5", ',') || LocaleTextToSingle("", '.') ||
                 LocaleTextToSingle("1e39", '.'));
    EXPECT_EQ(
        QStringList({StateNames()[31], StateNames()[20], StateNames()[12], StateNames()[256]}),
        QStringList({" Idle->run ", " Running     ", "12", "256"}));
    EXPECT_EQ(StateNameAt(257), nullptr);
    EXPECT_EQ(ActivityNames()[1], "Fuel   ");
}

TEST(TrendArray, SamplesInHundredthsHeldAtTheCeilingBeforeOrAfterRounding) {
    const std::tuple<float, bool, std::optional<double>> cases[] = {
        {0.125f, false, 0.12},    {0.375f, false, 0.38}, {-0.125f, false, -0.12},
        {30000.5f, false, 30000}, {3e7f, false, {}},     {INFINITY, false, {}},
        {3e7f, true, 30000},      {-3e7f, true, -3e7},   {NAN, true, {}}};
    for (const auto& [v, ceilingFirst, want] : cases) {
        EXPECT_EQ(TrendSampleOf(v, 30000, ceilingFirst), want) << v << " " << ceilingFirst;
    }
}

TEST(TrendArray, RingKeepsTheIndexesOfAPlainTable) {
    TrendArray a(5);
    a.set(0, 0, "Measurement");
    std::vector<TrendCell> naive(401);  // a plain table shifted on every push
    for (int n = 0; n < 1000; ++n) {
        std::move_backward(naive.begin() + 2, naive.end() - 1, naive.end());
        naive[2] = TrendCell(double(n));
        a.PushSample(0, double(n));
        if (n % 97 == 0 || n > 995) {
            for (int p = 2; p <= 400; ++p) {
                ASSERT_EQ(a.at(0, p), naive[static_cast<size_t>(p)]) << n << " " << p;
            }
        }
    }
    EXPECT_EQ(a.at(0, 0).text(), "Measurement");
    EXPECT_TRUE(a.at(0, 401).isEmpty() && a.at(5, 2).isEmpty() && a.at(1, 2).isEmpty());
    a.Shift(0);
    EXPECT_EQ(std::tuple(a.at(0, 2).number(), a.at(0, 3).number(), a.at(0, 4).number()),
              std::tuple(999.0, 999.0, 998.0));
}

TEST(ConnectionSettings, StoredAsLeadingNumbersUnderSettingsAndReadBackWithDefaults) {
    QTemporaryDir dir;
    const QString path = dir.filePath("store.ini");
    {
        QSettings store(path, QSettings::IniFormat);
        EXPECT_EQ(LoadConnectionSettings(store), (ConnectionTexts{"2", "57600", "333"}));
    }
    EXPECT_FALSE(QFile::exists(path)) << "nothing written by reading";
    {
        QSettings store(path, QSettings::IniFormat);
        SaveConnectionSettings(store, {" /dev/ttyUSB0 ", "76800x", "abc"});
    }
    QSettings store(path, QSettings::IniFormat);
    EXPECT_EQ(QStringList({store.value("Settings/ComPort").toString(),
                           store.value("Settings/ComSpeed").toString(),
                           store.value("Settings/RefreshRate").toString()}),
              QStringList({"/dev/ttyUSB0", "76800", "0"}));
    store.setValue("Settings/ComPort", "");
    store.setValue("Settings/ComSpeed", QStringList{"38400", "x"});  // not a text
    EXPECT_EQ(LoadConnectionSettings(store), (ConnectionTexts{"2", "57600", "0"}));
    EXPECT_EQ(std::tuple(StoredNumberText("1.5"), StoredPortText(" 3x"), StoredPortText("")),
              std::tuple(QString("1.5"), QString("3"), QString("0")));
}

TEST(AnalogPolling, TheRequestPeriodAndTheRequestOnTheActiveLink) {
    EXPECT_EQ(
        std::tuple(AnalogPolling::RequestInterval(" 2 50 ms"),
                   AnalogPolling::RequestInterval("250.5"), AnalogPolling::RequestInterval("251.5"),
                   AnalogPolling::RequestInterval("-250")),
        std::tuple(250, 250, 252, 0));
    AppContext ctx;
    DispatchState st;
    AnalogPolling p([&] { return ctx.activeLink(); }, st.AnalogTrend1, st.AnalogTrend2);
    st.AnalogTrend2.PushSample(1, 512.0);
    test::RecordingLink link;
    ctx.setActiveLink(&link);
    p.Begin();  // the periodic request goes off, the names are written, samples stay
    EXPECT_EQ(std::tuple(st.AnalogTrend2.at(1, 0), st.AnalogTrend2.at(1, 2)),
              std::tuple(TrendCell("AD5"), TrendCell(512.0)));
    EXPECT_TRUE(p.SendRequest());
    p.End();
    link.open = false;
    EXPECT_FALSE(p.SendRequest());
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_EQ(link.bytes, test::Hex("88 00 77"));
}

namespace {
// A timer whose system facility is a counter: ids are handed out (or
// refused) and ticks come from the test through the shared callback.
class ScriptedTimer : public clsTimer {
  public:
    int nextId = 7;
    QStringList events;
    ScriptedTimer() {
        connect(this, &clsTimer::TimerStarted, [this] { events << "started"; });
        connect(this, &clsTimer::TimerStopped, [this] { events << "stopped"; });
    }

  protected:
    int StartSystemTimer(int32_t) override { return nextId; }
    void KillSystemTimer(int id) override { events << QStringLiteral("kill %1").arg(id); }
};
}  // namespace

TEST(TimerService, StartsTicksStopsFromInsideATickAndKeepsItsRegistry) {
    ScriptedTimer t;
    EXPECT_FALSE(t.StartTimer()) << "interval 0";
    t.nextId = 0;
    t.setInterval(100);
    EXPECT_FALSE(t.StartTimer()) << "refused by the system";
    EXPECT_TRUE(t.events.isEmpty() && !modTimerCallBack::RegistryExists());

    t.nextId = 7;
    ASSERT_TRUE(t.StartTimer());
    EXPECT_FALSE(t.StartTimer()) << "already running";
    t.setInterval(100);  // the same period: no restart
    EXPECT_EQ(std::tuple(t.events, modTimerCallBack::RegisteredCount()),
              std::tuple(QStringList{"started"}, 1));

    QList<int32_t> ticks;
    QObject::connect(&t, &clsTimer::Timer, [&](int32_t lTicks, bool* keep) {
        ticks << lTicks;
        *keep = lTicks < 30;
    });
    modTimerCallBack::TimerProc(8, 5);  // another id: ignored
    modTimerCallBack::TimerProc(7, 10);
    modTimerCallBack::TimerProc(7, 30);  // the handler stops it inside this tick
    modTimerCallBack::TimerProc(7, 50);
    EXPECT_EQ(ticks, (QList<int32_t>{10, 30}));
    EXPECT_EQ(t.events, (QStringList{"started", "kill 7", "stopped"}));
    EXPECT_FALSE(t.isRunning() || modTimerCallBack::RegistryExists()) << "gone with the last timer";

    t.nextId = 9;
    ASSERT_TRUE(t.StartTimer());
    EXPECT_TRUE(modTimerCallBack::RegistryExists());
    t.setInterval(0);  // a running timer set to 0 stops for good
    EXPECT_EQ(std::tuple(t.isRunning(), t.events.mid(3)),
              std::tuple(false, QStringList{"started", "kill 9", "stopped"}));
}
