#pragma once
// "Apply changes" as a safe write: the fields of a loop's parameter block that
// the loop's status record also reports, named as the editor shows them; the
// controller's values taken from a status record; the check of a send against
// the values before and after it; and which editor values differ from the
// controller's (the marks).
//
// The scales are written but never reported back, so they are neither shown
// in the diff nor verified. AutoSetPoint is not a value the editor shows.

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

// The check of one send: one row per reported field with what the send
// carries. The record's setpoint is the one the loop works with: it takes a
// written setpoint only at the loop's next cycle (up to h later) and follows
// the remote input when that is on, so the check made after the write
// (readBack) leaves it out.
WriteCheck MakePidWriteCheck(const PidSettings& toSend, bool readBack = false);
void SetPidDeviceValues(WriteCheck& check, const PidSettings& device);
void SetPidReadBack(WriteCheck& check, const PidSettings& device);

// For each field the editor holds differently from the controller, the
// controller's value; nothing anywhere when the controller was never read.
PidFieldMarks PidEditorMarks(const PidEditorValues& v, const std::optional<PidSettings>& device);

// Saves the controller's values of loop `name` as a *.PID file at
// BackupPath(dataDir, name, "PID", when), the folder made when missing,
// under the loop's name so that "Load settings" takes it back into that loop.
struct PidBackup {
    QString path;
    std::optional<QString> error;  // the failure's description
};
PidBackup SavePidBackup(const QString& dataDir, const QString& name, const PidSettings& device,
                        const QDateTime& when);

// Texts of the PID send's checks (status line and message log).
namespace PidSafeWriteText {
QString ReadingBefore();  // "Reading the loop's settings from the controller..."
QString ReadingAfter();   // "Reading the loop's settings back from the controller..."
QString DeviceValueTip(const QString& value);  // "In the controller: <value>"
// A message-log line about loop `name`: "PID settings of <name>: <text>".
QString LogLine(const QString& name, const QString& text);
}  // namespace PidSafeWriteText

}  // namespace tuvik
