#include "watcher/UnitFrmMonitorEvent.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "desktop/WinConst.h"
#include "diagnostics/DebugLog.h"
#include "util/UnitError.h"
#include "util/UnitToken.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

TFrmMonitorEvent* g_frmMonitorEvent = nullptr;

uint32_t ReadU32(const uint8_t* p) {
  uint32_t v = 0;
  std::memcpy(&v, p, sizeof v);  // the record need not be aligned
  return v;
}

// A copy, so that a listener that registers another one (or pumps messages into a nested event)
// does not disturb the walk.
void CallAll(std::vector<std::function<void()>> listeners) {
  for (const auto& listener : listeners)
    if (listener) listener();
}

}  // namespace

bool ReadDeviceInterfaceName(const void* record, std::wstring& name) {
  name.clear();
  if (record == nullptr) return false;
  const auto* p = static_cast<const uint8_t*>(record);
  const uint32_t size = ReadU32(p);
  // The device type lies beyond a record shorter than 8 bytes: such a record has none.
  if (size < 8 || ReadU32(p + 4) != wc::DBT_DEVTYP_DEVICEINTERFACE) return false;
  if (size < TFrmMonitorEvent::NameOffset) return false;
  for (uint32_t off = TFrmMonitorEvent::NameOffset; size - off >= 2; off += 2) {
    uint16_t unit = 0;
    std::memcpy(&unit, p + off, sizeof unit);
    if (unit == 0) break;
    uint32_t c = unit;
    if constexpr (sizeof(wchar_t) == 4) {
      // A surrogate pair is one character where wchar_t holds 32 bits.
      if (unit >= 0xD800 && unit < 0xDC00 && size - off >= 4) {
        uint16_t low = 0;
        std::memcpy(&low, p + off + 2, sizeof low);
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00u);
          off += 2;
        }
      }
    }
    name.push_back(static_cast<wchar_t>(c));
  }
  return true;
}

TFrmMonitorEvent* FrmMonitorEvent() { return g_frmMonitorEvent; }

TFrmMonitorEvent::TFrmMonitorEvent() : self_(std::make_shared<TFrmMonitorEvent*>(this)) {
  g_frmMonitorEvent = this;
  AppendLog(L"FC: TFrmMonitorEvent");

  std::weak_ptr<TFrmMonitorEvent*> self = self_;
  // A popup without a frame: the window is its client area. Out of the taskbar and the task
  // switcher, never shown.
  handle_ = ws().CreateWindowExW(
      wc::WS_EX_TOOLWINDOW | wc::WS_EX_NOACTIVATE, ClassName, Caption, wc::WS_POPUP, 0, 0, DesignWidth, DesignHeight,
      0, [self](WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        auto form = self.lock();
        if (!form || *form == nullptr) return 0;
        // Nothing a listener throws may cross the platform's frames.
        try {
          return (*form)->WndProc(msg, wParam, lParam);
        } catch (...) {
          ApplicationException(DescribeCurrentException());
          return 0;
        }
      });
  if (handle_ == 0) AppendLog(L"FC: could not create the window", true);

  FDevNotifyHandle.reset(handle_ != 0 ? ws().RegisterDeviceNotificationW(handle_, MonitorInterfaceClass) : 0);
  if (!FDevNotifyHandle) AppendLog(L"HRE: failed;", true);

  NearestMonitorBounds(startingRect);
  AppendLog(L"FC: Starting MonitorNum=" + Format(L"TL [%d, %d] WDxHT [%d x %d]", startingRect.Top,
                                                startingRect.Left, startingRect.Width(), startingRect.Height()));
}

TFrmMonitorEvent::~TFrmMonitorEvent() {
  if (handle_ != 0 && ws().IsWindow(handle_)) ws().DestroyWindow(handle_);
  FormDestroy();  // also when the window went without telling us
  *self_ = nullptr;
  if (g_frmMonitorEvent == this) g_frmMonitorEvent = nullptr;
}

void TFrmMonitorEvent::RegisterConnectListener(TMonitorConnect listener) {
  connectListeners.push_back(std::move(listener));
}

void TFrmMonitorEvent::RegisterDisconnectListener(TMonitorDisconnect listener) {
  disconnectListeners.push_back(std::move(listener));
}

void TFrmMonitorEvent::RegisterResolutionChange(TMonitorResolutionChange listener) {
  resolutionChangeListeners.push_back(std::move(listener));
}

intptr_t TFrmMonitorEvent::WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case wc::WM_DEVICECHANGE:
      // The handler first, so its lines and the listeners' come before the "WP:" line.
      DeviceChange(wParam, lParam);
      if (wParam == wc::DBT_DEVNODES_CHANGED)
        AppendLog(L"WP: DEVNODES_CHANGED");
      else if (wParam == wc::DBT_DEVICEARRIVAL)
        AppendLog(L"WP: DEVICEARRIVAL");
      else if (wParam == wc::DBT_DEVICEREMOVECOMPLETE)
        AppendLog(L"WP: DEVICEREMOVALCOMPLETE");
      return 1;  // TRUE, what the platform's default processing answers
    case wc::WM_DISPLAYCHANGE:
      DisplayChange(wParam, lParam);
      return 0;
    case wc::WM_DESTROY:
      FormDestroy();
      return 0;
    default:
      return 0;
  }
}

void TFrmMonitorEvent::DeviceChange(uintptr_t event, intptr_t lParam) {
  if (lParam == 0 || (event != wc::DBT_DEVICEARRIVAL && event != wc::DBT_DEVICEREMOVECOMPLETE)) return;
  std::wstring name;
  if (!ReadDeviceInterfaceName(reinterpret_cast<const void*>(lParam), name)) return;
  for (const std::wstring& piece : Tokenize(name, L'#')) AppendLog(L"WM_DC: device=" + piece);
  if (event == wc::DBT_DEVICEARRIVAL)
    CallAll(connectListeners);
  else
    CallAll(disconnectListeners);
}

void TFrmMonitorEvent::DisplayChange(uintptr_t wParam, intptr_t lParam) {
  const auto l = static_cast<uintptr_t>(lParam);
  AppendLog(Format(L"WP: Display Change %dx%d %d", static_cast<int>(l & 0xFFFF), static_cast<int>((l >> 16) & 0xFFFF),
                   static_cast<int>(static_cast<int32_t>(wParam))));

  TRect r;
  // Without a monitor to compare there is no change to tell.
  if (!NearestMonitorBounds(r) || r == startingRect) return;
  std::weak_ptr<TFrmMonitorEvent*> alive = self_;
  CallAll(resolutionChangeListeners);
  AppendLog(L"WP: informed resolution listeners");
  auto form = alive.lock();
  if (!form || *form == nullptr) return;  // a listener destroyed this window
  if (!NearestMonitorBounds(startingRect)) startingRect = r;
}

void TFrmMonitorEvent::FormDestroy() {
  FDevNotifyHandle.reset();
  handle_ = 0;
}

bool TFrmMonitorEvent::NearestMonitorBounds(TRect& r) const {
  if (handle_ == 0) return false;
  const MonitorHandle m = ws().MonitorFromWindow(handle_, wc::MONITOR_DEFAULTTONEAREST);
  MonitorDesc desc;
  if (m == 0 || !ws().GetMonitorInfo(m, desc)) return false;
  r = desc.bounds;
  return true;
}

}  // namespace tessary
