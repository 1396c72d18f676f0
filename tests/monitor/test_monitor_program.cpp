// The real tuvik-monitor against the simulator over a pseudo-terminal: a
// configuration it refuses touches neither the port nor the data folder;
// a good one selects its loop at start and after the controller came back, keeps the
// history (live seconds and burner rows), the recording and the
// measurement file in data.dir, and SIGTERM ends it with status 0. Under
// systemd's notify protocol it says READY=1, pings the watchdog at half its
// period and says STOPPING=1 on the way out.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <memory>

#include "BurnerParams.h"
#include "SimServer.h"
#include "TestUtil.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

TEST(MonitorProgram, RefusesBeforeOpeningThenRecordsAndStopsOnSigterm) {
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath("PARAMS.h"), sim::ParamsHeaderText()));
    sim::SimServerOptions o;
    o.ptyLink = dir.filePath("tty");
    o.tcpPort = -1;
    o.tickMs = 10;
    std::unique_ptr<sim::SimServer> sim;
    const auto device = [&] {
        sim.reset();  // the controller goes; a new one behind the same link
        sim = std::make_unique<sim::SimServer>(o);
        return sim->Start();
    };
    ASSERT_TRUE(device());
    const QString data = dir.filePath("data");
    const QByteArray conf = "[link]\nserial = " + o.ptyLink.toUtf8() +
                            "\nloop = 1\n[data]\ndir = " + data.toUtf8() + "\n";
    ASSERT_TRUE(WriteFile(dir.filePath("bad.conf"), conf + "[relay]\nlisten = 0.0.0.0:1\n"));
    ASSERT_TRUE(WriteFile(dir.filePath("good.conf"), conf));
    // systemd's end of the notify protocol: a datagram socket.
    const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un addr{.sun_family = AF_UNIX, .sun_path = {}};
    const QByteArray notifyPath = dir.filePath("notify").toUtf8();
    ASSERT_LT(notifyPath.size(), qsizetype(sizeof addr.sun_path));
    std::copy(notifyPath.begin(), notifyPath.end(), addr.sun_path);
    ASSERT_EQ(bind(notify, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    // Read as it comes, as systemd does: a full queue would hold the sender up.
    QStringList told;
    const auto hear = [&] {
        char b[256];
        for (ssize_t n; (n = recv(notify, b, sizeof b, 0)) > 0;) {
            told << QString::fromUtf8(b, n);
        }
        return told;
    };
    QSocketNotifier notifier(notify, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, hear);
    QProcess monitor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("NOTIFY_SOCKET", notifyPath);
    env.insert("WATCHDOG_USEC", "400000");
    monitor.setProcessEnvironment(env);
    monitor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto run = [&](const char* file) {
        monitor.start(QStringLiteral(TUVIK_MONITOR_EXE),
                      {"--config", dir.filePath(file), "--params", dir.filePath("PARAMS.h")});
        return monitor.waitForStarted(10000);
    };
    const auto ended = [&] { return monitor.state() == QProcess::NotRunning; };

    ASSERT_TRUE(run("bad.conf"));
    ASSERT_TRUE(WaitUntil(ended, 20s));
    EXPECT_EQ(monitor.exitCode(), 2);
    EXPECT_EQ(sim->stats().bytesIn, 0u);
    EXPECT_FALSE(QFileInfo::exists(data));
    EXPECT_EQ(hear(), QStringList()) << "a refused configuration is never ready";

    const auto selected = [&] { return sim->device().controller().Selected(); };
    ASSERT_EQ(selected(), 0);
    ASSERT_TRUE(run("good.conf"));
    const QString history = data + "/history.sqlite";
    const auto count = [&](const char* sql) {
        const QStringList rows = HistoryRows(history, sql);
        return rows.size() == 1 ? rows[0].toInt() : -1;
    };
    ASSERT_TRUE(WaitUntil(
        [&] {
            return count("SELECT count(*) FROM sec WHERE loop = 1") >= 2 &&
                   count("SELECT count(*) FROM burner") >= 1;
        },
        40s));
    EXPECT_EQ(selected(), 1);
    // The controller goes and comes back with loop 0: selected again.
    ASSERT_TRUE(device());
    ASSERT_EQ(selected(), 0);
    ASSERT_TRUE(WaitUntil([&] { return selected() == 1; }, 30s));

    EXPECT_TRUE(WaitUntil([&] { return hear().count("WATCHDOG=1") >= 2; }, 10s));
    ::kill(static_cast<pid_t>(monitor.processId()), SIGTERM);
    ASSERT_TRUE(WaitUntil(ended, 20s));
    hear();
    notifier.setEnabled(false);
    close(notify);
    told.removeAll("WATCHDOG=1");
    EXPECT_EQ(told, QStringList({"READY=1", "STOPPING=1"}));
    EXPECT_TRUE(monitor.exitStatus() == QProcess::NormalExit && monitor.exitCode() == 0);
    EXPECT_GE(count("SELECT count(*) FROM sec"), 2);
    EXPECT_EQ(QDir(data + "/recordings").entryList(QDir::Files).size(), 2);  // one a connection
    EXPECT_EQ(QDir(data).entryList({"Flamorifier_MEAS_*.txt"}, QDir::Files).size(), 1);
}
