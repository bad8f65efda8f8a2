// Small text helpers shared by every layer.
#pragma once
#include <string>
#include <type_traits>

namespace tessary {

// ASCII-only upper-casing, as every case-insensitive comparison of the program folds.
std::wstring UpperAscii(const std::wstring& s);
bool SameTextAscii(const std::wstring& a, const std::wstring& b);

// Numbers as text without the C library's formatted output: the program writes only these few
// forms, and the library's printf family is a fifth of the size limit of the exe.
std::wstring SignedText(long long v);
std::wstring UnsignedText(unsigned long long v);
template <class T>
  requires std::is_integral_v<T>
std::wstring IntText(T v) {
  if constexpr (std::is_signed_v<T>)
    return SignedText(static_cast<long long>(v));
  else
    return UnsignedText(static_cast<unsigned long long>(v));
}
// Lower-case hexadecimal ("%x"), or upper-case with at least minDigits digits ("%02X").
std::wstring HexText(unsigned long long v, int minDigits = 1, bool upper = false);
// "%.*f": fixed notation with `decimals` digits after `separator` (none when decimals is 0),
// rounded to nearest with ties to even as printf rounds them; "inf", "-inf", "nan" as it writes.
std::wstring FixedDigits(double v, int decimals, const std::wstring& separator = L".");

// One argument of Format: a number of any kind or a text.
struct TFormatArg {
  enum class Kind { Signed, Unsigned, Real, Text } kind;
  long long i = 0;
  unsigned long long u = 0;
  double d = 0;
  const wchar_t* s = L"";
  template <class T>
    requires std::is_integral_v<T>
  TFormatArg(T v) : kind(std::is_signed_v<T> ? Kind::Signed : Kind::Unsigned), i(static_cast<long long>(v)),
                    u(static_cast<unsigned long long>(v)) {}
  TFormatArg(double v) : kind(Kind::Real), d(v) {}
  TFormatArg(const wchar_t* v) : kind(Kind::Text), s(v) {}
};
// The printf forms the program's log lines use: %d %u %x %X %llx %f %.Nf %s, widths with 0 ("%02X",
// "%03u") and %%; an argument is taken as its own kind, whatever the letter's size prefix says.
std::wstring FormatArgs(const wchar_t* fmt, const TFormatArg* args, size_t count);
template <class... Args>
std::wstring Format(const wchar_t* fmt, Args... args) {
  const TFormatArg list[] = {TFormatArg(args)..., TFormatArg(0)};
  return FormatArgs(fmt, list, sizeof...(Args));
}

}  // namespace tessary
