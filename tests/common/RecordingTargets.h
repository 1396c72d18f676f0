#pragma once
// Stand-ins for the windows that the reply dispatcher drives: each records
// what it was told. Header-only and free of GoogleTest, so the fuzz targets
// and benchmarks can use them too.

#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

#include "shell/DispatchTargets.h"

namespace tuvik::test {

struct RecordingMainWindow : MainWindowTarget {
    QStringList captions;
    std::vector<bool> alarms;
    void SetCaption(const QString& text) override { captions << text; }
    void SetAlarm(bool on) override { alarms.push_back(on); }
};

struct RecordingBurnerWindow : BurnerWindowTarget {
    std::vector<BurnerMeasurements> measurements;
    std::vector<BurnerUsageTimes> usageTimes;
    int measuresUpdated = 0;
    std::vector<std::vector<uint8_t>> paramSets;
    QStringList valueTexts;
    void ShowMeasurements(const BurnerMeasurements& m) override { measurements.push_back(m); }
    void ShowUsageTimes(const BurnerUsageTimes& u) override { usageTimes.push_back(u); }
    void MeasuresUpdated() override { ++measuresUpdated; }
    void ParamSetReceived(std::span<const uint8_t> data) override {
        paramSets.emplace_back(data.begin(), data.end());
    }
    void SetValueText(const QString& text) override { valueTexts << text; }
};

struct RecordingAllParams : AllParamsTarget {
    bool open = false;
    std::vector<std::pair<int32_t, int32_t>> updates;  // value, address
    bool AllParamsOpen() const override { return open; }
    void DataUpdate(int32_t value, int32_t address) override {
        updates.emplace_back(value, address);
    }
};

struct RecordingHistogram : HistogramTarget {
    std::vector<std::pair<int32_t, int32_t>> entries;  // value, address
    void addHistogramEntry(int32_t value, int32_t address) override {
        entries.emplace_back(value, address);
    }
};

struct RecordingMessageLog : MessageLogTarget {
    QStringList messages;
    void ActuatorEvent(const QString& device, const QString& activity, const QString& clock,
                       const QString& state) override {
        messages << QStringList{device, activity, clock, state}.join(u';');
    }
};

}  // namespace tuvik::test
