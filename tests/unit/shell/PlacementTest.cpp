// Where the main window opens (beside the taskbar at the cursor, or in the work area's corner)
// and which program it shows then.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "MainFixture.h"
#include "shell/UnitFrmAbout.h"

namespace tessary {
namespace {

// The left monitor is the primary with the shell's taskbar along its bottom (0,1040 - 1920,1080).
constexpr TRect Tray{0, 1040, 1920, 1080};
constexpr TRect LeftWork{0, 0, 1920, 1040};

class PlacementTest : public test::MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    tray = sim.FindWindowW(L"Shell_TrayWnd", L"");
    sim.GetWindowThreadProcessId(tray, &explorerPid);
  }

  // A bar of explorer.exe along a monitor's edge, above the ordinary windows.
  WindowHandle AddBar(const std::wstring& className, TRect rect) {
    sim::WindowSpec desc;
    desc.className = className;
    desc.rect = rect;
    desc.style = wc::WS_POPUP;
    desc.exStyle = wc::WS_EX_TOPMOST | wc::WS_EX_TOOLWINDOW;
    desc.pid = explorerPid;
    return sim.AddWindow(desc);
  }

  // The right monitor's work area (its bounds when no bar takes a strip of it).
  void RightWork(TRect work) {
    const auto monitors = sim.EnumMonitors();
    sim.SetMonitorBounds(monitors[1].handle, monitors[1].bounds, work);
  }

  TRect MainRect() { return RectOf(main->Handle()); }

  // Opens a 600 x 300 window (from the left monitor) with the cursor at p.
  void OpenAt(TPoint p) {
    main->SetBounds(100, 100, 600, 300);
    sim.SetCursor(p);
    main->FormShow();
  }

  int Count(const std::wstring& message) {
    const auto log = Log();
    return static_cast<int>(std::count(log.begin(), log.end(), message));
  }

  WindowHandle tray = 0;
  uint32_t explorerPid = 0;
};

TEST_F(PlacementTest, OpensBesideTheTaskbarAtTheCursor) {
  enum Edge { Bottom, Left, Right, Top };
  struct Case {
    const char* name;
    std::wstring barClass;  // empty: the shell's own taskbar
    TRect bar;
    TRect rightWork;
    TPoint cursor;
    Edge edge;
  } cases[] = {
      {"bottom taskbar", L"", Tray, MonRight, {1000, 1060}, Bottom},
      {"left edge", L"Shell_TrayWnd", {1920, 0, 1982, 1080}, {1982, 0, 3840, 1080}, {1950, 500}, Left},
      {"right edge", L"Shell_TrayWnd", {3778, 0, 3840, 1080}, {1920, 0, 3778, 1080}, {3800, 600}, Right},
      {"top edge", L"Shell_TrayWnd", {1920, 0, 3840, 40}, {1920, 40, 3840, 1080}, {2500, 20}, Top},
      // Any class: the bar and the work area make up the whole monitor.
      {"second monitor's bar of another class", L"Secondary.TaskbarWnd", {1920, 1040, 3840, 1080},
       {1920, 0, 3840, 1040}, {2500, 1060}, Bottom},
      {"left edge of another class", L"Secondary.TaskbarWnd", {1920, 0, 1982, 1080}, {1982, 0, 3840, 1080},
       {1950, 300}, Left},
  };
  for (const auto& c : cases) {
    RightWork(c.rightWork);
    const WindowHandle bar = c.barClass.empty() ? tray : AddBar(c.barClass, c.bar);
    OpenAt(c.cursor);
    const TRect r = MainRect();
    EXPECT_EQ(r.Width(), 600) << c.name;
    switch (c.edge) {
      case Bottom:
        EXPECT_EQ(r.Bottom, c.bar.Top) << c.name;
        EXPECT_EQ(r.Left, c.cursor.x - 300) << c.name;
        break;
      case Top:
        EXPECT_EQ(r.Top, c.bar.Bottom) << c.name;
        EXPECT_EQ(r.Left, c.cursor.x - 300) << c.name;
        break;
      case Left:
        EXPECT_EQ(r.Left, c.bar.Right) << c.name;
        EXPECT_EQ(r.Top, c.cursor.y - 150) << c.name;
        break;
      case Right:
        EXPECT_EQ(r.Right, c.bar.Left) << c.name;
        EXPECT_EQ(r.Top, c.cursor.y - 150) << c.name;
        break;
    }
    EXPECT_TRUE(Logged(L"TaskBar rect = " + RectToText(c.bar))) << c.name;
    if (bar != tray) sim.RemoveWindow(bar);
  }
}

TEST_F(PlacementTest, BottomTaskbarWithTheCursorAtX1000) {
  main->SetBounds(100, 100, 600, main->Height());
  sim.SetCursor({1000, 1060});
  main->FormShow();
  EXPECT_EQ(main->Left(), 700);
  EXPECT_EQ(main->Top() + main->Height(), Tray.Top);
}

TEST_F(PlacementTest, OddSizesCentreByTruncation) {
  // A vertical bar on the left monitor's left edge; the cursor's y less half of 301 (150).
  const WindowHandle bar = AddBar(L"Shell_TrayWnd", {0, 0, 62, 1040});
  (void)bar;
  main->SetBounds(100, 100, 601, 301);
  sim.SetCursor({30, 500});
  main->FormShow();
  EXPECT_EQ(MainRect(), (TRect{62, 350, 663, 651}));
}

TEST_F(PlacementTest, StaysInsideTheDesktopAtBothEndsOfATaskbar) {
  RightWork({1920, 0, 3840, 1040});
  AddBar(L"Shell_TrayWnd", {1920, 1040, 3840, 1080});
  struct Case {
    const char* name;
    TPoint cursor;
    int32_t left;
  } cases[] = {
      {"cursor at the right end", {3830, 1060}, 3840 - 600},
      {"cursor at the left end", {10, 1060}, 0},
      {"cursor near the middle", {1920, 1060}, 1620},
  };
  for (const auto& c : cases) {
    OpenAt(c.cursor);
    EXPECT_EQ(MainRect(), (TRect{c.left, 740, c.left + 600, 1040})) << c.name;
  }
}

TEST_F(PlacementTest, KeepInsideDesktopPullsTheWindowIn) {
  struct Case {
    const char* name;
    TRect before;
    TRect after;
  } cases[] = {
      {"inside", {100, 100, 700, 400}, {100, 100, 700, 400}},
      {"over the top-left corner", {-50, -20, 550, 280}, {0, 0, 600, 300}},
      {"over the bottom-right corner", {3500, 900, 4100, 1200}, {3240, 780, 3840, 1080}},
      // Larger than the desktop: right and bottom edges on the desktop's.
      {"larger than the desktop", {-10, -10, 3990, 1190}, {-160, -120, 3840, 1080}},
  };
  for (const auto& c : cases) {
    main->SetBounds(c.before.Left, c.before.Top, c.before.Width(), c.before.Height());
    ASSERT_EQ(MainRect(), c.before) << c.name;
    main->KeepInsideDesktop();
    EXPECT_EQ(MainRect(), c.after) << c.name;
  }
}

TEST_F(PlacementTest, TaskbarClickHandsTheForegroundBackToTheProgram) {
  sim.SetForeground(tray);  // the click on the taskbar made it the foreground window
  OpenAt({1000, 1060});
  EXPECT_EQ(sim.GetForegroundWindow(), app);
  EXPECT_EQ(main->fore.hwnd, app);
  EXPECT_EQ(main->lblProgram->Text(), L"app.exe");
  EXPECT_TRUE(Logged(L"HTC: Taskbar? = Shell_TrayWnd"));
}

TEST_F(PlacementTest, OrdinaryWindowUnderTheCursorMeansTheWorkAreaCorner) {
  sim::WindowSpec desc;
  desc.title = L"Other";
  const WindowHandle other = AddApp({1000, 200, 1600, 800}, desc);
  sim.SetForeground(tray);
  OpenAt({1500, 500});
  EXPECT_EQ(sim.WindowFromPoint({1500, 500}), other);
  EXPECT_EQ(sim.GetForegroundWindow(), tray);  // untouched
  EXPECT_EQ(MainRect(), (TRect{LeftWork.Left, LeftWork.Bottom - 300, LeftWork.Left + 600, LeftWork.Bottom}));
  // Both questions were asked and logged, whatever the answer.
  EXPECT_TRUE(Logged(L"HTC: Taskbar? = SimWindow"));
  EXPECT_TRUE(Logged(L"calc desktoprect = " + RectToText({1000, 200, 1600, 800})));
  EXPECT_TRUE(Logged(L"HTC: Overflow? = SimWindow"));
}

TEST_F(PlacementTest, OnAMonitorWithoutTaskbarAnyWindowThereCountsAsABar) {
  // The right monitor's work area is its whole bounds.
  sim::WindowSpec desc;
  desc.title = L"Right";
  const WindowHandle right = AddApp({2000, 500, 2600, 900}, desc);
  sim.SetForeground(tray);
  OpenAt({2300, 700});
  EXPECT_TRUE(TFrmMain::IsScreenEdgeBar(right));
  // Handed on as after a taskbar click, and placed against the window as against a bar.
  EXPECT_EQ(sim.GetForegroundWindow(), right);
  EXPECT_EQ(MainRect(), (TRect{2000, 200, 2600, 500}));
}

TEST_F(PlacementTest, ScreenEdgeBarNeedsAWindowAndAMonitor) {
  EXPECT_TRUE(TFrmMain::IsScreenEdgeBar(tray));
  EXPECT_FALSE(TFrmMain::IsScreenEdgeBar(app));  // inside the primary's work area
  const WindowHandle gone = AddApp({2000, 100, 2400, 500});
  sim.RemoveWindow(gone);
  EXPECT_FALSE(TFrmMain::IsScreenEdgeBar(gone));
  sim.FailOperation(Op::MonitorFromWindow, 1400);
  EXPECT_FALSE(TFrmMain::IsScreenEdgeBar(tray));
}

TEST_F(PlacementTest, ClassNamesCompareWithoutRegardToCase) {
  struct Case {
    std::wstring className;
    bool taskbar, overflow;
  } cases[] = {
      {L"Shell_TrayWnd", true, false},          {L"SHELL_TRAYWND", true, false},
      {L"mstasklistwclass", true, false},       {L"Shell_SecondaryTrayWnd", false, false},
      {L"NotifyIconOverflowWindow", false, true}, {L"notifyiconoverflowwindow", false, true},
  };
  for (const auto& c : cases) {
    const WindowHandle h = AddBar(c.className, {0, 0, 10, 10});
    EXPECT_EQ(TFrmMain::IsTaskbarWindow(h), c.taskbar) << std::string(c.className.begin(), c.className.end());
    EXPECT_EQ(TFrmMain::IsOverflowWindow(h), c.overflow) << std::string(c.className.begin(), c.className.end());
    EXPECT_TRUE(Logged(L"HTC: Taskbar? = " + c.className));
    EXPECT_TRUE(Logged(L"HTC: Overflow? = " + c.className));
  }
}

TEST_F(PlacementTest, OverflowPopupPlacesTheWindowByTheShellsTaskbar) {
  AddBar(L"NotifyIconOverflowWindow", {1500, 800, 1700, 1000});
  main->SetBounds(100, 100, 600, 300);
  sim.SetCursor({1600, 900});
  EXPECT_EQ(main->FindTaskbarUnderCursor(), tray);
  main->FormShow();
  EXPECT_EQ(MainRect(), (TRect{1300, 740, 1900, 1040}));

  // Without the shell's rectangle the pop-up counts as no taskbar: the work-area corner.
  sim.FailOperation(Op::GetTaskbarPos, 1400, -1);
  EXPECT_EQ(main->FindTaskbarUnderCursor(), 0u);
  OpenAt({1600, 900});
  EXPECT_EQ(MainRect(), (TRect{0, 740, 600, 1040}));
}

TEST_F(PlacementTest, NothingUnderTheCursorMeansTheWorkAreaCorner) {
  sim.FailOperation(Op::WindowFromPoint, 1400, -1);
  main->SetBounds(2500, 100, 600, 300);  // on the right monitor: its work area is its bounds
  sim.SetCursor({1000, 1060});
  main->FormShow();
  EXPECT_EQ(MainRect(), (TRect{1920, 780, 2520, 1080}));
}

TEST_F(PlacementTest, RestoreOfTheWatcherOpensInTheCornerInFront) {
  main->watcher.powerDetectionEventRunning = true;
  sim.SetForeground(tray);
  OpenAt({1000, 1060});
  EXPECT_EQ(MainRect(), (TRect{0, 740, 600, 1040}));
  // No taskbar was looked for and the program below was not brought back.
  EXPECT_EQ(Count(L"HTC: Taskbar? = Shell_TrayWnd"), 0);
  EXPECT_NE(sim.GetForegroundWindow(), app);
}

TEST_F(PlacementTest, ProgramThatCannotBeShownGivesWayToTheOneBelow) {
  struct Case {
    const char* name;
    bool overflow;  // else a minimized window
  } cases[] = {{"minimized window in front", false}, {"overflow pop-up of the shell in front", true}};
  for (const auto& c : cases) {
    sim.SetForeground(app);
    WindowHandle front = 0;
    if (c.overflow) {
      front = AddBar(L"NotifyIconOverflowWindow", {1500, 800, 1700, 1000});
    } else {
      sim::WindowSpec desc;
      desc.minimized = true;
      desc.pid = sim.AddProcess(L"Player.exe");
      front = AddApp({300, 300, 700, 700}, desc);
    }
    sim.SetForeground(front);
    ASSERT_EQ(sim.GetForegroundWindow(), front) << c.name;
    sim.SetCursor({3000, 500});  // over no taskbar
    const int shownBefore = Count(L"FNF: exename=app.exe");
    main->FormShow();
    EXPECT_EQ(sim.GetForegroundWindow(), app) << c.name;
    EXPECT_EQ(main->fore.hwnd, app) << c.name;
    EXPECT_EQ(main->lblProgram->Text(), L"app.exe") << c.name;
    EXPECT_EQ(Count(L"FNF: exename=app.exe"), shownBefore + 1) << c.name;
    sim.RemoveWindow(front);
  }
}

TEST_F(PlacementTest, FirstShowingPutsTheVersionOnTheStatusLineOnce) {
  sim.SetFileVersion(sim.GetModuleFileNameW(), 2, 5, 0, 77);
  TFrmAbout about;
  const std::wstring version = L"Version: " + about.GetVersion();
  ASSERT_NE(about.GetVersion(), L"");
  main->Show();
  EXPECT_EQ(main->lblMessage->Text(), version);
  EXPECT_EQ(Count(version), 1);
  main->Hide();
  main->ClearStatus();
  main->Show();
  EXPECT_EQ(main->lblMessage->Text(), L"");
  EXPECT_EQ(Count(version), 1);
}

TEST_F(PlacementTest, MainMonitorChangedAnswersFalseFirstThenFollowsTheWindow) {
  main->SetBounds(100, 100, 600, 300);
  EXPECT_EQ(main->flastMonitorID, -1);
  EXPECT_FALSE(main->MainMonitorChanged());
  EXPECT_EQ(main->flastMonitorID, 0);
  EXPECT_FALSE(main->MainMonitorChanged());
  main->SetBounds(2500, 100, 600, 300);
  EXPECT_TRUE(main->MainMonitorChanged());
  EXPECT_EQ(main->flastMonitorID, 1);
  EXPECT_FALSE(main->MainMonitorChanged());
  // The number is the position in the platform's order, not a fixed handle.
  sim.SetLayout({MonRight, MonLeft});
  EXPECT_TRUE(main->MainMonitorChanged());
  EXPECT_EQ(main->flastMonitorID, 0);
}

}  // namespace
}  // namespace tessary
