// Owners of Win32 handles the backends create: given back on every way out of a scope, exceptions
// included. Tiny and inline: the release exe has no room for more.
#pragma once
#include <cstdint>
#include <utility>

#include <windows.h>

namespace tessary::win32 {

enum class GiveBy : uint8_t { CloseHandle, DeleteObject, DeleteDC, DestroyMenu, GlobalFree };

namespace owned_detail {
// One out-of-line release for every kind, so an owner adds only a call; noexcept, so a caller
// needs no unwind entry for it. The last error stays: callers read it after the failed call that
// the release follows.
[[gnu::noinline]] inline void GiveBack(GiveBy how, void* a) noexcept {
  const DWORD error = ::GetLastError();
  switch (how) {
    case GiveBy::CloseHandle:
      // What file and snapshot calls give for "nothing".
      if (a != INVALID_HANDLE_VALUE) ::CloseHandle(a);
      break;
    case GiveBy::DeleteObject: ::DeleteObject(a); break;
    case GiveBy::DeleteDC: ::DeleteDC(static_cast<HDC>(a)); break;
    case GiveBy::DestroyMenu: ::DestroyMenu(static_cast<HMENU>(a)); break;
    case GiveBy::GlobalFree: ::GlobalFree(a); break;
    default: __builtin_unreachable();
  }
  ::SetLastError(error);
}
}  // namespace owned_detail

// Null means "nothing"; so does INVALID_HANDLE_VALUE for kernel handles.
template <class H, GiveBy How>
class Win32Owned {
 public:
  Win32Owned() noexcept = default;
  explicit Win32Owned(H h) noexcept : h_(h) {}
  Win32Owned(Win32Owned&& o) noexcept : h_(o.release()) {}
  Win32Owned& operator=(Win32Owned&& o) noexcept {
    reset(o.release());
    return *this;
  }
  [[gnu::always_inline]] ~Win32Owned() {
    if (h_ != H{}) owned_detail::GiveBack(How, h_);
  }

  H get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != H{} && h_ != reinterpret_cast<H>(INVALID_HANDLE_VALUE); }
  [[nodiscard]] H release() noexcept { return std::exchange(h_, H{}); }
  void reset(H h = H{}) noexcept {
    const H old = std::exchange(h_, h);
    if (old != H{} && old != h) owned_detail::GiveBack(How, old);
  }

 private:
  H h_{};
};

using OwnedHandle = Win32Owned<HANDLE, GiveBy::CloseHandle>;  // files and snapshots too
using OwnedMemoryDC = Win32Owned<HDC, GiveBy::DeleteDC>;  // from CreateCompatibleDC
template <class G>
using OwnedGdi = Win32Owned<G, GiveBy::DeleteObject>;  // bitmaps, brushes, pens, fonts
using OwnedMenu = Win32Owned<HMENU, GiveBy::DestroyMenu>;  // until a window or a parent menu holds it
using OwnedGlobal = Win32Owned<HGLOBAL, GiveBy::GlobalFree>;  // until the clipboard takes it

// The two below release with plain calls, for code that throws nothing (painting, a noexcept
// block): elsewhere each would need an unwind path.

// A window's device context from GetDC: ReleaseDC needs the window too.
class WindowDC {
 public:
  explicit WindowDC(HWND w) : w_(w), dc_(::GetDC(w)) {}
  [[gnu::always_inline]] ~WindowDC() {
    if (dc_ != nullptr) ::ReleaseDC(w_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const noexcept { return dc_; }

 private:
  HWND w_;
  HDC dc_;
};

// An object selected into a device context until the scope ends, when the one it replaced goes back.
// Declared after the owners of the context and the object, so it goes first.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  [[gnu::always_inline]] ~Selected() { ::SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace tessary::win32
