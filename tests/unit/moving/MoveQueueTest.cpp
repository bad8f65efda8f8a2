#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "MovingFixture.h"
#include "core/UnitMonitors.h"
#include "moving/UnitMoveQueue.h"

namespace tessary {
namespace {

class MoveQueueTest : public test::MovingFixture {
 protected:
  std::vector<std::string> trace;

  std::function<void()> Note(const std::string& name) {
    return [this, name] { trace.push_back(name); };
  }
};

TEST_F(MoveQueueTest, ARequestMadeWhileOneRunsRunsOnceRightAfterItInArrivalOrder) {
  std::vector<uint32_t> ticks;  // when each request began
  const auto tick = [&] { ticks.push_back(sim.GetTickCount()); };
  const uint32_t start = sim.GetTickCount();
  bool nestedRanAtOnce = true;
  const bool ranAtOnce = TMoveQueue::Run(L"outer", [&] {
    tick();
    trace.push_back("outer begins");
    nestedRanAtOnce = TMoveQueue::Run(L"a", [&] {
      tick();
      trace.push_back("a");
      // Made while a runs, behind b, which waited already.
      TMoveQueue::Run(L"c", [&] {
        tick();
        trace.push_back("c");
      });
    });
    TMoveQueue::Run(L"b", [&] {
      tick();
      trace.push_back("b");
    });
    EXPECT_TRUE(TMoveQueue::Busy());
    EXPECT_EQ(TMoveQueue::Waiting(), 2u);
    trace.push_back("outer ends");
  });

  EXPECT_TRUE(ranAtOnce);
  EXPECT_FALSE(nestedRanAtOnce) << "the caller of a waiting request returns at once";
  EXPECT_EQ(trace, (std::vector<std::string>{"outer begins", "outer ends", "a", "b", "c"}));
  EXPECT_FALSE(TMoveQueue::Busy());
  EXPECT_EQ(TMoveQueue::Waiting(), 0u);
  EXPECT_TRUE(Logged(L"MQ: a waits (1 waiting)"));
  EXPECT_TRUE(Logged(L"MQ: b runs"));
  // The first at once; each that waited a settling pause after the one before it, and no pause
  // after the last.
  ASSERT_EQ(ticks.size(), 4u);
  EXPECT_EQ(ticks[0], start);
  for (size_t i = 1; i < ticks.size(); ++i)
    EXPECT_GE(ticks[i] - ticks[i - 1], static_cast<uint32_t>(TMoveQueue::QueuedSettleMs)) << i;
  EXPECT_EQ(sim.GetTickCount(), ticks[3]);
  // Idle again: the next request runs at once.
  const uint32_t idle = sim.GetTickCount();
  EXPECT_TRUE(TMoveQueue::Run(L"d", Note("d")));
  EXPECT_EQ(trace.back(), "d");
  EXPECT_EQ(sim.GetTickCount(), idle);
}

TEST_F(MoveQueueTest, HeldRequestsWaitForTheLastReleaseAndRequestsAskedForFirstGoAhead) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, bool>> requests;  // name, RunFirst
    std::vector<std::string> order;
  };
  const Case cases[] = {
      {"arrival order", {{"a", false}, {"b", false}}, {"a", "b"}},
      {"first ahead, in their own order", {{"a", false}, {"x", true}, {"b", false}, {"y", true}}, {"x", "y", "a", "b"}},
      {"first alone", {{"x", true}}, {"x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMoveQueue::Reset();
    trace.clear();
    TMoveQueue::Hold();
    TMoveQueue::Hold();
    for (const auto& [name, first] : c.requests) {
      const std::wstring what(name.begin(), name.end());
      EXPECT_FALSE(first ? TMoveQueue::RunFirst(what, Note(name)) : TMoveQueue::Run(what, Note(name)));
    }
    TMoveQueue::Release();
    EXPECT_TRUE(trace.empty()) << "still held once";
    TMoveQueue::Release();
    EXPECT_EQ(trace, c.order);
    EXPECT_EQ(TMoveQueue::Waiting(), 0u);
  }
}

TEST_F(MoveQueueTest, AFailingRequestEndsOnlyItselfAndItsErrorReachesTheCallerAfterTheOthersRan) {
  EXPECT_THROW(TMoveQueue::Run(L"outer",
                               [&] {
                                 TMoveQueue::Run(L"fails", [] { throw std::runtime_error("broken"); });
                                 TMoveQueue::Run(L"after", Note("after"));
                                 trace.push_back("outer");
                               }),
               std::runtime_error);
  EXPECT_EQ(trace, (std::vector<std::string>{"outer", "after"}));
  EXPECT_FALSE(TMoveQueue::Busy());
  EXPECT_TRUE(TMoveQueue::Run(L"next", Note("next")));
  EXPECT_EQ(trace.back(), "next");
}

// Two monitors side by side; "next" from either goes to the other.
TEST_F(MoveQueueTest, AMoveAskedForWhileAMoveWaitsForTheWindowRunsAfterItAndNeitherIsLost) {
  sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}});
  TMonitors::GatherMonitorsInfo();
  const WindowHandle app = AddApp({480, 270, 1440, 810});
  sim.SetForeground(app);
  TRect seenInside{};
  size_t waitingInside = 0;
  // While the first move waits for the program to answer, a second request arrives on this thread.
  sim.WhileWaitingFor(app, [&] {
    TMoveQueue::RequestMove(L"second", TMoveDirection::Next, 0, false);
    seenInside = RectOf(app);
    waitingInside = TMoveQueue::Waiting();
  });

  EXPECT_TRUE(TMoveQueue::RequestMove(L"first", TMoveDirection::Next, 0, false));

  EXPECT_EQ(seenInside, (TRect{480, 270, 1440, 810})) << "the second did not run inside the first";
  EXPECT_EQ(waitingInside, 1u);
  EXPECT_EQ(RectOf(app), (TRect{480, 270, 1440, 810})) << "moved there and back: two moves";
  const auto log = Log();
  std::vector<std::wstring> landed;
  for (const std::wstring& line : log)
    if (line.rfind(L"MP: monitor [", 0) == 0 && line.find(L"new TL") != std::wstring::npos) landed.push_back(line);
  ASSERT_EQ(landed.size(), 2u);
  EXPECT_NE(landed[0].find(L"new TL [270, 2400]"), std::wstring::npos) << landed[0];
  EXPECT_NE(landed[1].find(L"new TL [270, 480]"), std::wstring::npos) << landed[1];
}

// A window manager that answers late (the lab's Wine under an X window manager): the window reads
// its old place for a while after a placement, or reads its new place and then flips back once.
// A burst of moves asked for during the first must still move the window once each, never from a
// place it has already left.
TEST_F(MoveQueueTest, ABurstMovesOnceEachWhenTheWindowReadsItsOldPlaceForAWhile) {
  sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}});
  TMonitors::GatherMonitorsInfo();
  struct Case {
    const char* name;
    uint32_t after, lasting;
  } cases[] = {
      {"each placement shows late, past the pause between moves", 0, 150},
      {"shows late, almost as long as a move waits for it", 0, TMove::EchoWaitMs - 60},
      {"reads its new place, then flips back once", 30, 200},
      {"flips back just as the next move would read it", TMoveQueue::QueuedSettleMs, 120},
  };
  for (const Case& c : cases) {
    for (int burst : {2, 3, 4}) {
      ResetLogState();
      TMove::Reset();
      const WindowHandle app = AddApp({480, 270, 1440, 810});
      sim.SetForeground(app);
      sim.EchoPlacements(app, c.after, c.lasting);
      sim.WhileWaitingFor(app, [&] {
        for (int i = 1; i < burst; ++i) TMoveQueue::RequestMove(L"later", TMoveDirection::Next, 0, false);
      });
      EXPECT_TRUE(TMoveQueue::RequestMove(L"first", TMoveDirection::Next, 0, false));
      sim.AdvanceTime(c.after + c.lasting);  // the window manager catches up with the last one
      const TRect home{480, 270, 1440, 810}, away{2400, 270, 3360, 810};
      EXPECT_EQ(RectOf(app), burst % 2 ? away : home) << c.name << ", burst of " << burst;
      // Every move went the other way from the one before it.
      std::vector<std::wstring> landed;
      for (const std::wstring& line : Log())
        if (line.rfind(L"MP: monitor [", 0) == 0 && line.find(L"new TL") != std::wstring::npos) landed.push_back(line);
      ASSERT_EQ(landed.size(), static_cast<size_t>(burst)) << c.name;
      for (size_t i = 0; i < landed.size(); ++i)
        EXPECT_NE(landed[i].find(i % 2 ? L"new TL [270, 480]" : L"new TL [270, 2400]"), std::wstring::npos)
            << c.name << ", burst of " << burst << ", move " << i << ": " << std::string(landed[i].begin(), landed[i].end());
      sim.RemoveWindow(app);
    }
  }
}

}  // namespace
}  // namespace tessary
