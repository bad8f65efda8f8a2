// The window-system operations on the real Windows API, one thin call each.
//
// Failures leave the thread's last error exactly as the failing API set it; where we fail on our
// own (bad arguments, a missing resource) we set a fitting code ourselves.
//
// Windows created through CreateWindowExW: every message goes to the window's proc. For the
// messages the platform itself must answer (creation, non-client area, painting, text, cursor,
// system commands, position changes, activation, end of session) the proc only observes and the
// answer is DefWindowProcW's; for all others the proc's result is the answer. WM_CLOSE is the
// proc's alone: nothing is destroyed unless the program calls DestroyWindow.
//
// This header must not pull in <windows.h>: the portable constants share the platform's names.
#pragma once
#include <memory>

#include "desktop/WindowSystem.h"

namespace tessary::win32 {

class Win32WindowSystem final : public IWindowSystem {
 public:
  Win32WindowSystem();
  ~Win32WindowSystem() override;
  Win32WindowSystem(const Win32WindowSystem&) = delete;
  Win32WindowSystem& operator=(const Win32WindowSystem&) = delete;

  WindowHandle GetForegroundWindow() override;
  WindowHandle GetWindow(WindowHandle h, uint32_t cmd) override;
  WindowHandle GetParent(WindowHandle h) override;
  WindowHandle GetAncestor(WindowHandle h, uint32_t flags) override;
  WindowHandle GetDesktopWindow() override;
  WindowHandle GetShellWindow() override;
  bool IsWindow(WindowHandle h) override;
  bool IsWindowVisible(WindowHandle h) override;
  bool IsIconic(WindowHandle h) override;
  bool IsZoomed(WindowHandle h) override;
  int32_t GetWindowLongW(WindowHandle h, int32_t index) override;
  int32_t GetWindowTextLengthW(WindowHandle h) override;
  std::wstring GetWindowTextW(WindowHandle h) override;
  std::wstring GetClassNameW(WindowHandle h) override;
  WindowHandle WindowFromPoint(TPoint pt) override;
  bool GetCursorPos(TPoint& pt) override;
  bool GetWindowRect(WindowHandle h, TRect& r) override;
  bool GetClientSize(WindowHandle h, int32_t& width, int32_t& height) override;
  uint32_t GetWindowThreadProcessId(WindowHandle h, uint32_t* pid) override;
  int32_t DwmGetCloaked(WindowHandle h, uint32_t& cloaked) override;
  uint32_t GetDpiForWindow(WindowHandle h) override;

  std::vector<MonitorDesc> EnumMonitors() override;
  MonitorHandle MonitorFromWindow(WindowHandle h, uint32_t flags) override;
  MonitorHandle MonitorFromPoint(TPoint pt, uint32_t flags) override;
  bool GetMonitorInfo(MonitorHandle m, MonitorDesc& out) override;
  TRect GetVirtualScreenRect() override;
  bool GetTaskbarPos(TaskbarPos& out) override;

  bool SetWindowPos(WindowHandle h, WindowHandle insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy,
                    uint32_t flags) override;
  bool RedrawWindow(WindowHandle h, uint32_t flags) override;
  bool ShowWindow(WindowHandle h, int32_t cmd) override;
  bool BringWindowToTop(WindowHandle h) override;
  bool GetWindowPlacement(WindowHandle h, TWindowPlacement& out) override;
  bool SetWindowPlacement(WindowHandle h, const TWindowPlacement& wp) override;
  bool SetForegroundWindow(WindowHandle h) override;
  WindowHandle SetFocus(WindowHandle h) override;
  bool AttachThreadInput(uint32_t idAttach, uint32_t idAttachTo, bool attach) override;
  bool SystemParametersGet(uint32_t action, uint32_t& value) override;
  bool SystemParametersSet(uint32_t action, uint32_t uiParam, uintptr_t pvParam, uint32_t winIni) override;

  WindowHandle CreateWindowExW(uint32_t exStyle, const std::wstring& className, const std::wstring& title,
                               uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                               WindowHandle parent, WindowProc proc) override;
  bool DestroyWindow(WindowHandle h) override;
  void SetClassStyle(const std::wstring& className, uint32_t classStyle) override;
  uint32_t GetClassStyle(WindowHandle h) override;
  bool AdjustWindowRectExForDpi(TRect& r, uint32_t style, uint32_t exStyle, uint32_t dpi) override;
  bool SetWindowTextW(WindowHandle h, const std::wstring& text) override;
  bool SetWindowLongW(WindowHandle h, int32_t index, int32_t value) override;
  bool PostMessageW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  intptr_t SendMessageW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
  bool SendMessageTimeoutW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam, uint32_t flags,
                           uint32_t timeoutMs, uintptr_t& result) override;
  bool SendCopyData(WindowHandle from, WindowHandle to, const CopyDataRecord& data, intptr_t& result) override;
  // An empty class name or title matches any.
  WindowHandle FindWindowW(const std::wstring& className, const std::wstring& title) override;
  uint32_t RegisterWindowMessageW(const std::wstring& name) override;
  bool SetTimer(WindowHandle h, uintptr_t id, uint32_t elapseMs) override;
  bool KillTimer(WindowHandle h, uintptr_t id) override;
  void ProcessPendingMessages() override;
  bool PumpOneMessage() override;
  uint32_t GetMessageTime() override;
  void PostQuitMessage(int32_t exitCode) override;
  KernelHandle RegisterDeviceNotificationW(WindowHandle h, const std::wstring& interfaceClassGuid) override;
  bool UnregisterDeviceNotification(KernelHandle n) override;

  bool RegisterHotKey(WindowHandle h, int32_t id, uint32_t modifiers, uint32_t vk) override;
  bool UnregisterHotKey(WindowHandle h, int32_t id) override;
  int16_t GetKeyState(int32_t vk) override;
  int16_t GetAsyncKeyState(int32_t vk) override;
  bool GetKeyboardState(uint8_t (&keys)[256]) override;
  void keybd_event(uint8_t vk, uint8_t scan, uint32_t flags, uintptr_t extraInfo) override;
  int16_t VkKeyScanW(wchar_t ch) override;
  uint32_t MapVirtualKeyW(uint32_t code, uint32_t mapType) override;
  bool WatchKeyRelease(int32_t vk, uint32_t downTick) override;
  bool KeyReleaseSeen(int32_t vk, uint32_t& releaseTick) override;

  bool GetProcessList(std::vector<ProcessEntry>& out) override;
  bool GetProcessImageName(uint32_t pid, std::wstring& exeName) override;
  uint32_t GetVersion() override;
  uint32_t GetCurrentProcessId() override;
  uint32_t GetCurrentThreadId() override;
  KernelHandle OpenProcess(uint32_t access, bool inherit, uint32_t pid) override;
  KernelHandle OpenProcessToken(KernelHandle process, uint32_t access) override;
  bool GetTokenIntegritySize(KernelHandle token, uint32_t& needed) override;
  bool GetTokenIntegrityLevel(KernelHandle token, uint32_t size, uint32_t& rid, bool& sidValid) override;
  bool CloseHandle(KernelHandle h) override;
  RegValueState ReadRegistryString(RegRoot root, const std::wstring& key, const std::wstring& value,
                                   std::wstring& out) override;
  bool WriteRegistryString(RegRoot root, const std::wstring& key, const std::wstring& value,
                           const std::wstring& data) override;
  bool DeleteRegistryValue(RegRoot root, const std::wstring& key, const std::wstring& value) override;
  RegValueState ReadRegistryDword(RegRoot root, const std::wstring& key, const std::wstring& value,
                                  uint32_t& out) override;
  KernelHandle CreateMutexW(const std::wstring& name) override;
  bool IsDebuggerPresent() override;

  std::wstring GetSpecialFolder(int32_t csidl) override;
  bool ShellExecuteOpen(const std::wstring& target) override;
  std::wstring GetModuleFileNameW() override;
  std::vector<std::wstring> GetCommandLineArgs() override;
  bool GetFileVersion(const std::wstring& path, uint16_t (&version)[4]) override;
  bool FileExists(const std::wstring& path) override;
  bool DirectoryExists(const std::wstring& path) override;
  bool CreateDirectoryTree(const std::wstring& path) override;
  bool MoveFileW(const std::wstring& from, const std::wstring& to) override;
  bool MoveFileReplacing(const std::wstring& from, const std::wstring& to) override;
  bool DeleteFileW(const std::wstring& path) override;
  bool WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) override;
  bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) override;
  bool ReadFileLimited(const std::wstring& path, size_t maxBytes, std::vector<uint8_t>& bytes) override;
  std::wstring GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                        const std::wstring& def, const std::wstring& file) override;
  bool WritePrivateProfileStringW(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                                  const std::wstring& file) override;

  IconHandle GetClassIcon(WindowHandle h, int32_t index) override;
  IconHandle CopyIconHandle(IconHandle icon) override;
  bool DestroyIcon(IconHandle icon) override;
  IconHandle LoadIconResource(int32_t resourceId, int32_t size) override;
  int32_t GetSmallIconSize() override;
  bool ShellNotifyIcon(uint32_t message, const NotifyIconData& data) override;

  uint32_t GetTickCount() override;
  void Sleep(uint32_t ms) override;
  uint32_t GetLastError() override;
  void SetLastError(uint32_t code) override;
  std::wstring ErrorText(uint32_t code) override;
  std::wstring LocalTimeText() override;
  std::wstring DecimalSeparator() override;
  bool SetClipboardText(const std::wstring& text) override;
  bool GetClipboardText(std::wstring& text) override;
  int32_t MessageBoxW(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                      uint32_t flags) override;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace tessary::win32
