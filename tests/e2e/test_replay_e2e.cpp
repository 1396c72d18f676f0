// A session recorded while the windows showed it, replayed as fast as
// possible in a program started afresh: the windows show the same, and
// nothing an operator does meanwhile reaches the device (each attempt is
// told once).
#include <QComboBox>

#include <cmath>

#include "E2E.h"
#include "MemorySource.h"
#include "SimDevice.h"
#include "SyntheticRecording.h"
#include "burner/BurnerIdentity.h"
#include "burner/ui/MeasurementsPanel.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "pid/ui/frmStepTest.h"
#include "shell/ui/RecordingsDialog.h"
#include "support/LocaleText.h"

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
            // Without its time: a replay shows the recorded one.
            lines << QStringLiteral("log ") +
                         s_.log().logText().section(QStringLiteral("\r\n"), 0, 0).section(u' ', 1);
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
    const qint64 end = (replay->info().startUtcMs + replay->lengthUs() / 1000) / 1000;
    // Rows, and the newest second within the last five of the recording.
    EXPECT_EQ(HistoryRows(history, QStringLiteral("SELECT count(*) > 0, max(t) BETWEEN %1 AND %2 "
                                                  "FROM sec").arg(end - 4).arg(end)),
              QStringList{"1 1"});
    const QString event =
        shown.filter(QStringLiteral("log ")).first().section(u' ', 1).section(u'\t', 0, 0);
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

namespace {

const QDateTime kRecorded(QDate(2026, 12, 4), QTime(10, 0, 0));

// Two recorded minutes of a device unlike the live one: another burner
// version and parameters, another loop tuning, a byte of `address` read,
// an actuator event and a start, live values, measurements and analog inputs.
std::unique_ptr<MemorySource> RecordedDevice(int address) {
    sim::SimDevice rec({.seed = 9, .hwVersion = sim::BurnerSim::kNewLayoutVersion + 1});
    rec.burner().Write(4, std::vector<uint8_t>(32, 7));
    auto src = std::make_unique<MemorySource>();
    src->recordingInfo.startUtcMs = kRecorded.toMSecsSinceEpoch();
    const auto add = [&](qint64 ms, uint8_t cmd, std::span<const uint8_t> d) {
        src->Add(ms * 1000, EncodePacket(cmd, d));
    };
    add(0, Cmd::ParamSet, rec.burner().ParamSet());
    rec.burner().Advance(3600);  // usage counters unlike the live ones
    add(50, Cmd::UsageReply, rec.burner().UsageCounters());
    const uint8_t read[] = {77, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)};
    add(100, Cmd::ByteValue, read);
    auto status = rec.controller().StatusRecord(0);
    for (const int at : {16, 20, 24, 44, 48}) {  // K, Ti, Td and the output limits
        PutSingle(status, at, 7.25f + at);
    }
    add(200, Cmd::StatusRecord, status);
    const uint8_t alarm[] = {1};
    add(300, Cmd::Alarm, alarm);
    const uint8_t event[] = {1, 0x80 | 20, 10, 0, 0}, started[] = {3};
    add(1000, Cmd::ActuatorEvent, event);
    add(2000, Cmd::DeviceStarted, started);
    for (qint64 ms = 500; ms <= 120000; ms += 500) {
        rec.burner().Advance(0.5);
        src->Add(ms * 1000, sim::SyntheticRecording::LiveReply(ms * 1000, ms));
        add(ms, Cmd::Measurements, rec.burner().Measurement());
        add(ms, Cmd::AnalogValues, rec.controller().AnalogInputs());
    }
    return src;
}

// What a replay must leave as it found it.
struct LiveState {
    std::array<PidSettings, 4> settings;
    std::array<PidLiveValues, 4> live;
    // The alarm, the burner's identification, the value box, the readings
    // and the log's, the parameter boxes, the grid.
    QStringList texts;
    bool operator==(const LiveState&) const = default;
};

// The newest minus the oldest stamp of a trend.
double StampedSpan(const TrendArray& t) {
    int last = TrendArray::kFirstSample;
    while (last < TrendArray::kLastPoint && std::isfinite(t.timeAt(last + 1))) {
        ++last;
    }
    return t.timeAt(TrendArray::kFirstSample) - t.timeAt(last);
}

}  // namespace

class ReplayBesideLiveE2E : public ProgramE2E {
  protected:
    LiveState State() {
        LiveState s;
        for (int i = 0; i < 4; ++i) {
            s.settings[i] = session->loops()[i].Settings();
            s.live[i] = session->loops()[i].LiveValues();
        }
        session->log().AddMessage("readings");  // a line carries them
        s.texts << QString::number(session->dispatcher().alarm())
                << IdentificationTitle(session->burner().identity()) << burner->windowTitle()
                << Edit("txtValue")->text() << burner->ParamBoxTexts()
                << session->log().logText().section("\r\n", 0, 0).section(u'\t', 1);
        for (const QLabel* l : burner->findChild<MeasurementsPanel*>()->findChildren<QLabel*>()) {
            s.texts << l->text();
        }
        for (int r = 0; r < grid().rows(); ++r) {
            s.texts << grid().valueText(r) + u'/' + grid().deviceValue(r).value_or("-");
        }
        return s;
    }
    AllParamsModel& grid() { return burner->allParams()->model(); }
    std::optional<QString> Replay(std::unique_ptr<MemorySource> src) {
        return session->replay().Start(std::move(src), "rec", dir.filePath("rec.pcapng.zst"));
    }
    uint64_t AllRequests() { return sim->device().stats().requests; }
};

// Each row fails on a program whose replay and live controller meet.
TEST_P(ReplayBesideLiveE2E, AReplayLeavesTheLiveControllerAndItsStateAlone) {
    QSignalSpy rows(&burner->model().measLog(), &MeasLog::rowStored);
    QSignalSpy records(&session->dispatcher(), &DeviceAnswers::statusRecordTaken);
    ASSERT_TRUE(Connect());
    burner->allParams()->show();
    const int address = grid().addressText(0).toInt();

    // Step test recording: the replay is refused, the live link stays.
    main->editor().setDeviceReadTimes(300, 300);
    Click(main.get(), "btnGetCurrentValues");  // the output limits the step stays within
    ASSERT_TRUE(WaitUntil([&] {
        return records.count() > 0 &&
               Find<QPushButton>(main.get(), "btnGetCurrentValues")->isEnabled();
    }));
    Click(main.get(), "btnStepTest");
    frmStepTest* stepTest = main->windows().stepTest();
    Click(stepTest, "btnManual");
    ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>(stepTest, "btnStart")->isEnabled(); },
                          std::chrono::seconds(15)));
    Click(stepTest, "btnStart");
    // The step is out and its send over: no exchange holds the link, the test records.
    ASSERT_TRUE(WaitUntil([&] {
        return stepTest->run().state() == StepTestRun::State::Recording &&
               Find<QPushButton>(main.get(), "cmdOK")->isEnabled();
    }));
    EXPECT_TRUE(
        Replay(RecordedDevice(address)).value_or("").startsWith("A step test is running: "));
    EXPECT_TRUE(link()->PortOpen() && !session->replay().link());
    Click(stepTest, "btnCancel");
    ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>(stepTest, "btnStart")->isEnabled(); },
                          std::chrono::seconds(15)));

    // The history takes the burner's rows without "Save measurements to file".
    ASSERT_TRUE(WaitUntil([&] { return rows.count() > 0; }));

    // A TCP link still connecting when the replay starts is closed for good.
    Click(main.get(), "btnCon");
    ASSERT_TRUE(WaitUntil([&] { return !session->ctx().LinkConnected(); }));
    Pump(std::chrono::milliseconds(300));  // replies under way land first
    Find<QCheckBox>(burner, "CheckSaveMeas")->setChecked(true);
    const LiveState before = State();
    Click(main.get(), "btnCon");
    TcpLink& tcp = *session->connection().tcpLink();
    ASSERT_EQ(Replay(RecordedDevice(address)), std::nullopt);
    const uint64_t requests = AllRequests();
    EXPECT_EQ(std::tuple(tcp.socketState(), tcp.errored(), tcp.reconnecting(), tcp.receiver()),
              std::tuple(QAbstractSocket::UnconnectedState, false, false,
                         static_cast<ReplyReceiver*>(nullptr)));
    const QString measFile = burner->model().measLog().FilePath(kNow.date());
    const qint64 measSize = QFileInfo(measFile).size();

    // The TCP window's buttons send nothing while it plays.
    for (const char* button : {"cmdConnect", "cmdSendString"}) {
        SCOPED_TRACE(button);
        const size_t shown = dialogs.shown.size();
        Click(main->windows().client(), button);
        ASSERT_EQ(dialogs.shown.size(), shown + 1);
        EXPECT_EQ(dialogs.shown.back().text, ReplayController::RefusalText());
    }
    ReplayLink* replay = session->replay().link();
    replay->SetSpeed(20);
    ASSERT_TRUE(WaitUntil([&] { return replay->ended(); }, std::chrono::seconds(60)));
    EXPECT_EQ(AllRequests(), requests);
    EXPECT_FALSE(sim->TcpClientConnected());

    // The recorded time: two minutes on both time axes at 20x, and in the
    // captions and the message log's lines.
    EXPECT_NEAR(StampedSpan(session->loops().Selected()->getTrendData()), 119.8, 0.5);
    EXPECT_NEAR(StampedSpan(session->state().AnalogTrend1), 119.5, 0.5);
    EXPECT_EQ(main->windowTitle(),
              "Device started (3) " + LocaleTimeOfDay(kRecorded.time().addSecs(2)));
    EXPECT_TRUE(session->log().logText().startsWith(
        session->log().LogTimeOfDay(kRecorded.time().addSecs(1)) + u' '));

    // The measurement file is held; the replay's history has the rows in
    // the recorded time, each row's time text its second's.
    burner->model().measLog().setSaving(false);
    EXPECT_EQ(QFileInfo(measFile).size(), measSize);
    session->history().Sync();
    int agree = 0;
    const QStringList burnerRows = HistoryRows(session->history().databasePath(),
                                               "SELECT t, substr(row, 1, 8) FROM burner");
    for (const QString& r : burnerRows) {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(r.section(u' ', 0, 0).toLongLong());
        agree += r.section(u' ', 1) == t.toString("HH:mm.ss") && t >= kRecorded;
    }
    EXPECT_EQ(std::pair(burnerRows.size(), agree), std::pair(qsizetype(240), 240));

    // After Stop: not connected, nothing polls, the live state as it was.
    ASSERT_NE(State(), before);  // the recording did change what the windows show
    session->replay().Stop();
    EXPECT_TRUE(WaitUntil([&] { return Text(main.get(), "lblLinkStatus") == "Not connected"; }));
    Pump(std::chrono::milliseconds(500));
    EXPECT_EQ(AllRequests(), requests);
    const LiveState after = State();
    EXPECT_EQ(after.settings, before.settings);
    EXPECT_EQ(after.live, before.live);
    EXPECT_EQ(after.texts, before.texts);
}

INSTANTIATE_TEST_SUITE_P(Links, ReplayBesideLiveE2E, ::testing::Values(Via::Tcp), ViaParamName);

}  // namespace tuvik::test
