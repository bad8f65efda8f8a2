// The contract suite on the simulated desktop, laid out like the lab display.
#include <gtest/gtest.h>

#include "contract/ContractBackend.h"
#include "platform/sim/SimDesktop.h"

namespace tessary::contract {
namespace {
sim::SimDesktop* g_desktop = nullptr;
}
IWindowSystem& Backend() { return *g_desktop; }
bool OnSimulator() { return true; }
bool OnWine() { return false; }
std::wstring OwnExeName() { return L"Tessary.exe"; }
bool AnnounceDisplaySettings() {
  g_desktop->SetMonitorBounds(g_desktop->EnumMonitors().front().handle, kPrimary);
  return true;
}
void MarkNotResponding(WindowHandle h, bool notResponding) { g_desktop->SetHung(h, notResponding, 0); }
bool SetReadOnlyAttribute(const std::wstring& path, bool readOnly) { return g_desktop->SetFileReadOnly(path, readOnly); }
bool SetUserDecimalSeparator(const std::wstring& separator) {
  g_desktop->SetDecimalSeparator(separator);
  return true;
}
}  // namespace tessary::contract

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  tessary::sim::SimDesktop desktop;
  desktop.SetLayout({tessary::contract::kPrimary, tessary::contract::kSecond});
  // Two physical monitors as Windows names them, by their EDID (Wine names the outputs instead).
  const auto mons = desktop.EnumMonitors();
  desktop.SetMonitorDevicePath(mons[0].handle,
                               L"\\\\?\\DISPLAY#DEL4071#5&1a2b3c4d&0&UID4352#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}");
  desktop.SetMonitorDevicePath(mons[1].handle,
                               L"\\\\?\\DISPLAY#GSM5B09#5&1a2b3c4d&0&UID4353#{e6f07b5f-ee97-4a90-b076-33f57bf4eaa7}");
  tessary::contract::g_desktop = &desktop;
  tessary::SetWindowSystem(&desktop);
  return RUN_ALL_TESTS();
}
