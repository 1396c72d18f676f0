#include "burner/ParamSetUpload.h"

#include "burner/SingleParam.h"
#include "link/DeviceLink.h"
#include "link/Packet.h"

namespace tuvik {

const QString ParamSetUpload::kOkText = QStringLiteral("Flamora parameters upload OK");
const QString ParamSetUpload::kFailText = QStringLiteral("Parameters upload FAILLED!!");
const QString ParamSetUpload::kExchangeName = QStringLiteral("parameter set upload");

ParamSetUpload::ParamSetUpload(int16_t* writeAckCount, QObject* parent)
    : QObject(parent), ackCount_(writeAckCount) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ParamSetUpload::Next);
}

ParamSetUpload::~ParamSetUpload() {
    if (running()) {
        disconnect(lostConn_);
        disconnect(goneConn_);
        RestoreRefresh();
    }
}

ParamSetUpload::Start ParamSetUpload::start(DeviceLink* link, const QStringList& boxTexts,
                                            QString* reason) {
    auto refuse = [&](const QString& why) {
        if (reason) {
            *reason = why;
        }
        return Start::Refused;
    };
    if (running()) {
        return refuse(QStringLiteral("The parameter upload is already running."));
    }
    if (!link || !link->PortOpen()) {
        return refuse(QStringLiteral("Not connected: the parameters cannot be sent."));
    }
    if (ParamSetLooksUnread(boxTexts)) {
        link->SendPacket(Cmd::ReadParamSet);
        return Start::GetInstead;
    }
    std::vector<UploadBlock> blocks;
    for (int b = 0; b < kUploadBlockCount; ++b) {
        auto built = BuildUploadBlock(b, boxTexts);
        if (const BadBox* bad = std::get_if<BadBox>(&built)) {
            return refuse(bad->message + QStringLiteral(" Nothing was sent."));
        }
        blocks.push_back(std::move(std::get<UploadBlock>(built)));
    }
    if (!lock_.acquire(kExchangeName)) {
        return refuse(ExchangeGuard::BusyMessage());
    }

    link_ = link;
    blocks_ = std::move(blocks);
    lostConn_ = connect(link, &DeviceLink::linkLost, this, [this] { Fail(); });
    goneConn_ = connect(link, &QObject::destroyed, this, [this] { Fail(); });
    if (ackCount_) {
        *ackCount_ = 0;
    } else {
        ownCount_ = 0;
    }
    if (refusedCount_) {
        *refusedCount_ = 0;
    }
    refreshWasOn_ = link->RefreshTimerEnabled();
    link->SetRefreshTimer(false);
    refreshOff_ = true;
    lostDuringStart_ = false;
    step_ = 1;
    if (!SendBlock(0)) {
        // Nothing went out; no upload to report on.
        disconnect(lostConn_);
        disconnect(goneConn_);
        RestoreRefresh();
        link_.clear();
        blocks_.clear();
        step_ = 0;
        lock_.release();
        return refuse(NotSentMessage());
    }
    step_ = 2;
    Advance(1, pauseMs_);
    return Start::Started;
}

bool ParamSetUpload::SendBlock(int b) {
    if (!link_) {
        return false;
    }
    const UploadBlock& block = blocks_[static_cast<size_t>(b)];
    const bool sent = link_->WriteMemory(block.address, block.bytes);
    // Writing can end the link (and with it this upload) under us.
    return sent && running() && !lostDuringStart_ && link_;
}

void ParamSetUpload::Advance(int done, int pauseMs) {
    emit progress(done, kSteps);
    timer_.start(pauseMs);
}

void ParamSetUpload::Next() {
    if (!running()) {
        return;
    }
    if (!link_) {
        Fail();
        return;
    }
    switch (step_) {
        case 2:
            emit progress(2, kSteps);
            if (!SendBlock(1) || !SendBlock(2)) {
                Fail();
                return;
            }
            step_ = 3;
            Advance(3, pauseMs_);
            return;
        case 3:  // the periodic request comes back while the acks are awaited
            RestoreRefresh();
            step_ = 4;
            Advance(4, pauseMs_);
            return;
        case 4:
            step_ = 5;
            Advance(5, pauseMs_);
            return;
        case 5: {
            const int16_t acks = ackCount_ ? *ackCount_ : ownCount_;
            Finish(acks > 2 && !(refusedCount_ && *refusedCount_ > 0));
            return;
        }
        default:
            return;
    }
}

void ParamSetUpload::RestoreRefresh() {
    if (refreshOff_ && link_) {
        link_->SetRefreshTimer(refreshWasOn_);
    }
    refreshOff_ = false;
}

void ParamSetUpload::Fail() {
    if (step_ == 1) {
        // Still inside start(): it reports the failure itself.
        lostDuringStart_ = true;
        return;
    }
    if (running()) {
        Finish(false);
    }
}

void ParamSetUpload::Finish(bool ok) {
    timer_.stop();
    disconnect(lostConn_);
    disconnect(goneConn_);
    RestoreRefresh();
    const QPointer<DeviceLink> link = link_;
    link_.clear();
    blocks_.clear();
    step_ = 0;
    lock_.release();
    if (ok && link) {
        // The burner takes the new set into use.
        link->SendPacket(Cmd::Commit);
    }
    emit progress(kSteps, kSteps);
    emit finished(ok && link, ok && link ? kOkText : kFailText);
}

}  // namespace tuvik
