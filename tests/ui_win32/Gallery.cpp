#include "ui_win32/Gallery.h"

#include "desktop/WinConst.h"

namespace tessary::ui::test {

Gallery MakeGallery(uint32_t exStyle) {
  Gallery g;
  FormStyle style;
  style.style = wc::WS_CAPTION | wc::WS_SYSMENU | wc::WS_THICKFRAME;
  style.exStyle = exStyle;
  g.form = std::make_unique<Form>(L"TessaryUiGallery", L"Controls", 570, 330, style);
  Form& f = *g.form;

  g.group = &f.Add<GroupBox>(nullptr, L"GroupBox1", Box{8, 4, 203, 64}, L"Foreground Program");
  g.icon = &f.Add<Picture>(g.group, L"imgIcon", Box{10, 20, 16, 16});
  g.program = &f.Add<Label>(g.group, L"lblProgram", Box{32, 22, 140, 13}, L"averyveryverylongprogramname-with-more.exe");
  g.program->ellipsis = true;
  g.program->SetHint(g.program->Text());
  g.refresh = &f.Add<Button>(g.group, L"btnRefresh", Box{176, 16, 22, 22}, L"");
  g.refresh->flat = true;
  g.refresh->glyph = Glyph::Refresh;
  g.refresh->SetHint(L"Refresh");
  g.wrapped = &f.Add<Label>(nullptr, L"lblWrapped", Box{8, 72, 203, 40},
                            L"Got an idea for improvement, a bug to report, or want to donate? Click on the above link.");
  g.wrapped->wordWrap = true;
  g.link = &f.Add<Label>(nullptr, L"lblURL", Box{8, 114, 178, 13}, L"https://example.org/");
  g.link->transparent = true;
  g.link->SetFont(FontDesc{L"Verdana", 8, true, true});
  g.link->SetCursor(Cursor::UpArrow);

  g.layout = &f.Add<PageControl>(nullptr, L"pcLayout", Box{8, 132, 203, 120});
  g.layout->SetTabsVisible(false);
  g.horz = &f.Add<Page>(*g.layout, L"tsHorz", L"Horz");
  g.vert = &f.Add<Page>(*g.layout, L"tsVert", L"Vert");
  g.screen = &f.Add<Picture>(g.horz, L"imgScreenH", Box{15, 4, 173, 70});
  g.screen->SetHint(L"Window Position");
  g.left = &f.Add<Button>(g.horz, L"btnLeft", Box{15, 82, 80, 25}, L"Move Left");
  g.right = &f.Add<Button>(g.horz, L"btnRight", Box{108, 82, 80, 25}, L"Move Right");
  g.up = &f.Add<Button>(g.vert, L"btnUp", Box{120, 10, 75, 25}, L"Move Up");
  g.down = &f.Add<Button>(g.vert, L"btnDown", Box{120, 45, 75, 25}, L"Move Down");

  g.tabs = &f.Add<PageControl>(nullptr, L"pcConfig", Box{220, 4, 342, 150});
  g.options = &f.Add<Page>(*g.tabs, L"tsOptions", L"  Move Options  ");
  g.watcher = &f.Add<Page>(*g.tabs, L"tsWatcher", L"  Monitor Watcher  ");
  g.autoClose = &f.Add<CheckBox>(g.options, L"cbAutoClose", Box{8, 8, 326, 17},
                                 L"Close this window after clicking Move Left/Right");
  g.power = &f.Add<RadioButton>(g.options, L"rbDevicePowerState", Box{8, 36, 200, 17}, L"Monitor Power State", true);
  g.resolution = &f.Add<RadioButton>(g.options, L"rbResolutionChange", Box{8, 58, 200, 17}, L"Resolution Change");
  g.edit = &f.Add<Edit>(g.options, L"edName", Box{8, 86, 160, 21}, L"Edit me");
  g.delay = &f.Add<SpinEdit>(g.watcher, L"seDelay", Box{8, 8, 80, 22}, 1000, 10000, 100, 2000);
  g.delay->SetAlignment(Align::Right);
  g.delayLabel = &f.Add<Label>(g.watcher, L"lblDelay", Box{96, 12, 238, 13}, L"Sleep (MS) before moving programs");

  g.memo = &f.Add<Memo>(nullptr, L"txtLog", Box{220, 160, 342, 70});
  g.memo->SetAnchors(akLeft | akTop | akRight);
  g.list = &f.Add<ListBox>(nullptr, L"Memo1", Box{220, 236, 250, 60});
  g.list->SetAnchors(akAll);
  g.panel = &f.Add<Panel>(nullptr, L"pnlBottom", Box{8, 258, 203, 64});
  g.panel->framed = true;
  g.panel->SetAnchors(akLeft | akBottom);
  g.status = &f.Add<Label>(g.panel, L"lblMessage", Box{6, 6, 191, 18}, L"Moving [notepad.exe] Left ");
  g.status->framed = true;
  g.debug = &f.Add<Button>(g.panel, L"btnDebug", Box{6, 32, 75, 25}, L"Debug");
  g.debug->isDefault = true;
  g.view = &f.Add<Button>(nullptr, L"btnView", Box{478, 236, 24, 24}, L"");
  g.view->flat = true;
  g.view->glyph = Glyph::Menu;
  g.view->SetAnchors(akRight | akBottom);
  return g;
}

}  // namespace tessary::ui::test
