#include "shell/ui/WindowRegistry.h"

#include <QCoreApplication>

#include "pid/ui/PidEditorWidget.h"
#include "pid/ui/frmStepTest.h"
#include "shell/LinkTexts.h"
#include "shell/Session.h"
#include "shell/ui/TrendWindows.h"
#include "trend/ui/frmHistory.h"

namespace tuvik {

namespace {

void ShowInFront(QWidget* w) {
    w->show();
    w->raise();
    w->activateWindow();
}

}  // namespace

WindowRegistry::WindowRegistry(Session& session, QWidget& mainWindow)
    : session_(session), main_(mainWindow) {}

WindowRegistry::~WindowRegistry() = default;

// ---- start-up -------------------------------------------------------------------

void WindowRegistry::CreateMessageLog() {
    message_ = std::make_unique<frmMessage>(&session_.log());
}

void WindowRegistry::CreateSerialWindow() {
    serial_ = std::make_unique<frmRS232>();
    if (SerialLink* link = session_.connection().serialLink()) {
        frmRS232* window = serial_.get();
        const Clock& clock = session_.clock();
        connect(link, &SerialLink::portStateChanged, window,
                [window, &clock](bool open, const QString& error) {
                    window->ShowCaption(LinkTexts::SerialCaption(open, error, clock.TimeOfDay()));
                });
    }
}

void WindowRegistry::CreateBurnerWindow() {
    if (!burner_ && burnerFactory_) {
        burner_ = burnerFactory_();
    }
}

// ---- the shell buttons ------------------------------------------------------------

void WindowRegistry::ShowBurnerWindow() {
    if (burner_) {
        ShowInFront(burner_);
    }
}

void WindowRegistry::ShowMessageLog() {
    if (message_) {
        message_->show();
        message_->raise();
    }
}

void WindowRegistry::ShowAnalogWindow() {
    if (!analog_ && analogFactory_) {
        analog_ = analogFactory_();
    }
    if (analog_) {
        ShowInFront(analog_);
    }
}

void WindowRegistry::ShowHistory(UserDialogs* dialogs) {
    if (!history_) {
        history_ = NewHistoryWindow(session_, &main_, dialogs);
    } else {
        static_cast<frmHistory*>(history_.data())->Show();
    }
    ShowInFront(history_);
}

void WindowRegistry::ShowStepTest(PidEditorWidget& editor, UserDialogs& dialogs) {
    if (stepTest_ == nullptr) {
        Session& s = session_;
        stepTest_ = new frmStepTest(
            s.loops(), editor.controller(), dialogs, s.log(),
            [&s] { return s.ctx().LinkConnected(); }, &main_);
        StepTestController& test = stepTest_->controller();
        // The test records every live reply, not only the ones drawn.
        connect(&s.dispatcher(), &ReplyDispatcher::liveUpdated, &test,
                &StepTestController::LiveSample);
        connect(&test, &StepTestController::marked, stepTest_, [&s](int loop, const QString& text) {
            s.history().AddEvent(loop, QStringLiteral("steptest"), text);
        });
        // A replay would feed the test recorded values and take its link away.
        s.replay().AddLiveWork(stepTest_, [&test] { return test.LiveWork(); });
    }
    ShowInFront(stepTest_);
}

// ---- the links' windows -------------------------------------------------------------

void WindowRegistry::ShowTcpLink(TcpLink& link, const QString& relayHost) {
    client_.reset();
    client_ = std::make_unique<frmClient>();
    frmClient* window = client_.get();
    window->ShowStatus(
        QString::number(LinkTexts::SocketStateNumber(link.socketState(), link.errored())),
        QString::number(link.settings().port));
    window->setRelayHost(relayHost);
    ConnectionController& connection = session_.connection();
    connect(window, &frmClient::relayHostEdited, &connection, &ConnectionController::setRelayHost);
    connect(window, &frmClient::connectClicked, &connection, &ConnectionController::OpenRelay);
    connect(window, &frmClient::refreshClicked, &connection, &ConnectionController::RefreshRelay);
    connect(&link, &TcpLink::remoteHostNameChanged, window, &frmClient::ShowRemoteHostName);
    connect(&link, &TcpLink::socketStatus, window,
            [window](QAbstractSocket::SocketState s, bool errored, quint16 port) {
                window->ShowStatus(QString::number(LinkTexts::SocketStateNumber(s, errored)),
                                   QString::number(port));
            });
    window->show();
}

void WindowRegistry::LoadBurnerWindow() {
    if (loadBurner_) {
        loadBurner_();
    }
}

// ---- the end of the program -----------------------------------------------------------

void WindowRegistry::UnloadAll(bool processEvents) {
    auto pump = [processEvents] {
        if (processEvents) {
            QCoreApplication::processEvents();
        }
    };
    if (stepTest_) {
        stepTest_->close();
    }
    if (analog_) {
        analog_->close();
        delete analog_.data();
    }
    pump();
    client_.reset();
    serial_.reset();
    session_.connection().EndLinks();  // closes the port
    pump();
    if (message_) {
        message_->Unload();
        message_.reset();
    }
    if (burner_) {
        burner_->close();
        delete burner_.data();
    }
    pump();
}

}  // namespace tuvik
