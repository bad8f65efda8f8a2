// The headless widget backend: forms are real windows of the simulated desktop and their
// controls are nothing but the portable model. Tests act as the user through the drivers below;
// every driver goes through the form's window, as the platform's input would, so an exception in
// a handler ends at the window-procedure boundary exactly as on Windows.
#pragma once
#include <deque>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "ui/Ui.h"

namespace tessary::sim {
class SimDesktop;
}

namespace tessary::ui::headless {

// A menu as it was shown.
struct PopupRecord {
  struct Item {
    std::wstring name, caption;
    bool enabled = true;
    bool checked = false;
    IconHandle image = 0;
    std::vector<Item> submenu;
  };
  std::wstring menu;
  WindowHandle form = 0;
  TPoint at;
  std::vector<Item> items;
  int32_t chosen = -1;  // the depth-first number TrackPopup answered
};

// One notification the model sent to its backend.
struct ChangeRecord {
  std::wstring control;  // the control's name
  Change what;
  int32_t index;
};

class HeadlessBackend final : public IBackend {
 public:
  // The simulated desktop the forms' windows live on: the user's clicks land there.
  explicit HeadlessBackend(sim::SimDesktop& desk) : desk_(desk) {}
  void FormCreated(Form& form) override;
  void FormDestroying(Form& form) override;
  void ControlChanged(Control& control, Change what, int32_t index) override;
  bool FormMessage(Form& form, uint32_t msg, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  int32_t TrackPopup(Form& form, const PopupMenu& menu, TPoint screenPoint) override;

  // The next menu shown picks the item of that name, or in a submenu "parent/child"; with none
  // queued a menu is cancelled. A disabled, unknown or separator item, or one that opens a
  // submenu, cannot be picked: that menu is cancelled.
  void ChooseNext(const std::wstring& itemName) { choices_.push_back(itemName); }
  // While the next menu is open (its modal loop): the action runs, then the messages waiting are
  // dispatched, as the platform's menu loop does, before the choice is made.
  void WhileNextMenuOpen(std::function<void()> action) { whileOpen_.push_back(std::move(action)); }
  const std::vector<PopupRecord>& Popups() const { return popups_; }
  const std::vector<ChangeRecord>& Changes() const { return changes_; }
  void ClearChanges() { changes_.clear(); }
  const std::vector<Form*>& Forms() const { return forms_; }  // windows created and not yet destroyed
  sim::SimDesktop& Desktop() { return desk_; }

 private:
  sim::SimDesktop& desk_;
  std::deque<std::wstring> choices_;
  std::deque<std::function<void()>> whileOpen_;
  std::vector<PopupRecord> popups_;
  std::vector<ChangeRecord> changes_;
  std::vector<Form*> forms_;
};

// Installs a fresh headless backend and a fresh application state for one test; restores none
// on leaving. Tests that use RunOnUiThread call app::InitUiThread() as start-up does.
class HeadlessUi {
 public:
  explicit HeadlessUi(sim::SimDesktop& desk);
  ~HeadlessUi();
  HeadlessUi(const HeadlessUi&) = delete;
  HeadlessUi& operator=(const HeadlessUi&) = delete;
  HeadlessBackend& Backend() { return backend_; }

 private:
  HeadlessBackend backend_;
};

// The installed headless backend (fails the process when another one is installed).
HeadlessBackend& Installed();

// A user's mouse click on the control: the desktop sees a click on the form's window (a normal
// form is activated; a never-activating one is not, and the active program stays active), then
// the control is clicked. False when the user could not click it (hidden, disabled, form hidden).
bool Click(Control& control);
// The user replaces the text (false when the control cannot take input).
bool Type(Edit& edit, const std::wstring& text);
bool Type(SpinEdit& spin, const std::wstring& text);
// The user presses an arrow of a spin edit (+1 up).
bool Step(SpinEdit& spin, int32_t steps);
// The user picks a tab (false when the tabs are hidden or the control cannot take input).
bool PickTab(PageControl& pages, int32_t index);
// A key is released on the form (WM_KEYUP through its window).
void KeyUp(Form& form, uint16_t vk);
// The user presses a key while the control has the focus: the simulated keyboard takes the key
// (keybd_event, so GetKeyboardState and GetKeyState see it), the key goes down on the control as
// WM_KEYDOWN would (key preview, the control, the dialog key), then its character, if it has one,
// is typed as TranslateMessage makes it: one that nobody consumes lands in an edit box. False when
// the control cannot take input.
bool KeyDown(Control& control, uint16_t vk);
// The key is let go: the keyboard first, then the form's key preview of the release.
bool KeyUp(Control& control, uint16_t vk);
// A combination: the keys go down in the order given and come up in the reverse order.
bool Press(Control& control, std::initializer_list<uint16_t> keys);
void ChooseNext(const std::wstring& itemName);
void WhileNextMenuOpen(std::function<void()> action);
// The menu shown last, or null.
const PopupRecord* LastPopup();

}  // namespace tessary::ui::headless
