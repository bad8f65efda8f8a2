#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ShellFixture.h"
#include "core/AppState.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitFrmDebug.h"
#include "shell/UnitFrmAbout.h"
#include "shell/UnitFrmHotkey.h"
#include "shell/UnitFrmMain.h"
#include "shell/UnitMisc.h"
#include "shell/UnitStartup.h"
#include "ui/Ui.h"
#include "ui/headless/Headless.h"
#include "watcher/UnitFrmMonitorEvent.h"

namespace tessary {
namespace {

using namespace tessary::wc;

class StartupTest : public test::ShellFixture {
 protected:
  void SetUp() override {
    ShellFixture::SetUp();
    sim.SetLocalTimeText(L"T");
    widgets.emplace(sim);
  }
  void TearDown() override {
    widgets.reset();
    ShellFixture::TearDown();
  }

  // Runs action at the virtual time ms after now, from inside the message loop.
  void During(uint32_t ms, std::function<void()> action) { sim.At(sim.GetTickCount() + ms, std::move(action)); }

  // The log's messages, oldest first, without the time prefix.
  static std::vector<std::wstring> Messages() {
    std::vector<std::wstring> out;
    const auto lines = LogLines();
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      const size_t blank = it->find(L' ');
      out.push_back(blank == std::wstring::npos ? *it : it->substr(blank + 1));
    }
    return out;
  }

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

  std::optional<ui::headless::HeadlessUi> widgets;
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
  bool mainVisible = false;
  WindowHandle instanceInLoop = 0;
  During(500, [&] {
    mainVisible = FrmMain() != nullptr && FrmMain()->Visible();
    instanceInLoop = sim.FindWindowW(TFrmDummyInstance::ClassName, L"");
    ui::app::Terminate();
  });

  EXPECT_EQ(RunApplication(), 0);

  EXPECT_TRUE(IsFirstInstance());
  EXPECT_TRUE(mainVisible);
  EXPECT_NE(instanceInLoop, 0u);
  EXPECT_EQ(EditorMonitor(), c.monitor);
  ASSERT_EQ(sim.MessageBoxes().size(), c.boxes);
  if (c.boxes) {
    EXPECT_EQ(sim.MessageBoxes().back().owner, instanceInLoop);
  }
  EXPECT_GE(sim.CallCount(Op::PumpOneMessage), 1);
  std::wstring joined;
  for (const auto& a : c.args) joined += a + L" ";
  EXPECT_EQ(CommandLineText(), joined);
  // Mutex first, then the command line, then the main window, then the loop.
  const int mutex = LogIndex(L"CI: mutex Tessary.exe error 0 first");
  const int show = LogIndex(L"SU: show main window");
  const int loopEnd = LogIndex(L"SU: message loop ended");
  EXPECT_GE(mutex, 0);
  EXPECT_GT(show, mutex);
  EXPECT_GT(loopEnd, show);
  if (!c.args.empty()) {
    const int line = LogIndex(L"HCL: " + joined);
    EXPECT_GT(line, mutex);
    EXPECT_LT(line, show) << "the command line is handled before the main window shows";
  }
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
  sim.FailOperation(Op::CreateWindowExW, ERROR_NOT_ENOUGH_MEMORY);
  sim.SetCommandLineArgs({L"-mf", L"right"});

  EXPECT_EQ(RunApplication(), 1);

  EXPECT_EQ(EditorMonitor(), 'B');
  EXPECT_EQ(sim.CallCount(Op::PumpOneMessage), 0);
  EXPECT_GE(LogIndex(L"FDI: could not create the instance window"), 0);
}

TEST_F(StartupTest, TheWindowsAreCreatedInOrderAndLiveUntilTheLoopEnds) {
  WindowHandle instance = 0, monitorEvent = 0, frmMain = 0, about = 0, debug = 0, hotkey = 0;
  During(1000, [&] {
    instance = sim.FindWindowW(TFrmDummyInstance::ClassName, L"");
    monitorEvent = sim.FindWindowW(TFrmMonitorEvent::ClassName, L"");
    EXPECT_EQ(FrmMonitorEvent() ? FrmMonitorEvent()->Handle() : 0, monitorEvent);
    EXPECT_FALSE(sim.IsWindowVisible(monitorEvent));
    frmMain = sim.FindWindowW(TFrmMain::ClassName, L"");
    about = sim.FindWindowW(TFrmAbout::ClassName, L"");
    debug = sim.FindWindowW(TFrmDebug::ClassName, L"");
    hotkey = sim.FindWindowW(TFrmHotkey::ClassName, L"");
    EXPECT_EQ(FrmHotkey() ? FrmHotkey()->Handle() : 0, hotkey);
    EXPECT_FALSE(sim.IsWindowVisible(hotkey));
    EXPECT_EQ(FrmMain() ? FrmMain()->Handle() : 0, frmMain);
    EXPECT_EQ(FrmAbout() ? FrmAbout()->Handle() : 0, about);
    EXPECT_EQ(FrmDebug() ? FrmDebug()->Handle() : 0, debug);
    EXPECT_FALSE(sim.IsWindowVisible(about));
    EXPECT_FALSE(sim.IsWindowVisible(debug));
    ui::app::Terminate();
  });

  EXPECT_EQ(RunApplication(), 0);

  ASSERT_NE(instance, 0u);
  ASSERT_NE(monitorEvent, 0u);
  ASSERT_NE(frmMain, 0u);
  ASSERT_NE(about, 0u);
  ASSERT_NE(debug, 0u);
  ASSERT_NE(hotkey, 0u);
  // The simulator hands out handles in creation order.
  EXPECT_LT(instance, monitorEvent);
  EXPECT_LT(monitorEvent, frmMain);
  EXPECT_LT(frmMain, about);
  EXPECT_LT(about, debug);
  EXPECT_LT(debug, hotkey);
  // Lines from before the debug window carry the mark, later ones do not.
  const auto lines = LogLines();
  auto lineOf = [&lines](const std::wstring& message) {
    for (const auto& l : lines)
      if (l.size() >= message.size() && l.compare(l.size() - message.size(), message.size(), message) == 0) return l;
    return std::wstring();
  };
  EXPECT_EQ(lineOf(L"TFrmMain Create"), L"T:(x) TFrmMain Create");
  EXPECT_EQ(lineOf(L"FrmAbout - creating"), L"T:(x) FrmAbout - creating");
  EXPECT_EQ(lineOf(L"SU: show main window"), L"T: SU: show main window");
  EXPECT_LT(LogIndex(L"TFrmMain Create"), LogIndex(L"FrmAbout - creating"));
  EXPECT_EQ(lineOf(L"FC: TFrmMonitorEvent"), L"T:(x) FC: TFrmMonitorEvent");
  EXPECT_LT(LogIndex(L"FC: Starting MonitorNum="), LogIndex(L"TFrmMain Create"));
  // Everything is gone, in the reverse order.
  for (const wchar_t* cls :
       {TFrmDummyInstance::ClassName, TFrmMonitorEvent::ClassName, TFrmMain::ClassName, TFrmAbout::ClassName,
        TFrmDebug::ClassName, TFrmHotkey::ClassName})
    EXPECT_EQ(sim.FindWindowW(cls, L""), 0u) << cls;
  EXPECT_EQ(FrmHotkey(), nullptr);
  EXPECT_EQ(FrmMonitorEvent(), nullptr);
  EXPECT_EQ(sim.CallCount(Op::UnregisterDeviceNotification), 1) << "the monitor registration went with its window";
  EXPECT_EQ(FrmMain(), nullptr);
  EXPECT_EQ(FrmAbout(), nullptr);
  EXPECT_EQ(FrmDebug(), nullptr);
  EXPECT_LT(LogIndex(L"UnitFrmDebug Destroy"), LogIndex(L"UnitFrmInstance Destroy"));
}

TEST_F(StartupTest, OneMonitorShowsTheMessageAndEndsWithoutRunningTheLoop) {
  sim.SetLayout({A});
  KeepLoopBusy();  // a loop that ran would keep going until the safety quit

  EXPECT_EQ(RunApplication(), 0);

  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text, L"Multiple Monitors required. Terminating");
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(sim.CallCount(Op::PumpOneMessage), 0);
  // The rest of start-up still ran: the remaining windows, the main window's show, then the end.
  EXPECT_GE(LogIndex(L"FrmAbout - creating"), 0);
  EXPECT_GT(LogIndex(L"SU: show main window"), LogIndex(L"FrmAbout - creating"));
  EXPECT_GT(LogIndex(L"SU: message loop ended"), LogIndex(L"SU: show main window"));
  EXPECT_GE(LogIndex(L"UnitFrmDebug Destroy"), 0);
  EXPECT_EQ(sim.FindWindowW(TFrmMain::ClassName, L""), 0u);
}

struct ShutdownCase {
  const char* name;
  bool autoSave;
  bool debugger;
};

class ShutdownTest : public StartupTest, public ::testing::WithParamInterface<ShutdownCase> {};

TEST_P(ShutdownTest, TheDebugWindowSavesAndTheUnitsNameThemselvesWhenTheLogIsKept) {
  const ShutdownCase& c = GetParam();
  sim.SetDebuggerPresent(c.debugger);
  During(1000, [&] {
    ASSERT_NE(FrmDebug(), nullptr);
    if (c.autoSave) {
      FrmDebug()->Show();
      EXPECT_TRUE(ui::headless::Click(*FrmDebug()->cbAutoSave));
    }
    ui::app::Terminate();
  });

  EXPECT_EQ(RunApplication(), 0);

  const std::vector<std::wstring> units = {L"UnitHotKey",   L"UnitFrmHotkey",    L"UnitFrmInstance", L"UnitIntegrity",    L"UnitMisc",
                                           L"UnitWideChar",    L"UnitSpecialPaths", L"UnitToken",
                                           L"UnitFocusManager"};
  const auto messages = Messages();
  const auto destroy = std::find(messages.begin(), messages.end(), L"UnitFrmDebug Destroy");
  ASSERT_NE(destroy, messages.end());
  std::vector<std::wstring> after(destroy, messages.end());
  std::vector<std::wstring> expected = {L"UnitFrmDebug Destroy"};
  if (c.autoSave) expected.push_back(L"UnitFrmDebug Autosave");
  expected.push_back(L"UnitFrmInstance Destroy");
  if (c.autoSave || c.debugger) expected.insert(expected.end(), units.begin(), units.end());
  EXPECT_EQ(after, expected);

  const std::wstring path = GetDataFolder() + L"Debug.txt";
  ASSERT_EQ(sim.FileExists(path), c.autoSave);
  if (c.autoSave) {
    const std::wstring saved = ReadUtf16File(path);
    EXPECT_EQ(saved.find(L"T: UnitFrmDebug Autosave\r\nT: UnitFrmDebug Destroy\r\n"), 0u);
    EXPECT_EQ(saved.find(L"UnitFrmInstance"), std::wstring::npos) << "saved before the instance window went";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ShutdownTest,
                         ::testing::Values(ShutdownCase{"Plain", false, false}, ShutdownCase{"AutoSave", true, false},
                                           ShutdownCase{"UnderADebugger", false, true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(StartupTest, TheDebugButtonOpensTheDebugWindowAndAnExceptionThereIsHandledAndTheProgramGoesOn) {
  int clicks = 0;
  bool debugShown = false;
  size_t boxesAfterFirst = 0;
  During(1000, [&] {
    ASSERT_NE(FrmMain(), nullptr);
    ASSERT_NE(FrmDebug(), nullptr);
    EXPECT_TRUE(ui::headless::Click(*FrmMain()->btnDebug));
    debugShown = FrmDebug()->Visible();
    FrmDebug()->btnKill->onClick = [&clicks] {
      if (++clicks == 1) throw std::runtime_error("List index out of bounds (3)");
    };
    ui::headless::Click(*FrmDebug()->btnKill);
    boxesAfterFirst = sim.MessageBoxes().size();
    ui::headless::Click(*FrmDebug()->btnKill);
  });
  During(2000, [] { ui::app::Terminate(); });

  EXPECT_EQ(RunApplication(), 0);

  EXPECT_TRUE(debugShown);
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(boxesAfterFirst, 1u);
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text, L"List index out of bounds (3)\r\n[Debug.txt] log created.");
  const std::wstring saved = ReadUtf16File(GetDataFolder() + L"Debug.txt");
  EXPECT_EQ(saved.find(L"T: List index out of bounds (3)\r\n"), 0u);
  EXPECT_GE(LogIndex(L"SU: message loop ended"), 0) << "the loop ran on to the end";
}

}  // namespace
}  // namespace tessary
