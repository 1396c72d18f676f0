// Each fault mode has the effect its name promises, seen at the bytes the
// device puts on the line.
#include <gtest/gtest.h>

#include <vector>

#include "SimDevice.h"
#include "SimTestClient.h"
#include "TestUtil.h"
#include "link/Packet.h"

using namespace tuvik;
using namespace tuvik::sim;
using tuvik::sim::test::FramedReceiver;
using tuvik::test::Hex;

namespace {

const std::vector<uint8_t> kNoData = {0};

QByteArray Respond(SimDevice& d, uint8_t cmd, std::vector<uint8_t> data = kNoData) {
    return d.Respond(cmd, data).bytes;
}

std::vector<uint8_t> WriteByte(int address, uint8_t v) {
    return {static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8), v};
}

}  // namespace

TEST(Faults, NoFaultGivesCleanPackets) {
    SimDevice d;
    EXPECT_EQ(Respond(d, Cmd::MemWrite, WriteByte(300, 7)), Hex("86 01 01 79"));
    const QByteArray r = Respond(d, Cmd::DataRequest);
    EXPECT_TRUE(r.startsWith(Hex("91 00 6E 92 10")));
    FramedReceiver rx;
    rx.Feed(r);
    EXPECT_EQ(rx.broken, 0);
    EXPECT_EQ(rx.Count(Cmd::LiveValues), 1u);
}

TEST(Faults, DropTheNextRepliesThenAnswerAgain) {
    SimDevice d;
    d.faults().SetNext(Fault::DropReply, 2);
    // 0x81 answers with two packets: both go.
    EXPECT_TRUE(Respond(d, Cmd::ReadStatus).isEmpty());
    const QByteArray r = Respond(d, Cmd::ReadStatus);
    EXPECT_TRUE(r.startsWith(Hex("81 00 7E 82 58")));
    EXPECT_EQ(r.size(), 3 + 91);
    EXPECT_EQ(d.faults().Hits(Fault::DropReply), 2u);
    // A dropped write acknowledgement still leaves the write done.
    d.faults().SetNext(Fault::DropReply, 1);
    EXPECT_TRUE(Respond(d, Cmd::MemWrite, WriteByte(300, 9)).isEmpty());
    EXPECT_EQ(d.BurnerMemory()[300], 9);
}

TEST(Faults, DropWithAProbabilityDropsAboutThatShare) {
    SimDevice d(SimConfig{42});
    d.faults().SetProbability(Fault::DropReply, 0.25);
    FramedReceiver rx;
    for (int i = 0; i < 1000; ++i) {
        rx.Feed(Respond(d, Cmd::MeasRequest));
    }
    EXPECT_GT(rx.Count(Cmd::Measurements), 650u);
    EXPECT_LT(rx.Count(Cmd::Measurements), 850u);
    EXPECT_EQ(rx.Count(Cmd::Measurements) + d.faults().Hits(Fault::DropReply), 1000u);
    EXPECT_EQ(rx.broken, 0);
}

TEST(Faults, CorruptedTrailerIsReportedByTheFramingAndTheRestStaysFramable) {
    SimDevice d;
    d.faults().SetNext(Fault::CorruptTrailer, 1);
    const QByteArray r = Respond(d, Cmd::DataRequest);
    EXPECT_EQ(r.left(3), Hex("91 00 6F")) << "trailer 6E turned into 6F";
    FramedReceiver rx;
    rx.Feed(r);
    EXPECT_EQ(rx.broken, 1);
    EXPECT_EQ(rx.Count(Cmd::LiveValues), 1u) << "the next packet is framed normally";
}

TEST(Faults, RefusedWriteIsNotWritten) {
    SimDevice d;
    d.faults().SetNext(Fault::NakWrite, 1);
    EXPECT_EQ(Respond(d, Cmd::MemWrite, WriteByte(24, 99)), Hex("86 01 00 79"));
    EXPECT_EQ(d.BurnerMemory()[24], 70);
    EXPECT_EQ(Respond(d, Cmd::MemWrite, WriteByte(24, 99)), Hex("86 01 01 79"));
    EXPECT_EQ(d.BurnerMemory()[24], 99);
    // Controller writes are refused the same way.
    d.faults().SetProbability(Fault::NakWrite, 1.0);
    EXPECT_EQ(Respond(d, Cmd::MemWrite, WriteByte(701, 0)), Hex("86 01 00 79"));
    EXPECT_EQ(d.ControllerMemory()[701], 1);
}

TEST(Faults, ExtraAcknowledgementFollowsTheRealOne) {
    SimDevice d;
    d.faults().SetNext(Fault::ExtraAck, 1);
    EXPECT_EQ(Respond(d, Cmd::MemWrite, WriteByte(24, 1)), Hex("86 01 01 79 86 01 01 79"));
    EXPECT_EQ(Respond(d, Cmd::MemWrite, WriteByte(24, 1)), Hex("86 01 01 79"));
    // Even a refusal gets a positive second acknowledgement: the tool's count goes wrong.
    d.faults().SetNext(Fault::NakWrite, 1);
    d.faults().SetNext(Fault::ExtraAck, 1);
    EXPECT_EQ(Respond(d, Cmd::MemWrite, WriteByte(24, 1)), Hex("86 01 00 79 86 01 01 79"));
}

TEST(Faults, GarbageBetweenPacketsIsSkippedByTheFraming) {
    SimDevice d;
    d.faults().SetProbability(Fault::Garbage, 1.0);
    const QByteArray r = Respond(d, Cmd::ReadStatus);
    EXPECT_GT(r.size(), 3 + 91);
    EXPECT_FALSE(r.startsWith(Hex("81 00 7E")));
    for (char c : r.left(r.indexOf(char(Cmd::ReadStatus)))) {
        EXPECT_TRUE(FaultInjector::IsGarbageByte(static_cast<uint8_t>(c)));
    }
    FramedReceiver rx;
    rx.Feed(r);
    EXPECT_EQ(rx.broken, 0);
    ASSERT_EQ(rx.packets.size(), 2u);
    EXPECT_EQ(rx.packets[1].first, Cmd::StatusRecord);
    EXPECT_EQ(rx.packets[1].second.size(), 88u);
}

TEST(Faults, DelayAndCloseAreHandedToTheTransport) {
    SimDevice d;
    d.faults().SetDelay(250);
    d.faults().SetNext(Fault::Close, 1);
    auto t = d.Respond(Cmd::MeasRequest, kNoData);
    EXPECT_EQ(t.delayMs, 250);
    EXPECT_TRUE(t.close);
    EXPECT_FALSE(t.bytes.isEmpty()) << "the response still goes out before the close";
    t = d.Respond(Cmd::MeasRequest, kNoData);
    EXPECT_FALSE(t.close);
    d.faults().ClearAll();
    EXPECT_EQ(d.Respond(Cmd::MeasRequest, kNoData).delayMs, 0);
}

TEST(Faults, StopAnsweringLeavesRequestsUndone) {
    SimDevice d;
    d.faults().StopAfter(2);
    EXPECT_FALSE(Respond(d, Cmd::MeasRequest).isEmpty());
    EXPECT_FALSE(Respond(d, Cmd::MeasRequest).isEmpty());
    EXPECT_TRUE(Respond(d, Cmd::MemWrite, WriteByte(24, 5)).isEmpty());
    EXPECT_EQ(d.BurnerMemory()[24], 70) << "a device that stopped does nothing";
    EXPECT_TRUE(d.faults().Stopped());
    d.Advance(30'000);
    EXPECT_TRUE(d.TakeUnsolicited().bytes.isEmpty()) << "no events either";
    d.faults().SetStopped(false);
    EXPECT_EQ(Respond(d, Cmd::MemWrite, WriteByte(24, 5)), Hex("86 01 01 79"));
    EXPECT_EQ(d.faults().counts().silenced, 1u);
}
