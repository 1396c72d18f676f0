#include "burner/MeasLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>

#include "burner/PrintZones.h"

namespace tuvik {

namespace {

const QByteArray kLineEnd("\r\n");

// Fields sit in 14-column print zones; the last one is not padded.
QString Zones(const std::array<QString, MeasLog::kColumns>& f) {
    return PrintZones({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10]});
}

}  // namespace

MeasLog::MeasLog(const QString& folder, QObject* parent)
    : QObject(parent), folder_(folder) {
    for (Row& row : rows_) {
        row.fill(QString(kFieldWidth, QLatin1Char(' ')));
    }
}

MeasLog::~MeasLog() {
    if (measPlace_ > 0 || !pending_.empty()) {
        // Nobody is left to tell about a failure here.
        const QSignalBlocker quiet(this);
        SaveMeasToFile();
    }
}


void MeasLog::setSaving(bool on) {
    if (saving_ == on) {
        return;
    }
    saving_ = on;
    if (!on) {
        SaveMeasToFile();
    }
}

QString MeasLog::Field(const QString& text) {
    return text.left(kFieldWidth).leftJustified(kFieldWidth, QLatin1Char(' '));
}

QString MeasLog::HeaderLine() {
    static const std::array<QString, kColumns> names = {
        QStringLiteral("aika"),    QStringLiteral("Tgas"),      QStringLiteral("lambda"),
        QStringLiteral("Twater"),  QStringLiteral("VFD"),       QStringLiteral("Tdevice"),
        QStringLiteral("IR_sig"),  QStringLiteral("Progstate"), QStringLiteral("DevState"),
        QStringLiteral("Theater"), QStringLiteral("ext2")};
    return Zones(names);
}

QString MeasLog::DataLine(const Row& row) {
    Row fields;
    for (int c = 0; c < kColumns; ++c) {
        fields[c] = Field(row[c]);
    }
    return Zones(fields);
}

QString MeasLog::FilePath(const QDate& day) const {
    return QDir(folder_).filePath(QStringLiteral("Flamorifier_MEAS_") +
                                  day.toString(QStringLiteral("yyyy_MM_dd")) +
                                  QStringLiteral(".txt"));
}

void MeasLog::setHeld(bool on) {
    if (on && !held_) {
        SaveMeasToFile();
    }
    held_ = on;
}

void MeasLog::MeasuresUpdated(const BurnerReadingTexts& readings) {
    const QDateTime now = clock_->Now();
    const bool toFile = saving_ && !held_;
    Row unfiled = rows_[0];
    Row& row = toFile ? rows_[static_cast<size_t>(measPlace_)] : unfiled;
    row[0] = Field(now.time().toString(QStringLiteral("HH:mm.ss")));
    for (int c = 1; c <= kBurnerReadings; ++c) {
        row[c] = Field(readings[c - 1]);
    }
    emit rowStored(DataLine(row));
    if (!toFile) {
        return;
    }
    if (measPlace_ < kBatchRows - 1) {
        ++measPlace_;
        return;
    }
    // Row 181 completes the batch.
    measPlace_ = kBatchRows;
    SaveMeasToFile();
}

void MeasLog::MoveToPending(int count) {
    for (int r = 0; r < count; ++r) {
        pending_.push_back(DataLine(rows_[static_cast<size_t>(r)]).toLatin1() + kLineEnd);
    }
    while (static_cast<qsizetype>(pending_.size()) > pendingLimit_) {
        pending_.pop_front();
        ++dropped_;
    }
}

void MeasLog::ReportFailure(const QString& text) {
    if (!failureReported_) {
        failureReported_ = true;
        emit userNotice(text +
                        QStringLiteral("\nThe measurement rows are kept and written when saving "
                                       "works again (at most the newest ") +
                        QString::number(pendingLimit_) + QStringLiteral(")."));
    }
}

bool MeasLog::SaveMeasToFile() {
    // The buffer is emptied into the waiting list first, so that it never
    // overruns while the disk keeps failing.
    MoveToPending(measPlace_);
    measPlace_ = 0;
    if (pending_.empty()) {
        return true;
    }

    const QDateTime now = clock_->SystemNow();
    if (now.date().year() <= 2000) {
        ReportFailure(QStringLiteral("Measurements are not saved: the computer's date (") +
                      now.date().toString(Qt::ISODate) + QStringLiteral(") is not set."));
        return false;
    }

    QDir().mkpath(folder_);
    QFile file(FilePath(now.date()));
    // A file that a failed attempt left empty still gets its header.
    const QFileInfo info(file);
    const bool needHeader = !info.exists() || info.size() == 0;
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
    QString error;
    if (ok) {
        QByteArray out;
        if (needHeader) {
            out += HeaderLine().toLatin1() + kLineEnd;
        }
        for (const QByteArray& line : pending_) {
            out += line;
        }
        // One write, so that a failure leaves as little of a batch as possible.
        ok = file.write(out) == out.size() && file.flush();
        file.close();
        if (ok && file.error() != QFileDevice::NoError) {
            ok = false;
        }
    }
    if (!ok) {
        error = file.errorString() + QString::number(static_cast<int>(file.error()));
        ReportFailure(QStringLiteral("Error SaveMeasToFile: ") + error);
        return false;
    }
    pending_.clear();
    failureReported_ = false;
    return true;
}

}  // namespace tuvik
