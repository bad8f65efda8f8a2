// Gather windows: program windows that no monitor shows are brought onto the primary monitor,
// minimized ones staying minimized and maximized ones maximized there; windows in view, our own
// and elevated ones are left alone.
#include <gtest/gtest.h>

#include "MovingFixture.h"
#include "moving/UnitGather.h"

namespace tessary::test {
namespace {

constexpr TRect Primary{0, 0, 1920, 1080}, Right{1920, 0, 3840, 1080}, Gone{3840, 0, 5760, 1080};

class GatherTest : public MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    sim.SetLayout({Primary, Right, Gone});
  }
  // The third monitor goes without the system moving its windows, as after a display change the
  // system missed, or a program that reopened at its saved place there.
  void ThirdMonitorGoes() {
    for (const MonitorDesc& m : sim.EnumMonitors())
      if (m.bounds == Gone) sim.RemoveMonitor(m.handle);
  }
  TGather::TResult Gather() {
    said.clear();
    return TGather::GatherWindows([this](const std::wstring& s) { said.push_back(s); });
  }
  std::vector<std::wstring> said;
};

TEST_F(GatherTest, WindowsOffEveryMonitorComeOntoThePrimary) {
  const WindowHandle inView = AddApp(TRect{2000, 100, 2800, 700});
  const WindowHandle sliver = AddApp(TRect{1900, 100, 2700, 700});  // mostly on the right-hand monitor
  const WindowHandle stranded = AddApp(TRect{4000, 200, 4800, 800});
  sim::WindowSpec maxDesc;
  maxDesc.maximized = true;
  const WindowHandle maximized = AddApp(TRect{4100, 100, 4900, 700}, maxDesc);
  sim::WindowSpec minDesc;
  minDesc.minimized = true;
  const WindowHandle minimized = AddApp(TRect{4200, 300, 5000, 900}, minDesc);
  sim::WindowSpec toolDesc;
  toolDesc.exStyle = wc::WS_EX_TOOLWINDOW;
  const WindowHandle palette = AddApp(TRect{4300, 300, 4500, 500}, toolDesc);
  sim::WindowSpec ownDesc;
  ownDesc.pid = sim.OwnProcessId();
  const WindowHandle own = AddApp(TRect{4400, 300, 5000, 700}, ownDesc);
  ASSERT_TRUE(sim.IsZoomed(maximized));
  ThirdMonitorGoes();

  const TGather::TResult r = Gather();
  EXPECT_EQ(r.gathered, 3);
  EXPECT_EQ(r.skipped, 0);
  EXPECT_EQ(RectOf(inView), (TRect{2000, 100, 2800, 700})) << "in view: untouched";
  EXPECT_EQ(RectOf(sliver), (TRect{1900, 100, 2700, 700}));
  // 4000 is 160 into a monitor of the primary's width: the same place on the primary.
  EXPECT_EQ(RectOf(stranded), (TRect{160, 200, 960, 800}));
  EXPECT_TRUE(sim.IsZoomed(maximized));
  EXPECT_TRUE(Primary.Contains(RectOf(maximized).Left + 100, RectOf(maximized).Top + 100)) << "maximized on the primary";
  EXPECT_TRUE(sim.IsIconic(minimized)) << "it stays minimized";
  sim.ShowWindow(minimized, wc::SW_RESTORE);
  EXPECT_EQ(RectOf(minimized), (TRect{360, 300, 1160, 900})) << "and comes back on the primary";
  EXPECT_EQ(RectOf(palette), (TRect{4300, 300, 4500, 500})) << "not a program window";
  EXPECT_EQ(RectOf(own), (TRect{4400, 300, 5000, 700})) << "ours looks after itself";
  EXPECT_EQ(said.back(), L"Gather windows: 3 brought onto the primary monitor");
  EXPECT_TRUE(LoggedInOrder({L"GW: app.exe [4000, 200, 4800, 800] -> [160, 200, 960, 800]"}));

  // A second gather finds nothing to do.
  Gather();
  EXPECT_EQ(said, std::vector<std::wstring>{L"Gather windows: every window is on a monitor"});
}

TEST_F(GatherTest, AWindowBiggerThanThePrimaryFitsItsWorkArea) {
  const WindowHandle big = AddApp(TRect{3900, -50, 6500, 1300});
  ThirdMonitorGoes();
  Gather();
  const TRect r = RectOf(big);
  EXPECT_EQ(r.Width(), 1920);
  EXPECT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Right <= 1920 && r.Bottom <= 1080) << r.Left << "," << r.Top;
}

TEST_F(GatherTest, ElevatedAndHungProgramsAreSkippedWithAStatusLine) {
  sim::WindowSpec adminDesc;
  adminDesc.pid = sim.AddProcess(L"admin.exe", wc::SECURITY_MANDATORY_HIGH_RID);
  const WindowHandle admin = AddApp(TRect{4000, 200, 4800, 800}, adminDesc);
  const WindowHandle frozen = AddApp(TRect{4100, 200, 4900, 800});
  const WindowHandle fine = AddApp(TRect{4200, 200, 5000, 800});
  ThirdMonitorGoes();
  sim.SetHung(frozen, true);
  const TGather::TResult r = Gather();
  EXPECT_EQ(r.gathered, 1);
  EXPECT_EQ(r.skipped, 2);
  EXPECT_EQ(RectOf(admin), (TRect{4000, 200, 4800, 800}));
  EXPECT_EQ(RectOf(frozen), (TRect{4100, 200, 4900, 800}));
  EXPECT_EQ(RectOf(fine), (TRect{360, 200, 1160, 800}));
  EXPECT_NE(std::find(said.begin(), said.end(), L"Skipping VAC Admin program."), said.end());
  EXPECT_NE(std::find(said.begin(), said.end(), L"Skipping not responding program."), said.end());
  EXPECT_TRUE(sim.HangsSuffered().empty()) << "nothing waited for the frozen program";
}

TEST(GatherGeometryTest, WhatCountsAsShown) {
  const std::vector<MonitorDesc> mons{MonitorDesc{1, Primary, Primary, true, L"", L""}};
  struct Case {
    TRect r;
    bool shown;
  };
  for (const Case& c : {Case{{100, 100, 500, 500}, true}, Case{{1900, 100, 2500, 500}, false},
                        Case{{1888, 100, 2500, 500}, true}, Case{{100, -468, 500, 20}, false},
                        Case{{100, -468, 500, 32}, true}, Case{{-20000, -20000, -19000, -19000}, false},
                        Case{{10, 10, 20, 20}, true}}) {
    EXPECT_EQ(TGather::Shown(c.r, mons), c.shown) << c.r.Left << "," << c.r.Top << "," << c.r.Right << "," << c.r.Bottom;
  }
}

}  // namespace
}  // namespace tessary::test
