// The Monitor Watcher's snapshot on the real desktop (under Wine in the lab), against a minimal
// loop that walks the same windows from the one in front and reads their rectangles. Prints the
// median time of each over N runs and their ratio.
//
//   snapshot_bench.exe [N]      (default 200)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "diagnostics/DebugLog.h"
#include "platform/win32/Win32WindowSystem.h"
#include "../BareWatcher.h"
#include "shell/ProcessState.h"

#include <windows.h>

namespace {

using namespace tessary;
using bench::BareWatcher;

template <class F>
double MedianMicros(int n, F f) {
  std::vector<double> t;
  for (int i = 0; i < n; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    t.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  static win32::Win32WindowSystem backend;
  SetWindowSystem(&backend);
  ConnectLowerUnits();
  BareWatcher watcher;

  int walked = 0;
  const double bare = MedianMicros(n, [&] {
    int count = 0;
    for (HWND h = GetForegroundWindow(); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
      RECT r;
      if (IsWindowVisible(h) && GetWindowRect(h, &r)) ++count;
    }
    walked = count;
  });
  const double snap = MedianMicros(n, [&] {
    watcher.GatherTopLevelPrograms();
    ResetLogState();
  });
  std::printf("windows walked %d, in the snapshot %d\n", walked, watcher.topLevelPrograms.Count());
  std::printf("median us: snapshot %.1f, bare walk %.1f\n", snap, bare);
  std::printf("ratio snapshot/bare: %.2f\n", bare > 0 ? snap / bare : 0.0);

  // Where the time goes: each call the snapshot makes, over the same windows.
  std::vector<HWND> windows;
  for (HWND h = GetForegroundWindow(); h != nullptr; h = GetWindow(h, GW_HWNDNEXT))
    if (IsWindowVisible(h)) windows.push_back(h);
  const auto per = [&](const char* name, auto call) {
    const double us = MedianMicros(n / 4 + 1, [&] {
      for (HWND h : windows) call(h);
    });
    std::printf("  %-26s %8.1f us per window\n", name, windows.empty() ? 0.0 : us / windows.size());
  };
  per("GetWindow(GW_HWNDNEXT)", [](HWND h) { return GetWindow(h, GW_HWNDNEXT); });
  per("IsWindowVisible", [](HWND h) { return IsWindowVisible(h); });
  per("GetParent", [](HWND h) { return GetParent(h); });
  per("GetWindow(GW_OWNER)", [](HWND h) { return GetWindow(h, GW_OWNER); });
  per("GetWindowTextLengthW", [](HWND h) { return GetWindowTextLengthW(h); });
  per("DwmGetCloaked", [](HWND h) {
    uint32_t c = 0;
    return ws().DwmGetCloaked(reinterpret_cast<WindowHandle>(h), c);
  });
  per("GetWindowLongW", [](HWND h) { return GetWindowLongW(h, GWL_STYLE); });
  per("GetAncestor", [](HWND h) { return GetAncestor(h, GA_ROOT); });
  per("GetWindowThreadProcessId", [](HWND h) {
    DWORD pid = 0;
    return GetWindowThreadProcessId(h, &pid);
  });
  per("GetWindowRect", [](HWND h) {
    RECT r;
    return GetWindowRect(h, &r);
  });
  per("MonitorFromWindow", [](HWND h) { return MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST); });
  per("process list (once)", [](HWND) {
    std::vector<ProcessEntry> p;
    return ws().GetProcessList(p);
  });
  return 0;
}
