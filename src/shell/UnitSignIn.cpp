#include "shell/UnitSignIn.h"

#include <cwctype>

#include "desktop/WindowSystem.h"

namespace tessary {

namespace {

std::wstring Folded(const std::wstring& s) {
  std::wstring out;
  out.reserve(s.size());
  for (wchar_t c : s) out += static_cast<wchar_t>(std::towupper(c == L'/' ? L'\\' : c));
  return out;
}

}  // namespace

std::wstring TSignIn::PathOf(const std::wstring& command) {
  size_t start = command.find_first_not_of(L" \t");
  if (start == std::wstring::npos) return L"";
  if (command[start] == L'"') {
    const size_t close = command.find(L'"', start + 1);
    return command.substr(start + 1, close == std::wstring::npos ? std::wstring::npos : close - start - 1);
  }
  const size_t exe = Folded(command).find(L".EXE", start);
  if (exe != std::wstring::npos) return command.substr(start, exe + 4 - start);
  const size_t blank = command.find_first_of(L" \t", start);
  return command.substr(start, blank == std::wstring::npos ? std::wstring::npos : blank - start);
}

bool TSignIn::SamePath(const std::wstring& a, const std::wstring& b) { return Folded(a) == Folded(b); }

TSignIn::TEntry TSignIn::Read() {
  TEntry e;
  std::wstring command;
  switch (ws().ReadRegistryString(RegRoot::CurrentUser, RunKey, ValueName, command)) {
    case RegValueState::KeyMissing:
    case RegValueState::ValueMissing:
      return e;
    case RegValueState::NotInteger:
      e.state = TState::Unreadable;
      e.error = ws().GetLastError();
      return e;
    case RegValueState::Present:
      break;
  }
  e.path = PathOf(command);
  if (e.path.empty()) return e;  // an empty command starts nothing
  e.state = SamePath(e.path, ws().GetModuleFileNameW()) ? TState::ThisCopy : TState::OtherCopy;
  return e;
}

bool TSignIn::Enable(uint32_t& error) {
  const std::wstring exe = ws().GetModuleFileNameW();
  if (exe.empty() || !ws().WriteRegistryString(RegRoot::CurrentUser, RunKey, ValueName, L"\"" + exe + L"\"")) {
    error = ws().GetLastError();
    return false;
  }
  return true;
}

bool TSignIn::Disable(uint32_t& error) {
  if (Read().state != TState::ThisCopy) return true;
  if (!ws().DeleteRegistryValue(RegRoot::CurrentUser, RunKey, ValueName)) {
    error = ws().GetLastError();
    return false;
  }
  return true;
}

}  // namespace tessary
