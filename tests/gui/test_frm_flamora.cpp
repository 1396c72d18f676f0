#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cstring>

#include "BurnerFixture.h"
#include "TestUtil.h"
#include "burner/frmAllParams.h"
#include "burner/frmExtra.h"
#include "burner/frmFlamora.h"

using namespace tuvik;
using namespace tuvik::test;
using namespace std::chrono_literals;

namespace {

const QByteArray kParams =
    "#define FUELFEED_TEMP\t4 // target\r\n"
    "#define P_MAX 17\r\n"
    "#define WORD_AT_300 300\r\n";

// Tgas and lambda as singles, then the water word: 10 data bytes.
std::vector<uint8_t> OldMeasurement(float tgas, float lambda, uint16_t water) {
    std::vector<uint8_t> d(10, 0);
    std::memcpy(d.data(), &tgas, 4);
    std::memcpy(d.data() + 4, &lambda, 4);
    d[8] = static_cast<uint8_t>(water & 0xFF);
    d[9] = static_cast<uint8_t>(water >> 8);
    return d;
}

class FlamoraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(s.ok);
        form = std::make_unique<frmFlamora>(*s.session, &s.dialogs);
        form->paramSetUpload().setPauseMs(5);
        // Nothing answers the reads around a write here.
        form->safeSend().reader().setTimeoutMs(5);
        form->singleWrite().reader().setTimeoutMs(5);
    }
    void WaitWritten() {
        ASSERT_TRUE(WaitUntil([&] { return !form->singleWrite().running(); }));
    }
    template <class T>
    T* Find(const QString& name) {
        T* w = form->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QString Text(const QString& name) { return Find<QLabel>(name)->text(); }
    void Click(const QString& name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
    // The identification of firmware 1506, feature 3, device type 100.
    void IdentifyNew() { s.feeder->Reply(Cmd::ParamSet, {0xE2, 0x05, 3, 100}); }
    std::vector<uint8_t> NewMeasurement(uint16_t devState, uint8_t state) {
        return {0x2C,
                0x01,
                0x64,
                0x00,
                0,
                0,
                0,
                215,
                0xF4,
                0x01,
                55,
                33,
                0x02,
                0x01,
                static_cast<uint8_t>(devState & 0xFF),
                static_cast<uint8_t>(devState >> 8),
                state};
    }
    const QPixmap& Led(int i) {
        return Find<LedWidget>(QStringLiteral("imgDev_%1").arg(i))->picture();
    }

    BurnerSession s{kParams};
    std::unique_ptr<frmFlamora> form;
};

}  // namespace

TEST_F(FlamoraTest, IdentificationTitleAndParameterBoxes) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Emberkin FlamoraBurner parameters"));
    // Too short for the version: the title stays.
    s.feeder->Reply(Cmd::ParamSet, {0xE2});
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Emberkin FlamoraBurner parameters"));

    std::vector<uint8_t> reply(36, 0);
    reply[0] = 0xE2;
    reply[1] = 0x05;
    reply[2] = 3;
    reply[3] = 100;
    reply[4] = 0xFF;  // box 0: FF FF, a signed word
    reply[5] = 0xFF;
    reply[6] = 0x2C;  // box 1: 300
    reply[7] = 0x01;
    reply[24] = 0xFF;  // box 10: a byte, unsigned
    reply[34] = 0x00;  // box 18: -32768
    reply[35] = 0x80;
    s.feeder->Reply(Cmd::ParamSet, reply);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("FlamoraBurner, hw_ver 1506 feat 3 devType:100"));
    EXPECT_FLOAT_EQ(s.session->state().burner.BurnerHwVersion, 1.506f);
    EXPECT_EQ(Find<QLineEdit>("txtFlamoraParams_0")->text(), QStringLiteral("-1"));
    EXPECT_EQ(Find<QLineEdit>("txtFlamoraParams_1")->text(), QStringLiteral("300"));
    EXPECT_EQ(Find<QLineEdit>("txtFlamoraParams_10")->text(), QStringLiteral("255"));
    EXPECT_EQ(Find<QLineEdit>("txtFlamoraParams_18")->text(), QStringLiteral("-32768"));
    EXPECT_EQ(Find<QLabel>("Label1_18")->text(), QStringLiteral("Fuelfeed temp IDLE"));
    EXPECT_EQ(Find<QLineEdit>("txtFlamoraParams_16")->toolTip(),
              QStringLiteral("Tamun ohjaus 0-100"));

    // A short reply fills only the boxes it holds.
    Find<QLineEdit>("txtFlamoraParams_5")->setText(QStringLiteral("77"));
    s.feeder->Reply(Cmd::ParamSet, {0xE2, 0x05, 3, 100, 0x05, 0x00});
    EXPECT_EQ(Find<QLineEdit>("txtFlamoraParams_0")->text(), QStringLiteral("5"));
    EXPECT_EQ(Find<QLineEdit>("txtFlamoraParams_5")->text(), QStringLiteral("77"));
}

TEST_F(FlamoraTest, NewFirmwareMeasurementLayoutLedsAndStates) {
    IdentifyNew();
    s.feeder->Reply(Cmd::Measurements, NewMeasurement(0x0201, 21));
    EXPECT_EQ(Text("lblTgas"), QStringLiteral("300"));
    EXPECT_EQ(Text("lblTempKTYPE1"), QStringLiteral("100"));
    EXPECT_EQ(Text("lblLambda"), QStringLiteral("21.5"));
    EXPECT_EQ(Text("lblTwater"), QStringLiteral("50.0"));
    EXPECT_EQ(Text("lblVFD"), QStringLiteral("55"));
    EXPECT_EQ(Text("lblBAfan"), QStringLiteral("33"));
    EXPECT_EQ(Text("lblIRsig"), QStringLiteral("258"));
    EXPECT_EQ(Text("lblDevState"), QStringLiteral("513"));
    EXPECT_EQ(Text("lblProgState"), QStringLiteral("21"));

    const LedPictures p = LoadLedPictures();
    ASSERT_FALSE(p.LedGreen.isNull());
    EXPECT_EQ(Led(0).toImage(), p.LedGreen.toImage());
    EXPECT_EQ(Led(9).toImage(), p.LedRed.toImage());
    for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11}) {
        EXPECT_EQ(Led(i).toImage(), p.LedGrey.toImage()) << i;
    }

    s.feeder->Reply(Cmd::Measurements, NewMeasurement(0x0000, 99));
    EXPECT_EQ(Text("lblProgState"), QStringLiteral(" Error_state "));
    EXPECT_EQ(Led(0).toImage(), p.LedGrey.toImage());
    EXPECT_EQ(Led(9).toImage(), p.LedGrey.toImage());

    // 16 data bytes: LEDs and device state, not the program state.
    std::vector<uint8_t> sixteen = NewMeasurement(0x0004, 20);
    sixteen.pop_back();
    s.feeder->Reply(Cmd::Measurements, sixteen);
    EXPECT_EQ(Text("lblDevState"), QStringLiteral("4"));
    EXPECT_EQ(Led(2).toImage(), p.LedGreen.toImage());
    EXPECT_EQ(Text("lblProgState"), QStringLiteral(" Error_state "));
}

TEST_F(FlamoraTest, OldFirmwareMeasurementLayout) {
    // Not identified: Tgas and lambda are singles, water in whole degrees.
    std::vector<uint8_t> d = OldMeasurement(123.5f, 4.25f, 45);
    s.feeder->Reply(Cmd::Measurements, d);
    EXPECT_EQ(Text("lblTgas"), QStringLiteral("123.5"));
    EXPECT_EQ(Text("lblLambda"), QStringLiteral("4.25"));
    EXPECT_EQ(Text("lblTwater"), QStringLiteral("45.0"));
    EXPECT_EQ(Text("lblVFD"), QString());
    EXPECT_EQ(Text("lblTempKTYPE1"), QString());

    // Firmware 1.499 gives the water in tenths.
    s.feeder->Reply(Cmd::ParamSet, {0xDB, 0x05, 0, 1});
    d.resize(12);
    d[10] = 9;  // VFD
    d[11] = 8;  // Tdevice
    s.feeder->Reply(Cmd::Measurements, d);
    EXPECT_EQ(Text("lblTwater"), QStringLiteral("4.5"));
    EXPECT_EQ(Text("lblVFD"), QStringLiteral("9"));
    EXPECT_EQ(Text("lblBAfan"), QStringLiteral("8"));
}

TEST_F(FlamoraTest, UsageCountersCaptionsAndTooltips) {
    std::vector<uint8_t> d;
    for (int32_t m : {1439, 1440, 3050, 0, -1}) {
        for (int b = 0; b < 4; ++b) {
            d.push_back(static_cast<uint8_t>((static_cast<uint32_t>(m) >> (8 * b)) & 0xFF));
        }
    }
    s.feeder->Reply(Cmd::UsageReply, d);
    EXPECT_EQ(Text("lblUsageTime_0"), QStringLiteral("0 d 23:59"));
    EXPECT_EQ(Find<QLabel>("lblUsageTime_0")->toolTip(), QStringLiteral("1439"));
    EXPECT_EQ(Text("lblUsageTime_1"), QStringLiteral("1 d 0:0"));
    EXPECT_EQ(Text("lblUsageTime_2"), QStringLiteral("2 d 2:50"));
    EXPECT_EQ(Text("lblUsageTime_3"), QStringLiteral("0 d 0:0"));
    EXPECT_EQ(Text("Label10_4"), QStringLiteral("OFF Time"));
}

TEST_F(FlamoraTest, LoadAsksForTheSetFillsTheListAndPolls) {
    form->Timer1().setInterval(5);
    IdentifyNew();
    form->Load();
    ASSERT_FALSE(s.link.packets.isEmpty());
    EXPECT_EQ(s.link.HexPackets().first(), QStringLiteral("83 00 7C"));
    EXPECT_EQ(form->polling().pollCount(), 15);

    auto* combo = Find<QComboBox>("ComboParameters");
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(1),
              QStringLiteral("P_MAX") + QString(45, QLatin1Char(' ')) + QStringLiteral("#17"));
    EXPECT_EQ(Find<QLineEdit>("txtOso")->text(), QStringLiteral("4"));

    // Every tick asks for the measurements; the usage counters go out on the
    // 5th tick after the load and then on every 20th.
    ASSERT_TRUE(
        WaitUntil([&] { return s.link.packets.count(EncodeRequest(Cmd::MeasRequest)) >= 46; }));
    form->Timer1().stop();
    int meas = 0;
    QList<int> usageAfter;
    for (const QByteArray& p : s.link.packets) {
        if (p == EncodeRequest(Cmd::MeasRequest)) {
            ++meas;
        } else if (p == EncodeRequest(Cmd::UsageRequest)) {
            usageAfter << meas;
        }
    }
    ASSERT_GE(usageAfter.size(), 3);
    EXPECT_EQ(usageAfter.mid(0, 3), (QList<int>{5, 25, 45}));

    // Not connected: nothing at all; firmware 1.501: no usage requests.
    s.link.Clear();
    s.session->ctx().setLinkConnected(false);
    form->Timer1().start();
    Pump(40ms);
    EXPECT_TRUE(s.link.packets.isEmpty());
    s.session->ctx().setLinkConnected(true);
    s.feeder->Reply(Cmd::ParamSet, {0xDD, 0x05, 3, 100});
    ASSERT_TRUE(WaitUntil([&] { return s.link.packets.size() >= 30; }));
    form->Timer1().stop();
    EXPECT_EQ(s.link.packets.count(EncodeRequest(Cmd::UsageRequest)), 0);
}

TEST_F(FlamoraTest, CommandButtons) {
    Click("btnCalLambda");
    Click("Command1");
    EXPECT_EQ(s.link.HexPackets(), (QStringList{"33 00 CC", "34 00 CB"}));
    EXPECT_EQ(Find<QPushButton>("cmdAllParams")->text(), QStringLiteral("All Params"));
    Click("cmdAllParams");
    ASSERT_NE(form->allParams(), nullptr);
    EXPECT_TRUE(form->allParams()->isVisible());
    Click("btnExtras");
    EXPECT_TRUE(form->extras()->isVisible());
}

TEST_F(FlamoraTest, SingleParameterPanel) {
    form->Load();
    s.link.Clear();
    auto* combo = Find<QComboBox>("ComboParameters");
    auto* oso = Find<QLineEdit>("txtOso");
    auto* value = Find<QLineEdit>("txtValue");
    combo->setCurrentIndex(1);
    EXPECT_EQ(oso->text(), QStringLiteral("17"));
    // Typing into the list's edit field fills the address box as well.
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("300"));
    EXPECT_EQ(oso->text(), QStringLiteral("300"));

    Click("btnRead16Bit");
    value->setText(QStringLiteral("255"));
    Click("btnWrite");
    WaitWritten();
    value->setText(QStringLiteral("-2"));
    Click("btnWrite16bit");
    WaitWritten();
    oso->setText(QStringLiteral("12.9"));
    Click("btnRead");
    // Each write between a read of the old value and a read-back.
    EXPECT_EQ(s.link.HexPackets(),
              (QStringList{"55 02 2C 01 AA", "8A 02 2C 01 75", "85 03 2C 01 FF 7A",
                           "8A 02 2C 01 75", "55 02 2C 01 AA", "85 04 2C 01 FE FF 7A",
                           "55 02 2C 01 AA", "8A 02 0C 00 75"}));
    // Nothing answered the read-backs.
    ASSERT_EQ(s.dialogs.messages.size(), 2);
    EXPECT_EQ(s.dialogs.messages[1].text,
              SafeWriteText::Mismatch(
                  QStringLiteral("Address 300: sent -2, now in the device (no answer)")));
    s.dialogs.clear();

    // Refused values and addresses: a message with the reason, nothing sent.
    s.link.Clear();
    value->setText(QStringLiteral("256"));
    Click("btnWrite");
    value->setText(QStringLiteral("40000"));
    Click("btnWrite16bit");
    value->setText(QStringLiteral("7"));
    oso->setText(QStringLiteral("70000"));
    Click("btnWrite");
    Click("btnRead");
    EXPECT_TRUE(s.link.packets.isEmpty());
    ASSERT_EQ(s.dialogs.messages.size(), 4);
    EXPECT_EQ(s.dialogs.messages[0].text, QStringLiteral("Value must be 0-255 for a byte write!"));
    EXPECT_EQ(s.dialogs.messages[1].text,
              QStringLiteral("Value must be -32768 to 32767 for a 16-bit write!"));
    EXPECT_TRUE(s.dialogs.messages[2].text.startsWith(QStringLiteral("Address must be")));
    EXPECT_TRUE(s.dialogs.messages[3].text.startsWith(QStringLiteral("Address must be")));

    // Read replies land in the value box: a word unsigned, a byte as read.
    s.feeder->Reply(Cmd::ReadWord, {0x34, 0x12, 0x2C, 0x01});
    EXPECT_EQ(value->text(), QStringLiteral("4660"));
    s.feeder->Reply(Cmd::ReadWord, {0xFF, 0xFF, 0x2C, 0x01});
    EXPECT_EQ(value->text(), QStringLiteral("65535"));
    s.feeder->Reply(Cmd::ByteValue, {200, 17, 0});
    EXPECT_EQ(value->text(), QStringLiteral("200"));
}

TEST_F(FlamoraTest, ParameterSetUploadOkFailedAndRefused) {
    // All boxes still "0": a send asks for the set instead.
    Click("btnSendValues");
    EXPECT_EQ(s.link.HexPackets(), QStringList{"83 00 7C"});
    EXPECT_TRUE(s.dialogs.messages.isEmpty());

    for (int i = 0; i < kParamBoxCount; ++i) {
        Find<QLineEdit>(QStringLiteral("txtFlamoraParams_%1").arg(i))
            ->setText(QString::number(i + 1));
    }
    // The burner acknowledges every block.
    int acksToGive = 3;
    s.link.onPacket = [&](const QByteArray& p) {
        if (static_cast<uint8_t>(p.at(0)) == Cmd::MemWrite && acksToGive-- > 0) {
            s.feeder->Reply(Cmd::WriteAck, {1});
        }
    };
    s.link.Clear();
    Click("btnSendValues");
    EXPECT_FALSE(Find<QPushButton>("btnSendValues")->isEnabled());
    auto* progress = Find<QProgressBar>("prgUpload");
    EXPECT_TRUE(progress->isVisibleTo(form.get()));
    ASSERT_TRUE(WaitUntil([&] { return !form->safeSend().running(); }));
    ASSERT_FALSE(s.dialogs.messages.isEmpty());
    EXPECT_TRUE(s.dialogs.messages.first().text.startsWith(
        QStringLiteral("Flamora parameters upload OK\n\n")));
    EXPECT_EQ(s.dialogs.messages.first().icon, UserDialogs::Icon::None);
    // The set is read before the upload and read back after it.
    EXPECT_EQ(s.link.HexPackets().first(), QStringLiteral("83 00 7C"));
    EXPECT_EQ(s.link.HexPackets().at(1),
              QStringLiteral("85 0E 04 00 01 00 02 00 03 00 04 00 05 00 06 00 7A"));
    EXPECT_EQ(s.link.HexPackets().mid(s.link.packets.size() - 2),
              (QStringList{"34 00 CB", "83 00 7C"}));
    s.dialogs.clear();
    EXPECT_EQ(s.link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_TRUE(Find<QPushButton>("btnSendValues")->isEnabled());
    EXPECT_EQ(progress->value(), progress->maximum());
    EXPECT_FALSE(progress->isVisibleTo(form.get()));

    // Two acknowledgements only.
    acksToGive = 2;
    s.link.Clear();
    Click("btnSendValues");
    ASSERT_TRUE(WaitUntil([&] { return !form->safeSend().running(); }));
    ASSERT_FALSE(s.dialogs.messages.isEmpty());
    EXPECT_TRUE(s.dialogs.messages.first().text.startsWith(
        QStringLiteral("Parameters upload FAILLED!!\n\n")));
    EXPECT_EQ(s.dialogs.messages.first().icon, UserDialogs::Icon::Critical);
    EXPECT_FALSE(s.link.HexPackets().contains(QStringLiteral("34 00 CB")));
    s.dialogs.clear();

    // A byte box out of range: nothing at all goes out.
    Find<QLineEdit>("txtFlamoraParams_12")->setText(QStringLiteral("300"));
    s.link.Clear();
    Click("btnSendValues");
    EXPECT_TRUE(s.link.packets.isEmpty());
    ASSERT_EQ(s.dialogs.messages.size(), 1);
    EXPECT_TRUE(s.dialogs.messages.last().text.endsWith(QStringLiteral("Nothing was sent.")));
}

TEST_F(FlamoraTest, MeasurementRowsWrittenOnSwitchOffCloseAndUnload) {
    IdentifyNew();
    const QString file = form->measLog().FilePath(QDate::currentDate());
    auto lines = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly)
                   ? QString::fromLatin1(f.readAll()).split("\r\n", Qt::SkipEmptyParts)
                   : QStringList();
    };
    auto* check = Find<QCheckBox>("CheckSaveMeas");
    s.feeder->Reply(Cmd::Measurements, NewMeasurement(1, 20));  // not logging yet
    check->setChecked(true);
    for (int i = 0; i < 3; ++i) {
        s.feeder->Reply(Cmd::Measurements, NewMeasurement(1, 20));
    }
    EXPECT_TRUE(lines().isEmpty());
    check->setChecked(false);
    QStringList l = lines();
    ASSERT_EQ(l.size(), 4);
    EXPECT_TRUE(l[0].startsWith(QStringLiteral("aika          Tgas")));
    EXPECT_EQ(l[1].mid(14, 10), QStringLiteral("300       "));
    EXPECT_EQ(l[1].mid(28, 10), QStringLiteral("21.5      "));
    EXPECT_EQ(l[1].mid(98, 10), QStringLiteral(" Running  "));  // cut to 10
    EXPECT_EQ(l[1].mid(126, 10), QStringLiteral("100       "));

    check->setChecked(true);
    s.feeder->Reply(Cmd::Measurements, NewMeasurement(1, 20));
    form->show();
    form->close();
    EXPECT_EQ(lines().size(), 5);

    s.feeder->Reply(Cmd::Measurements, NewMeasurement(1, 20));
    s.feeder->Reply(Cmd::Measurements, NewMeasurement(1, 20));
    form->Unload();
    EXPECT_EQ(lines().size(), 7);
    EXPECT_FALSE(form->Timer1().isActive());
}

TEST_F(FlamoraTest, FailedMeasurementWriteTellsTheUserOnce) {
    QSignalSpy notices(&s.session->ctx(), &AppContext::userNotice);
    form->measLog().setFolder(s.dir.filePath("PARAMS.h"));  // a file, not a folder
    auto* check = Find<QCheckBox>("CheckSaveMeas");
    check->setChecked(true);
    s.feeder->Reply(Cmd::Measurements, NewMeasurement(1, 20));
    check->setChecked(false);
    check->setChecked(true);
    s.feeder->Reply(Cmd::Measurements, NewMeasurement(1, 20));
    check->setChecked(false);
    EXPECT_EQ(notices.count(), 1);
    EXPECT_EQ(form->measLog().pendingCount(), 2);
    // Writable again: both rows reach the file.
    form->measLog().setFolder(s.dir.path());
    EXPECT_TRUE(form->SaveMeasToFile());
    EXPECT_EQ(form->measLog().pendingCount(), 0);
}

TEST_F(FlamoraTest, MessageLogReadsTheBurnerLabels) {
    IdentifyNew();
    s.feeder->Reply(Cmd::Measurements, NewMeasurement(1, 20));
    s.session->log().AddMessage(QStringLiteral("x"));
    EXPECT_TRUE(s.session->log().logText().contains(QStringLiteral(" Tg:300 Tw:50.0")));
    QFile f(s.session->log().DailyFilePath(QDate::currentDate()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("x; Tg:;300; Tw:;50.0; IR:;258; VFD:;55"));
    form.reset();
    // Without the window the readings are empty, not dangling.
    s.session->log().AddMessage(QStringLiteral("y"));
    EXPECT_TRUE(s.session->log().logText().contains(QStringLiteral("y\t Tg: Tw:")));
}

TEST_F(FlamoraTest, ContentScrollsInASmallWindow) {
    form->resize(400, 300);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    auto* area = Find<QScrollArea>("VScroll1");
    EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(area->widget()->objectName(), QStringLiteral("Frame1"));
    form->resize(2000, 2000);
    QApplication::processEvents();
    EXPECT_EQ(area->verticalScrollBar()->maximum(), 0);
}
