#include "shell/UnitFrmHotkey.h"

#include "desktop/WinConst.h"
#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitHotKeyText.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitThreadAttach.h"

namespace tessary {

namespace {

TFrmHotkey* g_frmHotkey = nullptr;

// Plain sleeps: nothing else may run between the dialog's show and its move to the front.
WindowHandle ForegroundAfterRetries() {
  WindowHandle fg = ws().GetForegroundWindow();
  for (int32_t retries = 10; fg == 0 && retries > 0; --retries) {
    ws().Sleep(10);
    fg = ws().GetForegroundWindow();
  }
  return fg;
}

bool Down(const uint8_t (&keys)[256], uint16_t vk) { return (keys[vk] & 0x80) != 0; }

}  // namespace

TFrmHotkey* FrmHotkey() { return g_frmHotkey; }

// No system menu, so no caption buttons: it closes through its buttons or Escape. Topmost, because
// the main window that opens it is: a modal dialog under the disabled main window could not be reached.
TFrmHotkey::TFrmHotkey()
    : ui::Form(ClassName, Caption, DesignWidth, DesignHeight,
               ui::FormStyle{wc::WS_POPUP | wc::WS_CAPTION, wc::WS_EX_DLGMODALFRAME | wc::WS_EX_TOPMOST, 0}) {
  g_frmHotkey = this;
  keyPreview = true;

  Label1 = &Add<ui::Label>(nullptr, L"Label1", ui::Box{8, 8, 40, 13}, L"Hotkey");
  txtHotkey = &Add<ui::Edit>(nullptr, L"txtHotkey", ui::Box{8, 24, 249, 21});
  btnClear = &Add<ui::Button>(nullptr, L"btnClear", ui::Box{72, 58, 57, 25}, L"Clear");
  bSet = &Add<ui::Button>(nullptr, L"bSet", ui::Box{144, 58, 57, 25}, L"Set");
  bCancel = &Add<ui::Button>(nullptr, L"bCancel", ui::Box{207, 58, 57, 25}, L"Cancel");
  for (ui::Button* b : {btnClear, bSet, bCancel}) b->tabStop = false;
  btnClear->SetEnabled(false);
  bSet->SetEnabled(false);
  txtHotkey->dialogCode = static_cast<uint32_t>(WMGetDlgCode());

  txtHotkey->onKeyDown = [this](uint16_t& key, ui::ShiftState shift) { txtHotkeyKeyDown(key, shift); };
  txtHotkey->onKeyPress = [this](wchar_t& key) { txtHotkeyKeyPress(key); };
  onKeyDown = [this](uint16_t& key, ui::ShiftState shift) { FormKeyDown(key, shift); };
  onKeyUp = [this](uint16_t key) { FormKeyUp(key); };
  onDialogKey = [this](uint16_t key, ui::ShiftState shift) { return CMDialogKey(key, shift); };
  onActivate = [this] { FormActivate(); };
  bSet->onClick = [this] { bSetClick(); };
  bCancel->onClick = [this] { bCancelClick(); };
  btnClear->onClick = [this] { btnClearClick(); };

  SetActiveControl(txtHotkey);
  CreateWindow();
  CenterOnScreen();
}

TFrmHotkey::~TFrmHotkey() {
  DestroyWindow();
  if (g_frmHotkey == this) g_frmHotkey = nullptr;
}

bool TFrmHotkey::GetHotKey(THotkeyData& hkd, bool ForceFocus, bool ShowClearButton) {
  fForceFocusOnce = ForceFocus;
  return GetHotkey(hkd.alt, hkd.shft, hkd.ctrl, hkd.win, hkd.key, hkd.name, ShowClearButton);
}

bool TFrmHotkey::GetHotkey(bool& kAlt, bool& kShift, bool& kCtrl, bool& kWinkey, uint16_t& VKCode,
                           std::wstring& ReadableName, bool ShowClearButton) {
  SetPressed = false;
  ClearPressed = false;
  // Each opening starts without a capture: "Set" before any key press would otherwise hand back
  // the combination of an earlier use while the edit box shows the caller's text.
  Hotkey_Ctrl = Hotkey_Alt = Hotkey_Winkey = Hotkey_Shift = false;
  Hotkey_Key = 0;
  bSet->SetEnabled(false);
  btnClear->SetVisible(ShowClearButton);
  btnClear->SetEnabled(ShowClearButton);

  if (!ShowModal([this] { FormShow(); })) {
    // Not shown, already open, or the application is ending: nothing was chosen.
    SetPressed = ClearPressed = false;
  }

  if (SetPressed) {
    kAlt = Hotkey_Alt;
    kShift = Hotkey_Shift;
    kCtrl = Hotkey_Ctrl;
    kWinkey = Hotkey_Winkey;
    VKCode = Hotkey_Key;
    ReadableName = THotkeyText::GetHumanReadable(kAlt, kShift, kCtrl, kWinkey, VKCode);
  }
  if (ClearPressed) {
    kAlt = kShift = kCtrl = kWinkey = false;
    VKCode = 0;
    ReadableName.clear();
  }
  return SetPressed || ClearPressed;
}

void TFrmHotkey::txtHotkeyKeyDown(uint16_t& Key, ui::ShiftState /*Shift*/) {
  bSet->SetEnabled(false);
  Hotkey_Ctrl = Hotkey_Alt = Hotkey_Winkey = Hotkey_Shift = false;
  // The whole keyboard, not the event's shift state: the Windows keys are not in that.
  uint8_t keys[256] = {};
  if (!ws().GetKeyboardState(keys)) AppendLog(L"HK: the keyboard state could not be read", true);
  Hotkey_Winkey = Down(keys, wc::VK_LWIN) || Down(keys, wc::VK_RWIN);
  Hotkey_Ctrl = Down(keys, wc::VK_CONTROL);
  Hotkey_Shift = Down(keys, wc::VK_SHIFT);
  Hotkey_Alt = Down(keys, wc::VK_MENU);
  bool valid = false;
  txtHotkey->SetText(THotkeyText::GetHumanReadable(Hotkey_Alt, Hotkey_Shift, Hotkey_Ctrl, Hotkey_Winkey, Key, valid));
  bSet->SetEnabled(valid);
  Hotkey_Key = Key;
  Key = 0;
}

void TFrmHotkey::txtHotkeyKeyPress(wchar_t& Key) { Key = 0; }

// Key preview: Tab never reaches the edit box as a key of its own on every platform, so the form
// captures it here.
void TFrmHotkey::FormKeyDown(uint16_t& Key, ui::ShiftState Shift) {
  if (Key == wc::VK_TAB) txtHotkeyKeyDown(Key, Shift);
}

void TFrmHotkey::FormKeyUp(uint16_t Key) {
  if (Key == wc::VK_ESCAPE) bCancel->Click();
}

bool TFrmHotkey::CMDialogKey(uint16_t Key, ui::ShiftState Shift) {
  if (Key == wc::VK_TAB && ActiveControl() != nullptr && ActiveControl()->GetKind() == ui::Kind::Edit)
    txtHotkeyKeyDown(Key, Shift);
  return true;
}

intptr_t TFrmHotkey::WMGetDlgCode() { return wc::DLGC_WANTARROWS | wc::DLGC_WANTTAB; }

void TFrmHotkey::bSetClick() {
  SetPressed = true;
  Hide();
}

void TFrmHotkey::bCancelClick() { Hide(); }

void TFrmHotkey::btnClearClick() {
  ClearPressed = true;
  Hide();
}

void TFrmHotkey::FormActivate() { SetActiveControl(txtHotkey); }

// The foreground change of TFocusManager::ForceForeground without its focus step and without
// restoring a minimised window; the result is not needed.
void TFrmHotkey::FormShow() {
  if (!fForceFocusOnce) return;
  fForceFocusOnce = false;
  IWindowSystem& w = ws();
  const WindowHandle h = Handle();
  WindowHandle fg = ForegroundAfterRetries();
  if (fg == h) return;
  if (fg == 0) fg = w.GetDesktopWindow();
  {
    TThreadAttach attach(fg);
    w.BringWindowToTop(h);
    w.SetForegroundWindow(h);
  }
  if (ForegroundAfterRetries() == h) return;
  TFocusManager::RaiseWithLockLifted(h);
}

intptr_t TFrmHotkey::WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg == wc::WM_GETDLGCODE) return WMGetDlgCode();
  return ui::Form::WndProc(msg, wParam, lParam);
}

}  // namespace tessary
