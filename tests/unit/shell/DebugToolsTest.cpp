#include "shell/DebugTools.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../moving/MovingFixture.h"

namespace tessary::test {
namespace {

const std::wstring kRule(42, L'-');

class DebugToolsTest : public MovingFixture {
 protected:
  // The log's messages, oldest first; every line must carry the no-window prefix.
  static std::vector<std::wstring> Messages() {
    const std::wstring prefix = L"T:(x) ";
    std::vector<std::wstring> out;
    const auto lines = LogLines();
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      EXPECT_EQ(it->substr(0, prefix.size()), prefix) << *it;
      out.push_back(it->substr(prefix.size()));
    }
    return out;
  }

  WindowHandle AddProgram(const std::wstring& exe, sim::WindowSpec desc = {}) {
    desc.pid = sim.AddProcess(exe);
    return AddApp({100, 100, 500, 400}, desc);
  }

  // The debug window: ours, with its own taskbar button.
  WindowHandle AddSelf() {
    sim::WindowSpec desc;
    desc.pid = sim.OwnProcessId();
    desc.title = L"Debug Window";
    desc.exStyle = wc::WS_EX_APPWINDOW;
    return AddApp({0, 0, 569, 503}, desc);
  }
};

TEST_F(DebugToolsTest, ZOrderListsPlainWindowsBelowItselfAndCountsAllWalked) {
  const WindowHandle plainLow = AddProgram(L"low.exe");
  sim::WindowSpec hidden;
  hidden.visible = false;
  AddProgram(L"hidden.exe", hidden);
  sim::WindowSpec owned;
  owned.owner = plainLow;
  AddProgram(L"owned.exe", owned);
  sim::WindowSpec minimized;
  minimized.minimized = true;
  AddProgram(L"min.exe", minimized);
  AddProgram(L"high.exe");
  const WindowHandle self = AddSelf();
  sim::WindowSpec topmost;
  topmost.exStyle = wc::WS_EX_TOPMOST | wc::WS_EX_WINDOWEDGE;
  AddProgram(L"above.exe", topmost);
  ResetLogState();

  ZOrderListing(self);

  // Six windows below self, the shell window last; only three of them are plain.
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{kRule, L"ZORDER: high.exe", L"ZORDER: low.exe",
                                                   L"ZORDER: explorer.exe", L"tested=6"}));
}

struct WalkLimitCase {
  int hiddenBelow;  // plus the shell window at the bottom
  std::vector<std::wstring> expected;
};

class ZOrderLimitTest : public DebugToolsTest, public ::testing::WithParamInterface<WalkLimitCase> {};

TEST_P(ZOrderLimitTest, StopsAfterAThousandWindows) {
  sim::WindowSpec hidden;
  hidden.visible = false;
  hidden.pid = sim.AddProcess(L"hidden.exe");
  for (int i = 0; i < GetParam().hiddenBelow; ++i) AddApp({0, 0, 10, 10}, hidden);
  const WindowHandle self = AddSelf();
  ResetLogState();

  ZOrderListing(self);

  EXPECT_EQ(Messages(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Walks, ZOrderLimitTest,
                         ::testing::Values(WalkLimitCase{999, {kRule, L"ZORDER: explorer.exe", L"tested=1000"}},
                                           WalkLimitCase{1000, {kRule, L"ZORDER: explorer.exe", L"max reached",
                                                                L"tested=1001"}},
                                           WalkLimitCase{1200, {kRule, L"max reached", L"tested=1001"}}));

TEST_F(DebugToolsTest, ZDumpStartsAtTheForegroundAndRepeatsWhenItReachesItself) {
  AddProgram(L"below.exe");
  const WindowHandle self = AddSelf();
  sim::WindowSpec tool;
  tool.exStyle = wc::WS_EX_TOOLWINDOW;
  AddProgram(L"tool.exe", tool);
  sim::WindowSpec styled;
  styled.exStyle = wc::WS_EX_ACCEPTFILES | wc::WS_EX_CLIENTEDGE;
  const WindowHandle fg = AddProgram(L"front.exe", styled);
  sim.SetForeground(fg);
  ResetLogState();

  ZOrderDump(self);

  EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"  WS_EX_ACCEPTFILES", L"  WS_EX_CLIENTEDGE", L"[front.exe]-----",
                                                   L"  WS_EX_TOOLWINDOW", L"[tool.exe]-----", L"repeating",
                                                   L"tested=2", kRule}));
}

TEST_F(DebugToolsTest, TaskButtonsMarksMinimizedProgramsAndStopsAtItself) {
  AddProgram(L"under.exe");
  const WindowHandle self = AddSelf();
  sim::WindowSpec minimized;
  minimized.minimized = true;
  const WindowHandle min = AddProgram(L"min.exe", minimized);
  sim::WindowSpec tool;
  tool.exStyle = wc::WS_EX_TOOLWINDOW;
  AddProgram(L"tool.exe", tool);
  const WindowHandle fg = AddProgram(L"front.exe");
  sim.SetForeground(fg);
  // Minimizing parked it at the bottom; the debug window goes below it.
  ASSERT_TRUE(sim.SetWindowPos(self, min, 0, 0, 0, 0, wc::SWP_NOMOVE | wc::SWP_NOSIZE | wc::SWP_NOACTIVATE));
  ResetLogState();

  TaskButtonsListing(self);

  EXPECT_EQ(Messages(), (std::vector<std::wstring>{kRule, L"TaskButton ZORDER: front.exe",
                                                   L"TaskButton ZORDER: [minimized] min.exe"}));
}

TEST_F(DebugToolsTest, TasksDumpDumpsTaskbarWindowsAndNamesTheOthers) {
  AddProgram(L"under.exe");
  const WindowHandle self = AddSelf();
  AddProgram(L"app.exe");
  sim::WindowSpec tool;
  tool.exStyle = wc::WS_EX_TOOLWINDOW;
  const WindowHandle fg = AddProgram(L"tool.exe", tool);
  sim.SetForeground(fg);
  ResetLogState();

  TasksDump(self);

  EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"Skipping tool.exe", L"  WS_EX_WINDOWEDGE", L"[app.exe]-----"}));
}

// Clicking one of its buttons makes the debug window the foreground window.
TEST_F(DebugToolsTest, TaskbarWalksWithItselfInFrontStartWithItselfAndGoOnBelow) {
  AddProgram(L"under.exe");
  const WindowHandle self = AddSelf();
  sim.SetForeground(self);

  ResetLogState();
  TaskButtonsListing(self);
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{kRule, L"TaskButton ZORDER: Tessary.exe",
                                                   L"TaskButton ZORDER: under.exe"}));

  ResetLogState();
  TasksDump(self);
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"  WS_EX_APPWINDOW", L"[Tessary.exe]-----", L"  WS_EX_WINDOWEDGE",
                                                   L"[under.exe]-----"}));
}

TEST_F(DebugToolsTest, CheckKeysReleasesHeldModifiers) {
  const std::wstring allUp = L"LWN [False False] SHIFT [False False] CTRL [False False] ALT [False False]";
  CheckKeys();
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"Start " + allUp, L"End   " + allUp}));
  EXPECT_TRUE(sim.KeyEvents().empty());

  ResetLogState();
  sim.SetKeyQueueState(wc::VK_LSHIFT, true);
  CheckKeys();
  EXPECT_EQ(Messages(),
            (std::vector<std::wstring>{L"Start LWN [False False] SHIFT [True True] CTRL [False False] ALT [False False]",
                                       L"End   " + allUp}));
}

TEST_F(DebugToolsTest, ExStyleDumpNamesTheSetFlagsThenTheProgram) {
  sim::WindowSpec desc;
  desc.exStyle = wc::WS_EX_TOPMOST | wc::WS_EX_APPWINDOW;
  const WindowHandle h = AddProgram(L"styled.exe", desc);
  ResetLogState();

  AppendLogEXStyle(h);

  EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"  WS_EX_TOPMOST", L"  WS_EX_APPWINDOW", L"[styled.exe]-----"}));
}

}  // namespace
}  // namespace tessary::test
