// The user's regional settings the program writes numbers with.
#include <gtest/gtest.h>

#include <string>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

TEST(Locale, TheDecimalSeparatorIsAShortTextWithoutDigitsAndLeavesTheLastErrorAlone) {
  Backend().SetLastError(wc::ERROR_HOTKEY_ALREADY_REGISTERED);
  const std::wstring separator = Backend().DecimalSeparator();
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_HOTKEY_ALREADY_REGISTERED);
  SCOPED_TRACE(Narrow(separator));
  EXPECT_GE(separator.size(), 1u);
  EXPECT_LE(separator.size(), 3u);
  for (wchar_t c : separator) EXPECT_FALSE(c >= L'0' && c <= L'9');
  EXPECT_EQ(Backend().DecimalSeparator(), separator);
}

TEST(Locale, TheDecimalSeparatorIsTheOneTheUserSet) {
  const std::wstring original = Backend().DecimalSeparator();
  // The user's own setting comes back whatever happens below.
  struct Restore {
    std::wstring separator;
    ~Restore() { SetUserDecimalSeparator(separator); }
  } restore{original};
  for (const wchar_t* set : {L",", L"\u066B", L"."}) {
    SCOPED_TRACE(Narrow(set));
    ASSERT_TRUE(SetUserDecimalSeparator(set));
    EXPECT_EQ(Backend().DecimalSeparator(), set);
  }
}

// The log's time stamp: the time of day to the millisecond, "14:03:22.417" or "2:03:22.417 PM".
TEST(Locale, TheTimeOfDayEndsItsSecondsWithMilliseconds) {
  const std::wstring t = Backend().LocalTimeText();
  SCOPED_TRACE(Narrow(t));
  auto digit = [&](size_t i) { return i < t.size() && t[i] >= L'0' && t[i] <= L'9'; };
  const size_t dot = t.find(L'.');
  ASSERT_NE(dot, std::wstring::npos);
  ASSERT_GE(dot, 5u);
  EXPECT_TRUE(digit(dot - 5) && t[dot - 3] == L':' && digit(dot - 2) && digit(dot - 1));
  EXPECT_TRUE(digit(dot + 1) && digit(dot + 2) && digit(dot + 3));
  EXPECT_FALSE(digit(dot + 4));
}

}  // namespace
}  // namespace tessary::contract
