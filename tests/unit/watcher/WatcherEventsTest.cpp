// The watcher inside the main window, on the whole path as start-up builds it: the platform's
// notifications reach it through the display event window, and the main window lends it its
// status line, its window and its timers.
#include <gtest/gtest.h>

#include "../shell/MainFixture.h"
#include "watcher/UnitFrmMonitorEvent.h"

namespace tessary::test {
namespace {

// The whole path as start-up builds it: the event window first, then the main window, which
// registers its listeners; the platform's notifications reach the watcher through it.
class WatcherEventsTest : public MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    right = sim.EnumMonitors()[1].handle;
    main.reset();
    events = std::make_unique<TFrmMonitorEvent>();
    CreateMain();
  }
  void TearDown() override {
    main.reset();
    events.reset();
    MainFixture::TearDown();
  }
  int Notify(uintptr_t event) {
    const int reached = sim.DeliverDeviceInterfaceEvent(event, TFrmMonitorEvent::MonitorInterfaceClass,
                                                        L"\\\\?\\DISPLAY#DEL4071#5&1a2b3c4d&0&UID4352#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}");
    ui::app::ProcessPendingMessages();
    return reached;
  }
  WindowHandle Program(TRect rect) {
    const WindowHandle h = AddApp(rect);
    sim.SetForeground(app);
    return h;
  }
  static constexpr TRect OnRight{2100, 200, 2900, 800};
  MonitorHandle right = 0;
  std::vector<WindowHandle> pushed;
  std::unique_ptr<TFrmMonitorEvent> events;
};

TEST_F(WatcherEventsTest, DeviceNotificationsDriveTheCycle) {
  const WindowHandle editor = Program(OnRight);
  main->watcher.timGetTopProgramsTimer();
  ASSERT_EQ(Notify(wc::DBT_DEVICEREMOVECOMPLETE), 1);
  EXPECT_TRUE(main->watcher.powerDetectionEventRunning);
  pushed.clear();
  sim.MoveWindowAsSystem(editor, MapRect(OnRight, MonRight, MonLeft));
  sim.RemoveMonitor(right);
  ui::app::ProcessPendingMessages();
  right = sim.AddMonitor(MonRight);
  ASSERT_EQ(Notify(wc::DBT_DEVICEARRIVAL), 1);
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
  EXPECT_TRUE(LoggedInOrder({L"WM_DC: device=", L"DC: disconnect", L"WP: DEVICEREMOVALCOMPLETE",
                             L"WMDisplayChange - event running", L"CC: connect",
                             L"CC: disconnect TRIGGER, CHM starting", L"WP: DEVICEARRIVAL", L"CHM: Starting",
                             L"CHM: Done."}));
}

TEST_F(WatcherEventsTest, AResolutionChangeOfTheNearestMonitorDrivesTheResolutionMode) {
  const WindowHandle editor = Program(OnRight);
  main->watcher.timGetTopProgramsTimer();
  main->rbResolutionChange->SetChecked(true);
  // The platform shuffles the windows while the primary runs at another resolution, then the
  // resolution comes back: two display changes, each a change of the nearest monitor's bounds.
  const MonitorHandle primary = sim.EnumMonitors()[0].handle;
  sim.MoveWindowAsSystem(editor, MapRect(OnRight, MonRight, MonLeft));
  sim.SetMonitorBounds(primary, TRect{0, 0, 1280, 720});
  ui::app::ProcessPendingMessages();
  FinishCycle();  // this first cycle restores already: the window sits on the wrong monitor, which both share
  sim.SetMonitorBounds(primary, MonLeft);
  ui::app::ProcessPendingMessages();
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
  EXPECT_EQ(CountLogged(L"RC: resolution TRIGGER"), 2u);
  EXPECT_FALSE(main->watcher.powerDetectionEventRunning);
}

// A monitor away for long: the main window keeps following the program in front (its timers run),
// and the programs go back when the monitor returns.
TEST_F(WatcherEventsTest, WhileAMonitorIsAwayTheWindowFollowsTheProgramInFront) {
  const WindowHandle editor = Program(OnRight);
  main->watcher.timGetTopProgramsTimer();
  main->Show();
  ASSERT_EQ(Notify(wc::DBT_DEVICEREMOVECOMPLETE), 1);
  sim.MoveWindowAsSystem(editor, MapRect(OnRight, MonRight, MonLeft));
  sim.RemoveMonitor(right);
  ui::app::ProcessPendingMessages();
  for (int i = 0; i < 225; ++i) Wait(200);  // 45 s
  EXPECT_TRUE(main->timGetForeground->Enabled());
  EXPECT_FALSE(main->watcher.powerDetectionEventRunning);
  sim::WindowSpec newDesc;
  newDesc.title = L"new program";
  const WindowHandle fresh = AddApp(TRect{400, 400, 900, 800}, newDesc);
  sim.SetForeground(fresh);
  for (int i = 0; i < 3; ++i) Wait(200);
  EXPECT_EQ(main->fore.hwnd, fresh) << "the window shows the program now in front";
  right = sim.AddMonitor(MonRight);
  ASSERT_EQ(Notify(wc::DBT_DEVICEARRIVAL), 1);
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
}

}  // namespace
}  // namespace tessary::test
