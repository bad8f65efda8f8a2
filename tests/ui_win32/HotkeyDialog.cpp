// The hotkey dialog on the real window system: keys injected as a user's (keybd_event from
// another thread, while the dialog's modal loop runs) reach the edit box's capture, Alt
// combinations included, and the dialog closes only through its buttons or Escape's release.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "shell/UnitFrmHotkey.h"

#include <windows.h>

#undef CreateWindow
#undef RGB

namespace tessary::test {
namespace {

HWND Hw(uintptr_t h) { return reinterpret_cast<HWND>(h); }

std::wstring TextOf(HWND h) {
  wchar_t buf[256] = {};
  ::GetWindowTextW(h, buf, 256);
  return buf;
}

// Bounded waits for the dialog's thread, which answers while its modal loop pumps.
template <class F>
bool WaitUntil(F done, int ms = 3000) {
  for (int i = 0; i < ms / 10 && !done(); ++i) ::Sleep(10);
  return done();
}

// One key at a time, as fingers do: Wine's X11 driver re-reads the modifier state from the X
// server (which never saw injected keys) while focus events are still arriving.
void KeysDown(std::initializer_list<BYTE> keys) {
  for (BYTE vk : keys) {
    ::keybd_event(vk, static_cast<BYTE>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)), 0, 0);
    ::Sleep(30);
  }
}
void KeysUp(std::initializer_list<BYTE> keys) {
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) {
    ::keybd_event(*it, static_cast<BYTE>(::MapVirtualKeyW(*it, MAPVK_VK_TO_VSC)), KEYEVENTF_KEYUP, 0);
    ::Sleep(30);
  }
}

void ClickAt(HWND control) {
  RECT r{};
  ::GetWindowRect(control, &r);
  ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, in, sizeof(INPUT));
}

HWND FocusOf(DWORD thread) {
  GUITHREADINFO gti{};
  gti.cbSize = sizeof gti;
  return ::GetGUIThreadInfo(thread, &gti) ? gti.hwndFocus : nullptr;
}

class HotkeyDialogWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    // The user's program holds the foreground when the dialog is asked for.
    other = ::CreateWindowExW(0, L"STATIC", L"The user's program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200,
                              nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SetForegroundWindow(other);
    dialog = std::make_unique<TFrmHotkey>();
    ASSERT_NE(dialog->Handle(), 0u);
  }
  void TearDown() override {
    dialog.reset();
    if (other != nullptr) ::DestroyWindow(other);
  }

  // Runs the user's part on another thread while the dialog is open; whatever happens, the
  // dialog is closed at the end so that the test cannot hang.
  bool Run(THotkeyData& hkd, const std::function<void()>& user) {
    const HWND h = Hw(dialog->Handle());
    const DWORD uiThread = ::GetCurrentThreadId();
    std::thread t([&, h, uiThread] {
      // Generous: under a loaded lab the window manager's focus answer has come after 3 s.
      if (WaitUntil(
              [&] { return ::IsWindowVisible(h) && ::GetForegroundWindow() == h && FocusOf(uiThread) == Edit(); },
              15000)) {
        ::Sleep(300);  // the window manager's focus events settle
        user();
      } else {
        ADD_FAILURE() << "the dialog did not come to the front with the focus in its edit box: visible "
                      << ::IsWindowVisible(h) << ", foreground " << (::GetForegroundWindow() == h) << ", focus "
                      << (FocusOf(uiThread) == Edit());
      }
      if (!WaitUntil([h] { return !::IsWindowVisible(h); })) ::PostMessageW(h, WM_CLOSE, 0, 0);
    });
    dialog->txtHotkey->SetText(hkd.name);
    const bool result = dialog->GetHotKey(hkd, true, true);
    t.join();
    return result;
  }

  HWND Edit() const { return Hw(dialog->txtHotkey->peer); }
  bool Shows(const wchar_t* text) const {
    return WaitUntil([this, text] { return TextOf(Edit()) == text; });
  }

  HWND other = nullptr;
  std::unique_ptr<TFrmHotkey> dialog;
};

TEST_F(HotkeyDialogWin32, InjectedCombinationsAreCapturedAndSetReturnsTheLast) {
  const DWORD uiThread = ::GetCurrentThreadId();
  std::vector<std::wstring> missed;
  bool openAfterAltF4 = false;
  HWND focusAfterTab = nullptr;
  THotkeyData hkd;
  hkd.name = L"none";

  const bool result = Run(hkd, [&] {
    auto expect = [&](const wchar_t* text) {
      if (!Shows(text)) missed.push_back(std::wstring(text) + L" (shown: " + TextOf(Edit()) + L")");
    };
    KeysDown({VK_MENU, VK_F4});  // WM_SYSKEYDOWN: captured, no close, no menu
    expect(L"ALT+F4");
    KeysUp({VK_MENU, VK_F4});
    openAfterAltF4 = ::IsWindowVisible(Hw(dialog->Handle())) != FALSE;
    KeysDown({'A'});  // after Alt's release the keys still go to the edit box, not to a menu
    expect(L"A");
    KeysUp({'A'});
    KeysDown({VK_CONTROL, VK_TAB});
    expect(L"CTRL+TAB");
    KeysUp({VK_CONTROL, VK_TAB});
    focusAfterTab = FocusOf(uiThread);
    KeysDown({VK_LWIN, VK_SHIFT, 'N'});
    expect(L"WINKEY+SHIFT+N");
    KeysUp({VK_LWIN, VK_SHIFT, 'N'});
    KeysDown({VK_CONTROL, VK_MENU, VK_LEFT});
    expect(L"CTRL+ALT+LEFT");
    KeysUp({VK_CONTROL, VK_MENU, VK_LEFT});
    ClickAt(Hw(dialog->bSet->peer));
  });

  std::string missedText;
  for (const std::wstring& m : missed) missedText += std::string(m.begin(), m.end()) + "; ";
  EXPECT_TRUE(missed.empty()) << missedText;
  EXPECT_TRUE(openAfterAltF4);
  EXPECT_EQ(focusAfterTab, Edit()) << "Tab is a key here, it moves no focus";
  EXPECT_TRUE(result);
  EXPECT_TRUE(hkd.ctrl && hkd.alt && !hkd.shft && !hkd.win);
  EXPECT_EQ(hkd.key, VK_LEFT);
  EXPECT_EQ(hkd.name, L"CTRL+ALT+LEFT");
  EXPECT_FALSE(::IsWindowVisible(Hw(dialog->Handle())));
}

TEST_F(HotkeyDialogWin32, EscapesReleaseCancelsWhateverIsHeld) {
  bool shownDown = false, openWhileDown = false;
  THotkeyData hkd;
  hkd.ctrl = true;
  hkd.key = 'N';
  hkd.name = L"CTRL+N";

  const bool result = Run(hkd, [&] {
    KeysDown({VK_CONTROL, VK_ESCAPE});
    shownDown = Shows(L"CTRL+ESCAPE");
    openWhileDown = ::IsWindowVisible(Hw(dialog->Handle())) != FALSE;
    KeysUp({VK_CONTROL, VK_ESCAPE});
  });

  EXPECT_TRUE(shownDown);
  EXPECT_TRUE(openWhileDown);
  EXPECT_FALSE(result);
  EXPECT_TRUE(hkd.ctrl && !hkd.alt && !hkd.shft && !hkd.win);
  EXPECT_EQ(hkd.key, 'N');
  EXPECT_EQ(hkd.name, L"CTRL+N");
}

}  // namespace
}  // namespace tessary::test
