#include "core/UnitTimerManager.h"

#include <mutex>
#include <string>
#include <utility>

#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

struct ManagerState {
  std::vector<TTimerRecord> list;
  uint32_t pauseTick = 0;
  uint32_t resumeTick = 0;  // 0: no resume yet
  // Pauses not yet resumed. A pause inside another (a monitor going away while a tick's handler
  // pumps messages) must not record the paused timers as off: only the outermost pause records
  // and only the last resume switches them on again, or they would stay off for good.
  int32_t pauseDepth = 0;
};

ManagerState& St() {
  static ManagerState state;
  return state;
}

// Held while an intercepted tick runs; re-entrant because handlers pump messages.
std::recursive_mutex& Lock() {
  static std::recursive_mutex lock;
  return lock;
}

// Handlers run with no reference into the list held: they may add timers (the list grows) or
// tick nested, and every change is made at the record's index afterwards.
int32_t IndexOf(const IManagedTimer& timer) {
  const auto& list = St().list;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].timer == &timer) return static_cast<int32_t>(i);
  return -1;
}

}  // namespace

IManagedTimer::~IManagedTimer() { TTimerManager::Forget(*this); }

void TTimerManager::add(IManagedTimer& timer) {
  // A second registration would take the interceptor over as the timer's own handler.
  if (IndexOf(timer) >= 0) return;
  auto& list = St().list;
  TTimerRecord rec;
  rec.TimerListIndex = static_cast<int32_t>(list.size());
  rec.timer = &timer;
  rec.pausedTicks = 0;
  rec.wasEnabled = timer.Enabled();
  list.push_back(rec);
  rec.OnTimer = timer.TickHandler();
  IManagedTimer* sender = &timer;
  timer.SetTickHandler([sender] { InterceptedOnTimer(*sender); });
  list[static_cast<size_t>(rec.TimerListIndex)] = std::move(rec);
}

void TTimerManager::setEnabled(IManagedTimer& timer, bool value) {
  const int32_t i = IndexOf(timer);
  if (i < 0) return;
  timer.SetEnabled(value);
  St().list[static_cast<size_t>(i)].wasEnabled = value;
}

void TTimerManager::pauseAllEnabled() {
  ManagerState& st = St();
  if (st.pauseDepth++ > 0) return;
  st.pauseTick = ws().GetTickCount();
  const uint32_t run = st.resumeTick != 0 ? st.pauseTick - st.resumeTick : 0;
  for (size_t i = 0; i < st.list.size(); ++i) {
    IManagedTimer* timer = st.list[i].timer;
    if (timer == nullptr) continue;
    const bool on = timer->Enabled();
    timer->SetEnabled(false);
    TTimerRecord& rec = st.list[i];
    rec.wasEnabled = on;
    rec.pausedTicks += run;
  }
}

void TTimerManager::resumeAllPreviouslyEnabled() {
  ManagerState& st = St();
  if (st.pauseDepth > 1) {
    --st.pauseDepth;
    return;
  }
  // Also a resume without a pause (the restore cycle in the resolution mode pauses nothing).
  st.pauseDepth = 0;
  st.resumeTick = ws().GetTickCount();
  const uint32_t paused = st.resumeTick - st.pauseTick;
  for (size_t i = 0; i < st.list.size(); ++i) {
    IManagedTimer* timer = st.list[i].timer;
    if (timer == nullptr || !st.list[i].wasEnabled) continue;
    timer->SetEnabled(true);
    st.list[i].pausedTicks += paused;
  }
  FireOverdueTimers();
}

void TTimerManager::FireOverdueTimers() {
  ManagerState& st = St();
  for (size_t i = 0; i < st.list.size(); ++i) {
    IManagedTimer* timer = st.list[i].timer;
    if (timer == nullptr) continue;
    const uint32_t interval = timer->Interval();
    if (st.list[i].pausedTicks < interval) continue;
    st.list[i].pausedTicks -= interval;
    // Directly, not through the interceptor: no pause around it. The handler may pump messages
    // and tick other managed timers nested (see the header).
    std::function<void()> handler = st.list[i].OnTimer;
    if (timer->TickHandler() && handler) handler();
  }
}

void TTimerManager::InterceptedOnTimer(IManagedTimer& Sender) {
  std::recursive_mutex& lock = Lock();
  // TryEnterCriticalSection can raise an error; std::recursive_mutex::try_lock cannot, so the
  // "TTM.OT: TryEnterCriticalSection" failure line has no path here.
  uint32_t failed = 0;
  while (!lock.try_lock()) {
    ++failed;
    ws().Sleep(10);
  }
  if (failed > 0) AppendLog(L"TTM.OT: TryEnterCriticalSection was locked = " + IntText(failed), true);
  std::unique_lock<std::recursive_mutex> held(lock, std::adopt_lock);

  bool resumed = false;
  try {
    pauseAllEnabled();
    const int32_t i = IndexOf(Sender);
    if (i < 0) {
      AppendLog(L"TTM.OT: MASSIVE ERROR. Timer is not on list, but has an intercepted OnTimer call.");
    } else if (St().list[static_cast<size_t>(i)].OnTimer) {
      St().list[static_cast<size_t>(i)].pausedTicks = 0;
      std::function<void()> handler = St().list[static_cast<size_t>(i)].OnTimer;
      handler();
    }
    resumed = true;
    resumeAllPreviouslyEnabled();
  } catch (...) {
    // A handler that fails must not leave every managed timer switched off for good.
    if (!resumed) resumeAllPreviouslyEnabled();
    throw;
  }
}

bool TTimerManager::IsManaged(const IManagedTimer& timer) {
  for (const TTimerRecord& r : List())
    if (r.timer == &timer) return true;
  return false;
}

std::vector<TTimerRecord> TTimerManager::List() { return St().list; }
uint32_t TTimerManager::PauseTick() { return St().pauseTick; }
uint32_t TTimerManager::ResumeTick() { return St().resumeTick; }

void TTimerManager::Reset() {
  ManagerState& st = St();
  // Registered timers that still exist get their own handlers back.
  for (TTimerRecord& rec : st.list)
    if (rec.timer != nullptr) rec.timer->SetTickHandler(rec.OnTimer);
  st.list.clear();
  st.pauseTick = 0;
  st.pauseDepth = 0;
  st.resumeTick = 0;
}

void TTimerManager::Forget(const IManagedTimer& timer) {
  for (TTimerRecord& rec : St().list)
    if (rec.timer == &timer) {
      rec.timer = nullptr;
      rec.OnTimer = nullptr;
    }
}

}  // namespace tessary
