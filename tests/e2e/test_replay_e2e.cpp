// A recording replayed through the real windows: nothing an operator does
// while it plays reaches the device, and each attempt is told once.
#include <QComboBox>

#include "E2E.h"
#include "MemorySource.h"
#include "burner/ui/MeasurementsPanel.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "pid/ui/frmStepTest.h"

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
    qsizetype Count(const QString& kind) const {
        return lines.filter(QRegularExpression("^" + kind)).size();
    }
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

// A recording that goes on for an hour: the replay is still playing
// throughout the test.
std::unique_ptr<MemorySource> HourLongRecording() {
    auto src = std::make_unique<MemorySource>();
    const uint8_t alarmOff[] = {0};
    src->Add(0, EncodePacket(Cmd::Alarm, alarmOff));
    src->Add(3'600'000'000LL, EncodePacket(Cmd::Alarm, alarmOff));
    return src;
}

}  // namespace

TEST_P(ReplayE2E, EverySendIsRefusedOnceAndNothingReachesTheDevice) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(RoundTrip());
    Click(main.get(), "btnStepTest");
    frmStepTest* stepTest = main->windows().stepTest();
    const QPushButton* stepManual = Find<QPushButton>(stepTest, QStringLiteral("btnManual"));
    frmAllParams* allParams = burner->allParams();
    // Commands only an operator's action sends.
    const std::array<uint8_t, 7> watched = {Cmd::Boot,    Cmd::Plus,     Cmd::CalLambda,
                                            Cmd::Commit,  Cmd::MemWrite, Cmd::ReadWord,
                                            Cmd::ReadByte};
    std::array<uint64_t, 7> before{};
    for (size_t i = 0; i < watched.size(); ++i) {
        before[i] = Requests(watched[i]);
    }
    // A recording in another format is refused, the live link left as it was.
    auto other = HourLongRecording();
    other->recordingInfo = {.formatVersion = 2, .toolVersion = QStringLiteral("9.1.0")};
    EXPECT_EQ(session->replay().Start(std::move(other), QStringLiteral("new")),
              QStringLiteral("This recording cannot be replayed: it was made by version 9.1.0 in "
                             "recording format 2, and this version reads format 1."));
    EXPECT_TRUE(link()->PortOpen());

    ASSERT_FALSE(session->replay().Start(HourLongRecording(), QStringLiteral("hour")));
    ASSERT_EQ(link(), session->replay().link());
    EXPECT_FALSE(main->windows().serial()->link().PortOpen());
    EXPECT_TRUE(session->ctx().LinkConnected());
    // Boxes that would pass their checks, so only the replay refuses.
    Edit("txtOso")->setText("300");
    Edit("txtValue")->setText("7");

    const struct {
        const char* path;
        QObject* window;
        const char* button;
    } rows[] = {
        {"get current values", main.get(), "btnGetCurrentValues"},
        {"apply changes", main.get(), "cmdOK"},
        {"request button +", main.get(), "Command2"},
        {"boot device", main.get(), "btnBoot"},
        // Put in manual or start, whichever the loop's mode offers.
        {"step test", stepTest, stepManual->isEnabled() ? "btnManual" : "btnStart"},
        {"burner: get values", burner, "btnGetvalues"},
        {"burner: send values", burner, "btnSendValues"},
        {"burner: calibrate lambda", burner, "btnCalLambda"},
        {"burner: init params", burner, "Command1"},
        {"single read", burner, "btnRead"},
        {"single read 16bit", burner, "btnRead16Bit"},
        {"single write", burner, "btnWrite"},
        {"single write 16bit", burner, "btnWrite16bit"},
        {"all params: read", allParams, "btnRead"},
        {"all params: send", allParams, "Command3"},
        {"histogram", burner->extras(), "btnReadHistogram"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const size_t shown = dialogs.shown.size();
        Click(row.window, QString::fromLatin1(row.button));
        ASSERT_EQ(dialogs.shown.size(), shown + 1);
        EXPECT_EQ(dialogs.shown.back().kind, QStringLiteral("message"));
        EXPECT_EQ(dialogs.shown.back().text,
                  QStringLiteral("not sent: a recording is being replayed"));
    }

    // Back to the device: its answer to one read proves that everything
    // written before it has been taken.
    session->replay().Stop();
    EXPECT_EQ(session->ctx().activeLink(), nullptr);
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(RoundTrip());
    for (size_t i = 0; i < watched.size(); ++i) {
        SCOPED_TRACE(watched[i]);
        EXPECT_EQ(Requests(watched[i]), before[i] + (watched[i] == Cmd::ReadByte ? 1 : 0));
    }
}

// A session recorded while the windows showed it, then replayed as fast as
// possible in a program started afresh: the windows show the same.
TEST_P(ReplayE2E, ARecordedSessionReplaysToWhatTheSessionShowed) {
    auto live = std::make_unique<Shown>(*session, *burner);
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(WaitUntil([&] { return live->Count("burner") >= 5 && live->Count("log") >= 1; },
                          std::chrono::seconds(30)));
    const QString path = session->recorder().currentPath();
    Click(main.get(), "btnCon");
    ASSERT_TRUE(WaitUntil([&] { return !session->recorder().recording(); }));
    const QStringList shown = live->lines;
    live.reset();
    TearDown();
    SetUp();

    Shown replayed(*session, *burner);
    dialogs.files = {path};
    Click(main.get(), "cmdReplay");
    ReplayLink* replay = session->replay().link();
    ASSERT_NE(replay, nullptr) << dialogs.lastText().toStdString();
    Find<QComboBox>(main.get(), "cboReplaySpeed")->setCurrentIndex(3);  // as fast as possible
    ASSERT_TRUE(WaitUntil([&] { return replay->ended(); }, std::chrono::seconds(30)));
    EXPECT_EQ(replayed.lines, shown);
    EXPECT_EQ(replay->stopReason(), QString());
    EXPECT_FALSE(session->recorder().recording());  // a replay is not recorded again
}

INSTANTIATE_TEST_SUITE_P(Links, ReplayE2E, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);

}  // namespace tuvik::test
