// The simulated desktop: processes, kernel handles, registry, keyboard, hotkeys, time, errors,
// faults and the small shell services.
#include <algorithm>
#include <cstdio>
#include <cwctype>

#include "platform/sim/SimState.h"

namespace tessary::sim {

using namespace tessary::wc;

namespace {
// TOKEN_MANDATORY_LABEL (16 bytes on 64-bit) followed by a SID with one sub-authority (12 bytes).
constexpr uint32_t kLabelSize = 28;

bool IsModifierVk(uint32_t vk) {
  return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_LWIN || vk == VK_RWIN ||
         (vk >= VK_LSHIFT && vk <= VK_RMENU);
}
}  // namespace

// ---------------------------------------------------------------- processes

bool SimWindowSystem::GetProcessList(std::vector<ProcessEntry>& out) {
  SIM_OP(Op::GetProcessList, false);
  out.clear();
  for (auto& [pid, p] : s_->procs) out.push_back(ProcessEntry{pid, p.exe});
  return true;
}

bool SimWindowSystem::GetProcessImageName(uint32_t pid, std::wstring& exeName) {
  SIM_OP(Op::GetProcessImageName, false);
  auto it = s_->procs.find(pid);
  if (it == s_->procs.end()) {
    s_->Err(ERROR_INVALID_PARAMETER);
    return false;
  }
  exeName = it->second.exe;
  return true;
}

uint32_t SimWindowSystem::GetVersion() {
  SIM_OP(Op::GetVersion, 0);
  return s_->version;
}

uint32_t SimWindowSystem::GetCurrentProcessId() {
  std::lock_guard lk(s_->mu);
  s_->Enter(Op::GetCurrentProcessId);  // cannot fail
  return s_->ownPid;
}

uint32_t SimWindowSystem::GetCurrentThreadId() {
  std::lock_guard lk(s_->mu);
  s_->Enter(Op::GetCurrentThreadId);
  return s_->Me().tid;
}

KernelHandle SimWindowSystem::OpenProcess(uint32_t /*access*/, bool /*inherit*/, uint32_t pid) {
  SIM_OP(Op::OpenProcess, 0);
  State& s = *s_;
  auto it = s.procs.find(pid);
  if (pid == 0 || it == s.procs.end()) {
    s.Err(ERROR_INVALID_PARAMETER);
    return 0;
  }
  KObj o;
  o.kind = KKind::Process;
  o.pid = pid;
  o.rid = it->second.rid;
  o.tokenOpens = it->second.tokenOpens;
  s.nextK += 4;
  s.kobjs[s.nextK] = o;
  return s.nextK;
}

KernelHandle SimWindowSystem::OpenProcessToken(KernelHandle process, uint32_t /*access*/) {
  SIM_OP(Op::OpenProcessToken, 0);
  State& s = *s_;
  auto it = s.kobjs.find(process);
  if (it == s.kobjs.end() || it->second.kind != KKind::Process) {
    s.Err(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!it->second.tokenOpens) {
    s.Err(ERROR_ACCESS_DENIED);
    return 0;
  }
  KObj o = it->second;
  o.kind = KKind::Token;
  s.nextK += 4;
  s.kobjs[s.nextK] = o;
  return s.nextK;
}

bool SimWindowSystem::GetTokenIntegritySize(KernelHandle token, uint32_t& needed) {
  SIM_OP(Op::GetTokenIntegritySize, false);
  auto it = s_->kobjs.find(token);
  if (it == s_->kobjs.end() || it->second.kind != KKind::Token) {
    s_->Err(ERROR_INVALID_HANDLE);
    return false;
  }
  needed = kLabelSize;
  s_->Err(ERROR_INSUFFICIENT_BUFFER);
  return false;
}

bool SimWindowSystem::GetTokenIntegrityLevel(KernelHandle token, uint32_t size, uint32_t& rid, bool& sidValid) {
  SIM_OP(Op::GetTokenIntegrityLevel, false);
  auto it = s_->kobjs.find(token);
  if (it == s_->kobjs.end() || it->second.kind != KKind::Token) {
    s_->Err(ERROR_INVALID_HANDLE);
    return false;
  }
  if (size < kLabelSize) {
    s_->Err(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  rid = it->second.rid;
  sidValid = true;
  return true;
}

bool SimWindowSystem::CloseHandle(KernelHandle h) {
  SIM_OP(Op::CloseHandle, false);
  State& s = *s_;
  auto it = s.kobjs.find(h);
  if (it == s.kobjs.end() || it->second.kind == KKind::DevNotify) {
    s.Err(ERROR_INVALID_HANDLE);
    return false;
  }
  if (it->second.kind == KKind::Mutex && !it->second.name.empty()) {
    auto r = s.mutexRefs.find(it->second.name);
    if (r != s.mutexRefs.end() && --r->second <= 0) s.mutexRefs.erase(r);
  }
  s.kobjs.erase(it);
  return true;
}

RegValueState SimWindowSystem::ReadRegistryDword(RegRoot root, const std::wstring& key, const std::wstring& value,
                                            uint32_t& out) {
  SIM_OP(Op::ReadRegistryDword, RegValueState::KeyMissing);
  if (root != RegRoot::LocalMachine ||
      !SimIEquals(key, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System")) {
    s_->Err(ERROR_FILE_NOT_FOUND);
    return RegValueState::KeyMissing;
  }
  if (!SimIEquals(value, L"EnableLUA") || !s_->enableLua) {
    s_->Err(ERROR_FILE_NOT_FOUND);
    return RegValueState::ValueMissing;
  }
  out = *s_->enableLua;
  return RegValueState::Present;
}

namespace {
// Keys and value names compare without case, as the registry's do.
std::wstring RegPath(RegRoot root, const std::wstring& key) {
  std::wstring p = root == RegRoot::LocalMachine ? L"HKLM\\" : L"HKCU\\";
  for (wchar_t c : key) p += static_cast<wchar_t>(c < 128 ? std::towlower(c) : c);
  return p;
}
std::wstring RegName(const std::wstring& value) {
  std::wstring n;
  for (wchar_t c : value) n += static_cast<wchar_t>(c < 128 ? std::towlower(c) : c);
  return n;
}
}  // namespace

RegValueState SimWindowSystem::ReadRegistryString(RegRoot root, const std::wstring& key, const std::wstring& value,
                                             std::wstring& out) {
  SIM_OP(Op::ReadRegistryString, RegValueState::KeyMissing);
  const auto k = s_->registry.find(RegPath(root, key));
  if (k == s_->registry.end()) {
    s_->Err(ERROR_FILE_NOT_FOUND);
    return RegValueState::KeyMissing;
  }
  const auto v = k->second.find(RegName(value));
  if (v == k->second.end()) {
    s_->Err(ERROR_FILE_NOT_FOUND);
    return RegValueState::ValueMissing;
  }
  out = v->second;
  s_->Err(ERROR_SUCCESS);
  return RegValueState::Present;
}

bool SimWindowSystem::WriteRegistryString(RegRoot root, const std::wstring& key, const std::wstring& value,
                                     const std::wstring& data) {
  SIM_OP(Op::WriteRegistryString, false);
  s_->registry[RegPath(root, key)][RegName(value)] = data;
  s_->Err(ERROR_SUCCESS);
  return true;
}

bool SimWindowSystem::DeleteRegistryValue(RegRoot root, const std::wstring& key, const std::wstring& value) {
  SIM_OP(Op::DeleteRegistryValue, false);
  const auto k = s_->registry.find(RegPath(root, key));
  if (k != s_->registry.end()) k->second.erase(RegName(value));
  s_->Err(ERROR_SUCCESS);
  return true;
}

KernelHandle SimWindowSystem::CreateMutexW(const std::wstring& name) {
  SIM_OP(Op::CreateMutexW, 0);
  State& s = *s_;
  KObj o;
  o.kind = KKind::Mutex;
  o.name = name;  // object names are case-sensitive
  s.nextK += 4;
  s.kobjs[s.nextK] = o;
  uint32_t err = ERROR_SUCCESS;
  if (!name.empty()) {
    if (s.mutexRefs[name]++ > 0) err = ERROR_ALREADY_EXISTS;
  }
  s.Err(err);
  return s.nextK;
}

bool SimWindowSystem::IsDebuggerPresent() {
  SIM_OP(Op::IsDebuggerPresent, false);
  return s_->debugger;
}

// ---------------------------------------------------------------- keyboard

void SimWindowSystem::State::ApplyKey(uint8_t vk, bool down) {
  auto set = [&](uint8_t k, bool d) {
    if (d) {
      if (!(keyQueue[k] & 0x80)) keyQueue[k] ^= 0x01;  // toggles on each press
      keyQueue[k] |= 0x80;
    } else {
      keyQueue[k] &= static_cast<uint8_t>(~0x80);
    }
    KeyPhysL(k, d);
  };
  // The generic modifier keys stand for their left key; the generic state is the pair's union.
  uint8_t k = vk;
  if (vk == VK_SHIFT) k = static_cast<uint8_t>(VK_LSHIFT);
  if (vk == VK_CONTROL) k = static_cast<uint8_t>(VK_LCONTROL);
  if (vk == VK_MENU) k = static_cast<uint8_t>(VK_LMENU);
  set(k, down);
  auto merge = [&](uint16_t gen, uint16_t l, uint16_t r) {
    const bool d = keyPhys[l] || keyPhys[r];
    if (d != keyPhys[gen] || d != ((keyQueue[gen] & 0x80) != 0)) set(static_cast<uint8_t>(gen), d);
  };
  merge(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
  merge(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
  merge(VK_MENU, VK_LMENU, VK_RMENU);
}

void SimWindowSystem::State::KeyPhysL(uint8_t vk, bool down) {
  keyPhys[vk] = down;
  if (!down && watchedVk == vk && !releaseSeen) {
    releaseSeen = true;
    releaseTick = Tick();
  }
}

uint32_t SimWindowSystem::State::PhysMods() const {
  uint32_t m = 0;
  if (keyPhys[VK_SHIFT] || keyPhys[VK_LSHIFT] || keyPhys[VK_RSHIFT]) m |= MOD_SHIFT;
  if (keyPhys[VK_CONTROL] || keyPhys[VK_LCONTROL] || keyPhys[VK_RCONTROL]) m |= MOD_CONTROL;
  if (keyPhys[VK_MENU] || keyPhys[VK_LMENU] || keyPhys[VK_RMENU]) m |= MOD_ALT;
  if (keyPhys[VK_LWIN] || keyPhys[VK_RWIN]) m |= MOD_WIN;
  return m;
}

bool SimWindowSystem::State::HotkeyTaken(uint32_t mods, uint32_t vk) const {
  mods &= ~MOD_NOREPEAT;
  for (auto& k : hotkeys)
    if ((k.mods & ~MOD_NOREPEAT) == mods && k.vk == vk) return true;
  for (auto& r : reserved)
    if ((r.first & ~MOD_NOREPEAT) == mods && r.second == vk) return true;
  return false;
}

bool SimWindowSystem::RegisterHotKey(WindowHandle h, int32_t id, uint32_t modifiers, uint32_t vk) {
  SIM_OPT(Op::RegisterHotKey, FaultTarget::Window(h), false);
  State& s = *s_;
  uint32_t tid = s.Me().tid;
  if (h != 0) {
    SimWin* w = s.WErr(h);
    if (!w) return false;
    tid = w->tid;
  }
  if (modifiers & ~(MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN | MOD_NOREPEAT)) {
    s.Err(ERROR_INVALID_PARAMETER);
    return false;
  }
  for (auto& k : s.hotkeys)
    if (k.h == h && k.id == id) {
      s.Err(ERROR_HOTKEY_ALREADY_REGISTERED);
      return false;
    }
  if (s.HotkeyTaken(modifiers, vk)) {
    s.Err(ERROR_HOTKEY_ALREADY_REGISTERED);
    return false;
  }
  s.hotkeys.push_back(SimHotkey{h, id, modifiers, vk, tid});
  return true;
}

bool SimWindowSystem::UnregisterHotKey(WindowHandle h, int32_t id) {
  SIM_OP(Op::UnregisterHotKey, false);
  State& s = *s_;
  if (h != 0 && !s.WErr(h)) return false;
  auto it = std::find_if(s.hotkeys.begin(), s.hotkeys.end(), [&](const SimHotkey& k) { return k.h == h && k.id == id; });
  if (it == s.hotkeys.end()) {
    s.Err(ERROR_HOTKEY_NOT_REGISTERED);
    return false;
  }
  s.hotkeys.erase(it);
  return true;
}

int16_t SimWindowSystem::GetKeyState(int32_t vk) {
  SIM_OP(Op::GetKeyState, 0);
  if (vk < 0 || vk > 255) return 0;
  const uint8_t k = s_->keyQueue[vk];
  return static_cast<int16_t>(((k & 0x80) ? 0x8000u : 0u) | (k & 0x01u));
}

int16_t SimWindowSystem::GetAsyncKeyState(int32_t vk) {
  SIM_OP(Op::GetAsyncKeyState, 0);
  if (vk < 0 || vk > 255) return 0;
  return static_cast<int16_t>(s_->keyPhys[vk] ? 0x8000u : 0u);
}

bool SimWindowSystem::GetKeyboardState(uint8_t (&keys)[256]) {
  SIM_OP(Op::GetKeyboardState, false);
  std::copy(std::begin(s_->keyQueue), std::end(s_->keyQueue), std::begin(keys));
  return true;
}

void SimWindowSystem::keybd_event(uint8_t vk, uint8_t scan, uint32_t flags, uintptr_t /*extraInfo*/) {
  SIM_OPV(Op::keybd_event);
  State& s = *s_;
  s.keyEvents.push_back(KeyEventRecord{vk, scan, flags});
  s.UserInput(s.fg);  // injected input goes to the foreground thread
  const bool down = !(flags & KEYEVENTF_KEYUP);
  uint8_t k = vk;
  if (flags & KEYEVENTF_EXTENDEDKEY) {  // the right-hand Ctrl and Alt are extended keys
    if (vk == VK_CONTROL) k = static_cast<uint8_t>(VK_RCONTROL);
    if (vk == VK_MENU) k = static_cast<uint8_t>(VK_RMENU);
  }
  s.ApplyKey(k, down);
  // A press completing a registered combination is taken by the hotkey, as Windows does.
  if (down && !IsModifierVk(vk)) {
    const uint32_t mods = s.PhysMods();
    for (auto& hk : s.hotkeys) {
      if ((hk.mods & ~MOD_NOREPEAT) != mods || hk.vk != vk) continue;
      const auto lp = static_cast<intptr_t>(mods | (static_cast<uint32_t>(vk) << 16));
      s.PostL(hk.tid, SimMsg{hk.h, WM_HOTKEY, static_cast<uintptr_t>(static_cast<intptr_t>(hk.id)), lp});
      break;
    }
  }
}

bool SimWindowSystem::WatchKeyRelease(int32_t vk, uint32_t downTick) {
  SIM_OP(Op::WatchKeyRelease, false);
  State& s = *s_;
  if (vk < 0 || vk > 255) {
    s.Err(ERROR_INVALID_PARAMETER);
    return false;
  }
  s.watchedVk = vk;
  // Up already: it went up some time after the press the caller knows of.
  s.releaseSeen = !s.keyPhys[vk];
  s.releaseTick = downTick + 1;
  return true;
}

bool SimWindowSystem::KeyReleaseSeen(int32_t vk, uint32_t& releaseTick) {
  SIM_OP(Op::KeyReleaseSeen, false);
  if (vk != s_->watchedVk || !s_->releaseSeen) return false;
  releaseTick = s_->releaseTick;
  return true;
}

int16_t SimWindowSystem::VkKeyScanW(wchar_t ch) {
  SIM_OP(Op::VkKeyScanW, -1);
  if (ch >= L'a' && ch <= L'z') return static_cast<int16_t>(ch - L'a' + 'A');
  if (ch >= L'A' && ch <= L'Z') return static_cast<int16_t>(0x100 | ch);
  if (ch >= L'0' && ch <= L'9') return static_cast<int16_t>(ch);
  static const wchar_t* shiftedDigits = L")!@#$%^&*(";
  for (int i = 0; i < 10; ++i)
    if (shiftedDigits[i] == ch) return static_cast<int16_t>(0x100 | ('0' + i));
  struct P { wchar_t plain, shifted; uint16_t vk; };
  static const P punct[] = {{L';', L':', 0xBA}, {L'=', L'+', 0xBB}, {L',', L'<', 0xBC}, {L'-', L'_', 0xBD},
                            {L'.', L'>', 0xBE}, {L'/', L'?', 0xBF}, {L'`', L'~', 0xC0}, {L'[', L'{', 0xDB},
                            {L'\\', L'|', 0xDC}, {L']', L'}', 0xDD}, {L'\'', L'"', 0xDE}};
  for (auto& p : punct) {
    if (p.plain == ch) return static_cast<int16_t>(p.vk);
    if (p.shifted == ch) return static_cast<int16_t>(0x100 | p.vk);
  }
  switch (ch) {
    case L' ': return VK_SPACE;
    case L'\r': return VK_RETURN;
    case L'\t': return VK_TAB;
    case L'\b': return VK_BACK;
    case 0x1B: return VK_ESCAPE;
    case L'\n': return 0x20D;  // Ctrl+Enter
    default: return -1;
  }
}

uint32_t SimWindowSystem::MapVirtualKeyW(uint32_t code, uint32_t mapType) {
  SIM_OP(Op::MapVirtualKeyW, 0);
  // US layout, scan code set 1; the navigation keys share the keypad's codes.
  struct M { uint16_t vk; uint16_t sc; };
  static const M table[] = {
      {VK_ESCAPE, 0x01}, {'1', 0x02}, {'2', 0x03}, {'3', 0x04}, {'4', 0x05}, {'5', 0x06}, {'6', 0x07},
      {'7', 0x08}, {'8', 0x09}, {'9', 0x0A}, {'0', 0x0B}, {0xBD, 0x0C}, {0xBB, 0x0D}, {VK_BACK, 0x0E},
      {VK_TAB, 0x0F}, {'Q', 0x10}, {'W', 0x11}, {'E', 0x12}, {'R', 0x13}, {'T', 0x14}, {'Y', 0x15},
      {'U', 0x16}, {'I', 0x17}, {'O', 0x18}, {'P', 0x19}, {0xDB, 0x1A}, {0xDD, 0x1B}, {VK_RETURN, 0x1C},
      {VK_CONTROL, 0x1D}, {'A', 0x1E}, {'S', 0x1F}, {'D', 0x20}, {'F', 0x21}, {'G', 0x22}, {'H', 0x23},
      {'J', 0x24}, {'K', 0x25}, {'L', 0x26}, {0xBA, 0x27}, {0xDE, 0x28}, {0xC0, 0x29}, {VK_SHIFT, 0x2A},
      {0xDC, 0x2B}, {'Z', 0x2C}, {'X', 0x2D}, {'C', 0x2E}, {'V', 0x2F}, {'B', 0x30}, {'N', 0x31},
      {'M', 0x32}, {0xBC, 0x33}, {0xBE, 0x34}, {0xBF, 0x35}, {VK_RSHIFT, 0x36}, {0x6A, 0x37},
      {VK_MENU, 0x38}, {VK_SPACE, 0x39}, {VK_CAPITAL, 0x3A}, {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D},
      {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40}, {0x76, 0x41}, {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44},
      {VK_NUMLOCK, 0x45}, {VK_SCROLL, 0x46}, {VK_HOME, 0x47}, {VK_UP, 0x48}, {VK_PRIOR, 0x49},
      {0x6D, 0x4A}, {VK_LEFT, 0x4B}, {0x65, 0x4C}, {VK_RIGHT, 0x4D}, {0x6B, 0x4E}, {VK_END, 0x4F},
      {VK_DOWN, 0x50}, {VK_NEXT, 0x51}, {VK_INSERT, 0x52}, {VK_DELETE, 0x53}, {0x7A, 0x57}, {0x7B, 0x58},
      {VK_LWIN, 0x5B}, {VK_RWIN, 0x5C}, {0x5D, 0x5D}, {VK_LSHIFT, 0x2A}, {VK_LCONTROL, 0x1D},
      {VK_RCONTROL, 0x1D}, {VK_LMENU, 0x38}, {VK_RMENU, 0x38}, {VK_PAUSE, 0x45},
      {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x66, 0x4D}, {0x67, 0x47},
      {0x68, 0x48}, {0x69, 0x49}, {0x6E, 0x53}};
  switch (mapType) {
    case MAPVK_VK_TO_VSC:
      for (auto& m : table)
        if (m.vk == code) return m.sc;
      return 0;
    case MAPVK_VSC_TO_VK:
      for (auto& m : table)
        if (m.sc == code) return m.vk;  // first entry: the unsided key
      return 0;
    case MAPVK_VK_TO_CHAR: {
      if (auto layout = s_->layoutChars.find(code); layout != s_->layoutChars.end()) return layout->second;
      if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9')) return code;
      static const std::pair<uint32_t, uint32_t> chars[] = {
          {0xBA, ';'}, {0xBB, '='}, {0xBC, ','}, {0xBD, '-'}, {0xBE, '.'}, {0xBF, '/'}, {0xC0, '`'},
          {0xDB, '['}, {0xDC, '\\'}, {0xDD, ']'}, {0xDE, '\''}, {VK_SPACE, ' '}, {VK_RETURN, '\r'},
          {VK_BACK, '\b'}, {VK_TAB, '\t'}, {VK_ESCAPE, 0x1B}, {0x6A, '*'}, {0x6B, '+'}, {0x6D, '-'},
          {0x6E, '.'}, {0x6F, '/'}};
      for (auto& c : chars)
        if (c.first == code) return c.second;
      if (code >= 0x60 && code <= 0x69) return '0' + (code - 0x60);
      return 0;
    }
    default:
      s_->Err(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

// ---------------------------------------------------------------- faults and counts

// ---------------------------------------------------------------- time

void SimWindowSystem::AdvanceTime(uint32_t ms) {
  std::unique_lock<std::mutex> lk(s_->mu);
  const uint64_t target = s_->now + ms;
  // Actions run in due order, outside the lock; the ones they schedule run too when due.
  for (;;) {
    auto& acts = s_->actions;
    auto it = std::min_element(acts.begin(), acts.end(), [](const SimAction& a, const SimAction& b) {
      return a.due != b.due ? a.due < b.due : a.seq < b.seq;
    });
    if (it == acts.end() || it->due > target) break;
    s_->now = std::max(s_->now, it->due);
    auto fn = std::move(it->fn);
    acts.erase(it);
    lk.unlock();
    fn();
    lk.lock();
  }
  s_->now = std::max(s_->now, target);
}

uint32_t SimWindowSystem::GetTickCount() {
  std::lock_guard lk(s_->mu);
  s_->Enter(Op::GetTickCount);
  return s_->Tick();
}

void SimWindowSystem::Sleep(uint32_t ms) {
  {
    std::lock_guard lk(s_->mu);
    s_->Enter(Op::Sleep);
    ++s_->sleepCalls;
    s_->totalSlept += ms;
  }
  AdvanceTime(ms);
}

// ---------------------------------------------------------------- errors

uint32_t SimWindowSystem::GetLastError() {
  std::lock_guard lk(s_->mu);
  return s_->Me().lastError;
}

void SimWindowSystem::SetLastError(uint32_t code) {
  std::lock_guard lk(s_->mu);
  s_->Me().lastError = code;
}

std::wstring SimWindowSystem::ErrorText(uint32_t code) {
  SIM_OP(Op::ErrorText, L"");
  static const std::map<uint32_t, const wchar_t*> texts = {
      {0, L"The operation completed successfully."},
      {1, L"Incorrect function."},
      {2, L"The system cannot find the file specified."},
      {3, L"The system cannot find the path specified."},
      {4, L"The system cannot open the file."},
      {5, L"Access is denied."},
      {6, L"The handle is invalid."},
      {8, L"Not enough memory resources are available to process this command."},
      {14, L"Not enough memory resources are available to complete this operation."},
      {32, L"The process cannot access the file because it is being used by another process."},
      {80, L"The file exists."},
      {87, L"The parameter is incorrect."},
      {122, L"The data area passed to a system call is too small."},
      {183, L"Cannot create a file when that file already exists."},
      {299, L"Only part of a ReadProcessMemory or WriteProcessMemory request was completed."},
      {1168, L"Element not found."},
      {1400, L"Invalid window handle."},
      {1401, L"Invalid menu handle."},
      {1402, L"Invalid cursor handle."},
      {1408, L"Invalid window; it belongs to other thread."},
      {1409, L"Hot key is already registered."},
      {1410, L"Class already exists."},
      {1411, L"Class does not exist."},
      {1413, L"Invalid index."},
      {1418, L"Thread does not have a clipboard open."},
      {1419, L"Hot key is not registered."},
      {1444, L"Invalid thread identifier."},
      {1460, L"This operation returned because the timeout period expired."},
      {1461, L"Invalid monitor handle."},
      {1813, L"The specified resource type cannot be found in the image file."},
  };
  auto it = texts.find(code);
  if (it == texts.end()) {
    s_->Err(317);  // ERROR_MR_MID_NOT_FOUND
    return L"";
  }
  return std::wstring(it->second) + L"\r\n";
}

// ---------------------------------------------------------------- shell and misc

std::wstring SimWindowSystem::GetSpecialFolder(int32_t csidl) {
  SIM_OP(Op::GetSpecialFolder, L"");
  auto it = s_->folders.find(csidl);
  return it == s_->folders.end() ? L"" : it->second;
}

bool SimWindowSystem::ShellExecuteOpen(const std::wstring& target) {
  SIM_OP(Op::ShellExecuteOpen, false);
  s_->opened.push_back(target);
  return true;
}

std::wstring SimWindowSystem::GetModuleFileNameW() {
  SIM_OP(Op::GetModuleFileNameW, L"");
  return s_->modulePath;
}

std::vector<std::wstring> SimWindowSystem::GetCommandLineArgs() {
  SIM_OP(Op::GetCommandLineArgs, {});
  return s_->args;
}

bool SimWindowSystem::GetFileVersion(const std::wstring& path, uint16_t (&version)[4]) {
  SIM_OP(Op::GetFileVersion, false);
  const std::wstring key = SimLower(s_->Norm(path));
  if (!s_->files.count(key)) {
    s_->Err(ERROR_FILE_NOT_FOUND);
    return false;
  }
  auto it = s_->fileVersions.find(key);
  if (it == s_->fileVersions.end()) {
    s_->Err(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
    return false;
  }
  for (int i = 0; i < 4; ++i) version[i] = it->second[static_cast<size_t>(i)];
  return true;
}

std::wstring SimWindowSystem::LocalTimeText() {
  SIM_OP(Op::LocalTimeText, L"");
  if (s_->localTime) return *s_->localTime;
  // The clock starts at 9:00:00.000 and runs with virtual time.
  const uint64_t secs = (9 * 3600 + s_->now / 1000) % 86400;
  wchar_t buf[32];
  std::swprintf(buf, 32, L"%u:%02u:%02u.%03u", static_cast<unsigned>(secs / 3600),
                static_cast<unsigned>(secs / 60 % 60), static_cast<unsigned>(secs % 60),
                static_cast<unsigned>(s_->now % 1000));
  return buf;
}

std::wstring SimWindowSystem::DecimalSeparator() {
  std::lock_guard lk(s_->mu);
  // A failure has nowhere to go: "." as on Windows, the last error untouched.
  if (s_->Enter(Op::DecimalSeparator)) return L".";
  return s_->decimal.empty() ? L"." : s_->decimal;
}

bool SimWindowSystem::SetClipboardText(const std::wstring& text) {
  SIM_OP(Op::SetClipboardText, false);
  s_->clipboard = text;
  return true;
}

bool SimWindowSystem::GetClipboardText(std::wstring& text) {
  SIM_OP(Op::GetClipboardText, false);
  if (!s_->clipboard) {
    s_->Err(ERROR_SUCCESS);  // no text on the clipboard
    return false;
  }
  text = *s_->clipboard;
  return true;
}

int32_t SimWindowSystem::MessageBoxW(WindowHandle owner, const std::wstring& text, const std::wstring& caption,
                                uint32_t flags) {
  SIM_OP(Op::MessageBoxW, 0);
  s_->boxes.push_back(MessageBoxRecord{owner, text, caption, flags});
  return s_->boxAnswer;
}

// ---------------------------------------------------------------- icons

IconHandle SimWindowSystem::GetClassIcon(WindowHandle h, int32_t index) {
  SIM_OPT(Op::GetClassIcon, FaultTarget::Window(h), 0);
  SimWin* w = s_->WErr(h);
  if (!w) return 0;
  if (index == GCLP_HICON) return w->clsBig;
  if (index == GCLP_HICONSM) return w->clsSmall;
  s_->Err(1413);
  return 0;
}

IconHandle SimWindowSystem::CopyIconHandle(IconHandle icon) {
  SIM_OP(Op::CopyIconHandle, 0);
  if (icon == 0 || (!s_->icons.count(icon) && !s_->copies.count(icon) && !s_->liveLoaded.count(icon))) {
    s_->Err(1402);  // ERROR_INVALID_CURSOR_HANDLE
    return 0;
  }
  s_->nextIcon += 4;
  s_->copies[s_->nextIcon] = icon;
  return s_->nextIcon;
}

bool SimWindowSystem::DestroyIcon(IconHandle icon) {
  SIM_OP(Op::DestroyIcon, false);
  if (s_->copies.erase(icon)) return true;
  if (s_->liveLoaded.erase(icon)) return true;
  if (icon != 0 && s_->icons.count(icon)) return true;  // shared icons survive DestroyIcon
  s_->Err(1402);
  return false;
}

IconHandle SimWindowSystem::LoadIconResource(int32_t resourceId, int32_t size) {
  SIM_OP(Op::LoadIconResource, 0);
  if (resourceId <= 0 || resourceId > 0xFFFF || size <= 0) {
    s_->Err(ERROR_INVALID_PARAMETER);
    return 0;
  }
  s_->nextIcon += 4;
  s_->loaded[s_->nextIcon] = {resourceId, size};
  s_->liveLoaded.insert(s_->nextIcon);
  return s_->nextIcon;
}

int32_t SimWindowSystem::GetSmallIconSize() {
  SIM_OP(Op::GetSmallIconSize, 0);
  return static_cast<int32_t>((16 * s_->systemDpi + 48) / 96);  // rounded, as MulDiv
}

// ---------------------------------------------------------------- notification area

bool SimWindowSystem::ShellNotifyIcon(uint32_t message, const NotifyIconData& data) {
  SIM_OP(Op::ShellNotifyIcon, false);
  auto& icons = s_->trayIcons;
  auto it = std::find_if(icons.begin(), icons.end(),
                         [&](const NotifyIconData& d) { return d.window == data.window && d.id == data.id; });
  auto apply = [&data](NotifyIconData& d) {
    d.flags |= data.flags;
    if (data.flags & NIF_MESSAGE) d.callbackMessage = data.callbackMessage;
    if (data.flags & NIF_ICON) d.icon = data.icon;
    if (data.flags & NIF_TIP) d.tip = data.tip.substr(0, 127);
  };
  switch (message) {
    case NIM_ADD: {
      if (it != icons.end()) break;
      NotifyIconData d;
      d.window = data.window;
      d.id = data.id;
      apply(d);
      icons.push_back(d);
      return true;
    }
    case NIM_MODIFY:
      if (it == icons.end()) break;
      apply(*it);
      return true;
    case NIM_DELETE:
      if (it == icons.end()) break;
      icons.erase(it);
      return true;
    default:
      break;
  }
  s_->Err(ERROR_INVALID_PARAMETER);  // what the shell leaves behind varies; the call fails
  return false;
}

}  // namespace tessary::sim
