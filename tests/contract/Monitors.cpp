// Monitor enumeration and the nearest-monitor rules the layout and the mover rely on.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

TEST(Monitors, EnumeratesTheLabDisplayPrimaryFirst) {
  const std::vector<MonitorDesc> mons = Backend().EnumMonitors();
  ASSERT_EQ(mons.size(), 2u);
  EXPECT_EQ(mons[0].bounds, kPrimary);
  EXPECT_TRUE(mons[0].primary);
  EXPECT_EQ(mons[1].bounds, kSecond);
  EXPECT_FALSE(mons[1].primary);
  EXPECT_NE(mons[0].handle, mons[1].handle);
  EXPECT_NE(mons[0].deviceName, mons[1].deviceName);
  EXPECT_EQ(mons[0].deviceName, L"\\\\.\\DISPLAY1");
  for (const MonitorDesc& m : mons) {
    SCOPED_TRACE(testing::Message() << "monitor " << m.handle);
    // The work area lies inside the monitor.
    EXPECT_GE(m.work.Left, m.bounds.Left);
    EXPECT_GE(m.work.Top, m.bounds.Top);
    EXPECT_LE(m.work.Right, m.bounds.Right);
    EXPECT_LE(m.work.Bottom, m.bounds.Bottom);
    EXPECT_GT(m.work.Width(), 0);
    EXPECT_GT(m.work.Height(), 0);
    // GetMonitorInfo on the handle tells the same.
    MonitorDesc again;
    ASSERT_TRUE(Backend().GetMonitorInfo(m.handle, again));
    EXPECT_EQ(again.bounds, m.bounds);
    EXPECT_EQ(again.work, m.work);
    EXPECT_EQ(again.primary, m.primary);
    EXPECT_EQ(again.deviceName, m.deviceName);
    EXPECT_EQ(again.devicePath, m.devicePath);
  }
  EXPECT_EQ(Backend().GetVirtualScreenRect(), (TRect{0, 0, 3840, 1080}));
}

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

// The device interface path names a monitor by its EDID on Windows. Wine has no EDID: it names
// the output's place in its list ("\\?\DISPLAY#Default_Monitor#0001&0000#{...}" for the second,
// whatever monitor sits there), so under Wine it tells no more than deviceName.
TEST(Monitors, DevicePathsAreMonitorInterfacesOfOneMonitorEachAndSurviveARead) {
  const std::vector<MonitorDesc> before = Backend().EnumMonitors();
  ASSERT_EQ(before.size(), 2u);
  ASSERT_TRUE(AnnounceDisplaySettings());
  Backend().ProcessPendingMessages();
  const std::vector<MonitorDesc> after = Backend().EnumMonitors();
  ASSERT_EQ(after.size(), before.size());
  const std::wstring monitorClass = L"#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
  for (size_t i = 0; i < before.size(); ++i) {
    const std::wstring& path = before[i].devicePath;
    SCOPED_TRACE(Narrow(before[i].deviceName) + " " + Narrow(path));
    EXPECT_EQ(after[i].devicePath, path);
    if (OnWine()) {
      EXPECT_NE(path.find(L"#Default_Monitor#"), std::wstring::npos);
    }
    if (path.empty()) continue;
    EXPECT_EQ(path.rfind(L"\\\\?\\", 0), 0u);
    ASSERT_GT(path.size(), monitorClass.size());
    EXPECT_TRUE(SameTextAscii(path.substr(path.size() - monitorClass.size()), monitorClass));
    for (size_t j = 0; j < i; ++j) EXPECT_NE(before[j].devicePath, path);
  }
}

TEST(Monitors, PointsFindTheNearestMonitor) {
  const std::vector<MonitorDesc> mons = Backend().EnumMonitors();
  ASSERT_EQ(mons.size(), 2u);
  struct Case {
    TPoint pt;
    int nearest;
    bool onAMonitor;
  };
  const Case cases[] = {
      {{0, 0}, 0, true},          {{1919, 1079}, 0, true},    {{1920, 0}, 1, true},
      {{3839, 1079}, 1, true},    {{-500, 500}, 0, false},    {{5000, 500}, 1, false},
      {{1000, -300}, 0, false},   {{2500, 2000}, 1, false},   {{-10, -10}, 0, false},
      {{3840, 1080}, 1, false},   {{1919, 5000}, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "point " << c.pt.x << "," << c.pt.y);
    EXPECT_EQ(Backend().MonitorFromPoint(c.pt, wc::MONITOR_DEFAULTTONEAREST), mons[c.nearest].handle);
    EXPECT_EQ(Backend().MonitorFromPoint(c.pt, wc::MONITOR_DEFAULTTONULL),
              c.onAMonitor ? mons[c.nearest].handle : 0u);
    EXPECT_EQ(Backend().MonitorFromPoint(c.pt, wc::MONITOR_DEFAULTTOPRIMARY),
              c.onAMonitor ? mons[c.nearest].handle : mons[0].handle);
  }
}

TEST(Monitors, WindowsBelongToTheMonitorTheyOverlapMost) {
  const std::vector<MonitorDesc> mons = Backend().EnumMonitors();
  ASSERT_EQ(mons.size(), 2u);
  struct Case {
    TRect r;
    int nearest;
    bool onAMonitor;
  };
  const Case cases[] = {
      {{100, 100, 900, 700}, 0, true},
      {{2000, 50, 2800, 650}, 1, true},
      {{1800, 100, 2200, 500}, 1, true},      // 120 px on the first, 280 on the second
      {{1500, 100, 2000, 500}, 0, true},      // 420 px on the first, 80 on the second
      {{4000, 100, 4400, 500}, 1, false},     // right of everything
      {{-900, 200, -100, 600}, 0, false},     // left of everything
      {{2500, 1300, 2900, 1700}, 1, false},   // below the second
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "window at " << c.r.Left << "," << c.r.Top);
    TestWindow w(c.r);
    ASSERT_NE(w.h(), 0u);
    ASSERT_EQ(w.Rect(), c.r);
    EXPECT_EQ(Backend().MonitorFromWindow(w.h(), wc::MONITOR_DEFAULTTONEAREST), mons[c.nearest].handle);
    EXPECT_EQ(Backend().MonitorFromWindow(w.h(), wc::MONITOR_DEFAULTTONULL),
              c.onAMonitor ? mons[c.nearest].handle : 0u);
  }
}

// The display event window relies on this: a display change reaches every top-level window of
// the program, hidden ones too, with the primary's size and the colour depth; a message-only
// window gets none (it receives no broadcasts).
TEST(Monitors, ADisplayChangeReachesEveryTopLevelWindowHiddenOnesToo) {
  TestWindow shown({100, 100, 500, 400});
  TestWindow hidden({0, 0, 120, 7}, wc::WS_POPUP);
  auto messageOnlyCount = std::make_shared<int>(0);
  const WindowHandle messageOnly = Backend().CreateWindowExW(
      0, L"Tessary.ContractMessageOnly", L"", 0, 0, 0, 0, 0, wc::HWND_MESSAGE,
      [messageOnlyCount](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
        if (msg == wc::WM_DISPLAYCHANGE) ++*messageOnlyCount;
        return 0;
      });
  ASSERT_NE(messageOnly, 0u);
  Backend().ProcessPendingMessages();
  shown.inbox().displayChanges.clear();
  hidden.inbox().displayChanges.clear();

  ASSERT_TRUE(AnnounceDisplaySettings());
  Backend().ProcessPendingMessages();

  const std::pair<uintptr_t, intptr_t> want{32, kPrimary.Width() | (kPrimary.Height() << 16)};
  EXPECT_EQ(shown.inbox().displayChanges, (std::vector<std::pair<uintptr_t, intptr_t>>{want}));
  EXPECT_EQ(hidden.inbox().displayChanges, (std::vector<std::pair<uintptr_t, intptr_t>>{want}));
  EXPECT_EQ(*messageOnlyCount, 0);
  Backend().DestroyWindow(messageOnly);
}

// The taskbar lies along one edge of the primary monitor, across the whole edge, and the work
// area stops where it starts.
TEST(Monitors, TheTaskbarLiesAlongAnEdgeOfThePrimaryOutsideItsWorkArea) {
  TaskbarPos bar;
  ASSERT_TRUE(Backend().GetTaskbarPos(bar));
  MonitorDesc primary;
  ASSERT_TRUE(Backend().GetMonitorInfo(Backend().MonitorFromPoint(TPoint{0, 0}, wc::MONITOR_DEFAULTTOPRIMARY), primary));
  const TRect& b = primary.bounds;
  const TRect& r = bar.rect;
  const TRect& work = primary.work;
  // Wine's taskbar (measured: one line at the bottom) takes nothing from the work area.
  const bool reserved = !OnWine();
  switch (bar.edge) {
    case wc::ABE_BOTTOM:
      EXPECT_EQ(r.Bottom, b.Bottom);
      EXPECT_EQ(work.Bottom, reserved ? r.Top : b.Bottom);
      break;
    case wc::ABE_TOP:
      EXPECT_EQ(r.Top, b.Top);
      EXPECT_EQ(work.Top, reserved ? r.Bottom : b.Top);
      break;
    case wc::ABE_LEFT:
      EXPECT_EQ(r.Left, b.Left);
      EXPECT_EQ(work.Left, reserved ? r.Right : b.Left);
      break;
    case wc::ABE_RIGHT:
      EXPECT_EQ(r.Right, b.Right);
      EXPECT_EQ(work.Right, reserved ? r.Left : b.Right);
      break;
    default:
      FAIL() << "edge " << bar.edge;
  }
  const bool across = bar.edge == wc::ABE_BOTTOM || bar.edge == wc::ABE_TOP;
  if (across) {
    EXPECT_EQ(r.Left, b.Left);
    EXPECT_EQ(r.Right, b.Right);
  } else {
    EXPECT_EQ(r.Top, b.Top);
    EXPECT_EQ(r.Bottom, b.Bottom);
  }
}

}  // namespace
}  // namespace tessary::contract
