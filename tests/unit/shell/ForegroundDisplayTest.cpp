// The main window's foreground panel: which move button it offers, the integrity text, the
// screen picture's pixels, and the icon copies it takes and gives back.
#include <string>
#include <vector>

#include "MainFixture.h"
#include "core/UnitMonitors.h"

namespace tessary {
namespace {

using ui::Button;

class ForegroundDisplayTest : public test::MainFixture {
 protected:
  // Puts the monitors in place as a display change would and lets the window detect the layout.
  void Layout(const std::vector<TRect>& monitors) {
    sim.SetLayout(monitors);
    TMonitors::GatherMonitorsInfo();
    main->ml = ml_None;
    main->DetectMonitorLayout();
  }

  // "L", "R", "U", "D" for each enabled move button.
  std::string EnabledButtons() const {
    std::string s;
    if (main->btnLeft->Enabled()) s += "L";
    if (main->btnRight->Enabled()) s += "R";
    if (main->btnUp->Enabled()) s += "U";
    if (main->btnDown->Enabled()) s += "D";
    return s;
  }

  void EnableAllMoveButtons() {
    for (Button* b : {main->btnLeft, main->btnRight, main->btnUp, main->btnDown}) b->SetEnabled(true);
  }

  // A program window in front: its own process of the given name and integrity level.
  WindowHandle Front(TRect rect, const std::wstring& exe, uint32_t rid = wc::SECURITY_MANDATORY_MEDIUM_RID,
                     bool tokenOpens = true) {
    sim::WindowSpec desc;
    desc.title = L"Work of " + exe;
    desc.pid = sim.AddProcess(exe, rid, tokenOpens);
    const WindowHandle h = AddApp(rect, desc);
    sim.SetForeground(h);
    return h;
  }

  static bool LoggedStartingWith(const std::wstring& prefix) {
    for (const std::wstring& line : Log())
      if (line.rfind(prefix, 0) == 0) return true;
    return false;
  }
};

constexpr TRect L1{0, 0, 1920, 1080}, R1{1920, 0, 3840, 1080}, R2{3840, 0, 5760, 1080};
constexpr TRect Upper{0, 0, 1920, 1080}, LowerGap{0, 1100, 1920, 2180}, LowerTouching{0, 1080, 1920, 2160};

TEST_F(ForegroundDisplayTest, OneMoveButtonFitsTheProgramItsLayoutAndItsLevel) {
  struct Case {
    const char* name;
    std::vector<TRect> monitors;
    TRect window;
    std::wstring exe;
    uint32_t rid;
    bool tokenOpens;
    std::wstring integrity;
    std::string buttons;
  } cases[] = {
      {"side by side, on the left", {L1, R1}, {100, 100, 900, 700}, L"Editor.exe", 0x2000, true, L"UAC: Normal", "R"},
      {"side by side, on the right", {L1, R1}, {2000, 100, 2800, 700}, L"Editor.exe", 0x2000, true, L"UAC: Normal", "L"},
      // Only whether the monitor is a left-most one counts.
      {"three in a row, the middle", {L1, R1, R2}, {2000, 100, 2800, 700}, L"Editor.exe", 0x2000, true, L"UAC: Normal",
       "L"},
      {"one above the other with a gap, upper", {Upper, LowerGap}, {100, 100, 900, 700}, L"Editor.exe", 0x2000, true,
       L"UAC: Normal", "D"},
      {"one above the other with a gap, lower", {Upper, LowerGap}, {100, 1200, 900, 1800}, L"Editor.exe", 0x2000, true,
       L"UAC: Normal", "U"},
      // Edge to edge is the horizontal page, and both monitors are left-most.
      {"stacked edge to edge, upper", {Upper, LowerTouching}, {100, 100, 900, 700}, L"Editor.exe", 0x2000, true,
       L"UAC: Normal", "R"},
      {"stacked edge to edge, lower", {Upper, LowerTouching}, {100, 1200, 900, 1800}, L"Editor.exe", 0x2000, true,
       L"UAC: Normal", "R"},
      {"our own program", {L1, R1}, {100, 100, 900, 700}, L"Tessary.exe", 0x2000, true, L"UAC: Normal", ""},
      {"our own name in other case", {L1, R1}, {100, 100, 900, 700}, L"TESSARY.EXE", 0x2000, true, L"UAC: Normal", ""},
      {"elevated", {L1, R1}, {100, 100, 900, 700}, L"Admin.exe", 0x3000, true, L"UAC: ADMIN", ""},
      {"system level", {L1, R1}, {100, 100, 900, 700}, L"Service.exe", 0x4000, true, L"UAC: ADMIN", ""},
      {"level unreadable", {L1, R1}, {100, 100, 900, 700}, L"Locked.exe", 0x3000, false, L"UAC: Unknown", ""},
      // The level is a signed value: with the top bit set it counts as below high.
      {"negative level", {L1, R1}, {100, 100, 900, 700}, L"Odd.exe", 0x80000000u, true, L"UAC: Normal", "R"},
  };
  for (const auto& c : cases) {
    Layout(c.monitors);
    const WindowHandle h = Front(c.window, c.exe, c.rid, c.tokenOpens);
    EnableAllMoveButtons();
    main->ShowForeground(false);
    EXPECT_EQ(main->fore.hwnd, h) << c.name;
    EXPECT_EQ(main->lblProgram->Text(), c.exe) << c.name;
    EXPECT_EQ(main->lblProgram->Hint(), c.exe) << c.name;
    EXPECT_EQ(main->lblIntegrity->Text(), c.integrity) << c.name;
    EXPECT_EQ(EnabledButtons(), c.buttons) << c.name;
    EXPECT_EQ(main->lblTitle->Text(), L"Title: Work of " + c.exe) << c.name;
    EXPECT_EQ(main->lblTitle->Hint(), L"Title: Work of " + c.exe) << c.name;
  }
}

// A level that could not be read once (the process was busy, a handle ran out) is read again at the
// next tick; one that never reads is not asked for at every tick.
TEST_F(ForegroundDisplayTest, ALevelThatFailedOnceIsReadAgainAtTheNextTickOnly) {
  Layout({L1, R1});
  Front({100, 100, 900, 700}, L"Editor.exe");
  main->Show();
  sim.FailOperation(Op::OpenProcessToken, 5);
  main->ShowForeground(false);
  EXPECT_EQ(main->lblIntegrity->Text(), L"UAC: Unknown");
  EXPECT_EQ(EnabledButtons(), "");
  main->timGetForegroundTimer();
  EXPECT_EQ(main->lblIntegrity->Text(), L"UAC: Normal");
  EXPECT_EQ(EnabledButtons(), "R");

  Front({100, 100, 900, 700}, L"Locked.exe", wc::SECURITY_MANDATORY_MEDIUM_RID, false);
  main->ShowForeground(false);
  const int asked = sim.CallCount(Op::OpenProcessToken);
  main->timGetForegroundTimer();
  EXPECT_EQ(sim.CallCount(Op::OpenProcessToken), asked + 1) << "asked once more";
  main->timGetForegroundTimer();
  main->timGetForegroundTimer();
  EXPECT_EQ(sim.CallCount(Op::OpenProcessToken), asked + 1) << "and then left alone";
  EXPECT_EQ(main->lblIntegrity->Text(), L"UAC: Unknown");
}

TEST_F(ForegroundDisplayTest, UntitledWindowShowsAnEmptyTitle) {
  Layout({L1, R1});
  sim::WindowSpec desc;
  desc.title = L"";
  desc.exStyle = wc::WS_EX_WINDOWEDGE;
  desc.rect = {100, 100, 900, 700};
  sim.SetForeground(sim.AddWindow(desc));
  main->ShowForeground(false);
  EXPECT_EQ(main->lblTitle->Text(), L"Title: ");
}

TEST_F(ForegroundDisplayTest, ProgramThatCannotBeShownLeavesTheDisplayAsItWas) {
  Layout({L1, R1});
  const IconHandle icon = 0x5100;
  sim.SetWindowIcon(app, 0, 0, 0, icon);
  main->ShowForeground(false);
  ASSERT_EQ(main->lblProgram->Text(), L"app.exe");
  ASSERT_EQ(EnabledButtons(), "R");
  const std::vector<uint32_t> picture = main->imgScreenH->Pixels();
  const IconHandle shownIcon = main->imgIcon->Icon();
  ASSERT_NE(shownIcon, 0u);

  struct Case {
    const char* name;
    TRect rect;
    bool minimized;
    bool nameLost;
  } cases[] = {
      {"minimized program", {2000, 100, 2800, 700}, true, false},
      {"no executable name", {2000, 100, 2800, 700}, false, true},
      {"no width", {2000, 100, 2000, 700}, false, false},
      {"no height", {2000, 100, 2800, 100}, false, false},
  };
  for (const auto& c : cases) {
    sim::WindowSpec desc;
    desc.minimized = c.minimized;
    const WindowHandle other = AddApp(c.rect, desc);
    sim.SetForeground(other);
    // The window's process cannot be told, as for a window that vanishes while it is read.
    if (c.nameLost) sim.FailOperation(Op::GetWindowThreadProcessId, 1400);
    main->ShowForeground(false);
    sim.ClearFaults();
    EXPECT_EQ(main->fore.hwnd, 0u) << c.name;
    EXPECT_EQ(main->lblProgram->Text(), L"app.exe") << c.name;
    EXPECT_EQ(main->lblTitle->Text(), L"Title: Document") << c.name;
    EXPECT_EQ(main->lblIntegrity->Text(), L"UAC: Normal") << c.name;
    EXPECT_EQ(EnabledButtons(), "R") << c.name;
    EXPECT_EQ(main->imgScreenH->Pixels(), picture) << c.name;
    EXPECT_EQ(main->imgIcon->Icon(), shownIcon) << c.name;
    EXPECT_EQ(sim.CopiedFrom(main->fLastIcon.get()), icon) << c.name;
  }
}

// Expected pixels of the picture: r as GDI's Rectangle draws it on the light background.
uint32_t PicturePixel(const TRect& r, int32_t x, int32_t y) {
  if (!r.Contains(x, y)) return ui::RGB(240, 240, 240);
  const bool edge = x == r.Left || x == r.Right - 1 || y == r.Top || y == r.Bottom - 1;
  return edge ? ui::RGB(0, 0, 0) : ui::ColorBtnShadow;
}

void ExpectPicture(const ui::Picture& p, const TRect& r, const char* name) {
  int32_t wrong = 0;
  for (int32_t y = 0; y < p.CanvasHeight(); ++y)
    for (int32_t x = 0; x < p.CanvasWidth(); ++x)
      if (p.Pixel(x, y) != PicturePixel(r, x, y) && ++wrong <= 5)
        ADD_FAILURE() << name << ": pixel " << x << "," << y << " is " << std::hex << p.Pixel(x, y);
  EXPECT_EQ(wrong, 0) << name;
}

TEST_F(ForegroundDisplayTest, ScreenPictureScalesTheWindowIntoThePicture) {
  struct Case {
    const char* name;
    std::vector<TRect> monitors;
    TRect window;
    bool vertical;
    TRect expected;  // as drawn: right and bottom exclusive
  } cases[] = {
      // The right half of the right monitor: 173 x 3/4 = 129.75 rounds to 130; the picture's
      // right edge, and the bottom after its one-pixel reduction.
      {"right half of the right monitor", {L1, R1}, {2880, 0, 3840, 1080}, false, {130, 0, 173, 69}},
      // 70 x 1/4 = 17.5: a half rounds away from zero.
      {"left quarter, middle band", {L1, R1}, {0, 270, 960, 810}, false, {0, 18, 43, 52}},
      // The lower of two monitors with a gap: 1920 x 2180 into 112 x 99 (top 49.95, height 49.05).
      {"lower monitor, vertical layout", {Upper, LowerGap}, {0, 1100, 1920, 2180}, true, {0, 50, 112, 98}},
  };
  for (const auto& c : cases) {
    Layout(c.monitors);
    Front(c.window, L"Viewer.exe");
    main->ShowForeground(false);
    ui::Picture& drawn = c.vertical ? *main->imgScreenV : *main->imgScreenH;
    ui::Picture& other = c.vertical ? *main->imgScreenH : *main->imgScreenV;
    ASSERT_EQ(drawn.CanvasWidth(), c.vertical ? 112 : 173) << c.name;
    ASSERT_EQ(drawn.CanvasHeight(), c.vertical ? 99 : 70) << c.name;
    ExpectPicture(drawn, c.expected, c.name);
    // The other page's picture is left alone.
    const std::vector<uint32_t> before = other.Pixels();
    main->ShowForeground(false);
    EXPECT_EQ(other.Pixels(), before) << c.name;
  }
}

TEST_F(ForegroundDisplayTest, NoLayoutYetShowsTheProgramButNoButtonAndNoPicture) {
  main->ml = ml_None;
  EnableAllMoveButtons();
  const std::vector<uint32_t> h = main->imgScreenH->Pixels(), v = main->imgScreenV->Pixels();
  main->ShowForeground(false);
  EXPECT_EQ(main->lblProgram->Text(), L"app.exe");
  EXPECT_EQ(main->lblIntegrity->Text(), L"UAC: Normal");
  EXPECT_EQ(EnabledButtons(), "");
  EXPECT_EQ(main->imgScreenH->Pixels(), h);
  EXPECT_EQ(main->imgScreenV->Pixels(), v);
}

// ---------------------------------------------------------------- icons

TEST_F(ForegroundDisplayTest, WindowIconComesFromTheFirstSourceThatGivesACopy) {
  constexpr IconHandle big = 0x1100, small = 0x1200, classBig = 0x1300, classSmall = 0x1400;
  struct Case {
    const char* name;
    IconHandle big, small, classBig, classSmall;
    bool hung;
    int failedCopies;  // the first copies fail (-1: all)
    IconHandle expected;
  } cases[] = {
      {"class small icon first", big, small, classBig, classSmall, false, 0, classSmall},
      {"then the window's small icon", big, small, classBig, 0, false, 0, small},
      {"then ICON_SMALL2, which falls back to the big icon", big, 0, classBig, 0, false, 0, big},
      {"then the class icon", 0, 0, classBig, 0, false, 0, classBig},
      {"a hung window: the class icon", big, small, classBig, 0, true, 0, classBig},
      {"a failed copy: the next source", big, small, classBig, classSmall, false, 1, small},
      // ICON_SMALL2 answers with the small icon again when there is one.
      {"two failed copies: ICON_SMALL2", big, small, classBig, classSmall, false, 2, small},
      {"three failed copies: the class icon", big, small, classBig, classSmall, false, 3, classBig},
      {"every copy fails", big, small, classBig, classSmall, false, -1, 0},
      {"no icon anywhere", 0, 0, 0, 0, false, 0, 0},
  };
  for (const auto& c : cases) {
    const WindowHandle h = AddApp({100, 100, 900, 700});
    sim.SetWindowIcon(h, c.big, c.small, c.classBig, c.classSmall);
    sim.SetHung(h, c.hung);
    if (c.failedCopies != 0) sim.FailOperation(Op::CopyIconHandle, 1402, c.failedCopies);
    sim.ResetCallCounts();
    const uint32_t tick = sim.GetTickCount();
    const IconHandle copy = TFrmMain::GetWindowIcon(h);
    sim.ClearFaults();
    if (c.expected == 0) {
      EXPECT_EQ(copy, 0u) << c.name;
    } else {
      EXPECT_EQ(sim.CopiedFrom(copy), c.expected) << c.name;
    }
    // Only the copy handed out is alive; nothing of the window's own was destroyed.
    EXPECT_EQ(sim.LiveIconCopies(), c.expected ? 1u : 0u) << c.name;
    EXPECT_EQ(sim.CallCount(Op::DestroyIcon), 0) << c.name;
    // A hung window is not waited for.
    EXPECT_EQ(sim.GetTickCount(), tick) << c.name;
    if (copy) sim.DestroyIcon(copy);
  }
}

// A program that has just stopped responding lets the first question for its icon time out; it is
// not asked a second time, and nothing waits for it beyond that time-out.
TEST_F(ForegroundDisplayTest, AProgramThatJustStoppedRespondingIsAskedForItsIconOnce) {
  constexpr IconHandle big = 0x1100, small = 0x1200, classBig = 0x1300;
  Layout({L1, R1});
  const WindowHandle h = Front({100, 100, 900, 700}, L"stuck.exe");
  sim.SetWindowIcon(h, big, small, classBig, 0);
  sim.SetHung(h, true, 0);
  sim.ResetCallCounts();
  const uint32_t t0 = sim.GetTickCount();
  main->ShowForeground(false);
  EXPECT_EQ(sim.GetTickCount() - t0, 1000u);
  EXPECT_EQ(sim.CallCount(Op::SendMessageTimeoutW), 1);
  EXPECT_EQ(sim.CopiedFrom(main->fLastIcon.get()), classBig);
  // The rest of the panel does not ask the program anything.
  EXPECT_EQ(main->lblProgram->Text(), L"stuck.exe");
  EXPECT_EQ(main->lblTitle->Text(), L"Title: Work of stuck.exe");
  EXPECT_EQ(main->lblIntegrity->Text(), L"UAC: Normal");
  EXPECT_EQ(EnabledButtons(), "R");
  EXPECT_TRUE(sim.HangsSuffered().empty());
}

TEST_F(ForegroundDisplayTest, FailedCopyIsLoggedWithTheErrorText) {
  sim.SetWindowIcon(app, 0, 0, 0, 0x1400);
  sim.FailOperation(Op::CopyIconHandle, 1402, -1);
  EXPECT_EQ(TFrmMain::CloneIcon(0x1400), 0u);
  // The system's text without its line break.
  EXPECT_TRUE(Logged(L"clone icon: Invalid cursor handle."));
}

TEST_F(ForegroundDisplayTest, ThousandsOfRefreshesKeepOneIconCopy) {
  Layout({L1, R1});
  constexpr IconHandle appIcon = 0x2100, otherIcon = 0x2200;
  sim.SetWindowIcon(app, 0, 0, 0, appIcon);
  const WindowHandle other = AddApp({2000, 100, 2800, 700});
  sim.SetWindowIcon(other, 0, otherIcon, 0, 0);
  main->Show();
  ASSERT_TRUE(main->btnRefresh->Usable());
  for (int i = 0; i < 3000; ++i) {
    sim.SetForeground(i % 2 ? other : app);
    main->btnRefresh->Click();
  }
  EXPECT_EQ(sim.LiveIconCopies(), 1u);
  EXPECT_EQ(main->imgIcon->Icon(), main->fLastIcon.get());
  EXPECT_EQ(sim.CopiedFrom(main->fLastIcon.get()), otherIcon);
  // The same window shown again and again: still one copy.
  for (int i = 0; i < 1000; ++i) main->btnRefreshClick();
  EXPECT_EQ(sim.LiveIconCopies(), 1u);
  main.reset();
  EXPECT_EQ(sim.LiveIconCopies(), 0u);
}

// While the window is asked for its icon, sent messages run (a display change, a second start)
// and may draw the display again.
TEST_F(ForegroundDisplayTest, ADisplayDrawnWhileAnIconIsAskedForLeavesOneCopy) {
  constexpr IconHandle icon = 0x5100;
  sim.SetWindowIcon(app, 0, icon, 0, 0);  // makes it a known icon
  bool nested = false;
  const WindowHandle asked =
      sim.CreateWindowExW(0, L"Asked", L"", wc::WS_POPUP, 0, 0, 10, 10, 0,
                          [&](WindowHandle, uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
                            if (msg != wc::WM_GETICON) return 0;
                            if (!nested) {
                              nested = true;
                              main->DrawForegroundIcon();
                            }
                            return static_cast<intptr_t>(icon);
                          });
  main->fore.hwnd = asked;
  main->DrawForegroundIcon();
  ASSERT_TRUE(nested);
  EXPECT_EQ(sim.LiveIconCopies(), 1u);
  EXPECT_EQ(main->imgIcon->Icon(), main->fLastIcon.get());
  main.reset();
  EXPECT_EQ(sim.LiveIconCopies(), 0u);
}

TEST_F(ForegroundDisplayTest, ProgramWithoutIconClearsTheIconAreaAndKeepsNoDeadHandle) {
  Layout({L1, R1});
  sim.SetWindowIcon(app, 0, 0, 0, 0x3100);
  main->ShowForeground(false);
  ASSERT_NE(main->imgIcon->Icon(), 0u);
  main->imgIcon->FillRect({0, 0, 4, 4}, ui::RGB(1, 2, 3));  // something drawn earlier

  Front({2000, 100, 2800, 700}, L"Plain.exe");
  main->ShowForeground(false);
  EXPECT_EQ(main->lblProgram->Text(), L"Plain.exe");
  EXPECT_EQ(main->fLastIcon.get(), 0u);
  EXPECT_EQ(main->imgIcon->Icon(), 0u);
  EXPECT_EQ(sim.LiveIconCopies(), 0u);
  for (uint32_t px : main->imgIcon->Pixels()) ASSERT_EQ(px, main->imgIcon->background);
  EXPECT_TRUE(LoggedStartingWith(L"GASFI: GetIcon failed: "));

  // A window that vanished: the failure is logged with its error, which is then cleared.
  sim.RemoveWindow(main->fore.hwnd);
  main->DrawForegroundIcon();
  EXPECT_TRUE(LoggedStartingWith(L"GASFI: GetIcon failed:  :(1400)"));
  EXPECT_EQ(sim.GetLastError(), 0u);
}

}  // namespace
}  // namespace tessary
