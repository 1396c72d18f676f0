#include "pid/ui/PidEditorWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

#include "link/DeviceLink.h"
#include "link/Packet.h"
#include "pid/PidFiles.h"
#include "pid/PidWriteCheck.h"
#include "shell/Session.h"
#include "support/EventLog.h"
#include "support/ExchangeGuard.h"
#include "support/MessageLog.h"
#include "support/Numbers.h"
#include "support/UserDialogs.h"
#include "support/ui/Controls.h"

namespace tuvik {

const QString PidEditorWidget::kNoStatusText = QStringLiteral(
    "No reply from the controller: the loop's settings were not read. The editor shows the "
    "values held by the program.");

namespace {

constexpr int kGetCurrentValuesMs = 300;

// Marks a control whose value is not the controller's with the controller's value.
void Mark(QWidget* w, const std::optional<QString>& device, const QString& ownTip) {
    ShowEditedMark(
        w,
        device ? std::optional<QString>(PidSafeWriteText::DeviceValueTip(*device)) : std::nullopt,
        ownTip, true);
}

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
    : QWidget(parent),
      session_(session),
      dialogs_(dialogs),
      send_(&session.state().WriteAckCount, nullptr, &session.state().WriteRefusedCount),
      statusRead_(session.loops(), session.dispatcher()) {
    setObjectName(QStringLiteral("PidEditor"));
    timerGetCurrentValues_.setObjectName(QStringLiteral("TimerGetCurrentValues"));
    timerGetCurrentValues_.setInterval(kGetCurrentValuesMs);
    connect(&statusRead_, &PidStatusRead::finished, this, &PidEditorWidget::DeviceReadFinished);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(BuildSelector());
    editorParts_ = {BuildMode(), BuildSettings(), BuildSliders()};
    top->addWidget(editorParts_[0]);
    auto* middle = new QHBoxLayout;
    middle->addWidget(editorParts_[1], 1);
    middle->addWidget(editorParts_[2]);
    top->addLayout(middle, 1);
    top->addWidget(BuildButtons());

    connect(&timerGetCurrentValues_, &QTimer::timeout, this,
            &PidEditorWidget::TimerGetCurrentValues_Tick);
    connect(&send_, &PidSettingsSend::progress, this, [this](int done, int total) {
        prgSend_->setMaximum(total);
        prgSend_->setValue(done);
    });
    connect(&send_, &PidSettingsSend::finished, this, &PidEditorWidget::SendFinished);
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

QWidget* PidEditorWidget::BuildMode() {
    auto* row = new QWidget(this);
    auto* frame =
        Named(new QGroupBox(QStringLiteral("PID MODE"), row), QStringLiteral("FramePIDMode"));
    OptionPIDmode_[0] =
        Named(new QRadioButton(QStringLiteral("Automatic"), frame), Indexed("OptionPIDmode", 0));
    OptionPIDmode_[1] =
        Named(new QRadioButton(QStringLiteral("Manual"), frame), Indexed("OptionPIDmode", 1));
    OptionPIDmode_[0]->setChecked(true);
    frameMode_ = frame;
    auto* modes = new QHBoxLayout(frame);
    modes->addWidget(OptionPIDmode_[0]);
    modes->addWidget(OptionPIDmode_[1]);

    chkEnable_ = Named(new QCheckBox(QStringLiteral("Enable"), row), QStringLiteral("chkEnable"));
    chkRemoteSetpoint_ = Named(new QCheckBox(QStringLiteral("Remote setpoint"), row),
                               QStringLiteral("chkRemoteSetpoint"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(frame);
    layout->addSpacing(12);
    layout->addWidget(chkEnable_);
    layout->addWidget(chkRemoteSetpoint_);
    layout->addStretch(1);
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(OptionPIDmode_[0]),
                               static_cast<QAbstractButton*>(chkEnable_),
                               static_cast<QAbstractButton*>(chkRemoteSetpoint_)}) {
        connect(b, &QAbstractButton::toggled, this, &PidEditorWidget::UpdateMarks);
    }
    return row;
}

QWidget* PidEditorWidget::BuildSettings() {
    auto* frame = Named(new QGroupBox(QStringLiteral("Automatic mode settings"), this),
                        QStringLiteral("FrameAutoSettings"));
    auto* grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(3);
    constexpr int kRows = (PidBox::kCount + 1) / 2;
    for (int i = 0; i < PidBox::kCount; ++i) {
        auto* label = Named(new QLabel(PidBoxCaption(i), frame), Indexed("Label2", i));
        auto* box = Named(new QLineEdit(frame), Indexed("TextAutoPID", i));
        box->setMaximumWidth(72);
        box->setMinimumWidth(56);
        const QString tip = PidBoxToolTip(i);
        if (!tip.isEmpty()) {
            box->setToolTip(tip);
            label->setToolTip(tip);
        }
        label->setBuddy(box);
        boxTips_[static_cast<size_t>(i)] = tip;
        connect(box, &QLineEdit::textChanged, this, &PidEditorWidget::UpdateMarks);
        box->installEventFilter(this);
        TextAutoPID_[static_cast<size_t>(i)] = box;
        const int col = i < kRows ? 0 : 2;
        grid->addWidget(label, i % kRows, col);
        grid->addWidget(box, i % kRows, col + 1);
    }
    grid->setColumnMinimumWidth(2, 8);
    return frame;
}

QWidget* PidEditorWidget::BuildSliders() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* manual =
        Named(new QGroupBox(QStringLiteral("Manual"), box), QStringLiteral("FrameManual"));
    SliderManual_ = Named(new QSlider(Qt::Vertical, manual), QStringLiteral("SliderManual"));
    SliderManual_->setRange(0, kManualSliderMax);
    SliderManual_->setValue(50);
    SliderManual_->setTickPosition(QSlider::TicksRight);
    SliderManual_->setTickInterval(10);
    LabelManualValue_ =
        Named(new QLabel(QStringLiteral("  50 %"), manual), QStringLiteral("LabelManualValue"));
    auto* scale = new QVBoxLayout;
    scale->addWidget(
        Named(new QLabel(QStringLiteral("- 100%"), manual), QStringLiteral("lblScale100")));
    scale->addStretch(1);
    scale->addWidget(
        Named(new QLabel(QStringLiteral("- 50%"), manual), QStringLiteral("lblScale50")));
    scale->addStretch(1);
    scale->addWidget(
        Named(new QLabel(QStringLiteral("- 0%"), manual), QStringLiteral("lblScale0")));
    frameManual_ = manual;
    auto* manualGrid = new QGridLayout(manual);
    manualGrid->addWidget(SliderManual_, 0, 0);
    manualGrid->addLayout(scale, 0, 1);
    manualGrid->addWidget(LabelManualValue_, 1, 0, 1, 2, Qt::AlignHCenter);

    auto* setpoint =
        Named(new QGroupBox(QStringLiteral("Setpoint"), box), QStringLiteral("FrameSetpoint"));
    SliderSetpoint_ = Named(new QSlider(Qt::Vertical, setpoint), QStringLiteral("SliderSetpoint"));
    SliderSetpoint_->setRange(0, kSetpointSliderMax);
    SliderSetpoint_->setValue(50);
    LabelSetpointValue_ =
        Named(new QLabel(QStringLiteral("50"), setpoint), QStringLiteral("LabelSetpointValue"));
    auto* spLayout = new QVBoxLayout(setpoint);
    spLayout->addWidget(SliderSetpoint_, 1, Qt::AlignHCenter);
    spLayout->addWidget(LabelSetpointValue_, 0, Qt::AlignHCenter);

    layout->addWidget(manual);
    layout->addWidget(setpoint);

    connect(SliderManual_, &QSlider::valueChanged, this, &PidEditorWidget::SliderManualChanged);
    connect(SliderSetpoint_, &QSlider::valueChanged, this, &PidEditorWidget::SliderSetpointChanged);
    return box;
}

QWidget* PidEditorWidget::BuildButtons() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);

    auto* cmd1 = Button("Command1", QStringLiteral("Command1"), box);
    auto* plus = Button("Command2", QStringLiteral("+"), box);
    auto* minus = Button("Command3", QStringLiteral("-"), box);
    auto* e = Button("Command4", QStringLiteral("e"), box);
    auto* dis = Button("Command5", QStringLiteral("dis"), box);
    auto* commands = new QHBoxLayout;
    for (QPushButton* b : {cmd1, plus, minus, e, dis}) {
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

    connect(cmd1, &QPushButton::clicked, this, [this] {
        if (const clsPID* L = session_.loops().Selected()) {
            dialogs_.Message(AppTitle(), L->info());
        }
    });
    connect(plus, &QPushButton::clicked, this, [this] { SendCommand(Cmd::Plus); });
    connect(minus, &QPushButton::clicked, this, [this] { SendCommand(Cmd::Minus); });
    connect(e, &QPushButton::clicked, this, [this] { SendCommand(Cmd::LetterE); });
    connect(dis, &QPushButton::clicked, this, [this] { SendCommand(Cmd::LetterW); });
    connect(btnGetCurrentValues_, &QPushButton::clicked, this,
            &PidEditorWidget::btnGetCurrentValues_Click);
    connect(defaults, &QPushButton::clicked, this, &PidEditorWidget::cmdDefaults_Click);
    connect(load, &QPushButton::clicked, this, &PidEditorWidget::cmdLoadSettings_Click);
    connect(save, &QPushButton::clicked, this, &PidEditorWidget::cmdSaveSettings_Click);
    connect(cmdOK_, &QPushButton::clicked, this, &PidEditorWidget::cmdOK_Click);
    connect(quit, &QPushButton::clicked, this, &PidEditorWidget::quitRequested);
    connect(stepTest, &QPushButton::clicked, this, &PidEditorWidget::stepTestRequested);
    return box;
}

// ---- filling and reading the editor -----------------------------------------

void PidEditorWidget::FillLoopSelector() {
    const QSignalBlocker block(comboPID_);
    comboPID_->clear();
    comboPID_->addItem(session_.loops()[0].GetDesc());
    comboPID_->addItem(session_.loops()[1].GetDesc());
    comboPID_->setCurrentIndex(0);
    session_.loops().SetSelectedIndex(0);
    connect(comboPID_, &QComboBox::currentIndexChanged, this, &PidEditorWidget::comboPID_Click,
            Qt::UniqueConnection);
}

void PidEditorWidget::SetSlider(QSlider* slider, double value) {
    if (value < slider->minimum() || value > slider->maximum()) {
        // The slider shows the nearest end; the rest of the editor is still filled.
        WriteEventLog(QStringLiteral("Error TextRefresh Invalid property value"));
        value = value < slider->minimum() ? slider->minimum() : slider->maximum();
    }
    slider->setValue(static_cast<int>(value));
}

void PidEditorWidget::ShowLoopSettings() {
    const clsPID* L = session_.loops().Selected();
    if (L == nullptr) {
        WriteEventLog(QStringLiteral("Error TextRefresh Subscript out of range"));
        return;
    }
    const LoopSettingsView v = MakeLoopSettingsView(*L);
    filling_ = true;
    lblPIDdesc_->setText(v.desc);
    OptionPIDmode_[v.automatic ? 0 : 1]->setChecked(true);
    for (int i = 0; i < PidBox::kCount; ++i) {
        TextAutoPID_[static_cast<size_t>(i)]->setText(v.boxes[static_cast<size_t>(i)]);
    }
    SetSlider(SliderManual_, v.manualSlider);
    SetSlider(SliderSetpoint_, v.setpointSlider);
    chkEnable_->setChecked(v.enable != 0);
    chkRemoteSetpoint_->setChecked(v.remoteSetpoint != 0);
    filling_ = false;
    UpdateMarks();
}

PidEditorValues PidEditorWidget::values() const {
    PidEditorValues v;
    for (int i = 0; i < PidBox::kCount; ++i) {
        v.boxes[static_cast<size_t>(i)] = TextAutoPID_[static_cast<size_t>(i)]->text();
    }
    v.automatic = OptionPIDmode_[0]->isChecked();
    v.enable = chkEnable_->isChecked() ? 1 : 0;
    v.remoteSetpoint = chkRemoteSetpoint_->isChecked() ? 1 : 0;
    v.manual = SliderManual_->value();
    return v;
}

QString PidEditorWidget::ValidateSettings() {
    const int index = comboPID_->currentIndex();
    const ValidationOutcome out =
        tuvik::ValidateSettings(session_.loops().at(index), index, values());
    for (int i = 0; i < PidBox::kCount; ++i) {
        TextAutoPID_[static_cast<size_t>(i)]->setText(out.boxes[static_cast<size_t>(i)]);
    }
    if (!out.ok) {
        dialogs_.Message(AppTitle(), out.messageText);
    }
    return out.result();
}

// ---- event handlers ---------------------------------------------------------

bool PidEditorWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QWidget::eventFilter(watched, event);
    }
    auto* box = qobject_cast<QLineEdit*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    // Only typed characters are filtered; editing and moving keys and the
    // clipboard shortcuts keep working.
    if (box == nullptr || text.size() != 1 || text[0].unicode() < 0x20 ||
        (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        return QWidget::eventFilter(watched, event);
    }
    const std::optional<QChar> passed = FilterEditorKey(text[0]);
    if (!passed) {
        return true;
    }
    if (*passed != text[0]) {
        box->insert(QString(*passed));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PidEditorWidget::comboPID_Click(int index) {
    if (LoopFixed()) {
        // Set from code while the list is locked: the loop stays.
        const QSignalBlocker block(comboPID_);
        comboPID_->setCurrentIndex(session_.loops().selectedIndex());
        return;
    }
    session_.loops().SetSelectedIndex(index);
    if (index == 0 || index == 1) {
        if (DeviceLink* link = session_.ctx().activeLink()) {
            // 80 01 index 7F: the controller reports this loop from now on.
            link->Send(Cmd::SelectLoop) && link->Send(1) && link->Send(index) &&
                link->Send(Cmd::SelectLoop, true);
        }
    }
    ShowLoopSettings();
    emit selectedLoopChanged();
}

void PidEditorWidget::UpdateMarks() {
    if (filling_) {
        return;  // once, when the editor is filled
    }
    const int index = comboPID_->currentIndex();
    const bool known = index >= 0 && index < static_cast<int>(deviceValues_.size());
    const PidFieldMarks marks =
        PidEditorMarks(values(), known ? deviceValues_[static_cast<size_t>(index)] : std::nullopt);
    for (int i = 0; i < PidBox::kCount; ++i) {
        const int f = PidFieldOfBox(i);
        Mark(TextAutoPID_[static_cast<size_t>(i)],
             f < 0 ? std::nullopt : marks[static_cast<size_t>(f)],
             boxTips_[static_cast<size_t>(i)]);
    }
    Mark(frameMode_, marks[PidField::Mode], QString());
    Mark(chkEnable_, marks[PidField::Enable], QString());
    Mark(chkRemoteSetpoint_, marks[PidField::RemoteSetpoint], QString());
    Mark(frameManual_, marks[PidField::Manual], QString());
}

void PidEditorWidget::SliderManualChanged() {
    LabelManualValue_->setText(SliderValueText(SliderManual_->value()));
    UpdateMarks();
}

void PidEditorWidget::SliderSetpointChanged() {
    LabelSetpointValue_->setText(SliderValueText(SliderSetpoint_->value()));
    // Only a move by the user is a new setpoint: filling the editor from a
    // loop must not round the loop's setpoint to the slider's whole numbers.
    if (!filling_) {
        TextAutoPID_[PidBox::Setpoint]->setText(QString::number(SliderSetpoint_->value()));
    }
}

void PidEditorWidget::SendCommand(uint8_t cmd) {
    if (DeviceLink* link = session_.ctx().activeLink()) {
        link->SendRequest(cmd);
    }
}

void PidEditorWidget::btnGetCurrentValues_Click() {
    DeviceLink* link = session_.ctx().activeLink();
    if (link == nullptr) {
        return;
    }
    link->SetRefreshTimer(false);
    if (link->PortOpen()) {
        statusRecordsAtRead_ = session_.dispatcher().statusRecords();
        link->SendRequest(Cmd::ReadStatus);
        timerGetCurrentValues_.start();
        UpdateLocks();
        ShowLoopSettings();
    }
}

void PidEditorWidget::TimerGetCurrentValues_Tick() {
    ShowLoopSettings();
    timerGetCurrentValues_.stop();
    UpdateLocks();
    // A send that started meanwhile keeps the data request off until it ends.
    if (DeviceLink* link = session_.ctx().activeLink(); link && !ExchangeGuard::Busy()) {
        link->SetRefreshTimer(true);
    }
    const std::optional<uint64_t> before = std::exchange(statusRecordsAtRead_, std::nullopt);
    if (before && session_.dispatcher().statusRecords() == *before) {
        dialogs_.Message(AppTitle(), kNoStatusText, UserDialogs::Icon::Warning);
        return;
    }
    const int index = comboPID_->currentIndex();
    if (const clsPID* L = session_.loops().Selected(); L && before && PidStatusReportsLoop(index)) {
        deviceValues_[static_cast<size_t>(index)] = PidStatusSettings(L->StatusBytes());
        UpdateMarks();
    }
}

void PidEditorWidget::cmdOK_Click() {
    if (applying_ || send_.running() || ExchangeGuard::Busy()) {
        dialogs_.Message(AppTitle(), ExchangeGuard::BusyMessage());
        emit applyEnded(ApplyEnd::NotSent);
        return;
    }
    if (ValidateSettings() != QStringLiteral("OK")) {
        emit applyEnded(ApplyEnd::NotSent);
        return;
    }
    // From here to the verdict the loop, its list entry and the editor stay
    // as they are: the read-back judges the loop that was sent.
    applying_ = true;
    UpdateLocks();
    // The controller's values go beside the confirmation; the box opens when
    // they are in or the read's time is up.
    if (!StartDeviceRead(DeviceRead::BeforeSend)) {
        ConfirmAndSend(std::nullopt);
    }
}

void PidEditorWidget::EndApply(ApplyEnd end) {
    applying_ = false;
    UpdateLocks();
    emit applyEnded(end);
}

void PidEditorWidget::ConfirmAndSend(const std::optional<PidSettings>& device) {
    const int index = comboPID_->currentIndex();
    const PidSettingsSend::Built built =
        PidSettingsSend::BuildLoop(values(), index, session_.ctx().activeLink());
    sent_.reset();
    QString detail;
    if (built.loop) {
        WriteCheck check = MakePidWriteCheck(built.loop->Settings());
        if (device) {
            SetPidDeviceValues(check, *device);
        }
        detail = PidConfirmDetail(index, check);
    }
    const QString text = QStringLiteral("    Confirm current settings ! ") + QStringLiteral("\n") +
                         QStringLiteral("You are now changing systems PID-regulation settings!");
    if (!dialogs_.Confirm(QStringLiteral("PID control settings confirmation."), text,
                          UserDialogs::Icon::None, detail)) {
        EndApply(ApplyEnd::NotSent);
        return;
    }
    lblWriteCheck_->clear();
    lastBackup_.clear();
    if (built.loop && !WriteBackup(index, device)) {
        EndApply(ApplyEnd::NotSent);
        return;
    }
    if (built.loop) {
        sent_ = built.loop->Settings();
    }
    SendPIDSettings();
}

bool PidEditorWidget::WriteBackup(int index, const std::optional<PidSettings>& device) {
    const QString name = session_.loops()[index].GetName();
    std::optional<QString> failure;
    if (device) {
        const PidBackup backup = SavePidBackup(session_.paths().DailyDir(), name, index, *device,
                                               QDateTime::currentDateTime());
        failure = backup.error;
        lastBackup_ = failure ? QString() : backup.path;
    }
    const bool reported = PidStatusReportsLoop(index);
    const QString line = !reported ? PidSafeWriteText::NotReported()
                         : !device ? SafeWriteText::BackupFailed(SafeWriteText::NotRead())
                         : failure ? SafeWriteText::BackupFailed(*failure)
                                   : SafeWriteText::BackupSaved(lastBackup_);
    session_.log().AddMessage(PidSafeWriteText::LogLine(name, line));
    lblWriteCheck_->setText(line);
    // Without a backup only when the operator says so.
    if (reported && !lastBackup_.isEmpty()) {
        return true;
    }
    return !reported ||
           dialogs_.AskYesNo(AppTitle(), failure ? PidSafeWriteText::WriteWithoutSavedBackup(line)
                                                 : SafeWriteText::WriteWithoutBackup());
}

void PidEditorWidget::SendPIDSettings() {
    const int index = comboPID_->currentIndex();
    DeviceLink* link = session_.ctx().activeLink();
    PidSettingsSend::Built built = PidSettingsSend::BuildLoop(values(), index, link);
    if (!built.loop) {
        dialogs_.Message(AppTitle(), QStringLiteral(" Error SendPIDSettings ") + built.error);
        EndApply(ApplyEnd::NotSent);
        return;
    }
    const clsPID* selected = session_.loops().Selected();
    const uint8_t autoSetPoint = selected ? selected->AutoSetPoint() : 0;
    const bool overTcp = useTcp_ && useTcp_();
    prgSend_->setValue(0);
    prgSend_->setVisible(true);
    if (!send_.start(std::move(*built.loop), autoSetPoint, link, overTcp)) {
        prgSend_->setVisible(false);
        dialogs_.Message(AppTitle(), ExchangeGuard::BusyMessage());
        EndApply(ApplyEnd::NotSent);
    }
    UpdateLocks();
}

void PidEditorWidget::SendFinished(PidSettingsSend::Outcome outcome, const QString& detail) {
    prgSend_->setVisible(false);
    switch (outcome) {
        case PidSettingsSend::Outcome::Sent:
            session_.ctx().setMainCaption(detail);
            break;
        case PidSettingsSend::Outcome::NotAcknowledged:
            dialogs_.Message(QStringLiteral("PID error"),
                             QStringLiteral("PID settings upload not successfull!"),
                             UserDialogs::Icon::Critical);
            break;
        case PidSettingsSend::Outcome::Failed:
            // The answer does not matter: the user is only warned.
            dialogs_.Confirm(AppTitle(),
                             QStringLiteral("ERROR sending parameters! Please try again. False "
                                            "parameters may drive the system unstable!"));
            break;
    }
    // Whatever the acknowledgements said, the operator learns what the
    // controller now holds; a send that could not be carried out has no
    // controller to ask.
    lastSendOk_ = outcome == PidSettingsSend::Outcome::Sent;
    sendEnd_ = lastSendOk_                                   ? ApplyEnd::Sent
               : outcome == PidSettingsSend::Outcome::Failed ? ApplyEnd::Failed
                                                             : ApplyEnd::NotAcknowledged;
    if (outcome == PidSettingsSend::Outcome::Failed || !sent_ ||
        !StartDeviceRead(DeviceRead::AfterSend)) {
        sent_.reset();
        EndApply(sendEnd_);
    }
}

// ---- reads around a send ----------------------------------------------------

bool PidEditorWidget::StartDeviceRead(DeviceRead which) {
    const int index = comboPID_->currentIndex();
    if (!PidStatusReportsLoop(index)) {
        return false;
    }
    // Set before the request goes out: a link that fails on it ends the read
    // at once.
    deviceRead_ = which;
    deviceReadIndex_ = index;
    // A status record retitles the window; these reads leave the title as it was.
    captionAtDeviceRead_ = window()->windowTitle();
    ShowReading(true);
    lblWriteCheck_->setText(which == DeviceRead::BeforeSend ? PidSafeWriteText::ReadingBefore()
                                                            : PidSafeWriteText::ReadingAfter());
    if (!statusRead_.start(session_.ctx().activeLink(), useTcp_ && useTcp_())) {
        deviceRead_ = DeviceRead::None;
        ShowReading(false);
        lblWriteCheck_->clear();
        return false;
    }
    UpdateLocks();
    return true;
}

void PidEditorWidget::DeviceReadFinished(const std::optional<PidSettings>& device) {
    const DeviceRead which = std::exchange(deviceRead_, DeviceRead::None);
    if (which == DeviceRead::None) {
        return;
    }
    ShowReading(false);
    lblWriteCheck_->clear();
    if (device) {
        session_.ctx().setMainCaption(captionAtDeviceRead_);
        deviceValues_[static_cast<size_t>(deviceReadIndex_)] = device;
    }
    if (which == DeviceRead::BeforeSend) {
        ConfirmAndSend(device);
    } else {
        ReportReadBack(device);
    }
    UpdateMarks();
    if (which == DeviceRead::AfterSend) {
        EndApply(sendEnd_);
    }
}

void PidEditorWidget::ReportReadBack(const std::optional<PidSettings>& device) {
    if (!sent_) {
        return;
    }
    WriteCheck check = MakePidWriteCheck(*std::exchange(sent_, std::nullopt));
    if (device) {
        SetPidReadBack(check, *device);
    }
    const PidReadBackVerdict verdict =
        JudgeReadBack(session_.loops()[deviceReadIndex_].GetName(), check, lastBackup_);
    session_.log().AddMessage(verdict.logLine);
    lblWriteCheck_->setText(verdict.status);
    // A send already reported as failed gets no second box for a controller
    // that did not answer: only what it now holds is news.
    if (!verdict.verified && (lastSendOk_ || device)) {
        dialogs_.Message(SafeWriteText::MismatchTitle(),
                         SafeWriteText::Mismatch(check.DifferencesText()),
                         UserDialogs::Icon::Warning);
    }
}

void PidEditorWidget::ShowReading(bool on) {
    prgSend_->setRange(0, on ? 0 : PidSettingsSend::kSteps);
    prgSend_->setVisible(on);
}

bool PidEditorWidget::LoopFixed() const {
    return applying_ || loopHeld_ || send_.running() || deviceRead_ != DeviceRead::None ||
           timerGetCurrentValues_.isActive();
}

void PidEditorWidget::HoldLoop(bool hold) {
    loopHeld_ = hold;
    UpdateLocks();
}

void PidEditorWidget::UpdateLocks() {
    const bool exchange = applying_ || send_.running() || deviceRead_ != DeviceRead::None;
    cmdOK_->setEnabled(!exchange);
    btnGetCurrentValues_->setEnabled(!exchange && !timerGetCurrentValues_.isActive());
    for (QWidget* w : editorParts_) {
        w->setEnabled(!exchange);
    }
    const bool fixed = LoopFixed();
    for (QWidget* w : {static_cast<QWidget*>(comboPID_), static_cast<QWidget*>(cmdDefaults_),
                       static_cast<QWidget*>(cmdLoadSettings_)}) {
        w->setEnabled(!fixed);
    }
}

void PidEditorWidget::cmdDefaults_Click() {
    if (LoopFixed()) {
        return;
    }
    const PidLoadOutcome out =
        LoadPidDefaults(session_.loops(), comboPID_->currentIndex(), session_.paths());
    if (out.kind == PidLoadOutcome::Kind::Failed) {
        dialogs_.Message(AppTitle(), out.messageText);
        return;
    }
    ShowLoopSettings();
    emit selectedLoopChanged();
}

void PidEditorWidget::cmdLoadSettings_Click() {
    if (LoopFixed()) {
        return;
    }
    const QString path = dialogs_.OpenFileName(PidFile::LoadTitle(), PidFile::Filter());
    const int index = comboPID_->currentIndex();
    if (path.isEmpty()) {
        return;
    }
    // A backup names the loop it was made of; loops may share a name.
    if (const std::optional<int> of = PidBackupLoop(path);
        of && *of != index &&
        !dialogs_.AskYesNo(AppTitle(), PidSafeWriteText::OtherLoopBackup(*of, index))) {
        return;
    }
    const PidLoadOutcome out = LoadPidSettings(session_.loops(), index, path);
    if (out.kind == PidLoadOutcome::Kind::Failed) {
        dialogs_.Message(AppTitle(), out.messageText);
        return;
    }
    if (out.kind == PidLoadOutcome::Kind::NotAllowed) {
        dialogs_.Message(AppTitle(), out.messageText);
    }
    ShowLoopSettings();
    emit selectedLoopChanged();
}

void PidEditorWidget::cmdSaveSettings_Click() {
    if (ValidateSettings() != QStringLiteral("OK")) {
        return;
    }
    const QString path = dialogs_.SaveFileName(PidFile::SaveTitle(), PidFile::Filter());
    if (path.isEmpty()) {
        return;
    }
    if (SavePidFile(path, session_.loops().Selected())) {
        dialogs_.Message(AppTitle(), SaveErrorText());
    }
}

void PidEditorWidget::SetManualOutput(bool manual, int output) {
    OptionPIDmode_[manual ? 1 : 0]->setChecked(true);
    SliderManual_->setValue(output);
}

void PidEditorWidget::SetTuning(double K, double Ti, double Td) {
    const std::array<std::pair<int, double>, 3> boxes = {
        {{PidBox::K, K}, {PidBox::Ti, Ti}, {PidBox::Td, Td}}};
    for (const auto& [box, v] : boxes) {
        TextAutoPID_[static_cast<size_t>(box)]->setText(SingleText(static_cast<float>(v), '.'));
    }
}

void PidEditorWidget::Unload() {
    timerGetCurrentValues_.stop();
    send_.abandon();
    deviceRead_ = DeviceRead::None;
    statusRead_.abandon();
    sent_.reset();
    applying_ = false;
}

}  // namespace tuvik
