#include "shell/ui/WindowRegistry.h"

#include <QCoreApplication>

#include "pid/ui/PidEditorWidget.h"
#include "pid/ui/frmStepTest.h"
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
    session_.connection().Attach(serial_->link());
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

SerialLink* WindowRegistry::serialLink() {
    return serial_ ? &serial_->link() : nullptr;
}

TcpLink& WindowRegistry::NewTcpLink(const QString& relayHost) {
    if (client_) {
        Retire(client_->link());
    }
    client_.reset();
    client_ = std::make_unique<frmClient>();
    ConnectionController& connection = session_.connection();
    connection.Attach(client_->link());
    client_->setRelayHost(relayHost);
    connect(client_.get(), &frmClient::relayHostEdited, &connection,
            &ConnectionController::setRelayHost);
    TcpLink* link = &client_->link();
    connect(client_.get(), &frmClient::connectClicked, &connection,
            [&connection, link] { connection.OpenRelay(*link); });
    connect(client_.get(), &frmClient::refreshClicked, &connection,
            [&connection, link] { connection.RefreshRelay(*link); });
    if (prepareClient_) {
        prepareClient_(*client_);
    }
    client_->show();
    return *link;
}

void WindowRegistry::LoadBurnerWindow() {
    if (loadBurner_) {
        loadBurner_();
    }
}

quint64 WindowRegistry::BrokenPackets() const {
    quint64 n = brokenOfGoneLinks_;
    if (serial_) {
        n += serial_->link().traffic().broken;
    }
    if (client_) {
        n += client_->link().traffic().broken;
    }
    return n;
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
    if (client_) {
        Retire(client_->link());
        client_.reset();
    }
    if (serial_) {
        Retire(serial_->link());
        serial_.reset();  // closes the port
    }
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
