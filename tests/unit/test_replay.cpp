// The replay link: recorded replies handed on at their times divided by the
// speed, pause, seeks, the end and damage of a recording, the status line.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QSignalSpy>

#include <QTemporaryDir>
#include "MemorySource.h"

#include "link/Packet.h"
#include "link/ReplayLink.h"
#include "shell/AppContext.h"
#include "shell/ConnectionController.h"
#include "shell/LinkStatus.h"
#include "shell/LinkTexts.h"
#include "shell/ReplayController.h"
#include "support/FrameThrottle.h"
#include "support/LocaleText.h"
#include "support/MessageLog.h"

using namespace tuvik;
using namespace tuvik::test;

namespace {

// Each reply's value, and a repaint asked for with each (as live values do).
struct Replies : ReplyReceiver {
    std::vector<int> values;
    int paints = 0;
    FrameThrottle repaint{[this] { ++paints; }};
    void HandleReply(uint8_t, std::span<const uint8_t> data) override {
        values.push_back(data[0]);
        repaint.Request();
    }
};

// Played as the program plays it: by the replay controller, in place of the
// live links.
struct ReplayFixture : ::testing::Test {
    qint64 now = 1'000'000;
    Replies rec;
    QTemporaryDir dir;
    AppContext ctx;
    MessageLog log{dir.path()};
    Clock clock;
    ConnectionController connection{ctx, log, clock};
    ReplayController replay{ctx, connection};
    ReplayLink* link = nullptr;

    // Replies 1, 2, 3 at 0 s, 2 s and 2.5 s (the last followed by a broken
    // packet), with a request of the time between them.
    void Make(const QString& damage = {}) {
        auto src = std::make_unique<MemorySource>();
        src->recordingInfo.startUtcMs =
            QDateTime(QDate(2026, 12, 1), QTime(10, 20, 30)).toMSecsSinceEpoch();
        const auto reply = [](char v) { return QByteArray("\x94\x01", 2) + v + '\x6B'; };
        src->Add(0, reply(1));
        src->Add(1'000'000, EncodeRequest(Cmd::DataRequest), ChunkDirection::Sent);
        src->Add(2'000'000, reply(2));
        src->Add(2'500'000, reply(3) + QByteArray::fromHex("94010700"));
        src->damage = damage;
        ctx.setReplyReceiver(&rec);
        clock.setMonotonic([this] { return now; });
        ASSERT_EQ(replay.Start(std::move(src), QStringLiteral("r.pcapng.zst")), std::nullopt);
        link = replay.link();
        // The recorded time, as the session's clock reads it during a replay.
        clock.setRecorded([this] { return link->recordedMs(); });
    }
};

}  // namespace

TEST_F(ReplayFixture, RepliesComeAtTheirTimesDividedByTheSpeed) {
    for (const int speed : {1, 5, 20}) {
        SCOPED_TRACE(speed);
        rec.values.clear();
        Make();
        link->SetSpeed(speed);
        link->PlayDue();
        EXPECT_EQ(link->scheduledMs(), 2000 / speed);
        now += 2'000'000 / speed - 1;
        link->PlayDue();
        EXPECT_EQ(rec.values, std::vector<int>({1}));
        now += 1;
        link->PlayDue();
        EXPECT_EQ(rec.values, std::vector<int>({1, 2}));
        // Paused, time passes without replies; play goes on from where it stood.
        link->SetPaused(true);
        now += 10'000'000;
        link->PlayDue();
        link->SetPaused(false);
        EXPECT_EQ(link->scheduledMs(), 500 / speed);
        EXPECT_EQ(rec.values.size(), 2U);
    }
}

TEST_F(ReplayFixture, SeeksPlayTheSpanBetweenWithoutPaintingAndBackStartsAgain) {
    Make();
    link->PlayDue();  // reply 1 and its paint
    link->Seek(2'200'000);
    EXPECT_TRUE(FrameThrottle::suspended());
    link->PlayDue();
    EXPECT_FALSE(FrameThrottle::suspended());
    EXPECT_EQ(link->positionUs(), 2'200'000);
    rec.repaint.Flush();
    const int paints = rec.paints;
    link->Seek(1'000'000);  // back: from the start again, reply 1 only
    link->PlayDue();
    EXPECT_EQ(rec.values, std::vector<int>({1, 2, 1}));
    EXPECT_EQ(link->positionUs(), 1'000'000);
    EXPECT_EQ(rec.paints, paints + 1);  // one for the whole seek, once it ended
}

TEST_F(ReplayFixture, AsFastAsPossibleTellsTheEndOrDamageAndTheRecordedTime) {
    for (const QString damage : {QString(), QStringLiteral("bad block at byte 4096")}) {
        Make(damage);
        link->SetSpeed(5);
        EXPECT_EQ(LinkStatus().Update(link, true, false, 0).text,
                  QStringLiteral("Replaying r.pcapng.zst at 5×, 0:00 of 0:02"));
        QSignalSpy ended(link, &ReplayLink::endReached);
        QStringList captions;
        QObject::connect(link, &DeviceLink::captionRequested,
                         [&](const QString& s) { captions << s; });
        link->SetSpeed(ReplayLink::kAsFastAsPossible);
        link->PlayDue();
        ASSERT_EQ(ended.count(), 1);
        EXPECT_EQ(ended.at(0).at(0).toString(), damage);
        EXPECT_EQ(LinkTexts::ReplayStatus(*link),
                  QStringLiteral("Replaying r.pcapng.zst at as fast as possible, 0:02 of 0:02 ") +
                      (damage.isEmpty() ? QStringLiteral("(end of recording)")
                                        : QStringLiteral("(recording damaged: ") + damage + ')'));
        // The broken packet's line carries the recorded time of day.
        ASSERT_EQ(captions.size(), 1);
        EXPECT_TRUE(
            captions[0].startsWith(LocaleTimeOfDay(QTime(10, 20, 32)) + QStringLiteral(" Broken")));
    }
    EXPECT_EQ(rec.values, std::vector<int>({1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(LinkTexts::ReplayTime(3'725'000'000, 3'600'000'000), QStringLiteral("1:02:05"));
    EXPECT_FALSE(link->SendPacket(Cmd::DataRequest) || link->Send(0x91));
}
