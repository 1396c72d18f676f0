// Apply changes on a recording link: the backup is on disk at the moment the
// first write request is written, and the status read before the box leaves
// the editor and the loop as the operator made them.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "RecordingDialogs.h"
#include "RecordingLink.h"
#include "ScratchOptions.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "link/ReplyDispatcher.h"
#include "pid/PidEditorWidget.h"
#include "pid/PidFiles.h"
#include "shell/Session.h"
#include "shell/frmPID.h"

using namespace tuvik;
using tuvik::test::RecordingDialogs;
using tuvik::test::RecordingLink;
using tuvik::test::WaitUntil;

TEST(PidSafeWrite, TheBackupIsOnDiskWhenTheFirstWriteGoesOut) {
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

    std::optional<PidFileRead> atFirstWrite;
    link.onPacket = [&](const QByteArray& p) {
        if (!atFirstWrite && static_cast<uint8_t>(p[0]) == Cmd::MemWrite) {
            const QStringList b = QDir(dir.filePath("backups")).entryList(QDir::Files);
            atFirstWrite = b.size() == 1 ? ReadPidFile(dir.filePath("backups/" + b[0]))
                                         : PidFileRead{std::nullopt, "no single backup"};
        }
    };
    QTest::mouseClick(w.findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    EXPECT_EQ(link.bytes, test::Hex("81 00 7E"));
    EXPECT_TRUE(dialogs.shown.empty()) << "the box waits for the read";
    // The controller answers: K 7.5, setpoint 12.
    std::array<uint8_t, 88> record{};
    record[0] = 0x02;
    PutSingle(record, 12, 12.0f);
    PutSingle(record, 16, 7.5f);
    session.dispatcher().HandleReply(Cmd::StatusRecord, record);
    ASSERT_TRUE(WaitUntil([&] { return atFirstWrite.has_value(); }));
    ASSERT_TRUE(atFirstWrite->loop) << atFirstWrite->error.toStdString();
    EXPECT_EQ(atFirstWrite->loop->GetName(), session.loops()[0].GetName());
    EXPECT_EQ(atFirstWrite->loop->K(), QStringLiteral("7.5"));
    EXPECT_EQ(atFirstWrite->loop->Setpoint(), QStringLiteral("12"));
    // What the operator typed is what the editor and the loop still hold.
    EXPECT_EQ(box(PidBox::K)->text(), typedK);
    EXPECT_EQ(session.loops()[0].K(), typedK);
    w.editor().Unload();
}
