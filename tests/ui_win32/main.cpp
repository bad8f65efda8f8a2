// The widget layer's Windows backend on the real window system (under Wine on the lab display).
//   ui_win32_tests.exe [gtest flags]     the tests
//   ui_win32_tests.exe --gallery [PAGE]  the test form on screen until the process is ended
//   ui_win32_tests.exe --hotkey-dialog   the hotkey dialog on CTRL+ALT+N; prints what it returned
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/Win32WindowSystem.h"
#include "shell/UnitFrmHotkey.h"
#include "ui/win32/Win32Ui.h"
#include "ui_win32/Gallery.h"

#include <windows.h>

#undef CreateWindow
#undef RGB

namespace {

// Per-monitor aware like the shipped program (its manifest says so): forms then see the real dpi.
void BecomeDpiAware() {
  using Fn = BOOL(WINAPI*)(HANDLE);
  if (HMODULE user32 = ::GetModuleHandleW(L"user32.dll")) {
    if (auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(user32, "SetProcessDpiAwarenessContext")))) {
      if (fn(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4))) != FALSE) return;  // per monitor v2
    }
  }
  ::SetProcessDPIAware();
}

int Gallery(int page) {
  using namespace tessary::ui;
  auto g = test::MakeGallery();
  for (int i = 1; i <= 8; ++i) g.memo->AddLine(L"Status line " + std::to_wstring(i));
  g.memo->LineScroll(g.memo->LineCount());
  for (int i = 1; i <= 12; ++i) g.list->InsertRow(0, L"04:4" + std::to_wstring(i % 10) + L"  Log line " + std::to_wstring(i));
  if (!g.form->CreateWindow()) return 1;
  // The monitor picture as the main window draws it: two monitors and the window on the left one.
  const int32_t w = g.screen->CanvasWidth(), h = g.screen->CanvasHeight();
  g.screen->FillRect(tessary::TRect{0, 0, w, h}, g.screen->background);
  g.screen->Rectangle(tessary::TRect{0, 0, w / 2 - 2, h}, RGB(0, 0, 0), RGB(0, 120, 215));
  g.screen->Rectangle(tessary::TRect{w / 2 + 2, 0, w, h}, RGB(0, 0, 0), RGB(0, 120, 215));
  g.screen->Rectangle(tessary::TRect{w / 8, h / 4, w / 3, h * 3 / 4}, RGB(0, 0, 0), ColorBtnShadow);
  g.icon->SetIcon(reinterpret_cast<tessary::IconHandle>(::LoadIconW(nullptr, IDI_APPLICATION)));
  g.tabs->SetActiveIndex(page);
  g.form->SetPosition(20, 20);
  g.form->Show();
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

int HotkeyDialog() {
  tessary::TFrmHotkey dialog;
  tessary::THotkeyData hkd;
  hkd.ctrl = hkd.alt = true;
  hkd.key = 'N';
  hkd.name = L"CTRL+ALT+N";
  dialog.txtHotkey->SetText(hkd.name);
  const bool set = dialog.GetHotKey(hkd, true, true);
  std::printf("RESULT %d alt=%d ctrl=%d shft=%d win=%d key=%u name=%ls\n", set ? 1 : 0, hkd.alt ? 1 : 0,
              hkd.ctrl ? 1 : 0, hkd.shft ? 1 : 0, hkd.win ? 1 : 0, static_cast<unsigned>(hkd.key), hkd.name.c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  BecomeDpiAware();
  static tessary::win32::Win32WindowSystem system;
  tessary::SetWindowSystem(&system);
  tessary::ui::SetBackend(&tessary::ui::win32::Backend());
  tessary::ui::app::InitUiThread();
  if (argc >= 2 && std::strcmp(argv[1], "--hotkey-dialog") == 0) return HotkeyDialog();
  if (argc >= 2 && std::strcmp(argv[1], "--gallery") == 0) return Gallery(argc >= 3 ? std::atoi(argv[2]) : 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
