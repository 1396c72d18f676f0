// The whole program as an operator uses it, against the simulated controller
// and burner, over a pseudo-terminal and over the loopback TCP relay: the
// main window with the tool windows hooked on as at start-up, every workflow
// clicked in turn, each checked against what the simulated device holds.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSet>

#include <cmath>

#include "E2E.h"
#include "burner/BurnerMeasurements.h"
#include "burner/Histogram.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "pid/PidEditorModel.h"
#include "burner/BurnerTables.h"
#include "support/Numbers.h"
#include "trend/ui/TrendChartWidget.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

const QColor kAlarmRed(255, 0, 0);

class OperatorWalk : public ProgramE2E {
  protected:
    QStringList Boxes(int count) {
        QStringList out;
        for (int i = 0; i < count; ++i) {
            out << Box(i)->text();
        }
        return out;
    }
    bool Red() {
        return Find<QWidget>(main.get(), "Frame1")->palette().color(QPalette::Window) == kAlarmRed;
    }

  public:
    // The workflows, in the order the walk clicks them.
    void Connecting();
    void LiveTrend();
    void ReadLoopSettings();
    void EditValidateAndSend();
    void SaveLoadAndDefaults();
    void BurnerWindow();
    void AllParameters();
    void HistogramWindow();
    void AnalogInputs();
    void MessageLogAndDailyFile();
    void MeasurementFile();
    void AlarmColour();
    void BootCommand();
    void Disconnect();
    void Exit();
};

void OperatorWalk::Connecting() {
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Find<QPushButton>(main.get(), "btnCon")->text(), QStringLiteral("Disconnect"));
    if (GetParam() == Via::Tcp) {
        ASSERT_TRUE(main->windows().client());
        EXPECT_EQ(link(), &main->windows().client()->link());
    }
    EXPECT_TRUE(burner->isLoaded()) << "the burner window is loaded at every connect";
    EXPECT_TRUE(link()->RefreshTimerEnabled());
}

void OperatorWalk::LiveTrend() {
    clsPID& loop = session->loops()[0];
    const TrendArray& trend = loop.getTrendData();
    ASSERT_TRUE(WaitUntil([&] { return trend.at(0, 3).isNumber(); }));
    // A still plant: every reply carries the same values, which the labels
    // and the trend must then show.
    sim->SetClockRunning(false);
    const auto& simLive = controller().LiveOf(0);
    const auto measurement = static_cast<float>(simLive.measurement);
    ASSERT_NE(measurement, 0.0f) << "the plant has started";
    // The values go through their 7-digit text on the way into the loop.
    const auto same = [](float a, double b) { return std::fabs(a - b) <= 1e-5 * std::fabs(b); };
    ASSERT_TRUE(WaitUntil([&] { return same(loop.LiveValues().Measurement, measurement); }));
    EXPECT_TRUE(same(loop.LiveValues().ControllerOut, simLive.terms.out));
    EXPECT_NEAR(trend.at(0, 2).number(), measurement, 0.01);
    EXPECT_TRUE(WaitUntil([&] {
        return Text(main.get(), "LabelMeasurement") ==
                   LiveValueText(loop.Measurement(), 3).value_or("-") &&
               Text(main.get(), "LabelControl") ==
                   LiveValueText(loop.ControllerOut(), 2).value_or("-");
    }));
    EXPECT_EQ(trend.at(0, 0).text(), QStringLiteral("Measurement"));
    EXPECT_EQ(Text(main.get(), "LabelMode"), ModeText(loop.AutoMode()));
    ASSERT_TRUE(WaitUntil([&] { return main->chart().paintCount() > 0; }));
    EXPECT_EQ(main->chart().chart().maxX(), 360);
    sim->SetClockRunning(true);
}

void OperatorWalk::ReadLoopSettings() {
    Find<QComboBox>(main.get(), "comboPID")->setCurrentIndex(1);
    ASSERT_TRUE(WaitUntil([&] { return controller().Selected() == 1; }));
    auto* get = Find<QPushButton>(main.get(), "btnGetCurrentValues");
    Click(main.get(), "btnGetCurrentValues");
    EXPECT_FALSE(get->isEnabled());
    EXPECT_FALSE(link()->RefreshTimerEnabled()) << "polling pauses during the read";
    ASSERT_TRUE(WaitUntil([&] { return get->isEnabled(); }));
    EXPECT_TRUE(link()->RefreshTimerEnabled());
    EXPECT_TRUE(main->windowTitle().startsWith(QStringLiteral("PID luku onnistui ")));
    const sim::PidParams p = controller().Params(1);
    const auto text = [](float f) { return SingleText(f, QLatin1Char('.')); };
    EXPECT_EQ(Box(PidBox::Setpoint)->text(), text(p.setpoint));
    EXPECT_EQ(Box(PidBox::MaxContr)->text(), text(p.maxContr));
    EXPECT_EQ(Box(PidBox::K)->text(), text(p.K));
    EXPECT_EQ(Box(PidBox::Ti)->text(), text(p.Ti));
    EXPECT_EQ(Box(PidBox::tt)->text(), text(p.tt));
    EXPECT_EQ(Box(PidBox::MeasurePort)->text(), QString::number(p.measurePort));
    EXPECT_EQ(Find<QWidget>(main.get(), "OptionPIDmode_0")->property("checked").toBool(),
              p.AutoMode());
    EXPECT_EQ(Find<QCheckBox>(main.get(), "chkEnable")->isChecked(), p.enable != 0);
}

void OperatorWalk::EditValidateAndSend() {
    const sim::PidParams before = controller().Params(1);
    const uint64_t writes = sim->device().stats().writes;
    // Typed as the operator types. Out of range for this loop: refused with
    // its message, nothing written.
    const auto type = [&](int box, const char* text) {
        Box(box)->clear();
        QTest::keyClicks(Box(box), text);
    };
    type(PidBox::K, "50");
    dialogs.clear();
    Click(main.get(), "cmdOK");
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral(" K must be 0-10!")))
        << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(dialogs.shown.size(), 1u) << "no confirmation for a refused value";
    EXPECT_EQ(sim->device().stats().writes, writes);
    // A setpoint the plant cannot reach (the alarm step needs that).
    type(PidBox::Setpoint, "950");
    type(PidBox::K, "2.5");
    type(PidBox::Ti, "75");
    dialogs.clear();
    ASSERT_TRUE(ApplyChanges());
    ASSERT_EQ(dialogs.shown.size(), 1u) << dialogs.lastText().toStdString();
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("PID control settings confirmation."));
    EXPECT_TRUE(main->windowTitle().endsWith(QStringLiteral(" PID settings sent successfully!")));
    EXPECT_GT(sim->device().stats().writes, writes);
    const sim::PidParams after = controller().Params(1);
    EXPECT_EQ(after.setpoint, 950.0f);
    EXPECT_EQ(after.K, 2.5f);
    EXPECT_EQ(after.Ti, 75.0f);
    EXPECT_EQ(after.maxContr, before.maxContr);
    EXPECT_EQ(after.Td, before.Td);
    EXPECT_TRUE(WaitUntil([&] { return link()->RefreshTimerEnabled(); }));
}

void OperatorWalk::SaveLoadAndDefaults() {
    const QString file = dir.filePath("boiler.PID");
    const QStringList saved = Boxes(PidBox::Tm + 1);  // the boxes a *.PID keeps
    dialogs.clear();
    dialogs.files = {file};
    Click(main.get(), "cmdSaveSettings");
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.lastText().toStdString();

    Box(PidBox::Setpoint)->setText("11");
    Box(PidBox::Ti)->setText("3");
    dialogs.files = {file};
    Click(main.get(), "cmdLoadSettings");
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.lastText().toStdString();
    EXPECT_EQ(Boxes(PidBox::Tm + 1), saved);

    // The factory file of this loop: lines 2..11 are Setpoint..ForwardK, 13 is Tm.
    const QStringList def =
        FileLines(QStringLiteral(TUVIK_SOURCE_DATA_DIR "/Settings/PICZA303_def.PID"));
    ASSERT_EQ(def.size(), 14);
    Click(main.get(), "cmdDefaults");
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.lastText().toStdString();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Box(i)->text().toDouble(), def[i + 2].trimmed().toDouble()) << "box " << i;
    }
    EXPECT_EQ(Box(PidBox::Tm)->text().toDouble(), def[13].trimmed().toDouble());
}

void OperatorWalk::BurnerWindow() {
    Click(main.get(), "btnFlamora");
    EXPECT_TRUE(burner->isVisible());
    EXPECT_EQ(burner->windowTitle(),
              QStringLiteral("FlamoraBurner, hw_ver 1506 feat 3 devType:100"));
    // A still burner: the window must come to show exactly its state.
    sim->SetClockRunning(false);
    const auto m = burnerSim().Measurement();
    const uint16_t devState = burnerSim().DeviceStateWord();
    ASSERT_TRUE(WaitUntil([&] {
        return Text(burner, "lblDevState") == QString::number(devState) &&
               Text(burner, "lblTgas") == QString::number(m[0] | (m[1] << 8)) &&
               Text(burner, "lblVFD") == QString::number(m[10]);
    }));
    EXPECT_EQ(Text(burner, "lblProgState"), StateNames()[burnerSim().ProgramState()]);
    EXPECT_EQ(Text(burner, "lblIRsig"), QString::number(m[12] | (m[13] << 8)));
    // (The LEDs are pinned in the burner window's tests.)
    for (int i = 0; i < frmFlamora::kUsageCount; ++i) {
        const int a = 1600 + 4 * i;
        const auto minutes = static_cast<int32_t>(Word(a) | (Word(a + 2) << 16));
        auto* usage = Find<QLabel>(burner, QStringLiteral("lblUsageTime_%1").arg(i));
        EXPECT_TRUE(WaitUntil([&] { return usage->toolTip() == QString::number(minutes); }))
            << "counter " << i;
        EXPECT_EQ(usage->text(), UsageTimeCaption(minutes));
    }
    sim->SetClockRunning(true);
}

void OperatorWalk::AllParameters() {
    Click(burner, "cmdAllParams");
    frmAllParams* w = burner->allParams();
    ASSERT_TRUE(w->isVisible());
    AllParamsModel& m = w->model();
    auto rowOf = [&](int address) {
        for (int r = 0; r < m.rows(); ++r) {
            if (m.addressText(r) == QString::number(address)) {
                return r;
            }
        }
        return -1;
    };
    const int r24 = rowOf(24);
    const int r40 = rowOf(40);
    ASSERT_GE(r24, 0);
    ASSERT_GE(r40, 0);
    m.setChecked(r24, true);
    m.setChecked(r40, true);
    Click(w, "btnRead");
    ASSERT_TRUE(WaitUntil([&] {
        return m.valueText(r24) == QString::number(Byte(24)) &&
               m.valueText(r40) == QString::number(Byte(40));
    }));
    EXPECT_TRUE(m.valueText(rowOf(25)).isEmpty()) << "not checked, not read";

    m.setValueText(r24, "12");
    m.setValueText(r40, "-1");
    dialogs.clear();
    const QString par = dir.filePath("burner.par");
    dialogs.files = {par};
    Click(w, "Command1");
    ASSERT_TRUE(QFile::exists(par));
    m.setValueText(r24, "99");
    m.setValueText(r40, "");
    dialogs.files = {par};
    Click(w, "Command2");
    EXPECT_EQ(m.valueText(r24), QStringLiteral("12"));
    EXPECT_EQ(m.valueText(r40), QStringLiteral("-1"));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.lastText().toStdString();
    w->close();
}

void OperatorWalk::HistogramWindow() {
    sim->SetClockRunning(false);  // the counters must not move while compared
    Click(burner, "btnExtras");
    frmExtra* w = burner->extras();
    ASSERT_TRUE(w->isVisible());
    w->histogram().setSpacingMs(2);
    auto* text = Find<QPlainTextEdit>(w, "txtHistoData");
    Click(w, "btnClear");
    Click(w, "btnReadHistogram");
    ASSERT_TRUE(
        WaitUntil([&] { return text->toPlainText().count(QLatin1Char('\n')) >= 122; }, 10s));
    const QStringList lines = text->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 123);
    for (int i = 0; i < 122; ++i) {
        const int a = Histogram::kFirstAddress + 2 * i;
        EXPECT_EQ(lines[i + 1], HistogramLine(Word(a), a)) << i;
    }
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("IRavg: ")));
    EXPECT_TRUE(lines[122].startsWith(QStringLiteral("Temperature: 795 value: ")));
    w->close();
    sim->SetClockRunning(true);
}

void OperatorWalk::AnalogInputs() {
    const DispatchState& st = session->state();
    Click(main.get(), "bntADinputs");
    QWidget* w = main->windows().analog();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(link()->RefreshTimerEnabled()) << "the inputs' requests replace the data request";
    ASSERT_TRUE(WaitUntil([&] { return AnalogFewestHeld(st) >= 20; }, 10s));
    // The inputs move: the measurement of the loop on AD0 is noisy.
    QSet<double> seen;
    for (int p = 2; p < 22; ++p) {
        seen.insert(st.AnalogTrend1.at(0, p).number());
    }
    EXPECT_GE(seen.size(), 2);
    EXPECT_NEAR(st.AnalogTrend2.at(1, 2).number(), 2400, 50) << "AD5: the 24 V supply";

    // Closed: the link's own data request goes out again, and the inputs
    // are neither asked for nor sampled (a round trip puts every earlier
    // request and reply behind it).
    w->close();
    EXPECT_TRUE(link()->RefreshTimerEnabled());
    ASSERT_TRUE(RoundTrip());
    const uint64_t inputs = Requests(Cmd::AnalogRequest);
    const int held = AnalogFewestHeld(st);
    const uint64_t data = Requests(Cmd::DataRequest);
    ASSERT_TRUE(WaitUntil([&] { return Requests(Cmd::DataRequest) >= data + 2; }));
    ASSERT_TRUE(RoundTrip());
    EXPECT_EQ(Requests(Cmd::AnalogRequest), inputs);
    if (held < TrendArray::kLastPoint - 1) {
        EXPECT_EQ(AnalogFewestHeld(st), held);
    }
}

void OperatorWalk::MessageLogAndDailyFile() {
    Click(main.get(), "Command6");
    ASSERT_TRUE(main->windows().message());
    EXPECT_TRUE(main->windows().message()->isVisible());
    // Fuel screw started in the running state at 123.4 s of burner time.
    const uint8_t event[] = {1, 0x80 | 20, 0xD2, 0x04, 0x00};
    sim->PushReply(Cmd::ActuatorEvent, event);
    const QString line =
        ActivityNames()[1] + QStringLiteral("; started ;123.4;") + StateNames()[20];
    auto* text = Find<QPlainTextEdit>(main->windows().message(), "Text1");
    ASSERT_TRUE(WaitUntil([&] { return text->toPlainText().contains(line); }))
        << text->toPlainText().toStdString();
    const QString file = session->log().DailyFilePath(kNow.date());
    EXPECT_TRUE(file.startsWith(dir.path()));
    EXPECT_TRUE(FileLines(file).filter(line).size() == 1) << file.toStdString();
}

void OperatorWalk::MeasurementFile() {
    MeasLog& log = burner->measLog();
    const QString file = log.FilePath(kNow.date());
    EXPECT_TRUE(file.startsWith(dir.path()));
    Find<QCheckBox>(burner, "CheckSaveMeas")->setChecked(true);
    ASSERT_TRUE(WaitUntil([&] { return log.measPlace() >= 3; }));
    // Switched off: every row gathered so far goes to the day's file.
    const int rows = log.measPlace();
    Find<QCheckBox>(burner, "CheckSaveMeas")->setChecked(false);
    const QStringList lines = FileLines(file);
    ASSERT_EQ(lines.size(), 1 + rows) << file.toStdString();
    EXPECT_EQ(lines[0], MeasLog::HeaderLine());
    // The newest row: the time, then the flue gas temperature as shown.
    EXPECT_EQ(lines[rows].split(QLatin1Char(' '), Qt::SkipEmptyParts).value(1),
              Text(burner, "lblTgas"))
        << lines[rows].toStdString();
}

void OperatorWalk::AlarmColour() {
    // The loop on its way to an unreachable setpoint raises the alarm once
    // enabled, and drops it when disabled.
    Click(main.get(), "Command5");  // dis
    ASSERT_TRUE(WaitUntil([&] { return !Red(); }));
    Click(main.get(), "Command4");  // e
    ASSERT_TRUE(WaitUntil([&] { return controller().Alarm(1) && Red(); }));
    Click(main.get(), "Command5");
    EXPECT_TRUE(WaitUntil([&] { return !controller().Alarm(1) && !Red(); }));
}

void OperatorWalk::BootCommand() {
    const int boots = controller().BootCount();
    Click(main.get(), "btnBoot");
    ASSERT_TRUE(WaitUntil([&] { return controller().BootCount() == boots + 1; }));
    EXPECT_TRUE(WaitUntil([&] {
        return main->windowTitle().startsWith(
            QStringLiteral("Device started (%1) ").arg((boots + 1) & 0xFF));
    })) << main->windowTitle().toStdString();
}

void OperatorWalk::Disconnect() {
    auto* con = Find<QPushButton>(main.get(), "btnCon");
    Click(main.get(), "btnCon");
    ASSERT_TRUE(WaitUntil([&] { return !session->ctx().LinkConnected(); }));
    EXPECT_EQ(con->text(), QStringLiteral("Connect"));
    EXPECT_FALSE(link() && link()->PortOpen());
    EXPECT_TRUE(WaitUntil([&] {
        return GetParam() == Via::Pty ? !sim->PtyClientPresent() : !sim->TcpClientConnected();
    })) << "the device sees the link go";
    // Connected again: the live values and the burner's measurements come back.
    const uint64_t data = Requests(Cmd::DataRequest);
    const uint64_t meas = Requests(Cmd::MeasRequest);
    Click(main.get(), "btnCon");
    EXPECT_TRUE(WaitUntil([&] {
        return con->text() == QStringLiteral("Disconnect") &&
               Requests(Cmd::DataRequest) > data + 2 && Requests(Cmd::MeasRequest) > meas + 2;
    }));
}

void OperatorWalk::Exit() {
    // Closed while connected: the link is closed first, the rest follows.
    ASSERT_TRUE(session->ctx().LinkConnected());
    const QPointer<QWidget> windows[] = {burner, burner->allParams(), burner->extras(),
                                         main->windows().analog(), main->windows().message()};
    main->close();
    ASSERT_TRUE(WaitUntil([&] { return unloaded->size() == 1; }));
    EXPECT_FALSE(session->ctx().LinkConnected());
    EXPECT_TRUE(WaitUntil([&] {
        return GetParam() == Via::Pty ? !sim->PtyClientPresent() : !sim->TcpClientConnected();
    }));
    for (const QPointer<QWidget>& w : windows) {
        EXPECT_TRUE(w.isNull()) << "a window outlived the main window";
    }
    EXPECT_FALSE(main->windows().message());
    EXPECT_FALSE(main->windows().serial());
    EXPECT_FALSE(main->windows().client());
}

}  // namespace

TEST_P(OperatorWalk, EveryWorkflowInTurn) {
    const std::pair<const char*, void (OperatorWalk::*)()> steps[] = {
        {"connect", &OperatorWalk::Connecting},
        {"live trend", &OperatorWalk::LiveTrend},
        {"read loop settings", &OperatorWalk::ReadLoopSettings},
        {"edit, validate, send", &OperatorWalk::EditValidateAndSend},
        {"*.PID save, load, defaults", &OperatorWalk::SaveLoadAndDefaults},
        {"burner window", &OperatorWalk::BurnerWindow},
        // The burner's writes (single, parameter set, all parameters) are
        // walked through in the safe-write table.
        {"all parameters", &OperatorWalk::AllParameters},
        {"histogram", &OperatorWalk::HistogramWindow},
        {"analog inputs", &OperatorWalk::AnalogInputs},
        {"message log", &OperatorWalk::MessageLogAndDailyFile},
        {"measurement file", &OperatorWalk::MeasurementFile},
        {"alarm colour", &OperatorWalk::AlarmColour},
        {"boot", &OperatorWalk::BootCommand},
        {"disconnect, connect again", &OperatorWalk::Disconnect},
        {"exit while connected", &OperatorWalk::Exit},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        (this->*step)();
        if (HasFatalFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Links, OperatorWalk, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);
