#include "link/DeviceLink.h"

#include "link/Packet.h"

namespace tuvik {

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

bool DeviceLink::SendPacket(uint8_t cmd) { return WritePacket(EncodeRequest(cmd)); }

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
