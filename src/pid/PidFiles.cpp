#include "pid/PidFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include "pid/PidValidation.h"
#include "support/Numbers.h"
#include "support/TextLines.h"

namespace tuvik {

namespace {

const QString kFileNotFound = QStringLiteral("File not found");
const QString kPastEnd = QStringLiteral("Input past end of file");
const QString kBadFormat = QStringLiteral("Bad file format");
const QString kTooLarge = QStringLiteral("File too large");

QByteArray Encode(const QString& text) {
    // The single-byte code page: what Latin-1 cannot hold becomes "?".
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        out.append(c.unicode() < 256 ? static_cast<char>(c.unicode()) : '?');
    }
    return out;
}

// The file's first lines. Lines end with CR LF; the last may end without
// it. A lone CR or LF, or a NUL byte, is not part of the format; what
// follows the last line is not read.
std::optional<QStringList> PidLines(const QByteArray& bytes, QString* why) {
    QStringList lines;
    for (const TextLine<QByteArrayView>& line : SplitLines(bytes)) {
        if (lines.size() == PidFile::kLines) {
            break;
        }
        if ((line.end != LineEnd::CrLf && line.end != LineEnd::None) || line.text.contains('\0')) {
            *why = kBadFormat;
            return std::nullopt;
        }
        lines.append(QString::fromLatin1(line.text));
    }
    if (lines.size() < PidFile::kLines) {
        *why = kPastEnd;
        return std::nullopt;
    }
    return lines;
}

}  // namespace

QByteArray PidFileBytes(const clsPID* loop) {
    if (loop == nullptr) {
        return {};
    }
    const clsPID& L = *loop;
    const QStringList lines = {
        L.name(),      L.AutoMode() != 0 ? QStringLiteral(" 1 ") : QStringLiteral(" 0 "),
        L.Setpoint(),  L.MaxContr(),
        L.MinContr(),  L.K(),
        L.Ti(),        L.Td(),
        L.tt(),        L.N(),
        L.b(),         L.ForwardK(),
        L.ManualVal(), L.Tm(),
    };
    QByteArray out;
    for (const QString& line : lines) {
        out += Encode(line);
        out += "\r\n";
    }
    return out;
}

std::optional<QString> SavePidFile(const QString& path, const clsPID* loop,
                                   const SaveInterruption& midway) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    const QByteArray bytes = PidFileBytes(loop);
    const qsizetype half = bytes.size() / 2;
    if (file.write(bytes.constData(), half) != half) {
        file.cancelWriting();
        return file.errorString();
    }
    if (midway && !midway()) {
        file.cancelWriting();
        return QStringLiteral("Write interrupted");
    }
    if (file.write(bytes.constData() + half, bytes.size() - half) != bytes.size() - half) {
        file.cancelWriting();
        return file.errorString();
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

PidFileRead ReadPidFile(const QString& path) {
    PidFileRead r;
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        r.error = kFileNotFound;
        return r;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        r.error = file.errorString();
        return r;
    }
    // One byte more than allowed, which the parser refuses as too large.
    const QByteArray bytes = file.read(PidFile::kMaxBytes + 1);
    file.close();
    return ParsePidFile(bytes);
}

PidFileRead ParsePidFile(const QByteArray& bytes) {
    PidFileRead r;
    if (bytes.size() > PidFile::kMaxBytes) {
        r.error = kTooLarge;
        return r;
    }
    QString why;
    const auto lines = PidLines(bytes, &why);
    if (!lines) {
        r.error = why;
        return r;
    }

    clsPID R;
    R.name((*lines)[0]);
    const auto mode = BoxToSingle(lines->at(1), &why);
    if (!mode) {
        r.error = why;
        return r;
    }
    const auto modeNumber = RoundToInt16(*mode);
    if (!modeNumber) {
        r.error = QStringLiteral("Overflow");
        return r;
    }
    R.AutoMode(*modeNumber == 1 ? 1 : 0);

    using Writer = ConversionResult (clsPID::*)(const QString&);
    static const Writer kWriters[] = {
        &clsPID::Setpoint, &clsPID::MaxContr, &clsPID::MinContr,  &clsPID::K,
        &clsPID::Ti,       &clsPID::Td,       &clsPID::tt,        &clsPID::N,
        &clsPID::b,        &clsPID::ForwardK, &clsPID::ManualVal, &clsPID::Tm,
    };
    for (int i = 0; i < 12; ++i) {
        const ConversionResult c = (R.*kWriters[i])(lines->at(i + 2));
        if (!c) {
            r.error = c.description();
            return r;
        }
    }
    r.loop = std::move(R);
    return r;
}

QString DefaultPidFile(int listIndex) {
    switch (listIndex) {
        case 0:
            return QStringLiteral("Settings\\PID_def.PID");
        case 1:
            return QStringLiteral("Settings\\PICZA303_def.PID");
        case 2:
            return QStringLiteral("Settings\\PICZA304_def.PID");
        default:
            return QStringLiteral("Settings\\TICZA116_def.PID");
    }
}

QString SaveErrorText() {
    return QStringLiteral(" Error Saving PID settings to disk!");
}

QString LoadErrorText(const QString& description) {
    return QStringLiteral(" Error loading PID settings!") + description;
}

QString DefaultsErrorText(const QString& description, const QString& path) {
    return QStringLiteral(" Error loading PID settings! ") + QStringLiteral("\r\n") + description +
           QStringLiteral(": ") + path;
}

QString NameMismatchText(const QString& name) {
    return QStringLiteral(" Loading ") + name + QStringLiteral(" settings to your ") +
           QStringLiteral("\n") + QStringLiteral("current PID is not allowed!");
}

PidLoadOutcome LoadPidSettings(PidLoops& loops, int listIndex, const QString& path) {
    PidLoadOutcome out;
    PidFileRead read = ReadPidFile(path);
    if (!read.loop) {
        out.kind = PidLoadOutcome::Kind::Failed;
        out.messageText = LoadErrorText(read.error);
        return out;
    }
    clsPID* selected = loops.at(listIndex);
    if (selected != nullptr && read.loop->name() == selected->name()) {
        *selected = std::move(*read.loop);
        out.kind = PidLoadOutcome::Kind::Loaded;
        return out;
    }
    out.kind = PidLoadOutcome::Kind::NotAllowed;
    out.messageText = NameMismatchText(read.loop->name());
    return out;
}

PidLoadOutcome LoadPidDefaults(PidLoops& loops, int listIndex, const QString& path) {
    PidLoadOutcome out;
    PidFileRead read = ReadPidFile(path);
    if (!read.loop) {
        out.kind = PidLoadOutcome::Kind::Failed;
        out.messageText = DefaultsErrorText(read.error, QFileInfo(path).absoluteFilePath());
        return out;
    }
    if (clsPID* selected = loops.at(listIndex)) {
        *selected = std::move(*read.loop);
    }
    out.kind = PidLoadOutcome::Kind::Loaded;
    return out;
}

}  // namespace tuvik
