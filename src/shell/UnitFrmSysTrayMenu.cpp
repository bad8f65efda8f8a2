#include "shell/UnitFrmSysTrayMenu.h"

#include "desktop/ResourceIds.h"
#include "desktop/WinConst.h"
#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitKeys.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitGather.h"
#include "moving/UnitMoveQueue.h"
#include "shell/UnitFrmAbout.h"
#include "shell/UnitFrmMain.h"
#include "shell/UnitMisc.h"
#include "shell/UnitSettings.h"
#include "shell/UnitSignIn.h"
#include "util/UnitText.h"

namespace tessary {

using namespace tessary::wc;

namespace {

TfrmSysTrayMenu* g_tray = nullptr;

// Larger list files are not ours; they are neither read nor overwritten.
constexpr size_t kMaxListBytes = 16u << 20;

// What a tray action did, on the main window's status line, shown so that the user sees it.
void Say(const std::wstring& text) {
  AppendLog(L"TRAY: " + text);
  if (TFrmMain* m = FrmMain()) {
    if (!m->Visible()) m->ShowAndRaise();
    m->ShowStatus(text, true);
  }
}

// It places windows: a move request like the others, never run inside one.
void GatherWindowsClick() {
  TMoveQueue::Run(L"gather", [] { TGather::GatherWindows(Say); });
}

// The switch reads the entry afresh: what it shows and what a click does follow the registry,
// also when something else changed it meanwhile.
void StartAtSignInClick() {
  const TSignIn::TEntry entry = TSignIn::Read();
  uint32_t error = 0;
  const bool stop = entry.state == TSignIn::TState::ThisCopy;
  const bool ok = stop ? TSignIn::Disable(error) : TSignIn::Enable(error);
  if (!ok) {
    const std::wstring why = ws().ErrorText(error);
    AppendLog(Format(L"TRAY: the sign-in entry could not be changed: (%u) %s", error, why.c_str()));
    ws().MessageBoxW(0, L"Tessary could not change whether it starts when you sign in:\n" + why, L"Tessary",
                     MB_OK | MB_ICONERROR);
    return;
  }
  if (stop)
    Say(L"Tessary no longer starts when you sign in");
  else if (entry.state == TSignIn::TState::OtherCopy)
    Say(L"Tessary starts when you sign in, this copy instead of " + entry.path);
  else
    Say(L"Tessary starts when you sign in");
}

}  // namespace

TfrmSysTrayMenu* FrmSysTrayMenu() { return g_tray; }

TfrmSysTrayMenu::TfrmSysTrayMenu()
    : ui::Form(ClassName, Caption, 120, 40, ui::FormStyle{WS_POPUP, WS_EX_TOOLWINDOW, 0}) {
  g_tray = this;
  timDisabled = &AddTimer(L"timDisabled", DisabledIntervalMs, true, [this] { timDisabledTimer(); });
  onDestroy = [this] { FormDestroy(); };
  CreateWindow();
  FormCreate();
}

TfrmSysTrayMenu::~TfrmSysTrayMenu() {
  FormDestroy();  // also when the window was never created
  onDestroy = nullptr;  // the base destroys the window after this object's members are gone
  if (g_tray == this) g_tray = nullptr;
}

void TfrmSysTrayMenu::FormCreate() {
  AppendLog(L"TFrmSystemTrayMenu Create");
  TrayPopup = std::make_unique<ui::PopupMenu>(L"TrayPopup");
  LoadImages();
  AddTrayIcon();
  WM_TASKBAR_CREATE = ws().RegisterWindowMessageW(L"TaskbarCreated");
  ReadList(DisalbedEXEs);
  ReadList(NoRightClickEXEs);
}

// At the size the shell draws them, from images made for that size: never scaled up from 16.
void TfrmSysTrayMenu::LoadImages() {
  const int32_t size = ws().GetSmallIconSize();
  for (size_t i = 0; i < ilTrayIcons.size(); ++i) {
    ilTrayIcons[i].reset(ws().LoadIconResource(IDI_TRAY_FIRST + static_cast<int32_t>(i), size));
    if (!ilTrayIcons[i]) AppendLog(L"Tray: image " + IntText(i) + L" not loaded", true);
  }
  ilPopupIcon0.reset(ws().LoadIconResource(IDI_TRAY_ON, size));
}

void TfrmSysTrayMenu::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (Handle() != 0) {
    NotifyIconData rec = TrayIcon;
    rec.window = Handle();
    rec.id = IconId;
    ws().ShellNotifyIcon(NIM_DELETE, rec);
  }
  TrayPopup.reset();
  iconPic = 0;
  for (OwnedIcon& icon : ilTrayIcons) icon.reset();
  ilPopupIcon0.reset();
  WriteList(DisalbedEXEs);
  WriteList(NoRightClickEXEs);
}

// ---------------------------------------------------------------- the icon

std::wstring TfrmSysTrayMenu::GetTipText() const {
  const TFrmAbout* about = FrmAbout();
  if (about == nullptr || about->lblVersion == nullptr) return L"";
  return L"Tessary v" + about->lblVersion->Text();
}

void TfrmSysTrayMenu::AddTrayIcon() {
  // A watcher that is off shows the grey picture from the start, not the coloured one.
  const TFrmMain* main = FrmMain();
  const int32_t index = main != nullptr && !main->MonitorWatcher() ? ImageOff : ImageOn;
  TrayIcon.window = Handle();
  TrayIcon.id = IconId;
  TrayIcon.flags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  TrayIcon.callbackMessage = WM_TRAYICON;
  iconPic = ilTrayIcons[static_cast<size_t>(index)].get();
  TrayIcon.icon = iconPic;
  const std::wstring tip = GetTipText();
  if (!tip.empty()) TrayIcon.tip = tip;
  iconAdded = ws().ShellNotifyIcon(NIM_ADD, TrayIcon);
  if (!iconAdded && !iconRefusalLogged) {
    iconRefusalLogged = true;
    AppendLog(L"Tray: the icon was not added, trying again", true);
  }
  if (iconAdded && iconRefusalLogged) {
    iconRefusalLogged = false;
    AppendLog(L"Tray: the icon was added");
  }
}

void TfrmSysTrayMenu::SetIcon(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(ilTrayIcons.size())) return;
  CurrentIconIndex = index;
  iconPic = ilTrayIcons[static_cast<size_t>(index)].get();
  TrayIcon.window = Handle();
  TrayIcon.id = IconId;
  TrayIcon.flags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  TrayIcon.callbackMessage = WM_TRAYICON;
  TrayIcon.icon = iconPic;
  const std::wstring tip = GetTipText();
  if (!tip.empty()) TrayIcon.tip = tip;
  ws().ShellNotifyIcon(NIM_MODIFY, TrayIcon);
}

void TfrmSysTrayMenu::timDisabledTimer() {
  TFrmMain* main = FrmMain();
  if (main == nullptr) return;
  if (!iconAdded) AddTrayIcon();
  if (TKeys::LockOn(VK_SCROLL)) {
    SetIconIgnore();
    main->SetMonitorWatcher(false);
    return;
  }
  // In step with the state, and with the tip once the About box can give it.
  const int32_t want = main->MonitorWatcher() ? ImageOn : ImageOff;
  const std::wstring tip = GetTipText();
  if (want != CurrentIconIndex || iconPic != ilTrayIcons[static_cast<size_t>(want)].get() ||
      (!tip.empty() && tip != TrayIcon.tip))
    SetIcon(want);
}

// ---------------------------------------------------------------- messages

intptr_t TfrmSysTrayMenu::WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg == WM_TASKBAR_CREATE && WM_TASKBAR_CREATE != 0) {
    AddTrayIcon();  // the shell started again and knows no icons
    return 0;
  }
  if (msg == WM_TRAYICON) {
    WMTrayIcon(lParam);
    return 0;
  }
  return ui::Form::WndProc(msg, wParam, lParam);
}

void TfrmSysTrayMenu::WMTrayIcon(intptr_t lParam) {
  TFrmMain* main = FrmMain();
  switch (static_cast<uint32_t>(lParam)) {
    case WM_LBUTTONDOWN:
      if (main != nullptr) main->ShowAndRaise();
      break;
    case WM_RBUTTONDOWN:
      ShowPopup(nullptr);
      break;
    case WM_RBUTTONDBLCLK:
      if (main != nullptr) main->btnDebugClick();
      break;
    default:
      break;
  }
}

// May nest: the menu's loop dispatches other messages, and PopupShowing turns a second right
// click away while the first menu is open.
void TfrmSysTrayMenu::ShowPopup(ui::MenuItem* inmenu) {
  if (PopupShowing) return;
  PopupShowing = true;
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{PopupShowing};

  AppendLog(L"WMTrayIcon right button ");
  TPoint cursor;
  if (inmenu == nullptr) ws().GetCursorPos(cursor);

  TrayPopup = std::make_unique<ui::PopupMenu>(L"TrayPopup");
  std::vector<ui::MenuItem>& items = inmenu != nullptr ? inmenu->submenu : TrayPopup->Items();
  const bool on = FrmMain() != nullptr && FrmMain()->MonitorWatcher();

  ui::MenuItem watcher;
  watcher.name = L"MIMonitorWatcher";
  watcher.caption = L"&Monitor Watcher ";
  watcher.image = ilPopupIcon0.get();
  ui::MenuItem& enable = watcher.Add(L"MIEnable", L"Enable", [] {
    if (TFrmMain* m = FrmMain()) m->SetMonitorWatcher(true);
  });
  enable.checked = on;
  ui::MenuItem& disable = watcher.Add(L"MIDisable", L"Disable", [] {
    if (TFrmMain* m = FrmMain()) m->SetMonitorWatcher(false);
  });
  disable.checked = !on;
  items.push_back(std::move(watcher));

  ui::MenuItem report;
  report.name = L"MIRestoreReport";
  report.caption = L"&Restore Report";
  report.onClick = [] {
    if (TFrmMain* m = FrmMain()) m->ShowRestoreReport();
  };
  items.push_back(std::move(report));

  ui::MenuItem gather;
  gather.name = L"MIGatherWindows";
  gather.caption = L"&Gather windows";
  gather.onClick = [] { GatherWindowsClick(); };
  items.push_back(std::move(gather));

  const TSignIn::TEntry signIn = TSignIn::Read();
  ui::MenuItem startAtSignIn;
  startAtSignIn.name = L"MIStartAtSignIn";
  startAtSignIn.caption = L"&Start Tessary when I sign in";
  startAtSignIn.checked = signIn.state == TSignIn::TState::ThisCopy;
  startAtSignIn.onClick = [] { StartAtSignInClick(); };
  items.push_back(std::move(startAtSignIn));
  if (signIn.state == TSignIn::TState::OtherCopy)
    if (TFrmMain* m = FrmMain()) m->ShowStatus(L"At sign-in Windows starts another copy: " + signIn.path, true);
  items.push_back(ui::MenuItem{});
  items.push_back(ui::MenuItem{});

  ui::MenuItem about;
  about.name = L"MIAbout";
  about.caption = L"About";
  about.onClick = [] {
    if (TFrmAbout* a = FrmAbout()) {
      a->Show();
      TFocusManager::ForceForeground(a->Handle(), false);
    }
  };
  items.push_back(std::move(about));

  ui::MenuItem exitItem;
  exitItem.name = L"MIExit";
  exitItem.caption = L"Exit  Tessary";
  exitItem.onClick = [] {
    if (TFrmMain* m = FrmMain())
      m->btnExitProgramClick();
    else
      ui::app::Terminate();
  };
  items.push_back(std::move(exitItem));

  if (inmenu != nullptr) return;
  AppendLog(L">>tray popup");
  const TFrmMain* main = FrmMain();
  if (main != nullptr && main->Handle() != 0) ws().SetForegroundWindow(main->Handle());
  TrayPopup->Popup(*this, TPoint{cursor.x + 5, cursor.y - 4});
  if (main != nullptr && main->Handle() != 0) ws().PostMessageW(main->Handle(), WM_NULL, 0, 0);
  AppendLog(L">>tray popup done");
}

// ---------------------------------------------------------------- the list files

void TfrmSysTrayMenu::ReadList(TExeListFile& list) {
  const std::wstring path = GetDataFolder() + list.fileName;
  list.bytes.clear();
  list.writeBack = true;
  if (ws().ReadFileLimited(path, kMaxListBytes, list.bytes)) return;
  // Only a file that is not there is an empty list: one that could not be read (held by another
  // program, say) would be lost if written back empty.
  const uint32_t error = ws().GetLastError();
  list.bytes.clear();
  if (error == wc::ERROR_FILE_NOT_FOUND || error == wc::ERROR_PATH_NOT_FOUND) return;
  list.writeBack = false;
  AppendLog(L"Tray: cannot read " + path + L", it is left as it is", true);
}

void TfrmSysTrayMenu::WriteList(const TExeListFile& list) {
  if (!list.writeBack) return;
  const std::wstring path = GetDataFolder() + list.fileName;
  // Written beside it and put in its place in one step: a write that fails half-way (a full disk)
  // leaves the old list, never a part of the new one.
  const std::wstring temp = TSettingsFile::TempPath(path);
  if (!ws().WriteWholeFile(temp, list.bytes)) {
    AppendLog(L"Tray: cannot write " + path, true);
    ws().DeleteFileW(temp);
    return;
  }
  if (!ws().MoveFileReplacing(temp, path)) {
    AppendLog(L"Tray: cannot write " + path, true);
    ws().DeleteFileW(temp);
  }
}

}  // namespace tessary
