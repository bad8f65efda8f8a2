// Our headers first: <windows.h> defines macros with the names of our portable constants.
#include "ui/win32/Win32Ui.h"
#include "util/UnitText.h"

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "platform/win32/Win32Owned.h"

#undef RGB  // ui::RGB
#undef CreateWindow

namespace tessary::ui::win32 {
namespace {

using ::tessary::win32::OwnedGdi;
using ::tessary::win32::OwnedMemoryDC;
using ::tessary::win32::OwnedMenu;
using ::tessary::win32::Selected;
using ::tessary::win32::WindowDC;

HWND H(uintptr_t h) { return reinterpret_cast<HWND>(h); }
uintptr_t P(HWND h) { return reinterpret_cast<uintptr_t>(h); }

constexpr UINT_PTR kSubclassId = 0x7e55;

// What a control's window needs beyond the model: the spin edit's arrows, the mouse-over state of
// a label.
struct Mirror {
  Control* control = nullptr;
  HWND hwnd = nullptr;
  HWND updown = nullptr;  // spin edit only
  bool tracking = false;  // label: the mouse is over it (a leave is due)
  bool typing = false;    // spin edit: the user's text is being handed to the model
  bool hasTip = false;
  HBRUSH body = nullptr;  // tab control: the colour its pages are painted in
  TRect placed;           // where the window was last put
};

struct FontEntry {
  FontDesc desc;
  UINT dpi;
  HFONT font;
};

struct FormState {
  Form* form = nullptr;
  HWND hwnd = nullptr;
  HWND tip = nullptr;
  UINT dpi = 96;
  int32_t clientW = 0, clientH = 0;  // at the last full layout
  std::vector<FontEntry> fonts;
  std::vector<std::unique_ptr<Mirror>> mirrors;  // creation order
  std::map<const Control*, Mirror*> byControl;
  std::map<HWND, Mirror*> byHwnd;
  bool syncing = false;  // we are writing the model's state into a window: its notifications are ours
};

bool IsContainer(const Control& c) {
  switch (c.GetKind()) {
    case Kind::GroupBox:
    case Kind::Panel:
    case Kind::PageControl:
    case Kind::Page:
      return true;
    default:
      return false;
  }
}

// Shown within the form (the form itself aside): child windows hide with their form anyway, and
// the model's Showing() is false for everything while the form is hidden.
bool ShownInForm(const Control& c) {
  for (const Control* p = &c; p != nullptr; p = p->Parent()) {
    if (!p->Visible()) return false;
    if (p->GetKind() == Kind::Page && static_cast<const Page*>(p)->Owner().ActivePage() != p) return false;
  }
  return true;
}

// Enabled itself and every container up to the form: the window's own enabled state.
bool EffectivelyEnabled(const Control& c) {
  for (const Control* p = &c; p != nullptr; p = p->Parent())
    if (!p->Enabled()) return false;
  return true;
}

std::wstring WindowText(HWND h) {
  const int n = ::GetWindowTextLengthW(h);
  std::wstring s(static_cast<size_t>(std::max(n, 0)) + 1, L'\0');
  const int got = ::GetWindowTextW(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return s;
}

class Win32Backend final : public IBackend {
 public:
  void FormCreated(Form& form) override;
  void FormDestroying(Form& form) override;
  void ControlChanged(Control& control, Change what, int32_t index) override;
  bool FormMessage(Form& form, uint32_t msg, uintptr_t wParam, intptr_t lParam, intptr_t& result) override;
  int32_t TrackPopup(Form& form, const PopupMenu& menu, TPoint screenPoint) override;

  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);

 private:
  FormState* StateOf(const Form& form) {
    auto it = forms_.find(&form);
    return it == forms_.end() ? nullptr : it->second.get();
  }
  Mirror* MirrorOf(FormState& fs, const Control& c) {
    auto it = fs.byControl.find(&c);
    return it == fs.byControl.end() ? nullptr : it->second;
  }
  HFONT FontFor(FormState& fs, const FontDesc& desc);
  void CreateMirror(FormState& fs, Control& c);
  void PlaceBehind(FormState& fs);
  static void Reposition(const std::vector<Mirror*>& which);
  static void AlignArrows(Mirror& m);
  void FullLayout(FormState& fs);
  void SyncShowing(FormState& fs);
  void SyncEnabled(FormState& fs);
  void SyncText(FormState& fs, Mirror& m);
  void SyncChecks(FormState& fs);
  void SyncSpin(FormState& fs, Mirror& m);
  void SyncRows(FormState& fs, Mirror& m, int32_t index);
  void SyncMemoScroll(Mirror& m);
  void SyncHint(FormState& fs, Mirror& m);
  void SyncTabs(FormState& fs, Mirror& m);
  void EnsureTabWindow(FormState& fs, Control& c);
  // Painting throws nothing; saying so spares its owners the unwind paths GDI calls would need.
  bool Draw(FormState& fs, const DRAWITEMSTRUCT& d) noexcept;
  static HBRUSH BodyBrush(Mirror& tab) noexcept;
  void DrawGlyph(HDC dc, const RECT& rc, Glyph glyph, COLORREF color) noexcept;

  std::map<const Form*, std::unique_ptr<FormState>> forms_;
};

HFONT Win32Backend::FontFor(FormState& fs, const FontDesc& desc) {
  for (const FontEntry& f : fs.fonts)
    if (f.dpi == fs.dpi && f.desc == desc) return f.font;
  const HFONT font = ::CreateFontW(-::MulDiv(desc.points, static_cast<int>(fs.dpi), 72), 0, 0, 0,
                                   desc.bold ? FW_BOLD : FW_NORMAL, FALSE, desc.underline ? TRUE : FALSE, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, desc.face.c_str());
  if (font != nullptr) fs.fonts.push_back({desc, fs.dpi, font});
  return font;
}

void Win32Backend::FormCreated(Form& form) {
  static const bool initialised = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    return ::InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)initialised;
  if (form.Handle() == 0) return;
  FormDestroying(form);  // a second creation of the same form starts afresh
  auto state = std::make_unique<FormState>();
  FormState& fs = *state;
  forms_[&form] = std::move(state);
  fs.form = &form;
  fs.hwnd = H(form.Handle());
  fs.dpi = form.Dpi();
  fs.clientW = form.ClientWidth();
  fs.clientH = form.ClientHeight();

  fs.tip = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, fs.hwnd, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (fs.tip != nullptr) ::SendMessageW(fs.tip, TTM_SETMAXTIPWIDTH, 0, ::MulDiv(480, static_cast<int>(fs.dpi), 96));

  for (const auto& c : form.Controls()) CreateMirror(fs, *c);
  PlaceBehind(fs);
}

void Win32Backend::FormDestroying(Form& form) {
  auto it = forms_.find(&form);
  if (it == forms_.end()) return;
  FormState& fs = *it->second;
  // Children first, so that no window still uses a font when the fonts go.
  for (auto m = fs.mirrors.rbegin(); m != fs.mirrors.rend(); ++m) {
    if ((*m)->updown != nullptr) ::DestroyWindow((*m)->updown);
    if ((*m)->hwnd != nullptr) ::DestroyWindow((*m)->hwnd);
    if ((*m)->body != nullptr) ::DeleteObject((*m)->body);
    (*m)->control->peer = 0;
  }
  if (fs.tip != nullptr) ::DestroyWindow(fs.tip);
  for (const FontEntry& f : fs.fonts) ::DeleteObject(f.font);
  forms_.erase(it);
}

void Win32Backend::CreateMirror(FormState& fs, Control& c) {
  if (fs.byControl.count(&c) != 0) return;
  auto mirror = std::make_unique<Mirror>();
  Mirror& m = *mirror;
  m.control = &c;
  fs.byControl[&c] = &m;
  fs.mirrors.push_back(std::move(mirror));

  const wchar_t* cls = nullptr;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD ex = 0;
  std::wstring text = c.Text();
  switch (c.GetKind()) {
    case Kind::Label: {
      auto& l = static_cast<Label&>(c);
      cls = L"STATIC";
      style |= SS_NOPREFIX | SS_NOTIFY;
      if (l.ellipsis) style |= SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS;
      else style |= l.wordWrap ? SS_LEFT : SS_LEFTNOWORDWRAP;
      if (l.framed) style |= SS_SUNKEN;
      break;
    }
    case Kind::Button: {
      auto& b = static_cast<Button&>(c);
      cls = L"BUTTON";
      style |= WS_TABSTOP | WS_GROUP;
      if (b.glyph != Glyph::None) style |= BS_OWNERDRAW;
      else style |= (b.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (b.flat ? BS_FLAT : 0);
      break;
    }
    case Kind::CheckBox:
      cls = L"BUTTON";
      style |= WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX;
      break;
    case Kind::RadioButton: {
      cls = L"BUTTON";
      style |= BS_AUTORADIOBUTTON;
      // The first radio button of its parent starts the group (and is its tab stop).
      bool first = true;
      for (const auto& o : fs.form->Controls()) {
        if (o.get() == &c) break;
        if (o->GetKind() == Kind::RadioButton && o->Parent() == c.Parent()) first = false;
      }
      if (first) style |= WS_GROUP | WS_TABSTOP;
      break;
    }
    case Kind::Edit:
      cls = L"EDIT";
      ex = WS_EX_CLIENTEDGE;
      style |= WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL | (static_cast<Edit&>(c).readOnly ? ES_READONLY : 0);
      break;
    case Kind::Memo:
      cls = L"EDIT";
      ex = WS_EX_CLIENTEDGE;
      style |= WS_GROUP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL;
      text.clear();
      for (size_t i = 0; i < static_cast<Memo&>(c).Lines().size(); ++i)
        text += (i ? L"\r\n" : L"") + static_cast<Memo&>(c).Lines()[i];
      break;
    case Kind::ListBox:
      cls = L"LISTBOX";
      ex = WS_EX_CLIENTEDGE;
      style |= WS_TABSTOP | WS_GROUP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL;
      text.clear();
      break;
    case Kind::SpinEdit: {
      auto& s = static_cast<SpinEdit&>(c);
      cls = L"EDIT";
      ex = WS_EX_CLIENTEDGE;
      style |= WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL | (s.alignment == Align::Right ? ES_RIGHT : ES_LEFT);
      text = IntText(s.Value());
      break;
    }
    case Kind::GroupBox:
      cls = L"BUTTON";
      style |= WS_GROUP | BS_GROUPBOX;
      break;
    case Kind::Panel:
      if (!static_cast<Panel&>(c).framed) return;
      cls = L"STATIC";
      style |= SS_SUNKEN;
      text.clear();
      break;
    case Kind::PageControl:
      EnsureTabWindow(fs, c);
      return;
    case Kind::Page:
      return;
    case Kind::Picture:
      cls = L"STATIC";
      style |= SS_OWNERDRAW | SS_NOTIFY;
      text.clear();
      break;
  }
  if (ShownInForm(c)) style |= WS_VISIBLE;
  if (!EffectivelyEnabled(c)) style |= WS_DISABLED;
  if (!c.tabStop) style &= ~static_cast<DWORD>(WS_TABSTOP);
  const TRect r = c.ClientRect();
  fs.syncing = true;
  m.hwnd = ::CreateWindowExW(ex, cls, text.c_str(), style, r.Left, r.Top, r.Width(), r.Height(), fs.hwnd,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.Id())), ::GetModuleHandleW(nullptr),
                             nullptr);
  fs.syncing = false;
  if (m.hwnd == nullptr) return;
  m.placed = r;
  c.peer = P(m.hwnd);
  fs.byHwnd[m.hwnd] = &m;
  ::SendMessageW(m.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fs, c.Font())), FALSE);
  ::SetWindowSubclass(m.hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(&m));

  switch (c.GetKind()) {
    case Kind::CheckBox:
    case Kind::RadioButton:
      SyncChecks(fs);
      break;
    case Kind::ListBox:
      ::SendMessageW(m.hwnd, LB_SETITEMHEIGHT, 0, fs.form->Scale(static_cast<ListBox&>(c).rowHeight));
      SyncRows(fs, m, -1);
      break;
    case Kind::Memo:
      SyncMemoScroll(m);
      break;
    case Kind::SpinEdit:
      m.updown = ::CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                                   WS_CHILD | WS_CLIPSIBLINGS | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS |
                                       UDS_NOTHOUSANDS | (ShownInForm(c) ? WS_VISIBLE : 0) |
                                       (EffectivelyEnabled(c) ? 0 : WS_DISABLED),
                                   0, 0, 0, 0, fs.hwnd, nullptr, ::GetModuleHandleW(nullptr), nullptr);
      if (m.updown != nullptr) {
        fs.byHwnd[m.updown] = &m;
        ::SetWindowSubclass(m.updown, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(&m));
        AlignArrows(m);
      }
      SyncSpin(fs, m);
      break;
    default:
      break;
  }
  SyncHint(fs, m);
}

// Tabs shown: a tab control with one tab per page. Tabs hidden: no window at all.
void Win32Backend::EnsureTabWindow(FormState& fs, Control& c) {
  auto& pc = static_cast<PageControl&>(c);
  Mirror* m = MirrorOf(fs, c);
  if (m == nullptr) {
    auto mirror = std::make_unique<Mirror>();
    m = mirror.get();
    m->control = &c;
    fs.byControl[&c] = m;
    fs.mirrors.push_back(std::move(mirror));
  }
  if (pc.TabsVisible() == (m->hwnd != nullptr)) return;
  if (m->hwnd != nullptr) {
    fs.byHwnd.erase(m->hwnd);
    ::DestroyWindow(m->hwnd);
    m->hwnd = nullptr;
    if (m->body != nullptr) ::DeleteObject(m->body);
    m->body = nullptr;
    c.peer = 0;
    return;
  }
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP | WS_GROUP;
  if (pc.flatButtons) style |= TCS_BUTTONS | TCS_FLATBUTTONS;
  if (ShownInForm(c)) style |= WS_VISIBLE;
  if (!EffectivelyEnabled(c)) style |= WS_DISABLED;
  const TRect r = c.ClientRect();
  m->hwnd = ::CreateWindowExW(0, WC_TABCONTROLW, L"", style, r.Left, r.Top, r.Width(), r.Height(), fs.hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.Id())), ::GetModuleHandleW(nullptr),
                              nullptr);
  if (m->hwnd == nullptr) return;
  m->placed = r;
  c.peer = P(m->hwnd);
  fs.byHwnd[m->hwnd] = m;
  ::SendMessageW(m->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fs, c.Font())), FALSE);
  ::SetWindowSubclass(m->hwnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(m));
  SyncTabs(fs, *m);
  SyncHint(fs, *m);
  PlaceBehind(fs);
}

// Child windows stack in creation order, the first on top. Containers go to the bottom (the
// outermost lowest) so they paint first and never take the clicks meant for what lies on them.
void Win32Backend::PlaceBehind(FormState& fs) {
  for (auto it = fs.mirrors.rbegin(); it != fs.mirrors.rend(); ++it) {
    Mirror& m = **it;
    if (m.hwnd != nullptr && IsContainer(*m.control))
      ::SetWindowPos(m.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  }
}

void Win32Backend::Reposition(const std::vector<Mirror*>& which) {
  std::vector<Mirror*> moved;
  HDWP dwp = ::BeginDeferWindowPos(static_cast<int>(which.size()));
  for (Mirror* m : which) {
    if (m->hwnd == nullptr) continue;
    const TRect r = m->control->ClientRect();
    // A layout pass tells every control; most of them did not move.
    if (r == m->placed) continue;
    m->placed = r;
    moved.push_back(m);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    if (dwp != nullptr) dwp = ::DeferWindowPos(dwp, m->hwnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), flags);
    if (dwp == nullptr) ::SetWindowPos(m->hwnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), flags);
  }
  if (dwp != nullptr) ::EndDeferWindowPos(dwp);
  for (Mirror* m : moved)
    if (m->updown != nullptr) AlignArrows(*m);
}

// The arrows take the right-hand end of the spin edit's rectangle, as wide as the dpi asks
// (the control's own default width does not scale). Setting the buddy again makes them follow
// the edit and overlap its frame as the platform likes; the pair then fills the rectangle exactly.
void Win32Backend::AlignArrows(Mirror& m) {
  const TRect r = m.control->ClientRect();
  ::SetWindowPos(m.hwnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  ::SendMessageW(m.updown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(m.hwnd), 0);
  RECT arrows{}, edit{};
  ::GetWindowRect(m.updown, &arrows);
  ::GetWindowRect(m.hwnd, &edit);
  const HWND parent = ::GetParent(m.hwnd);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&arrows), 2);
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&edit), 2);
  const int overlap = std::max(0, static_cast<int>(edit.right - arrows.left));
  const int width = std::min(r.Width() / 2, m.control->GetForm().Scale(17));
  ::SetWindowPos(m.hwnd, nullptr, 0, 0, r.Width() - width + overlap, r.Height(),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(m.updown, nullptr, r.Right - width, arrows.top, width, arrows.bottom - arrows.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Backend::FullLayout(FormState& fs) {
  const UINT dpi = fs.form->Dpi();
  if (dpi != fs.dpi) {
    fs.dpi = dpi;
    for (auto& m : fs.mirrors) {
      if (m->hwnd == nullptr) continue;
      ::SendMessageW(m->hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fs, m->control->Font())), FALSE);
      if (m->control->GetKind() == Kind::ListBox)
        ::SendMessageW(m->hwnd, LB_SETITEMHEIGHT, 0, fs.form->Scale(static_cast<ListBox*>(m->control)->rowHeight));
    }
    // Fonts of the old dpi are no longer selected into any control.
    auto stale = std::remove_if(fs.fonts.begin(), fs.fonts.end(), [&](const FontEntry& f) {
      if (f.dpi == dpi) return false;
      ::DeleteObject(f.font);
      return true;
    });
    fs.fonts.erase(stale, fs.fonts.end());
    if (fs.tip != nullptr) ::SendMessageW(fs.tip, TTM_SETMAXTIPWIDTH, 0, ::MulDiv(480, static_cast<int>(dpi), 96));
  }
  fs.clientW = fs.form->ClientWidth();
  fs.clientH = fs.form->ClientHeight();
  for (auto& m : fs.mirrors)
    if (m->body != nullptr) {
      ::DeleteObject(m->body);
      m->body = nullptr;
    }
  std::vector<Mirror*> all;
  for (auto& m : fs.mirrors) all.push_back(m.get());
  Reposition(all);
  ::InvalidateRect(fs.hwnd, nullptr, TRUE);
}

void Win32Backend::SyncShowing(FormState& fs) {
  for (auto& m : fs.mirrors) {
    const bool show = ShownInForm(*m->control);
    for (HWND h : {m->hwnd, m->updown}) {
      if (h == nullptr) continue;
      const bool shown = (::GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0;
      if (shown != show) ::ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
    }
  }
}

void Win32Backend::SyncEnabled(FormState& fs) {
  for (auto& m : fs.mirrors) {
    const bool enabled = EffectivelyEnabled(*m->control);
    for (HWND h : {m->hwnd, m->updown})
      if (h != nullptr && (::IsWindowEnabled(h) != FALSE) != enabled) ::EnableWindow(h, enabled ? TRUE : FALSE);
  }
}

void Win32Backend::SyncText(FormState& fs, Mirror& m) {
  Control& c = *m.control;
  switch (c.GetKind()) {
    case Kind::Page: {
      auto& page = static_cast<Page&>(c);
      if (Mirror* owner = MirrorOf(fs, page.Owner())) SyncTabs(fs, *owner);
      return;
    }
    case Kind::Memo:
    case Kind::ListBox:
    case Kind::SpinEdit:
    case Kind::Panel:
    case Kind::PageControl:
    case Kind::Picture:
      return;
    default:
      break;
  }
  if (m.hwnd == nullptr || WindowText(m.hwnd) == c.Text()) return;
  fs.syncing = true;
  ::SetWindowTextW(m.hwnd, c.Text().c_str());
  fs.syncing = false;
}

void Win32Backend::SyncChecks(FormState& fs) {
  for (auto& m : fs.mirrors) {
    if (m->hwnd == nullptr) continue;
    bool checked;
    if (m->control->GetKind() == Kind::CheckBox) checked = static_cast<CheckBox*>(m->control)->Checked();
    else if (m->control->GetKind() == Kind::RadioButton) checked = static_cast<RadioButton*>(m->control)->Checked();
    else continue;
    const WPARAM want = checked ? BST_CHECKED : BST_UNCHECKED;
    if (static_cast<WPARAM>(::SendMessageW(m->hwnd, BM_GETCHECK, 0, 0)) != want)
      ::SendMessageW(m->hwnd, BM_SETCHECK, want, 0);
  }
}

void Win32Backend::SyncSpin(FormState& fs, Mirror& m) {
  auto& s = static_cast<SpinEdit&>(*m.control);
  if (m.hwnd == nullptr) return;
  const LONG style = ::GetWindowLongW(m.hwnd, GWL_STYLE);
  const LONG align = s.alignment == Align::Right ? ES_RIGHT : ES_LEFT;
  if ((style & (ES_LEFT | ES_CENTER | ES_RIGHT)) != align) {
    ::SetWindowLongW(m.hwnd, GWL_STYLE, (style & ~(ES_LEFT | ES_CENTER | ES_RIGHT)) | align);
    ::InvalidateRect(m.hwnd, nullptr, TRUE);
  }
  fs.syncing = true;
  if (m.updown != nullptr) {
    ::SendMessageW(m.updown, UDM_SETRANGE32, static_cast<WPARAM>(s.MinValue()), s.MaxValue());
    UDACCEL accel{0, static_cast<UINT>(std::max(1, s.Step()))};
    ::SendMessageW(m.updown, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
    // With a buddy the arrows write their position into its text: not while the user types.
    if (!m.typing) ::SendMessageW(m.updown, UDM_SETPOS32, 0, s.Value());
  }
  // While the user types, the text stays theirs (a half-typed number is often out of range); it is
  // brought in line with the value when the edit loses the focus.
  const std::wstring text = IntText(s.Value());
  if (!m.typing && WindowText(m.hwnd) != text) ::SetWindowTextW(m.hwnd, text.c_str());
  fs.syncing = false;
}

void Win32Backend::SyncRows(FormState& fs, Mirror& m, int32_t index) {
  if (m.hwnd == nullptr) return;
  if (m.control->GetKind() == Kind::Memo) {
    auto& memo = static_cast<Memo&>(*m.control);
    std::wstring text;
    for (size_t i = 0; i < memo.Lines().size(); ++i) text += (i ? L"\r\n" : L"") + memo.Lines()[i];
    fs.syncing = true;
    ::SendMessageW(m.hwnd, WM_SETREDRAW, FALSE, 0);
    ::SetWindowTextW(m.hwnd, text.c_str());
    SyncMemoScroll(m);
    ::SendMessageW(m.hwnd, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m.hwnd, nullptr, TRUE);
    fs.syncing = false;
    return;
  }
  if (m.control->GetKind() != Kind::ListBox) return;
  auto& lb = static_cast<ListBox&>(*m.control);
  const auto count = static_cast<int32_t>(::SendMessageW(m.hwnd, LB_GETCOUNT, 0, 0));
  if (index >= 0 && index <= std::max(count, lb.RowCount())) {
    // One row went in or out: the counts tell which.
    if (lb.RowCount() == count + 1 && index < lb.RowCount()) {
      ::SendMessageW(m.hwnd, LB_INSERTSTRING, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(lb.Rows()[static_cast<size_t>(index)].c_str()));
      return;
    }
    if (lb.RowCount() == count - 1 && index < count) {
      ::SendMessageW(m.hwnd, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
      return;
    }
  }
  ::SendMessageW(m.hwnd, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(m.hwnd, LB_RESETCONTENT, 0, 0);
  for (const std::wstring& row : lb.Rows())
    ::SendMessageW(m.hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
  ::SendMessageW(m.hwnd, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(m.hwnd, nullptr, TRUE);
}

void Win32Backend::SyncMemoScroll(Mirror& m) {
  if (m.hwnd == nullptr) return;
  const auto first = static_cast<int32_t>(::SendMessageW(m.hwnd, EM_GETFIRSTVISIBLELINE, 0, 0));
  const int32_t want = static_cast<Memo*>(m.control)->TopLine();
  if (want != first) ::SendMessageW(m.hwnd, EM_LINESCROLL, 0, want - first);
}

void Win32Backend::SyncHint(FormState& fs, Mirror& m) {
  if (fs.tip == nullptr || m.hwnd == nullptr) return;
  const std::wstring& hint = m.control->Hint();
  TTTOOLINFOW ti{};
  ti.cbSize = TTTOOLINFOW_V2_SIZE;  // also understood by the comctl32 of version 5
  ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti.hwnd = fs.hwnd;
  ti.uId = reinterpret_cast<UINT_PTR>(m.hwnd);
  ti.lpszText = const_cast<wchar_t*>(hint.c_str());
  if (hint.empty()) {
    if (m.hasTip) ::SendMessageW(fs.tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    m.hasTip = false;
  } else if (m.hasTip) {
    ::SendMessageW(fs.tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
  } else {
    m.hasTip = ::SendMessageW(fs.tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
  }
}

void Win32Backend::SyncTabs(FormState& fs, Mirror& m) {
  if (m.hwnd == nullptr || m.control->GetKind() != Kind::PageControl) return;
  auto& pc = static_cast<PageControl&>(*m.control);
  fs.syncing = true;
  const auto pages = static_cast<int32_t>(pc.Pages().size());
  while (static_cast<int32_t>(::SendMessageW(m.hwnd, TCM_GETITEMCOUNT, 0, 0)) > pages)
    ::SendMessageW(m.hwnd, TCM_DELETEITEM, static_cast<WPARAM>(pages), 0);
  const auto have = static_cast<int32_t>(::SendMessageW(m.hwnd, TCM_GETITEMCOUNT, 0, 0));
  for (int32_t i = 0; i < pages; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(pc.Pages()[static_cast<size_t>(i)]->Text().c_str());
    ::SendMessageW(m.hwnd, i < have ? TCM_SETITEMW : TCM_INSERTITEMW, static_cast<WPARAM>(i),
                   reinterpret_cast<LPARAM>(&item));
  }
  if (static_cast<int32_t>(::SendMessageW(m.hwnd, TCM_GETCURSEL, 0, 0)) != pc.ActiveIndex())
    ::SendMessageW(m.hwnd, TCM_SETCURSEL, static_cast<WPARAM>(pc.ActiveIndex()), 0);
  fs.syncing = false;
}

void Win32Backend::ControlChanged(Control& c, Change what, int32_t index) {
  FormState* fsp = StateOf(c.GetForm());
  if (fsp == nullptr) return;
  FormState& fs = *fsp;
  Mirror* m = MirrorOf(fs, c);
  if (m == nullptr) {
    // A control added after the window was made.
    CreateMirror(fs, c);
    PlaceBehind(fs);
    SyncShowing(fs);
    return;
  }
  switch (what) {
    case Change::Text:
      SyncText(fs, *m);
      break;
    case Change::Hint:
      SyncHint(fs, *m);
      break;
    case Change::Enabled:
      SyncEnabled(fs);
      break;
    case Change::Visible:
    case Change::Page:
      if (c.GetKind() == Kind::PageControl) {
        EnsureTabWindow(fs, c);
        SyncTabs(fs, *m);
      }
      SyncShowing(fs);
      break;
    case Change::Checked:
      SyncChecks(fs);
      break;
    case Change::Value:
      if (c.GetKind() == Kind::SpinEdit) SyncSpin(fs, *m);
      break;
    case Change::Rows:
      SyncRows(fs, *m, index);
      break;
    case Change::Scroll:
      if (c.GetKind() == Kind::Memo) SyncMemoScroll(*m);
      break;
    case Change::Pixels:
      if (m->hwnd != nullptr) ::InvalidateRect(m->hwnd, nullptr, FALSE);
      break;
    case Change::Focus:
      // A control of a window that is not active would activate it: the form's WM_SETFOCUS hands
      // the focus on once the form is active.
      if (m->hwnd != nullptr && ::GetActiveWindow() == fs.hwnd && ::GetFocus() != m->hwnd) ::SetFocus(m->hwnd);
      break;
    case Change::Cursor: {
      POINT pt;
      if (m->hwnd != nullptr && ::GetCursorPos(&pt) && ::WindowFromPoint(pt) == m->hwnd)
        ::SetCursor(::LoadCursorW(nullptr, static_cast<Label&>(c).GetCursor() == Cursor::UpArrow ? IDC_UPARROW
                                                                                                   : IDC_ARROW));
      break;
    }
    case Change::Layout: {
      if (c.GetKind() == Kind::PageControl) EnsureTabWindow(fs, c);
      if (c.GetKind() == Kind::SpinEdit) SyncSpin(fs, *m);
      if (fs.form->Dpi() != fs.dpi || fs.form->ClientWidth() != fs.clientW ||
          fs.form->ClientHeight() != fs.clientH) {
        FullLayout(fs);
      } else {
        // One control moved: it and whatever lies inside it.
        std::vector<Mirror*> which;
        for (auto& o : fs.mirrors)
          for (const Control* p = o->control; p != nullptr; p = p->Parent())
            if (p == &c) {
              which.push_back(o.get());
              break;
            }
        Reposition(which);
      }
      SyncShowing(fs);
      break;
    }
  }
}

bool Win32Backend::FormMessage(Form& form, uint32_t msg, uintptr_t wParam, intptr_t lParam, intptr_t& result) {
  FormState* fsp = StateOf(form);
  if (fsp == nullptr) return false;
  FormState& fs = *fsp;
  switch (msg) {
    case WM_COMMAND: {
      auto it = fs.byHwnd.find(reinterpret_cast<HWND>(lParam));
      if (it == fs.byHwnd.end() || fs.syncing) return false;
      Mirror& m = *it->second;
      Control& c = *m.control;
      const UINT code = HIWORD(wParam);
      switch (c.GetKind()) {
        case Kind::Button:
        case Kind::CheckBox:
        case Kind::RadioButton:
          if (code != BN_CLICKED) return false;
          c.Click();
          // The model decides: a disabled container may have refused the click the window took.
          if (StateOf(form) == &fs) SyncChecks(fs);
          break;
        case Kind::Label:
        case Kind::Picture:
          if (code != STN_CLICKED) return false;
          c.Click();
          break;
        case Kind::Edit:
          if (code != EN_CHANGE) return false;
          static_cast<Edit&>(c).UserEdited(WindowText(m.hwnd));
          break;
        case Kind::SpinEdit:
          if (code != EN_CHANGE) return false;
          m.typing = true;
          static_cast<SpinEdit&>(c).UserEdited(WindowText(m.hwnd));
          m.typing = false;
          break;
        default:
          return false;
      }
      result = 0;
      return true;
    }
    case WM_NOTIFY: {
      const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
      if (hdr == nullptr || fs.syncing || hdr->code != TCN_SELCHANGE) return false;
      auto it = fs.byHwnd.find(hdr->hwndFrom);
      if (it == fs.byHwnd.end() || it->second->control->GetKind() != Kind::PageControl) return false;
      auto& pc = static_cast<PageControl&>(*it->second->control);
      pc.UserSelected(static_cast<int32_t>(::SendMessageW(hdr->hwndFrom, TCM_GETCURSEL, 0, 0)));
      // The model may keep the old page (a disabled control): the tabs show what it chose.
      if (StateOf(form) == &fs) SyncTabs(fs, *it->second);
      result = 0;
      return true;
    }
    case WM_DRAWITEM: {
      const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (d == nullptr || !Draw(fs, *d)) return false;
      result = TRUE;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto it = fs.byHwnd.find(reinterpret_cast<HWND>(lParam));
      if (it == fs.byHwnd.end()) return false;
      switch (it->second->control->GetKind()) {
        case Kind::Label:
        case Kind::CheckBox:
        case Kind::RadioButton:
        case Kind::GroupBox:
        case Kind::Button:
          break;
        default:
          return false;  // edits keep their own colours
      }
      const HDC dc = reinterpret_cast<HDC>(wParam);
      HBRUSH brush = ::GetSysColorBrush(COLOR_BTNFACE);
      // On a tab control's page the background is the page's, which a theme may paint white.
      for (const Control* p = it->second->control->Parent(); p != nullptr; p = p->Parent()) {
        Mirror* tab = p->GetKind() == Kind::PageControl ? MirrorOf(fs, *p) : nullptr;
        if (tab != nullptr && tab->hwnd != nullptr) {
          brush = BodyBrush(*tab);
          break;
        }
      }
      LOGBRUSH lb{};
      ::GetObjectW(brush, sizeof lb, &lb);
      ::SetBkMode(dc, TRANSPARENT);
      ::SetBkColor(dc, lb.lbColor);
      ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
      result = reinterpret_cast<intptr_t>(brush);
      return true;
    }
    default:
      return false;
  }
}

// The colour of a tab control's page area, read from the control's own painting (without its
// children) once per layout.
HBRUSH Win32Backend::BodyBrush(Mirror& tab) noexcept {
  if (tab.body != nullptr) return tab.body;
  RECT rc{};
  ::GetClientRect(tab.hwnd, &rc);
  COLORREF color = ::GetSysColor(COLOR_BTNFACE);
  if (rc.right > 0 && rc.bottom > 0) {
    const WindowDC screen(nullptr);
    const OwnedMemoryDC mem(::CreateCompatibleDC(screen.get()));
    const OwnedGdi<HBITMAP> bmp(::CreateCompatibleBitmap(screen.get(), rc.right, rc.bottom));
    const Selected selected(mem.get(), bmp.get());
    ::FillRect(mem.get(), &rc, ::GetSysColorBrush(COLOR_BTNFACE));
    ::SendMessageW(tab.hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem.get()), PRF_CLIENT | PRF_ERASEBKGND);
    RECT page = rc;
    ::SendMessageW(tab.hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    if (page.right > page.left && page.bottom > page.top) {
      const COLORREF seen = ::GetPixel(mem.get(), (page.left + page.right) / 2, (page.top + page.bottom) / 2);
      if (seen != CLR_INVALID) color = seen;
    }
  }
  tab.body = ::CreateSolidBrush(color);
  return tab.body != nullptr ? tab.body : ::GetSysColorBrush(COLOR_BTNFACE);
}

bool Win32Backend::Draw(FormState& fs, const DRAWITEMSTRUCT& d) noexcept {
  auto it = fs.byHwnd.find(d.hwndItem);
  if (it == fs.byHwnd.end()) return false;
  Control& c = *it->second->control;
  const RECT rc = d.rcItem;
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  if (w <= 0 || h <= 0) return true;
  // Drawn off screen and copied once: no flicker between the background and what lies on it.
  const OwnedMemoryDC owned(::CreateCompatibleDC(d.hDC));
  const HDC mem = owned.get();
  const OwnedGdi<HBITMAP> bmp(::CreateCompatibleBitmap(d.hDC, w, h));
  const Selected selected(mem, bmp.get());
  const RECT local{0, 0, w, h};
  if (c.GetKind() == Kind::Picture) {
    auto& pic = static_cast<Picture&>(c);
    ::FillRect(mem, &local, ::GetSysColorBrush(COLOR_BTNFACE));
    if (pic.CanvasWidth() > 0 && pic.CanvasHeight() > 0 &&
        pic.Pixels().size() >= static_cast<size_t>(pic.CanvasWidth()) * static_cast<size_t>(pic.CanvasHeight())) {
      BITMAPINFO bi{};
      bi.bmiHeader.biSize = sizeof bi.bmiHeader;
      bi.bmiHeader.biWidth = pic.CanvasWidth();
      bi.bmiHeader.biHeight = -pic.CanvasHeight();  // top-down, as the canvas is stored
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = 32;
      bi.bmiHeader.biCompression = BI_RGB;
      if (pic.CanvasWidth() == w && pic.CanvasHeight() == h)
        ::SetDIBitsToDevice(mem, 0, 0, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                            static_cast<UINT>(h), pic.Pixels().data(), &bi, DIB_RGB_COLORS);
      else
        ::StretchDIBits(mem, 0, 0, w, h, 0, 0, pic.CanvasWidth(), pic.CanvasHeight(), pic.Pixels().data(), &bi,
                        DIB_RGB_COLORS, SRCCOPY);
    }
    if (pic.Icon() != 0) {
      const int side = ::MulDiv(16, static_cast<int>(fs.dpi), 96);
      ::DrawIconEx(mem, 0, 0, reinterpret_cast<HICON>(pic.Icon()), side, side, 0, nullptr, DI_NORMAL);
    }
  } else if (c.GetKind() == Kind::Button) {
    ::FillRect(mem, &local, ::GetSysColorBrush(COLOR_BTNFACE));
    const bool pressed = (d.itemState & ODS_SELECTED) != 0;
    if (pressed) {
      RECT edge = local;
      ::DrawEdge(mem, &edge, BDR_SUNKENOUTER, BF_RECT);
    }
    RECT glyphArea = local;
    if (pressed) ::OffsetRect(&glyphArea, 1, 1);
    const bool disabled = (d.itemState & ODS_DISABLED) != 0;
    DrawGlyph(mem, glyphArea, static_cast<Button&>(c).glyph, ::GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    if ((d.itemState & ODS_FOCUS) != 0 && (d.itemState & ODS_NOFOCUSRECT) == 0) {
      RECT focus = local;
      ::InflateRect(&focus, -2, -2);
      ::DrawFocusRect(mem, &focus);
    }
  }
  ::BitBlt(d.hDC, rc.left, rc.top, w, h, mem, 0, 0, SRCCOPY);
  return true;
}

// Glyphs are drawn from the button's size, so they stay sharp at any dpi.
void Win32Backend::DrawGlyph(HDC dc, const RECT& rc, Glyph glyph, COLORREF color) noexcept {
  const int w = rc.right - rc.left, h = rc.bottom - rc.top;
  const int side = std::min(w, h) * 5 / 8;  // the glyph's square
  if (side < 4) return;
  const int cx = rc.left + w / 2, cy = rc.top + h / 2;
  const int stroke = std::max(1, (side + 4) / 8);
  const OwnedGdi<HBRUSH> owned(::CreateSolidBrush(color));
  const HBRUSH brush = owned.get();
  if (glyph == Glyph::Menu) {
    // Three bars, evenly spaced, each a whole number of pixels thick.
    const int left = cx - side / 2, right = left + side;
    const int gap = (side - 3 * stroke) / 2;
    const int top = cy - (3 * stroke + 2 * gap) / 2;
    for (int i = 0; i < 3; ++i) {
      const int y = top + i * (stroke + gap);
      const RECT bar{left, y, right, y + stroke};
      ::FillRect(dc, &bar, brush);
    }
  } else if (glyph == Glyph::Refresh) {
    // A circle open at the upper right, turning anticlockwise, with the arrow head on its
    // right-hand end pointing up.
    const int head = std::max(2, stroke * 2);
    const int r = side / 2 - (head - stroke / 2) / 2;
    LOGBRUSH lb{BS_SOLID, color, 0};
    const OwnedGdi<HPEN> pen(::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                                            static_cast<DWORD>(stroke), &lb, 0, nullptr));
    const Selected withPen(dc, pen.get());
    const Selected withoutBrush(dc, ::GetStockObject(NULL_BRUSH));
    const int sx = cx + r / 2, sy = cy - (r * 866) / 1000;  // 60 degrees
    ::SetArcDirection(dc, AD_COUNTERCLOCKWISE);
    ::Arc(dc, cx - r, cy - r, cx + r + 1, cy + r + 1, sx, sy, cx + r, cy);
    ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    ::SelectObject(dc, brush);
    const int ex = cx + r;  // where the arc ends; the head's base is centred on the stroke
    const POINT tri[3] = {{ex - head, cy + 1}, {ex + head + 1, cy + 1}, {ex, cy - head}};
    ::Polygon(dc, tri, 3);
  }
}

namespace {

// A menu item's picture: the icon's pixels as a 32-bit bitmap with premultiplied alpha, which
// menus draw blended and unscaled. Null when the icon cannot be read.
HBITMAP MenuBitmapFromIcon(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !::GetIconInfo(icon, &info)) return nullptr;
  const OwnedGdi<HBITMAP> color(info.hbmColor), mask(info.hbmMask);
  HBITMAP result = nullptr;
  BITMAP bm{};
  if (info.hbmColor != nullptr && ::GetObjectW(info.hbmColor, sizeof(bm), &bm) == sizeof(bm) && bm.bmWidth > 0 &&
      bm.bmHeight > 0) {
    const int w = bm.bmWidth, h = bm.bmHeight;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
    std::vector<uint32_t> pixels(2 * n);  // the colour's, then the mask's
    // Windows alone from here, and it throws nothing: no unwind paths for the owners.
    [&]() noexcept {
      uint32_t* const colorBits = pixels.data();
      uint32_t* const maskBits = colorBits + n;
      const WindowDC screen(nullptr);
      const bool read =
          ::GetDIBits(screen.get(), info.hbmColor, 0, static_cast<UINT>(h), colorBits, &bi, DIB_RGB_COLORS) == h;
      bool hasAlpha = false;
      for (size_t i = 0; i < n; ++i) hasAlpha = hasAlpha || (colorBits[i] >> 24) != 0;
      // Without alpha the mask says which pixels are transparent.
      if (read && !hasAlpha && info.hbmMask != nullptr)
        ::GetDIBits(screen.get(), info.hbmMask, 0, static_cast<UINT>(h), maskBits, &bi, DIB_RGB_COLORS);
      void* bits = nullptr;
      if (read) result = ::CreateDIBSection(screen.get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
      if (result != nullptr && bits != nullptr) {
        auto* out = static_cast<uint32_t*>(bits);
        for (size_t i = 0; i < n; ++i) {
          const uint32_t px = colorBits[i];
          const uint32_t a = hasAlpha ? px >> 24 : ((maskBits[i] & 0xFFFFFFu) != 0 ? 0u : 255u);
          auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
          out[i] = (a << 24) | (pre((px >> 16) & 0xFF) << 16) | (pre((px >> 8) & 0xFF) << 8) | pre(px & 0xFF);
        }
      }
    }();
  }
  return result;
}

// The bitmaps a menu shows, deleted with the list once the menu is gone.
class MenuBitmaps {
 public:
  MenuBitmaps() = default;
  MenuBitmaps(const MenuBitmaps&) = delete;
  MenuBitmaps& operator=(const MenuBitmaps&) = delete;
  ~MenuBitmaps() {
    for (const HBITMAP b : list_) ::tessary::win32::owned_detail::GiveBack(::tessary::win32::GiveBy::DeleteObject, b);
  }
  // The list owns it once it is in; until then bmp does.
  void Add(OwnedGdi<HBITMAP>& bmp) {
    list_.push_back(bmp.get());
    (void)bmp.release();
  }

 private:
  std::vector<HBITMAP> list_;
};

// Appends the items to the menu, numbering them depth first from number; submenus become
// MF_POPUP menus owned by their parent. Bitmaps made for the items go to bitmaps.
void AppendItems(HMENU h, const std::vector<MenuItem>& items, UINT& number, MenuBitmaps& bitmaps) {
  for (const MenuItem& it : items) {
    const UINT id = ++number;  // command ids start at 1: 0 is "nothing chosen"
    if (it.IsSeparator()) {
      ::AppendMenuW(h, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const UINT state = (it.enabled ? MF_ENABLED : MF_GRAYED) | (it.checked ? MF_CHECKED : MF_UNCHECKED);
    if (!it.submenu.empty()) {
      OwnedMenu sub(::CreatePopupMenu());
      AppendItems(sub.get(), it.submenu, number, bitmaps);
      // From here the parent menu destroys it; one it refused is still ours.
      if (::AppendMenuW(h, MF_STRING | MF_POPUP | state, reinterpret_cast<UINT_PTR>(sub.get()), it.caption.c_str()))
        (void)sub.release();
    } else {
      ::AppendMenuW(h, MF_STRING | state, id, it.caption.c_str());
    }
    if (it.image != 0) {
      if (OwnedGdi<HBITMAP> bmp{MenuBitmapFromIcon(reinterpret_cast<HICON>(it.image))}) {
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_BITMAP;
        mii.hbmpItem = bmp.get();
        bitmaps.Add(bmp);
        ::SetMenuItemInfoW(h, static_cast<UINT>(::GetMenuItemCount(h) - 1), TRUE, &mii);
      }
    }
  }
}

}  // namespace

int32_t Win32Backend::TrackPopup(Form& form, const PopupMenu& menu, TPoint screenPoint) {
  const HWND owner = H(form.Handle());
  if (owner == nullptr) return -1;
  MenuBitmaps bitmaps;  // deleted after the menu that shows them
  const OwnedMenu owned(::CreatePopupMenu());  // its submenus go with it
  const HMENU h = owned.get();
  if (h == nullptr) return -1;
  UINT count = 0;
  AppendItems(h, menu.Items(), count, bitmaps);
  // A menu closes on a click elsewhere or on Escape only while its owner is the foreground window.
  // Our windows never take the foreground by a click, so the owner takes it for as long as the
  // menu is open and hands it back to the program that had it, unless the user went to another
  // one meanwhile.
  const HWND before = ::GetForegroundWindow();
  const bool borrowed = before != owner;
  if (borrowed) ::SetForegroundWindow(owner);
  const int cmd = ::TrackPopupMenu(h, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_NONOTIFY | TPM_RIGHTBUTTON,
                                   screenPoint.x, screenPoint.y, 0, owner, nullptr);
  ::PostMessageW(owner, WM_NULL, 0, 0);  // lets the menu's mode end before the next menu opens
  if (borrowed && before != nullptr && ::IsWindow(before) && ::GetForegroundWindow() == owner)
    ::SetForegroundWindow(before);
  if (cmd <= 0 || static_cast<UINT>(cmd) > count) return -1;
  return cmd - 1;
}

// Enter clicks the focused push button or else the form's default button; Escape clicks its
// cancel button. The program's windows are not dialogs, so no dialog manager does this for us.
bool ClickDialogButton(Control& focused, uint16_t vk) {
  if (focused.GetKind() == Kind::Memo) return false;
  if (focused.GetKind() == Kind::Button && vk == VK_RETURN) {
    focused.Click();
    return true;
  }
  for (const auto& c : focused.GetForm().Controls()) {
    if (c->GetKind() != Kind::Button || !c->Usable()) continue;
    const auto& b = static_cast<const Button&>(*c);
    if ((vk == VK_RETURN && b.isDefault) || (vk == VK_ESCAPE && b.isCancel)) {
      c->Click();
      return true;
    }
  }
  return false;
}

// The form a click must not activate, while its control handles the button press.
thread_local HWND t_keepInactive = nullptr;

LRESULT CALLBACK RefuseActivation(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE && t_keepInactive != nullptr && reinterpret_cast<HWND>(wp) == t_keepInactive) return 1;
  return ::CallNextHookEx(nullptr, code, wp, lp);
}

// Controls take the focus when pressed, and taking the focus activates their form. A form that
// never activates (the main window) must leave the foreground to the user's program, so a press on
// anything but a text box (which needs the keyboard) keeps its form inactive.
bool KeepsFormInactive(const Control& c, UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      break;
    default:
      return false;
  }
  if (c.GetKind() == Kind::Edit || c.GetKind() == Kind::SpinEdit) return false;
  const HWND form = H(c.GetForm().Handle());
  return form != nullptr && (::GetWindowLongW(form, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0 &&
         ::GetActiveWindow() != form;
}

LRESULT CALLBACK Win32Backend::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  auto* m = reinterpret_cast<Mirror*>(ref);
  if (KeepsFormInactive(*m->control, msg) && t_keepInactive == nullptr) {
    const HHOOK hook = ::SetWindowsHookExW(WH_CBT, RefuseActivation, nullptr, ::GetCurrentThreadId());
    t_keepInactive = H(m->control->GetForm().Handle());
    const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
    t_keepInactive = nullptr;
    if (hook != nullptr) ::UnhookWindowsHookEx(hook);
    return r;
  }
  switch (msg) {
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(hwnd, SubclassProc, id);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      if (hwnd != m->hwnd) break;
      ShiftState shift = ShiftNow();
      if (lp & (1 << 29)) shift |= ssAlt;  // the context code: Alt is held
      // Consumed: with WM_SYSKEYDOWN this also keeps Alt+key from the system menu and its beep.
      if (m->control->KeyDown(static_cast<uint16_t>(wp), shift)) return 0;
      if (msg == WM_KEYDOWN && (wp == VK_RETURN || wp == VK_ESCAPE) &&
          ClickDialogButton(*m->control, static_cast<uint16_t>(wp)))
        return 0;
      break;
    }
    case WM_CHAR:
    case WM_SYSCHAR:
      if (hwnd == m->hwnd && m->control->KeyPress(static_cast<wchar_t>(wp))) return 0;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      Form& form = m->control->GetForm();
      // The form sees the key first, as a form with key preview does.
      if (form.keyPreview && form.Handle() != 0) ::SendMessageW(H(form.Handle()), msg, wp, lp);
      // A control that takes every key: releasing Alt must not enter the menu mode either.
      if (msg == WM_SYSKEYUP && hwnd == m->hwnd && m->control->onKeyDown) return 0;
      break;
    }
    case WM_GETDLGCODE:
      if (hwnd == m->hwnd && m->control->dialogCode != 0) return m->control->dialogCode;
      break;
    case WM_SETFOCUS:
      if (hwnd == m->hwnd) m->control->GetForm().FocusTaken(m->control);
      break;
    case WM_SETCURSOR:
      if (m->control->GetKind() == Kind::Label && hwnd == m->hwnd &&
          static_cast<Label*>(m->control)->GetCursor() == Cursor::UpArrow && LOWORD(lp) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_UPARROW));
        return TRUE;
      }
      break;
    case WM_MOUSEMOVE:
      if (m->control->GetKind() == Kind::Label && !m->tracking) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, hwnd, 0};
        m->tracking = ::TrackMouseEvent(&tme) != FALSE;
        auto& label = static_cast<Label&>(*m->control);
        if (label.onMouseEnter) label.onMouseEnter();
      }
      break;
    case WM_MOUSELEAVE:
      if (m->control->GetKind() == Kind::Label && m->tracking) {
        m->tracking = false;
        auto& label = static_cast<Label&>(*m->control);
        if (label.onMouseLeave) label.onMouseLeave();
      }
      break;
    case WM_ERASEBKGND:
      if (m->control->GetKind() == Kind::Picture) return TRUE;  // the owner draw covers every pixel
      break;
    case WM_KILLFOCUS:
      if (m->control->GetKind() == Kind::SpinEdit && hwnd == m->hwnd) {
        const std::wstring text = IntText(static_cast<SpinEdit*>(m->control)->Value());
        if (WindowText(hwnd) != text) {
          // The model already holds the clamped value; the text it reports back changes nothing.
          const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
          ::SetWindowTextW(hwnd, text.c_str());
          return r;
        }
      }
      break;
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

IBackend& Backend() {
  static Win32Backend backend;
  return backend;
}

}  // namespace tessary::ui::win32
