#pragma once
// A link that records what would go out on the wire instead of writing it.
// Everything a part of the program sends through a DeviceLink ends up in
// `packets` (whole encoded packets) or `bytes` (single Send calls), so tests
// can compare requests byte for byte.

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

#include "link/DeviceLink.h"

namespace tuvik::test {

class RecordingLink : public DeviceLink {
  public:
    using DeviceLink::DeviceLink;

    // Every packet written, in order.
    QList<QByteArray> packets;
    // Every single byte given to Send, in order (already inverted when asked).
    QByteArray bytes;
    // Every SetRefreshTimer call, in order.
    QList<bool> refreshCalls;

    // While false the link is closed: PortOpen is false and nothing is written.
    bool open = true;
    bool refreshOn = true;
    // Whether the link stands for one through the TCP relay.
    bool relay = false;
    // Called after each packet is recorded (for example to answer it or to
    // drop the link in the middle of an exchange).
    std::function<void(const QByteArray&)> onPacket;

    bool PortOpen() const override { return open; }
    void Disconnect() override { open = false; }
    void SetRefreshTimer(bool enabled) override {
        refreshCalls.append(enabled);
        refreshOn = enabled;
    }
    bool RefreshTimerEnabled() const override { return refreshOn; }
    bool relayed() const override { return relay; }
    bool Send(int value, bool invert = false) override {
        if (!open || value < 0 || value > 255) {
            return false;
        }
        bytes.append(static_cast<char>(invert ? value ^ 0xFF : value));
        return true;
    }

    // Packets as spaced upper-case hex, "85 03 2C 01 FF 7A", for readable failures.
    QStringList HexPackets() const {
        QStringList out;
        for (const QByteArray& p : packets) {
            out.append(QString::fromLatin1(p.toHex(' ').toUpper()));
        }
        return out;
    }
    void Clear() {
        packets.clear();
        bytes.clear();
        refreshCalls.clear();
    }
    // Emits the link-lost signal, as a link does when the device goes away.
    void Lose(const QString& reason = QStringLiteral("gone")) {
        open = false;
        emit linkLost(reason);
    }

  protected:
    bool WritePacket(const QByteArray& packet) override {
        if (!open) {
            return false;
        }
        packets.append(packet);
        if (onPacket) {
            onPacket(packet);
        }
        return true;
    }
};

}  // namespace tuvik::test
