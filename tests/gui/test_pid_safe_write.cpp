// Apply changes on a recording link: the status read before the box leaves
// the editor and the loop as the operator made them, nothing that changes the
// loop moves until the verdict, and the backup of the controller's values
// loads into another loop only when the operator says so.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "RecordingDialogs.h"
#include "RecordingLink.h"
#include "ScratchOptions.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "shell/ReplyDispatcher.h"
#include "pid/ui/PidEditorWidget.h"
#include "pid/PidWriteCheck.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"

using namespace tuvik;
using tuvik::test::RecordingDialogs;
using tuvik::test::RecordingLink;
using tuvik::test::WaitUntil;

TEST(PidSafeWrite, TheLoopStaysUntilTheVerdictAndItsBackupLoadsIntoItUnasked) {
    QTemporaryDir dir;
    RecordingDialogs dialogs;
    Session session(AppPaths(dir.path(), dir.path(), {QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
    frmPID w(session, tuvik::test::ScratchOptions(dir.path(), &dialogs));
    w.Form_Load();
    RecordingLink link;
    session.ctx().setActiveLink(&link);
    const auto box = [&](int i) {
        return w.findChild<QLineEdit*>(QStringLiteral("TextAutoPID_%1").arg(i));
    };
    QTest::mouseClick(w.findChild<QPushButton*>("cmdDefaults"), Qt::LeftButton);
    for (int i = PidBox::h; i <= PidBox::SetpointScale; ++i) {
        box(i)->setText("1");
    }
    const QString typedK = box(PidBox::K)->text();

    w.editor().sender().setPauses(0, 0, 0);
    QSignalSpy ended(&w.editor().controller().safeSend(), &PidSafeSend::ended);
    QTest::mouseClick(w.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(link.bytes, test::Hex("81 00 7E"));
    EXPECT_TRUE(dialogs.shown.empty()) << "the box waits for the read";
    // Nothing that changes the loop moves until the read-back is over.
    auto* combo = w.findChild<QComboBox*>("comboPID");
    for (const char* name : {"comboPID", "cmdDefaults", "cmdLoadSettings", "TextAutoPID_3"}) {
        EXPECT_FALSE(w.findChild<QWidget*>(name)->isEnabled()) << name;
    }
    combo->setCurrentIndex(1);
    EXPECT_EQ(std::pair(combo->currentIndex(), session.loops().selectedIndex()), std::pair(0, 0));
    // The controller answers: K 7.5, setpoint 12.
    std::array<uint8_t, 88> record{};
    record[0] = 0x02;
    PutSingle(record, 12, 12.0f);
    PutSingle(record, 16, 7.5f);
    session.dispatcher().HandleReply(Cmd::StatusRecord, record);
    w.editor().setDeviceReadTimes(0, 0);  // the read-back goes unanswered
    ASSERT_TRUE(WaitUntil([&] { return ended.size() == 1; }));
    EXPECT_TRUE(combo->isEnabled());
    // What the operator typed is what the editor and the loop still hold.
    EXPECT_EQ(box(PidBox::K)->text(), typedK);
    EXPECT_EQ(session.loops()[0].K(), typedK);

    // The backup holds the controller's values and names loop 1: loading it
    // into loop 2 is asked first.
    const QString backup = w.editor().lastBackup();
    EXPECT_TRUE(backup.endsWith("_PID_1_loop_1.PID")) << backup.toStdString();
    combo->setCurrentIndex(1);
    for (bool yes : {false, true}) {
        dialogs.answerYes = yes;
        dialogs.files = {backup};
        QTest::mouseClick(w.findChild<QPushButton*>("cmdLoadSettings"), Qt::LeftButton);
        EXPECT_EQ(session.loops()[1].K(), yes ? QStringLiteral("7.5") : QStringLiteral("0"));
    }
    EXPECT_EQ(dialogs.questions,
              QStringList(2, AppTitle() + "|" + PidSafeWriteText::OtherLoopBackup(0, 1)));
    w.editor().Unload();
}
