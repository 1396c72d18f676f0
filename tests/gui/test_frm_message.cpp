#include <gtest/gtest.h>

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "TestUtil.h"
#include "support/MessageLog.h"
#include "support/frmMessage.h"

using namespace tuvik;

namespace {

class FrmMessageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        log.setLocale(QLocale::c());
        log.setClock([] { return QDateTime(QDate(2026, 12, 5), QTime(8, 0, 0)); });
        form = std::make_unique<frmMessage>(&log);
        text = form->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        clear = form->findChild<QPushButton*>(QStringLiteral("Command1"));
        ASSERT_NE(text, nullptr);
        ASSERT_NE(clear, nullptr);
    }
    int FileLines() {
        QFile f(log.DailyFilePath(QDate(2026, 12, 5)));
        return f.open(QIODevice::ReadOnly) ? static_cast<int>(f.readAll().count("\r\n")) : -1;
    }

    QTemporaryDir dir;
    MessageLog log{dir.path()};
    std::unique_ptr<frmMessage> form;
    QPlainTextEdit* text = nullptr;
    QPushButton* clear = nullptr;
};

}  // namespace

TEST_F(FrmMessageTest, ShowsLogAndClearEmptiesScreenOnly) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Messages"));
    EXPECT_EQ(clear->text(), QStringLiteral("Clear"));
    EXPECT_TRUE(text->isReadOnly());

    log.AddMessage(QStringLiteral("A"));
    log.AddMessage(QStringLiteral("B"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("08:00:00 B\t Tg: Tw:\n08:00:00 A\t Tg: Tw:\n"));

    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_TRUE(text->toPlainText().isEmpty());
    EXPECT_TRUE(log.logText().isEmpty());
    log.AddMessage(QStringLiteral("C"));
    EXPECT_EQ(text->toPlainText(), QStringLiteral("08:00:00 C\t Tg: Tw:\n"));
    EXPECT_EQ(FileLines(), 4);
}

TEST_F(FrmMessageTest, CloseBoxHidesAndLoggingGoesOn) {
    log.AddMessage(QStringLiteral("A"));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_FALSE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->isUnloaded());

    log.AddMessage(QStringLiteral("B"));
    EXPECT_TRUE(text->toPlainText().startsWith(QStringLiteral("08:00:00 B")));
    EXPECT_EQ(FileLines(), 3);

    // Shown again, the text is all there.
    form->show();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(text->toPlainText().count(QLatin1Char('\n')), 2);
}

TEST_F(FrmMessageTest, UnloadWritesAndCloses) {
    form->show();
    form->Unload();
    EXPECT_TRUE(form->isUnloaded());
    EXPECT_FALSE(form->isVisible());
    // Nothing was logged, but today's file now exists with its header.
    EXPECT_EQ(FileLines(), 1);
}
