#include <gtest/gtest.h>

#include <cwchar>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "../core/CoreFixture.h"
#include "ui/Ui.h"
#include "ui/headless/Headless.h"

namespace tessary::test {
namespace {

using namespace tessary::ui;
using namespace tessary::wc;

constexpr FormStyle kSizable{WS_POPUP | WS_THICKFRAME | WS_SYSMENU, 0, 0};

class UiTest : public CoreFixture {
 protected:
  void SetUp() override {
    CoreFixture::SetUp();
    primary = sim.AddMonitor(TRect{0, 0, 1920, 1080});
    sim.AddMonitor(TRect{1920, 0, 3840, 1080});
    ui.emplace(sim);
  }
  void TearDown() override {
    forms.clear();
    ui.reset();
    CoreFixture::TearDown();
  }
  Form& NewForm(int32_t w = 200, int32_t h = 150, FormStyle style = kSizable) {
    forms.push_back(std::make_unique<Form>(L"TUiTestForm", L"Test", w, h, style));
    return *forms.back();
  }
  headless::HeadlessBackend& Backend() { return ui->Backend(); }

  MonitorHandle primary = 0;
  std::optional<headless::HeadlessUi> ui;
  std::vector<std::unique_ptr<Form>> forms;
};

// ---------------------------------------------------------------- layout

struct LayoutCase {
  const char* name;
  uint32_t dpi;
  bool tabs;
  TRect topLeft, bottomRight, stretched, pageArea, onPageRight;
};

class LayoutTest : public UiTest, public ::testing::WithParamInterface<LayoutCase> {};

// A 200x150 design grown by 40x30 physical pixels after creation.
TEST_P(LayoutTest, ControlsScaleAndFollowTheirAnchorsWhenTheFormGrows) {
  const LayoutCase& c = GetParam();
  sim.SetMonitorDpi(primary, c.dpi);
  Form& f = NewForm();
  auto& topLeft = f.Add<Button>(nullptr, L"btnTL", Box{7, 7, 50, 20}, L"a");
  auto& bottomRight = f.Add<Button>(nullptr, L"btnBR", Box{140, 120, 50, 20}, L"b");
  bottomRight.SetAnchors(akRight | akBottom);
  auto& pages = f.Add<PageControl>(nullptr, L"pc", Box{0, 0, 200, 150});
  pages.SetAnchors(akAll);
  auto& page = f.Add<Page>(pages, L"ts1", L"One");
  auto& onPage = f.Add<Button>(&page, L"btnP", Box{100, 10, 40, 20}, L"c");
  onPage.SetAnchors(akTop | akRight);
  auto& memo = f.Add<Memo>(&page, L"memo", Box{10, 40, 180, 70});
  memo.SetAnchors(akAll);
  pages.SetTabsVisible(c.tabs);
  ASSERT_TRUE(f.CreateWindow());
  EXPECT_EQ(f.Dpi(), c.dpi);
  f.SetBounds(f.Left(), f.Top(), f.Width() + 40, f.Height() + 30);

  EXPECT_EQ(topLeft.ClientRect(), c.topLeft);
  EXPECT_EQ(bottomRight.ClientRect(), c.bottomRight);
  EXPECT_EQ(page.ClientRect(), c.pageArea);
  EXPECT_EQ(page.ChildArea(), c.pageArea);
  EXPECT_EQ(onPage.ClientRect(), c.onPageRight);
  EXPECT_EQ(memo.ClientRect(), c.stretched);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayoutTest,
    ::testing::Values(
        LayoutCase{"dpi96_tabs", 96, true, {7, 7, 57, 27}, {180, 150, 230, 170}, {10, 64, 230, 164},
                   {0, 24, 240, 180}, {140, 34, 180, 54}},
        LayoutCase{"dpi96_no_tabs", 96, false, {7, 7, 57, 27}, {180, 150, 230, 170}, {10, 40, 230, 140},
                   {0, 0, 240, 180}, {140, 10, 180, 30}},
        // 7 * 1.5 = 10.5 rounds up as MulDiv does.
        LayoutCase{"dpi144_tabs", 144, true, {11, 11, 86, 41}, {250, 210, 325, 240}, {15, 96, 325, 231},
                   {0, 36, 340, 255}, {190, 51, 250, 81}},
        LayoutCase{"dpi144_no_tabs", 144, false, {11, 11, 86, 41}, {250, 210, 325, 240}, {15, 60, 325, 195},
                   {0, 0, 340, 255}, {190, 15, 250, 45}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(UiTest, ADpiChangeTakesTheSuggestedRectangleAndRescalesControlsAndCanvases) {
  Form& f = NewForm();
  auto& btn = f.Add<Button>(nullptr, L"btn", Box{140, 120, 50, 20}, L"b");
  btn.SetAnchors(akRight | akBottom);
  auto& pic = f.Add<Picture>(nullptr, L"pic", Box{10, 10, 20, 10});
  ASSERT_TRUE(f.CreateWindow());
  pic.FillRect(TRect{0, 0, 5, 5}, 0x112233);
  Backend().ClearChanges();

  // Windows suggests a rectangle on the other monitor, 1.5 times the frame and client.
  int32_t rect[4] = {2000, 100, 2000 + 300 + 16, 100 + 225 + 16};
  f.WndProc(WM_DPICHANGED, (144u << 16) | 144u, reinterpret_cast<intptr_t>(rect));
  EXPECT_EQ(f.Dpi(), 144u);
  EXPECT_EQ(f.Left(), 2000);
  EXPECT_EQ(f.ClientWidth(), 300);
  EXPECT_EQ(f.ClientHeight(), 225);
  EXPECT_EQ(btn.ClientRect(), (TRect{210, 180, 285, 210}));
  EXPECT_EQ(pic.CanvasWidth(), 30);
  EXPECT_EQ(pic.CanvasHeight(), 15);
  EXPECT_EQ(pic.Pixel(0, 0), pic.background) << "a resized canvas starts blank";
  bool layoutOfButton = false;
  for (auto& ch : Backend().Changes()) layoutOfButton |= ch.control == L"btn" && ch.what == Change::Layout;
  EXPECT_TRUE(layoutOfButton);
}

TEST_F(UiTest, CreatingSizesTheWindowForTheScaledClientAndRegistersTheClassStyle) {
  sim.SetMonitorDpi(primary, 120);
  Form& f = NewForm(200, 100, FormStyle{WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW, CS_SAVEBITS});
  ASSERT_TRUE(f.CreateWindow());
  EXPECT_FALSE(f.Visible()) << "created hidden";
  EXPECT_EQ(f.ClientWidth(), 250);
  EXPECT_EQ(f.ClientHeight(), 125);
  EXPECT_EQ(sim.GetClassStyle(f.Handle()), CS_SAVEBITS);
  EXPECT_EQ(sim.GetClassNameW(f.Handle()), L"TUiTestForm");
  uint32_t pid = 0;
  sim.GetWindowThreadProcessId(f.Handle(), &pid);
  EXPECT_EQ(pid, sim.OwnProcessId());
}

TEST_F(UiTest, CentringUsesTheWorkAreaOfTheNearestMonitorAndMinimizingKeepsTheLayout) {
  Form& f = NewForm();
  auto& pic = f.Add<Picture>(nullptr, L"pic", Box{0, 0, 200, 150});
  pic.SetAnchors(akAll);
  ASSERT_TRUE(f.CreateWindow());
  f.SetBounds(3000, 500, 300, 200);
  f.CenterOnScreen();
  EXPECT_EQ(f.Left(), 1920 + (1920 - 300) / 2);
  EXPECT_EQ(f.Top(), (1080 - 200) / 2) << "the second monitor has no taskbar";
  EXPECT_EQ(f.Width(), 300);
  EXPECT_EQ(pic.CanvasWidth(), 300 - 16) << "the canvas follows the client area";
  pic.FillRect(TRect{0, 0, 1, 1}, 0x010203);

  f.Show();
  sim.ShowWindow(f.Handle(), SW_MINIMIZE);
  sim.SendMessageW(f.Handle(), WM_SIZE, 1 /* SIZE_MINIMIZED */, 0);
  EXPECT_EQ(f.ClientWidth(), 300 - 16);
  EXPECT_EQ(pic.Pixel(0, 0), 0x010203u);
}

// ---------------------------------------------------------------- state

TEST_F(UiTest, ShowingAndUsableFollowPagesContainersAndTheForm) {
  Form& f = NewForm();
  auto& pages = f.Add<PageControl>(nullptr, L"pc", Box{0, 0, 200, 150});
  auto& p1 = f.Add<Page>(pages, L"ts1", L"One");
  auto& p2 = f.Add<Page>(pages, L"ts2", L"Two");
  auto& panel = f.Add<Panel>(&p2, L"pnl", Box{0, 0, 100, 100});
  auto& btn = f.Add<Button>(&panel, L"btn", Box{0, 0, 50, 20}, L"Go");
  auto& other = f.Add<Button>(&p1, L"btn1", Box{0, 0, 50, 20}, L"One");
  int clicks = 0;
  btn.onClick = [&] { ++clicks; };
  ASSERT_TRUE(f.CreateWindow());
  EXPECT_FALSE(btn.Showing()) << "the form is hidden";
  f.Show();
  EXPECT_EQ(pages.ActivePage(), &p1) << "the first page is active";
  EXPECT_TRUE(other.Showing());
  EXPECT_FALSE(btn.Showing()) << "its page is not the active one";
  EXPECT_FALSE(headless::Click(btn));

  ASSERT_TRUE(headless::PickTab(pages, 1));
  EXPECT_FALSE(other.Showing());
  EXPECT_TRUE(btn.Usable());
  panel.SetEnabled(false);
  EXPECT_TRUE(btn.Showing());
  EXPECT_FALSE(btn.Usable()) << "a disabled container disables what it holds";
  EXPECT_FALSE(headless::Click(btn));
  btn.Click();  // even a backend's click does nothing then
  EXPECT_EQ(clicks, 0);
  panel.SetEnabled(true);
  panel.SetVisible(false);
  EXPECT_FALSE(btn.Showing());
  panel.SetVisible(true);
  EXPECT_TRUE(headless::Click(btn));
  EXPECT_EQ(clicks, 1);
  f.Hide();
  EXPECT_FALSE(btn.Usable());
}

TEST_F(UiTest, SettersNotifyTheBackendOnlyOfRealChangesAfterTheWindowExists) {
  Form& f = NewForm();
  auto& lbl = f.Add<Label>(nullptr, L"lbl", Box{0, 0, 50, 13}, L"a");
  lbl.SetText(L"before");
  ASSERT_TRUE(f.CreateWindow());
  EXPECT_TRUE(Backend().Changes().empty()) << "the backend learns the controls from FormCreated";
  ASSERT_EQ(Backend().Forms().size(), 1u);
  lbl.SetText(L"before");
  lbl.SetEnabled(true);
  EXPECT_TRUE(Backend().Changes().empty());
  lbl.SetText(L"after");
  lbl.SetEnabled(false);
  ASSERT_EQ(Backend().Changes().size(), 2u);
  EXPECT_EQ(Backend().Changes()[0].what, Change::Text);
  EXPECT_EQ(Backend().Changes()[1].what, Change::Enabled);
  EXPECT_EQ(lbl.Id(), 100);
}

TEST_F(UiTest, RadioButtonsOfOneParentFormAGroupAndCheckBoxesToggle) {
  Form& f = NewForm();
  auto& g1 = f.Add<GroupBox>(nullptr, L"g1", Box{0, 0, 100, 100}, L"One");
  auto& a = f.Add<RadioButton>(&g1, L"a", Box{}, L"A", true);
  auto& b = f.Add<RadioButton>(&g1, L"b", Box{}, L"B");
  auto& c = f.Add<RadioButton>(nullptr, L"c", Box{}, L"C", true);  // another parent, another group
  auto& cb = f.Add<CheckBox>(nullptr, L"cb", Box{}, L"Check");
  std::vector<bool> seen;
  b.onClick = [&] { seen.push_back(b.Checked()); };
  cb.onClick = [&] { seen.push_back(cb.Checked()); };
  ASSERT_TRUE(f.CreateWindow());
  f.Show();

  ASSERT_TRUE(headless::Click(b));
  EXPECT_FALSE(a.Checked());
  EXPECT_TRUE(b.Checked());
  EXPECT_TRUE(c.Checked());
  a.SetChecked(true);
  EXPECT_FALSE(b.Checked());
  ASSERT_TRUE(headless::Click(cb));
  ASSERT_TRUE(headless::Click(cb));
  EXPECT_EQ(seen, (std::vector<bool>{true, true, false})) << "the state changes before the handler runs";
}

struct SpinCase {
  const char* name;
  const wchar_t* typed;
  int32_t expected;
};

class SpinTest : public UiTest, public ::testing::WithParamInterface<SpinCase> {};

TEST_P(SpinTest, TypedTextIsParsedAndClamped) {
  Form& f = NewForm();
  auto& spin = f.Add<SpinEdit>(nullptr, L"se", Box{}, -5, 100, 5, 20);
  int changes = 0;
  spin.onChange = [&] { ++changes; };
  ASSERT_TRUE(f.CreateWindow());
  f.Show();
  ASSERT_TRUE(headless::Type(spin, GetParam().typed));
  EXPECT_EQ(spin.Value(), GetParam().expected);
  EXPECT_EQ(changes, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, SpinTest,
                         ::testing::Values(SpinCase{"plain", L"42", 42}, SpinCase{"above", L"101", 100},
                                           SpinCase{"huge", L"99999999999999999999", 100},
                                           SpinCase{"negative_below", L"-6", -5}, SpinCase{"spaces", L" 7 ", 7},
                                           SpinCase{"letters", L"4x", 20}, SpinCase{"empty", L"", 20},
                                           SpinCase{"sign_only", L"-", 20}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(UiTest, SpinArrowsAndSettersStayInTheRange) {
  Form& f = NewForm();
  auto& spin = f.Add<SpinEdit>(nullptr, L"se", Box{}, 0, 10, 4, 99);
  EXPECT_EQ(spin.Value(), 10) << "a start value outside the range is clamped";
  ASSERT_TRUE(f.CreateWindow());
  f.Show();
  ASSERT_TRUE(headless::Step(spin, -1));
  EXPECT_EQ(spin.Value(), 6);
  ASSERT_TRUE(headless::Step(spin, -2));
  EXPECT_EQ(spin.Value(), 0);
  spin.SetValue(INT32_MAX);
  EXPECT_EQ(spin.Value(), 10);
  ASSERT_TRUE(headless::Step(spin, INT32_MAX));
  EXPECT_EQ(spin.Value(), 10);
}

TEST_F(UiTest, MemoScrollStaysWithinItsLinesAndRowChangesNameTheRow) {
  Form& f = NewForm();
  auto& memo = f.Add<Memo>(nullptr, L"memo", Box{0, 0, 100, 50});
  ASSERT_TRUE(f.CreateWindow());
  memo.LineScroll(5);
  EXPECT_EQ(memo.TopLine(), 0) << "no lines: nowhere to scroll";
  for (int i = 0; i < 10; ++i) memo.AddLine(L"line " + std::to_wstring(i));
  memo.LineScroll(100);
  EXPECT_EQ(memo.TopLine(), 9);
  memo.LineScroll(-3);
  EXPECT_EQ(memo.TopLine(), 6);
  memo.LineScroll(-100);
  EXPECT_EQ(memo.TopLine(), 0);
  memo.LineScroll(INT32_MAX);
  EXPECT_EQ(memo.TopLine(), 9);
  memo.DeleteLine(9);
  EXPECT_EQ(memo.TopLine(), 8) << "the top line follows the shorter text";
  memo.DeleteLine(42);  // no such line
  EXPECT_EQ(memo.LineCount(), 9);
  Backend().ClearChanges();
  memo.DeleteLine(3);
  ASSERT_FALSE(Backend().Changes().empty());
  EXPECT_EQ(Backend().Changes()[0].what, Change::Rows);
  EXPECT_EQ(Backend().Changes()[0].index, 3);
  EXPECT_EQ(memo.Lines()[3], L"line 4");
}

TEST_F(UiTest, PictureRectangleOutlinesItsEdgesWithRightAndBottomExclusive) {
  Form& f = NewForm();
  auto& pic = f.Add<Picture>(nullptr, L"pic", Box{0, 0, 12, 8});
  ASSERT_EQ(pic.CanvasWidth(), 12);
  ASSERT_EQ(pic.CanvasHeight(), 8);
  constexpr uint32_t pen = 0x0000FF, brush = 0x00FF00, bg = 0xF0F0F0;
  pic.Rectangle(TRect{2, 1, 6, 5}, pen, brush);
  // Row by row: '.' background, 'P' pen, 'B' brush.
  const char* expected[8] = {"............", "..PPPP......", "..PBBP......", "..PBBP......",
                             "..PPPP......", "............", "............", "............"};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      const char want = expected[y][x];
      const uint32_t rgb = want == 'P' ? pen : want == 'B' ? brush : bg;
      EXPECT_EQ(pic.Pixel(x, y), rgb) << "at " << x << "," << y;
    }
  // Clipped at the canvas edges; reads outside give 0.
  pic.Rectangle(TRect{10, 6, 20, 20}, pen, brush);
  EXPECT_EQ(pic.Pixel(10, 6), pen);
  EXPECT_EQ(pic.Pixel(11, 7), brush) << "the outline's right and bottom lie outside";
  EXPECT_EQ(pic.Pixel(12, 7), 0u);
  EXPECT_EQ(pic.Pixel(-1, 0), 0u);
  pic.FillRect(TRect{-5, -5, 100, 100}, 0x123456);
  EXPECT_EQ(pic.Pixel(11, 7), 0x123456u);
}

// ---------------------------------------------------------------- forms, timers and input

TEST_F(UiTest, TimersFireOnVirtualTimeWhileMessagesArePumped) {
  Form& f = NewForm();
  int fired = 0;
  Timer& t = f.AddTimer(L"tmr", 500, true, [&] { ++fired; });
  sim.AdvanceTime(1000);
  app::ProcessPendingMessages();
  EXPECT_EQ(fired, 0) << "no window yet";
  ASSERT_TRUE(f.CreateWindow());
  sim.AdvanceTime(499);
  app::ProcessPendingMessages();
  EXPECT_EQ(fired, 0);
  sim.AdvanceTime(1);
  app::ProcessPendingMessages();
  EXPECT_EQ(fired, 1);
  t.SetEnabled(false);
  sim.AdvanceTime(2000);
  app::ProcessPendingMessages();
  EXPECT_EQ(fired, 1);
  t.SetEnabled(true);  // restarts the interval
  sim.AdvanceTime(300);
  t.SetInterval(1000);
  sim.AdvanceTime(900);
  app::ProcessPendingMessages();
  EXPECT_EQ(fired, 1);
  sim.AdvanceTime(100);
  app::ProcessPendingMessages();
  EXPECT_EQ(fired, 2);
  Form& g = NewForm();
  Timer& other = g.AddTimer(L"tmr", 500, true, nullptr);
  EXPECT_NE(other.Id(), t.Id());
}

TEST_F(UiTest, CloseHidesTheWindowAndShowRunsOnShowEachTime) {
  Form& f = NewForm();
  int shows = 0;
  f.onShow = [&] {
    ++shows;
    f.SetPosition(2100, 50);  // placed before it becomes visible
  };
  f.Show();
  f.Show();
  EXPECT_EQ(shows, 1);
  EXPECT_EQ(f.Left(), 2100);
  sim.SendMessageW(f.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(f.Visible());
  EXPECT_TRUE(sim.IsWindow(f.Handle())) << "only hidden";
  f.Show();
  EXPECT_EQ(shows, 2);

  f.closeHides = false;
  int destroyed = 0;
  f.onDestroy = [&] { ++destroyed; };
  const WindowHandle h = f.Handle();
  sim.SendMessageW(h, WM_CLOSE, 0, 0);
  EXPECT_FALSE(sim.IsWindow(h));
  EXPECT_EQ(f.Handle(), 0u);
  EXPECT_EQ(destroyed, 1);
}

TEST_F(UiTest, ClicksOnANeverActivatingFormKeepTheOtherProgramInFront) {
  sim::WindowSpec editorWindow;
  editorWindow.title = L"Editor";
  const WindowHandle editor = sim.AddWindow(editorWindow);
  sim.SetForeground(editor);

  Form& bar = NewForm(100, 30, FormStyle{WS_POPUP, WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, 0});
  auto& btn = bar.Add<Button>(nullptr, L"btn", Box{0, 0, 50, 20}, L"Go");
  WindowHandle foregroundSeen = 0;
  btn.onClick = [&] { foregroundSeen = sim.GetForegroundWindow(); };
  bar.ShowAndRaise();
  ASSERT_TRUE(bar.Visible());
  EXPECT_EQ(sim.GetForegroundWindow(), editor) << "showing does not activate";
  EXPECT_EQ(sim.ZOrder().front(), bar.Handle());
  ASSERT_TRUE(headless::Click(btn));
  EXPECT_EQ(foregroundSeen, editor) << "the handler sees the program the user works in";
  EXPECT_EQ(sim.GetForegroundWindow(), editor);

  Form& normal = NewForm();
  auto& ok = normal.Add<Button>(nullptr, L"ok", Box{0, 0, 50, 20}, L"OK");
  normal.Show();
  sim.SetForeground(editor);
  ASSERT_TRUE(headless::Click(ok));
  EXPECT_EQ(sim.GetForegroundWindow(), normal.Handle()) << "an ordinary form is activated by a click";
}

TEST_F(UiTest, KeyUpReachesTheFormOnlyWithKeyPreview) {
  Form& f = NewForm();
  std::vector<uint16_t> keys;
  f.onKeyUp = [&](uint16_t vk) { keys.push_back(vk); };
  ASSERT_TRUE(f.CreateWindow());
  headless::KeyUp(f, VK_ESCAPE);
  EXPECT_TRUE(keys.empty());
  f.keyPreview = true;
  headless::KeyUp(f, VK_ESCAPE);
  EXPECT_EQ(keys, std::vector<uint16_t>{VK_ESCAPE});
}

TEST_F(UiTest, APopupRunsTheChosenItemAfterItsOnPopup) {
  Form& f = NewForm();
  ASSERT_TRUE(f.CreateWindow());
  PopupMenu menu(L"pmView");
  std::vector<std::wstring> ran;
  menu.Add(L"MIOne", L"One", [&] { ran.push_back(L"one"); });
  menu.AddSeparator();
  menu.Add(L"MITwo", L"Two", [&] { ran.push_back(L"two"); });
  menu.onPopup = [&] { menu.Find(L"MIOne")->enabled = false; };

  headless::ChooseNext(L"MITwo");
  menu.Popup(f, TPoint{300, 400});
  EXPECT_EQ(ran, std::vector<std::wstring>{L"two"});
  const headless::PopupRecord* p = headless::LastPopup();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->menu, L"pmView");
  EXPECT_EQ(p->at, (TPoint{300, 400}));
  ASSERT_EQ(p->items.size(), 3u);
  EXPECT_FALSE(p->items[0].enabled) << "onPopup ran before the menu showed";
  EXPECT_EQ(p->chosen, 2);

  headless::ChooseNext(L"MIOne");  // disabled: the user cannot pick it
  menu.Popup(f, TPoint{});
  menu.Popup(f, TPoint{});  // nothing queued: cancelled
  EXPECT_EQ(ran.size(), 1u);
  EXPECT_EQ(Backend().Popups().size(), 3u);
}

// Submenus are numbered depth first; only a leaf can be chosen, and the path names it.
TEST_F(UiTest, ASubmenuItemIsChosenByItsPathAndItsParentCannotBe) {
  Form& f = NewForm();
  ASSERT_TRUE(f.CreateWindow());
  PopupMenu menu(L"pmTray");
  std::vector<std::wstring> ran;
  MenuItem& parent = menu.Add(L"MIParent", L"Parent", [&] { ran.push_back(L"parent"); });
  parent.Add(L"MIA", L"A", [&] { ran.push_back(L"a"); });
  parent.AddSeparator();
  parent.Add(L"MIB", L"B", [&] { ran.push_back(L"b"); }).enabled = false;
  menu.AddSeparator();
  menu.Add(L"MIA", L"Top A", [&] { ran.push_back(L"top a"); });

  struct Pick {
    const wchar_t* path;
    int32_t number;
    const wchar_t* ran;  // nullptr: nothing runs
  };
  for (const Pick& p : {Pick{L"MIParent/MIA", 1, L"a"}, Pick{L"MIA", 5, L"top a"}, Pick{L"MIParent", -1, nullptr},
                        Pick{L"MIParent/MIB", -1, nullptr}, Pick{L"MIA/MIParent", -1, nullptr},
                        Pick{L"MIParent/MIX", -1, nullptr}}) {
    ran.clear();
    headless::ChooseNext(p.path);
    menu.Popup(f, TPoint{});
    EXPECT_EQ(headless::LastPopup()->chosen, p.number) << std::string(p.path, p.path + wcslen(p.path));
    EXPECT_EQ(ran, p.ran ? std::vector<std::wstring>{p.ran} : std::vector<std::wstring>{});
  }
  EXPECT_EQ(menu.ItemByNumber(3)->name, L"MIB");
  EXPECT_TRUE(menu.ItemByNumber(4)->IsSeparator());
  EXPECT_EQ(menu.ItemByNumber(6), nullptr);
  const headless::PopupRecord* rec = headless::LastPopup();
  ASSERT_EQ(rec->items.size(), 3u);
  ASSERT_EQ(rec->items[0].submenu.size(), 3u);
  EXPECT_FALSE(rec->items[0].submenu[2].enabled);
}

TEST_F(UiTest, AnExceptionInAHandlerReachesTheExceptionHandlerAndTheProgramGoesOn) {
  std::vector<std::wstring> reported;
  app::SetExceptionHandler([&](const std::wstring& m) { reported.push_back(m); });
  Form& f = NewForm();
  auto& btn = f.Add<Button>(nullptr, L"btn", Box{0, 0, 50, 20}, L"Go");
  btn.onClick = [] { throw std::runtime_error("boom"); };
  int ticks = 0;
  f.AddTimer(L"tmr", 100, true, [&] {
    ++ticks;
    throw std::logic_error("tick");
  });
  f.Show();
  EXPECT_TRUE(headless::Click(btn));
  sim.AdvanceTime(100);
  app::ProcessPendingMessages();
  sim.AdvanceTime(100);
  app::ProcessPendingMessages();
  EXPECT_EQ(ticks, 2) << "the timer keeps running";
  EXPECT_EQ(reported, (std::vector<std::wstring>{L"boom", L"tick", L"tick"}));
  EXPECT_TRUE(f.Visible());
}

TEST_F(UiTest, RunOnUiThreadRunsAWorkersCallOnTheUiThreadWhenItPumps) {
  app::InitUiThread();
  std::thread::id ranOn;
  bool ran = false;
  app::RunOnUiThread([&] { ranOn = std::this_thread::get_id(); });
  EXPECT_EQ(ranOn, std::this_thread::get_id()) << "on the UI thread it runs at once";

  std::atomic<bool> done{false};
  std::string workerError;
  std::thread worker([&] {
    app::RunOnUiThread([&] {
      ranOn = std::this_thread::get_id();
      ran = true;
    });
    try {
      app::RunOnUiThread([] { throw std::runtime_error("from the UI"); });
    } catch (const std::runtime_error& e) {
      workerError = e.what();
    }
    EXPECT_FALSE(app::OnUiThread());
    done = true;
  });
  while (!done) {
    app::ProcessPendingMessages();
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_TRUE(ran);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(workerError, "from the UI") << "the caller gets the exception back";
}

TEST_F(UiTest, AMessageLoopWaitingForMessagesAlsoRunsCallsFromAWorker) {
  app::InitUiThread();
  int value = 0;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 1; i <= 3; ++i) app::RunOnUiThread([&value, i] { value = value * 10 + i; });
    done = true;
  });
  while (!done) {
    sim.PumpOneMessage();
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(value, 123) << "each call ran once, in order";
}

TEST_F(UiTest, TerminateEndsTheMessageLoop) {
  EXPECT_FALSE(app::Terminated());
  app::Terminate();
  EXPECT_TRUE(app::Terminated());
  EXPECT_FALSE(sim.PumpOneMessage()) << "WM_QUIT was posted";
}

TEST_F(UiTest, WithoutABackendFormsStillWork) {
  ui.reset();
  SetBackend(nullptr);
  Form& f = NewForm();
  auto& btn = f.Add<Button>(nullptr, L"btn", Box{0, 0, 50, 20}, L"Go");
  ASSERT_TRUE(f.CreateWindow());
  btn.SetText(L"changed");
  PopupMenu menu(L"pm");
  bool ran = false;
  menu.Add(L"MI", L"Item", [&] { ran = true; });
  menu.Popup(f, TPoint{});
  EXPECT_FALSE(ran);
}

TEST_F(UiTest, ADebuggerOrTheDeveloperSwitchCounts) {
  ::unsetenv("TESSARY_DEVELOPER");
  EXPECT_FALSE(app::DebuggerPresent());
  sim.SetDebuggerPresent(true);
  EXPECT_TRUE(app::DebuggerPresent());
  sim.SetDebuggerPresent(false);
  ::setenv("TESSARY_DEVELOPER", "0", 1);
  EXPECT_FALSE(app::DebuggerPresent());
  ::setenv("TESSARY_DEVELOPER", "1", 1);
  EXPECT_TRUE(app::DebuggerPresent());
  ::unsetenv("TESSARY_DEVELOPER");
}

}  // namespace
}  // namespace tessary::test
