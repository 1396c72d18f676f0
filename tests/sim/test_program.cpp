// tuvik-sim run as the scripts run it: the options they pass are taken, it
// serves until terminated and takes its link with it; the parameter table it
// prints is the one shipped beside the tool.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>

#include "BurnerParams.h"
#include "SimPeer.h"

using tuvik::test::Hex;
using tuvik::test::WaitUntil;

TEST(SimProgram, ServesWithTheScriptsOptionsUntilTerminated) {
    // scripts/run.sh; scripts/check-install.sh and scripts/soak.sh.
    const QStringList runs[] = {{"--pty", "@", "--tcp", "0", "--seed", "4"},
                                {"--no-tcp", "--pty", "@", "--speed", "50", "--trace"}};
    for (QStringList args : runs) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QTemporaryDir dir;
        const QString link = dir.filePath("tty");
        args.replaceInStrings("@", link);
        QProcess p;
        p.start(QStringLiteral(TUVIK_SIM_EXE), args);
        ASSERT_TRUE(p.waitForStarted());
        QByteArray out;
        ASSERT_TRUE(WaitUntil([&] { return (out += p.readAllStandardOutput()).contains("ready"); },
                              std::chrono::seconds(30)));
        EXPECT_TRUE(out.contains("linked at " + link.toLocal8Bit()));
        tuvik::sim::test::Peer pty;
        ASSERT_TRUE(pty.OpenPty(link));
        EXPECT_TRUE(pty.Answers(Hex("8A 02 18 00 75"), Hex("8B 03 46 18 00 74")));
        const auto port =
            QRegularExpression("tcp 127\\.0\\.0\\.1:(\\d+)").match(QString::fromLatin1(out));
        EXPECT_EQ(port.hasMatch(), args.contains("--tcp"));
        if (port.hasMatch()) {
            tuvik::sim::test::Peer tcp;
            ASSERT_TRUE(tcp.OpenTcp(static_cast<quint16>(port.captured(1).toUInt())));
            EXPECT_TRUE(tcp.Answers(Hex("99 00 66"), Hex("AA 01 01 55")));
        }
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_TRUE(p.readAllStandardOutput().contains("stopped"));
        EXPECT_FALSE(QFileInfo(link).isSymLink());
    }
    QProcess params;
    params.start(QStringLiteral(TUVIK_SIM_EXE), {"--print-params"});
    ASSERT_TRUE(params.waitForFinished(10000));
    // The simulator's memory map ships with the simulator (beside its
    // program), never beside the tool, which must not read a burner by it.
    QFile shipped(QStringLiteral(TUVIK_SOURCE_SIM_DATA_DIR "/PARAMS.h"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray text = shipped.readAll();
    EXPECT_EQ(params.readAllStandardOutput(), text)
        << "tuvik-sim --print-params > sim/data/PARAMS.h";
    EXPECT_EQ(text, tuvik::sim::ParamsHeaderText());
    QFile besideSim(QFileInfo(QStringLiteral(TUVIK_SIM_EXE)).absolutePath() + "/PARAMS.h");
    ASSERT_TRUE(besideSim.open(QIODevice::ReadOnly));
    EXPECT_EQ(besideSim.readAll(), text);
    EXPECT_FALSE(QFile::exists(QStringLiteral(TUVIK_BUILD_APP_DIR "/PARAMS.h")));
}
