#include "core/UnitSleep.h"

#include "core/AppState.h"

namespace tessary {

namespace {
constexpr int32_t kSleepStepMs = 20;
constexpr int32_t kPumpEveryMs = 200;
}  // namespace

void SleepSlick(int32_t ms, ISleepCallback* callback) {
  for (int32_t elapsed = 0; elapsed < ms; elapsed += kSleepStepMs) {
    if (elapsed % kPumpEveryMs == 0) {
      if (callback) {
        bool abort = false;
        callback->reportSleepSlick(ms - elapsed, abort);
        if (abort) return;
      } else {
        ws().ProcessPendingMessages();
      }
    }
    ws().Sleep(kSleepStepMs);
    if (IsTerminating()) return;
  }
}

WindowHandle ForegroundWindowWithRetry(int32_t retryOnFail) {
  WindowHandle h = ws().GetForegroundWindow();
  while (h == 0 && retryOnFail > 0) {
    --retryOnFail;
    SleepSlick(kSleepStepMs);
    h = ws().GetForegroundWindow();
  }
  return h;
}

}  // namespace tessary
