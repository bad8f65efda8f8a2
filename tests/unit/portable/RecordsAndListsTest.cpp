// Lookups and orders of the record lists, and the comparers behind them.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "core/UnitSharedTypes.h"

namespace tessary {
namespace {

TMonitorInfo Mon(int32_t id, TRect b, MonitorHandle h = 0) {
  TMonitorInfo m;
  m.id = id;
  m.handle = h ? h : static_cast<MonitorHandle>(0x1000 + id);
  m.bounds = b;
  return m;
}

std::vector<int32_t> Ids(const TMonitorList& l) {
  std::vector<int32_t> ids;
  for (const auto& m : l) ids.push_back(m.id);
  return ids;
}

TEST(MonitorList, TryAndGetCopiesTheWholeEntryOrLeavesTheItemAlone) {
  TMonitorList list(std::make_shared<TIDComparer>());
  list.Add(Mon(0, {0, 0, 1920, 1080}, 0x65001));
  list.Add(Mon(1, {1920, 0, 3200, 1024}, 0x65002));

  TMonitorInfo item;
  item.id = 1;
  ASSERT_TRUE(list.TryAndGet(item));
  EXPECT_EQ(item.handle, 0x65002u);
  EXPECT_EQ(item.bounds, (TRect{1920, 0, 3200, 1024}));

  TMonitorInfo missing = Mon(7, {1, 2, 3, 4}, 0x99);
  EXPECT_FALSE(list.TryAndGet(missing));
  EXPECT_EQ(missing.id, 7);
  EXPECT_EQ(missing.handle, 0x99u);
  EXPECT_EQ(missing.bounds, (TRect{1, 2, 3, 4}));
}

TEST(MonitorList, IndexOfComparesOnlyTheIdAndFindsTheFirst) {
  TMonitorList list(std::make_shared<TIDComparer>());
  list.Add(Mon(3, {0, 0, 10, 10}));
  list.Add(Mon(5, {0, 0, 20, 20}));
  list.Add(Mon(5, {0, 0, 30, 30}));
  EXPECT_EQ(list.IndexOf(Mon(5, {9, 9, 9, 9}, 0x1)), 1);
  EXPECT_EQ(list.IndexOf(Mon(4, {0, 0, 10, 10})), -1);
  TMonitorInfo item;
  item.id = 5;
  ASSERT_TRUE(list.TryAndGet(item));
  EXPECT_EQ(item.bounds.Right, 20);
}

TEST(TryList, MatchesOnTheHandleAloneAndReturnsTheStoredRecord) {
  TTryList<TProgramInfo> list(std::make_shared<TProgramInfoComparer>());
  TProgramInfo a;
  a.hwnd = 0x10010;
  a.EXEName = L"notepad.exe";
  a.bounds = {10, 20, 30, 40};
  a.leftpercent = 0.25;
  TProgramInfo b;
  b.hwnd = 0x10020;
  b.EXEName = L"calc.exe";
  list.Add(a);
  list.Add(b);

  TProgramInfo probe;
  probe.hwnd = 0x10010;
  probe.EXEName = L"other.exe";
  probe.bounds = {0, 0, 1, 1};
  ASSERT_TRUE(list.TryAndGet(probe));
  EXPECT_EQ(probe.EXEName, L"notepad.exe");
  EXPECT_EQ(probe.bounds, (TRect{10, 20, 30, 40}));
  EXPECT_EQ(probe.leftpercent, 0.25);

  TProgramInfo none;
  none.hwnd = 0x10030;
  none.EXEName = L"keep.exe";
  EXPECT_FALSE(list.TryAndGet(none));
  EXPECT_EQ(none.EXEName, L"keep.exe");
}

TEST(Comparers, ProgramHandlesCompareAsWrappingThirtyTwoBitValues) {
  const TProgramInfoComparer c;
  TProgramInfo l, r;
  l.hwnd = 0x10010;
  r.hwnd = 0x10010;
  EXPECT_EQ(c.Compare(l, r), 0);
  r.hwnd = 0x10020;
  EXPECT_LT(c.Compare(l, r), 0);
  // INT32_MIN - 1 wraps to INT32_MAX; well defined, not a trap.
  l.hwnd = 0x80000000u;
  r.hwnd = 1;
  EXPECT_EQ(c.Compare(l, r), INT32_MAX);
  // Only the low 32 bits count, as with the platform's handles.
  if constexpr (sizeof(WindowHandle) == 8) {
    l.hwnd = static_cast<WindowHandle>(0x100000000ull | 0x42u);
    r.hwnd = 0x42;
    EXPECT_EQ(c.Compare(l, r), 0);
  }
}

TEST(Comparers, MonitorComparersOrderByEdgeThenTieBreak) {
  const TLeftComparer left;
  const TTopComparer top;
  const TIDComparer id;
  const TMonitorInfo a = Mon(0, {0, 0, 1920, 1080});
  const TMonitorInfo below = Mon(1, {0, 1080, 1920, 2160});
  const TMonitorInfo right = Mon(2, {1920, 0, 3840, 1080});
  EXPECT_LT(left.Compare(a, below), 0);
  EXPECT_LT(left.Compare(below, right), 0);
  EXPECT_LT(top.Compare(a, right), 0);
  EXPECT_GT(top.Compare(below, right), 0);
  EXPECT_EQ(left.Compare(a, a), 0);
  EXPECT_EQ(id.Compare(right, a), 2);
  // Far-apart edges keep their sign instead of overflowing.
  const TMonitorInfo farLeft = Mon(3, {INT32_MIN, 0, INT32_MIN + 10, 10});
  const TMonitorInfo farRight = Mon(4, {INT32_MAX - 10, 0, INT32_MAX, 10});
  EXPECT_LT(left.Compare(farLeft, farRight), 0);
  EXPECT_GT(left.Compare(farRight, farLeft), 0);
}

TEST(MonitorList, SortsAGridByLeftAndByTop) {
  // 2x2 grid enumerated row by row.
  const std::vector<TMonitorInfo> grid{Mon(0, {0, 0, 1920, 1080}), Mon(1, {1920, 0, 3840, 1080}),
                                       Mon(2, {0, 1080, 1920, 2160}), Mon(3, {1920, 1080, 3840, 2160})};
  TMonitorList byLeft(std::make_shared<TLeftComparer>());
  TMonitorList byTop(std::make_shared<TTopComparer>());
  // Feed them in a scrambled order so the sort has to work.
  for (int i : {3, 1, 2, 0}) {
    byLeft.Add(grid[static_cast<size_t>(i)]);
    byTop.Add(grid[static_cast<size_t>(i)]);
  }
  byLeft.Sort();
  byTop.Sort();
  EXPECT_EQ(Ids(byLeft), (std::vector<int32_t>{0, 2, 1, 3}));
  EXPECT_EQ(Ids(byTop), (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST(MonitorList, SortKeepsTheOrderOfIdenticalRectangles) {
  // Mirrored monitors share their rectangle; enumeration order decides.
  TMonitorList l(std::make_shared<TLeftComparer>());
  l.Add(Mon(0, {1920, 0, 3840, 1080}));
  l.Add(Mon(1, {0, 0, 1920, 1080}));
  l.Add(Mon(2, {0, 0, 1920, 1080}));
  l.Sort();
  EXPECT_EQ(Ids(l), (std::vector<int32_t>{1, 2, 0}));
}

}  // namespace
}  // namespace tessary
