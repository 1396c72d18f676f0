#include "link/AckedWriteSequence.h"

#include <limits>

#include "link/DeviceAnswers.h"
#include "link/DeviceLink.h"
#include "link/SerialSpeed.h"

namespace tuvik {

namespace {
const QString kLinkClosed = QStringLiteral("The link was closed");
}  // namespace

AckedWriteSequence::Step AckedWriteSequence::Write(int address, std::vector<uint8_t> bytes) {
    return {Step::Kind::Write, address, std::move(bytes), {}};
}

AckedWriteSequence::Step AckedWriteSequence::Call(std::function<void()> call) {
    return {Step::Kind::Call, 0, {}, std::move(call)};
}

AckedWriteSequence::Step AckedWriteSequence::Progress(int done) {
    return {Step::Kind::Progress, done, {}, {}};
}

AckedWriteSequence::Step AckedWriteSequence::Pause(int ms) {
    return {Step::Kind::Pause, ms, {}, {}};
}

AckedWriteSequence::Step AckedWriteSequence::RefreshBack() {
    return {Step::Kind::RefreshBack, 0, {}, {}};
}

AckedWriteSequence::AckedWriteSequence(const DeviceAnswers* answers, QObject* parent)
    : QObject(parent) {
    connect(&timer_, &ClockTimer::timeout, this, &AckedWriteSequence::Run);
    if (answers) {
        connect(answers, &DeviceAnswers::writeAcknowledged, this,
                &AckedWriteSequence::Acknowledged);
    }
}

void AckedWriteSequence::Acknowledged(bool accepted) {
    int16_t& count = accepted ? acks_ : refused_;
    if (running_ && count < std::numeric_limits<int16_t>::max()) {
        ++count;
    }
}

AckedWriteSequence::~AckedWriteSequence() {
    abandon();
}

AckedWriteSequence::Start AckedWriteSequence::start(DeviceLink* link, Plan plan, QString* notSent) {
    if (running_ || !lock_.acquire(plan.exchange, link)) {
        return Start::Busy;
    }
    plan_ = std::move(plan);
    next_ = 0;
    link_ = link;
    running_ = true;
    starting_ = true;
    failedAtStart_ = false;
    startFailure_.clear();
    if (link) {
        refreshWasOn_ = link->RefreshTimerEnabled();
        link->SetRefreshTimer(false);
        refreshOff_ = true;
        lostConn_ = connect(link, &DeviceLink::linkLost, this, &AckedWriteSequence::Fail);
        goneConn_ = connect(link, &QObject::destroyed, this, [this] { Fail(kLinkClosed); });
    }
    if (!link || !link->PortOpen()) {
        Fail(kTextPortNotOpen);
    } else {
        acks_ = 0;
        refused_ = 0;
        Run();
    }
    starting_ = false;
    if (failedAtStart_) {
        if (notSent) {
            *notSent = startFailure_;
        }
        return Start::NotSent;
    }
    return Start::Running;
}

void AckedWriteSequence::Run() {
    while (running_ && next_ < plan_.steps.size()) {
        if (!link_) {
            Fail(kLinkClosed);
            return;
        }
        const Step& s = plan_.steps[next_++];
        switch (s.kind) {
            case Step::Kind::Write: {
                const bool sent = link_->WriteMemory(s.value, s.bytes);
                if (running_ && !sent) {
                    Fail(kTextPortNotOpen);
                }
                break;  // a write that ended the link ended the run with it
            }
            case Step::Kind::Call:
                s.call();
                break;
            case Step::Kind::Progress:
                emit progress(s.value, plan_.total);
                break;
            case Step::Kind::Pause:
                timer_.start(s.value);
                return;
            case Step::Kind::RefreshBack:
                RestoreRefresh();
                break;
        }
    }
    if (!running_) {
        return;
    }
    Finish(plan_.accept && plan_.accept(acks_) && refused_ == 0 ? Outcome::Accepted
                                                                : Outcome::NotAcknowledged,
           QString());
}

void AckedWriteSequence::RestoreRefresh() {
    if (refreshOff_ && link_) {
        link_->SetRefreshTimer(plan_.refresh == Refresh::On || refreshWasOn_);
    }
    refreshOff_ = false;
}

void AckedWriteSequence::Fail(const QString& why) {
    if (running_) {
        Finish(Outcome::Failed, why);
    }
}

void AckedWriteSequence::Stop() {
    timer_.stop();
    disconnect(lostConn_);
    disconnect(goneConn_);
    running_ = false;
}

void AckedWriteSequence::Finish(Outcome outcome, const QString& why) {
    Stop();
    const QPointer<DeviceLink> link = link_;
    if (outcome == Outcome::Accepted && link && plan_.commit) {
        plan_.commit(*link);
    }
    RestoreRefresh();
    link_.clear();
    lock_.release();
    if (starting_ && outcome == Outcome::Failed) {
        failedAtStart_ = true;
        startFailure_ = why;
        return;
    }
    emit progress(plan_.total, plan_.total);
    emit finished(outcome, why);
}

void AckedWriteSequence::abandon() {
    if (!running_) {
        return;
    }
    Stop();
    RestoreRefresh();
    link_.clear();
    lock_.release();
}

}  // namespace tuvik
