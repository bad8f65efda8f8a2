// Whether Windows starts Tessary when the user signs in: the current user's Run entry "Tessary",
// the very entry the installer's "Start Tessary when I sign in" writes and its uninstaller removes.
// The program reads it afresh whenever it is asked, so a change made elsewhere shows at once.
#pragma once
#include <cstdint>
#include <string>

namespace tessary {

class TSignIn {
 public:
  TSignIn() = delete;

  static constexpr const wchar_t* RunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  static constexpr const wchar_t* ValueName = L"Tessary";

  enum class TState {
    Off,        // no entry
    ThisCopy,   // it starts the exe that is running
    OtherCopy,  // it starts another copy (the installed one while a portable one runs, say)
    Unreadable  // the entry could not be read (then it is left alone)
  };
  struct TEntry {
    TState state = TState::Off;
    std::wstring path;  // the exe the entry names
    uint32_t error = 0;  // why it could not be read
  };

  static TEntry Read();
  // The entry names this copy: the quoted path, no arguments. False with the system's error when
  // the registry refuses (a policy, a read-only hive).
  static bool Enable(uint32_t& error);
  // Only an entry that names this copy is removed; another copy's is not this one's to take.
  static bool Disable(uint32_t& error);

  // The exe a Run command starts: the quoted part, or up to ".exe", or up to the first blank.
  static std::wstring PathOf(const std::wstring& command);
  // Windows paths have no case.
  static bool SamePath(const std::wstring& a, const std::wstring& b);
};

}  // namespace tessary
