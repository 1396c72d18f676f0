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
        HistoryBatch stored;
        int days;
        const char* question;  // after "Remove the history older than "; none when empty
    } cases[] = {
        {{}, 1, ""},
        {{{{now - 40 * day, 2, 1}}, {}, {}}, 30, "30 days (before 8 Nov 2026)?"},
        {{{{now - 40 * day, 2, 1}}, {}, {}}, 40, ""},  // its second ends after the cutoff
        {{{{now, 0, 1}}, {{now - 50 * day, -1, "alarm", "on"}}, {}},
         45,
         "45 days (before 24 Oct 2026)?"},
        {{{}, {}, {{now - day - 1, "burner row"}}}, 1, "1 day (before 7 Dec 2026)?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.question);
        QTemporaryDir dir;
        HistoryDb db(QStringLiteral("retention"));
        ASSERT_EQ(db.Open(dir.filePath(QStringLiteral("h.sqlite"))), QString());
        ASSERT_EQ(db.Write(c.stored), QString());
        const QString q = RetentionQuestion(c.days, HistoryOldestEnd(db.database()), now)
                              .value_or(QStringLiteral("Remove the history older than "));
        EXPECT_EQ(q, QStringLiteral("Remove the history older than ") + c.question);
    }
}
