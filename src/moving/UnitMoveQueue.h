// Every move the process is asked for (command line, forwarded command lines, the main window's
// buttons, the hotkeys, the watcher's restore) runs through here, one at a time, each exactly once,
// in the order asked.
//
// Why: a move waits for the moved window's thread (SetWindowPos on another program's window is a
// cross-thread call), and a thread waiting in such a call still handles messages sent to it; so
// does every message pump a move or a restore runs (SleepSlick, the status line). Run directly, a
// forwarded WM_COPYDATA, a hotkey or a button click could start a second move inside the first,
// whose later steps then put the window back: a move lost.
//
// What may nest: anything else (display events, timers, status updates, queries) still runs inside
// a move's waits. What must not: one request inside another. A request made while one runs (or
// while the queue is held) is queued and run by the running one right after it, on the same
// thread; its caller returns at once.
#pragma once
#include <cstddef>
#include <functional>
#include <string>

#include "core/UnitSharedTypes.h"
#include "moving/UnitMove.h"

namespace tessary {

class TMoveQueue {
 public:
  TMoveQueue() = delete;

  // Runs work now when nothing runs, nothing waits and the queue is not held; otherwise queues it
  // behind what waits. True when it ran now. what names the request in the log ("MQ: " lines).
  // An exception from a request ends only that one; the others still run and the first
  // exception then reaches the caller that ran them.
  static bool Run(const std::wstring& what, std::function<void()> work);
  // As Run, but ahead of every request that waits (behind earlier RunFirst ones): for a request
  // that was asked for before those, such as the first instance's own command line.
  static bool RunFirst(const std::wstring& what, std::function<void()> work);

  // The one entry point for a move of the foreground program (h 0) or of h: as Run, with the
  // mover's own result logged as before. For the hotkeys, buttons and command line.
  static bool RequestMove(const std::wstring& what, TMoveDirection direction, WindowHandle h, bool makeForeground);
  // The work of such a move, for Run and RunFirst.
  static std::function<void()> MoveWork(TMoveDirection direction, WindowHandle h, bool makeForeground);

  // While held, every request waits; Release runs what waited, in order (unless a request is
  // running: that one runs them when it ends). Start-up holds the queue until the program's own
  // command line has been read. Holds count.
  static void Hold();
  static void Release();

  // A request that follows another waits this long first, pumping messages. Right after a
  // placement the window system may still report the window's previous place for a moment (Wine
  // under an X window manager, measured: 7 to 17 % of reads stale within 20 ms of the placement,
  // none from 50 ms on); the next move would capture that and send the window the wrong way.
  static constexpr int32_t QueuedSettleMs = 100;

  static bool Busy();      // a request runs
  static size_t Waiting(); // requests queued

  // For test fixtures: nothing running, nothing held, nothing waiting.
  static void Reset();

 private:
  static bool Enqueue(const std::wstring& what, std::function<void()> work, bool first);
  static void Drain(bool firstWaited);
};

}  // namespace tessary
