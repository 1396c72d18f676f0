#pragma once
// The folder of session recordings and what keeps it within the size the
// operator set: the oldest recordings go first, never one marked "keep"
// (a "<file>.keep" file beside it, so the mark travels with a copied folder)
// and never one being written or replayed. File names begin with the local
// start time (yyyyMMdd-HHmmss), so their order is the recordings' order.
//
// A replayed recording's history lives in the folder's "replay-history"
// subfolder, named by the recording (the recording itself may be a
// read-only copy elsewhere), and goes with the recording.

#include <QDateTime>
#include <QList>
#include <QSettings>
#include <QString>
#include <QStringList>

namespace tuvik {

struct RecordingEntry {
    QString path;
    QString name;
    QDateTime start;  // from the name; the file's time when the name has none
    qint64 size = 0;
    bool keep = false;
};

class RecordingFolder {
  public:
    static constexpr int kDefaultLimitMb = 500;

    explicit RecordingFolder(const QString& dir) : dir_(dir) {}
    const QString& dir() const { return dir_; }

    // The recordings in the folder, oldest first.
    QList<RecordingEntry> Entries() const;
    // A new recording's path: start time and the port or relay, made safe
    // for a file name; never an existing file's.
    QString NewPath(const QDateTime& localStart, const QString& endpoint) const;

    static bool IsKept(const QString& path);
    // Marks or unmarks; false when the mark could not be written.
    static bool SetKeep(const QString& path, bool keep);

    // The oldest recordings, skipping kept ones and those in `spared`,
    // whose removal brings the folder to at most limitBytes.
    QList<RecordingEntry> PruneCandidates(qint64 limitBytes, const QStringList& spared = {}) const;
    // Removes them (and their replay histories); returns the paths removed.
    QStringList Prune(qint64 limitBytes, const QStringList& spared = {}) const;
    // "Remove 12 recordings (340 MB)?"
    static QString RemoveQuestion(const QList<RecordingEntry>& going);

    // The history a replay of that recording keeps.
    QString ReplayHistoryPath(const QString& recordingPath) const;

  private:
    QString dir_;
};

// The size limit in MB as the settings store keeps it (group "Settings",
// value "RecordingsLimitMB"); the default when missing or not above 0.
int LoadRecordingLimitMb(QSettings& store);
void SaveRecordingLimitMb(QSettings& store, int mb);

}  // namespace tuvik
