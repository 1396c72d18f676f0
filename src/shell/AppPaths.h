#pragma once
// Where the program finds its files and writes its daily files. A copy run
// from its build or unpacked folder keeps everything beside the executable;
// an installed copy, whose folder is not writable, writes its daily files to
// the user's application data folder and finds PARAMS.h and the default loop
// settings in the installed data folder.

#include <QString>
#include <QStringList>

namespace tuvik {

class AppPaths {
  public:
    // Folders of the running program (needs the application object).
    static AppPaths Detect();
    // The same rules applied to a given program folder.
    static AppPaths ForProgramDir(const QString& programDir);

    // Everything given explicitly, as tests do. Folders are kept without a
    // trailing separator.
    AppPaths(const QString& programDir, const QString& dailyDir, const QStringList& dataDirs);

    // The folder for the daily log and measurement files.
    QString DailyDir() const { return dailyDir_; }
    QString DailyFilePath(const QString& fileName) const {
        return dailyDir_ + QLatin1Char('/') + fileName;
    }
    // The history database, beside the daily files.
    QString HistoryPath() const { return DailyFilePath(QStringLiteral("history.sqlite")); }

    // The first existing file of that relative path (for example
    // "Settings/PID_def.PID") in the data folders; when none exists, the path
    // in the program's folder, so that a failure names the usual place.
    QString FindDataFile(const QString& relativePath) const;
    QString ParamsHeaderPath() const {
        return paramsHeader_.isEmpty() ? FindDataFile(QStringLiteral("PARAMS.h")) : paramsHeader_;
    }
    // A parameter definition file given by name, in place of the search.
    void setParamsHeaderPath(const QString& path) { paramsHeader_ = path; }
    // Whether any data folder holds a PARAMS.h. The program ships none: the
    // burner's firmware defines its parameters, and a guessed map would read
    // and write the wrong addresses.
    bool HasParamsHeader() const;
    // Where the operator should put the firmware's PARAMS.h: the program's
    // folder when the program writes there, else the user's data folder.
    QString ParamsHeaderHome() const;

  private:
    QString programDir_;
    QString dailyDir_;
    QStringList dataDirs_;
    QString paramsHeader_;
};

// The notice shown once when no PARAMS.h was found.
QString NoParamsHeaderMessage(const AppPaths& paths);

}  // namespace tuvik
