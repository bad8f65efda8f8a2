// The simulated desktop: construction, shared helpers, windows, monitors, z-order and foreground.
//
// Choices where Windows leaves room (all measured or documented Windows 10 behaviour at 96 dpi):
// - A maximized window with a caption or sizing frame covers its monitor's work area grown by
//   8 px (the frame, scaled by the monitor's dpi) on each side; a frameless one covers the
//   whole monitor. A minimized window reports (-32000,-32000) 160x28.
// - Minimizing moves a window to the bottom of its band (above the shell window); when the
//   foreground window is minimized, hidden or destroyed, the next visible, non-minimized
//   activatable window in z-order takes the foreground, else the taskbar.
// - The shell window ("Progman") stays at the bottom of the z-order, as SetShellWindow keeps it.
// - Insert-after positions are clamped into the window's band (topmost or not).
// - A user click (SetForeground) does not activate a WS_EX_NOACTIVATE window.
// - SetWindowPos leaves a minimized window parked and its normal rectangle unchanged (only
//   SetWindowPlacement changes that); z-order and show/hide flags still apply.
// - SetWindowPos on a window of a process at a higher integrity level than ours fails with
//   access denied (privilege isolation); under Wine every process runs at the same level.
// - Foreground rights: see CanSetForeground. The program starts holding the user's last input
//   (it was just launched), so it may take the foreground until the user clicks elsewhere.
#include <algorithm>
#include <climits>
#include <cwctype>

#include "platform/sim/SimState.h"

namespace tessary::sim {

using namespace tessary::wc;

std::wstring SimLower(const std::wstring& s) {
  std::wstring r = s;
  for (auto& c : r) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return r;
}
bool SimIEquals(const std::wstring& a, const std::wstring& b) { return SimLower(a) == SimLower(b); }

namespace {

int64_t Area(const TRect& a, const TRect& b) {
  const int64_t w = std::min<int64_t>(a.Right, b.Right) - std::max<int64_t>(a.Left, b.Left);
  const int64_t h = std::min<int64_t>(a.Bottom, b.Bottom) - std::max<int64_t>(a.Top, b.Top);
  return (w > 0 && h > 0) ? w * h : 0;
}
int64_t Dist2(const TRect& a, const TRect& b) {  // squared gap between two rectangles
  int64_t dx = 0, dy = 0;
  if (a.Right <= b.Left) dx = int64_t(b.Left) - a.Right + 1;
  else if (b.Right <= a.Left) dx = int64_t(a.Left) - b.Right + 1;
  if (a.Bottom <= b.Top) dy = int64_t(b.Top) - a.Bottom + 1;
  else if (b.Bottom <= a.Top) dy = int64_t(a.Top) - b.Bottom + 1;
  return dx * dx + dy * dy;
}
}  // namespace

// ---------------------------------------------------------------- state helpers

ThreadCtx& SimWindowSystem::State::Me() {
  auto id = std::this_thread::get_id();
  auto it = ctx.find(id);
  if (it != ctx.end()) return it->second;
  ThreadCtx c;
  if (!uiTaken) {
    uiTaken = true;
    c.tid = uiTid;
  } else {
    c.tid = AddThreadL(ownPid);
  }
  return ctx.emplace(id, c).first->second;
}

SimWin* SimWindowSystem::State::W(WindowHandle h) {
  auto it = wins.find(h);
  return it == wins.end() ? nullptr : &it->second;
}
SimWin* SimWindowSystem::State::WErr(WindowHandle h) {
  SimWin* w = W(h);
  if (!w) Err(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

std::vector<WindowHandle>* SimWindowSystem::State::Siblings(const SimWin& w) {
  if (w.messageOnly || w.h == desktop) return nullptr;
  if (w.parent == 0) return &top;
  SimWin* p = W(w.parent);
  return p ? &p->children : nullptr;
}

void SimWindowSystem::State::Unlink(WindowHandle h) {
  SimWin* w = W(h);
  if (!w) return;
  auto* sib = Siblings(*w);
  if (!sib) return;
  const size_t n = sib->size();
  size_t kept = IndexIn(*sib, h);
  if (kept == n) return;
  WindowHandle* d = sib->data();
  for (size_t i = kept + 1; i < n; ++i)
    if (d[i] != h) d[kept++] = d[i];
  if (sib == &top && (w->ex & WS_EX_TOPMOST)) topmostListed -= n - kept;
  sib->resize(kept);
}

void SimWindowSystem::State::Link(std::vector<WindowHandle>* sib, size_t idx, const SimWin& w) {
  sib->insert(sib->begin() + static_cast<std::ptrdiff_t>(idx), w.h);
  if (sib == &top && (w.ex & WS_EX_TOPMOST)) ++topmostListed;
}

void SimWindowSystem::State::SetTopmost(SimWin& w, bool on) {
  if (((w.ex & WS_EX_TOPMOST) != 0) == on) return;
  if (Siblings(w) == &top && IndexIn(top, w.h) < top.size()) {
    if (on) ++topmostListed;
    else --topmostListed;
  }
  if (on) w.ex |= WS_EX_TOPMOST;
  else w.ex &= ~WS_EX_TOPMOST;
}

// Walks ask for the neighbour of the window found last, so look next to it first.
size_t SimWindowSystem::State::IndexIn(const std::vector<WindowHandle>& sib, WindowHandle h) const {
  const size_t n = sib.size();
  const WindowHandle* d = sib.data();
  for (size_t i = zHint > 0 ? zHint - 1 : 0; i < n && i <= zHint + 1; ++i)
    if (d[i] == h) return zHint = i;
  for (size_t i = 0; i < n; ++i)
    if (d[i] == h) return zHint = i;
  return n;
}

void SimWindowSystem::State::PlaceTop(WindowHandle h) {
  SimWin* w = W(h);
  if (!w || !Siblings(*w) || h == shell) return;
  Unlink(h);
  auto* sib = Siblings(*w);
  size_t idx = 0;
  if (w->parent == 0 && !(w->ex & WS_EX_TOPMOST)) idx = TopmostCount();
  Link(sib, idx, *w);
  if (w->parent == 0) RaiseOwned(h);
}

void SimWindowSystem::State::PlaceBottom(WindowHandle h) {
  SimWin* w = W(h);
  if (!w || !Siblings(*w) || h == shell) return;
  Unlink(h);
  auto* sib = Siblings(*w);
  size_t idx = sib->size();
  if (w->parent == 0) {
    if (w->ex & WS_EX_TOPMOST) idx = TopmostCount();
    else if (!sib->empty() && sib->back() == shell) idx = sib->size() - 1;
  }
  Link(sib, idx, *w);
}

void SimWindowSystem::State::PlaceAfter(WindowHandle h, WindowHandle after) {
  SimWin* w = W(h);
  if (!w || !Siblings(*w) || h == shell || h == after) return;
  Unlink(h);
  auto* sib = Siblings(*w);
  const size_t pos = IndexIn(*sib, after);
  size_t idx = pos == sib->size() ? 0 : pos + 1;
  if (w->parent == 0) {
    const size_t tm = TopmostCount();
    if (w->ex & WS_EX_TOPMOST) idx = std::min(idx, tm);
    else idx = std::max(idx, tm);
    size_t limit = sib->size();
    if (!sib->empty() && sib->back() == shell) limit = sib->size() - 1;
    idx = std::min(idx, limit);
  }
  Link(sib, idx, *w);
}

// Owned windows stay above their owner when it is raised.
void SimWindowSystem::State::RaiseOwned(WindowHandle h, int depth) {
  if (depth > 32) return;
  SimWin* o = W(h);
  if (!o || o->ownedCount == 0) return;
  std::vector<WindowHandle> owned;
  for (auto x : top) {
    SimWin* w = W(x);
    if (w && w->owner == h && ((w->ex & WS_EX_TOPMOST) == (o->ex & WS_EX_TOPMOST))) owned.push_back(x);
  }
  for (auto it = owned.rbegin(); it != owned.rend(); ++it) {
    top.erase(std::remove(top.begin(), top.end(), *it), top.end());
    auto pos = std::find(top.begin(), top.end(), h);
    top.insert(pos, *it);
  }
  for (auto x : owned) RaiseOwned(x, depth + 1);
}

// Windows lets a thread take the foreground when its process owns the foreground window or got
// the user's last input, when it shares input with the foreground thread, when there is no
// foreground window, or when the lock time-out has passed since the last input.
bool SimWindowSystem::State::CanSetForeground(uint32_t tid) const {
  if (!lockEnforced || lockTimeout == 0 || fg == 0) return true;
  if (now - lastInputTime >= lockTimeout) return true;
  auto it = wins.find(fg);
  if (it == wins.end()) return true;
  auto tp = threadPid.find(tid);
  const uint32_t pid = tp == threadPid.end() ? 0 : tp->second;
  if (pid == it->second.pid || pid == lastInputPid) return true;
  return attached.count({tid, it->second.tid}) > 0 || attached.count({it->second.tid, tid}) > 0;
}

void SimWindowSystem::State::Activate(WindowHandle h) {
  SimWin* w = W(h);
  if (!w) return;
  WindowHandle root = h;
  for (int i = 0; i < 64; ++i) {
    SimWin* r = W(root);
    if (!r || r->parent == 0) break;
    root = r->parent;
  }
  fg = root;
  focus = h;
  PlaceTop(root);
}

void SimWindowSystem::State::UserInput(WindowHandle to) {
  auto it = wins.find(to);
  if (it != wins.end()) lastInputPid = it->second.pid;
  lastInputTime = now;
}

void SimWindowSystem::State::ActivateNext(WindowHandle leaving) {
  if (fg != leaving) return;
  for (auto x : top) {
    if (x == leaving || x == tray || x == shell) continue;
    SimWin* w = W(x);
    if (!w || !(w->style & WS_VISIBLE) || (w->style & (WS_MINIMIZE | WS_DISABLED)) ||
        (w->ex & WS_EX_NOACTIVATE) || w->cloaked)
      continue;
    fg = x;
    focus = x;
    return;
  }
  fg = W(tray) ? tray : 0;
  focus = fg;
}

void SimWindowSystem::State::RemoveWindowL(WindowHandle h,
                                      std::vector<std::pair<WindowHandle, std::shared_ptr<WindowProc>>>* removed) {
  SimWin* w = W(h);
  if (!w) return;
  // Owned windows go with their owner, children with their parent.
  std::vector<WindowHandle> owned;
  if (w->ownedCount > 0)
    for (auto& [oh, ow] : wins)
      if (ow.owner == h) owned.push_back(oh);
  for (auto o : owned) RemoveWindowL(o, removed);
  w = W(h);
  if (!w) return;
  auto kids = w->children;
  for (auto k : kids) RemoveWindowL(k, removed);
  w = W(h);
  if (!w) return;
  Unlink(h);
  timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const SimTimer& t) { return t.h == h; }),
               timers.end());
  hotkeys.erase(std::remove_if(hotkeys.begin(), hotkeys.end(), [&](const SimHotkey& k) { return k.h == h; }),
                hotkeys.end());
  for (auto& [tid, q] : queues)
    q.erase(std::remove_if(q.begin(), q.end(), [&](const SimMsg& m) { return m.h == h; }), q.end());
  ActivateNext(h);
  if (fg == h) fg = 0;
  if (focus == h) focus = 0;
  if (removed) removed->emplace_back(h, w->proc);
  if (SimWin* o = W(w->owner); o && o->ownedCount > 0) --o->ownedCount;
  wins.erase(h);
  sentCv.notify_all();  // senders waiting on this window give up
}

TRect SimWindowSystem::State::MaxRect(const SimWin& w, const TRect& from) const {
  const SimMon* m = MonFromRect(from, MONITOR_DEFAULTTONEAREST);
  if (!m) return from;
  if (!(w.style & (WS_THICKFRAME | WS_CAPTION))) return m->bounds;
  const int32_t f = static_cast<int32_t>(8 * m->dpi / 96);
  return TRect{m->work.Left - f, m->work.Top - f, m->work.Right + f, m->work.Bottom + f};
}

void SimWindowSystem::State::Minimize(SimWin& w) {
  if (w.style & WS_MINIMIZE) return;
  w.restoreToMax = (w.style & WS_MAXIMIZE) != 0;
  if (w.restoreToMax) w.maxFrom = w.rect;
  else w.restore = w.rect;
  w.style = (w.style & ~WS_MAXIMIZE) | WS_MINIMIZE;
  w.rect = kMinRect;
  if (w.parent == 0) PlaceBottom(w.h);
}

void SimWindowSystem::State::Maximize(SimWin& w) {
  if (!(w.style & (WS_MINIMIZE | WS_MAXIMIZE))) w.restore = w.rect;
  w.style = (w.style & ~WS_MINIMIZE) | WS_MAXIMIZE;
  w.restoreToMax = false;
  w.rect = MaxRect(w, w.restore);
}

void SimWindowSystem::State::RestoreNormal(SimWin& w) {
  if (w.style & WS_MINIMIZE) {
    w.style &= ~WS_MINIMIZE;
    if (w.restoreToMax) {  // back to maximized on the monitor it was maximized on
      w.style |= WS_MAXIMIZE;
      w.restoreToMax = false;
      w.rect = MaxRect(w, w.maxFrom);
      return;
    }
    w.rect = w.restore;
  } else if (w.style & WS_MAXIMIZE) {
    w.style &= ~WS_MAXIMIZE;
    w.rect = w.restore;
  }
}

const SimMon* SimWindowSystem::State::Primary() const {
  for (auto& m : mons)
    if (m.primary) return &m;
  return mons.empty() ? nullptr : &mons.front();
}

const SimMon* SimWindowSystem::State::MonFromRect(const TRect& r, uint32_t flags) const {
  const SimMon* best = nullptr;
  int64_t bestArea = 0;
  for (auto& m : mons) {
    int64_t a = Area(r, m.bounds);
    if (a > bestArea) bestArea = a, best = &m;
  }
  if (best) return best;
  if (flags == MONITOR_DEFAULTTOPRIMARY) return Primary();
  if (flags != MONITOR_DEFAULTTONEAREST) return nullptr;
  int64_t bestD = INT64_MAX;
  for (auto& m : mons) {
    int64_t d = Dist2(r, m.bounds);
    if (d < bestD) bestD = d, best = &m;
  }
  return best;
}

const SimMon* SimWindowSystem::State::MonFromPoint(TPoint p, uint32_t flags) const {
  return MonFromRect(TRect{p.x, p.y, p.x + 1, p.y + 1}, flags);
}

void SimWindowSystem::State::SyncShell() {
  const SimMon* p = Primary();
  TRect pb = p ? p->bounds : TRect{};
  TRect virt{};
  bool first = true;
  for (auto& m : mons) {
    if (first) virt = m.bounds, first = false;
    virt.Left = std::min(virt.Left, m.bounds.Left);
    virt.Top = std::min(virt.Top, m.bounds.Top);
    virt.Right = std::max(virt.Right, m.bounds.Right);
    virt.Bottom = std::max(virt.Bottom, m.bounds.Bottom);
  }
  if (SimWin* d = W(desktop)) d->rect = d->restore = pb;
  if (SimWin* s = W(shell)) s->rect = s->restore = virt;
  if (SimWin* t = W(tray)) {
    int32_t h = p ? p->bounds.Bottom - p->work.Bottom : 0;
    if (h <= 0) h = p ? 40 : 0;
    t->rect = t->restore = TRect{pb.Left, pb.Bottom - h, pb.Right, pb.Bottom};
  }
}

void SimWindowSystem::State::PostDisplayChange() {
  const SimMon* p = Primary();
  const auto w = p ? static_cast<uint32_t>(p->bounds.Width()) & 0xFFFF : 0;
  const auto h = p ? static_cast<uint32_t>(p->bounds.Height()) & 0xFFFF : 0;
  for (auto x : top) {
    SimWin* win = W(x);
    if (win && win->pid == ownPid) PostL(win->tid, SimMsg{x, WM_DISPLAYCHANGE, 32, static_cast<intptr_t>(w | (h << 16))});
  }
}

uint32_t SimWindowSystem::State::AddProcessL(const std::wstring& exe, uint32_t rid, bool tokenOpens) {
  SimProc p;
  p.pid = NewId();
  p.exe = exe;
  p.rid = rid;
  p.tokenOpens = tokenOpens;
  const uint32_t pid = p.pid;
  procs[pid] = p;
  AddThreadL(pid);
  return pid;
}

uint32_t SimWindowSystem::State::AddThreadL(uint32_t pid) {
  const uint32_t tid = NewId();
  threadPid[tid] = pid;
  auto it = procs.find(pid);
  if (it != procs.end()) it->second.threads.push_back(tid);
  return tid;
}

WindowHandle SimWindowSystem::State::NewWindowL(SimWin w, bool topOfBand) {
  nextHwnd += 0x2A;
  w.h = nextHwnd;
  const WindowHandle h = w.h;
  const bool toTop = topOfBand && !w.messageOnly;
  wins[h] = std::move(w);
  SimWin& nw = wins[h];
  if (SimWin* o = W(nw.owner)) ++o->ownedCount;
  if (toTop) {
    if (auto* sib = Siblings(nw)) {
      Link(sib, 0, nw);
      PlaceTop(h);
    }
  }
  return h;
}

// ---------------------------------------------------------------- construction

SimWindowSystem::SimWindowSystem() : s_(std::make_unique<State>()) {
  State& s = *s_;
  s.procs[0] = SimProc{0, L"[System Process]", SECURITY_MANDATORY_SYSTEM_RID, false, {}};
  s.procs[4] = SimProc{4, L"System", SECURITY_MANDATORY_SYSTEM_RID, false, {}};
  s.csrssPid = s.AddProcessL(L"csrss.exe", SECURITY_MANDATORY_SYSTEM_RID, false);
  s.explorerPid = s.AddProcessL(L"explorer.exe", SECURITY_MANDATORY_MEDIUM_RID, true);
  s.ownPid = s.AddProcessL(L"Tessary.exe", SECURITY_MANDATORY_MEDIUM_RID, true);
  s.uiTid = s.procs[s.ownPid].threads.front();
  s.lastInputPid = s.ownPid;  // the user just started the program

  SimWin d;
  d.cls = L"#32769";
  d.style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  d.pid = s.csrssPid;
  d.tid = s.procs[s.csrssPid].threads.front();
  s.desktop = s.NewWindowL(d, false);

  const uint32_t explorerTid = s.procs[s.explorerPid].threads.front();
  SimWin shell;
  shell.cls = L"Progman";
  shell.title = L"Program Manager";
  shell.style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  shell.pid = s.explorerPid;
  shell.tid = explorerTid;
  s.shell = s.NewWindowL(shell, false);
  s.Link(&s.top, s.top.size(), *s.W(s.shell));

  SimWin tray;
  tray.cls = L"Shell_TrayWnd";
  tray.style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  tray.ex = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
  tray.pid = s.explorerPid;
  tray.tid = explorerTid;
  s.tray = s.NewWindowL(tray, true);

  s.folders[CSIDL_APPDATA] = L"C:\\Users\\User\\AppData\\Roaming";
  s.folders[CSIDL_PROGRAM_FILES] = L"C:\\Program Files";
  s.folders[CSIDL_PROGRAM_FILESX86] = L"C:\\Program Files (x86)";
  for (auto& [id, path] : s.folders) s.MkdirsL(s.Norm(path));
  s.MkdirsL(L"C:\\Windows");
  s.modulePath = L"C:\\Program Files\\Tessary\\Tessary.exe";
  s.MkdirsL(s.Norm(L"C:\\Program Files\\Tessary"));
  s.files[SimLower(s.modulePath)] = SimFile{s.modulePath, {'M', 'Z'}};
  s.fileVersions[SimLower(s.modulePath)] = {1, 0, 0, 0};
  s.SyncShell();
}

SimWindowSystem::~SimWindowSystem() = default;

// ---------------------------------------------------------------- waiting for other threads

void SimWindowSystem::SufferHang(std::unique_lock<std::mutex>& lk, Op op) {
  s_->hangs.push_back(op);
  lk.unlock();
  AdvanceTime(kHangMs);
  lk.lock();
}

bool SimWindowSystem::RunWhileWaiting(std::unique_lock<std::mutex>& lk, WindowHandle h) {
  auto it = s_->whileWaiting.find(h);
  const SimWin* w = s_->W(h);
  if (it == s_->whileWaiting.end() || it->second.empty() || !w || w->tid == s_->Me().tid) return w != nullptr;
  std::function<void()> action = std::move(it->second.front());
  it->second.pop_front();
  lk.unlock();
  action();
  lk.lock();
  return s_->W(h) != nullptr;
}

bool SimWindowSystem::State::DeactivationWaitsL(WindowHandle h) {
  if (fg == 0 || fg == h) return false;
  const SimWin* f = W(fg);
  if (!f || !f->hung) return false;
  const uint32_t me = Me().tid;
  if (f->tid == me) return false;
  return attached.count({me, f->tid}) > 0 || attached.count({f->tid, me}) > 0;
}

// ---------------------------------------------------------------- windows

WindowHandle SimWindowSystem::GetForegroundWindow() {
  SIM_OP(Op::GetForegroundWindow, 0);
  return s_->fg;
}

WindowHandle SimWindowSystem::GetWindow(WindowHandle h, uint32_t cmd) {
  SIM_OPT(Op::GetWindow, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (!w) return 0;
  if (cmd == GW_OWNER) return w->owner;
  if (cmd == GW_CHILD) {
    if (h == s_->desktop) return s_->top.empty() ? 0 : s_->top.front();
    return w->children.empty() ? 0 : w->children.front();
  }
  if (cmd > GW_CHILD) {
    s_->Err(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto* sib = s_->Siblings(*w);
  if (!sib || sib->empty()) return 0;
  if (cmd == GW_HWNDFIRST) return sib->front();
  if (cmd == GW_HWNDLAST) return sib->back();
  const size_t i = s_->IndexIn(*sib, h);
  if (i == sib->size()) return 0;
  if (cmd == GW_HWNDNEXT) return i + 1 == sib->size() ? 0 : (*sib)[i + 1];
  return i == 0 ? 0 : (*sib)[i - 1];  // GW_HWNDPREV
}

WindowHandle SimWindowSystem::GetParent(WindowHandle h) {
  SIM_OPT(Op::GetParent, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (!w) return 0;
  if (w->style & WS_CHILD) return w->parent;
  if (w->style & WS_POPUP) return w->owner;
  return 0;
}

WindowHandle SimWindowSystem::GetAncestor(WindowHandle h, uint32_t flags) {
  SIM_OPT(Op::GetAncestor, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (!w || h == s_->desktop) return 0;
  if (flags == GA_PARENT) return w->parent ? w->parent : s_->desktop;
  WindowHandle root = h;
  for (int i = 0; i < 64; ++i) {
    SimWin* r = s_->W(root);
    if (!r || r->parent == 0) break;
    root = r->parent;
  }
  if (flags == GA_ROOT) return root;
  if (flags == GA_ROOTOWNER) {
    for (int i = 0; i < 64; ++i) {
      SimWin* r = s_->W(root);
      if (!r || !(r->style & WS_POPUP) || r->owner == 0) break;
      root = r->owner;
    }
    return root;
  }
  s_->Err(ERROR_INVALID_PARAMETER);
  return 0;
}

WindowHandle SimWindowSystem::GetDesktopWindow() {
  SIM_OP(Op::GetDesktopWindow, 0);
  return s_->desktop;
}

WindowHandle SimWindowSystem::GetShellWindow() {
  SIM_OP(Op::GetShellWindow, 0);
  return s_->W(s_->shell) ? s_->shell : 0;
}

bool SimWindowSystem::IsWindow(WindowHandle h) {
  SIM_OPT(Op::IsWindow, FaultTarget::Window(h), false);
  return s_->W(h) != nullptr;
}

bool SimWindowSystem::IsWindowVisible(WindowHandle h) {
  SIM_OPT(Op::IsWindowVisible, FaultTarget::Window(h), false);
  if (!s_->WErr(h)) return false;
  for (int i = 0; i < 64 && h; ++i) {
    SimWin* w = s_->W(h);
    if (!w || !(w->style & WS_VISIBLE)) return false;
    h = w->parent;
  }
  return true;
}

bool SimWindowSystem::IsIconic(WindowHandle h) {
  SIM_OPT(Op::IsIconic, FaultTarget::Window(h), false);
  SimWin* w = s_->WErr(h);
  return w && (w->style & WS_MINIMIZE);
}

bool SimWindowSystem::IsZoomed(WindowHandle h) {
  SIM_OPT(Op::IsZoomed, FaultTarget::Window(h), false);
  SimWin* w = s_->WErr(h);
  return w && (w->style & WS_MAXIMIZE);
}

int32_t SimWindowSystem::GetWindowLongW(WindowHandle h, int32_t index) {
  SIM_OPT(Op::GetWindowLongW, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (!w) return 0;
  if (index == GWL_STYLE) return static_cast<int32_t>(w->style);
  if (index == GWL_EXSTYLE) return static_cast<int32_t>(w->ex);
  s_->Err(1413);  // ERROR_INVALID_INDEX
  return 0;
}

// Windows asks a window of this process for its text with WM_GETTEXT (so a thread of ours that
// does not respond holds the caller); another program's text it reads without asking.
int32_t SimWindowSystem::GetWindowTextLengthW(WindowHandle h) {
  SIM_OPT(Op::GetWindowTextLengthW, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (w && w->pid == s_->ownPid && s_->WaitsForL(*w)) {
    SufferHang(lk, Op::GetWindowTextLengthW);
    w = s_->WErr(h);
  }
  return w ? static_cast<int32_t>(w->title.size()) : 0;
}

std::wstring SimWindowSystem::GetWindowTextW(WindowHandle h) {
  SIM_OPT(Op::GetWindowTextW, FaultTarget::Window(h), L"");
  SimWin* w = s_->WErr(h);
  if (w && w->pid == s_->ownPid && s_->WaitsForL(*w)) {
    SufferHang(lk, Op::GetWindowTextW);
    w = s_->WErr(h);
  }
  return w ? w->title : L"";
}

std::wstring SimWindowSystem::GetClassNameW(WindowHandle h) {
  SIM_OPT(Op::GetClassNameW, FaultTarget::Window(h), L"");
  SimWin* w = s_->WErr(h);
  return w ? w->cls : L"";
}

WindowHandle SimWindowSystem::WindowFromPoint(TPoint pt) {
  SIM_OP(Op::WindowFromPoint, 0);
  State& s = *s_;
  for (auto x : s.top) {
    SimWin* w = s.W(x);
    if (!w || !(w->style & WS_VISIBLE) || (w->style & WS_MINIMIZE) || (w->ex & WS_EX_TRANSPARENT) ||
        !w->rect.Contains(pt.x, pt.y))
      continue;
    WindowHandle cur = x;
    for (int depth = 0; depth < 64; ++depth) {
      SimWin* c = s.W(cur);
      WindowHandle hit = 0;
      for (auto k : c->children) {
        SimWin* kw = s.W(k);
        if (kw && (kw->style & WS_VISIBLE) && kw->rect.Contains(pt.x, pt.y)) {
          hit = k;
          break;
        }
      }
      if (!hit) break;
      cur = hit;
    }
    return cur;
  }
  return 0;
}

bool SimWindowSystem::GetCursorPos(TPoint& pt) {
  SIM_OP(Op::GetCursorPos, false);
  pt = s_->cursor;
  return true;
}

bool SimWindowSystem::GetWindowRect(WindowHandle h, TRect& r) {
  SIM_OPT(Op::GetWindowRect, FaultTarget::Window(h), false);
  SimWin* w = s_->WErr(h);
  if (!w) return false;
  r = w->rect;
  return true;
}

bool SimWindowSystem::GetClientSize(WindowHandle h, int32_t& width, int32_t& height) {
  SIM_OPT(Op::GetClientSize, FaultTarget::Window(h), false);
  SimWin* w = s_->WErr(h);
  if (!w) return false;
  if (w->style & WS_MINIMIZE) {
    width = height = 0;
    return true;
  }
  int32_t fx = 0, top = 0;
  FrameOf(*w, fx, top);
  width = std::max(0, w->rect.Width() - 2 * fx);
  height = std::max(0, w->rect.Height() - 2 * fx - top);
  return true;
}

uint32_t SimWindowSystem::GetWindowThreadProcessId(WindowHandle h, uint32_t* pid) {
  SIM_OPT(Op::GetWindowThreadProcessId, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (!w) {
    if (pid) *pid = 0;
    return 0;
  }
  if (pid) *pid = w->pid;
  return w->tid;
}

int32_t SimWindowSystem::DwmGetCloaked(WindowHandle h, uint32_t& cloaked) {
  std::unique_lock<std::mutex> lk(s_->mu);
  if (auto f = s_->Enter(Op::DwmGetCloaked, FaultTarget::Window(h))) {
    s_->Err(*f);
    return static_cast<int32_t>(0x80070000u | (*f & 0xFFFFu));  // HRESULT_FROM_WIN32
  }
  SimWin* w = s_->W(h);
  if (!w) return static_cast<int32_t>(0x80070578u);  // HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE)
  cloaked = w->cloaked ? 2u /* DWM_CLOAKED_SHELL */ : 0u;
  return S_OK;
}

uint32_t SimWindowSystem::GetDpiForWindow(WindowHandle h) {
  SIM_OPT(Op::GetDpiForWindow, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (!w) return 0;
  const SimMon* m = s_->MonFromRect((w->style & WS_MINIMIZE) ? w->restore : w->rect, MONITOR_DEFAULTTONEAREST);
  return m ? m->dpi : 96;
}

// ---------------------------------------------------------------- monitors

std::vector<MonitorDesc> SimWindowSystem::EnumMonitors() {
  SIM_OP(Op::EnumMonitors, {});
  std::vector<MonitorDesc> out;
  for (auto& m : s_->mons) out.push_back(MonitorDesc{m.h, m.bounds, m.work, m.primary, m.name, m.path});
  return out;
}

MonitorHandle SimWindowSystem::MonitorFromWindow(WindowHandle h, uint32_t flags) {
  SIM_OPT(Op::MonitorFromWindow, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (!w) return 0;
  const TRect r = (w->style & WS_MINIMIZE) ? w->restore : w->rect;
  const SimMon* m = s_->MonFromRect(r, flags);
  return m ? m->h : 0;
}

MonitorHandle SimWindowSystem::MonitorFromPoint(TPoint pt, uint32_t flags) {
  SIM_OPT(Op::MonitorFromPoint, FaultTarget::Point(pt), 0);
  const SimMon* m = s_->MonFromPoint(pt, flags);
  return m ? m->h : 0;
}

bool SimWindowSystem::GetMonitorInfo(MonitorHandle m, MonitorDesc& out) {
  SIM_OPT(Op::GetMonitorInfo, FaultTarget::Monitor(m), false);
  for (auto& x : s_->mons) {
    if (x.h != m) continue;
    out = MonitorDesc{x.h, x.bounds, x.work, x.primary, x.name, x.path};
    return true;
  }
  s_->Err(1461);  // ERROR_INVALID_MONITOR_HANDLE
  return false;
}

TRect SimWindowSystem::GetVirtualScreenRect() {
  SIM_OP(Op::GetVirtualScreenRect, TRect{});
  SimWin* sh = s_->W(s_->shell);
  return sh ? sh->rect : TRect{};
}

bool SimWindowSystem::GetTaskbarPos(TaskbarPos& out) {
  SIM_OP(Op::GetTaskbarPos, false);
  SimWin* t = s_->W(s_->tray);
  if (!t || s_->mons.empty()) return false;
  out.edge = ABE_BOTTOM;
  out.rect = t->rect;
  return true;
}

// ---------------------------------------------------------------- placing

bool SimWindowSystem::SetWindowPos(WindowHandle h, WindowHandle insertAfter, int32_t x, int32_t y, int32_t cx,
                              int32_t cy, uint32_t flags) {
  SIM_OPT(Op::SetWindowPos, FaultTarget::Window(h), false);
  State& s = *s_;
  SimWin* w = s.WErr(h);
  if (!w) return false;
  if ((flags & SWP_ASYNCWINDOWPOS) && s.WaitsForL(*w)) {
    // Posted to the window's thread, which carries it out once it takes its messages again.
    w->deferred.push_back(SimDeferredPos{insertAfter, x, y, cx, cy, flags & ~SWP_ASYNCWINDOWPOS});
    return true;
  }
  const bool activates = !(flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW));
  if (s.WaitsForL(*w) || (activates && s.DeactivationWaitsL(h))) {
    SufferHang(lk, Op::SetWindowPos);
    w = s.WErr(h);
    if (!w) return false;
  }
  if (!(flags & SWP_ASYNCWINDOWPOS)) {
    if (!RunWhileWaiting(lk, h)) return s.WErr(h) != nullptr;
    w = s.W(h);
  }
  const bool special = insertAfter == HWND_TOP || insertAfter == HWND_BOTTOM || insertAfter == HWND_TOPMOST ||
                       insertAfter == HWND_NOTOPMOST;
  if (!(flags & SWP_NOZORDER) && !special && !s.W(insertAfter)) {
    s.Err(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  if (h == s.desktop) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  // User-interface privilege isolation: a window of a process at a higher integrity level than
  // ours cannot be moved by us.
  auto owner = s.procs.find(w->pid);
  auto own = s.procs.find(s.ownPid);
  if (owner != s.procs.end() && own != s.procs.end() && owner->second.rid > own->second.rid) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  // A minimized window stays parked and keeps its normal rectangle (SetWindowPlacement would
  // change that); a maximized one moves and stays maximized.
  if (!(w->style & WS_MINIMIZE)) {
    const bool echoes = w->echoFor > 0;
    const TRect before = echoes ? w->given : w->rect;
    TRect target = before;
    if (!(flags & SWP_NOMOVE)) {
      const int32_t wd = target.Width(), ht = target.Height();
      target = TRect{x, y, x + wd, y + ht};
    }
    if (!(flags & SWP_NOSIZE)) {
      target.SetWidth(std::max(0, cx));
      target.SetHeight(std::max(0, cy));
    }
    if (!echoes) {
      w->rect = target;
    } else if (target != before) {
      w->given = target;
      w->rect = target;
      // The late answers: the place before this one while it lags or flips back, then the place
      // given last (a later placement may have asked for another meanwhile).
      const auto show = [this, h](TRect r, bool latest) {
        std::lock_guard relock(s_->mu);
        SimWin* win = s_->W(h);
        if (!win || (win->style & WS_MINIMIZE)) return;
        win->rect = latest ? win->given : r;
        if (!(win->style & WS_MAXIMIZE)) win->restore = win->rect;
      };
      if (w->echoAfter == 0)
        w->rect = before;
      else
        s.actions.push_back(SimAction{s.now + w->echoAfter, ++s.actionSeq, [show, before] { show(before, false); }});
      s.actions.push_back(
          SimAction{s.now + w->echoAfter + w->echoFor, ++s.actionSeq, [show] { show(TRect{}, true); }});
    }
    if (!(w->style & WS_MAXIMIZE)) w->restore = w->rect;
  }

  if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
  if (flags & SWP_HIDEWINDOW) {
    w->style &= ~WS_VISIBLE;
    s.ActivateNext(h);
  }
  if (!(flags & SWP_NOZORDER)) {
    if (w->parent == 0) {
      if (insertAfter == HWND_TOPMOST) {
        s.SetTopmost(*w, true);
        s.PlaceTop(h);
      } else if (insertAfter == HWND_NOTOPMOST) {
        if (w->ex & WS_EX_TOPMOST) {
          s.SetTopmost(*w, false);
          s.PlaceTop(h);
        }
      } else if (insertAfter == HWND_TOP) {
        s.PlaceTop(h);
      } else if (insertAfter == HWND_BOTTOM) {
        s.SetTopmost(*w, false);  // a topmost window sent to the bottom loses its status
        s.PlaceBottom(h);
      } else {
        s.PlaceAfter(h, insertAfter);
      }
    } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
      s.PlaceTop(h);
    } else if (insertAfter == HWND_BOTTOM) {
      s.PlaceBottom(h);
    } else {
      s.PlaceAfter(h, insertAfter);
    }
  }
  if (!(flags & SWP_NOACTIVATE) && w->parent == 0 && (w->style & WS_VISIBLE) && !(flags & SWP_HIDEWINDOW) &&
      s.CanSetForeground(s.Me().tid)) {
    s.fg = h;
    s.focus = h;
    if (flags & SWP_NOZORDER) {
      // activation without re-ordering: the window keeps its place
    } else if (insertAfter == HWND_TOP) {
      s.PlaceTop(h);
    }
  }
  return true;
}

bool SimWindowSystem::RedrawWindow(WindowHandle h, uint32_t flags) {
  SIM_OPT(Op::RedrawWindow, FaultTarget::Window(h), false);
  if (h == 0) return true;  // the desktop
  SimWin* w = s_->WErr(h);
  if (!w) return false;
  // Painting now is done by the window's own thread, and the caller waits for it.
  if ((flags & RDW_UPDATENOW) && s_->WaitsForL(*w)) {
    SufferHang(lk, Op::RedrawWindow);
    if (!s_->WErr(h)) return false;
  }
  if (!(flags & RDW_UPDATENOW)) return true;
  if (!RunWhileWaiting(lk, h)) return s_->WErr(h) != nullptr;
  // Our own visible window is painted before the call returns; the update region is not modelled,
  // so only an invalidation asked for here makes it paint.
  w = s_->W(h);
  if (!w || w->pid != s_->ownPid || !w->proc || w->tid != s_->Me().tid || !(flags & RDW_INVALIDATE)) return true;
  for (const SimWin* v = w; v; v = v->parent ? s_->W(v->parent) : nullptr)
    if (!(v->style & WS_VISIBLE)) return true;
  const std::shared_ptr<WindowProc> proc = w->proc;
  lk.unlock();
  (*proc)(h, kWmPaint, 0, 0);
  return true;
}

bool SimWindowSystem::ShowWindow(WindowHandle h, int32_t cmd) {
  SIM_OPT(Op::ShowWindow, FaultTarget::Window(h), false);
  State& s = *s_;
  SimWin* w = s.WErr(h);
  if (!w) return false;
  const bool activates = cmd == SW_SHOWNORMAL || cmd == SW_RESTORE || cmd == 10 || cmd == SW_SHOWMINIMIZED ||
                         cmd == SW_MAXIMIZE || cmd == SW_SHOW;
  if (s.WaitsForL(*w) || (activates && s.DeactivationWaitsL(h))) {
    SufferHang(lk, Op::ShowWindow);
    w = s.WErr(h);
    if (!w) return false;
  }
  const bool was = (w->style & WS_VISIBLE) != 0;
  const bool mayActivate = s.CanSetForeground(s.Me().tid) && w->parent == 0;
  auto activate = [&] {
    if (mayActivate) s.Activate(h);
    else if (w->parent == 0) s.PlaceTop(h);
  };
  switch (cmd) {
    case SW_HIDE:
      w->style &= ~WS_VISIBLE;
      s.ActivateNext(h);
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case 10:  // SW_SHOWDEFAULT
      w->style |= WS_VISIBLE;
      s.RestoreNormal(*w);
      activate();
      break;
    case SW_SHOWNOACTIVATE:
      w->style |= WS_VISIBLE;
      s.RestoreNormal(*w);
      break;
    case SW_SHOWMINIMIZED:
      w->style |= WS_VISIBLE;
      s.Minimize(*w);
      if (mayActivate) s.fg = h, s.focus = h;
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case 11:  // SW_FORCEMINIMIZE
      if (cmd != 11) w->style |= WS_VISIBLE;
      s.Minimize(*w);
      s.ActivateNext(h);
      break;
    case SW_MAXIMIZE:
      w->style |= WS_VISIBLE;
      s.Maximize(*w);
      activate();
      break;
    case SW_SHOW:
      w->style |= WS_VISIBLE;
      activate();
      break;
    case SW_SHOWNA:
      w->style |= WS_VISIBLE;
      break;
    default:
      s.Err(ERROR_INVALID_PARAMETER);
      return false;
  }
  return was;
}

bool SimWindowSystem::BringWindowToTop(WindowHandle h) {
  SIM_OPT(Op::BringWindowToTop, FaultTarget::Window(h), false);
  State& s = *s_;
  SimWin* w = s.WErr(h);
  if (!w) return false;
  if (s.WaitsForL(*w) || s.DeactivationWaitsL(h)) {
    SufferHang(lk, Op::BringWindowToTop);
    w = s.WErr(h);
    if (!w) return false;
  }
  s.PlaceTop(h);
  // BringWindowToTop activates a top-level window when its process may take the foreground.
  if (w->parent == 0 && (w->style & WS_VISIBLE) && s.CanSetForeground(s.Me().tid)) {
    s.fg = h;
    s.focus = h;
  }
  return true;
}

bool SimWindowSystem::GetWindowPlacement(WindowHandle h, TWindowPlacement& out) {
  SIM_OPT(Op::GetWindowPlacement, FaultTarget::Window(h), false);
  const SimWin* w = s_->WErr(h);
  if (!w) return false;
  const bool min = (w->style & WS_MINIMIZE) != 0, max = (w->style & WS_MAXIMIZE) != 0;
  out.showCmd = min ? SW_SHOWMINIMIZED : max ? SW_MAXIMIZE : SW_SHOWNORMAL;
  out.normal = min || max ? w->restore : w->rect;
  out.restoreToMaximized = min && w->restoreToMax;
  return true;
}

bool SimWindowSystem::SetWindowPlacement(WindowHandle h, const TWindowPlacement& wp) {
  SIM_OPT(Op::SetWindowPlacement, FaultTarget::Window(h), false);
  State& s = *s_;
  SimWin* w = s.WErr(h);
  if (!w) return false;
  auto owner = s.procs.find(w->pid);
  auto own = s.procs.find(s.ownPid);
  if (owner != s.procs.end() && own != s.procs.end() && owner->second.rid > own->second.rid) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  const bool min = (w->style & WS_MINIMIZE) != 0, max = (w->style & WS_MAXIMIZE) != 0;
  switch (wp.showCmd) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      if (min) {
        w->restore = wp.normal;
      } else {
        if (!max) w->rect = wp.normal;
        else w->restore = wp.normal;
        s.Minimize(*w);
      }
      w->restoreToMax = w->restoreToMax || wp.restoreToMaximized;
      if (w->restoreToMax) w->maxFrom = wp.normal;
      break;
    case SW_MAXIMIZE:
      w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
      w->rect = wp.normal;
      s.Maximize(*w);
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWNOACTIVATE:
      w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
      w->restoreToMax = false;
      w->rect = wp.normal;
      break;
    default:
      s.Err(ERROR_INVALID_PARAMETER);
      return false;
  }
  w->style |= WS_VISIBLE;
  return true;
}

bool SimWindowSystem::SetForegroundWindow(WindowHandle h) {
  SIM_OPT(Op::SetForegroundWindow, FaultTarget::Window(h), false);
  State& s = *s_;
  SimWin* w = s.WErr(h);
  if (!w) return false;
  // The window's own thread learns of it later; only a deactivation inside shared input waits.
  if (s.DeactivationWaitsL(h)) {
    SufferHang(lk, Op::SetForegroundWindow);
    w = s.WErr(h);
    if (!w) return false;
  }
  if (!s.CanSetForeground(s.Me().tid)) return false;  // Windows flashes the taskbar button instead
  s.Activate(h);
  return true;
}

WindowHandle SimWindowSystem::SetFocus(WindowHandle h) {
  SIM_OPT(Op::SetFocus, FaultTarget::Window(h), 0);
  State& s = *s_;
  const WindowHandle prev = s.focus;
  if (h == 0) {
    s.focus = 0;
    return prev;
  }
  SimWin* w = s.WErr(h);
  if (!w) return 0;
  const uint32_t me = s.Me().tid;
  const bool mine = w->tid == me || s.attached.count({me, w->tid}) || s.attached.count({w->tid, me});
  if (!mine) {
    s.Err(ERROR_ACCESS_DENIED);
    return 0;
  }
  s.focus = h;
  if (prev == h) return prev;
  // Our own windows on this thread are told, the one losing the focus first.
  auto ownProc = [&](WindowHandle x) -> std::shared_ptr<WindowProc> {
    const SimWin* o = s.W(x);
    return o && o->pid == s.ownPid && o->tid == me ? o->proc : nullptr;
  };
  const std::shared_ptr<WindowProc> losing = ownProc(prev), gaining = ownProc(h);
  lk.unlock();
  if (losing) (*losing)(prev, kWmKillFocus, h, 0);
  if (gaining) (*gaining)(h, WM_SETFOCUS, prev, 0);
  return prev;
}

bool SimWindowSystem::AttachThreadInput(uint32_t idAttach, uint32_t idAttachTo, bool attach) {
  SIM_OP(Op::AttachThreadInput, false);
  State& s = *s_;
  if (idAttach == idAttachTo || !s.threadPid.count(idAttach) || !s.threadPid.count(idAttachTo)) {
    s.Err(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (attach) {
    s.attached.insert({idAttach, idAttachTo});
    return true;
  }
  if (!s.attached.erase({idAttach, idAttachTo})) {
    s.Err(ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

bool SimWindowSystem::SystemParametersGet(uint32_t action, uint32_t& value) {
  SIM_OP(Op::SystemParametersGet, false);
  switch (action) {
    case SPI_GETFOREGROUNDLOCKTIMEOUT: value = s_->lockTimeout; return true;
    case SPI_GETKEYBOARDSPEED: value = s_->keyboardSpeed; return true;
    case SPI_GETKEYBOARDDELAY: value = 1; return true;
    default: s_->Err(ERROR_INVALID_PARAMETER); return false;
  }
}

bool SimWindowSystem::SystemParametersSet(uint32_t action, uint32_t /*uiParam*/, uintptr_t pvParam, uint32_t /*winIni*/) {
  SIM_OP(Op::SystemParametersSet, false);
  State& s = *s_;
  if (action != SPI_SETFOREGROUNDLOCKTIMEOUT) {
    s.Err(ERROR_INVALID_PARAMETER);
    return false;
  }
  // Only a thread that may change the foreground window may change this setting.
  if (s.lockEnforced && !s.CanSetForeground(s.Me().tid)) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  s.lockTimeout = static_cast<uint32_t>(pvParam);
  return true;
}

}  // namespace tessary::sim
