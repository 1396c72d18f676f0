// The History window's "Keep" box: applied once typed (Enter or leaving the
// box), and a retention that would delete rows is asked first.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include "BurnerFixture.h"
#include "trend/ui/frmHistory.h"

using namespace tuvik;
using namespace tuvik::test;

TEST(HistoryWindow, TheKeepBoxAppliesWhenTypedAndNoLeavesEverything) {
    BurnerSession s("");
    const QString ini = s.dir.filePath(QStringLiteral("s.ini"));
    s.session->connection().setSettingsOpener(
        [ini] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); });
    HistoryStore& history = s.session->history();
    history.setClock([] { return (QDateTime::currentSecsSinceEpoch() - 40 * 86400) * 1000; });
    history.AddLive(0, {1, 2, 3, 4}, 1, 0);
    history.setClock([] { return QDateTime::currentMSecsSinceEpoch(); });
    history.Sync();
    frmHistory w(*s.session, nullptr, &s.dialogs);
    w.show();
    auto* keep = w.findChild<QSpinBox*>(QStringLiteral("txtHistoryDays"));
    const auto type = [&](const char* days, bool yes) {
        keep->setFocus();
        keep->selectAll();
        QTest::keyClicks(keep, QString::fromLatin1(days));
        EXPECT_EQ(history.retentionDays(), 400) << "applied while typed";
        s.dialogs.answerYes = yes;
        QTest::keyClick(keep, Qt::Key_Return);
    };
    type("30", false);  // asked, with the history 40 days deep: No
    EXPECT_EQ(s.dialogs.questions.size(), 1);
    EXPECT_EQ(keep->value(), 400);
    EXPECT_EQ(history.retentionDays(), 400);
    const QString key = QStringLiteral("Settings/HistoryDays");
    EXPECT_FALSE(QSettings(ini, QSettings::IniFormat).contains(key));
    type("36", true);
    EXPECT_EQ(history.retentionDays(), 36);
    EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value(key), 36);
}
