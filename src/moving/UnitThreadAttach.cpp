#include "moving/UnitThreadAttach.h"

#include "core/UnitForeground.h"
#include "diagnostics/DebugLog.h"
#include "moving/UnitFocusManager.h"

namespace tessary {

TThreadAttach::TThreadAttach(WindowHandle TargetWindow) {
  ThreadTarget = ws().GetWindowThreadProcessId(TargetWindow, nullptr);
  ThreadOurs = ws().GetCurrentThreadId();
  if (ThreadTarget == ThreadOurs) {
    ThreadAttached = true;  // our own window: nothing to join
  } else if (!TFocusManager::IsResponding(TargetWindow)) {
    const std::wstring name = GetProcessExeName(TargetWindow);
    ws().SetLastError(wc::ERROR_TIMEOUT);
    AppendLog(L"TA: not responding, not joined: " + name, true);
  } else {
    ThreadAttached = ws().AttachThreadInput(ThreadTarget, ThreadOurs, true);
  }
}

TThreadAttach::~TThreadAttach() { Detach(); }

void TThreadAttach::Detach() {
  if (ThreadTarget != ThreadOurs && ThreadAttached) {
    ws().SetLastError(0);
    ws().AttachThreadInput(ThreadTarget, ThreadOurs, false);
  }
  ThreadAttached = false;
}

}  // namespace tessary
