// The Windows entry point: the real desktop behind the window-system interface, real controls
// behind the widget layer, then the program's start.
#include "desktop/WindowSystem.h"
#include "platform/win32/Win32WindowSystem.h"
#include "shell/UnitStartup.h"
#include "ui/Ui.h"
#include "ui/win32/Win32Ui.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  static tessary::win32::Win32WindowSystem backend;
  tessary::SetWindowSystem(&backend);
  tessary::ui::SetBackend(&tessary::ui::win32::Backend());
  return tessary::RunApplication();
}
