// Faults by call number: the table of how each operation fails on Windows, the numbering of calls,
// the injection of one failure, the run budget and the resource counts for leak checks.
#include <algorithm>
#include <array>
#include <exception>
#include <string>

#include "platform/sim/SimState.h"

namespace tessary::sim {

using namespace tessary::wc;

namespace {

// Only what Windows does: an operation is listed with the failures its documentation (or a
// measurement) gives it. Queries that fail only for a window that is gone fail here by its going.
constexpr FaultRow E(std::string_view op, uint32_t error) { return FaultRow{op, error, true}; }
constexpr FaultRow V(std::string_view op) { return FaultRow{op, 0, false, false, true}; }
constexpr FaultRow EV(std::string_view op, uint32_t error) { return FaultRow{op, error, true, false, true}; }
constexpr FaultRow M(std::string_view op) { return FaultRow{op, 0, false, false, false, true}; }

constexpr std::array kRows{
    // windows: a window of another program may go at any moment
    V("GetWindow"), V("GetParent"), V("GetAncestor"), V("IsWindow"), V("IsWindowVisible"), V("IsIconic"),
    V("IsZoomed"), V("GetWindowLongW"), V("GetWindowTextLengthW"), V("GetWindowTextW"), V("GetClassNameW"),
    V("GetWindowRect"), V("GetClientSize"), V("GetWindowThreadProcessId"), V("GetDpiForWindow"),
    V("GetClassStyle"), V("GetClassIcon"),
    EV("DwmGetCloaked", ERROR_ACCESS_DENIED),
    // GetForegroundWindow is NULL while the activation changes hands
    E("GetForegroundWindow", ERROR_SUCCESS),
    E("GetShellWindow", ERROR_SUCCESS),  // no shell running
    E("GetCursorPos", ERROR_ACCESS_DENIED),  // another desktop (locked, secure desktop) is active
    // monitors
    M("EnumMonitors"), FaultRow{"MonitorFromWindow", 0, false, false, true, true}, M("MonitorFromPoint"),
    M("GetMonitorInfo"),
    E("GetTaskbarPos", ERROR_SUCCESS),  // SHAppBarMessage answers 0
    // placing: other programs' windows may refuse (UIPI) or go
    EV("SetWindowPos", ERROR_ACCESS_DENIED), V("RedrawWindow"), V("ShowWindow"),
    EV("BringWindowToTop", ERROR_ACCESS_DENIED), V("GetWindowPlacement"),
    EV("SetWindowPlacement", ERROR_ACCESS_DENIED), EV("SetForegroundWindow", ERROR_SUCCESS),
    EV("SetFocus", ERROR_ACCESS_DENIED), E("AttachThreadInput", ERROR_INVALID_PARAMETER),
    E("SystemParametersGet", ERROR_ACCESS_DENIED), E("SystemParametersSet", ERROR_ACCESS_DENIED),
    // the program's own windows and messages: the desktop heap or the user-object quota runs out
    E("CreateWindowExW", ERROR_NOT_ENOUGH_QUOTA), V("SetWindowTextW"), V("SetWindowLongW"),
    EV("PostMessageW", ERROR_NOT_ENOUGH_QUOTA),  // the queue holds 10000 messages
    V("SendMessageW"), FaultRow{"SendMessageTimeoutW", 0, false, true, true},
    FaultRow{"SendCopyData", 0, false, true, true}, E("FindWindowW", ERROR_SUCCESS),
    E("RegisterWindowMessageW", ERROR_NOT_ENOUGH_MEMORY), EV("SetTimer", ERROR_NOT_ENOUGH_QUOTA),
    E("RegisterDeviceNotificationW", ERROR_NOT_ENOUGH_MEMORY),
    // keyboard
    E("RegisterHotKey", ERROR_HOTKEY_ALREADY_REGISTERED), E("GetKeyboardState", ERROR_ACCESS_DENIED),
    E("WatchKeyRelease", ERROR_NOT_ENOUGH_MEMORY),  // its thread could not be created
    // processes: another program's may go or be out of reach
    E("GetProcessList", ERROR_NOT_ENOUGH_MEMORY), E("GetProcessImageName", ERROR_ACCESS_DENIED),
    E("OpenProcess", ERROR_ACCESS_DENIED), E("OpenProcessToken", ERROR_ACCESS_DENIED),
    E("GetTokenIntegritySize", ERROR_ACCESS_DENIED), E("GetTokenIntegrityLevel", ERROR_ACCESS_DENIED),
    E("ReadRegistryDword", ERROR_ACCESS_DENIED), E("ReadRegistryString", ERROR_ACCESS_DENIED),
    E("WriteRegistryString", ERROR_ACCESS_DENIED),  // a policy, a hive mounted read-only
    E("DeleteRegistryValue", ERROR_ACCESS_DENIED),
    E("CreateMutexW", ERROR_ACCESS_DENIED),  // the name is held in another session
    // shell and files: another program (a virus scanner, an editor) holds the file
    E("GetSpecialFolder", ERROR_ACCESS_DENIED), E("ShellExecuteOpen", ERROR_FILE_NOT_FOUND),
    E("GetModuleFileNameW", ERROR_INSUFFICIENT_BUFFER), E("GetCommandLineArgs", ERROR_NOT_ENOUGH_MEMORY),
    E("GetFileVersion", ERROR_RESOURCE_TYPE_NOT_FOUND), E("FileExists", ERROR_ACCESS_DENIED),
    E("DirectoryExists", ERROR_ACCESS_DENIED), E("CreateDirectoryTree", ERROR_ACCESS_DENIED),
    E("MoveFileW", ERROR_SHARING_VIOLATION), E("MoveFileReplacing", ERROR_SHARING_VIOLATION),
    E("DeleteFileW", ERROR_SHARING_VIOLATION),
    FaultRow{"WriteWholeFile", ERROR_SHARING_VIOLATION, true, false, false, false, true},
    E("ReadWholeFile", ERROR_SHARING_VIOLATION), E("ReadFileLimited", ERROR_SHARING_VIOLATION),
    E("WritePrivateProfileStringW", ERROR_ACCESS_DENIED),
    // icons and the notification area (the shell may not answer in time)
    E("CopyIconHandle", ERROR_NOT_ENOUGH_MEMORY), E("LoadIconResource", ERROR_NOT_ENOUGH_MEMORY),
    E("GetSmallIconSize", ERROR_SUCCESS), E("ShellNotifyIcon", ERROR_TIMEOUT),
    // common
    E("ErrorText", ERROR_NOT_ENOUGH_MEMORY), E("LocalTimeText", ERROR_NOT_ENOUGH_MEMORY),
    E("SetClipboardText", ERROR_ACCESS_DENIED), E("GetClipboardText", ERROR_ACCESS_DENIED),
    E("MessageBoxW", ERROR_NOT_ENOUGH_MEMORY),
};

// Documented never to fail (or to fail only for arguments the program never passes: its own
// valid window, timer, registration, handle or icon), or with no way to report a failure.
constexpr std::array<std::string_view, 27> kCannotFail{
    "GetDesktopWindow", "WindowFromPoint", "GetVirtualScreenRect", "AdjustWindowRectExForDpi",
    "DestroyWindow", "SetClassStyle", "KillTimer", "ProcessPendingMessages", "PumpOneMessage",
    "PostQuitMessage", "UnregisterDeviceNotification", "UnregisterHotKey", "GetKeyState",
    "GetAsyncKeyState", "keybd_event", "VkKeyScanW", "MapVirtualKeyW", "GetVersion",
    "GetCurrentProcessId", "GetCurrentThreadId", "CloseHandle", "IsDebuggerPresent", "DestroyIcon",
    "GetTickCount", "GetMessageTime", "KeyReleaseSeen", "DecimalSeparator"};
// Also never numbered: Sleep, GetLastError, SetLastError (no failure) and
// GetPrivateProfileStringW (the program does not call it).

}  // namespace

const FaultRow* FindFaultRow(std::string_view op) {
  for (const FaultRow& r : kRows)
    if (r.op == op) return &r;
  return nullptr;
}

std::vector<std::string> SimDesktop::CannotFail() {
  std::vector<std::string> out(kCannotFail.begin(), kCannotFail.end());
  for (const char* more : {"Sleep", "GetLastError", "SetLastError"}) out.emplace_back(more);
  return out;
}

const char* SimDesktop::FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::Error: return "error";
    case FaultKind::Vanished: return "window vanished";
    case FaultKind::Timeout: return "time-out";
    case FaultKind::MonitorGone: return "monitor gone";
    case FaultKind::PartialWrite: return "partial write";
  }
  return "?";
}

std::optional<uint32_t> SimDesktop::State::Enter(std::string_view op, const FaultTarget& target) {
  auto c = calls.find(op);
  if (c == calls.end()) c = calls.emplace(std::string(op), 0).first;
  ++c->second;
  partialWrite = false;
  if (budget) CheckBudgetL(op);
  if (numbering && !numberingPaused) {
    if (auto code = NumberedFaultL(op, target)) return code;
  }
  if (faults.empty()) return std::nullopt;
  auto f = faults.find(op);
  if (f == faults.end()) return std::nullopt;
  if (f->second.skip > 0) {
    --f->second.skip;
    return std::nullopt;
  }
  const uint32_t code = f->second.code;
  if (f->second.count > 0 && --f->second.count == 0) faults.erase(f);
  return code;
}

MonitorHandle SimDesktop::State::MonitorOfL(const FaultTarget& target) {
  const SimMon* m = nullptr;
  if (target.monitor) {
    for (const SimMon& x : mons)
      if (x.h == target.monitor) m = &x;
  } else if (target.point) {
    m = MonFromPoint(*target.point, MONITOR_DEFAULTTONULL);
  } else if (target.window) {
    const SimWin* w = W(target.window);
    if (w) m = MonFromRect(w->rect, MONITOR_DEFAULTTONULL);
  } else {
    for (const SimMon& x : mons)
      if (!x.primary) m = &x;  // the last one that is not the primary
  }
  return m && !m->primary ? m->h : 0;
}

std::vector<SimDesktop::FaultKind> SimDesktop::State::KindsL(const FaultRow& row, const FaultTarget& target) {
  std::vector<FaultKind> kinds;
  if (row.errorKind) kinds.push_back(FaultKind::Error);
  if (row.timeout) {
    // Only a message to another thread can time out.
    const SimWin* w = W(target.window);
    if (w && w->tid != Me().tid) kinds.push_back(FaultKind::Timeout);
  }
  if (row.vanish && target.window) {
    // Only another program's window goes by itself; the shell's windows stay.
    const SimWin* w = W(target.window);
    if (w && w->pid != ownPid && target.window != desktop && target.window != shell && target.window != tray)
      kinds.push_back(FaultKind::Vanished);
  }
  if (row.monitorGone && MonitorOfL(target) != 0) kinds.push_back(FaultKind::MonitorGone);
  if (row.partialWrite) kinds.push_back(FaultKind::PartialWrite);
  return kinds;
}

std::optional<uint32_t> SimDesktop::State::NumberedFaultL(std::string_view op, const FaultTarget& target) {
  const FaultRow* row = FindFaultRow(op);
  if (!row) return std::nullopt;
  ++callNo;
  std::vector<FaultKind> kinds = KindsL(*row, target);
  const bool due = callNo == failNo;
  numbered.push_back(NumberedCall{std::string(op), kinds});
  if (!due) return std::nullopt;
  InjectedFault inj;
  inj.number = callNo;
  inj.op = std::string(op);
  inj.kind = failKind;
  inj.fitted = std::find(kinds.begin(), kinds.end(), failKind) != kinds.end();
  if (!inj.fitted) {
    injected = inj;
    return std::nullopt;
  }
  std::optional<uint32_t> result;
  switch (failKind) {
    case FaultKind::Error:
      inj.code = row->error;
      result = row->error;
      break;
    case FaultKind::Timeout:
      inj.code = ERROR_TIMEOUT;
      result = ERROR_TIMEOUT;
      break;
    case FaultKind::Vanished:
      RemoveWindowL(target.window, nullptr);
      break;
    case FaultKind::MonitorGone:
      MonitorGoneL(MonitorOfL(target));
      break;
    case FaultKind::PartialWrite:
      inj.code = ERROR_DISK_FULL;
      partialWrite = true;
      result = ERROR_DISK_FULL;
      break;
  }
  injected = inj;
  return result;
}

void SimDesktop::State::MonitorGoneL(MonitorHandle m) {
  auto it = std::find_if(mons.begin(), mons.end(), [&](const SimMon& x) { return x.h == m; });
  const SimMon* p = Primary();
  if (it == mons.end() || it->primary || !p) return;
  const SimMon gone = *it;
  const SimMon primary = *p;
  // The same place on the primary, kept inside it.
  auto moved = [&](TRect r) {
    r.Left += primary.bounds.Left - gone.bounds.Left;
    r.Right += primary.bounds.Left - gone.bounds.Left;
    r.Top += primary.bounds.Top - gone.bounds.Top;
    r.Bottom += primary.bounds.Top - gone.bounds.Top;
    const int32_t w = std::min(r.Width(), primary.work.Width()), h = std::min(r.Height(), primary.work.Height());
    r.Left = std::clamp(r.Left, primary.work.Left, primary.work.Right - w);
    r.Top = std::clamp(r.Top, primary.work.Top, primary.work.Bottom - h);
    r.SetWidth(w);
    r.SetHeight(h);
    return r;
  };
  auto on = [&](const TRect& r) { return gone.bounds.Contains(r.Left + r.Width() / 2, r.Top + r.Height() / 2); };
  for (WindowHandle h : top) {
    SimWin* w = W(h);
    if (!w || h == desktop || h == shell || h == tray) continue;
    if (!(w->style & WS_MINIMIZE) && on(w->rect)) w->rect = moved(w->rect);
    if (on(w->restore)) w->restore = moved(w->restore);
  }
  mons.erase(it);
  SyncShell();
  PostDisplayChange();
}

void SimDesktop::State::CheckBudgetL(std::string_view op) {
  const bool pump = op == "PumpOneMessage" || op == "ProcessPendingMessages";
  ++budgetCalls;
  if (!budgetExceeded) {
    std::string what;
    if (now - budgetFrom > budget->virtualMs) what = "virtual time over " + std::to_string(budget->virtualMs) + " ms";
    else if (dispatched - budgetMessages > budget->messages)
      what = "more than " + std::to_string(budget->messages) + " messages dispatched";
    else if (budgetCalls > budget->calls) what = "more than " + std::to_string(budget->calls) + " calls";
    if (what.empty()) return;
    budgetExceeded = true;
    budgetWhat = what;
  }
  // Only where a loop waits, and never while an exception already unwinds (a destructor's call).
  if ((pump || op == "Sleep") && std::uncaught_exceptions() == 0) throw RunBudgetExceeded{budgetWhat};
}

void SimDesktop::StartCallNumbering() {
  std::lock_guard lk(s_->mu);
  s_->numbering = true;
  s_->numberingPaused = false;
  s_->callNo = 0;
  s_->numbered.clear();
  s_->failNo = 0;
  s_->injected.reset();
  s_->fileHistory.clear();
}

std::vector<std::pair<std::wstring, std::vector<uint8_t>>> SimDesktop::FileHistory() const {
  std::lock_guard lk(s_->mu);
  return s_->fileHistory;
}

void SimDesktop::PauseCallNumbering(bool paused) {
  std::lock_guard lk(s_->mu);
  s_->numberingPaused = paused;
}

std::vector<SimDesktop::NumberedCall> SimDesktop::NumberedCalls() const {
  std::lock_guard lk(s_->mu);
  return s_->numbered;
}

void SimDesktop::FailCallNumber(uint64_t number, FaultKind kind) {
  std::lock_guard lk(s_->mu);
  s_->failNo = number;
  s_->failKind = kind;
  s_->injected.reset();
}

std::optional<SimDesktop::InjectedFault> SimDesktop::Injected() const {
  std::lock_guard lk(s_->mu);
  return s_->injected;
}

void SimDesktop::SetRunBudget(std::optional<RunBudget> budget) {
  std::lock_guard lk(s_->mu);
  s_->budget = budget;
  s_->budgetFrom = s_->now;
  s_->budgetMessages = s_->dispatched;
  s_->budgetCalls = 0;
  s_->budgetExceeded = false;
}

bool SimDesktop::RunBudgetWasExceeded() const {
  std::lock_guard lk(s_->mu);
  return s_->budgetExceeded;
}

SimDesktop::Resources SimDesktop::OwnResources() const {
  std::lock_guard lk(s_->mu);
  const State& s = *s_;
  Resources r;
  auto own = [&](WindowHandle h) {
    auto it = s.wins.find(h);
    return it != s.wins.end() && it->second.pid == s.ownPid;
  };
  for (const auto& [h, w] : s.wins)
    if (w.pid == s.ownPid) ++r.windows;
  r.timers = s.timers.size();
  for (const SimHotkey& k : s.hotkeys)
    if (own(k.h)) ++r.hotkeys;
  for (const auto& [h, k] : s.kobjs)
    if (k.kind == KKind::DevNotify) ++r.notifications;
  r.kernelHandles = s.kobjs.size();
  for (const NotifyIconData& d : s.trayIcons)
    if (own(d.window)) ++r.notifyIcons;
  r.icons = s.liveLoaded.size() + s.copies.size();
  return r;
}

void SimDesktop::OwnProcessEnded() {
  std::lock_guard lk(s_->mu);
  s_->kobjs.clear();
  s_->mutexRefs.clear();
  for (const auto& [tid, pid] : s_->threadPid) {
    if (pid != s_->ownPid) continue;
    s_->queues.erase(tid);
    s_->quitPosted.erase(tid);
  }
  s_->queues.erase(s_->uiTid);
  s_->quitPosted.erase(s_->uiTid);
}

}  // namespace tessary::sim
