// Every numbered call of each scenario fails once, in each way it can fail on Windows (see
// FaultDriver.h for what is checked after every run). A failing test lists every broken rule.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "FaultDriver.h"
#include "diagnostics/DebugLog.h"
#include "shell/ProcessState.h"
#include "shell/UnitFrmInstance.h"
#include "shell/UnitMisc.h"
#include "shell/UnitStartup.h"
#include "ui/Ui.h"

namespace tessary::test::faults {
namespace {

using namespace tessary::wc;
namespace hl = ui::headless;

const std::wstring kSettings = Env::Folder + L"Tessary.ini";
const std::wstring kDisabled = Env::Folder + L"disabled.ini";
const std::wstring kNoRight = Env::Folder + L"noright.ini";
constexpr uint32_t CtrlAlt = MOD_CONTROL | MOD_ALT;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TRect RectOf(Env& env, WindowHandle h) {
  Quiet q(*env.sim);
  TRect r;
  env.sim->GetWindowRect(h, r);
  return r;
}

bool OnLeft(const TRect& r) { return (r.Left + r.Right) / 2 < Env::MonRight.Left; }

// Timers fire only while messages are pumped.
void Wait(Env& env, uint32_t ms) {
  env.sim->AdvanceTime(ms);
  ui::app::ProcessPendingMessages();
}

// The program in front went to the other monitor at its own size.
std::string Moved(Env& env, const TRect& before) {
  {
    Quiet q(*env.sim);
    if (!env.sim->IsWindow(env.app)) return "";  // it went: nothing left to move
  }
  const TRect after = RectOf(env, env.app);
  if (OnLeft(after) == OnLeft(before)) return "the program in front did not change monitors";
  if (after.Width() != before.Width() || after.Height() != before.Height()) return "the program changed its size";
  return "";
}

// The main window created and shown as start-up does, the program in front captured.
void MainShown(Env& env) {
  env.CreateMain();
  env.main->Show();
  env.sim->SetForeground(env.app);
  Wait(env, 1000);
}

void Report(const faults::Report& r, const std::string& name) {
  std::printf("fault-injection %s: %zu calls, %zu runs, %zu violations\n", name.c_str(), r.calls, r.runs,
              r.violations.size());
  for (const std::string& n : r.notes) std::printf("  note: %s\n", n.c_str());
  std::ostringstream all;
  for (const std::string& v : r.violations) all << "\n  " << v;
  EXPECT_TRUE(r.violations.empty()) << r.violations.size() << " violations:" << all.str();
  EXPECT_GT(r.runs, 0u) << "no call of the scenario can fail";
}

Scenario MoveScenario(std::string name, std::function<void(Env&)> prepare, std::function<void(Env&, bool right)> trigger) {
  Scenario s;
  s.name = std::move(name);
  s.prepare = std::move(prepare);
  s.act = [trigger](Env& env) {
    env.sim->SetForeground(env.app);
    const TRect before = RectOf(env, env.app);
    trigger(env, OnLeft(before));
    ui::app::ProcessPendingMessages();
    return Moved(env, before);
  };
  s.idle = IdleMain;
  s.dataFiles = {kSettings};
  return s;
}

TEST(FaultInjection, MoveByButton) {
  const Scenario s = MoveScenario("move-button", MainShown, [](Env& env, bool right) {
    Wait(env, 200);  // the buttons follow the program in front
    hl::Click(right ? *env.main->btnRight : *env.main->btnLeft);
  });
  Report(RunScenario(s), s.name);
}

TEST(FaultInjection, MoveByForwardedCommandLine) {
  const Scenario s = MoveScenario(
      "move-forwarded-command-line",
      [](Env& env) {
        CheckInstance(INST_INIT);
        MainShown(env);
      },
      [](Env&, bool right) { SendToInstance(right ? L"-mf right " : L"-mf left "); });
  Report(RunScenario(s), s.name);
}

TEST(FaultInjection, MoveByOwnCommandLine) {
  const Scenario s = MoveScenario(
      "move-own-command-line",
      [](Env& env) {
        CheckInstance(INST_INIT);
        MainShown(env);
      },
      [](Env&, bool right) {
        if (TFrmDummyInstance* i = FrmDummyInstance()) i->HandleOwnCommandLine(right ? L"-mf right " : L"-mf left ");
      });
  Report(RunScenario(s), s.name);
}

const std::string kHotkeys =
    "[Hotkeys]\r\ncbMoveLeft=1\r\ncbMoveRight=1\r\nMOVELEFT_HOTKEY=110025\r\nMOVERIGHT_HOTKEY=110027\r\n";

TEST(FaultInjection, MoveByHotkey) {
  const Scenario s = MoveScenario(
      "move-hotkey",
      [](Env& env) {
        env.sim->WriteWholeFile(kSettings, Bytes(kHotkeys));
        MainShown(env);
      },
      [](Env& env, bool right) {
        Wait(env, 1000);  // not an auto-repeat of the last press
        const uint32_t vk = right ? VK_RIGHT : VK_LEFT;
        env.sim->PressHotkey(CtrlAlt, vk);
        env.sim->SetKeyPhysicalState(static_cast<int32_t>(vk), false);  // let go: the next run presses it again
      });
  Report(RunScenario(s), s.name);
}

TEST(FaultInjection, HotkeyLoadAndPress) {
  Scenario s = MoveScenario(
      "hotkey-load-and-press", [](Env& env) { env.sim->WriteWholeFile(kSettings, Bytes(kHotkeys)); },
      [](Env& env, bool right) {
        MainShown(env);
        const uint32_t vk = right ? VK_RIGHT : VK_LEFT;
        env.sim->PressHotkey(CtrlAlt, vk);
        env.sim->SetKeyPhysicalState(static_cast<int32_t>(vk), false);
      });
  Report(RunScenario(s), s.name);
}

TEST(FaultInjection, SettingsLoadAndSave) {
  Scenario s;
  s.name = "settings-load-and-save";
  s.prepare = [](Env& env) {
    env.sim->WriteWholeFile(kSettings, Bytes("; kept\r\n[Main]\r\ncbAutoClose=0\r\n[Other]\r\nx=1\r\n"));
  };
  s.act = [](Env& env) -> std::string {
    env.CreateMain();
    env.main->Show();
    env.main->MIDefaultConfig1Click();
    const bool on = !env.main->cbAutoClose->Checked();
    hl::PickTab(*env.main->pcConfig, 0);
    hl::Click(*env.main->cbAutoClose);
    hl::Click(*env.main->btnSave);
    Quiet q(*env.sim);
    std::vector<uint8_t> bytes;
    if (!env.sim->ReadWholeFile(kSettings, bytes)) return "the settings file is gone";
    const std::string text(bytes.begin(), bytes.end());
    if (text.find(std::string("cbAutoClose=") + (on ? "1" : "0")) == std::string::npos) return "the setting was not saved";
    if (text.find("[Other]\r\nx=1") == std::string::npos) return "the rest of the file was lost";
    return "";
  };
  s.idle = IdleMain;
  s.dataFiles = {kSettings};
  Report(RunScenario(s), s.name);
}

TEST(FaultInjection, SleepAndWakeCycle) {
  Scenario s;
  s.name = "sleep-and-wake";
  s.prepare = [](Env& env) {
    env.AddProgram(L"editor.exe", TRect{2100, 200, 2900, 800});
    env.AddProgram(L"browser.exe", TRect{3000, 50, 3700, 500}, true);
    env.AddProgram(L"admin.exe", TRect{2200, 300, 2800, 700}, false, SECURITY_MANDATORY_HIGH_RID);
    env.AddProgram(L"mail.exe", TRect{2500, 100, 3300, 900});
    env.AddProgram(L"notes.exe", TRect{3400, 600, 3800, 1000});
    env.sim->SetForeground(env.app);
    for (WindowHandle h : env.programs) env.home[h] = RectOf(env, h);
    env.CreateMain();
    env.main->watcher.timGetTopProgramsTimer();
  };
  s.act = [](Env& env) -> std::string {
    env.sim->SetForeground(env.app);
    Wait(env, 11000);  // the snapshot timer has run since the last cycle
    // The monitors a fault took and gave back have settled meanwhile: a cycle that started then
    // puts its programs back before this wake's windows are read.
    if (!env.FinishCycle()) return "the settling's restore cycle did not end";
    std::vector<std::pair<WindowHandle, TRect>> before;
    for (WindowHandle h : env.programs) before.emplace_back(h, RectOf(env, h));
    env.main->watcher.OnMonitorDisconnect();
    {
      // The platform's part: the monitor goes, its windows are pushed to the same place on the other.
      Quiet q(*env.sim);
      for (const auto& [h, r] : before) {
        if (OnLeft(r)) continue;
        TRect to = r;
        to.Left -= Env::MonRight.Left;
        to.Right -= Env::MonRight.Left;
        env.sim->MoveWindowAsSystem(h, to);
      }
      for (const MonitorDesc& m : env.sim->EnumMonitors())
        if (m.bounds == Env::MonRight) env.sim->RemoveMonitor(m.handle);
    }
    ui::app::ProcessPendingMessages();
    {
      Quiet q(*env.sim);
      env.sim->AddMonitor(Env::MonRight);
    }
    ui::app::ProcessPendingMessages();
    env.main->watcher.OnMonitorConnect();
    if (!env.FinishCycle()) return "the restore cycle did not end";
    std::string why;
    for (const auto& [h, r] : before) {
      if (h == env.programs[3]) continue;  // elevated: skipped by design
      // A program a faulted restore could not put back goes back to its first place at this wake.
      if (!(RectOf(env, h) == r) && !(RectOf(env, h) == env.home[h])) why += " a program did not go back;";
    }
    Quiet q(*env.sim);
    if (env.sim->IsWindow(env.programs[2]) && !env.sim->IsZoomed(env.programs[2])) why += " the maximized program is no longer maximized;";
    return why;
  };
  s.idle = IdleMain;
  s.dataFiles = {kSettings};
  Report(RunScenario(s), s.name);
}

TEST(FaultInjection, StartUpAndExitFromTheTray) {
  Scenario s;
  s.name = "start-up-and-exit";
  s.prepare = [](Env& env) {
    env.sim->WriteWholeFile(kSettings, Bytes("[Main]\r\ncbWatcherOnStart=1\r\n"));
    env.sim->WriteWholeFile(kDisabled, Bytes("game.exe=1\r\n"));
    env.sim->WriteWholeFile(kNoRight, Bytes("paint.exe=1\r\n"));
  };
  s.act = [](Env& env) -> std::string {
    // A new process on the same desktop: what the last one held went with it.
    env.sim->OwnProcessEnded();
    env.widgets.reset();
    ResetProcessWideState();
    env.widgets.emplace(*env.sim);
    struct Run {
      bool over = false, icon = false, chosen = false, forced = false;
    };
    auto run = std::make_shared<Run>();
    sim::SimDesktop* sim = env.sim.get();
    sim->At(2000, [run, sim] {
      TfrmSysTrayMenu* t = FrmSysTrayMenu();
      if (run->over || t == nullptr) return;
      for (const auto& d : sim->NotifyIcons()) run->icon = run->icon || d.window == t->Handle();
      hl::ChooseNext(L"MIExit");
      run->chosen = sim->MouseOnNotifyIcon(t->Handle(), TfrmSysTrayMenu::IconId, WM_RBUTTONDOWN);
    });
    // Without a way out through the tray the test ends the program as the user's log-off would.
    sim->At(6000, [run] {
      if (run->over) return;
      run->forced = true;
      ui::app::Terminate();
    });
    const int32_t code = RunApplication();
    run->over = true;
    std::string why;
    if (code != 0) why += " exit code " + std::to_string(code) + ";";
    if (!run->icon) why += " no icon in the notification area;";
    if (!run->chosen || run->forced) why += " Exit from the tray menu did not end the program;";
    // Windows takes the windows and handles of an ended process, but an icon stays in the
    // notification area until the mouse passes over it.
    if (env.sim->OwnResources().notifyIcons != 0) why += " an icon is left in the notification area;";
    return why;
  };
  s.idle = [](Env&) -> std::string { return FrmSysTrayMenu() != nullptr ? " the tray window is still there" : ""; };
  s.dataFiles = {kSettings, kDisabled, kNoRight};
  Report(RunScenario(s), s.name);
}

}  // namespace
}  // namespace tessary::test::faults
