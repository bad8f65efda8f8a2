// The one door to the desktop. Everything the logic decides goes through these operations, so the
// same code runs on Windows (win32 backend) and on the simulated desktop (sim backend).
//
// Conventions kept by both backends:
// - Handles are the platform's values as unsigned pointer-sized integers; 0 is "none".
// - Operations that can fail return false / 0 and leave the calling thread's last error set,
//   exactly as the Windows call does; nothing here throws.
// - Texts are wide strings (UTF-16 on Windows).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "desktop/WinConst.h"

namespace tessary {

using WindowHandle = std::uintptr_t;
using MonitorHandle = std::uintptr_t;
using KernelHandle = std::uintptr_t;  // process, token, mutex, device-notification handles
using IconHandle = std::uintptr_t;

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr void SetWidth(int32_t w) { Right = Left + w; }
  constexpr void SetHeight(int32_t h) { Bottom = Top + h; }
  constexpr bool Contains(int32_t x, int32_t y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
  int32_t x = 0, y = 0;
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// One monitor as the platform enumerates it; its number is its position in the enumeration.
struct MonitorDesc {
  MonitorHandle handle = 0;
  TRect bounds;  // full rectangle
  TRect work;    // work area (without taskbars)
  bool primary = false;
  std::wstring deviceName;  // "\\.\DISPLAY1"
  // The monitor's device interface path ("\\?\DISPLAY#DEL4071#...#{e6f07b5f-...}"): it comes from
  // the monitor's EDID, so it names the same physical monitor across reboots and driver updates,
  // which deviceName does not. Empty when the system gives none; Wine, without an EDID, names the
  // output instead ("\\?\DISPLAY#Default_Monitor#0001&0000#{...}" whatever monitor is there).
  std::wstring devicePath;
};

struct ProcessEntry {
  uint32_t pid = 0;
  std::wstring exeName;  // file name only, as the process list reports it
};

// SHAppBarMessage(ABM_GETTASKBARPOS)
struct TaskbarPos {
  uint32_t edge = wc::ABE_BOTTOM;
  TRect rect;
};

// Layout-compatible with COPYDATASTRUCT, so a WM_COPYDATA lParam points to one of these on
// both backends.
struct CopyDataRecord {
  std::uintptr_t dwData = 0;
  uint32_t cbData = 0;
  const void* lpData = nullptr;
};

// The fields of Shell_NotifyIconW's record (NOTIFYICONDATAW) the program fills. The backend hands
// the shell the full record (cbSize of the whole structure); the tip is cut to 127 characters.
struct NotifyIconData {
  WindowHandle window = 0;
  uint32_t id = 0;
  uint32_t flags = 0;  // wc::NIF_*
  uint32_t callbackMessage = 0;
  IconHandle icon = 0;
  std::wstring tip;
  friend bool operator==(const NotifyIconData&, const NotifyIconData&) = default;
};

// GetWindowPlacement / SetWindowPlacement, in screen coordinates (the system's workspace
// coordinates converted by the backend).
struct TWindowPlacement {
  int32_t showCmd = wc::SW_SHOWNORMAL;  // SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_MAXIMIZE, ...
  TRect normal;                         // the restored window
  bool restoreToMaximized = false;      // a minimized window that comes back maximized
};

// Handler for windows the program creates itself. Returns the message's result.
using WindowProc = std::function<intptr_t(WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

// What the registry lookup of one value found. NotInteger: the value has another type than the
// one asked for (a number where text was asked for too).
enum class RegValueState { KeyMissing, ValueMissing, NotInteger, Present };

// Registry hives used by the program.
enum class RegRoot { LocalMachine, CurrentUser };

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;

  // ---- Windows ----
  virtual WindowHandle GetForegroundWindow() = 0;
  virtual WindowHandle GetWindow(WindowHandle h, uint32_t cmd) = 0;  // wc::GW_*
  virtual WindowHandle GetParent(WindowHandle h) = 0;                // owner for owned pop-ups
  virtual WindowHandle GetAncestor(WindowHandle h, uint32_t flags) = 0;
  virtual WindowHandle GetDesktopWindow() = 0;
  virtual WindowHandle GetShellWindow() = 0;
  virtual bool IsWindow(WindowHandle h) = 0;
  virtual bool IsWindowVisible(WindowHandle h) = 0;
  virtual bool IsIconic(WindowHandle h) = 0;
  virtual bool IsZoomed(WindowHandle h) = 0;
  virtual int32_t GetWindowLongW(WindowHandle h, int32_t index) = 0;  // wc::GWL_STYLE / GWL_EXSTYLE
  virtual int32_t GetWindowTextLengthW(WindowHandle h) = 0;
  virtual std::wstring GetWindowTextW(WindowHandle h) = 0;
  virtual std::wstring GetClassNameW(WindowHandle h) = 0;  // empty on failure
  virtual WindowHandle WindowFromPoint(TPoint pt) = 0;
  virtual bool GetCursorPos(TPoint& pt) = 0;
  virtual bool GetWindowRect(WindowHandle h, TRect& r) = 0;
  virtual bool GetClientSize(WindowHandle h, int32_t& width, int32_t& height) = 0;
  // Returns the thread id (0 for a vanished window); pid receives the process id when non-null.
  virtual uint32_t GetWindowThreadProcessId(WindowHandle h, uint32_t* pid) = 0;
  // DwmGetWindowAttribute(DWMWA_CLOAKED): an HRESULT; cloaked is written on S_OK.
  virtual int32_t DwmGetCloaked(WindowHandle h, uint32_t& cloaked) = 0;
  virtual uint32_t GetDpiForWindow(WindowHandle h) = 0;

  // ---- Monitors ----
  virtual std::vector<MonitorDesc> EnumMonitors() = 0;  // enumeration order
  virtual MonitorHandle MonitorFromWindow(WindowHandle h, uint32_t flags) = 0;
  virtual MonitorHandle MonitorFromPoint(TPoint pt, uint32_t flags) = 0;
  virtual bool GetMonitorInfo(MonitorHandle m, MonitorDesc& out) = 0;
  virtual TRect GetVirtualScreenRect() = 0;
  virtual bool GetTaskbarPos(TaskbarPos& out) = 0;  // SHAppBarMessage(ABM_GETTASKBARPOS)

  // ---- Placing ----
  virtual bool SetWindowPos(WindowHandle h, WindowHandle insertAfter, int32_t x, int32_t y, int32_t cx,
                            int32_t cy, uint32_t flags) = 0;
  virtual bool RedrawWindow(WindowHandle h, uint32_t flags) = 0;  // whole window, no region
  virtual bool ShowWindow(WindowHandle h, int32_t cmd) = 0;       // true if it was visible before
  virtual bool BringWindowToTop(WindowHandle h) = 0;
  virtual bool GetWindowPlacement(WindowHandle h, TWindowPlacement& out) = 0;
  // Applies wp.showCmd as given (SW_SHOWMINNOACTIVE keeps a minimized window down and inactive).
  virtual bool SetWindowPlacement(WindowHandle h, const TWindowPlacement& wp) = 0;
  virtual bool SetForegroundWindow(WindowHandle h) = 0;
  virtual WindowHandle SetFocus(WindowHandle h) = 0;
  virtual bool AttachThreadInput(uint32_t idAttach, uint32_t idAttachTo, bool attach) = 0;
  // SystemParametersInfoW for the integer-valued actions the program uses.
  virtual bool SystemParametersGet(uint32_t action, uint32_t& value) = 0;
  virtual bool SystemParametersSet(uint32_t action, uint32_t uiParam, uintptr_t pvParam, uint32_t winIni) = 0;

  // ---- The program's own windows and messages ----
  // A top-level (parent 0) or child window of this process whose messages go to proc.
  virtual WindowHandle CreateWindowExW(uint32_t exStyle, const std::wstring& className, const std::wstring& title,
                                       uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                                       WindowHandle parent, WindowProc proc) = 0;
  virtual bool DestroyWindow(WindowHandle h) = 0;
  // The class style (wc::CS_*) that windows of className get; takes effect when the class is
  // registered, i.e. before its first window is created.
  virtual void SetClassStyle(const std::wstring& className, uint32_t classStyle) = 0;
  virtual uint32_t GetClassStyle(WindowHandle h) = 0;  // GetClassLongW(GCL_STYLE); 0 on failure
  // AdjustWindowRectExForDpi: grows a client rectangle to the window rectangle for those styles.
  virtual bool AdjustWindowRectExForDpi(TRect& r, uint32_t style, uint32_t exStyle, uint32_t dpi) = 0;
  virtual bool SetWindowTextW(WindowHandle h, const std::wstring& text) = 0;
  virtual bool SetWindowLongW(WindowHandle h, int32_t index, int32_t value) = 0;
  virtual bool PostMessageW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
  virtual intptr_t SendMessageW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
  // Returns false on time-out or failure; result receives the answer.
  virtual bool SendMessageTimeoutW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                                   uint32_t flags, uint32_t timeoutMs, uintptr_t& result) = 0;
  virtual bool SendCopyData(WindowHandle from, WindowHandle to, const CopyDataRecord& data, intptr_t& result) = 0;
  virtual WindowHandle FindWindowW(const std::wstring& className, const std::wstring& title) = 0;
  virtual uint32_t RegisterWindowMessageW(const std::wstring& name) = 0;
  virtual bool SetTimer(WindowHandle h, uintptr_t id, uint32_t elapseMs) = 0;
  virtual bool KillTimer(WindowHandle h, uintptr_t id) = 0;
  // Dispatches every message already waiting for this thread (timers included); never blocks.
  virtual void ProcessPendingMessages() = 0;
  // Blocks until a message arrives and dispatches it; false once WM_QUIT was taken.
  virtual bool PumpOneMessage() = 0;
  // GetMessageTime: the tick at which the message last taken from this thread's queue was posted
  // (for input, when the key was pressed), not when it is handled.
  virtual uint32_t GetMessageTime() = 0;
  virtual void PostQuitMessage(int32_t exitCode) = 0;
  // WM_DEVICECHANGE registration for a device-interface class (GUID as text).
  virtual KernelHandle RegisterDeviceNotificationW(WindowHandle h, const std::wstring& interfaceClassGuid) = 0;
  virtual bool UnregisterDeviceNotification(KernelHandle n) = 0;

  // ---- Keyboard ----
  virtual bool RegisterHotKey(WindowHandle h, int32_t id, uint32_t modifiers, uint32_t vk) = 0;
  virtual bool UnregisterHotKey(WindowHandle h, int32_t id) = 0;
  virtual int16_t GetKeyState(int32_t vk) = 0;
  virtual int16_t GetAsyncKeyState(int32_t vk) = 0;
  virtual bool GetKeyboardState(uint8_t (&keys)[256]) = 0;
  virtual void keybd_event(uint8_t vk, uint8_t scan, uint32_t flags, uintptr_t extraInfo) = 0;
  virtual int16_t VkKeyScanW(wchar_t ch) = 0;
  virtual uint32_t MapVirtualKeyW(uint32_t code, uint32_t mapType) = 0;
  // The key-release watch, for telling a new press from a key still held while the calling thread
  // is too busy to look. WatchKeyRelease starts watching vk (ending any other watch): until vk is
  // seen up its physical state is polled every few milliseconds, on Windows by a short-lived
  // thread, so nothing polls while no watched key is down. downTick: a tick at which the key is
  // known to have been down (its press). False when the watch could not start.
  virtual bool WatchKeyRelease(int32_t vk, uint32_t downTick) = 0;
  // True once the watched vk has been seen up; releaseTick receives the earliest tick at which it
  // may have gone up. False for a key not watched or still down.
  virtual bool KeyReleaseSeen(int32_t vk, uint32_t& releaseTick) = 0;

  // ---- Processes ----
  virtual bool GetProcessList(std::vector<ProcessEntry>& out) = 0;
  // The executable's file name of one process (QueryFullProcessImageNameW with limited query
  // rights, the part after the last backslash). Much cheaper than the whole list; fails for a
  // process we may not query or that is gone.
  virtual bool GetProcessImageName(uint32_t pid, std::wstring& exeName) = 0;
  virtual uint32_t GetVersion() = 0;
  virtual uint32_t GetCurrentProcessId() = 0;
  virtual uint32_t GetCurrentThreadId() = 0;
  virtual KernelHandle OpenProcess(uint32_t access, bool inherit, uint32_t pid) = 0;
  virtual KernelHandle OpenProcessToken(KernelHandle process, uint32_t access) = 0;
  // GetTokenInformation(TokenIntegrityLevel) without a buffer: fails with 122 and gives the size.
  virtual bool GetTokenIntegritySize(KernelHandle token, uint32_t& needed) = 0;
  // The same with a buffer of `size` bytes: the label's last sub-authority, if its SID is valid.
  virtual bool GetTokenIntegrityLevel(KernelHandle token, uint32_t size, uint32_t& rid, bool& sidValid) = 0;
  virtual bool CloseHandle(KernelHandle h) = 0;
  virtual RegValueState ReadRegistryDword(RegRoot root, const std::wstring& key, const std::wstring& value,
                                          uint32_t& out) = 0;
  // REG_SZ or REG_EXPAND_SZ (not expanded), without the terminating zero.
  virtual RegValueState ReadRegistryString(RegRoot root, const std::wstring& key, const std::wstring& value,
                                           std::wstring& out) = 0;
  // A REG_SZ value, the key created when missing; false with the last error on failure.
  virtual bool WriteRegistryString(RegRoot root, const std::wstring& key, const std::wstring& value,
                                   const std::wstring& data) = 0;
  // True when the value is gone afterwards (also when it was never there).
  virtual bool DeleteRegistryValue(RegRoot root, const std::wstring& key, const std::wstring& value) = 0;
  // CreateMutexW: the handle; GetLastError() is ERROR_ALREADY_EXISTS when it already existed.
  virtual KernelHandle CreateMutexW(const std::wstring& name) = 0;
  virtual bool IsDebuggerPresent() = 0;

  // ---- Shell and files ----
  virtual std::wstring GetSpecialFolder(int32_t csidl) = 0;  // empty when unresolvable
  virtual bool ShellExecuteOpen(const std::wstring& target) = 0;
  virtual std::wstring GetModuleFileNameW() = 0;            // the executable's full path
  virtual std::vector<std::wstring> GetCommandLineArgs() = 0;  // without the program itself
  // The executable's file version (major, minor, release, build); false without a resource.
  virtual bool GetFileVersion(const std::wstring& path, uint16_t (&version)[4]) = 0;
  virtual bool FileExists(const std::wstring& path) = 0;
  virtual bool DirectoryExists(const std::wstring& path) = 0;
  virtual bool CreateDirectoryTree(const std::wstring& path) = 0;  // with missing parents
  virtual bool MoveFileW(const std::wstring& from, const std::wstring& to) = 0;  // never replaces: 183
  // MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): a file at `to` is replaced in
  // one step, so readers see the old file or the new one, never a part. A read-only file or a
  // folder at `to` is not replaced (ERROR_ACCESS_DENIED).
  virtual bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) = 0;
  virtual bool DeleteFileW(const std::wstring& path) = 0;
  virtual bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) = 0;  // create/replace
  virtual bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) = 0;
  // The whole file when it holds at most maxBytes; a larger one fails with ERROR_FILE_TOO_LARGE
  // after reading no more than maxBytes + 1 bytes. bytes changes only on success.
  virtual bool ReadFileLimited(const std::wstring& path, size_t maxBytes, std::vector<uint8_t>& bytes) = 0;
  virtual std::wstring GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                const std::wstring& def, const std::wstring& file) = 0;
  virtual bool WritePrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                          const std::wstring& value, const std::wstring& file) = 0;

  // ---- Icons ----
  virtual IconHandle GetClassIcon(WindowHandle h, int32_t index) = 0;  // wc::GCLP_HICON / GCLP_HICONSM
  virtual IconHandle CopyIconHandle(IconHandle icon) = 0;              // GetIconInfo + CreateIconIndirect
  virtual bool DestroyIcon(IconHandle icon) = 0;
  // An icon resource of the executable at size x size pixels (LoadImageW): the image of that size
  // when the resource has one, else the platform scales the nearest. The caller destroys it.
  // 0 when there is no such resource.
  virtual IconHandle LoadIconResource(int32_t resourceId, int32_t size) = 0;
  // The small-icon size the shell draws at (SM_CXSMICON at the system's dpi): 16 at 100 %,
  // 24 at 150 %, 32 at 200 %.
  virtual int32_t GetSmallIconSize() = 0;
  // Shell_NotifyIconW(wc::NIM_ADD / NIM_MODIFY / NIM_DELETE): the notification area's icons.
  virtual bool ShellNotifyIcon(uint32_t message, const NotifyIconData& data) = 0;

  // ---- Common ----
  virtual uint32_t GetTickCount() = 0;
  virtual void Sleep(uint32_t ms) = 0;
  virtual uint32_t GetLastError() = 0;
  virtual void SetLastError(uint32_t code) = 0;
  virtual std::wstring ErrorText(uint32_t code) = 0;  // the system's message text, as FormatMessage gives it
  virtual std::wstring LocalTimeText() = 0;           // time of day, the user's long format + milliseconds
  // The user's decimal separator (GetLocaleInfoEx LOCALE_SDECIMAL); "." when the locale gives
  // none. Leaves the last error alone.
  virtual std::wstring DecimalSeparator() = 0;
  virtual bool SetClipboardText(const std::wstring& text) = 0;
  virtual bool GetClipboardText(std::wstring& text) = 0;
  virtual int32_t MessageBoxW(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                              uint32_t flags) = 0;
};

// The process-wide backend. Set once at start (or by a test fixture).
IWindowSystem& ws();
void SetWindowSystem(IWindowSystem* backend);

}  // namespace tessary
