// The whole program is assembled here: what lower units need from above is handed to them, and
// one reset of every process-wide state serves test fixtures that want a fresh process.
#pragma once

namespace tessary {

// Hands the lower units what they get from above (the log's folder). Start-up calls it first.
void ConnectLowerUnits();
void ResetProcessWideState();

}  // namespace tessary
