// Looks at a program's windows from outside, as a user's tools would, for the end-to-end tests.
//
//   uiprobe --list CLASS          the first top-level window of that class, then every descendant:
//                                 "WINDOW style=HEX ex=HEX classstyle=HEX visible=V rect=l,t,r,b client=w,h
//                                  clientat=x,y dpi=D text=T"
//                                 "CHILD class=C kind=D style=HEX visible=V enabled=E check=K rect=l,t,r,b text=T"
//                                 (D: push, check, radio, group, owner (owner-drawn), buttonN (another
//                                 button type N), memo (multi-line edit), edit, or -; rect and clientat
//                                 in screen pixels; K: BM_GETCHECK of a button, else
//                                 -1; text with CR LF written as \r\n); a tab control or list box is
//                                 followed by "ITEMS count=N sel=S" and "ITEM i T" for its first 250
//                                 tabs or rows
//   uiprobe --center CLASS TEXT   "x y": screen centre of the visible child with that exact text
//   uiprobe --tab-center CLASS TAB
//                                 "x y": screen centre of the tab with that exact text on a shown
//                                 tab control
//   uiprobe --press CLASS TEXT    clicks that visible child with BM_CLICK (no mouse)
//   uiprobe --fg                  "FG class=C title=T exe=E" of the foreground window
//   uiprobe --active CLASS        "ACTIVE class=C" of the active window of the thread that owns the
//                                 first top-level window of that class ("ACTIVE none": no active one)
//   uiprobe --wait CLASS SECONDS  prints "WAITING", waits until a visible top-level window of that
//                                 class exists, then prints "VISIBLE at=MS" (Unix time in ms when it
//                                 was first seen)
//   uiprobe --rect CLASS          "l t r b" of the first visible top-level window of that class
//   uiprobe --rects CLASS         "l t r b" of every visible top-level window of that class, top first
//   uiprobe --close CLASS         sends WM_CLOSE to the first top-level window of that class
//   uiprobe --fit CLASS           whether the texts of its labels and buttons fit them, measured in
//                                 the program's font (Tahoma 8 pt at the window's dpi): "FIT n
//                                 face=F" for the n controls measured in the face F found, then
//                                 "CLIPPED class=C need=WxH have=WxH text=T" for each whose text is
//                                 cut; labels that end in an ellipsis by design are left out
// The probe is dpi-aware, so every rectangle is in physical pixels at any scaling.
// Exit code 0 on success, 1 when a window is not found or a call fails.
#include <windows.h>

#include "ProcessName.h"

#include <commctrl.h>

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

// WM_GETTEXT, not GetWindowText: of another process's window that only reads the caption, and an
// edit control keeps its text apart from it.
std::wstring Text(HWND wnd) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) return L"?";
    std::wstring t(static_cast<size_t>(len) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(wnd, WM_GETTEXT, t.size(), reinterpret_cast<LPARAM>(t.data()), SMTO_ABORTIFHUNG, 2000,
                             &got))
        return L"?";
    t.resize(static_cast<size_t>(got));
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

UINT WindowDpi(HWND wnd) {
    using GetDpi = UINT(WINAPI*)(HWND);
    const auto get = reinterpret_cast<GetDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return get ? get(wnd) : 96;
}

// The platform does not carry a tab control's item across processes: the item and its text buffer
// live in the control's own process for the call.
std::wstring TabText(HWND tab, int index) {
    DWORD pid = 0;
    GetWindowThreadProcessId(tab, &pid);
    HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!proc) return L"?";
    constexpr int kChars = 256;
    const SIZE_T size = sizeof(TCITEMW) + kChars * sizeof(wchar_t);
    auto* remote = static_cast<char*>(VirtualAllocEx(proc, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    std::wstring text = L"?";
    if (remote) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(TCITEMW));
        item.cchTextMax = kChars;
        wchar_t buf[kChars] = L"";
        SIZE_T done = 0;
        if (WriteProcessMemory(proc, remote, &item, sizeof item, &done) &&
            SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote)) &&
            ReadProcessMemory(proc, remote + sizeof(TCITEMW), buf, sizeof buf, &done)) {
            buf[kChars - 1] = L'\0';
            text = buf;
        }
        VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
    }
    CloseHandle(proc);
    return text;
}

// Screen centre of the tab with that text of a shown tab control, like TabText through the
// control's process.
bool TabCenter(HWND top, const std::wstring& text, POINT& at) {
    for (HWND ch : Children(top)) {
        wchar_t cls[256] = L"";
        GetClassNameW(ch, cls, 256);
        if (std::wcscmp(cls, WC_TABCONTROLW) != 0 || !IsWindowVisible(ch)) continue;
        const LRESULT count = SendMessageW(ch, TCM_GETITEMCOUNT, 0, 0);
        for (int i = 0; i < count; ++i) {
            if (TabText(ch, i) != text) continue;
            DWORD pid = 0;
            GetWindowThreadProcessId(ch, &pid);
            HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, pid);
            if (!proc) return false;
            void* remote = VirtualAllocEx(proc, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
            RECT r{};
            SIZE_T done = 0;
            const bool ok = remote && SendMessageW(ch, TCM_GETITEMRECT, static_cast<WPARAM>(i),
                                                   reinterpret_cast<LPARAM>(remote)) &&
                            ReadProcessMemory(proc, remote, &r, sizeof r, &done);
            if (remote) VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
            CloseHandle(proc);
            if (!ok) return false;
            at = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            ClientToScreen(ch, &at);
            return true;
        }
    }
    return false;
}

// What a control is to the user, from its class and style.
std::string Kind(const wchar_t* cls, LONG style) {
    if (_wcsicmp(cls, L"Button") == 0) {
        switch (style & BS_TYPEMASK) {
            case BS_PUSHBUTTON:
            case BS_DEFPUSHBUTTON: return "push";
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX: return "check";
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON: return "radio";
            case BS_GROUPBOX: return "group";
            case BS_OWNERDRAW: return "owner";
            default: return "button" + std::to_string(style & BS_TYPEMASK);
        }
    }
    if (_wcsicmp(cls, L"Static") == 0) return (style & SS_TYPEMASK) == SS_OWNERDRAW ? "owner" : "-";
    if (_wcsicmp(cls, L"Edit") == 0) return (style & ES_MULTILINE) != 0 ? "memo" : "edit";
    return "-";
}

// Tabs and rows are not window text: without them a tab control or list box would show nothing.
void Items(HWND ch, const wchar_t* cls) {
    const bool tabs = std::wcscmp(cls, WC_TABCONTROLW) == 0;
    if (!tabs && _wcsicmp(cls, L"ListBox") != 0) return;
    const LRESULT count = SendMessageW(ch, tabs ? TCM_GETITEMCOUNT : LB_GETCOUNT, 0, 0);
    const LRESULT sel = SendMessageW(ch, tabs ? TCM_GETCURSEL : LB_GETCURSEL, 0, 0);
    std::printf("ITEMS count=%ld sel=%ld\n", static_cast<long>(count), static_cast<long>(sel));
    for (LRESULT i = 0; i < count && i < 250; ++i) {
        std::wstring item;
        if (tabs) {
            item = TabText(ch, static_cast<int>(i));
        } else {
            const LRESULT n = SendMessageW(ch, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
            if (n > 0) {
                item.assign(static_cast<size_t>(n) + 1, L'\0');
                item.resize(static_cast<size_t>(
                    SendMessageW(ch, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()))));
            }
        }
        std::printf("ITEM %ld ", static_cast<long>(i));
        PrintUtf8(item);
        std::printf("\n");
    }
}

int List(const wchar_t* cls) {
    HWND top = Top(cls);
    if (!top) return 1;
    RECT r{}, c{};
    GetWindowRect(top, &r);
    GetClientRect(top, &c);
    POINT origin{0, 0};
    ClientToScreen(top, &origin);
    std::printf("WINDOW style=%08lX ex=%08lX classstyle=%08lX visible=%d rect=%ld,%ld,%ld,%ld client=%ld,%ld "
                "clientat=%ld,%ld dpi=%u text=",
                static_cast<unsigned long>(GetWindowLongW(top, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(top, GWL_EXSTYLE)),
                static_cast<unsigned long>(GetClassLongPtrW(top, GCL_STYLE)), IsWindowVisible(top) ? 1 : 0,
                r.left, r.top, r.right, r.bottom, c.right, c.bottom, origin.x, origin.y, WindowDpi(top));
    PrintUtf8(Text(top));
    std::printf("\n");
    for (HWND ch : Children(top)) {
        wchar_t chCls[256] = L"";
        GetClassNameW(ch, chCls, 256);
        GetWindowRect(ch, &r);
        std::printf("CHILD class=");
        PrintUtf8(chCls);
        std::printf(" kind=%s", Kind(chCls, GetWindowLongW(ch, GWL_STYLE)).c_str());
        // A button's check state; -1 for other classes (the message means something else to them).
        const long check =
            _wcsicmp(chCls, L"Button") == 0 ? static_cast<long>(SendMessageW(ch, BM_GETCHECK, 0, 0)) : -1;
        std::printf(" style=%08lX visible=%d enabled=%d check=%ld rect=%ld,%ld,%ld,%ld text=",
                    static_cast<unsigned long>(GetWindowLongW(ch, GWL_STYLE)), IsWindowVisible(ch) ? 1 : 0,
                    IsWindowEnabled(ch) ? 1 : 0, check, r.left, r.top, r.right, r.bottom);
        PrintUtf8(Text(ch));
        std::printf("\n");
        Items(ch, chCls);
    }
    return 0;
}

// What a control needs around its text, from the platform's drawing of buttons: the frame of a
// push button, the box and gap of a check box or radio button, the gap and line of a group box.
int Fit(const wchar_t* cls) {
    HWND top = Top(cls);
    if (!top) return 1;
    const int dpi = static_cast<int>(WindowDpi(top));
    HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             L"Tahoma");
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    auto px = [dpi](int v96) { return MulDiv(v96, dpi, 96); };
    int measured = 0;
    std::string clipped;
    for (HWND ch : Children(top)) {
        wchar_t chCls[256] = L"";
        GetClassNameW(ch, chCls, 256);
        const LONG style = GetWindowLongW(ch, GWL_STYLE);
        std::wstring text;
        {
            DWORD_PTR len = 0, got = 0;
            if (!SendMessageTimeoutW(ch, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len) || len == 0) continue;
            text.assign(static_cast<size_t>(len) + 1, L'\0');
            SendMessageTimeoutW(ch, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                                2000, &got);
            text.resize(static_cast<size_t>(got));
        }
        RECT have{};
        GetClientRect(ch, &have);
        int extraW = 0, extraH = 0;
        UINT format = DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE;
        if (_wcsicmp(chCls, L"Static") == 0) {
            const LONG type = style & SS_TYPEMASK;
            if ((style & SS_ENDELLIPSIS) != 0 || (type != SS_LEFT && type != SS_LEFTNOWORDWRAP)) continue;
            if (type == SS_LEFT) format = DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK;
        } else if (_wcsicmp(chCls, L"Button") == 0) {
            switch (style & BS_TYPEMASK) {
                case BS_PUSHBUTTON:
                case BS_DEFPUSHBUTTON:
                    extraW = px(6);
                    extraH = px(4);
                    break;
                case BS_CHECKBOX:
                case BS_AUTOCHECKBOX:
                case BS_RADIOBUTTON:
                case BS_AUTORADIOBUTTON:
                    extraW = px(13 + 4);
                    break;
                case BS_GROUPBOX:
                    extraW = px(8 + 4);
                    break;
                default:
                    continue;
            }
        } else {
            continue;
        }
        RECT need{0, 0, have.right - extraW, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, format);
        ++measured;
        const long needW = need.right + extraW, needH = need.bottom + extraH;
        if (needW > have.right || needH > have.bottom) {
            char line[128];
            std::snprintf(line, sizeof line, "CLIPPED class=%ls need=%ldx%ld have=%ldx%ld text=", chCls, needW, needH,
                          have.right, have.bottom);
            clipped += line;
            const std::wstring shown = Text(ch);
            const int n = WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()), nullptr, 0,
                                              nullptr, nullptr);
            std::string utf8(static_cast<size_t>(n), '\0');
            WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), static_cast<int>(shown.size()), utf8.data(), n, nullptr,
                                nullptr);
            clipped += utf8 + "\n";
        }
    }
    wchar_t face[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
    std::printf("FIT %d face=%ls\n%s", measured, face, clipped.c_str());
    return 0;
}

void PrintClass(HWND wnd) {
    wchar_t cls[256] = L"";
    GetClassNameW(wnd, cls, 256);
    PrintUtf8(cls);
}

int Active(const wchar_t* cls) {
    HWND top = Top(cls);
    if (!top) return 1;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) return 1;
    if (!info.hwndActive) {
        std::printf("ACTIVE none\n");
        return 0;
    }
    std::printf("ACTIVE class=");
    PrintClass(info.hwndActive);
    std::printf("\n");
    return 0;
}

long long UnixMs() {
    FILETIME ft{};
    GetSystemTimeAsFileTime(&ft);
    const unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<long long>(t / 10000ULL - 11644473600000ULL);
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

// Every open popup menu, top first: "MENU l t r b", then per item "MITEM i l t r b flags=F text=T"
// (F: sep, popup, checked, grayed joined by "," or "-"; T as shown, without its "&"). The menu's
// handle is only good in its own process: menuhook.dll, beside the probe, reads it there.
int Menus() {
    wchar_t dll[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, dll, MAX_PATH);
    if (wchar_t* slash = std::wcsrchr(dll, L'\\')) std::wcscpy(slash + 1, L"menuhook.dll");
    HMODULE mod = LoadLibraryW(dll);
    const auto proc = mod ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(mod, "MenuHook"))) : nullptr;
    HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 32768 * sizeof(wchar_t),
                                    L"Local\\uiprobe-menus");
    auto* page = map ? static_cast<wchar_t*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
    if (!proc || !page) {
        std::fprintf(stderr, "uiprobe: menuhook.dll or the shared page missing\n");
        return 1;
    }
    const UINT ask = RegisterWindowMessageW(L"uiprobe.menus");
    int rc = 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        wchar_t cls[256] = {};
        RECT r{};
        if (!IsWindowVisible(w) || !GetClassNameW(w, cls, 256) || std::wcscmp(cls, L"#32768") != 0 ||
            !GetWindowRect(w, &r))
            continue;
        std::printf("MENU %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        page[0] = L'\0';
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, proc, mod, GetWindowThreadProcessId(w, nullptr));
        DWORD_PTR ignored = 0;
        if (!hook || !SendMessageTimeoutW(w, ask, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored) || page[0] == L'\0')
            rc = 1;
        if (hook) UnhookWindowsHookEx(hook);
        PrintUtf8(page);
    }
    UnmapViewOfFile(page);
    CloseHandle(map);
    return rc;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Rectangles in physical pixels also when the desktop is scaled.
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) SetProcessDPIAware();

    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"--list" && argc == 3) return List(argv[2]);
    if (mode == L"--fg" && argc == 2) return Fg();
    if (mode == L"--active" && argc == 3) return Active(argv[2]);
    if (mode == L"--fit" && argc == 3) return Fit(argv[2]);
    if (mode == L"--menus" && argc == 2) return Menus();
    if (mode == L"--rect" && argc == 3) {
        HWND top = Top(argv[2], true);
        RECT r{};
        if (!top || !GetWindowRect(top, &r)) return 1;
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
    }
    if (mode == L"--rects" && argc == 3) {
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            wchar_t cls[256] = {};
            RECT r{};
            if (!IsWindowVisible(w) || !GetClassNameW(w, cls, 256) || std::wstring(cls) != argv[2] ||
                !GetWindowRect(w, &r))
                continue;
            std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        }
        return 0;
    }
    if (mode == L"--center" && argc == 4) {
        HWND c = ChildWithText(Top(argv[2], true), argv[3]);
        if (!c) return 1;
        RECT r{};
        GetWindowRect(c, &r);
        std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return 0;
    }
    if (mode == L"--tab-center" && argc == 4) {
        POINT at{};
        HWND top = Top(argv[2], true);
        if (!top || !TabCenter(top, argv[3], at)) return 1;
        std::printf("%ld %ld\n", at.x, at.y);
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
        std::printf("WAITING\n");
        std::fflush(stdout);
        for (int waited = 0; waited <= ms; waited += 100) {
            if (Top(argv[2], true)) {
                std::printf("VISIBLE at=%lld\n", UnixMs());
                return 0;
            }
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
                 "--tab-center CLASS TAB | --fg | --active CLASS | --wait CLASS SECONDS | --rect CLASS | "
                 "--rects CLASS | --close CLASS | --fit CLASS\n");
    return 1;
}
