#pragma once
// A minimal client of the simulator for tests: the tool's own packet codec
// and receive framing on top of a plain QTcpSocket or QSerialPort.

#include <QByteArray>
#include <QSerialPort>
#include <QTcpSocket>

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "link/Packet.h"
#include "link/RxState.h"

namespace tuvik::sim::test {

using Packet = std::pair<uint8_t, std::vector<uint8_t>>;

// Frames bytes the way the tool does and keeps what comes out.
class FramedReceiver : public RxSink {
  public:
    std::vector<Packet> packets;
    int broken = 0;

    void Feed(const QByteArray& bytes);
    void OnPacket(uint8_t c, std::span<const uint8_t> d) override;
    void OnBrokenPacket(uint8_t, int, uint8_t) override { ++broken; }

    size_t Count(uint8_t cmd) const;
    // The first packet with this command at or after index `from`; nullptr when none.
    const Packet* Find(uint8_t cmd, size_t from = 0) const;
    void Clear() {
        packets.clear();
        broken = 0;
    }

  private:
    RxState rx_;
};

// Waits (bounded) until `n` packets with the command have arrived.
bool WaitForPackets(const FramedReceiver& r, uint8_t cmd, size_t n = 1, int limitMs = 5000);

class TcpClient {
  public:
    TcpClient();
    bool Connect(quint16 port);
    void Send(const QByteArray& bytes);
    void Disconnect();
    bool Connected() const { return socket.state() == QAbstractSocket::ConnectedState; }

    QTcpSocket socket;
    FramedReceiver rx;
};

class PtyClient {
  public:
    PtyClient();
    bool Open(const QString& path);
    void Send(const QByteArray& bytes);
    void Close();

    QSerialPort port;
    FramedReceiver rx;
    QByteArray raw;  // every byte received, unframed
};

}  // namespace tuvik::sim::test
