#include "moving/UnitMoveQueue.h"

#include <deque>
#include <exception>
#include <mutex>
#include <utility>

#include "core/UnitSleep.h"
#include "diagnostics/DebugLog.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

// Before a move that follows another: QueuedSettleMs after the end of that placement, pumping
// messages. Whether the window then reads a place it has left is the mover's own check, on the
// very read it computes from (TMove::MoveProgram).
void Settle(bool queued) {
  if (queued) SleepSlick(TMoveQueue::QueuedSettleMs);
  WindowHandle h = 0;
  TRect placed;
  uint32_t at = 0;
  if (!TMove::LastPlacement(h, placed, at)) return;
  // A move asked for at once right after another one keeps the same distance from it.
  const uint32_t age = ws().GetTickCount() - at;
  if (age < static_cast<uint32_t>(TMoveQueue::QueuedSettleMs))
    SleepSlick(static_cast<int32_t>(static_cast<uint32_t>(TMoveQueue::QueuedSettleMs) - age));
}

struct Request {
  std::wstring what;
  std::function<void()> work;
};

// The requests are made and run on the user-interface thread; the lock only keeps the state
// consistent should another thread ask (a worker hands its steps to that thread first).
struct QueueState {
  std::mutex mu;
  std::deque<Request> waiting;
  size_t firstCount = 0;  // how many at the front were queued by RunFirst
  bool running = false;
  int32_t holds = 0;
};

QueueState& St() {
  static QueueState state;
  return state;
}

}  // namespace

bool TMoveQueue::Run(const std::wstring& what, std::function<void()> work) {
  return Enqueue(what, std::move(work), false);
}

bool TMoveQueue::RunFirst(const std::wstring& what, std::function<void()> work) {
  return Enqueue(what, std::move(work), true);
}

bool TMoveQueue::Enqueue(const std::wstring& what, std::function<void()> work, bool first) {
  QueueState& st = St();
  size_t waiting = 0;
  {
    std::lock_guard lk(st.mu);
    if (st.running || st.holds > 0 || !st.waiting.empty()) {
      if (first) {
        st.waiting.insert(st.waiting.begin() + static_cast<std::ptrdiff_t>(st.firstCount), Request{what, std::move(work)});
        ++st.firstCount;
      } else {
        st.waiting.push_back(Request{what, std::move(work)});
      }
      waiting = st.waiting.size();
    } else {
      st.waiting.push_back(Request{what, std::move(work)});
    }
  }
  if (waiting > 0) {
    AppendLog(L"MQ: " + what + L" waits (" + IntText(waiting) + L" waiting)");
    return false;
  }
  Drain(false);
  return true;
}

// Runs the waiting requests one after the other until none is left; the caller is the only one
// running them.
void TMoveQueue::Drain(bool firstWaited) {
  QueueState& st = St();
  {
    std::lock_guard lk(st.mu);
    if (st.running || st.holds > 0) return;
    st.running = true;
  }
  std::exception_ptr firstError;
  bool queued = firstWaited;
  bool after = false;  // a request ran before this one in this drain
  const auto finished = [&st] {
    std::lock_guard lk(st.mu);
    if (!st.waiting.empty() && st.holds == 0) return false;
    st.running = false;
    return true;
  };
  for (;;) {
    if (finished()) break;
    try {
      Settle(after);  // requests made meanwhile wait behind the others
    } catch (...) {
      if (!firstError) firstError = std::current_exception();
    }
    if (finished()) break;
    Request next;
    {
      std::lock_guard lk(st.mu);
      next = std::move(st.waiting.front());
      st.waiting.pop_front();
      if (st.firstCount > 0) --st.firstCount;
    }
    if (queued) AppendLog(L"MQ: " + next.what + L" runs");
    queued = true;
    after = true;
    try {
      if (next.work) next.work();
    } catch (...) {
      if (!firstError) firstError = std::current_exception();
    }
  }
  if (firstError) std::rethrow_exception(firstError);
}

std::function<void()> TMoveQueue::MoveWork(TMoveDirection direction, WindowHandle h, bool makeForeground) {
  return [direction, h, makeForeground] {
    switch (direction) {
      case TMoveDirection::Left: TMove::MoveProgramLeft(h, makeForeground); break;
      case TMoveDirection::Right: TMove::MoveProgramRight(h, makeForeground); break;
      case TMoveDirection::Up: TMove::MoveProgramUp(h, makeForeground); break;
      case TMoveDirection::Down: TMove::MoveProgramDown(h, makeForeground); break;
      case TMoveDirection::Next: TMove::MoveProgramNext(h, makeForeground); break;
    }
  };
}

bool TMoveQueue::RequestMove(const std::wstring& what, TMoveDirection direction, WindowHandle h,
                             bool makeForeground) {
  return Run(what, MoveWork(direction, h, makeForeground));
}

void TMoveQueue::Hold() {
  std::lock_guard lk(St().mu);
  ++St().holds;
}

void TMoveQueue::Release() {
  {
    std::lock_guard lk(St().mu);
    if (St().holds > 0) --St().holds;
    if (St().holds > 0 || St().running || St().waiting.empty()) return;
  }
  Drain(true);
}

bool TMoveQueue::Busy() {
  std::lock_guard lk(St().mu);
  return St().running;
}

size_t TMoveQueue::Waiting() {
  std::lock_guard lk(St().mu);
  return St().waiting.size();
}

void TMoveQueue::Reset() {
  std::lock_guard lk(St().mu);
  St().waiting.clear();
  St().firstCount = 0;
  St().running = false;
  St().holds = 0;
}

}  // namespace tessary
