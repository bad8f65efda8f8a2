// The Windows entry point: the real desktop behind the window-system interface, then the
// program's start.
#include "desktop/WindowSystem.h"
#include "platform/win32/Win32WindowSystem.h"
#include "shell/UnitStartup.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  static tessary::win32::Win32WindowSystem backend;
  tessary::SetWindowSystem(&backend);
  return tessary::RunApplication();
}
