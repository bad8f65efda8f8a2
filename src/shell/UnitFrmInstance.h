// Single instance: a mutex named after the executable's file name tells the first start from a
// later one; a later start hands its command line (or "1": show the main window) to the running
// instance's hidden window by WM_COPYDATA and ends. That window, TFrmDummyInstance, also
// interprets command lines: the first instance's own, every forwarded one and the menu's "-?".
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "desktop/WindowSystem.h"

namespace tessary {

// What a start asks of the instance machinery. The numbers travel between processes: INST_POPUP
// is sent as the text "1".
enum TInstanceCommand : uint8_t { INST_INIT = 0, INST_POPUP = 1, INST_PARAM = 2 };

class TFrmDummyInstance {
 public:
  static constexpr const wchar_t* ClassName = L"Tessary.FrmDummyInstance";
  static constexpr const wchar_t* Caption = L"FrmDummyInstance";
  // A forwarded text longer than this (in UTF-16 code units) is refused unread. The longest
  // command line Windows accepts is 32767 characters.
  static constexpr uint32_t MaxTextUnits = 32768;

  // Creates the hidden top-level window; Handle() is 0 when that failed.
  TFrmDummyInstance();
  ~TFrmDummyInstance();
  TFrmDummyInstance(const TFrmDummyInstance&) = delete;
  TFrmDummyInstance& operator=(const TFrmDummyInstance&) = delete;

  WindowHandle Handle() const { return handle_; }

  // The WM_COPYDATA handler; msg may hold anything another process put there.
  void GetDataMessage(const CopyDataRecord* msg);
  void HandleCommandLine(const std::wstring& s);
  // The first instance's own command line, at start-up: its move was asked for before any that a
  // later start forwarded meanwhile, so it runs ahead of those.
  void HandleOwnCommandLine(const std::wstring& s);

  // Decoded from the last message received.
  TInstanceCommand command = INST_INIT;

 private:
  intptr_t WndProc(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
  void FormDestroy();

  friend void ResetInstanceState();

  WindowHandle handle_ = 0;
  bool ownLine_ = false;
  std::shared_ptr<TFrmDummyInstance*> self_;  // the window's handler reaches the form through it
};

// The instance window of this process, or nullptr (later instance, or not created yet).
TFrmDummyInstance* FrmDummyInstance();

// Creates (or opens) the mutex, decides IsFirstInstance, then acts on command.
void CheckInstance(TInstanceCommand command);
void ForwardCommandLine(const std::wstring& text);
// False when no instance window turned up within FindInstanceWaitMs, or the message failed.
bool SendToInstance(const std::wstring& text);
inline constexpr uint32_t FindInstanceWaitMs = 5000;
inline constexpr uint32_t FindInstanceStepMs = 20;
// Whether this later start's hand-off (CheckInstance with INST_PARAM or INST_POPUP) reached the
// running instance; a start whose request was lost must not end as if it had succeeded.
bool HandOffDelivered();
void ShowSyntaxHelp();
bool IsFirstInstance();
std::wstring SyntaxHelpText();

// The command line of this start: every argument followed by one blank.
const std::wstring& CommandLineText();
void SetCommandLineText(const std::wstring& text);

// The main window registers how it shows itself (a later start sent "1").
void SetShowMainWindowHandler(std::function<void()> handler);
// Shows the main window through the registered handler; false when none is registered yet.
bool ShowMainWindow();

// Texts as UTF-16 code units, the form they travel in between processes.
std::u16string ToUtf16(const std::wstring& text);
// Decodes at most count units, stopping at the first zero unit.
std::wstring FromUtf16(const char16_t* units, size_t count);

// For test fixtures: destroys the instance window and forgets the start-up state.
void ResetInstanceState();

}  // namespace tessary
