// A window for the end-to-end tests to move, and the look-ups the tests need from inside Wine.
//
//   testwin --open TITLE L T W H normal|max|min   opens a top-level window at that rectangle in that
//                                                 state, takes the foreground, prints "ready" and
//                                                 runs until closed (or 120 s, or the
//                                                 environment's E2E_LIFE_SECS)
//   testwin --front TITLE        makes that window the foreground window again
//   testwin --activate TITLE     the same from this process, without asking the window (works on
//                                a window that does not respond; Wine has no foreground lock)
//   testwin --query TITLE        "RECT l t r b min max mon N fg F normal l t r b"
//   testwin --place TITLE L T W H  moves the window from outside, as the system does when its
//                                monitor goes away (asynchronously: a hung window moves too);
//                                waits up to 2 s until it is there (a maximized one stays so)
//   testwin --close TITLE        closes it and waits until it is gone
//   testwin --count-class CLASS  number of top-level windows of that class
//   testwin --close-class CLASS  closes every top-level window of that class, waits until gone
//   testwin --restore TITLE      restores a minimized or maximized window
//   testwin --pid-of-class CLASS process id of the first top-level window of that class
//   testwin --watch TITLE FILE   writes "create PID EXE CLASS" to FILE for every top-level window
//                                that any other process creates, until "--close TITLE" (or 120 s)
//   testwin --hang TITLE [SECS]  the window's thread stops responding: it blocks in a handler
//                                without pumping messages until "--wake TITLE" (or SECS, default 600)
//   testwin --wake TITLE         lets a hung window's thread go on
//   testwin --tray-keep SECS     an icon in the notification area for SECS seconds (prints "ready"):
//                                Wine shows its tray window, and gives it the focus, only while
//                                at least one icon is there; Windows' notification area is always
//                                there and never takes the foreground
//   testwin --hold-hotkey MODS VK SECS  another program holding a global hotkey: registers it,
//                                prints "ready" (or "refused N"), keeps it SECS seconds
// E2E_TRACE_POS=1 makes an --open window print every change of its place (TracePos).
// Exit code 0 on success, 1 when the window is not found or a call fails.
#include <windows.h>
#include <shellapi.h>

#include "ProcessName.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const wchar_t kClass[] = L"TessaryE2ETestWin";
// Asks the window to take the foreground itself: Wine has no foreground lock, but doing it from
// the owning thread is what works on Windows too.
const UINT kMsgFront = WM_APP + 1;
const UINT kMsgRestore = WM_APP + 2;
const UINT kMsgHang = WM_APP + 3;

// The event a hung window waits for; named after its title so that another process can set it.
std::wstring WakeEventName(const wchar_t* title) { return std::wstring(L"TessaryE2EWake-") + title; }

void TakeForeground(HWND wnd) {
    SetForegroundWindow(wnd);
    BringWindowToTop(wnd);
    SetActiveWindow(wnd);
}

// E2E_TRACE_POS=1: every change of the window's place, with the time of day to the millisecond (as
// Tessary's log has it) and who made it: "sent" when another thread's call (a SetWindowPos of
// Tessary) had the window's thread carry it out, "own" when the thread made it itself while taking
// its messages, which is where Wine answers the X window manager's late configure events.
bool g_tracePos = false;

void TracePos(HWND wnd) {
    RECT r{};
    GetWindowRect(wnd, &r);
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::fprintf(stdout, "pos %02u:%02u:%02u.%03u %ld %ld %ld %ld %s\n", t.wHour, t.wMinute, t.wSecond,
                 t.wMilliseconds, r.left, r.top, r.right, r.bottom, InSendMessage() ? "sent" : "own");
    std::fflush(stdout);
}

LRESULT CALLBACK TestWinProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (g_tracePos && (~pos->flags & (SWP_NOMOVE | SWP_NOSIZE))) TracePos(wnd);
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
    case kMsgFront:
        TakeForeground(wnd);
        return GetForegroundWindow() == wnd ? 1 : 0;
    case kMsgRestore:
        ShowWindow(wnd, SW_RESTORE);
        return 1;
    case kMsgHang: {
        // Not responding as a program stuck in a computation is: no message is looked at, sent
        // ones included, until the wait ends.
        wchar_t title[256] = L"";
        GetWindowTextW(wnd, title, 256);
        HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, WakeEventName(title).c_str());
        WaitForSingleObject(wake, static_cast<DWORD>(wParam) * 1000);
        if (wake) CloseHandle(wake);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(wnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(wnd, msg, wParam, lParam);
    }
}

bool Register() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestWinProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1);
    wc.lpszClassName = kClass;
    return RegisterClassW(&wc) != 0;
}

void RunLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

FILE* g_watchFile = nullptr;

void CALLBACK OnCreate(HWINEVENTHOOK, DWORD, HWND wnd, LONG object, LONG child, DWORD thread, DWORD) {
    if (object != OBJID_WINDOW || child != CHILDID_SELF || !wnd) return;
    // Only top-level windows; a window already gone is reported too, its class as "?".
    if (IsWindow(wnd) && GetAncestor(wnd, GA_PARENT) != GetDesktopWindow()) return;
    DWORD pid = 0;
    if (HANDLE t = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, thread)) {
        pid = GetProcessIdOfThread(t);
        CloseHandle(t);
    }
    if (!pid) GetWindowThreadProcessId(wnd, &pid);
    wchar_t cls[256] = L"?";
    if (!GetClassNameW(wnd, cls, 256)) std::wcscpy(cls, L"?");
    std::fprintf(g_watchFile, "create %lu %ls %ls\n", pid, ExeOfProcess(pid, L"?").c_str(), cls);
    std::fflush(g_watchFile);
}

// How long an --open or --watch window lives unless closed: a test that dies leaves nothing behind
// for long, and a long run (the soak) can ask for more.
UINT LifeMs() {
    wchar_t text[16] = {};
    const DWORD n = GetEnvironmentVariableW(L"E2E_LIFE_SECS", text, 16);
    const int secs = n > 0 && n < 16 ? _wtoi(text) : 0;
    return secs > 0 ? static_cast<UINT>(secs) * 1000u : 120000u;
}

int Watch(const wchar_t* title, const wchar_t* file) {
    g_watchFile = _wfopen(file, L"w");
    if (!g_watchFile || !Register()) return 1;
    HWND wnd = CreateWindowExW(0, kClass, title, WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!wnd) return 1;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, OnCreate, 0,
                                         0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    if (!hook) return 1;
    SetTimer(wnd, 1, LifeMs(), nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    RunLoop();
    UnhookWinEvent(hook);
    std::fclose(g_watchFile);
    return 0;
}

int Open(const wchar_t* title, int l, int t, int w, int h, const wchar_t* state) {
    if (!Register()) return 1;
    HWND wnd = CreateWindowExW(0, kClass, title, WS_OVERLAPPEDWINDOW, l, t, w, h, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!wnd) return 1;
    // The window manager may nudge a new window; put it exactly where asked once it is shown.
    ShowWindow(wnd, SW_SHOWNORMAL);
    SetWindowPos(wnd, nullptr, l, t, w, h, SWP_NOZORDER);
    TakeForeground(wnd);
    if (std::wcscmp(state, L"max") == 0) ShowWindow(wnd, SW_MAXIMIZE);
    // Minimized yet still the active window, so that a move of "the foreground window" meets it.
    if (std::wcscmp(state, L"min") == 0) ShowWindow(wnd, SW_SHOWMINIMIZED);
    SetTimer(wnd, 1, LifeMs(), nullptr);
    // Let the window manager settle before telling the test the window is there.
    const DWORD until = GetTickCount() + 300;
    MSG msg;
    while (GetTickCount() < until) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
    TakeForeground(wnd);
    std::printf("ready\n");
    std::fflush(stdout);
    RunLoop();
    return 0;
}

HWND Find(const wchar_t* title) { return FindWindowW(kClass, title); }

struct MonitorSearch {
    HMONITOR wanted;
    int index;
    int found;
};

BOOL CALLBACK FindMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* search = reinterpret_cast<MonitorSearch*>(data);
    if (monitor == search->wanted) search->found = search->index;
    ++search->index;
    return TRUE;
}

int Query(const wchar_t* title) {
    HWND wnd = Find(title);
    if (!wnd) {
        std::printf("no window\n");
        return 1;
    }
    RECT r{};
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    if (!GetWindowRect(wnd, &r) || !GetWindowPlacement(wnd, &wp)) return 1;
    MonitorSearch search{MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), 0, -1};
    EnumDisplayMonitors(nullptr, nullptr, FindMonitor, reinterpret_cast<LPARAM>(&search));
    const RECT& n = wp.rcNormalPosition;
    std::printf("RECT %ld %ld %ld %ld min %d max %d mon %d fg %d normal %ld %ld %ld %ld\n", r.left,
                r.top, r.right, r.bottom, IsIconic(wnd) ? 1 : 0, IsZoomed(wnd) ? 1 : 0, search.found,
                GetForegroundWindow() == wnd ? 1 : 0, n.left, n.top, n.right, n.bottom);
    return 0;
}

bool WaitGone(HWND wnd) {
    for (int i = 0; i < 200 && IsWindow(wnd); ++i) Sleep(25);
    return !IsWindow(wnd);
}

int Close(HWND wnd) {
    if (!wnd) return 1;
    PostMessageW(wnd, WM_CLOSE, 0, 0);
    return WaitGone(wnd) ? 0 : 1;
}

struct ClassSearch {
    const wchar_t* cls;
    int count;
    HWND windows[64];
};

BOOL CALLBACK MatchClass(HWND wnd, LPARAM data) {
    auto* search = reinterpret_cast<ClassSearch*>(data);
    wchar_t cls[256];
    if (GetClassNameW(wnd, cls, 256) && std::wcscmp(cls, search->cls) == 0 && search->count < 64)
        search->windows[search->count++] = wnd;
    return TRUE;
}

ClassSearch ByClass(const wchar_t* cls) {
    ClassSearch search{cls, 0, {}};
    EnumWindows(MatchClass, reinterpret_cast<LPARAM>(&search));
    return search;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    wchar_t trace[4] = L"";
    g_tracePos = GetEnvironmentVariableW(L"E2E_TRACE_POS", trace, 4) > 0 && trace[0] == L'1';
    if (mode == L"--open" && argc == 8)
        return Open(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6]), argv[7]);
    if (mode == L"--query" && argc == 3) return Query(argv[2]);
    if (mode == L"--front" && argc == 3) {
        HWND wnd = Find(argv[2]);
        return wnd && SendMessageW(wnd, kMsgFront, 0, 0) == 1 ? 0 : 1;
    }
    if (mode == L"--activate" && argc == 3) {
        HWND wnd = Find(argv[2]);
        return wnd && SetForegroundWindow(wnd) && GetForegroundWindow() == wnd ? 0 : 1;
    }
    if (mode == L"--place" && argc == 7) {
        HWND wnd = Find(argv[2]);
        if (!wnd) return 1;
        const int l = _wtoi(argv[3]), t = _wtoi(argv[4]), w = _wtoi(argv[5]), h = _wtoi(argv[6]);
        if (!SetWindowPos(wnd, nullptr, l, t, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS)) return 1;
        for (int i = 0; i < 100; ++i) {
            RECT r;
            // A maximized window is put back to its monitor's size by the window manager: the
            // corner tells that it arrived.
            if (GetWindowRect(wnd, &r) && (IsZoomed(wnd) ? MonitorFromWindow(wnd, MONITOR_DEFAULTTONULL) ==
                                                                MonitorFromPoint(POINT{l + w / 2, t + h / 2}, MONITOR_DEFAULTTONEAREST)
                                                          : (r.left == l && r.top == t)))
                return 0;
            Sleep(20);
        }
        return 1;
    }
    if (mode == L"--restore" && argc == 3) {
        HWND wnd = Find(argv[2]);
        return wnd && SendMessageW(wnd, kMsgRestore, 0, 0) == 1 ? 0 : 1;
    }
    if (mode == L"--watch" && argc == 4) return Watch(argv[2], argv[3]);
    if (mode == L"--hang" && (argc == 3 || argc == 4)) {
        HWND wnd = Find(argv[2]);
        const int secs = argc == 4 ? _wtoi(argv[3]) : 600;
        // The event exists before the post, so that a --wake right after it is not lost.
        HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, WakeEventName(argv[2]).c_str());
        const bool ok = wnd && secs > 0 && PostMessageW(wnd, kMsgHang, static_cast<WPARAM>(secs), 0);
        // Hold the event until the window's thread has it open (it no longer answers then).
        for (int i = 0; ok && i < 100; ++i) {
            DWORD_PTR answer = 0;
            if (!SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_NORMAL, 50, &answer)) break;
        }
        if (wake) CloseHandle(wake);
        return ok ? 0 : 1;
    }
    if (mode == L"--wake" && argc == 3) {
        HANDLE wake = OpenEventW(EVENT_MODIFY_STATE, FALSE, WakeEventName(argv[2]).c_str());
        if (!wake) return 1;
        const bool ok = SetEvent(wake) != FALSE;
        CloseHandle(wake);
        return ok ? 0 : 1;
    }
    if (mode == L"--tray-keep" && argc == 3) {
        HWND wnd = CreateWindowExW(0, L"STATIC", L"tray-once", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        NOTIFYICONDATAW nid{};
        nid.cbSize = sizeof nid;
        nid.hWnd = wnd;
        nid.uFlags = NIF_ICON;
        nid.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
        const bool added = wnd && Shell_NotifyIconW(NIM_ADD, &nid);
        std::printf(added ? "ready\n" : "refused\n");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(_wtoi(argv[2])) * 1000);
        if (added) Shell_NotifyIconW(NIM_DELETE, &nid);
        if (wnd) DestroyWindow(wnd);
        return added ? 0 : 1;
    }
    if (mode == L"--hold-hotkey" && argc == 5) {
        // For a window, as a program holds its hotkeys (Wine checks a thread's registrations
        // without a window against those of windows only one way).
        HWND holder = CreateWindowExW(0, L"STATIC", L"hold-hotkey", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        if (!holder || !RegisterHotKey(holder, 1, static_cast<UINT>(_wtoi(argv[2])), static_cast<UINT>(_wtoi(argv[3])))) {
            std::printf("refused %lu\n", GetLastError());
            return 1;
        }
        std::printf("ready\n");
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(_wtoi(argv[4])) * 1000);
        return 0;
    }
    if (mode == L"--pid-of-class" && argc == 3) {
        ClassSearch search = ByClass(argv[2]);
        DWORD pid = 0;
        if (search.count > 0) GetWindowThreadProcessId(search.windows[0], &pid);
        std::printf("%lu\n", pid);
        return pid ? 0 : 1;
    }
    if (mode == L"--close" && argc == 3) return Close(Find(argv[2]));
    if (mode == L"--count-class" && argc == 3) {
        std::printf("%d\n", ByClass(argv[2]).count);
        return 0;
    }
    if (mode == L"--close-class" && argc == 3) {
        ClassSearch search = ByClass(argv[2]);
        int failed = 0;
        for (int i = 0; i < search.count; ++i) failed += Close(search.windows[i]);
        return failed == 0 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: testwin --open TITLE L T W H normal|max|min | --query TITLE | "
                         "--front TITLE | --activate TITLE | --place TITLE L T W H | --restore TITLE | --close TITLE | --count-class CLASS | "
                         "--close-class CLASS | --pid-of-class CLASS | --watch TITLE FILE | --hang TITLE [SECS] | "
                         "--wake TITLE | --hold-hotkey MODS VK SECS | --tray-keep SECS\n");
    return 2;
}
