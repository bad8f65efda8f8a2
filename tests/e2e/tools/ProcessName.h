// The executable file name of a process, for the end-to-end tools.
#pragma once
#include <windows.h>

#include <string>

inline std::wstring ExeOfProcess(DWORD pid, const wchar_t* unknown) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return unknown;
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    std::wstring name = unknown;
    if (QueryFullProcessImageNameW(process, 0, path, &size)) {
        name = path;
        const size_t slash = name.find_last_of(L"\\/");
        if (slash != std::wstring::npos) name = name.substr(slash + 1);
    }
    CloseHandle(process);
    return name;
}
