#pragma once
// *.PID files: one loop's settings as 14 text lines ended by CR LF, in the
// system's single-byte code page:
//
//   name, " 1 " or " 0 " (automatic mode), Setpoint, MaxContr, MinContr, K,
//   Ti, Td, Tt, N, b, ForwardK, ManualVal, Tm
//
// Numbers are written with "." as the decimal point in every locale. The
// cycle time, the ports, the scales and the other flags are not kept.
//
// A file is read completely into a fresh loop before anything else happens,
// so a bad file never leaves a loop half changed. What is read is capped: a
// *.PID is a few hundred bytes, anything far larger is not one.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

#include "pid/PidLoops.h"
#include "pid/clsPID.h"

namespace tuvik {

namespace PidFile {
inline constexpr int kLines = 14;
// Files larger than this are refused unread.
inline constexpr qint64 kMaxBytes = 64 * 1024;
// The file dialogs' filter and titles.
inline QString Filter() {
    return QStringLiteral("All Files (*.PID *.pid)");
}
inline QString SaveTitle() {
    return QStringLiteral("Save");
}
inline QString LoadTitle() {
    return QStringLiteral("Load PID settings");
}
}  // namespace PidFile

// The file's bytes for a loop; an empty file for no loop.
QByteArray PidFileBytes(const clsPID* loop);

// Called after the first half of the file has been written; returning false
// abandons the write as a failing disk would. Lets tests interrupt a save.
using SaveInterruption = std::function<bool()>;

// Writes the file as a whole: the old file stays as it was unless the new
// one was written completely. Returns the failure's description on failure.
std::optional<QString> SavePidFile(const QString& path, const clsPID* loop,
                                   const SaveInterruption& midway = {});

// Reads a file into a new loop (creation defaults, no link, Desc "initDesc").
struct PidFileRead {
    std::optional<clsPID> loop;
    QString error;  // the failure's description when loop is empty
};
PidFileRead ReadPidFile(const QString& path);
// The same from the file's bytes.
PidFileRead ParsePidFile(const QByteArray& bytes);

// The relative path of the default file for a list index of the loop selector.
QString DefaultPidFile(int listIndex);

// Message texts.
QString SaveErrorText();                            // " Error Saving PID settings to disk!"
QString LoadErrorText(const QString& description);  // " Error loading PID settings!" + description
QString DefaultsErrorText(const QString& description, const QString& path);
QString NameMismatchText(const QString& name);

// Loading into the selected loop, with the name check.
struct PidLoadOutcome {
    enum class Kind { Loaded, NotAllowed, Failed };
    Kind kind = Kind::Failed;
    QString messageText;  // for NotAllowed and Failed
};
// The file replaces loop listIndex when its name equals that loop's name
// (case-sensitive) and listIndex is 0..3.
PidLoadOutcome LoadPidSettings(PidLoops& loops, int listIndex, const QString& path);
// The default file of listIndex (DefaultPidFile, found at `path` in the data
// folders) replaces that loop, without a name check.
PidLoadOutcome LoadPidDefaults(PidLoops& loops, int listIndex, const QString& path);

}  // namespace tuvik
