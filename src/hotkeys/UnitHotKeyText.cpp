#include "hotkeys/UnitHotKeyText.h"

#include <cwchar>

#include "desktop/WindowSystem.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

int DigitValue(wchar_t c, int base) {
  int v = -1;
  if (c >= L'0' && c <= L'9') v = c - L'0';
  else if (c >= L'A' && c <= L'F') v = c - L'A' + 10;
  else if (c >= L'a' && c <= L'f') v = c - L'a' + 10;
  return v < base ? v : -1;
}

// The unshifted character the layout gives the key, one byte of it, ASCII letters upper-cased.
// A zero byte is no character: such a key has no name, rather than a name nobody sees.
std::wstring LayoutChar(uint16_t vk) {
  const uint32_t answer = ws().MapVirtualKeyW(vk, wc::MAPVK_VK_TO_CHAR);
  wchar_t c = static_cast<wchar_t>(answer & 0xFF);
  if (c == 0) return L"";
  if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  return std::wstring(1, c);
}

}  // namespace

std::wstring THotkeyText::KeyName(uint16_t vk) {
  switch (vk) {
    case 0x08: return L"BACKSPACE";
    case 0x09: return L"TAB";
    case 0x0D: return L"ENTER";
    case 0x13: return L"PAUSE";
    case 0x1B: return L"ESCAPE";
    case 0x20: return L"SPACE";
    case 0x21: return L"PAGEUP";
    case 0x22: return L"PAGEDOWN";
    case 0x23: return L"END";
    case 0x24: return L"HOME";
    case 0x25: return L"LEFT";
    case 0x26: return L"UP";
    case 0x27: return L"RIGHT";
    case 0x28: return L"DOWN";
    case 0x2A: return L"PRINT";
    case 0x2D: return L"INSERT";
    case 0x2E: return L"DELETE";
    case 0x6A: return L"MULTIPLY";
    case 0x6B: return L"ADD";
    case 0x6D: return L"SUBTRACT";
    case 0x6E: return L"DECIMAL";
    case 0x6F: return L"DIVIDE";
    case 0x90: return L"NUMLOCK";
    default: break;
  }
  if ((vk >= 0x30 && vk <= 0x39) || (vk >= 0x41 && vk <= 0x5A) || (vk >= 0xBA && vk <= 0xC0) ||
      (vk >= 0xDB && vk <= 0xDE))
    return LayoutChar(vk);
  if (vk >= 0x60 && vk <= 0x69) return L"NUMPAD " + IntText(vk - 0x60);
  if (vk >= 0x70 && vk <= 0x7B) return L"F" + IntText(vk - 0x6F);
  return L"";
}

std::wstring THotkeyText::GetHumanReadable(uint8_t kAlt, uint8_t kShift, uint8_t kCtrl, uint8_t kWinkey,
                                           uint16_t VKCode, bool& Valid) {
  std::wstring text;
  bool anyModifier = false;
  for (const auto& [value, prefix] : {std::pair{kWinkey, L"WINKEY+"}, std::pair{kCtrl, L"CTRL+"},
                                      std::pair{kShift, L"SHIFT+"}, std::pair{kAlt, L"ALT+"}}) {
    if (value != 1) continue;
    text += prefix;
    anyModifier = true;
  }
  const std::wstring name = KeyName(VKCode);
  text += name;
  Valid = anyModifier && !name.empty();
  return text;
}

std::wstring THotkeyText::GetHumanReadable(uint8_t kAlt, uint8_t kShift, uint8_t kCtrl, uint8_t kWinkey,
                                           uint16_t VKCode) {
  bool valid = false;
  return GetHumanReadable(kAlt, kShift, kCtrl, kWinkey, VKCode, valid);
}

std::wstring THotkeyText::ToHKString(const THotkeyData& hkd, bool NoName) {
  const std::wstring key = HexText(hkd.key, 2, true);
  std::wstring s = IntText(hkd.alt) + IntText(hkd.ctrl) + IntText(hkd.shft) +
                   IntText(hkd.win) + key;
  if (!NoName) s += hkd.name;
  return s;
}

std::optional<THotkeyData> THotkeyText::FromString(const std::wstring& s) {
  THotkeyData hkd;
  hkd.name = L"none";
  if (s.size() < 6) return hkd;
  int digits[4];
  for (int i = 0; i < 4; ++i) {
    digits[i] = DigitValue(s[static_cast<size_t>(i)], 10);
    if (digits[i] < 0) return std::nullopt;
  }
  const int high = DigitValue(s[4], 16), low = DigitValue(s[5], 16);
  if (high < 0 || low < 0) return std::nullopt;
  hkd.alt = digits[0] != 0;
  hkd.ctrl = digits[1] != 0;
  hkd.shft = digits[2] != 0;
  hkd.win = digits[3] != 0;
  hkd.key = static_cast<uint16_t>(high * 16 + low);
  hkd.name = s.substr(6);
  if (hkd.name.empty()) hkd.name = GetHumanReadable(hkd.alt, hkd.shft, hkd.ctrl, hkd.win, hkd.key);
  return hkd;
}

}  // namespace tessary
