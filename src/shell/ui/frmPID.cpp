#include "shell/ui/frmPID.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>

#include "link/Packet.h"
#include "pid/ui/PidEditorWidget.h"
#include "shell/ProgramIcon.h"
#include "shell/Session.h"
#include "shell/ui/ConnectionPanel.h"
#include "shell/ui/LinkStatusBar.h"
#include "shell/ui/LivePanel.h"
#include "shell/ui/ProgramStart.h"
#include "shell/ui/ReplayPanel.h"
#include "support/ExchangeGuard.h"
#include "support/ui/Controls.h"
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
      dialogs_(options.dialogs),
      windows_(session, *this),
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
    firstDraw_.setObjectName(QStringLiteral("Timer1"));
    firstDraw_.setInterval(kFirstDrawMs);
    timerExit_.setObjectName(QStringLiteral("TimerExit"));
    timerExit_.setInterval(kTimerExitMs);
    timerExit_.setSingleShot(true);

    ConnectionController& connection = session_.connection();
    Session& s = session_;
    editor_ = new PidEditorWidget(
        PidEditorContext{
            .loops = s.loops(),
            .dialogs = *dialogs_,
            .log = s.log(),
            .answers = &s.dispatcher(),
            .link = [&s] { return s.ctx().activeLink(); },
            // A status record retitles the window; the reads around a send put it back.
            .caption = [this] { return windowTitle(); },
            .setCaption = [&s](const QString& t) { s.ctx().setMainCaption(t); },
            .backupDir = [&s] { return s.paths().DailyDir(); },
            .findDataFile = [&s](const QString& p) { return s.paths().FindDataFile(p); },
            .clock = &s.clock(),
        },
        this);
    // The editor keeps its natural width; the chart takes what is left.
    editor_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    connect(&editor_->controller().safeSend(), &PidSafeSend::judged, this,
            [&s](int loop, const QString& text) {
                s.history().AddEvent(loop, QStringLiteral("send"), text);
            });
    session_.recorder().setSettingsOpener(options.openSettings);
    connection.setSettingsOpener(std::move(options.openSettings));
    if (const std::unique_ptr<QSettings> store = connection.settingsOpener()()) {
        const int days =
            store
                ->value(QStringLiteral("Settings/") + QLatin1String(Session::kHistoryDaysKey),
                        HistoryStore::kDefaultRetentionDays)
                .toInt();
        if (days > 0) {
            session_.history().setRetentionDays(days);
        }
    }
    connection.setWindows(&windows_);
    connectionPanel_ = new ConnectionPanel(connection, this);

    auto* right = new QVBoxLayout;
    auto* panels = new QHBoxLayout;
    panels->addWidget(connectionPanel_);
    panels->addWidget(BuildShellButtons());
    panels->addStretch(1);
    right->addLayout(panels);
    replayPanel_ = new ReplayPanel(session_, *dialogs_, this);
    right->addWidget(replayPanel_);
    right->addWidget(BuildLivePanel(), 1);
    // The link at a glance: a few updates a second, only while connected.
    linkStatus_ = new LinkStatusBar(session_.ctx(), this);
    right->addWidget(linkStatus_);

    auto* top = new QHBoxLayout(this);
    top->addWidget(editor_);
    top->addLayout(right, 1);
    resize(1280, 720);

    connect(&firstDraw_, &QTimer::timeout, this, &frmPID::FirstDraw);
    connect(&timerExit_, &QTimer::timeout, this, &frmPID::close);
    connect(editor_, &PidEditorWidget::quitRequested, this, &frmPID::close);
    connect(editor_, &PidEditorWidget::selectedLoopChanged, this, &frmPID::ShowLiveValues);
    connect(&session_.dispatcher(), &ReplyDispatcher::liveUpdated, this, &frmPID::LiveUpdated);
    // The loops cleared for the replay, or as they were before it: shown at
    // once, and after it the editor filled from them, so that no recorded
    // value waits in a box for the next "Apply changes".
    connect(&session_.replay(), &ReplayController::replayingChanged, this, [this](bool on) {
        ShowLiveValues();
        if (!on) {
            editor_->controller().ShowLoopSettings();
        }
    });
    connect(editor_, &PidEditorWidget::stepTestRequested, this,
            [this] { windows_.ShowStepTest(*editor_, *dialogs_); });

    AppContext& ctx = session_.ctx();
    connect(&ctx, &AppContext::mainCaptionRequested, this, &frmPID::SetCaption);
    connect(&ctx, &AppContext::userNotice, this,
            [this](const QString& text) { dialogs_->Message(AppTitle(), text); });
}

frmPID::~frmPID() {
    editor_->Unload();
    // The replies that come while the other windows close change nothing here.
    disconnect(&session_.dispatcher(), &ReplyDispatcher::captionLine, this, nullptr);
    disconnect(&session_.dispatcher(), &ReplyDispatcher::alarmShown, this, nullptr);
    ConnectionController& connection = session_.connection();
    if (connection.windows() == &windows_) {
        connection.setWindows(nullptr);
    }
    windows_.UnloadAll(false);
}

QWidget* frmPID::BuildShellButtons() {
    auto* box = new QWidget(this);
    auto* flamora = Named(new QPushButton(QStringLiteral("Flamora"), box), "btnFlamora");
    auto* msg = Named(new QPushButton(QStringLiteral("Msg"), box), "Command6");
    auto* ad = Named(new QPushButton(QStringLiteral("ADinputs"), box), "bntADinputs");
    auto* boot = Named(new QPushButton(QStringLiteral("Boot device"), box), "btnBoot");
    auto* history = Named(new QPushButton(QStringLiteral("History..."), box), "cmdHistory");
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 6, 0, 0);
    column->setSpacing(2);
    for (QPushButton* b : {flamora, msg, ad, history, boot}) {
        column->addWidget(b);
    }
    column->addStretch(1);
    connect(flamora, &QPushButton::clicked, &windows_, &WindowRegistry::ShowBurnerWindow);
    connect(msg, &QPushButton::clicked, &windows_, &WindowRegistry::ShowMessageLog);
    connect(ad, &QPushButton::clicked, &windows_, &WindowRegistry::ShowAnalogWindow);
    connect(boot, &QPushButton::clicked, this, &frmPID::SendBoot);
    connect(history, &QPushButton::clicked, &windows_, [this] { windows_.ShowHistory(dialogs_); });
    return box;
}

QWidget* frmPID::BuildLivePanel() {
    // Frame1 turns red around the chart while the controller reports an alarm.
    Frame1_ = Named(new QFrame(this), "Frame1");
    Frame1_->setAutoFillBackground(true);
    Picture1_ = Named(new TrendChartWidget(Frame1_), "Picture1");
    Picture1_->setMinimumSize(360, 200);

    auto* panel = new QWidget(this);
    livePanel_ = new LivePanel(panel);

    auto* frame = new QVBoxLayout(Frame1_);
    frame->setContentsMargins(4, 4, 4, 4);
    frame->addWidget(Picture1_);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Frame1_, 1);
    layout->addWidget(livePanel_);
    return panel;
}

// ---- start-up -----------------------------------------------------------------

void frmPID::Form_Load() {
    setWindowTitle(VersionCaption());
    session_.loops().InitialiseStartupLoops();
    editor_->FillLoopSelector();
    editor_->ShowLoopSettings();

    // The live chart's settings, set once: a redraw changes only the
    // automatic scale (500 until the samples give one).
    cTrendline& c = Picture1_->chart();
    c.setMaxX(360);
    c.setMaxY(500);
    c.setMinY(0);
    c.setResolution(6);
    c.setAutoScale(true);
    ShowLiveValues();
    editor_->SliderManualChanged();

    firstDraw_.start();

    if (const auto texts = session_.connection().StoredTexts()) {
        connectionPanel_->ShowTexts(*texts);
    }
    Main_new(session_, *this);
}

// ---- dispatcher targets ---------------------------------------------------------

void frmPID::SetCaption(const QString& text) {
    setWindowTitle(text);
}

void frmPID::SetAlarm(bool on) {
    linkStatus_->SetAlarm(on);
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

void frmPID::LiveUpdated() {
    liveRefresh_.setInterval(std::max(Picture1_->frameInterval(), kLiveFrameMs));
    liveRefresh_.Request();
}

void frmPID::ShowLiveValues() {
    clsPID* L = session_.loops().Selected();
    if (L == nullptr) {
        return;
    }
    Picture1_->DrawTrend(L->getTrendData(), true);
    livePanel_->Show(*L);
}

// ---- shell buttons ------------------------------------------------------------------

void frmPID::SendBoot() {
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        dialogs_->Message(AppTitle(), why);
        return;
    }
    if (DeviceLink* link = session_.ctx().activeLink()) {
        link->SendRequest(Cmd::Boot);
    }
}

void frmPID::FirstDraw() {
    firstDraw_.stop();
    ShowLiveValues();
}

// ---- end of the program -------------------------------------------------------------

void frmPID::closeEvent(QCloseEvent* event) {
    firstDraw_.setInterval(1000);
    firstDraw_.stop();
    editor_->TimerGetCurrentValues().stop();
    QCoreApplication::processEvents();

    // Disconnect first and come back half a second later, so the port is
    // closed properly before everything else goes. Only once: a link that
    // will not report itself disconnected does not keep the program alive.
    if (session_.ctx().LinkConnected() && !exitPending_) {
        session_.connection().Toggle();
        exitPending_ = true;
        setEnabled(false);
        timerExit_.start();
        event->ignore();
        return;
    }
    timerExit_.stop();
    editor_->Unload();
    windows_.UnloadAll(true);
    event->accept();
    emit unloaded();
}

void frmPID::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

}  // namespace tuvik
