// What the program relies on in the simulator: the bytes it answers to each
// request, over a pseudo-terminal and over TCP, and what each fault mode
// does to those bytes. Replies are compared with literal bytes.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "SimDevice.h"
#include "SimPeer.h"
#include "SimServer.h"
#include "link/Packet.h"

using namespace tuvik;
using namespace tuvik::sim;
using tuvik::test::Hex;
using tuvik::test::WaitUntil;

namespace {

enum class Via { Pty, Tcp };

class Wire : public ::testing::TestWithParam<Via> {
  protected:
    void SetUp() override {
        SimServerOptions o;
        o.ptyLink = dir.filePath("tty");
        o.tcpPort = 0;
        server = std::make_unique<SimServer>(o);
        ASSERT_TRUE(server->Start());
        server->SetClockRunning(false);  // no actuator events in between
        ASSERT_TRUE(Connect());
    }
    bool Connect() {
        peer = std::make_unique<sim::test::Peer>();
        return GetParam() == Via::Pty ? peer->OpenPty(server->PtyLink())
                                      : peer->OpenTcp(server->TcpPort());
    }
    QTemporaryDir dir;
    std::unique_ptr<SimServer> server;
    std::unique_ptr<sim::test::Peer> peer;
};

}  // namespace

TEST_P(Wire, EveryRequestGetsItsBytes) {
    // reply: the whole reply, or its start when size gives the whole length.
    struct Row {
        const char* request;
        const char* reply;
        int size;
    };
    const Row rows[] = {
        {"85 03 2C 01 07 7A", "86 01 01 79", 0},           // byte write at 300
        {"8A 02 2C 01 75", "8B 03 07 2C 01 74", 0},        // byte read: value, address
        {"85 04 04 00 2C 01 7A", "86 01 01 79", 0},        // word write at 4, low byte first
        {"55 02 04 00 AA", "55 04 2C 01 04 00 AA", 0},     // word read: value, address
        {"80 01 01 7F", "80 01 01 7F", 0},                 // select loop 1
        {"85 06 2C 03 00 00 C0 3F 7A", "86 01 01 79", 0},  // loop 1 setpoint 1.5 at 812
        {"81 00 7E", "81 00 7E 82 58", 94},                // status record, 88 bytes
        {"83 00 7C", "84 24 E2 05 03 64 2C 01", 39},       // firmware 1506, feature 3, type 100
        {"98 00 67", "97 11", 20},                         // measurements, 17 bytes
        {"5B 00 A4", "5C 14", 23},                         // usage counters, 5 x 4 bytes
        {"88 00 77", "88 00 77 89 10", 22},                // analog inputs, 8 words
        {"91 00 6E", "91 00 6E 92 10", 26},                // live values, then the alarm
        {"99 00 66", "AA 01 01 55", 0},                    // first boot
        {"2B 00 D4 2D 00 D2 65 00 9A 77 00 88 33 00 CC 34 00 CB", "", 0},  // no answers
        {"42 00 BD", "", 0},                                               // not a request
        {"8A 02 2C 01 75", "8B 03 07 2C 01 74", 0},                        // and nothing else came
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.request);
        if (QByteArray(r.request).startsWith("81")) {
            server->device().Advance(10);  // the loop takes its settings on the next tick
        }
        const QByteArray want = Hex(r.reply);
        const QByteArray got = peer->Ask(Hex(r.request), r.size ? r.size : want.size());
        EXPECT_EQ(got.left(want.size()).toHex(' '), want.toHex(' '));
        EXPECT_EQ(got.size(), r.size ? r.size : want.size());
        if (QByteArray(r.request).startsWith("81")) {
            EXPECT_EQ(got.mid(5 + 12, 4), Hex("00 00 C0 3F")) << "the setpoint, as written";
        }
    }
    const SimDevice::Stats& s = server->device().stats();
    for (uint8_t c :
         {Cmd::Plus, Cmd::Minus, Cmd::LetterE, Cmd::LetterW, Cmd::CalLambda, Cmd::Commit}) {
        EXPECT_EQ(s.perCommand[c], 1u) << int(c);
    }
    EXPECT_EQ(server->device().BurnerMemory()[300], 7);
}

// The transport's share of the fault modes: a close after the answer (a pty
// comes back as a fresh terminal behind the same link), silence while
// stopped, delayed replies kept in order.
TEST_P(Wire, CloseStopAndDelayOnTheLine) {
    server->faults().SetNext(Fault::Close, 1);
    EXPECT_EQ(peer->Ask(Hex("8A 02 18 00 75"), 6), Hex("8B 03 46 18 00 74"));
    ASSERT_TRUE(WaitUntil([&] { return !peer->Open(); }));
    if (GetParam() == Via::Pty) {
        EXPECT_EQ(QFileInfo(server->PtyLink()).symLinkTarget(), server->PtyPath());
    }
    ASSERT_TRUE(Connect());

    server->faults().SetStopped(true);
    peer->raw.clear();
    peer->Send(Hex("98 00 67 83 00 7C"));
    ASSERT_TRUE(WaitUntil([&] { return server->faults().counts().silenced == 2; }));
    server->faults().SetStopped(false);
    server->faults().SetDelay(50);
    // What the stopped device left unanswered stays unanswered: the first
    // bytes to come are the reply to the next request.
    EXPECT_EQ(peer->Ask(Hex("8A 02 18 00 75 85 03 18 00 07 7A"), 10),
              Hex("8B 03 46 18 00 74 86 01 01 79"));
}

INSTANTIATE_TEST_SUITE_P(Sim, Wire, ::testing::Values(Via::Pty, Via::Tcp),
                         [](const auto& i) { return i.param == Via::Pty ? "Pty" : "Tcp"; });

// Each fault mode at the bytes the device puts on the line.
TEST(FaultModes, TheBytesOfEachMode) {
    struct Row {
        const char* name;
        std::function<void(FaultInjector&)> set;
        const char* write;  // the reply to a byte write of 99 at 24
        int stored;         // what 24 holds after it (70 before)
    };
    const Row rows[] = {
        {"none", [](FaultInjector&) {}, "86 01 01 79", 99},
        {"drop", [](FaultInjector& f) { f.SetNext(Fault::DropReply, 1); }, "", 99},
        {"corrupt", [](FaultInjector& f) { f.SetNext(Fault::CorruptTrailer, 1); }, "86 01 01 78",
         99},
        {"nak", [](FaultInjector& f) { f.SetNext(Fault::NakWrite, 1); }, "86 01 00 79", 70},
        {"forget", [](FaultInjector& f) { f.SetNext(Fault::ForgetWrite, 1); }, "86 01 01 79", 70},
        {"misstore", [](FaultInjector& f) { f.SetNext(Fault::MisStore, 1); }, "86 01 01 79", 100},
        {"extra ack", [](FaultInjector& f) { f.SetNext(Fault::ExtraAck, 1); },
         "86 01 01 79 86 01 01 79", 99},
        {"nak, extra ack",
         [](FaultInjector& f) {
             f.SetNext(Fault::NakWrite, 1);
             f.SetNext(Fault::ExtraAck, 1);
         },
         "86 01 00 79 86 01 01 79", 70},
        {"stopped", [](FaultInjector& f) { f.SetStopped(true); }, "", 70},
        {"stop after none", [](FaultInjector& f) { f.StopAfter(0); }, "", 70},
    };
    const uint8_t write[] = {24, 0, 99};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SimDevice d;
        r.set(d.faults());
        EXPECT_EQ(d.Respond(Cmd::MemWrite, write).bytes.toHex(' '), Hex(r.write).toHex(' '));
        EXPECT_EQ(d.BurnerMemory()[24], r.stored);
        d.faults().ClearAll();
        d.faults().SetStopped(false);
        EXPECT_EQ(d.Respond(Cmd::MemWrite, write).bytes, Hex("86 01 01 79")) << "one time only";
    }

    // Noise: 1-4 stray bytes the framing skips, then the reply.
    SimDevice d;
    d.faults().SetNext(Fault::Garbage, 1);
    const QByteArray noisy = d.Respond(Cmd::MemWrite, write).bytes;
    ASSERT_GE(noisy.size(), 5);
    ASSERT_LE(noisy.size(), 8);
    EXPECT_TRUE(noisy.endsWith(Hex("86 01 01 79")));
    for (char c : noisy.left(noisy.size() - 4)) {
        EXPECT_TRUE(FaultInjector::IsGarbageByte(static_cast<uint8_t>(c)));
    }
    // Delay and close are handed to the transport with the bytes.
    d.faults().SetDelay(250);
    d.faults().SetNext(Fault::Close, 1);
    const auto t = d.Respond(Cmd::MemWrite, write);
    EXPECT_EQ(t.delayMs, 250);
    EXPECT_TRUE(t.close);
    EXPECT_EQ(t.bytes, Hex("86 01 01 79"));
    // Stop after one: the second request is not carried out.
    SimDevice once;
    once.faults().StopAfter(1);
    EXPECT_FALSE(once.Respond(Cmd::MemWrite, write).bytes.isEmpty());
    const uint8_t other[] = {24, 0, 5};
    EXPECT_TRUE(once.Respond(Cmd::MemWrite, other).bytes.isEmpty());
    EXPECT_EQ(once.BurnerMemory()[24], 99);
}
