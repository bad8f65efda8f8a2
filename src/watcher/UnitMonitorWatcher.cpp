#include "watcher/UnitMonitorWatcher.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "core/UnitForeground.h"
#include "core/UnitMonitors.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitMoveQueue.h"
#include "util/UnitError.h"
#include "util/UnitText.h"
#include "watcher/UnitRestore.h"

namespace tessary {

namespace {

constexpr int32_t kForegroundRetries = 10;

// The log's indentation follows the cycle's steps, also when one of them throws.
class LevelScope {
 public:
  LevelScope() { IncLevel(); }
  ~LevelScope() { Release(); }
  LevelScope(const LevelScope&) = delete;
  LevelScope& operator=(const LevelScope&) = delete;
  void Release() {
    if (raised_) DecLevel();
    raised_ = false;
  }

 private:
  bool raised_ = true;
};

}  // namespace

struct TMonitorWatcher::Worker {
  std::atomic<bool> stop{false};
  // The restore step, when it had to wait its turn behind a move: set on the user-interface
  // thread when it has run, waited for on the worker.
  std::mutex mu;
  std::condition_variable cv;
  bool restoreDone = false;
  std::exception_ptr restoreError;

  void Stop() {
    {
      std::lock_guard lk(mu);
      stop = true;
    }
    cv.notify_all();
  }
};

TMonitorWatcher::TMonitorWatcher()
    : topLevelPrograms(std::make_shared<TProgramInfoComparer>()),
      liveWorkers_(std::make_shared<std::atomic<int32_t>>(0)) {}

TMonitorWatcher::~TMonitorWatcher() {
  // The window has stopped the worker already; this only guards against one that did not, and
  // a worker told to stop calls none of the window's hooks.
  StopRestoreWorker();
}

// ---------------------------------------------------------------- snapshot

void TMonitorWatcher::GatherTopLevelPrograms() {
  topLevelPrograms.Clear();
  LastTopLevelProgramDetectTime = ws().GetTickCount();
  if (powerDetectionEventRunning) AppendLog(L"GTLP: Starting.");

  // The retries may pump messages; nothing else takes a snapshot meanwhile: the snapshot timer is
  // paused while any managed timer's handler runs, and the cycle's snapshots run on this thread.
  WindowHandle h = TFocusManager::FMGetForegroundWindow(kForegroundRetries);
  if (h == 0) {
    AppendLog(L"GTLP: Failed to get Foreground. Aborting. ", true);
    return;
  }

  // From the top of the z-order, not from the window in front: a restore raises the programs it
  // puts back without activating them, and a walk from the active one would miss those above it
  // until the user clicks one, so that a second sleep would leave them where the system put them.
  if (const WindowHandle first = ws().GetWindow(h, wc::GW_HWNDFIRST); first != 0 && first != h)
    h = TFocusManager::IsLikelyOnTaskbar(first) ? first : TFocusManager::GetNextToFocus(first, false);
  if (h == 0) h = TFocusManager::FMGetForegroundWindow(kForegroundRetries);

  const TReadCache cache;
  std::vector<WindowHandle> seen;
  while (h != 0) {
    // The z-order can change under the walk; a window met twice would make it go round for ever.
    for (WindowHandle s : seen)
      if (s == h) h = 0;
    if (h == 0) break;
    seen.push_back(h);

    TProgramInfo info;
    TForeGround::GatherProgramInfo(h, info);
    const bool skip = SameTextAscii(info.EXEName, L"Tessary.exe") || info.bounds == TRect{} ||
                      info.bounds.Width() < 0 || info.bounds.Height() < 0 || info.isMinimized;
    if (!skip) topLevelPrograms.Add(info);
    h = TFocusManager::GetNextToFocus(h, false);
  }
  if (powerDetectionEventRunning)
    AppendLog(L"GTLP: Ending - added count = " + std::to_wstring(topLevelPrograms.Count()));
}

// ---------------------------------------------------------------- listeners

void TMonitorWatcher::OnMonitorConnect() {
  AppendLog(L"CC: connect");
  if (!PowerStateTrigger()) return;
  if (fCheckMonitors) {
    AppendLog(L"CC: disconnect TRIGGER, CHM starting");
    StartRestoreWorker();
    return;
  }
  AppendLog(L"CC: disconnect DISABLED");
  ShowStatus(L"Monitor Watcher Disasbled: connection detected", true);
  // A disconnect seen while the watcher was on froze the timers for a cycle that will not come
  // now: let them run again, or the window would stop following the foreground for good.
  if (powerDetectionEventRunning && !fCallbackRunning) {
    powerDetectionEventRunning = false;
    timersPaused_ = false;
    ResumeManagedTimers();
  }
}

void TMonitorWatcher::OnMonitorDisconnect() {
  AppendLog(L"DC: disconnect");
  if (!PowerStateTrigger() || !fCheckMonitors) return;
  powerDetectionEventRunning = true;
  if (LastTopLevelProgramDetectTime != 0)
    AppendLog(L"DC: MS since GatherTopLevelPrograms - " +
              std::to_wstring(static_cast<uint32_t>(ws().GetTickCount() - LastTopLevelProgramDetectTime)));
  // Once per cycle: a second pause would record the paused timers as off, and the cycle's end
  // would then leave every one of them off.
  if (!timersPaused_) {
    timersPaused_ = true;
    PauseManagedTimers();
  }
}

void TMonitorWatcher::OnResolutionChange() {
  AppendLog(L"RC: resolution");
  if (!ResolutionTrigger() || !fCheckMonitors) return;
  AppendLog(L"RC: resolution TRIGGER");
  StartRestoreWorker();
}

// ---------------------------------------------------------------- the cycle

void TMonitorWatcher::StartRestoreWorker() {
  if (fCallbackRunning) {
    AppendLog(L"CHM: ignoring, thread still running.");
    return;
  }
  fCallbackRunning = true;
  auto worker = std::make_shared<Worker>();
  worker_ = worker;
  liveWorkers_->fetch_add(1);
  try {
    // The thread keeps its own reference to the count: the last thing it does is to say it is
    // gone, after which this object may be destroyed.
    std::thread([this, worker, live = liveWorkers_] {
      Execute(worker);
      live->fetch_sub(1);
    }).detach();
  } catch (...) {
    liveWorkers_->fetch_sub(1);
    fCallbackRunning = false;
    AppendLog(L"CHM: could not start the restore thread: " + DescribeCurrentException());
  }
}

void TMonitorWatcher::RestoreWorkerDone() {
  AppendLog(L"CHM: Done.");
  fCallbackRunning = false;
  powerDetectionEventRunning = false;
}

// Worker thread. Only the waiting for a second monitor runs here; every other step is handed to
// the user-interface thread in the order of the cycle.
void TMonitorWatcher::Execute(const std::shared_ptr<Worker>& worker) {
  int32_t levels = 0;  // raised and not yet lowered; touched only inside handed-over steps
  bool done = false;
  std::wstring error;
  try {
    RunOnUiThread([&] {
      AppendLog(L"CHM: Starting");
      IncLevel();
      ++levels;
    });

    int32_t repeat_cnt = 0;
    bool enough = false;
    // A monitor that went for good (unplugged while asleep) never comes back: the cycle gives up
    // instead of waiting for ever with the snapshot's timers paused.
    constexpr int32_t kMaxMonitorRounds = 20;
    while (!enough && !worker->stop && repeat_cnt < kMaxMonitorRounds) {
      std::vector<MonitorDesc> monitors = TMonitors::WaitForMonitors(&worker->stop);
      RunOnUiThread([&] { TMonitors::RecordMonitors(monitors); });
      ++repeat_cnt;
      // As the list does when asked with fewer than two recorded: one more gathering.
      if (monitors.size() < 2 && !worker->stop) {
        monitors = TMonitors::WaitForMonitors(&worker->stop);
        RunOnUiThread([&] { TMonitors::RecordMonitors(monitors); });
      }
      enough = monitors.size() >= 2;
    }

    if (!enough && !worker->stop) {
      RunOnUiThread([&] { AppendLog(L"CHM: no second monitor, nothing restored"); });
    } else if (!worker->stop) {
      if (repeat_cnt > 1) RunOnUiThread([&] { AppendLog(L"CHM: Getmonitors repeat=" + std::to_wstring(repeat_cnt)); });
      // The restore moves windows: it is a move request like the others, so it never runs
      // inside a move (this hand-over may arrive in a move's wait) and none runs inside it (its
      // countdown pumps messages). When it has to wait its turn, this thread waits for it.
      RunOnUiThread([&] {
        TMoveQueue::Run(L"restore", [this, worker] {
          std::exception_ptr failure;
          if (!worker->stop) {  // a stopped worker's window may be gone
            try {
              AppendLog(L"CHM: HandleMovedPrograms");
              HandleMovedPrograms();
            } catch (...) {
              failure = std::current_exception();
            }
          }
          {
            std::lock_guard lk(worker->mu);
            worker->restoreDone = true;
            worker->restoreError = failure;
          }
          worker->cv.notify_all();
        });
      });
      {
        std::unique_lock lk(worker->mu);
        worker->cv.wait(lk, [&] { return worker->restoreDone || worker->stop; });
        if (worker->restoreError) std::rethrow_exception(worker->restoreError);
      }
      // So the snapshot shows the restored layout.
      RunOnUiThread([&] { GatherTopLevelPrograms(); });
    }

    // One step: an event handled between the cycle's end and the resume would find no cycle
    // running and the timers still paused; its disconnect would not pause them, the resume would
    // then let the snapshot follow the displaced windows, and the next wake would restore nothing.
    RunOnUiThread([&] {
      DecLevel();
      --levels;
      AppendLog(L"CHM: Ending");
      RestoreWorkerDone();
      done = true;
      if (!worker->stop) ResumeAfterCycle();
    });
    return;
  } catch (...) {
    error = DescribeCurrentException();
  }

  // A step threw: the cycle ends cleanly, so that the next event can start a new one.
  try {
    RunOnUiThread([&] {
      for (; levels > 0; --levels) DecLevel();
      AppendLog(L"CHM: cycle failed: " + error);
      if (!done) RestoreWorkerDone();
      if (!worker->stop) ResumeAfterCycle();
    });
  } catch (...) {
    // The user-interface thread is gone: nobody is left to tell.
  }
}

void TMonitorWatcher::ResumeAfterCycle() {
  timersPaused_ = false;
  ResumeManagedTimers();
}

void TMonitorWatcher::HandleMovedPrograms() {
  LevelScope level;
  DetectMonitorLayout();
  if (!WatcherWindowShowing()) WatcherShowWindow();
  if (fmainFormNeedsPlacing) {
    fmainFormNeedsPlacing = false;
    AppendLog(L"HMP: adjusting mainform position");
    WatcherPlaceWindowAgain();
  }

  const TTryList<TProgramInfo> saved = topLevelPrograms;
  ShowStatus(L"Sleeping then restoring positions", false);
  fsleepCount = 0;
  // Pumps messages through the countdown: display events, clicks and timers run meanwhile.
  SleepSlick(RestoreDelayMs(), this);
  ShowStatus(L"-------------------", true);
  ShowStatus(L"Restoring Positions", true);
  // Monitors flap on a wake: the ones gathered before the countdown may be gone now, and a window
  // placed on a monitor that is no longer there would be lost from view.
  TMonitors::GatherMonitorsInfo();

  GatherTopLevelPrograms();
  const TTryList<TProgramInfo> moved = TRestore::FindMovedPrograms(saved, topLevelPrograms);
  bool failed = false;
  if (moved.Count() == 0) {
    ShowStatus(L"No program moving needed.", true);
  } else {
    failed = !TRestore::RestoreMovedPrograms(
        moved, [this](const std::wstring& text, bool keep) { ShowStatus(text, keep); });
    ShowStatus(L"Restoring Done.", true);
    ShowForeground(false);
  }
  level.Release();
  // What did not go back stays in view with its status log.
  if (!failed) WatcherHideWindow();
}

void TMonitorWatcher::reportSleepSlick(int32_t remaining, bool& /*abort*/) {
  static constexpr const wchar_t* dots[] = {L" .", L" ..", L" ...", L" ...."};
  ShowStatus(L"Sleeping (" + FixedText(remaining / 1000.0, 2) + L") then restoring positions" +
                 dots[((fsleepCount % 4) + 4) % 4],
             false);
  ++fsleepCount;
}

void TMonitorWatcher::StopRestoreWorker() {
  if (worker_) worker_->Stop();
  // Its last steps are handed to this thread: keep answering them until it is gone.
  while (liveWorkers_->load() > 0) {
    ws().ProcessPendingMessages();
    if (liveWorkers_->load() > 0) ws().Sleep(5);
  }
}

bool TMonitorWatcher::WorkerAlive() const { return liveWorkers_->load() > 0; }

}  // namespace tessary
