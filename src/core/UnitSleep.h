// The short wait that keeps the user interface alive, and the foreground window read with the
// retries every caller of it wants.
#pragma once
#include <cstdint>

#include "desktop/WindowSystem.h"

namespace tessary {

// Receives the progress of a SleepSlick wait instead of the message pump.
class ISleepCallback {
 public:
  virtual ~ISleepCallback() = default;
  virtual void reportSleepSlick(int32_t remainingMs, bool& abort) = 0;
};

// Waits ms in 20 ms steps; every 200 ms pumps messages (or reports to callback, which may abort).
// Returns early when the application is ending. The pump runs other handlers: the caller's state
// may change under it.
void SleepSlick(int32_t ms, ISleepCallback* callback = nullptr);

// The foreground window; while there is none, retries after a 20 ms wait. 0 when it stays none.
WindowHandle ForegroundWindowWithRetry(int32_t retryOnFail);

}  // namespace tessary
