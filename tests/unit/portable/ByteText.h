// Bytes written and shown in test messages: printable ASCII as it is, everything else as \xNN.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tessary::test {

using Bytes = std::vector<uint8_t>;

inline Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline std::string Show(const Bytes& b) {
  std::string out;
  for (uint8_t c : b) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      static const char* hex = "0123456789ABCDEF";
      out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
    }
  }
  return out;
}

}  // namespace tessary::test
