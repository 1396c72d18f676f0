// Apply changes in the main window on a recording link: the controls that
// change the loop stay locked until the verdict, and the boxes keep what the
// operator typed (the order of the exchanges, what the loop and the backup
// hold are the flows' unit test).
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
#include "pid/ui/PidEditorWidget.h"
#include "shell/ReplyDispatcher.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"

using namespace tuvik;
using tuvik::test::RecordingDialogs;
using tuvik::test::RecordingLink;
using tuvik::test::WaitUntil;

TEST(PidSafeWrite, TheControlsThatChangeTheLoopStayLockedUntilTheVerdict) {
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
    const auto enabled = [&] {
        QList<bool> on;
        for (const char* name : {"comboPID", "cmdDefaults", "cmdLoadSettings", "TextAutoPID_3"}) {
            on << w.findChild<QWidget*>(name)->isEnabled();
        }
        return on;
    };
    EXPECT_EQ(enabled(), QList<bool>(4, false));
    auto* combo = w.findChild<QComboBox*>("comboPID");
    combo->setCurrentIndex(1);
    EXPECT_EQ(std::pair(combo->currentIndex(), session.loops().selectedIndex()), std::pair(0, 0));
    // The controller answers with a status record of its own.
    session.dispatcher().HandleReply(Cmd::StatusRecord, std::array<uint8_t, 88>{0x02});
    w.editor().setDeviceReadTimes(0, 0);  // the read-back goes unanswered
    ASSERT_TRUE(WaitUntil([&] { return ended.size() == 1; }));
    EXPECT_EQ(enabled(), QList<bool>(4, true));
    EXPECT_EQ(box(PidBox::K)->text(), typedK);
    w.editor().Unload();
}
