#pragma once
// What the reply dispatcher drives besides the loop objects: one small
// interface per window. The windows implement them; a target that is not
// there (nullptr) is skipped.

#include <QString>

#include <cstdint>
#include <span>

#include "burner/BurnerMeasurements.h"

namespace tuvik {

class MainWindowTarget {
  public:
    virtual ~MainWindowTarget() = default;
    // The title bar line.
    virtual void SetCaption(const QString& text) = 0;
    // Frame1 red while the controller reports an alarm, the normal colour otherwise.
    virtual void SetAlarm(bool on) = 0;
};

class BurnerWindowTarget {
  public:
    virtual ~BurnerWindowTarget() = default;
    // Labels (by object name) and LEDs from a measurement reply; only what it held.
    virtual void ShowMeasurements(const BurnerMeasurements& m) = 0;
    // Captions and tooltips of lblUsageTime(i).
    virtual void ShowUsageTimes(const BurnerUsageTimes& u) = 0;
    // A whole measurement reply has been shown.
    virtual void MeasuresUpdated() = 0;
    // The parameter-set reply (identification, then the parameter block).
    virtual void ParamSetReceived(std::span<const uint8_t> data) = 0;
    // The single-parameter value box txtValue.
    virtual void SetValueText(const QString& text) = 0;
    // A byte (0x8B) or word (0x55) read reply with its address; by default
    // its value goes to txtValue.
    virtual void ValueRead(int32_t value, int32_t address, bool word) {
        (void)address;
        (void)word;
        SetValueText(QString::number(value));
    }
};

class AllParamsTarget {
  public:
    virtual ~AllParamsTarget() = default;
    // True while the all-parameters window is loaded.
    virtual bool AllParamsOpen() const = 0;
    virtual void DataUpdate(int32_t value, int32_t address) = 0;
};

class HistogramTarget {
  public:
    virtual ~HistogramTarget() = default;
    // value is the word as read, 0..65535.
    virtual void addHistogramEntry(int32_t value, int32_t address) = 0;
};

class MessageLogTarget {
  public:
    virtual ~MessageLogTarget() = default;
    // An actuator's report (0x8C): actuator name, " started " or " stopped ",
    // its clock and the program state, one column each in the daily file.
    virtual void ActuatorEvent(const QString& device, const QString& activity, const QString& clock,
                               const QString& state) = 0;
};

}  // namespace tuvik
