// loadbyname NAME...: loads each DLL by its bare name with the standard search order (the
// program's own folder first), as a program that does not restrict the search would, and prints
// "NAME PATH" for where each came from ("NAME error CODE" when it did not load). The control for
// the planted-DLL test: the plant must be found by this program, or that test proves nothing.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  int rc = 0;
  for (int i = 1; i < argc; ++i) {
    const HMODULE m = LoadLibraryW(argv[i]);
    wchar_t path[MAX_PATH] = {};
    if (!m || !GetModuleFileNameW(m, path, MAX_PATH)) {
      std::printf("%ls error %lu\n", argv[i], GetLastError());
      rc = 1;
      continue;
    }
    std::printf("%ls %ls\n", argv[i], path);
  }
  return rc;
}
