#include <gtest/gtest.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "BurnerFixture.h"
#include "TestUtil.h"
#include "burner/frmAllParams.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

QByteArray Defines(int count) {
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        text += "#define PARAM_" + QByteArray::number(i) + " " + QByteArray::number(100 + i) +
                " // row " + QByteArray::number(i) + "\r\n";
    }
    return text;
}

class AllParamsTest : public ::testing::Test {
  protected:
    void Make(const QByteArray& params) {
        s = std::make_unique<BurnerSession>(params);
        ASSERT_TRUE(s->ok);
        form = std::make_unique<frmAllParams>(*s->session, &s->dialogs);
        form->safeSend().reader().setTimeoutMs(5);  // nothing answers the reads here
    }
    void Click(const char* name) {
        auto* b = form->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    AllParamsModel& m() { return form->model(); }

    std::unique_ptr<BurnerSession> s;
    std::unique_ptr<frmAllParams> form;
};

}  // namespace

TEST_F(AllParamsTest, ThousandRowsOpenAndByteReadsReachThemWhileOpen) {
    Make(Defines(1005));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("All Parameters"));
    EXPECT_FALSE(form->AllParamsOpen());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_TRUE(form->AllParamsOpen());
    EXPECT_TRUE(AllParamsOpen());
    ASSERT_EQ(m().rows(), 1001);
    EXPECT_EQ(form->grid()->model()->rowCount(), 1001);
    EXPECT_EQ(m().addressText(1000), QStringLiteral("1100"));
    EXPECT_EQ(m().name(0).size(), 50);

    s->feeder->Reply(Cmd::ByteValue, {42, 0x4C, 0x04});  // address 1100
    EXPECT_EQ(m().valueText(1000), QStringLiteral("42"));

    // Closed, the grid keeps its values but no longer takes replies.
    form->close();
    EXPECT_FALSE(form->AllParamsOpen());
    EXPECT_FALSE(AllParamsOpen());
    s->feeder->Reply(Cmd::ByteValue, {43, 0x4C, 0x04});
    EXPECT_EQ(m().valueText(1000), QStringLiteral("42"));
    form->show();
    EXPECT_EQ(m().rows(), 1001);
    EXPECT_EQ(m().valueText(1000), QStringLiteral("42"));
}

TEST_F(AllParamsTest, EmptyTableLeavesThePlaceholderRow) {
    Make(QByteArray("// nothing here\r\n"));
    form->Load();
    ASSERT_EQ(m().rows(), 1);
    EXPECT_EQ(m().addressText(0), QStringLiteral("9999"));
    EXPECT_EQ(m().name(0), QStringLiteral("Label1"));
}

TEST_F(AllParamsTest, CheckAllReadAndSendWithConfirmation) {
    Make("#define A 17\r\n#define B 300\r\n#define C 18\r\n#define D 19\r\n#define E 20\r\n");
    form->Load();
    auto* chkAll = form->findChild<QCheckBox*>(QStringLiteral("chkAll"));
    ASSERT_NE(chkAll, nullptr);
    EXPECT_EQ(chkAll->text(), QStringLiteral("check all"));
    QTest::mouseClick(chkAll, Qt::LeftButton);
    EXPECT_EQ(m().checkedCount(), 5);
    QTest::mouseClick(chkAll, Qt::LeftButton);
    EXPECT_EQ(m().checkedCount(), 0);

    m().setChecked(1, true);
    m().setChecked(0, true);
    Click("btnRead");
    EXPECT_EQ(s->link.HexPackets(), (QStringList{"8A 02 11 00 75", "8A 02 2C 01 75"}));

    // Values: -1 and 255 both go as FF; 256 and a non-number are not sent.
    for (int r = 0; r < 5; ++r) {
        m().setChecked(r, true);
    }
    m().setValueText(0, QStringLiteral("-1"));
    m().setValueText(1, QStringLiteral("255"));
    m().setValueText(2, QStringLiteral("256"));
    m().setValueText(3, QStringLiteral("abc"));
    m().setValueText(4, QStringLiteral("2.5"));

    s->link.Clear();
    s->dialogs.answerYes = false;
    Click("Command3");
    ASSERT_TRUE(WaitUntil([&] { return s->dialogs.questions.size() == 1; }));
    EXPECT_EQ(s->dialogs.questions[0],
              QString::fromUtf8("Varoitus|Haluatko varmasti lähettää arvoja polttimeen?"));
    // Only the reads of the rows that would be sent went out.
    const QStringList reads = {"8A 02 11 00 75", "8A 02 14 00 75", "8A 02 2C 01 75"};
    EXPECT_EQ(s->link.HexPackets(), reads);

    s->dialogs.answerYes = true;
    s->link.Clear();
    Click("Command3");
    ASSERT_TRUE(WaitUntil([&] { return !form->safeSend().running(); }));
    const QStringList writes = {"85 03 11 00 FF 7A", "85 03 2C 01 FF 7A", "85 03 14 00 02 7A"};
    EXPECT_EQ(s->link.HexPackets(), reads + writes + reads);
    // The rows not sent, then the read-back that nothing answered.
    ASSERT_EQ(s->dialogs.messages.size(), 2);
    EXPECT_EQ(s->dialogs.messages[1].title, SafeWriteText::MismatchTitle());
    s->dialogs.messages.removeLast();
    const QString told = s->dialogs.messages[0].text;
    EXPECT_TRUE(told.contains(QStringLiteral("C (18)"))) << told.toStdString();
    EXPECT_TRUE(told.contains(QStringLiteral("D (19)"))) << told.toStdString();
    EXPECT_FALSE(told.contains(QStringLiteral("A (17)")));

    // Not connected: told, nothing sent.
    s->link.Clear();
    s->link.open = false;
    Click("btnRead");
    EXPECT_TRUE(s->link.packets.isEmpty());
    EXPECT_EQ(s->dialogs.messages.size(), 2);
}

TEST_F(AllParamsTest, ParFilesSavedTwiceAndLoadedThroughTheDialogs) {
    Make("#define P 17\r\n#define P_MAX 17\r\n#define Q 18\r\n");
    form->Load();
    const QString path = s->dir.filePath(QStringLiteral("set.par"));

    // Cancelled dialogs.
    Click("Command1");
    Click("Command2");
    ASSERT_EQ(s->dialogs.messages.size(), 2);
    EXPECT_EQ(s->dialogs.messages[0].text, QStringLiteral("File not found:"));
    EXPECT_EQ(s->dialogs.messages[1].text, QStringLiteral("File not found:"));
    EXPECT_EQ(s->dialogs.fileDialogs,
              (QStringList{"Save settings|All Files (*.par)", "Open settings|All Files (*.par)"}));

    s->dialogs.saveFileName = path;
    m().setValueText(0, QStringLiteral("250"));
    Click("Command1");
    m().setValueText(0, QStringLiteral("251"));
    m().setValueText(2, QStringLiteral("-3"));
    Click("Command1");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    EXPECT_EQ(bytes.count("\r\n"), 6);

    for (int r = 0; r < 3; ++r) {
        m().setValueText(r, QString());
    }
    s->dialogs.openFileName = path;
    Click("Command2");
    // The later of the two saves wins; an empty box was saved as 0.
    EXPECT_EQ(m().valueText(0), QStringLiteral("251"));
    EXPECT_EQ(m().valueText(1), QStringLiteral("0"));
    EXPECT_EQ(m().valueText(2), QStringLiteral("-3"));
    EXPECT_EQ(s->dialogs.messages.size(), 2);

    // A file that cannot be written.
    s->dialogs.saveFileName = s->dir.filePath(QStringLiteral("no/such/dir/set.par"));
    Click("Command1");
    ASSERT_EQ(s->dialogs.messages.size(), 3);
    EXPECT_TRUE(s->dialogs.messages.last().text.startsWith(QStringLiteral("Error saveparData: ")));
}
