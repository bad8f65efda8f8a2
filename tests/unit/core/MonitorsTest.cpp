#include <functional>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "core/UnitMonitors.h"
#include "diagnostics/DebugLog.h"

namespace tessary {
namespace {

using test::CoreFixture;

class MonitorsTest : public CoreFixture {
 protected:
  static std::vector<int32_t> Ids(const TMonitorList& l) {
    std::vector<int32_t> ids;
    for (const auto& m : l) ids.push_back(m.id);
    return ids;
  }
};

using Query = bool (*)(int32_t, TMonitorInfo&);

struct NeighbourCase {
  const char* name;
  Query query;
  int32_t from;
  int32_t expected;  // -1: no neighbour
};

constexpr int32_t kNone = -1;

void ExpectNeighbours(const std::vector<NeighbourCase>& cases) {
  for (const auto& c : cases) {
    TMonitorInfo next;
    next.id = 99;
    const bool found = c.query(c.from, next);
    if (c.expected == kNone) {
      EXPECT_FALSE(found) << c.name << " from " << c.from;
      EXPECT_EQ(next.id, 99) << c.name << " wrote next on failure";
    } else {
      EXPECT_TRUE(found) << c.name << " from " << c.from;
      EXPECT_EQ(next.id, c.expected) << c.name << " from " << c.from;
    }
  }
}

TEST_F(MonitorsTest, SideBySideWithTheSecondAtNegativeX) {
  const MonitorHandle a = sim.AddMonitor({0, 0, 1920, 1080});
  const MonitorHandle b = sim.AddMonitor({-1920, 0, 0, 1080});
  TMonitors::GatherMonitorsInfo();

  EXPECT_EQ(Ids(TMonitors::getList()), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(Ids(TMonitors::getLeftList()), (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(TMonitors::getList()[0].handle, a);
  EXPECT_EQ(TMonitors::getList()[1].handle, b);
  EXPECT_EQ(TMonitors::getList()[1].bounds, (TRect{-1920, 0, 0, 1080}));

  ExpectNeighbours({
      {"left", &TMonitors::getNextLeft, 0, 1},
      {"left", &TMonitors::getNextLeft, 1, kNone},
      {"right", &TMonitors::getNextRight, 0, kNone},
      {"right", &TMonitors::getNextRight, 1, 0},
      {"next", &TMonitors::getNext, 0, 1},
      {"next", &TMonitors::getNext, 1, 0},
  });
  // The record form uses only the id.
  TMonitorInfo info;
  info.id = 0;
  info.bounds = {5000, 5000, 6000, 6000};
  TMonitorInfo next;
  ASSERT_TRUE(TMonitors::getNextLeft(info, next));
  EXPECT_EQ(next.handle, b);

  EXPECT_EQ(sim.SleepCalls(), 0u);
  EXPECT_EQ(LogLines().front().substr(LogLines().front().find(L"GMI")), L"GMI: populated = 2");
}

TEST_F(MonitorsTest, TwoByTwoGridStepsThroughTheSortedLists) {
  sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}, {0, 1080, 1920, 2160}, {1920, 1080, 3840, 2160}});
  EXPECT_EQ(Ids(TMonitors::getLeftList()), (std::vector<int32_t>{0, 2, 1, 3}));
  EXPECT_EQ(Ids(TMonitors::getTopList()), (std::vector<int32_t>{0, 1, 2, 3}));
  ExpectNeighbours({
      {"left", &TMonitors::getNextLeft, 1, 2},  // the previous entry: the lower-left monitor
      {"left", &TMonitors::getNextLeft, 2, 0},
      {"right", &TMonitors::getNextRight, 2, 1},
      {"right", &TMonitors::getNextRight, 3, kNone},
      {"down", &TMonitors::getNextDown, 1, 2},
      {"up", &TMonitors::getNextUp, 2, 1},
      {"up", &TMonitors::getNextUp, 0, kNone},
      {"down", &TMonitors::getNextDown, 3, kNone},
      {"next", &TMonitors::getNext, 3, 0},
  });
}

TEST_F(MonitorsTest, StackedMonitorsSharingTheLeftEdge) {
  // Enumerated lower first, so the sort has to reorder both lists.
  sim.SetLayout({{0, 1080, 1920, 2160}, {0, 0, 1920, 1080}});
  EXPECT_EQ(Ids(TMonitors::getLeftList()), (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(Ids(TMonitors::getTopList()), (std::vector<int32_t>{1, 0}));
  ExpectNeighbours({
      {"right", &TMonitors::getNextRight, 1, 0},
      {"down", &TMonitors::getNextDown, 1, 0},
      {"up", &TMonitors::getNextUp, 0, 1},
      {"left", &TMonitors::getNextLeft, 1, kNone},
  });
}

TEST_F(MonitorsTest, StaleIdFindsNothingAndLeavesNextAlone) {
  sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}});
  ExpectNeighbours({
      {"left", &TMonitors::getNextLeft, 2, kNone},
      {"right", &TMonitors::getNextRight, 2, kNone},
      {"up", &TMonitors::getNextUp, 2, kNone},
      {"down", &TMonitors::getNextDown, 2, kNone},
      {"next", &TMonitors::getNext, 2, kNone},
      {"next", &TMonitors::getNext, -1, kNone},
  });
}

TEST_F(MonitorsTest, OneMonitorWaitsHalfASecondOnEveryQuery) {
  sim.AddMonitor({0, 0, 1920, 1080});
  const uint32_t t0 = sim.GetTickCount();
  TMonitorInfo next;
  EXPECT_TRUE(TMonitors::getNext(0, next));
  EXPECT_EQ(next.id, 0);
  EXPECT_EQ(sim.SleepCalls(), 10u);
  EXPECT_EQ(sim.TotalSlept(), 500u);
  EXPECT_EQ(sim.GetTickCount() - t0, 500u);

  next.id = 42;
  EXPECT_FALSE(TMonitors::getNextRight(0, next));
  EXPECT_EQ(next.id, 42);
  EXPECT_EQ(sim.TotalSlept(), 1000u);  // gathered again
  // The same line twice folds into one run.
  EXPECT_EQ(LastLogMessage(), L"GMI: populated = 1");
  EXPECT_EQ(RepeatCount(), 1);
}

TEST_F(MonitorsTest, NoMonitorAtAllGivesEmptyListsAndNoCrash) {
  TMonitorInfo next;
  next.id = 7;
  EXPECT_FALSE(TMonitors::getNext(0, next));
  EXPECT_EQ(next.id, 7);
  EXPECT_EQ(TMonitors::getList().Count(), 0);
}

TEST_F(MonitorsTest, MonitorAppearingDuringTheWaitEndsItAtOnce) {
  sim.AddMonitor({0, 0, 1920, 1080});
  sim.At(120, [this] { sim.AddMonitor({1920, 0, 3840, 1080}); });
  TMonitors::GatherMonitorsInfo();
  // Sleeps end at 50, 100, 150; the monitor is there after the third.
  EXPECT_EQ(sim.SleepCalls(), 3u);
  EXPECT_EQ(sim.TotalSlept(), 150u);
  EXPECT_EQ(TMonitors::getList().Count(), 2);
  EXPECT_EQ(sim.SleepCalls(), 3u);  // two recorded: no second gathering
}

TEST_F(MonitorsTest, ListsKeepTheOldLayoutUntilGatheredAgain) {
  const MonitorHandle second = sim.AddMonitor({0, 0, 1920, 1080});
  sim.AddMonitor({1920, 0, 3840, 1080});
  sim.AddMonitor({3840, 0, 5760, 1080});
  EXPECT_EQ(TMonitors::getList().Count(), 3);
  sim.RemoveMonitor(second);
  EXPECT_EQ(TMonitors::getList().Count(), 3);
  TMonitors::GatherMonitorsInfo();
  EXPECT_EQ(Ids(TMonitors::getList()), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(TMonitors::getLeftList().Count(), 2);
  EXPECT_EQ(TMonitors::getTopList().Count(), 2);
  EXPECT_EQ(TMonitors::getList()[0].bounds.Left, 1920);
}

}  // namespace
}  // namespace tessary
