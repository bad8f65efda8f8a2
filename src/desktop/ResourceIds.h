// Resource numbers of the executable's images, shared by the resource script (Tessary.rc) and the
// code that loads them, so plain macros the resource compiler can read.
#pragma once

// The tray's images, in the order of their index (resource = IDI_TRAY_FIRST + index): the
// program's icon in grey (the Monitor Watcher is off), in colour (on), an upward arrow, a warning
// sign. Each .ico carries 16, 20, 24 and 32 pixel images (scripts/make-icons.py).
#define IDI_TRAY_FIRST 101
#define IDI_TRAY_OFF 101
#define IDI_TRAY_ON 102
#define IDI_TRAY_UP 103
#define IDI_TRAY_WARNING 104
#define IDI_TRAY_COUNT 4
