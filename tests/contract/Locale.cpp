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

}  // namespace
}  // namespace tessary::contract
