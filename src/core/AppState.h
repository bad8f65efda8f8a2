// The application's state: whether it is ending, which thread is the UI thread and how other
// threads hand it work, and where exceptions that escape a handler go. Below the widgets, so that
// forms, the watcher and start-up share it without depending on each other.
#pragma once
#include <functional>
#include <string>

namespace tessary {

// Whether the application has been asked to end. Waits and loops check it so that nothing keeps
// the process alive after Exit, or after a later start handed its work to the running one.
bool IsTerminating();
void SetTerminating(bool terminating);

namespace app {
// Dispatches every message already waiting (timers included); never blocks.
void ProcessPendingMessages();
// Asks the application to end: the message loop ends as soon as it runs.
void Terminate();
bool Terminated();
// Call once on the UI thread before any other thread may use RunOnUiThread.
void InitUiThread();
// Runs fn on the UI thread and returns when it has run. On the UI thread itself it runs at once.
void RunOnUiThread(const std::function<void()>& fn);
bool OnUiThread();
// The process runs under a debugger (or the developer switch TESSARY_DEVELOPER=1 is set).
bool DebuggerPresent();
// Exceptions that escape a form's handler or timer end there: they go to this handler (start-up
// installs the debug window's), which logs and tells the user; the program goes on. Before one is
// installed they are only logged.
void SetExceptionHandler(std::function<void(const std::wstring& message)> handler);
void HandleException(const std::wstring& message);
// For test fixtures.
void ResetApplication();
}  // namespace app

}  // namespace tessary
