// The monitors of the desktop in three process-wide lists (enumeration order, by left edge, by
// top edge) and the neighbour search the mover asks: left/right/up/down are steps through the
// sorted lists, next is a step through the enumeration order that wraps around.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "core/UnitSharedTypes.h"

namespace tessary {

class TMonitors {
 public:
  TMonitors() = delete;

  // Re-reads the monitors; waits up to 500 ms for a second monitor to appear.
  static void GatherMonitorsInfo();
  // The two halves of it. Waiting reads only the platform, so the restore worker does it on its
  // own thread (stop, when set, ends the wait early); recording writes the lists and logs their
  // number, on the UI thread.
  static std::vector<MonitorDesc> WaitForMonitors(const std::atomic<bool>* stop = nullptr);
  static void RecordMonitors(const std::vector<MonitorDesc>& monitors);
  // Gathers when fewer than two monitors are recorded.
  static void EnsureGathered();
  // Reads the monitors once and records them when they differ from the recorded ones (a monitor
  // went or came without a change of layout); returns how many there are now.
  static size_t RecordIfChanged();

  static const TMonitorList& getList();
  static const TMonitorList& getLeftList();
  static const TMonitorList& getTopList();

  // next is written only when the result is true. The id forms look up the monitor with that id.
  static bool getNextLeft(int32_t id, TMonitorInfo& next);
  static bool getNextLeft(const TMonitorInfo& info, TMonitorInfo& next);
  static bool getNextRight(int32_t id, TMonitorInfo& next);
  static bool getNextRight(const TMonitorInfo& info, TMonitorInfo& next);
  static bool getNextUp(int32_t id, TMonitorInfo& next);
  static bool getNextUp(const TMonitorInfo& info, TMonitorInfo& next);
  static bool getNextDown(int32_t id, TMonitorInfo& next);
  static bool getNextDown(const TMonitorInfo& info, TMonitorInfo& next);
  static bool getNext(int32_t id, TMonitorInfo& next);
  static bool getNext(const TMonitorInfo& info, TMonitorInfo& next);

  // For test fixtures: empty lists, as at program start.
  static void Reset();
};

}  // namespace tessary
