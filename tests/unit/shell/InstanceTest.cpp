#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/AppState.h"
#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitKeys.h"
#include "moving/UnitMoveQueue.h"
#include "shell/UnitStartup.h"
#include "ShellFixture.h"

namespace tessary {
namespace {

using namespace tessary::wc;

class InstanceTest : public test::ShellFixture {
 protected:
  bool Logged(const std::wstring& part) { return LogText().find(part) != std::wstring::npos; }
};

const std::wstring kHelp =
    L"Syntax:\r\n Tessary -mf left/right/next\r\n Tessary -?\r\n\r\n -mf move the foreground window left, right, "
    L"or next monitor\r\n -? show this help dialog";

TEST_F(InstanceTest, FirstStartHoldsTheMutexOfItsFileNameAndCreatesTheHiddenInstanceWindow) {
  CheckInstance(INST_INIT);

  EXPECT_TRUE(IsFirstInstance());
  const WindowHandle h = sim.FindWindowW(TFrmDummyInstance::ClassName, L"");
  ASSERT_NE(h, 0u);
  ASSERT_NE(FrmDummyInstance(), nullptr);
  EXPECT_EQ(FrmDummyInstance()->Handle(), h);
  EXPECT_EQ(sim.GetWindowTextW(h), L"FrmDummyInstance");
  EXPECT_FALSE(sim.IsWindowVisible(h));
  EXPECT_EQ(sim.GetParent(h), 0u);
  int32_t w = 0, ht = 0;
  ASSERT_TRUE(sim.GetClientSize(h, w, ht));
  EXPECT_EQ(w, 260);
  EXPECT_EQ(ht, 19);
  // Named after the file name with its extension, without the folder.
  sim.CreateMutexW(L"Tessary.exe");
  EXPECT_EQ(sim.GetLastError(), ERROR_ALREADY_EXISTS);
  sim.CreateMutexW(L"C:\\Apps\\Tessary.exe");
  EXPECT_EQ(sim.GetLastError(), 0u);
}

TEST_F(InstanceTest, LaterStartIsDecidedByAnyMutexErrorAndCreatesNoWindow) {
  struct Case {
    const char* name;
    std::wstring exe;
    bool mutexExists;
    uint32_t mutexFault;
    bool first;
  };
  const Case cases[] = {
      {"mutex exists", L"C:\\Apps\\Tessary.exe", true, 0, false},
      {"access denied", L"C:\\Apps\\Tessary.exe", false, ERROR_ACCESS_DENIED, false},
      {"copy under another name", L"D:\\Other\\Copy.exe", true, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimDesktop fresh;
    SetWindowSystem(&fresh);
    ResetProcessWideState();
    fresh.SetModuleFileName(c.exe);
    if (c.mutexExists) fresh.CreateMutexW(L"Tessary.exe");
    if (c.mutexFault) fresh.FailOperation(Op::CreateMutexW, c.mutexFault);

    CheckInstance(INST_INIT);

    EXPECT_EQ(IsFirstInstance(), c.first);
    EXPECT_EQ(fresh.CallCount(Op::CreateWindowExW), c.first ? 1 : 0);
    EXPECT_EQ(FrmDummyInstance() != nullptr, c.first);
    ResetProcessWideState();
    SetWindowSystem(&sim);
  }
}

TEST_F(InstanceTest, LaterStartForwardsItsArgumentsOrAskForTheMainWindowAndEnds) {
  struct Case {
    const char* name;
    std::vector<std::wstring> args;
    std::u16string sent;
  };
  const Case cases[] = {
      {"move", {L"-mf", L"next"}, u"-mf next "},
      {"no arguments", {}, u"1"},
      {"argument with a blank", {L"-MF", L"a b"}, u"-MF a b "},
      {"not ASCII", {L"-\u00e9\U0001F600"}, u"-\u00e9\U0001F600 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimDesktop fresh;
    SetWindowSystem(&fresh);
    ResetProcessWideState();
    fresh.SetModuleFileName(L"C:\\Apps\\Tessary.exe");
    received.clear();
    // The running instance, as another process would have made it.
    fresh.CreateMutexW(L"Tessary.exe");
    fresh.CreateWindowExW(0, TFrmDummyInstance::ClassName, TFrmDummyInstance::Caption, WS_POPUP, 0, 0, 260, 19, 0,
                          [this](WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t lParam) -> intptr_t {
                            if (msg != WM_COPYDATA) return 0;
                            const auto* rec = reinterpret_cast<const CopyDataRecord*>(lParam);
                            EXPECT_EQ(wParam, 0u);
                            EXPECT_EQ(rec->dwData, 0u);
                            const auto* p = static_cast<const uint8_t*>(rec->lpData);
                            received.emplace_back(p, p + rec->cbData);
                            return 1;
                          });
    fresh.SetCommandLineArgs(c.args);
    fresh.ResetCallCounts();

    EXPECT_EQ(RunApplication(), 0);

    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], Payload(c.sent)) << "the text's units, the terminating zero not counted";
    EXPECT_TRUE(IsTerminating());
    EXPECT_EQ(fresh.CallCount(Op::CreateWindowExW), 0);
    EXPECT_EQ(fresh.CallCount(Op::PumpOneMessage), 0);
    EXPECT_TRUE(fresh.MessageBoxes().empty());
    ResetProcessWideState();
    SetWindowSystem(&sim);
  }
}

// Several starts at once: the first holds the mutex before it has made its window.
TEST_F(InstanceTest, LaterStartWaitsForTheFirstInstancesWindowAWhileAndFailsWhenItNeverComes) {
  struct Case {
    const char* name;
    int32_t windowAfterMs;  // -1: never
    int32_t exitCode;
    size_t delivered;
  };
  const Case cases[] = {
      {"window made 300 ms later", 300, 0, 1},
      {"window made just before the wait ends", static_cast<int32_t>(FindInstanceWaitMs) - 20, 0, 1},
      {"no window ever", -1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::SimDesktop fresh;
    SetWindowSystem(&fresh);
    ResetProcessWideState();
    fresh.SetModuleFileName(L"C:\\Apps\\Tessary.exe");
    received.clear();
    fresh.CreateMutexW(L"Tessary.exe");
    if (c.windowAfterMs >= 0)
      fresh.At(static_cast<uint32_t>(c.windowAfterMs), [&] {
        fresh.CreateWindowExW(0, TFrmDummyInstance::ClassName, TFrmDummyInstance::Caption, WS_POPUP, 0, 0, 260, 19,
                              0, [this](WindowHandle, uint32_t msg, uintptr_t, intptr_t lParam) -> intptr_t {
                                if (msg != WM_COPYDATA) return 0;
                                const auto* rec = reinterpret_cast<const CopyDataRecord*>(lParam);
                                const auto* p = static_cast<const uint8_t*>(rec->lpData);
                                received.emplace_back(p, p + rec->cbData);
                                return 1;
                              });
      });
    fresh.SetCommandLineArgs({L"-mf", L"left"});
    const uint32_t start = fresh.GetTickCount();

    EXPECT_EQ(RunApplication(), c.exitCode);

    ASSERT_EQ(received.size(), c.delivered);
    if (c.delivered) {
      EXPECT_EQ(received[0], Payload(u"-mf left "));
    }
    const uint32_t waited = fresh.GetTickCount() - start;
    if (c.windowAfterMs >= 0) {
      EXPECT_GE(waited, static_cast<uint32_t>(c.windowAfterMs));
      EXPECT_LE(waited, static_cast<uint32_t>(c.windowAfterMs) + 2 * FindInstanceStepMs) << "not a moment longer";
    } else {
      EXPECT_GE(waited, FindInstanceWaitMs);
      EXPECT_LE(waited, FindInstanceWaitMs + 2 * FindInstanceStepMs);
      EXPECT_TRUE(Logged(L"SI: no running instance window, not delivered: -mf left "));
    }
    EXPECT_EQ(fresh.CallCount(Op::CreateWindowExW), c.windowAfterMs >= 0 ? 1 : 0) << "none of its own";
    ResetProcessWideState();
    SetWindowSystem(&sim);
  }
  EXPECT_EQ(EditorMonitor(), 'B');
}

// A later start hands "-mf right" over; while that move waits for the editor's program, the next
// later start's "-mf next" arrives (a thread waiting in such a call handles what is sent to it).
TEST_F(InstanceTest, AForwardedMoveArrivingInsideAMovesWaitRunsOnceAfterItAndItsSenderIsLetGo) {
  CheckInstance(INST_INIT);
  ASSERT_TRUE(IsFirstInstance());
  const WindowHandle instance = FrmDummyInstance()->Handle();
  char seenByNested = '?';
  intptr_t nestedAnswer = 0;
  sim.WhileWaitingFor(editor, [&] {
    nestedAnswer = SendBytes(instance, Payload(u"-mf next "));
    seenByNested = EditorMonitor();  // when that sender was let go
  });

  EXPECT_EQ(SendBytes(instance, Payload(u"-mf right ")), 1);

  EXPECT_EQ(nestedAnswer, 1);
  EXPECT_EQ(seenByNested, 'B') << "neither move had run when the second sender was let go";
  // B, right to C, then next: C is last in the enumeration B D A C, so next wraps to B. Run the
  // other way round (next to D, then right: nothing) or nested (one lost) it would not be B.
  EXPECT_EQ(EditorMonitor(), 'B');
  const std::wstring log = LogText();
  const size_t right = log.find(L"new TL [100, 2100]");
  const size_t back = log.find(L"new TL [100, 1100]");
  ASSERT_NE(right, std::wstring::npos) << "moved to C";
  ASSERT_NE(back, std::wstring::npos) << "moved back to B";
  EXPECT_TRUE(Logged(L"MQ: command line -mf next  waits (1 waiting)"));
}

// A later start launched by Ctrl+Alt arrives while the first move waits for the editor's program:
// its stuck keys are let go when its own move starts, after every wait of the first move and
// before its own placement, not inside the first move's placement.
TEST_F(InstanceTest, StuckKeysOfAForwardedMoveAreLetGoRightBeforeItsMoveRuns) {
  CheckInstance(INST_INIT);
  ASSERT_TRUE(IsFirstInstance());
  const WindowHandle instance = FrmDummyInstance()->Handle();
  auto placements = [this] {
    size_t n = 0;
    for (size_t at = 0; (at = LogText().find(L"new TL", at)) != std::wstring::npos; ++at) ++n;
    return n;
  };
  // At every call that waits for the editor's program: moves finished (a move logs its placement
  // as it ends), key-ups sent.
  std::vector<std::pair<size_t, size_t>> seen;
  bool arrived = false, watching = true;
  std::function<void()> watch = [&] {
    if (!watching) return;
    if (!arrived) {
      arrived = true;
      sim.SetKeyQueueState(VK_LCONTROL, true);
      sim.SetKeyQueueState(VK_LMENU, true);
      EXPECT_EQ(SendBytes(instance, Payload(u"-mf next ")), 1);
    }
    seen.emplace_back(placements(), sim.KeyEvents().size());
    sim.WhileWaitingFor(editor, watch);
  };
  sim.ClearKeyEvents();
  sim.WhileWaitingFor(editor, watch);

  EXPECT_EQ(SendBytes(instance, Payload(u"-mf right ")), 1);
  watching = false;

  ASSERT_EQ(placements(), 2u);
  bool firstWaited = false, secondWaited = false;
  for (const auto& [finished, keyUps] : seen) {
    EXPECT_EQ(keyUps, finished == 0 ? 0u : 2u) << "while " << (finished == 0 ? "the first" : "the second")
                                               << " move waited";
    firstWaited = firstWaited || finished == 0;
    secondWaited = secondWaited || finished == 1;
  }
  EXPECT_TRUE(firstWaited && secondWaited);
  EXPECT_FALSE(TKeys::IsPressedInQueue(VK_CONTROL));
  EXPECT_FALSE(TKeys::IsPressedInQueue(VK_MENU));
}

// Start-up holds the moves from its instance window's creation until it has read its own command
// line: a later start's move that arrives meanwhile runs after the first instance's own.
TEST_F(InstanceTest, TheFirstInstancesOwnMoveGoesAheadOfMovesForwardedWhileItStarts) {
  CheckInstance(INST_INIT);
  ASSERT_TRUE(IsFirstInstance());
  TMoveQueue::Hold();  // as start-up does
  EXPECT_EQ(SendBytes(FrmDummyInstance()->Handle(), Payload(u"-mf next ")), 1) << "the sender is let go";
  EXPECT_EQ(EditorMonitor(), 'B') << "nothing moves before the program's own command line is read";

  FrmDummyInstance()->HandleOwnCommandLine(L"-mf right ");
  EXPECT_EQ(EditorMonitor(), 'B');
  TMoveQueue::Release();

  // Right to C first, then next: C is last in the enumeration B D A C, so back to B. The other
  // way round, next goes to D and right finds nothing beyond D.
  EXPECT_EQ(EditorMonitor(), 'B');
  const std::wstring log = LogText();
  EXPECT_NE(log.find(L"new TL [100, 2100]"), std::wstring::npos) << "moved to C";
  EXPECT_EQ(log.find(L"MP: No Next Monitor"), std::wstring::npos);
}

TEST_F(InstanceTest, SecondStartMovesTheForegroundProgramOnceInTheRunningInstance) {
  CheckInstance(INST_INIT);  // the running instance
  ASSERT_TRUE(IsFirstInstance());
  sim.SetCommandLineArgs({L"-mf", L"next"});
  sim.ResetCallCounts();

  EXPECT_EQ(RunApplication(), 0);

  EXPECT_EQ(EditorMonitor(), 'D');
  EXPECT_EQ(sim.CallCount(Op::CreateWindowExW), 0);
  EXPECT_EQ(sim.CallCount(Op::PumpOneMessage), 0);
  EXPECT_TRUE(sim.MessageBoxes().empty());
}

TEST_F(InstanceTest, CommandWordsIgnoreCaseAndEverythingElseShowsTheHelp) {
  CheckInstance(INST_INIT);
  TFrmDummyInstance* form = FrmDummyInstance();
  ASSERT_NE(form, nullptr);
  struct Case {
    std::wstring line;
    char monitor;   // where the editor ends up
    bool help;      // the help box was shown (once)
    bool released;  // stuck modifiers were released first
  };
  const Case cases[] = {
      {L"-MF RIGHT ", 'C', false, true},
      {L"-mf Left ", 'A', false, true},
      {L"-mF nExT ", 'D', false, true},
      {L"-mf left and more words ", 'A', false, true},
      {L"-mf right", 'C', false, true},
      {L"-mf up ", 'B', true, true},
      {L"-mf ", 'B', true, true},
      {L"-mf", 'B', true, true},
      {L"-mf  left ", 'B', true, true},  // the second word is the empty one between the blanks
      {L"-? ", 'B', true, false},
      {L"? ", 'B', true, false},
      {L"-data ", 'B', true, false},
      {L"left -mf ", 'B', true, false},
      {L" -mf left ", 'B', true, false},
      {L"-mfx left ", 'B', true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
    sim.SetWindowPos(editor, 0, 1100, 100, 400, 400, SWP_NOZORDER);
    sim.SetForeground(editor);
    sim.SetKeyQueueState(VK_LWIN, true);
    sim.ClearKeyEvents();
    const size_t boxes = sim.MessageBoxes().size();

    form->HandleCommandLine(c.line);

    EXPECT_EQ(EditorMonitor(), c.monitor);
    ASSERT_EQ(sim.MessageBoxes().size() - boxes, c.help ? 1u : 0u);
    if (c.help) {
      const auto& box = sim.MessageBoxes().back();
      EXPECT_EQ(box.text, kHelp);
      EXPECT_EQ(box.flags & 0xF, MB_OK);
    }
    EXPECT_EQ(sim.KeyEvents().size(), c.released ? 1u : 0u);
  }
}

TEST_F(InstanceTest, ForwardedMessagesAreReadOnlyWithinTheirBytes) {
  CheckInstance(INST_INIT);
  const WindowHandle h = FrmDummyInstance()->Handle();
  int shows = 0;
  SetShowMainWindowHandler([&] { ++shows; });

  auto units = [](std::u16string s) { return Payload(s); };
  std::vector<uint8_t> odd = units(u"-? ");
  odd.push_back('x');
  const std::vector<uint8_t> atCap = units(u"-? " + std::u16string(TFrmDummyInstance::MaxTextUnits - 3, u' '));
  const std::vector<uint8_t> overCap = units(u"-? " + std::u16string(TFrmDummyInstance::MaxTextUnits - 2, u' '));
  std::vector<uint8_t> lonePrefixByte = {'1'};  // half a unit

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int shows;
    int boxes;
    const wchar_t* log;  // expected part of a log line, if any
  };
  const Case cases[] = {
      {"show", units(u"1"), 1, 0, nullptr},
      {"show, from a number's low byte", units(u"257"), 1, 0, nullptr},
      {"show, signed", units(u"+1"), 1, 0, nullptr},
      {"zero ignored", units(u"0"), 0, 0, L"FDI: command 0 ignored"},
      {"other number ignored", units(u"3"), 0, 0, L"FDI: command 3 ignored"},
      {"two is a command line", units(u"2"), 0, 1, nullptr},
      {"number with blank is a command line", units(u"1 "), 0, 1, nullptr},
      {"beyond 32 bits is a command line", units(u"4294967297"), 0, 1, nullptr},
      {"no terminator", units(u"-?"), 0, 1, nullptr},
      {"odd byte count", odd, 0, 1, nullptr},
      {"stops at a zero unit", units(std::u16string(u"1\0-? ", 5)), 1, 0, nullptr},
      {"only a zero unit", units(std::u16string(u"\0-? ", 4)), 0, 0, L"FDI: empty message ignored"},
      {"half a unit", lonePrefixByte, 0, 0, L"FDI: empty message ignored (1 bytes)"},
      {"longest accepted", atCap, 0, 1, nullptr},
      {"too long", overCap, 0, 0, L"FDI: message of 65538 bytes refused (more than 32768 characters)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shows = 0;
    ResetLogState();
    const size_t boxes = sim.MessageBoxes().size();

    EXPECT_EQ(SendBytes(h, c.bytes), 1);

    EXPECT_EQ(shows, c.shows);
    EXPECT_EQ(static_cast<int>(sim.MessageBoxes().size() - boxes), c.boxes);
    if (c.log) {
      EXPECT_NE(LogText().find(c.log), std::wstring::npos);
    }
  }

  // No data at all, or a record without bytes: nothing happens beyond a log line.
  const uint8_t some[8] = {'-', 0, '?', 0, ' ', 0, 0, 0};
  const CopyDataRecord nullData{0, 6, nullptr};
  const CopyDataRecord zeroBytes{0, 0, some};
  for (const CopyDataRecord* rec : {&nullData, &zeroBytes}) {
    ResetLogState();
    EXPECT_EQ(sim.SendMessageW(h, WM_COPYDATA, 0, reinterpret_cast<intptr_t>(rec)), 1);
    EXPECT_TRUE(Logged(L"FDI: empty message ignored"));
  }
  ResetLogState();
  const size_t boxes = sim.MessageBoxes().size();
  EXPECT_EQ(sim.SendMessageW(h, WM_COPYDATA, 0, 0), 1);
  EXPECT_TRUE(Logged(L"FDI: empty message ignored (0 bytes)"));
  EXPECT_EQ(sim.MessageBoxes().size(), boxes);
  EXPECT_EQ(shows, 0);
}

TEST_F(InstanceTest, ShowRequestWithoutMainWindowIsLogged) {
  CheckInstance(INST_INIT);
  SendBytes(FrmDummyInstance()->Handle(), Payload(u"1"));
  EXPECT_TRUE(Logged(L"FDI: no main window to show"));
}

}  // namespace
}  // namespace tessary
