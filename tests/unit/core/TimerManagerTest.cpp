// The timer manager with real form timers on the simulated desktop's virtual clock: a 200 ms
// timer that ticks all the time and a 10 s timer that runs only through the manager's own
// accounting, pauses from outside, the tick count wrapping, nested ticks and a lock held by
// another thread.
#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <ostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "../moving/MovingFixture.h"
#include "ui/Ui.h"
#include "ui/headless/Headless.h"
#include "core/UnitTimerManager.h"

namespace tessary::test {
namespace {

class TimerManagerTest : public MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    sim.SetLayout({TRect{0, 0, 1920, 1080}, TRect{1920, 0, 3840, 1080}});
    widgets.emplace(sim);
    form = std::make_unique<ui::Form>(L"TTimerTestForm", L"Timers", 100, 50, ui::FormStyle{wc::WS_POPUP, 0, 0});
    ASSERT_TRUE(form->CreateWindow());
    t0 = sim.GetTickCount();
  }
  void TearDown() override {
    form.reset();
    widgets.reset();
    MovingFixture::TearDown();
  }

  // A timer of the form whose handler notes when it ran (ms since the test began), then runs work.
  ui::Timer& NewTimer(const wchar_t* name, uint32_t intervalMs, bool enabled, std::vector<uint32_t>& runs,
                      std::function<void()> work = nullptr) {
    return form->AddTimer(name, intervalMs, enabled, [this, &runs, work] {
      runs.push_back(Now());
      if (work) work();
    });
  }

  uint32_t Now() { return sim.GetTickCount() - t0; }

  // Lets the virtual clock run to `until` (ms since the test began) in 10 ms steps, pumping
  // messages at every step as a message loop would.
  void RunUntil(uint32_t until) {
    while (Now() < until) {
      sim.AdvanceTime(10);
      sim.ProcessPendingMessages();
    }
  }

  static TTimerRecord Record(const ui::Timer& timer) {
    for (const TTimerRecord& rec : TTimerManager::List())
      if (rec.timer == &timer) return rec;
    ADD_FAILURE() << "timer not in the list";
    return {};
  }

  std::optional<ui::headless::HeadlessUi> widgets;
  std::unique_ptr<ui::Form> form;
  uint32_t t0 = 0;
  std::vector<uint32_t> fgRuns, snapRuns, otherRuns;
};

TEST_F(TimerManagerTest, AHandlerRunsWithEveryManagedTimerOffAndItsTimeIsAddedToTheTimersThatWereOn) {
  std::vector<bool> seenDuringHandler;
  ui::Timer* snapPtr = nullptr;
  ui::Timer* fgPtr = nullptr;
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns, [&] {
    seenDuringHandler = {fgPtr->Enabled(), snapPtr->Enabled()};
    sim.Sleep(50);  // the handler takes 50 ms
  });
  ui::Timer& snap = NewTimer(L"timSnap", 10000, true, snapRuns);
  ui::Timer& off = NewTimer(L"timOff", 10000, false, otherRuns);
  fgPtr = &fg;
  snapPtr = &snap;
  TTimerManager::add(fg);
  TTimerManager::add(snap);
  TTimerManager::add(off);

  RunUntil(200);
  ASSERT_EQ(fgRuns, std::vector<uint32_t>{200});
  EXPECT_EQ(seenDuringHandler, (std::vector<bool>{false, false}));
  EXPECT_TRUE(fg.Enabled());
  EXPECT_TRUE(snap.Enabled());
  EXPECT_FALSE(off.Enabled());
  // The first pause adds nothing (no resume before it); the 50 ms go to the timers that were on.
  EXPECT_EQ(Record(fg).pausedTicks, 50u);
  EXPECT_EQ(Record(snap).pausedTicks, 50u);
  EXPECT_EQ(Record(off).pausedTicks, 0u);

  // The countdown restarted at the resume (250): the next tick comes at 450. The 200 ms since
  // the resume go to every timer, on or off; the ticking one starts from zero again.
  RunUntil(460);
  ASSERT_EQ(fgRuns, (std::vector<uint32_t>{200, 450}));
  EXPECT_EQ(Record(fg).pausedTicks, 50u);
  EXPECT_EQ(Record(snap).pausedTicks, 300u);
  EXPECT_EQ(Record(off).pausedTicks, 200u);
  EXPECT_TRUE(snapRuns.empty());
  EXPECT_TRUE(otherRuns.empty());
}

class LongTimerTest : public TimerManagerTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LongTimerTest, TheTenSecondTimerRunsEveryTenSecondsThroughOverdueFiringWhileTheShortOneTicks) {
  const bool snapOn = GetParam();
  ui::Timer& fg = NewTimer(L"timFg", 200, false, fgRuns);
  ui::Timer& snap = NewTimer(L"timSnap", 10000, false, snapRuns);
  TTimerManager::add(fg);
  TTimerManager::add(snap);
  TTimerManager::setEnabled(fg, true);
  TTimerManager::setEnabled(snap, snapOn);

  RunUntil(60000);

  // Its own countdown restarts at every tick of the 200 ms timer and never completes; the
  // manager runs it once 10 s have gathered (the first 200 ms before any resume do not count).
  EXPECT_EQ(snapRuns, (std::vector<uint32_t>{10200, 20200, 30200, 40200, 50200}));
  EXPECT_EQ(fgRuns.size(), 300u);
  EXPECT_EQ(snap.Enabled(), snapOn);
}

INSTANTIATE_TEST_SUITE_P(SnapshotTimer, LongTimerTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "On" : "Off"; });

TEST_F(TimerManagerTest, AfterSixtySecondsPausedTheLongTimerRunsAtTheResumeAndAtTheNextFiveTicks) {
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns);
  ui::Timer& snap = NewTimer(L"timSnap", 10000, true, snapRuns);
  TTimerManager::add(fg);
  TTimerManager::add(snap);
  RunUntil(1000);
  ASSERT_EQ(fgRuns.size(), 5u);
  ASSERT_EQ(Record(snap).pausedTicks, 800u);

  TTimerManager::pauseAllEnabled();  // a monitor went away
  EXPECT_FALSE(fg.Enabled());
  EXPECT_FALSE(snap.Enabled());
  RunUntil(61000);
  EXPECT_EQ(fgRuns.size(), 5u) << "nothing ticks while paused";
  EXPECT_TRUE(snapRuns.empty());

  TTimerManager::resumeAllPreviouslyEnabled();  // the restore cycle ended
  EXPECT_EQ(snapRuns, std::vector<uint32_t>{61000});
  EXPECT_TRUE(fg.Enabled());
  EXPECT_TRUE(snap.Enabled());

  // 60.8 s gathered: one run at the resume, then one at each resume of the next ticks until less
  // than 10 s is left (1.8 s); the regular rhythm follows 8.2 s later.
  RunUntil(70000);
  EXPECT_EQ(snapRuns, (std::vector<uint32_t>{61000, 61200, 61400, 61600, 61800, 62000}));
  EXPECT_EQ(Record(snap).pausedTicks, 1800u + 200u * 40u);
  RunUntil(70200);
  EXPECT_EQ(snapRuns.size(), 7u);
  EXPECT_EQ(snapRuns.back(), 70200u);
}

TEST_F(TimerManagerTest, APauseWithinAPauseKeepsWhatTheFirstRecordedUntilTheLastResume) {
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns);
  ui::Timer& snap = NewTimer(L"timSnap", 10000, false, snapRuns);
  TTimerManager::add(fg);
  TTimerManager::add(snap);

  TTimerManager::pauseAllEnabled();
  TTimerManager::pauseAllEnabled();  // finds them off: that is not what they were
  TTimerManager::resumeAllPreviouslyEnabled();
  EXPECT_FALSE(fg.Enabled()) << "one pause is still on";
  RunUntil(2000);
  EXPECT_TRUE(fgRuns.empty());

  TTimerManager::resumeAllPreviouslyEnabled();
  EXPECT_TRUE(fg.Enabled());
  EXPECT_FALSE(snap.Enabled()) << "it was off before the first pause";
  RunUntil(2200);
  // The 2000 ms it waited make it overdue at the resume; then its own tick.
  EXPECT_EQ(fgRuns, (std::vector<uint32_t>{2000, 2200}));
}

// A monitor goes away while a tick's handler lets waiting messages run: the watcher's pause comes
// inside the tick's own. The timers stay frozen after the tick and run again at the cycle's end.
TEST_F(TimerManagerTest, APauseFromInsideATickHoldsUntilItsResume) {
  bool disconnectDone = false;
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns, [&] {
    if (!disconnectDone) {
      disconnectDone = true;
      TTimerManager::pauseAllEnabled();
    }
  });
  TTimerManager::add(fg);
  RunUntil(200);
  ASSERT_EQ(fgRuns, std::vector<uint32_t>{200});
  EXPECT_FALSE(fg.Enabled()) << "frozen after the tick";
  RunUntil(3000);
  EXPECT_EQ(fgRuns.size(), 1u);

  TTimerManager::resumeAllPreviouslyEnabled();  // the restore cycle ended
  EXPECT_TRUE(fg.Enabled());
  RunUntil(3200);
  EXPECT_EQ(fgRuns.back(), 3200u);
}

TEST_F(TimerManagerTest, SetEnabledOfATimerNeverAddedChangesNothing) {
  ui::Timer& fg = NewTimer(L"timFg", 200, false, fgRuns);
  ui::Timer& stranger = NewTimer(L"timStranger", 300, false, otherRuns);
  TTimerManager::add(fg);

  TTimerManager::setEnabled(stranger, true);

  EXPECT_FALSE(stranger.Enabled());
  EXPECT_EQ(TTimerManager::List().size(), 1u);
  EXPECT_FALSE(fg.Enabled());
  // Switched on by itself it ticks with its own handler, outside the manager.
  stranger.SetEnabled(true);
  RunUntil(300);
  EXPECT_EQ(otherRuns, std::vector<uint32_t>{300});
  EXPECT_EQ(TTimerManager::PauseTick(), 0u) << "no intercepted tick";
}

TEST_F(TimerManagerTest, ATimerAddedTwiceKeepsOneRecordAndItsOwnHandler) {
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns);
  TTimerManager::add(fg);
  TTimerManager::add(fg);
  ASSERT_EQ(TTimerManager::List().size(), 1u);
  // A second record would hold the interceptor as the timer's handler and run it once more
  // whenever its own time came due.
  RunUntil(600);
  EXPECT_EQ(fgRuns, (std::vector<uint32_t>{200, 400, 600}));
}

struct WrapCase {
  const char* name;
  uint32_t start;  // tick count when the first pause comes
};
void PrintTo(const WrapCase& c, std::ostream* os) { *os << c.name; }

class TickWrapTest : public TimerManagerTest, public ::testing::WithParamInterface<WrapCase> {};

// First pause (adds nothing), 456 ms paused, 100 ms running, another pause: the same sums
// wherever the 32-bit tick count wraps.
TEST_P(TickWrapTest, PausedAndRunningTimesAreCountedAcrossTheWrapOfTheTickCount) {
  ui::Timer& snap = NewTimer(L"timSnap", 10000, true, snapRuns);
  TTimerManager::add(snap);
  sim.SetTickCount(GetParam().start);

  TTimerManager::pauseAllEnabled();
  EXPECT_EQ(Record(snap).pausedTicks, 0u);
  sim.AdvanceTime(456);
  TTimerManager::resumeAllPreviouslyEnabled();
  EXPECT_EQ(Record(snap).pausedTicks, 456u);
  sim.AdvanceTime(100);
  TTimerManager::pauseAllEnabled();
  EXPECT_EQ(Record(snap).pausedTicks, 556u);
  EXPECT_TRUE(snapRuns.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TickWrapTest,
    ::testing::Values(WrapCase{"NoWrap", 5000000u}, WrapCase{"WrapWhilePaused", 0xFFFFFF00u},
                      WrapCase{"WrapWhileRunning", 0xFFFFFFFFu - 456u - 50u}, WrapCase{"PauseAtTheTopEdge", 0xFFFFFFFFu}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(TimerManagerTest, AHandlerThatPumpsMessagesLetsANestedTickInWithoutWaiting) {
  int depth = 0, nested = 0;
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns, [&] {
    if (depth > 0) ++nested;
  });
  // The snapshot runs through overdue firing with the timers on again; it takes 250 ms and lets
  // waiting messages run, as the status line does.
  ui::Timer& snap = NewTimer(L"timSnap", 1000, true, snapRuns, [&] {
    ++depth;
    sim.AdvanceTime(250);
    sim.ProcessPendingMessages();
    --depth;
  });
  TTimerManager::add(fg);
  TTimerManager::add(snap);
  const uint32_t sleepsBefore = sim.SleepCalls();

  RunUntil(1200);

  // Overdue at the tick of 1200 (1000 ms gathered since the first resume).
  ASSERT_EQ(snapRuns, std::vector<uint32_t>{1200});
  EXPECT_EQ(nested, 1) << "the 200 ms tick due during the snapshot ran inside it";
  EXPECT_EQ(fgRuns.back(), 1450u);
  EXPECT_EQ(sim.SleepCalls(), sleepsBefore) << "the lock was entered again without waiting";
  for (const std::wstring& line : Log()) EXPECT_EQ(line.find(L"TTM.OT:"), std::wstring::npos) << "logged: " << line;
  EXPECT_TRUE(fg.Enabled());
  EXPECT_TRUE(snap.Enabled());
}

TEST_F(TimerManagerTest, ATickWaitsInTenMillisecondStepsWhileAnotherThreadHoldsTheLock) {
  std::promise<void> entered, release, finished;
  std::shared_future<void> releaseSignal = release.get_future().share();
  std::vector<std::string> order;
  std::mutex orderLock;
  auto note = [&](const char* what) {
    std::lock_guard lk(orderLock);
    order.emplace_back(what);
  };
  ui::Timer& slow = form->AddTimer(L"timSlow", 5000, true, [&] {
    entered.set_value();
    releaseSignal.wait();
    note("slow");
  });
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns, [&] { note("fg"); });
  TTimerManager::add(slow);
  TTimerManager::add(fg);

  std::thread holder([&] {
    TTimerManager::InterceptedOnTimer(slow);
    finished.set_value();
  });
  entered.get_future().wait();
  // 35 ms into the wait the other thread lets go; the tick gets in at its next try.
  sim.At(35, [&] {
    release.set_value();
    finished.get_future().wait();
  });
  const uint32_t sleepsBefore = sim.SleepCalls();
  const uint32_t start = Now();

  TTimerManager::InterceptedOnTimer(fg);
  holder.join();

  EXPECT_EQ(order, (std::vector<std::string>{"slow", "fg"}));
  EXPECT_EQ(sim.SleepCalls() - sleepsBefore, 4u);
  EXPECT_EQ(Now() - start, 40u);
  const std::vector<std::wstring> log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().rfind(L"TTM.OT: TryEnterCriticalSection was locked = 4 :(", 0), 0u) << log.back();
}

TEST_F(TimerManagerTest, ATickOfATimerNotInTheListIsLoggedAndStillPausesAndResumes) {
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns);
  ui::Timer& stranger = NewTimer(L"timStranger", 300, false, otherRuns);
  TTimerManager::add(fg);
  TTimerManager::pauseAllEnabled();
  sim.AdvanceTime(100);
  TTimerManager::resumeAllPreviouslyEnabled();
  sim.AdvanceTime(70);

  TTimerManager::InterceptedOnTimer(stranger);

  EXPECT_TRUE(Logged(L"TTM.OT: MASSIVE ERROR. Timer is not on list, but has an intercepted OnTimer call."));
  EXPECT_TRUE(otherRuns.empty());
  EXPECT_TRUE(fgRuns.empty());
  EXPECT_EQ(TTimerManager::PauseTick(), sim.GetTickCount());
  EXPECT_EQ(TTimerManager::ResumeTick(), sim.GetTickCount());
  EXPECT_EQ(Record(fg).pausedTicks, 170u);
  EXPECT_TRUE(fg.Enabled());
}

TEST_F(TimerManagerTest, AHandlerThatThrowsLeavesTheTimersRunning) {
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns, [] { throw std::runtime_error("snapshot failed"); });
  ui::Timer& snap = NewTimer(L"timSnap", 10000, true, snapRuns);
  TTimerManager::add(fg);
  TTimerManager::add(snap);

  RunUntil(200);  // the form's window procedure hands the exception to the application

  EXPECT_TRUE(Logged(L"Exception: snapshot failed"));
  EXPECT_TRUE(fg.Enabled());
  EXPECT_TRUE(snap.Enabled());
  RunUntil(400);
  EXPECT_EQ(fgRuns, (std::vector<uint32_t>{200, 400}));
}

TEST_F(TimerManagerTest, ADestroyedTimerLeavesTheListAndIsNeverTouchedAgain) {
  ui::Timer& fg = NewTimer(L"timFg", 200, true, fgRuns);
  TTimerManager::add(fg);
  auto other = std::make_unique<ui::Form>(L"TTimerTestForm", L"Other", 100, 50, ui::FormStyle{wc::WS_POPUP, 0, 0});
  ASSERT_TRUE(other->CreateWindow());
  ui::Timer& gone = other->AddTimer(L"timGone", 300, true, [] {});
  TTimerManager::add(gone);

  other.reset();

  const std::vector<TTimerRecord> list = TTimerManager::List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].timer, nullptr);
  EXPECT_EQ(list[1].TimerListIndex, 1);
  TTimerManager::pauseAllEnabled();
  TTimerManager::resumeAllPreviouslyEnabled();
  RunUntil(400);
  EXPECT_EQ(fgRuns, (std::vector<uint32_t>{200, 400}));
}

}  // namespace
}  // namespace tessary::test
