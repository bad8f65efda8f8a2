#include "moving/UnitGather.h"

#include <algorithm>

#include "core/UnitForeground.h"
#include "desktop/WinConst.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitMove.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

int32_t Mod(int32_t a, int32_t m) { return m <= 0 ? 0 : ((a % m) + m) % m; }

}  // namespace

bool TGather::Shown(const TRect& r, const std::vector<MonitorDesc>& monitors) {
  for (const MonitorDesc& m : monitors) {
    const int32_t w = std::min(r.Right, m.bounds.Right) - std::max(r.Left, m.bounds.Left);
    const int32_t h = std::min(r.Bottom, m.bounds.Bottom) - std::max(r.Top, m.bounds.Top);
    if (w >= std::min(MinShownPx, r.Width()) && h >= std::min(MinShownPx, r.Height()) && w > 0 && h > 0) return true;
  }
  return false;
}

TRect TGather::OntoPrimary(const TRect& r, const MonitorDesc& primary) {
  const TRect& b = primary.bounds;
  const TRect& work = primary.work == TRect{} ? primary.bounds : primary.work;
  const int32_t w = std::clamp(r.Width(), 1, work.Width()), h = std::clamp(r.Height(), 1, work.Height());
  const int32_t left = std::clamp(b.Left + Mod(r.Left - b.Left, b.Width()), work.Left, work.Right - w);
  const int32_t top = std::clamp(b.Top + Mod(r.Top - b.Top, b.Height()), work.Top, work.Bottom - h);
  return TRect{left, top, left + w, top + h};
}

TGather::TResult TGather::GatherWindows(const TStatus& status) {
  TResult result;
  IWindowSystem& sys = ws();
  const std::vector<MonitorDesc> monitors = sys.EnumMonitors();
  if (monitors.empty()) {
    AppendLog(L"GW: no monitor listed", true);
    return result;
  }
  MonitorDesc primary = monitors.front();
  for (const MonitorDesc& m : monitors)
    if (m.primary) primary = m;

  // The candidates first: placing windows changes the z-order the walk follows.
  std::vector<WindowHandle> candidates, seen;
  const uint32_t self = sys.GetCurrentProcessId();
  // The z-order may change under the walk; a window met twice ends it.
  for (WindowHandle h = sys.GetWindow(sys.GetDesktopWindow(), wc::GW_CHILD);
       h != 0 && std::find(seen.begin(), seen.end(), h) == seen.end(); h = sys.GetWindow(h, wc::GW_HWNDNEXT)) {
    seen.push_back(h);
    uint32_t pid = 0;
    sys.GetWindowThreadProcessId(h, &pid);
    if (pid == self || !sys.IsWindowVisible(h) || !TFocusManager::IsLikelyOnTaskbar(h) || TMove::IsShellOrDesktop(h))
      continue;
    candidates.push_back(h);
  }

  for (WindowHandle h : candidates) {
    TWindowPlacement wp;
    TRect now;
    if (!sys.GetWindowPlacement(h, wp) || !sys.GetWindowRect(h, now)) continue;  // gone meanwhile
    const bool minimized = sys.IsIconic(h), maximized = sys.IsZoomed(h);
    // A minimized window shows nowhere; where it comes back when restored is what counts.
    if (Shown(minimized ? wp.normal : now, monitors)) continue;
    const std::wstring exe = GetProcessExeName(h);
    if (!TFocusManager::IsResponding(h)) {
      AppendLog(L"GW: not responding, left where it is: " + exe);
      status(L"Skipping not responding program.");
      ++result.skipped;
      continue;
    }
    const TRect from = minimized ? wp.normal : now;
    const TRect to = OntoPrimary(maximized ? wp.normal : from, primary);
    bool ok = false;
    sys.SetLastError(0);
    if (minimized || maximized) {
      // A maximized one is set back to normal at its new place and maximized there: a placement
      // that keeps it maximized does not take it to another monitor everywhere.
      wp.normal = to;
      wp.showCmd = minimized ? wc::SW_SHOWMINNOACTIVE : wc::SW_SHOWNOACTIVATE;
      ok = sys.SetWindowPlacement(h, wp);
      if (ok && maximized) sys.ShowWindow(h, wc::SW_MAXIMIZE);
      ok = ok && (!maximized || sys.IsZoomed(h));
    } else {
      ok = TMove::ResizeMove(h, to);
    }
    const uint32_t error = ok ? 0 : (minimized || maximized ? sys.GetLastError() : TMove::getLastError());
    AppendLog(Format(L"GW: %s %s -> %s%s", exe.c_str(), RectText(from).c_str(), RectText(to).c_str(),
                     minimized ? L" (minimized)" : maximized ? L" (maximized)" : L"") +
              (ok ? std::wstring() : Format(L" failed (%u)", error)));
    if (ok) {
      ++result.gathered;
    } else if (error == wc::ERROR_ACCESS_DENIED) {
      status(L"Skipping VAC Admin program.");
      ++result.skipped;
    } else {
      ++result.failed;
    }
  }
  status(result.gathered == 0 && result.skipped == 0 && result.failed == 0
             ? std::wstring(L"Gather windows: every window is on a monitor")
             : Format(L"Gather windows: %d brought onto the primary monitor", result.gathered) +
                   (result.failed > 0 ? Format(L", %d could not be moved", result.failed) : std::wstring()));
  return result;
}

}  // namespace tessary
