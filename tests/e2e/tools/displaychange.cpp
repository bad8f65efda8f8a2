// Makes Wine re-read the monitor layout after the lab changed the RandR monitors; Wine then
// sends WM_DISPLAYCHANGE to every top-level window, as Windows does on a real hot-plug.
#include <windows.h>

#include <cstdio>

int wmain() {
    const LONG result = ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
    if (result != DISP_CHANGE_SUCCESSFUL) {
        std::printf("ChangeDisplaySettingsExW failed %ld\n", result);
        return 1;
    }
    return 0;
}
