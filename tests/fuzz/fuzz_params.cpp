// Feeds arbitrary bytes to the PARAMS.h reader, as the table load and the
// burner window's list read them, and checks what every definition must hold.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzUtil.h"
#include "burner/ParamTable.h"

using tuvik::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = tuvik::fuzz::Bytes(data, size);

    tuvik::ParamTable table;
    table.LoadParamTable(bytes);
    Check(table.size() >= 0 && table.size() <= tuvik::ParamTable::kCapacity);
    for (int i = 0; i < tuvik::ParamTable::kCapacity; ++i) {
        const tuvik::ParamDef& d = table.at(i);
        if (i < table.size()) {
            Check(d.name.size() == tuvik::kParamNameWidth);
            Check(d.address >= 1 && d.address <= 32767);
            Check(d.value == -1);
        } else {
            Check(d.name.isEmpty());
        }
    }

    // The list has every definition; its first 1001 are the table's.
    const QStringList items = tuvik::ReadParameterListItems(bytes);
    Check(items.size() >= table.size());
    Check(items.size() == table.size() || table.size() == tuvik::ParamTable::kCapacity);
    for (int i = 0; i < items.size(); ++i) {
        const QString& item = items[i];
        Check(item.size() > tuvik::kParamNameWidth + 1 &&
              item.at(tuvik::kParamNameWidth) == QLatin1Char('#'));
        if (i < table.size()) {
            Check(item == tuvik::ParamListItem(table.at(i)));
        }
    }
    return 0;
}
