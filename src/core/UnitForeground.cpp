#include "core/UnitForeground.h"

#include <algorithm>

#include "diagnostics/DebugLog.h"
#include "core/UnitSleep.h"

namespace tessary {

namespace {
const wchar_t* BoolWord(bool b) { return b ? L"True" : L"False"; }
}  // namespace

std::wstring ProgramStateText(const TProgramInfo& info) {
  return L"Program [" + info.EXEName + L"] min [" + BoolWord(info.isMinimized) + L"] max [" +
         BoolWord(info.isMaximized) + L"] ";
}

namespace {
thread_local TReadCache* t_cache = nullptr;

int32_t IndexOfMonitor(const std::vector<MonitorDesc>& monitors, MonitorHandle m) {
  for (size_t i = 0; i < monitors.size(); ++i)
    if (monitors[i].handle == m) return static_cast<int32_t>(i);
  return -1;
}

}  // namespace

TReadCache::TReadCache() : outer_(t_cache) { t_cache = this; }
TReadCache::~TReadCache() { t_cache = outer_; }

int32_t WindowLong(WindowHandle h, int32_t index) {
  TReadCache* c = t_cache;
  if (c == nullptr) return ws().GetWindowLongW(h, index);
  const uint64_t key = (static_cast<uint64_t>(h) << 8) ^ static_cast<uint64_t>(static_cast<uint32_t>(index) & 0xFF);
  if (auto it = c->longs_.find(key); it != c->longs_.end()) return it->second;
  const uint32_t before = ws().GetLastError();
  ws().SetLastError(0);
  const int32_t value = ws().GetWindowLongW(h, index);
  if (ws().GetLastError() == 0) {
    c->longs_.emplace(key, value);
    ws().SetLastError(before);
  }
  return value;
}

MonitorHandle MostOverlapped(TReadCache& c, const TRect& r) {
  if (!c.haveMonitors_) {
    c.monitors_ = ws().EnumMonitors();
    c.haveMonitors_ = true;
  }
  MonitorHandle best = 0;
  int64_t bestArea = 0;
  bool tie = false;
  for (const MonitorDesc& mon : c.monitors_) {
    const int64_t wd = int64_t{std::min(r.Right, mon.bounds.Right)} - std::max(r.Left, mon.bounds.Left);
    const int64_t ht = int64_t{std::min(r.Bottom, mon.bounds.Bottom)} - std::max(r.Top, mon.bounds.Top);
    if (wd <= 0 || ht <= 0) continue;
    const int64_t area = wd * ht;
    if (area > bestArea) {
      best = mon.handle;
      bestArea = area;
      tie = false;
    } else if (area == bestArea) {
      tie = true;
    }
  }
  return tie ? 0 : best;
}

WindowHandle ShellWindow() {
  TReadCache* c = t_cache;
  if (c == nullptr) return ws().GetShellWindow();
  if (!c->haveShell_) {
    c->shell_ = ws().GetShellWindow();
    c->haveShell_ = true;
  }
  return c->shell_;
}

int32_t MonitorNumber(MonitorHandle m) {
  if (m == 0) return -1;
  if (TReadCache* c = t_cache) {
    if (!c->haveMonitors_) {
      c->monitors_ = ws().EnumMonitors();
      c->haveMonitors_ = true;
    }
    int32_t i = IndexOfMonitor(c->monitors_, m);
    if (i < 0 && !c->monitorsFresh_) {
      c->monitors_ = ws().EnumMonitors();
      c->monitorsFresh_ = true;
      i = IndexOfMonitor(c->monitors_, m);
    }
    return i;
  }
  // Enumerated afresh each time: a handle can come back after a display change with another
  // position, and the enumeration is cheap next to the window calls around it.
  return IndexOfMonitor(ws().EnumMonitors(), m);
}

namespace {
void ReadProcesses(std::vector<ProcessEntry>& processes, std::unordered_map<uint32_t, size_t>& byPid, bool& ok) {
  ok = ws().GetProcessList(processes);
  byPid.clear();
  if (!ok) return;
  for (size_t i = 0; i < processes.size(); ++i) byPid.emplace(processes[i].pid, i);  // the first entry wins
}
}  // namespace

std::wstring GetProcessExeName(WindowHandle h) {
  IWindowSystem& w = ws();
  w.SetLastError(0);
  if (h == 0) return L"";
  TReadCache* c = t_cache;
  // Outside a walk as well: the process's own name, the whole list only when that is refused.
  if (c == nullptr) {
    TReadCache once;
    return GetProcessExeName(h);
  }
  uint32_t pid = 0;
  w.GetWindowThreadProcessId(h, &pid);
  c->pidWindow_ = h;
  c->pid_ = pid;
  if (pid == 0) return L"";
  if (auto known = c->names_.find(pid); known != c->names_.end()) return known->second;
  // One process's name is far cheaper than the whole list (under Wine the list costs tens of
  // milliseconds); the list stays the fallback for a process we may not query.
  if (std::wstring name; w.GetProcessImageName(pid, name)) {
    name = name.substr(0, 260);
    c->names_.emplace(pid, name);
    return name;
  }
  w.SetLastError(0);
  if (!c->haveProcesses_) {
    ReadProcesses(c->processes_, c->byPid_, c->processesOk_);
    c->haveProcesses_ = true;
  }
  if (!c->processesOk_) return L"[error]";
  auto it = c->byPid_.find(pid);
  if (it == c->byPid_.end() && !c->processesFresh_) {
    // A process that started after the list was read.
    c->processesFresh_ = true;
    ReadProcesses(c->processes_, c->byPid_, c->processesOk_);
    if (!c->processesOk_) return L"[error]";
    it = c->byPid_.find(pid);
  }
  return it == c->byPid_.end() ? std::wstring() : c->processes_[it->second].exeName.substr(0, 260);
}

uint32_t WindowProcessId(WindowHandle h) {
  if (const TReadCache* c = t_cache; c != nullptr && c->pidWindow_ == h && h != 0) return c->pid_;
  uint32_t pid = 0;
  ws().GetWindowThreadProcessId(h, &pid);
  return pid;
}

void TForeGround::GatherProgramInfo(WindowHandle h, TProgramInfo& info) {
  IWindowSystem& w = ws();
  info.hwnd = h;
  info.EXEName = GetProcessExeName(h);
  if (t_cache != nullptr) {
    // The walk read the style already; the state bits are what IsIconic and IsZoomed answer.
    const auto style = static_cast<uint32_t>(WindowLong(h, wc::GWL_STYLE));
    info.isMinimized = (style & wc::WS_MINIMIZE) != 0;
    info.isMaximized = (style & wc::WS_MAXIMIZE) != 0;
  } else {
    info.isMinimized = w.IsIconic(h);
    info.isMaximized = w.IsZoomed(h);
  }
  if (info.isMinimized || info.isMaximized) {
    info.toppercent = 0.0;
    info.leftpercent = 0.0;
  }
  info.bounds = TRect{};
  if (!info.isMinimized) {
    if (!w.GetWindowRect(h, info.bounds)) {
      AppendLog(L"GPI: Failed to getRect: ", true);
      info.bounds = TRect{};
    }
  }
  TReadCache* c = t_cache;
  // Within a walk the monitor a window mostly lies on is found from the monitors read once; only
  // a window on none of them, or exactly as much on two, needs the platform's own answer.
  MonitorHandle m = 0;
  if (c != nullptr && !info.isMinimized) m = MostOverlapped(*c, info.bounds);
  if (m == 0) m = w.MonitorFromWindow(h, wc::MONITOR_DEFAULTTONEAREST);
  MonitorDesc desc;
  const int32_t number = MonitorNumber(m);
  bool haveDesc = false;
  if (number >= 0 && c != nullptr && static_cast<size_t>(number) < c->monitors_.size()) {
    // Within a cached walk the enumeration just read holds what GetMonitorInfo would give.
    desc = c->monitors_[static_cast<size_t>(number)];
    haveDesc = true;
  } else if (number >= 0) {
    haveDesc = w.GetMonitorInfo(m, desc);
  }
  if (haveDesc) {
    if (c != nullptr && !c->haveVirtual_) {
      c->virtual_ = w.GetVirtualScreenRect();
      c->haveVirtual_ = true;
    }
    const TRect virt = c != nullptr ? c->virtual_ : w.GetVirtualScreenRect();
    info.isLeftMonitor = virt.Left == desc.bounds.Left;
    info.isTopMonitor = virt.Top == desc.bounds.Top;
    info.monitorID = number;
    info.monitorBounds = desc.bounds;
    RectToPercents(info.bounds, desc.bounds, info.leftpercent, info.toppercent, info.wdpercent, info.htpercent);
    if (info.isMinimized || info.isMaximized) {
      info.toppercent = 0.0;
      info.leftpercent = 0.0;
    }
  } else {
    info.monitorID = -1;
    info.monitorBounds = TRect{};
    AppendLog(L"GPI: Failed MonitorFromWIndow: ", true);
  }
}

void TForeGround::GetInfo(TProgramInfo& foreground) {
  foreground.hwnd = ForegroundWindowWithRetry(10);
  if (foreground.hwnd == 0) {
    AppendLog(L"GI: failed to get foreground window", true);
    return;
  }
  GatherProgramInfo(foreground.hwnd, foreground);
  if (foreground.isMinimized || foreground.isMaximized) AppendLog(L"GI: " + ProgramStateText(foreground));
}

bool TForeGround::isForeground(const TProgramInfo& info) {
  if (info.hwnd == 0) return false;
  return ForegroundWindowWithRetry(10) == info.hwnd;
}

}  // namespace tessary
