// A loop's settings to the controller (the PID send, with its pauses) and to
// and from *.PID files.
#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/DeviceAnswers.h"
#include "pid/PidFiles.h"
#include "pid/PidSettingsSend.h"
#include "shell/AppPaths.h"
#include "support/EventLog.h"
#include "support/ExchangeGuard.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

PidEditorValues Editor() {
    PidEditorValues v;
    v.boxes = {"180",  "100", "10",  "1.5", "60", "4", "15", "5", "0.8",
               "0.25", "30",  "0.5", "1",   "2",  "3", "1",  "1", "1"};
    v.automatic = true;
    v.enable = 1;
    v.remoteSetpoint = 0;
    v.manual = 35;
    return v;
}

QString Hexed(const std::vector<uint8_t>& v) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()))
            .toHex(' ')
            .toUpper());
}

// The controller acknowledges every memory write (positively unless `refuse`
// names its place) a moment later, announced as the dispatcher would.
struct AckingLink : RecordingLink {
    DeviceAnswers answers;
    int writes = 0;
    int refuse = -1;
    AckingLink() {
        onPacket = [this](const QByteArray& p) {
            if (p[0] == char(0x85) && writes++ != refuse) {
                QMetaObject::invokeMethod(
                    this, [this] { emit answers.writeAcknowledged(true); }, Qt::QueuedConnection);
            }
        };
    }
};

struct PidSendSequence : ::testing::Test {
    SeparatorGuard sep{QLatin1Char('.')};
    Clock clock{Clock::ByHand{}};
    AckingLink link;
    PidSettingsSend send{&link.answers};
    QSignalSpy finished{&send, &PidSettingsSend::finished};
    RecordingEventLog events;
    ScopedEventLog scopedLog{events};
    PidSendSequence() { send.setClock(clock); }

    bool Start(int listIndex, uint8_t autoSetPoint = 0, DeviceLink* to = nullptr) {
        to = to ? to : &link;
        return send.start(std::move(*PidSettingsSend::BuildLoop(Editor(), listIndex, to).loop),
                          autoSetPoint, to);
    }
    PidSettingsSend::Outcome Outcome() const {
        return finished.last().at(0).value<PidSettingsSend::Outcome>();
    }
    // Every pause the send waits (its length and the packets sent before it),
    // the clock moved on by each, until the send ends.
    std::vector<std::pair<qint64, qsizetype>> RunPauses() {
        std::vector<std::pair<qint64, qsizetype>> pauses;
        for (int i = 0; i < 20 && send.running(); ++i) {
            QCoreApplication::processEvents();  // the acknowledgements, a moment after each write
            pauses.emplace_back(clock.NextDueMs(), link.packets.size());
            clock.Advance(pauses.back().first);
        }
        return pauses;
    }
};

}  // namespace

TEST(PidSend, EditorBlockGoesToTheLoopsAddressesInFiveWrites) {
    const std::pair<int, int> targets[] = {{0, 700}, {1, 800}, {2, 900}, {3, 1000}, {-1, 1000}};
    for (const auto& [index, base] : targets) {
        EXPECT_EQ(PidSettingsSend::TargetFor(index).base, base) << index;
    }
    // The writes' bytes are pinned on the wire by the send below.
    PidEditorValues v = Editor();
    v.automatic = false;
    v.enable = 0;
    v.remoteSetpoint = 1;
    EXPECT_EQ(
        Hexed(PidSettingsSend::ParameterWrites(*PidSettingsSend::BuildLoop(v, 0, nullptr).loop)[4]
                  .bytes),
        "00 00 01 02 00 01 03");
    v.boxes[PidBox::h] = "";  // a box that is no number is found before anything is sent
    EXPECT_EQ(PidSettingsSend::BuildLoop(v, 1, nullptr).error, QStringLiteral("Type mismatch"));
    v = Editor();
    v.boxes[PidBox::RemoteSetpointPort] = "300";
    EXPECT_EQ(PidSettingsSend::BuildLoop(v, 1, nullptr).error, QStringLiteral("Overflow"));
}

TEST_F(PidSendSequence, SixAcknowledgementsAfterTheirPausesSendTheCommit) {
    SeparatorGuard comma(QLatin1Char(','));  // the boxes hold dots whatever the locale
    ASSERT_TRUE(Start(0, /*autoSetPoint=*/1));
    EXPECT_TRUE(ExchangeGuard::Busy());
    using Pauses = std::vector<std::pair<qint64, qsizetype>>;
    EXPECT_EQ(RunPauses(), (Pauses{{200, 2}, {200, 3}, {200, 4}, {200, 5}, {200, 6}, {1000, 6}}));
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::Sent);
    EXPECT_TRUE(finished.last().at(1).toString().endsWith(" PID settings sent successfully!"));
    // The flag (08: automatic setpoint) at 700 first; then ManualVal 35, Setpoint 180, K 1.5,
    // Ti 60, Td 4, ForwardK 0.25; tt 15, N 5, b 0.8, MinContr 10; MaxContr 100, Tm 30, h 0.5;
    // the three scales; last the mode, enable and port bytes.
    EXPECT_EQ(
        link.HexPackets(),
        QStringList({"85 03 BC 02 08 7A",
                     "85 1A C4 02 00 00 0C 42 00 00 34 43 00 00 C0 3F 00 00 70 42 00 00 80 40 "
                     "00 00 80 3E 7A",
                     "85 12 DC 02 00 00 70 41 00 00 A0 40 CD CC 4C 3F 00 00 20 41 7A",
                     "85 0E EC 02 00 00 C8 42 00 00 F0 41 00 00 00 3F 7A",
                     "85 0E F8 02 00 00 80 3F 00 00 80 3F 00 00 80 3F 7A",
                     "85 09 BC 02 02 01 01 02 00 00 03 7A"}));
    EXPECT_EQ(link.bytes, Hex("34 00 CB"));
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_FALSE(ExchangeGuard::Busy() || !events.entries.empty());

    link.Clear();  // over the relay the last pause is twice as long; a clear flag writes 0
    link.relay = true;
    ASSERT_TRUE(Start(3));
    EXPECT_EQ(RunPauses(),
              (Pauses{{200, 2}, {200, 3}, {200, 4}, {200, 5}, {200, 6}, {1000, 6}, {1000, 6}}));
    EXPECT_EQ(link.HexPackets().first(), QStringLiteral("85 03 E8 03 00 7A"));
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::Sent);
}

TEST_F(PidSendSequence, ARefusedOrAnExtraAcknowledgementIsNoSuccess) {
    link.refuse = 2;
    ASSERT_TRUE(Start(1));
    ASSERT_EQ((RunPauses(), finished.count()), 1);
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::NotAcknowledged);
    EXPECT_TRUE(link.bytes.isEmpty()) << "no 0x34";
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    link.refuse = -1;
    link.Clear();
    link.onPacket = [this, acking = link.onPacket](const QByteArray& p) {
        acking(p);
        if (link.packets.size() == 3) {
            emit link.answers.writeAcknowledged(true);  // a stray one counted meanwhile
        }
    };
    ASSERT_TRUE(Start(1));
    ASSERT_EQ((RunPauses(), finished.count()), 2);
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::NotAcknowledged);
    EXPECT_TRUE(link.bytes.isEmpty());
}

TEST_F(PidSendSequence, ALostClosedOrBusyLinkEndsOrRefusesTheSend) {
    ASSERT_TRUE(Start(0));
    clock.Advance(200);
    ASSERT_EQ(link.packets.size(), 3);
    link.Lose(QStringLiteral("device gone"));
    EXPECT_EQ(std::tuple(Outcome(), finished.last().at(1).toString()),
              std::tuple(PidSettingsSend::Outcome::Failed, QString("device gone")));
    EXPECT_FALSE(clock.NextDueMs() >= 0 || ExchangeGuard::Busy()) << "nothing after the loss";
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_EQ(events.texts(), QStringList{"Error Sendpid: device gone"});
    link.Clear();
    link.open = false;
    ASSERT_TRUE(Start(0));
    EXPECT_EQ(std::tuple(finished.count(), Outcome()),
              std::tuple(qsizetype{2}, PidSettingsSend::Outcome::Failed));
    EXPECT_TRUE(link.packets.isEmpty());
    link.open = true;
    link.Clear();
    ASSERT_TRUE(ExchangeGuard::TryAcquire(QStringLiteral("parameter set upload")));
    EXPECT_FALSE(Start(0));
    EXPECT_TRUE(link.packets.isEmpty() && link.refreshCalls.isEmpty());
    ExchangeGuard::Release();
    ASSERT_TRUE(Start(0));
    send.abandon();  // the window closes: polling back, nothing reported
    EXPECT_FALSE(send.running() || ExchangeGuard::Busy() || clock.NextDueMs() >= 0);
    EXPECT_EQ(std::tuple(link.refreshCalls.last(), finished.count()),
              std::tuple(true, qsizetype{2}));
}

namespace {

const QByteArray kSample =
    "PID 1\r\n 1 "
    "\r\n180.5\r\n100\r\n10\r\n1.5\r\n60\r\n4\r\n15\r\n5\r\n0.8\r\n-0.25\r\n30\r\n2\r\n";

}  // namespace

TEST(PidFiles, FourteenLinesWithDotsInEveryLocaleAndOnlyOneIsAutomatic) {
    QTemporaryDir dir;
    const QString path = dir.filePath("mine.PID");
    for (QChar sep : {QLatin1Char(','), QLatin1Char('.')}) {
        SeparatorGuard guard(sep);
        std::optional<clsPID> loop = ParsePidFile(kSample).loop;
        ASSERT_TRUE(loop.has_value());
        EXPECT_EQ(std::tuple(loop->Settings().Setpoint, loop->Settings().ForwardK, loop->name()),
                  std::tuple(180.5f, -0.25f, QString("PID 1")));
        ASSERT_TRUE(loop->h(QStringLiteral("0.5")));  // the cycle time is not kept
        ASSERT_EQ(SavePidFile(path, &*loop), std::nullopt);
        EXPECT_EQ(ReadFile(path), kSample);
    }
    for (const auto& [line, automatic] : {std::pair("1", 1), {" 0 ", 0}, {"2", 0}, {"0.6", 1}}) {
        const auto r =
            ParsePidFile(QByteArray(kSample).replace(" 1 \r\n", QByteArray(line) + "\r\n"));
        EXPECT_EQ(r.loop ? r.loop->AutoMode() : -1, automatic) << line;
    }
    EXPECT_TRUE(ParsePidFile(kSample + "more\r\n").loop && ParsePidFile(kSample.chopped(2)).loop);
}

TEST(PidFiles, MalformedFilesGiveAnErrorAndNoLoop) {
    SeparatorGuard dot(QLatin1Char('.'));
    const QByteArray cases[] = {QByteArray(),
                                QByteArray(kSample).replace("\r\n", "\n"),
                                QByteArray(kSample).replace("\r\n", "\r"),
                                kSample.left(kSample.indexOf("0.8")),
                                QByteArray(kSample).replace("\r\n4\r\n", "\r\nfour\r\n"),
                                QByteArray(kSample).replace(" 1 \r\n", "yes\r\n"),
                                QByteArray(kSample).replace("180.5", "1e39")};
    for (const QByteArray& bytes : cases) {
        const PidFileRead r = ParsePidFile(bytes);
        EXPECT_FALSE(r.loop.has_value() || r.error.isEmpty())
            << bytes.left(30).toHex(' ').constData();
    }
    QTemporaryDir dir;
    ASSERT_TRUE(WriteFile(dir.filePath("big.PID"), kSample + QByteArray(PidFile::kMaxBytes, 'x')));
    EXPECT_FALSE(ReadPidFile(dir.filePath("big.PID")).loop.has_value());
    EXPECT_EQ(ReadPidFile(dir.filePath("missing.PID")).error, QStringLiteral("File not found"));
    EXPECT_EQ(ReadPidFile(dir.path()).error, QStringLiteral("File not found")) << "a folder";

    const QString path = dir.filePath("keep.PID");  // an interrupted save leaves the old file
    ASSERT_TRUE(WriteFile(path, kSample));
    clsPID changed = *ParsePidFile(kSample).loop;
    ASSERT_TRUE(changed.K("9").ok());
    EXPECT_TRUE(SavePidFile(path, &changed, [] { return false; }).has_value());
    EXPECT_EQ(ReadFile(path), kSample);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"big.PID", "keep.PID"}));
    ASSERT_EQ(SavePidFile(path, &changed, [] { return true; }), std::nullopt);
    EXPECT_TRUE(ReadFile(path).contains("\r\n9\r\n"));
    EXPECT_TRUE(SavePidFile(dir.filePath("no/such/dir/x.PID"), &changed).has_value());
}

TEST(PidFiles, LoadingChecksTheNameDefaultsDoNot) {
    SeparatorGuard dot(QLatin1Char('.'));
    QTemporaryDir dir;
    PidLoops loops;
    loops.InitialiseStartupLoops();
    ASSERT_TRUE(loops[1].K("3").ok());
    const PidSettings before = loops[1].Settings();
    const QString other = dir.filePath("Settings/TICZA116_def.PID");
    ASSERT_TRUE(WriteFile(other, QByteArray(kSample).replace("PID 1", "TICZA116")));
    EXPECT_EQ(LoadPidSettings(loops, 1, other).messageText,
              QStringLiteral(" Loading TICZA116 settings to your \ncurrent PID is not allowed!"));
    const QString broken = dir.filePath("broken.PID");
    ASSERT_TRUE(WriteFile(broken, kSample.left(20)));
    EXPECT_EQ(LoadPidSettings(loops, 1, broken).messageText,
              QStringLiteral(" Error loading PID settings!Input past end of file"));
    EXPECT_EQ(loops[1].Settings(), before);

    loops[1].AddTrendSample();
    ASSERT_TRUE(WriteFile(broken, kSample));  // the names match: the file's loop takes its place
    EXPECT_EQ(LoadPidSettings(loops, -1, broken).kind, PidLoadOutcome::Kind::NotAllowed);
    EXPECT_EQ(LoadPidSettings(loops, 1, broken).kind, PidLoadOutcome::Kind::Loaded);
    EXPECT_EQ(std::tuple(loops[1].Setpoint(), loops[0].GetDesc()),
              std::tuple(QString("180.5"), QString("LAMBDA PID ")));
    EXPECT_TRUE(loops[1].getTrendData().at(0, 2).isEmpty()) << "a fresh trend";

    const AppPaths paths(dir.path(), dir.path(), {});  // defaults: no name check
    EXPECT_EQ(LoadPidDefaults(loops, 3, paths.FindDataFile(DefaultPidFile(3))).kind,
              PidLoadOutcome::Kind::Loaded);
    EXPECT_EQ(loops[3].name(), QStringLiteral("TICZA116"));
    EXPECT_EQ(LoadPidDefaults(loops, 0, paths.FindDataFile(DefaultPidFile(0))).messageText,
              " Error loading PID settings! \r\nFile not found: " +
                  QDir(dir.path()).filePath("Settings/PID_def.PID"));
    EXPECT_EQ(DefaultPidFile(2), QStringLiteral("Settings\\PICZA304_def.PID"));
    const AppPaths shipped(QStringLiteral(TUVIK_SOURCE_DATA_DIR), QDir::tempPath(), {});
    for (int i = 0; i < 4; ++i) {
        PidLoops fresh;
        EXPECT_EQ(LoadPidDefaults(fresh, i, shipped.FindDataFile(DefaultPidFile(i))).kind,
                  PidLoadOutcome::Kind::Loaded)
            << i;
    }
}
