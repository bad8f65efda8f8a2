#include "core/UnitIntegrity.h"

#include "desktop/Owned.h"
#include "diagnostics/DebugLog.h"

namespace tessary {

namespace {
constexpr int kLookupRetries = 10;
constexpr uint32_t kLookupRetryMs = 10;
const wchar_t* const kPolicyKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
// A label is a few dozen bytes; anything far beyond is not a label we can read.
constexpr uint32_t kMaxLabelSize = 64 * 1024;
}  // namespace

bool TIntegrity::GetLevel(WindowHandle hwnd, int32_t& level) {
  IWindowSystem& w = ws();
  if ((w.GetVersion() & 0xFF) < 6) return false;  // no integrity levels before Vista

  w.SetLastError(0);
  uint32_t pid = 0;
  uint32_t tid = w.GetWindowThreadProcessId(hwnd, &pid);
  for (int retries = 0; tid == 0 && retries < kLookupRetries; ++retries) {
    w.Sleep(kLookupRetryMs);
    tid = w.GetWindowThreadProcessId(hwnd, &pid);
  }
  if (tid == 0 || pid == 0) {
    AppendLog(L"GL: GetWindowThreadProcessId fail", true);
    return false;
  }

  const OwnedKernelHandle process(w.OpenProcess(wc::PROCESS_QUERY_LIMITED_INFORMATION, false, pid));
  if (!process) return false;
  const OwnedKernelHandle token(w.OpenProcessToken(process.get(), wc::TOKEN_QUERY | wc::TOKEN_QUERY_SOURCE));
  if (!token) return false;

  uint32_t needed = 0;
  const bool sized = w.GetTokenIntegritySize(token.get(), needed);
  if (!sized && w.GetLastError() == wc::ERROR_INSUFFICIENT_BUFFER && needed > 0 && needed <= kMaxLabelSize) {
    uint32_t rid = 0;
    bool sidValid = false;
    if (w.GetTokenIntegrityLevel(token.get(), needed, rid, sidValid) && sidValid) {
      level = static_cast<int32_t>(rid);
      uint32_t lua = 0;
      if (w.ReadRegistryDword(RegRoot::LocalMachine, kPolicyKey, L"EnableLUA", lua) == RegValueState::Present &&
          lua == 0)
        level = 0;  // user-account control off: levels mean nothing
    }
  }
  return true;
}

TIntegrity& Integrity() {
  static TIntegrity integrity;
  return integrity;
}

}  // namespace tessary
