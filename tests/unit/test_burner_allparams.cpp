#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/AllParamsModel.h"

using namespace tuvik;

namespace {

QString Padded(const char* name) {
    return QString::fromLatin1(name).leftJustified(kParamNameWidth, QLatin1Char(' '));
}

// Rows: P at 17, P_MAX at 17, Q at 20, NEG at 21.
void BuildGrid(AllParamsModel& m) {
    m.Build(
        ReadParamDefs(QByteArray("#define P 17\r\n#define P_MAX 17\r\n#define Q 20\r\n"
                                 "#define NEG 21\r\n")));
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QByteArray kLineP =
    "17" + QByteArray(12, ' ') + "P" + QByteArray(49, ' ') + QByteArray(6, ' ') + " 250 \r\n";

}  // namespace

TEST(AllParamsModel, RowsFromTheTableOrThePlaceholder) {
    AllParamsModel m;
    ParamTable empty;
    m.Build(empty);
    ASSERT_EQ(m.rowCount(), 1);
    EXPECT_EQ(m.addressText(0), QStringLiteral("9999"));
    EXPECT_EQ(m.name(0), QStringLiteral("Label1"));

    ParamTable table;
    QByteArray header;
    for (int i = 1; i <= 1005; ++i) {
        header += "#define N" + QByteArray::number(i) + " " + QByteArray::number(i) + "\n";
    }
    table.LoadParamTable(header);
    m.Build(table);
    ASSERT_EQ(m.rowCount(), 1001);
    EXPECT_EQ(m.addressText(1000), QStringLiteral("1001"));
    EXPECT_EQ(m.name(1000), Padded("N1001"));
    EXPECT_EQ(m.columnCount(), 4);
    EXPECT_EQ(m.data(m.index(3, AllParamsModel::ColCheck), Qt::CheckStateRole).toInt(),
              Qt::Unchecked);
    EXPECT_TRUE(m.flags(m.index(0, AllParamsModel::ColValue)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m.flags(m.index(0, AllParamsModel::ColName)) & Qt::ItemIsEditable);
}

TEST(AllParamsModel, ByteReadRepliesFillEveryRowOfTheAddress) {
    AllParamsModel m;
    BuildGrid(m);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    m.DataUpdate(250, 17);
    EXPECT_EQ(m.valueText(0), QStringLiteral("250"));
    EXPECT_EQ(m.valueText(1), QStringLiteral("250"));
    EXPECT_EQ(m.valueText(2), QString());
    EXPECT_EQ(changed.count(), 2);
    m.DataUpdate(7, 99);
    EXPECT_EQ(changed.count(), 2);
}

TEST(AllParamsModel, ReadAndSendCheckedRows) {
    AllParamsModel m;
    BuildGrid(m);
    m.chkAll(true);
    EXPECT_EQ(m.checkedCount(), 4);
    m.chkAll(false);
    ASSERT_TRUE(m.setData(m.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    m.setChecked(2, true);

    test::RecordingLink link;
    EXPECT_EQ(m.ReadChecked(link), 2);
    EXPECT_EQ(link.HexPackets(), (QStringList{"8A 02 11 00 75", "8A 02 14 00 75"}));

    link.Clear();
    m.chkAll(true);
    m.setValueText(0, QStringLiteral("-1"));
    m.setValueText(1, QStringLiteral("255"));
    m.setValueText(2, QStringLiteral("256"));
    m.setValueText(3, QStringLiteral("-256.5"));  // rounds to -256, sent as 00
    auto refused = m.SendChecked(link);
    EXPECT_EQ(link.HexPackets(),
              (QStringList{"85 03 11 00 FF 7A", "85 03 11 00 FF 7A", "85 03 15 00 00 7A"}));
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused[0].row, 2);
    EXPECT_TRUE(refused[0].reason.startsWith(QStringLiteral("Q (20): ")))
        << refused[0].reason.toStdString();
    EXPECT_TRUE(refused[0].reason.contains(QStringLiteral("-256 to 255")))
        << refused[0].reason.toStdString();

    link.Clear();
    m.setValueText(0, QString());
    m.setValueText(1, QStringLiteral("2.5"));
    m.setValueText(2, QStringLiteral("-257"));
    m.setValueText(3, QStringLiteral("40000"));  // beyond 16 bits
    refused = m.SendChecked(link);
    EXPECT_EQ(link.HexPackets(), QStringList{"85 03 11 00 02 7A"});
    ASSERT_EQ(refused.size(), 3);
    EXPECT_TRUE(refused[0].reason.contains(QStringLiteral("not a number")))
        << refused[0].reason.toStdString();
    EXPECT_EQ(refused[1].row, 2);
    EXPECT_EQ(refused[2].row, 3);
}

TEST(AllParamsModel, ParFileLinesAppendedExactly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("set.par"));
    AllParamsModel m;
    m.Build(ReadParamDefs(QByteArray("#define P 17\n")));
    m.setValueText(0, QStringLiteral("250"));
    ASSERT_EQ(m.SaveParFile(path), std::nullopt);
    ASSERT_EQ(m.SaveParFile(path), std::nullopt);
    EXPECT_EQ(ReadAll(path), kLineP + kLineP);

    const QString name = Padded("P");
    EXPECT_EQ(AllParamsModel::ParLine(QStringLiteral("17"), name, QStringLiteral("-5")).mid(70),
              QStringLiteral("-5 "));
    EXPECT_EQ(AllParamsModel::ParLine(QStringLiteral("17"), name, QString()).mid(70),
              QStringLiteral(" 0 "));
    EXPECT_EQ(AllParamsModel::ParLine(QStringLiteral("17"), name, QStringLiteral("2.5x")).mid(70),
              QStringLiteral(" 2.5 "));

    const auto error = m.SaveParFile(dir.filePath(QStringLiteral("no/such/folder/x.par")));
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->startsWith(QStringLiteral("Error saveparData: "))) << error->toStdString();
}

TEST(AllParamsModel, LoadingParLines) {
    AllParamsModel m;
    BuildGrid(m);
    // The name of the line is contained in P_MAX too; the later line wins.
    EXPECT_EQ(m.LoadParData(kLineP + "17 P 3.5\r\n20  Q   -2 junk\n21 NEG 2.5"), 4);
    EXPECT_EQ(m.valueText(0), QStringLiteral("4"));
    EXPECT_EQ(m.valueText(1), QStringLiteral("4"));
    EXPECT_EQ(m.valueText(2), QStringLiteral("-2"));
    EXPECT_EQ(m.valueText(3), QStringLiteral("2"));

    // Case matters, and the address must match too.
    EXPECT_EQ(m.LoadParData("17 p 9\r\n20 P 9\r\n"), 2);
    EXPECT_EQ(m.valueText(0), QStringLiteral("4"));
    EXPECT_EQ(m.valueText(2), QStringLiteral("-2"));

    // A line with fewer than three fields ends the loading; earlier lines stay.
    EXPECT_EQ(m.LoadParData("17 P 5\r\n20 Q\r\n20 Q 9\r\n"), 1);
    EXPECT_EQ(m.valueText(0), QStringLiteral("5"));
    EXPECT_EQ(m.valueText(2), QStringLiteral("-2"));
    EXPECT_EQ(m.LoadParData("\r\n17 P 6\r\n"), 0);
    EXPECT_EQ(m.LoadParData("17 P 99999999999\r\n17 P 6\r\n"), 0);
    EXPECT_EQ(m.valueText(0), QStringLiteral("5"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.par"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("21 NEG -7 \r\n");
    f.close();
    EXPECT_EQ(m.LoadParFile(path), 1);
    EXPECT_EQ(m.valueText(3), QStringLiteral("-7"));
    EXPECT_EQ(m.LoadParFile(dir.filePath(QStringLiteral("missing.par"))), 0);
}
