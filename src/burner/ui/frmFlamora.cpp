#include "burner/ui/frmFlamora.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <utility>

#include "burner/SingleParam.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "burner/ui/frmLocalise.h"
#include "link/DeviceLink.h"
#include "link/Packet.h"
#include "support/ExchangeGuard.h"
#include "support/ui/Controls.h"

namespace tuvik {

const QString frmFlamora::kDesignTitle = QStringLiteral("Emberkin FlamoraBurner parameters");

frmFlamora::frmFlamora(const BurnerScope& scope, UserDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      scope_(scope),
      model_(scope.model),
      dialogs_(dialogs ? *dialogs : DefaultDialogs()),
      untitled_(kDesignTitle) {
    setObjectName(QStringLiteral("frmFlamora"));
    setWindowTitle(kDesignTitle);

    auto* content = Named(new QWidget, "Frame1");
    auto* columns = new QHBoxLayout(content);
    measurements_ = new MeasurementsPanel;
    paramSet_ = new ParamSetPanel(model_, dialogs_);
    singleParam_ = new SingleParamPanel(scope_, dialogs_);
    columns->addWidget(measurements_, 0, Qt::AlignTop);
    columns->addWidget(paramSet_, 0, Qt::AlignTop);
    columns->addWidget(singleParam_, 0, Qt::AlignTop);
    columns->addStretch(1);

    auto* scroll = Named(new QScrollArea(this), "VScroll1");
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    // Big enough for all of the content where the screen allows; smaller
    // screens scroll.
    const QSize size = content->sizeHint() + QSize(24, 24);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableSize() * 9 / 10 : size;
    resize(size.boundedTo(room));

    connect(&model_, &BurnerModel::identityChanged, this, &frmFlamora::ShowIdentity);
    connect(&model_, &BurnerModel::readingsChanged, this,
            [this] { measurements_->ShowReadings(model_.readings()); });
    connect(&model_, &BurnerModel::usageChanged, this, &frmFlamora::ShowUsage);
    connect(&model_, &BurnerModel::replayingChanged, this, &frmFlamora::ReplayingChanged);
    connect(measurements_, &MeasurementsPanel::savingToggled, &model_.measLog(),
            &MeasLog::setSaving);
    // A command that could not go out says so, as the other requests of this window do.
    connect(measurements_, &MeasurementsPanel::calibrateLambdaClicked, this,
            [this] { SendCommand(Cmd::CalLambda); });
    connect(measurements_, &MeasurementsPanel::initParamsClicked, this,
            [this] { SendCommand(Cmd::Commit); });
    connect(measurements_, &MeasurementsPanel::allParamsClicked, this,
            [this] { ShowWindow(allParams()); });
    connect(measurements_, &MeasurementsPanel::extrasClicked, this,
            [this] { ShowWindow(extras_); });

    const auto askWithoutBackup = [this] {
        return dialogs_.AskYesNo(windowTitle(), SafeWriteText::WriteWithoutBackup());
    };
    paramSet_->safeSend().setAskWithoutBackup(askWithoutBackup);
    singleParam_->singleWrite().setAskWithoutBackup(askWithoutBackup);

    extras_ = new frmExtra(model_, &dialogs_, this);

    // What the model already holds (a window made again after the first).
    if (model_.identified()) {
        ShowIdentity();
    }
    measurements_->ShowReadings(model_.readings());
    ShowUsage();
}

frmFlamora::~frmFlamora() = default;

void frmFlamora::Load() {
    model_.Load();
    // Loading a loaded window does nothing more: the list and the boxes keep
    // what the operator picked and typed.
    if (loaded_) {
        return;
    }
    LocaliseCaptions(this);
    if (!model_.identified()) {
        untitled_ = windowTitle();
    }
    singleParam_->FillParameterList();
    loaded_ = true;
}

void frmFlamora::showEvent(QShowEvent* event) {
    if (!loaded_) {
        Load();
    }
    QWidget::showEvent(event);
}

void frmFlamora::closeEvent(QCloseEvent* event) {
    // The window only hides (the readings and the polling go on), but the
    // rows buffered so far go to the file now.
    model_.measLog().Flush();
    QWidget::closeEvent(event);
}

void frmFlamora::SendCommand(uint8_t command) {
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        dialogs_.Message(windowTitle(), why, UserDialogs::Icon::Warning);
        return;
    }
    DeviceLink* link = model_.link();
    if (!link || !link->PortOpen() || !link->SendPacket(command)) {
        dialogs_.Message(windowTitle(), NotSentMessage(), UserDialogs::Icon::Warning);
    }
}

void frmFlamora::ShowWindow(QWidget* w) {
    w->show();
    w->raise();
    w->activateWindow();
}

frmAllParams* frmFlamora::allParams() {
    if (!allParams_) {
        allParams_ = new frmAllParams(scope_, &dialogs_, this);
    }
    return allParams_;
}

void frmFlamora::ShowIdentity() {
    setWindowTitle(model_.identified() ? IdentificationTitle(model_.identity()) : untitled_);
}

void frmFlamora::ShowUsage() {
    measurements_->ShowUsageTimes(model_.usage());
}

void frmFlamora::ReplayingChanged(bool on) {
    if (on) {
        live_ = Live{paramSet_->shown(), singleParam_->valueText()};
        return;
    }
    if (!live_) {
        return;
    }
    // Through the code that fills them, so that their marks follow.
    const Live live = *std::exchange(live_, std::nullopt);
    paramSet_->Show(live.paramSet);
    singleParam_->SetValueText(live.value);
}

}  // namespace tuvik
