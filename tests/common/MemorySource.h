#pragma once
// A recording held in memory, read as a replay reads a file: in order, with
// an optional damage reason reported once the chunks run out.
#include <vector>

#include "link/RecordedChunk.h"

namespace tuvik::test {

struct MemorySource : RecordedChunkSource {
    RecordingInfo recordingInfo{.formatVersion = 1};
    std::vector<RecordedChunk> chunks;
    QString damage;
    size_t next = 0;

    const RecordingInfo& info() const override { return recordingInfo; }
    qint64 lengthUs() const override { return chunks.empty() ? 0 : chunks.back().timeUs; }
    bool Next(RecordedChunk& out) override {
        return next < chunks.size() && (out = chunks[next++], true);
    }
    bool Restart() override { return (next = 0) == 0; }
    QString stopReason() const override { return next >= chunks.size() ? damage : QString(); }
    void Add(qint64 us, const QByteArray& b, ChunkDirection d = ChunkDirection::Received) {
        chunks.push_back({us, d, b});
    }
};

}  // namespace tuvik::test
