// The files shipped beside the tool agree with the simulated devices and
// with the rules the tool reads them by.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <set>

#include "BurnerParams.h"
#include "ControllerSim.h"

using namespace tuvik::sim;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kData = QStringLiteral(TUVIK_SOURCE_DATA_DIR);
const QString kApp = QStringLiteral(TUVIK_BUILD_APP_DIR);
const QString kSimData = QStringLiteral(TUVIK_SOURCE_SIM_DATA_DIR);
const QString kSimBin = QFileInfo(QStringLiteral(TUVIK_SIM_EXE)).absolutePath();

}  // namespace

TEST(ParamsHeader, ShippedFileIsTheOneTheSimulatorIsBuiltFrom) {
    const QByteArray shipped = ReadAll(kSimData + "/PARAMS.h");
    ASSERT_FALSE(shipped.isEmpty());
    EXPECT_EQ(shipped, ParamsHeaderText())
        << "regenerate with: tuvik-sim --print-params > sim/data/PARAMS.h";
    EXPECT_EQ(ReadAll(kSimBin + "/PARAMS.h"), shipped) << "the copy beside the built simulator";
    EXPECT_FALSE(QFile::exists(kApp + "/PARAMS.h"))
        << "the tool must not find the simulator's map beside itself";
}

TEST(ParamsHeader, ReadByTheToolsLineRulesItGivesEveryParameterOfTheSimulator) {
    const auto entries = ParseParamsHeader(ReadAll(kSimData + "/PARAMS.h"));
    const auto params = BurnerParams();
    ASSERT_EQ(entries.size(), params.size()) << "the include guard gives no entry";
    EXPECT_GE(entries.size(), 60u);
    std::set<int> addresses;
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].name.toStdString(), params[i].name);
        EXPECT_EQ(entries[i].address, params[i].address) << params[i].name;
        EXPECT_FALSE(entries[i].comment.isEmpty()) << params[i].name;
        EXPECT_LE(entries[i].name.size(), 50);
        EXPECT_TRUE(addresses.insert(entries[i].address).second) << "one parameter per address";
        // Nothing of the burner may lie where controller writes go.
        EXPECT_FALSE(ControllerSim::Overlaps(params[i].address, params[i].width)) << params[i].name;
        EXPECT_LE(params[i].address + params[i].width, 65536);
    }
    // Wider values do not run into the next parameter.
    for (size_t i = 0; i + 1 < params.size(); ++i) {
        if (params[i + 1].address > params[i].address) {
            EXPECT_LE(params[i].address + params[i].width, params[i + 1].address) << params[i].name;
        }
    }
}

TEST(ParamsHeader, TheNineteenMainParametersSitAtTheirAddresses) {
    std::map<int, int> widthAt;
    for (const ParamsEntry& e : ParseParamsHeader(ParamsHeaderText())) {
        for (const BurnerParam& p : BurnerParams()) {
            if (p.address == e.address) {
                widthAt[e.address] = p.width;
            }
        }
    }
    const int words[] = {4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 30, 32, 34};
    const int bytes[] = {24, 25, 26, 27, 28, 29};
    for (int a : words) {
        EXPECT_EQ(widthAt[a], 2) << a;
    }
    for (int a : bytes) {
        EXPECT_EQ(widthAt[a], 1) << a;
    }
}

TEST(ParamsHeader, AddressesTheModelUsesAreTheNamedOnes) {
    std::map<std::string, int> byName;
    for (const BurnerParam& p : BurnerParams()) {
        byName[p.name] = p.address;
    }
    EXPECT_EQ(byName["VFD_RUN"], Addr::kVfdRun);
    EXPECT_EQ(byName["WATER_SETPOINT"], Addr::kWaterSetpoint);
    EXPECT_EQ(byName["IR_TRIG_LEVEL"], Addr::kIrTrigLevel);
    EXPECT_EQ(byName["STARTUP_TIMEOUT"], Addr::kStartupTimeout);
    EXPECT_EQ(byName["IGNITION_RETRIES"], Addr::kIgnitionRetries);
    EXPECT_EQ(byName["CLEAN_INTERVAL"], Addr::kCleanInterval);
    EXPECT_EQ(byName["GAS_TEMP_MAX"], Addr::kGasTempMax);
    EXPECT_EQ(byName["HEATER_MAX_TEMP"], Addr::kHeaterMaxTemp);
    EXPECT_EQ(byName["WATER_MAX_TEMP"], Addr::kWaterMaxTemp);
    EXPECT_EQ(byName["FUEL_HEAT_VALUE"], Addr::kFuelHeatValue);
    EXPECT_EQ(byName["AUGER_RATE"], Addr::kAugerRate);
    EXPECT_EQ(byName["FEED_TEMP_GAIN"], Addr::kFeedTempGain);
    EXPECT_EQ(byName["LAMBDA_ENABLE"], Addr::kLambdaEnable);
    EXPECT_EQ(byName["ERROR_LAST"], Addr::kErrorLast);
    EXPECT_EQ(byName["USAGE_POWER_ON"], Addr::kUsage);
    EXPECT_EQ(byName["HIST_IR_STARTUP"], Addr::kHistIrStartup);
    EXPECT_EQ(byName["HIST_TGAS_FIRST"], Addr::kHistTemp);
    EXPECT_EQ(byName["HIST_TGAS_LAST"], Addr::kHistEnd - 2);
}

TEST(ParamsHeader, LineRulesOfTheReader) {
    const auto e = ParseParamsHeader(
        "#ifndef X\n#define X\n#define\tFUEL_MAX\t250 // max\n#define A 2.5\n#define B 3.5\n"
        "#define C 0x10\n#define D &H10\n#define E 5 6\n// #define OLD 12\n#define F -5\n"
        "#define G 3 // was #define G 4\r\n#define BIG 40000\n#define AFTER 7\n");
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].name, "FUEL_MAX");
    EXPECT_EQ(e[0].address, 250);
    EXPECT_EQ(e[0].comment, "max");
    EXPECT_EQ(e[1].address, 2);
    EXPECT_EQ(e[2].address, 4);
    EXPECT_EQ(e[3].address, 16);
    EXPECT_EQ(e[4].address, 56);
    EXPECT_EQ(e[5].name, "G");
    EXPECT_EQ(e[5].address, 3);
}

// The default settings files: 14 lines with CR LF, values the editor accepts,
// and the same numbers the simulated controller starts with.
TEST(DefaultSettingsFiles, MatchTheControllerFactorySettingsAndPassValidation) {
    const auto& defaults = ControllerSim::Defaults();
    for (int i = 0; i < ControllerSim::kLoops; ++i) {
        const QString rel = QStringLiteral("Settings/") + defaults[i].settingsFile;
        const QByteArray text = ReadAll(kData + "/" + rel);
        ASSERT_FALSE(text.isEmpty()) << rel.toStdString();
        EXPECT_EQ(ReadAll(kApp + "/" + rel), text) << "copy beside the built tool";
        ASSERT_TRUE(text.endsWith("\r\n"));
        const QList<QByteArray> lines = text.left(text.size() - 2).split('\n');
        ASSERT_EQ(lines.size(), 14) << rel.toStdString();
        for (const QByteArray& l : lines.mid(0, 13)) {
            EXPECT_TRUE(l.endsWith('\r'));
        }
        auto num = [&](int line) {
            bool ok = false;
            const double v = lines[line - 1].trimmed().toDouble(&ok);
            EXPECT_TRUE(ok) << rel.toStdString() << " line " << line;
            return v;
        };
        const PidParams& p = defaults[i].params;
        EXPECT_EQ(lines[0].trimmed().toStdString(), defaults[i].tag);
        EXPECT_EQ(lines[1], QByteArray(p.AutoMode() ? " 1 \r" : " 0 \r"));
        EXPECT_FLOAT_EQ(num(3), p.setpoint);
        EXPECT_FLOAT_EQ(num(4), p.maxContr);
        EXPECT_FLOAT_EQ(num(5), p.minContr);
        EXPECT_FLOAT_EQ(num(6), p.K);
        EXPECT_FLOAT_EQ(num(7), p.Ti);
        EXPECT_FLOAT_EQ(num(8), p.Td);
        EXPECT_FLOAT_EQ(num(9), p.tt);
        EXPECT_FLOAT_EQ(num(10), p.N);
        EXPECT_FLOAT_EQ(num(11), p.b);
        EXPECT_FLOAT_EQ(num(12), p.forwardK);
        EXPECT_FLOAT_EQ(num(13), p.manualVal);
        EXPECT_FLOAT_EQ(num(14), p.Tm);
        // The editor's limits: loop 0 has the wide ones.
        const bool first = i == 0;
        EXPECT_LE(num(3), first ? 3000 : 1000);
        EXPECT_LE(num(4), first ? 500 : 100);
        EXPECT_LE(num(5), i == 3 ? 49 : (first ? 500 : 100));
        EXPECT_LE(num(6), first ? 200 : 10);
        EXPECT_GE(num(7), first ? 0.01 : 0.2);
        EXPECT_GE(num(9), 0.05);
        EXPECT_GE(num(10), 1);
        EXPECT_LE(num(10), 5);
        EXPECT_GE(num(11), 0.05);
        EXPECT_LE(num(11), 1);
        EXPECT_GE(num(14), 0.2);
        EXPECT_LE(num(13), 100);
    }
}
