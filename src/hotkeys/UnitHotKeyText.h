// The two text forms of a hotkey: the stored form ("110025": alt, ctrl, shift, win as digits, the
// virtual key in hexadecimal, optionally a display name after it) that the settings file holds,
// and the display form ("CTRL+ALT+LEFT") the user sees. The key names of letters, digits and
// punctuation come from the user's current keyboard layout.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/UnitSharedTypes.h"

namespace tessary {

class THotkeyText {
 public:
  THotkeyText() = delete;

  // The stored form; with noName false the record's name follows the code.
  static std::wstring ToHKString(const THotkeyData& hkd, bool NoName);
  // Reads the stored form. Fewer than six characters: no hotkey (name "none"). Six or more whose
  // first four are not decimal digits or whose next two are not hexadecimal digits: nullopt (the
  // caller decides). Without a name after the code the name is the display form.
  static std::optional<THotkeyData> FromString(const std::wstring& s);
  // The display form; valid: at least one modifier and a key with a name. A modifier shows only
  // when its value is exactly 1.
  static std::wstring GetHumanReadable(uint8_t kAlt, uint8_t kShift, uint8_t kCtrl, uint8_t kWinkey, uint16_t VKCode,
                                       bool& Valid);
  static std::wstring GetHumanReadable(uint8_t kAlt, uint8_t kShift, uint8_t kCtrl, uint8_t kWinkey, uint16_t VKCode);
  // The key's name, empty for a key without one.
  static std::wstring KeyName(uint16_t VKCode);
};

}  // namespace tessary
