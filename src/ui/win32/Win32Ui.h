// The widget layer's Windows backend: every control of a form becomes a real child window of the
// form's window (STATIC, BUTTON, EDIT, LISTBOX, up-down, tab control), placed where the model's
// ClientRect says and kept in step with the model after each change.
//
// This header must not pull in <windows.h>.
#pragma once
#include "ui/Ui.h"

namespace tessary::ui::win32 {

// The one backend of the process; install it with ui::SetBackend before the first form is created.
IBackend& Backend();

}  // namespace tessary::ui::win32
