#include "link/RecordingWriter.h"

#include <zstd.h>

#include <QtEndian>

#include <chrono>
#include <cstring>

#include "link/RecordingLayout.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <pthread.h>
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

RecordingWriter::~RecordingWriter() {
    Close();
    ZSTD_freeCCtx(static_cast<ZSTD_CCtx*>(cctx_));
}

std::optional<QString> RecordingWriter::Open(const QString& path, const RecordingInfo& info,
                                             qint64 monoStartUs, int flushMs) {
    Close();
    info_ = info;
    monoStartUs_ = monoStartUs;
    flushMs_ = flushMs;
    failed_ = false;
    stop_ = false;
    if (!cctx_) {
        auto* c = ZSTD_createCCtx();
        ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, kLevel);
        // A damaged frame is then found, not read as other bytes.
        ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
        cctx_ = c;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        return file_.errorString();
    }
    std::vector<char> none;
    if (!WriteFrame(none, true)) {
        const QString why = file_.errorString();
        file_.close();
        return why;
    }
    thread_ = std::thread([this] { Run(); });
    return std::nullopt;
}

void RecordingWriter::Chunk(ChunkDirection direction, std::span<const uint8_t> bytes,
                            qint64 monoUs) {
    const qint64 t = std::max<qint64>(0, monoUs - monoStartUs_);
    std::lock_guard lock(mutex_);
    if (failed_ || !thread_.joinable()) {
        return;
    }
    while (!bytes.empty()) {
        const auto n = std::min<size_t>(bytes.size(), kMaxChunk);
        const size_t at = queued_.size();
        queued_.resize(at + kRecordHead + n);
        char* p = queued_.data() + at;
        std::memcpy(p, &t, 8);
        p[8] = static_cast<char>(direction);
        const auto len = static_cast<uint32_t>(n);
        std::memcpy(p + 9, &len, 4);
        std::memcpy(p + kRecordHead, bytes.data(), n);
        bytes = bytes.subspan(n);
    }
    if (queued_.size() >= kEarlyFlushBytes) {
        wake_.notify_one();
    }
}

void RecordingWriter::Run() {
#ifdef Q_OS_LINUX
    // Named, so that its share of the processor can be told apart.
    pthread_setname_np(pthread_self(), "tuvik-recorder");
#endif
    std::vector<char> taken;
    for (;;) {
        bool last = false;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, std::chrono::milliseconds(flushMs_),
                           [this] { return stop_ || queued_.size() >= kEarlyFlushBytes; });
            last = stop_;
            taken.swap(queued_);
            queued_.clear();
        }
        if (!taken.empty() && !WriteFrame(taken, false)) {
            const QString why = file_.errorString();
            {
                std::lock_guard lock(mutex_);
                failed_ = true;
                queued_.clear();
                queued_.shrink_to_fit();
            }
            file_.close();
            if (onFailure_) {
                onFailure_(why);
            }
            return;
        }
        taken.clear();
        if (last) {
            file_.close();
            return;
        }
    }
}

// The queued chunks (after the header blocks on the first call) as one
// complete zstd frame, synced.
bool RecordingWriter::WriteFrame(const std::vector<char>& queued, bool header) {
    QByteArray blocks;
    if (header) {
        blocks = RecordingHeaderBlocks(info_);
    }
    const qint64 base = info_.startUtcMs * 1000;
    for (size_t at = 0; at + kRecordHead <= queued.size();) {
        qint64 t = 0;
        uint32_t len = 0;
        std::memcpy(&t, queued.data() + at, 8);
        std::memcpy(&len, queued.data() + at + 9, 4);
        const auto dir = static_cast<ChunkDirection>(queued[at + 8]);
        AppendPacketBlock(blocks, dir,
                          {reinterpret_cast<const uint8_t*>(queued.data() + at + kRecordHead), len},
                          base + t);
        at += kRecordHead + len;
    }
    if (blocks.isEmpty()) {
        return true;
    }
    QByteArray frame(static_cast<qsizetype>(ZSTD_compressBound(blocks.size())), Qt::Uninitialized);
    const size_t n = ZSTD_compress2(static_cast<ZSTD_CCtx*>(cctx_), frame.data(), frame.size(),
                                    blocks.constData(), blocks.size());
    if (ZSTD_isError(n)) {
        return false;
    }
    if (file_.write(frame.constData(), static_cast<qint64>(n)) != static_cast<qint64>(n) ||
        !file_.flush()) {
        return false;
    }
#ifdef Q_OS_UNIX
    // On the disk, not only in the page cache: a pulled plug keeps it.
    ::fdatasync(file_.handle());
#endif
    return true;
}

void RecordingWriter::Close() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    std::lock_guard lock(mutex_);
    queued_.clear();
}

}  // namespace tuvik
