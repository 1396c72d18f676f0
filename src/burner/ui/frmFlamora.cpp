#include "burner/ui/frmFlamora.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "burner/BurnerIdentity.h"
#include "burner/ParamTable.h"
#include "burner/SingleParam.h"
#include "burner/ui/frmAllParams.h"
#include "burner/ui/frmExtra.h"
#include "burner/ui/frmLocalise.h"
#include "link/Packet.h"
#include "shell/Session.h"
#include "support/ui/Controls.h"
#include "support/ui/StandardDialogsWidget.h"

namespace tuvik {

const QString frmFlamora::kDesignTitle = QStringLiteral("Emberkin FlamoraBurner parameters");

namespace {

// Captions and (for the LED labels and the check box) string-table numbers.
struct MeasRow {
    const char* caption;
    const char* captionText;
    const char* value;
};
constexpr MeasRow kMeasRows[] = {
    {"Label2", "Tgas", "lblTgas"},
    {"Label6", "O2", "lblLambda"},
    {"Label12", "Theater", "lblTempKTYPE1"},
    {"Label3", "Twater", "lblTwater"},
    {"Label5", "VFD", "lblVFD"},
    {"Label8", "Tdevice", "lblBAfan"},
    {"Label7", "IR Sig", "lblIRsig"},
};
const char* const kLedCaptions[frmFlamora::kLedCount] = {"Arina",
                                                         "Polttoaineruuvi",
                                                         "Kipinä",
                                                         "Sytytysvastus",
                                                         "Ilmapuhallus",
                                                         "-",
                                                         "-",
                                                         "-",
                                                         "State LED",
                                                         "Error LED",
                                                         "-",
                                                         "-"};
const char* const kUsageCaptions[frmFlamora::kUsageCount] = {"Power on Time", "Startup Time",
                                                             "Run Time", "Idle Time", "OFF Time"};

QLabel* ValueLabel(QWidget* parent, const QString& name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(90);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

}  // namespace

frmFlamora::frmFlamora(Session& session, UserDialogs* dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      session_(session),
      dialogs_(dialogs ? *dialogs : DefaultDialogs()),
      leds_(LoadLedPictures()),
      measLog_(session.paths().DailyDir()),
      upload_(&session.state().WriteAckCount),
      safeSend_(upload_, session.paths().DailyDir()) {
    upload_.setWriteRefusedCounter(&session.state().WriteRefusedCount);
    setObjectName(QStringLiteral("frmFlamora"));
    setWindowTitle(kDesignTitle);

    Frame1 = new QWidget;
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* columns = new QHBoxLayout(Frame1);
    columns->addWidget(BuildMeasurements(), 0, Qt::AlignTop);
    columns->addWidget(BuildParamSet(), 0, Qt::AlignTop);
    columns->addWidget(BuildSingleParam(), 0, Qt::AlignTop);
    columns->addStretch(1);

    VScroll1 = new QScrollArea(this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setWidget(Frame1);
    VScroll1->setWidgetResizable(true);
    VScroll1->setFrameShape(QFrame::NoFrame);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(VScroll1);
    // Big enough for all of the content where the screen allows; smaller
    // screens scroll.
    const QSize content = Frame1->sizeHint() + QSize(24, 24);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableSize() * 9 / 10 : content;
    resize(content.boundedTo(room));

    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(BurnerPolling::kTickMs);
    connect(&timer1_, &QTimer::timeout, this, &frmFlamora::OnTimer1);

    // A TCP link connects only after the load has run, so the parameter-set
    // request of the load found no link; the burner's identification decides
    // how its measurements are read, so it is asked for once the link is up.
    connect(&session_.ctx(), &AppContext::linkConnectedChanged, this, [this](bool connected) {
        if (!connected) {
            ForgetOverwrite();
        } else if (loaded_) {
            RequestParamSet(true);
        }
    });
    // "Get values" gives the edited boxes up to its own reply only: one that
    // does not come in the time a device read waits for never arrives.
    overwriteWait_.setSingleShot(true);
    overwriteWait_.setInterval(BurnerDeviceRead::kTimeoutMs);
    connect(&overwriteWait_, &QTimer::timeout, this, &frmFlamora::ForgetOverwrite);
    connect(&measLog_, &MeasLog::userNotice, &session_.ctx(), &AppContext::notifyUser);
    connect(CheckSaveMeas, &QCheckBox::toggled, &measLog_, &MeasLog::setSaving);

    // The reads around the upload show as a busy bar (range 0..0).
    connect(&safeSend_, &ParamSetSafeSend::progress, this, [this](int done, int total) {
        prgUpload->setRange(0, total);
        prgUpload->setValue(done);
    });
    connect(&safeSend_, &ParamSetSafeSend::reported, this, [this](bool ok, const QString& text) {
        Tell(text, ok ? UserDialogs::Icon::None : UserDialogs::Icon::Critical);
    });
    connect(&safeSend_, &ParamSetSafeSend::done, this, &frmFlamora::UploadFinished);
    connect(&safeSend_, &ParamSetSafeSend::mismatch, this, &frmFlamora::ShowMismatch);
    connect(&single_, &SingleSafeWrite::mismatch, this, &frmFlamora::ShowMismatch);
    connect(&single_, &SingleSafeWrite::failed, this,
            [this](const QString& text) { Tell(text, UserDialogs::Icon::Warning); });
    const auto log = [this](const QString& line) { session_.log().AddMessage(line); };
    connect(&safeSend_, &ParamSetSafeSend::logLine, this, log);
    connect(&single_, &SingleSafeWrite::logLine, this, log);
    const auto askWithoutBackup = [this] {
        return dialogs_.AskYesNo(windowTitle(), SafeWriteText::WriteWithoutBackup());
    };
    safeSend_.setAskWithoutBackup(askWithoutBackup);
    single_.setAskWithoutBackup(askWithoutBackup);

    extras_ = new frmExtra(session_, &dialogs_, this);

    session_.dispatcher().SetBurnerWindow(this);
    session_.log().setBurnerLabels(this);
}

frmFlamora::~frmFlamora() {
    session_.dispatcher().SetBurnerWindow(nullptr);
    session_.log().setBurnerLabels(nullptr);
    // measLog_ writes what it still holds as it goes.
}

QLabel* frmFlamora::AddLabel(const QString& name, const QString& text) {
    auto* l = new QLabel(text);
    l->setObjectName(name);
    return l;
}

QPushButton* frmFlamora::AddButton(const QString& name, const QString& text) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    return b;
}

QWidget* frmFlamora::BuildMeasurements() {
    auto* box = new QGroupBox;
    auto* v = new QVBoxLayout(box);

    auto* meas = new QGridLayout;
    int row = 0;
    for (const MeasRow& r : kMeasRows) {
        meas->addWidget(
            AddLabel(QString::fromLatin1(r.caption), QString::fromLatin1(r.captionText)), row, 0);
        QLabel* value = ValueLabel(box, QString::fromLatin1(r.value));
        values_.insert(value->objectName(), value);
        meas->addWidget(value, row++, 1);
    }
    for (const char* name : {"lblProgState", "lblDevState"}) {
        QLabel* value = ValueLabel(box, QString::fromLatin1(name));
        value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        values_.insert(value->objectName(), value);
        meas->addWidget(value, row++, 0, 1, 2);
    }
    v->addLayout(meas);

    // Actuator LEDs in two columns of six.
    auto* ledGrid = new QGridLayout;
    for (int i = 0; i < kLedCount; ++i) {
        imgDev[i] = new LedWidget;
        imgDev[i]->setObjectName(Indexed("imgDev", i));
        imgDev[i]->setPicture(leds_.LedGrey);
        Label9[i] = AddLabel(Indexed("Label9", i), QString::fromUtf8(kLedCaptions[i]));
        if (i < 5) {
            SetTag(Label9[i], QString::number(10101 + i));
        }
        const int col = (i / 6) * 2;
        ledGrid->addWidget(imgDev[i], i % 6, col);
        ledGrid->addWidget(Label9[i], i % 6, col + 1);
    }
    ledGrid->setColumnStretch(1, 1);
    ledGrid->setColumnStretch(3, 1);
    v->addLayout(ledGrid);

    auto* usage = new QGridLayout;
    for (int i = 0; i < kUsageCount; ++i) {
        Label10[i] = AddLabel(Indexed("Label10", i), QString::fromLatin1(kUsageCaptions[i]));
        lblUsageTime[i] = ValueLabel(box, Indexed("lblUsageTime", i));
        usage->addWidget(Label10[i], i, 0);
        usage->addWidget(lblUsageTime[i], i, 1);
    }
    v->addLayout(usage);

    CheckSaveMeas = new QCheckBox(QStringLiteral("Tallenna mittaukset tiedostoon"));
    CheckSaveMeas->setObjectName(QStringLiteral("CheckSaveMeas"));
    SetTag(CheckSaveMeas, QStringLiteral("10150"));
    v->addWidget(CheckSaveMeas);

    auto* buttons = new QGridLayout;
    QPushButton* btnCalLambda =
        AddButton(QStringLiteral("btnCalLambda"), QStringLiteral("Calibrate Lambda"));
    QPushButton* Command1 = AddButton(QStringLiteral("Command1"), QStringLiteral("InitParams"));
    QPushButton* cmdAllParams =
        AddButton(QStringLiteral("cmdAllParams"), QStringLiteral("All Params"));
    QPushButton* btnExtras = AddButton(QStringLiteral("btnExtras"), QStringLiteral("Extras"));
    buttons->addWidget(btnCalLambda, 0, 0);
    buttons->addWidget(Command1, 0, 1);
    buttons->addWidget(cmdAllParams, 1, 0);
    buttons->addWidget(btnExtras, 1, 1);
    v->addLayout(buttons);
    v->addStretch(1);

    // Neither command waits for or shows an answer; a command that could not
    // go out says so, as the other requests of this window do.
    connect(btnCalLambda, &QPushButton::clicked, this, [this] { SendCommand(Cmd::CalLambda); });
    connect(Command1, &QPushButton::clicked, this, [this] { SendCommand(Cmd::Commit); });
    connect(cmdAllParams, &QPushButton::clicked, this, [this] {
        frmAllParams* w = allParams();
        w->show();
        w->raise();
        w->activateWindow();
    });
    connect(btnExtras, &QPushButton::clicked, this, [this] {
        extras_->show();
        extras_->raise();
        extras_->activateWindow();
    });
    return box;
}

QWidget* frmFlamora::BuildParamSet() {
    auto* box = new QGroupBox;
    auto* grid = new QGridLayout(box);
    const auto& defs = ParamBoxes();
    for (int i = 0; i < kParamBoxCount; ++i) {
        QLabel* label = AddLabel(Indexed("Label1", i), defs[i].label);
        txtFlamoraParams[i] = new QLineEdit(QString::fromLatin1(kUnreadBoxText));
        txtFlamoraParams[i]->setObjectName(Indexed("txtFlamoraParams", i));
        txtFlamoraParams[i]->setToolTip(defs[i].tooltip);
        txtFlamoraParams[i]->setMaximumWidth(80);
        txtFlamoraParams[i]->setAlignment(Qt::AlignRight);
        label->setBuddy(txtFlamoraParams[i]);
        grid->addWidget(label, i, 0);
        grid->addWidget(txtFlamoraParams[i], i, 1);
    }
    btnGetvalues = AddButton(QStringLiteral("btnGetvalues"), QStringLiteral("Get values"));
    btnSendValues = AddButton(QStringLiteral("btnSendValues"), QStringLiteral("Send Values"));
    prgUpload = new QProgressBar;
    prgUpload->setObjectName(QStringLiteral("prgUpload"));
    prgUpload->setRange(0, ParamSetUpload::kSteps);
    prgUpload->setValue(0);
    prgUpload->setTextVisible(false);
    prgUpload->setMaximumHeight(10);
    prgUpload->hide();  // shown while an upload runs
    grid->addWidget(btnGetvalues, kParamBoxCount, 0);
    grid->addWidget(btnSendValues, kParamBoxCount, 1);
    grid->addWidget(prgUpload, kParamBoxCount + 1, 0, 1, 2);
    QPushButton* btnLoadBackup =
        AddButton(QStringLiteral("btnLoadBackup"), QStringLiteral("Load backup"));
    grid->addWidget(btnLoadBackup, kParamBoxCount + 2, 0, 1, 2);
    connect(btnLoadBackup, &QPushButton::clicked, this, &frmFlamora::LoadBackup);
    for (QLineEdit* edit : txtFlamoraParams) {
        connect(edit, &QLineEdit::textChanged, this, &frmFlamora::UpdateMarks);
    }
    // The operator asked for the device's values: they replace every box.
    connect(btnGetvalues, &QPushButton::clicked, this, [this] { RequestParamSet(false, true); });
    connect(btnSendValues, &QPushButton::clicked, this, &frmFlamora::SendValues);
    return box;
}

QWidget* frmFlamora::BuildSingleParam() {
    auto* box = new QGroupBox;
    auto* grid = new QGridLayout(box);
    ComboParameters = new QComboBox;
    ComboParameters->setObjectName(QStringLiteral("ComboParameters"));
    ComboParameters->setEditable(true);
    ComboParameters->setInsertPolicy(QComboBox::NoInsert);
    ComboParameters->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboParameters->setMinimumContentsLength(28);
    ComboParameters->setEditText(QStringLiteral("Combo1"));
    grid->addWidget(ComboParameters, 0, 0, 1, 2);

    QLabel* Label4 = AddLabel(QStringLiteral("Label4"), QStringLiteral("Osoite"));
    SetTag(Label4, QStringLiteral("10151"));
    txtOso = new QLineEdit;
    txtOso->setObjectName(QStringLiteral("txtOso"));
    QLabel* Label11 = AddLabel(QStringLiteral("Label11"), QStringLiteral("Arvo"));
    SetTag(Label11, QStringLiteral("10152"));
    txtValue = new QLineEdit;
    txtValue->setObjectName(QStringLiteral("txtValue"));
    grid->addWidget(Label4, 1, 0);
    grid->addWidget(txtOso, 1, 1);
    grid->addWidget(Label11, 2, 0);
    grid->addWidget(txtValue, 2, 1);

    const char* const names[] = {"btnRead", "btnRead16Bit", "btnWrite", "btnWrite16bit"};
    const char* const texts[] = {"Read", "Read 16bit", "Write", "Write 16bit"};
    for (int i = 0; i < 4; ++i) {
        QPushButton* b = AddButton(QString::fromLatin1(names[i]), QString::fromLatin1(texts[i]));
        grid->addWidget(b, 3 + i / 2, i % 2);
        connect(b, &QPushButton::clicked, this, [this, i] { SingleParamAction(i); });
    }
    // Without the burner firmware's PARAMS.h the list stays empty; say why.
    lblParamsMissing = new QLabel;
    lblParamsMissing->setObjectName(QStringLiteral("lblParamsMissing"));
    lblParamsMissing->setWordWrap(true);
    lblParamsMissing->setMaximumWidth(320);
    lblParamsMissing->hide();
    grid->addWidget(lblParamsMissing, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);

    // A pick from the list, and every edit of its text, fill the address box.
    connect(ComboParameters, &QComboBox::currentIndexChanged, this, &frmFlamora::ComboToAddress);
    connect(ComboParameters, &QComboBox::activated, this, &frmFlamora::ComboToAddress);
    connect(ComboParameters, &QComboBox::editTextChanged, this, &frmFlamora::ComboToAddress);
    return box;
}

void frmFlamora::Load() {
    // Loading a loaded window does nothing: a reconnect asks for the
    // identification through the link's connected signal instead, and the
    // list and the boxes keep what the operator picked and typed.
    if (loaded_) {
        return;
    }
    LocaliseCaptions(this);
    RequestParamSet(true);
    FillParameterList();
    polling_.Load();
    timer1_.start();
    loaded_ = true;
}

void frmFlamora::Unload() {
    timer1_.stop();
    SaveMeasToFile();
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
    // The window only hides (the log reads its labels and the polling goes
    // on), but the rows buffered so far go to the file now.
    SaveMeasToFile();
    QWidget::closeEvent(event);
}

DeviceLink* frmFlamora::OpenLink() {
    DeviceLink* link = session_.ctx().activeLink();
    return link && link->PortOpen() ? link : nullptr;
}

void frmFlamora::Tell(const QString& text, UserDialogs::Icon icon) {
    dialogs_.Message(windowTitle(), text, icon);
}

void frmFlamora::OnTimer1() {
    const std::vector<uint8_t> polls =
        polling_.Tick(session_.ctx().LinkConnected(), session_.state().burner.BurnerHwVersion);
    if (DeviceLink* link = session_.ctx().activeLink(); link && !polls.empty()) {
        SendPolls(*link, polls);
    }
}

void frmFlamora::SendCommand(uint8_t command) {
    DeviceLink* link = OpenLink();
    if (!link || !link->SendPacket(command)) {
        Tell(NotSentMessage(), UserDialogs::Icon::Warning);
    }
}

void frmFlamora::RequestParamSet(bool quiet, bool overwrite) {
    DeviceLink* link = OpenLink();
    const bool sent = link && link->SendPacket(Cmd::ReadParamSet);
    if (overwrite) {
        overwriteEdits_ = sent;
        if (sent) {
            overwriteWait_.start();
        }
    }
    if (!sent && !quiet) {
        Tell(NotSentMessage(), UserDialogs::Icon::Warning);
    }
}

void frmFlamora::ForgetOverwrite() {
    overwriteEdits_ = false;
    overwriteWait_.stop();
}

QStringList frmFlamora::ParamBoxTexts() const {
    QStringList texts;
    for (const QLineEdit* box : txtFlamoraParams) {
        texts.append(box->text());
    }
    return texts;
}

void frmFlamora::SendValues() {
    QString reason;
    const ParamSetUpload::Start s =
        safeSend_.start(session_.ctx().activeLink(), ParamBoxTexts(), &reason);
    if (s == ParamSetUpload::Start::Refused) {
        Tell(reason, UserDialogs::Icon::Critical);
    } else if (s == ParamSetUpload::Start::Started) {
        btnSendValues->setEnabled(false);
        btnGetvalues->setEnabled(false);
        prgUpload->setRange(0, 0);
        prgUpload->show();
    }
}

void frmFlamora::UploadFinished(const std::optional<QStringList>& deviceTexts) {
    btnSendValues->setEnabled(true);
    btnGetvalues->setEnabled(true);
    prgUpload->hide();
    // What the burner holds now is the device's value the boxes are marked
    // against; the boxes keep what was sent.
    if (deviceTexts) {
        lastRead_ = *deviceTexts;
        deviceRead_ = true;
        UpdateMarks();
    }
}

void frmFlamora::ShowMismatch(const QString& text) {
    dialogs_.Message(SafeWriteText::MismatchTitle(), text, UserDialogs::Icon::Warning);
}

void frmFlamora::UpdateMarks() {
    const auto& defs = ParamBoxes();
    for (int i = 0; i < kParamBoxCount; ++i) {
        QLineEdit* box = txtFlamoraParams[i];
        const auto mark = EditedMark(
            box->text(), deviceRead_ ? std::optional<QString>(lastRead_.at(i)) : std::nullopt);
        ShowEditedMark(box, mark, defs[i].tooltip, false);
    }
}

void frmFlamora::LoadBackup() {
    const QString path =
        dialogs_.OpenFileName(QStringLiteral("Open backup"), QStringLiteral("All Files (*.par)"));
    if (path.isEmpty()) {
        return;
    }
    const std::optional<QStringList> texts = LoadParamSetParFile(path, ParamBoxTexts());
    if (!texts) {
        Tell(QStringLiteral("No parameter-set values could be read from ") +
                 QDir::toNativeSeparators(path),
             UserDialogs::Icon::Warning);
        return;
    }
    // Only the boxes change; nothing goes to the burner until it is sent.
    for (int i = 0; i < kParamBoxCount; ++i) {
        txtFlamoraParams[i]->setText(texts->at(i));
    }
}

void frmFlamora::ComboToAddress() {
    txtOso->setText(AddressFromComboText(ComboParameters->currentText()));
}

void frmFlamora::SingleParamAction(int which) {
    DeviceLink* link = session_.ctx().activeLink();
    if (!link) {
        Tell(NotSentMessage(), UserDialogs::Icon::Warning);
        return;
    }
    std::optional<QString> error;
    switch (which) {
        case 0:
            error = ReadParam(*link, txtOso->text());
            break;
        case 1:
            error = ReadParam16(*link, txtOso->text());
            break;
        default:
            // The old value is read first and the written one read back.
            error = single_.start(link, txtOso->text(), txtValue->text(), which == 3);
            break;
    }
    if (error) {
        Tell(*error, UserDialogs::Icon::Warning);
    }
}

void frmFlamora::FillParameterList() {
    const QSignalBlocker quiet(ComboParameters);
    ComboParameters->clear();
    const QStringList items = ReadParameterListItems(session_.paths().ParamsHeaderPath());
    ComboParameters->addItems(items);
    const bool missing = !session_.paths().HasParamsHeader();
    lblParamsMissing->setText(missing ? NoParamsHeaderMessage(session_.paths()) : QString());
    lblParamsMissing->setVisible(missing);
    if (!items.isEmpty()) {
        ComboParameters->setCurrentIndex(0);
        ComboToAddress();
    }
}

frmAllParams* frmFlamora::allParams() {
    if (!allParams_) {
        allParams_ = new frmAllParams(session_, &dialogs_, this);
    }
    return allParams_;
}

void frmFlamora::ShowMeasurements(const BurnerMeasurements& m) {
    m.ForEachLabel([this](QStringView name, const QString& text) {
        if (QLabel* l = values_.value(name.toString())) {
            l->setText(text);
        }
    });
    if (m.imgDev) {
        for (int i = 0; i < BurnerMeasurements::kLeds; ++i) {
            const LedState s = (*m.imgDev)[static_cast<size_t>(i)];
            imgDev[i]->setPicture(s == LedState::Green ? leds_.LedGreen
                                  : s == LedState::Red ? leds_.LedRed
                                                       : leds_.LedGrey);
        }
    }
}

void frmFlamora::ShowUsageTimes(const BurnerUsageTimes& u) {
    for (int i = 0; i < kUsageCount; ++i) {
        if (const auto& t = u.lblUsageTime[static_cast<size_t>(i)]) {
            lblUsageTime[i]->setText(t->caption);
            lblUsageTime[i]->setToolTip(t->tooltip);
        }
    }
}

void frmFlamora::MeasuresUpdated() {
    auto text = [this](const char* name) { return values_.value(QLatin1String(name))->text(); };
    measLog_.MeasuresUpdated(MeasLabels{
        text("lblTgas"), text("lblLambda"), text("lblTwater"), text("lblVFD"), text("lblBAfan"),
        text("lblIRsig"), text("lblProgState"), text("lblDevState"), text("lblTempKTYPE1")});
}

bool frmFlamora::SaveMeasToFile() {
    return measLog_.SaveMeasToFile();
}

void frmFlamora::ParamSetReceived(std::span<const uint8_t> data) {
    // A reply too short for the version leaves the title as it was.
    if (data.size() >= 2) {
        setWindowTitle(ApplyIdentification(session_.state().burner, data));
    }
    // The read of a send's check is not shown in the boxes.
    if (safeSend_.reader().OfferParamSet(data)) {
        return;
    }
    // A read the operator did not ask for (the one on connect) leaves the
    // boxes edited since the last read as they are.
    QStringList device = lastRead_;
    ApplyParamSet(data, device);
    for (int i = 0; i < kParamBoxCount; ++i) {
        QLineEdit* box = txtFlamoraParams[i];
        const bool edited = box->text() != lastRead_.at(i);
        if (overwriteEdits_ || !edited) {
            box->setText(device.at(i));
        }
    }
    lastRead_ = device;
    ForgetOverwrite();
    deviceRead_ = true;
    UpdateMarks();
}

void frmFlamora::SetValueText(const QString& text) {
    txtValue->setText(text);
}

void frmFlamora::ValueRead(int32_t value, int32_t address, bool word) {
    // The old value or the read-back of a write is not shown in txtValue.
    if (!single_.reader().OfferValue(value, address, word)) {
        SetValueText(QString::number(value));
    }
}

QString frmFlamora::TgasText() const {
    return values_.value(QStringLiteral("lblTgas"))->text();
}
QString frmFlamora::TwaterText() const {
    return values_.value(QStringLiteral("lblTwater"))->text();
}
QString frmFlamora::IRsigText() const {
    return values_.value(QStringLiteral("lblIRsig"))->text();
}
QString frmFlamora::VFDText() const {
    return values_.value(QStringLiteral("lblVFD"))->text();
}

}  // namespace tuvik
