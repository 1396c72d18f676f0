#pragma once
// The layout of a session recording (docs/RECORDING.md): a pcapng capture,
// little-endian, compressed with zstd in independent frames. One section
// header (the writing program in shb_userappl), one interface (user link
// type 147, microsecond time stamps, the connection in "key=value" comment
// lines), then one enhanced packet per chunk of bytes, its direction in
// epb_flags (1 inbound, 2 outbound) and its time as UTC microseconds.

#include <cstdint>

namespace tuvik::recording {

inline constexpr int kFormatVersion = 1;

inline constexpr uint32_t kSectionHeader = 0x0A0D0D0A;
inline constexpr uint32_t kInterfaceDescription = 0x00000001;
inline constexpr uint32_t kEnhancedPacket = 0x00000006;
inline constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
inline constexpr uint16_t kLinkTypeUser0 = 147;

inline constexpr uint16_t kOptEnd = 0;
inline constexpr uint16_t kOptComment = 1;
inline constexpr uint16_t kShbUserAppl = 4;
inline constexpr uint16_t kIfName = 2;
inline constexpr uint16_t kIfTsResol = 9;
inline constexpr uint16_t kEpbFlags = 2;

// epb_flags bits 0-1: the direction (01 inbound, 10 outbound).
inline constexpr uint32_t kFlagInbound = 1;
inline constexpr uint32_t kFlagOutbound = 2;

// The smallest block (type, two lengths) and the largest one read: a reader
// refuses a block length outside these before it allocates anything.
inline constexpr uint32_t kMinBlock = 12;
inline constexpr uint32_t kMaxBlock = 1u << 20;
// The largest chunk the writer puts into one packet block; a longer read is
// split.
inline constexpr int kMaxChunk = 64 * 1024;

// The file name's ending.
inline constexpr const char* kSuffix = ".pcapng.zst";

}  // namespace tuvik::recording
