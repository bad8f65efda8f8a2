// The Windows entry point.
#include "desktop/WindowSystem.h"
#include "platform/win32/Win32WindowSystem.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  static tessary::win32::Win32WindowSystem backend;
  tessary::SetWindowSystem(&backend);
  auto& ws = tessary::ws();

  const tessary::WindowHandle startup =
      ws.CreateWindowExW(0, L"Tessary.Startup", L"Tessary", 0, 0, 0, 0, 0, 0,
                         [](tessary::WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
  if (startup == 0) return 1;
  ws.ProcessPendingMessages();
  ws.DestroyWindow(startup);
  ws.ProcessPendingMessages();
  return 0;
}
