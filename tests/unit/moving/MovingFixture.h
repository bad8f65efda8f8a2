// The simulated desktop with a readable log for the mover, focus and capture tests.
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "../core/CoreFixture.h"
#include "diagnostics/DebugLog.h"

namespace tessary::test {

class MovingFixture : public CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    sim.SetLocalTimeText(L"T");
  }

  // The log's messages, oldest first, without the time prefix.
  static std::vector<std::wstring> Log() {
    std::vector<std::wstring> out;
    for (const std::wstring& line : LogLines()) {
      const size_t colon = line.find(L' ');
      out.push_back(colon == std::wstring::npos ? line : line.substr(colon + 1));
    }
    std::reverse(out.begin(), out.end());
    return out;
  }
  static bool Logged(const std::wstring& message) {
    const auto log = Log();
    return std::find(log.begin(), log.end(), message) != log.end();
  }
  // Each of the parts, in this order, in the log's messages (others may come between).
  static ::testing::AssertionResult LoggedInOrder(const std::vector<std::wstring>& wanted) {
    const auto log = Log();
    size_t at = 0;
    for (const std::wstring& w : wanted) {
      while (at < log.size() && log[at].find(w) == std::wstring::npos) ++at;
      if (at == log.size()) return ::testing::AssertionFailure() << "missing in order: " << std::string(w.begin(), w.end());
      ++at;
    }
    return ::testing::AssertionSuccess();
  }
  static size_t CountLogged(const std::wstring& part) {
    size_t n = 0;
    for (const std::wstring& line : Log())
      if (line.find(part) != std::wstring::npos) ++n;
    return n;
  }

  // An ordinary program window: visible, titled, unowned, with an extended style.
  WindowHandle AddApp(TRect rect, sim::WindowSpec desc = {}) {
    desc.rect = rect;
    if (desc.title.empty()) desc.title = L"Document";
    if (desc.exStyle == 0) desc.exStyle = wc::WS_EX_WINDOWEDGE;
    return sim.AddWindow(desc);
  }

  TRect RectOf(WindowHandle h) {
    TRect r;
    EXPECT_TRUE(sim.GetWindowRect(h, r));
    return r;
  }
};

}  // namespace tessary::test
