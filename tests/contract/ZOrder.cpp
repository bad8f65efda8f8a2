// The z-order walks and the foreground changes the mover and the snapshot rely on.
#include <gtest/gtest.h>

#include "contract/ContractBackend.h"

namespace tessary::contract {
namespace {

uint32_t ExStyle(WindowHandle h) { return static_cast<uint32_t>(Backend().GetWindowLongW(h, wc::GWL_EXSTYLE)); }

TEST(ZOrder, BringWindowToTopStacksInCallOrder) {
  TestWindow a({100, 100, 500, 400}), b({200, 150, 600, 450}), c({2000, 100, 2400, 400});
  for (WindowHandle h : {a.h(), b.h(), c.h()}) ASSERT_TRUE(Backend().BringWindowToTop(h));
  EXPECT_EQ(Backend().GetWindow(c.h(), wc::GW_HWNDNEXT), b.h());
  EXPECT_EQ(Backend().GetWindow(b.h(), wc::GW_HWNDNEXT), a.h());
  EXPECT_EQ(Backend().GetWindow(a.h(), wc::GW_HWNDPREV), b.h());
  EXPECT_TRUE(IsBelow(a.h(), c.h()));
  EXPECT_FALSE(IsBelow(c.h(), a.h()));

  // The walk from the top of all windows reaches ours, and ends with 0 at the bottom.
  const WindowHandle first = Backend().GetWindow(c.h(), wc::GW_HWNDFIRST);
  EXPECT_TRUE(first == c.h() || IsBelow(c.h(), first));
  const WindowHandle last = Backend().GetWindow(c.h(), wc::GW_HWNDLAST);
  EXPECT_TRUE(IsBelow(last, a.h()));
  EXPECT_EQ(Backend().GetWindow(last, wc::GW_HWNDNEXT), 0u);

  // Destroying one closes the gap.
  b.Destroy();
  EXPECT_EQ(Backend().GetWindow(c.h(), wc::GW_HWNDNEXT), a.h());
}

TEST(ZOrder, TopmostWindowsStayAboveTheRest) {
  TestWindow top({300, 300, 700, 600}, TestWindow::kVisible, wc::WS_EX_TOPMOST);
  TestWindow plain({100, 100, 500, 400});
  EXPECT_NE(ExStyle(top.h()) & wc::WS_EX_TOPMOST, 0u);
  EXPECT_EQ(ExStyle(plain.h()) & wc::WS_EX_TOPMOST, 0u);

  Backend().BringWindowToTop(plain.h());
  EXPECT_TRUE(IsBelow(plain.h(), top.h()));

  // HWND_TOPMOST lifts a window into the band (and above its members); HWND_NOTOPMOST drops it out.
  const uint32_t zOnly = wc::SWP_NOMOVE | wc::SWP_NOSIZE | wc::SWP_NOACTIVATE;
  ASSERT_TRUE(Backend().SetWindowPos(plain.h(), wc::HWND_TOPMOST, 0, 0, 0, 0, zOnly));
  EXPECT_NE(ExStyle(plain.h()) & wc::WS_EX_TOPMOST, 0u);
  EXPECT_TRUE(IsBelow(top.h(), plain.h()));
  ASSERT_TRUE(Backend().SetWindowPos(plain.h(), wc::HWND_NOTOPMOST, 0, 0, 0, 0, zOnly));
  EXPECT_EQ(ExStyle(plain.h()) & wc::WS_EX_TOPMOST, 0u);
  EXPECT_TRUE(IsBelow(plain.h(), top.h()));
  // Geometry is untouched by z-order calls.
  EXPECT_EQ(plain.Rect(), (TRect{100, 100, 500, 400}));
}

TEST(ZOrder, SetWindowPosInsertAfterPlacesDirectlyBelow) {
  TestWindow a({100, 100, 500, 400}), b({200, 150, 600, 450}), c({300, 200, 700, 500});
  for (WindowHandle h : {a.h(), b.h(), c.h()}) Backend().BringWindowToTop(h);
  ASSERT_TRUE(Backend().SetWindowPos(a.h(), c.h(), 0, 0, 0, 0,
                                     wc::SWP_NOMOVE | wc::SWP_NOSIZE | wc::SWP_NOACTIVATE));
  EXPECT_EQ(Backend().GetWindow(c.h(), wc::GW_HWNDNEXT), a.h());
  EXPECT_EQ(Backend().GetWindow(a.h(), wc::GW_HWNDNEXT), b.h());
}

TEST(Foreground, OwnWindowTakesTheForegroundAndComesToTheTop) {
  TestWindow a({100, 100, 500, 400}), b({2000, 100, 2400, 400});
  ASSERT_TRUE(TakeForeground(a.h()));
  EXPECT_EQ(Backend().GetForegroundWindow(), a.h());

  // Holding the foreground, the process moves it between its own windows freely. Windows raises
  // the window it activates; Wine (with openbox) activates without raising, measured over 2 s of
  // pumping, so the program raises with BringWindowToTop itself.
  ASSERT_TRUE(Backend().SetForegroundWindow(b.h()));
  EXPECT_EQ(Backend().GetForegroundWindow(), b.h());
  Backend().BringWindowToTop(b.h());
  ASSERT_TRUE(IsBelow(a.h(), b.h()));
  ASSERT_TRUE(Backend().SetForegroundWindow(a.h()));
  EXPECT_EQ(Backend().GetForegroundWindow(), a.h());
  EXPECT_EQ(IsBelow(b.h(), a.h()), !OnWine());

  // A vanished foreground window leaves no dangling foreground handle.
  const WindowHandle gone = a.h();
  a.Destroy();
  EXPECT_NE(Backend().GetForegroundWindow(), gone);
}

}  // namespace
}  // namespace tessary::contract
