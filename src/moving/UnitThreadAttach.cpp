#include "moving/UnitThreadAttach.h"

namespace tessary {

TThreadAttach::TThreadAttach(WindowHandle TargetWindow) {
  ThreadTarget = ws().GetWindowThreadProcessId(TargetWindow, nullptr);
  ThreadOurs = ws().GetCurrentThreadId();
  if (ThreadTarget != ThreadOurs)
    ThreadAttached = ws().AttachThreadInput(ThreadTarget, ThreadOurs, true);
  else
    ThreadAttached = true;  // our own window: nothing to join
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
