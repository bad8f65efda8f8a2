// Joins the calling thread's input state to the thread of another window for the duration of a
// foreground change. Create and destroy it on the same thread. A thread that does not take its
// messages is not joined (a failed attach): with joined input, every change of the active window
// waits for it.
#pragma once
#include <cstdint>

#include "desktop/WindowSystem.h"

namespace tessary {

class TThreadAttach {
 public:
  explicit TThreadAttach(WindowHandle TargetWindow);
  ~TThreadAttach();
  TThreadAttach(const TThreadAttach&) = delete;
  TThreadAttach& operator=(const TThreadAttach&) = delete;

  bool IsAttached() const { return ThreadAttached; }
  void Detach();

  uint32_t ThreadTarget = 0;
  uint32_t ThreadOurs = 0;
  // Also true when the target window belongs to the calling thread (nothing to join).
  bool ThreadAttached = false;
};

}  // namespace tessary
