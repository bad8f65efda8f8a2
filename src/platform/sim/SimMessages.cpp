// The simulated desktop: the program's own windows, message queues and timers.
//
// Window procedures run on the calling OS thread and never under the state lock, so they may
// call back into the desktop. SendMessage (and SendMessageTimeout) to a window whose thread is a
// real thread of the test (it has used the desktop) waits, as on Windows, until that thread pumps
// and answers (a thread marked hung with SetHung times out instead); to a
// window of a thread that exists only in the simulation it runs on the caller's thread (there is
// no second message loop to hand it to).
//
// PumpOneMessage never waits for real: with nothing queued it moves the virtual clock to the
// next timer or scheduled action; when nothing at all could ever arrive it returns false as if
// WM_QUIT had been taken, so a test cannot hang.
#include <algorithm>
#include <climits>

#include "platform/sim/SimState.h"

namespace tessary::sim {

using namespace tessary::wc;

namespace {
constexpr uint32_t kMinTimer = 10;  // USER_TIMER_MINIMUM
}

bool SimWindowSystem::State::RealThreadL(uint32_t tid) const {
  for (auto& [id, c] : ctx)
    if (c.tid == tid) return true;
  return false;
}

std::shared_ptr<SimSent> SimWindowSystem::State::TakeSentL(uint32_t tid) {
  auto it = sent.find(tid);
  if (it == sent.end()) return nullptr;
  while (!it->second.empty()) {
    auto call = it->second.front();
    it->second.pop_front();
    if (W(call->h)) {
      call->taken = true;
      return call;
    }
    sentCv.notify_all();  // its window went: the sender gives up
  }
  return nullptr;
}

WindowHandle SimWindowSystem::CreateWindowExW(uint32_t exStyle, const std::wstring& className, const std::wstring& title,
                                         uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                                         WindowHandle parent, WindowProc proc) {
  WindowHandle h = 0;
  std::shared_ptr<WindowProc> p;
  bool activate = false;
  {
    SIM_OP(Op::CreateWindowExW, 0);
    State& s = *s_;
    if (className.empty()) {
      s.Err(1411);  // ERROR_CANNOT_FIND_WND_CLASS
      return 0;
    }
    SimWin w;
    w.cls = className;
    w.title = title;
    if (x == INT32_MIN) x = 100, y = 100;
    if (width == INT32_MIN) width = 800, height = 600;
    w.rect = w.restore = TRect{x, y, x + std::max(0, width), y + std::max(0, height)};
    w.style = style & ~(WS_MINIMIZE | WS_MAXIMIZE);
    // An overlapped window always gets a caption and clips its siblings; a program that wants
    // none takes the caption away after creation.
    if (!(style & (WS_POPUP | WS_CHILD)) && parent != HWND_MESSAGE) w.style |= WS_CAPTION | WS_CLIPSIBLINGS;
    w.ex = exStyle;
    if (auto cs = s.classStyles.find(className); cs != s.classStyles.end()) w.classStyle = cs->second;
    w.pid = s.ownPid;
    w.tid = s.Me().tid;
    if (proc) w.proc = std::make_shared<WindowProc>(std::move(proc));
    if (parent == HWND_MESSAGE) {
      w.messageOnly = true;
    } else if (parent != 0) {
      SimWin* pw = s.WErr(parent);
      if (!pw) return 0;
      if (style & WS_CHILD) {
        w.parent = parent;
        // Given in the parent's client coordinates; kept, like every rectangle, on the screen.
        int32_t side = 0, caption = 0;
        FrameOf(*pw, side, caption);
        const int32_t dx = pw->rect.Left + side, dy = pw->rect.Top + side + caption;
        for (TRect* r : {&w.rect, &w.restore}) *r = TRect{r->Left + dx, r->Top + dy, r->Right + dx, r->Bottom + dy};
        w.ex &= ~WS_EX_TOPMOST;
      } else if (parent != s.desktop) {  // as on Windows, the desktop owns nothing
        WindowHandle root = parent;  // a top-level window is owned by the parent's root
        while (SimWin* r = s.W(root)) {
          if (r->parent == 0) break;
          root = r->parent;
        }
        w.owner = root;
      }
    } else if (style & WS_CHILD) {
      s.Err(1406);  // ERROR_TLW_WITH_WSCHILD
      return 0;
    }
    h = s.NewWindowL(std::move(w), true);
    SimWin& nw = *s.W(h);
    if (style & WS_MAXIMIZE) s.Maximize(nw);
    if (style & WS_MINIMIZE) s.Minimize(nw);
    p = nw.proc;
    activate = (style & WS_VISIBLE) && nw.parent == 0 && !nw.messageOnly && !(exStyle & WS_EX_NOACTIVATE) &&
               s.CanSetForeground(s.Me().tid);
  }
  if (p && (*p)(h, WM_CREATE, 0, 0) == -1) {
    std::lock_guard lk(s_->mu);
    s_->RemoveWindowL(h, nullptr);
    return 0;
  }
  if (activate) {
    std::lock_guard lk(s_->mu);
    if (s_->W(h)) s_->Activate(h);
  }
  return h;
}

// Window frames as GetClientSize reports them: the same widths at every DPI.
bool SimWindowSystem::AdjustWindowRectExForDpi(TRect& r, uint32_t style, uint32_t exStyle, uint32_t dpi) {
  SIM_OP(Op::AdjustWindowRectExForDpi, false);
  (void)exStyle;
  if (dpi == 0) {
    s_->Err(87);
    return false;
  }
  int32_t fx = 0, top = 0;
  if (style & WS_THICKFRAME) fx = 8;
  else if (style & (WS_BORDER | WS_DLGFRAME)) fx = (style & WS_DLGFRAME) ? 3 : 1;
  if ((style & WS_CAPTION) == WS_CAPTION) top = 23;
  r.Left -= fx;
  r.Right += fx;
  r.Top -= fx + top;
  r.Bottom += fx;
  return true;
}

void SimWindowSystem::SetClassStyle(const std::wstring& className, uint32_t classStyle) {
  SIM_OP(Op::SetClassStyle, );
  s_->classStyles.emplace(className, classStyle);  // like a registration: the first one stays
}

uint32_t SimWindowSystem::GetClassStyle(WindowHandle h) {
  SIM_OPT(Op::GetClassStyle, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  return w ? w->classStyle : 0;
}

bool SimWindowSystem::DestroyWindow(WindowHandle h) {
  std::vector<std::pair<WindowHandle, std::shared_ptr<WindowProc>>> notify;
  {
    SIM_OP(Op::DestroyWindow, false);
    State& s = *s_;
    SimWin* w = s.WErr(h);
    if (!w) return false;
    if (w->pid != s.ownPid || w->tid != s.Me().tid) {
      s.Err(ERROR_ACCESS_DENIED);
      return false;
    }
    if (w->destroying) return true;  // called again from its own WM_DESTROY
    // Owned windows go first; then WM_DESTROY reaches the window, then its children, while all
    // of them are still valid (handlers may still unregister what they hold).
    std::function<void(WindowHandle, int)> collect = [&](WindowHandle x, int depth) {
      SimWin* xw = s.W(x);
      if (!xw || xw->destroying || depth > 64) return;
      xw->destroying = true;
      std::vector<WindowHandle> owned;
      for (auto& [oh, ow] : s.wins)
        if (ow.owner == x) owned.push_back(oh);
      for (auto o : owned) collect(o, depth + 1);
      notify.emplace_back(x, xw->proc);
      std::vector<WindowHandle> stack(xw->children.rbegin(), xw->children.rend());
      while (!stack.empty()) {
        const WindowHandle k = stack.back();
        stack.pop_back();
        SimWin* kw = s.W(k);
        if (!kw) continue;
        kw->destroying = true;
        notify.emplace_back(k, kw->proc);
        stack.insert(stack.end(), kw->children.rbegin(), kw->children.rend());
      }
    };
    collect(h, 0);
    for (auto& [x, p] : notify) {
      SimWin* xw = s.W(x);
      if (xw && xw->parent == 0) {
        xw->style &= ~WS_VISIBLE;  // hidden first, the foreground moves on
        s.ActivateNext(x);
      }
    }
  }
  for (auto& [x, p] : notify)
    if (p) (*p)(x, WM_DESTROY, 0, 0);
  std::lock_guard relock(s_->mu);
  for (auto& [x, p] : notify) s_->RemoveWindowL(x, nullptr);
  return true;
}

bool SimWindowSystem::SetWindowTextW(WindowHandle h, const std::wstring& text) {
  SIM_OPT(Op::SetWindowTextW, FaultTarget::Window(h), false);
  SimWin* w = s_->WErr(h);
  if (!w) return false;
  w->title = text;
  return true;
}

bool SimWindowSystem::SetWindowLongW(WindowHandle h, int32_t index, int32_t value) {
  SIM_OPT(Op::SetWindowLongW, FaultTarget::Window(h), false);
  SimWin* w = s_->WErr(h);
  if (!w) return false;
  const auto v = static_cast<uint32_t>(value);
  if (index == GWL_STYLE) {
    w->style = v;
  } else if (index == GWL_EXSTYLE) {
    w->ex = (v & ~WS_EX_TOPMOST) | (w->ex & WS_EX_TOPMOST);  // only SetWindowPos changes topmost
  } else {
    s_->Err(1413);
    return false;
  }
  return true;
}

bool SimWindowSystem::PostMessageW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  SIM_OPT(Op::PostMessageW, FaultTarget::Window(h), false);
  State& s = *s_;
  if (h == 0) {
    s.PostL(s.Me().tid, SimMsg{0, msg, wParam, lParam});
    return true;
  }
  SimWin* w = s.WErr(h);
  if (!w) return false;
  if (w->pid == s.ownPid) s.PostL(w->tid, SimMsg{h, msg, wParam, lParam});
  return true;  // other programs' queues are not modelled
}

bool SimWindowSystem::SendToThread(std::unique_lock<std::mutex>& lk, const SimWin& w, uint32_t msg, uintptr_t wParam,
                              intptr_t lParam, intptr_t& result) {
  State& s = *s_;
  const WindowHandle h = w.h;
  const uint32_t tid = w.tid;
  auto call = std::make_shared<SimSent>(SimSent{h, msg, wParam, lParam});
  s.sent[tid].push_back(call);
  s.sentCv.notify_all();  // the receiver may itself be waiting in a send
  // While it waits, this thread handles what other threads send to it, as on Windows: two threads
  // sending to each other do not lock up.
  const uint32_t me = s.Me().tid;
  const auto mineWaiting = [&] {
    auto it = s.sent.find(me);
    return it != s.sent.end() && !it->second.empty();
  };
  for (;;) {
    s.sentCv.wait(lk, [&] { return call->done || (!call->taken && !s.W(h)) || mineWaiting(); });
    if (call->done || (!call->taken && !s.W(h))) break;
    if (auto mine = s.TakeSentL(me)) RunSent(lk, mine);
  }
  if (!call->done) {
    std::erase(s.sent[tid], call);
    s.Err(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  result = call->result;
  return true;
}

intptr_t SimWindowSystem::SendMessageW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  std::shared_ptr<WindowProc> p;
  {
    SIM_OPT(Op::SendMessageW, FaultTarget::Window(h), 0);
    SimWin* w = s_->WErr(h);
    if (!w) return 0;
    if (s_->WaitsForL(*w)) {
      SufferHang(lk, Op::SendMessageW);
      w = s_->WErr(h);
      if (!w) return 0;
    }
    if (!RunWhileWaiting(lk, h)) {
      s_->WErr(h);
      return 0;
    }
    w = s_->W(h);
    if (w->pid != s_->ownPid || !w->proc) {
      if (msg == WM_GETICON) {
        if (wParam == ICON_BIG) return static_cast<intptr_t>(w->big);
        if (wParam == ICON_SMALL) return static_cast<intptr_t>(w->small);
        if (wParam == ICON_SMALL2) return static_cast<intptr_t>(w->small ? w->small : w->big);
      }
      return 0;
    }
    p = w->proc;
    State& s = *s_;
    if (w->tid != s.Me().tid && s.RealThreadL(w->tid)) {
      intptr_t result = 0;
      return SendToThread(lk, *w, msg, wParam, lParam, result) ? result : 0;
    }
  }
  return (*p)(h, msg, wParam, lParam);
}

// Runs a message another thread sent to one of this thread's windows and hands the answer back.
void SimWindowSystem::RunSent(std::unique_lock<std::mutex>& lk, const std::shared_ptr<SimSent>& call) {
  std::shared_ptr<WindowProc> p;
  if (SimWin* w = s_->W(call->h)) p = w->proc;
  lk.unlock();
  intptr_t result = 0;
  try {
    if (p) result = (*p)(call->h, call->msg, call->w, call->l);
  } catch (...) {
    lk.lock();
    call->done = true;
    s_->sentCv.notify_all();
    throw;
  }
  lk.lock();
  call->result = result;
  call->done = true;
  s_->sentCv.notify_all();
}

bool SimWindowSystem::SendMessageTimeoutW(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                                     uint32_t flags, uint32_t timeoutMs, uintptr_t& result) {
  std::shared_ptr<WindowProc> p;
  {
    SIM_OPT(Op::SendMessageTimeoutW, FaultTarget::Window(h), false);
    State& s = *s_;
    SimWin* w = s.WErr(h);
    if (!w) return false;
    if (s.WaitsForL(*w)) {
      result = 0;
      // Given up at once only once the system counts the thread as hung; before that the caller
      // waits the whole time-out (measured under Wine: 1 s right after the hang, at once 5 s later).
      if (!((flags & SMTO_ABORTIFHUNG) && s.now >= w->hungCountedAt)) {
        lk.unlock();
        AdvanceTime(timeoutMs);
        lk.lock();
      }
      s.Err(ERROR_TIMEOUT);
      return false;
    }
    if (!RunWhileWaiting(lk, h)) return s.WErr(h) != nullptr;
    w = s.W(h);
    if (w->pid != s.ownPid || !w->proc) {
      result = 0;
      if (msg == WM_GETICON) {
        if (wParam == ICON_BIG) result = w->big;
        else if (wParam == ICON_SMALL) result = w->small;
        else if (wParam == ICON_SMALL2) result = w->small ? w->small : w->big;
      }
      return true;
    }
    if (w->tid != s.Me().tid && s.RealThreadL(w->tid)) {
      intptr_t answer = 0;
      if (!SendToThread(lk, *w, msg, wParam, lParam, answer)) return false;
      result = static_cast<uintptr_t>(answer);
      return true;
    }
    p = w->proc;
  }
  result = static_cast<uintptr_t>((*p)(h, msg, wParam, lParam));
  return true;
}

bool SimWindowSystem::SendCopyData(WindowHandle from, WindowHandle to, const CopyDataRecord& data, intptr_t& result) {
  std::shared_ptr<WindowProc> p;
  {
    SIM_OPT(Op::SendCopyData, FaultTarget::Window(to), false);
    SimWin* w = s_->WErr(to);
    if (!w) return false;
    result = 0;
    if (s_->WaitsForL(*w)) {
      SufferHang(lk, Op::SendCopyData);  // SendMessageW: it waits until the receiver answers
      w = s_->WErr(to);
      if (!w) return false;
    }
    if (w->pid != s_->ownPid || !w->proc) return true;
    p = w->proc;
  }
  // The receiver sees its own copy of the bytes, as the system marshals them.
  std::vector<uint8_t> copy;
  if (data.lpData && data.cbData)
    copy.assign(static_cast<const uint8_t*>(data.lpData), static_cast<const uint8_t*>(data.lpData) + data.cbData);
  CopyDataRecord rec{data.dwData, data.cbData, copy.empty() ? nullptr : copy.data()};
  result = (*p)(to, WM_COPYDATA, from, reinterpret_cast<intptr_t>(&rec));
  return true;
}

WindowHandle SimWindowSystem::FindWindowW(const std::wstring& className, const std::wstring& title) {
  SIM_OP(Op::FindWindowW, 0);
  State& s = *s_;
  // Both names compare without regard to case; an empty name matches any window.
  for (auto x : s.top) {
    SimWin* w = s.W(x);
    if (!w) continue;
    if (!className.empty() && !SimIEquals(w->cls, className)) continue;
    if (!title.empty() && !SimIEquals(w->title, title)) continue;
    return x;
  }
  s.Err(ERROR_FILE_NOT_FOUND);
  return 0;
}

uint32_t SimWindowSystem::RegisterWindowMessageW(const std::wstring& name) {
  SIM_OP(Op::RegisterWindowMessageW, 0);
  return RegisterMessageL(name);
}

uint32_t SimWindowSystem::RegisterMessageL(const std::wstring& name) {
  if (name.empty()) {
    s_->Err(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto key = SimLower(name);
  auto it = s_->regMsgs.find(key);
  if (it != s_->regMsgs.end()) return it->second;
  const uint32_t id = s_->nextRegMsg++;
  s_->regMsgs[key] = id;
  return id;
}

bool SimWindowSystem::SetTimer(WindowHandle h, uintptr_t id, uint32_t elapseMs) {
  SIM_OPT(Op::SetTimer, FaultTarget::Window(h), false);
  State& s = *s_;
  SimWin* w = s.WErr(h);
  if (!w) return false;
  if (w->pid != s.ownPid) {
    s.Err(ERROR_ACCESS_DENIED);
    return false;
  }
  const uint32_t e = std::max(elapseMs, kMinTimer);
  for (auto& t : s.timers)
    if (t.h == h && t.id == id) {  // same id: the timer is reset
      t.elapse = e;
      t.due = s.now + e;
      return true;
    }
  s.timers.push_back(SimTimer{h, id, e, s.now + e});
  return true;
}

bool SimWindowSystem::KillTimer(WindowHandle h, uintptr_t id) {
  SIM_OP(Op::KillTimer, false);
  auto& ts = s_->timers;
  auto it = std::find_if(ts.begin(), ts.end(), [&](const SimTimer& t) { return t.h == h && t.id == id; });
  if (it == ts.end()) {
    if (h != 0) s_->WErr(h);
    return false;
  }
  ts.erase(it);
  return true;
}

void SimWindowSystem::ProcessPendingMessages() {
  SIM_OPV(Op::ProcessPendingMessages);
  const uint32_t tid = s_->Me().tid;
  std::set<std::pair<WindowHandle, uintptr_t>> fired;
  // Messages posted while dispatching are taken too, as a PeekMessage loop does; each due
  // timer fires once per call however many periods have passed.
  for (int guard = 0; guard < 1000000; ++guard) {
    if (auto call = s_->TakeSentL(tid)) {  // sent messages go ahead of posted ones
      ++s_->dispatched;
      RunSent(lk, call);
      continue;
    }
    SimMsg m{};
    bool have = false;
    auto& q = s_->queues[tid];
    if (!q.empty()) {
      m = q.front();
      q.pop_front();
      have = true;
    } else if (s_->quitPosted.count(tid)) {
      return;  // WM_QUIT stays for the message loop
    } else {
      for (auto& t : s_->timers) {
        SimWin* w = s_->W(t.h);
        if (!w || w->tid != tid || t.due > s_->now || fired.count({t.h, t.id})) continue;
        fired.insert({t.h, t.id});
        t.due = s_->now + t.elapse;
        m = SimMsg{t.h, WM_TIMER, t.id, 0, s_->Tick()};
        have = true;
        break;
      }
    }
    if (!have) return;
    s_->Me().messageTime = m.time;
    SimWin* w = s_->W(m.h);
    if (!w || !w->proc) continue;
    auto p = w->proc;
    ++s_->dispatched;
    lk.unlock();
    (*p)(m.h, m.msg, m.w, m.l);
    lk.lock();
  }
}

bool SimWindowSystem::PumpOneMessage() {
  std::unique_lock<std::mutex> lk(s_->mu);
  s_->Enter(Op::PumpOneMessage);
  const uint32_t tid = s_->Me().tid;
  for (;;) {
    if (auto call = s_->TakeSentL(tid)) {  // dispatched inside GetMessage; it goes on waiting
      ++s_->dispatched;
      RunSent(lk, call);
      continue;
    }
    auto& q = s_->queues[tid];
    SimMsg m{};
    bool have = false;
    if (!q.empty()) {
      m = q.front();
      q.pop_front();
      have = true;
    } else if (s_->quitPosted.erase(tid)) {
      return false;
    } else {
      SimTimer* next = nullptr;
      for (auto& t : s_->timers) {
        SimWin* w = s_->W(t.h);
        if (!w || w->tid != tid) continue;
        if (!next || t.due < next->due) next = &t;
      }
      if (next && next->due <= s_->now) {
        next->due = s_->now + next->elapse;
        m = SimMsg{next->h, WM_TIMER, next->id, 0, s_->Tick()};
        have = true;
      } else {
        // Nothing ready: let virtual time run to whatever comes first.
        uint64_t wake = UINT64_MAX;
        if (next) wake = next->due;
        for (auto& a : s_->actions) wake = std::min(wake, a.due);
        if (wake == UINT64_MAX) return false;  // nothing could ever arrive
        const uint64_t delta = wake > s_->now ? wake - s_->now : 0;
        lk.unlock();
        AdvanceTime(static_cast<uint32_t>(std::min<uint64_t>(delta, UINT32_MAX)));
        lk.lock();
        continue;
      }
    }
    if (!have) continue;
    s_->Me().messageTime = m.time;
    SimWin* w = s_->W(m.h);
    if (!w || !w->proc) return true;  // taken, nothing to dispatch to
    auto p = w->proc;
    ++s_->dispatched;
    lk.unlock();
    (*p)(m.h, m.msg, m.w, m.l);
    return true;
  }
}

uint32_t SimWindowSystem::GetMessageTime() {
  SIM_OP(Op::GetMessageTime, 0);
  return s_->Me().messageTime;
}

void SimWindowSystem::PostQuitMessage(int32_t /*exitCode*/) {
  SIM_OPV(Op::PostQuitMessage);
  s_->quitPosted.insert(s_->Me().tid);
}

KernelHandle SimWindowSystem::RegisterDeviceNotificationW(WindowHandle h, const std::wstring& interfaceClassGuid) {
  SIM_OPT(Op::RegisterDeviceNotificationW, FaultTarget::Window(h), 0);
  State& s = *s_;
  if (!s.WErr(h)) return 0;
  KObj o;
  o.kind = KKind::DevNotify;
  o.wnd = h;
  o.guid = interfaceClassGuid;
  s.nextK += 4;
  s.kobjs[s.nextK] = o;
  return s.nextK;
}

bool SimWindowSystem::UnregisterDeviceNotification(KernelHandle n) {
  SIM_OP(Op::UnregisterDeviceNotification, false);
  auto it = s_->kobjs.find(n);
  if (it == s_->kobjs.end() || it->second.kind != KKind::DevNotify) {
    s_->Err(ERROR_INVALID_HANDLE);
    return false;
  }
  s_->kobjs.erase(it);
  return true;
}

}  // namespace tessary::sim
