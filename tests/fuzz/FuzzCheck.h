// What the fuzz targets share: a failed property stops the run with a message, so that libFuzzer
// keeps the input as a crash.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tessary::fuzz {

// Printable ASCII as it is, every other unit as \x{N}.
inline std::string Show(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) {
    const auto u = static_cast<uint32_t>(c);
    if (u >= 0x20 && u < 0x7F && u != '\\') {
      out.push_back(static_cast<char>(u));
    } else {
      char buf[16];
      std::snprintf(buf, sizeof buf, "\\x{%X}", u);
      out += buf;
    }
  }
  return out;
}

[[noreturn]] inline void Fail(const char* file, int line, const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s:%d: property failed: %s\n%s\n", file, line, what, detail.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace tessary::fuzz

#define FUZZ_CHECK(cond, detail)                                          \
  do {                                                                    \
    if (!(cond)) ::tessary::fuzz::Fail(__FILE__, __LINE__, #cond, detail); \
  } while (0)
