// The main window on a simulated desktop of two 1920 x 1080 monitors side by side, with the
// headless widget backend behind it and an ordinary program ("app.exe") in front on the left
// monitor. The window is created hidden by SetUp, as start-up creates it.
#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../moving/MovingFixture.h"
#include "core/UnitMonitors.h"
#include "shell/UnitFrmMain.h"
#include "ui/Ui.h"
#include "ui/headless/Headless.h"

namespace tessary::test {

class MainFixture : public MovingFixture {
 protected:
  // Pumps until no restore cycle runs and no worker is left. Virtual time moves only in the
  // program's own waits; the real-time bound only stops a test that would hang.
  void FinishCycle() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (main->watcher.fCallbackRunning || main->watcher.WorkerAlive()) {
      ui::app::ProcessPendingMessages();
      std::this_thread::yield();
      if (std::chrono::steady_clock::now() > giveUp) {
        ADD_FAILURE() << "the restore cycle did not end";
        main->watcher.StopRestoreWorker();
        return;
      }
    }
  }

  static constexpr TRect MonLeft{0, 0, 1920, 1080}, MonRight{1920, 0, 3840, 1080};
  static constexpr TRect AppRect{100, 100, 900, 700};

  void SetUp() override {
    MovingFixture::SetUp();
    headlessUi.emplace(sim);
    ui::app::InitUiThread();
    sim.SetLayout({MonLeft, MonRight});
    app = AddApp(AppRect);
    sim.SetForeground(app);
    CreateMain();
  }

  void TearDown() override {
    main.reset();
    SetShowDebugWindowHandler(nullptr);
    headlessUi.reset();
    MovingFixture::TearDown();
  }

  // Creates the main window afresh (after changing the monitors, the debugger flag, ...).
  void CreateMain() {
    main.reset();
    main = std::make_unique<TFrmMain>();
  }

  // Timers fire only while messages are pumped.
  void Wait(uint32_t ms) {
    sim.AdvanceTime(ms);
    ui::app::ProcessPendingMessages();
  }

  std::optional<ui::headless::HeadlessUi> headlessUi;
  WindowHandle app = 0;
  std::unique_ptr<TFrmMain> main;
};

}  // namespace tessary::test
