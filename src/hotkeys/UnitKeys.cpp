#include "hotkeys/UnitKeys.h"

#include <string>

#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "util/UnitText.h"

namespace tessary {

namespace {
// Down is the high-order bit (Windows also repeats it in bit 0x80 of the low byte).
bool QueueDown(int32_t vk) { return (static_cast<uint16_t>(ws().GetKeyState(vk)) & 0x8000u) != 0; }
}  // namespace

bool TKeys::IsPressedInQueue(int32_t VKConstant) {
  ws().SetLastError(0);
  switch (VKConstant) {
    case wc::VK_SHIFT:
      return QueueDown(wc::VK_LSHIFT) || QueueDown(wc::VK_RSHIFT);
    case wc::VK_CONTROL:
      return QueueDown(wc::VK_LCONTROL) || QueueDown(wc::VK_RCONTROL);
    case wc::VK_MENU:
      return QueueDown(wc::VK_RMENU) || QueueDown(wc::VK_LMENU);
    default:
      return QueueDown(VKConstant);
  }
}

bool TKeys::IsPressedNow(int32_t VKConstant) {
  ws().SetLastError(0);
  return (static_cast<uint16_t>(ws().GetAsyncKeyState(VKConstant)) & 0x8000u) != 0;
}

bool TKeys::LockOn(int32_t VKConstant) {
  ws().SetLastError(0);
  return (ws().GetKeyState(VKConstant) & 0x01) != 0;
}

void TKeys::ReleaseKey(uint16_t vk) {
  int32_t rounds = 0;
  uint8_t scan = 0;
  while (IsPressedInQueue(vk) && rounds < MaxReleaseRounds) {
    // A key that is up costs only the state query, so the scan code is looked up here: the
    // layout's answer for the key's code read as a character.
    if (rounds == 0)
      scan = static_cast<uint8_t>(static_cast<uint16_t>(ws().VkKeyScanW(static_cast<wchar_t>(vk))) & 0xFF);
    ++rounds;
    ws().keybd_event(static_cast<uint8_t>(vk), scan, wc::KEYEVENTF_KEYUP, 0);
    ws().Sleep(ReleasePauseMs);
    ws().ProcessPendingMessages();  // lets the queue's key state catch up
  }
  if (rounds >= MaxReleaseRounds && IsPressedInQueue(vk))
    AppendLog(L"HSK: key " + IntText(vk) + L" still down after " + IntText(rounds) + L" key-up events");
}

void TKeys::HandleStuckKeys(const THotkeyData& hk) {
  if (hk.win) {
    ReleaseKey(wc::VK_LWIN);
    ReleaseKey(wc::VK_RWIN);
  }
  if (hk.shft) {
    ReleaseKey(wc::VK_LSHIFT);
    ReleaseKey(wc::VK_RSHIFT);
  }
  if (hk.ctrl) {
    ReleaseKey(wc::VK_LCONTROL);
    ReleaseKey(wc::VK_RCONTROL);
  }
  if (hk.alt) {
    ReleaseKey(wc::VK_LMENU);
    ReleaseKey(wc::VK_RMENU);
  }
}

}  // namespace tessary
