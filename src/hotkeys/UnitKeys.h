// Keyboard state and synthetic key-up events: releases modifier keys that the system still
// believes are held (a move started from a key combination or a launcher must not leave Windows,
// Shift, Control or Alt stuck), and reads Shift and the lock keys.
#pragma once
#include <cstdint>

#include "core/UnitSharedTypes.h"

namespace tessary {

class TKeys {
 public:
  TKeys() = delete;

  // Key-up events sent at most for one key that keeps reading as pressed.
  static constexpr int32_t MaxReleaseRounds = 20;
  static constexpr uint32_t ReleasePauseMs = 10;

  // For each modifier selected in hk (win, shft, ctrl, alt, in that order): the left key, then
  // the right key, released while the thread's queue says it is down.
  static void HandleStuckKeys(const THotkeyData& hk);
  // Down according to the calling thread's input queue; VK_SHIFT, VK_CONTROL and VK_MENU ask
  // for either side.
  static bool IsPressedInQueue(int32_t VKConstant);
  // The physical key is down right now.
  static bool IsPressedNow(int32_t VKConstant);
  // The key's toggle is on (Scroll Lock, Caps Lock, Num Lock).
  static bool LockOn(int32_t VKConstant);

 private:
  static void ReleaseKey(uint16_t vk);
};

}  // namespace tessary
