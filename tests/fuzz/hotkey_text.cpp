// The stored form of a hotkey as the settings file holds it (anyone may have edited it), read on a
// simulated desktop whose keyboard layout the input also chooses. Properties:
//  - any text reads as no hotkey (shorter than six characters), a conversion error (exactly when
//    the code is not four decimal digits and two hexadecimal ones) or the hotkey the code says;
//  - what was read writes back as the code in its one normal form, and that reads as the same;
//  - any record with a key below 256 writes a code that reads back as the same record;
//  - the display form is the modifiers that are exactly 1, in their order, then the key's name,
//    and it is valid exactly when there is both a modifier and a name.
#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "desktop/WindowSystem.h"
#include "hotkeys/UnitHotKeyText.h"
#include "platform/sim/SimDesktop.h"

namespace tessary::fuzz {
namespace {

int Digit(wchar_t c, int base) {
  int v = -1;
  if (c >= L'0' && c <= L'9') v = c - L'0';
  else if (c >= L'a' && c <= L'f') v = c - L'a' + 10;
  else if (c >= L'A' && c <= L'F') v = c - L'A' + 10;
  return v < base ? v : -1;
}

std::string Describe(const THotkeyData& h) {
  return std::to_string(h.alt) + std::to_string(h.ctrl) + std::to_string(h.shft) + std::to_string(h.win) + " key " +
         std::to_string(h.key) + " name " + Show(h.name);
}

bool Same(const THotkeyData& a, const THotkeyData& b) {
  return a.alt == b.alt && a.ctrl == b.ctrl && a.shft == b.shft && a.win == b.win && a.key == b.key && a.name == b.name;
}

std::wstring Display(const THotkeyData& h) { return THotkeyText::GetHumanReadable(h.alt, h.shft, h.ctrl, h.win, h.key); }

void CheckDisplay(uint8_t alt, uint8_t shift, uint8_t ctrl, uint8_t win, uint16_t vk) {
  bool valid = false;
  const std::wstring text = THotkeyText::GetHumanReadable(alt, shift, ctrl, win, vk, valid);
  std::wstring want;
  if (win == 1) want += L"WINKEY+";
  if (ctrl == 1) want += L"CTRL+";
  if (shift == 1) want += L"SHIFT+";
  if (alt == 1) want += L"ALT+";
  const std::wstring name = THotkeyText::KeyName(vk);
  FUZZ_CHECK(name.find(L'\0') == std::wstring::npos, "key " + std::to_string(vk) + " is named " + Show(name));
  const bool anyModifier = !want.empty();
  want += name;
  FUZZ_CHECK(text == want, "display of key " + std::to_string(vk) + ": " + Show(text) + ", expected " + Show(want));
  FUZZ_CHECK(valid == (anyModifier && !name.empty()), "validity of " + Show(text));
  FUZZ_CHECK(THotkeyText::GetHumanReadable(alt, shift, ctrl, win, vk) == text, "the two display forms differ");
}

void CheckStoredText(const std::wstring& s) {
  const std::optional<THotkeyData> read = THotkeyText::FromString(s);
  if (s.size() < 6) {
    FUZZ_CHECK(read && !read->alt && !read->ctrl && !read->shft && !read->win && read->key == 0 && read->name == L"none",
               "short text " + Show(s) + " is no hotkey");
    return;
  }
  int d[6];
  bool wellFormed = true;
  for (int i = 0; i < 6; ++i) {
    d[i] = Digit(s[static_cast<size_t>(i)], i < 4 ? 10 : 16);
    wellFormed = wellFormed && d[i] >= 0;
  }
  FUZZ_CHECK(read.has_value() == wellFormed, Show(s) + (wellFormed ? " did not convert" : " converted"));
  if (!read) return;
  FUZZ_CHECK(read->alt == (d[0] != 0) && read->ctrl == (d[1] != 0) && read->shft == (d[2] != 0) &&
                 read->win == (d[3] != 0) && read->key == d[4] * 16 + d[5],
             Show(s) + " read as " + Describe(*read));
  const std::wstring rest = s.substr(6);
  FUZZ_CHECK(read->name == (rest.empty() ? Display(*read) : rest), Show(s) + " named " + Show(read->name));

  // The normal form: modifiers as 0 or 1, the key in upper-case hexadecimal.
  std::wstring normal;
  for (int i = 0; i < 4; ++i) normal.push_back(d[i] != 0 ? L'1' : L'0');
  normal.push_back(L"0123456789ABCDEF"[d[4]]);
  normal.push_back(L"0123456789ABCDEF"[d[5]]);
  FUZZ_CHECK(THotkeyText::ToHKString(*read, true) == normal, Show(s) + " written as " + Show(THotkeyText::ToHKString(*read, true)));
  const std::optional<THotkeyData> again = THotkeyText::FromString(THotkeyText::ToHKString(*read, false));
  FUZZ_CHECK(again && Same(*again, *read), Show(s) + " written with its name and read again");
}

void CheckRecord(FuzzedDataProvider& in) {
  THotkeyData h;
  h.alt = in.ConsumeBool();
  h.ctrl = in.ConsumeBool();
  h.shft = in.ConsumeBool();
  h.win = in.ConsumeBool();
  h.key = in.ConsumeIntegral<uint8_t>();  // virtual-key codes stay below 256
  const size_t nameLen = in.ConsumeIntegralInRange<size_t>(0, 8);
  for (size_t i = 0; i < nameLen; ++i) h.name.push_back(static_cast<wchar_t>(in.ConsumeIntegralInRange<uint32_t>(1, 0x10FFFF)));

  const std::wstring bare = THotkeyText::ToHKString(h, true);
  FUZZ_CHECK(bare.size() == 6, "code " + Show(bare) + " of " + Describe(h));
  const std::optional<THotkeyData> fromBare = THotkeyText::FromString(bare);
  THotkeyData want = h;
  want.name = Display(h);
  FUZZ_CHECK(fromBare && Same(*fromBare, want), Show(bare) + " read back as " + (fromBare ? Describe(*fromBare) : "error"));

  const std::wstring named = THotkeyText::ToHKString(h, false);
  FUZZ_CHECK(named == bare + h.name, "named code " + Show(named));
  const std::optional<THotkeyData> fromNamed = THotkeyText::FromString(named);
  if (!h.name.empty()) want.name = h.name;
  FUZZ_CHECK(fromNamed && Same(*fromNamed, want), Show(named) + " read back as " + (fromNamed ? Describe(*fromNamed) : "error"));
}

}  // namespace
}  // namespace tessary::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessary;
  using namespace tessary::fuzz;
  sim::SimDesktop sim;
  SetWindowSystem(&sim);
  FuzzedDataProvider in(data, size);

  // The text comes first, as the seeds hold it (UTF-8, one character a unit); the rest of the
  // input picks a layout and a record.
  std::wstring text;
  {
    const std::string raw = in.ConsumeRandomLengthString(24);
    for (unsigned char c : raw) text.push_back(static_cast<wchar_t>(c));
  }

  // A few keys of a layout the user has: any answer MapVirtualKeyW may give, dead-key bit included.
  const int layoutKeys = in.ConsumeIntegralInRange(0, 3);
  for (int i = 0; i < layoutKeys; ++i) {
    const uint32_t vk = in.ConsumeIntegral<uint8_t>();
    uint32_t answer = in.ConsumeIntegral<uint16_t>();
    if (in.ConsumeBool()) answer |= 0x80000000u;
    sim.SetLayoutChar(vk, answer);
  }

  CheckStoredText(text);
  CheckRecord(in);
  CheckDisplay(in.ConsumeIntegral<uint8_t>() % 3, in.ConsumeIntegral<uint8_t>() % 3, in.ConsumeIntegral<uint8_t>() % 3,
               in.ConsumeIntegral<uint8_t>() % 3, in.ConsumeIntegral<uint16_t>());
  SetWindowSystem(nullptr);
  return 0;
}
