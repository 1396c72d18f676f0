#pragma once
// A step test of one loop as recorded: the manual output stepped from one
// value to another and the loop's live values around it. Saved and loaded
// as a small CSV file so that the analysis can be redone offline.

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace tuvik {

// t: seconds from the step; t < 0 = baseline before it.
struct StepSample {
    double t = 0;
    double output = 0;
    double measurement = 0;
};

struct StepRecord {
    int loop = 0;  // 0-based loop index
    QString loopName;
    QDateTime started;                // wall-clock moment of the step
    double outputBefore = 0;          // manual output before the step
    double outputAfter = 0;           // manual output after the step
    std::vector<StepSample> samples;  // in time order
};

// The most samples a file may hold (a few hours at the fastest live rate).
inline constexpr int kMaxStepSamples = 1000000;

// The largest file that can hold that many samples (a row of three numbers
// is at most 80 bytes) with its header; a larger one is refused unread.
inline constexpr qint64 kMaxStepFileBytes = qint64{kMaxStepSamples} * 80 + 4096;

// Header lines (the start in UTC), then "t;output;measurement" rows; "." as the decimal point
// whatever the locale.
QString StepRecordToCsv(const StepRecord& r);
// Reads what StepRecordToCsv wrote; refuses a malformed file with a reason.
std::optional<StepRecord> StepRecordFromCsv(const QString& text, QString* error);
// The same from a file, its size checked before it is read.
std::optional<StepRecord> ReadStepRecordFile(const QString& path, QString* error);
// Writes StepRecordToCsv into a file; the failure's description when it could not.
std::optional<QString> WriteStepRecordFile(const QString& path, const StepRecord& r);

}  // namespace tuvik
