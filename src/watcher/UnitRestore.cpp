#include "watcher/UnitRestore.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "core/UnitForeground.h"
#include "core/UnitMonitors.h"
#include "core/UnitSleep.h"
#include "desktop/WinConst.h"
#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitMove.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

constexpr double kTolerance = 0.01;
constexpr int32_t kSettleMs = 20;
constexpr int32_t kFirstRetryWaitMs = 50;
constexpr int32_t kLastRetryWaitMs = 400;
constexpr int32_t kDeniedAttempts = 4;

void Log(const std::wstring& s) { AppendLog(L"HMP: " + s); }

const wchar_t* BoolWord(bool b) { return b ? L"True" : L"False"; }

// "[%d] %s left %s [%f x %f]"
std::wstring ProgramText(const TProgramInfo& p) {
  return Format(L"[%d] %s left %s [%s x %s]", static_cast<int32_t>(p.hwnd), p.EXEName.c_str(), BoolWord(p.isLeftMonitor),
                FixedText(p.wdpercent, 2).c_str(), FixedText(p.htpercent, 2).c_str());
}

enum class Outcome { Restored, Skipped, Failed };

// A record whose window now belongs to another program (the system reuses handles).
bool Reused(const TProgramInfo& old, const TProgramInfo& now) {
  return (old.processId != 0 && now.processId != 0 && old.processId != now.processId) ||
         (old.classHash != 0 && now.classHash != 0 && old.classHash != now.classHash);
}

TRestoreEntry* EntryOf(TRestoreReport* report, WindowHandle h) {
  if (report != nullptr)
    for (TRestoreEntry& e : *report)
      if (e.saved.hwnd == h) return &e;
  return nullptr;
}

}  // namespace

std::wstring RestoreEntryText(const TRestoreEntry& e) {
  static constexpr const wchar_t* kOutcomes[] = {
      L"put back", L"already in place", L"left where the user put it", L"gone", L"skipped (minimized)",
      L"skipped (elevated)", L"skipped (not responding)", L"skipped (monitor missing)", L"failed"};
  std::wstring outcome = kOutcomes[static_cast<int>(e.outcome)];
  if (e.outcome == TRestoreOutcome::Failed) {
    std::wstring text = e.error != 0 ? ws().ErrorText(e.error) : std::wstring(L"not where it was put");
    text.erase(std::min(text.size(), text.find_last_not_of(L"\r\n ") + 1));
    outcome += e.error != 0 ? Format(L" (%u %s)", e.error, text.c_str()) : L" (" + text + L")";
  }
  return Format(L"%s \"%s\" from %s to %s: %s", e.saved.EXEName.c_str(), e.title.c_str(),
                e.from == TRect{} ? L"nowhere" : RectText(e.from).c_str(), RectText(e.saved.bounds).c_str(),
                outcome.c_str());
}

std::wstring FixedText(double value, int32_t decimals) {
  // The user reads these numbers: the user's separator. Its callers all run with the window system
  // in place, as the log does.
  const std::wstring separator = ws().DecimalSeparator();
  return FixedDigits(value, decimals, separator.empty() ? std::wstring(L".") : separator);
}

TTryList<TProgramInfo> TRestore::FindMovedPrograms(const TTryList<TProgramInfo>& saved,
                                                   const TTryList<TProgramInfo>& fresh, TRestoreReport* report) {
  TTryList<TProgramInfo> moved(std::make_shared<TProgramInfoComparer>());
  for (const TProgramInfo& old : saved) {
    TProgramInfo now;
    now.hwnd = old.hwnd;
    TRestoreEntry entry;
    entry.saved = old;
    const bool found = fresh.TryAndGet(now);
    if (found) {
      entry.from = now.bounds;
      entry.title = ws().GetWindowTextW(old.hwnd);
    }
    const auto add = [&](TRestoreOutcome outcome) {
      entry.outcome = outcome;
      if (report != nullptr) report->push_back(entry);
    };
    if (!found) {
      Log(L"Program Handle Missing " + old.EXEName);
      // Minimized windows are not in a snapshot: tell those from the ones that went.
      const bool minimized = ws().IsWindow(old.hwnd) && ws().IsIconic(old.hwnd) &&
                             (old.classHash == 0 || ClassHash(ws().GetClassNameW(old.hwnd)) == old.classHash);
      if (minimized) {
        entry.title = ws().GetWindowTextW(old.hwnd);
        ws().GetWindowRect(old.hwnd, entry.from);
      }
      add(minimized ? TRestoreOutcome::Minimized : TRestoreOutcome::Gone);
      continue;
    }
    if (Reused(old, now)) {
      Log(Format(L"Program Handle Reused %s -> %s", old.EXEName.c_str(), now.EXEName.c_str()));
      entry.from = TRect{};
      entry.title.clear();
      add(TRestoreOutcome::Gone);
      continue;
    }
    // A program still on its monitor is left alone, even if it moved on it. A monitor that came
    // back may be enumerated at another place (the primary changed, another one arrived first):
    // while a monitor sits at the recorded bounds, those bounds name it, not the number.
    bool recordedPresent = false;
    for (const TMonitorInfo& m : TMonitors::getList())
      if (old.monitorBounds != TRect{} && m.bounds == old.monitorBounds) recordedPresent = true;
    const bool otherMonitor =
        recordedPresent ? now.monitorBounds != old.monitorBounds : old.monitorID != now.monitorID;
    if (old.monitorBounds != TRect{} && !recordedPresent) {
      // Its monitor is not there: it stays on the one the system gave it, in view.
      add(TRestoreOutcome::MonitorMissing);
    } else if (old.isMinimized || now.isMinimized) {
      add(TRestoreOutcome::Minimized);
    } else if (otherMonitor) {
      moved.Add(old);
      add(TRestoreOutcome::PutBack);
    } else {
      add(now.bounds == old.bounds ? TRestoreOutcome::AlreadyInPlace : TRestoreOutcome::LeftByUser);
    }
  }
  return moved;
}

bool TRestore::RestoreOnce(const TProgramInfo& rec) {
  // Each attempt is judged by its own error, not by one left from another program.
  TMove::ClearLastError();
  const bool ok = TMove::RestoreProgram(rec);
  SleepSlick(kSettleMs);
  return ok;
}

bool TRestore::VerifyRestored(const TProgramInfo& rec) {
  TProgramInfo now;
  TForeGround::GatherProgramInfo(rec.hwnd, now);
  if (now.bounds == TRect{}) {
    Log(L"empty rect, admin program?");
    return false;
  }
  struct Check {
    double now, want;
    const wchar_t* label;
  };
  const Check checks[] = {{now.wdpercent, rec.wdpercent, L"WidthX  "},
                          {now.htpercent, rec.htpercent, L"HeightX "},
                          {now.toppercent, rec.toppercent, L"TopX    "},
                          {now.leftpercent, rec.leftpercent, L"LeftX   "}};
  for (const Check& c : checks) {
    const double diff = std::fabs(c.now - c.want);
    // The bound itself matches; a hair of floating-point noise must not turn 0.01 into a miss.
    if (diff <= kTolerance + 1e-9) continue;
    Log(Format(L"Failed %s%s diff %s", c.label, FixedText(diff, 4).c_str(), ProgramText(now).c_str()));
    return false;
  }
  return true;
}

bool TRestore::RestoreMovedPrograms(const TTryList<TProgramInfo>& moved, const TStatusSink& status,
                                    TRestoreReport* report) {
  Log(L"Restore count=" + IntText(moved.Count()));
  bool allRestored = true;
  const auto denied = [] { return TMove::getLastError() == wc::ERROR_ACCESS_DENIED; };
  const auto hung = [] { return TMove::getLastError() == wc::ERROR_TIMEOUT; };
  const auto skipNotResponding = [&](const TProgramInfo& rec) {
    Log(L"not responding, skipped " + rec.EXEName);
    status(L"Skipping not responding program.", true);
  };

  // Lowest in the z-order first, so the former foreground window is placed last.
  for (int32_t i = moved.Count() - 1; i >= 0; --i) {
    const TProgramInfo& rec = moved[i];
    status(L"Restoring - " + rec.EXEName, true);
    Log(L"Moving " + ProgramText(rec));

    Outcome outcome = Outcome::Failed;
    bool retry = false;
    if (RestoreOnce(rec)) {
      if (VerifyRestored(rec)) {
        outcome = Outcome::Restored;
      } else {
        Log(L"position not verified 1");
        retry = true;
      }
    } else if (hung()) {
      // A program that does not answer would only cost every retry its time-out.
      skipNotResponding(rec);
    } else if (denied()) {
      bool placed = false;
      for (int32_t n = 0; n < kDeniedAttempts && !placed; ++n) {
        placed = RestoreOnce(rec);
        SleepSlick(kSettleMs);
      }
      if (placed) {
        retry = true;
      } else {
        status(L"Skipping VAC Admin program.", true);
        outcome = Outcome::Skipped;
      }
    } else {
      Log(L"position failed 1");
      retry = true;
    }

    if (retry) {
      for (int32_t wait = kFirstRetryWaitMs; wait <= kLastRetryWaitMs; wait *= 2) {
        SleepSlick(wait);
        if (RestoreOnce(rec)) {
          if (VerifyRestored(rec)) {
            outcome = Outcome::Restored;
            break;
          }
          Log(L"position not verified 2");
        } else if (denied()) {
          status(L"Skipping VAC Admin program.", true);
          outcome = Outcome::Skipped;
          break;
        } else if (hung()) {
          skipNotResponding(rec);
          break;
        } else {
          Log(L"position failed 2");
        }
        Log(L"repeating");
      }
      if (outcome == Outcome::Failed && !hung()) Log(L"Restoring Position failed.");
    }
    if (outcome == Outcome::Failed) allRestored = false;

    if (TRestoreEntry* e = EntryOf(report, rec.hwnd)) {
      const uint32_t error = TMove::getLastError();
      bool monitorThere = false;
      for (const MonitorDesc& m : ws().EnumMonitors()) monitorThere = monitorThere || m.bounds == rec.monitorBounds;
      if (outcome == Outcome::Restored) {
        e->outcome = TRestoreOutcome::PutBack;
      } else if (outcome == Outcome::Skipped) {
        e->outcome = TRestoreOutcome::Elevated;
      } else if (error == wc::ERROR_TIMEOUT) {
        e->outcome = TRestoreOutcome::NotResponding;
      } else if (!monitorThere && rec.monitorBounds != TRect{}) {
        e->outcome = TRestoreOutcome::MonitorMissing;
      } else {
        e->outcome = TRestoreOutcome::Failed;
        e->error = error;
      }
    }
  }
  return allRestored;
}

}  // namespace tessary
