#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "MovingFixture.h"
#include "core/AppState.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitThreadAttach.h"

namespace tessary {
namespace {

using Lines = std::vector<std::wstring>;

class FocusManagerTest : public test::MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}});
  }
  WindowHandle AddOtherApp(TRect rect = {0, 0, 800, 600}) {
    sim::WindowSpec desc;
    desc.pid = sim.AddProcess(L"other.exe");
    return AddApp(rect, desc);
  }
  int CallsOf(std::initializer_list<Op> ops) {
    int n = 0;
    for (Op op : ops) n += sim.CallCount(op);
    return n;
  }
};

TEST_F(FocusManagerTest, IsLikelyOnTaskbarStopsAtTheFirstFailedTest) {
  struct Case {
    const char* name;
    std::function<void(sim::WindowSpec&)> shape;
    std::optional<Op> fault;  // an operation that fails once with 5
    bool expected;
    Lines log;
  };
  const WindowHandle top = AddApp({0, 0, 300, 300});
  const std::vector<Case> cases = {
      {"ordinary program", [](sim::WindowSpec&) {}, std::nullopt, true, {}},
      {"hidden", [](sim::WindowSpec& s) { s.visible = false; }, std::nullopt, false, {}},
      {"child control",
       [top](sim::WindowSpec& s) {
         s.style = wc::WS_CHILD | wc::WS_VISIBLE;
         s.parent = top;
       },
       std::nullopt, false, {}},
      {"owned dialog",
       [top](sim::WindowSpec& s) {
         s.style = wc::WS_POPUP | wc::WS_CAPTION;
         s.owner = top;
       },
       std::nullopt, false, {}},
      {"owned overlapped window", [top](sim::WindowSpec& s) { s.owner = top; }, std::nullopt, false, {}},
      {"no title", [](sim::WindowSpec& s) { s.title.clear(); }, std::nullopt, false, {}},
      {"cloaked", [](sim::WindowSpec& s) { s.cloaked = true; }, std::nullopt, false, {}},
      {"no extended style", [](sim::WindowSpec& s) { s.exStyle = 0; }, std::nullopt, false, {}},
      {"tool window", [](sim::WindowSpec& s) { s.exStyle = wc::WS_EX_TOOLWINDOW; }, std::nullopt, false, {}},
      {"disabled", [](sim::WindowSpec& s) { s.style |= wc::WS_DISABLED; }, std::nullopt, false, {}},
      // Errors are logged and do not stop the test by themselves.
      {"parent lookup errs", [](sim::WindowSpec&) {}, Op::GetParent, true, {L"Err  :(5) Access is denied"}},
      {"root lookup errs", [](sim::WindowSpec&) {}, Op::GetAncestor, false, {L"Err  :(5) Access is denied"}},
      {"cloaking unreadable", [](sim::WindowSpec&) {}, Op::DwmGetCloaked, true,
       {L"Clock Failed :(5) Access is denied", L"Err  :(5) Access is denied"}},
  };
  for (const Case& c : cases) {
    ResetLogState();
    sim::WindowSpec desc;
    desc.title = L"Document";
    desc.exStyle = wc::WS_EX_WINDOWEDGE;
    c.shape(desc);
    const WindowHandle h = sim.AddWindow(desc);
    if (c.fault) sim.FailOperation(*c.fault, wc::ERROR_ACCESS_DENIED);
    EXPECT_EQ(TFocusManager::IsLikelyOnTaskbar(h), c.expected) << c.name;
    EXPECT_EQ(Log(), c.log) << c.name;
    sim.ClearFaults();
  }
  EXPECT_FALSE(TFocusManager::IsLikelyOnTaskbar(sim.GetShellWindow()));
  EXPECT_FALSE(TFocusManager::IsLikelyOnTaskbar(0));
}

TEST_F(FocusManagerTest, IsLikelyOnTaskbarRejectsAWindowWithoutExtendedStyle) {
  sim::WindowSpec desc;
  desc.title = L"Bare";
  const WindowHandle h = sim.AddWindow(desc);  // exStyle 0
  sim.ResetCallCounts();
  EXPECT_FALSE(TFocusManager::IsLikelyOnTaskbar(h));
  EXPECT_EQ(sim.CallCount(Op::GetAncestor), 0);  // later tests are not made
}

TEST_F(FocusManagerTest, GetNextToFocusWalksDownTheZOrder) {
  sim::WindowSpec minimized;
  minimized.minimized = true;
  const WindowHandle parked = AddApp({0, 0, 500, 500}, minimized);  // minimizing parks it at the bottom
  const WindowHandle program = AddApp({0, 0, 500, 500});
  sim::WindowSpec tool;
  tool.exStyle = wc::WS_EX_TOOLWINDOW;
  AddApp({0, 0, 100, 100}, tool);
  const WindowHandle current = AddApp({0, 0, 500, 500});

  EXPECT_EQ(TFocusManager::GetNextToFocus(current, true), program);
  EXPECT_EQ(TFocusManager::GetNextToFocus(program, false), parked);
  EXPECT_EQ(TFocusManager::GetNextToFocus(program, true), 0u);  // only the shell below
  EXPECT_EQ(TFocusManager::GetNextToFocus(sim.GetShellWindow(), false), 0u);
}

TEST_F(FocusManagerTest, GetNextToFocusGivesUpAfter2000Rejections) {
  struct Case {
    int toolWindows;
    bool findsTheProgram;
  } cases[] = {{2000, true}, {2001, false}};
  for (const Case& c : cases) {
    const WindowHandle program = AddApp({0, 0, 500, 500});
    sim::WindowSpec tool;
    tool.exStyle = wc::WS_EX_TOOLWINDOW;
    tool.pid = sim.AddProcess(L"palette.exe");
    std::vector<WindowHandle> tools;
    for (int i = 0; i < c.toolWindows; ++i) tools.push_back(AddApp({0, 0, 10, 10}, tool));
    const WindowHandle current = AddApp({0, 0, 500, 500});
    // With one rejection too many, the window rejected last comes back: the lowest tool window.
    EXPECT_EQ(TFocusManager::GetNextToFocus(current, false), c.findsTheProgram ? program : tools.front())
        << c.toolWindows;
    for (WindowHandle t : tools) sim.RemoveWindow(t);
  }
}

TEST_F(FocusManagerTest, GetTopParentFollowsParentsAndOwners) {
  const WindowHandle top = AddApp({0, 0, 500, 500});
  sim::WindowSpec child;
  child.style = wc::WS_CHILD | wc::WS_VISIBLE;
  child.parent = top;
  const WindowHandle control = sim.AddWindow(child);
  child.parent = control;
  const WindowHandle grandchild = sim.AddWindow(child);
  sim::WindowSpec popup;
  popup.style = wc::WS_POPUP | wc::WS_CAPTION;
  popup.owner = top;
  const WindowHandle dialog = sim.AddWindow(popup);

  EXPECT_EQ(TFocusManager::GetTopParent(grandchild), top);
  EXPECT_EQ(TFocusManager::GetTopParent(dialog), top);
  EXPECT_EQ(TFocusManager::GetTopParent(top), top);
  EXPECT_EQ(TFocusManager::GetTopParent(0), 0u);
}

TEST_F(FocusManagerTest, ForegroundLookupRetriesEvery20Ms) {
  EXPECT_EQ(TFocusManager::FMGetForegroundWindow(10), 0u);
  EXPECT_EQ(sim.SleepCalls(), 10u);
  EXPECT_EQ(sim.TotalSlept(), 200u);

  const WindowHandle h = AddApp({0, 0, 500, 500});
  sim.At(50, [&] { sim.SetForeground(h); });
  EXPECT_EQ(TFocusManager::FMGetForegroundWindow(10), h);
  EXPECT_EQ(sim.SleepCalls(), 13u);  // found at 60 ms
}

TEST_F(FocusManagerTest, ForceForegroundOnTheFrontWindowCallsNothingElse) {
  const WindowHandle h = AddApp({0, 0, 500, 500});
  sim.SetForeground(h);
  sim.ResetCallCounts();
  EXPECT_TRUE(TFocusManager::ForceForeground(h, true));
  EXPECT_TRUE(TFocusManager::ForceIfNotForeground(h));
  EXPECT_EQ(sim.CallCount(Op::GetForegroundWindow), 2);
  EXPECT_EQ(CallsOf({Op::AttachThreadInput, Op::ShowWindow, Op::BringWindowToTop, Op::SetForegroundWindow, Op::SetFocus,
                     Op::SystemParametersGet, Op::SystemParametersSet, Op::IsIconic}),
            0);
}

TEST_F(FocusManagerTest, ForceForegroundJoinsTheFrontThreadAndRestoresMinimized) {
  sim::WindowSpec desc;
  desc.minimized = true;
  const WindowHandle h = AddApp({100, 100, 600, 500}, desc);
  const WindowHandle other = AddOtherApp();
  sim.SetForeground(other);  // the user's last input went to the other program

  EXPECT_TRUE(TFocusManager::ForceForeground(h, true));
  EXPECT_EQ(sim.GetForegroundWindow(), h);
  EXPECT_FALSE(sim.IsIconic(h));
  EXPECT_EQ(RectOf(h), (TRect{100, 100, 600, 500}));
  EXPECT_EQ(sim.CallCount(Op::AttachThreadInput), 2);  // joined, then detached
  EXPECT_EQ(sim.CallCount(Op::SetFocus), 1);
  EXPECT_EQ(sim.CallCount(Op::SystemParametersSet), 0);  // the first attempt was enough
}

TEST_F(FocusManagerTest, SecondAttemptLowersTheLockTimeoutAndPutsItBack) {
  const WindowHandle h = AddApp({0, 0, 500, 500});
  const WindowHandle other = AddOtherApp();
  sim.SetForeground(other);
  uint32_t before = 0;
  ASSERT_TRUE(sim.SystemParametersGet(wc::SPI_GETFOREGROUNDLOCKTIMEOUT, before));
  ASSERT_NE(before, 0u);

  struct Case {
    const char* name;
    bool lockEnforced;
    bool expected;
  } cases[] = {{"no foreground lock", false, true},
               // Only a thread that may take the foreground may lower the timeout, and after the
               // first attempt ours is no longer joined to the front thread.
               {"the lock holds", true, false}};
  for (const Case& c : cases) {
    sim.SetForeground(other);
    sim.SetForegroundLockEnforced(c.lockEnforced);
    // The first attempt misses: nothing it calls gets the window to the front.
    sim.FailOperation(Op::BringWindowToTop, 5);
    sim.FailOperation(Op::SetForegroundWindow, 5);
    sim.ResetCallCounts();
    EXPECT_EQ(TFocusManager::ForceForeground(h, false), c.expected) << c.name;
    EXPECT_EQ(sim.GetForegroundWindow() == h, c.expected) << c.name;
    EXPECT_EQ(sim.CallCount(Op::SystemParametersGet), 1) << c.name;
    EXPECT_EQ(sim.CallCount(Op::SystemParametersSet), 2) << c.name;
    EXPECT_EQ(sim.CallCount(Op::BringWindowToTop), 2) << c.name;
    uint32_t after = 0;
    ASSERT_TRUE(sim.SystemParametersGet(wc::SPI_GETFOREGROUNDLOCKTIMEOUT, after));
    EXPECT_EQ(after, before) << c.name;
    sim.SetForegroundLockEnforced(true);
    sim.ClearFaults();
  }
}

TEST_F(FocusManagerTest, ThreadAttachJoinsOnlyForeignThreads) {
  const WindowHandle own =
      sim.CreateWindowExW(0, L"Own", L"Own", wc::WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, 0,
                          [](WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
  const WindowHandle other = AddOtherApp();
  {
    TThreadAttach attach(own);
    EXPECT_TRUE(attach.IsAttached());
    attach.Detach();
    EXPECT_FALSE(attach.IsAttached());
  }
  EXPECT_EQ(sim.CallCount(Op::AttachThreadInput), 0);
  {
    TThreadAttach attach(other);
    EXPECT_TRUE(attach.IsAttached());
    EXPECT_NE(attach.ThreadTarget, attach.ThreadOurs);
  }
  EXPECT_EQ(sim.CallCount(Op::AttachThreadInput), 2);  // the destructor detached
  sim.FailOperation(Op::AttachThreadInput, 5);
  {
    TThreadAttach attach(other);
    EXPECT_FALSE(attach.IsAttached());
  }
  EXPECT_EQ(sim.CallCount(Op::AttachThreadInput), 3);  // nothing to detach
}

// Raising, restoring or activating a program that does not take its messages waits for it; so does
// any change of the active window while our input is joined to its thread.
TEST_F(FocusManagerTest, AProgramThatDoesNotRespondIsNotRaisedAndNotJoined) {
  sim::WindowSpec desc;
  desc.pid = sim.AddProcess(L"stuck.exe");
  desc.minimized = true;
  const WindowHandle stuck = AddApp({100, 100, 600, 500}, desc);
  const WindowHandle other = AddOtherApp();
  sim.SetForeground(other);
  sim.SetHung(stuck, true);

  EXPECT_FALSE(TFocusManager::ForceForeground(stuck, true));
  EXPECT_TRUE(sim.IsIconic(stuck));
  EXPECT_EQ(sim.GetForegroundWindow(), other);
  EXPECT_EQ(CallsOf({Op::AttachThreadInput, Op::ShowWindow, Op::BringWindowToTop, Op::SetForegroundWindow, Op::SetFocus}), 0);
  EXPECT_EQ(Log(), (Lines{L"FF: not responding, left alone: stuck.exe :(1460) This operation returned because the "
                          L"timeout period expired"}));
  EXPECT_TRUE(sim.HangsSuffered().empty());

  // The program in front does not respond: ours comes to the front without joining it where the
  // platform has no foreground lock, and stays behind where the lock holds.
  sim.SetHung(stuck, false);
  sim.ShowWindow(stuck, wc::SW_RESTORE);
  sim.SetHung(stuck, true);
  const WindowHandle target = AddApp({700, 100, 1200, 500});
  for (bool lock : {false, true}) {
    SCOPED_TRACE(lock);
    sim.SetForegroundLockEnforced(lock);
    sim.SetForeground(stuck);
    sim.ResetCallCounts();
    ResetLogState();
    EXPECT_EQ(TFocusManager::ForceForeground(target, false), !lock);
    EXPECT_EQ(sim.GetForegroundWindow(), lock ? stuck : target);
    EXPECT_EQ(sim.CallCount(Op::AttachThreadInput), 0);
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().front(), L"TA: not responding, not joined: stuck.exe :(1460) This operation returned because the "
                             L"timeout period expired");
    EXPECT_TRUE(sim.HangsSuffered().empty());
  }
  {
    TThreadAttach attach(stuck);
    EXPECT_FALSE(attach.IsAttached());
  }
  EXPECT_TRUE(sim.HangsSuffered().empty());
}

class Recorder : public ISleepCallback {
 public:
  explicit Recorder(size_t abortAt) : abortAt_(abortAt) {}
  void reportSleepSlick(int32_t remainingMs, bool& abort) override {
    remaining.push_back(remainingMs);
    abort = remaining.size() == abortAt_;
  }
  std::vector<int32_t> remaining;

 private:
  size_t abortAt_;
};

TEST_F(FocusManagerTest, SleepSlickPumpsEvery200MsAndSleepsIn20MsSteps) {
  struct Case {
    int32_t ms;
    int pumps;
    uint32_t sleeps;
  } cases[] = {{0, 0, 0}, {10, 1, 1}, {20, 1, 1}, {200, 1, 10}, {210, 2, 11}, {1000, 5, 50}};
  for (const Case& c : cases) {
    sim.ResetCallCounts();
    const uint32_t sleepsBefore = sim.SleepCalls();
    const uint64_t sleptBefore = sim.TotalSlept();
    SleepSlick(c.ms);
    EXPECT_EQ(sim.CallCount(Op::ProcessPendingMessages), c.pumps) << c.ms;
    EXPECT_EQ(sim.SleepCalls() - sleepsBefore, c.sleeps) << c.ms;
    EXPECT_EQ(sim.TotalSlept() - sleptBefore, 20u * c.sleeps) << c.ms;
  }
}

TEST_F(FocusManagerTest, SleepSlickDispatchesTimersWhileItWaits) {
  int ticks = 0;
  const WindowHandle own = sim.CreateWindowExW(
      0, L"Own", L"", wc::WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, 0,
      [&ticks](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
        if (msg == wc::WM_TIMER) ++ticks;
        return 0;
      });
  ASSERT_TRUE(sim.SetTimer(own, 1, 100));
  SleepSlick(1000);
  EXPECT_EQ(ticks, 4);  // pumps at 200, 400, 600 and 800 ms find it due; the pump at 0 does not
}

TEST_F(FocusManagerTest, SleepSlickReportsToTheCallbackWhichMayAbort) {
  Recorder all(0);
  SleepSlick(1000, &all);
  EXPECT_EQ(all.remaining, (std::vector<int32_t>{1000, 800, 600, 400, 200}));
  EXPECT_EQ(sim.CallCount(Op::ProcessPendingMessages), 0);

  const uint32_t slept = sim.SleepCalls();
  Recorder second(2);
  SleepSlick(1000, &second);
  EXPECT_EQ(second.remaining, (std::vector<int32_t>{1000, 800}));
  EXPECT_EQ(sim.SleepCalls() - slept, 10u);
}

TEST_F(FocusManagerTest, SleepSlickEndsWhenTheApplicationEnds) {
  sim.At(100, [] { SetTerminating(true); });
  SleepSlick(5000);
  EXPECT_EQ(sim.SleepCalls(), 5u);
}

}  // namespace
}  // namespace tessary
