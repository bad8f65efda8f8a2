// The least a program can do to put remembered windows back: the baseline of bench/wine_restore.sh.
// The memory (window and rectangle) is read before the clock starts, as a watcher has it before a
// monitor comes back; then each window is read once, and one that is not at its rectangle is placed
// with the calls Tessary's placement makes (SetWindowPos to move, again to size, RedrawWindow, the
// frame). Windows are the end-to-end test windows, found by title.
//
//   minirestore FILE            FILE: "l t r b title" a line. Prints "start HH:MM:SS.mmm" (local
//                               time, as the test windows' traces and Tessary's log), "placed N",
//                               "took US us"
//   minirestore --push DX FILE  moves every window DX pixels from its rectangle, asynchronously, as
//                               the system does when a monitor goes; waits up to 5 s until they are
//   minirestore --wait SECS FILE  waits until every window is at its rectangle; "at N of M"
// Exit code 0 on success, 1 when a window is missing or not where it should be.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Memory {
    HWND wnd;
    RECT rect;
};

bool Read(const char* file, std::vector<Memory>& out) {
    FILE* f = std::fopen(file, "r");
    if (!f) return false;
    char line[512];
    bool ok = true;
    while (std::fgets(line, sizeof line, f)) {
        RECT r{};
        char title[256] = {};
        if (std::sscanf(line, "%ld %ld %ld %ld %255[^\r\n]", &r.left, &r.top, &r.right, &r.bottom, title) != 5) continue;
        wchar_t wide[256];
        MultiByteToWideChar(CP_UTF8, 0, title, -1, wide, 256);
        const HWND wnd = FindWindowW(L"TessaryE2ETestWin", wide);
        if (!wnd) {
            std::fprintf(stderr, "no window %s\n", title);
            ok = false;
        }
        out.push_back({wnd, r});
    }
    std::fclose(f);
    return ok && !out.empty();
}

bool At(const Memory& m) {
    RECT r;
    return GetWindowRect(m.wnd, &r) && EqualRect(&r, &m.rect);
}

int CountAt(const std::vector<Memory>& memory) {
    int n = 0;
    for (const Memory& m : memory) n += At(m) ? 1 : 0;
    return n;
}

int Restore(const std::vector<Memory>& memory) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    const auto t0 = std::chrono::steady_clock::now();
    int placed = 0;
    bool ok = true;
    for (const Memory& m : memory) {
        RECT now;
        if (!GetWindowRect(m.wnd, &now)) {
            ok = false;
            continue;
        }
        const HMONITOR was = MonitorFromRect(&m.rect, MONITOR_DEFAULTTONEAREST);
        if (MonitorFromWindow(m.wnd, MONITOR_DEFAULTTONEAREST) == was) continue;
        const RECT& r = m.rect;
        const UINT place = SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOSENDCHANGING;
        const bool moved = SetWindowPos(m.wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, place);
        const bool sized =
            SetWindowPos(m.wnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, place | SWP_NOMOVE);
        RedrawWindow(m.wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        const bool framed = SetWindowPos(m.wnd, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
        if (moved && sized && framed) ++placed; else ok = false;
    }
    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    std::printf("start %02u:%02u:%02u.%03u\nplaced %d\ntook %.0f us\n", t.wHour, t.wMinute, t.wSecond,
                t.wMilliseconds, placed, us);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Memory> memory;
    if (argc == 2) return Read(argv[1], memory) ? Restore(memory) : 1;
    if (argc == 4 && std::strcmp(argv[1], "--push") == 0) {
        if (!Read(argv[3], memory)) return 1;
        const int dx = std::atoi(argv[2]);
        for (Memory& m : memory) {
            OffsetRect(&m.rect, dx, 0);
            SetWindowPos(m.wnd, nullptr, m.rect.left, m.rect.top, m.rect.right - m.rect.left,
                         m.rect.bottom - m.rect.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
        }
        for (int i = 0; i < 250 && CountAt(memory) < static_cast<int>(memory.size()); ++i) Sleep(20);
        return CountAt(memory) == static_cast<int>(memory.size()) ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--wait") == 0) {
        if (!Read(argv[3], memory)) return 1;
        const DWORD until = GetTickCount() + 1000u * static_cast<DWORD>(std::atoi(argv[2]));
        int at = CountAt(memory);
        while (at < static_cast<int>(memory.size()) && static_cast<LONG>(until - GetTickCount()) > 0) {
            Sleep(20);
            at = CountAt(memory);
        }
        std::printf("at %d of %zu\n", at, memory.size());
        return at == static_cast<int>(memory.size()) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: minirestore FILE | --push DX FILE | --wait SECS FILE\n");
    return 2;
}
