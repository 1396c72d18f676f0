// Feeds arbitrary bytes to the session-recording reader and the text dump
// and checks what reading must keep whatever the file holds: no chunk is
// larger than a block may be, a second reading from the start yields the
// same chunks and stops for the same reason, and the count found when the
// recording was opened is the count read. An input that is no zstd frame is
// taken as the pcapng stream itself and compressed first, so that the
// block reader behind the decompression is explored as well.
#include <zstd.h>

#include <QByteArray>

#include <cstddef>
#include <cstdint>

#include "FuzzUtil.h"
#include "link/RecordingLayout.h"
#include "link/RecordingReader.h"
#include "shell/RecordingDump.h"

using tuvik::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray file = tuvik::fuzz::Bytes(data, size);
    if (!file.startsWith("\x28\xB5\x2F\xFD")) {
        QByteArray z(static_cast<qsizetype>(ZSTD_compressBound(size)), '\0');
        z.resize(static_cast<qsizetype>(ZSTD_compress(z.data(), z.size(), data, size, 1)));
        file = z;
    }
    QString error;
    const auto reader = tuvik::RecordingReader::FromBytes(file, &error);
    if (!reader) {
        Check(!error.isEmpty());
        return 0;
    }
    QList<tuvik::RecordedChunk> first;
    tuvik::RecordedChunk c;
    while (reader->Next(c)) {
        Check(c.bytes.size() <= static_cast<qsizetype>(tuvik::recording::kMaxBlock));
        first.append(c);
    }
    Check(first.size() == reader->chunkCount());
    const QString reason = reader->stopReason();
    Check(reader->Restart());
    for (const tuvik::RecordedChunk& want : first) {
        Check(reader->Next(c) && c.bytes == want.bytes && c.timeUs == want.timeUs &&
              c.direction == want.direction);
    }
    Check(!reader->Next(c) && reader->stopReason() == reason);
    Check(reader->Restart());
    tuvik::DumpRecording(*reader, [](const tuvik::DumpRow& row) { tuvik::DumpRowText(row); });
    return 0;
}
