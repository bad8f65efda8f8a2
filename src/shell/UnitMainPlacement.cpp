// Where the main window opens: beside the taskbar at the mouse cursor, like a menu that opens
// from the taskbar, and which program it shows then (the one the user was in, not the taskbar
// the click brought to the front).
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/UnitForeground.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitFocusManager.h"
#include "shell/UnitFrmAbout.h"
#include "shell/UnitFrmMain.h"
#include "shell/UnitMisc.h"

namespace tessary {

namespace {

constexpr size_t kMaxClassName = 260;

std::wstring ClassOf(WindowHandle h) {
  std::wstring name = ws().GetClassNameW(h);
  if (name.size() > kMaxClassName) name.resize(kMaxClassName);
  return name;
}

// UnionRect: an empty rectangle adds nothing.
TRect Union(const TRect& a, const TRect& b) {
  const bool aEmpty = a.Width() <= 0 || a.Height() <= 0, bEmpty = b.Width() <= 0 || b.Height() <= 0;
  if (aEmpty) return bEmpty ? TRect{} : b;
  if (bEmpty) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

int32_t Middle(int32_t low, int32_t high) {
  return static_cast<int32_t>(low + (static_cast<int64_t>(high) - low) / 2);
}

bool MonitorNearWindow(WindowHandle h, MonitorDesc& out) {
  const MonitorHandle m = ws().MonitorFromWindow(h, wc::MONITOR_DEFAULTTONEAREST);
  return m != 0 && ws().GetMonitorInfo(m, out);
}

}  // namespace

void TFrmMain::FormShow() {
  if (watcher.powerDetectionEventRunning) {
    PlaceAtWorkAreaCorner();
    TFocusManager::ForceForeground(Handle(), false);
  } else {
    DetectMonitorLayout();
    const WindowHandle w = FindTaskbarUnderCursor();
    RestoreForegroundBelow(w);
    if (!PlaceNearTaskbar(w)) PlaceAtWorkAreaCorner();
  }
  KeepInsideDesktop();
  ShowForeground(false);

  if (!watcher.powerDetectionEventRunning) {
    if (fore.hwnd == 0 || (IsOverflowWindow(fore.hwnd) && SameTextAscii(fore.EXEName, L"Explorer.exe")))
      FindNextForeground();
  }

  if (!formShowOnce) {
    formShowOnce = true;
    const TFrmAbout* about = FrmAbout();
    const std::wstring text = L"Version: " + (about ? about->GetVersion() : std::wstring());
    ShowStatus(text, true);
    AppendLog(text);
  }
}

WindowHandle TFrmMain::FindTaskbarUnderCursor() {
  IWindowSystem& w = ws();
  TPoint cursor;
  if (!w.GetCursorPos(cursor)) return 0;
  const WindowHandle p = w.WindowFromPoint(cursor);
  if (p == 0) return 0;
  const WindowHandle q = TFocusManager::GetTopParent(p);
  if (IsTaskbarWindow(q) || IsScreenEdgeBar(q)) return q;
  TRect bar;
  if (IsOverflowWindow(TFocusManager::GetTopParent(q)) && GetTaskbarRect(bar))
    return w.WindowFromPoint(TPoint{Middle(bar.Left, bar.Right), Middle(bar.Top, bar.Bottom)});
  return 0;
}

bool TFrmMain::IsTaskbarWindow(WindowHandle h) {
  const std::wstring name = ClassOf(h);
  AppendLog(L"HTC: Taskbar? = " + name);
  return SameTextAscii(name, L"MSTaskListWClass") || SameTextAscii(name, L"Shell_TrayWnd");
}

bool TFrmMain::IsOverflowWindow(WindowHandle h) {
  const std::wstring name = ClassOf(h);
  AppendLog(L"HTC: Overflow? = " + name);
  return SameTextAscii(name, L"NotifyIconOverflowWindow");
}

bool TFrmMain::IsScreenEdgeBar(WindowHandle h) {
  // A taskbar on any monitor, whatever its class, fills exactly what the work area leaves out.
  TRect r;
  if (!ws().GetWindowRect(h, r)) return false;
  MonitorDesc monitor;
  if (!MonitorNearWindow(h, monitor)) return false;
  const TRect u = Union(monitor.work, r);
  AppendLog(L"calc desktoprect = " + RectToText(r));
  return u == monitor.bounds;
}

void TFrmMain::RestoreForegroundBelow(WindowHandle w) {
  if (w == 0) return;
  WindowHandle q = TFocusManager::GetNextToFocus(Handle(), true);
  while (q != 0 && TFocusManager::IsShellWindow(q)) {
    AppendLog(L"FS:hprvt - Skipping Shell");
    const WindowHandle r = TFocusManager::GetNextToFocus(q, true);
    if (r == q) break;
    q = r;
  }
  if (q != 0 && q != TFocusManager::FMGetForegroundWindow(10)) TFocusManager::ForceForeground(q, false);
}

bool TFrmMain::PlaceNearTaskbar(WindowHandle w) {
  IWindowSystem& s = ws();
  TRect r;
  if (w == 0 || !s.GetWindowRect(w, r)) return false;
  AppendLog(L"TaskBar rect = " + RectToText(r));
  TPoint cursor;
  if (!s.GetCursorPos(cursor)) return false;
  const MonitorHandle m = s.MonitorFromPoint(cursor, wc::MONITOR_DEFAULTTONEAREST);
  MonitorDesc monitor;
  if (m == 0 || !s.GetMonitorInfo(m, monitor)) return false;

  int32_t left = 0, top = 0;
  if (r.Height() > r.Width()) {
    left = r.Left == monitor.bounds.Left ? r.Left + r.Width() : r.Left - Width();
    top = cursor.y - Height() / 2;
  } else {
    top = r.Top == monitor.bounds.Top ? r.Bottom : r.Top - Height();
    left = cursor.x - Width() / 2;
  }
  SetPosition(left, top);
  return true;
}

void TFrmMain::PlaceAtWorkAreaCorner() {
  MonitorDesc monitor;
  if (!MonitorNearWindow(Handle(), monitor)) return;
  SetPosition(monitor.work.Left, monitor.work.Bottom - Height());
}

void TFrmMain::KeepInsideDesktop() {
  const TRect d = ws().GetVirtualScreenRect();
  int32_t left = std::max(Left(), d.Left);
  int32_t top = std::max(Top(), d.Top);
  if (static_cast<int64_t>(left) + Width() > d.Right) left = d.Right - Width();
  if (static_cast<int64_t>(top) + Height() > d.Bottom) top = d.Bottom - Height();
  if (left != Left() || top != Top()) SetPosition(left, top);
}

void TFrmMain::FindNextForeground() {
  if (fore.hwnd == 0) fore.hwnd = TFocusManager::FMGetForegroundWindow(10);
  fore.hwnd = TFocusManager::GetNextToFocus(fore.hwnd, true);
  if (fore.hwnd != 0) {
    TForeGround::GatherProgramInfo(fore.hwnd, fore);
    TFocusManager::ForceForeground(fore.hwnd, false);
  } else {
    // Nothing below to show: no stale name may go with the empty handle.
    fore = TProgramInfo{};
  }
  AppendLog(L"FNF: exename=" + fore.EXEName);
  ShowForeground(true);
}

bool TFrmMain::MainMonitorChanged() {
  const int32_t n = MonitorNumber(ws().MonitorFromWindow(Handle(), wc::MONITOR_DEFAULTTONEAREST));
  const bool changed = flastMonitorID != -1 && flastMonitorID != n;
  flastMonitorID = n;
  return changed;
}

bool TFrmMain::GetTaskbarRect(TRect& r) {
  TaskbarPos pos;
  if (!ws().GetTaskbarPos(pos)) return false;
  r = pos.rect;
  return true;
}

}  // namespace tessary
