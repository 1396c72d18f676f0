#pragma once
// Writes one session recording (RecordingLayout.h) on a thread of its own.
// Chunk() only copies the bytes into a buffer under a lock, so the link's
// thread pays a copy per read or write; the writer thread turns the buffer
// into packet blocks, compresses them as one zstd frame, writes the frame
// and syncs it to the disk every kFlushMs. A crash or a pulled plug loses at
// most the frame in the making: every frame before it is complete on disk.

#include <QFile>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "link/RecordedChunk.h"

namespace tuvik {

class RecordingWriter {
  public:
    static constexpr int kFlushMs = 500;

    RecordingWriter() = default;
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Creates the file, writes and syncs the header and starts the writer
    // thread. monoStartUs is time 0 of the chunks on the taps' clock;
    // info.startUtcMs the wall clock at that moment. The error's text when
    // the file cannot be made or written.
    std::optional<QString> Open(const QString& path, const RecordingInfo& info, qint64 monoStartUs,
                                int flushMs = kFlushMs);
    bool isOpen() const { return thread_.joinable(); }

    // Called on the writer thread, once, when a write fails (a full disk, a
    // folder gone): the recording ends there and later chunks are dropped.
    void setOnFailure(std::function<void(const QString&)> f) { onFailure_ = std::move(f); }

    // Thread-safe and cheap: queues the bytes for the next frame.
    void Chunk(ChunkDirection direction, std::span<const uint8_t> bytes, qint64 monoUs);

    // Writes what is queued and closes the file.
    void Close();

  private:
    void Run();
    bool WriteFrame(const std::vector<char>& queued, bool header);

    QFile file_;
    RecordingInfo info_;
    qint64 monoStartUs_ = 0;
    int flushMs_ = kFlushMs;
    std::function<void(const QString&)> onFailure_;
    void* cctx_ = nullptr;  // ZSTD_CCtx, used by one thread at a time

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<char> queued_;  // records: time (8), direction (1), length (4), bytes
    bool stop_ = false;
    bool failed_ = false;
    std::thread thread_;
};

// The pcapng bytes of a recording's header (section and interface blocks).
QByteArray RecordingHeaderBlocks(const RecordingInfo& info);
// One enhanced packet block: the chunk at utcUs.
void AppendPacketBlock(QByteArray& out, ChunkDirection direction, std::span<const uint8_t> bytes,
                       qint64 utcUs);

}  // namespace tuvik
