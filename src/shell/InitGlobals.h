#pragma once
// The start-up step that fills the process-wide tables. The bit masks and
// actuator names are constants; what is left is the parameter table.

namespace tuvik {

class AppPaths;
class ParamTable;

// Loads PARAMS.h, found through the program's data folders, into the table.
void InitGlobals(ParamTable& table, const AppPaths& paths);

}  // namespace tuvik
