#include "shell/UnitMisc.h"

#include <mutex>
#include <optional>

#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitPaths.h"

namespace tessary {
namespace {

std::mutex g_mu;
std::optional<std::wstring> g_dataFolder;

bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring WithDelimiter(std::wstring p) {
  if (p.empty() || !IsDelimiter(p.back())) p += L'\\';
  return p;
}

std::wstring WithoutDelimiter(std::wstring p) {
  while (!p.empty() && IsDelimiter(p.back())) p.pop_back();
  return p;
}

// The executable's folder with its trailing delimiter.
std::wstring ExeFolder() {
  const std::wstring module = ws().GetModuleFileNameW();
  const size_t pos = module.find_last_of(L"\\/:");
  return pos == std::wstring::npos ? std::wstring() : module.substr(0, pos + 1);
}

bool UnderProgramFiles(const std::wstring& exeFolder, const TSpecialPaths& sp) {
  const std::wstring folder = UpperAscii(WithoutDelimiter(exeFolder));
  for (const std::wstring& pf : {sp.GetProgramFiles86(), sp.GetProgramFiles()}) {
    if (!pf.empty() && folder.find(UpperAscii(pf)) != std::wstring::npos) return true;
  }
  return false;
}

}  // namespace

std::wstring GetDataFolder() {
  std::wstring note;
  std::wstring folder;
  {
    std::lock_guard<std::mutex> lk(g_mu);
    if (g_dataFolder) return *g_dataFolder;

    const TSpecialPaths sp;
    bool perUser = false;
    for (const std::wstring& arg : ws().GetCommandLineArgs()) {
      if (SameTextAscii(arg, L"-data")) {
        perUser = true;
        break;
      }
    }
    folder = ExeFolder();
    if (!perUser) perUser = UnderProgramFiles(folder, sp);

    if (perUser) {
      const std::wstring appData = sp.GetAppDataPath();
      if (appData.empty()) {
        // "\Tessary\" on the current drive would be nobody's folder; the program's own folder
        // is at least where the user looks for the files.
        note = L"GDF: application-data folder unavailable, using " + folder;
      } else {
        folder = WithDelimiter(appData) + L"Tessary\\";
        ws().CreateDirectoryTree(WithoutDelimiter(folder));  // a failure shows when a file is written
      }
    }
    g_dataFolder = folder;
  }
  if (!note.empty()) AppendLog(note, false);
  return folder;
}

void ResetDataFolderCache() {
  std::lock_guard<std::mutex> lk(g_mu);
  g_dataFolder.reset();
}

}  // namespace tessary
