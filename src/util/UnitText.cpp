#include "util/UnitText.h"

namespace tessary {

std::wstring UpperAscii(const std::wstring& s) {
  std::wstring r = s;
  for (wchar_t& c : r) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return r;
}

bool SameTextAscii(const std::wstring& a, const std::wstring& b) { return UpperAscii(a) == UpperAscii(b); }

}  // namespace tessary
