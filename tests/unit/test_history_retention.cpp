// Lowering the history's retention asks first, naming the day from which
// the history goes; a retention that removes nothing asks nothing.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

#include "trend/HistoryDb.h"
#include "trend/HistoryRetention.h"

using namespace tuvik;

TEST(HistoryRetentionTest, AsksOnlyWhenARowWouldGoAndSaysFromWhichDay) {
    // Noon UTC: the same day in the test machine's zone.
    const qint64 now = QDateTime(QDate(2026, 12, 8), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 day = 86400;
    const struct {
        const char* name;
        HistoryBatch stored;
        int days;
        const char* question;  // none when null
    } cases[] = {
        {"empty", {}, 1, nullptr},
        {"a second of loop 2, 40 days old", {{{now - 40 * day, 2, 1}}, {}, {}}, 30,
         "Remove the history older than 30 days (before 8 Nov 2026)?"},
        {"the same, kept by 40 days", {{{now - 40 * day, 2, 1}}, {}, {}}, 40, nullptr},
        {"an event 50 days old", {{{now, 0, 1}}, {{now - 50 * day, -1, "alarm", "on"}}, {}}, 45,
         "Remove the history older than 45 days (before 24 Oct 2026)?"},
        {"a burner row", {{}, {}, {{now - day - 1, "row"}}}, 1,
         "Remove the history older than 1 day (before 7 Dec 2026)?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        HistoryDb db(QStringLiteral("retention"));
        ASSERT_EQ(db.Open(dir.filePath(QStringLiteral("h.sqlite"))), QString());
        ASSERT_EQ(db.Write(c.stored), QString());
        const std::optional<QString> q = RetentionQuestion(c.days, HistoryOldestEnd(db.database()), now);
        EXPECT_EQ(q.value_or(QString()), QString::fromLatin1(c.question ? c.question : ""));
    }
}
