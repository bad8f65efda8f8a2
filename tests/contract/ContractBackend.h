// The backend the contract suite runs against: the simulator natively, the real API under Wine.
// The same tests run on both; where Wine is known to differ from Windows a test says so and
// branches on OnWine(), and the simulator follows Windows.
#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "desktop/WindowSystem.h"

namespace tessary::contract {

IWindowSystem& Backend();  // provided by the backend's main
bool OnSimulator();
bool OnWine();
std::wstring OwnExeName();  // the executable name the process list shows for this process
// Has the platform announce the display settings again, as after a monitor change: the simulator
// re-applies the primary's bounds; the real API re-reads the monitors
// (ChangeDisplaySettingsExW(NULL, NULL, NULL, 0, NULL)). False when the platform refused.
bool AnnounceDisplaySettings();
// A thread of the test that stops (or starts again) taking its messages says so here for the
// window it owns: the simulator cannot see a real thread block outside its own calls (there it is
// SetHung, the thread just stopped); the real window system needs nothing.
void MarkNotResponding(WindowHandle h, bool notResponding);
// The file's read-only attribute, as a user sets it in the file's properties.
bool SetReadOnlyAttribute(const std::wstring& path, bool readOnly);
// The user's decimal separator, as the user sets it in the regional settings (on the real API
// SetLocaleInfoW, which also writes HKCU\Control Panel\International\sDecimal).
bool SetUserDecimalSeparator(const std::wstring& separator);

// The lab display: two 1920x1080 monitors side by side, the primary at (0,0).
inline constexpr TRect kPrimary{0, 0, 1920, 1080};
inline constexpr TRect kSecond{1920, 0, 3840, 1080};

// What a test window received.
struct Inbox {
  std::vector<uint32_t> messages;  // every message, in arrival order
  std::vector<uintptr_t> timers;   // WM_TIMER ids
  std::vector<uintptr_t> posted;   // wParam of WM_APP messages, in arrival order
  std::vector<uint32_t> postedTimes;  // GetMessageTime while each WM_APP is handled
  std::vector<uintptr_t> hotkeys;  // WM_HOTKEY ids
  std::vector<std::pair<uintptr_t, intptr_t>> displayChanges;  // WM_DISPLAYCHANGE wParam, lParam
  // The last WM_COPYDATA, copied out while the sender's record was still valid.
  int copies = 0;
  WindowHandle copyFrom = 0;
  uintptr_t copyTag = 0;
  std::vector<uint8_t> copyBytes;
  bool copyHadData = false;
  intptr_t copyAnswer = 0;  // what the window answers WM_COPYDATA with
};

// A top-level window of our own process, created through the backend and destroyed with the object.
class TestWindow {
 public:
  static constexpr uint32_t kVisible = wc::WS_OVERLAPPEDWINDOW | wc::WS_VISIBLE;

  explicit TestWindow(TRect r = {100, 100, 900, 700}, uint32_t style = kVisible, uint32_t exStyle = 0);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  WindowHandle h() const { return h_; }
  Inbox& inbox() { return *inbox_; }
  TRect Rect() const;  // GetWindowRect, or an empty rect on failure
  void Destroy();

 private:
  WindowHandle h_ = 0;
  std::shared_ptr<Inbox> inbox_;
};

// The mover's flags.
inline constexpr uint32_t kMoverFlags = wc::SWP_NOZORDER | wc::SWP_NOACTIVATE | wc::SWP_NOSENDCHANGING;

// Brings one of our windows to the foreground as the program does it: Windows keeps the
// foreground lock, so a process whose window is not in front may take the foreground only while
// its input is attached to the foreground thread (Wine has no lock). False when it did not.
bool TakeForeground(WindowHandle h);

// Is `lower` reachable from `upper` by walking GW_HWNDNEXT?
bool IsBelow(WindowHandle lower, WindowHandle upper);

// ASCII-only case folding, as the program compares executable names.
bool SameTextAscii(const std::wstring& a, const std::wstring& b);

}  // namespace tessary::contract
