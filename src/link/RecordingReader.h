#pragma once
// Reads a session recording (RecordingLayout.h) chunk by chunk, streaming:
// the file is decompressed a piece at a time, and only frames that end
// complete and pass their checksum are read, so a recording cut off by a
// crash yields everything up to its last whole frame. Every block length is
// checked against kMaxBlock before anything is allocated for it, a frame's
// output is capped at kMaxFrameBytes, and unknown blocks are skipped. Damage
// ends the reading; stopReason() says where (chunk, byte of the file) and why.

#include <QByteArray>
#include <QIODevice>

#include <memory>

#include "link/RecordedChunk.h"

namespace tuvik {

class RecordingReader : public RecordedChunkSource {
  public:
    static constexpr qsizetype kMaxFrameBytes = 16 << 20;

    // The recording in that file or those bytes with its header read and its
    // length found; null, with the reason in *error, when it is not a
    // recording this program can read (another layout, another format
    // version, no header, a chunk stamped before the start).
    static std::unique_ptr<RecordingReader> Open(const QString& path, QString* error);
    // The same from bytes in memory, for the fuzzer and the tests.
    static std::unique_ptr<RecordingReader> FromBytes(const QByteArray& bytes, QString* error);

    ~RecordingReader() override;

    const RecordingInfo& info() const override { return info_; }
    qint64 lengthUs() const override { return lengthUs_; }
    bool Next(RecordedChunk& out) override;
    bool Restart() override;
    QString stopReason() const override { return stopReason_; }

    // The chunks the whole recording holds up to its end or damage.
    qint64 chunkCount() const { return chunkCount_; }

  private:
    explicit RecordingReader(std::unique_ptr<QIODevice> in);
    bool Begin(QString* error);
    bool ReadHeader(QString* error);
    // The next whole block: its type and its body (after the two leading
    // words, without the trailing length). False at the end or on damage,
    // with stopReason_ set for damage.
    bool NextBlock(uint32_t& type, QByteArray& body);
    // At least n readable bytes of complete frames, or false.
    bool Fill(qsizetype n);
    void Stop(const QString& why);

    std::unique_ptr<QIODevice> in_;
    void* dctx_ = nullptr;  // ZSTD_DCtx
    QByteArray inBuf_;
    qsizetype inPos_ = 0;
    qint64 fileOffset_ = 0;  // compressed bytes consumed
    qint64 frameStart_ = 0;  // file offset where the frame being decoded began
    QByteArray frame_;       // output of the frame being decoded
    bool inFrame_ = false;
    QByteArray ready_;  // output of complete frames
    qsizetype readyPos_ = 0;
    bool ended_ = false;
    bool damaged_ = false;

    RecordingInfo info_;
    qint64 lengthUs_ = 0;
    qint64 chunks_ = 0;
    qint64 chunkCount_ = 0;
    QString stopReason_;
};

}  // namespace tuvik
