// tuvik-sim run as the scripts run it: the options they pass are taken, it
// serves until terminated and takes its link with it; the parameter table it
// prints is the one shipped beside the tool. The process behind a loop as the
// command line sets it.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <tuple>

#include "BurnerParams.h"
#include "ControllerSim.h"
#include "SimCommandLine.h"
#include "SimPeer.h"
#include "link/Packet.h"

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

TEST(SimProgram, PlantOptionSetsTheProcessBehindALoop) {
    using namespace tuvik::sim;
    const auto parse = [](QStringList more) {
        return ParseSimArguments(QStringList{"tuvik-sim", "--no-tcp"} + more);
    };
    EXPECT_TRUE(parse({"--help"}).text.contains("--plant <LOOP:GAIN,TAU,DEAD[,NOISE[,BASE]]>"));
    const SimArguments a = parse({"--plant", "2:-1.5,30,45", "--plant", "4:0.5,7.5,0,0.02,3"});
    ASSERT_EQ(a.kind, SimArguments::Run) << qPrintable(a.text);
    const auto& plants = a.launch.server.device.plants;
    ASSERT_TRUE(!plants[0] && plants[1] && !plants[2] && plants[3]);
    const PlantModel two = ControllerSim::Defaults()[1].plant;  // noise and base left out
    EXPECT_EQ(std::tie(plants[1]->gain, plants[1]->timeConstant, plants[1]->deadTime,
                       plants[1]->noise, plants[1]->base),
              std::make_tuple(-1.5, 30.0, 45.0, two.noise, two.base));
    EXPECT_EQ(std::tie(plants[3]->noise, plants[3]->base), std::make_tuple(0.02, 3.0));
    for (const char* bad :
         {"0:1,2,3", "5:1,2,3", "2:1,2", "2:1,2,3,4,5,6", "2:0,2,3", "2:1,-2,3", "2:1,2,-3",
          "2:1,2,3,-4", "2:1,2,nan", "2", "1:1,2,3 --plant 1:1,2,4"}) {
        const SimArguments e = parse(QStringList{"--plant"} + QString::fromLatin1(bad).split(' '));
        EXPECT_EQ(e.kind, SimArguments::Error) << bad;
        EXPECT_TRUE(e.text.contains(QString::fromLatin1(bad).section(' ', -1)))
            << qPrintable(e.text);
    }

    // Applied: loop 4 held in manual at 20 stays at its base for the dead
    // time, then follows the first order towards base + gain * 20.
    ControllerSim c(1, {std::nullopt, std::nullopt, std::nullopt, PlantModel{3, 0.5, 2, 1.5, 0}});
    uint8_t manual[5] = {0};
    tuvik::PutSingle(std::span<uint8_t>(manual), 1, 20.0f);
    ASSERT_TRUE(c.Write(ControllerSim::kBase[3] + Block::kMode, std::span(manual, 1)));
    ASSERT_TRUE(c.Write(ControllerSim::kBase[3] + Block::kManualVal, std::span(manual + 1, 4)));
    c.Advance(1.45);
    EXPECT_EQ(c.PlantOutput(3), 3);
    c.Advance(2.07);  // one time constant after the dead time (and the first sample's step)
    EXPECT_NEAR(c.PlantOutput(3), 3 + 10 * (1 - std::exp(-1.0)), 0.05);
}
