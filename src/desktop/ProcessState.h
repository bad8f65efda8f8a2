// One reset of every process-wide state, for test fixtures that want a fresh process.
#pragma once

namespace tessary {

void ResetProcessWideState();

}  // namespace tessary
