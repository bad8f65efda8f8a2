#include "util/UnitToken.h"

namespace tessary {

int32_t CharCount(const std::wstring& text, wchar_t ch) {
  int32_t n = 0;
  for (wchar_t c : text) {
    if (c == ch) ++n;
  }
  return n;
}

std::wstring NextToken(std::wstring& rest, const std::wstring& delimiter) {
  // An empty delimiter would match everywhere and never consume anything.
  const size_t pos = delimiter.empty() ? std::wstring::npos : rest.find(delimiter);
  std::wstring piece;
  if (pos == std::wstring::npos) {
    piece.swap(rest);
    rest.clear();
  } else {
    piece = rest.substr(0, pos);
    rest.erase(0, pos + delimiter.size());
  }
  return piece;
}

std::vector<std::wstring> Tokenize(const std::wstring& text, wchar_t delimiter) {
  std::vector<std::wstring> result(static_cast<size_t>(CharCount(text, delimiter)) + 1);
  const std::wstring delim(1, delimiter);
  std::wstring rest = text;
  size_t i = 0;
  while (!rest.empty() && i < result.size()) {
    result[i] = NextToken(rest, delim);
    ++i;
  }
  return result;
}

}  // namespace tessary
