#include "shell/UnitStartup.h"

#include <string>
#include <vector>

#include "desktop/AppState.h"
#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitFrmInstance.h"

namespace tessary {

int32_t RunApplication() {
  // 1. The mutex; the first instance gets its instance window here, before anything else.
  CheckInstance(INST_INIT);

  // 2./3. A later start hands over its arguments, or asks for the main window, and ends.
  const std::vector<std::wstring> args = ws().GetCommandLineArgs();
  std::wstring text;
  for (const std::wstring& arg : args) text += arg + L" ";
  SetCommandLineText(text);
  if (!args.empty() && !IsFirstInstance()) ForwardCommandLine(text);
  if (args.empty() && !IsFirstInstance()) CheckInstance(INST_POPUP);

  // 4.
  if (IsTerminating()) return 0;

  TFrmDummyInstance* instance = FrmDummyInstance();
  if (instance == nullptr || instance->Handle() == 0) {
    // Without it later starts cannot reach this one, and nothing would ever end the loop.
    AppendLog(L"SU: no instance window, ending");
    return 1;
  }

  // 5. Application object: the main window will own the taskbar button and stay hidden until
  //    step 9. [main window]
  // 6. Windows, in this order: display event window, main window, tray window, About box,
  //    debug window, hotkey dialog. [each created here as it arrives]
  // 7. The debug window's handler of uncaught exceptions. [debug window]

  // 8. The first instance acts on its own command line, then carries on starting.
  if (!CommandLineText().empty()) instance->HandleCommandLine(CommandLineText());

  // 9.
  ShowMainWindow();

  // 10. Until the instance window is closed (it posts the quit) or termination is asked for.
  // A termination asked for while the windows were created lets steps 7 to 9 run and ends here.
  while (!IsTerminating() && ws().PumpOneMessage()) {
  }
  AppendLog(L"SU: message loop ended");

  // Shutdown: the windows go first (later: the rest of them, in reverse order), then the units
  // name themselves in the log when it is kept.
  if (instance->Handle() != 0 && ws().IsWindow(instance->Handle())) ws().DestroyWindow(instance->Handle());
  MeOnlyAppend(L"UnitFrmInstance");
  return 0;
}

}  // namespace tessary
