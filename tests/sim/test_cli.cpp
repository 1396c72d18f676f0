// tuvik-sim's command line, and the real program run as the scripts run it.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>

#include "BurnerParams.h"
#include "SimCommandLine.h"
#include "SimTestClient.h"
#include "TestUtil.h"

using namespace tuvik;
using namespace tuvik::sim;
using tuvik::test::Hex;
using tuvik::test::WaitUntil;

namespace {
SimArguments Parse(QStringList args) {
    args.prepend("tuvik-sim");
    return ParseSimArguments(args);
}
}  // namespace

TEST(SimCommandLine, Defaults) {
    const SimArguments a = Parse({});
    ASSERT_EQ(a.kind, SimArguments::Run) << a.text.toStdString();
    const SimServerOptions& o = a.launch.server;
    EXPECT_TRUE(o.pty);
    EXPECT_TRUE(o.ptyLink.isEmpty());
    EXPECT_EQ(o.tcpPort, 10001);
    EXPECT_EQ(o.listen, QHostAddress(QHostAddress::LocalHost));
    EXPECT_EQ(o.device.hwVersion, 1506);
    EXPECT_EQ(o.speed, 1.0);
    EXPECT_EQ(a.launch.stopAfter, -1);
    for (const FaultRate& r : a.launch.faults) {
        EXPECT_EQ(r.probability, 0.0);
        EXPECT_EQ(r.next, 0);
    }
}

TEST(SimCommandLine, EveryOptionIsTaken) {
    const SimArguments a = Parse({"--pty",
                                  "/tmp/x",
                                  "--tcp",
                                  "0",
                                  "--listen",
                                  "::1",
                                  "--seed",
                                  "9",
                                  "--hw-version",
                                  "1499",
                                  "--speed",
                                  "25",
                                  "--tick",
                                  "5",
                                  "--delay",
                                  "40",
                                  "--stop-after",
                                  "3",
                                  "--drop",
                                  "0.1",
                                  "--drop-next",
                                  "2",
                                  "--corrupt",
                                  "0.2",
                                  "--corrupt-next",
                                  "3",
                                  "--nak",
                                  "0.3",
                                  "--nak-next",
                                  "4",
                                  "--extra-ack",
                                  "0.4",
                                  "--extra-ack-next",
                                  "5",
                                  "--garbage",
                                  "0.5",
                                  "--garbage-next",
                                  "6",
                                  "--close",
                                  "0.01",
                                  "--close-next",
                                  "7",
                                  "--trace"});
    ASSERT_EQ(a.kind, SimArguments::Run) << a.text.toStdString();
    const SimLaunch& l = a.launch;
    EXPECT_EQ(l.server.ptyLink, "/tmp/x");
    EXPECT_EQ(l.server.tcpPort, 0);
    EXPECT_EQ(l.server.listen, QHostAddress("::1"));
    EXPECT_EQ(l.server.device.seed, 9u);
    EXPECT_EQ(l.server.device.hwVersion, 1499);
    EXPECT_EQ(l.server.speed, 25.0);
    EXPECT_EQ(l.server.tickMs, 5);
    EXPECT_TRUE(l.server.trace);
    EXPECT_EQ(l.delayMs, 40);
    EXPECT_EQ(l.stopAfter, 3);
    const double p[] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.01};
    for (int i = 0; i < static_cast<int>(std::size(p)); ++i) {
        EXPECT_DOUBLE_EQ(l.faults[i].probability, p[i]) << i;
        EXPECT_EQ(l.faults[i].next, i + 2) << i;
    }
    FaultInjector f;
    ApplyFaults(l, f);
    EXPECT_EQ(f.Delay(), 40);
    EXPECT_EQ(f.Get(Fault::Close).next, 7);
    EXPECT_FALSE(f.Stopped());
    SimLaunch silent;
    silent.stopAfter = 0;
    ApplyFaults(silent, f);
    EXPECT_TRUE(f.Stopped());
}

TEST(SimCommandLine, NonsenseIsRefusedWithAReason) {
    for (const QStringList& bad :
         {QStringList{"--drop", "1.5"}, QStringList{"--drop", "x"}, QStringList{"--tcp", "70000"},
          QStringList{"--speed", "0"}, QStringList{"--listen", "localhostish"},
          QStringList{"--no-pty", "--no-tcp"}, QStringList{"--no-tcp", "--tcp", "5"},
          QStringList{"--bogus"}, QStringList{"stray"}, QStringList{"--nak-next", "-1"}}) {
        const SimArguments a = Parse(bad);
        EXPECT_EQ(a.kind, SimArguments::Error) << bad.join(' ').toStdString();
        EXPECT_FALSE(a.text.isEmpty());
    }
}

TEST(SimCommandLine, HelpNamesEveryOption) {
    const SimArguments a = Parse({"--help"});
    ASSERT_EQ(a.kind, SimArguments::Help);
    for (const char* o : {"--pty",          "--no-pty",       "--tcp",
                          "--no-tcp",       "--listen",       "--seed",
                          "--hw-version",   "--speed",        "--tick",
                          "--delay",        "--stop-after",   "--trace",
                          "--print-params", "--drop",         "--drop-next",
                          "--corrupt",      "--corrupt-next", "--nak",
                          "--nak-next",     "--extra-ack",    "--extra-ack-next",
                          "--garbage",      "--garbage-next", "--close",
                          "--close-next",   "--help"}) {
        EXPECT_TRUE(a.text.contains(QString::fromLatin1(o))) << o;
    }
}

TEST(SimProgram, ServesUntilTerminatedAndCleansUp) {
    QTemporaryDir dir;
    const QString link = dir.filePath("tty");
    QProcess p;
    p.start(QStringLiteral(TUVIK_SIM_EXE), {"--pty", link, "--tcp", "0", "--seed", "4"});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    ASSERT_TRUE(WaitUntil([&] {
        out += p.readAllStandardOutput();
        return out.contains("ready");
    }));
    const auto m = QRegularExpression("tcp 127\\.0\\.0\\.1:(\\d+)").match(QString::fromLatin1(out));
    ASSERT_TRUE(m.hasMatch()) << out.toStdString();
    EXPECT_TRUE(out.contains("linked at " + link.toLocal8Bit()));
    EXPECT_TRUE(QFileInfo(link).isSymLink());

    sim::test::TcpClient c;
    ASSERT_TRUE(c.Connect(static_cast<quint16>(m.captured(1).toUInt())));
    c.Send(Hex("91 00 6E"));
    ASSERT_TRUE(sim::test::WaitForPackets(c.rx, Cmd::LiveValues));
    EXPECT_EQ(c.rx.packets[0].first, Cmd::DataRequest);
    sim::test::PtyClient pty;
    ASSERT_TRUE(pty.Open(link));
    pty.Send(Hex("83 00 7C"));
    ASSERT_TRUE(sim::test::WaitForPackets(pty.rx, Cmd::ParamSet));

    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().contains("stopped"));
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link goes with the simulator";
}

TEST(SimProgram, HelpPrintParamsAndBadArguments) {
    QProcess p;
    p.start(QStringLiteral(TUVIK_SIM_EXE), {"--print-params"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput(), ParamsHeaderText());
    p.start(QStringLiteral(TUVIK_SIM_EXE), {"--help"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().contains("--hw-version"));
    p.start(QStringLiteral(TUVIK_SIM_EXE), {"--drop", "2"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("--drop"));
}
