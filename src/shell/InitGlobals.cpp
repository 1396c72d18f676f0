#include "shell/InitGlobals.h"

#include "burner/ParamTable.h"
#include "shell/AppPaths.h"

namespace tuvik {

void InitGlobals(ParamTable& table, const AppPaths& paths) {
    table.LoadParamTable(paths.ParamsHeaderPath());
}

}  // namespace tuvik
