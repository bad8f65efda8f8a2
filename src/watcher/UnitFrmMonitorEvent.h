// The display event window: a hidden top-level window whose only job is to receive the
// platform's monitor notifications and pass them on as three kinds of events:
//   connect            a monitor device interface arrived (switched on, woke up, plugged in);
//   disconnect         a monitor device interface was removed (asleep, switched off, unplugged);
//   resolution change  after a display change, the bounds of the monitor nearest to this window
//                      differ from the bounds seen before.
// It decides nothing; everything it receives goes to the log, so a user's "Debug.txt" shows the
// raw event sequence around a sleep/wake cycle.
//
// A real top-level window (never shown, never activated), not a message-only one: WM_DISPLAYCHANGE
// is broadcast to top-level windows only.
//
// Threads: the window belongs to the UI thread; listeners run on it synchronously, in
// registration order, from inside the message handling. A listener that starts long work must
// hand it off. A listener may pump messages, so events can nest; the lists a listener sees
// being called are the ones registered when the event arrived.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop/Owned.h"
#include "desktop/WindowSystem.h"

namespace tessary {

using TMonitorConnect = std::function<void()>;
using TMonitorDisconnect = std::function<void()>;
using TMonitorResolutionChange = std::function<void()>;

class TFrmMonitorEvent {
 public:
  static constexpr const wchar_t* ClassName = L"Tessary.FrmMonitorEvent";
  static constexpr const wchar_t* Caption = L"frmMonitorEvent";
  static constexpr int32_t DesignWidth = 120, DesignHeight = 7;  // client area
  // GUID_DEVINTERFACE_MONITOR
  static constexpr const wchar_t* MonitorInterfaceClass = L"{E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}";
  // DEV_BROADCAST_DEVICEINTERFACE_W: size, device type, reserved, class GUID, then the name.
  static constexpr uint32_t NameOffset = 28;

  // FormCreate: the window (hidden, at 0,0), the device-interface registration for monitors
  // and the starting bounds, each step logged. Handle() is 0 when the window could not be made.
  TFrmMonitorEvent();
  // Destroys the window; the registration is released with it.
  ~TFrmMonitorEvent();
  TFrmMonitorEvent(const TFrmMonitorEvent&) = delete;
  TFrmMonitorEvent& operator=(const TFrmMonitorEvent&) = delete;

  WindowHandle Handle() const { return handle_; }

  // The lists only grow: no unregistering, duplicates allowed.
  void RegisterConnectListener(TMonitorConnect listener);
  void RegisterDisconnectListener(TMonitorDisconnect listener);
  void RegisterResolutionChange(TMonitorResolutionChange listener);

  // The window's message handling (WM_DEVICECHANGE, WM_DISPLAYCHANGE, WM_DESTROY).
  intptr_t WndProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  // The device-notification registration; 0 when registering failed or after the window went.
  OwnedDeviceNotification FDevNotifyHandle;
  // Bounds of the monitor nearest to this window, as last seen.
  TRect startingRect;

 private:
  void DeviceChange(uintptr_t event, intptr_t lParam);
  void DisplayChange(uintptr_t wParam, intptr_t lParam);
  void FormDestroy();
  bool NearestMonitorBounds(TRect& r) const;

  WindowHandle handle_ = 0;
  std::vector<TMonitorConnect> connectListeners;
  std::vector<TMonitorDisconnect> disconnectListeners;
  std::vector<TMonitorResolutionChange> resolutionChangeListeners;
  std::shared_ptr<TFrmMonitorEvent*> self_;  // the window's handler reaches the form through it
};

// The display event window of this process, or nullptr.
TFrmMonitorEvent* FrmMonitorEvent();

// The device name of a DEV_BROADCAST_DEVICEINTERFACE_W record that may hold anything: false when
// the record is not a device-interface one or too short to be one. Nothing beyond the record's
// own size (its first 32-bit field) is read; the name ends at its first zero unit or at the end
// of the record, whichever comes first.
bool ReadDeviceInterfaceName(const void* record, std::wstring& name);

}  // namespace tessary
