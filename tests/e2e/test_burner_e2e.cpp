#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "BurnerRig.h"
#include "burner/BurnerMeasurements.h"
#include "burner/Histogram.h"
#include "burner/ParamSet.h"
#include "burner/frmAllParams.h"
#include "burner/frmExtra.h"
#include "link/Packet.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

class BurnerE2E : public BurnerE2EFixture {};

}  // namespace

TEST_P(BurnerE2E, LoadIdentifiesTheBurnerAndShowsItsLiveValues) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("FlamoraBurner, hw_ver 1506 feat 3 devType:100"));
    const auto& boxes = ParamBoxes();
    for (int i = 0; i < kParamBoxCount; ++i) {
        const int a = boxes[i].address;
        const int expected =
            boxes[i].width == 16 ? static_cast<int16_t>(rig->Word(a)) : rig->memory()[a];
        EXPECT_EQ(Edit(QStringLiteral("txtFlamoraParams_%1").arg(i))->text(),
                  QString::number(expected))
            << i;
    }
    // Measurements on every tick, the usage counters from the 5th tick on.
    auto* tgas = Find<QLabel>(form, "lblTgas");
    auto* prog = Find<QLabel>(form, "lblProgState");
    auto* usage = Find<QLabel>(form, "lblUsageTime_0");
    ASSERT_TRUE(WaitUntil([&] { return !tgas->text().isEmpty() && !prog->text().isEmpty(); }));
    ASSERT_TRUE(WaitUntil([&] { return !usage->text().isEmpty(); }));
    const auto minutes = static_cast<int32_t>(rig->Word(1600) | (rig->Word(1602) << 16));
    EXPECT_TRUE(WaitUntil([&] { return usage->toolTip() == QString::number(minutes); }));
    EXPECT_EQ(usage->text(), UsageTimeCaption(minutes));
    bool numeric = false;
    Find<QLabel>(form, "lblDevState")->text().toInt(&numeric);
    EXPECT_TRUE(numeric);
}

TEST_P(BurnerE2E, SingleByteAndWordReadAndWrite) {
    Edit("txtOso")->setText(QStringLiteral("300"));
    Edit("txtValue")->setText(QStringLiteral("255"));
    Click(form, "btnWrite");  // 85 03 2C 01 FF 7A
    ASSERT_TRUE(WaitUntil([&] { return rig->memory()[300] == 0xFF; }));
    Edit("txtValue")->setText(QStringLiteral("9"));
    Click(form, "btnRead");  // 8A 02 2C 01 75
    ASSERT_TRUE(WaitUntil([&] { return Edit("txtValue")->text() == QStringLiteral("255"); }));

    Edit("txtValue")->setText(QStringLiteral("-2"));
    Click(form, "btnWrite16bit");  // 85 04 2C 01 FE FF 7A
    ASSERT_TRUE(WaitUntil([&] { return rig->Word(300) == 0xFFFE; }));
    Edit("txtValue")->clear();
    Click(form, "btnRead16Bit");  // 55 02 2C 01 AA
    EXPECT_TRUE(WaitUntil([&] { return Edit("txtValue")->text() == QStringLiteral("65534"); }));
    EXPECT_TRUE(rig->dialogs.messages.isEmpty());
}

TEST_P(BurnerE2E, ParameterSetUploadLandsAndIsCommitted) {
    Edit("txtFlamoraParams_0")->setText(QStringLiteral("321"));
    Edit("txtFlamoraParams_10")->setText(QStringLiteral("77"));
    Edit("txtFlamoraParams_18")->setText(QStringLiteral("-5"));
    const int commits = Commits();
    EXPECT_EQ(UploadOutcome(), QStringLiteral("Flamora parameters upload OK"));
    EXPECT_EQ(rig->Word(4), 321);
    EXPECT_EQ(rig->memory()[24], 77);
    EXPECT_EQ(rig->Word(34), 0xFFFB);
    EXPECT_TRUE(WaitUntil([&] { return Commits() == commits + 1; }));
    EXPECT_TRUE(rig->link()->RefreshTimerEnabled());

    // Read back into the boxes.
    Edit("txtFlamoraParams_0")->setText(QStringLiteral("1"));
    Click(form, "btnGetvalues");
    EXPECT_TRUE(
        WaitUntil([&] { return Edit("txtFlamoraParams_0")->text() == QStringLiteral("321"); }));
}

TEST_P(BurnerE2E, AllParametersReadCheckedRowsAndSendAfterYes) {
    frmAllParams* w = form->allParams();
    w->show();
    AllParamsModel& m = w->model();
    ASSERT_GT(m.rows(), 10);
    auto rowOf = [&](int address) {
        for (int r = 0; r < m.rows(); ++r) {
            if (m.addressText(r) == QString::number(address)) {
                return r;
            }
        }
        return -1;
    };
    const int r24 = rowOf(24);
    const int r40 = rowOf(40);
    ASSERT_GE(r24, 0);
    ASSERT_GE(r40, 0);
    m.setChecked(r24, true);
    m.setChecked(r40, true);
    Click(w, "btnRead");
    ASSERT_TRUE(WaitUntil([&] {
        return m.valueText(r24) == QString::number(rig->memory()[24]) &&
               m.valueText(r40) == QString::number(rig->memory()[40]);
    }));
    EXPECT_TRUE(m.valueText(rowOf(25)).isEmpty());  // not checked, not read

    m.setValueText(r24, QStringLiteral("12"));
    m.setValueText(r40, QStringLiteral("-1"));
    rig->dialogs.answerYes = true;
    Click(w, "Command3");
    ASSERT_EQ(rig->dialogs.questions.size(), 1);
    EXPECT_TRUE(WaitUntil([&] { return rig->memory()[24] == 12 && rig->memory()[40] == 0xFF; }));
    EXPECT_TRUE(rig->dialogs.messages.isEmpty());
}

TEST_P(BurnerE2E, HistogramReadGivesAllCellsInOrder) {
    // Still burner: the counters do not move while they are compared.
    rig->server->SetClockRunning(false);
    frmExtra* w = form->extras();
    w->histogram().setSpacingMs(2);
    w->show();
    auto* text = Find<QPlainTextEdit>(w, "txtHistoData");
    Click(w, "btnClear");
    Click(w, "btnReadHistogram");
    ASSERT_TRUE(
        WaitUntil([&] { return text->toPlainText().count(QLatin1Char('\n')) >= 122; }, 10s));
    Pump(100ms);
    const QStringList lines = text->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 123);
    EXPECT_TRUE(lines[0].isEmpty());
    for (int i = 0; i < 122; ++i) {
        const int a = Histogram::kFirstAddress + 2 * i;
        EXPECT_EQ(lines[i + 1], HistogramLine(rig->Word(a), a)) << i;
    }
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("IRavg: ")));
    EXPECT_TRUE(lines[122].startsWith(QStringLiteral("Temperature: 795 value: ")));
}

INSTANTIATE_TEST_SUITE_P(Links, BurnerE2E, ::testing::Values(Via::Pty, Via::Tcp),
                         [](const auto& info) { return std::string(ViaName(info.param)); });
