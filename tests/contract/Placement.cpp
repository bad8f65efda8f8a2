// What GetWindowRect reports after the mover's SetWindowPos calls, and how minimized and
// maximized windows look to the logic.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

constexpr uint32_t kWmKillFocus = 0x0008, kWmPaint = 0x000F;  // not among the portable constants

constexpr TRect kStart{100, 100, 900, 700};

TEST(Placement, SetWindowPosLandsOnTheAskedRectangle) {
  struct Case {
    const char* name;
    TRect target;
    uint32_t extraFlags;
    TRect expected;
  };
  const Case cases[] = {
      {"within the primary", {300, 200, 1500, 900}, 0, {300, 200, 1500, 900}},
      {"onto the second monitor", {2000, 50, 2800, 650}, 0, {2000, 50, 2800, 650}},
      {"spanning both", {1500, 300, 2500, 800}, 0, {1500, 300, 2500, 800}},
      {"negative coordinates", {-150, -40, 650, 560}, 0, {-150, -40, 650, 560}},
      {"whole second monitor", kSecond, 0, kSecond},
      {"move only", {2500, 400, 2600, 450}, wc::SWP_NOSIZE, {2500, 400, 3300, 1000}},
      {"size only", {2500, 400, 3000, 700}, wc::SWP_NOMOVE, {100, 100, 600, 400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestWindow w(kStart);
    ASSERT_EQ(w.Rect(), kStart);
    ASSERT_TRUE(Backend().SetWindowPos(w.h(), 0, c.target.Left, c.target.Top, c.target.Width(), c.target.Height(),
                                       kMoverFlags | c.extraFlags));
    EXPECT_EQ(w.Rect(), c.expected);
    EXPECT_FALSE(Backend().IsIconic(w.h()));
    EXPECT_FALSE(Backend().IsZoomed(w.h()));
  }
}

TEST(Placement, MinimizedWindowParksOffScreenAndIgnoresMoves) {
  TestWindow w(kStart);
  Backend().ShowWindow(w.h(), wc::SW_MINIMIZE);
  EXPECT_TRUE(Backend().IsIconic(w.h()));
  EXPECT_FALSE(Backend().IsZoomed(w.h()));
  const uint32_t style = static_cast<uint32_t>(Backend().GetWindowLongW(w.h(), wc::GWL_STYLE));
  EXPECT_NE(style & wc::WS_MINIMIZE, 0u);
  EXPECT_EQ(style & wc::WS_MAXIMIZE, 0u);
  const TRect parked = w.Rect();
  EXPECT_EQ(parked.Left, -32000);
  EXPECT_EQ(parked.Top, -32000);
  // A minimized window belongs to the monitor of its normal rectangle, whatever the flags.
  const std::vector<MonitorDesc> mons = Backend().EnumMonitors();
  ASSERT_EQ(mons.size(), 2u);
  EXPECT_EQ(Backend().MonitorFromWindow(w.h(), wc::MONITOR_DEFAULTTONULL), mons[0].handle);
  EXPECT_EQ(Backend().MonitorFromWindow(w.h(), wc::MONITOR_DEFAULTTONEAREST), mons[0].handle);

  // The mover refuses minimized windows; a move that reaches one anyway leaves it minimized.
  Backend().SetWindowPos(w.h(), 0, 2000, 50, 800, 600, kMoverFlags);
  EXPECT_TRUE(Backend().IsIconic(w.h()));

  // Restoring brings back the rectangle from before the minimize.
  Backend().ShowWindow(w.h(), wc::SW_RESTORE);
  EXPECT_FALSE(Backend().IsIconic(w.h()));
  EXPECT_EQ(static_cast<uint32_t>(Backend().GetWindowLongW(w.h(), wc::GWL_STYLE)) & wc::WS_MINIMIZE, 0u);
  EXPECT_EQ(w.Rect(), kStart);
}

TEST(Placement, MaximizedWindowCoversItsMonitorAndStaysMaximizedWhenMoved) {
  const std::vector<MonitorDesc> mons = Backend().EnumMonitors();
  ASSERT_EQ(mons.size(), 2u);
  TestWindow w(kStart);
  Backend().ShowWindow(w.h(), wc::SW_MAXIMIZE);
  EXPECT_TRUE(Backend().IsZoomed(w.h()));
  EXPECT_FALSE(Backend().IsIconic(w.h()));
  const uint32_t style = static_cast<uint32_t>(Backend().GetWindowLongW(w.h(), wc::GWL_STYLE));
  EXPECT_NE(style & wc::WS_MAXIMIZE, 0u);
  EXPECT_EQ(style & wc::WS_MINIMIZE, 0u);
  // At least the work area (Windows lets the sizing border hang over the edges).
  const TRect r = w.Rect();
  EXPECT_LE(r.Left, mons[0].work.Left);
  EXPECT_LE(r.Top, mons[0].work.Top);
  EXPECT_GE(r.Right, mons[0].work.Right);
  EXPECT_GE(r.Bottom, mons[0].work.Bottom);
  EXPECT_EQ(Backend().MonitorFromWindow(w.h(), wc::MONITOR_DEFAULTTONEAREST), mons[0].handle);

  // The mover's call moves it at once and it keeps its maximized state.
  ASSERT_TRUE(Backend().SetWindowPos(w.h(), 0, kSecond.Left, kSecond.Top, kSecond.Width(), kSecond.Height(),
                                     kMoverFlags));
  EXPECT_EQ(w.Rect(), kSecond);
  EXPECT_TRUE(Backend().IsZoomed(w.h()));
  EXPECT_EQ(Backend().MonitorFromWindow(w.h(), wc::MONITOR_DEFAULTTONEAREST), mons[1].handle);

  // The move does not touch the normal rectangle: restoring goes back to where it was before.
  Backend().ShowWindow(w.h(), wc::SW_RESTORE);
  EXPECT_FALSE(Backend().IsZoomed(w.h()));
  EXPECT_EQ(static_cast<uint32_t>(Backend().GetWindowLongW(w.h(), wc::GWL_STYLE)) & wc::WS_MAXIMIZE, 0u);
  EXPECT_EQ(w.Rect(), kStart);
}

TEST(Placement, HiddenWindowsMoveToo) {
  TestWindow w(kStart, wc::WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(Backend().IsWindowVisible(w.h()));
  ASSERT_TRUE(Backend().SetWindowPos(w.h(), 0, 2100, 100, 400, 300, kMoverFlags));
  EXPECT_EQ(w.Rect(), (TRect{2100, 100, 2500, 400}));
  EXPECT_FALSE(Backend().IsWindowVisible(w.h()));
}

// The placement of a window in screen coordinates, whatever its state: how windows stranded off
// every monitor are brought back without changing whether they are minimized or maximized.
TEST(Placement, WindowPlacementReadsAndSetsTheNormalRectangleInEveryState) {
  constexpr TRect kAway{400, 300, 1000, 700};
  {
    SCOPED_TRACE("normal");
    TestWindow w(kStart);
    TWindowPlacement wp;
    ASSERT_TRUE(Backend().GetWindowPlacement(w.h(), wp));
    EXPECT_EQ(wp.showCmd, wc::SW_SHOWNORMAL);
    EXPECT_EQ(wp.normal, kStart);
    wp.normal = kAway;
    ASSERT_TRUE(Backend().SetWindowPlacement(w.h(), wp));
    EXPECT_EQ(w.Rect(), kAway);
  }
  {
    SCOPED_TRACE("minimized: its normal place moves, it stays down");
    TestWindow w(kStart);
    Backend().ShowWindow(w.h(), wc::SW_MINIMIZE);
    TWindowPlacement wp;
    ASSERT_TRUE(Backend().GetWindowPlacement(w.h(), wp));
    EXPECT_EQ(wp.showCmd, wc::SW_SHOWMINIMIZED);
    EXPECT_EQ(wp.normal, kStart);
    wp.normal = kAway;
    wp.showCmd = wc::SW_SHOWMINNOACTIVE;
    ASSERT_TRUE(Backend().SetWindowPlacement(w.h(), wp));
    EXPECT_TRUE(Backend().IsIconic(w.h()));
    ASSERT_TRUE(Backend().GetWindowPlacement(w.h(), wp));
    EXPECT_EQ(wp.normal, kAway);
    Backend().ShowWindow(w.h(), wc::SW_RESTORE);
    EXPECT_EQ(w.Rect(), kAway);
  }
  {
    // Set back to its normal state at the new place, then maximized: Wine does not take a maximized
    // window to another monitor by a placement that keeps it maximized.
    SCOPED_TRACE("maximized: maximized again on the monitor of its new normal place");
    TestWindow w(kStart);
    Backend().ShowWindow(w.h(), wc::SW_MAXIMIZE);
    TWindowPlacement wp;
    ASSERT_TRUE(Backend().GetWindowPlacement(w.h(), wp));
    EXPECT_EQ(wp.showCmd, wc::SW_MAXIMIZE);
    EXPECT_EQ(wp.normal, kStart);
    wp.normal = TRect{kSecond.Left + 100, 100, kSecond.Left + 700, 500};
    wp.showCmd = wc::SW_SHOWNOACTIVATE;
    ASSERT_TRUE(Backend().SetWindowPlacement(w.h(), wp));
    EXPECT_FALSE(Backend().IsZoomed(w.h()));
    EXPECT_EQ(w.Rect(), wp.normal);
    Backend().ShowWindow(w.h(), wc::SW_MAXIMIZE);
    EXPECT_TRUE(Backend().IsZoomed(w.h()));
    const TRect r = w.Rect();
    EXPECT_TRUE(kSecond.Contains(r.Left + r.Width() / 2, r.Top + r.Height() / 2)) << r.Left << "," << r.Top;
    Backend().ShowWindow(w.h(), wc::SW_RESTORE);
    EXPECT_EQ(w.Rect(), wp.normal);
  }
}

// After a move the program repaints the window: painting now reaches the window before
// RedrawWindow returns; invalidating alone leaves the painting to the window's next pump. A hidden
// window is not painted.
TEST(Placement, RedrawingNowPaintsAVisibleWindowBeforeItReturns) {
  auto paints = [](TestWindow& w) {
    const auto& m = w.inbox().messages;
    return std::count(m.begin(), m.end(), kWmPaint);
  };
  TestWindow w;
  Backend().ProcessPendingMessages();
  w.inbox().messages.clear();
  ASSERT_TRUE(Backend().RedrawWindow(w.h(), wc::RDW_INVALIDATE));
  EXPECT_EQ(paints(w), 0);
  ASSERT_TRUE(Backend().RedrawWindow(w.h(), wc::RDW_INVALIDATE | wc::RDW_ALLCHILDREN | wc::RDW_UPDATENOW));
  EXPECT_EQ(paints(w), 1);

  Backend().ShowWindow(w.h(), wc::SW_HIDE);
  Backend().ProcessPendingMessages();
  w.inbox().messages.clear();
  ASSERT_TRUE(Backend().RedrawWindow(w.h(), wc::RDW_INVALIDATE | wc::RDW_ALLCHILDREN | wc::RDW_UPDATENOW));
  EXPECT_EQ(paints(w), 0);
}

// SetFocus answers the window that had the focus before, and tells both windows. Between two
// children of one window: focusing a top-level window may activate it first, and the activation
// moves the focus by itself.
TEST(Placement, FocusMovesBetweenOurWindowsAndNamesTheOneBefore) {
  TestWindow top;
  std::vector<uint32_t> seen[2];
  WindowHandle child[2] = {};
  for (int i = 0; i < 2; ++i) {
    child[i] = Backend().CreateWindowExW(0, L"Tessary.ContractChild", L"", wc::WS_CHILD | wc::WS_VISIBLE, 10 + 200 * i,
                                         10, 150, 100, top.h(),
                                         [&seen, i](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
                                           seen[i].push_back(msg);
                                           return 0;
                                         });
    ASSERT_NE(child[i], 0u);
  }
  auto got = [&](int i, uint32_t msg) { return std::find(seen[i].begin(), seen[i].end(), msg) != seen[i].end(); };
  Backend().SetFocus(child[0]);
  Backend().ProcessPendingMessages();
  ASSERT_EQ(Backend().SetFocus(child[0]), child[0]);
  seen[0].clear();
  seen[1].clear();
  EXPECT_EQ(Backend().SetFocus(child[1]), child[0]);
  EXPECT_TRUE(got(0, kWmKillFocus));
  EXPECT_TRUE(got(1, wc::WM_SETFOCUS));
  EXPECT_FALSE(got(1, kWmKillFocus));
  EXPECT_EQ(Backend().SetFocus(child[0]), child[1]);
  // The children go with the window; their procs must not outlive `seen`.
  top.Destroy();
}

// The settings the focus manager and the hotkey editor read, and the foreground lock time-out it
// lowers and puts back while it holds the foreground.
TEST(Placement, SystemParametersReadAndTheLockTimeOutRoundTrips) {
  uint32_t speed = 99;
  ASSERT_TRUE(Backend().SystemParametersGet(wc::SPI_GETKEYBOARDSPEED, speed));
  EXPECT_LE(speed, 31u);
  uint32_t delay = 99;
  ASSERT_TRUE(Backend().SystemParametersGet(wc::SPI_GETKEYBOARDDELAY, delay));
  EXPECT_LE(delay, 3u);

  TestWindow w;
  ASSERT_TRUE(TakeForeground(w.h()));

  uint32_t original = 0;
  ASSERT_TRUE(Backend().SystemParametersGet(wc::SPI_GETFOREGROUNDLOCKTIMEOUT, original));
  const uint32_t other = original == 0 ? 200000 : 0;
  ASSERT_TRUE(Backend().SystemParametersSet(wc::SPI_SETFOREGROUNDLOCKTIMEOUT, 0, other, wc::SPIF_SENDCHANGE));
  uint32_t now = 1;
  EXPECT_TRUE(Backend().SystemParametersGet(wc::SPI_GETFOREGROUNDLOCKTIMEOUT, now));
  EXPECT_EQ(now, other);
  ASSERT_TRUE(Backend().SystemParametersSet(wc::SPI_SETFOREGROUNDLOCKTIMEOUT, 0, original, wc::SPIF_SENDCHANGE));
  EXPECT_TRUE(Backend().SystemParametersGet(wc::SPI_GETFOREGROUNDLOCKTIMEOUT, now));
  EXPECT_EQ(now, original);
}

}  // namespace
}  // namespace tessary::contract
