// Prints what a running process holds, as Windows counts it, for leak checks over long runs:
//   procmem NAME.exe   ->   "MEM pid <pid> ws_kb <working set> private_kb <commit> handles <n> gdi <n> user <n>"
// The first process with that executable name (case ignored) is read. Exit code 1 when there is
// none or it cannot be opened. A count the system cannot give is printed as -1.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: procmem NAME.exe\n");
        return 2;
    }
    DWORD pid = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snap, &entry); more && pid == 0; more = Process32NextW(snap, &entry))
            if (_wcsicmp(entry.szExeFile, argv[1]) == 0) pid = entry.th32ProcessID;
        CloseHandle(snap);
    }
    if (pid == 0) {
        std::printf("MEM none\n");
        return 1;
    }
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) {
        std::printf("MEM pid %lu cannot open %lu\n", pid, GetLastError());
        return 1;
    }
    long long wsKb = -1, privateKb = -1, handles = -1;
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
        wsKb = static_cast<long long>(pmc.WorkingSetSize / 1024);
        privateKb = static_cast<long long>(pmc.PrivateUsage / 1024);
    }
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count)) handles = count;
    // GR_GDIOBJECTS 0, GR_USEROBJECTS 1. Zero with an error set means the system does not count them.
    SetLastError(0);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const long long gdiOut = (gdi == 0 && GetLastError() != 0) ? -1 : static_cast<long long>(gdi);
    SetLastError(0);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    const long long userOut = (user == 0 && GetLastError() != 0) ? -1 : static_cast<long long>(user);
    CloseHandle(process);
    std::printf("MEM pid %lu ws_kb %lld private_kb %lld handles %lld gdi %lld user %lld\n", pid, wsKb, privateKb,
                handles, gdiOut, userOut);
    return 0;
}
