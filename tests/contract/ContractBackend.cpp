#include "contract/ContractBackend.h"

namespace tessary::contract {

TestWindow::TestWindow(TRect r, uint32_t style, uint32_t exStyle) : inbox_(std::make_shared<Inbox>()) {
  std::shared_ptr<Inbox> inbox = inbox_;
  h_ = Backend().CreateWindowExW(
      exStyle, L"Tessary.ContractTest", L"contract test window", style, r.Left, r.Top, r.Width(), r.Height(), 0,
      [inbox](WindowHandle, uint32_t msg, uintptr_t wp, intptr_t lp) -> intptr_t {
        inbox->messages.push_back(msg);
        switch (msg) {
          case wc::WM_TIMER:
            inbox->timers.push_back(wp);
            break;
          case wc::WM_APP:
            inbox->posted.push_back(wp);
            inbox->postedTimes.push_back(Backend().GetMessageTime());
            break;
          case wc::WM_HOTKEY:
            inbox->hotkeys.push_back(wp);
            break;
          case wc::WM_DISPLAYCHANGE:
            inbox->displayChanges.emplace_back(wp, lp);
            break;
          case wc::WM_COPYDATA: {
            const auto* rec = reinterpret_cast<const CopyDataRecord*>(lp);
            ++inbox->copies;
            inbox->copyFrom = wp;
            inbox->copyTag = rec->dwData;
            inbox->copyHadData = rec->lpData != nullptr;
            const auto* bytes = static_cast<const uint8_t*>(rec->lpData);
            inbox->copyBytes.assign(bytes, bytes == nullptr ? bytes : bytes + rec->cbData);
            return inbox->copyAnswer;
          }
          default:
            break;
        }
        return 0;
      });
  // Window managers may place a new window on their own; pin it where the test asked.
  if (h_ != 0) Backend().SetWindowPos(h_, 0, r.Left, r.Top, r.Width(), r.Height(), kMoverFlags);
}

TestWindow::~TestWindow() { Destroy(); }

void TestWindow::Destroy() {
  if (h_ != 0 && Backend().IsWindow(h_)) Backend().DestroyWindow(h_);
  h_ = 0;
}

TRect TestWindow::Rect() const {
  TRect r;
  if (!Backend().GetWindowRect(h_, r)) return TRect{};
  return r;
}

bool TakeForeground(WindowHandle h) {
  const uint32_t me = Backend().GetCurrentThreadId();
  const WindowHandle before = Backend().GetForegroundWindow();
  const uint32_t fgThread = before == 0 ? 0 : Backend().GetWindowThreadProcessId(before, nullptr);
  const bool attach = fgThread != 0 && fgThread != me;
  if (attach && !Backend().AttachThreadInput(me, fgThread, true)) return false;
  const bool took = Backend().SetForegroundWindow(h);
  if (attach) Backend().AttachThreadInput(me, fgThread, false);
  return took;
}

bool IsBelow(WindowHandle lower, WindowHandle upper) {
  // Bounded: a broken walk must fail the test, not hang it.
  WindowHandle w = upper;
  for (int i = 0; i < 100000 && w != 0; ++i) {
    w = Backend().GetWindow(w, wc::GW_HWNDNEXT);
    if (w == lower) return true;
  }
  return false;
}

bool SameTextAscii(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  auto fold = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

}  // namespace tessary::contract
