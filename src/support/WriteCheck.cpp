#include "support/WriteCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace tuvik {

namespace {

std::optional<float> AsNumber(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return static_cast<float>(v);
}

QString Pad(const QString& s, int width) {
    return s.leftJustified(width, QLatin1Char(' '));
}

// The diff's device column: the value read, "?" when the device did not
// answer, "-" for a field it never reports.
QString DeviceColumn(const WriteField& f) {
    return f.device ? *f.device : f.readable ? QStringLiteral("?") : QStringLiteral("-");
}

}  // namespace

bool SameDeviceValue(const QString& a, const QString& b) {
    const auto x = AsNumber(a);
    const auto y = AsNumber(b);
    if (x && y) {
        return *x == *y;
    }
    return a.trimmed() == b.trimmed();
}

void WriteCheck::Add(const QString& name, const QString& toWrite, bool readable) {
    fields_.push_back({name, toWrite, std::nullopt, std::nullopt, readable});
}

int WriteCheck::IndexOf(const QString& name) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void WriteCheck::SetDevice(int i, const QString& value) {
    fields_.at(static_cast<size_t>(i)).device = value;
}

void WriteCheck::SetReadBack(int i, const QString& value) {
    fields_.at(static_cast<size_t>(i)).readBack = value;
}

bool WriteCheck::DeviceRead() const {
    bool any = false;
    for (const WriteField& f : fields_) {
        if (f.readable && !f.device) {
            return false;
        }
        any = any || f.readable;
    }
    return any;
}

bool WriteCheck::Changed(int i) const {
    const WriteField& f = fields_.at(static_cast<size_t>(i));
    return f.device && !SameDeviceValue(*f.device, f.toWrite);
}

bool WriteCheck::Zeroed(int i) const {
    const WriteField& f = fields_.at(static_cast<size_t>(i));
    if (!f.device) {
        return false;
    }
    const auto before = AsNumber(*f.device);
    const auto after = AsNumber(f.toWrite);
    return before && after && *before != 0.0f && *after == 0.0f;
}

int WriteCheck::ChangedCount() const {
    int n = 0;
    for (int i = 0; i < size(); ++i) {
        n += Changed(i) ? 1 : 0;
    }
    return n;
}

QString WriteCheck::DiffText() const {
    int nameWidth = 5;    // "Field"
    int deviceWidth = 6;  // "Device"
    for (const WriteField& f : fields_) {
        nameWidth = std::max(nameWidth, static_cast<int>(f.name.size()));
        deviceWidth = std::max(deviceWidth, static_cast<int>(DeviceColumn(f).size()));
    }
    QStringList lines;
    if (!DeviceRead()) {
        lines << SafeWriteText::NotRead();
    }
    lines << QStringLiteral("  ") + Pad(QStringLiteral("Field"), nameWidth) + QStringLiteral("  ") +
                 Pad(QStringLiteral("Device"), deviceWidth) + QStringLiteral("  New");
    for (int i = 0; i < size(); ++i) {
        const WriteField& f = fields_[static_cast<size_t>(i)];
        QString line = (Changed(i) ? QStringLiteral("* ") : QStringLiteral("  ")) +
                       Pad(f.name, nameWidth) + QStringLiteral("  ") +
                       Pad(DeviceColumn(f), deviceWidth) + QStringLiteral("  ") + f.toWrite;
        if (Zeroed(i)) {
            line += QStringLiteral("   <- set to 0!");
        }
        lines << line;
    }
    const int changed = ChangedCount();
    lines << QStringLiteral("%1 of %2 values change.").arg(changed).arg(size());
    return lines.join(QLatin1Char('\n'));
}

std::vector<WriteCheck::Difference> WriteCheck::Differences() const {
    std::vector<Difference> out;
    for (const WriteField& f : fields_) {
        if (f.readable && (!f.readBack || !SameDeviceValue(*f.readBack, f.toWrite))) {
            out.push_back({f.name, f.toWrite, f.readBack});
        }
    }
    return out;
}

bool WriteCheck::Verified() const {
    const bool anyReadable =
        std::any_of(fields_.begin(), fields_.end(), [](const WriteField& f) { return f.readable; });
    return anyReadable && Differences().empty();
}

QStringList WriteCheck::NotReadable() const {
    QStringList names;
    for (const WriteField& f : fields_) {
        if (!f.readable) {
            names << f.name;
        }
    }
    return names;
}

QString WriteCheck::VerifiedText() const {
    QStringList lines{SafeWriteText::Verified()};
    for (const QString& name : NotReadable()) {
        lines << SafeWriteText::NotReadBack(name);
    }
    return lines.join(QLatin1Char('\n'));
}

QString WriteCheck::DifferencesText() const {
    QStringList lines;
    for (const Difference& d : Differences()) {
        lines << d.name + QStringLiteral(": sent ") + d.sent +
                     QStringLiteral(", now in the device ") +
                     d.now.value_or(QStringLiteral("(no answer)"));
    }
    return lines.join(QLatin1Char('\n'));
}

namespace SafeWriteText {

QString NotRead() {
    return QStringLiteral("The device values could not be read.");
}

QString Verified() {
    return QStringLiteral("The values were read back from the device and verified.");
}

QString NotReadBack(const QString& name) {
    return name + QStringLiteral(": not read back");
}

QString WriteWithoutBackup() {
    return QStringLiteral(
        "The controller's current values could not be read, so no backup can be made. Write "
        "anyway?");
}

QString MismatchTitle() {
    return QStringLiteral("Values not verified");
}

QString Mismatch(const QString& differences) {
    return QStringLiteral("The device does not hold the values that were sent:\n") + differences;
}

QString BackupSaved(const QString& path) {
    return QStringLiteral("Backup of the device's values: ") + QDir::toNativeSeparators(path);
}

QString BackupFailed(const QString& reason) {
    return QStringLiteral("No backup of the device's values could be written: ") + reason;
}

QString SingleWriteLog(int address, const std::optional<QString>& before, const QString& sent,
                       const std::optional<QString>& now) {
    QString line = QStringLiteral("Parameter %1 written: was %2, sent %3")
                       .arg(address)
                       .arg(before.value_or(QStringLiteral("(not read)")))
                       .arg(sent);
    if (now) {
        line += QStringLiteral(", now ") + *now;
    }
    return line;
}

}  // namespace SafeWriteText

QColor EditedMarkColour() {
    return QColor(255, 236, 179);
}

std::optional<QString> MakeBackupFolder(const QString& backupPath) {
    const QString folder = QFileInfo(backupPath).absolutePath();
    if (QDir().mkpath(folder)) {
        return std::nullopt;
    }
    return QStringLiteral("the folder ") + QDir::toNativeSeparators(folder) +
           QStringLiteral(" could not be made");
}

QString BackupPath(const QString& dataDir, const QString& what, const QString& ext,
                   const QDateTime& when) {
    QString safe = what;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return QDir(dataDir).filePath(QStringLiteral("backups/") +
                                  when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
                                  QLatin1Char('_') + safe + QLatin1Char('.') + ext);
}

}  // namespace tuvik
