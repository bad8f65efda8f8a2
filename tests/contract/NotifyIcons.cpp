// The notification area as the tray uses it: which Shell_NotifyIconW calls the shell accepts for
// one window and id, and the small-icon size the tray loads its pictures at.
#include <gtest/gtest.h>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

using namespace tessary::wc;

TEST(NotifyIcons, AnIconIsAddedOnceChangedWhileThereAndDeletedOnce) {
  TestWindow owner({100, 100, 300, 200}, WS_POPUP, WS_EX_TOOLWINDOW);
  NotifyIconData d;
  d.window = owner.h();
  d.id = 7;
  d.flags = NIF_MESSAGE | NIF_TIP;
  d.callbackMessage = WM_USER + 1;
  d.tip = L"contract icon";

  EXPECT_FALSE(Backend().ShellNotifyIcon(NIM_MODIFY, d)) << "not there yet";
  EXPECT_FALSE(Backend().ShellNotifyIcon(NIM_DELETE, d)) << "not there yet";
  ASSERT_TRUE(Backend().ShellNotifyIcon(NIM_ADD, d));
  EXPECT_FALSE(Backend().ShellNotifyIcon(NIM_ADD, d)) << "a second add of the same window and id";
  d.tip = std::wstring(200, L'x');  // longer than the record holds: cut, not refused
  EXPECT_TRUE(Backend().ShellNotifyIcon(NIM_MODIFY, d));
  EXPECT_TRUE(Backend().ShellNotifyIcon(NIM_DELETE, d));
  EXPECT_FALSE(Backend().ShellNotifyIcon(NIM_DELETE, d)) << "already gone";
  EXPECT_FALSE(Backend().ShellNotifyIcon(NIM_MODIFY, d)) << "already gone";
}

TEST(NotifyIcons, SmallIconsAreSixteenPixelsAtNinetySixDpi) {
  // The lab and the simulator both run at 100 % scaling.
  EXPECT_EQ(Backend().GetSmallIconSize(), 16);
}

}  // namespace
}  // namespace tessary::contract
