// A simulated Windows desktop: SimWindowSystem is the window-system interface in memory, faithful
// to what Windows does for the operations the program uses; SimDesktop adds the controls for tests
// on top of it (never on the interface). Time is virtual: GetTickCount moves only when something
// sleeps or a test advances it.
#pragma once
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/WindowSystem.h"

namespace tessary {
std::ostream& operator<<(std::ostream& o, Op op);  // its name, for test messages
}  // namespace tessary

namespace tessary::sim {

struct WindowSpec {
  std::wstring className = L"SimWindow";
  std::wstring title;
  TRect rect{100, 100, 900, 700};  // the normal (restore) rectangle
  uint32_t style = wc::WS_OVERLAPPEDWINDOW;
  uint32_t exStyle = 0;
  bool visible = true;
  bool minimized = false;
  bool maximized = false;
  WindowHandle parent = 0;  // child window when non-zero
  WindowHandle owner = 0;   // owned top-level window when non-zero
  bool cloaked = false;
  uint32_t pid = 0;  // 0: a new process "app.exe"
  uint32_t tid = 0;  // 0: the process's main thread
};

struct MessageBoxRecord {
  WindowHandle owner;
  std::wstring text;
  std::wstring caption;
  uint32_t flags;
};

struct KeyEventRecord {
  uint8_t vk;
  uint8_t scan;
  uint32_t flags;
};

struct SimSent;
struct SimWin;

// The model: the window-system interface in memory and nothing else. The program sees only this.
class SimWindowSystem : public IWindowSystem {
 public:
  ~SimWindowSystem() override;
  SimWindowSystem(const SimWindowSystem&) = delete;
  SimWindowSystem& operator=(const SimWindowSystem&) = delete;

  // What the model and the test controls both speak of (the controls say what they mean).
  static constexpr uint32_t kCountedHungMs = 5000;
  static constexpr uint32_t kHangMs = 60000;
  enum class FaultKind { Error, Vanished, Timeout, MonitorGone, PartialWrite };
  static const char* FaultKindName(FaultKind kind);
  struct NumberedCall {
    Op op;
    std::vector<FaultKind> kinds;  // the ways this call, with its arguments, can fail
  };
  struct InjectedFault {
    uint64_t number = 0;
    Op op = Op::GetForegroundWindow;
    FaultKind kind = FaultKind::Error;
    uint32_t code = 0;   // the last error it left (0: none, as for a vanished window)
    bool fitted = true;  // false: call k did not fit the kind (a run that took another path)
  };
  struct RunBudget {
    uint64_t virtualMs = 0;
    uint64_t messages = 0;
    uint64_t calls = 0;
  };
  struct RunBudgetExceeded {
    std::string what;
  };

  TESSARY_OPS(TESSARY_OP_OVERRIDE)

 protected:
  // The desktop starts with its desktop window, shell window and taskbar ("Shell_TrayWnd",
  // process "explorer.exe"), the program's own process "Tessary.exe" and no monitors.
  SimWindowSystem();

  struct State;
  void RunSent(std::unique_lock<std::mutex>& lk, const std::shared_ptr<SimSent>& call);
  // A call that waits for a thread that does not respond: recorded, and the clock moves on.
  void SufferHang(std::unique_lock<std::mutex>& lk, Op op);
  // The WhileWaitingFor action for h, if any; false when h went meanwhile.
  bool RunWhileWaiting(std::unique_lock<std::mutex>& lk, WindowHandle h);
  // Hands a message to another real thread of this process and waits until it has answered it;
  // false (1400) when the window went first.
  bool SendToThread(std::unique_lock<std::mutex>& lk, const SimWin& w, uint32_t msg, uintptr_t wParam,
                    intptr_t lParam, intptr_t& result);
  uint32_t RegisterMessageL(const std::wstring& name);
  // Virtual time moves: scheduled actions run, timers come due (test control, and what a sleep does).
  void AdvanceTime(uint32_t ms);
  std::unique_ptr<State> s_;
};

// The model with the test controls: what a test holds to set the scene, act as the user or the
// system, inject faults and read what the program did.
class SimDesktop final : public SimWindowSystem {
 public:
  SimDesktop() = default;

  // ---------------- test controls ----------------
  // Monitors, in enumeration order. work defaults to the bounds less a 40-pixel taskbar strip
  // at the bottom of the primary; the first monitor added is primary unless one says so.
  MonitorHandle AddMonitor(TRect bounds, std::optional<TRect> work = std::nullopt, bool primary = false);
  void RemoveMonitor(MonitorHandle m);
  void SetMonitorBounds(MonitorHandle m, TRect bounds, std::optional<TRect> work = std::nullopt);
  void ClearMonitors();
  // Convenience: side-by-side / stacked layouts as a list of rectangles (first is primary).
  void SetLayout(const std::vector<TRect>& monitors);
  void SetMonitorDpi(MonitorHandle m, uint32_t dpi);
  // The device interface path EnumMonitors and GetMonitorInfo report: empty until set (as for a
  // display with no monitor device behind it); it stays with the monitor when its bounds change.
  void SetMonitorDevicePath(MonitorHandle m, const std::wstring& path);

  // Processes and threads.
  uint32_t AddProcess(const std::wstring& exeName, uint32_t integrityRid = wc::SECURITY_MANDATORY_MEDIUM_RID,
                      bool tokenOpens = true);
  uint32_t AddThread(uint32_t pid);
  void RemoveProcess(uint32_t pid);  // its windows vanish with it
  uint32_t OwnProcessId() const;
  uint32_t UiThreadId() const;
  void SetEnableLua(std::optional<uint32_t> value);  // nullopt: the value is absent
  void SetVersion(uint32_t version);                 // GetVersion's answer
  void SetDebuggerPresent(bool present);

  // Windows of other programs, created on top of their z-order band (topmost windows above the rest).
  WindowHandle AddWindow(const WindowSpec& desc);
  void RemoveWindow(WindowHandle h);  // vanishes without messages, as a crashed program's window
  void SetForeground(WindowHandle h);  // as the user clicking it: activates and raises
  // The system itself moves a window (as when its monitor goes away): no rights are checked, a
  // maximized window stays maximized at the new place.
  void MoveWindowAsSystem(WindowHandle h, TRect r);
  void SetCursor(TPoint p);
  void SetWindowIcon(WindowHandle h, IconHandle big, IconHandle small, IconHandle classBig, IconHandle classSmall);
  // The window's thread stops (or starts again) taking its messages, as a program stuck in a long
  // computation. hungForMs: how long it has not looked at them already; from kCountedHungMs on the
  // system counts it as hung (IsHungAppWindow), and SendMessageTimeout with SMTO_ABORTIFHUNG gives
  // up at once instead of waiting its time-out. What waits for such a thread, as measured under
  // Wine (it blocks there until the program answers): SendMessageW, SendCopyData, SetWindowPos
  // without SWP_ASYNCWINDOWPOS, BringWindowToTop, ShowWindow, RedrawWindow with RDW_UPDATENOW,
  // the window text of a window of another thread of this process, and activating any window while
  // this thread shares its input (AttachThreadInput) with the thread of such a foreground window.
  // Such a call is recorded in HangsSuffered, moves the virtual clock by kHangMs and then completes
  // as if the program had answered; the window stays hung. SWP_ASYNCWINDOWPOS placements wait in
  // its queue until it takes its messages again. Not waiting: SendMessageTimeoutW (time-out),
  // SetForegroundWindow of it, AttachThreadInput, PostMessageW and every query.
  void SetHung(WindowHandle h, bool hung, uint32_t hungForMs = kCountedHungMs);
  // A thread that waits for another thread to answer still handles the messages sent to it
  // meanwhile (as Windows does inside SendMessage and every call that hands work to the window's
  // thread). For windows of other programs, whose answers are not modelled: the next call of this
  // process that waits for h's thread (SetWindowPos without SWP_ASYNCWINDOWPOS, RedrawWindow with
  // RDW_UPDATENOW, SendMessageW, SendMessageTimeoutW) runs action on the waiting thread before the
  // program answers and the call takes effect, as a message sent meanwhile. One call each; several
  // actions wait their turns.
  void WhileWaitingFor(WindowHandle h, std::function<void()> action);
  // A window manager that answers placements late (Wine under an X window manager does; Windows
  // never): after every placement of h that changes its rectangle, h reports and shows the
  // rectangle it had before that placement from afterMs to afterMs + forMs after it, and then
  // the place it was given last. afterMs 0: each placement shows forMs late; afterMs > 0: the
  // window reads its new place, then flips back once. forMs 0 ends the mode.
  void EchoPlacements(WindowHandle h, uint32_t afterMs, uint32_t forMs);
  // The operations that waited for a thread that did not respond, in call order.
  std::vector<Op> HangsSuffered() const;
  // Windows keep the foreground lock: SetForegroundWindow from a process that is not the
  // foreground one only flashes the taskbar button unless the lock timeout is 0.
  void SetForegroundLockEnforced(bool enforced);
  // Bottom-to-top is the reverse; top-level windows in z-order, top first.
  std::vector<WindowHandle> ZOrder() const;
  TRect RestoreRect(WindowHandle h) const;  // the normal rectangle of a minimized/maximized window

  // Keyboard.
  void SetKeyQueueState(int32_t vk, bool down);     // GetKeyState
  void SetKeyPhysicalState(int32_t vk, bool down);  // GetAsyncKeyState
  void SetKeyToggled(int32_t vk, bool on);          // low bit of GetKeyState
  const std::vector<KeyEventRecord>& KeyEvents() const;
  void ClearKeyEvents();
  // Another keyboard layout: what MapVirtualKeyW(vk, MAPVK_VK_TO_CHAR) answers for vk (high bit
  // set for a dead key, as Windows does).
  void SetLayoutChar(uint32_t vk, uint32_t answer);
  // The keyboard repeat speed setting, 0 (about 2.5 a second) to 31 (about 30 a second).
  void SetKeyboardSpeed(uint32_t speed);
  // The user presses a registered combination: vk goes physically down and WM_HOTKEY is posted;
  // false when none is registered. Pressed again while vk is still down, it is the keyboard's
  // auto-repeat of a held key (which Windows leaves out for MOD_NOREPEAT and Wine does not).
  // SetKeyPhysicalState(vk, false) lets go; the key-release watch sees it at once.
  bool PressHotkey(uint32_t modifiers, uint32_t vk);
  // Registrations held by other programs: RegisterHotKey for them fails with 1409.
  void ReserveHotkey(uint32_t modifiers, uint32_t vk);

  // Faults: the next `count` calls (or all, count < 0) of the named operation fail with `code`.
  // With skip, that many calls
  // still succeed first (to fail, say, only the second of three calls).
  void FailOperation(Op op, uint32_t code, int count = 1, int skip = 0);
  void ClearFaults();
  int CallCount(Op op) const;  // calls made so far of the operation
  void ResetCallCounts();

  // Faults by call number. Once numbering starts, every call of an operation that can fail on
  // Windows is numbered from 1 in call order (across threads) and recorded with the ways it can
  // fail there; FailCallNumber makes call k fail one of those ways:
  //   Error       the operation's failure value and a fitting last error (5, 1409, 112, ...)
  //   Vanished    the window the call is about (another program's) is destroyed just before it
  //   Timeout     the sent message times out (ERROR_TIMEOUT)
  //   MonitorGone the monitor the call asks about (not the primary) goes just before it; as
  //               Windows does, its windows move to the same place on the primary
  //   PartialWrite the file is created and half written, then the disk is full (112), as a
  //               CreateFile(CREATE_ALWAYS) + WriteFile that fails leaves it
  // Operations Windows documents as never failing (GetTickCount, Sleep, GetCurrentProcessId,
  // KillTimer of an own timer, DestroyWindow of an own window, ...) are not numbered:
  // CannotFail() lists them.
  static std::vector<Op> CannotFail();
  void StartCallNumbering();  // numbering from 1, record cleared, no fault planned
  std::vector<NumberedCall> NumberedCalls() const;
  void FailCallNumber(uint64_t number, FaultKind kind);  // 0: none
  // The number of a registered window message, as RegisterWindowMessageW gives it, without being
  // a call of the program (no count, no fault): for the simulated user's own messages.
  uint32_t RegisteredMessage(const std::wstring& name);
  // While paused, calls are not numbered (a test's own calls among the program's).
  void PauseCallNumbering(bool paused);
  std::optional<InjectedFault> Injected() const;  // once call `number` was made
  // Every whole content a file was given (written, or moved into place) since numbering started,
  // in order: path as written, bytes.
  std::vector<std::pair<std::wstring, std::vector<uint8_t>>> FileHistory() const;

  // A bound on a run: once the virtual time has moved virtualMs since it was set, or the program's
  // pumps dispatched more than `messages` messages or it made more than `calls` calls, the sim records it and
  // every later Sleep, PumpOneMessage and ProcessPendingMessages throws RunBudgetExceeded, so that
  // a loop that would never end unwinds. Cleared by nullopt.
  void SetRunBudget(std::optional<RunBudget> budget);
  bool RunBudgetWasExceeded() const;

  // What the program holds of the desktop, for leak checks.
  struct Resources {
    size_t windows = 0;        // windows of this process
    size_t timers = 0;
    size_t hotkeys = 0;        // registrations of this process
    size_t notifications = 0;  // device notifications
    size_t kernelHandles = 0;  // open process, token, mutex and notification handles
    size_t notifyIcons = 0;    // icons of this process's windows in the notification area
    size_t icons = 0;          // loaded icons not destroyed, and icon copies not destroyed
    friend bool operator==(const Resources&, const Resources&) = default;
  };
  Resources OwnResources() const;
  // The program's process ended (a test runs it again as a new process on the same desktop): the
  // system closes every kernel handle it held, mutexes included, and its threads' queues go with
  // a quit message still waiting there.
  void OwnProcessEnded();

  // Time. Advance runs scheduled actions and fires due timers only when messages are pumped.
  using SimWindowSystem::AdvanceTime;
  void SetTickCount(uint32_t tick);  // for wrap-around tests
  // Runs action once the virtual clock has moved delayMs further (while sleeping or advancing).
  void At(uint32_t delayMs, std::function<void()> action);
  uint32_t SleepCalls() const;
  uint64_t TotalSlept() const;

  // Devices. A device interface of the class (GUID text, any case, braces optional) arrived or
  // went (wc::DBT_DEVICEARRIVAL, wc::DBT_DEVICEREMOVECOMPLETE, ...): as Windows does, WM_DEVICECHANGE
  // is sent to every window registered for that class with RegisterDeviceNotificationW, lParam
  // pointing to the window's own copy of a DEV_BROADCAST_DEVICEINTERFACE_W record: dbcc_size,
  // dbcc_devicetype 5, dbcc_reserved 0, the 16-byte class GUID, the name in UTF-16 with its zero.
  // Returns how many windows it reached.
  int DeliverDeviceInterfaceEvent(uintptr_t event, const std::wstring& classGuid, const std::wstring& name);
  // Monitor changes (AddMonitor, RemoveMonitor, SetMonitorBounds, SetLayout) post WM_DISPLAYCHANGE
  // to every top-level window of the program, hidden ones too (not to message-only or child
  // windows): wParam 32 (bits per pixel), lParam the primary's width | height << 16.

  // Shell, files and environment.
  void SetSpecialFolder(int32_t csidl, const std::wstring& path);
  void SetModuleFileName(const std::wstring& path);
  void SetCommandLineArgs(const std::vector<std::wstring>& args);
  void SetFileVersion(const std::wstring& path, uint16_t major, uint16_t minor, uint16_t release, uint16_t build);
  std::vector<std::wstring> Files() const;  // every file path in the in-memory file system
  // The read-only attribute: such a file cannot be written, deleted or replaced (5); it can be
  // read and renamed. False when there is no such file.
  bool SetFileReadOnly(const std::wstring& path, bool readOnly);
  void SetLocalTimeText(const std::wstring& text);
  void SetDecimalSeparator(const std::wstring& separator);  // "." until set
  std::vector<std::wstring> OpenedTargets() const;  // ShellExecuteOpen calls

  // Icon resources: LoadIconResource answers any id from 1 to 0xFFFF with a fresh handle that
  // remembers what it was loaded as, also after it was destroyed.
  struct LoadedIcon {
    int32_t resourceId = 0;
    int32_t size = 0;
  };
  std::optional<LoadedIcon> LoadedAs(IconHandle icon) const;
  size_t LiveIconCopies() const;  // copies made by CopyIconHandle and not yet destroyed
  IconHandle CopiedFrom(IconHandle copy) const;  // the icon a live copy was made from; 0 otherwise
  size_t LiveLoadedIcons() const;  // loaded and not yet destroyed
  // The dpi the system was started with: GetSmallIconSize is 16 scaled by it (96 by default).
  void SetSystemDpi(uint32_t dpi);

  // The notification area: the icons present, in the order they were added (NIM_ADD fails for a
  // window and id already there, NIM_MODIFY and NIM_DELETE for one that is not).
  std::vector<NotifyIconData> NotifyIcons() const;
  // The shell starts again: every icon is gone and each top-level window of the program gets
  // the registered message "TaskbarCreated" (posted).
  void RestartTaskbar();
  // The user's mouse on an icon: its window gets the callback message, wParam the id and lParam
  // the mouse message (posted). False when there is no such icon.
  bool MouseOnNotifyIcon(WindowHandle window, uint32_t id, uint32_t mouseMessage);


  // Message boxes are recorded, not shown; the answer is IDOK unless a responder is set.
  const std::vector<MessageBoxRecord>& MessageBoxes() const;
  void SetMessageBoxAnswer(int32_t answer);

};

}  // namespace tessary::sim
