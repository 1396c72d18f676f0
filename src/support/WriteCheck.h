#pragma once
// Safe writes: what a block write is about to change in the device, and
// whether the device holds what was sent afterwards. A WriteCheck is filled
// with the fields of one write (name and the value it carries), then with the
// values read from the device just before the write and, after the write,
// with the values read back. It decides nothing about the wire: the write
// paths read and write as they always have and hand it the values.
//
// Values are compared as numbers when both texts are numbers, at single
// precision (the controller stores singles, so "0.1" typed equals the 0.1
// the controller returns); otherwise as texts.

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tuvik {

bool SameDeviceValue(const QString& a, const QString& b);

struct WriteField {
    QString name;
    QString toWrite;                  // what the write carries
    std::optional<QString> device;    // read just before the write
    std::optional<QString> readBack;  // read again after the write
    // False for a field the device never reports: it is written, shown in
    // the diff without a device value and named as not read back, but it
    // never counts as read or as verified.
    bool readable = true;
};

class WriteCheck {
  public:
    struct Difference {
        QString name;
        QString sent;
        std::optional<QString> now;  // empty: the device did not answer
    };

    void Add(const QString& name, const QString& toWrite, bool readable = true);
    int size() const { return static_cast<int>(fields_.size()); }
    bool empty() const { return fields_.empty(); }
    const std::vector<WriteField>& fields() const { return fields_; }
    int IndexOf(const QString& name) const;

    void SetDevice(int i, const QString& value);
    void SetReadBack(int i, const QString& value);

    // Every readable field was read from the device before the write.
    bool DeviceRead() const;
    // Read, and the write changes it.
    bool Changed(int i) const;
    // Read as a non-zero number, and the write makes it 0.
    bool Zeroed(int i) const;
    int ChangedCount() const;

    // The table shown with the confirmation: one line per field, name, value
    // in the device now, value to be written; changed lines marked "*",
    // values going to 0 flagged. When the device did not answer, a line
    // saying so comes first and the device column shows "?".
    QString DiffText() const;

    // After the read-back: the readable fields whose value in the device is
    // not the one sent, or that did not answer the read-back.
    std::vector<Difference> Differences() const;
    // Every readable field was read back as sent (and there is one at least).
    bool Verified() const;
    // The fields the device never reports, by name.
    QStringList NotReadable() const;
    // One line per difference: name, sent, now in the device.
    QString DifferencesText() const;
    // The verdict after an agreeing read-back: the verified line, then one
    // "<name>: not read back" line per field the device does not report.
    QString VerifiedText() const;

  private:
    std::vector<WriteField> fields_;
};

// Message texts of the safe-write paths.
namespace SafeWriteText {
// First line of the diff table when the device did not answer in time.
QString NotRead();
// Appended to a success message when the read-back agreed.
QString Verified();
// "<name>: not read back": a field that was written but cannot be compared.
QString NotReadBack(const QString& name);
// The question before a write whose device values could not be read.
QString WriteWithoutBackup();
// The warning after a read-back that disagreed (title and first line).
QString MismatchTitle();
QString Mismatch(const QString& differences);
// "Backup of the device's values: <path>" and its failure.
QString BackupSaved(const QString& path);
QString BackupFailed(const QString& reason);
// The message-log line of a single-parameter write: the value before it (as
// read), the value sent, and the value read back when it was.
QString SingleWriteLog(int address, const std::optional<QString>& before, const QString& sent,
                       const std::optional<QString>& now);
}  // namespace SafeWriteText

// The tint of a value that differs from the device's, in every window.
QColor EditedMarkColour();

// Makes the folder a backup goes into; the reason when it cannot be made.
std::optional<QString> MakeBackupFolder(const QString& backupPath);

// <dataDir>/backups/<yyyy-MM-dd_HH-mm-ss>_<what>.<ext>; `what` names the
// loop or the window, with anything but letters, digits, '-' and '_' made '_'.
QString BackupPath(const QString& dataDir, const QString& what, const QString& ext,
                   const QDateTime& when);

}  // namespace tuvik
