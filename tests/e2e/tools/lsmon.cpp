// Prints the monitors as the window system reports them, one line each in enumeration order:
// "index left top right bottom primary devicename".
//
// "lsmon --watch N" keeps a top-level window open and prints "displaychange W H" followed by the
// new list on every WM_DISPLAYCHANGE; it ends after the N-th one (or after 60 s, exit code 2), so
// a test can change the monitors under a running program and see what that program sees.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

int g_changesLeft = 0;

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* index = reinterpret_cast<int*>(data);
    MONITORINFOEXW info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(monitor, &info)) {
        std::printf("%d error %lu\n", *index, GetLastError());
    } else {
        const RECT& r = info.rcMonitor;
        std::printf("%d %ld %ld %ld %ld %d %ls\n", *index, r.left, r.top, r.right, r.bottom,
                    (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0, info.szDevice);
    }
    ++*index;
    return TRUE;
}

bool PrintMonitors() {
    int index = 0;
    const BOOL ok = EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, reinterpret_cast<LPARAM>(&index));
    if (!ok) std::printf("EnumDisplayMonitors failed %lu\n", GetLastError());
    std::fflush(stdout);
    return ok && index > 0;
}

LRESULT CALLBACK WatchProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DISPLAYCHANGE:
        std::printf("displaychange %d %d\n", LOWORD(lParam), HIWORD(lParam));
        PrintMonitors();
        if (--g_changesLeft <= 0) PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        std::printf("timeout\n");
        std::fflush(stdout);
        PostQuitMessage(2);
        return 0;
    default:
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
}

int Watch(int changes) {
    g_changesLeft = changes;
    WNDCLASSW wc{};
    wc.lpfnWndProc = WatchProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LsmonWatch";
    if (!RegisterClassW(&wc)) return 1;
    HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"lsmon", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
    if (!wnd) return 1;
    ShowWindow(wnd, SW_SHOWNOACTIVATE);
    SetTimer(wnd, 1, 60000, nullptr);
    // Printed only once the window exists, so a test that waits for it knows the program is ready.
    if (!PrintMonitors()) return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DestroyWindow(wnd);
    return static_cast<int>(msg.wParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"--watch") == 0) return Watch(_wtoi(argv[2]));
    return PrintMonitors() ? 0 : 1;
}
