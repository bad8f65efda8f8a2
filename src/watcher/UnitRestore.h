// Puts displaced programs back: compares the snapshot from before the monitors went away with a
// fresh one, moves every program whose monitor changed back to its recorded monitor and place,
// verifies each move and retries the ones that did not take.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "core/UnitSharedTypes.h"

namespace tessary {

// The status line: how the restore tells the user what it is doing.
using TStatusSink = std::function<void(const std::wstring& text, bool keep)>;

class TRestore {
 public:
  TRestore() = delete;

  // The saved records of the programs that sit on another monitor now, in saved order.
  static TTryList<TProgramInfo> FindMovedPrograms(const TTryList<TProgramInfo>& saved,
                                                  const TTryList<TProgramInfo>& fresh);
  // False when at least one program was not restored. The waits pump messages: other handlers
  // (timers, display events, clicks) run between the attempts.
  static bool RestoreMovedPrograms(const TTryList<TProgramInfo>& moved, const TStatusSink& status);
  static bool RestoreOnce(const TProgramInfo& rec);
  // The window now sits at the record's fractions (within a hundredth of the monitor).
  static bool VerifyRestored(const TProgramInfo& rec);
};

// Fixed notation with the given number of decimals.
std::wstring FixedText(double value, int32_t decimals);

}  // namespace tessary
