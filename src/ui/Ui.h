// The small widget layer the program's windows are built from.
//
// A form is a real top-level window made through the window-system interface, so on the
// simulated desktop it is a window of "Tessary.exe" that z-order walks, foreground tests and
// own-window checks see exactly as on Windows. Its controls are portable objects that hold
// their whole state (text, enabled, checked, rows, value, page, pixels); a backend mirrors them:
// ui/win32 as real child controls, ui/headless as nothing more than the model itself, which
// tests drive through ui/headless/Headless.h.
//
// Geometry is designed at 96 dpi and scaled for the form's monitor. Every control's rectangle
// is computed here (scaling, anchors, page areas) in the form's client coordinates, so the
// backends place controls without doing any layout of their own.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/AppState.h"
#include "core/UnitTimerManager.h"
#include "desktop/WindowSystem.h"

namespace tessary::ui {

class Form;
class Control;
class PopupMenu;

enum class Kind {
  Label,
  Button,
  CheckBox,
  RadioButton,
  Edit,
  Memo,
  ListBox,
  SpinEdit,
  GroupBox,
  Panel,
  PageControl,
  Page,
  Picture,
};

enum Anchor : uint8_t { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
inline constexpr uint8_t akDefault = akLeft | akTop;
inline constexpr uint8_t akAll = akLeft | akTop | akRight | akBottom;

enum class Glyph { None, Refresh, Menu };
enum class Cursor { Default, UpArrow };
enum class Align { Left, Right };

struct FontDesc {
  std::wstring face = L"Tahoma";
  int32_t points = 8;
  bool bold = false;
  bool underline = false;
  friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

// What a backend is told after the model changed.
enum class Change {
  Text,
  Hint,
  Enabled,
  Visible,  // the control's own flag; backends show a control when Showing() is true
  Checked,
  Value,       // spin edit value or range
  Rows,        // list box / memo rows: index >= 0 = that row inserted or deleted, -1 = all
  Scroll,      // memo top line
  Page,        // page control's active page
  Pixels,      // picture canvas
  Cursor,
  Layout,      // rectangles changed (dpi, resize): every control of the form
  Focus,       // the form's active control: it takes the keyboard focus when its form is active
};

// The modifiers held when a key arrived.
enum ShiftFlag : uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
using ShiftState = uint8_t;
// The modifiers down now, from the thread's key state.
ShiftState ShiftNow();
// Keys a dialog would use to navigate or to press its default or cancel button.
bool IsDialogKey(uint16_t vk);

// A rectangle in 96-dpi design units: left, top, width, height.
struct Box {
  int32_t x = 0, y = 0, w = 0, h = 0;
};

// The backend that mirrors forms and controls. One per process (win32 in the exe, headless in
// tests). Calls come on the UI thread only.
class IBackend {
 public:
  virtual ~IBackend() = default;
  // The form's window exists (hidden): create what mirrors every control, in creation order.
  virtual void FormCreated(Form& form) = 0;
  virtual void FormDestroying(Form& form) = 0;
  // index: the row for Change::Rows, else -1.
  virtual void ControlChanged(Control& control, Change what, int32_t index) = 0;
  // Messages of the form's window the backend handles itself (notifications of its controls,
  // owner drawing, colours). True when handled; result is then the answer.
  virtual bool FormMessage(Form& form, uint32_t msg, uintptr_t wParam, intptr_t lParam, intptr_t& result) = 0;
  // Shows the menu at a screen point and waits for the choice, as TrackPopupMenu does (messages,
  // timers included, keep running meanwhile). Returns the chosen item's depth-first number
  // (PopupMenu::ItemByNumber), or -1.
  virtual int32_t TrackPopup(Form& form, const PopupMenu& menu, TPoint screenPoint) = 0;
};

IBackend& backend();
void SetBackend(IBackend* b);  // nullptr: none (forms then create no control mirrors)

// ---------------------------------------------------------------- controls

class Control {
 public:
  Control(Form& form, Control* parent, Kind kind, std::wstring name, Box bounds);
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Kind GetKind() const { return kind_; }
  const std::wstring& Name() const { return name_; }
  Form& GetForm() const { return form_; }
  Control* Parent() const { return parent_; }
  int32_t Id() const { return id_; }  // unique in its form, from 100 up; the backend's control id

  const std::wstring& Text() const { return text_; }
  void SetText(const std::wstring& text);
  const std::wstring& Hint() const { return hint_; }
  void SetHint(const std::wstring& hint);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }  // the control's own flag
  void SetVisible(bool visible);
  // Visible itself, every container up to the form visible, and on its page control's active page.
  bool Showing() const;
  // Showing, enabled, and no container disabled: what a user can click.
  bool Usable() const;

  const FontDesc& Font() const { return font_; }
  void SetFont(const FontDesc& font) { font_ = font; }
  uint8_t Anchors() const { return anchors_; }
  void SetAnchors(uint8_t anchors) { anchors_ = anchors; }
  const Box& Design() const { return design_; }
  void SetDesign(Box b);
  // Where the control lies in the form's client area, in physical pixels.
  TRect ClientRect() const;
  // The area its children are laid out in (a page's area inside its page control), physical.
  virtual TRect ChildArea() const { return ClientRect(); }

  // Clicks: fires onClick when Usable(). Backends call it for a real click; tests through
  // the headless helpers. Check boxes and radio buttons change their state first.
  virtual void Click();
  std::function<void()> onClick;

  // Keyboard. A key going down on the control (WM_KEYDOWN or WM_SYSKEYDOWN, Alt combinations
  // included) goes to the form's key preview, then to onKeyDown, then, for a dialog key the
  // control does not claim in dialogCode, to the form's onDialogKey. A handler consumes the key by
  // setting it to 0. True when it was consumed: the platform then does nothing more with it.
  bool KeyDown(uint16_t key, ShiftState shift);
  // A character (WM_CHAR or WM_SYSCHAR) typed into the control; consumed when onKeyPress sets it to 0.
  bool KeyPress(wchar_t ch);
  std::function<void(uint16_t& key, ShiftState shift)> onKeyDown;
  std::function<void(wchar_t& key)> onKeyPress;
  // The control's answer to WM_GETDLGCODE (wc::DLGC_*), 0 for the platform's own.
  uint32_t dialogCode = 0;
  bool tabStop = true;  // read when the form's window is created

  uintptr_t peer = 0;  // the backend's handle for this control (an HWND on Windows)

 protected:
  void Changed(Change what, int32_t index = -1);

 private:
  Form& form_;
  Control* parent_;
  Kind kind_;
  std::wstring name_;
  Box design_;
  int32_t id_;
  std::wstring text_, hint_;
  bool enabled_ = true, visible_ = true;
  FontDesc font_;
  uint8_t anchors_ = akDefault;
};

// Static text. Ellipsis cuts a text that does not fit with "..." (the hint then holds the full text).
class Label : public Control {
 public:
  Label(Form& f, Control* p, std::wstring name, Box b, std::wstring text);
  bool ellipsis = false;
  bool wordWrap = false;
  bool transparent = false;
  bool framed = false;  // a sunken frame, as a status panel
  Cursor GetCursor() const { return cursor_; }
  void SetCursor(Cursor c);
  std::function<void()> onMouseEnter, onMouseLeave;

 private:
  Cursor cursor_ = Cursor::Default;
};

class Button : public Control {
 public:
  Button(Form& f, Control* p, std::wstring name, Box b, std::wstring caption);
  bool flat = false;
  Glyph glyph = Glyph::None;  // drawn instead of the caption
  bool isDefault = false;     // Enter clicks it
  bool isCancel = false;      // Escape clicks it
};

class CheckBox : public Control {
 public:
  CheckBox(Form& f, Control* p, std::wstring name, Box b, std::wstring caption, bool checked = false);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);  // no onClick
  void Click() override;          // toggles, then onClick

 private:
  bool checked_;
};

// Radio buttons with the same parent form one group: checking one clears the others.
class RadioButton : public Control {
 public:
  RadioButton(Form& f, Control* p, std::wstring name, Box b, std::wstring caption, bool checked = false);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);  // checking clears the siblings; no onClick
  void Click() override;          // checks, then onClick

 private:
  bool checked_;
};

class Edit : public Control {
 public:
  Edit(Form& f, Control* p, std::wstring name, Box b, std::wstring text = L"");
  bool readOnly = false;
  std::function<void()> onChange;
  // The user typed: the backend (or a test) reports the new text. Fires onChange.
  void UserEdited(const std::wstring& text);
};

// Multi-line text, one string per line.
class Memo : public Control {
 public:
  Memo(Form& f, Control* p, std::wstring name, Box b);
  bool readOnly = true;
  const std::vector<std::wstring>& Lines() const { return lines_; }
  void AddLine(const std::wstring& line);
  void DeleteLine(int32_t index);
  void ClearLines();
  int32_t LineCount() const { return static_cast<int32_t>(lines_.size()); }
  // EM_LINESCROLL: moves the first visible line by n (kept within the lines).
  void LineScroll(int32_t n);
  int32_t TopLine() const { return topLine_; }

 private:
  std::vector<std::wstring> lines_;
  int32_t topLine_ = 0;
};

class ListBox : public Control {
 public:
  ListBox(Form& f, Control* p, std::wstring name, Box b);
  int32_t rowHeight = 13;  // at 96 dpi
  const std::vector<std::wstring>& Rows() const { return rows_; }
  int32_t RowCount() const { return static_cast<int32_t>(rows_.size()); }
  void InsertRow(int32_t index, const std::wstring& row);
  void DeleteRow(int32_t index);
  void SetRows(std::vector<std::wstring> rows);
  void ClearRows();

 private:
  std::vector<std::wstring> rows_;
};

// A number box with up/down arrows. Values outside the range are clamped.
class SpinEdit : public Control {
 public:
  SpinEdit(Form& f, Control* p, std::wstring name, Box b, int32_t minValue, int32_t maxValue, int32_t step,
           int32_t value);
  int32_t Value() const { return value_; }
  void SetValue(int32_t v);
  int32_t MinValue() const { return min_; }
  int32_t MaxValue() const { return max_; }
  int32_t Step() const { return step_; }
  Align alignment = Align::Left;
  void SetAlignment(Align a);
  std::function<void()> onChange;
  // The user typed or pressed an arrow: the backend (or a test) reports the text now shown;
  // a number is clamped into the range, anything else leaves the value as it was.
  void UserEdited(const std::wstring& text);
  void UserStep(int32_t steps);  // +1 = up arrow

 private:
  int32_t min_, max_, step_, value_;
};

class GroupBox : public Control {
 public:
  GroupBox(Form& f, Control* p, std::wstring name, Box b, std::wstring caption);
};

class Panel : public Control {
 public:
  Panel(Form& f, Control* p, std::wstring name, Box b);
  bool framed = false;
};

class Page;

// Pages with or without their tabs. Without tabs each page fills the control; with tabs the
// pages sit below a row of tabs of TabHeight (96-dpi) pixels.
class PageControl : public Control {
 public:
  static constexpr int32_t TabHeight = 24;
  PageControl(Form& f, Control* p, std::wstring name, Box b);
  bool TabsVisible() const { return tabsVisible_; }
  void SetTabsVisible(bool v);
  bool flatButtons = false;
  const std::vector<Page*>& Pages() const { return pages_; }
  int32_t ActiveIndex() const { return active_; }
  Page* ActivePage() const;
  void SetActiveIndex(int32_t index);  // ignored when out of range
  void SetActivePage(const Page* page);
  TRect ChildArea() const override;
  std::function<void()> onChange;  // the user picked a tab (UserSelected)
  void UserSelected(int32_t index);

 private:
  friend class Page;
  std::vector<Page*> pages_;
  int32_t active_ = -1;
  bool tabsVisible_ = true;
};

// A page's caption is its tab's text. Design boxes of its children are relative to the page.
class Page : public Control {
 public:
  Page(Form& f, PageControl& owner, std::wstring name, std::wstring caption);
  PageControl& Owner() const { return owner_; }
  int32_t Index() const;
  TRect ChildArea() const override;

 private:
  PageControl& owner_;
};

// A small canvas. Its pixels are the control's physical size; drawing is portable and the
// backend copies the pixels to the screen. An icon, when set, is drawn over the pixels at
// (0, 0) in 16 x 16 by the backend (the platform draws icons).
class Picture : public Control {
 public:
  Picture(Form& f, Control* p, std::wstring name, Box b);
  int32_t CanvasWidth() const { return w_; }
  int32_t CanvasHeight() const { return h_; }
  uint32_t Pixel(int32_t x, int32_t y) const;  // 0x00RRGGBB; 0 outside
  const std::vector<uint32_t>& Pixels() const { return px_; }
  // Fill the half-open rectangle (clipped to the canvas).
  void FillRect(const TRect& r, uint32_t rgb);
  // One-pixel outline in pen, inside filled with brush, as GDI's Rectangle (right/bottom exclusive).
  void Rectangle(const TRect& r, uint32_t pen, uint32_t brush);
  IconHandle Icon() const { return icon_; }
  void SetIcon(IconHandle icon);  // borrowed: the caller keeps owning it
  // Follows a new physical size (dpi change): the pixels are cleared to the background.
  void ResizeCanvas();
  uint32_t background = 0xF0F0F0;

 private:
  int32_t w_ = 0, h_ = 0;
  std::vector<uint32_t> px_;
  IconHandle icon_ = 0;
};

inline constexpr uint32_t RGB(uint8_t r, uint8_t g, uint8_t b) { return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b; }
// The system's button-shadow colour (COLOR_BTNSHADOW with the classic scheme).
inline constexpr uint32_t ColorBtnShadow = RGB(160, 160, 160);

// ---------------------------------------------------------------- menus and timers

struct MenuItem {
  std::wstring name;     // "MIStatus1"; empty for a separator
  std::wstring caption;  // empty for a separator
  bool enabled = true;
  bool checked = false;
  IconHandle image = 0;  // drawn beside the caption; borrowed: the menu's owner keeps it alive
  std::function<void()> onClick;
  // A non-empty submenu makes the item open it; choosing the item itself then does nothing.
  std::vector<MenuItem> submenu;
  bool IsSeparator() const { return caption.empty(); }
  MenuItem& Add(std::wstring itemName, std::wstring itemCaption, std::function<void()> click);  // to the submenu
  void AddSeparator();
};

// Items are numbered for the backend depth first: an item, then its submenu's items, then the
// next item. A menu without submenus numbers its items by their index.
class PopupMenu {
 public:
  explicit PopupMenu(std::wstring name) : name_(std::move(name)) {}
  const std::wstring& Name() const { return name_; }
  MenuItem& Add(std::wstring name, std::wstring caption, std::function<void()> onClick);
  void AddSeparator();
  std::vector<MenuItem>& Items() { return items_; }
  const std::vector<MenuItem>& Items() const { return items_; }
  MenuItem* Find(const std::wstring& name);  // top-level items only
  // The item of that depth-first number, or null.
  const MenuItem* ItemByNumber(int32_t number) const;
  // The number of the item reached through these names ("MIWatcher", "MIEnable"), or -1.
  int32_t NumberOfPath(const std::vector<std::wstring>& names) const;
  std::function<void()> onPopup;  // before it shows: items may change
  // Runs onPopup, shows the menu with its top-left corner at the screen point and runs the
  // chosen enabled item's onClick after the menu closed.
  void Popup(Form& form, TPoint screenPoint);

 private:
  std::wstring name_;
  std::vector<MenuItem> items_;
};

// A window timer of a form (WM_TIMER on the form's window). The timer manager can take it over
// (TTimerManager::add); it leaves the manager's list when it is destroyed.
class Timer final : public IManagedTimer {
 public:
  Timer(Form& form, std::wstring name, uint32_t intervalMs, bool enabled, std::function<void()> onTimer);
  ~Timer() override;
  const std::wstring& Name() const { return name_; }
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;  // stopping and starting again restarts the interval
  uint32_t Interval() const override { return interval_; }
  std::function<void()> TickHandler() const override { return onTimer; }
  void SetTickHandler(std::function<void()> handler) override { onTimer = std::move(handler); }
  void SetInterval(uint32_t ms);  // restarts a running timer
  uintptr_t Id() const { return id_; }
  void Fire();  // what WM_TIMER runs: onTimer when enabled
  std::function<void()> onTimer;

 private:
  friend class Form;
  void Arm();
  Form& form_;
  std::wstring name_;
  uint32_t interval_;
  bool enabled_;
  uintptr_t id_;
};

// ---------------------------------------------------------------- forms

struct FormStyle {
  uint32_t style = 0;       // wc::WS_*
  uint32_t exStyle = 0;     // wc::WS_EX_*
  uint32_t classStyle = 0;  // wc::CS_*
};

class Form {
 public:
  // clientW/clientH: the client area at 96 dpi.
  Form(std::wstring className, std::wstring caption, int32_t clientW, int32_t clientH, FormStyle style);
  virtual ~Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Creates the window, hidden, and the mirrors of the controls added so far. owner 0: none.
  // False (and Handle() 0) when the window could not be created.
  bool CreateWindow(WindowHandle owner = 0);
  WindowHandle Handle() const { return handle_; }
  const std::wstring& ClassName() const { return className_; }
  const std::wstring& Caption() const { return caption_; }
  const FormStyle& Style() const { return style_; }

  template <class T, class... A>
  T& Add(A&&... args) {
    auto c = std::make_unique<T>(*this, std::forward<A>(args)...);
    T& ref = *c;
    Adopt(std::move(c));
    return ref;
  }
  const std::vector<std::unique_ptr<Control>>& Controls() const { return controls_; }
  Control* Find(const std::wstring& name) const;
  Timer& AddTimer(std::wstring name, uint32_t intervalMs, bool enabled, std::function<void()> onTimer);
  const std::vector<std::unique_ptr<Timer>>& Timers() const { return timers_; }

  // Shows without activating when the form never activates; runs onShow each time it becomes visible.
  void Show();
  void Hide();
  bool Visible() const;  // the window is visible
  // Shows the window and brings it to the front (a later start asked for it).
  void ShowAndRaise();

  // The window rectangle in physical pixels (Left/Top/Width/Height as a form has them).
  int32_t Left() const;
  int32_t Top() const;
  int32_t Width() const;
  int32_t Height() const;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  void SetPosition(int32_t left, int32_t top);
  // Centred on the monitor's work area the form is nearest to.
  void CenterOnScreen();

  uint32_t Dpi() const { return dpi_; }
  int32_t Scale(int32_t v96) const;  // rounded like MulDiv
  int32_t ClientWidth() const { return clientW_; }   // physical
  int32_t ClientHeight() const { return clientH_; }  // physical
  int32_t DesignClientWidth() const { return designW_; }
  int32_t DesignClientHeight() const { return designH_; }

  bool closeHides = true;   // WM_CLOSE only hides
  bool keyPreview = false;  // keys of any control reach onKeyDown and onKeyUp first
  std::function<void()> onShow;
  std::function<void(uint16_t& key, ShiftState shift)> onKeyDown;
  std::function<void(uint16_t vk)> onKeyUp;
  // Tab, arrows, Enter or Escape that the focused control neither consumed nor claims: true when
  // the form handled it (no navigation, no default or cancel button then).
  std::function<bool(uint16_t key, ShiftState shift)> onDialogKey;
  std::function<void()> onActivate;  // WM_ACTIVATE: the form became the active window

  // The control that has (or gets, when the form is next active) the keyboard focus.
  Control* ActiveControl() const { return activeControl_; }
  void SetActiveControl(Control* c);
  // The backend's report that the user moved the focus to the control.
  void FocusTaken(Control* c) { activeControl_ = c; }

  // A disabled form's window takes no input (WS_DISABLED); its controls are not Usable.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // Shows the form as a modal dialog: the program's other visible forms are disabled, shown runs
  // once the window is visible, and a nested message loop runs until the form hides itself (a
  // button's handler). Every handler of the program may run inside it. The loop also ends when
  // the application is asked to end (the quit stays for the outer loop): the form is hidden and
  // the result is false, as when it could not be shown or is already running modally.
  bool ShowModal(const std::function<void()>& shown = nullptr);
  bool InModal() const { return modal_; }
  std::function<void()> onDestroy;  // before the window goes

  // The form's window procedure. Derived forms add messages (WM_DISPLAYCHANGE, WM_HOTKEY, ...)
  // and call this for the rest.
  virtual intptr_t WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);
  // Destroys the window (runs onDestroy first). Also done by the destructor.
  void DestroyWindow();

 private:
  void Adopt(std::unique_ptr<Control> c);
  void ApplyDpi(uint32_t dpi);
  void ReadClientSize();
  std::wstring className_, caption_;
  FormStyle style_;
  int32_t designW_, designH_;
  int32_t clientW_, clientH_;
  uint32_t dpi_ = 96;
  WindowHandle handle_ = 0;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<std::unique_ptr<Timer>> timers_;
  std::shared_ptr<Form*> self_;  // the window's handler reaches the form through it
  int32_t nextId_ = 100;
  Control* activeControl_ = nullptr;
  bool enabled_ = true;
  bool modal_ = false;
  friend class Control;
};

// ---------------------------------------------------------------- application

// The application's state lives below the widgets; forms reach it as ui::app.
namespace app = ::tessary::app;

}  // namespace tessary::ui
