#include "pid/ui/PidSettingsForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <utility>

#include "support/Numbers.h"
#include "support/ui/Controls.h"

namespace tuvik {

namespace {

// Marks a control whose value is not the controller's with the controller's value.
void Mark(QWidget* w, const std::optional<QString>& tip, const QString& ownTip) {
    ShowEditedMark(w, tip, ownTip, true);
}

}  // namespace

PidSettingsForm::PidSettingsForm(QWidget* parent) : QObject(parent) {
    BuildMode(parent);
    BuildBoxes(parent);
    BuildSliders(parent);
}

void PidSettingsForm::BuildMode(QWidget* parent) {
    auto* row = modeRow_ = new QWidget(parent);
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
        connect(b, &QAbstractButton::toggled, this, &PidSettingsForm::Edited);
    }
}

void PidSettingsForm::BuildBoxes(QWidget* parent) {
    auto* frame = Named(new QGroupBox(QStringLiteral("Automatic mode settings"), parent),
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
        connect(box, &QLineEdit::textChanged, this, &PidSettingsForm::Edited);
        box->installEventFilter(this);
        TextAutoPID_[static_cast<size_t>(i)] = box;
        const int col = i < kRows ? 0 : 2;
        grid->addWidget(label, i % kRows, col);
        grid->addWidget(box, i % kRows, col + 1);
    }
    grid->setColumnMinimumWidth(2, 8);
    boxes_ = frame;
}

void PidSettingsForm::BuildSliders(QWidget* parent) {
    auto* box = sliders_ = new QWidget(parent);
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

    connect(SliderManual_, &QSlider::valueChanged, this, &PidSettingsForm::SliderManualChanged);
    connect(SliderSetpoint_, &QSlider::valueChanged, this, &PidSettingsForm::SliderSetpointChanged);
}

PidEditorValues PidSettingsForm::Values() const {
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

void PidSettingsForm::SetBoxes(const PidBoxTexts& boxes) {
    for (int i = 0; i < PidBox::kCount; ++i) {
        TextAutoPID_[static_cast<size_t>(i)]->setText(boxes[static_cast<size_t>(i)]);
    }
}

void PidSettingsForm::Fill(const LoopSettingsView& v, int manualSlider, int setpointSlider) {
    filling_ = true;
    OptionPIDmode_[v.automatic ? 0 : 1]->setChecked(true);
    SetBoxes(v.boxes);
    SliderManual_->setValue(manualSlider);
    SliderSetpoint_->setValue(setpointSlider);
    chkEnable_->setChecked(v.enable != 0);
    chkRemoteSetpoint_->setChecked(v.remoteSetpoint != 0);
    filling_ = false;
    emit edited();  // once, now that the editor is filled
}

void PidSettingsForm::SetManualOutput(int output) {
    OptionPIDmode_[1]->setChecked(true);
    SliderManual_->setValue(output);
}

void PidSettingsForm::SetTuning(double K, double Ti, double Td) {
    const std::array<std::pair<int, double>, 3> boxes = {
        {{PidBox::K, K}, {PidBox::Ti, Ti}, {PidBox::Td, Td}}};
    for (const auto& [box, v] : boxes) {
        TextAutoPID_[static_cast<size_t>(box)]->setText(SingleText(static_cast<float>(v), '.'));
    }
}

void PidSettingsForm::ShowMarks(const PidFieldMarks& tips) {
    for (int i = 0; i < PidBox::kCount; ++i) {
        const int f = PidFieldOfBox(i);
        Mark(TextAutoPID_[static_cast<size_t>(i)],
             f < 0 ? std::nullopt : tips[static_cast<size_t>(f)], boxTips_[static_cast<size_t>(i)]);
    }
    Mark(frameMode_, tips[PidField::Mode], QString());
    Mark(chkEnable_, tips[PidField::Enable], QString());
    Mark(chkRemoteSetpoint_, tips[PidField::RemoteSetpoint], QString());
    Mark(frameManual_, tips[PidField::Manual], QString());
}

void PidSettingsForm::Edited() {
    if (!filling_) {
        emit edited();
    }
}

void PidSettingsForm::SliderManualChanged() {
    LabelManualValue_->setText(SliderValueText(SliderManual_->value()));
    Edited();
}

void PidSettingsForm::SliderSetpointChanged() {
    LabelSetpointValue_->setText(SliderValueText(SliderSetpoint_->value()));
    // Only a move by the user is a new setpoint: filling the editor from a
    // loop must not round the loop's setpoint to the slider's whole numbers.
    if (!filling_) {
        TextAutoPID_[PidBox::Setpoint]->setText(QString::number(SliderSetpoint_->value()));
    }
}

// ---- the key filter of the boxes ----------------------------------------------

bool PidSettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    auto* box = qobject_cast<QLineEdit*>(watched);
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    // Only typed characters are filtered; editing and moving keys and the
    // clipboard shortcuts keep working.
    if (box == nullptr || text.size() != 1 || text[0].unicode() < 0x20 ||
        (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        return QObject::eventFilter(watched, event);
    }
    const std::optional<QChar> passed = FilterEditorKey(text[0]);
    if (!passed) {
        return true;
    }
    if (*passed != text[0]) {
        box->insert(QString(*passed));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tuvik
