#include "shell/UnitFrmDebug.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "desktop/WinConst.h"
#include "diagnostics/DebugLog.h"
#include "shell/DebugTools.h"
#include "moving/UnitFocusManager.h"

namespace tessary {

namespace {
TFrmDebug* g_debug = nullptr;

constexpr int32_t kButtonLeft = 482, kButtonWidth = 79, kButtonHeight = 25;
constexpr size_t kMostNewRows = 250;  // more new lines than this at once: the list is filled afresh

// Brings the list to rows row by row when rows is what appends make of it: new lines on top, the
// old first row perhaps with a new repeat count, the oldest rows dropped at the bottom. So the
// list keeps its scroll position and does not flicker. False when rows is something else.
bool PatchRows(ui::ListBox& list, const std::vector<std::wstring>& rows) {
  const std::vector<std::wstring>& old = list.Rows();
  if (old.empty() || rows.empty()) return false;
  for (size_t k = 0; k < std::min(rows.size(), kMostNewRows); ++k) {
    // rows[k] is where the old first row went; below it the old rows follow unchanged.
    const size_t below = rows.size() - k - 1;
    if (below > old.size() - 1) continue;
    if (!std::equal(rows.begin() + static_cast<std::ptrdiff_t>(k + 1), rows.end(), old.begin() + 1)) continue;
    if (rows[k] != old[0]) {
      list.DeleteRow(0);
      list.InsertRow(0, rows[k]);
    }
    for (size_t j = k; j-- > 0;) list.InsertRow(0, rows[j]);
    while (static_cast<size_t>(list.RowCount()) > rows.size()) list.DeleteRow(list.RowCount() - 1);
    return list.Rows() == rows;
  }
  return false;
}
}  // namespace

TFrmDebug* FrmDebug() { return g_debug; }

TFrmDebug::TFrmDebug()
    : ui::Form(ClassName, L"Debug Window", DesignWidth, DesignHeight,
               ui::FormStyle{wc::WS_OVERLAPPED | wc::WS_CAPTION | wc::WS_SYSMENU | wc::WS_THICKFRAME,
                             wc::WS_EX_APPWINDOW, 0}) {
  g_debug = this;

  Label1 = &Add<ui::Label>(nullptr, L"Label1", ui::Box{8, 8, 120, 13}, L"Most Recent Log Items");
  Memo1 = &Add<ui::ListBox>(nullptr, L"Memo1", ui::Box{8, 27, 466, 468});
  Memo1->rowHeight = 13;
  Memo1->SetAnchors(ui::akAll);
  cbAutoSave = &Add<ui::CheckBox>(nullptr, L"cbAutoSave", ui::Box{400, 6, 161, 17}, L"Auto-Save on program Exit");
  cbAutoSave->SetAnchors(ui::akTop | ui::akRight);

  auto button = [this](const wchar_t* name, const wchar_t* caption, int32_t top, void (TFrmDebug::*handler)()) {
    ui::Button& b = Add<ui::Button>(nullptr, name, ui::Box{kButtonLeft, top, kButtonWidth, kButtonHeight}, caption);
    b.SetAnchors(ui::akTop | ui::akRight);
    b.onClick = [this, handler] { (this->*handler)(); };
    return &b;
  };
  btnCopy = button(L"btnCopy", L"Copy", 64, &TFrmDebug::btnCopyClick);
  btnSave = button(L"btnSave", L"Save", 95, &TFrmDebug::btnSaveClick);
  btnZorder = button(L"btnZorder", L"Z Order", 160, &TFrmDebug::btnZorderClick);
  btnZOrderDump = button(L"btnZOrderDump", L"Z Dump", 191, &TFrmDebug::btnZOrderDumpClick);
  btnTaskBar = button(L"btnTaskBar", L"TaskButtons", 280, &TFrmDebug::btnTaskBarClick);
  btnTaskDump = button(L"btnTaskDump", L"Tasks Dump", 311, &TFrmDebug::btnTaskDumpClick);
  btnCheckKeys = button(L"btnCheckKeys", L"Chk Keys", 359, &TFrmDebug::btnCheckKeysClick);
  btnKill = button(L"btnKill", L"Kill Program", 470, &TFrmDebug::btnKillClick);
  cbAutoSave->onClick = [this] { cbAutoSaveClick(); };

  onShow = [this] { FormShow(); };
  onDestroy = [this] { FormDestroy(); };

  // Owned by the desktop, which on Windows means owned by nobody: it stays independent of the
  // main window and has its own taskbar button.
  CreateWindow(ws().GetDesktopWindow());
  CenterOnScreen();
  FormCreate();
}

TFrmDebug::~TFrmDebug() {
  DestroyWindow();
  FormDestroy();  // also when the window was never created
  if (g_debug == this) g_debug = nullptr;
}

void TFrmDebug::FormCreate() {
  debugview::AttachWindow();
  notify_->window = Handle();
  debugview::SetRowsChangedHandler([n = notify_] {
    const WindowHandle h = n->window;
    if (h == 0 || n->posted.exchange(true)) return;  // one message at a time is enough
    if (!ws().PostMessageW(h, WM_ROWS_CHANGED, 0, 0)) n->posted = false;
  });
}

void TFrmDebug::FormShow() {
  TFocusManager::ForceForeground(Handle(), false);
  debugview::Open();
  RefreshRows();
}

void TFrmDebug::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  notify_->window = 0;
  debugview::SetRowsChangedHandler(nullptr);
  Memo1->ClearRows();
  debugview::DetachWindow();  // logs, and saves the log when auto-save is on
}

void TFrmDebug::RefreshRows() {
  // The version first: an append after it moves it again and brings another refresh.
  const uint64_t version = debugview::RowsVersion();
  if (version == shownVersion_) return;
  shownVersion_ = version;
  std::vector<std::wstring> rows = debugview::Rows();
  if (rows != Memo1->Rows() && !PatchRows(*Memo1, rows)) Memo1->SetRows(std::move(rows));
}

intptr_t TFrmDebug::WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case WM_ROWS_CHANGED:
      notify_->posted = false;
      RefreshRows();
      return 0;
    case wc::WM_CLOSE:
      debugview::Hide();  // closing only hides; the rows stop following the log
      break;
    case wc::WM_SHOWWINDOW:
      if (wParam == 0) debugview::Hide();  // hidden by anyone else
      break;
    default:
      break;
  }
  return ui::Form::WndProc(msg, wParam, lParam);
}

void TFrmDebug::btnCopyClick() {
  if (!ws().SetClipboardText(LogText())) AppendLog(L"FD: could not copy the log to the clipboard", true);
}

void TFrmDebug::btnSaveClick() {
  if (SaveLog(L"Debug.txt")) {
    ws().MessageBoxW(Handle(), L"Debug.txt Created", L"Tessary", wc::MB_OK);
    return;
  }
  AppendLog(L"FD: could not write Debug.txt", true);
  ws().MessageBoxW(Handle(), L"Debug.txt could not be written", L"Tessary", wc::MB_OK | wc::MB_ICONERROR);
}

void TFrmDebug::cbAutoSaveClick() { SetSaveOnExit(cbAutoSave->Checked()); }

namespace {
// The list shows the listing also when it stopped half-way.
template <class Listing>
void ListThenRefresh(TFrmDebug& form, Listing listing) {
  try {
    listing();
  } catch (...) {
    form.RefreshRows();
    throw;
  }
  form.RefreshRows();
}
}  // namespace

void TFrmDebug::btnZorderClick() {
  ListThenRefresh(*this, [this] { ZOrderListing(Handle()); });
}

void TFrmDebug::btnZOrderDumpClick() {
  ListThenRefresh(*this, [this] { ZOrderDump(Handle()); });
}

void TFrmDebug::btnTaskBarClick() {
  ListThenRefresh(*this, [this] { TaskButtonsListing(Handle()); });
}

void TFrmDebug::btnTaskDumpClick() {
  ListThenRefresh(*this, [this] { TasksDump(Handle()); });
}

void TFrmDebug::btnCheckKeysClick() {
  ListThenRefresh(*this, [] { CheckKeys(); });
}

void TFrmDebug::btnKillClick() {}

}  // namespace tessary
