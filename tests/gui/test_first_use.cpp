// What an operator meets first: a burner window that loads once however often
// the link comes back, a missing PARAMS.h explained, and the program's icon on
// every window.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "BurnerFixture.h"
#include "ScratchOptions.h"
#include "TestUtil.h"
#include "burner/ui/frmFlamora.h"
#include "shell/ui/ProgramStart.h"
#include "shell/ui/frmPID.h"
#include "trend/ui/frmADinputs.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

const QByteArray kParams = "#define A 4\n#define B 17\n#define C 300\n";

// An identification followed by the 19 boxes' bytes at addresses 4..35.
std::vector<uint8_t> ParamSetReply(uint8_t fill) {
    std::vector<uint8_t> d(36, fill);
    d[0] = 0xE2;  // 1506
    d[1] = 0x05;
    d[2] = 3;
    d[3] = 100;
    return d;
}

}  // namespace

TEST(BurnerWindow, LoadsOnceAndAReconnectKeepsWhatTheOperatorChanged) {
    BurnerSession s(kParams);
    ASSERT_TRUE(s.ok);
    frmFlamora form(s.session->burnerScope(), &s.dialogs);
    const QByteArray request = Hex("83 00 7C");

    form.Load();
    s.feeder->Reply(0x84, ParamSetReply(1));
    EXPECT_EQ(s.link.packets.count(request), 1);
    auto* combo = Find<QComboBox>(&form, "ComboParameters");
    auto* edited = Find<QLineEdit>(&form, "txtFlamoraParams_3");
    auto* untouched = Find<QLineEdit>(&form, "txtFlamoraParams_4");
    const QString firstRead = untouched->text();
    combo->setCurrentIndex(2);
    edited->setText("777");

    // The link drops and comes back; the main window loads the burner window
    // again, as it does on every connect.
    s.session->ctx().setLinkConnected(false);
    s.session->ctx().setLinkConnected(true);
    form.Load();
    EXPECT_EQ(s.link.packets.count(request), 2) << "one identification request per connect";
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(Find<QLineEdit>(&form, "txtOso")->text(), "300");

    s.feeder->Reply(0x84, ParamSetReply(2));
    EXPECT_EQ(edited->text(), "777") << "an edit not yet sent survives the read on connect";
    EXPECT_NE(untouched->text(), firstRead) << "boxes not edited show the device's values";

    // "Get values" asks for the device's values: every box takes them. A
    // request that did not go out, or went unanswered for as long as a
    // device read waits, gives no box up to the read of a later connect.
    qint64 monoUs = 0;
    s.session->clock().setMonotonic([&] { return monoUs; });
    const struct {
        bool sent;
        qint64 waitedMs;
    } steps[] = {{true, 3000}, {false, 0}, {true, 3001}};
    for (const auto& [sent, waitedMs] : steps) {
        edited->setText("777");
        s.link.open = sent;
        QTest::mouseClick(Find<QPushButton>(&form, "btnGetvalues"), Qt::LeftButton);
        s.link.open = true;
        monoUs += waitedMs * 1000;
        s.feeder->Reply(0x84, ParamSetReply(2));
        EXPECT_EQ(edited->text(), sent && waitedMs <= 3000 ? untouched->text() : "777") << sent;
    }
    s.session->clock().setMonotonic({});
}

TEST(BurnerWindow, NoParamsHeaderIsExplainedOnceInTheLogAndTheWindow) {
    QTemporaryDir dir;
    Session session(AppPaths(dir.path(), dir.path(), {dir.path()}));
    session.Start();
    const QString notice = NoParamsHeaderMessage(session.paths());
    EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(dir.path())));
    EXPECT_EQ(session.log().logText().count(notice), 1);

    RecordingDialogs dialogs;
    frmFlamora form(session.burnerScope(), &dialogs);
    form.Load();
    auto* label = Find<QLabel>(&form, "lblParamsMissing");
    EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(label->text(), notice);
    EXPECT_EQ(Find<QComboBox>(&form, "ComboParameters")->count(), 0);
    EXPECT_EQ(session.log().logText().count(notice), 1) << "said once, not on every load";

    // With the firmware's file in place, nothing is said.
    BurnerSession s(kParams);
    EXPECT_FALSE(s.session->log().logText().contains("PARAMS.h"));
    frmFlamora withParams(s.session->burnerScope(), &s.dialogs);
    withParams.Load();
    EXPECT_TRUE(Find<QLabel>(&withParams, "lblParamsMissing")->isHidden());
}

TEST(ToolWindows, EveryWindowShowsTheProgramIconAndBelongsToTheMainWindow) {
    QTemporaryDir dir;
    Session session(AppPaths(dir.path(), dir.path(), {}));
    RecordingDialogs dialogs;
    frmPID main(session, ScratchOptions(dir.path(), &dialogs));
    AttachToolWindows(session, main);
    main.Form_Load();
    QTest::mouseClick(main.findChild<QPushButton*>("bntADinputs"), Qt::LeftButton);

    for (QWidget* w :
         {main.windows().burner(), main.windows().analog(), static_cast<QWidget*>(&main)}) {
        ASSERT_NE(w, nullptr);
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(w->isWindow());
        EXPECT_EQ(w == &main ? &main : w->parentWidget(), &main);
        EXPECT_FALSE(w->windowIcon().isNull());
        EXPECT_FALSE(w->windowIcon().pixmap(32).isNull());
    }
}
