#include "SimTestClient.h"

#include "TestUtil.h"

namespace tuvik::sim::test {

void FramedReceiver::Feed(const QByteArray& bytes) {
    rx_.Feed(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                      static_cast<size_t>(bytes.size())),
             *this);
}

void FramedReceiver::OnPacket(uint8_t c, std::span<const uint8_t> d) {
    packets.emplace_back(c, std::vector<uint8_t>(d.begin(), d.end()));
}

size_t FramedReceiver::Count(uint8_t cmd) const {
    size_t n = 0;
    for (const Packet& p : packets) {
        n += p.first == cmd ? 1 : 0;
    }
    return n;
}

const Packet* FramedReceiver::Find(uint8_t cmd, size_t from) const {
    for (size_t i = from; i < packets.size(); ++i) {
        if (packets[i].first == cmd) {
            return &packets[i];
        }
    }
    return nullptr;
}

bool WaitForPackets(const FramedReceiver& r, uint8_t cmd, size_t n, int limitMs) {
    return tuvik::test::WaitUntil([&] { return r.Count(cmd) >= n; },
                                  std::chrono::milliseconds(limitMs));
}

TcpClient::TcpClient() {
    QObject::connect(&socket, &QTcpSocket::readyRead, [this] { rx.Feed(socket.readAll()); });
}

bool TcpClient::Connect(quint16 port) {
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    return tuvik::test::WaitUntil([this] { return Connected(); });
}

void TcpClient::Send(const QByteArray& bytes) {
    socket.write(bytes);
    socket.flush();
}

void TcpClient::Disconnect() {
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState) {
        tuvik::test::WaitUntil(
            [this] { return socket.state() == QAbstractSocket::UnconnectedState; });
    }
}

PtyClient::PtyClient() {
    QObject::connect(&port, &QSerialPort::readyRead, [this] {
        const QByteArray b = port.readAll();
        raw += b;
        rx.Feed(b);
    });
}

bool PtyClient::Open(const QString& path) {
    port.setPortName(path);
    port.setBaudRate(QSerialPort::Baud38400);
    return port.open(QIODevice::ReadWrite);
}

void PtyClient::Send(const QByteArray& bytes) {
    port.write(bytes);
    port.flush();
}

void PtyClient::Close() {
    if (port.isOpen()) {
        port.close();
    }
}

}  // namespace tuvik::sim::test
