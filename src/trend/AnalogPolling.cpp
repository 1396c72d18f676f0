#include "trend/AnalogPolling.h"

#include <QPointer>

#include "link/Packet.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {
const QString kUnit = QStringLiteral(" #");
}

AnalogPolling::AnalogPolling(AppContext& ctx, DispatchState& state, QObject* parent)
    : QObject(parent), ctx_(ctx), state_(state) {}

void AnalogPolling::Begin() {
    if (DeviceLink* link = ctx_.activeLink()) {
        link->SetRefreshTimer(false);
    }
    NameInputs(state_);
}

void AnalogPolling::End() {
    if (DeviceLink* link = ctx_.activeLink()) {
        link->SetRefreshTimer(true);
    }
}

int AnalogPolling::RequestInterval() const {
    const LinkSettingsSource* s = ctx_.linkSettings();
    return s != nullptr ? RequestInterval(s->RefreshText()) : 0;
}

int AnalogPolling::RequestInterval(const QString& refreshText) {
    const int ms = TextToWholeNumber(refreshText);
    return ms > 0 ? ms : 0;
}

bool AnalogPolling::SendRequest() {
    // A link that holds a write back runs the event loop meanwhile, and may be
    // replaced and destroyed before the next byte.
    QPointer<DeviceLink> link = ctx_.activeLink();
    return link && link->Send(Cmd::AnalogRequest) && link && link->Send(0) && link &&
           link->Send(Cmd::AnalogRequest, true);
}

void AnalogPolling::SetupChart(cTrendline& chart) {
    chart.setMaxX(300);
    chart.setMaxY(500);
    chart.setMinY(0);
    chart.setResolution(5);
    chart.setAutoScale(true);
}

void AnalogPolling::NameInputs(DispatchState& state) {
    for (int k = 0; k < kInputsPerChart; ++k) {
        state.AnalogTrend1.set(k, 0, QStringLiteral("AD%1").arg(k));
        state.AnalogTrend1.set(k, 1, kUnit);
        state.AnalogTrend2.set(k, 0, QStringLiteral("AD%1").arg(k + kInputsPerChart));
        state.AnalogTrend2.set(k, 1, kUnit);
    }
}

}  // namespace tuvik
