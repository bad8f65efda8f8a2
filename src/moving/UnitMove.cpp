#include "moving/UnitMove.h"

#include <atomic>
#include <cwchar>
#include <vector>

#include "core/UnitForeground.h"
#include "core/UnitMonitors.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitFocusManager.h"
#include "util/UnitText.h"

namespace tessary {

namespace {
std::atomic<uint32_t> gLastError{0};
// User-interface thread only, as every placement.
WindowHandle gPlacedWindow = 0;
TRect gPlacedRect{};
uint32_t gPlacedTick = 0;

// The places the latest placements took windows from, newest first: a window that reads one of
// them again right afterwards is showing a late answer of its window manager, not a place it is at.
struct Departure {
  WindowHandle h = 0;
  TRect from;
  uint32_t tick = 0;
};
constexpr size_t kDepartures = 4;
Departure gDepartures[kDepartures];

void NoteDeparture(WindowHandle h, const TRect& from, uint32_t tick) {
  if (from == TRect{}) return;  // unknown (a restore), or a minimized window's
  for (size_t i = kDepartures - 1; i > 0; --i) gDepartures[i] = gDepartures[i - 1];
  gDepartures[0] = Departure{h, from, tick};
}

// How long ago the window h was taken from the place it reads now, or false when it never was
// (within EchoWaitMs) or reads the place it was sent to last.
bool ReadsADeparture(const TProgramInfo& info, uint32_t now, uint32_t& age) {
  if (info.hwnd == 0 || info.bounds == TRect{}) return false;
  if (info.hwnd == gPlacedWindow && info.bounds == gPlacedRect) return false;
  for (const Departure& d : gDepartures) {
    if (d.h != info.hwnd || d.from != info.bounds) continue;
    age = now - d.tick;
    if (age < static_cast<uint32_t>(TMove::EchoWaitMs)) return true;
  }
  return false;
}

constexpr uint32_t kPlaceFlags = wc::SWP_NOZORDER | wc::SWP_NOREDRAW | wc::SWP_NOACTIVATE | wc::SWP_NOSENDCHANGING;
constexpr uint32_t kResizeFlags = kPlaceFlags | wc::SWP_NOMOVE;
constexpr uint32_t kFrameFlags = wc::SWP_NOSIZE | wc::SWP_NOMOVE | wc::SWP_FRAMECHANGED;
constexpr uint32_t kRedrawFlags = wc::RDW_INVALIDATE | wc::RDW_ALLCHILDREN | wc::RDW_UPDATENOW;

void RecordError(const wchar_t* message) {
  gLastError = ws().GetLastError();
  AppendLog(message, true);
}

// Every placement step waits for the window's thread; one that does not take its messages would
// hold ours until it does. Such a window is left where it is, with ERROR_TIMEOUT as the last error.
bool Responds(const TProgramInfo& info, const wchar_t* prefix, const wchar_t* what) {
  if (TFocusManager::IsResponding(info.hwnd)) return true;
  gLastError = wc::ERROR_TIMEOUT;
  ws().SetLastError(wc::ERROR_TIMEOUT);
  AppendLog(std::wstring(prefix) + L"not responding, " + what + L": " + info.EXEName, true);
  return false;
}

bool Neighbour(int32_t id, TMoveDirection direction, TMonitorInfo& next) {
  switch (direction) {
    case TMoveDirection::Up: return TMonitors::getNextUp(id, next);
    case TMoveDirection::Down: return TMonitors::getNextDown(id, next);
    case TMoveDirection::Left: return TMonitors::getNextLeft(id, next);
    case TMoveDirection::Right: return TMonitors::getNextRight(id, next);
    case TMoveDirection::Next: return TMonitors::getNext(id, next);
  }
  return false;
}
}  // namespace

bool TMove::MoveProgramLeft(WindowHandle h, bool makeForeground) {
  return MoveProgram(h, makeForeground, TMoveDirection::Left);
}
bool TMove::MoveProgramRight(WindowHandle h, bool makeForeground) {
  return MoveProgram(h, makeForeground, TMoveDirection::Right);
}
bool TMove::MoveProgramUp(WindowHandle h, bool makeForeground) {
  return MoveProgram(h, makeForeground, TMoveDirection::Up);
}
bool TMove::MoveProgramDown(WindowHandle h, bool makeForeground) {
  return MoveProgram(h, makeForeground, TMoveDirection::Down);
}
bool TMove::MoveProgramNext(WindowHandle h, bool makeForeground) {
  return MoveProgram(h, makeForeground, TMoveDirection::Next);
}

uint32_t TMove::getLastError() { return gLastError; }

void TMove::Reset() {
  gLastError = 0;
  gPlacedWindow = 0;
  gPlacedRect = TRect{};
  for (Departure& d : gDepartures) d = Departure{};
}

bool TMove::LastPlacement(WindowHandle& h, TRect& r, uint32_t& tick) {
  h = gPlacedWindow;
  r = gPlacedRect;
  tick = gPlacedTick;
  return h != 0;
}

void TMove::GetTargetInfo(WindowHandle h, bool makeForeground, TProgramInfo& info) {
  if (makeForeground) {
    if (!TFocusManager::ForceIfNotForeground(h)) AppendLog(L"MP: makeforground failed", true);
    SleepSlick(10);
  }
  // One capture reads the monitors once and finds the window's monitor among them, instead of a
  // round trip per question: this is what a hotkey's move waits for before anything moves.
  TReadCache once;
  if (h == 0 || makeForeground)
    TForeGround::GetInfo(info);
  else
    TForeGround::GatherProgramInfo(h, info);
}

bool TMove::MoveProgram(WindowHandle h, bool makeForeground, TMoveDirection direction) {
  if (h == 0) makeForeground = false;
  TProgramInfo info;
  GetTargetInfo(h, makeForeground, info);
  // Wine under an X window manager (Windows never does this) may carry out a window manager's
  // late answer to an earlier placement after the window already read its new place: for a
  // moment the window is back where a move took it from. A move computed from that read would
  // send it back where it was, a move lost. The read the move is computed from is the one checked:
  // while it is such a place, wait and read again (at most EchoWaitMs after that placement).
  // The wait pumps messages: requests made meanwhile queue behind this one (TMoveQueue), nothing
  // else of a move may nest here.
  uint32_t age = 0;
  if (ReadsADeparture(info, ws().GetTickCount(), age)) {
    const TRect seen = info.bounds;
    const uint32_t since = ws().GetTickCount();
    uint32_t later = 0;
    do {
      SleepSlick(EchoStepMs);
      GetTargetInfo(h, makeForeground, info);
    } while (ReadsADeparture(info, ws().GetTickCount(), later));
    // Past the wait the read stands: the window may really be back there.
    AppendLog(Format(L"MP: read %s, a place it left %u ms before; read again for %u ms", RectText(seen).c_str(), age,
                     ws().GetTickCount() - since));
  }
  if (IsShellOrDesktop(info.hwnd, info.EXEName)) {
    AppendLog(L"MP: skipping shell");
    return false;
  }
  if (info.isMinimized || info.isMaximized) {
    AppendLog(ProgramStateText(info));
    if (info.isMinimized) return false;
  }
  LogCapture(info);
  if (!Responds(info, L"MP: ", L"not moved")) return false;
  const bool moved = MoveToNextMonitor(info, h, makeForeground, direction);
  if (!moved) AppendLog(L"MP: resizing failed", true);
  ws().Sleep(10);
  return moved;
}

bool TMove::MoveToNextMonitor(const TProgramInfo& info, WindowHandle requested, bool makeForeground,
                              TMoveDirection direction) {
  // The capture took whatever was in front; when that is not the window asked for, moving it
  // would move somebody else's window.
  if (makeForeground && TFocusManager::FMGetForegroundWindow(10) != requested) {
    AppendLog(L"MP: makeForeground, but not focused  ", true);
    return false;
  }
  // A monitor may have gone (or come) since the lists were made, without a change of layout: a
  // window sent to a monitor that is not there any more would be lost from view.
  if (TMonitors::RecordIfChanged() < 2) {
    AppendLog(L"MP: No Next Monitor");
    return false;
  }
  TMonitorInfo next;
  if (!Neighbour(info.monitorID, direction, next)) {
    AppendLog(L"MP: No Next Monitor");
    return false;
  }
  const TRect r = PercentsToRect(next.bounds, info.leftpercent, info.toppercent, info.wdpercent, info.htpercent);
  AppendLog(Format(L"MP: monitor [%d] perc TL [%f %f] perc WDHT [%f x %f]", next.id, info.toppercent,
                   info.leftpercent, info.wdpercent, info.htpercent));
  const bool placed = PlaceWindow(info.hwnd, r, info.bounds);  // the caller asked whether it responds
  if (!placed) AppendLog(L"MP: ResizeMove Failed");
  AppendLog(Format(L"MP: monitor [%d] new TL [%d, %d]  new WDHT [%d x %d]", next.id, r.Top, r.Left, r.Width(),
                   r.Height()));
  return placed;
}

// What a move read, beside what the move before it did: a move that reads a window where it no
// longer is shows here.
void TMove::LogCapture(const TProgramInfo& info) {
  std::wstring line = Format(L"MP: captured %llx %s %s monitor %d; ", static_cast<unsigned long long>(info.hwnd),
                             info.EXEName.c_str(), RectText(info.bounds).c_str(), info.monitorID);
  if (gPlacedWindow == 0) {
    line += L"nothing placed before";
  } else {
    line += Format(L"placed last %llx %s %u ms ago", static_cast<unsigned long long>(gPlacedWindow),
                   RectText(gPlacedRect).c_str(), ws().GetTickCount() - gPlacedTick);
  }
  AppendLog(line);
}

bool TMove::IsShellOrDesktop(WindowHandle h) { return IsShellOrDesktop(h, L""); }

bool TMove::IsShellOrDesktop(WindowHandle h, const std::wstring& exeName) {
  IWindowSystem& w = ws();
  const WindowHandle top = TFocusManager::GetTopParent(h);
  if (top == w.GetDesktopWindow()) return true;
  const WindowHandle shell = w.GetShellWindow();
  if (top == shell) return true;
  if (top == w.GetParent(shell)) return true;

  const std::wstring name = top == h && !exeName.empty() ? exeName : GetProcessExeName(top);
  if (!SameTextAscii(name, L"explorer.exe") || w.IsZoomed(top)) return false;
  // An explorer window that covers the whole work area is the desktop's own; a smaller one is a
  // folder window, unless it is exactly the taskbar. Unreadable geometry counts as the shell.
  TRect r;
  w.GetWindowRect(top, r);
  MonitorDesc monitor;
  if (!w.GetMonitorInfo(w.MonitorFromWindow(top, wc::MONITOR_DEFAULTTONEAREST), monitor)) return true;
  const TRect& work = monitor.work;
  if (r.Width() >= work.Width() && r.Height() >= work.Height()) return true;
  TaskbarPos taskbar;
  const TRect taskbarRect = w.GetTaskbarPos(taskbar) ? taskbar.rect : work;
  return r == taskbarRect;
}

bool TMove::ResizeMove(WindowHandle h, const TRect& r) {
  if (!TFocusManager::IsResponding(h)) {
    RecordError(L"MP: not responding ");
    return false;
  }
  return PlaceWindow(h, r, TRect{});
}

bool TMove::PlaceWindow(WindowHandle h, const TRect& r, const TRect& from) {
  IWindowSystem& w = ws();
  // The later steps run even when the move itself failed, but the window is then not where it
  // was asked to be, so that failure decides the result too.
  const bool moved = w.SetWindowPos(h, 0, r.Left, r.Top, r.Width(), r.Height(), kPlaceFlags);
  if (!moved) RecordError(L"MP: SetWindowPos1 failed ");
  gPlacedWindow = moved ? h : 0;
  gPlacedRect = r;
  // Sizing again after the move: a window crossing to a monitor of another DPI rescales itself
  // on the way and would otherwise keep the wrong size.
  if (!w.SetWindowPos(h, 0, r.Left, r.Top, r.Width(), r.Height(), kResizeFlags)) {
    RecordError(L"MP: SetWindowPos2 failed ");
    return false;
  }
  if (!w.RedrawWindow(h, kRedrawFlags)) RecordError(L"MP: RedrawWindow failed");
  const bool framed = w.SetWindowPos(h, wc::HWND_TOP, 0, 0, 0, 0, kFrameFlags);
  if (!framed) RecordError(L"MP: SetWindowPos3 failed ");
  // The placement ends with its last call: a slow window can take long over the steps, and the
  // next move's pause counts from here.
  gPlacedTick = w.GetTickCount();
  if (moved) NoteDeparture(h, from, gPlacedTick);
  return moved && framed;
}

bool TMove::RestoreProgram(const TProgramInfo& info) {
  // Monitors flap during a restore: the list gathered before it may name a monitor that has gone
  // (a window sent there would be lost from view), and one that came back may be enumerated at
  // another place. The recorded monitor is the live one at its recorded bounds; only when none is
  // there does the recorded number decide, and then only a monitor that is still present.
  const std::vector<MonitorDesc> live = ws().EnumMonitors();
  const auto present = [&live](const TRect& bounds) {
    for (const MonitorDesc& m : live)
      if (m.bounds == bounds) return true;
    return false;
  };
  TMonitorInfo monitor;
  monitor.id = info.monitorID;
  if (info.monitorBounds != TRect{} && present(info.monitorBounds)) {
    monitor.bounds = info.monitorBounds;
  } else if (!TMonitors::getList().TryAndGet(monitor) || !present(monitor.bounds)) {
    AppendLog(L"RP: original monitor not found");
    return false;
  }
  if (!Responds(info, L"RP: ", L"not restored")) return false;
  // On an unchanged monitor the recorded rectangle is the answer itself, whatever the fractions
  // (also the frame a maximized window hangs over its monitor's edges).
  const bool sameMonitor = info.monitorBounds == monitor.bounds && info.bounds != TRect{};
  const TRect r = sameMonitor ? info.bounds
                              : PercentsToRect(monitor.bounds, info.leftpercent, info.toppercent, info.wdpercent,
                                               info.htpercent);
  return PlaceWindow(info.hwnd, r, TRect{});
}

void TMove::ClearLastError() { gLastError = 0; }

}  // namespace tessary
