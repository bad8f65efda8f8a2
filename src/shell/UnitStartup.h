// The program's start: single instance first, then the windows in their fixed order, the
// command line, and the message loop. Tessary.exe's entry point calls RunApplication once the
// platform backend is installed.
#pragma once
#include <cstdint>

namespace tessary {

// Returns the process's exit code.
int32_t RunApplication();

}  // namespace tessary
