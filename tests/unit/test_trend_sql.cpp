// Drawing a chart from consecutive records of an SQLite result.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

#include "TestUtil.h"
#include "trend/RecordingSurface.h"
#include "trend/SqlRecordSet.h"
#include "trend/cTrendline.h"

using namespace tuvik;
using Rec = RecordingSurface;

namespace {

struct Messages : UserNotifier {
    QStringList shown;
    void ShowMessage(const QString& text) override { shown << text; }
};

// A measurement table in an SQLite file: record k holds Tgas = k % 100,
// O2 = (k * 7) % 100, Note = "ok" (or a text / NULL where asked).
class SqlChart : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(dir_.filePath(QStringLiteral("trend.db")));
        ASSERT_TRUE(db_.open()) << db_.lastError().text().toStdString();
        QSqlQuery q(db_);
        ASSERT_TRUE(q.exec(QStringLiteral(
            "CREATE TABLE meas (id INTEGER PRIMARY KEY, Tgas REAL, O2 REAL, Note TEXT, Tw)")));
        chart_.setPicBox(&surface_);
        chart_.setNotifier(&messages_);
    }
    void TearDown() override {
        rs_.reset();
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    void Insert(int records) {
        db_.transaction();
        QSqlQuery q(db_);
        q.prepare(
            QStringLiteral("INSERT INTO meas (id, Tgas, O2, Note, Tw) VALUES (?, ?, ?, 'ok', ?)"));
        for (int k = 0; k < records; ++k) {
            q.addBindValue(k);
            q.addBindValue(k % 100);
            q.addBindValue((k * 7) % 100);
            q.addBindValue(k == 5 ? QVariant(QStringLiteral("warm"))
                                  : QVariant(QString::number(k % 100)));
            ASSERT_TRUE(q.exec());
        }
        db_.commit();
    }
    SqlRecordSet& Select(const QString& where = {}) {
        QSqlQuery q(db_);
        EXPECT_TRUE(
            q.exec(QStringLiteral("SELECT * FROM meas ") + where + QStringLiteral(" ORDER BY id")));
        rs_ = std::make_unique<SqlRecordSet>(std::move(q));
        return *rs_;
    }
    std::vector<Rec::DrawnLine> Curve(SurfaceColor c) const {
        std::vector<Rec::DrawnLine> out;
        for (const auto& l : surface_.lines()) {
            if (l.color == c && l.form == LineForm::Segment) {
                out.push_back(l);
            }
        }
        return out;
    }
    // Labels below the plot (B + 85).
    QStringList TimeLabels() const {
        QStringList out;
        for (const auto& p : surface_.prints()) {
            if (p.y == 2785) {
                out << p.text;
            }
        }
        return out;
    }
    bool Printed(const QString& t) const {
        return std::any_of(surface_.prints().begin(), surface_.prints().end(),
                           [&](const auto& p) { return p.text == t; });
    }

    QTemporaryDir dir_;
    QString name_ = QStringLiteral("trend_sql_test");
    QSqlDatabase db_;
    std::unique_ptr<SqlRecordSet> rs_;
    Rec surface_{6000, 3000};
    cTrendline chart_;
    Messages messages_;
};

// Height of value v on the 6000 x 3000 surface with maxY 100: 26 twips per unit.
double HeightOf(int v) {
    return 2700 - 26.0 * v;
}

}  // namespace

TEST_F(SqlChart, EverySeriesReadsTheSameRecords) {
    Insert(1000);
    QStringList names{"T-gas", "", "O2", "", "Tgas"};
    chart_.DrawSQLTrend(Select(), names, false);
    EXPECT_TRUE(messages_.shown.isEmpty());
    EXPECT_EQ(names, QStringList({"Tgas", "", "O2", "", "Tgas"}));
    EXPECT_TRUE(Printed("T-gas"));  // the legend keeps the hyphen

    const auto tgas = Curve(kWhite);
    const auto o2 = Curve(kRed);
    const auto again = Curve(kMagenta);
    ASSERT_EQ(tgas.size(), 297u);
    ASSERT_EQ(o2.size(), 297u);
    ASSERT_EQ(again.size(), 297u);
    for (int j = 2; j <= 298; ++j) {
        const int k = j - 2;  // record k is point k + 2
        const auto& t = tgas[static_cast<size_t>(k)];
        EXPECT_EQ(t.y1, HeightOf(k % 100)) << k;
        EXPECT_EQ(t.y2, HeightOf((k + 1) % 100)) << k;
        EXPECT_NEAR(t.x1, 4800 - j * 4300.0 / 300, 1e-9);
        EXPECT_EQ(o2[static_cast<size_t>(k)].y1, HeightOf((k * 7) % 100)) << k;
        EXPECT_EQ(again[static_cast<size_t>(k)].y1, t.y1);
    }
    // Time grid every 600 records: only the right edge on a 300-record chart.
    EXPECT_EQ(TimeLabels(), QStringList({" 0 "}));
    EXPECT_FALSE(surface_.fontBold());

    // With a wider chart the labels count records.
    surface_.clear();
    chart_.setMaxX(1300);
    names = QStringList{"Tgas", "", "", "", ""};
    chart_.DrawSQLTrend(Select(), names, false);
    EXPECT_EQ(TimeLabels(), QStringList({" 0 ", " 600 ", " 1200 "}));
    EXPECT_EQ(Curve(kWhite).size(), 999u);  // then the records run out, quietly
    EXPECT_TRUE(messages_.shown.isEmpty());
}

TEST_F(SqlChart, RunningOutOfRecordsEndsQuietly) {
    Insert(50);
    QStringList names{"Tgas", "O2", "O2", "", ""};
    chart_.setToRight(true);  // not used here: curves always run from the right
    chart_.DrawSQLTrend(Select(), names, true);
    EXPECT_TRUE(messages_.shown.isEmpty());
    const auto tgas = Curve(kWhite);
    ASSERT_EQ(tgas.size(), 49u);
    EXPECT_LT(tgas.front().x2, tgas.front().x1);
    EXPECT_EQ(tgas.back().y2, HeightOf(49));
    EXPECT_TRUE(Curve(kYellow).empty());
    EXPECT_FALSE(Printed("O2"));
    EXPECT_TRUE(surface_.fontBold());  // the drawing stopped before bold went off
    // The percent axis was still drawn, and the legend moved for it.
    EXPECT_TRUE(std::any_of(surface_.prints().begin(), surface_.prints().end(),
                            [](const auto& p) { return p.x == 4810 && p.text == " 100 "; }));
    EXPECT_EQ(surface_.prints().back().x, 5200);

    // An empty result stops right after the first legend name.
    surface_.clear();
    names = QStringList{"", "T-gas", "O2", "", ""};
    chart_.DrawSQLTrend(Select(QStringLiteral("WHERE id < 0")), names, false);
    EXPECT_TRUE(messages_.shown.isEmpty());
    ASSERT_FALSE(surface_.prints().empty());
    EXPECT_EQ(surface_.prints().back().text, "T-gas");
    EXPECT_EQ(surface_.prints().back().y, 200);
    EXPECT_EQ(names.at(1), "Tgas");
    EXPECT_EQ(names.at(2), "O2");
    EXPECT_TRUE(Curve(kYellow).empty());
}

TEST_F(SqlChart, OtherFailuresAreReportedWithDescriptionAndNumber) {
    Insert(20);
    chart_.setMaxX(20);  // 17 segments from records 0 to 17
    QStringList names{"Tgas", "Pressure", "O2", "", ""};
    chart_.DrawSQLTrend(Select(), names, false);
    ASSERT_EQ(messages_.shown.size(), 1);
    EXPECT_EQ(messages_.shown.at(0), "Error: cDrawSQLTrend Item not found in this collection.3265");
    EXPECT_EQ(Curve(kWhite).size(), 17u);  // series 0 was drawn before the failure
    EXPECT_TRUE(Curve(kRed).empty());

    // Numeric texts count as numbers; other texts and NULL do not.
    messages_.shown.clear();
    names = QStringList{"Tw", "", "", "", ""};
    chart_.DrawSQLTrend(Select(QStringLiteral("WHERE id <> 5")), names, false);
    EXPECT_TRUE(messages_.shown.isEmpty());
    names = QStringList{"Tw", "", "", "", ""};
    chart_.DrawSQLTrend(Select(), names, false);
    EXPECT_EQ(messages_.shown.value(0), "Error: cDrawSQLTrend Type mismatch13");
    QSqlQuery(db_).exec(QStringLiteral("UPDATE meas SET O2 = NULL WHERE id = 3"));
    names = QStringList{"O2", "", "", "", ""};
    chart_.DrawSQLTrend(Select(), names, false);
    EXPECT_EQ(messages_.shown.value(1), "Error: cDrawSQLTrend Invalid use of Null94");

    // A percent axis whose step divides by zero.
    names = QStringList{"Tgas", "", "", "", ""};
    chart_.setMaxY(40);
    chart_.setMinY(40);
    chart_.DrawSQLTrend(Select(), names, true);
    EXPECT_EQ(messages_.shown.value(2), "Error: cDrawSQLTrend Division by zero11");
    chart_.setMinY(0);

    // A name list shorter than five entries.
    names = QStringList{"Tgas"};
    chart_.DrawSQLTrend(Select(), names, false);
    EXPECT_EQ(messages_.shown.value(3), "Error: cDrawSQLTrend Subscript out of range9");
    EXPECT_EQ(messages_.shown.size(), 4);
}

TEST_F(SqlChart, RecordSetPositions) {
    Insert(2);
    SqlRecordSet& rs = Select();
    EXPECT_EQ(rs.Fields(QStringLiteral("tgas")).toInt(), 0);  // names as SQL knows them
    rs.MoveNext();
    EXPECT_EQ(rs.Fields(QStringLiteral("Tgas")).toInt(), 1);
    rs.MoveNext();
    EXPECT_TRUE(rs.EndOfFile());
    auto numberOf = [](auto&& f) {
        try {
            f();
        } catch (const RecordSetError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf([&] { rs.Fields(QStringLiteral("Tgas")); }), 3021);
    EXPECT_EQ(numberOf([&] { rs.MoveNext(); }), 3021);
    EXPECT_EQ(numberOf([&] { rs.Fields(QStringLiteral("nope")); }), 3265);
    rs.MoveFirst();
    EXPECT_EQ(rs.Fields(QStringLiteral("O2")).toInt(), 0);

    SqlRecordSet& empty = Select(QStringLiteral("WHERE id > 99"));
    EXPECT_EQ(numberOf([&] { empty.MoveFirst(); }), 3021);
    EXPECT_EQ(numberOf([&] { empty.Fields(QStringLiteral("Tgas")); }), 3021);
}
