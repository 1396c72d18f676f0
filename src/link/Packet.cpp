#include "link/Packet.h"

#include <array>
#include <bit>
#include <cstring>

namespace tuvik {

static_assert(std::endian::native == std::endian::little, "wire singles are copied as they lie");

namespace {
constexpr std::array<bool, 256> MakeAcceptTable() {
    std::array<bool, 256> t{};
    for (uint8_t b : {0x55, 0x5C, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x88, 0x89, 0x8A, 0x8B,
                      0x8C, 0x8E, 0x8F, 0x91, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x99, 0xAA}) {
        t[b] = true;
    }
    return t;
}
constexpr std::array<bool, 256> kAccept = MakeAcceptTable();

constexpr std::array<bool, 256> MakeRequestTable() {
    std::array<bool, 256> t{};
    for (uint8_t b : {Cmd::Plus, Cmd::Minus, Cmd::LetterE, Cmd::LetterW, Cmd::CalLambda,
                      Cmd::Commit, Cmd::ReadWord, Cmd::UsageRequest, Cmd::SelectLoop,
                      Cmd::ReadStatus, Cmd::ReadParamSet, Cmd::MemWrite, Cmd::AnalogRequest,
                      Cmd::ReadByte, Cmd::DataRequest, Cmd::MeasRequest, Cmd::Boot}) {
        t[b] = true;
    }
    return t;
}
constexpr std::array<bool, 256> kRequests = MakeRequestTable();
}  // namespace

bool IsAcceptedReply(uint8_t b) { return kAccept[b]; }
bool IsRequest(uint8_t b) { return kRequests[b]; }

QByteArray EncodeRequest(uint8_t cmd) {
    QByteArray out(3, '\0');
    out[0] = static_cast<char>(cmd);
    out[2] = static_cast<char>(Trailer(cmd));
    return out;
}

std::optional<QByteArray> EncodePacket(uint8_t cmd, std::span<const int> data) {
    if (data.size() > 255) {
        return std::nullopt;
    }
    QByteArray out;
    out.reserve(static_cast<qsizetype>(data.size()) + 3);
    out.append(static_cast<char>(cmd));
    out.append(static_cast<char>(data.size()));
    for (int v : data) {
        if (v < 0 || v > 255) {
            return std::nullopt;
        }
        out.append(static_cast<char>(v));
    }
    out.append(static_cast<char>(Trailer(cmd)));
    return out;
}

QByteArray EncodePacket(uint8_t cmd, std::span<const uint8_t> data) {
    const size_t n = data.size() > 255 ? 255 : data.size();
    QByteArray out(static_cast<qsizetype>(n) + 3, '\0');
    out[0] = static_cast<char>(cmd);
    out[1] = static_cast<char>(n);
    if (n > 0) {
        std::memcpy(out.data() + 2, data.data(), n);
    }
    out[static_cast<qsizetype>(n) + 2] = static_cast<char>(Trailer(cmd));
    return out;
}

std::optional<QByteArray> EncodeMemWrite(int32_t indexOffset, int cbLen,
                                         std::span<const uint8_t> wArray) {
    if (cbLen < 0 || static_cast<size_t>(cbLen) > wArray.size() || cbLen > 253) {
        return std::nullopt;
    }
    std::array<uint8_t, 255> buf{};
    buf[0] = static_cast<uint8_t>(indexOffset & 0xFF);
    buf[1] = static_cast<uint8_t>((indexOffset >> 8) & 0xFF);
    std::memcpy(buf.data() + 2, wArray.data(), static_cast<size_t>(cbLen));
    return EncodePacket(Cmd::MemWrite, std::span<const uint8_t>(buf.data(), cbLen + 2));
}

QByteArray EncodeReadByte(uint16_t address) {
    const uint8_t a[2] = {static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)};
    return EncodePacket(Cmd::ReadByte, std::span<const uint8_t>(a, 2));
}

QByteArray EncodeReadWord(uint16_t address) {
    const uint8_t a[2] = {static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)};
    return EncodePacket(Cmd::ReadWord, std::span<const uint8_t>(a, 2));
}

float GetSingle(std::span<const uint8_t> d, size_t i) {
    float v;
    std::memcpy(&v, d.data() + i, 4);  // the wire and this machine are both little-endian
    return v;
}

void PutSingle(std::span<uint8_t> d, size_t i, float v) { std::memcpy(d.data() + i, &v, 4); }

}  // namespace tuvik
