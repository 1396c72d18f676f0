#include "shell/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tuvik {

namespace {

QString Clean(const QString& dir) {
    if (dir.isEmpty()) {
        return dir;
    }
    return QDir::cleanPath(QDir(dir).absolutePath());
}

void AddUnique(QStringList& list, const QString& dir) {
    const QString d = Clean(dir);
    if (!d.isEmpty() && !list.contains(d)) {
        list.append(d);
    }
}

}  // namespace

AppPaths::AppPaths(const QString& programDir, const QString& dailyDir, const QStringList& dataDirs)
    : programDir_(Clean(programDir)), dailyDir_(Clean(dailyDir)) {
    // The program's folder always comes first.
    AddUnique(dataDirs_, programDir_);
    for (const QString& d : dataDirs) {
        AddUnique(dataDirs_, d);
    }
}

AppPaths AppPaths::Detect() {
    return ForProgramDir(QCoreApplication::applicationDirPath());
}

AppPaths AppPaths::ForProgramDir(const QString& programDir) {
    const QFileInfo info(programDir);
    const bool writable = info.isDir() && info.isWritable();
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString dailyDir = writable || appData.isEmpty() ? programDir : appData;

    QStringList data;
    data.append(QDir(programDir).filePath(QStringLiteral("../share/tuvik")));
    for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::AppDataLocation)) {
        data.append(d);
    }
    for (const QString& d :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        data.append(QDir(d).filePath(QStringLiteral("tuvik")));
    }
    return AppPaths(programDir, dailyDir, data);
}

QString AppPaths::FindDataFile(const QString& relativePath) const {
    // Callers may write the old form "Settings\\PID_def.PID".
    const QString rel = QString(relativePath).replace(QLatin1Char('\\'), QLatin1Char('/'));
    for (const QString& dir : dataDirs_) {
        const QString path = QDir(dir).filePath(rel);
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return QDir(programDir_).filePath(rel);
}

bool AppPaths::HasParamsHeader() const {
    return QFileInfo(ParamsHeaderPath()).isFile();
}

QString AppPaths::ParamsHeaderHome() const {
    return dataDirs_.contains(dailyDir_) ? dailyDir_ : programDir_;
}

QString NoParamsHeaderMessage(const AppPaths& paths) {
    return QStringLiteral(
               "No PARAMS.h was found, so the burner's parameter list is empty. Copy "
               "the PARAMS.h of the burner's firmware into ") +
           QDir::toNativeSeparators(paths.ParamsHeaderHome()) +
           QStringLiteral(" and start the program again.");
}

}  // namespace tuvik
