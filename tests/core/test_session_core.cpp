// The device without a window: the session alone, under a QCoreApplication,
// against the simulator over a pseudo-terminal and over a loopback relay. It
// connects, polls the loops, keeps the daily log, the history and a
// recording of each connection, comes back after the device dropped the link
// and ends cleanly.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>
#include <string>

#include "BurnerParams.h"
#include "SimServer.h"
#include "TestUtil.h"
#include "shell/Session.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

enum class Via { Pty, Tcp };

const QDateTime kNow(QDate(2026, 12, 5), QTime(8, 0, 0));

class CoreSession : public ::testing::TestWithParam<Via> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFile(dir.filePath("PARAMS.h"), sim::ParamsHeaderText()));
        StartDevice();
        session = std::make_unique<Session>(
            AppPaths(dir.path(), dir.path(), {dir.path(), QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
        const SettingsOpener store = [this] {
            return std::make_unique<QSettings>(dir.filePath("store.ini"), QSettings::IniFormat);
        };
        session->connection().setSettingsOpener(store);
        session->recorder().setSettingsOpener(store);
        session->log().setClock([] { return kNow; });  // the day's file, whatever the date
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
        o.tcpPort = GetParam() == Via::Tcp ? (sim ? sim->TcpPort() : 0) : -1;
        o.tickMs = 10;
        sim.reset();
        sim = std::make_unique<sim::SimServer>(o);
        QString error;
        ASSERT_TRUE(sim->Start(&error)) << error.toStdString();
    }
    bool DeviceSeesLink() {
        return GetParam() == Via::Pty ? sim->PtyClientPresent() : sim->TcpClientConnected();
    }
    bool Connected() { return session->ctx().LinkConnected() && DeviceSeesLink(); }
    DeviceLink* link() { return session->ctx().activeLink(); }
    quint64 Replies() { return link() ? link()->traffic().replies : 0; }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimServer> sim;
    std::unique_ptr<Session> session;
};

}  // namespace

TEST_P(CoreSession, PollsKeepsTheFilesComesBackAfterALossAndEndsCleanly) {
    ASSERT_FALSE(QCoreApplication::instance()->inherits("QGuiApplication"));
    QSignalSpy live(&session->dispatcher(), &ReplyDispatcher::liveSampled);
    QSignalSpy recordings(&session->recorder(), &SessionRecorder::recordingStarted);
    session->connection().Toggle();
    ASSERT_TRUE(WaitUntil([&] { return Connected(); }, std::chrono::seconds(15)));
    ASSERT_TRUE(WaitUntil([&] { return live.count() > 20; }));
    EXPECT_EQ(session->connection().buttonCaption(), "Disconnect");
    // The burner's polling and its measurement file come with the core
    // burner model; their check belongs here.

    // The device drops the link: the relay hangs up, the pseudo-terminal's
    // simulator goes and a new one takes the same path.
    const quint64 before = Replies();
    if (GetParam() == Via::Tcp) {
        sim->faults().SetNext(sim::Fault::Close, 1);
    } else {
        sim.reset();
    }
    ASSERT_TRUE(WaitUntil([&] { return link()->reconnecting(); }, std::chrono::seconds(10)));
    if (GetParam() == Via::Pty) {
        StartDevice();
    }
    ASSERT_TRUE(WaitUntil([&] { return Connected() && !link()->reconnecting(); },
                          std::chrono::seconds(15)));
    const qsizetype sampled = live.count();
    ASSERT_TRUE(WaitUntil([&] { return live.count() > sampled + 20 && Replies() > before; }));

    session->connection().Toggle();
    EXPECT_FALSE(session->ctx().LinkConnected() || link()->PortOpen());
    ASSERT_TRUE(WaitUntil([&] { return !session->recorder().recording(); }));
    session->history().Sync();

    // The daily log: the loss and the return.
    const QString log = QString::fromLatin1(ReadFile(session->log().DailyFilePath(kNow.date())));
    EXPECT_TRUE(log.startsWith(MessageLog::kHeader)) << log.toStdString();
    EXPECT_EQ(std::pair(log.count("Connection lost: "), log.count("Connection back: ")),
              std::pair(qsizetype{1}, qsizetype{1}))
        << log.toStdString();
    // The history: the selected loop's seconds, the loss and the return.
    const QString history = session->history().databasePath();
    EXPECT_GT(HistoryRows(history, "SELECT count(*) FROM sec WHERE loop = 0").value(0).toInt(), 2);
    const QStringList events =
        HistoryRows(history, "SELECT text FROM events WHERE kind = 'reconnect'");
    ASSERT_EQ(events.size(), 2) << events.join('/').toStdString();
    EXPECT_TRUE(events[0].startsWith("Link lost: ") && events[1] == "Link back");
    // One recording for each connection, each with bytes in it.
    ASSERT_EQ(recordings.count(), 2);
    for (const QList<QVariant>& r : recordings) {
        EXPECT_GT(QFileInfo(r.at(0).toString()).size(), 0) << r.at(0).toString().toStdString();
    }
    session.reset();  // ends with nothing left running
}

INSTANTIATE_TEST_SUITE_P(Links, CoreSession, ::testing::Values(Via::Pty, Via::Tcp),
                         [](const ::testing::TestParamInfo<Via>& info) {
                             return std::string(info.param == Via::Pty ? "Pty" : "Tcp");
                         });
