#include "BurnerParams.h"

#include <QStringList>

#include <array>
#include <cmath>

namespace tuvik::sim {

namespace {

// clang-format off
const BurnerParam kParams[] = {
    // Identification (0..1 hold the firmware version and are not listed).
    {"FEATURES",            2,  1, 3,    "feature bits: 1 = O2 sensor, 2 = flame sensor"},
    {"DEVICE_TYPE",         3,  1, 100,  "device type, 100 = Flamora pellet burner"},
    // Main parameters.
    {"FUELFEED_TEMP",       4,  2, 250,  "flue gas target temperature in RUN mode, C"},
    {"GRATE_UPTIME",        6,  2, 10,   "grate motor run time upwards, s"},
    {"HEATER_TIME",         8,  2, 120,  "startup heater on-time after warm-up, s"},
    {"FUEL_TIME_FIRST",     10, 2, 25,   "first fuel feed of a startup, s"},
    {"FUEL_TIME_SECOND",    12, 2, 8,    "second fuel feed of a startup, s"},
    {"FUEL_TIME_RUN",       14, 2, 30,   "fuel feed time in RUN mode, 0.1 s"},
    {"IR_TRIG_LEVEL",       16, 2, 300,  "flame signal that ends a startup"},
    {"FUEL_TIME_PAUSE",     18, 2, 120,  "pause between feeds in RUN mode, 0.1 s"},
    {"GRATE_DOWNTIME",      20, 2, 5,    "grate motor run time downwards, s"},
    {"FUEL_RAMP_TEMP",      22, 2, 80,   "flue gas temperature that starts the second feed, C"},
    {"VFD_RUN",             24, 1, 70,   "fan drive in RUN mode, 0-100 %"},
    {"VFD_START",           25, 1, 35,   "fan drive during startup, 0-100 %"},
    {"WATER_SETPOINT",      26, 1, 70,   "boiler water setpoint, C (0 = burner off)"},
    {"WATER_HYSTERESIS",    27, 1, 5,    "boiler water hysteresis, C"},
    {"VFD_IDLE",            28, 1, 30,   "fan drive in IDLE mode, 0-100 %"},
    {"VFD_OFF",             29, 1, 0,    "fan drive in OFF mode, 0-100 %"},
    {"FUEL_TIME_IDLE",      30, 2, 15,   "fuel feed time in IDLE mode, 0.1 s"},
    {"FUEL_PAUSE_IDLE",     32, 2, 300,  "pause between feeds in IDLE mode, 0.1 s"},
    {"FUELFEED_TEMP_IDLE",  34, 2, 160,  "flue gas target temperature in IDLE mode, C"},
    // Combustion.
    {"LAMBDA_SETPOINT",     36, 1, 75,   "flue gas O2 target, 0.1 %"},
    {"LAMBDA_GAIN",         37, 1, 20,   "fan correction per % of O2 deviation, 0.1 %"},
    {"LAMBDA_VFD_MIN",      38, 1, 20,   "lowest fan drive the O2 trim may use, %"},
    {"LAMBDA_VFD_MAX",      39, 1, 100,  "highest fan drive the O2 trim may use, %"},
    {"LAMBDA_ENABLE",       40, 1, 0,    "O2 trim of the fan drive: 0 = off, 1 = on"},
    {"LAMBDA_CAL_O2",       41, 1, 209,  "O2 content of air used by the calibration, 0.1 %"},
    {"IGNITION_RETRIES",    42, 1, 2,    "startups tried before the error state"},
    {"STARTUP_TIMEOUT",     43, 1, 15,   "minutes a startup may take before it fails"},
    {"CLEAN_INTERVAL",      44, 2, 240,  "minutes of burning between cleanings, 0 = never"},
    {"CLEAN_FAN_TIME",      46, 1, 30,   "fan blow time of a cleaning, s"},
    {"CLEAN_FAN_VFD",       47, 1, 100,  "fan drive during a cleaning, %"},
    {"FLAME_LOST_LEVEL",    48, 2, 80,   "flame signal below which the flame counts as lost"},
    {"FLAME_LOST_TIME",     50, 1, 60,   "seconds of low flame signal before a restart"},
    {"IDLE_MAX_TIME",       51, 1, 60,   "minutes in IDLE before the burner goes OFF"},
    {"POST_PURGE_TIME",     52, 1, 90,   "fan run-on after the flame has gone, s"},
    {"ERROR_RETRY_TIME",    53, 1, 10,   "minutes in the error state before a new try, 0 = stay"},
    // Limits.
    {"HEATER_MAX_TEMP",     54, 2, 820,  "startup heater cut-out temperature, C"},
    {"GAS_TEMP_MAX",        56, 2, 450,  "flue gas temperature that stops the fuel feed, C"},
    {"GAS_TEMP_ALARM",      58, 2, 520,  "flue gas temperature alarm, C"},
    {"WATER_MAX_TEMP",      60, 1, 92,   "boiler overheat limit, C"},
    {"WATER_MIN_TEMP",      61, 1, 8,    "frost protection limit, C"},
    {"PUMP_START_TEMP",     62, 1, 45,   "boiler pump on above this water temperature, C"},
    {"PUMP_STOP_TEMP",      63, 1, 40,   "boiler pump off below this water temperature, C"},
    // Fuel and timing.
    {"AUGER_RATE",          64, 1, 20,   "auger feed rate, 0.1 g/s"},
    {"FUEL_HEAT_VALUE",     65, 1, 48,   "fuel heat value, 0.1 kWh/kg"},
    {"IGNITION_SPARK_TIME", 66, 1, 60,   "igniter spark time of a startup, s"},
    {"HEATER_PREHEAT",      67, 1, 30,   "heater preheat before the first feed, s"},
    {"RUNINIT_TIME",        68, 1, 10,   "length of the RUN init state, s"},
    {"IDLE_RUN_TIME",       69, 1, 5,    "length of each IDLE to RUN step, s"},
    {"FEED_TEMP_GAIN",      70, 1, 10,   "feed pause correction per 10 C flue gas deviation, %"},
    // Panel and service.
    {"DISPLAY_CONTRAST",    72, 1, 40,   "display contrast, 0-63"},
    {"DISPLAY_LANGUAGE",    73, 1, 1,    "display language: 0 = English, 1 = Finnish"},
    {"MODBUS_ADDRESS",      74, 1, 1,    "bus address of the burner"},
    {"SERIAL_SPEED",        75, 1, 2,    "service port speed: 0 = 9600, 1 = 38400, 2 = 76800"},
    {"IR_FILTER",           76, 1, 8,    "flame signal filter length, samples"},
    {"TGAS_OFFSET",         77, 1, 128,  "flue gas sensor offset, 128 = 0 C"},
    {"TWATER_OFFSET",       78, 1, 128,  "water sensor offset, 128 = 0.0 C"},
    {"THEATER_OFFSET",      79, 1, 128,  "heater thermocouple offset, 128 = 0 C"},
    {"ERROR_LAST",          96, 1, 0,    "last error: 1 = no ignition, 2 = flame lost, 3 = overheat"},
    {"ERROR_COUNT",         97, 1, 0,    "errors since the counters were cleared"},
    {"START_COUNT",         98, 2, 1873, "startups since manufacture"},
    {"CLEAN_COUNT",         100, 2, 412, "cleanings since manufacture"},
    {"SERIAL_NUMBER",       104, 2, 22017, "serial number of the burner"},
    {"PRODUCTION_WEEK",     106, 1, 23,  "production week"},
    {"PRODUCTION_YEAR",     107, 1, 14,  "production year - 2000"},
    // Usage counters, 32 bits each, minutes.
    {"USAGE_POWER_ON",      1600, 4, 593280, "power-on time, min"},
    {"USAGE_STARTUP",       1604, 4, 7415,   "time in startup, min"},
    {"USAGE_RUN",           1608, 4, 318900, "time in RUN mode, min"},
    {"USAGE_IDLE",          1612, 4, 201337, "time in IDLE mode, min"},
    {"USAGE_OFF",           1616, 4, 65628,  "time in OFF mode, min"},
    // Histogram.
    {"HIST_IR_STARTUP",     1696, 2, 4125, "average flame signal at the end of startups, 0.1"},
    {"HIST_IR_RUN",         1698, 2, 6480, "average flame signal in RUN mode, 0.1"},
    {"HIST_TGAS_FIRST",     1700, 2, 0,    "minutes with flue gas at 200-204 C; one word per 5 C"},
    {"HIST_TGAS_LAST",      1938, 2, 0,    "minutes with flue gas at 795 C or above"},
};
// clang-format on

// Reads an unsigned number in the given base from t[i...].
double ReadBased(const QString& t, qsizetype i, int base) {
    double v = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i].toLatin1();
        int d = -1;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        }
        if (d < 0 || d >= base) {
            break;
        }
        v = v * base + d;
    }
    return v;
}

}  // namespace

std::span<const BurnerParam> BurnerParams() {
    return kParams;
}

QByteArray ParamsHeaderText() {
    QByteArray out;
    out += "// PARAMS.h - Flamora pellet burner, firmware 1.506\n";
    out += "// Addresses of the parameters in the burner's non-volatile memory.\n";
    out += "// One parameter per address; 16-bit and 32-bit values are stored low byte\n";
    out += "// first and also take the next one or three addresses. Addresses 0 and 1\n";
    out += "// hold the firmware version and are read only.\n";
    out += "#ifndef PARAMS_H\n#define PARAMS_H\n";
    const char* sections[][2] = {{"FEATURES", "Identification"},
                                 {"FUELFEED_TEMP", "Main parameters (the burner window's set)"},
                                 {"LAMBDA_SETPOINT", "Combustion"},
                                 {"HEATER_MAX_TEMP", "Limits"},
                                 {"AUGER_RATE", "Fuel and timing"},
                                 {"DISPLAY_CONTRAST", "Panel and service"},
                                 {"USAGE_POWER_ON", "Usage counters, 32 bits, minutes"},
                                 {"HIST_IR_STARTUP", "Histogram, 16-bit words 1696..1939"}};
    for (const BurnerParam& p : kParams) {
        for (const auto& s : sections) {
            if (qstrcmp(s[0], p.name) == 0) {
                out += "\n// ";
                out += s[1];
                out += "\n";
            }
        }
        QByteArray line = "#define ";
        line += QByteArray(p.name).leftJustified(24, ' ');
        line += QByteArray::number(p.address).leftJustified(6, ' ');
        line += "// ";
        line += p.comment;
        out += line + "\n";
    }
    out += "\n#endif // PARAMS_H\n";
    return out;
}

double TextToNumberLenient(const QString& text) {
    QString t;
    for (QChar c : text) {
        if (c != ' ' && c != '\t') {
            t += c;
        }
    }
    if (t.startsWith("&H", Qt::CaseInsensitive)) {
        return ReadBased(t, 2, 16);
    }
    if (t.startsWith("&O", Qt::CaseInsensitive)) {
        return ReadBased(t, 2, 8);
    }
    qsizetype i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        ++i;
    }
    while (i < t.size() && t[i].isDigit()) {
        ++i;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i].isDigit()) {
            ++i;
        }
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        qsizetype j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) {
            ++j;
        }
        if (j < t.size() && t[j].isDigit()) {
            while (j < t.size() && t[j].isDigit()) {
                ++j;
            }
            i = j;
        }
    }
    bool ok = false;
    const double v = t.left(i).toDouble(&ok);
    return ok ? v : 0.0;
}

std::vector<ParamsEntry> ParseParamsHeader(const QByteArray& text) {
    std::vector<ParamsEntry> out;
    for (QByteArray raw : text.split('\n')) {
        if (raw.endsWith('\r')) {
            raw.chop(1);
        }
        QString line = QString::fromLatin1(raw);
        if (!line.contains("#define")) {
            continue;
        }
        line.remove("#define");
        QString comment;
        const qsizetype c = line.indexOf("//");
        if (c >= 0) {
            comment = line.mid(c + 2);
            line = line.left(c);
        }
        line.replace('\t', ' ');
        line = line.trimmed();
        const qsizetype sp = line.indexOf(' ');
        const QString name = sp < 0 ? QString() : line.left(sp).trimmed();
        const QString addrText = sp < 0 ? line : line.mid(sp + 1);
        const double v = std::nearbyint(TextToNumberLenient(addrText));  // halves to even
        if (v < -32768 || v > 32767) {
            break;
        }
        if (v <= 0) {
            continue;
        }
        out.push_back({name, static_cast<int>(v), comment.trimmed()});
    }
    return out;
}

}  // namespace tuvik::sim
