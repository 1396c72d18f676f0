#pragma once
// Packet layout shared by both links and by the simulator:
//   command, length L (0..255), L data bytes, trailer = (~command) & 0xFF.
// No start marker, no checksum, no escaping. Multi-byte values are little-endian.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <span>

namespace tuvik {

namespace Cmd {
inline constexpr uint8_t Plus = 0x2B;
inline constexpr uint8_t Minus = 0x2D;
inline constexpr uint8_t LetterE = 0x65;
inline constexpr uint8_t LetterW = 0x77;
inline constexpr uint8_t CalLambda = 0x33;
inline constexpr uint8_t Commit = 0x34;
inline constexpr uint8_t ReadWord = 0x55;
inline constexpr uint8_t UsageRequest = 0x5B;
inline constexpr uint8_t UsageReply = 0x5C;
inline constexpr uint8_t SelectLoop = 0x80;
inline constexpr uint8_t ReadStatus = 0x81;
inline constexpr uint8_t StatusRecord = 0x82;
inline constexpr uint8_t ReadParamSet = 0x83;
inline constexpr uint8_t ParamSet = 0x84;
inline constexpr uint8_t MemWrite = 0x85;
inline constexpr uint8_t WriteAck = 0x86;
inline constexpr uint8_t AnalogRequest = 0x88;
inline constexpr uint8_t AnalogValues = 0x89;
inline constexpr uint8_t ReadByte = 0x8A;
inline constexpr uint8_t ByteValue = 0x8B;
inline constexpr uint8_t ActuatorEvent = 0x8C;
inline constexpr uint8_t DataRequest = 0x91;
inline constexpr uint8_t LiveValues = 0x92;
inline constexpr uint8_t Alarm = 0x94;
inline constexpr uint8_t LiveValuesQuiet = 0x96;
inline constexpr uint8_t Measurements = 0x97;
inline constexpr uint8_t MeasRequest = 0x98;
inline constexpr uint8_t Boot = 0x99;
inline constexpr uint8_t DeviceStarted = 0xAA;
// The relay server's own refresh command: the two letters D and G, sent bare.
inline constexpr uint8_t RelayRefreshD = 0x44;
inline constexpr uint8_t RelayRefreshG = 0x47;
}  // namespace Cmd

// The 25 reply command bytes that the receive framing accepts while hunting.
bool IsAcceptedReply(uint8_t b);
// The request command bytes the program sends: what starts a packet in the
// stream towards the device (the device's framing, the monitor's relay).
bool IsRequest(uint8_t b);

constexpr uint8_t Trailer(uint8_t cmd) { return static_cast<uint8_t>(~cmd); }

// cmd, 0x00, trailer: the three-byte form of a request without data.
QByteArray EncodeRequest(uint8_t cmd);

// cmd, count, elements, trailer. Fails (nothing to write) when there are more
// than 255 elements or an element lies outside 0..255.
std::optional<QByteArray> EncodePacket(uint8_t cmd, std::span<const int> data);
QByteArray EncodePacket(uint8_t cmd, std::span<const uint8_t> data);  // data.size() <= 255

// Memory write 0x85: offset low, offset high, then cbLen bytes of wArray.
// indexGroup is not sent; the upper 16 bits of indexOffset are dropped.
// Fails when cbLen is negative, larger than wArray or more than 253.
std::optional<QByteArray> EncodeMemWrite(int32_t indexOffset, int cbLen,
                                         std::span<const uint8_t> wArray);

// 0x8A 0x02 low high 0x75: read one byte of the burner's memory.
QByteArray EncodeReadByte(uint16_t address);
// 0x55 0x02 low high 0xAA: read one 16-bit word of the burner's memory.
QByteArray EncodeReadWord(uint16_t address);

// Little-endian helpers over a byte buffer. Callers check bounds.
float GetSingle(std::span<const uint8_t> d, size_t i);
void PutSingle(std::span<uint8_t> d, size_t i, float v);
inline uint16_t U16(std::span<const uint8_t> d, size_t i) {
    return static_cast<uint16_t>(d[i] | (d[i + 1] << 8));
}

}  // namespace tuvik
