#include "watcher/UnitArrangements.h"
#include "util/UnitText.h"

#include <algorithm>
#include <utility>

namespace tessary {

TArrangement TArrangement::FromMonitors(const std::vector<MonitorDesc>& monitors) {
  TArrangement a;
  for (const MonitorDesc& m : monitors) a.monitors.push_back({m.devicePath, m.bounds, m.primary});
  // A handful of monitors: an insertion by position is all the sorting they need.
  const auto before = [](const TArrangementMonitor& x, const TArrangementMonitor& y) {
    if (x.bounds.Left != y.bounds.Left) return x.bounds.Left < y.bounds.Left;
    if (x.bounds.Top != y.bounds.Top) return x.bounds.Top < y.bounds.Top;
    return x.devicePath < y.devicePath;
  };
  for (size_t i = 1; i < a.monitors.size(); ++i)
    for (size_t j = i; j > 0 && before(a.monitors[j], a.monitors[j - 1]); --j) std::swap(a.monitors[j], a.monitors[j - 1]);
  return a;
}

TArrangement TArrangement::Present() {
  // A failed enumeration lists nothing; asked again it usually answers. Nothing is never an
  // arrangement: callers take an empty answer as "not known now".
  for (int attempt = 0; attempt < 3; ++attempt)
    if (std::vector<MonitorDesc> monitors = ws().EnumMonitors(); !monitors.empty()) return FromMonitors(monitors);
  return {};
}

std::wstring TArrangement::Describe() const {
  std::wstring s = Format(L"%u %s", monitors.size(), monitors.size() == 1 ? L"monitor:" : L"monitors:");
  for (size_t i = 0; i < monitors.size(); ++i) {
    const TRect& b = monitors[i].bounds;
    s += Format(L"%s%dx%d at (%d, %d)%s", i == 0 ? L" " : L"; ", b.Width(), b.Height(), b.Left, b.Top,
                monitors[i].primary ? L" primary" : L"");
  }
  return s;
}

bool SameMonitorIn(const TArrangement& a, const TArrangement& b, const TRect& bounds) {
  for (const TArrangementMonitor& x : a.monitors)
    for (const TArrangementMonitor& y : b.monitors)
      if (x.bounds == bounds && y.bounds == bounds && x.devicePath == y.devicePath) return true;
  return false;
}

const TRememberedLayout* TArrangementMemory::Find(const TArrangement& a) const {
  for (size_t i = 0; i < count_; ++i)
    if (slots_[i].arrangement == a) return &slots_[i];
  return nullptr;
}

void TArrangementMemory::Store(const TArrangement& a, const TTryList<TProgramInfo>& programs) {
  size_t slot = 0;
  while (slot < count_ && slots_[slot].arrangement != a) ++slot;
  if (slot == count_) {
    if (count_ < Capacity) {
      ++count_;
    } else {
      slot = 0;
      for (size_t i = 1; i < count_; ++i)
        if (slots_[i].lastSeen < slots_[slot].lastSeen) slot = i;
    }
    slots_[slot].arrangement = a;
  }
  slots_[slot].programs = programs;
  slots_[slot].lastSeen = ++clock_;
}

}  // namespace tessary
