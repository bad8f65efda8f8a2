// Small text helpers shared by every layer.
#pragma once
#include <string>

namespace tessary {

// ASCII-only upper-casing, as every case-insensitive comparison of the program folds.
std::wstring UpperAscii(const std::wstring& s);
bool SameTextAscii(const std::wstring& a, const std::wstring& b);

}  // namespace tessary
