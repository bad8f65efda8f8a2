// One registered global hotkey: its id, what the system refuses and what it delivers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../moving/MovingFixture.h"
#include "hotkeys/UnitHotKey.h"

namespace tessary::test {
namespace {

class HotKeyTest : public MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    window = sim.CreateWindowExW(0, L"HotKeyTestWindow", L"", wc::WS_POPUP, 0, 0, 10, 10, 0,
                                 [this](WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t) -> intptr_t {
                                   if (msg == wc::WM_HOTKEY) received.push_back(static_cast<uint16_t>(wParam));
                                   return 0;
                                 });
  }
  // A press anywhere: true when some registration took it.
  bool Press(uint32_t modifiers, uint32_t vk) {
    const bool taken = sim.PressHotkey(modifiers, vk);
    sim.ProcessPendingMessages();
    return taken;
  }

  WindowHandle window = 0;
  std::vector<uint16_t> received;
};

TEST_F(HotKeyTest, IdsCountUpAndAreNeverReused) {
  auto first = std::make_unique<TACHotKey>(window, L"Tessary.MOVELEFT_HOTKEY", true, true, false, false, wc::VK_LEFT);
  TACHotKey second(window, L"Tessary.MOVERIGHT_HOTKEY", true, true, false, false, wc::VK_RIGHT);
  EXPECT_EQ(first->GetID(), 1);
  EXPECT_EQ(second.GetID(), 2);
  first.reset();
  TACHotKey third(window, L"Tessary.MOVENEXT_HOTKEY", true, true, false, false, 'N');
  EXPECT_EQ(third.GetID(), 3);

  EXPECT_TRUE(Press(wc::MOD_CONTROL | wc::MOD_ALT, wc::VK_RIGHT));
  EXPECT_TRUE(Press(wc::MOD_CONTROL | wc::MOD_ALT, 'N'));
  EXPECT_FALSE(Press(wc::MOD_CONTROL | wc::MOD_ALT, wc::VK_LEFT)) << "the first one went with its object";
  EXPECT_EQ(received, (std::vector<uint16_t>{2, 3}));
}

TEST_F(HotKeyTest, ACombinationAlreadyTakenIsRefusedWithTheSystemsReason) {
  TACHotKey held(window, L"Tessary.MOVELEFT_HOTKEY", true, true, false, false, wc::VK_LEFT);
  try {
    TACHotKey again(window, L"Tessary.MOVERIGHT_HOTKEY", true, true, false, false, wc::VK_LEFT);
    ADD_FAILURE() << "registered twice";
  } catch (const TACHotKeyException& e) {
    EXPECT_EQ(e.Message(), L"ERROR: Unable to assign a hotkey. Please change the key.");
  }
  EXPECT_TRUE(Logged(L"UnitHotkey: " + sim.ErrorText(wc::ERROR_HOTKEY_ALREADY_REGISTERED)));
  EXPECT_TRUE(Press(wc::MOD_CONTROL | wc::MOD_ALT, wc::VK_LEFT));
  EXPECT_EQ(received, std::vector<uint16_t>{1}) << "the first registration keeps working";
}

TEST_F(HotKeyTest, ChangingToACombinationAnotherProgramHoldsLeavesItUnregisteredForGood) {
  sim.ReserveHotkey(wc::MOD_WIN, 'E');
  constexpr uint16_t F5 = 0x74, F6 = 0x75;
  TACHotKey hotkey(window, L"Tessary.MOVENEXT_HOTKEY", false, false, false, false, F5);  // a plain key
  EXPECT_TRUE(Press(0, F5));
  try {
    hotkey.SetHotKey(false, false, false, true, 'E');
    ADD_FAILURE() << "took another program's hotkey";
  } catch (const TACHotKeyException& e) {
    EXPECT_EQ(e.Message(), L"ERROR: Couldn't assign hotkey. It may already be assigned by another program. " +
                               sim.ErrorText(wc::ERROR_HOTKEY_ALREADY_REGISTERED));
  }
  EXPECT_EQ(hotkey.GetID(), 0);
  EXPECT_EQ(hotkey.getLastErr(), sim.ErrorText(wc::ERROR_HOTKEY_ALREADY_REGISTERED));
  EXPECT_FALSE(Press(0, F5)) << "the old combination was released";

  const int calls = sim.CallCount(Op::RegisterHotKey);
  EXPECT_THROW(hotkey.SetHotKey(false, false, false, false, F6), TACHotKeyException);
  EXPECT_EQ(sim.CallCount(Op::RegisterHotKey), calls) << "an object without an id does not ask again";
}

TEST_F(HotKeyTest, UnSetReleasesAndTheIdMatchesNoPressAnyMore) {
  TACHotKey hotkey(window, L"Tessary.MOVELEFT_HOTKEY", true, false, true, false, 'L');
  ASSERT_TRUE(hotkey.SetHotKey(true, false, true, false, 'K'));
  EXPECT_FALSE(Press(wc::MOD_CONTROL | wc::MOD_SHIFT, 'L'));
  EXPECT_TRUE(Press(wc::MOD_CONTROL | wc::MOD_SHIFT, 'K'));
  hotkey.UnSet();
  EXPECT_EQ(hotkey.GetID(), 0);
  EXPECT_FALSE(Press(wc::MOD_CONTROL | wc::MOD_SHIFT, 'K'));
  EXPECT_EQ(received, std::vector<uint16_t>{1});
}

}  // namespace
}  // namespace tessary::test
