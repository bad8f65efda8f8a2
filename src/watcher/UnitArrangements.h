// One snapshot per monitor arrangement: a laptop docked and undocked, or at two desks, goes back to
// the layout it had there. An arrangement is the set of monitors present, each with its identity
// (where the system gives one), its bounds and whether it is primary; two identical docks with
// different screens stay apart, and where no identity is given the bounds alone tell them apart.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/UnitSharedTypes.h"
#include "desktop/WindowSystem.h"

namespace tessary {

struct TArrangementMonitor {
  std::wstring devicePath;
  TRect bounds;
  bool primary = false;
  bool operator==(const TArrangementMonitor&) const = default;
};

struct TArrangement {
  std::vector<TArrangementMonitor> monitors;  // by position, so enumeration order does not matter
  bool operator==(const TArrangement&) const = default;

  static TArrangement FromMonitors(const std::vector<MonitorDesc>& monitors);
  // Empty when the system could not say.
  static TArrangement Present();
  bool Known() const { return !monitors.empty(); }
  // "2 monitors: 1920x1080 at (0, 0) primary; 1920x1080 at (1920, 0)"
  std::wstring Describe() const;
};

// The monitor at these bounds is in both arrangements, with the same identity.
bool SameMonitorIn(const TArrangement& a, const TArrangement& b, const TRect& bounds);

struct TRememberedLayout {
  TArrangement arrangement;
  TTryList<TProgramInfo> programs{std::make_shared<TProgramInfoComparer>()};
  uint64_t lastSeen = 0;
};

// Not thread-safe: the user-interface thread owns it.
class TArrangementMemory {
 public:
  static constexpr size_t Capacity = 8;

  const TRememberedLayout* Find(const TArrangement& a) const;
  // The arrangement's snapshot, replacing the one before; the least recently seen goes when full.
  void Store(const TArrangement& a, const TTryList<TProgramInfo>& programs);
  // Drops, in every memory, the programs for which gone says yes.
  template <class Gone>
  void DropIf(const Gone& gone) {
    for (size_t k = 0; k < count_; ++k)
      for (int32_t i = slots_[k].programs.Count() - 1; i >= 0; --i)
        if (gone(slots_[k].programs[i])) slots_[k].programs.Delete(i);
  }
  size_t Count() const { return count_; }

 private:
  // Fixed slots: a full memory reuses the least recently seen one in place.
  std::array<TRememberedLayout, Capacity> slots_;
  size_t count_ = 0;
  uint64_t clock_ = 0;
};

}  // namespace tessary
