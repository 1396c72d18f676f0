#pragma once
// A recorded session played back as a link: the bytes the device sent go
// through the same framing, receiver and windows as on a live link, at their
// recorded times divided by the speed (or as fast as possible). It never
// writes: every send returns false and there is no port behind it. The bytes
// the program sent at the time are in the recording only to be read; they
// are skipped.
//
// A seek forward plays the span in between as fast as possible (the shell
// holds the screen's repaints back meanwhile: seekingChanged); a seek back
// starts again from the beginning and plays forward the same way. Long
// stretches go in batches, yielding to the event loop between them, so the
// windows stay responsive.

#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "link/DeviceLink.h"
#include "link/RecordedChunk.h"

namespace tuvik {

class ReplayLink : public DeviceLink {
    Q_OBJECT
  public:
    // Speeds the operator chooses from; 0 is as fast as possible.
    static constexpr int kSpeeds[] = {1, 5, 20, 0};
    static constexpr int kAsFastAsPossible = 0;
    // Chunks handed on per turn of the event loop when playing as fast as
    // possible or seeking.
    static constexpr int kBatchChunks = 4096;

    explicit ReplayLink(std::unique_ptr<RecordedChunkSource> source, QObject* parent = nullptr);
    ~ReplayLink() override;

    const RecordingInfo& info() const { return source_->info(); }
    qint64 lengthUs() const { return source_->lengthUs(); }
    // Where the replay stands, in µs from the recording's start.
    qint64 positionUs() const;
    // The recorded time (UTC ms) the replay stands at: while a chunk's
    // replies are handled, the time that chunk was received.
    qint64 recordedMs() const;
    // What the status line names the recording by.
    void setName(const QString& name) { name_ = name; }
    QString Endpoint() const override { return name_; }

    // Reports the link connected and starts playing from the beginning.
    void Start();
    void SetSpeed(int speed);
    int speed() const { return speed_; }
    void SetPaused(bool paused);
    bool paused() const { return paused_; }
    void Seek(qint64 positionUs);
    bool seeking() const { return seekTo_.has_value(); }
    // The whole recording (or all of it that could be read) has been played.
    bool ended() const { return ended_; }
    // Why playing stopped before the recording's end; empty when it did not.
    QString stopReason() const { return source_->stopReason(); }

    // Plays whatever is due at the clock's present time and schedules the
    // next chunk. The play timer calls it; tests with their own clock too.
    void PlayDue();
    // The delay the play timer was last armed with (ms), -1 when idle.
    // Seam: tests check the pacing at each speed without waiting for it.
    int scheduledMs() const { return timer_.isActive() ? timer_.interval() : -1; }

    // DeviceLink
    bool PortOpen() const override { return open_; }
    void Disconnect() override;
    bool Send(int value, bool invert = false) override;

  signals:
    // The replay moved on (at most once per batch or timer tick).
    void positionChanged(qint64 positionUs);
    // The last readable chunk was played; reason as stopReason().
    void endReached(const QString& reason);
    void pausedChanged(bool paused);
    // A seek started (true) or ended, or was cut off by Disconnect (false).
    void seekingChanged(bool seeking);

  protected:
    bool WritePacket(const QByteArray& bytes) override;

  private:
    // The next received chunk into pending_; false at the end.
    bool Fetch();
    void Schedule();
    void Anchor(qint64 positionUs);
    void EndSeek();
    void Restart();

    std::unique_ptr<RecordedChunkSource> source_;
    QTimer timer_;
    QString name_;
    std::optional<RecordedChunk> pending_;
    qint64 playedUs_ = 0;     // the last chunk handed on
    qint64 anchorPosUs_ = 0;  // position at anchorClockUs_
    qint64 anchorClockUs_ = 0;
    std::optional<qint64> seekTo_;
    int speed_ = 1;
    bool paused_ = false;
    bool open_ = false;
    bool ended_ = false;
};

}  // namespace tuvik
