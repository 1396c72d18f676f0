// Pictures of the burner windows for the documentation, taken from a running
// simulated burner. Only when TUVIK_SCREENSHOT_DIR names the folder to write to.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "BurnerRig.h"
#include "burner/frmAllParams.h"
#include "burner/frmExtra.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

bool Save(QWidget* w, const QString& folder, const char* name) {
    QApplication::processEvents();
    const QPixmap shot = w->grab();
    return !shot.isNull() && shot.save(folder + QLatin1Char('/') + QLatin1String(name));
}

}  // namespace

TEST(BurnerScreens, RunningBurnerAllParametersAndHistogram) {
    const QString folder = qEnvironmentVariable("TUVIK_SCREENSHOT_DIR");
    if (folder.isEmpty()) {
        GTEST_SKIP() << "TUVIK_SCREENSHOT_DIR not set";
    }
    // Simulated time runs fast so the burner is past its startup.
    BurnerRig rig(Via::Tcp, 60.0);
    ASSERT_TRUE(rig.ok) << rig.error.toStdString();
    frmFlamora* form = rig.form.get();
    form->Timer1().setInterval(200);
    // The whole content, whatever the offscreen screen's size.
    form->resize(form->findChild<QWidget*>(QStringLiteral("Frame1"))->sizeHint() + QSize(24, 24));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    auto* prog = form->findChild<QLabel*>(QStringLiteral("lblProgState"));
    auto* usage = form->findChild<QLabel*>(QStringLiteral("lblUsageTime_4"));
    ASSERT_TRUE(WaitUntil([&] { return prog->text().contains(QStringLiteral("Running")); }, 60s));
    ASSERT_TRUE(WaitUntil([&] { return !usage->text().isEmpty(); }, 10s));
    form->findChild<QLineEdit*>(QStringLiteral("txtOso"))->setText(QStringLiteral("24"));
    QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("btnRead")), Qt::LeftButton);
    Pump(1500ms);
    EXPECT_TRUE(Save(form, folder, "burner-window.png"));

    frmAllParams* all = form->allParams();
    all->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(all));
    for (int r = 0; r < 24 && r < all->model().rows(); ++r) {
        all->model().setChecked(r, true);
    }
    QTest::mouseClick(all->findChild<QPushButton*>(QStringLiteral("btnRead")), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !all->model().valueText(23).isEmpty(); }));
    EXPECT_TRUE(Save(all, folder, "all-params.png"));

    rig.server->SetClockRunning(false);
    frmExtra* extras = form->extras();
    extras->histogram().setSpacingMs(2);
    extras->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(extras));
    QTest::mouseClick(extras->findChild<QPushButton*>(QStringLiteral("btnReadHistogram")),
                      Qt::LeftButton);
    auto* text = extras->findChild<QPlainTextEdit*>(QStringLiteral("txtHistoData"));
    ASSERT_TRUE(WaitUntil([&] { return text->toPlainText().count(QLatin1Char('\n')) >= 122; }));
    EXPECT_TRUE(Save(extras, folder, "histogram.png"));
}
