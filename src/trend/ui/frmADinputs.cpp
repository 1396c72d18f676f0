#include "trend/ui/frmADinputs.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

#include "trend/AnalogPolling.h"
#include "trend/ui/TrendChartWidget.h"

namespace tuvik {

namespace {
// Each chart is 9315 x 2415 twips; the lower one starts 2460 twips down.
constexpr double kChartWidthTwips = 9315;
constexpr double kChartHeightTwips = 2415;
constexpr double kChartGapTwips = 2460 - kChartHeightTwips;
constexpr double kTwipsPerInch = 1440;

int ToPixels(double twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}
}  // namespace

frmADinputs::frmADinputs(AnalogWindowInputs inputs, QWidget* parent)
    : QWidget(parent, Qt::Window), inputs_(std::move(inputs)) {
    setObjectName(QStringLiteral("frmADinputs"));
    setWindowTitle(QStringLiteral("ADinput[]"));

    polling_ = new AnalogPolling(inputs_.activeLink, inputs_.inputs0to3, inputs_.inputs4to7, this);

    inputs0to3Chart_ = new TrendChartWidget(this);
    inputs0to3Chart_->setObjectName(QStringLiteral("Picture1"));
    inputs4to7Chart_ = new TrendChartWidget(this);
    inputs4to7Chart_->setObjectName(QStringLiteral("Picture2"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(ToPixels(kChartGapTwips, logicalDpiY()));
    layout->addWidget(inputs0to3Chart_, 1);
    layout->addWidget(inputs4to7Chart_, 1);
    resize(ToPixels(kChartWidthTwips, logicalDpiX()),
           2 * ToPixels(kChartHeightTwips, logicalDpiY()) + layout->spacing());

    redrawTimer_ = new QTimer(this);
    redrawTimer_->setObjectName(QStringLiteral("Timer1"));
    redrawTimer_->setInterval(AnalogPolling::kRedrawMs);
    connect(redrawTimer_, &QTimer::timeout, this, &frmADinputs::Redraw);

    requestTimer_ = new QTimer(this);
    requestTimer_->setObjectName(QStringLiteral("Timer2"));
    connect(requestTimer_, &QTimer::timeout, polling_, &AnalogPolling::SendRequest);
}

frmADinputs::~frmADinputs() {
    if (loaded_) {
        Unload();
    }
}

void frmADinputs::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window restored from the task bar is shown again without a new load.
    if (!loaded_) {
        Load();
    }
}

void frmADinputs::closeEvent(QCloseEvent* event) {
    if (loaded_) {
        Unload();
    }
    event->accept();  // hidden, not destroyed: the next show loads it again
}

void frmADinputs::Load() {
    loaded_ = true;
    if (QWidget* p = parentWidget()) {
        setWindowIcon(p->window()->windowIcon());
    }
    polling_->Begin();

    // Fresh charts at every load; the samples they show are the ones held.
    for (TrendChartWidget* w : {inputs0to3Chart_, inputs4to7Chart_}) {
        w->chart() = cTrendline();
        AnalogPolling::SetupChart(w->chart());
    }
    Redraw();

    // A period of 0 would make the timer fire whenever the event loop is
    // idle; no period means no requests.
    requestTimer_->setInterval(AnalogPolling::RequestInterval(inputs_.refreshText()));
    if (requestTimer_->interval() > 0) {
        requestTimer_->start();
    }
    redrawTimer_->start();
}

void frmADinputs::Unload() {
    loaded_ = false;
    redrawTimer_->stop();
    requestTimer_->stop();
    polling_->End();
}

void frmADinputs::Redraw() {
    inputs0to3Chart_->DrawTrend(inputs_.inputs0to3, false);
    inputs4to7Chart_->DrawTrend(inputs_.inputs4to7, false);
}

}  // namespace tuvik
