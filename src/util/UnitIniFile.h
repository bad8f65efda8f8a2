// An INI document held as the lines of the file it came from, so that writing it back changes
// nothing but the values set: sections, keys, comments, blank lines, line ends, the encoding and
// content that is no INI at all stay as they were, byte for byte. Pure: no file access here.
//
// Syntax: "[name]" starts a section (text after the closing bracket is ignored; a line without
// one is no header); "key=value" lines hold values, blanks around key and value ignored, a value
// in matching quotes loses them; lines starting with ';' or '#' and every other line are kept and
// otherwise ignored. Names compare without regard to case (ASCII, Latin-1, Greek and Cyrillic
// letters); the first of duplicate keys wins, also across repeated sections of one name.
//
// Encodings: UTF-16 LE or BE with BOM, UTF-8 with or without BOM, and every other byte sequence
// as Latin-1 (each byte one character, so any file survives unchanged). A new document is UTF-8
// without BOM with CR LF line ends.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessary {

// Decimal with an optional sign, or hexadecimal after "0x" or "$" (up to 32 bits, taken as a
// signed 32-bit pattern: "$FFFFFFFF" is -1), blanks around allowed. Anything else, or a decimal
// outside the signed 32-bit range, is no number.
std::optional<int32_t> ParseIniInteger(const std::wstring& text);

class TIniDocument {
 public:
  enum class Encoding { Utf8, Utf16LE, Utf16BE, Latin1 };

  TIniDocument() = default;
  static TIniDocument Parse(const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> Serialize() const;

  Encoding GetEncoding() const { return encoding_; }
  bool HasBom() const { return !bom_.empty(); }

  // The value of the first key of that name in a section of that name; nullopt when there is none.
  std::optional<std::wstring> Get(const std::wstring& section, const std::wstring& key) const;
  std::wstring ReadString(const std::wstring& section, const std::wstring& key, const std::wstring& def) const;
  // A missing key or a value that is no number (ParseIniInteger) gives def.
  int32_t ReadInteger(const std::wstring& section, const std::wstring& key, int32_t def) const;
  // An integer; any value other than 0 is true.
  bool ReadBool(const std::wstring& section, const std::wstring& key, bool def) const;

  // Replaces the value on the key's line (its spelling and the blanks before the value stay), or
  // adds the key after the last key of the section, or the section with the key at the end of the
  // document. Line breaks in the value become blanks. A value a Latin-1 document cannot hold turns
  // it into UTF-8 (the other text keeps its characters), and so does an edit after which its text
  // would read back as UTF-8.
  void Set(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  void WriteInteger(const std::wstring& section, const std::wstring& key, int32_t value);
  void WriteBool(const std::wstring& section, const std::wstring& key, bool value);

 private:
  struct Line {
    std::wstring text;
    std::wstring end;  // "\r\n", "\n", "\r" or empty for a last line without one
  };
  // Where a key is: its line, else the line to add it after (none: no such section).
  struct Place {
    std::optional<size_t> keyLine;
    std::optional<size_t> insertAfter;
  };
  Place Find(const std::wstring& section, const std::wstring& key) const;
  void Insert(size_t at, std::wstring text);
  bool Latin1ReadsAsUtf8() const;

  std::vector<Line> lines_;
  Encoding encoding_ = Encoding::Utf8;
  std::vector<uint8_t> bom_;
  std::vector<uint8_t> tail_;    // an odd last byte of a UTF-16 file
  std::wstring newline_ = L"\r\n";  // the file's first line end, for lines added
};

}  // namespace tessary
