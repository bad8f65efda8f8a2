// The contract suite on the real window system (under Wine on the lab display).
#include <gtest/gtest.h>

#include "contract/ContractBackend.h"
#include "platform/win32/Win32WindowSystem.h"

#include <windows.h>

namespace tessary::contract {
namespace {
win32::Win32WindowSystem* g_backend = nullptr;
bool g_wine = false;
}  // namespace
IWindowSystem& Backend() { return *g_backend; }
bool OnSimulator() { return false; }
bool OnWine() { return g_wine; }
std::wstring OwnExeName() { return L"contract_win32.exe"; }
bool AnnounceDisplaySettings() {
  return ::ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL;
}
void MarkNotResponding(WindowHandle, bool) {}
bool SetReadOnlyAttribute(const std::wstring& path, bool readOnly) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD b = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~DWORD{FILE_ATTRIBUTE_READONLY});
  return ::SetFileAttributesW(path.c_str(), b == 0 ? FILE_ATTRIBUTE_NORMAL : b) != FALSE;
}
bool SetUserDecimalSeparator(const std::wstring& separator) {
  return ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator.c_str()) != FALSE;
}
}  // namespace tessary::contract

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Wine's ntdll exports wine_get_version; Windows' does not.
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  tessary::contract::g_wine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  static tessary::win32::Win32WindowSystem backend;
  tessary::contract::g_backend = &backend;
  tessary::SetWindowSystem(&backend);
  std::printf("contract suite on %s\n", tessary::contract::g_wine ? "Wine" : "Windows");
  return RUN_ALL_TESTS();
}
