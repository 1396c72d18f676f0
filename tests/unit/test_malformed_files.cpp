// Parameter headers and *.par files that are not what they should be:
// foreign line ends, noise, a cut-off end, nothing at all, or far too much.
// The readers take what is valid, refuse a file too large to be real, and a
// failed load leaves what was there.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>

#include "TestUtil.h"
#include "burner/AllParamsModel.h"
#include "burner/ParamTable.h"
#include "support/EventLog.h"

using namespace tuvik;

namespace {

QByteArray ShippedHeader() {
    QFile f(QStringLiteral(TUVIK_SOURCE_SIM_DATA_DIR "/PARAMS.h"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Noise(int n) {
    std::mt19937 rng(7);
    QByteArray out(n, '\0');
    for (char& c : out) {
        c = static_cast<char>(rng() & 0xFF);
    }
    return out;
}

bool WriteFile(const QString& path, const QByteArray& bytes, qint64 sizeAfter = -1) {
    QFile f(path);
    // resize() fills with zeros without holding them in memory.
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size() &&
           (sizeAfter < 0 || f.resize(sizeAfter));
}

struct Case {
    const char* name;
    QByteArray bytes;
};

}  // namespace

TEST(MalformedFiles, ParamsHeaderGivesItsValidDefinitionsInOrderOrNothing) {
    const QByteArray lf = ShippedHeader();
    ASSERT_FALSE(lf.contains('\r'));
    ParamTable whole;
    whole.LoadParamTable(lf);
    ASSERT_GT(whole.size(), 50);
    QByteArray crlf = lf;
    crlf.replace("\n", "\r\n");
    QByteArray cr = lf;
    cr.replace('\n', '\r');
    QByteArray withNul = lf;
    withNul.insert(lf.indexOf("#define"), QByteArray("\0\0junk\0\n", 8));
    const qsizetype mid = lf.indexOf("#define", lf.size() / 2) + 12;  // inside a name
    const std::vector<Case> cases = {
        {"CR LF", crlf},           {"CR only", cr},
        {"NUL bytes", withNul},    {"noise after", lf + "\n" + Noise(4096)},
        {"cut off", lf.left(mid)}, {"noise", Noise(8192)},
        {"empty", QByteArray()},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PARAMS.h"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteFile(path, c.bytes));
        ParamTable t;
        t.LoadParamTable(path);
        // Whatever is read is the shipped header's definitions from the start.
        for (int i = 0; i < t.size(); ++i) {
            ASSERT_EQ(t.at(i).name, whole.at(i).name) << i;
            ASSERT_EQ(t.at(i).address, whole.at(i).address) << i;
        }
        const std::string name = c.name;
        if (name == "noise" || name == "empty") {
            EXPECT_EQ(t.size(), 0);
        } else if (name == "cut off") {
            EXPECT_GT(t.size(), 10);
            EXPECT_LT(t.size(), whole.size());
        } else {
            EXPECT_EQ(t.size(), whole.size());
        }
    }

    // 50 MB: refused unread, the event log says why.
    RecordingEventLog events;
    ScopedEventLog scoped(events);
    ASSERT_TRUE(WriteFile(path, lf, 50 * 1024 * 1024));
    ParamTable big;
    big.LoadParamTable(path);
    EXPECT_EQ(big.size(), 0);
    EXPECT_TRUE(ReadParameterListItems(path).isEmpty());
    ASSERT_FALSE(events.texts().isEmpty());
    EXPECT_TRUE(events.texts().last().contains(QStringLiteral("too large")));
}

TEST(MalformedFiles, ParFileFillsOnlyFromValidLinesAndARefusedFileChangesNothing) {
    ParamTable table;
    table.LoadParamTable(ShippedHeader());
    AllParamsModel saved;
    saved.Build(table);
    for (int r = 0; r < saved.rows(); ++r) {
        saved.setValueText(r, QString::number(r % 200));
    }
    const QByteArray crlf = saved.ParData();
    ASSERT_TRUE(crlf.endsWith("\r\n"));
    QByteArray cr = crlf;
    cr.replace("\r\n", "\r");
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    const qsizetype cut = crlf.indexOf("\r\n", crlf.size() / 2) + 2 + 16;  // inside a name
    const std::vector<Case> cases = {
        {"CR LF", crlf},        {"CR only", cr},
        {"LF only", lf},        {"cut off", crlf.left(cut)},
        {"noise", Noise(8192)}, {"empty", QByteArray()},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.par"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteFile(path, c.bytes));
        AllParamsModel m;
        m.Build(table);
        QString error;
        const int lines = m.LoadParFile(path, &error);
        EXPECT_TRUE(error.isEmpty());
        int filled = 0;
        for (int r = 0; r < m.rows(); ++r) {
            if (!m.valueText(r).isEmpty()) {
                ++filled;
                ASSERT_EQ(m.valueText(r), saved.valueText(r)) << r;
            }
        }
        const std::string name = c.name;
        if (name == "noise" || name == "empty") {
            EXPECT_EQ(filled, 0);
        } else if (name == "cut off") {
            EXPECT_GT(filled, 10);
            EXPECT_LT(filled, m.rows());
        } else {
            EXPECT_EQ(lines, m.rows());
            EXPECT_EQ(filled, m.rows());
        }
    }

    // 50 MB after a valid set: refused with a message, no box touched.
    ASSERT_TRUE(WriteFile(path, crlf, 50 * 1024 * 1024));
    AllParamsModel m;
    m.Build(table);
    m.setValueText(0, QStringLiteral("5"));
    QString error;
    EXPECT_EQ(m.LoadParFile(path, &error), 0);
    EXPECT_TRUE(error.startsWith(QStringLiteral("Error loadparData: "))) << error.toStdString();
    EXPECT_EQ(m.valueText(0), QStringLiteral("5"));
    EXPECT_TRUE(m.valueText(1).isEmpty());

    // A disk that refuses the bytes: the save says so.
    const QString full = dir.filePath(QStringLiteral("full.par"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), full));
    const std::optional<QString> saveError = saved.SaveParFile(full);
    ASSERT_TRUE(saveError.has_value());
    EXPECT_TRUE(saveError->startsWith(QStringLiteral("Error saveparData: ")));
}
