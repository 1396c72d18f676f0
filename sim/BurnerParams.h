#pragma once
// The burner's parameter definitions: the one list from which the simulator
// fills the burner's non-volatile memory and from which the PARAMS.h shipped
// beside the tool is written, so that the two cannot drift apart.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tuvik::sim {

struct BurnerParam {
    const char* name;
    int address;
    int width;     // bytes: 1, 2 or 4 (little-endian)
    int32_t init;  // factory value
    const char* comment;
};

// Addresses the burner model itself reads or keeps up to date.
namespace Addr {
inline constexpr int kVersion = 0;  // 16 bits
inline constexpr int kFeatures = 2;
inline constexpr int kDeviceType = 3;
inline constexpr int kFuelfeedTemp = 4;
inline constexpr int kGrateUptime = 6;
inline constexpr int kHeaterTime = 8;
inline constexpr int kFuelTimeFirst = 10;
inline constexpr int kFuelTimeSecond = 12;
inline constexpr int kFuelTimeRun = 14;
inline constexpr int kIrTrigLevel = 16;
inline constexpr int kFuelTimePause = 18;
inline constexpr int kGrateDownTime = 20;
inline constexpr int kFuelRampTemp = 22;
inline constexpr int kVfdRun = 24;
inline constexpr int kVfdStart = 25;
inline constexpr int kWaterSetpoint = 26;
inline constexpr int kWaterHysteresis = 27;
inline constexpr int kVfdIdle = 28;
inline constexpr int kVfdOff = 29;
inline constexpr int kFuelTimeIdle = 30;
inline constexpr int kFuelPauseIdle = 32;
inline constexpr int kFuelfeedTempIdle = 34;
inline constexpr int kMainEnd = 36;       // one past the main block
inline constexpr int kFirstWritable = 4;  // 0..3 are the read-only identification
inline constexpr int kLambdaSetpoint = 36;
inline constexpr int kLambdaGain = 37;
inline constexpr int kLambdaVfdMin = 38;
inline constexpr int kLambdaVfdMax = 39;
inline constexpr int kLambdaEnable = 40;
inline constexpr int kLambdaCalO2 = 41;
inline constexpr int kIgnitionRetries = 42;
inline constexpr int kStartupTimeout = 43;
inline constexpr int kCleanInterval = 44;
inline constexpr int kCleanFanTime = 46;
inline constexpr int kCleanFanVfd = 47;
inline constexpr int kFlameLostLevel = 48;
inline constexpr int kFlameLostTime = 50;
inline constexpr int kIdleMaxTime = 51;
inline constexpr int kErrorRetryTime = 53;
inline constexpr int kHeaterMaxTemp = 54;
inline constexpr int kGasTempMax = 56;
inline constexpr int kWaterMaxTemp = 60;
inline constexpr int kAugerRate = 64;
inline constexpr int kFuelHeatValue = 65;
inline constexpr int kIgnitionSparkTime = 66;
inline constexpr int kRunInitTime = 68;
inline constexpr int kIdleRunTime = 69;
inline constexpr int kFeedTempGain = 70;
inline constexpr int kErrorLast = 96;
inline constexpr int kErrorCount = 97;
inline constexpr int kStartCount = 98;
inline constexpr int kCleanCount = 100;
inline constexpr int kUsage = 1600;  // five 32-bit minute counters
inline constexpr int kHistIrStartup = 1696;
inline constexpr int kHistIrRun = 1698;
inline constexpr int kHistTemp = 1700;  // 120 words, classes 200, 205, ..., 795 C
inline constexpr int kHistEnd = 1940;
}  // namespace Addr

std::span<const BurnerParam> BurnerParams();

// The PARAMS.h text for the list above.
QByteArray ParamsHeaderText();

// One definition as the tool reads it from PARAMS.h.
struct ParamsEntry {
    QString name;  // trimmed
    int address = 0;
    QString comment;
};

// Reads a PARAMS.h text by the tool's line rules. Stops, as the tool does, at
// a line whose address does not fit 16 bits; lines without a positive address
// give no entry.
std::vector<ParamsEntry> ParseParamsHeader(const QByteArray& text);

// The tool's lenient number reading: blanks skipped, leading number read,
// &H / &O prefixes, nothing readable gives 0.
double TextToNumberLenient(const QString& text);

}  // namespace tuvik::sim
