#include "watcher/UnitArrangements.h"

#include <algorithm>
#include <tuple>

namespace tessary {

TArrangement TArrangement::FromMonitors(const std::vector<MonitorDesc>& monitors) {
  TArrangement a;
  for (const MonitorDesc& m : monitors) a.monitors.push_back({m.devicePath, m.bounds, m.primary});
  std::sort(a.monitors.begin(), a.monitors.end(), [](const TArrangementMonitor& x, const TArrangementMonitor& y) {
    return std::tie(x.bounds.Left, x.bounds.Top, x.bounds.Right, x.bounds.Bottom, x.devicePath) <
           std::tie(y.bounds.Left, y.bounds.Top, y.bounds.Right, y.bounds.Bottom, y.devicePath);
  });
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
  std::wstring s = std::to_wstring(monitors.size()) + (monitors.size() == 1 ? L" monitor:" : L" monitors:");
  for (size_t i = 0; i < monitors.size(); ++i) {
    const TRect& b = monitors[i].bounds;
    s += (i == 0 ? L" " : L"; ") + std::to_wstring(b.Width()) + L"x" + std::to_wstring(b.Height()) + L" at (" +
         std::to_wstring(b.Left) + L", " + std::to_wstring(b.Top) + L")" + (monitors[i].primary ? L" primary" : L"");
  }
  return s;
}

bool TArrangement::Has(const TRect& bounds) const {
  return std::any_of(monitors.begin(), monitors.end(), [&](const TArrangementMonitor& m) { return m.bounds == bounds; });
}

bool SameMonitorIn(const TArrangement& a, const TArrangement& b, const TRect& bounds) {
  for (const TArrangementMonitor& x : a.monitors)
    for (const TArrangementMonitor& y : b.monitors)
      if (x.bounds == bounds && y.bounds == bounds && x.devicePath == y.devicePath) return true;
  return false;
}

const TRememberedLayout* TArrangementMemory::Find(const TArrangement& a) const {
  for (const TRememberedLayout& e : entries_)
    if (e.arrangement == a) return &e;
  return nullptr;
}

void TArrangementMemory::Store(const TArrangement& a, const TTryList<TProgramInfo>& programs) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const TRememberedLayout& e) { return e.arrangement == a; });
  if (it == entries_.end()) {
    if (entries_.size() >= Capacity)
      entries_.erase(std::min_element(entries_.begin(), entries_.end(), [](const auto& x, const auto& y) {
        return x.lastSeen < y.lastSeen;
      }));
    entries_.emplace_back();
    entries_.back().arrangement = a;
    it = entries_.end() - 1;
  }
  it->programs = programs;
  it->lastSeen = ++clock_;
}

void TArrangementMemory::DropIf(const std::function<bool(const TProgramInfo&)>& gone) {
  for (TRememberedLayout& e : entries_)
    for (int32_t i = e.programs.Count() - 1; i >= 0; --i)
      if (gone(e.programs[i])) e.programs.Delete(i);
}

}  // namespace tessary
