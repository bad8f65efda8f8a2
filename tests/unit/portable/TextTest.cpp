// Numbers as the log and the status line write them, without the C library's printf: each form
// against what printf writes for it.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "util/UnitText.h"

namespace tessary::test {
namespace {

std::wstring Printf(const wchar_t* fmt, double v, int decimals) {
  wchar_t buf[128];
  std::swprintf(buf, 128, fmt, decimals, v);
  return buf;
}

TEST(TextTest, FixedDigitsRoundsAsPrintfDoes) {
  const double values[] = {0.0,    0.125,  0.375,  2.5,     -2.5,       0.0109,   0.005,  0.015, 1.005,
                           0.285,  999.995, 0.1 + 0.2, -0.0004, 123456.789, 0.092593, 1e-7,  0.5,   1.5};
  for (const double v : values)
    for (const int decimals : {0, 1, 2, 4, 6})
      EXPECT_EQ(FixedDigits(v, decimals), Printf(L"%.*f", v, decimals)) << v << " with " << decimals;
  EXPECT_EQ(FixedDigits(0.5, 2, L","), L"0,50");
  EXPECT_EQ(FixedDigits(std::numeric_limits<double>::infinity(), 2), L"inf");
}

TEST(TextTest, FormatWritesTheFormsTheLogUses) {
  EXPECT_EQ(Format(L"MP: monitor [%d] new TL [%d, %d]  new WDHT [%d x %d]", 1, -270, 480, 960, 540),
            L"MP: monitor [1] new TL [-270, 480]  new WDHT [960 x 540]");
  EXPECT_EQ(Format(L"%llx|%02X|%03u|%u|%f|%.2f|%s|%%", 0x1010cull, 7u, 5u, 4294967295u, 0.092593, 0.125, L"x"),
            L"1010c|07|005|4294967295|0.092593|0.12|x|%");
  EXPECT_EQ(Format(L"%d", -2147483647 - 1), L"-2147483648");
  EXPECT_EQ(IntText(-9223372036854775807LL - 1), L"-9223372036854775808");
  EXPECT_EQ(IntText(18446744073709551615ULL), L"18446744073709551615");
  EXPECT_EQ(HexText(0xABCu, 6, true), L"000ABC");
}

}  // namespace
}  // namespace tessary::test
