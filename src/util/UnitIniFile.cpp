#include "util/UnitIniFile.h"
#include "util/UnitText.h"

#include <algorithm>

namespace tessary {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

struct Span {
  size_t begin = 0, end = 0;
};

Span Trimmed(const std::wstring& t, size_t begin, size_t end) {
  while (begin < end && IsBlank(t[begin])) ++begin;
  while (end > begin && IsBlank(t[end - 1])) --end;
  return {begin, end};
}

std::wstring Trim(const std::wstring& t) {
  const Span s = Trimmed(t, 0, t.size());
  return t.substr(s.begin, s.end - s.begin);
}

// Lower case for the letters whose case pairs are one fixed offset apart.
uint32_t Fold(uint32_t c) {
  if (c >= L'A' && c <= L'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE && c != 0xD7) return c + 32;              // Latin-1
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;              // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

// name: trimmed already.
bool SameName(const std::wstring& t, Span s, const std::wstring& name) {
  if (s.end - s.begin != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (Fold(static_cast<uint32_t>(t[s.begin + i])) != Fold(static_cast<uint32_t>(name[i]))) return false;
  return true;
}

// "[name]": the name between the brackets, trimmed.
bool SectionHeader(const std::wstring& t, Span& name) {
  size_t i = 0;
  while (i < t.size() && IsBlank(t[i])) ++i;
  if (i == t.size() || t[i] != L'[') return false;
  const size_t close = t.find(L']', i + 1);
  if (close == std::wstring::npos) return false;
  name = Trimmed(t, i + 1, close);
  return true;
}

// "key=value" with a non-empty key that is no comment; eq: the position of the '='.
bool KeyLine(const std::wstring& t, Span& key, size_t& eq) {
  size_t i = 0;
  while (i < t.size() && IsBlank(t[i])) ++i;
  if (i == t.size() || t[i] == L';' || t[i] == L'#') return false;
  eq = t.find(L'=', i);
  if (eq == std::wstring::npos) return false;
  key = Trimmed(t, i, eq);
  return key.end > key.begin;
}

// ---- code points

void AppendCodePoint(std::wstring& out, uint32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp > 0xFFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(cp));
}

// The code point at i (a surrogate pair where wchar_t has 16 bits); i moves past it. A lone
// surrogate is its own value.
uint32_t NextCodePoint(const std::wstring& s, size_t& i) {
  uint32_t c = static_cast<uint32_t>(s[i++]);
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0xD800 && c < 0xDC00 && i < s.size()) {
      const uint32_t lo = static_cast<uint32_t>(s[i]);
      if (lo >= 0xDC00 && lo < 0xE000) {
        ++i;
        c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
      }
    }
  }
  return c;
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool DecodeUtf8(const uint8_t* p, size_t n, std::wstring& out) {
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    uint32_t cp = 0;
    size_t len = 0;
    uint8_t lo = 0x80, hi = 0xBF;  // the range of the second byte
    if (b < 0x80) {
      out.push_back(static_cast<wchar_t>(b));
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      cp = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      const uint8_t c = p[i + k];
      if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF)) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    AppendCodePoint(out, cp);
    i += len;
  }
  return true;
}

void EncodeUtf8(uint32_t c, std::vector<uint8_t>& out) {
  if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out.push_back(static_cast<uint8_t>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<uint8_t>(0xC0 | (c >> 6)));
    out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<uint8_t>(0xE0 | (c >> 12)));
    out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<uint8_t>(0xF0 | (c >> 18)));
    out.push_back(static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<uint8_t>(0x80 | (c & 0x3F)));
  }
}

void EncodeUtf16Unit(uint32_t u, bool bigEndian, std::vector<uint8_t>& out) {
  const uint8_t a = static_cast<uint8_t>(u & 0xFF), b = static_cast<uint8_t>((u >> 8) & 0xFF);
  out.push_back(bigEndian ? b : a);
  out.push_back(bigEndian ? a : b);
}

void Encode(const std::wstring& s, TIniDocument::Encoding enc, std::vector<uint8_t>& out) {
  using E = TIniDocument::Encoding;
  size_t i = 0;
  while (i < s.size()) {
    const uint32_t c = NextCodePoint(s, i);
    switch (enc) {
      case E::Utf8:
        EncodeUtf8(c, out);
        break;
      case E::Latin1:
        out.push_back(static_cast<uint8_t>(c));  // the document holds nothing above 0xFF then
        break;
      case E::Utf16LE:
      case E::Utf16BE: {
        const bool be = enc == E::Utf16BE;
        if (c > 0xFFFF) {
          EncodeUtf16Unit(0xD800 + ((c - 0x10000) >> 10), be, out);
          EncodeUtf16Unit(0xDC00 + ((c - 0x10000) & 0x3FF), be, out);
        } else {
          EncodeUtf16Unit(c, be, out);
        }
        break;
      }
    }
  }
}

bool Latin1Holds(const std::wstring& s) {
  for (wchar_t c : s)
    if (static_cast<uint32_t>(c) > 0xFF) return false;
  return true;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> ParseIniInteger(const std::wstring& text) {
  const Span s = Trimmed(text, 0, text.size());
  size_t i = s.begin;
  if (i == s.end) return std::nullopt;
  size_t digits = i;
  if (text[i] == L'$') digits = i + 1;
  else if (s.end - i >= 2 && text[i] == L'0' && (text[i + 1] == L'x' || text[i + 1] == L'X')) digits = i + 2;
  if (digits != i) {
    if (digits == s.end) return std::nullopt;
    uint64_t v = 0;
    for (size_t k = digits; k < s.end; ++k) {
      const int d = HexDigit(text[k]);
      if (d < 0) return std::nullopt;
      v = v * 16 + static_cast<uint64_t>(d);
      if (v > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(v));
  }
  bool negative = false;
  if (text[i] == L'+' || text[i] == L'-') {
    negative = text[i] == L'-';
    ++i;
  }
  if (i == s.end) return std::nullopt;
  const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
  uint64_t v = 0;
  for (; i < s.end; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
    v = v * 10 + static_cast<uint64_t>(text[i] - L'0');
    if (v > limit) return std::nullopt;
  }
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
}

TIniDocument TIniDocument::Parse(const std::vector<uint8_t>& bytes) {
  TIniDocument doc;
  std::wstring text;
  const size_t n = bytes.size();
  text.reserve(n);
  const bool le = n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool be = n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (le || be) {
    doc.encoding_ = le ? Encoding::Utf16LE : Encoding::Utf16BE;
    doc.bom_.assign(bytes.begin(), bytes.begin() + 2);
    size_t i = 2;
    for (; i + 1 < n; i += 2) {
      uint32_t u = le ? (bytes[i] | (bytes[i + 1] << 8)) : ((bytes[i] << 8) | bytes[i + 1]);
      if constexpr (sizeof(wchar_t) == 4) {
        // A pair is one character here, as the code points of the other encodings are.
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {
          const uint32_t lo = le ? (bytes[i + 2] | (bytes[i + 3] << 8)) : ((bytes[i + 2] << 8) | bytes[i + 3]);
          if (lo >= 0xDC00 && lo < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
            i += 2;
          }
        }
      }
      text.push_back(static_cast<wchar_t>(u));
    }
    if (i < n) doc.tail_.push_back(bytes[i]);
  } else {
    size_t start = 0;
    if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
      doc.bom_.assign(bytes.begin(), bytes.begin() + 3);
      start = 3;
    }
    if (DecodeUtf8(bytes.data() + start, n - start, text)) {
      doc.encoding_ = Encoding::Utf8;
    } else {
      text.clear();
      doc.encoding_ = Encoding::Latin1;
      for (size_t i = start; i < n; ++i) text.push_back(static_cast<wchar_t>(bytes[i]));
    }
  }

  doc.lines_.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), L'\n')) + 1);
  bool newlineKnown = false;
  size_t begin = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') continue;
    const size_t endLen = (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ? 2 : 1;
    Line line{text.substr(begin, i - begin), text.substr(i, endLen)};
    if (!newlineKnown) {
      doc.newline_ = line.end;
      newlineKnown = true;
    }
    doc.lines_.push_back(std::move(line));
    i += endLen - 1;
    begin = i + 1;
  }
  if (begin < text.size()) doc.lines_.push_back(Line{text.substr(begin), L""});
  return doc;
}

std::vector<uint8_t> TIniDocument::Serialize() const {
  std::vector<uint8_t> out = bom_;
  for (const Line& line : lines_) {
    Encode(line.text, encoding_, out);
    Encode(line.end, encoding_, out);
  }
  out.insert(out.end(), tail_.begin(), tail_.end());
  return out;
}

TIniDocument::Place TIniDocument::Find(const std::wstring& sectionName, const std::wstring& keyName) const {
  const std::wstring section = Trim(sectionName), key = Trim(keyName);
  Place place;
  bool inSection = false, inFirst = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::wstring& t = lines_[i].text;
    Span name;
    if (SectionHeader(t, name)) {
      inSection = SameName(t, name, section);
      inFirst = inSection && !place.insertAfter;
      if (inFirst) place.insertAfter = i;
      continue;
    }
    if (!inSection) continue;
    Span k;
    size_t eq = 0;
    if (!KeyLine(t, k, eq)) continue;
    if (SameName(t, k, key)) {
      place.keyLine = i;
      return place;
    }
    if (inFirst) place.insertAfter = i;
  }
  return place;
}

std::optional<std::wstring> TIniDocument::Get(const std::wstring& section, const std::wstring& key) const {
  const Place place = Find(section, key);
  if (!place.keyLine) return std::nullopt;
  const std::wstring& t = lines_[*place.keyLine].text;
  std::wstring v = Trim(t.substr(t.find(L'=') + 1));
  if (v.size() >= 2 && (v.front() == L'"' || v.front() == L'\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  return v;
}

std::wstring TIniDocument::ReadString(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& def) const {
  return Get(section, key).value_or(def);
}

int32_t TIniDocument::ReadInteger(const std::wstring& section, const std::wstring& key, int32_t def) const {
  const std::optional<std::wstring> v = Get(section, key);
  if (!v) return def;
  return ParseIniInteger(*v).value_or(def);
}

bool TIniDocument::ReadBool(const std::wstring& section, const std::wstring& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniDocument::Insert(size_t at, std::wstring text) {
  if (at > 0 && lines_[at - 1].end.empty()) lines_[at - 1].end = newline_;
  // In a file of mixed line ends a lone CR followed by an empty line's LF would read back as one
  // CR LF, and the lines would not be the ones written: such a line ends in CR LF instead.
  std::wstring end = newline_;
  const bool afterCr = at > 0 && lines_[at - 1].end == L"\r" && text.empty() && end == L"\n";
  const bool beforeLf = at < lines_.size() && end == L"\r" && lines_[at].text.empty() &&
                        !lines_[at].end.empty() && lines_[at].end[0] == L'\n';
  if (afterCr || beforeLf) end = L"\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), std::move(end)});
}

void TIniDocument::Set(const std::wstring& section, const std::wstring& key, const std::wstring& value) {
  std::wstring v = value;
  for (wchar_t& c : v)
    if (c == L'\r' || c == L'\n') c = L' ';
  const std::wstring k = Trim(key), s = Trim(section);
  if (encoding_ == Encoding::Latin1 && !(Latin1Holds(v) && Latin1Holds(k) && Latin1Holds(s)))
    encoding_ = Encoding::Utf8;

  const Place place = Find(s, k);
  if (place.keyLine) {
    std::wstring& t = lines_[*place.keyLine].text;
    size_t at = t.find(L'=') + 1;
    while (at < t.size() && IsBlank(t[at])) ++at;
    t = t.substr(0, at) + v;
  } else if (place.insertAfter) {
    Insert(*place.insertAfter + 1, k + L"=" + v);
  } else {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) Insert(lines_.size(), L"");
    Insert(lines_.size(), L"[" + s + L"]");
    Insert(lines_.size(), k + L"=" + v);
  }
  // A Latin-1 file is one that is no UTF-8. With the bytes that made it so replaced, its other
  // characters might read back as UTF-8, as other characters than they are: it becomes UTF-8.
  if (encoding_ == Encoding::Latin1 && Latin1ReadsAsUtf8()) encoding_ = Encoding::Utf8;
}

bool TIniDocument::Latin1ReadsAsUtf8() const {
  std::vector<uint8_t> bytes;
  for (const Line& line : lines_) {
    Encode(line.text, Encoding::Latin1, bytes);
    Encode(line.end, Encoding::Latin1, bytes);
  }
  if (std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b < 0x80; })) return false;  // the same text
  std::wstring ignored;
  return DecodeUtf8(bytes.data(), bytes.size(), ignored);
}

void TIniDocument::WriteInteger(const std::wstring& section, const std::wstring& key, int32_t value) {
  Set(section, key, IntText(value));
}

void TIniDocument::WriteBool(const std::wstring& section, const std::wstring& key, bool value) {
  Set(section, key, value ? L"1" : L"0");
}

}  // namespace tessary
