#include "shell/UnitStartup.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "core/AppState.h"
#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitFrmDebug.h"
#include "moving/UnitFocusManager.h"
#include "moving/UnitMoveQueue.h"
#include "shell/UnitFrmAbout.h"
#include "shell/UnitFrmHotkey.h"
#include "shell/UnitFrmInstance.h"
#include "shell/ProcessState.h"
#include "shell/UnitFrmMain.h"
#include "shell/UnitFrmSysTrayMenu.h"
#include "ui/Ui.h"
#include "util/UnitError.h"
#include "watcher/UnitFrmMonitorEvent.h"

namespace tessary {

namespace {

bool Ending() { return IsTerminating() || ui::app::Terminated(); }

// What the window handlers get from the widget layer, for the work start-up does itself and for
// windows outside it: an exception ends in the application's handler, not in the process's end.
template <class Work>
void Guarded(Work work) {
  try {
    work();
  } catch (...) {
    ui::app::HandleException(DescribeCurrentException());
  }
}

}  // namespace

int32_t RunApplication() {
  ConnectLowerUnits();
  // 1. The mutex; the first instance gets its instance window here, before anything else.
  CheckInstance(INST_INIT);
  // Later starts may forward moves while this one still starts; they wait for its own (step 8).
  const bool holding = IsFirstInstance();
  if (holding) TMoveQueue::Hold();

  // 2./3. A later start hands over its arguments, or asks for the main window, and ends.
  const std::vector<std::wstring> args = ws().GetCommandLineArgs();
  std::wstring text;
  for (const std::wstring& arg : args) text += arg + L" ";
  SetCommandLineText(text);
  if (!args.empty() && !IsFirstInstance()) ForwardCommandLine(text);
  if (args.empty() && !IsFirstInstance()) CheckInstance(INST_POPUP);

  // 4. A later start whose request did not arrive says so in its exit code.
  if (IsTerminating()) return (IsFirstInstance() || HandOffDelivered()) ? 0 : 1;

  TFrmDummyInstance* instance = FrmDummyInstance();
  if (instance == nullptr || instance->Handle() == 0) {
    // Without it later starts cannot reach this one, and nothing would ever end the loop.
    AppendLog(L"SU: no instance window, ending");
    return 1;
  }

  // 5. The forms run on this thread; the main window owns the taskbar button and stays hidden
  //    until step 9.
  ui::app::InitUiThread();

  // 6. The windows, in this order. Those made before the debug window log with the ":(x)" mark.
  auto monitorEvent = std::make_unique<TFrmMonitorEvent>();
  auto frmMain = std::make_unique<TFrmMain>();
  auto tray = std::make_unique<TfrmSysTrayMenu>();
  auto about = std::make_unique<TFrmAbout>();
  auto debug = std::make_unique<TFrmDebug>();
  SetShowDebugWindowHandler([form = debug.get()] {
    if (form->Visible())
      TFocusManager::ForceForeground(form->Handle(), false);
    else
      form->Show();
  });
  auto hotkey = std::make_unique<TFrmHotkey>();
  SetHotkeyDialogHandler([form = hotkey.get()](THotkeyData& hkd) {
    form->txtHotkey->SetText(hkd.name);
    return form->GetHotKey(hkd, true, true);
  });

  // 7. From here on an exception nobody caught is logged, saved and shown, and the program goes on.
  ui::app::SetExceptionHandler(ApplicationException);

  // 8. The first instance acts on its own command line, then carries on starting.
  if (!CommandLineText().empty()) Guarded([&] { instance->HandleOwnCommandLine(CommandLineText()); });
  if (holding) Guarded([] { TMoveQueue::Release(); });

  // 9.
  AppendLog(L"SU: show main window");
  Guarded([] {
    if (!ShowMainWindow()) AppendLog(L"SU: no main window to show");
  });

  // 10. Until the instance window is closed (it posts the quit) or termination is asked for.
  // A termination asked for while the windows were created lets steps 7 to 9 run and ends here.
  bool more = true;
  while (more && !Ending()) Guarded([&] { more = ws().PumpOneMessage(); });
  AppendLog(L"SU: message loop ended");

  // Shutdown: the windows in the reverse order of their creation (the debug window saves the log
  // when auto-save is on), the instance window last; then the units name themselves in the log
  // when it is kept.
  SetShowDebugWindowHandler(nullptr);
  SetHotkeyDialogHandler(nullptr);
  hotkey.reset();
  debug.reset();
  about.reset();
  tray.reset();  // the icon goes and the list files are written
  frmMain.reset();
  monitorEvent.reset();
  if (instance->Handle() != 0 && ws().IsWindow(instance->Handle())) ws().DestroyWindow(instance->Handle());
  for (const wchar_t* unit :
       {L"UnitHotKey", L"UnitFrmHotkey", L"UnitFrmInstance", L"UnitIntegrity", L"UnitMisc", L"UnitWideChar", L"UnitSpecialPaths", L"UnitToken",
        L"UnitFocusManager"})
    MeOnlyAppend(unit);
  ui::app::SetExceptionHandler(nullptr);
  return 0;
}

}  // namespace tessary
