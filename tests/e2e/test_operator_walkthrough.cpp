// The whole program as an operator uses it, against the simulated controller
// and burner, over a pseudo-terminal and over the loopback TCP relay: the
// main window with the tool windows hooked on as at start-up, every workflow
// clicked in turn, each checked against what the simulated device holds. A
// smoke test of the real windows over both links: the rules behind each step
// are pinned in the unit and window tests, the faults in the e2e tables.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPointer>

#include <cmath>

#include "E2E.h"
#include "burner/BurnerTables.h"
#include "burner/Histogram.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "pid/PidEditorModel.h"
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
    // The workflows, clicked in turn by the table below.
    void Connecting() {
        ASSERT_TRUE(Connect());
        EXPECT_EQ(Find<QPushButton>(main.get(), "btnCon")->text(), QStringLiteral("Disconnect"));
        EXPECT_TRUE(burner->isLoaded()) << "the burner window is loaded at every connect";
    }

    void LiveTrend() {
        clsPID& loop = session->loops()[0];
        const TrendArray& trend = loop.getTrendData();
        ASSERT_TRUE(WaitUntil([&] { return trend.at(0, 3).isNumber(); }));
        // A still plant: every reply carries the same values, which the loop, its
        // trend and its label must then show (through their 7-digit text).
        sim->SetClockRunning(false);
        const double measurement = controller().LiveOf(0).measurement;
        ASSERT_NE(measurement, 0.0) << "the plant has started";
        EXPECT_TRUE(WaitUntil([&] {
            return std::fabs(loop.LiveValues().Measurement - measurement) <=
                       1e-5 * std::fabs(measurement) &&
                   std::fabs(trend.at(0, 2).number() - measurement) <= 0.01 &&
                   Text(main.get(), "LabelMeasurement") ==
                       LiveValueText(loop.LiveValues().Measurement, 3).value_or("-");
        }));
        EXPECT_TRUE(WaitUntil([&] { return main->chart().paintCount() > 0; }));
        sim->SetClockRunning(true);
    }

    void ReadLoopSettings() {
        Find<QComboBox>(main.get(), "comboPID")->setCurrentIndex(1);
        ASSERT_TRUE(WaitUntil([&] { return controller().Selected() == 1; }));
        auto* get = Find<QPushButton>(main.get(), "btnGetCurrentValues");
        Click(main.get(), "btnGetCurrentValues");
        EXPECT_FALSE(link()->RefreshTimerEnabled()) << "polling pauses during the read";
        ASSERT_TRUE(WaitUntil([&] { return get->isEnabled(); }));
        EXPECT_TRUE(link()->RefreshTimerEnabled());
        EXPECT_TRUE(main->windowTitle().startsWith(QStringLiteral("PID luku onnistui ")));
        const sim::PidParams p = controller().Params(1);
        const auto text = [](float f) { return SingleText(f, QLatin1Char('.')); };
        EXPECT_EQ(
            QStringList({Box(PidBox::Setpoint)->text(), Box(PidBox::K)->text(),
                         Box(PidBox::tt)->text(), Box(PidBox::MeasurePort)->text()}),
            QStringList({text(p.setpoint), text(p.K), text(p.tt), QString::number(p.measurePort)}));
        EXPECT_EQ(Find<QWidget>(main.get(), "OptionPIDmode_0")->property("checked").toBool(),
                  p.AutoMode());
    }

    void EditAndSend() {
        // A setpoint the plant cannot reach (the alarm step needs that), typed as
        // the operator types it; the rest goes back as it was read.
        const sim::PidParams before = controller().Params(1);
        Box(PidBox::Setpoint)->clear();
        QTest::keyClicks(Box(PidBox::Setpoint), "950");
        dialogs.clear();
        ASSERT_TRUE(ApplyChanges());
        EXPECT_EQ(dialogs.shown.size(), 1u)
            << dialogs.lastText().toStdString();  // the confirmation
        EXPECT_TRUE(
            main->windowTitle().endsWith(QStringLiteral(" PID settings sent successfully!")));
        const sim::PidParams after = controller().Params(1);
        EXPECT_EQ(std::tuple(after.setpoint, after.K, after.tt, after.maxContr),
                  std::tuple(950.0f, before.K, before.tt, before.maxContr));
    }

    void SaveLoadAndDefaults() {
        const QString file = dir.filePath("boiler.PID");
        const QStringList saved = Boxes(PidBox::Tm + 1);  // the boxes a *.PID keeps
        dialogs.clear();
        dialogs.files = {file, file};
        Click(main.get(), "cmdSaveSettings");
        Box(PidBox::Setpoint)->setText("11");
        Click(main.get(), "cmdLoadSettings");
        EXPECT_EQ(Boxes(PidBox::Tm + 1), saved);
        // The factory file of this loop: line 3 is the setpoint, line 14 Tm.
        const QStringList def =
            FileLines(QStringLiteral(TUVIK_SOURCE_DATA_DIR "/Settings/PICZA303_def.PID"));
        Click(main.get(), "cmdDefaults");
        EXPECT_EQ(Box(PidBox::Setpoint)->text().toDouble(), def.value(2).trimmed().toDouble());
        EXPECT_EQ(Box(PidBox::Tm)->text().toDouble(), def.value(13).trimmed().toDouble());
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.lastText().toStdString();
    }

    void BurnerWindow() {
        Click(main.get(), "btnFlamora");
        EXPECT_TRUE(burner->isVisible());
        // A still burner: the window must come to show its state.
        sim->SetClockRunning(false);
        const auto m = burnerSim().Measurement();
        const auto minutes = static_cast<int32_t>(Word(1600) | (Word(1602) << 16));
        EXPECT_TRUE(WaitUntil([&] {
            return Text(burner, "lblDevState") == QString::number(burnerSim().DeviceStateWord()) &&
                   Text(burner, "lblTgas") == QString::number(m[0] | (m[1] << 8)) &&
                   Find<QLabel>(burner, "lblUsageTime_0")->toolTip() == QString::number(minutes);
        }));
        sim->SetClockRunning(true);
    }

    void AllParameters() {
        Click(burner, "cmdAllParams");
        frmAllParams* w = burner->allParams();
        ASSERT_TRUE(w->isVisible());
        AllParamsModel& m = w->model();
        int r = 0;
        for (; r < m.rows() && m.addressText(r) != QStringLiteral("40"); ++r) {
        }
        ASSERT_LT(r, m.rows());
        m.setChecked(r, true);
        Click(w, "btnRead");
        ASSERT_TRUE(WaitUntil([&] { return m.valueText(r) == QString::number(Byte(40)); }));
        // Saved to a *.par file and read back from it.
        m.setValueText(r, "-1");
        dialogs.clear();
        const QString par = dir.filePath("burner.par");
        dialogs.files = {par, par};
        Click(w, "Command1");
        m.setValueText(r, "99");
        Click(w, "Command2");
        EXPECT_EQ(m.valueText(r), QStringLiteral("-1"));
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.lastText().toStdString();
        w->close();
    }

    void HistogramWindow() {
        sim->SetClockRunning(false);  // the counters must not move while compared
        Click(burner, "btnExtras");
        frmExtra* w = burner->extras();
        ASSERT_TRUE(w->isVisible());
        w->histogram().setSpacingMs(2);
        auto* text = Find<QPlainTextEdit>(w, "txtHistoData");
        Click(w, "btnReadHistogram");
        ASSERT_TRUE(
            WaitUntil([&] { return text->toPlainText().count(QLatin1Char('\n')) >= 122; }, 10s));
        const QStringList lines = text->toPlainText().split(QLatin1Char('\n'));
        for (int i = 0; i < 122; ++i) {
            const int a = Histogram::kFirstAddress + 2 * i;
            EXPECT_EQ(lines.value(i + 1), HistogramLine(Word(a), a)) << i;
        }
        w->close();
        sim->SetClockRunning(true);
    }

    void AnalogInputs() {
        const DispatchState& st = session->state();
        Click(main.get(), "bntADinputs");
        QWidget* w = main->windows().analog();
        ASSERT_TRUE(w && w->isVisible());
        EXPECT_FALSE(link()->RefreshTimerEnabled())
            << "the inputs' requests replace the data request";
        // Every input sampled; AD5 is the 24 V supply.
        EXPECT_TRUE(WaitUntil([&] {
            bool all = true;
            for (int k = 0; k < 8; ++k) {
                all = all && (k < 4 ? st.AnalogTrend1 : st.AnalogTrend2).at(k % 4, 2).isNumber();
            }
            return all && std::fabs(st.AnalogTrend2.at(1, 2).number() - 2400) < 50;
        }));
        w->close();
        EXPECT_TRUE(link()->RefreshTimerEnabled());
    }

    void MessageLogAndDailyFile() {
        Click(main.get(), "Command6");
        ASSERT_TRUE(main->windows().message() && main->windows().message()->isVisible());
        // Fuel screw started in the running state at 123.4 s of burner time.
        const uint8_t event[] = {1, 0x80 | 20, 0xD2, 0x04, 0x00};
        sim->PushReply(Cmd::ActuatorEvent, event);
        const QString line =
            ActivityNames()[1] + QStringLiteral("; started ;123.4;") + StateNames()[20];
        auto* text = Find<QPlainTextEdit>(main->windows().message(), "Text1");
        ASSERT_TRUE(WaitUntil([&] { return text->toPlainText().contains(line); }))
            << text->toPlainText().toStdString();
        const QString file = session->log().DailyFilePath(kNow.date());
        EXPECT_EQ(FileLines(file).filter(line).size(), 1) << file.toStdString();
    }

    void MeasurementFile() {
        MeasLog& log = burner->model().measLog();
        auto* save = Find<QCheckBox>(burner, "CheckSaveMeas");
        save->setChecked(true);
        ASSERT_TRUE(WaitUntil([&] { return log.measPlace() >= 3; }));
        // Switched off: every row gathered so far goes to the day's file, under its header.
        const int rows = log.measPlace();
        save->setChecked(false);
        const QStringList lines = FileLines(log.FilePath(kNow.date()));
        ASSERT_EQ(lines.size(), 1 + rows);
        // The newest row: the time, then the flue gas temperature as shown.
        EXPECT_EQ(lines[rows].split(QLatin1Char(' '), Qt::SkipEmptyParts).value(1),
                  Text(burner, "lblTgas"))
            << lines[rows].toStdString();
    }

    void AlarmColour() {
        // The loop on its way to an unreachable setpoint raises the alarm once
        // enabled, and drops it when disabled.
        Click(main.get(), "Command5");  // dis
        ASSERT_TRUE(WaitUntil([&] { return !Red(); }));
        Click(main.get(), "Command4");  // e
        ASSERT_TRUE(WaitUntil([&] { return controller().Alarm(1) && Red(); }));
        Click(main.get(), "Command5");
        EXPECT_TRUE(WaitUntil([&] { return !controller().Alarm(1) && !Red(); }));
    }

    void BootCommand() {
        const int boots = controller().BootCount();
        Click(main.get(), "btnBoot");
        EXPECT_TRUE(WaitUntil([&] {
            return controller().BootCount() == boots + 1 &&
                   main->windowTitle().startsWith(QStringLiteral("Device started ("));
        })) << main->windowTitle().toStdString();
    }

    void Disconnect() {
        auto* con = Find<QPushButton>(main.get(), "btnCon");
        Click(main.get(), "btnCon");
        ASSERT_TRUE(
            WaitUntil([&] { return !session->ctx().LinkConnected() && !DeviceSeesLink(); }));
        EXPECT_EQ(con->text(), QStringLiteral("Connect"));
        // Connected again: the live values and the burner's measurements come back.
        const uint64_t data = Requests(Cmd::DataRequest);
        const uint64_t meas = Requests(Cmd::MeasRequest);
        Click(main.get(), "btnCon");
        EXPECT_TRUE(WaitUntil([&] {
            return con->text() == QStringLiteral("Disconnect") &&
                   Requests(Cmd::DataRequest) > data + 2 && Requests(Cmd::MeasRequest) > meas + 2;
        }));
    }

    void Exit() {
        // Closed while connected: the link is closed first, the windows go with it.
        ASSERT_TRUE(session->ctx().LinkConnected());
        const QPointer<QWidget> windows[] = {burner, burner->allParams(), burner->extras(),
                                             main->windows().analog(), main->windows().message()};
        main->close();
        ASSERT_TRUE(WaitUntil([&] { return unloaded->size() == 1; }));
        EXPECT_FALSE(session->ctx().LinkConnected());
        EXPECT_TRUE(WaitUntil([&] { return !DeviceSeesLink(); }));
        for (const QPointer<QWidget>& w : windows) {
            EXPECT_TRUE(w.isNull()) << "a window outlived the main window";
        }
    }
};

}  // namespace

TEST_P(OperatorWalk, EveryWorkflowInTurn) {
    const std::pair<const char*, void (OperatorWalk::*)()> steps[] = {
        {"connect", &OperatorWalk::Connecting},
        {"live trend", &OperatorWalk::LiveTrend},
        {"read loop settings", &OperatorWalk::ReadLoopSettings},
        {"edit and send", &OperatorWalk::EditAndSend},
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
