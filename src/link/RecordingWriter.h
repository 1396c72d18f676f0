#pragma once
// Writes one session recording (RecordingLayout.h) on a thread of its own.
// Chunk() only copies the bytes into a buffer under a lock, so the link's
// thread pays a copy per read or write; the writer thread turns the buffer
// into packet blocks, compresses them as one zstd frame, writes the frame
// and syncs it to the disk every kFlushMs. A crash or a pulled plug loses at
// most the frame in the making: every frame before it is complete on disk.

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "link/RecordedChunk.h"
#include "support/BackgroundWriter.h"

namespace tuvik {

class RecordingWriter {
  public:
    static constexpr int kFlushMs = 500;

    // What syncs a frame to the disk (fdatasync): 0 or -1 with errno set.
    // Tests put a sync that fails or waits (a pulled or slow stick) here;
    // null puts the system's back.
    using SyncFunction = int (*)(int fd);
    static void setSyncFunction(SyncFunction sync);

    RecordingWriter() = default;
    // Close(), unless Finish() handed the closing to the writer thread.
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Creates the file, writes and syncs the header and starts the writer
    // thread. monoStartUs is time 0 of the chunks on the taps' clock;
    // info.startUtcMs the wall clock at that moment. The error's text when
    // the file cannot be made or written.
    std::optional<QString> Open(const QString& path, const RecordingInfo& info, qint64 monoStartUs,
                                int flushMs = kFlushMs);
    bool isOpen() const { return writer_.running(); }

    // Called on the writer thread, once, when the file is closed (set before
    // Open): with the
    // reason when a write or sync failed (a full disk, a folder gone; the
    // recording ends there and later chunks are dropped), empty when all
    // that was queued is on the disk.
    void setOnEnd(std::function<void(const QString& failure)> f);

    // Thread-safe and cheap: queues the bytes for the next frame.
    void Chunk(ChunkDirection direction, std::span<const uint8_t> bytes, qint64 monoUs);

    // Writes what is queued, closes the file and waits for the thread.
    void Close();
    // The same without waiting: the writer thread writes what is queued,
    // closes the file and ends on its own (a sync on a slow stick can take
    // seconds); this object may go at once.
    void Finish();
    // Waits until every writer handed Finish() has closed its file, at most
    // timeoutMs (the program's end); false when one still writes.
    static bool WaitForFinished(int timeoutMs);

  private:
    struct State;

    std::function<void(const QString&)> onEnd_;
    std::shared_ptr<State> state_;
    BackgroundWriter<std::vector<char>>
        writer_;  // records: time (8), direction (1), length (4), bytes
};

// The pcapng bytes of a recording's header (section and interface blocks).
QByteArray RecordingHeaderBlocks(const RecordingInfo& info);
// One enhanced packet block: the chunk at utcUs.
void AppendPacketBlock(QByteArray& out, ChunkDirection direction, std::span<const uint8_t> bytes,
                       qint64 utcUs);

}  // namespace tuvik
