// The simulator's own model: the rules other tests lean on without checking them.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/SimDesktop.h"

namespace tessary::sim {
namespace {

using namespace tessary::wc;

class SimTest : public ::testing::Test {
 protected:
  SimTest() { sim.SetLayout({{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}); }

  WindowHandle App(const wchar_t* title, uint32_t ex = 0, uint32_t pid = 0) {
    WindowSpec s;
    s.title = title;
    s.exStyle = ex;
    s.pid = pid;
    return sim.AddWindow(s);
  }
  size_t Pos(WindowHandle h) {
    auto z = sim.ZOrder();
    return static_cast<size_t>(std::find(z.begin(), z.end(), h) - z.begin());
  }

  SimDesktop sim;
};

TEST_F(SimTest, TopmostBandStaysAboveAndShellStaysAtTheBottom) {
  const WindowHandle tray = sim.FindWindowW(L"Shell_TrayWnd", L"");
  const WindowHandle shell = sim.GetShellWindow();
  const WindowHandle a = App(L"a"), b = App(L"b"), t = App(L"t", WS_EX_TOPMOST);
  EXPECT_LT(Pos(t), Pos(b));
  EXPECT_LT(Pos(tray), Pos(b));
  EXPECT_LT(Pos(b), Pos(a));  // newer on top of its band

  ASSERT_TRUE(sim.SetWindowPos(a, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
  EXPECT_LT(Pos(t), Pos(a));
  EXPECT_LT(Pos(a), Pos(b));

  ASSERT_TRUE(sim.BringWindowToTop(b));
  EXPECT_LT(Pos(t), Pos(b));

  // Inserting a normal window after a topmost one keeps it in its band.
  ASSERT_TRUE(sim.SetWindowPos(b, t, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
  EXPECT_LT(Pos(tray), Pos(b));
  EXPECT_EQ(sim.GetWindowLongW(b, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  ASSERT_TRUE(sim.SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
  EXPECT_EQ(sim.ZOrder().front(), a);
  EXPECT_NE(sim.GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

  ASSERT_TRUE(sim.SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
  EXPECT_EQ(sim.GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_LT(Pos(tray), Pos(a));
  EXPECT_LT(Pos(a), Pos(b));  // top of the normal band

  // HWND_BOTTOM takes the topmost status away and stops above the shell window.
  ASSERT_TRUE(sim.SetWindowPos(t, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE));
  EXPECT_EQ(sim.GetWindowLongW(t, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  auto z = sim.ZOrder();
  EXPECT_EQ(z.back(), shell);
  EXPECT_EQ(z[z.size() - 2], t);

  // GW_HWNDNEXT walks the same order and ends with 0.
  std::vector<WindowHandle> walked;
  for (WindowHandle h = sim.GetWindow(sim.GetDesktopWindow(), GW_CHILD); h; h = sim.GetWindow(h, GW_HWNDNEXT))
    walked.push_back(h);
  EXPECT_EQ(walked, sim.ZOrder());
}

TEST_F(SimTest, OwnedWindowsRiseWithTheirOwner) {
  const WindowHandle owner = App(L"owner");
  WindowSpec pop;
  pop.style = WS_POPUP | WS_CAPTION;
  pop.owner = owner;
  const WindowHandle popup = sim.AddWindow(pop);
  const WindowHandle other = App(L"other");
  EXPECT_EQ(sim.GetParent(popup), owner);  // an owned pop-up reports its owner
  EXPECT_EQ(sim.GetParent(owner), 0u);
  sim.SetForeground(owner);
  EXPECT_LT(Pos(popup), Pos(owner));
  EXPECT_LT(Pos(owner), Pos(other));
}

TEST_F(SimTest, MinimizedAndMaximizedGeometry) {
  WindowSpec s;
  s.rect = {2000, 100, 2800, 700};
  const WindowHandle w = sim.AddWindow(s);
  const WindowHandle other = App(L"other");

  ASSERT_TRUE(sim.ShowWindow(w, SW_MAXIMIZE));
  TRect r;
  ASSERT_TRUE(sim.GetWindowRect(w, r));
  EXPECT_EQ(r, (TRect{1912, -8, 3848, 1088}));  // second monitor, no taskbar, frame outside
  EXPECT_NE(static_cast<uint32_t>(sim.GetWindowLongW(w, GWL_STYLE)) & WS_MAXIMIZE, 0u);

  // Moving a maximized window keeps it zoomed.
  ASSERT_TRUE(sim.SetWindowPos(w, 0, -8, -8, 1936, 1036, SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_TRUE(sim.IsZoomed(w));
  EXPECT_EQ(sim.RestoreRect(w), (TRect{2000, 100, 2800, 700}));

  ASSERT_TRUE(sim.ShowWindow(w, SW_MINIMIZE));
  ASSERT_TRUE(sim.GetWindowRect(w, r));
  EXPECT_EQ(r, (TRect{-32000, -32000, -31840, -31972}));
  EXPECT_EQ(static_cast<uint32_t>(sim.GetWindowLongW(w, GWL_STYLE)) & (WS_MINIMIZE | WS_MAXIMIZE), WS_MINIMIZE);
  EXPECT_EQ(sim.ZOrder()[sim.ZOrder().size() - 2], w);  // sent to the bottom
  EXPECT_EQ(sim.MonitorFromWindow(w, MONITOR_DEFAULTTONULL), sim.EnumMonitors()[1].handle);

  // A minimized window stays parked and keeps its normal place.
  ASSERT_TRUE(sim.SetWindowPos(w, 0, 100, 50, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE));
  ASSERT_TRUE(sim.GetWindowRect(w, r));
  EXPECT_EQ(r.Left, -32000);
  EXPECT_EQ(sim.RestoreRect(w), (TRect{2000, 100, 2800, 700}));

  // It was maximized (on the first monitor since the move): restoring maximizes it there again;
  // a second restore gives the normal place.
  sim.ShowWindow(w, SW_RESTORE);
  ASSERT_TRUE(sim.GetWindowRect(w, r));
  EXPECT_EQ(r, (TRect{-8, -8, 1928, 1048}));
  EXPECT_TRUE(sim.IsZoomed(w));
  sim.ShowWindow(w, SW_RESTORE);
  ASSERT_TRUE(sim.GetWindowRect(w, r));
  EXPECT_EQ(r, (TRect{2000, 100, 2800, 700}));
  // Minimizing the foreground window hands the foreground to the next window below it.
  sim.SetForeground(w);
  sim.ShowWindow(w, SW_MINIMIZE);
  EXPECT_EQ(sim.GetForegroundWindow(), other);
}

TEST_F(SimTest, ForegroundLockRule) {
  const uint32_t ownTid = sim.GetCurrentThreadId();
  const uint32_t otherPid = sim.AddProcess(L"other.exe");
  const WindowHandle foreign = App(L"foreign", 0, otherPid);
  const WindowHandle target = App(L"target");
  const WindowHandle mine = sim.CreateWindowExW(0, L"Own", L"mine", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, 0, nullptr);
  const uint32_t foreignTid = sim.GetWindowThreadProcessId(foreign, nullptr);

  struct Case {
    const char* name;
    WindowHandle fg;
    bool attach;
    uint32_t timeout;
    bool enforced;
    uint32_t idleMs;  // time without user input before the call
    bool allowed;
  };
  const Case cases[] = {
      {"another process holds the foreground", foreign, false, 200000, true, 199999, false},
      {"our own window holds it", mine, false, 200000, true, 0, true},
      {"attached to the foreground thread", foreign, true, 200000, true, 0, true},
      {"lock time-out is zero", foreign, false, 0, true, 0, true},
      {"lock time-out passed since the last input", foreign, false, 200000, true, 200000, true},
      {"lock not enforced", foreign, false, 200000, false, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.SetForegroundLockEnforced(true);
    sim.SetForeground(mine);  // only a foreground process may change the lock time-out
    ASSERT_TRUE(sim.SystemParametersSet(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, c.timeout, SPIF_SENDCHANGE));
    sim.SetForeground(c.fg);
    ASSERT_EQ(sim.GetForegroundWindow(), c.fg);
    sim.SetForegroundLockEnforced(c.enforced);
    sim.AdvanceTime(c.idleMs);
    if (c.attach) {
      ASSERT_TRUE(sim.AttachThreadInput(ownTid, foreignTid, true));
    }
    EXPECT_EQ(sim.SetForegroundWindow(target), c.allowed);
    EXPECT_EQ(sim.GetForegroundWindow(), c.allowed ? target : c.fg);
    if (c.allowed) {
      EXPECT_EQ(sim.ZOrder()[1], target);  // raised, under the topmost taskbar
    }
    if (c.attach) {
      ASSERT_TRUE(sim.AttachThreadInput(ownTid, foreignTid, false));
    }
  }
  // Without the foreground the time-out cannot be changed either.
  sim.SetForegroundLockEnforced(true);
  sim.SetForeground(mine);
  ASSERT_TRUE(sim.SystemParametersSet(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, 200000, 0));
  sim.SetForeground(foreign);
  EXPECT_FALSE(sim.SystemParametersSet(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, 0, 0));
  EXPECT_EQ(sim.GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(sim.AttachThreadInput(ownTid, ownTid, true));
  EXPECT_FALSE(sim.AttachThreadInput(ownTid, 7, true));
}

TEST_F(SimTest, FaultsFailTheNamedOperationAndCallsAreCounted) {
  const WindowHandle w = App(L"w");
  TRect r;
  sim.FailOperation(Op::GetWindowRect, ERROR_ACCESS_DENIED, 2);
  EXPECT_FALSE(sim.GetWindowRect(w, r));
  EXPECT_EQ(sim.GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(sim.GetWindowRect(w, r));
  EXPECT_TRUE(sim.GetWindowRect(w, r));
  EXPECT_EQ(sim.CallCount(Op::GetWindowRect), 3);
  EXPECT_EQ(sim.CallCount(Op::SetWindowPos), 0);

  sim.FailOperation(Op::EnumMonitors, ERROR_NOT_ENOUGH_MEMORY, -1);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(sim.EnumMonitors().empty());
  sim.ClearFaults();
  EXPECT_EQ(sim.EnumMonitors().size(), 2u);
  sim.ResetCallCounts();
  EXPECT_EQ(sim.CallCount(Op::EnumMonitors), 0);

  // A vanished window fails with the window-handle error.
  sim.RemoveWindow(w);
  EXPECT_FALSE(sim.IsWindow(w));
  EXPECT_FALSE(sim.GetWindowRect(w, r));
  EXPECT_EQ(sim.GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(sim.GetWindowThreadProcessId(w, nullptr), 0u);
  EXPECT_EQ(sim.ErrorText(1400), L"Invalid window handle.\r\n");
  EXPECT_EQ(sim.ErrorText(0x12345), L"");
}

struct Recorder {
  std::vector<std::pair<uint32_t, uintptr_t>> got;
  WindowProc Proc() {
    return [this](WindowHandle, uint32_t m, uintptr_t w, intptr_t) {
      got.emplace_back(m, w);
      return intptr_t{0};
    };
  }
  int Count(uint32_t msg) const {
    return static_cast<int>(std::count_if(got.begin(), got.end(), [&](auto& p) { return p.first == msg; }));
  }
};

TEST_F(SimTest, TimersFireOnlyWhilePumpingOnVirtualTime) {
  Recorder rec;
  const WindowHandle w = sim.CreateWindowExW(0, L"T", L"", WS_POPUP, 0, 0, 10, 10, 0, rec.Proc());
  sim.SetTickCount(0xFFFFFF00u);  // the clock wraps while the timer runs
  ASSERT_TRUE(sim.SetTimer(w, 7, 100));
  sim.ProcessPendingMessages();
  EXPECT_EQ(rec.Count(WM_TIMER), 0);

  sim.AdvanceTime(350);  // three periods passed, nothing pumped
  EXPECT_EQ(rec.Count(WM_TIMER), 0);
  EXPECT_EQ(sim.GetTickCount(), 94u);
  sim.ProcessPendingMessages();
  EXPECT_EQ(rec.Count(WM_TIMER), 1);  // coalesced
  sim.ProcessPendingMessages();
  EXPECT_EQ(rec.Count(WM_TIMER), 1);

  // The message loop waits on virtual time for the next period.
  ASSERT_TRUE(sim.PumpOneMessage());
  EXPECT_EQ(rec.Count(WM_TIMER), 2);
  EXPECT_EQ(sim.GetTickCount(), 194u);
  EXPECT_EQ(rec.got.back().second, 7u);

  ASSERT_TRUE(sim.KillTimer(w, 7));
  EXPECT_FALSE(sim.KillTimer(w, 7));
  EXPECT_FALSE(sim.PumpOneMessage());  // nothing could ever arrive: no hang

  // A scheduled action posting a message wakes the loop at its time; quit ends it.
  sim.At(500, [&] { sim.PostMessageW(w, WM_APP, 1, 0); });
  ASSERT_TRUE(sim.PumpOneMessage());
  EXPECT_EQ(rec.got.back(), (std::pair<uint32_t, uintptr_t>{WM_APP, 1}));
  EXPECT_EQ(sim.GetTickCount(), 694u);
  sim.PostQuitMessage(0);
  EXPECT_FALSE(sim.PumpOneMessage());
}

TEST_F(SimTest, SleepRunsScheduledActionsInOrder) {
  std::vector<int> order;
  sim.At(300, [&] { order.push_back(3); });
  sim.At(100, [&] {
    order.push_back(1);
    sim.At(100, [&] { order.push_back(2); });  // due at 200
  });
  const uint32_t t0 = sim.GetTickCount();
  sim.Sleep(250);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  sim.Sleep(50);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(sim.GetTickCount() - t0, 300u);
  EXPECT_EQ(sim.SleepCalls(), 2u);
  EXPECT_EQ(sim.TotalSlept(), 300u);
}

TEST_F(SimTest, HotkeysConflictAndArriveAsMessages) {
  Recorder rec;
  const WindowHandle w = sim.CreateWindowExW(0, L"H", L"", WS_POPUP, 0, 0, 10, 10, 0, rec.Proc());
  const WindowHandle w2 = sim.CreateWindowExW(0, L"H", L"", WS_POPUP, 0, 0, 10, 10, 0, rec.Proc());
  sim.ReserveHotkey(MOD_WIN, 'E');
  ASSERT_TRUE(sim.RegisterHotKey(w, 1, MOD_CONTROL | MOD_ALT | MOD_NOREPEAT, VK_RIGHT));

  struct Case {
    WindowHandle h;
    int32_t id;
    uint32_t mods, vk;
    uint32_t err;
  };
  const Case cases[] = {
      {w2, 1, MOD_CONTROL | MOD_ALT, VK_RIGHT, ERROR_HOTKEY_ALREADY_REGISTERED},  // taken by us
      {w2, 2, MOD_WIN, 'E', ERROR_HOTKEY_ALREADY_REGISTERED},                     // taken by another program
      {w, 1, MOD_CONTROL | MOD_ALT, VK_LEFT, ERROR_HOTKEY_ALREADY_REGISTERED},    // same id again
      {0x999, 3, MOD_ALT, 'Q', ERROR_INVALID_WINDOW_HANDLE},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(sim.RegisterHotKey(c.h, c.id, c.mods, c.vk));
    EXPECT_EQ(sim.GetLastError(), c.err);
  }
  EXPECT_TRUE(sim.RegisterHotKey(w2, 1, MOD_CONTROL | MOD_ALT, VK_LEFT));
  EXPECT_FALSE(sim.UnregisterHotKey(w, 9));
  EXPECT_EQ(sim.GetLastError(), ERROR_HOTKEY_NOT_REGISTERED);

  ASSERT_TRUE(sim.PressHotkey(MOD_CONTROL | MOD_ALT, VK_RIGHT));
  EXPECT_FALSE(sim.PressHotkey(MOD_SHIFT, VK_RIGHT));
  // Typing the combination triggers it too; releasing clears the key state.
  sim.keybd_event(VK_CONTROL, 0, 0, 0);
  sim.keybd_event(VK_MENU, 0, 0, 0);
  EXPECT_LT(sim.GetKeyState(VK_CONTROL), 0);
  EXPECT_LT(sim.GetAsyncKeyState(VK_LMENU), 0);
  sim.keybd_event(VK_LEFT, 0, KEYEVENTF_EXTENDEDKEY, 0);
  sim.keybd_event(VK_LEFT, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
  sim.keybd_event(VK_MENU, 0, KEYEVENTF_KEYUP, 0);
  sim.keybd_event(VK_CONTROL, 0, KEYEVENTF_KEYUP, 0);
  EXPECT_EQ(sim.GetKeyState(VK_CONTROL) & 0x8000, 0);
  EXPECT_EQ(sim.GetAsyncKeyState(VK_MENU), 0);
  EXPECT_EQ(sim.KeyEvents().size(), 6u);

  sim.ProcessPendingMessages();
  ASSERT_EQ(rec.Count(WM_HOTKEY), 2);
  EXPECT_EQ(rec.got[rec.got.size() - 2].second, 1u);
  EXPECT_EQ(rec.got.back().second, 1u);  // w2's id 1

  // Destroying the window frees its registration.
  ASSERT_TRUE(sim.DestroyWindow(w));
  EXPECT_TRUE(sim.RegisterHotKey(w2, 5, MOD_CONTROL | MOD_ALT, VK_RIGHT));
}

TEST_F(SimTest, DestroyWindowNotifiesAndRemovesChildren) {
  std::vector<std::pair<WindowHandle, uint32_t>> log;
  bool validDuringDestroy = true;
  auto proc = [&](WindowHandle h, uint32_t m, uintptr_t, intptr_t) {
    log.emplace_back(h, m);
    if (m == WM_DESTROY) {
      // Handlers may still release what the window holds, and call back into the desktop.
      validDuringDestroy = validDuringDestroy && sim.IsWindow(h) && sim.KillTimer(h, 1) == (log.size() == 1);
      sim.DestroyWindow(h);
    }
    return intptr_t{0};
  };
  const WindowHandle top = sim.CreateWindowExW(0, L"P", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, 0, proc);
  const WindowHandle kid = sim.CreateWindowExW(0, L"C", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, proc);
  EXPECT_EQ(sim.GetParent(kid), top);
  EXPECT_EQ(sim.GetAncestor(kid, GA_ROOT), top);
  ASSERT_TRUE(sim.SetTimer(top, 1, 50));
  log.clear();
  ASSERT_TRUE(sim.DestroyWindow(top));
  EXPECT_EQ(log, (std::vector<std::pair<WindowHandle, uint32_t>>{{top, WM_DESTROY}, {kid, WM_DESTROY}}));
  EXPECT_TRUE(validDuringDestroy);
  EXPECT_FALSE(sim.IsWindow(kid));
  EXPECT_FALSE(sim.DestroyWindow(top));
  EXPECT_EQ(sim.GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  sim.AdvanceTime(100);
  log.clear();
  sim.ProcessPendingMessages();
  EXPECT_TRUE(log.empty());
}

TEST_F(SimTest, MessagesToOtherProgramsAndIconCopies) {
  const WindowHandle app = App(L"app");
  sim.SetWindowIcon(app, 0x501, 0x502, 0x503, 0);
  uintptr_t res = 0;
  ASSERT_TRUE(sim.SendMessageTimeoutW(app, WM_GETICON, ICON_SMALL2, 0, SMTO_ABORTIFHUNG, 100, res));
  EXPECT_EQ(res, 0x502u);
  EXPECT_EQ(sim.GetClassIcon(app, GCLP_HICON), 0x503u);
  EXPECT_EQ(sim.GetClassIcon(app, GCLP_HICONSM), 0u);

  // A hung window times out after the whole wait, on virtual time.
  sim.SetHung(app, true);
  const uint32_t t0 = sim.GetTickCount();
  EXPECT_FALSE(sim.SendMessageTimeoutW(app, WM_GETICON, ICON_BIG, 0, SMTO_NORMAL, 500, res));
  EXPECT_EQ(sim.GetLastError(), ERROR_TIMEOUT);
  EXPECT_EQ(sim.GetTickCount() - t0, 500u);

  // Copies are new handles that must be destroyed; unknown icons cannot be copied.
  const IconHandle c1 = sim.CopyIconHandle(0x501), c2 = sim.CopyIconHandle(0x501);
  EXPECT_NE(c1, 0u);
  EXPECT_NE(c1, c2);
  EXPECT_NE(c1, 0x501u);
  EXPECT_EQ(sim.LiveIconCopies(), 2u);
  EXPECT_TRUE(sim.DestroyIcon(c1));
  EXPECT_FALSE(sim.DestroyIcon(c1));
  EXPECT_EQ(sim.LiveIconCopies(), 1u);
  EXPECT_EQ(sim.CopyIconHandle(0), 0u);
  EXPECT_EQ(sim.GetLastError(), 1402u);
  EXPECT_EQ(sim.ErrorText(1402), L"Invalid cursor handle.\r\n");

  // WM_COPYDATA reaches our own window as a private copy of the bytes; others answer 0.
  std::string seen;
  const void* seenPtr = nullptr;
  const WindowHandle mine = sim.CreateWindowExW(0, L"Inst", L"", WS_POPUP, 0, 0, 1, 1, 0,
                                                [&](WindowHandle, uint32_t m, uintptr_t, intptr_t l) -> intptr_t {
                                                  if (m != WM_COPYDATA) return 0;
                                                  auto* cd = reinterpret_cast<const CopyDataRecord*>(l);
                                                  seenPtr = cd->lpData;
                                                  seen.assign(static_cast<const char*>(cd->lpData), cd->cbData);
                                                  return 42;
                                                });
  const std::string payload = "show";
  intptr_t answer = 0;
  ASSERT_TRUE(sim.SendCopyData(0, mine, CopyDataRecord{1, 4, payload.data()}, answer));
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(seen, "show");
  EXPECT_NE(seenPtr, static_cast<const void*>(payload.data()));
  sim.SetHung(app, false);
  ASSERT_TRUE(sim.SendCopyData(0, app, CopyDataRecord{1, 4, payload.data()}, answer));
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(sim.FindWindowW(L"inst", L""), mine);
  EXPECT_EQ(sim.RegisterWindowMessageW(L"TaskbarCreated"), sim.RegisterWindowMessageW(L"taskbarcreated"));
  EXPECT_GE(sim.RegisterWindowMessageW(L"TaskbarCreated"), 0xC000u);
}

// What waits for a thread that does not take its messages, as measured under Wine: a call that
// hands work to that thread waits until the program answers (here: kHangMs on the clock, and a
// record of it); queries and the calls the system completes without the thread do not.
TEST_F(SimTest, AThreadThatDoesNotRespondHoldsTheCallsThatWaitForIt) {
  const WindowHandle app = App(L"app");
  WindowSpec ownDesc;
  ownDesc.title = L"ours";
  ownDesc.pid = sim.OwnProcessId();
  ownDesc.tid = sim.AddThread(sim.OwnProcessId());
  const WindowHandle oursOtherThread = sim.AddWindow(ownDesc);
  const std::string payload = "x";
  struct Case {
    const char* name;
    WindowHandle h;
    std::function<void(WindowHandle)> call;
    std::optional<Op> hang;  // the operation recorded as having waited
  };
  const std::vector<Case> cases = {
      {"placing", app, [&](WindowHandle h) { sim.SetWindowPos(h, 0, 10, 10, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE); },
       Op::SetWindowPos},
      {"raising", app, [&](WindowHandle h) { sim.SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); },
       Op::SetWindowPos},
      {"BringWindowToTop", app, [&](WindowHandle h) { sim.BringWindowToTop(h); }, Op::BringWindowToTop},
      {"ShowWindow", app, [&](WindowHandle h) { sim.ShowWindow(h, SW_SHOWNA); }, Op::ShowWindow},
      {"painting now", app, [&](WindowHandle h) { sim.RedrawWindow(h, RDW_INVALIDATE | RDW_UPDATENOW); },
       Op::RedrawWindow},
      {"SendMessageW", app, [&](WindowHandle h) { sim.SendMessageW(h, WM_NULL, 0, 0); }, Op::SendMessageW},
      {"SendCopyData", app,
       [&](WindowHandle h) {
         intptr_t r = 0;
         sim.SendCopyData(0, h, CopyDataRecord{0, 1, payload.data()}, r);
       },
       Op::SendCopyData},
      {"text of a window of another thread of ours", oursOtherThread, [&](WindowHandle h) { sim.GetWindowTextW(h); },
       Op::GetWindowTextW},
      {"invalidating only", app, [&](WindowHandle h) { sim.RedrawWindow(h, RDW_INVALIDATE | RDW_ALLCHILDREN); },
       std::nullopt},
      {"SetForegroundWindow of it", app, [&](WindowHandle h) { sim.SetForegroundWindow(h); }, std::nullopt},
      {"PostMessageW", app, [&](WindowHandle h) { sim.PostMessageW(h, WM_NULL, 0, 0); }, std::nullopt},
      {"another program's text", app, [&](WindowHandle h) { sim.GetWindowTextW(h); }, std::nullopt},
      {"joining its input", app,
       [&](WindowHandle h) {
         const uint32_t tid = sim.GetWindowThreadProcessId(h, nullptr);
         sim.AttachThreadInput(tid, sim.GetCurrentThreadId(), true);
         sim.AttachThreadInput(tid, sim.GetCurrentThreadId(), false);
       },
       std::nullopt},
      {"queries", app,
       [&](WindowHandle h) {
         TRect r;
         sim.GetWindowRect(h, r);
         sim.IsIconic(h);
         sim.GetWindowThreadProcessId(h, nullptr);
         sim.MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST);
       },
       std::nullopt},
  };
  for (const Case& c : cases) {
    sim.SetHung(c.h, true);
    const std::vector<Op> before = sim.HangsSuffered();
    const uint32_t t0 = sim.GetTickCount();
    c.call(c.h);
    std::vector<Op> expected = before;
    if (c.hang) expected.push_back(*c.hang);
    EXPECT_EQ(sim.HangsSuffered(), expected) << c.name;
    EXPECT_EQ(sim.GetTickCount() - t0, c.hang ? SimDesktop::kHangMs : 0u) << c.name;
    sim.SetHung(c.h, false);
    // Once it takes its messages again nothing waits.
    c.call(c.h);
    EXPECT_EQ(sim.HangsSuffered(), expected) << c.name;
  }
}

TEST_F(SimTest, AnAsynchronousPlacementWaitsInTheQueueOfAThreadThatDoesNotRespond) {
  const WindowHandle app = App(L"app");
  TRect before, r;
  ASSERT_TRUE(sim.GetWindowRect(app, before));
  sim.SetHung(app, true);
  EXPECT_TRUE(sim.SetWindowPos(app, 0, 10, 20, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS));
  EXPECT_TRUE(sim.HangsSuffered().empty());
  ASSERT_TRUE(sim.GetWindowRect(app, r));
  EXPECT_EQ(r, before);
  sim.SetHung(app, false);
  ASSERT_TRUE(sim.GetWindowRect(app, r));
  EXPECT_EQ(r, (TRect{10, 20, 310, 220}));
}

// SMTO_ABORTIFHUNG gives up at once only when the system counts the thread as hung, 5 s after it
// last took its messages (IsHungAppWindow); before that the caller waits the whole time-out.
TEST_F(SimTest, AbortIfHungGivesUpAtOnceOnlyOnceTheThreadCountsAsHung) {
  const WindowHandle app = App(L"app");
  struct Step {
    const char* name;
    uint32_t flags;
    uint32_t waited;
  };
  auto ask = [&](const Step& s) {
    uintptr_t r = 7;
    sim.SetLastError(0);
    const uint32_t t0 = sim.GetTickCount();
    EXPECT_FALSE(sim.SendMessageTimeoutW(app, WM_NULL, 0, 0, s.flags, 300, r)) << s.name;
    EXPECT_EQ(sim.GetLastError(), ERROR_TIMEOUT) << s.name;
    EXPECT_EQ(r, 0u) << s.name;
    EXPECT_EQ(sim.GetTickCount() - t0, s.waited) << s.name;
  };
  sim.SetHung(app, true, 0);
  ask({"just stopped, abort if hung", SMTO_ABORTIFHUNG, 300});
  sim.AdvanceTime(SimDesktop::kCountedHungMs - 300);
  ask({"counted as hung, abort if hung", SMTO_ABORTIFHUNG, 0});
  ask({"counted as hung, normal", SMTO_NORMAL, 300});
  sim.SetHung(app, true, SimDesktop::kCountedHungMs - 300);
  ask({"300 ms short of it", SMTO_ABORTIFHUNG, 300});
  ask({"now it counts", SMTO_ABORTIFHUNG, 0});
  EXPECT_TRUE(sim.HangsSuffered().empty());
  sim.SetHung(app, false);
  uintptr_t r = 0;
  EXPECT_TRUE(sim.SendMessageTimeoutW(app, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 300, r));
}

// With its input joined to the thread of a foreground window that does not respond, this thread
// waits in every change of the active window (the old one is told synchronously); on its own it
// does not.
TEST_F(SimTest, ActivatingWhileJoinedToAHungForegroundThreadWaits) {
  sim.SetForegroundLockEnforced(false);
  const WindowHandle stuck = App(L"stuck");
  const WindowHandle ours = sim.CreateWindowExW(0, L"Ours", L"ours", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                                0, [](WindowHandle, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; });
  const uint32_t stuckThread = sim.GetWindowThreadProcessId(stuck, nullptr);
  const uint32_t me = sim.GetCurrentThreadId();
  sim.SetForeground(stuck);
  sim.SetHung(stuck, true);

  ASSERT_TRUE(sim.AttachThreadInput(stuckThread, me, true));
  EXPECT_TRUE(sim.SetForegroundWindow(ours));
  EXPECT_EQ(sim.HangsSuffered(), (std::vector<Op>{Op::SetForegroundWindow}));
  sim.SetForeground(stuck);
  sim.BringWindowToTop(ours);
  EXPECT_EQ(sim.HangsSuffered(), (std::vector<Op>{Op::SetForegroundWindow, Op::BringWindowToTop}));
  ASSERT_TRUE(sim.AttachThreadInput(stuckThread, me, false));

  sim.SetForeground(stuck);
  EXPECT_TRUE(sim.SetForegroundWindow(ours));
  sim.SetForeground(stuck);
  EXPECT_TRUE(sim.BringWindowToTop(ours));
  EXPECT_EQ(sim.GetForegroundWindow(), ours);
  EXPECT_EQ(sim.HangsSuffered().size(), 2u);
}

TEST_F(SimTest, ShellWindowsFollowThePrimaryMonitor) {
  sim.ClearMonitors();
  const MonitorHandle left = sim.AddMonitor({-1280, 0, 0, 1024});
  const MonitorHandle main = sim.AddMonitor({0, 0, 1920, 1080}, std::nullopt, true);
  auto mons = sim.EnumMonitors();
  ASSERT_EQ(mons.size(), 2u);
  EXPECT_EQ(mons[0].handle, left);
  EXPECT_FALSE(mons[0].primary);
  EXPECT_EQ(mons[0].work, mons[0].bounds);
  EXPECT_TRUE(mons[1].primary);
  EXPECT_EQ(mons[1].work, (TRect{0, 0, 1920, 1040}));
  EXPECT_EQ(mons[1].deviceName, L"\\\\.\\DISPLAY2");

  TaskbarPos bar;
  ASSERT_TRUE(sim.GetTaskbarPos(bar));
  EXPECT_EQ(bar.edge, ABE_BOTTOM);
  EXPECT_EQ(bar.rect, (TRect{0, 1040, 1920, 1080}));
  const WindowHandle tray = sim.FindWindowW(L"Shell_TrayWnd", L"");
  uint32_t pid = 0;
  sim.GetWindowThreadProcessId(tray, &pid);
  std::vector<ProcessEntry> procs;
  ASSERT_TRUE(sim.GetProcessList(procs));
  EXPECT_TRUE(std::any_of(procs.begin(), procs.end(), [&](auto& p) { return p.pid == pid && p.exeName == L"explorer.exe"; }));

  TRect r;
  ASSERT_TRUE(sim.GetWindowRect(sim.GetDesktopWindow(), r));
  EXPECT_EQ(r, (TRect{0, 0, 1920, 1080}));
  EXPECT_EQ(sim.GetClassNameW(sim.GetDesktopWindow()), L"#32769");
  EXPECT_EQ(sim.GetVirtualScreenRect(), (TRect{-1280, 0, 1920, 1080}));
  EXPECT_EQ(sim.ZOrder().back(), sim.GetShellWindow());

  struct Case {
    TPoint pt;
    MonitorHandle null, primary, nearest;
  };
  const Case cases[] = {
      {{-1, 500}, left, left, left},
      {{0, 500}, main, main, main},
      {{-600, 1050}, 0, main, left},  // below the shorter left monitor
      {{5000, -10}, 0, main, main},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sim.MonitorFromPoint(c.pt, MONITOR_DEFAULTTONULL), c.null);
    EXPECT_EQ(sim.MonitorFromPoint(c.pt, MONITOR_DEFAULTTOPRIMARY), c.primary);
    EXPECT_EQ(sim.MonitorFromPoint(c.pt, MONITOR_DEFAULTTONEAREST), c.nearest);
  }
  // A window over both monitors belongs to the one with the larger share.
  WindowSpec desc;
  desc.rect = {-700, 100, 500, 600};
  EXPECT_EQ(sim.MonitorFromWindow(sim.AddWindow(desc), MONITOR_DEFAULTTONULL), left);
}

TEST_F(SimTest, AMonitorKeepsItsDevicePathThroughChangesOfItsBounds) {
  const std::vector<MonitorDesc> before = sim.EnumMonitors();
  ASSERT_EQ(before.size(), 2u);
  EXPECT_EQ(before[0].devicePath, L"");  // none until set
  EXPECT_EQ(before[1].devicePath, L"");
  const std::wstring path = L"\\\\?\\DISPLAY#DEL4071#5&1a2b3c4d&0&UID4352#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";
  sim.SetMonitorDevicePath(before[1].handle, path);
  sim.SetMonitorBounds(before[1].handle, {1920, 0, 4480, 1440});
  const std::vector<MonitorDesc> after = sim.EnumMonitors();
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0].devicePath, L"");
  EXPECT_EQ(after[1].devicePath, path);
  MonitorDesc info;
  ASSERT_TRUE(sim.GetMonitorInfo(before[1].handle, info));
  EXPECT_EQ(info.devicePath, path);
  EXPECT_EQ(info.bounds, (TRect{1920, 0, 4480, 1440}));
}

TEST_F(SimTest, AFailedDecimalSeparatorIsThePointAndLeavesTheLastErrorAlone) {
  sim.SetDecimalSeparator(L",");
  sim.FailOperation(Op::DecimalSeparator, ERROR_NOT_ENOUGH_MEMORY);
  sim.SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim.DecimalSeparator(), L".");
  EXPECT_EQ(sim.GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim.DecimalSeparator(), L",");
}

TEST_F(SimTest, IntegrityChain) {
  const uint32_t high = sim.AddProcess(L"admin.exe", SECURITY_MANDATORY_HIGH_RID);
  const uint32_t shut = sim.AddProcess(L"guarded.exe", SECURITY_MANDATORY_SYSTEM_RID, false);
  const KernelHandle p = sim.OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, false, high);
  ASSERT_NE(p, 0u);
  const KernelHandle t = sim.OpenProcessToken(p, TOKEN_QUERY);
  ASSERT_NE(t, 0u);
  uint32_t size = 0;
  EXPECT_FALSE(sim.GetTokenIntegritySize(t, size));
  EXPECT_EQ(sim.GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  uint32_t rid = 0;
  bool valid = false;
  EXPECT_FALSE(sim.GetTokenIntegrityLevel(t, size - 1, rid, valid));
  ASSERT_TRUE(sim.GetTokenIntegrityLevel(t, size, rid, valid));
  EXPECT_EQ(rid, SECURITY_MANDATORY_HIGH_RID);
  EXPECT_TRUE(valid);
  EXPECT_FALSE(sim.GetTokenIntegritySize(p, size));  // a process handle is not a token
  EXPECT_EQ(sim.GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(sim.CloseHandle(t));
  EXPECT_TRUE(sim.CloseHandle(p));

  const KernelHandle q = sim.OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, false, shut);
  EXPECT_EQ(sim.OpenProcessToken(q, TOKEN_QUERY), 0u);
  EXPECT_EQ(sim.GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(sim.OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, false, 0), 0u);
  EXPECT_EQ(sim.GetLastError(), ERROR_INVALID_PARAMETER);

  const std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  uint32_t v = 7;
  EXPECT_EQ(sim.ReadRegistryDword(RegRoot::LocalMachine, key, L"EnableLUA", v), RegValueState::Present);
  EXPECT_EQ(v, 1u);
  sim.SetEnableLua(std::nullopt);
  EXPECT_EQ(sim.ReadRegistryDword(RegRoot::LocalMachine, key, L"EnableLUA", v), RegValueState::ValueMissing);
  EXPECT_EQ(sim.ReadRegistryDword(RegRoot::CurrentUser, key, L"EnableLUA", v), RegValueState::KeyMissing);
  EXPECT_EQ(sim.GetVersion() & 0xFF, 10u);
}

TEST(SimKeyboard, UsLayoutMapping) {
  SimDesktop sim;
  struct Case {
    wchar_t ch;
    int16_t scan;
  };
  const Case keys[] = {{L'a', 'A'}, {L'Z', 0x100 | 'Z'}, {L'7', '7'}, {L'!', 0x100 | '1'}, {L'-', 0xBD},
                       {L'?', 0x1BF}, {L' ', VK_SPACE}, {L'\u20AC', -1}};
  for (const Case& k : keys) EXPECT_EQ(sim.VkKeyScanW(k.ch), k.scan) << static_cast<int>(k.ch);
  struct Vsc {
    uint32_t vk, sc;
  };
  const Vsc codes[] = {{'A', 0x1E}, {'1', 0x02}, {VK_LEFT, 0x4B}, {VK_RIGHT, 0x4D}, {VK_UP, 0x48},
                       {VK_DOWN, 0x50}, {VK_CONTROL, 0x1D}, {VK_MENU, 0x38}, {VK_SHIFT, 0x2A}, {VK_LWIN, 0x5B}};
  for (const Vsc& c : codes) {
    EXPECT_EQ(sim.MapVirtualKeyW(c.vk, MAPVK_VK_TO_VSC), c.sc) << c.vk;
    EXPECT_EQ(sim.MapVirtualKeyW(c.sc, MAPVK_VSC_TO_VK), c.vk) << c.sc;
  }
  EXPECT_EQ(sim.MapVirtualKeyW('Q', MAPVK_VK_TO_CHAR), static_cast<uint32_t>('Q'));
  EXPECT_EQ(sim.MapVirtualKeyW(VK_LEFT, MAPVK_VK_TO_CHAR), 0u);

  // Caps Lock toggles on each press; the low bit reports it.
  sim.keybd_event(static_cast<uint8_t>(VK_CAPITAL), 0x3A, 0, 0);
  sim.keybd_event(static_cast<uint8_t>(VK_CAPITAL), 0x3A, KEYEVENTF_KEYUP, 0);
  EXPECT_EQ(sim.GetKeyState(VK_CAPITAL), 1);
  uint8_t state[256];
  ASSERT_TRUE(sim.GetKeyboardState(state));
  EXPECT_EQ(state[VK_CAPITAL], 1);
}

TEST_F(SimTest, NamedMutexReportsExistingUntilAllHandlesClose) {
  const KernelHandle a = sim.CreateMutexW(L"Tessary.Instance");
  EXPECT_EQ(sim.GetLastError(), ERROR_SUCCESS);
  const KernelHandle b = sim.CreateMutexW(L"Tessary.Instance");
  EXPECT_NE(b, 0u);
  EXPECT_NE(b, a);
  EXPECT_EQ(sim.GetLastError(), ERROR_ALREADY_EXISTS);
  sim.CreateMutexW(L"tessary.instance");  // names are case-sensitive
  EXPECT_EQ(sim.GetLastError(), ERROR_SUCCESS);
  ASSERT_TRUE(sim.CloseHandle(a));
  sim.SetLastError(0);
  const KernelHandle c = sim.CreateMutexW(L"Tessary.Instance");
  EXPECT_EQ(sim.GetLastError(), ERROR_ALREADY_EXISTS);  // b still holds it
  ASSERT_TRUE(sim.CloseHandle(b));
  ASSERT_TRUE(sim.CloseHandle(c));
  EXPECT_FALSE(sim.CloseHandle(c));
  EXPECT_EQ(sim.GetLastError(), ERROR_INVALID_HANDLE);
  sim.CreateMutexW(L"Tessary.Instance");
  EXPECT_EQ(sim.GetLastError(), ERROR_SUCCESS);
}

TEST_F(SimTest, FilesFollowWindowsRenameRules) {
  const std::wstring dir = L"C:\\Users\\User\\AppData\\Roaming\\Tessary";
  EXPECT_FALSE(sim.WriteWholeFile(dir + L"\\Debug.txt", {1}));
  EXPECT_EQ(sim.GetLastError(), ERROR_PATH_NOT_FOUND);
  ASSERT_TRUE(sim.CreateDirectoryTree(dir));
  ASSERT_TRUE(sim.WriteWholeFile(dir + L"\\Debug.txt", {1}));

  // Moving the old log aside: the first free backup number, never over an existing file.
  ASSERT_TRUE(sim.MoveFileW(dir + L"\\debug.TXT", dir + L"\\Debug.txt.bak1"));
  ASSERT_TRUE(sim.WriteWholeFile(dir + L"/Debug.txt", {2}));
  EXPECT_FALSE(sim.MoveFileW(dir + L"\\Debug.txt", dir + L"\\DEBUG.txt.bak1"));
  EXPECT_EQ(sim.GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(sim.MoveFileW(dir + L"\\Debug.txt", dir + L"\\Debug.txt.bak2"));
  EXPECT_FALSE(sim.MoveFileW(dir + L"\\Debug.txt", dir + L"\\Debug.txt.bak3"));
  EXPECT_EQ(sim.GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(sim.MoveFileW(dir + L"\\Debug.txt.bak2", L"C:\\Nowhere\\x"));
  EXPECT_EQ(sim.GetLastError(), ERROR_PATH_NOT_FOUND);

  std::vector<uint8_t> bytes;
  ASSERT_TRUE(sim.ReadWholeFile(dir + L"\\debug.txt.BAK2", bytes));
  EXPECT_EQ(bytes, std::vector<uint8_t>{2});
  EXPECT_TRUE(sim.FileExists(dir + L"\\Debug.txt.bak1"));
  EXPECT_FALSE(sim.FileExists(dir + L"\\Debug.txt"));
  ASSERT_TRUE(sim.DeleteFileW(dir + L"\\Debug.txt.bak1"));
  EXPECT_FALSE(sim.DeleteFileW(dir + L"\\Debug.txt.bak1"));
  EXPECT_EQ(sim.GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(SimTest, IniFilesAreRealText) {
  const std::wstring ini = L"C:\\Users\\User\\AppData\\Roaming\\Tessary.ini";
  EXPECT_EQ(sim.GetPrivateProfileStringW(L"Main", L"Delay", L"2000", ini), L"2000");
  ASSERT_TRUE(sim.WritePrivateProfileStringW(L"Main", L"Delay", L"3000", ini));
  ASSERT_TRUE(sim.WritePrivateProfileStringW(L"Hotkeys", L"Left", L"Ctrl+Alt+Left", ini));
  ASSERT_TRUE(sim.WritePrivateProfileStringW(L"MAIN", L"delay", L"4000", ini));
  ASSERT_TRUE(sim.WritePrivateProfileStringW(L"main", L"Auto", L"1", ini));
  EXPECT_EQ(sim.GetPrivateProfileStringW(L"main", L"DELAY", L"", ini), L"4000");

  std::vector<uint8_t> bytes;
  ASSERT_TRUE(sim.ReadWholeFile(ini, bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "[Main]\r\nDelay=4000\r\nAuto=1\r\n\r\n[Hotkeys]\r\nLeft=Ctrl+Alt+Left\r\n");

  // A UTF-16 file stays UTF-16 and keeps what is not ours.
  const std::u16string text = u"\xFEFF; note\r\n[A]\r\nk = \"quoted v\" \r\n";
  std::vector<uint8_t> utf16;
  for (char16_t c : text) utf16.push_back(static_cast<uint8_t>(c & 0xFF)), utf16.push_back(static_cast<uint8_t>(c >> 8));
  ASSERT_TRUE(sim.WriteWholeFile(ini, utf16));
  EXPECT_EQ(sim.GetPrivateProfileStringW(L"a", L"K", L"", ini), L"quoted v");
  ASSERT_TRUE(sim.WritePrivateProfileStringW(L"A", L"n", L"\x00e9\x4e2d", ini));
  EXPECT_EQ(sim.GetPrivateProfileStringW(L"A", L"n", L"", ini), L"\x00e9\x4e2d");
  ASSERT_TRUE(sim.ReadWholeFile(ini, bytes));
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[2], ';');
  EXPECT_FALSE(sim.WritePrivateProfileStringW(L"A", L"k", L"v", L"C:\\Missing\\x.ini"));
  EXPECT_EQ(sim.GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(SimTest, LastErrorAndThreadIdArePerThread) {
  const uint32_t ui = sim.GetCurrentThreadId();
  EXPECT_EQ(ui, sim.UiThreadId());
  sim.SetLastError(ERROR_INVALID_PARAMETER);
  uint32_t workerTid = 0, workerErr = 0;
  std::thread worker([&] {
    workerTid = sim.GetCurrentThreadId();
    TRect r;
    sim.GetWindowRect(0x4321, r);
    workerErr = sim.GetLastError();
  });
  worker.join();
  EXPECT_NE(workerTid, ui);
  EXPECT_NE(workerTid, 0u);
  EXPECT_EQ(workerErr, ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(sim.GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(sim.GetCurrentThreadId(), ui);
}

// What a window of the program received: message, wParam, lParam, and for WM_DEVICECHANGE the
// record's bytes (as many as its first field declares).
struct Received {
  uint32_t msg;
  uintptr_t w;
  intptr_t l;
  std::vector<uint8_t> record;
};

WindowProc RecordInto(std::vector<Received>& into) {
  return [&into](WindowHandle, uint32_t msg, uintptr_t w, intptr_t l) -> intptr_t {
    if (msg != WM_DEVICECHANGE && msg != WM_DISPLAYCHANGE) return 0;
    Received r{msg, w, l, {}};
    if (msg == WM_DEVICECHANGE && l != 0) {
      const auto* p = reinterpret_cast<const uint8_t*>(l);
      const uint32_t size = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
      r.record.assign(p, p + size);
    }
    into.push_back(std::move(r));
    return 1;
  };
}

TEST_F(SimTest, DeviceInterfaceEventsReachTheWindowsRegisteredForTheirClass) {
  std::vector<Received> a, b, other, unregistered, destroyed;
  auto make = [&](std::vector<Received>& in) {
    return sim.CreateWindowExW(0, L"DevWin", L"", WS_POPUP, 0, 0, 10, 10, 0, RecordInto(in));
  };
  const WindowHandle wa = make(a), wb = make(b), wo = make(other), wu = make(unregistered), wd = make(destroyed);
  ASSERT_NE(sim.RegisterDeviceNotificationW(wa, L"{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}"), 0u);
  ASSERT_NE(sim.RegisterDeviceNotificationW(wb, L"E6F07B5F-EE97-4A90-B076-33F57BF4EAA7"), 0u);
  ASSERT_NE(sim.RegisterDeviceNotificationW(wo, L"{A5DCBF10-6530-11D2-901F-00C04FB951ED}"), 0u);
  const KernelHandle nu = sim.RegisterDeviceNotificationW(wu, L"{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}");
  ASSERT_TRUE(sim.UnregisterDeviceNotification(nu));
  ASSERT_NE(sim.RegisterDeviceNotificationW(wd, L"{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}"), 0u);
  ASSERT_TRUE(sim.DestroyWindow(wd));

  EXPECT_EQ(sim.DeliverDeviceInterfaceEvent(DBT_DEVICEARRIVAL, L"{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}",
                                            L"D#\u00e9\U0001F5B5"),
            2);

  // dbcc_size, dbcc_devicetype 5, dbcc_reserved, the GUID as Windows lays it out, the name in
  // UTF-16 (a surrogate pair for the character beyond the BMP) and its zero.
  const std::vector<uint8_t> want = {
      40,   0,    0,    0,    5,    0,    0,    0,    0,    0,    0,    0,     // header
      0x5F, 0x7B, 0xF0, 0xE6, 0x97, 0xEE, 0x90, 0x4A,                          // Data1..3
      0xB0, 0x76, 0x33, 0xF5, 0x7B, 0xF4, 0xEA, 0xA7,                          // Data4
      'D',  0,    '#',  0,    0xE9, 0x00, 0x3D, 0xD8, 0xB5, 0xDD, 0,    0};  // name
  for (auto* in : {&a, &b}) {
    ASSERT_EQ(in->size(), 1u);
    EXPECT_EQ((*in)[0].msg, WM_DEVICECHANGE);
    EXPECT_EQ((*in)[0].w, DBT_DEVICEARRIVAL);
    EXPECT_EQ((*in)[0].record, want);
  }
  EXPECT_TRUE(other.empty());
  EXPECT_TRUE(unregistered.empty());
  EXPECT_TRUE(destroyed.empty());

  EXPECT_EQ(sim.DeliverDeviceInterfaceEvent(DBT_DEVICEREMOVECOMPLETE, L"{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}", L""), 2);
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[1].w, DBT_DEVICEREMOVECOMPLETE);
  EXPECT_EQ(a[1].record.size(), 30u);
}

// As Windows broadcasts it: every top-level window, hidden ones too; no message-only or child window.
TEST_F(SimTest, MonitorChangesPostDisplayChangeToEveryTopLevelWindowOfTheProgram) {
  std::vector<Received> shown, hidden, messageOnly, child;
  const WindowHandle top = sim.CreateWindowExW(0, L"Top", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, 0,
                                              RecordInto(shown));
  sim.CreateWindowExW(0, L"Top", L"", WS_POPUP, 0, 0, 100, 100, 0, RecordInto(hidden));
  sim.CreateWindowExW(0, L"Msg", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, RecordInto(messageOnly));
  sim.CreateWindowExW(0, L"Child", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top, RecordInto(child));
  sim.ProcessPendingMessages();
  const MonitorHandle primary = sim.EnumMonitors()[0].handle;

  sim.SetMonitorBounds(primary, TRect{0, 0, 2560, 1440});
  EXPECT_TRUE(shown.empty()) << "posted: it arrives when the program pumps";
  sim.ProcessPendingMessages();
  sim.RemoveMonitor(sim.EnumMonitors()[1].handle);
  sim.ProcessPendingMessages();

  for (auto* in : {&shown, &hidden}) {
    ASSERT_EQ(in->size(), 2u);
    for (const Received& r : *in) {
      EXPECT_EQ(r.msg, WM_DISPLAYCHANGE);
      EXPECT_EQ(r.w, 32u);
      EXPECT_EQ(r.l, 2560 | (1440 << 16)) << "the primary's size, whichever monitor changed";
    }
  }
  EXPECT_TRUE(messageOnly.empty());
  EXPECT_TRUE(child.empty());
}

}  // namespace
}  // namespace tessary::sim
