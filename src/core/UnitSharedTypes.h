// The value types passed around the whole program: program, monitor and hotkey records, the lists
// that look them up by key, their comparers, and the relative geometry that turns a window's
// rectangle into fractions of its monitor and back.
#pragma once
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "desktop/WindowSystem.h"

namespace tessary {

struct TProgramInfo {
  WindowHandle hwnd = 0;
  std::wstring EXEName;
  bool isLeftMonitor = false;
  bool isTopMonitor = false;
  int32_t monitorID = -1;
  bool isMinimized = false;
  bool isMaximized = false;
  TRect bounds;
  double wdpercent = 0.0;
  double htpercent = 0.0;
  double toppercent = 0.0;
  double leftpercent = 0.0;
  // The full bounds of the monitor when the record was made: while the monitor has them still,
  // a restore puts the window back at its very rectangle, not at one rounded from the fractions.
  TRect monitorBounds;
  // Filled by the watcher's snapshot: a handle the system gave to another program since is told
  // apart by its process and class.
  uint32_t processId = 0;
  uint32_t classHash = 0;  // ClassHash of the window's class name; 0 when not read
};

// A short fingerprint of a window class name (FNV-1a), never 0.
uint32_t ClassHash(const std::wstring& className);

struct TMonitorInfo {
  int32_t id = 0;
  MonitorHandle handle = 0;
  TRect bounds;
};

struct THotkeyData {
  bool alt = false;
  bool ctrl = false;
  bool shft = false;
  bool win = false;
  uint16_t key = 0;
  std::wstring name;
};

struct RHiddenSettings {
  int32_t TopProgramsIntervalMS = 10000;
};

// ---------------- comparers ----------------
// Compare: negative when Left orders first, 0 when equal, positive otherwise.
template <class T>
class IComparer {
 public:
  virtual ~IComparer() = default;
  virtual int32_t Compare(const T& Left, const T& Right) const = 0;
};

// Only equality is ever asked of it; the handles are compared as 32-bit values, like the
// platform's own handle comparisons.
class TProgramInfoComparer final : public IComparer<TProgramInfo> {
 public:
  int32_t Compare(const TProgramInfo& Left, const TProgramInfo& Right) const override;
};

class TIDComparer final : public IComparer<TMonitorInfo> {
 public:
  int32_t Compare(const TMonitorInfo& Left, const TMonitorInfo& Right) const override;
};

// Left edge first, then top edge.
class TLeftComparer final : public IComparer<TMonitorInfo> {
 public:
  int32_t Compare(const TMonitorInfo& Left, const TMonitorInfo& Right) const override;
};

// Top edge first, then left edge.
class TTopComparer final : public IComparer<TMonitorInfo> {
 public:
  int32_t Compare(const TMonitorInfo& Left, const TMonitorInfo& Right) const override;
};

// ---------------- lists ----------------
// An ordered, index-addressable list that sorts with the comparer it was built with.
template <class T>
class TComparerList {
 public:
  explicit TComparerList(std::shared_ptr<const IComparer<T>> comparer) : comparer_(std::move(comparer)) {}

  void Add(const T& item) { items_.push_back(item); }
  void Clear() { items_.clear(); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  const T& operator[](int32_t index) const { return items_.at(static_cast<size_t>(index)); }
  T& operator[](int32_t index) { return items_.at(static_cast<size_t>(index)); }
  void Delete(int32_t index) { items_.erase(items_.begin() + index); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  const std::vector<T>& Items() const { return items_; }
  const IComparer<T>& Comparer() const { return *comparer_; }

  // Stable, so entries the comparer calls equal keep their order.
  void Sort() {
    const IComparer<T>& c = *comparer_;
    std::stable_sort(items_.begin(), items_.end(), [&c](const T& a, const T& b) { return c.Compare(a, b) < 0; });
  }

 protected:
  std::vector<T> items_;
  std::shared_ptr<const IComparer<T>> comparer_;
};

class TMonitorList : public TComparerList<TMonitorInfo> {
 public:
  using TComparerList<TMonitorInfo>::TComparerList;

  // Position of the first entry with Value.id; -1 when none. Only id is compared.
  int32_t IndexOf(const TMonitorInfo& Value) const;
  // Callers fill item.id; on success the whole entry is copied into item.
  bool TryAndGet(TMonitorInfo& item) const;
};

template <class T>
class TTryList : public TComparerList<T> {
 public:
  using TComparerList<T>::TComparerList;

  // The first entry the comparer reports equal to item is copied into item.
  bool TryAndGet(T& item) const {
    for (const T& e : this->items_) {
      if (this->comparer_->Compare(e, item) == 0) {
        item = e;
        return true;
      }
    }
    return false;
  }
};

// ---------------- relative geometry ----------------
// Fractions of base's full size (1.0 = the whole width or height); not clamped.
void RectToPercents(const TRect& rect, const TRect& base, double& leftpercent, double& toppercent,
                    double& wdpercent, double& htpercent);
TRect PercentsToRect(const TRect& base, double leftpercent, double toppercent, double wdpercent, double htpercent);
TRect MapRect(const TRect& rect, const TRect& fromBase, const TRect& toBase);

// "[left, top, right, bottom]": how the log writes a rectangle.
std::wstring RectText(const TRect& r);

}  // namespace tessary
