// Monitor arrangements as keys, and the memory that keeps one snapshot for each.
#include <gtest/gtest.h>

#include "core/UnitSharedTypes.h"
#include "watcher/UnitArrangements.h"

namespace tessary::test {
namespace {

constexpr TRect Laptop{0, 0, 1920, 1080}, Right{1920, 0, 3840, 1080};

MonitorDesc Mon(TRect bounds, bool primary, const wchar_t* path = L"") {
  MonitorDesc m;
  m.bounds = bounds;
  m.work = bounds;
  m.primary = primary;
  m.devicePath = path;
  return m;
}

TEST(ArrangementTest, WhatTellsTwoArrangementsApart) {
  const TArrangement docked = TArrangement::FromMonitors({Mon(Laptop, true, L"A"), Mon(Right, false, L"X")});
  struct Case {
    const char* what;
    std::vector<MonitorDesc> monitors;
    bool same;
  };
  const Case cases[] = {
      {"the same, enumerated the other way round", {Mon(Right, false, L"X"), Mon(Laptop, true, L"A")}, true},
      {"another screen of the same size at the other desk", {Mon(Laptop, true, L"A"), Mon(Right, false, L"Y")}, false},
      {"the primary moved", {Mon(Laptop, false, L"A"), Mon(Right, true, L"X")}, false},
      {"another resolution", {Mon(Laptop, true, L"A"), Mon(TRect{1920, 0, 4480, 1440}, false, L"X")}, false},
      {"undocked", {Mon(Laptop, true, L"A")}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TArrangement a = TArrangement::FromMonitors(c.monitors);
    EXPECT_EQ(a == docked, c.same);
    // The laptop's screen is shared with every one of them; the dock's screen only by identity.
    EXPECT_EQ(SameMonitorIn(docked, a, Laptop), true);
    EXPECT_EQ(SameMonitorIn(docked, a, Right), c.same || std::string(c.what) == "the primary moved");
  }
  EXPECT_EQ(docked.Describe(), L"2 monitors: 1920x1080 at (0, 0) primary; 1920x1080 at (1920, 0)");
}

TEST(ArrangementTest, TheMemoryKeepsEightAndDropsTheLeastRecentlySeen) {
  TArrangementMemory memory;
  TTryList<TProgramInfo> programs(std::make_shared<TProgramInfoComparer>());
  TProgramInfo p;
  p.hwnd = 7;
  programs.Add(p);
  const auto at = [](int i) { return TArrangement::FromMonitors({Mon(TRect{0, 0, 1000 + i, 1000}, true)}); };
  for (int i = 0; i < 8; ++i) memory.Store(at(i), programs);
  memory.Store(at(0), programs);  // seen again: now the most recent
  memory.Store(at(8), programs);  // the ninth: the least recently seen (1) goes
  EXPECT_EQ(memory.Count(), TArrangementMemory::Capacity);
  EXPECT_NE(memory.Find(at(0)), nullptr);
  EXPECT_EQ(memory.Find(at(1)), nullptr);
  for (int i = 2; i <= 8; ++i) EXPECT_NE(memory.Find(at(i)), nullptr) << i;

  memory.DropIf([](const TProgramInfo& q) { return q.hwnd == 7; });
  EXPECT_EQ(memory.Find(at(3))->programs.Count(), 0);
}

}  // namespace
}  // namespace tessary::test
