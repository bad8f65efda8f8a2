// Who owns a top-level window: the window given at creation, except the desktop, which owns nothing.
#include <gtest/gtest.h>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

TEST(Owners, TheDesktopGivenAsOwnerLeavesTheWindowUnownedAnotherWindowOwnsIt) {
  const uint32_t style = wc::WS_OVERLAPPED | wc::WS_CAPTION | wc::WS_SYSMENU;
  const WindowHandle free = Backend().CreateWindowExW(wc::WS_EX_APPWINDOW, L"Tessary.ContractOwners", L"free", style,
                                                      100, 100, 200, 150, Backend().GetDesktopWindow(), nullptr);
  ASSERT_NE(free, 0u);
  const WindowHandle owned =
      Backend().CreateWindowExW(0, L"Tessary.ContractOwners", L"owned", style, 120, 120, 200, 150, free, nullptr);
  ASSERT_NE(owned, 0u);

  EXPECT_EQ(Backend().GetWindow(free, wc::GW_OWNER), 0u);
  EXPECT_EQ(Backend().GetParent(free), 0u);
  EXPECT_EQ(Backend().GetWindow(owned, wc::GW_OWNER), free);

  Backend().DestroyWindow(owned);
  Backend().DestroyWindow(free);
}

}  // namespace
}  // namespace tessary::contract
