// Every connection is recorded: what the real links read and write, both
// directions, with the connection in the header. A tool killed in the
// middle of a recording leaves one that reads up to at most a second before
// the kill.
#include <QDir>
#include <QProcess>

#include <csignal>

#include "E2E.h"
#include "link/RecordingReader.h"
#include "shell/RecordingDump.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

QStringList DumpRows(RecordedChunkSource& source) {
    QStringList rows;
    DumpRecording(source, [&](const DumpRow& r) { rows << DumpRowText(r).section(u' ', 1); });
    return rows;
}

class Recorded : public ProgramE2E {};

// Then a folder that cannot be made (its parent is a file) stops recording
// with one line in the message log and a note in the status line, and the
// link goes on working; the next connection that fails alike adds no line.
TEST_P(Recorded, BothDirectionsOfTheLinkAndItsSettingsAreInTheConnectionsRecording) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(RoundTrip());
    Click(main.get(), "btnCon");
    ASSERT_TRUE(WaitUntil([&] { return !session->recorder().recording(); }));

    const QList<RecordingEntry> files = session->recorder().folder().Entries();
    ASSERT_EQ(files.size(), 1);
    QString error;
    const auto reader = RecordingReader::Open(files[0].path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    const RecordingInfo& info = reader->info();
    EXPECT_EQ(info.linkKind, GetParam() == Via::Pty ? "serial" : "tcp");
    EXPECT_EQ(info.endpoint, GetParam() == Via::Pty
                                 ? sim->PtyLink()
                                 : "127.0.0.1:" + QString::number(sim->TcpPort()));
    EXPECT_EQ(info.refreshMs, 100);
    EXPECT_EQ(info.paramsName, "PARAMS.h");
    const QStringList rows = DumpRows(*reader);
    EXPECT_TRUE(rows.contains("tx 0x8A 8A 02 2C 01 75  read memory byte at 300"))
        << rows.join('\n').toStdString();
    const QString value = QStringLiteral("%1").arg(Byte(300), 2, 16, QLatin1Char('0')).toUpper();
    EXPECT_TRUE(rows.contains("rx 0x8B 8B 03 " + value +
                              " 2C 01 74  memory byte at 300 = " + QString::number(Byte(300))))
        << rows.join('\n').toStdString();
    EXPECT_EQ(reader->stopReason(), QString());

    ASSERT_TRUE(WriteFile(dir.filePath("file"), "x"));
    session->recorder().folder() = RecordingFolder(dir.filePath("file/recordings"));
    for (int connection = 0; connection < 2; ++connection) {
        ASSERT_TRUE(Connect());
        ASSERT_TRUE(RoundTrip());
        EXPECT_TRUE(Find<QLabel>(main.get(), "lblLinkStatus")->text().endsWith("; not recording"));
        Click(main.get(), "btnCon");
    }
    EXPECT_EQ(session->log().logText().count("Recording stopped: "), 1);
}

INSTANTIATE_TEST_SUITE_P(Links, Recorded, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);

// The installed way: the tool and the simulator as processes, the tool
// connected at the fastest refresh and then killed outright.
TEST(RecordingCrash, AKilledToolLeavesARecordingUpToASecondBeforeTheKill) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("bin"));
    const QString tool = dir.filePath("bin/tuvik");  // its daily files beside it
    ASSERT_TRUE(QFile::copy(QStringLiteral(TUVIK_APP_EXE), tool));
    QProcess sim;
    sim.start(QStringLiteral(TUVIK_SIM_EXE),
              {"--no-tcp", "--pty", dir.filePath("tty"), "--speed", "10"});
    QByteArray simOut;
    ASSERT_TRUE(WaitUntil([&] { return (simOut += sim.readAllStandardOutput()).contains("ready"); },
                          std::chrono::seconds(30)));

    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("TUVIK_AUTOCONNECT", "serial:" + dir.filePath("tty") + ":5");
    app.setProcessEnvironment(env);
    app.start(tool, {});
    ASSERT_TRUE(app.waitForStarted());

    // Two seconds recorded, as the file on disk says.
    const QDir recordings(dir.filePath("bin/recordings"));
    const auto newest = [&] {
        const QStringList names = recordings.entryList({"*.pcapng.zst"}, QDir::Files, QDir::Name);
        return names.isEmpty() ? QString() : recordings.filePath(names.last());
    };
    ASSERT_TRUE(WaitUntil(
        [&] {
            QString error;
            const QString path = newest();
            const auto r = path.isEmpty() ? nullptr : RecordingReader::Open(path, &error);
            return r && r->lengthUs() >= 2'000'000;
        },
        std::chrono::seconds(60)));
    const qint64 killedAtMs = QDateTime::currentMSecsSinceEpoch();
    ::kill(static_cast<pid_t>(app.processId()), SIGKILL);
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::CrashExit);
    sim.kill();
    sim.waitForFinished(10000);

    QString error;
    const auto reader = RecordingReader::Open(newest(), &error);
    ASSERT_TRUE(reader) << error.toStdString();
    const qint64 lastMs = reader->info().startUtcMs + reader->lengthUs() / 1000;
    EXPECT_LE(killedAtMs - lastMs, 1000) << reader->stopReason().toStdString();
    const QStringList rows = DumpRows(*reader);
    EXPECT_TRUE(rows.contains("tx 0x91 91 00 6E  live values request"));
    EXPECT_GT(rows.filter(QRegularExpression("^rx 0x92 .* live values: out ")).size(), 100);

    // The support tool reads it too, up to where the kill cut it.
    QProcess dump;
    dump.start(QStringLiteral(TUVIK_RECORDING_EXE), {newest()});
    ASSERT_TRUE(dump.waitForFinished(60000));
    EXPECT_LE(dump.exitCode(), 1);
    const QByteArray text = dump.readAllStandardOutput();
    EXPECT_TRUE(text.startsWith("# format 1\n# tool ")) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains(" tx 0x91 91 00 6E  live values request\n"));
}

}  // namespace
