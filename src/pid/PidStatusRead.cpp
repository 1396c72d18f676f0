#include "pid/PidStatusRead.h"

#include "link/DeviceAnswers.h"
#include "link/DeviceLink.h"
#include "link/Packet.h"
#include "pid/PidLoops.h"
#include "pid/PidWriteCheck.h"

namespace tuvik {

const QString PidStatusRead::kExchangeName = QStringLiteral("PID settings check");

PidStatusRead::PidStatusRead(PidLoops& loops, const DeviceAnswers* answers, QObject* parent)
    : QObject(parent), loops_(loops), read_(kExchangeName) {
    if (answers) {
        connect(answers, &DeviceAnswers::statusRecordTaken, this, &PidStatusRead::RecordTaken);
    }
    connect(&read_, &DeviceRead::finished, this, &PidStatusRead::Ended);
}

void PidStatusRead::RecordTaken() {
    if (!running()) {
        return;
    }
    answered_ = true;
    // A check ends with the record; "Get current values" lasts its whole time.
    read_.Answered(1);
}

bool PidStatusRead::start(DeviceLink* link, Kind kind) {
    const clsPID* loop = loops_.Selected();
    if (running() || loop == nullptr) {
        return false;
    }
    const PidSettings held = loop->Settings();
    const int ms =
        kind == Kind::Show ? kShowMs : readMs_ + (link && link->relayed() ? tcpExtraMs_ : 0);
    const bool started = read_.Start(
        link, 1, ms,
        [kind](DeviceLink& l) {
            if (kind == Kind::Check) {
                l.SetRefreshTimer(false);
            }
            return l.SendRequest(Cmd::ReadStatus);
        },
        kind == Kind::Show);
    if (!started) {
        return false;
    }
    kind_ = kind;
    held_ = held;
    answered_ = false;
    return true;
}

void PidStatusRead::abandon() {
    if (running()) {
        read_.Abandon();
        if (kind_ == Kind::Check) {
            if (clsPID* loop = loops_.Selected()) {
                loop->SetSettings(held_);
            }
        }
    }
}

void PidStatusRead::Ended() {
    std::optional<PidSettings> device;
    if (clsPID* loop = loops_.Selected()) {
        // A check whose link went away has no answer to judge by; values
        // shown to the operator are shown whenever they came.
        if (answered_ && (kind_ == Kind::Show || !read_.lost())) {
            device = PidStatusSettings(loop->StatusBytes());
        }
        if (kind_ == Kind::Check) {
            loop->SetSettings(held_);
        }
    }
    if (DeviceLink* link = read_.link(); link && !ExchangeGuard::Busy()) {
        link->SetRefreshTimer(true);
    }
    emit finished(device);
}

}  // namespace tuvik
