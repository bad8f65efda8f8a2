// Time from a key press to a window's arrival: presses Ctrl+Alt+Right or Ctrl+Alt+Left as
// injected keyboard input (the way a real keyboard reaches the system) while the window TITLE is
// in front, and waits until its left edge is LEFT. Prints the milliseconds, or "timeout".
//
//   keylatency TITLE right|left LEFT
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

void Key(WORD vk, bool up, bool extended) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0u) | (extended ? KEYEVENTF_EXTENDEDKEY : 0u);
    SendInput(1, &in, sizeof in);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    HWND wnd = FindWindowW(nullptr, argv[1]);
    if (!wnd) return 1;
    const WORD vk = std::wcscmp(argv[2], L"right") == 0 ? VK_RIGHT : VK_LEFT;
    const long want = _wtol(argv[3]);
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    Key(VK_CONTROL, false, false);
    Key(VK_MENU, false, false);
    Key(vk, false, true);
    Key(vk, true, true);
    Key(VK_MENU, true, false);
    Key(VK_CONTROL, true, false);
    for (;;) {
        RECT r;
        QueryPerformanceCounter(&t1);
        if (GetWindowRect(wnd, &r) && r.left == want) break;
        if ((t1.QuadPart - t0.QuadPart) > 5 * freq.QuadPart) {
            std::printf("timeout\n");
            return 1;
        }
        Sleep(1);
    }
    std::printf("%.2f\n", 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
    return 0;
}
