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
  // True when h is the foreground window afterwards.
  static bool ForceForeground(WindowHandle h, bool UseSetFocus);
  static bool ForceIfNotForeground(WindowHandle h);
};

}  // namespace tessary
