// Feeds arbitrary bytes to the *.par reader of the all-parameters grid and
// checks what loading must keep: the grid's rows, addresses and names stay
// as built, every filled box holds a whole number, and a grid saved and read
// back into a fresh grid shows the same values.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzUtil.h"
#include "burner/AllParamsModel.h"
#include "burner/ParamTable.h"

using tuvik::fuzz::Check;

namespace {

// P and P_MAX share an address, and P's name is contained in P_MAX's.
const QByteArray kHeader =
    "#define P 17\n#define P_MAX 17\n#define Q 20\n#define NEG 21\n#define BIG 32767\n";

void BuildGrid(tuvik::AllParamsModel& m) {
    m.Build(tuvik::ReadParamDefs(kHeader));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = tuvik::fuzz::Bytes(data, size);

    tuvik::AllParamsModel grid;
    BuildGrid(grid);
    tuvik::AllParamsModel pristine;
    BuildGrid(pristine);

    const int lines = grid.LoadParData(bytes);
    Check(lines >= 0 && lines <= bytes.count('\n') + bytes.count('\r') + 1);
    Check(grid.rows() == pristine.rows());
    for (int i = 0; i < grid.rows(); ++i) {
        Check(grid.addressText(i) == pristine.addressText(i));
        Check(grid.name(i) == pristine.name(i));
        Check(!grid.checked(i));
        const QString v = grid.valueText(i);
        if (!v.isEmpty()) {
            bool ok = false;
            Check(QString::number(v.toInt(&ok)) == v && ok);
        }
    }

    // Saved and read back, the values come out as they went in (an empty
    // box is saved as 0).
    tuvik::AllParamsModel copy;
    BuildGrid(copy);
    Check(copy.LoadParData(grid.ParData()) == grid.rows());
    for (int i = 0; i < grid.rows(); ++i) {
        const QString v = grid.valueText(i);
        Check(copy.valueText(i) == (v.isEmpty() ? QStringLiteral("0") : v));
    }
    return 0;
}
