#include <gtest/gtest.h>

#include <QSignalSpy>

#include "RecordingLink.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "pid/PidSettingsSend.h"
#include "support/EventLog.h"
#include "support/ExchangeGuard.h"
#include "support/Numbers.h"

using namespace tuvik;
using namespace std::chrono_literals;
using tuvik::test::Hex;
using tuvik::test::RecordingLink;
using tuvik::test::SeparatorGuard;
using tuvik::test::WaitUntil;

namespace {

PidEditorValues Editor() {
    PidEditorValues v;
    v.boxes = {"180",  "100", "10",  "1.5", "60", "4", "15", "5", "0.8",
               "0.25", "30",  "0.5", "1",   "2",  "3", "1",  "1", "1"};
    v.automatic = true;
    v.enable = 1;
    v.remoteSetpoint = 0;
    v.manual = 35;
    return v;
}

QByteArray Singles(std::initializer_list<float> values) {
    QByteArray out;
    for (float f : values) {
        std::array<uint8_t, 4> b{};
        PutSingle(b, 0, f);
        out.append(reinterpret_cast<const char*>(b.data()), 4);
    }
    return out;
}

QByteArray MemWrite(int address, const QByteArray& bytes) {
    QByteArray p;
    p.append(char(0x85));
    p.append(char(bytes.size() + 2));
    p.append(char(address & 0xFF));
    p.append(char((address >> 8) & 0xFF));
    p += bytes;
    p.append(char(0x7A));
    return p;
}

// A link whose controller acknowledges every memory write with `ackByte`,
// feeding the counter as the reply dispatcher would.
struct AckingLink : RecordingLink {
    int16_t acks = 0;
    std::vector<uint8_t> ackBytes;  // per write, in order; 1 once they run out
    size_t writes = 0;
    AckingLink() {
        onPacket = [this](const QByteArray& p) {
            if (static_cast<uint8_t>(p[0]) != Cmd::MemWrite) {
                return;
            }
            const uint8_t a = writes < ackBytes.size() ? ackBytes[writes] : 1;
            ++writes;
            // The acknowledgement arrives later, as it would from the device.
            QTimer::singleShot(1, this, [this, a] {
                if (a != 0) {
                    ++acks;
                }
            });
        };
    }
};

struct PidSendSequence : ::testing::Test {
    SeparatorGuard sep{QLatin1Char('.')};
    AckingLink link;
    PidSettingsSend send{&link.acks};
    QSignalSpy finished{&send, &PidSettingsSend::finished};
    RecordingEventLog events;
    ScopedEventLog scopedLog{events};

    PidSendSequence() { send.setPauses(2, 20, 20); }

    bool Start(int listIndex, uint8_t autoSetPoint = 0, bool tcp = false) {
        auto built = PidSettingsSend::BuildLoop(Editor(), listIndex, &link);
        EXPECT_TRUE(built.loop.has_value()) << built.error.toStdString();
        return send.start(std::move(*built.loop), autoSetPoint, &link, tcp);
    }
    PidSettingsSend::Outcome Outcome() const {
        return finished.last().at(0).value<PidSettingsSend::Outcome>();
    }
};

}  // namespace

TEST(PidSend, TargetsByListIndex) {
    const std::pair<int, std::pair<int, int>> table[] = {{0, {0, 700}},  {1, {1, 800}},
                                                         {2, {1, 900}},  {3, {2, 1000}},
                                                         {7, {2, 1000}}, {-1, {2, 1000}}};
    for (const auto& [index, want] : table) {
        const auto t = PidSettingsSend::TargetFor(index);
        EXPECT_EQ(t.nameId, want.first) << index;
        EXPECT_EQ(t.base, want.second) << index;
    }
}

TEST(PidSend, BuiltLoopHoldsTheEditorAndItsWritesTheBlockLayout) {
    SeparatorGuard sep(QLatin1Char('.'));
    auto built = PidSettingsSend::BuildLoop(Editor(), 1, nullptr);
    ASSERT_TRUE(built.loop.has_value());
    const clsPID& T = *built.loop;
    EXPECT_EQ(T.GetDesc(), QStringLiteral(" "));
    EXPECT_EQ(T.Offset(), 800);
    EXPECT_EQ(T.ManualVal(), QStringLiteral("35"));
    const auto w = PidSettingsSend::ParameterWrites(T);
    EXPECT_EQ(w[0].address, 808);
    EXPECT_EQ(w[1].address, 832);
    EXPECT_EQ(w[2].address, 848);
    EXPECT_EQ(w[3].address, 860);
    EXPECT_EQ(w[4].address, 800);
    auto bytes = [](const std::vector<uint8_t>& v) {
        return QByteArray(reinterpret_cast<const char*>(v.data()),
                          static_cast<qsizetype>(v.size()));
    };
    EXPECT_EQ(bytes(w[0].bytes), Singles({35, 180, 1.5f, 60, 4, 0.25f}));
    EXPECT_EQ(bytes(w[1].bytes), Singles({15, 5, 0.8f, 10}));
    EXPECT_EQ(bytes(w[2].bytes), Singles({100, 30, 0.5f}));
    EXPECT_EQ(bytes(w[3].bytes), Singles({1, 1, 1}));
    EXPECT_EQ(bytes(w[4].bytes), Hex("02 01 01 02 00 00 03"));

    // Manual mode, disabled, remote setpoint on.
    PidEditorValues v = Editor();
    v.automatic = false;
    v.enable = 0;
    v.remoteSetpoint = 1;
    auto manual = PidSettingsSend::BuildLoop(v, 0, nullptr);
    ASSERT_TRUE(manual.loop.has_value());
    EXPECT_EQ(bytes(PidSettingsSend::ParameterWrites(*manual.loop)[4].bytes),
              Hex("00 00 01 02 00 01 03"));
}

TEST(PidSend, BoxesThatAreNoNumbersAreFoundBeforeAnythingIsSent) {
    SeparatorGuard sep(QLatin1Char('.'));
    PidEditorValues v = Editor();
    v.boxes[PidBox::h] = "";
    EXPECT_EQ(PidSettingsSend::BuildLoop(v, 1, nullptr).error, QStringLiteral("Type mismatch"));
    v = Editor();
    v.boxes[PidBox::RemoteSetpointPort] = "300";
    EXPECT_EQ(PidSettingsSend::BuildLoop(v, 1, nullptr).error, QStringLiteral("Overflow"));
    v = Editor();
    v.boxes[PidBox::SetpointScale] = "x";
    EXPECT_FALSE(PidSettingsSend::BuildLoop(v, 1, nullptr).loop.has_value());
}

TEST(PidSend, CommaLocaleSendsTheDotBoxesAsTheirValues) {
    SeparatorGuard sep(QLatin1Char(','));
    PidEditorValues v = Editor();
    v.boxes[PidBox::b] = "0.5";
    auto built = PidSettingsSend::BuildLoop(v, 0, nullptr);
    ASSERT_TRUE(built.loop.has_value()) << built.error.toStdString();
    EXPECT_EQ(built.loop->Settings().b, 0.5f);
    EXPECT_EQ(built.loop->Settings().K, 1.5f);
}

TEST_F(PidSendSequence, SixAcknowledgementsSendTheBlockInOrderAndCommit) {
    ASSERT_TRUE(Start(0, /*autoSetPoint=*/1));
    EXPECT_TRUE(send.running());
    EXPECT_TRUE(ExchangeGuard::Busy());
    ASSERT_TRUE(WaitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::Sent);
    EXPECT_TRUE(finished.last().at(1).toString().endsWith(" PID settings sent successfully!"));

    const QStringList want = {
        QString::fromLatin1(MemWrite(700, Hex("08")).toHex(' ').toUpper()),
        QString::fromLatin1(
            MemWrite(708, Singles({35, 180, 1.5f, 60, 4, 0.25f})).toHex(' ').toUpper()),
        QString::fromLatin1(MemWrite(732, Singles({15, 5, 0.8f, 10})).toHex(' ').toUpper()),
        QString::fromLatin1(MemWrite(748, Singles({100, 30, 0.5f})).toHex(' ').toUpper()),
        QString::fromLatin1(MemWrite(760, Singles({1, 1, 1})).toHex(' ').toUpper()),
        QString::fromLatin1(MemWrite(700, Hex("02 01 01 02 00 00 03")).toHex(' ').toUpper()),
    };
    EXPECT_EQ(link.HexPackets(), want);
    EXPECT_EQ(link.bytes, Hex("34 00 CB"));
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_FALSE(ExchangeGuard::Busy());
    EXPECT_TRUE(events.entries.empty());
}

TEST_F(PidSendSequence, AutomaticSetpointClearWritesAZeroByte) {
    ASSERT_TRUE(Start(3, /*autoSetPoint=*/0));
    ASSERT_TRUE(WaitUntil([&] { return finished.count() == 1; }));
    ASSERT_FALSE(link.packets.isEmpty());
    EXPECT_EQ(link.packets.first(), MemWrite(1000, Hex("00")));
    EXPECT_EQ(link.packets.last(), MemWrite(1000, Hex("02 01 01 02 00 00 03")));
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::Sent);
}

TEST_F(PidSendSequence, ARefusedOrMissingOrExtraAcknowledgementIsNotSuccess) {
    // The third write refused.
    link.ackBytes = {1, 1, 0};
    ASSERT_TRUE(Start(1));
    ASSERT_TRUE(WaitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::NotAcknowledged);
    EXPECT_TRUE(link.bytes.isEmpty()) << "no 0x34";
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));

    // One acknowledgement too many (a stray one counted meanwhile).
    link.Clear();
    link.ackBytes.clear();
    link.writes = 0;
    ASSERT_TRUE(Start(1));
    QTimer::singleShot(5, [&] { ++link.acks; });
    ASSERT_TRUE(WaitUntil([&] { return finished.count() == 2; }));
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::NotAcknowledged);
    EXPECT_TRUE(link.bytes.isEmpty());
}

TEST_F(PidSendSequence, ALinkLostMidwayEndsTheSendWithTheFailureAndPutsPollingBack) {
    send.setPauses(30, 50, 50);
    link.onPacket = [this](const QByteArray&) {
        if (link.packets.size() == 3) {
            QTimer::singleShot(0, &link, [this] { link.Lose(QStringLiteral("device gone")); });
        }
    };
    ASSERT_TRUE(Start(0));
    ASSERT_TRUE(WaitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::Failed);
    EXPECT_EQ(finished.last().at(1).toString(), QStringLiteral("device gone"));
    EXPECT_EQ(link.packets.size(), 3) << "nothing written after the loss";
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    ASSERT_EQ(events.entries.size(), 1u);
    EXPECT_EQ(events.entries[0].text, QStringLiteral("Error Sendpid: device gone"));
    EXPECT_FALSE(ExchangeGuard::Busy());
}

TEST_F(PidSendSequence, ALinkDestroyedMidwayEndsTheSend) {
    auto* own = new RecordingLink;
    auto built = PidSettingsSend::BuildLoop(Editor(), 0, own);
    ASSERT_TRUE(built.loop.has_value());
    send.setPauses(30, 50, 50);
    ASSERT_TRUE(send.start(std::move(*built.loop), 0, own, false));
    QTimer::singleShot(10, [own] { delete own; });
    ASSERT_TRUE(WaitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::Failed);
    EXPECT_FALSE(ExchangeGuard::Busy());
}

TEST_F(PidSendSequence, AClosedLinkSendsNothingAndReportsTheFailure) {
    link.open = false;
    ASSERT_TRUE(Start(0));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(Outcome(), PidSettingsSend::Outcome::Failed);
    EXPECT_TRUE(link.packets.isEmpty());
    EXPECT_EQ(link.refreshCalls, (QList<bool>{false, true}));
    EXPECT_EQ(events.texts().size(), 1);
}

TEST_F(PidSendSequence, OnlyOneLongExchangeAtATime) {
    ASSERT_TRUE(ExchangeGuard::TryAcquire(QStringLiteral("parameter set upload")));
    EXPECT_FALSE(Start(0));
    EXPECT_TRUE(link.packets.isEmpty());
    EXPECT_TRUE(link.refreshCalls.isEmpty());
    ExchangeGuard::Release();

    ASSERT_TRUE(Start(0));
    PidSettingsSend other(&link.acks);
    auto built = PidSettingsSend::BuildLoop(Editor(), 1, &link);
    EXPECT_FALSE(other.start(std::move(*built.loop), 0, &link, false));
    send.abandon();
    EXPECT_FALSE(send.running());
    EXPECT_FALSE(ExchangeGuard::Busy());
    EXPECT_EQ(link.refreshCalls.last(), true) << "an abandoned send puts polling back";
    EXPECT_EQ(finished.count(), 0) << "and reports nothing";
}
