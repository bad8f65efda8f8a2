// Sends a monitor device-interface event to the display event window, as Windows does when a
// monitor wakes up or goes to sleep (Wine never sends these by itself).
//
//   devchange arrival|removal [NAME]
//
// Finds the top-level window captioned "frmMonitorEvent" (any class) and sends it WM_DEVICECHANGE
// with DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE and a DEV_BROADCAST_DEVICEINTERFACE_W record
// of GUID_DEVINTERFACE_MONITOR carrying NAME (default: a typical monitor's interface name).
// Prints what it sent and the answer. Exit code 0 when the window was found and the message
// delivered, 1 when no such window exists, 2 on a usage error, 3 when sending failed.
#include <windows.h>
#include <dbt.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr GUID kMonitorInterface = {0xE6F07B5F, 0xEE97, 0x4A90, {0xB0, 0x76, 0x33, 0xF5, 0x7B, 0xF4, 0xEA, 0xA7}};
constexpr const wchar_t* kDefaultName =
    L"\\\\?\\DISPLAY#DEL4071#5&1a2b3c4d&0&UID4352#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}";

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

int Usage() {
    std::printf("usage: devchange arrival|removal [NAME]\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || argc > 3) return Usage();
    WPARAM event = 0;
    const char* word = nullptr;
    if (std::wcscmp(argv[1], L"arrival") == 0) {
        event = DBT_DEVICEARRIVAL;
        word = "DBT_DEVICEARRIVAL";
    } else if (std::wcscmp(argv[1], L"removal") == 0) {
        event = DBT_DEVICEREMOVECOMPLETE;
        word = "DBT_DEVICEREMOVECOMPLETE";
    } else {
        return Usage();
    }
    const std::wstring name = argc == 3 ? argv[2] : kDefaultName;

    const HWND target = FindWindowW(nullptr, L"frmMonitorEvent");
    if (target == nullptr) {
        std::printf("no window \"frmMonitorEvent\"\n");
        return 1;
    }
    wchar_t cls[128] = L"";
    GetClassNameW(target, cls, 128);

    // The fixed part, then the name with its terminator.
    const size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (name.size() + 1) * sizeof(wchar_t);
    std::vector<unsigned char> bytes(size, 0);
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    record->dbcc_size = static_cast<DWORD>(size);
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_reserved = 0;
    record->dbcc_classguid = kMonitorInterface;
    std::memcpy(record->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(wchar_t));

    std::printf("sent %s to %p class=%s size=%u type=%lu name=%s\n", word, static_cast<void*>(target),
                Utf8(cls).c_str(), static_cast<unsigned>(size), record->dbcc_devicetype, Utf8(name).c_str());
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(target, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record), SMTO_ABORTIFHUNG,
                             10000, &answer)) {
        std::printf("failed error=%lu\n", GetLastError());
        return 3;
    }
    std::printf("result=%llu\n", static_cast<unsigned long long>(answer));
    return 0;
}
