#pragma once
// The burner's constant tables: its program-state
// names, single-bit masks for status words, and the actuator names of the
// burner's start/stop events.

#include <QString>

#include <array>
#include <cstdint>

namespace tuvik {

// Entry i is the decimal text of i, except the named program states.
// Indexes 0..256; anything else is outside the table.
inline constexpr int kStateNameCount = 257;
const std::array<QString, kStateNameCount>& StateNames();
// nullptr when the index lies outside the table.
const QString* StateNameAt(int index);

// BitMask[i] has only bit i set; index 15 is 0x8000.
inline constexpr std::array<uint16_t, 16> BitMask = {0x0001, 0x0002, 0x0004, 0x0008, 0x0010, 0x0020,
                                                     0x0040, 0x0080, 0x0100, 0x0200, 0x0400, 0x0800,
                                                     0x1000, 0x2000, 0x4000, 0x8000};

// Seven characters each, padded with blanks; index 10 is empty.
inline constexpr int kActivityNameCount = 11;
const std::array<QString, kActivityNameCount>& ActivityNames();

}  // namespace tuvik
