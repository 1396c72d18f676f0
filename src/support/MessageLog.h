#pragma once
// The message log: burner activity reports and the program's own notes,
// shown newest first, and appended one line each to a daily
// semicolon-separated file together with the burner's live readings.

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>

#include "support/Clock.h"

namespace tuvik {

// The burner's four readings that go with every line, as its window shows
// them; empty until the burner has sent them.
struct LogReadings {
    QString tgas;    // flue gas temperature
    QString twater;  // water temperature
    QString irSig;   // flame signal
    QString vfd;     // fan drive
};

class MessageLog : public QObject {
    Q_OBJECT
  public:
    // When the screen text grows beyond the limit, its newest part is kept.
    static constexpr qsizetype kLogTextLimit = 100000;
    static constexpr qsizetype kLogTextKeep = 90000;
    static const QString kHeader;

    // Daily files go into the given folder, which is created when missing.
    explicit MessageLog(const QString& folder, QObject* parent = nullptr);
    // Lines that could not be written yet get one more try.
    ~MessageLog() override;

    // Tests move it somewhere unwritable to make the next write fail.
    void setFolder(const QString& folder) { folder_ = folder; }
    // The program's own notes and the day's file go by the clock's system
    // time, the device's events by its wall time (a replay's recorded time).
    // Not owned; the system's clock until set.
    void setClock(const Clock& clock) { clock_ = &clock; }
    void setLocale(const QLocale& locale) { locale_ = locale; }
    // The readings the next lines carry.
    void setReadings(const LogReadings& readings) { readings_ = readings; }
    const LogReadings& readings() const { return readings_; }

    // A note in words (a write, a backup, a lost link): shown on top of the
    // screen text and appended to today's file before returning, the text in
    // the Device column and the next three left empty. A line that cannot be
    // written stays pending and goes out with the next successful write.
    void AddMessage(const QString& inputStr);
    // An actuator's report: its four columns (actuator, started or stopped,
    // clock, program state), shown on the screen joined by ";" as they come.
    // While held, device events are shown on the screen but not written to
    // the day's file: a replayed recording's events did not happen today.
    void setHoldDeviceEventsFromFile(bool on) { holdDeviceEvents_ = on; }
    void AddActuatorEvent(const QString& device, const QString& activity, const QString& clock,
                          const QString& state);

    // Everything on the screen, newest line first, lines ending in CR LF.
    const QString& logText() const { return logText_; }
    // Empties the screen text; the files keep their lines.
    void Clear();

    // Lines not yet on disk.
    // Seam: tests see lines kept back from a file that cannot be written, which nothing shows.
    qsizetype pendingCount() const { return pending_.size(); }

    // Appends the pending lines to today's file, writing the header first
    // when the file is new or shorter than 2 bytes. True when all of them
    // are on disk. The first failure after a success is reported through
    // userNotice; further failures stay quiet until a write succeeds again.
    bool saveLogData();
    // The final write when the log window goes for good: also creates
    // today's file with its header when there is nothing to write.
    bool Unload() { return saveLogData(); }

    QString DailyFilePath(const QDate& day) const;
    // Date and time as they appear in both the screen and the file lines.
    QString DateText(const QDate& date) const;
    QString LogTimeOfDay(const QTime& time) const;

  signals:
    void logTextChanged(const QString& text);
    void userNotice(const QString& text);

  private:
    QDateTime Now() const { return clock_->SystemNow(); }
    // The screen line and the file line at `now`; columns are the file's
    // columns 3 to 6.
    void Add(const QString& screenText, const QStringList& columns, bool toFile,
             const QDateTime& now);

    QString folder_;
    const Clock* clock_ = &Clock::System();
    QLocale locale_;
    LogReadings readings_;
    QString logText_;
    QStringList pending_;
    bool failureReported_ = false;
    bool holdDeviceEvents_ = false;
};

}  // namespace tuvik
