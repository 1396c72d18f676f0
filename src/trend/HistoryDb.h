#pragma once
// The history database: one row per second per loop (mean, minimum and
// maximum of each live value over that second, the loop's mode and the
// controller's alarm), per-minute and per-hour rollups of the same, the
// events worth marking (sends, step tests, alarms, reconnects) and the
// burner's measurement rows. SQLite through Qt SQL, in WAL mode; the schema
// version is the database's user_version.
//
// A HistoryDb is one connection and must be used on the thread that opened
// it. Every call returns an empty text on success and the reason otherwise.

#include <QSqlDatabase>
#include <QString>

#include <array>
#include <vector>

namespace tuvik {

// The live values kept, in column order: the loop's Measurement, Setpoint,
// ControllerOut and y_fw; the column stems used in the tables.
inline constexpr int kHistoryValues = 4;
inline constexpr std::array<const char*, kHistoryValues> kHistoryStems = {"meas", "sp", "out",
                                                                          "fw"};

// One loop's second: running sums over the samples that arrived in it.
struct HistorySecond {
    qint64 t = 0;  // UTC seconds since 1970
    int loop = 0;
    int n = 0;
    std::array<double, kHistoryValues> sum{};
    std::array<float, kHistoryValues> min{};
    std::array<float, kHistoryValues> max{};
    int mode = 0;
    int alarm = 0;

    void Add(const std::array<float, kHistoryValues>& v);
    // The mean as it is stored: the double sum over the second divided by
    // the count, as a REAL.
    double Mean(int value) const { return sum[value] / n; }
};

struct HistoryEvent {
    qint64 t = 0;
    int loop = -1;  // -1: not about one loop
    QString kind;   // "send", "steptest", "alarm", "reconnect", "loop"
    QString text;
};

struct HistoryBurnerRow {
    qint64 t = 0;
    QString row;
};

struct HistoryBatch {
    std::vector<HistorySecond> seconds;
    std::vector<HistoryEvent> events;
    std::vector<HistoryBurnerRow> burner;
    bool empty() const { return seconds.empty() && events.empty() && burner.empty(); }
};

class HistoryDb {
  public:
    static constexpr int kSchemaVersion = 1;
    // How long a statement waits for a lock another connection holds.
    static constexpr int kBusyTimeoutMs = 250;

    // The connection gets this name (unique per thread and use).
    explicit HistoryDb(QString connectionName);
    ~HistoryDb();
    HistoryDb(const HistoryDb&) = delete;
    HistoryDb& operator=(const HistoryDb&) = delete;

    // Opens the file, creating it and its tables when new. A database of a
    // newer schema, or one that is not a database, is refused.
    QString Open(const QString& path);
    // For a window that only draws (the tables must exist): read-only, also
    // a file another program has open for writing; nothing is written to it.
    QString OpenForReading(const QString& path);
    void Close();
    bool isOpen() const;
    QSqlDatabase database() const;
    // The file last opened.
    const QString& path() const { return path_; }

    // The batch in one transaction, the rollups updated with it.
    QString Write(const HistoryBatch& batch);
    // Deletes at most `limit` rows older than `before` (UTC seconds) from
    // each table in one transaction, a minute or hour row only when all of
    // its span lies before `before`; *deleted gets how many went.
    QString Prune(qint64 before, int limit, int* deleted);

    // The rollup tiers: table name and seconds per row.
    struct Tier {
        const char* table;
        int seconds;
    };
    static constexpr std::array<Tier, 3> kTiers = {{{"sec", 1}, {"min1", 60}, {"hour1", 3600}}};

  private:
    QString OpenFile(const QString& path, bool readOnly);
    QString Fail(const QString& what, const QString& error);

    QString name_;
    QString path_;
};

}  // namespace tuvik
