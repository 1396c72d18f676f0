// Feeds arbitrary bytes to the monitor's INI reader: a refusal names a line
// of the input or a key, and a configuration it takes, written back as INI
// from what --check-config prints, reads back to the same configuration.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

#include "FuzzUtil.h"
#include "monitor/MonitorConfigReader.h"

using tuvik::fuzz::Check;
using tuvik::monitor::MonitorConfig;
using tuvik::monitor::MonitorConfigReader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = tuvik::fuzz::Bytes(data, size);
    MonitorConfig config;
    if (const auto e = MonitorConfigReader::Read(bytes, config)) {
        Check(!e->what.isEmpty() && e->line >= 1 && e->line <= bytes.count('\n') + 1);
        return 0;
    }
    const QString shown = MonitorConfigReader::Describe(config);
    QByteArray ini;
    for (const QString& line : shown.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype dot = line.indexOf(QLatin1Char('.'));
        const qsizetype eq = line.indexOf(QStringLiteral(" = "));
        Check(eq > 0);
        if (line.startsWith(QStringLiteral("mqtt.password ")) || dot < 0 || dot > eq) {
            continue;  // not a key of the file
        }
        ini += '[' + line.left(dot).toUtf8() + "]\n" + line.mid(dot + 1, eq - dot - 1).toUtf8() +
               " = \"" + line.mid(eq + 3).toUtf8() + "\"\n";
    }
    MonitorConfig again;
    Check(!MonitorConfigReader::Read(ini, again));
    Check(MonitorConfigReader::Describe(again) == shown);
    return 0;
}
