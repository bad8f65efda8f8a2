#include "hotkeys/UnitHotKey.h"

#include <atomic>

#include "diagnostics/DebugLog.h"

namespace tessary {

namespace {
std::atomic<int32_t> g_nextHotKeyID{1};
}  // namespace

void TACHotKey::ResetIds() { g_nextHotKeyID = 1; }

TACHotKey::TACHotKey(WindowHandle formHandle, const std::wstring& /*UniqueName*/, bool Hotkey_Ctrl, bool Hotkey_Alt,
                     bool Hotkey_Shift, bool Hotkey_Winkey, uint16_t Hotkey_key)
    : FormHandle(formHandle) {
  ws().SetLastError(0);
  HotKeyID = g_nextHotKeyID++;
  if (!RegisterKey(Hotkey_Ctrl, Hotkey_Alt, Hotkey_Shift, Hotkey_Winkey, Hotkey_key))
    throw TACHotKeyException(L"ERROR: Unable to assign a hotkey. Please change the key.");
}

TACHotKey::~TACHotKey() { UnSet(); }

bool TACHotKey::RegisterKey(bool ctrl, bool alt, bool shift, bool win, uint16_t key) {
  const uint32_t flags = (alt ? wc::MOD_ALT : 0u) | (ctrl ? wc::MOD_CONTROL : 0u) | (shift ? wc::MOD_SHIFT : 0u) |
                         (win ? wc::MOD_WIN : 0u);
  if (HotKeyID == 0) return false;
  hkCtrl = ctrl;
  hkAlt = alt;
  hkShift = shift;
  hkWinkwy = win;
  hkKey = key;
  lastErr.clear();
  ws().SetLastError(0);
  if (ws().RegisterHotKey(FormHandle, HotKeyID, flags, key)) return true;
  lastErr = ws().ErrorText(ws().GetLastError());
  AppendLog(L"UnitHotkey: " + lastErr);
  UnSet();
  return false;
}

bool TACHotKey::SetHotKey(bool Hotkey_Ctrl, bool Hotkey_Alt, bool Hotkey_Shift, bool Hotkey_Winkey,
                          uint16_t Hotkey_key) {
  ws().SetLastError(0);
  if (HotKeyID != 0) ws().UnregisterHotKey(FormHandle, HotKeyID);
  if (!RegisterKey(Hotkey_Ctrl, Hotkey_Alt, Hotkey_Shift, Hotkey_Winkey, Hotkey_key))
    throw TACHotKeyException(L"ERROR: Couldn't assign hotkey. It may already be assigned by another program. " +
                             lastErr);
  return true;
}

void TACHotKey::UnSet() {
  if (HotKeyID == 0) return;
  ws().UnregisterHotKey(FormHandle, HotKeyID);
  HotKeyID = 0;
}

}  // namespace tessary
