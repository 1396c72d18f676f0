#pragma once
// The burner's main parameter set: 19 values at addresses 4 to 35 of its
// non-volatile memory, read in one request (0x83 -> 0x84) and written back
// in three memory-write blocks.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace tuvik {

struct ParamBoxDef {
    int address;      // in the burner's memory; also the index into the 0x84 reply data
    int width;        // 16 (signed word) or 8 (unsigned byte)
    QString label;    // the caption beside the box
    QString tooltip;  // the hint of the box
};

inline constexpr int kParamBoxCount = 19;
const std::array<ParamBoxDef, kParamBoxCount>& ParamBoxes();

// Every box starts with this text; a box still showing it counts as not read.
inline constexpr char kUnreadBoxText[] = "0";

// The box texts carried by a 0x84 reply: 16-bit values signed, bytes
// unsigned. A box whose bytes the reply does not hold gets nothing.
std::array<std::optional<QString>, kParamBoxCount> DecodeParamSet(std::span<const uint8_t> d);
// Applies a reply to the box texts (resized to 19 when shorter): only the
// boxes the reply holds change.
void ApplyParamSet(std::span<const uint8_t> d, QStringList& boxTexts);

// More than 9 boxes still showing exactly "0": the set was never read, and
// sending it would wipe the burner's settings.
bool ParamSetLooksUnread(const QStringList& boxTexts);

// One memory-write block of the upload.
struct UploadBlock {
    int32_t address;
    std::vector<uint8_t> bytes;
};

struct BadBox {
    int box;          // 0..18
    QString message;  // names the box and what it must hold
};

inline constexpr int kUploadBlockCount = 3;
// Block 0: boxes 0..5 as words at address 4. Block 1: boxes 6..9 as words and
// 10..13 as bytes at 16. Block 2: boxes 14, 15 as bytes and 16..18 as words
// at 28. A word box is its number rounded half to even, sent as its low 16
// bits (70000 goes as 4464, -1 as FF FF); a byte box is its number rounded
// down, 0..255. A box that holds no number, or a byte box out of range,
// gives the first such box instead.
std::variant<UploadBlock, BadBox> BuildUploadBlock(int block, const QStringList& boxTexts);

}  // namespace tuvik
