// The Monitor Watcher without a window, for measuring its snapshot: the snapshot needs none of
// the window's hooks.
#pragma once
#include <functional>
#include <string>

#include "watcher/UnitMonitorWatcher.h"

namespace tessary::bench {

class BareHost : public IWatcherHost {
 public:
  virtual ~BareHost() = default;
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
  void SetSnapshotTimer(bool) override {}
  void PauseManagedTimers() override {}
  void ResumeManagedTimers() override {}
  void WatcherCycleEnded() override {}
  void RunOnUiThread(const std::function<void()>& fn) override { fn(); }
};

class BareWatcher final : private BareHost, public TMonitorWatcher {
 public:
  BareWatcher() : TMonitorWatcher(static_cast<BareHost&>(*this)) {}
};

}  // namespace tessary::bench
