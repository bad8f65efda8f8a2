// The stored and display forms of a hotkey, and what reading a stored form makes of any text.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "../core/CoreFixture.h"
#include "hotkeys/UnitHotKeyText.h"

namespace tessary::test {
namespace {

class HotkeyTextTest : public CoreFixture {};

THotkeyData Hotkey(bool alt, bool ctrl, bool shft, bool win, uint16_t key, std::wstring name = L"") {
  THotkeyData h;
  h.alt = alt;
  h.ctrl = ctrl;
  h.shft = shft;
  h.win = win;
  h.key = key;
  h.name = std::move(name);
  return h;
}

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

TEST_F(HotkeyTextTest, StoredAndDisplayFormsOfTheUsualCombinations) {
  struct Case {
    THotkeyData hotkey;
    const wchar_t* stored;
    const wchar_t* display;
    bool valid;
  };
  const Case cases[] = {
      {Hotkey(true, true, false, false, 37), L"110025", L"CTRL+ALT+LEFT", true},
      {Hotkey(false, false, true, true, 78), L"00114E", L"WINKEY+SHIFT+N", true},
      {Hotkey(true, true, true, true, 0x27), L"111127", L"WINKEY+CTRL+SHIFT+ALT+RIGHT", true},
      {Hotkey(false, false, false, false, 0x74), L"000074", L"F5", false},  // no modifier
      {Hotkey(false, true, false, false, 99), L"010063", L"CTRL+NUMPAD 3", true},
      {Hotkey(false, true, false, false, 123), L"01007B", L"CTRL+F12", true},
      {Hotkey(false, true, false, false, 124), L"01007C", L"CTRL+", false},  // F13 has no name
      {Hotkey(false, true, false, false, 44), L"01002C", L"CTRL+", false},   // Print Screen neither
      {Hotkey(false, true, false, false, 42), L"01002A", L"CTRL+PRINT", true},
      {Hotkey(false, true, false, false, 108), L"01006C", L"CTRL+", false},  // the separator key
      {Hotkey(false, false, false, true, 0xBA), L"0001BA", L"WINKEY+;", true},
      {Hotkey(true, false, false, false, 0xDC), L"1000DC", L"ALT+\\", true},
      {Hotkey(false, false, false, false, 0), L"000000", L"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.stored));
    EXPECT_EQ(THotkeyText::ToHKString(c.hotkey, true), c.stored);
    bool valid = !c.valid;
    const THotkeyData& h = c.hotkey;
    EXPECT_EQ(THotkeyText::GetHumanReadable(h.alt, h.shft, h.ctrl, h.win, h.key, valid), c.display);
    EXPECT_EQ(valid, c.valid);
    // And back: the same record, named by its display form.
    const std::optional<THotkeyData> read = THotkeyText::FromString(c.stored);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(THotkeyText::ToHKString(*read, true), c.stored);
    EXPECT_EQ(read->name, c.display);
  }
}

TEST_F(HotkeyTextTest, TheNameFollowsTheCodeOnlyWhenAsked) {
  const THotkeyData h = Hotkey(true, true, false, false, 37, L"Left");
  EXPECT_EQ(THotkeyText::ToHKString(h, false), L"110025Left");
  EXPECT_EQ(THotkeyText::ToHKString(h, true), L"110025");
  const std::optional<THotkeyData> read = THotkeyText::FromString(L"110025Left");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->name, L"Left") << "a stored name is taken as it is";
  EXPECT_EQ(read->key, 37);
}

TEST_F(HotkeyTextTest, AnyTextReadsAsAHotkeyNoHotkeyOrAConversionError) {
  struct Case {
    const wchar_t* text;
    bool converts;
    const wchar_t* name;  // when it converts
  };
  const Case cases[] = {
      {L"", true, L"none"},           {L"11002", true, L"none"},
      {L"110025", true, L"CTRL+ALT+LEFT"}, {L"11002a", true, L"CTRL+ALT+PRINT"},
      {L"1100ff", true, L"CTRL+ALT+"},          {L"x10025", false, nullptr},
      {L"11 025", false, nullptr},     {L"1100G5", false, nullptr},
      {L"11002-", false, nullptr},     {L"\x0661\x0031\x0030\x0030\x0032\x0035", false, nullptr},
      {L"110025\r\n", true, L"\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    const std::optional<THotkeyData> read = THotkeyText::FromString(c.text);
    ASSERT_EQ(read.has_value(), c.converts);
    if (c.converts) {
      EXPECT_EQ(read->name, c.name);
    }
  }
  // Lower-case hexadecimal reads as upper-case; a short text is no hotkey at all.
  EXPECT_EQ(THotkeyText::FromString(L"11002a")->key, 0x2A);
  const THotkeyData none = *THotkeyText::FromString(L"1100");
  EXPECT_FALSE(none.alt || none.ctrl || none.shft || none.win);
  EXPECT_EQ(none.key, 0);
}

// A digit other than 0 or 1 is a modifier that is on: it shows as on and registers as on, so the
// display never hides a modifier the registration uses.
TEST_F(HotkeyTextTest, AnyNonZeroModifierDigitIsOnAndShows) {
  const THotkeyData h = *THotkeyText::FromString(L"200025");
  EXPECT_TRUE(h.alt);
  EXPECT_EQ(h.name, L"ALT+LEFT");
  EXPECT_EQ(THotkeyText::ToHKString(h, true), L"100025");
}

TEST_F(HotkeyTextTest, LettersDigitsAndPunctuationComeFromTheKeyboardLayout) {
  // A German layout: the key right of L gives an o-umlaut, the one left of 1 a dead circumflex.
  sim.SetLayoutChar(0xC0, 0xF6);
  sim.SetLayoutChar(0xDC, 0x8000005E);
  sim.SetLayoutChar('Z', 'y');
  EXPECT_EQ(THotkeyText::GetHumanReadable(0, 0, 1, 0, 0xC0), std::wstring(L"CTRL+") + wchar_t{0xF6});
  EXPECT_EQ(THotkeyText::GetHumanReadable(0, 0, 1, 0, 0xDC), L"CTRL+^") << "the dead-key bit is dropped";
  EXPECT_EQ(THotkeyText::GetHumanReadable(0, 0, 1, 0, 'Z'), L"CTRL+Y") << "ASCII letters upper-cased";
  EXPECT_EQ(THotkeyText::GetHumanReadable(0, 0, 1, 0, '7'), L"CTRL+7");
}

// A layout without a character for the key (MapVirtualKeyW answers 0), or one whose low byte is 0,
// leaves the key without a name: no invisible zero character, and no valid hotkey with it.
TEST_F(HotkeyTextTest, AKeyTheLayoutGivesNoCharacterHasNoName) {
  sim.SetLayoutChar('W', 0);
  sim.SetLayoutChar(0xBA, 0x0100);  // A-macron: its low byte is 0
  sim.SetLayoutChar(0xDE, 0x80000000);
  for (uint16_t vk : {uint16_t{'W'}, uint16_t{0xBA}, uint16_t{0xDE}}) {
    SCOPED_TRACE(vk);
    EXPECT_EQ(THotkeyText::KeyName(vk), L"");
    bool valid = true;
    EXPECT_EQ(THotkeyText::GetHumanReadable(0, 0, 1, 0, vk, valid), L"CTRL+");
    EXPECT_FALSE(valid);
  }
  EXPECT_EQ(THotkeyText::KeyName('Q'), L"Q") << "the other keys keep their names";
}

}  // namespace
}  // namespace tessary::test
