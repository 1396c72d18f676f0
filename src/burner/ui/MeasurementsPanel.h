#pragma once
// The burner window's measurements column: the readings, the actuator LEDs,
// the usage-time counters and the program state as the burner last sent
// them, the "save measurements" check box, and the buttons for the lambda
// calibration, the parameter initialisation and the two secondary windows.

#include <QGroupBox>

#include <array>

#include "burner/BurnerMeasurements.h"
#include "support/ui/LedWidget.h"

class QCheckBox;
class QLabel;

namespace tuvik {

class MeasurementsPanel : public QGroupBox {
    Q_OBJECT
  public:
    static constexpr int kLedCount = 12;
    static constexpr int kUsageCount = BurnerUsageTimes::kCounters;

    explicit MeasurementsPanel(QWidget* parent = nullptr);

    // The readings so far; a label no reply has filled stays empty, the LEDs
    // stay as they are until a reply holds the device state.
    void ShowReadings(const BurnerMeasurements& readings);
    // The counters so far; one no reply has held stays empty.
    void ShowUsageTimes(const BurnerUsageTimes& u);

  signals:
    void savingToggled(bool on);
    void calibrateLambdaClicked();
    void initParamsClicked();
    void allParamsClicked();
    void extrasClicked();

  private:
    LedPictures leds_;
    std::array<QLabel*, kBurnerReadings> readings_{};  // by BurnerReading
    std::array<LedWidget*, kLedCount> imgDev_{};
    std::array<QLabel*, kUsageCount> lblUsageTime_{};
};

}  // namespace tuvik
