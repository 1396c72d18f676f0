// Every fault mode of the simulator against each long exchange of the
// program, over both links: a failure is reported as one with nothing
// committed, a success has the values in the device, and afterwards the
// program carries on.
#include <gtest/gtest.h>

#include <QPushButton>

#include "E2E.h"
#include "FaultModes.h"
#include "burner/ParamSetUpload.h"
#include "pid/PidEditorModel.h"
#include "support/ExchangeGuard.h"
#include "support/Numbers.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

const QString kNotSuccessful = QStringLiteral("PID settings upload not successfull!");
const QString kSendError = QStringLiteral(
    "ERROR sending parameters! Please try again. False parameters may drive the system unstable!");

class FaultsE2E : public ProgramE2E {
  protected:
    void SetUp() override {
        ProgramE2E::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(Connect());
        // The editor and the burner's boxes filled from the device.
        ASSERT_TRUE(ReadLoop());
        Click(burner, "btnGetvalues");
        ASSERT_TRUE(WaitUntil(
            [&] { return Edit("txtFlamoraParams_0")->text() == QString::number(Word(4)); }));
        dialogs.clear();
    }
    bool ReadLoop() {
        main->setWindowTitle(QString());
        Click(main.get(), "btnGetCurrentValues");
        auto* get = Find<QPushButton>(main.get(), "btnGetCurrentValues");
        EXPECT_TRUE(WaitUntil([&] { return get->isEnabled(); }, 15s));
        return main->windowTitle().startsWith(QStringLiteral("PID luku onnistui "));
    }
    // Faults off; the link back if the device closed it; then two round
    // trips: the first reply comes behind every late one, the second request
    // behind anything those made the program send (a commit after a late
    // acknowledgement).
    void Settle() {
        sim->faults().ClearAll();
        if (sim->stats().closes != closes) {
            // The link comes back by itself once the device is there again.
            closes = sim->stats().closes;
            ASSERT_TRUE(WaitUntil(
                [&] {
                    return session->ctx().LinkConnected() && !link()->reconnecting() &&
                           DeviceSeesLink();
                },
                15s));
        }
        ASSERT_TRUE(RoundTrip() && RoundTrip());
        EXPECT_TRUE(link()->RefreshTimerEnabled());
        EXPECT_FALSE(ExchangeGuard::Busy());
    }
    static void Check(bool ok, Expect expect) {
        EXPECT_NE(expect, ok ? Expect::Fails : Expect::Succeeds) << (ok ? "succeeded" : "failed");
    }
    uint64_t closes = 0;
};

}  // namespace

TEST_P(FaultsE2E, PidSettingsSend) {
    int setpoint = 100;
    for (const FaultMode& mode : FaultModes(Expect::Fails)) {
        SCOPED_TRACE(mode.name);
        Box(PidBox::Setpoint)->setText(QString::number(++setpoint));
        const uint64_t commits = Requests(Cmd::Commit);
        const size_t shown = dialogs.shown.size();
        main->setWindowTitle(QString());
        mode.set(sim->faults());
        ASSERT_TRUE(ApplyChanges());
        const bool ok =
            main->windowTitle().endsWith(QStringLiteral(" PID settings sent successfully!"));
        Settle();
        Check(ok, mode.write);
        if (ok) {
            EXPECT_EQ(dialogs.shown.size(), shown + 1) << "only the confirmation";
            EXPECT_EQ(controller().Params(0).setpoint, float(setpoint));
            EXPECT_EQ(Requests(Cmd::Commit), commits + 1);
        } else {
            ASSERT_EQ(dialogs.shown.size(), shown + 2);
            EXPECT_TRUE(dialogs.lastText() == kNotSuccessful || dialogs.lastText() == kSendError)
                << dialogs.lastText().toStdString();
            EXPECT_EQ(Requests(Cmd::Commit), commits);
        }
    }
}

TEST_P(FaultsE2E, PidSettingsRead) {
    for (const FaultMode& mode : FaultModes(Expect::Fails)) {
        SCOPED_TRACE(mode.name);
        Box(PidBox::K)->setText("-7");
        const qsizetype told = dialogs.messages.size();
        mode.set(sim->faults());
        const bool ok = ReadLoop();
        Settle();
        Check(ok, mode.read);
        if (ok) {
            EXPECT_EQ(Box(PidBox::K)->text(),
                      SingleText(controller().Params(0).K, QLatin1Char('.')));
            EXPECT_EQ(dialogs.messages.size(), told);
        } else {
            EXPECT_EQ(NextMessage(told), PidEditorController::kNoStatusText);
        }
    }
}

TEST_P(FaultsE2E, ParameterSetUpload) {
    int value = 1000;
    for (const FaultMode& mode : FaultModes(Expect::Succeeds)) {
        SCOPED_TRACE(mode.name);
        const uint64_t commits = Requests(Cmd::Commit);
        const uint16_t before = Word(4);
        Edit("txtFlamoraParams_0")->setText(QString::number(++value));
        const qsizetype told = dialogs.messages.size();
        mode.set(sim->faults());
        Click(burner, "btnSendValues");
        // The result box comes first (a mismatch box may follow the read-back).
        const QString outcome = NextMessage(told).section(QStringLiteral("\n\n"), 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return !burner->safeSend().running(); }, 20s));
        Settle();
        Check(outcome == ParamSetUpload::kOkText, mode.write);
        if (outcome == ParamSetUpload::kOkText) {
            EXPECT_EQ(Word(4), value);
            EXPECT_EQ(Requests(Cmd::Commit), commits + 1);
        } else {
            EXPECT_EQ(outcome, ParamSetUpload::kFailText);
            EXPECT_EQ(dialogs.messages.at(told).icon, UserDialogs::Icon::Critical);
            EXPECT_EQ(Requests(Cmd::Commit), commits);
            if (std::string(mode.name).starts_with("refused write")) {
                EXPECT_EQ(Word(4), before) << "the refused block is not written";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Links, FaultsE2E, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);
