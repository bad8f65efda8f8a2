// What tells a new key press from a held key: the time a message carries, and the key-release
// watch. Time here is real under Wine: the bounds allow for a busy machine and for Windows' tick
// of about 16 ms, and still tell the answers apart from the wrong ones by a wide margin.
#include <gtest/gtest.h>

#include <cstdint>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

constexpr uint32_t kSlack = 40;  // ms: tick granularity plus scheduling on a loaded machine

// A key nothing else uses, let go at the end whatever the test did.
class HeldKey {
 public:
  static constexpr uint8_t kVk = 0x87;  // F24
  HeldKey() { Backend().keybd_event(kVk, 0, 0, 0); }
  ~HeldKey() { Release(); }
  HeldKey(const HeldKey&) = delete;
  HeldKey& operator=(const HeldKey&) = delete;
  void Release() {
    if (down_) Backend().keybd_event(kVk, 0, wc::KEYEVENTF_KEYUP, 0);
    down_ = false;
  }

 private:
  bool down_ = true;
};

bool Down(int32_t vk) { return (static_cast<uint16_t>(Backend().GetAsyncKeyState(vk)) & 0x8000u) != 0; }

TEST(Keyboard, APostedMessageCarriesTheTimeItWasPostedNotWhenItIsHandled) {
  TestWindow w;
  Backend().ProcessPendingMessages();
  const uint32_t posted = Backend().GetTickCount();
  ASSERT_TRUE(Backend().PostMessageW(w.h(), wc::WM_APP, 1, 0));
  Backend().Sleep(300);
  ASSERT_TRUE(Backend().PostMessageW(w.h(), wc::WM_APP, 2, 0));
  Backend().ProcessPendingMessages();
  ASSERT_EQ(w.inbox().postedTimes.size(), 2u);
  const uint32_t first = w.inbox().postedTimes[0], second = w.inbox().postedTimes[1];
  EXPECT_LE(first - posted, kSlack) << "first " << first << ", posted at " << posted;
  EXPECT_GE(second - first, 300 - kSlack);
  EXPECT_LE(second - first, 300 + kSlack);
}

TEST(Keyboard, AWatchedKeyThatIsUpAlreadyIsSeenUpAtOnceAfterItsPress) {
  ASSERT_FALSE(Down(HeldKey::kVk));
  const uint32_t pressed = Backend().GetTickCount() - 100;
  ASSERT_TRUE(Backend().WatchKeyRelease(HeldKey::kVk, pressed));
  uint32_t released = 0;
  ASSERT_TRUE(Backend().KeyReleaseSeen(HeldKey::kVk, released));
  EXPECT_EQ(released, pressed + 1);
  EXPECT_FALSE(Backend().KeyReleaseSeen(HeldKey::kVk + 1, released)) << "another key is not watched";
}

// The release is seen when it happens, while the watching thread does not look (it sleeps here as
// a busy user-interface thread would), not only when it asks afterwards.
TEST(Keyboard, TheWatchSeesTheReleaseWhenItHappens) {
  HeldKey key;
  ASSERT_TRUE(Down(HeldKey::kVk));
  const uint32_t pressed = Backend().GetTickCount();
  ASSERT_TRUE(Backend().WatchKeyRelease(HeldKey::kVk, pressed));
  uint32_t released = 0;
  Backend().Sleep(300);
  EXPECT_FALSE(Backend().KeyReleaseSeen(HeldKey::kVk, released)) << "still down";
  Backend().Sleep(300);
  const uint32_t letGo = Backend().GetTickCount();
  key.Release();
  Backend().Sleep(300);
  ASSERT_TRUE(Backend().KeyReleaseSeen(HeldKey::kVk, released));
  EXPECT_GE(static_cast<int32_t>(released - (letGo - kSlack)), 0) << "released " << released << ", let go at " << letGo;
  EXPECT_LE(static_cast<int32_t>(released - letGo), static_cast<int32_t>(kSlack)) << "released " << released << ", let go at " << letGo;

  // Pressed again: a new watch starts from down.
  Backend().keybd_event(HeldKey::kVk, 0, 0, 0);
  ASSERT_TRUE(Backend().WatchKeyRelease(HeldKey::kVk, Backend().GetTickCount()));
  EXPECT_FALSE(Backend().KeyReleaseSeen(HeldKey::kVk, released));
  Backend().keybd_event(HeldKey::kVk, 0, wc::KEYEVENTF_KEYUP, 0);
  Backend().Sleep(100);
  EXPECT_TRUE(Backend().KeyReleaseSeen(HeldKey::kVk, released));
}

// The keys' names and the hotkey's key come from the layout (the lab's and the simulator's are US
// English): letters and digits are their own keys and characters, capitals need Shift, a key
// without a character answers 0 and a character without a key -1.
TEST(Keyboard, TheLayoutMapsLettersAndDigitsToTheirKeys) {
  for (wchar_t c = L'A'; c <= L'Z'; ++c) {
    const auto vk = static_cast<uint32_t>(c);
    EXPECT_EQ(Backend().VkKeyScanW(static_cast<wchar_t>(c - L'A' + L'a')), static_cast<int16_t>(vk)) << char(c);
    EXPECT_EQ(Backend().VkKeyScanW(c), static_cast<int16_t>(0x100 | vk)) << char(c);
    EXPECT_EQ(Backend().MapVirtualKeyW(vk, wc::MAPVK_VK_TO_CHAR), vk) << char(c);
  }
  for (wchar_t c = L'0'; c <= L'9'; ++c) {
    EXPECT_EQ(Backend().VkKeyScanW(c), static_cast<int16_t>(c)) << char(c);
    EXPECT_EQ(Backend().MapVirtualKeyW(c, wc::MAPVK_VK_TO_CHAR), static_cast<uint32_t>(c)) << char(c);
  }
  constexpr uint32_t kF1 = 0x70;
  EXPECT_EQ(Backend().MapVirtualKeyW(kF1, wc::MAPVK_VK_TO_CHAR), 0u);
  EXPECT_EQ(Backend().VkKeyScanW(L'\u4E00'), -1);
  // Scan codes of the first set: A is 0x1E, and back.
  EXPECT_EQ(Backend().MapVirtualKeyW('A', wc::MAPVK_VK_TO_VSC), 0x1Eu);
  EXPECT_EQ(Backend().MapVirtualKeyW(0x1E, wc::MAPVK_VSC_TO_VK), static_cast<uint32_t>('A'));
}

// The hotkey editor reads the whole keyboard at once; it agrees key by key with GetKeyState.
TEST(Keyboard, TheKeyboardStateAgreesWithEachKeysState) {
  TestWindow w;
  Backend().ProcessPendingMessages();
  uint8_t keys[256] = {};
  ASSERT_TRUE(Backend().GetKeyboardState(keys));
  for (int32_t vk = 1; vk < 256; ++vk) {
    const auto state = static_cast<uint16_t>(Backend().GetKeyState(vk));
    EXPECT_EQ((keys[vk] & 0x80) != 0, (state & 0x8000u) != 0) << vk;
    EXPECT_EQ(keys[vk] & 0x01u, state & 0x01u) << vk;
  }
}

}  // namespace
}  // namespace tessary::contract
