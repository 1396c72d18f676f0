#include "link/DeviceLink.h"

#include <chrono>

#include "link/Packet.h"

namespace tuvik {

DeviceLink::DeviceLink(QObject* parent) : QObject(parent) {
    reconnectTimer_.setInterval(kReconnectMs);
    connect(&reconnectTimer_, &QTimer::timeout, this, [this] { TryReopen(); });
}

void DeviceLink::setAutoReconnect(bool on) {
    autoReconnect_ = on;
    if (!on) {
        StopReconnecting();
    }
}

void DeviceLink::StartReconnecting() {
    if (autoReconnect_ && !reconnectTimer_.isActive()) {
        reconnectTimer_.start();
        emit reconnectingChanged(true);
    }
}

void DeviceLink::StopReconnecting() {
    if (reconnectTimer_.isActive()) {
        reconnectTimer_.stop();
        emit reconnectingChanged(false);
    }
}

qint64 LinkClockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool DeviceLink::SendPacket(uint8_t cmd, std::span<const int> data) {
    const auto bytes = EncodePacket(cmd, data);
    return bytes && WritePacket(*bytes);
}

bool DeviceLink::SendPacket(uint8_t cmd, std::span<const uint8_t> data) {
    if (data.size() > 255) {
        return false;
    }
    return WritePacket(EncodePacket(cmd, data));
}

bool DeviceLink::SendPacket(uint8_t cmd) {
    return WritePacket(EncodeRequest(cmd));
}

bool DeviceLink::AdsSyncWriteReq(int32_t /*indexGroup*/, int32_t indexOffset, int cbLen,
                                 std::span<const uint8_t> wArray) {
    const auto bytes = EncodeMemWrite(indexOffset, cbLen, wArray);
    return bytes && WritePacket(*bytes);
}

bool DeviceLink::ReadEE(int osote) {
    return WritePacket(EncodeReadByte(static_cast<uint16_t>(osote)));
}

bool DeviceLink::ReadEE_16bit(int osote, bool paluu) {
    if (paluu || !PortOpen()) {
        return false;
    }
    return WritePacket(EncodeReadWord(static_cast<uint16_t>(osote)));
}

bool DeviceLink::SendRequest(uint8_t cmd) {
    return Send(cmd) && Send(0) && Send(cmd, true);
}

}  // namespace tuvik
