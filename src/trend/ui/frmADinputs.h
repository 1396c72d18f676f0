#pragma once
// The analog inputs window: AD0..AD3 on the upper chart, AD4..AD7 on the
// lower one. While it is open it polls the analog inputs in place of the
// link's periodic request and redraws both charts every second.
//
// Showing the window loads it; closing it unloads it and only hides it, so
// the object can be shown again (the samples live in the session's tables
// and carry over). Destroying an open window unloads it first. The window
// must not outlive the tables it was given.

#include <QString>
#include <QWidget>

#include <functional>

class QTimer;

namespace tuvik {

class AnalogPolling;
class DeviceLink;
class TrendArray;
class TrendChartWidget;

// What the window polls with and shows.
struct AnalogWindowInputs {
    std::function<DeviceLink*()> activeLink;
    TrendArray& inputs0to3;
    TrendArray& inputs4to7;
    // The refresh box's text, read at each load.
    std::function<QString()> refreshText;
};

class frmADinputs : public QWidget {
    Q_OBJECT
  public:
    explicit frmADinputs(AnalogWindowInputs inputs, QWidget* parent = nullptr);
    ~frmADinputs() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Load();
    void Unload();
    void Redraw();

    AnalogWindowInputs inputs_;
    AnalogPolling* polling_ = nullptr;
    TrendChartWidget* inputs0to3Chart_ = nullptr;
    TrendChartWidget* inputs4to7Chart_ = nullptr;
    QTimer* redrawTimer_ = nullptr;   // redraws both charts
    QTimer* requestTimer_ = nullptr;  // sends the analog-input request
    bool loaded_ = false;
};

}  // namespace tuvik
