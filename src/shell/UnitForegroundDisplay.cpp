// The foreground panel of the main window: icon, name, title and integrity of the program in
// front, the picture of where its window lies on the desktop, and the one move button that fits.
#include <cstdint>
#include <string>

#include "core/UnitForeground.h"
#include "core/UnitIntegrity.h"
#include "core/UnitSharedTypes.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitFrmMain.h"
#include "shell/UnitMisc.h"

namespace tessary {

namespace {

constexpr uint32_t kGetIconTimeoutMs = 1000;

// The copy of an icon one source yields, or 0 (nothing there, or the copy failed).
IconHandle CopyOf(IconHandle icon) { return icon != 0 ? TFrmMain::CloneIcon(icon) : 0; }

// answered: false when the window did not answer in time (or is gone).
IconHandle AskWindowIcon(WindowHandle h, uintptr_t kind, bool& answered) {
  uintptr_t answer = 0;
  answered = ws().SendMessageTimeoutW(h, wc::WM_GETICON, kind, 0, wc::SMTO_ABORTIFHUNG, kGetIconTimeoutMs, answer);
  return answered ? CopyOf(static_cast<IconHandle>(answer)) : 0;
}

}  // namespace

void TFrmMain::ShowForeground(bool alreadyCaptured) {
  watcher.fmainFormNeedsPlacing = MainMonitorChanged();
  if (!alreadyCaptured) {
    TForeGround::GetInfo(fore);
    // Nothing worth showing: the desktop without a program, a minimized window (empty bounds).
    if (fore.EXEName.empty() || fore.bounds.Width() == 0 || fore.bounds.Height() == 0) fore.hwnd = 0;
  }
  // The panel keeps the last program it could show.
  if (fore.hwnd == 0) return;

  DrawForegroundIcon();
  lblProgram->SetText(fore.EXEName);
  lblProgram->SetHint(fore.EXEName);

  for (ui::Button* b : {btnLeft, btnRight, btnUp, btnDown}) b->SetEnabled(false);

  int32_t level = 0;
  const bool levelRead = Integrity().GetLevel(fore.hwnd, level);
  integrityRetryPending = !levelRead && integrityRetryHwnd != fore.hwnd;
  integrityRetryHwnd = levelRead ? 0 : fore.hwnd;
  if (!levelRead) {
    lblIntegrity->SetText(L"UAC: Unknown");
  } else if (static_cast<int64_t>(level) < static_cast<int64_t>(TIntegrity::IL_HIGH)) {
    lblIntegrity->SetText(L"UAC: Normal");
    // Our own window is never moved from its own buttons.
    if (!SameTextAscii(fore.EXEName, L"Tessary.exe")) {
      if (ml == ml_Vert)
        (fore.isTopMonitor ? btnDown : btnUp)->SetEnabled(true);
      else if (ml == ml_Horz)
        (fore.isLeftMonitor ? btnRight : btnLeft)->SetEnabled(true);
    }
  } else {
    // An elevated program refuses to be moved by us.
    lblIntegrity->SetText(L"UAC: ADMIN");
  }

  const std::wstring title = L"Title: " + GetWindowTitle(fore.hwnd);
  lblTitle->SetText(title);
  lblTitle->SetHint(title);

  if (ml == ml_Vert)
    DrawScreenPicture(*imgScreenV, fore);
  else if (ml == ml_Horz)
    DrawScreenPicture(*imgScreenH, fore);
}

void TFrmMain::btnRefreshClick() { ShowForeground(false); }

void TFrmMain::DrawForegroundIcon() {
  if (fLastIcon) {
    // Detached first, so nothing paints a handle that is gone.
    imgIcon->SetIcon(0);
    fLastIcon.reset();
  }
  imgIcon->FillRect(TRect{0, 0, imgIcon->CanvasWidth(), imgIcon->CanvasHeight()}, imgIcon->background);
  OwnedIcon icon(GetWindowIcon(fore.hwnd));
  if (!icon) AppendLog(L"GASFI: GetIcon failed: ", true);
  // Asking a window for its icon lets sent messages in (a display change, a second start), and
  // they may have drawn an icon meanwhile: that one goes, ours stays.
  if (fLastIcon) imgIcon->SetIcon(0);
  fLastIcon = std::move(icon);
  if (fLastIcon) imgIcon->SetIcon(fLastIcon.get());
  ws().SetLastError(0);
}

IconHandle TFrmMain::GetWindowIcon(WindowHandle h) {
  IWindowSystem& w = ws();
  w.SetLastError(0);
  if (IconHandle copy = CopyOf(w.GetClassIcon(h, wc::GCLP_HICONSM))) return copy;
  w.SetLastError(0);
  bool answered = false;
  if (IconHandle copy = AskWindowIcon(h, wc::ICON_SMALL, answered)) return copy;
  // A program that let the first question time out is not asked again: the display would wait
  // for it twice.
  w.SetLastError(0);
  if (answered) {
    if (IconHandle copy = AskWindowIcon(h, wc::ICON_SMALL2, answered)) return copy;
  }
  w.SetLastError(0);
  return CopyOf(w.GetClassIcon(h, wc::GCLP_HICON));
}

IconHandle TFrmMain::CloneIcon(IconHandle icon) {
  IWindowSystem& w = ws();
  const IconHandle copy = w.CopyIconHandle(icon);
  if (copy == 0) {
    // One call reads the parts, builds the copy and frees the parts; its error says which failed.
    std::wstring text = w.ErrorText(w.GetLastError());
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    AppendLog(L"clone icon: " + text);
  }
  return copy;
}

std::wstring TFrmMain::GetWindowTitle(WindowHandle h) {
  const int32_t length = ws().GetWindowTextLengthW(h);
  if (length <= 0) return L"";
  std::wstring text = ws().GetWindowTextW(h);
  if (text.size() > static_cast<size_t>(length)) text.resize(static_cast<size_t>(length));
  return text;
}

void TFrmMain::DrawScreenPicture(ui::Picture& picture, const TProgramInfo& program) {
  const TRect canvas{0, 0, picture.CanvasWidth(), picture.CanvasHeight()};
  picture.FillRect(canvas, ui::RGB(240, 240, 240));
  TRect r = MapRect(program.bounds, ws().GetVirtualScreenRect(), canvas);
  r.Bottom -= 1;
  picture.Rectangle(r, ui::RGB(0, 0, 0), ui::ColorBtnShadow);
}

}  // namespace tessary
