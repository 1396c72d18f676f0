#include "pid/PidWriteCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <charconv>

#include "pid/PidFiles.h"
#include "pid/PidLoops.h"

namespace tuvik {

namespace {

QString Flag(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

// The shortest text that reads back as the same single: the loop's own texts
// round to fewer digits, and a check at single precision must not.
QString ExactText(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, static_cast<qsizetype>(r.ptr - buf));
}

QString ModeName(bool automatic) {
    return automatic ? QStringLiteral("Automatic") : QStringLiteral("Manual");
}

}  // namespace

QString PidFieldName(int field) {
    switch (field) {
        case PidField::Mode:
            return QStringLiteral("PID MODE");
        case PidField::Enable:
            return QStringLiteral("Enable");
        case PidField::RemoteSetpoint:
            return QStringLiteral("Remote setpoint");
        case PidField::Manual:
            return QStringLiteral("Manual");
        case PidField::Inverted:
            return QStringLiteral("Inverted mode");
        default:
            return PidBoxCaption(field - PidField::FirstBox);
    }
}

int PidFieldOfBox(int box) {
    return box >= 0 && box < PidField::kBoxes ? PidField::FirstBox + box : -1;
}

PidFieldTexts PidSettingsTexts(const PidSettings& s, bool exact) {
    clsPID loop;
    loop.SetSettings(s);
    PidBoxTexts boxes = LoopBoxTexts(loop);
    if (exact) {
        const float numbers[] = {s.Setpoint, s.MaxContr, s.MinContr, s.K,        s.Ti, s.Td,
                                 s.tt,       s.N,        s.b,        s.ForwardK, s.Tm, s.h};
        for (size_t b = 0; b < std::size(numbers); ++b) {
            boxes[b] = ExactText(numbers[b]);
        }
    }
    PidFieldTexts t;
    t[PidField::Mode] = ModeName(s.AutoMode);
    t[PidField::Enable] = Flag(s.Enable);
    t[PidField::RemoteSetpoint] = Flag(s.RemoteSetpoint);
    for (int b = 0; b < PidField::kBoxes; ++b) {
        t[static_cast<size_t>(PidFieldOfBox(b))] = boxes[static_cast<size_t>(b)];
    }
    t[PidField::Manual] = exact ? ExactText(s.ManualVal) : loop.ManualVal();
    t[PidField::Inverted] = Flag(s.InvertedMode);
    return t;
}

PidFieldMarks PidEditorTexts(const PidEditorValues& v) {
    PidFieldMarks t;
    t[PidField::Mode] = ModeName(v.automatic);
    t[PidField::Enable] = Flag(v.enable != 0);
    t[PidField::RemoteSetpoint] = Flag(v.remoteSetpoint != 0);
    for (int b = 0; b < PidField::kBoxes; ++b) {
        t[static_cast<size_t>(PidFieldOfBox(b))] = v.boxes[static_cast<size_t>(b)];
    }
    t[PidField::Manual] = QString::number(v.manual);
    return t;
}

std::optional<PidSettings> PidStatusSettings(std::span<const uint8_t> record) {
    // Decoded exactly as the loop decodes it, into a loop of its own.
    clsPID loop;
    if (!loop.SetStatusData(record)) {
        return std::nullopt;
    }
    return loop.Settings();
}

bool PidStatusReportsLoop(int listIndex) {
    return listIndex == 0 || listIndex == 1;
}

WriteCheck MakePidWriteCheck(const PidSettings& toSend) {
    const PidFieldTexts t = PidSettingsTexts(toSend);
    WriteCheck check;
    for (int f = 0; f < PidField::kCount; ++f) {
        const bool setpoint = f == PidField::FirstBox + PidBox::Setpoint;
        check.Add(PidFieldName(f), t[static_cast<size_t>(f)], !setpoint || !toSend.RemoteSetpoint);
    }
    const std::pair<int, float> scales[] = {{PidBox::MeasureScale, toSend.MeasureScale},
                                            {PidBox::ForwardScale, toSend.ForwardScale},
                                            {PidBox::SetpointScale, toSend.SetpointScale}};
    for (const auto& [box, v] : scales) {
        check.Add(PidBoxCaption(box), ExactText(v), false);
    }
    return check;
}

namespace {

// The controller's values into the rows it reports, by name.
void SetReadable(WriteCheck& check, const PidSettings& device,
                 void (WriteCheck::*set)(int, const QString&)) {
    const PidFieldTexts t = PidSettingsTexts(device);
    for (int f = 0; f < PidField::kCount; ++f) {
        const int i = check.IndexOf(PidFieldName(f));
        if (i >= 0 && check.fields()[static_cast<size_t>(i)].readable) {
            (check.*set)(i, t[static_cast<size_t>(f)]);
        }
    }
}

}  // namespace

void SetPidDeviceValues(WriteCheck& check, const PidSettings& device) {
    SetReadable(check, device, &WriteCheck::SetDevice);
}

void SetPidReadBack(WriteCheck& check, const PidSettings& device) {
    SetReadable(check, device, &WriteCheck::SetReadBack);
}

QString PidConfirmDetail(int listIndex, const WriteCheck& check) {
    const QString diff = check.DiffText();
    return PidStatusReportsLoop(listIndex)
               ? diff
               : PidSafeWriteText::NotReported() + QLatin1Char('\n') + diff;
}

PidReadBackVerdict JudgeReadBack(const QString& name, const WriteCheck& check,
                                 const QString& backup) {
    PidReadBackVerdict v;
    v.verified = check.Verified();
    QStringList lines;
    if (v.verified) {
        lines << check.VerifiedText();
    } else {
        lines << SafeWriteText::MismatchTitle() + QStringLiteral(": ") + check.DifferencesText();
        for (const QString& field : check.NotReadable()) {
            lines << SafeWriteText::NotReadBack(field);
        }
    }
    v.logLine = PidSafeWriteText::LogLine(
        name, lines.join(QLatin1Char('\n')).replace(QLatin1Char('\n'), QStringLiteral("; ")));
    // The status line names the differences only in the warning's box.
    if (!v.verified) {
        lines[0] = SafeWriteText::MismatchTitle();
    }
    if (!backup.isEmpty()) {
        lines << SafeWriteText::BackupSaved(backup);
    }
    v.status = lines.join(QLatin1Char('\n'));
    return v;
}

PidFieldMarks PidEditorMarks(const PidEditorValues& v, const std::optional<PidSettings>& device) {
    PidFieldMarks marks;
    if (!device) {
        return marks;
    }
    // As the editor would show the controller's values: a value just read
    // is not marked for digits the boxes never show.
    const PidFieldTexts held = PidSettingsTexts(*device, false);
    const PidFieldMarks shown = PidEditorTexts(v);
    for (size_t f = 0; f < marks.size(); ++f) {
        if (shown[f] && !SameDeviceValue(*shown[f], held[f])) {
            marks[f] = held[f];
        }
    }
    return marks;
}

PidBackup SavePidBackup(const QString& dataDir, const QString& name, int listIndex,
                        const PidSettings& device, const QDateTime& when) {
    clsPID held;
    held.name(name);
    held.SetSettings(device);
    PidBackup out{BackupPath(dataDir, PidBackupWhat(name, listIndex), QStringLiteral("PID"), when),
                  std::nullopt};
    out.error = MakeBackupFolder(out.path);
    if (!out.error) {
        out.error = SavePidFile(out.path, &held);
    }
    return out;
}

QString PidBackupWhat(const QString& name, int listIndex) {
    return name + QStringLiteral(" loop ") + QString::number(listIndex + 1);
}

std::optional<int> PidBackupLoop(const QString& path) {
    // BackupPath's form: the date and time, the loop's name, "_loop_" and its number.
    static const QRegularExpression kName(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d_.*_loop_(\\d)\\.PID$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = kName.match(QFileInfo(path).fileName());
    const int loop = m.hasMatch() ? m.captured(1).toInt() : 0;
    if (loop < 1 || loop > PidLoops::kCount) {
        return std::nullopt;
    }
    return loop - 1;
}

namespace PidSafeWriteText {

QString ReadingBefore() {
    return QStringLiteral("Reading the loop's settings from the controller...");
}

QString ReadingAfter() {
    return QStringLiteral("Reading the loop's settings back from the controller...");
}

QString DeviceValueTip(const QString& value) {
    return QStringLiteral("In the controller: ") + value;
}

QString NotReported() {
    return QStringLiteral(
        "The controller does not report this loop's settings: no backup is made and nothing can be "
        "verified.");
}

QString WriteWithoutSavedBackup(const QString& failure) {
    return failure + QStringLiteral("\nWrite anyway?");
}

QString OtherLoopBackup(int backupIndex, int listIndex) {
    return QStringLiteral(
               "This file is a backup of loop %1, and the selected loop is loop %2. Load it "
               "anyway?")
        .arg(backupIndex + 1)
        .arg(listIndex + 1);
}

QString LogLine(const QString& name, const QString& text) {
    return QStringLiteral("PID settings of ") + name + QStringLiteral(": ") + text;
}

}  // namespace PidSafeWriteText

}  // namespace tuvik
