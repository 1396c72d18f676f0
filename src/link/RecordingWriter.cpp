#include "link/RecordingWriter.h"

#include <zstd.h>

#include <QFile>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/RecordingLayout.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tuvik {

using namespace recording;

namespace {

constexpr int kRecordHead = 8 + 1 + 4;
// A burst this large wakes the writer before its period is up, so the queue
// stays small whatever the link delivers.
constexpr size_t kEarlyFlushBytes = 4u << 20;
constexpr int kLevel = 3;

void Put32(QByteArray& out, uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void Put16(QByteArray& out, uint16_t v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void Pad(QByteArray& out) {
    while (out.size() % 4 != 0) {
        out.append('\0');
    }
}

void PutOption(QByteArray& out, uint16_t code, const QByteArray& value) {
    Put16(out, code);
    Put16(out, static_cast<uint16_t>(value.size()));
    out.append(value);
    Pad(out);
}

// Type and a placeholder length; EndBlock fills in both lengths.
qsizetype BeginBlock(QByteArray& out, uint32_t type) {
    const qsizetype start = out.size();
    Put32(out, type);
    Put32(out, 0);
    return start;
}

void EndBlock(QByteArray& out, qsizetype start) {
    const auto length = static_cast<uint32_t>(out.size() - start + 4);
    qToLittleEndian(length, out.data() + start + 4);
    Put32(out, length);
}

QByteArray Utf8(const QString& s) {
    return s.toUtf8();
}

}  // namespace

QByteArray RecordingHeaderBlocks(const RecordingInfo& info) {
    QByteArray out;
    qsizetype b = BeginBlock(out, kSectionHeader);
    Put32(out, kByteOrderMagic);
    Put16(out, 1);  // pcapng 1.0
    Put16(out, 0);
    Put32(out, 0xFFFFFFFF);  // section length unknown (-1)
    Put32(out, 0xFFFFFFFF);
    PutOption(out, kShbUserAppl, Utf8(QStringLiteral("tuvik ") + info.toolVersion));
    Put32(out, 0);  // opt_endofopt
    EndBlock(out, b);

    b = BeginBlock(out, kInterfaceDescription);
    Put16(out, kLinkTypeUser0);
    Put16(out, 0);
    Put32(out, 0);  // no snap length
    PutOption(out, kIfName, Utf8(info.endpoint));
    PutOption(out, kIfTsResol, QByteArray(1, '\x06'));
    const QString comment =
        QStringLiteral(
            "format=%1\nlink=%2\nendpoint=%3\nspeed=%4\nrefresh_ms=%5\nparams=%6\n"
            "params_sha256=%7\nstart_utc_ms=%8\n")
            .arg(kFormatVersion)
            .arg(info.linkKind, info.endpoint)
            .arg(info.speed)
            .arg(info.refreshMs)
            .arg(info.paramsName, info.paramsChecksum)
            .arg(info.startUtcMs);
    PutOption(out, kOptComment, Utf8(comment));
    Put32(out, 0);
    EndBlock(out, b);
    return out;
}

void AppendPacketBlock(QByteArray& out, ChunkDirection direction, std::span<const uint8_t> bytes,
                       qint64 utcUs) {
    const qsizetype b = BeginBlock(out, kEnhancedPacket);
    const auto ts = static_cast<uint64_t>(utcUs);
    Put32(out, 0);  // interface 0
    Put32(out, static_cast<uint32_t>(ts >> 32));
    Put32(out, static_cast<uint32_t>(ts));
    Put32(out, static_cast<uint32_t>(bytes.size()));
    Put32(out, static_cast<uint32_t>(bytes.size()));
    out.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    Pad(out);
    Put16(out, kEpbFlags);
    Put16(out, 4);
    Put32(out, direction == ChunkDirection::Received ? kFlagInbound : kFlagOutbound);
    Put32(out, 0);
    EndBlock(out, b);
}

// The file and what its frames are made with: shared with the writer
// thread, and kept by it alone after Finish().
struct RecordingWriter::State {
    QFile file;
    RecordingInfo info;
    qint64 monoStartUs = 0;
    std::function<void(const QString&)> onEnd;
    ZSTD_CCtx* cctx = nullptr;  // used by one thread at a time
    QString failure;            // written on the writer thread

    ~State() { ZSTD_freeCCtx(cctx); }
    bool WriteFrame(const std::vector<char>& records, bool header, QString* why);
};

namespace {

std::atomic<RecordingWriter::SyncFunction> gSync{nullptr};

int SystemSync(int fd) {
#ifdef Q_OS_UNIX
    return ::fdatasync(fd);
#else
    (void)fd;
    return 0;
#endif
}

}  // namespace

void RecordingWriter::setSyncFunction(SyncFunction sync) {
    gSync = sync;
}

RecordingWriter::~RecordingWriter() {
    Close();
}

void RecordingWriter::setOnEnd(std::function<void(const QString&)> f) {
    onEnd_ = std::move(f);
}

std::optional<QString> RecordingWriter::Open(const QString& path, const RecordingInfo& info,
                                             qint64 monoStartUs, int flushMs) {
    Close();
    auto s = std::make_shared<State>();
    s->info = info;
    s->monoStartUs = monoStartUs;
    s->onEnd = onEnd_;
    s->cctx = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(s->cctx, ZSTD_c_compressionLevel, kLevel);
    // A damaged frame is then found, not read as other bytes.
    ZSTD_CCtx_setParameter(s->cctx, ZSTD_c_checksumFlag, 1);
    state_ = s;
    s->file.setFileName(path);
    if (!s->file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return s->file.errorString();
    }
    std::vector<char> none;
    QString why;
    if (!s->WriteFrame(none, true, &why)) {
        s->file.close();
        return why;
    }
    writer_.Start(
        "tuvik-recorder", std::chrono::milliseconds(flushMs),
        [s](std::vector<char>& records) { return s->WriteFrame(records, false, &s->failure); },
        [s] {
            s->file.close();
            if (s->onEnd) {
                s->onEnd(s->failure);
            }
        });
    return std::nullopt;
}

void RecordingWriter::Chunk(ChunkDirection direction, std::span<const uint8_t> bytes,
                            qint64 monoUs) {
    if (!state_) {
        return;
    }
    State& s = *state_;
    const qint64 t = std::max<qint64>(0, monoUs - s.monoStartUs);
    writer_.Put([&](std::vector<char>& queued) {
        while (!bytes.empty()) {
            const auto n = std::min<size_t>(bytes.size(), kMaxChunk);
            const size_t at = queued.size();
            queued.resize(at + kRecordHead + n);
            char* p = queued.data() + at;
            std::memcpy(p, &t, 8);
            p[8] = static_cast<char>(direction);
            const auto len = static_cast<uint32_t>(n);
            std::memcpy(p + 9, &len, 4);
            std::memcpy(p + kRecordHead, bytes.data(), n);
            bytes = bytes.subspan(n);
        }
        return queued.size() >= kEarlyFlushBytes;
    });
}

// The records (after the header blocks when asked) as one complete zstd
// frame, synced; false with the reason when it could not be.
bool RecordingWriter::State::WriteFrame(const std::vector<char>& records, bool header,
                                        QString* why) {
    QByteArray blocks;
    if (header) {
        blocks = RecordingHeaderBlocks(info);
    }
    const qint64 base = info.startUtcMs * 1000;
    for (size_t at = 0; at + kRecordHead <= records.size();) {
        qint64 t = 0;
        uint32_t len = 0;
        std::memcpy(&t, records.data() + at, 8);
        std::memcpy(&len, records.data() + at + 9, 4);
        const auto dir = static_cast<ChunkDirection>(records[at + 8]);
        AppendPacketBlock(
            blocks, dir, {reinterpret_cast<const uint8_t*>(records.data() + at + kRecordHead), len},
            base + t);
        at += kRecordHead + len;
    }
    if (blocks.isEmpty()) {
        return true;
    }
    QByteArray frame(static_cast<qsizetype>(ZSTD_compressBound(blocks.size())), Qt::Uninitialized);
    const size_t n =
        ZSTD_compress2(cctx, frame.data(), frame.size(), blocks.constData(), blocks.size());
    if (ZSTD_isError(n)) {
        *why = QString::fromLatin1(ZSTD_getErrorName(n));
        return false;
    }
    if (file.write(frame.constData(), static_cast<qint64>(n)) != static_cast<qint64>(n) ||
        !file.flush()) {
        *why = file.errorString();
        return false;
    }
    // On the disk, not only in the page cache: a pulled plug keeps it. A
    // sync that fails (an I/O error, a stick pulled) leaves the frame in
    // doubt, so the recording ends as on a failed write.
    const SyncFunction sync = gSync.load();
    if ((sync ? sync : &SystemSync)(file.handle()) != 0) {
        *why =
            QStringLiteral("cannot sync to the disk: ") + QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    return true;
}

void RecordingWriter::Close() {
    writer_.Stop();
}

void RecordingWriter::Finish() {
    writer_.Detach();
    state_.reset();
}

bool RecordingWriter::WaitForFinished(int timeoutMs) {
    return background::WaitForDetached(timeoutMs);
}

}  // namespace tuvik
