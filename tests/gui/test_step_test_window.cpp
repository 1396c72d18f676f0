// The step test window offline: a saved test loaded without a link is
// analysed and shown, "Use these settings" fills only the editor's K, Ti and
// Td, and a file that is no step test is refused with a message.
#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "RecordingDialogs.h"
#include "ScratchOptions.h"
#include "pid/PidEditorWidget.h"
#include "pid/StepChartWidget.h"
#include "pid/frmStepTest.h"
#include "shell/Session.h"
#include "shell/frmPID.h"

using namespace tuvik;
using tuvik::test::RecordingDialogs;

TEST(StepTestWindow, ALoadedTestIsAnalysedAndUseFillsOnlyKTiTd) {
    QTemporaryDir dir;
    RecordingDialogs dialogs;
    Session session(AppPaths(dir.path(), dir.path(), {QStringLiteral(TUVIK_SOURCE_DATA_DIR)}));
    frmPID w(session, tuvik::test::ScratchOptions(dir.path(), &dialogs));
    w.Form_Load();
    QTest::mouseClick(w.findChild<QPushButton*>("btnStepTest"), Qt::LeftButton);
    frmStepTest* dlg = w.stepTest();
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(dlg->findChild<QPushButton*>("btnUse")->isEnabled());

    // Gain 2, time constant 5 s, dead time 2 s, a step of 10 at t = 0.
    StepRecord r;
    r.loopName = session.loops()[0].GetName();
    r.started = QDateTime(QDate(2026, 3, 1), QTime(10, 0));
    r.outputBefore = 40;
    r.outputAfter = 50;
    for (int i = -50; i <= 400; ++i) {
        const double t = i * 0.1;
        const double y = t < 2 ? 0 : 20 * (1 - std::exp(-(t - 2) / 5));
        r.samples.push_back({t, t < 0 ? 40.0 : 50.0, 30 + y});
    }
    QFile f(dir.filePath("step.csv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(StepRecordToCsv(r).toUtf8());
    f.close();
    QFile bad(dir.filePath("bad.csv"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("not a step test\n");
    bad.close();

    dialogs.files = {bad.fileName(), f.fileName()};
    QTest::mouseClick(dlg->findChild<QPushButton*>("btnLoadTest"), Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains("bad.csv"));
    QTest::mouseClick(dlg->findChild<QPushButton*>("btnLoadTest"), Qt::LeftButton);
    ASSERT_TRUE(dlg->fit().ok) << dlg->fit().refusal.toStdString();
    const QString fit = dlg->findChild<QLabel*>("lblFit")->text();
    EXPECT_TRUE(fit.contains("gain 2 ") && fit.contains("time constant 5 s") &&
                fit.contains("dead time 2 s"))
        << fit.toStdString();
    EXPECT_EQ(dlg->findChild<StepChartWidget*>("chartRecord")->series().size(), 2);
    EXPECT_EQ(dlg->findChild<StepChartWidget*>("chartPrediction")->series().size(), 4);
    const PidTuning lambda = dlg->Suggested(TuningRule::Lambda);
    EXPECT_EQ(dlg->findChild<QLabel*>("lblLambdaK")->text(), QString::number(lambda.K, 'g', 3));

    std::array<QString, PidBox::kCount> before;
    auto box = [&](int i) {
        return w.findChild<QLineEdit*>(QStringLiteral("TextAutoPID_%1").arg(i));
    };
    for (int i = 0; i < PidBox::kCount; ++i) {
        before[i] = box(i)->text();
    }
    const int manual = w.editor().values().manual;
    const bool automatic = w.editor().values().automatic;
    dlg->findChild<QRadioButton*>("radioLambda")->setChecked(true);
    QTest::mouseClick(dlg->findChild<QPushButton*>("btnUse"), Qt::LeftButton);
    for (int i = 0; i < PidBox::kCount; ++i) {
        if (i == PidBox::K || i == PidBox::Ti || i == PidBox::Td) {
            continue;
        }
        EXPECT_EQ(box(i)->text(), before[i]) << i;
    }
    EXPECT_EQ(box(PidBox::K)->text(), QString::number(lambda.K, 'g', 3));
    EXPECT_EQ(box(PidBox::Ti)->text(), QString::number(lambda.Ti, 'g', 3));
    EXPECT_EQ(box(PidBox::Td)->text(), QString::number(lambda.Td, 'g', 3));
    EXPECT_EQ(w.editor().values().manual, manual);
    EXPECT_EQ(w.editor().values().automatic, automatic);
    w.editor().Unload();
}
