#include "desktop/ProcessState.h"

#include "desktop/AppState.h"
#include "desktop/UnitMonitors.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitMove.h"
#include "shell/UnitFrmInstance.h"
#include "shell/UnitMisc.h"

namespace tessary {

void ResetProcessWideState() {
  TMonitors::Reset();
  ResetLogState();
  ResetDataFolderCache();
  ResetInstanceState();
  SetTerminating(false);
  TMove::Reset();
}

}  // namespace tessary
