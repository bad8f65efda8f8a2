// The INI document: whatever bytes it reads it writes back unchanged, reads values as the program
// expects them, and a value set changes that value only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "unit/portable/ByteText.h"
#include "util/UnitIniFile.h"

namespace tessary {
namespace {

using test::B;
using test::Bytes;
using test::Show;

using Enc = TIniDocument::Encoding;

// A literal with NUL bytes in it.
template <size_t N>
Bytes Raw(const char (&s)[N]) {
  return Bytes(s, s + N - 1);
}


// Text as UTF-16 LE or BE with BOM; every wchar_t below 0x10000 is one unit here.
Bytes Utf16(const std::wstring& text, bool bigEndian = false) {
  Bytes b = bigEndian ? Bytes{0xFE, 0xFF} : Bytes{0xFF, 0xFE};
  for (wchar_t c : text) {
    const auto u = static_cast<uint32_t>(c);
    const uint8_t lo = static_cast<uint8_t>(u & 0xFF), hi = static_cast<uint8_t>(u >> 8);
    b.push_back(bigEndian ? hi : lo);
    b.push_back(bigEndian ? lo : hi);
  }
  return b;
}

// Deterministic noise with every byte value, CR, LF, '[' and '=' among it.
Bytes Garbage(size_t n, uint32_t seed) {
  Bytes b;
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    b.push_back(static_cast<uint8_t>(seed >> 16));
  }
  return b;
}

// ---------------------------------------------------------------- reading and writing back

struct RoundTripCase {
  const char* name;
  Bytes bytes;
  Enc encoding;
  bool bom;
};
void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, WritesBackEveryByteAndKnowsTheEncoding) {
  const RoundTripCase& c = GetParam();
  const TIniDocument doc = TIniDocument::Parse(c.bytes);
  EXPECT_EQ(doc.GetEncoding(), c.encoding);
  EXPECT_EQ(doc.HasBom(), c.bom);
  EXPECT_EQ(Show(doc.Serialize()), Show(c.bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RoundTrip,
    ::testing::Values(
        RoundTripCase{"empty", {}, Enc::Utf8, false},
        RoundTripCase{"plain_crlf", B("[Main]\r\ncbAutoClose=1\r\n\r\n[Hidden]\r\nTopProgramsIntervalMS=10000\r\n"),
                      Enc::Utf8, false},
        RoundTripCase{"utf8_bom_lf_no_final_newline", B("\xEF\xBB\xBF[Main]\nseDelay = 3000"), Enc::Utf8, true},
        RoundTripCase{"utf8_letters_and_4_byte", B("; caf\xC3\xA9 \xF0\x9F\x98\x80\r\n[Main]\r\n"), Enc::Utf8, false},
        RoundTripCase{"latin1_letter", B("; caf\xE9\r\n[Main]\r\n"), Enc::Latin1, false},
        RoundTripCase{"overlong_nul_is_latin1", B("a=\xC0\x80"), Enc::Latin1, false},
        RoundTripCase{"encoded_surrogate_is_latin1", B("a=\xED\xA0\x80"), Enc::Latin1, false},
        RoundTripCase{"beyond_10FFFF_is_latin1", B("a=\xF4\x90\x80\x80"), Enc::Latin1, false},
        RoundTripCase{"cut_sequence_at_end_is_latin1", B("a=\xE2\x82"), Enc::Latin1, false},
        RoundTripCase{"bom_then_invalid_utf8", B("\xEF\xBB\xBF[Main]\r\n; \xE9t\xE9\r\n"), Enc::Latin1, true},
        RoundTripCase{"utf16le_with_pair", Utf16(L"[Main]\r\n; \xD83D\xDE00 \x3A9\r\nseDelay=3000\r\n"),
                      Enc::Utf16LE, true},
        RoundTripCase{"utf16le_lone_surrogates_and_odd_byte",
                      [] {
                        Bytes b = Utf16(L"; \xD800 x \xDC00\n[Main]");
                        b.push_back(0x41);
                        return b;
                      }(),
                      Enc::Utf16LE, true},
        RoundTripCase{"utf16be", Utf16(L"[Main]\r\nseDelay=3000\r\n", true), Enc::Utf16BE, true},
        RoundTripCase{"bom_only_utf16", Bytes{0xFF, 0xFE}, Enc::Utf16LE, true},
        RoundTripCase{"nul_bytes_lone_cr_mixed_ends", Raw("[Main]\ra=1\n\0\0b=2\r\n\r\r\n"), Enc::Utf8,
                      false},
        RoundTripCase{"lone_bracket_and_no_equals", B("[\r\n]\r\nnothing here\r\n=5\r\n"), Enc::Utf8, false},
        RoundTripCase{"binary_garbage", Garbage(4096, 7), Enc::Latin1, false}));

// ---------------------------------------------------------------- finding values

struct GetCase {
  const char* name;
  Bytes bytes;
  const wchar_t* section;
  const wchar_t* key;
  std::optional<std::wstring> value;
};
void PrintTo(const GetCase& c, std::ostream* os) { *os << c.name; }

class Get : public ::testing::TestWithParam<GetCase> {};

TEST_P(Get, FindsTheValueAsWindowsWould) {
  const GetCase& c = GetParam();
  EXPECT_EQ(TIniDocument::Parse(c.bytes).Get(c.section, c.key), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, Get,
    ::testing::Values(
        GetCase{"plain", B("[Main]\r\nseDelay=3000\r\n"), L"Main", L"seDelay", L"3000"},
        GetCase{"case_of_section_and_key", B("[MAIN]\r\nSEDELAY=3000\r\n"), L"main", L"sedelay", L"3000"},
        GetCase{"blanks_around_everything", B("  [ Main ]\t\r\n \t seDelay \t= \t3000 \t\r\n"), L"Main", L"seDelay",
                L"3000"},
        GetCase{"first_of_duplicate_keys", B("[Main]\na=1\na=2\n"), L"Main", L"a", L"1"},
        GetCase{"key_in_a_repeated_section", B("[Main]\nb=1\n[Other]\na=9\n[main]\na=2\n"), L"Main", L"a", L"2"},
        GetCase{"first_section_wins_over_repeat", B("[Main]\na=1\n[Main]\na=2\n"), L"Main", L"a", L"1"},
        GetCase{"comments_are_no_keys", B("[Main]\n;a=1\n  # a=2\na=3\n"), L"Main", L"a", L"3"},
        GetCase{"key_of_another_section", B("[Other]\na=1\n[Main]\n"), L"Main", L"a", std::nullopt},
        GetCase{"key_before_any_section", B("a=1\n[Main]\n"), L"Main", L"a", std::nullopt},
        GetCase{"unclosed_header_is_no_section", B("[Main\na=1\n"), L"Main", L"a", std::nullopt},
        GetCase{"lone_bracket_keeps_section", B("[Main]\n[\na=1\n"), L"Main", L"a", L"1"},
        GetCase{"text_after_header", B("[Main] ; settings\na=1\n"), L"Main", L"a", L"1"},
        GetCase{"empty_value", B("[Main]\na=\n"), L"Main", L"a", L""},
        GetCase{"quotes_stripped", B("[Main]\na=\" 5 \"\n"), L"Main", L"a", L" 5 "},
        GetCase{"equals_in_value", B("[Main]\na=b=c\n"), L"Main", L"a", L"b=c"},
        GetCase{"line_without_equals_skipped", B("[Main]\nseDelay\nseDelay=1\n"), L"Main", L"seDelay", L"1"},
        GetCase{"empty_key_is_none", B("[Main]\n=5\n"), L"Main", L"", std::nullopt},
        GetCase{"latin1_letters_fold", B("[\xC4\xD6\xDC]\nK\xC9Y=1\n"), L"\xE4\xF6\xFC", L"k\xE9y", L"1"},
        GetCase{"cyrillic_letters_fold", B("[\xD0\x93\xD0\x9B\xD0\x81]\na=1\n"), L"\x433\x43B\x451", L"A", L"1"},
        GetCase{"utf16_value", Utf16(L"[Main]\r\nMOVELEFT_HOTKEY=ctrl+alt+\x3A9\r\n"), L"Main", L"MoveLeft_Hotkey",
                L"ctrl+alt+\x3A9"},
        GetCase{"latin1_value", B("[Main]\na=caf\xE9\n"), L"Main", L"a", L"caf\xE9"},
        GetCase{"nul_inside_key_no_match", Raw("[Main]\nse\0Delay=1\n"), L"Main", L"seDelay",
                std::nullopt},
        GetCase{"lone_cr_separates_lines", B("[Main]\ra=1\r"), L"Main", L"a", L"1"}));

// ---------------------------------------------------------------- numbers

struct IntCase {
  const wchar_t* text;
  std::optional<int32_t> value;
};
void PrintTo(const IntCase& c, std::ostream* os) {
  *os << '"';
  for (const wchar_t* p = c.text; *p; ++p) *os << (*p < 0x80 ? static_cast<char>(*p) : '?');
  *os << '"';
}

class Integer : public ::testing::TestWithParam<IntCase> {};

TEST_P(Integer, ReadsDecimalAndHexWithinThirtyTwoBits) {
  EXPECT_EQ(ParseIniInteger(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Integer,
    ::testing::Values(IntCase{L"0", 0}, IntCase{L"2000", 2000}, IntCase{L"  42 \t", 42}, IntCase{L"-7", -7},
                      IntCase{L"+15", 15}, IntCase{L"007", 7}, IntCase{L"2147483647", INT32_MAX},
                      IntCase{L"2147483648", std::nullopt}, IntCase{L"-2147483648", INT32_MIN},
                      IntCase{L"-2147483649", std::nullopt}, IntCase{L"99999999999999999999999", std::nullopt},
                      IntCase{L"0x10", 16}, IntCase{L"0X1f", 31}, IntCase{L"$FF", 255}, IntCase{L" $10 ", 16},
                      IntCase{L"0x7FFFFFFF", INT32_MAX}, IntCase{L"$FFFFFFFF", -1},
                      IntCase{L"0x000000010", 16}, IntCase{L"0x100000000", std::nullopt},
                      IntCase{L"0x", std::nullopt}, IntCase{L"$", std::nullopt}, IntCase{L"0xG", std::nullopt},
                      IntCase{L"-0x10", std::nullopt}, IntCase{L"", std::nullopt}, IntCase{L"   ", std::nullopt},
                      IntCase{L"abc", std::nullopt}, IntCase{L"12abc", std::nullopt}, IntCase{L"1 2", std::nullopt},
                      IntCase{L"-", std::nullopt}, IntCase{L"--1", std::nullopt}, IntCase{L"- 1", std::nullopt},
                      IntCase{L"1.5", std::nullopt}, IntCase{L"1e3", std::nullopt},
                      IntCase{L"\xFF11\xFF12", std::nullopt}));

TEST(IniValues, MissingKeysAndNonNumbersGiveTheDefaultAndAnyNonZeroIsTrue) {
  const TIniDocument doc =
      TIniDocument::Parse(B("[Main]\nzero=0\none=1\nfive=5\nminus=-1\nword=yes\nhex=$0\nblank=\n"));
  EXPECT_EQ(doc.ReadInteger(L"Main", L"five", 9), 5);
  EXPECT_EQ(doc.ReadInteger(L"Main", L"word", 9), 9);
  EXPECT_EQ(doc.ReadInteger(L"Main", L"blank", 9), 9);
  EXPECT_EQ(doc.ReadInteger(L"Main", L"missing", 9), 9);
  EXPECT_EQ(doc.ReadInteger(L"Nowhere", L"five", 9), 9);
  EXPECT_FALSE(doc.ReadBool(L"Main", L"zero", true));
  EXPECT_FALSE(doc.ReadBool(L"Main", L"hex", true));
  EXPECT_TRUE(doc.ReadBool(L"Main", L"one", false));
  EXPECT_TRUE(doc.ReadBool(L"Main", L"five", false));
  EXPECT_TRUE(doc.ReadBool(L"Main", L"minus", false));
  EXPECT_TRUE(doc.ReadBool(L"Main", L"word", true));
  EXPECT_FALSE(doc.ReadBool(L"Main", L"word", false));
  EXPECT_TRUE(doc.ReadBool(L"Main", L"missing", true));
  EXPECT_EQ(doc.ReadString(L"Main", L"missing", L"d"), L"d");
}

// ---------------------------------------------------------------- setting values

struct SetCase {
  const char* name;
  Bytes before;
  const wchar_t* section;
  const wchar_t* key;
  std::wstring value;
  Bytes after;
};
void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name; }

class Set : public ::testing::TestWithParam<SetCase> {};

TEST_P(Set, ChangesOnlyThatValue) {
  const SetCase& c = GetParam();
  TIniDocument doc = TIniDocument::Parse(c.before);
  doc.Set(c.section, c.key, c.value);
  EXPECT_EQ(Show(doc.Serialize()), Show(c.after));
  std::wstring expected = c.value;
  for (wchar_t& ch : expected)
    if (ch == L'\r' || ch == L'\n') ch = L' ';
  EXPECT_EQ(TIniDocument::Parse(doc.Serialize()).Get(c.section, c.key), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, Set,
    ::testing::Values(
        SetCase{"new_document", {}, L"Hidden", L"TopProgramsIntervalMS", L"10000",
                B("[Hidden]\r\nTopProgramsIntervalMS=10000\r\n")},
        SetCase{"value_replaced_key_spelling_and_blanks_kept", B("[main]\r\n  SEDELAY = 3000 \r\n; c\r\n"), L"Main",
                L"seDelay", L"4000", B("[main]\r\n  SEDELAY = 4000\r\n; c\r\n")},
        SetCase{"first_duplicate_changed", B("[Main]\na=1\na=2\n"), L"Main", L"a", L"5", B("[Main]\na=5\na=2\n")},
        SetCase{"added_after_last_key_before_comment_and_blank",
                B("[Main]\na=1\n; about Other\n\n[Other]\nx=1\n"), L"Main", L"b", L"2",
                B("[Main]\na=1\nb=2\n; about Other\n\n[Other]\nx=1\n")},
        SetCase{"added_to_first_of_repeated_sections", B("[Main]\na=1\n[Main]\nc=3\n"), L"main", L"b", L"2",
                B("[Main]\na=1\nb=2\n[Main]\nc=3\n")},
        SetCase{"added_under_header_of_empty_section", B("[Main]\r\n[Other]\r\n"), L"Main", L"b", L"2",
                B("[Main]\r\nb=2\r\n[Other]\r\n")},
        SetCase{"added_to_last_line_without_end", B("[Main]\na=1"), L"Main", L"b", L"2", B("[Main]\na=1\nb=2\n")},
        SetCase{"section_appended_with_file_line_end", B("[Other]\nx=1"), L"Main", L"b", L"2",
                B("[Other]\nx=1\n\n[Main]\nb=2\n")},
        SetCase{"section_appended_after_blank_line", B("; only a comment\r\n\r\n"), L"Main", L"b", L"2",
                B("; only a comment\r\n\r\n[Main]\r\nb=2\r\n")},
        SetCase{"no_line_end_anywhere_gives_crlf", B("x"), L"Main", L"b", L"2", B("x\r\n\r\n[Main]\r\nb=2\r\n")},
        SetCase{"line_breaks_in_value_become_blanks", B("[Main]\r\na=1\r\n"), L"Main", L"a", L"x\r\ny",
                B("[Main]\r\na=x  y\r\n")},
        SetCase{"commented_key_not_taken", B("[Main]\n;seDelay=1\n"), L"Main", L"seDelay", L"2",
                B("[Main]\nseDelay=2\n;seDelay=1\n")},
        SetCase{"utf16_stays_utf16", Utf16(L"[Main]\r\n; \x3A9\r\na=1\r\n"), L"Main", L"a", L"2",
                Utf16(L"[Main]\r\n; \x3A9\r\na=2\r\n")},
        SetCase{"utf16be_stays_utf16be", Utf16(L"[Main]\r\na=1\r\n", true), L"Main", L"b", L"2",
                Utf16(L"[Main]\r\na=1\r\nb=2\r\n", true)},
        SetCase{"utf8_bom_kept", B("\xEF\xBB\xBF[Main]\r\na=1\r\n"), L"Main", L"a", L"0",
                B("\xEF\xBB\xBF[Main]\r\na=0\r\n")},
        SetCase{"latin1_stays_latin1", B("; caf\xE9\n[Main]\na=1\n"), L"Main", L"a", L"2",
                B("; caf\xE9\n[Main]\na=2\n")},
        SetCase{"latin1_becomes_utf8_for_a_value_it_cannot_hold", B("; caf\xE9\n[Main]\na=1\n"), L"Main", L"a",
                L"\x3A9", B("; caf\xC3\xA9\n[Main]\na=\xCE\xA9\n")},
        // Mixed line ends: a lone CR and an added line's LF must not read back as one CR LF.
        SetCase{"blank_line_after_a_lone_cr_stays_a_line", B("x=1\n[Other]\ny=2\r"), L"Main", L"b", L"2",
                B("x=1\n[Other]\ny=2\r\r\n[Main]\nb=2\n")},
        SetCase{"line_added_before_an_empty_line_ending_in_lf", B("[Main]\ra=1\n\n[Other]\r"), L"Main", L"b", L"2",
                B("[Main]\ra=1\nb=2\r\n\n[Other]\r")}));

TEST(IniSet, BinaryGarbageKeepsEveryByteAndGainsTheSection) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    const Bytes before = Garbage(3000, seed);
    TIniDocument doc = TIniDocument::Parse(before);
    doc.WriteInteger(L"Hidden", L"TopProgramsIntervalMS", 10000);
    doc.WriteBool(L"Main", L"cbAutoClose", true);
    const Bytes after = doc.Serialize();
    ASSERT_GT(after.size(), before.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin())) << "seed " << seed;
    const TIniDocument back = TIniDocument::Parse(after);
    EXPECT_EQ(back.ReadInteger(L"Hidden", L"TopProgramsIntervalMS", 0), 10000);
    EXPECT_TRUE(back.ReadBool(L"Main", L"cbAutoClose", false));
  }
}

// A Latin-1 file whose only byte that is no UTF-8 is replaced: the rest, written as Latin-1, would
// read back as UTF-8 and "\xC3\xA9" (two characters) as one; so it is written as UTF-8.
TEST(IniSet, ALatin1FileThatWouldReadBackAsUtf8IsWrittenAsUtf8) {
  TIniDocument doc = TIniDocument::Parse(B("[Main]\na=\xFF\nb=\xC3\xA9\n"));
  ASSERT_EQ(doc.GetEncoding(), Enc::Latin1);
  doc.Set(L"Main", L"a", L"1");
  EXPECT_EQ(doc.GetEncoding(), Enc::Utf8);
  EXPECT_EQ(Show(doc.Serialize()), Show(B("[Main]\na=1\nb=\xC3\x83\xC2\xA9\n")));
  EXPECT_EQ(TIniDocument::Parse(doc.Serialize()).Get(L"Main", L"b"), L"\xC3\xA9");

  // Without such bytes, or with some left that are no UTF-8, it stays Latin-1.
  for (const Bytes& before : {B("[Main]\na=\xFF\nb=x\n"), B("[Main]\na=\xFF\nb=\xC3\xA9\xFF\n")}) {
    SCOPED_TRACE(Show(before));
    TIniDocument other = TIniDocument::Parse(before);
    other.Set(L"Main", L"a", L"1");
    EXPECT_EQ(other.GetEncoding(), Enc::Latin1);
    Bytes expected = before;
    expected.erase(expected.begin() + 9);
    expected.insert(expected.begin() + 9, '1');
    EXPECT_EQ(Show(other.Serialize()), Show(expected));
  }
}

TEST(IniSet, NumbersAndBooleansAreWrittenInDecimalAndAsOneOrZero) {
  TIniDocument doc;
  doc.WriteInteger(L"Main", L"seDelay", -2500);
  doc.WriteBool(L"Main", L"on", true);
  doc.WriteBool(L"Main", L"off", false);
  EXPECT_EQ(Show(doc.Serialize()), Show(B("[Main]\r\nseDelay=-2500\r\non=1\r\noff=0\r\n")));
}

}  // namespace
}  // namespace tessary
