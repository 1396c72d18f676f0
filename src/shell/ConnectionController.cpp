#include "shell/ConnectionController.h"

#include "shell/AppContext.h"
#include "shell/LinkTexts.h"
#include "support/ExchangeGuard.h"
#include "support/MessageLog.h"
#include "support/Numbers.h"

namespace tuvik {

namespace {
const QString kDisconnect = QStringLiteral("Disconnect");
const QString kConnect = QStringLiteral("Connect");
}  // namespace

ConnectionController::ConnectionController(AppContext& ctx, MessageLog& log, const Clock& clock,
                                           QObject* parent)
    : QObject(parent),
      ctx_(ctx),
      log_(log),
      clock_(clock),
      openSettings_(DefaultSettingsOpener()),
      caption_(kConnect),
      serial_(std::make_unique<SerialLink>()) {
    Attach(*serial_);
    connect(&ctx_, &AppContext::linkConnectedChanged, this, &ConnectionController::UpdateCaption);
    connect(&ctx_, &AppContext::activeLinkChanged, this, &ConnectionController::WatchActiveLink);
    WatchActiveLink(ctx_.activeLink());
}

ConnectionController::~ConnectionController() = default;

void ConnectionController::Retire(const DeviceLink* link) {
    if (link) {
        brokenOfGoneLinks_ += link->traffic().broken;
    }
}

void ConnectionController::EndLinks() {
    Retire(tcp_.get());
    tcp_.reset();
    Retire(serial_.get());
    serial_.reset();
}

quint64 ConnectionController::BrokenPackets() const {
    quint64 n = brokenOfGoneLinks_;
    for (const DeviceLink* link : {static_cast<const DeviceLink*>(serial_.get()),
                                   static_cast<const DeviceLink*>(tcp_.get())}) {
        n += link ? link->traffic().broken : 0;
    }
    return n;
}

void ConnectionController::setSettingsOpener(SettingsOpener open) {
    openSettings_ = open ? std::move(open) : DefaultSettingsOpener();
}

std::optional<ConnectionTexts> ConnectionController::StoredTexts() const {
    if (const std::unique_ptr<QSettings> store = openSettings_()) {
        return LoadConnectionSettings(*store);
    }
    return std::nullopt;
}

SerialSettings ConnectionController::Serial() const {
    return {texts_.comPort, TextToWholeNumber(texts_.speed), TextToWholeNumber(texts_.refresh)};
}

TcpSettings ConnectionController::Relay() const {
    TcpSettings s = relay_;
    s.refreshMs = TextToWholeNumber(texts_.refresh);
    return s;
}

void ConnectionController::Attach(DeviceLink& link, bool live) {
    link.setClock(clock_);
    connect(&link, &DeviceLink::connectionChanged, &ctx_, &AppContext::setLinkConnected);
    connect(&link, &DeviceLink::captionRequested, &ctx_, &AppContext::setMainCaption);
    if (live) {
        live_.removeAll(nullptr);
        live_.append(&link);
    }
}

void ConnectionController::CloseLiveLinks() {
    for (const QPointer<DeviceLink>& link : live_) {
        if (link) {
            // A link that is not the active one still reports, and would
            // otherwise say "connected" over the replay.
            link->Disconnect();
            link->SetReceiver(nullptr);
        }
    }
    if (DeviceLink* active = ctx_.activeLink(); active && live_.contains(active)) {
        ctx_.setActiveLink(nullptr);
    }
    ctx_.setLinkConnected(false);
}

bool ConnectionController::Refused() {
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        ctx_.notifyUser(why);
        return true;
    }
    return false;
}

void ConnectionController::OpenRelay() {
    if (!Refused() && tcp_) {
        tcp_->Open(Relay());
    }
}

void ConnectionController::RefreshRelay() {
    if (!Refused() && tcp_) {
        tcp_->SendRelayRefresh();
    }
}

void ConnectionController::Toggle() {
    if (caption_ != kDisconnect) {
        if (Refused()) {
            return;
        }
        if (useTcp_) {
            // The address typed into the previous window carries over,
            // unless it was emptied.
            if (relay_.host.isEmpty()) {
                relay_.host = TcpSettings{}.host;
            }
            Retire(tcp_.get());
            tcp_.reset();
            tcp_ = std::make_unique<TcpLink>();
            Attach(*tcp_);
            TcpLink* link = tcp_.get();
            connect(link, &TcpLink::relayNotFound, &ctx_, [this, link] {
                ctx_.notifyUser(
                    LinkTexts::NoRelayText(link->settings().host, link->settings().port));
            });
            if (windows_) {
                windows_->ShowTcpLink(*tcp_, relay_.host);
            }
            ctx_.setActiveLink(tcp_.get());
            tcp_->Connect(Relay());
        } else if (SerialLink* link = serial_.get()) {
            if (const std::unique_ptr<QSettings> store = openSettings_()) {
                SaveConnectionSettings(*store, texts_);
            }
            ctx_.setActiveLink(link);
            if (const auto err = link->OpenPort(Serial())) {
                ctx_.notifyUser(QStringLiteral("Error OpenPort: ") + err->description +
                                QStringLiteral(" (") + SerialLink::PortNameFor(texts_.comPort) +
                                QStringLiteral(")"));
            }
        }
        LoadBurner();
    } else if (DeviceLink* link = ctx_.activeLink()) {
        link->Disconnect();
    }
    UpdateCaption();
}

void ConnectionController::LoadBurner() {
    emit burnerLoading();
    if (windows_) {
        windows_->LoadBurnerWindow();
    }
}

void ConnectionController::UpdateCaption() {
    const DeviceLink* link = ctx_.activeLink();
    const QString& caption =
        ctx_.LinkConnected() || (link && link->reconnecting()) ? kDisconnect : kConnect;
    if (caption != caption_) {
        caption_ = caption;
        emit buttonCaptionChanged(caption_);
    }
}

// The active link comes back by itself after a loss; the log has a line for
// the loss and one for the return.
void ConnectionController::WatchActiveLink(DeviceLink* link) {
    for (const QMetaObject::Connection& c : activeWatch_) {
        disconnect(c);
    }
    activeWatch_.clear();
    if (!link) {
        return;
    }
    link->setAutoReconnect(true);
    activeWatch_ << connect(link, &DeviceLink::linkLost, this, [this, link](const QString& why) {
        log_.AddMessage(QStringLiteral("Connection lost: ") + link->Endpoint() +
                        QStringLiteral(" (") + why +
                        QStringLiteral("); trying again every second"));
    });
    activeWatch_ << connect(link, &DeviceLink::reconnectingChanged, this, [this, link](bool on) {
        if (!on && link->PortOpen()) {
            log_.AddMessage(QStringLiteral("Connection back: ") + link->Endpoint());
        }
        UpdateCaption();
    });
}

}  // namespace tuvik
