// The data folder: where every file the program writes lives. Beside the executable for a copy
// run from an ordinary folder; per user (application data\Tessary\) for an installed copy or one
// started with -data. Determined once per process; always ends with a backslash.
#pragma once
#include <string>

#include "util/UnitText.h"

namespace tessary {

std::wstring GetDataFolder();


// For test fixtures: forget the cached folder.
void ResetDataFolderCache();

}  // namespace tessary
