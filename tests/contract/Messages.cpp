// Messages between our own windows, timers and hotkey registration.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

TEST(Messages, CopyDataArrivesByteExactWithTheSenderAndTheAnswer) {
  TestWindow sender, receiver;
  receiver.inbox().copyAnswer = 4242;
  // UTF-16 text with an embedded zero and characters outside ASCII and the BMP.
  const std::wstring text(L"-mf right\0x \u00e9\u20ac\U0001F600", 16);
  CopyDataRecord rec;
  rec.dwData = 0xC0DE;
  rec.cbData = static_cast<uint32_t>(text.size() * sizeof(wchar_t));
  rec.lpData = text.data();
  intptr_t answer = 0;
  ASSERT_TRUE(Backend().SendCopyData(sender.h(), receiver.h(), rec, answer));
  EXPECT_EQ(answer, 4242);
  const Inbox& in = receiver.inbox();
  ASSERT_EQ(in.copies, 1);
  EXPECT_EQ(in.copyFrom, sender.h());
  EXPECT_EQ(in.copyTag, 0xC0DEu);
  const auto* raw = reinterpret_cast<const uint8_t*>(text.data());
  EXPECT_EQ(in.copyBytes, std::vector<uint8_t>(raw, raw + rec.cbData));

  // An empty record arrives as empty.
  CopyDataRecord empty;
  ASSERT_TRUE(Backend().SendCopyData(sender.h(), receiver.h(), empty, answer));
  EXPECT_EQ(in.copies, 2);
  EXPECT_TRUE(in.copyBytes.empty());
  EXPECT_FALSE(in.copyHadData);

  // To a vanished window it fails with 1400.
  const WindowHandle gone = receiver.h();
  receiver.Destroy();
  EXPECT_FALSE(Backend().SendCopyData(sender.h(), gone, rec, answer));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Messages, PostedMessagesWaitForThePumpAndKeepTheirOrder) {
  TestWindow w;
  Backend().ProcessPendingMessages();
  for (uintptr_t i = 1; i <= 5; ++i) ASSERT_TRUE(Backend().PostMessageW(w.h(), wc::WM_APP, i, 0));
  EXPECT_TRUE(w.inbox().posted.empty());
  // A sent message is handled at once, ahead of the posted ones.
  Backend().SendMessageW(w.h(), wc::WM_APP, 99, 0);
  EXPECT_EQ(w.inbox().posted, std::vector<uintptr_t>{99});
  Backend().ProcessPendingMessages();
  EXPECT_EQ(w.inbox().posted, (std::vector<uintptr_t>{99, 1, 2, 3, 4, 5}));
}

TEST(Messages, TimersFireWhileMessagesArePumped) {
  TestWindow w;
  Backend().ProcessPendingMessages();
  ASSERT_TRUE(Backend().SetTimer(w.h(), 7, 200));
  Backend().ProcessPendingMessages();
  EXPECT_TRUE(w.inbox().timers.empty());  // not due yet

  Backend().Sleep(250);
  EXPECT_TRUE(w.inbox().timers.empty());  // due, but only pumping delivers it
  Backend().ProcessPendingMessages();
  ASSERT_EQ(w.inbox().timers.size(), 1u);  // WM_TIMER is not queued twice
  EXPECT_EQ(w.inbox().timers[0], 7u);

  // It repeats until killed.
  Backend().Sleep(250);
  Backend().ProcessPendingMessages();
  EXPECT_EQ(w.inbox().timers.size(), 2u);
  ASSERT_TRUE(Backend().KillTimer(w.h(), 7));
  Backend().Sleep(250);
  Backend().ProcessPendingMessages();
  EXPECT_EQ(w.inbox().timers.size(), 2u);
  EXPECT_FALSE(Backend().KillTimer(w.h(), 7));
}

TEST(Messages, MonitorDeviceNotificationsRegisterAndUnregisterOnce) {
  TestWindow w({100, 100, 500, 400}, wc::WS_OVERLAPPEDWINDOW);
  const KernelHandle n = Backend().RegisterDeviceNotificationW(w.h(), L"{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}");
  ASSERT_NE(n, 0u);
  EXPECT_TRUE(Backend().UnregisterDeviceNotification(n));
}

TEST(Messages, HotkeyCombinationCanBeRegisteredOnlyOnce) {
  TestWindow a, b;
  const uint32_t mods = wc::MOD_CONTROL | wc::MOD_ALT | wc::MOD_SHIFT;
  const uint32_t vk = wc::VK_F1 + 10;  // F11
  ASSERT_TRUE(Backend().RegisterHotKey(a.h(), 1, mods, vk));
  EXPECT_FALSE(Backend().RegisterHotKey(b.h(), 2, mods, vk));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_HOTKEY_ALREADY_REGISTERED);
  EXPECT_FALSE(Backend().RegisterHotKey(a.h(), 3, mods, vk));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_HOTKEY_ALREADY_REGISTERED);
  // Other modifiers make another combination.
  ASSERT_TRUE(Backend().RegisterHotKey(b.h(), 2, wc::MOD_CONTROL | wc::MOD_ALT, vk));

  ASSERT_TRUE(Backend().UnregisterHotKey(a.h(), 1));
  EXPECT_FALSE(Backend().UnregisterHotKey(a.h(), 1));
  EXPECT_EQ(Backend().GetLastError(), wc::ERROR_HOTKEY_NOT_REGISTERED);
  ASSERT_TRUE(Backend().RegisterHotKey(b.h(), 4, mods, vk));
  EXPECT_TRUE(Backend().UnregisterHotKey(b.h(), 4));
  EXPECT_TRUE(Backend().UnregisterHotKey(b.h(), 2));
}

// Two threads of one process: the first sends to the second's window, whose answer needs a message
// sent back to the first. The first, waiting inside SendMessageW, handles that one meanwhile (it
// would otherwise never get its answer). This is how a move that waits for a window's thread can
// have another request run inside it.
TEST(Messages, AThreadWaitingInSendMessageHandlesAMessageSentToItMeanwhile) {
  const uint32_t mainThread = Backend().GetCurrentThreadId();
  std::atomic<bool> inSend{false}, handledInsideSend{false};
  std::atomic<uint32_t> handledOn{0};
  const WindowHandle mine = Backend().CreateWindowExW(
      wc::WS_EX_TOOLWINDOW, L"Tessary.ContractWaiter", L"waiter", wc::WS_POPUP, 10, 10, 60, 60, 0,
      [&](WindowHandle, uint32_t msg, uintptr_t wp, intptr_t) -> intptr_t {
        if (msg != wc::WM_APP + 8) return 0;
        handledOn = Backend().GetCurrentThreadId();
        handledInsideSend = inSend.load();
        return static_cast<intptr_t>(wp + 100);
      });
  ASSERT_NE(mine, 0u);
  std::atomic<WindowHandle> theirs{0};
  std::atomic<bool> done{false}, ready{false};
  std::thread other([&] {
    const WindowHandle h = Backend().CreateWindowExW(
        wc::WS_EX_TOOLWINDOW, L"Tessary.ContractAnswerer", L"answerer", wc::WS_POPUP, 80, 10, 60, 60, 0,
        [&](WindowHandle, uint32_t msg, uintptr_t wp, intptr_t) -> intptr_t {
          if (msg != wc::WM_APP + 7) return 0;
          return Backend().SendMessageW(mine, wc::WM_APP + 8, wp, 0) + 1;
        });
    theirs = h;
    ready = true;
    while (!done) {
      Backend().ProcessPendingMessages();
      std::this_thread::yield();
    }
    Backend().DestroyWindow(h);
  });
  while (!ready) std::this_thread::yield();
  if (theirs == 0) {
    done = true;
    other.join();
    FAIL() << "the other thread's window";
  }

  inSend = true;
  const intptr_t answer = Backend().SendMessageW(theirs, wc::WM_APP + 7, 5, 0);
  inSend = false;
  done = true;
  other.join();

  EXPECT_EQ(answer, 106) << "the other thread got our answer back and answered";
  EXPECT_EQ(handledOn.load(), mainThread);
  EXPECT_TRUE(handledInsideSend.load());
  Backend().DestroyWindow(mine);
}

// Registered messages: one number per name whatever its case, from the range Windows keeps for them.
TEST(Messages, ARegisteredNameHasOneNumberInTheRegisteredRange) {
  const uint32_t a = Backend().RegisterWindowMessageW(L"Tessary.Contract.Alpha");
  const uint32_t b = Backend().RegisterWindowMessageW(L"Tessary.Contract.Beta");
  for (uint32_t m : {a, b}) {
    EXPECT_GE(m, 0xC000u);
    EXPECT_LE(m, 0xFFFFu);
  }
  EXPECT_NE(a, b);
  EXPECT_EQ(Backend().RegisterWindowMessageW(L"Tessary.Contract.Alpha"), a);
  EXPECT_EQ(Backend().RegisterWindowMessageW(L"TESSARY.contract.alpha"), a);
}

// The main loop ends on the quit message, which comes only after the messages posted before and
// after it; the queue goes on working afterwards.
TEST(Messages, TheQuitMessageEndsThePumpAfterThePostedMessages) {
  TestWindow w;
  Backend().ProcessPendingMessages();
  ASSERT_TRUE(Backend().PostMessageW(w.h(), wc::WM_APP, 1, 0));
  Backend().PostQuitMessage(0);
  ASSERT_TRUE(Backend().PostMessageW(w.h(), wc::WM_APP, 2, 0));
  int pumped = 0;
  while (Backend().PumpOneMessage() && pumped < 100) ++pumped;
  EXPECT_EQ(w.inbox().posted, (std::vector<uintptr_t>{1, 2}));
  ASSERT_LT(pumped, 100);

  ASSERT_TRUE(Backend().PostMessageW(w.h(), wc::WM_APP, 3, 0));
  for (int i = 0; i < 100 && w.inbox().posted.size() < 3; ++i) ASSERT_TRUE(Backend().PumpOneMessage());
  EXPECT_EQ(w.inbox().posted, (std::vector<uintptr_t>{1, 2, 3}));
}

}  // namespace
}  // namespace tessary::contract
