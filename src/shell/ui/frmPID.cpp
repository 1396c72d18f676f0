#include "shell/ui/frmPID.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "link/Packet.h"
#include "link/TcpLink.h"
#include "pid/PidEditorModel.h"
#include "pid/ui/PidEditorWidget.h"
#include "pid/ui/frmStepTest.h"
#include "shell/ProgramIcon.h"
#include "shell/Session.h"
#include "support/ui/Controls.h"
#include "support/ui/LabelBoxWidget.h"
#include "support/ui/StandardDialogsWidget.h"
#include "trend/ui/TrendChartWidget.h"

namespace tuvik {

QString frmPID::VersionCaption() {
    return QStringLiteral("PID settings, ver ") + QString::number(TUVIK_VERSION_MAJOR) +
           QLatin1Char('.') + QString::number(TUVIK_VERSION_MINOR) +
           QString::number(TUVIK_VERSION_PATCH);
}

frmPID::frmPID(Session& session, Options options, QWidget* parent)
    : QWidget(parent),
      session_(session),
      openSettings_(options.openSettings ? std::move(options.openSettings)
                                         : DefaultSettingsOpener()),
      dialogs_(options.dialogs),
      prepareClient_(std::move(options.prepareClient)),
      liveRefresh_([this] { ShowLiveValues(); }) {
    setObjectName(QStringLiteral("frmPID"));
    // Every window of the program, its message boxes included, shows the
    // program's icon.
    if (QGuiApplication::windowIcon().isNull()) {
        QGuiApplication::setWindowIcon(ProgramIcon());
    }
    if (dialogs_ == nullptr) {
        ownDialogs_ = std::make_unique<StandardDialogsWidget>(this);
        dialogs_ = ownDialogs_.get();
    }
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(kTimer1Ms);
    timerExit_.setObjectName(QStringLiteral("TimerExit"));
    timerExit_.setInterval(kTimerExitMs);
    timerExit_.setSingleShot(true);

    editor_ = new PidEditorWidget(session_, *dialogs_, this);
    // The editor keeps its natural width; the chart takes what is left.
    editor_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    editor_->setUseTcpSource([this] { return chkUseTCP_->isChecked(); });

    auto* right = new QVBoxLayout;
    auto* panels = new QHBoxLayout;
    panels->addWidget(BuildConnectionPanel());
    panels->addWidget(BuildShellButtons());
    panels->addStretch(1);
    right->addLayout(panels);
    right->addWidget(BuildLivePanel(), 1);

    auto* top = new QHBoxLayout(this);
    top->addWidget(editor_);
    top->addLayout(right, 1);
    resize(1280, 720);

    connect(&timer1_, &QTimer::timeout, this, &frmPID::Timer1_Tick);
    connect(&timerExit_, &QTimer::timeout, this, &frmPID::close);
    connect(editor_, &PidEditorWidget::quitRequested, this, &frmPID::close);
    connect(editor_, &PidEditorWidget::selectedLoopChanged, this, &frmPID::ShowLiveValues);
    connect(editor_, &PidEditorWidget::stepTestRequested, this, &frmPID::OpenStepTest);

    AppContext& ctx = session_.ctx();
    ctx.setLinkSettings(this);
    connect(&ctx, &AppContext::mainCaptionRequested, this, &frmPID::SetCaption);
    connect(&ctx, &AppContext::linkConnectedChanged, this, &frmPID::UpdateConnectCaption);
    connect(&ctx, &AppContext::linkConnectedChanged, this, &frmPID::LinkConnectedChanged);
    connect(&ctx, &AppContext::activeLinkChanged, this, &frmPID::WatchLink);
    statusTimer_.setInterval(LinkStatus::kUpdateMs);
    connect(&statusTimer_, &QTimer::timeout, this, &frmPID::UpdateLinkStatus);
    WatchLink(ctx.activeLink());
    UpdateLinkStatus();
    connect(&ctx, &AppContext::userNotice, this,
            [this](const QString& text) { dialogs_->Message(AppTitle(), text); });
}

frmPID::~frmPID() {
    editor_->Unload();
    session_.dispatcher().SetMainWindow(nullptr);
    if (session_.ctx().linkSettings() == this) {
        session_.ctx().setLinkSettings(nullptr);
    }
    UnloadOtherWindows(false);
}

QWidget* frmPID::BuildConnectionPanel() {
    Frame9_ = Named(new QGroupBox(QStringLiteral("Com settings"), this), "Frame9");
    txtComPort_ = Named(new QLineEdit(Frame9_), "txtComPort");
    txtComPort_->setToolTip(QStringLiteral("Com Port number"));
    cmdPortList_ = Named(new QToolButton(Frame9_), "cmdPortList");
    cmdPortList_->setText(QStringLiteral("..."));
    cmdPortList_->setToolTip(QStringLiteral("Serial ports of this computer"));
    cmdPortList_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(cmdPortList_);
    cmdPortList_->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, &frmPID::FillPortMenu);
    txtSpeed_ = Named(new QLineEdit(QStringLiteral("57600"), Frame9_), "txtSpeed");
    txtSpeed_->setToolTip(QStringLiteral("Port speed: 38400, 57600,76800"));
    txtRefresh_ = Named(new QLineEdit(QStringLiteral("333"), Frame9_), "txtRefresh");
    chkUseTCP_ = Named(new QCheckBox(QStringLiteral("use TCP connection"), Frame9_), "chkUseTCP");
    btnCon_ = Named(new QPushButton(QStringLiteral("Connect"), Frame9_), "btnCon");
    for (QLineEdit* e : {txtComPort_, txtSpeed_, txtRefresh_}) {
        e->setMaximumWidth(110);
    }

    auto* port = new QHBoxLayout;
    port->setSpacing(2);
    port->addWidget(txtComPort_);
    port->addWidget(cmdPortList_);
    auto* grid = new QGridLayout(Frame9_);
    grid->addWidget(Named(new QLabel(QStringLiteral("Port"), Frame9_), "lblComPort"), 0, 0);
    grid->addLayout(port, 0, 1);
    grid->addWidget(Named(new QLabel(QStringLiteral("Speed"), Frame9_), "lblSpeed"), 1, 0);
    grid->addWidget(txtSpeed_, 1, 1);
    grid->addWidget(Named(new QLabel(QStringLiteral("Refresh ms"), Frame9_), "lblRefresh"), 2, 0);
    grid->addWidget(txtRefresh_, 2, 1);
    grid->addWidget(chkUseTCP_, 0, 2);
    grid->addWidget(btnCon_, 2, 2);

    connect(btnCon_, &QPushButton::clicked, this, &frmPID::btnCon_Click);
    return Frame9_;
}

QWidget* frmPID::BuildShellButtons() {
    auto* box = new QWidget(this);
    auto* flamora = Named(new QPushButton(QStringLiteral("Flamora"), box), "btnFlamora");
    auto* msg = Named(new QPushButton(QStringLiteral("Msg"), box), "Command6");
    auto* ad = Named(new QPushButton(QStringLiteral("ADinputs"), box), "bntADinputs");
    auto* boot = Named(new QPushButton(QStringLiteral("Boot device"), box), "btnBoot");
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 6, 0, 0);
    column->setSpacing(2);
    for (QPushButton* b : {flamora, msg, ad, boot}) {
        column->addWidget(b);
    }
    column->addStretch(1);
    connect(flamora, &QPushButton::clicked, this, &frmPID::btnFlamora_Click);
    connect(msg, &QPushButton::clicked, this, &frmPID::Command6_Click);
    connect(ad, &QPushButton::clicked, this, &frmPID::bntADinputs_Click);
    connect(boot, &QPushButton::clicked, this, &frmPID::btnBoot_Click);
    return box;
}

QWidget* frmPID::BuildLivePanel() {
    // Frame1 turns red around the chart while the controller reports an alarm.
    Frame1_ = Named(new QFrame(this), "Frame1");
    Frame1_->setAutoFillBackground(true);
    Picture1_ = Named(new TrendChartWidget(Frame1_), "Picture1");
    Picture1_->setMinimumSize(360, 200);

    auto* panel = new QWidget(this);
    auto* status = Named(new QGroupBox(QStringLiteral("PID status"), panel), "FramePIDStatus");
    // The values change with every reply. A label of fixed size that paints
    // its own background changes neither the layout nor the group box around
    // it, so only the label itself is repainted.
    auto value = [status](const char* name) {
        auto* l = Named(new QLabel(status), name);
        l->setFrameShape(QFrame::StyledPanel);
        l->setAutoFillBackground(true);
        const int width = l->fontMetrics().horizontalAdvance(QStringLiteral("-00000.000 ")) +
                          2 * l->frameWidth() + 2 * l->margin() + 6;
        l->setFixedSize(std::max(70, width), l->sizeHint().height());
        return l;
    };
    LabelMode_ = value("LabelMode");
    LabelControl_ = value("LabelControl");
    LabelMeasurement_ = value("LabelMeasurement");
    LabelY_FW_ = value("LabelY_FW");
    auto* grid = new QGridLayout(status);
    const struct {
        const char* name;
        const char* caption;
        QLabel* label;
    } items[] = {{"lblModeCaption", "Current mode:", LabelMode_},
                 {"lblControlCaption", "Control signal", LabelControl_},
                 {"lblMeasurementCaption", "Measurement", LabelMeasurement_},
                 {"lblY_FWCaption", "Y_fw", LabelY_FW_}};
    // Two rows of two, so that a narrow window still shows them all.
    for (int i = 0; i < 4; ++i) {
        const auto& item = items[i];
        const int row = i / 2;
        const int col = (i % 2) * 2;
        grid->addWidget(Named(new QLabel(QString::fromLatin1(item.caption), status), item.name),
                        row, col);
        grid->addWidget(item.label, row, col + 1);
    }
    grid->setColumnStretch(4, 1);

    auto* frame = new QVBoxLayout(Frame1_);
    frame->setContentsMargins(4, 4, 4, 4);
    frame->addWidget(Picture1_);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Frame1_, 1);
    layout->addWidget(status);
    // The link at a glance: a few updates a second, only while connected.
    lblLinkStatus_ = Named(new QLabel(panel), "lblLinkStatus");
    lblLinkStatus_->setAutoFillBackground(true);
    lblLinkStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblLinkStatus_->setToolTip(QStringLiteral(
        "The link in use, replies and bytes a second, broken packets since connecting and the "
        "time since the last reply (warning colour after 2 s without one)"));
    lblLinkStatus_->setAccessibleName(QStringLiteral("Link status"));
    layout->addWidget(new LabelBoxWidget(lblLinkStatus_, panel));
    return panel;
}

void frmPID::FillPortMenu() {
    QMenu* menu = cmdPortList_->menu();
    menu->clear();
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        menu->addAction(QStringLiteral("No serial ports found"))->setEnabled(false);
        return;
    }
    for (const QSerialPortInfo& p : ports) {
#ifdef Q_OS_WIN
        const QString name = p.portName();
#else
        const QString name = p.systemLocation();
#endif
        const QString text = p.description().isEmpty()
                                 ? name
                                 : name + QStringLiteral("  (") + p.description() + u')';
        connect(menu->addAction(text), &QAction::triggered, this,
                [this, name] { txtComPort_->setText(name); });
    }
}

// ---- start-up -----------------------------------------------------------------

void frmPID::Form_Load() {
    setWindowTitle(VersionCaption());
    session_.loops().InitialiseStartupLoops();
    editor_->FillLoopSelector();
    editor_->ShowLoopSettings();

    cTrendline& c = Picture1_->chart();
    c.setMaxX(300);
    c.setMaxY(500);
    c.setMinY(0);
    c.setResolution(5);
    ShowLiveValues();
    editor_->SliderManualChanged();

    timer1_.start();

    if (const std::unique_ptr<QSettings> store = openSettings_()) {
        const ConnectionTexts t = LoadConnectionSettings(*store);
        txtComPort_->setText(t.comPort);
        txtSpeed_->setText(t.speed);
        txtRefresh_->setText(t.refresh);
    }
    Main_new(session_, *this);
}

void frmPID::CreateBurnerWindow() {
    if (!shell_.burner && burnerFactory_) {
        shell_.burner = burnerFactory_();
    }
}

void frmPID::setBurnerWindow(QWidget* w) {
    shell_.burner = w;
}

// ---- dispatcher targets ---------------------------------------------------------

void frmPID::SetCaption(const QString& text) {
    setWindowTitle(text);
}

void frmPID::WatchLink(DeviceLink* link) {
    for (const QMetaObject::Connection& c : linkWatch_) {
        disconnect(c);
    }
    linkWatch_.clear();
    if (!link) {
        return;
    }
    link->setAutoReconnect(true);
    linkWatch_ << connect(link, &DeviceLink::linkLost, this, [this, link](const QString& why) {
        session_.log().AddMessage(QStringLiteral("Connection lost: ") + link->Endpoint() +
                                  QStringLiteral(" (") + why +
                                  QStringLiteral("); trying again every second"));
        UpdateLinkStatus();
    });
    linkWatch_ << connect(link, &DeviceLink::reconnectingChanged, this, [this, link](bool on) {
        if (!on && link->PortOpen()) {
            session_.log().AddMessage(QStringLiteral("Connection back: ") + link->Endpoint());
        }
        statusTimer_.start();
        UpdateConnectCaption();
        UpdateLinkStatus();
    });
}

void frmPID::LinkConnectedChanged(bool connected) {
    DeviceLink* link = session_.ctx().activeLink();
    if (connected && link) {
        link->ResetTraffic();
        linkStatus_.Restart(LinkClockMs());
    }
    if (connected || (link && link->reconnecting())) {
        statusTimer_.start();
    } else {
        statusTimer_.stop();
    }
    UpdateLinkStatus();
}

void frmPID::UpdateLinkStatus() {
    DeviceLink* link = session_.ctx().activeLink();
    LinkStatus::State state = LinkStatus::State::Disconnected;
    if (link && link->reconnecting()) {
        state = LinkStatus::State::Reconnecting;
    } else if (link && session_.ctx().LinkConnected()) {
        state = LinkStatus::State::Connected;
    }
    if (state == LinkStatus::State::Disconnected) {
        statusTimer_.stop();
    }
    const QString kind =
        qobject_cast<TcpLink*>(link) ? QStringLiteral("TCP relay") : QStringLiteral("Serial port");
    const LinkStatus::Line line =
        linkStatus_.Update(state, kind, link ? link->Endpoint() : QString(),
                           link ? link->traffic() : LinkTraffic{}, alarm_, LinkClockMs());
    if (line.text != lblLinkStatus_->text()) {
        lblLinkStatus_->setText(line.text);
        // The label's name stays "Link status"; screen readers read what it
        // says from its description.
        lblLinkStatus_->setAccessibleDescription(line.text);
    }
    if (line.warning != linkWarning_) {
        linkWarning_ = line.warning;
        QPalette pal = lblLinkStatus_->palette();
        pal.setColor(QPalette::Window,
                     line.warning ? QColor(255, 196, 0) : palette().color(QPalette::Window));
        pal.setColor(QPalette::WindowText,
                     line.warning ? QColor(Qt::black) : palette().color(QPalette::WindowText));
        lblLinkStatus_->setPalette(pal);
    }
}

void frmPID::SetAlarm(bool on) {
    if (on != alarm_) {
        alarm_ = on;
        UpdateLinkStatus();
    }
    // The alarm comes with every poll; the frame's palette is only touched
    // when its colour changes.
    const QColor colour = on ? QColor(255, 0, 0) : palette().color(QPalette::Button);
    if (Frame1_->palette().color(QPalette::Window) == colour) {
        return;
    }
    QPalette pal = Frame1_->palette();
    pal.setColor(QPalette::Window, colour);
    Frame1_->setPalette(pal);
}

void frmPID::OpenStepTest() {
    if (stepTest_ == nullptr) {
        stepTest_ = new frmStepTest(session_, *editor_, *dialogs_, this);
        connect(this, &frmPID::unloadingWindows, stepTest_, &QWidget::close);
    }
    stepTest_->show();
    stepTest_->raise();
    stepTest_->activateWindow();
}

void frmPID::TrendRefresh() {
    // The step test records every reply, not only the ones drawn.
    if (stepTest_ != nullptr) {
        stepTest_->LiveSample();
    }
    liveRefresh_.setInterval(std::max(Picture1_->frameInterval(), kLiveFrameMs));
    liveRefresh_.Request();
}

void frmPID::ShowLiveValues() {
    clsPID* L = session_.loops().Selected();
    if (L == nullptr) {
        return;
    }
    cTrendline& c = Picture1_->chart();
    c.setMaxX(360);
    c.setAutoScale(true);
    c.setMinY(0);
    c.setResolution(6);
    Picture1_->DrawTrend(L->getTrendData(), true);
    LabelMode_->setText(ModeText(L->AutoMode()));
    if (const auto t = LiveValueText(L->ControllerOut(), 2)) {
        LabelControl_->setText(*t);
    }
    if (const auto t = LiveValueText(L->Measurement(), 3)) {
        LabelMeasurement_->setText(*t);
    }
    if (const auto t = LiveValueText(L->y_fw(), 3)) {
        LabelY_FW_->setText(*t);
    }
}

QString frmPID::ComPortText() const {
    return txtComPort_->text();
}
QString frmPID::SpeedText() const {
    return txtSpeed_->text();
}
QString frmPID::RefreshText() const {
    return txtRefresh_->text();
}

// ---- connection panel and shell buttons -------------------------------------------

void frmPID::btnCon_Click() {
    AppContext& ctx = session_.ctx();
    if (btnCon_->text() != QStringLiteral("Disconnect")) {
        if (chkUseTCP_->isChecked()) {
            // A new TCP window at every connect, but the relay address the
            // operator typed into the previous one is kept.
            const QString relay = shell_.client ? shell_.client->link().RemoteHost() : QString();
            shell_.client.reset();
            shell_.client = std::make_unique<frmClient>(ctx);
            if (!relay.isEmpty()) {
                if (auto* box = shell_.client->findChild<QLineEdit*>(
                        QStringLiteral("txtRemoteIpAddress"))) {
                    box->setText(relay);
                }
            }
            if (prepareClient_) {
                prepareClient_(*shell_.client);
            }
            ctx.setActiveLink(&shell_.client->link());
            shell_.client->show();
            shell_.client->Connect();
        } else if (shell_.serial) {
            if (const std::unique_ptr<QSettings> store = openSettings_()) {
                SaveConnectionSettings(*store, {ComPortText(), SpeedText(), RefreshText()});
            }
            SerialLink& link = shell_.serial->link();
            ctx.setActiveLink(&link);
            if (const auto err = link.OpenPort()) {
                dialogs_->Message(AppTitle(), QStringLiteral("Error OpenPort: ") +
                                                  err->description + QStringLiteral(" (") +
                                                  SerialLink::PortNameFor(ComPortText()) +
                                                  QStringLiteral(")"));
            }
        }
        if (loadBurnerWindow) {
            loadBurnerWindow();
        }
    } else if (DeviceLink* link = ctx.activeLink()) {
        link->Disconnect();
    }
    UpdateConnectCaption();
}

void frmPID::UpdateConnectCaption() {
    // While a lost link is being retried the button stops the retries.
    const DeviceLink* link = session_.ctx().activeLink();
    btnCon_->setText(session_.ctx().LinkConnected() || (link && link->reconnecting())
                         ? QStringLiteral("Disconnect")
                         : QStringLiteral("Connect"));
}

void frmPID::btnBoot_Click() {
    if (DeviceLink* link = session_.ctx().activeLink()) {
        link->SendRequest(Cmd::Boot);
    }
}

void frmPID::bntADinputs_Click() {
    if (!shell_.analog && analogFactory_) {
        shell_.analog = analogFactory_();
    }
    if (shell_.analog) {
        shell_.analog->show();
        shell_.analog->raise();
        shell_.analog->activateWindow();
    }
}

void frmPID::btnFlamora_Click() {
    if (shell_.burner) {
        shell_.burner->show();
        shell_.burner->raise();
        shell_.burner->activateWindow();
    }
}

void frmPID::Command6_Click() {
    if (shell_.message) {
        shell_.message->show();
        shell_.message->raise();
    }
}

void frmPID::Timer1_Tick() {
    timer1_.stop();
    ShowLiveValues();
}

// ---- end of the program -------------------------------------------------------------

void frmPID::closeEvent(QCloseEvent* event) {
    timer1_.setInterval(1000);
    timer1_.stop();
    editor_->TimerGetCurrentValues().stop();
    QCoreApplication::processEvents();

    // Disconnect first and come back half a second later, so the port is
    // closed properly before everything else goes. Only once: a link that
    // will not report itself disconnected does not keep the program alive.
    if (session_.ctx().LinkConnected() && !exitPending_) {
        btnCon_Click();
        exitPending_ = true;
        setEnabled(false);
        timerExit_.start();
        event->ignore();
        return;
    }
    timerExit_.stop();
    editor_->Unload();
    UnloadOtherWindows(true);
    event->accept();
    emit unloaded();
}

void frmPID::UnloadOtherWindows(bool processEvents) {
    auto pump = [processEvents] {
        if (processEvents) {
            QCoreApplication::processEvents();
        }
    };
    emit unloadingWindows();
    if (shell_.analog) {
        shell_.analog->close();
        delete shell_.analog.data();
    }
    pump();
    shell_.client.reset();
    shell_.serial.reset();  // closes the port
    pump();
    if (shell_.message) {
        shell_.message->Unload();
        shell_.message.reset();
    }
    if (shell_.burner) {
        shell_.burner->close();
        delete shell_.burner.data();
    }
    pump();
}

void frmPID::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

}  // namespace tuvik
