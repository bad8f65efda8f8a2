#include <algorithm>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "MovingFixture.h"
#include "core/UnitMonitors.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitMove.h"

namespace tessary {
namespace {

using Lines = std::vector<std::wstring>;

// A 1920x1080 primary at the origin and a 2560x1440 monitor to its right.
class MoveTest : public test::MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 4480, 1440}});
    TMonitors::GatherMonitorsInfo();
    ResetLogState();
  }
  static bool Right(WindowHandle h) { return TMove::MoveProgramRight(h, false); }
  static std::wstring Hex(WindowHandle h) {
    wchar_t buf[32];
    std::swprintf(buf, 32, L"%llx", static_cast<unsigned long long>(h));
    return buf;
  }
};

TEST_F(MoveTest, KeepsThePlaceRelativeToTheMonitorBothWays) {
  const WindowHandle h = AddApp({480, 270, 1440, 810});
  sim.SetForeground(h);
  const WindowHandle above = AddApp({0, 0, 100, 100});

  EXPECT_TRUE(TMove::MoveProgramRight(0, false));
  EXPECT_EQ(RectOf(h), (TRect{2560, 360, 3840, 1080}));
  EXPECT_EQ(Log(), (Lines{L"MP: captured " + Hex(h) + L" app.exe [480, 270, 1440, 810] monitor 0; nothing placed before",
                          L"MP: monitor [1] perc TL [0.250000 0.250000] perc WDHT [0.500000 x 0.500000]",
                          L"MP: monitor [1] new TL [360, 2560]  new WDHT [1280 x 720]"}));
  const auto z = sim.ZOrder();  // the last step raises it
  EXPECT_LT(std::find(z.begin(), z.end(), h), std::find(z.begin(), z.end(), above));

  EXPECT_FALSE(Right(h));
  EXPECT_EQ(Log().back(), L"MP: resizing failed :(0) The operation completed successfully");
  EXPECT_TRUE(Logged(L"MP: No Next Monitor"));
  EXPECT_EQ(RectOf(h), (TRect{2560, 360, 3840, 1080}));

  sim.AdvanceTime(250);
  EXPECT_TRUE(TMove::MoveProgramLeft(h, false));
  EXPECT_EQ(RectOf(h), (TRect{480, 270, 1440, 810}));
  EXPECT_EQ(TMove::getLastError(), 0u);
  // What the move read, beside the move before it: the time counts from that placement's end.
  EXPECT_TRUE(Logged(L"MP: captured " + Hex(h) + L" app.exe [2560, 360, 3840, 1080] monitor 1; placed last " + Hex(h) +
                     L" [2560, 360, 3840, 1080] 270 ms ago"));
}

// Right after a move, a window that reads the place it was taken from is a window manager's late
// answer (it waits for another read), while any other place is a real one (the user dragged it):
// that one is moved from at once.
TEST_F(MoveTest, OnlyAPlaceTheWindowWasJustTakenFromIsReadAgain) {
  const TRect left{0, 0, 1920, 1080}, right{1920, 0, 4480, 1440};
  const TRect home{480, 270, 1440, 810}, sent{2560, 360, 3840, 1080};
  struct Case {
    const char* name;
    TRect seen;     // what the window reads right after the move to the right
    uint32_t back;  // when it reads the place it was sent to again (0: never)
    uint32_t waited;
    bool moved;     // the move to the left then finds a monitor there
  } cases[] = {
      {"dragged elsewhere on the right", {2000, 100, 2960, 640}, 0, 0, true},
      {"the place it left, for 300 ms", home, 300, 300, true},
      // After the wait the read counts: it is on the left monitor, with none further left.
      {"the place it left, for good", home, 0, TMove::EchoWaitMs, false},
  };
  for (const Case& c : cases) {
    TMove::Reset();
    const WindowHandle h = AddApp(home);
    ASSERT_TRUE(Right(h)) << c.name;
    ASSERT_EQ(RectOf(h), sent);
    sim.MoveWindowAsSystem(h, c.seen);
    if (c.back) sim.At(c.back, [&] { sim.MoveWindowAsSystem(h, sent); });
    const uint32_t t0 = sim.GetTickCount();
    ResetLogState();
    EXPECT_EQ(TMove::MoveProgramLeft(h, false), c.moved) << c.name;
    // The wait ends with the 20 ms step that reads another place; the move then sleeps 10 ms.
    const uint32_t took = sim.GetTickCount() - t0;
    EXPECT_GE(took, c.waited) << c.name;
    EXPECT_LE(took, c.waited + TMove::EchoStepMs + 10) << c.name;
    const auto log = Log();
    const bool readAgain = std::any_of(log.begin(), log.end(), [](const std::wstring& l) {
      return l.rfind(L"MP: read [480, 270, 1440, 810], a place it left ", 0) == 0;
    });
    EXPECT_EQ(readAgain, c.waited > 0) << c.name;
    if (c.moved) {
      EXPECT_EQ(RectOf(h), c.back ? home : MapRect(c.seen, right, left)) << c.name;
    }
    sim.RemoveWindow(h);
  }
}

// A monitor goes (or another takes its place) without a change of layout: the lists made before
// would send the window where no monitor shows it.
TEST_F(MoveTest, AMonitorChangedSinceTheListsWereMadeIsReadAgain) {
  const WindowHandle h = AddApp({480, 270, 1440, 810});
  sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}, {3840, 0, 5760, 1080}});
  TMonitors::GatherMonitorsInfo();
  sim.RemoveMonitor(sim.EnumMonitors()[1].handle);  // the middle one goes
  EXPECT_TRUE(Right(h));
  EXPECT_EQ(RectOf(h), (TRect{4320, 270, 5280, 810})) << "to the monitor that is there now";
  EXPECT_TRUE(Logged(L"GMI: the monitors changed"));

  sim.RemoveMonitor(sim.EnumMonitors()[1].handle);  // only the primary is left
  EXPECT_FALSE(TMove::MoveProgramLeft(h, false));
  EXPECT_EQ(RectOf(h), (TRect{4320, 270, 5280, 810}));
  EXPECT_TRUE(Logged(L"MP: No Next Monitor"));
}

TEST_F(MoveTest, NextWrapsFromTheLastMonitorToTheFirst) {
  const WindowHandle h = AddApp({2560, 360, 3840, 1080});
  EXPECT_TRUE(TMove::MoveProgramNext(h, false));
  EXPECT_EQ(RectOf(h), (TRect{480, 270, 1440, 810}));
  EXPECT_TRUE(TMove::MoveProgramNext(h, false));
  EXPECT_EQ(RectOf(h), (TRect{2560, 360, 3840, 1080}));
}

TEST_F(MoveTest, StackedMonitorsMoveUpAndDown) {
  sim.SetLayout({{0, 0, 1920, 1080}, {0, 1080, 1920, 2160}});
  TMonitors::GatherMonitorsInfo();
  const WindowHandle h = AddApp({480, 270, 1440, 810});
  EXPECT_FALSE(TMove::MoveProgramUp(h, false));
  EXPECT_TRUE(TMove::MoveProgramDown(h, false));
  EXPECT_EQ(RectOf(h), (TRect{480, 1350, 1440, 1890}));
  EXPECT_TRUE(TMove::MoveProgramUp(h, false));
  EXPECT_EQ(RectOf(h), (TRect{480, 270, 1440, 810}));
}

TEST_F(MoveTest, MaximizedLandsOnTheNeighboursCornerWithItsSizeScaled) {
  // Work area 1920x1050: the maximized frame overhangs it by 8 pixels on each side.
  sim.ClearMonitors();
  sim.AddMonitor({0, 0, 1920, 1080}, TRect{0, 0, 1920, 1050});
  sim.AddMonitor({1920, 0, 4480, 1440});
  sim::WindowSpec desc;
  desc.maximized = true;
  const WindowHandle h = AddApp({100, 100, 900, 700}, desc);
  ASSERT_EQ(RectOf(h), (TRect{-8, -8, 1928, 1058}));

  EXPECT_TRUE(Right(h));
  // 2560 * 1936/1920 and 1440 * 1066/1080, truncated; the corner is not offset by the overhang.
  EXPECT_EQ(RectOf(h), (TRect{1920, 0, 1920 + 2581, 1421}));
  EXPECT_TRUE(sim.IsZoomed(h));
  EXPECT_EQ(Log().front(), L"Program [app.exe] min [False] max [True] ");
}

TEST_F(MoveTest, MinimizedIsLoggedAndNeverMoved) {
  sim::WindowSpec desc;
  desc.minimized = true;
  const WindowHandle h = AddApp({480, 270, 1440, 810}, desc);
  EXPECT_FALSE(Right(h));
  EXPECT_EQ(Log(), (Lines{L"Program [app.exe] min [True] max [False] "}));
  EXPECT_EQ(sim.CallCount(Op::SetWindowPos), 0);
  EXPECT_EQ(sim.RestoreRect(h), (TRect{480, 270, 1440, 810}));
}

TEST_F(MoveTest, DesktopShellAndTaskbarAreRefused) {
  const WindowHandle taskbar = sim.FindWindowW(L"Shell_TrayWnd", L"");
  ASSERT_NE(taskbar, 0u);
  struct Case {
    const char* name;
    WindowHandle h;
  } cases[] = {{"desktop", sim.GetDesktopWindow()}, {"shell", sim.GetShellWindow()}, {"taskbar", taskbar}};
  for (const Case& c : cases) {
    ResetLogState();
    EXPECT_FALSE(Right(c.h)) << c.name;
    EXPECT_EQ(Log(), (Lines{L"MP: skipping shell"})) << c.name;
  }
  EXPECT_EQ(sim.CallCount(Op::SetWindowPos), 0);
}

TEST_F(MoveTest, ExplorerWindowsAreTheShellOnlyWhenTheyCoverTheWorkArea) {
  sim::WindowSpec desc;
  desc.pid = sim.AddProcess(L"EXPLORER.EXE");
  const WindowHandle covering = AddApp({0, 0, 1920, 1040}, desc);
  const WindowHandle folder = AddApp({100, 100, 900, 700}, desc);
  EXPECT_TRUE(TMove::IsShellOrDesktop(covering));
  EXPECT_FALSE(TMove::IsShellOrDesktop(folder));
  EXPECT_TRUE(Right(folder));
  // A dialog owned by the desktop's shell window belongs to the shell.
  sim::WindowSpec owned;
  owned.style = wc::WS_POPUP | wc::WS_CAPTION;
  owned.owner = sim.GetShellWindow();
  EXPECT_TRUE(TMove::IsShellOrDesktop(AddApp({10, 10, 200, 200}, owned)));
}

TEST_F(MoveTest, WithoutAForegroundWindowNothingMoves) {
  const WindowHandle h = AddApp({480, 270, 1440, 810});
  ASSERT_EQ(sim.GetForegroundWindow(), 0u);
  EXPECT_FALSE(TMove::MoveProgramRight(0, true));  // makeForeground is ignored for 0
  EXPECT_EQ(Log(), (Lines{L"GI: failed to get foreground window :(0) The operation completed successfully",
                          L"MP: skipping shell"}));
  EXPECT_EQ(sim.SleepCalls(), 10u);  // the capture waited ~200 ms for a foreground window
  EXPECT_EQ(RectOf(h), (TRect{480, 270, 1440, 810}));
}

TEST_F(MoveTest, MakeForegroundMovesOnlyTheWindowAskedFor) {
  const WindowHandle h = AddApp({480, 270, 1440, 810});
  sim::WindowSpec otherDesc;
  otherDesc.pid = sim.AddProcess(L"other.exe");
  const WindowHandle other = AddApp({0, 0, 800, 600}, otherDesc);

  sim.SetForeground(other);  // our process is allowed while it is joined to the front thread
  EXPECT_TRUE(TMove::MoveProgramRight(h, true));
  EXPECT_EQ(sim.GetForegroundWindow(), h);
  EXPECT_EQ(RectOf(h), (TRect{2560, 360, 3840, 1080}));

  // The user clicked the other program and joining its input fails: h cannot come to the front.
  sim.SetForeground(other);
  sim.FailOperation(Op::AttachThreadInput, wc::ERROR_ACCESS_DENIED, -1);
  ResetLogState();
  EXPECT_FALSE(TMove::MoveProgramLeft(h, true));
  EXPECT_EQ(sim.GetForegroundWindow(), other);
  EXPECT_EQ(RectOf(other), (TRect{0, 0, 800, 600}));
  EXPECT_EQ(RectOf(h), (TRect{2560, 360, 3840, 1080}));
  EXPECT_EQ(Log().front().rfind(L"MP: makeforground failed :(", 0), 0u);
  EXPECT_TRUE(Log().size() >= 2 && Log()[Log().size() - 2].rfind(L"MP: makeForeground, but not focused   :(", 0) == 0);
}

// Which placement step fails decides the result; RedrawWindow never does. Each failure is kept
// as the mover's last error.
TEST_F(MoveTest, WhichPlacementStepDecides) {
  struct Case {
    const char* name;
    int failingSetWindowPos;  // 1..3, 0: none
    bool redrawFails;
    bool result;
    int setWindowPosCalls;
    int redrawCalls;
    const wchar_t* failureLine;
    TRect after;
  } cases[] = {
      // Sized on the old monitor but not moved: not a success.
      {"move fails", 1, false, false, 3, 1, L"MP: SetWindowPos1 failed  :(", {480, 270, 1760, 990}},
      {"resize fails", 2, false, false, 2, 0, L"MP: SetWindowPos2 failed  :(", {2560, 360, 3840, 1080}},
      {"redraw fails", 0, true, true, 3, 1, L"MP: RedrawWindow failed :(", {2560, 360, 3840, 1080}},
      {"frame fails", 3, false, false, 3, 1, L"MP: SetWindowPos3 failed  :(", {2560, 360, 3840, 1080}},
  };
  uint32_t code = 1000;
  for (const auto& c : cases) {
    ResetLogState();
    const WindowHandle h = AddApp({480, 270, 1440, 810});
    sim.ResetCallCounts();
    ++code;
    if (c.failingSetWindowPos > 0) sim.FailOperation(Op::SetWindowPos, code, 1, c.failingSetWindowPos - 1);
    if (c.redrawFails) sim.FailOperation(Op::RedrawWindow, code);

    EXPECT_EQ(TMove::ResizeMove(h, {2560, 360, 3840, 1080}), c.result) << c.name;
    EXPECT_EQ(sim.CallCount(Op::SetWindowPos), c.setWindowPosCalls) << c.name;
    EXPECT_EQ(sim.CallCount(Op::RedrawWindow), c.redrawCalls) << c.name;
    EXPECT_EQ(TMove::getLastError(), code) << c.name;
    ASSERT_EQ(Log().size(), 1u) << c.name;
    EXPECT_EQ(Log()[0].rfind(std::wstring(c.failureLine) + std::to_wstring(code) + L")", 0), 0u)
        << c.name << ": " << std::string(Log()[0].begin(), Log()[0].end());
    EXPECT_EQ(RectOf(h), c.after) << c.name;
    sim.RemoveWindow(h);
  }
}

TEST_F(MoveTest, AnElevatedProgramIsRefusedAndTheErrorOutlivesLaterSuccesses) {
  sim::WindowSpec desc;
  desc.pid = sim.AddProcess(L"admin.exe", wc::SECURITY_MANDATORY_HIGH_RID);
  const WindowHandle elevated = AddApp({480, 270, 1440, 810}, desc);
  EXPECT_FALSE(Right(elevated));
  EXPECT_EQ(Log(), (Lines{
                       L"MP: captured " + Hex(elevated) + L" admin.exe [480, 270, 1440, 810] monitor 0; nothing placed before",
                       L"MP: monitor [1] perc TL [0.250000 0.250000] perc WDHT [0.500000 x 0.500000]",
                       L"MP: SetWindowPos1 failed  :(5) Access is denied",
                       L"MP: SetWindowPos2 failed  :(5) Access is denied",
                       L"MP: ResizeMove Failed",
                       L"MP: monitor [1] new TL [360, 2560]  new WDHT [1280 x 720]",
                       L"MP: resizing failed :(5) Access is denied",
                   }));
  EXPECT_EQ(TMove::getLastError(), wc::ERROR_ACCESS_DENIED);
  EXPECT_EQ(RectOf(elevated), (TRect{480, 270, 1440, 810}));

  EXPECT_TRUE(Right(AddApp({480, 270, 1440, 810})));
  EXPECT_EQ(TMove::getLastError(), wc::ERROR_ACCESS_DENIED);
}

// A program recorded with its top-left at a quarter of the monitor and half its size.
TProgramInfo CentredQuarter(WindowHandle h, int32_t monitorID) {
  TProgramInfo info;
  info.hwnd = h;
  info.monitorID = monitorID;
  info.leftpercent = info.toppercent = 0.25;
  info.wdpercent = info.htpercent = 0.5;
  return info;
}

TEST_F(MoveTest, AVanishedWindowIsAFailedMove) {
  const WindowHandle h = AddApp({480, 270, 1440, 810});
  TProgramInfo recorded = CentredQuarter(h, 1);
  sim.RemoveWindow(h);

  EXPECT_FALSE(TMove::RestoreProgram(recorded));
  EXPECT_EQ(TMove::getLastError(), wc::ERROR_INVALID_WINDOW_HANDLE);

  ResetLogState();
  EXPECT_FALSE(Right(h));
  EXPECT_TRUE(Logged(L"MP: No Next Monitor"));  // its monitor is unknown (-1)
  EXPECT_EQ(Log().back().rfind(L"MP: resizing failed", 0), 0u);
}

TEST_F(MoveTest, RestorePutsTheWindowBackAtItsFractions) {
  const WindowHandle h = AddApp({2560, 360, 3840, 1080});
  TProgramInfo recorded = CentredQuarter(h, 0);
  EXPECT_TRUE(TMove::RestoreProgram(recorded));
  EXPECT_EQ(RectOf(h), (TRect{480, 270, 1440, 810}));
  EXPECT_TRUE(Log().empty());

  sim.FailOperation(Op::SetWindowPos, 7, 1);
  EXPECT_FALSE(TMove::RestoreProgram(recorded));
  recorded.monitorID = 2;  // that monitor is gone
  EXPECT_FALSE(TMove::RestoreProgram(recorded));
  EXPECT_EQ(Log().back(), L"RP: original monitor not found");
  EXPECT_EQ(TMove::getLastError(), 7u);  // untouched by the lookup failure
}

// A program that stopped taking its messages: every placement step would wait for it (as long as
// it does not respond). The move asks it first and leaves it where it is.
TEST_F(MoveTest, AProgramThatDoesNotRespondIsLeftWhereItIsAtOnce) {
  sim::WindowSpec desc;
  desc.pid = sim.AddProcess(L"stuck.exe");
  const WindowHandle h = AddApp({480, 270, 1440, 810}, desc);
  sim.SetForeground(h);
  struct Case {
    const char* name;
    uint32_t hungFor;  // how long it has not taken its messages
    std::function<bool()> move;
    uint32_t waited;  // virtual time the question took
  } cases[] = {
      {"foreground, counted as hung", sim::SimDesktop::kCountedHungMs, [] { return TMove::MoveProgramRight(0, false); }, 0},
      {"given window, counted as hung", sim::SimDesktop::kCountedHungMs, [h] { return TMove::MoveProgramNext(h, false); },
       0},
      // Not yet counted as hung: the question waits out its time-out, once.
      {"just stopped", 0, [] { return TMove::MoveProgramRight(0, false); }, TFocusManager::RespondTimeoutMs},
  };
  for (const Case& c : cases) {
    ResetLogState();
    TMove::Reset();
    sim.SetHung(h, true, c.hungFor);
    const uint32_t t0 = sim.GetTickCount();
    EXPECT_FALSE(c.move()) << c.name;
    EXPECT_EQ(sim.GetTickCount() - t0, c.waited) << c.name;
    EXPECT_TRUE(sim.HangsSuffered().empty()) << c.name;
    EXPECT_EQ(RectOf(h), (TRect{480, 270, 1440, 810})) << c.name;
    EXPECT_EQ(Log(), (Lines{L"MP: captured " + Hex(h) + L" stuck.exe [480, 270, 1440, 810] monitor 0; nothing placed before",
                            L"MP: not responding, not moved: stuck.exe :(1460) This operation returned because the "
                            L"timeout period expired"}))
        << c.name;
    EXPECT_EQ(TMove::getLastError(), wc::ERROR_TIMEOUT) << c.name;
  }
  // Placing it directly is refused the same way.
  ResetLogState();
  EXPECT_FALSE(TMove::ResizeMove(h, {2560, 360, 3840, 1080}));
  EXPECT_EQ(Log(), (Lines{L"MP: not responding  :(1460) This operation returned because the timeout period expired"}));
  EXPECT_TRUE(sim.HangsSuffered().empty());

  // Responding again, it moves.
  sim.SetHung(h, false);
  EXPECT_TRUE(TMove::MoveProgramRight(0, false));
  EXPECT_EQ(RectOf(h), (TRect{2560, 360, 3840, 1080}));
}

// The Monitor Watcher restores program after program: one that does not respond fails at once with
// its own error code, and the others are restored.
TEST_F(MoveTest, RestoreFailsAtOnceForAProgramThatDoesNotRespondAndTheOthersGoBack) {
  sim::WindowSpec desc;
  desc.pid = sim.AddProcess(L"stuck.exe");
  const WindowHandle first = AddApp({2560, 360, 3840, 1080});
  const WindowHandle stuck = AddApp({2560, 360, 3840, 1080}, desc);
  const WindowHandle last = AddApp({2560, 360, 3840, 1080});
  sim.SetHung(stuck, true);

  EXPECT_TRUE(TMove::RestoreProgram(CentredQuarter(first, 0)));
  TProgramInfo recorded = CentredQuarter(stuck, 0);
  recorded.EXEName = L"stuck.exe";
  const uint32_t t0 = sim.GetTickCount();
  EXPECT_FALSE(TMove::RestoreProgram(recorded));
  EXPECT_EQ(sim.GetTickCount(), t0);
  EXPECT_EQ(TMove::getLastError(), wc::ERROR_TIMEOUT);
  EXPECT_EQ(Log(), (Lines{L"RP: not responding, not restored: stuck.exe :(1460) This operation returned because the "
                          L"timeout period expired"}));
  EXPECT_TRUE(TMove::RestoreProgram(CentredQuarter(last, 0)));

  EXPECT_EQ(RectOf(first), (TRect{480, 270, 1440, 810}));
  EXPECT_EQ(RectOf(stuck), (TRect{2560, 360, 3840, 1080}));
  EXPECT_EQ(RectOf(last), (TRect{480, 270, 1440, 810}));
  EXPECT_TRUE(sim.HangsSuffered().empty());

  // The recorded monitor is looked up first: gone, the window is not asked and the code stays.
  recorded.monitorID = 2;
  ResetLogState();
  EXPECT_FALSE(TMove::RestoreProgram(recorded));
  EXPECT_EQ(Log(), (Lines{L"RP: original monitor not found"}));
}

}  // namespace
}  // namespace tessary
