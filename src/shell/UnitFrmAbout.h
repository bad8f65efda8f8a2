// The About box: the program's name, its version and build from the executable's version
// resource, and a link to the project's web site when the build names one. Created hidden at
// start-up; the main window and the tray read the version text from it.
#pragma once
#include <string>

#include "ui/Ui.h"

namespace tessary {

class TFrmAbout : public ui::Form {
 public:
  static constexpr const wchar_t* ClassName = L"Tessary.FrmAbout";
  static constexpr const wchar_t* Maker = L"The Tessary developers";
  static constexpr const wchar_t* LinkHint =
      L"Got an idea for improvement, a bug to report, or want to donate? Click on the above link.";
  static constexpr const wchar_t* ReportHint =
      L"An idea or a bug to report? Save the log in the debug window and send \"Debug.txt\" to the maintainer.";
  static constexpr int32_t DesignWidth = 357, DesignHeight = 170;

  // The project's public address given to the build (TESSARY_WEB_ADDRESS); empty by default: a
  // link must never lead to a place nobody owns.
  static std::wstring BuiltWebAddress();

  // Builds the controls, creates the window (hidden, centred on the screen) and runs FormCreate.
  // With an address lblURL links to it; without one it names the maker as plain text and Label3
  // says how to report instead.
  explicit TFrmAbout(std::wstring webAddress = BuiltWebAddress());
  ~TFrmAbout() override;

  // lblVersion's caption followed by lblBuild's: "1.0 build 9561-59526".
  std::wstring GetVersion() const;
  const std::wstring& WebAddress() const { return webAddress_; }

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

 private:
  std::wstring webAddress_;
};

// The About box of this process, or nullptr.
TFrmAbout* FrmAbout();

}  // namespace tessary
