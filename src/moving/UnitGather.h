// Brings program windows that no monitor shows back into view: a program that reopened at its
// saved place on a monitor that is gone, or one a display change left behind. Windows that any
// monitor shows are not touched.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "desktop/WindowSystem.h"

namespace tessary {

class TGather {
 public:
  TGather() = delete;

  struct TResult {
    int32_t gathered = 0;
    int32_t skipped = 0;  // elevated or not responding
    int32_t failed = 0;
  };
  using TStatus = std::function<void(const std::wstring& text)>;

  // Every visible top-level program window off every monitor goes onto the primary monitor at its
  // place relative to a monitor of the primary's size; maximized ones are maximized there,
  // minimized ones stay minimized with their normal place moved. Placements pump nothing; the
  // caller runs this as a move request so that it never runs inside a move.
  static TResult GatherWindows(const TStatus& status);

  // A window counts as shown when a piece of it at least this big lies on one monitor: enough to
  // see it and take hold of it.
  static constexpr int32_t MinShownPx = 32;
  static bool Shown(const TRect& r, const std::vector<MonitorDesc>& monitors);
  // Where r goes on the primary: the same place relative to a monitor of the primary's size in
  // the grid of such monitors, as much of its size as the work area holds, inside the work area.
  static TRect OntoPrimary(const TRect& r, const MonitorDesc& primary);
};

}  // namespace tessary
