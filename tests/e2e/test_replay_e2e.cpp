// A session recorded while the windows showed it, replayed as fast as
// possible in a program started afresh: the windows show the same, and
// nothing an operator does meanwhile reaches the device (each attempt is
// told once).
#include <QComboBox>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "E2E.h"
#include "burner/ui/MeasurementsPanel.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "pid/ui/frmStepTest.h"
#include "shell/ui/RecordingsDialog.h"

namespace tuvik::test {

namespace {

class ReplayE2E : public ProgramE2E {};

// What the windows showed, reply by reply: the selected loop's live values
// after each 0x92, the burner window's readings after each 0x97, the
// message log's newest line after each actuator event.
class Shown : public ReplyReceiver {
  public:
    Shown(Session& s, frmFlamora& burner)
        : s_(s), next_(s.ctx().replyReceiver()), panel_(burner.findChild<MeasurementsPanel*>()) {
        s.ctx().setReplyReceiver(this);
    }
    ~Shown() override { s_.ctx().setReplyReceiver(next_); }
    qsizetype Count(const char* kind) const { return lines.filter(QLatin1String(kind)).size(); }
    void HandleReply(uint8_t c, std::span<const uint8_t> d) override {
        next_->HandleReply(c, d);
        if (c == Cmd::LiveValues) {
            const PidLiveValues& v = s_.loops().Selected()->LiveValues();
            lines << QStringLiteral("live %1 %2 %3 %4")
                         .arg(v.Measurement)
                         .arg(v.ControllerOut)
                         .arg(v.y_fw)
                         .arg(v.PIDControllerOut);
        } else if (c == Cmd::Measurements) {
            QStringList texts;
            for (const QLabel* l : panel_->findChildren<QLabel*>()) {
                texts << l->text();
            }
            lines << QStringLiteral("burner ") + texts.join(u'|');
        } else if (c == Cmd::ActuatorEvent) {
            lines << QStringLiteral("log ") +
                         s_.log().logText().section(QStringLiteral("\r\n"), 0, 0);
        }
    }
    QStringList lines;

  private:
    Session& s_;
    ReplyReceiver* next_;
    MeasurementsPanel* panel_;
};

}  // namespace

TEST_P(ReplayE2E, ARecordedSessionReplaysToWhatItShowedAndNothingIsSent) {
    auto live = std::make_unique<Shown>(*session, *burner);
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([&] { return live->Count("burner ") >= 5 && live->Count("log ") >= 1; },
                          std::chrono::seconds(30)));
    const QString path = session->recorder().currentPath();
    Click(main.get(), "btnCon");
    ASSERT_TRUE(WaitUntil([&] { return !session->recorder().recording(); }));
    const QStringList shown = live->lines;
    live.reset();
    TearDown();
    SetUp();

    const qint64 filed = QFileInfo(session->log().DailyFilePath(kNow.date())).size();
    // A recording in another format is refused with the reason.
    Shown replayed(*session, *burner);
    dialogs.files = {
        QStringLiteral(TUVIK_SOURCE_DATA_DIR "/../tests/fuzz/seeds/fuzz_recording/format-2"), path,
        path};
    Click(main.get(), "cmdReplay");
    EXPECT_EQ(dialogs.lastText(),
              QStringLiteral("The recording format-2 cannot be replayed: recording format version "
                             "2; this program reads version 1"));
    Click(main.get(), "cmdReplay");
    ReplayLink* replay = session->replay().link();
    ASSERT_NE(replay, nullptr) << dialogs.lastText().toStdString();
    Find<QComboBox>(main.get(), "cboReplaySpeed")->setCurrentIndex(3);  // as fast as possible
    ASSERT_TRUE(WaitUntil([&] { return replay->ended(); }, std::chrono::seconds(30)));
    EXPECT_EQ(replayed.lines, shown);
    EXPECT_EQ(replay->stopReason(), QString());
    EXPECT_FALSE(session->recorder().recording());  // a replay is not recorded again
    // Its history is kept with the recordings, in the recorded time, and the
    // replayed recording is not pruned; its device events are shown but stay
    // out of today's file.
    const QString history = session->history().databasePath();
    EXPECT_EQ(history, dir.filePath("recordings/replay-history/") + QFileInfo(path).fileName() +
                           ".history.sqlite");
    EXPECT_TRUE(session->recorder().WouldRemove(0).isEmpty());
    session->history().Sync();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("r"));
        db.setDatabaseName(history);
        ASSERT_TRUE(db.open());
        QSqlQuery q(QStringLiteral("SELECT count(*), max(t) FROM sec"), db);
        ASSERT_TRUE(q.next());
        EXPECT_GT(q.value(0).toInt(), 0);
        const qint64 end = (replay->info().startUtcMs + replay->lengthUs() / 1000) / 1000;
        EXPECT_LE(q.value(1).toLongLong(), end);
        EXPECT_GT(q.value(1).toLongLong(), end - 5);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("r"));
    const QString event =
        shown.filter(QStringLiteral("log ")).first().section(u' ', 2).section(u'\t', 0, 0);
    QFile today(session->log().DailyFilePath(kNow.date()));
    today.open(QIODevice::ReadOnly);
    today.seek(filed);  // the live session's lines came before
    EXPECT_FALSE(QString::fromLatin1(today.readAll()).contains(event)) << event.toStdString();
    Click(main.get(), "cmdRecordings");  // the recordings window, with its keep marks
    ASSERT_NE(main->findChild<RecordingsDialog*>(), nullptr);
    EXPECT_TRUE(main->findChild<RecordingsDialog*>()->isVisible());

    Click(main.get(), "btnStepTest");
    const frmStepTest* stepTest = main->windows().stepTest();
    const bool manual = !Find<QPushButton>(stepTest, QStringLiteral("btnManual"))->isEnabled();
    Edit("txtOso")->setText("300");  // boxes that pass their checks: only the replay refuses
    Edit("txtValue")->setText("7");
    const struct {
        const char* path;
        const QObject* window;
        const char* button;
    } rows[] = {
        {"get current values", main.get(), "btnGetCurrentValues"},
        {"apply changes", main.get(), "cmdOK"},
        {"request button +", main.get(), "Command2"},
        {"boot device", main.get(), "btnBoot"},
        {"step test", stepTest, manual ? "btnStart" : "btnManual"},  // whichever is offered
        {"burner: get values", burner, "btnGetvalues"},
        {"burner: send values", burner, "btnSendValues"},
        {"burner: calibrate lambda", burner, "btnCalLambda"},
        {"burner: init params", burner, "Command1"},
        {"single read", burner, "btnRead"},
        {"single read 16bit", burner, "btnRead16Bit"},
        {"single write", burner, "btnWrite"},
        {"single write 16bit", burner, "btnWrite16bit"},
        {"all params: read", burner->allParams(), "btnRead"},
        {"all params: send", burner->allParams(), "Command3"},
        {"histogram", burner->extras(), "btnReadHistogram"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const size_t before = dialogs.shown.size();
        Click(row.window, QString::fromLatin1(row.button));
        ASSERT_EQ(dialogs.shown.size(), before + 1);
        EXPECT_EQ(dialogs.shown.back().kind, QStringLiteral("message"));
        EXPECT_EQ(dialogs.shown.back().text,
                  QStringLiteral("not sent: a recording is being replayed"));
    }

    // The device's answer to one read after the replay proves that it has
    // taken all that was written before: nothing an operator alone sends.
    session->replay().Stop();
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(RoundTrip());
    for (const uint8_t cmd : {Cmd::Boot, Cmd::Plus, Cmd::CalLambda, Cmd::Commit, Cmd::MemWrite,
                              Cmd::ReadWord, Cmd::ReadStatus}) {
        EXPECT_EQ(Requests(cmd), 0U) << int(cmd);
    }
    EXPECT_EQ(Requests(Cmd::ReadByte), 1U);
    // A replay started while connected takes the place of the live link.
    DeviceLink* liveLink = link();
    Click(main.get(), "cmdReplay");
    EXPECT_EQ(link(), session->replay().link());
    EXPECT_FALSE(liveLink->PortOpen());
}

INSTANTIATE_TEST_SUITE_P(Links, ReplayE2E, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);

}  // namespace tuvik::test
