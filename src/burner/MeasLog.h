#pragma once
// The burner window's measurement log: every measurement reply makes one row
// of fixed-width fields (told through rowStored, for the history); while
// "Save measurements to file" is checked and the file is not held, the rows
// are appended to the day's text file in batches of 182.
//
// No row is lost quietly: the rows still buffered are written when logging is
// switched off, when the window closes (Flush) and when the log goes away.
// Rows that could not be written wait for the next attempt, up to a bound
// (pendingLimit, the newest rows are kept), and the user is told once per run
// of failures.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <deque>
#include <functional>

#include "burner/BurnerMeasurements.h"
#include "support/Clock.h"

namespace tuvik {

class MeasLog : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRows = 201;
    static constexpr int kColumns = 11;
    static constexpr int kFieldWidth = 10;
    static constexpr int kZoneWidth = 14;
    // Rows 0..181 make one batch.
    static constexpr int kBatchRows = 182;
    // About an hour of rows at two replies a second.
    static constexpr int kDefaultPendingLimit = 7200;

    using Row = std::array<QString, kColumns>;

    // Files go into the given folder (the daily-files folder), created when missing.
    explicit MeasLog(const QString& folder, QObject* parent = nullptr);
    // Rows not yet on disk get one more try.
    ~MeasLog() override;

    // Tests move the folder somewhere unwritable and lower the bound on the
    // rows kept for the next attempt.
    void setFolder(const QString& folder) { folder_ = folder; }
    // Rows are stamped with the clock's wall time (a replay's recorded time
    // while one plays); the machine's own time names and dates the files.
    void setClock(const Clock& clock) { clock_ = &clock; }
    void setPendingLimit(int rows) { pendingLimit_ = rows > 0 ? rows : 1; }

    // The check box: switching logging off writes the rows buffered so far.
    void setSaving(bool on);

    // While held (a replay: its rows did not happen today), rows go to
    // rowStored only; holding writes the rows buffered so far first.
    void setHeld(bool on);
    bool held() const { return held_; }

    // One measurement reply: a row of the readings' texts (columns 1 to 9,
    // see ReadingTexts) at `now`, told through rowStored, and stored for the
    // file when logging is on and not held; the 182nd row of a batch sends
    // the batch to the file.
    void MeasuresUpdated(const BurnerReadingTexts& readings);

    // Appends the buffered rows, and any left from a failed attempt, to the
    // file of the day of writing. True when every row is on disk. Nothing is
    // written while the computer's year is 2000 or earlier (a clock that was
    // never set); the rows wait.
    bool SaveMeasToFile();
    // For the window's close and the end of the program.
    bool Flush() { return SaveMeasToFile(); }

    // The next row of the buffer, 0..181.
    // Seam: tests see rows taken before the file is written, every 182 rows.
    int measPlace() const { return measPlace_; }
    // Rows waiting for a write that failed, and rows dropped past the bound.
    // Seam: tests read the kept and dropped rows, which the operator sees only as a log line.
    qsizetype pendingCount() const { return static_cast<qsizetype>(pending_.size()); }
    qint64 droppedRows() const { return dropped_; }

    QString FilePath(const QDate& day) const;
    // A text left-aligned in exactly 10 characters, padded with blanks or cut.
    static QString Field(const QString& text);
    // The file's lines, without their CR LF.
    static QString HeaderLine();
    static QString DataLine(const Row& row);

  signals:
    void userNotice(const QString& text);
    // A row has been stored for the file (the line it will be, without CR LF).
    void rowStored(const QString& line);

  private:
    void MoveToPending(int count);
    void ReportFailure(const QString& text);

    QString folder_;
    const Clock* clock_ = &Clock::System();
    std::array<Row, kRows> rows_;
    int measPlace_ = 0;
    bool saving_ = false;
    bool held_ = false;
    std::deque<QByteArray> pending_;  // formatted lines, oldest first
    int pendingLimit_ = kDefaultPendingLimit;
    qint64 dropped_ = 0;
    bool failureReported_ = false;
};

}  // namespace tuvik
