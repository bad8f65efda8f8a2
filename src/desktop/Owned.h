// Owners of handles the window system hands out: the handle goes back on every way out of a scope,
// exceptions included, and only once.
#pragma once
#include <cstdint>
#include <utility>

#include "desktop/WindowSystem.h"

namespace tessary {

// Free is the IWindowSystem call that gives the handle back; it is looked up through ws() at that
// moment, so an owner is as small as the handle. Zero is "nothing".
template <bool (IWindowSystem::*Free)(std::uintptr_t)>
class Owned {
 public:
  Owned() noexcept = default;
  explicit Owned(std::uintptr_t h) noexcept : h_(h) {}
  Owned(Owned&& o) noexcept : h_(o.release()) {}
  Owned& operator=(Owned&& o) noexcept {
    reset(o.release());
    return *this;
  }
  ~Owned() { reset(); }

  std::uintptr_t get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != 0; }
  // The caller owns it now.
  [[nodiscard]] std::uintptr_t release() noexcept { return std::exchange(h_, 0); }
  // Taking the handle already held keeps it: giving it back would leave this owner with a dead one.
  void reset(std::uintptr_t h = 0) noexcept {
    const std::uintptr_t old = std::exchange(h_, h);
    if (old != 0 && old != h) (ws().*Free)(old);
  }

 private:
  std::uintptr_t h_ = 0;
};

using OwnedKernelHandle = Owned<&IWindowSystem::CloseHandle>;
using OwnedIcon = Owned<&IWindowSystem::DestroyIcon>;
using OwnedDeviceNotification = Owned<&IWindowSystem::UnregisterDeviceNotification>;

}  // namespace tessary
