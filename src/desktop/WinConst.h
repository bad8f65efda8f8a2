// The platform's numeric constants, so that portable code never needs <windows.h>.
// Values are the published Windows ones; the Win32 backend checks them with static_asserts.
#pragma once
#include <cstdint>

namespace tessary::wc {

// GetWindow
inline constexpr uint32_t GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3,
                          GW_OWNER = 4, GW_CHILD = 5;
// GetAncestor
inline constexpr uint32_t GA_PARENT = 1, GA_ROOT = 2, GA_ROOTOWNER = 3;
// GetWindowLong
inline constexpr int32_t GWL_STYLE = -16, GWL_EXSTYLE = -20;
// GetClassLongPtr
inline constexpr int32_t GCLP_HICON = -14, GCLP_HICONSM = -34;

// Window styles
inline constexpr uint32_t WS_OVERLAPPED = 0x00000000u, WS_POPUP = 0x80000000u, WS_CHILD = 0x40000000u,
                          WS_MINIMIZE = 0x20000000u, WS_VISIBLE = 0x10000000u, WS_DISABLED = 0x08000000u,
                          WS_CLIPSIBLINGS = 0x04000000u, WS_CLIPCHILDREN = 0x02000000u,
                          WS_MAXIMIZE = 0x01000000u, WS_CAPTION = 0x00C00000u, WS_BORDER = 0x00800000u,
                          WS_DLGFRAME = 0x00400000u, WS_VSCROLL = 0x00200000u, WS_HSCROLL = 0x00100000u,
                          WS_SYSMENU = 0x00080000u, WS_THICKFRAME = 0x00040000u, WS_MINIMIZEBOX = 0x00020000u,
                          WS_MAXIMIZEBOX = 0x00010000u, WS_TABSTOP = 0x00010000u,
                          WS_OVERLAPPEDWINDOW = 0x00CF0000u;
// Extended window styles
inline constexpr uint32_t WS_EX_DLGMODALFRAME = 0x00000001u, WS_EX_NOPARENTNOTIFY = 0x00000004u,
                          WS_EX_TOPMOST = 0x00000008u, WS_EX_ACCEPTFILES = 0x00000010u,
                          WS_EX_TRANSPARENT = 0x00000020u, WS_EX_MDICHILD = 0x00000040u,
                          WS_EX_TOOLWINDOW = 0x00000080u, WS_EX_WINDOWEDGE = 0x00000100u,
                          WS_EX_CLIENTEDGE = 0x00000200u, WS_EX_CONTEXTHELP = 0x00000400u,
                          WS_EX_RIGHT = 0x00001000u, WS_EX_RTLREADING = 0x00002000u,
                          WS_EX_LEFTSCROLLBAR = 0x00004000u, WS_EX_CONTROLPARENT = 0x00010000u,
                          WS_EX_STATICEDGE = 0x00020000u, WS_EX_APPWINDOW = 0x00040000u,
                          WS_EX_LAYERED = 0x00080000u, WS_EX_NOINHERITLAYOUT = 0x00100000u,
                          WS_EX_LAYOUTRTL = 0x00400000u, WS_EX_COMPOSITED = 0x02000000u,
                          WS_EX_NOACTIVATE = 0x08000000u;
// Class styles
inline constexpr uint32_t CS_VREDRAW = 0x0001u, CS_HREDRAW = 0x0002u, CS_DBLCLKS = 0x0008u,
                          CS_SAVEBITS = 0x0800u;

// SetWindowPos
inline constexpr uint32_t SWP_NOSIZE = 0x0001u, SWP_NOMOVE = 0x0002u, SWP_NOZORDER = 0x0004u,
                          SWP_NOREDRAW = 0x0008u, SWP_NOACTIVATE = 0x0010u, SWP_FRAMECHANGED = 0x0020u,
                          SWP_SHOWWINDOW = 0x0040u, SWP_HIDEWINDOW = 0x0080u, SWP_NOCOPYBITS = 0x0100u,
                          SWP_NOOWNERZORDER = 0x0200u, SWP_NOSENDCHANGING = 0x0400u,
                          SWP_ASYNCWINDOWPOS = 0x4000u;
// Special insert-after handles, as the unsigned handle values the platform uses.
inline constexpr uintptr_t HWND_TOP = 0, HWND_BOTTOM = 1, HWND_TOPMOST = UINTPTR_MAX,
                           HWND_NOTOPMOST = UINTPTR_MAX - 1, HWND_MESSAGE = UINTPTR_MAX - 2;

// RedrawWindow
inline constexpr uint32_t RDW_INVALIDATE = 0x0001u, RDW_ERASE = 0x0004u, RDW_ALLCHILDREN = 0x0080u,
                          RDW_UPDATENOW = 0x0100u, RDW_FRAME = 0x0400u;

// ShowWindow
inline constexpr int32_t SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWMINIMIZED = 2, SW_MAXIMIZE = 3,
                         SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7,
                         SW_SHOWNA = 8, SW_RESTORE = 9;

// MonitorFromWindow / MonitorFromPoint
inline constexpr uint32_t MONITOR_DEFAULTTONULL = 0, MONITOR_DEFAULTTOPRIMARY = 1,
                          MONITOR_DEFAULTTONEAREST = 2;

// SystemParametersInfo
inline constexpr uint32_t SPI_GETKEYBOARDSPEED = 0x000A, SPI_GETKEYBOARDDELAY = 0x0016,
                          SPI_GETWORKAREA = 0x0030, SPI_GETFOREGROUNDLOCKTIMEOUT = 0x2000,
                          SPI_SETFOREGROUNDLOCKTIMEOUT = 0x2001;
inline constexpr uint32_t SPIF_UPDATEINIFILE = 1, SPIF_SENDCHANGE = 2;

// SHAppBarMessage edges
inline constexpr uint32_t ABE_LEFT = 0, ABE_TOP = 1, ABE_RIGHT = 2, ABE_BOTTOM = 3;

// Messages
inline constexpr uint32_t WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003,
                          WM_SIZE = 0x0005, WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_CLOSE = 0x0010,
                          WM_QUIT = 0x0012, WM_SHOWWINDOW = 0x0018, WM_ACTIVATEAPP = 0x001C,
                          WM_MOUSEACTIVATE = 0x0021, WM_WINDOWPOSCHANGING = 0x0046,
                          WM_WINDOWPOSCHANGED = 0x0047, WM_COPYDATA = 0x004A, WM_GETICON = 0x007F,
                          WM_SETICON = 0x0080, WM_NCACTIVATE = 0x0086, WM_GETDLGCODE = 0x0087,
                          WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102, WM_SYSKEYDOWN = 0x0104,
                          WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106, WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112,
                          WM_TIMER = 0x0113, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
                          WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206,
                          WM_DEVICECHANGE = 0x0219, WM_DPICHANGED = 0x02E0, WM_HOTKEY = 0x0312,
                          WM_DISPLAYCHANGE = 0x007E, WM_USER = 0x0400, WM_APP = 0x8000;
inline constexpr int32_t MA_ACTIVATE = 1, MA_NOACTIVATE = 3;
// WM_GETDLGCODE answers; WM_ACTIVATE's low word
inline constexpr uint32_t DLGC_WANTARROWS = 0x0001, DLGC_WANTTAB = 0x0002, DLGC_WANTALLKEYS = 0x0004;
inline constexpr uint32_t WA_INACTIVE = 0;
// WM_GETICON kinds
inline constexpr uintptr_t ICON_SMALL = 0, ICON_BIG = 1, ICON_SMALL2 = 2;
// SendMessageTimeout
inline constexpr uint32_t SMTO_NORMAL = 0, SMTO_BLOCK = 1, SMTO_ABORTIFHUNG = 2;
// WM_DEVICECHANGE events and broadcast device types
inline constexpr uintptr_t DBT_DEVICEARRIVAL = 0x8000, DBT_DEVICEREMOVECOMPLETE = 0x8004,
                           DBT_DEVNODES_CHANGED = 0x0007;
inline constexpr uint32_t DBT_DEVTYP_DEVICEINTERFACE = 5;
inline constexpr uint32_t DEVICE_NOTIFY_WINDOW_HANDLE = 0;

// Hotkey modifiers
inline constexpr uint32_t MOD_ALT = 0x0001, MOD_CONTROL = 0x0002, MOD_SHIFT = 0x0004, MOD_WIN = 0x0008,
                          MOD_NOREPEAT = 0x4000;
// Virtual keys
inline constexpr uint16_t VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                          VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14,
                          VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
                          VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
                          VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_LWIN = 0x5B,
                          VK_RWIN = 0x5C, VK_F1 = 0x70, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91,
                          VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3,
                          VK_LMENU = 0xA4, VK_RMENU = 0xA5;
// keybd_event
inline constexpr uint32_t KEYEVENTF_EXTENDEDKEY = 0x0001, KEYEVENTF_KEYUP = 0x0002;
// MapVirtualKey
inline constexpr uint32_t MAPVK_VK_TO_VSC = 0, MAPVK_VSC_TO_VK = 1, MAPVK_VK_TO_CHAR = 2;

// Message box
inline constexpr uint32_t MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNO = 0x4, MB_ICONERROR = 0x10,
                          MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40,
                          MB_TOPMOST = 0x40000;
inline constexpr int32_t IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;

// Shell_NotifyIcon
inline constexpr uint32_t NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2;
inline constexpr uint32_t NIF_MESSAGE = 0x1, NIF_ICON = 0x2, NIF_TIP = 0x4;
// GetSystemMetrics
inline constexpr int32_t SM_CXSMICON = 49;

// Processes and tokens
inline constexpr uint32_t PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
inline constexpr uint32_t TOKEN_QUERY = 0x0008, TOKEN_QUERY_SOURCE = 0x0010;
inline constexpr uint32_t SECURITY_MANDATORY_LOW_RID = 0x1000, SECURITY_MANDATORY_MEDIUM_RID = 0x2000,
                          SECURITY_MANDATORY_HIGH_RID = 0x3000, SECURITY_MANDATORY_SYSTEM_RID = 0x4000;

// Special folders
inline constexpr int32_t CSIDL_APPDATA = 26, CSIDL_PROGRAM_FILES = 38, CSIDL_PROGRAM_FILESX86 = 42;

// DwmGetWindowAttribute
inline constexpr uint32_t DWMWA_CLOAKED = 14;
inline constexpr int32_t S_OK = 0;
inline constexpr int32_t E_NOTIMPL = static_cast<int32_t>(0x80004001u);
inline constexpr int32_t E_INVALIDARG = static_cast<int32_t>(0x80070057u);

// Error codes
inline constexpr uint32_t ERROR_SUCCESS = 0, ERROR_FILE_NOT_FOUND = 2, ERROR_PATH_NOT_FOUND = 3,
                          ERROR_ACCESS_DENIED = 5, ERROR_INVALID_HANDLE = 6, ERROR_NOT_ENOUGH_MEMORY = 8,
                          ERROR_INVALID_PARAMETER = 87, ERROR_INSUFFICIENT_BUFFER = 122,
                          ERROR_FILE_TOO_LARGE = 223,
                          ERROR_ALREADY_EXISTS = 183, ERROR_TIMEOUT = 1460,
                          ERROR_INVALID_WINDOW_HANDLE = 1400, ERROR_HOTKEY_ALREADY_REGISTERED = 1409,
                          ERROR_HOTKEY_NOT_REGISTERED = 1419, ERROR_CLASS_ALREADY_EXISTS = 1410,
                          ERROR_SHARING_VIOLATION = 32, ERROR_DISK_FULL = 112, ERROR_NOT_ENOUGH_QUOTA = 1816,
                          ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;

}  // namespace tessary::wc
