// Looks at a program's windows from outside, as a user's tools would, for the end-to-end tests.
//
//   uiprobe --list CLASS          the first top-level window of that class, then every descendant:
//                                 "WINDOW style=HEX ex=HEX classstyle=HEX visible=V rect=l,t,r,b client=w,h"
//                                 "CHILD class=C visible=V enabled=E rect=l,t,r,b text=T"
//                                 (rect in screen pixels; text with CR LF written as \r\n)
//   uiprobe --center CLASS TEXT   "x y": screen centre of the visible child with that exact text
//   uiprobe --press CLASS TEXT    clicks that visible child with BM_CLICK (no mouse)
//   uiprobe --fg                  "FG class=C title=T exe=E" of the foreground window
//   uiprobe --wait CLASS SECONDS  waits until a visible top-level window of that class exists
//   uiprobe --close CLASS         sends WM_CLOSE to the first top-level window of that class
// Exit code 0 on success, 1 when a window is not found or a call fails.
#include <windows.h>

#include "ProcessName.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Found {
    const wchar_t* cls;
    HWND wnd;
    bool visibleOnly;
};

BOOL CALLBACK FindTop(HWND wnd, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    wchar_t cls[256];
    if (GetClassNameW(wnd, cls, 256) > 0 && std::wcscmp(cls, f->cls) == 0 &&
        (!f->visibleOnly || IsWindowVisible(wnd))) {
        f->wnd = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND Top(const wchar_t* cls, bool visibleOnly = false) {
    Found f{cls, nullptr, visibleOnly};
    EnumWindows(FindTop, reinterpret_cast<LPARAM>(&f));
    return f.wnd;
}

std::wstring Text(HWND wnd) {
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(wnd)) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(wnd, t.data(), static_cast<int>(t.size()))));
    std::wstring out;
    for (wchar_t c : t) {
        if (c == L'\r') out += L"\\r";
        else if (c == L'\n') out += L"\\n";
        else out += c;
    }
    return out;
}

BOOL CALLBACK Collect(HWND wnd, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(wnd);
    return TRUE;
}

std::vector<HWND> Children(HWND top) {
    std::vector<HWND> all;
    EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND ChildWithText(HWND top, const std::wstring& text) {
    for (HWND c : Children(top))
        if (IsWindowVisible(c) && Text(c) == text) return c;
    return nullptr;
}

void PrintUtf8(const std::wstring& s) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    std::fwrite(out.data(), 1, out.size(), stdout);
}

int List(const wchar_t* cls) {
    HWND top = Top(cls);
    if (!top) return 1;
    RECT r{}, c{};
    GetWindowRect(top, &r);
    GetClientRect(top, &c);
    std::printf("WINDOW style=%08lX ex=%08lX classstyle=%08lX visible=%d rect=%ld,%ld,%ld,%ld client=%ld,%ld\n",
                static_cast<unsigned long>(GetWindowLongW(top, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(top, GWL_EXSTYLE)),
                static_cast<unsigned long>(GetClassLongPtrW(top, GCL_STYLE)), IsWindowVisible(top) ? 1 : 0,
                r.left, r.top, r.right, r.bottom, c.right, c.bottom);
    for (HWND ch : Children(top)) {
        wchar_t chCls[256] = L"";
        GetClassNameW(ch, chCls, 256);
        GetWindowRect(ch, &r);
        std::printf("CHILD class=");
        PrintUtf8(chCls);
        std::printf(" visible=%d enabled=%d rect=%ld,%ld,%ld,%ld text=", IsWindowVisible(ch) ? 1 : 0,
                    IsWindowEnabled(ch) ? 1 : 0, r.left, r.top, r.right, r.bottom);
        PrintUtf8(Text(ch));
        std::printf("\n");
    }
    return 0;
}

int Fg() {
    HWND fg = GetForegroundWindow();
    if (!fg) {
        std::printf("FG none\n");
        return 0;
    }
    wchar_t cls[256] = L"";
    GetClassNameW(fg, cls, 256);
    DWORD pid = 0;
    GetWindowThreadProcessId(fg, &pid);
    std::printf("FG class=");
    PrintUtf8(cls);
    std::printf(" title=");
    PrintUtf8(Text(fg));
    std::printf(" exe=");
    PrintUtf8(ExeOfProcess(pid, L"?"));
    std::printf("\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"--list" && argc == 3) return List(argv[2]);
    if (mode == L"--fg" && argc == 2) return Fg();
    if (mode == L"--center" && argc == 4) {
        HWND c = ChildWithText(Top(argv[2], true), argv[3]);
        if (!c) return 1;
        RECT r{};
        GetWindowRect(c, &r);
        std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    if (mode == L"--press" && argc == 4) {
        HWND c = ChildWithText(Top(argv[2], true), argv[3]);
        if (!c) return 1;
        SendMessageW(c, BM_CLICK, 0, 0);
        return 0;
    }
    if (mode == L"--wait" && argc == 4) {
        const int ms = _wtoi(argv[3]) * 1000;
        for (int waited = 0; waited <= ms; waited += 100) {
            if (Top(argv[2], true)) return 0;
            Sleep(100);
        }
        return 1;
    }
    if (mode == L"--close" && argc == 3) {
        HWND top = Top(argv[2]);
        if (!top) return 1;
        SendMessageW(top, WM_CLOSE, 0, 0);
        return 0;
    }
    std::fprintf(stderr,
                 "usage: uiprobe --list CLASS | --center CLASS TEXT | --press CLASS TEXT | "
                 "--fg | --wait CLASS SECONDS | --close CLASS\n");
    return 1;
}
