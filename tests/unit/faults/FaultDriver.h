// Fault injection on the simulated desktop: a scenario runs once with its calls numbered, then once
// more from scratch for every numbered call k and every way that call can fail on Windows, with
// call k failing that way. After each run the driver checks what must hold whatever failed, runs
// the scenario once more without a fault, ends the program and compares what it holds with a
// clean run's. Every broken rule is collected with the scenario, k, the operation and the kind.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "desktop/WindowSystem.h"
#include "platform/sim/SimDesktop.h"
#include "shell/UnitFrmAbout.h"
#include "shell/UnitFrmMain.h"
#include "shell/UnitFrmSysTrayMenu.h"
#include "ui/headless/Headless.h"

namespace tessary::test::faults {

// A fresh desktop of two 1920 x 1080 monitors side by side, a fresh process state and the headless
// widgets; the program runs as C:\Tools\Tessary.exe with its files beside it.
struct Env {
  static constexpr TRect MonLeft{0, 0, 1920, 1080}, MonRight{1920, 0, 3840, 1080};
  static inline const std::wstring Folder = L"C:\\Tools\\";

  Env();
  ~Env();
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;

  // An ordinary program window of its own process; listed in `programs`.
  WindowHandle AddProgram(const std::wstring& exe, TRect rect, bool maximized = false,
                          uint32_t integrity = wc::SECURITY_MANDATORY_MEDIUM_RID);
  void CreateMain();
  // Pumps until a restore cycle has ended and its worker is gone (a real-time guard only stops a
  // driver that would hang).
  bool FinishCycle();
  // Ends the program's windows (not numbered); what it still holds is then compared.
  void EndProgram();

  std::unique_ptr<sim::SimDesktop> sim;
  std::map<WindowHandle, TRect> home;  // where a scenario's programs were first put
  std::optional<ui::headless::HeadlessUi> widgets;
  std::unique_ptr<TFrmMain> main;
  std::unique_ptr<TfrmSysTrayMenu> tray;
  std::unique_ptr<TFrmAbout> about;
  WindowHandle app = 0;  // the program in front
  std::vector<WindowHandle> programs;
  std::vector<TRect> monitors;  // the layout, to bring a monitor back that a fault took
};

// Calls of the driver itself (placing the test's windows, reading rectangles) are not numbered.
class Quiet {
 public:
  explicit Quiet(sim::SimDesktop& s);
  ~Quiet();
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  sim::SimDesktop& s_;
};

struct Scenario {
  std::string name;
  std::function<void(Env&)> prepare;     // not numbered
  std::function<std::string(Env&)> act;  // numbered; "" when it did what it should, else why not
  // "" when nothing is left stuck (flags, paused timers, a worker, a queued move).
  std::function<std::string(Env&)> idle;
  std::vector<std::wstring> dataFiles;  // full paths: each holds the old bytes or the new, never a mix
  uint64_t virtualMsCap = 15 * 60 * 1000;
  uint64_t messageCap = 200000;
  uint64_t callCap = 2000000;
};

struct Report {
  size_t calls = 0;  // numbered calls of the clean run
  size_t runs = 0;   // runs with a fault
  std::vector<std::string> violations;
  std::vector<std::string> notes;  // runs in which call k was another call than in the clean run
};

Report RunScenario(const Scenario& scenario);

// Common checks.
std::string IdleMain(Env& env);
bool OnSameMonitorKind(const TRect& a, const TRect& b);

}  // namespace tessary::test::faults
