// The simulator on its real transports, talked to by a client made of the
// tool's own codec and framing over a pseudo-terminal and over TCP.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <array>
#include <memory>

#include "BurnerParams.h"
#include "SimServer.h"
#include "SimTestClient.h"
#include "TestUtil.h"
#include "link/Packet.h"

using namespace tuvik;
using namespace tuvik::sim;
using namespace tuvik::sim::test;
using tuvik::test::Hex;
using tuvik::test::Pump;
using tuvik::test::WaitUntil;

namespace {

enum class Via { Pty, Tcp };

// One connection to the simulator, whichever transport it goes over.
class Conn {
  public:
    virtual ~Conn() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual void Send(const QByteArray& b) = 0;
    virtual bool IsOpen() const = 0;
    // Sends a request the way the tool's buttons do: one byte per write.
    void SendByteByByte(const QByteArray& b) {
        for (char c : b) {
            Send(QByteArray(1, c));
            Pump(std::chrono::milliseconds(2));
        }
    }
    FramedReceiver* rx = nullptr;
};

class PtyConn : public Conn {
  public:
    PtyConn(QString path) : path_(std::move(path)) { rx = &client.rx; }
    bool Open() override { return client.Open(path_); }
    void Close() override { client.Close(); }
    void Send(const QByteArray& b) override { client.Send(b); }
    bool IsOpen() const override {
        return client.port.isOpen() && client.port.error() == QSerialPort::NoError;
    }
    PtyClient client;

  private:
    QString path_;
};

class TcpConn : public Conn {
  public:
    explicit TcpConn(quint16 port) : port_(port) { rx = &client.rx; }
    bool Open() override { return client.Connect(port_); }
    void Close() override { client.Disconnect(); }
    void Send(const QByteArray& b) override { client.Send(b); }
    bool IsOpen() const override { return client.Connected(); }
    TcpClient client;

  private:
    quint16 port_;
};

class Transport : public ::testing::TestWithParam<Via> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SimServerOptions o;
        o.pty = true;
        o.ptyLink = dir_.filePath("tty");
        o.tcpPort = 0;
        o.tickMs = 10;
        server_ = std::make_unique<SimServer>(o);
        QString error;
        ASSERT_TRUE(server_->Start(&error)) << error.toStdString();
        conn_ = MakeConn(GetParam());
        ASSERT_TRUE(conn_->Open());
        ASSERT_TRUE(WaitUntil([this] { return Present(GetParam()); }));
    }
    void TearDown() override {
        conn_.reset();
        server_.reset();
    }
    std::unique_ptr<Conn> MakeConn(Via v) {
        if (v == Via::Pty) {
            return std::make_unique<PtyConn>(server_->PtyLink());
        }
        return std::make_unique<TcpConn>(server_->TcpPort());
    }
    bool Present(Via v) const {
        return v == Via::Pty ? server_->PtyClientPresent() : server_->TcpClientConnected();
    }
    // Sends and waits for `n` packets with the reply command; returns the last.
    const Packet* Exchange(const QByteArray& request, uint8_t reply, size_t n = 1) {
        const size_t before = conn_->rx->Count(reply);
        conn_->Send(request);
        if (!WaitForPackets(*conn_->rx, reply, before + n)) {
            return nullptr;
        }
        const Packet* last = nullptr;
        for (const Packet& p : conn_->rx->packets) {
            if (p.first == reply) {
                last = &p;
            }
        }
        return last;
    }

    QTemporaryDir dir_;
    std::unique_ptr<SimServer> server_;
    std::unique_ptr<Conn> conn_;
};

std::string Name(const ::testing::TestParamInfo<Via>& i) {
    return i.param == Via::Pty ? "Pty" : "Tcp";
}

}  // namespace

// What each request answers is the device's business (its own tests); over
// the transport every request arrives whole even when written a byte at a
// time, and replies, pushed packets and unanswered letters keep the stream
// framable.
TEST_P(Transport, EveryRequestGetsItsReply) {
    SimDevice& dev = server_->device();
    FramedReceiver& rx = *conn_->rx;

    conn_->SendByteByByte(Hex("91 00 6E"));
    ASSERT_TRUE(WaitForPackets(rx, Cmd::LiveValues));
    EXPECT_EQ(rx.packets[0].first, Cmd::DataRequest);
    EXPECT_TRUE(WaitForPackets(rx, Cmd::Alarm));
    conn_->SendByteByByte(Hex("80 01 02 7F"));
    ASSERT_TRUE(WaitForPackets(rx, Cmd::SelectLoop));
    EXPECT_EQ(dev.controller().Selected(), 2);

    const std::pair<QByteArray, uint8_t> exchanges[] = {
        {Hex("81 00 7E"), Cmd::StatusRecord},
        {Hex("88 00 77"), Cmd::AnalogValues},
        {Hex("83 00 7C"), Cmd::ParamSet},
        {EncodeReadByte(25), Cmd::ByteValue},
        {EncodeReadWord(1698), Cmd::ReadWord},
        {Hex("98 00 67"), Cmd::Measurements},
        {Hex("5B 00 A4"), Cmd::UsageReply},
        {Hex("99 00 66"), Cmd::DeviceStarted},
        {EncodeMemWrite(25, 1, std::array<uint8_t, 1>{44}).value(), Cmd::WriteAck},
    };
    for (const auto& [request, reply] : exchanges) {
        EXPECT_NE(Exchange(request, reply), nullptr) << int(reply);
    }
    EXPECT_EQ(dev.BurnerMemory()[25], 44);

    // The single-letter commands are taken without an answer.
    conn_->SendByteByByte(Hex("2B 00 D4 2D 00 D2 65 00 9A 77 00 88 33 00 CC 34 00 CB"));
    ASSERT_TRUE(WaitUntil([&] { return dev.stats().perCommand[Cmd::Commit] == 1; }));
    for (uint8_t c : {Cmd::Plus, Cmd::Minus, Cmd::LetterE, Cmd::LetterW, Cmd::CalLambda}) {
        EXPECT_EQ(dev.stats().perCommand[c], 1u) << int(c);
    }
    EXPECT_EQ(rx.broken, 0);
    EXPECT_EQ(server_->stats().brokenRequests, 0u);
}

TEST_P(Transport, ClientThatGoesAwayAndComesBackIsServedAgain) {
    ASSERT_NE(Exchange(Hex("98 00 67"), Cmd::Measurements), nullptr);
    conn_->Close();
    ASSERT_TRUE(WaitUntil([this] { return !Present(GetParam()); }));
    conn_ = MakeConn(GetParam());
    ASSERT_TRUE(conn_->Open());
    ASSERT_NE(Exchange(Hex("98 00 67"), Cmd::Measurements), nullptr);
    EXPECT_GE(server_->stats().connections, 2u);
}

TEST_P(Transport, CloseFaultEndsTheConnectionAndTheClientCanComeBack) {
    server_->faults().SetNext(Fault::Close, 1);
    ASSERT_NE(Exchange(Hex("98 00 67"), Cmd::Measurements), nullptr) << "answered, then closed";
    ASSERT_TRUE(WaitUntil([this] { return !conn_->IsOpen(); }));
    EXPECT_EQ(server_->stats().closes, 1u);
    if (GetParam() == Via::Pty) {
        // A fresh terminal stands behind the same link.
        EXPECT_EQ(QFileInfo(server_->PtyLink()).symLinkTarget(), server_->PtyPath());
    }
    conn_ = MakeConn(GetParam());
    ASSERT_TRUE(conn_->Open());
    ASSERT_NE(Exchange(Hex("98 00 67"), Cmd::Measurements), nullptr);
    // At run time too.
    server_->CloseConnections();
    EXPECT_TRUE(WaitUntil([this] { return !conn_->IsOpen(); }));
}

TEST_P(Transport, DelayedRepliesComeNoEarlierThanTheDelay) {
    constexpr int kDelay = 300;
    server_->faults().SetDelay(kDelay);
    QElapsedTimer t;
    t.start();
    conn_->Send(Hex("98 00 67"));
    conn_->Send(Hex("83 00 7C"));
    ASSERT_TRUE(WaitForPackets(*conn_->rx, Cmd::ParamSet));
    EXPECT_GE(t.elapsed(), kDelay - 1);
    ASSERT_EQ(conn_->rx->packets.size(), 2u);
    EXPECT_EQ(conn_->rx->packets[0].first, Cmd::Measurements) << "order is kept";
}

TEST_P(Transport, StoppedDeviceIsSilentUntilItAnswersAgain) {
    server_->faults().SetStopped(true);
    conn_->Send(Hex("91 00 6E"));
    conn_->Send(Hex("98 00 67"));
    ASSERT_TRUE(WaitUntil([this] { return server_->faults().counts().silenced == 2; }));
    Pump(std::chrono::milliseconds(100));
    EXPECT_TRUE(conn_->rx->packets.empty());
    server_->faults().SetStopped(false);
    ASSERT_NE(Exchange(Hex("98 00 67"), Cmd::Measurements), nullptr);
}

TEST_P(Transport, LineFaultsReachTheClientsFraming) {
    server_->faults().SetNext(Fault::CorruptTrailer, 1);
    server_->faults().SetNext(Fault::Garbage, 3);
    conn_->Send(Hex("88 00 77"));
    ASSERT_TRUE(WaitForPackets(*conn_->rx, Cmd::AnalogValues));
    EXPECT_EQ(conn_->rx->broken, 1);
    EXPECT_EQ(conn_->rx->Count(Cmd::AnalogRequest), 0u) << "its trailer was spoilt";
    ASSERT_NE(Exchange(Hex("98 00 67"), Cmd::Measurements), nullptr);
    EXPECT_EQ(conn_->rx->broken, 1);
    server_->faults().SetNext(Fault::DropReply, 1);
    conn_->Send(Hex("98 00 67"));
    ASSERT_NE(Exchange(Hex("83 00 7C"), Cmd::ParamSet), nullptr);
    EXPECT_EQ(conn_->rx->Count(Cmd::Measurements), 1u);
}

TEST_P(Transport, EventsAndPushedRepliesReachTheClient) {
    server_->SetSpeed(50);
    ASSERT_TRUE(WaitForPackets(*conn_->rx, Cmd::ActuatorEvent, 3));
    const Packet* e = conn_->rx->Find(Cmd::ActuatorEvent);
    ASSERT_EQ(e->second.size(), 5u);
    EXPECT_LE(e->second[0], 4);
    server_->SetSpeed(1);
    const std::array<uint8_t, 1> alarm{1};
    server_->PushReply(Cmd::Alarm, alarm);
    server_->PushRaw(Hex("00 41 AA 01 07 55"));
    ASSERT_TRUE(WaitForPackets(*conn_->rx, Cmd::DeviceStarted));
    EXPECT_EQ(conn_->rx->Find(Cmd::Alarm)->second, std::vector<uint8_t>{1});
    EXPECT_EQ(conn_->rx->Find(Cmd::DeviceStarted)->second, std::vector<uint8_t>{7});
}

INSTANTIATE_TEST_SUITE_P(Sim, Transport, ::testing::Values(Via::Pty, Via::Tcp), Name);

TEST(TransportBoth, PtyAndTcpAreServedAtTheSameTimeAndANewTcpClientTakesOver) {
    QTemporaryDir dir;
    SimServerOptions o;
    o.ptyLink = dir.filePath("tty");
    o.tcpPort = 0;
    SimServer server(o);
    ASSERT_TRUE(server.Start());
    PtyClient pty;
    ASSERT_TRUE(pty.Open(o.ptyLink));
    TcpClient a;
    ASSERT_TRUE(a.Connect(server.TcpPort()));
    ASSERT_TRUE(
        WaitUntil([&] { return server.PtyClientPresent() && server.TcpClientConnected(); }));
    pty.Send(Hex("98 00 67"));
    a.Send(Hex("83 00 7C"));
    ASSERT_TRUE(WaitForPackets(pty.rx, Cmd::Measurements));
    ASSERT_TRUE(WaitForPackets(a.rx, Cmd::ParamSet));
    EXPECT_EQ(pty.rx.Count(Cmd::ParamSet), 0u) << "each answer goes to the one who asked";
    EXPECT_EQ(a.rx.Count(Cmd::Measurements), 0u);
    // Pushed replies go to everyone connected.
    server.PushReply(Cmd::Alarm, std::array<uint8_t, 1>{0});
    EXPECT_TRUE(WaitForPackets(pty.rx, Cmd::Alarm));
    EXPECT_TRUE(WaitForPackets(a.rx, Cmd::Alarm));
    // A second TCP client: the newest is served, the old one is let go.
    TcpClient b;
    ASSERT_TRUE(b.Connect(server.TcpPort()));
    EXPECT_TRUE(WaitUntil([&] { return !a.Connected(); }));
    b.Send(Hex("98 00 67"));
    EXPECT_TRUE(WaitForPackets(b.rx, Cmd::Measurements));
}

TEST(TransportSetup, LinkIsReplacedWhenStaleAndLeftAloneWhenItIsAFile) {
    QTemporaryDir dir;
    const QString link = dir.filePath("tty");
    ASSERT_TRUE(QFile::link("/nonexistent/old-pts", link));
    {
        SimServerOptions o;
        o.ptyLink = link;
        SimServer server(o);
        ASSERT_TRUE(server.Start());
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.PtyPath());
    }
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "removed when the simulator stops";
    QFile f(link);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep");
    f.close();
    SimServerOptions o;
    o.ptyLink = link;
    SimServer server(o);
    QString error;
    EXPECT_FALSE(server.Start(&error));
    EXPECT_TRUE(error.contains("not a symbolic link"));
    EXPECT_EQ(QFileInfo(link).size(), 4);
}

TEST(TransportClock, SpeedScalesTimeAndAStoppedClockLeavesTimeToTheTest) {
    SimServerOptions o;
    o.pty = false;
    o.tcpPort = 0;
    o.tickMs = 5;
    SimServer server(o);
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(WaitUntil([&] { return server.device().TimeMs() > 0; }));
    server.SetClockRunning(false);
    const double t = server.device().TimeMs();
    Pump(std::chrono::milliseconds(50));
    EXPECT_EQ(server.device().TimeMs(), t);
    server.device().Advance(1000);
    EXPECT_EQ(server.device().TimeMs(), t + 1000);
    // A hundred times faster: ten simulated seconds pass within a bounded wait.
    server.SetSpeed(100);
    server.SetClockRunning(true);
    EXPECT_TRUE(WaitUntil([&] { return server.device().TimeMs() > t + 11'000; }));
}
