// The step test through the window against the simulated controller with a
// known process: the identified model against the simulator's truth and the
// tested loop kept selected until its output is back. What "Use these
// settings" fills in is the window test's; how the suggested settings
// perform in closed loop is the prediction's test, run with the same PID law.
#include <gtest/gtest.h>

#include <QComboBox>

#include "E2E.h"
#include "pid/ui/frmStepTest.h"

using namespace tuvik;
using namespace tuvik::sim;
using namespace std::chrono_literals;
using namespace tuvik::test;

namespace {

// A fast process, so that the test runs at the simulator's normal speed and
// the tool's wall-clock time axis is the simulator's.
const PlantModel kTruth{
    .base = 3.0, .gain = 0.06, .timeConstant = 3.0, .deadTime = 2.5, .noise = 0.01};

class StepTestE2E : public ProgramE2E {};

}  // namespace

TEST_P(StepTestE2E, IdentifiesTheProcessAndReturnsTheOutput) {
    // Loop 0 on the known process, with the shortest input filter the editor takes.
    controller().SetPlant(0, kTruth);
    PidParams start = controller().Params(0);
    start.Tm = 0.2f;
    start.h = 0.05f;
    std::vector<uint8_t> block(Block::kSize);
    start.Encode(block);
    ASSERT_TRUE(controller().Write(ControllerSim::kBase[0], block));
    controller().Advance(120);  // at rest at its setpoint
    main->editor().setDeviceReadTimes(300, 300);
    ASSERT_TRUE(Connect());
    Click(main.get(), "btnGetCurrentValues");
    ASSERT_TRUE(WaitUntil([&] { return Box(PidBox::Tm)->text() == "0.2"; }, 10s));

    Click(main.get(), "btnStepTest");
    frmStepTest* dlg = main->windows().stepTest();
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(dlg->isVisible());
    // Into manual through the editor: one confirmation, answered OK.
    dialogs.details.clear();
    Click(dlg, "btnManual");
    ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>(dlg, "btnStart")->isEnabled(); }, 15s));
    EXPECT_FALSE(controller().Params(0).AutoMode());
    const float manual = controller().Params(0).manualVal;
    // The process at rest before the step: its baseline.
    ASSERT_TRUE(WaitUntil(
        [&] {
            return std::fabs(controller().PlantOutput(0) - kTruth.base - kTruth.gain * manual) <
                   0.005;
        },
        30s));
    Pump(std::chrono::milliseconds(static_cast<int>(StepTestRun::kBaselineS * 500)));

    const uint64_t writesBefore = Requests(Cmd::MemWrite);
    Click(dlg, "btnStart");
    // Once the step is out, the tested loop stays selected until the output is back.
    auto* combo = Find<QComboBox>(main.get(), "comboPID");
    ASSERT_TRUE(WaitUntil([&] { return Find<QPushButton>(main.get(), "cmdOK")->isEnabled(); }));
    EXPECT_FALSE(combo->isEnabled());
    combo->setCurrentIndex(1);
    EXPECT_EQ(session->loops().selectedIndex(), 0);
    ASSERT_TRUE(WaitUntil([&] { return dlg->run().analysable(); }, 90s))
        << Text(dlg, "lblStatus").toStdString();
    EXPECT_EQ(dlg->run().state(), StepTestRun::State::Settled);
    EXPECT_EQ(controller().Params(0).manualVal, manual + 9);  // 10 % of 10..100
    ASSERT_TRUE(dlg->fit().ok) << dlg->fit().refusal.toStdString();
    const FopdtModel& m = dlg->fit().model;
    EXPECT_NEAR(m.gain, kTruth.gain, 0.15 * kTruth.gain);
    EXPECT_NEAR(m.timeConstant, kTruth.timeConstant, 0.15 * kTruth.timeConstant);
    EXPECT_NEAR(m.deadTime, kTruth.deadTime, 0.15 * kTruth.deadTime);

    // The return to the previous output: one more ordinary send, confirmed.
    ASSERT_TRUE(
        WaitUntil([&] { return Text(dlg, "lblStatus").startsWith("Output returned"); }, 15s));
    EXPECT_EQ(controller().Params(0).manualVal, manual);
    EXPECT_TRUE(session->log().logText().contains("Step test: Output returned to"));
    EXPECT_TRUE(combo->isEnabled());
    // Two sends (five writes and the mode byte each), the step and the
    // return; nothing else written.
    EXPECT_EQ(Requests(Cmd::MemWrite) - writesBefore, 2 * PidSettingsSend::kSteps);
    EXPECT_EQ(dialogs.details.size(), 3);  // manual, step, return
}

INSTANTIATE_TEST_SUITE_P(Pty, StepTestE2E, ::testing::Values(Via::Pty), ViaParamName);
