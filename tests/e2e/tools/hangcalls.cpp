// Measures which window-system calls wait for the thread of another program's window: each call
// runs on a thread of its own and is timed; one that has not returned after the limit is reported
// as blocked and left behind (the process ends without waiting for it).
//
//   hangcalls TITLE [LIMIT_MS [ONLY]]
//                                one line per call against the test window with that title:
//                                "CALL name ms=N ok=R err=E" or "CALL name blocked>LIMIT"; with ONLY
//                                just the calls whose name contains that text
//   hangcalls --probe TITLE      only the two bounded questions (SendMessageTimeout with
//                                SMTO_ABORTIFHUNG, IsHungAppWindow), timed
// Exit code 0 when the window was found.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>

namespace {

const wchar_t kClass[] = L"TessaryE2ETestWin";
HWND g_target = nullptr;
DWORD g_limit = 3000;
std::string g_only;

struct Outcome {
    long long ok = 0;
    DWORD err = 0;
};

struct Job {
    std::function<Outcome()> call;
    Outcome out;
};

DWORD WINAPI RunJob(LPVOID p) {
    auto* job = static_cast<Job*>(p);
    SetLastError(0);
    job->out = job->call();
    return 0;
}

// Runs call on a new thread and reports how long it took, or that it did not come back.
void Measure(const char* name, std::function<Outcome()> call) {
    if (!g_only.empty() && std::string(name).find(g_only) == std::string::npos) return;
    auto* job = new Job{std::move(call), {}};  // leaked when the call never returns
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    HANDLE thread = CreateThread(nullptr, 0, RunJob, job, 0, nullptr);
    if (!thread) {
        std::printf("CALL %s no-thread\n", name);
        return;
    }
    const DWORD waited = WaitForSingleObject(thread, g_limit);
    QueryPerformanceCounter(&t1);
    if (waited == WAIT_TIMEOUT) {
        std::printf("CALL %s blocked>%lu\n", name, static_cast<unsigned long>(g_limit));
    } else {
        const long long ms = (t1.QuadPart - t0.QuadPart) * 1000 / f.QuadPart;
        std::printf("CALL %s ms=%lld ok=%lld err=%lu\n", name, ms, job->out.ok, static_cast<unsigned long>(job->out.err));
        delete job;
    }
    std::fflush(stdout);
    CloseHandle(thread);
}

Outcome Result(long long ok) { return Outcome{ok, GetLastError()}; }

// A window of the calling thread, for the calls that put one of our own windows in front.
HWND OwnWindow() {
    static const wchar_t cls[] = L"TessaryHangCallsOwn";
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    RegisterClassW(&wc);  // fails harmlessly the second time
    HWND own = CreateWindowExW(0, cls, L"hangcalls", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    return own;
}

void Probe() {
    Measure("SendMessageTimeoutW(WM_NULL,SMTO_ABORTIFHUNG,1000)", [] {
        DWORD_PTR r = 0;
        return Result(SendMessageTimeoutW(g_target, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &r) != 0);
    });
    Measure("IsHungAppWindow", [] { return Result(IsHungAppWindow(g_target) != FALSE); });
}

void All() {
    RECT r{};
    GetWindowRect(g_target, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    Probe();
    Measure("SendMessageTimeoutW(WM_NULL,SMTO_NORMAL,1000)", [] {
        DWORD_PTR a = 0;
        return Result(SendMessageTimeoutW(g_target, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &a) != 0);
    });
    Measure("SendMessageTimeoutW(WM_GETICON,ICON_SMALL,SMTO_ABORTIFHUNG,1000)", [] {
        DWORD_PTR a = 0;
        return Result(SendMessageTimeoutW(g_target, WM_GETICON, ICON_SMALL, 0, SMTO_ABORTIFHUNG, 1000, &a) != 0);
    });
    Measure("GetWindowTextLengthW", [] { return Result(GetWindowTextLengthW(g_target)); });
    Measure("GetWindowTextW", [] {
        wchar_t t[256];
        return Result(GetWindowTextW(g_target, t, 256));
    });
    Measure("GetClassLongPtrW(GCLP_HICONSM)", [] { return Result(GetClassLongPtrW(g_target, GCLP_HICONSM) != 0); });
    Measure("GetWindowRect", [] {
        RECT q;
        return Result(GetWindowRect(g_target, &q));
    });
    Measure("IsIconic/IsZoomed", [] { return Result(IsIconic(g_target) + 2 * IsZoomed(g_target)); });
    Measure("MonitorFromWindow", [] { return Result(MonitorFromWindow(g_target, MONITOR_DEFAULTTONEAREST) != nullptr); });
    Measure("PostMessageW(WM_NULL)", [] { return Result(PostMessageW(g_target, WM_NULL, 0, 0)); });
    Measure("AttachThreadInput(attach,detach)", [] {
        const DWORD target = GetWindowThreadProcessId(g_target, nullptr);
        const BOOL a = AttachThreadInput(target, GetCurrentThreadId(), TRUE);
        const DWORD err = GetLastError();
        const BOOL d = a ? AttachThreadInput(target, GetCurrentThreadId(), FALSE) : TRUE;
        return Outcome{a && d, err};
    });
    Measure("SetWindowPos(0x41C|SWP_ASYNCWINDOWPOS)", [=] {
        return Result(SetWindowPos(g_target, nullptr, r.left + 10, r.top, w, h, 0x41C | SWP_ASYNCWINDOWPOS));
    });
    Measure("RedrawWindow(RDW_INVALIDATE|RDW_ALLCHILDREN)", [] {
        return Result(RedrawWindow(g_target, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN));
    });
    Measure("RedrawWindow(0x181)", [] { return Result(RedrawWindow(g_target, nullptr, nullptr, 0x181)); });
    Measure("SetWindowPos(0x41C)", [=] { return Result(SetWindowPos(g_target, nullptr, r.left + 20, r.top, w, h, 0x41C)); });
    Measure("SetWindowPos(0x41E)", [=] { return Result(SetWindowPos(g_target, nullptr, r.left + 20, r.top, w, h, 0x41E)); });
    Measure("SetWindowPos(HWND_TOP,0x23)", [] { return Result(SetWindowPos(g_target, HWND_TOP, 0, 0, 0, 0, 0x23)); });
    Measure("BringWindowToTop", [] { return Result(BringWindowToTop(g_target)); });
    Measure("ShowWindow(SW_SHOWNA)", [] { return Result(ShowWindow(g_target, SW_SHOWNA)); });
    // The foreground calls, each starting with the hung window in front (SetForegroundWindow on it
    // returns at once, measured first) or, where said, with a window of ours in front.
    Measure("SetForegroundWindow(hung)", [] { return Result(SetForegroundWindow(g_target)); });
    Measure("SetForegroundWindow(own) while the hung window is in front", [] {
        SetForegroundWindow(g_target);
        HWND own = OwnWindow();
        SetForegroundWindow(g_target);
        const bool hungInFront = GetForegroundWindow() == g_target;
        return Outcome{hungInFront ? (SetForegroundWindow(own) && GetForegroundWindow() == own) : -1, GetLastError()};
    });
    Measure("AttachThreadInput(hung)+BringWindowToTop(own)+SetForegroundWindow(own)", [] {
        HWND own = OwnWindow();
        SetForegroundWindow(g_target);
        if (GetForegroundWindow() != g_target) return Outcome{-1, 0};
        const DWORD target = GetWindowThreadProcessId(g_target, nullptr);
        AttachThreadInput(target, GetCurrentThreadId(), TRUE);
        BringWindowToTop(own);
        const bool ok = SetForegroundWindow(own) && GetForegroundWindow() == own;
        const DWORD err = GetLastError();
        AttachThreadInput(target, GetCurrentThreadId(), FALSE);
        return Outcome{ok, err};
    });
    Measure("SetForegroundWindow(hung) while a window of ours is in front", [] {
        HWND own = OwnWindow();
        SetForegroundWindow(own);
        if (GetForegroundWindow() != own) return Outcome{-1, 0};
        return Outcome{SetForegroundWindow(g_target) && GetForegroundWindow() == g_target, GetLastError()};
    });
    Measure("AttachThreadInput(hung)+BringWindowToTop(own)", [] {
        HWND own = OwnWindow();
        SetForegroundWindow(g_target);
        if (GetForegroundWindow() != g_target) return Outcome{-1, 0};
        const DWORD target = GetWindowThreadProcessId(g_target, nullptr);
        AttachThreadInput(target, GetCurrentThreadId(), TRUE);
        const Outcome o = Result(BringWindowToTop(own));
        AttachThreadInput(target, GetCurrentThreadId(), FALSE);
        return o;
    });
    Measure("AttachThreadInput(hung)+SetForegroundWindow(own)", [] {
        HWND own = OwnWindow();
        SetForegroundWindow(g_target);
        if (GetForegroundWindow() != g_target) return Outcome{-1, 0};
        const DWORD target = GetWindowThreadProcessId(g_target, nullptr);
        AttachThreadInput(target, GetCurrentThreadId(), TRUE);
        const Outcome o = Result(SetForegroundWindow(own) && GetForegroundWindow() == own);
        AttachThreadInput(target, GetCurrentThreadId(), FALSE);
        return o;
    });
    Measure("AttachThreadInput(hung)+SetFocus(hung)", [] {
        SetForegroundWindow(g_target);
        const DWORD target = GetWindowThreadProcessId(g_target, nullptr);
        AttachThreadInput(target, GetCurrentThreadId(), TRUE);
        const Outcome o = Result(SetFocus(g_target) != nullptr);
        AttachThreadInput(target, GetCurrentThreadId(), FALSE);
        return o;
    });
    Measure("SendMessageW(WM_NULL)", [] { return Result(SendMessageW(g_target, WM_NULL, 0, 0) == 0); });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool probeOnly = argc == 3 && std::wstring(argv[1]) == L"--probe";
    const wchar_t* title = probeOnly ? argv[2] : (argc >= 2 ? argv[1] : nullptr);
    if (!title || (!probeOnly && argc > 4)) {
        std::fprintf(stderr, "usage: hangcalls TITLE [LIMIT_MS [ONLY]] | --probe TITLE\n");
        return 2;
    }
    if (!probeOnly && argc >= 3) g_limit = static_cast<DWORD>(_wtoi(argv[2]));
    if (!probeOnly && argc == 4) {
        char only[256] = "";
        WideCharToMultiByte(CP_UTF8, 0, argv[3], -1, only, sizeof only, nullptr, nullptr);
        g_only = only;
    }
    g_target = FindWindowW(kClass, title);
    if (!g_target) {
        std::printf("no window\n");
        return 1;
    }
    if (probeOnly)
        Probe();
    else
        All();
    std::fflush(stdout);
    // Threads still blocked in a call must not keep the process alive.
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}
