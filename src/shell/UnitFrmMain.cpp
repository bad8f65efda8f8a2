#include "shell/UnitFrmMain.h"

#include <cstdio>
#include <functional>
#include <iterator>
#include <utility>

#include "core/UnitForeground.h"
#include "core/UnitMonitors.h"
#include "desktop/WinConst.h"
#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitKeys.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitMove.h"
#include "moving/UnitMoveQueue.h"
#include "shell/UnitFrmInstance.h"
#include "util/UnitError.h"
#include "watcher/UnitFrmMonitorEvent.h"
#include "core/UnitTimerManager.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

TFrmMain* g_frmMain = nullptr;

std::function<void()>& DebugWindowHandler() {
  static std::function<void()> handler;
  return handler;
}

constexpr const wchar_t* AppTitle = L"Tessary";
constexpr uint32_t StatusClearMs = 900;
constexpr uint32_t ForegroundPollMs = 200;
constexpr int32_t StatusLogLines = 20;

// Design geometry at 96 dpi. The left column carries the foreground display, the right strip
// the view button, the centre the pages.
constexpr int32_t LeftWidth = 203;
constexpr int32_t RightWidth = 28;
constexpr int32_t BottomHeight = 31;
constexpr int32_t CentreWidth = TFrmMain::DesignWidth - LeftWidth - RightWidth;  // 387
constexpr int32_t PageInner = CentreWidth - 8;                                   // 379

constexpr const wchar_t* TriggerText =
    L"Monitor Power State is the prefered method to detect when a monitor restores from sleep or power "
    L"off.\r\n\r\nResolution Change is a backup method. This will only work if the monitors have different "
    L"resolutions or scaling.";
constexpr const wchar_t* GettingStartedText =
    L"This window is used to move the foreground program to another monitor.\r\n\r\nIt is recommended to pin "
    L"Tessary to the Taskbar to quickly open this window. This program is designed to work in the background "
    L"until needed.\r\n";
constexpr const wchar_t* WatcherText =
    L"When enabled, the program will automatically detect when the monitors change from sleep or power off. "
    L"Programs will be moved back to their original monitors after a brief sleep period.\r\n\r\nThis feature "
    L"can be temporarily disabled by turning on the Scroll Lock on your keyboard. Also, the System Tray icon "
    L"menu can be used to enable/disable this feature.\r\n\r\n";

const wchar_t* LayoutName(TMonitorLayout layout) { return layout == ml_Vert ? L"Vert" : L"Horz"; }

}  // namespace

std::wstring RectToText(const TRect& r) {
  return Format(L"L T [%d, %d]  wd ht [%d x %d]", r.Left, r.Top, r.Width(), r.Height());
}

TFrmMain* FrmMain() { return g_frmMain; }

void SetShowDebugWindowHandler(std::function<void()> handler) { DebugWindowHandler() = std::move(handler); }

// ---------------------------------------------------------------- creation

TFrmMain::TFrmMain()
    : ui::Form(ClassName, AppTitle, DesignWidth, DesignHeight,
               ui::FormStyle{wc::WS_SYSMENU | wc::WS_THICKFRAME,
                             wc::WS_EX_TOPMOST | wc::WS_EX_APPWINDOW | wc::WS_EX_NOACTIVATE, wc::CS_SAVEBITS}) {
  g_frmMain = this;
  closeHides = true;
  onShow = [this] { FormShow(); };
  BuildControls();
  if (!CreateWindow()) AppendLog(L"TFrmMain: window not created", true);
  InitMainWindow();
  btnExitProgram->SetVisible(ui::app::DebuggerPresent());
  // Only now: the set-up lets waiting messages run, and a later start asking for the window then
  // would show it half set up (no layout, no move button). Start-up shows it at its end anyway.
  SetShowMainWindowHandler([this] { ShowAndRaise(); });
}

TFrmMain::~TFrmMain() {
  // Before anything of the window goes: a running cycle's steps use it.
  if (!watcher.StopRestoreWorker()) AppendLog(L"CHM: the restore thread did not end");
  SetShowMainWindowHandler(nullptr);
  if (fLastIcon) {
    imgIcon->SetIcon(0);
    fLastIcon.reset();
  }
  if (g_frmMain == this) g_frmMain = nullptr;
}

void TFrmMain::BuildControls() {
  using ui::Box;
  constexpr int32_t leftHeight = DesignHeight - BottomHeight;

  // ---- left column: the foreground program
  pnlLeft = &Add<ui::Panel>(nullptr, L"pnlLeft", Box{0, 0, LeftWidth, leftHeight});
  pnlLeft->SetAnchors(ui::akLeft | ui::akTop | ui::akBottom);

  GroupBox1 = &Add<ui::GroupBox>(pnlLeft, L"GroupBox1", Box{4, 2, 195, 46}, L"Foreground Program");
  imgIcon = &Add<ui::Picture>(GroupBox1, L"imgIcon", Box{8, 20, 16, 16});
  lblProgram = &Add<ui::Label>(GroupBox1, L"lblProgram", Box{30, 22, 130, 13}, L"Program");
  lblProgram->ellipsis = true;
  btnRefresh = &Add<ui::Button>(GroupBox1, L"btnRefresh", Box{166, 16, 23, 23}, L"");
  btnRefresh->flat = true;
  btnRefresh->glyph = ui::Glyph::Refresh;
  btnRefresh->SetHint(L"Refresh");
  btnRefresh->onClick = [this] { btnRefreshClick(); };

  lblTitle = &Add<ui::Label>(pnlLeft, L"lblTitle", Box{8, 52, 191, 13}, L"Window Title");
  lblTitle->ellipsis = true;
  lblIntegrity = &Add<ui::Label>(pnlLeft, L"lblIntegrity", Box{8, 68, 191, 13}, L"UAC Integrity");

  pcLayout = &Add<ui::PageControl>(pnlLeft, L"pcLayout", Box{4, 84, 195, 156});
  tsHorz = &Add<ui::Page>(*pcLayout, L"tsHorz", L"Horz");
  imgScreenH = &Add<ui::Picture>(tsHorz, L"imgScreenH", Box{11, 8, 173, 70});
  imgScreenH->SetHint(L"Window Position");
  btnLeft = &Add<ui::Button>(tsHorz, L"btnLeft", Box{11, 86, 84, 25}, L"Move Left");
  btnLeft->onClick = [this] { btnLeftClick(); };
  btnRight = &Add<ui::Button>(tsHorz, L"btnRight", Box{100, 86, 84, 25}, L"Move Right");
  btnRight->onClick = [this] { btnRightClick(); };
  tsVert = &Add<ui::Page>(*pcLayout, L"tsVert", L"Vert");
  imgScreenV = &Add<ui::Picture>(tsVert, L"imgScreenV", Box{6, 8, 112, 99});
  imgScreenV->SetHint(L"Window Position");
  btnUp = &Add<ui::Button>(tsVert, L"btnUp", Box{124, 30, 66, 25}, L"Move Up");
  btnUp->onClick = [this] { btnUpClick(); };
  btnDown = &Add<ui::Button>(tsVert, L"btnDown", Box{124, 60, 66, 25}, L"Move Down");
  btnDown->onClick = [this] { btnDownClick(); };

  // ---- bottom of the left column
  pnlBottom = &Add<ui::Panel>(nullptr, L"pnlBottom", Box{0, leftHeight, LeftWidth, BottomHeight});
  pnlBottom->SetAnchors(ui::akLeft | ui::akBottom);
  btnDebug = &Add<ui::Button>(pnlBottom, L"btnDebug", Box{8, 4, 75, 23}, L"Debug");
  btnDebug->onClick = [this] { btnDebugClick(); };
  btnFocusNext = &Add<ui::Button>(pnlBottom, L"btnFocusNext", Box{88, 4, 75, 23}, L"Focus Next");
  btnFocusNext->SetVisible(false);

  // ---- right strip
  pnlRight = &Add<ui::Panel>(nullptr, L"pnlRight", Box{DesignWidth - RightWidth, 0, RightWidth, DesignHeight});
  pnlRight->SetAnchors(ui::akTop | ui::akRight | ui::akBottom);
  btnView = &Add<ui::Button>(pnlRight, L"btnView", Box{2, 2, 24, 24}, L"");
  btnView->flat = true;
  btnView->glyph = ui::Glyph::Menu;
  btnView->SetHint(L"Change View");
  btnView->onClick = [this] { btnViewClick(); };
  btnExitProgram = &Add<ui::Button>(pnlRight, L"btnExitProgram", Box{2, DesignHeight - 26, 24, 24}, L"E");
  btnExitProgram->SetAnchors(ui::akLeft | ui::akBottom);
  btnExitProgram->SetHint(L"Exit");
  btnExitProgram->onClick = [this] { btnExitProgramClick(); };

  // ---- centre: the pages
  pcView = &Add<ui::PageControl>(nullptr, L"pcView", Box{LeftWidth, 0, CentreWidth, DesignHeight});
  pcView->SetAnchors(ui::akAll);
  pcView->flatButtons = true;
  pcView->SetTabsVisible(false);

  tsStatus = &Add<ui::Page>(*pcView, L"tsStatus", L"Status");
  txtLog = &Add<ui::Memo>(tsStatus, L"txtLog", Box{4, 4, PageInner, 238});
  txtLog->SetAnchors(ui::akAll);
  txtLog->readOnly = true;
  txtLog->SetEnabled(false);
  lblMessage = &Add<ui::Label>(tsStatus, L"lblMessage", Box{4, 247, PageInner, 22}, L"");
  lblMessage->SetAnchors(ui::akLeft | ui::akRight | ui::akBottom);
  lblMessage->framed = true;
  lblMessage->ellipsis = true;

  tsDefaultConfig = &Add<ui::Page>(*pcView, L"tsDefaultConfig", L"Default Config");
  pcConfig = &Add<ui::PageControl>(tsDefaultConfig, L"pcConfig", Box{4, 4, PageInner, 234});
  pcConfig->SetAnchors(ui::akAll);
  auto& tsMoveOptions = Add<ui::Page>(*pcConfig, L"tsMoveOptions", L"  Move Options  ");
  cbAutoClose = &Add<ui::CheckBox>(&tsMoveOptions, L"cbAutoClose", Box{12, 16, 355, 17},
                                   L"Close this window after clicking Move Left/Right");
  auto& tsWatcherOptions = Add<ui::Page>(*pcConfig, L"tsWatcherOptions", L"  Monitor Watcher  ");
  cbWatcherOnStart = &Add<ui::CheckBox>(&tsWatcherOptions, L"cbWatcherOnStart", Box{12, 16, 355, 17},
                                        L"Enabled when starting the program", true);
  seDelay = &Add<ui::SpinEdit>(&tsWatcherOptions, L"seDelay", Box{12, 48, 80, 21}, 1000, 10000, 100, 2000);
  seDelay->SetAlignment(ui::Align::Right);
  lblDelay =
      &Add<ui::Label>(&tsWatcherOptions, L"lblDelay", Box{100, 52, 267, 13}, L"Sleep (MS) before moving programs");
  auto& tsTrigger = Add<ui::Page>(*pcConfig, L"tsTrigger", L"  Watcher Trigger  ");
  rbDevicePowerState =
      &Add<ui::RadioButton>(&tsTrigger, L"rbDevicePowerState", Box{12, 12, 170, 17}, L"Monitor Power State", true);
  rbResolutionChange =
      &Add<ui::RadioButton>(&tsTrigger, L"rbResolutionChange", Box{190, 12, 170, 17}, L"Resolution Change");
  lblTrigger = &Add<ui::Label>(&tsTrigger, L"lblTrigger", Box{12, 40, 355, 120}, TriggerText);
  lblTrigger->wordWrap = true;
  btnReset = &Add<ui::Button>(tsDefaultConfig, L"btnReset", Box{PageInner - 154, 244, 75, 25}, L"Reset All");
  btnReset->SetAnchors(ui::akRight | ui::akBottom);
  btnReset->onClick = [this] { btnResetClick(); };
  btnSave = &Add<ui::Button>(tsDefaultConfig, L"btnSave", Box{PageInner - 75 + 4, 244, 75, 25}, L"Save");
  btnSave->SetAnchors(ui::akRight | ui::akBottom);
  btnSave->onClick = [this] { btnSaveClick(); };

  tsWelcome = &Add<ui::Page>(*pcView, L"tsWelcome", L"Getting Started");
  pcWelcome = &Add<ui::PageControl>(tsWelcome, L"pcWelcome", Box{4, 4, PageInner, 267});
  pcWelcome->SetAnchors(ui::akAll);
  auto& tsGettingStarted = Add<ui::Page>(*pcWelcome, L"tsGettingStarted", L"  Getting Started  ");
  auto& lblGettingStarted =
      Add<ui::Label>(&tsGettingStarted, L"lblGettingStarted", Box{12, 12, 355, 180}, GettingStartedText);
  lblGettingStarted.wordWrap = true;
  auto& tsWelcomeWatcher = Add<ui::Page>(*pcWelcome, L"tsWelcomeWatcher", L"  Monitor Watcher  ");
  auto& lblWelcomeWatcher =
      Add<ui::Label>(&tsWelcomeWatcher, L"lblWelcomeWatcher", Box{12, 12, 355, 180}, WatcherText);
  lblWelcomeWatcher.wordWrap = true;

  tsHotkeys = &Add<ui::Page>(*pcView, L"tsHotkeys", L"Global Hotkeys");
  BuildHotkeyPage();

  // ---- the last restore's report: one line per program, copyable as text
  tsReport = &Add<ui::Page>(*pcView, L"tsReport", L"Restore Report");
  txtReport = &Add<ui::Memo>(tsReport, L"txtReport", Box{4, 4, PageInner, 238});
  txtReport->SetAnchors(ui::akAll);
  txtReport->readOnly = true;
  btnCopyReport = &Add<ui::Button>(tsReport, L"btnCopyReport", Box{PageInner - 75 + 4, 246, 75, 25}, L"Copy");
  btnCopyReport->SetAnchors(ui::akRight | ui::akBottom);
  btnCopyReport->onClick = [this] { btnCopyReportClick(); };

  // ---- view menu
  pmChangeView = std::make_unique<ui::PopupMenu>(L"pmChangeView");
  pmChangeView->Add(L"MIGettingStarted1", L"Getting Started", [this] { MIGettingStarted1Click(); });
  pmChangeView->Add(L"MIStatus1", L"Status", [this] { MIStatus1Click(); });
  pmChangeView->Add(L"MIDefaultConfig1", L"Default Config", [this] { MIDefaultConfig1Click(); });
  pmChangeView->Add(L"MIGlobalHotkeys1", L"Global Hotkeys", [this] { MIGlobalHotkeys1Click(); });
  pmChangeView->Add(L"MIRestoreReport1", L"Restore Report", [this] { MIRestoreReport1Click(); });
  pmChangeView->AddSeparator();
  pmChangeView->Add(L"MICommandLineOptions1", L"Command Line Options ...", [this] { MICommandLineOptions1Click(); });
  pmChangeView->onPopup = [this] { pmChangeViewPopup(); };

  // ---- timers
  timDelayedClear = &AddTimer(L"timDelayedClear", StatusClearMs, true, [this] { timDelayedClearTimer(); });
  timGetForeground = &AddTimer(L"timGetForeground", ForegroundPollMs, false, [this] { timGetForegroundTimer(); });
  timGetTopPrograms = &AddTimer(L"timGetTopPrograms", static_cast<uint32_t>(hiddenSetting.TopProgramsIntervalMS),
                                false, [this] { watcher.timGetTopProgramsTimer(); });
}

void TFrmMain::InitMainWindow() {
  AppendLog(L"TFrmMain Create");

  TMonitors::GatherMonitorsInfo();
  if (TMonitors::getList().Count() <= 1) {
    ws().MessageBoxW(0, L"Multiple Monitors required. Terminating", AppTitle, wc::MB_OK | wc::MB_ICONERROR);
    ui::app::Terminate();
    return;
  }

  DetectMonitorLayout();
  ClearStatus();

  // The first display detects the layout afresh.
  flastMonitorID = -1;
  ml = ml_None;

  pcLayout->SetActiveIndex(0);
  pcLayout->SetTabsVisible(false);
  pcLayout->SetActivePage(tsHorz);
  pcView->SetActiveIndex(0);
  pcView->SetTabsVisible(false);
  pcView->SetActivePage(tsStatus);
  pcWelcome->SetActiveIndex(0);
  pcConfig->SetActiveIndex(0);
  seDelay->SetAlignment(ui::Align::Right);

  HotkeyList.clear();
  try {
    LoadSaveConfig(false);
  } catch (const TWideError& e) {
    // Said once; the set-up goes on with the values read (the watcher is switched from its box
    // below, as the load would have). A later Save that fails again goes to the error handler.
    AppendLog(L"LSC: " + e.Message());
    ws().MessageBoxW(0, e.Message(), AppTitle, wc::MB_OK | wc::MB_ICONERROR);
  }
  // Reading the hotkeys writes nothing, so it cannot fail the way the load above can.
  LoadSaveHotkeys(false);

  // A stored interval of 0 or below stays in the file as it is, but would run the snapshot at every
  // tick of the foreground timer (0) or never (below): the timer gets the default then.
  if (hiddenSetting.TopProgramsIntervalMS > 0) {
    timGetTopPrograms->SetInterval(static_cast<uint32_t>(hiddenSetting.TopProgramsIntervalMS));
  } else {
    AppendLog(L"TopProgramsIntervalMS " + IntText(hiddenSetting.TopProgramsIntervalMS) +
              L" is not an interval; the snapshot runs every " + IntText(RHiddenSettings{}.TopProgramsIntervalMS) +
              L" ms");
    timGetTopPrograms->SetInterval(static_cast<uint32_t>(RHiddenSettings{}.TopProgramsIntervalMS));
  }

  TTimerManager::add(*timGetForeground);
  TTimerManager::add(*timGetTopPrograms);
  TTimerManager::setEnabled(*timGetForeground, true);

  // Monitor Watcher: switched from cbWatcherOnStart, with a first snapshot when on.
  SetMonitorWatcher(cbWatcherOnStart->Checked());
  if (MonitorWatcher()) watcher.timGetTopProgramsTimer();

  fore.hwnd = 0;

  // Display event window: the watcher's connect, disconnect and resolution-change listeners.
  if (TFrmMonitorEvent* events = FrmMonitorEvent()) {
    events->RegisterConnectListener([this] { watcher.OnMonitorConnect(); });
    events->RegisterDisconnectListener([this] { watcher.OnMonitorDisconnect(); });
    events->RegisterResolutionChange([this] { watcher.OnResolutionChange(); });
  }
}

// ---------------------------------------------------------------- status line

void TFrmMain::ShowStatus(const std::wstring& text, bool keep) {
  if (!text.empty() && pcView->ActivePage() != tsStatus) pcView->SetActivePage(tsStatus);
  timDelayedClear->SetEnabled(false);
  if (!fLastMessage.empty()) txtLog->AddLine(fLastMessage);
  if (txtLog->LineCount() > StatusLogLines) txtLog->DeleteLine(0);
  txtLog->LineScroll(txtLog->LineCount() - 1);
  lblMessage->SetText(text);
  fLastMessage = keep ? text : std::wstring();
  // Long operations call this between their steps: the text shows at once.
  ui::app::ProcessPendingMessages();
  timDelayedClear->SetEnabled(true);
}

void TFrmMain::ClearStatus() { ShowStatus(L"", false); }

void TFrmMain::timDelayedClearTimer() { ClearStatus(); }

// ---------------------------------------------------------------- monitor layout

void TFrmMain::DetectMonitorLayout() {
  const TMonitorLayout old = ml;
  ml = ml_Horz;
  const std::vector<MonitorDesc> monitors = ws().EnumMonitors();
  if (monitors.size() > 1) {
    const TRect& m1 = monitors[0].bounds;
    const TRect& m2 = monitors[1].bounds;
    // Bottom edges are exclusive: monitors stacked edge to edge are not apart vertically.
    if (m2.Bottom < m1.Top || m1.Bottom < m2.Top) ml = ml_Vert;
    if (ml != old) {
      AppendLog(L"DML: M1 = " + RectToText(m1));
      AppendLog(L"DML: M2 = " + RectToText(m2));
    }
  }
  pcLayout->SetActivePage(ml == ml_Vert ? tsVert : tsHorz);
  if (old != ml_None && ml != old) {
    AppendLog(std::wstring(L"DML: new layout detected - was ") + LayoutName(old));
    AppendLog(std::wstring(L"DML: new layout detected - is ") + LayoutName(ml));
    TMonitors::GatherMonitorsInfo();
  }
}

void TFrmMain::WMDisplayChange() {
  watcher.OnDisplayChange();
  if (watcher.powerDetectionEventRunning) {
    AppendLog(L"WMDisplayChange - event running");
    return;
  }
  const TMonitorLayout old = ml;
  DetectMonitorLayout();
  if (ml != old) {
    AppendLog(L"WMDisplayChange - detected new layout");
    if (Visible()) ShowForeground(false);
  }
}

intptr_t TFrmMain::WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg == wc::WM_DISPLAYCHANGE) WMDisplayChange();
  if (msg == wc::WM_HOTKEY) {
    WMHotKey(wParam, lParam);
    return 0;
  }
  return ui::Form::WndProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- move buttons

void TFrmMain::MoveButton(bool (*move)(WindowHandle, bool), const wchar_t* word) {
  if (fore.hwnd == 0) return;
  // The Shift key as it is at the click, not when a move that runs now is done.
  const bool shift = TKeys::IsPressedNow(wc::VK_SHIFT);
  // A move request like any other: one that runs (its status line pumps) gets this one after it.
  TMoveQueue::Run(std::wstring(L"button ") + word, [this, move, word, shift] {
    // The window never takes the foreground: this is still the program the user worked in.
    TForeGround::GetInfo(fore);
    ShowStatus(L"Moving [" + fore.EXEName + L"] " + word + L" ", true);
    move(shift ? fore.hwnd : 0, false);
    ShowForeground(false);
    if (cbAutoClose->Checked()) Hide();
  });
}

void TFrmMain::btnLeftClick() { MoveButton(&TMove::MoveProgramLeft, L"Left"); }
void TFrmMain::btnRightClick() { MoveButton(&TMove::MoveProgramRight, L"Right"); }
void TFrmMain::btnUpClick() { MoveButton(&TMove::MoveProgramUp, L"Up"); }
void TFrmMain::btnDownClick() { MoveButton(&TMove::MoveProgramDown, L"Down"); }

// ---------------------------------------------------------------- other buttons

void TFrmMain::btnDebugClick() {
  if (DebugWindowHandler())
    DebugWindowHandler()();
  else
    AppendLog(L"btnDebugClick: no debug window");
}

void TFrmMain::btnExitProgramClick() { ui::app::Terminate(); }

// ---------------------------------------------------------------- view menu

void TFrmMain::btnViewClick() {
  // The client area's screen origin: the window's corner less the frame the styles give.
  TRect frame{0, 0, 0, 0};
  ws().AdjustWindowRectExForDpi(frame, Style().style, Style().exStyle, Dpi());
  const TRect r = btnView->ClientRect();
  const TPoint at{Left() - frame.Left + r.Left, Top() - frame.Top + r.Bottom};
  pmChangeView->Popup(*this, at);
}

void TFrmMain::pmChangeViewPopup() {
  static constexpr const wchar_t* byPage[] = {L"MIStatus1", L"MIDefaultConfig1", L"MIGettingStarted1",
                                              L"MIGlobalHotkeys1", L"MIRestoreReport1"};
  constexpr int32_t pages = static_cast<int32_t>(std::size(byPage));
  for (const wchar_t* name : byPage) pmChangeView->Find(name)->enabled = true;
  const int32_t index = pcView->ActiveIndex();
  if (index >= 0 && index < pages) pmChangeView->Find(byPage[index])->enabled = false;
}

void TFrmMain::SelectView(ui::Page* page) {
  pcView->SetActivePage(page);
  ReturnForeground();
}

void TFrmMain::MIGettingStarted1Click() { SelectView(tsWelcome); }
void TFrmMain::MIStatus1Click() { SelectView(tsStatus); }
void TFrmMain::MIDefaultConfig1Click() { SelectView(tsDefaultConfig); }
void TFrmMain::MIGlobalHotkeys1Click() { SelectView(tsHotkeys); }
void TFrmMain::MIRestoreReport1Click() {
  FillReport();
  SelectView(tsReport);
}

void TFrmMain::ShowRestoreReport() {
  ShowAndRaise();
  // After the showing, which may say something on the status line and so turn to its page.
  FillReport();
  pcView->SetActivePage(tsReport);
}

void TFrmMain::FillReport() {
  txtReport->ClearLines();
  const std::vector<std::wstring>& report = watcher.LastReport();
  if (report.empty()) txtReport->AddLine(L"No restore has run since Tessary started.");
  for (const std::wstring& line : report) txtReport->AddLine(line);
}

void TFrmMain::btnCopyReportClick() {
  const std::wstring text = watcher.ReportText();
  if (text.empty()) return;
  if (!ws().SetClipboardText(text)) AppendLog(L"Restore report: could not copy", true);
}

void TFrmMain::MICommandLineOptions1Click() {
  if (TFrmDummyInstance* instance = FrmDummyInstance())
    instance->HandleCommandLine(L"-?");
  else
    ShowSyntaxHelp();
}

void TFrmMain::ReturnForeground() {
  if (Handle() == 0 || TFocusManager::FMGetForegroundWindow(10) != Handle()) return;
  const WindowHandle below = TFocusManager::GetNextToFocus(Handle(), true);
  if (below != 0) TFocusManager::ForceForeground(below, false);
}

// ---------------------------------------------------------------- Monitor Watcher

void TFrmMain::SetSnapshotTimer(bool on) {
  // The set-up loads the settings (which switch the watcher) before it registers the timers:
  // until then the timer is switched itself, and its registration takes that state over.
  if (TTimerManager::IsManaged(*timGetTopPrograms))
    TTimerManager::setEnabled(*timGetTopPrograms, on);
  else
    timGetTopPrograms->SetEnabled(on);
}

void TFrmMain::PauseManagedTimers() { TTimerManager::pauseAllEnabled(); }

// The cycle's worker hands this to the user-interface thread: the timers are that thread's.
void TFrmMain::ResumeManagedTimers() { TTimerManager::resumeAllPreviouslyEnabled(); }

// A report page in view shows the newest report.
void TFrmMain::WatcherCycleEnded() {
  if (pcView->ActivePage() == tsReport) FillReport();
}

// ---------------------------------------------------------------- foreground watch

void TFrmMain::timGetForegroundTimer() {
  watcher.Tick();
  if (!Visible()) return;
  if (!TForeGround::isForeground(fore) || std::exchange(integrityRetryPending, false)) ShowForeground(false);
}

}  // namespace tessary
