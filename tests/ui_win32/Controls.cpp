// The Windows backend of the widget layer, checked through the Windows API itself: what each
// control's window is, where it lies, what a user's click or typing does to the model, and what
// the form costs in GDI objects.
#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "ui/Ui.h"
#include "ui_win32/Gallery.h"

#include <windows.h>
#include <commctrl.h>
#include <winternl.h>

#undef CreateWindow
#undef RGB

namespace tessary::ui::test {
namespace {

HWND Hw(const Control& c) { return reinterpret_cast<HWND>(c.peer); }

std::wstring ClassOf(HWND h) {
  wchar_t buf[64] = {};
  ::GetClassNameW(h, buf, 64);
  std::wstring s(buf);
  for (wchar_t& ch : s) ch = static_cast<wchar_t>(std::towlower(ch));
  return s;
}

std::wstring TextOf(HWND h) {
  wchar_t buf[256] = {};
  ::GetWindowTextW(h, buf, 256);
  return buf;
}

// The window's rectangle in its parent's client coordinates.
TRect PlaceOf(HWND h) {
  RECT r{};
  ::GetWindowRect(h, &r);
  ::MapWindowPoints(nullptr, ::GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return TRect{r.left, r.top, r.right, r.bottom};
}

LOGFONTW FontOf(HWND h) {
  LOGFONTW lf{};
  ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(h, WM_GETFONT, 0, 0)), sizeof lf, &lf);
  return lf;
}

// A spin edit is its edit and the arrows beside it; the arrows are the edit's next sibling
// window of the up-down class.
HWND ArrowsOf(HWND edit) {
  for (HWND h = ::GetWindow(::GetParent(edit), GW_CHILD); h != nullptr; h = ::GetWindow(h, GW_HWNDNEXT))
    if (ClassOf(h) == L"msctls_updown32" &&
        reinterpret_cast<HWND>(::SendMessageW(h, UDM_GETBUDDY, 0, 0)) == edit)
      return h;
  return nullptr;
}

void Pump() { app::ProcessPendingMessages(); }

// Waits (bounded) for something another party does: a real input event, a menu opening.
template <class F>
bool WaitFor(F done) {
  for (int i = 0; i < 400 && !done(); ++i) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    Pump();
  }
  return done();
}

void Type(HWND edit, const std::wstring& text) {
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  for (wchar_t ch : text) ::SendMessageW(edit, WM_CHAR, ch, 1);
}

void RealClick(POINT screen) {
  ::SetCursorPos(screen.x, screen.y);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, in, sizeof(INPUT));
}

POINT CentreOnScreen(HWND h) {
  RECT r{};
  ::GetWindowRect(h, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// An ordinary window of another kind that holds the foreground, as the user's program does.
HWND MakeOtherWindow() {
  const HWND h = ::CreateWindowExW(0, L"STATIC", L"The user's program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 900, 200,
                                   300, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ::SetForegroundWindow(h);
  Pump();
  return h;
}

// Live GDI objects of this process. Wine's GetGuiResources counts nothing, so there the handle
// table that Windows and Wine both map into the process (PEB GdiSharedHandleTable) is counted.
size_t GdiObjects() {
  if (const DWORD n = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)) return n;
  struct Entry {  // GDI_HANDLE_ENTRY, 64-bit
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 user;
  };
  static_assert(sizeof(Entry) == 24);
  using Query = LONG(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION info{};
  if (query == nullptr || query(::GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
    return 0;
  const auto* peb = reinterpret_cast<const BYTE*>(info.PebBaseAddress);
  const auto* table = *reinterpret_cast<const Entry* const*>(peb + 0xF8);
  if (table == nullptr) return 0;
  size_t live = 0;
  for (size_t i = 0; i < 0x10000; ++i) live += table[i].type != 0 ? 1 : 0;
  return live;
}

class Win32Ui : public ::testing::Test {
 protected:
  void SetUp() override { Open(0); }
  void TearDown() override {
    g.form.reset();
    if (other != nullptr) ::DestroyWindow(other);
    Pump();
  }
  void Open(uint32_t exStyle) {
    g = MakeGallery(exStyle);
    ASSERT_TRUE(g.form->CreateWindow());
    g.form->SetPosition(40, 40);
    g.form->Show();
    Pump();
  }
  HWND FormHwnd() const { return reinterpret_cast<HWND>(g.form->Handle()); }
  // Every control's window sits where the model says, a spin edit's edit and arrows together.
  void ExpectPlacesMatch() {
    for (const auto& c : g.form->Controls()) {
      if (c->peer == 0) continue;
      TRect place = PlaceOf(Hw(*c));
      if (c->GetKind() == Kind::SpinEdit) place.Right = PlaceOf(ArrowsOf(Hw(*c))).Right;
      EXPECT_EQ(place, c->ClientRect()) << "control " << std::string(c->Name().begin(), c->Name().end());
    }
  }
  Gallery g;
  HWND other = nullptr;
};

TEST_F(Win32Ui, EveryControlIsTheWindowItsModelDescribes) {
  struct Case {
    Control* control;
    const wchar_t* cls;
    LONG mask, style;  // (style & mask) == style
    const wchar_t* text;
  };
  const LONG typeMask = SS_TYPEMASK;
  const std::vector<Case> cases = {
      {g.group, L"button", BS_TYPEMASK, BS_GROUPBOX, L"Foreground Program"},
      {g.icon, L"static", typeMask | SS_NOTIFY, SS_OWNERDRAW | SS_NOTIFY, L""},
      {g.program, L"static", typeMask | SS_ELLIPSISMASK | SS_NOPREFIX | SS_NOTIFY,
       SS_LEFTNOWORDWRAP | SS_ENDELLIPSIS | SS_NOPREFIX | SS_NOTIFY, L"averyveryverylongprogramname-with-more.exe"},
      {g.refresh, L"button", BS_TYPEMASK, BS_OWNERDRAW, L""},
      {g.wrapped, L"static", typeMask | SS_SUNKEN, SS_LEFT, g.wrapped->Text().c_str()},
      {g.link, L"static", typeMask, SS_LEFTNOWORDWRAP, L"https://example.org/"},
      {g.screen, L"static", typeMask, SS_OWNERDRAW, L""},
      {g.left, L"button", BS_TYPEMASK | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP, L"Move Left"},
      {g.up, L"button", BS_TYPEMASK, BS_PUSHBUTTON, L"Move Up"},
      {g.tabs, L"systabcontrol32", 0, 0, L""},
      {g.autoClose, L"button", BS_TYPEMASK | WS_TABSTOP, BS_AUTOCHECKBOX | WS_TABSTOP,
       L"Close this window after clicking Move Left/Right"},
      {g.power, L"button", BS_TYPEMASK | WS_GROUP, BS_AUTORADIOBUTTON | WS_GROUP, L"Monitor Power State"},
      {g.resolution, L"button", BS_TYPEMASK | WS_GROUP, BS_AUTORADIOBUTTON, L"Resolution Change"},
      {g.edit, L"edit", ES_AUTOHSCROLL | ES_MULTILINE, ES_AUTOHSCROLL, L"Edit me"},
      {g.delay, L"edit", ES_RIGHT, ES_RIGHT, L"2000"},
      {g.memo, L"edit", ES_MULTILINE | ES_READONLY | WS_VSCROLL, ES_MULTILINE | ES_READONLY | WS_VSCROLL, L""},
      {g.list, L"listbox", LBS_NOINTEGRALHEIGHT, LBS_NOINTEGRALHEIGHT, L""},
      {g.panel, L"static", SS_SUNKEN, SS_SUNKEN, L""},
      {g.status, L"static", SS_SUNKEN, SS_SUNKEN, L"Moving [notepad.exe] Left "},
      {g.debug, L"button", BS_TYPEMASK, BS_DEFPUSHBUTTON, L"Debug"},
      {g.view, L"button", BS_TYPEMASK, BS_OWNERDRAW, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.control->Name().begin(), c.control->Name().end()));
    const HWND h = Hw(*c.control);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(::GetParent(h), FormHwnd());
    EXPECT_EQ(ClassOf(h), c.cls);
    const LONG style = ::GetWindowLongW(h, GWL_STYLE);
    EXPECT_EQ(style & c.mask, c.style);
    EXPECT_TRUE(style & WS_CLIPSIBLINGS);
    EXPECT_EQ(::GetDlgCtrlID(h), c.control->Id());
    EXPECT_EQ(TextOf(h), c.text);
    EXPECT_EQ(::IsWindowVisible(h) != FALSE, c.control->Showing());
  }
  ExpectPlacesMatch();
  // Pages and a page control without tabs have no window of their own.
  for (const Control* c : {static_cast<Control*>(g.layout), static_cast<Control*>(g.horz),
                           static_cast<Control*>(g.options)})
    EXPECT_EQ(c->peer, 0u);
  // The tabs carry the page captions; the edit gets the font the model asks for.
  ASSERT_EQ(::SendMessageW(Hw(*g.tabs), TCM_GETITEMCOUNT, 0, 0), 2);
  wchar_t caption[64] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = caption;
  item.cchTextMax = 64;
  ::SendMessageW(Hw(*g.tabs), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(caption, L"  Monitor Watcher  ");
  const LOGFONTW link = FontOf(Hw(*g.link));
  EXPECT_STREQ(link.lfFaceName, L"Verdana");
  EXPECT_EQ(link.lfWeight, FW_BOLD);
  EXPECT_TRUE(link.lfUnderline);
  EXPECT_EQ(link.lfHeight, -::MulDiv(8, static_cast<int>(g.form->Dpi()), 72));
  // Containers lie under what they hold: the group box's icon is hit, not the group box.
  EXPECT_EQ(::ChildWindowFromPointEx(FormHwnd(), POINT{g.icon->ClientRect().Left + 2, g.icon->ClientRect().Top + 2},
                                     CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT),
            Hw(*g.icon));
  const TRect cb = g.autoClose->ClientRect();
  EXPECT_EQ(::ChildWindowFromPointEx(FormHwnd(), POINT{cb.Left + 4, cb.Top + 4}, CWP_SKIPINVISIBLE), Hw(*g.autoClose));
}

// The form's one tooltip window: owned by the form.
HWND TooltipOf(HWND form) {
  struct Find {
    HWND form, found;
  } find{form, nullptr};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND h, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Find*>(lp);
        if (::GetWindow(h, GW_OWNER) == f->form && ClassOf(h) == L"tooltips_class32") f->found = h;
        return f->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.found;
}

TEST_F(Win32Ui, HintsAreTheFormsTooltips) {
  const HWND tip = TooltipOf(FormHwnd());
  ASSERT_NE(tip, nullptr);
  auto hintOf = [&](const Control& c) -> std::wstring {
    wchar_t buf[128] = {};
    TTTOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = FormHwnd();
    ti.uId = reinterpret_cast<UINT_PTR>(Hw(c));
    ti.lpszText = buf;
    if (!::SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) return L"(none)";
    ::SendMessageW(tip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&ti));
    return buf;
  };
  EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 3);  // program, refresh, screen
  EXPECT_EQ(hintOf(*g.refresh), L"Refresh");
  EXPECT_EQ(hintOf(*g.program), g.program->Text());
  g.program->SetHint(L"notepad.exe");
  EXPECT_EQ(hintOf(*g.program), L"notepad.exe");
  g.program->SetHint(L"");
  EXPECT_EQ(hintOf(*g.program), L"(none)");
  g.left->SetHint(L"Move the program to the left monitor");
  EXPECT_EQ(hintOf(*g.left), L"Move the program to the left monitor");
  EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 3);
}

TEST_F(Win32Ui, ClicksAndTypingReachTheModelAndTheModelReachesTheWindows) {
  int clicks = 0;
  g.left->onClick = [&] { ++clicks; };
  ::SendMessageW(Hw(*g.left), BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);

  ::SendMessageW(Hw(*g.autoClose), BM_CLICK, 0, 0);
  EXPECT_TRUE(g.autoClose->Checked());
  EXPECT_EQ(::SendMessageW(Hw(*g.autoClose), BM_GETCHECK, 0, 0), BST_CHECKED);

  ::SendMessageW(Hw(*g.resolution), BM_CLICK, 0, 0);
  EXPECT_TRUE(g.resolution->Checked());
  EXPECT_FALSE(g.power->Checked());
  EXPECT_EQ(::SendMessageW(Hw(*g.power), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  g.power->SetChecked(true);
  EXPECT_EQ(::SendMessageW(Hw(*g.power), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(Hw(*g.resolution), BM_GETCHECK, 0, 0), BST_UNCHECKED);

  int edits = 0;
  g.edit->onChange = [&] { ++edits; };
  Type(Hw(*g.edit), L"abc");
  EXPECT_EQ(g.edit->Text(), L"abc");
  EXPECT_EQ(edits, 3);
  g.edit->SetText(L"from the model");
  EXPECT_EQ(TextOf(Hw(*g.edit)), L"from the model");

  // A label is clicked like the link of the About box; its cursor and hover reach the model.
  int linkClicks = 0, enters = 0, leaves = 0;
  g.link->onClick = [&] { ++linkClicks; };
  g.link->onMouseEnter = [&] { ++enters; };
  g.link->onMouseLeave = [&] { ++leaves; };
  ::SendMessageW(Hw(*g.link), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::SendMessageW(Hw(*g.link), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(linkClicks, 1);
  ::SendMessageW(Hw(*g.link), WM_SETCURSOR, reinterpret_cast<WPARAM>(Hw(*g.link)), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_UPARROW));
  ::SendMessageW(Hw(*g.link), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  ::SendMessageW(Hw(*g.link), WM_MOUSEMOVE, 0, MAKELPARAM(3, 2));
  EXPECT_EQ(enters, 1);
  ::SendMessageW(Hw(*g.link), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(leaves, 1);

  // Disabling a container disables what lies in it, and a click the window still gets is refused.
  g.group->SetEnabled(false);
  EXPECT_FALSE(::IsWindowEnabled(Hw(*g.refresh)));
  EXPECT_FALSE(::IsWindowEnabled(Hw(*g.group)));
  EXPECT_TRUE(::IsWindowEnabled(Hw(*g.left)));
  g.group->SetEnabled(true);
  EXPECT_TRUE(::IsWindowEnabled(Hw(*g.refresh)));
  g.status->SetVisible(false);
  EXPECT_FALSE(::IsWindowVisible(Hw(*g.status)));
  g.status->SetText(L"Saved");
  g.status->SetVisible(true);
  EXPECT_TRUE(::IsWindowVisible(Hw(*g.status)));
  EXPECT_EQ(TextOf(Hw(*g.status)), L"Saved");
}

TEST_F(Win32Ui, PagesShowOnlyTheirOwnControls) {
  // A click on the second tab selects it in the model, and the pages swap their controls.
  int changes = 0;
  g.tabs->onChange = [&] { ++changes; };
  RECT tab{};
  ASSERT_TRUE(::SendMessageW(Hw(*g.tabs), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab)));
  const LPARAM at = MAKELPARAM((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2);
  ::SendMessageW(Hw(*g.tabs), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(Hw(*g.tabs), WM_LBUTTONUP, 0, at);
  Pump();
  EXPECT_EQ(g.tabs->ActiveIndex(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(::IsWindowVisible(Hw(*g.autoClose)));
  EXPECT_FALSE(::IsWindowVisible(Hw(*g.edit)));
  EXPECT_TRUE(::IsWindowVisible(Hw(*g.delay)));
  EXPECT_TRUE(::IsWindowVisible(ArrowsOf(Hw(*g.delay))));
  g.tabs->SetActiveIndex(0);
  EXPECT_EQ(::SendMessageW(Hw(*g.tabs), TCM_GETCURSEL, 0, 0), 0);
  EXPECT_TRUE(::IsWindowVisible(Hw(*g.autoClose)));
  EXPECT_FALSE(::IsWindowVisible(ArrowsOf(Hw(*g.delay))));

  // Pages without tabs: the model's page decides alone.
  g.layout->SetActivePage(g.vert);
  EXPECT_FALSE(::IsWindowVisible(Hw(*g.left)));
  EXPECT_FALSE(::IsWindowVisible(Hw(*g.screen)));
  EXPECT_TRUE(::IsWindowVisible(Hw(*g.up)));
  EXPECT_TRUE(::IsWindowVisible(Hw(*g.down)));

  // Tabs shown later: a tab control appears under the page's controls, which move below the tabs.
  const int32_t upTop = g.up->ClientRect().Top;
  g.layout->SetTabsVisible(true);
  ASSERT_NE(g.layout->peer, 0u);
  EXPECT_EQ(ClassOf(Hw(*g.layout)), L"systabcontrol32");
  EXPECT_EQ(::SendMessageW(Hw(*g.layout), TCM_GETCURSEL, 0, 0), 1);
  EXPECT_GT(g.up->ClientRect().Top, upTop);
  ExpectPlacesMatch();
  const TRect up = g.up->ClientRect();
  EXPECT_EQ(::ChildWindowFromPointEx(FormHwnd(), POINT{up.Left + 3, up.Top + 3}, CWP_SKIPINVISIBLE), Hw(*g.up));
  g.layout->SetTabsVisible(false);
  EXPECT_EQ(g.layout->peer, 0u);
  ExpectPlacesMatch();
}

TEST_F(Win32Ui, SpinEditTakesTypingAndArrowsInItsRange) {
  g.tabs->SetActivePage(g.watcher);
  const HWND edit = Hw(*g.delay);
  const HWND arrows = ArrowsOf(edit);
  ASSERT_NE(arrows, nullptr);
  INT lo = 0, hi = 0;
  ::SendMessageW(arrows, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lo), reinterpret_cast<LPARAM>(&hi));
  EXPECT_EQ(lo, 1000);
  EXPECT_EQ(hi, 10000);
  int changes = 0;
  g.delay->onChange = [&] { ++changes; };

  Type(edit, L"2500");
  EXPECT_EQ(g.delay->Value(), 2500);
  EXPECT_GT(changes, 0);
  // Out of range while typing: the model clamps, the user's text stays until the edit is left.
  Type(edit, L"99999");
  EXPECT_EQ(g.delay->Value(), 10000);
  EXPECT_EQ(TextOf(edit), L"99999");
  ::SendMessageW(edit, WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(TextOf(edit), L"10000");
  Type(edit, L"abc");
  EXPECT_EQ(g.delay->Value(), 10000);
  ::SendMessageW(edit, WM_KILLFOCUS, 0, 0);
  EXPECT_EQ(TextOf(edit), L"10000");

  // The model's value shows; the arrow keys step by the model's step.
  g.delay->SetValue(2000);
  EXPECT_EQ(TextOf(edit), L"2000");
  ::SendMessageW(edit, WM_KEYDOWN, VK_UP, 1);
  ::SendMessageW(edit, WM_KEYUP, VK_UP, 0xC0000001);
  EXPECT_EQ(g.delay->Value(), 2100);
  EXPECT_EQ(TextOf(edit), L"2100");

  g.delay->SetAlignment(Align::Left);
  EXPECT_EQ(::GetWindowLongW(edit, GWL_STYLE) & ES_RIGHT, 0);
}

TEST_F(Win32Ui, RowsAndLinesFollowTheModelRowByRow) {
  const HWND list = Hw(*g.list);
  auto rowsOf = [&] {
    std::vector<std::wstring> rows;
    const auto n = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      wchar_t buf[64] = {};
      ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
      rows.emplace_back(buf);
    }
    return rows;
  };
  g.list->InsertRow(0, L"a");
  g.list->InsertRow(1, L"b");
  g.list->InsertRow(0, L"c");
  EXPECT_EQ(rowsOf(), (std::vector<std::wstring>{L"c", L"a", L"b"}));
  // A selection survives a row going in elsewhere: rows are inserted, not reloaded.
  ::SendMessageW(list, LB_SETCURSEL, 2, 0);
  g.list->InsertRow(0, L"d");
  EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 3);
  g.list->DeleteRow(1);
  EXPECT_EQ(rowsOf(), (std::vector<std::wstring>{L"d", L"a", L"b"}));
  g.list->SetRows({L"x", L"y"});
  EXPECT_EQ(rowsOf(), (std::vector<std::wstring>{L"x", L"y"}));
  g.list->ClearRows();
  EXPECT_TRUE(rowsOf().empty());
  EXPECT_EQ(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0), g.form->Scale(13));

  const HWND memo = Hw(*g.memo);
  for (int i = 1; i <= 30; ++i) g.memo->AddLine(L"line " + std::to_wstring(i));
  g.memo->LineScroll(g.memo->LineCount() - 1);
  EXPECT_EQ(::SendMessageW(memo, EM_GETLINECOUNT, 0, 0), 30);
  // Scrolled as far as the model asks, or as far as the edit goes: the last line shows.
  auto lastLineShows = [&] {
    RECT client{};
    ::GetClientRect(memo, &client);
    const auto lastChar = ::SendMessageW(memo, EM_LINEINDEX, static_cast<WPARAM>(g.memo->LineCount() - 1), 0);
    const auto pos = ::SendMessageW(memo, EM_POSFROMCHAR, static_cast<WPARAM>(lastChar), 0);
    const int y = static_cast<short>(HIWORD(pos));
    return ::SendMessageW(memo, EM_GETFIRSTVISIBLELINE, 0, 0) > 0 && y >= 0 && y < client.bottom;
  };
  EXPECT_TRUE(lastLineShows());
  g.memo->DeleteLine(0);
  wchar_t first[32] = {};
  *reinterpret_cast<WORD*>(first) = 31;
  const auto len = ::SendMessageW(memo, EM_GETLINE, 0, reinterpret_cast<LPARAM>(first));
  EXPECT_EQ(std::wstring(first, static_cast<size_t>(len)), L"line 2");
  EXPECT_TRUE(lastLineShows());
  g.memo->SetEnabled(false);
  EXPECT_FALSE(::IsWindowEnabled(memo));
}

TEST_F(Win32Ui, EnterAndEscapeClickTheDefaultAndCancelButtons) {
  int debug = 0, left = 0;
  g.debug->onClick = [&] { ++debug; };
  g.left->onClick = [&] { ++left; };
  ::SendMessageW(Hw(*g.edit), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(debug, 1);
  ::SendMessageW(Hw(*g.left), WM_KEYDOWN, VK_RETURN, 1);  // a focused button is the one Enter clicks
  EXPECT_EQ(left, 1);
  EXPECT_EQ(debug, 1);
  ::SendMessageW(Hw(*g.edit), WM_KEYDOWN, VK_ESCAPE, 1);  // no cancel button yet
  EXPECT_EQ(left + debug, 2);
  g.left->isCancel = true;
  ::SendMessageW(Hw(*g.list), WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_EQ(left, 2);
  g.debug->SetEnabled(false);  // a disabled default button is not clicked
  ::SendMessageW(Hw(*g.edit), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_EQ(debug, 1);
}

TEST_F(Win32Ui, KeyUpReachesTheFormOnlyWithKeyPreview) {
  std::vector<uint16_t> keys;
  g.form->onKeyUp = [&](uint16_t vk) { keys.push_back(vk); };
  ::SendMessageW(Hw(*g.edit), WM_KEYUP, VK_ESCAPE, 0xC0000001);
  EXPECT_TRUE(keys.empty());
  g.form->keyPreview = true;
  ::SendMessageW(Hw(*g.edit), WM_KEYUP, VK_ESCAPE, 0xC0000001);
  ::SendMessageW(Hw(*g.debug), WM_KEYUP, VK_RETURN, 0xC0000001);
  EXPECT_EQ(keys, (std::vector<uint16_t>{VK_ESCAPE, VK_RETURN}));
}

TEST_F(Win32Ui, NoActivateFormTakesARealClickWithoutTakingTheForeground) {
  g.form.reset();
  Open(WS_EX_NOACTIVATE | WS_EX_TOPMOST);
  other = MakeOtherWindow();
  ASSERT_EQ(::GetForegroundWindow(), other);
  int clicks = 0;
  g.left->onClick = [&] { ++clicks; };
  RealClick(CentreOnScreen(Hw(*g.left)));
  ASSERT_TRUE(WaitFor([&] { return clicks > 0; })) << "the click never arrived";
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(::GetForegroundWindow(), other);
  EXPECT_NE(::GetActiveWindow(), FormHwnd());
}

TEST_F(Win32Ui, PopupMenuShowsTheItemsReturnsTheChoiceAndGivesTheForegroundBack) {
  g.form.reset();
  Open(WS_EX_NOACTIVATE | WS_EX_TOPMOST);
  other = MakeOtherWindow();
  PopupMenu menu(L"pmChangeView");
  menu.Add(L"MIGettingStarted1", L"Getting Started", nullptr).enabled = false;
  menu.AddSeparator();
  menu.Add(L"MIStatus1", L"Status", nullptr);
  menu.Add(L"MIDefaultConfig1", L"Default Config", nullptr).checked = true;

  // The menu blocks this thread: another one looks at it and picks "Status" with the mouse,
  // or presses Escape.
  struct Seen {
    std::atomic<bool> opened{false};
    UINT states[4] = {};
    int count = 0;
  };
  auto pick = [](Seen& seen, bool escape) {
    HWND menuWnd = nullptr;
    for (int i = 0; i < 500 && menuWnd == nullptr; ++i) {
      const HWND h = ::FindWindowW(L"#32768", nullptr);
      if (h != nullptr && ::IsWindowVisible(h)) menuWnd = h;
      else ::Sleep(10);
    }
    if (menuWnd == nullptr) return;
    const auto hmenu = reinterpret_cast<HMENU>(::SendMessageW(menuWnd, 0x01E1 /* MN_GETHMENU */, 0, 0));
    seen.count = ::GetMenuItemCount(hmenu);
    for (int i = 0; i < 4 && i < seen.count; ++i) seen.states[i] = ::GetMenuState(hmenu, static_cast<UINT>(i), MF_BYPOSITION);
    seen.opened = true;
    if (escape) {
      ::keybd_event(VK_ESCAPE, 0, 0, 0);
      ::keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
      return;
    }
    RECT item{};
    ::GetMenuItemRect(nullptr, hmenu, 2, &item);
    RealClick(POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  };

  const TPoint at{g.view->ClientRect().Left + g.form->Left(), 300};
  Seen first;
  std::thread chooser(pick, std::ref(first), false);
  const int32_t chosen = backend().TrackPopup(*g.form, menu, at);
  chooser.join();
  ASSERT_TRUE(first.opened);
  EXPECT_EQ(chosen, 2);
  EXPECT_EQ(first.count, 4);
  EXPECT_TRUE(first.states[0] & MF_GRAYED);
  EXPECT_TRUE(first.states[1] & MF_SEPARATOR);
  EXPECT_FALSE(first.states[2] & (MF_GRAYED | MF_CHECKED));
  EXPECT_TRUE(first.states[3] & MF_CHECKED);
  Pump();
  EXPECT_EQ(::GetForegroundWindow(), other);

  Seen second;
  std::thread canceller(pick, std::ref(second), true);
  const int32_t none = backend().TrackPopup(*g.form, menu, at);
  canceller.join();
  ASSERT_TRUE(second.opened);
  EXPECT_EQ(none, -1);
  Pump();
  EXPECT_EQ(::GetForegroundWindow(), other);
}

TEST_F(Win32Ui, PicturePaintsTheModelsPixelsAndItsIcon) {
  const HWND pic = Hw(*g.screen);
  const int32_t w = g.screen->CanvasWidth(), h = g.screen->CanvasHeight();
  ASSERT_EQ(w, g.screen->ClientRect().Width());
  g.screen->FillRect(TRect{0, 0, w, h}, RGB(200, 0, 0));
  g.screen->Rectangle(TRect{w - 30, h - 20, w - 10, h - 5}, RGB(0, 0, 0), RGB(0, 0, 255));
  g.screen->SetIcon(reinterpret_cast<IconHandle>(::LoadIconW(nullptr, IDI_APPLICATION)));
  ::RedrawWindow(pic, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const HDC dc = ::GetDC(pic);
  EXPECT_EQ(::GetPixel(dc, w / 2, 2), 0x0000C8u);          // COLORREF: 0x00BBGGRR
  EXPECT_EQ(::GetPixel(dc, w - 20, h - 12), 0xFF0000u);    // the brush inside
  EXPECT_EQ(::GetPixel(dc, w - 30, h - 12), 0x000000u);    // the pen's left edge
  EXPECT_EQ(::GetPixel(dc, w - 10, h - 12), 0x0000C8u);    // right edge exclusive, as GDI's
  // The icon covers its corner, scaled with the dpi; the canvas shows again beyond it.
  const int side = ::MulDiv(16, static_cast<int>(g.form->Dpi()), 96);
  bool iconDrawn = false;
  for (int y = 0; y < side && !iconDrawn; ++y)
    for (int x = 0; x < side && !iconDrawn; ++x) iconDrawn = ::GetPixel(dc, x, y) != 0x0000C8u;
  EXPECT_TRUE(iconDrawn);
  EXPECT_EQ(::GetPixel(dc, side + 1, side + 1), 0x0000C8u);
  ::ReleaseDC(pic, dc);
  g.screen->SetIcon(0);
}

TEST_F(Win32Ui, RedrawsIconChangesAndFormsCostNoGdiObjects) {
  ICONINFO info{};
  const HICON shared = ::LoadIconW(nullptr, IDI_APPLICATION);
  ASSERT_TRUE(::GetIconInfo(shared, &info));
  const HICON mine = ::CreateIconIndirect(&info);
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  const HWND pic = Hw(*g.screen);
  // Warm up: the first paint may create objects the system keeps (stock brushes, caches).
  g.screen->FillRect(TRect{0, 0, 10, 10}, 0x112233);
  ::UpdateWindow(pic);
  Pump();
  const size_t before = GdiObjects();
  {  // the count sees objects come and go
    HBRUSH probes[5];
    for (HBRUSH& b : probes) b = ::CreateSolidBrush(0x123456);
    ASSERT_EQ(GdiObjects(), before + 5);
    for (HBRUSH b : probes) ::DeleteObject(b);
    ASSERT_EQ(GdiObjects(), before);
  }
  for (int i = 0; i < 1000; ++i) {
    g.screen->FillRect(TRect{i % 50, 0, i % 50 + 20, 30}, static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF);
    g.icon->SetIcon(reinterpret_cast<IconHandle>(i % 2 ? shared : mine));
    ::UpdateWindow(pic);
    ::UpdateWindow(Hw(*g.icon));
    ::UpdateWindow(Hw(*g.refresh));
  }
  Pump();
  EXPECT_LE(GdiObjects(), before + 2);
  g.icon->SetIcon(0);
  ::DestroyIcon(mine);

  // A form and its fonts come and go without a trace.
  g.form.reset();
  Pump();
  const size_t withoutForm = GdiObjects();
  for (int i = 0; i < 20; ++i) {
    Gallery again = MakeGallery();
    ASSERT_TRUE(again.form->CreateWindow());
    again.form->Show();
    ::UpdateWindow(reinterpret_cast<HWND>(again.form->Handle()));
    Pump();
  }
  Pump();
  EXPECT_LE(GdiObjects(), withoutForm + 2);
}

TEST_F(Win32Ui, ControlsFollowAResizeAndScaleWithTheirFontsWhenTheDpiChanges) {
  // Anchored controls follow a bigger window: the list grows, the menu button keeps its corner.
  const TRect list = g.list->ClientRect(), view = g.view->ClientRect();
  g.form->SetBounds(g.form->Left(), g.form->Top(), g.form->Width() + 60, g.form->Height() + 40);
  Pump();
  EXPECT_EQ(g.list->ClientRect().Width(), list.Width() + 60);
  EXPECT_EQ(g.list->ClientRect().Height(), list.Height() + 40);
  EXPECT_EQ(g.view->ClientRect().Left, view.Left + 60);
  ExpectPlacesMatch();

  const uint32_t before = g.form->Dpi();
  const HFONT oldFont = reinterpret_cast<HFONT>(::SendMessageW(Hw(*g.left), WM_GETFONT, 0, 0));
  const uint32_t dpi = before == 144 ? 192 : 144;
  RECT suggested{};
  ::GetWindowRect(FormHwnd(), &suggested);
  suggested.right = suggested.left + (suggested.right - suggested.left) * static_cast<LONG>(dpi) / static_cast<LONG>(before);
  suggested.bottom = suggested.top + (suggested.bottom - suggested.top) * static_cast<LONG>(dpi) / static_cast<LONG>(before);
  ::SendMessageW(FormHwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  ASSERT_EQ(g.form->Dpi(), dpi);
  ExpectPlacesMatch();
  EXPECT_EQ(FontOf(Hw(*g.left)).lfHeight, -::MulDiv(8, static_cast<int>(dpi), 72));
  EXPECT_EQ(FontOf(Hw(*g.link)).lfHeight, -::MulDiv(8, static_cast<int>(dpi), 72));
  EXPECT_EQ(::GetObjectType(oldFont), 0u) << "the font of the old dpi was not freed";
  EXPECT_EQ(g.screen->CanvasWidth(), g.form->Scale(173));
  EXPECT_EQ(::SendMessageW(Hw(*g.list), LB_GETITEMHEIGHT, 0, 0), g.form->Scale(13));
}

}  // namespace
}  // namespace tessary::ui::test
