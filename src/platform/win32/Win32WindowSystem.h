// The window-system operations on the real Windows API, one thin call each.
//
// Failures leave the thread's last error exactly as the failing API set it; where we fail on our
// own (bad arguments, a missing resource) we set a fitting code ourselves.
//
// Windows created through CreateWindowExW: every message goes to the window's proc. For the
// messages the platform itself must answer (creation, non-client area, painting, text, cursor,
// system commands, position changes, activation, end of session) the proc only observes and the
// answer is DefWindowProcW's; for all others the proc's result is the answer. WM_CLOSE is the
// proc's alone: nothing is destroyed unless the program calls DestroyWindow.
//
// This header must not pull in <windows.h>: the portable constants share the platform's names.
#pragma once
#include <memory>

#include "desktop/WindowSystem.h"

namespace tessary::win32 {

class Win32WindowSystem final : public IWindowSystem {
 public:
  Win32WindowSystem();
  ~Win32WindowSystem() override;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  TESSARY_OPS(TESSARY_OP_OVERRIDE)

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace tessary::win32
