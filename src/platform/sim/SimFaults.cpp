// Faults by call number: the table of how each operation fails on Windows, the numbering of calls,
// the injection of one failure, the run budget and the resource counts for leak checks.
#include <algorithm>
#include <array>
#include <exception>
#include <ostream>
#include <string>

#include "platform/sim/SimState.h"

namespace tessary::sim {

using namespace tessary::wc;

namespace {

// Only what Windows does: an operation is listed with the failures its documentation (or a
// measurement) gives it. Queries that fail only for a window that is gone fail here by its going.
constexpr FaultRow E(Op op, uint32_t error) { return FaultRow{op, error, true}; }
constexpr FaultRow V(Op op) { return FaultRow{op, 0, false, false, true}; }
constexpr FaultRow EV(Op op, uint32_t error) { return FaultRow{op, error, true, false, true}; }
constexpr FaultRow M(Op op) { return FaultRow{op, 0, false, false, false, true}; }

constexpr std::array kRows{
    // windows: a window of another program may go at any moment
    V(Op::GetWindow), V(Op::GetParent), V(Op::GetAncestor), V(Op::IsWindow), V(Op::IsWindowVisible), V(Op::IsIconic),
    V(Op::IsZoomed), V(Op::GetWindowLongW), V(Op::GetWindowTextLengthW), V(Op::GetWindowTextW), V(Op::GetClassNameW),
    V(Op::GetWindowRect), V(Op::GetClientSize), V(Op::GetWindowThreadProcessId), V(Op::GetDpiForWindow),
    V(Op::GetClassStyle), V(Op::GetClassIcon),
    EV(Op::DwmGetCloaked, ERROR_ACCESS_DENIED),
    // GetForegroundWindow is NULL while the activation changes hands
    E(Op::GetForegroundWindow, ERROR_SUCCESS),
    E(Op::GetShellWindow, ERROR_SUCCESS),  // no shell running
    E(Op::GetCursorPos, ERROR_ACCESS_DENIED),  // another desktop (locked, secure desktop) is active
    // monitors
    M(Op::EnumMonitors), FaultRow{Op::MonitorFromWindow, 0, false, false, true, true}, M(Op::MonitorFromPoint),
    M(Op::GetMonitorInfo),
    E(Op::GetTaskbarPos, ERROR_SUCCESS),  // SHAppBarMessage answers 0
    // placing: other programs' windows may refuse (UIPI) or go
    EV(Op::SetWindowPos, ERROR_ACCESS_DENIED), V(Op::RedrawWindow), V(Op::ShowWindow),
    EV(Op::BringWindowToTop, ERROR_ACCESS_DENIED), V(Op::GetWindowPlacement),
    EV(Op::SetWindowPlacement, ERROR_ACCESS_DENIED), EV(Op::SetForegroundWindow, ERROR_SUCCESS),
    EV(Op::SetFocus, ERROR_ACCESS_DENIED), E(Op::AttachThreadInput, ERROR_INVALID_PARAMETER),
    E(Op::SystemParametersGet, ERROR_ACCESS_DENIED), E(Op::SystemParametersSet, ERROR_ACCESS_DENIED),
    // the program's own windows and messages: the desktop heap or the user-object quota runs out
    E(Op::CreateWindowExW, ERROR_NOT_ENOUGH_QUOTA), V(Op::SetWindowTextW), V(Op::SetWindowLongW),
    EV(Op::PostMessageW, ERROR_NOT_ENOUGH_QUOTA),  // the queue holds 10000 messages
    V(Op::SendMessageW), FaultRow{Op::SendMessageTimeoutW, 0, false, true, true},
    FaultRow{Op::SendCopyData, 0, false, true, true}, E(Op::FindWindowW, ERROR_SUCCESS),
    E(Op::RegisterWindowMessageW, ERROR_NOT_ENOUGH_MEMORY), EV(Op::SetTimer, ERROR_NOT_ENOUGH_QUOTA),
    E(Op::RegisterDeviceNotificationW, ERROR_NOT_ENOUGH_MEMORY),
    // keyboard
    E(Op::RegisterHotKey, ERROR_HOTKEY_ALREADY_REGISTERED), E(Op::GetKeyboardState, ERROR_ACCESS_DENIED),
    E(Op::WatchKeyRelease, ERROR_NOT_ENOUGH_MEMORY),  // its thread could not be created
    // processes: another program's may go or be out of reach
    E(Op::GetProcessList, ERROR_NOT_ENOUGH_MEMORY), E(Op::GetProcessImageName, ERROR_ACCESS_DENIED),
    E(Op::OpenProcess, ERROR_ACCESS_DENIED), E(Op::OpenProcessToken, ERROR_ACCESS_DENIED),
    E(Op::GetTokenIntegritySize, ERROR_ACCESS_DENIED), E(Op::GetTokenIntegrityLevel, ERROR_ACCESS_DENIED),
    E(Op::ReadRegistryDword, ERROR_ACCESS_DENIED), E(Op::ReadRegistryString, ERROR_ACCESS_DENIED),
    E(Op::WriteRegistryString, ERROR_ACCESS_DENIED),  // a policy, a hive mounted read-only
    E(Op::DeleteRegistryValue, ERROR_ACCESS_DENIED),
    E(Op::CreateMutexW, ERROR_ACCESS_DENIED),  // the name is held in another session
    // shell and files: another program (a virus scanner, an editor) holds the file
    E(Op::GetSpecialFolder, ERROR_ACCESS_DENIED), E(Op::ShellExecuteOpen, ERROR_FILE_NOT_FOUND),
    E(Op::GetModuleFileNameW, ERROR_INSUFFICIENT_BUFFER), E(Op::GetCommandLineArgs, ERROR_NOT_ENOUGH_MEMORY),
    E(Op::GetFileVersion, ERROR_RESOURCE_TYPE_NOT_FOUND), E(Op::FileExists, ERROR_ACCESS_DENIED),
    E(Op::DirectoryExists, ERROR_ACCESS_DENIED), E(Op::CreateDirectoryTree, ERROR_ACCESS_DENIED),
    E(Op::MoveFileW, ERROR_SHARING_VIOLATION), E(Op::MoveFileReplacing, ERROR_SHARING_VIOLATION),
    E(Op::DeleteFileW, ERROR_SHARING_VIOLATION),
    FaultRow{Op::WriteWholeFile, ERROR_SHARING_VIOLATION, true, false, false, false, true},
    E(Op::ReadWholeFile, ERROR_SHARING_VIOLATION), E(Op::ReadFileLimited, ERROR_SHARING_VIOLATION),
    E(Op::WritePrivateProfileStringW, ERROR_ACCESS_DENIED),
    // icons and the notification area (the shell may not answer in time)
    E(Op::CopyIconHandle, ERROR_NOT_ENOUGH_MEMORY), E(Op::LoadIconResource, ERROR_NOT_ENOUGH_MEMORY),
    E(Op::GetSmallIconSize, ERROR_SUCCESS), E(Op::ShellNotifyIcon, ERROR_TIMEOUT),
    // common
    E(Op::ErrorText, ERROR_NOT_ENOUGH_MEMORY), E(Op::LocalTimeText, ERROR_NOT_ENOUGH_MEMORY),
    E(Op::SetClipboardText, ERROR_ACCESS_DENIED), E(Op::GetClipboardText, ERROR_ACCESS_DENIED),
    E(Op::MessageBoxW, ERROR_NOT_ENOUGH_MEMORY),
};

// Documented never to fail (or to fail only for arguments the program never passes: its own
// valid window, timer, registration, handle or icon), or with no way to report a failure.
constexpr std::array kCannotFail{
    Op::GetDesktopWindow, Op::WindowFromPoint, Op::GetVirtualScreenRect, Op::AdjustWindowRectExForDpi,
    Op::DestroyWindow, Op::SetClassStyle, Op::KillTimer, Op::ProcessPendingMessages, Op::PumpOneMessage,
    Op::PostQuitMessage, Op::UnregisterDeviceNotification, Op::UnregisterHotKey, Op::GetKeyState,
    Op::GetAsyncKeyState, Op::keybd_event, Op::VkKeyScanW, Op::MapVirtualKeyW, Op::GetVersion,
    Op::GetCurrentProcessId, Op::GetCurrentThreadId, Op::CloseHandle, Op::IsDebuggerPresent, Op::DestroyIcon,
    Op::GetTickCount, Op::GetMessageTime, Op::KeyReleaseSeen, Op::DecimalSeparator,
    // no failure at all
    Op::Sleep, Op::GetLastError, Op::SetLastError};
// Not numbered either, though it can fail: the program does not call it.
constexpr std::array kNotCalled{Op::GetPrivateProfileStringW};

// Each operation has its place in exactly one of the lists, so a new one cannot be left out.
constexpr size_t FirstOpMisplaced() {
  std::array<int, kOpCount> seen{};
  for (const FaultRow& r : kRows) ++seen[static_cast<size_t>(r.op)];
  for (Op op : kCannotFail) ++seen[static_cast<size_t>(op)];
  for (Op op : kNotCalled) ++seen[static_cast<size_t>(op)];
  for (size_t i = 0; i < kOpCount; ++i)
    if (seen[i] != 1) return i;
  return kOpCount;
}
static_assert(FirstOpMisplaced() == kOpCount,
              "an operation is missing from kRows, kCannotFail and kNotCalled, or is in two of them");

// kRows' index by operation; -1: not numbered.
constexpr std::array<int16_t, kOpCount> kRowOf = [] {
  std::array<int16_t, kOpCount> at{};
  at.fill(-1);
  for (size_t i = 0; i < kRows.size(); ++i) at[static_cast<size_t>(kRows[i].op)] = static_cast<int16_t>(i);
  return at;
}();

}  // namespace

const FaultRow* FindFaultRow(Op op) {
  const int16_t i = kRowOf[static_cast<size_t>(op)];
  return i < 0 ? nullptr : &kRows[static_cast<size_t>(i)];
}

const char* SimWindowSystem::FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::Error: return "error";
    case FaultKind::Vanished: return "window vanished";
    case FaultKind::Timeout: return "time-out";
    case FaultKind::MonitorGone: return "monitor gone";
    case FaultKind::PartialWrite: return "partial write";
  }
  return "?";
}

std::optional<uint32_t> SimWindowSystem::State::Enter(Op op, const FaultTarget& target) {
  ++calls[static_cast<size_t>(op)];
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

MonitorHandle SimWindowSystem::State::MonitorOfL(const FaultTarget& target) {
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

std::vector<SimDesktop::FaultKind> SimWindowSystem::State::KindsL(const FaultRow& row, const FaultTarget& target) {
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

std::optional<uint32_t> SimWindowSystem::State::NumberedFaultL(Op op, const FaultTarget& target) {
  const FaultRow* row = FindFaultRow(op);
  if (!row) return std::nullopt;
  ++callNo;
  std::vector<FaultKind> kinds = KindsL(*row, target);
  const bool due = callNo == failNo;
  numbered.push_back(NumberedCall{op, kinds});
  if (!due) return std::nullopt;
  InjectedFault inj;
  inj.number = callNo;
  inj.op = op;
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

void SimWindowSystem::State::MonitorGoneL(MonitorHandle m) {
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

void SimWindowSystem::State::CheckBudgetL(Op op) {
  const bool pump = op == Op::PumpOneMessage || op == Op::ProcessPendingMessages;
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
  if ((pump || op == Op::Sleep) && std::uncaught_exceptions() == 0) throw RunBudgetExceeded{budgetWhat};
}

std::vector<Op> SimDesktop::CannotFail() { return {kCannotFail.begin(), kCannotFail.end()}; }

}  // namespace tessary::sim

namespace tessary {

std::ostream& operator<<(std::ostream& o, Op op) { return o << OpName(op); }

}  // namespace tessary
