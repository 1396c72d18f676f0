#include "pid/PidStatusRead.h"

#include "link/DeviceLink.h"
#include "link/Packet.h"
#include "shell/ReplyDispatcher.h"
#include "pid/PidLoops.h"
#include "pid/PidWriteCheck.h"

namespace tuvik {

const QString PidStatusRead::kExchangeName = QStringLiteral("PID settings check");

PidStatusRead::PidStatusRead(PidLoops& loops, const ReplyDispatcher& dispatcher, QObject* parent)
    : QObject(parent), loops_(loops), dispatcher_(dispatcher) {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &PidStatusRead::Tick);
}

PidStatusRead::~PidStatusRead() {
    abandon();
}

bool PidStatusRead::start(DeviceLink* link, bool overTcp) {
    const clsPID* loop = loops_.Selected();
    if (running_ || link == nullptr || !link->PortOpen() || loop == nullptr ||
        !lock_.acquire(kExchangeName)) {
        return false;
    }
    running_ = true;
    overTcp_ = overTcp;
    link_ = link;
    held_ = loop->Settings();
    recordsAtStart_ = dispatcher_.statusRecords();
    link->SetRefreshTimer(false);
    lostConn_ = connect(link, &DeviceLink::linkLost, this, [this] { End(false, true); });
    clock_.start();
    timer_.start();
    link->SendRequest(Cmd::ReadStatus);
    return true;
}

void PidStatusRead::abandon() {
    End(false, false);
}

void PidStatusRead::Tick() {
    const bool answered = dispatcher_.statusRecords() != recordsAtStart_;
    if (answered || clock_.elapsed() >= readMs_ + (overTcp_ ? tcpExtraMs_ : 0)) {
        End(answered, true);
    }
}

void PidStatusRead::End(bool answered, bool report) {
    if (!running_) {
        return;
    }
    running_ = false;
    timer_.stop();
    disconnect(lostConn_);
    std::optional<PidSettings> device;
    if (clsPID* loop = loops_.Selected()) {
        if (answered) {
            device = PidStatusSettings(loop->StatusBytes());
        }
        loop->SetSettings(held_);
    }
    lock_.release();
    if (link_ && !ExchangeGuard::Busy()) {
        link_->SetRefreshTimer(true);
    }
    link_.clear();
    if (report) {
        emit finished(device);
    }
}

}  // namespace tuvik
