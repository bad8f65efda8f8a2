// Moves a program's top-level window to a neighbouring monitor, keeping its place and size
// relative to the monitor, and puts recorded programs back where they were.
#pragma once
#include <string>
#include <cstdint>

#include "core/UnitSharedTypes.h"

namespace tessary {

enum class TMoveDirection { Up, Down, Left, Right, Next };

class TMove {
 public:
  TMove() = delete;

  // h 0: the foreground window (makeForeground is then ignored). makeForeground: bring h to the
  // front first and move it only if it got there.
  static bool MoveProgramLeft(WindowHandle h, bool makeForeground);
  static bool MoveProgramRight(WindowHandle h, bool makeForeground);
  static bool MoveProgramUp(WindowHandle h, bool makeForeground);
  static bool MoveProgramDown(WindowHandle h, bool makeForeground);
  static bool MoveProgramNext(WindowHandle h, bool makeForeground);
  // Places info.hwnd at its recorded fractions of monitor info.monitorID. A program that does not
  // respond (TFocusManager::IsResponding) is not touched: false at once (after at most
  // RespondTimeoutMs), logged "RP: not responding, not restored: <exe>", and getLastError() is
  // ERROR_TIMEOUT (1460). A move of such a program likewise returns false ("MP: not responding,
  // not moved: <exe>").
  static bool RestoreProgram(const TProgramInfo& info);
  // The platform error of the most recent failed placement step; a later success keeps it.
  static uint32_t getLastError();
  // The restore judges each attempt by its own error, not by one another program left.
  static void ClearLastError();

  // Exposed for the main window and tests. ResizeMove first asks whether h responds ("MP: not
  // responding ", ERROR_TIMEOUT), then places it.
  // The window the last placement moved, the rectangle it was sent to and the tick count when
  // its last step ended; false before any.
  static bool LastPlacement(WindowHandle& h, TRect& r, uint32_t& tick);
  static bool IsShellOrDesktop(WindowHandle h);
  // The same, for a window whose process name was read already (asked again only when the
  // window is not top-level).
  static bool IsShellOrDesktop(WindowHandle h, const std::wstring& exeName);
  static bool ResizeMove(WindowHandle h, const TRect& r);

  // A move that reads its window at a place a placement took it from less than this long ago
  // reads again, every EchoStepMs (pumping messages), until it reads another place.
  static constexpr int32_t EchoWaitMs = 1000;
  static constexpr int32_t EchoStepMs = 20;

  // For test fixtures: as at program start.
  static void Reset();

 private:
  static bool MoveProgram(WindowHandle h, bool makeForeground, TMoveDirection direction);
  // The placement steps alone, for callers that have asked whether h responds.
  // from: where the window was before (empty when not known), remembered for a while as a place
  // it has left.
  static bool PlaceWindow(WindowHandle h, const TRect& r, const TRect& from);
  static void GetTargetInfo(WindowHandle h, bool makeForeground, TProgramInfo& info);
  static void LogCapture(const TProgramInfo& info);
  // requested: the window the caller asked for (0: the foreground window).
  static bool MoveToNextMonitor(const TProgramInfo& info, WindowHandle requested, bool makeForeground,
                                TMoveDirection direction);
};

}  // namespace tessary
