#include "ui/Ui.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "core/AppState.h"
#include "diagnostics/DebugLog.h"
#include "util/UnitError.h"
#include "util/UnitText.h"

namespace tessary::ui {

using namespace tessary::wc;

namespace {

// Forms then simply have no mirrors.
class NullBackend final : public IBackend {
 public:
  void FormCreated(Form&) override {}
  void FormDestroying(Form&) override {}
  void ControlChanged(Control&, Change, int32_t) override {}
  bool FormMessage(Form&, uint32_t, uintptr_t, intptr_t, intptr_t&) override { return false; }
  int32_t TrackPopup(Form&, const PopupMenu&, TPoint) override { return -1; }
};

NullBackend g_null;
IBackend* g_backend = nullptr;

// The form whose window is being created: its backend learns of its controls in FormCreated.
const Form* g_creating = nullptr;

// The area a parent lays its children out in, at the design size scaled (before any growth).
void ScaledDesignArea(const Form& f, const Control* parent, int32_t& w, int32_t& h) {
  if (parent == nullptr) {
    w = f.Scale(f.DesignClientWidth());
    h = f.Scale(f.DesignClientHeight());
    return;
  }
  const Control* box = parent->GetKind() == Kind::Page ? &static_cast<const Page*>(parent)->Owner() : parent;
  w = f.Scale(box->Design().w);
  h = f.Scale(box->Design().h);
  if (box->GetKind() == Kind::PageControl && static_cast<const PageControl*>(box)->TabsVisible())
    h -= f.Scale(PageControl::TabHeight);
}

// Rectangles changed: canvases follow their new size, then the backend places every control.
void Relayout(Form& f) {
  for (auto& c : f.Controls()) {
    if (c->GetKind() != Kind::Picture) continue;
    auto& p = static_cast<Picture&>(*c);
    const TRect r = p.ClientRect();
    if (r.Width() != p.CanvasWidth() || r.Height() != p.CanvasHeight()) p.ResizeCanvas();
  }
  if (f.Handle() == 0 || g_creating == &f) return;
  for (auto& c : f.Controls()) backend().ControlChanged(*c, Change::Layout, -1);
}

std::atomic<uintptr_t> g_nextTimerId{1};

// Every form of the process, for the modal run that disables the others (UI thread only).
std::vector<Form*>& AllForms() {
  static std::vector<Form*> forms;
  return forms;
}

}  // namespace

ShiftState ShiftNow() {
  ShiftState s = 0;
  if (ws().GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (ws().GetKeyState(VK_MENU) < 0) s |= ssAlt;
  if (ws().GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  return s;
}

bool IsDialogKey(uint16_t vk) {
  switch (vk) {
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      return true;
    default:
      return false;
  }
}

IBackend& backend() { return g_backend ? *g_backend : g_null; }
void SetBackend(IBackend* b) { g_backend = b; }

// ---------------------------------------------------------------- controls

Control::Control(Form& form, Control* parent, Kind kind, std::wstring name, Box bounds)
    : form_(form), parent_(parent), kind_(kind), name_(std::move(name)), design_(bounds), id_(form.nextId_++) {}

void Control::Changed(Change what, int32_t index) {
  if (form_.handle_ != 0 && g_creating != &form_) backend().ControlChanged(*this, what, index);
}

void Control::SetText(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  Changed(Change::Text);
}

void Control::SetHint(const std::wstring& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  Changed(Change::Hint);
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed(Change::Enabled);
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(Change::Visible);
}

bool Control::Showing() const {
  if (!form_.Visible()) return false;
  for (const Control* c = this; c != nullptr; c = c->parent_) {
    if (!c->visible_) return false;
    if (c->kind_ == Kind::Page) {
      const auto* page = static_cast<const Page*>(c);
      if (page->Owner().ActivePage() != page) return false;
    }
  }
  return true;
}

bool Control::Usable() const {
  if (!Showing() || !form_.Enabled()) return false;
  for (const Control* c = this; c != nullptr; c = c->parent_)
    if (!c->enabled_) return false;
  return true;
}

void Control::SetDesign(Box b) {
  design_ = b;
  Relayout(form_);
}

TRect Control::ClientRect() const {
  if (kind_ == Kind::Page) return static_cast<const Page*>(this)->Owner().ChildArea();
  const TRect area = parent_ ? parent_->ChildArea() : TRect{0, 0, form_.clientW_, form_.clientH_};
  int32_t baseW = 0, baseH = 0;
  ScaledDesignArea(form_, parent_, baseW, baseH);
  const int32_t growW = area.Width() - baseW, growH = area.Height() - baseH;
  int32_t x = area.Left + form_.Scale(design_.x), y = area.Top + form_.Scale(design_.y);
  int32_t w = form_.Scale(design_.w), h = form_.Scale(design_.h);
  if (anchors_ & akRight) {
    if (anchors_ & akLeft) w += growW;
    else x += growW;
  }
  if (anchors_ & akBottom) {
    if (anchors_ & akTop) h += growH;
    else y += growH;
  }
  return TRect{x, y, x + std::max(0, w), y + std::max(0, h)};
}

void Control::Click() {
  if (Usable() && onClick) onClick();
}

bool Control::KeyDown(uint16_t key, ShiftState shift) {
  Form& f = form_;
  if (f.keyPreview && f.onKeyDown) {
    f.onKeyDown(key, shift);
    if (key == 0) return true;
  }
  if (onKeyDown) {
    onKeyDown(key, shift);
    if (key == 0) return true;
  }
  if (!IsDialogKey(key) || !f.onDialogKey) return false;
  uint32_t wants = DLGC_WANTALLKEYS;
  if (key == VK_TAB) wants |= DLGC_WANTTAB;
  if (key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN) wants |= DLGC_WANTARROWS;
  if (dialogCode & wants) return false;  // the control takes it as an ordinary key
  return f.onDialogKey(key, shift);
}

bool Control::KeyPress(wchar_t ch) {
  if (!onKeyPress) return false;
  onKeyPress(ch);
  return ch == 0;
}

Label::Label(Form& f, Control* p, std::wstring name, Box b, std::wstring text)
    : Control(f, p, Kind::Label, std::move(name), b) {
  SetText(text);
}

void Label::SetCursor(Cursor c) {
  if (c == cursor_) return;
  cursor_ = c;
  Changed(Change::Cursor);
}

Button::Button(Form& f, Control* p, std::wstring name, Box b, std::wstring caption)
    : Control(f, p, Kind::Button, std::move(name), b) {
  SetText(caption);
}

CheckBox::CheckBox(Form& f, Control* p, std::wstring name, Box b, std::wstring caption, bool checked)
    : Control(f, p, Kind::CheckBox, std::move(name), b), checked_(checked) {
  SetText(caption);
}

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Changed(Change::Checked);
}

void CheckBox::Click() {
  if (!Usable()) return;
  SetChecked(!checked_);
  if (onClick) onClick();
}

RadioButton::RadioButton(Form& f, Control* p, std::wstring name, Box b, std::wstring caption, bool checked)
    : Control(f, p, Kind::RadioButton, std::move(name), b), checked_(false) {
  SetText(caption);
  if (checked) SetChecked(true);
}

void RadioButton::SetChecked(bool checked) {
  if (checked) {
    for (auto& c : GetForm().Controls()) {
      if (c.get() == this || c->GetKind() != Kind::RadioButton || c->Parent() != Parent()) continue;
      auto& other = static_cast<RadioButton&>(*c);
      if (!other.checked_) continue;
      other.checked_ = false;
      other.Changed(Change::Checked);
    }
  }
  if (checked == checked_) return;
  checked_ = checked;
  Changed(Change::Checked);
}

void RadioButton::Click() {
  if (!Usable()) return;
  SetChecked(true);
  if (onClick) onClick();
}

Edit::Edit(Form& f, Control* p, std::wstring name, Box b, std::wstring text)
    : Control(f, p, Kind::Edit, std::move(name), b) {
  SetText(text);
}

void Edit::UserEdited(const std::wstring& text) {
  SetText(text);
  if (onChange) onChange();
}

Memo::Memo(Form& f, Control* p, std::wstring name, Box b) : Control(f, p, Kind::Memo, std::move(name), b) {}

void Memo::AddLine(const std::wstring& line) {
  lines_.push_back(line);
  Changed(Change::Rows, LineCount() - 1);
}

void Memo::DeleteLine(int32_t index) {
  if (index < 0 || index >= LineCount()) return;
  lines_.erase(lines_.begin() + index);
  Changed(Change::Rows, index);
  if (topLine_ > std::max(0, LineCount() - 1)) {
    topLine_ = std::max(0, LineCount() - 1);
    Changed(Change::Scroll);
  }
}

void Memo::ClearLines() {
  lines_.clear();
  Changed(Change::Rows, -1);
  if (topLine_ != 0) {
    topLine_ = 0;
    Changed(Change::Scroll);
  }
}

void Memo::LineScroll(int32_t n) {
  const int64_t wanted = int64_t{topLine_} + n;
  const auto top = static_cast<int32_t>(std::clamp<int64_t>(wanted, 0, std::max(0, LineCount() - 1)));
  if (top == topLine_) return;
  topLine_ = top;
  Changed(Change::Scroll);
}

ListBox::ListBox(Form& f, Control* p, std::wstring name, Box b) : Control(f, p, Kind::ListBox, std::move(name), b) {}

void ListBox::InsertRow(int32_t index, const std::wstring& row) {
  if (index < 0 || index > RowCount()) index = RowCount();  // as LB_INSERTSTRING with -1: at the end
  rows_.insert(rows_.begin() + index, row);
  Changed(Change::Rows, index);
}

void ListBox::DeleteRow(int32_t index) {
  if (index < 0 || index >= RowCount()) return;
  rows_.erase(rows_.begin() + index);
  Changed(Change::Rows, index);
}

void ListBox::SetRows(std::vector<std::wstring> rows) {
  rows_ = std::move(rows);
  Changed(Change::Rows, -1);
}

void ListBox::ClearRows() {
  rows_.clear();
  Changed(Change::Rows, -1);
}

SpinEdit::SpinEdit(Form& f, Control* p, std::wstring name, Box b, int32_t minValue, int32_t maxValue, int32_t step,
                   int32_t value)
    : Control(f, p, Kind::SpinEdit, std::move(name), b),
      min_(std::min(minValue, maxValue)),
      max_(std::max(minValue, maxValue)),
      step_(step),
      value_(std::clamp(value, min_, max_)) {}

void SpinEdit::SetValue(int32_t v) {
  v = std::clamp(v, min_, max_);
  if (v == value_) return;
  value_ = v;
  Changed(Change::Value);
}

void SpinEdit::SetAlignment(Align a) {
  if (a == alignment) return;
  alignment = a;
  Changed(Change::Layout);
}

void SpinEdit::UserEdited(const std::wstring& text) {
  size_t i = 0, end = text.size();
  while (i < end && text[i] == L' ') ++i;
  while (end > i && text[end - 1] == L' ') --end;
  bool negative = false;
  if (i < end && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  bool number = i < end;
  int64_t v = 0;
  for (; number && i < end; ++i) {
    if (text[i] < L'0' || text[i] > L'9') number = false;
    else v = std::min<int64_t>(v * 10 + (text[i] - L'0'), int64_t{1} << 40);  // far beyond any range
  }
  if (number) {
    const auto clamped = static_cast<int32_t>(std::clamp<int64_t>(negative ? -v : v, min_, max_));
    const int32_t before = value_;
    SetValue(clamped);
    // The box shows a number the value is not (clamped, or written differently): show the value.
    if (before == value_ && IntText(value_) != text) Changed(Change::Value);
  }
  if (onChange) onChange();
}

void SpinEdit::UserStep(int32_t steps) {
  const int64_t v = int64_t{value_} + int64_t{steps} * step_;
  SetValue(static_cast<int32_t>(std::clamp<int64_t>(v, min_, max_)));
  if (onChange) onChange();
}

GroupBox::GroupBox(Form& f, Control* p, std::wstring name, Box b, std::wstring caption)
    : Control(f, p, Kind::GroupBox, std::move(name), b) {
  SetText(caption);
}

Panel::Panel(Form& f, Control* p, std::wstring name, Box b) : Control(f, p, Kind::Panel, std::move(name), b) {}

PageControl::PageControl(Form& f, Control* p, std::wstring name, Box b)
    : Control(f, p, Kind::PageControl, std::move(name), b) {}

void PageControl::SetTabsVisible(bool v) {
  if (v == tabsVisible_) return;
  tabsVisible_ = v;
  Relayout(GetForm());
}

Page* PageControl::ActivePage() const {
  return active_ >= 0 && active_ < static_cast<int32_t>(pages_.size()) ? pages_[static_cast<size_t>(active_)]
                                                                        : nullptr;
}

void PageControl::SetActiveIndex(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(pages_.size()) || index == active_) return;
  active_ = index;
  Changed(Change::Page);
}

void PageControl::SetActivePage(const Page* page) {
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i] == page) SetActiveIndex(static_cast<int32_t>(i));
}

TRect PageControl::ChildArea() const {
  TRect r = ClientRect();
  if (tabsVisible_) r.Top = std::min(r.Bottom, r.Top + GetForm().Scale(TabHeight));
  return r;
}

void PageControl::UserSelected(int32_t index) {
  const int32_t before = active_;
  SetActiveIndex(index);
  if (active_ != before && onChange) onChange();
}

Page::Page(Form& f, PageControl& owner, std::wstring name, std::wstring caption)
    : Control(f, &owner, Kind::Page, std::move(name), Box{0, 0, owner.Design().w, owner.Design().h}), owner_(owner) {
  SetText(caption);
  SetAnchors(akAll);
  owner_.pages_.push_back(this);
  if (owner_.active_ < 0) owner_.active_ = 0;
}

int32_t Page::Index() const {
  const auto& pages = owner_.Pages();
  auto it = std::find(pages.begin(), pages.end(), this);
  return it == pages.end() ? -1 : static_cast<int32_t>(it - pages.begin());
}

TRect Page::ChildArea() const { return owner_.ChildArea(); }

Picture::Picture(Form& f, Control* p, std::wstring name, Box b) : Control(f, p, Kind::Picture, std::move(name), b) {
  const TRect r = ClientRect();
  w_ = r.Width();
  h_ = r.Height();
  px_.assign(static_cast<size_t>(w_) * static_cast<size_t>(h_), background);
}

uint32_t Picture::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return 0;
  return px_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
}

void Picture::FillRect(const TRect& r, uint32_t rgb) {
  const int32_t l = std::max(0, r.Left), t = std::max(0, r.Top);
  const int32_t rr = std::min(w_, r.Right), b = std::min(h_, r.Bottom);
  if (l >= rr || t >= b) return;
  for (int32_t y = t; y < b; ++y)
    std::fill_n(px_.begin() + static_cast<ptrdiff_t>(y) * w_ + l, rr - l, rgb);
  Changed(Change::Pixels);
}

void Picture::Rectangle(const TRect& r, uint32_t pen, uint32_t brush) {
  if (r.Width() <= 0 || r.Height() <= 0) return;
  FillRect(r, brush);
  FillRect(TRect{r.Left, r.Top, r.Right, r.Top + 1}, pen);
  FillRect(TRect{r.Left, r.Bottom - 1, r.Right, r.Bottom}, pen);
  FillRect(TRect{r.Left, r.Top, r.Left + 1, r.Bottom}, pen);
  FillRect(TRect{r.Right - 1, r.Top, r.Right, r.Bottom}, pen);
}

void Picture::SetIcon(IconHandle icon) {
  if (icon == icon_) return;
  icon_ = icon;
  Changed(Change::Pixels);
}

void Picture::ResizeCanvas() {
  const TRect r = ClientRect();
  w_ = r.Width();
  h_ = r.Height();
  px_.assign(static_cast<size_t>(w_) * static_cast<size_t>(h_), background);
  Changed(Change::Pixels);
}

// ---------------------------------------------------------------- menus and timers

namespace {

MenuItem NewItem(std::wstring name, std::wstring caption, std::function<void()> onClick) {
  MenuItem item;
  item.name = std::move(name);
  item.caption = std::move(caption);
  item.onClick = std::move(onClick);
  return item;
}

// Walks the items depth first; number counts down to the one wanted.
const MenuItem* ItemByNumberIn(const std::vector<MenuItem>& items, int32_t& number) {
  for (const auto& item : items) {
    if (number == 0) return &item;
    --number;
    if (const MenuItem* found = ItemByNumberIn(item.submenu, number)) return found;
  }
  return nullptr;
}

int32_t CountItems(const std::vector<MenuItem>& items) {
  int32_t n = 0;
  for (const auto& item : items) n += 1 + CountItems(item.submenu);
  return n;
}

}  // namespace

MenuItem& MenuItem::Add(std::wstring itemName, std::wstring itemCaption, std::function<void()> click) {
  submenu.push_back(NewItem(std::move(itemName), std::move(itemCaption), std::move(click)));
  return submenu.back();
}

void MenuItem::AddSeparator() { submenu.push_back(MenuItem{}); }

MenuItem& PopupMenu::Add(std::wstring name, std::wstring caption, std::function<void()> onClick) {
  items_.push_back(NewItem(std::move(name), std::move(caption), std::move(onClick)));
  return items_.back();
}

void PopupMenu::AddSeparator() { items_.push_back(MenuItem{}); }

MenuItem* PopupMenu::Find(const std::wstring& name) {
  for (auto& item : items_)
    if (item.name == name) return &item;
  return nullptr;
}

const MenuItem* PopupMenu::ItemByNumber(int32_t number) const {
  if (number < 0) return nullptr;
  return ItemByNumberIn(items_, number);
}

int32_t PopupMenu::NumberOfPath(const std::vector<std::wstring>& names) const {
  const std::vector<MenuItem>* level = &items_;
  int32_t number = 0;
  for (size_t depth = 0; depth < names.size(); ++depth) {
    bool found = false;
    for (const auto& item : *level) {
      if (!item.IsSeparator() && item.name == names[depth]) {
        if (depth + 1 == names.size()) return number;
        ++number;  // the item itself; its submenu's items follow it
        level = &item.submenu;
        found = true;
        break;
      }
      number += 1 + CountItems(item.submenu);
    }
    if (!found) return -1;
  }
  return -1;
}

void PopupMenu::Popup(Form& form, TPoint screenPoint) {
  if (onPopup) onPopup();
  const int32_t chosen = backend().TrackPopup(form, *this, screenPoint);
  const MenuItem* item = ItemByNumber(chosen);
  if (item == nullptr || item->IsSeparator() || !item->enabled || !item->submenu.empty() || !item->onClick) return;
  auto run = item->onClick;  // the handler may change the menu
  run();
}

Timer::Timer(Form& form, std::wstring name, uint32_t intervalMs, bool enabled, std::function<void()> onTimerFn)
    : onTimer(std::move(onTimerFn)),
      form_(form),
      name_(std::move(name)),
      interval_(intervalMs),
      enabled_(enabled),
      id_(g_nextTimerId++) {
  Arm();
}

Timer::~Timer() {
  if (form_.Handle() != 0) ws().KillTimer(form_.Handle(), id_);
}

void Timer::Arm() {
  const WindowHandle h = form_.Handle();
  if (h == 0) return;
  if (enabled_ && interval_ > 0) ws().SetTimer(h, id_, interval_);
  else ws().KillTimer(h, id_);
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Arm();
}

void Timer::SetInterval(uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Arm();
}

void Timer::Fire() {
  if (enabled_ && onTimer) onTimer();
}

// ---------------------------------------------------------------- forms

Form::Form(std::wstring className, std::wstring caption, int32_t clientW, int32_t clientH, FormStyle style)
    : className_(std::move(className)),
      caption_(std::move(caption)),
      style_(style),
      designW_(clientW),
      designH_(clientH),
      clientW_(clientW),
      clientH_(clientH),
      self_(std::make_shared<Form*>(this)) {
  AllForms().push_back(this);
}

Form::~Form() {
  DestroyWindow();
  *self_ = nullptr;
  std::erase(AllForms(), this);
}

void Form::Adopt(std::unique_ptr<Control> c) { controls_.push_back(std::move(c)); }

Control* Form::Find(const std::wstring& name) const {
  for (auto& c : controls_)
    if (c->Name() == name) return c.get();
  return nullptr;
}

Timer& Form::AddTimer(std::wstring name, uint32_t intervalMs, bool enabled, std::function<void()> onTimer) {
  timers_.push_back(std::make_unique<Timer>(*this, std::move(name), intervalMs, enabled, std::move(onTimer)));
  return *timers_.back();
}

int32_t Form::Scale(int32_t v96) const {
  // MulDiv: rounded half away from zero.
  const int64_t p = int64_t{v96} * dpi_;
  return static_cast<int32_t>(p >= 0 ? (p + 48) / 96 : -((-p + 48) / 96));
}

bool Form::CreateWindow(WindowHandle owner) {
  if (handle_ != 0) return true;
  ws().SetClassStyle(className_, style_.classStyle);
  TRect r{0, 0, Scale(designW_), Scale(designH_)};
  ws().AdjustWindowRectExForDpi(r, style_.style, style_.exStyle, dpi_);
  std::weak_ptr<Form*> self = self_;
  const WindowHandle h = ws().CreateWindowExW(
      style_.exStyle, className_, caption_, style_.style & ~WS_VISIBLE, 0, 0, r.Width(), r.Height(), owner,
      [self](WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        auto form = self.lock();
        if (!form || *form == nullptr) return 0;
        // Nothing a handler throws may cross the operating system's frames.
        try {
          return (*form)->WndProc(msg, wParam, lParam);
        } catch (...) {
          app::HandleException(DescribeCurrentException());
          return 0;
        }
      });
  if (h == 0) {
    AppendLog(L"Could not create the window of " + className_, true);
    return false;
  }
  handle_ = h;
  // Windows forces a caption on an overlapped window; a form designed without one drops it again,
  // so its frame is the one the window was sized for.
  const uint32_t actual = static_cast<uint32_t>(ws().GetWindowLongW(h, GWL_STYLE));
  const uint32_t forced = actual & WS_CAPTION & ~style_.style;
  if (forced != 0) {
    ws().SetWindowLongW(h, GWL_STYLE, static_cast<int32_t>(actual & ~forced));
    ws().SetWindowPos(h, 0, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  if (!enabled_) ws().SetWindowLongW(h, GWL_STYLE, ws().GetWindowLongW(h, GWL_STYLE) | static_cast<int32_t>(WS_DISABLED));
  g_creating = this;
  const uint32_t dpi = ws().GetDpiForWindow(h);
  if (dpi != 0 && dpi != dpi_) ApplyDpi(dpi);
  else ReadClientSize();
  Relayout(*this);
  g_creating = nullptr;
  backend().FormCreated(*this);
  for (auto& t : timers_) t->Arm();
  return true;
}

void Form::ApplyDpi(uint32_t dpi) {
  dpi_ = dpi;
  if (handle_ != 0) {
    // Keep the growth the user gave the client area, scaled with the rest.
    TRect r{0, 0, Scale(designW_), Scale(designH_)};
    ws().AdjustWindowRectExForDpi(r, style_.style, style_.exStyle, dpi_);
    ws().SetWindowPos(handle_, 0, 0, 0, r.Width(), r.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ReadClientSize();
}

void Form::ReadClientSize() {
  int32_t w = 0, h = 0;
  if (handle_ != 0 && ws().GetClientSize(handle_, w, h)) {
    clientW_ = w;
    clientH_ = h;
  } else if (handle_ == 0) {
    clientW_ = Scale(designW_);
    clientH_ = Scale(designH_);
  }
}

intptr_t Form::WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  intptr_t result = 0;
  if (backend().FormMessage(*this, msg, wParam, lParam, result)) return result;
  switch (msg) {
    case WM_MOUSEACTIVATE:
      return (style_.exStyle & WS_EX_NOACTIVATE) ? MA_NOACTIVATE : MA_ACTIVATE;
    case WM_CLOSE:
      if (closeHides) Hide();
      else DestroyWindow();
      return 0;
    case WM_TIMER:
      for (auto& t : timers_)
        if (t->Id() == wParam) {
          t->Fire();
          break;
        }
      return 0;
    case WM_DPICHANGED: {
      dpi_ = static_cast<uint32_t>(wParam & 0xFFFF);
      if (lParam != 0) {
        const auto* r = reinterpret_cast<const int32_t*>(lParam);  // RECT: left, top, right, bottom
        ws().SetWindowPos(handle_, 0, r[0], r[1], r[2] - r[0], r[3] - r[1], SWP_NOZORDER | SWP_NOACTIVATE);
      }
      ReadClientSize();
      Relayout(*this);
      return 0;
    }
    case WM_SIZE: {
      if (ws().IsIconic(handle_)) return 0;  // a minimized form keeps its layout and its pictures
      const int32_t w = clientW_, h = clientH_;
      ReadClientSize();
      if (w != clientW_ || h != clientH_) Relayout(*this);
      return 0;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (keyPreview && onKeyUp) onKeyUp(static_cast<uint16_t>(wParam));
      return 0;
    case WM_ACTIVATE:
      if ((wParam & 0xFFFF) != WA_INACTIVE && onActivate) onActivate();
      return 0;
    case WM_SETFOCUS:
      // The form's own window got the focus (the platform gives it on activation): a dialog hands
      // it on to its active control.
      if (activeControl_ != nullptr && activeControl_->Usable())
        backend().ControlChanged(*activeControl_, Change::Focus, -1);
      return 0;
    case WM_DESTROY:
      if (handle_ != 0) {  // destroyed from outside (its owner went): let go of it the same way
        if (onDestroy) onDestroy();
        backend().FormDestroying(*this);
        handle_ = 0;
      }
      return 0;
    default:
      return 0;
  }
}

void Form::DestroyWindow() {
  if (handle_ == 0) return;
  try {
    if (onDestroy) onDestroy();
  } catch (...) {
    app::HandleException(DescribeCurrentException());
  }
  for (auto& t : timers_) ws().KillTimer(handle_, t->Id());
  backend().FormDestroying(*this);
  const WindowHandle h = handle_;
  handle_ = 0;
  ws().DestroyWindow(h);
}

void Form::SetActiveControl(Control* c) {
  activeControl_ = c;
  if (c != nullptr && handle_ != 0 && g_creating != this) backend().ControlChanged(*c, Change::Focus, -1);
}

void Form::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (handle_ == 0) return;
  // The style bit is what the platform reads before it hands a window any input.
  const auto style = static_cast<uint32_t>(ws().GetWindowLongW(handle_, GWL_STYLE));
  ws().SetWindowLongW(handle_, GWL_STYLE, static_cast<int32_t>(enabled ? style & ~WS_DISABLED : style | WS_DISABLED));
}

// Work that may nest inside: everything the message loop dispatches (timers, other windows'
// handlers, a second start's command line). Not this form's own ShowModal: that is refused.
bool Form::ShowModal(const std::function<void()>& shown) {
  if (modal_ || app::Terminated()) return false;
  if (handle_ == 0 && !CreateWindow()) return false;
  const std::weak_ptr<Form*> alive = self_;
  auto gone = [&alive] {
    auto p = alive.lock();
    return !p || *p == nullptr;
  };
  modal_ = true;
  std::vector<std::weak_ptr<Form*>> disabled;
  for (Form* f : AllForms()) {
    if (f == this || f->handle_ == 0 || !f->enabled_ || !f->Visible()) continue;
    f->SetEnabled(false);
    disabled.push_back(f->self_);
  }
  Show();
  if (shown && Visible()) shown();
  if (activeControl_ != nullptr && !gone()) SetActiveControl(activeControl_);  // the focus starts there

  bool closed = true;
  while (!gone() && Visible()) {
    if (app::Terminated()) {
      closed = false;  // the quit already waits for the outer loop
      break;
    }
    if (!ws().PumpOneMessage()) {
      ws().PostQuitMessage(0);  // taken here, but it ends the outer loop too
      closed = false;
      break;
    }
  }
  if (gone()) closed = false;
  // The others first, so that the platform can activate one of them when this one hides.
  for (auto& w : disabled)
    if (auto p = w.lock(); p && *p != nullptr) (*p)->SetEnabled(true);
  if (gone()) return false;
  modal_ = false;
  Hide();
  return closed;
}

void Form::Show() {
  if (handle_ == 0 && !CreateWindow()) return;
  if (Visible()) return;
  if (onShow) onShow();
  ws().ShowWindow(handle_, (style_.exStyle & WS_EX_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
}

void Form::Hide() {
  if (handle_ == 0) return;
  ws().ShowWindow(handle_, SW_HIDE);
  // Hidden by a sent message or a timer, the modal loop would wait for the next posted message.
  if (modal_) ws().PostMessageW(handle_, WM_NULL, 0, 0);
}

bool Form::Visible() const { return handle_ != 0 && ws().IsWindowVisible(handle_); }

void Form::ShowAndRaise() {
  Show();
  if (handle_ == 0) return;
  if (style_.exStyle & WS_EX_NOACTIVATE) {
    ws().SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else {
    ws().BringWindowToTop(handle_);
    ws().SetForegroundWindow(handle_);
  }
}

namespace {
TRect WindowRectOf(WindowHandle h) {
  TRect r;
  if (h == 0 || !ws().GetWindowRect(h, r)) return TRect{};
  return r;
}
}  // namespace

int32_t Form::Left() const { return WindowRectOf(handle_).Left; }
int32_t Form::Top() const { return WindowRectOf(handle_).Top; }
int32_t Form::Width() const { return WindowRectOf(handle_).Width(); }
int32_t Form::Height() const { return WindowRectOf(handle_).Height(); }

void Form::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (handle_ == 0) return;
  ws().SetWindowPos(handle_, 0, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  const int32_t w = clientW_, h = clientH_;
  ReadClientSize();  // WM_SIZE may not have come (or came before the size could be read)
  if (w != clientW_ || h != clientH_) Relayout(*this);
}

void Form::SetPosition(int32_t left, int32_t top) {
  if (handle_ == 0) return;
  ws().SetWindowPos(handle_, 0, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::CenterOnScreen() {
  if (handle_ == 0) return;
  MonitorDesc m;
  const MonitorHandle mon = ws().MonitorFromWindow(handle_, MONITOR_DEFAULTTONEAREST);
  if (mon == 0 || !ws().GetMonitorInfo(mon, m)) return;
  const TRect r = WindowRectOf(handle_);
  SetPosition(m.work.Left + (m.work.Width() - r.Width()) / 2, m.work.Top + (m.work.Height() - r.Height()) / 2);
}

}  // namespace tessary::ui
