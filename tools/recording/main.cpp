// tuvik-recording: prints a session recording as text for support, or as
// CSV with --csv. A damaged recording is printed up to the damage; a line
// on stderr then says where reading stopped, and the exit code is 1.
#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <cstdio>

#include "link/RecordingReader.h"
#include "shell/RecordingDump.h"

namespace {

void Print(FILE* f, const QString& line) {
    std::fputs(line.toUtf8().constData(), f);
    std::fputc('\n', f);
}

int Usage(FILE* f, int code) {
    Print(f, QStringLiteral(
                 "usage: tuvik-recording [--csv] <recording.pcapng.zst>\n"
                 "Prints a session recording of the Tuvik tool: time in seconds from the start,\n"
                 "direction (rx from the device, tx to it), command, bytes in hex and their\n"
                 "meaning where known. --csv prints the same columns as CSV. A damaged\n"
                 "recording is printed up to the damage, then stderr says where it stopped\n"
                 "and the exit code is 1 (2: the file cannot be read as a recording)."));
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool csv = false;
    QString path;
    for (const QString& a : QCoreApplication::arguments().mid(1)) {
        if (a == QLatin1String("--csv")) {
            csv = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            return Usage(stdout, 0);
        } else if (path.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            path = a;
        } else {
            return Usage(stderr, 2);
        }
    }
    if (path.isEmpty()) {
        return Usage(stderr, 2);
    }
    QString error;
    const auto reader = tuvik::RecordingReader::Open(path, &error);
    if (!reader) {
        Print(stderr, QStringLiteral("tuvik-recording: ") + path + QStringLiteral(": ") + error);
        return 2;
    }
    const tuvik::RecordingInfo& info = reader->info();
    const QString start =
        QDateTime::fromMSecsSinceEpoch(info.startUtcMs, Qt::UTC).toString(Qt::ISODateWithMs);
    const QStringList header = {
        QStringLiteral("format ") + QString::number(info.formatVersion),
        QStringLiteral("tool ") + info.toolVersion,
        QStringLiteral("link ") + info.linkKind + u' ' + info.endpoint,
        QStringLiteral("speed ") + QString::number(info.speed),
        QStringLiteral("refresh_ms ") + QString::number(info.refreshMs),
        QStringLiteral("params ") + info.paramsName + u' ' + info.paramsChecksum,
        QStringLiteral("start_utc ") + start,
        QStringLiteral("chunks ") + QString::number(reader->chunkCount()),
        QStringLiteral("length_s ") + QString::number(reader->lengthUs() / 1e6, 'f', 6)};
    if (csv) {
        Print(stdout, tuvik::DumpCsvHeader());
    } else {
        for (const QString& h : header) {
            Print(stdout, QStringLiteral("# ") + h);
        }
    }
    tuvik::DumpRecording(*reader, [csv](const tuvik::DumpRow& row) {
        Print(stdout, csv ? tuvik::DumpRowCsv(row) : tuvik::DumpRowText(row));
    });
    if (!reader->stopReason().isEmpty()) {
        std::fflush(stdout);
        Print(stderr, QStringLiteral("tuvik-recording: ") + path + QStringLiteral(": ") +
                          reader->stopReason());
        return 1;
    }
    return 0;
}
