#pragma once
// A recording as rows of text for support (tuvik-recording): each direction
// is framed with the program's own framing, and every packet becomes a row
// with its time, direction, command, bytes and what the program knows it to
// mean (live values, acknowledgements, memory reads and writes, requests).
// Bytes that belong to no packet get a row of their own.

#include <QByteArray>
#include <QString>

#include <functional>

#include "link/RecordedChunk.h"

namespace tuvik {

struct DumpRow {
    qint64 timeUs = 0;  // of the chunk that completed the packet
    ChunkDirection direction = ChunkDirection::Received;
    int command = -1;  // -1: bytes outside any packet
    QByteArray bytes;  // the whole packet as on the wire
    QString meaning;
};

// What a packet means, in words; empty when the program does not know.
QString PacketMeaning(ChunkDirection direction, uint8_t command, std::span<const uint8_t> data);

// Reads the source from where it is to its end or damage, one call per row.
// Returns the number of chunks read.
qint64 DumpRecording(RecordedChunkSource& source, const std::function<void(const DumpRow&)>& row);

// A row as text ("12.345678 rx 0x92 92 10 ... live values ...") and as a
// CSV line (time_s,direction,command,hex,meaning).
QString DumpRowText(const DumpRow& row);
QString DumpRowCsv(const DumpRow& row);
QString DumpCsvHeader();

}  // namespace tuvik
