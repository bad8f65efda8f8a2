// Puts displaced programs back: compares the snapshot from before the monitors went away with a
// fresh one, moves every program whose monitor changed back to its recorded monitor and place,
// verifies each move and retries the ones that did not take.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/UnitSharedTypes.h"

namespace tessary {

// The status line: how the restore tells the user what it is doing.
using TStatusSink = std::function<void(const std::wstring& text, bool keep)>;

// What became of one program a restore considered: the report a user reads afterwards.
enum class TRestoreOutcome {
  PutBack,
  AlreadyInPlace,
  LeftByUser,  // on the monitor where it was recorded, elsewhere on it
  Gone,        // closed, hidden, or its handle now belongs to another program
  Minimized,
  Elevated,
  NotResponding,
  MonitorMissing,
  Failed,
};

struct TRestoreEntry {
  TProgramInfo saved;
  TRect from;  // where the restore found it; empty when gone
  std::wstring title;
  TRestoreOutcome outcome = TRestoreOutcome::Failed;
  uint32_t error = 0;  // the system's error of a failed one
};
using TRestoreReport = std::vector<TRestoreEntry>;

// `exe "title" from [l, t, r, b] to [l, t, r, b]: outcome`
std::wstring RestoreEntryText(const TRestoreEntry& e);

class TRestore {
 public:
  TRestore() = delete;

  // The saved records of the programs that sit on another monitor now, in saved order. With a
  // report, every saved program gets its entry there: the moved ones as put back, until the
  // restore says otherwise.
  static TTryList<TProgramInfo> FindMovedPrograms(const TTryList<TProgramInfo>& saved,
                                                  const TTryList<TProgramInfo>& fresh,
                                                  TRestoreReport* report = nullptr);
  // False when at least one program was not restored. The waits pump messages: other handlers
  // (timers, display events, clicks) run between the attempts.
  static bool RestoreMovedPrograms(const TTryList<TProgramInfo>& moved, const TStatusSink& status,
                                   TRestoreReport* report = nullptr);
  static bool RestoreOnce(const TProgramInfo& rec);
  // The window now sits at the record's fractions (within a hundredth of the monitor).
  static bool VerifyRestored(const TProgramInfo& rec);
};

// Fixed notation with the given number of decimals.
std::wstring FixedText(double value, int32_t decimals);

}  // namespace tessary
