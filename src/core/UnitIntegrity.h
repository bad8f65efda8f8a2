// The integrity level of the process owning a window, so the user can see whether a program runs
// elevated. One object for the whole process.
#pragma once
#include <cstdint>

#include "desktop/WindowSystem.h"

namespace tessary {

class TIntegrity {
 public:
  static constexpr uint32_t IL_HIGH = 0x3000;

  // True when the owning process's token could be opened. level is written only when the label
  // could be read (0 when user-account control is off); otherwise it keeps the caller's value.
  bool GetLevel(WindowHandle hwnd, int32_t& level);
};

// The one object of the process.
TIntegrity& Integrity();

}  // namespace tessary
