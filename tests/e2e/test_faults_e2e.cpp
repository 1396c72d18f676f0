// The burner window against a misbehaving simulator, over a pseudo-terminal
// and over loopback TCP: the device vanishing in the middle of each long
// exchange, a burst of line noise, and every fault mode the simulator has
// during a parameter-set upload. Whatever happens, a failure is never
// reported as success and the program can carry on afterwards.
#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <random>

#include "BurnerRig.h"
#include "FaultModes.h"
#include "burner/ParamSetUpload.h"
#include "burner/frmAllParams.h"
#include "burner/frmExtra.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

class FaultsE2E : public BurnerE2EFixture {
  protected:
    // Opens the link again after the simulator dropped it (a closed pty is
    // replaced by a fresh one under a new name).
    ::testing::AssertionResult Reconnect() {
        if (rig->serial) {
            WaitUntil([&] { return !rig->serial->PortOpen(); }, 2s);
            rig->settings.comPort = rig->server->PtyPath();
            if (const auto e = rig->serial->OpenPort()) {
                return ::testing::AssertionFailure() << e->description.toStdString();
            }
        } else {
            WaitUntil([&] { return !rig->tcp->PortOpen(); }, 2s);
            rig->tcp->Connect();
        }
        if (!WaitUntil(
                [&] { return rig->link()->PortOpen() && rig->session->ctx().LinkConnected(); })) {
            return ::testing::AssertionFailure() << "link not open again";
        }
        return ::testing::AssertionSuccess();
    }
    uint64_t Writes() { return rig->server->device().stats().writes; }
    // After a failed exchange: nothing committed, polling back, nothing held.
    void ExpectSaneAfterFailure(int commits) {
        EXPECT_EQ(Commits(), commits);
        EXPECT_TRUE(rig->link()->RefreshTimerEnabled());
        EXPECT_FALSE(ExchangeGuard::Busy());
    }
};

}  // namespace

TEST_P(FaultsE2E, AVanishingDeviceFailsEveryLongExchangeAndTheLinkComesBack) {
    // Parameter-set upload: the connection goes after the first block.
    form->paramSetUpload().setPauseMs(400);
    const int commits = Commits();
    const uint16_t before = rig->Word(4);
    Edit("txtFlamoraParams_0")->setText(QString::number(before + 7));
    const uint64_t writes = Writes();
    Click(form, "btnSendValues");
    ASSERT_TRUE(WaitUntil([&] { return Writes() > writes; }));
    rig->server->CloseConnections();
    ASSERT_TRUE(WaitUntil([&] { return !rig->dialogs.messages.isEmpty(); }, 10s));
    EXPECT_EQ(rig->dialogs.messages.first().text.section(QStringLiteral("\n\n"), 0, 0),
              ParamSetUpload::kFailText);
    ASSERT_TRUE(WaitUntil([&] { return !form->safeSend().running(); }));
    ExpectSaneAfterFailure(commits);

    // Histogram read: the connection goes while the requests are going out.
    ASSERT_TRUE(Reconnect());
    frmExtra* extra = form->extras();
    extra->histogram().setSpacingMs(30);
    extra->show();
    rig->dialogs.clear();
    Click(extra, "btnClear");
    Click(extra, "btnReadHistogram");
    ASSERT_TRUE(WaitUntil([&] { return extra->histogram().requestsSent() >= 10; }));
    rig->server->CloseConnections();
    ASSERT_TRUE(WaitUntil([&] { return !extra->histogram().reading(); }, 10s));
    ASSERT_EQ(rig->dialogs.messages.size(), 1);
    EXPECT_EQ(rig->dialogs.messages[0].icon, UserDialogs::Icon::Warning);
    EXPECT_TRUE(rig->dialogs.messages[0].text.startsWith("The histogram read stopped"));
    EXPECT_LT(extra->histogram().requestsSent(), Histogram::kReadCount);
    EXPECT_FALSE(ExchangeGuard::Busy());

    // All-parameters read: the replies are lost with the connection; no row
    // shows a value that did not come from the device.
    ASSERT_TRUE(Reconnect());
    frmAllParams* all = form->allParams();
    all->show();
    AllParamsModel& m = all->model();
    m.chkAll(true);
    rig->server->faults().SetStopped(true);
    Click(all, "btnRead");
    rig->server->CloseConnections();
    Pump(300ms);
    for (int r = 0; r < m.rows(); ++r) {
        ASSERT_TRUE(m.valueText(r).isEmpty()) << r;
    }
    rig->server->faults().SetStopped(false);

    // Connected again, every exchange works as before.
    ASSERT_TRUE(Reconnect());
    m.chkAll(false);
    m.setChecked(0, true);
    Click(all, "btnRead");
    const int a0 = m.addressText(0).toInt();
    EXPECT_TRUE(WaitUntil([&] { return m.valueText(0) == QString::number(rig->memory()[a0]); }));
    rig->dialogs.clear();
    Edit("txtFlamoraParams_0")->setText(QString::number(before + 7));
    EXPECT_EQ(UploadOutcome(), ParamSetUpload::kOkText);
    EXPECT_EQ(rig->Word(4), before + 7);
}

TEST_P(FaultsE2E, AMegabyteOfNoiseIsSkippedReportedAndForgotten) {
    QStringList captions;
    QObject::connect(&rig->session->ctx(), &AppContext::mainCaptionRequested,
                     [&](const QString& c) { captions << c; });
    auto* value = Edit("txtValue");
    // The simulator's pty backlog drops what comes while it is full, so a
    // packet goes again until it is seen (each time behind a run of bytes
    // that ends whatever packet the noise left half-read).
    const auto pushValue = [&](uint8_t v) {
        const uint8_t reply[] = {v, 40, 0};  // byte read reply: value, address
        for (int attempt = 0; attempt < 100; ++attempt) {
            rig->server->PushRaw(QByteArray(300, '\0'));
            rig->server->PushReply(Cmd::ByteValue, reply);
            if (WaitUntil([&] { return value->text() == QString::number(v); }, 200ms)) {
                return true;
            }
        }
        return false;
    };
    ASSERT_TRUE(pushValue(11));

    std::mt19937 rng(20261206);
    QByteArray noise(1 << 20, '\0');
    for (char& c : noise) {
        c = static_cast<char>(rng() & 0xFF);
    }
    rig->server->PushRaw(noise);
    ASSERT_TRUE(pushValue(22)) << "good packets are taken again after the noise";
    EXPECT_TRUE(std::any_of(captions.begin(), captions.end(),
                            [](const QString& c) { return c.contains("Broken packet: "); }));
    // The framer holds no more than one packet: it is hunting again, and the
    // TCP link keeps only its latest chunk.
    const RxState& rx = rig->serial ? rig->serial->rxState() : rig->tcp->rxState();
    EXPECT_EQ(rx.count, 0);
    if (rig->tcp) {
        EXPECT_LT(rig->tcp->rxBuffer().size(), noise.size());
    }
    // Live polling goes on.
    ASSERT_TRUE(pushValue(33));
    EXPECT_TRUE(rig->dialogs.messages.isEmpty());
}

// Each fault mode of the simulator during an upload: either the failure
// message with nothing committed, or success with the new set in the device.
TEST_P(FaultsE2E, UploadUnderEveryFaultModeNeverClaimsAFalseSuccess) {
    int value = 1000;
    for (const FaultMode& mode : FaultModes(Expect::Succeeds)) {
        SCOPED_TRACE(mode.name);
        if (!rig->link()->PortOpen()) {
            ASSERT_TRUE(Reconnect());
        }
        const int commits = Commits();
        const uint16_t before = rig->Word(4);
        Edit("txtFlamoraParams_0")->setText(QString::number(++value));
        mode.set(rig->server->faults());
        rig->dialogs.clear();
        const QString outcome = UploadOutcome();
        const int delay = rig->server->faults().Delay();
        rig->server->faults().ClearAll();
        Pump(std::chrono::milliseconds(300 + delay));  // late replies, a commit, are in
        if (outcome == ParamSetUpload::kOkText) {
            EXPECT_NE(mode.expect, Expect::Fails);
            EXPECT_EQ(rig->Word(4), value) << "success with the new value in the device";
            EXPECT_EQ(Commits(), commits + 1);
        } else {
            EXPECT_NE(mode.expect, Expect::Succeeds);
            EXPECT_EQ(outcome, ParamSetUpload::kFailText);
            EXPECT_EQ(rig->dialogs.messages.first().icon, UserDialogs::Icon::Critical);
            EXPECT_EQ(Commits(), commits);
            if (std::string(mode.name).starts_with("refused write")) {
                EXPECT_EQ(rig->Word(4), before) << "the refused block is not written";
            }
        }
        EXPECT_TRUE(rig->link()->RefreshTimerEnabled() || !rig->link()->PortOpen());
        EXPECT_FALSE(ExchangeGuard::Busy());
    }
}

INSTANTIATE_TEST_SUITE_P(Links, FaultsE2E, ::testing::Values(Via::Pty, Via::Tcp),
                         [](const auto& info) { return std::string(ViaName(info.param)); });
