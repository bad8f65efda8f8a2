// The debug window's listing tools: the z-order of the top-level windows, the windows taken for
// programs on the taskbar and the modifier keys around the stuck-key repair, written to the log
// so that a user's "Debug.txt" shows why a window was or was not recorded or moved.
//
// self is the debug window; the walks stop when they come back to it. The window refreshes its
// list of log lines after each listing (also when one ends early).
#pragma once
#include "desktop/WindowSystem.h"

namespace tessary {

// Every window below self; names the process of each plain top-level window.
void ZOrderListing(WindowHandle self);
// From the foreground window down; the extended styles of each plain top-level window.
void ZOrderDump(WindowHandle self);
// The taskbar walk a program snapshot makes, from the foreground window down.
void TaskButtonsListing(WindowHandle self);
// The same walk, with the extended styles of each window on the taskbar.
void TasksDump(WindowHandle self);
// The modifier keys before and after releasing every one that reads as pressed.
void CheckKeys();
// One line per extended-style flag set on h, then "[exe]-----".
void AppendLogEXStyle(WindowHandle h);

}  // namespace tessary
