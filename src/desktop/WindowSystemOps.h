// The window-system operations, listed once. Each facet is an X-macro list of
// X(return type, name, (parameters)); from the lists come IWindowSystem's pure virtual functions,
// both backends' overrides, the enum Op and OpName. The comment above an entry is the
// operation's convention. The order is the vtable's.
//
// Names that <windows.h> also defines as macros (GetMonitorInfo) are #undef'd where both meet.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// ---- Windows
#define TESSARY_OPS_WINDOWS(X)                                                                                       \
  X(WindowHandle, GetForegroundWindow, ())                                                                           \
  /* wc::GW_* */                                                                                                     \
  X(WindowHandle, GetWindow, (WindowHandle h, uint32_t cmd))                                                         \
  /* owner for owned pop-ups */                                                                                      \
  X(WindowHandle, GetParent, (WindowHandle h))                                                                       \
  X(WindowHandle, GetAncestor, (WindowHandle h, uint32_t flags))                                                     \
  X(WindowHandle, GetDesktopWindow, ())                                                                              \
  X(WindowHandle, GetShellWindow, ())                                                                                \
  X(bool, IsWindow, (WindowHandle h))                                                                                \
  X(bool, IsWindowVisible, (WindowHandle h))                                                                         \
  X(bool, IsIconic, (WindowHandle h))                                                                                \
  X(bool, IsZoomed, (WindowHandle h))                                                                                \
  /* wc::GWL_STYLE / GWL_EXSTYLE */                                                                                  \
  X(int32_t, GetWindowLongW, (WindowHandle h, int32_t index))                                                        \
  X(int32_t, GetWindowTextLengthW, (WindowHandle h))                                                                 \
  X(std::wstring, GetWindowTextW, (WindowHandle h))                                                                  \
  /* empty on failure */                                                                                             \
  X(std::wstring, GetClassNameW, (WindowHandle h))                                                                   \
  X(WindowHandle, WindowFromPoint, (TPoint pt))                                                                      \
  X(bool, GetCursorPos, (TPoint& pt))                                                                                \
  X(bool, GetWindowRect, (WindowHandle h, TRect& r))                                                                 \
  X(bool, GetClientSize, (WindowHandle h, int32_t& width, int32_t& height))                                          \
  /* Returns the thread id (0 for a vanished window); pid receives the process id when non-null. */                  \
  X(uint32_t, GetWindowThreadProcessId, (WindowHandle h, uint32_t* pid))                                             \
  /* DwmGetWindowAttribute(DWMWA_CLOAKED): an HRESULT; cloaked is written on S_OK. */                                \
  X(int32_t, DwmGetCloaked, (WindowHandle h, uint32_t& cloaked))                                                     \
  X(uint32_t, GetDpiForWindow, (WindowHandle h))

// ---- Monitors
#define TESSARY_OPS_MONITORS(X)                                                                                      \
  /* enumeration order */                                                                                            \
  X(std::vector<MonitorDesc>, EnumMonitors, ())                                                                      \
  X(MonitorHandle, MonitorFromWindow, (WindowHandle h, uint32_t flags))                                              \
  X(MonitorHandle, MonitorFromPoint, (TPoint pt, uint32_t flags))                                                    \
  X(bool, GetMonitorInfo, (MonitorHandle m, MonitorDesc& out))                                                       \
  X(TRect, GetVirtualScreenRect, ())                                                                                 \
  /* SHAppBarMessage(ABM_GETTASKBARPOS) */                                                                           \
  X(bool, GetTaskbarPos, (TaskbarPos& out))

// ---- Placing
#define TESSARY_OPS_PLACING(X)                                                                                       \
  X(bool, SetWindowPos, (WindowHandle h, WindowHandle insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,     \
      uint32_t flags))                                                                                               \
  /* whole window, no region */                                                                                      \
  X(bool, RedrawWindow, (WindowHandle h, uint32_t flags))                                                            \
  /* true if it was visible before */                                                                                \
  X(bool, ShowWindow, (WindowHandle h, int32_t cmd))                                                                 \
  X(bool, BringWindowToTop, (WindowHandle h))                                                                        \
  X(bool, GetWindowPlacement, (WindowHandle h, TWindowPlacement& out))                                               \
  /* Applies wp.showCmd as given (SW_SHOWMINNOACTIVE keeps a minimized window down and inactive). */                 \
  X(bool, SetWindowPlacement, (WindowHandle h, const TWindowPlacement& wp))                                          \
  X(bool, SetForegroundWindow, (WindowHandle h))                                                                     \
  X(WindowHandle, SetFocus, (WindowHandle h))                                                                        \
  X(bool, AttachThreadInput, (uint32_t idAttach, uint32_t idAttachTo, bool attach))                                  \
  /* SystemParametersInfoW for the integer-valued actions the program uses. */                                       \
  X(bool, SystemParametersGet, (uint32_t action, uint32_t& value))                                                   \
  X(bool, SystemParametersSet, (uint32_t action, uint32_t uiParam, uintptr_t pvParam, uint32_t winIni))

// ---- The program's own windows and messages
#define TESSARY_OPS_OWN_WINDOWS(X)                                                                                   \
  /* A top-level (parent 0) or child window of this process whose messages go to proc. */                            \
  X(WindowHandle, CreateWindowExW, (uint32_t exStyle, const std::wstring& className, const std::wstring& title,      \
      uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height, WindowHandle parent, WindowProc proc))    \
  X(bool, DestroyWindow, (WindowHandle h))                                                                           \
  /* The class style (wc::CS_*) that windows of className get; takes effect when the class is registered, i.e.       \
    before its first window is created. */                                                                           \
  X(void, SetClassStyle, (const std::wstring& className, uint32_t classStyle))                                       \
  /* GetClassLongW(GCL_STYLE); 0 on failure */                                                                       \
  X(uint32_t, GetClassStyle, (WindowHandle h))                                                                       \
  /* AdjustWindowRectExForDpi: grows a client rectangle to the window rectangle for those styles. */                 \
  X(bool, AdjustWindowRectExForDpi, (TRect& r, uint32_t style, uint32_t exStyle, uint32_t dpi))                      \
  X(bool, SetWindowTextW, (WindowHandle h, const std::wstring& text))                                                \
  X(bool, SetWindowLongW, (WindowHandle h, int32_t index, int32_t value))                                            \
  X(bool, PostMessageW, (WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam))                           \
  X(intptr_t, SendMessageW, (WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam))                       \
  /* Returns false on time-out or failure; result receives the answer. */                                            \
  X(bool, SendMessageTimeoutW, (WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam, uint32_t flags,     \
      uint32_t timeoutMs, uintptr_t& result))                                                                        \
  X(bool, SendCopyData, (WindowHandle from, WindowHandle to, const CopyDataRecord& data, intptr_t& result))          \
  /* An empty class name or title matches any. */                                                                    \
  X(WindowHandle, FindWindowW, (const std::wstring& className, const std::wstring& title))                           \
  X(uint32_t, RegisterWindowMessageW, (const std::wstring& name))                                                    \
  X(bool, SetTimer, (WindowHandle h, uintptr_t id, uint32_t elapseMs))                                               \
  X(bool, KillTimer, (WindowHandle h, uintptr_t id))                                                                 \
  /* Dispatches every message already waiting for this thread (timers included); never blocks. */                    \
  X(void, ProcessPendingMessages, ())                                                                                \
  /* Blocks until a message arrives and dispatches it; false once WM_QUIT was taken. */                              \
  X(bool, PumpOneMessage, ())                                                                                        \
  /* GetMessageTime: the tick at which the message last taken from this thread's queue was posted (for input,        \
    when the key was pressed), not when it is handled. */                                                            \
  X(uint32_t, GetMessageTime, ())                                                                                    \
  X(void, PostQuitMessage, (int32_t exitCode))                                                                       \
  /* WM_DEVICECHANGE registration for a device-interface class (GUID as text). */                                    \
  X(KernelHandle, RegisterDeviceNotificationW, (WindowHandle h, const std::wstring& interfaceClassGuid))             \
  X(bool, UnregisterDeviceNotification, (KernelHandle n))

// ---- Keyboard
#define TESSARY_OPS_KEYBOARD(X)                                                                                      \
  X(bool, RegisterHotKey, (WindowHandle h, int32_t id, uint32_t modifiers, uint32_t vk))                             \
  X(bool, UnregisterHotKey, (WindowHandle h, int32_t id))                                                            \
  X(int16_t, GetKeyState, (int32_t vk))                                                                              \
  X(int16_t, GetAsyncKeyState, (int32_t vk))                                                                         \
  X(bool, GetKeyboardState, (uint8_t (&keys)[256]))                                                                  \
  X(void, keybd_event, (uint8_t vk, uint8_t scan, uint32_t flags, uintptr_t extraInfo))                              \
  X(int16_t, VkKeyScanW, (wchar_t ch))                                                                               \
  X(uint32_t, MapVirtualKeyW, (uint32_t code, uint32_t mapType))                                                     \
  /* The key-release watch, for telling a new press from a key still held while the calling thread is too busy to    \
    look. WatchKeyRelease starts watching vk (ending any other watch): until vk is seen up its physical state is     \
    polled every few milliseconds, on Windows by a short-lived thread, so nothing polls while no watched key is      \
    down. downTick: a tick at which the key is known to have been down (its press). False when the watch could       \
    not start. */                                                                                                    \
  X(bool, WatchKeyRelease, (int32_t vk, uint32_t downTick))                                                          \
  /* True once the watched vk has been seen up; releaseTick receives the earliest tick at which it may have gone     \
    up. False for a key not watched or still down. */                                                                \
  X(bool, KeyReleaseSeen, (int32_t vk, uint32_t& releaseTick))

// ---- Processes
#define TESSARY_OPS_PROCESSES(X)                                                                                     \
  X(bool, GetProcessList, (std::vector<ProcessEntry>& out))                                                          \
  /* The executable's file name of one process (QueryFullProcessImageNameW with limited query rights, the part       \
    after the last backslash). Much cheaper than the whole list; fails for a process we may not query or that is     \
    gone. */                                                                                                         \
  X(bool, GetProcessImageName, (uint32_t pid, std::wstring& exeName))                                                \
  X(uint32_t, GetVersion, ())                                                                                        \
  X(uint32_t, GetCurrentProcessId, ())                                                                               \
  X(uint32_t, GetCurrentThreadId, ())                                                                                \
  X(KernelHandle, OpenProcess, (uint32_t access, bool inherit, uint32_t pid))                                        \
  X(KernelHandle, OpenProcessToken, (KernelHandle process, uint32_t access))                                         \
  /* GetTokenInformation(TokenIntegrityLevel) without a buffer: fails with 122 and gives the size. */                \
  X(bool, GetTokenIntegritySize, (KernelHandle token, uint32_t& needed))                                             \
  /* The same with a buffer of `size` bytes: the label's last sub-authority, if its SID is valid. */                 \
  X(bool, GetTokenIntegrityLevel, (KernelHandle token, uint32_t size, uint32_t& rid, bool& sidValid))                \
  X(bool, CloseHandle, (KernelHandle h))                                                                             \
  X(RegValueState, ReadRegistryDword, (RegRoot root, const std::wstring& key, const std::wstring& value,             \
      uint32_t& out))                                                                                                \
  /* REG_SZ or REG_EXPAND_SZ (not expanded), without the terminating zero. */                                        \
  X(RegValueState, ReadRegistryString, (RegRoot root, const std::wstring& key, const std::wstring& value,            \
      std::wstring& out))                                                                                            \
  /* A REG_SZ value, the key created when missing; false with the last error on failure. */                          \
  X(bool, WriteRegistryString, (RegRoot root, const std::wstring& key, const std::wstring& value,                    \
      const std::wstring& data))                                                                                     \
  /* True when the value is gone afterwards (also when it was never there). */                                       \
  X(bool, DeleteRegistryValue, (RegRoot root, const std::wstring& key, const std::wstring& value))                   \
  /* CreateMutexW: the handle; GetLastError() is ERROR_ALREADY_EXISTS when it already existed. */                    \
  X(KernelHandle, CreateMutexW, (const std::wstring& name))                                                          \
  X(bool, IsDebuggerPresent, ())

// ---- Shell and files
#define TESSARY_OPS_FILES(X)                                                                                         \
  /* empty when unresolvable */                                                                                      \
  X(std::wstring, GetSpecialFolder, (int32_t csidl))                                                                 \
  X(bool, ShellExecuteOpen, (const std::wstring& target))                                                            \
  /* the executable's full path */                                                                                   \
  X(std::wstring, GetModuleFileNameW, ())                                                                            \
  /* without the program itself */                                                                                   \
  X(std::vector<std::wstring>, GetCommandLineArgs, ())                                                               \
  /* The executable's file version (major, minor, release, build); false without a resource. */                      \
  X(bool, GetFileVersion, (const std::wstring& path, uint16_t (&version)[4]))                                        \
  X(bool, FileExists, (const std::wstring& path))                                                                    \
  X(bool, DirectoryExists, (const std::wstring& path))                                                               \
  /* with missing parents */                                                                                         \
  X(bool, CreateDirectoryTree, (const std::wstring& path))                                                           \
  /* never replaces: 183 */                                                                                          \
  X(bool, MoveFileW, (const std::wstring& from, const std::wstring& to))                                             \
  /* MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): a file at `to` is replaced in one step, so     \
    readers see the old file or the new one, never a part. A read-only file or a folder at `to` is not replaced      \
    (ERROR_ACCESS_DENIED). */                                                                                        \
  X(bool, MoveFileReplacing, (const std::wstring& from, const std::wstring& to))                                     \
  X(bool, DeleteFileW, (const std::wstring& path))                                                                   \
  /* create/replace */                                                                                               \
  X(bool, WriteWholeFile, (const std::wstring& path, const std::vector<uint8_t>& bytes))                             \
  X(bool, ReadWholeFile, (const std::wstring& path, std::vector<uint8_t>& bytes))                                    \
  /* The whole file when it holds at most maxBytes; a larger one fails with ERROR_FILE_TOO_LARGE after reading no    \
    more than maxBytes + 1 bytes. bytes changes only on success. */                                                  \
  X(bool, ReadFileLimited, (const std::wstring& path, size_t maxBytes, std::vector<uint8_t>& bytes))                 \
  X(std::wstring, GetPrivateProfileStringW, (const std::wstring& section, const std::wstring& key,                   \
      const std::wstring& def, const std::wstring& file))                                                            \
  X(bool, WritePrivateProfileStringW, (const std::wstring& section, const std::wstring& key,                         \
      const std::wstring& value, const std::wstring& file))

// ---- Icons
#define TESSARY_OPS_ICONS(X)                                                                                         \
  /* wc::GCLP_HICON / GCLP_HICONSM */                                                                                \
  X(IconHandle, GetClassIcon, (WindowHandle h, int32_t index))                                                       \
  /* GetIconInfo + CreateIconIndirect */                                                                             \
  X(IconHandle, CopyIconHandle, (IconHandle icon))                                                                   \
  X(bool, DestroyIcon, (IconHandle icon))                                                                            \
  /* An icon resource of the executable at size x size pixels (LoadImageW): the image of that size when the          \
    resource has one, else the platform scales the nearest. The caller destroys it. 0 when there is no such          \
    resource. */                                                                                                     \
  X(IconHandle, LoadIconResource, (int32_t resourceId, int32_t size))                                                \
  /* The small-icon size the shell draws at (SM_CXSMICON at the system's dpi): 16 at 100 %, 24 at 150 %, 32 at       \
    200 %. */                                                                                                        \
  X(int32_t, GetSmallIconSize, ())                                                                                   \
  /* Shell_NotifyIconW(wc::NIM_ADD / NIM_MODIFY / NIM_DELETE): the notification area's icons. */                     \
  X(bool, ShellNotifyIcon, (uint32_t message, const NotifyIconData& data))

// ---- Common
#define TESSARY_OPS_COMMON(X)                                                                                        \
  X(uint32_t, GetTickCount, ())                                                                                      \
  X(void, Sleep, (uint32_t ms))                                                                                      \
  X(uint32_t, GetLastError, ())                                                                                      \
  X(void, SetLastError, (uint32_t code))                                                                             \
  /* the system's message text, as FormatMessage gives it */                                                         \
  X(std::wstring, ErrorText, (uint32_t code))                                                                        \
  /* time of day, the user's long format + milliseconds */                                                           \
  X(std::wstring, LocalTimeText, ())                                                                                 \
  /* The user's decimal separator (GetLocaleInfoEx LOCALE_SDECIMAL); "." when the locale gives none. Leaves the      \
    last error alone. */                                                                                             \
  X(std::wstring, DecimalSeparator, ())                                                                              \
  X(bool, SetClipboardText, (const std::wstring& text))                                                              \
  X(bool, GetClipboardText, (std::wstring& text))                                                                    \
  X(int32_t, MessageBoxW, (WindowHandle owner, const std::wstring& text, const std::wstring& caption,                \
      uint32_t flags))

#define TESSARY_OPS(X)    \
  TESSARY_OPS_WINDOWS(X)  \
  TESSARY_OPS_MONITORS(X) \
  TESSARY_OPS_PLACING(X)  \
  TESSARY_OPS_OWN_WINDOWS(X) \
  TESSARY_OPS_KEYBOARD(X) \
  TESSARY_OPS_PROCESSES(X) \
  TESSARY_OPS_FILES(X)    \
  TESSARY_OPS_ICONS(X)    \
  TESSARY_OPS_COMMON(X)

// Declarations from the lists: in IWindowSystem, and in a backend's class.
#define TESSARY_OP_PURE(ret, name, params) virtual ret name params = 0;
#define TESSARY_OP_OVERRIDE(ret, name, params) ret name params override;

namespace tessary {

// One enumerator per operation, for naming an operation in code (the simulator's faults and counts).
enum class Op : uint8_t {
#define TESSARY_OP_ENUM(ret, name, params) name,
  TESSARY_OPS(TESSARY_OP_ENUM)
#undef TESSARY_OP_ENUM
};

#define TESSARY_OP_ONE(ret, name, params) +1
inline constexpr size_t kOpCount = 0 TESSARY_OPS(TESSARY_OP_ONE);
#undef TESSARY_OP_ONE

// The operation's name as written in the interface, e.g. "SetWindowPos".
constexpr std::string_view OpName(Op op) {
#define TESSARY_OP_NAME(ret, name, params) std::string_view(#name),
  constexpr std::array<std::string_view, kOpCount> kNames{TESSARY_OPS(TESSARY_OP_NAME)};
#undef TESSARY_OP_NAME
  const auto i = static_cast<size_t>(op);
  return i < kNames.size() ? kNames[i] : std::string_view("?");
}

}  // namespace tessary
