#include "pid/PidWriteCheck.h"

#include <QDir>
#include <QFileInfo>

#include <charconv>

#include "pid/PidFiles.h"

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

WriteCheck MakePidWriteCheck(const PidSettings& toSend, bool readBack) {
    const PidFieldTexts t = PidSettingsTexts(toSend);
    WriteCheck check;
    for (int f = 0; f < PidField::kCount; ++f) {
        if (f != PidField::FirstBox + PidBox::Setpoint || !readBack) {
            check.Add(PidFieldName(f), t[static_cast<size_t>(f)]);
        }
    }
    return check;
}

void SetPidDeviceValues(WriteCheck& check, const PidSettings& device) {
    const PidFieldTexts t = PidSettingsTexts(device);
    for (int f = 0; f < PidField::kCount; ++f) {
        if (const int i = check.IndexOf(PidFieldName(f)); i >= 0) {
            check.SetDevice(i, t[static_cast<size_t>(f)]);
        }
    }
}

void SetPidReadBack(WriteCheck& check, const PidSettings& device) {
    const PidFieldTexts t = PidSettingsTexts(device);
    for (int f = 0; f < PidField::kCount; ++f) {
        if (const int i = check.IndexOf(PidFieldName(f)); i >= 0) {
            check.SetReadBack(i, t[static_cast<size_t>(f)]);
        }
    }
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

PidBackup SavePidBackup(const QString& dataDir, const QString& name, const PidSettings& device,
                        const QDateTime& when) {
    clsPID held;
    held.name(name);
    held.SetSettings(device);
    PidBackup out{BackupPath(dataDir, name, QStringLiteral("PID"), when), std::nullopt};
    out.error = MakeBackupFolder(out.path);
    if (!out.error) {
        out.error = SavePidFile(out.path, &held);
    }
    return out;
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

QString LogLine(const QString& name, const QString& text) {
    return QStringLiteral("PID settings of ") + name + QStringLiteral(": ") + text;
}

}  // namespace PidSafeWriteText

}  // namespace tuvik
