#include "link/ReplayLink.h"

#include <QPointer>

#include <algorithm>

namespace tuvik {

namespace {

std::span<const uint8_t> Bytes(const QByteArray& b) {
    return {reinterpret_cast<const uint8_t*>(b.constData()), static_cast<size_t>(b.size())};
}

}  // namespace

ReplayLink::ReplayLink(std::unique_ptr<RecordedChunkSource> source, QObject* parent)
    : DeviceLink(parent), source_(std::move(source)), timer_(this) {
    setObjectName(QStringLiteral("replayLink"));
    // Nothing is ever requested: the request timer never ticks.
    SetDefaultRequestPeriod(0, QStringLiteral("TimerReqData"));
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ReplayLink::PlayDue);
}

ReplayLink::~ReplayLink() = default;

qint64 ReplayLink::positionUs() const {
    if (ended_ || seekTo_ || speed_ == kAsFastAsPossible) {
        return playedUs_;
    }
    if (paused_ || !open_) {
        return anchorPosUs_;
    }
    // Between chunks the position runs on with the clock, up to the next one.
    const qint64 byClock = anchorPosUs_ + (clock().MonotonicUs() - anchorClockUs_) * speed_;
    const qint64 limit = pending_ ? pending_->timeUs : lengthUs();
    return std::max(playedUs_, std::min(byClock, limit));
}

qint64 ReplayLink::recordedMs() const {
    return info().startUtcMs + (receiving() ? playedUs_ : positionUs()) / 1000;
}

void ReplayLink::Anchor(qint64 positionUs) {
    anchorPosUs_ = positionUs;
    anchorClockUs_ = clock().MonotonicUs();
}

// ---- playing --------------------------------------------------------------------

void ReplayLink::Start() {
    open_ = true;
    Restart();
    ReportConnected(true);
    Schedule();
}

void ReplayLink::Restart() {
    source_->Restart();
    ResetFraming();
    pending_.reset();
    playedUs_ = 0;
    ended_ = false;
    Anchor(0);
}

bool ReplayLink::Fetch() {
    RecordedChunk c;
    while (source_->Next(c)) {
        if (c.direction == ChunkDirection::Received && !c.bytes.isEmpty()) {
            pending_ = std::move(c);
            return true;
        }
    }
    return false;
}

void ReplayLink::PlayDue() {
    // A reply handler that runs the event loop may bring the timer back
    // here; the outer call goes on with what is due.
    if (!open_ || receiving() || ended_ || (paused_ && !seekTo_)) {
        return;
    }
    const bool fast = seekTo_ || speed_ == kAsFastAsPossible;
    const qint64 limit = seekTo_ ? *seekTo_ : fast ? lengthUs() : positionUs();
    int batch = 0;
    RecordedChunk current;
    QPointer<ReplayLink> self(this);
    const bool alive = ReceiveLoop([&]() -> std::span<const uint8_t> {
        if (batch >= kBatchChunks || (!pending_ && !Fetch()) || pending_->timeUs > limit) {
            return {};
        }
        current = std::move(*pending_);
        pending_.reset();
        playedUs_ = current.timeUs;
        ++batch;
        return Bytes(current.bytes);
    });
    if (!alive || !self) {
        return;
    }
    const bool more = pending_ || Fetch();
    if (seekTo_ && (!more || pending_->timeUs > *seekTo_)) {
        EndSeek();
    }
    if (!more) {
        ended_ = true;
        timer_.stop();
        emit positionChanged(playedUs_);
        emit endReached(stopReason());
        return;
    }
    emit positionChanged(positionUs());
    Schedule();
}

void ReplayLink::Schedule() {
    if (!open_ || ended_ || (paused_ && !seekTo_)) {
        timer_.stop();
        return;
    }
    if (seekTo_ || speed_ == kAsFastAsPossible || (!pending_ && !Fetch())) {
        timer_.start(0);  // a batch per turn of the event loop (or the end)
        return;
    }
    const qint64 dueUs = anchorClockUs_ + (pending_->timeUs - anchorPosUs_) / speed_;
    const qint64 waitUs = std::max<qint64>(0, dueUs - clock().MonotonicUs());
    timer_.start(static_cast<int>(std::min<qint64>((waitUs + 999) / 1000, 24 * 3600 * 1000)));
}

void ReplayLink::SetSpeed(int speed) {
    if (std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) == std::end(kSpeeds)) {
        return;
    }
    Anchor(positionUs());
    speed_ = speed;
    Schedule();
}

void ReplayLink::SetPaused(bool paused) {
    if (paused == paused_) {
        return;
    }
    Anchor(positionUs());
    paused_ = paused;
    Schedule();
    emit pausedChanged(paused_);
}

void ReplayLink::Seek(qint64 positionUs) {
    if (!open_) {
        return;
    }
    const qint64 target = std::clamp<qint64>(positionUs, 0, std::max<qint64>(0, lengthUs()));
    if (ended_ && target >= playedUs_) {
        return;  // nothing left to play
    }
    // Played bytes cannot be taken back: going back starts again.
    if (target < playedUs_) {
        Restart();
    }
    const bool started = !seekTo_;
    seekTo_ = target;
    if (started) {
        emit seekingChanged(true);
    }
    Schedule();
}

void ReplayLink::EndSeek() {
    const qint64 target = *seekTo_;
    seekTo_.reset();
    Anchor(target);
    emit seekingChanged(false);
}

// ---- the link's surface ---------------------------------------------------------

void ReplayLink::Disconnect() {
    timer_.stop();
    if (seekTo_) {
        seekTo_.reset();
        emit seekingChanged(false);
    }
    if (open_) {
        Anchor(positionUs());
        open_ = false;
    }
    ReportConnected(false);
}

bool ReplayLink::Send(int, bool) {
    return false;
}

bool ReplayLink::WritePacket(const QByteArray&) {
    return false;
}

}  // namespace tuvik
