// Cost of a move on the simulated desktop: what the logic and the window-system calls of one
// hotkey press take, without the platform's own work.
#include <benchmark/benchmark.h>

#include "shell/ProcessState.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitMove.h"
#include "platform/sim/SimDesktop.h"

namespace tessary {
namespace {

// Two monitors side by side, a program window on the first, and a few others around it.
struct Desk {
  sim::SimDesktop sim;
  WindowHandle window = 0;

  Desk() {
    SetWindowSystem(&sim);
    ResetProcessWideState();
    sim.SetLocalTimeText(L"12:00:00");
    sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 4480, 1440}});
    for (int i = 0; i < 20; ++i) {
      sim::WindowSpec other;
      other.title = L"Other";
      other.rect = {10 * i, 10 * i, 800 + 10 * i, 600 + 10 * i};
      sim.AddWindow(other);
    }
    sim::WindowSpec desc;
    desc.title = L"Document";
    desc.rect = {480, 270, 1440, 810};
    window = sim.AddWindow(desc);
    sim.SetForeground(window);
  }
  ~Desk() {
    ResetProcessWideState();
    SetWindowSystem(nullptr);
  }
};

// The log keeps up to 20000 lines; resetting it now and then keeps its trimming out of the figure.
constexpr int64_t kLogResetEvery = 1000;

void RightThenLeft(benchmark::State& state, WindowHandle (*target)(const Desk&)) {
  Desk desk;
  const WindowHandle h = target(desk);
  int64_t n = 0;
  for (auto _ : state) {
    if (!TMove::MoveProgramRight(h, false) || !TMove::MoveProgramLeft(h, false)) {
      state.SkipWithError("move failed");
      break;
    }
    if (++n % kLogResetEvery == 0) {
      state.PauseTiming();
      ResetLogState();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations() * 2);  // moves
}

void BM_MoveProgramRightAndBack(benchmark::State& state) {
  RightThenLeft(state, [](const Desk& d) { return d.window; });
}
BENCHMARK(BM_MoveProgramRightAndBack);

// h = 0: the foreground window is looked up and captured first, as for a hotkey.
void BM_MoveForegroundRightAndBack(benchmark::State& state) {
  RightThenLeft(state, [](const Desk&) { return WindowHandle{0}; });
}
BENCHMARK(BM_MoveForegroundRightAndBack);

}  // namespace
}  // namespace tessary
