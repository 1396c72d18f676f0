#pragma once
// Reading *.par files: lines of address, name and value. The all-parameters
// grid and the parameter-set backups read them the same way.

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tuvik {

// One *.par line: address, the name's first word, value; nothing when it has
// fewer than three fields or a number does not fit 32 bits.
struct ParFields {
    int32_t address;
    QString name;
    int32_t value;
};
std::optional<ParFields> ParseParLine(const QString& line);

// A whole file. Lines end with CR LF, LF or CR alike. A line that cannot be
// read is passed over and named by its number (from 1), so that one damaged
// line costs only itself; blank lines are passed over unnamed.
struct ParFileRead {
    std::vector<ParFields> lines;  // in file order
    QList<int> skipped;
};
ParFileRead ReadParData(const QByteArray& bytes);

}  // namespace tuvik
