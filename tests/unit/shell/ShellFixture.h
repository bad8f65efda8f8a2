// Four monitors side by side, A B C D from left to right, enumerated B D A C: from B the
// neighbour on the left is A, on the right C, and the next one D. The program runs as
// C:\Apps\Tessary.exe; a foreground window sits on B.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "../core/CoreFixture.h"
#include "core/UnitMonitors.h"
#include "shell/UnitFrmInstance.h"

namespace tessary::test {

class ShellFixture : public CoreFixture {
 protected:
  static constexpr TRect A{0, 0, 1000, 800}, B{1000, 0, 2000, 800}, C{2000, 0, 3000, 800}, D{3000, 0, 4000, 800};

  void SetUp() override {
    CoreFixture::SetUp();
    sim.SetModuleFileName(L"C:\\Apps\\Tessary.exe");
    sim.SetLayout({B, D, A, C});
    TMonitors::GatherMonitorsInfo();
    sim::WindowSpec desc;
    desc.title = L"Editor";
    desc.rect = TRect{1100, 100, 1500, 500};
    editor = sim.AddWindow(desc);
    sim.SetForeground(editor);
  }

  // Which of A B C D the editor's left edge lies on.
  char EditorMonitor() {
    TRect r;
    if (!sim.GetWindowRect(editor, r)) return '?';
    for (auto [name, m] : {std::pair{'A', A}, {'B', B}, {'C', C}, {'D', D}})
      if (r.Left >= m.Left && r.Left < m.Right) return name;
    return '?';
  }

  // What a later start would send: the text's UTF-16 units, no terminator.
  static std::vector<uint8_t> Payload(const std::u16string& units) {
    std::vector<uint8_t> bytes(units.size() * 2);
    if (!bytes.empty()) std::memcpy(bytes.data(), units.data(), bytes.size());
    return bytes;
  }

  intptr_t SendBytes(WindowHandle to, const std::vector<uint8_t>& bytes) {
    CopyDataRecord rec{0, static_cast<uint32_t>(bytes.size()), bytes.empty() ? nullptr : bytes.data()};
    intptr_t result = 0;
    EXPECT_TRUE(sim.SendCopyData(0, to, rec, result));
    return result;
  }

  // A running first instance of another process: its mutex and its window, recording every
  // WM_COPYDATA payload byte for byte.
  WindowHandle FakeRunningInstance() {
    sim.CreateMutexW(L"Tessary.exe");
    return sim.CreateWindowExW(0, TFrmDummyInstance::ClassName, TFrmDummyInstance::Caption, wc::WS_POPUP, 0, 0, 260,
                               19, 0, [this](WindowHandle, uint32_t msg, uintptr_t, intptr_t lParam) -> intptr_t {
                                 if (msg != wc::WM_COPYDATA) return 0;
                                 const auto* rec = reinterpret_cast<const CopyDataRecord*>(lParam);
                                 const auto* p = static_cast<const uint8_t*>(rec->lpData);
                                 received.emplace_back(p, p + rec->cbData);
                                 return 1;
                               });
  }

  WindowHandle editor = 0;
  std::vector<std::vector<uint8_t>> received;
};

}  // namespace tessary::test
