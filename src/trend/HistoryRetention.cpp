#include "trend/HistoryRetention.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

#include "trend/HistoryDb.h"

namespace tuvik {

std::optional<qint64> HistoryOldestEnd(const QSqlDatabase& db) {
    std::optional<qint64> oldest;
    const auto take = [&](const QString& sql, int seconds) {
        QSqlQuery q(db);
        if (q.exec(sql) && q.next() && !q.value(0).isNull()) {
            const qint64 end = q.value(0).toLongLong() + seconds;
            oldest = oldest ? std::min(*oldest, end) : end;
        }
    };
    // The tiers are keyed (loop, t): each loop is found and its oldest row
    // read through the key, so a long history is not scanned on the
    // window's thread.
    for (const HistoryDb::Tier& tier : HistoryDb::kTiers) {
        take(QStringLiteral(
                 "WITH RECURSIVE loops(l) AS (SELECT MIN(loop) FROM %1 UNION ALL SELECT "
                 "(SELECT MIN(loop) FROM %1 WHERE loop > l) FROM loops WHERE l IS NOT NULL) "
                 "SELECT MIN((SELECT MIN(t) FROM %1 WHERE loop = l)) FROM loops WHERE l IS NOT "
                 "NULL")
                 .arg(QLatin1String(tier.table)),
             tier.seconds);
    }
    for (const char* table : {"events", "burner"}) {
        take(QStringLiteral("SELECT MIN(t) FROM %1").arg(QLatin1String(table)), 1);
    }
    return oldest;
}

std::optional<QString> RetentionQuestion(int days, std::optional<qint64> oldestEnd, qint64 nowSec) {
    // As the store prunes: rows older than `days` days before now.
    const qint64 before = nowSec - qint64(days) * 86400;
    if (!oldestEnd || *oldestEnd > before) {
        return std::nullopt;
    }
    const QDate date = QDateTime::fromSecsSinceEpoch(before).date();
    return QStringLiteral("Remove the history older than %1 %2 (before %3)?")
        .arg(days)
        .arg(days == 1 ? QStringLiteral("day") : QStringLiteral("days"))
        .arg(QLocale::c().toString(date, QStringLiteral("d MMM yyyy")));
}

std::optional<QString> RetentionQuestionFor(const QString& path, const QString& connection,
                                            int days, qint64 nowSec) {
    HistoryDb db(connection);
    return RetentionQuestion(
        days, db.OpenForReading(path).isEmpty() ? HistoryOldestEnd(db.database()) : std::nullopt,
        nowSec);
}

}  // namespace tuvik
