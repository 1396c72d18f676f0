#pragma once
// Records what the reply dispatcher announces, one list per signal. The
// burner measurements are decoded under `identity`, as the burner model
// would. Header-only and free of GoogleTest, so the fuzz targets can use it too.

#include <QStringList>

#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "burner/BurnerMeasurements.h"
#include "shell/ReplyDispatcher.h"

namespace tuvik::test {

struct DispatchRecorder {
    QStringList captions;
    std::vector<int> started;  // the device's start codes
    std::vector<bool> alarms;
    std::vector<int> statusRecords;  // the loop that took each
    int acks = 0;
    int refused = 0;
    BurnerIdentity identity;
    std::vector<BurnerMeasurements> measurements;
    std::vector<BurnerUsageTimes> usageTimes;
    std::vector<std::vector<uint8_t>> paramSets;
    std::vector<std::tuple<int32_t, int32_t, bool>> values;  // value, address, word
    std::vector<std::pair<int32_t, int32_t>> histogram;      // value, address
    QStringList messages;

    explicit DispatchRecorder(ReplyDispatcher& d) {
        using D = ReplyDispatcher;
        QObject::connect(&d, &D::captionLine, [this](const QString& t) { captions << t; });
        QObject::connect(&d, &D::deviceStarted, [this](int code) { started.push_back(code); });
        QObject::connect(&d, &D::alarmShown, [this](bool on) { alarms.push_back(on); });
        QObject::connect(&d, &D::statusRecordTaken,
                         [this](int loop) { statusRecords.push_back(loop); });
        QObject::connect(&d, &D::writeAcknowledged, [this](bool ok) { ++(ok ? acks : refused); });
        QObject::connect(&d, &D::burnerMeasurements, [this](std::span<const uint8_t> data) {
            measurements.push_back(DecodeBurnerMeasurements(data, identity));
        });
        QObject::connect(&d, &D::usageCounters,
                         [this](const BurnerUsageTimes& u) { usageTimes.push_back(u); });
        QObject::connect(&d, &D::parameterSet, [this](std::span<const uint8_t> data) {
            paramSets.emplace_back(data.begin(), data.end());
        });
        QObject::connect(&d, &D::memoryValue, [this](int32_t value, int32_t address, bool word) {
            values.emplace_back(value, address, word);
        });
        QObject::connect(&d, &D::histogramPart, [this](int32_t value, int32_t address) {
            histogram.emplace_back(value, address);
        });
        QObject::connect(&d, &D::actuatorEvent,
                         [this](const QString& device, const QString& activity,
                                const QString& clock, const QString& state) {
                             messages << QStringList{device, activity, clock, state}.join(u';');
                         });
    }
};

}  // namespace tuvik::test
