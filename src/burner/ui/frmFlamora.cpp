#include "burner/ui/frmFlamora.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <utility>

#include "burner/BurnerIdentity.h"
#include "burner/SingleParam.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "burner/ui/frmLocalise.h"
#include "link/Packet.h"
#include "shell/Session.h"
#include "support/ExchangeGuard.h"
#include "support/ui/Controls.h"

namespace tuvik {

const QString frmFlamora::kDesignTitle = QStringLiteral("Emberkin FlamoraBurner parameters");

frmFlamora::frmFlamora(Session& session, UserDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      session_(session),
      dialogs_(dialogs ? *dialogs : DefaultDialogs()),
      measLog_(session.paths().DailyDir()) {
    setObjectName(QStringLiteral("frmFlamora"));
    setWindowTitle(kDesignTitle);

    auto* content = Named(new QWidget, "Frame1");
    auto* columns = new QHBoxLayout(content);
    measurements_ = new MeasurementsPanel;
    paramSet_ = new ParamSetPanel(session_, dialogs_);
    singleParam_ = new SingleParamPanel(session_, dialogs_);
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

    pollTimer_.setObjectName(QStringLiteral("Timer1"));
    pollTimer_.setInterval(BurnerPolling::kTickMs);
    connect(&pollTimer_, &QTimer::timeout, this, &frmFlamora::Poll);

    // A TCP link connects only after the load has run, so the parameter-set
    // request of the load found no link; the burner's identification decides
    // how its measurements are read, so it is asked for once the link is up.
    connect(&session_.ctx(), &AppContext::linkConnectedChanged, this, [this](bool connected) {
        if (!connected) {
            paramSet_->edits().ForgetOverwrite();
        } else if (loaded_) {
            paramSet_->RequestParamSet(true);
        }
    });
    connect(&measLog_, &MeasLog::userNotice, &session_.ctx(), &AppContext::notifyUser);
    connect(&session_.replay(), &ReplayController::replayingChanged, this,
            &frmFlamora::ReplayingChanged);
    // The history keeps the same rows, with the loops' seconds.
    connect(&measLog_, &MeasLog::rowStored, &session_.history(), &HistoryStore::AddBurnerRow);
    connect(measurements_, &MeasurementsPanel::savingToggled, &measLog_, &MeasLog::setSaving);
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

    extras_ = new frmExtra(session_, &dialogs_, this);

    session_.dispatcher().SetBurnerWindow(this);
}

frmFlamora::~frmFlamora() {
    session_.dispatcher().SetBurnerWindow(nullptr);
    // Without the window the log's lines carry no readings.
    session_.log().setReadings({});
    // measLog_ writes what it still holds as it goes.
}

void frmFlamora::Load() {
    // Loading a loaded window does nothing: a reconnect asks for the
    // identification through the link's connected signal instead, and the
    // list and the boxes keep what the operator picked and typed.
    if (loaded_) {
        return;
    }
    LocaliseCaptions(this);
    paramSet_->RequestParamSet(true);
    singleParam_->FillParameterList();
    polling_.Load();
    pollTimer_.start();
    loaded_ = true;
}

void frmFlamora::Unload() {
    pollTimer_.stop();
    measLog_.SaveMeasToFile();
    if (allParams_) {
        allParams_->close();
    }
    extras_->close();
    loaded_ = false;
    hide();
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
    measLog_.SaveMeasToFile();
    QWidget::closeEvent(event);
}

void frmFlamora::Poll() {
    const std::vector<uint8_t> polls =
        polling_.Tick(session_.ctx().LinkConnected(), session_.state().burner.BurnerHwVersion);
    if (DeviceLink* link = session_.ctx().activeLink(); link && !polls.empty()) {
        SendPolls(*link, polls);
    }
}

void frmFlamora::SendCommand(uint8_t command) {
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        dialogs_.Message(windowTitle(), why, UserDialogs::Icon::Warning);
        return;
    }
    DeviceLink* link = session_.ctx().activeLink();
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
        allParams_ = new frmAllParams(session_, &dialogs_, this);
    }
    return allParams_;
}

void frmFlamora::ShowMeasurements(const BurnerMeasurements& m) {
    readings_.Merge(m);
    measurements_->ShowReadings(readings_);
    session_.log().setReadings(MessageLogReadings(readings_));
}

void frmFlamora::ShowUsageTimes(const BurnerUsageTimes& u) {
    measurements_->ShowUsageTimes(u);
}

void frmFlamora::MeasuresUpdated() {
    // A replayed row is stamped as its history second is: in the recorded time.
    if (session_.replay().replaying()) {
        measLog_.MeasuresUpdated(ReadingTexts(readings_), session_.DeviceTime());
    } else {
        measLog_.MeasuresUpdated(ReadingTexts(readings_));
    }
}

void frmFlamora::ReplayingChanged(bool on) {
    // Replaying yesterday adds nothing to today's measurement file.
    measLog_.setHeld(on);
    if (on) {
        if (!live_) {
            live_ = Live{windowTitle(), readings_, measurements_->usageTexts(), paramSet_->shown(),
                         singleParam_->valueText()};
            if (allParams_) {
                allParams_->model().HoldValues();
            }
        }
        return;
    }
    if (!live_) {
        return;
    }
    // Through the code that fills them, so that their marks follow.
    const Live live = *std::exchange(live_, std::nullopt);
    setWindowTitle(live.title);
    readings_ = live.readings;
    measurements_->ShowReadings(readings_);
    measurements_->ShowUsageTexts(live.usage);
    paramSet_->Show(live.paramSet);
    singleParam_->SetValueText(live.value);
    if (allParams_) {
        allParams_->model().RestoreValues();
    }
}

void frmFlamora::ParamSetReceived(std::span<const uint8_t> data) {
    // A reply too short for the version leaves the title as it was.
    if (data.size() >= 2) {
        setWindowTitle(ApplyIdentification(session_.state().burner, data));
    }
    paramSet_->ParamSetReceived(data);
}

void frmFlamora::SetValueText(const QString& text) {
    singleParam_->SetValueText(text);
}

void frmFlamora::ValueRead(int32_t value, int32_t address, bool word) {
    singleParam_->ValueRead(value, address, word);
}

}  // namespace tuvik
