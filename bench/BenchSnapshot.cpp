// Cost of the Monitor Watcher's snapshot on the simulated desktop, 200 program windows of 500
// processes, against a minimal loop that only walks the same windows and reads their rectangles.
// The ratio of the two is what matters: it shows what the snapshot adds per window.
#include <benchmark/benchmark.h>

#include "diagnostics/DebugLog.h"
#include "platform/sim/SimDesktop.h"
#include "shell/ProcessState.h"
#include "BareWatcher.h"

namespace tessary {
namespace {

using bench::BareWatcher;

constexpr int kWindows = 200;
constexpr int kProcesses = 500;


struct Desk {
  sim::SimDesktop sim;
  WindowHandle front = 0;

  Desk() {
    SetWindowSystem(&sim);
    ResetProcessWideState();
    sim.SetLocalTimeText(L"12:00:00");
    sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 4480, 1440}});
    std::vector<uint32_t> pids;
    for (int p = 0; p < kProcesses; ++p) pids.push_back(sim.AddProcess(L"program" + std::to_wstring(p) + L".exe"));
    for (int i = 0; i < kWindows; ++i) {
      sim::WindowSpec w;
      w.title = L"Document " + std::to_wstring(i);
      w.exStyle = wc::WS_EX_WINDOWEDGE;
      const int32_t x = (i % 2 == 0 ? 0 : 1920) + 5 * (i % 50);
      w.rect = {x + 20, 20 + 4 * (i % 60), x + 900, 700 + 4 * (i % 60)};
      w.pid = pids[static_cast<size_t>(i * 7 % kProcesses)];
      front = sim.AddWindow(w);
    }
    sim.SetForeground(front);
  }
  ~Desk() {
    ResetProcessWideState();
    SetWindowSystem(nullptr);
  }
};

void BM_Snapshot200Windows(benchmark::State& state) {
  Desk desk;
  BareWatcher watcher;
  for (auto _ : state) {
    watcher.GatherTopLevelPrograms();
    if (watcher.topLevelPrograms.Count() != kWindows) {
      state.SkipWithError("the snapshot missed windows");
      break;
    }
    state.PauseTiming();
    ResetLogState();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kWindows);
}
BENCHMARK(BM_Snapshot200Windows);

// Not a timing: the platform calls one snapshot makes per window, by operation.
void BM_SnapshotCallsPerWindow(benchmark::State& state) {
  Desk desk;
  BareWatcher watcher;
  for (auto _ : state) {
    desk.sim.ResetCallCounts();
    watcher.GatherTopLevelPrograms();
  }
  for (Op op : {Op::GetWindow, Op::GetParent, Op::GetAncestor, Op::GetShellWindow, Op::IsWindowVisible, Op::IsIconic,
                 Op::IsZoomed, Op::GetWindowLongW, Op::GetWindowTextLengthW, Op::DwmGetCloaked, Op::GetWindowRect,
                 Op::GetWindowThreadProcessId, Op::MonitorFromWindow, Op::GetMonitorInfo, Op::GetVirtualScreenRect,
                 Op::EnumMonitors, Op::GetProcessList})
    state.counters[std::string(OpName(op))] = static_cast<double>(desk.sim.CallCount(op)) / kWindows;
}
BENCHMARK(BM_SnapshotCallsPerWindow)->Iterations(1);

// The least any snapshot must do: walk the windows from the one in front and read each rectangle.
void BM_WalkAndReadRects200Windows(benchmark::State& state) {
  Desk desk;
  for (auto _ : state) {
    int n = 0;
    for (WindowHandle h = ws().GetForegroundWindow(); h != 0; h = ws().GetWindow(h, wc::GW_HWNDNEXT)) {
      TRect r;
      if (ws().IsWindowVisible(h) && ws().GetWindowRect(h, r)) ++n;
    }
    benchmark::DoNotOptimize(n);
    state.PauseTiming();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kWindows);
}
BENCHMARK(BM_WalkAndReadRects200Windows);

}  // namespace
}  // namespace tessary
