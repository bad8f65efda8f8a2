// The least a program can do to move the foreground window to the monitor on its left or right
// with the same relative place and size: the benchmark's baseline for the whole-process cost of
// starting a Windows program under Wine and placing one window.
//
//   minimove left|right    exit code 0 when the window was placed, 1 otherwise
#include "MiniMove.h"

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    return minimove::MoveForeground(std::wcscmp(argv[1], L"right") == 0) ? 0 : 1;
}
