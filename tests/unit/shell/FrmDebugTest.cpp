#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "../moving/MovingFixture.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitFrmDebug.h"
#include "ui/headless/Headless.h"

namespace tessary::test {
namespace {

using namespace tessary::wc;
using Rows = std::vector<std::wstring>;

const std::wstring kDebugTxt = L"D:\\Tools\\Debug.txt";

class FrmDebugTest : public MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    widgets.emplace(sim);
    ui::app::InitUiThread();
    sim.SetModuleFileName(L"D:\\Tools\\Tessary.exe");  // data folder D:\Tools\ .
    sim.SetLayout({TRect{0, 0, 1920, 1080}, TRect{1920, 0, 3840, 1080}});
  }
  void TearDown() override {
    debug.reset();
    widgets.reset();
    MovingFixture::TearDown();
  }

  TFrmDebug& Create() {
    debug = std::make_unique<TFrmDebug>();
    return *debug;
  }
  TFrmDebug& Open() {
    if (!debug) Create();
    debug->Show();
    return *debug;
  }
  const Rows& Shown() const { return debug->Memo1->Rows(); }
  static void Pump() { ui::app::ProcessPendingMessages(); }

  std::optional<ui::headless::HeadlessUi> widgets;
  std::unique_ptr<TFrmDebug> debug;
};

TEST_F(FrmDebugTest, AnIndependentWindowWithItsOwnTaskbarButtonCreatedHidden) {
  const WindowHandle mainLike = AddApp({0, 0, 300, 200});
  TFrmDebug& form = Create();
  const WindowHandle h = form.Handle();
  ASSERT_NE(h, 0u);

  EXPECT_EQ(FrmDebug(), &form);
  EXPECT_FALSE(sim.IsWindowVisible(h));
  EXPECT_EQ(sim.GetWindowTextW(h), L"Debug Window");
  // Given the desktop as its owner, which owns nothing: no owner, as on Windows.
  EXPECT_EQ(sim.GetWindow(h, GW_OWNER), 0u);
  EXPECT_NE(sim.GetWindow(h, GW_OWNER), mainLike);
  const auto style = static_cast<uint32_t>(sim.GetWindowLongW(h, GWL_STYLE));
  EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME), WS_SYSMENU | WS_THICKFRAME);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
  EXPECT_NE(static_cast<uint32_t>(sim.GetWindowLongW(h, GWL_EXSTYLE)) & WS_EX_APPWINDOW, 0u);
  EXPECT_TRUE(debugview::WindowExists());
  EXPECT_FALSE(debugview::Visible());
}

TEST_F(FrmDebugTest, GrowingTheWindowGrowsTheListAndKeepsTheButtonsAtTheRightEdge) {
  TFrmDebug& form = Open();
  const TRect list = form.Memo1->ClientRect();
  const TRect kill = form.btnKill->ClientRect();
  const int32_t gap = form.ClientWidth() - kill.Right;

  form.SetBounds(form.Left(), form.Top(), form.Width() + 100, form.Height() + 60);

  const TRect list2 = form.Memo1->ClientRect();
  const TRect kill2 = form.btnKill->ClientRect();
  EXPECT_EQ(list2.Width(), list.Width() + 100);
  EXPECT_EQ(list2.Height(), list.Height() + 60);
  EXPECT_EQ(form.ClientWidth() - kill2.Right, gap);
  EXPECT_EQ(kill2.Top, kill.Top);
}

TEST_F(FrmDebugTest, OpeningShowsTheNewest201LinesAndTakesTheForeground) {
  for (int i = 0; i < 300; ++i) AppendLog(L"line " + std::to_wstring(i));
  const WindowHandle other = AddApp({0, 0, 300, 200});
  sim.SetForeground(other);

  TFrmDebug& form = Open();

  ASSERT_EQ(Shown().size(), 201u);
  EXPECT_EQ(Shown().front(), L"T:(x) line 299") << "lines from before the window keep their mark";
  EXPECT_EQ(Shown().back(), L"T:(x) line 99");
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(sim.GetForegroundWindow(), form.Handle());
}

TEST_F(FrmDebugTest, NewLinesAndRepeatsAppearWhileOpenUpTo1001Rows) {
  AppendLog(L"before");
  Open();
  ASSERT_EQ(Shown(), (Rows{L"T:(x) before"}));

  for (const wchar_t* m : {L"A", L"A", L"A"}) AppendLog(m);
  Pump();
  EXPECT_EQ(Shown(), (Rows{L"T: A [REPEAT x3]", L"T:(x) before"}));
  widgets->Backend().ClearChanges();
  AppendLog(L"B");
  Pump();
  EXPECT_EQ(Shown(), (Rows{L"T: B", L"T: A [REPEAT x3]", L"T:(x) before"}));
  for (const auto& c : widgets->Backend().Changes()) EXPECT_GE(c.index, 0) << "filled afresh";

  for (int i = 0; i < 1100; ++i) AppendLog(L"n" + std::to_wstring(i));
  Pump();
  ASSERT_EQ(Shown().size(), 1001u);
  EXPECT_EQ(Shown().front(), L"T: n1099");
  EXPECT_EQ(Shown().back(), L"T: n99");
  EXPECT_EQ(Shown(), debugview::Rows());

  // A full list: one in at the top, the oldest out at the bottom.
  widgets->Backend().ClearChanges();
  AppendLog(L"last");
  Pump();
  ASSERT_EQ(Shown().size(), 1001u);
  EXPECT_EQ(Shown().front(), L"T: last");
  EXPECT_EQ(Shown().back(), L"T: n100");
  EXPECT_EQ(widgets->Backend().Changes().size(), 2u);
}

TEST_F(FrmDebugTest, LinesFromAnotherThreadReachTheListOnlyThroughTheWindowsOwnThread) {
  AppendLog(L"before");
  Open();
  widgets->Backend().ClearChanges();

  std::thread worker([] {
    for (int i = 0; i < 50; ++i) AppendLog(L"worker " + std::to_wstring(i));
  });
  worker.join();
  EXPECT_EQ(Shown(), (Rows{L"T:(x) before"})) << "the list changed off its own thread";
  EXPECT_TRUE(widgets->Backend().Changes().empty());

  Pump();
  ASSERT_EQ(Shown().size(), 51u);
  EXPECT_EQ(Shown().front(), L"T: worker 49");
  // Patched row by row (no flicker, the scroll position stays), not filled afresh.
  size_t inserted = 0;
  for (const auto& c : widgets->Backend().Changes()) {
    ASSERT_EQ(c.what, ui::Change::Rows);
    EXPECT_GE(c.index, 0);
    inserted += c.index >= 0;
  }
  EXPECT_EQ(inserted, 50u);
}

TEST_F(FrmDebugTest, ClosingOnlyHidesAndTheListCatchesUpWhenOpenedAgain) {
  TFrmDebug& form = Open();
  AppendLog(L"one");
  Pump();
  sim.SendMessageW(form.Handle(), WM_CLOSE, 0, 0);

  EXPECT_TRUE(sim.IsWindow(form.Handle()));
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(debugview::Visible());
  AppendLog(L"two");
  Pump();
  EXPECT_EQ(Shown(), (Rows{L"T: one"})) << "a hidden window's list stands still";

  form.Show();
  EXPECT_EQ(Shown(), (Rows{L"T: two", L"T: one"}));
}

TEST_F(FrmDebugTest, SaveWritesDebugTxtNewestFirstAndSaysSo) {
  AppendLog(L"first");
  TFrmDebug& form = Open();
  AppendLog(L"second");

  ASSERT_TRUE(ui::headless::Click(*form.btnSave));

  EXPECT_EQ(ReadUtf16File(kDebugTxt), L"T: second\r\nT:(x) first\r\n");
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text, L"Debug.txt Created");
  EXPECT_EQ(sim.MessageBoxes()[0].owner, form.Handle());

  // A second save keeps the first file as a backup.
  ASSERT_TRUE(ui::headless::Click(*form.btnSave));
  EXPECT_EQ(ReadUtf16File(kDebugTxt + L".bak1"), L"T: second\r\nT:(x) first\r\n");
}

TEST_F(FrmDebugTest, ASaveThatFailsIsNotReportedAsCreated) {
  TFrmDebug& form = Open();
  sim.FailOperation(Op::WriteWholeFile, ERROR_ACCESS_DENIED);

  ASSERT_TRUE(ui::headless::Click(*form.btnSave));

  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_NE(sim.MessageBoxes()[0].text, L"Debug.txt Created");
  EXPECT_TRUE(sim.MessageBoxes()[0].flags & MB_ICONERROR);
  EXPECT_NE(LogLines().front().find(L"FD: could not write Debug.txt :(5)"), std::wstring::npos) << LogLines().front();
}

TEST_F(FrmDebugTest, CopyPutsTheWholeLogOnTheClipboard) {
  for (int i = 0; i < 250; ++i) AppendLog(L"c" + std::to_wstring(i));
  TFrmDebug& form = Open();

  ASSERT_TRUE(ui::headless::Click(*form.btnCopy));

  std::wstring clip;
  ASSERT_TRUE(sim.GetClipboardText(clip));
  EXPECT_EQ(clip, LogText()) << "all lines, not only those the window shows";
  EXPECT_EQ(clip.substr(0, 12), L"T:(x) c249\r\n");
}

struct AutoSaveCase {
  const char* name;
  int clicks;  // on the check box
  bool saved;
};

class FrmDebugAutoSaveTest : public FrmDebugTest, public ::testing::WithParamInterface<AutoSaveCase> {};

TEST_P(FrmDebugAutoSaveTest, DestroyingTheWindowSavesTheLogOnlyWhenTicked) {
  const AutoSaveCase& c = GetParam();
  TFrmDebug& form = Open();
  AppendLog(L"work");
  for (int i = 0; i < c.clicks; ++i) ASSERT_TRUE(ui::headless::Click(*form.cbAutoSave));
  EXPECT_EQ(SaveOnExit(), c.saved);

  debug.reset();

  EXPECT_EQ(FrmDebug(), nullptr);
  EXPECT_FALSE(debugview::WindowExists());
  EXPECT_TRUE(Logged(L"UnitFrmDebug Destroy"));
  EXPECT_EQ(Logged(L"UnitFrmDebug Autosave"), c.saved);
  EXPECT_EQ(sim.FileExists(kDebugTxt), c.saved);
  if (c.saved) {
    EXPECT_EQ(ReadUtf16File(kDebugTxt), L"T: UnitFrmDebug Autosave\r\nT: UnitFrmDebug Destroy\r\nT: work\r\n");
  }
  EXPECT_TRUE(sim.MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, FrmDebugAutoSaveTest,
                         ::testing::Values(AutoSaveCase{"Unticked", 0, false}, AutoSaveCase{"Ticked", 1, true},
                                           AutoSaveCase{"TickedThenCleared", 2, false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(FrmDebugTest, ChkKeysWithNothingPressedListsTwoAllFalseLinesAtOnce) {
  TFrmDebug& form = Open();

  ASSERT_TRUE(ui::headless::Click(*form.btnCheckKeys));

  // Shown without waiting for the message queue: the list is repainted after each listing.
  const std::wstring all = L"LWN [False False] SHIFT [False False] CTRL [False False] ALT [False False]";
  EXPECT_EQ(Shown(), (Rows{L"T: End   " + all, L"T: Start " + all}));
}

TEST_F(FrmDebugTest, ZOrderListsTheWindowsBelowTheDebugWindow) {
  sim::WindowSpec desc;
  desc.pid = sim.AddProcess(L"notepad.exe");
  AddApp({100, 100, 500, 400}, desc);
  TFrmDebug& form = Open();

  ASSERT_TRUE(ui::headless::Click(*form.btnZorder));

  ASSERT_GE(Shown().size(), 3u);
  EXPECT_EQ(Shown()[0].substr(0, 10), L"T: tested=");
  bool listed = false;
  for (const auto& row : Shown()) listed = listed || row == L"T: ZORDER: notepad.exe";
  EXPECT_TRUE(listed);
}

TEST_F(FrmDebugTest, KillProgramChangesNothing) {
  AppendLog(L"quiet");
  TFrmDebug& form = Open();
  const auto lines = LogLines();
  const auto rows = Shown();
  const WindowHandle fg = sim.GetForegroundWindow();

  ASSERT_TRUE(ui::headless::Click(*form.btnKill));
  Pump();

  EXPECT_EQ(LogLines(), lines);
  EXPECT_EQ(Shown(), rows);
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(sim.GetForegroundWindow(), fg);
  EXPECT_TRUE(sim.MessageBoxes().empty());
  EXPECT_FALSE(ui::app::Terminated());
}

TEST_F(FrmDebugTest, AnExceptionInAButtonIsLoggedSavedAndShownAndTheWindowGoesOn) {
  ui::app::SetExceptionHandler(ApplicationException);
  TFrmDebug& form = Open();
  int clicks = 0;
  form.btnKill->onClick = [&clicks] {
    if (++clicks == 1) throw std::runtime_error("Access violation at address 0");
  };
  sim.SetLastError(ERROR_ACCESS_DENIED);

  ui::headless::Click(*form.btnKill);

  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(Logged(L"Access violation at address 0"));
  EXPECT_EQ(ReadUtf16File(kDebugTxt).find(L"T: Access violation at address 0\r\n"), 0u);
  ASSERT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_EQ(sim.MessageBoxes()[0].text, L"Access violation at address 0\r\n[Debug.txt] log created.");
  EXPECT_EQ(sim.GetLastError(), 0u);

  EXPECT_TRUE(ui::headless::Click(*form.btnKill));
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(sim.MessageBoxes().size(), 1u);
  EXPECT_TRUE(ui::headless::Click(*form.btnCheckKeys)) << "the window still works";
  EXPECT_EQ(Shown()[0].substr(0, 9), L"T: End   ");
}

}  // namespace
}  // namespace tessary::test
