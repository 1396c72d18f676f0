#include "shell/RecordingFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

#include "link/RecordingLayout.h"

namespace tuvik {

namespace {

const QString kKeepSuffix = QStringLiteral(".keep");
const QString kTimeFormat = QStringLiteral("yyyyMMdd-HHmmss");
const QString kLimitKey = QStringLiteral("Settings/RecordingsLimitMB");

}  // namespace

QList<RecordingEntry> RecordingFolder::Entries() const {
    QList<RecordingEntry> out;
    const QString suffix = QString::fromLatin1(recording::kSuffix);
    const QFileInfoList files =
        QDir(dir_).entryInfoList({QStringLiteral("*") + suffix}, QDir::Files, QDir::Name);
    for (const QFileInfo& f : files) {
        RecordingEntry e;
        e.path = f.absoluteFilePath();
        e.name = f.fileName();
        e.start = QDateTime::fromString(e.name.left(kTimeFormat.size()), kTimeFormat);
        if (!e.start.isValid()) {
            e.start = f.lastModified();
        }
        e.size = f.size();
        e.keep = IsKept(e.path);
        out.append(e);
    }
    return out;
}

QString RecordingFolder::NewPath(const QDateTime& localStart, const QString& endpoint) const {
    QString safe = endpoint;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.-]+")), QStringLiteral("-"));
    safe = safe.mid(0, 60);
    while (safe.startsWith(u'-')) {
        safe.remove(0, 1);
    }
    const QString base = localStart.toString(kTimeFormat) + u'_' + safe;
    const QString suffix = QString::fromLatin1(recording::kSuffix);
    QString path = QDir(dir_).filePath(base + suffix);
    for (int n = 2; QFileInfo::exists(path) && n < 1000; ++n) {
        path = QDir(dir_).filePath(base + u'_' + QString::number(n) + suffix);
    }
    return path;
}

bool RecordingFolder::IsKept(const QString& path) {
    return QFileInfo::exists(path + kKeepSuffix);
}

bool RecordingFolder::SetKeep(const QString& path, bool keep) {
    QFile mark(path + kKeepSuffix);
    if (!keep) {
        return !mark.exists() || mark.remove();
    }
    return mark.exists() || mark.open(QIODevice::WriteOnly);
}

QStringList RecordingFolder::Prune(qint64 limitBytes, const QString& current) const {
    const QList<RecordingEntry> entries = Entries();
    qint64 total = 0;
    for (const RecordingEntry& e : entries) {
        total += e.size;
    }
    const QString currentPath =
        current.isEmpty() ? QString() : QFileInfo(current).absoluteFilePath();
    QStringList removed;
    for (const RecordingEntry& e : entries) {
        if (total <= limitBytes) {
            break;
        }
        if (e.keep || e.path == currentPath) {
            continue;
        }
        if (QFile::remove(e.path)) {
            total -= e.size;
            removed.append(e.path);
        }
    }
    return removed;
}

int LoadRecordingLimitMb(QSettings& store) {
    bool ok = false;
    const int mb = store.value(kLimitKey).toInt(&ok);
    return ok && mb > 0 ? mb : RecordingFolder::kDefaultLimitMb;
}

void SaveRecordingLimitMb(QSettings& store, int mb) {
    store.setValue(kLimitKey, mb);
    store.sync();
}

}  // namespace tuvik
