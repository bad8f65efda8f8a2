#include "util/UnitError.h"

#include <cstdint>
#include <exception>

namespace tessary {

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = static_cast<uint32_t>(text[i]);
    // A pair is one character also where wchar_t is wider: the text came from UTF-16 then.
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      const uint32_t lo = static_cast<uint32_t>(text[i + 1]);
      if (lo >= 0xDC00 && lo < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

TWideError::TWideError(std::wstring message) : std::runtime_error(ToUtf8(message)), message_(std::move(message)) {}

std::wstring DescribeCurrentException() {
  try {
    throw;
  } catch (const TWideError& e) {
    return e.Message();
  } catch (const std::exception& e) {
    std::wstring out;
    for (const char* p = e.what(); p != nullptr && *p != 0; ++p)
      out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
    return out;
  } catch (...) {
    return L"unknown exception";
  }
}

}  // namespace tessary
