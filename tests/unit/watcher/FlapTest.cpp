// Monitors that flap: storms of arrivals and removals inside the restore cycle's own waits, a
// monitor that goes in the middle of a restore, the primary changing and the monitor count going
// 2 -> 1 -> 3, driven as the platform drives them (FlapFixture.h).
#include "FlapFixture.h"

namespace tessary::test {
namespace {

// ---------------------------------------------------------------- storms

struct StormCase {
  const char* name;
  int32_t delayMs;   // the countdown
  uint32_t startMs;  // first event, after the wake
  bool allBack;      // the storm is over before the restore looks: everything goes back
};

class FlapStormTest : public FlapTest, public ::testing::WithParamInterface<StormCase> {};

// 100 removals and 100 arrivals of the right-hand monitor within two seconds, alternating, the last
// an arrival.
TEST_P(FlapStormTest, EveryProgramEndsOnAMonitorWhereTheLastCycleLeftIt) {
  const StormCase& c = GetParam();
  main->seDelay->SetValue(c.delayMs);
  for (int i = 0; i < 19; ++i)
    Program(TRect{1940 + 40 * i, 20 + 30 * i, 2740 + 40 * i, 520 + 30 * i}, i % 7 == 3);
  RememberPlaces();
  main->watcher.timGetTopProgramsTimer();
  ASSERT_EQ(main->watcher.topLevelPrograms.Count(), 20);

  MonitorGoes(MonRight);
  ui::app::ProcessPendingMessages();
  constexpr int kEvents = 200;
  int ran = 0;
  for (int k = 0; k < kEvents; ++k)
    sim.At(c.startMs + 5 + 10 * static_cast<uint32_t>(k), [this, k, &ran] {
      if (k % 2 == 0)
        MonitorGoes(MonRight);
      else
        MonitorComes(MonRight);
      ++ran;
    });
  MonitorComes(MonRight);
  ui::app::ProcessPendingMessages();
  ASSERT_TRUE(main->watcher.fCallbackRunning);
  LetTheStormPass(ran, kEvents);

  ASSERT_EQ(ran, kEvents);
  int started = 0;
  EXPECT_EQ(MostCyclesAtOnce(&started), 1);
  EXPECT_GE(started, 1);
  EXPECT_EQ(cyclesEnded, started);
  EXPECT_GT(CountLogged(L"CHM: ignoring, thread still running."), 0u) << "the storm reached the running cycle";
  EXPECT_TRUE(EveryProgramOnAMonitor());
  for (WindowHandle h : programs) EXPECT_EQ(RectOf(h), decided[h]) << "window " << h;
  EXPECT_TRUE(main->timGetForeground->Enabled()) << "no timer left frozen";
  EXPECT_FALSE(main->watcher.powerDetectionEventRunning);
  if (c.allBack) {
    EXPECT_EQ(started, 1);
    for (WindowHandle h : programs) EXPECT_EQ(RectOf(h), original[h]) << "window " << h;
    EXPECT_FALSE(main->Visible()) << "nothing failed";
  }
}

INSTANTIATE_TEST_SUITE_P(Storms, FlapStormTest,
                         ::testing::Values(StormCase{"inside the countdown", 3000, 200, true},
                                           StormCase{"inside the restore", 2000, 2010, false}),
                         [](const ::testing::TestParamInfo<StormCase>& param) {
                           return param.index == 0 ? std::string("InsideTheCountdown") : std::string("InsideTheRestore");
                         });

// ---------------------------------------------------------------- one monitor going mid-restore

TEST_F(FlapTest, AMonitorThatGoesInTheMiddleOfARestoreLosesNoWindow) {
  std::vector<WindowHandle> right;
  for (int i = 0; i < 6; ++i) right.push_back(Program(TRect{2000 + 100 * i, 100 + 50 * i, 2800 + 100 * i, 600 + 50 * i}));
  main->watcher.timGetTopProgramsTimer();
  MonitorGoes(MonRight);
  ui::app::ProcessPendingMessages();
  // The default countdown is 2000 ms; each program then takes at least 20 ms: two or three are
  // back when the monitor goes again, for good.
  sim.At(2050, [this] { MonitorGoes(MonRight); });
  MonitorComes(MonRight);
  FinishCycle();

  EXPECT_TRUE(EveryProgramOnAMonitor());
  EXPECT_TRUE(Logged(L"RP: original monitor not found"));
  EXPECT_TRUE(main->Visible()) << "programs did not go back: the window stays in view";
  EXPECT_FALSE(main->watcher.fCallbackRunning);
}

// A monitor leaves the moment the cycle says it is over: the cycle is over with its timers
// running again, so that the new disconnect freezes the snapshot and the next wake restores.
TEST_F(FlapTest, AMonitorGoneRightAsTheCycleEndsIsRestoredByTheNextWake) {
  const WindowHandle editor = Program(TRect{2100, 200, 2900, 800});
  RememberPlaces();
  main->watcher.timGetTopProgramsTimer();
  MonitorGoes(MonRight);
  ui::app::ProcessPendingMessages();
  bool fired = false;
  watched_->afterStep = [&] {
    if (fired || main->watcher.fCallbackRunning || !Logged(L"CHM: Done.")) return;
    fired = true;
    MonitorGoes(MonRight);
  };
  MonitorComes(MonRight);
  FinishCycle();
  ASSERT_TRUE(fired);
  watched_->afterStep = nullptr;
  ASSERT_NE(RectOf(editor), original[editor]) << "pushed away again";
  Wait(10000);  // the snapshot timer's turn, were it running
  MonitorComes(MonRight);
  FinishCycle();
  EXPECT_EQ(RectOf(editor), original[editor]);
  EXPECT_EQ(MostCyclesAtOnce(), 1);
}

// ---------------------------------------------------------------- the layout changing

struct Arrival {
  TRect bounds;
  bool primary;
  uint32_t atMs;  // after the wake; 0: the wake itself
};

struct LayoutCase {
  const char* name;
  TRect sleeper;
  std::vector<Arrival> wake;
};

TEST_F(FlapTest, AfterTheLayoutChangedEveryProgramIsBackOnItsOwnMonitor) {
  const LayoutCase cases[] = {
      {"the right one sleeps and wakes", MonRight, {{MonRight, false, 0}}},
      {"the primary sleeps and comes back primary, listed last", MonLeft, {{MonLeft, true, 0}}},
      {"the primary sleeps and the other one stays primary", MonLeft, {{MonLeft, false, 0}}},
      {"2 -> 1 -> 3, the new monitor listed before the sleeper", MonRight, {{MonThird, false, 0}, {MonRight, false, 300}}},
      {"2 -> 1 -> 3, the sleeper listed first", MonRight, {{MonRight, false, 0}, {MonThird, false, 300}}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    ResetLogState();
    sim.ClearMonitors();
    sim.SetLayout({MonLeft, MonRight});
    for (WindowHandle h : programs)
      if (h != app) sim.RemoveWindow(h);
    programs.assign(1, app);
    sim.MoveWindowAsSystem(app, AppRect);
    ui::app::ProcessPendingMessages();
    const WindowHandle editor = Program(TRect{2100, 200, 2900, 800});
    const WindowHandle browser = Program(TRect{3000, 50, 3700, 500}, true);
    const WindowHandle notes = Program(TRect{1200, 600, 1700, 1000});
    RememberPlaces();
    Wait(3000);  // the reset of the layout is a change too: the watcher takes it up first
    main->watcher.timGetTopProgramsTimer();

    MonitorGoes(c.sleeper);
    ui::app::ProcessPendingMessages();
    for (const Arrival& a : c.wake)
      if (a.atMs != 0) sim.At(a.atMs, [this, a] { MonitorComes(a.bounds, a.primary); });
    MonitorComes(c.wake.front().bounds, c.wake.front().primary);
    FinishCycle();

    for (WindowHandle h : {app, editor, browser, notes}) EXPECT_EQ(RectOf(h), original[h]) << "window " << h;
    EXPECT_TRUE(sim.IsZoomed(browser));
    EXPECT_EQ(CountLogged(L"CHM: Starting"), 1u);
    EXPECT_FALSE(main->Visible()) << "nothing failed";
  }
}

// ---------------------------------------------------------------- a short soak

// Twenty sleep/wake cycles with twenty programs: every cycle restores them all, and what the
// program holds after the last is what it held after the first (the long run: tests/soak).
TEST_F(FlapTest, TwentyCyclesRestoreEveryTimeAndHoldNothingMore) {
  for (int i = 0; i < 19; ++i) Program(TRect{1940 + 40 * i, 20 + 30 * i, 2740 + 40 * i, 520 + 30 * i}, i % 7 == 3);
  RememberPlaces();
  main->watcher.timGetTopProgramsTimer();
  SleepWakeCycle();
  ASSERT_TRUE(EveryProgramBack());
  const Held first = HeldNow();
  for (int cycle = 2; cycle <= 20; ++cycle) {
    SleepWakeCycle();
    ASSERT_TRUE(EveryProgramBack()) << "cycle " << cycle;
  }
  const Held last = HeldNow(first.threads);
  EXPECT_TRUE(last == first) << "after the first: " << HeldText(first) << "\nafter the last:  " << HeldText(last);
  EXPECT_EQ(cyclesEnded, 20);
  EXPECT_FALSE(main->watcher.WorkerAlive());
}

}  // namespace
}  // namespace tessary::test
