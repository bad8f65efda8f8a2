// The timer manager keeps the main window's periodic work from overlapping and lets the Monitor
// Watcher freeze it. Every registered timer has its tick handler replaced by InterceptedOnTimer,
// which runs the timer's own handler with all managed timers switched off and under one
// re-entrant lock. Pausing and resuming restart the timers' countdowns, so the manager also adds
// up how long each timer has waited and runs a handler itself (FireOverdueTimers) once that time
// reaches the timer's interval: while a 200 ms timer ticks, a 10 s timer runs only that way.
//
// Threads: every operation is for the UI thread, which owns the timers. The restore worker does
// not call resumeAllPreviouslyEnabled itself; it hands the call to the UI thread and waits.
//
// Nesting: a handler may pump messages (the status line does). An overdue handler runs with the
// timers switched on again, so a tick that arrives while it pumps runs a nested
// InterceptedOnTimer on the same thread; the lock lets that thread in again without waiting.
// Handlers must not wait for another thread that ticks a managed timer.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

namespace tessary {

// What the manager needs of a timer. A timer leaves the manager's list when it is destroyed, so
// a record never points to a timer that is gone.
class IManagedTimer {
 public:
  IManagedTimer() = default;
  IManagedTimer(const IManagedTimer&) = delete;
  IManagedTimer& operator=(const IManagedTimer&) = delete;
  virtual ~IManagedTimer();

  virtual bool Enabled() const = 0;
  // Switching on starts the countdown from zero.
  virtual void SetEnabled(bool on) = 0;
  virtual uint32_t Interval() const = 0;
  // The handler a tick runs (empty: none). The manager takes it over and installs its own.
  virtual std::function<void()> TickHandler() const = 0;
  virtual void SetTickHandler(std::function<void()> handler) = 0;
};

struct TTimerRecord {
  int32_t TimerListIndex = 0;
  IManagedTimer* timer = nullptr;  // not owned; null once the timer was destroyed
  uint32_t pausedTicks = 0;        // ms waited without the handler having run
  bool wasEnabled = false;         // on when last paused, or as last set through setEnabled
  std::function<void()> OnTimer;   // the timer's own handler
};

// No instances: class-level operations on process-wide state.
class TTimerManager {
 public:
  // Registers the timer (once; a timer already in the list is left as it is) and makes
  // InterceptedOnTimer its tick handler.
  static void add(IManagedTimer& timer);
  // Switches a registered timer; a timer that was never added is not touched. Managed timers
  // must be switched only through here, so that wasEnabled stays right.
  static void setEnabled(IManagedTimer& timer, bool value);
  // Every managed timer off; each gets the time since the last resume added.
  static void pauseAllEnabled();
  // The timers that were on at the last pause come on again with the paused time added; then
  // every timer whose waited time reached its interval runs its handler once.
  static void resumeAllPreviouslyEnabled();
  // The tick handler of every managed timer.
  static void InterceptedOnTimer(IManagedTimer& Sender);

  // A copy of the list, in registration order.
  static std::vector<TTimerRecord> List();
  static bool IsManaged(const IManagedTimer& timer);
  static uint32_t PauseTick();
  static uint32_t ResumeTick();

  // For test fixtures: an empty list and no pause or resume yet.
  static void Reset();

 private:
  friend class IManagedTimer;
  static void FireOverdueTimers();
  static void Forget(const IManagedTimer& timer);
};

}  // namespace tessary
