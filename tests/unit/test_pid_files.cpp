#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TestUtil.h"
#include "pid/PidFiles.h"
#include "shell/AppPaths.h"
#include "support/Numbers.h"

using namespace tuvik;
using tuvik::test::SeparatorGuard;

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray kSample =
    "PID 1\r\n 1 "
    "\r\n180.5\r\n100\r\n10\r\n1.5\r\n60\r\n4\r\n15\r\n5\r\n0.8\r\n-0.25\r\n30\r\n2\r\n";

clsPID SampleLoop() {
    clsPID L;
    L.Alusta(0, QStringLiteral("LAMBDA PID "), 100, nullptr, nullptr);
    L.AutoMode(1);
    EXPECT_TRUE(L.Setpoint("180.5").ok());
    EXPECT_TRUE(L.MaxContr("100").ok());
    EXPECT_TRUE(L.MinContr("10").ok());
    EXPECT_TRUE(L.K("1.5").ok());
    EXPECT_TRUE(L.Ti("60").ok());
    EXPECT_TRUE(L.Td("4").ok());
    EXPECT_TRUE(L.tt("15").ok());
    EXPECT_TRUE(L.N("5").ok());
    EXPECT_TRUE(L.b("0.8").ok());
    EXPECT_TRUE(L.ForwardK("-0.25").ok());
    EXPECT_TRUE(L.ManualVal("30").ok());
    EXPECT_TRUE(L.Tm("2").ok());
    EXPECT_TRUE(L.h("0.5").ok());  // not kept in the file
    return L;
}

}  // namespace

TEST(PidFiles, SavedUnderACommaLocaleHoldsDotsAndLoadsTheSameUnderDots) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mine.PID");
    {
        SeparatorGuard comma(QLatin1Char(','));
        const clsPID L = SampleLoop();
        ASSERT_EQ(SavePidFile(path, &L), std::nullopt);
    }
    EXPECT_EQ(ReadBytes(path), kSample);

    SeparatorGuard dot(QLatin1Char('.'));
    const PidFileRead r = ReadPidFile(path);
    ASSERT_TRUE(r.loop.has_value()) << r.error.toStdString();
    PidSettings want = SampleLoop().Settings();
    want.h =
        0;  // h, the ports, the scales and the flags other than the mode stay at creation values
    EXPECT_EQ(r.loop->Settings(), want);
    EXPECT_EQ(r.loop->name(), QStringLiteral("PID 1"));
    EXPECT_EQ(r.loop->GetDesc(), QStringLiteral("initDesc"));
    EXPECT_EQ(r.loop->link(), nullptr);

    // And read under a comma locale the values are the same.
    SeparatorGuard comma(QLatin1Char(','));
    const PidFileRead again = ReadPidFile(path);
    ASSERT_TRUE(again.loop.has_value()) << again.error.toStdString();
    EXPECT_EQ(again.loop->Settings(), want);
}

TEST(PidFiles, ModeLineIsANumberAndOnlyOneMeansAutomatic) {
    SeparatorGuard dot(QLatin1Char('.'));
    QTemporaryDir dir;
    const QString path = dir.filePath("m.PID");
    for (const auto& [line, automatic] : std::vector<std::pair<QByteArray, bool>>{{" 1 ", true},
                                                                                  {"1", true},
                                                                                  {" 0 ", false},
                                                                                  {"2", false},
                                                                                  {"-1", false},
                                                                                  {"0.6", true}}) {
        QByteArray bytes = kSample;
        bytes.replace(" 1 \r\n", line + "\r\n");
        WriteBytes(path, bytes);
        const PidFileRead r = ReadPidFile(path);
        ASSERT_TRUE(r.loop.has_value()) << line.constData() << " " << r.error.toStdString();
        EXPECT_EQ(r.loop->AutoMode(), automatic ? 1 : 0) << line.constData();
    }
}

TEST(PidFiles, MalformedFilesGiveAnErrorAndNoLoop) {
    SeparatorGuard dot(QLatin1Char('.'));
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.PID");
    QByteArray binary;
    for (int i = 0; i < 300; ++i) {
        binary.append(static_cast<char>((i * 37) & 0xFF));
    }
    QByteArray lfOnly = kSample;
    lfOnly.replace("\r\n", "\n");
    QByteArray crOnly = kSample;
    crOnly.replace("\r\n", "\r");
    QByteArray truncated = kSample.left(kSample.indexOf("0.8"));
    QByteArray badNumber = kSample;
    badNumber.replace("\r\n4\r\n", "\r\nfour\r\n");
    QByteArray badMode = kSample;
    badMode.replace(" 1 \r\n", "yes\r\n");
    QByteArray tooLarge = kSample;
    tooLarge.replace("180.5", "1e39");
    QByteArray nul = kSample;
    nul.replace("PID 1", QByteArray("PID\0 1", 6));
    QByteArray enormous = kSample;
    enormous.append(QByteArray(PidFile::kMaxBytes, 'x'));

    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},  {"binary", binary},       {"LF line ends", lfOnly},
        {"CR line ends", crOnly}, {"truncated", truncated}, {"number", badNumber},
        {"mode", badMode},        {"overflow", tooLarge},   {"NUL", nul},
        {"enormous", enormous},
    };
    for (const auto& [what, bytes] : cases) {
        WriteBytes(path, bytes);
        const PidFileRead r = ReadPidFile(path);
        EXPECT_FALSE(r.loop.has_value()) << what;
        EXPECT_FALSE(r.error.isEmpty()) << what;
    }
    EXPECT_EQ(ReadPidFile(dir.filePath("missing.PID")).error, QStringLiteral("File not found"));
    EXPECT_EQ(ReadPidFile(dir.path()).error, QStringLiteral("File not found")) << "a folder";

    // Extra lines after the fourteenth and a missing last line end are fine.
    WriteBytes(path, kSample + "more\r\n");
    EXPECT_TRUE(ReadPidFile(path).loop.has_value());
    WriteBytes(path, kSample.left(kSample.size() - 2));
    EXPECT_TRUE(ReadPidFile(path).loop.has_value());
}

TEST(PidFiles, LoadingChecksTheNameAndLeavesTheLoopsAloneOnFailure) {
    SeparatorGuard dot(QLatin1Char('.'));
    QTemporaryDir dir;
    PidLoops loops;
    loops.InitialiseStartupLoops();
    ASSERT_TRUE(loops[1].K("3").ok());
    const PidSettings before = loops[1].Settings();

    const QString other = dir.filePath("other.PID");
    QByteArray named = kSample;
    named.replace("PID 1", "TICZA116");
    WriteBytes(other, named);
    PidLoadOutcome out = LoadPidSettings(loops, 1, other);
    EXPECT_EQ(out.kind, PidLoadOutcome::Kind::NotAllowed);
    EXPECT_EQ(out.messageText,
              QStringLiteral(" Loading TICZA116 settings to your \ncurrent PID is not allowed!"));
    EXPECT_EQ(loops[1].Settings(), before);
    EXPECT_EQ(loops[1].GetDesc(), QStringLiteral("Temperature PID"));

    const QString broken = dir.filePath("broken.PID");
    WriteBytes(broken, kSample.left(20));
    out = LoadPidSettings(loops, 1, broken);
    EXPECT_EQ(out.kind, PidLoadOutcome::Kind::Failed);
    EXPECT_EQ(out.messageText,
              QStringLiteral(" Error loading PID settings!Input past end of file"));
    EXPECT_EQ(loops[1].Settings(), before);

    // The name matches ("PID 1" is the name of both start-up loops): the
    // file's loop takes the place of the selected one, with an empty trend.
    loops[1].Measurement(QStringLiteral("12"));
    loops[1].AddTrendSample();
    const QString mine = dir.filePath("mine.PID");
    WriteBytes(mine, kSample);
    out = LoadPidSettings(loops, 1, mine);
    EXPECT_EQ(out.kind, PidLoadOutcome::Kind::Loaded);
    EXPECT_EQ(loops[1].Setpoint(), QStringLiteral("180.5"));
    EXPECT_EQ(loops[1].GetDesc(), QStringLiteral("initDesc"));
    EXPECT_TRUE(loops[1].getTrendData().at(0, 2).isEmpty());
    EXPECT_EQ(loops[1].getTrendData().at(0, 0).text(), QStringLiteral("Measurement"));
    EXPECT_EQ(loops[0].GetDesc(), QStringLiteral("LAMBDA PID ")) << "only the selected loop";

    // Case matters, and a list index outside the loops loads nothing.
    QByteArray lower = kSample;
    lower.replace("PID 1", "pid 1");
    WriteBytes(other, lower);
    EXPECT_EQ(LoadPidSettings(loops, 0, other).kind, PidLoadOutcome::Kind::NotAllowed);
    EXPECT_EQ(LoadPidSettings(loops, -1, mine).kind, PidLoadOutcome::Kind::NotAllowed);
}

TEST(PidFiles, DefaultsReplaceTheLoopWithoutANameCheck) {
    SeparatorGuard dot(QLatin1Char('.'));
    QTemporaryDir dir;
    const AppPaths paths(dir.path(), dir.path(), {});
    QByteArray tagged = kSample;
    tagged.replace("PID 1", "TICZA116");
    WriteBytes(dir.filePath("Settings/TICZA116_def.PID"), tagged);
    WriteBytes(dir.filePath("Settings/PICZA303_def.PID"), kSample);

    PidLoops loops;
    loops.InitialiseStartupLoops();
    ASSERT_TRUE(loops[1].h("0.2").ok());
    EXPECT_EQ(LoadPidDefaults(loops, 1, paths).kind, PidLoadOutcome::Kind::Loaded);
    EXPECT_EQ(loops[1].h(), QStringLiteral("0"));
    EXPECT_EQ(loops[1].MeasureScale(), QStringLiteral("0"));
    EXPECT_EQ(loops[1].MeasurePort(), 0);
    EXPECT_EQ(loops[1].GetDesc(), QStringLiteral("initDesc"));
    EXPECT_EQ(LoadPidDefaults(loops, 3, paths).kind, PidLoadOutcome::Kind::Loaded);
    EXPECT_EQ(loops[3].name(), QStringLiteral("TICZA116"));

    // A missing default file names itself.
    const PidSettings before = loops[0].Settings();
    const PidLoadOutcome out = LoadPidDefaults(loops, 0, paths);
    EXPECT_EQ(out.kind, PidLoadOutcome::Kind::Failed);
    EXPECT_EQ(out.messageText, QStringLiteral(" Error loading PID settings! \r\nFile not found: ") +
                                   QDir(dir.path()).filePath("Settings/PID_def.PID"));
    EXPECT_EQ(loops[0].Settings(), before);
    EXPECT_EQ(DefaultPidFile(2), QStringLiteral("Settings\\PICZA304_def.PID"));
    EXPECT_EQ(DefaultPidFile(9), QStringLiteral("Settings\\TICZA116_def.PID"));
}

TEST(PidFiles, TheShippedDefaultsAllLoad) {
    SeparatorGuard dot(QLatin1Char('.'));
    const AppPaths paths(QStringLiteral(TUVIK_SOURCE_DATA_DIR), QDir::tempPath(), {});
    for (int i = 0; i < 4; ++i) {
        PidLoops loops;
        const PidLoadOutcome out = LoadPidDefaults(loops, i, paths);
        EXPECT_EQ(out.kind, PidLoadOutcome::Kind::Loaded) << i << out.messageText.toStdString();
    }
}

TEST(PidFiles, AnInterruptedSaveLeavesTheOldFileAndNoLeftovers) {
    SeparatorGuard dot(QLatin1Char('.'));
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.PID");
    WriteBytes(path, kSample);
    clsPID changed = SampleLoop();
    ASSERT_TRUE(changed.K("9").ok());
    const auto err = SavePidFile(path, &changed, [] { return false; });
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(ReadBytes(path), kSample);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.PID"});

    // Completed, the file is replaced as a whole.
    ASSERT_EQ(SavePidFile(path, &changed, [] { return true; }), std::nullopt);
    EXPECT_TRUE(ReadBytes(path).contains("\r\n9\r\n"));
    // No loop: an empty file.
    ASSERT_EQ(SavePidFile(path, nullptr), std::nullopt);
    EXPECT_TRUE(ReadBytes(path).isEmpty());
    // A folder that does not exist cannot be written.
    EXPECT_TRUE(SavePidFile(dir.filePath("no/such/dir/x.PID"), &changed).has_value());
    EXPECT_EQ(SaveErrorText(), QStringLiteral(" Error Saving PID settings to disk!"));
}
