#pragma once
// A recording of live values made up on the fly: one 0x92 reply every
// `periodUs` (the link's fastest rate is about 430 a second), each with the
// bytes the program would have sent between them, for as long as asked.
// Nothing is held in memory, so an hour costs nothing to make. The
// benchmarks and the guide's pictures replay it.

#include <cmath>
#include <vector>

#include "link/Packet.h"
#include "link/RecordedChunk.h"

namespace tuvik::sim {

class SyntheticRecording : public RecordedChunkSource {
  public:
    static constexpr qint64 kFastestPeriodUs = 1'000'000 / 430;

    SyntheticRecording(qint64 lengthUs, qint64 periodUs = kFastestPeriodUs)
        : count_(lengthUs / periodUs + 1), periodUs_(periodUs) {
        info_.formatVersion = 1;
        info_.toolVersion = QStringLiteral("synthetic");
        info_.linkKind = QStringLiteral("serial");
        info_.endpoint = QStringLiteral("/dev/ttyUSB0");
        info_.speed = 76800;
    }

    const RecordingInfo& info() const override { return info_; }
    qint64 lengthUs() const override { return (count_ - 1) * periodUs_; }
    bool Next(RecordedChunk& out) override {
        if (next_ >= 2 * count_) {
            return false;
        }
        const qint64 i = next_ / 2;
        out.timeUs = i * periodUs_;
        // The request that asked for it, then the reply.
        out.direction = next_ % 2 == 0 ? ChunkDirection::Sent : ChunkDirection::Received;
        out.bytes = next_ % 2 == 0 ? EncodeRequest(Cmd::DataRequest) : LiveReply(out.timeUs, i);
        ++next_;
        return true;
    }
    bool Restart() override {
        next_ = 0;
        return true;
    }
    QString stopReason() const override { return {}; }

    // A loop answering a slow setpoint swing, with a little noise.
    static QByteArray LiveReply(qint64 timeUs, qint64 i) {
        const double t = static_cast<double>(timeUs) / 1e6;
        const float sp = 60.0f + (static_cast<int>(t / 60) % 2 == 0 ? 0.0f : 15.0f);
        const float meas = sp - 4.0f * static_cast<float>(std::cos(t / 9.0)) +
                           0.3f * static_cast<float>(std::sin(i * 0.7));
        const float out = 40.0f + 2.0f * (sp - meas);
        std::vector<uint8_t> d(16);
        PutSingle(d, 0, out);
        PutSingle(d, 4, meas);
        PutSingle(d, 8, sp);
        PutSingle(d, 12, 20.0f + 4.0f * static_cast<float>(std::sin(t / 70.0)));
        return EncodePacket(Cmd::LiveValues, d);
    }

  private:
    RecordingInfo info_;
    qint64 count_;
    qint64 periodUs_;
    qint64 next_ = 0;
};

}  // namespace tuvik::sim
