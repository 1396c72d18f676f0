#include "pid/ui/frmStepTest.h"

#include <QFile>
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

#include <algorithm>
#include <cmath>

#include "pid/PidWriteCheck.h"
#include "pid/ui/StepChartWidget.h"
#include "shell/Session.h"
#include "support/MessageLog.h"
#include "support/UserDialogs.h"
#include "support/ui/Controls.h"

namespace tuvik {

namespace {

// Suggestions are shown and filled in to three significant digits.
double Significant(double v) {
    if (v == 0 || !std::isfinite(v)) {
        return v;
    }
    const double scale = std::pow(10.0, 2 - std::floor(std::log10(std::fabs(v))));
    return std::round(v * scale) / scale;
}

QString Number(double v) {
    return QString::number(Significant(v), 'g', 3);
}

const char* const kRows[] = {"Current", "Simc", "Lambda"};
const char* const kColumns[] = {"K", "Ti", "Td", "Overshoot", "Settling"};
const QColor kColours[] = {QColor(160, 160, 160), QColor(255, 122, 26), QColor(80, 200, 255)};

ChartSeries Measured(const StepRecord& r) {
    ChartSeries out{QStringLiteral("Measured"), QColor(120, 255, 120), {}, true};
    for (const StepSample& s : r.samples) {
        out.points.emplace_back(s.t, s.measurement);
    }
    return out;
}

// The loop's settings as the controller's PID law takes them.
PidLawSettings LawSettings(const PidSettings& s) {
    PidLawSettings law;
    law.inverted = s.InvertedMode;
    law.K = s.K;
    law.Ti = s.Ti;
    law.Td = s.Td;
    law.N = s.N;
    law.b = s.b;
    law.Tt = s.tt;
    law.minOut = s.MinContr;
    law.maxOut = s.MaxContr;
    return law;
}

}  // namespace

frmStepTest::frmStepTest(Session& session, PidEditorWidget& editor, UserDialogs& dialogs,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), editor_(editor), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmStepTest"));
    setWindowTitle(QStringLiteral("Step test"));
    auto* top = new QHBoxLayout(this);
    top->addWidget(BuildTest());
    top->addWidget(BuildAnalysis(), 1);
    clock_.start();
    tick_.setInterval(kTickMs);
    connect(&tick_, &QTimer::timeout, this, &frmStepTest::Tick);
    connect(&editor_.sender(), &PidSettingsSend::progress, this,
            [this](int done, int) { SendProgress(done); });
    connect(&editor_, &PidEditorWidget::applyEnded, this, &frmStepTest::ApplyEnded);
    connect(&editor_, &PidEditorWidget::selectedLoopChanged, this, [this] {
        if (run_.running()) {
            run_.End(StepTestRun::State::Cancelled);
            Finish();
        }
        run_ = StepTestRun();  // no baseline from the other loop
        ShowLoop();
        DefaultStep();
    });
    Status(StepTestRun::StateText(StepTestRun::State::Idle), false);
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
    spinLimit_->setValue(kDefaultLimitS);
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

    connect(btnManual_, &QPushButton::clicked, this, &frmStepTest::PutInManual);
    connect(btnStart_, &QPushButton::clicked, this, &frmStepTest::Start);
    connect(btnStop_, &QPushButton::clicked, this, [this] {
        run_.End(StepTestRun::State::Stopped);
        Finish();
    });
    connect(btnCancel_, &QPushButton::clicked, this, [this] {
        run_.End(StepTestRun::State::Cancelled);
        Finish();
    });
    connect(spinStep_, &QSpinBox::valueChanged, this, &frmStepTest::ShowLoop);
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
    connect(btnUse_, &QPushButton::clicked, this, &frmStepTest::UseSettings);
    connect(save, &QPushButton::clicked, this, &frmStepTest::SaveTest);
    connect(load, &QPushButton::clicked, this, &frmStepTest::LoadTest);
    return box;
}

void frmStepTest::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!run_.running()) {
        DefaultStep();
    }
    tick_.start();
    Tick();
}

// ---- the test ---------------------------------------------------------------

void frmStepTest::DefaultStep() {
    const clsPID* L = session_.loops().Selected();
    if (L == nullptr) {
        return;
    }
    const PidSettings& s = L->Settings();
    const double lo = std::max<double>(0, s.MinContr);
    const double hi = std::min<double>(kManualSliderMax, s.MaxContr);
    const int step = static_cast<int>(std::lround(kDefaultStepShare * std::max(0.0, hi - lo)));
    // Upwards unless that runs into the limit.
    const double from = StepFrom(*L, InManual(*L));
    spinStep_->setValue(from + step <= hi ? step : -step);
    ShowLoop();
}

void frmStepTest::ShowLoop() {
    const clsPID* L = session_.loops().Selected();
    if (L == nullptr) {
        return;
    }
    lblLoop_->setText(QStringLiteral("Loop: %1 (%2)").arg(L->GetDesc(), L->GetName()));
    const bool manual = InManual(*L);
    lblMode_->setText(manual ? QStringLiteral("Manual, output %1 %")
                                   .arg(QString::number(L->Settings().ManualVal, 'f', 0))
                             : QStringLiteral("Automatic: put the loop in manual first"));
    // Until the loop is in manual the step starts from its live output.
    const PidSettings& s = L->Settings();
    const double from = StepFrom(*L, manual);
    const double to = std::clamp<double>(from + spinStep_->value(), std::max<float>(0, s.MinContr),
                                         std::min<float>(kManualSliderMax, s.MaxContr));
    const StepRecord& r = run_.record();
    const QString step = QStringLiteral("%1 output %2 % to %3 %");
    lblStepTo_->setText(
        run_.running() ? step.arg(QStringLiteral("manual")).arg(r.outputBefore).arg(r.outputAfter)
                       : step.arg(manual ? QStringLiteral("manual") : QStringLiteral("live"))
                             .arg(from)
                             .arg(to));
    const bool idle = !run_.running() && waiting_ == Waiting::None;
    btnManual_->setEnabled(idle && !manual);
    btnStart_->setEnabled(idle && manual);
    // The tested loop stays selected until its output is back or the
    // return was declined.
    editor_.HoldLoop(run_.running() || returnPending_ || waiting_ == Waiting::Step ||
                     waiting_ == Waiting::Return);
}

bool frmStepTest::InManual(const clsPID& L) const {
    // Manual as the editor last sent it and as the controller last reported it.
    const auto reported = PidStatusSettings(L.StatusBytes());
    return L.AutoMode() == 0 && reported && !reported->AutoMode;
}

double frmStepTest::StepFrom(const clsPID& L, bool manual) const {
    return std::round(manual ? L.Settings().ManualVal : L.LiveValues().ControllerOut);
}

void frmStepTest::PutInManual() {
    const clsPID* L = session_.loops().Selected();
    if (L == nullptr) {
        return;
    }
    // At the present output, so that the switch does not move the process.
    const int output = std::clamp(static_cast<int>(std::lround(L->LiveValues().ControllerOut)), 0,
                                  kManualSliderMax);
    waiting_ = Waiting::Manual;
    editor_.SetManualOutput(true, output);
    editor_.ApplyChanges();
}

void frmStepTest::Start() {
    const clsPID* L = session_.loops().Selected();
    if (L == nullptr || run_.running() || waiting_ != Waiting::None) {
        return;
    }
    if (!session_.ctx().LinkConnected()) {
        Status(QStringLiteral("Not connected: the step test needs the live values."), false);
        return;
    }
    const PidSettings& s = L->Settings();
    const double from = std::round(s.ManualVal);
    const double to = std::clamp<double>(from + spinStep_->value(), std::max<float>(0, s.MinContr),
                                         std::min<float>(kManualSliderMax, s.MaxContr));
    if (to == from) {
        Status(QStringLiteral("The step is zero within the loop's output limits."), false);
        return;
    }
    run_.Begin(session_.loops().selectedIndex(), L->GetName(), from, to, spinLimit_->value());
    waiting_ = Waiting::Step;
    ShowLoop();
    Status(StepTestRun::StateText(run_.state()), false);
    editor_.SetManualOutput(true, static_cast<int>(to));
    editor_.ApplyChanges();
}

void frmStepTest::SendProgress(int done) {
    // The first write carries the manual value: the step is out.
    if (done == 1 && waiting_ == Waiting::Step && run_.state() == StepTestRun::State::Stepping) {
        run_.StepSent(Now(), QDateTime::currentDateTime());
        const StepRecord& r = run_.record();
        Status(QStringLiteral("Step test of %1: manual output stepped from %2 % to %3 %.")
                   .arg(r.loopName)
                   .arg(r.outputBefore)
                   .arg(r.outputAfter),
               true);
    }
}

void frmStepTest::ApplyEnded(PidEditorWidget::ApplyEnd end) {
    const Waiting was = std::exchange(waiting_, Waiting::None);
    const bool sent = end == PidEditorWidget::ApplyEnd::Sent;
    if (was == Waiting::Step) {
        if (run_.state() == StepTestRun::State::Stepping) {
            run_.StepNotSent();
            editor_.SetManualOutput(true, static_cast<int>(run_.record().outputBefore));
            Status(QStringLiteral("The step was not sent."), false);
        } else if (end == PidEditorWidget::ApplyEnd::Failed && run_.running()) {
            run_.End(StepTestRun::State::LinkLost);
            Finish();
        }
        if (returnPending_) {
            ReturnOutput();
        }
    } else if (was != Waiting::Return && !run_.running()) {
        DefaultStep();  // from the output just sent
    } else if (was == Waiting::Return) {
        const StepRecord& r = run_.record();
        Status(sent ? QStringLiteral("Output returned to %1 %.").arg(r.outputBefore)
                    : QStringLiteral("The return to %1 % was not sent: the loop is left at %2 %.")
                          .arg(r.outputBefore)
                          .arg(r.outputAfter),
               true);
    }
    ShowLoop();
}

void frmStepTest::LiveSample() {
    const clsPID* L = session_.loops().Selected();
    if (L == nullptr ||
        (run_.running() && session_.loops().selectedIndex() != run_.record().loop)) {
        return;
    }
    const PidLiveValues& v = L->LiveValues();
    if (run_.AddSample(Now(), v.ControllerOut, v.Measurement)) {
        Finish();
    }
}

void frmStepTest::Tick() {
    if (run_.running() && !session_.ctx().LinkConnected()) {
        run_.End(StepTestRun::State::LinkLost);
        Finish();
    } else if (run_.Tick(Now())) {
        Finish();
    }
    const double elapsed = run_.Elapsed(Now());
    prgTest_->setRange(0, static_cast<int>(run_.limit() > 0 ? run_.limit() : spinLimit_->value()));
    prgTest_->setValue(static_cast<int>(elapsed));
    prgTest_->setFormat(
        QStringLiteral("%1 s of %2 s")
            .arg(QString::number(elapsed, 'f', 0), QString::number(prgTest_->maximum())));
    lblSamples_->setText(QStringLiteral("%1 samples after the step").arg(run_.Samples()));
    if (run_.state() == StepTestRun::State::Recording) {
        chartRecord_->SetSeries({Measured(run_.record())});  // the response so far
    }
    btnStop_->setEnabled(run_.state() == StepTestRun::State::Recording);
    btnCancel_->setEnabled(run_.running());
    ShowLoop();
}

void frmStepTest::Finish() {
    const StepTestRun::State s = run_.state();
    if (s == StepTestRun::State::Idle || run_.running()) {
        return;
    }
    Status(StepTestRun::StateText(s), true);
    if (run_.analysable()) {
        Analyse(run_.record());
        // The operator expects the process back where it was: the return is
        // one more ordinary write, confirmed like the step.
        if (waiting_ == Waiting::Step) {
            returnPending_ = true;  // after the step's own send and read-back
        } else {
            ReturnOutput();
        }
    }
    Tick();
}

void frmStepTest::ReturnOutput() {
    returnPending_ = false;
    const StepRecord& r = run_.record();
    if (session_.loops().selectedIndex() != r.loop) {
        Status(QStringLiteral("The return to %1 % was not sent: %2 is left at %3 %.")
                   .arg(r.outputBefore)
                   .arg(r.loopName)
                   .arg(r.outputAfter),
               true);
        return;
    }
    waiting_ = Waiting::Return;
    Status(QStringLiteral("Returning the output to %1 %...").arg(r.outputBefore), false);
    editor_.SetManualOutput(true, static_cast<int>(r.outputBefore));
    editor_.ApplyChanges();
}

void frmStepTest::Status(const QString& text, bool log) {
    lblStatus_->setText(text);
    if (log) {
        session_.log().AddMessage(QStringLiteral("Step test: ") + text);
    }
}

// ---- the analysis -----------------------------------------------------------

void frmStepTest::Analyse(const StepRecord& r) {
    record_ = r;
    fit_ = FitFopdt(r);
    std::vector<ChartSeries> series = {Measured(r), {}};
    if (fit_.ok) {
        const FopdtModel& m = fit_.model;
        const auto refusal = PredictionRefusal(m, LoopCycle());
        lblFit_->setText(
            QStringLiteral("%1: gain %2 per output unit, time constant %3 s, dead time %4 s; rms "
                           "residual %5, %6 % of the response explained.")
                .arg(r.loopName, Number(m.gain), Number(m.timeConstant), Number(m.deadTime),
                     Number(fit_.rmsResidual), QString::number(100 * fit_.explained, 'f', 1)) +
            (refusal ? QLatin1Char(' ') + *refusal : QString()));
        series[1] = {QStringLiteral("Model"), kColours[1], {}, false};
        for (const StepSample& s : FopdtResponse(m, r, fit_)) {
            series[1].points.emplace_back(s.t, s.measurement);
        }
    } else {
        lblFit_->setText(
            QStringLiteral("%1: no settings suggested. %2").arg(r.loopName, fit_.refusal));
        series.pop_back();
    }
    chartRecord_->SetSeries(std::move(series));
    ShowSuggestions();
}

double frmStepTest::LoopCycle() const {
    const clsPID* L = session_.loops().at(record_.loop);
    return L != nullptr && L->Settings().h > 0 ? L->Settings().h : 0.1;
}

void frmStepTest::ShowSuggestions() {
    const clsPID* L = session_.loops().at(record_.loop);
    const double h = LoopCycle();
    const bool refused = fit_.ok && PredictionRefusal(fit_.model, h);
    btnUse_->setEnabled(fit_.ok && L != nullptr && !refused);
    if (!fit_.ok || L == nullptr || refused) {
        for (auto& row : table_) {
            for (QLabel* l : row) {
                l->setText(QStringLiteral("-"));
            }
        }
        lblTauC_->clear();
        chartPrediction_->SetSeries({});
        return;
    }
    const FopdtModel& m = fit_.model;
    const double tauC = ClosedLoopTime(m, sliderKnob_->value() / 100.0);
    lblTauC_->setText(QStringLiteral("closed loop %1 s").arg(Number(tauC)));
    const PidSettings& s = L->Settings();
    suggested_[0] = SuggestTuning(TuningRule::Simc, m, tauC);
    suggested_[1] = SuggestTuning(TuningRule::Lambda, m, tauC);
    const std::array<PidTuning, 3> rows = {PidTuning{s.K, s.Ti, s.Td}, suggested_[0],
                                           suggested_[1]};
    const double step = std::fabs(m.gain * (record_.outputAfter - record_.outputBefore));
    const double duration = 5 * (m.timeConstant + m.deadTime) + 4 * tauC;
    std::vector<ChartSeries> series;
    for (int r = 0; r < 3; ++r) {
        PidLawSettings law = LawSettings(s);
        law.K = rows[r].K;
        law.Ti = rows[r].Ti;
        law.Td = rows[r].Td;
        const auto p = PredictSetpointStep(m, law, h, fit_.baseline, step > 0 ? step : 1, duration);
        const ResponseFigures f = MeasureResponse(p);
        table_[r][0]->setText(Number(rows[r].K));
        table_[r][1]->setText(Number(rows[r].Ti));
        table_[r][2]->setText(Number(rows[r].Td));
        table_[r][3]->setText(QString::number(100 * f.overshoot, 'f', 1) + QStringLiteral(" %"));
        table_[r][4]->setText(
            f.settlingTime < 0
                ? QStringLiteral("not within %1 s").arg(QString::number(duration, 'f', 0))
                : Number(f.settlingTime) + QStringLiteral(" s"));
        if (r == 0) {
            series.push_back({QStringLiteral("Setpoint"), Qt::white, {}, false});
            for (const ResponsePoint& q : p) {
                series[0].points.emplace_back(q.t, q.setpoint);
            }
        }
        series.push_back({QString::fromLatin1(r == 0   ? "Current"
                                              : r == 1 ? "SIMC"
                                                       : "Lambda"),
                          kColours[r],
                          {},
                          false});
        for (const ResponsePoint& q : p) {
            series.back().points.emplace_back(q.t, q.y);
        }
    }
    chartPrediction_->SetSeries(std::move(series));
}

void frmStepTest::UseSettings() {
    if (!fit_.ok) {
        return;
    }
    // The editor shows the selected loop: suggestions for another stay out of it.
    if (session_.loops().selectedIndex() != record_.loop) {
        Status(QStringLiteral("These settings are for loop %1 (%2): select that loop first.")
                   .arg(record_.loop + 1)
                   .arg(record_.loopName),
               false);
        return;
    }
    const bool simc = radioSimc_->isChecked();
    const PidTuning& t = suggested_[simc ? 0 : 1];
    editor_.SetTuning(Significant(t.K), Significant(t.Ti), Significant(t.Td));
    Status(QStringLiteral("The %1 settings are in the editor: click Apply changes there to send "
                          "them.")
               .arg(simc ? QStringLiteral("SIMC") : QStringLiteral("lambda")),
           false);
}

void frmStepTest::SaveTest() {
    if (record_.samples.empty()) {
        dialogs_.Message(windowTitle(), QStringLiteral("No step test to save."));
        return;
    }
    const QString path = dialogs_.SaveFileName(QStringLiteral("Save step test"),
                                               QStringLiteral("Step test (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(StepRecordToCsv(record_).toUtf8()) < 0) {
        dialogs_.Message(windowTitle(),
                         QStringLiteral("Could not write %1: %2").arg(path, f.errorString()),
                         UserDialogs::Icon::Warning);
    }
}

void frmStepTest::LoadTest() {
    const QString path = dialogs_.OpenFileName(QStringLiteral("Load step test"),
                                               QStringLiteral("Step test (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    QString error;
    const std::optional<StepRecord> r = ReadStepRecordFile(path, &error);
    if (!r) {
        dialogs_.Message(windowTitle(), QStringLiteral("Could not load %1: %2").arg(path, error),
                         UserDialogs::Icon::Warning);
        return;
    }
    Analyse(*r);
    Status(QStringLiteral("Loaded %1.").arg(path), false);
}

}  // namespace tuvik
