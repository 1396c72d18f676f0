// The step test window offline: the output a step starts from, a saved test
// loaded without a link analysed and shown, "Use these settings" filling only
// the editor's K, Ti and Td and only for the record's loop, and a file that
// is no step test, or too large to be one, refused with a message.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "RecordingDialogs.h"
#include "ScratchOptions.h"
#include "TestUtil.h"
#include "pid/ui/PidEditorWidget.h"
#include "pid/ui/StepChartWidget.h"
#include "pid/ui/frmStepTest.h"
#include "shell/Session.h"
#include "shell/ui/frmPID.h"

using namespace tuvik;
using tuvik::test::RecordingDialogs;

TEST(StepTestWindow, ALoadedTestIsAnalysedAndUseFillsOnlyKTiTdOfItsLoop) {
    QTemporaryDir dir;
    RecordingDialogs dialogs;
    Session session(AppPaths(dir.path(), dir.path(), {QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
    frmPID w(session, tuvik::test::ScratchOptions(dir.path(), &dialogs));
    w.Form_Load();
    // In automatic at a live output of 100 %: the step starts there, not at
    // the manual value the editor holds.
    clsPID& loop = session.loops()[0];
    ASSERT_TRUE(loop.ManualVal("40").ok() && loop.MaxContr("100").ok());
    loop.AutoMode(1);
    loop.WriteLiveSingle(clsPID::LiveField::ControllerOut, 100);
    QTest::mouseClick(w.findChild<QPushButton*>("btnStepTest"), Qt::LeftButton);
    frmStepTest* dlg = w.windows().stepTest();
    ASSERT_NE(dlg, nullptr);
    const auto label = [&](const char* name) { return dlg->findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(label("lblStepTo"), QStringLiteral("live output 100 % to 90 %"));
    dlg->findChild<QSpinBox*>("spinStep")->setValue(-20);
    EXPECT_EQ(label("lblStepTo"), QStringLiteral("live output 100 % to 80 %"));
    EXPECT_FALSE(dlg->findChild<QPushButton*>("btnUse")->isEnabled());

    // Gain 2, time constant 5 s, dead time 2 s, a step of 10 at t = 0.
    StepRecord r;
    r.loopName = loop.GetName();
    r.started = QDateTime(QDate(2026, 3, 1), QTime(10, 0));
    r.outputBefore = 40;
    r.outputAfter = 50;
    for (int i = -50; i <= 400; ++i) {
        const double t = i * 0.1;
        const double y = t < 2 ? 0 : 20 * (1 - std::exp(-(t - 2) / 5));
        r.samples.push_back({t, t < 0 ? 40.0 : 50.0, 30 + y});
    }
    ASSERT_TRUE(test::WriteFile(dir.filePath("step.csv"), StepRecordToCsv(r).toUtf8()));
    ASSERT_TRUE(test::WriteFile(dir.filePath("bad.csv"), "not a step test\n"));
    QFile huge(dir.filePath("huge.csv"));  // sparse: refused by its size, unread
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxStepFileBytes + 1));

    dialogs.files = {dir.filePath("bad.csv"), huge.fileName(), dir.filePath("step.csv")};
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(dlg->findChild<QPushButton*>("btnLoadTest"), Qt::LeftButton);
    }
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].text.contains("bad.csv"));
    EXPECT_TRUE(dialogs.messages[1].text.contains("larger than"))
        << dialogs.messages[1].text.toStdString();
    ASSERT_TRUE(dlg->fit().ok) << dlg->fit().refusal.toStdString();
    const QString fit = label("lblFit");
    EXPECT_TRUE(fit.contains("gain 2 ") && fit.contains("time constant 5 s") &&
                fit.contains("dead time 2 s"))
        << fit.toStdString();
    EXPECT_EQ(dlg->findChild<StepChartWidget*>("chartRecord")->series().size(), 2);
    EXPECT_EQ(dlg->findChild<StepChartWidget*>("chartPrediction")->series().size(), 4);
    EXPECT_EQ(QStringList({label("lblLambdaK"), label("lblLambdaTi"), label("lblLambdaTd")}),
              QStringList({"0.548", "6", "0.833"}));

    // Use fills the record's loop in the editor (another loop's stays out:
    // the controller's rule).
    dlg->findChild<QRadioButton*>("radioLambda")->setChecked(true);
    PidEditorValues want = w.editor().values();
    QTest::mouseClick(dlg->findChild<QPushButton*>("btnUse"), Qt::LeftButton);
    want.boxes[PidBox::K] = "0.548";
    want.boxes[PidBox::Ti] = "6";
    want.boxes[PidBox::Td] = "0.833";
    EXPECT_EQ(w.editor().values().boxes, want.boxes);
    w.editor().Unload();
}
