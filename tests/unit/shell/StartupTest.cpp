#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/AppState.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitStartup.h"
#include "ShellFixture.h"

namespace tessary {
namespace {

using namespace tessary::wc;

class StartupTest : public test::ShellFixture {
 protected:
  // Position of the newest log line containing part, counted from the oldest; -1 if none.
  int LogIndex(const std::wstring& part) {
    const auto lines = LogLines();  // newest first
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].find(part) != std::wstring::npos) return static_cast<int>(lines.size() - 1 - i);
    return -1;
  }

  // Keeps the message loop busy so that only the instance window's end (or termination) can end
  // it; a safety quit stops a loop that would otherwise run forever.
  void KeepLoopBusy() {
    ticker = sim.CreateWindowExW(0, L"Ticker", L"", WS_POPUP, 0, 0, 10, 10, 0,
                                 [this](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
                                   if (msg == WM_TIMER && ++ticks > 1000) sim.PostQuitMessage(0);
                                   return 0;
                                 });
    sim.SetTimer(ticker, 1, 100);
  }

  WindowHandle ticker = 0;
  int ticks = 0;
};

struct FirstStartCase {
  const char* name;
  std::vector<std::wstring> args;
  char monitor;  // where the foreground program ends up
  size_t boxes;  // help boxes shown
};

class FirstStartTest : public StartupTest, public ::testing::WithParamInterface<FirstStartCase> {};

TEST_P(FirstStartTest, ActsOnItsCommandLineThenShowsTheMainWindowAndRunsTheLoop) {
  const FirstStartCase& c = GetParam();
  sim.SetCommandLineArgs(c.args);
  int shows = 0;
  char monitorAtShow = '?';
  size_t boxesAtShow = 0;
  WindowHandle instanceAtShow = 0;
  SetShowMainWindowHandler([&] {
    ++shows;
    monitorAtShow = EditorMonitor();
    boxesAtShow = sim.MessageBoxes().size();
    instanceAtShow = sim.FindWindowW(TFrmDummyInstance::ClassName, L"");
  });

  EXPECT_EQ(RunApplication(), 0);

  EXPECT_TRUE(IsFirstInstance());
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(monitorAtShow, c.monitor) << "the command line is handled before the main window shows";
  EXPECT_EQ(boxesAtShow, c.boxes);
  EXPECT_NE(instanceAtShow, 0u);
  EXPECT_EQ(EditorMonitor(), c.monitor);
  ASSERT_EQ(sim.MessageBoxes().size(), c.boxes);
  if (c.boxes) {
    EXPECT_EQ(sim.MessageBoxes().back().owner, instanceAtShow);
  }
  EXPECT_GE(sim.CallCount("PumpOneMessage"), 1);
  std::wstring joined;
  for (const auto& a : c.args) joined += a + L" ";
  EXPECT_EQ(CommandLineText(), joined);
  // Mutex first, then the command line, then the loop.
  const int mutex = LogIndex(L"CI: mutex Tessary.exe error 0 first");
  const int loopEnd = LogIndex(L"SU: message loop ended");
  EXPECT_GE(mutex, 0);
  EXPECT_GT(loopEnd, mutex);
  if (!c.args.empty()) {
    const int line = LogIndex(L"HCL: " + joined);
    EXPECT_GT(line, mutex);
    EXPECT_LT(line, loopEnd);
  }
  SetShowMainWindowHandler(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Cases, FirstStartTest,
                         ::testing::Values(FirstStartCase{"MoveRight", {L"-mf", L"right"}, 'C', 0},
                                           FirstStartCase{"DataFolderWord", {L"-data"}, 'B', 1},
                                           FirstStartCase{"NoArguments", {}, 'B', 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(StartupTest, LoopEndsWhenTheInstanceWindowCloses) {
  KeepLoopBusy();
  sim.At(1000, [this] { sim.PostMessageW(sim.FindWindowW(TFrmDummyInstance::ClassName, L""), WM_CLOSE, 0, 0); });
  const uint32_t start = sim.GetTickCount();

  EXPECT_EQ(RunApplication(), 0);

  EXPECT_EQ(sim.GetTickCount() - start, 1000u);
  EXPECT_LT(ticks, 1000) << "the loop ran on after the close";
  EXPECT_EQ(sim.FindWindowW(TFrmDummyInstance::ClassName, L""), 0u);
  EXPECT_EQ(FrmDummyInstance()->Handle(), 0u);
  EXPECT_GE(LogIndex(L"UnitFrmInstance Destroy"), 0);
}

TEST_F(StartupTest, LoopEndsWhenTerminationIsAskedFor) {
  KeepLoopBusy();
  sim.At(1000, [] { SetTerminating(true); });
  const uint32_t start = sim.GetTickCount();

  EXPECT_EQ(RunApplication(), 0);

  EXPECT_LE(sim.GetTickCount() - start, 1100u);
  EXPECT_LT(ticks, 1000);
  // The windows still go, in order.
  EXPECT_EQ(sim.FindWindowW(TFrmDummyInstance::ClassName, L""), 0u);
  const int loopEnd = LogIndex(L"SU: message loop ended");
  EXPECT_GE(loopEnd, 0);
  EXPECT_GT(LogIndex(L"UnitFrmInstance Destroy"), loopEnd);
}

TEST_F(StartupTest, FirstStartWithoutItsInstanceWindowEndsWithAnError) {
  sim.FailOperation("CreateWindowExW", ERROR_NOT_ENOUGH_MEMORY);
  sim.SetCommandLineArgs({L"-mf", L"right"});

  EXPECT_EQ(RunApplication(), 1);

  EXPECT_EQ(EditorMonitor(), 'B');
  EXPECT_EQ(sim.CallCount("PumpOneMessage"), 0);
  EXPECT_GE(LogIndex(L"FDI: could not create the instance window"), 0);
}

}  // namespace
}  // namespace tessary
