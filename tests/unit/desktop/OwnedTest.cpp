// Owners of window-system handles, checked against what the simulated desktop still counts as held.
#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "../core/CoreFixture.h"
#include "desktop/Owned.h"

namespace tessary::test {
namespace {

class OwnedTest : public CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    pid = sim.AddProcess(L"tool.exe");
    base = sim.OwnResources();
  }
  KernelHandle OpenOne() {
    const KernelHandle h = ws().OpenProcess(wc::PROCESS_QUERY_LIMITED_INFORMATION, false, pid);
    EXPECT_NE(h, 0u);
    return h;
  }
  size_t KernelHeld() const { return sim.OwnResources().kernelHandles - base.kernelHandles; }
  size_t IconsHeld() const { return sim.OwnResources().icons - base.icons; }

  uint32_t pid = 0;
  sim::SimDesktop::Resources base;
};

TEST_F(OwnedTest, ClosesOnceAtScopeExit) {
  KernelHandle h = 0;
  {
    OwnedKernelHandle owner(OpenOne());
    h = owner.get();
    EXPECT_TRUE(owner);
    EXPECT_EQ(KernelHeld(), 1u);
    sim.ResetCallCounts();
  }
  EXPECT_EQ(KernelHeld(), 0u);
  EXPECT_EQ(sim.CallCount(Op::CloseHandle), 1);
  // Gone for real: the system no longer knows the handle.
  EXPECT_FALSE(ws().CloseHandle(h));
}

TEST_F(OwnedTest, ClosesWhenAnExceptionLeavesTheScope) {
  EXPECT_THROW(
      {
        OwnedKernelHandle process(OpenOne());
        OwnedKernelHandle token(ws().OpenProcessToken(process.get(), wc::TOKEN_QUERY));
        ASSERT_TRUE(token);
        EXPECT_EQ(KernelHeld(), 2u);
        throw std::runtime_error("unwind");
      },
      std::runtime_error);
  EXPECT_EQ(KernelHeld(), 0u);
}

TEST_F(OwnedTest, EmptyOwnerReleasesNothing) {
  sim.ResetCallCounts();
  {
    OwnedKernelHandle none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.get(), 0u);
    OwnedKernelHandle failed(ws().OpenProcess(0, false, 0));  // no such process: zero
    EXPECT_FALSE(failed);
  }
  EXPECT_EQ(sim.CallCount(Op::CloseHandle), 0);
}

TEST_F(OwnedTest, MoveHandsTheHandleOverAndItIsClosedOnce) {
  sim.ResetCallCounts();
  {
    OwnedKernelHandle outer;
    {
      OwnedKernelHandle inner(OpenOne());
      const KernelHandle h = inner.get();
      OwnedKernelHandle moved(std::move(inner));
      EXPECT_FALSE(inner);
      EXPECT_EQ(moved.get(), h);
      outer = std::move(moved);
      EXPECT_FALSE(moved);
      EXPECT_EQ(outer.get(), h);
    }
    // The moved-from owners are gone and closed nothing.
    EXPECT_EQ(sim.CallCount(Op::CloseHandle), 0);
    EXPECT_EQ(KernelHeld(), 1u);
  }
  EXPECT_EQ(sim.CallCount(Op::CloseHandle), 1);
  EXPECT_EQ(KernelHeld(), 0u);
}

TEST_F(OwnedTest, AssigningOverAHeldHandleClosesTheOldOne) {
  OwnedKernelHandle a(OpenOne()), b(OpenOne());
  const KernelHandle kept = b.get();
  EXPECT_EQ(KernelHeld(), 2u);
  a = std::move(b);
  EXPECT_EQ(KernelHeld(), 1u);
  EXPECT_EQ(a.get(), kept);
  a.reset(OpenOne());
  EXPECT_EQ(KernelHeld(), 1u);
  EXPECT_FALSE(ws().CloseHandle(kept));  // reset closed it
  a.reset();
  EXPECT_FALSE(a);
  EXPECT_EQ(KernelHeld(), 0u);
}

TEST_F(OwnedTest, ResetToTheHandleHeldKeepsIt) {
  OwnedKernelHandle a(OpenOne());
  sim.ResetCallCounts();
  a.reset(a.get());
  EXPECT_EQ(sim.CallCount(Op::CloseHandle), 0);
  EXPECT_EQ(KernelHeld(), 1u);
  OwnedKernelHandle& same = a;
  a = std::move(same);  // the same owner: still held, still once
  EXPECT_TRUE(a);
  EXPECT_EQ(KernelHeld(), 1u);
}

TEST_F(OwnedTest, ReleaseGivesTheHandleUp) {
  KernelHandle h = 0;
  sim.ResetCallCounts();
  {
    OwnedKernelHandle owner(OpenOne());
    h = owner.release();
    EXPECT_FALSE(owner);
  }
  EXPECT_EQ(sim.CallCount(Op::CloseHandle), 0);
  EXPECT_EQ(KernelHeld(), 1u);
  EXPECT_TRUE(ws().CloseHandle(h));
  EXPECT_EQ(KernelHeld(), 0u);
}

TEST_F(OwnedTest, IconIsDestroyedAndOnlyOnce) {
  const int32_t size = ws().GetSmallIconSize();
  sim.ResetCallCounts();
  {
    OwnedIcon icon(ws().LoadIconResource(1, size));
    ASSERT_TRUE(icon);
    OwnedIcon kept(ws().LoadIconResource(2, size));
    EXPECT_EQ(IconsHeld(), 2u);
    const IconHandle handedOut = kept.release();
    EXPECT_EQ(IconsHeld(), 2u);
    EXPECT_TRUE(ws().DestroyIcon(handedOut));
  }
  EXPECT_EQ(IconsHeld(), 0u);
  EXPECT_EQ(sim.CallCount(Op::DestroyIcon), 1 + 1);  // the handed-out one by hand, the owned one by its owner
}

TEST_F(OwnedTest, DeviceNotificationIsUnregistered) {
  sim::WindowSpec ownWindow;
  ownWindow.pid = sim.OwnProcessId();
  const WindowHandle w = sim.AddWindow(ownWindow);
  sim.ResetCallCounts();
  {
    OwnedDeviceNotification n(ws().RegisterDeviceNotificationW(w, L"{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}"));
    ASSERT_TRUE(n);
    EXPECT_EQ(sim.OwnResources().notifications, base.notifications + 1);
  }
  EXPECT_EQ(sim.OwnResources().notifications, base.notifications);
  EXPECT_EQ(sim.CallCount(Op::UnregisterDeviceNotification), 1);
  EXPECT_EQ(sim.CallCount(Op::CloseHandle), 0);  // a notification is not a handle CloseHandle takes
}

}  // namespace
}  // namespace tessary::test
