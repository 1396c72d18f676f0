#include "pid/ui/PidEditorWidget.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

#include "link/Packet.h"
#include "pid/ui/PidSettingsForm.h"
#include "shell/Session.h"
#include "support/ui/Controls.h"

namespace tuvik {

namespace {

QPushButton* Button(const char* name, const QString& text, QWidget* parent,
                    const QString& tip = {}) {
    auto* b = Named(new QPushButton(text, parent), QString::fromLatin1(name));
    if (!tip.isEmpty()) {
        b->setToolTip(tip);
    }
    return b;
}

}  // namespace

PidEditorWidget::PidEditorWidget(Session& session, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), session_(session) {
    setObjectName(QStringLiteral("PidEditor"));
    const PidEditorContext context{
        .loops = session.loops(),
        .dialogs = dialogs,
        .log = session.log(),
        .writeAckCount = &session.state().WriteAckCount,
        .writeRefusedCount = &session.state().WriteRefusedCount,
        .link = [&session] { return session.ctx().activeLink(); },
        // A status record retitles the window; the reads around a send put it back.
        .caption = [this] { return window()->windowTitle(); },
        .setCaption = [&session](const QString& t) { session.ctx().setMainCaption(t); },
        .statusRecords = [&session] { return session.dispatcher().statusRecords(); },
        .backupDir = [&session] { return session.paths().DailyDir(); },
        .findDataFile = [&session](const QString& p) { return session.paths().FindDataFile(p); },
    };
    controller_ = std::make_unique<PidEditorController>(context, *this);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(BuildSelector());
    form_ = new PidSettingsForm(this);
    top->addWidget(form_->modeRow());
    auto* middle = new QHBoxLayout;
    middle->addWidget(form_->boxes(), 1);
    middle->addWidget(form_->sliders());
    top->addLayout(middle, 1);
    top->addWidget(BuildButtons());

    PidSafeSend& send = controller_->safeSend();
    connect(&send, &PidSafeSend::judged, this, [this](int loop, const QString& text) {
        session_.history().AddEvent(loop, QStringLiteral("send"), text);
    });
    connect(form_, &PidSettingsForm::edited, this, &PidEditorWidget::UpdateMarks);
    connect(controller_.get(), &PidEditorController::marksChanged, this,
            &PidEditorWidget::UpdateMarks);
    connect(controller_.get(), &PidEditorController::locksChanged, this,
            &PidEditorWidget::UpdateLocks);
    connect(controller_.get(), &PidEditorController::selectedLoopChanged, this,
            &PidEditorWidget::selectedLoopChanged);
    connect(&send, &PidSafeSend::status, lblWriteCheck_, &QLabel::setText);
    connect(&send, &PidSafeSend::reading, this, [this](bool on) {
        prgSend_->setRange(0, on ? 0 : PidSettingsSend::kSteps);
        prgSend_->setVisible(on);
    });
    connect(&send, &PidSafeSend::sending, this, [this](bool on) {
        if (on) {
            prgSend_->setValue(0);
        }
        prgSend_->setVisible(on);
    });
    connect(&send, &PidSafeSend::progress, this, [this](int done, int total) {
        prgSend_->setMaximum(total);
        prgSend_->setValue(done);
    });
}

PidEditorWidget::~PidEditorWidget() = default;

QWidget* PidEditorWidget::BuildSelector() {
    auto* frame = Named(new QGroupBox(QStringLiteral("Select PID loop"), this),
                        QStringLiteral("FrameSelectPID"));
    comboPID_ = Named(new QComboBox(frame), QStringLiteral("comboPID"));
    comboPID_->setMinimumContentsLength(16);
    OptionPID_[0] =
        Named(new QRadioButton(QStringLiteral("TICZA-107"), frame), Indexed("OptionPID", 0));
    OptionPID_[1] =
        Named(new QRadioButton(QStringLiteral("PICZA-209"), frame), Indexed("OptionPID", 1));
    OptionPID_[0]->setChecked(true);
    lblPIDdesc_ = Named(new QLabel(QStringLiteral("PID ???"), frame), QStringLiteral("lblPIDdesc"));
    QPalette pal = lblPIDdesc_->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblPIDdesc_->setPalette(pal);
    QFont bold = lblPIDdesc_->font();
    bold.setBold(true);
    lblPIDdesc_->setFont(bold);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(comboPID_, 0, 0);
    grid->addWidget(OptionPID_[0], 0, 1);
    grid->addWidget(OptionPID_[1], 0, 2);
    grid->addWidget(lblPIDdesc_, 1, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    // The two tag buttons change nothing: they only mark the plant's loops.
    return frame;
}

QWidget* PidEditorWidget::BuildButtons() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);

    auto* loopInfo = Button("Command1", QStringLiteral("Command1"), box);
    auto* plus = Button("Command2", QStringLiteral("+"), box);
    auto* minus = Button("Command3", QStringLiteral("-"), box);
    auto* e = Button("Command4", QStringLiteral("e"), box);
    auto* dis = Button("Command5", QStringLiteral("dis"), box);
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {loopInfo, plus, minus, e, dis}) {
        commands->addWidget(b);
    }
    auto* stepTest = Button("btnStepTest", QStringLiteral("Step test..."), box,
                            QStringLiteral("Identify the loop's process from a step of the "
                                           "manual output and get suggested settings"));
    commands->addWidget(stepTest);
    grid->addLayout(commands, 0, 0, 1, 3);

    btnGetCurrentValues_ = Button("btnGetCurrentValues", QStringLiteral("Get current values"), box,
                                  QStringLiteral("Get actual values from PLC"));
    auto* defaults = cmdDefaults_ = Button("cmdDefaults", QStringLiteral("Load defaults"), box,
                                           QStringLiteral("Load factory setting"));
    auto* load = cmdLoadSettings_ = Button("cmdLoadSettings", QStringLiteral("Load settings"), box,
                                           QStringLiteral("Load your own setting from disk"));
    auto* save = Button("cmdSaveSettings", QStringLiteral("Save settings"), box,
                        QStringLiteral("Save your own settings to disk"));
    cmdOK_ = Button("cmdOK", QStringLiteral("Apply changes"), box,
                    QStringLiteral("Send new settings to PLC"));
    auto* quit = Button("cmdCancel", QStringLiteral("Quit"), box);
    grid->addWidget(btnGetCurrentValues_, 1, 0);
    grid->addWidget(defaults, 1, 1);
    grid->addWidget(load, 1, 2);
    grid->addWidget(save, 2, 2);
    grid->addWidget(cmdOK_, 2, 0);
    grid->addWidget(quit, 2, 1);

    prgSend_ = Named(new QProgressBar(box), QStringLiteral("prgSend"));
    prgSend_->setRange(0, PidSettingsSend::kSteps);
    prgSend_->setFormat(QStringLiteral("Sending %v/%m"));
    prgSend_->setVisible(false);
    grid->addWidget(prgSend_, 3, 0, 1, 3);
    // What the reads around a send found: verified, not verified, the backup.
    lblWriteCheck_ = Named(new QLabel(box), QStringLiteral("lblWriteCheck"));
    lblWriteCheck_->setWordWrap(true);
    lblWriteCheck_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(lblWriteCheck_, 4, 0, 1, 3);

    PidEditorController* c = controller_.get();
    connect(loopInfo, &QPushButton::clicked, c, &PidEditorController::ShowLoopInfo);
    const std::pair<QPushButton*, uint8_t> commands1[] = {
        {plus, Cmd::Plus}, {minus, Cmd::Minus}, {e, Cmd::LetterE}, {dis, Cmd::LetterW}};
    for (const auto& [button, cmd] : commands1) {
        connect(button, &QPushButton::clicked, c, [c, cmd = cmd] { c->SendCommand(cmd); });
    }
    connect(btnGetCurrentValues_, &QPushButton::clicked, c, &PidEditorController::GetCurrentValues);
    connect(defaults, &QPushButton::clicked, c, &PidEditorController::LoadDefaults);
    connect(load, &QPushButton::clicked, c, &PidEditorController::LoadSettings);
    connect(save, &QPushButton::clicked, c, &PidEditorController::SaveSettings);
    connect(cmdOK_, &QPushButton::clicked, c, &PidEditorController::Apply);
    connect(quit, &QPushButton::clicked, this, &PidEditorWidget::quitRequested);
    connect(stepTest, &QPushButton::clicked, this, &PidEditorWidget::stepTestRequested);
    return box;
}

// ---- what the controller shows ------------------------------------------------

void PidEditorWidget::FillLoopSelector() {
    const QSignalBlocker block(comboPID_);
    comboPID_->clear();
    comboPID_->addItems(controller_->SelectFirstLoop());
    comboPID_->setCurrentIndex(0);
    connect(comboPID_, &QComboBox::currentIndexChanged, this, &PidEditorWidget::LoopChosen,
            Qt::UniqueConnection);
}

void PidEditorWidget::LoopChosen(int index) {
    if (!controller_->SelectLoop(index)) {
        // Set from code while the list is locked: the loop stays.
        const QSignalBlocker block(comboPID_);
        comboPID_->setCurrentIndex(session_.loops().selectedIndex());
    }
}

void PidEditorWidget::SliderManualChanged() {
    form_->SliderManualChanged();
}

PidEditorValues PidEditorWidget::EditorValues() const {
    return form_->Values();
}

void PidEditorWidget::ShowBoxes(const PidBoxTexts& boxes) {
    form_->SetBoxes(boxes);
}

void PidEditorWidget::ShowLoop(const LoopSettingsView& loop, int manualSlider, int setpointSlider) {
    lblPIDdesc_->setText(loop.desc);
    form_->Fill(loop, manualSlider, setpointSlider);
}

void PidEditorWidget::ShowManualOutput(int output) {
    form_->SetManualOutput(output);
}

void PidEditorWidget::ShowTuning(double K, double Ti, double Td) {
    form_->SetTuning(K, Ti, Td);
}

void PidEditorWidget::UpdateMarks() {
    form_->ShowMarks(controller_->MarkTips(form_->Values()));
}

void PidEditorWidget::UpdateLocks() {
    const PidEditorController::Locks l = controller_->locks();
    cmdOK_->setEnabled(l.apply);
    btnGetCurrentValues_->setEnabled(l.getValues);
    for (QWidget* w : {form_->modeRow(), form_->boxes(), form_->sliders()}) {
        w->setEnabled(l.editor);
    }
    for (QWidget* w : {static_cast<QWidget*>(comboPID_), static_cast<QWidget*>(cmdDefaults_),
                       static_cast<QWidget*>(cmdLoadSettings_)}) {
        w->setEnabled(l.loopChoice);
    }
}

}  // namespace tuvik
