// The main window on the simulated desktop with the display event window in front of it, and
// the platform's part of monitors going and coming: the monitor leaves or joins the list (which
// posts WM_DISPLAYCHANGE), the windows of a vanished monitor are pushed onto the primary that is
// left, and the device interface notification goes through the display event window. Shared by
// the flapping-monitor tests and the soak.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../shell/MainFixture.h"
#include "watcher/UnitFrmMonitorEvent.h"

namespace tessary::test {

// The main window with two probes: the end of each cycle (the timers resumed, on the user-interface
// thread) and the end of each step the worker hands over.
class WatchedMain : public TFrmMain {
 public:
  std::function<void()> onCycleEnd;
  std::function<void()> afterStep;

 protected:
  void WatcherCycleEnded() override {
    TFrmMain::WatcherCycleEnded();
    if (onCycleEnd) onCycleEnd();
  }
  void RunOnUiThread(const std::function<void()>& fn) override {
    TFrmMain::RunOnUiThread([&] {
      fn();
      if (afterStep) afterStep();
    });
  }
};

class FlapTest : public MainFixture {
 protected:
  static constexpr TRect MonThird{3840, 0, 5760, 1080};
  static constexpr const wchar_t* DeviceName =
      L"\\\\?\\DISPLAY#DEL4071#5&1a2b3c4d&0&UID4352#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";

  void SetUp() override {
    MainFixture::SetUp();
    main.reset();
    events = std::make_unique<TFrmMonitorEvent>();
    auto watched = std::make_unique<WatchedMain>();
    watched->onCycleEnd = [this] { RecordCycleEnd(); };
    watched_ = watched.get();
    main = std::move(watched);
    programs.push_back(app);
  }

  void TearDown() override {
    if (HasFailure())
      for (const std::wstring& l : Log()) std::printf("  log| %ls\n", l.c_str());
    main.reset();
    events.reset();
    MainFixture::TearDown();
  }

  // A program below the one in front.
  WindowHandle Program(TRect rect, bool maximized = false) {
    sim::WindowSpec desc;
    desc.maximized = maximized;
    const WindowHandle h = AddApp(rect, desc);
    programs.push_back(h);
    sim.SetForeground(app);
    return h;
  }

  void RememberPlaces() {
    for (WindowHandle h : programs) original[h] = RectOf(h);
  }

  MonitorHandle MonitorAt(const TRect& bounds) {
    for (const MonitorDesc& m : sim.EnumMonitors())
      if (m.bounds == bounds) return m.handle;
    return 0;
  }

  // The platform's part of a monitor going: it leaves the list, its windows are pushed to the same
  // place on the primary that is left, then the interface removal is sent. May run on the worker
  // thread (an action due while it waits for a second monitor): only sim calls here.
  void MonitorGoes(const TRect& bounds) {
    const MonitorHandle m = MonitorAt(bounds);
    if (m == 0) return;
    sim.RemoveMonitor(m);
    TRect to;
    for (const MonitorDesc& d : sim.EnumMonitors())
      if (d.primary) to = d.bounds;
    for (WindowHandle h : programs) {
      TRect r;
      if (!sim.GetWindowRect(h, r) || !bounds.Contains(r.Left + r.Width() / 2, r.Top + r.Height() / 2)) continue;
      sim.MoveWindowAsSystem(h, MapRect(r, bounds, to));
    }
    sim.DeliverDeviceInterfaceEvent(wc::DBT_DEVICEREMOVECOMPLETE, TFrmMonitorEvent::MonitorInterfaceClass, DeviceName);
  }

  void MonitorComes(const TRect& bounds, bool primary = false) {
    sim.AddMonitor(bounds, std::nullopt, primary);
    sim.DeliverDeviceInterfaceEvent(wc::DBT_DEVICEARRIVAL, TFrmMonitorEvent::MonitorInterfaceClass, DeviceName);
  }

  // Idle time between cycles, in small steps, until the scheduled events have all run: an
  // arrival among them may start another cycle, whose own waits then move the clock.
  void LetTheStormPass(const int& ran, int total) {
    for (int guard = 0; ran < total && guard < 100000; ++guard) {
      FinishCycle();
      Wait(10);
    }
    FinishCycle();
  }

  void RecordCycleEnd() {
    decided.clear();
    for (WindowHandle h : programs) decided[h] = RectOf(h);
    ++cyclesEnded;
  }

  // Cycles running at once, from the log's order: "CHM: Starting" opens one, "CHM: Done." closes it.
  static int MostCyclesAtOnce(int* started = nullptr) {
    int running = 0, most = 0, n = 0;
    for (const std::wstring& line : Log()) {
      if (line.find(L"CHM: Starting") != std::wstring::npos) {
        ++n;
        most = std::max(most, ++running);
      }
      if (line.find(L"CHM: Done.") != std::wstring::npos) --running;
    }
    if (started != nullptr) *started = n;
    return most;
  }

  ::testing::AssertionResult EveryProgramOnAMonitor() {
    const auto mons = sim.EnumMonitors();
    for (WindowHandle h : programs) {
      const TRect r = RectOf(h);
      bool on = false;
      for (const MonitorDesc& m : mons) on = on || m.bounds.Contains(r.Left + r.Width() / 2, r.Top + r.Height() / 2);
      if (!on)
        return ::testing::AssertionFailure() << "window " << h << " at " << r.Left << "," << r.Top << " is on no monitor";
    }
    return ::testing::AssertionSuccess();
  }

  // One sleep and wake of the right-hand monitor with the restore cycle to its end, then idle time
  // in which the timers run. Nobody clicks a window between cycles: the restore raised the
  // programs it put back above the active one, and the next snapshot must still see them all.
  void SleepWakeCycle(uint32_t idleMs = 11000) {
    MonitorGoes(MonRight);
    ui::app::ProcessPendingMessages();
    Wait(1000);
    MonitorComes(MonRight);
    ui::app::ProcessPendingMessages();
    FinishCycle();
    Wait(idleMs);
  }

  // What the program holds: the desktop's resources and the threads of this process.
  struct Held {
    sim::SimDesktop::Resources desk;
    size_t threads = 0;
    bool operator==(const Held& o) const { return desk == o.desk && threads == o.threads; }
  };
  Held HeldNow(size_t settled = 1) const;
  static std::string HeldText(const Held& h) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "windows %zu  notify icons %zu  timers %zu  hotkeys %zu  device notifications %zu  kernel handles %zu  "
                  "icons %zu  threads %zu",
                  h.desk.windows, h.desk.notifyIcons, h.desk.timers, h.desk.hotkeys, h.desk.notifications,
                  h.desk.kernelHandles, h.desk.icons, h.threads);
    return buf;
  }

  ::testing::AssertionResult EveryProgramBack() {
    for (WindowHandle h : programs) {
      const TRect r = RectOf(h), want = original[h];
      if (r != want)
        return ::testing::AssertionFailure() << "window " << h << " at " << r.Left << "," << r.Top << " instead of "
                                             << want.Left << "," << want.Top;
    }
    return ::testing::AssertionSuccess();
  }

  std::unique_ptr<TFrmMonitorEvent> events;
  WatchedMain* watched_ = nullptr;
  std::vector<WindowHandle> programs;
  std::map<WindowHandle, TRect> original, decided;
  int cyclesEnded = 0;
};

// The threads of this process as the system lists them (the worker's included while it lives).
inline size_t ThreadsAlive() {
  size_t n = 0;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec))
    ++n;
  return n;
}

// A worker that has said it is gone may still be leaving the system's list for a moment: the count
// is read until it is down to `settled` (the real-time bound only stops a run that would hang).
inline FlapTest::Held FlapTest::HeldNow(size_t settled) const {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  size_t threads = ThreadsAlive();
  while (threads > settled && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::yield();
    threads = ThreadsAlive();
  }
  return Held{sim.OwnResources(), threads};
}

}  // namespace tessary::test
