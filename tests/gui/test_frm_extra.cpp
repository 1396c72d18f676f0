#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "BurnerFixture.h"
#include "TestUtil.h"
#include "burner/frmExtra.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

class ExtraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(s.ok);
        form = std::make_unique<frmExtra>(*s.session, &s.dialogs);
        text = form->findChild<QPlainTextEdit*>(QStringLiteral("txtHistoData"));
        read = form->findChild<QPushButton*>(QStringLiteral("btnReadHistogram"));
        clear = form->findChild<QPushButton*>(QStringLiteral("btnClear"));
        ASSERT_NE(text, nullptr);
        ASSERT_NE(read, nullptr);
        ASSERT_NE(clear, nullptr);
    }
    void Word(uint16_t value, uint16_t address) {
        s.feeder->Reply(Cmd::ReadWord,
                        {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8),
                         static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)});
    }

    BurnerSession s{"#define A 1\r\n"};
    std::unique_ptr<frmExtra> form;
    QPlainTextEdit* text = nullptr;
    QPushButton* read = nullptr;
    QPushButton* clear = nullptr;
};

}  // namespace

TEST_F(ExtraTest, RepliesBecomeLinesAndClearEmpties) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Extras"));
    EXPECT_EQ(read->text(), QStringLiteral("Read Histogram"));
    EXPECT_EQ(clear->text(), QStringLiteral("Clear"));
    EXPECT_TRUE(text->toPlainText().isEmpty());

    Word(125, 1696);
    Word(17, 1702);
    Word(40000, 1938);  // shown as read, not dropped
    Word(5, 1940);      // not a histogram cell
    Word(5, 1695);
    EXPECT_EQ(text->toPlainText(),
              QStringLiteral("\nIRavg: 12.5 oso 1696\nTemperature: 205 value: 17 oso 1702"
                             "\nTemperature: 795 value: 40000 oso 1938"));
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_TRUE(text->toPlainText().isEmpty());
}

TEST_F(ExtraTest, ReadSendsTheCellsInOrderOneAtATime) {
    form->histogram().setSpacingMs(1);
    QTest::mouseClick(read, Qt::LeftButton);
    EXPECT_FALSE(read->isEnabled());
    // A second read while the first runs is refused with a reason.
    form->ReadHistogram();
    ASSERT_EQ(s.dialogs.messages.size(), 1);
    ASSERT_TRUE(WaitUntil([&] { return read->isEnabled(); }));
    ASSERT_EQ(s.link.packets.size(), 122);
    for (int i = 0; i < 122; ++i) {
        EXPECT_EQ(s.link.packets[i], EncodeReadWord(static_cast<uint16_t>(1696 + 2 * i))) << i;
    }
    EXPECT_EQ(read->text(), QStringLiteral("Read Histogram"));
    EXPECT_EQ(s.dialogs.messages.size(), 1);

    // Without an open link the read does not start and says why.
    s.link.open = false;
    QTest::mouseClick(read, Qt::LeftButton);
    EXPECT_TRUE(read->isEnabled());
    EXPECT_EQ(s.dialogs.messages.size(), 2);
}
