// The history against the simulator: every second the tool kept holds the
// mean, minimum and maximum of exactly the live values it received in that
// second. "Exactly": the minima and maxima are the received singles, the
// mean is the double sum of that second's singles divided by their count,
// both compared bit for bit.
#include <gtest/gtest.h>

#include <QSqlQuery>

#include <map>

#include "E2E.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

class HistoryE2E : public ProgramE2E {
  protected:
    qint64 stamped = 0;  // the store's time of the reply being handled; outlives the body
};

}  // namespace

TEST_P(HistoryE2E, EachSecondHoldsMeanMinMaxOfTheLiveValuesReceived) {
    HistoryStore& history = session->history();
    history.setClock([this] { return stamped = QDateTime::currentMSecsSinceEpoch(); });
    std::map<std::pair<int, qint64>, std::array<std::vector<float>, 4>> seen;
    // Connected after the session's own handler: it sees the values the
    // store has just taken, at the time the store stamped.
    QObject::connect(&session->dispatcher(), &ReplyDispatcher::liveSampled, main.get(),
                     [&](int index) {
                         const clsPID& loop = session->loops()[index];
                         const PidLiveValues& v = loop.LiveValues();
                         const float values[] = {v.Measurement, loop.Settings().Setpoint,
                                                 v.ControllerOut, v.y_fw};
                         for (int k = 0; k < 4; ++k) {
                             seen[{index, stamped / 1000}][k].push_back(values[k]);
                         }
                     });
    ASSERT_TRUE(Connect());
    // Two whole seconds between the first and the last one seen.
    ASSERT_TRUE(WaitUntil([&] { return seen.size() >= 4; }, 20s));
    QObject::disconnect(&session->dispatcher(), &ReplyDispatcher::liveSampled, main.get(), nullptr);
    history.Sync();
    ASSERT_FALSE(history.stopped()) << history.failure().toStdString();
    seen.erase(seen.begin());           // may have begun before the capture
    seen.erase(std::prev(seen.end()));  // goes on after it
    HistoryDb reader(QStringLiteral("e2e"));
    ASSERT_EQ(reader.OpenForReading(history.databasePath()), QString());
    QSqlQuery q(reader.database());
    for (const auto& [key, values] : seen) {
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT meas_avg, meas_min, meas_max, sp_avg, "
                                          "sp_min, sp_max, out_avg, out_min, out_max, fw_avg, "
                                          "fw_min, fw_max FROM sec WHERE loop = %1 AND t = %2")
                               .arg(key.first)
                               .arg(key.second)));
        ASSERT_TRUE(q.next()) << key.second;
        EXPECT_GT(values[0].size(), 1u);
        for (int v = 0; v < kHistoryValues; ++v) {
            const SecondStats s = StatsOf(values[v]);
            EXPECT_EQ(q.value(3 * v).toDouble(), s.mean) << v;
            EXPECT_EQ(q.value(3 * v + 1).toDouble(), s.min) << v;
            EXPECT_EQ(q.value(3 * v + 2).toDouble(), s.max) << v;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tcp, HistoryE2E, ::testing::Values(Via::Tcp), ViaParamName);
