// Our headers first: <windows.h> defines macros with the names of our portable constants.
#include "platform/win32/Win32WindowSystem.h"
#include "platform/win32/Win32Owned.h"
#include "util/UnitText.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include <windows.h>
#include <dbt.h>
#include <dwmapi.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#undef GetMonitorInfo  // our operation's name, not the platform's macro

namespace tessary::win32 {
namespace {

static_assert(sizeof(CopyDataRecord) == sizeof(COPYDATASTRUCT));
static_assert(offsetof(CopyDataRecord, dwData) == offsetof(COPYDATASTRUCT, dwData));
static_assert(offsetof(CopyDataRecord, cbData) == offsetof(COPYDATASTRUCT, cbData));
static_assert(offsetof(CopyDataRecord, lpData) == offsetof(COPYDATASTRUCT, lpData));

HWND H(WindowHandle h) { return reinterpret_cast<HWND>(h); }
WindowHandle W(HWND h) { return reinterpret_cast<WindowHandle>(h); }
HANDLE K(KernelHandle h) { return reinterpret_cast<HANDLE>(h); }
TRect R(const RECT& r) { return TRect{r.left, r.top, r.right, r.bottom}; }
const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

// Keeps the thread's last error across clean-up calls that may overwrite it.
class KeepLastError {
 public:
  KeepLastError() : code_(::GetLastError()) {}
  ~KeepLastError() { ::SetLastError(code_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  DWORD code_;
};

// ---- Our windows: one proc per window, kept in GWLP_USERDATA ----

// Shared so that a proc that destroys its own window stays alive until it returns.
using ProcHolder = std::shared_ptr<WindowProc>;

// The proc of the window being created on this thread: messages arrive (WM_GETMINMAXINFO)
// before WM_NCCREATE hands us the creation parameters.
thread_local ProcHolder* t_pending = nullptr;

bool PlatformAnswers(UINT msg) {
  switch (msg) {
    case WM_NCCREATE:
    case WM_NCDESTROY:
    case WM_NCCALCSIZE:
    case WM_NCHITTEST:
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_GETMINMAXINFO:
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETCURSOR:
    case WM_QUERYENDSESSION:
    case WM_SYSCOMMAND:
    case WM_WINDOWPOSCHANGING:
    case WM_WINDOWPOSCHANGED:
    case WM_SHOWWINDOW:
    case WM_ACTIVATE:
    case WM_GETICON:
    case WM_QUERYOPEN:
      return true;
    default:
      return msg >= WM_NCMOUSEMOVE && msg <= WM_NCXBUTTONDBLCLK;
  }
}

LRESULT CALLBACK DispatchProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* holder = reinterpret_cast<ProcHolder*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (holder == nullptr && t_pending != nullptr) {
    holder = t_pending;
    t_pending = nullptr;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(holder));
  }
  if (holder == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);

  ProcHolder keep = *holder;  // the proc may destroy this window (and free the holder) while it runs
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    delete holder;
  }
  LRESULT answer = 0;
  if (keep && *keep) answer = static_cast<LRESULT>((*keep)(W(hwnd), msg, static_cast<uintptr_t>(wp), lp));
  return PlatformAnswers(msg) ? ::DefWindowProcW(hwnd, msg, wp, lp) : answer;
}

}  // namespace

// The key-release watch. Its thread runs only while the watched key is down and touches nothing
// but this record and GetAsyncKeyState; the user-interface thread starts and reads the watch.
struct KeyWatch {
  static constexpr DWORD PollMs = 5;
  std::mutex lock;
  int32_t vk = -1;
  bool seen = false;
  DWORD lastDown = 0;     // tick of the last look that found the key down
  DWORD releaseTick = 0;  // the tick after lastDown: the key went up at or after it
  bool polling = false;   // a thread is running

  // Lock held. One look; true while the key is still down.
  bool LookL() {
    if (seen) return false;
    if ((::GetAsyncKeyState(vk) & 0x8000) != 0) {
      lastDown = ::GetTickCount();
      return true;
    }
    seen = true;
    releaseTick = lastDown + 1;
    return false;
  }

  static DWORD WINAPI Run(void* param) {
    std::unique_ptr<std::shared_ptr<KeyWatch>> owned(static_cast<std::shared_ptr<KeyWatch>*>(param));
    KeyWatch& w = **owned;
    for (;;) {
      ::Sleep(PollMs);
      std::lock_guard<std::mutex> hold(w.lock);
      if (!w.LookL()) {
        w.polling = false;
        return 0;
      }
    }
  }
};

struct Win32WindowSystem::State {
  // Shared with the watch's thread, which may outlive this object at exit.
  std::shared_ptr<KeyWatch> keyWatch = std::make_shared<KeyWatch>();
  std::mutex classLock;
  std::set<std::wstring> registeredClasses;
  std::map<std::wstring, uint32_t> classStyles;  // asked for before the class was registered
  HWND clipboardOwner = nullptr;
  using DpiFn = UINT(WINAPI*)(HWND);
  DpiFn getDpiForWindow = nullptr;
  using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  AdjustFn adjustForDpi = nullptr;
};

Win32WindowSystem::Win32WindowSystem() : s_(std::make_unique<State>()) {
  // Windows 10 1607 and later; older systems (and some Wine versions) lack it: 96 dpi then.
  if (HMODULE user32 = ::GetModuleHandleW(L"user32.dll")) {
    s_->getDpiForWindow =
        reinterpret_cast<State::DpiFn>(reinterpret_cast<void*>(::GetProcAddress(user32, "GetDpiForWindow")));
    s_->adjustForDpi = reinterpret_cast<State::AdjustFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "AdjustWindowRectExForDpi")));
  }
}

Win32WindowSystem::~Win32WindowSystem() {
  if (s_->clipboardOwner != nullptr) ::DestroyWindow(s_->clipboardOwner);
}

// ---------------- Windows ----------------

WindowHandle Win32WindowSystem::GetForegroundWindow() { return W(::GetForegroundWindow()); }
WindowHandle Win32WindowSystem::GetWindow(WindowHandle h, uint32_t cmd) { return W(::GetWindow(H(h), cmd)); }
WindowHandle Win32WindowSystem::GetParent(WindowHandle h) { return W(::GetParent(H(h))); }
WindowHandle Win32WindowSystem::GetAncestor(WindowHandle h, uint32_t flags) { return W(::GetAncestor(H(h), flags)); }
WindowHandle Win32WindowSystem::GetDesktopWindow() { return W(::GetDesktopWindow()); }
WindowHandle Win32WindowSystem::GetShellWindow() { return W(::GetShellWindow()); }
bool Win32WindowSystem::IsWindow(WindowHandle h) { return ::IsWindow(H(h)) != FALSE; }
bool Win32WindowSystem::IsWindowVisible(WindowHandle h) { return ::IsWindowVisible(H(h)) != FALSE; }
bool Win32WindowSystem::IsIconic(WindowHandle h) { return ::IsIconic(H(h)) != FALSE; }
bool Win32WindowSystem::IsZoomed(WindowHandle h) { return ::IsZoomed(H(h)) != FALSE; }
int32_t Win32WindowSystem::GetWindowLongW(WindowHandle h, int32_t index) { return ::GetWindowLongW(H(h), index); }
int32_t Win32WindowSystem::GetWindowTextLengthW(WindowHandle h) { return ::GetWindowTextLengthW(H(h)); }

std::wstring Win32WindowSystem::GetWindowTextW(WindowHandle h) {
  const int length = ::GetWindowTextLengthW(H(h));
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(H(h), text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

std::wstring Win32WindowSystem::GetClassNameW(WindowHandle h) {
  wchar_t name[257] = {};  // class names are at most 256 characters
  const int got = ::GetClassNameW(H(h), name, 257);
  return got > 0 ? std::wstring(name, static_cast<size_t>(got)) : std::wstring();
}

WindowHandle Win32WindowSystem::WindowFromPoint(TPoint pt) { return W(::WindowFromPoint(POINT{pt.x, pt.y})); }

bool Win32WindowSystem::GetCursorPos(TPoint& pt) {
  POINT p{};
  if (!::GetCursorPos(&p)) return false;
  pt = TPoint{p.x, p.y};
  return true;
}

bool Win32WindowSystem::GetWindowRect(WindowHandle h, TRect& r) {
  RECT rc{};
  if (!::GetWindowRect(H(h), &rc)) return false;
  r = R(rc);
  return true;
}

bool Win32WindowSystem::GetClientSize(WindowHandle h, int32_t& width, int32_t& height) {
  RECT rc{};
  if (!::GetClientRect(H(h), &rc)) return false;
  width = rc.right - rc.left;
  height = rc.bottom - rc.top;
  return true;
}

uint32_t Win32WindowSystem::GetWindowThreadProcessId(WindowHandle h, uint32_t* pid) {
  if (pid == nullptr) return ::GetWindowThreadProcessId(H(h), nullptr);
  DWORD p = *pid;  // left as it was where the platform does not write it
  const DWORD tid = ::GetWindowThreadProcessId(H(h), &p);
  *pid = p;
  return tid;
}

int32_t Win32WindowSystem::DwmGetCloaked(WindowHandle h, uint32_t& cloaked) {
  DWORD value = 0;
  const HRESULT hr = ::DwmGetWindowAttribute(H(h), DWMWA_CLOAKED, &value, sizeof value);
  if (hr == S_OK) cloaked = value;
  return static_cast<int32_t>(hr);
}

uint32_t Win32WindowSystem::GetDpiForWindow(WindowHandle h) {
  if (s_->getDpiForWindow == nullptr) return USER_DEFAULT_SCREEN_DPI;
  return s_->getDpiForWindow(H(h));
}

// ---------------- Monitors ----------------

namespace {
// The device interface path of the active monitor on that display output; empty when there is none.
std::wstring DevicePath(const wchar_t* adapter) {
  KeepLastError keep;  // the end of the list is no failure of the caller's
  DISPLAY_DEVICEW dd{};
  dd.cb = sizeof dd;
  for (DWORD i = 0; ::EnumDisplayDevicesW(adapter, i, &dd, EDD_GET_DEVICE_INTERFACE_NAME); ++i) {
    if (dd.StateFlags & DISPLAY_DEVICE_ACTIVE) return dd.DeviceID;
    dd = DISPLAY_DEVICEW{};
    dd.cb = sizeof dd;
  }
  return std::wstring();
}

bool Describe(HMONITOR m, MonitorDesc& out) {
  MONITORINFOEXW info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoW(m, &info)) return false;
  out.handle = reinterpret_cast<MonitorHandle>(m);
  out.bounds = R(info.rcMonitor);
  out.work = R(info.rcWork);
  out.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  out.deviceName = info.szDevice;
  out.devicePath = DevicePath(info.szDevice);
  return true;
}

BOOL CALLBACK CollectMonitor(HMONITOR m, HDC, LPRECT, LPARAM data) {
  reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(m);
  return TRUE;
}
}  // namespace

std::vector<MonitorDesc> Win32WindowSystem::EnumMonitors() {
  std::vector<HMONITOR> handles;
  ::EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&handles));
  std::vector<MonitorDesc> out;
  for (HMONITOR m : handles) {
    MonitorDesc d;
    if (Describe(m, d)) out.push_back(std::move(d));  // a monitor that left meanwhile is not listed
  }
  return out;
}

MonitorHandle Win32WindowSystem::MonitorFromWindow(WindowHandle h, uint32_t flags) {
  return reinterpret_cast<MonitorHandle>(::MonitorFromWindow(H(h), flags));
}

MonitorHandle Win32WindowSystem::MonitorFromPoint(TPoint pt, uint32_t flags) {
  return reinterpret_cast<MonitorHandle>(::MonitorFromPoint(POINT{pt.x, pt.y}, flags));
}

bool Win32WindowSystem::GetMonitorInfo(MonitorHandle m, MonitorDesc& out) {
  return Describe(reinterpret_cast<HMONITOR>(m), out);
}

TRect Win32WindowSystem::GetVirtualScreenRect() {
  const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  return TRect{x, y, x + ::GetSystemMetrics(SM_CXVIRTUALSCREEN), y + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool Win32WindowSystem::GetTaskbarPos(TaskbarPos& out) {
  APPBARDATA abd{};
  abd.cbSize = sizeof abd;
  if (::SHAppBarMessage(ABM_GETTASKBARPOS, &abd) == 0) return false;
  out.edge = abd.uEdge;
  out.rect = R(abd.rc);
  return true;
}

// ---------------- Placing ----------------

bool Win32WindowSystem::SetWindowPos(WindowHandle h, WindowHandle insertAfter, int32_t x, int32_t y, int32_t cx,
                                     int32_t cy, uint32_t flags) {
  return ::SetWindowPos(H(h), H(insertAfter), x, y, cx, cy, flags) != FALSE;
}

bool Win32WindowSystem::RedrawWindow(WindowHandle h, uint32_t flags) {
  return ::RedrawWindow(H(h), nullptr, nullptr, flags) != FALSE;
}

bool Win32WindowSystem::ShowWindow(WindowHandle h, int32_t cmd) { return ::ShowWindow(H(h), cmd) != FALSE; }
bool Win32WindowSystem::BringWindowToTop(WindowHandle h) { return ::BringWindowToTop(H(h)) != FALSE; }
bool Win32WindowSystem::SetForegroundWindow(WindowHandle h) { return ::SetForegroundWindow(H(h)) != FALSE; }
WindowHandle Win32WindowSystem::SetFocus(WindowHandle h) { return W(::SetFocus(H(h))); }

bool Win32WindowSystem::AttachThreadInput(uint32_t idAttach, uint32_t idAttachTo, bool attach) {
  return ::AttachThreadInput(idAttach, idAttachTo, attach ? TRUE : FALSE) != FALSE;
}

namespace {
// Workspace coordinates start at the primary monitor's work area; tool windows and child windows
// use screen coordinates.
TPoint WorkspaceOffset(HWND h) {
  if ((::GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0 || ::GetParent(h) != nullptr) return TPoint{0, 0};
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (!::GetMonitorInfoW(::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi)) return TPoint{0, 0};
  return TPoint{mi.rcWork.left - mi.rcMonitor.left, mi.rcWork.top - mi.rcMonitor.top};
}
}  // namespace

bool Win32WindowSystem::GetWindowPlacement(WindowHandle h, TWindowPlacement& out) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!::GetWindowPlacement(H(h), &wp)) return false;
  const TPoint o = WorkspaceOffset(H(h));
  out.showCmd = static_cast<int32_t>(wp.showCmd);
  out.normal = TRect{wp.rcNormalPosition.left + o.x, wp.rcNormalPosition.top + o.y, wp.rcNormalPosition.right + o.x,
                     wp.rcNormalPosition.bottom + o.y};
  out.restoreToMaximized = (wp.flags & WPF_RESTORETOMAXIMIZED) != 0;
  return true;
}

bool Win32WindowSystem::SetWindowPlacement(WindowHandle h, const TWindowPlacement& in) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  if (!::GetWindowPlacement(H(h), &wp)) return false;
  const TPoint o = WorkspaceOffset(H(h));
  wp.showCmd = static_cast<UINT>(in.showCmd);
  wp.flags = in.restoreToMaximized ? WPF_RESTORETOMAXIMIZED : 0;
  wp.rcNormalPosition = RECT{in.normal.Left - o.x, in.normal.Top - o.y, in.normal.Right - o.x, in.normal.Bottom - o.y};
  return ::SetWindowPlacement(H(h), &wp) != FALSE;
}

bool Win32WindowSystem::SystemParametersGet(uint32_t action, uint32_t& value) {
  // The actions the program reads fill a DWORD (or an int of the same size).
  DWORD v = 0;
  if (!::SystemParametersInfoW(action, 0, &v, 0)) return false;
  value = v;
  return true;
}

bool Win32WindowSystem::SystemParametersSet(uint32_t action, uint32_t uiParam, uintptr_t pvParam, uint32_t winIni) {
  return ::SystemParametersInfoW(action, uiParam, reinterpret_cast<PVOID>(pvParam), winIni) != FALSE;
}

// ---------------- Our windows and messages ----------------

WindowHandle Win32WindowSystem::CreateWindowExW(uint32_t exStyle, const std::wstring& className,
                                                const std::wstring& title, uint32_t style, int32_t x, int32_t y,
                                                int32_t width, int32_t height, WindowHandle parent, WindowProc proc) {
  if (className.empty() || className.size() > 256) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  {
    std::lock_guard lock(s_->classLock);
    if (s_->registeredClasses.count(className) == 0) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      if (auto cs = s_->classStyles.find(className); cs != s_->classStyles.end()) wc.style = cs->second;
      wc.lpfnWndProc = DispatchProc;
      wc.hInstance = instance;
      wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
      wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));  // the program's icon, when it has one
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      wc.lpszClassName = className.c_str();
      if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return 0;
      s_->registeredClasses.insert(className);
    }
  }

  auto* holder = new ProcHolder(std::make_shared<WindowProc>(std::move(proc)));
  ProcHolder* const outer = t_pending;  // a window created while another one is being created
  t_pending = holder;
  const HWND hwnd = ::CreateWindowExW(exStyle, className.c_str(), title.c_str(), style, x, y, width, height,
                                      H(parent), nullptr, instance, nullptr);
  if (t_pending == holder) {
    // No message reached the window, so WM_NCDESTROY will never free the proc.
    KeepLastError keep;
    delete holder;
  }
  t_pending = outer;
  return W(hwnd);
}

void Win32WindowSystem::SetClassStyle(const std::wstring& className, uint32_t classStyle) {
  std::lock_guard lock(s_->classLock);
  s_->classStyles.emplace(className, classStyle);
}

uint32_t Win32WindowSystem::GetClassStyle(WindowHandle h) {
  return static_cast<uint32_t>(::GetClassLongPtrW(H(h), GCL_STYLE));
}

bool Win32WindowSystem::AdjustWindowRectExForDpi(TRect& r, uint32_t style, uint32_t exStyle, uint32_t dpi) {
  RECT rc{r.Left, r.Top, r.Right, r.Bottom};
  BOOL ok = FALSE;
  if (s_->adjustForDpi != nullptr) ok = s_->adjustForDpi(&rc, style, FALSE, exStyle, dpi);
  else ok = ::AdjustWindowRectEx(&rc, style, FALSE, exStyle);  // before Windows 10 1607
  if (!ok) return false;
  r = TRect{rc.left, rc.top, rc.right, rc.bottom};
  return true;
}

bool Win32WindowSystem::DestroyWindow(WindowHandle h) { return ::DestroyWindow(H(h)) != FALSE; }

bool Win32WindowSystem::SetWindowTextW(WindowHandle h, const std::wstring& text) {
  return ::SetWindowTextW(H(h), text.c_str()) != FALSE;
}

bool Win32WindowSystem::SetWindowLongW(WindowHandle h, int32_t index, int32_t value) {
  // 0 is also a valid previous value: only a changed last error tells a failure.
  ::SetLastError(ERROR_SUCCESS);
  return ::SetWindowLongW(H(h), index, value) != 0 || ::GetLastError() == ERROR_SUCCESS;
}

bool Win32WindowSystem::PostMessageW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return ::PostMessageW(H(h), msg, wParam, lParam) != FALSE;
}

intptr_t Win32WindowSystem::SendMessageW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  return ::SendMessageW(H(h), msg, wParam, lParam);
}

bool Win32WindowSystem::SendMessageTimeoutW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                                            uint32_t flags, uint32_t timeoutMs, uintptr_t& result) {
  DWORD_PTR answer = 0;
  if (::SendMessageTimeoutW(H(h), msg, wParam, lParam, flags, timeoutMs, &answer) == 0) return false;
  result = answer;
  return true;
}

bool Win32WindowSystem::SendCopyData(WindowHandle from, WindowHandle to, const CopyDataRecord& data,
                                     intptr_t& result) {
  if (!::IsWindow(H(to))) {
    ::SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  COPYDATASTRUCT cds{};
  cds.dwData = data.dwData;
  cds.cbData = data.cbData;
  cds.lpData = const_cast<void*>(data.lpData);
  ::SetLastError(ERROR_SUCCESS);
  result = ::SendMessageW(H(to), WM_COPYDATA, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&cds));
  // SendMessage has no failure result, and the receiver's handler may leave errors of its own;
  // only a receiver that vanished on the way counts as a failed delivery.
  const DWORD err = ::GetLastError();
  if (err != ERROR_INVALID_WINDOW_HANDLE || ::IsWindow(H(to))) return true;
  ::SetLastError(err);
  return false;
}

WindowHandle Win32WindowSystem::FindWindowW(const std::wstring& className, const std::wstring& title) {
  return W(::FindWindowW(OrNull(className), OrNull(title)));
}

uint32_t Win32WindowSystem::RegisterWindowMessageW(const std::wstring& name) {
  return ::RegisterWindowMessageW(name.c_str());
}

bool Win32WindowSystem::SetTimer(WindowHandle h, uintptr_t id, uint32_t elapseMs) {
  return ::SetTimer(H(h), id, elapseMs, nullptr) != 0;
}

bool Win32WindowSystem::KillTimer(WindowHandle h, uintptr_t id) { return ::KillTimer(H(h), id) != FALSE; }

void Win32WindowSystem::ProcessPendingMessages() {
  MSG msg{};
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the message loop that owns it.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool Win32WindowSystem::PumpOneMessage() {
  MSG msg{};
  const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
  if (got == 0 || got == -1) return false;
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
  return true;
}

uint32_t Win32WindowSystem::GetMessageTime() { return static_cast<uint32_t>(::GetMessageTime()); }

void Win32WindowSystem::PostQuitMessage(int32_t exitCode) { ::PostQuitMessage(exitCode); }

KernelHandle Win32WindowSystem::RegisterDeviceNotificationW(WindowHandle h, const std::wstring& interfaceClassGuid) {
  GUID guid{};
  std::wstring text = interfaceClassGuid;
  if (text.empty() || text.front() != L'{') text = L"{" + text + L"}";
  if (FAILED(::CLSIDFromString(text.c_str(), &guid))) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = guid;
  return reinterpret_cast<KernelHandle>(
      ::RegisterDeviceNotificationW(H(h), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
}

bool Win32WindowSystem::UnregisterDeviceNotification(KernelHandle n) {
  return ::UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(n)) != FALSE;
}

// ---------------- Keyboard ----------------

bool Win32WindowSystem::RegisterHotKey(WindowHandle h, int32_t id, uint32_t modifiers, uint32_t vk) {
  return ::RegisterHotKey(H(h), id, modifiers, vk) != FALSE;
}
bool Win32WindowSystem::UnregisterHotKey(WindowHandle h, int32_t id) { return ::UnregisterHotKey(H(h), id) != FALSE; }
bool Win32WindowSystem::WatchKeyRelease(int32_t vk, uint32_t downTick) {
  if (vk < 0 || vk > 255) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  KeyWatch& w = *s_->keyWatch;
  std::lock_guard<std::mutex> hold(w.lock);
  w.vk = vk;
  w.seen = false;
  w.lastDown = downTick;
  // Up already, or a thread still polling (it takes over the new key): no new thread.
  if (!w.LookL() || w.polling) return true;
  auto* param = new std::shared_ptr<KeyWatch>(s_->keyWatch);
  HANDLE thread = ::CreateThread(nullptr, 64 * 1024, &KeyWatch::Run, param, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) {
    KeepLastError keep;
    delete param;
    w.vk = -1;
    return false;
  }
  // A release must be seen even while the machine is busy.
  ::SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
  ::CloseHandle(thread);
  w.polling = true;
  return true;
}

bool Win32WindowSystem::KeyReleaseSeen(int32_t vk, uint32_t& releaseTick) {
  KeyWatch& w = *s_->keyWatch;
  std::lock_guard<std::mutex> hold(w.lock);
  if (vk != w.vk) return false;
  // A look of our own: the thread may not have had its turn since the key went up.
  if (w.LookL()) return false;
  releaseTick = w.releaseTick;
  return true;
}

int16_t Win32WindowSystem::GetKeyState(int32_t vk) { return ::GetKeyState(vk); }
int16_t Win32WindowSystem::GetAsyncKeyState(int32_t vk) { return ::GetAsyncKeyState(vk); }
bool Win32WindowSystem::GetKeyboardState(uint8_t (&keys)[256]) { return ::GetKeyboardState(keys) != FALSE; }
void Win32WindowSystem::keybd_event(uint8_t vk, uint8_t scan, uint32_t flags, uintptr_t extraInfo) {
  ::keybd_event(vk, scan, flags, extraInfo);
}
int16_t Win32WindowSystem::VkKeyScanW(wchar_t ch) { return ::VkKeyScanW(ch); }
uint32_t Win32WindowSystem::MapVirtualKeyW(uint32_t code, uint32_t mapType) { return ::MapVirtualKeyW(code, mapType); }

// ---------------- Processes ----------------

bool Win32WindowSystem::GetProcessImageName(uint32_t pid, std::wstring& exeName) {
  wchar_t path[MAX_PATH * 4];
  DWORD size = sizeof path / sizeof path[0];
  // Windows alone, which throws nothing: the owner needs no unwind path.
  const bool named = [&]() noexcept {
    const OwnedHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    return process && ::QueryFullProcessImageNameW(process.get(), 0, path, &size);
  }();
  if (!named) return false;
  const std::wstring full(path, size);
  const size_t slash = full.find_last_of(L"\\/");
  exeName = slash == std::wstring::npos ? full : full.substr(slash + 1);
  return true;
}

bool Win32WindowSystem::GetProcessList(std::vector<ProcessEntry>& out) {
  const OwnedHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snap) return false;
  std::vector<ProcessEntry> list;
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof pe;
  BOOL more = ::Process32FirstW(snap.get(), &pe);
  if (!more) return false;
  while (more) {
    list.push_back(ProcessEntry{pe.th32ProcessID, pe.szExeFile});
    more = ::Process32NextW(snap.get(), &pe);
  }
  if (::GetLastError() != ERROR_NO_MORE_FILES) return false;
  out = std::move(list);
  return true;
}

uint32_t Win32WindowSystem::GetVersion() { return ::GetVersion(); }
uint32_t Win32WindowSystem::GetCurrentProcessId() { return ::GetCurrentProcessId(); }
uint32_t Win32WindowSystem::GetCurrentThreadId() { return ::GetCurrentThreadId(); }

KernelHandle Win32WindowSystem::OpenProcess(uint32_t access, bool inherit, uint32_t pid) {
  return reinterpret_cast<KernelHandle>(::OpenProcess(access, inherit ? TRUE : FALSE, pid));
}

KernelHandle Win32WindowSystem::OpenProcessToken(KernelHandle process, uint32_t access) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(K(process), access, &token)) return 0;
  return reinterpret_cast<KernelHandle>(token);
}

bool Win32WindowSystem::GetTokenIntegritySize(KernelHandle token, uint32_t& needed) {
  DWORD size = 0;
  const BOOL ok = ::GetTokenInformation(K(token), TokenIntegrityLevel, nullptr, 0, &size);
  needed = size;
  return ok != FALSE;
}

bool Win32WindowSystem::GetTokenIntegrityLevel(KernelHandle token, uint32_t size, uint32_t& rid, bool& sidValid) {
  std::vector<uint64_t> buffer((static_cast<size_t>(size) + sizeof(uint64_t) - 1) / sizeof(uint64_t) + 1);
  DWORD got = 0;
  if (!::GetTokenInformation(K(token), TokenIntegrityLevel, buffer.data(), size, &got)) return false;
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  const PSID sid = label->Label.Sid;
  sidValid = sid != nullptr && ::IsValidSid(sid) && *::GetSidSubAuthorityCount(sid) > 0;
  if (sidValid) rid = *::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1u);
  return true;
}

bool Win32WindowSystem::CloseHandle(KernelHandle h) { return ::CloseHandle(K(h)) != FALSE; }

RegValueState Win32WindowSystem::ReadRegistryDword(RegRoot root, const std::wstring& key, const std::wstring& value,
                                                   uint32_t& out) {
  // The registry answers with a status instead of the last error; keep it where callers look.
  HKEY hk = nullptr;
  LSTATUS rc = ::RegOpenKeyExW(root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, key.c_str(),
                               0, KEY_QUERY_VALUE, &hk);
  if (rc != ERROR_SUCCESS) {
    ::SetLastError(static_cast<DWORD>(rc));
    return RegValueState::KeyMissing;
  }
  DWORD type = 0, data = 0, size = sizeof data;
  rc = ::RegQueryValueExW(hk, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  ::RegCloseKey(hk);
  ::SetLastError(static_cast<DWORD>(rc));
  if (rc == ERROR_FILE_NOT_FOUND) return RegValueState::ValueMissing;
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return RegValueState::NotInteger;
  out = data;
  return RegValueState::Present;
}

namespace {
HKEY Hive(RegRoot root) { return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
}  // namespace

RegValueState Win32WindowSystem::ReadRegistryString(RegRoot root, const std::wstring& key, const std::wstring& value,
                                                    std::wstring& out) {
  HKEY hk = nullptr;
  LSTATUS rc = ::RegOpenKeyExW(Hive(root), key.c_str(), 0, KEY_QUERY_VALUE, &hk);
  if (rc != ERROR_SUCCESS) {
    ::SetLastError(static_cast<DWORD>(rc));
    return RegValueState::KeyMissing;
  }
  // The value may grow between the two calls: ask again with the size the second call reports.
  std::vector<wchar_t> buf(64);
  DWORD type = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
    rc = ::RegQueryValueExW(hk, value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
    if (rc == ERROR_MORE_DATA) {
      buf.resize(size / sizeof(wchar_t) + 2);
      continue;
    }
    if (rc == ERROR_SUCCESS) {
      // The stored data need not end in a zero.
      size_t n = size / sizeof(wchar_t);
      while (n > 0 && buf[n - 1] == L'\0') --n;
      out.assign(buf.data(), n);
    }
    break;
  }
  ::RegCloseKey(hk);
  ::SetLastError(static_cast<DWORD>(rc));
  if (rc == ERROR_FILE_NOT_FOUND) return RegValueState::ValueMissing;
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return RegValueState::NotInteger;
  return RegValueState::Present;
}

bool Win32WindowSystem::WriteRegistryString(RegRoot root, const std::wstring& key, const std::wstring& value,
                                            const std::wstring& data) {
  HKEY hk = nullptr;
  LSTATUS rc = ::RegCreateKeyExW(Hive(root), key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hk, nullptr);
  if (rc == ERROR_SUCCESS) {
    rc = ::RegSetValueExW(hk, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(hk);
  }
  ::SetLastError(static_cast<DWORD>(rc));
  return rc == ERROR_SUCCESS;
}

bool Win32WindowSystem::DeleteRegistryValue(RegRoot root, const std::wstring& key, const std::wstring& value) {
  HKEY hk = nullptr;
  LSTATUS rc = ::RegOpenKeyExW(Hive(root), key.c_str(), 0, KEY_SET_VALUE, &hk);
  if (rc == ERROR_SUCCESS) {
    rc = ::RegDeleteValueW(hk, value.c_str());
    ::RegCloseKey(hk);
  }
  ::SetLastError(static_cast<DWORD>(rc));
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

KernelHandle Win32WindowSystem::CreateMutexW(const std::wstring& name) {
  // Nothing may run after the call: the caller reads ERROR_ALREADY_EXISTS from the last error.
  return reinterpret_cast<KernelHandle>(::CreateMutexW(nullptr, TRUE, OrNull(name)));
}

bool Win32WindowSystem::IsDebuggerPresent() { return ::IsDebuggerPresent() != FALSE; }

// ---------------- Shell and files ----------------

std::wstring Win32WindowSystem::GetSpecialFolder(int32_t csidl) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  const HRESULT hr = ::SHGetSpecialFolderLocation(nullptr, csidl, &pidl);
  if (FAILED(hr) || pidl == nullptr) {
    ::SetLastError(HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : static_cast<DWORD>(hr));
    return {};
  }
  wchar_t path[MAX_PATH + 1] = {};
  const BOOL ok = ::SHGetPathFromIDListW(pidl, path);
  KeepLastError keep;
  ::CoTaskMemFree(pidl);
  return ok ? std::wstring(path) : std::wstring();
}

bool Win32WindowSystem::ShellExecuteOpen(const std::wstring& target) {
  const auto code = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return code > 32;
}

std::wstring Win32WindowSystem::GetModuleFileNameW() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) return {};
    if (got < path.size()) {
      path.resize(got);
      return path;
    }
    path.resize(path.size() * 2);  // truncated
  }
}

std::vector<std::wstring> Win32WindowSystem::GetCommandLineArgs() {
  std::vector<std::wstring> args;
  // The C runtime has split the command line already (the same rules); asking the shell for it
  // would load the shell's DLLs into every start.
  if (__wargv != nullptr) {
    for (int i = 1; i < __argc; ++i) args.emplace_back(__wargv[i]);
    return args;
  }
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (argv == nullptr) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  ::LocalFree(argv);
  return args;
}

bool Win32WindowSystem::GetFileVersion(const std::wstring& path, uint16_t (&version)[4]) {
  DWORD unused = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &unused);
  if (size == 0) return false;
  std::vector<uint8_t> data(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr ||
      length < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != 0xFEEF04BDu) {
    ::SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return false;
  }
  version[0] = HIWORD(info->dwFileVersionMS);
  version[1] = LOWORD(info->dwFileVersionMS);
  version[2] = HIWORD(info->dwFileVersionLS);
  version[3] = LOWORD(info->dwFileVersionLS);
  return true;
}

bool Win32WindowSystem::FileExists(const std::wstring& path) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32WindowSystem::DirectoryExists(const std::wstring& path) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32WindowSystem::CreateDirectoryTree(const std::wstring& path) {
  if (path.empty()) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  auto isSep = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  // Skip the root: "C:\" or "\\server\share\".
  size_t start = 0;
  if (path.size() >= 2 && path[1] == L':') {
    start = 2;
  } else if (path.size() >= 2 && isSep(path[0]) && isSep(path[1])) {
    int seps = 0;
    for (start = 2; start < path.size() && seps < 2; ++start)
      if (isSep(path[start])) ++seps;
  }
  for (size_t i = start; i <= path.size(); ++i) {
    if (i < path.size() && !isSep(path[i])) continue;
    const std::wstring prefix = path.substr(0, i);
    if (prefix.empty() || isSep(prefix.back()) || (prefix.size() == 2 && prefix[1] == L':')) continue;
    if (::CreateDirectoryW(prefix.c_str(), nullptr)) continue;
    const DWORD err = ::GetLastError();
    if (err == ERROR_ALREADY_EXISTS && DirectoryExists(prefix)) continue;
    ::SetLastError(err);
    return false;
  }
  return true;
}

bool Win32WindowSystem::MoveFileW(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileW(from.c_str(), to.c_str()) != FALSE;
}

bool Win32WindowSystem::MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
  // Windows refuses to replace a read-only file; Wine run by root (as the lab runs it) would not.
  const DWORD target = ::GetFileAttributesW(to.c_str());
  if (target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32WindowSystem::DeleteFileW(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool Win32WindowSystem::WriteWholeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  OwnedHandle f(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(f.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  // On the disk before a replacing move makes it the file others read.
  if (!::FlushFileBuffers(f.get())) return false;
  // Its own failure counts: the file may not be complete.
  return ::CloseHandle(f.release()) != FALSE;
}

bool Win32WindowSystem::ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
  const OwnedHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  std::vector<uint8_t> data;
  for (;;) {
    uint8_t chunk[64 * 1024];
    DWORD got = 0;
    if (!::ReadFile(f.get(), chunk, sizeof chunk, &got, nullptr)) return false;
    if (got == 0) break;
    data.insert(data.end(), chunk, chunk + got);
  }
  bytes = std::move(data);
  return true;
}

bool Win32WindowSystem::ReadFileLimited(const std::wstring& path, size_t maxBytes, std::vector<uint8_t>& bytes) {
  const OwnedHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(f.get(), &size)) return false;
  std::vector<uint8_t> data;
  bool tooLarge = static_cast<uint64_t>(size.QuadPart) > maxBytes;
  // The size only guides: a file that grows meanwhile is still cut off after maxBytes + 1.
  while (!tooLarge) {
    uint8_t chunk[64 * 1024];
    const size_t room = maxBytes - data.size();
    const DWORD want = static_cast<DWORD>(room >= sizeof chunk ? sizeof chunk : room + 1);
    DWORD got = 0;
    if (!::ReadFile(f.get(), chunk, want, &got, nullptr)) return false;
    if (got == 0) break;
    data.insert(data.end(), chunk, chunk + got);
    tooLarge = data.size() > maxBytes;
  }
  if (tooLarge) {
    ::SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  bytes = std::move(data);
  return true;
}

std::wstring Win32WindowSystem::GetPrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                         const std::wstring& def, const std::wstring& file) {
  std::wstring buffer(256, L'\0');
  for (;;) {
    const DWORD got = ::GetPrivateProfileStringW(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), file.c_str());
    if (got + 1 < buffer.size() || buffer.size() >= (1u << 20)) {
      buffer.resize(got);
      return buffer;
    }
    buffer.resize(buffer.size() * 4);  // the value was cut
  }
}

bool Win32WindowSystem::WritePrivateProfileStringW(const std::wstring& section, const std::wstring& key,
                                                   const std::wstring& value, const std::wstring& file) {
  return ::WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != FALSE;
}

// ---------------- Icons ----------------

IconHandle Win32WindowSystem::GetClassIcon(WindowHandle h, int32_t index) {
  return static_cast<IconHandle>(::GetClassLongPtrW(H(h), index));
}

IconHandle Win32WindowSystem::CopyIconHandle(IconHandle icon) {
  ICONINFO parts{};
  if (!::GetIconInfo(reinterpret_cast<HICON>(icon), &parts)) return 0;
  const HICON copy = ::CreateIconIndirect(&parts);
  // The bitmaps are ours to delete, whatever became of the copy. Taken only now: a call before
  // would need an unwind path, and the exe has no room for one that Windows never takes.
  const OwnedGdi<HBITMAP> color(parts.hbmColor), mask(parts.hbmMask);
  return reinterpret_cast<IconHandle>(copy);
}

bool Win32WindowSystem::DestroyIcon(IconHandle icon) { return ::DestroyIcon(reinterpret_cast<HICON>(icon)) != FALSE; }

IconHandle Win32WindowSystem::LoadIconResource(int32_t resourceId, int32_t size) {
  if (resourceId <= 0 || resourceId > 0xFFFF || size <= 0) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return reinterpret_cast<IconHandle>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                   MAKEINTRESOURCEW(static_cast<WORD>(resourceId)), IMAGE_ICON,
                                                   size, size, LR_DEFAULTCOLOR));
}

int32_t Win32WindowSystem::GetSmallIconSize() {
  // Windows 10 1607 and later; the process's own metric (the system dpi for us) before that.
  using SystemDpiFn = UINT(WINAPI*)();
  using MetricsFn = int(WINAPI*)(int, UINT);
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  const auto systemDpi =
      reinterpret_cast<SystemDpiFn>(reinterpret_cast<void*>(::GetProcAddress(user32, "GetDpiForSystem")));
  const auto metrics =
      reinterpret_cast<MetricsFn>(reinterpret_cast<void*>(::GetProcAddress(user32, "GetSystemMetricsForDpi")));
  if (systemDpi != nullptr && metrics != nullptr) {
    const int v = metrics(SM_CXSMICON, systemDpi());
    if (v > 0) return v;
  }
  const int v = ::GetSystemMetrics(SM_CXSMICON);
  return v > 0 ? v : 16;
}

bool Win32WindowSystem::ShellNotifyIcon(uint32_t message, const NotifyIconData& data) {
  NOTIFYICONDATAW rec{};
  rec.cbSize = sizeof(rec);  // the whole record, balloon, GUID and balloon icon included
  rec.hWnd = H(data.window);
  rec.uID = data.id;
  rec.uFlags = data.flags;
  rec.uCallbackMessage = data.callbackMessage;
  rec.hIcon = reinterpret_cast<HICON>(data.icon);
  const size_t n = std::min(data.tip.size(), std::size(rec.szTip) - 1);
  std::wmemcpy(rec.szTip, data.tip.c_str(), n);
  rec.szTip[n] = L'\0';
  return ::Shell_NotifyIconW(message, &rec) != FALSE;
}

// ---------------- Common ----------------

uint32_t Win32WindowSystem::GetTickCount() { return ::GetTickCount(); }
void Win32WindowSystem::Sleep(uint32_t ms) { ::Sleep(ms); }
uint32_t Win32WindowSystem::GetLastError() { return ::GetLastError(); }
void Win32WindowSystem::SetLastError(uint32_t code) { ::SetLastError(code); }

std::wstring Win32WindowSystem::ErrorText(uint32_t code) {
  KeepLastError keep;  // asking for a text must not change the error being reported
  wchar_t text[1024] = {};
  const DWORD got = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                     text, 1024, nullptr);
  return std::wstring(text, got);
}

std::wstring Win32WindowSystem::LocalTimeText() {
  // The user's long time format with the milliseconds right after the seconds ("14:03:22.417",
  // "2:03:22.417 PM"): a log of moves a few milliseconds apart cannot be read without them. The
  // format has no field for them, so they go in as a quoted literal behind its "ss".
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  wchar_t picture[80] = {};
  std::wstring format;
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIMEFORMAT, picture, 80) > 0) format = picture;
  const std::wstring ms = Format(L".%03u", static_cast<unsigned>(now.wMilliseconds));
  const size_t seconds = format.find(L"ss");
  wchar_t text[160] = {};
  if (seconds != std::wstring::npos) {
    format.insert(seconds + 2, std::wstring(L"'") + ms + L"'");
    if (::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, format.c_str(), text, 160) > 0) return text;
  }
  // A format without seconds (or one the call refuses): the milliseconds at the end.
  if (::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &now, nullptr, text, 160) <= 0) return std::wstring();
  return std::wstring(text) + ms;
}

std::wstring Win32WindowSystem::DecimalSeparator() {
  KeepLastError keep;
  wchar_t text[16] = {};  // the locale allows at most 3 characters
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text, 16) <= 0 || text[0] == L'\0') return L".";
  return text;
}

bool Win32WindowSystem::SetClipboardText(const std::wstring& text) {
  // A clipboard opened without an owner cannot be written after emptying it.
  if (s_->clipboardOwner == nullptr) {
    s_->clipboardOwner = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           ::GetModuleHandleW(nullptr), nullptr);
    if (s_->clipboardOwner == nullptr) return false;
  }
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  // Windows alone, which throws nothing: the owner needs no unwind path.
  return [&]() noexcept {
    OwnedGlobal mem(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!mem) return false;
    void* p = ::GlobalLock(mem.get());
    if (p == nullptr) return false;
    std::memcpy(p, text.c_str(), bytes);
    ::GlobalUnlock(mem.get());
    if (!::OpenClipboard(s_->clipboardOwner)) return false;
    if (!::EmptyClipboard() || ::SetClipboardData(CF_UNICODETEXT, mem.get()) == nullptr) {
      KeepLastError keep;
      ::CloseClipboard();
      return false;  // the clipboard did not take it: the owner frees it
    }
    (void)mem.release();  // the clipboard's now
    return ::CloseClipboard() != FALSE;
  }();
}

bool Win32WindowSystem::GetClipboardText(std::wstring& text) {
  if (!::OpenClipboard(nullptr)) return false;
  const HANDLE mem = ::GetClipboardData(CF_UNICODETEXT);
  const auto* p = mem != nullptr ? static_cast<const wchar_t*>(::GlobalLock(mem)) : nullptr;
  if (p == nullptr) {
    KeepLastError keep;
    ::CloseClipboard();
    return false;
  }
  // Bounded by the block's size: a text without its terminator must not be overrun.
  const size_t capacity = ::GlobalSize(mem) / sizeof(wchar_t);
  text.assign(p, wcsnlen(p, capacity));
  ::GlobalUnlock(mem);
  ::CloseClipboard();
  return true;
}

int32_t Win32WindowSystem::MessageBoxW(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                                       uint32_t flags) {
  return ::MessageBoxW(H(owner), text.c_str(), caption.c_str(), flags);
}

}  // namespace tessary::win32
