// The main window's buttons reach the burner and analog inputs windows once
// they are attached, as the program wires them.
#include <gtest/gtest.h>

#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "RecordingDialogs.h"
#include "TestUtil.h"
#include "burner/frmFlamora.h"
#include "shell/Session.h"
#include "shell/frmPID.h"
#include "shell/frmToolWindows.h"
#include "support/frmADinputs.h"

using namespace tuvik;

TEST(ToolWindows, MainWindowButtonsOpenTheAttachedWindows) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Session session(AppPaths(dir.path(), dir.path(), {}));
    test::RecordingDialogs dialogs;
    frmPID::Options o;
    o.openSettings = [&] {
        return std::make_unique<QSettings>(dir.filePath("s.ini"), QSettings::IniFormat);
    };
    o.dialogs = &dialogs;
    auto main = std::make_unique<frmPID>(session, std::move(o));
    AttachToolWindows(session, *main);
    main->Form_Load();

    // Main_new created the burner window, hidden.
    auto* burner = qobject_cast<frmFlamora*>(main->shell().burner.data());
    ASSERT_NE(burner, nullptr);
    EXPECT_FALSE(burner->isVisible());

    QTest::mouseClick(main->findChild<QPushButton*>("btnFlamora"), Qt::LeftButton);
    EXPECT_TRUE(burner->isVisible());
    EXPECT_EQ(burner->windowTitle(), "Emberkin FlamoraBurner parameters");

    QTest::mouseClick(main->findChild<QPushButton*>("bntADinputs"), Qt::LeftButton);
    auto* analog = qobject_cast<frmADinputs*>(main->shell().analog.data());
    ASSERT_NE(analog, nullptr);
    EXPECT_TRUE(analog->isVisible());
    EXPECT_EQ(analog->windowTitle(), "ADinput[]");

    // A message about a failed file write reaches the user as a box.
    session.ctx().notifyUser(QStringLiteral("Error saveLogData: disk full"));
    EXPECT_TRUE(dialogs.texts().contains("Error saveLogData: disk full"));

    QPointer<QWidget> burnerAlive(burner), analogAlive(analog);
    main.reset();  // the end of the program takes the attached windows with it
    EXPECT_TRUE(test::WaitUntil([&] { return burnerAlive.isNull() && analogAlive.isNull(); }));
}
