// The Windows entry point: the real desktop behind the window-system interface, real controls
// behind the widget layer, then the program's start.
#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "platform/win32/Win32WindowSystem.h"
#include "shell/UnitStartup.h"
#include "ui/Ui.h"
#include "ui/win32/Win32Ui.h"

#include <windows.h>

// The C runtime's own entry, which runs the static initialisers and then wWinMain.
extern "C" int WinMainCRTStartup();

// The process's entry point (linked with -e): a copy started from the Downloads folder must never
// load a DLL planted beside it. Only KnownDLLs are imported at load time; every later load (the
// delay-loaded dwmapi.dll and version.dll, and what system DLLs load themselves) then searches
// System32 alone. Nothing else, not even the runtime's initialisers, has run yet.
extern "C" int TessaryEntry() {
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  return WinMainCRTStartup();
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  static tessary::win32::Win32WindowSystem backend;
  tessary::SetWindowSystem(&backend);
  tessary::ui::SetBackend(&tessary::ui::win32::Backend());
  // Developer switch for the lab: every start, a later one too, leaves its log in the data folder
  // (earlier logs are moved aside), so that what several starts at once did can be read afterwards.
  wchar_t keep[2] = {};
  const bool keepLog = GetEnvironmentVariableW(L"TESSARY_KEEP_LOG", keep, 2) == 1 && keep[0] == L'1';
  if (keepLog) tessary::SetSaveOnExit(true);
  const int rc = tessary::RunApplication();
  if (keepLog) tessary::SaveLog(L"Debug.txt");
  return rc;
}
