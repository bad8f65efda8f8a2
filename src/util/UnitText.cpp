#include "util/UnitText.h"

#include <cmath>

namespace tessary {

std::wstring UpperAscii(const std::wstring& s) {
  std::wstring r = s;
  for (wchar_t& c : r) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return r;
}

bool SameTextAscii(const std::wstring& a, const std::wstring& b) { return UpperAscii(a) == UpperAscii(b); }

std::wstring UnsignedText(unsigned long long v) {
  wchar_t buf[24];
  wchar_t* p = buf + 24;
  do {
    *--p = static_cast<wchar_t>(L'0' + v % 10);
    v /= 10;
  } while (v != 0);
  return std::wstring(p, buf + 24);
}

std::wstring SignedText(long long v) {
  // The magnitude of the most negative value does not fit a long long.
  const unsigned long long m = v < 0 ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  return v < 0 ? L"-" + UnsignedText(m) : UnsignedText(m);
}

std::wstring HexText(unsigned long long v, int minDigits, bool upper) {
  const wchar_t* digits = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
  std::wstring s;
  do {
    s.insert(s.begin(), digits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  if (static_cast<int>(s.size()) < minDigits) s.insert(0, static_cast<size_t>(minDigits) - s.size(), L'0');
  return s;
}

std::wstring FixedDigits(double v, int decimals, const std::wstring& separator) {
  if (std::isnan(v)) return std::signbit(v) ? L"-nan" : L"nan";
  if (std::isinf(v)) return v < 0 ? L"-inf" : L"inf";
  if (decimals < 0) decimals = 0;
  if (decimals > 9) decimals = 9;
  long double scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const bool negative = std::signbit(v);
  // The product in extended precision keeps which side of a half the exact value lies on (0.015
  // is a little below it, 0.005 a little above); exact halves go to even, as printf rounds them.
  const long double scaled = std::nearbyint(std::fabs(static_cast<long double>(v)) * scale);
  if (!(scaled < 1.8e19)) return negative ? L"-inf" : L"inf";  // beyond what the program writes
  const unsigned long long n = static_cast<unsigned long long>(scaled);
  const unsigned long long whole = n / static_cast<unsigned long long>(scale);
  const unsigned long long part = n % static_cast<unsigned long long>(scale);
  std::wstring s = (negative ? L"-" : L"") + UnsignedText(whole);
  if (decimals > 0) {
    std::wstring frac = UnsignedText(part);
    s += separator + std::wstring(static_cast<size_t>(decimals) - frac.size(), L'0') + frac;
  }
  return s;
}

std::wstring FormatArgs(const wchar_t* fmt, const TFormatArg* args, size_t count) {
  std::wstring out;
  size_t next = 0;
  for (const wchar_t* p = fmt; *p != 0; ++p) {
    if (*p != L'%') {
      out += *p;
      continue;
    }
    ++p;
    if (*p == L'%') {
      out += L'%';
      continue;
    }
    bool zero = false;
    int width = 0, precision = -1;
    if (*p == L'0') zero = true;
    while (*p >= L'0' && *p <= L'9') width = width * 10 + (*p++ - L'0');
    if (*p == L'.') {
      precision = 0;
      for (++p; *p >= L'0' && *p <= L'9'; ++p) precision = precision * 10 + (*p - L'0');
    }
    while (*p == L'l' || *p == L'h' || *p == L'z') ++p;
    if (*p == 0) break;
    const TFormatArg a = next < count ? args[next++] : TFormatArg(0);
    std::wstring t;
    const unsigned long long bits = a.kind == TFormatArg::Kind::Signed ? static_cast<unsigned long long>(a.i) : a.u;
    switch (*p) {
      case L'd':
      case L'i':
        t = a.kind == TFormatArg::Kind::Unsigned ? UnsignedText(a.u) : SignedText(a.i);
        break;
      case L'u':
        t = a.kind == TFormatArg::Kind::Signed ? UnsignedText(static_cast<unsigned int>(a.i)) : UnsignedText(a.u);
        break;
      case L'x':
      case L'X':
        t = HexText(a.kind == TFormatArg::Kind::Signed && a.i < 0 ? static_cast<unsigned int>(a.i) : bits, 1, *p == L'X');
        break;
      case L'f':
        t = FixedDigits(a.kind == TFormatArg::Kind::Real ? a.d : static_cast<double>(a.i), precision < 0 ? 6 : precision);
        break;
      case L's':
        t = a.kind == TFormatArg::Kind::Text ? a.s : L"";
        break;
      default:
        t = std::wstring(L"%") + *p;
    }
    if (static_cast<int>(t.size()) < width) {
      const size_t pad = static_cast<size_t>(width) - t.size();
      if (zero && !t.empty() && t[0] == L'-')
        t.insert(1, pad, L'0');
      else
        t.insert(0, pad, zero ? L'0' : L' ');
    }
    out += t;
  }
  return out;
}

}  // namespace tessary
