#pragma once
// What the analog inputs window does to the rest of the program, without any
// widget: while the window is open it takes the polling over from the link
// (the link's periodic request off, the analog-input request at the refresh
// period instead) and hands it back when the window closes. The input names
// and the chart settings live here too.

#include <QObject>
#include <QString>

#include <functional>

#include "link/DeviceLink.h"
#include "trend/TrendArray.h"
#include "trend/cTrendline.h"

namespace tuvik {

class AnalogPolling : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRedrawMs = 1000;
    static constexpr int kInputsPerChart = 4;

    // The active link, asked at every use (a connect may replace it).
    using LinkSource = std::function<DeviceLink*()>;

    // inputs0to3, inputs4to7: the two tables the replies fill.
    AnalogPolling(LinkSource activeLink, TrendArray& inputs0to3, TrendArray& inputs4to7,
                  QObject* parent = nullptr);

    // Switches the active link's periodic request off and names the eight
    // inputs in the two tables. The samples already held stay.
    void Begin();
    // Switches the active link's periodic request on again.
    void End();

    // Period of the analog-input request: the leading number of the refresh
    // text rounded to whole milliseconds. No number, 0 or a negative number
    // give 0, which means no requests at all (never a timer that spins).
    static int RequestInterval(const QString& refreshText);

    // One analog-input request through the active link, written as three
    // single bytes. False when nothing (or not all of it) was written.
    bool SendRequest();

    // The settings each of the two charts starts with.
    static void SetupChart(cTrendline& chart);
    // Names "AD0".."AD7" and the unit " #" for series 0..3 of both tables.
    static void NameInputs(TrendArray& inputs0to3, TrendArray& inputs4to7);

  private:
    LinkSource activeLink_;
    TrendArray& inputs0to3_;
    TrendArray& inputs4to7_;
};

}  // namespace tuvik
