#pragma once
// "Apply changes" as a safe write: the fields of a loop's parameter block,
// named as the editor shows them; the controller's values taken from a status
// record; the check of a send against the values before and after it; and
// which editor values differ from the controller's (the marks).
//
// The scales are written but never reported back: they are in the check as
// fields that cannot be read, named in the verdict, never counted as
// verified. AutoSetPoint is not a value the editor shows, and the seven-byte
// write overwrites it anyway.

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "pid/PidEditorModel.h"
#include "pid/clsPID.h"
#include "support/WriteCheck.h"

namespace tuvik {

namespace PidField {
inline constexpr int Mode = 0;
inline constexpr int Enable = 1;
inline constexpr int RemoteSetpoint = 2;
// Parameter boxes 0..14 follow in box order (Setpoint ... Setpoint port).
inline constexpr int FirstBox = 3;
inline constexpr int kBoxes = PidBox::RemoteSetpointPort + 1;
inline constexpr int Manual = FirstBox + kBoxes;
inline constexpr int Inverted = Manual + 1;
inline constexpr int kCount = Inverted + 1;
}  // namespace PidField

using PidFieldTexts = std::array<QString, PidField::kCount>;
using PidFieldMarks = std::array<std::optional<QString>, PidField::kCount>;

// The field's name in the diff and the messages.
QString PidFieldName(int field);
// The field of a parameter box; -1 for a box the status record does not report.
int PidFieldOfBox(int box);

// Every field as text: numbers exactly (the shortest text of the same
// single) or, not exact, as the editor shows them; the mode as "Automatic"
// or "Manual", flags as 1 or 0.
PidFieldTexts PidSettingsTexts(const PidSettings& s, bool exact = true);
// What the editor holds, field by field; no text for a field it does not show.
PidFieldMarks PidEditorTexts(const PidEditorValues& v);

// The loop settings a status record reports; nothing for a record the loop
// would refuse.
std::optional<PidSettings> PidStatusSettings(std::span<const uint8_t> record);

// The controller reports the loop picked with the select request, which the
// program sends only for the first two entries of the loop selector; for the
// others a status record would describe another loop.
bool PidStatusReportsLoop(int listIndex);

// The check of one send: one row per field with what the send carries. The
// record's setpoint is the one the loop works with: the written one while
// remote setpoint is off, the remote input's while it is on, so it is only
// compared when the send leaves remote setpoint off. The scales follow as
// rows that cannot be read.
WriteCheck MakePidWriteCheck(const PidSettings& toSend);
// The controller's values before the send and after it, for the rows that
// can be read.
void SetPidDeviceValues(WriteCheck& check, const PidSettings& device);
void SetPidReadBack(WriteCheck& check, const PidSettings& device);

// The confirmation's detail: the diff, after a line saying that the
// controller does not report the loop when it does not.
QString PidConfirmDetail(int listIndex, const WriteCheck& check);

// What the status line and the message log say after a read-back.
struct PidReadBackVerdict {
    bool verified = false;
    QString status;   // the verdict's text, then the backup's line when there is one
    QString logLine;  // the verdict (or the differences) on one line
};
PidReadBackVerdict JudgeReadBack(const QString& name, const WriteCheck& check,
                                 const QString& backup);

// For each field the editor holds differently from the controller, the
// controller's value; nothing anywhere when the controller was never read.
PidFieldMarks PidEditorMarks(const PidEditorValues& v, const std::optional<PidSettings>& device);

// Saves the controller's values of the loop at listIndex, named `name`, as a
// *.PID file at BackupPath(dataDir, PidBackupWhat(name, listIndex), "PID",
// when), the folder made when missing. The file holds the loop's name so that
// "Load settings" takes it back; the loop's number is in the file name, since
// two loops may share a name.
struct PidBackup {
    QString path;
    std::optional<QString> error;  // the failure's description
};
PidBackup SavePidBackup(const QString& dataDir, const QString& name, int listIndex,
                        const PidSettings& device, const QDateTime& when);
// "<name> loop <listIndex + 1>"
QString PidBackupWhat(const QString& name, int listIndex);
// The list index of the loop a backup file was made of, from its file name;
// nothing for a file that is no backup.
std::optional<int> PidBackupLoop(const QString& path);

// Texts of the PID send's checks (status line and message log).
namespace PidSafeWriteText {
QString ReadingBefore();  // "Reading the loop's settings from the controller..."
QString ReadingAfter();   // "Reading the loop's settings back from the controller..."
QString DeviceValueTip(const QString& value);  // "In the controller: <value>"
// The controller does not report loops 3 and 4: no backup, no verdict.
QString NotReported();
// The question before a send whose backup could not be written (`failure`
// is the line that says so).
QString WriteWithoutSavedBackup(const QString& failure);
// The question before loading a backup made of another loop.
QString OtherLoopBackup(int backupIndex, int listIndex);
// A message-log line about loop `name`: "PID settings of <name>: <text>".
QString LogLine(const QString& name, const QString& text);
}  // namespace PidSafeWriteText

}  // namespace tuvik
