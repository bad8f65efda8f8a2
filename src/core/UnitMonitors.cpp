#include "core/UnitMonitors.h"

#include <memory>
#include <string>

#include "diagnostics/DebugLog.h"
#include "util/UnitText.h"

namespace tessary {
namespace {

constexpr uint32_t kWaitStepMs = 50;
constexpr uint32_t kMaxWaitMs = 500;

struct Lists {
  TMonitorList id{std::make_shared<TIDComparer>()};
  TMonitorList left{std::make_shared<TLeftComparer>()};
  TMonitorList top{std::make_shared<TTopComparer>()};
};

// No lock: the lists are read and written on the UI thread only; the restore worker waits for
// the monitors on its own thread and hands the recording over.
Lists& lists() {
  static Lists* l = new Lists;
  return *l;
}

enum class Step { Before, After, Wrap };

bool Neighbour(const TMonitorList& list, int32_t id, Step step, TMonitorInfo& next) {
  TMonitorInfo key;
  key.id = id;
  const int32_t i = list.IndexOf(key);
  if (i < 0) return false;
  const int32_t n = list.Count();
  switch (step) {
    case Step::Before:
      if (i == 0) return false;
      next = list[i - 1];
      return true;
    case Step::After:
      if (i == n - 1) return false;
      next = list[i + 1];
      return true;
    case Step::Wrap:
      next = list[(i + 1) % n];
      return true;
  }
  return false;
}

}  // namespace

void TMonitors::GatherMonitorsInfo() { RecordMonitors(WaitForMonitors()); }

std::vector<MonitorDesc> TMonitors::WaitForMonitors(const std::atomic<bool>* stop) {
  // A monitor waking up may take a moment to be listed; the count is read again before every step.
  std::vector<MonitorDesc> mons = ws().EnumMonitors();
  uint32_t waited = 0;
  while (mons.size() < 2 && waited < kMaxWaitMs && !(stop != nullptr && stop->load())) {
    ws().Sleep(kWaitStepMs);
    waited += kWaitStepMs;
    mons = ws().EnumMonitors();
  }
  return mons;
}

void TMonitors::RecordMonitors(const std::vector<MonitorDesc>& mons) {
  Lists& l = lists();
  l.id.Clear();
  l.left.Clear();
  l.top.Clear();
  for (size_t i = 0; i < mons.size(); ++i) {
    TMonitorInfo info;
    info.id = static_cast<int32_t>(i);
    info.handle = mons[i].handle;
    info.bounds = mons[i].bounds;
    l.id.Add(info);
    l.left.Add(info);
    l.top.Add(info);
  }
  l.left.Sort();
  l.top.Sort();
  AppendLog(L"GMI: populated = " + IntText(mons.size()), false);
}

size_t TMonitors::RecordIfChanged() {
  const std::vector<MonitorDesc> mons = ws().EnumMonitors();
  const Lists& l = lists();
  bool same = static_cast<size_t>(l.id.Count()) == mons.size();
  for (size_t i = 0; same && i < mons.size(); ++i) {
    TMonitorInfo info;
    info.id = static_cast<int32_t>(i);
    same = l.id.TryAndGet(info) && info.handle == mons[i].handle && info.bounds == mons[i].bounds;
  }
  if (!same && mons.size() >= 2) {
    AppendLog(L"GMI: the monitors changed");
    RecordMonitors(mons);
  }
  return mons.size();
}

void TMonitors::EnsureGathered() {
  const Lists& l = lists();
  if (l.id.Count() < 2 || l.left.Count() == 0 || l.top.Count() == 0) GatherMonitorsInfo();
}

const TMonitorList& TMonitors::getList() {
  EnsureGathered();
  return lists().id;
}

const TMonitorList& TMonitors::getLeftList() {
  EnsureGathered();
  return lists().left;
}

const TMonitorList& TMonitors::getTopList() {
  EnsureGathered();
  return lists().top;
}

bool TMonitors::getNextLeft(const TMonitorInfo& info, TMonitorInfo& next) {
  return Neighbour(getLeftList(), info.id, Step::Before, next);
}
bool TMonitors::getNextRight(const TMonitorInfo& info, TMonitorInfo& next) {
  return Neighbour(getLeftList(), info.id, Step::After, next);
}
bool TMonitors::getNextUp(const TMonitorInfo& info, TMonitorInfo& next) {
  return Neighbour(getTopList(), info.id, Step::Before, next);
}
bool TMonitors::getNextDown(const TMonitorInfo& info, TMonitorInfo& next) {
  return Neighbour(getTopList(), info.id, Step::After, next);
}
bool TMonitors::getNext(const TMonitorInfo& info, TMonitorInfo& next) {
  return Neighbour(getList(), info.id, Step::Wrap, next);
}

namespace {
TMonitorInfo WithId(int32_t id) {
  TMonitorInfo m;
  m.id = id;
  return m;
}
}  // namespace

bool TMonitors::getNextLeft(int32_t id, TMonitorInfo& next) { return getNextLeft(WithId(id), next); }
bool TMonitors::getNextRight(int32_t id, TMonitorInfo& next) { return getNextRight(WithId(id), next); }
bool TMonitors::getNextUp(int32_t id, TMonitorInfo& next) { return getNextUp(WithId(id), next); }
bool TMonitors::getNextDown(int32_t id, TMonitorInfo& next) { return getNextDown(WithId(id), next); }
bool TMonitors::getNext(int32_t id, TMonitorInfo& next) { return getNext(WithId(id), next); }

void TMonitors::Reset() {
  Lists& l = lists();
  l.id.Clear();
  l.left.Clear();
  l.top.Clear();
}

}  // namespace tessary
