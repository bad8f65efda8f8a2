#include "shell/UnitFrmAbout.h"

#include <utility>

#include "desktop/WinConst.h"
#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "util/UnitText.h"

// A string literal, set by CMake from its cache entry of the same name.
#ifndef TESSARY_WEB_ADDRESS
#define TESSARY_WEB_ADDRESS ""
#endif

namespace tessary {

namespace {
TFrmAbout* g_about = nullptr;

ui::FontDesc Verdana(bool underline = false) {
  ui::FontDesc f;
  f.face = L"Verdana";
  f.bold = true;
  f.underline = underline;
  return f;
}
}  // namespace

TFrmAbout* FrmAbout() { return g_about; }

std::wstring TFrmAbout::BuiltWebAddress() { return L"" TESSARY_WEB_ADDRESS; }

// No system menu, so no caption buttons: it closes through "Close" or Escape.
TFrmAbout::TFrmAbout(std::wstring webAddress)
    : ui::Form(ClassName, L"About ", DesignWidth, DesignHeight,
               ui::FormStyle{wc::WS_POPUP | wc::WS_CAPTION, wc::WS_EX_DLGMODALFRAME, 0}),
      webAddress_(std::move(webAddress)) {
  g_about = this;
  keyPreview = true;

  Image1 = &Add<ui::Picture>(nullptr, L"Image1", ui::Box{8, 16, 46, 49});
  Label1 = &Add<ui::Label>(nullptr, L"Label1", ui::Box{85, 16, 60, 13}, L"Tessary");
  Label4 = &Add<ui::Label>(nullptr, L"Label4", ui::Box{85, 32, 55, 13}, L"Version:");
  lblVersion = &Add<ui::Label>(nullptr, L"lblVersion", ui::Box{143, 32, 40, 13}, L"X.X.X");
  lblBuild = &Add<ui::Label>(nullptr, L"lblBuild", ui::Box{184, 32, 160, 13}, L"lblBuild");
  const bool link = !webAddress_.empty();
  lblURL = &Add<ui::Label>(nullptr, L"lblURL", ui::Box{73, 64, 178, 13}, link ? webAddress_ : std::wstring(Maker));
  // Three lines high: in Tahoma the text wraps onto a third line at this width.
  Label3 = &Add<ui::Label>(nullptr, L"Label3", ui::Box{73, 88, 214, 39}, link ? LinkHint : ReportHint);
  Button1 = &Add<ui::Button>(nullptr, L"Button1", ui::Box{279, 132, 57, 25}, L"Close");

  for (ui::Label* l : {Label1, Label4, lblVersion, lblBuild}) l->SetFont(Verdana());
  lblURL->SetFont(Verdana(link));
  lblURL->transparent = true;
  Label3->wordWrap = true;
  Button1->isCancel = true;

  Button1->onClick = [this] { Button1Click(); };
  if (link) {
    lblURL->onClick = [this] { lblURLClick(); };
    lblURL->onMouseEnter = [this] { lblURLMouseEnter(); };
    lblURL->onMouseLeave = [this] { lblURLMouseLeave(); };
  }
  onKeyUp = [this](uint16_t key) { FormKeyUp(key); };

  CreateWindow();
  DrawLogo(*Image1);
  CenterOnScreen();
  FormCreate();
}

TFrmAbout::~TFrmAbout() {
  DestroyWindow();
  if (g_about == this) g_about = nullptr;
}

void TFrmAbout::FormCreate() {
  AppendLog(L"FrmAbout - creating");
  lblVersion->SetText(L"");
  uint16_t v[4] = {};
  if (!ws().GetFileVersion(ws().GetModuleFileNameW(), v)) return;
  lblVersion->SetText(IntText(v[0]) + L"." + IntText(v[1]));
  lblBuild->SetText(L" build " + IntText(v[2]) + L"-" + IntText(v[3]));
}

std::wstring TFrmAbout::GetVersion() const { return lblVersion->Text() + lblBuild->Text(); }

void TFrmAbout::Button1Click() { Hide(); }

void TFrmAbout::lblURLClick() {
  if (webAddress_.empty()) return;
  if (!ws().ShellExecuteOpen(webAddress_)) AppendLog(L"FA: could not open " + webAddress_, true);
}

void TFrmAbout::lblURLMouseEnter() { lblURL->SetCursor(ui::Cursor::UpArrow); }
void TFrmAbout::lblURLMouseLeave() { lblURL->SetCursor(ui::Cursor::Default); }

void TFrmAbout::FormKeyUp(uint16_t key) {
  if (key == wc::VK_ESCAPE) Button1->Click();
}

void TFrmAbout::FormKeyPress(wchar_t /*key*/) {}

intptr_t TFrmAbout::WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  const intptr_t result = ui::Form::WndProc(msg, wParam, lParam);
  if (msg == wc::WM_DPICHANGED) DrawLogo(*Image1);  // the new canvas starts blank
  return result;
}

void TFrmAbout::DrawLogo(ui::Picture& picture) {
  const ui::Form& form = picture.GetForm();
  auto S = [&form](int32_t l, int32_t t, int32_t r, int32_t b) {
    return TRect{form.Scale(l), form.Scale(t), form.Scale(r), form.Scale(b)};
  };
  constexpr uint32_t frame = ui::RGB(64, 64, 64), screen = ui::RGB(58, 110, 165), arrow = ui::RGB(245, 166, 35);
  picture.FillRect(S(0, 0, 46, 49), picture.background);
  for (int32_t x : {1, 24}) {
    picture.Rectangle(S(x, 10, x + 21, 28), frame, screen);
    picture.FillRect(S(x + 8, 28, x + 13, 32), frame);  // stand
    picture.FillRect(S(x + 4, 32, x + 17, 34), frame);  // foot
  }
  picture.FillRect(S(7, 17, 33, 21), arrow);  // shaft, across the gap between the screens
  // Head: columns that narrow towards the tip.
  for (int32_t i = 0; i < 6; ++i) picture.FillRect(S(33 + i, 13 + i, 34 + i, 25 - i), arrow);
}

}  // namespace tessary
