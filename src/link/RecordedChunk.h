#pragma once
// A link's byte stream as a recording holds it: every chunk of bytes read
// from or written to the device, with its direction and the time it passed,
// and what the recording says about the connection it was made on. The
// recorder writes these; a replay link and the text dump read them back.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <span>

namespace tuvik {

enum class ChunkDirection : uint8_t { Received = 1, Sent = 2 };

struct RecordedChunk {
    // Microseconds since the recording started (monotonic).
    qint64 timeUs = 0;
    ChunkDirection direction = ChunkDirection::Received;
    QByteArray bytes;
};

// The connection a recording was made on, from its header.
struct RecordingInfo {
    int formatVersion = 0;
    QString toolVersion;
    QString linkKind;  // "serial" or "tcp"
    QString endpoint;  // port path or relay host:port
    int speed = 0;     // baud; 0 over TCP
    int refreshMs = 0;
    QString paramsName;      // the loaded PARAMS.h's file name, empty when none
    QString paramsChecksum;  // its checksum as hex, empty when none
    qint64 startUtcMs = 0;   // wall clock at the first chunk's time 0

    bool operator==(const RecordingInfo&) const = default;
};

// A recording read in order from its start. Next() yields chunks until the
// end or the first damage; stopReason() then says which ("" for a clean end,
// otherwise where reading stopped and why). Restart() goes back to the
// first chunk.
class RecordedChunkSource {
  public:
    virtual ~RecordedChunkSource() = default;
    virtual const RecordingInfo& info() const = 0;
    // Time of the last readable chunk, in microseconds.
    virtual qint64 lengthUs() const = 0;
    virtual bool Next(RecordedChunk& out) = 0;
    virtual bool Restart() = 0;
    virtual QString stopReason() const = 0;
};

// Where a link reports every chunk it reads from or writes to the device,
// as it passes (time from the link's monotonic clock, in microseconds).
class LinkTap {
  public:
    virtual ~LinkTap() = default;
    virtual void Chunk(ChunkDirection direction, std::span<const uint8_t> bytes, qint64 monoUs) = 0;
};

}  // namespace tuvik
