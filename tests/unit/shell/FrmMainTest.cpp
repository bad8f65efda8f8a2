// The main window: its window, controls and layout, the status line, the monitor layout, the move
// buttons, the view menu and what a display change does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "MainFixture.h"
#include "core/UnitForeground.h"
#include "shell/UnitFrmInstance.h"

namespace tessary::test {
namespace {

using ui::Kind;

class FrmMainTest : public MainFixture {
 protected:
  std::vector<std::wstring> MenuNames() const {
    std::vector<std::wstring> names;
    for (const ui::MenuItem& item : main->pmChangeView->Items()) names.push_back(item.name);
    return names;
  }

  // The app is the program on display, as the foreground display leaves it.
  void DisplayApp() { TForeGround::GetInfo(main->fore); }

  // Moves keep the place as truncated fractions of the monitor: a pixel a move may go.
  static bool Near(const TRect& a, const TRect& b) {
    return std::abs(a.Left - b.Left) <= 2 && std::abs(a.Top - b.Top) <= 2 && std::abs(a.Right - b.Right) <= 2 &&
           std::abs(a.Bottom - b.Bottom) <= 2;
  }
  static constexpr TRect AppOnRight{2020, 100, 2820, 700};
};

// ---------------------------------------------------------------- window

TEST_F(FrmMainTest, IsAHiddenNeverActivatingTopmostWindowOfTheProgram) {
  const WindowHandle h = main->Handle();
  ASSERT_NE(h, 0u);
  EXPECT_EQ(FrmMain(), main.get());
  EXPECT_EQ(sim.GetClassNameW(h), L"Tessary.FrmMain");
  EXPECT_EQ(sim.GetWindowTextW(h), L"Tessary");
  // The platform forces a caption and sibling clipping on an overlapped window; the caption goes again.
  EXPECT_EQ(static_cast<uint32_t>(sim.GetWindowLongW(h, wc::GWL_STYLE)),
            wc::WS_SYSMENU | wc::WS_THICKFRAME | wc::WS_CLIPSIBLINGS);
  EXPECT_EQ(static_cast<uint32_t>(sim.GetWindowLongW(h, wc::GWL_EXSTYLE)),
            wc::WS_EX_TOPMOST | wc::WS_EX_APPWINDOW | wc::WS_EX_NOACTIVATE);
  EXPECT_EQ(sim.GetClassStyle(h), wc::CS_SAVEBITS);
  int32_t w = 0, ht = 0;
  ASSERT_TRUE(sim.GetClientSize(h, w, ht));
  EXPECT_EQ(w, 618);
  EXPECT_EQ(ht, 275);
  EXPECT_FALSE(sim.IsWindowVisible(h));
  EXPECT_EQ(GetProcessExeName(h), L"Tessary.exe");
  const auto z = sim.ZOrder();
  EXPECT_NE(std::find(z.begin(), z.end(), h), z.end());
  EXPECT_EQ(sim.GetForegroundWindow(), app);

  // The icon copy on display goes with the window.
  sim.SetWindowIcon(app, 0, 0, 0, 0x5100);
  main->ShowForeground(false);
  ASSERT_EQ(sim.LiveIconCopies(), 1u);
  main.reset();
  EXPECT_EQ(FrmMain(), nullptr);
  EXPECT_FALSE(sim.IsWindow(h));
  EXPECT_EQ(sim.LiveIconCopies(), 0u);
}

TEST_F(FrmMainTest, ClosingOnlyHidesAndALaterStartShowsItAgain) {
  main->Show();
  ASSERT_TRUE(main->Visible());
  EXPECT_EQ(sim.GetForegroundWindow(), app);  // showing never takes the foreground
  sim.SendMessageW(main->Handle(), wc::WM_CLOSE, 0, 0);
  EXPECT_TRUE(sim.IsWindow(main->Handle()));
  EXPECT_FALSE(main->Visible());

  EXPECT_TRUE(ShowMainWindow());  // what "1" from a later start runs
  EXPECT_TRUE(main->Visible());
  main.reset();
  EXPECT_FALSE(ShowMainWindow());
}

TEST_F(FrmMainTest, ALaterStartDuringTheSetUpDoesNotShowItHalfSetUp) {
  main.reset();
  // The set-up lets waiting messages run; a later start's request for the window is one of them.
  bool asked = false, shown = false;
  const WindowHandle later = sim.CreateWindowExW(0, L"LaterStart", L"", wc::WS_POPUP, 0, 0, 10, 10, 0,
                                                 [&](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
                                                   if (msg == wc::WM_APP) {
                                                     asked = true;
                                                     shown = ShowMainWindow();
                                                   }
                                                   return 0;
                                                 });
  ASSERT_TRUE(sim.PostMessageW(later, wc::WM_APP, 0, 0));
  CreateMain();
  ASSERT_TRUE(asked);
  EXPECT_FALSE(shown);
  EXPECT_FALSE(main->Visible());

  // Shown at the end of start-up: with its layout and the move button for the program in front.
  EXPECT_TRUE(ShowMainWindow());
  EXPECT_EQ(main->ml, ml_Horz);
  EXPECT_TRUE(main->btnRight->Enabled());
}

// ---------------------------------------------------------------- controls

TEST_F(FrmMainTest, EveryControlWithItsCaption) {
  struct Row {
    const wchar_t* name;
    Kind kind;
    const wchar_t* parent;
    const wchar_t* text;
  };
  const Row rows[] = {
      {L"pnlLeft", Kind::Panel, nullptr, L""},
      {L"GroupBox1", Kind::GroupBox, L"pnlLeft", L"Foreground Program"},
      {L"imgIcon", Kind::Picture, L"GroupBox1", L""},
      {L"lblProgram", Kind::Label, L"GroupBox1", nullptr},
      {L"btnRefresh", Kind::Button, L"GroupBox1", L""},
      {L"lblTitle", Kind::Label, L"pnlLeft", L"Window Title"},
      {L"lblIntegrity", Kind::Label, L"pnlLeft", L"UAC Integrity"},
      {L"pcLayout", Kind::PageControl, L"pnlLeft", L""},
      {L"tsHorz", Kind::Page, L"pcLayout", nullptr},
      {L"imgScreenH", Kind::Picture, L"tsHorz", L""},
      {L"btnLeft", Kind::Button, L"tsHorz", L"Move Left"},
      {L"btnRight", Kind::Button, L"tsHorz", L"Move Right"},
      {L"tsVert", Kind::Page, L"pcLayout", nullptr},
      {L"imgScreenV", Kind::Picture, L"tsVert", L""},
      {L"btnUp", Kind::Button, L"tsVert", L"Move Up"},
      {L"btnDown", Kind::Button, L"tsVert", L"Move Down"},
      {L"pnlBottom", Kind::Panel, nullptr, L""},
      {L"btnDebug", Kind::Button, L"pnlBottom", L"Debug"},
      {L"btnFocusNext", Kind::Button, L"pnlBottom", L"Focus Next"},
      {L"pnlRight", Kind::Panel, nullptr, L""},
      {L"btnView", Kind::Button, L"pnlRight", L""},
      {L"btnExitProgram", Kind::Button, L"pnlRight", L"E"},
      {L"pcView", Kind::PageControl, nullptr, L""},
      {L"tsStatus", Kind::Page, L"pcView", nullptr},
      {L"txtLog", Kind::Memo, L"tsStatus", L""},
      {L"lblMessage", Kind::Label, L"tsStatus", L"Monitor Watcher [Enabled]"},  // the set-up switched it on
      {L"tsDefaultConfig", Kind::Page, L"pcView", nullptr},
      {L"pcConfig", Kind::PageControl, L"tsDefaultConfig", L""},
      {L"cbAutoClose", Kind::CheckBox, nullptr, L"Close this window after clicking Move Left/Right"},
      {L"cbWatcherOnStart", Kind::CheckBox, nullptr, L"Enabled when starting the program"},
      {L"seDelay", Kind::SpinEdit, nullptr, nullptr},
      {L"lblDelay", Kind::Label, nullptr, L"Sleep (MS) before moving programs"},
      {L"rbDevicePowerState", Kind::RadioButton, nullptr, L"Monitor Power State"},
      {L"rbResolutionChange", Kind::RadioButton, nullptr, L"Resolution Change"},
      {L"lblTrigger", Kind::Label, nullptr,
       L"Monitor Power State is the prefered method to detect when a monitor restores from sleep or power "
       L"off.\r\n\r\nResolution Change is a backup method. This will only work if the monitors have different "
       L"resolutions or scaling."},
      {L"btnReset", Kind::Button, L"tsDefaultConfig", L"Reset All"},
      {L"btnSave", Kind::Button, L"tsDefaultConfig", L"Save"},
      {L"tsWelcome", Kind::Page, L"pcView", nullptr},
      {L"pcWelcome", Kind::PageControl, L"tsWelcome", L""},
      {L"tsHotkeys", Kind::Page, L"pcView", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::string(row.name, row.name + std::wcslen(row.name)));
    ui::Control* c = main->Find(row.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->GetKind(), row.kind);
    if (row.parent) {
      ASSERT_NE(c->Parent(), nullptr);
      EXPECT_EQ(c->Parent()->Name(), row.parent);
    } else if (row.kind == Kind::Panel || row.kind == Kind::PageControl) {
      EXPECT_EQ(c->Parent(), nullptr);
    }
    if (row.text) {
      EXPECT_EQ(c->Text(), row.text);
    }
  }

  // The members point at the controls of those names.
  EXPECT_EQ(main->btnLeft, main->Find(L"btnLeft"));
  EXPECT_EQ(main->lblMessage, main->Find(L"lblMessage"));
  EXPECT_EQ(main->tsHotkeys, main->Find(L"tsHotkeys"));

  auto captions = [](const ui::PageControl& pc) {
    std::vector<std::wstring> out;
    for (const ui::Page* p : pc.Pages()) out.push_back(p->Text());
    return out;
  };
  EXPECT_EQ(captions(*main->pcConfig),
            (std::vector<std::wstring>{L"  Move Options  ", L"  Monitor Watcher  ", L"  Watcher Trigger  "}));
  EXPECT_EQ(captions(*main->pcWelcome), (std::vector<std::wstring>{L"  Getting Started  ", L"  Monitor Watcher  "}));
  const std::vector<ui::Page*> views{main->tsStatus, main->tsDefaultConfig, main->tsWelcome, main->tsHotkeys,
                                     main->tsReport};
  EXPECT_EQ(main->pcView->Pages(), views);
  EXPECT_EQ(main->pcLayout->Pages(), (std::vector<ui::Page*>{main->tsHorz, main->tsVert}));
  EXPECT_EQ(main->cbAutoClose->Parent(), main->pcConfig->Pages()[0]);
  EXPECT_EQ(main->seDelay->Parent(), main->pcConfig->Pages()[1]);
  EXPECT_EQ(main->lblTrigger->Parent(), main->pcConfig->Pages()[2]);

  // The welcome texts, one on each page.
  std::vector<std::wstring> welcome;
  for (const auto& c : main->Controls())
    if (c->GetKind() == Kind::Label && c->Parent() && c->Parent()->Parent() == main->pcWelcome)
      welcome.push_back(c->Text());
  EXPECT_EQ(welcome,
            (std::vector<std::wstring>{
                L"This window is used to move the foreground program to another monitor.\r\n\r\nIt is recommended to "
                L"pin Tessary to the Taskbar to quickly open this window. This program is designed to work in the "
                L"background until needed.\r\n",
                L"When enabled, the program will automatically detect when the monitors change from sleep or power "
                L"off. Programs will be moved back to their original monitors after a brief sleep period.\r\n\r\nThis "
                L"feature can be temporarily disabled by turning on the Scroll Lock on your keyboard. Also, the "
                L"System Tray icon menu can be used to enable/disable this feature.\r\n\r\n"}));

  // States and hints.
  EXPECT_EQ(main->btnRefresh->Hint(), L"Refresh");
  EXPECT_TRUE(main->btnRefresh->flat);
  EXPECT_EQ(main->btnRefresh->glyph, ui::Glyph::Refresh);
  EXPECT_NE(main->btnView->glyph, ui::Glyph::None);
  EXPECT_EQ(main->imgScreenH->Hint(), L"Window Position");
  EXPECT_EQ(main->imgScreenV->Hint(), L"Window Position");
  EXPECT_EQ(main->imgIcon->CanvasWidth(), 16);
  EXPECT_EQ(main->imgScreenH->CanvasWidth(), 173);
  EXPECT_EQ(main->imgScreenH->CanvasHeight(), 70);
  EXPECT_EQ(main->imgScreenV->CanvasWidth(), 112);
  EXPECT_EQ(main->imgScreenV->CanvasHeight(), 99);
  EXPECT_TRUE(main->lblProgram->ellipsis);
  EXPECT_TRUE(main->lblTitle->ellipsis);
  EXPECT_FALSE(main->btnFocusNext->Visible());
  EXPECT_FALSE(main->btnExitProgram->Visible());
  EXPECT_TRUE(main->txtLog->readOnly);
  EXPECT_FALSE(main->txtLog->Enabled());
  EXPECT_TRUE(main->lblMessage->framed);
  EXPECT_FALSE(main->pcView->TabsVisible());
  EXPECT_TRUE(main->pcView->flatButtons);
  EXPECT_FALSE(main->pcLayout->TabsVisible());
  EXPECT_TRUE(main->pcConfig->TabsVisible());
  EXPECT_TRUE(main->pcWelcome->TabsVisible());
  EXPECT_FALSE(main->cbAutoClose->Checked());
  EXPECT_TRUE(main->cbWatcherOnStart->Checked());
  EXPECT_TRUE(main->rbDevicePowerState->Checked());
  EXPECT_FALSE(main->rbResolutionChange->Checked());
  EXPECT_EQ(main->seDelay->MinValue(), 1000);
  EXPECT_EQ(main->seDelay->MaxValue(), 10000);
  EXPECT_EQ(main->seDelay->Step(), 100);
  EXPECT_EQ(main->seDelay->Value(), 2000);
  EXPECT_EQ(main->seDelay->alignment, ui::Align::Right);
  EXPECT_EQ(main->pcView->ActivePage(), main->tsStatus);
  EXPECT_EQ(main->pcLayout->ActivePage(), main->tsHorz);
  EXPECT_EQ(main->pcConfig->ActiveIndex(), 0);
  EXPECT_EQ(main->pcWelcome->ActiveIndex(), 0);

  // The view menu.
  EXPECT_EQ(MenuNames(), (std::vector<std::wstring>{L"MIGettingStarted1", L"MIStatus1", L"MIDefaultConfig1",
                                                    L"MIGlobalHotkeys1", L"MIRestoreReport1", L"",
                                                    L"MICommandLineOptions1"}));
  std::vector<std::wstring> menuCaptions;
  for (const ui::MenuItem& item : main->pmChangeView->Items()) menuCaptions.push_back(item.caption);
  EXPECT_EQ(menuCaptions, (std::vector<std::wstring>{L"Getting Started", L"Status", L"Default Config",
                                                     L"Global Hotkeys", L"Restore Report", L"",
                                                     L"Command Line Options ..."}));
  EXPECT_EQ(main->pmChangeView->Name(), L"pmChangeView");

  // Timers: the status clear runs from creation, the foreground watch from the set-up, the
  // snapshot with the watcher (on by default).
  EXPECT_EQ(main->timDelayedClear->Interval(), 900u);
  EXPECT_TRUE(main->timDelayedClear->Enabled());
  EXPECT_EQ(main->timGetForeground->Interval(), 200u);
  EXPECT_TRUE(main->timGetForeground->Enabled());
  EXPECT_EQ(main->timGetTopPrograms->Interval(), 10000u);
  EXPECT_TRUE(main->timGetTopPrograms->Enabled());
}

TEST_F(FrmMainTest, ExitButtonShowsOnlyUnderADebugger) {
  sim.SetDebuggerPresent(true);
  CreateMain();
  EXPECT_TRUE(main->btnExitProgram->Visible());
  main->Show();
  EXPECT_FALSE(ui::app::Terminated());
  ASSERT_TRUE(ui::headless::Click(*main->btnExitProgram));
  EXPECT_TRUE(ui::app::Terminated());
}

// Nothing overlaps, nothing sticks out of its container, and texts fit in Tahoma 8 pt (about 6
// pixels for an average character, 13 pixels a line).
TEST_F(FrmMainTest, LayoutLeavesEveryControlRoomForItsText) {
  const TRect client{0, 0, main->ClientWidth(), main->ClientHeight()};
  auto inside = [](const TRect& inner, const TRect& outer) {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
  };
  auto overlap = [](const TRect& a, const TRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
  };
  for (const auto& c : main->Controls()) {
    SCOPED_TRACE(testing::Message() << std::string(c->Name().begin(), c->Name().end()));
    const TRect r = c->ClientRect();
    EXPECT_GT(r.Width(), 0);
    EXPECT_GT(r.Height(), 0);
    EXPECT_TRUE(inside(r, c->Parent() ? c->Parent()->ChildArea() : client));
    if (c->GetKind() == Kind::Page) continue;
    for (const auto& other : main->Controls()) {
      if (other.get() == c.get() || other->Parent() != c->Parent() || other->GetKind() == Kind::Page) continue;
      EXPECT_FALSE(overlap(r, other->ClientRect())) << "overlaps "
                                                    << std::string(other->Name().begin(), other->Name().end());
    }
    const std::wstring& text = c->Text();
    int32_t extra = 0;
    switch (c->GetKind()) {
      case Kind::Button: extra = 12; break;
      case Kind::CheckBox:
      case Kind::RadioButton: extra = 20; break;
      case Kind::Label: break;
      default: continue;
    }
    const auto* label = dynamic_cast<const ui::Label*>(c.get());
    if (label && label->ellipsis) continue;
    if (label && label->wordWrap) {
      int32_t lines = 0;
      size_t start = 0;
      while (start <= text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const int32_t width = static_cast<int32_t>(end - start) * 6;
        lines += std::max(1, (width + r.Width() - 1) / r.Width());
        start = end + 2;
      }
      EXPECT_LE(lines * 13, r.Height());
    } else {
      EXPECT_LE(static_cast<int32_t>(text.size()) * 6 + extra, r.Width());
      EXPECT_GE(r.Height(), 13);
    }
  }
}

// ---------------------------------------------------------------- set-up

TEST_F(FrmMainTest, OneMonitorEndsTheProgramBeforeAnythingIsSetUp) {
  for (int monitors : {1, 0}) {
    SCOPED_TRACE(monitors);
    main.reset();
    ui::app::ResetApplication();
    ResetProcessWideState();
    sim.ClearMonitors();
    if (monitors == 1) sim.SetLayout({MonLeft});
    const size_t boxes = sim.MessageBoxes().size();
    ui::app::InitUiThread();
    CreateMain();
    ASSERT_EQ(sim.MessageBoxes().size(), boxes + 1);
    EXPECT_EQ(sim.MessageBoxes().back().text, L"Multiple Monitors required. Terminating");
    EXPECT_EQ(sim.MessageBoxes().back().caption, L"Tessary");
    EXPECT_TRUE(ui::app::Terminated());
    EXPECT_FALSE(main->timGetForeground->Enabled());
    EXPECT_FALSE(main->timGetTopPrograms->Enabled());
    EXPECT_EQ(main->ml, ml_None);
    EXPECT_TRUE(Logged(L"TFrmMain Create"));
    for (const std::wstring& line : Log()) EXPECT_EQ(line.rfind(L"DML: ", 0), std::wstring::npos) << "laid out";
  }
}

TEST_F(FrmMainTest, SetUpLeavesTheLayoutToTheFirstShowing) {
  EXPECT_EQ(main->ml, ml_None);
  EXPECT_EQ(main->flastMonitorID, -1);
  EXPECT_EQ(main->fore.hwnd, 0u);
  EXPECT_FALSE(ui::app::Terminated());
  EXPECT_TRUE(sim.MessageBoxes().empty());
  // The gathering saw both monitors and the layout was logged once.
  EXPECT_EQ(TMonitors::getList().Count(), 2);
  EXPECT_TRUE(Logged(L"DML: M1 = L T [0, 0]  wd ht [1920 x 1080]"));
  EXPECT_TRUE(Logged(L"DML: M2 = L T [1920, 0]  wd ht [1920 x 1080]"));
}

// ---------------------------------------------------------------- monitor layout

TEST(RectToTextTest, LeftTopWidthHeight) {
  EXPECT_EQ(RectToText(TRect{-1920, -5, 0, 1075}), L"L T [-1920, -5]  wd ht [1920 x 1080]");
  EXPECT_EQ(RectToText(TRect{}), L"L T [0, 0]  wd ht [0 x 0]");
}

TEST_F(FrmMainTest, FirstTwoMonitorsDecideTheLayout) {
  struct Case {
    const char* what;
    std::vector<TRect> monitors;
    TMonitorLayout expected;
  };
  const Case cases[] = {
      {"side by side", {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}}, ml_Horz},
      {"second on top, edge to edge", {{0, 0, 1920, 1080}, {0, -1080, 1920, 0}}, ml_Horz},
      {"second below, edge to edge", {{0, 0, 1920, 1080}, {0, 1080, 1920, 2160}}, ml_Horz},
      {"second below, 1 pixel apart", {{0, 0, 1920, 1080}, {0, 1081, 1920, 2161}}, ml_Vert},
      {"second above, 1 pixel apart", {{0, 0, 1920, 1080}, {0, -1081, 1920, -1}}, ml_Vert},
      {"diagonal, apart", {{0, 0, 1920, 1080}, {1920, 1200, 3840, 2280}}, ml_Vert},
      {"third below does not count", {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}, {0, 2000, 1920, 3080}}, ml_Horz},
      {"third beside does not count", {{0, 0, 1920, 1080}, {0, 1200, 1920, 2280}, {1920, 0, 3840, 1080}}, ml_Vert},
      {"one monitor", {{0, 0, 1920, 1080}}, ml_Horz},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim.SetLayout(c.monitors);
    main->ml = ml_None;
    main->DetectMonitorLayout();
    EXPECT_EQ(main->ml, c.expected);
    EXPECT_EQ(main->pcLayout->ActivePage(), c.expected == ml_Vert ? main->tsVert : main->tsHorz);
  }
}

TEST_F(FrmMainTest, LayoutChangesAreLoggedAndRegatherTheMonitors) {
  ASSERT_EQ(main->ml, ml_None);
  sim.ResetCallCounts();
  main->DetectMonitorLayout();  // None -> Horz: the monitors, no "new layout"
  EXPECT_EQ(main->ml, ml_Horz);
  EXPECT_FALSE(Logged(L"DML: new layout detected - was Horz"));
  auto since = [](size_t from) {
    const auto log = Log();
    return std::vector<std::wstring>(log.begin() + static_cast<std::ptrdiff_t>(from), log.end());
  };
  size_t mark = Log().size();

  main->DetectMonitorLayout();  // unchanged: nothing logged
  EXPECT_TRUE(since(mark).empty());

  sim.SetLayout({MonLeft, TRect{0, 1100, 1920, 2180}});
  main->DetectMonitorLayout();
  EXPECT_EQ(main->ml, ml_Vert);
  const auto changed = since(mark);
  ASSERT_GE(changed.size(), 4u);
  EXPECT_EQ(std::vector<std::wstring>(changed.begin(), changed.begin() + 4),
            (std::vector<std::wstring>{
                L"DML: M1 = L T [0, 0]  wd ht [1920 x 1080]",
                L"DML: M2 = L T [0, 1100]  wd ht [1920 x 1080]",
                L"DML: new layout detected - was Horz",
                L"DML: new layout detected - is Vert",
            }));
  // The monitor lists follow the new arrangement.
  TMonitorInfo below;
  ASSERT_TRUE(TMonitors::getNextDown(0, below));
  EXPECT_EQ(below.bounds, (TRect{0, 1100, 1920, 2180}));

  mark = Log().size();
  sim.SetLayout({MonLeft, MonRight});
  main->DetectMonitorLayout();
  const auto back = since(mark);
  ASSERT_GE(back.size(), 4u);
  EXPECT_EQ(back[2], L"DML: new layout detected - was Vert");
  EXPECT_EQ(back[3], L"DML: new layout detected - is Horz");
}

TEST_F(FrmMainTest, DisplayChangeDetectsTheLayoutUnlessARestoreRuns) {
  sim.SetLayout({MonLeft, TRect{0, 1100, 1920, 2180}});
  main->watcher.powerDetectionEventRunning = true;
  sim.SendMessageW(main->Handle(), wc::WM_DISPLAYCHANGE, 32, 0);
  EXPECT_EQ(main->ml, ml_None);
  EXPECT_EQ(Log().back(), L"WMDisplayChange - event running");

  main->watcher.powerDetectionEventRunning = false;
  sim.SendMessageW(main->Handle(), wc::WM_DISPLAYCHANGE, 32, 0);
  EXPECT_EQ(main->ml, ml_Vert);
  EXPECT_EQ(main->pcLayout->ActivePage(), main->tsVert);
  EXPECT_EQ(Log().back(), L"WMDisplayChange - detected new layout");

  const size_t mark = Log().size();
  sim.SendMessageW(main->Handle(), wc::WM_DISPLAYCHANGE, 32, 0);  // nothing changed
  EXPECT_EQ(Log().size(), mark);
}

// ---------------------------------------------------------------- status line

TEST_F(FrmMainTest, KeptMessagesMoveIntoTheLogWhenTheNextOneComes) {
  // The set-up's "Monitor Watcher [Enabled]" goes into the log first.
  Wait(900);
  main->txtLog->ClearLines();
  main->ShowStatus(L"first", true);
  EXPECT_EQ(main->lblMessage->Text(), L"first");
  EXPECT_TRUE(main->txtLog->Lines().empty());
  main->ShowStatus(L"countdown 3", false);
  main->ShowStatus(L"countdown 2", false);
  main->ShowStatus(L"second", true);
  EXPECT_EQ(main->txtLog->Lines(), (std::vector<std::wstring>{L"first"}));
  EXPECT_EQ(main->lblMessage->Text(), L"second");

  // 900 ms after the last message the line clears and the kept one goes to the log.
  Wait(899);
  EXPECT_EQ(main->lblMessage->Text(), L"second");
  Wait(1);
  EXPECT_EQ(main->lblMessage->Text(), L"");
  EXPECT_EQ(main->txtLog->Lines(), (std::vector<std::wstring>{L"first", L"second"}));
  Wait(900 * 3);  // the timer keeps clearing the empty line
  EXPECT_EQ(main->txtLog->Lines(), (std::vector<std::wstring>{L"first", L"second"}));
}

TEST_F(FrmMainTest, EachMessageRestartsTheClearTimer) {
  main->ShowStatus(L"one", true);
  Wait(600);
  main->ShowStatus(L"two", true);
  Wait(600);
  EXPECT_EQ(main->lblMessage->Text(), L"two");
  Wait(300);
  EXPECT_EQ(main->lblMessage->Text(), L"");
}

TEST_F(FrmMainTest, TheLogKeepsTheLastTwentyLinesAndShowsTheNewest) {
  for (int i = 1; i <= 22; ++i) main->ShowStatus(L"m" + std::to_wstring(i), true);
  // m1..m21 went to the log; the 21st line pushed out m1.
  ASSERT_EQ(main->txtLog->LineCount(), 20);
  EXPECT_EQ(main->txtLog->Lines().front(), L"m2");
  EXPECT_EQ(main->txtLog->Lines().back(), L"m21");
  EXPECT_EQ(main->txtLog->TopLine(), 19);
  EXPECT_EQ(main->lblMessage->Text(), L"m22");
}

TEST_F(FrmMainTest, AnyMessageBringsTheStatusPageToTheFront) {
  main->pcView->SetActivePage(main->tsDefaultConfig);
  main->ClearStatus();  // an empty line leaves the page alone
  EXPECT_EQ(main->pcView->ActivePage(), main->tsDefaultConfig);
  main->ShowStatus(L"Saved", true);
  EXPECT_EQ(main->pcView->ActivePage(), main->tsStatus);
}

TEST_F(FrmMainTest, ShowStatusLetsWaitingMessagesRun) {
  bool ran = false;
  const WindowHandle sink = sim.CreateWindowExW(0, L"Sink", L"", wc::WS_POPUP, 0, 0, 0, 0, 0,
                                                [&ran](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
                                                  if (msg == wc::WM_USER) ran = true;
                                                  return 0;
                                                });
  sim.PostMessageW(sink, wc::WM_USER, 0, 0);
  main->ShowStatus(L"working", true);
  EXPECT_TRUE(ran);
}

// ---------------------------------------------------------------- move buttons

class MoveButtonTest : public FrmMainTest {
 protected:
  void SetUp() override {
    FrmMainTest::SetUp();
    other = AddApp(TRect{200, 150, 1000, 750}, [] {
      sim::WindowSpec s;
      s.title = L"Other";
      s.pid = 0;
      return s;
    }());
    sim.SetForeground(app);
    DisplayApp();
    ASSERT_EQ(main->fore.hwnd, app);
  }
  WindowHandle other = 0;
};

TEST_F(MoveButtonTest, MovesTheProgramInFrontAndSaysSo) {
  main->txtLog->ClearLines();
  main->fLastMessage.clear();  // the set-up's watcher line
  main->btnRightClick();
  EXPECT_TRUE(Near(RectOf(app), AppOnRight));
  EXPECT_EQ(main->lblMessage->Text(), L"Moving [app.exe] Right ");
  EXPECT_EQ(sim.GetForegroundWindow(), app);

  struct Case {
    void (TFrmMain::*click)();
    const wchar_t* message;
  };
  const Case cases[] = {{&TFrmMain::btnLeftClick, L"Moving [app.exe] Left "},
                        {&TFrmMain::btnUpClick, L"Moving [app.exe] Up "},
                        {&TFrmMain::btnDownClick, L"Moving [app.exe] Down "}};
  for (const Case& c : cases) {
    (main.get()->*c.click)();
    EXPECT_EQ(main->lblMessage->Text(), c.message);
    // Left brought it back; up has no neighbour side by side.
    if (c.click == &TFrmMain::btnUpClick) {
      EXPECT_TRUE(Near(RectOf(app), AppRect));
    }
  }
  EXPECT_EQ(main->txtLog->Lines(),
            (std::vector<std::wstring>{L"Moving [app.exe] Right ", L"Moving [app.exe] Left ", L"Moving [app.exe] Up "}));
}

// The user clicks the button of the window that never takes the focus: the program stays in
// front and moves.
TEST_F(MoveButtonTest, ClickingTheButtonLeavesTheProgramInFront) {
  main->Show();
  ASSERT_EQ(main->fore.hwnd, app);
  ASSERT_TRUE(main->btnRight->Usable());
  ASSERT_TRUE(ui::headless::Click(*main->btnRight));
  EXPECT_EQ(sim.GetForegroundWindow(), app);
  EXPECT_TRUE(Near(RectOf(app), AppOnRight));
  EXPECT_EQ(main->lblMessage->Text(), L"Moving [app.exe] Right ");
  EXPECT_TRUE(main->Visible());
  // The display followed the program to the right-hand monitor.
  EXPECT_TRUE(main->btnLeft->Enabled());
  EXPECT_FALSE(main->btnRight->Enabled());
}

TEST_F(MoveButtonTest, NothingOnDisplayNothingMoves) {
  main->fore.hwnd = 0;
  const std::wstring before = main->lblMessage->Text();
  main->btnRightClick();
  EXPECT_EQ(RectOf(app), AppRect);
  EXPECT_EQ(main->lblMessage->Text(), before);
}

// A message that ShowStatus lets run brings another program to the front between the capture
// and the move: with Shift the captured program moves, without it whatever is in front then.
TEST_F(MoveButtonTest, ShiftMovesTheCapturedProgramOtherwiseTheForeground) {
  for (bool shift : {true, false}) {
    SCOPED_TRACE(shift);
    sim.SetForeground(app);
    DisplayApp();
    const WindowHandle sink =
        sim.CreateWindowExW(0, L"Sink", L"", wc::WS_POPUP, 0, 0, 0, 0, 0,
                            [this](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
                              if (msg == wc::WM_USER) sim.SetForeground(other);
                              return 0;
                            });
    sim.PostMessageW(sink, wc::WM_USER, 0, 0);
    sim.SetKeyPhysicalState(wc::VK_SHIFT, shift);
    const TRect appBefore = RectOf(app), otherBefore = RectOf(other);
    main->btnRightClick();
    EXPECT_EQ(main->lblMessage->Text(), L"Moving [app.exe] Right ");
    EXPECT_EQ(RectOf(app) != appBefore, shift);
    EXPECT_EQ(RectOf(other) != otherBefore, !shift);
    sim.DestroyWindow(sink);
  }
}

TEST_F(MoveButtonTest, AutoCloseHidesAfterEveryMoveEvenAFailedOne) {
  main->cbAutoClose->SetChecked(true);
  sim.FailOperation(Op::SetWindowPos, 5, -1);
  for (auto click : {&TFrmMain::btnLeftClick, &TFrmMain::btnRightClick, &TFrmMain::btnUpClick,
                     &TFrmMain::btnDownClick}) {
    main->Show();
    ASSERT_TRUE(main->Visible());
    DisplayApp();
    (main.get()->*click)();
    EXPECT_FALSE(main->Visible());
  }
  EXPECT_EQ(RectOf(app), AppRect);

  sim.ClearFaults();
  main->cbAutoClose->SetChecked(false);
  main->Show();
  DisplayApp();
  main->btnRightClick();
  EXPECT_TRUE(main->Visible());
}

// ---------------------------------------------------------------- view menu

TEST_F(FrmMainTest, ViewMenuNeverOffersThePageOnShow) {
  const wchar_t* offFor[] = {L"MIStatus1", L"MIDefaultConfig1", L"MIGettingStarted1", L"MIGlobalHotkeys1"};
  for (int32_t page = 0; page < 4; ++page) {
    SCOPED_TRACE(page);
    main->pcView->SetActiveIndex(page);
    main->pmChangeViewPopup();
    for (const ui::MenuItem& item : main->pmChangeView->Items()) {
      if (item.IsSeparator()) continue;
      EXPECT_EQ(item.enabled, item.name != offFor[page]) << std::string(item.name.begin(), item.name.end());
    }
  }
}

TEST_F(FrmMainTest, ViewButtonOpensTheMenuBelowItself) {
  main->Show();
  main->SetPosition(1500, 600);
  ui::headless::ChooseNext(L"MIDefaultConfig1");
  ASSERT_TRUE(ui::headless::Click(*main->btnView));
  const ui::headless::PopupRecord* popup = ui::headless::LastPopup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->menu, L"pmChangeView");
  TRect frame{0, 0, 0, 0};
  sim.AdjustWindowRectExForDpi(frame, wc::WS_SYSMENU | wc::WS_THICKFRAME, main->Style().exStyle, 96);
  const TRect button = main->btnView->ClientRect();
  EXPECT_EQ(popup->at, (TPoint{1500 - frame.Left + button.Left, 600 - frame.Top + button.Bottom}));
  EXPECT_EQ(main->pcView->ActivePage(), main->tsDefaultConfig);
  // The page on show was not offered.
  for (const auto& item : popup->items) {
    if (item.name == L"MIStatus1") {
      EXPECT_FALSE(item.enabled);
    }
  }

  // The next time the page now on show is the one held back.
  ui::headless::ChooseNext(L"MIDefaultConfig1");
  ASSERT_TRUE(ui::headless::Click(*main->btnView));
  EXPECT_EQ(ui::headless::LastPopup()->chosen, -1);
}

TEST_F(FrmMainTest, PageItemsSelectTheirPage) {
  struct Case {
    const wchar_t* item;
    ui::Page* TFrmMain::*page;
  };
  const Case cases[] = {{L"MIGettingStarted1", &TFrmMain::tsWelcome},
                        {L"MIDefaultConfig1", &TFrmMain::tsDefaultConfig},
                        {L"MIGlobalHotkeys1", &TFrmMain::tsHotkeys},
                        {L"MIStatus1", &TFrmMain::tsStatus}};
  for (const Case& c : cases) {
    main->pmChangeView->Find(c.item)->onClick();
    EXPECT_EQ(main->pcView->ActivePage(), main.get()->*c.page);
  }
}

TEST_F(FrmMainTest, PickingAPageHandsTheForegroundBackToTheProgramBelow) {
  main->Show();
  sim.SetForegroundLockEnforced(false);
  sim.SetForeground(main->Handle());  // e.g. the taskbar button activated it
  main->MIDefaultConfig1Click();
  EXPECT_EQ(sim.GetForegroundWindow(), app);

  // When the program is in front already, nothing changes hands.
  sim.SetForeground(app);
  const int calls = sim.CallCount(Op::SetForegroundWindow);
  main->MIStatus1Click();
  EXPECT_EQ(sim.CallCount(Op::SetForegroundWindow), calls);
}

TEST_F(FrmMainTest, CommandLineOptionsShowTheHelpText) {
  TFrmDummyInstance instance;
  main->MICommandLineOptions1Click();
  ASSERT_FALSE(sim.MessageBoxes().empty());
  EXPECT_EQ(sim.MessageBoxes().back().text, SyntaxHelpText());
}

TEST_F(FrmMainTest, DebugButtonShowsTheDebugWindow) {
  int shown = 0;
  main->Show();
  ASSERT_TRUE(ui::headless::Click(*main->btnDebug));  // none registered yet: nothing happens
  SetShowDebugWindowHandler([&shown] { ++shown; });
  ASSERT_TRUE(ui::headless::Click(*main->btnDebug));
  EXPECT_EQ(shown, 1);
}

// ---------------------------------------------------------------- foreground watch

TEST_F(FrmMainTest, ForegroundWatchRunsOnlyWhileTheWindowIsOnScreen) {
  const WindowHandle other = AddApp(TRect{2000, 100, 2800, 700});
  sim.SetForeground(other);
  Wait(1000);
  EXPECT_EQ(main->fore.hwnd, 0u);  // hidden: nothing watched

  main->Show();
  sim.SetForeground(app);
  Wait(200);
  EXPECT_EQ(main->fore.hwnd, app);
  sim.SetForeground(other);
  Wait(200);
  EXPECT_EQ(main->fore.hwnd, other);
}

}  // namespace
}  // namespace tessary::test
