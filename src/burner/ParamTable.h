#pragma once
// The burner's parameter definitions, read from the firmware's PARAMS.h: the
// fixed table the all-parameters window shows, and the list of the burner
// window's single-parameter panel. Both come from the same line reader.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <vector>

class QIODevice;

namespace tuvik {

// Names are kept padded (or cut) to this many characters.
inline constexpr int kParamNameWidth = 50;

struct ParamDef {
    QString name;         // exactly 50 characters once loaded; empty for a free entry
    int32_t address = 0;  // 1..32767 for a loaded entry
    int32_t value = -1;   // last value known; -1 until one is read
    QString description;  // the definition line's trailing comment
};

// Reads one line (without its line end). Yields a definition when the line
// defines a parameter at an address of 1 to 32767; nothing otherwise, which
// includes lines whose address does not fit a 16-bit integer.
std::optional<ParamDef> ParseParamLine(const QString& line);

// Walks the definitions of a header held in bytes (8-bit text, lines ending
// in CR LF, LF or a lone CR), in file order. The sink returns false to stop.
void ForEachParamDef(const QByteArray& bytes, const std::function<bool(ParamDef&&)>& sink);

inline constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

// The first maxCount definitions of a header.
std::vector<ParamDef> ReadParamDefs(const QByteArray& bytes, std::size_t maxCount = kNoLimit);
std::vector<ParamDef> ReadParamDefs(QIODevice& device, std::size_t maxCount = kNoLimit);
// A header larger than this is refused unread: a real one is a few hundred
// kilobytes at most, and reading a huge file would only eat memory.
inline constexpr qint64 kMaxParamsHeaderBytes = 4 * 1024 * 1024;
// A file that is missing, cannot be opened or is too large gives no
// definitions; a too large one is written to the event log.
std::vector<ParamDef> ReadParamDefsFile(const QString& path, std::size_t maxCount = kNoLimit);

// One item of the burner window's parameter list: the padded name, "#" and
// the address in decimal.
QString ParamListItem(const ParamDef& def);
// Every definition of the header as list items, without any limit.
QStringList ReadParameterListItems(const QString& path);
QStringList ReadParameterListItems(const QByteArray& bytes);

// The parameter table: 1001 entries, filled from index 0 in file order.
class ParamTable {
  public:
    static constexpr int kCapacity = 1001;

    ParamTable();

    // Replaces the contents with the first 1001 definitions of the header.
    // A missing or unreadable file leaves the table empty.
    void LoadParamTable(const QString& path);
    void LoadParamTable(const QByteArray& bytes);
    void LoadParamTable(QIODevice& device);

    // Number of loaded entries; entries [0, size()) are loaded, the rest free.
    int size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // Any index 0..1000; a free entry has an empty name.
    const ParamDef& at(int index) const { return entries_.at(static_cast<std::size_t>(index)); }
    ParamDef& at(int index) { return entries_.at(static_cast<std::size_t>(index)); }
    std::span<const ParamDef> loaded() const {
        return {entries_.data(), static_cast<std::size_t>(count_)};
    }

  private:
    void Fill(std::vector<ParamDef>&& defs);

    std::vector<ParamDef> entries_;
    int count_ = 0;
};

}  // namespace tuvik
