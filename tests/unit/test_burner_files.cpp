// The parameter definitions read from PARAMS.h and the all-parameters grid
// with its *.par files.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "burner/AllParamsFilter.h"
#include "burner/AllParamsModel.h"
#include "burner/ParFile.h"
#include "burner/ParamTable.h"
#include "support/EventLog.h"

using namespace tuvik;

namespace {

QString Padded(const QString& name) {
    return name.leftJustified(kParamNameWidth, QLatin1Char(' '));
}

// The shapes a firmware header really holds, with CR LF, LF and lone CR line
// ends and no final line end.
const QByteArray kAwkwardHeader =
    "/* Burner parameters */\r\n#ifndef PARAMS_H\r\n#define PARAMS_H\r\n\r\n"
    "#define\tFUEL_MAX\t\t250\t// max\r\n#define HEX_VAL 0x10\n#define ZERO 0\n#define NEG -5\n"
    "#define ALL_ONES &HFFFF\n#define AMP_HEX &H10\n#define HALF_A 2.5\r#define HALF_B 3.5\r"
    "#define SPACED 5 6\r\n// #define OLD 12\n#define A 3 // was #define A 4\n"
    "#define TOO_BIG 40000\n#define AFTER_BIG 41\n"
    "#define ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz01234567 42\n#define 17\n"
    "#define EXPR (FUEL_MAX + 1)\n\t  #define   TEMP_\xe4  9  \r\r\n#define P 7\n#endif";

}  // namespace

TEST(ParamTable, DefinitionsTheReaderTakesAndTheListAgrees) {
    const std::pair<const char*, int> want[] = {
        {"FUEL_MAX", 250}, {"AMP_HEX", 16},
        {"HALF_A", 2},     {"HALF_B", 4},
        {"SPACED", 56},    {"A", 3},
        {"AFTER_BIG", 41}, {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx", 42},
        {"", 17},          {"TEMP_\xe4", 9},
        {"P", 7}};
    ParamTable table;
    table.LoadParamTable(kAwkwardHeader);
    ASSERT_EQ(table.size(), 11);
    for (int i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table.at(i).name, Padded(QString::fromLatin1(want[i].first))) << i;
        EXPECT_EQ(table.at(i).address, want[i].second) << i;
        EXPECT_EQ(table.at(i).value, -1);
    }
    EXPECT_EQ(table.at(0).description, QStringLiteral(" max"));
    EXPECT_EQ(table.at(5).description, QStringLiteral(" was  A 4"));
    EXPECT_TRUE(table.at(table.size()).name.isEmpty());
    const QStringList items = ReadParameterListItems(kAwkwardHeader);
    ASSERT_EQ(items.size(), table.size());
    EXPECT_EQ(items.last(), QStringLiteral("P") + QString(49, u' ') + QStringLiteral("#7"));
    EXPECT_EQ(items[8], QString(50, u' ') + QStringLiteral("#17"));

    for (const char* ignored :
         {"#define X 32768", "#define X 32767.5", "#define X 0.4", "#define GUARD_H", "#DEFINE X 5",
          "define X 5", "#define X 1e400"}) {
        EXPECT_FALSE(ParseParamLine(QString::fromLatin1(ignored))) << ignored;
    }
    EXPECT_EQ(ParseParamLine(QStringLiteral("  #define X 32767"))->address, 32767);

    QBuffer buffer;  // a device gives the same table; loading again replaces it
    buffer.setData(kAwkwardHeader);
    table.LoadParamTable(QByteArray("#define ONLY 3\n"));
    table.LoadParamTable(buffer);
    EXPECT_EQ(table.size(), 11);
}

TEST(ParamTable, TableKeeps1001TheListKeepsAllAndAMissingFileGivesNothing) {
    QByteArray header;
    for (int i = 1; i <= 1200; ++i) {
        header += "#define P" + QByteArray::number(i) + " " + QByteArray::number(i) + "\r\n";
    }
    ParamTable table;
    table.LoadParamTable(header);
    ASSERT_EQ(table.size(), 1001);
    EXPECT_EQ(table.at(1000).name, Padded("P1001"));
    EXPECT_EQ(ReadParameterListItems(header).size(), 1200);
    EXPECT_EQ(ReadParamDefs(header, 3).size(), 3u);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PARAMS.h"));
    table.LoadParamTable(path);
    EXPECT_TRUE(table.empty() && ReadParameterListItems(path).isEmpty());
    ASSERT_TRUE(test::WriteFile(path, kAwkwardHeader.left(kAwkwardHeader.indexOf("AFTER_BIG"))));
    table.LoadParamTable(path);  // a file cut in the middle gives what it holds
    EXPECT_EQ(std::tuple(table.size(), ReadParameterListItems(path).size()), std::tuple(6, 6));
    RecordingEventLog events;  // a file far too large to be real is refused unread
    ScopedEventLog scoped(events);
    ASSERT_TRUE(QFile::resize(path, 50 * 1024 * 1024));
    table.LoadParamTable(path);
    EXPECT_TRUE(table.empty() && ReadParameterListItems(path).isEmpty());
    EXPECT_TRUE(events.texts().value(0).contains(QStringLiteral("too large")));
}

namespace {

// Rows: P at 17, P_MAX at 17, Q at 20, NEG at 21.
void BuildGrid(AllParamsModel& m) {
    m.Build(
        ReadParamDefs(QByteArray("#define P 17\r\n#define P_MAX 17\r\n#define Q 20\r\n"
                                 "#define NEG 21\r\n")));
}

// Address in 14 columns, the 50-character name, the value in 8, CR LF.
const QByteArray kLineP =
    "17" + QByteArray(12, ' ') + "P" + QByteArray(49, ' ') + QByteArray(6, ' ') + " 250 \r\n";

}  // namespace

TEST(AllParamsModel, RepliesFillEveryRowOfTheAddressCheckedRowsAreReadAndSent) {
    AllParamsModel m;
    m.Build(ParamTable());
    EXPECT_EQ(std::tuple(m.rowCount(), m.addressText(0)), std::tuple(1, QString("9999")));
    BuildGrid(m);
    QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
    m.DataUpdate(250, 17);
    m.DataUpdate(7, 99);
    EXPECT_EQ(QStringList({m.valueText(0), m.valueText(1), m.valueText(2)}),
              QStringList({"250", "250", ""}));
    EXPECT_EQ(changed.count(), 2);
    ASSERT_TRUE(m.setData(m.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    m.setChecked(2, true);
    test::RecordingLink link;
    EXPECT_EQ(m.ReadChecked(link), 2);
    EXPECT_EQ(link.HexPackets(), (QStringList{"8A 02 11 00 75", "8A 02 14 00 75"}));
    link.Clear();
    m.chkAll(true);
    auto send = [&](QStringList values) {
        for (int r = 0; r < 4; ++r) {
            m.setValueText(r, values[r]);
        }
        return m.SendChecked(link);
    };
    auto refused = send({"-1", "255", "256", "-256.5"});  // -256.5 rounds to -256: sent as 00
    EXPECT_EQ(link.HexPackets(),
              (QStringList{"85 03 11 00 FF 7A", "85 03 11 00 FF 7A", "85 03 15 00 00 7A"}));
    ASSERT_EQ(refused.size(), 1);
    EXPECT_EQ(refused[0].row, 2);
    EXPECT_TRUE(refused[0].reason.startsWith(QStringLiteral("Q (20): ")) &&
                refused[0].reason.contains(QStringLiteral("-256 to 255")))
        << refused[0].reason.toStdString();
    link.Clear();
    EXPECT_EQ(send({"", "2.5", "-257", "40000"}).size(), 3);
    EXPECT_EQ(link.HexPackets(), QStringList{"85 03 11 00 02 7A"});
}

TEST(ParFile, LineEndsAlikeABadLinePassedOverAndNamed) {
    struct Case {
        QByteArray bytes;
        QList<int> skipped;
    };
    const Case cases[] = {
        {"4 A_b 1\r\n-5 B -2.5 x\r\n", {}},
        {"4 A_b 1\n-5 B -2.5 x\n", {}},
        {"4 A_b 1\r-5 B -2.5 x\r", {}},
        // Too few fields, a blank line, a number past 32 bits.
        {"4 A_b 1\r\n20 Q\n\r\n17 P 99999999999\r-5 B -2.5 x", {2, 4}},
    };
    for (const Case& c : cases) {
        const ParFileRead read = ReadParData(c.bytes);
        ASSERT_EQ(read.lines.size(), 2u) << c.bytes.toStdString();
        EXPECT_EQ(QList<int>({read.lines[0].address, read.lines[0].value, read.lines[1].address,
                              read.lines[1].value}),
                  QList<int>({4, 1, -5, -2}));
        EXPECT_EQ(QStringList({read.lines[0].name, read.lines[1].name}), QStringList({"A_b", "B"}));
        EXPECT_EQ(read.skipped, c.skipped) << c.bytes.toStdString();
    }
}

TEST(AllParamsModel, ParFilesWrittenExactlyAndReadLineByLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.par"));
    AllParamsModel one;
    one.Build(ReadParamDefs(QByteArray("#define P 17\n")));
    one.setValueText(0, QStringLiteral("250"));
    ASSERT_EQ(one.SaveParFile(path), std::nullopt);
    ASSERT_EQ(one.SaveParFile(path), std::nullopt);
    EXPECT_EQ(test::ReadFile(path), kLineP + kLineP);  // appended
    const QString name = QStringLiteral("P").leftJustified(kParamNameWidth);
    EXPECT_EQ(AllParamsModel::ParLine("17", name, QString()).mid(70), QStringLiteral(" 0 "));
    EXPECT_EQ(AllParamsModel::ParLine("17", name, "2.5x").mid(70), QStringLiteral(" 2.5 "));
    // A field that fills its zone exactly still moves on to the next one.
    EXPECT_EQ(AllParamsModel::ParLine("12345678901234", name, "1").indexOf(name), 28);
    EXPECT_TRUE(one.SaveParFile(dir.filePath("no/such/folder/x.par"))
                    ->startsWith(QStringLiteral("Error saveparData: ")));

    AllParamsModel m;
    BuildGrid(m);
    // P's name is contained in P_MAX's; the later line for the address wins.
    EXPECT_EQ(m.LoadParData(kLineP + "17 P 3.5\r20  Q   -2 junk\n21 NEG 2.5"), 4);
    EXPECT_EQ(QStringList({m.valueText(0), m.valueText(1), m.valueText(2), m.valueText(3)}),
              QStringList({"4", "4", "-2", "2"}));
    // Case and address must match; a line that cannot be read costs only itself.
    EXPECT_EQ(m.LoadParData("17 p 9\r\n20 P 9\r\n"), 2);
    EXPECT_EQ(m.LoadParData("17 P 5\r\n20 Q\r\n20 Q 9\r\n"), 2);
    EXPECT_EQ(QStringList({m.valueText(0), m.valueText(2)}), QStringList({"5", "9"}));
    ASSERT_TRUE(test::WriteFile(path, "21 NEG -7 \r\n17 P\r\n"));
    QString passedOver;
    EXPECT_EQ(m.LoadParFile(path, &passedOver), 1);
    EXPECT_EQ(m.valueText(3), QStringLiteral("-7"));
    EXPECT_EQ(passedOver,
              "Error loadparData: these lines could not be read and were passed over: 2");
    EXPECT_EQ(m.LoadParFile(dir.filePath(QStringLiteral("missing.par"))), 0);
    ASSERT_TRUE(QFile::resize(path, 50 * 1024 * 1024));  // refused unread, no box changed
    QString error;
    EXPECT_EQ(m.LoadParFile(path, &error), 0);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Error loadparData: "))) << error.toStdString();
    EXPECT_EQ(m.valueText(3), QStringLiteral("-7"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), dir.filePath("full.par")));
    EXPECT_TRUE(one.SaveParFile(dir.filePath("full.par")).has_value())
        << "a disk that takes nothing";
}

TEST(AllParamsFilter, NarrowsAndSortsTheViewButSendsInTheFilesOrder) {
    QByteArray defs;
    for (int i = 0; i < 1001; ++i) {
        defs += QByteArray("#define P") + QByteArray::number(i) + ' ' +
                QByteArray::number(1001 - i) + '\n';
    }
    AllParamsModel m;
    m.Build(ReadParamDefs(defs));
    ASSERT_EQ(m.rows(), 1001);
    AllParamsFilter f(m);
    f.setText("P10");  // P10, P100..P109, P1000; addresses containing "P10": none
    EXPECT_EQ(f.rowCount(), 12);
    f.setText("1001");  // by address: row 0 (no name holds it)
    ASSERT_EQ(f.rowCount(), 1);
    EXPECT_EQ(f.mapToSource(f.index(0, 0)).row(), 0);
    f.setText("");

    // Changed only: a row differs from what was read or loaded; never read is not changed.
    m.DataUpdate(7, 1001);                                                // row 0 read as 7
    m.LoadParData("999           P2" + QByteArray(48, ' ') + " 5 \r\n");  // row 2 loaded as 5
    m.setValueText(2, "6");                                               // edited after loading
    m.setValueText(3, "9");                                               // never read: not changed
    f.setChangedOnly(true);
    ASSERT_EQ(f.rowCount(), 1);
    EXPECT_EQ(f.mapToSource(f.index(0, 0)).row(), 2);
    m.setValueText(0, "8");
    EXPECT_EQ(f.rowCount(), 2) << "follows the edits";
    f.setChangedOnly(false);

    // Sorted by address ascending: the last row first; the send walks rows 0, 2, 1000.
    f.sort(AllParamsModel::ColAddress, Qt::AscendingOrder);
    EXPECT_EQ(f.mapToSource(f.index(0, 0)).row(), 1000);
    m.setValueText(1000, "0");
    for (int row : {1000, 2, 0}) {
        m.setChecked(row, true);
    }
    test::RecordingLink link;
    EXPECT_TRUE(m.SendChecked(link).isEmpty());
    EXPECT_EQ(link.HexPackets(),
              (QStringList{"85 03 E9 03 08 7A", "85 03 E7 03 06 7A", "85 03 01 00 00 7A"}));
}
