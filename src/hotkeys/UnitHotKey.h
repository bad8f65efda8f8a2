// One system-wide hotkey registered for a window: while the object exists and is registered,
// the combination pressed anywhere posts WM_HOTKEY with the object's id to that window. Ids are
// never reused within a process. Changing a hotkey is destroying the object and making a new one.
//
// User-interface thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "core/UnitSharedTypes.h"
#include "desktop/WindowSystem.h"
#include "util/UnitError.h"

namespace tessary {

class TACHotKeyException : public TWideError {
 public:
  using TWideError::TWideError;
};

class TACHotKey {
 public:
  // Registers the combination; throws TACHotKeyException when the system refuses it (another
  // program holds it, say). UniqueName is not used; callers name the hotkey by its settings key.
  TACHotKey(WindowHandle FormHandle, const std::wstring& UniqueName, bool Hotkey_Ctrl, bool Hotkey_Alt,
            bool Hotkey_Shift, bool Hotkey_Winkey, uint16_t Hotkey_key);
  ~TACHotKey();
  TACHotKey(const TACHotKey&) = delete;
  TACHotKey& operator=(const TACHotKey&) = delete;

  // Registers the same object with another combination; throws TACHotKeyException on refusal,
  // after which the object stays unregistered for good.
  bool SetHotKey(bool Hotkey_Ctrl, bool Hotkey_Alt, bool Hotkey_Shift, bool Hotkey_Winkey, uint16_t Hotkey_key);
  void UnSet();
  // The low 16 bits of the id WM_HOTKEY carries; 0 when not registered.
  uint16_t GetID() const { return static_cast<uint16_t>(HotKeyID & 0xFFFF); }
  const std::wstring& getLastErr() const { return lastErr; }

  // For test fixtures: ids start at 1 again, as in a new process.
  static void ResetIds();

 private:
  bool RegisterKey(bool ctrl, bool alt, bool shift, bool win, uint16_t key);

  WindowHandle FormHandle;
  int32_t HotKeyID = 0;
  bool hkCtrl = false, hkAlt = false, hkShift = false, hkWinkwy = false;
  uint16_t hkKey = 0;
  std::wstring lastErr;
};

// One of the program's hotkeys: the combination as configured and, while it is enabled and the
// system took it, its registration. Destroying the item releases the registration.
class THotkeyItem {
 public:
  explicit THotkeyItem(THotkeyData data) : hkd(std::move(data)) {}
  THotkeyData hkd;
  std::unique_ptr<TACHotKey> hk;
  // The id of the registration hk replaced: a press already waiting when it was replaced still
  // arrives with it. Ids are never reused, so it can name nothing else.
  uint16_t replacedId = 0;
};

}  // namespace tessary
