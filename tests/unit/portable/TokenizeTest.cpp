#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "util/UnitToken.h"

namespace tessary {
namespace {

using Pieces = std::vector<std::wstring>;

struct TokenCase {
  const char* name;
  std::wstring text;
  wchar_t delim;
  Pieces expected;
};

void PrintTo(const TokenCase& c, std::ostream* os) { *os << c.name; }


class TokenizeTable : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenizeTable, Splits) {
  const TokenCase& c = GetParam();
  EXPECT_EQ(Tokenize(c.text, c.delim), c.expected);
  EXPECT_EQ(Tokenize(c.text, c.delim).size(), static_cast<size_t>(CharCount(c.text, c.delim)) + 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenizeTable,
    ::testing::Values(TokenCase{"empty", L"", L' ', {L""}},
                      TokenCase{"no_delimiter", L"Tessary.exe", L' ', {L"Tessary.exe"}},
                      TokenCase{"trailing_delimiter", L"-mf left ", L' ', {L"-mf", L"left", L""}},
                      TokenCase{"leading_and_double", L" a  b", L' ', {L"", L"a", L"", L"b"}},
                      TokenCase{"only_delimiters", L"##", L'#', {L"", L"", L""}},
                      TokenCase{"case_and_other_chars_kept", L"\\\\?\\DISPLAY#Dell#4&a b", L'#',
                                {L"\\\\?\\DISPLAY", L"Dell", L"4&a b"}}),
    [](const ::testing::TestParamInfo<TokenCase>& i) { return std::string(i.param.name); });

TEST(NextToken, TakesPiecesOffTheRest) {
  std::wstring rest = L"ab::cd";
  EXPECT_EQ(NextToken(rest, L"::"), L"ab");
  EXPECT_EQ(rest, L"cd");
  EXPECT_EQ(NextToken(rest, L"::"), L"cd");
  EXPECT_EQ(rest, L"");
}

TEST(NextToken, EmptyDelimiterTakesEverythingInsteadOfLoopingForever) {
  std::wstring rest = L"abc";
  EXPECT_EQ(NextToken(rest, L""), L"abc");
  EXPECT_TRUE(rest.empty());
}

TEST(CharCount, CountsExactUnitsOnly) {
  EXPECT_EQ(CharCount(L"", L'a'), 0);
  EXPECT_EQ(CharCount(L"aAaA", L'a'), 2);
}

}  // namespace
}  // namespace tessary
