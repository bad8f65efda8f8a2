#include "shell/DebugTools.h"

#include <cstdint>
#include <string>

#include "core/UnitForeground.h"
#include "core/UnitSharedTypes.h"
#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitKeys.h"
#include "moving/UnitFocusManager.h"
#include "util/UnitToken.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

constexpr int32_t kRetries = 10;
constexpr int32_t kMaxWalk = 1000;
const std::wstring kRule(42, L'-');

// Visible, without parent or owner, and not minimized.
bool IsPlainTopLevel(WindowHandle h) {
  IWindowSystem& w = ws();
  return w.IsWindowVisible(h) && w.GetParent(h) == 0 && w.GetWindow(h, wc::GW_OWNER) == 0 && !w.IsIconic(h);
}

template <class Visit>
void WalkZOrder(WindowHandle self, WindowHandle h, Visit visit) {
  int32_t count = 0;
  while (h != 0) {
    if (IsPlainTopLevel(h)) visit(h);
    h = TFocusManager::FMGetNextWindow(h, kRetries);
    ++count;
    if (h == self || count > kMaxWalk) break;
  }
  // A walk that started at self has not come back to it.
  if (h == self && h != 0) AppendLog(L"repeating");
  if (count > kMaxWalk) AppendLog(L"max reached");
  AppendLog(L"tested=" + IntText(count));
}

// From h down; the walk ends when it comes back to self. Self in front (it usually is: its
// button was just clicked) is listed like any other window.
template <class Visit>
void WalkTaskbar(WindowHandle self, WindowHandle h, Visit visit) {
  while (h != 0) {
    visit(h);
    h = TFocusManager::GetNextToFocus(h, false);
    if (h == self) break;
  }
}

std::wstring TrueFalse(bool b) { return b ? L"True" : L"False"; }

void LogKeyState(const std::wstring& leadIn) {
  std::wstring line = leadIn;
  const struct {
    const wchar_t* name;
    int32_t vk;
  } keys[] = {{L"LWN", wc::VK_LWIN}, {L"SHIFT", wc::VK_SHIFT}, {L"CTRL", wc::VK_CONTROL}, {L"ALT", wc::VK_MENU}};
  bool first = true;
  for (const auto& k : keys) {
    const bool a = TKeys::IsPressedInQueue(k.vk);
    const bool b = TKeys::IsPressedInQueue(k.vk);
    if (!first) line += L' ';
    first = false;
    line += std::wstring(k.name) + L" [" + TrueFalse(a) + L" " + TrueFalse(b) + L"]";
  }
  AppendLog(line);
}

}  // namespace

void ZOrderListing(WindowHandle self) {
  AppendLog(kRule);
  WalkZOrder(self, TFocusManager::FMGetNextWindow(self, kRetries),
             [](WindowHandle h) { AppendLog(L"ZORDER: " + GetProcessExeName(h)); });
}

void ZOrderDump(WindowHandle self) {
  WalkZOrder(self, TFocusManager::FMGetForegroundWindow(kRetries), [](WindowHandle h) { AppendLogEXStyle(h); });
  AppendLog(kRule);
}

void TaskButtonsListing(WindowHandle self) {
  const WindowHandle front = TFocusManager::FMGetForegroundWindow(kRetries);
  AppendLog(kRule);
  WalkTaskbar(self, front, [](WindowHandle h) {
    const std::wstring mark = ws().IsIconic(h) ? L"[minimized] " : L"";
    AppendLog(L"TaskButton ZORDER: " + mark + GetProcessExeName(h));
  });
}

void TasksDump(WindowHandle self) {
  WalkTaskbar(self, TFocusManager::FMGetForegroundWindow(kRetries), [](WindowHandle h) {
    if (TFocusManager::IsLikelyOnTaskbar(h))
      AppendLogEXStyle(h);
    else
      AppendLog(L"Skipping " + GetProcessExeName(h));
  });
}

void CheckKeys() {
  LogKeyState(L"Start ");
  THotkeyData all;
  all.alt = all.ctrl = all.shft = all.win = true;
  TKeys::HandleStuckKeys(all);
  LogKeyState(L"End   ");
}

void AppendLogEXStyle(WindowHandle h) {
  const auto style = static_cast<uint32_t>(ws().GetWindowLongW(h, wc::GWL_EXSTYLE));
  const struct {
    uint32_t bit;
    const wchar_t* name;
  } flags[] = {
      {wc::WS_EX_ACCEPTFILES, L"WS_EX_ACCEPTFILES"},       {wc::WS_EX_DLGMODALFRAME, L"WS_EX_DLGMODALFRAME"},
      {wc::WS_EX_LAYERED, L"WS_EX_LAYERED"},               {wc::WS_EX_LAYOUTRTL, L"WS_EX_LAYOUTRTL"},
      {wc::WS_EX_LEFTSCROLLBAR, L"WS_EX_LEFTSCROLLBAR"},   {wc::WS_EX_MDICHILD, L"WS_EX_MDICHILD"},
      {wc::WS_EX_NOACTIVATE, L"WS_EX_NOACTIVATE"},         {wc::WS_EX_NOINHERITLAYOUT, L"WS_EX_NOINHERITLAYOUT"},
      {wc::WS_EX_NOPARENTNOTIFY, L"WS_EX_NOPARENTNOTIFY"}, {wc::WS_EX_RIGHT, L"WS_EX_RIGHT"},
      {wc::WS_EX_RTLREADING, L"WS_EX_RTLREADING"},         {wc::WS_EX_STATICEDGE, L"WS_EX_STATICEDGE"},
      {wc::WS_EX_TOOLWINDOW, L"WS_EX_TOOLWINDOW"},         {wc::WS_EX_TOPMOST, L"WS_EX_TOPMOST"},
      {wc::WS_EX_TRANSPARENT, L"WS_EX_TRANSPARENT"},       {wc::WS_EX_WINDOWEDGE, L"WS_EX_WINDOWEDGE"},
      {wc::WS_EX_CONTROLPARENT, L"WS_EX_CONTROLPARENT"},   {wc::WS_EX_CONTEXTHELP, L"WS_EX_CONTEXTHELP"},
      {wc::WS_EX_COMPOSITED, L"WS_EX_COMPOSITED"},         {wc::WS_EX_CLIENTEDGE, L"WS_EX_CLIENTEDGE"},
      {wc::WS_EX_APPWINDOW, L"WS_EX_APPWINDOW"},
  };
  std::wstring text;
  for (const auto& f : flags)
    if ((style & f.bit) != 0) text += std::wstring(f.name) + L" ";
  for (const std::wstring& name : Tokenize(text, L' '))
    if (!name.empty()) AppendLog(L"  " + name);
  AppendLog(L"[" + GetProcessExeName(h) + L"]-----");
}

}  // namespace tessary
