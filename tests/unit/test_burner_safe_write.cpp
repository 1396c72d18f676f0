// The burner's safe writes without a device: which replies the reads around a
// write take, the check and the backup of the parameter set, the values the
// all-parameters send carries, the edited-value marks and the grid's lock.
#include <gtest/gtest.h>

#include <QBrush>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <ranges>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/AllParamsModel.h"
#include "burner/BurnerSafeWrite.h"
#include "support/ExchangeGuard.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

QStringList Boxes(std::initializer_list<int> first = {}) {
    QStringList b;
    for (int i = 0; i < kParamBoxCount; ++i) {
        b << QString::number(10 + i);
    }
    int i = 0;
    for (int v : first) {
        b[i++] = QString::number(v);
    }
    return b;
}

}  // namespace

TEST(BurnerDeviceRead, TakesOnlyTheRepliesItWaitsFor) {
    RecordingLink link;
    BurnerDeviceRead read;
    QSignalSpy finished(&read, &BurnerDeviceRead::finished);
    EXPECT_FALSE(read.OfferValue(5, 25, false)) << "nothing pending";

    // The reply names an address by its low 16 bits: -5 is answered as 65531.
    ASSERT_TRUE(read.Start(&link, BurnerDeviceRead::What::Bytes, {25, -5, 25}));
    EXPECT_EQ(link.HexPackets(), QStringList({"8A 02 19 00 75", "8A 02 FB FF 75"}));
    EXPECT_TRUE(ExchangeGuard::Busy());
    BurnerDeviceRead other;
    EXPECT_FALSE(other.Start(&link, BurnerDeviceRead::What::ParamSet)) << "one exchange at a time";
    EXPECT_FALSE(read.OfferValue(5, 26, false)) << "another address";
    EXPECT_FALSE(read.OfferValue(5, 65531, true)) << "a word reply to a byte read";
    EXPECT_FALSE(read.OfferParamSet(std::vector<uint8_t>(36, 0)));
    EXPECT_TRUE(read.OfferValue(7, 65531, false) && read.pending() &&
                read.OfferValue(8, 25, false));
    ASSERT_TRUE(WaitUntil([&] { return finished.size() == 1; }));
    EXPECT_EQ(std::tuple(read.complete(), read.value(-5), read.value(25), ExchangeGuard::Busy()),
              std::tuple(true, 7, 8, false));
    EXPECT_FALSE(read.OfferValue(9, 25, false)) << "after the end the window shows it";

    // Unanswered: ends after its time, incomplete; a lost link ends it at once.
    read.setTimeoutMs(20);
    ASSERT_TRUE(read.Start(&link, BurnerDeviceRead::What::ParamSet));
    EXPECT_TRUE(read.OfferParamSet(std::vector<uint8_t>(10, 0)))
        << "too short: taken, not an answer";
    ASSERT_TRUE(WaitUntil([&] { return finished.size() == 2; }));
    EXPECT_FALSE(read.complete() || read.paramSet());
    read.setTimeoutMs(60000);
    ASSERT_TRUE(read.Start(&link, BurnerDeviceRead::What::Word, {40}));
    link.Lose();
    ASSERT_TRUE(WaitUntil([&] { return finished.size() == 3; }));
    EXPECT_TRUE(read.lost());
    EXPECT_FALSE(read.Start(&link, BurnerDeviceRead::What::Word, {40})) << "closed link";
}

TEST(BurnerSafeWrite, ParamSetCheckCarriesTheWireValues) {
    QStringList boxes = Boxes({70000, -1});
    boxes[12] = QStringLiteral("7.9");  // a byte box is rounded down
    auto built = ParamSetWriteCheck(boxes);
    ASSERT_TRUE(std::holds_alternative<WriteCheck>(built));
    const WriteCheck& c = std::get<WriteCheck>(built);
    ASSERT_EQ(c.size(), kParamBoxCount);
    EXPECT_EQ(c.fields()[0].name, QStringLiteral("Fuelfeed temperature"));
    EXPECT_EQ(QStringList({c.fields()[0].toWrite, c.fields()[1].toWrite, c.fields()[12].toWrite,
                           c.fields()[18].toWrite}),
              QStringList({"4464", "-1", "7", "28"}));
    boxes[11] = QStringLiteral("300");
    EXPECT_EQ(std::get<BadBox>(ParamSetWriteCheck(boxes)).box, 11);
}

TEST(BurnerSafeWrite, ParamSetBackupLinesLoadBack) {
    QStringList boxes = Boxes({1234, -5});
    const QByteArray par = ParamSetPar(boxes);
    const QList<QByteArray> lines = par.split('\n');
    ASSERT_EQ(lines.size(), kParamBoxCount + 1);
    // *.par lines: the name in its 50 columns, the value from column 71.
    EXPECT_EQ(
        QList<QByteArray>({lines[0], lines[1], lines[10]}),
        QList<QByteArray>(
            {"4             Fuelfeed_temperature                                     1234 \r",
             "6             Grate_uptime                                            -5 \r",
             "24            VFD_RUN_mode                                             20 \r"}));
    EXPECT_TRUE(lines[19].isEmpty());

    QStringList loaded(kParamBoxCount, QStringLiteral("0"));
    EXPECT_EQ(LoadParamSetPar(par, loaded), kParamBoxCount);
    EXPECT_EQ(loaded, boxes);
    // Lines for other addresses leave the boxes alone; a word box is named by
    // its first address only.
    QStringList kept = boxes;
    EXPECT_EQ(LoadParamSetPar("5 x 99\r\n40 y 1\r\n8 Heater_time 77\r\n", kept), 1);
    EXPECT_EQ(kept[2], QStringLiteral("77"));
    kept[2] = boxes[2];
    EXPECT_EQ(kept, boxes);
}

TEST(BurnerSafeWrite, MarksAndWords) {
    EXPECT_FALSE(EditedMark("5", std::nullopt) || EditedMark("5.0", QStringLiteral("5")));
    EXPECT_EQ(EditedMark(QStringLiteral("6"), QStringLiteral("5")),
              QStringLiteral("In the device: 5"));
    EXPECT_EQ(WordText(65535) + ' ' + WordText(32767), QStringLiteral("-1 32767"));
}

// The rows a send carries and their marks; then the send: from the read
// before it to the end of the read-back nothing moves the rows sent, and the
// backup holds the rows that answered while the log names the others.
TEST(AllParamsSafeSend, RowsMarksAndASendThatLocksTheGridAndBacksUpWhatAnswered) {
    AllParamsModel m;
    std::vector<ParamDef> defs;
    for (int a : {10, 11, 12, 13, 14}) {
        defs.push_back({QStringLiteral("P%1").arg(a).leftJustified(50), a, -1, {}});
    }
    m.Build(defs);
    const QStringList values = {"-1", "300", "x", "7.6", "9"};
    for (int r = 0; r < 5; ++r) {
        m.setValueText(r, values[r]);
        m.setChecked(r, r != 4);
    }
    const auto rows = m.SendableRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::tuple(rows[0].field, rows[0].byte, rows[1].address, rows[1].byte),
              std::tuple(QString("10 P10"), 255, 13, 8));

    // Marks: only against a device value, and gone when the two agree.
    const QModelIndex v = m.index(3, AllParamsModel::ColValue);
    EXPECT_FALSE(m.data(v, Qt::BackgroundRole).isValid());
    m.LoadParData("13 P13 5\r\n");
    EXPECT_FALSE(m.deviceValue(3)) << "a file is not a device read";
    m.SetDeviceValue(13, 4);
    m.SetDeviceValue(14, 9);  // the last row as well
    // The box keeps its value; the last row has its device value too.
    EXPECT_EQ(std::tuple(m.valueText(3), m.deviceValue(4), m.data(v, Qt::ToolTipRole).toString()),
              std::tuple(QString("5"), std::optional<QString>("9"), QString("In the device: 4")));
    EXPECT_EQ(m.data(v, Qt::BackgroundRole).value<QBrush>().color(), EditedMarkColour());
    m.DataUpdate(6, 13);
    EXPECT_TRUE(m.valueText(3) == "6" && !m.data(v, Qt::BackgroundRole).isValid());

    QTemporaryDir dir;
    AllParamsSafeSend send(m, dir.path());
    QStringList log;
    QObject::connect(&send, &AllParamsSafeSend::logLine, [&](const QString& l) { log << l; });
    QSignalSpy ready(&send, &AllParamsSafeSend::readyToAsk);
    RecordingLink link;
    send.reader().setTimeoutMs(20);
    ASSERT_EQ(send.ReadBefore(&link), std::nullopt);
    auto edit = [&] {
        m.setData(v, QStringLiteral("9"));
        m.setData(m.index(0, AllParamsModel::ColCheck), Qt::Unchecked, Qt::CheckStateRole);
        m.chkAll(false);
        m.LoadParData("13 P13 9\r\n");
        m.DataUpdate(9, 13);
    };
    edit();
    EXPECT_FALSE(m.flags(v) & Qt::ItemIsEditable);
    EXPECT_TRUE(send.reader().OfferValue(1, 10, false));
    ASSERT_TRUE(WaitUntil([&] { return ready.size() == 1; }));
    EXPECT_FALSE(send.nothingRead());
    edit();
    link.Clear();
    EXPECT_EQ(send.Write(link).size(), 2) << "300 and x";
    EXPECT_EQ(link.HexPackets().mid(0, 2), (QStringList{"85 03 0A 00 FF 7A", "85 03 0D 00 06 7A"}));
    const QDir backups(dir.filePath(QStringLiteral("backups")));
    const QStringList files = backups.entryList({QStringLiteral("*.par")});
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(ReadFile(backups.filePath(files[0])),
              AllParamsModel::ParLine("10", defs[0].name, "1").toLatin1() + "\r\n");
    EXPECT_TRUE(log.contains("Not in the backup (the device did not answer): 13 P13"))
        << log.join('|').toStdString();
    edit();  // the read-back runs
    send.reader().OfferValue(255, 10, false);
    send.reader().OfferValue(6, 13, false);
    ASSERT_TRUE(WaitUntil([&] { return !send.running(); }));
    const auto checked = std::ranges::count_if(std::views::iota(0, m.rowCount()),
                                               [&](int row) { return m.checked(row); });
    EXPECT_EQ(std::tuple(m.valueText(3), checked), std::tuple(QString("6"), 4));
    EXPECT_TRUE(m.flags(v) & Qt::ItemIsEditable);
}
