// The tool's own links against the simulator, over a pseudo-terminal and
// over loopback TCP: every request the tool makes gets the reply it expects.
#include <gtest/gtest.h>

#include <QString>

#include <array>
#include <memory>

#include "SimServer.h"
#include "TestUtil.h"
#include "link/Packet.h"
#include "link/SerialLink.h"
#include "link/TcpLink.h"
#include "shell/AppContext.h"

using namespace tuvik;
using namespace std::chrono_literals;

namespace {

enum class Transport { Serial, Tcp };

class LinkAgainstSim : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override {
        sim::SimServerOptions o;
        o.pty = GetParam() == Transport::Serial;
        o.tcpPort = GetParam() == Transport::Tcp ? 0 : -1;
        server = std::make_unique<sim::SimServer>(o);
        QString err;
        ASSERT_TRUE(server->Start(&err)) << err.toStdString();

        settings.comPort = server->PtyPath();
        settings.speed = QStringLiteral("76800");
        settings.refresh = QStringLiteral("333");
        ctx.setLinkSettings(&settings);
        ctx.setReplyReceiver(&rec);
        if (GetParam() == Transport::Serial) {
            auto s = std::make_unique<SerialLink>(ctx);
            ASSERT_FALSE(s->OpenPort().has_value());
            link = std::move(s);
        } else {
            auto t = std::make_unique<TcpLink>(ctx);
            t->SetRemotePort(server->TcpPort());
            t->Connect();
            link = std::move(t);
        }
        ctx.setActiveLink(link.get());
        ASSERT_TRUE(test::WaitUntil([&] { return link->PortOpen() && ctx.LinkConnected(); }));
        // The requests below go out one at a time; no periodic traffic in between.
        link->SetRefreshTimer(false);
        test::Pump(100ms);
        rec.replies.clear();
    }

    void TearDown() override {
        if (link) {
            link->Disconnect();
        }
    }

    // Waits for a reply with this command byte; returns its data.
    std::vector<uint8_t> Await(uint8_t cmd) {
        std::vector<uint8_t> out;
        test::WaitUntil([&] {
            for (auto& [c, d] : rec.replies) {
                if (c == cmd) {
                    out = d;
                    return true;
                }
            }
            return false;
        });
        return out;
    }
    bool Got(uint8_t cmd) const {
        for (auto& r : rec.replies) {
            if (r.first == cmd) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<sim::SimServer> server;
    AppContext ctx;
    FixedLinkSettings settings;
    test::RecordingReceiver rec;
    std::unique_ptr<DeviceLink> link;
};

TEST_P(LinkAgainstSim, EveryRequestGetsItsReply) {
    // Periodic data request: the live values of the selected loop.
    ASSERT_TRUE(link->SendRequest(Cmd::DataRequest));
    EXPECT_EQ(Await(Cmd::LiveValues).size(), 16u);

    // Select loop 1, then read its status record.
    ASSERT_TRUE(link->Send(Cmd::SelectLoop) && link->Send(1) && link->Send(1) &&
                link->Send(Cmd::SelectLoop, true));
    ASSERT_TRUE(link->SendRequest(Cmd::ReadStatus));
    EXPECT_EQ(Await(Cmd::StatusRecord).size(), 88u);

    // Burner: parameter set, measurements, usage counters.
    ASSERT_TRUE(link->SendPacket(Cmd::ReadParamSet));
    const auto set = Await(Cmd::ParamSet);
    ASSERT_GE(set.size(), 36u);
    EXPECT_EQ(set[0] | (set[1] << 8), 1506);
    EXPECT_EQ(set[3], 100);
    ASSERT_TRUE(link->SendPacket(Cmd::MeasRequest));
    EXPECT_GE(Await(Cmd::Measurements).size(), 17u);
    ASSERT_TRUE(link->SendPacket(Cmd::UsageRequest));
    EXPECT_EQ(Await(Cmd::UsageReply).size(), 20u);

    // Analog inputs and the boot command.
    ASSERT_TRUE(link->SendRequest(Cmd::AnalogRequest));
    EXPECT_EQ(Await(Cmd::AnalogValues).size(), 16u);
    ASSERT_TRUE(link->SendRequest(Cmd::Boot));
    EXPECT_EQ(Await(Cmd::DeviceStarted).size(), 1u);

    // A byte write, then both reads of the same address see it.
    const std::array<uint8_t, 1> v{0xAB};
    ASSERT_TRUE(link->AdsSyncWriteReq(16416, 40, 1, v));
    EXPECT_EQ(Await(Cmd::WriteAck), std::vector<uint8_t>{1});
    EXPECT_EQ(server->device().BurnerMemory()[40], 0xAB);
    ASSERT_TRUE(link->ReadEE(40));
    EXPECT_EQ(Await(Cmd::ByteValue), (std::vector<uint8_t>{0xAB, 40, 0}));
    ASSERT_TRUE(link->ReadEE_16bit(40));
    const auto word = Await(Cmd::ReadWord);
    ASSERT_EQ(word.size(), 4u);
    EXPECT_EQ(word[0], 0xAB);
    EXPECT_EQ(word[2], 40);

    // Single-letter commands are taken without a reply and break nothing.
    for (uint8_t c : {Cmd::Plus, Cmd::Minus, Cmd::LetterE, Cmd::LetterW, Cmd::CalLambda, Cmd::Commit}) {
        ASSERT_TRUE(link->SendRequest(c));
    }
    rec.replies.clear();
    ASSERT_TRUE(link->SendRequest(Cmd::DataRequest));
    EXPECT_FALSE(Await(Cmd::LiveValues).empty());
}

TEST_P(LinkAgainstSim, PeriodicRequestKeepsLiveValuesComing) {
    settings.refresh = QStringLiteral("50");
    link->Disconnect();
    rec.replies.clear();
    if (GetParam() == Transport::Serial) {
        ASSERT_FALSE(static_cast<SerialLink*>(link.get())->OpenPort().has_value());
    } else {
        static_cast<TcpLink*>(link.get())->Connect();
    }
    ASSERT_TRUE(test::WaitUntil([&] {
        int n = 0;
        for (auto& r : rec.replies) {
            n += r.first == Cmd::LiveValues ? 1 : 0;
        }
        return n >= 5;
    }));
    EXPECT_TRUE(Got(Cmd::DataRequest));
}

INSTANTIATE_TEST_SUITE_P(BothLinks, LinkAgainstSim,
                         ::testing::Values(Transport::Serial, Transport::Tcp),
                         [](const auto& info) {
                             return info.param == Transport::Serial ? "Serial" : "Tcp";
                         });

}  // namespace
