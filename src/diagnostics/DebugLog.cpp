#include "diagnostics/DebugLog.h"

#include <algorithm>
#include <deque>
#include <mutex>

#include "desktop/WindowSystem.h"
#include "util/UnitText.h"

namespace tessary {
namespace {

constexpr size_t kMaxLogLines = 20000;
constexpr size_t kMaxRows = 1000;     // one more row is added after trimming, so 1001 at most
constexpr size_t kRowsOnOpen = 201;

struct LogState {
  std::mutex mu;
  std::deque<std::wstring> logLines;  // newest first
  std::wstring lastLogMessage;
  int32_t repeatCount = 0;
  bool saveOnExit = false;

  // The debug window's side.
  bool windowExists = false;
  bool visible = false;
  std::deque<std::wstring> Memo1;  // newest first
  int32_t fLevel = 0;
  std::vector<uint32_t> cl;  // StartTimer ticks, newest last
  uint64_t rowsVersion = 0;
  std::function<void()> rowsChanged;
};

// Never destroyed: units may still log while static objects are torn down at exit.
LogState& L() {
  static LogState* s = new LogState;
  return *s;
}

std::wstring PrefixL(const LogState& st) {
  std::wstring p = ws().LocalTimeText();
  if (!st.windowExists) return p + L":(x) ";
  p += L": ";
  if (st.fLevel > 0) {
    p.append(static_cast<size_t>(st.fLevel), L'>');
    p += L' ';
  }
  return p;
}

std::wstring RepeatLine(const std::wstring& prefix, const std::wstring& msg, int32_t n) {
  return prefix + msg + L" [REPEAT x" + IntText(n) + L"]";
}

void ReplaceFront(std::deque<std::wstring>& d, std::wstring line) {
  // The run's first line may be missing (an empty first message folds into the initial state).
  if (!d.empty()) d.pop_front();
  d.push_front(std::move(line));
}

// True when the window's rows changed.
bool AppendL(LogState& st, const std::wstring& s) {
  const std::wstring line = PrefixL(st) + s;
  const bool show = st.windowExists && st.visible;
  bool isNew = false;
  if (s == st.lastLogMessage) {
    ++st.repeatCount;
    if (show) ReplaceFront(st.Memo1, RepeatLine(PrefixL(st), st.lastLogMessage, st.repeatCount + 1));
  } else {
    if (st.repeatCount > 0) {
      const std::wstring prefix = PrefixL(st);
      ReplaceFront(st.logLines, RepeatLine(prefix, st.lastLogMessage, st.repeatCount));
      if (show) ReplaceFront(st.Memo1, RepeatLine(prefix, st.lastLogMessage, st.repeatCount + 1));
      st.repeatCount = 0;
    }
    st.lastLogMessage = s;
    st.logLines.push_front(line);
    isNew = true;
  }
  if (st.logLines.size() > kMaxLogLines) st.logLines.pop_back();
  if (show && st.Memo1.size() > kMaxRows) st.Memo1.pop_back();
  if (show && isNew) st.Memo1.push_front(line);
  if (show) ++st.rowsVersion;
  return show;
}

bool IsTrimmedAtEnd(wchar_t c) { return c <= L' ' || c == L'.' || c == 0x7F; }

std::wstring TextL(const LogState& st) {
  std::wstring t;
  for (const auto& line : st.logLines) {
    t += line;
    t += L"\r\n";
  }
  return t;
}

void PutUnit(std::vector<uint8_t>& out, uint32_t u) {
  out.push_back(static_cast<uint8_t>(u & 0xFF));
  out.push_back(static_cast<uint8_t>((u >> 8) & 0xFF));
}

}  // namespace

void AppendLog(const std::wstring& s, bool IncludeLastError) {
  std::wstring msg = s;
  if (IncludeLastError) {
    // Read first: anything else, the lock included, may change the thread's last error.
    const uint32_t e = ws().GetLastError();
    msg += L" :(" + IntText(e) + L") " + ws().ErrorText(e);
    while (!msg.empty() && IsTrimmedAtEnd(msg.back())) msg.pop_back();
  }
  LogState& st = L();
  std::function<void()> notify;
  {
    std::lock_guard<std::mutex> lk(st.mu);
    if (AppendL(st, msg)) notify = st.rowsChanged;
  }
  if (notify) {
    // The caller may read its last error after logging.
    const uint32_t e = ws().GetLastError();
    notify();
    ws().SetLastError(e);
  }
}

void MeOnlyAppend(const std::wstring& s, bool IncludeLastError) {
  // Read the error before asking about the debugger, which could change it.
  if (IncludeLastError) {
    const uint32_t e = ws().GetLastError();
    const bool wanted = ws().IsDebuggerPresent() || SaveOnExit();
    if (!wanted) return;
    ws().SetLastError(e);
    AppendLog(s, true);
    return;
  }
  if (ws().IsDebuggerPresent() || SaveOnExit()) AppendLog(s, false);
}

void IncLevel() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  ++st.fLevel;
}

void DecLevel() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  if (st.fLevel > 0) --st.fLevel;
}

void StartTimer() {
  const uint32_t now = ws().GetTickCount();
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  st.cl.push_back(now);
}

void EndTimerLog(const std::wstring& s, int32_t onlyWhenMSReaches) {
  const uint32_t now = ws().GetTickCount();
  LogState& st = L();
  uint32_t start = 0;
  {
    std::lock_guard<std::mutex> lk(st.mu);
    if (st.cl.empty()) return;  // unpaired: nothing to measure
    start = st.cl.back();
    st.cl.pop_back();
  }
  const uint32_t elapsed = now - start;  // wraps with the tick counter
  if (onlyWhenMSReaches < 0 || elapsed > static_cast<uint32_t>(onlyWhenMSReaches)) {
    AppendLog(L"ms(" + IntText(elapsed) + L"): " + s, false);
  }
}

void SetSaveOnExit(bool on) {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  st.saveOnExit = on;
}

bool SaveOnExit() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  return st.saveOnExit;
}

std::vector<uint8_t> EncodeUtf16LeWithBom(const std::wstring& text) {
  std::vector<uint8_t> out{0xFF, 0xFE};
  out.reserve(2 + text.size() * 2);
  for (wchar_t wc : text) {
    const uint32_t c = static_cast<uint32_t>(wc);
    if constexpr (sizeof(wchar_t) == 2) {
      PutUnit(out, c);  // already UTF-16
    } else if (c >= 0x10000 && c <= 0x10FFFF) {
      const uint32_t v = c - 0x10000;
      PutUnit(out, 0xD800 + (v >> 10));
      PutUnit(out, 0xDC00 + (v & 0x3FF));
    } else if (c > 0x10FFFF) {
      PutUnit(out, 0xFFFD);
    } else {
      PutUnit(out, c);
    }
  }
  return out;
}

namespace {
std::mutex g_folderMu;
std::function<std::wstring()> g_folder;
}  // namespace

void SetLogFolder(std::function<std::wstring()> folder) {
  std::lock_guard<std::mutex> lk(g_folderMu);
  g_folder = std::move(folder);
}

bool SaveLog(const std::wstring& filename) {
  std::function<std::wstring()> folder;
  {
    std::lock_guard<std::mutex> lk(g_folderMu);
    folder = g_folder;
  }
  // The data folder may log while it is first determined, so ask before taking the log's lock.
  const std::wstring path = (folder ? folder() : std::wstring()) + filename;
  std::wstring text;
  {
    LogState& st = L();
    std::lock_guard<std::mutex> lk(st.mu);
    text = TextL(st);
  }
  if (ws().FileExists(path)) {
    uint32_t n = 1;
    while (ws().FileExists(path + L".bak" + IntText(n))) ++n;
    ws().MoveFileW(path, path + L".bak" + IntText(n));  // a failed rename only loses the old file
  }
  return ws().WriteWholeFile(path, EncodeUtf16LeWithBom(text));
}

bool EmergencyDump(const std::wstring& filename) { return SaveLog(filename.empty() ? L"Debug.txt" : filename); }

void ApplicationException(const std::wstring& message) {
  AppendLog(message, false);
  SaveLog(L"Debug.txt");
  ws().SetLastError(0);
  ws().MessageBoxW(0, message + L"\r\n[Debug.txt] log created.", L"Tessary", wc::MB_OK | wc::MB_ICONERROR);
}

std::wstring LogText() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  return TextL(st);
}

std::vector<std::wstring> LogLines() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  return {st.logLines.begin(), st.logLines.end()};
}

std::wstring LastLogMessage() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  return st.lastLogMessage;
}

int32_t RepeatCount() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  return st.repeatCount;
}

namespace debugview {
namespace {
// A consistent read of the log state while the other thread may be appending.
template <class Read>
auto Locked(Read read) {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  return read(st);
}
}  // namespace

void AttachWindow() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  st.windowExists = true;
  st.visible = false;
  st.Memo1.clear();
  st.cl.clear();
}

void Open() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  if (!st.windowExists) return;
  st.visible = true;
  ++st.rowsVersion;
  st.Memo1.clear();
  const size_t n = std::min(st.logLines.size(), kRowsOnOpen);
  st.Memo1.assign(st.logLines.begin(), st.logLines.begin() + static_cast<std::ptrdiff_t>(n));
}

void Hide() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  st.visible = false;
}

void DetachWindow() {
  bool save = false;
  {
    LogState& st = L();
    std::lock_guard<std::mutex> lk(st.mu);
    if (!st.windowExists) return;
    st.visible = false;
    AppendL(st, L"UnitFrmDebug Destroy");
    st.Memo1.clear();
    ++st.rowsVersion;
    st.cl.clear();
    save = st.saveOnExit;
    if (save) AppendL(st, L"UnitFrmDebug Autosave");
    st.windowExists = false;
  }
  if (save) EmergencyDump(L"");
}

bool WindowExists() {
  return Locked([](const LogState& st) { return st.windowExists; });
}

bool Visible() {
  return Locked([](const LogState& st) { return st.windowExists && st.visible; });
}

std::vector<std::wstring> Rows() {
  return Locked([](const LogState& st) { return std::vector<std::wstring>(st.Memo1.begin(), st.Memo1.end()); });
}

int32_t Level() {
  return Locked([](const LogState& st) { return st.fLevel; });
}

size_t TimerDepth() {
  return Locked([](const LogState& st) { return st.cl.size(); });
}

void SetRowsChangedHandler(std::function<void()> handler) {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  st.rowsChanged = std::move(handler);
}

uint64_t RowsVersion() {
  return Locked([](const LogState& st) { return st.rowsVersion; });
}

}  // namespace debugview

void ResetLogState() {
  LogState& st = L();
  std::lock_guard<std::mutex> lk(st.mu);
  st.logLines.clear();
  st.lastLogMessage.clear();
  st.repeatCount = 0;
  st.saveOnExit = false;
  st.windowExists = false;
  st.visible = false;
  st.Memo1.clear();
  st.fLevel = 0;
  st.cl.clear();
  ++st.rowsVersion;
  st.rowsChanged = nullptr;
}

}  // namespace tessary
