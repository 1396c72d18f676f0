#include "link/RecordingReader.h"

#include <zstd.h>

#include <QBuffer>
#include <QFile>
#include <QtEndian>

#include "link/RecordingLayout.h"

namespace tuvik {

using namespace recording;

namespace {

constexpr qsizetype kInPiece = 64 * 1024;
constexpr qsizetype kOutPiece = 64 * 1024;
// Frames asking for a larger window than this are refused rather than served.
constexpr int kWindowLogMax = 24;

uint32_t Get32(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<uint32_t>(b.constData() + at);
}

uint16_t Get16(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<uint16_t>(b.constData() + at);
}

qsizetype Padded(qsizetype n) {
    return (n + 3) & ~qsizetype{3};
}

// Calls f(code, value) for each option in body[at, end); false when an
// option runs past the end.
template <typename F>
bool ForOptions(const QByteArray& body, qsizetype at, F f) {
    while (at + 4 <= body.size()) {
        const uint16_t code = Get16(body, at);
        const qsizetype len = Get16(body, at + 2);
        if (code == kOptEnd) {
            return true;
        }
        if (at + 4 + len > body.size()) {
            return false;
        }
        f(code, body.mid(at + 4, len));
        at += 4 + Padded(len);
    }
    return at == body.size();
}

void TakeComment(RecordingInfo& info, const QString& comment) {
    for (const QString& line : comment.split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) {
            continue;
        }
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key == QLatin1String("format")) {
            info.formatVersion = value.toInt();
        } else if (key == QLatin1String("link")) {
            info.linkKind = value;
        } else if (key == QLatin1String("endpoint")) {
            info.endpoint = value;
        } else if (key == QLatin1String("speed")) {
            info.speed = value.toInt();
        } else if (key == QLatin1String("refresh_ms")) {
            info.refreshMs = value.toInt();
        } else if (key == QLatin1String("params")) {
            info.paramsName = value;
        } else if (key == QLatin1String("params_sha256")) {
            info.paramsChecksum = value;
        } else if (key == QLatin1String("start_utc_ms")) {
            info.startUtcMs = value.toLongLong();
        }
    }
}

}  // namespace

RecordingReader::RecordingReader(std::unique_ptr<QIODevice> in) : in_(std::move(in)) {
    auto* d = ZSTD_createDCtx();
    ZSTD_DCtx_setParameter(d, ZSTD_d_windowLogMax, kWindowLogMax);
    dctx_ = d;
}

RecordingReader::~RecordingReader() {
    ZSTD_freeDCtx(static_cast<ZSTD_DCtx*>(dctx_));
}

std::unique_ptr<RecordingReader> RecordingReader::Open(const QString& path, QString* error) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file->errorString();
        }
        return nullptr;
    }
    std::unique_ptr<RecordingReader> r(new RecordingReader(std::move(file)));
    return r->Begin(error) ? std::move(r) : nullptr;
}

std::unique_ptr<RecordingReader> RecordingReader::FromBytes(const QByteArray& bytes,
                                                            QString* error) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    std::unique_ptr<RecordingReader> r(new RecordingReader(std::move(buffer)));
    return r->Begin(error) ? std::move(r) : nullptr;
}

// Reads the header, then the whole recording once for its length and chunk
// count, and goes back to the first chunk. A chunk stamped before the start
// (a clock set back, a damaged header) would give a position before 0 or a
// negative length: such a recording is refused.
bool RecordingReader::Begin(QString* error) {
    if (!ReadHeader(error)) {
        return false;
    }
    RecordedChunk c;
    while (Next(c)) {
        if (c.timeUs < 0) {
            if (error) {
                *error = QStringLiteral(
                             "the recording is damaged: chunk %1 is stamped %2 s before the "
                             "recording's start")
                             .arg(chunks_)
                             .arg(static_cast<double>(c.timeUs) / -1e6, 0, 'f', 3);
            }
            return false;
        }
        lengthUs_ = c.timeUs;
    }
    chunkCount_ = chunks_;
    return Restart();
}

bool RecordingReader::Restart() {
    if (!in_->seek(0)) {
        return false;
    }
    ZSTD_DCtx_reset(static_cast<ZSTD_DCtx*>(dctx_), ZSTD_reset_session_only);
    inBuf_.clear();
    inPos_ = 0;
    fileOffset_ = 0;
    frameStart_ = 0;
    frame_.clear();
    inFrame_ = false;
    ready_.clear();
    readyPos_ = 0;
    ended_ = false;
    damaged_ = false;
    chunks_ = 0;
    stopReason_.clear();
    const RecordingInfo kept = info_;
    QString ignored;
    const bool ok = ReadHeader(&ignored);
    info_ = kept;
    return ok;
}

void RecordingReader::Stop(const QString& why) {
    if (!damaged_) {
        damaged_ = true;
        stopReason_ = QStringLiteral("stopped after chunk %1 at byte %2 of the file: %3")
                          .arg(chunks_)
                          .arg(inFrame_ ? frameStart_ : fileOffset_)
                          .arg(why);
    }
}

bool RecordingReader::Fill(qsizetype n) {
    while (ready_.size() - readyPos_ < n) {
        if (damaged_ || ended_) {
            return false;
        }
        if (inPos_ == inBuf_.size()) {
            inBuf_ = in_->read(kInPiece);
            inPos_ = 0;
            if (inBuf_.isEmpty()) {
                ended_ = true;
                if (inFrame_) {
                    Stop(
                        QStringLiteral("the file ends inside a compressed frame (cut off while "
                                       "it was written)"));
                } else if (ready_.size() > readyPos_) {
                    Stop(QStringLiteral("the file ends inside a block"));
                }
                return false;
            }
        }
        if (!inFrame_) {
            inFrame_ = true;
            frameStart_ = fileOffset_;
            frame_.clear();
        }
        ZSTD_inBuffer in{inBuf_.constData() + inPos_, static_cast<size_t>(inBuf_.size() - inPos_),
                         0};
        char out[kOutPiece];
        ZSTD_outBuffer o{out, sizeof out, 0};
        const size_t ret = ZSTD_decompressStream(static_cast<ZSTD_DCtx*>(dctx_), &o, &in);
        inPos_ += static_cast<qsizetype>(in.pos);
        fileOffset_ += static_cast<qint64>(in.pos);
        if (ZSTD_isError(ret)) {
            Stop(QStringLiteral("the compressed data is damaged (") +
                 QString::fromLatin1(ZSTD_getErrorName(ret)) + u')');
            return false;
        }
        if (frame_.size() + static_cast<qsizetype>(o.pos) > kMaxFrameBytes) {
            Stop(QStringLiteral("a compressed frame holds more than %1 bytes").arg(kMaxFrameBytes));
            return false;
        }
        frame_.append(out, static_cast<qsizetype>(o.pos));
        if (ret == 0) {
            // A whole frame, its checksum checked: its bytes can be read.
            inFrame_ = false;
            ready_.remove(0, readyPos_);
            readyPos_ = 0;
            ready_.append(frame_);
            frame_.clear();
        }
    }
    return true;
}

bool RecordingReader::NextBlock(uint32_t& type, QByteArray& body) {
    if (!Fill(8)) {
        return false;
    }
    type = Get32(ready_, readyPos_);
    const uint32_t length = Get32(ready_, readyPos_ + 4);
    if (length < kMinBlock || length % 4 != 0 || length > kMaxBlock) {
        Stop(QStringLiteral("a block has the impossible length %1").arg(length));
        return false;
    }
    if (!Fill(length)) {
        if (!damaged_) {
            Stop(QStringLiteral("the file ends inside a block"));
        }
        return false;
    }
    if (Get32(ready_, readyPos_ + length - 4) != length) {
        Stop(QStringLiteral("a block's two lengths differ"));
        return false;
    }
    body = ready_.mid(readyPos_ + 8, length - 12);
    readyPos_ += length;
    return true;
}

bool RecordingReader::ReadHeader(QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    uint32_t type = 0;
    QByteArray body;
    if (!NextBlock(type, body) || type != kSectionHeader || body.size() < 16) {
        return fail(QStringLiteral("not a session recording (no pcapng section header)") +
                    (stopReason_.isEmpty() ? QString() : QStringLiteral("; ") + stopReason_));
    }
    if (Get32(body, 0) != kByteOrderMagic) {
        return fail(
            QStringLiteral("not a session recording of this program (not little-endian "
                           "pcapng)"));
    }
    info_ = {};
    ForOptions(body, 16, [&](uint16_t code, const QByteArray& v) {
        if (code == kShbUserAppl) {
            const QString app = QString::fromUtf8(v);
            info_.toolVersion = app.startsWith(QLatin1String("tuvik ")) ? app.mid(6) : app;
        }
    });
    for (;;) {
        if (!NextBlock(type, body)) {
            return fail(QStringLiteral("the recording has no interface description") +
                        (stopReason_.isEmpty() ? QString() : QStringLiteral("; ") + stopReason_));
        }
        if (type == kInterfaceDescription) {
            break;
        }
        if (type == kEnhancedPacket || type == kSectionHeader) {
            return fail(QStringLiteral("the recording has no interface description"));
        }
    }
    if (body.size() < 8 || Get16(body, 0) != kLinkTypeUser0) {
        return fail(QStringLiteral("not a session recording (link type is not 147)"));
    }
    ForOptions(body, 8, [&](uint16_t code, const QByteArray& v) {
        if (code == kOptComment) {
            TakeComment(info_, QString::fromUtf8(v));
        }
    });
    if (info_.formatVersion != kFormatVersion) {
        return fail(QStringLiteral("recording format version %1; this program reads version %2")
                        .arg(info_.formatVersion)
                        .arg(kFormatVersion));
    }
    return true;
}

bool RecordingReader::Next(RecordedChunk& out) {
    uint32_t type = 0;
    QByteArray body;
    while (NextBlock(type, body)) {
        if (type == kSectionHeader || type == kInterfaceDescription) {
            Stop(QStringLiteral("a second section or interface begins"));
            return false;
        }
        if (type != kEnhancedPacket) {
            continue;  // a block another tool added
        }
        if (body.size() < 20) {
            Stop(QStringLiteral("a packet block is too short"));
            return false;
        }
        const uint32_t captured = Get32(body, 12);
        if (Get32(body, 0) != 0 || captured > static_cast<uint32_t>(body.size()) ||
            20 + Padded(captured) > body.size()) {
            Stop(QStringLiteral("a packet block's length or interface is wrong"));
            return false;
        }
        uint32_t flags = 0;
        if (!ForOptions(body, 20 + Padded(captured), [&](uint16_t code, const QByteArray& v) {
                if (code == kEpbFlags && v.size() == 4) {
                    flags = Get32(v, 0);
                }
            })) {
            Stop(QStringLiteral("a packet block's options run past its end"));
            return false;
        }
        const uint32_t dir = flags & 3;
        if (dir != kFlagInbound && dir != kFlagOutbound) {
            Stop(QStringLiteral("a packet block has no direction"));
            return false;
        }
        const uint64_t ts = (static_cast<uint64_t>(Get32(body, 4)) << 32) | Get32(body, 8);
        // Unsigned, so that a hostile time stamp wraps rather than overflows.
        out.timeUs = static_cast<qint64>(ts - static_cast<uint64_t>(info_.startUtcMs) * 1000u);
        out.direction = dir == kFlagInbound ? ChunkDirection::Received : ChunkDirection::Sent;
        out.bytes = body.mid(20, captured);
        ++chunks_;
        return true;
    }
    return false;
}

}  // namespace tuvik
