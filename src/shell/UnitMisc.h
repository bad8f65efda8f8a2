// The data folder: where every file the program writes lives. Beside the executable for a copy
// run from an ordinary folder; per user (application data\Tessary\) for an installed copy or one
// started with -data. Determined once per process; always ends with a backslash.
#pragma once
#include <string>

namespace tessary {

std::wstring GetDataFolder();

// ASCII-only upper-casing, as every case-insensitive comparison of the program folds.
std::wstring UpperAscii(const std::wstring& s);
bool SameTextAscii(const std::wstring& a, const std::wstring& b);

// For test fixtures: forget the cached folder.
void ResetDataFolderCache();

}  // namespace tessary
