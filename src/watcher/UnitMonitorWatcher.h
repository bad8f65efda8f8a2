// The Monitor Watcher: the snapshot of where the programs sit, the three display-event listeners,
// and the restore cycle with its worker thread. It is the watcher side of the main window: the
// window derives from it, and supplies what a cycle needs of a window (status line, showing,
// placing and hiding itself, the settings controls, its timers) through the hooks below, so this
// layer never reaches up into the user interface.
//
// Threads: everything here runs on the user-interface thread except the worker's waiting for a
// second monitor. The worker hands every step that touches shared state (the log's level, the
// monitor lists, the snapshot, the timers) to the user-interface thread and waits for it, in the
// order a cycle runs, so nothing needs a lock. Steps handed over may nest other handlers: the
// countdown and the restore's waits pump messages.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/UnitSharedTypes.h"
#include "core/UnitSleep.h"

namespace tessary {

class TMonitorWatcher : public ISleepCallback {
 public:
  TMonitorWatcher();
  ~TMonitorWatcher() override;
  TMonitorWatcher(const TMonitorWatcher&) = delete;
  TMonitorWatcher& operator=(const TMonitorWatcher&) = delete;

  // ---- state (fields of the main window)
  TTryList<TProgramInfo> topLevelPrograms;  // the snapshot, foreground window first
  int32_t fsleepCount = 0;
  bool fmainFormNeedsPlacing = false;
  bool fCheckMonitors = false;
  bool fCallbackRunning = false;  // a worker exists and has not reported its end
  uint32_t LastTopLevelProgramDetectTime = 0;
  bool powerDetectionEventRunning = false;

  // ---- snapshot
  void GatherTopLevelPrograms();
  void timGetTopProgramsTimer() { GatherTopLevelPrograms(); }

  // ---- display-event listeners
  void OnMonitorConnect();
  void OnMonitorDisconnect();
  void OnResolutionChange();

  // ---- the restore cycle
  void StartRestoreWorker();
  void RestoreWorkerDone();
  void HandleMovedPrograms();
  void reportSleepSlick(int32_t remaining, bool& abort) override;
  // Ends a running cycle as soon as it can and waits for its worker, pumping messages so that the
  // worker's handed-over steps still run. The window calls it before it goes.
  void StopRestoreWorker();
  bool WorkerAlive() const;

 protected:
  // ---- what a cycle needs of its window (user-interface thread)
  virtual void ShowStatus(const std::wstring& text, bool keep) = 0;
  virtual void DetectMonitorLayout() = 0;
  virtual void ShowForeground(bool alreadyCaptured) = 0;
  virtual bool WatcherWindowShowing() = 0;
  virtual void WatcherShowWindow() = 0;         // shows it; showing places it
  virtual void WatcherPlaceWindowAgain() = 0;  // runs the placement of a showing once more
  virtual void WatcherHideWindow() = 0;
  virtual int32_t RestoreDelayMs() = 0;
  virtual bool PowerStateTrigger() = 0;
  virtual bool ResolutionTrigger() = 0;
  virtual void PauseManagedTimers() = 0;
  virtual void ResumeManagedTimers() = 0;
  // Runs fn on the user-interface thread and returns when it has run; rethrows what it threw.
  virtual void RunOnUiThread(const std::function<void()>& fn) = 0;

 private:
  struct Worker;
  void Execute(const std::shared_ptr<Worker>& worker);
  void ResumeAfterCycle();
  bool timersPaused_ = false;  // paused by a disconnect, until the cycle's end resumes them
  std::shared_ptr<Worker> worker_;  // the newest worker; older ones have reported their end
  std::shared_ptr<std::atomic<int32_t>> liveWorkers_;
};

}  // namespace tessary
