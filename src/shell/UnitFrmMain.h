// The main window: a small always-on-top window that never takes the focus. It shows the program
// the user is working in (icon, name, title, integrity, a picture of its place on the desktop),
// offers the one move button that fits it, carries the status line with a short log, the settings
// pages, the welcome texts and the hotkey page, and places itself beside the taskbar where it was
// opened.
//
// The implementation is split by concern: UnitFrmMain.cpp (window, status line, layout, buttons,
// view menu, timers), UnitSettings.cpp (the settings file), UnitHotkeyConfig.cpp (the hotkey page
// and WM_HOTKEY), UnitForegroundDisplay.cpp (the foreground panel and screen picture) and
// UnitMainPlacement.cpp (where the window opens and which program it shows then).
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/UnitSharedTypes.h"
#include "desktop/Owned.h"
#include "desktop/WindowSystem.h"
#include "hotkeys/UnitHotKey.h"
#include "ui/Ui.h"
#include "util/UnitIniFile.h"
#include "watcher/UnitMonitorWatcher.h"

namespace tessary {

enum TMonitorLayout { ml_None, ml_Vert, ml_Horz };

// "L T [%d, %d]  wd ht [%d x %d]"
std::wstring RectToText(const TRect& r);

class TFrmMain : public ui::Form, protected IWatcherHost {
 public:
  static constexpr const wchar_t* ClassName = L"Tessary.FrmMain";
  static constexpr int32_t DesignWidth = 618, DesignHeight = 275;

  // FormCreate: builds the controls, creates the window (hidden) and runs InitMainWindow; the
  // "E" button shows only under a debugger. With fewer than two monitors the set-up stops after
  // asking the application to end (Terminated() tells).
  TFrmMain();
  ~TFrmMain() override;

  // ---- window, status line, layout, buttons (UnitFrmMain.cpp)
  void InitMainWindow();
  void ShowStatus(const std::wstring& text, bool keep) override;
  void ClearStatus();
  void DetectMonitorLayout() override;
  void WMDisplayChange();
  void btnLeftClick();
  void btnRightClick();
  void btnUpClick();
  void btnDownClick();
  void btnDebugClick();
  void btnExitProgramClick();
  void btnViewClick();
  void pmChangeViewPopup();
  void MIGettingStarted1Click();
  void MIStatus1Click();
  void MIDefaultConfig1Click();
  void MIGlobalHotkeys1Click();
  void MICommandLineOptions1Click();
  void MIRestoreReport1Click();
  // Shows the window at its page with the last restore's report (the tray's "Restore Report").
  void ShowRestoreReport();
  void FillReport();
  void btnCopyReportClick();
  void timDelayedClearTimer();
  void timGetForegroundTimer();
  // When the main window itself is in front, hands the foreground to the window below it.
  void ReturnForeground();
  intptr_t WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

  // ---- settings file (UnitSettings.cpp)
  // save false: the file into the "Default Config" controls; true: the controls into the file.
  // Both rewrite the hidden settings and then apply the watcher state. Throws
  // TWideError("Unable to write to <full path>") when the file cannot be written; the watcher
  // state is then not applied.
  void LoadSaveConfig(bool save);
  void btnSaveClick();
  void btnResetClick();

  // ---- global hotkeys (UnitHotkeyConfig.cpp)
  // The "Hotkeys" section: read (save false) or written (save true) through the settings file,
  // and the enabled hotkeys (re)registered.
  void LoadSaveHotkeys(bool save);
  void ReadWriteHotkeys(TIniDocument& ini, bool save);
  // The registration of an item's combination for this window; nullptr when the system refuses.
  std::unique_ptr<TACHotKey> RegisterHotkeyItem(const std::wstring& label, const std::wstring& iniKey,
                                                const THotkeyData& hkd);
  void btnSetMoveLeftClick();
  void btnSetMoveRightClick();
  void btnSetMoveNextClick();
  void btnSaveHotkeyClick();
  void WMHotKey(uintptr_t wParam, intptr_t lParam);
  // pressTime: the press's own tick (its message's time), not when it is handled.
  bool IsAutoRepeat(uint32_t pressTime);

  // ---- Monitor Watcher switch: starts or stops the snapshot timer and says so on the status line
  bool MonitorWatcher() const { return watcher.MonitorWatcher(); }
  void SetMonitorWatcher(bool on) { watcher.SetMonitorWatcher(on); }

  // ---- foreground display (UnitForegroundDisplay.cpp)
  void ShowForeground(bool alreadyCaptured) override;
  void btnRefreshClick();
  void DrawForegroundIcon();
  // A copy of the window's small icon that the caller owns; 0 when no source gives one.
  static IconHandle GetWindowIcon(WindowHandle h);
  static IconHandle CloneIcon(IconHandle icon);
  static std::wstring GetWindowTitle(WindowHandle h);
  static void DrawScreenPicture(ui::Picture& picture, const TProgramInfo& program);

  // ---- placement (UnitMainPlacement.cpp)
  void FormShow();
  WindowHandle FindTaskbarUnderCursor();
  static bool IsTaskbarWindow(WindowHandle h);
  static bool IsOverflowWindow(WindowHandle h);
  static bool IsScreenEdgeBar(WindowHandle h);
  void RestoreForegroundBelow(WindowHandle w);
  bool PlaceNearTaskbar(WindowHandle w);
  void PlaceAtWorkAreaCorner();
  void KeepInsideDesktop();
  void FindNextForeground();
  bool MainMonitorChanged();
  static bool GetTaskbarRect(TRect& r);

  // ---- state
  TMonitorWatcher watcher{*this};
  TProgramInfo fore;
  std::wstring fLastMessage;
  int32_t flastMonitorID = -1;
  OwnedIcon fLastIcon;
  // A program whose integrity level could not be read is shown once more at the next tick: a
  // passing failure must not leave its move buttons off until another program comes in front.
  WindowHandle integrityRetryHwnd = 0;
  bool integrityRetryPending = false;
  uint32_t LastHotkeyTime = 0;
  // The key of the hotkey that last moved, watched until it is seen up; 0 when not watched.
  uint16_t HeldHotkeyVk = 0;
  // Save runs one at a time; a click during one asks for another round after it.
  bool savingHotkeys = false;
  bool saveHotkeysAgain = false;
  bool formShowOnce = false;
  RHiddenSettings hiddenSetting;
  TMonitorLayout ml = ml_None;
  // Move Left/Up, Move Right/Down, Move Next, in this order; filled at set-up.
  std::vector<std::unique_ptr<THotkeyItem>> HotkeyList;

  // ---- controls (owned by the form)
  ui::Panel* pnlLeft = nullptr;
  ui::GroupBox* GroupBox1 = nullptr;
  ui::Picture* imgIcon = nullptr;
  ui::Label* lblProgram = nullptr;
  ui::Button* btnRefresh = nullptr;
  ui::Label* lblTitle = nullptr;
  ui::Label* lblIntegrity = nullptr;
  ui::PageControl* pcLayout = nullptr;
  ui::Page* tsHorz = nullptr;
  ui::Picture* imgScreenH = nullptr;
  ui::Button* btnLeft = nullptr;
  ui::Button* btnRight = nullptr;
  ui::Page* tsVert = nullptr;
  ui::Picture* imgScreenV = nullptr;
  ui::Button* btnUp = nullptr;
  ui::Button* btnDown = nullptr;
  ui::Panel* pnlBottom = nullptr;
  ui::Button* btnDebug = nullptr;
  ui::Button* btnFocusNext = nullptr;
  ui::Panel* pnlRight = nullptr;
  ui::Button* btnView = nullptr;
  ui::Button* btnExitProgram = nullptr;
  ui::PageControl* pcView = nullptr;
  ui::Page* tsStatus = nullptr;
  ui::Memo* txtLog = nullptr;
  ui::Label* lblMessage = nullptr;
  ui::Page* tsDefaultConfig = nullptr;
  ui::PageControl* pcConfig = nullptr;
  ui::CheckBox* cbAutoClose = nullptr;
  ui::CheckBox* cbWatcherOnStart = nullptr;
  ui::SpinEdit* seDelay = nullptr;
  ui::Label* lblDelay = nullptr;
  ui::RadioButton* rbDevicePowerState = nullptr;
  ui::RadioButton* rbResolutionChange = nullptr;
  ui::Label* lblTrigger = nullptr;
  ui::Button* btnReset = nullptr;
  ui::Button* btnSave = nullptr;
  ui::Page* tsWelcome = nullptr;
  ui::PageControl* pcWelcome = nullptr;
  ui::Page* tsHotkeys = nullptr;
  ui::CheckBox* cbMoveLeft = nullptr;
  ui::CheckBox* cbMoveRight = nullptr;
  ui::CheckBox* cbMoveNext = nullptr;
  ui::Button* btnSetMoveLeft = nullptr;
  ui::Button* btnSetMoveRight = nullptr;
  ui::Button* btnSetMoveNext = nullptr;
  ui::Label* lblMoveLeftKey = nullptr;
  ui::Label* lblMoveRightKey = nullptr;
  ui::Label* lblMoveNextKey = nullptr;
  ui::Panel* pnl2 = nullptr;
  ui::Page* tsReport = nullptr;
  ui::Memo* txtReport = nullptr;
  ui::Button* btnCopyReport = nullptr;
  ui::Button* btnResetHotkeys = nullptr;
  ui::Button* btnSaveHotkey = nullptr;
  std::unique_ptr<ui::PopupMenu> pmChangeView;
  ui::Timer* timDelayedClear = nullptr;
  ui::Timer* timGetForeground = nullptr;
  ui::Timer* timGetTopPrograms = nullptr;

 protected:
  // ---- what the Monitor Watcher's cycle needs of the window
  bool WatcherWindowShowing() override { return Visible(); }
  void WatcherShowWindow() override { Show(); }
  void WatcherPlaceWindowAgain() override { FormShow(); }
  void WatcherHideWindow() override { Hide(); }
  int32_t RestoreDelayMs() override { return seDelay->Value(); }
  bool PowerStateTrigger() override { return rbDevicePowerState->Checked(); }
  bool ResolutionTrigger() override { return rbResolutionChange->Checked(); }
  void SetSnapshotTimer(bool on) override;
  void PauseManagedTimers() override;
  void ResumeManagedTimers() override;
  void WatcherCycleEnded() override;
  void RunOnUiThread(const std::function<void()>& fn) override { ui::app::RunOnUiThread(fn); }

 private:
  void BuildControls();
  void BuildHotkeyPage();
  void SetHotkeyClick(size_t index);
  // announce false: the registration line shows only when the system refuses.
  std::unique_ptr<TACHotKey> RegisterHotkeyItem(const std::wstring& label, const std::wstring& iniKey,
                                                const THotkeyData& hkd, bool announce);
  // The check box and the key label of a hotkey row, in the list's order.
  ui::CheckBox* HotkeyBox(size_t index) const;
  ui::Label* HotkeyLabel(size_t index) const;
  void MoveButton(bool (*move)(WindowHandle, bool), const wchar_t* word);
  void SelectView(ui::Page* page);
};

// The main window of this process, or nullptr.
TFrmMain* FrmMain();

// The debug window registers how it shows itself; the "Debug" button runs it. nullptr: none.
void SetShowDebugWindowHandler(std::function<void()> handler);

// The hotkey capture dialog registers how it runs on a record (showing the record's name first);
// true when the user set or cleared the hotkey. nullptr: none, and "Set" does nothing.
void SetHotkeyDialogHandler(std::function<bool(THotkeyData&)> dialog);

}  // namespace tessary
