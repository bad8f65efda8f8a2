// A window whose thread stops taking its messages, as the window of a program stuck in a long
// computation: here a thread of the test that stops pumping.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

constexpr uint32_t kDouble = wc::WM_APP + 7;  // answered with wParam * 2 on the window's thread

class StoppingThread {
 public:
  StoppingThread() : worker_([this] { Run(); }) {
    while (h_ == 0) std::this_thread::yield();
  }
  ~StoppingThread() {
    Release();
    done_ = true;
    worker_.join();
  }
  StoppingThread(const StoppingThread&) = delete;
  StoppingThread& operator=(const StoppingThread&) = delete;

  WindowHandle h() const { return h_; }
  uint32_t tid() const { return tid_; }
  uint32_t answeredOn() const { return answeredOn_; }

  // Returns once the thread no longer looks at its messages.
  void Stop() {
    stop_ = true;
    while (!stopped_) std::this_thread::yield();
    MarkNotResponding(h_, true);
  }
  void Release() {
    if (!stopped_ || released_) return;
    released_ = true;
    MarkNotResponding(h_, false);
    go_.set_value();
  }

 private:
  void Run() {
    tid_ = Backend().GetCurrentThreadId();
    const WindowHandle h = Backend().CreateWindowExW(
        wc::WS_EX_TOOLWINDOW, L"Tessary.ContractStopping", L"stopping", wc::WS_POPUP, 10, 10, 100, 50, 0,
        [this](WindowHandle, uint32_t msg, uintptr_t wp, intptr_t) -> intptr_t {
          if (msg != kDouble) return 0;
          answeredOn_ = Backend().GetCurrentThreadId();
          return static_cast<intptr_t>(wp * 2);
        });
    h_ = h;
    while (!done_) {
      Backend().ProcessPendingMessages();
      if (stop_ && !stopped_) {
        stopped_ = true;
        go_.get_future().wait();  // blocked, messages unread
      }
      std::this_thread::yield();
    }
    Backend().DestroyWindow(h);
  }

  std::atomic<WindowHandle> h_{0};
  std::atomic<uint32_t> tid_{0}, answeredOn_{0};
  std::atomic<bool> stop_{false}, stopped_{false}, released_{false}, done_{false};
  std::promise<void> go_;
  std::thread worker_;
};

TEST(Responding, AThreadThatStopsTakingItsMessagesLetsSendMessageTimeoutGiveUp) {
  StoppingThread t;
  uintptr_t answer = 0;
  ASSERT_TRUE(Backend().SendMessageTimeoutW(t.h(), kDouble, 21, 0, wc::SMTO_ABORTIFHUNG, 5000, answer));
  EXPECT_EQ(answer, 42u);
  EXPECT_EQ(t.answeredOn(), t.tid());
  EXPECT_NE(t.tid(), Backend().GetCurrentThreadId());

  t.Stop();
  for (uint32_t flags : {wc::SMTO_ABORTIFHUNG, wc::SMTO_NORMAL}) {
    Backend().SetLastError(0);
    answer = 7;
    EXPECT_FALSE(Backend().SendMessageTimeoutW(t.h(), wc::WM_NULL, 0, 0, flags, 200, answer)) << flags;
    EXPECT_EQ(Backend().GetLastError(), wc::ERROR_TIMEOUT) << flags;
  }
  // What the window system answers without the window's thread still works: the program's window
  // can be captured, and its input joined.
  TRect r;
  EXPECT_TRUE(Backend().IsWindow(t.h()));
  ASSERT_TRUE(Backend().GetWindowRect(t.h(), r));
  EXPECT_EQ(r, (TRect{10, 10, 110, 60}));
  EXPECT_FALSE(Backend().IsIconic(t.h()));
  EXPECT_EQ(Backend().GetWindowThreadProcessId(t.h(), nullptr), t.tid());
  EXPECT_TRUE(Backend().AttachThreadInput(t.tid(), Backend().GetCurrentThreadId(), true));
  EXPECT_TRUE(Backend().AttachThreadInput(t.tid(), Backend().GetCurrentThreadId(), false));
  // A placement handed over without waiting stays undone until the thread takes its messages.
  EXPECT_TRUE(Backend().SetWindowPos(t.h(), 0, 30, 40, 120, 80,
                                     wc::SWP_NOZORDER | wc::SWP_NOACTIVATE | wc::SWP_ASYNCWINDOWPOS));
  ASSERT_TRUE(Backend().GetWindowRect(t.h(), r));
  EXPECT_EQ(r, (TRect{10, 10, 110, 60}));

  t.Release();
  ASSERT_TRUE(Backend().SendMessageTimeoutW(t.h(), kDouble, 5, 0, wc::SMTO_NORMAL, 5000, answer));
  EXPECT_EQ(answer, 10u);
  ASSERT_TRUE(Backend().GetWindowRect(t.h(), r));
  EXPECT_EQ(r, (TRect{30, 40, 150, 120}));
}

}  // namespace
}  // namespace tessary::contract
