// The simulated desktop's state, shared by the SimDesktop translation units. Every member is
// guarded by `mu`; helpers named *L expect the caller to hold it.
#pragma once
#include <array>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/SimDesktop.h"

namespace tessary::sim {

// Where Windows puts a minimized top-level window.
constexpr TRect kMinRect{-32000, -32000, -32000 + 160, -32000 + 28};

// A placement asked for with SWP_ASYNCWINDOWPOS while the window's thread did not respond: it
// waits in that thread's queue.
struct SimDeferredPos {
  WindowHandle insertAfter;
  int32_t x, y, cx, cy;
  uint32_t flags;
};

struct SimWin {
  WindowHandle h = 0;
  std::wstring cls, title;
  TRect rect;     // what GetWindowRect reports
  TRect restore;  // the normal rectangle (equals rect for a normal window)
  TRect maxFrom;  // where a minimized window was maximized
  uint32_t style = 0, ex = 0, classStyle = 0;
  bool cloaked = false, hung = false, restoreToMax = false, messageOnly = false, destroying = false;
  uint64_t hungCountedAt = 0;  // virtual time from which the system counts its thread as hung
  std::vector<SimDeferredPos> deferred;
  // EchoPlacements: given is the place the last placement asked for, which rect only reports
  // once the window manager has caught up.
  uint32_t echoAfter = 0, echoFor = 0;
  TRect given;
  WindowHandle parent = 0, owner = 0;
  uint32_t pid = 0, tid = 0;
  std::shared_ptr<WindowProc> proc;
  IconHandle big = 0, small = 0, clsBig = 0, clsSmall = 0;
  std::vector<WindowHandle> children;  // z-order, top first
  size_t ownedCount = 0;  // windows whose owner this is; lets z-order changes skip the owned search
};

struct SimMon {
  MonitorHandle h = 0;
  TRect bounds, work;
  bool primary = false;
  std::wstring name;
  std::wstring path;  // device interface path
  uint32_t dpi = 96;
};

struct SimProc {
  uint32_t pid = 0;
  std::wstring exe;
  uint32_t rid = 0;
  bool tokenOpens = true;
  std::vector<uint32_t> threads;
};

enum class KKind { Process, Token, Mutex, DevNotify };
struct KObj {
  KKind kind = KKind::Process;
  uint32_t pid = 0, rid = 0;
  bool tokenOpens = false;
  std::wstring name;  // mutex name
  WindowHandle wnd = 0;
  std::wstring guid;
};

struct SimMsg {
  WindowHandle h;
  uint32_t msg;
  uintptr_t w;
  intptr_t l;
  uint32_t time = 0;  // GetTickCount when posted
};

// A message sent to a window of another thread: it waits in that thread's queue of sent
// messages until the thread pumps, and its sender waits for the answer.
struct SimSent {
  WindowHandle h = 0;
  uint32_t msg = 0;
  uintptr_t w = 0;
  intptr_t l = 0;
  intptr_t result = 0;
  bool taken = false, done = false;
};

struct SimTimer {
  WindowHandle h;
  uintptr_t id;
  uint32_t elapse;
  uint64_t due;
};

struct SimAction {
  uint64_t due;
  uint64_t seq;
  std::function<void()> fn;
};

struct SimHotkey {
  WindowHandle h;
  int32_t id;
  uint32_t mods, vk;
  uint32_t tid;
};

struct ThreadCtx {
  uint32_t tid = 0;
  uint32_t lastError = 0;
  uint32_t messageTime = 0;  // of the message last taken from its queue
};

struct SimFile {
  std::wstring path;  // as first written
  std::vector<uint8_t> bytes;
  bool readOnly = false;
};

// The frame's thickness at each side and the caption's height, as the sim draws windows.
inline void FrameOf(const SimWin& w, int32_t& side, int32_t& caption) {
  side = (w.style & wc::WS_THICKFRAME) ? 8 : (w.style & wc::WS_DLGFRAME) ? 3 : (w.style & wc::WS_BORDER) ? 1 : 0;
  caption = (w.style & wc::WS_CAPTION) == wc::WS_CAPTION ? 23 : 0;
}

// Messages the sim sends that the portable constants do not name.
inline constexpr uint32_t kWmKillFocus = 0x0008, kWmPaint = 0x000F;

// What a numbered fault acts on: the window or monitor the call is about, or the point it asks for.
struct FaultTarget {
  WindowHandle window = 0;
  MonitorHandle monitor = 0;
  std::optional<TPoint> point;
  static FaultTarget Window(WindowHandle h) { return FaultTarget{h, 0, std::nullopt}; }
  static FaultTarget Monitor(MonitorHandle m) { return FaultTarget{0, m, std::nullopt}; }
  static FaultTarget Point(TPoint p) { return FaultTarget{0, 0, p}; }
};

// How an operation that can fail on Windows fails: one row of the table in SimFaults.cpp.
struct FaultRow {
  Op op;
  uint32_t error = 0;        // the last error of an Error failure; 0 with errorKind false: none
  bool errorKind = false;    // fails with `error` (an error code, or 0 where Windows sets none)
  bool timeout = false;      // a sent message times out (ERROR_TIMEOUT)
  bool vanish = false;       // the window the call is about is destroyed just before it
  bool monitorGone = false;  // the monitor the call asks about goes just before it
  bool partialWrite = false; // the file is created and part written, then the disk is full
};
const FaultRow* FindFaultRow(Op op);  // nullptr: the operation is never numbered

struct FaultSpec {
  uint32_t code;
  int count;
  int skip = 0;  // calls that still succeed before the faults begin
};

struct SimWindowSystem::State {
  mutable std::mutex mu;
  std::map<uint32_t, uint32_t> layoutChars;  // SetLayoutChar

  // windows
  std::map<WindowHandle, SimWin> wins;
  std::vector<WindowHandle> top;  // top-level z-order, top first; shell window always last
  size_t topmostListed = 0;       // entries of `top` whose window is WS_EX_TOPMOST
  mutable size_t zHint = 0;       // where GetWindow last found a window in its sibling list
  WindowHandle nextHwnd = 0x10010;
  WindowHandle desktop = 0, shell = 0, tray = 0;
  WindowHandle fg = 0, focus = 0;
  bool lockEnforced = true;
  uint32_t lastInputPid = 0;    // the process that received the user's last input
  uint64_t lastInputTime = 0;
  uint32_t lockTimeout = 200000;
  uint32_t keyboardSpeed = 31;  // SPI_GETKEYBOARDSPEED, 0..31
  std::set<std::pair<uint32_t, uint32_t>> attached;  // (from, to) thread pairs
  TPoint cursor{0, 0};

  // monitors
  std::vector<SimMon> mons;
  MonitorHandle nextMon = 0x65001;
  int nextDisplayNo = 1;

  // processes, threads and kernel objects
  std::map<uint32_t, SimProc> procs;
  std::map<uint32_t, uint32_t> threadPid;
  uint32_t nextId = 1000;  // process and thread ids share one space, multiples of 4
  uint32_t ownPid = 0, uiTid = 0, explorerPid = 0, csrssPid = 0;
  bool uiTaken = false;
  std::map<std::thread::id, ThreadCtx> ctx;
  std::map<KernelHandle, KObj> kobjs;
  KernelHandle nextK = 0x100;
  std::map<std::wstring, int> mutexRefs;  // name -> open handles
  std::optional<uint32_t> enableLua = 1u;
  uint32_t version = 0x4A61000Au;  // Windows 10 build 19041, as a manifested program sees it
  bool debugger = false;

  // messages and timers
  std::map<uint32_t, std::deque<SimMsg>> queues;  // by thread id
  std::map<uint32_t, std::deque<std::shared_ptr<SimSent>>> sent;  // by the receiving thread's id
  std::condition_variable sentCv;  // a sent message was answered or its window went
  std::set<uint32_t> quitPosted;
  std::vector<SimTimer> timers;
  std::map<std::wstring, uint32_t> regMsgs;
  // String values by key path ("HKCU\\software\\...") and value name, both lower-case.
  std::map<std::wstring, std::map<std::wstring, std::wstring>> registry;
  std::map<std::wstring, uint32_t> classStyles;  // class name -> CS_* of its windows
  uint32_t nextRegMsg = 0xC0F0;

  // keyboard and hotkeys
  uint8_t keyQueue[256] = {};
  bool keyPhys[256] = {};
  std::vector<KeyEventRecord> keyEvents;
  std::vector<SimHotkey> hotkeys;
  std::vector<std::pair<uint32_t, uint32_t>> reserved;
  // The key-release watch: it sees a release the moment it happens (Windows polls).
  int32_t watchedVk = -1;
  bool releaseSeen = false;
  uint32_t releaseTick = 0;

  // calls that waited for a thread that does not respond
  std::vector<Op> hangs;
  // Actions that run in this process's next call that waits for a window's thread (WhileWaitingFor).
  std::map<WindowHandle, std::deque<std::function<void()>>> whileWaiting;

  // faults
  std::map<Op, FaultSpec> faults;
  std::array<int, kOpCount> calls{};  // by Op
  // numbered faults (SimFaults.cpp)
  bool numbering = false, numberingPaused = false;
  uint64_t callNo = 0;
  std::vector<SimDesktop::NumberedCall> numbered;
  uint64_t failNo = 0;
  SimDesktop::FaultKind failKind = SimDesktop::FaultKind::Error;
  std::optional<SimDesktop::InjectedFault> injected;
  bool partialWrite = false;  // the current WriteWholeFile writes a part and fails
  std::vector<std::pair<std::wstring, std::vector<uint8_t>>> fileHistory;  // while numbering
  void NoteFileL(const std::wstring& key) {
    if (numbering) fileHistory.emplace_back(files[key].path, files[key].bytes);
  }
  std::optional<SimDesktop::RunBudget> budget;
  uint64_t dispatched = 0;  // messages the program's pumps dispatched
  uint64_t budgetFrom = 0, budgetMessages = 0, budgetCalls = 0;
  bool budgetExceeded = false;
  std::string budgetWhat;

  // time
  uint64_t now = 0;
  uint32_t tickBase = 1000000;
  std::vector<SimAction> actions;
  uint64_t actionSeq = 0;
  uint32_t sleepCalls = 0;
  uint64_t totalSlept = 0;

  // shell, files, misc
  std::map<int32_t, std::wstring> folders;
  std::wstring modulePath;
  std::vector<std::wstring> args;
  std::map<std::wstring, std::vector<uint16_t>> fileVersions;  // lower-case path
  std::map<std::wstring, SimFile> files;                      // lower-case path
  std::map<std::wstring, std::wstring> dirs;                   // lower-case path -> path
  std::optional<std::wstring> localTime;
  std::wstring decimal = L".";
  std::vector<std::wstring> opened;
  std::vector<MessageBoxRecord> boxes;
  int32_t boxAnswer = wc::IDOK;
  std::optional<std::wstring> clipboard;

  // icons
  std::set<IconHandle> icons;   // icons the desktop knows (from SetWindowIcon)
  std::map<IconHandle, IconHandle> copies;  // made by CopyIconHandle: copy -> the icon copied
  IconHandle nextIcon = 0x7A0010;
  std::map<IconHandle, std::pair<int32_t, int32_t>> loaded;  // LoadIconResource: icon -> (id, size), for ever
  std::set<IconHandle> liveLoaded;                          // loaded and not yet destroyed
  uint32_t systemDpi = 96;
  std::vector<NotifyIconData> trayIcons;  // the notification area, in the order they were added

  // ---- helpers (mu held) ----
  ThreadCtx& Me();
  void Err(uint32_t code) { Me().lastError = code; }
  std::optional<uint32_t> Enter(Op op, const FaultTarget& target = {});
  std::optional<uint32_t> NumberedFaultL(Op op, const FaultTarget& target);
  std::vector<SimDesktop::FaultKind> KindsL(const FaultRow& row, const FaultTarget& target);
  MonitorHandle MonitorOfL(const FaultTarget& target);  // the non-primary monitor a call is about; 0: none
  void MonitorGoneL(MonitorHandle m);  // the monitor goes; the system moves its windows to the primary
  void CheckBudgetL(Op op);

  SimWin* W(WindowHandle h);
  SimWin* WErr(WindowHandle h);  // sets 1400 when missing
  bool IsTopLevel(const SimWin& w) const { return w.parent == 0; }
  std::vector<WindowHandle>* Siblings(const SimWin& w);
  void Unlink(WindowHandle h);
  void Link(std::vector<WindowHandle>* sib, size_t idx, const SimWin& w);  // insert into a sibling list
  void SetTopmost(SimWin& w, bool on);  // keeps topmostListed right for a listed window
  size_t IndexIn(const std::vector<WindowHandle>& sib, WindowHandle h) const;  // sib.size() when absent
  size_t TopmostCount() const { return topmostListed; }
  void PlaceTop(WindowHandle h);
  void PlaceBottom(WindowHandle h);
  void PlaceAfter(WindowHandle h, WindowHandle after);
  void RaiseOwned(WindowHandle h, int depth = 0);
  bool CanSetForeground(uint32_t tid) const;
  void Activate(WindowHandle h);  // foreground + raise
  void UserInput(WindowHandle to);
  void ActivateNext(WindowHandle leaving);
  void RemoveWindowL(WindowHandle h, std::vector<std::pair<WindowHandle, std::shared_ptr<WindowProc>>>* removed);
  void Minimize(SimWin& w);
  void Maximize(SimWin& w);
  void RestoreNormal(SimWin& w);
  TRect MaxRect(const SimWin& w, const TRect& from) const;
  const SimMon* MonFromRect(const TRect& r, uint32_t flags) const;
  const SimMon* MonFromPoint(TPoint p, uint32_t flags) const;
  const SimMon* Primary() const;
  void SyncShell();  // desktop, shell and taskbar rectangles follow the monitors
  void PostDisplayChange();
  uint32_t NewId() { nextId += 4; return nextId; }
  uint32_t AddProcessL(const std::wstring& exe, uint32_t rid, bool tokenOpens);
  uint32_t AddThreadL(uint32_t pid);
  WindowHandle NewWindowL(SimWin w, bool topOfBand);
  uint32_t Tick() const { return static_cast<uint32_t>(tickBase + now); }
  void ApplyKey(uint8_t vk, bool down);
  uint32_t PhysMods() const;
  bool HotkeyTaken(uint32_t mods, uint32_t vk) const;
  void PostL(uint32_t tid, SimMsg m) {
    m.time = Tick();
    queues[tid].push_back(m);
  }
  void KeyPhysL(uint8_t vk, bool down);  // every change of a key's physical state
  bool RealThreadL(uint32_t tid) const;  // an OS thread of the test runs as that simulated thread
  std::shared_ptr<SimSent> TakeSentL(uint32_t tid);  // the next sent message whose window still exists
  // Whether a call of this thread that hands work to w's thread would wait for it: w's thread does
  // not take its messages.
  bool WaitsForL(const SimWin& w) { return w.hung && w.tid != Me().tid; }
  // Whether activating h would wait: this thread shares its input with the thread of a foreground
  // window that does not respond, and that window would have to be told it is no longer active.
  bool DeactivationWaitsL(WindowHandle h);

  // files
  std::wstring Norm(const std::wstring& path) const;
  static std::wstring Lower(const std::wstring& s);
  static std::wstring ParentOf(const std::wstring& norm);
  bool DirExistsL(const std::wstring& norm) const;
  // The file at path for reading; nullptr with the error Windows gives (a folder, missing).
  const SimFile* FileToReadL(const std::wstring& path);
  void MkdirsL(const std::wstring& norm);
};

// Small text helpers shared by the translation units.
std::wstring SimLower(const std::wstring& s);
bool SimIEquals(const std::wstring& a, const std::wstring& b);

}  // namespace tessary::sim

// Locks the state, counts the call and applies an injected fault: `ret` is returned with the
// fault's code as the last error.
#define SIM_OP(name, ret)                              \
  std::unique_lock<std::mutex> lk(s_->mu);             \
  if (auto fault_ = s_->Enter(name)) {                 \
    s_->Err(*fault_);                                  \
    return ret;                                        \
  }
#define SIM_OPT(name, target, ret)                     \
  std::unique_lock<std::mutex> lk(s_->mu);             \
  if (auto fault_ = s_->Enter(name, target)) {         \
    s_->Err(*fault_);                                  \
    return ret;                                        \
  }
#define SIM_OPV(name)                                  \
  std::unique_lock<std::mutex> lk(s_->mu);             \
  if (auto fault_ = s_->Enter(name)) {                 \
    s_->Err(*fault_);                                  \
    return;                                            \
  }
