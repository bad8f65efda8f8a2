// A DLL an attacker could leave beside a downloaded Tessary.exe, copied under the name of a DLL it
// loads (dwmapi.dll, version.dll). Loaded into a process, it leaves "<its own path>.loaded" with the
// process's executable in it and does nothing else, so a test sees whether the search reached it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 16] = {};
  const DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  lstrcatW(path, L".loaded");
  const HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return TRUE;
  wchar_t exe[MAX_PATH] = {};
  const DWORD len = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  DWORD written = 0;
  WriteFile(f, exe, len * sizeof(wchar_t), &written, nullptr);
  CloseHandle(f);
  return TRUE;
}
