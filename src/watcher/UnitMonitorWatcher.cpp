#include "watcher/UnitMonitorWatcher.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/UnitForeground.h"
#include "core/UnitMonitors.h"
#include "desktop/WinConst.h"
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

TMonitorWatcher::TMonitorWatcher(IWatcherHost& host)
    : topLevelPrograms(std::make_shared<TProgramInfoComparer>()),
      host_(host),
      liveWorkers_(std::make_shared<std::atomic<int32_t>>(0)) {}

TMonitorWatcher::~TMonitorWatcher() {
  // The window has stopped the worker already; this only guards against one that did not, and
  // a worker told to stop calls none of the host's hooks.
  if (!StopRestoreWorker()) AppendLog(L"CHM: the restore thread did not end");
}

void TMonitorWatcher::SetMonitorWatcher(bool on) {
  if (on == fCheckMonitors) return;
  fCheckMonitors = on;
  host_.SetSnapshotTimer(on);
  if (on) {
    // Whatever the monitors are now is where snapshots go from here.
    stable_ = TArrangement::Present();
    changing_ = false;
  } else if (!fCallbackRunning) {
    // Nothing may stay flagged for a change the watcher no longer follows.
    changing_ = false;
    powerDetectionEventRunning = false;
  }
  host_.ShowStatus(std::wstring(L"Monitor Watcher [") + (on ? L"Enabled" : L"Disabled") + L"]", true);
}

// ---------------------------------------------------------------- snapshot

void TMonitorWatcher::GatherTopLevelPrograms() {
  topLevelPrograms.Clear();
  LastTopLevelProgramDetectTime = ws().GetTickCount();
  if (powerDetectionEventRunning) AppendLog(L"GTLP: Starting.");

  // The retries may pump messages; nothing else takes a snapshot meanwhile: the snapshot timer is
  // paused while any managed timer's handler runs, and the cycle's snapshots run on this thread.
  const WindowHandle foreground = TFocusManager::FMGetForegroundWindow(kForegroundRetries);
  if (foreground == 0) {
    AppendLog(L"GTLP: Failed to get Foreground. Aborting. ", true);
    return;
  }

  // From the top of the z-order, not from the window in front: a restore raises the programs it
  // puts back without activating them, and a walk from the active one would miss those above it
  // until the user clicks one, so that a second sleep would leave them where the system put them.
  WindowHandle h = foreground;
  if (const WindowHandle first = ws().GetWindow(h, wc::GW_HWNDFIRST); first != 0 && first != h)
    h = TFocusManager::IsLikelyOnTaskbar(first) ? first : TFocusManager::GetNextToFocus(first, false);
  if (h == 0) h = foreground;

  const TReadCache cache;
  std::vector<TClassSeen> classes;
  const auto read = [&](WindowHandle w, TProgramInfo& info) {
    TForeGround::GatherProgramInfo(w, info);
    info.processId = WindowProcessId(w);
    for (const TClassSeen& k : classes_)
      if (k.h == w && k.pid == info.processId) info.classHash = k.hash;
    if (info.classHash == 0 && info.processId != 0) {
      const std::wstring cls = ws().GetClassNameW(w);
      info.classHash = cls.empty() ? 0 : ClassHash(cls);
    }
    if (info.processId == 0 || info.classHash == 0) {
      AppendLog(Format(L"GTLP: window %d went while it was read", static_cast<int32_t>(w)), true);
      return false;
    }
    classes.push_back(TClassSeen{w, info.processId, info.classHash});
    return !(SameTextAscii(info.EXEName, L"Tessary.exe") || info.bounds == TRect{} || info.bounds.Width() < 0 ||
             info.bounds.Height() < 0 || info.isMinimized);
  };
  std::vector<WindowHandle> seen;
  std::vector<TProgramInfo> below;
  while (h != 0) {
    // The z-order can change under the walk; a window met twice would make it go round for ever.
    for (WindowHandle s : seen)
      if (s == h) h = 0;
    if (h == 0) break;
    seen.push_back(h);
    TProgramInfo info;
    if (h != foreground && read(h, info)) below.push_back(info);
    h = TFocusManager::GetNextToFocus(h, false);
  }
  // The window in front is recorded whatever it is (a dialog, a tool window) and comes first, so
  // that a restore, which goes from the last record to the first, puts it back last.
  if (TProgramInfo info; read(foreground, info)) topLevelPrograms.Add(info);
  for (const TProgramInfo& info : below) topLevelPrograms.Add(info);
  classes_ = std::move(classes);
  if (powerDetectionEventRunning)
    AppendLog(L"GTLP: Ending - added count = " + IntText(topLevelPrograms.Count()));
}

void TMonitorWatcher::timGetTopProgramsTimer() {
  GatherTopLevelPrograms();
  RememberSnapshot();
}

void TMonitorWatcher::RememberSnapshot() {
  // A snapshot taken while a monitor is half gone would send windows to the wrong monitor later.
  if (!fCheckMonitors || changing_ || fCallbackRunning) return;
  const TArrangement present = TArrangement::Present();
  if (!present.Known()) return;
  if (present != stable_) {
    NoteMonitorChange(L"the snapshot found other monitors");
    return;
  }
  // Programs closed since, or whose handle went to another program, leave every memory.
  memory_.DropIf([](const TProgramInfo& p) {
    if (!ws().IsWindow(p.hwnd)) return true;
    uint32_t pid = 0;
    ws().GetWindowThreadProcessId(p.hwnd, &pid);
    return p.processId != 0 && pid != p.processId;
  });
  memory_.Store(present, WithPending(topLevelPrograms));
}

TTryList<TProgramInfo> TMonitorWatcher::WithPending(const TTryList<TProgramInfo>& snapshot) {
  TTryList<TProgramInfo> out = snapshot;
  for (size_t k = pending_.size(); k-- > 0;) {
    const TPending& p = pending_[k];
    TRect now;
    uint32_t pid = 0;
    ws().GetWindowThreadProcessId(p.recorded.hwnd, &pid);
    const bool same = ws().IsWindow(p.recorded.hwnd) && ws().GetWindowRect(p.recorded.hwnd, now) &&
                      (p.recorded.processId == 0 || pid == p.recorded.processId);
    // Moved since (by the user, or put back after all) or gone: the snapshot has the last word.
    if (!same || (now != p.leftAt && !ws().IsIconic(p.recorded.hwnd))) {
      pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(k));
      continue;
    }
    bool replaced = false;
    for (int32_t i = 0; i < out.Count() && !replaced; ++i)
      if (out[i].hwnd == p.recorded.hwnd) {
        out[i] = p.recorded;
        replaced = true;
      }
    if (!replaced) out.Add(p.recorded);
  }
  return out;
}

// ---------------------------------------------------------------- arrangements

void TMonitorWatcher::NoteMonitorChange(const std::wstring& reason) {
  if (!fCheckMonitors) return;
  ++changeSeq_;
  lastChangeTick_ = ws().GetTickCount();
  changingTo_ = TArrangement::Present();
  if (!changing_) {
    AppendLog(L"WA: monitors changing: " + reason);
    left_ = stable_;
    pending_.clear();  // they belong to the arrangement that is going
  }
  changing_ = true;
}

void TMonitorWatcher::OnDisplayChange() { NoteMonitorChange(L"display change"); }

void TMonitorWatcher::Tick() {
  if (!changing_ || fCallbackRunning || !fCheckMonitors) return;
  const uint32_t now = ws().GetTickCount();
  if (now - lastChangeTick_ < static_cast<uint32_t>(std::max(0, host_.RestoreDelayMs()))) return;
  const TArrangement present = TArrangement::Present();
  if (!present.Known()) return;
  if (present != changingTo_) {  // changed again without an event saying so
    changingTo_ = present;
    lastChangeTick_ = now;
    return;
  }
  Settle(present);
}

void TMonitorWatcher::Settle(const TArrangement& present) {
  changing_ = false;
  powerDetectionEventRunning = false;
  stable_ = present;
  const TRememberedLayout* layout = memory_.Find(present);
  AppendLog(layout != nullptr ? Format(L"WA: arrangement %s remembered, %d programs", present.Describe().c_str(),
                                       layout->programs.Count())
                              : L"WA: arrangement " + present.Describe() + L" new");
  // With neither trigger chosen the user wants nothing put back by itself.
  const bool restores = host_.PowerStateTrigger() || host_.ResolutionTrigger();
  if (restores && layout != nullptr && AnyDisplaced(*layout)) {
    // Back at a remembered arrangement with programs elsewhere, without a wake that said so (a
    // display change only, a monitor of three gone).
    StartRestoreWorker();
    return;
  }
  timGetTopProgramsTimer();
}

// Whether a cycle is worth starting: the cycle itself tells reused handles and the rest apart.
bool TMonitorWatcher::AnyDisplaced(const TRememberedLayout& layout) const {
  for (const TProgramInfo& p : layout.programs) {
    MonitorDesc now;
    if (!ws().IsIconic(p.hwnd) &&
        ws().GetMonitorInfo(ws().MonitorFromWindow(p.hwnd, wc::MONITOR_DEFAULTTONULL), now) &&
        now.bounds != p.monitorBounds)
      return true;
  }
  return false;
}

// ---------------------------------------------------------------- listeners

void TMonitorWatcher::OnMonitorConnect() {
  AppendLog(L"CC: connect");
  if (!host_.PowerStateTrigger()) return;
  if (fCheckMonitors) {
    AppendLog(L"CC: disconnect TRIGGER, CHM starting");
    NoteMonitorChange(L"connect");
    if (!fCallbackRunning) powerDetectionEventRunning = true;
    StartRestoreWorker();
    return;
  }
  AppendLog(L"CC: disconnect DISABLED");
  host_.ShowStatus(L"Monitor Watcher Disasbled: connection detected", true);
}

void TMonitorWatcher::OnMonitorDisconnect() {
  AppendLog(L"DC: disconnect");
  if (!host_.PowerStateTrigger() || !fCheckMonitors) return;
  powerDetectionEventRunning = true;
  if (LastTopLevelProgramDetectTime != 0)
    AppendLog(L"DC: MS since GatherTopLevelPrograms - " +
              IntText(static_cast<uint32_t>(ws().GetTickCount() - LastTopLevelProgramDetectTime)));
  // The snapshot of the arrangement that is going stays as it is: no snapshot is remembered until
  // the monitors have settled, and then under the key of what is present. The timers go on: the
  // window follows the program in front while a monitor is away, however long that is.
  NoteMonitorChange(L"disconnect");
}

void TMonitorWatcher::OnResolutionChange() {
  AppendLog(L"RC: resolution");
  if (!host_.ResolutionTrigger() || !fCheckMonitors) return;
  AppendLog(L"RC: resolution TRIGGER");
  NoteMonitorChange(L"resolution");
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
    host_.RunOnUiThread([&] {
      AppendLog(L"CHM: Starting");
      IncLevel();
      ++levels;
    });

    int32_t repeat_cnt = 0;
    bool enough = false;
    // A monitor that went for good (unplugged while asleep) never comes back: the cycle gives up
    // instead of waiting for ever; what is present then settles as any change does.
    constexpr int32_t kMaxMonitorRounds = 20;
    while (!enough && !worker->stop && repeat_cnt < kMaxMonitorRounds) {
      std::vector<MonitorDesc> monitors = TMonitors::WaitForMonitors(&worker->stop);
      host_.RunOnUiThread([&] { TMonitors::RecordMonitors(monitors); });
      ++repeat_cnt;
      // As the list does when asked with fewer than two recorded: one more gathering.
      if (monitors.size() < 2 && !worker->stop) {
        monitors = TMonitors::WaitForMonitors(&worker->stop);
        host_.RunOnUiThread([&] { TMonitors::RecordMonitors(monitors); });
      }
      enough = monitors.size() >= 2;
    }

    if (!enough && !worker->stop) {
      host_.RunOnUiThread([&] { AppendLog(L"CHM: no second monitor, nothing restored"); });
    } else if (!worker->stop) {
      if (repeat_cnt > 1) host_.RunOnUiThread([&] { AppendLog(L"CHM: Getmonitors repeat=" + IntText(repeat_cnt)); });
      // The restore moves windows: it is a move request like the others, so it never runs
      // inside a move (this hand-over may arrive in a move's wait) and none runs inside it (its
      // countdown pumps messages). When it has to wait its turn, this thread waits for it.
      host_.RunOnUiThread([&] {
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
      // So the snapshot shows the restored layout, remembered for the arrangement unless the
      // monitors changed again meanwhile.
      host_.RunOnUiThread([&] {
        GatherTopLevelPrograms();
        if (const TArrangement present = TArrangement::Present();
            restoreSeq_ == changeSeq_ && fCheckMonitors && !worker->stop && present.Known()) {
          changing_ = false;
          stable_ = present;
          memory_.Store(stable_, WithPending(topLevelPrograms));
        }
      });
    }

    // One step: an event handled between the cycle's end and the resume would find no cycle
    // running and the timers still paused; its disconnect would not pause them, the resume would
    // then let the snapshot follow the displaced windows, and the next wake would restore nothing.
    host_.RunOnUiThread([&] {
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
    host_.RunOnUiThread([&] {
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
  // A change the cycle did not settle is settled by the ticks, a whole delay from now.
  if (changing_) lastChangeTick_ = ws().GetTickCount();
  if (std::exchange(timersPaused_, false)) host_.ResumeManagedTimers();
  host_.WatcherCycleEnded();
}

void TMonitorWatcher::HandleMovedPrograms() {
  LevelScope level;
  host_.DetectMonitorLayout();
  if (!host_.WatcherWindowShowing()) host_.WatcherShowWindow();
  if (fmainFormNeedsPlacing) {
    fmainFormNeedsPlacing = false;
    AppendLog(L"HMP: adjusting mainform position");
    host_.WatcherPlaceWindowAgain();
  }
  // A wake's cycle holds the window's periodic work until it ends; a monitor away holds nothing.
  if (powerDetectionEventRunning && !timersPaused_) {
    timersPaused_ = true;
    host_.PauseManagedTimers();
  }

  host_.ShowStatus(L"Sleeping then restoring positions", false);
  // Pumps messages through the countdown: display events, clicks and timers run meanwhile. A
  // change of the monitors during it starts it again, so the restore looks at monitors that have
  // stayed put for the whole delay; a storm that never ends is waited out for a minute at most.
  constexpr uint32_t kMostSettlingMs = 60000;
  const uint32_t began = ws().GetTickCount();
  for (;;) {
    const uint64_t seq = changeSeq_;
    const TArrangement before = TArrangement::Present();
    fsleepCount = 0;
    SleepSlick(host_.RestoreDelayMs(), this);
    if (seq == changeSeq_ && TArrangement::Present() == before) break;
    if (ws().GetTickCount() - began >= kMostSettlingMs) {
      AppendLog(L"HMP: the monitors keep changing; restoring now");
      break;
    }
    AppendLog(L"HMP: the monitors changed during the wait; waiting again");
  }
  restoreSeq_ = changeSeq_;
  host_.ShowStatus(L"-------------------", true);
  host_.ShowStatus(L"Restoring Positions", true);
  // Monitors flap on a wake: the ones gathered before the countdown may be gone now, and a window
  // placed on a monitor that is no longer there would be lost from view.
  TMonitors::GatherMonitorsInfo();
  const TArrangement present = TArrangement::Present();
  const TRememberedLayout* layout = memory_.Find(present);
  const bool remembered = layout != nullptr;
  TTryList<TProgramInfo> saved(std::make_shared<TProgramInfoComparer>());
  if (remembered) saved = layout->programs;  // a copy: the restore's waits may replace the memory
  // Programs this arrangement does not know (opened since it was last here, or all of them when it
  // is new: a monitor more, the primary moved) still get back what they had on the monitors it
  // shares, by identity and bounds, with the arrangement that was left; another desk's monitor
  // shares none.
  int32_t fromLeft = 0;
  std::vector<TProgramInfo> elsewhere;  // on a monitor of the arrangement left that is not here
  if (const TRememberedLayout* before = memory_.Find(left_); before != nullptr && left_ != present)
    for (const TProgramInfo& p : before->programs) {
      if (TProgramInfo known = p; saved.TryAndGet(known)) continue;
      if (SameMonitorIn(before->arrangement, present, p.monitorBounds)) {
        saved.Add(p);
        ++fromLeft;
      } else if (ws().IsWindow(p.hwnd)) {
        elsewhere.push_back(p);
      }
    }
  AppendLog(Format(L"WA: arrangement %s %s, %d programs", present.Describe().c_str(),
                   remembered ? L"remembered" : L"new", saved.Count()) +
            (fromLeft > 0 ? Format(L" (%d from the arrangement left)", fromLeft) : std::wstring()));

  GatherTopLevelPrograms();
  TRestoreReport report;
  const TTryList<TProgramInfo> fresh = topLevelPrograms;
  const TTryList<TProgramInfo> moved = TRestore::FindMovedPrograms(saved, fresh, &report);
  bool failed = false;
  if (moved.Count() == 0) {
    host_.ShowStatus(L"No program moving needed.", true);
  } else {
    failed = !TRestore::RestoreMovedPrograms(
        moved, [this](const std::wstring& text, bool keep) { host_.ShowStatus(text, keep); }, &report);
    host_.ShowStatus(L"Restoring Done.", true);
    host_.ShowForeground(false);
  }
  for (const TProgramInfo& p : elsewhere) {
    TRestoreEntry e;
    e.saved = p;
    e.title = ws().GetWindowTextW(p.hwnd);
    ws().GetWindowRect(p.hwnd, e.from);
    e.outcome = TRestoreOutcome::MonitorMissing;
    report.push_back(e);
  }
  pending_.clear();
  for (const TRestoreEntry& e : report)
    if (e.outcome == TRestoreOutcome::NotResponding || e.outcome == TRestoreOutcome::Elevated ||
        e.outcome == TRestoreOutcome::Failed || e.outcome == TRestoreOutcome::Minimized)
      pending_.push_back(TPending{e.saved, e.from});
  report_.clear();
  report_.push_back(Format(L"arrangement %s, %s", present.Describe().c_str(), remembered ? L"remembered" : L"new"));
  for (const TRestoreEntry& e : report) report_.push_back(RestoreEntryText(e));
  for (const std::wstring& line : report_) AppendLog(L"RR: " + line);
  level.Release();
  // What did not go back stays in view with its status log.
  if (!failed) host_.WatcherHideWindow();
}

std::wstring TMonitorWatcher::ReportText() const {
  std::wstring text;
  for (const std::wstring& line : report_) text += line + L"\r\n";
  return text;
}

void TMonitorWatcher::reportSleepSlick(int32_t remaining, bool& /*abort*/) {
  static constexpr const wchar_t* dots[] = {L" .", L" ..", L" ...", L" ...."};
  host_.ShowStatus(Format(L"Sleeping (%s) then restoring positions", FixedText(remaining / 1000.0, 2).c_str()) +
                 dots[((fsleepCount % 4) + 4) % 4],
             false);
  ++fsleepCount;
}

bool TMonitorWatcher::StopRestoreWorker(uint32_t timeoutMs) {
  if (worker_) worker_->Stop();
  // Its last steps are handed to this thread: keep answering them until it is gone. Real time:
  // a worker stuck in a call that never returns must not hang the caller with it.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (liveWorkers_->load() > 0) {
    if (std::chrono::steady_clock::now() >= giveUp) return false;
    ws().ProcessPendingMessages();
    if (liveWorkers_->load() > 0) ws().Sleep(5);
  }
  return true;
}

bool TMonitorWatcher::WorkerAlive() const { return liveWorkers_->load() > 0; }

}  // namespace tessary
