#include "FaultDriver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <thread>

#include "diagnostics/DebugLog.h"
#include "moving/UnitMoveQueue.h"
#include "shell/ProcessState.h"
#include "shell/UnitMisc.h"
#include "ui/Ui.h"

namespace tessary::test::faults {

namespace {

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  return s;
}

std::string Narrow(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) s.push_back(c >= 32 && c < 127 ? static_cast<char>(c) : '?');
  return s;
}

// The log's messages without their time of day.
std::set<std::wstring> LogMessages() {
  std::set<std::wstring> out;
  for (const std::wstring& line : LogLines()) {
    const size_t blank = line.find(L' ');
    out.insert(blank == std::wstring::npos ? line : line.substr(blank + 1));
  }
  return out;
}

using Files = std::map<std::wstring, std::vector<uint8_t>>;

Files ReadFiles(sim::SimDesktop& s) {
  Quiet q(s);
  Files out;
  for (const std::wstring& path : s.Files()) {
    std::vector<uint8_t> bytes;
    s.ReadWholeFile(path, bytes);
    out[path] = bytes;
  }
  return out;
}

// A window the user can still reach: a good part of it, or all of a small one, on a work area.
bool Reachable(const TRect& r, const std::vector<MonitorDesc>& mons) {
  for (const MonitorDesc& m : mons) {
    const int32_t w = std::min(r.Right, m.work.Right) - std::max(r.Left, m.work.Left);
    const int32_t h = std::min(r.Bottom, m.work.Bottom) - std::max(r.Top, m.work.Top);
    if (w >= std::min(100, r.Width()) && h >= std::min(50, r.Height()) && w > 0 && h > 0) return true;
  }
  return false;
}

struct Before {
  std::map<WindowHandle, TRect> rects;
  Files files;
};

Before TakeBefore(Env& env) {
  Before b;
  Quiet q(*env.sim);
  for (WindowHandle h : env.programs) {
    TRect r;
    if (env.sim->GetWindowRect(h, r)) b.rects[h] = r;
  }
  b.files = ReadFiles(*env.sim);
  return b;
}

// Runs act under the budget; what escaped it, or "".
std::string RunAct(const Scenario& sc, Env& env, std::string& outcome) {
  env.sim->SetRunBudget(sim::SimDesktop::RunBudget{sc.virtualMsCap, sc.messageCap, sc.callCap});
  std::string escaped;
  try {
    outcome = sc.act(env);
  } catch (const sim::SimDesktop::RunBudgetExceeded& e) {
    escaped = "did not end: " + e.what;
  } catch (const std::exception& e) {
    escaped = std::string("exception escaped: ") + e.what();
  } catch (...) {
    escaped = "exception escaped";
  }
  if (escaped.empty() && env.sim->RunBudgetWasExceeded()) escaped = "ran past its bound";
  env.sim->SetRunBudget(std::nullopt);
  return escaped;
}

struct Baseline {
  std::set<std::wstring> log;
  Files filesAfter;
  std::vector<std::pair<std::wstring, std::vector<uint8_t>>> written;  // every whole version the clean run wrote
  sim::SimDesktop::Resources resources;
  std::vector<sim::SimDesktop::NumberedCall> calls;
};

}  // namespace

// ---------------------------------------------------------------- Env

Env::Env() : sim(std::make_unique<sim::SimDesktop>()) {
  SetWindowSystem(sim.get());
  ResetProcessWideState();
  sim->SetLocalTimeText(L"T");
  sim->SetModuleFileName(Folder + L"Tessary.exe");
  sim->SetFileVersion(Folder + L"Tessary.exe", 1, 0, 9561, 59526);
  ResetDataFolderCache();
  widgets.emplace(*sim);
  ui::app::InitUiThread();
  monitors = {MonLeft, MonRight};
  sim->SetLayout(monitors);
  sim->SetCursor(TPoint{3000, 1060});
  app = AddProgram(L"app.exe", TRect{100, 100, 900, 700});
  sim->SetForeground(app);
}

Env::~Env() {
  sim->SetRunBudget(std::nullopt);
  sim->FailCallNumber(0, sim::SimDesktop::FaultKind::Error);
  EndProgram();
  SetShowDebugWindowHandler(nullptr);
  widgets.reset();
  ResetProcessWideState();
  SetWindowSystem(nullptr);
}

WindowHandle Env::AddProgram(const std::wstring& exe, TRect rect, bool maximized, uint32_t integrity) {
  sim::WindowSpec desc;
  desc.pid = sim->AddProcess(exe, integrity);
  desc.title = L"Work of " + exe;
  desc.rect = rect;
  desc.exStyle = wc::WS_EX_WINDOWEDGE;
  desc.maximized = maximized;
  const WindowHandle h = sim->AddWindow(desc);
  programs.push_back(h);
  return h;
}

void Env::CreateMain() {
  main.reset();
  main = std::make_unique<TFrmMain>();
}

bool Env::FinishCycle() {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (main && (main->watcher.fCallbackRunning || main->watcher.WorkerAlive())) {
    ui::app::ProcessPendingMessages();
    std::this_thread::yield();
    if (std::chrono::steady_clock::now() > giveUp) return false;
  }
  return true;
}

void Env::EndProgram() {
  about.reset();
  tray.reset();
  main.reset();
}

Quiet::Quiet(sim::SimDesktop& s) : s_(s) { s_.PauseCallNumbering(true); }
Quiet::~Quiet() { s_.PauseCallNumbering(false); }

// ---------------------------------------------------------------- checks

std::string IdleMain(Env& env) {
  if (!env.main) return "";
  TFrmMain& m = *env.main;
  std::string why;
  if (m.watcher.fCallbackRunning) why += " a restore cycle is still marked running;";
  if (m.watcher.WorkerAlive()) why += " a restore worker is still alive;";
  if (m.watcher.powerDetectionEventRunning) why += " the display event is still marked running;";
  if (m.cbWatcherOnStart->Checked() && (!m.timGetForeground->Enabled() || !m.timGetTopPrograms->Enabled()))
    why += " the watcher's timers stay paused;";
  if (TMoveQueue::Busy() || TMoveQueue::Waiting() > 0) why += " a move is left in the queue;";
  return why;
}

// ---------------------------------------------------------------- the driver

Report RunScenario(const Scenario& sc) {
  Report report;
  Baseline base;
  {
    // The clean run, then a second one, then the end: what every faulty run is compared with.
    Env env;
    sc.prepare(env);
    env.sim->StartCallNumbering();
    std::string outcome;
    const std::string escaped = RunAct(sc, env, outcome);
    base.calls = env.sim->NumberedCalls();
    env.sim->PauseCallNumbering(true);
    if (!escaped.empty() || !outcome.empty()) {
      report.violations.push_back(sc.name + ": the clean run failed: " + escaped + outcome);
      return report;
    }
    base.log = LogMessages();
    base.filesAfter = ReadFiles(*env.sim);
    base.written = env.sim->FileHistory();
    const std::string again = RunAct(sc, env, outcome);
    if (!again.empty() || !outcome.empty() || !sc.idle(env).empty()) {
      report.violations.push_back(sc.name + ": a second clean run failed: " + again + outcome + sc.idle(env));
      if (std::getenv("TESSARY_FAULT_TRACE")) {
        const auto lines = LogLines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) std::printf("  log| %s\n", Narrow(*it).c_str());
      }
    }
    env.EndProgram();
    base.resources = env.sim->OwnResources();
  }
  report.calls = base.calls.size();

  for (size_t k = 1; k <= base.calls.size(); ++k) {
    for (const auto kind : base.calls[k - 1].kinds) {
      ++report.runs;
      std::ostringstream tag;
      tag << sc.name << " k=" << k << " " << base.calls[k - 1].op << " (" << sim::SimDesktop::FaultKindName(kind)
          << "): ";
      auto violation = [&](const std::string& what) { report.violations.push_back(tag.str() + what); };

      Env env;
      sc.prepare(env);
      const Before before = TakeBefore(env);
      env.sim->StartCallNumbering();
      env.sim->FailCallNumber(k, kind);
      std::string outcome;
      const std::string escaped = RunAct(sc, env, outcome);
      env.sim->PauseCallNumbering(true);
      const auto injected = env.sim->Injected();
      env.sim->FailCallNumber(0, kind);
      if (!injected || injected->op != base.calls[k - 1].op || !injected->fitted) {
        report.notes.push_back(tag.str() + "the run took another path: call k was " +
                               (injected ? std::string(OpName(injected->op)) : std::string("never made")));
      }
      if (!escaped.empty()) violation(escaped);
      if (const char* trace = std::getenv("TESSARY_FAULT_TRACE"); trace && tag.str().rfind(trace, 0) == 0) {
        std::printf("---- %s\n", tag.str().c_str());
        const auto lines = LogLines();
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) std::printf("  log| %s\n", Narrow(*it).c_str());
      }

      // The failure shows in the log: a run that did not do what it should has at least one log
      // message that the clean run does not have.
      if (escaped.empty() && !outcome.empty()) {
        const std::set<std::wstring> log = LogMessages();
        const bool told = std::any_of(log.begin(), log.end(), [&](const std::wstring& m) { return !base.log.count(m); });
        // A monitor that goes after the program made every step of the clean run (its log has
        // them all) takes the outcome with it: the system moves that monitor's windows itself.
        const bool allStepsMade = std::all_of(base.log.begin(), base.log.end(), [&](const std::wstring& m) { return log.count(m) != 0; });
        const bool systemsDoing = kind == sim::SimDesktop::FaultKind::MonitorGone && allStepsMade;
        if (!told && !systemsDoing) violation("failed silently (" + outcome + "): no log message a clean run lacks");
      }

      // No program left where no monitor shows it.
      {
        Quiet q(*env.sim);
        const auto mons = env.sim->EnumMonitors();
        for (WindowHandle h : env.programs) {
          TRect r;
          if (!env.sim->IsWindow(h) || !env.sim->IsWindowVisible(h) || env.sim->IsIconic(h) ||
              !env.sim->GetWindowRect(h, r))
            continue;
          const auto was = before.rects.find(h);
          if (was != before.rects.end() && was->second == r) continue;
          if (!Reachable(r, mons)) {
            std::ostringstream o;
            o << "window " << h << " left off every monitor at (" << r.Left << "," << r.Top << ")-(" << r.Right
              << "," << r.Bottom << ")";
            violation(o.str());
          }
        }
      }

      // Every data file holds the old bytes or bytes the program wrote whole in a clean run, never a mix.
      {
        const Files now = ReadFiles(*env.sim);
        for (const std::wstring& path : sc.dataFiles) {
          auto find = [&](const Files& f) -> const std::vector<uint8_t>* {
            for (const auto& [p, bytes] : f)
              if (Lower(p) == Lower(path)) return &bytes;
            return nullptr;
          };
          const auto* n = find(now);
          const auto* o = find(before.files);
          bool fine = n == nullptr ? o == nullptr || find(base.filesAfter) == nullptr : o != nullptr && *o == *n;
          for (const auto& [p, bytes] : base.written) fine = fine || (n && Lower(p) == Lower(path) && bytes == *n);
          if (!fine) violation("the file " + Narrow(path) + " is neither the old one nor one a clean run writes");
        }
        for (const auto& [p, bytes] : now) {
          bool known = false;
          for (const Files* f : std::initializer_list<const Files*>{&before.files, &base.filesAfter})
            for (const auto& [q, b] : *f) known = known || Lower(q) == Lower(p);
          if (!known) violation("a file is left behind: " + Narrow(p));
        }
      }

      // A clean run right after succeeds and leaves nothing stuck. A monitor a fault took comes back.
      {
        Quiet q(*env.sim);
        const auto mons = env.sim->EnumMonitors();
        for (const TRect& m : env.monitors) {
          const bool present =
              std::any_of(mons.begin(), mons.end(), [&](const MonitorDesc& d) { return d.bounds == m; });
          if (!present) env.sim->AddMonitor(m);
        }
        ui::app::ProcessPendingMessages();
        // The user works on in another program when the one in front went.
        if (!env.sim->IsWindow(env.app)) {
          env.app = env.AddProgram(L"next.exe", TRect{100, 100, 900, 700});
          env.sim->SetForeground(env.app);
        }
      }
      if (!env.FinishCycle()) violation("a restore cycle never ended");
      std::string again;
      const std::string escapedAgain = RunAct(sc, env, again);
      if (!escapedAgain.empty() || !again.empty()) violation("the clean run after it failed: " + escapedAgain + again);
      const std::string stuck = sc.idle(env);
      if (!stuck.empty()) violation("left stuck after a clean run:" + stuck);

      // Nothing leaked: at its end the program holds what a clean run's end holds.
      env.EndProgram();
      const auto res = env.sim->OwnResources();
      if (!(res == base.resources)) {
        std::ostringstream o;
        auto field = [&](const char* name, size_t now, size_t then) {
          if (now != then) o << " " << name << " " << now << " (clean " << then << ")";
        };
        field("windows", res.windows, base.resources.windows);
        field("timers", res.timers, base.resources.timers);
        field("hotkeys", res.hotkeys, base.resources.hotkeys);
        field("device notifications", res.notifications, base.resources.notifications);
        field("kernel handles", res.kernelHandles, base.resources.kernelHandles);
        field("notification icons", res.notifyIcons, base.resources.notifyIcons);
        field("icons", res.icons, base.resources.icons);
        violation("leaked:" + o.str());
      }
    }
  }
  return report;
}

}  // namespace tessary::test::faults
