#include "pid/ui/frmStepTest.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "pid/ui/StepChartWidget.h"
#include "support/ui/Controls.h"

namespace tuvik {

namespace {

const char* const kRows[] = {"Current", "Simc", "Lambda"};
const char* const kColumns[] = {"K", "Ti", "Td", "Overshoot", "Settling"};

}  // namespace

frmStepTest::frmStepTest(PidLoops& loops, PidEditorController& editor, UserDialogs& dialogs,
                         MessageLog& log, std::function<bool()> linkConnected, QWidget* parent)
    : QWidget(parent, Qt::Window),
      loops_(loops),
      controller_(loops, editor, dialogs, log, std::move(linkConnected)) {
    setObjectName(QStringLiteral("frmStepTest"));
    setWindowTitle(QStringLiteral("Step test"));
    auto* top = new QHBoxLayout(this);
    top->addWidget(BuildTest());
    top->addWidget(BuildAnalysis(), 1);
    connect(&controller_, &StepTestController::changed, this, &frmStepTest::ShowTest);
    connect(&controller_, &StepTestController::stepChosen, spinStep_, &QSpinBox::setValue);
    connect(&controller_, &StepTestController::status, lblStatus_, &QLabel::setText);
    connect(&controller_, &StepTestController::analysed, this, &frmStepTest::ShowAnalysis);
    lblStatus_->setText(StepTestRun::StateText(StepTestRun::State::Idle));
    ShowSuggestions();
}

QWidget* frmStepTest::BuildTest() {
    auto* box =
        Named(new QGroupBox(QStringLiteral("Step of the manual output"), this), "FrameStep");
    lblLoop_ = Named(new QLabel(box), "lblLoop");
    lblMode_ = Named(new QLabel(box), "lblMode");
    lblMode_->setWordWrap(true);
    btnManual_ = Named(new QPushButton(QStringLiteral("Put in manual..."), box), "btnManual");
    btnManual_->setToolTip(
        QStringLiteral("Manual mode at the present output, sent with the editor's Apply changes"));
    spinStep_ = Named(new QSpinBox(box), "spinStep");
    spinStep_->setRange(-100, 100);
    spinStep_->setSuffix(QStringLiteral(" %"));
    lblStepTo_ = Named(new QLabel(box), "lblStepTo");
    spinLimit_ = Named(new QSpinBox(box), "spinLimit");
    spinLimit_->setRange(10, 3600);
    spinLimit_->setValue(StepTestController::kDefaultLimitS);
    spinLimit_->setSuffix(QStringLiteral(" s"));
    btnStart_ = Named(new QPushButton(QStringLiteral("Start"), box), "btnStart");
    btnStop_ = Named(new QPushButton(QStringLiteral("Stop"), box), "btnStop");
    btnStop_->setToolTip(QStringLiteral("End the recording now and analyse it"));
    btnCancel_ = Named(new QPushButton(QStringLiteral("Cancel"), box), "btnCancel");
    btnCancel_->setToolTip(QStringLiteral("End the test without analysis; the loop stays as sent"));
    prgTest_ = Named(new QProgressBar(box), "prgTest");
    prgTest_->setTextVisible(true);
    lblSamples_ = Named(new QLabel(box), "lblSamples");
    lblStatus_ = Named(new QLabel(box), "lblStatus");
    lblStatus_->setWordWrap(true);
    lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblStatus_->setMinimumWidth(260);

    auto* grid = new QGridLayout(box);
    grid->addWidget(lblLoop_, 0, 0, 1, 3);
    grid->addWidget(lblMode_, 1, 0, 1, 2);
    grid->addWidget(btnManual_, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Step"), box), 2, 0);
    grid->addWidget(spinStep_, 2, 1);
    grid->addWidget(lblStepTo_, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Time limit"), box), 3, 0);
    grid->addWidget(spinLimit_, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnStart_);
    buttons->addWidget(btnStop_);
    buttons->addWidget(btnCancel_);
    grid->addLayout(buttons, 4, 0, 1, 3);
    grid->addWidget(prgTest_, 5, 0, 1, 3);
    grid->addWidget(lblSamples_, 6, 0, 1, 3);
    grid->addWidget(lblStatus_, 7, 0, 1, 3);
    grid->setRowStretch(8, 1);

    StepTestController* c = &controller_;
    connect(btnManual_, &QPushButton::clicked, c, &StepTestController::PutInManual);
    connect(btnStart_, &QPushButton::clicked, c, &StepTestController::Start);
    connect(btnStop_, &QPushButton::clicked, c, &StepTestController::Stop);
    connect(btnCancel_, &QPushButton::clicked, c, &StepTestController::Cancel);
    connect(spinStep_, &QSpinBox::valueChanged, c, &StepTestController::setStep);
    connect(spinLimit_, &QSpinBox::valueChanged, c, &StepTestController::setLimit);
    return box;
}

QWidget* frmStepTest::BuildAnalysis() {
    auto* box = Named(new QGroupBox(QStringLiteral("Process and suggested settings"), this),
                      "FrameAnalysis");
    lblFit_ = Named(new QLabel(box), "lblFit");
    lblFit_->setWordWrap(true);
    lblFit_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chartRecord_ =
        Named(new StepChartWidget(QStringLiteral("No step recorded"), box), "chartRecord");
    sliderKnob_ = Named(new QSlider(Qt::Horizontal, box), "sliderKnob");
    sliderKnob_->setRange(0, 100);
    sliderKnob_->setValue(kDefaultKnob);
    sliderKnob_->setToolTip(QStringLiteral("The closed loop's time constant, fast to robust"));
    lblTauC_ = Named(new QLabel(box), "lblTauC");
    radioSimc_ = Named(new QRadioButton(QStringLiteral("SIMC"), box), "radioSimc");
    radioLambda_ = Named(new QRadioButton(QStringLiteral("Lambda"), box), "radioLambda");
    radioSimc_->setChecked(true);
    btnUse_ = Named(new QPushButton(QStringLiteral("Use these settings"), box), "btnUse");
    btnUse_->setToolTip(QStringLiteral(
        "Fill the editor's K, Ti and Td; Apply changes sends them as any other edit"));
    auto* save = Named(new QPushButton(QStringLiteral("Save test..."), box), "btnSaveTest");
    auto* load = Named(new QPushButton(QStringLiteral("Load test..."), box), "btnLoadTest");
    chartPrediction_ =
        Named(new StepChartWidget(QStringLiteral("No model: no predicted response"), box),
              "chartPrediction");

    auto* knob = new QHBoxLayout;
    knob->addWidget(new QLabel(QStringLiteral("Fast"), box));
    knob->addWidget(sliderKnob_, 1);
    knob->addWidget(new QLabel(QStringLiteral("Robust"), box));
    knob->addWidget(lblTauC_);

    auto* table = new QGridLayout;
    const QStringList heads = {QStringLiteral("K"), QStringLiteral("Ti"), QStringLiteral("Td"),
                               QStringLiteral("Overshoot"), QStringLiteral("Settling")};
    for (int c = 0; c < 5; ++c) {
        table->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(heads[c]), box), 0, c + 1);
    }
    auto* current = new QLabel(QStringLiteral("Current"), box);
    table->addWidget(current, 1, 0);
    table->addWidget(radioSimc_, 2, 0);
    table->addWidget(radioLambda_, 3, 0);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 5; ++c) {
            auto* l = new QLabel(box);
            l->setObjectName(
                QStringLiteral("lbl%1%2").arg(QLatin1String(kRows[r]), QLatin1String(kColumns[c])));
            l->setMinimumWidth(56);
            table_[r][c] = l;
            table->addWidget(l, r + 1, c + 1);
        }
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnUse_);
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(load);

    auto* layout = new QVBoxLayout(box);
    layout->addWidget(lblFit_);
    layout->addWidget(chartRecord_, 1);
    layout->addLayout(knob);
    layout->addLayout(table);
    layout->addWidget(chartPrediction_, 1);
    layout->addLayout(buttons);

    connect(sliderKnob_, &QSlider::valueChanged, this, &frmStepTest::ShowSuggestions);
    connect(radioSimc_, &QRadioButton::toggled, this, &frmStepTest::ShowSuggestions);
    connect(btnUse_, &QPushButton::clicked, this, [this] {
        controller_.UseSuggestion(radioSimc_->isChecked() ? TuningRule::Simc : TuningRule::Lambda);
    });
    connect(save, &QPushButton::clicked, &controller_, &StepTestController::SaveTest);
    connect(load, &QPushButton::clicked, &controller_, &StepTestController::LoadTest);
    return box;
}

void frmStepTest::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    controller_.Shown();
}

void frmStepTest::ShowTest() {
    const StepTestController::View v = controller_.view();
    prgTest_->setRange(0, v.progressMax);
    prgTest_->setValue(v.progressValue);
    prgTest_->setFormat(v.progressText);
    lblSamples_->setText(v.samples);
    if (v.recording) {
        chartRecord_->SetSeries({MeasuredSeries(controller_.run().record())});  // so far
    }
    btnStop_->setEnabled(v.canStop);
    btnCancel_->setEnabled(v.canCancel);
    if (v.hasLoop) {
        lblLoop_->setText(v.loop);
        lblMode_->setText(v.mode);
        lblStepTo_->setText(v.stepTo);
        btnManual_->setEnabled(v.canPutInManual);
        btnStart_->setEnabled(v.canStart);
    }
}

void frmStepTest::ShowAnalysis() {
    const StepTestAnalysis& a = controller_.analysis();
    lblFit_->setText(a.FitText(loops_));
    chartRecord_->SetSeries(a.RecordSeries());
    ShowSuggestions();
}

void frmStepTest::ShowSuggestions() {
    const StepTestAnalysis::Suggestions s =
        controller_.analysis().Suggest(loops_, sliderKnob_->value());
    btnUse_->setEnabled(s.usable);
    for (int r = 0; r < StepTestAnalysis::kRows; ++r) {
        for (int c = 0; c < StepTestAnalysis::kColumns; ++c) {
            table_[r][c]->setText(s.table[r][c]);
        }
    }
    lblTauC_->setText(s.closedLoop);
    chartPrediction_->SetSeries(s.prediction);
}

}  // namespace tuvik
