// The burner window's parameter-set upload against a simulated burner that
// refuses a block or loses the acknowledgements, over both links. (The
// workflows that succeed are part of the operator walk-through.)
#include <gtest/gtest.h>

#include <QLineEdit>

#include "BurnerRig.h"
#include "link/Packet.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

class BurnerE2E : public ::testing::TestWithParam<Via> {
  protected:
    void SetUp() override {
        rig = std::make_unique<BurnerRig>(GetParam());
        ASSERT_TRUE(rig->ok) << rig->error.toStdString();
        form = rig->form.get();
        form->Timer1().setInterval(50);
        form->paramSetUpload().setPauseMs(150);
        form->Load();
        ASSERT_TRUE(WaitUntil([&] { return form->windowTitle().startsWith("FlamoraBurner"); }));
    }
    void TearDown() override { rig.reset(); }

    QLineEdit* Edit(const QString& name) { return Find<QLineEdit>(form, name); }
    int Commits() {
        return static_cast<int>(rig->server->device().stats().perCommand[Cmd::Commit]);
    }
    // The upload's message box, once it has been shown.
    QString UploadOutcome() {
        const qsizetype before = rig->dialogs.messages.size();
        Click(form, "btnSendValues");
        if (!WaitUntil([&] { return rig->dialogs.messages.size() > before; }, 10s)) {
            return QStringLiteral("(no message)");
        }
        return rig->dialogs.messages.last().text;
    }

    std::unique_ptr<BurnerRig> rig;
    frmFlamora* form = nullptr;
};

}  // namespace

TEST_P(BurnerE2E, UploadFailsWhenABlockIsRefusedOrTheAcksAreLost) {
    const uint16_t before = rig->Word(4);
    const int commits = Commits();
    Edit("txtFlamoraParams_0")->setText(QString::number(before + 1));

    rig->server->faults().SetNext(sim::Fault::NakWrite, 1);
    EXPECT_EQ(UploadOutcome(), QStringLiteral("Parameters upload FAILLED!!"));
    EXPECT_EQ(rig->dialogs.messages.last().icon, UserDialogs::Icon::Critical);
    EXPECT_EQ(rig->Word(4), before);  // the refused first block

    rig->server->faults().SetProbability(sim::Fault::DropReply, 1.0);
    EXPECT_EQ(UploadOutcome(), QStringLiteral("Parameters upload FAILLED!!"));
    rig->server->faults().ClearAll();
    Pump(100ms);
    EXPECT_EQ(Commits(), commits);
    EXPECT_TRUE(rig->link()->RefreshTimerEnabled());
}

INSTANTIATE_TEST_SUITE_P(Links, BurnerE2E, ::testing::Values(Via::Pty, Via::Tcp), ViaParamName);
