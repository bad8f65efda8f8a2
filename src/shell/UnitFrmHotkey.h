// The small modal dialog in which the user presses the key combination for a hotkey. Created
// hidden at start-up and reused; the main window's hotkey page opens it for one hotkey at a time
// after putting the hotkey's display name into txtHotkey. A form, so it lives above the hotkeys
// layer; the text forms themselves are THotkeyText's.
#pragma once
#include <cstdint>
#include <string>

#include "core/UnitSharedTypes.h"
#include "ui/Ui.h"

namespace tessary {

class TFrmHotkey : public ui::Form {
 public:
  static constexpr const wchar_t* ClassName = L"Tessary.FrmHotkey";
  static constexpr const wchar_t* Caption = L"Tessary - Hotkey";
  static constexpr int32_t DesignWidth = 272, DesignHeight = 107;

  // Builds the controls and creates the window, hidden and centred on the screen.
  TFrmHotkey();
  ~TFrmHotkey() override;

  // Runs the dialog on the record: true when it was set (modifiers, key and the display name) or
  // cleared (all off, key 0, empty name); false, the record untouched, on Cancel or Escape, when
  // the application ends meanwhile, or when the dialog is already open. ForceFocus brings the
  // dialog to the foreground even against the platform's foreground lock.
  bool GetHotKey(THotkeyData& hkd, bool ForceFocus, bool ShowClearButton);
  // The same on separate values, all read and written.
  bool GetHotkey(bool& kAlt, bool& kShift, bool& kCtrl, bool& kWinkey, uint16_t& VKCode, std::wstring& ReadableName,
                 bool ShowClearButton);

  void txtHotkeyKeyDown(uint16_t& Key, ui::ShiftState Shift);
  void txtHotkeyKeyPress(wchar_t& Key);
  void FormKeyDown(uint16_t& Key, ui::ShiftState Shift);
  void FormKeyUp(uint16_t Key);
  void bSetClick();
  void bCancelClick();
  void btnClearClick();
  void FormActivate();
  void FormShow();
  // The dialog keys the edit box does not take: Tab is captured, nothing is ever handed on.
  bool CMDialogKey(uint16_t Key, ui::ShiftState Shift);
  static intptr_t WMGetDlgCode();
  intptr_t WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

  ui::Label* Label1 = nullptr;
  ui::Edit* txtHotkey = nullptr;
  ui::Button* btnClear = nullptr;
  ui::Button* bSet = nullptr;
  ui::Button* bCancel = nullptr;

  // The last captured key press.
  bool Hotkey_Ctrl = false;
  bool Hotkey_Alt = false;
  bool Hotkey_Winkey = false;
  bool Hotkey_Shift = false;
  uint16_t Hotkey_Key = 0;
  // How the dialog was closed.
  bool ClearPressed = false;
  bool SetPressed = false;
  bool fForceFocusOnce = false;
};

// The hotkey dialog of this process, or nullptr.
TFrmHotkey* FrmHotkey();

}  // namespace tessary
