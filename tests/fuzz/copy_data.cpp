// A WM_COPYDATA message from any process: the whole input is its bytes (cbData of them), sent to
// the running instance's window on a simulated desktop of four monitors A B C D (enumerated
// B D A C) with a foreground editor on B. The message goes through the window (the system's copy
// of exactly cbData bytes) and once more straight to the handler from a buffer that ends where
// cbData ends and starts at an odd address, so AddressSanitizer stops any read beyond the bytes.
// What happens must be what an independent reading of the bytes says: nothing, the main window
// shown, a move to A, C or D after the modifier keys were released, or the help box.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "core/UnitMonitors.h"
#include "desktop/WindowSystem.h"
#include "platform/sim/SimDesktop.h"
#include "shell/ProcessState.h"
#include "shell/UnitFrmInstance.h"

namespace tessary::fuzz {
namespace {

constexpr TRect A{0, 0, 1000, 800}, B{1000, 0, 2000, 800}, C{2000, 0, 3000, 800}, D{3000, 0, 4000, 800};

struct Outcome {
  int shows = 0;
  size_t boxes = 0;
  bool keysReleased = false;
  char monitor = 'B';
  bool operator==(const Outcome&) const = default;
};

std::string Describe(const Outcome& o) {
  return "shows " + std::to_string(o.shows) + ", help boxes " + std::to_string(o.boxes) + ", keys released " +
         (o.keysReleased ? "yes" : "no") + ", editor on " + o.monitor;
}

std::u16string Upper(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return s;
}

// What the bytes ask for, read without the product's code.
Outcome Expected(const uint8_t* data, size_t size) {
  Outcome o;
  std::u16string text;
  if (size / 2 > TFrmDummyInstance::MaxTextUnits) return o;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (u == 0) break;
    text.push_back(u);
  }
  if (text.empty()) return o;

  // A whole signed decimal number within 32 bits is a command: its low byte.
  size_t i = text[0] == u'+' || text[0] == u'-' ? 1 : 0;
  bool number = i < text.size();
  int64_t value = 0;
  for (size_t k = i; k < text.size() && number; ++k) {
    number = text[k] >= u'0' && text[k] <= u'9';
    if (number && value <= (int64_t{1} << 31)) value = value * 10 + (text[k] - u'0');
  }
  if (number) {
    if (text[0] == u'-') value = -value;
    number = value >= INT32_MIN && value <= INT32_MAX;
  }
  if (number) {
    const uint8_t command = static_cast<uint8_t>(value & 0xFF);
    if (command == 1) o.shows = 1;
    if (command != 2) return o;
  }

  // A command line: words at every blank.
  std::vector<std::u16string> words(1);
  for (char16_t c : text) {
    if (c == u' ') words.emplace_back();
    else words.back().push_back(c);
  }
  if (Upper(words[0]) != u"-MF") {
    o.boxes = 1;
    return o;
  }
  o.keysReleased = true;
  const std::u16string direction = words.size() > 1 ? Upper(words[1]) : u"";
  if (direction == u"LEFT") o.monitor = 'A';
  else if (direction == u"RIGHT") o.monitor = 'C';
  else if (direction == u"NEXT") o.monitor = 'D';
  else o.boxes = 1;
  return o;
}

struct Desktop {
  sim::SimDesktop sim;
  WindowHandle editor = 0;
  int shows = 0;

  Desktop() {
    SetWindowSystem(&sim);
    ResetProcessWideState();
    sim.SetModuleFileName(L"C:\\Apps\\Tessary.exe");
    sim.SetLayout({B, D, A, C});
    TMonitors::GatherMonitorsInfo();
    sim::WindowSpec desc;
    desc.title = L"Editor";
    desc.rect = TRect{1100, 100, 1500, 500};
    editor = sim.AddWindow(desc);
    CheckInstance(INST_INIT);
    SetShowMainWindowHandler([this] { ++shows; });
  }
  ~Desktop() {
    ResetProcessWideState();
    SetWindowSystem(nullptr);
  }

  void Prepare() {
    sim.SetWindowPos(editor, 0, 1100, 100, 400, 400, wc::SWP_NOZORDER);
    sim.SetForeground(editor);
    sim.SetKeyQueueState(wc::VK_LWIN, true);  // a modifier left down, to be released
    sim.ClearKeyEvents();
    shows = 0;
  }

  Outcome Seen(size_t boxesBefore) {
    Outcome o;
    o.shows = shows;
    o.boxes = sim.MessageBoxes().size() - boxesBefore;
    o.keysReleased = !sim.KeyEvents().empty();
    TRect r;
    o.monitor = '?';
    if (sim.GetWindowRect(editor, r))
      for (auto [name, m] : {std::pair{'A', A}, {'B', B}, {'C', C}, {'D', D}})
        if (r.Left >= m.Left && r.Left < m.Right) o.monitor = name;
    return o;
  }
};

}  // namespace
}  // namespace tessary::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessary;
  using namespace tessary::fuzz;
  const Outcome want = Expected(data, size);
  Desktop desk;
  TFrmDummyInstance* form = FrmDummyInstance();
  FUZZ_CHECK(form != nullptr, "no instance window");

  // Through the window, as another process sends it.
  desk.Prepare();
  size_t boxes = desk.sim.MessageBoxes().size();
  CopyDataRecord rec{0, static_cast<uint32_t>(size), size ? data : nullptr};
  intptr_t result = 0;
  FUZZ_CHECK(desk.sim.SendCopyData(0, form->Handle(), rec, result), "not delivered");
  FUZZ_CHECK(result == 1, "WM_COPYDATA answered " + std::to_string(result));
  const Outcome sent = desk.Seen(boxes);
  FUZZ_CHECK(sent == want, "sent: " + Describe(sent) + "; expected " + Describe(want));

  // Straight to the handler, from an odd address, the allocation ending with the last byte.
  desk.Prepare();
  boxes = desk.sim.MessageBoxes().size();
  std::vector<uint8_t> buffer(size + 1);
  if (size) std::memcpy(buffer.data() + 1, data, size);
  const CopyDataRecord direct{0, static_cast<uint32_t>(size), buffer.data() + 1};
  form->GetDataMessage(&direct);
  const Outcome handled = desk.Seen(boxes);
  FUZZ_CHECK(handled == want, "handled: " + Describe(handled) + "; expected " + Describe(want));
  if (want.shows) FUZZ_CHECK(form->command == INST_POPUP, "a show request decoded as " + std::to_string(form->command));
  return 0;
}
