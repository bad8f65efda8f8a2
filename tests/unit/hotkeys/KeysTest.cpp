#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitKeys.h"
#include "../core/CoreFixture.h"

namespace tessary {
namespace {

using namespace tessary::wc;

class KeysTest : public test::CoreFixture {
 protected:
  static THotkeyData Mods(bool win, bool shft, bool ctrl, bool alt) {
    THotkeyData hk;
    hk.win = win;
    hk.shft = shft;
    hk.ctrl = ctrl;
    hk.alt = alt;
    return hk;
  }
  std::vector<int> EventKeys() const {
    std::vector<int> keys;
    for (const auto& e : sim.KeyEvents()) keys.push_back(e.vk);
    return keys;
  }
};

constexpr int kAllSides[] = {VK_LWIN, VK_RWIN, VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU};

TEST_F(KeysTest, ReleasesHeldModifiersLeftBeforeRightInWinShiftCtrlAltOrder) {
  for (int vk : kAllSides) sim.SetKeyQueueState(vk, true);
  TKeys::HandleStuckKeys(Mods(true, true, true, true));

  // The scan code is the layout's answer for the key code read as a character: '[' and '\' for
  // the Windows keys, nothing (0xFF) for the codes above 0x9F.
  struct Expected {
    int vk;
    uint8_t scan;
  };
  const Expected expected[] = {{VK_LWIN, 0xDB},     {VK_RWIN, 0xDC},     {VK_LSHIFT, 0xFF}, {VK_RSHIFT, 0xFF},
                               {VK_LCONTROL, 0xFF}, {VK_RCONTROL, 0xFF}, {VK_LMENU, 0xFF},  {VK_RMENU, 0xFF}};
  const auto& events = sim.KeyEvents();
  ASSERT_EQ(events.size(), std::size(expected));
  for (size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i].vk, expected[i].vk);
    EXPECT_EQ(events[i].scan, expected[i].scan);
    EXPECT_EQ(events[i].flags, KEYEVENTF_KEYUP);
  }
  // One 10 ms pause after each event, and the queue state is clear afterwards.
  EXPECT_EQ(sim.SleepCalls(), 8u);
  EXPECT_EQ(sim.TotalSlept(), 80u);
  for (int vk : kAllSides) EXPECT_FALSE(TKeys::IsPressedInQueue(vk)) << vk;
}

TEST_F(KeysTest, OnlySelectedModifiersThatAreDownGetAnEvent) {
  struct Case {
    const char* name;
    THotkeyData hk;
    std::vector<int> down;
    std::vector<int> events;
  };
  const Case cases[] = {
      {"nothing held", Mods(true, true, true, true), {}, {}},
      {"shift and alt selected", Mods(false, true, false, true), {kAllSides, kAllSides + 8},
       {VK_LSHIFT, VK_RSHIFT, VK_LMENU, VK_RMENU}},
      {"right control only", Mods(true, true, true, true), {VK_RCONTROL}, {VK_RCONTROL}},
      {"held but not selected", Mods(true, false, false, false), {VK_LSHIFT, VK_RMENU}, {}},
      // The generic code alone is not a side: nothing to release.
      {"generic shift", Mods(true, true, true, true), {VK_SHIFT}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int vk : kAllSides) sim.SetKeyQueueState(vk, false);
    sim.SetKeyQueueState(VK_SHIFT, false);
    for (int vk : c.down) sim.SetKeyQueueState(vk, true);
    sim.ClearKeyEvents();
    sim.ResetCallCounts();
    const uint32_t sleepsBefore = sim.SleepCalls();

    TKeys::HandleStuckKeys(c.hk);

    EXPECT_EQ(EventKeys(), c.events);
    EXPECT_EQ(sim.SleepCalls() - sleepsBefore, c.events.size());
    if (c.events.empty()) {
      EXPECT_EQ(sim.CallCount(Op::VkKeyScanW), 0) << "a key that is up costs one query";
    }
  }
}

TEST_F(KeysTest, KeyThatStaysDownGetsTwentyKeyUpsThenTheNextKeyIsHandled) {
  sim.SetKeyQueueState(VK_LCONTROL, true);
  sim.SetKeyQueueState(VK_RMENU, true);
  // The first 20 key-ups never register; the one for Alt does.
  sim.FailOperation(Op::keybd_event, 0, 20);

  TKeys::HandleStuckKeys(Mods(true, true, true, true));

  EXPECT_EQ(sim.CallCount(Op::keybd_event), 21);
  EXPECT_EQ(EventKeys(), std::vector<int>{VK_RMENU});
  EXPECT_EQ(sim.TotalSlept(), 210u);
  EXPECT_TRUE(TKeys::IsPressedInQueue(VK_LCONTROL));
  EXPECT_FALSE(TKeys::IsPressedInQueue(VK_RMENU));
  EXPECT_NE(LogText().find(L"HSK: key 162 still down after 20 key-up events"), std::wstring::npos);
}

TEST_F(KeysTest, QueueStateOfGenericModifiersAsksBothSides) {
  struct Case {
    const char* name;
    int down;  // 0: nothing
    int query;
    bool expected;
  };
  const Case cases[] = {
      {"right control as control", VK_RCONTROL, VK_CONTROL, true},
      {"left control as control", VK_LCONTROL, VK_CONTROL, true},
      {"alt is not control", VK_LMENU, VK_CONTROL, false},
      {"right shift as shift", VK_RSHIFT, VK_SHIFT, true},
      {"left shift as shift", VK_LSHIFT, VK_SHIFT, true},
      {"right alt as alt", VK_RMENU, VK_MENU, true},
      {"left alt as alt", VK_LMENU, VK_MENU, true},
      {"control is not alt", VK_RCONTROL, VK_MENU, false},
      {"nothing down", 0, VK_SHIFT, false},
      {"own code", 'A', 'A', true},
      {"right side is not left", VK_RSHIFT, VK_LSHIFT, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int vk = 0; vk < 256; ++vk) sim.SetKeyQueueState(vk, false);
    if (c.down) sim.SetKeyQueueState(c.down, true);
    sim.SetKeyPhysicalState(c.query, !c.expected);  // the hardware state must not matter
    sim.SetLastError(5);
    EXPECT_EQ(TKeys::IsPressedInQueue(c.query), c.expected);
    EXPECT_EQ(sim.GetLastError(), 0u);
    sim.SetKeyPhysicalState(c.query, false);
  }
}

TEST_F(KeysTest, ShiftNowReadsTheHardwareAndScrollLockTheToggle) {
  sim.SetKeyPhysicalState(VK_SHIFT, true);
  sim.SetLastError(5);
  EXPECT_TRUE(TKeys::IsPressedNow(VK_SHIFT));
  EXPECT_EQ(sim.GetLastError(), 0u);
  sim.SetKeyPhysicalState(VK_SHIFT, false);
  sim.SetKeyQueueState(VK_SHIFT, true);
  EXPECT_FALSE(TKeys::IsPressedNow(VK_SHIFT)) << "the queue state is not the key now";

  // The light, not the key: on while released, off while held.
  sim.SetKeyToggled(VK_SCROLL, true);
  sim.SetLastError(5);
  EXPECT_TRUE(TKeys::LockOn(VK_SCROLL));
  EXPECT_EQ(sim.GetLastError(), 0u);
  sim.SetKeyToggled(VK_SCROLL, false);
  sim.SetKeyQueueState(VK_SCROLL, true);
  sim.SetKeyPhysicalState(VK_SCROLL, true);
  EXPECT_FALSE(TKeys::LockOn(VK_SCROLL));
}

}  // namespace
}  // namespace tessary
