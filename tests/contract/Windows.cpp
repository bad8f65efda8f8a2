// Texts, classes, visibility and lookup of our own windows; time, clipboard and DPI basics.
#include <gtest/gtest.h>

#include <memory>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

TEST(Windows, TextClassAndLookup) {
  TestWindow w;
  EXPECT_EQ(Backend().GetClassNameW(w.h()), L"Tessary.ContractTest");
  EXPECT_EQ(Backend().GetWindowTextW(w.h()), L"contract test window");
  const std::wstring title = L"Tessary \u00e9\u20ac \U0001F600";
  ASSERT_TRUE(Backend().SetWindowTextW(w.h(), title));
  EXPECT_EQ(Backend().GetWindowTextW(w.h()), title);
  EXPECT_EQ(Backend().GetWindowTextLengthW(w.h()), static_cast<int32_t>(title.size()));

  EXPECT_EQ(Backend().FindWindowW(L"Tessary.ContractTest", title), w.h());
  EXPECT_EQ(Backend().FindWindowW(L"tessary.contracttest", L""), w.h());  // class names ignore case
  EXPECT_EQ(Backend().FindWindowW(L"Tessary.ContractTest", L"other"), 0u);
  EXPECT_EQ(Backend().GetParent(w.h()), 0u);
  EXPECT_EQ(Backend().GetAncestor(w.h(), wc::GA_ROOT), w.h());

  const WindowHandle gone = w.h();
  w.Destroy();
  EXPECT_EQ(Backend().FindWindowW(L"Tessary.ContractTest", title), 0u);
  EXPECT_EQ(Backend().GetClassNameW(gone), L"");
  EXPECT_EQ(Backend().GetWindowTextW(gone), L"");
}

TEST(Windows, ProcSeesCreateFirstAndDestroyLastAndIsReleasedAfterwards) {
  struct Seen {
    std::vector<uint32_t> messages;
    bool validDuringDestroy = false;
  };
  auto seen = std::make_shared<Seen>();
  std::weak_ptr<Seen> alive = seen;
  WindowHandle self = 0;
  const WindowHandle h = Backend().CreateWindowExW(
      0, L"Tessary.ContractSelfDestroy", L"", wc::WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, 0,
      [seen, &self](WindowHandle w, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
        if (msg == wc::WM_CREATE || msg == wc::WM_DESTROY || msg == wc::WM_APP) seen->messages.push_back(msg);
        if (msg == wc::WM_DESTROY) {
          TRect r;
          seen->validDuringDestroy = Backend().IsWindow(w) && Backend().GetWindowRect(w, r);
        }
        // The window ends itself from inside its own handler; the handler must survive that.
        if (msg == wc::WM_APP) {
          self = w;
          Backend().DestroyWindow(w);
        }
        return 0;
      });
  ASSERT_NE(h, 0u);
  EXPECT_EQ(seen->messages, std::vector<uint32_t>{wc::WM_CREATE});  // sent during creation
  Backend().SendMessageW(h, wc::WM_APP, 0, 0);
  EXPECT_EQ(self, h);
  EXPECT_FALSE(Backend().IsWindow(h));
  EXPECT_TRUE(seen->validDuringDestroy);
  EXPECT_EQ(seen->messages, (std::vector<uint32_t>{wc::WM_CREATE, wc::WM_APP, wc::WM_DESTROY}));
  seen.reset();
  EXPECT_TRUE(alive.expired());  // the backend let go of the handler with the window
}

TEST(Windows, MessageOnlyWindowsAreNotFoundExceptOnWine) {
  const WindowHandle h = Backend().CreateWindowExW(0, L"Tessary.ContractMessageOnly", L"hidden", 0, 0, 0, 0, 0,
                                                   wc::HWND_MESSAGE,
                                                   [](WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
  ASSERT_NE(h, 0u);
  // Windows never finds message-only windows with FindWindow; Wine does (so the single-instance
  // window must be a real top-level window).
  EXPECT_EQ(Backend().FindWindowW(L"Tessary.ContractMessageOnly", L"") == h, OnWine());
  EXPECT_TRUE(Backend().DestroyWindow(h));
}

TEST(Windows, ShowWindowReportsTheFormerVisibility) {
  TestWindow w({100, 100, 500, 400}, wc::WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(Backend().IsWindowVisible(w.h()));
  EXPECT_FALSE(Backend().ShowWindow(w.h(), wc::SW_SHOWNA));
  EXPECT_TRUE(Backend().IsWindowVisible(w.h()));
  EXPECT_NE(static_cast<uint32_t>(Backend().GetWindowLongW(w.h(), wc::GWL_STYLE)) & wc::WS_VISIBLE, 0u);
  EXPECT_TRUE(Backend().ShowWindow(w.h(), wc::SW_HIDE));
  EXPECT_FALSE(Backend().IsWindowVisible(w.h()));
  EXPECT_EQ(w.Rect(), (TRect{100, 100, 500, 400}));
}

TEST(Windows, SendMessageTimeoutToOurOwnWindowAnswers) {
  TestWindow w;
  uintptr_t result = 0;
  // WM_GETICON of a window without icons answers 0 at once.
  ASSERT_TRUE(Backend().SendMessageTimeoutW(w.h(), wc::WM_GETICON, wc::ICON_BIG, 0, wc::SMTO_ABORTIFHUNG, 500, result));
  EXPECT_EQ(result, 0u);
  const WindowHandle gone = w.h();
  w.Destroy();
  EXPECT_FALSE(Backend().SendMessageTimeoutW(gone, wc::WM_NULL, 0, 0, wc::SMTO_ABORTIFHUNG, 500, result));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Environment, SleepMovesTheTickCount) {
  const uint32_t before = Backend().GetTickCount();
  Backend().Sleep(100);
  const uint32_t elapsed = Backend().GetTickCount() - before;  // unsigned: right across a wrap too
  EXPECT_GE(elapsed, 60u);  // the real tick count moves in steps (Wine: 85 ms measured for 100)
  EXPECT_LT(elapsed, 5000u);
}

TEST(Environment, ClipboardTextRoundTrips) {
  const std::wstring text = L"MP: moved \u00e9\u20ac\r\nline 2";
  ASSERT_TRUE(Backend().SetClipboardText(text));
  std::wstring back;
  ASSERT_TRUE(Backend().GetClipboardText(back));
  EXPECT_EQ(back, text);
}

TEST(Environment, UnscaledWindowsReport96Dpi) {
  TestWindow w;
  EXPECT_EQ(Backend().GetDpiForWindow(w.h()), 96u);
}

// What the program finds under the cursor and behind the taskbar: the visible window on top at a
// point, the innermost child there; a hidden window is passed over.
TEST(Windows, APointFindsTheVisibleWindowOnTopThereDownToItsChild) {
  TestWindow w({300, 300, 900, 700});
  ASSERT_TRUE(Backend().SetWindowPos(w.h(), wc::HWND_TOPMOST, 0, 0, 0, 0,
                                     wc::SWP_NOMOVE | wc::SWP_NOSIZE | wc::SWP_NOACTIVATE));
  const WindowHandle child = Backend().CreateWindowExW(0, L"Tessary.ContractChild", L"", wc::WS_CHILD | wc::WS_VISIBLE,
                                                       20, 20, 100, 80, w.h(), [](WindowHandle, uint32_t, uintptr_t,
                                                                                  intptr_t) -> intptr_t { return 0; });
  ASSERT_NE(child, 0u);
  TRect c;
  ASSERT_TRUE(Backend().GetWindowRect(child, c));
  const TPoint inChild{c.Left + 10, c.Top + 10};
  const TPoint beside{c.Right + 50, c.Bottom + 50};  // in the window, off the child
  ASSERT_TRUE(w.Rect().Contains(beside.x, beside.y));
  EXPECT_EQ(Backend().WindowFromPoint(inChild), child);
  EXPECT_EQ(Backend().WindowFromPoint(beside), w.h());

  Backend().ShowWindow(w.h(), wc::SW_HIDE);
  EXPECT_NE(Backend().WindowFromPoint(beside), w.h());
  EXPECT_NE(Backend().WindowFromPoint(inChild), child);
}

TEST(Windows, TheCursorIsOnTheDesktop) {
  TPoint p{-100000, -100000};
  ASSERT_TRUE(Backend().GetCursorPos(p));
  TRect v = Backend().GetVirtualScreenRect();
  // Windows keeps the cursor inside the screen; Wine reports the X pointer, which may rest on the
  // far edge (measured: y 1080 on the 1080-line lab display).
  if (OnWine()) v = TRect{v.Left, v.Top, v.Right + 1, v.Bottom + 1};
  EXPECT_TRUE(v.Contains(p.x, p.y)) << p.x << "," << p.y;
}

// The shell's desktop window, which the mover must leave alone: a visible top-level window of
// another process, behind every other top-level window.
TEST(Windows, TheShellWindowIsAnotherProcesssWindowAtTheBottom) {
  const WindowHandle shell = Backend().GetShellWindow();
  // The lab's Wine desktop runs no shell: no shell window (the program then skips only the desktop).
  if (OnWine()) {
    EXPECT_EQ(shell, 0u);
    return;
  }
  ASSERT_NE(shell, 0u);
  uint32_t pid = 0;
  Backend().GetWindowThreadProcessId(shell, &pid);
  EXPECT_NE(pid, Backend().GetCurrentProcessId());
  EXPECT_EQ(Backend().GetParent(shell), 0u);
  EXPECT_TRUE(Backend().IsWindowVisible(shell));
  TestWindow w;
  EXPECT_TRUE(IsBelow(shell, w.h()));
}

}  // namespace
}  // namespace tessary::contract
