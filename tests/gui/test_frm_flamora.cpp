// The burner window's wiring: replies land in their controls, buttons send
// their requests or say that nothing went out, long exchanges end in their
// message box. The decoding and
// the rules behind them are pinned in the unit tests.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "BurnerFixture.h"
#include "TestUtil.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "burner/SingleParam.h"
#include "burner/ui/frmFlamora.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

const QDateTime kNow(QDate(2026, 12, 5), QTime(8, 0, 0));

class FlamoraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(s.ok);
        form = std::make_unique<frmFlamora>(s.session->burnerScope(), &s.dialogs);
        form->paramSetUpload().setPauseMs(5);
        // Nothing answers the reads around a write here.
        form->safeSend().reader().setTimeoutMs(5);
        form->singleWrite().reader().setTimeoutMs(5);
        s.session->clock().setSystem(RunningFrom(kNow));
    }
    template <class T>
    T* Find(const QString& name) { return test::Find<T>(form.get(), name); }
    QString Text(const QString& name) { return Find<QLabel>(name)->text(); }
    QLineEdit* Edit(const QString& name) { return Find<QLineEdit>(name); }
    void Click(const QString& name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
    // Firmware 1506, feature 3, device type 100.
    void IdentifyNew() { s.feeder->Reply(Cmd::ParamSet, {0xE2, 0x05, 3, 100}); }
    static std::vector<uint8_t> Measurement(uint16_t devState, uint8_t state) {
        const uint8_t lo = devState & 0xFF, hi = devState >> 8;
        return {0x2C, 0x01, 0x64, 0, 0, 0, 0, 215, 0xF4, 0x01, 55, 33, 2, 1, lo, hi, state};
    }
    QImage Led(int i) {
        return Find<LedWidget>(QStringLiteral("imgDev_%1").arg(i))->picture().toImage();
    }

    BurnerSession s{"#define FUELFEED_TEMP\t4 // target\r\n#define P_MAX 17\r\n"};
    std::unique_ptr<frmFlamora> form;
};

}  // namespace

TEST_F(FlamoraTest, RepliesLandInTheirControls) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Emberkin FlamoraBurner parameters"));
    std::vector<uint8_t> set(36, 0);
    set[0] = 0xE2, set[1] = 0x05, set[2] = 3, set[3] = 100;
    set[4] = set[5] = 0xFF;  // box 0, a signed word
    set[24] = 0xFF;          // box 10, a byte
    s.feeder->Reply(Cmd::ParamSet, set);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("FlamoraBurner, hw_ver 1506 feat 3 devType:100"));
    EXPECT_EQ(Edit("txtFlamoraParams_0")->text(), QStringLiteral("-1"));
    EXPECT_EQ(Edit("txtFlamoraParams_10")->text(), QStringLiteral("255"));

    s.feeder->Reply(Cmd::Measurements, Measurement(0x0201, 21));
    const std::pair<const char*, const char*> labels[] = {
        {"lblTgas", "300"},    {"lblTempKTYPE1", "100"}, {"lblLambda", "21.5"},
        {"lblTwater", "50.0"}, {"lblVFD", "55"},         {"lblBAfan", "33"},
        {"lblIRsig", "258"},   {"lblDevState", "513"},   {"lblProgState", "21"}};
    for (const auto& [name, text] : labels) {
        EXPECT_EQ(Text(name), QString::fromLatin1(text)) << name;
    }
    // Bit 0 lights the first LED green, bit 9 the last one red.
    const LedPictures p = LoadLedPictures();
    ASSERT_FALSE(p.LedGreen.isNull());
    EXPECT_EQ(Led(0), p.LedGreen.toImage());
    EXPECT_EQ(Led(9), p.LedRed.toImage());
    EXPECT_EQ(Led(1), p.LedGrey.toImage());
    EXPECT_NE(p.LedGreen.toImage(), p.LedRed.toImage());

    std::vector<uint8_t> usage;
    for (int32_t m : {1439, 3050, 0, 0, 0}) {
        for (int b = 0; b < 4; ++b) {
            usage.push_back(static_cast<uint8_t>((static_cast<uint32_t>(m) >> (8 * b)) & 0xFF));
        }
    }
    s.feeder->Reply(Cmd::UsageReply, usage);
    EXPECT_EQ(Text("lblUsageTime_0"), QStringLiteral("0 d 23:59"));
    EXPECT_EQ(Find<QLabel>("lblUsageTime_0")->toolTip(), QStringLiteral("1439"));
    EXPECT_EQ(Text("lblUsageTime_1"), QStringLiteral("2 d 2:50"));
}

TEST_F(FlamoraTest, LoadButtonsAndTheSingleParameterPanel) {
    form->Load();
    EXPECT_EQ(s.link.HexPackets().value(0), QStringLiteral("83 00 7C"));
    EXPECT_TRUE(form->model().pollTimer().isActive());
    form->model().pollTimer().stop();
    auto* combo = Find<QComboBox>("ComboParameters");
    ASSERT_EQ(combo->count(), 2);
    combo->setCurrentIndex(1);
    EXPECT_EQ(Edit("txtOso")->text(), QStringLiteral("17"));
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("300"));
    EXPECT_EQ(Edit("txtOso")->text(), QStringLiteral("300"));
    s.link.Clear();
    s.link.open = false;  // each says that it sent nothing
    Click("btnCalLambda");
    Click("Command1");
    EXPECT_EQ(std::tuple(s.dialogs.messages.size(), s.dialogs.messages.value(0).text,
                         s.dialogs.messages.value(1).text),
              std::tuple(qsizetype{2}, NotSentMessage(), NotSentMessage()));
    s.link.open = true;
    s.dialogs.messages.clear();
    Click("btnCalLambda");
    Click("Command1");
    Edit("txtValue")->setText(QStringLiteral("256"));
    Click("btnWrite");  // refused with its reason, nothing sent
    EXPECT_EQ(s.link.HexPackets(), (QStringList{"33 00 CC", "34 00 CB"}));
    ASSERT_EQ(s.dialogs.messages.size(), 1);
    EXPECT_EQ(s.dialogs.messages[0].text, QStringLiteral("Value must be 0-255 for a byte write!"));
    s.feeder->Reply(Cmd::ReadWord, {0xFF, 0xFF, 0x2C, 0x01});
    EXPECT_EQ(Edit("txtValue")->text(), QStringLiteral("65535"));
    Click("cmdAllParams");
    EXPECT_TRUE(form->allParams()->isVisible());
    Click("btnExtras");
    EXPECT_TRUE(form->extras()->isVisible());
}

TEST_F(FlamoraTest, ParameterSetUploadOkAndFailed) {
    for (int i = 0; i < kParamBoxCount; ++i) {
        Edit(QStringLiteral("txtFlamoraParams_%1").arg(i))->setText(QString::number(i + 1));
    }
    int acksToGive = 3;
    s.link.onPacket = [&](const QByteArray& p) {
        if (static_cast<uint8_t>(p.at(0)) == Cmd::MemWrite && acksToGive-- > 0) {
            s.feeder->Reply(Cmd::WriteAck, {1});
        }
    };
    Click("btnSendValues");
    auto* send = Find<QPushButton>("btnSendValues");
    auto* progress = Find<QProgressBar>("prgUpload");
    EXPECT_FALSE(send->isEnabled());
    EXPECT_TRUE(progress->isVisibleTo(form.get()));
    ASSERT_TRUE(WaitUntil([&] { return !form->safeSend().running(); }));
    ASSERT_FALSE(s.dialogs.messages.isEmpty());
    EXPECT_TRUE(s.dialogs.messages.first().text.startsWith("Flamora parameters upload OK\n\n"));
    EXPECT_EQ(s.dialogs.messages.first().icon, UserDialogs::Icon::None);
    EXPECT_TRUE(send->isEnabled());
    EXPECT_FALSE(progress->isVisibleTo(form.get()));
}

TEST_F(FlamoraTest, TheMessageLogTakesTheBurnersReadingsWithNoWindow) {
    form.reset();
    IdentifyNew();
    s.feeder->Reply(Cmd::Measurements, Measurement(1, 20));
    s.session->log().AddMessage(QStringLiteral("x"));
    QFile f(s.session->log().DailyFilePath(kNow.date()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("x;;;; Tg:;300; Tw:;50.0; IR:;258; VFD:;55"));
}
