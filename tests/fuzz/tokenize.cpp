// The text splitter on any text and delimiter. Properties: as many pieces as delimiters plus one,
// no piece holds the delimiter, and the pieces joined with it give the text back; CharCount counts
// exactly; NextToken takes off the text before the first delimiter (of any length) and leaves what
// follows it.
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "util/UnitToken.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessary;
  using namespace tessary::fuzz;
  // Read front to back: the delimiter character, the length (0 to 3) and characters of a delimiter
  // text, then the text. ASCII bytes are themselves, other bytes a few wider characters, and 0xFF
  // followed by two bytes any 16-bit unit.
  static const wchar_t kWide[] = {0xE9, 0x3000, 0xFFFF, 0xD83D, 0xDE00, 0x1F600};
  size_t pos = 0;
  auto unit = [&]() -> wchar_t {
    const uint8_t b = pos < size ? data[pos++] : 0;
    if (b < 0x80) return static_cast<wchar_t>(b);
    if (b != 0xFF) return kWide[b % std::size(kWide)];
    uint16_t u = 0;
    for (int i = 0; i < 2 && pos < size; ++i) u = static_cast<uint16_t>(u << 8 | data[pos++]);
    return static_cast<wchar_t>(u);
  };
  const wchar_t delimiter = unit();
  std::wstring delimiterText;
  const size_t delimiterLen = pos < size ? data[pos++] % 4 : 0;
  for (size_t i = 0; i < delimiterLen; ++i) delimiterText.push_back(unit());
  std::wstring text;
  while (pos < size) text.push_back(unit());

  const int32_t count = CharCount(text, delimiter);
  FUZZ_CHECK(count == std::count(text.begin(), text.end(), delimiter), "CharCount of " + Show(std::wstring(1, delimiter)));

  const std::vector<std::wstring> pieces = Tokenize(text, delimiter);
  FUZZ_CHECK(pieces.size() == static_cast<size_t>(count) + 1, std::to_string(pieces.size()) + " pieces of " + Show(text));
  std::wstring joined;
  for (size_t i = 0; i < pieces.size(); ++i) {
    FUZZ_CHECK(pieces[i].find(delimiter) == std::wstring::npos, "piece " + Show(pieces[i]) + " holds the delimiter");
    if (i > 0) joined.push_back(delimiter);
    joined += pieces[i];
  }
  FUZZ_CHECK(joined == text, "joined " + Show(joined) + " from " + Show(text));

  // NextToken over the whole text, as a caller walks it.
  std::wstring rest = text;
  while (!rest.empty()) {
    const std::wstring before = rest;
    const std::wstring piece = NextToken(rest, delimiterText);
    const size_t at = delimiterText.empty() ? std::wstring::npos : before.find(delimiterText);
    if (at == std::wstring::npos) {
      FUZZ_CHECK(piece == before && rest.empty(), "no delimiter in " + Show(before));
    } else {
      FUZZ_CHECK(piece == before.substr(0, at) && rest == before.substr(at + delimiterText.size()),
                 "split of " + Show(before) + " at " + Show(delimiterText) + ": " + Show(piece) + " | " + Show(rest));
    }
    FUZZ_CHECK(rest.size() < before.size(), "no progress on " + Show(before));
  }
  return 0;
}
