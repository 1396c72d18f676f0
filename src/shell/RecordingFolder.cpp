#include "shell/RecordingFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
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

QList<RecordingEntry> RecordingFolder::PruneCandidates(qint64 limitBytes,
                                                       const QStringList& spared) const {
    const QList<RecordingEntry> entries = Entries();
    qint64 total = 0;
    for (const RecordingEntry& e : entries) {
        total += e.size;
    }
    QStringList sparedPaths;
    for (const QString& p : spared) {
        sparedPaths << QFileInfo(p).absoluteFilePath();
    }
    QList<RecordingEntry> going;
    for (const RecordingEntry& e : entries) {
        if (total <= limitBytes) {
            break;
        }
        if (e.keep || sparedPaths.contains(e.path)) {
            continue;
        }
        total -= e.size;
        going.append(e);
    }
    return going;
}

QStringList RecordingFolder::Prune(qint64 limitBytes, const QStringList& spared) const {
    QStringList removed;
    for (const RecordingEntry& e : PruneCandidates(limitBytes, spared)) {
        if (QFile::remove(e.path)) {
            removed.append(e.path);
            const QString history = ReplayHistoryPath(e.path);
            for (const char* part : {"", "-wal", "-shm"}) {
                QFile::remove(history + QLatin1String(part));
            }
        }
    }
    return removed;
}

QString RecordingFolder::RemoveQuestion(const QList<RecordingEntry>& going) {
    qint64 bytes = 0;
    for (const RecordingEntry& e : going) {
        bytes += e.size;
    }
    return QStringLiteral("Remove %1 %2 (%3)?")
        .arg(going.size())
        .arg(going.size() == 1 ? QStringLiteral("recording") : QStringLiteral("recordings"))
        .arg(QLocale::c().formattedDataSize(bytes, 0, QLocale::DataSizeTraditionalFormat));
}

QString RecordingFolder::ReplayHistoryPath(const QString& recordingPath) const {
    return QDir(dir_).filePath(QStringLiteral("replay-history/") +
                               QFileInfo(recordingPath).fileName() +
                               QStringLiteral(".history.sqlite"));
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
