#pragma once
// A recording held in memory, read as a replay reads a file: in order, with
// an optional damage reason reported once the chunks run out.

#include <QString>

#include <vector>

#include "link/RecordedChunk.h"

namespace tuvik::test {

class MemorySource : public RecordedChunkSource {
  public:
    RecordingInfo recordingInfo{.formatVersion = 1, .toolVersion = QStringLiteral("test")};
    std::vector<RecordedChunk> chunks;
    QString damage;  // the stop reason once the chunks run out

    const RecordingInfo& info() const override { return recordingInfo; }
    qint64 lengthUs() const override { return chunks.empty() ? 0 : chunks.back().timeUs; }
    bool Next(RecordedChunk& out) override {
        if (next_ >= chunks.size()) {
            return false;
        }
        out = chunks[next_++];
        return true;
    }
    bool Restart() override {
        next_ = 0;
        return true;
    }
    QString stopReason() const override { return next_ >= chunks.size() ? damage : QString(); }

    void Add(qint64 timeUs, const QByteArray& bytes, ChunkDirection d = ChunkDirection::Received) {
        chunks.push_back({timeUs, d, bytes});
    }

  private:
    size_t next_ = 0;
};

}  // namespace tuvik::test
