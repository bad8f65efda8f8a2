// The settings file as anyone may have left it: the whole input is the file's bytes, and the same
// bytes also choose a few edits of the kind Save makes. Properties:
//  - the encoding is the one the bytes call for, and writing the document back gives the file
//    byte for byte;
//  - an edit reads back as written and changes no other line (only the key's own line, or the lines
//    it adds), and no other key's value;
//  - what an edit wrote reads back as the same text and the same values after writing and reading
//    the file again;
//  - numbers read as an independent reading of decimal, "0x" and "$" says, and written numbers
//    read back.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "util/UnitIniFile.h"

namespace tessary::fuzz {
namespace {

static_assert(sizeof(wchar_t) == 4, "the reference decoders give code points");

using Bytes = std::vector<uint8_t>;
using Enc = TIniDocument::Encoding;

// ---------------------------------------------------------------- an independent reading

bool DecodeUtf8(const uint8_t* p, size_t n, std::wstring& out) {
  static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    const size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || n - i < len) return false;
    uint32_t cp = len == 1 ? b : (b & (0x7Fu >> len));
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3Fu);
    }
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
    out.push_back(static_cast<wchar_t>(cp));
    i += len;
  }
  return true;
}

// Pairs become one code point, lone surrogates stay; an odd last byte is no character.
std::wstring DecodeUtf16(const uint8_t* p, size_t n, bool be) {
  auto unit = [&](size_t i) -> uint32_t {
    return be ? (uint32_t{p[i]} << 8 | p[i + 1]) : (p[i] | uint32_t{p[i + 1]} << 8);
  };
  std::wstring out;
  for (size_t i = 0; i + 1 < n; i += 2) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {
      const uint32_t lo = unit(i + 2);
      if (lo >= 0xDC00 && lo < 0xE000) {
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        i += 2;
      }
    }
    out.push_back(static_cast<wchar_t>(u));
  }
  return out;
}

Enc ExpectedEncoding(const Bytes& b) {
  if (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xFE) return Enc::Utf16LE;
  if (b.size() >= 2 && b[0] == 0xFE && b[1] == 0xFF) return Enc::Utf16BE;
  const size_t start = b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
  std::wstring ignored;
  return DecodeUtf8(b.data() + start, b.size() - start, ignored) ? Enc::Utf8 : Enc::Latin1;
}

// The text of a file written in that encoding; nullopt when the bytes are no such file.
std::optional<std::wstring> Decode(const Bytes& b, Enc enc, bool bom) {
  const bool utf16 = enc == Enc::Utf16LE || enc == Enc::Utf16BE;
  const size_t skip = bom ? (utf16 ? 2 : 3) : 0;
  if (b.size() < skip) return std::nullopt;
  if (utf16) {
    if (!bom) return std::nullopt;
    return DecodeUtf16(b.data() + 2, b.size() - 2, enc == Enc::Utf16BE);
  }
  if (bom && !(b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)) return std::nullopt;
  std::wstring out;
  if (enc == Enc::Latin1) {
    for (size_t i = skip; i < b.size(); ++i) out.push_back(static_cast<wchar_t>(b[i]));
    return out;
  }
  if (!DecodeUtf8(b.data() + skip, b.size() - skip, out)) return std::nullopt;
  return out;
}

struct Line {
  std::wstring text, end;
  bool operator==(const Line&) const = default;
};

std::vector<Line> Lines(const std::wstring& t) {
  std::vector<Line> lines;
  size_t begin = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != L'\r' && t[i] != L'\n') continue;
    const size_t len = t[i] == L'\r' && i + 1 < t.size() && t[i + 1] == L'\n' ? 2 : 1;
    lines.push_back({t.substr(begin, i - begin), t.substr(i, len)});
    i += len - 1;
    begin = i + 1;
  }
  if (begin < t.size()) lines.push_back({t.substr(begin), L""});
  return lines;
}

std::wstring Trim(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == L' ' || s[b] == L'\t')) ++b;
  while (e > b && (s[e - 1] == L' ' || s[e - 1] == L'\t')) --e;
  return s.substr(b, e - b);
}

// What the document says a value written as v reads back as.
std::wstring ReadBackOf(std::wstring v) {
  for (wchar_t& c : v)
    if (c == L'\r' || c == L'\n') c = L' ';
  v = Trim(v);
  if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return v;
}

struct Names {
  std::vector<std::wstring> sections, keys;
  std::vector<std::pair<std::wstring, std::wstring>> pairs;  // each key with the section it is in
};

// Section and key names the lines spell, crudely: enough to ask the document about them. The first
// few of each are plenty to see an edit reach where it should not, and keep each run short.
Names NamesIn(const std::vector<Line>& lines) {
  constexpr size_t kSample = 12;
  Names n;
  std::wstring section;
  for (const Line& l : lines) {
    const std::wstring t = Trim(l.text);
    if (t.empty() || t[0] == L';' || t[0] == L'#') continue;
    const size_t close = t.find(L']');
    if (t[0] == L'[' && close != std::wstring::npos) {
      section = Trim(t.substr(1, close - 1));
      if (n.sections.size() < kSample) n.sections.push_back(section);
      continue;
    }
    const size_t eq = t.find(L'=');
    if (eq == std::wstring::npos || Trim(t.substr(0, eq)).empty()) continue;
    if (n.keys.size() < kSample) n.keys.push_back(Trim(t.substr(0, eq)));
    if (n.pairs.size() < kSample) n.pairs.emplace_back(section, n.keys.back());
  }
  return n;
}

std::optional<int32_t> ReferenceInteger(const std::wstring& text) {
  std::wstring s = Trim(text);
  if (s.empty()) return std::nullopt;
  size_t d = 0;
  if (s[0] == L'$') d = 1;
  else if (s.size() >= 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X')) d = 2;
  if (d > 0) {
    std::wstring digits = s.substr(d);
    if (digits.empty() || digits.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos)
      return std::nullopt;
    digits.erase(0, std::min(digits.find_first_not_of(L'0'), digits.size()));
    if (digits.size() > 8) return std::nullopt;
    uint32_t v = 0;
    for (wchar_t c : digits) v = v * 16 + static_cast<uint32_t>(c <= L'9' ? c - L'0' : (c | 0x20) - L'a' + 10);
    return static_cast<int32_t>(v);
  }
  bool negative = false;
  if (s[0] == L'+' || s[0] == L'-') {
    negative = s[0] == L'-';
    s.erase(0, 1);
  }
  if (s.empty() || s.find_first_not_of(L"0123456789") != std::wstring::npos) return std::nullopt;
  s.erase(0, std::min(s.find_first_not_of(L'0'), s.size()));
  if (s.size() > 10) return std::nullopt;
  int64_t v = 0;
  for (wchar_t c : s) v = v * 10 + (c - L'0');
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(v);
}

// ---------------------------------------------------------------- generated texts

std::wstring TextFrom(FuzzedDataProvider& in, const std::wstring& alphabet, size_t maxLen) {
  const size_t len = in.ConsumeIntegralInRange<size_t>(0, maxLen);
  std::wstring s;
  for (size_t i = 0; i < len && in.remaining_bytes() > 0; ++i)
    s.push_back(alphabet[in.ConsumeIntegralInRange<size_t>(0, alphabet.size() - 1)]);
  return s;
}

// Names the program could use: something that is not blank, without the characters of the syntax.
std::wstring GeneratedName(FuzzedDataProvider& in) {
  std::wstring n = TextFrom(in, L"aZk_ .\t9\u00e9\u00c9\u03a3\u03c3\u0416\u0436\u0401\u0451\U0001F600", 6);
  if (Trim(n).empty()) n = L"k" + n;
  return n;
}

std::wstring ChooseSection(FuzzedDataProvider& in, const Names& names) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: return L"Main";
    case 1: return L"Hidden";
    case 2: return L"Hotkeys";
    case 3:
      if (!names.sections.empty()) return names.sections[in.ConsumeIntegralInRange<size_t>(0, names.sections.size() - 1)];
      [[fallthrough]];
    default: return GeneratedName(in);
  }
}

std::wstring ChooseKey(FuzzedDataProvider& in, const Names& names) {
  static const wchar_t* const kKeys[] = {L"cbAutoClose", L"seDelay", L"rbDevicePowerState", L"TopProgramsIntervalMS",
                                         L"MOVELEFT_HOTKEY", L"cbMoveNext"};
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: return kKeys[in.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)];
    case 1: {
      // A key of the file, unless it starts as a section header does: "[a" with a value holding
      // "]" would be one, and the program writes no such key.
      const std::wstring k =
          names.keys.empty() ? L"[" : names.keys[in.ConsumeIntegralInRange<size_t>(0, names.keys.size() - 1)];
      if (k[0] != L'[') return k;
      [[fallthrough]];
    }
    default: return GeneratedName(in);
  }
}

// Whether the document takes the two pairs of names for the same key.
bool SameKey(const std::wstring& s1, const std::wstring& k1, const std::wstring& s2, const std::wstring& k2) {
  TIniDocument probe;
  probe.Set(s1, k1, L"1");
  return probe.Get(s2, k2).has_value();
}

std::wstring Text(const TIniDocument& doc, const char* what) {
  const std::optional<std::wstring> t = Decode(doc.Serialize(), doc.GetEncoding(), doc.HasBom());
  FUZZ_CHECK(t.has_value(), std::string(what) + ": the written bytes are not in the document's encoding");
  return *t;
}

// ---------------------------------------------------------------- properties

void CheckParse(const Bytes& bytes, const TIniDocument& doc) {
  FUZZ_CHECK(doc.GetEncoding() == ExpectedEncoding(bytes), "encoding");
  FUZZ_CHECK(doc.Serialize() == bytes, "written back byte for byte");
}

void CheckEdit(const TIniDocument& before, const TIniDocument& after, const std::wstring& s, const std::wstring& k,
               const std::optional<std::wstring>& expected) {
  const std::string where = "[" + Show(s) + "] " + Show(k);
  const std::optional<std::wstring> got = after.Get(s, k);
  if (expected) {
    FUZZ_CHECK(got.has_value() && *got == *expected,
               where + ": read back " + (got ? Show(*got) : "nothing") + ", wrote " + Show(*expected));
  }

  // Only the key's line changes, or lines are added at one place (the line before them may gain
  // the line end it lacked).
  const std::vector<Line> a = Lines(Text(before, "before")), b = Lines(Text(after, "after"));
  size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
    ++suffix;
  const size_t changed = a.size() - prefix - suffix, added = b.size() - prefix - suffix;
  FUZZ_CHECK(changed <= 1 && added >= changed && added <= changed + 3,
             where + ": " + std::to_string(changed) + " lines became " + std::to_string(added));
  if (changed == 1) {
    const Line& old = a[prefix];
    const Line& now = b[prefix];
    const size_t eq = old.text.find(L'=');
    const bool valueReplaced = added == 1 && eq != std::wstring::npos && now.end == old.end &&
                               now.text.compare(0, eq + 1, old.text, 0, eq + 1) == 0;
    const bool endAdded = old.end.empty() && now.text == old.text && !now.end.empty();
    FUZZ_CHECK(valueReplaced || endAdded, where + ": line " + Show(old.text + old.end) + " became " +
                                              Show(now.text + now.end));
  }

  // No other key's value changes: the keys of both versions where they are, and in the edited
  // section.
  std::vector<std::pair<std::wstring, std::wstring>> probes;
  for (const Names& n : {NamesIn(a), NamesIn(b)}) {
    probes.insert(probes.end(), n.pairs.begin(), n.pairs.end());
    for (const std::wstring& key : n.keys) probes.emplace_back(s, key);
    for (const std::wstring& section : n.sections) probes.emplace_back(section, k);
  }
  for (const auto& [cs, ck] : probes) {
    if (SameKey(s, k, cs, ck)) continue;
    FUZZ_CHECK(before.Get(cs, ck) == after.Get(cs, ck), where + ": changed [" + Show(cs) + "] " + Show(ck));
  }
}

// Written and read again, the document holds the same text and the same values.
void CheckReread(const TIniDocument& doc) {
  const Bytes bytes = doc.Serialize();
  const TIniDocument again = TIniDocument::Parse(bytes);
  FUZZ_CHECK(again.Serialize() == bytes, "written again byte for byte");
  const std::wstring text = Text(doc, "edited"), reread = Text(again, "read again");
  FUZZ_CHECK(text == reread, "the text read again differs: " + Show(text) + " became " + Show(reread));
}

void CheckNumbers(FuzzedDataProvider& in) {
  const std::wstring text = TextFrom(in, L" \t+-$0123456789aAfFxXg\u0663", 14);
  const std::optional<int32_t> got = ParseIniInteger(text), want = ReferenceInteger(text);
  FUZZ_CHECK(got == want, "number " + Show(text) + ": read " + (got ? std::to_string(*got) : "none") + ", expected " +
                              (want ? std::to_string(*want) : "none"));

  const int32_t n = in.ConsumeIntegral<int32_t>();
  wchar_t hex[16];
  std::swprintf(hex, 16, L"%X", static_cast<uint32_t>(n));
  wchar_t padded[16];
  std::swprintf(padded, 16, L"0x%08x", static_cast<uint32_t>(n));
  for (const std::wstring& form : {std::to_wstring(n), L"$" + std::wstring(hex), std::wstring(padded),
                                   L" \t" + std::to_wstring(n) + L"\t "}) {
    const std::optional<int32_t> back = ParseIniInteger(form);
    FUZZ_CHECK(back == n, Show(form) + " read as " + (back ? std::to_string(*back) : "none"));
  }
}

}  // namespace
}  // namespace tessary::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessary;
  using namespace tessary::fuzz;
  const Bytes bytes(data, data + size);
  TIniDocument doc = TIniDocument::Parse(bytes);
  CheckParse(bytes, doc);

  FuzzedDataProvider in(data, size);
  CheckNumbers(in);

  const int edits = in.ConsumeIntegralInRange(0, 3);
  for (int e = 0; e < edits; ++e) {
    const Names names = NamesIn(Lines(Text(doc, "document")));
    const std::wstring s = ChooseSection(in, names), k = ChooseKey(in, names);
    const TIniDocument before = doc;
    std::optional<std::wstring> expected;
    switch (in.ConsumeIntegralInRange(0, 2)) {
      case 0: {
        const std::wstring v =
            TextFrom(in, L"ab1 \t\"'=;#[]\r\n\u00e9\u00ff\u0100\u20ac\u4e2d\U0001F600", 12);
        doc.Set(s, k, v);
        expected = ReadBackOf(v);
        break;
      }
      case 1: {
        const int32_t n = in.ConsumeIntegral<int32_t>();
        doc.WriteInteger(s, k, n);
        FUZZ_CHECK(doc.ReadInteger(s, k, n == 0 ? 1 : 0) == n, "integer " + std::to_string(n) + " read back");
        expected = std::to_wstring(n);
        break;
      }
      default: {
        const bool v = in.ConsumeBool();
        doc.WriteBool(s, k, v);
        FUZZ_CHECK(doc.ReadBool(s, k, !v) == v, "Boolean read back");
        expected = v ? L"1" : L"0";
        break;
      }
    }
    CheckEdit(before, doc, s, k, expected);
  }
  CheckReread(doc);
  return 0;
}
