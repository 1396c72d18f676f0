#include "support/MessageLog.h"

#include <QDir>
#include <QFile>

namespace tuvik {

const QString MessageLog::kHeader = QStringLiteral(
    "Date;Time;Device;acivity;clock;progState;Tg;Tgas;Tw;Twater;Ir;IRsig;vfd;Puhallin");

namespace {

const QByteArray kLineEnd("\r\n");

// One column of the file: a ";" in a text would start a new column and a line
// break a new line, so in the file they become "," and a blank.
QString Column(QString text) {
    for (QChar& c : text) {
        if (c == QLatin1Char(';')) {
            c = QLatin1Char(',');
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

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

QString MessageLog::TimeText(const QTime& time) const {
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
    Add(inputStr, Column(inputStr) + QStringLiteral(";;;"), true, Now());
}

void MessageLog::AddActuatorEvent(const QString& device, const QString& activity,
                                  const QString& clock, const QString& state) {
    const QChar sep = QLatin1Char(';');
    Add(device + sep + activity + sep + clock + sep + state,
        Column(device) + sep + Column(activity) + sep + Column(clock) + sep + Column(state),
        !holdDeviceEvents_, clock_->Now());
}

void MessageLog::Add(const QString& screenText, const QString& columns, bool toFile,
                     const QDateTime& now) {
    const QString screenLine = TimeText(now.time()) + QLatin1Char(' ') + screenText +
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

    pending_.append(DateText(now.date()) + QLatin1Char(';') + TimeText(now.time()) +
                    QLatin1Char(';') + columns + QStringLiteral("; Tg:;") + Column(readings_.tgas) +
                    QStringLiteral("; Tw:;") + Column(readings_.twater) + QStringLiteral("; IR:;") +
                    Column(readings_.irSig) + QStringLiteral("; VFD:;") + Column(readings_.vfd));
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
