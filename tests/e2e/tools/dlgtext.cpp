// Finds a message box of a given program and reads it, for the end-to-end tests.
//
//   dlgtext --read-and-close EXE SECS   waits up to SECS for a visible dialog (class "#32770") of a
//                                       process whose executable is EXE, prints its caption and
//                                       text, then presses its OK button
//   dlgtext --count EXE                 number of visible dialogs of EXE right now
// Output: "caption: ..." and "text: ..." with CR and LF written as \r and \n, UTF-8.
// Exit code 0 when a dialog was found (and closed), 1 otherwise.
#include <windows.h>

#include "ProcessName.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::wstring ExeOf(HWND wnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wnd, &pid);
    return ExeOfProcess(pid, L"");
}

struct Search {
    const wchar_t* exe;
    int count;
    HWND first;
};

BOOL CALLBACK MatchDialog(HWND wnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t cls[64];
    if (!IsWindowVisible(wnd) || !GetClassNameW(wnd, cls, 64) || std::wcscmp(cls, L"#32770") != 0)
        return TRUE;
    if (_wcsicmp(ExeOf(wnd).c_str(), search->exe) != 0) return TRUE;
    if (search->count++ == 0) search->first = wnd;
    return TRUE;
}

Search Dialogs(const wchar_t* exe) {
    Search search{exe, 0, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search;
}

std::wstring TextOf(HWND wnd) {
    const int length = GetWindowTextLengthW(wnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(wnd, text.data(), length + 1)));
    return text;
}

void Print(const char* label, const std::wstring& text) {
    std::wstring escaped;
    for (wchar_t c : text) {
        if (c == L'\r') escaped += L"\\r";
        else if (c == L'\n') escaped += L"\\n";
        else escaped += c;
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, escaped.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    std::printf("%s: %s\n", label, utf8.c_str());
}

int ReadAndClose(const wchar_t* exe, int secs) {
    HWND dialog = nullptr;
    for (int i = 0; i < secs * 20 && !dialog; ++i) {
        dialog = Dialogs(exe).first;
        if (!dialog) Sleep(50);
    }
    if (!dialog) {
        std::printf("no dialog\n");
        return 1;
    }
    Sleep(100);  // let the box finish laying out its controls
    Print("caption", TextOf(dialog));
    // The message text is the one static control with text; the icon's static has none.
    HWND ok = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[64];
        if (!GetClassNameW(child, cls, 64)) continue;
        const std::wstring text = TextOf(child);
        if (_wcsicmp(cls, L"Static") == 0 && !text.empty()) Print("text", text);
        if (_wcsicmp(cls, L"Button") == 0) {
            Print("button", text);
            if (!ok) ok = child;
        }
    }
    std::fflush(stdout);
    if (ok) SendMessageW(ok, BM_CLICK, 0, 0);
    for (int i = 0; i < 40 && IsWindow(dialog); ++i) Sleep(50);
    if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 40 && IsWindow(dialog); ++i) Sleep(50);
    if (IsWindow(dialog)) PostMessageW(dialog, WM_CLOSE, 0, 0);
    for (int i = 0; i < 40 && IsWindow(dialog); ++i) Sleep(50);
    return IsWindow(dialog) ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"--read-and-close" && argc == 4) return ReadAndClose(argv[2], _wtoi(argv[3]));
    if (mode == L"--count" && argc == 3) {
        std::printf("%d\n", Dialogs(argv[2]).count);
        return 0;
    }
    std::fprintf(stderr, "usage: dlgtext --read-and-close EXE SECS | --count EXE\n");
    return 2;
}
