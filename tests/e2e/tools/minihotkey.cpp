// The least a program can do on a global hotkey: Ctrl+Alt+Right and Ctrl+Alt+Left move the
// foreground window to the neighbouring monitor (as minimove does). The baseline of the hotkey
// latency benchmark. Runs until its window "minihotkey" is closed (or SECS seconds).
//
//   minihotkey [SECS]    prints "ready" once both hotkeys are registered
#include "MiniMove.h"

#include <cstdio>
#include <cwchar>

namespace {

LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_HOTKEY) {
        minimove::MoveForeground(wp == 1);
        return 0;
    }
    if (msg == WM_TIMER || msg == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const UINT secs = argc > 1 ? static_cast<UINT>(_wtoi(argv[1])) : 300;
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TessaryBenchMiniHotkey";
    if (!RegisterClassW(&wc)) return 1;
    HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"minihotkey", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               wc.hInstance, nullptr);
    if (!wnd || !RegisterHotKey(wnd, 1, MOD_CONTROL | MOD_ALT, VK_RIGHT) ||
        !RegisterHotKey(wnd, 2, MOD_CONTROL | MOD_ALT, VK_LEFT)) {
        std::printf("refused %lu\n", GetLastError());
        return 1;
    }
    SetTimer(wnd, 1, secs * 1000, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    return 0;
}
