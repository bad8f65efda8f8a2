// The debug window: the most recent log lines while it is open, Copy and Save of the whole log,
// the auto-save switch and the listing tools. Closing it only hides it; its destruction at the
// end of the program saves the log when auto-save is ticked.
//
// The log may be appended from the restore worker too, so the list is never touched from the log
// itself: an append that changed the window's rows posts one message to the window, and the
// window copies the rows on its own thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "desktop/WinConst.h"
#include "desktop/WindowSystem.h"
#include "ui/Ui.h"

namespace tessary {

class TFrmDebug : public ui::Form {
 public:
  static constexpr const wchar_t* ClassName = L"Tessary.FrmDebug";
  static constexpr int32_t DesignWidth = 569, DesignHeight = 503;
  // Posted when the log's rows changed; handled by copying them into Memo1.
  static constexpr uint32_t WM_ROWS_CHANGED = wc::WM_APP + 0x44;

  // Builds the controls, creates the window (hidden; the desktop as its owner) and runs FormCreate.
  TFrmDebug();
  ~TFrmDebug() override;

  void FormCreate();
  void FormShow();
  void FormDestroy();
  void btnCopyClick();
  void btnSaveClick();
  void cbAutoSaveClick();
  void btnZorderClick();
  void btnZOrderDumpClick();
  void btnTaskBarClick();
  void btnTaskDumpClick();
  void btnCheckKeysClick();
  void btnKillClick();
  // Brings Memo1 in step with the log's rows.
  void RefreshRows();
  intptr_t WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

  ui::Label* Label1 = nullptr;
  ui::ListBox* Memo1 = nullptr;
  ui::CheckBox* cbAutoSave = nullptr;
  ui::Button* btnCopy = nullptr;
  ui::Button* btnSave = nullptr;
  ui::Button* btnZorder = nullptr;
  ui::Button* btnZOrderDump = nullptr;
  ui::Button* btnTaskBar = nullptr;
  ui::Button* btnTaskDump = nullptr;
  ui::Button* btnCheckKeys = nullptr;
  ui::Button* btnKill = nullptr;

 private:
  // What the log's notification reaches: it may outlive the form on another thread.
  struct Notify {
    std::atomic<WindowHandle> window{0};
    std::atomic<bool> posted{false};
  };
  std::shared_ptr<Notify> notify_ = std::make_shared<Notify>();
  uint64_t shownVersion_ = 0;
  bool destroyed_ = false;
};

// The debug window of this process, or nullptr.
TFrmDebug* FrmDebug();

}  // namespace tessary
