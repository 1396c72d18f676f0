#include "support/SafeWrite.h"

#include <utility>

#include "support/ExchangeGuard.h"

namespace tuvik {

std::optional<QString> SafeWrite::Start() {
    // A replay refuses every send, with its own words.
    if (const QString why = ExchangeGuard::SendingRefused(); !why.isEmpty()) {
        return why;
    }
    WriteCheck check;
    if (auto why = flow_.Check(check)) {
        return why;
    }
    if (running() || (flow_.TakesTurn(check) && ExchangeGuard::Busy())) {
        return ExchangeGuard::BusyMessage();
    }
    if (!flow_.Prepare(check)) {
        return QString();
    }
    check_ = std::move(check);
    stage_ = Stage::ReadBefore;
    if (!flow_.StartRead(false)) {
        if (auto why = flow_.NotRead()) {
            stage_ = Stage::Idle;
            return why;
        }
        stage_ = Stage::Asking;
        flow_.Ask(check_);
    }
    return std::nullopt;
}

void SafeWrite::ReadEnded() {
    if (stage_ == Stage::ReadBefore) {
        flow_.TakeRead(check_, false);
        stage_ = Stage::Asking;
        flow_.Ask(check_);
    } else if (stage_ == Stage::ReadBack) {
        flow_.TakeRead(check_, true);
        flow_.Judge(check_, true);
        Finish(outcome_);
    }
}

void SafeWrite::Confirmed(bool yes) {
    if (stage_ != Stage::Asking) {
        return;
    }
    if (!yes || !flow_.BackUp(check_)) {
        Finish(Outcome::NotSent);
        return;
    }
    stage_ = Stage::Writing;
    flow_.Write();
}

void SafeWrite::WriteEnded(Outcome outcome) {
    if (stage_ != Stage::Writing) {
        return;
    }
    if (outcome == Outcome::NotSent || outcome == Outcome::Failed) {
        Finish(outcome);
        return;
    }
    // Whatever the acknowledgements said, the device is asked what it holds now.
    outcome_ = outcome;
    stage_ = Stage::ReadBack;
    if (!flow_.StartRead(true)) {
        flow_.Judge(check_, false);
        Finish(outcome);
    }
}

void SafeWrite::Finish(Outcome outcome) {
    stage_ = Stage::Idle;
    flow_.Ended(outcome);
}

}  // namespace tuvik
