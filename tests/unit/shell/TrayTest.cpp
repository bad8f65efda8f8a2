// The tray window on the simulated desktop: the icon in the notification area and its picture,
// the tray menu, clicks on the icon, the Scroll Lock watch, the shell starting again, the two
// list files and the exit from the menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "MainFixture.h"
#include "desktop/ResourceIds.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitFrmAbout.h"
#include "shell/UnitFrmSysTrayMenu.h"
#include "shell/UnitSignIn.h"
#include "shell/UnitMisc.h"
#include "shell/UnitStartup.h"

namespace tessary::test {
namespace {

using namespace tessary::wc;
namespace hl = ui::headless;

const std::wstring kFolder = L"C:\\Tools\\";
const std::wstring kDisabled = kFolder + L"disabled.ini";
const std::wstring kNoRight = kFolder + L"noright.ini";
const std::wstring kSettings = kFolder + L"Tessary.ini";

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

class TrayTest : public MainFixture {
 protected:
  void SetUp() override {
    MainFixture::SetUp();
    main.reset();
    sim.SetModuleFileName(kFolder + L"Tessary.exe");
    sim.SetFileVersion(kFolder + L"Tessary.exe", 1, 0, 9561, 59526);
    ResetDataFolderCache();
    sim.SetCursor(TPoint{3000, 1060});
  }
  void TearDown() override {
    about.reset();
    tray.reset();
    MainFixture::TearDown();
  }

  // The windows in start-up's order: main window, tray window, About box.
  void Start(bool watcherOn = true) {
    sim.WriteWholeFile(kSettings, Bytes(std::string("[Main]\r\ncbWatcherOnStart=") + (watcherOn ? "1" : "0") + "\r\n"));
    CreateMain();
    tray = std::make_unique<TfrmSysTrayMenu>();
    about = std::make_unique<TFrmAbout>();
  }

  // The one icon the notification area shows for the tray window.
  NotifyIconData Icon() {
    std::vector<NotifyIconData> mine;
    for (const auto& d : sim.NotifyIcons())
      if (d.window == tray->Handle()) mine.push_back(d);
    EXPECT_EQ(mine.size(), 1u) << "the tray window's icons";
    return mine.empty() ? NotifyIconData{} : mine.front();
  }
  bool IconShown() {
    for (const auto& d : sim.NotifyIcons())
      if (d.window == tray->Handle()) return true;
    return false;
  }
  // The tray image (0 grey, 1 colour, ...) the icon shows; -1 when it is not a tray image.
  int Image(IconHandle icon) {
    const auto loaded = sim.LoadedAs(icon);
    if (!loaded || loaded->resourceId < IDI_TRAY_FIRST || loaded->resourceId >= IDI_TRAY_FIRST + IDI_TRAY_COUNT)
      return -1;
    return loaded->resourceId - IDI_TRAY_FIRST;
  }
  // The user's mouse on the icon; the message is taken by the next pump.
  void Mouse(uint32_t mouseMessage) {
    ASSERT_TRUE(sim.MouseOnNotifyIcon(tray->Handle(), TfrmSysTrayMenu::IconId, mouseMessage));
    ui::app::ProcessPendingMessages();
  }
  // A right click on the icon that picks from the menu ("MIMonitorWatcher/MIDisable").
  void Choose(const std::wstring& path) {
    hl::ChooseNext(path);
    Mouse(WM_RBUTTONDOWN);
  }

  std::unique_ptr<TfrmSysTrayMenu> tray;
  std::unique_ptr<TFrmAbout> about;
};

TEST_F(TrayTest, IconIsAddedInColourWithoutTipAndGainsTheTipAtTheFirstTick) {
  Start(true);
  NotifyIconData icon = Icon();
  EXPECT_EQ(icon.id, 0u);
  EXPECT_EQ(icon.flags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  EXPECT_EQ(icon.callbackMessage, 0x401u);
  EXPECT_EQ(Image(icon.icon), 1);
  EXPECT_EQ(icon.tip, L"") << "the About box does not exist when the icon is added";
  EXPECT_EQ(tray->CurrentIconIndex, 0);

  Wait(1299);
  EXPECT_EQ(Icon().tip, L"");
  Wait(1);
  icon = Icon();
  EXPECT_EQ(icon.tip, L"Tessary v1.0");
  EXPECT_EQ(Image(icon.icon), 1);
  EXPECT_EQ(tray->CurrentIconIndex, 1);
}

// A busy shell times out on the first icon: the program is not left running with no way to reach
// it; the tray's timer adds the icon once the shell answers.
TEST_F(TrayTest, AnIconTheShellRefusedIsAddedAtTheNextTick) {
  sim.FailOperation(Op::ShellNotifyIcon, ERROR_TIMEOUT);
  Start(true);
  EXPECT_FALSE(IconShown());
  const auto log = Log();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::wstring& l) {
    return l.find(L"Tray: the icon was not added, trying again") == 0;
  }));
  Wait(TfrmSysTrayMenu::DisabledIntervalMs);
  ASSERT_TRUE(IconShown());
  EXPECT_EQ(Image(Icon().icon), TfrmSysTrayMenu::ImageOn);
  EXPECT_TRUE(Logged(L"Tray: the icon was added"));
}

TEST_F(TrayTest, StartWithTheWatcherOffShowsTheGreyPictureAtOnce) {
  Start(false);
  ASSERT_FALSE(main->MonitorWatcher());
  EXPECT_EQ(Image(Icon().icon), 0);
  Wait(1300);
  EXPECT_EQ(Image(Icon().icon), 0);
  EXPECT_EQ(Icon().tip, L"Tessary v1.0");
}

struct ScaleCase {
  const char* name;
  uint32_t dpi;
  int32_t size;
};

class TrayScaleTest : public TrayTest, public ::testing::WithParamInterface<ScaleCase> {};

// Each picture is loaded at the size the shell draws, never a 16-pixel image scaled up.
TEST_P(TrayScaleTest, ImagesAreLoadedAtTheShellsSmallIconSize) {
  sim.SetSystemDpi(GetParam().dpi);
  Start(true);
  for (const OwnedIcon& owned : tray->ilTrayIcons) {
    const IconHandle icon = owned.get();
    ASSERT_TRUE(sim.LoadedAs(icon).has_value());
    EXPECT_EQ(sim.LoadedAs(icon)->size, GetParam().size);
  }
  ASSERT_TRUE(sim.LoadedAs(tray->ilPopupIcon0.get()).has_value());
  EXPECT_EQ(sim.LoadedAs(tray->ilPopupIcon0.get())->resourceId, IDI_TRAY_ON);
  EXPECT_EQ(sim.LoadedAs(tray->ilPopupIcon0.get())->size, GetParam().size);
  std::vector<int> images;
  for (const OwnedIcon& icon : tray->ilTrayIcons) images.push_back(Image(icon.get()));
  EXPECT_EQ(images, (std::vector<int>{0, 1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(Scaling, TrayScaleTest,
                         ::testing::Values(ScaleCase{"at100", 96, 16}, ScaleCase{"at125", 120, 20},
                                           ScaleCase{"at150", 144, 24}, ScaleCase{"at200", 192, 32}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(TrayTest, ScrollLockSwitchesTheWatcherOffAndTurningItOffLeavesItOff) {
  Start(true);
  Wait(1300);
  sim.SetKeyToggled(VK_SCROLL, true);
  Wait(1300);
  EXPECT_FALSE(main->MonitorWatcher());
  EXPECT_EQ(Image(Icon().icon), 0);
  EXPECT_EQ(main->lblMessage->Text(), L"Monitor Watcher [Disabled]");
  EXPECT_FALSE(main->timGetTopPrograms->Enabled());

  sim.SetKeyToggled(VK_SCROLL, false);
  Wait(1300 * 3);
  EXPECT_FALSE(main->MonitorWatcher());
  EXPECT_EQ(Image(Icon().icon), 0);

  // Only the user switches it on again; the picture follows at the next tick.
  Choose(L"MIMonitorWatcher/MIEnable");
  EXPECT_TRUE(main->MonitorWatcher());
  Wait(1300);
  EXPECT_EQ(Image(Icon().icon), 1);
}

TEST_F(TrayTest, ScrollLockHeldOnKeepsTheWatcherOffAgainstTheMenu) {
  Start(true);
  sim.SetKeyToggled(VK_SCROLL, true);
  Wait(1300);
  Choose(L"MIMonitorWatcher/MIEnable");
  EXPECT_TRUE(main->MonitorWatcher());
  Wait(1300);
  EXPECT_FALSE(main->MonitorWatcher());
  EXPECT_EQ(Image(Icon().icon), 0);
}

TEST_F(TrayTest, RightClickShowsTheMenuBesideTheCursor) {
  Start(true);
  Mouse(WM_RBUTTONDOWN);
  const hl::PopupRecord* menu = hl::LastPopup();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->form, tray->Handle());
  EXPECT_EQ(menu->at, (TPoint{3005, 1056}));
  std::vector<std::wstring> captions;
  for (const auto& item : menu->items) captions.push_back(item.caption);
  EXPECT_EQ(captions, (std::vector<std::wstring>{L"&Monitor Watcher ", L"&Restore Report", L"&Gather windows",
                                                 L"&Start Tessary when I sign in", L"", L"", L"About",
                                                 L"Exit  Tessary"}));
  const auto& watcher = menu->items[0];
  EXPECT_EQ(watcher.image, tray->ilPopupIcon0.get());
  EXPECT_NE(watcher.image, 0u);
  ASSERT_EQ(watcher.submenu.size(), 2u);
  EXPECT_EQ(watcher.submenu[0].caption, L"Enable");
  EXPECT_EQ(watcher.submenu[1].caption, L"Disable");
  EXPECT_EQ(menu->chosen, -1);
  EXPECT_FALSE(tray->PopupShowing);
  // The watcher item itself cannot be chosen: it only opens its submenu.
  Choose(L"MIMonitorWatcher");
  EXPECT_EQ(hl::LastPopup()->chosen, -1);
  EXPECT_TRUE(main->MonitorWatcher());
}

// The last restore's report, from the tray: the main window at its page, refreshed when a cycle
// ends while it is in view, and copied as text.
TEST_F(TrayTest, RestoreReportShowsTheLastRestoreAndCopiesIt) {
  Start(true);
  Choose(L"MIRestoreReport");
  EXPECT_TRUE(main->Visible());
  EXPECT_EQ(main->pcView->ActivePage(), main->tsReport);
  EXPECT_EQ(main->txtReport->Lines(), std::vector<std::wstring>{L"No restore has run since Tessary started."});

  main->watcher.OnMonitorConnect();  // a wake with nothing displaced
  FinishCycle();
  main->ShowRestoreReport();
  const std::vector<std::wstring> lines = main->txtReport->Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(L"arrangement 2 monitors: ", 0), 0u);
  EXPECT_NE(lines[1].find(L": already in place"), std::wstring::npos);
  main->btnCopyReportClick();
  std::wstring copied;
  ASSERT_TRUE(sim.GetClipboardText(copied));
  EXPECT_EQ(copied, lines[0] + L"\r\n" + lines[1] + L"\r\n");
}

// "Start Tessary when I sign in": the tick is the current user's Run entry naming this very exe,
// and a click writes or removes that entry; another copy's entry is said and replaced only by a
// tick.
TEST_F(TrayTest, StartAtSignInFollowsAndChangesTheRunEntry) {
  const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  struct Case {
    const char* what;
    const wchar_t* entry;  // nullptr: none
    bool ticked;
    const wchar_t* after;  // nullptr: none
    const wchar_t* said;
  };
  const Case cases[] = {
      {"none", nullptr, false, L"\"C:\\Tools\\Tessary.exe\"", L"Tessary starts when you sign in"},
      {"this copy", L"\"C:\\Tools\\Tessary.exe\"", true, nullptr, L"Tessary no longer starts when you sign in"},
      {"this copy, unquoted, other case", L"c:\\tools\\TESSARY.EXE", true, nullptr,
       L"Tessary no longer starts when you sign in"},
      {"the installed copy", L"\"C:\\Program Files\\Tessary\\Tessary.exe\"", false, L"\"C:\\Tools\\Tessary.exe\"",
       L"Tessary starts when you sign in, this copy instead of C:\\Program Files\\Tessary\\Tessary.exe"},
  };
  Start(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.entry != nullptr)
      sim.WriteRegistryString(RegRoot::CurrentUser, key, L"Tessary", c.entry);
    else
      sim.DeleteRegistryValue(RegRoot::CurrentUser, key, L"Tessary");
    Choose(L"MIStartAtSignIn");
    const hl::PopupRecord* menu = hl::LastPopup();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->items[3].checked, c.ticked);
    std::wstring now;
    const RegValueState state = sim.ReadRegistryString(RegRoot::CurrentUser, key, L"Tessary", now);
    if (c.after == nullptr) {
      EXPECT_EQ(state, RegValueState::ValueMissing);
    } else {
      EXPECT_EQ(now, c.after);
    }
    EXPECT_EQ(main->lblMessage->Text(), c.said);
  }
}

TEST_F(TrayTest, StartAtSignInRefusedSaysWhyAndShowsTheRealState) {
  Start(true);
  sim.FailOperation(Op::WriteRegistryString, ERROR_ACCESS_DENIED, -1);
  Choose(L"MIStartAtSignIn");
  sim.ClearFaults();
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text.rfind(L"Tessary could not change whether it starts when you sign in:", 0), 0u);
  std::wstring now;
  EXPECT_NE(sim.ReadRegistryString(RegRoot::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                   L"Tessary", now),
            RegValueState::Present);
  Choose(L"MIMonitorWatcher");
  EXPECT_FALSE(hl::LastPopup()->items[3].checked) << "the item shows what the registry holds";
}

TEST(SignInTest, TheExeARunCommandStarts) {
  struct Case {
    const wchar_t* command;
    const wchar_t* path;
  };
  for (const Case& c : {Case{L"\"C:\\Program Files\\Tessary\\Tessary.exe\" -x", L"C:\\Program Files\\Tessary\\Tessary.exe"},
                        Case{L"C:\\Program Files\\Tessary\\Tessary.exe -x", L"C:\\Program Files\\Tessary\\Tessary.exe"},
                        Case{L"  D:\\t.EXE", L"D:\\t.EXE"}, Case{L"D:\\tool -x", L"D:\\tool"},
                        Case{L"\"D:\\open quote", L"D:\\open quote"}, Case{L"   ", L""}}) {
    EXPECT_EQ(TSignIn::PathOf(c.command), c.path);
  }
  EXPECT_TRUE(TSignIn::SamePath(L"C:/Tools/tessary.exe", L"c:\\TOOLS\\Tessary.exe"));
  EXPECT_FALSE(TSignIn::SamePath(L"C:\\Tools\\Tessary.exe", L"C:\\Tools2\\Tessary.exe"));
}

struct SwitchCase {
  const char* name;
  bool on;
  const wchar_t* item;
  bool after;
  const wchar_t* status;  // the status line afterwards; empty: none written
};

class TraySwitchTest : public TrayTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(TraySwitchTest, TicksShowTheStateAndOnlyAChangeWritesTheStatusLine) {
  const SwitchCase& c = GetParam();
  Start(c.on);
  Wait(1300);  // the start's own status line has gone into the log
  const std::vector<std::wstring> logBefore = main->txtLog->Lines();
  ASSERT_EQ(main->lblMessage->Text(), L"");

  Choose(std::wstring(L"MIMonitorWatcher/") + c.item);

  const hl::PopupRecord* menu = hl::LastPopup();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->items[0].submenu[0].checked, c.on) << "Enable";
  EXPECT_EQ(menu->items[0].submenu[1].checked, !c.on) << "Disable";
  EXPECT_EQ(main->MonitorWatcher(), c.after);
  EXPECT_EQ(main->timGetTopPrograms->Enabled(), c.after);
  EXPECT_EQ(main->lblMessage->Text(), c.status);
  EXPECT_EQ(main->txtLog->Lines(), logBefore);
  Wait(1300);
  EXPECT_EQ(Image(Icon().icon), c.after ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TraySwitchTest,
    ::testing::Values(SwitchCase{"DisableWhenOn", true, L"MIDisable", false, L"Monitor Watcher [Disabled]"},
                      SwitchCase{"EnableWhenOff", false, L"MIEnable", true, L"Monitor Watcher [Enabled]"},
                      SwitchCase{"TickedEnable", true, L"MIEnable", true, L""},
                      SwitchCase{"TickedDisable", false, L"MIDisable", false, L""}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(TrayTest, ASecondRightClickWhileTheMenuIsOpenOpensNoSecondMenu) {
  Start(true);
  int ticksDuringMenu = 0;
  hl::WhileNextMenuOpen([&] {
    // The menu's loop keeps dispatching: a second click arrives, and the timers run.
    sim.MouseOnNotifyIcon(tray->Handle(), TfrmSysTrayMenu::IconId, WM_RBUTTONDOWN);
    sim.AdvanceTime(1300);
    ticksDuringMenu = 1;
  });
  Mouse(WM_RBUTTONDOWN);
  EXPECT_EQ(ticksDuringMenu, 1);
  EXPECT_EQ(hl::Installed().Popups().size(), 1u);
  EXPECT_EQ(Icon().tip, L"Tessary v1.0") << "the timer ran while the menu was open";
  // Once it has closed, the next click opens the menu again.
  Mouse(WM_RBUTTONDOWN);
  EXPECT_EQ(hl::Installed().Popups().size(), 2u);
}

TEST_F(TrayTest, LeftClickShowsTheMainWindowAndRightDoubleClickTheDebugWindow) {
  Start(true);
  int debugShown = 0;
  SetShowDebugWindowHandler([&] { ++debugShown; });
  ASSERT_FALSE(main->Visible());

  Mouse(0x0200);  // WM_MOUSEMOVE: nothing
  Mouse(WM_RBUTTONUP);
  EXPECT_FALSE(main->Visible());
  EXPECT_EQ(debugShown, 0);
  EXPECT_TRUE(hl::Installed().Popups().empty());

  Mouse(WM_LBUTTONDOWN);
  EXPECT_TRUE(main->Visible());
  EXPECT_EQ(debugShown, 0);

  Mouse(WM_RBUTTONDBLCLK);
  EXPECT_EQ(debugShown, 1);
  EXPECT_TRUE(hl::Installed().Popups().empty());
}

TEST_F(TrayTest, LeftClickOnAShownMainWindowRaisesItWithoutPlacingItAgain) {
  Start(true);
  Mouse(WM_LBUTTONDOWN);
  ASSERT_TRUE(main->Visible());
  const TRect placed{main->Left(), main->Top(), main->Left() + main->Width(), main->Top() + main->Height()};
  sim.SetCursor(TPoint{100, 100});  // a new placement would follow the cursor
  sim::WindowSpec topmost;
  topmost.exStyle = WS_EX_TOPMOST;
  const WindowHandle other = sim.AddWindow(topmost);
  ASSERT_NE(sim.ZOrder().front(), main->Handle());
  Mouse(WM_LBUTTONDOWN);
  EXPECT_EQ(sim.ZOrder().front(), main->Handle());
  EXPECT_NE(sim.ZOrder().front(), other);
  EXPECT_EQ((TRect{main->Left(), main->Top(), main->Left() + main->Width(), main->Top() + main->Height()}), placed);
}

struct RestartCase {
  const char* name;
  bool on;
  int image;
};

class TrayRestartTest : public TrayTest, public ::testing::WithParamInterface<RestartCase> {};

TEST_P(TrayRestartTest, TheShellStartingAgainGetsTheIconBackWithTheStatesPicture) {
  Start(GetParam().on);
  Wait(1300);
  sim.RestartTaskbar();
  EXPECT_FALSE(IconShown());
  ui::app::ProcessPendingMessages();
  const NotifyIconData icon = Icon();
  EXPECT_EQ(Image(icon.icon), GetParam().image);
  EXPECT_EQ(icon.tip, L"Tessary v1.0");
  EXPECT_EQ(icon.callbackMessage, 0x401u);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrayRestartTest,
                         ::testing::Values(RestartCase{"WatcherOn", true, 1}, RestartCase{"WatcherOff", false, 0}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(TrayTest, ListFilesPassFromStartToExitByteForByte) {
  // UTF-16 with a BOM and no line end at the end; odd case; a line that is not name=1.
  const std::vector<uint8_t> disabled = {0xFF, 0xFE, 'a', 0, '.', 0, 'E', 0, '=', 0, '1', 0, '\r', 0, '\n', 0, 'x', 0};
  const std::vector<uint8_t> noright = Bytes("Game.EXE=1\nnot a pair\r\n\r\n");
  sim.WriteWholeFile(kDisabled, disabled);
  sim.WriteWholeFile(kNoRight, noright);
  Start(true);
  sim.DeleteFileW(kDisabled);
  sim.DeleteFileW(kNoRight);
  tray.reset();
  std::vector<uint8_t> b;
  ASSERT_TRUE(sim.ReadWholeFile(kDisabled, b));
  EXPECT_EQ(b, disabled);
  ASSERT_TRUE(sim.ReadWholeFile(kNoRight, b));
  EXPECT_EQ(b, noright);
}

TEST_F(TrayTest, MissingListFilesAreWrittenEmptyAtExit) {
  Start(true);
  EXPECT_FALSE(sim.FileExists(kDisabled));
  tray.reset();
  for (const auto& path : {kDisabled, kNoRight}) {
    std::vector<uint8_t> b{1};
    ASSERT_TRUE(sim.ReadWholeFile(path, b)) << std::string(path.begin(), path.end());
    EXPECT_TRUE(b.empty());
  }
}

TEST_F(TrayTest, AListFileThatCannotBeReadIsLeftAsItIs) {
  const std::vector<uint8_t> disabled = Bytes("keep.exe=1\r\n");
  sim.WriteWholeFile(kDisabled, disabled);
  sim.WriteWholeFile(kNoRight, Bytes("b.exe=1\r\n"));
  CreateMain();
  sim.FailOperation(Op::ReadFileLimited, ERROR_ACCESS_DENIED);  // the first list read
  tray = std::make_unique<TfrmSysTrayMenu>();
  sim.ClearFaults();
  tray.reset();
  std::vector<uint8_t> b;
  ASSERT_TRUE(sim.ReadWholeFile(kDisabled, b));
  EXPECT_EQ(b, disabled);
  ASSERT_TRUE(sim.ReadWholeFile(kNoRight, b));
  EXPECT_EQ(b, Bytes("b.exe=1\r\n"));
}

// The disk fills while a list is written at exit: the write leaves a part of the file behind, as
// a failing WriteFile does. The old list stays whole, and nothing is left beside it.
TEST_F(TrayTest, AListWriteThatFailsHalfWayLeavesTheOldList) {
  const std::vector<uint8_t> disabled = Bytes("keep.exe=1\r\nother.exe=1\r\n");
  sim.WriteWholeFile(kDisabled, disabled);
  Start(true);
  // Where the exit writes its first file.
  sim.StartCallNumbering();
  tray.reset();
  const auto calls = sim.NumberedCalls();
  const auto write = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.op == Op::WriteWholeFile; });
  ASSERT_NE(write, calls.end());

  sim.WriteWholeFile(kDisabled, disabled);
  tray = std::make_unique<TfrmSysTrayMenu>();
  sim.StartCallNumbering();
  sim.FailCallNumber(static_cast<uint64_t>(write - calls.begin()) + 1, sim::SimDesktop::FaultKind::PartialWrite);
  tray.reset();
  ASSERT_TRUE(sim.Injected().has_value());
  EXPECT_EQ(sim.Injected()->op, Op::WriteWholeFile);
  std::vector<uint8_t> b;
  ASSERT_TRUE(sim.ReadWholeFile(kDisabled, b));
  EXPECT_EQ(b, disabled);
  for (const std::wstring& f : sim.Files()) EXPECT_EQ(f.find(L".new"), std::wstring::npos) << "left behind";
  const auto log = Log();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                          [](const std::wstring& l) { return l.find(L"Tray: cannot write " + kDisabled) == 0; }));
}

TEST_F(TrayTest, DestructionRemovesTheIconAndFreesTheImages) {
  Start(true);
  Mouse(WM_RBUTTONDOWN);
  ASSERT_TRUE(IconShown());
  const WindowHandle h = tray->Handle();
  tray.reset();
  for (const auto& d : sim.NotifyIcons()) EXPECT_NE(d.window, h);
  EXPECT_EQ(sim.LiveLoadedIcons(), 0u);
}

// The whole program: "Exit  Tessary" from the tray menu ends the loop with 0, and on the way out
// the icon goes, the list files and the kept log are written and no window of the program stays.
TEST_F(TrayTest, ExitFromTheTrayMenuEndsTheProgramCleanly) {
  sim.WriteWholeFile(kSettings, Bytes("[Main]\r\ncbWatcherOnStart=1\r\n"));
  bool iconDuringRun = false;
  sim.At(2000, [&] {
    SetSaveOnExit(true);
    TfrmSysTrayMenu* t = FrmSysTrayMenu();
    ASSERT_NE(t, nullptr);
    for (const auto& d : sim.NotifyIcons()) iconDuringRun = iconDuringRun || d.window == t->Handle();
    hl::ChooseNext(L"MIExit");
    sim.MouseOnNotifyIcon(t->Handle(), TfrmSysTrayMenu::IconId, WM_RBUTTONDOWN);
  });
  const uint32_t start = sim.GetTickCount();

  EXPECT_EQ(RunApplication(), 0);

  EXPECT_LT(sim.GetTickCount() - start, 3000u) << "the loop ran on after the exit";
  EXPECT_TRUE(iconDuringRun);
  EXPECT_TRUE(sim.NotifyIcons().empty());
  EXPECT_EQ(FrmSysTrayMenu(), nullptr);
  EXPECT_TRUE(sim.FileExists(kDisabled));
  EXPECT_TRUE(sim.FileExists(kNoRight));
  EXPECT_TRUE(sim.FileExists(kFolder + L"Debug.txt"));
  for (WindowHandle w : sim.ZOrder()) {
    uint32_t pid = 0;
    sim.GetWindowThreadProcessId(w, &pid);
    EXPECT_NE(pid, sim.OwnProcessId()) << "window left: " << std::string(sim.GetClassNameW(w).begin(), sim.GetClassNameW(w).end());
  }
}

}  // namespace
}  // namespace tessary::test
