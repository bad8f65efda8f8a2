// What reaches the user of an exception: a wide message whole, a narrow one byte by byte.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "util/UnitError.h"

namespace tessary {
namespace {

template <class Throw>
std::wstring Described(Throw doThrow) {
  try {
    doThrow();
  } catch (...) {
    return DescribeCurrentException();
  }
  return L"nothing thrown";
}

TEST(WideError, KeepsAPathWithAnyLettersAndNarrowErrorsStayReadable) {
  const std::wstring path = L"Unable to write to C:\\Werkzeug \x3A9\x3BC\\\xE9t\xE9 \xD83D\xDE00\\Tessary.ini";
  EXPECT_EQ(Described([&] { throw TWideError(path); }), path);
  EXPECT_EQ(Described([] { throw std::runtime_error("caf\xE9"); }), L"caf\xE9");
  EXPECT_EQ(Described([] { throw 5; }), L"unknown exception");
  // Narrow readers (a log of what()) get UTF-8.
  EXPECT_STREQ(TWideError(L"\x3A9\xE9\xD83D\xDE00").what(), "\xCE\xA9\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(L"a\xD800z"), "a\xEF\xBF\xBDz");
}

}  // namespace
}  // namespace tessary
