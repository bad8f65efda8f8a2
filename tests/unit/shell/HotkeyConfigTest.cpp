// The global hotkeys as a user meets them: what a start loads from the "Hotkeys" section (and how
// it survives what does not read or cannot be registered), a key press moving the program in
// front, the auto-repeat filter, setting, clearing and saving on the page, and the registrations
// ending with the window.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "MainFixture.h"
#include "hotkeys/UnitHotKey.h"
#include "moving/UnitMoveQueue.h"
#include "shell/UnitMisc.h"
#include "unit/portable/ByteText.h"

namespace tessary::test {
namespace {

constexpr const wchar_t* Exe = L"C:\\Tools\\Tessary.exe";
constexpr const wchar_t* Ini = L"C:\\Tools\\Tessary.ini";
constexpr uint32_t CtrlAlt = wc::MOD_CONTROL | wc::MOD_ALT;
// Where the program in front starts, and the monitors side by side or stacked.
constexpr TRect Home{100, 100, 900, 700};
constexpr TRect Left{0, 0, 1920, 1080}, Right{1920, 0, 3840, 1080};
constexpr TRect Top{0, 0, 1920, 1080}, Below{0, 1080, 1920, 2160};

class HotkeyConfigTest : public MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    main.reset();
    SetHotkeyDialogHandler(nullptr);
    TACHotKey::ResetIds();
    sim.SetModuleFileName(Exe);
    ResetDataFolderCache();
  }
  void TearDown() override {
    SetHotkeyDialogHandler(nullptr);
    MainFixture::TearDown();
  }

  void Start(const std::string& hotkeys) {
    ASSERT_TRUE(sim.WriteWholeFile(Ini, B("[Hotkeys]\r\n" + hotkeys)));
    CreateMain();
    main->Show();  // as start-up does: the first showing detects the layout
    Wait(1000);    // away from tick 0, which means "no hotkey yet"
  }

  std::string File() {
    Bytes b;
    EXPECT_TRUE(sim.ReadWholeFile(Ini, b));
    return std::string(b.begin(), b.end());
  }

  // The user presses the combination anywhere and lets go; true when it reached the main window.
  bool Press(uint32_t mods, uint32_t vk) {
    const bool taken = sim.PressHotkey(mods, vk);
    sim.SetKeyPhysicalState(static_cast<int32_t>(vk), false);
    ui::app::ProcessPendingMessages();
    return taken;
  }
  // Pressed and not let go; again while down, it is the keyboard's auto-repeat.
  bool Hold(uint32_t mods, uint32_t vk) {
    const bool taken = sim.PressHotkey(mods, vk);
    ui::app::ProcessPendingMessages();
    return taken;
  }

  std::vector<bool> Ticks() const {
    return {main->cbMoveLeft->Checked(), main->cbMoveRight->Checked(), main->cbMoveNext->Checked()};
  }
  std::vector<std::wstring> Labels() const {
    return {main->lblMoveLeftKey->Text(), main->lblMoveRightKey->Text(), main->lblMoveNextKey->Text()};
  }
  std::vector<std::wstring> StatusLines() const {
    std::vector<std::wstring> lines = main->txtLog->Lines();
    lines.push_back(main->lblMessage->Text());
    return lines;
  }
  bool StatusShows(const std::wstring& text) const {
    for (const std::wstring& line : StatusLines())
      if (line == text) return true;
    return false;
  }

  // The program in front lies mostly on that monitor, at its own size.
  bool AppOn(const TRect& monitor) {
    const TRect r = AppNow();
    const TPoint centre{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    return centre.x >= monitor.Left && centre.x < monitor.Right && centre.y >= monitor.Top &&
           centre.y < monitor.Bottom && r.Width() == Home.Width() && r.Height() == Home.Height();
  }
  TRect AppNow() {
    TRect r;
    EXPECT_TRUE(sim.GetWindowRect(app, r));
    return r;
  }
};


// ---------------------------------------------------------------- loading at start

struct LoadCase {
  const char* name;
  std::string section;
  std::vector<bool> ticks;
  std::vector<std::wstring> labels;
  std::vector<bool> registered;  // Ctrl+Alt+Left, Ctrl+Alt+Right, Ctrl+Alt+N reach the window
};
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class HotkeyLoad : public HotkeyConfigTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(HotkeyLoad, SectionIntoPageAndRegistrations) {
  const LoadCase& c = GetParam();
  Start(c.section);
  EXPECT_EQ(Ticks(), c.ticks);
  EXPECT_EQ(Labels(), c.labels);
  ASSERT_EQ(main->HotkeyList.size(), 3u);
  EXPECT_EQ((std::vector<bool>{Press(CtrlAlt, wc::VK_LEFT), Press(CtrlAlt, wc::VK_RIGHT), Press(CtrlAlt, 'N')}),
            c.registered);
  EXPECT_TRUE(sim.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    HotkeyConfig, HotkeyLoad,
    ::testing::Values(
        LoadCase{"NothingStored", "", {false, false, false}, {L"[none]", L"[none]", L"[none]"}, {false, false, false}},
        LoadCase{"AllThreeEnabled",
                 "cbMoveLeft=1\r\ncbMoveRight=1\r\ncbMoveNext=1\r\nMOVELEFT_HOTKEY=110025\r\n"
                 "MOVERIGHT_HOTKEY=110027\r\nMOVENEXT_HOTKEY=11004E\r\n",
                 {true, true, true},
                 {L"CTRL+ALT+LEFT", L"CTRL+ALT+RIGHT", L"CTRL+ALT+N"},
                 {true, true, true}},
        LoadCase{"StoredButDisabled", "MOVELEFT_HOTKEY=110025\r\nMOVERIGHT_HOTKEY=110027\r\n",
                 {false, false, false}, {L"CTRL+ALT+LEFT", L"CTRL+ALT+RIGHT", L"[none]"}, {false, false, false}},
        LoadCase{"OnlyTheMiddleOneStored", "cbMoveRight=1\r\nMOVERIGHT_HOTKEY=110027\r\n",
                 {false, true, false}, {L"[none]", L"CTRL+ALT+RIGHT", L"[none]"}, {false, true, false}},
        // A cleared and saved hotkey shows blank, one never stored "[none]"; a box ticked without
        // a key registers nothing and is unticked.
        LoadCase{"ClearedAndSaved", "cbMoveLeft=1\r\nMOVELEFT_HOTKEY=000000\r\n",
                 {false, false, false}, {L"", L"[none]", L"[none]"}, {false, false, false}},
        LoadCase{"NameAfterTheCodeIsShown", "cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004EMy Next\r\n",
                 {false, false, true}, {L"[none]", L"[none]", L"My Next"}, {false, false, true}},
        // Values that do not read leave that one hotkey empty; the others load.
        LoadCase{"UnreadableValuesAmongGoodOnes",
                 "cbMoveLeft=1\r\ncbMoveRight=1\r\ncbMoveNext=1\r\nMOVELEFT_HOTKEY=1x0025\r\n"
                 "MOVERIGHT_HOTKEY=110027\r\nMOVENEXT_HOTKEY=1100ZZ\r\n",
                 {false, true, false},
                 {L"[none]", L"CTRL+ALT+RIGHT", L"[none]"},
                 {false, true, false}},
        LoadCase{"TooShortIsNoHotkey", "cbMoveLeft=1\r\nMOVELEFT_HOTKEY=11\r\n",
                 {false, false, false}, {L"none", L"[none]", L"[none]"}, {false, false, false}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(HotkeyConfigTest, UnreadableValueIsLoggedWithItsKey) {
  Start("MOVELEFT_HOTKEY=1x0025\r\nMOVENEXT_HOTKEY=11004E\r\n");
  EXPECT_TRUE(Logged(L"Hotkeys: MOVELEFT_HOTKEY = \"1x0025\" is no hotkey; it stays empty"));
  EXPECT_EQ(main->HotkeyList[2]->hkd.key, 'N');
}

TEST_F(HotkeyConfigTest, CombinationHeldByAnotherProgramIsUntickedAndTheOthersWork) {
  sim.ReserveHotkey(CtrlAlt, wc::VK_LEFT);
  Start("cbMoveLeft=1\r\ncbMoveRight=1\r\nMOVELEFT_HOTKEY=110025\r\nMOVERIGHT_HOTKEY=110027\r\n");
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false}));
  EXPECT_TRUE(StatusShows(L"[Move Left] Hotkey = CTRL+ALT+LEFT"));
  EXPECT_TRUE(StatusShows(L"Failed. Hotkey already taken."));
  EXPECT_TRUE(Press(CtrlAlt, wc::VK_RIGHT));
  EXPECT_TRUE(AppOn(Right));
}

// ---------------------------------------------------------------- pressing a hotkey

struct DispatchCase {
  const char* name;
  bool stacked;
  uint32_t vk;
  TRect monitor;  // where the program lands (the mover's own arithmetic is tested with the mover)
};
void PrintTo(const DispatchCase& c, std::ostream* os) { *os << c.name; }


class HotkeyDispatch : public HotkeyConfigTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(HotkeyDispatch, KeyMovesTheProgramInFront) {
  const DispatchCase& c = GetParam();
  if (c.stacked) sim.SetLayout({Top, Below});
  Start("cbMoveLeft=1\r\ncbMoveRight=1\r\ncbMoveNext=1\r\nMOVELEFT_HOTKEY=110025\r\n"
        "MOVERIGHT_HOTKEY=110027\r\nMOVENEXT_HOTKEY=11004E\r\n");
  // Right first, then the key under test: a move needs a monitor on that side.
  if (c.vk == wc::VK_LEFT) {
    ASSERT_TRUE(Press(CtrlAlt, wc::VK_RIGHT));
    Wait(5000);
  }
  ASSERT_TRUE(Press(CtrlAlt, c.vk));
  EXPECT_TRUE(AppOn(c.monitor));
}

INSTANTIATE_TEST_SUITE_P(
    HotkeyConfig, HotkeyDispatch,
    ::testing::Values(DispatchCase{"RightSideBySide", false, wc::VK_RIGHT, Right},
                      DispatchCase{"LeftSideBySideComesBack", false, wc::VK_LEFT, Left},
                      DispatchCase{"NextSideBySide", false, 'N', Right},
                      DispatchCase{"RightKeyMovesDownWhenStacked", true, wc::VK_RIGHT, Below},
                      DispatchCase{"LeftKeyMovesUpWhenStacked", true, wc::VK_LEFT, Top},
                      DispatchCase{"NextWhenStacked", true, 'N', Below}),
    [](const auto& param) { return std::string(param.param.name); });

// A press while another move runs (a hotkey handled in a message pump of that move) waits for it:
// the two never interleave, and both happen, in order.
TEST_F(HotkeyConfigTest, PressDuringAnotherMoveRunsAfterIt) {
  Start("cbMoveRight=1\r\ncbMoveNext=1\r\nMOVERIGHT_HOTKEY=110027\r\nMOVENEXT_HOTKEY=11004E\r\n");
  TMoveQueue::Hold();  // as while a move runs
  ASSERT_TRUE(Press(CtrlAlt, wc::VK_RIGHT));
  Wait(200);
  ASSERT_TRUE(Press(CtrlAlt, 'N'));
  EXPECT_TRUE(AppOn(Left)) << "nothing moves while another move runs";
  EXPECT_EQ(TMoveQueue::Waiting(), 2u);
  TMoveQueue::Release();
  // Right to monitor 1, then Next wraps back to monitor 0: both ran, in the order pressed.
  std::vector<std::wstring> placed;
  for (const std::wstring& line : Log())
    if (line.rfind(L"MP: monitor [", 0) == 0 && line.find(L"new TL") != std::wstring::npos) placed.push_back(line.substr(0, 16));
  EXPECT_EQ(placed, (std::vector<std::wstring>{L"MP: monitor [1] ", L"MP: monitor [0] "}));
  EXPECT_TRUE(AppOn(Left));
  EXPECT_EQ(TMoveQueue::Waiting(), 0u);
}

TEST_F(HotkeyConfigTest, DisabledHotkeyIsNotRegistered) {
  Start("cbMoveRight=0\r\nMOVERIGHT_HOTKEY=110027\r\n");
  EXPECT_FALSE(Press(CtrlAlt, wc::VK_RIGHT));
  EXPECT_TRUE(AppOn(Left));
}

TEST_F(HotkeyConfigTest, UnknownIdDoesNothing) {
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  ASSERT_TRUE(sim.PostMessageW(main->Handle(), wc::WM_HOTKEY, 77, 0));
  ui::app::ProcessPendingMessages();
  EXPECT_TRUE(AppOn(Left));
}

// ---------------------------------------------------------------- auto repeat

struct RepeatCase {
  const char* name;
  uint32_t speed;
  std::vector<uint32_t> gaps;  // ms before each press after the first
  int moves;                   // Move Next presses that moved (each toggles the monitor)
};
void PrintTo(const RepeatCase& c, std::ostream* os) { *os << c.name; }

class HotkeyRepeat : public HotkeyConfigTest, public ::testing::WithParamInterface<RepeatCase> {};

TEST_P(HotkeyRepeat, OnlyPressesAfterTheWindowMove) {
  const RepeatCase& c = GetParam();
  sim.SetKeyboardSpeed(c.speed);
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  ASSERT_TRUE(Press(CtrlAlt, 'N'));
  for (uint32_t gap : c.gaps) {
    // The gap between the handler's starts: a move itself takes time.
    const uint32_t at = main->LastHotkeyTime + gap;
    ASSERT_LE(sim.GetTickCount(), at) << "the move took longer than the gap";
    sim.AdvanceTime(at - sim.GetTickCount());
    ASSERT_TRUE(Press(CtrlAlt, 'N'));
  }
  int moved = 0;
  for (const std::wstring& line : Log())
    if (line == L"WMHK: Move Next") ++moved;
  EXPECT_EQ(moved, c.moves);
}

INSTANTIATE_TEST_SUITE_P(
    HotkeyConfig, HotkeyRepeat,
    ::testing::Values(
        // Speed 31: 32 ms interval, a window of 64 ms.
        RepeatCase{"TwoPressesApartBothMove", 31, {100}, 2},
        RepeatCase{"HeldKeyMovesOnce", 31, {33, 33, 33, 33, 33, 33}, 1},
        RepeatCase{"EdgeOfTheWindowIsARepeat", 31, {64}, 1},
        RepeatCase{"JustPastTheWindowMoves", 31, {65}, 2},
        // The repeat delay is longer than the window: the first auto-repeat moves once more.
        RepeatCase{"RepeatDelayThenFastRepeats", 31, {500, 33, 33, 33}, 2},
        // Each ignored press renews the window, so a stream closer than the window stays ignored.
        RepeatCase{"StreamKeepsRenewingTheWindow", 31, {60, 60, 60, 60}, 1},
        // Speed 0 or 1: a window of 2000 ms.
        RepeatCase{"SlowestSpeed", 0, {2000, 1000}, 1},
        RepeatCase{"SlowSpeedGapPastTheWindow", 1, {2001}, 2},
        RepeatCase{"Speed15", 15, {132, 133}, 2}),
    [](const auto& param) { return std::string(param.param.name); });

// The keyboard's repeat delay is longer than the repeat window: the key's state tells the first
// repeat after it from a new press.
TEST_F(HotkeyConfigTest, HeldKeyMovesOnceUntilLetGo) {
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  ASSERT_TRUE(Hold(CtrlAlt, 'N'));
  EXPECT_TRUE(AppOn(Right));
  Wait(500);  // the repeat delay
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(Hold(CtrlAlt, 'N'));
    Wait(33);
  }
  EXPECT_TRUE(AppOn(Right));
  sim.SetKeyPhysicalState('N', false);
  Wait(100);
  ASSERT_TRUE(Hold(CtrlAlt, 'N'));
  EXPECT_TRUE(AppOn(Left)) << "pressed again after letting go";
}

// ---------------------------------------------------------------- presses during a move

// What the user's hand does while the first press's move waits for the program in front: the
// thread is busy there, so these presses wait in its queue and are handled after the placement.
struct KeyStep {
  enum Kind { Down, Up, Pause } kind;
  uint32_t ms = 0;  // Pause only
};
struct BusyCase {
  const char* name;
  std::vector<KeyStep> steps;  // after the first press, which is still down
  int moves;                   // Move Next presses that moved
};
void PrintTo(const BusyCase& c, std::ostream* os) { *os << c.name; }

class HotkeyWhileBusy : public HotkeyConfigTest, public ::testing::WithParamInterface<BusyCase> {};

TEST_P(HotkeyWhileBusy, EveryPressMovesOnceAndAHeldKeyOnce) {
  const BusyCase& c = GetParam();
  constexpr TRect Third{3840, 0, 5760, 1080};
  sim.SetLayout({Left, Right, Third});
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  sim.WhileWaitingFor(app, [&] {
    for (const KeyStep& step : c.steps) {
      switch (step.kind) {
        case KeyStep::Down: EXPECT_TRUE(sim.PressHotkey(CtrlAlt, 'N')); break;
        case KeyStep::Up: sim.SetKeyPhysicalState('N', false); break;
        case KeyStep::Pause: sim.AdvanceTime(step.ms); break;
      }
    }
  });
  ASSERT_TRUE(Hold(CtrlAlt, 'N'));
  sim.SetKeyPhysicalState('N', false);
  Wait(1000);
  // Placements, one line each (the log folds only lines repeated as they are).
  int placed = 0;
  for (const std::wstring& line : Log())
    if (line.rfind(L"MP: monitor [", 0) == 0 && line.find(L"new TL") != std::wstring::npos) ++placed;
  EXPECT_EQ(placed, c.moves);
  const TRect monitors[] = {Left, Right, Third};
  EXPECT_TRUE(AppOn(monitors[c.moves % 3])) << "at " << AppNow().Left;
}

using K = KeyStep;
INSTANTIATE_TEST_SUITE_P(
    HotkeyConfig, HotkeyWhileBusy,
    ::testing::Values(
        // Let go and pressed again during the move, still down when it ends.
        BusyCase{"PressedAgainStillDown", {{K::Pause, 50}, {K::Up}, {K::Pause, 100}, {K::Down}}, 2},
        BusyCase{"TappedAgain", {{K::Pause, 50}, {K::Up}, {K::Pause, 100}, {K::Down}, {K::Pause, 50}, {K::Up}}, 2},
        // Two taps waiting together: handled back to back, they are still 150 ms apart.
        BusyCase{"TwoTapsWaitTogether",
                 {{K::Pause, 50}, {K::Up}, {K::Pause, 100}, {K::Down}, {K::Pause, 50}, {K::Up}, {K::Pause, 100},
                  {K::Down}, {K::Pause, 50}, {K::Up}},
                 3},
        // Held past the repeat delay, let go before the move ends: its repeats wait until after
        // the release and are still repeats.
        BusyCase{"HeldWithRepeatsLetGoDuringTheMove",
                 {{K::Pause, 500}, {K::Down}, {K::Pause, 33}, {K::Down}, {K::Pause, 33}, {K::Down}, {K::Pause, 20},
                  {K::Up}},
                 1},
        // The same, and pressed once more after letting go.
        BusyCase{"HeldThenPressedAgain",
                 {{K::Pause, 500}, {K::Down}, {K::Pause, 33}, {K::Down}, {K::Pause, 20}, {K::Up}, {K::Pause, 150},
                  {K::Down}},
                 2}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(HotkeyConfigTest, PressesStillMoveWhenTheReleaseWatchCannotStart) {
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  sim.FailOperation(Op::WatchKeyRelease, wc::ERROR_NOT_ENOUGH_MEMORY, -1);
  ASSERT_TRUE(Press(CtrlAlt, 'N'));
  Wait(150);
  ASSERT_TRUE(Press(CtrlAlt, 'N'));
  EXPECT_TRUE(AppOn(Left));
  EXPECT_TRUE(Logged(L"WMHK: key release watch failed, error 8"));
}

TEST_F(HotkeyConfigTest, WrappedTickCountIsNotARepeat) {
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  main->LastHotkeyTime = 0xFFFFFF00u;  // pressed just before the counter wrapped
  ASSERT_TRUE(Press(CtrlAlt, 'N'));
  EXPECT_TRUE(AppOn(Right));
}

// ---------------------------------------------------------------- the page: Set, Clear, Save

TEST_F(HotkeyConfigTest, SetThenSaveRegistersWritesAndSurvivesARestart) {
  Start("");
  THotkeyData offered;
  SetHotkeyDialogHandler([&](THotkeyData& hkd) {
    offered = hkd;
    hkd = THotkeyData{true, true, false, false, wc::VK_LEFT, L"CTRL+ALT+LEFT"};
    return true;
  });
  main->Show();
  main->MIGlobalHotkeys1Click();
  ASSERT_TRUE(ui::headless::Click(*main->btnSetMoveLeft));
  EXPECT_EQ(offered.key, 0);
  EXPECT_TRUE(main->cbMoveLeft->Checked());
  EXPECT_EQ(main->lblMoveLeftKey->Text(), L"CTRL+ALT+LEFT");
  // Nothing is registered before Save.
  EXPECT_FALSE(Press(CtrlAlt, wc::VK_LEFT));

  ASSERT_TRUE(ui::headless::Click(*main->btnSaveHotkey));
  EXPECT_EQ(main->lblMessage->Text(), L"Hotkey settings save: Tessary.ini");
  const std::string file = File();
  EXPECT_NE(file.find("cbMoveLeft=1"), std::string::npos) << file;
  EXPECT_NE(file.find("MOVELEFT_HOTKEY=110025\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("MOVERIGHT_HOTKEY=000000\r\n"), std::string::npos) << file;
  EXPECT_TRUE(Press(CtrlAlt, wc::VK_LEFT));

  CreateMain();
  Wait(1000);
  EXPECT_EQ(main->lblMoveLeftKey->Text(), L"CTRL+ALT+LEFT");
  EXPECT_TRUE(Press(CtrlAlt, wc::VK_LEFT));
}

TEST_F(HotkeyConfigTest, ClearUnticksAndSavesEmptyAndDisabled) {
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  SetHotkeyDialogHandler([](THotkeyData& hkd) {
    hkd = THotkeyData{};
    return true;
  });
  main->btnSetMoveNextClick();
  EXPECT_FALSE(main->cbMoveNext->Checked());
  EXPECT_EQ(main->lblMoveNextKey->Text(), L"[none]");
  EXPECT_TRUE(Press(CtrlAlt, 'N')) << "the old registration holds until Save";
  main->btnSaveHotkeyClick();
  EXPECT_FALSE(Press(CtrlAlt, 'N'));
  const std::string file = File();
  EXPECT_NE(file.find("cbMoveNext=0"), std::string::npos) << file;
  EXPECT_NE(file.find("MOVENEXT_HOTKEY=000000"), std::string::npos) << file;
}

TEST_F(HotkeyConfigTest, CancelledDialogChangesNothing) {
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  SetHotkeyDialogHandler([](THotkeyData& hkd) {
    hkd.key = 'Q';  // a dialog that touched the record and was cancelled anyway
    return false;
  });
  main->btnSetMoveNextClick();
  EXPECT_TRUE(main->cbMoveNext->Checked());
  EXPECT_EQ(main->lblMoveNextKey->Text(), L"CTRL+ALT+N");
}

TEST_F(HotkeyConfigTest, SameCombinationTwiceFailsAtSaveAndStaysTicked) {
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  SetHotkeyDialogHandler([](THotkeyData& hkd) {
    hkd = THotkeyData{true, true, false, false, 'N', L"CTRL+ALT+N"};
    return true;
  });
  main->btnSetMoveLeftClick();
  main->btnSaveHotkeyClick();
  // Move Left/Up is registered first and takes the keys; Move Next is refused.
  EXPECT_TRUE(StatusShows(L"[Move Next] Hotkey = CTRL+ALT+N"));
  EXPECT_TRUE(StatusShows(L"Failed. Hotkey already taken."));
  EXPECT_TRUE(main->cbMoveNext->Checked());
  EXPECT_NE(File().find("cbMoveNext=1"), std::string::npos);
  EXPECT_EQ(main->HotkeyList[2]->hk, nullptr);
  ASSERT_TRUE(Press(CtrlAlt, 'N'));
  EXPECT_TRUE(Logged(L"WMHK: Move Left/Up"));
}

// Save's status lines let waiting messages run: a hotkey pressed meanwhile is handled with the
// registrations of that moment and nothing is registered twice or lost.
TEST_F(HotkeyConfigTest, HotkeyHandledInsideSaveMovesOnce) {
  Start("cbMoveNext=1\r\nMOVENEXT_HOTKEY=11004E\r\n");
  ASSERT_TRUE(sim.PressHotkey(CtrlAlt, 'N'));  // waiting when Save starts
  sim.SetKeyPhysicalState('N', false);
  main->btnSaveHotkeyClick();
  EXPECT_TRUE(AppOn(Right));
  Wait(1000);
  EXPECT_TRUE(Press(CtrlAlt, 'N'));
  EXPECT_TRUE(AppOn(Left));
}

// A second Save clicked while the first one's status line lets messages run: it runs after the
// first, not inside it, and stores the page as it was at the click. Inside, it would release and
// register the hotkeys under the first, which then ends with them unregistered and still ticked.
TEST_F(HotkeyConfigTest, SaveClickedDuringASaveRunsAfterItAndEveryHotkeyStaysRegistered) {
  Start("cbMoveLeft=1\r\ncbMoveRight=1\r\ncbMoveNext=1\r\nMOVELEFT_HOTKEY=110025\r\n"
        "MOVERIGHT_HOTKEY=110027\r\nMOVENEXT_HOTKEY=11004E\r\n");
  main->Show();
  main->MIGlobalHotkeys1Click();
  int clicks = 0;
  // The user goes back to the page (the status line took it away), unticks Move Next and clicks
  // Save again; this runs in the first save's status line.
  const WindowHandle user = sim.CreateWindowExW(0, L"User", L"", wc::WS_POPUP, 0, 0, 1, 1, 0,
                                                [&](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
                                                  if (msg != wc::WM_APP || clicks++ > 0) return 0;
                                                  main->MIGlobalHotkeys1Click();
                                                  main->cbMoveNext->SetChecked(false);
                                                  EXPECT_TRUE(ui::headless::Click(*main->btnSaveHotkey));
                                                  return 0;
                                                });
  ASSERT_NE(user, 0u);
  ASSERT_TRUE(sim.PostMessageW(user, wc::WM_APP, 0, 0));
  ASSERT_TRUE(ui::headless::Click(*main->btnSaveHotkey));
  ASSERT_EQ(clicks, 1) << "the first save let the click run";
  EXPECT_FALSE(StatusShows(L"Failed. Hotkey already taken."));
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, false}));
  Wait(1000);
  EXPECT_TRUE(Press(CtrlAlt, wc::VK_LEFT));
  EXPECT_TRUE(Press(CtrlAlt, wc::VK_RIGHT));
  EXPECT_FALSE(Press(CtrlAlt, 'N')) << "the second save stored the page as it was at its click";
  EXPECT_NE(File().find("cbMoveNext=0"), std::string::npos) << File();
  sim.DestroyWindow(user);
}

TEST_F(HotkeyConfigTest, RegistrationsEndWithTheWindow) {
  Start("cbMoveLeft=1\r\ncbMoveNext=1\r\nMOVELEFT_HOTKEY=110025\r\nMOVENEXT_HOTKEY=11004E\r\n");
  main.reset();
  EXPECT_FALSE(sim.PressHotkey(CtrlAlt, wc::VK_LEFT));
  EXPECT_FALSE(sim.PressHotkey(CtrlAlt, 'N'));
}

}  // namespace
}  // namespace tessary::test
