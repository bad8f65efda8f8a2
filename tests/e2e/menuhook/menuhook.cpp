// Loaded by uiprobe --menus into the thread that owns an open popup menu: a menu handle means
// nothing in another process under Wine, so the items are read here and handed back through a
// shared page ("Local\uiprobe-menus", UTF-16 lines as uiprobe prints them).
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Items(HWND wnd) {
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(wnd, MN_GETHMENU, 0, 0));
    const int count = menu ? GetMenuItemCount(menu) : -1;
    std::wstring out;
    wchar_t line[512];
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
        RECT r{};
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info) ||
            !GetMenuItemRect(wnd, menu, static_cast<UINT>(i), &r))
            return L"ERROR item " + std::to_wstring(i) + L"\n";
        std::wstring flags;
        auto add = [&flags](bool on, const wchar_t* f) {
            if (on) flags += (flags.empty() ? L"" : L",") + std::wstring(f);
        };
        add((info.fType & MFT_SEPARATOR) != 0, L"sep");
        add(info.hSubMenu != nullptr, L"popup");
        add((info.fState & MFS_CHECKED) != 0, L"checked");
        add((info.fState & MFS_DISABLED) != 0, L"grayed");
        wchar_t text[256] = L"";
        if (!(info.fType & MFT_SEPARATOR)) GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        // The text as shown: "&&" is one "&", a single "&" only underlines.
        std::wstring shown;
        for (const wchar_t* c = text; *c; ++c) {
            if (*c == L'&' && c[1] == L'&') ++c;
            else if (*c == L'&') continue;
            shown += *c;
        }
        std::swprintf(line, 512, L"MITEM %d %ld %ld %ld %ld flags=%ls text=%ls\n", i, r.left, r.top, r.right,
                      r.bottom, flags.empty() ? L"-" : flags.c_str(), shown.c_str());
        out += line;
    }
    return out;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MenuHook(int code, WPARAM wp, LPARAM lp) {
    static const UINT ask = RegisterWindowMessageW(L"uiprobe.menus");
    const auto* msg = reinterpret_cast<const CWPSTRUCT*>(lp);
    if (code == HC_ACTION && msg && msg->message == ask) {
        HANDLE map = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"Local\\uiprobe-menus");
        if (map) {
            if (auto* page = static_cast<wchar_t*>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0))) {
                const std::wstring items = Items(msg->hwnd);
                const size_t room = 32768 - 1;
                const size_t n = items.size() < room ? items.size() : room;
                std::wmemcpy(page, items.c_str(), n);
                page[n] = L'\0';
                UnmapViewOfFile(page);
            }
            CloseHandle(map);
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}
