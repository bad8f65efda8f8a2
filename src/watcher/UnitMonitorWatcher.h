// The Monitor Watcher: the snapshot of where the programs sit, one remembered snapshot per monitor
// arrangement, the display-event listeners, and the restore cycle with its worker thread. The main
// window owns one and lends it what a cycle needs of a window through IWatcherHost, so this layer
// never reaches up into the user interface.
//
// Threads: everything here runs on the user-interface thread except the worker's waiting for a
// second monitor. The worker hands every step that touches shared state (the log's level, the
// monitor lists, the snapshot, the memory, the timers) to the user-interface thread and waits for
// it, in the order a cycle runs, so nothing needs a lock. Steps handed over may nest other
// handlers (the countdown and the restore's waits pump messages): a display event, a tick or a
// snapshot may run inside a cycle, and a cycle never starts inside another (fCallbackRunning).
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/UnitSharedTypes.h"
#include "core/UnitSleep.h"
#include "watcher/UnitArrangements.h"

namespace tessary {

// What the watcher needs of the window that shows it; all called on the user-interface thread.
class IWatcherHost {
 public:
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
  virtual void SetSnapshotTimer(bool on) = 0;
  virtual void PauseManagedTimers() = 0;
  virtual void ResumeManagedTimers() = 0;
  // After every cycle, when its report (if any) is in place and the timers run again.
  virtual void WatcherCycleEnded() = 0;
  // Runs fn on the user-interface thread and returns when it has run; rethrows what it threw.
  virtual void RunOnUiThread(const std::function<void()>& fn) = 0;

 protected:
  ~IWatcherHost() = default;
};

class TMonitorWatcher : public ISleepCallback {
 public:
  explicit TMonitorWatcher(IWatcherHost& host);
  ~TMonitorWatcher() override;
  TMonitorWatcher(const TMonitorWatcher&) = delete;
  TMonitorWatcher& operator=(const TMonitorWatcher&) = delete;

  // ---- state
  TTryList<TProgramInfo> topLevelPrograms;  // the last snapshot, foreground window first
  int32_t fsleepCount = 0;
  bool fmainFormNeedsPlacing = false;
  bool fCheckMonitors = false;
  bool fCallbackRunning = false;  // a worker exists and has not reported its end
  uint32_t LastTopLevelProgramDetectTime = 0;
  bool powerDetectionEventRunning = false;

  // ---- the switch: the snapshot timer follows it, and the status line says so
  bool MonitorWatcher() const { return fCheckMonitors; }
  void SetMonitorWatcher(bool on);

  // ---- snapshot
  void GatherTopLevelPrograms();
  // A snapshot, remembered as the present arrangement's unless the monitors are changing.
  void timGetTopProgramsTimer();

  // ---- display events
  void OnMonitorConnect();
  void OnMonitorDisconnect();
  void OnResolutionChange();
  void OnDisplayChange();
  // Called every few hundred milliseconds: once the monitors have stayed unchanged for the restore
  // delay outside a cycle, the arrangement present is taken up (and its programs put back).
  void Tick();

  // ---- the restore cycle
  void StartRestoreWorker();
  void RestoreWorkerDone();
  void HandleMovedPrograms();
  void reportSleepSlick(int32_t remaining, bool& abort) override;
  // Ends a running cycle as soon as it can and waits for its worker, pumping messages so that the
  // worker's handed-over steps still run. False when the worker had not ended within timeoutMs.
  bool StopRestoreWorker(uint32_t timeoutMs = 10000);
  bool WorkerAlive() const;

  // ---- arrangements and the report
  const TArrangementMemory& Memory() const { return memory_; }
  bool MonitorsChanging() const { return changing_; }
  // The last restore's report: the arrangement first, then one line per program considered.
  const std::vector<std::wstring>& LastReport() const { return report_; }
  std::wstring ReportText() const;

 private:
  struct Worker;
  void Execute(const std::shared_ptr<Worker>& worker);
  void ResumeAfterCycle();
  void NoteMonitorChange(const std::wstring& reason);
  void Settle(const TArrangement& present);
  void RememberSnapshot();
  bool AnyDisplaced(const TRememberedLayout& layout) const;
  // The snapshot as it is remembered: programs a restore could not put back keep their recorded
  // place until they are moved or gone, so that a later restore still puts them back.
  TTryList<TProgramInfo> WithPending(const TTryList<TProgramInfo>& snapshot);
  void EndCycleChange();

  IWatcherHost& host_;
  TArrangementMemory memory_;
  TArrangement stable_;      // the arrangement snapshots are remembered under
  TArrangement left_;        // the one that was stable when the monitors began to change
  TArrangement changingTo_;  // what the monitors were at the last change seen
  bool changing_ = false;    // the monitors changed and have not stayed unchanged long enough
  uint32_t lastChangeTick_ = 0;
  uint64_t changeSeq_ = 0;   // one more for every change seen
  uint64_t restoreSeq_ = 0;  // changeSeq_ when the running cycle's restore looked at the monitors
  std::vector<std::wstring> report_;
  struct TPending {
    TProgramInfo recorded;
    TRect leftAt;  // where the restore left it
  };
  std::vector<TPending> pending_;
  // Window classes by window and process, from the last snapshot: a window's class never changes,
  // so only windows new to the walk are asked for theirs.
  struct TClassSeen {
    WindowHandle h;
    uint32_t pid;
    uint32_t hash;
  };
  std::vector<TClassSeen> classes_;
  bool timersPaused_ = false;  // paused by a cycle, until its end resumes them
  std::shared_ptr<Worker> worker_;  // the newest worker; older ones have reported their end
  std::shared_ptr<std::atomic<int32_t>> liveWorkers_;
};

}  // namespace tessary
