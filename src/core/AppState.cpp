#include "core/AppState.h"

#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "util/UnitText.h"

namespace tessary {
namespace {
std::atomic<bool> g_terminating{false};
}

bool IsTerminating() { return g_terminating.load(); }
void SetTerminating(bool terminating) { g_terminating.store(terminating); }

namespace app {

using namespace tessary::wc;

namespace {

constexpr uint32_t kRunMessage = WM_APP + 0x51;

struct AppState {
  std::mutex mu;
  std::function<void(const std::wstring&)> handler;
  std::thread::id uiThread;
  bool uiKnown = false;
  WindowHandle uiWindow = 0;
};

// Constant-initialized (a mutex, an empty handler, no thread): usable before and after main.
AppState g_state;
AppState& St() { return g_state; }

// What a call from another thread carries to the UI thread.
struct CrossCall {
  const std::function<void()>* fn;
  std::exception_ptr error;
};

}  // namespace

void ProcessPendingMessages() { ws().ProcessPendingMessages(); }

void Terminate() {
  SetTerminating(true);
  ws().PostQuitMessage(0);
}

bool Terminated() { return IsTerminating(); }

void InitUiThread() {
  WindowHandle old = 0;
  {
    std::lock_guard lk(St().mu);
    St().uiThread = std::this_thread::get_id();
    St().uiKnown = true;
    old = St().uiWindow;
    St().uiWindow = 0;
  }
  if (old != 0 && ws().IsWindow(old)) ws().DestroyWindow(old);
  const WindowHandle h = ws().CreateWindowExW(
      0, L"TessaryUiThread", L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE,
      [](WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t) -> intptr_t {
        if (msg != kRunMessage || wParam == 0) return 0;
        auto* call = reinterpret_cast<CrossCall*>(wParam);
        try {
          (*call->fn)();
        } catch (...) {
          call->error = std::current_exception();  // the caller gets it back, as from a direct call
        }
        return 1;
      });
  if (h == 0) AppendLog(L"Could not create the UI thread's window", true);
  std::lock_guard lk(St().mu);
  St().uiWindow = h;
}

bool OnUiThread() {
  std::lock_guard lk(St().mu);
  return !St().uiKnown || St().uiThread == std::this_thread::get_id();
}

void RunOnUiThread(const std::function<void()>& fn) {
  WindowHandle h = 0;
  {
    std::lock_guard lk(St().mu);
    if (St().uiKnown && St().uiThread != std::this_thread::get_id()) h = St().uiWindow;
  }
  if (h == 0) {
    fn();
    return;
  }
  CrossCall call{&fn, nullptr};
  if (ws().SendMessageW(h, kRunMessage, reinterpret_cast<uintptr_t>(&call), 0) == 0)
    throw std::runtime_error("the UI thread could not run the call");
  if (call.error) std::rethrow_exception(call.error);
}

bool DebuggerPresent() {
  if (ws().IsDebuggerPresent()) return true;
  const char* dev = std::getenv("TESSARY_DEVELOPER");
  return dev != nullptr && dev[0] == '1' && dev[1] == 0;
}

void SetExceptionHandler(std::function<void(const std::wstring& message)> handler) {
  std::lock_guard lk(St().mu);
  St().handler = std::move(handler);
}

void HandleException(const std::wstring& message) {
  std::function<void(const std::wstring&)> handler;
  {
    std::lock_guard lk(St().mu);
    handler = St().handler;
  }
  const wchar_t* failedToo = L"";
  if (handler) {
    try {
      handler(message);
      return;
    } catch (...) {
      failedToo = L" (the exception handler failed too)";
    }
  }
  AppendLog(Format(L"Exception: %s%s", message.c_str(), failedToo));
}

void ResetApplication() {
  WindowHandle h = 0;
  {
    std::lock_guard lk(St().mu);
    h = St().uiWindow;
    St().uiWindow = 0;
    St().uiKnown = false;
    St().uiThread = {};
    St().handler = nullptr;
  }
  if (h != 0 && ws().IsWindow(h)) ws().DestroyWindow(h);
}

}  // namespace app

}  // namespace tessary
