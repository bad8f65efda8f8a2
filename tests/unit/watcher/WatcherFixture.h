// The Monitor Watcher alone on the simulated desktop, with a small host standing in for the main
// window: it records the status line, whether it is shown and whether the timers are held, and
// answers the settings. A monitor's sleep and wake are driven as the platform drives them.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../moving/MovingFixture.h"
#include "core/UnitMonitors.h"
#include "ui/Ui.h"
#include "ui/headless/Headless.h"
#include "watcher/UnitMonitorWatcher.h"

namespace tessary::test {

class TestWatcherHost final : public IWatcherHost {
 public:
  virtual ~TestWatcherHost() = default;
  void ShowStatus(const std::wstring& text, bool keep) override {
    status = text;
    if (keep) kept.push_back(text);
  }
  void DetectMonitorLayout() override {}
  void ShowForeground(bool) override { ++foregroundShown; }
  bool WatcherWindowShowing() override { return visible; }
  void WatcherShowWindow() override { visible = true; }
  void WatcherPlaceWindowAgain() override {}
  void WatcherHideWindow() override { visible = false; }
  int32_t RestoreDelayMs() override { return delayMs; }
  bool PowerStateTrigger() override { return powerState; }
  bool ResolutionTrigger() override { return resolution; }
  void SetSnapshotTimer(bool on) override { snapshotTimer = on; }
  void PauseManagedTimers() override { ++pauses; }
  void ResumeManagedTimers() override { --pauses; }
  void WatcherCycleEnded() override { ++cyclesEnded; }
  void RunOnUiThread(const std::function<void()>& fn) override { ui::app::RunOnUiThread(fn); }

  bool Kept(const std::wstring& text) const {
    for (const std::wstring& k : kept)
      if (k == text) return true;
    return false;
  }

  std::wstring status;
  std::vector<std::wstring> kept;
  bool visible = false;
  int32_t delayMs = 2000;
  bool powerState = true;
  bool resolution = false;
  bool snapshotTimer = false;
  int pauses = 0;  // held now when above 0
  int cyclesEnded = 0;
  int foregroundShown = 0;
};

class WatcherFixture : public MovingFixture {
 protected:
  static constexpr TRect MonLeft{0, 0, 1920, 1080}, MonRight{1920, 0, 3840, 1080};
  static constexpr TRect AppRect{100, 100, 900, 700};
  static constexpr TRect OnRight{2100, 200, 2900, 800};  // a window on the right-hand monitor
  static constexpr TRect OnRight2{3000, 50, 3700, 500};

  void SetUp() override {
    MovingFixture::SetUp();
    headlessUi.emplace(sim);
    ui::app::InitUiThread();
    sim.SetLayout({MonLeft, MonRight});
    ui::app::ProcessPendingMessages();
    app = AddApp(AppRect);
    sim.SetForeground(app);
    TMonitors::GatherMonitorsInfo();
    watcher.emplace(host);
    watcher->SetMonitorWatcher(true);
    right = MonitorAt(MonRight);
  }

  void TearDown() override {
    if (HasFailure())
      for (const std::wstring& l : Log()) std::printf("  log| %ls\n", l.c_str());
    if (watcher) {
      EXPECT_TRUE(watcher->StopRestoreWorker()) << "the worker did not end";
    }
    watcher.reset();
    headlessUi.reset();
    MovingFixture::TearDown();
  }

  MonitorHandle MonitorAt(const TRect& bounds) {
    for (const MonitorDesc& m : sim.EnumMonitors())
      if (m.bounds == bounds) return m.handle;
    return 0;
  }

  // A program below the one in front.
  WindowHandle Program(TRect rect, sim::WindowSpec desc = {}) {
    const WindowHandle h = AddApp(rect, desc);
    sim.SetForeground(app);
    return h;
  }

  void Snapshot() { watcher->timGetTopProgramsTimer(); }

  // The monitor at `bounds` goes as the platform takes it: the interface removal, the monitor gone
  // (a display change), its windows pushed to the same place on the primary that is left.
  void MonitorGoes(const TRect& bounds = MonRight, bool removal = true) {
    if (removal) watcher->OnMonitorDisconnect();
    TRect to;
    for (const MonitorDesc& d : sim.EnumMonitors())
      if (d.primary) to = d.bounds;
    for (WindowHandle h : sim.ZOrder()) {
      TRect r;
      if (!sim.GetWindowRect(h, r) || !bounds.Contains(r.Left + r.Width() / 2, r.Top + r.Height() / 2)) continue;
      sim.MoveWindowAsSystem(h, MapRect(r, bounds, to));
    }
    sim.RemoveMonitor(MonitorAt(bounds));
    ui::app::ProcessPendingMessages();
    watcher->OnDisplayChange();
  }

  void MonitorComes(const TRect& bounds = MonRight, bool arrival = true, const std::wstring& devicePath = L"") {
    const MonitorHandle m = sim.AddMonitor(bounds);
    if (!devicePath.empty()) sim.SetMonitorDevicePath(m, devicePath);
    ui::app::ProcessPendingMessages();
    watcher->OnDisplayChange();
    if (arrival) watcher->OnMonitorConnect();
  }

  // Time passing outside a cycle, with the ticks the window's foreground timer gives and the
  // snapshot every 10 s while its timer is on.
  void Idle(uint32_t ms) {
    for (uint32_t t = 0; t < ms; t += 200) {
      sim.AdvanceTime(200);
      ui::app::ProcessPendingMessages();
      watcher->Tick();
      FinishCycle();
      sinceSnapshot += 200;
      if (sinceSnapshot >= 10000 && host.snapshotTimer) {
        sinceSnapshot = 0;
        Snapshot();
      }
    }
  }
  uint32_t sinceSnapshot = 0;

  // Pumps until no restore cycle runs and no worker is left. Virtual time moves only in the
  // program's own waits; the real-time bound only stops a test that would hang.
  void FinishCycle() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (watcher->fCallbackRunning || watcher->WorkerAlive()) {
      ui::app::ProcessPendingMessages();
      std::this_thread::yield();
      if (std::chrono::steady_clock::now() > giveUp) {
        ADD_FAILURE() << "the restore cycle did not end";
        watcher->StopRestoreWorker();
        return;
      }
    }
  }


  // The report line of the program with this title, or "" when it has none.
  std::wstring ReportOf(const std::wstring& title) const {
    for (const std::wstring& line : watcher->LastReport())
      if (line.find(L"\"" + title + L"\"") != std::wstring::npos) return line;
    return L"";
  }

  std::optional<ui::headless::HeadlessUi> headlessUi;
  TestWatcherHost host;
  std::optional<TMonitorWatcher> watcher;
  WindowHandle app = 0;
  MonitorHandle right = 0;
};

}  // namespace tessary::test
