#include "support/MessageLog.h"

#include <QDir>
#include <QFile>

#include "support/CsvWriter.h"

namespace tuvik {

const QString MessageLog::kHeader = QStringLiteral(
    "Date;Time;Device;acivity;clock;progState;Tg;Tgas;Tw;Twater;Ir;IRsig;vfd;Puhallin");

namespace {

const QByteArray kLineEnd("\r\n");

// A ";" in a text would start a new column and a line break a new line.
const CsvWriter kColumns(QLatin1Char(';'), CsvQuoting::Replace);

}  // namespace

MessageLog::MessageLog(const QString& folder, QObject* parent) : QObject(parent), folder_(folder) {}

MessageLog::~MessageLog() {
    if (!pending_.isEmpty()) {
        // Nobody is left to tell about a failure here.
        const QSignalBlocker quiet(this);
        saveLogData();
    }
}

QString MessageLog::DailyFilePath(const QDate& day) const {
    return QDir(folder_).filePath(QStringLiteral("Flamorifier_") +
                                  day.toString(QStringLiteral("yyyy_MM_dd")) +
                                  QStringLiteral(".csv"));
}

QString MessageLog::DateText(const QDate& date) const {
    return locale_.toString(date, QLocale::ShortFormat);
}

QString MessageLog::LogTimeOfDay(const QTime& time) const {
    // The locale's short time form, with seconds added where it has none:
    // events a few seconds apart must stay apart.
    QString format = locale_.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1Char('s'))) {
        const qsizetype m = format.indexOf(QStringLiteral("mm"));
        const qsizetype h = format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
        QChar sep = QLatin1Char(':');
        if (h >= 0 && m > h) {
            // The character right after the hour field, as in "H.mm" or "h:mm".
            qsizetype i = h;
            while (i < m && format.at(i).toLower() == QLatin1Char('h')) {
                ++i;
            }
            if (i < m) {
                sep = format.at(i);
            }
        }
        if (m >= 0) {
            format.insert(m + 2, sep + QStringLiteral("ss"));
        } else {
            format = QStringLiteral("HH:mm:ss");
        }
    }
    return locale_.toString(time, format);
}

void MessageLog::AddMessage(const QString& inputStr) {
    Add(inputStr, {inputStr, QString(), QString(), QString()}, true, Now());
}

void MessageLog::AddActuatorEvent(const QString& device, const QString& activity,
                                  const QString& clock, const QString& state) {
    const QChar sep = QLatin1Char(';');
    Add(device + sep + activity + sep + clock + sep + state, {device, activity, clock, state},
        !holdDeviceEvents_, clock_->Now());
}

void MessageLog::Add(const QString& screenText, const QStringList& columns, bool toFile,
                     const QDateTime& now) {
    const QString screenLine = LogTimeOfDay(now.time()) + QLatin1Char(' ') + screenText +
                               QLatin1Char('\t') + QStringLiteral(" Tg:") + readings_.tgas +
                               QStringLiteral(" Tw:") + readings_.twater + QStringLiteral("\r\n");
    logText_.prepend(screenLine);
    if (logText_.size() > kLogTextLimit) {
        qsizetype keep = kLogTextKeep;
        // Never leave half a surrogate pair at the end.
        if (logText_.at(keep - 1).isHighSurrogate()) {
            --keep;
        }
        logText_.truncate(keep);
    }
    emit logTextChanged(logText_);
    if (!toFile) {
        return;
    }

    pending_.append(
        kColumns.Row(QStringList{DateText(now.date()), LogTimeOfDay(now.time())} + columns +
                     QStringList{QStringLiteral(" Tg:"), readings_.tgas, QStringLiteral(" Tw:"),
                                 readings_.twater, QStringLiteral(" IR:"), readings_.irSig,
                                 QStringLiteral(" VFD:"), readings_.vfd}));
    saveLogData();
}

void MessageLog::Clear() {
    logText_.clear();
    emit logTextChanged(logText_);
}

bool MessageLog::saveLogData() {
    // Today's date at the moment of writing: after midnight a new file starts.
    QFile file(DailyFilePath(Now().date()));
    QDir().mkpath(folder_);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
    QString error;
    if (ok) {
        QByteArray out;
        if (file.size() < 2) {
            out += kHeader.toLatin1() + kLineEnd;
        }
        for (const QString& line : std::as_const(pending_)) {
            out += line.toLatin1() + kLineEnd;
        }
        // One write, so that a failure leaves as little of a batch as possible.
        ok = file.write(out) == out.size() && file.flush();
        if (!ok) {
            error = file.errorString() + QString::number(static_cast<int>(file.error()));
        }
        file.close();
        if (ok && file.error() != QFileDevice::NoError) {
            ok = false;
            error = file.errorString() + QString::number(static_cast<int>(file.error()));
        }
    } else {
        error = file.errorString() + QString::number(static_cast<int>(file.error()));
    }
    if (!ok) {
        if (!failureReported_) {
            failureReported_ = true;
            emit userNotice(QStringLiteral("Error saveLogData: ") + error);
        }
        return false;
    }
    pending_.clear();
    failureReported_ = false;
    return true;
}

}  // namespace tuvik
