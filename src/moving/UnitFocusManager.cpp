#include "moving/UnitFocusManager.h"

#include "core/AppState.h"
#include "core/UnitForeground.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitThreadAttach.h"

namespace tessary {

namespace {
constexpr int32_t kMaxRejections = 2000;
// Parent chains are short; the cap only guards against a chain that loops.
constexpr int kMaxParentDepth = 1024;

// After a platform call: an error it left behind is logged and cleared, the test goes on.
void LogAndClearError() {
  if (ws().GetLastError() != 0) {
    AppendLog(L"Err ", true);
    ws().SetLastError(0);
  }
}
}  // namespace

WindowHandle TFocusManager::FMGetForegroundWindow(int32_t retryOnFail) {
  return ForegroundWindowWithRetry(retryOnFail);
}

WindowHandle TFocusManager::FMGetNextWindow(WindowHandle h, int32_t /*retryOnFail*/) {
  // The bottom of the z-order is a real answer, not a failure to retry.
  return ws().GetWindow(h, wc::GW_HWNDNEXT);
}

bool TFocusManager::IsShellWindow(WindowHandle h) { return h == ShellWindow(); }

bool TFocusManager::IsLikelyOnTaskbar(WindowHandle h) {
  IWindowSystem& w = ws();
  w.SetLastError(0);
  if (!w.IsWindowVisible(h)) return false;
  const WindowHandle parent = w.GetParent(h);
  LogAndClearError();
  if (parent != 0) return false;
  const WindowHandle owner = w.GetWindow(h, wc::GW_OWNER);
  LogAndClearError();
  if (owner != 0) return false;
  const bool shell = IsShellWindow(h);
  LogAndClearError();
  if (shell) return false;
  const int32_t titleLength = w.GetWindowTextLengthW(h);
  LogAndClearError();
  if (titleLength <= 0) return false;
  uint32_t cloaked = 0;
  if (w.DwmGetCloaked(h, cloaked) != 0) {
    AppendLog(L"Clock Failed", true);
    cloaked = 0;
  }
  if (cloaked != 0) return false;
  const auto exStyle = static_cast<uint32_t>(WindowLong(h, wc::GWL_EXSTYLE));
  LogAndClearError();
  if (exStyle == 0) return false;
  if (exStyle & wc::WS_EX_TOOLWINDOW) return false;
  const WindowHandle root = w.GetAncestor(h, wc::GA_ROOT);
  LogAndClearError();
  if (root != h) return false;
  const auto style = static_cast<uint32_t>(WindowLong(h, wc::GWL_STYLE));
  LogAndClearError();
  return (style & (wc::WS_CHILD | wc::WS_DISABLED)) == 0;
}

WindowHandle TFocusManager::GetNextToFocus(WindowHandle currentH, bool skipMinimized) {
  WindowHandle w = FMGetNextWindow(currentH, kMaxRejections);
  int32_t rejections = 0;
  for (;;) {
    if (w == 0) return 0;
    const bool accepted = !(skipMinimized && ws().IsIconic(w)) && IsLikelyOnTaskbar(w);
    if (accepted) return w;
    if (rejections >= kMaxRejections) return w;  // give up on the search, not on an answer
    ++rejections;
    w = FMGetNextWindow(w, kMaxRejections);
  }
}

WindowHandle TFocusManager::GetTopParent(WindowHandle h) {
  WindowHandle result = 0;
  for (int depth = 0; h != 0 && depth < kMaxParentDepth; ++depth) {
    result = h;
    h = ws().GetParent(h);
  }
  return result;
}

bool TFocusManager::IsResponding(WindowHandle h) {
  IWindowSystem& w = ws();
  if (h == 0 || w.GetWindowThreadProcessId(h, nullptr) == w.GetCurrentThreadId()) return true;
  w.SetLastError(0);
  uintptr_t answer = 0;
  if (w.SendMessageTimeoutW(h, wc::WM_NULL, 0, 0, wc::SMTO_ABORTIFHUNG, RespondTimeoutMs, answer)) return true;
  // A vanished window or one we may not talk to is no reason to wait: the calls that follow fail
  // on their own. Wine reports some time-outs without an error code.
  const uint32_t err = w.GetLastError();
  if (err != wc::ERROR_TIMEOUT && err != 0) return true;
  if (!w.IsWindow(h)) return true;
  w.SetLastError(wc::ERROR_TIMEOUT);
  return false;
}

bool TFocusManager::ForceForeground(WindowHandle h, bool UseSetFocus) {
  IWindowSystem& w = ws();
  WindowHandle fg = FMGetForegroundWindow(10);
  if (fg == h) return true;
  if (fg == 0) fg = w.GetDesktopWindow();
  // Restoring or raising a program that does not respond waits until it does.
  if (!IsResponding(h)) {
    const std::wstring name = GetProcessExeName(h);
    w.SetLastError(wc::ERROR_TIMEOUT);
    AppendLog(L"FF: not responding, left alone: " + name, true);
    return false;
  }
  {
    TThreadAttach attach(fg);
    if (w.IsIconic(h)) w.ShowWindow(h, wc::SW_RESTORE);
    w.BringWindowToTop(h);
    w.SetForegroundWindow(h);
    if (UseSetFocus) w.SetFocus(h);
  }
  if (FMGetForegroundWindow(10) == h) return true;

  RaiseWithLockLifted(h);
  return FMGetForegroundWindow(10) == h;
}

void TFocusManager::RaiseWithLockLifted(WindowHandle h) {
  IWindowSystem& w = ws();
  uint32_t oldTimeout = 0;
  w.SystemParametersGet(wc::SPI_GETFOREGROUNDLOCKTIMEOUT, oldTimeout);
  w.SystemParametersSet(wc::SPI_SETFOREGROUNDLOCKTIMEOUT, 0, 0, wc::SPIF_SENDCHANGE);
  w.BringWindowToTop(h);
  w.SetForegroundWindow(h);
  w.SystemParametersSet(wc::SPI_SETFOREGROUNDLOCKTIMEOUT, 0, oldTimeout, wc::SPIF_SENDCHANGE);
}

bool TFocusManager::ForceIfNotForeground(WindowHandle h) {
  if (FMGetForegroundWindow(10) == h) return true;
  return ForceForeground(h, false);
}

}  // namespace tessary
