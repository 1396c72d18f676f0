// The device without a window: the session alone, under a QCoreApplication,
// against the simulator over a pseudo-terminal and over a loopback relay. It
// connects, polls the loops, keeps the daily log, the history and a
// recording of each connection, polls the burner into its measurement file
// and the history, comes back after the device dropped the link,
// stops retrying when disconnected and ends cleanly.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <map>
#include <memory>
#include <string>

#include "BurnerParams.h"
#include "ScratchSession.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "burner/BurnerModel.h"
#include "shell/Session.h"
#include "trend/HistoryDb.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

enum class Via { Pty, Tcp };

const QDateTime kNow(QDate(2026, 12, 5), QTime(8, 0, 0));

class CoreSession : public ::testing::TestWithParam<Via> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFile(dir.filePath("PARAMS.h"), sim::ParamsHeaderText()));
        StartDevice();
        session = ScratchSession(dir.path());
        // The day's file, whatever the date; the history's time of each reply noted.
        session->clock().setSystem([this, now = RunningFrom(kNow)] { return stamped = now(); });
        session->Start();
        // What the main window's loop selector does at start-up.
        session->loops().InitialiseStartupLoops();
        session->loops().SetSelectedIndex(0);

        ConnectionController& c = session->connection();
        c.setTexts({sim->PtyLink(), QStringLiteral("57600"), QStringLiteral("50")});
        c.setUseTcp(GetParam() == Via::Tcp);
        TcpSettings relay;
        relay.port = sim->TcpPort();
        relay.watchMs = 20;
        c.setRelay(relay);
    }

    void StartDevice() {
        sim::SimServerOptions o;
        o.pty = GetParam() == Via::Pty;
        o.ptyLink = dir.filePath("tty");
        o.tcpPort = GetParam() == Via::Tcp ? 0 : -1;
        o.tickMs = 10;
        sim = std::make_unique<sim::SimServer>(o);
        QString error;
        ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    }
    // The device goes away: the relay hangs up after its next answer; the
    // pseudo-terminal's simulator goes (and, when asked, a new one takes the
    // same path).
    void LoseTheDevice(bool comesBack) {
        if (GetParam() == Via::Tcp) {
            sim->faults().SetNext(sim::Fault::Close, 1);
        } else {
            sim.reset();
        }
        ASSERT_TRUE(WaitUntil([&] { return link()->reconnecting(); }, 10s));
        if (comesBack && GetParam() == Via::Pty) {
            StartDevice();
        }
    }
    bool DeviceSeesLink() {
        return GetParam() == Via::Pty ? sim->PtyClientPresent() : sim->TcpClientConnected();
    }
    bool Connected() { return session->ctx().LinkConnected() && DeviceSeesLink(); }
    DeviceLink* link() { return session->ctx().activeLink(); }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimServer> sim;
    std::unique_ptr<Session> session;
    qint64 stamped = 0;  // the session's time last read: the history's of the reply handled
};

}  // namespace

// Every second the history kept holds the mean, minimum and maximum of
// exactly the live values received in that second: the minima and maxima
// are the received singles, the mean is the double sum of that second's
// singles over their count, both compared bit for bit.
TEST_P(CoreSession, PollsKeepsTheFilesComesBackAfterALossAndEndsCleanly) {
    ASSERT_FALSE(QCoreApplication::instance()->inherits("QGuiApplication"));
    HistoryStore& history = session->history();
    std::map<std::pair<int, qint64>, std::array<std::vector<float>, 4>> seen;
    // Connected after the session's own handler: it sees the values the
    // store has just taken, at the time the store stamped.
    const QMetaObject::Connection capture =
        QObject::connect(&session->dispatcher(), &ReplyDispatcher::liveSampled, [&](int index) {
            const clsPID& loop = session->loops()[index];
            const PidLiveValues& v = loop.LiveValues();
            const float values[] = {v.Measurement, loop.Settings().Setpoint, v.ControllerOut,
                                    v.y_fw};
            for (int k = 0; k < 4; ++k) {
                seen[{index, stamped / 1000}][k].push_back(values[k]);
            }
        });
    MeasLog& meas = session->burner().measLog();
    meas.setSaving(true);
    QSignalSpy burnerRows(&meas, &MeasLog::rowStored);
    session->connection().Toggle();
    ASSERT_TRUE(WaitUntil([&] { return Connected(); }, 15s));
    // Two whole seconds between the first and the last one seen.
    ASSERT_TRUE(WaitUntil([&] { return seen.size() >= 4; }, 20s));
    QObject::disconnect(capture);
    // The burner is polled with no window: whole measurement replies.
    ASSERT_TRUE(WaitUntil([&] { return burnerRows.count() >= 2; }, 20s));

    // Back with polling: fresh replies counted on the same link.
    const quint64 before = link()->traffic().replies;
    LoseTheDevice(true);
    ASSERT_TRUE(WaitUntil([&] { return Connected() && !link()->reconnecting(); }, 15s));
    ASSERT_TRUE(WaitUntil([&] { return link()->traffic().replies > before + 3; }));
    // Lost again, then Disconnect: no more attempts. Two ticks of a timer of
    // the retry period started after it: timers fire in the order they fall
    // due, so a retry would have come first.
    LoseTheDevice(false);
    session->connection().Toggle();
    EXPECT_FALSE(link()->reconnecting());
    QTimer retryPeriod;
    QSignalSpy ticks(&retryPeriod, &QTimer::timeout);
    retryPeriod.start(DeviceLink::kReconnectMs);
    ASSERT_TRUE(WaitUntil([&] { return ticks.count() >= 2; }));
    EXPECT_FALSE(session->ctx().LinkConnected() || link()->PortOpen());
    EXPECT_EQ(session->connection().buttonCaption(), "Connect");
    ASSERT_TRUE(WaitUntil([&] { return !session->recorder().recording(); }));
    history.Sync();
    ASSERT_FALSE(history.stopped()) << history.failure().toStdString();
    // Every burner row in the history and, once the session ends, in the
    // measurement file under its header.
    const qsizetype rows = burnerRows.count();
    EXPECT_EQ(HistoryRows(history.databasePath(), "SELECT row FROM burner").size(), rows);
    const QString measFile = meas.FilePath(kNow.date());

    // The daily log: both losses and the one return.
    const QString log = QString::fromLatin1(ReadFile(session->log().DailyFilePath(kNow.date())));
    EXPECT_TRUE(log.startsWith(MessageLog::kHeader)) << log.toStdString();
    EXPECT_EQ(std::pair(log.count("Connection lost: "), log.count("Connection back: ")),
              std::pair(qsizetype{2}, qsizetype{1}))
        << log.toStdString();
    // The history: the seconds of the capture, the losses and the return.
    seen.erase(seen.begin());           // may have begun before the capture
    seen.erase(std::prev(seen.end()));  // went on after it
    HistoryDb reader(QStringLiteral("core"));
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
    const QStringList events =
        HistoryRows(history.databasePath(), "SELECT text FROM events WHERE kind = 'reconnect'");
    ASSERT_EQ(events.size(), 4) << events.join('/').toStdString();
    EXPECT_TRUE(events[0].startsWith("Link lost: ") && events[1] == "Link back" &&
                events[2].startsWith("Link lost: ") && events[3] == "Reconnecting given up")
        << events.join('/').toStdString();
    // One recording for each connection, each with bytes in it.
    const QList<RecordingEntry> recordings = session->recorder().folder().Entries();
    ASSERT_EQ(recordings.size(), 2);
    for (const RecordingEntry& r : recordings) {
        EXPECT_GT(QFileInfo(r.path).size(), 0) << r.path.toStdString();
    }
    session.reset();  // ends with nothing left running
    const QStringList measLines =
        QString::fromLatin1(ReadFile(measFile)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(measLines.size(), rows + 1) << measFile.toStdString();
    EXPECT_TRUE(measLines[0].startsWith(QStringLiteral("aika "))) << measLines[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Links, CoreSession, ::testing::Values(Via::Pty, Via::Tcp),
                         [](const ::testing::TestParamInfo<Via>& info) {
                             return std::string(info.param == Via::Pty ? "Pty" : "Tcp");
                         });
