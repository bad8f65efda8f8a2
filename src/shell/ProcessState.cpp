#include "shell/ProcessState.h"

#include "core/AppState.h"
#include "core/UnitMonitors.h"
#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitHotKey.h"
#include "moving/UnitMove.h"
#include "moving/UnitMoveQueue.h"
#include "shell/UnitFrmInstance.h"
#include "shell/UnitMisc.h"
#include "core/UnitTimerManager.h"

namespace tessary {

void ConnectLowerUnits() { SetLogFolder(&GetDataFolder); }

void ResetProcessWideState() {
  TMonitors::Reset();
  ResetLogState();
  ResetDataFolderCache();
  ResetInstanceState();
  SetTerminating(false);
  TMove::Reset();
  TMoveQueue::Reset();
  TACHotKey::ResetIds();
  TTimerManager::Reset();
  ConnectLowerUnits();
}

}  // namespace tessary
