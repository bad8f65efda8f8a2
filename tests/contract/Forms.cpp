// What the widget layer's forms rely on: class styles, frame sizes and messages sent from a
// worker thread.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

using namespace tessary::wc;

WindowHandle MakeWindow(const std::wstring& cls, uint32_t style, uint32_t exStyle, TRect r, WindowProc proc = nullptr) {
  if (!proc) proc = [](WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; };
  return Backend().CreateWindowExW(exStyle, cls, L"contract form", style, r.Left, r.Top, r.Width(), r.Height(), 0,
                                   std::move(proc));
}

TEST(Forms, AClassStyleAskedForBeforeTheFirstWindowReachesTheClass) {
  Backend().SetClassStyle(L"Tessary.ContractSaveBits", CS_SAVEBITS);
  const WindowHandle saving = MakeWindow(L"Tessary.ContractSaveBits", WS_POPUP, WS_EX_TOOLWINDOW, {10, 10, 110, 60});
  const WindowHandle plain = MakeWindow(L"Tessary.ContractPlainClass", WS_POPUP, WS_EX_TOOLWINDOW, {10, 10, 110, 60});
  ASSERT_NE(saving, 0u);
  ASSERT_NE(plain, 0u);
  EXPECT_NE(Backend().GetClassStyle(saving) & CS_SAVEBITS, 0u);
  EXPECT_EQ(Backend().GetClassStyle(plain) & CS_SAVEBITS, 0u);
  Backend().DestroyWindow(saving);
  Backend().DestroyWindow(plain);
  EXPECT_EQ(Backend().GetClassStyle(saving), 0u) << "no window, no class style";
  EXPECT_EQ(Backend().GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

struct FrameCase {
  const char* name;
  uint32_t style, exStyle;
};

class FrameTest : public ::testing::TestWithParam<FrameCase> {};

// A form sizes its window from the client area it wants; the frame the call adds must be the one
// the window really has.
TEST_P(FrameTest, AdjustedRectangleMatchesTheWindowAroundItsClientArea) {
  const FrameCase& c = GetParam();
  const WindowHandle h = MakeWindow(L"Tessary.ContractFrame", c.style, c.exStyle, {200, 200, 520, 440});
  ASSERT_NE(h, 0u);
  TRect window;
  int32_t cw = 0, ch = 0;
  ASSERT_TRUE(Backend().GetWindowRect(h, window));
  ASSERT_TRUE(Backend().GetClientSize(h, cw, ch));
  TRect adjusted{0, 0, cw, ch};
  ASSERT_TRUE(Backend().AdjustWindowRectExForDpi(adjusted, c.style, c.exStyle, Backend().GetDpiForWindow(h)));
  EXPECT_EQ(adjusted.Width(), window.Width());
  EXPECT_EQ(adjusted.Height(), window.Height());
  EXPECT_LT(adjusted.Left, 0);
  if ((c.style & WS_CAPTION) == WS_CAPTION) EXPECT_LT(adjusted.Top, adjusted.Left) << "the caption is on top";
  else EXPECT_EQ(adjusted.Top, adjusted.Left);
  Backend().DestroyWindow(h);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, FrameTest,
    ::testing::Values(FrameCase{"sizable_popup", WS_POPUP | WS_SYSMENU | WS_THICKFRAME, WS_EX_TOOLWINDOW},
                      FrameCase{"caption_dialog", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME}),
    [](const auto& param) { return std::string(param.param.name); });

// The main window is an overlapped window with a sizing border and no caption bar: the platform
// forces a caption on at creation, and the window must be able to take it away again.
TEST(Forms, AnOverlappedWindowGetsACaptionThatCanBeTakenAway) {
  const uint32_t style = WS_SYSMENU | WS_THICKFRAME;
  const WindowHandle h = MakeWindow(L"Tessary.ContractOverlapped", style, WS_EX_TOOLWINDOW, {200, 200, 520, 440});
  ASSERT_NE(h, 0u);
  const uint32_t created = static_cast<uint32_t>(Backend().GetWindowLongW(h, GWL_STYLE));
  EXPECT_EQ(created & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(created & WS_CLIPSIBLINGS, WS_CLIPSIBLINGS);

  ASSERT_TRUE(Backend().SetWindowLongW(h, GWL_STYLE, static_cast<int32_t>(created & ~WS_CAPTION)));
  ASSERT_TRUE(Backend().SetWindowPos(h, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                                                           SWP_FRAMECHANGED));
  EXPECT_EQ(static_cast<uint32_t>(Backend().GetWindowLongW(h, GWL_STYLE)) & WS_CAPTION, 0u);
  TRect window;
  int32_t cw = 0, ch = 0;
  ASSERT_TRUE(Backend().GetWindowRect(h, window));
  ASSERT_TRUE(Backend().GetClientSize(h, cw, ch));
  TRect adjusted{0, 0, cw, ch};
  ASSERT_TRUE(Backend().AdjustWindowRectExForDpi(adjusted, style, WS_EX_TOOLWINDOW, Backend().GetDpiForWindow(h)));
  EXPECT_EQ(adjusted.Width(), window.Width());
  EXPECT_EQ(adjusted.Height(), window.Height()) << "no caption height left in the frame";
  Backend().DestroyWindow(h);
}

TEST(Forms, AMessageSentFromAnotherThreadRunsOnTheWindowsThreadWhenItPumps) {
  const uint32_t ownThread = Backend().GetCurrentThreadId();
  auto ranOn = std::make_shared<std::atomic<uint32_t>>(0);
  const WindowHandle h = MakeWindow(L"Tessary.ContractFrame", WS_POPUP, WS_EX_TOOLWINDOW, {10, 10, 60, 60},
                                    [ranOn](WindowHandle, uint32_t msg, uintptr_t wp, intptr_t) -> intptr_t {
                                      if (msg != WM_APP + 3) return 0;
                                      *ranOn = Backend().GetCurrentThreadId();
                                      return static_cast<intptr_t>(wp * 2);
                                    });
  ASSERT_NE(h, 0u);
  std::atomic<bool> done{false};
  intptr_t answer = 0;
  uint32_t workerThread = 0;
  std::thread worker([&] {
    workerThread = Backend().GetCurrentThreadId();
    answer = Backend().SendMessageW(h, WM_APP + 3, 21, 0);
    done = true;
  });
  while (!done) {
    Backend().ProcessPendingMessages();
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(ranOn->load(), ownThread);
  EXPECT_NE(workerThread, ownThread);
  Backend().DestroyWindow(h);
}

}  // namespace
}  // namespace tessary::contract
