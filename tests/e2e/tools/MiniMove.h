// The least a program can do to move the foreground window to the monitor on its left or right
// with the same relative place and size: the baseline of the benchmarks (minimove, minihotkey).
#pragma once
#include <windows.h>

namespace minimove {

struct Neighbour {
    RECT from;
    bool right;
    bool found;
    RECT best;
};

inline BOOL CALLBACK Consider(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* n = reinterpret_cast<Neighbour*>(data);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (!GetMonitorInfoW(monitor, &mi)) return TRUE;
    const RECT& r = mi.rcMonitor;
    const bool beyond = n->right ? r.left >= n->from.right : r.right <= n->from.left;
    const bool closer = !n->found || (n->right ? r.left < n->best.left : r.right > n->best.right);
    if (beyond && closer) {
        n->best = r;
        n->found = true;
    }
    return TRUE;
}


// The foreground window to the monitor on its left or right, same relative place and size.
inline bool MoveForeground(bool right) {
    HWND wnd = GetForegroundWindow();
    RECT w{};
    if (!wnd || !GetWindowRect(wnd, &w)) return false;
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    if (!GetMonitorInfoW(MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), &mi)) return false;
    Neighbour n{mi.rcMonitor, right, false, {}};
    EnumDisplayMonitors(nullptr, nullptr, Consider, reinterpret_cast<LPARAM>(&n));
    if (!n.found) return false;
    const RECT& a = mi.rcMonitor;
    const RECT& b = n.best;
    const long double aw = a.right - a.left, ah = a.bottom - a.top;
    const long double bw = b.right - b.left, bh = b.bottom - b.top;
    const int left = b.left + static_cast<int>(bw * ((w.left - a.left) / aw));
    const int top = b.top + static_cast<int>(bh * ((w.top - a.top) / ah));
    const int width = static_cast<int>(bw * ((w.right - w.left) / aw));
    const int height = static_cast<int>(bh * ((w.bottom - w.top) / ah));
    const BOOL moved = SetWindowPos(wnd, nullptr, left, top, width, height, 0x41C);
    const BOOL sized = SetWindowPos(wnd, nullptr, left, top, width, height, 0x41E);
    RedrawWindow(wnd, nullptr, nullptr, 0x181);
    const BOOL framed = SetWindowPos(wnd, HWND_TOP, 0, 0, 0, 0, 0x23);
    return moved && sized && framed;
}

}  // namespace minimove
