// The tray window: never shown, it owns the program's icon in the notification area, keeps the
// icon's picture in step with the Monitor Watcher, answers clicks on it with the main window, the
// debug window or the tray menu, and watches Scroll Lock (on switches the watcher off). It also
// keeps the two exception list files from start to exit.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "desktop/Owned.h"
#include "desktop/WindowSystem.h"
#include "ui/Ui.h"

namespace tessary {

// A list file's content, kept exactly as it was read, so that it is written back byte for byte.
struct TExeListFile {
  std::wstring fileName;       // in the data folder
  std::vector<uint8_t> bytes;  // lines of name=1; empty when the file did not exist
  // False when the file exists but could not be read: writing it back would destroy it.
  bool writeBack = true;
};

class TfrmSysTrayMenu : public ui::Form {
 public:
  static constexpr const wchar_t* ClassName = L"Tessary.FrmSysTrayMenu";
  static constexpr const wchar_t* Caption = L"Tessary - System Tray";
  static constexpr uint32_t WM_TRAYICON = wc::WM_USER + 1;
  static constexpr uint32_t IconId = 0;
  static constexpr uint32_t DisabledIntervalMs = 1300;
  static constexpr int32_t ImageOff = 0, ImageOn = 1;

  // FormCreate: the window (never shown), the images, the icon, "TaskbarCreated", the lists.
  TfrmSysTrayMenu();
  // FormDestroy: the icon goes, the lists are written.
  ~TfrmSysTrayMenu() override;

  void FormCreate();
  void FormDestroy();
  // Adds the icon with the picture of the watcher's state now (and the tip when there is one).
  void AddTrayIcon();
  void SetIcon(int32_t index);
  void SetIconNormal() { SetIcon(ImageOn); }
  void SetIconIgnore() { SetIcon(ImageOff); }
  // "Tessary v" and the About box's version label; empty before the About box exists.
  std::wstring GetTipText() const;
  intptr_t WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  void WMTrayIcon(intptr_t lParam);
  // inmenu null: builds the tray menu and shows it at the mouse; otherwise adds the items to it.
  // Runs a modal menu loop: other messages (a second click, timers) run inside it.
  void ShowPopup(ui::MenuItem* inmenu);
  void timDisabledTimer();

  // ---- state
  NotifyIconData TrayIcon;  // kept between calls: fields not rewritten keep their last value
  IconHandle iconPic = 0;   // the image last given to the shell (one of ilTrayIcons)
  // Whether the shell took the icon. A busy shell may refuse it (it times out): the timer asks
  // again, so the program does not run on without a way to reach it.
  bool iconAdded = false;
  bool iconRefusalLogged = false;
  bool PopupShowing = false;
  uint32_t WM_TASKBAR_CREATE = 0;
  int32_t CurrentIconIndex = 0;
  TExeListFile DisalbedEXEs{L"disabled.ini", {}, true};
  TExeListFile NoRightClickEXEs{L"noright.ini", {}, true};
  std::unique_ptr<ui::PopupMenu> TrayPopup;
  ui::Timer* timDisabled = nullptr;
  // The tray images at the size the shell draws small icons, and the menu's image 0.
  std::array<OwnedIcon, 4> ilTrayIcons{};
  OwnedIcon ilPopupIcon0;

 private:
  void LoadImages();
  static void ReadList(TExeListFile& list);
  static void WriteList(const TExeListFile& list);
  bool destroyed_ = false;
};

// The tray window of this process, or nullptr.
TfrmSysTrayMenu* FrmSysTrayMenu();

}  // namespace tessary
