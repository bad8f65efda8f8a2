// A form with one control of every kind, laid out like the program's own windows: the tests
// check it through the Windows API, and "--gallery" leaves it on screen for a look.
#pragma once
#include <memory>

#include "ui/Ui.h"

namespace tessary::ui::test {

struct Gallery {
  std::unique_ptr<Form> form;
  GroupBox* group = nullptr;
  Picture* icon = nullptr;
  Label* program = nullptr;  // ellipsis, hint
  Button* refresh = nullptr;  // flat glyph
  Label* wrapped = nullptr;
  Label* link = nullptr;  // up-arrow cursor, underlined
  PageControl* layout = nullptr;  // tabs hidden
  Page *horz = nullptr, *vert = nullptr;
  Picture* screen = nullptr;
  Button *left = nullptr, *right = nullptr, *up = nullptr, *down = nullptr;
  PageControl* tabs = nullptr;  // tabs shown
  Page *options = nullptr, *watcher = nullptr;
  CheckBox* autoClose = nullptr;
  RadioButton *power = nullptr, *resolution = nullptr;
  SpinEdit* delay = nullptr;
  Label* delayLabel = nullptr;
  Edit* edit = nullptr;
  Memo* memo = nullptr;
  ListBox* list = nullptr;
  Panel* panel = nullptr;  // framed
  Label* status = nullptr;  // framed
  Button* debug = nullptr;  // default button
  Button* view = nullptr;   // flat menu glyph
};

// Built, not yet created (Form::CreateWindow makes the window and the mirrors).
Gallery MakeGallery(uint32_t exStyle = 0);

}  // namespace tessary::ui::test
