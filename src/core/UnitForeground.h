// Turns a window into a program record: owning executable, minimized/maximized, rectangle, the
// monitor it is on and its place on that monitor as fractions of the monitor's full bounds.
#pragma once
#include <string>
#include <unordered_map>
#include <vector>

#include "core/UnitSharedTypes.h"

namespace tessary {

class TForeGround {
 public:
  TForeGround() = delete;

  static void GatherProgramInfo(WindowHandle h, TProgramInfo& info);
  // Captures the foreground window; with none, only info.hwnd (0) is written.
  static void GetInfo(TProgramInfo& foreground);
  static bool isForeground(const TProgramInfo& info);
};

// While one is alive on a thread, the process names, the process list and the monitor enumeration
// are read once and shared by every window examined on that thread: a snapshot looks at hundreds
// of windows, and the process list is by far the dearest read (each process is asked for its name
// instead, the list read only for one that cannot be asked). A window whose process or monitor is not in the
// copy (it appeared meanwhile) makes it read afresh once. Not shared across threads; may nest.
class TReadCache {
 public:
  TReadCache();
  ~TReadCache();
  TReadCache(const TReadCache&) = delete;
  TReadCache& operator=(const TReadCache&) = delete;

 private:
  friend std::wstring GetProcessExeName(WindowHandle h);
  friend uint32_t WindowProcessId(WindowHandle h);
  friend int32_t MonitorNumber(MonitorHandle m);
  friend class TForeGround;
  friend WindowHandle ShellWindow();
  friend int32_t WindowLong(WindowHandle h, int32_t index);
  friend MonitorHandle MostOverlapped(TReadCache& c, const TRect& r);
  TReadCache* outer_;
  WindowHandle pidWindow_ = 0;  // the window whose process GetProcessExeName read last
  uint32_t pid_ = 0;
  bool haveProcesses_ = false, processesOk_ = false, processesFresh_ = false;
  std::vector<ProcessEntry> processes_;
  std::unordered_map<uint32_t, size_t> byPid_;  // index into processes_
  std::unordered_map<uint32_t, std::wstring> names_;  // asked one process at a time
  bool haveMonitors_ = false, monitorsFresh_ = false;
  std::vector<MonitorDesc> monitors_;
  bool haveVirtual_ = false;
  TRect virtual_;
  bool haveShell_ = false;
  WindowHandle shell_ = 0;
  std::unordered_map<uint64_t, int32_t> longs_;  // (window, index) -> GetWindowLongW
};

// The shell's desktop window (GetShellWindow), read once while a TReadCache is alive.
WindowHandle ShellWindow();
// The monitor with the largest part of r, from the cache's monitors; 0 when r meets none or two
// equally (the platform then decides).
MonitorHandle MostOverlapped(TReadCache& c, const TRect& r);
// GetWindowLongW; while a TReadCache is alive each window's style and extended style are read
// once (a failed read is not kept, and leaves the last error as the call left it).
int32_t WindowLong(WindowHandle h, int32_t index);

// File name of the executable of the process owning h: empty for 0 or when no process matches,
// "[error]" when the process list cannot be read.
std::wstring GetProcessExeName(WindowHandle h);
// The process of h: inside a read cache, the one GetProcessExeName just read for h is not asked for
// again. 0 for a window that is gone.
uint32_t WindowProcessId(WindowHandle h);

// "Program [exe] min [True|False] max [True|False] ", the line logged for a minimized or maximized window.
std::wstring ProgramStateText(const TProgramInfo& info);

// Position of a monitor handle in the platform's enumeration; -1 when it is not among them.
int32_t MonitorNumber(MonitorHandle m);

}  // namespace tessary
