// The settings file "Tessary.ini" in the data folder. The operations of the "Default Config" page
// (load, Save, Reset All) are members of the main window (UnitSettings.cpp); this is the file they
// and the hotkey page open for one operation each.
#pragma once
#include <cstddef>
#include <string>

#include "util/UnitIniFile.h"

namespace tessary {

inline constexpr const wchar_t* SettingsFileName = L"Tessary.ini";

// Read when opened, written as a whole by Close: into a new file beside the old one, which then
// replaces it, so the file on disk is always the old one or the new one, never part of one. A
// file that exists but cannot be read (locked, a folder, larger than MaxBytes) is never written,
// so its content cannot be lost; the document then starts empty and every value is its default.
class TSettingsFile {
 public:
  // A settings file holds a few hundred bytes. A hundred times more still loads in milliseconds
  // whatever it holds; a larger file is no settings file the program wrote.
  static constexpr size_t MaxBytes = 64 * 1024;

  TSettingsFile();  // GetDataFolder() + "Tessary.ini"
  explicit TSettingsFile(std::wstring path);
  static std::wstring DefaultPath();
  // The name of the new file while it is written.
  static std::wstring TempPath(const std::wstring& path) { return path + L".new"; }

  const std::wstring& Path() const { return path_; }
  bool Readable() const { return readable_; }
  TIniDocument& Doc() { return doc_; }
  // Throws TWideError("Unable to write to <full path>") when the file cannot be written; the file
  // is then as it was, and no new file is left beside it.
  void Close();

 private:
  std::wstring path_;
  TIniDocument doc_;
  bool readable_ = true;
};

}  // namespace tessary
