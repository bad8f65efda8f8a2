// Splitting a text at one character, keeping empty pieces: n delimiters always give n + 1 pieces.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tessary {

std::vector<std::wstring> Tokenize(const std::wstring& text, wchar_t delimiter);
// Takes the piece before the first delimiter off rest (all of rest when there is none).
std::wstring NextToken(std::wstring& rest, const std::wstring& delimiter);
int32_t CharCount(const std::wstring& text, wchar_t ch);

}  // namespace tessary
