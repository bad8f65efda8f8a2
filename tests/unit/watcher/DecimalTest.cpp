// Numbers the user reads (the countdown, the restore's log lines) carry the user's decimal
// separator, not the C library's point.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "../moving/MovingFixture.h"
#include "core/UnitForeground.h"
#include "watcher/UnitRestore.h"

namespace tessary::test {
namespace {

class DecimalTest : public MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    sim.SetLayout({TRect{0, 0, 1920, 1080}, TRect{1920, 0, 3840, 1080}});
  }
};

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

TEST_F(DecimalTest, FixedTextWritesTheUsersSeparator) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    const wchar_t* separator;  // nullptr: never set
    double value;
    int32_t decimals;
    const wchar_t* want;
  };
  const Case cases[] = {
      {nullptr, 0.0109, 4, L"0.0109"},
      {L",", 0.0109, 4, L"0,0109"},
      {L",", -2.5, 2, L"-2,50"},
      {L",", 1234.5, 1, L"1234,5"},     // no grouping
      {L",", 3.0, 0, L"3"},             // no decimals, no separator
      {L"\u066B", 1.25, 2, L"1\u066B25"},  // Arabic decimal separator
      {L"::", 0.5, 1, L"0::5"},         // the locale allows up to three characters
      {L"", 0.5, 1, L"0.5"},            // a locale that gives nothing
      {L",", kInf, 2, L"inf"},          // no digits, nothing to separate
      {L",", -kInf, 2, L"-inf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.want));
    if (c.separator) sim.SetDecimalSeparator(c.separator);  // the first case sees the default
    EXPECT_EQ(FixedText(c.value, c.decimals), c.want);
  }
}

TEST_F(DecimalTest, TheRestoresLogLinesUseTheUsersSeparator) {
  // left 0.25, top 0.10, 0.50 x 0.50 of the left monitor; 981 px wide is 0.0109 too wide.
  const WindowHandle w = AddApp(TRect{480, 108, 1440, 648});
  TProgramInfo rec;
  TForeGround::GatherProgramInfo(w, rec);
  sim.SetWindowPos(w, 0, 480, 108, 981, 540, wc::SWP_NOZORDER);
  const std::wstring handle = std::to_wstring(static_cast<int32_t>(w));
  struct Case {
    const wchar_t* separator;  // nullptr: never set
    std::wstring want;
  };
  const Case cases[] = {
      {nullptr, L"HMP: Failed WidthX  0.0109 diff [" + handle + L"] app.exe left True [0.51 x 0.50]"},
      {L",", L"HMP: Failed WidthX  0,0109 diff [" + handle + L"] app.exe left True [0,51 x 0,50]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.separator ? Narrow(c.separator) : "default");
    if (c.separator) sim.SetDecimalSeparator(c.separator);
    EXPECT_FALSE(TRestore::VerifyRestored(rec));
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().back(), c.want) << Narrow(Log().back());
  }
}

}  // namespace
}  // namespace tessary::test
