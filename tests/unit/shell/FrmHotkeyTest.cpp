#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../moving/MovingFixture.h"
#include "shell/UnitFrmAbout.h"
#include "shell/UnitFrmHotkey.h"
#include "ui/headless/Headless.h"

namespace tessary::test {
namespace {

using namespace tessary::wc;
namespace hl = tessary::ui::headless;

constexpr uint16_t VK_F4 = 0x73, VK_F5 = 0x74, VK_F13 = 0x7C;

// A record as one comparable, readable text.
std::wstring Text(const THotkeyData& h) {
  return std::wstring(L"alt ") + (h.alt ? L"1" : L"0") + L" ctrl " + (h.ctrl ? L"1" : L"0") + L" shft " +
         (h.shft ? L"1" : L"0") + L" win " + (h.win ? L"1" : L"0") + L" key " + std::to_wstring(h.key) + L" name '" +
         h.name + L"'";
}

// The record a hotkey page hands over: Move Next on Ctrl+Alt+N.
THotkeyData Existing() {
  THotkeyData h;
  h.ctrl = h.alt = true;
  h.key = 'N';
  h.name = L"CTRL+ALT+N";
  return h;
}

class FrmHotkeyTest : public MovingFixture {
 protected:
  void SetUp() override {
    MovingFixture::SetUp();
    widgets.emplace(sim);
    sim.SetLayout({TRect{0, 0, 1920, 1080}, TRect{1920, 0, 3840, 1080}});
    editor = AddApp(TRect{100, 100, 900, 700});
    sim.SetForeground(editor);
    dialog = std::make_unique<TFrmHotkey>();
  }
  void TearDown() override {
    dialog.reset();
    widgets.reset();
    MovingFixture::TearDown();
  }

  // What the user does while the dialog is open: one step every 10 ms of virtual time, from
  // 10 ms after the dialog opened.
  void WhileOpen(const std::vector<std::function<void()>>& steps) {
    uint32_t at = 10;
    for (const auto& step : steps) {
      sim.At(at, step);
      at += 10;
    }
  }

  // Opens the dialog on the record as the hotkey page does: its display name in the edit box first.
  bool Open(THotkeyData& hkd, bool forceFocus = false, bool showClear = true) {
    dialog->txtHotkey->SetText(hkd.name);
    return dialog->GetHotKey(hkd, forceFocus, showClear);
  }

  std::function<void()> Down(std::vector<uint16_t> keys) {
    return [this, keys] {
      for (uint16_t vk : keys) EXPECT_TRUE(hl::KeyDown(*dialog->txtHotkey, vk)) << vk;
    };
  }
  std::function<void()> Up(std::vector<uint16_t> keys) {
    return [this, keys] {
      for (auto it = keys.rbegin(); it != keys.rend(); ++it) hl::KeyUp(*dialog->txtHotkey, *it);
    };
  }
  std::function<void()> ClickOn(ui::Control* c, bool expected = true) {
    return [c, expected] { EXPECT_EQ(hl::Click(*c), expected) << std::string(c->Name().begin(), c->Name().end()); };
  }

  std::optional<ui::headless::HeadlessUi> widgets;
  WindowHandle editor = 0;
  std::unique_ptr<TFrmHotkey> dialog;
};

TEST_F(FrmHotkeyTest, CreatedHiddenCentredWithTheControlsAsDesigned) {
  const WindowHandle h = dialog->Handle();
  ASSERT_NE(h, 0u);
  EXPECT_EQ(FrmHotkey(), dialog.get());
  EXPECT_FALSE(sim.IsWindowVisible(h));
  EXPECT_EQ(sim.GetWindowTextW(h), L"Tessary - Hotkey");
  const auto style = static_cast<uint32_t>(sim.GetWindowLongW(h, GWL_STYLE));
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_HSCROLL | WS_VSCROLL), 0u);
  EXPECT_EQ(dialog->ClientWidth(), 272);
  EXPECT_EQ(dialog->ClientHeight(), 107);
  MonitorDesc m;
  ASSERT_TRUE(sim.GetMonitorInfo(sim.MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), m));
  const TRect r = RectOf(h);
  EXPECT_LE(std::abs((r.Left + r.Right) - (m.work.Left + m.work.Right)), 1);
  EXPECT_LE(std::abs((r.Top + r.Bottom) - (m.work.Top + m.work.Bottom)), 1);

  struct Expected {
    ui::Control* control;
    TRect rect;
    const wchar_t* text;
    bool enabled;
  };
  for (const Expected& e : {Expected{dialog->Label1, {8, 8, 48, 21}, L"Hotkey", true},
                            Expected{dialog->txtHotkey, {8, 24, 257, 45}, L"", true},
                            Expected{dialog->btnClear, {72, 58, 129, 83}, L"Clear", false},
                            Expected{dialog->bSet, {144, 58, 201, 83}, L"Set", false},
                            Expected{dialog->bCancel, {207, 58, 264, 83}, L"Cancel", true}}) {
    SCOPED_TRACE(std::string(e.control->Name().begin(), e.control->Name().end()));
    EXPECT_EQ(e.control->ClientRect(), e.rect);
    EXPECT_EQ(e.control->Text(), e.text);
    EXPECT_EQ(e.control->Enabled(), e.enabled);
  }
  for (ui::Control* b : {static_cast<ui::Control*>(dialog->btnClear), static_cast<ui::Control*>(dialog->bSet),
                         static_cast<ui::Control*>(dialog->bCancel)})
    EXPECT_FALSE(b->tabStop);
  EXPECT_EQ(dialog->ActiveControl(), dialog->txtHotkey);
  EXPECT_TRUE(dialog->keyPreview);
  EXPECT_EQ(dialog->txtHotkey->dialogCode, DLGC_WANTARROWS | DLGC_WANTTAB);
  EXPECT_EQ(sim.SendMessageW(h, WM_GETDLGCODE, 0, 0), 3);
}

struct CaptureCase {
  const char* name;
  std::vector<uint16_t> keys;  // pressed in this order, all held when the display is read
  const wchar_t* shown;
  bool valid;
  THotkeyData set;  // what "Set" returns when valid
};

THotkeyData Record(bool alt, bool ctrl, bool shft, bool win, uint16_t key, const wchar_t* name) {
  THotkeyData h;
  h.alt = alt;
  h.ctrl = ctrl;
  h.shft = shft;
  h.win = win;
  h.key = key;
  h.name = name;
  return h;
}

class FrmHotkeyCaptureTest : public FrmHotkeyTest, public ::testing::WithParamInterface<CaptureCase> {};

// The combination is shown while it is held; "Set" takes it only when it has a modifier and a key
// with a name, and then returns it with its display name. Otherwise the dialog stays open with
// "Set" disabled, and Escape leaves the record as it was.
TEST_P(FrmHotkeyCaptureTest, ShowsTheHeldCombinationAndSetsOnlyAUsableOne) {
  const CaptureCase& c = GetParam();
  std::wstring shown;
  bool setEnabled = false, stillOpen = false;
  WhileOpen({Down(c.keys),
             [&] {
               shown = dialog->txtHotkey->Text();
               setEnabled = dialog->bSet->Enabled();
               stillOpen = dialog->Visible();
             },
             Up(c.keys), ClickOn(dialog->bSet, c.valid),
             [&] {
               if (dialog->Visible()) hl::Press(*dialog->txtHotkey, {VK_ESCAPE});
             }});
  THotkeyData hkd = Existing();

  const bool result = Open(hkd);

  EXPECT_EQ(shown, c.shown);
  EXPECT_EQ(setEnabled, c.valid);
  EXPECT_TRUE(stillOpen) << "no key closes the dialog on its way down";
  EXPECT_EQ(result, c.valid);
  EXPECT_EQ(Text(hkd), Text(c.valid ? c.set : Existing()));
  EXPECT_FALSE(dialog->Visible());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrmHotkeyCaptureTest,
    ::testing::Values(
        CaptureCase{"CtrlAltLeft", {VK_CONTROL, VK_MENU, VK_LEFT}, L"CTRL+ALT+LEFT", true,
                    Record(true, true, false, false, VK_LEFT, L"CTRL+ALT+LEFT")},
        CaptureCase{"ModifierAlone", {VK_CONTROL}, L"CTRL+", false, {}},
        CaptureCase{"KeyWithoutModifier", {VK_F5}, L"F5", false, {}},
        CaptureCase{"KeyWithoutName", {VK_CONTROL, VK_F13}, L"CTRL+", false, {}},
        CaptureCase{"CtrlTabIsAKeyNotNavigation", {VK_CONTROL, VK_TAB}, L"CTRL+TAB", true,
                    Record(false, true, false, false, VK_TAB, L"CTRL+TAB")},
        CaptureCase{"LeftWindowsKeyFromTheKeyboardState", {VK_LWIN, VK_SHIFT, 'N'}, L"WINKEY+SHIFT+N", true,
                    Record(false, false, true, true, 'N', L"WINKEY+SHIFT+N")},
        CaptureCase{"RightWindowsKey", {VK_RWIN, VK_F4}, L"WINKEY+F4", true,
                    Record(false, false, false, true, VK_F4, L"WINKEY+F4")},
        CaptureCase{"AltF4IsCapturedNotClosing", {VK_MENU, VK_F4}, L"ALT+F4", true,
                    Record(true, false, false, false, VK_F4, L"ALT+F4")},
        CaptureCase{"RightControl", {VK_RCONTROL, VK_HOME}, L"CTRL+HOME", true,
                    Record(false, true, false, false, VK_HOME, L"CTRL+HOME")},
        CaptureCase{"AllFourModifiers", {VK_LWIN, VK_CONTROL, VK_SHIFT, VK_MENU, VK_RETURN},
                    L"WINKEY+CTRL+SHIFT+ALT+ENTER", true,
                    Record(true, true, true, true, VK_RETURN, L"WINKEY+CTRL+SHIFT+ALT+ENTER")},
        CaptureCase{"ALetterIsNotTyped", {'A'}, L"A", false, {}},
        CaptureCase{"ShiftedLetterIsNotTypedEither", {VK_SHIFT, 'A'}, L"SHIFT+A", true,
                    Record(false, false, true, false, 'A', L"SHIFT+A")}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(FrmHotkeyTest, EachKeyPressReplacesTheCaptureBeforeIt) {
  WhileOpen({Down({VK_CONTROL, VK_MENU, VK_LEFT}), Up({VK_CONTROL, VK_MENU, VK_LEFT}), Down({VK_F5}),
             [&] {
               EXPECT_EQ(dialog->txtHotkey->Text(), L"F5");
               EXPECT_FALSE(dialog->bSet->Enabled());
               EXPECT_EQ(dialog->Hotkey_Key, VK_F5);
               EXPECT_FALSE(dialog->Hotkey_Ctrl || dialog->Hotkey_Alt);
             },
             Up({VK_F5}), ClickOn(dialog->bSet, false), Down({VK_SHIFT, VK_UP}), Up({VK_SHIFT, VK_UP}),
             ClickOn(dialog->bSet)});
  THotkeyData hkd = Existing();

  EXPECT_TRUE(Open(hkd));
  EXPECT_EQ(Text(hkd), Text(Record(false, false, true, false, VK_UP, L"SHIFT+UP")));
}

// Escape is captured on its way down like any key; its release cancels, whatever is held.
TEST_F(FrmHotkeyTest, ReleasingEscapeCancelsAndLeavesTheRecord) {
  for (const std::vector<uint16_t>& held : {std::vector<uint16_t>{}, {VK_CONTROL, VK_MENU}}) {
    SCOPED_TRACE(held.size());
    std::vector<uint16_t> keys = held;
    keys.push_back(VK_ESCAPE);
    bool openAfterDown = false;
    std::wstring shown;
    WhileOpen({Down(keys),
               [&] {
                 openAfterDown = dialog->Visible();
                 shown = dialog->txtHotkey->Text();
               },
               [&] { hl::KeyUp(*dialog->txtHotkey, VK_ESCAPE); },
               [&] {
                 if (!dialog->Visible()) return;
                 ADD_FAILURE() << "the release of Escape did not close it";
                 hl::Click(*dialog->bCancel);
               }});
    THotkeyData hkd = Existing();

    EXPECT_FALSE(Open(hkd));
    EXPECT_TRUE(openAfterDown);
    EXPECT_EQ(shown, held.empty() ? L"ESCAPE" : L"CTRL+ALT+ESCAPE");
    EXPECT_EQ(Text(hkd), Text(Existing()));
    Up(held)();
    sim.AdvanceTime(100);  // the last step runs now, not inside the next opening
  }
}

TEST_F(FrmHotkeyTest, ClearEmptiesTheRecordAndShowsOnlyWhenAsked) {
  WhileOpen({ClickOn(dialog->btnClear)});
  THotkeyData hkd = Existing();
  EXPECT_TRUE(Open(hkd, false, true));
  EXPECT_EQ(Text(hkd), Text(Record(false, false, false, false, 0, L"")));

  bool clearShown = true;
  WhileOpen({[&] { clearShown = dialog->btnClear->Showing(); }, ClickOn(dialog->btnClear, false),
             ClickOn(dialog->bCancel)});
  hkd = Existing();
  EXPECT_FALSE(Open(hkd, false, false));
  EXPECT_FALSE(clearShown);
  EXPECT_EQ(Text(hkd), Text(Existing()));
}

// The separate-values form, and the open question decided: a second opening starts without a
// capture, so "Set" cannot hand back the combination of the first one.
TEST_F(FrmHotkeyTest, ReopeningDoesNotReturnTheEarlierCapture) {
  WhileOpen({Down({VK_CONTROL, VK_MENU, VK_LEFT}), Up({VK_CONTROL, VK_MENU, VK_LEFT}), ClickOn(dialog->bSet)});
  bool alt = false, shift = false, ctrl = false, win = false;
  uint16_t key = 0;
  std::wstring name = L"none";
  ASSERT_TRUE(dialog->GetHotkey(alt, shift, ctrl, win, key, name, true));
  EXPECT_EQ(Text(Record(alt, ctrl, shift, win, key, name.c_str())),
            Text(Record(true, true, false, false, VK_LEFT, L"CTRL+ALT+LEFT")));

  bool setEnabled = true;
  WhileOpen({[&] { setEnabled = dialog->bSet->Enabled(); }, ClickOn(dialog->bSet, false),
             ClickOn(dialog->bCancel)});
  THotkeyData hkd = Existing();
  EXPECT_FALSE(Open(hkd));
  EXPECT_FALSE(setEnabled);
  EXPECT_EQ(Text(hkd), Text(Existing()));
  EXPECT_EQ(dialog->Hotkey_Key, 0);
}

// A modal dialog: the program's other windows take no input while it is open and all of it again
// afterwards; a second opening from inside is refused.
TEST_F(FrmHotkeyTest, OtherFormsAreDisabledWhileItIsOpen) {
  TFrmAbout about;
  about.Show();
  bool clickedBehind = true, aboutDisabled = false, nested = true;
  THotkeyData other = Existing();
  WhileOpen({[&] {
               clickedBehind = hl::Click(*about.Button1);
               aboutDisabled = (sim.GetWindowLongW(about.Handle(), GWL_STYLE) & WS_DISABLED) != 0;
               nested = dialog->GetHotKey(other, false, true);
             },
             ClickOn(dialog->bCancel)});
  THotkeyData hkd = Existing();

  EXPECT_FALSE(Open(hkd));
  EXPECT_FALSE(clickedBehind);
  EXPECT_TRUE(aboutDisabled);
  EXPECT_FALSE(nested);
  EXPECT_EQ(Text(other), Text(Existing()));
  EXPECT_EQ(sim.GetWindowLongW(about.Handle(), GWL_STYLE) & WS_DISABLED, 0);
  EXPECT_TRUE(about.Visible());
  EXPECT_TRUE(hl::Click(*about.Button1));
  EXPECT_FALSE(about.Visible());
}

// The program is asked to end while the dialog is open (the tray's Exit): the dialog's loop ends,
// the dialog closes as cancelled, and the quit is still there for the program's own loop.
TEST_F(FrmHotkeyTest, EndingTheProgramMeanwhileClosesItAsCancelled) {
  TFrmAbout about;
  about.Show();
  WhileOpen({Down({VK_CONTROL, VK_MENU, VK_LEFT}), [] { ui::app::Terminate(); },
             [] { ADD_FAILURE() << "the dialog's loop went on"; }});
  THotkeyData hkd = Existing();

  EXPECT_FALSE(Open(hkd));
  EXPECT_EQ(Text(hkd), Text(Existing()));
  EXPECT_FALSE(dialog->Visible());
  EXPECT_FALSE(dialog->InModal());
  EXPECT_EQ(sim.GetWindowLongW(about.Handle(), GWL_STYLE) & WS_DISABLED, 0);
  EXPECT_FALSE(sim.PumpOneMessage()) << "the quit waits for the message loop";
  // Asked again while ending, it does not open at all.
  EXPECT_FALSE(Open(hkd));
  EXPECT_FALSE(dialog->Visible());
}

TEST_F(FrmHotkeyTest, ForceFocusBringsItInFrontDespiteTheForegroundLock) {
  // The simulator keeps Windows' lock: the editor got the user's last input.
  uint32_t timeout = 0;
  ASSERT_TRUE(sim.SystemParametersGet(SPI_GETFOREGROUNDLOCKTIMEOUT, timeout));
  ASSERT_NE(timeout, 0u);
  WindowHandle inFront = 0;
  auto look = [&] { inFront = sim.GetForegroundWindow(); };

  // Without forcing, the lock keeps the editor in front.
  WhileOpen({look, ClickOn(dialog->bCancel)});
  THotkeyData hkd = Existing();
  Open(hkd, false);
  EXPECT_EQ(inFront, editor);

  sim.SetForeground(editor);  // the user went back to the editor: the program holds no input
  WhileOpen({look, ClickOn(dialog->bCancel)});
  Open(hkd, true);
  EXPECT_EQ(inFront, dialog->Handle());
  EXPECT_FALSE(dialog->fForceFocusOnce);
  uint32_t after = 0;
  ASSERT_TRUE(sim.SystemParametersGet(SPI_GETFOREGROUNDLOCKTIMEOUT, after));
  EXPECT_EQ(after, timeout) << "the lock timeout is set back";
}

TEST_F(FrmHotkeyTest, ForceFocusDoesNotRestoreAMinimisedDialogNorPumpWhileItWaits) {
  // No foreground window at all: it asks again after plain 10 ms sleeps, ten times at most.
  sim.FailOperation(Op::GetForegroundWindow, 0, -1);
  dialog->fForceFocusOnce = true;
  dialog->Show();
  const uint32_t sleepsBefore = sim.SleepCalls();
  const uint64_t sleptBefore = sim.TotalSlept();
  sim.ResetCallCounts();
  dialog->FormShow();
  EXPECT_EQ(sim.SleepCalls() - sleepsBefore, 20u) << "ten before each of the two attempts";
  EXPECT_EQ(sim.TotalSlept() - sleptBefore, 200u) << "of 10 ms each";
  EXPECT_EQ(sim.CallCount(Op::ProcessPendingMessages), 0);
  sim.ClearFaults();

  sim.ShowWindow(dialog->Handle(), SW_MINIMIZE);
  dialog->fForceFocusOnce = true;
  dialog->FormShow();
  EXPECT_TRUE(sim.IsIconic(dialog->Handle()));
  dialog->Hide();
}

}  // namespace
}  // namespace tessary::test
