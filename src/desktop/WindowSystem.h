// The one door to the desktop. Everything the logic decides goes through the operations listed in
// WindowSystemOps.h, so the same code runs on Windows (win32 backend) and on the simulated desktop
// (sim backend).
//
// Conventions kept by both backends:
// - Handles are the platform's values as unsigned pointer-sized integers; 0 is "none".
// - Operations that can fail return false / 0 and leave the calling thread's last error set,
//   exactly as the Windows call does; nothing here throws.
// - Texts are wide strings (UTF-16 on Windows).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "desktop/WinConst.h"
#include "desktop/WindowSystemOps.h"

namespace tessary {

using WindowHandle = std::uintptr_t;
using MonitorHandle = std::uintptr_t;
using KernelHandle = std::uintptr_t;  // process, token, mutex, device-notification handles
using IconHandle = std::uintptr_t;

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr void SetWidth(int32_t w) { Right = Left + w; }
  constexpr void SetHeight(int32_t h) { Bottom = Top + h; }
  constexpr bool Contains(int32_t x, int32_t y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
  int32_t x = 0, y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// One monitor as the platform enumerates it; its number is its position in the enumeration.
struct MonitorDesc {
  MonitorHandle handle = 0;
  TRect bounds;  // full rectangle
  TRect work;    // work area (without taskbars)
  bool primary = false;
  std::wstring deviceName;  // "\\.\DISPLAY1"
  // The monitor's device interface path ("\\?\DISPLAY#DEL4071#...#{e6f07b5f-...}"): it comes from
  // the monitor's EDID, so it names the same physical monitor across reboots and driver updates,
  // which deviceName does not. Empty when the system gives none; Wine, without an EDID, names the
  // output instead ("\\?\DISPLAY#Default_Monitor#0001&0000#{...}" whatever monitor is there).
  std::wstring devicePath;
};

struct ProcessEntry {
  uint32_t pid = 0;
  std::wstring exeName;  // file name only, as the process list reports it
};

// SHAppBarMessage(ABM_GETTASKBARPOS)
struct TaskbarPos {
  uint32_t edge = wc::ABE_BOTTOM;
  TRect rect;
};

// Layout-compatible with COPYDATASTRUCT, so a WM_COPYDATA lParam points to one of these on
// both backends.
struct CopyDataRecord {
  std::uintptr_t dwData = 0;
  uint32_t cbData = 0;
  const void* lpData = nullptr;
};

// The fields of Shell_NotifyIconW's record (NOTIFYICONDATAW) the program fills. The backend hands
// the shell the full record (cbSize of the whole structure); the tip is cut to 127 characters.
struct NotifyIconData {
  WindowHandle window = 0;
  uint32_t id = 0;
  uint32_t flags = 0;  // wc::NIF_*
  uint32_t callbackMessage = 0;
  IconHandle icon = 0;
  std::wstring tip;
  friend bool operator==(const NotifyIconData&, const NotifyIconData&) = default;
};

// GetWindowPlacement / SetWindowPlacement, in screen coordinates (the system's workspace
// coordinates converted by the backend).
struct TWindowPlacement {
  int32_t showCmd = wc::SW_SHOWNORMAL;  // SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_MAXIMIZE, ...
  TRect normal;                         // the restored window
  bool restoreToMaximized = false;      // a minimized window that comes back maximized
};

// Handler for windows the program creates itself. Returns the message's result.
using WindowProc = std::function<intptr_t(WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

// What the registry lookup of one value found. NotInteger: the value has another type than the
// one asked for (a number where text was asked for too).
enum class RegValueState { KeyMissing, ValueMissing, NotInteger, Present };

// Registry hives used by the program.
enum class RegRoot { LocalMachine, CurrentUser };

// One class, one vtable: the facets are lists in WindowSystemOps.h, not base classes, so a call
// through any of them needs no this-pointer adjustment.
class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;

  TESSARY_OPS(TESSARY_OP_PURE)
};

// The process-wide backend. Set once at start (or by a test fixture).
IWindowSystem& ws();
void SetWindowSystem(IWindowSystem* backend);

}  // namespace tessary
