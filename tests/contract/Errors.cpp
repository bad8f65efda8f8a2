// The last error the logic reads after a failed call.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

TEST(Errors, CallsOnAVanishedWindowFailWith1400) {
  WindowHandle gone = 0;
  {
    TestWindow w;
    gone = w.h();
  }
  ASSERT_NE(gone, 0u);
  EXPECT_FALSE(Backend().IsWindow(gone));

  TRect r{1, 2, 3, 4};
  Backend().SetLastError(0);
  EXPECT_FALSE(Backend().GetWindowRect(gone, r));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(r, (TRect{1, 2, 3, 4}));  // untouched on failure

  Backend().SetLastError(0);
  EXPECT_FALSE(Backend().SetWindowPos(gone, 0, 10, 10, 100, 100, kMoverFlags));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_INVALID_WINDOW_HANDLE);

  Backend().SetLastError(0);
  EXPECT_FALSE(Backend().DestroyWindow(gone));
  // Wine answers a vanished handle in DestroyWindow with 5 (access denied); Windows with 1400.
  EXPECT_EQ(Backend().GetLastError(), OnWine() ? wc::ERROR_ACCESS_DENIED : wc::ERROR_INVALID_WINDOW_HANDLE);

  Backend().SetLastError(0);
  EXPECT_FALSE(Backend().PostMessageW(gone, wc::WM_APP, 0, 0));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_INVALID_WINDOW_HANDLE);

  // The calls whose failure the logic tells by 0 / false alone.
  const struct {
    const char* name;
    std::function<bool()> failed;
  } calls[] = {
      {"RedrawWindow", [&] { return !Backend().RedrawWindow(gone, wc::RDW_INVALIDATE | wc::RDW_UPDATENOW); }},
      {"SetFocus", [&] { return Backend().SetFocus(gone) == 0; }},
      {"GetClassIcon", [&] { return Backend().GetClassIcon(gone, wc::GCLP_HICONSM) == 0; }},
  };
  for (const auto& c : calls) {
    Backend().SetLastError(0);
    EXPECT_TRUE(c.failed()) << c.name;
    EXPECT_EQ(Backend().GetLastError(), wc::ERROR_INVALID_WINDOW_HANDLE) << c.name;
  }
}

TEST(Errors, LastErrorRoundTripsAndBelongsToItsThread) {
  for (uint32_t code : {0u, 5u, 1400u, 0x80004001u, 0xFFFFFFFFu}) {
    Backend().SetLastError(code);
    EXPECT_EQ(Backend().GetLastError(), code);
  }
  // Both threads hold their own code at the same time. Only atomics between setting and reading:
  // starting and joining a thread may change the caller's last error themselves.
  std::atomic<int> step{0};
  uint32_t seenByOther = 0;
  std::thread other([&] {
    while (step.load() != 1) {
    }
    Backend().SetLastError(wc::ERROR_TIMEOUT);
    step.store(2);
    while (step.load() != 3) {
    }
    seenByOther = Backend().GetLastError();
  });
  Backend().SetLastError(wc::ERROR_ACCESS_DENIED);
  step.store(1);
  while (step.load() != 2) {
  }
  const uint32_t seenByMain = Backend().GetLastError();
  Backend().SetLastError(wc::ERROR_INVALID_PARAMETER);
  step.store(3);
  other.join();
  EXPECT_EQ(seenByMain, wc::ERROR_ACCESS_DENIED);
  EXPECT_EQ(seenByOther, wc::ERROR_TIMEOUT);
}

TEST(Errors, ErrorTextIsTheSystemMessage) {
  const std::wstring text = Backend().ErrorText(wc::ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_NE(text.find(L"window handle"), std::wstring::npos);
  // Asking for a text leaves the error being reported alone.
  Backend().SetLastError(wc::ERROR_HOTKEY_ALREADY_REGISTERED);
  Backend().ErrorText(wc::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_HOTKEY_ALREADY_REGISTERED);
}

}  // namespace
}  // namespace tessary::contract
