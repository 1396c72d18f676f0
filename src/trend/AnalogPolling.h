#pragma once
// What the analog inputs window does to the rest of the program, without any
// widget: while the window is open it takes the polling over from the link
// (the link's periodic request off, the analog-input request at the refresh
// period instead) and hands it back when the window closes. The input names
// and the chart settings live here too.

#include <QObject>
#include <QString>

#include "shell/DispatchState.h"
#include "shell/AppContext.h"
#include "trend/cTrendline.h"

namespace tuvik {

class AnalogPolling : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRedrawMs = 1000;
    static constexpr int kInputsPerChart = 4;

    AnalogPolling(AppContext& ctx, DispatchState& state, QObject* parent = nullptr);

    // Switches the active link's periodic request off and names the eight
    // inputs in the two tables. The samples already held stay.
    void Begin();
    // Switches the active link's periodic request on again.
    void End();

    // Period of the analog-input request: the leading number of the refresh
    // text rounded to whole milliseconds. No number, 0 or a negative number
    // give 0, which means no requests at all (never a timer that spins).
    int RequestInterval() const;
    static int RequestInterval(const QString& refreshText);

    // One analog-input request through the active link, written as three
    // single bytes. False when nothing (or not all of it) was written.
    bool SendRequest();

    // The settings each of the two charts starts with.
    static void SetupChart(cTrendline& chart);
    // Names "AD0".."AD7" and the unit " #" for series 0..3 of both tables.
    static void NameInputs(DispatchState& state);

  private:
    AppContext& ctx_;
    DispatchState& state_;
};

}  // namespace tuvik
