#include "shell/UnitFrmInstance.h"

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "core/AppState.h"
#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitKeys.h"
#include "moving/UnitMove.h"
#include "moving/UnitMoveQueue.h"
#include "shell/UnitMisc.h"
#include "util/UnitToken.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

struct InstanceState {
  KernelHandle mutex = 0;  // held until the process ends
  bool isFirstInstance = false;
  std::wstring commandLineText;
  std::wstring textToForward;
  std::unique_ptr<TFrmDummyInstance> form;
  std::function<void()> showMainWindow;
  bool delivered = true;  // the last hand-off reached the running instance
};

InstanceState& St() {
  static InstanceState state;
  return state;
}

std::wstring ExeFileName() {
  const std::wstring path = ws().GetModuleFileNameW();
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The whole text as a signed decimal number; false for anything else (blanks included).
bool WholeTextToInt(const std::wstring& s, int64_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
  if (i == s.size()) return false;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < L'0' || s[i] > L'9') return false;
    v = v * 10 + (s[i] - L'0');
    if (v > 2147483648LL) return false;  // beyond 32 bits
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return false;
  value = v;
  return true;
}

}  // namespace

// ---------------------------------------------------------------- texts

std::u16string ToUtf16(const std::wstring& text) {
  std::u16string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    const auto u = static_cast<uint32_t>(c);
    if (u > 0xFFFF && u <= 0x10FFFF) {
      out.push_back(static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(u));
    }
  }
  return out;
}

std::wstring FromUtf16(const char16_t* units, size_t count) {
  std::wstring out;
  if (units == nullptr) return out;
  for (size_t i = 0; i < count && units[i] != 0; ++i) {
    uint32_t u = units[i];
    if constexpr (sizeof(wchar_t) == 4) {
      if (u >= 0xD800 && u < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
        u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
        ++i;
      }
    }
    out.push_back(static_cast<wchar_t>(u));
  }
  return out;
}

std::wstring SyntaxHelpText() {
  return L"Syntax:\r\n Tessary -mf left/right/next\r\n Tessary -?\r\n\r\n -mf move the foreground window left, "
         L"right, or next monitor\r\n -? show this help dialog";
}

// ---------------------------------------------------------------- the instance window

TFrmDummyInstance::TFrmDummyInstance() : self_(std::make_shared<TFrmDummyInstance*>(this)) {
  std::weak_ptr<TFrmDummyInstance*> self = self_;
  // Never shown: a hidden top-level window (not message-only, so that FindWindowW finds it on
  // every platform), out of the taskbar and the task switcher.
  handle_ = ws().CreateWindowExW(wc::WS_EX_TOOLWINDOW, ClassName, Caption, wc::WS_POPUP, 0, 0, 260, 19, 0,
                                 [self](WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) -> intptr_t {
                                   auto form = self.lock();
                                   if (!form || *form == nullptr) return 0;
                                   return (*form)->WndProc(h, msg, wParam, lParam);
                                 });
  if (handle_ == 0) AppendLog(L"FDI: could not create the instance window", true);
}

TFrmDummyInstance::~TFrmDummyInstance() {
  if (handle_ != 0 && ws().IsWindow(handle_)) ws().DestroyWindow(handle_);
  *self_ = nullptr;
}

intptr_t TFrmDummyInstance::WndProc(WindowHandle h, uint32_t msg, uintptr_t /*wParam*/, intptr_t lParam) {
  switch (msg) {
    case wc::WM_COPYDATA:
      GetDataMessage(reinterpret_cast<const CopyDataRecord*>(lParam));
      return 1;
    case wc::WM_CLOSE:
      ws().DestroyWindow(h);
      return 0;
    case wc::WM_DESTROY:
      FormDestroy();
      // The application's first window: the message loop ends with it.
      ws().PostQuitMessage(0);
      return 0;
    default:
      return 0;
  }
}

void TFrmDummyInstance::FormDestroy() {
  AppendLog(L"UnitFrmInstance Destroy");
  handle_ = 0;
}

void TFrmDummyInstance::GetDataMessage(const CopyDataRecord* msg) {
  // Any process may send this message: read only the bytes the record declares, and only
  // sensible amounts of them.
  std::wstring text;
  if (msg == nullptr || msg->lpData == nullptr || msg->cbData < 2) {
    AppendLog(L"FDI: empty message ignored (" + IntText(msg ? msg->cbData : 0) + L" bytes)");
    return;
  }
  const uint32_t units = msg->cbData / 2;  // an odd last byte is no code unit
  if (units > MaxTextUnits) {
    AppendLog(L"FDI: message of " + IntText(msg->cbData) + L" bytes refused (more than " +
              IntText(MaxTextUnits) + L" characters)");
    return;
  }
  std::u16string buffer(units, u'\0');
  std::memcpy(buffer.data(), msg->lpData, static_cast<size_t>(units) * 2);  // lpData need not be aligned
  text = FromUtf16(buffer.data(), buffer.size());
  if (text.empty()) {
    AppendLog(L"FDI: empty message ignored");
    return;
  }

  command = INST_PARAM;
  int64_t number = 0;
  if (WholeTextToInt(text, number)) command = static_cast<TInstanceCommand>(static_cast<uint8_t>(number & 0xFF));
  switch (command) {
    case INST_POPUP:
      AppendLog(L"FDI: show main window");
      if (!ShowMainWindow()) AppendLog(L"FDI: no main window to show");
      break;
    case INST_PARAM:
      HandleCommandLine(text);
      break;
    default:
      AppendLog(L"FDI: command " + IntText(static_cast<int>(command)) + L" ignored");
      break;
  }
}

void TFrmDummyInstance::HandleCommandLine(const std::wstring& s) {
  AppendLog(L"HCL: " + s);
  const std::vector<std::wstring> words = Tokenize(s, L' ');
  if (words.empty()) return;
  if (!SameTextAscii(words[0], L"-mf")) {
    ShowSyntaxHelp();
    return;
  }
  THotkeyData all;
  all.win = all.shft = all.ctrl = all.alt = true;
  const std::wstring direction = words.size() > 1 ? words[1] : std::wstring();
  TMoveDirection move;
  if (SameTextAscii(direction, L"left"))
    move = TMoveDirection::Left;
  else if (SameTextAscii(direction, L"right"))
    move = TMoveDirection::Right;
  else if (SameTextAscii(direction, L"next"))
    move = TMoveDirection::Next;
  else {
    TKeys::HandleStuckKeys(all);
    ShowSyntaxHelp();
    return;
  }
  // Handled inside another move's wait (this is a sent message), the move waits its turn and the
  // sender is let go at once: it has handed its request over, and holding it would gain nothing.
  // The keys are let go as the move starts, not on arrival: their key-ups sleep and pump, which
  // must not happen in the middle of another move's placement.
  const std::wstring what = L"command line " + s;
  std::function<void()> work = [all, placement = TMoveQueue::MoveWork(move, 0, false)] {
    TKeys::HandleStuckKeys(all);
    placement();
  };
  if (ownLine_)
    TMoveQueue::RunFirst(what, std::move(work));
  else
    TMoveQueue::Run(what, std::move(work));
}

void TFrmDummyInstance::HandleOwnCommandLine(const std::wstring& s) {
  ownLine_ = true;
  try {
    HandleCommandLine(s);
  } catch (...) {
    ownLine_ = false;
    throw;
  }
  ownLine_ = false;
}

TFrmDummyInstance* FrmDummyInstance() { return St().form.get(); }

// ---------------------------------------------------------------- single instance

bool IsFirstInstance() { return St().isFirstInstance; }
bool HandOffDelivered() { return St().delivered; }
const std::wstring& CommandLineText() { return St().commandLineText; }
void SetCommandLineText(const std::wstring& text) { St().commandLineText = text; }

void CheckInstance(TInstanceCommand command) {
  InstanceState& st = St();
  const std::wstring name = ExeFileName();
  ws().SetLastError(0);
  const KernelHandle mutex = ws().CreateMutexW(name);
  const uint32_t err = ws().GetLastError();
  // Any error, not only "already exists", counts as a later start: two running copies would be
  // worse than none.
  st.isFirstInstance = err == 0 && mutex != 0;
  if (mutex != 0) {
    // The newest handle keeps the mutex; an older one of this process is not needed any more.
    if (st.mutex != 0 && st.mutex != mutex) ws().CloseHandle(st.mutex);
    st.mutex = mutex;
  }
  AppendLog(L"CI: mutex " + name + L" error " + IntText(err) + (st.isFirstInstance ? L" first" : L" later"));

  switch (command) {
    case INST_INIT:
      if (st.isFirstInstance && !st.form) st.form = std::make_unique<TFrmDummyInstance>();
      break;
    case INST_POPUP:
      SetTerminating(true);
      ws().ProcessPendingMessages();
      st.delivered = SendToInstance(IntText(static_cast<int>(INST_POPUP)));
      ws().ProcessPendingMessages();
      break;
    case INST_PARAM:
      SetTerminating(true);
      ws().ProcessPendingMessages();
      st.delivered = SendToInstance(st.textToForward);
      ws().ProcessPendingMessages();
      break;
  }
}

void ForwardCommandLine(const std::wstring& text) {
  St().textToForward = text;
  CheckInstance(INST_PARAM);
}

bool SendToInstance(const std::wstring& text) {
  const std::u16string units = ToUtf16(text);  // c_str() supplies the zero unit
  // The first of several starts at once may not have made its window yet: a later start waits for
  // it, a while, instead of dropping the request unheard.
  WindowHandle target = ws().FindWindowW(TFrmDummyInstance::ClassName, L"");
  uint32_t waitedMs = 0;
  for (; target == 0 && waitedMs < FindInstanceWaitMs; waitedMs += FindInstanceStepMs) {
    ws().Sleep(FindInstanceStepMs);
    target = ws().FindWindowW(TFrmDummyInstance::ClassName, L"");
  }
  if (target == 0) {
    AppendLog(L"SI: no running instance window, not delivered: " + text);
    return false;
  }
  if (waitedMs > 0) AppendLog(L"SI: instance window found after " + IntText(waitedMs) + L" ms");
  CopyDataRecord data;
  data.dwData = 0;
  data.cbData = static_cast<uint32_t>(units.size() * 2);
  data.lpData = units.c_str();
  intptr_t result = 0;
  if (!ws().SendCopyData(0, target, data, result)) {
    AppendLog(L"SI: could not deliver: " + text, true);
    return false;
  }
  return true;
}

void ShowSyntaxHelp() {
  const WindowHandle owner = St().form ? St().form->Handle() : 0;
  ws().MessageBoxW(owner, SyntaxHelpText(), L"Tessary", wc::MB_OK);
}

// ---------------------------------------------------------------- main window hook

void SetShowMainWindowHandler(std::function<void()> handler) { St().showMainWindow = std::move(handler); }

bool ShowMainWindow() {
  if (!St().showMainWindow) return false;
  St().showMainWindow();
  return true;
}

void ResetInstanceState() {
  InstanceState& st = St();
  if (st.form && st.form->handle_ != 0 &&
      !(ws().IsWindow(st.form->handle_) && ws().GetClassNameW(st.form->handle_) == TFrmDummyInstance::ClassName))
    st.form->handle_ = 0;  // its window belonged to a desktop that is gone
  st = InstanceState{};
}

}  // namespace tessary
