// The Monitor Watcher on the simulated desktop, with a small host for its window: a monitor sleeps
// (its device interface goes, the platform pushes its windows onto the other monitor) and wakes
// again; the restore cycle runs on its worker thread and puts every displaced program back.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "WatcherFixture.h"
#include "core/UnitForeground.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitMoveQueue.h"
#include "watcher/UnitRestore.h"

namespace tessary::test {
namespace {

using WatcherTest = WatcherFixture;

TEST_F(WatcherTest, SleepAndWakePutEveryDisplacedProgramBack) {
  const WindowHandle editor = Program(OnRight);
  sim::WindowSpec maxDesc;
  maxDesc.maximized = true;
  maxDesc.rect = OnRight2;
  const WindowHandle browser = Program(OnRight2, maxDesc);
  const TRect editorBefore = RectOf(editor), browserBefore = RectOf(browser);
  Snapshot();
  ASSERT_EQ(watcher->topLevelPrograms.Count(), 3);

  MonitorGoes();
  EXPECT_TRUE(watcher->powerDetectionEventRunning);
  EXPECT_EQ(host.pauses, 0) << "a monitor away holds no timer";
  EXPECT_EQ(RectOf(editor), MapRect(editorBefore, MonRight, MonLeft));

  int pausedInCountdown = -1;
  sim.At(500, [&] { pausedInCountdown = host.pauses; });
  MonitorComes();
  EXPECT_TRUE(watcher->fCallbackRunning);
  FinishCycle();

  EXPECT_EQ(RectOf(editor), editorBefore);
  EXPECT_EQ(RectOf(browser), browserBefore);
  EXPECT_TRUE(sim.IsZoomed(browser));
  EXPECT_EQ(RectOf(app), AppRect) << "the program on the other monitor is untouched";
  EXPECT_FALSE(host.visible) << "everything went back: the window hides again";
  EXPECT_FALSE(watcher->powerDetectionEventRunning);
  EXPECT_EQ(pausedInCountdown, 1) << "the wake's cycle holds the timers while it runs";
  EXPECT_EQ(host.pauses, 0) << "and lets them go at its end";
  EXPECT_EQ(host.cyclesEnded, 1);
  EXPECT_FALSE(watcher->MonitorsChanging());
  EXPECT_TRUE(LoggedInOrder({L"DC: disconnect", L"WA: monitors changing: disconnect", L"CC: connect",
                             L"CC: disconnect TRIGGER, CHM starting", L"CHM: Starting", L"GMI: populated = 2",
                             L"CHM: HandleMovedPrograms", L"WA: arrangement 2 monitors: 1920x1080 at (0, 0) primary; "
                             L"1920x1080 at (1920, 0) remembered, 3 programs",
                             L"GTLP: Starting.", L"GTLP: Ending - added count = 3", L"HMP: Restore count=2",
                             L"HMP: Moving [", L"HMP: Moving [", L"RR: arrangement 2 monitors", L"GTLP: Starting.",
                             L"CHM: Ending", L"CHM: Done."}));
  // The snapshot after the cycle shows the restored layout.
  TProgramInfo e;
  e.hwnd = editor;
  ASSERT_TRUE(watcher->topLevelPrograms.TryAndGet(e));
  EXPECT_EQ(e.monitorBounds, MonRight);
}

// A hotkey, a button or a forwarded command line asks for a move while the restore counts down
// (its wait pumps messages). Run there, the move would be seen by the restore as a displacement
// and undone; it waits for the restore instead, and then moves once.
TEST_F(WatcherTest, AMoveAskedForDuringTheCountdownRunsOnceAfterTheRestore) {
  const WindowHandle editor = Program(OnRight);
  const TRect editorBefore = RectOf(editor);
  Snapshot();
  MonitorGoes();
  bool ranAtOnce = true;
  size_t waiting = 0;
  MonitorComes();
  sim.At(500, [&] {  // half-way through the default 2000 ms countdown, on the user-interface thread
    ranAtOnce = TMoveQueue::RequestMove(L"hotkey", TMoveDirection::Next, 0, false);
    waiting = TMoveQueue::Waiting();
  });
  FinishCycle();
  EXPECT_FALSE(ranAtOnce);
  EXPECT_EQ(waiting, 1u);
  // The restore put the editor back; the move then took the program in front, the app, to the
  // other monitor. Run inside the countdown, the restore would have found the app off its
  // recorded monitor and brought it back: a move lost.
  EXPECT_EQ(RectOf(editor), editorBefore);
  EXPECT_TRUE(MonRight.Contains(RectOf(app).Left, RectOf(app).Top)) << "moved once, after the restore";
  EXPECT_EQ(RectOf(app).Width(), AppRect.Width());
  EXPECT_TRUE(LoggedInOrder({L"CHM: HandleMovedPrograms", L"MQ: hotkey waits (1 waiting)", L"HMP: Restore count=1",
                             L"HMP: Moving [", L"MQ: hotkey runs", L"MP: monitor [1] new TL", L"CHM: Ending"}));
  EXPECT_EQ(CountLogged(L"HMP: Restore count="), 1u);
  EXPECT_EQ(CountLogged(L"new TL"), 1u) << "the restore places through RestoreProgram, the move once";
}

// The worker hands the restore to the user-interface thread while a move there waits for its
// window: the restore runs after that move, once, and the worker waits for it before it goes on.
TEST_F(WatcherTest, ARestoreHandedOverDuringAMoveRunsAfterItAndTheWorkerWaitsForIt) {
  const WindowHandle editor = Program(OnRight);
  const TRect editorBefore = RectOf(editor);
  Snapshot();
  MonitorGoes();
  bool queuedInside = false;
  sim.WhileWaitingFor(app, [&] {
    MonitorComes();
    // The worker's steps arrive here, as sent messages do in a wait, until the restore is queued.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (TMoveQueue::Waiting() == 0 && watcher->WorkerAlive() && std::chrono::steady_clock::now() < giveUp) {
      ui::app::ProcessPendingMessages();
      std::this_thread::yield();
    }
    queuedInside = TMoveQueue::Waiting() == 1;
  });
  EXPECT_TRUE(TMoveQueue::RequestMove(L"button", TMoveDirection::Next, 0, false));
  FinishCycle();

  EXPECT_TRUE(queuedInside);
  EXPECT_EQ(CountLogged(L"CHM: HandleMovedPrograms"), 1u);
  EXPECT_TRUE(LoggedInOrder({L"MQ: restore waits (1 waiting)", L"MP: monitor [1] new TL", L"MQ: restore runs",
                             L"CHM: HandleMovedPrograms", L"HMP: Restore count=", L"CHM: Ending", L"CHM: Done."}));
  EXPECT_EQ(RectOf(editor), editorBefore);
  EXPECT_FALSE(watcher->fCallbackRunning);
}

TEST_F(WatcherTest, TheWindowShowsTheCountdownAndHidesAfter) {
  Program(OnRight);
  Snapshot();
  host.delayMs = 1000;
  std::vector<std::wstring> shown;
  std::vector<bool> visible;
  for (uint32_t at = 10; at < 1000; at += 200)
    sim.At(at, [&] {
      shown.push_back(host.status);
      visible.push_back(host.visible);
    });
  MonitorGoes();
  // The probes are due from the wake on; the clock moves only in the program's own waits.
  MonitorComes();
  FinishCycle();

  EXPECT_EQ(shown, (std::vector<std::wstring>{L"Sleeping (1.00) then restoring positions .",
                                              L"Sleeping (0.80) then restoring positions ..",
                                              L"Sleeping (0.60) then restoring positions ...",
                                              L"Sleeping (0.40) then restoring positions ....",
                                              L"Sleeping (0.20) then restoring positions ."}));
  EXPECT_EQ(visible, std::vector<bool>(5, true));
  EXPECT_FALSE(host.visible);
  for (const std::wstring& line : host.kept) EXPECT_EQ(line.find(L"Sleeping ("), std::wstring::npos);
}

TEST_F(WatcherTest, NothingDisplacedNothingMovesAndTheWindowHidesAgain) {
  Snapshot();  // only the program on the monitor that stays
  MonitorGoes();
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(app), AppRect);
  EXPECT_EQ(host.status, L"No program moving needed.");
  EXPECT_EQ(CountLogged(L"HMP: Restore count="), 0u);
  EXPECT_FALSE(host.visible);
  EXPECT_NE(ReportOf(L"Document").find(L"already in place"), std::wstring::npos);
}

TEST_F(WatcherTest, WithTheWatcherOffNothingMoves) {
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  watcher->SetMonitorWatcher(false);
  EXPECT_FALSE(host.snapshotTimer);
  const size_t mark = Log().size();
  MonitorGoes();
  EXPECT_FALSE(watcher->powerDetectionEventRunning);
  MonitorComes();
  EXPECT_FALSE(watcher->fCallbackRunning);
  EXPECT_EQ(host.status, L"Monitor Watcher Disasbled: connection detected");
  Idle(3000);
  EXPECT_NE(RectOf(editor), OnRight);
  const auto log = Log();
  EXPECT_EQ(std::count(log.begin() + static_cast<std::ptrdiff_t>(mark), log.end(), L"CC: disconnect DISABLED"), 1);
  EXPECT_EQ(CountLogged(L"CHM: Starting"), 0u);
  EXPECT_EQ(CountLogged(L"WA: "), 0u);
}

TEST_F(WatcherTest, NeitherTriggerSelectedNoCycleStarts) {
  Program(OnRight);
  Snapshot();
  host.powerState = false;
  MonitorGoes();
  MonitorComes();
  watcher->OnResolutionChange();
  EXPECT_FALSE(watcher->fCallbackRunning);
  EXPECT_FALSE(watcher->powerDetectionEventRunning);
  EXPECT_EQ(CountLogged(L"CHM: Starting"), 0u);
}

TEST_F(WatcherTest, ResolutionModeRestoresOnAResolutionEventOnly) {
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  host.powerState = false;
  host.resolution = true;

  MonitorGoes();
  EXPECT_FALSE(watcher->powerDetectionEventRunning) << "connect and disconnect are only logged";
  MonitorComes();
  EXPECT_FALSE(watcher->fCallbackRunning);
  watcher->OnResolutionChange();
  EXPECT_TRUE(watcher->fCallbackRunning);
  FinishCycle();
  EXPECT_TRUE(LoggedInOrder({L"RC: resolution", L"RC: resolution TRIGGER", L"CHM: Starting", L"CHM: Done."}));
  EXPECT_EQ(CountLogged(L"GTLP:"), 0u) << "no power event: no snapshot lines";
  EXPECT_EQ(host.pauses, 0);
  EXPECT_EQ(RectOf(editor), OnRight);
}

TEST_F(WatcherTest, ASecondArrivalDuringTheCycleIsIgnored) {
  Program(OnRight);
  Snapshot();
  MonitorGoes();
  sim.At(500, [&] { watcher->OnMonitorConnect(); });  // during the countdown
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(CountLogged(L"CHM: Starting"), 1u);
  EXPECT_TRUE(Logged(L"CHM: ignoring, thread still running."));
  // The next event starts a new cycle.
  watcher->OnMonitorConnect();
  FinishCycle();
  EXPECT_EQ(CountLogged(L"CHM: Starting"), 2u);
}

// An arrival while only one monitor is there (another device of the class, a monitor that flaps):
// the cycle gives up waiting, the one-monitor arrangement settles under its own key, and the real
// return later still finds the two-monitor layout kept aside.
TEST_F(WatcherTest, OneArrivalTooManyLosesNothing) {
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  MonitorGoes();
  watcher->OnMonitorConnect();
  FinishCycle();
  EXPECT_TRUE(Logged(L"CHM: no second monitor, nothing restored"));
  EXPECT_FALSE(watcher->fCallbackRunning);
  EXPECT_EQ(host.pauses, 0);
  Idle(12000);  // snapshots of the one monitor go on meanwhile
  EXPECT_FALSE(watcher->powerDetectionEventRunning);
  EXPECT_FALSE(watcher->MonitorsChanging());
  EXPECT_EQ(watcher->Memory().Count(), 2u);
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
}

TEST_F(WatcherTest, TheWorkerWaitsForTheSecondMonitor) {
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  MonitorGoes();
  // The arrival comes before the monitor is listed again; it shows up 1.6 s later.
  watcher->OnMonitorConnect();
  sim.At(1600, [&] { sim.AddMonitor(MonRight); });
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
  EXPECT_GE(CountLogged(L"GMI: populated = 1"), 1u);
  EXPECT_TRUE(LoggedInOrder({L"GMI: populated = 2", L"CHM: Getmonitors repeat=", L"CHM: HandleMovedPrograms"}));
}

// A monitor away for long, a trigger or the watcher switched meanwhile: nothing stays held or
// flagged, and the window's work goes on.
TEST_F(WatcherTest, SwitchesWhileAMonitorIsAwayLeaveNothingHeld) {
  struct Case {
    const char* what;
    std::function<void(TestWatcherHost&, TMonitorWatcher&)> meanwhile;
    bool restores;
  };
  const Case cases[] = {
      {"nothing switched", [](TestWatcherHost&, TMonitorWatcher&) {}, true},
      {"trigger switched to resolution",
       [](TestWatcherHost& h, TMonitorWatcher&) {
         h.powerState = false;
         h.resolution = true;
       },
       true},
      {"both triggers cleared", [](TestWatcherHost& h, TMonitorWatcher&) { h.powerState = false; }, false},
      {"watcher off and on again",
       [](TestWatcherHost&, TMonitorWatcher& w) {
         w.SetMonitorWatcher(false);
         w.SetMonitorWatcher(true);
       },
       true},
  };
  // A trigger still chosen puts the programs back once the monitors have settled, by the wake's
  // cycle or, without one, by the settling itself.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const WindowHandle editor = Program(OnRight);
    Snapshot();
    MonitorGoes();
    c.meanwhile(host, *watcher);
    Idle(45000);
    EXPECT_EQ(host.pauses, 0);
    EXPECT_FALSE(watcher->powerDetectionEventRunning);
    EXPECT_FALSE(watcher->MonitorsChanging());
    MonitorComes();
    FinishCycle();
    Idle(3000);  // a display change without a trigger settles by itself
    EXPECT_EQ(RectOf(editor) == OnRight, c.restores);
    EXPECT_FALSE(watcher->MonitorsChanging());
    EXPECT_EQ(host.pauses, 0);
    sim.RemoveWindow(editor);
    host.powerState = true;
    host.resolution = false;
    Idle(11000);
  }
}

TEST_F(WatcherTest, AStepThatThrowsEndsTheCycleCleanly) {
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  MonitorGoes();
  sim.At(300, [] { throw std::runtime_error("boom"); });  // inside the countdown
  MonitorComes();
  FinishCycle();
  EXPECT_FALSE(watcher->fCallbackRunning);
  EXPECT_FALSE(watcher->powerDetectionEventRunning);
  EXPECT_EQ(host.pauses, 0);
  EXPECT_TRUE(LoggedInOrder({L"CHM: Starting", L"CHM: cycle failed: boom"}));
  EXPECT_NE(RectOf(editor), OnRight);

  // Nothing is stuck: the next sleep and wake restore as usual.
  MonitorGoes();
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
}

TEST_F(WatcherTest, TheWatcherCanGoWhileTheWorkerWaits) {
  Program(OnRight);
  Snapshot();
  MonitorGoes();
  watcher->OnMonitorConnect();  // the second monitor never comes back
  ASSERT_TRUE(watcher->WorkerAlive());
  EXPECT_TRUE(watcher->StopRestoreWorker(10000)) << "the stop did not end the worker";
  EXPECT_FALSE(watcher->WorkerAlive());
  watcher.reset();  // nothing of the host is used after
}

// ---------------------------------------------------------------- what can go wrong per program

TEST_F(WatcherTest, TheReportGivesEveryProgramItsOutcome) {
  sim::WindowSpec goneDesc, minDesc, hungDesc, adminDesc, movedDesc, editorDesc;
  goneDesc.title = L"gone";
  editorDesc.title = L"editor";
  minDesc.title = L"mini";
  hungDesc.title = L"frozen";
  adminDesc.title = L"admin";
  adminDesc.pid = sim.AddProcess(L"admin.exe", wc::SECURITY_MANDATORY_HIGH_RID);
  movedDesc.title = L"moved by the user";
  const WindowHandle gone = Program(OnRight, goneDesc);
  const WindowHandle minimized = Program(TRect{2000, 100, 2600, 500}, minDesc);
  const WindowHandle frozen = Program(TRect{2200, 300, 2800, 700}, hungDesc);
  const WindowHandle admin = Program(TRect{2300, 400, 2900, 800}, adminDesc);
  const WindowHandle editor = Program(OnRight2, editorDesc);
  const WindowHandle moved = Program(TRect{300, 300, 700, 600}, movedDesc);
  Snapshot();
  ASSERT_EQ(watcher->topLevelPrograms.Count(), 7);

  MonitorGoes();
  sim.RemoveWindow(gone);
  sim.ShowWindow(minimized, wc::SW_MINIMIZE);
  sim.SetHung(frozen, true);
  sim.MoveWindowAsSystem(moved, TRect{500, 500, 900, 800});
  const TRect pushedAdmin = RectOf(admin);
  MonitorComes();
  FinishCycle();

  EXPECT_EQ(RectOf(editor), OnRight2);
  EXPECT_TRUE(sim.IsIconic(minimized)) << "it stays minimized where it is";
  EXPECT_EQ(RectOf(admin), pushedAdmin);
  EXPECT_EQ(RectOf(moved), (TRect{500, 500, 900, 800}));
  EXPECT_TRUE(sim.HangsSuffered().empty()) << "no call waited for the frozen program";
  EXPECT_TRUE(Logged(L"HMP: Program Handle Missing app.exe [REPEAT x1]")) << "the gone and the minimized one";
  EXPECT_EQ(CountLogged(L"HMP: repeating"), 0u) << "a program that does not answer is not retried";
  EXPECT_TRUE(host.Kept(L"Skipping VAC Admin program."));
  EXPECT_TRUE(host.visible) << "the frozen program did not go back: the window stays in view";

  const auto& report = watcher->LastReport();
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report[0], L"arrangement 2 monitors: 1920x1080 at (0, 0) primary; 1920x1080 at (1920, 0), remembered");
  EXPECT_EQ(report.size(), 8u) << "one line per program considered";
  const TRect editorFrom = MapRect(OnRight2, MonRight, MonLeft);
  EXPECT_NE(ReportOf(L"Document").find(L": already in place"), std::wstring::npos);
  EXPECT_EQ(ReportOf(L"editor"),
            L"app.exe \"editor\" from [" + std::to_wstring(editorFrom.Left) + L", " + std::to_wstring(editorFrom.Top) +
                L", " + std::to_wstring(editorFrom.Right) + L", " + std::to_wstring(editorFrom.Bottom) +
                L"] to [3000, 50, 3700, 500]: put back");
  struct Want {
    const wchar_t* title;
    const wchar_t* outcome;
  };
  for (const Want& w : {Want{L"mini", L": skipped (minimized)"}, Want{L"frozen", L": skipped (not responding)"},
                        Want{L"admin", L": skipped (elevated)"}, Want{L"moved by the user", L": left where the user put it"}}) {
    const std::wstring line = ReportOf(w.title);
    EXPECT_NE(line.find(w.outcome), std::wstring::npos) << std::string(line.begin(), line.end());
  }
  const auto goneLine = std::find_if(report.begin(), report.end(), [](const std::wstring& l) {
    return l.find(L"from nowhere") != std::wstring::npos;
  });
  ASSERT_NE(goneLine, report.end());
  EXPECT_NE(goneLine->find(L": gone"), std::wstring::npos);
  // The same lines are in the debug log.
  for (const std::wstring& line : report) EXPECT_TRUE(Logged(L"RR: " + line));
}

TEST_F(WatcherTest, ProgramsThatWillNotGoBackKeepTheWindowOpenAndSayWhy) {
  const WindowHandle stubborn = Program(OnRight);
  Program(OnRight2);
  Snapshot();
  MonitorGoes();
  MonitorComes(MonRight, false);
  sim.FailOperation(Op::SetWindowPos, wc::ERROR_INVALID_PARAMETER, -1);
  watcher->OnMonitorConnect();
  FinishCycle();
  sim.ClearFaults();
  EXPECT_EQ(CountLogged(L"HMP: position failed 1"), 2u);
  EXPECT_EQ(CountLogged(L"HMP: Restoring Position failed."), 2u);
  EXPECT_TRUE(host.visible) << "what did not go back stays in view";
  EXPECT_NE(RectOf(stubborn), OnRight);
  EXPECT_EQ(host.pauses, 0);
  const std::wstring line = watcher->LastReport().back();
  EXPECT_NE(line.find(L": failed (87 "), std::wstring::npos) << std::string(line.begin(), line.end());
}

TEST_F(WatcherTest, AMonitorThatFlapsDuringTheCountdownStillGetsItsProgramsBack) {
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  MonitorGoes();
  // It wakes, goes again 300 ms into the countdown (its windows pushed once more) and is back
  // at 700 ms, with another arrival that the running cycle ignores.
  sim.At(300, [&] { MonitorGoes(); });
  sim.At(700, [&] { MonitorComes(); });
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
  EXPECT_EQ(CountLogged(L"CHM: Starting"), 1u);
  EXPECT_TRUE(Logged(L"HMP: the monitors changed during the wait; waiting again"));
  EXPECT_EQ(host.pauses, 0);
}

TEST_F(WatcherTest, AMonitorGoneAgainBeforeTheRestoreLosesNoWindow) {
  sim::WindowSpec editorDesc;
  editorDesc.title = L"editor";
  const WindowHandle editor = Program(OnRight, editorDesc);
  Snapshot();
  MonitorGoes();
  const TRect pushedEditor = RectOf(editor);
  sim.At(300, [&] { sim.RemoveMonitor(MonitorAt(MonRight)); });  // and it does not come back
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(editor), pushedEditor) << "left on the monitor that is there";
  EXPECT_NE(ReportOf(L"editor").find(L"skipped (monitor missing)"), std::wstring::npos);
  EXPECT_FALSE(watcher->fCallbackRunning);
}

// A program that could not go back (it did not answer) keeps its recorded place in the memory, so
// that the next wake puts it back once it answers again; one the user moves meanwhile does not.
TEST_F(WatcherTest, AProgramThatCouldNotGoBackKeepsItsRecordedPlace) {
  sim::WindowSpec frozenDesc, movedDesc;
  frozenDesc.title = L"frozen";
  movedDesc.title = L"moved";
  const WindowHandle frozen = Program(OnRight, frozenDesc);
  const WindowHandle moved = Program(OnRight2, movedDesc);
  Snapshot();
  MonitorGoes();
  sim.SetHung(frozen, true);
  sim.SetHung(moved, true);
  MonitorComes();
  FinishCycle();
  ASSERT_NE(RectOf(frozen), OnRight);
  sim.SetHung(frozen, false);
  sim.SetHung(moved, false);
  sim.MoveWindowAsSystem(moved, TRect{300, 300, 900, 700});  // the user puts it somewhere
  Idle(21000);  // snapshots of the wrong places meanwhile
  MonitorGoes();
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(frozen), OnRight) << "it goes back at the next wake";
  EXPECT_EQ(RectOf(moved), (TRect{300, 300, 900, 700})) << "where the user put it";
}

// ---------------------------------------------------------------- arrangements

// Undocked, the user works on the laptop alone (snapshots go on, a program moved there); docked
// again, the programs the dock's monitor held go back, and the one the user moved on the monitor
// that stayed is left where the user put it.
TEST_F(WatcherTest, UndockWorkAndDockAgain) {
  const WindowHandle editor = Program(OnRight);
  sim::WindowSpec notesDesc;
  notesDesc.title = L"notes";
  const WindowHandle notes = Program(TRect{200, 600, 700, 1000}, notesDesc);
  Snapshot();
  MonitorGoes();
  Idle(30000);
  ASSERT_EQ(watcher->Memory().Count(), 2u) << "the laptop alone is remembered under its own key";
  sim.MoveWindowAsSystem(notes, TRect{900, 100, 1400, 500});
  Idle(11000);
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
  EXPECT_EQ(RectOf(notes), (TRect{900, 100, 1400, 500}));
  EXPECT_NE(ReportOf(L"notes").find(L"left where the user put it"), std::wstring::npos);
  EXPECT_FALSE(host.visible);

  // Undocked again: the laptop's own layout is back as it was left there.
  MonitorGoes();
  Idle(3000);
  EXPECT_TRUE(LoggedInOrder({L"WA: arrangement 1 monitor: 1920x1080 at (0, 0) primary remembered"}));
}

// Docked at another desk (a different monitor in the second place): nothing of the first desk
// lands on it; back at the first desk, everything goes back.
TEST_F(WatcherTest, TwoDesksKeepTheirOwnLayouts) {
  constexpr TRect OtherDesk{1920, 0, 4480, 1440};
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  MonitorGoes();
  Idle(3000);
  MonitorComes(OtherDesk);
  FinishCycle();
  EXPECT_TRUE(MonLeft.Contains(RectOf(editor).Left, RectOf(editor).Top)) << "nothing lands on the other desk";
  EXPECT_NE(watcher->LastReport().at(0).find(L"2560x1440 at (1920, 0), new"), std::wstring::npos);
  Idle(11000);

  MonitorGoes(OtherDesk);
  Idle(3000);
  MonitorComes(MonRight);
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
  EXPECT_EQ(watcher->Memory().Count(), 3u);
}

// Two docks whose second screens have the same size: where the system names the screens, a screen
// of the other desk is another monitor, and nothing of the first desk lands on it.
TEST_F(WatcherTest, IdenticalDocksWithOtherScreensStayApart) {
  constexpr const wchar_t* ScreenA = L"\\\\?\\DISPLAY#DEL4071#5&1a2b&0&UID1#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
  constexpr const wchar_t* ScreenB = L"\\\\?\\DISPLAY#DEL4071#5&9f8e&0&UID7#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
  sim.SetMonitorDevicePath(MonitorAt(MonRight), ScreenA);
  Snapshot();  // finds the screen named now: a change, taken up once it has lasted
  Idle(3000);
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  MonitorGoes();
  Idle(3000);
  MonitorComes(MonRight, true, ScreenB);
  FinishCycle();
  EXPECT_TRUE(MonLeft.Contains(RectOf(editor).Left, RectOf(editor).Top)) << "nothing lands on the other desk's screen";
  EXPECT_NE(ReportOf(L"Document").find(L"already in place"), std::wstring::npos);
  Idle(11000);

  MonitorGoes();
  Idle(3000);
  MonitorComes(MonRight, true, ScreenA);
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
}

// The countdown and the restore's log lines write numbers the way the user's locale does.
TEST_F(WatcherTest, NumbersFollowTheUsersDecimalSeparator) {
  sim.SetDecimalSeparator(L",");
  Program(TRect{2400, 108, 3360, 648});  // 0.50 x 0.50 of the right-hand monitor
  Snapshot();
  host.delayMs = 1000;
  std::wstring first;
  sim.At(10, [&] { first = host.status; });
  MonitorGoes();
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(first, L"Sleeping (1,00) then restoring positions .");
  EXPECT_TRUE(LoggedInOrder({L"app.exe left False [0,50 x 0,50]"}));
}

// The restore delay starts again with every change: a storm of display changes without any device
// event (a dock's monitors coming up one by one) settles once, after the last, on what is there.
TEST_F(WatcherTest, AStormOfChangesSettlesOnceAfterTheLast) {
  const WindowHandle editor = Program(OnRight);
  Snapshot();
  MonitorGoes(MonRight, false);
  Idle(3000);
  for (int i = 0; i < 10; ++i) {
    MonitorComes(MonRight, false);
    Idle(400);
    MonitorGoes(MonRight, false);
    Idle(400);
  }
  MonitorComes(MonRight, false);
  Idle(1800);
  EXPECT_NE(RectOf(editor), OnRight) << "the delay is not over yet";
  EXPECT_TRUE(watcher->MonitorsChanging());
  Idle(3000);
  EXPECT_EQ(RectOf(editor), OnRight);
  EXPECT_EQ(CountLogged(L"CHM: Starting"), 1u);
}

TEST_F(WatcherTest, AProgramClosedWhileAwayLeavesTheMemory) {
  const WindowHandle editor = Program(OnRight);
  const WindowHandle other = Program(OnRight2);
  Snapshot();
  MonitorGoes();
  Idle(3000);
  const TArrangement docked = TArrangement::FromMonitors({MonitorDesc{0, MonLeft, MonLeft, true, L"", L""},
                                                          MonitorDesc{0, MonRight, MonRight, false, L"", L""}});
  ASSERT_NE(watcher->Memory().Find(docked), nullptr);
  EXPECT_EQ(watcher->Memory().Find(docked)->programs.Count(), 3);
  sim.RemoveWindow(other);
  Idle(11000);
  EXPECT_EQ(watcher->Memory().Find(docked)->programs.Count(), 2);
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(editor), OnRight);
}

// The window in front is recorded whatever it is (a tool window here), first, and put back last.
TEST_F(WatcherTest, TheWindowInFrontIsRecordedAndPutBackLast) {
  const WindowHandle editor = Program(OnRight);
  sim::WindowSpec toolDesc;
  toolDesc.exStyle = wc::WS_EX_TOOLWINDOW;
  toolDesc.title = L"palette";
  const WindowHandle palette = AddApp(TRect{3200, 600, 3500, 900}, toolDesc);
  sim.SetForeground(palette);
  ASSERT_FALSE(TFocusManager::IsLikelyOnTaskbar(palette));
  Snapshot();
  ASSERT_GE(watcher->topLevelPrograms.Count(), 1);
  EXPECT_EQ(watcher->topLevelPrograms[0].hwnd, palette);
  MonitorGoes();
  MonitorComes();
  FinishCycle();
  EXPECT_EQ(RectOf(palette), (TRect{3200, 600, 3500, 900}));
  EXPECT_EQ(RectOf(editor), OnRight);
  std::wstring lastMoving;
  for (const std::wstring& line : Log())
    if (line.rfind(L"HMP: Moving [", 0) == 0) lastMoving = line;
  EXPECT_EQ(lastMoving.find(L"HMP: Moving [" + std::to_wstring(static_cast<int32_t>(palette)) + L"]"), 0u)
      << std::string(lastMoving.begin(), lastMoving.end());
}

// ---------------------------------------------------------------- the pieces

TEST_F(WatcherTest, TheSnapshotSkipsOwnMinimizedAndEmptyWindowsAndAsksEachProcessOnce) {
  sim::WindowSpec minDesc;
  minDesc.minimized = true;
  Program(TRect{10, 10, 300, 300}, minDesc);
  sim::WindowSpec maxDesc;
  maxDesc.maximized = true;
  const WindowHandle max = Program(OnRight, maxDesc);
  Program(TRect{0, 0, 0, 0});
  for (int i = 0; i < 20; ++i) Program(TRect{100 + i, 100, 500 + i, 400});
  sim::WindowSpec ownDesc;  // one of our own windows in front (the debug window, say)
  ownDesc.pid = sim.OwnProcessId();
  const WindowHandle own = AddApp(TRect{300, 300, 700, 600}, ownDesc);
  sim.SetForeground(own);
  sim.ResetCallCounts();
  watcher->GatherTopLevelPrograms();
  // Each of the 25 windows walked has a process of its own, asked once for its name; no list.
  EXPECT_EQ(sim.CallCount(Op::GetProcessList), 0);
  EXPECT_EQ(sim.CallCount(Op::GetProcessImageName), 25);
  EXPECT_EQ(watcher->topLevelPrograms.Count(), 22);  // the walk went on below our own: app, max and the twenty
  const int classReads = sim.CallCount(Op::GetClassNameW), pidReads = sim.CallCount(Op::GetWindowThreadProcessId);
  // Again: a window's class is asked once in its life, its process once per walk.
  sim.ResetCallCounts();
  watcher->GatherTopLevelPrograms();
  EXPECT_LT(sim.CallCount(Op::GetClassNameW), classReads - 20);
  EXPECT_EQ(sim.CallCount(Op::GetWindowThreadProcessId), pidReads);
  // Processes that cannot be asked: the list, once for the whole walk.
  sim.FailOperation(Op::GetProcessImageName, wc::ERROR_ACCESS_DENIED, -1);
  sim.ResetCallCounts();
  watcher->GatherTopLevelPrograms();
  sim.ClearFaults();
  EXPECT_EQ(sim.CallCount(Op::GetProcessList), 1);
  EXPECT_EQ(watcher->topLevelPrograms.Count(), 22);
  TProgramInfo m;
  m.hwnd = max;
  ASSERT_TRUE(watcher->topLevelPrograms.TryAndGet(m));
  EXPECT_TRUE(m.isMaximized);
  for (const TProgramInfo& p : watcher->topLevelPrograms) {
    EXPECT_NE(p.EXEName, L"Tessary.exe");
    EXPECT_FALSE(p.isMinimized);
    EXPECT_NE(p.processId, 0u);
    EXPECT_NE(p.classHash, 0u);
  }
}

TEST_F(WatcherTest, TheSnapshotPlacesEveryWindowOnTheMonitorThePlatformWouldName) {
  struct Case {
    const char* what;
    TRect rect;
    bool maximized;
  };
  const Case cases[] = {
      {"inside the right one", TRect{2000, 100, 2500, 500}, false},
      {"more on the left", TRect{1500, 100, 2100, 500}, false},
      {"more on the right", TRect{1800, 100, 2400, 500}, false},
      {"exactly half on each", TRect{1720, 100, 2120, 500}, false},
      {"on no monitor, nearest the right", TRect{4000, 1200, 4400, 1500}, false},
      {"maximized, its frame over the edges", TRect{2000, 100, 2500, 500}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::WindowSpec desc;
    desc.maximized = c.maximized;
    const WindowHandle h = Program(c.rect, desc);
    TProgramInfo alone;
    TForeGround::GatherProgramInfo(h, alone);  // outside a walk: the platform's MonitorFromWindow
    watcher->GatherTopLevelPrograms();
    TProgramInfo walked;
    walked.hwnd = h;
    ASSERT_TRUE(watcher->topLevelPrograms.TryAndGet(walked));
    EXPECT_EQ(walked.monitorID, alone.monitorID);
    EXPECT_EQ(walked.monitorBounds, alone.monitorBounds);
    EXPECT_EQ(walked.leftpercent, alone.leftpercent);
    sim.RemoveWindow(h);
  }
}

TEST_F(WatcherTest, VerificationAllowsOneHundredthAndNamesTheFirstMiss) {
  const WindowHandle w = Program(TRect{480, 108, 1440, 648});  // left 0.25, top 0.10, 0.50 x 0.50
  TProgramInfo rec;
  TForeGround::GatherProgramInfo(w, rec);
  struct Case {
    int32_t width;
    bool ok;
  };
  // 0.509 of 1920 is 977 px, 0.511 is 981 px.
  for (const Case c : {Case{977, true}, Case{979, true}, Case{981, false}}) {
    sim.SetWindowPos(w, 0, 480, 108, c.width, 540, wc::SWP_NOZORDER);
    const size_t mark = Log().size();
    EXPECT_EQ(TRestore::VerifyRestored(rec), c.ok) << c.width;
    if (!c.ok) {
      ASSERT_GT(Log().size(), mark);
      EXPECT_EQ(Log().back().rfind(L"HMP: Failed WidthX  0.0109 diff [", 0), 0u) << std::string(Log().back().begin(), Log().back().end());
    }
  }
}

// A handle the system gave to another program since the snapshot is not that program: it is not
// moved, and the report calls the recorded one gone.
TEST_F(WatcherTest, AReusedHandleIsNotMoved) {
  const WindowHandle h = Program(OnRight);
  TProgramInfo old;
  TForeGround::GatherProgramInfo(h, old);
  old.processId = 4242;
  old.classHash = ClassHash(L"Recorded");
  TProgramInfo now;
  TForeGround::GatherProgramInfo(h, now);
  now.monitorBounds = MonLeft;
  now.monitorID = 0;
  struct Case {
    const char* what;
    uint32_t pid;
    const wchar_t* cls;
    bool moved;
  };
  for (const Case& c : {Case{"same program", 4242, L"Recorded", true}, Case{"another process", 77, L"Recorded", false},
                        Case{"another class", 4242, L"Other", false}}) {
    SCOPED_TRACE(c.what);
    now.processId = c.pid;
    now.classHash = ClassHash(c.cls);
    TTryList<TProgramInfo> saved(std::make_shared<TProgramInfoComparer>()), fresh(std::make_shared<TProgramInfoComparer>());
    saved.Add(old);
    fresh.Add(now);
    TRestoreReport report;
    EXPECT_EQ(TRestore::FindMovedPrograms(saved, fresh, &report).Count(), c.moved ? 1 : 0);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].outcome, c.moved ? TRestoreOutcome::PutBack : TRestoreOutcome::Gone);
  }
}

}  // namespace
}  // namespace tessary::test
