// The process-wide log: every unit writes short tagged lines here, before and after the debug
// window exists. Identical consecutive messages fold into one line with a repeat count. The log
// can be saved to "Debug.txt" in the data folder (UTF-16 LE with BOM, CR LF, newest first).
//
// Appends are safe from any thread (the UI thread and the restore worker); one lock keeps their
// order. The debug window's own copy of the recent lines (its row list) is kept here too, under
// the same lock, so the log's behaviour with the window open does not depend on the widgets.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tessary {

void AppendLog(const std::wstring& s, bool IncludeLastError = false);
// Logs only under a debugger or when the log will be saved at exit.
void MeOnlyAppend(const std::wstring& s, bool IncludeLastError = false);
void IncLevel();
void DecLevel();
void StartTimer();
// Pops the newest StartTimer; logs "ms(<elapsed>): s" when onlyWhenMSReaches < 0 or elapsed exceeds it.
void EndTimerLog(const std::wstring& s, int32_t onlyWhenMSReaches);
void SetSaveOnExit(bool on = true);
bool SaveOnExit();

// Where saved logs go: the program's data folder, handed in from above by whoever assembles the
// program (the log sits below the unit that decides it). Without one, the current directory.
void SetLogFolder(std::function<std::wstring()> folder);
// Writes the log to the data folder under filename, moving an existing file aside to
// filename.bak<n> with the first free n. False when the file could not be written.
bool SaveLog(const std::wstring& filename);
bool EmergencyDump(const std::wstring& filename);  // empty: "Debug.txt"
// For an exception nobody caught: logs it, saves "Debug.txt" and tells the user; the program goes on.
void ApplicationException(const std::wstring& message);

// Every line, newest first, each followed by CR LF.
std::wstring LogText();
std::vector<std::wstring> LogLines();  // newest first
std::wstring LastLogMessage();
int32_t RepeatCount();

// The bytes of a saved log: FF FE, then the text as UTF-16 LE.
std::vector<uint8_t> EncodeUtf16LeWithBom(const std::wstring& text);

// What the debug window needs of the log; the window calls these from its handlers.
namespace debugview {
void AttachWindow();         // the window was created (lines lose the ":(x)" mark from now on)
void Open();                 // shown: its rows become the newest 201 lines
void Hide();                 // closed: only hidden, the rows stop following the log
void DetachWindow();         // destroyed: logs it, drops the rows and timers, auto-saves if asked
bool WindowExists();
bool Visible();
std::vector<std::wstring> Rows();  // the window's rows, newest first
int32_t Level();
size_t TimerDepth();
// Runs after an append changed the window's rows, on the appending thread and outside the log's
// lock, so the window can have its list brought up to date on its own thread. nullptr: none.
void SetRowsChangedHandler(std::function<void()> handler);
uint64_t RowsVersion();  // moves whenever the rows change
}  // namespace debugview

// For test fixtures: back to the state of a fresh process.
void ResetLogState();

}  // namespace tessary
