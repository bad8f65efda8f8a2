// The Monitor Watcher without a window, for measuring its snapshot: the snapshot needs none of
// the window's hooks.
#pragma once
#include <functional>
#include <string>

#include "watcher/UnitMonitorWatcher.h"

namespace tessary::bench {

class BareWatcher final : public TMonitorWatcher {
 protected:
  void ShowStatus(const std::wstring&, bool) override {}
  void DetectMonitorLayout() override {}
  void ShowForeground(bool) override {}
  bool WatcherWindowShowing() override { return false; }
  void WatcherShowWindow() override {}
  void WatcherPlaceWindowAgain() override {}
  void WatcherHideWindow() override {}
  int32_t RestoreDelayMs() override { return 0; }
  bool PowerStateTrigger() override { return false; }
  bool ResolutionTrigger() override { return false; }
  void PauseManagedTimers() override {}
  void ResumeManagedTimers() override {}
  void RunOnUiThread(const std::function<void()>& fn) override { fn(); }
};

}  // namespace tessary::bench
