// The simulated desktop's test controls: how tests set the scene, act as the user and the
// system, plan faults and read what the program did. The model they act on is in the other
// Sim*.cpp files; nothing here is reachable through the window-system interface.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cwctype>
#include <exception>
#include <ostream>
#include <string>

#include "platform/sim/SimState.h"

namespace tessary::sim {

using namespace tessary::wc;

namespace {

// The text without braces, upper-case: how registrations and deliveries compare classes.
std::wstring GuidKey(const std::wstring& text) {
  std::wstring key;
  for (wchar_t c : text) {
    if (c == L'{' || c == L'}') continue;
    key.push_back(c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c);
  }
  return key;
}

// The GUID's 16 bytes as Windows stores them (Data1..3 little-endian, Data4 as written); zeros
// for a text that is not a GUID.
std::vector<uint8_t> GuidBytes(const std::wstring& text) {
  const std::wstring key = GuidKey(text);
  std::vector<uint8_t> out(16, 0);
  static constexpr size_t groups[] = {8, 4, 4, 4, 12};
  std::vector<uint8_t> digits;
  size_t pos = 0;
  for (size_t g = 0; g < 5; ++g) {
    if (g > 0) {
      if (pos >= key.size() || key[pos] != L'-') return out;
      ++pos;
    }
    for (size_t i = 0; i < groups[g]; ++i, ++pos) {
      if (pos >= key.size()) return out;
      const wchar_t c = key[pos];
      if (c >= L'0' && c <= L'9') digits.push_back(static_cast<uint8_t>(c - L'0'));
      else if (c >= L'A' && c <= L'F') digits.push_back(static_cast<uint8_t>(c - L'A' + 10));
      else return out;
    }
  }
  if (pos != key.size()) return out;
  std::vector<uint8_t> bytes;  // as written, big-endian per group
  for (size_t i = 0; i < 32; i += 2) bytes.push_back(static_cast<uint8_t>(digits[i] << 4 | digits[i + 1]));
  out = {bytes[3], bytes[2], bytes[1], bytes[0], bytes[5], bytes[4], bytes[7], bytes[6]};
  out.insert(out.end(), bytes.begin() + 8, bytes.end());
  return out;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

// ---------------------------------------------------------------- monitors and windows

MonitorHandle SimDesktop::AddMonitor(TRect bounds, std::optional<TRect> work, bool primary) {
  std::lock_guard lk(s_->mu);
  State& s = *s_;
  SimMon m;
  s.nextMon += 2;
  m.h = s.nextMon;
  m.bounds = bounds;
  m.primary = primary || s.mons.empty();
  if (primary)
    for (auto& o : s.mons) o.primary = false;
  m.work = work ? *work : bounds;
  if (!work && m.primary) m.work.Bottom -= 40;
  m.name = L"\\\\.\\DISPLAY" + std::to_wstring(s.nextDisplayNo++);
  if (!work && primary) {
    for (auto& o : s.mons) o.work = o.bounds;  // the taskbar moved with the primary
  }
  s.mons.push_back(m);
  s.SyncShell();
  s.PostDisplayChange();
  return m.h;
}

void SimDesktop::RemoveMonitor(MonitorHandle m) {
  std::lock_guard lk(s_->mu);
  State& s = *s_;
  auto it = std::find_if(s.mons.begin(), s.mons.end(), [&](const SimMon& x) { return x.h == m; });
  if (it == s.mons.end()) return;
  const bool wasPrimary = it->primary;
  s.mons.erase(it);
  if (wasPrimary && !s.mons.empty()) {
    s.mons.front().primary = true;
    if (s.mons.front().work == s.mons.front().bounds) s.mons.front().work.Bottom -= 40;
  }
  s.SyncShell();
  s.PostDisplayChange();
}

void SimDesktop::SetMonitorBounds(MonitorHandle m, TRect bounds, std::optional<TRect> work) {
  std::lock_guard lk(s_->mu);
  State& s = *s_;
  for (auto& x : s.mons) {
    if (x.h != m) continue;
    x.bounds = bounds;
    x.work = work ? *work : bounds;
    if (!work && x.primary) x.work.Bottom -= 40;
  }
  s.SyncShell();
  s.PostDisplayChange();
}

void SimDesktop::ClearMonitors() {
  std::lock_guard lk(s_->mu);
  s_->mons.clear();
  s_->nextDisplayNo = 1;
  s_->SyncShell();
}

void SimDesktop::SetLayout(const std::vector<TRect>& monitors) {
  {
    std::lock_guard lk(s_->mu);
    s_->mons.clear();
    s_->nextDisplayNo = 1;
  }
  for (auto& r : monitors) AddMonitor(r);
}

void SimDesktop::SetMonitorDpi(MonitorHandle m, uint32_t dpi) {
  std::lock_guard lk(s_->mu);
  for (auto& x : s_->mons)
    if (x.h == m) x.dpi = dpi;
}

void SimDesktop::SetMonitorDevicePath(MonitorHandle m, const std::wstring& path) {
  std::lock_guard lk(s_->mu);
  for (auto& x : s_->mons)
    if (x.h == m) x.path = path;
}

WindowHandle SimDesktop::AddWindow(const WindowSpec& desc) {
  std::lock_guard lk(s_->mu);
  State& s = *s_;
  SimWin w;
  w.cls = desc.className;
  w.title = desc.title;
  w.rect = w.restore = desc.rect;
  w.style = desc.style & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
  if (desc.visible) w.style |= WS_VISIBLE;
  w.ex = desc.exStyle;
  w.cloaked = desc.cloaked;
  w.parent = s.W(desc.parent) ? desc.parent : 0;
  if (w.parent) {
    w.style |= WS_CHILD;
    w.ex &= ~WS_EX_TOPMOST;
  }
  w.owner = s.W(desc.owner) ? desc.owner : 0;
  w.pid = desc.pid;
  if (w.pid == 0 || !s.procs.count(w.pid)) w.pid = s.AddProcessL(L"app.exe", SECURITY_MANDATORY_MEDIUM_RID, true);
  w.tid = desc.tid;
  if (w.tid == 0 || !s.threadPid.count(w.tid)) {
    auto& th = s.procs[w.pid].threads;
    w.tid = th.empty() ? s.AddThreadL(w.pid) : th.front();
  }
  const WindowHandle h = s.NewWindowL(std::move(w), true);
  SimWin& nw = *s.W(h);
  if (desc.maximized) s.Maximize(nw);
  if (desc.minimized) {
    nw.maxFrom = nw.rect;
    nw.style |= WS_MINIMIZE;
    nw.restoreToMax = desc.maximized;
    nw.style &= ~WS_MAXIMIZE;
    nw.rect = kMinRect;
  }
  return h;
}

void SimDesktop::RemoveWindow(WindowHandle h) {
  std::lock_guard lk(s_->mu);
  if (h == s_->desktop || h == s_->shell) return;
  s_->RemoveWindowL(h, nullptr);
}

void SimDesktop::SetForeground(WindowHandle h) {
  std::lock_guard lk(s_->mu);
  SimWin* w = s_->W(h);
  if (!w) return;
  s_->UserInput(h);
  if (w->ex & WS_EX_NOACTIVATE) return;
  s_->Activate(h);
}

void SimDesktop::SetCursor(TPoint p) {
  std::lock_guard lk(s_->mu);
  s_->cursor = p;
}

void SimDesktop::SetWindowIcon(WindowHandle h, IconHandle big, IconHandle small, IconHandle classBig,
                               IconHandle classSmall) {
  std::lock_guard lk(s_->mu);
  SimWin* w = s_->W(h);
  if (!w) return;
  w->big = big, w->small = small, w->clsBig = classBig, w->clsSmall = classSmall;
  for (auto i : {big, small, classBig, classSmall})
    if (i) s_->icons.insert(i);
}

void SimDesktop::SetHung(WindowHandle h, bool hung, uint32_t hungForMs) {
  std::vector<SimDeferredPos> deferred;
  {
    std::lock_guard lk(s_->mu);
    SimWin* w = s_->W(h);
    if (!w) return;
    w->hung = hung;
    w->hungCountedAt = s_->now + (hungForMs >= kCountedHungMs ? 0 : kCountedHungMs - hungForMs);
    if (!hung) deferred.swap(w->deferred);
  }
  // Taking its messages again, the thread carries out the placements that waited for it.
  for (const SimDeferredPos& d : deferred) SetWindowPos(h, d.insertAfter, d.x, d.y, d.cx, d.cy, d.flags);
}

std::vector<Op> SimDesktop::HangsSuffered() const {
  std::lock_guard lk(s_->mu);
  return s_->hangs;
}

void SimDesktop::WhileWaitingFor(WindowHandle h, std::function<void()> action) {
  std::lock_guard lk(s_->mu);
  s_->whileWaiting[h].push_back(std::move(action));
}

void SimDesktop::MoveWindowAsSystem(WindowHandle h, TRect r) {
  std::lock_guard lk(s_->mu);
  SimWin* w = s_->W(h);
  if (!w || (w->style & WS_MINIMIZE)) return;
  w->rect = r;
  if (!(w->style & WS_MAXIMIZE)) w->restore = r;
}

void SimDesktop::EchoPlacements(WindowHandle h, uint32_t afterMs, uint32_t forMs) {
  std::lock_guard lk(s_->mu);
  SimWin* w = s_->W(h);
  if (!w) return;
  w->echoAfter = afterMs;
  w->echoFor = forMs;
  w->given = w->rect;
}

void SimDesktop::SetForegroundLockEnforced(bool enforced) {
  std::lock_guard lk(s_->mu);
  s_->lockEnforced = enforced;
}

std::vector<WindowHandle> SimDesktop::ZOrder() const {
  std::lock_guard lk(s_->mu);
  return s_->top;
}

TRect SimDesktop::RestoreRect(WindowHandle h) const {
  std::lock_guard lk(s_->mu);
  SimWin* w = s_->W(h);
  return w ? w->restore : TRect{};
}

// ---------------------------------------------------------------- processes, keyboard, time, shell

uint32_t SimDesktop::AddProcess(const std::wstring& exeName, uint32_t integrityRid, bool tokenOpens) {
  std::lock_guard lk(s_->mu);
  return s_->AddProcessL(exeName, integrityRid, tokenOpens);
}

uint32_t SimDesktop::AddThread(uint32_t pid) {
  std::lock_guard lk(s_->mu);
  return s_->AddThreadL(pid);
}

void SimDesktop::RemoveProcess(uint32_t pid) {
  std::lock_guard lk(s_->mu);
  State& s = *s_;
  if (pid == s.ownPid || !s.procs.count(pid)) return;
  std::vector<WindowHandle> doomed;
  for (auto& [h, w] : s.wins)
    if (w.pid == pid && h != s.desktop && h != s.shell) doomed.push_back(h);
  for (auto h : doomed) s.RemoveWindowL(h, nullptr);
  for (auto tid : s.procs[pid].threads) {
    s.threadPid.erase(tid);
    s.queues.erase(tid);
    for (auto it = s.attached.begin(); it != s.attached.end();)
      it = (it->first == tid || it->second == tid) ? s.attached.erase(it) : std::next(it);
  }
  s.procs.erase(pid);
}

uint32_t SimDesktop::OwnProcessId() const {
  std::lock_guard lk(s_->mu);
  return s_->ownPid;
}

uint32_t SimDesktop::UiThreadId() const {
  std::lock_guard lk(s_->mu);
  return s_->uiTid;
}

void SimDesktop::SetEnableLua(std::optional<uint32_t> value) {
  std::lock_guard lk(s_->mu);
  s_->enableLua = value;
}

void SimDesktop::SetVersion(uint32_t version) {
  std::lock_guard lk(s_->mu);
  s_->version = version;
}

void SimDesktop::SetDebuggerPresent(bool present) {
  std::lock_guard lk(s_->mu);
  s_->debugger = present;
}

void SimDesktop::SetKeyQueueState(int32_t vk, bool down) {
  std::lock_guard lk(s_->mu);
  if (vk < 0 || vk > 255) return;
  if (down) s_->keyQueue[vk] |= 0x80;
  else s_->keyQueue[vk] &= static_cast<uint8_t>(~0x80);
}

void SimDesktop::SetKeyPhysicalState(int32_t vk, bool down) {
  std::lock_guard lk(s_->mu);
  if (vk >= 0 && vk <= 255) s_->KeyPhysL(static_cast<uint8_t>(vk), down);
}

void SimDesktop::SetKeyToggled(int32_t vk, bool on) {
  std::lock_guard lk(s_->mu);
  if (vk < 0 || vk > 255) return;
  if (on) s_->keyQueue[vk] |= 0x01;
  else s_->keyQueue[vk] &= static_cast<uint8_t>(~0x01);
}

const std::vector<KeyEventRecord>& SimDesktop::KeyEvents() const {
  std::lock_guard lk(s_->mu);
  return s_->keyEvents;
}

void SimDesktop::ClearKeyEvents() {
  std::lock_guard lk(s_->mu);
  s_->keyEvents.clear();
}

void SimDesktop::SetKeyboardSpeed(uint32_t speed) {
  std::lock_guard lk(s_->mu);
  s_->keyboardSpeed = speed;
}

bool SimDesktop::PressHotkey(uint32_t modifiers, uint32_t vk) {
  std::lock_guard lk(s_->mu);
  State& s = *s_;
  modifiers &= ~MOD_NOREPEAT;
  for (auto& k : s.hotkeys) {
    if ((k.mods & ~MOD_NOREPEAT) != modifiers || k.vk != vk) continue;
    const auto lp = static_cast<intptr_t>((modifiers & 0xFFFF) | ((vk & 0xFFFF) << 16));
    if (vk <= 255) s.KeyPhysL(static_cast<uint8_t>(vk), true);
    s.PostL(k.tid, SimMsg{k.h, WM_HOTKEY, static_cast<uintptr_t>(static_cast<intptr_t>(k.id)), lp});
    return true;
  }
  return false;
}

void SimDesktop::ReserveHotkey(uint32_t modifiers, uint32_t vk) {
  std::lock_guard lk(s_->mu);
  s_->reserved.emplace_back(modifiers, vk);
}

void SimDesktop::SetLayoutChar(uint32_t vk, uint32_t answer) {
  std::lock_guard lk(s_->mu);
  s_->layoutChars[vk] = answer;
}

void SimDesktop::FailOperation(Op op, uint32_t code, int count, int skip) {
  std::lock_guard lk(s_->mu);
  if (count == 0) {
    s_->faults.erase(op);
    return;
  }
  s_->faults[op] = FaultSpec{code, count, std::max(0, skip)};
}

void SimDesktop::ClearFaults() {
  std::lock_guard lk(s_->mu);
  s_->faults.clear();
}

int SimDesktop::CallCount(Op op) const {
  std::lock_guard lk(s_->mu);
  return s_->calls[static_cast<size_t>(op)];
}

void SimDesktop::ResetCallCounts() {
  std::lock_guard lk(s_->mu);
  s_->calls.fill(0);
}

void SimDesktop::SetTickCount(uint32_t tick) {
  std::lock_guard lk(s_->mu);
  s_->tickBase = tick - static_cast<uint32_t>(s_->now);
}

void SimDesktop::At(uint32_t delayMs, std::function<void()> action) {
  std::lock_guard lk(s_->mu);
  s_->actions.push_back(SimAction{s_->now + delayMs, ++s_->actionSeq, std::move(action)});
}

uint32_t SimDesktop::SleepCalls() const {
  std::lock_guard lk(s_->mu);
  return s_->sleepCalls;
}

uint64_t SimDesktop::TotalSlept() const {
  std::lock_guard lk(s_->mu);
  return s_->totalSlept;
}

void SimDesktop::SetSpecialFolder(int32_t csidl, const std::wstring& path) {
  std::lock_guard lk(s_->mu);
  s_->folders[csidl] = path;
  if (!path.empty()) s_->MkdirsL(s_->Norm(path));
}

void SimDesktop::SetModuleFileName(const std::wstring& path) {
  std::lock_guard lk(s_->mu);
  State& s = *s_;
  const std::wstring n = s.Norm(path);
  const auto oldKey = SimLower(s.modulePath);
  auto ver = s.fileVersions.find(oldKey);
  std::vector<uint16_t> v = ver != s.fileVersions.end() ? ver->second : std::vector<uint16_t>{};
  s.modulePath = n;
  s.MkdirsL(State::ParentOf(n));
  if (!s.files.count(SimLower(n))) s.files[SimLower(n)] = SimFile{n, {'M', 'Z'}};
  if (!v.empty() && !s.fileVersions.count(SimLower(n))) s.fileVersions[SimLower(n)] = v;
}

void SimDesktop::SetCommandLineArgs(const std::vector<std::wstring>& args) {
  std::lock_guard lk(s_->mu);
  s_->args = args;
}

void SimDesktop::SetFileVersion(const std::wstring& path, uint16_t major, uint16_t minor, uint16_t release,
                                uint16_t build) {
  std::lock_guard lk(s_->mu);
  s_->fileVersions[SimLower(s_->Norm(path))] = {major, minor, release, build};
}

void SimDesktop::SetLocalTimeText(const std::wstring& text) {
  std::lock_guard lk(s_->mu);
  s_->localTime = text;
}

void SimDesktop::SetDecimalSeparator(const std::wstring& separator) {
  std::lock_guard lk(s_->mu);
  s_->decimal = separator;
}

std::vector<std::wstring> SimDesktop::OpenedTargets() const {
  std::lock_guard lk(s_->mu);
  return s_->opened;
}

const std::vector<MessageBoxRecord>& SimDesktop::MessageBoxes() const {
  std::lock_guard lk(s_->mu);
  return s_->boxes;
}

void SimDesktop::SetMessageBoxAnswer(int32_t answer) {
  std::lock_guard lk(s_->mu);
  s_->boxAnswer = answer;
}

size_t SimDesktop::LiveIconCopies() const {
  std::lock_guard lk(s_->mu);
  return s_->copies.size();
}

IconHandle SimDesktop::CopiedFrom(IconHandle copy) const {
  std::lock_guard lk(s_->mu);
  const auto it = s_->copies.find(copy);
  return it == s_->copies.end() ? 0 : it->second;
}

std::optional<SimDesktop::LoadedIcon> SimDesktop::LoadedAs(IconHandle icon) const {
  std::lock_guard lk(s_->mu);
  const auto it = s_->loaded.find(icon);
  if (it == s_->loaded.end()) return std::nullopt;
  return LoadedIcon{it->second.first, it->second.second};
}

size_t SimDesktop::LiveLoadedIcons() const {
  std::lock_guard lk(s_->mu);
  return s_->liveLoaded.size();
}

void SimDesktop::SetSystemDpi(uint32_t dpi) {
  std::lock_guard lk(s_->mu);
  s_->systemDpi = dpi == 0 ? 96 : dpi;
}

std::vector<NotifyIconData> SimDesktop::NotifyIcons() const {
  std::lock_guard lk(s_->mu);
  return s_->trayIcons;
}

void SimDesktop::RestartTaskbar() {
  const uint32_t msg = RegisterWindowMessageW(L"TaskbarCreated");
  std::lock_guard lk(s_->mu);
  s_->trayIcons.clear();
  for (auto x : s_->top) {
    SimWin* win = s_->W(x);
    if (win && win->pid == s_->ownPid && !win->messageOnly) s_->PostL(win->tid, SimMsg{x, msg, 0, 0});
  }
}

bool SimDesktop::MouseOnNotifyIcon(WindowHandle window, uint32_t id, uint32_t mouseMessage) {
  // The shell posts it: no call of the program, so it is neither counted nor failed.
  std::lock_guard lk(s_->mu);
  const auto& icons = s_->trayIcons;
  auto it = std::find_if(icons.begin(), icons.end(),
                         [&](const NotifyIconData& d) { return d.window == window && d.id == id; });
  if (it == icons.end() || !(it->flags & NIF_MESSAGE)) return false;
  SimWin* w = s_->W(window);
  if (!w) return false;
  s_->PostL(w->tid, SimMsg{window, it->callbackMessage, id, static_cast<intptr_t>(mouseMessage)});
  return true;
}

// ---------------------------------------------------------------- messages and devices

uint32_t SimDesktop::RegisteredMessage(const std::wstring& name) {
  std::lock_guard lk(s_->mu);
  return RegisterMessageL(name);
}

int SimDesktop::DeliverDeviceInterfaceEvent(uintptr_t event, const std::wstring& classGuid, const std::wstring& name) {
  std::vector<WindowHandle> targets;
  {
    std::lock_guard lk(s_->mu);
    const std::wstring key = GuidKey(classGuid);
    for (auto& [handle, o] : s_->kobjs)
      if (o.kind == KKind::DevNotify && GuidKey(o.guid) == key && s_->W(o.wnd) &&
          std::find(targets.begin(), targets.end(), o.wnd) == targets.end())
        targets.push_back(o.wnd);
  }
  std::vector<uint16_t> units;
  for (wchar_t c : name) {
    const auto u = static_cast<uint32_t>(c);
    if (u > 0xFFFF && u <= 0x10FFFF) {
      units.push_back(static_cast<uint16_t>(0xD800 + ((u - 0x10000) >> 10)));
      units.push_back(static_cast<uint16_t>(0xDC00 + ((u - 0x10000) & 0x3FF)));
    } else {
      units.push_back(static_cast<uint16_t>(u));
    }
  }
  units.push_back(0);
  std::vector<uint8_t> record;
  PutU32(record, static_cast<uint32_t>(28 + 2 * units.size()));
  PutU32(record, DBT_DEVTYP_DEVICEINTERFACE);
  PutU32(record, 0);
  const std::vector<uint8_t> guid = GuidBytes(classGuid);
  record.insert(record.end(), guid.begin(), guid.end());
  for (uint16_t u : units) {
    record.push_back(static_cast<uint8_t>(u & 0xFF));
    record.push_back(static_cast<uint8_t>(u >> 8));
  }
  int reached = 0;
  for (WindowHandle h : targets) {
    if (!IsWindow(h)) continue;  // an earlier receiver destroyed it
    std::vector<uint8_t> copy = record;  // each receiver gets its own, as the system marshals it
    SendMessageW(h, WM_DEVICECHANGE, event, reinterpret_cast<intptr_t>(copy.data()));
    ++reached;
  }
  return reached;
}

// ---------------------------------------------------------------- files

std::vector<std::wstring> SimDesktop::Files() const {
  std::lock_guard lk(s_->mu);
  std::vector<std::wstring> out;
  for (auto& [k, f] : s_->files) out.push_back(f.path);
  return out;
}

bool SimDesktop::SetFileReadOnly(const std::wstring& path, bool readOnly) {
  std::lock_guard lk(s_->mu);
  auto it = s_->files.find(SimLower(s_->Norm(path)));
  if (it == s_->files.end()) return false;
  it->second.readOnly = readOnly;
  return true;
}

// ---------------------------------------------------------------- call numbering, budgets, resources

void SimDesktop::StartCallNumbering() {
  std::lock_guard lk(s_->mu);
  s_->numbering = true;
  s_->numberingPaused = false;
  s_->callNo = 0;
  s_->numbered.clear();
  s_->failNo = 0;
  s_->injected.reset();
  s_->fileHistory.clear();
}

std::vector<std::pair<std::wstring, std::vector<uint8_t>>> SimDesktop::FileHistory() const {
  std::lock_guard lk(s_->mu);
  return s_->fileHistory;
}

void SimDesktop::PauseCallNumbering(bool paused) {
  std::lock_guard lk(s_->mu);
  s_->numberingPaused = paused;
}

std::vector<SimDesktop::NumberedCall> SimDesktop::NumberedCalls() const {
  std::lock_guard lk(s_->mu);
  return s_->numbered;
}

void SimDesktop::FailCallNumber(uint64_t number, FaultKind kind) {
  std::lock_guard lk(s_->mu);
  s_->failNo = number;
  s_->failKind = kind;
  s_->injected.reset();
}

std::optional<SimDesktop::InjectedFault> SimDesktop::Injected() const {
  std::lock_guard lk(s_->mu);
  return s_->injected;
}

void SimDesktop::SetRunBudget(std::optional<RunBudget> budget) {
  std::lock_guard lk(s_->mu);
  s_->budget = budget;
  s_->budgetFrom = s_->now;
  s_->budgetMessages = s_->dispatched;
  s_->budgetCalls = 0;
  s_->budgetExceeded = false;
}

bool SimDesktop::RunBudgetWasExceeded() const {
  std::lock_guard lk(s_->mu);
  return s_->budgetExceeded;
}

SimDesktop::Resources SimDesktop::OwnResources() const {
  std::lock_guard lk(s_->mu);
  const State& s = *s_;
  Resources r;
  auto own = [&](WindowHandle h) {
    auto it = s.wins.find(h);
    return it != s.wins.end() && it->second.pid == s.ownPid;
  };
  for (const auto& [h, w] : s.wins)
    if (w.pid == s.ownPid) ++r.windows;
  r.timers = s.timers.size();
  for (const SimHotkey& k : s.hotkeys)
    if (own(k.h)) ++r.hotkeys;
  for (const auto& [h, k] : s.kobjs)
    if (k.kind == KKind::DevNotify) ++r.notifications;
  r.kernelHandles = s.kobjs.size();
  for (const NotifyIconData& d : s.trayIcons)
    if (own(d.window)) ++r.notifyIcons;
  r.icons = s.liveLoaded.size() + s.copies.size();
  return r;
}

void SimDesktop::OwnProcessEnded() {
  std::lock_guard lk(s_->mu);
  s_->kobjs.clear();
  s_->mutexRefs.clear();
  for (const auto& [tid, pid] : s_->threadPid) {
    if (pid != s_->ownPid) continue;
    s_->queues.erase(tid);
    s_->quitPosted.erase(tid);
  }
  s_->queues.erase(s_->uiTid);
  s_->quitPosted.erase(s_->uiTid);
}

}  // namespace tessary::sim
