// The settings file and the main window's settings operations: loading at start, Save and Reset
// All of the "Default Config" page. The settings are the page's controls themselves; the file
// keeps each control's state under the control's name.
#include "shell/UnitSettings.h"

#include <utility>
#include <vector>

#include "desktop/WindowSystem.h"
#include "diagnostics/DebugLog.h"
#include "shell/UnitFrmMain.h"
#include "shell/UnitMisc.h"
#include "util/UnitError.h"

namespace tessary {

namespace {

constexpr const wchar_t* MainSection = L"Main";
constexpr const wchar_t* HiddenSection = L"Hidden";
constexpr const wchar_t* TopProgramsKey = L"TopProgramsIntervalMS";
constexpr int32_t TopProgramsDefault = 10000;
constexpr int32_t ResetDelay = 4000;

[[noreturn]] void ThrowUnableToWrite(const std::wstring& path) { throw TWideError(L"Unable to write to " + path); }

// The controls under parent in their order, each followed by its own; not into the spin box,
// whose arrows are a part of it.
void CollectControls(const ui::Form& form, const ui::Control& parent, std::vector<ui::Control*>& out) {
  for (const auto& c : form.Controls()) {
    if (c->Parent() != &parent) continue;
    out.push_back(c.get());
    if (c->GetKind() != ui::Kind::SpinEdit) CollectControls(form, *c, out);
  }
}

}  // namespace

// ---------------------------------------------------------------- the file

std::wstring TSettingsFile::DefaultPath() { return GetDataFolder() + SettingsFileName; }

TSettingsFile::TSettingsFile() : TSettingsFile(DefaultPath()) {}

TSettingsFile::TSettingsFile(std::wstring path) : path_(std::move(path)) {
  std::vector<uint8_t> bytes;
  if (ws().ReadFileLimited(path_, MaxBytes, bytes)) {
    doc_ = TIniDocument::Parse(bytes);
    return;
  }
  const uint32_t error = ws().GetLastError();
  if (error == wc::ERROR_FILE_NOT_FOUND || error == wc::ERROR_PATH_NOT_FOUND) return;  // a first start
  readable_ = false;
  AppendLog(L"INI: not read, so not written either: " + path_, true);
}

void TSettingsFile::Close() {
  if (!readable_) ThrowUnableToWrite(path_);
  // Written beside the file under a name no load reads: a leftover of an interrupted write is
  // simply written over next time.
  const std::wstring temp = TempPath(path_);
  if (!ws().WriteWholeFile(temp, doc_.Serialize())) {
    AppendLog(L"INI: cannot write " + temp, true);
    ws().DeleteFileW(temp);
    ThrowUnableToWrite(path_);
  }
  if (!ws().MoveFileReplacing(temp, path_)) {
    AppendLog(L"INI: cannot replace " + path_, true);
    ws().DeleteFileW(temp);
    ThrowUnableToWrite(path_);
  }
}

// ---------------------------------------------------------------- the main window's operations

void TFrmMain::LoadSaveConfig(bool save) {
  TSettingsFile file;
  TIniDocument& ini = file.Doc();
  for (ui::Page* page : pcConfig->Pages()) {
    std::vector<ui::Control*> controls;
    CollectControls(*this, *page, controls);
    for (ui::Control* c : controls) {
      const std::wstring& key = c->Name();
      switch (c->GetKind()) {
        case ui::Kind::CheckBox: {
          auto* box = static_cast<ui::CheckBox*>(c);
          if (save)
            ini.WriteBool(MainSection, key, box->Checked());
          else
            box->SetChecked(ini.ReadBool(MainSection, key, box->Checked()));
          break;
        }
        case ui::Kind::RadioButton: {
          // Checking one clears the others of its group: of two stored as 1 the later one wins.
          auto* radio = static_cast<ui::RadioButton*>(c);
          if (save)
            ini.WriteBool(MainSection, key, radio->Checked());
          else
            radio->SetChecked(ini.ReadBool(MainSection, key, radio->Checked()));
          break;
        }
        case ui::Kind::SpinEdit: {
          auto* spin = static_cast<ui::SpinEdit*>(c);
          if (save)
            ini.WriteInteger(MainSection, key, spin->Value());
          else
            spin->SetValue(ini.ReadInteger(MainSection, key, spin->Value()));  // clamped into its range
          break;
        }
        default:
          break;
      }
    }
  }
  // No range check: the snapshot timer takes the value as it is.
  hiddenSetting.TopProgramsIntervalMS = ini.ReadInteger(HiddenSection, TopProgramsKey, TopProgramsDefault);
  ini.WriteInteger(HiddenSection, TopProgramsKey, hiddenSetting.TopProgramsIntervalMS);
  file.Close();
  // The file is closed before the switch: its status line lets waiting messages run, a second
  // Save among them.
  SetMonitorWatcher(cbWatcherOnStart->Checked());
}

void TFrmMain::btnSaveClick() {
  LoadSaveConfig(true);
  ShowStatus(L"Config \"" + std::wstring(SettingsFileName) + L"\" saved.", true);
}

void TFrmMain::btnResetClick() {
  cbAutoClose->SetChecked(false);
  cbWatcherOnStart->SetChecked(true);
  seDelay->SetValue(ResetDelay);
  rbDevicePowerState->SetChecked(true);
  rbResolutionChange->SetChecked(false);
}

}  // namespace tessary
