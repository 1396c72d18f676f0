#include "pid/StepTest.h"

#include <QFile>
#include <QStringList>

#include <cmath>

#include "support/CsvWriter.h"
#include "support/TextLines.h"

namespace tuvik {

namespace {

const QString kMagic = QStringLiteral("tuvik step test;1");
const QString kColumns = QStringLiteral("t;output;measurement");

// Seventeen significant digits bring a double back exactly; QString::number
// and QString::toDouble use "." whatever the locale.
QString Num(double v) {
    return QString::number(v, 'g', 17);
}

bool ReadNum(const QString& s, double& out) {
    bool ok = false;
    out = s.trimmed().toDouble(&ok);
    return ok && std::isfinite(out);
}

std::optional<StepRecord> Refuse(QString* error, const QString& why) {
    if (error) {
        *error = why;
    }
    return std::nullopt;
}

}  // namespace

QString StepRecordToCsv(const StepRecord& r) {
    QString name = r.loopName;
    name.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    // Keys, numbers and the name, which the reader takes to the line's end.
    CsvWriter csv(QLatin1Char(';'), CsvQuoting::None, QStringLiteral("\n"));
    csv.Add({kMagic});
    // The loop as the operator counts them, from 1.
    csv.Add({QStringLiteral("loop"), QString::number(r.loop + 1)});
    csv.Add({QStringLiteral("name"), name});
    csv.Add({QStringLiteral("started"), r.started.toUTC().toString(Qt::ISODateWithMs)});
    csv.Add({QStringLiteral("output before"), Num(r.outputBefore)});
    csv.Add({QStringLiteral("output after"), Num(r.outputAfter)});
    csv.Add({kColumns});
    for (const StepSample& s : r.samples) {
        csv.Add({Num(s.t), Num(s.output), Num(s.measurement)});
    }
    return csv.text();
}

std::optional<StepRecord> StepRecordFromCsv(const QString& text, QString* error) {
    QStringList lines;
    for (const TextLine<QStringView>& line : SplitLines(text)) {
        lines.append(line.text.toString());
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) {
        lines.removeLast();
    }
    if (lines.isEmpty() || lines.first() != kMagic) {
        return Refuse(error, QStringLiteral("This is not a step test file of this program."));
    }
    // The header: fixed keys in a fixed order.
    const char* const keys[] = {"loop", "name", "started", "output before", "output after"};
    QString values[5];
    for (int i = 0; i < 5; ++i) {
        const QString prefix = QString::fromLatin1(keys[i]) + QLatin1Char(';');
        if (lines.size() <= i + 1 || !lines[i + 1].startsWith(prefix)) {
            return Refuse(error,
                          QStringLiteral("Line %1: expected \"%2\".").arg(i + 2).arg(prefix));
        }
        values[i] = lines[i + 1].mid(prefix.size());
    }
    StepRecord r;
    bool ok = false;
    const int loop = values[0].trimmed().toInt(&ok);
    if (!ok || loop < 1 || loop > 99) {
        return Refuse(error, QStringLiteral("Line 2: \"%1\" is not a loop number.").arg(values[0]));
    }
    r.loop = loop - 1;
    r.loopName = values[1];
    r.started = QDateTime::fromString(values[2].trimmed(), Qt::ISODateWithMs);
    if (!values[2].trimmed().isEmpty() && !r.started.isValid()) {
        return Refuse(error,
                      QStringLiteral("Line 4: \"%1\" is not a date and time.").arg(values[2]));
    }
    if (!ReadNum(values[3], r.outputBefore) || !ReadNum(values[4], r.outputAfter)) {
        return Refuse(error, QStringLiteral("Lines 5-6: the outputs before and after the step "
                                            "must be numbers."));
    }
    if (lines.size() < 7 || lines[6] != kColumns) {
        return Refuse(error, QStringLiteral("Line 7: expected \"%1\".").arg(kColumns));
    }
    const qsizetype rows = lines.size() - 7;
    if (rows > kMaxStepSamples) {
        return Refuse(error, QStringLiteral("The file holds %1 samples; at most %2 are read.")
                                 .arg(rows)
                                 .arg(kMaxStepSamples));
    }
    if (rows == 0) {
        return Refuse(error, QStringLiteral("The file holds no samples."));
    }
    r.samples.reserve(static_cast<size_t>(rows));
    for (qsizetype i = 7; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(QLatin1Char(';'));
        StepSample s;
        if (f.size() != 3 || !ReadNum(f[0], s.t) || !ReadNum(f[1], s.output) ||
            !ReadNum(f[2], s.measurement)) {
            return Refuse(error, QStringLiteral("Line %1: expected three numbers, not \"%2\".")
                                     .arg(i + 1)
                                     .arg(lines[i].left(80)));
        }
        if (!r.samples.empty() && s.t < r.samples.back().t) {
            return Refuse(error, QStringLiteral("Line %1: the time goes backwards.").arg(i + 1));
        }
        r.samples.push_back(s);
    }
    return r;
}

std::optional<StepRecord> ReadStepRecordFile(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return Refuse(error, f.errorString());
    }
    // One byte more than allowed, for a file whose size is not known beforehand.
    const QByteArray bytes =
        f.size() > kMaxStepFileBytes ? QByteArray() : f.read(kMaxStepFileBytes + 1);
    if (f.size() > kMaxStepFileBytes || bytes.size() > kMaxStepFileBytes) {
        return Refuse(error, QStringLiteral("The file is larger than the %1 bytes a step test "
                                            "file can take.")
                                 .arg(kMaxStepFileBytes));
    }
    return StepRecordFromCsv(QString::fromUtf8(bytes), error);
}

std::optional<QString> WriteStepRecordFile(const QString& path, const StepRecord& r) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(StepRecordToCsv(r).toUtf8()) < 0) {
        return f.errorString();
    }
    return std::nullopt;
}

}  // namespace tuvik
