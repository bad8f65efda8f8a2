#include "ui/headless/Headless.h"

#include <algorithm>
#include <cstdlib>

#include "platform/sim/SimDesktop.h"

namespace tessary::ui::headless {

using namespace tessary::wc;

namespace {

// Input the drivers hand to a form's window: wParam points to the action to run there.
// The simulated user's message is no call of the program: injected faults do not reach it.
uint32_t InputMessage(sim::SimDesktop& desk) { return desk.RegisteredMessage(L"TessaryHeadlessInput"); }

// Runs the action inside the form's window procedure, where a real control's notification runs.
bool Deliver(Form& form, const std::function<void()>& action) {
  if (form.Handle() == 0) return false;
  ws().SendMessageW(form.Handle(), InputMessage(Installed().Desktop()), reinterpret_cast<uintptr_t>(&action), 0);
  return true;
}

// The mouse goes down on the form's window: it asks the window whether to activate, then the
// desktop applies the click as a user's.
void MouseDown(Form& form) {
  ws().SendMessageW(form.Handle(), WM_MOUSEACTIVATE, form.Handle(), 0);
  Installed().Desktop().SetForeground(form.Handle());
}

}  // namespace

void HeadlessBackend::FormCreated(Form& form) { forms_.push_back(&form); }

void HeadlessBackend::FormDestroying(Form& form) { std::erase(forms_, &form); }

void HeadlessBackend::ControlChanged(Control& control, Change what, int32_t index) {
  changes_.push_back(ChangeRecord{control.Name(), what, index});
}

bool HeadlessBackend::FormMessage(Form&, uint32_t msg, uintptr_t wParam, intptr_t, intptr_t& result) {
  if (msg != InputMessage(desk_) || wParam == 0) return false;
  (*reinterpret_cast<const std::function<void()>*>(wParam))();
  result = 1;
  return true;
}

namespace {

std::vector<PopupRecord::Item> Record(const std::vector<MenuItem>& items) {
  std::vector<PopupRecord::Item> out;
  for (const auto& item : items)
    out.push_back({item.name, item.caption, item.enabled, item.checked, item.image, Record(item.submenu)});
  return out;
}

std::vector<std::wstring> SplitPath(const std::wstring& path) {
  std::vector<std::wstring> names;
  size_t start = 0;
  for (size_t slash; (slash = path.find(L'/', start)) != std::wstring::npos; start = slash + 1)
    names.push_back(path.substr(start, slash - start));
  names.push_back(path.substr(start));
  return names;
}

}  // namespace

int32_t HeadlessBackend::TrackPopup(Form& form, const PopupMenu& menu, TPoint screenPoint) {
  PopupRecord rec;
  rec.menu = menu.Name();
  rec.form = form.Handle();
  rec.at = screenPoint;
  rec.items = Record(menu.Items());
  // Recorded before the modal loop runs, so a menu opened meanwhile comes after this one.
  const size_t index = popups_.size();
  popups_.push_back(rec);
  if (!whileOpen_.empty()) {
    auto action = std::move(whileOpen_.front());
    whileOpen_.pop_front();
    action();
    ws().ProcessPendingMessages();
  }
  int32_t chosen = -1;
  if (!choices_.empty()) {
    const std::wstring want = choices_.front();
    choices_.pop_front();
    const int32_t number = menu.NumberOfPath(SplitPath(want));
    const MenuItem* item = menu.ItemByNumber(number);
    if (item != nullptr && !item->IsSeparator() && item->enabled && item->submenu.empty()) chosen = number;
  }
  popups_[index].chosen = chosen;
  return chosen;
}

namespace {
HeadlessBackend* g_installed = nullptr;
}

HeadlessUi::HeadlessUi(sim::SimDesktop& desk) : backend_(desk) {
  g_installed = &backend_;
  SetBackend(&backend_);
  app::ResetApplication();
}

HeadlessUi::~HeadlessUi() {
  app::ResetApplication();
  SetBackend(nullptr);
  g_installed = nullptr;
}

HeadlessBackend& Installed() {
  // A test drove the headless UI without installing it, or with another backend in place.
  if (g_installed == nullptr || &backend() != g_installed) std::abort();
  return *g_installed;
}

bool Click(Control& control) {
  Form& form = control.GetForm();
  if (!form.Visible() || !form.Enabled()) return false;  // a disabled window takes no clicks
  MouseDown(form);
  if (!control.Usable()) return false;
  return Deliver(form, [&control] { control.Click(); });
}

bool Type(Edit& edit, const std::wstring& text) {
  if (!edit.Usable() || edit.readOnly) return false;
  return Deliver(edit.GetForm(), [&] { edit.UserEdited(text); });
}

bool Type(SpinEdit& spin, const std::wstring& text) {
  if (!spin.Usable()) return false;
  return Deliver(spin.GetForm(), [&] { spin.UserEdited(text); });
}

bool Step(SpinEdit& spin, int32_t steps) {
  if (!spin.Usable()) return false;
  return Deliver(spin.GetForm(), [&] { spin.UserStep(steps); });
}

bool PickTab(PageControl& pages, int32_t index) {
  if (!pages.Usable() || !pages.TabsVisible() || index < 0 || index >= static_cast<int32_t>(pages.Pages().size()))
    return false;
  return Deliver(pages.GetForm(), [&] { pages.UserSelected(index); });
}

void KeyUp(Form& form, uint16_t vk) {
  if (form.Handle() != 0) ws().SendMessageW(form.Handle(), WM_KEYUP, vk, 0);
}

namespace {

// The character TranslateMessage would make of the key with these modifiers; 0 for none.
wchar_t CharOf(uint16_t vk, ShiftState shift) {
  const uint32_t mapped = ws().MapVirtualKeyW(vk, MAPVK_VK_TO_CHAR) & 0x7FFFFFFFu;  // high bit: a dead key
  if (mapped == 0 || mapped > 0xFFFF) return 0;
  auto ch = static_cast<wchar_t>(mapped);
  const bool letter = ch >= L'A' && ch <= L'Z';
  if ((shift & ssCtrl) && !(shift & ssAlt)) return letter ? static_cast<wchar_t>(ch - L'A' + 1) : 0;
  if (letter && !(shift & ssShift)) ch = static_cast<wchar_t>(ch - L'A' + L'a');
  return ch;
}

}  // namespace

bool KeyDown(Control& control, uint16_t vk) {
  if (!control.Usable()) return false;
  ws().keybd_event(static_cast<uint8_t>(vk), 0, 0, 0);
  return Deliver(control.GetForm(), [&control, vk] {
    const ShiftState shift = ShiftNow();
    control.KeyDown(vk, shift);
    const wchar_t ch = CharOf(vk, shift);
    if (ch == 0 || control.KeyPress(ch) || control.GetKind() != Kind::Edit) return;
    auto& edit = static_cast<Edit&>(control);
    if (!edit.readOnly && ch >= L' ') edit.UserEdited(edit.Text() + ch);
  });
}

bool KeyUp(Control& control, uint16_t vk) {
  ws().keybd_event(static_cast<uint8_t>(vk), 0, KEYEVENTF_KEYUP, 0);
  Form& form = control.GetForm();
  if (form.Handle() == 0) return false;
  ws().SendMessageW(form.Handle(), WM_KEYUP, vk, 0);
  return true;
}

bool Press(Control& control, std::initializer_list<uint16_t> keys) {
  bool ok = true;
  for (uint16_t vk : keys) ok = KeyDown(control, vk) && ok;
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) ok = KeyUp(control, *it) && ok;
  return ok;
}

void ChooseNext(const std::wstring& itemName) { Installed().ChooseNext(itemName); }

void WhileNextMenuOpen(std::function<void()> action) { Installed().WhileNextMenuOpen(std::move(action)); }

const PopupRecord* LastPopup() {
  const auto& p = Installed().Popups();
  return p.empty() ? nullptr : &p.back();
}

}  // namespace tessary::ui::headless
