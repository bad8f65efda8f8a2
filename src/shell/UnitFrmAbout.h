// The About box: the program's name, its version and build from the executable's version
// resource, and a link to the project's web site. Created hidden at start-up; the main window and
// the tray read the version text from it.
#pragma once
#include <string>

#include "ui/Ui.h"

namespace tessary {

class TFrmAbout : public ui::Form {
 public:
  static constexpr const wchar_t* ClassName = L"Tessary.FrmAbout";
  static constexpr const wchar_t* WebAddress = L"https://github.com/tessary/tessary";
  static constexpr int32_t DesignWidth = 357, DesignHeight = 170;

  // Builds the controls, creates the window (hidden, centred on the screen) and runs FormCreate.
  TFrmAbout();
  ~TFrmAbout() override;

  // lblVersion's caption followed by lblBuild's: "1.0 build 9561-59526".
  std::wstring GetVersion() const;

  void FormCreate();
  void Button1Click();
  void lblURLClick();
  void lblURLMouseEnter();
  void lblURLMouseLeave();
  void FormKeyUp(uint16_t key);
  void FormKeyPress(wchar_t key);
  intptr_t WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

  ui::Picture* Image1 = nullptr;
  ui::Label* Label1 = nullptr;
  ui::Label* Label4 = nullptr;
  ui::Label* lblVersion = nullptr;
  ui::Label* lblBuild = nullptr;
  ui::Label* lblURL = nullptr;
  ui::Label* Label3 = nullptr;
  ui::Button* Button1 = nullptr;

  // The logo: two monitors and an arrow from the left one to the right one.
  static void DrawLogo(ui::Picture& picture);
};

// The About box of this process, or nullptr.
TFrmAbout* FrmAbout();

}  // namespace tessary
