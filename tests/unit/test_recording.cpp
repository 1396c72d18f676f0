// Session recordings: the file layout, reading back, damage, the folder's
// size limit and the recorder's life with the active link.
#include <gtest/gtest.h>
#include <zstd.h>

#include <QTemporaryDir>
#include <QtEndian>

#include <sys/resource.h>

#include <csignal>
#include <thread>
#include <vector>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/RecordingReader.h"
#include "link/RecordingWriter.h"
#include "shell/AppContext.h"
#include "shell/RecordingDump.h"
#include "shell/SessionRecorder.h"
#include "support/MessageLog.h"

namespace tuvik {
namespace {

using test::Hex;

RecordingInfo Info() {
    RecordingInfo i;
    i.formatVersion = 1;
    i.toolVersion = QStringLiteral("1.2.3");
    i.linkKind = QStringLiteral("serial");
    i.endpoint = QStringLiteral("/dev/ttyUSB0");
    i.speed = 76800;
    i.refreshMs = 5;
    i.paramsName = QStringLiteral("PARAMS.h");
    i.paramsChecksum = QStringLiteral("ab12");
    i.startUtcMs = 1'700'000'000'123;
    return i;
}

// One zstd frame with a checksum, as the writer makes them.
QByteArray Frame(const QByteArray& plain) {
    ZSTD_CCtx* c = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
    QByteArray out(static_cast<qsizetype>(ZSTD_compressBound(plain.size())), '\0');
    out.resize(static_cast<qsizetype>(
        ZSTD_compress2(c, out.data(), out.size(), plain.constData(), plain.size())));
    ZSTD_freeCCtx(c);
    return out;
}

QByteArray Packet(ChunkDirection d, const QByteArray& bytes, qint64 t) {
    QByteArray out;
    AppendPacketBlock(out, d, test::Bytes(bytes), Info().startUtcMs * 1000 + t);
    return out;
}

struct ReadBack {
    std::vector<RecordedChunk> chunks;
    QString reason;
    QString error;
};

ReadBack ReadAll(const QByteArray& file) {
    ReadBack r;
    const auto reader = RecordingReader::FromBytes(file, &r.error);
    if (reader) {
        RecordedChunk c;
        while (reader->Next(c)) {
            r.chunks.push_back(c);
        }
        r.reason = reader->stopReason();
    }
    return r;
}

TEST(RecordingFile, WrittenChunksReadBackAndTheLayoutIsPcapng) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.pcapng.zst"));
    const QByteArray big(70000, '\x5A');  // over one block's share: split in two
    {
        RecordingWriter w;
        ASSERT_FALSE(w.Open(path, Info(), 1000, 1).has_value());
        w.Chunk(ChunkDirection::Sent, test::Bytes(Hex("91 00 6E")), 1500);
        w.Chunk(ChunkDirection::Received, test::Bytes(test::LiveValues(0x6D)), 2750);
        w.Chunk(ChunkDirection::Received, test::Bytes(big), 9000);
        w.Close();
    }
    QString error;
    const auto reader = RecordingReader::Open(path, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_TRUE(reader->info() == Info());
    EXPECT_EQ(reader->lengthUs(), 8000);

    const struct {
        ChunkDirection dir;
        qint64 t;
        QByteArray bytes;
    } want[] = {{ChunkDirection::Sent, 500, Hex("91 00 6E")},
                {ChunkDirection::Received, 1750, test::LiveValues(0x6D)},
                {ChunkDirection::Received, 8000, big.left(65536)},
                {ChunkDirection::Received, 8000, big.mid(65536)}};
    for (int pass = 0; pass < 2; ++pass) {
        RecordedChunk c;
        for (const auto& w : want) {
            ASSERT_TRUE(reader->Next(c));
            EXPECT_EQ(c.direction, w.dir);
            EXPECT_EQ(c.timeUs, w.t);
            EXPECT_EQ(c.bytes, w.bytes);
        }
        EXPECT_FALSE(reader->Next(c));
        EXPECT_EQ(reader->stopReason(), QString());
        ASSERT_TRUE(reader->Restart());
    }

    // The layout other tools rely on, pinned in literal bytes: the section
    // header's type and byte-order magic, the interface's link type 147, and
    // a packet block's time, lengths and direction flag.
    const QByteArray z = test::ReadFile(path);
    QByteArray plain(200000, '\0');
    plain.resize(static_cast<qsizetype>(
        ZSTD_decompress(plain.data(), plain.size(), z.constData(), z.size())));
    ASSERT_GT(plain.size(), 64);
    EXPECT_EQ(plain.left(4), Hex("0A 0D 0D 0A"));
    EXPECT_EQ(plain.mid(8, 8), Hex("4D 3C 2B 1A 01 00 00 00"));
    const auto shbLen = qFromLittleEndian<uint32_t>(plain.constData() + 4);
    EXPECT_EQ(plain.mid(shbLen, 4), Hex("01 00 00 00"));
    EXPECT_EQ(plain.mid(shbLen + 8, 2), Hex("93 00"));
    const auto idbLen = qFromLittleEndian<uint32_t>(plain.constData() + shbLen + 4);
    // 1'700'000'000'123'500 µs = 0x00060A24 1820226C
    EXPECT_EQ(plain.mid(shbLen + idbLen, 48),
              Hex("06 00 00 00 30 00 00 00 00 00 00 00 24 0A 06 00 6C 22 20 18 03 00 00 00 03 00 "
                  "00 00 91 00 6E 00 02 00 04 00 02 00 00 00 00 00 00 00 30 00 00 00"));
}

TEST(RecordingFile, DamageStopsAtTheLastWholeFrameAndSaysWhere) {
    const QByteArray header = Frame(RecordingHeaderBlocks(Info()));
    const QByteArray first = Frame(Packet(ChunkDirection::Sent, Hex("91 00 6E"), 10));
    const QByteArray second = Frame(Packet(ChunkDirection::Received, test::LiveValues(0x6D), 20) +
                                    Packet(ChunkDirection::Sent, Hex("91 00 6E"), 30));
    QByteArray flipped = header + first + second;
    flipped[header.size() + first.size() + second.size() / 2] ^= 0x40;
    QByteArray hostile = RecordingHeaderBlocks(Info()) + Hex("06 00 00 00 F0 FF FF 7F");
    QByteArray badOption = Packet(ChunkDirection::Sent, Hex("91"), 5);
    badOption[badOption.size() - 14] = '\x7F';  // epb_flags' length runs past the block
    const struct {
        const char* name;
        QByteArray file;
        size_t chunks;
        const char* reason;  // or, with no chunks, why the file was refused
    } cases[] = {
        {"other version", Frame(RecordingHeaderBlocks(Info()).replace("format=1", "format=2")), 0,
         "recording format version 2; this program reads version 1"},
        {"big-endian",
         Frame(Hex("0A 0D 0D 0A 1C 00 00 00 1A 2B 3C 4D 00 01 00 00 FF FF FF FF FF "
                   "FF FF FF 1C 00 00 00")),
         0, "not little-endian"},
        {"no recording", "plain text", 0, "not a session recording"},
        {"whole", header + first + second, 3, ""},
        {"cut inside the last frame", header + first + second.left(second.size() - 5), 1,
         "stopped after chunk 1 at byte %1 of the file: the file ends inside a compressed frame"},
        {"flipped byte", flipped, 1,
         "stopped after chunk 1 at byte %1 of the file: the compressed "
         "data is damaged"},
        {"hostile block length", Frame(hostile), 0, "the impossible length 2147483632"},
        {"option past the block", header + Frame(badOption), 0, "options run past its end"},
        {"cut inside a block", header + Frame(Packet(ChunkDirection::Sent, Hex("91"), 1).left(20)),
         0, "the file ends inside a block"},
        {"stamped before the start",
         header + first + Frame(Packet(ChunkDirection::Sent, "", -2500000)), 0,
         "damaged: chunk 2 is stamped 2.500 s before the recording's start"},
    };
    const qint64 secondAt = header.size() + first.size();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadBack r = ReadAll(c.file);
        EXPECT_EQ(r.chunks.size(), c.chunks);
        const QString want = QString::fromLatin1(c.reason).contains(QStringLiteral("%1"))
                                 ? QString::fromLatin1(c.reason).arg(secondAt)
                                 : QString::fromLatin1(c.reason);
        EXPECT_TRUE(want.isEmpty() ? r.reason.isEmpty() && r.error.isEmpty()
                                   : (r.reason + r.error).contains(want))
            << (r.reason + r.error).toStdString();
    }
}

// The sync seam: fails with EIO when asked, and waits while `hold` is set
// (a slow stick), for a bounded time.
struct SyncSeam {
    static inline std::atomic<bool> fail = false, hold = false, entered = false, returned = false;
    static int Sync(int) {
        entered = true;
        for (int i = 0; hold && i < 60000; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        returned = true;
        errno = EIO;
        return fail ? -1 : 0;
    }
};

struct SerialStandIn : test::RecordingLink {
    RecordingInfo ConnectionInfo() const override { return Info(); }
};

// A recording that stops is told once, while recording as well as when the
// link goes down before the writer's report is handled; closing hands the
// last frame to the writer and does not wait (here inside a slow sync).
TEST(SessionRecorderTest, AFailedWriteOrSyncIsToldOnceAndClosingNeverWaits) {
    RecordingWriter::setSyncFunction(&SyncSeam::Sync);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    const struct {
        char fault;     // 'F' the file may not grow, 'S' the sync fails, 'W' it waits
        bool dropLink;  // before the writer's report is handled
        const char* told;
        size_t chunks;  // readable afterwards
    } cases[] = {
        {'F', false, "File too large", 0},
        {'F', true, "File too large", 0},
        {'S', true, "cannot sync to the disk: Input/output error", 1},
        {'W', true, nullptr, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fault << c.dropLink);
        QTemporaryDir dir;
        AppContext ctx;
        MessageLog log(dir.path());
        SessionRecorder rec(ctx, log, dir.path());
        rec.setFlushMs(c.dropLink ? 60000 : 1);
        SerialStandIn link;
        ctx.setActiveLink(&link);
        ctx.setLinkConnected(true);
        ASSERT_TRUE(rec.recording());
        SyncSeam::fail = c.fault == 'S';  // the header's sync is done
        SyncSeam::hold = c.fault == 'W';
        SyncSeam::entered = SyncSeam::returned = false;
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit small{static_cast<rlim_t>(rec.folder().Entries().first().size), old.rlim_max};
        setrlimit(RLIMIT_FSIZE, c.fault == 'F' ? &small : &old);
        rec.Chunk(ChunkDirection::Received, test::Bytes(QByteArray(4000, 'x')),
                  Clock::System().MonotonicUs());
        ctx.setLinkConnected(!c.dropLink);
        for (int i = 0; SyncSeam::hold && !SyncSeam::entered && i < 60000; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(!SyncSeam::hold || !SyncSeam::returned) << "the window's thread waited";
        SyncSeam::hold = false;
        EXPECT_TRUE(c.dropLink ? RecordingWriter::WaitForFinished(60000)
                               : test::WaitUntil([&] { return !rec.recording(); }));
        setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_TRUE(test::WaitUntil([&] { return !rec.recording(); }));
        test::Pump(std::chrono::milliseconds(20));
        EXPECT_EQ(log.logText().count(QStringLiteral("Recording stopped: ")), c.told ? 1 : 0);
        EXPECT_TRUE(!c.told || log.logText().contains(QString::fromLatin1(c.told)))
            << log.logText().toStdString();
        const ReadBack r = ReadAll(test::ReadFile(rec.folder().Entries().first().path));
        EXPECT_EQ(r.chunks.size(), c.chunks) << r.reason.toStdString();
        SyncSeam::fail = false;
    }
    std::signal(SIGXFSZ, oldHandler);
    RecordingWriter::setSyncFunction(nullptr);
}

TEST(RecordingFolderTest, OldestGoFirstButNeverKeptOrCurrentOnes) {
    QTemporaryDir dir;
    const RecordingFolder folder(dir.path());
    const QStringList names = {"20261201-080000_a.pcapng.zst", "20261202-080000_b.pcapng.zst",
                               "20261203-080000_c.pcapng.zst", "20261204-080000_d.pcapng.zst"};
    const struct {
        qint64 limit;
        QStringList kept;  // marked "keep"
        QString spared;    // being written or replayed
        QStringList left;
    } cases[] = {
        {400, {}, {}, {"a", "b", "c", "d"}},
        {250, {}, {}, {"c", "d"}},
        {250, {"a"}, {}, {"a", "d"}},
        {100, {"b"}, "c", {"b", "c"}},
        {0, {}, "ac", {"a", "c"}},  // the one written and the one replayed
        {0, {}, "d", {"d"}},
    };
    for (const auto& c : cases) {
        for (const QString& n : names) {
            test::WriteFile(dir.filePath(n), QByteArray(100, 'x'));
            RecordingFolder::SetKeep(dir.filePath(n), c.kept.contains(n.mid(16, 1)));
        }
        QStringList spared;
        for (const QChar n : c.spared) {
            spared << dir.filePath(names[n.unicode() - 'a']);
        }
        const QList<RecordingEntry> going = folder.PruneCandidates(c.limit, spared);
        test::WriteFile(folder.ReplayHistoryPath(names[0]), "h");  // goes with "a"
        EXPECT_EQ(folder.Prune(c.limit, spared).size(), going.size());
        EXPECT_NE(QFileInfo::exists(folder.ReplayHistoryPath(names[0])),
                  !going.isEmpty() && going[0].name == names[0]);
        QStringList left;
        for (const RecordingEntry& e : folder.Entries()) {
            left << e.name.mid(16, 1);
        }
        EXPECT_EQ(left, c.left) << c.limit;
    }
    EXPECT_EQ(folder.Entries().first().start, QDateTime(QDate(2026, 12, 4), QTime(8, 0)));
    test::WriteFile(dir.filePath("20261204-080000_dev-pts-3.pcapng.zst"), "x");
    EXPECT_EQ(QFileInfo(folder.NewPath(QDateTime(QDate(2026, 12, 4), QTime(8, 0)),
                                       QStringLiteral("/dev/pts/3")))
                  .fileName(),
              QStringLiteral("20261204-080000_dev-pts-3_2.pcapng.zst"));
    EXPECT_EQ(RecordingFolder::RemoveQuestion(folder.PruneCandidates(0)),
              "Remove 2 recordings (101 bytes)?");
}

// A link that is no serial or TCP link (a replayed recording) is not
// recorded; the live values read in the order the dispatcher takes them.
TEST(SessionRecorderTest, ALinkWithoutAKindIsNotRecorded) {
    QTemporaryDir dir;
    AppContext ctx;
    MessageLog log(dir.path());
    SessionRecorder rec(ctx, log, dir.path());
    test::RecordingLink replay;
    ctx.setActiveLink(&replay);
    ctx.setLinkConnected(true);
    EXPECT_FALSE(rec.recording());
    EXPECT_EQ(replay.tap(), nullptr);
    EXPECT_TRUE(rec.folder().Entries().isEmpty());

    const QByteArray live = Hex("00 00 C0 3F 00 00 20 41 00 00 48 42 00 00 80 BF");
    EXPECT_EQ(PacketMeaning(ChunkDirection::Received, 0x92, test::Bytes(live)),
              "live values: out 1.5, measurement 10, setpoint 50, y_fw -1");
    // The dump as CSV: only a meaning holding a comma or a quote is quoted.
    EXPECT_EQ(DumpRowCsv({12'000'001, ChunkDirection::Sent, 0x92, Hex("92 6D"), "a, \"b\""}),
              "12.000001,tx,0x92,92 6D,\"a, \"\"b\"\"\"");
}

}  // namespace
}  // namespace tuvik
