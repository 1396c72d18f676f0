// The PID editor's flows without a window: "Apply changes" as a safe send
// (the read before it, the question, the backup, the locks until the
// verdict), "Get current values", and the step test's step line and its
// suggestion going only into its own loop.
#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cmath>

#include "FakeEditor.h"
#include "RecordingDialogs.h"
#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/DeviceAnswers.h"
#include "link/Packet.h"
#include "pid/PidEditorController.h"
#include "pid/PidLoops.h"
#include "pid/StepTestController.h"
#include "support/ExchangeGuard.h"
#include "support/MessageLog.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

struct PidFlows : ::testing::Test {
    PidFlows() {
        loops.InitialiseStartupLoops();
        editor.safeSend().sender().setPauses(0, 0, 0);
    }
    // The controller answers the read with loop 0's record: K 7.5, setpoint 12.
    void Answer() {
        std::array<uint8_t, 88> record{};
        record[0] = 0x02;
        PutSingle(record, 12, 12.0f);
        PutSingle(record, 16, 7.5f);
        ASSERT_TRUE(loops[0].SetStatusData(record));
        emit answers.statusRecordTaken(0);
    }
    // Loop 0 from its default file, with the boxes the file does not hold set.
    void LoadDefaults() {
        editor.SelectFirstLoop();
        editor.LoadDefaults();
        for (int i = PidBox::h; i <= PidBox::SetpointScale; ++i) {
            view.v.boxes[static_cast<size_t>(i)] = "1";
        }
    }

    SeparatorGuard sep{QLatin1Char('.')};
    QTemporaryDir dir;
    PidLoops loops;
    RecordingDialogs dialogs;
    MessageLog log{dir.path()};
    RecordingLink link;
    DeviceAnswers answers;
    FakeEditor view;
    PidEditorController editor{
        PidEditorContext{.loops = loops,
                         .dialogs = dialogs,
                         .log = log,
                         .answers = &answers,
                         .link = [this] { return &link; },
                         .caption = [] { return QString(); },
                         .setCaption = [](const QString&) {},
                         .backupDir = [this] { return dir.path(); },
                         .findDataFile =
                             [](const QString& p) {
                                 return QStringLiteral(TUVIK_SOURCE_DATA_DIR "/") +
                                        QString(p).replace('\\', '/');
                             }},
        view};
    QSignalSpy ended{&editor.safeSend(), &PidSafeSend::ended};
};

}  // namespace

// The read before the box leaves the editor and the loop as the operator
// made them, nothing that changes the loop moves until the verdict, and the
// backup of the controller's values loads into another loop only when the
// operator says so.
TEST_F(PidFlows, TheLoopStaysUntilTheVerdictAndItsBackupLoadsIntoItUnasked) {
    LoadDefaults();
    const QString typedK = view.v.boxes[PidBox::K];
    editor.Apply();
    EXPECT_EQ(link.bytes, Hex("81 00 7E"));
    EXPECT_TRUE(dialogs.shown.empty()) << "the box waits for the read";
    const PidEditorController::Locks locked = editor.locks();
    EXPECT_FALSE(locked.loopChoice || locked.editor || locked.apply);
    EXPECT_FALSE(editor.SelectLoop(1));
    EXPECT_EQ(loops.selectedIndex(), 0);
    Answer();
    editor.safeSend().setDeviceReadTimes(0, 0);  // the read-back goes unanswered
    ASSERT_TRUE(WaitUntil([&] { return ended.size() == 1; }));
    EXPECT_TRUE(editor.locks().loopChoice);
    // What the operator typed is what the editor and the loop still hold.
    EXPECT_EQ(view.v.boxes[PidBox::K], typedK);
    EXPECT_EQ(loops[0].Settings().K, typedK.toFloat());

    // The backup holds the controller's values and names loop 1: loading it
    // into loop 2 is asked first.
    const QDir backups(dir.filePath(QStringLiteral("backups")));
    const QStringList saved = backups.entryList({QStringLiteral("*.PID")});
    ASSERT_EQ(saved.size(), 1);
    const QString backup = backups.filePath(saved[0]);
    EXPECT_TRUE(backup.endsWith("_PID_1_loop_1.PID")) << backup.toStdString();
    ASSERT_TRUE(editor.SelectLoop(1));
    for (bool yes : {false, true}) {
        dialogs.answerYes = yes;
        dialogs.files = {backup};
        editor.LoadSettings();
        EXPECT_EQ(loops[1].Settings().K, yes ? 7.5f : 0.0f);
    }
    EXPECT_EQ(dialogs.questions,
              QStringList(2, AppTitle() + "|" + PidSafeWriteText::OtherLoopBackup(0, 1)));
}

TEST_F(PidFlows, ApplyRefusesOrAsksFirstAndCancelWritesNothing) {
    editor.SelectFirstLoop();
    editor.ShowLoopSettings();
    editor.Apply();  // the start-up loop's zeros are refused before anything is asked
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, QStringLiteral("message"));
    LoadDefaults();
    dialogs.clear();
    dialogs.confirmAnswers = {false};
    editor.safeSend().setDeviceReadTimes(0, 0);
    editor.Apply();
    // The box opens once the status read before it is over (unanswered here).
    ASSERT_TRUE(WaitUntil([&] { return !dialogs.shown.empty(); }));
    ASSERT_EQ(dialogs.texts(), QStringList{"    Confirm current settings ! \nYou are now changing "
                                           "systems PID-regulation settings!"});
    EXPECT_EQ(dialogs.shown[0].kind + '|' + dialogs.shown[0].title,
              "confirm|PID control settings confirmation.");
    EXPECT_TRUE(dialogs.details.last().startsWith(SafeWriteText::NotRead()));
    EXPECT_EQ(link.bytes, Hex("81 00 7E")) << "only the status read";
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true})) << "polling left off";
    // Confirmed with nothing read: no backup, so the operator is asked, and No sends nothing.
    dialogs.answerYes = false;
    editor.Apply();
    ASSERT_TRUE(WaitUntil([&] { return ended.size() == 3; }));
    EXPECT_EQ(dialogs.questions, QStringList{AppTitle() + "|" + SafeWriteText::WriteWithoutBackup()});
    EXPECT_EQ(ended[2][0].value<SafeWrite::Outcome>(), SafeWrite::Outcome::NotSent);
    EXPECT_TRUE(link.packets.isEmpty());
}

// Get current values waits its 300 ms whatever comes, then shows what the
// loop holds; no record is told. Like every device read it waits its turn,
// and so does Apply changes, before the editor is even checked.
TEST_F(PidFlows, GetCurrentValuesWaitsItsTimeAndItsTurn) {
    editor.SelectFirstLoop();
    link.Clear();
    for (bool answered : {false, true}) {
        editor.GetCurrentValues();
        EXPECT_EQ(link.bytes, Hex("81 00 7E"));
        QTimer& timer = editor.currentValuesTimer();
        ASSERT_TRUE(timer.isActive());
        EXPECT_EQ(timer.interval(), 300);
        EXPECT_FALSE(editor.locks().apply || editor.locks().getValues || editor.locks().loopChoice);
        if (answered) {
            Answer();
        }
        ASSERT_TRUE(WaitUntil([&] { return editor.locks().getValues; }));
        EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
        EXPECT_EQ(dialogs.texts(),
                  answered ? QStringList() : QStringList{PidEditorController::kNoStatusText});
        EXPECT_EQ(view.v.boxes[PidBox::K], answered ? "7.5" : "0");
        link.Clear();
        dialogs.clear();
    }
    ExchangeLock other(QStringLiteral("parameter set upload"));
    editor.GetCurrentValues();
    editor.Apply();
    EXPECT_TRUE(link.bytes.isEmpty() && link.refreshCalls.isEmpty());
    EXPECT_EQ(dialogs.texts(), QStringList(2, ExchangeGuard::BusyMessage()));
}

// The step line says where the step goes from, and a suggestion goes only
// into the editor of the record's loop.
TEST_F(PidFlows, StepLineAndSuggestionsOnlyForTheRecordsLoop) {
    StepTestController test(loops, editor, dialogs, log, [] { return true; });
    editor.SelectFirstLoop();
    PidSettings s = loops[0].Settings();
    s.ManualVal = 40;
    s.MaxContr = 100;
    s.AutoMode = true;
    loops[0].SetSettings(s);
    // In automatic at a live output of 100 %: the step starts there, not at
    // the manual value the editor holds.
    loops[0].WriteLiveSingle(clsPID::LiveField::ControllerOut, 100);
    test.Shown();
    EXPECT_EQ(test.view().stepTo, QStringLiteral("live output 100 % to 90 %"));
    s.AutoMode = false;  // as a fresh loop's record reports it: in manual
    loops[0].SetSettings(s);
    test.setStep(5);
    EXPECT_EQ(test.view().stepTo, QStringLiteral("manual output 40 % to 45 %"));

    // Gain 2, time constant 5 s, dead time 2 s, a step of 10 at t = 0.
    StepRecord r;
    r.loopName = loops[0].GetName();
    r.outputBefore = 40;
    r.outputAfter = 50;
    for (int i = -50; i <= 400; ++i) {
        const double t = i * 0.1;
        const double y = t < 2 ? 0 : 20 * (1 - std::exp(-(t - 2) / 5));
        r.samples.push_back({t, t < 0 ? 40.0 : 50.0, 30 + y});
    }
    test.Analyse(r);
    ASSERT_TRUE(test.analysis().Suggest(loops, 40).usable);
    ASSERT_TRUE(editor.SelectLoop(1));
    const PidEditorValues other = view.v;
    QSignalSpy status(&test, &StepTestController::status);
    test.UseSuggestion(TuningRule::Lambda);
    EXPECT_EQ(view.v.boxes, other.boxes);
    EXPECT_TRUE(status.last().at(0).toString().startsWith("These settings are for loop 1"));
    ASSERT_TRUE(editor.SelectLoop(0));
    PidEditorValues want = view.v;
    test.UseSuggestion(TuningRule::Lambda);
    want.boxes[PidBox::K] = "0.548";
    want.boxes[PidBox::Ti] = "6";
    want.boxes[PidBox::Td] = "0.833";
    EXPECT_EQ(view.v.boxes, want.boxes);
    EXPECT_EQ(std::tuple(view.v.manual, view.v.automatic, view.v.enable),
              std::tuple(want.manual, want.automatic, want.enable));
}
