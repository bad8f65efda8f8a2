#include "desktop/ProcessState.h"

#include "desktop/AppState.h"
#include "desktop/UnitMonitors.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitMisc.h"

namespace tessary {

void ResetProcessWideState() {
  TMonitors::Reset();
  ResetLogState();
  ResetDataFolderCache();
  SetTerminating(false);
}

}  // namespace tessary
