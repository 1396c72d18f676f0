#include "trend/AnalogPolling.h"

#include <QPointer>

#include "link/Packet.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {
const QString kUnit = QStringLiteral(" #");
}

AnalogPolling::AnalogPolling(LinkSource activeLink, TrendArray& inputs0to3, TrendArray& inputs4to7,
                             QObject* parent)
    : QObject(parent),
      activeLink_(std::move(activeLink)),
      inputs0to3_(inputs0to3),
      inputs4to7_(inputs4to7) {}

void AnalogPolling::Begin() {
    if (DeviceLink* link = activeLink_()) {
        link->SetRefreshTimer(false);
    }
    NameInputs(inputs0to3_, inputs4to7_);
}

void AnalogPolling::End() {
    if (DeviceLink* link = activeLink_()) {
        link->SetRefreshTimer(true);
    }
}

int AnalogPolling::RequestInterval(const QString& refreshText) {
    const int ms = TextToWholeNumber(refreshText);
    return ms > 0 ? ms : 0;
}

bool AnalogPolling::SendRequest() {
    // A link that holds a write back runs the event loop meanwhile, and may be
    // replaced and destroyed before the next byte.
    QPointer<DeviceLink> link = activeLink_();
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

void AnalogPolling::NameInputs(TrendArray& inputs0to3, TrendArray& inputs4to7) {
    for (int k = 0; k < kInputsPerChart; ++k) {
        inputs0to3.set(k, 0, QStringLiteral("AD%1").arg(k));
        inputs0to3.set(k, 1, kUnit);
        inputs4to7.set(k, 0, QStringLiteral("AD%1").arg(k + kInputsPerChart));
        inputs4to7.set(k, 1, kUnit);
    }
}

}  // namespace tuvik
