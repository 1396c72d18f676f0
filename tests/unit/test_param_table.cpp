#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include "TestUtil.h"
#include "burner/ParamTable.h"
#include "shell/AppPaths.h"
#include "shell/InitGlobals.h"

using namespace tuvik;

namespace {

QString Padded(const QString& name) {
    return name.leftJustified(kParamNameWidth, QLatin1Char(' '));
}

// A header with the shapes a firmware header really holds, and line ends of
// every kind (CR LF, LF, lone CR), without a final line end.
const QByteArray kAwkwardHeader =
    "/* Burner parameters */\r\n"
    "#ifndef PARAMS_H\r\n"
    "#define PARAMS_H\r\n"
    "\r\n"
    "#define\tFUEL_MAX\t\t250\t// max\r\n"
    "#define HEX_VAL 0x10\n"
    "#define ZERO 0\n"
    "#define NEG -5\n"
    "#define ALL_ONES &HFFFF\n"
    "#define AMP_HEX &H10\n"
    "#define HALF_A 2.5\r"
    "#define HALF_B 3.5\r"
    "#define SPACED 5 6\r\n"
    "// #define OLD 12\n"
    "#define A 3 // was #define A 4\n"
    "#define TOO_BIG 40000\n"
    "#define TOO_SMALL -40000\n"
    "#define AFTER_BIG 41\n"
    "#define ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz01234567 42\n"
    "#define 17\n"
    "#define EXPR (FUEL_MAX + 1)\n"
    "\t  #define   TEMP_\xe4  9  \r\r\n"
    "#define P 7\n"
    "#endif";

struct Expected {
    const char* name;
    int address;
};

const std::vector<Expected> kAwkwardExpected = {
    {"FUEL_MAX", 250}, {"AMP_HEX", 16},
    {"HALF_A", 2},     {"HALF_B", 4},
    {"SPACED", 56},    {"A", 3},
    {"AFTER_BIG", 41}, {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx", 42},
    {"", 17},          {"TEMP_\xe4", 9},
    {"P", 7},
};

QByteArray ManyDefinitions(int count) {
    QByteArray b;
    for (int i = 1; i <= count; ++i) {
        b += "#define P" + QByteArray::number(i) + " " + QByteArray::number(i) + "\r\n";
    }
    return b;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

}  // namespace

TEST(ParamLine, SingleLines) {
    auto def = ParseParamLine(QStringLiteral("#define\tFUEL_MAX\t250\t// max"));
    ASSERT_TRUE(def);
    EXPECT_EQ(def->name, Padded("FUEL_MAX"));
    EXPECT_EQ(def->name.size(), 50);
    EXPECT_EQ(def->address, 250);
    EXPECT_EQ(def->value, -1);
    EXPECT_EQ(def->description, QStringLiteral(" max"));

    // A name of 60 characters keeps its first 50.
    def = ParseParamLine(QStringLiteral("#define ") + QString(60, QLatin1Char('N')) +
                         QStringLiteral(" 5"));
    ASSERT_TRUE(def);
    EXPECT_EQ(def->name, QString(50, QLatin1Char('N')));

    // No name: the whole rest is the address.
    def = ParseParamLine(QStringLiteral("#define 17"));
    ASSERT_TRUE(def);
    EXPECT_EQ(def->name, QString(50, QLatin1Char(' ')));
    EXPECT_EQ(def->address, 17);

    // "#define" is found anywhere in the line, and only blanks are trimmed.
    def = ParseParamLine(QStringLiteral("  #define X 32767"));
    ASSERT_TRUE(def);
    EXPECT_EQ(def->address, 32767);

    for (const char* ignored : {"#define X 32768", "#define X 32767.5", "#define X -1",
                                "#define X 0.4", "#define GUARD_H", "#define", "#DEFINE X 5",
                                "define X 5", "X 5", "// #define OLD 12", "#define X 1e400", ""}) {
        EXPECT_FALSE(ParseParamLine(QString::fromLatin1(ignored))) << ignored;
    }
}

TEST(ParamTable, AwkwardHeaderFillsTableAndList) {
    ParamTable table;
    EXPECT_TRUE(table.empty());
    table.LoadParamTable(kAwkwardHeader);

    ASSERT_EQ(table.size(), static_cast<int>(kAwkwardExpected.size()));
    for (int i = 0; i < table.size(); ++i) {
        const Expected& e = kAwkwardExpected[static_cast<size_t>(i)];
        EXPECT_EQ(table.at(i).name, Padded(QString::fromLatin1(e.name))) << i;
        EXPECT_EQ(table.at(i).address, e.address) << e.name;
        EXPECT_EQ(table.at(i).value, -1);
    }
    // Every "#define" goes before the comment is split off.
    EXPECT_EQ(table.at(5).description, QStringLiteral(" was  A 4"));
    // The first free entry follows the loaded ones.
    EXPECT_TRUE(table.at(table.size()).name.isEmpty());
    EXPECT_TRUE(table.at(ParamTable::kCapacity - 1).name.isEmpty());

    // The list comes from the same reader: same definitions, same order.
    const QStringList items = ReadParameterListItems(kAwkwardHeader);
    ASSERT_EQ(items.size(), table.size());
    for (int i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i],
                  table.at(i).name + QLatin1Char('#') + QString::number(table.at(i).address));
    }
    EXPECT_EQ(items.last(),
              QStringLiteral("P") + QString(49, QLatin1Char(' ')) + QStringLiteral("#7"));
    EXPECT_EQ(items[8], QString(50, QLatin1Char(' ')) + QStringLiteral("#17"));

    // Reading through a device gives the same table; loading again replaces.
    QBuffer buffer;
    buffer.setData(kAwkwardHeader);
    ParamTable fromDevice;
    fromDevice.LoadParamTable(buffer);
    ASSERT_EQ(fromDevice.size(), table.size());
    EXPECT_EQ(fromDevice.at(9).name, table.at(9).name);
    table.LoadParamTable(QByteArray("#define ONLY 3\n"));
    EXPECT_EQ(table.size(), 1);
    EXPECT_TRUE(table.at(1).name.isEmpty());
}

TEST(ParamTable, TableKeeps1001ListKeepsAll) {
    const QByteArray header = ManyDefinitions(1200);
    ParamTable table;
    table.LoadParamTable(header);
    ASSERT_EQ(table.size(), 1001);
    EXPECT_EQ(table.at(1000).name, Padded("P1001"));
    EXPECT_EQ(table.at(1000).address, 1001);
    EXPECT_EQ(table.loaded().size(), 1001u);

    const QStringList items = ReadParameterListItems(header);
    ASSERT_EQ(items.size(), 1200);
    EXPECT_EQ(items.last(), Padded("P1200") + QStringLiteral("#1200"));

    EXPECT_EQ(ReadParamDefs(header, 3).size(), 3u);
    EXPECT_TRUE(ReadParamDefs(header, 0).empty());
}

TEST(ParamTable, FilesMissingAndPresent) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("PARAMS.h"));
    ParamTable table;
    table.LoadParamTable(missing);
    EXPECT_TRUE(table.empty());
    EXPECT_TRUE(table.at(0).name.isEmpty());
    EXPECT_TRUE(ReadParameterListItems(missing).isEmpty());

    WriteFile(missing, kAwkwardHeader);
    table.LoadParamTable(missing);
    EXPECT_EQ(table.size(), static_cast<int>(kAwkwardExpected.size()));
    EXPECT_EQ(ReadParameterListItems(missing).size(), table.size());

    // A file without a single definition gives an empty list.
    WriteFile(missing, "#ifndef X\n#define X\n#endif\n");
    EXPECT_TRUE(ReadParameterListItems(missing).isEmpty());
}

TEST(AppPaths, FoldersAndDataFileLookup) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString share = root.filePath(QStringLiteral("share/tuvik"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QDir().mkpath(share + QStringLiteral("/Settings")));

    const AppPaths paths = AppPaths::ForProgramDir(bin);
    EXPECT_EQ(paths.AppPath(), bin + QLatin1Char('/'));
    EXPECT_EQ(paths.DailyDir(), bin);  // a writable program folder keeps the daily files
    ASSERT_GE(paths.DataDirs().size(), 2);
    EXPECT_EQ(paths.DataDirs().at(0), bin);
    EXPECT_EQ(paths.DataDirs().at(1), share);

    // Not found anywhere: the program folder's path.
    EXPECT_EQ(paths.ParamsHeaderPath(), bin + QStringLiteral("/PARAMS.h"));
    // Only installed: found in the data folder, also under the old spelling.
    WriteFile(share + QStringLiteral("/PARAMS.h"), "#define SHARED 5\n");
    WriteFile(share + QStringLiteral("/Settings/PID_def.PID"), "x");
    EXPECT_EQ(paths.ParamsHeaderPath(), share + QStringLiteral("/PARAMS.h"));
    EXPECT_EQ(paths.FindDataFile(QStringLiteral("Settings\\PID_def.PID")),
              share + QStringLiteral("/Settings/PID_def.PID"));
    ParamTable table;
    InitGlobals(table, paths);
    ASSERT_EQ(table.size(), 1);
    EXPECT_EQ(table.at(0).name, Padded("SHARED"));
    // Beside the program: that copy wins.
    WriteFile(bin + QStringLiteral("/PARAMS.h"), "#define LOCAL 6\n");
    InitGlobals(table, paths);
    EXPECT_EQ(table.at(0).name, Padded("LOCAL"));

    // A program folder that cannot take files sends daily files elsewhere.
    const AppPaths installed =
        AppPaths::ForProgramDir(root.filePath(QStringLiteral("no/such/bin")));
    EXPECT_NE(installed.DailyDir(), installed.ProgramDir());
    EXPECT_FALSE(installed.DailyDir().isEmpty());

    // Given folders: the program folder first, no duplicates.
    const AppPaths given(bin, root.path(), {share, bin, share});
    EXPECT_EQ(given.DataDirs(), QStringList({bin, share}));
    EXPECT_EQ(given.DailyFilePath(QStringLiteral("a.csv")), root.path() + QStringLiteral("/a.csv"));
}
