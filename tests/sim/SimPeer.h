#pragma once
// A client of the simulator that keeps every byte it receives, unframed, so
// that replies are compared with literal bytes rather than with the codec
// the simulator shares with the program.

#include <QSerialPort>
#include <QTcpSocket>

#include "TestUtil.h"

namespace tuvik::sim::test {

class Peer {
  public:
    Peer() {
        QObject::connect(&tcp, &QTcpSocket::readyRead, [this] { raw += tcp.readAll(); });
        QObject::connect(&pty, &QSerialPort::readyRead, [this] { raw += pty.readAll(); });
    }
    bool OpenTcp(quint16 port) {
        tcp.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        return tuvik::test::WaitUntil([&] { return Open(); });
    }
    bool OpenPty(const QString& path) {
        pty.setPortName(path);
        return pty.open(QIODevice::ReadWrite);
    }
    bool Open() const {
        return tcp.state() == QAbstractSocket::ConnectedState ||
               (pty.isOpen() && pty.error() == QSerialPort::NoError);
    }
    void Send(const QByteArray& b) {
        QIODevice& d = pty.isOpen() ? static_cast<QIODevice&>(pty) : tcp;
        d.write(b);
        pty.isOpen() ? pty.flush() : tcp.flush();
    }
    // Sends and waits (bounded) until n bytes, or at least one, have come back.
    QByteArray Ask(const QByteArray& request, qsizetype n = 1) {
        raw.clear();
        Send(request);
        tuvik::test::WaitUntil([&] { return raw.size() >= n; });
        return raw;
    }
    // Sends and waits (bounded) until the bytes are among those that come back.
    bool Answers(const QByteArray& request, const QByteArray& reply) {
        raw.clear();
        Send(request);
        return tuvik::test::WaitUntil([&] { return raw.contains(reply); });
    }

    QTcpSocket tcp;
    QSerialPort pty;
    QByteArray raw;
};

}  // namespace tuvik::sim::test
