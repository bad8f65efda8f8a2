#include "shell/UnitPaths.h"

#include "desktop/WindowSystem.h"

namespace tessary {

std::wstring TSpecialPaths::GetAppDataPath() const { return ws().GetSpecialFolder(wc::CSIDL_APPDATA); }
std::wstring TSpecialPaths::GetProgramFiles() const { return ws().GetSpecialFolder(wc::CSIDL_PROGRAM_FILES); }
std::wstring TSpecialPaths::GetProgramFiles86() const { return ws().GetSpecialFolder(wc::CSIDL_PROGRAM_FILESX86); }

}  // namespace tessary
