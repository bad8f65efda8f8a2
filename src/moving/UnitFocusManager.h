// Questions about top-level windows and their z-order, and bringing a window to the front even
// when the platform's foreground lock would refuse it. Also the short wait that keeps the user
// interface alive (core/UnitSleep.h).
#pragma once
#include <cstdint>

#include "core/UnitSleep.h"
#include "desktop/WindowSystem.h"

namespace tessary {

class TFocusManager {
 public:
  TFocusManager() = delete;

  // The foreground window; while there is none, retries after a 20 ms wait. 0 when it stays none.
  static WindowHandle FMGetForegroundWindow(int32_t retryOnFail);
  // The window below h in the z-order, or 0 at the bottom.
  static WindowHandle FMGetNextWindow(WindowHandle h, int32_t retryOnFail);
  // Whether h looks like a program with a taskbar button.
  static bool IsLikelyOnTaskbar(WindowHandle h);
  static bool IsShellWindow(WindowHandle h);
  // The next window below currentH that is likely on the taskbar, or 0.
  static WindowHandle GetNextToFocus(WindowHandle currentH, bool skipMinimized);
  // The last window reached by following parents (and owners) from h; 0 for 0.
  static WindowHandle GetTopParent(WindowHandle h);
  // Whether h's thread takes its messages: a window of the calling thread always does; another
  // thread's gets RespondTimeoutMs to answer WM_NULL (none once the system counts it as hung).
  // False only for a window that exists and did not answer; the last error is then ERROR_TIMEOUT.
  // Ask before any call that waits for h's thread (placing, raising, redrawing it): such a call
  // would hold this thread as long as the program does not respond. While it waits, messages sent
  // to this thread are handled: work that may nest (a second start's command line) can run here.
  static bool IsResponding(WindowHandle h);
  static constexpr uint32_t RespondTimeoutMs = 1000;
  // True when h is the foreground window afterwards. A window that does not respond is not touched
  // (false, logged); a foreground window that does not respond is not joined (TThreadAttach).
  static bool ForceForeground(WindowHandle h, bool UseSetFocus);
  static bool ForceIfNotForeground(WindowHandle h);
  // The last resort of a forced switch: BringWindowToTop and SetForegroundWindow with the
  // system's foreground lock lifted for the moment, then put back as it was.
  static void RaiseWithLockLifted(WindowHandle h);
};

}  // namespace tessary
