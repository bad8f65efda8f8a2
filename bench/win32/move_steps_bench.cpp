// What a move does before the window moves, step by step, on the real desktop (under Wine in the
// lab): the capture of the program in front, the shell test, the question whether it responds,
// and the whole move; against the least a program asks before it places a window. Needs a window
// of another process in front. Prints the median of each over N rounds (each round moves the
// window right and back).
//
//   move_steps_bench.exe [N]      (default 50)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/UnitForeground.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitMove.h"
#include "platform/win32/Win32WindowSystem.h"
#include "shell/ProcessState.h"

#include <windows.h>

namespace {

using namespace tessary;

template <class F>
double MedianMicros(int n, F f) {
  std::vector<double> t;
  for (int i = 0; i < n; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f(i);
    t.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  static win32::Win32WindowSystem backend;
  SetWindowSystem(&backend);
  ConnectLowerUnits();
  HWND fg = GetForegroundWindow();
  if (!fg) {
    std::printf("no window in front\n");
    return 1;
  }
  const auto h = reinterpret_cast<WindowHandle>(fg);
  const double bare = MedianMicros(n, [&](int) {
    RECT r;
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetWindowRect(GetForegroundWindow(), &r);
    GetMonitorInfoW(MonitorFromWindow(fg, MONITOR_DEFAULTTONEAREST), &mi);
  });
  const double capture = MedianMicros(n, [&](int) {
    TReadCache once;
    TProgramInfo info;
    TForeGround::GetInfo(info);
  });
  const double name = MedianMicros(n, [&](int) { GetProcessExeName(h); });
  const double shell = MedianMicros(n, [&](int) { TMove::IsShellOrDesktop(h); });
  const double responds = MedianMicros(n, [&](int) { TFocusManager::IsResponding(h); });
  const double log = MedianMicros(n, [&](int) { AppendLog(L"MP: a line as a move writes it"); });
  const double move = MedianMicros(n, [&](int i) {
    if (i % 2 == 0)
      TMove::MoveProgramRight(0, false);
    else
      TMove::MoveProgramLeft(0, false);
  });
  std::printf("median us: bare reads %.1f | capture %.1f, name %.1f, shell test %.1f, responds %.1f, log line %.1f | "
              "whole move %.1f\n",
              bare, capture, name, shell, responds, log, move);
  return 0;
}
