#include "trend/HistoryDb.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <set>
#include <utility>

namespace tuvik {

void HistorySecond::Add(const std::array<float, kHistoryValues>& v) {
    for (int i = 0; i < kHistoryValues; ++i) {
        sum[i] += v[i];
        min[i] = n == 0 ? v[i] : std::min(min[i], v[i]);
        max[i] = n == 0 ? v[i] : std::max(max[i], v[i]);
    }
    ++n;
}

namespace {

QString ValueColumns(const char* first) {
    QStringList cols;
    for (const char* stem : kHistoryStems) {
        for (const char* part : {first, "min", "max"}) {
            cols << QStringLiteral("%1_%2 REAL").arg(QLatin1String(stem), QLatin1String(part));
        }
    }
    return cols.join(QStringLiteral(", "));
}

QStringList SchemaStatements() {
    QStringList s;
    s << QStringLiteral(
             "CREATE TABLE IF NOT EXISTS sec (loop INTEGER NOT NULL, t INTEGER NOT "
             "NULL, %1, mode INTEGER, alarm INTEGER, PRIMARY KEY (loop, t)) WITHOUT "
             "ROWID")
             .arg(ValueColumns("avg"));
    for (const char* table : {"min1", "hour1"}) {
        s << QStringLiteral(
                 "CREATE TABLE IF NOT EXISTS %1 (loop INTEGER NOT NULL, t INTEGER NOT "
                 "NULL, n INTEGER NOT NULL, %2, PRIMARY KEY (loop, t)) WITHOUT ROWID")
                 .arg(QLatin1String(table), ValueColumns("sum"));
    }
    s << QStringLiteral(
             "CREATE TABLE IF NOT EXISTS events (t INTEGER NOT NULL, loop INTEGER NOT "
             "NULL, kind TEXT NOT NULL, text TEXT NOT NULL)")
      << QStringLiteral("CREATE INDEX IF NOT EXISTS events_t ON events (t)")
      << QStringLiteral("CREATE TABLE IF NOT EXISTS burner (t INTEGER NOT NULL, row TEXT NOT NULL)")
      << QStringLiteral("CREATE INDEX IF NOT EXISTS burner_t ON burner (t)");
    return s;
}

// The upsert that folds one second into a rollup row.
QString RollupUpsert(const char* table) {
    QStringList names{QStringLiteral("loop"), QStringLiteral("t"), QStringLiteral("n")};
    QStringList updates{QStringLiteral("n = n + excluded.n")};
    for (const char* stem : kHistoryStems) {
        const QString st = QLatin1String(stem);
        names << st + QStringLiteral("_sum") << st + QStringLiteral("_min")
              << st + QStringLiteral("_max");
        updates << QStringLiteral("%1_sum = %1_sum + excluded.%1_sum").arg(st)
                << QStringLiteral("%1_min = min(%1_min, excluded.%1_min)").arg(st)
                << QStringLiteral("%1_max = max(%1_max, excluded.%1_max)").arg(st);
    }
    QStringList marks;
    for (qsizetype i = 0; i < names.size(); ++i) {
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (loop, t) DO UPDATE SET %4")
        .arg(QLatin1String(table), names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')),
             updates.join(QStringLiteral(", ")));
}

QString SecondInsert() {
    QStringList marks;
    for (int i = 0; i < 2 + 3 * kHistoryValues + 2; ++i) {
        marks << QStringLiteral("?");
    }
    // A second already stored (the clock went back) keeps its first row.
    return QStringLiteral("INSERT OR IGNORE INTO sec VALUES (%1)")
        .arg(marks.join(QLatin1Char(',')));
}

}  // namespace

HistoryDb::HistoryDb(QString connectionName) : name_(std::move(connectionName)) {}

HistoryDb::~HistoryDb() {
    Close();
}

QSqlDatabase HistoryDb::database() const {
    return QSqlDatabase::database(name_, false);
}

bool HistoryDb::isOpen() const {
    return QSqlDatabase::contains(name_) && database().isOpen();
}

void HistoryDb::Close() {
    if (!QSqlDatabase::contains(name_)) {
        return;
    }
    {
        QSqlDatabase db = database();
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QString HistoryDb::Fail(const QString& what, const QString& error) {
    Close();
    return QStringLiteral("History stopped: %1: %2 (%3).").arg(path_, what, error);
}

QString HistoryDb::Open(const QString& path) {
    return OpenFile(path, false);
}

QString HistoryDb::OpenForReading(const QString& path) {
    return OpenFile(path, true);
}

QString HistoryDb::OpenFile(const QString& path, bool readOnly) {
    Close();
    path_ = path;
    if (readOnly && !QFileInfo::exists(path)) {
        return QStringLiteral("No history yet: %1 does not exist.").arg(path);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        if (readOnly) {
            // By URI with mode=ro: SQLite itself refuses every write.
            QUrl uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
            uri.setQuery(QStringLiteral("mode=ro"));
            db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        } else {
            db.setDatabaseName(path);
        }
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                .arg(kBusyTimeoutMs)
                .arg(readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI")
                              : QString()));
        if (!db.open()) {
            return Fail(QStringLiteral("cannot open"), db.lastError().text());
        }
    }
    QSqlQuery q(database());
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        return Fail(QStringLiteral("not a history database"), q.lastError().text());
    }
    const int version = q.value(0).toInt();
    if (version > kSchemaVersion) {
        Close();
        return QStringLiteral(
                   "History stopped: %1 was written by a newer version of the program (history "
                   "format %2; this version knows format %3 and older).")
            .arg(path_)
            .arg(version)
            .arg(kSchemaVersion);
    }
    if (readOnly) {
        return {};
    }
    // WAL with NORMAL sync: a commit is on disk when the program is killed;
    // only a power loss may take the last commits.
    // The page cache at a fixed 2 MiB whatever the library was built with, so
    // that an always-on writer's memory stays put.
    if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
        !q.exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        !q.exec(QStringLiteral("PRAGMA cache_size=-2048"))) {
        return Fail(QStringLiteral("cannot set up the journal"), q.lastError().text());
    }
    QSqlDatabase db = database();
    if (!db.transaction()) {
        return Fail(QStringLiteral("cannot write"), db.lastError().text());
    }
    for (const QString& statement : SchemaStatements()) {
        if (!q.exec(statement)) {
            const QString error = q.lastError().text();
            db.rollback();
            return Fail(QStringLiteral("cannot create the tables"), error);
        }
    }
    if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)) || !db.commit()) {
        const QString error = q.lastError().text() + db.lastError().text();
        db.rollback();
        return Fail(QStringLiteral("cannot write"), error);
    }
    return {};
}

QString HistoryDb::Write(const HistoryBatch& batch) {
    if (!isOpen()) {
        return QStringLiteral("History stopped: no database open.");
    }
    QSqlDatabase db = database();
    if (!db.transaction()) {
        return Fail(QStringLiteral("cannot write"), db.lastError().text());
    }
    QSqlQuery sec(db);
    QSqlQuery minute(db);
    QSqlQuery hour(db);
    QSqlQuery event(db);
    QSqlQuery burner(db);
    bool ok = sec.prepare(SecondInsert()) && minute.prepare(RollupUpsert("min1")) &&
              hour.prepare(RollupUpsert("hour1")) &&
              event.prepare(QStringLiteral("INSERT INTO events VALUES (?, ?, ?, ?)")) &&
              burner.prepare(QStringLiteral("INSERT INTO burner VALUES (?, ?)"));
    QSqlQuery* failed = ok ? nullptr : &sec;
    for (size_t i = 0; ok && i < batch.seconds.size(); ++i) {
        const HistorySecond& s = batch.seconds[i];
        int c = 0;
        sec.bindValue(c++, s.loop);
        sec.bindValue(c++, s.t);
        for (int v = 0; v < kHistoryValues; ++v) {
            sec.bindValue(c++, s.Mean(v));
            sec.bindValue(c++, static_cast<double>(s.min[v]));
            sec.bindValue(c++, static_cast<double>(s.max[v]));
        }
        sec.bindValue(c++, s.mode);
        sec.bindValue(c++, s.alarm);
        if (!sec.exec()) {
            ok = false;
            failed = &sec;
            break;
        }
        if (sec.numRowsAffected() == 0) {
            continue;  // a repeated second is not counted twice in the rollups
        }
        for (auto [q, width] : {std::pair{&minute, 60}, std::pair{&hour, 3600}}) {
            int k = 0;
            q->bindValue(k++, s.loop);
            q->bindValue(k++, s.t - (s.t % width + width) % width);
            q->bindValue(k++, 1);
            for (int v = 0; v < kHistoryValues; ++v) {
                q->bindValue(k++, s.Mean(v));
                q->bindValue(k++, static_cast<double>(s.min[v]));
                q->bindValue(k++, static_cast<double>(s.max[v]));
            }
            if (!q->exec()) {
                ok = false;
                failed = q;
                break;
            }
        }
    }
    for (size_t i = 0; ok && i < batch.events.size(); ++i) {
        const HistoryEvent& e = batch.events[i];
        event.bindValue(0, e.t);
        event.bindValue(1, e.loop);
        event.bindValue(2, e.kind);
        event.bindValue(3, e.text);
        ok = event.exec();
        failed = &event;
    }
    for (size_t i = 0; ok && i < batch.burner.size(); ++i) {
        burner.bindValue(0, batch.burner[i].t);
        burner.bindValue(1, batch.burner[i].row);
        ok = burner.exec();
        failed = &burner;
    }
    if (!ok) {
        const QString error = failed->lastError().text();
        db.rollback();
        return Fail(QStringLiteral("cannot write"), error);
    }
    if (!db.commit()) {
        const QString error = db.lastError().text();
        db.rollback();
        return Fail(QStringLiteral("cannot write"), error);
    }
    return {};
}

QString HistoryDb::Prune(qint64 before, int limit, int* deleted) {
    *deleted = 0;
    if (!isOpen()) {
        return QStringLiteral("History stopped: no database open.");
    }
    QSqlDatabase db = database();
    if (!db.transaction()) {
        return Fail(QStringLiteral("cannot delete old rows"), db.lastError().text());
    }
    QSqlQuery q(db);
    // The tiers are keyed (loop, t): one range per loop finds the old rows
    // without a scan. The loops come from every tier (a loop's hours may be
    // gone while its seconds are not), each found by a seek past the last.
    std::set<int> loops;
    for (const Tier& tier : kTiers) {
        const QString table = QLatin1String(tier.table);
        if (q.exec(QStringLiteral("WITH RECURSIVE l(loop) AS (SELECT MIN(loop) FROM %1 UNION ALL "
                                  "SELECT (SELECT MIN(loop) FROM %1 WHERE loop > l.loop) FROM l "
                                  "WHERE l.loop IS NOT NULL) SELECT loop FROM l WHERE loop IS "
                                  "NOT NULL")
                       .arg(table))) {
            while (q.next()) {
                loops.insert(q.value(0).toInt());
            }
        }
    }
    // A minute or an hour goes only once the whole of it is past: its
    // seconds go one by one, and a long view reads the rollup until the
    // last of them has gone.
    std::vector<std::pair<QString, qint64>> statements;
    for (int loop : loops) {
        for (const Tier& tier : kTiers) {
            statements.emplace_back(
                QStringLiteral("DELETE FROM %1 WHERE (loop, t) IN (SELECT loop, "
                               "t FROM %1 WHERE loop = %2 AND t < :before "
                               "LIMIT :limit)")
                    .arg(QLatin1String(tier.table))
                    .arg(loop),
                before - tier.seconds + 1);
        }
    }
    for (const char* table : {"events", "burner"}) {
        statements.emplace_back(QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT rowid FROM "
                                               "%1 WHERE t < :before LIMIT :limit)")
                                    .arg(QLatin1String(table)),
                                before);
    }
    for (const auto& [statement, cutoff] : statements) {
        q.prepare(statement);
        q.bindValue(QStringLiteral(":before"), cutoff);
        q.bindValue(QStringLiteral(":limit"), limit);
        if (!q.exec()) {
            const QString error = q.lastError().text();
            db.rollback();
            return Fail(QStringLiteral("cannot delete old rows"), error);
        }
        *deleted += std::max(0, q.numRowsAffected());
    }
    if (!db.commit()) {
        const QString error = db.lastError().text();
        db.rollback();
        return Fail(QStringLiteral("cannot delete old rows"), error);
    }
    return {};
}

}  // namespace tuvik
